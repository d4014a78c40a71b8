#pragma once
// TZodazUrMView: the thumbnail view. An ordered list of images held in two image stores ("ILIST"
// for the images, "ICACHE" for their drawn thumbnails), laid out as a scrollable grid of cells,
// painted from the thumbnails with captions, frames and soft shadows, selected with the mouse and
// the keyboard, played one after another, and filled on demand: images known only by a file name
// are loaded when their cells are drawn, synchronously or by background loaders that the starter
// thread runs.
//
// Threads. The list, every record's position, file name and images, and the scroll position are
// guarded by the view lock. The user-interface thread changes the list, paints (each cell under
// the lock), loads synchronously and stores finished background loads; the starter thread starts
// loader threads (up to ThreadPoolSize) and sweeps them under the lock; each loader thread takes the
// pending loads one after another, decodes and reduces on its own thread (its reader works
// synchronously there) and hands its result over through a queue and a posted message; it lives
// until the view goes or it has waited a few seconds for work. Every image record carries a serial number that
// is never reused: pending loads, loaders and their results name an image by it, so a load whose
// image moved lands where the image is now, and one whose image is gone stores nothing.
//
// The class is split along its concerns: the list model (zodazur_mview.cpp), the grid and scrolling
// (zodazur_mview_layout.cpp), painting and captions (zodazur_mview_paint.cpp), loading
// (zodazur_mview_load.cpp), and selection, mouse, keys and playback (zodazur_mview_select.cpp).
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_multi_view_link.h"
#include "imaging/core/ie_view_params.h"
#include "imaging/views/ie_view.h"
#include "imaging/views/ie_view_background.h"
#include "imaging/views/ie_view_globals.h"
#include "platform/gdi/drawdib.h"
#include "platform/gdi/graphics.h"
#include "platform/system/sync_objs.h"

class TBitmap;
class TIEBaseBitmap;
class TIEBitmap;
class TIEStarter;
class TIEVirtualImageList;
struct TIEVirtualImage;
class TPicture;
class TStream;
class TZodazUrIO;
class TZodazUrMIO;
class TZodazUrMView;
class TZodazUrProc;

// The view's own message: background loads have finished (posted by their worker threads).
constexpr uint32_t IEM_THUMBLOADED = 8040;

enum TIEMDisplayMode : uint8_t { mdGrid, mdSingle };
enum TIEMStyle : uint8_t { iemsFlat, iemsACD };
enum TIESStyle : uint8_t { iessAround, iessACD };
enum TIEMMultiSelectionOption : uint8_t { iemoRegion = 1, iemoSelectOnMouseUp = 2, iemoLeaveOneSelected = 4 };
using TIEMMultiSelectionOptions = uint8_t;
enum TIEMMouseInteractItem : uint8_t { mmiScroll = 1, mmiSelect = 2 };
using TIEMMouseInteract = uint8_t;
enum TIEMKeyInteractItem : uint8_t { mkiMoveSelected = 1 };
using TIEMKeyInteract = uint8_t;

using TIEImageSelectEvent = std::function<void(TObject* Sender, int32_t idx)>;
using TIEMProgressEvent = std::function<void(TObject* Sender, int32_t per, int32_t idx)>;
using TIEWrongImageEvent = std::function<void(TObject* Sender, TIEBitmap* OutBitmap, int32_t idx, bool& Handled)>;
using TIEImageDrawEvent = std::function<void(TObject* Sender, int32_t idx, int32_t Left, int32_t Top, TCanvas* Canvas)>;
using TIEImageDraw2Event = std::function<void(TObject* Sender, int32_t idx, int32_t Left, int32_t Top,
                                              const TRect& ImageRect, TCanvas* Canvas)>;
using TIEImageDrawEventEx =
    std::function<void(TObject* Sender, int32_t idx, int32_t Left, int32_t Top, TBitmap* Dest, TRect& ThumbRect)>;
using TIEPlayFrameEvent = std::function<void(TObject* Sender, int32_t frameIndex)>;
using TIEMViewChangeEvent = std::function<void(TObject* Sender, int32_t Change)>;

