#include "platform/ui/ext_ctrls.h"

#include <gtest/gtest.h>

#include "platform/ui/edit_ctrls.h"
#include "platform/ui/std_ctrls.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using ExtCtrlsTest = testsupport::FormTest;

uint32_t Rgb(TColor c) { return ColorToRGB(c); }

// A plain white window to put windowless controls on.
class TSheet : public TCustomControl {
 public:
  explicit TSheet(TComponent* owner) : TCustomControl(owner) { SetColor(clWhite); }
};

TSheet* NewSheet(TForm* form) {
  auto* sheet = new TSheet(form);
  sheet->SetParent(form);
  sheet->SetBounds(0, 0, 200, 150);
  return sheet;
}

TEST_F(ExtCtrlsTest, LabelsSizeToTheirTextAndDrawIt) {
  TSheet* sheet = NewSheet(form);
  auto* label = new TLabel(form);
  label->SetParent(sheet);
  label->SetBounds(10, 10, 5, 5);
  label->SetCaption("Frames");
  int shortWidth = label->Width();
  EXPECT_GT(shortWidth, 20);
  EXPECT_GT(label->Height(), 8);
  label->SetCaption("Frames per second");
  EXPECT_GT(label->Width(), shortWidth);

  // Right-aligned, it keeps its right edge.
  label->SetAlignment(taRightJustify);
  int right = label->Left() + label->Width();
  label->SetCaption("Fps");
  EXPECT_EQ(label->Left() + label->Width(), right);

  // Some pixel of the text is dark, and outside the label the sheet is white.
  label->Font()->SetColor(clBlack);
  bool dark = false;
  for (int x = label->Left(); x < label->Left() + label->Width() && !dark; ++x)
    for (int y = label->Top(); y < label->Top() + label->Height() && !dark; ++y)
      dark = testsupport::WindowPixel(sheet, x, y) == 0;
  EXPECT_TRUE(dark);
  EXPECT_EQ(testsupport::WindowPixel(sheet, right + 3, 12), 0xFFFFFFu);

  // "&x" focuses the label's control.
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetTop(160);
  label->SetCaption("&Name");
  label->SetFocusControl(edit);
  form->Perform(CM_DIALOGCHAR, 'N', AltMask);
  EXPECT_EQ(form->ActiveControl(), edit);
  delete edit;
  EXPECT_EQ(label->FocusControl(), nullptr);
}

TEST_F(ExtCtrlsTest, PanelBevelsAndBorderFrameTheAreaChildrenAlignIn) {
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(0, 0, 120, 80);
  panel->SetBevelOuter(bvRaised);
  panel->SetBevelInner(bvLowered);
  panel->SetBorderWidth(3);
  auto* child = new TPanel(form);
  child->SetParent(panel);
  child->SetAlign(alClient);
  EXPECT_EQ(child->BoundsRect(), Rect(5, 5, 115, 75));

  child->Hide();
  EXPECT_EQ(testsupport::WindowPixel(panel, 0, 0), Rgb(clBtnHighlight));
  EXPECT_EQ(testsupport::WindowPixel(panel, 119, 79), Rgb(clBtnShadow));
  EXPECT_EQ(testsupport::WindowPixel(panel, 2, 2), Rgb(clBtnFace));
  EXPECT_EQ(testsupport::WindowPixel(panel, 4, 4), Rgb(clBtnShadow));  // the inner, lowered bevel
  EXPECT_EQ(testsupport::WindowPixel(panel, 115, 75), Rgb(clBtnHighlight));
}

TEST_F(ExtCtrlsTest, BevelsAndShapesPaintInTheirBounds) {
  TSheet* sheet = NewSheet(form);
  auto* bevel = new TBevel(form);
  bevel->SetParent(sheet);
  bevel->SetBounds(10, 10, 40, 30);
  EXPECT_EQ(testsupport::WindowPixel(sheet, 10, 10), Rgb(clBtnShadow));
  EXPECT_EQ(testsupport::WindowPixel(sheet, 49, 39), Rgb(clBtnHighlight));
  EXPECT_EQ(testsupport::WindowPixel(sheet, 30, 25), 0xFFFFFFu);  // a box is only its frame

  auto* shape = new TShape(form);
  shape->SetParent(sheet);
  shape->SetBounds(100, 10, 60, 40);
  shape->SetShape(stCircle);
  shape->Brush()->SetColor(clRed);
  EXPECT_EQ(testsupport::WindowPixel(sheet, 130, 30), 0x0000FFu);
  EXPECT_EQ(testsupport::WindowPixel(sheet, 102, 12), 0xFFFFFFu);  // outside the circle
  EXPECT_EQ(testsupport::WindowPixel(sheet, 108, 30), 0xFFFFFFu);  // a circle, not the wide ellipse
}

