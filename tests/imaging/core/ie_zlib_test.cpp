#include "imaging/core/ie_zlib.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

// Compressible but not trivial: runs of noise and repeats, long enough to cross the 64 KB buffers.
std::vector<uint8_t> SampleData(size_t size, uint32_t seed = 7) {
  std::mt19937 gen(seed);
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = (i / 64) % 3 == 0 ? static_cast<uint8_t>(gen()) : static_cast<uint8_t>(i / 7);
  return data;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& data, int level = 2) {
  TMemoryStream out;
  {
    TZCompressionStream z(out, level);
    z.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
    z.Finish();
  }
  auto* p = static_cast<uint8_t*>(out.Memory());
  return std::vector<uint8_t>(p, p + out.Size());
}

std::vector<uint8_t> ZlibInflate(const std::vector<uint8_t>& packed, size_t expected) {
  std::vector<uint8_t> out(expected + 1);
  uLongf len = out.size();
  EXPECT_EQ(uncompress(out.data(), &len, packed.data(), packed.size()), Z_OK);
  out.resize(len);
  return out;
}

std::string DecompressError(const std::vector<uint8_t>& packed) {
  TCustomMemoryStream src(packed.data(), static_cast<int64_t>(packed.size()));
  TZDecompressionStream z(src);
  std::vector<uint8_t> out(1 << 20);
  try {
    while (z.Read(out.data(), static_cast<int32_t>(out.size())) > 0) {
    }
  } catch (const EZDecompressionError& e) {
    return e.Message();
  }
  return "no error";
}

TEST(ZCompressionStream, RoundTripsAtEveryLevelWithTheLevelsZlibHeader) {
  // Level 0..3 map to zlib 0, 1, default and 9, which the second header byte records.
  const struct { int level; uint8_t flg; } cases[] = {{0, 0x01}, {1, 0x01}, {2, 0x9C}, {3, 0xDA}};
  const auto data = SampleData(300000);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    const auto packed = Compress(data, c.level);
    ASSERT_GE(packed.size(), 2u);
    EXPECT_EQ(packed[0], 0x78);
    EXPECT_EQ(packed[1], c.flg);
    EXPECT_EQ(ZlibInflate(packed, data.size()), data);
    if (c.level == 0) EXPECT_GT(packed.size(), data.size());
    else EXPECT_LT(packed.size(), data.size());
  }
}

TEST(ZCompressionStream, EmptyStreamIsComplete) {
  TMemoryStream out;
  { TZCompressionStream z(out, 2); }  // the destructor finishes
  ASSERT_EQ(out.Size(), 8);
  auto* p = static_cast<uint8_t*>(out.Memory());
  EXPECT_TRUE(ZlibInflate(std::vector<uint8_t>(p, p + 8), 0).empty());
}

TEST(ZCompressionStream, PositionCountsUncompressedBytesAndReadRaises) {
  TMemoryStream out;
  TZCompressionStream z(out, 1);
  const auto data = SampleData(1000);
  z.WriteBuffer(data.data(), 1000);
  EXPECT_EQ(z.Position(), 1000);
  EXPECT_EQ(z.Seek(5, soBeginning), 1000);  // nothing moves
  char c;
  try {
    z.Read(&c, 1);
    FAIL();
  } catch (const EZCompressionError& e) {
    EXPECT_EQ(e.Message(), "Invalid ZStream operation!");
  }
  z.Finish();
  EXPECT_THROW(z.Write(&c, 1), EZCompressionError);
  z.Finish();  // a second call does nothing
}

TEST(ZCompressionStream, DestinationMovedByOthersIsMovedBack) {
  // 200 KB of noise fill the output buffer several times, so compressed blocks reach the destination
  // during the writes; bytes someone else writes in between are overwritten.
  std::mt19937 gen(3);
  std::vector<uint8_t> data(200000);
  for (auto& b : data) b = static_cast<uint8_t>(gen());
  TMemoryStream out;
  out.WriteBuffer("HEAD", 4);
  {
    TZCompressionStream z(out, 1);
    z.WriteBuffer(data.data(), 100000);
    out.WriteBuffer("JUNKJUNK", 8);
    z.WriteBuffer(data.data() + 100000, 100000);
  }
  auto* p = static_cast<uint8_t*>(out.Memory());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(p), 4), "HEAD");
  EXPECT_EQ(ZlibInflate(std::vector<uint8_t>(p + 4, p + out.Size()), data.size()), data);
}

TEST(ZCompressionStream, ProgressFiresPerFullBuffer) {
  std::mt19937 gen(5);
  std::vector<uint8_t> noise(300000);
  for (auto& b : noise) b = static_cast<uint8_t>(gen());
  TMemoryStream out;
  int calls = 0;
  TZCompressionStream z(out, 0);
  z.OnProgress = [&](TCustomZStream* sender) {
    EXPECT_EQ(sender, &z);
    ++calls;
  };
  z.WriteBuffer(noise.data(), static_cast<int32_t>(noise.size()));
  EXPECT_GE(calls, 3);  // about 300000 stored bytes fill at least three 64 KB buffers on the way
}