// A caption of a thumbnail: at the top of the cell (Position 0), at its bottom (1), or under the
// image (2, the info caption).
class TIEMText {
 public:
  TIEMText(TZodazUrMView* Owner, uint8_t Position);
  ~TIEMText();
  TIEMText(const TIEMText&) = delete;
  TIEMText& operator=(const TIEMText&) = delete;

  const std::string& Caption() const { return caption_; }
  // Sets the text (UTF-8); a top or bottom caption taller than its gap makes the gap larger.
  void SetCaption(const std::string& Text);
  TFont* Font() { return font_.get(); }
  TColor Background = clBtnFace;
  TBrushStyle BrushStyle = bsSolid;
  uint8_t Position() const { return position_; }
  // 0: a caption too wide loses characters at its end; 1: at its start.
  uint8_t TruncateSide = 1;

 private:
  TZodazUrMView* owner_;
  uint8_t position_;
  std::string caption_;
  std::unique_ptr<TFont> font_;
};

// Text cut with "..." until it fits Width on Canvas: losing characters at its end (Side 0) or its
// start (1); whole code points only, and a text of one character stays whole.
std::string IEShortenCaption(TCanvas* Canvas, const std::string& Text, int32_t Width, uint8_t Side);

// One image of the view.
struct TIEMImageInfo {
  uint64_t Serial = 0;  // the image's identity, never reused
  TIEVirtualImage* Image = nullptr;       // "ILIST" image; nil: not loaded
  TIEVirtualImage* CacheImage = nullptr;  // "ICACHE" thumbnail; nil: to be drawn again
  int32_t X = 0, Y = 0;
  int32_t Row = 0, Col = 0;
  TColor Background = clBtnFace;
  std::string FileName;
  int32_t ImageID = -1;
  int32_t DelayTime = 0;  // milliseconds
  std::unique_ptr<TIEMText> TopText, BottomText, InfoText;
  TRect DrawnRect{0, 0, 0, 0};
};

class TZodazUrMView : public TIEView, public TIEMultiViewLink {
 public:
  explicit TZodazUrMView(TComponent* Owner);
  ~TZodazUrMView() override;

  // ---- Links ----
  TIEViewLink* ViewLink() override { return this; }
  TIEViewKind ViewKind() override { return ievkMultiView; }
  std::string ZodazUrVersion() const;
  void SetZodazUrVersion(const std::string&) {}

  // ---- The image list (zodazur_mview.cpp) ----
  int32_t ImageCount() override;
  void InsertImage(int32_t Index);
  void InsertImageNoSelect(int32_t Index) override;
  int32_t AppendImage();
  void DeleteImage(int32_t Index) override;
  void MoveImage(int32_t Index, int32_t NewIndex);
  void ClearImages();
  void SetFramesFromFile(const std::string& FileName);

  // Pixels of an image.
  void GetImageBitmap(int32_t Index, TIEBitmap* Bitmap);
  TIEBitmap* AcquireImageIEBitmap(int32_t Index);
  TBitmap* AcquireImageTBitmap(int32_t Index);
  void ReleaseImageBitmap(int32_t Index);
  TIEBitmap* GetIEBitmap() override;
  TBitmap* GetBitmap() override;
  TIEBitmap* GetAlphaChannel() override { return nullptr; }
  bool HasAlphaChannel() override { return false; }
  void RemoveAlphaChannel() override {}
  void StoreImageBitmap(int32_t Index, TIEBaseBitmap* Bitmap) override;
  void SetImageIEBitmap(int32_t Index, TIEBitmap* Bitmap);
  void SetImage(int32_t Index, TBitmap* Bitmap);
  void UpdateImage(int32_t Index);
  void ReserveImageSpace(int32_t Width, int32_t Height, int32_t BitsPerPixel, int32_t Count) override;

