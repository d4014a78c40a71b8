#pragma once
// TZodazUrProc: the image processing component. It works on one image, its working bitmap, which
// it owns or borrows from what it is attached to: an image view, a picture control, a framework
// bitmap or a TIEBitmap a caller hands over. Every operation runs inside one frame: record an undo
// step, bring the image into a pixel format the operation accepts, restrict the work to the view's
// selection, report progress, merge the result back and tell the attached view. Two bounded stacks
// keep undo and redo entries: image copies, or streams of the view's selection, objects and layers.
//
// This file holds the component: attachment, the frame and the undo and redo stacks
// (zodazur_proc.cpp, zodazur_proc_undo.cpp). The operations are added by the files of their
// concern (zodazur_proc_color.cpp, zodazur_proc_effects.cpp, zodazur_proc_geometry.cpp,
// zodazur_proc_rotate.cpp, zodazur_proc_clipboard.cpp).
//
// Threads. Everything runs on the calling thread, without locks; progress handlers run inside the
// operation. Operations may spread rows over worker threads for bitmaps held in memory, with the
// same results as on one thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_defs.h"
#include "imaging/core/ie_view_link.h"
#include "imaging/core/ie_rgb.h"
#include "imaging/processing/ie_flip_turn.h"
#include "platform/system/streams.h"
#include "platform/system/classes.h"

class TBitmap;
class TFont;
class TForm;
class TIEMask;
class TImage;

// What an undo or redo entry holds. The values are stored.
enum TIEUndoSource : uint8_t {
  ieuUnknown = 0,
  ieuImage = 1,             // a copy of the working bitmap
  ieuSelection = 2,         // the view's selection record
  ieuObject = 3,            // the vector view's objects
  ieuLayer = 4,             // every layer's record, without images
  ieuFullLayer = 5,         // every layer's record, the current one with its image
  ieuObjectsAndLayers = 6,  // the layers stream, followed by the objects of a vector view
};

using TIESaveUndoEvent = std::function<void(TObject* Sender, TIEUndoSource Source)>;
using TIEPreviewEvent = std::function<void(TObject* Sender, TForm* PreviewForm)>;

// Options of the processing dialogs (a set).
using TPRPreviewsParams = uint8_t;
constexpr TPRPreviewsParams prppShowResetButton = 1;
constexpr TPRPreviewsParams prppHardReset = 2;

// The area an operation works on, from BeginImageProcessing to EndImageProcessing: the columns
// X1..X2-1 and rows Y1..Y2-1 of Bitmap, which is the working bitmap itself, or, under a
// selection, a copy of the selection's bounding box that the frame owns and frees on every path.
struct TIEProcessingArea {
  int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  TIEBitmap* Bitmap = nullptr;
  // The view's selection mask under which the copy is merged back; nil without a selection.
  TIEMask* Mask = nullptr;
  std::unique_ptr<TIEBitmap> Copy;
};

class TZodazUrProc : public TComponent {
 public:
  // AutoUndo is on when the component has an owner.
  explicit TZodazUrProc(TComponent* Owner);
  // Components without owner and without undo, working on Bitmap (not owned).
  static std::unique_ptr<TZodazUrProc> CreateFromIEBitmap(TIEBitmap* Bitmap);
  static std::unique_ptr<TZodazUrProc> CreateFromTBitmap(TBitmap* Bitmap);
  ~TZodazUrProc() override;

  // ---- Attachment ----
  TIEViewLink* AttachedZodazUr() const { return view_; }
  // Works on the view's current bitmap (a wrapper of its framework bitmap when it has no
  // TIEBitmap) and follows it through the view's bitmap-change callbacks; nil gives the component
  // a new own bitmap.
  void SetAttachedZodazUr(TIEViewLink* View);
  // Works on the picture control's bitmap through an own wrapper, read again before every
  // operation. Nil lets the control go, and with it the pixels of the wrapper only.
  TImage* AttachedTImage() const { return image_; }
  void SetAttachedTImage(TImage* Image);
  // Works directly on Bitmap (not owned). Nil while a view or picture control is attached changes
  // nothing; nil otherwise leaves the component without a working bitmap (operations do nothing).
  void AttachIEBitmap(TIEBitmap* Bitmap);
  // Works on Bitmap's pixels through an own wrapper. Nil while a view or picture control is
  // attached changes nothing.
  void AttachTBitmap(TBitmap* Bitmap);
  // Forgets the attached framework bitmap, frees an own working bitmap and takes Bitmap (not
  // owned) as the working bitmap.
  void SetWorkingBitmap(TIEBitmap* Bitmap);
  // The working bitmap (nil after attaching nil).
  TIEBitmap* IEBitmap() const { return bitmap_; }
  bool OwnsBitmap() const { return bitmap_ != nullptr && bitmap_ == own_.get(); }
  // The framework bitmap the working bitmap wraps (a picture control's, a view's, a caller's).
  TBitmap* AttachedBitmap() const { return attachedBitmap_; }
  // The view's bitmap-change callback: Destroying forgets the view without calling it; otherwise
  // the view's current bitmap is taken again.
  void BitmapChanged(TObject* Sender, bool Destroying);