TEST(ZDecompressionStream, ReadsDataEmbeddedMidStreamAndLeavesSourceAfterIt) {
  const auto data = SampleData(150000);
  const auto packed = Compress(data);
  TMemoryStream src;
  src.WriteBuffer("PREFIX", 6);
  src.WriteBuffer(packed.data(), static_cast<int32_t>(packed.size()));
  src.WriteBuffer("TAIL", 4);
  src.SetPosition(6);
  TZDecompressionStream z(src);
  std::vector<uint8_t> out(data.size() + 100);
  // Reading past the end returns what there is, then 0, without raising.
  EXPECT_EQ(z.Read(out.data(), static_cast<int32_t>(out.size())), static_cast<int32_t>(data.size()));
  out.resize(data.size());
  EXPECT_EQ(out, data);
  EXPECT_EQ(src.Position(), static_cast<int64_t>(6 + packed.size()));
  char c;
  EXPECT_EQ(z.Read(&c, 1), 0);

  // Seek(0) restarts where the compressed data began, not at the source's position 0.
  EXPECT_EQ(z.Seek(0, soBeginning), 0);
  std::vector<uint8_t> again(data.size());
  z.ReadBuffer(again.data(), static_cast<int32_t>(again.size()));
  EXPECT_EQ(again, data);
}

TEST(ZDecompressionStream, PositionSemantics) {
  const auto data = SampleData(50000);
  const auto packed = Compress(data);
  TCustomMemoryStream src(packed.data(), static_cast<int64_t>(packed.size()));
  TZDecompressionStream z(src);
  uint8_t b = 0;
  z.ReadBuffer(&b, 1);
  EXPECT_EQ(z.Position(), 1);
  z.SetPosition(20000);  // forward: decodes and throws away
  z.ReadBuffer(&b, 1);
  EXPECT_EQ(b, data[20000]);
  EXPECT_EQ(z.Seek(100, soCurrent), 20101);
  z.SetPosition(z.Position());  // to where it stands: nothing to do
  try {
    z.SetPosition(5);  // backwards
    FAIL();
  } catch (const EZDecompressionError& e) {
    EXPECT_EQ(e.Message(), "Invalid ZStream operation!");
  }
  EXPECT_EQ(z.Seek(0, soEnd), 50000);
  EXPECT_THROW(z.Seek(-1, soEnd), EZDecompressionError);
  EXPECT_THROW(z.Write(&b, 1), EZDecompressionError);
}

TEST(ZDecompressionStream, DamagedDataRaises) {
  const auto data = SampleData(100000);
  auto packed = Compress(data);

  auto truncated = packed;
  truncated.resize(packed.size() / 2);
  EXPECT_EQ(DecompressError(truncated), "buffer error");

  auto corrupt = packed;
  corrupt[0] = 0x12;  // not a zlib header
  EXPECT_EQ(DecompressError(corrupt), "data error");

  // A header asking for a preset dictionary must not loop for ever.
  const std::vector<uint8_t> needsDict = {0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x4B, 0x04, 0x00};
  EXPECT_EQ(DecompressError(needsDict), "need dictionary");

  const std::vector<uint8_t> empty;
  EXPECT_EQ(DecompressError(empty), "buffer error");
}

TEST(ZDecompressBuffer, InflatesWithAnyEstimate) {
  const auto data = SampleData(70000);
  const auto packed = Compress(data, 3);
  for (int32_t estimate : {0, 1, 70000, 1000000}) {
    SCOPED_TRACE(estimate);
    void* out = nullptr;
    int32_t size = -1;
    ZDecompressBuffer(packed.data(), static_cast<int32_t>(packed.size()), out, size, estimate);
    ASSERT_EQ(size, 70000);
    EXPECT_EQ(std::memcmp(out, data.data(), data.size()), 0);
    std::free(out);
  }
}

