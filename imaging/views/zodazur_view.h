#pragma once
// TZodazUrView: the single-image view. It shows the bitmap of its current layer zoomed, scrolled
// and, when smaller than the view, centred; it owns its layers, its selection mask and the I/O and
// processing companions it creates on first use.
//
// The coordinate model (zoom factors, origin, centring, the visible bitmap rectangle and the
// conversion tables) lives in TIEViewGeometry; the view keeps its inputs up to date and exposes its
// results. The view never draws the image straight onto its window: RenderView composes background
// and layers into a view-sized 24-bit back buffer when something marked it invalid, and Paint copies
// the buffer to the window.
//
// The class is split over several files along its concerns: construction, properties, events and
// messages (zodazur_view.cpp); zoom, origin and the refresh (zodazur_view_zoom.cpp); scroll bars and
// the wheel (zodazur_view_scroll.cpp); painting (zodazur_view_paint.cpp); layers
// (zodazur_view_layers.cpp); the selection state (zodazur_view_selection.cpp).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_render_tables.h"
#include "imaging/core/ie_view_params.h"
#include "imaging/processing/zodazur_proc.h"
#include "imaging/views/ie_layer.h"
#include "imaging/views/ie_view.h"
#include "imaging/views/ie_view_background.h"
#include "imaging/views/ie_view_geometry.h"
#include "platform/gdi/drawdib.h"
#include "platform/gdi/graphics.h"

class TBitmap;
class TIEBitmap;
class TIEDirectShow;
class TIEMask;
class TMemoryStream;
class TPicture;
class TTimer;
class TZodazUrIO;
class TZodazUrProc;

// Handles of layer grips: none, the four corners, the four sides, the rotation centre.
enum TIEGrip : uint8_t {
  ieNone, ieLeftTop, ieRightTop, ieRightBottom, ieLeftBottom, ieLeftSide, ieRightSide, ieTopSide, ieBottomSide,
  ieRotationCenter
};

enum TIELayerEvent : uint8_t {
  ielSelected, ielMoved, ielResized, ielMoving, ielResizing, ielRotating, ielRotated, ielBeginResizing, ielBeginMoving
};

// Mouse interactions (a 16-bit set; bit n is item n).
enum TIEMouseInteractItems : uint8_t {
  miZoom, miScroll, miSelect, miSelectPolygon, miSelectCircle, miSelectZoom, miSelectMagicWand, miSelectLasso,
  miMoveLayers, miResizeLayers, miRotateLayers, miMovingScroll
};
using TIEMouseInteract = uint16_t;
constexpr TIEMouseInteract MouseInteractBit(TIEMouseInteractItems Item) {
  return static_cast<TIEMouseInteract>(1u << Item);
}

enum TIESelectionBase : uint8_t { iesbClientArea, iesbBitmap };

using TViewChangeEvent = std::function<void(TObject* Sender, int32_t Change)>;
using TViewChangingEvent = std::function<void(TObject* Sender, int32_t Change, double newValue)>;
using TIEZoomEvent = std::function<void(TObject* Sender, double& NewZoom)>;
using TIESpecialKeyEvent = std::function<void(TObject* Sender, uint16_t CharCode, TShiftState Shift, bool& Handled)>;
using TIEOnDrawCanvas = std::function<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect)>;
using TIEOnDrawBackground =
    std::function<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, bool& Handled)>;
using TIELayerNotify = std::function<void(TObject* Sender, int32_t layer, TIELayerEvent event)>;
using TIEVirtualKeyEvent = std::function<void(TObject* Sender, uint32_t VirtualKey, uint32_t KeyData, bool KeyDown)>;
using TIESetCursorEvent = std::function<void(TObject* Sender, TCursor& Cursor)>;

// The selection polygon record (entry 0 of the view's polygon list). Points separated by
// IESelectionSeparator start a new sub-polygon.
struct TIESelectionPolygon {
  std::vector<TPoint> Points;
  TColor Color1 = clBlack, Color2 = clWhite;
  bool Animated = true;
  int32_t Phase = 0;
  bool Shown = false;
  bool Sizeable = true;
  int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};
constexpr int32_t IESelectionSeparator = 0xFFFFF;

class TZodazUrView : public TIEView {
 public:
  explicit TZodazUrView(TComponent* Owner);
  ~TZodazUrView() override;

