// The GIF picture class: round trips of every frame shape, saving safely, copying, the palette, the
// picture registry and progress.
#include <gtest/gtest.h>

#include "pictures/gif_painter.h"
#include "platform/gdi/picture.h"
#include "platform/ui/clipboard.h"
#include "tests/pictures/gif_test_support.h"
#include "tests/support/test_support.h"

using namespace giftest;

namespace {

// An animation with every frame shape: global and local tables, transparency, interlace, each
// disposal, a loop count, comments, plain text and unknown application data.
Bytes EveryShape() {
  GifFile f(20, 12, Colors(8), 3);
  f.Loop(5).Comment({"made by a test"});
  f.Gce(0, 10).Frame(0, 0, 20, 12, Pattern(20, 12, 8));
  f.Gce(1, 20, true, 2).Frame(3, 2, 7, 5, Pattern(7, 5, 8, 1));
  f.Gce(2, 30).Frame(1, 1, 9, 9, Pattern(9, 9, 16, 2), Colors(16));
  f.Gce(3, 40, true, 0).Frame(0, 4, 20, 8, Pattern(20, 8, 8, 3), {}, true);
  f.PlainText(0, 0, 16, 8, 8, 8, 1, 0, {"text"}).App("OTHERAPP1.0", {"payload"});
  f.Gce(4, 5).Frame(5, 5, 3, 3, Pattern(3, 3, 4, 4), Colors(4), true);
  f.Comment({"after the last frame"});
  return f.Done();
}

// The frames' extensions by kind, for comparing two images.
std::vector<std::string> Shape(TGIFImage& image) {
  std::vector<std::string> shape;
  for (int32_t i = 0; i < image.Images()->Count(); ++i) {
    TGIFSubImage* frame = image.Images()->Items(i);
    std::string s = std::to_string(frame->Left()) + "," + std::to_string(frame->Top()) + " " +
                    std::to_string(frame->Width()) + "x" + std::to_string(frame->Height()) +
                    " local " + std::to_string(frame->ColorMap()->Count()) + (frame->Interlaced() ? " interlaced" : "");
    for (int32_t e = 0; e < frame->Extensions()->Count(); ++e) {
      TGIFExtension* x = frame->Extensions()->Items(e);
      s += std::string(" ") + x->Class().Name;
      if (auto* g = dynamic_cast<TGIFGraphicControlExtension*>(x))
        s += "(" + std::to_string(g->Disposal()) + "," + std::to_string(g->Delay()) + "," +
             std::to_string(g->Transparent()) + "," + std::to_string(g->TransparentColorIndex()) + ")";
      if (auto* l = dynamic_cast<TGIFAppExtNSLoop*>(x)) s += "(" + std::to_string(l->Loops) + ")";
      if (auto* c = dynamic_cast<TGIFCommentExtension*>(x)) s += "(" + c->Text.at(0) + ")";
      if (auto* a = dynamic_cast<TGIFUnknownAppExtension*>(x)) s += "(" + a->IdentifierText() + ")";
    }
    shape.push_back(s);
  }
  return shape;
}

TEST(GIFImage, EveryFrameShapeRoundTripsThroughBothEncoders) {
  const Loaded source = Load(EveryShape());
  ASSERT_EQ(source.error, "");
  ASSERT_EQ(source.image->Images()->Count(), 6);
  EXPECT_TRUE(source.image->Images()->Items(5)->Empty());  // the trailing comment
  for (TGIFEncoding encoding : {genLZW, genRunLength}) {
    SCOPED_TRACE(encoding == genLZW ? "lzw" : "rle");
    const Loaded original = Load(EveryShape());
    original.image->SetEncoding(encoding);
    const Loaded back = Load(Save(*original.image));
    ASSERT_EQ(back.error, "");
    EXPECT_TRUE(back.warnings.empty());
    // A frame with a local table comes back non-interlaced; all else as it was.
    std::vector<std::string> expected = Shape(*source.image);
    expected[4] = "5,5 3x3 local 4 TGIFTextExtension TGIFUnknownAppExtension(OTHERAPP1.0) TGIFGraphicControlExtension(4,5,0,0)";
    EXPECT_EQ(Shape(*back.image), expected);
    EXPECT_EQ(back.image->Width(), 20);
    EXPECT_EQ(back.image->BackgroundColorIndex(), 3);
    EXPECT_EQ(back.image->GlobalColorMap()->Count(), 8);
    for (int32_t i = 0; i < 5; ++i)
      EXPECT_EQ(FramePixels(back.image->Images()->Items(i)), FramePixels(source.image->Images()->Items(i))) << i;
  }
}

TEST(GIFImage, AFrameWithAnIndexPastItsTableFailsToSaveBeforeWritingAnything) {
  Loaded r = Load(EveryShape());
  r.image->Images()->Items(2)->SetPixels(0, 0, 16);  // its local table has 16 entries
  TMemoryStream s;
  try {
    r.image->SaveToStream(s);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Color not in color table");
  }
  EXPECT_EQ(s.Size(), 0);
  // A file keeps its old contents.
  testsupport::ScratchDir dir;
  const std::string name = dir.File("kept.gif");
  {
    TFileStream old(name, fmCreate);
    old.WriteBuffer("old", 3);
  }
  EXPECT_THROW(r.image->SaveToFile(name), GIFException);
  EXPECT_THROW(r.image->Images()->Items(2)->SaveToFile(name), GIFException);
  EXPECT_EQ(FileSizeByName(name), 3);
}

TEST(GIFImage, ThePictureRegistryKnowsGifFiles) {
  testsupport::ScratchDir dir;
  const std::string name = dir.File("picture.GIF");
  const Bytes bytes = EveryShape();
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  TPicture picture;
  picture.LoadFromFile(name);
  auto* image = dynamic_cast<TGIFImage*>(picture.Graphic());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->ClassName(), "TGIFImage");
  EXPECT_EQ(image->Images()->Count(), 6);
  EXPECT_EQ(picture.Width(), 20);
  EXPECT_NE(TPicture::GraphicFilter().find("GIF Image (*.gif)"), std::string::npos);
  // Copying the picture makes a new image of the class.
  TPicture copy;
  copy.Assign(&picture);
  ASSERT_NE(dynamic_cast<TGIFImage*>(copy.Graphic()), nullptr);
  EXPECT_EQ(dynamic_cast<TGIFImage*>(copy.Graphic())->Images()->Count(), 6);
  EXPECT_NE(GIFClipboardFormat, 0u);
}

