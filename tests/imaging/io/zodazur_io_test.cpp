#include "imaging/io/zodazur_io.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/print_preview_params.h"
#include "imaging/io/twain_params.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/picture.h"
#include "platform/ui/ext_ctrls.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::FakeView;

TEST(ZodazUrIO, CreatedWithItsOwnBitmapAndDefaults) {
  TZodazUrIO io(nullptr);
  ASSERT_NE(io.IEBitmap(), nullptr);
  EXPECT_TRUE(io.OwnsBitmap());
  EXPECT_EQ(io.AttachedZodazUr(), nullptr);
  EXPECT_EQ(io.Background(), clBlack);
  EXPECT_EQ(io.MsgLanguage(), msSystem);
  EXPECT_TRUE(io.SimplifiedParamsDialogs());
  EXPECT_FALSE(io.StreamHeaders());
  EXPECT_FALSE(io.AutoAdjustDPI());
  EXPECT_FALSE(io.Asynchronous());
  EXPECT_EQ(io.PrintFilter(), rfFastLinear);
  EXPECT_EQ(io.DialogsMeasureUnit(), ieduInches);
  ASSERT_NE(io.PreviewFont(), nullptr);
  ASSERT_NE(io.TWainParams(), nullptr);
  EXPECT_EQ(io.TWainParams()->OwnerIsMulti1, 0);
  EXPECT_EQ(io.TWainParams()->Owner(), &io);
  EXPECT_EQ(io.TWainParams()->PageSize, -2);
  ASSERT_NE(io.PrintPreviewParams(), nullptr);
  EXPECT_EQ(io.PrintPreviewParams()->PlacementCode, 4);
  EXPECT_EQ(io.PrintPreviewParams()->PrintWidth, -1.0);
  EXPECT_EQ(io.Params().Owner(), &io);
  EXPECT_TRUE(io.CheckBitmap());
}

TEST(ZodazUrIO, AttachToAViewAndBack) {
  FakeView view(nullptr);
  TZodazUrIO io(nullptr);
  TIEBitmap* own = io.IEBitmap();
  io.SetAttachedZodazUr(&view);
  EXPECT_EQ(io.AttachedZodazUr(), &view);
  EXPECT_EQ(io.IEBitmap(), view.GetIEBitmap());
  EXPECT_FALSE(io.OwnsBitmap());
  EXPECT_EQ(view.CallbackCount(), 1);
  io.SetAttachedZodazUr(nullptr);
  EXPECT_EQ(view.CallbackCount(), 0);
  EXPECT_TRUE(io.OwnsBitmap());
  EXPECT_NE(io.IEBitmap(), view.GetIEBitmap());
  EXPECT_TRUE(io.IEBitmap()->IsEmpty());
  (void)own;
}

TEST(ZodazUrIO, FollowsTheViewsBitmapAndResolution) {
  FakeView view(nullptr);
  view.SetDpiX(150);
  view.SetDpiY(75);
  TZodazUrIO io(nullptr);
  io.SetAttachedZodazUr(&view);
  view.ReplaceBitmap(std::make_unique<TIEBitmap>(5, 5, ie8g));
  EXPECT_EQ(io.IEBitmap(), view.GetIEBitmap());
  EXPECT_EQ(io.Params().DpiX, 150);
  EXPECT_EQ(io.Params().DpiY, 75);
}

TEST(ZodazUrIO, NilBitmapWhileAViewIsAttachedChangesNothing) {
  FakeView view(nullptr);
  TZodazUrIO io(nullptr);
  io.SetAttachedZodazUr(&view);
  io.SetAttachedIEBitmap(nullptr);
  // Still attached and still following: the working bitmap is never one the component stopped tracking.
  EXPECT_EQ(io.AttachedZodazUr(), &view);
  EXPECT_EQ(view.CallbackCount(), 1);
  view.ReplaceBitmap(std::make_unique<TIEBitmap>(2, 2, ie8g));
  EXPECT_EQ(io.IEBitmap(), view.GetIEBitmap());
  io.SetAttachedZodazUr(nullptr);
}

