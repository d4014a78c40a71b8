#pragma once
// TIOPrintPreviewParams: the settings of the single-image print preview, kept by the I/O components
// and edited by the print-preview form, which passes them to the print routines.
#include <cstdint>

class TIOPrintPreviewParams {
 public:
  // Margins in inches (or centimetres, as the dialogs' measure unit says).
  double TopMargin = 1.0;
  double LeftMargin = 1.0;
  double RightMargin = 1.0;
  double BottomMargin = 1.0;
  // 0..8: top left, top centre, top right, centre left, centre, centre right, bottom left, bottom
  // centre, bottom right.
  uint8_t PlacementCode = 4;
  // 0 normal, 1 fit to page, 2 stretch to page, 3 specified size.
  uint8_t SizeMode = 1;
  // The specified size; -1 when not given.
  double PrintWidth = -1.0;
  double PrintHeight = -1.0;
  // Gamma correction passed to the renderer (0 and 1: none).
  double GammaValue = 1.0;
};