  // ---- Companion link ----
  TIEViewKind ViewKind() override { return ievkImageView; }
  TIEBitmap* GetIEBitmap() override { return ieBitmap_; }
  // The framework bitmap behind the current bitmap while LegacyBitmap is on, else nil.
  TBitmap* GetBitmap() override { return legacyTBitmap_; }
  TIEBitmap* IEBitmap() const { return ieBitmap_; }
  TIEMask* SelectionMask() override { return selectionMask_.get(); }
  bool Selected() override { return selected_; }
  int32_t LayersCount() override { return static_cast<int32_t>(layers_.size()); }
  int32_t LayersCurrent() override { return layersCurrent_; }
  TIEBitmap* LayerBitmap(int32_t Index) override;
  TGUID LayerGUID(int32_t Index) override;
  TCanvas* GetCanvas() override;
  void PaintBackgroundTo(TCanvas* Canvas) override;

  // ---- Version ----
  std::string ZodazUrVersion() const;
  void SetZodazUrVersion(const std::string&) {}

  // ---- Bitmap and companions ----
  bool LegacyBitmap() const { return legacyBitmap_; }
  // Moves the current bitmap's pixels into a framework bitmap (on) or out of it (off). A format a
  // framework bitmap cannot hold raises and changes nothing.
  virtual void SetLegacyBitmap(bool Value);
  // Nil blanks the view; a single-image view gives a copy of its image, background and resolution;
  // a framework bitmap is copied (as 24 bits unless it is black and white or 24-bit). The view
  // itself, or its own framework bitmap, changes nothing.
  void Assign(TPersistent* Source) override;
  void AssignView(TZodazUrView* Source);
  void AssignBitmap(TBitmap* Source);
  void Blank();
  void Clear();
  bool IsEmpty();
  TIEBitmap* GetAlphaChannel() override;
  bool HasAlphaChannel() override;
  void RemoveAlphaChannel() override { RemoveAlphaChannel(false); }
  void RemoveAlphaChannel(bool Merge);
  bool EnableAlphaChannel() const { return enableAlphaChannel_; }
  void SetEnableAlphaChannel(bool Value);
  TZodazUrIO* GetIO();
  TZodazUrProc* GetProc();
  // The companions that exist (nil until first use).
  TZodazUrIO* IO() const { return io_.get(); }
  TZodazUrProc* Proc() const { return proc_.get(); }

  // ---- Zoom and origin ----
  double Zoom() const { return geo_.ZoomX; }
  double ZoomX() const { return geo_.ZoomX; }
  double ZoomY() const { return geo_.ZoomY; }
  double ZoomXFactor() const { return geo_.ZoomXFactor; }
  double ZoomYFactor() const { return geo_.ZoomYFactor; }
  double ZoomXInverse() const { return geo_.ZoomXInverse; }
  double ZoomYInverse() const { return geo_.ZoomYInverse; }
  void SetZoom(double Value);
  void SetZoomX(double Value);
  void SetZoomY(double Value);
  // Change the zoom keeping the view centre, without any refresh.
  virtual void ApplyZoom(double Value);
  virtual void ApplyZoomX(double Value);
  virtual void ApplyZoomY(double Value);
  void Fit();
  double GetFitZoom();
  void ZoomAt(int32_t X, int32_t Y, double Zoom, bool Centre);
  int32_t ViewX() const { return geo_.ViewX; }
  int32_t ViewY() const { return geo_.ViewY; }
  void SetViewXY(int32_t X, int32_t Y);
  void SetViewX(int32_t X);
  void SetViewY(int32_t Y);
  void GetMaxViewXY(int32_t& MaxX, int32_t& MaxY);
  bool IsScrollable();
  bool Center() const { return geo_.Center; }
  void SetCenter(bool Value);
  TResampleFilter ZoomFilter() const { return zoomFilter_; }
  void SetZoomFilter(TResampleFilter Value);
  bool DelayZoomFilter() const { return delayZoomFilter_; }
  void SetDelayZoomFilter(bool Value) { delayZoomFilter_ = Value; }
  bool AutoFit() const { return autoFit_; }
  void SetAutoFit(bool Value) { autoFit_ = Value; }
  bool AutoStretch() const { return autoStretch_; }
  void SetAutoStretch(bool Value) { autoStretch_ = Value; }
  bool AutoShrink() const { return autoShrink_; }
  void SetAutoShrink(bool Value) { autoShrink_ = Value; }
  bool DoubleBuffer() const { return doubleBuffer_; }
  void SetDoubleBuffer(bool Value) { doubleBuffer_ = Value; }

