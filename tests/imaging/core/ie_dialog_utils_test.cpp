#include "imaging/core/ie_dialog_utils.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_settings.h"
#include "platform/ui/printers.h"
#include "tests/support/ui_fixture.h"

namespace {

class PlaceDialogTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    // Two monitors side by side: 1920 x 1080 at the origin and 1280 x 1024 to its right.
    TScreen::SetMonitorsForTesting({{0, Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040), true},
                                    {1, Rect(1920, 0, 3200, 1024), Rect(1920, 0, 3200, 1024), false}});
  }
  void TearDown() override {
    TScreen::SetMonitorsForTesting({});
    FormTest::TearDown();
  }
};

TEST_F(PlaceDialogTest, CentredAThirdDownOnTheActiveFormsMonitor) {
  TForm dialog(nullptr);
  dialog.SetBounds(5, 5, 400, 200);
  // The form of the test lies on the first monitor: (1920 - 400) div 2, (1080 - 200) div 3 = 293.
  TCustomForm* oldMain = Application->MainForm();
  Application->SetMainForm(form);
  PlaceDialog(dialog.Handle());
  EXPECT_EQ(dialog.BoundsRect(), Bounds(760, 293, 400, 200));
  EXPECT_FALSE(dialog.Visible());  // moved, not shown or activated

  // With the form (active, or the main form) on the second monitor the dialog follows it.
  ASSERT_TRUE(Screen->ActiveForm() == nullptr || Screen->ActiveForm() == form);
  form->SetBounds(2000, 100, 300, 200);
  PlaceDialog(dialog.Handle());
  EXPECT_EQ(dialog.BoundsRect(), Bounds(1920 + (1280 - 400) / 2, (1024 - 200) / 3, 400, 200));
  Application->SetMainForm(oldMain);
}

TEST_F(PlaceDialogTest, TheHookPlacesInstead) {
  TForm dialog(nullptr);
  dialog.SetBounds(5, 5, 400, 200);
  static void* placed = nullptr;
  PlaceDialogHook = [](void* window) { placed = window; };
  PlaceDialog(dialog.Handle());
  PlaceDialogHook = nullptr;
  EXPECT_EQ(placed, dialog.Handle());
  EXPECT_EQ(dialog.BoundsRect(), Bounds(5, 5, 400, 200));
  PlaceDialog(nullptr);  // no window: nothing happens
}

TEST(ResetPrinter, KeepsCopiesOrientationAndTitle) {
  TPrinter* printer = new TPrinter;
  TPrinter* old = SetPrinter(printer);
  printer->SetPrinter(kPdfPrinterName, "", "");
  const int index = printer->PrinterIndex();
  printer->SetCopies(3);
  printer->SetOrientation(poLandscape);
  printer->SetTitle("Frames");
  ResetPrinterDevice();
  EXPECT_EQ(printer->PrinterIndex(), index);
  EXPECT_EQ(printer->Copies(), 3);
  EXPECT_EQ(printer->Orientation(), poLandscape);
  EXPECT_EQ(printer->Title(), "Frames");
  delete SetPrinter(old);
}

}  // namespace
