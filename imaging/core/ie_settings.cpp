#include "imaging/core/ie_settings.h"

#include <cmath>
#include <numbers>

#include "platform/gdi/gdi.h"

int32_t GreyWeightRed = 21;
int32_t GreyWeightGreen = 71;
int32_t GreyWeightBlue = 8;

uint8_t DialogBackgroundStyle = 0;

int64_t MinFileSizeOverride = -1;
bool FileFallbackOnLowMemory = true;
bool SegmentedAllocation = true;

std::string TempDirectory;
bool UseRTLFileExists = false;

int32_t DefaultDPIX = 300;
int32_t DefaultDPIY = 300;
int32_t ScreenDPIX = ScreenPixelsPerInch();
int32_t ScreenDPIY = ScreenPixelsPerInch();

uint8_t WindowsVersion = 9;
bool IsWindowsNT = true;

TIEPlaceDialogHook PlaceDialogHook = nullptr;

// Ready before any start-up (blends may run before it, on any thread); BuildBlendCosineTable
// computes the same values.
int32_t BlendCosineTable[256] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1,
    1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5,
    5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 10, 10, 10,
    11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18,
    19, 19, 20, 21, 21, 22, 22, 23, 24, 24, 25, 25, 26, 27, 27, 28,
    29, 29, 30, 31, 31, 32, 33, 33, 34, 35, 35, 36, 37, 38, 38, 39,
    40, 41, 41, 42, 43, 43, 44, 45, 46, 46, 47, 48, 49, 50, 50, 51,
    52, 53, 53, 54, 55, 56, 57, 57, 58, 59, 60, 60, 61, 62, 63, 64,
    64, 65, 66, 67, 68, 68, 69, 70, 71, 71, 72, 73, 74, 75, 75, 76,
    77, 78, 78, 79, 80, 81, 82, 82, 83, 84, 85, 85, 86, 87, 87, 88,
    89, 90, 90, 91, 92, 93, 93, 94, 95, 95, 96, 97, 97, 98, 99, 99,
    100, 101, 101, 102, 103, 103, 104, 104, 105, 106, 106, 107, 107, 108, 109, 109,
    110, 110, 111, 111, 112, 112, 113, 113, 114, 114, 115, 115, 116, 116, 117, 117,
    118, 118, 118, 119, 119, 120, 120, 120, 121, 121, 121, 122, 122, 122, 123, 123,
    123, 124, 124, 124, 124, 125, 125, 125, 125, 126, 126, 126, 126, 126, 127, 127,
    127, 127, 127, 127, 127, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128,
};

const int32_t OrderedDitherMatrix[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

bool HasMMX = false;

int32_t QuantizerMethod = -1;
int32_t NeuQuantQuality = -1;

void InitializeImagingDefaults() {
  GreyWeightRed = 21;
  GreyWeightGreen = 71;
  GreyWeightBlue = 8;
  DialogBackgroundStyle = 0;
}

void FinalizeImagingDefaults() {}

void BuildBlendCosineTable() {
  for (int i = 0; i < 256; ++i)
    BlendCosineTable[i] = static_cast<int32_t>(std::nearbyint(64.0 - 64.0 * std::cos(std::numbers::pi * i / 255.0)));
}
