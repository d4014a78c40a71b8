#pragma once
// The standard clipboard format numbers and the handle type clipboard data travels in. Pictures load
// and save themselves in clipboard formats (TGraphic), the clipboard (platform/ui/clipboard.h) holds
// the data.
#include <cstdint>

using HANDLE = void*;

constexpr uint32_t CF_TEXT = 1, CF_BITMAP = 2, CF_METAFILEPICT = 3, CF_DIB = 8, CF_PALETTE = 9,
                   CF_UNICODETEXT = 13, CF_ENHMETAFILE = 14, CF_HDROP = 15, CF_DIBV5 = 17;