TEST(ZodazUrIO, CallersBitmapReplacesTheView) {
  FakeView view(nullptr);
  TIEBitmap mine(3, 3, ie24RGB);
  TZodazUrIO io(nullptr);
  io.SetAttachedZodazUr(&view);
  io.SetAttachedIEBitmap(&mine);
  EXPECT_EQ(io.AttachedZodazUr(), nullptr);
  EXPECT_EQ(view.CallbackCount(), 0);
  EXPECT_EQ(io.IEBitmap(), &mine);
  EXPECT_FALSE(io.OwnsBitmap());
  // Attaching no view gives a new bitmap of its own.
  io.SetAttachedZodazUr(nullptr);
  EXPECT_TRUE(io.OwnsBitmap());
  io.SetAttachedIEBitmap(&mine);
  // With nothing attached, nil leaves the component without a working bitmap.
  io.SetAttachedIEBitmap(nullptr);
  EXPECT_EQ(io.IEBitmap(), nullptr);
  EXPECT_FALSE(io.CheckBitmap());
  auto fromBitmap = TZodazUrIO::CreateFromBitmap(&mine);
  EXPECT_EQ(fromBitmap->IEBitmap(), &mine);
}

TEST(ZodazUrIO, ADestroyedViewLeavesNoReferenceBehind) {
  for (bool callbacks : {true, false}) {
    SCOPED_TRACE(callbacks);
    TZodazUrIO io(nullptr);
    auto* view = new FakeView(nullptr);
    view->notifyOnDestroy = callbacks;  // without callbacks only the removal notification arrives
    io.SetAttachedZodazUr(view);
    delete view;
    EXPECT_EQ(io.AttachedZodazUr(), nullptr);
    EXPECT_TRUE(io.OwnsBitmap());  // a new bitmap of its own, not the view's
    EXPECT_TRUE(io.IEBitmap()->IsEmpty());
    EXPECT_EQ(io.GetBitmap(), nullptr);
    EXPECT_TRUE(io.CheckBitmap());
    io.UpdateAttached();  // touches nothing of the view
  }
}

TEST(ZodazUrIO, AViewWithOnlyAFrameworkBitmapIsWrapped) {
  TBitmap framework(6, 4);
  framework.SetPixelFormat(pf24bit);
  FakeView view(nullptr, ievkImageView, false, &framework);
  TZodazUrIO io(nullptr);
  io.SetAttachedZodazUr(&view);
  EXPECT_TRUE(io.OwnsBitmap());
  EXPECT_EQ(io.AttachedBitmap(), &framework);
  EXPECT_EQ(io.GetBitmap(), &framework);
  ASSERT_TRUE(io.CheckBitmap());
  EXPECT_EQ(io.IEBitmap()->Width(), 6);
  // The framework bitmap changed size: the next check wraps it again.
  framework.SetSize(9, 2);
  ASSERT_TRUE(io.CheckBitmap());
  EXPECT_EQ(io.IEBitmap()->Width(), 9);
  // Marked modified when the image changes without a view to tell.
  io.SetAttachedZodazUr(nullptr);
  EXPECT_EQ(io.AttachedBitmap(), nullptr);
  EXPECT_EQ(io.GetBitmap(), nullptr);
}

std::unique_ptr<TImage> PictureControl(int32_t width, int32_t height) {
  auto image = std::make_unique<TImage>(nullptr);
  TBitmap* bitmap = image->Picture()->Bitmap();
  bitmap->SetSize(width, height);
  bitmap->SetPixelFormat(pf24bit);
  return image;
}

TEST(ZodazUrIO, APictureControlsBitmapIsTheWorkingBitmap) {
  auto image = PictureControl(5, 4);
  TZodazUrIO io(nullptr);
  io.SetAttachedTImage(image.get());
  EXPECT_EQ(io.AttachedTImage(), image.get());
  EXPECT_EQ(io.GetBitmap(), image->Picture()->Bitmap());
  ASSERT_TRUE(io.CheckBitmap());
  EXPECT_EQ(io.IEBitmap()->Width(), 5);
  io.IEBitmap()->Fill(clRed);  // the pixels are the picture's
  EXPECT_EQ(image->Picture()->Bitmap()->Canvas()->Pixels(2, 2), clRed);
  // The picture takes a new bitmap: the next check works on that one.
  TBitmap replacement(7, 3);
  replacement.SetPixelFormat(pf24bit);
  image->Picture()->SetBitmap(&replacement);
  ASSERT_TRUE(io.CheckBitmap());
  EXPECT_EQ(io.IEBitmap()->Width(), 7);
  EXPECT_EQ(io.GetBitmap(), image->Picture()->Bitmap());
  // After a change the framework bitmap is marked modified and keeps no alpha channel.
  image->Picture()->Bitmap()->SetModified(false);
  io.IEBitmap()->SetAlpha(0, 0, 9);
  io.UpdateAttached();
  EXPECT_TRUE(image->Picture()->Bitmap()->Modified());
  EXPECT_FALSE(io.IEBitmap()->HasAlphaChannel());
}

