// The desktop's icon of a file as a bitmap with its alpha channel.
#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/ico_codec.h"
#include "platform/ui/file_icons.h"

void LoadShellFileIcon(const std::string& FileName, TIEBitmap& Bitmap) {
  const TShellIconPixels pixels = ShellFileIcon(FileName);
  Bitmap.RemoveAlphaChannel(false);
  if (!Bitmap.Allocate(kShellIconSize, kShellIconSize, ie24RGB)) return;
  TIEBitmap* alpha = Bitmap.GetAlphaChannel();
  for (int32_t y = 0; y < kShellIconSize; ++y) {
    auto* row = static_cast<TIERGB*>(Bitmap.GetRow(y));
    for (int32_t x = 0; x < kShellIconSize; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y * kShellIconSize + x)];
      row[x] = CreateRGB(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
    }
  }
  for (int32_t y = 0; y < kShellIconSize; ++y) {
    auto* a = static_cast<uint8_t*>(alpha->GetRow(y));
    for (int32_t x = 0; x < kShellIconSize; ++x) a[x] = static_cast<uint8_t>(pixels[static_cast<size_t>(y * kShellIconSize + x)] >> 24);
  }
  alpha->SyncFull();
}
