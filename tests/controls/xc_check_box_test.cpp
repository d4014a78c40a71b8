#include "controls/xc_check_box.h"

#include <gtest/gtest.h>

#include "platform/ui/theme_services.h"
#include "tests/controls/fake_data_source.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::At;
using testsupport::TFakeSource;

class CheckBoxTest : public testsupport::FormTest {
 protected:
  TXcCheckBox* Make(const std::string& caption = "Option") {
    auto* box = new TXcCheckBox(form);
    box->SetParent(form);
    box->SetLeft(10);
    box->SetTop(10);
    box->SetCaption(caption);
    return box;
  }
};

TEST_F(CheckBoxTest, WordWrapAndAutoSizeSwitchEachOtherOffAndTheEmptyBoxIsTheGlyph) {
  TXcCheckBox* box = Make("");
  TSize glyph = CheckGlyphSize();
  EXPECT_TRUE(box->AutoSize());
  EXPECT_EQ(box->Width(), glyph.cx);
  EXPECT_EQ(box->Height(), glyph.cy + 4);
  // With a caption: the text's width plus the glyph and 8.
  box->SetCaption("Wide caption");
  TBitmap measure(1, 1);
  measure.Canvas()->SetFont(*box->Font());
  TSize text = measure.Canvas()->TextExtent("Wide caption");
  EXPECT_EQ(box->Width(), text.cx + glyph.cx + 8);
  EXPECT_EQ(box->Height(), std::max<int>(text.cy, glyph.cy + 4));

  box->SetWordWrap(true);
  EXPECT_FALSE(box->AutoSize());
  box->SetAutoSize(true);
  EXPECT_FALSE(box->WordWrap());
  // A style change makes the window again with the style.
  box->HandleNeeded();
  HWND before = box->Handle();
  box->SetLeftText(true);
  EXPECT_NE(box->Handle(), before);
  EXPECT_TRUE(box->DrawnByFramework());
}

TEST_F(CheckBoxTest, TheStyleBitsShowAsPixels) {
  ThemeServices()->SetThemesEnabled(false);
  TXcCheckBox* box = Make("Text");
  box->SetAutoSize(false);
  box->SetBounds(10, 10, 120, 40);
  box->SetColor(clBtnFace);
  TSize glyph = CheckGlyphSize();
  auto picture = [&] {
    auto b = std::make_unique<TBitmap>(120, 40);
    box->PaintTo(b->Canvas(), 0, 0);
    return b;
  };
  const COLORREF window = ColorToRGB(clWindow) & 0xFFFFFF;
  auto b = picture();  // left of the text, in the middle
  EXPECT_EQ(At(*b, glyph.cx / 2, 20), window);
  box->SetLeftText(true);
  b = picture();
  EXPECT_EQ(At(*b, 120 - glyph.cx / 2 - 1, 20), window);
  EXPECT_NE(At(*b, glyph.cx / 2, 20), window);
  box->SetLayout(tlTop);
  b = picture();
  EXPECT_EQ(At(*b, 120 - glyph.cx / 2 - 1, glyph.cy / 2), window);
  EXPECT_NE(At(*b, 120 - glyph.cx / 2 - 1, 38), window);
  box->SetLayout(tlBottom);
  b = picture();
  EXPECT_EQ(At(*b, 120 - glyph.cx / 2 - 1, 40 - glyph.cy / 2 - 1), window);
  ThemeServices()->SetThemesEnabled(true);
}

TEST_F(CheckBoxTest, AReadOnlyBoxIgnoresClickAndSpaceAndLinkedControlsFollow) {
  TXcCheckBox* box = Make();
  auto* linked = new TButton(form);
  linked->SetParent(form);
  linked->SetTop(60);
  box->LinkedControls()->Add()->SetControl(linked);
  EXPECT_FALSE(linked->Enabled());
  testsupport::MouseClick(box, 5, 5);
  EXPECT_TRUE(box->Checked());
  EXPECT_TRUE(linked->Enabled());
  box->SetReadOnly(true);
  testsupport::MouseClick(box, 5, 5);
  EXPECT_TRUE(box->Checked());
  box->SetFocus();
  testsupport::KeyPress(box, VK_SPACE, " ");
  EXPECT_TRUE(box->Checked());
  // The program still sets it, and the linked control follows BM_SETCHECK's state.
  box->SetChecked(false);
  EXPECT_FALSE(linked->Enabled());
  box->SetReadOnly(false);
  testsupport::KeyPress(box, VK_SPACE, " ");
  EXPECT_TRUE(box->Checked());
  EXPECT_TRUE(linked->Enabled());
}

