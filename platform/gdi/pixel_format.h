#pragma once
// Pixel formats of the framework bitmap TBitmap.
enum TPixelFormat : int {
  pfDevice = 0,  // device-dependent
  pf1bit,
  pf4bit,
  pf8bit,
  pf15bit,
  pf16bit,
  pf24bit,
  pf32bit,
  pfCustom,
};
