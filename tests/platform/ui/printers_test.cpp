#include "platform/ui/printers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/system/streams.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"

namespace {

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Printing, PagesToAPdfFileWithThePrintersResolution) {
  testsupport::ScratchDir dir;
  TPrinter printer;
  EXPECT_EQ(printer.Printers()->Get(printer.Printers()->Count() - 1), kPdfPrinterName);
  printer.SetPrinter(kPdfPrinterName, "", "");
  printer.SetResolution(150);
  printer.SetTitle("Frames");
  printer.SetOutputFileName(dir.File("frames.pdf"));
  // A4 at 150 pixels per inch.
  EXPECT_EQ(printer.PageWidth(), 1240);
  EXPECT_EQ(printer.PageHeight(), 1754);
  EXPECT_THROW(printer.EndDoc(), EPrinter);

  printer.BeginDoc();
  EXPECT_TRUE(printer.Printing());
  EXPECT_THROW(printer.BeginDoc(), EPrinter);
  HDC dc = printer.Canvas()->Handle();
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 150);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 1240);
  printer.Canvas()->Brush()->SetColor(clRed);
  printer.Canvas()->FillRect(Rect(100, 100, 600, 400));
  printer.Canvas()->TextOut(100, 500, "Page one");
  EXPECT_EQ(static_cast<uint32_t>(printer.Canvas()->Pixels(300, 200)), 0x0000FFu);
  printer.NewPage();
  EXPECT_EQ(printer.PageNumber(), 2);
  EXPECT_EQ(static_cast<uint32_t>(printer.Canvas()->Pixels(300, 200)), 0xFFFFFFu);  // a fresh page
  printer.Canvas()->TextOut(100, 100, "Page two");
  printer.EndDoc();
  EXPECT_FALSE(printer.Printing());

  std::string pdf = ReadAll(dir.File("frames.pdf"));
  ASSERT_GT(pdf.size(), 1000u);
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_NE(pdf.find("/Count 2"), std::string::npos);
}

TEST(Printing, AbortLeavesNoFileAndAPdfWithoutANameAsksForOne) {
  testsupport::ScratchDir dir;
  TPrinter printer;
  printer.SetPrinter(kPdfPrinterName, "", "");
  printer.SetResolution(72);
  printer.SetOutputFileName(dir.File("gone.pdf"));
  printer.BeginDoc();
  printer.Canvas()->TextOut(10, 10, "x");
  printer.Abort();
  EXPECT_TRUE(printer.Aborted());
  EXPECT_FALSE(FileExists(dir.File("gone.pdf")));

  // Without a file name the user is asked; cancelling aborts quietly.
  printer.SetOutputFileName("");
  {
    testsupport::ScopedResponder cancel([](const TDialogRequest& r, TDialogAnswer& a) {
      EXPECT_EQ(r.Kind, "Save");
      a.Result = 0;
      return true;
    });
    EXPECT_THROW(printer.BeginDoc(), EAbort);
  }
  EXPECT_FALSE(printer.Printing());
  {
    testsupport::ScopedResponder choose([&](const TDialogRequest&, TDialogAnswer& a) {
      a.Result = 1;
      a.Files = {dir.File("chosen.pdf")};
      return true;
    });
    printer.BeginDoc();
  }
  printer.EndDoc();
  EXPECT_TRUE(FileExists(dir.File("chosen.pdf")));
  EXPECT_THROW(printer.SetPrinter("No such printer", "", ""), EPrinter);
}

}  // namespace
