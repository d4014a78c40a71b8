#include "imaging/core/ie_lists.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "platform/system/streams.h"

namespace {

TEST(IEList, GrowsByDoublingAndDeletesExactly) {
  TIEIntegerList list;
  EXPECT_EQ(list.ItemSize(), 4);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list.Add(i * 10), i);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Capacity(), 8);  // 1, 2, 4, 8
  EXPECT_TRUE(list.Flags() & TIEList::kModified);
  list.Delete(1);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Capacity(), 4);
  EXPECT_EQ(list[1], 20);
  list.Delete(-1);
  list.Delete(4);
  EXPECT_EQ(list.Count(), 4);
  list.SetCount(2);  // shrinking keeps the block
  EXPECT_EQ(list.Capacity(), 4);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Flags(), 0);
}

TEST(IEList, DeleteOfTheOnlyItemLeavesNothing) {
  TIEDoubleList list;
  list.Add(1.5);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  list.Add(2.5);
  EXPECT_EQ(list[0], 2.5);
}

TEST(IEList, AssignCopiesExactlyAndCarriesCells) {
  TIEDoubleList source;
  source.Add(1);
  source.Add(2);
  source.DoubleCells[2] = 7.5;
  source.IntCells[1] = 9;
  TIEDoubleList target;
  for (int i = 0; i < 9; ++i) target.Add(-1);
  target.Assign(&source);
  EXPECT_EQ(target.Count(), 2);
  EXPECT_EQ(target.Capacity(), 2);
  EXPECT_EQ(target.DoubleCells[2], 7.5);
  EXPECT_EQ(target.IntCells[1], 9);
  target.Add(3);  // grows past the exact capacity
  EXPECT_EQ(target.Count(), 3);
  EXPECT_EQ(target[0], 1);
  EXPECT_EQ(target[2], 3);
  target.Assign(nullptr);
  EXPECT_EQ(target.Count(), 3);
  target.Clear();
  EXPECT_EQ(target.DoubleCells[2], 0);
}

TEST(IEList, RecordList) {
  struct Rec { int32_t a; int16_t b; };
  TIERecordList list(sizeof(Rec));
  Rec r{5, 6};
  EXPECT_EQ(list.AddRecord(&r), 0);
  r.a = 8;
  list.AddRecord(&r);
  EXPECT_EQ(static_cast<Rec*>(list.GetRecord(0))->a, 5);
  EXPECT_EQ(static_cast<Rec*>(list.GetRecord(1))->a, 8);
}

TEST(IEByteArray, GrowsAndShrinksInBlocks) {
  TIEByteArray a(10);
  EXPECT_EQ(a.Capacity(), 10);
  a.SetSize(100);
  EXPECT_EQ(a.Capacity(), 110);
  for (int i = 0; i < 100; ++i) a.Data()[i] = static_cast<uint8_t>(i);
  a.SetSize(5);  // more than a block below: reallocated to 5 + 10, first bytes kept
  EXPECT_EQ(a.Capacity(), 15);
  EXPECT_EQ(a.Data()[4], 4);
  a.SetSize(12);  // within the capacity
  EXPECT_EQ(a.Capacity(), 15);
  a.AddByte(0xAB);
  EXPECT_EQ(a.Size(), 13);
  EXPECT_EQ(a.Data()[12], 0xAB);
}

TEST(IEByteArray, AppendFromStreamKeepsWhatArrived) {
  TMemoryStream s;
  s.WriteBuffer("abcdef", 6);
  s.SetPosition(2);
  TIEByteArray a(4);
  a.AddByte('x');
  EXPECT_EQ(a.AppendFromStream(s, 100), 4);
  EXPECT_EQ(a.Size(), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(a.Data()), 5), "xcdef");
  // A huge count from a damaged file does not allocate the count.
  s.SetPosition(0);
  EXPECT_EQ(a.AppendFromStream(s, 2000000000), 6);
  EXPECT_EQ(a.Size(), 11);
  EXPECT_LT(a.Capacity(), 1 << 22);
}

TEST(IEQuickSort, SortsThroughCallbacks) {
  std::mt19937 gen(1);
  for (int n : {0, 1, 2, 3, 17, 1000}) {
    std::vector<int> v(static_cast<size_t>(n));
    for (auto& x : v) x = static_cast<int>(gen() % 50);
    auto expected = v;
    std::sort(expected.begin(), expected.end());
    IEQuickSort(n, [&](int32_t i, int32_t j) { return v[i] - v[j]; },
                [&](int32_t i, int32_t j) { std::swap(v[i], v[j]); });
    EXPECT_EQ(v, expected) << n;
  }
  // Already sorted and reversed inputs of many equal keys.
  std::vector<int> same(5000, 4);
  IEQuickSort(5000, [&](int32_t i, int32_t j) { return same[i] - same[j]; },
              [&](int32_t i, int32_t j) { std::swap(same[i], same[j]); });
  EXPECT_TRUE(std::all_of(same.begin(), same.end(), [](int x) { return x == 4; }));
}

TEST(IEQuickSort, InconsistentComparatorStaysInRange) {
  std::vector<int> v(50);
  std::iota(v.begin(), v.end(), 0);
  IEQuickSort(50, [&](int32_t i, int32_t j) {
        EXPECT_TRUE(i >= 0 && i < 50 && j >= 0 && j < 50);
        return -1;  // "always smaller"
      },
      [&](int32_t i, int32_t j) {
        ASSERT_TRUE(i >= 0 && i < 50 && j >= 0 && j < 50);
        std::swap(v[i], v[j]);
      });
}

}  // namespace
