#pragma once
// TGIFImage: the GIF picture class. A whole GIF file (87a or 89a) held as objects: the header with
// the logical screen and the global colour table, the frames with their local tables, pixels and
// extensions, and the trailer written on save. It draws one frame or plays the animation through
// painters (gif_painter.h), turns any other picture into a frame by colour reduction, and compacts
// animations. It is reached through the framework's picture registry (".gif") and the clipboard
// format "GIF Image", never by name.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pictures/gif_frame.h"
#include "pictures/gif_frame_list.h"
#include "pictures/gif_header.h"
#include "pictures/gif_image_data.h"
#include "pictures/gif_reduce.h"
#include "pictures/gif_settings.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/sync_objs.h"
#include "platform/system/threads.h"

class TGIFPainter;

// Sender, severity (always 1) and text of a problem met while reading or editing.
using TGIFWarning = std::function<void(TObject* Sender, int32_t Severity, const std::string& Message)>;

// What Compact does.
enum TGIFOptimizeOption : uint8_t {
  gofCrop = 1 << 0,         // frames cut to their non-transparent area, emptied ones dropped
  gofMerge = 1 << 1,        // pixels that repeat the previous frame become transparent
  gofCleanup = 1 << 2,      // transparency and disposal without effect and inert extensions go
  gofColorMaps = 1 << 3,    // colour tables sorted by use, unused colours dropped
  gofReduceColors = 1 << 4  // (checked against the reduction method only)
};
using TGIFOptimizeOptions = uint8_t;
constexpr TGIFOptimizeOptions gofAll = gofCrop | gofMerge | gofCleanup | gofColorMaps | gofReduceColors;

class TGIFImage : public TGraphic {
 public:
  TGIFImage();
  ~TGIFImage() override;

  // ---- The picture.
  bool Empty() const override { return images_.Count() == 0; }
  // The logical screen.
  int32_t Width() const override { return header_.ScreenWidth(); }
  int32_t Height() const override { return header_.ScreenHeight(); }
  // Every frame must fit ("Image width too small for contained frames" / "... height ...").
  void SetWidth(int32_t Value) override;
  void SetHeight(int32_t Value) override;
  // The cached bitmap's palette, else the stored one, else a new one: the web palette when
  // dithering, the global colour table, or frame 0's palette (not stored). "No global or local color
  // table defined" when asked again while it is being built.
  HPALETTE Palette() override;
  void SetPalette(HPALETTE Value) override;
  void FreePalette();

  // Reads a whole file. On failure the stream goes back to where it was and the frames read so far
  // stay.
  void LoadFromStream(TStream& Stream) override;
  // Writes a whole file; every frame's pixels are checked against its colours before the first
  // byte is written. An image without frames fails with "Unsupported GIF version".
  void SaveToStream(TStream& Stream) override;
  void Draw(TCanvas* Canvas, const TRect& Rect) override;
  // From another GIF image (its frames, header and drawing settings), a frame, or any other picture
  // (one frame by colour reduction); null empties the image.
  void Assign(TPersistent* Source) override;
  // Into a framework bitmap: the composed picture of the logical screen.
  void AssignTo(TPersistent* Dest) override;
  // GIFOptimizeOnStore's compaction, then the file into the component stream.
  void WriteData(TStream& Stream);
  // From the clipboard formats "GIF Image" (a whole file) and CF_BITMAP; data null takes the
  // clipboard's own. Other formats fail with "Unsupported clipboard format".
  void LoadFromClipboardFormat(uint32_t Format, HANDLE Data, HPALETTE Palette) override;
  // The composed picture as a framework bitmap gives it, and the whole file put on the clipboard
  // under "GIF Image" beside it ("Failed to store GIF on clipboard" when that fails). Nothing for an
  // empty image.
  void SaveToClipboardFormat(uint32_t& Format, HANDLE& Data, HPALETTE& Palette) override;

  // ---- Frames.
  TGIFHeader* Header() { return &header_; }
  TGIFImageList* Images() { return &images_; }
  TGIFGlobalColorMap* GlobalColorMap() { return header_.ColorMap(); }
  // A framework graphic becomes a new frame; a TGIFSubImage of this image is taken over as it is.
  // Returns the frame's index. Other objects fail with "Object type not supported for operation".
  int32_t AppendFrame(TPersistent* Source);
  int32_t AppendFrame(std::unique_ptr<TGIFSubImage> Frame);
  // Stops the painters and empties the image: no frames, an empty global table, a screen of 0 x 0.
  void Clear();
  // Makes the image smaller before it is saved (see TGIFOptimizeOption).
  void Compact(TGIFOptimizeOptions Options, TGIFReductionMethod ColorReduction = grmNone,
               TGIFDitherMethod DitherMethod = gdmNearestColor, int32_t ReductionBits = 8);

