#include "platform/ui/common_dialogs.h"

#include <gtest/gtest.h>

#include "platform/gdi/graphics.h"
#include "platform/system/streams.h"
#include "platform/ui/printers.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"

namespace {

using testsupport::ScopedResponder;

// An open dialog with a preview that logs its notifications.
class TPreviewDialog : public TOpenDialog {
 public:
  explicit TPreviewDialog(TComponent* owner) : TOpenDialog(owner) { SetWantsPreview(true); }
  std::vector<std::string> log;
  bool previewHadWindow = false;
  bool refuse = false;

 protected:
  void DoShow() override {
    TWinControl* host = PreviewParent();
    previewHadWindow = host && host->HandleAllocated() && host->Width() > 0;
    log.push_back("show");
  }
  void DoSelectionChange() override { log.push_back("select " + ExtractFileName(FileName())); }
  void DoFolderChange() override { log.push_back("folder"); }
  void DoTypeChange() override { log.push_back("type " + std::to_string(FilterIndex())); }
  bool DoCanClose() override {
    log.push_back("can close " + std::to_string(Files()->Count()));
    return !refuse;
  }
  void DoClose() override {
    log.push_back("close");
    TOpenDialog::DoClose();
  }
};

TEST(CommonDialogs, OpenDialogAskTheResponderAndRunsItsNotifications) {
  testsupport::ScratchDir dir;
  TDialogRequest seen;
  ScopedResponder answer([&](const TDialogRequest& r, TDialogAnswer& a) {
    seen = r;
    a.Result = 1;
    a.Files = {dir.File("a.gif"), dir.File("b.gif")};
    a.FilterIndex = 2;
    return true;
  });
  TPreviewDialog dlg(nullptr);
  dlg.SetFilter("All files |*.avi;*.gif|GIF files|*.gif");
  dlg.SetInitialDir(dir.Path().string());
  dlg.SetDefaultExt("gif");
  dlg.SetOptions(dlg.Options() | OpenOption(ofAllowMultiSelect));
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(seen.Kind, "Open");
  EXPECT_EQ(seen.Filter, "All files |*.avi;*.gif|GIF files|*.gif");
  EXPECT_EQ(seen.InitialDir, dir.Path().string());
  EXPECT_TRUE(seen.Flags & OpenOption(ofAllowMultiSelect));
  EXPECT_EQ(dlg.Files()->Count(), 2);
  EXPECT_EQ(dlg.FileName(), dir.File("a.gif"));
  EXPECT_EQ(dlg.FilterIndex(), 2);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"show", "type 2", "folder", "select a.gif", "can close 2", "close"}));
  EXPECT_TRUE(dlg.previewHadWindow);
  EXPECT_EQ(dlg.PreviewParent(), nullptr);  // only while the dialog runs

  // A handler that refuses keeps the choice from being taken.
  dlg.refuse = true;
  dlg.SetFileName("start.gif");
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(dlg.FileName(), "start.gif");
}

TEST(CommonDialogs, SaveDialogAddsTheDefaultExtensionAndAsksBeforeReplacing) {
  testsupport::ScratchDir dir;
  TFileStream(dir.File("frame.png"), fmCreate);
  std::vector<std::string> asked;
  int replace = IDNO;
  ScopedResponder answer([&](const TDialogRequest& r, TDialogAnswer& a) {
    asked.push_back(r.Kind);
    if (r.Kind == "MessageBox") {
      a.Result = replace;
      return true;
    }
    a.Result = 1;
    a.Files = {dir.File("frame")};
    return true;
  });
  TSaveDialog dlg(nullptr);
  dlg.SetDefaultExt("png");
  dlg.SetOptions(dlg.Options() | OpenOption(ofOverwritePrompt));
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(asked, (std::vector<std::string>{"Save", "MessageBox"}));
  replace = IDYES;
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.FileName(), dir.File("frame.png"));
  EXPECT_FALSE(dlg.Options() & OpenOption(ofExtensionDifferent));
}

TEST(CommonDialogs, ColourFontAndFolderDialogs) {
  ScopedResponder answer([](const TDialogRequest& r, TDialogAnswer& a) {
    a.Result = 1;
    if (r.Kind == "Color") {
      EXPECT_EQ(r.Color, clRed);
      EXPECT_EQ(r.CustomColors.at(1), 0x123456);
      a.Color = clLime;
      a.CustomColors[0] = 0x00ABCDEF;
    } else if (r.Kind == "Font") {
      EXPECT_EQ(r.Font.Name, "Tahoma");
      a.Font.Name = "Arial";
      a.Font.Size = 40;
      a.Font.Style = 1 | 2;
    } else if (r.Kind == "Folder") {
      EXPECT_EQ(r.InitialDir, "/tmp");
      a.Files = {"/tmp/frames"};
    }
    return true;
  });
  TColorDialog color(nullptr);
  color.SetColor(clRed);
  color.CustomColors()->SetValues("ColorB", "123456");
  ASSERT_TRUE(color.Execute());
  EXPECT_EQ(color.Color(), clLime);
  EXPECT_EQ(color.CustomColors()->Values("ColorA"), "ABCDEF");
  EXPECT_EQ(color.CustomColors()->Values("ColorB"), "123456");

  TFontDialog font(nullptr);
  font.SetMaxFontSize(36);
  ASSERT_TRUE(font.Execute());
  EXPECT_EQ(font.Font()->Name(), "Arial");
  EXPECT_EQ(font.Font()->Size(), 36);
  EXPECT_TRUE(font.Font()->Style().Contains(fsBold));
  EXPECT_TRUE(font.Font()->Style().Contains(fsItalic));

  std::string folder = "/tmp";
  ASSERT_TRUE(SelectDirectory("Output folder", "", folder));
  EXPECT_EQ(folder, "/tmp/frames");
}

TEST(CommonDialogs, PrintDialogChoicesGoToThePrinter) {
  ScopedResponder answer([](const TDialogRequest& r, TDialogAnswer& a) {
    EXPECT_EQ(r.Kind, "Print");
    EXPECT_EQ(r.Print.PrinterName, kPdfPrinterName);
    a.Result = 1;
    a.Print.Copies = 3;
    a.Print.Orientation = 1;
    a.Print.PrintRange = 2;
    a.Print.FromPage = 2;
    a.Print.ToPage = 4;
    return true;
  });
  TPrintDialog dlg(nullptr);
  dlg.SetMaxPage(9);
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.PrintRange(), prPageNums);
  EXPECT_EQ(dlg.FromPage(), 2);
  EXPECT_EQ(Printer()->Copies(), 3);
  EXPECT_EQ(Printer()->Orientation(), poLandscape);
  Printer()->SetCopies(1);
  Printer()->SetOrientation(poPortrait);
}

}  // namespace