  // ---- Properties ----
  bool AutoUndo() const { return autoUndo_; }
  void SetAutoUndo(bool Value) { autoUndo_ = Value; }
  // The attached view's background, else the component's own (black at first).
  TColor Background();
  void SetBackground(TColor Value);
  TMsgLanguage MsgLanguage() const { return msgLanguage_; }
  void SetMsgLanguage(TMsgLanguage Value) { msgLanguage_ = Value; }
  TPRPreviewsParams PreviewsParams() const { return previewsParams_; }
  void SetPreviewsParams(TPRPreviewsParams Value) { previewsParams_ = Value; }
  TFont* PreviewFont() const { return previewFont_.get(); }
  // Copies Font into PreviewFont.
  void SetPreviewFont(const TFont* Font);
  // A working bitmap of a format an operation does not accept is converted (on by default).
  bool AutoConvertFormat() const { return autoConvertFormat_; }
  void SetAutoConvertFormat(bool Value) { autoConvertFormat_ = Value; }
  // Where image copies of undo and redo entries keep their pixels (ieFile by default); they stay
  // there whatever their size.
  TIELocation UndoLocation() const { return undoLocation_; }
  void SetUndoLimit(int32_t Value) { undoLimit_ = Value; }
  void SetUndoLocation(TIELocation Value) { undoLocation_ = Value; }
  // Most entries per stack (1 by default); 0 or less records nothing. Lowering it trims the stacks
  // only at the next push.
  int32_t UndoLimit() const { return undoLimit_; }
  // The attached view's resolution, else DefaultDPIX and DefaultDPIY.
  int32_t GetDPIX();
  int32_t GetDPIY();

  TIEProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;
  TIESaveUndoEvent OnSaveUndo;
  TIEPreviewEvent OnPreview;

  // ---- The operation frame ----
  // True when Allowed is empty or holds the working bitmap's format; otherwise, with
  // AutoConvertFormat, converts by the preference table and answers true; false when no
  // conversion was made.
  bool CheckPixelFormat(TIEPixelFormatSet Allowed);
  // False without a working bitmap; takes a changed framework bitmap again, then CheckPixelFormat.
  bool PrepareBitmap(TIEPixelFormatSet Allowed);
  // The whole image (X2, Y2 one past the last column and row), then with a single-image view
  // attached its selection mask; true only while the view has a selection, with the area made
  // the mask's bounding box when the mask is not empty, and the view's selection polygon.
  virtual bool GetSelectedArea(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2, const TPoint*& Poly,
                               int32_t& PolyCount, TIEMask*& Mask);
  // The prologue: an undo step captioned UndoCaption (with AutoUndo, before any conversion, and
  // only when the operation can run), PrepareBitmap, and the area: the whole working bitmap, or
  // under a non-empty selection a copy of its bounding box in the working bitmap's format (alpha
  // channel included). False when the operation cannot run; nothing was done then.
  bool BeginImageProcessing(TIEPixelFormatSet Allowed, const std::string& UndoCaption, TIEProcessingArea& Area);
  // The epilogue: merges a box copy back through the mask (an 8-bit mask blends), its alpha
  // channel too when that is not full, frees the copy, then Update.
  void EndImageProcessing(TIEProcessingArea& Area);
  // After any change: an attached framework bitmap loses the working bitmap's alpha channel; then
  // the view updates and fires its image change, or the framework bitmap is marked modified.
  void Update();
  // OnProgress with 100, then OnFinishWork, each when assigned.
  virtual void DoFinishWork();
  // Runs Row for each row Y1..Y2-1 of the area, spread over worker threads for bitmaps held in
  // memory, and reports per-row progress on the calling thread: after the row Y, Trunc((Y - Y1 +
  // 1) * 100 / (LastRow - Y1 + 0.5)), LastRow = min(Y2, height) - 1, never above 100. Row must
  // touch only row Y of Area.Bitmap.
  void ForEachAreaRow(TIEProcessingArea& Area, const std::function<void(int32_t Y)>& Row);

