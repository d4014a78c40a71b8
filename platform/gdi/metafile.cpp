#include "platform/gdi/metafile.h"

#include <QtGui/QImage>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/metafile_player.h"
#include "platform/system/byte_reader.h"
#include "platform/system/memory.h"
#include "platform/system/streams.h"

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr uint32_t kEmfSignature = 0x464D4520u;  // " EMF"
constexpr uint16_t kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C;
// Metafiles above this are refused before their bytes are read.
constexpr int64_t kMaxMetafileBytes = int64_t{1} << 31;

int64_t Scale(int64_t v, int64_t num, int64_t den) { return den ? v * num / den : 0; }

bool ReadEmfHeader(const uint8_t* data, size_t size, TMetafileHeader& h) {
  TIEByteReader r(data, static_cast<int64_t>(size));
  if (r.U32() != 1) return false;
  const uint32_t length = r.U32();
  const int32_t bl = r.I32(), bt = r.I32(), br = r.I32(), bb = r.I32();
  const int32_t fl = r.I32(), ft = r.I32(), fr = r.I32(), fb = r.I32();
  if (r.U32() != kEmfSignature) return false;
  r.Seek(72);
  const int32_t devW = r.I32(), devH = r.I32(), mmW = r.I32(), mmH = r.I32();
  if (r.Failed() || length < 88 || length > size) return false;
  h.Enhanced = true;
  h.PixelsPerMmX = devW > 0 && mmW > 0 ? static_cast<double>(devW) / mmW : 96 / 25.4;
  h.PixelsPerMmY = devH > 0 && mmH > 0 ? static_cast<double>(devH) / mmH : 96 / 25.4;
  const int64_t ppi = ScreenPixelsPerInch();
  if (fr > fl && fb > ft) {
    h.Width = Scale(int64_t{fr} - fl, ppi, 2540);
    h.Height = Scale(int64_t{fb} - ft, ppi, 2540);
    h.Left = fl * h.PixelsPerMmX / 100;
    h.Top = ft * h.PixelsPerMmY / 100;
    h.Right = fr * h.PixelsPerMmX / 100;
    h.Bottom = fb * h.PixelsPerMmY / 100;
  } else if (br >= bl && bb >= bt) {
    // No frame: the bounds, in the reference device's pixels (inclusive).
    h.Width = int64_t{br} - bl + 1;
    h.Height = int64_t{bb} - bt + 1;
    h.Left = bl, h.Top = bt, h.Right = br + 1.0, h.Bottom = bb + 1.0;
  }
  return true;
}

bool ReadWmfHeader(const uint8_t* data, size_t size, TMetafileHeader& h) {
  TIEByteReader r(data, static_cast<int64_t>(size));
  int32_t left = 0, top = 0, right = 0, bottom = 0, inch = 0;
  if (r.U32() == kPlaceableKey) {
    h.Placeable = true;
    r.U16();
    left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
    inch = r.U16();
    h.HeaderOffset = 22;
  }
  if (!r.Seek(static_cast<int64_t>(h.HeaderOffset))) return false;
  const uint16_t type = r.U16(), headerWords = r.U16();
  r.Seek(static_cast<int64_t>(h.HeaderOffset) + 16);
  const uint16_t members = r.U16();
  if (r.Failed() || (type != 1 && type != 2) || headerWords != 9 || members != 0) return false;
  const int64_t ppi = ScreenPixelsPerInch();
  if (h.Placeable && inch > 0 && right != left && bottom != top) {
    h.Width = Scale(std::abs(right - left), ppi, inch);
    h.Height = Scale(std::abs(bottom - top), ppi, inch);
    h.Left = left, h.Top = top, h.Right = right, h.Bottom = bottom;
    return true;
  }
  // A plain metafile: its first window extent (and the origin set before it), at 1440 units per
  // inch.
  double ox = 0, oy = 0;
  size_t at = h.HeaderOffset + 18;
  while (at + 6 <= size) {
    TIEByteReader rec(data + at, static_cast<int64_t>(size - at));
    const uint64_t words = rec.U32();
    const uint16_t function = rec.U16();
    if (words < 3 || words * 2 > size - at || function == 0) break;
    if ((function == kSetWindowOrg || function == kSetWindowExt) && words >= 5) {
      const int16_t y = rec.I16(), x = rec.I16();
      if (function == kSetWindowOrg) {
        ox = x, oy = y;
      } else if (x != 0 && y != 0) {
        h.Width = Scale(std::abs(x), ppi, 1440);
        h.Height = Scale(std::abs(y), ppi, 1440);
        h.Left = ox, h.Top = oy, h.Right = ox + x, h.Bottom = oy + y;
        break;
      }
    }
    at += static_cast<size_t>(words * 2);
  }
  return true;
}

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX)); }

}  // namespace

bool ReadMetafileHeader(const uint8_t* data, size_t size, TMetafileHeader& header) {
  header = TMetafileHeader{};
  if (!data || size < 18) return false;
  if (ReadEmfHeader(data, size, header)) return true;
  header = TMetafileHeader{};
  if (ReadWmfHeader(data, size, header)) return true;
  header = TMetafileHeader{};
  return false;
}