TEST(ZodazUrIO, RemovingThePictureControlClearsEveryReferenceToItsBitmap) {
  auto image = PictureControl(5, 4);
  TZodazUrIO io(nullptr);
  io.SetAttachedTImage(image.get());
  io.CheckBitmap();
  image.reset();
  EXPECT_EQ(io.AttachedTImage(), nullptr);
  EXPECT_EQ(io.AttachedBitmap(), nullptr);
  EXPECT_EQ(io.GetBitmap(), nullptr);
  ASSERT_TRUE(io.CheckBitmap());
  EXPECT_TRUE(io.IEBitmap()->IsEmpty());
  io.IEBitmap()->Allocate(2, 2, ie24RGB);  // a bitmap of its own again
  io.UpdateAttached();
}

TEST(ZodazUrIO, AttachmentsReplaceEachOther) {
  auto image = PictureControl(5, 4);
  FakeView view(nullptr);
  TIEBitmap mine(3, 3, ie24RGB);
  TZodazUrIO io(nullptr);

  io.SetAttachedTImage(image.get());
  io.SetAttachedIEBitmap(nullptr);  // ignored while a picture control is attached
  EXPECT_EQ(io.AttachedTImage(), image.get());
  // Attaching nil to a view keeps the picture control.
  io.SetAttachedZodazUr(nullptr);
  EXPECT_EQ(io.AttachedTImage(), image.get());
  ASSERT_TRUE(io.CheckBitmap());
  EXPECT_EQ(io.IEBitmap()->Width(), 5);

  io.SetAttachedZodazUr(&view);
  EXPECT_EQ(io.AttachedTImage(), nullptr);
  EXPECT_EQ(io.AttachedBitmap(), nullptr);
  EXPECT_EQ(io.IEBitmap(), view.GetIEBitmap());

  io.SetAttachedTImage(image.get());
  EXPECT_EQ(io.AttachedZodazUr(), nullptr);
  EXPECT_EQ(view.CallbackCount(), 0);
  EXPECT_TRUE(io.OwnsBitmap());
  EXPECT_NE(io.IEBitmap(), view.GetIEBitmap());  // the view's bitmap is never made the wrapper

  io.SetAttachedIEBitmap(&mine);
  EXPECT_EQ(io.AttachedTImage(), nullptr);
  EXPECT_EQ(io.IEBitmap(), &mine);

  io.SetAttachedTImage(image.get());
  EXPECT_EQ(mine.Width(), 3);  // a caller's bitmap is never made the wrapper either
  io.SetAttachedTImage(nullptr);
  EXPECT_EQ(io.AttachedTImage(), nullptr);
  EXPECT_EQ(io.AttachedBitmap(), nullptr);
  EXPECT_EQ(io.GetBitmap(), nullptr);
  image.reset();  // no notification reaches a component that let go
  EXPECT_TRUE(io.CheckBitmap());
}

TEST(ZodazUrIO, BackgroundBelongsToTheViewWhenOneIsAttached) {
  TZodazUrIO io(nullptr);
  io.SetBackground(clRed);
  EXPECT_EQ(io.Background(), clRed);
  FakeView view(nullptr);
  view.SetBackground(clBlue);
  io.SetAttachedZodazUr(&view);
  EXPECT_EQ(io.Background(), clBlue);
  io.SetBackground(clGreen);
  EXPECT_EQ(view.Background(), clBlue);
  io.SetAttachedZodazUr(nullptr);
  EXPECT_EQ(io.Background(), clRed);
}

