#pragma once
// The settings every image view owns for its scroll bars and its mouse wheel. The views read and
// write the fields directly.
#include <cstdint>

// One per scroll bar of a view.
struct TIEScrollBarParams {
  int32_t LineStep = -1;  // scroll amount of the arrow buttons; -1: the view's own choice
  int32_t PageStep = -1;  // scroll amount of a page click; -1: the view's own choice
  bool Tracking = true;   // the view follows the thumb while it is dragged
};

enum TIEMouseWheelParamsAction : uint8_t { iemwNone = 0, iemwVScroll = 1, iemwZoom = 2 };
enum TIEMouseWheelParamsVariation : uint8_t { iemwAbsolute = 0, iemwPercentage = 1 };

// One per image view.
struct TIEMouseWheelParams {
  bool InvertDirection = false;                            // reverse the wheel's direction
  TIEMouseWheelParamsAction Action = iemwZoom;             // nothing, scroll or zoom
  TIEMouseWheelParamsVariation Variation = iemwPercentage;  // absolute steps or a percentage of the value
  int32_t Value = 8;                                       // amount of one wheel step
  bool ZoomAtCursor = false;                               // zoom about the pointer, not the view's centre
};