  // ---- The coordinate model ----
  int32_t OffsetX() const { return geo_.OffsetX; }
  int32_t OffsetY() const { return geo_.OffsetY; }
  int32_t ExtentX() const { return geo_.ExtentX; }
  int32_t ExtentY() const { return geo_.ExtentY; }
  int32_t ZoomedWidth() const { return geo_.ZoomedWidth; }
  int32_t ZoomedHeight() const { return geo_.ZoomedHeight; }
  int32_t DrawWidth() const { return geo_.DrawWidth; }
  int32_t DrawHeight() const { return geo_.DrawHeight; }
  int32_t VisibleBitmapX() const { return geo_.VisibleBitmapX; }
  int32_t VisibleBitmapY() const { return geo_.VisibleBitmapY; }
  int32_t VisibleBitmapWidth() const { return geo_.VisibleBitmapWidth; }
  int32_t VisibleBitmapHeight() const { return geo_.VisibleBitmapHeight; }
  int32_t BitmapWidth() const { return geo_.BitmapWidth; }
  int32_t BitmapHeight() const { return geo_.BitmapHeight; }
  // How many times the conversion tables were built.
  int32_t CoordinateTableBuilds() const { return geo_.TableBuilds; }
  int32_t ClientToBitmapX(int32_t X);
  int32_t ClientToBitmapY(int32_t Y);
  int32_t BitmapToClientX(int32_t X);
  int32_t BitmapToClientY(int32_t Y);
  virtual void BuildCoordinateTables();
  virtual void ComputeVisibleBitmapRect();
  virtual void ComputeViewExtents();
  // The drawing size: Width x Height when OffScreen; the client size with a window under a parent;
  // else 50 x 50.
  virtual int32_t GetViewWidth();
  virtual int32_t GetViewHeight();
  virtual bool HasParentWindow();
  bool OffScreen() const { return offScreen_; }
  void SetOffScreen(bool Value) { offScreen_ = Value; }

  // ---- Refresh ----
  void Update() override;
  void LockPaint() override;
  int32_t UnlockPaint() override;
  int32_t UnlockPaintNoUpdate() override;
  int32_t PaintLockCount() const { return paintLockCount_; }
  void LockUpdate() override;
  void UnlockUpdate();
  void UnlockUpdateNoRefresh() override;
  int32_t UpdateLockCount() const { return updateLockCount_; }
  bool InvalidateOnUpdate() const { return invalidateOnUpdate_; }
  void SetInvalidateOnUpdate(bool Value) { invalidateOnUpdate_ = Value; }
  uint8_t UpdateReason() const { return updateReason_; }