  // 2 when a frame needs GIF89a, 1 when none does, 0 without frames.
  int32_t Version() const;
  // The highest of the header's and the frames'.
  int32_t BitsPerPixel() const;
  int32_t ColorResolution() const;
  TColor BackgroundColor() { return header_.BackgroundColor(); }
  uint8_t BackgroundColorIndex() const { return header_.BackgroundColorIndex(); }
  // Frames are rendered dithered (gpfDither, and a palette display when gpfDitherOnPaletteDisplay).
  bool DoDither() const;

  // ---- Settings.
  TGIFPaintFlags PaintFlags() const { return paintFlags_; }
  void SetPaintFlags(TGIFPaintFlags Value) { paintFlags_ = Value; }
  TGIFReductionMethod ReductionMethod() const { return reductionMethod_; }
  void SetReductionMethod(TGIFReductionMethod Value) { reductionMethod_ = Value; }
  int32_t QuantizeBits() const { return quantizeBits_; }
  void SetQuantizeBits(int32_t Value) { quantizeBits_ = Value; }
  TGIFDitherMethod DitherMethod() const { return ditherMethod_; }
  void SetDitherMethod(TGIFDitherMethod Value) { ditherMethod_ = Value; }
  TGIFEncoding Encoding() const { return encoding_; }
  void SetEncoding(TGIFEncoding Value) { encoding_ = Value; }
  // Percent of the stored speed; 0 and below change how painters wait.
  int32_t AnimationRate() const { return animationRate_; }
  void SetAnimationRate(int32_t Value) { animationRate_ = Value; }
  // The background painters clear to; clNone: the GIF background colour.
  TColor PaintBackground() const { return paintBackground_; }
  void SetPaintBackground(TColor Value) { paintBackground_ = Value; }
  TThreadPriority PainterPriority() const { return painterPriority_; }
  void SetPainterPriority(TThreadPriority Value) { painterPriority_ = Value; }

  // ---- Events. Warnings of reading and editing; the painters' callbacks (the painter is the sender).
  TGIFWarning OnGIFWarning;
  TNotifyEvent OnPaintBegin;
  TNotifyEvent OnFrameShow;
  TNotifyEvent OnFrameShown;
  TNotifyEvent OnRepeat;
  TNotifyEvent OnPaintEnd;

  // Hands a warning to OnGIFWarning when it is assigned.
  virtual void Warning(TObject* Sender, int32_t Severity, const std::string& Message);
  // The picture's progress, reported by the image's blocks as well.
  void Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow, const TRect& R,
                const std::string& Msg) override;
  // Change notification with another sender (a frame whose palette changed).
  void Changed(TObject* Sender);
  using TGraphic::Changed;

  // ---- Painting (gif_image_draw.cpp).
  // The composed picture of the logical screen (frame 0 drawn on it), made on demand; null when the
  // image is empty.
  TBitmap* Bitmap();
  // Asks every painter to stop and waits, serving their calls into this thread, until all have
  // ended; the cached bitmap is freed.
  void StopPainting();
  // The same for the painter that serves Draw.
  void StopDrawPainter();
  // The live painters and the lock that guards them and the painter slots.
  TCriticalSection& PainterLock() { return painterLock_; }
  const std::vector<TGIFPainter*>& Painters() const { return painters_; }
  TGIFPainter* DrawPainter() const { return drawPainter_; }
  // A painter for Canvas and Rect with Flags (null for an empty image or rectangle), registered in the
  // painter list, with Slot pointing at it. A threaded one is returned to be started; an unthreaded
  // one runs to its end first (and Slot is cleared).
  TGIFPainter* CreatePainter(TCanvas* Canvas, const TRect& Rect, TGIFPaintFlags Flags, TGIFPainter** Slot);

 private:
  friend class TGIFPainter;
  void FreeBitmap();
  void DrawBitmap(TCanvas* Canvas, const TRect& Rect);
  void WaitForPainters(const std::function<bool()>& Done);
  void CompactSteps(TGIFOptimizeOptions Options, TGIFReductionMethod ColorReduction, int32_t& Step);

  bool drawing_ = false;
  bool paletteQuery_ = false;
  TGIFHeader header_;
  TGIFImageList images_;
  HPALETTE globalPalette_ = nullptr;
  TCriticalSection painterLock_;
  std::vector<TGIFPainter*> painters_;
  TGIFPaintFlags paintFlags_;
  TGIFReductionMethod reductionMethod_ = grmWeb216;
  int32_t quantizeBits_ = 8;
  TGIFDitherMethod ditherMethod_ = gdmNearestColor;
  TGIFEncoding encoding_ = genLZW;
  std::unique_ptr<TBitmap> bitmap_;
  TGIFPainter* drawPainter_ = nullptr;
  TThreadPriority painterPriority_ = tpNormal;
  int32_t animationRate_;
  TColor paintBackground_ = clNone;
};
