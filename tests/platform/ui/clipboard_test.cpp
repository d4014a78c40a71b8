#include "platform/ui/clipboard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/gdi/bitmap.h"
#include "platform/system/memory.h"
#include "tests/support/clipboard_fixture.h"
#include "tests/support/ui_input.h"

namespace {

void* Block(const void* data, size_t size) {
  void* b = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(b, data, size);
  return b;
}

TEST(Clipboard, CustomFormatsRoundTripByNameBesideText) {
  UINT raw = RegisterClipboardFormat("ZODAZUR RAW FORMAT");
  EXPECT_GE(raw, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormat("zodazur raw format"), raw);  // one number per name
  UINT memo = RegisterClipboardFormat("ZODAZUR TEXTMEMO");
  EXPECT_NE(memo, raw);
  char name[64];
  EXPECT_EQ(GetClipboardFormatName(memo, name, sizeof name), 16);
  EXPECT_STREQ(name, "ZODAZUR TEXTMEMO");
  EXPECT_EQ(GetClipboardFormatName(CF_TEXT, name, sizeof name), 0);

  const uint8_t payload[] = {0, 1, 2, 0xFF, 0, 7};  // binary, with zeros inside
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_NE(SetClipboardData(CF_TEXT, Block("ab\r\n", 5)), nullptr);
  EXPECT_NE(SetClipboardData(raw, Block(payload, sizeof payload)), nullptr);
  ASSERT_TRUE(CloseClipboard());

  // Other programs see the text with their own line ends.
  EXPECT_EQ(testsupport::ToolkitClipboardText(), "ab\n");

  ASSERT_TRUE(OpenClipboard(nullptr));
  std::vector<UINT> formats;
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) formats.push_back(f);
  EXPECT_EQ(formats, (std::vector<UINT>{CF_TEXT, raw}));
  auto* got = static_cast<const uint8_t*>(GetClipboardData(raw));
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(GlobalSize(got), sizeof payload);
  EXPECT_EQ(std::memcmp(got, payload, sizeof payload), 0);
  EXPECT_STREQ(static_cast<const char*>(GetClipboardData(CF_TEXT)), "ab\r\n");
  EXPECT_EQ(GetClipboardData(memo), nullptr);
  ASSERT_TRUE(CloseClipboard());
  EXPECT_EQ(GetClipboardData(raw), nullptr);  // only while open
}

TEST(Clipboard, OneUserAtATimeAndTextFromOtherPrograms) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  bool otherThread = true;
  std::thread([&] { otherThread = OpenClipboard(nullptr); }).join();
  EXPECT_FALSE(otherThread);
  CloseClipboard();
  EXPECT_FALSE(CloseClipboard());  // not open any more
  EXPECT_EQ(SetClipboardData(CF_TEXT, nullptr), nullptr);

  testsupport::ToolkitClipboardSetText("line 1\nline 2");
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_EQ(Clipboard()->AsText(), "line 1\r\nline 2");
  Clipboard()->SetAsText("mine");
  EXPECT_EQ(testsupport::ToolkitClipboardText(), "mine");
  EXPECT_FALSE(Clipboard()->HasFormat(RegisterClipboardFormat("ZODAZUR VECT")));
}

TEST(Clipboard, BitmapsGoOnAsBitmapAndDib) {
  TBitmap picture(3, 2);
  picture.Canvas()->Brush()->SetColor(clRed);
  picture.Canvas()->FillRect(Rect(0, 0, 3, 2));
  picture.Canvas()->SetPixels(2, 1, clBlue);
  Clipboard()->Assign(&picture);
  EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  EXPECT_TRUE(Clipboard()->HasFormat(CF_DIB));
  std::vector<uint8_t> dib = Clipboard()->GetAsBytes(CF_DIB);
  ASSERT_GE(dib.size(), 40u);
  TBitmap back;
  back.Assign(Clipboard());
  EXPECT_EQ(back.Width(), 3);
  EXPECT_EQ(static_cast<uint32_t>(back.Canvas()->Pixels(2, 1)), 0xFF0000u);
  EXPECT_EQ(static_cast<uint32_t>(back.Canvas()->Pixels(0, 0)), 0x0000FFu);
  Clipboard()->Clear();
  EXPECT_EQ(Clipboard()->FormatCount(), 0);
}

// The formats on the clipboard in order, and a copy of each block (the clipboard must be open).
std::vector<std::pair<UINT, std::vector<uint8_t>>> Contents() {
  std::vector<std::pair<UINT, std::vector<uint8_t>>> out;
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) {
    std::vector<uint8_t> bytes;
    if (f != CF_BITMAP)
      if (auto* p = static_cast<const uint8_t*>(GetClipboardData(f))) bytes.assign(p, p + GlobalSize(p));
    out.emplace_back(f, std::move(bytes));
  }
  return out;
}

// What this program puts on the clipboard stays exactly as put whenever the toolkit's notice of a
// change comes: one that came before it emptied the clipboard (and was never looked at), one that
// comes while it fills it, and one that comes late after it closed. Rebuilding the blocks from the
// toolkit's data would lose the bytes after the text's end and the bitmap, or drop everything put.
TEST(Clipboard, OwnDataStandsWhateverChangeNoticesComeLate) {
  const UINT raw = RegisterClipboardFormat("ZODAZUR RAW FORMAT");
  const char text[] = "ab\r\n\0zz";  // bytes after the end, which the toolkit's text does not carry
  const uint8_t payload[] = {0, 1, 2, 0xFF};
  const std::vector<std::pair<UINT, std::vector<uint8_t>>> expected = {
      {CF_TEXT, std::vector<uint8_t>(text, text + sizeof text)}, {raw, {0, 1, 2, 0xFF}}};

  for (int notice = 0; notice < 3; ++notice) {
    SCOPED_TRACE(notice);
    // Another program's text, which this program has not read since it came (but for the last
    // round, which shows the late notice alone).
    testsupport::ToolkitClipboardSetText("theirs");
    if (notice == 2) EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    if (notice == 0) testsupport::NotifyClipboardChanged();
    ASSERT_TRUE(EmptyClipboard());
    ASSERT_NE(SetClipboardData(CF_TEXT, Block(text, sizeof text)), nullptr);
    if (notice == 1) testsupport::NotifyClipboardChanged();
    ASSERT_NE(SetClipboardData(raw, Block(payload, sizeof payload)), nullptr);
    EXPECT_EQ(Contents(), expected);  // read back before it is closed
    ASSERT_TRUE(CloseClipboard());
    EXPECT_EQ(testsupport::ToolkitClipboardText(), "ab\n");

    ASSERT_TRUE(OpenClipboard(nullptr));
    void* block = GetClipboardData(CF_TEXT);
    ASSERT_TRUE(CloseClipboard());
    if (notice == 2) testsupport::NotifyClipboardChanged();
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_TEXT), block);  // the same block, not one made anew
    EXPECT_EQ(Contents(), expected);
    ASSERT_TRUE(CloseClipboard());
  }

  // Another program's data still replaces ours, also when the toolkit frees ours and puts the new
  // data where it was.
  testsupport::PlaceForeignClipboardData("image/png", {1, 2, 3});
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(Contents(), (std::vector<std::pair<UINT, std::vector<uint8_t>>>{
                            {RegisterClipboardFormat("PNG"), {1, 2, 3}}}));
  ASSERT_TRUE(CloseClipboard());
}

}  // namespace