TEST(ZodazUrIO, CheckBitmapWithAllowedFormats) {
  TZodazUrIO io(nullptr);
  io.IEBitmap()->Allocate(2, 2, ie8g);
  EXPECT_TRUE(io.CheckBitmap());
  EXPECT_TRUE(io.CheckBitmap(PixelFormatSet(ie8g) | PixelFormatSet(ie24RGB)));
  EXPECT_FALSE(io.CheckBitmap(PixelFormatSet(ie24RGB)));
}

TEST(ZodazUrIO, ApplyDefaultDPI) {
  TZodazUrIO io(nullptr);
  io.Params().DpiX = 1;
  io.Params().DpiY = 72;
  io.ApplyDefaultDPI();
  EXPECT_EQ(io.Params().DpiX, 300);
  EXPECT_EQ(io.Params().DpiY, 72);
}

struct AdjustCase {
  int32_t width, height, dpiX, dpiY;
  int32_t expectedWidth, expectedHeight, expectedDpi;
};

TEST(ZodazUrIO, AutoAdjustDPIMakesPixelsSquare) {
  const AdjustCase cases[] = {
      {400, 300, 200, 100, 400, 600, 200},  // the height is the smaller side
      {400, 300, 100, 200, 400, 150, 100},
      {300, 400, 100, 200, 600, 400, 200},  // the width is the smaller side (or equal)
      {300, 300, 200, 100, 150, 300, 100},
  };
  for (const AdjustCase& c : cases) {
    for (TIEPixelFormat format : {ie24RGB, ie1g, ie8p}) {
      SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " @" << c.dpiX << "x" << c.dpiY << " f" << int(format));
      TZodazUrIO io(nullptr);
      io.IEBitmap()->Allocate(c.width, c.height, format);
      io.IEBitmap()->Fill(0);
      io.IEBitmap()->SetAlpha(0, 0, 7);
      io.Params().Width = c.width;
      io.Params().Height = c.height;
      io.Params().DpiX = c.dpiX;
      io.Params().DpiY = c.dpiY;
      io.DoAutoAdjustDPI();
      EXPECT_EQ(io.IEBitmap()->Width(), c.expectedWidth);
      EXPECT_EQ(io.IEBitmap()->Height(), c.expectedHeight);
      EXPECT_EQ(io.IEBitmap()->PixelFormat(), format);
      EXPECT_EQ(io.Params().Width, c.expectedWidth);
      EXPECT_EQ(io.Params().Height, c.expectedHeight);
      EXPECT_EQ(io.Params().DpiX, c.expectedDpi);
      EXPECT_EQ(io.Params().DpiY, c.expectedDpi);
      ASSERT_TRUE(io.IEBitmap()->HasAlphaChannel());
      EXPECT_EQ(io.IEBitmap()->GetAlphaChannel()->Width(), c.expectedWidth);
      EXPECT_EQ(io.IEBitmap()->GetAlpha(0, 0), 7);
      EXPECT_EQ(io.IEBitmap()->GetAlpha(c.expectedWidth - 1, c.expectedHeight - 1), 255);
    }
  }
}

TEST(ZodazUrIO, AutoAdjustDPIFilteredKeepsThePixels) {
  TZodazUrIO io(nullptr);
  io.SetFilteredAdjustDPI(true);
  io.IEBitmap()->Allocate(4, 2, ie8g);
  io.IEBitmap()->Fill(100);
  io.Params().Width = 4;
  io.Params().Height = 2;
  io.Params().DpiX = 200;
  io.Params().DpiY = 100;
  io.DoAutoAdjustDPI();
  EXPECT_EQ(io.IEBitmap()->Height(), 4);
  EXPECT_EQ(io.IEBitmap()->PixelFormat(), ie24RGB);  // the filtered path works in 24 bits
  EXPECT_EQ(io.IEBitmap()->GetPixelRGB(3, 3), CreateRGB(100, 100, 100));
}

