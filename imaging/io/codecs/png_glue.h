#pragma once
// What the PNG reader and writer share of their libpng glue: the record the callbacks reach through
// libpng's error and I/O pointers, and the error and warning callbacks. The error callback leaves by
// longjmp to the setjmp of the wrapper that made the failing call; such wrappers own nothing with a
// destructor.
#include <png.h>

#include <cstdint>

class TStream;

struct TPngIO {
  TStream* Stream = nullptr;
  // The stream raised, or delivered or took fewer bytes than asked.
  bool StreamFailed = false;
  // The text of the libpng error that ended the call (empty when none).
  char Message[192] = {};
};

// Keeps libpng's message in the TPngIO given as error pointer and leaves by longjmp.
[[noreturn]] void PngErrorCallback(png_structp Png, png_const_charp Message);
// Warnings are not errors: ignored.
void PngWarningCallback(png_structp Png, png_const_charp Message);

// Lifts libpng's own default limit of a million pixels a side to the largest size a PNG header can
// state (2^31 - 1): files and pictures beyond a million pixels are valid. What a reader allocates
// is weighed by the image size gate before the rows are read.
void PngAllowEveryImageSize(png_structp Png);
