// TIEMask: copying pixels and alpha through the mask.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_mask.h"

namespace {

// The part of the mask's box that a masked copy walks, in mask coordinates, with the offsets
// that turn a mask point into a source and a destination point. Clipped to the mask and to both
// bitmaps, whatever the AtBox flags.
struct TMaskedRange {
  int32_t X1, Y1, X2, Y2;
  int32_t SrcOffX, SrcOffY, DstOffX, DstOffY;
  bool Empty() const { return X2 < X1 || Y2 < Y1; }
};

TMaskedRange RangeFor(const TIEMask& Mask, int32_t SrcW, int32_t SrcH, int32_t DstW, int32_t DstH,
                      bool DestAtBox, bool SourceAtBox) {
  TMaskedRange r{};
  r.SrcOffX = SourceAtBox ? Mask.X1() : 0;
  r.SrcOffY = SourceAtBox ? Mask.Y1() : 0;
  r.DstOffX = DestAtBox ? Mask.X1() : 0;
  r.DstOffY = DestAtBox ? Mask.Y1() : 0;
  // Mask point x reads source x - SrcOffX and writes destination x - DstOffX.
  const auto lo = [](int64_t a, int64_t b, int64_t c) { return static_cast<int32_t>(std::max({a, b, c})); };
  const auto hi = [](int64_t a, int64_t b, int64_t c, int64_t d) {
    return static_cast<int32_t>(std::clamp<int64_t>(std::min({a, b, c, d}), -1, 2147483647));
  };
  r.X1 = lo(Mask.X1(), r.SrcOffX, r.DstOffX);
  r.Y1 = lo(Mask.Y1(), r.SrcOffY, r.DstOffY);
  r.X2 = hi(Mask.X2(), Mask.Width() - 1, int64_t{SrcW} - 1 + r.SrcOffX, int64_t{DstW} - 1 + r.DstOffX);
  r.Y2 = hi(Mask.Y2(), Mask.Height() - 1, int64_t{SrcH} - 1 + r.SrcOffY, int64_t{DstH} - 1 + r.DstOffY);
  if (Mask.IsEmpty()) r.X2 = r.X1 - 1;
  return r;
}

// ---- 1-bit mask: copy the selected pixels ----

// Count pixels of Bpp bytes where the mask bits from MaskX on are set. Whole mask bytes of 0 or
// 255 are skipped or copied in one go.
void CopySelectedBytes(const uint8_t* Mask, int32_t MaskX, const uint8_t* Src, uint8_t* Dst, int32_t Count,
                       int32_t Bpp) {
  int32_t i = 0;
  while (i < Count) {
    const int32_t mx = MaskX + i;
    if ((mx & 7) == 0 && Count - i >= 8) {
      const uint8_t m = Mask[mx >> 3];
      if (m == 0) {
        i += 8;
        continue;
      }
      if (m == 0xFF) {
        std::memcpy(Dst + static_cast<int64_t>(i) * Bpp, Src + static_cast<int64_t>(i) * Bpp,
                    static_cast<size_t>(8 * Bpp));
        i += 8;
        continue;
      }
    }
    if (GetRowBit(Mask, mx))
      std::memcpy(Dst + static_cast<int64_t>(i) * Bpp, Src + static_cast<int64_t>(i) * Bpp, static_cast<size_t>(Bpp));
    ++i;
  }
}

void CopySelectedBits(const uint8_t* Mask, int32_t MaskX, const uint8_t* Src, int32_t SrcX, uint8_t* Dst,
                      int32_t DstX, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i)
    if (GetRowBit(Mask, MaskX + i)) SetRowBit(Dst, DstX + i, GetRowBit(Src, SrcX + i));
}

// ---- 8-bit mask: blend by the mask value ----

// d + ((s - d) * m) div 256 rounded toward minus infinity, with 255 counted as 256 so that a
// fully selected pixel is exactly the source (and 0 leaves the destination).
inline uint8_t BlendByMask(int32_t s, int32_t d, int32_t w) { return static_cast<uint8_t>(d + (((s - d) * w) >> 8)); }

template <int Bpp>
void BlendBytes(const uint8_t* Mask, const uint8_t* Src, uint8_t* Dst, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i) {
    const int32_t m = Mask[i];
    const int32_t w = m + (m == 255);
    for (int32_t c = 0; c < Bpp; ++c) Dst[i * Bpp + c] = BlendByMask(Src[i * Bpp + c], Dst[i * Bpp + c], w);
  }
}

