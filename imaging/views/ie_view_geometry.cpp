#include "imaging/views/ie_view_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Conversions of doubles that are already in range by construction; anything else saturates.
int32_t ToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}
int32_t Trunc(double v) { return ToInt(std::trunc(v)); }
int32_t Round(double v) { return ToInt(std::nearbyint(v)); }

// The origin that puts the bitmap point now at the view centre (View div 2) back there at zoom Z.
int32_t CentredOrigin(int32_t View, int32_t Origin, int32_t Offset, double Inverse, double Z) {
  const int32_t c = View / 2;
  const double b = std::nearbyint((static_cast<double>(c) + Origin - Offset) * Inverse);
  return Trunc(b * Z / 100 - c);
}

}  // namespace

double TIEViewGeometry::MaxZoomFor(int32_t Size) {
  return static_cast<double>(IEMaxZoomedSize) * 100.0 / std::max<int32_t>(Size, 1);
}

bool TIEViewGeometry::ClampZoomX(double& Z) const {
  if (!std::isfinite(Z) || Z <= 0) return false;
  Z = std::min(Z, MaxZoomFor(BitmapWidth));
  return true;
}

bool TIEViewGeometry::ClampZoomY(double& Z) const {
  if (!std::isfinite(Z) || Z <= 0) return false;
  Z = std::min(Z, MaxZoomFor(BitmapHeight));
  return true;
}

bool TIEViewGeometry::ClampZoom(double& Z) const { return ClampZoomX(Z) && ClampZoomY(Z); }

void TIEViewGeometry::SetZoomValues(double X, double Y) {
  ZoomX = X;
  ZoomY = Y;
  ZoomXFactor = ZoomX / 100;
  ZoomXInverse = 100 / ZoomX;
  ZoomYFactor = ZoomY / 100;
  ZoomYInverse = 100 / ZoomY;
}

void TIEViewGeometry::GetMaxViewXY(int32_t& MaxX, int32_t& MaxY) {
  const int32_t vw = ViewWidth, vh = ViewHeight;
  int64_t zw = Trunc(BitmapWidth * ZoomXFactor), zh = Trunc(BitmapHeight * ZoomYFactor);
  const bool equal = ZoomX == ZoomY;
  if (!equal) {
    if (vw + 10 < zw) zw = Trunc((BitmapWidth + 1.0) * ZoomXFactor);
    if (vh + 10 < zh) zh = Trunc((BitmapHeight + 1.0) * ZoomYFactor);
  } else if ((vw + 10 < zw || vh + 10 < zh) && !ScrollBarsNone) {
    zw = Trunc((BitmapWidth + 1.0) * ZoomXFactor);
    zh = Trunc((BitmapHeight + 1.0) * ZoomYFactor);
  }
  MaxX = MaxY = 0;
  if (zw < 1 || zh < 1) return;
  MaxX = static_cast<int32_t>(zw - vw);
  MaxY = static_cast<int32_t>(zh - vh);
  if (MaxX < 0 || ClientToBitmapX(MaxX) == 0) MaxX = 0;
  if (MaxY < 0 || ClientToBitmapY(MaxY) == 0) MaxY = 0;
  if (!equal) {
    if (zw <= ControlWidth) MaxX = 0;
    if (zh <= ControlHeight) MaxY = 0;
  } else if (zw <= ControlWidth && zh <= ControlHeight) {
    MaxX = MaxY = 0;
  }
}

bool TIEViewGeometry::ClampView() {
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  const int32_t nx = std::clamp(ViewX, 0, mx), ny = std::clamp(ViewY, 0, my);
  const bool changed = nx != ViewX || ny != ViewY;
  ViewX = nx;
  ViewY = ny;
  return changed;
}


void TIEViewGeometry::ApplyZoom(double Z) {
  const int32_t nx = CentredOrigin(ViewWidth, ViewX, OffsetX, ZoomXInverse, Z);
  const int32_t ny = CentredOrigin(ViewHeight, ViewY, OffsetY, ZoomYInverse, Z);
  SetZoomValues(Z, Z);
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  ViewX = std::clamp(nx, 0, mx);
  ViewY = std::clamp(ny, 0, my);
}

void TIEViewGeometry::ApplyZoomX(double Z) {
  const int32_t nx = CentredOrigin(ViewWidth, ViewX, OffsetX, ZoomXInverse, Z);
  SetZoomValues(Z, ZoomY);
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  ViewX = std::clamp(nx, 0, mx);
}

void TIEViewGeometry::ApplyZoomY(double Z) {
  const int32_t ny = CentredOrigin(ViewHeight, ViewY, OffsetY, ZoomYInverse, Z);
  SetZoomValues(ZoomX, Z);
  int32_t mx, my;
  GetMaxViewXY(mx, my);
  ViewY = std::clamp(ny, 0, my);
}

