#include "imaging/core/ie_streams.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/core/ie_zlib.h"
#include "tests/support/test_support.h"

namespace {

TEST(NulStream, CountsWithoutStoring) {
  TNulStream s;
  EXPECT_EQ(s.Write(nullptr, 10), 10);
  EXPECT_EQ(s.Seek(4, soBeginning), 4);
  s.Write(nullptr, 2);
  EXPECT_EQ(s.Position(), 6);
  EXPECT_EQ(s.Size(), 10);
  EXPECT_EQ(s.Seek(3, soEnd), 7);  // the offset counts backwards from the end
  EXPECT_EQ(s.Read(nullptr, 5), 5);
  EXPECT_EQ(s.Size(), 12);
  EXPECT_EQ(s.Seek(8, soCurrent), 20);
  EXPECT_EQ(s.Size(), 20);
  EXPECT_EQ(s.Seek(1, static_cast<TSeekOrigin>(7)), 20);
}

class BufferedReadStreamTest : public testing::Test {
 protected:
  void SetUp() override {
    for (uint8_t i = 0; i < 10; ++i) source.WriteValue<uint8_t>(static_cast<uint8_t>(100 + i));
    source.SetPosition(0);
  }
  TMemoryStream source;
};

TEST_F(BufferedReadStreamTest, ReadsAcrossRefillsAndStopsAtTheEnd) {
  TIEBufferedReadStream s(source, 8, false);
  uint8_t buf[20] = {};
  EXPECT_EQ(s.Read(buf, 20), 10);
  EXPECT_TRUE(s.EndOfStream());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(buf[i], 100 + i);
  EXPECT_EQ(s.Seek(0, soEnd), 10);
  EXPECT_EQ(s.Seek(-5, soBeginning), 0);
  EXPECT_FALSE(s.EndOfStream());
  // Byte by byte across the buffer's edge.
  for (int i = 0; i < 10; ++i) {
    uint8_t b = 0;
    ASSERT_EQ(s.Read(&b, 1), 1);
    EXPECT_EQ(b, 100 + i);
  }
  uint8_t b;
  EXPECT_EQ(s.Read(&b, 1), 0);
  EXPECT_TRUE(s.EndOfStream());
  EXPECT_EQ(s.Seek(3, soEnd), 7);
  EXPECT_EQ(s.Seek(50, soCurrent), 10);
  EXPECT_TRUE(s.EndOfStream());
  EXPECT_EQ(s.Size(), 10);
}

TEST_F(BufferedReadStreamTest, RelativeModeCountsFromTheStartPosition) {
  source.SetPosition(4);
  TIEBufferedReadStream s(source, 8, true);
  EXPECT_EQ(s.Seek(0, soBeginning), 0);
  uint8_t b = 0;
  s.Read(&b, 1);
  EXPECT_EQ(b, 104);
  EXPECT_EQ(s.Position(), 1);
  EXPECT_EQ(s.Size(), 6);
  try {
    s.Write(&b, 1);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "TIEBufferedReadStream cannot write!");
  }
}

// Reads of one byte, of less than a buffer and of several buffers (which go straight to the
// caller's memory) in turn, in a view that ends before its stream does: the same bytes as the
// stream holds, then the refill after a large read serves the next small one, and nothing past the
// view's end is read.
TEST(BufferedReadStream, LargeReadsMatchTheStreamAndKeepTheViewsEnd) {
  TMemoryStream source;
  std::vector<uint8_t> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
  source.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  source.SetPosition(30);
  TIEBufferedReadStream s(source, 16, true, 900);  // bytes 30..929
  const struct {
    int32_t count, expected;
  } reads[] = {{1, 1}, {5, 5}, {40, 40}, {16, 16}, {1, 1}, {300, 300}, {15, 15}, {17, 17}, {600, 505}, {20, 0}};
  int64_t at = 0;
  for (const auto& r : reads) {
    std::vector<uint8_t> got(static_cast<size_t>(r.count), 0xEE);
    ASSERT_EQ(s.Read(got.data(), r.count), r.expected) << "read of " << r.count << " at " << at;
    for (int32_t i = 0; i < r.expected; ++i) ASSERT_EQ(got[i], bytes[30 + at + i]) << "byte " << at + i;
    at += r.expected;
    EXPECT_EQ(s.Position(), at);
  }
  EXPECT_TRUE(s.EndOfStream());
  // Back into the middle after a large read: the buffer follows.
  EXPECT_EQ(s.Seek(100, soBeginning), 100);
  uint8_t b = 0;
  ASSERT_EQ(s.Read(&b, 1), 1);
  EXPECT_EQ(b, bytes[130]);
}

