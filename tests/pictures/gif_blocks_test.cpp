// The block structure of GIF files: header, frames, zero padding, trailer, and what the class keeps
// of damaged block sequences.
#include <gtest/gtest.h>

#include "tests/pictures/gif_test_support.h"

using namespace giftest;

namespace {

TEST(GIFBlocks, ReadsTheScreenTheTablesAndEveryFrame) {
  GifFile f(10, 6, Colors(4), 2);
  f.Frame(0, 0, 10, 6, Pattern(10, 6, 4));
  f.Gce(1, 7).Frame(2, 1, 5, 3, Pattern(5, 3, 8, 1), Colors(8));
  const Loaded r = Load(f.Done());
  ASSERT_EQ(r.error, "");
  EXPECT_TRUE(r.warnings.empty());
  TGIFImage& image = *r.image;
  EXPECT_EQ(image.Width(), 10);
  EXPECT_EQ(image.Height(), 6);
  EXPECT_EQ(image.BackgroundColorIndex(), 2);
  EXPECT_EQ(image.GlobalColorMap()->Count(), 4);
  ASSERT_EQ(image.Images()->Count(), 2);
  TGIFSubImage* second = image.Images()->Items(1);
  EXPECT_EQ(second->BoundsRect(), (TRect{2, 1, 7, 4}));
  EXPECT_EQ(second->ColorMap()->Count(), 8);
  EXPECT_EQ(FramePixels(image.Images()->Items(0)), Pattern(10, 6, 4));
  EXPECT_EQ(FramePixels(second), Pattern(5, 3, 8, 1));
  ASSERT_NE(second->GraphicControlExtension(), nullptr);
  EXPECT_EQ(second->GraphicControlExtension()->Delay(), 7);
}

TEST(GIFBlocks, DamagedBlockSequencesKeepWhatIsGood) {
  struct Case {
    const char* name;
    Bytes file;
    int frames;
    std::vector<std::string> warnings;
  };
  const auto base = [] {
    GifFile f(4, 4, Colors(2));
    f.Frame(0, 0, 4, 4, Pattern(4, 4, 2));
    return f;
  };
  std::vector<Case> cases;
  {
    // Zero bytes between blocks are skipped.
    GifFile f = base();
    f.Raw({0, 0, 0}).Frame(0, 0, 4, 4, Pattern(4, 4, 2)).Raw({0});
    cases.push_back({"zero padding", f.Done(), 2, {}});
  }
  {
    GifFile f = base();
    cases.push_back({"no trailer", f.data, 1, {}});
  }
  {
    // A stray byte where a block should start.
    GifFile f = base();
    f.Raw({0x55}).Frame(0, 0, 4, 4, Pattern(4, 4, 2));
    cases.push_back({"stray byte", f.Done(), 1, {"Unknown GIF block type", "Invalid Image trailer"}});
  }
  {
    // Extensions the trailer follows become a frame without pixels.
    GifFile f = base();
    f.Comment({"after"});
    cases.push_back({"trailing extensions", f.Done(), 2, {}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Loaded r = Load(c.file);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.image->Images()->Count(), c.frames);
    EXPECT_EQ(r.warnings, c.warnings);
    EXPECT_EQ(FramePixels(r.image->Images()->Items(0)), Pattern(4, 4, 2));
  }
}

TEST(GIFBlocks, FourBytesBeforeTheSignatureAreSkippedAndOtherwiseTheSignatureIsChecked) {
  GifFile f(4, 4, Colors(2));
  f.Frame(0, 0, 4, 4, Pattern(4, 4, 2));
  Bytes prefixed{1, 2, 3, 4};
  const Bytes plain = f.Done();
  prefixed.insert(prefixed.end(), plain.begin(), plain.end());
  EXPECT_EQ(Load(prefixed).error, "");
  EXPECT_EQ(Load(prefixed).image->Images()->Count(), 1);
  Bytes lower = plain;
  lower[0] = 'g';  // the signature is compared without regard to case
  EXPECT_EQ(Load(lower).error, "");
  Bytes other = plain;
  other[1] = 'X';
  EXPECT_EQ(Load(other).error, "Invalid GIF signature");
  EXPECT_EQ(Load(Bytes(plain.begin(), plain.begin() + 5)).error, "Premature end of data");
}

TEST(GIFBlocks, AFailedLoadPutsTheStreamBackAndKeepsTheFramesReadBeforeIt) {
  GifFile f(4, 4, Colors(2));
  f.Frame(0, 0, 4, 4, Pattern(4, 4, 2));
  f.Raw({0x21, 0x77, 1, 'x', 0});  // a label no class reads
  Bytes bytes{9, 9};
  const Bytes file = f.Done();
  bytes.insert(bytes.end(), file.begin(), file.end());
  TGIFImage image;
  TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  s.Seek(2, soBeginning);
  EXPECT_THROW(image.LoadFromStream(s), GIFException);
  EXPECT_EQ(s.Position(), 2);
  EXPECT_EQ(image.Images()->Count(), 1);
}

TEST(GIFBlocks, AFrameOfNoSizeTakesTheScreenSizeNotItsTransposition) {
  // A 10 x 3 screen: width and height must not be swapped.
  GifFile f(10, 3, Colors(2));
  f.Descriptor(0, 0, 0, 3).Raw(LiteralImageData(Pattern(10, 3, 2), 2));
  const Loaded r = Load(f.Done());
  ASSERT_EQ(r.error, "");
  TGIFSubImage* frame = r.image->Images()->Items(0);
  EXPECT_EQ(frame->Width(), 10);
  EXPECT_EQ(frame->Height(), 3);
  EXPECT_EQ(FramePixels(frame), Pattern(10, 3, 2));
  EXPECT_EQ(r.warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
}

TEST(GIFBlocks, AScreenOfNoSizeTakesTheFramesExtent) {
  GifFile f(0, 0, Colors(2));
  f.Frame(1, 2, 4, 3, Pattern(4, 3, 2)).Frame(3, 0, 5, 2, Pattern(5, 2, 2));
  const Loaded r = Load(f.Done());
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.image->Width(), 8);
  EXPECT_EQ(r.image->Height(), 5);
}

TEST(GIFBlocks, ALocalTableMakesAFrameNonInterlacedAndTheGlobalTableKeepsInterlace) {
  GifFile f(8, 11, Colors(4));
  f.Frame(0, 0, 8, 11, Pattern(8, 11, 4), {}, true);
  f.Frame(0, 0, 8, 11, Pattern(8, 11, 4, 2), Colors(4), true);
  Loaded r = Load(f.Done());
  ASSERT_EQ(r.error, "");
  const Loaded back = Load(Save(*r.image));
  ASSERT_EQ(back.error, "");
  EXPECT_TRUE(back.image->Images()->Items(0)->Interlaced());
  EXPECT_FALSE(back.image->Images()->Items(1)->Interlaced());
  EXPECT_FALSE(r.image->Images()->Items(1)->Interlaced());  // and from the save on
  EXPECT_EQ(FramePixels(back.image->Images()->Items(0)), Pattern(8, 11, 4));
  EXPECT_EQ(FramePixels(back.image->Images()->Items(1)), Pattern(8, 11, 4, 2));
}

TEST(GIFBlocks, ALongCommentLineComesBackInPiecesOf255) {
  TGIFImage image;
  auto frame = std::make_unique<TGIFSubImage>(&image);
  frame->ColorMap()->Add(clBlack);
  frame->ColorMap()->Add(clWhite);
  frame->SetBounds(0, 0, 2, 2);
  auto comment = std::make_unique<TGIFCommentExtension>(frame.get());
  comment->Text = {std::string(300, 'c'), "", "tail"};
  frame->Extensions()->Add(std::move(comment));
  image.AppendFrame(std::move(frame));
  const Bytes bytes = Save(image);
  const Loaded r = Load(bytes);
  ASSERT_EQ(r.error, "");
  auto* back = dynamic_cast<TGIFCommentExtension*>(r.image->Images()->Items(0)->Extensions()->Items(0));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Text, (std::vector<std::string>{std::string(255, 'c'), std::string(45, 'c'), "tail"}));
}

TEST(GIFBlocks, TheVersionIs87aUnlessAFrameNeeds89a) {
  GifFile plain(4, 4, Colors(2), 0, "GIF89a");
  plain.Frame(0, 0, 4, 4, Pattern(4, 4, 2));
  Loaded r = Load(plain.Done());
  EXPECT_EQ(r.image->Version(), 1);
  Bytes bytes = Save(*r.image);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF87a");
  GifFile animated(4, 4, Colors(2), 0, "GIF87a");
  animated.Gce(0, 5).Frame(0, 0, 4, 4, Pattern(4, 4, 2));
  r = Load(animated.Done());
  bytes = Save(*r.image);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
  TGIFImage empty;
  try {
    Save(empty);
    FAIL() << "an empty image saved";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Unsupported GIF version");
  }
}

TEST(GIFBlocks, TheHeaderDeclaresTheGlobalTableAsItIsWritten) {
  // The global table has 2 entries, a frame's local table 16: the image codes at 4 bits, a frame on
  // the global table too, but the header declares (and holds) the 2 entries the table has.
  GifFile f(4, 2, Colors(2));
  f.Frame(0, 0, 4, 2, {0, 1, 1, 0, 1, 0, 0, 1}).Frame(0, 0, 4, 2, Pattern(4, 2, 16), Colors(16));
  Loaded r = Load(f.Done());
  ASSERT_EQ(r.error, "");
  const Bytes bytes = Save(*r.image);
  const uint8_t packed = bytes[10];
  ASSERT_TRUE(packed & 0x80);
  EXPECT_EQ(2 << (packed & 7), 2);
  EXPECT_EQ((packed >> 4) & 7, 3);  // the colour resolution: the local table's 4 bits
  EXPECT_TRUE(bytes[13 + 6] == 0x2C || bytes[13 + 6] == 0x21) << int(bytes[13 + 6]);
  EXPECT_EQ(bytes[13 + 6 + 10], 4);  // the first frame's code size
  const Loaded back = Load(bytes);
  ASSERT_EQ(back.error, "");
  EXPECT_EQ(back.image->GlobalColorMap()->Count(), 2);
  EXPECT_EQ(FramePixels(back.image->Images()->Items(0)), (Bytes{0, 1, 1, 0, 1, 0, 0, 1}));
}

}  // namespace
