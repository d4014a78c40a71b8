#pragma once
// The coordinate model of the single-image view: zoom factors, the view origin and the centring
// offsets, the part of the bitmap that is visible, and the lookup tables that convert client
// points to bitmap pixels and back. It is pure arithmetic over the view's sizes, so the view, its
// painter and its tests share one copy of every rule.
//
// Three spaces: bitmap pixels (BitmapWidth x BitmapHeight); zoomed pixels (a bitmap coordinate
// times ZoomX / 100, ZoomY / 100); client pixels (the view's drawing area). The origin
// (ViewX, ViewY) is the zoomed point drawn at client (OffsetX, OffsetY). Rounding is half to even,
// trunc and div go toward zero.
#include <cstdint>
#include <vector>

#include "imaging/views/ie_view_background.h"

// Zoomed images are kept within this many pixels per axis, so the tables, the back buffer and
// every zoomed coordinate stay small enough for 32-bit arithmetic.
constexpr int64_t IEMaxZoomedSize = 16777216;

// The frame margins the fit zoom leaves around the image: the sunken edge of iebsCropped, 5 for
// the crop shadow, 9 for the soft shadow; otherwise the control's own frame (the 3-D edge, the
// plain border, or nothing without a border).
void GetFitMargins(TIEBackgroundStyle Style, bool HasBorder, bool Ctl3D, int32_t EdgeWidth, int32_t EdgeHeight,
                   int32_t BorderWidth, int32_t BorderHeight, int32_t& MarginX, int32_t& MarginY);

struct TIEViewGeometry {
  // ---- Inputs the view keeps up to date ----
  int32_t BitmapWidth = 0, BitmapHeight = 0;
  int32_t ViewWidth = 50, ViewHeight = 50;        // the drawing area (GetViewWidth/GetViewHeight)
  int32_t ControlWidth = 50, ControlHeight = 50;  // the control's Width and Height, frame included
  bool Center = true;
  bool ScrollBarsNone = false;  // ScrollBars is ssNone

  // ---- State ----
  double ZoomX = 100, ZoomY = 100;
  double ZoomXFactor = 1, ZoomXInverse = 1, ZoomYFactor = 1, ZoomYInverse = 1;
  int32_t ViewX = 0, ViewY = 0;
  int32_t OffsetX = 0, OffsetY = 0;
  int32_t ExtentX = 0, ExtentY = 0;
  int32_t ZoomedWidth = 0, ZoomedHeight = 0;
  int32_t VisibleBitmapX = 0, VisibleBitmapY = 0, VisibleBitmapWidth = 0, VisibleBitmapHeight = 0;
  int32_t DrawWidth = 0, DrawHeight = 0;

  // The largest zoom (percent) that keeps an axis of Size bitmap pixels within IEMaxZoomedSize.
  static double MaxZoomFor(int32_t Size);
  // Z limited so that both zoomed axes stay within IEMaxZoomedSize; false for a value to ignore
  // (not finite, or at or below 0).
  bool ClampZoom(double& Z) const;
  bool ClampZoomX(double& Z) const;
  bool ClampZoomY(double& Z) const;

  // Sets the zooms and recomputes their factors (no clamping: callers clamp first).
  void SetZoomValues(double X, double Y);
  // The largest origin the view can scroll to, with the 10-pixel slack rule.
  void GetMaxViewXY(int32_t& MaxX, int32_t& MaxY);
  // Lowers (or raises) the origin into 0..maximum; answers whether it changed.
  bool ClampView();
  // Changes the zoom keeping the bitmap point at the view centre where it is; the origin is
  // clamped at the new zoom. The X and Y forms change one axis.
  void ApplyZoom(double Z);
  void ApplyZoomX(double Z);
  void ApplyZoomY(double Z);

  void ComputeViewExtents();
  void ComputeVisibleBitmapRect();
  // Rebuilds the tables only when a zoom or a size changed since the last build, then points the
  // cursors at the current origin. Answers whether it rebuilt.
  bool BuildCoordinateTables();

  // The first zoomed column of the bitmap column that holds zoomed column V (V itself outside
  // the tables).
  int32_t SnapX(int32_t V) const;
  int32_t SnapY(int32_t V) const;
  int32_t ClientToBitmapX(int32_t X) const;
  int32_t ClientToBitmapY(int32_t Y) const;
  int32_t BitmapToClientX(int32_t X) const;
  int32_t BitmapToClientY(int32_t Y) const;

  // The zoom that fits the bitmap into the control less the margins (0 for an empty bitmap).
  double GetFitZoom(int32_t MarginX, int32_t MarginY) const;
  // The automatic zoom of a refresh: FitZoom for an image larger than the view less the margins
  // when Shrink or Fit is on, for a smaller one when Stretch or Fit is on, else 100; 100 for a
  // 1 x 1 image or a size of 0. Never below 1, and clamped like every zoom.
  double AutoZoom(bool Fit, bool Stretch, bool Shrink, int32_t MarginX, int32_t MarginY, double FitZoom) const;

  // How many times the tables were rebuilt (for the view's own checks and tests).
  int32_t TableBuilds = 0;

 private:
  struct Axis {
    std::vector<int32_t> Z;  // zoomed -> bitmap
    std::vector<int32_t> B;  // bitmap -> zoomed
    int32_t ClientLen = 0, BitmapLen = 0;
    int64_t ClientCursor = 0, BitmapCursor = 0;
  };
  static void BuildAxis(Axis& A, int32_t Zoomed, int32_t Draw, int32_t Bitmap, double Zoom, double Factor,
                        double Inverse);
  static int32_t Snap(const Axis& A, int32_t Zoomed, int32_t V);
  static int32_t ClientToBitmap(const Axis& A, int32_t D, double Inverse, int32_t Visible);
  static int32_t BitmapToClient(const Axis& A, int32_t X, int32_t Visible, int32_t Snapped, double Factor,
                                double Inverse, int32_t Offset);
  void ComputeVisibleAxis(const Axis& A, int32_t Bitmap, int32_t Zoomed, int32_t Extent, int32_t View, double Zoom,
                          double Factor, int32_t& Visible, int32_t& VisibleSize, int32_t& Draw) const;

  Axis x_, y_;
  double tableZoomX_ = -1, tableZoomY_ = -1;
  int32_t tableDrawWidth_ = -1, tableDrawHeight_ = -1, tableBitmapWidth_ = -1, tableBitmapHeight_ = -1;
};
