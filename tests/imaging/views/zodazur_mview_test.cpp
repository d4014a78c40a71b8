// The thumbnail view's image list: inserts, appends, deletes with reselection, moves (also past the
// end), clearing, frames of a file, check-outs, storing with reduction to thumbnails, the last
// change seen by callbacks, and the multi-image I/O component that follows the list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/zodazur_mio.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/classes.h"
#include "tests/imaging/views/mview_fixtures.h"
#include "tests/support/test_support.h"

namespace {

using mviewtest::MViewTest;
using mviewtest::Solid;

// The colour tag each image carries: its blue byte.
std::vector<int> Tags(TZodazUrMView* v) {
  std::vector<int> t;
  TIEBitmap b;
  for (int i = 0; i < v->ImageCount(); ++i) {
    v->GetImageBitmap(i, &b);
    t.push_back(b.GetPixel24(0, 0).b);
  }
  return t;
}

TEST(ZodazUrMViewDefaults, ConstructionLeavesTheDocumentedState) {
  TZodazUrMView v(nullptr);
  EXPECT_EQ(v.ZodazUrVersion(), "3.1.2");
  EXPECT_EQ(v.Width(), 180);
  EXPECT_EQ(v.Height(), 90);
  EXPECT_EQ(v.ImageCount(), 0);
  EXPECT_EQ(v.SelectedImage(), -1);
  EXPECT_EQ(v.StoreType(), ietNormal);
  EXPECT_EQ(v.ThumbWidth(), 100);
  EXPECT_EQ(v.ThumbHeight(), 100);
  EXPECT_EQ(v.HorizBorder(), 4);
  EXPECT_EQ(v.VertBorder(), 4);
  EXPECT_EQ(v.GridWidth(), 0);
  EXPECT_EQ(v.DisplayMode(), mdGrid);
  EXPECT_EQ(v.Style(), iemsACD);
  EXPECT_EQ(v.SelectionStyle(), iessAround);
  EXPECT_EQ(v.SelectionWidth(), 2);
  EXPECT_EQ(v.SelectionColor(), static_cast<TColor>(0xFFA0A0));
  EXPECT_EQ(v.ImageCacheSize(), 10);
  EXPECT_EQ(v.ThreadPoolSize(), 5);
  EXPECT_EQ(v.MouseInteract(), mmiSelect);
  EXPECT_EQ(v.KeyInteract(), mkiMoveSelected);
  EXPECT_FALSE(v.EnableMultiSelect());
  EXPECT_FALSE(v.SoftShadow().Enabled);
  EXPECT_EQ(v.SoftShadow().Radius, 3.0);
  EXPECT_EQ(v.SoftShadow().OffsetX, 3);
  EXPECT_EQ(v.SoftShadow().Intensity, 100);
  EXPECT_EQ(v.GetIEBitmap(), nullptr);
  EXPECT_EQ(v.GetAlphaChannel(), nullptr);
  EXPECT_FALSE(v.HasAlphaChannel());
}

TEST_F(MViewTest, InsertAppendAndTheLastChangeInsideTheCallback) {
  TZodazUrMView* v = MakeView(300, 200);
  std::vector<std::string> seen;
  v->AddBitmapChangeEvent([&](TObject*, bool d) {
    if (!d && v->GetLastChange() != iemcNone)
      seen.push_back(std::to_string(v->GetLastChange()) + ":" + std::to_string(v->GetLastChangeIndex()));
  });
  EXPECT_EQ(v->AppendImage(), 0);
  EXPECT_EQ(v->SelectedImage(), 0);
  EXPECT_EQ(v->GetLastChange(), iemcNone);  // cleared after the round
  EXPECT_EQ(seen, (std::vector<std::string>{"1:0"}));
  v->AppendImage();
  v->AppendImage();
  v->InsertImage(10);  // past the end: appended and selected
  EXPECT_EQ(v->ImageCount(), 4);
  EXPECT_EQ(v->SelectedImage(), 3);
  EXPECT_EQ(seen.back(), "1:3");
  v->SelectImage(1);
  v->InsertImageNoSelect(20);  // the index given is reported
  EXPECT_EQ(seen.back(), "1:20");
  EXPECT_EQ(v->SelectedImage(), 1);
  EXPECT_EQ(testsupport::ErrorText<EListError>([&] { v->InsertImage(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(testsupport::ErrorText<EListError>([&] { v->DeleteImage(-2); }), "List index out of bounds (-2)");
  TIEBitmap b;
  EXPECT_EQ(testsupport::ErrorText<EListError>([&] { v->GetImageBitmap(99, &b); }), "List index out of bounds (99)");
}

TEST_F(MViewTest, DeleteSelectsAgainByTheRules) {
  struct Case {
    const char* name;
    int selected, deleted, want;
  } cases[] = {
      {"the selected last image", 2, 2, 1},
      {"the selected first image", 0, 0, 0},
      {"before the selected one", 2, 0, 1},
      {"after the selected one", 0, 2, 0},
      {"nothing selected", -1, 1, -1},
  };
  for (const Case& c : cases) {
    TZodazUrMView* v = MakeView(300, 200);
    Fill(v, 3);
    if (c.selected >= 0) v->SelectImage(c.selected);
    else v->Deselect();
    std::vector<int> kinds;
    v->AddBitmapChangeEvent([&](TObject*, bool d) {
      if (!d) kinds.push_back(v->GetLastChange());
    });
    v->DeleteImage(c.deleted);
    EXPECT_EQ(v->ImageCount(), 2) << c.name;
    EXPECT_EQ(v->SelectedImage(), c.want) << c.name;
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), iemcDelete), kinds.end()) << c.name;
    v->DeleteImage(5);  // past the end: nothing
    EXPECT_EQ(v->ImageCount(), 2) << c.name;
    delete v;
  }
}

TEST_F(MViewTest, MoveCarriesTheImagesAndKeepsTheSelectionInside) {
  struct Case {
    const char* name;
    int from, to;
    std::vector<int> tags;
  } cases[] = {
      {"first to past the end", 0, 5, {2, 3, 1}},
      {"last to first", 2, 0, {3, 1, 2}},
      {"middle on", 1, 2, {1, 3, 2}},
      {"same place", 1, 1, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    TZodazUrMView* v = MakeView(300, 200);
    Fill(v, 3);
    v->MoveImage(c.from, c.to);
    EXPECT_EQ(Tags(v), c.tags) << c.name;
    delete v;
  }
  // With multi-selection the selected entries move with their images, never past the list.
  TZodazUrMView* v = MakeView(300, 200);
  v->SetEnableMultiSelect(true);
  Fill(v, 3);
  v->SelectImage(0);
  v->MoveImage(0, 9);
  EXPECT_EQ(v->SelectedImage(), 2);
  EXPECT_EQ(v->MultiSelectedImagesCount(), 1);
  EXPECT_EQ(v->GetMultiSelectedImage(0), 2);
  int kind = -1, index = -1, newIndex = -1;
  v->AddBitmapChangeEvent([&](TObject*, bool d) {
    if (!d && v->GetLastChange() == iemcMove) {
      kind = v->GetLastChange();
      index = v->GetLastChangeIndex();
      newIndex = v->GetLastChangeNewIndex();
    }
  });
  v->MoveImage(1, 7);
  EXPECT_EQ(kind, iemcMove);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(newIndex, 7);  // the index given
}

TEST_F(MViewTest, ClearLeavesNothing) {
  TZodazUrMView* v = MakeView(300, 200);
  Fill(v, 5);
  int deletes = 0;
  v->AddBitmapChangeEvent([&](TObject*, bool d) {
    if (!d && v->GetLastChange() == iemcDelete) ++deletes;
  });
  v->ClearImages();
  EXPECT_EQ(v->ImageCount(), 0);
  EXPECT_EQ(v->SelectedImage(), -1);
  EXPECT_EQ(deletes, 5);
  EXPECT_EQ(v->PendingLoadCount(), 0);
  EXPECT_EQ(v->RunningLoadCount(), 0);
  Fill(v, 1);
  EXPECT_EQ(v->ImageCount(), 1);
}

TEST_F(MViewTest, FramesFromAFileAreNamedAndLoadedOnDemand) {
  testsupport::ScratchDir dir;
  const std::string name = dir.File("four.gif");
  mviewtest::WriteFile(name, mviewtest::AnimatedGif(4, 3, 2, 7));
  TZodazUrMView* v = MakeView(300, 200);
  v->SetFramesFromFile(name);
  ASSERT_EQ(v->ImageCount(), 4);
  EXPECT_EQ(v->SelectedImage(), -1);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(v->GetImageFileName(i), name + "::" + std::to_string(i));
    EXPECT_FALSE(v->IsImageLoaded(i));
  }
  TIEBitmap b;
  v->GetImageBitmap(2, &b);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.GetPixelRGB(1, 1).b, 255);  // frame 2: colour 2, blue
  EXPECT_EQ(v->GetImageDelayTime(2), 70);  // hundredths of a second, times 10
  v->GetImageBitmap(1, &b);
  EXPECT_EQ(b.GetPixelRGB(0, 0).g, 255);
}

TEST_F(MViewTest, ChecksOutAndReleasesWithWriteBack) {
  TZodazUrMView* v = MakeView(300, 200);
  Fill(v, 2);
  TIEBitmap* a = v->AcquireImageIEBitmap(1);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(v->AcquireImageIEBitmap(1), a);  // the same, counted
  a->SetPixel24(0, 0, TIERGB{77, 0, 0});
  v->ReleaseImageBitmap(1);
  v->ReleaseImageBitmap(1);
  TIEBitmap b;
  v->GetImageBitmap(1, &b);
  EXPECT_EQ(b.GetPixel24(0, 0).b, 77);
  // The selected image as the view's bitmap: checked out once until the selection changes.
  v->SelectImage(0);
  TIEBitmap* s = v->GetIEBitmap();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(v->GetIEBitmap(), s);
  s->SetPixel24(0, 0, TIERGB{55, 0, 0});
  v->SelectImage(1);
  v->GetImageBitmap(0, &b);
  EXPECT_EQ(b.GetPixel24(0, 0).b, 55);
  EXPECT_NE(v->GetBitmap(), nullptr);
}

TEST_F(MViewTest, ThumbnailStoreReducesToTheCell) {
  struct Case {
    int w, h;
    TIEPixelFormat format;
    int wantW, wantH;
    TIEPixelFormat wantFormat;
  } cases[] = {
      {400, 200, ie24RGB, 100, 50, ie24RGB},
      {50, 25, ie24RGB, 100, 50, ie24RGB},
      {100, 50, ie24RGB, 100, 50, ie24RGB},
      {300, 300, ie1g, 100, 100, ie24RGB},
      {200, 100, ie8g, 100, 50, ie8g},
  };
  for (const Case& c : cases) {
    TZodazUrMView* v = MakeView(300, 200);
    v->SetStoreType(ietThumb);
    v->AppendImage();
    TIEBitmap b;
    b.Allocate(c.w, c.h, c.format);
    b.Fill(0);
    v->StoreImageBitmap(0, &b);
    EXPECT_EQ(v->GetImageWidth(0), c.wantW) << c.w << "x" << c.h;
    EXPECT_EQ(v->GetImageHeight(0), c.wantH) << c.w << "x" << c.h;
    EXPECT_EQ(v->GetImageOriginalWidth(0), c.w);
    EXPECT_EQ(v->GetImageOriginalHeight(0), c.h);
    TIEBitmap out;
    v->GetImageBitmap(0, &out);
    EXPECT_EQ(out.PixelFormat(), c.wantFormat) << c.w << "x" << c.h;
    delete v;
  }
}

TEST_F(MViewTest, ThumbnailStoreKeepsAlphaAndLeavesTheCallersBitmapAlone) {
  TZodazUrMView* v = MakeView(300, 200);
  v->SetStoreType(ietThumb);
  v->AppendImage();
  TIEBitmap b;
  Solid(b, 400, 200, clRed);
  TIEBitmap* alpha = b.GetAlphaChannel();
  alpha->FillRect(0, 0, 199, 199, 0);  // left half transparent
  alpha->SetFull(false);
  v->StoreImageBitmap(0, &b);
  EXPECT_EQ(b.GetPixel24(10, 10).r, 255);  // the caller's pixels stay red
  TIEBitmap out;
  v->GetImageBitmap(0, &out);
  ASSERT_TRUE(out.HasAlphaChannel());
  EXPECT_EQ(out.GetAlpha(5, 25), 0);
  EXPECT_EQ(out.GetAlpha(90, 25), 255);
  EXPECT_EQ(out.GetPixel24(5, 25).r, 128);  // transparent pixels turned grey in the copy
}

TEST_F(MViewTest, StoringKeepsTheOldPixelsWhenTheNewCannotBeStored) {
  TZodazUrMView* v = MakeView(300, 200);
  Fill(v, 1, 6, 6);
  TIEBitmap empty;  // nothing to store: a nil bitmap is ignored, an empty one stored as empty
  v->StoreImageBitmap(0, nullptr);
  EXPECT_EQ(v->GetImageWidth(0), 6);
  v->SetImage(0, nullptr);  // nothing stored, still a relayout
  EXPECT_EQ(v->GetImageWidth(0), 6);
}

TEST_F(MViewTest, SetImageTakesAFrameworkBitmap) {
  TZodazUrMView* v = MakeView(300, 200);
  v->AppendImage();
  TBitmap t(20, 10);
  t.SetPixelFormat(pf24bit);
  t.Canvas()->Brush()->SetColor(clBlue);
  t.Canvas()->FillRect(TRect{0, 0, 20, 10});
  v->SetImage(0, &t);
  TIEBitmap out;
  v->GetImageBitmap(0, &out);
  EXPECT_EQ(out.Width(), 20);
  EXPECT_EQ(out.GetPixel24(3, 3).b, 255);
}

TEST_F(MViewTest, MultiImageComponentFollowsTheList) {
  TZodazUrMView* v = MakeView(300, 200);
  Fill(v, 5);
  TZodazUrMIO* mio = v->GetMIO();
  EXPECT_EQ(mio->ParamsCount(), 5);
  mio->GetParams(2)->JpegQuality = 33;
  v->InsertImageNoSelect(2);  // copies the options of the record it is inserted before
  EXPECT_EQ(mio->ParamsCount(), 6);
  EXPECT_EQ(mio->GetParams(2)->JpegQuality, 33);
  TIOParamsVals* third = mio->GetParams(3);
  v->DeleteImage(2);
  EXPECT_EQ(mio->ParamsCount(), 5);
  EXPECT_EQ(mio->GetParams(2), third);
  TIOParamsVals* first = mio->GetParams(0);
  v->MoveImage(0, 99);
  EXPECT_EQ(mio->GetParams(4), first);
  mio->DeleteParams(-1);
  mio->DeleteParams(99);
  EXPECT_EQ(mio->ParamsCount(), 5);
  EXPECT_EQ(mio->GetParams(-1), nullptr);
  // Detached, the records stay.
  mio->SetAttachedMView(nullptr);
  v->AppendImage();
  EXPECT_EQ(mio->ParamsCount(), 5);
  // Attached to a smaller view, the longer list stays.
  TZodazUrMView* small = MakeView(100, 100);
  Fill(small, 2);
  mio->SetAttachedMView(small);
  EXPECT_EQ(mio->ParamsCount(), 5);
  TZodazUrMIO empty(nullptr);
  empty.DuplicateCompressionInfo();  // nothing on an empty list
  delete small;
  EXPECT_EQ(mio->AttachedMView(), nullptr);  // the view went
}

TEST_F(MViewTest, MultiImagePreviewsAndAcquisition) {
  TZodazUrMView* v = MakeView(300, 200);
  Fill(v, 3);
  TZodazUrMIO* mio = v->GetMIO();
  mio->GetParams(0)->JpegQuality = 12;
  // Without the dialog installed nothing is shown.
  EXPECT_FALSE(mio->DoPreviews(0, 0));
  EXPECT_FALSE(mio->DoPreviews(7, 0));  // no record there
  static TIEMIOPreviewsRequest last;
  MIOPreviewsDialog = [](const TIEMIOPreviewsRequest& r) {
    last = r;
    return true;
  };
  EXPECT_TRUE(mio->DoPreviews(-1, 3));
  EXPECT_EQ(last.Params, mio->GetParams(0));
  EXPECT_EQ(last.FormHeight, static_cast<int32_t>(Screen->PixelsPerInch() * 3.4375));
  EXPECT_NE(last.Bitmap, nullptr);
  EXPECT_EQ(mio->GetParams(2)->JpegQuality, 12);  // record 0's options went to all
  MIOPreviewsDialog = nullptr;
  mio->OnDoPreviews = [](TObject*, bool& h) { h = true; };
  EXPECT_TRUE(mio->DoPreviews(0, 0));
  mio->OnDoPreviews = nullptr;
  // An acquired image goes in at AcquireIndex, which then moves on.
  TIEBitmap a;
  Solid(a, 9, 7, clLime);
  TIOParamsVals* p = nullptr;
  int after = -1;
  mio->OnAfterAcquireBitmap = [&](TObject*, int32_t i) { after = i; };
  mio->AcquireIndex = 1;
  mio->DoAcquireBitmap(&a, p);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(mio->AcquireIndex, 2);
  EXPECT_EQ(p, mio->GetParams(1));
  EXPECT_EQ(v->ImageCount(), 4);
  EXPECT_EQ(v->GetImageWidth(1), 9);
  EXPECT_EQ(v->GetImageDelayTime(1), 100);
  mio->OnAcquireBitmap = [](TObject*, TIEBitmap*, bool& h) { h = true; };
  mio->DoAcquireBitmap(&a, p);
  EXPECT_EQ(v->ImageCount(), 4);
}

}  // namespace