TEST_F(ExtCtrlsTest, ImagesShowTheirPictureAtSizeOrStretched) {
  TSheet* sheet = NewSheet(form);
  auto* image = new TImage(form);
  image->SetParent(sheet);
  image->SetBounds(10, 10, 60, 40);
  TBitmap red(10, 10);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(Rect(0, 0, 10, 10));
  image->Picture()->SetGraphic(&red);
  EXPECT_EQ(testsupport::WindowPixel(sheet, 15, 15), 0x0000FFu);
  EXPECT_EQ(testsupport::WindowPixel(sheet, 40, 30), 0xFFFFFFu);  // beyond the picture: the sheet
  image->SetStretch(true);
  EXPECT_EQ(testsupport::WindowPixel(sheet, 65, 45), 0x0000FFu);
  image->SetProportional(true);
  image->SetCenter(true);
  EXPECT_EQ(image->DestRect(), Rect(10, 0, 50, 40));

  // Drawing on the image draws on its bitmap; AutoSize takes the picture's size.
  image->Canvas()->Brush()->SetColor(clLime);
  image->Canvas()->FillRect(Rect(0, 0, 5, 5));
  EXPECT_EQ(static_cast<uint32_t>(image->Picture()->Bitmap()->Canvas()->Pixels(2, 2)), 0x00FF00u);
  image->SetAutoSize(true);
  EXPECT_EQ(image->Width(), 10);
  EXPECT_EQ(image->Height(), 10);
}

TEST_F(ExtCtrlsTest, SplitterDragResizesTheControlBesideIt) {
  form->SetBounds(10, 10, 400, 200);
  auto* left = new TPanel(form);
  left->SetParent(form);
  left->SetAlign(alLeft);
  left->SetWidth(100);
  auto* splitter = new TSplitter(form);
  splitter->SetParent(form);
  splitter->SetLeft(150);  // aligned to the left of what is left: just right of the panel
  splitter->SetMinSize(40);
  splitter->SetAlign(alLeft);
  auto* rest = new TPanel(form);
  rest->SetParent(form);
  rest->SetAlign(alClient);
  ASSERT_EQ(splitter->Left(), 100);
  int moved = 0;
  splitter->OnMoved = [&](TObject*) { ++moved; };

  // Drags are mouse messages to the windowless splitter through its parent.
  auto drag = [&](int from, int to) {
    form->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(splitter->Left() + from, 50));
    form->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(splitter->Left() + to, 50));
    form->Perform(WM_LBUTTONUP, 0, MAKELPARAM(splitter->Left() + to, 50));
  };
  drag(1, 31);
  EXPECT_EQ(left->Width(), 130);
  EXPECT_EQ(splitter->Left(), 130);
  EXPECT_EQ(moved, 1);
  // Never below MinSize (the splitter snaps the control away instead, by default).
  splitter->SetAutoSnap(false);
  drag(1, -200);
  EXPECT_EQ(left->Width(), 40);
  // Never so wide that the client-aligned rest gets less than MinSize.
  drag(1, 1000);
  EXPECT_EQ(left->Width(), form->ClientWidth() - splitter->Width() - 40);
}

TEST(Picture, FilesByExtensionAndTheRegistry) {
  testsupport::ScratchDir dir;
  TBitmap blue(4, 3);
  blue.Canvas()->Brush()->SetColor(clBlue);
  blue.Canvas()->FillRect(Rect(0, 0, 4, 3));
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.SetGraphic(&blue);
  EXPECT_EQ(changes, 1);
  picture.SaveToFile(dir.File("blue.BMP"));
  TPicture loaded;
  loaded.LoadFromFile(dir.File("blue.BMP"));
  ASSERT_NE(loaded.Graphic(), nullptr);
  EXPECT_EQ(loaded.Width(), 4);
  EXPECT_EQ(static_cast<uint32_t>(loaded.Bitmap()->Canvas()->Pixels(1, 1)), 0xFF0000u);
  try {
    loaded.LoadFromFile(dir.File("x.xyz"));
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.xyz)");
  }
  EXPECT_EQ(loaded.Width(), 4);  // unchanged
  EXPECT_EQ(TPicture::GraphicFilter("TBitmap"), "Bitmaps (*.bmp)|*.bmp");
  EXPECT_EQ(TPicture::GraphicExtension("TBitmap"), "bmp");
}

}  // namespace