  // Per-image attributes (nothing, 0 or empty outside the list).
  void SetImageFileName(int32_t Index, const std::string& Name);
  std::string GetImageFileName(int32_t Index);
  void SetImageBackground(int32_t Index, TColor Color) override;
  TColor GetImageBackground(int32_t Index);
  void SetImageDelayTime(int32_t Index, int32_t Milliseconds) override;
  int32_t GetImageDelayTime(int32_t Index);
  void SetImageOriginalWidth(int32_t Index, int32_t Width);
  void SetImageOriginalHeight(int32_t Index, int32_t Height);
  int32_t GetImageOriginalWidth(int32_t Index);
  int32_t GetImageOriginalHeight(int32_t Index);
  int32_t GetImageWidth(int32_t Index);
  int32_t GetImageHeight(int32_t Index);
  int32_t GetImageRow(int32_t Index);
  int32_t GetImageCol(int32_t Index);
  int32_t GetImageX(int32_t Index);
  int32_t GetImageY(int32_t Index);
  TIEMText* GetImageTopText(int32_t Index);
  TIEMText* GetImageBottomText(int32_t Index);
  TIEMText* GetImageInfoText(int32_t Index);
  TRect GetImageDrawnRect(int32_t Index);
  bool IsImageLoaded(int32_t Index);
  bool HasImageThumbnail(int32_t Index);
  uint64_t GetImageSerial(int32_t Index);

  // The last change of the list (read inside the bitmap-change callbacks).
  TIEMViewChange GetLastChange() override { return lastChange_; }
  int32_t GetLastChangeIndex() override { return lastChangeIndex_; }
  int32_t GetLastChangeNewIndex() override { return lastChangeNewIndex_; }
  void CallBitmapChangeEvents() override;

  // Companions.
  TZodazUrMIO* GetMIO();
  TZodazUrProc* GetProc();
  TZodazUrIO* IO() const { return io_.get(); }
  void SetOnProgress(TIEProgressEvent Value);
  const TIEProgressEvent& GetOnProgress() const { return onProgress_; }
  void SetOnFinishWork(TNotifyEvent Value);
  const TNotifyEvent& GetOnFinishWork() const { return onFinishWork_; }

  // Paint lock (the layout and the paint wait while it is held).
  void LockPaint() override;
  int32_t UnlockPaint() override;
  int32_t UnlockPaintNoUpdate() override;
  int32_t PaintLockCount() const { return paintLockCount_; }

