#pragma once
// What the engine's non-visual code needs of a vector-object view: adding objects and setting their
// properties. The vector view implements it beside its view link; the annotation transfer holds a
// view only through it, so it builds and tests without the views.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/color.h"
#include "platform/gdi/graphics.h"
#include "platform/system/types.h"

class TIEBitmap;

// The kind of a vector object.
enum TIEVObjectKind : uint8_t {
  iekGROUP = 0,      // only in stored records
  iekLINE = 1,
  iekBOX = 2,
  iekELLIPSE = 3,
  iekARC = 4,
  iekBITMAP = 5,
  iekTEXT = 6,
  iekRULER = 7,
  iekPOLYLINE = 8,
  iekANGLE = 9,
  iekMEMO = 10,
  iekLINELABEL = 11,
  iekEXTENDED = 12,  // an object of a registered custom class
};

class TIEVectLink {
 public:
  virtual ~TIEVectLink() = default;

  // Handle of a new object, a copy of the view's template object.
  virtual int32_t AddNewObject() = 0;

  // Object setters, each (Handle, Value); each repaints the view.
  virtual void SetObjKind(int32_t Handle, TIEVObjectKind Value) = 0;
  // Rectangle in bitmap coordinates; for lines start and end point.
  virtual void SetObjRect(int32_t Handle, const TRect& Value) = 0;
  // The view keeps its own copy of the bitmap.
  virtual void SetObjBitmap(int32_t Handle, TIEBitmap* Value) = 0;
  virtual void SetObjPenColor(int32_t Handle, TColor Value) = 0;
  virtual void SetObjPenStyle(int32_t Handle, TPenStyle Value) = 0;
  virtual void SetObjPenWidth(int32_t Handle, int32_t Value) = 0;
  virtual void SetObjBrushColor(int32_t Handle, TColor Value) = 0;
  virtual void SetObjBrushStyle(int32_t Handle, TBrushStyle Value) = 0;
  // Opacity 0 (invisible) .. 255 (opaque).
  virtual void SetObjTransparency(int32_t Handle, int32_t Value) = 0;
  // Shapes at a line's start and end: 0 none.
  virtual void SetObjBeginShape(int32_t Handle, uint8_t Value) = 0;
  virtual void SetObjEndShape(int32_t Handle, uint8_t Value) = 0;
  virtual void SetObjBoxHighlight(int32_t Handle, bool Value) = 0;
  virtual void SetObjMemoBrushStyle(int32_t Handle, TBrushStyle Value) = 0;
  virtual void SetObjMemoBorderStyle(int32_t Handle, TPenStyle Value) = 0;
  // The polyline's points 0..LastIndex of Points.
  virtual void SetObjPolylinePoints(int32_t Handle, const TPoint* Points, int32_t LastIndex) = 0;
  virtual void SetObjFontHeight(int32_t Handle, int32_t Value) = 0;
  // At most 31 characters are kept.
  virtual void SetObjFontName(int32_t Handle, const std::string& Value) = 0;
  virtual void SetObjFontStyles(int32_t Handle, TFontStyles Value) = 0;
  // 0 left, 1 right, 2 centre, 3 justified.
  virtual void SetObjTextAlign(int32_t Handle, uint8_t Value) = 0;
  virtual void SetObjTextFixedAlign(int32_t Handle, bool Value) = 0;
  // The view keeps its own copy of the text.
  virtual void SetObjText(int32_t Handle, const std::string& Value) = 0;
};
