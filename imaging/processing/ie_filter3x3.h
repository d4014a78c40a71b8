#pragma once
// 3 x 3 convolution filters on 8-bit grey bitmaps, and the table of nine named presets whose
// "Blur" the soft shadows use when no radius is given.
#include <cstdint>

class TIEBitmap;

// Nine coefficients in row order from the top-left neighbour, then the divisor (0 is taken as 1).
struct TIE3x3Filter {
  int32_t Values[3][3];
  int32_t Divisor;
};

inline constexpr int32_t kFilterPresetCount = 9;
// The presets: 0 "None", 1 "Blur", 2 "Edges", 3 "Emboss", 4 "High Pass 1", 5 "High Pass 2",
// 6 "High Pass 3", 7 "Low Pass 1", 8 "Low Pass 2". They hold their values from program start.
extern TIE3x3Filter FilterPresets[kFilterPresetCount];
extern const char* const FilterPresetNames[kFilterPresetCount];
// Puts the presets back to their values (a start-up step). The table is fixed at nine entries, so
// there is nothing to free.
void CreateFilterPresets();
void FreeFilterPresets();

// The filter over the columns X1..X2-1 and rows Y1..Y2-1 of an ie8g bitmap (clipped to it): each
// pixel becomes min(|sum over its neighbourhood of coefficient * value| div divisor, 255), the
// rows above and below and the columns beside clamped to the bitmap, every sum taken from the
// unfiltered pixels. Other formats are left as they are.
void ApplyFilter3x3Gray(TIEBitmap& Bitmap, const TIE3x3Filter& Filter, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
