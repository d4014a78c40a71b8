// Hostile files: whatever the bytes, a load ends with frames or a GIFException, never a crash, a hang
// or an allocation the file cannot back.
#include <gtest/gtest.h>

#include "imaging/core/ie_image_size_gate.h"
#include "tests/imaging/io/codecs/gif_code_blocks.h"
#include "tests/pictures/gif_test_support.h"

using namespace giftest;

namespace {

Bytes Header(int w, int h) {
  GifFile f(w, h, Colors(4));
  return f.data;
}

Bytes With(Bytes head, const Bytes& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

Bytes Descriptor(int w, int h) {
  Bytes d{0x2C, 0, 0, 0, 0};
  U16(d, w);
  U16(d, h);
  d.push_back(0);
  return d;
}

TEST(GIFHostile, FilesAsATable) {
  struct Case {
    const char* name;
    Bytes file;
    std::string error;  // empty: loads
    int frames;
  };
  const Bytes codes = giftest::PackCodes(2, 3, {4, 1, 5});
  const std::vector<Case> cases = {
      {"65535 x 65535 frame in a tiny file", With(Header(65535, 65535), With(Descriptor(65535, 65535), codes)),
       "Premature end of data", 0},
      {"screen 0 x 0", With(Header(0, 0), With(Descriptor(3, 2), codes)), "", 1},
      {"screen and frame 0 x 0", With(Header(0, 0), With(Descriptor(0, 0), codes)), "", 1},
      {"code size 0", With(Header(4, 4), With(Descriptor(4, 4), {0, 1, 0, 0})), "Invalid LZW code size", 0},
      {"code size 1", With(Header(4, 4), With(Descriptor(4, 4), {1, 1, 0, 0})), "Invalid LZW code size", 0},
      {"code size 12", With(Header(4, 4), With(Descriptor(4, 4), {12, 1, 0, 0})), "Invalid LZW code size", 0},
      {"undefined codes", With(Header(4, 1), With(Descriptor(4, 1), giftest::PackCodes(2, 3, {4, 3, 7, 7, 5}))), "", 1},
      {"would-be cycles", With(Header(64, 64), With(Descriptor(64, 64), giftest::PackCodes(2, 3, {4, 0, 7, 7, 6, 7, 7, 6, 7, 7}))), "", 1},
      {"codes after the last pixel", With(Header(1, 1), With(Descriptor(1, 1), With(giftest::PackCodes(2, 3, {4, 1, 2, 3, 1, 5}), With(Descriptor(1, 1), codes)))), "", 2},
      {"label not in the registry", With(Header(4, 4), {0x21, 0x02, 1, 'x', 0}), "Unknown extension type", 0},
      {"application block of 9", With(Header(4, 4), {0x21, 0xFF, 9, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0}),
       "Unsupported Application Extension block size", 0},
      {"application block of 10", With(Header(1, 1), With({0x21, 0xFF, 10, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 1, 7, 0}, With(Descriptor(1, 1), codes))), "", 1},
      {"application block of 12", With(Header(4, 4), {0x21, 0xFF, 12, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 0}),
       "Unsupported Application Extension block size", 0},
      {"sub-block longer than the file", With(Header(4, 4), With(Descriptor(4, 4), {2, 200, 0x4C})), "", 1},
      {"local table cut short", With(Header(4, 4), {0x2C, 0, 0, 0, 0, 4, 0, 4, 0, 0x87, 1, 2, 3}), "Premature end of data", 0},
      {"only a signature", {'G', 'I', 'F', '8', '9', 'a'}, "Premature end of data", 0},
      {"nothing", {}, "Premature end of data", 0},
  };
  const int64_t allowance = IEImageSizeAllowanceForTesting();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IEImageSizeGateLogForTesting(true);
    const Loaded r = Load(c.file);
    EXPECT_EQ(r.error, c.error);
    if (c.error.empty()) {
      EXPECT_EQ(r.image->Images()->Count(), c.frames);
    }
    // Nothing larger than the small-picture allowance was granted to any of these files.
    EXPECT_LE(IEImageSizeGateLogForTesting().LargestGrantedPixels, allowance);
    if (r.error.empty()) Save(*r.image);  // what loads, saves (or refuses with an exception)
  }
}

TEST(GIFHostile, TruncationAtEveryByteLoadsWhatIsThereOrFails) {
  GifFile f(20, 12, Colors(8), 3);
  f.Loop(0).Comment({"comment"});
  f.Gce(2, 10, true, 1).Frame(2, 1, 15, 9, Pattern(15, 9, 8), {}, true);
  f.PlainText(0, 0, 4, 4, 2, 2, 1, 0, {"text"}).App("XAPPLICA1.0", {"data"});
  f.Gce(3, 20).Frame(0, 0, 20, 12, Pattern(20, 12, 16, 2), Colors(16));
  const Bytes whole = f.Done();
  int loaded = 0;
  for (size_t n = 0; n <= whole.size(); ++n) {
    const Loaded r = Load(Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n)));
    if (!r.error.empty()) {
      // Cut inside a block, or right after the "!" of an extension (no label: no class reads it).
      EXPECT_TRUE(r.error == "Premature end of data" || r.error == "Unknown extension type") << n << " " << r.error;
      continue;
    }
    ++loaded;
    for (int32_t i = 0; i < r.image->Images()->Count(); ++i) r.image->Images()->Items(i)->Bitmap();
    try {
      Save(*r.image);
    } catch (const GIFException&) {
    }
  }
  EXPECT_GT(loaded, 20);
}

}  // namespace