  // ---- Scroll bars and wheel ----
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle Value);
  bool FlatScrollBars() const { return flatScrollBars_; }
  void SetFlatScrollBars(bool Value);
  bool KeepScrollBars() const { return keepScrollBars_; }
  void SetKeepScrollBars(bool Value) { keepScrollBars_ = Value; }
  TIEScrollBarParams& HScrollParams() { return hScrollParams_; }
  TIEScrollBarParams& VScrollParams() { return vScrollParams_; }
  TIEMouseWheelParams& WheelParams() { return wheelParams_; }
  double HScrollRatio() const { return hScrollRatio_; }
  double VScrollRatio() const { return vScrollRatio_; }
  bool HScrollShown() const { return hScrollShown_; }
  bool VScrollShown() const { return vScrollShown_; }
  // Scrolls or zooms by one wheel notch (Delta above 0: away from the user).
  void DoMouseWheel(int32_t Delta, int32_t X, int32_t Y, bool Ctrl);

  // ---- Background ----
  void SetBackground(TColor Value) override;
  TIEBackgroundStyle BackgroundStyle() const { return backgroundStyle_; }
  void SetBackgroundStyle(TIEBackgroundStyle Value);
  TPicture* WallPaper() const { return wallPaper_.get(); }
  void SetWallPaper(TPicture* Value);
  TIEWallPaperStyle WallPaperStyle() const { return wallPaperStyle_; }
  void SetWallPaperStyle(TIEWallPaperStyle Value);
  TColor GradientEndColor() const { return gradientEndColor_; }
  void SetGradientEndColor(TColor Value) { gradientEndColor_ = Value; }
  int32_t ChessboardSize() const { return chessboardSize_; }
  TBrushStyle ChessboardBrushStyle() const { return chessboardBrushStyle_; }
  void SetChessboardStyle(int32_t Size, TBrushStyle BrushStyle);

  // ---- Painting ----
  void Paint() override;
  // Recomposes the back buffer when invalid and copies the rectangle R of it to the window.
  void PaintBackBuffer(const TRect& R);
  // Composes the view into Target (24 bits): background, layers at the view's zoom and origin,
  // gadgets. ClipRect (nil: none) limits the pixels written.
  virtual void RenderView(TIEBitmap& Target, bool DrawGadgets, bool DrawBackground, const TRect* ClipRect);
  // The back buffer's framework bitmap.
  TBitmap* GetBackBuffer();
  TIEBitmap* BackBuffer() const { return backBuffer_.get(); }
  bool BackBufferInvalid() const { return backBufferInvalid_; }
  void SetBackBufferInvalid(bool Value) { backBufferInvalid_ = Value; }
  bool FullRepaint() const { return fullRepaint_; }
  // Marks the buffer invalid and invalidates Rect of the window without erasing.
  void InvalidateViewRect(const TRect& Rect);
  bool DrawVersion() const { return drawVersion_; }
  void SetDrawVersion(bool Value);
  void DrawVersionText();
  bool DisplayGrid() const { return displayGrid_; }
  void SetDisplayGrid(bool Value) { displayGrid_ = Value; }
  int32_t GridHighlightX = -1, GridHighlightY = -1;
  bool UseDrawDib = false;
  // How many times the buffer was recomposed and copied to the window.
  int32_t RenderCount() const { return renderCount_; }
  int32_t BlitCount() const { return blitCount_; }

  // ---- Layers ----
  TIELayer* GetLayer(int32_t Index) const { return layers_.at(static_cast<size_t>(Index)).get(); }
  TIELayer* GetCurrentLayer() const { return GetLayer(layersCurrent_); }
  // The layer step of the refresh and of the rendering: the framework bitmap re-read, the current
  // layer given the current bitmap, the bitmap size taken from layer 0.
  void SyncLayers();
  bool LayersSync() const { return layersSync_; }
  int32_t MinLayerDrawSize = 2;
  uint8_t LayersOutsideMode = 0;
  int32_t LayersOutsideValue = 60;
  int32_t InvalidLayerCache = -1;

  // ---- Selection state ----
  uint32_t MaskBitsPerPixel() const { return maskBitsPerPixel_; }
  TIESelectionPolygon& SelectionPolygonRecord() { return polygon_; }
  const TPoint* SelectionPolygon() override;
  int32_t SelectionPolygonCount() override;
  // Draws the selection (nothing is shown yet: no selection tool exists) and counts the delays down;
  // the selection timer calls it with FromTimer.
  void DrawSelection(TObject* Sender, bool FromTimer);
  TTimer* SelectionTimer() const { return selectionTimer_.get(); }
  int32_t ZoomFilterDelayTicks = 4;
  int32_t SelectionDelayTicks = 2;
  int32_t ZoomFilterDelayCount() const { return zoomFilterDelayCount_; }
  int32_t SelectionDelayCount() const { return selectionDelayCount_; }
  bool VisibleSelection = true;

  // ---- Cursors ----
  // OnSetCursor may change the value; it becomes the cursor to return to and is shown at once.
  void SetCursor(TCursor Value);
  // Shown only for a view with an owner; the cursor to return to stays.
  void SetTempCursor(TCursor Value);
  void RestoreTempCursor();
  TCursor RestoreCursorValue() const { return restoreCursor_; }
  bool HasOwner() const { return hasOwner_; }
  // Nothing glides yet; every zoom operation stops a gliding scroll first.
  void StopSmoothScroll() {}

  // ---- Events ----
  TNotifyEvent OnImageChange;
  // A new video frame of the I/O component's media graph (IEM_NEWFRAME); a graph event waits in
  // the graph (IEM_DSHOWEVENT). Both only while the graph is connected.
  TNotifyEvent OnDShowNewFrame;
  TNotifyEvent OnDShowEvent;
  TViewChangeEvent OnViewChange;
  TViewChangingEvent OnViewChanging;
  TIEZoomEvent OnZoomIn, OnZoomOut;
  TNotifyEvent OnPaint;
  TNotifyEvent OnDrawBackBuffer;
  TIEOnDrawBackground OnDrawBackground;
  TIEOnDrawCanvas OnDrawCanvas;
  TIELayerNotify OnLayerNotify;
  TIESpecialKeyEvent OnSpecialKey;
  TIEVirtualKeyEvent OnVirtualKey;
  TIESetCursorEvent OnSetCursor;
  // Stored and handed to the companions that exist.
  void SetOnProgress(TIEProgressEvent Value);
  const TIEProgressEvent& GetOnProgress() const { return onProgress_; }
  void SetOnFinishWork(TNotifyEvent Value);
  const TNotifyEvent& GetOnFinishWork() const { return onFinishWork_; }
  void SetOnSaveUndo(TIESaveUndoEvent Value);
  const TIESaveUndoEvent& GetOnSaveUndo() const { return onSaveUndo_; }

  void DoImageChange() override;
  virtual void DoViewChange(int32_t Change);
  virtual void DoViewChanging(int32_t Change, double NewValue);
  void DoZoomIn(double& Zoom);
  void DoZoomOut(double& Zoom);

  // Forms are built in code: only a view read from a stored form takes its size as its image size.
  void SetBounds(int Left, int Top, int Width, int Height) override;

 protected:
  using TIEView::DoMouseWheel;  // the control's own wheel handling, beside the notch above
  void Dispatch(TMessage& Message) override;
  void Notification(TComponent* Component, TOperation Operation) override;

 private:
  friend class TIELayer;

  // ---- Refresh steps ----
  // Copies the control's sizes and the bitmap size into the coordinate model.
  void SyncGeometry();
  void UpdateCore();
  void AutoZoomStep();
  void ResizeMaskAndAlpha();
  // Lowers the origin to the maximum after a change of sizes, with the change events.
  void LowerOriginToMaximum();
  void ApplyZoomDelays(int Axis);
  // SetZoom, SetZoomX and SetZoomY (Axis 0 both, 1 X, 2 Y): clamp, apply, refresh, notify.
  void SetZoomOnAxes(int Axis, double Value);
  void MoveOrigin(int32_t X, int32_t Y, bool ChangeX, bool ChangeY);

  // ---- Scroll bars (zodazur_view_scroll.cpp) ----
  void SetScrollBarsRanges();
  void SetOneScrollBar(int Bar, int32_t Max, int32_t ViewSize, int32_t Origin, double& Ratio, bool& Shown);
  void WMScroll(TMessage& Message, bool Horizontal);
  void WMMouseWheelView(TMessage& Message);

  // ---- Painting (zodazur_view_paint.cpp) ----
  void PaintCore();
  void BlitBackBuffer(const TRect& R);
  // Draws the rectangle straight from a 24-bit back buffer that is laid out as a DIB; false (nothing
  // drawn) for one that is not.
  bool DrawBackBufferInPlace(HDC DC, int32_t X, int32_t Y, int32_t W, int32_t H);
  // Paints the background of Target; unless Forced it is skipped where the image covers it.
  // Covered: a rectangle the layer then paints over whole and opaque, which the background leaves
  // out (null: none).
  void PaintTargetBackground(TIEBitmap& Target, TIELayer& Layer, const TRect* ClipRect, bool Forced,
                             const TRect* Covered = nullptr);
  void DrawLayer(TIEBitmap& Target, int32_t Index, bool& FirstLayer, bool DrawBackground, const TRect* ClipRect);
  void DrawPixelGrid(TIEBitmap& Target);
  void ShadeOutside(TIEBitmap& Target);
  // The view's row and column maps for the fast path, filled from the conversion tables.
  void FillClientMaps(int32_t SrcWidth, int32_t SrcHeight);

  // ---- Video (zodazur_view_paint.cpp) ----
  // The I/O component's media graph while it renders video into this view (windowless renderer)
  // and is not stopped; else nil.
  TIEDirectShow* PlayingVideo() const;
  // Tells the graph which part of the frame goes where: the current layer's source rectangle,
  // brought to video pixels, onto its drawing rectangle.
  void PositionVideo(TIEDirectShow& Graph);

  // ---- Messages ----
  void WMPaint(TMessage& Message) override;
  void WMSize(TMessage& Message) override;
  void HandleKey(TMessage& Message, bool Down);
  void WantSpecialKey(TMessage& Message);

  void ApplyCursorNow(TCursor Value);
  void CreateSelectionTimer();
  void ForwardEvents();

  // ---- Bitmap and layers ----
  TIEBitmap* ieBitmap_ = nullptr;
  TBitmap* legacyTBitmap_ = nullptr;
  bool legacyBitmap_ = true;
  std::vector<std::unique_ptr<TIELayer>> layers_;
  int32_t layersCurrent_ = 0;
  bool layersSync_ = false;
  int32_t lastBitmapWidth_ = 0, lastBitmapHeight_ = 0;

  // ---- Companions ----
  std::unique_ptr<TZodazUrIO> io_;
  // The view's own I/O component is writing the bitmap on its thread: nothing reads it meanwhile
  // (the component asks for a refresh when it is done).
  bool BitmapBusy() const;
  std::unique_ptr<TZodazUrProc> proc_;
  TIEProgressEvent onProgress_;
  TNotifyEvent onFinishWork_;
  TIESaveUndoEvent onSaveUndo_;

  // ---- Coordinate model and refresh ----
  TIEViewGeometry geo_;
  TResampleFilter zoomFilter_ = rfNone;
  TResampleFilter savedZoomFilter_ = rfNone;
  bool delayZoomFilter_ = false;
  bool autoFit_ = false, autoStretch_ = false, autoShrink_ = false;
  bool doubleBuffer_ = true;
  bool offScreen_ = false;
  bool enableAlphaChannel_ = true;
  int32_t updateLockCount_ = 0;
  int32_t paintLockCount_ = 0;
  bool insideUpdate_ = false;
  bool nestedUpdate_ = false;
  bool invalidateOnUpdate_ = true;
  uint8_t updateReason_ = 0;

  // ---- Scroll bars and wheel ----
  TScrollStyle scrollBars_ = ssBoth;
  bool flatScrollBars_ = false;
  bool keepScrollBars_ = false;
  double hScrollRatio_ = 1.0, vScrollRatio_ = 1.0;
  bool hScrollShown_ = false, vScrollShown_ = false;
  TIEScrollBarParams hScrollParams_, vScrollParams_;
  TIEMouseWheelParams wheelParams_;

  // ---- Background ----
  TIEBackgroundStyle backgroundStyle_ = iebsSolid;
  std::unique_ptr<TPicture> wallPaper_;
  TIEWallPaperStyle wallPaperStyle_ = iewoNormal;
  TColor gradientEndColor_ = static_cast<TColor>(0xFF0000);
  int32_t chessboardSize_ = 16;
  TBrushStyle chessboardBrushStyle_ = bsSolid;

  // ---- Painting ----
  std::unique_ptr<TIEBitmap> backBuffer_;
  bool backBufferInvalid_ = true;
  bool fullRepaint_ = true;
  bool drawVersion_ = false;
  bool displayGrid_ = false;
  HDRAWDIB drawDibHandle_ = nullptr;
  HWND lastWindowHandle_ = nullptr;
  TIERenderDestRows destRows_;
  TIERenderIndexMap columnMap_, rowMap_;
  std::vector<uint8_t> blitPixels_;  // the DIB rows handed to DrawDib, kept between frames
  int32_t renderCount_ = 0;
  int32_t blitCount_ = 0;
  std::unique_ptr<TPen> layerBoxPen_;

  // ---- Selection ----
  std::unique_ptr<TIEMask> selectionMask_;
  uint32_t maskBitsPerPixel_ = 1;
  bool selected_ = false;
  TIESelectionPolygon polygon_;
  std::vector<std::unique_ptr<TMemoryStream>> selectionStack_;
  std::unique_ptr<TBitmap> antsBitmap_;
  std::unique_ptr<TTimer> selectionTimer_;
  int32_t zoomFilterDelayCount_ = 0;
  int32_t selectionDelayCount_ = 0;

  // ---- Cursors ----
  TCursor restoreCursor_ = 0;
  bool cursorPending_ = true;
  bool hasOwner_ = false;
};
