// Metafile import: WMF and EMF pictures drawn by the drawing layer's player into a 24-bit DIB, at
// a chosen size, and copied into the working bitmap; with alpha, what the picture leaves unpainted
// becomes transparent.
#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_dibbitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/io_threads.h"
#include "imaging/io/zodazur_io.h"
#include "platform/gdi/metafile.h"
#include "platform/system/streams.h"

namespace {

// Fills every pixel of a 24-bit DIB with one colour (blue, green, red bytes).
void FillDib(TIEDibbitmap& dib, uint32_t rgb) {
  const uint8_t b = rgb & 0xFF, g = (rgb >> 8) & 0xFF, r = (rgb >> 16) & 0xFF;
  for (int32_t y = 0; y < dib.Height(); ++y) {
    auto* row = static_cast<uint8_t*>(dib.GetRow(y));
    for (int32_t x = 0; x < dib.Width(); ++x) {
      row[x * 3] = b;
      row[x * 3 + 1] = g;
      row[x * 3 + 2] = r;
    }
  }
}

// Draws the metafile on the DIB filled with a key colour and marks in `keyed` the pixels that still
// hold it (keyed is and-ed: a pixel stays marked only while every pass leaves its key).
void KeyPass(TIEDibbitmap& dib, const TMetafile& metafile, uint32_t keyRgb, std::vector<uint8_t>& keyed) {
  FillDib(dib, keyRgb);
  const std::vector<uint8_t>& data = metafile.Data();
  PlayMetafile(dib.DC(), data.data(), data.size(), TRect{0, 0, dib.Width(), dib.Height()});
  const uint8_t b = keyRgb & 0xFF, g = (keyRgb >> 8) & 0xFF, r = (keyRgb >> 16) & 0xFF;
  for (int32_t y = 0; y < dib.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(dib.GetRow(y));
    uint8_t* k = keyed.data() + static_cast<size_t>(y) * dib.Width();
    for (int32_t x = 0; x < dib.Width(); ++x)
      k[x] &= row[x * 3] == b && row[x * 3 + 1] == g && row[x * 3 + 2] == r;
  }
}

}  // namespace

void TZodazUrIO::ImportMetafile(TMetafile& Metafile, int32_t Width, int32_t Height, bool WithAlpha) {
  SetAborting(false);
  const int64_t mw = Metafile.Width(), mh = Metafile.Height();
  if (mw <= 0 || mh <= 0) {
    SetAborting(true);
    return;
  }
  if (Width == 0 || Height == 0 || !workBitmap_) return;
  params_->ResetInfo();

  // The size, in 64 bits; each side at least 1.
  int64_t w = mw, h = mh;
  if (Width > 0 && Height > 0) {
    w = Width, h = Height;
  } else if (Width < 0 && Height > 0) {
    w = int64_t{Height} * mw / mh, h = Height;
  } else if (Height < 0 && Width > 0) {
    h = mh * Width / mw, w = Width;
  }
  w = std::max<int64_t>(w, 1), h = std::max<int64_t>(h, 1);
  const int64_t m = std::max(MetafileMaxSize, 1);
  if (w > m || h > m) {
    if (h > w) {
      w = std::max<int64_t>(w * m / h, 1), h = m;
    } else {
      h = std::max<int64_t>(h * m / w, 1), w = m;
    }
  }
  Metafile.SetWidth(static_cast<int32_t>(w));
  Metafile.SetHeight(static_cast<int32_t>(h));

  TIEDibbitmap dib;
  if (!dib.AllocateBits(Metafile.Width(), Metafile.Height(), 24)) {
    SetAborting(true);
    return;
  }
  const int32_t bw = dib.Width(), bh = dib.Height();
  TIOParamsVals& p = *params_;
  p.FileName.clear();
  p.FileType = Metafile.Enhanced() ? fmtEMF : fmtWMF;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 3;
  p.Width = p.OriginalWidth = bw;
  p.Height = p.OriginalHeight = bh;
  p.SetDpiX(DefaultDPIX);
  p.SetDpiY(DefaultDPIY);
  p.FreeColorMap();
  UpdateViewDPI();

  const TColor background = Background();
  const TIERGB bg = TColorToRGB(background);
  FillDib(dib, uint32_t{bg.r} << 16 | uint32_t{bg.g} << 8 | bg.b);
  const std::vector<uint8_t>& data = Metafile.Data();
  PlayMetafile(dib.DC(), data.data(), data.size(), TRect{0, 0, bw, bh});
  if (!workBitmap_->Allocate(bw, bh, ie24RGB)) {
    SetAborting(true);
    return;
  }
  workBitmap_->RemoveAlphaChannel(false);
  for (int32_t y = 0; y < bh; ++y)
    std::memcpy(workBitmap_->GetRow(y), dib.GetRow(y), static_cast<size_t>(bw) * 3);

  if (WithAlpha) {
    // A pixel is transparent only where the picture leaves two different keys alone: one pass
    // alone would take the picture's own pixels of that colour for background.
    std::vector<uint8_t> keyed(static_cast<size_t>(bw) * bh, 1);
    KeyPass(dib, Metafile, 0x030201, keyed);  // the colour value 0x010203: red 3, green 2, blue 1
    KeyPass(dib, Metafile, 0xFCFDFE, keyed);
    TIEBitmap* alpha = workBitmap_->GetAlphaChannel();
    if (alpha) {
      for (int32_t y = 0; y < bh; ++y) {
        auto* row = static_cast<uint8_t*>(alpha->GetRow(y));
        const uint8_t* k = keyed.data() + static_cast<size_t>(y) * bw;
        for (int32_t x = 0; x < bw; ++x) row[x] = k[x] ? 0 : 255;
      }
      alpha->SyncFull();
    }
  }
  UpdateAttached();
}

void TZodazUrIO::ImportMetafileFromFile(const std::string& FileName, int32_t Width, int32_t Height, bool WithAlpha) {
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateMetafileCall(this, &TZodazUrIO::ImportMetafileFromFile, FileName, Width, Height, WithAlpha);
    return;
  }
  try {
    TMetafile metafile;
    {
      TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
      metafile.LoadFromStream(file);
    }
    ImportMetafile(metafile, Width, Height, WithAlpha);
  } catch (const std::exception&) {
    // Not a metafile, or no such file.
    SetAborting(true);
  }
  params_->FileName = FileName;
  DoFinishWork();
}

void TZodazUrIO::ImportMetafileFromStream(TStream& Stream, int32_t Width, int32_t Height, bool WithAlpha) {
  try {
    TMetafile metafile;
    metafile.LoadFromStream(Stream);
    ImportMetafile(metafile, Width, Height, WithAlpha);
  } catch (const std::exception&) {
    SetAborting(true);
  }
  params_->FileName.clear();
  DoFinishWork();
}

void TZodazUrIO::ReadMetafileParams(TStream& Stream) {
  TMetafile metafile;
  try {
    metafile.LoadFromStream(Stream);
  } catch (const std::exception&) {
    SetAborting(true);
    return;
  }
  TIOParamsVals& p = *params_;
  p.FileName.clear();
  p.FileType = metafile.Enhanced() ? fmtEMF : fmtWMF;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 3;
  p.Width = p.OriginalWidth = metafile.Width();
  p.Height = p.OriginalHeight = metafile.Height();
  p.SetDpiX(DefaultDPIX);
  p.SetDpiY(DefaultDPIY);
  p.FreeColorMap();
}
