#include "imaging/core/ie_settings.h"

#include <cmath>
#include <numbers>

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

uint8_t WindowsVersion = 9;
bool IsWindowsNT = true;

TIEPlaceDialogHook PlaceDialogHook = nullptr;

int32_t BlendCosineTable[256] = {};

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