void TIEViewGeometry::ComputeViewExtents() {
  ZoomedWidth = Round(BitmapWidth * ZoomXFactor);
  ZoomedHeight = Round(BitmapHeight * ZoomYFactor);
  ExtentX = std::min(ZoomedWidth, ViewWidth);
  ExtentY = std::min(ZoomedHeight, ViewHeight);
  OffsetX = OffsetY = 0;
  if (Center) {
    if (ExtentX < ViewWidth) OffsetX = (ViewWidth - ExtentX) / 2;
    if (ExtentY < ViewHeight) OffsetY = (ViewHeight - ExtentY) / 2;
  }
}

void TIEViewGeometry::ComputeVisibleAxis(const Axis& A, int32_t Bitmap, int32_t Zoomed, int32_t Extent,
                                         int32_t View, double Zoom, double Factor, int32_t& Visible,
                                         int32_t& VisibleSize, int32_t& Draw) const {
  Visible = VisibleSize = Draw = 0;
  if (Zoomed == 0) return;
  const double r = static_cast<double>(Bitmap) / Zoomed;
  Visible = Round(Snap(A, Zoomed, View) * r);
  VisibleSize = Round(r * Extent);
  if (static_cast<int64_t>(Visible) + VisibleSize > Bitmap) --VisibleSize;
  if (Zoom > 100) {
    Draw = Trunc(VisibleSize * Factor);
    if (Draw < Extent && static_cast<int64_t>(Visible) + VisibleSize + 1 <= Bitmap) {
      ++VisibleSize;
      Draw = Trunc(VisibleSize * Factor);
    }
  } else {
    Draw = Extent;
  }
}

void TIEViewGeometry::ComputeVisibleBitmapRect() {
  ComputeVisibleAxis(x_, BitmapWidth, ZoomedWidth, ExtentX, ViewX, ZoomX, ZoomXFactor, VisibleBitmapX,
                     VisibleBitmapWidth, DrawWidth);
  ComputeVisibleAxis(y_, BitmapHeight, ZoomedHeight, ExtentY, ViewY, ZoomY, ZoomYFactor, VisibleBitmapY,
                     VisibleBitmapHeight, DrawHeight);
}

void TIEViewGeometry::BuildAxis(Axis& A, int32_t Zoomed, int32_t Draw, int32_t Bitmap, double Zoom, double Factor,
                                double Inverse) {
  A.ClientLen = Draw;
  A.BitmapLen = Trunc(Draw * Inverse);
  const int64_t j = static_cast<int64_t>(Zoomed) + Draw;
  const int64_t k = Trunc((j + 1) * Inverse);
  A.Z.assign(static_cast<size_t>(j + 2), 0);
  A.B.assign(static_cast<size_t>(k + 2), 0);
  const int32_t last = std::max(Bitmap - 1, 0);
  if (Zoom > 100) {
    for (int64_t z = j; z >= 0; --z) {
      const int64_t b = Trunc(z * Inverse);
      if (b >= static_cast<int64_t>(A.B.size())) continue;
      A.B[static_cast<size_t>(b)] = static_cast<int32_t>(z);
      A.Z[static_cast<size_t>(z)] = static_cast<int32_t>(std::min<int64_t>(b, last));
    }
  } else {
    for (int64_t b = k; b >= 0; --b) {
      const int64_t z = Trunc(b * Factor);
      if (z >= static_cast<int64_t>(A.Z.size())) continue;
      A.B[static_cast<size_t>(b)] = static_cast<int32_t>(z);
      A.Z[static_cast<size_t>(z)] = static_cast<int32_t>(std::min<int64_t>(b, last));
    }
  }
}

bool TIEViewGeometry::BuildCoordinateTables() {
  bool rebuilt = false;
  if (ZoomX != tableZoomX_ || ZoomY != tableZoomY_ || DrawWidth != tableDrawWidth_ ||
      DrawHeight != tableDrawHeight_ || BitmapWidth != tableBitmapWidth_ || BitmapHeight != tableBitmapHeight_) {
    x_ = Axis{};
    y_ = Axis{};
    if (DrawWidth <= 0 || DrawHeight <= 0 || BitmapWidth <= 0 || BitmapHeight <= 0) return false;
    BuildAxis(x_, ZoomedWidth, DrawWidth, BitmapWidth, ZoomX, ZoomXFactor, ZoomXInverse);
    BuildAxis(y_, ZoomedHeight, DrawHeight, BitmapHeight, ZoomY, ZoomYFactor, ZoomYInverse);
    tableZoomX_ = ZoomX;
    tableZoomY_ = ZoomY;
    tableDrawWidth_ = DrawWidth;
    tableDrawHeight_ = DrawHeight;
    tableBitmapWidth_ = BitmapWidth;
    tableBitmapHeight_ = BitmapHeight;
    ++TableBuilds;
    rebuilt = true;
  }
  auto point = [](Axis& A, int32_t View, int32_t Zoomed, int32_t Visible) {
    if (A.ClientLen <= 0) return;
    const int32_t a = Snap(A, Zoomed, View);
    A.ClientCursor = a;
    const int32_t za = a < static_cast<int64_t>(A.Z.size()) ? A.Z[static_cast<size_t>(a)] : 0;
    A.BitmapCursor = std::max(0, za - Visible);
  };
  point(x_, ViewX, ZoomedWidth, VisibleBitmapX);
  point(y_, ViewY, ZoomedHeight, VisibleBitmapY);
  return rebuilt;
}

