#pragma once
// Engine-wide settings: process-wide variables set by the engine's start-up and changed by the host
// application between operations. One home for all of them.
#include <cstdint>
#include <string>

// Grey level = (R * GreyWeightRed + G * GreyWeightGreen + B * GreyWeightBlue) div 100.
extern int32_t GreyWeightRed;
extern int32_t GreyWeightGreen;
extern int32_t GreyWeightBlue;

// Background of the engine's parameter dialogs: 0 plain, 1 gradient stripes, 2 grey noise.
extern uint8_t DialogBackgroundStyle;

// Bytes above which a new bitmap keeps its pixels in a temporary file; -1 = automatic (physical
// memory / 1.3). Read once by each new TIEBitmap.
extern int64_t MinFileSizeOverride;
// When memory for a bitmap's pixels cannot be had, use a temporary file instead of failing.
extern bool FileFallbackOnLowMemory;
// When one block cannot be had, try several smaller segments first.
extern bool SegmentedAllocation;

// Folder for the engine's temporary files (UTF-8); empty = the operating system's temporary folder.
extern std::string TempDirectory;
// IEFileExists uses the run-time library's test instead of the system's (reset by the I/O
// start-up).
extern bool UseRTLFileExists;

// Resolution given to images whose source states none.
extern int32_t DefaultDPIX;
extern int32_t DefaultDPIY;
// The screen's logical pixels per inch (the views' start-up sets them; the annotation writer puts
// them into the rotation record of image annotations).
extern int32_t ScreenDPIX;
extern int32_t ScreenDPIY;

// 0 Windows 95 ... 8 version 6.1, 9 other or unknown. This build runs on another system: 9.
extern uint8_t WindowsVersion;
// The wide-character system interface is available (WindowsVersion > 2).
extern bool IsWindowsNT;

// When set, PlaceDialog calls it instead of placing a dialog itself.
using TIEPlaceDialogHook = void (*)(void* dialog);
extern TIEPlaceDialogHook PlaceDialogHook;

// Entry i = Round(64 - 64 * cos(pi * i / 255)), 0..128; holds its values from program start, and
// BuildBlendCosineTable computes them again.
extern int32_t BlendCosineTable[256];

// The 8 x 8 Bayer matrix of 0..63, row by row: thresholds of ordered dithering to 1 bit.
extern const int32_t OrderedDitherMatrix[8][8];

// The processor reports MMX (set by the views' start-up).
extern bool HasMMX;

// Colour quantizer of TIEQuantizer: -1 box splitting below 128 colours and NeuQuant from 128 on,
// 0 NeuQuant, 1 box splitting (any other value NeuQuant). Set to -1 by the I/O start-up.
extern int32_t QuantizerMethod;
// NeuQuant quality 0..100 (100 samples every pixel); -1 derives the sampling from the image area.
extern int32_t NeuQuantQuality;

// Sets the grey weights to 21, 71, 8 and DialogBackgroundStyle to 0.
void InitializeImagingDefaults();
void FinalizeImagingDefaults();
// Fills BlendCosineTable.
void BuildBlendCosineTable();