TEST(GIFImage, AssigningAnImageCopiesItsFramesAndDrawingSettingsButKeepsItsOwnHandlers) {
  Loaded source = Load(EveryShape());
  source.image->SetPaintFlags(gpfAnimated | gpfTiled);
  source.image->SetReductionMethod(grmGray256);
  source.image->SetDitherMethod(gdmBurkes);
  source.image->SetQuantizeBits(3);
  source.image->SetEncoding(genRunLength);
  source.image->SetAnimationRate(300);
  source.image->SetPaintBackground(clRed);
  std::vector<std::string> sourceProgress;
  source.image->OnProgress = [&](TObject*, TProgressStage st, uint8_t pc, bool, const TRect&, const std::string& m) {
    sourceProgress.push_back(m + std::to_string(st) + ":" + std::to_string(pc));
  };
  TGIFImage target;
  int ownProgress = 0;
  target.OnProgress = [&](TObject*, TProgressStage, uint8_t, bool, const TRect&, const std::string&) { ++ownProgress; };
  target.OnGIFWarning = [](TObject*, int32_t, const std::string&) {};
  target.Assign(source.image.get());
  EXPECT_EQ(Shape(target), Shape(*source.image));
  EXPECT_EQ(target.PaintFlags(), gpfAnimated | gpfTiled);
  EXPECT_EQ(target.ReductionMethod(), grmGray256);
  EXPECT_EQ(target.DitherMethod(), gdmBurkes);
  EXPECT_EQ(target.PaintBackground(), clRed);
  EXPECT_EQ(target.QuantizeBits(), 8);
  EXPECT_EQ(target.Encoding(), genLZW);
  EXPECT_EQ(target.AnimationRate(), 100);
  EXPECT_EQ(sourceProgress.front(), "Copying...0:0");
  EXPECT_EQ(sourceProgress.back(), "Copying...2:100");
  EXPECT_EQ(ownProgress, 0);
  ASSERT_TRUE(target.OnProgress);
  ASSERT_TRUE(target.OnGIFWarning);
  target.Clear();
  EXPECT_GT(ownProgress, -1);
  target.Assign(nullptr);
  EXPECT_TRUE(target.Empty());
  EXPECT_EQ(target.Width(), 0);
}

TEST(GIFImage, AssigningABitmapMakesOneFrameAndOtherObjectsAreRefused) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(6, 4);
  bitmap.Canvas()->Brush()->SetColor(static_cast<TColor>(RGB(0, 51, 102)));
  bitmap.Canvas()->FillRect(TRect{0, 0, 6, 4});
  TGIFImage image;
  image.Assign(&bitmap);
  ASSERT_EQ(image.Images()->Count(), 1);
  EXPECT_EQ(image.Width(), 6);
  TGIFSubImage* frame = image.Images()->Items(0);
  EXPECT_EQ(frame->ColorMap()->Colors(frame->Pixels(3, 2)), static_cast<TColor>(RGB(0, 51, 102)));
  // Into a bitmap: the composed picture.
  TBitmap back;
  back.Assign(&image);
  EXPECT_EQ(back.Width(), 6);
  EXPECT_EQ(back.Canvas()->Pixels(5, 3), static_cast<TColor>(RGB(0, 51, 102)));
  TFont font;
  try {
    image.AppendFrame(&font);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Object type not supported for operation");
  }
  EXPECT_THROW(image.Assign(&font), EConvertError);
}