  // ---- Properties ----
  TIEStoreType StoreType() override { return storeType_; }
  void SetStoreType(TIEStoreType Value);
  int32_t ThumbWidth() override { return thumbWidth_; }
  int32_t ThumbHeight() override { return thumbHeight_; }
  void SetThumbWidth(int32_t Value);
  void SetThumbHeight(int32_t Value);
  int32_t HorizBorder() const { return horizBorder_; }
  int32_t VertBorder() const { return vertBorder_; }
  void SetHorizBorder(int32_t Value);
  void SetVertBorder(int32_t Value);
  int32_t UpperGap() const { return upperGap_; }
  int32_t BottomGap() const { return bottomGap_; }
  void SetUpperGap(int32_t Value);
  void SetBottomGap(int32_t Value);
  TIEMDisplayMode DisplayMode() const { return displayMode_; }
  void SetDisplayMode(TIEMDisplayMode Value);
  int32_t GridWidth() const { return gridWidth_; }
  void SetGridWidth(int32_t Value);
  TIEMStyle Style() const { return style_; }
  void SetStyle(TIEMStyle Value);
  TIESStyle SelectionStyle() const { return selectionStyle_; }
  void SetSelectionStyle(TIESStyle Value);
  bool VisibleSelection() const { return visibleSelection_; }
  void SetVisibleSelection(bool Value);
  int32_t SelectionWidth() const { return selectionWidth_; }
  void SetSelectionWidth(int32_t Value);
  TColor SelectionColor() const { return selectionColor_; }
  void SetSelectionColor(TColor Value);
  TColor ThumbnailsBackground() const { return thumbnailsBackground_; }
  void SetThumbnailsBackground(TColor Value);
  TIEBackgroundStyle ThumbnailsBackgroundStyle() const { return thumbnailsBackgroundStyle_; }
  void SetThumbnailsBackgroundStyle(TIEBackgroundStyle Value);
  int32_t ThumbnailsBorderWidth() const { return thumbnailsBorderWidth_; }
  void SetThumbnailsBorderWidth(int32_t Value);
  TColor ThumbnailsBorderColor() const { return thumbnailsBorderColor_; }
  void SetThumbnailsBorderColor(TColor Value);
  bool ThumbnailsInternalBorder() const { return thumbnailsInternalBorder_; }
  void SetThumbnailsInternalBorder(bool Value);
  TColor ThumbnailsInternalBorderColor() const { return thumbnailsInternalBorderColor_; }
  void SetThumbnailsInternalBorderColor(TColor Value);
  bool DrawImageBackground() const { return drawImageBackground_; }
  void SetDrawImageBackground(bool Value);
  bool EnableAlphaChannel() const { return enableAlphaChannel_; }
  void SetEnableAlphaChannel(bool Value);
  TIEBackgroundStyle BackgroundStyle() const { return backgroundStyle_; }
  void SetBackgroundStyle(TIEBackgroundStyle Value);
  TPicture* WallPaper() const { return wallPaper_.get(); }
  void SetWallPaper(TPicture* Value);
  TIEWallPaperStyle WallPaperStyle() const { return wallPaperStyle_; }
  void SetWallPaperStyle(TIEWallPaperStyle Value);
  bool RemoveCorrupted() const { return removeCorrupted_; }
  void SetRemoveCorrupted(bool Value);
  int32_t ImageCacheSize() const { return imageCacheSize_; }
  void SetImageCacheSize(int32_t Value);
  int32_t ThreadPoolSize() const { return threadPoolSize_.load(); }
  void SetThreadPoolSize(int32_t Value);
  bool EnableMultiSelect() const { return enableMultiSelect_; }
  void SetEnableMultiSelect(bool Value);
  TIEMMultiSelectionOptions MultiSelectionOptions() const { return multiSelectionOptions_; }
  void SetMultiSelectionOptions(TIEMMultiSelectionOptions Value) { multiSelectionOptions_ = Value; }
  TIEMMouseInteract MouseInteract() const { return mouseInteract_; }
  virtual void SetMouseInteract(TIEMMouseInteract Value) { mouseInteract_ = Value; }
  TIEMKeyInteract KeyInteract() const { return keyInteract_; }
  virtual void SetKeyInteract(TIEMKeyInteract Value) { keyInteract_ = Value; }
  bool FillThumbnail() const { return fillThumbnail_; }
  void SetFillThumbnail(bool Value);
  void SetGradientEndColor(TColor Value);
  void SetChessboardStyle(int32_t Size, TBrushStyle BrushStyle);
  void SetBackground(TColor Value) override;
  TIEVSoftShadow& SoftShadow() { return softShadow_; }
  uint8_t TransitionEffect = 0;
  int32_t TransitionDuration = 1000;
  // The caption fonts new captions copy, by position (0 top, 1 bottom, 2 info).
  TFont* CaptionFont(uint8_t Position) { return captionFonts_[Position < 3 ? Position : 2].get(); }