// Samples of 16 bits (ie16g, ieRGB48), Channels per pixel, by the same rule.
void BlendWords(const uint8_t* Mask, const uint8_t* Src, uint8_t* Dst, int32_t Count, int32_t Channels) {
  for (int32_t i = 0; i < Count; ++i) {
    const int32_t m = Mask[i];
    if (m == 0) continue;
    const int32_t w = m + (m == 255);
    for (int32_t c = 0; c < Channels; ++c) {
      const size_t at = (static_cast<size_t>(i) * Channels + c) * 2;
      uint16_t s, d;
      std::memcpy(&s, Src + at, 2);
      std::memcpy(&d, Dst + at, 2);
      d = static_cast<uint16_t>(d + (((s - d) * w) >> 8));
      std::memcpy(Dst + at, &d, 2);
    }
  }
}

// ie32f: d + (s - d) * m / 256, the full mask exactly the source.
void BlendFloats(const uint8_t* Mask, const uint8_t* Src, uint8_t* Dst, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i) {
    const int32_t m = Mask[i];
    if (m == 0) continue;
    float s, d;
    std::memcpy(&s, Src + 4 * static_cast<size_t>(i), 4);
    std::memcpy(&d, Dst + 4 * static_cast<size_t>(i), 4);
    d = m == 255 ? s : d + (s - d) * static_cast<float>(m) / 256.0f;
    std::memcpy(Dst + 4 * static_cast<size_t>(i), &d, 4);
  }
}

// ieCIELab: L is unsigned, a and b are signed bytes.
void BlendLab(const uint8_t* Mask, const uint8_t* Src, uint8_t* Dst, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i) {
    const int32_t m = Mask[i];
    const int32_t w = m + (m == 255);
    const uint8_t* s = Src + 3 * static_cast<size_t>(i);
    uint8_t* d = Dst + 3 * static_cast<size_t>(i);
    d[0] = BlendByMask(s[0], d[0], w);
    for (int c = 1; c < 3; ++c) {
      const int32_t sv = static_cast<int8_t>(s[c]), dv = static_cast<int8_t>(d[c]);
      d[c] = static_cast<uint8_t>(static_cast<int8_t>(dv + (((sv - dv) * w) >> 8)));
    }
  }
}

void CopyBitsWhereNonZero(const uint8_t* Mask, const uint8_t* Src, int32_t SrcX, uint8_t* Dst, int32_t DstX,
                          int32_t Count) {
  for (int32_t i = 0; i < Count; ++i)
    if (Mask[i]) SetRowBit(Dst, DstX + i, GetRowBit(Src, SrcX + i));
}

}  // namespace

