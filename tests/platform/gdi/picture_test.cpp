#include "platform/gdi/picture.h"

#include <gtest/gtest.h>

#include "platform/system/streams.h"

namespace {

// A picture class of a test: one colour, drawn as a filled rectangle; its clipboard form is a
// registered format whose data is the colour.
class TSwatch : public TGraphic {
 public:
  bool Empty() const override { return false; }
  int32_t Width() const override { return 2; }
  int32_t Height() const override { return 2; }
  void SetWidth(int32_t) override {}
  void SetHeight(int32_t) override {}
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}
  void Draw(TCanvas* canvas, const TRect& rect) override {
    canvas->Brush()->SetColor(color);
    canvas->FillRect(rect);
  }
  void LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE) override {
    if (format != kFormat || !data) TGraphic::LoadFromClipboardFormat(format, data, nullptr);
    color = *static_cast<TColor*>(data);
  }
  static constexpr uint32_t kFormat = 0xC123;
  TColor color = clRed;
};

class TPlainPicture : public TSwatch {
 public:
  void LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE palette) override {
    TGraphic::LoadFromClipboardFormat(format, data, palette);
  }
};

}  // namespace

TEST(TPictureTest, ClipboardFormatsFindTheirPictureClass) {
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_BITMAP));
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(TSwatch::kFormat));
  TPicture::RegisterClipboardFormat(TSwatch::kFormat, "TSwatch", [] { return std::unique_ptr<TGraphic>(new TSwatch()); });
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(TSwatch::kFormat));

  TPicture picture;
  TColor blue = clBlue;
  picture.LoadFromClipboardFormat(TSwatch::kFormat, &blue, nullptr);
  auto* swatch = dynamic_cast<TSwatch*>(picture.Graphic());
  ASSERT_NE(swatch, nullptr);
  EXPECT_EQ(swatch->color, clBlue);
  // A format nobody reads leaves the picture as it was.
  EXPECT_THROW(picture.LoadFromClipboardFormat(0xC999, &blue, nullptr), EInvalidGraphic);
  EXPECT_EQ(picture.Graphic(), swatch);

  TPicture::UnregisterGraphicClass("TSwatch");
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(TSwatch::kFormat));
}

TEST(TPictureTest, PicturesWithoutAClipboardFormRefuseIt) {
  TPlainPicture plain;
  uint32_t format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  EXPECT_THROW(plain.SaveToClipboardFormat(format, data, palette), EInvalidGraphic);
  EXPECT_THROW(plain.LoadFromClipboardFormat(CF_BITMAP, nullptr, nullptr), EInvalidGraphic);
  // An empty holder gives nothing.
  TPicture empty;
  empty.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, 0u);
  EXPECT_EQ(data, nullptr);
}

TEST(TPictureTest, BitmapsTakeOtherPicturesByDrawingThem) {
  TSwatch swatch;
  swatch.color = clLime;
  TBitmap b;
  b.Assign(&swatch);
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(b.Canvas()->Pixels(1, 1), clLime);
  // Anything that is no picture is refused with the framework's text.
  TFont font;
  try {
    b.Assign(&font);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TFont to a TBitmap.");
  }
}