TEST(ZDecompressBuffer, DamagedInputRaisesAndLeavesNothing) {
  const auto packed = Compress(SampleData(70000));
  const struct { std::vector<uint8_t> input; const char* message; } cases[] = {
      {std::vector<uint8_t>(packed.begin(), packed.begin() + packed.size() / 2), "buffer error"},
      {{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF}, "data error"},
      {{0x78, 0xBB, 0x00, 0x00, 0x00, 0x01, 0x4B, 0x04, 0x00}, "need dictionary"},
  };
  for (const auto& c : cases) {
    void* out = reinterpret_cast<void*>(1);
    int32_t size = 5;
    try {
      ZDecompressBuffer(c.input.data(), static_cast<int32_t>(c.input.size()), out, size, 0);
      ADD_FAILURE() << c.message;
    } catch (const EZDecompressionError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(size, 0);
  }
  void* out = nullptr;
  int32_t size = 0;
  EXPECT_THROW(ZDecompressBuffer(packed.data(), 0, out, size, 0), EZDecompressionError);
}

TEST(ZCheck, PassesNonNegativeCodesAndRaisesZlibTexts) {
  EXPECT_EQ(ZCompressCheck(Z_STREAM_END), Z_STREAM_END);
  EXPECT_EQ(ZDecompressCheck(Z_OK), Z_OK);
  const struct { int code; const char* text; } cases[] = {
      {Z_ERRNO, "file error"}, {Z_STREAM_ERROR, "stream error"}, {Z_DATA_ERROR, "data error"},
      {Z_MEM_ERROR, "insufficient memory"}, {Z_BUF_ERROR, "buffer error"}, {Z_VERSION_ERROR, "incompatible version"}};
  for (const auto& c : cases) {
    try {
      ZCompressCheck(c.code);
      ADD_FAILURE();
    } catch (const EZCompressionError& e) {
      EXPECT_EQ(e.Message(), c.text);
      EXPECT_EQ(e.ErrorCode, c.code);
    }
    try {
      ZDecompressCheck(c.code);
      ADD_FAILURE();
    } catch (const EZDecompressionError& e) {
      EXPECT_EQ(e.ErrorCode, c.code);
    }
  }
}

TEST(ZDecompressionStream, FailuresCarryZlibsResultCode) {
  const auto packed = Compress(SampleData(5000));
  std::vector<uint8_t> corrupt = packed;
  corrupt[2] ^= 0xFF;
  const std::vector<uint8_t> truncated(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
  const std::vector<uint8_t> needsDict = {0x78, 0xBB, 0, 0, 0, 1};
  const struct { const std::vector<uint8_t>* data; int code; } cases[] = {
      {&corrupt, Z_DATA_ERROR}, {&truncated, Z_BUF_ERROR}, {&needsDict, Z_NEED_DICT}};
  for (const auto& c : cases) {
    TCustomMemoryStream src(c.data->data(), static_cast<int64_t>(c.data->size()));
    TZDecompressionStream z(src);
    std::vector<uint8_t> out(1 << 16);
    try {
      while (z.Read(out.data(), static_cast<int32_t>(out.size())) > 0) {
      }
      ADD_FAILURE() << c.code;
    } catch (const EZDecompressionError& e) {
      EXPECT_EQ(e.ErrorCode, c.code);
    }
  }
}

TEST(ZCompressionStream, ZlibsOwnLevelStrategyAndWindow) {
  const auto data = SampleData(200000);
  const auto packWith = [&](const TZDeflateSettings& settings) {
    TMemoryStream out;
    TZCompressionStream z(out, settings);
    z.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
    z.Finish();
    auto* p = static_cast<uint8_t*>(out.Memory());
    return std::vector<uint8_t>(p, p + out.Size());
  };
  // The header's level bits: 0-1 fastest, 2-5 fast, 6 default, 7-9 best (FLEVEL 0..3).
  const struct { int level; uint8_t flevel; } levels[] = {{0, 0}, {1, 0}, {3, 1}, {6, 2}, {7, 3}, {9, 3}, {-1, 2}, {42, 3}};
  std::vector<uint8_t> at7;
  for (const auto& c : levels) {
    TZDeflateSettings s;
    s.Level = c.level;
    const auto packed = packWith(s);
    EXPECT_EQ(packed[1] >> 6, c.flevel) << c.level;
    EXPECT_EQ(ZlibInflate(packed, data.size()), data) << c.level;
    if (c.level == 7) at7 = packed;
  }
  // Default settings are level 7 with zlib's defaults, byte for byte as zlib's own deflate writes it.
  std::vector<uint8_t> reference(compressBound(static_cast<uLong>(data.size())));
  z_stream zs{};
  deflateInit2(&zs, 7, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reference.data();
  zs.avail_out = static_cast<uInt>(reference.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  reference.resize(zs.total_out);
  deflateEnd(&zs);
  EXPECT_EQ(packWith(TZDeflateSettings{}), reference);
  EXPECT_EQ(at7, reference);
  // Another strategy and a smaller window change the data, which still inflates.
  TZDeflateSettings huffman;
  huffman.Strategy = Z_HUFFMAN_ONLY;
  TZDeflateSettings small;
  small.WindowBits = 9;
  small.MemLevel = 1;
  for (const auto& s : {huffman, small}) {
    const auto packed = packWith(s);
    EXPECT_NE(packed, reference);
    EXPECT_EQ(ZlibInflate(packed, data.size()), data);
  }
  EXPECT_EQ(packWith(small)[0], 0x18);  // CINFO 1: a 512-byte window
}

}  // namespace
