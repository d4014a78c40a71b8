#include "imaging/io/codecs/png_glue.h"

#include <cstdio>

void PngErrorCallback(png_structp Png, png_const_charp Message) {
  if (auto* io = static_cast<TPngIO*>(png_get_error_ptr(Png)))
    std::snprintf(io->Message, sizeof io->Message, "%s", Message ? Message : "");
  png_longjmp(Png, 1);
}

void PngWarningCallback(png_structp, png_const_charp) {}

void PngAllowEveryImageSize(png_structp Png) { png_set_user_limits(Png, PNG_UINT_31_MAX, PNG_UINT_31_MAX); }
