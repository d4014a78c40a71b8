#pragma once
// The colour reductions that TIEBitmap's conversions to ie1g and ie8p call. Ordered dithering,
// thresholds and the quantizers live with the processing routines; core declares here what its
// conversions need of them and the processing module defines the table
// (imaging/processing/ie_color_reduction_hooks.cpp), so the calls reach up through this one seam
// while every include points down. The table is constant and resolved when the engine is linked: it
// is complete before any code runs, start-up or not.
#include <cstdint>

#include "imaging/core/ie_progress.h"

class TIEBitmap;

// Threshold values with a meaning of their own.
constexpr int32_t kIEThresholdMeanColor = -1;    // the grey of the image's mean colour
constexpr int32_t kIEThresholdMaxEntropy = -2;  // the threshold of maximum entropy

struct TIEColorReductionHooks {
  // Dest becomes the ie1g picture of Source (any format) by ordered dithering.
  void (*BWOrdered)(TIEBitmap& Source, TIEBitmap& Dest, TIEProgressRecord& Progress);
  // Dest becomes the ie1g picture of Source (any format): white where the grey reaches Threshold.
  void (*BWThreshold)(TIEBitmap& Source, TIEBitmap& Dest, int32_t Threshold, TIEProgressRecord& Progress);
  // Dest, an ie8p bitmap of Source's size with its palette allocated, gets a palette of at most
  // Dest.PaletteUsed() colours (1..256) chosen for the ie24RGB Source, and the index of each pixel.
  void (*Quantize)(TIEBitmap& Source, TIEBitmap& Dest);
};

extern const TIEColorReductionHooks IEColorReduction;
