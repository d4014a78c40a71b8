#include "platform/ui/shell.h"

#include <gtest/gtest.h>

#include "platform/system/streams.h"
#include "platform/ui/controls.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

TEST(Shell, DocumentsAndAddressesGoToTheDesktopHook) {
  testsupport::ScratchDir dir;
  TFileStream(dir.File("BRIMVALE.CHM"), fmCreate);
  std::vector<std::string> opened;
  TShellOpenHook old = SetShellOpenHook([&](const std::string& url, const std::string& verb) {
    opened.push_back(verb + " " + url);
    return true;
  });
  EXPECT_GT(ShellExecute(nullptr, "OPEN", "BRIMVALE.CHM", nullptr, dir.Path().c_str(), SW_SHOWNORMAL), 32);
  EXPECT_GT(ShellExecute(nullptr, "Open", "mailto:support@example.com?subject=Feedback%20(Brimvale)", nullptr,
                         nullptr, SW_SHOWNORMAL),
            32);
  EXPECT_EQ(ShellExecute(nullptr, "open", dir.File("missing.chm").c_str(), nullptr, nullptr, SW_SHOWNORMAL), SE_ERR_FNF);
  EXPECT_EQ(ShellExecute(nullptr, "print", "http://example.com", nullptr, nullptr, SW_SHOWNORMAL), SE_ERR_NOASSOC);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], "OPEN file://" + dir.File("BRIMVALE.CHM"));
  EXPECT_EQ(opened[1], "Open mailto:support@example.com?subject=Feedback%20(Brimvale)");
  SetShellOpenHook(old);
}

class TDropTarget : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::string> files;
  TPoint at;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_DROPFILES) {
      auto drop = reinterpret_cast<HDROP>(m.WParam);
      UINT n = DragQueryFile(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < n; ++i) {
        std::string name(DragQueryFile(drop, i, nullptr, 0), '\0');
        DragQueryFile(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
        files.push_back(name);
      }
      DragQueryPoint(drop, &at);
      DragFinish(drop);
      return;
    }
    TCustomControl::Dispatch(m);
  }
};

using ShellDropTest = testsupport::FormTest;

TEST_F(ShellDropTest, DroppedFilesReachAWindowThatAcceptsThem) {
  auto* target = new TDropTarget(form);
  target->SetParent(form);
  target->SetBounds(0, 0, 100, 100);
  EXPECT_FALSE(testsupport::DropFiles(target, 10, 20, {"/tmp/a.avi"}));
  DragAcceptFiles(target->Handle(), true);
  EXPECT_TRUE(testsupport::DropFiles(target, 10, 20, {"/tmp/a.avi", "/tmp/b c.gif"}));
  EXPECT_EQ(target->files, (std::vector<std::string>{"/tmp/a.avi", "/tmp/b c.gif"}));
  EXPECT_EQ(target->at, Point(10, 20));
  EXPECT_EQ(DragQueryFile(nullptr, 0xFFFFFFFF, nullptr, 0), 0u);
}

}  // namespace