  // ---- Undo and redo (positions count from the newest entry, 0) ----
  virtual bool CanUndo() const { return !undo_.empty(); }
  virtual bool CanRedo() const { return !redo_.empty(); }
  virtual int32_t UndoCount() const { return static_cast<int32_t>(undo_.size()); }
  virtual int32_t RedoCount() const { return static_cast<int32_t>(redo_.size()); }
  // Empty out of range.
  virtual std::string GetRedoCaption(int32_t Position) const;
  virtual std::string GetUndoCaption(int32_t Position) const;
  // Pushes an entry of that kind (see TIEUndoSource), then fires OnSaveUndo, also when no entry
  // could be made. Nothing at all with UndoLimit 0 or less, or when an image entry finds no
  // working bitmap.
  virtual void SaveUndo(TIEUndoSource Source = ieuImage);
  // Nothing for a working bitmap missing or narrower or lower than 2 pixels; else SaveUndo, and
  // the entry made gets Caption.
  virtual void SaveUndoCaptioned(const std::string& Caption, TIEUndoSource Source = ieuImage);
  // Frees the newest entry.
  virtual void ClearUndo();
  virtual void ClearAllUndo();
  // Restores the newest entry (with SaveRedo a redo entry of its kind first); the entry stays.
  virtual void Undo(bool SaveRedo = false);
  virtual void UndoAt(int32_t Position, bool SaveRedo = false);
  // As SaveUndo and SaveUndoCaptioned, for the redo stack and without OnSaveUndo.
  virtual void SaveRedo(TIEUndoSource Source = ieuImage);
  virtual void SaveRedoCaptioned(const std::string& Caption, TIEUndoSource Source = ieuImage);
  virtual void ClearAllRedo();
  virtual void ClearRedo();
  // Restores a redo entry; no undo entry is saved and the entry stays.
  virtual void Redo();
  virtual void RedoAt(int32_t Position);
  // Frees the undo entry at Position (nothing out of range).
  void ClearUndoAt(int32_t Position);
  // The kind of the undo entry at Index counted from the oldest (0); ieuUnknown out of range.
  TIEUndoSource UndoSourceAt(int32_t Index) const;

  // ---- Colour operations (zodazur_proc_color.cpp) ----
  // Hue in degrees, saturation and lightness in percent added to every pixel (ie24RGB).
  void HSLvar(int32_t Hue, int32_t Sat, int32_t Lum);
  // The same in the integer HSV model (hue 0..359, saturation and value 0..99).
  void HSVvar(int32_t Hue, int32_t Sat, int32_t Val);
  // Each channel spread around its mean over the whole image by 1 + C / 10 (C >= 0) or
  // 1 - sqrt(-C) / 10 (ie24RGB).
  void Contrast(double Contrast);
  // The offsets added to the three channels, clamped to 0..255 (ie24RGB).
  void IntensityRGBall(int32_t R, int32_t G, int32_t B);
  // Every pixel its grey level in all three channels (ie24RGB).
  void ConvertToGray();
  // Histogram equalisation with neighbourhood tie-breaking (ie24RGB).
  void HistAutoEqualize();
  // Inverts every format (ie8p through its palette, so under a selection it is made ie24RGB).
  void Negative();
  // Fills the area with Color in the working bitmap's format (ie8p is made ie24RGB under a
  // selection).
  void Fill(TIERGB Color);
  // Channel number Channel (24-bit 0 blue, 1 green, 2 red; 48-bit 0 red, 1 green, 2 blue) takes
  // the value at (X - DX, Y - DY); outside the image Fill, or the nearest edge for a negative Fill
  // (ie24RGB, ieRGB48). Nothing for a Channel outside 0..2.
  void ShiftChannel(int32_t DX, int32_t DY, int32_t Channel, int32_t Fill);