TEST(ZodazUrIO, AutoAdjustDPIFilteredAveragesNeighbours) {
  // A black/white column pair stretched to twice the height by a filter keeps its columns but
  // no longer repeats rows as nearest-pixel stretching does: rows are blends of their sources.
  TZodazUrIO io(nullptr);
  io.SetFilteredAdjustDPI(true);
  io.IEBitmap()->Allocate(8, 2, ie24RGB);
  io.IEBitmap()->Fill(0);
  for (int x = 0; x < 8; ++x) io.IEBitmap()->SetPixel24(x, 1, CreateRGB(200, 200, 200));
  io.Params().Width = 8;
  io.Params().Height = 2;
  io.Params().DpiX = 200;
  io.Params().DpiY = 100;
  io.DoAutoAdjustDPI();
  ASSERT_EQ(io.IEBitmap()->Height(), 4);
  const int top = io.IEBitmap()->GetPixelRGB(0, 0).r;
  const int bottom = io.IEBitmap()->GetPixelRGB(0, 3).r;
  EXPECT_LT(top, bottom);
  bool blended = false;
  for (int y = 0; y < 4; ++y) {
    int v = io.IEBitmap()->GetPixelRGB(0, y).r;
    if (v != 0 && v != 200) blended = true;
  }
  EXPECT_TRUE(blended);
}

TEST(ZodazUrIO, AutoAdjustDPIStopsWhereThereIsNothingToDo) {
  struct Case {
    int32_t width, height, dpiX, dpiY;
  };
  const Case cases[] = {
      {40, 30, 100, 100},        // square pixels already
      {40, 30, 0, 100},          // no resolution
      {40, 30, 100, -5},
      {0, 30, 200, 100},         // no size in the parameters
      {40, 30, 2000000000, 1},   // a size no bitmap can have
  };
  for (const Case& c : cases) {
    TZodazUrIO io(nullptr);
    io.IEBitmap()->Allocate(40, 30, ie24RGB);
    io.Params().Width = c.width;
    io.Params().Height = c.height;
    io.Params().DpiX = c.dpiX;
    io.Params().DpiY = c.dpiY;
    io.DoAutoAdjustDPI();
    EXPECT_EQ(io.IEBitmap()->Width(), 40);
    EXPECT_EQ(io.IEBitmap()->Height(), 30);
    EXPECT_EQ(io.Params().DpiX, c.dpiX);
    EXPECT_EQ(io.Params().DpiY, c.dpiY);
    EXPECT_EQ(io.Params().Height, c.height);
  }
}

TEST(ZodazUrIO, ProgressAndFinishNotifications) {
  TZodazUrIO io(nullptr);
  std::vector<std::string> log;
  io.DoProgress(&io, 10);  // no handler: nothing happens
  io.OnProgress = [&](TObject* sender, int32_t per) {
    log.push_back("progress " + std::to_string(per) + (sender == &io ? "" : " foreign"));
  };
  io.OnFinishWork = [&](TObject* sender) { log.push_back(sender == &io ? "finish" : "finish foreign"); };
  TIEProgressRecord progress;
  io.FillProgressRecord(progress);
  progress.Report(5);
  progress.Report(5);
  progress.Report(60);
  progress.Abort();
  EXPECT_TRUE(io.Aborting());
  io.SetAborting(false);
  io.DoFinishWork();
  EXPECT_EQ(log, (std::vector<std::string>{"progress 5", "progress 60", "progress 100", "finish"}));
}

TEST(ZodazUrIO, UpdateAttachedOnTheUserInterfaceThread) {
  FakeView view(nullptr);
  TZodazUrIO io(nullptr);
  io.SetAttachedZodazUr(&view);
  io.UpdateAttached();
  EXPECT_EQ(view.updates, 1);
  EXPECT_EQ(view.imageChanges, 1);
  EXPECT_TRUE(view.messages.empty());
  io.SetAttachedZodazUr(nullptr);

  TBitmap framework(3, 3);
  framework.SetPixelFormat(pf24bit);
  FakeView legacy(nullptr, ievkImageView, false, &framework);
  io.SetAttachedZodazUr(&legacy);
  io.CheckBitmap();
  io.IEBitmap()->SetAlpha(1, 1, 0);
  io.UpdateAttached();
  EXPECT_FALSE(io.IEBitmap()->HasAlphaChannel());  // removed, not merged
  io.SetAttachedZodazUr(nullptr);
}