void TIEMask::MaskedCopy(TIEBitmap& Dest, TIEBitmap& Source, bool DestAtBox, bool SourceAtBox, bool CopyAlpha) {
  if (HasValidDepth() && !IsEmpty() && !Dest.IsEmpty() && !Source.IsEmpty()) {
    const TIEPixelFormat format = Dest.PixelFormat();
    // Every pixel format copies under a 1-bit mask. Under an 8-bit mask every sample blends by
    // the mask value (255 exactly the source, 0 exactly the destination), ie8p blends its indices,
    // and ie1g copies where the mask is not 0.
    const TMaskedRange r = RangeFor(*this, Source.Width(), Source.Height(), Dest.Width(), Dest.Height(), DestAtBox,
                                    SourceAtBox);
    if (format == Source.PixelFormat() && format != ieNoFormat && !r.Empty()) {
      const bool self = &Dest == &Source;
      const int32_t bpp = IEBytesPerPixel[format];
      const int32_t count = r.X2 - r.X1 + 1;
      const int32_t sx = r.X1 - r.SrcOffX;
      const int32_t dx = r.X1 - r.DstOffX;
      std::vector<uint8_t> scratch;  // the source row when both rows belong to one bitmap
      TIERowAccessScope readOnly(Source, self ? Source.RowAccess() : iraRead);
      for (int32_t y = r.Y1; y <= r.Y2; ++y) {
        const uint8_t* m = GetRow(y);
        const uint8_t* src = Source.Row<uint8_t>(y - r.SrcOffY);
        if (self) {
          scratch.assign(src, src + Source.RowLen());
          src = scratch.data();
        }
        uint8_t* dst = Dest.Row<uint8_t>(y - r.DstOffY);
        if (bitsPerPixel_ == 1) {
          if (format == ie1g)
            CopySelectedBits(m, r.X1, src, sx, dst, dx, count);
          else
            CopySelectedBytes(m, r.X1, src + static_cast<int64_t>(sx) * bpp, dst + static_cast<int64_t>(dx) * bpp,
                              count, bpp);
        } else {
          const uint8_t* mm = m + r.X1;
          switch (format) {
            case ie1g: CopyBitsWhereNonZero(mm, src, sx, dst, dx, count); break;
            case ie8g:
            case ie8p: BlendBytes<1>(mm, src + sx, dst + dx, count); break;
            case ie24RGB: BlendBytes<3>(mm, src + 3 * int64_t{sx}, dst + 3 * int64_t{dx}, count); break;
            case ie32RGB:
            case ieCMYK: BlendBytes<4>(mm, src + 4 * int64_t{sx}, dst + 4 * int64_t{dx}, count); break;
            case ie16g: BlendWords(mm, src + 2 * int64_t{sx}, dst + 2 * int64_t{dx}, count, 1); break;
            case ieRGB48: BlendWords(mm, src + 6 * int64_t{sx}, dst + 6 * int64_t{dx}, count, 3); break;
            case ie32f: BlendFloats(mm, src + 4 * int64_t{sx}, dst + 4 * int64_t{dx}, count); break;
            case ieCIELab: BlendLab(mm, src + 3 * int64_t{sx}, dst + 3 * int64_t{dx}, count); break;
            default: break;
          }
        }
      }
    }
  }
  if (CopyAlpha) MaskedCopyAlpha(Dest, Source, DestAtBox, SourceAtBox);
}

void TIEMask::MaskedCopyAlpha(TIEBitmap& Dest, TIEBitmap& Source, bool DestAtBox, bool SourceAtBox) {
  if (!HasValidDepth() || IsEmpty() || Dest.IsEmpty() || Source.IsEmpty()) return;
  TIEBitmap* srcAlpha = Source.HasAlphaChannel() ? Source.GetAlphaChannel() : nullptr;
  int32_t srcW = Source.Width(), srcH = Source.Height();
  if (srcAlpha) {
    srcW = std::min(srcW, srcAlpha->Width());
    srcH = std::min(srcH, srcAlpha->Height());
  }
  TMaskedRange r = RangeFor(*this, srcW, srcH, Dest.Width(), Dest.Height(), DestAtBox, SourceAtBox);
  if (r.Empty()) return;
  TIEBitmap* dstAlpha = Dest.GetAlphaChannel();
  if (!dstAlpha || dstAlpha->IsEmpty()) return;
  // An alpha channel of another size than its bitmap: only the part both share.
  r.X2 = std::min(r.X2, dstAlpha->Width() - 1 + r.DstOffX);
  r.Y2 = std::min(r.Y2, dstAlpha->Height() - 1 + r.DstOffY);
  if (r.Empty()) return;

  const bool self = srcAlpha == dstAlpha;
  const int32_t count = r.X2 - r.X1 + 1;
  std::vector<uint8_t> opaque(srcAlpha ? 0 : static_cast<size_t>(count), 255);
  std::vector<uint8_t> scratch;
  TIERowAccessScope readOnly(srcAlpha ? *srcAlpha : Source, self ? dstAlpha->RowAccess() : iraRead);
  for (int32_t y = r.Y1; y <= r.Y2; ++y) {
    const uint8_t* m = GetRow(y);
    const uint8_t* sa = opaque.data();
    if (srcAlpha) {
      sa = srcAlpha->Row<uint8_t>(y - r.SrcOffY) + (r.X1 - r.SrcOffX);
      if (self) {
        scratch.assign(sa, sa + count);
        sa = scratch.data();
      }
    }
    uint8_t* da = dstAlpha->Row<uint8_t>(y - r.DstOffY) + (r.X1 - r.DstOffX);
    if (bitsPerPixel_ == 1) {
      for (int32_t i = 0; i < count; ++i) da[i] = GetRowBit(m, r.X1 + i) ? sa[i] : 0;
    } else {
      const uint8_t* mm = m + r.X1;
      for (int32_t i = 0; i < count; ++i) da[i] = std::min(sa[i], mm[i]);  // 0 where not selected
    }
  }
  dstAlpha->SetFull(false);
}
