#pragma once
// Antialiased drawing on a device context in the shape of the GDI+ flat interface: a graphics
// object over a DC, pens and brushes with alpha (32-bit ARGB colours), lines, rectangles,
// ellipses, polygons, arcs and paths, a smoothing mode and a world transform. Coordinates are
// those of GDI+'s default pixel offset: integer coordinates are pixel centres. Shapes are
// rasterised with coverage and blended over the DC's rows inside its clip region, after the
// DC's own coordinate mapping.
#include <cstdint>

#include "platform/gdi/gdi.h"

using ARGB = uint32_t;
using REAL = float;

enum GpStatus : int32_t {
  Ok = 0, GenericError = 1, InvalidParameter = 2, OutOfMemory = 3, ObjectBusy = 4, InsufficientBuffer = 5,
  NotImplemented = 6, Win32Error = 7, WrongState = 8, Aborted = 9
};

// Smoothing modes: antialiasing for HighQuality, AntiAlias and AntiAlias8x8.
enum : int32_t {
  SmoothingModeInvalid = -1, SmoothingModeDefault = 0, SmoothingModeHighSpeed = 1, SmoothingModeHighQuality = 2,
  SmoothingModeNone = 3, SmoothingModeAntiAlias = 4, SmoothingModeAntiAlias8x8 = 5
};
enum : int32_t { DashStyleSolid = 0, DashStyleDash, DashStyleDot, DashStyleDashDot, DashStyleDashDotDot, DashStyleCustom };
enum : int32_t { LineJoinMiter = 0, LineJoinBevel = 1, LineJoinRound = 2, LineJoinMiterClipped = 3 };
enum : int32_t { FillModeAlternate = 0, FillModeWinding = 1 };
enum : int32_t { UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2 };
enum : int32_t { MatrixOrderPrepend = 0, MatrixOrderAppend = 1 };
// Hatch styles 0..5 are the GDI's six (horizontal, vertical, forward and backward diagonal, cross,
// diagonal cross).
enum : int32_t {
  HatchStyleHorizontal = 0, HatchStyleVertical, HatchStyleForwardDiagonal, HatchStyleBackwardDiagonal,
  HatchStyleCross, HatchStyleDiagonalCross
};

struct GpGraphics;
struct GpPen;
struct GpBrush;
using GpSolidFill = GpBrush;
using GpHatch = GpBrush;
struct GpPath;
struct GpMatrix;

struct GpPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

struct GdiplusStartupInput {
  uint32_t GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  bool SuppressBackgroundThread = false;
  bool SuppressExternalCodecs = false;
};

GpStatus GdiplusStartup(uintptr_t* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(uintptr_t token);

// A graphics object over a DC; InvalidParameter for a DC that is not a live one.
GpStatus GdipCreateFromHDC(HDC dc, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);
GpStatus GdipSetSmoothingMode(GpGraphics* graphics, int32_t mode);
GpStatus GdipGetDC(GpGraphics* graphics, HDC* dc);
GpStatus GdipReleaseDC(GpGraphics* graphics, HDC dc);
GpStatus GdipFlush(GpGraphics* graphics, int32_t intention);

GpStatus GdipCreatePen1(ARGB color, REAL width, int32_t unit, GpPen** pen);
GpStatus GdipDeletePen(GpPen* pen);
GpStatus GdipSetPenWidth(GpPen* pen, REAL width);
GpStatus GdipSetPenColor(GpPen* pen, ARGB color);
GpStatus GdipSetPenDashStyle(GpPen* pen, int32_t style);
// Dash and gap lengths in pen widths; sets the custom dash style.
GpStatus GdipSetPenDashArray(GpPen* pen, const REAL* dashes, int32_t count);
GpStatus GdipSetPenLineJoin(GpPen* pen, int32_t join);

GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush);
GpStatus GdipCreateHatchBrush(int32_t hatch, ARGB fore, ARGB back, GpHatch** brush);
GpStatus GdipDeleteBrush(GpBrush* brush);

GpStatus GdipDrawLine(GpGraphics* g, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2);
GpStatus GdipDrawLinesI(GpGraphics* g, GpPen* pen, const GpPoint* points, int32_t count);
GpStatus GdipDrawRectangle(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipFillRectangle(GpGraphics* g, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawEllipse(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipFillEllipse(GpGraphics* g, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawPolygonI(GpGraphics* g, GpPen* pen, const GpPoint* points, int32_t count);
GpStatus GdipFillPolygonI(GpGraphics* g, GpBrush* brush, const GpPoint* points, int32_t count, int32_t fillMode);
// Angles in degrees, clockwise from the x axis (the screen's y axis points down).
GpStatus GdipDrawArc(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL width, REAL height, REAL start, REAL sweep);

GpStatus GdipCreatePath(int32_t fillMode, GpPath** path);
GpStatus GdipDeletePath(GpPath* path);
// Figures join their parts with straight lines, as GDI+ paths do.
GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL start, REAL sweep);
GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2);
GpStatus GdipClosePathFigure(GpPath* path);
GpStatus GdipDrawPath(GpGraphics* g, GpPen* pen, GpPath* path);
GpStatus GdipFillPath(GpGraphics* g, GpBrush* brush, GpPath* path);

GpStatus GdipCreateMatrix(GpMatrix** matrix);
GpStatus GdipCreateMatrix2(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy, GpMatrix** matrix);
GpStatus GdipDeleteMatrix(GpMatrix* matrix);
GpStatus GdipGetMatrixElements(const GpMatrix* matrix, REAL* elements);  // six values
GpStatus GdipSetWorldTransform(GpGraphics* g, GpMatrix* matrix);
GpStatus GdipGetWorldTransform(GpGraphics* g, GpMatrix* matrix);
GpStatus GdipResetWorldTransform(GpGraphics* g);
GpStatus GdipRotateWorldTransform(GpGraphics* g, REAL angle, int32_t order);
GpStatus GdipTranslateWorldTransform(GpGraphics* g, REAL dx, REAL dy, int32_t order);
GpStatus GdipScaleWorldTransform(GpGraphics* g, REAL sx, REAL sy, int32_t order);
