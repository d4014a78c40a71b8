// The engine's start-up table: every module's set-up and clean-up bodies in the order the engine
// starts them. This is the one place that names them all; core's runner takes the table from here.
#include "imaging/core/ie_gdiplus.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_startup.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/codecs/tiff_ccitt.h"
#include "imaging/io/format_registry.h"
#include "imaging/processing/zodazur_proc.h"
#include "imaging/views/ie_view_globals.h"

namespace {

void FinalizeIEGDIPlus() {}

}  // namespace

const TIEStartupSteps& IEEngineStartupSteps() {
  static const TIEStartupSteps steps = {{
      {"GDI+", InitializeIEGDIPlus, FinalizeIEGDIPlus},
      {"imaging defaults", InitializeImagingDefaults, FinalizeImagingDefaults},
      {"imaging utilities", InitializeImagingUtilities, FinalizeImagingUtilities},
      {"JPEG 2000 codec", InitializeIEJ2000, FinalizeIEJ2000},
      {"vector layer globals (with the vector layer)", nullptr, nullptr},
      {"I/O unit", InitializeZodazUrIO, FinalizeZodazUrIO},
      {"processing unit", InitializeZodazUrProc, FinalizeZodazUrProc},
      {"image view globals", InitializeImageViewGlobals, FinalizeImageViewGlobals},
      {"CCITT coder", InitializeTifCCITT, FinalizeTifCCITT},
      {"text memo clipboard format (with the vector layer)", nullptr, nullptr},
  }};
  return steps;
}