TEST(ZodazUrIO, UpdateViewDPIOnlyForASingleImageView) {
  FakeView view(nullptr), thumbnails(nullptr, ievkMultiView);
  TZodazUrIO io(nullptr);
  io.SetAttachedZodazUr(&view);
  io.Params().DpiX = 90;
  io.Params().DpiY = 45;
  io.UpdateViewDPI();
  EXPECT_EQ(view.DpiX(), 90);
  EXPECT_EQ(view.DpiY(), 45);
  EXPECT_TRUE(view.dpiSetInsideLock);
  io.SetAttachedZodazUr(&thumbnails);
  io.Params().DpiX = 91;
  io.UpdateViewDPI();
  EXPECT_EQ(thumbnails.DpiX(), 0);
  io.SetAttachedZodazUr(nullptr);
}

TEST(ZodazUrIO, AcquiredBitmaps) {
  TZodazUrIO io(nullptr);
  TIEBitmap scanned(5, 4, ie24RGB);
  scanned.Fill(clLime);
  TIOParamsVals* sourceParams = nullptr;
  io.OnAcquireBitmap = [](TObject*, TIEBitmap*, bool& handled) { handled = true; };
  io.DoAcquireBitmap(&scanned, sourceParams);
  EXPECT_EQ(sourceParams, nullptr);
  EXPECT_TRUE(io.IEBitmap()->IsEmpty());
  io.OnAcquireBitmap = nullptr;
  io.DoAcquireBitmap(&scanned, sourceParams);
  EXPECT_EQ(sourceParams, &io.Params());
  EXPECT_EQ(io.IEBitmap()->Width(), 5);
  EXPECT_EQ(io.IEBitmap()->GetPixel24(4, 3), CreateRGB(0, 255, 0));
}

TEST(ZodazUrIO, SaveParametersDialog) {
  TZodazUrIO io(nullptr);
  io.IEBitmap()->Allocate(2, 2, ie8g);
  io.IEBitmap()->Fill(90);
  // A handler that takes the job: True, nothing shown, nothing converted.
  io.OnDoPreviews = [](TObject*, bool& handled) { handled = true; };
  EXPECT_TRUE(io.DoPreviews(PreviewPageBit(ppJPEG)));
  EXPECT_EQ(io.IEBitmap()->PixelFormat(), ie8g);
  io.OnDoPreviews = nullptr;
  // Without the dialogs there is nothing to show, and the image stays as it is.
  EXPECT_FALSE(io.DoPreviews(PreviewPageBit(ppJPEG)));
  EXPECT_EQ(io.IEBitmap()->PixelFormat(), ie8g);
  static TIOPreviewPages shownPages = 0;
  IOPreviewsDialog = [](TZodazUrIO&, TIOPreviewPages pages) {
    shownPages = pages;
    return true;
  };
  EXPECT_TRUE(io.DoPreviews(PreviewPageBit(ppGIF)));
  EXPECT_EQ(shownPages, PreviewPageBit(ppGIF));
  EXPECT_EQ(io.IEBitmap()->PixelFormat(), ie24RGB);  // the dialog previews 24-bit images
  EXPECT_EQ(io.IEBitmap()->GetPixel24(1, 1), CreateRGB(90, 90, 90));
  io.IEBitmap()->Allocate(2, 2, ie1g);
  EXPECT_TRUE(io.DoPreviews(PreviewPageBit(ppGIF)));
  EXPECT_EQ(io.IEBitmap()->PixelFormat(), ie1g);
  IOPreviewsDialog = nullptr;
  io.ReplaceWorkBitmap(nullptr);
  EXPECT_FALSE(io.DoPreviews(PreviewPageBit(ppGIF)));
}

TEST(ZodazUrIO, PropertySetters) {
  TZodazUrIO io(nullptr);
  TFont font;
  font.SetName("Courier");
  font.SetHeight(-20);
  io.SetPreviewFont(&font);
  EXPECT_EQ(io.PreviewFont()->Name(), "Courier");
  EXPECT_NE(io.PreviewFont(), &font);
  io.SetBWConversion(0);
  EXPECT_EQ(io.BWConversion(), 0);
  EXPECT_EQ(io.IEBitmap()->BWConversion(), 0);
  io.SetNativePixelFormat(true);
  EXPECT_TRUE(io.Params().IsNativePixelFormat);
}

}  // namespace