bool PlayMetafile(HDC dc, const uint8_t* data, size_t size, const TRect& rect) {
  TMetafileHeader h;
  if (!ReadMetafileHeader(data, size, h)) return false;
  HDC__* d = LookupDC(dc);
  PixelRows* target = d ? d->Target() : nullptr;
  if (!target || !target->Valid()) return false;
  if (rect.Width() == 0 || rect.Height() == 0) return true;
  // The destination in device pixels, and the visible part of it the player draws on.
  const Affine toDevice = d->ToDevice();
  double x0, y0, x1, y1;
  toDevice.Map(rect.Left, rect.Top, x0, y0);
  toDevice.Map(rect.Right, rect.Bottom, x1, y1);
  const TRect box{static_cast<int32_t>(std::floor(std::min(x0, x1))), static_cast<int32_t>(std::floor(std::min(y0, y1))),
                  static_cast<int32_t>(std::ceil(std::max(x0, x1))), static_cast<int32_t>(std::ceil(std::max(y0, y1)))};
  const std::vector<TRect> visible = VisibleRectsIn(d, box);
  if (visible.empty()) return true;
  TRect area = visible.front();
  for (const TRect& v : visible) {
    area.Left = std::min(area.Left, v.Left), area.Top = std::min(area.Top, v.Top);
    area.Right = std::max(area.Right, v.Right), area.Bottom = std::max(area.Bottom, v.Bottom);
  }
  QImage image(area.Width(), area.Height(), QImage::Format_RGB32);
  if (image.isNull()) return false;
  for (int32_t y = area.Top; y < area.Bottom; ++y)
    ReadRgb(*target, y, area.Left, area.Width(), reinterpret_cast<uint32_t*>(image.scanLine(y - area.Top)));

  // The picture's rectangle onto the destination's device rectangle, relative to the image.
  const double pw = h.Right - h.Left, ph = h.Bottom - h.Top;
  if (pw != 0 && ph != 0) {
    const QTransform fit = QTransform::fromTranslate(-h.Left, -h.Top) * QTransform::fromScale((x1 - x0) / pw, (y1 - y0) / ph) *
                           QTransform::fromTranslate(x0 - area.Left, y0 - area.Top);
    if (h.Enhanced) {
      metafile::Player player(image, fit, h.PixelsPerMmX, h.PixelsPerMmY);
      metafile::PlayEmfRecords(player, data, size);
    } else {
      // The window maps onto the destination: the player's viewport is the destination and its
      // window the picture's rectangle, which the file's window records may move.
      metafile::Player player(image, QTransform::fromTranslate(-area.Left, -area.Top), 0, 0);
      metafile::State& s = player.St();
      s.mapMode = metafile::MM_ANISOTROPIC;
      s.windowOrg = {h.Left, h.Top};
      s.windowExt = {pw, ph};
      s.viewportOrg = {x0, y0};
      s.viewportExt = {x1 - x0, y1 - y0};
      if (s.viewportExt.width() != 0 && s.viewportExt.height() != 0) metafile::PlayWmfRecords(player, data, size, h.HeaderOffset);
    }
  }

  std::vector<uint32_t> phys(static_cast<size_t>(area.Width()));
  ColorMatcher matcher(target->colors);
  for (const TRect& v : visible) {
    for (int32_t y = v.Top; y < v.Bottom; ++y) {
      const uint32_t* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y - area.Top)) + (v.Left - area.Left);
      std::vector<uint32_t> rgb(row, row + v.Width());
      for (uint32_t& c : rgb) c &= 0xFFFFFF;
      RgbToPhysRow(*target, rgb.data(), v.Width(), phys.data(), matcher);
      WritePhys(*target, y, v.Left, v.Width(), phys.data());
    }
  }
  return true;
}

// ------------------------------------------------------------------------------------ TMetafile

void TMetafile::SetWidth(int32_t width) {
  if (width == width_) return;
  width_ = std::max(width, 0);
  Changed();
}

void TMetafile::SetHeight(int32_t height) {
  if (height == height_) return;
  height_ = std::max(height, 0);
  Changed();
}

void TMetafile::LoadFromBytes(const void* data, size_t size) {
  TMetafileHeader header;
  if (!ReadMetafileHeader(static_cast<const uint8_t*>(data), size, header))
    throw EInvalidGraphic("Metafile is not valid");
  data_.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  header_ = header;
  width_ = Clamp32(header.Width);
  height_ = Clamp32(header.Height);
  Changed();
}

void TMetafile::LoadFromStream(TStream& stream) {
  const int64_t left = stream.Size() - stream.Position();
  if (left <= 0 || left > kMaxMetafileBytes) throw EInvalidGraphic("Metafile is not valid");
  std::vector<uint8_t> bytes(static_cast<size_t>(left));
  stream.ReadBuffer(bytes.data(), static_cast<int32_t>(left));
  LoadFromBytes(bytes.data(), bytes.size());
}

void TMetafile::SaveToStream(TStream& stream) {
  if (!data_.empty()) stream.WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
}

void TMetafile::LoadFromClipboardFormat(uint32_t format, HANDLE data, HPALETTE) {
  if (format != CF_ENHMETAFILE || !data) throw EInvalidGraphic("Unsupported clipboard format");
  LoadFromBytes(data, GlobalSize(data));
}

void TMetafile::SaveToClipboardFormat(uint32_t& format, HANDLE& data, HPALETTE& palette) {
  format = 0;
  data = nullptr;
  palette = nullptr;
  if (data_.empty() || !header_.Enhanced) return;
  void* block = GlobalAlloc(GMEM_MOVEABLE, data_.size());
  if (!block) return;
  std::memcpy(block, data_.data(), data_.size());
  format = CF_ENHMETAFILE;
  data = block;
}

void TMetafile::Assign(TPersistent* source) {
  if (auto* m = dynamic_cast<TMetafile*>(source)) {
    data_ = m->data_;
    header_ = m->header_;
    width_ = m->width_;
    height_ = m->height_;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TMetafile::Draw(TCanvas* canvas, const TRect& rect) {
  if (!canvas || data_.empty()) return;
  PlayMetafile(canvas->Handle(), data_.data(), data_.size(), rect);
}
