#include "platform/ui/string_list.h"

#include <gtest/gtest.h>

#include "platform/system/streams.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::string> Items(const TStrings& s) { return s.ToVector(); }

TEST(StringList, SortedListsKeepOrderAndApplyTheDuplicatesRule) {
  TStringList list;
  list.SetSorted(true);
  list.Add("pear");
  list.Add("Apple");
  list.Add("banana");
  EXPECT_EQ(Items(list), (std::vector<std::string>{"Apple", "banana", "pear"}));
  // Case-insensitive by default: "apple" is a duplicate, ignored.
  EXPECT_EQ(list.Add("apple"), 0);
  EXPECT_EQ(list.Count(), 3);
  list.SetDuplicates(dupError);
  EXPECT_THROW(list.Add("PEAR"), EStringListError);
  list.SetDuplicates(dupAccept);
  list.Add("APPLE");
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.IndexOf("apple"), 0);  // the first of equal entries
  EXPECT_THROW(list.Insert(0, "x"), EStringListError);
  int at = -1;
  EXPECT_FALSE(list.Find("cherry", at));
  EXPECT_EQ(at, 3);

  list.SetSorted(false);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("apple"), -1);
}

TEST(StringList, IndexErrorsAndChangeEventsBatchedByUpdates) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  list.Add("a");
  list.Add("b");
  EXPECT_EQ(changes, 2);
  list.BeginUpdate();
  list.Add("c");
  list.Delete(0);
  list.Exchange(0, 1);
  list.EndUpdate();
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"c", "b"}));
  try {
    list.Get(2);
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (2)");
  }
  EXPECT_THROW(list.Delete(-1), EStringListError);
  EXPECT_THROW(list.Insert(3, "x"), EStringListError);
}

TEST(StringList, TextSplitsEveryLineEndAndWritesCrLf) {
  TStringList list;
  list.SetText("one\r\ntwo\nthree\rfour");
  EXPECT_EQ(Items(list), (std::vector<std::string>{"one", "two", "three", "four"}));
  EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");
  list.SetText("a\r\n\r\nb\r\n");
  EXPECT_EQ(Items(list), (std::vector<std::string>{"a", "", "b"}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, CommaAndDelimitedTextRoundTrip) {
  struct Case {
    std::vector<std::string> items;
    std::string comma;
  };
  const Case cases[] = {
      {{"a", "b"}, "a,b"},
      {{"with blank", "x"}, "\"with blank\",x"},
      {{"say \"hi\"", ""}, "\"say \"\"hi\"\"\","},
      {{""}, "\"\""},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.AddStrings(c.items);
    EXPECT_EQ(list.CommaText(), c.comma);
    TStringList back;
    back.SetCommaText(c.comma);
    EXPECT_EQ(Items(back), c.items) << c.comma;
  }
  TStringList list;
  list.SetCommaText("a b,  c");  // blanks separate unquoted entries
  EXPECT_EQ(Items(list), (std::vector<std::string>{"a", "b", "c"}));
  list.SetDelimiter(';');
  list.SetDelimitedText("x y;z");
  EXPECT_EQ(Items(list), (std::vector<std::string>{"x y", "z"}));
}

TEST(StringList, NamesValuesAssignAndFiles) {
  TStringList list;
  list.SetValues("Color0", "FFFFFF");
  list.SetValues("ColorA", "000000");
  list.SetValues("color0", "123456");
  EXPECT_EQ(list.Text(), "color0=123456\r\nColorA=000000\r\n");  // the entry takes the name as written
  EXPECT_EQ(list.Values("COLORA"), "000000");
  EXPECT_EQ(list.Names(1), "ColorA");
  list.SetValues("Color0", "");
  EXPECT_EQ(list.Count(), 1);

  TStringList copy;
  copy.Assign(&list);
  EXPECT_TRUE(copy.Equals(list));
  TPersistent other;
  EXPECT_THROW(copy.Assign(&other), EConvertError);

  testsupport::ScratchDir dir;
  std::string name = dir.File("lines.txt");
  copy.Add("last");
  copy.SaveToFile(name);
  TStringList loaded;
  loaded.LoadFromFile(name);
  EXPECT_TRUE(loaded.Equals(copy));
  EXPECT_THROW(loaded.LoadFromFile(dir.File("missing.txt")), EFOpenError);
}

TEST(StringList, OwnedObjectsAreFreedWithTheirEntries) {
  static int alive = 0;
  struct Counted : TObject {
    Counted() { ++alive; }
    ~Counted() override { --alive; }
  };
  {
    TStringList list;
    list.SetOwnsObjects(true);
    list.AddObject("a", new Counted);
    list.AddObject("b", new Counted);
    list.AddObject("c", new Counted);
    list.Delete(1);
    EXPECT_EQ(alive, 2);
  }
  EXPECT_EQ(alive, 0);
}

}  // namespace
