#pragma once
// The framework's pictures: TGraphic, the base every picture class derives from, and TBitmap,
// the framework bitmap with its pixel formats, palette, scan lines and canvas.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/clipboard_formats.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/pixel_format.h"

class TStream;

// The stages of a long operation a picture reports through OnProgress.
enum TProgressStage : uint8_t { psStarting, psRunning, psEnding };
// Sender, stage, percent done, whether the picture should be redrawn now (R is the part that
// changed, empty for all of it), and a text naming the operation.
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

// An abstract picture that can draw itself on a canvas and load and save itself in a stream.
class TGraphic : public TPersistent {
 public:
  TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  virtual bool Empty() const = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual void SetWidth(int32_t width) = 0;
  virtual void SetHeight(int32_t height) = 0;
  virtual void SetSize(int32_t width, int32_t height);
  virtual bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);
  bool Modified() const { return modified_; }
  void SetModified(bool value);
  // Set by a picture whose palette changed, so that whoever shows it realises the new one.
  bool PaletteModified() const { return paletteModified_; }
  void SetPaletteModified(bool value) { paletteModified_ = value; }
  virtual HPALETTE Palette() { return nullptr; }
  virtual void SetPalette(HPALETTE) {}

  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  // Reads or writes a file by UTF-8 name (raising the stream errors of platform/system).
  virtual void LoadFromFile(const std::string& fileName);
  virtual void SaveToFile(const std::string& fileName);
  // Takes the picture from clipboard data of a format (the data and palette stay the caller's), or
  // gives clipboard data of the picture (the data and palette, null when there is none, become the
  // caller's). A class that has no clipboard form raises EInvalidGraphic "Unsupported clipboard
  // format", as a format the class cannot read does.
  virtual void LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE palette);
  virtual void SaveToClipboardFormat(uint32_t& format, HANDLE& data, HPALETTE& palette);

  // Draws the picture into rect of the canvas (stretched to it). Called by TCanvas::Draw and
  // TCanvas::StretchDraw.
  virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
  // Draws with an opacity (255 opaque); the default draws opaque.
  virtual void DrawTransparent(TCanvas* canvas, const TRect& rect, uint8_t opacity);

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  // Marks the picture modified and fires OnChange.
  virtual void Changed();
  // A picture that knows no better way into a bitmap draws itself onto one of its size (on white);
  // other destinations get the framework's error.
  void AssignTo(TPersistent* dest) override;
  // Hands a progress report to OnProgress when it is assigned.
  virtual void Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg);

 private:
  bool transparent_ = false;
  bool modified_ = false;
  bool paletteModified_ = false;
};

enum TBitmapHandleType : uint8_t { bmDIB, bmDDB };
enum TTransparentMode : uint8_t { tmAuto, tmFixed };