TEST(WideFileStream, CreatesOpensAndRefusesBadModes) {
  testsupport::ScratchDir dir;
  const std::string name = dir.File("w.bin");
  {
    TIEWideFileStream f(name, fmCreate);
    f.WriteBuffer("data", 4);
  }
  {
    TIEWideFileStream f(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(f.Size(), 4);
  }
  // Modes the table does not know are refused before the file system is touched.
  EXPECT_EQ(IEFileOpenW(name, 0x50), kIEInvalidHandle);
  EXPECT_EQ(IEFileOpenW(name, 3), kIEInvalidHandle);
  try {
    TIEWideFileStream f(name, 0x50);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message().rfind("Cannot open file \"" + name + "\". ", 0), 0u) << e.Message();
  }
  EXPECT_THROW(TIEWideFileStream(dir.File("missing"), fmOpenRead), EFOpenError);
  try {
    TIEWideFileStream f(dir.File("no/such/folder"), fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message().rfind("Cannot create file \"", 0), 0u);
  }
}

TEST(AnsiString, RoundTripAndDamagedLengths) {
  TMemoryStream s;
  StreamWriteAnsiString(s, "hello");
  StreamWriteAnsiString(s, "");
  EXPECT_EQ(s.Size(), 4 + 5 + 4);
  s.SetPosition(0);
  std::string t = "x";
  StreamReadAnsiString(s, t);
  EXPECT_EQ(t, "hello");
  StreamReadAnsiString(s, t);
  EXPECT_EQ(t, "");

  // A stored length far beyond the stream: the text gets what arrived, nothing huge is allocated.
  const struct { int32_t length; const char* body; const char* expected; } cases[] = {
      {0x7FFFFFF0, "abc", "abc"}, {-5, "abc", ""}, {2, "abc", "ab"}};
  for (const auto& c : cases) {
    TMemoryStream d;
    d.WriteValue<int32_t>(c.length);
    d.WriteBuffer(c.body, 3);
    d.SetPosition(0);
    StreamReadAnsiString(d, t);
    EXPECT_EQ(t, c.expected);
    EXPECT_LT(t.capacity(), 1u << 20);
  }
}

TEST(StreamWriters, LineAndStr) {
  TMemoryStream s;
  StreamWriteStr(s, "ab");
  StreamWriteLineLF(s, "cd");
  EXPECT_EQ(std::string(static_cast<char*>(s.Memory()), static_cast<size_t>(s.Size())), "abcd\n");
}

TEST(CopyStreamData, ClipsAndCopiesWholeSourceForZero) {
  TMemoryStream src;
  src.WriteBuffer("0123456789", 10);
  src.SetPosition(6);
  TMemoryStream dst;
  EXPECT_EQ(CopyStreamData(dst, src, 100), 4);
  EXPECT_EQ(dst.Size(), 4);
  src.SetPosition(8);
  EXPECT_EQ(CopyStreamData(dst, src, 0), 10);  // 0: all of it from the start
  EXPECT_EQ(dst.Size(), 14);
  EXPECT_EQ(CopyStreamData(dst, src, -3), 0);
}

TEST(CopyStreamData, ReadsZlibStreamsBeyondTheirReportedSize) {
  TMemoryStream packed;
  std::string text(300000, 'z');
  {
    TZCompressionStream z(packed, 2);
    z.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
  }
  packed.SetPosition(0);
  TZDecompressionStream z(packed);
  TMemoryStream out;
  EXPECT_EQ(CopyStreamData(out, z, 300000), 300000);
  EXPECT_EQ(out.Size(), 300000);
  // Asking for more than there is: the read error passes, what came before stays written.
  packed.SetPosition(0);
  TZDecompressionStream z3(packed);
  TMemoryStream out2;
  EXPECT_THROW(CopyStreamData(out2, z3, 400000), EReadError);
  EXPECT_GT(out2.Size(), 0);
}

}  // namespace
