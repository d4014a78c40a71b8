#pragma once
// The library's built-in pictures are kept as tables of letters in the source, one string per row
// (top row first) and one letter per pixel, and registered as bitmap resources at start-up. This
// turns such a table into the data of a .bmp file.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

// The colour of one letter of a table.
struct TTableColor {
  char Letter;
  COLORREF Color;
};

// A 24-bit picture: each letter takes its colour from colors, letters not listed are black.
std::vector<uint8_t> BitmapFileOfTable(const char* const* rows, int32_t width, int32_t height,
                                       std::initializer_list<TTableColor> colors);
// A one-bit picture with the palette black, white: 'X' is black, any other letter white.
std::vector<uint8_t> MonochromeBitmapFileOfTable(const char* const* rows, int32_t width, int32_t height);

// Registers the data under the name (for TBitmap::LoadFromResourceName).
void RegisterTableBitmap(const std::string& name, const std::vector<uint8_t>& file);