class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int32_t width, int32_t height);
  ~TBitmap() override;

  bool Empty() const override;
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  void SetWidth(int32_t width) override { SetSize(width, height_); }
  void SetHeight(int32_t height) override { SetSize(width_, height); }
  // Changes the size keeping the content at the top left; new pixels take the canvas's brush
  // colour (white by default). Raises EOutOfResources when the pixels cannot be allocated.
  void SetSize(int32_t width, int32_t height) override;

  // The bits per pixel as the framework names them; a device-dependent bitmap reports pfDevice
  // (device bitmaps hold 32 bits here). Changing the format converts the pixels; formats of 8
  // bits and fewer get the default colour table (black and white, the 16 VGA colours, the
  // halftone palette) unless the bitmap already had one of that size.
  TPixelFormat PixelFormat() const;
  void SetPixelFormat(TPixelFormat format);
  // Monochrome: one bit per pixel. Setting it makes a monochrome device bitmap (black and white),
  // clearing it a device bitmap.
  bool Monochrome() const;
  void SetMonochrome(bool value);
  TBitmapHandleType HandleType() const { return handleType_; }
  void SetHandleType(TBitmapHandleType type);

  // Row y of the pixels, y = 0 the top row (the framework's order). The bytes follow the DIB
  // layout of the pixel format: 1 and 4 bits the leftmost pixel in the high bits, 15 bits
  // x-R5-G5-B5, 16 bits R5-G6-B5, 24 bits B, G, R, 32 bits B, G, R, X; rows padded to 4 bytes.
  // Rows are stored bottom-up as in a DIB, so ScanLine(y + 1) lies below ScanLine(y) in memory
  // (ScanLine(y) - RowBytes()). A device bitmap becomes a DIB first. Raises EInvalidGraphicOperation
  // "Scan line index out of range" for y outside the bitmap.
  uint8_t* ScanLine(int32_t y);
  // Bytes of one row.
  int32_t RowBytes() const;

  TCanvas* Canvas();
  HBITMAP Handle() const;
  // Takes a bitmap object as the pixels (the TBitmap owns it afterwards); null empties.
  void SetHandle(HBITMAP bitmap);
  // Gives up the bitmap object to the caller, leaving the TBitmap empty.
  HBITMAP ReleaseHandle();
  // A copy of the colour table as a palette (owned by the bitmap); null above 8 bits.
  HPALETTE Palette() override;
  // Takes the palette's entries as the colour table of a bitmap of 8 bits or fewer (the palette
  // is not kept; the caller still owns it).
  void SetPalette(HPALETTE palette) override;
  // The colour table of a bitmap of 8 bits or fewer (empty otherwise).
  std::vector<RGBQUAD> ColorTable() const;
  void SetColorTable(const RGBQUAD* colors, int32_t count);

  // With tmAuto the transparent colour is the bottom-left pixel's; tmFixed keeps the one set.
  TColor TransparentColor();
  void SetTransparentColor(TColor color);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode);

  // Reads and writes .bmp data (a BITMAPFILEHEADER and a packed DIB). A malformed stream raises
  // EInvalidGraphic "Bitmap image is not valid" and leaves the bitmap as it was.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // CF_BITMAP (a bitmap object) and CF_DIB (a global block holding a packed DIB) are read as copies;
  // saving gives CF_BITMAP with a copy of the pixels and, for 8 bits and fewer, a palette of the
  // colour table. Invalid data raises EInvalidGraphic "Bitmap image is not valid".
  void LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE palette) override;
  void SaveToClipboardFormat(uint32_t& format, HANDLE& data, HPALETTE& palette) override;
  // Loads a bitmap resource by name: one registered with RegisterBitmapResource, else the file
  // "<name>.bmp" in the program's resources folder. Raises EResNotFound "Resource %s not found".
  void LoadFromResourceName(uintptr_t instance, const std::string& name);
  // Copies a bitmap (a deep copy), empties for null, and lets any other picture assign itself (one
  // that has no way of its own draws itself onto the bitmap); anything else raises EConvertError
  // "Cannot assign a X to a TBitmap.".
  void Assign(TPersistent* source) override;
  void Draw(TCanvas* canvas, const TRect& rect) override;
  void DrawTransparent(TCanvas* canvas, const TRect& rect, uint8_t opacity) override;
  // Lets the canvas's DC go (the framework frees the DC of a bitmap not drawn on).
  void Dormant();
  void FreeImage() {}

 protected:
  void Changed() override;

 private:
  friend class TBitmapCanvas;
  void Rebuild(int32_t width, int32_t height, int32_t bitCount, bool dib, bool monoDDB,
               const std::vector<RGBQUAD>* colors);
  int32_t BitCount() const;

  int32_t width_ = 0;
  int32_t height_ = 0;
  HBITMAP bitmap_ = nullptr;
  TPixelFormat format_ = pfDevice;  // wanted format while empty
  bool monochrome_ = false;         // wanted while empty
  TBitmapHandleType handleType_ = bmDDB;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  HPALETTE palette_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
};

class EResNotFound : public Exception { using Exception::Exception; };
class EOutOfResources : public Exception { using Exception::Exception; };

// Makes bitmap data (a .bmp file image) loadable by name with LoadFromResourceName.
void RegisterBitmapResource(const std::string& name, const void* data, size_t size);
