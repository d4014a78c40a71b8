#pragma once
// The icon the desktop shows for a file, as pixels.
#include <array>
#include <cstdint>
#include <string>

// The edge of ShellFileIcon's picture.
constexpr int32_t kShellIconSize = 32;
using TShellIconPixels = std::array<uint32_t, kShellIconSize * kShellIconSize>;

// The 32 x 32 picture of the file's icon: the desktop's icon for its type (from the icon theme, else
// the style's file or folder icon), else a built-in document icon, never nothing. Each pixel is
// 0xAARRGGBB, not premultiplied, rows from the top. User-interface thread only: elsewhere, and
// without an application object, the answer is the built-in icon.
TShellIconPixels ShellFileIcon(const std::string& FileName);
// The built-in icon: a white page with a folded corner and a grey outline on a transparent ground.
TShellIconPixels BuiltInFileIcon();