TEST(GIFImage, ThePaletteComesFromTheTablesOrTheWebPaletteAndAsksNoMoreThanOnce) {
  Loaded r = Load(EveryShape());
  HPALETTE global = r.image->Palette();
  ASSERT_NE(global, nullptr);
  EXPECT_EQ(GetPaletteEntries(global, 0, 0, nullptr), 8u);
  EXPECT_EQ(r.image->Palette(), global);  // kept
  // No global table and frame 0 without one (and no bitmap yet): the query would ask itself.
  GifFile f(2, 1);
  f.Frame(0, 0, 2, 1, {0, 1});
  Loaded bare = Load(f.Done());
  ASSERT_EQ(bare.error, "");
  bare.image->SetPaintFlags(static_cast<TGIFPaintFlags>(bare.image->PaintFlags() & ~gpfDither));
  try {
    bare.image->Palette();
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "No global or local color table defined");
  }
  // Dithering: the web palette.
  bare.image->SetPaintFlags(static_cast<TGIFPaintFlags>(gpfDither));
  EXPECT_EQ(GetPaletteEntries(bare.image->Palette(), 0, 0, nullptr), 216u);
}

TEST(GIFImage, LoadingReportsProgressAndAFailureEndsAtZero) {
  std::vector<std::string> seen;
  TGIFImage image;
  image.OnProgress = [&](TObject*, TProgressStage st, uint8_t pc, bool redraw, const TRect&, const std::string& m) {
    if (st != psRunning) seen.push_back(m + " " + std::to_string(st) + " " + std::to_string(pc) + " " + std::to_string(redraw));
  };
  const Bytes good = EveryShape();
  TCustomMemoryStream s(good.data(), static_cast<int64_t>(good.size()));
  image.LoadFromStream(s);
  EXPECT_EQ(seen, (std::vector<std::string>{"Loading... 0 0 0", "Loading... 2 100 1"}));
  seen.clear();
  const Bytes bad(good.begin(), good.begin() + 40);
  TCustomMemoryStream t(bad.data(), static_cast<int64_t>(bad.size()));
  EXPECT_THROW(image.LoadFromStream(t), GIFException);
  EXPECT_EQ(seen.back(), "Loading... 2 0 1");
}

TEST(GIFImage, DrawingOneFrameNeverMakesAPainter) {
  Loaded r = Load([] {
    GifFile f(4, 2, Colors(4));
    f.Frame(0, 0, 4, 2, {0, 1, 2, 3, 3, 2, 1, 0});
    return f.Done();
  }());
  bool painted = false;
  r.image->OnPaintBegin = [&](TObject*) { painted = true; };
  TBitmap canvas;
  canvas.SetSize(8, 4);
  canvas.Canvas()->StretchDraw(TRect{0, 0, 8, 4}, r.image.get());
  EXPECT_FALSE(painted);
  EXPECT_TRUE(r.image->Painters().empty());
  EXPECT_EQ(canvas.Canvas()->Pixels(7, 3), static_cast<TColor>(RGB(0, 5, 9)));  // colour 0, stretched
}

}  // namespace

namespace {

TEST(GIFImage, TheClipboardCarriesTheWholeFileBesideThePicture) {
  Loaded source = Load(EveryShape());
  Clipboard()->Assign(source.image.get());
  EXPECT_TRUE(Clipboard()->HasFormat(GIFClipboardFormat));
  EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  // A picture takes the file, every frame of it.
  TPicture picture;
  picture.Assign(Clipboard());
  auto* image = dynamic_cast<TGIFImage*>(picture.Graphic());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Images()->Count(), 6);
  // Asked for the format without data, the image reads the clipboard's.
  TGIFImage direct;
  direct.LoadFromClipboardFormat(GIFClipboardFormat, nullptr, nullptr);
  EXPECT_EQ(direct.Images()->Count(), 6);
  // A bitmap on the clipboard becomes one frame.
  TGIFImage fromBitmap;
  fromBitmap.LoadFromClipboardFormat(CF_BITMAP, nullptr, nullptr);
  EXPECT_EQ(fromBitmap.Images()->Count(), 1);
  EXPECT_EQ(fromBitmap.Width(), 20);
  Clipboard()->Clear();
  try {
    direct.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr);
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Unsupported clipboard format");
  }
  // An empty image gives nothing.
  uint32_t format = 1;
  HANDLE data = &format;
  HPALETTE palette = nullptr;
  TGIFImage().SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, 0u);
  EXPECT_EQ(data, nullptr);
}

}  // namespace