TEST_F(CheckBoxTest, HotTrackSwapsTheFontWhileTheMouseIsOver) {
  TXcCheckBox* box = Make();
  box->Font()->SetSize(9);
  box->SetHotTrack(true);
  box->HotTrackFont()->SetColor(clRed);
  box->HotTrackFont()->SetStyle({fsBold});
  // The hot font follows the font except for its own colour and style.
  EXPECT_EQ(box->HotTrackFont()->Size(), 9);
  testsupport::MouseEnter(box, 3, 3);
  EXPECT_EQ(box->Font()->Color(), clRed);
  EXPECT_TRUE(box->Font()->Style().Contains(fsBold));
  testsupport::MouseLeave(box);
  Application->ProcessMessages();
  EXPECT_NE(box->Font()->Color(), clRed);
  EXPECT_FALSE(box->Font()->Style().Contains(fsBold));
  EXPECT_EQ(box->Font()->Size(), 9);
}

TEST_F(CheckBoxTest, TheConnectorShowsTheFieldAndWritesTheValuesBack) {
  TXcCheckBox* box = Make();
  auto source = CreateObject<TFakeSource>();
  source->fields["Flag"] = "0";
  box->DataConnector()->SetDataField("Flag");
  box->DataConnector()->SetDataSource(source);
  EXPECT_EQ(box->State(), cbUnchecked);
  EXPECT_FALSE(box->ReadOnly());
  struct Row {
    std::string text;
    bool isNull;
    TCheckBoxState state;
  } rows[] = {{"1", false, cbChecked}, {"N", false, cbChecked}, {"0", true, cbGrayed}};
  for (const Row& r : rows) {
    source->fields["Flag"] = r.text;
    source->nullFields.clear();
    if (r.isNull) source->nullFields.push_back("Flag");
    source->Notify(kXcNoticeRecordChanged);
    EXPECT_EQ(box->State(), r.state) << r.text;
  }
  // The unchecked value compares without case.
  source->nullFields.clear();
  box->DataConnector()->SetValueUnchecked("no");
  source->fields["Flag"] = "NO";
  source->Notify(kXcNoticeRecordChanged);
  EXPECT_EQ(box->State(), cbUnchecked);
  // A click marks it edited; leaving writes the checked value.
  box->SetFocus();
  testsupport::MouseClick(box, 5, 5);
  EXPECT_TRUE(box->DataConnector()->Dirty());
  box->DataConnector()->CommitRecord();
  EXPECT_EQ(source->fields["Flag"], "1");
  // Escape reverts to the field.
  testsupport::MouseClick(box, 5, 5);
  EXPECT_FALSE(box->Checked());
  testsupport::KeyPress(box, VK_ESCAPE, "\x1b");
  EXPECT_TRUE(box->Checked());
  // A field that cannot be modified makes it read-only; a missing one grays it.
  source->readOnly = true;
  source->Notify(kXcNoticeRecordChanged);
  EXPECT_TRUE(box->ReadOnly());
  box->DataConnector()->SetDataField("Missing");
  EXPECT_EQ(box->State(), cbGrayed);
  EXPECT_TRUE(box->ReadOnly());
}

TEST_F(CheckBoxTest, ACommitThatFailsOnLeavingKeepsTheFocusAndIsReported) {
  TXcCheckBox* box = Make();
  auto* other = new TButton(form);
  other->SetParent(form);
  other->SetTop(60);
  auto source = CreateObject<TFakeSource>();
  box->DataConnector()->SetDataField("Flag");
  box->DataConnector()->SetDataSource(source);
  std::string reported;
  Application->OnException = [&](TObject*, const Exception& e) { reported = e.Message(); };
  ASSERT_TRUE(testsupport::WaitFor([&] { return Screen->ActiveForm() == form; }));
  box->SetFocus();
  ASSERT_TRUE(testsupport::WaitFor([&] { return box->Focused(); }));
  testsupport::MouseClick(box, 5, 5);
  source->raiseOn = "write 0";
  other->SetFocus();
  EXPECT_TRUE(testsupport::WaitFor([&] { return !reported.empty(); }));
  EXPECT_EQ(reported, "source failed: write 0");
  EXPECT_TRUE(testsupport::WaitFor([&] { return box->Focused(); }));
  EXPECT_TRUE(box->DataConnector()->Dirty());
}

}  // namespace