  // ---- Geometry (zodazur_proc_geometry.cpp) ----
  // These work on the whole working bitmap (any format), its alpha channel along; selections count
  // only for CropSel. When the memory for the new pixels cannot be had the image stays as it was.
  // Mirrors the image (undo caption "Flip").
  void Flip(TIEFlipDirection Direction);
  // The canvas made NewWidth x NewHeight, the image placed by the alignments (0 left or top, 1
  // centre, 2 right or bottom), the new area Background and alpha FillAlpha (an alpha channel is made
  // for FillAlpha below 255). Nothing for a size of 0 or less or the current size. Undo caption
  // "ImageResize W,H".
  void ImageResize(int32_t NewWidth, int32_t NewHeight, uint8_t HorizAlign, uint8_t VertAlign, int32_t FillAlpha);
  // Resamples the image to NewWidth x NewHeight (see ResampleTo for -1 and 0) with Filter; undo
  // caption "Resample W, H". OnFinishWork fires twice, the first time from ResampleTo.
  void Resample(int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter);
  // Dest becomes the image resampled, in its pixel format: a size of -1 keeps the aspect ratio from
  // the other one, 0 keeps the size, another value counts by its magnitude, at least 1. Nothing when
  // both sizes are negative or the image is empty.
  void ResampleTo(TIEBitmap& Dest, int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter);
  // The image filled with Background (undo caption "Clear").
  void Clear();
  // Keeps the inclusive rectangle, clipped to the image (undo caption "Crop X1, Y1, X2, Y2"); a
  // rectangle that is reversed, wholly outside or the whole image changes nothing and records no
  // undo step.
  void Crop(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  // Crop with Right and Bottom inclusive.
  void CropToRect(const TRect& Rect);
  // Under a selection: with ToAlpha the alpha channel becomes the mask (255 selected, 0 not; 8-bit
  // masks their values), else the image becomes the mask's box with the unselected pixels
  // transparent and Background (an alpha channel left fully opaque is removed). Undo caption
  // "CropSel", recorded first.
  void CropSel(bool ToAlpha);
  // Crops to the part whose alpha is not 0, without undo step; nothing without alpha channel or
  // when every pixel is transparent.
  void CropTransparency();

  // ---- Rotation (zodazur_proc_rotate.cpp) ----
  // Rotates the image and its alpha channel by Angle degrees (counter-clockwise on screen) on
  // BackgroundColor (-1: Background); the alpha channel gets 0 where the background shows. Without
  // AntiAlias, and for formats other than ie24RGB and ie1g, by nearest pixels; with AntiAlias, a
  // non-zero AntialiasMode (1 bilinear, 2 bicubic) and an ie24RGB image by inverse mapping, unless
  // the angle is a multiple of 90; otherwise by three shears (ie1g by the truncated mapping). Undo
  // caption "Rotate %f". Nothing for Angle 0.
  void Rotate(double Angle, bool AntiAlias, uint8_t AntialiasMode, TColor BackgroundColor);

  // ---- Clipboard and colour reduction (zodazur_proc_clipboard.cpp) ----
  // The whole image on the clipboard as CF_DIB at the component's resolution and, WithRaw, in the
  // raw format too (when the start-up registered it). True when the DIB was placed.
  bool CopyToClipboard(bool WithRaw);
  // The selection (unselected pixels Background, or the selection's box without a mask) as CF_DIB
  // and, WithRaw, in the raw format; without a selection CopyToClipboard.
  bool CopySelectionToClipboard(bool WithRaw);
  // Replaces the image by the first clipboard format that reads as one: the raw format, "PNG",
  // CF_DIB, an enhanced metafile. Only a read that succeeds records the undo step
  // "PasteFromClipboard" and replaces the image; with nothing usable nothing changes.
  void PasteFromClipboard();
  // Reduces the image to NColors colours: below 3 black and white (1-bit; Threshold at the mean
  // grey, else ordered dithering), up to 1024 the colours of a quantizer's palette (ie24RGB kept),
  // above 1024 nothing. Undo caption "ConvertTo N", recorded before any conversion to ie24RGB.
  void ConvertTo(int32_t NColors, bool Threshold);
  // The same (undo caption "ConvertToPalette"); Palette receives the palette: NColors entries, or
  // black and white for fewer than 3. Nothing for NColors of 0 or less.
  void ConvertToPalette(int32_t NColors, std::vector<TIERGB>& Palette, bool Threshold);

  // ---- Effects (zodazur_proc_effects.cpp) ----
  // A soft drop shadow of the whole image through its alpha channel (AddSoftShadowToBitmap), the
  // canvas enlarged first with Enlarge.
  void AddSoftShadow(double Radius, int32_t OffsetX, int32_t OffsetY, bool Enlarge, TColor ShadowColor,
                     int32_t Intensity);

 protected:
  void Notification(TComponent* Component, TOperation Operation) override;

 private:
  // One entry of a stack.
  struct TUndoEntry {
    TIEUndoSource Source = ieuUnknown;
    std::string Caption;
    // ieuImage: the copy and the layer that was current (-1 without a single-image view).
    std::unique_ptr<TIEBitmap> Image;
    int32_t Layer = -1;
    // The other kinds: what the view wrote.
    std::unique_ptr<TMemoryStream> Stream;
  };
  using TUndoStack = std::vector<std::unique_ptr<TUndoEntry>>;
  enum class TPush { Stop, None, Made };

  void NewOwnBitmap();
  // ConvertTo and ConvertToPalette: Palette, when given, receives the palette.
  void ReduceColors(int32_t NColors, bool Threshold, const std::string& Caption, std::vector<TIERGB>* Palette);
  // ResampleTo's work: false when nothing was made (Dest then not filled).
  bool ResampleInto(TIEBitmap& Dest, int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter);
  // Forgets the view: unregisters (unless it is going away) and drops its free notification.
  void DetachView(bool ViewGoingAway);
  void DetachImage();
  // Takes the view's current bitmap, or a wrapper of its framework bitmap.
  void TakeViewBitmap();
  // Makes sure the working bitmap is an own one (never re-pointing a borrowed bitmap) and wraps
  // Bitmap in it.
  void WrapInOwnBitmap(TBitmap* Bitmap);
  // Whether an operation accepting Allowed can run on the working bitmap (conversion included).
  bool CanPrepare(TIEPixelFormatSet Allowed);
  bool HasSelection();
  TIEUndoSource SourceOf(const TUndoEntry& Entry) const;
  TPush Push(TUndoStack& Stack, TIEUndoSource Source);
  std::unique_ptr<TUndoEntry> MakeEntry(TIEUndoSource Source, TPush& Result);
  void SaveCaptioned(TUndoStack& Stack, const std::string& Caption, TIEUndoSource Source, bool Undo);
  void Restore(TUndoEntry& Entry);
  void RestoreLayers(TMemoryStream& Stream);
  void ClearAt(TUndoStack& Stack, int32_t Position);
  std::string CaptionAt(const TUndoStack& Stack, int32_t Position) const;

  bool autoUndo_ = false;
  TIEViewLink* view_ = nullptr;
  TComponent* viewControl_ = nullptr;  // the view's control, compared when components go away
  TIEBitmapChangeHandle viewHandle_ = nullptr;
  TColor background_ = 0;
  TMsgLanguage msgLanguage_ = msSystem;
  TPRPreviewsParams previewsParams_ = prppShowResetButton | prppHardReset;
  std::unique_ptr<TFont> previewFont_;
  TImage* image_ = nullptr;
  std::unique_ptr<TIEBitmap> own_;
  TIEBitmap* bitmap_ = nullptr;
  bool autoConvertFormat_ = true;
  TUndoStack undo_;
  TUndoStack redo_;
  TIELocation undoLocation_ = ieFile;
  int32_t undoLimit_ = 1;
  TBitmap* attachedBitmap_ = nullptr;
};

// The clipboard format of the raw bitmap stream ("ZODAZUR RAW FORMAT"); 0 until the start-up has
// registered it, and then the raw format is neither put on nor read from the clipboard.
extern uint32_t ClipboardRawFormat;

// The processing unit's start-up and shut-down steps: the one-bit expansion table and the filter
// presets (both hold their values from program start; the steps leave them so), and the
// registration of the raw clipboard format. The engine's start-up runs them (step 7).
void InitializeZodazUrProc();
void FinalizeZodazUrProc();
