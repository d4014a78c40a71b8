#include "imaging/io/codecs/png_idat_walk.h"

#include <gtest/gtest.h>

#include "platform/system/streams.h"
#include "tests/support/byte_builder.h"

namespace {

// Chunks as length, name and data (CRCs are not looked at by the walk: four zero bytes).
testsupport::ByteBuilder& Chunk(testsupport::ByteBuilder& b, const char* name, uint32_t length, bool withData = true) {
  b.U32(length).Raw(name);
  if (withData) b.Zeros(length).U32(0);
  return b;
}

int64_t Walk(testsupport::ByteBuilder& b, int64_t from = 0) {
  TCustomMemoryStream s(b.Data(), static_cast<int64_t>(b.Size()));
  s.SetPosition(from);
  const int64_t total = PNGIdatBytesPresent(s);
  EXPECT_EQ(s.Position(), from);  // the walk leaves the position where it was
  return total;
}

}  // namespace

TEST(PNGIdatWalk, TotalsTheImageDataChunksUpToTheEnd) {
  testsupport::ByteBuilder b(true);
  Chunk(b, "IHDR", 13);
  Chunk(b, "IDAT", 100);
  Chunk(b, "tEXt", 7);
  Chunk(b, "IDAT", 0);
  Chunk(b, "IDAT", 50);
  Chunk(b, "IEND", 0);
  Chunk(b, "IDAT", 999);  // after IEND: not the image's
  EXPECT_EQ(Walk(b), 150);
  EXPECT_EQ(Walk(b, 25), 150);  // from the chunk after the header
}

TEST(PNGIdatWalk, CountsOnlyWhatTheFileHolds) {
  struct Case {
    const char* what;
    testsupport::ByteBuilder file;
    int64_t total;
  };
  std::vector<Case> cases;
  {
    testsupport::ByteBuilder b(true);
    Chunk(b, "IDAT", 10);
    Chunk(b, "IDAT", 1000000, false);  // cut after its header
    b.Zeros(30);
    cases.push_back({"a chunk cut by the end of the file", b, 10 + 30});
  }
  {
    testsupport::ByteBuilder b(true);
    Chunk(b, "IDAT", 10);
    Chunk(b, "IDAT", 0xFFFFFFFF, false);
    b.Zeros(100);
    cases.push_back({"a length above 2^31 - 1 ends the walk", b, 10});
  }
  {
    testsupport::ByteBuilder b(true);
    Chunk(b, "IDAT", 10);
    b.U32(0).U8('I');  // a header cut in two
    cases.push_back({"a cut header", b, 10});
  }
  cases.push_back({"nothing at all", testsupport::ByteBuilder(true), 0});
  for (Case& c : cases) EXPECT_EQ(Walk(c.file), c.total) << c.what;
}

TEST(PNGIdatWalk, ChunksThatRunPastTheEnd) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, uint32_t>> chunks;  // the last one is cut after its header
    bool before, after;
  };
  const Case cases[] = {
      {"text before the image data", {{"IHDR", 13}, {"tEXt", 100000}}, true, false},
      {"text after the image data", {{"IHDR", 13}, {"IDAT", 10}, {"zTXt", 100000}}, false, true},
      {"image data cut: not a claim to refuse", {{"IHDR", 13}, {"IDAT", 100000}}, false, false},
      {"all there", {{"IHDR", 13}, {"IDAT", 10}, {"IEND", 0}}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ByteBuilder b(true);
    for (size_t i = 0; i < c.chunks.size(); ++i) Chunk(b, c.chunks[i].first, c.chunks[i].second, i + 1 < c.chunks.size());
    b.Zeros(20);
    for (bool stopAtImageData : {false, true}) {
      TCustomMemoryStream s(b.Data(), static_cast<int64_t>(b.Size()));
      const TPNGChunkWalk walk = WalkPNGChunks(s, stopAtImageData);
      EXPECT_EQ(walk.CutBeforeImageData, c.before);
      EXPECT_EQ(walk.CutAfterImageData, c.after && !stopAtImageData);
      EXPECT_EQ(s.Position(), 0);
    }
  }
}