int32_t TIEViewGeometry::Snap(const Axis& A, int32_t Zoomed, int32_t V) {
  V = std::max(V, 0);
  if (V < Zoomed && A.ClientLen > 0 && V < static_cast<int64_t>(A.Z.size())) {
    const int32_t b = A.Z[static_cast<size_t>(V)];
    if (b < static_cast<int64_t>(A.B.size())) return A.B[static_cast<size_t>(b)];
  }
  return V;
}

int32_t TIEViewGeometry::SnapX(int32_t V) const { return Snap(x_, ZoomedWidth, V); }
int32_t TIEViewGeometry::SnapY(int32_t V) const { return Snap(y_, ZoomedHeight, V); }

int32_t TIEViewGeometry::ClientToBitmap(const Axis& A, int32_t D, double Inverse, int32_t Visible) {
  if (D >= 0 && D < A.ClientLen) {
    const int64_t i = A.ClientCursor + D;
    if (i < static_cast<int64_t>(A.Z.size())) return A.Z[static_cast<size_t>(i)];
  }
  return Trunc(D * Inverse + Visible);
}

int32_t TIEViewGeometry::BitmapToClient(const Axis& A, int32_t X, int32_t Visible, int32_t Snapped, double Factor,
                                        double Inverse, int32_t Offset) {
  const int64_t d = static_cast<int64_t>(X) - Visible;
  if (d >= 0 && d < A.BitmapLen) {
    const int64_t i = A.BitmapCursor + d;
    if (i < static_cast<int64_t>(A.B.size())) return A.B[static_cast<size_t>(i)] + Offset;
  }
  return Round((X - std::nearbyint(Snapped * Inverse)) * Factor + Offset);
}

int32_t TIEViewGeometry::ClientToBitmapX(int32_t X) const {
  return ClientToBitmap(x_, X - OffsetX, ZoomXInverse, VisibleBitmapX);
}
int32_t TIEViewGeometry::ClientToBitmapY(int32_t Y) const {
  return ClientToBitmap(y_, Y - OffsetY, ZoomYInverse, VisibleBitmapY);
}
int32_t TIEViewGeometry::BitmapToClientX(int32_t X) const {
  return BitmapToClient(x_, X, VisibleBitmapX, SnapX(ViewX), ZoomXFactor, ZoomXInverse, OffsetX);
}
int32_t TIEViewGeometry::BitmapToClientY(int32_t Y) const {
  return BitmapToClient(y_, Y, VisibleBitmapY, SnapY(ViewY), ZoomYFactor, ZoomYInverse, OffsetY);
}

double TIEViewGeometry::GetFitZoom(int32_t MarginX, int32_t MarginY) const {
  if (BitmapWidth == 0 || BitmapHeight == 0) return 0;
  const double zx = (ControlWidth - 2.0 * MarginX) / (BitmapWidth / 100.0);
  const double zy = (ControlHeight - 2.0 * MarginY) / (BitmapHeight / 100.0);
  return std::min(zx, zy);
}

double TIEViewGeometry::AutoZoom(bool Fit, bool Stretch, bool Shrink, int32_t MarginX, int32_t MarginY,
                                 double FitZoom) const {
  double z = 100;
  const int64_t aw = static_cast<int64_t>(ViewWidth) - 2 * static_cast<int64_t>(MarginX);
  const int64_t ah = static_cast<int64_t>(ViewHeight) - 2 * static_cast<int64_t>(MarginY);
  if ((BitmapWidth > 1 || BitmapHeight > 1) && aw > 0 && ah > 0 && BitmapWidth > 0 && BitmapHeight > 0) {
    // Larger along the axis where the image is relatively bigger.
    const double rx = static_cast<double>(BitmapWidth) / aw, ry = static_cast<double>(BitmapHeight) / ah;
    const bool larger = rx >= ry ? BitmapWidth > aw : BitmapHeight > ah;
    if (larger ? (Shrink || Fit) : (Stretch || Fit)) z = FitZoom;
  }
  if (!(z >= 1)) z = 1;
  ClampZoom(z);
  return z;
}

void GetFitMargins(TIEBackgroundStyle Style, bool HasBorder, bool Ctl3D, int32_t EdgeWidth, int32_t EdgeHeight,
                   int32_t BorderWidth, int32_t BorderHeight, int32_t& MarginX, int32_t& MarginY) {
  switch (Style) {
    case iebsCropped: MarginX = EdgeWidth, MarginY = EdgeHeight; return;
    case iebsCropShadow: MarginX = MarginY = 5; return;
    case iebsSoftShadow: MarginX = MarginY = 9; return;
    default: break;
  }
  if (!HasBorder) MarginX = MarginY = 0;
  else if (Ctl3D) MarginX = EdgeWidth, MarginY = EdgeHeight;
  else MarginX = BorderWidth, MarginY = BorderHeight;
}
