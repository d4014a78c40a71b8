#include "imaging/core/ie_startup.h"

#include <gtest/gtest.h>

#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/lzw_hooks.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/ui/clipboard.h"

namespace {

void ClearLZWHooks() {
  GIFLZWDecodeHook = nullptr;
  GIFLZWEncodeHook = nullptr;
  TIFFLZWDecodeHook = nullptr;
  TIFFLZWEncodeHook = nullptr;
}

// True when the four hooks hold the engine's own coders.
bool EngineCodersInstalled() {
  return GIFLZWDecodeHook.load() == &GIFLZWDecode && GIFLZWEncodeHook.load() == &GIFLZWEncode &&
         TIFFLZWDecodeHook.load() == &TIFFLZWDecode && TIFFLZWEncodeHook.load() == &TIFFLZWEncode;
}

}  // namespace

TEST(EngineStartup, InstallsTheLZWCodersAndIsCounted) {
  // Emptied first, so that only the start-up can have put the coders there.
  FinalizeZodazUrIO();
  ClearLZWHooks();
  ASSERT_FALSE(EngineCodersInstalled());
  ASSERT_TRUE(FileFormatRegistry().empty());

  ClipboardRawFormat = 0;
  IEInitialize();
  EXPECT_TRUE(EngineCodersInstalled());
  EXPECT_NE(FindFileFormatById(fmtGIF), nullptr);
  // The processing unit's start-up registers the raw clipboard format.
  EXPECT_NE(ClipboardRawFormat, 0u);
  EXPECT_EQ(ClipboardRawFormat, RegisterClipboardFormat("zodazur raw format"));

  // A second start-up does nothing: hooks cleared in between stay cleared.
  ClearLZWHooks();
  IEInitialize();
  EXPECT_FALSE(EngineCodersInstalled());
  EXPECT_EQ(GIFLZWDecodeHook.load(), nullptr);

  // Only the last shut-down does its work; one too many does nothing.
  IEFinalize();
  EXPECT_NE(FindFileFormatById(fmtGIF), nullptr);
  IEFinalize();
  EXPECT_TRUE(FileFormatRegistry().empty());
  IEFinalize();
  EXPECT_TRUE(FileFormatRegistry().empty());

  // Counting starts again: the next start-up installs the coders once more.
  IEInitialize();
  EXPECT_TRUE(EngineCodersInstalled());
  IEFinalize();
  InitializeZodazUrIO();  // other tests find the I/O unit as its start-up leaves it
}