  // ---- Layout and scrolling (zodazur_mview_layout.cpp) ----
  void Update() override;
  void UpdateEx(bool DropThumbnails);
  void ComputeLayout();
  void GetMaxViewXY(int32_t& MaxX, int32_t& MaxY);
  int32_t ViewX() const { return viewX_; }
  int32_t ViewY() const { return viewY_; }
  void SetViewX(int32_t Value);
  void SetViewY(int32_t Value);
  void SetViewXY(int32_t X, int32_t Y);
  int32_t ImageAtPos(int32_t X, int32_t Y);
  int32_t IndexFromRowCol(int32_t Row, int32_t Col);
  int32_t IsImageVisible(int32_t Index);
  // Columns of the grid: GridWidth, or the fitting count for -1.
  int32_t ColumnCount();
  int32_t ExtentWidth() const { return extentWidth_; }
  int32_t ExtentHeight() const { return extentHeight_; }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle Value);
  bool FlatScrollBars() const { return flatScrollBars_; }
  void SetFlatScrollBars(bool Value);
  TIEScrollBarParams& HScrollParams() { return hScrollParams_; }
  TIEScrollBarParams& VScrollParams() { return vScrollParams_; }
  int32_t LayoutCount() const { return layoutCount_; }

  // ---- Painting (zodazur_mview_paint.cpp) ----
  void Paint() override;
  virtual void PaintTo(TBitmap* Bitmap);
  // PaintTo for the part of the client area inside Area only: the background there and the cells
  // that reach into it (loads are still queued, and all-displayed judged, for every visible cell).
  void PaintArea(TBitmap* Bitmap, const TRect& Area);
  // The client rectangle a cell's painting can reach: the cell with its borders and selection mark.
  TRect CellPaintRect(const TIEMImageInfo& Record) const;
  void DrawThumbnail(TBitmap* Bitmap, TIEMImageInfo& Record, int32_t Index, bool Selected);
  TIEBitmap* BackBuffer() const { return backBuffer_.get(); }

  // ---- Loading (zodazur_mview_load.cpp) ----
  bool LoadImageNow(int32_t Index);
  bool LoadImageFromFile(int32_t Index, const std::string& FileName, int32_t ImageIndex) override;
  bool LoadImageFromSource(int32_t Index, TStream* Stream, const std::string& FileName, int32_t ImageIndex) override;
  bool QueueImageLoad(int32_t Index, int32_t Position);
  void CancelImageLoad(int32_t Index);
  virtual void CancelBackgroundLoads();
  virtual void DoWrongImage(TIEBitmap* Bitmap, int32_t Index);
  // Stores the background loads that have finished (the user-interface thread does it when their
  // message arrives, and before every paint) and marks their cells for repainting; answers those
  // cells' rectangles (CellPaintRect).
  std::vector<TRect> StoreFinishedLoads();
  // How many loads are pending or running now, and the images pending, first started first.
  int32_t PendingLoadCount();
  std::vector<int32_t> PendingLoads();
  int32_t RunningLoadCount();
  // The loader threads alive: running a load or waiting a few seconds for the next one.
  int32_t LoaderThreadCount();

  // ---- Selection, mouse, keys and playback (zodazur_mview_select.cpp) ----
  int32_t SelectedImage() override { return selectedImage_; }
  void SelectImage(int32_t Index) override;
  void Deselect();
  bool IsSelected(int32_t Index);
  int32_t MultiSelectedImagesCount() const { return static_cast<int32_t>(multiSelection_.size()); }
  int32_t GetMultiSelectedImage(int32_t Index) const;
  void SelectAt(int32_t X, int32_t Y, TShiftState Shift);
  void MoveSelection(int32_t Direction);
  bool Playing() const { return playing_; }
  void SetPlaying(bool Value);
  int32_t CurrentFrame() const { return currentFrame_; }
  // The interval of the playback timer now running (0 when none).
  uint32_t PlayTimerInterval() const { return playTimerInterval_; }
  void PlayStep();
  virtual void DoImageSelect(int32_t Index);
  virtual void DoImageDeselect(int32_t Index);
  virtual void DoViewChange(int32_t Change);

  // ---- Events ----
  TIEMViewChangeEvent OnViewChange;
  TIEMProgressEvent OnDrawProgress;
  TIEWrongImageEvent OnWrongImage;
  TIEImageDrawEvent OnImageDraw;
  TIEImageDraw2Event OnImageDraw2;
  TIEImageDrawEvent OnBeforeImageDraw;
  TIEImageDrawEventEx OnBeforeImageDrawEx;
  TIEProgressEvent OnIOProgress;
  TIEImageSelectEvent OnImageSelect;
  TIEImageSelectEvent OnImageDeselect;
  TNotifyEvent OnAllDisplayed;
  TIEPlayFrameEvent OnPlayFrame;

  // The view lock.
  TCriticalSection& Lock() { return lock_; }

 protected:
  void Dispatch(TMessage& Message) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void WMSize(TMessage& Message) override;

 private:
  friend class TIEStarter;
  friend class TIELoaderThread;
  friend class TIEMText;
  struct Loader;
  struct LoadResult;

  // ---- Model ----
  TIEMImageInfo* RecordAt(int32_t Index);
  TIEMImageInfo* RecordBySerial(uint64_t Serial);
  int32_t IndexOf(const TIEMImageInfo* Record);
  std::unique_ptr<TIEMImageInfo> NewRecord();
  void DropThumbnail(TIEMImageInfo& Record);
  void DropAllThumbnails();
  void DeleteStored(TIEMImageInfo& Record);
  bool DeleteImageCore(int32_t Index);
  void SetLastChange(TIEMViewChange Kind, int32_t Index, int32_t NewIndex);
  void ForgetSelectedBitmap(bool WriteBack);
  std::unique_ptr<TIEBitmap> ReduceToThumb(TIEBaseBitmap& Source, bool& Reduced);

  // ---- Layout ----
  void SetOneScrollBar(int Bar, int32_t Max, int32_t ClientSize, int32_t Position, double& Scale);
  void WMScroll(TMessage& Message, bool Horizontal);
  void WMMouseWheelView(TMessage& Message);
  bool CellVisibleForLoad(const TIEMImageInfo& Record);

  // ---- Loading ----
  void PrepareReader(TZodazUrIO& Reader, const TIEMImageInfo& Record);
  int32_t LoadFrame(TZodazUrIO& Reader, const std::string& FileName, int32_t Frame);
  void AbandonLoad(Loader& L);
  void SweepLoaders(std::vector<std::unique_ptr<Loader>>& Finished);
  void PrunePending();
  void StartLoaders();
  bool TakeLoad(Loader& L, std::string& Name, int32_t& ThumbWidth);
  void LoaderRun(Loader& L);
  void DoLoadFinished(Loader& L);
  void StoreLoaded(int32_t Index, TZodazUrIO& Reader, TIEBitmap* Bitmap);
  void StopStarter();
  void StarterRun(TIEStarter& Starter);
  void DestroyLoader(std::unique_ptr<Loader> L);
  std::unique_ptr<TIEBitmap> ReduceLoaded(TIEBitmap& Source, TIEStoreType Type, int32_t ThumbW, int32_t ThumbH);

  // ---- Selection ----
  void SelectCore(int32_t Index);
  void DeselectAll();
  void SelectRange(int32_t From, int32_t To);
  void StopPlaying();
  void ScrollIntoView(int32_t Index, int32_t Direction);

  // ---- Stores and list ----
  mutable TCriticalSection lock_;
  std::vector<std::unique_ptr<TIEMImageInfo>> images_;
  std::unordered_map<uint64_t, TIEMImageInfo*> bySerial_;
  uint64_t nextSerial_ = 1;
  std::unique_ptr<TIEVirtualImageList> imageList_;
  std::unique_ptr<TIEVirtualImageList> cacheList_;
  TIEMViewChange lastChange_ = iemcNone;
  int32_t lastChangeIndex_ = 0, lastChangeNewIndex_ = 0;
  // Set when destruction begins; the loaders read it without the lock.
  std::atomic<bool> destroying_{false};

  // ---- Companions ----
  std::unique_ptr<TZodazUrIO> io_;
  std::unique_ptr<TZodazUrMIO> mio_;
  std::unique_ptr<TZodazUrProc> proc_;
  // One reader per multi-frame or media file, kept open between frames, by the file's name.
  std::vector<std::pair<std::string, std::unique_ptr<TZodazUrIO>>> frameReaders_;
  TIEProgressEvent onProgress_;
  TNotifyEvent onFinishWork_;

  // ---- Properties ----
  TIEStoreType storeType_ = ietNormal;
  int32_t thumbWidth_ = 100, thumbHeight_ = 100;
  int32_t horizBorder_ = 4, vertBorder_ = 4;
  int32_t upperGap_ = 0, bottomGap_ = 0, minUpperGap_ = 0, minBottomGap_ = 0;
  TIEMDisplayMode displayMode_ = mdGrid;
  int32_t gridWidth_ = 0;
  TIEMStyle style_ = iemsACD;
  TIESStyle selectionStyle_ = iessAround;
  bool visibleSelection_ = true;
  int32_t selectionWidth_ = 2;
  TColor selectionColor_ = static_cast<TColor>(0xFFA0A0);
  TColor thumbnailsBackground_ = clBtnFace;
  TIEBackgroundStyle thumbnailsBackgroundStyle_ = iebsSolid;
  int32_t thumbnailsBorderWidth_ = 0;
  TColor thumbnailsBorderColor_ = clBlack;
  bool thumbnailsInternalBorder_ = false;
  TColor thumbnailsInternalBorderColor_ = clBlack;
  bool drawImageBackground_ = false;
  bool enableAlphaChannel_ = true;
  TIEBackgroundStyle backgroundStyle_ = iebsSolid;
  std::unique_ptr<TPicture> wallPaper_;
  TIEWallPaperStyle wallPaperStyle_ = iewoNormal;
  bool removeCorrupted_ = false;
  int32_t imageCacheSize_ = 10;
  std::atomic<int32_t> threadPoolSize_{5};
  bool enableMultiSelect_ = false;
  TIEMMultiSelectionOptions multiSelectionOptions_ = 0;
  TIEMMouseInteract mouseInteract_ = mmiSelect;
  TIEMKeyInteract keyInteract_ = mkiMoveSelected;
  bool fillThumbnail_ = true;
  TColor gradientEndColor_ = static_cast<TColor>(0xFF0000);
  int32_t chessboardSize_ = 16;
  TBrushStyle chessboardBrushStyle_ = bsSolid;
  TIEVSoftShadow softShadow_;
  std::unique_ptr<TFont> captionFonts_[3];

  // ---- Layout ----
  int32_t paintLockCount_ = 0;
  bool inLayout_ = false;
  int32_t viewX_ = 0, viewY_ = 0;
  int32_t extentWidth_ = 0, extentHeight_ = 0;
  double hScale_ = 1.0, vScale_ = 1.0;
  TScrollStyle scrollBars_ = ssBoth;
  bool flatScrollBars_ = false;
  TIEScrollBarParams hScrollParams_, vScrollParams_;
  int32_t layoutCount_ = 0;
  // What the cells were last placed for, and the first index placed since (or to be placed).
  struct TLayoutKey {
    int32_t Columns = -2;
    TIEMDisplayMode Mode = mdGrid;
    int32_t ThumbWidth = 0, ThumbHeight = 0, HorizBorder = 0, VertBorder = 0;
    bool operator==(const TLayoutKey&) const = default;
  };
  TLayoutKey layoutKey_;
  int32_t layoutFrom_ = 0;
  void LayoutFrom(int32_t Index) { layoutFrom_ = std::min(layoutFrom_, Index); }

  // ---- Painting ----
  std::unique_ptr<TIEBitmap> backBuffer_;
  bool allDisplayed_ = false;
  HDRAWDIB drawDibHandle_ = nullptr;

  // ---- Loading ----
  std::deque<uint64_t> pending_;  // serials, first started first
  // The loader threads, kept from load to load; the counts of those running a load and of those
  // waiting for one (under the lock). An idle loader waits on loaderWake_ with the lock let go.
  std::vector<std::unique_ptr<Loader>> loaders_;
  int32_t busyLoaders_ = 0, idleLoaders_ = 0;
  std::condition_variable_any loaderWake_;
  std::deque<std::unique_ptr<LoadResult>> results_;
  std::unique_ptr<TIEStarter> starter_;
  std::atomic<HWND> window_{nullptr};
  bool resultPosted_ = false;
  // The control's size as the loaders' visibility test sees it (kept under the lock).
  int32_t loadAreaWidth_ = 0, loadAreaHeight_ = 0;
  // Cells a paint loaded but did not show whole, marked for repainting after it (UI thread only).
  std::vector<TRect> lateCells_;

  // ---- Selection and interaction ----
  int32_t selectedImage_ = -1;
  std::vector<int32_t> multiSelection_;
  TIEBitmap* selectedBitmap_ = nullptr;  // checked out of "ILIST"
  bool userAction_ = false;
  bool additive_ = false;
  bool range_ = false;
  bool selectionChanged_ = false;
  int32_t anchor_ = -1;
  int32_t pressX_ = 0, pressY_ = 0, pressViewX_ = 0, pressViewY_ = 0;
  int32_t pressIndex_ = -1, lastDragIndex_ = -1;
  bool rangeSelected_ = false;
  bool mousePressed_ = false;
  bool doubleClicked_ = false;
  bool playing_ = false;
  bool inStep_ = false;
  uint32_t playTimerInterval_ = 0;
  int32_t currentFrame_ = 0;
  TIEMDisplayMode savedDisplayMode_ = mdGrid;
  int32_t savedSelection_ = -1;
  bool loop_ = true;
};
