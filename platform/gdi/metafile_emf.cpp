// The record loop of enhanced metafiles: each record is read through the checked reader over its
// own bytes, so that no count, offset or embedded bitmap reaches past the record.
#include <QtCore/QString>
#include <cmath>
#include <vector>

#include "platform/gdi/metafile_player.h"
#include "platform/system/byte_reader.h"

namespace metafile {

namespace {

enum : uint32_t {
  EMR_HEADER = 1, EMR_POLYBEZIER = 2, EMR_POLYGON = 3, EMR_POLYLINE = 4, EMR_POLYBEZIERTO = 5,
  EMR_POLYLINETO = 6, EMR_POLYPOLYLINE = 7, EMR_POLYPOLYGON = 8, EMR_SETWINDOWEXTEX = 9,
  EMR_SETWINDOWORGEX = 10, EMR_SETVIEWPORTEXTEX = 11, EMR_SETVIEWPORTORGEX = 12, EMR_SETBRUSHORGEX = 13,
  EMR_EOF = 14, EMR_SETPIXELV = 15, EMR_SETMAPPERFLAGS = 16, EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18,
  EMR_SETPOLYFILLMODE = 19, EMR_SETROP2 = 20, EMR_SETSTRETCHBLTMODE = 21, EMR_SETTEXTALIGN = 22,
  EMR_SETCOLORADJUSTMENT = 23, EMR_SETTEXTCOLOR = 24, EMR_SETBKCOLOR = 25, EMR_OFFSETCLIPRGN = 26,
  EMR_MOVETOEX = 27, EMR_SETMETARGN = 28, EMR_EXCLUDECLIPRECT = 29, EMR_INTERSECTCLIPRECT = 30,
  EMR_SCALEVIEWPORTEXTEX = 31, EMR_SCALEWINDOWEXTEX = 32, EMR_SAVEDC = 33, EMR_RESTOREDC = 34,
  EMR_SETWORLDTRANSFORM = 35, EMR_MODIFYWORLDTRANSFORM = 36, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38,
  EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_ANGLEARC = 41, EMR_ELLIPSE = 42,
  EMR_RECTANGLE = 43, EMR_ROUNDRECT = 44, EMR_ARC = 45, EMR_CHORD = 46, EMR_PIE = 47, EMR_SELECTPALETTE = 48,
  EMR_CREATEPALETTE = 49, EMR_SETPALETTEENTRIES = 50, EMR_RESIZEPALETTE = 51, EMR_REALIZEPALETTE = 52,
  EMR_EXTFLOODFILL = 53, EMR_LINETO = 54, EMR_ARCTO = 55, EMR_POLYDRAW = 56, EMR_SETARCDIRECTION = 57,
  EMR_SETMITERLIMIT = 58, EMR_BEGINPATH = 59, EMR_ENDPATH = 60, EMR_CLOSEFIGURE = 61, EMR_FILLPATH = 62,
  EMR_STROKEANDFILLPATH = 63, EMR_STROKEPATH = 64, EMR_FLATTENPATH = 65, EMR_WIDENPATH = 66,
  EMR_SELECTCLIPPATH = 67, EMR_ABORTPATH = 68, EMR_GDICOMMENT = 70, EMR_FILLRGN = 71, EMR_FRAMERGN = 72,
  EMR_INVERTRGN = 73, EMR_PAINTRGN = 74, EMR_EXTSELECTCLIPRGN = 75, EMR_BITBLT = 76, EMR_STRETCHBLT = 77,
  EMR_MASKBLT = 78, EMR_PLGBLT = 79, EMR_SETDIBITSTODEVICE = 80, EMR_STRETCHDIBITS = 81,
  EMR_EXTCREATEFONTINDIRECTW = 82, EMR_EXTTEXTOUTA = 83, EMR_EXTTEXTOUTW = 84, EMR_POLYBEZIER16 = 85,
  EMR_POLYGON16 = 86, EMR_POLYLINE16 = 87, EMR_POLYBEZIERTO16 = 88, EMR_POLYLINETO16 = 89,
  EMR_POLYPOLYLINE16 = 90, EMR_POLYPOLYGON16 = 91, EMR_POLYDRAW16 = 92, EMR_CREATEMONOBRUSH = 93,
  EMR_CREATEDIBPATTERNBRUSHPT = 94, EMR_EXTCREATEPEN = 95, EMR_POLYTEXTOUTA = 96, EMR_POLYTEXTOUTW = 97,
  EMR_SETICMMODE = 98, EMR_SMALLTEXTOUT = 108, EMR_ALPHABLEND = 114, EMR_SETLAYOUT = 115,
  EMR_TRANSPARENTBLT = 116, EMR_GRADIENTFILL = 118
};

constexpr uint32_t kStockFlag = 0x80000000u;
constexpr uint32_t kMaxHandles = 65536;

// One record's bytes through the checked reader; reads past the record give 0 and mark it bad.
class Record {
 public:
  Record(const uint8_t* data, uint32_t size) : data_(data), size_(size), r_(data, size) {}
  uint32_t Size() const { return size_; }
  const uint8_t* Data() const { return data_; }
  uint32_t U32(uint32_t at) { return r_.Seek(at) ? r_.U32() : 0; }
  int32_t I32(uint32_t at) { return static_cast<int32_t>(U32(at)); }
  int16_t I16(uint32_t at) { return r_.Seek(at) ? r_.I16() : 0; }
  uint16_t U16(uint32_t at) { return r_.Seek(at) ? r_.U16() : 0; }
  uint8_t U8(uint32_t at) { return r_.Seek(at) ? r_.U8() : 0; }
  float F32(uint32_t at) {
    const uint32_t v = U32(at);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }
  bool Inside(uint64_t at, uint64_t count) const { return at <= size_ && count <= size_ - at; }
  bool Failed() const { return r_.Failed(); }
  QPointF Point(uint32_t at, bool small) {
    return small ? QPointF(I16(at), I16(at + 2)) : QPointF(I32(at), I32(at + 4));
  }
  QRectF Rect(uint32_t at) {
    const double l = I32(at), t = I32(at + 4), r = I32(at + 8), b = I32(at + 12);
    return QRectF(QPointF(l, t), QPointF(r, b));
  }
  // count points from at, when they all lie in the record.
  bool Points(uint32_t at, uint64_t count, bool small, std::vector<QPointF>& out) {
    const uint64_t each = small ? 4 : 8;
    if (!Inside(at, count * each)) return false;
    out.resize(count);
    for (uint64_t i = 0; i < count; ++i) out[i] = Point(static_cast<uint32_t>(at + i * each), small);
    return true;
  }
  QImage Dib(uint32_t offInfo, uint32_t cbInfo, uint32_t offBits, uint32_t cbBits, bool alpha) {
    if (cbInfo == 0 || !Inside(offInfo, cbInfo) || !Inside(offBits, cbBits)) return QImage();
    return ImageFromDib(data_ + offInfo, cbInfo, data_ + offBits, cbBits, alpha);
  }

 private:
  const uint8_t* data_;
  uint32_t size_;
  TIEByteReader r_;
};

QColor Color(Record& r, uint32_t at) { return ColorOf(r.U32(at)); }

// A region's rectangles (RGNDATA) as a path; empty when the data does not fit.
QPainterPath RegionData(Record& r, uint32_t at, uint32_t cb) {
  QPainterPath path;
  if (cb < 32 || !r.Inside(at, cb)) return path;
  const uint32_t count = r.U32(at + 8);
  if (count > (cb - 32) / 16 || count > kMaxRegionRects) return path;
  for (uint32_t i = 0; i < count; ++i) {
    const QRectF rect = r.Rect(at + 32 + i * 16);
    if (rect.width() > 0 && rect.height() > 0) path.addRect(rect);
  }
  return path.simplified();
}

Font LogFontW(Record& r, uint32_t at) {
  Font f;
  f.height = r.I32(at);
  f.width = r.I32(at + 4);
  f.escapement = r.I32(at + 8);
  f.weight = r.I32(at + 16);
  f.italic = r.U8(at + 20) != 0;
  f.underline = r.U8(at + 21) != 0;
  f.strikeOut = r.U8(at + 22) != 0;
  f.charSet = r.U8(at + 23);
  std::u16string face;
  for (uint32_t i = 0; i < 32 && r.Inside(at + 28 + i * 2, 2); ++i) {
    const char16_t c = static_cast<char16_t>(r.U16(at + 28 + i * 2));
    if (!c) break;
    face.push_back(c);
  }
  f.face = QString::fromStdU16String(face);
  return f;
}

class EmfPlayer {
 public:
  EmfPlayer(Player& p, uint32_t handles) : p_(p), objects_(std::min(std::max(handles, 1u), kMaxHandles)) {}

  void Play(const uint8_t* data, size_t size) {
    size_t at = 0;
    while (at + 8 <= size) {
      TIEByteReader head(data + at, 8);
      const uint32_t type = head.U32(), length = head.U32();
      // A record of size 0, not a multiple of 4, or past the end stops playback.
      if (length < 8 || length % 4 || length > size - at) return;
      Record r(data + at, length);
      if (type == EMR_EOF) return;
      One(type, r);
      at += length;
    }
  }

 private:
  Object* Slot(uint32_t index) { return index > 0 ? objects_.At(index) : nullptr; }

  void Stock(uint32_t index) {
    Object o;
    switch (index) {
      case WHITE_BRUSH: case LTGRAY_BRUSH: case GRAY_BRUSH: case DKGRAY_BRUSH: case BLACK_BRUSH: {
        static const int kGrey[] = {255, 192, 128, 64, 0};
        o.kind = Object::kBrush;
        o.brush.color = QColor(kGrey[index], kGrey[index], kGrey[index]);
        break;
      }
      case NULL_BRUSH: o.kind = Object::kBrush, o.brush.style = BS_NULL; break;
      case WHITE_PEN: o.kind = Object::kPen, o.pen.color = Qt::white; break;
      case BLACK_PEN: o.kind = Object::kPen; break;
      case NULL_PEN: o.kind = Object::kPen, o.pen.style = PS_NULL; break;
      case DC_BRUSH: o.kind = Object::kBrush; break;
      case DC_PEN: o.kind = Object::kPen; break;
      case 10: case 11: case 12: case 13: case 14: case 16: case DEFAULT_GUI_FONT:
        o.kind = Object::kFont;
        o.font.height = -13;
        break;
      default: return;
    }
    p_.Select(o);
  }

  void Polys(Record& r, uint32_t type, bool small) {
    std::vector<QPointF> pts;
    const uint32_t count = r.U32(24);
    if (!r.Points(28, count, small, pts)) return;
    switch (type) {
      case EMR_POLYBEZIER: p_.PolyBezier(pts, false); break;
      case EMR_POLYGON: p_.Polygon({pts}); break;
      case EMR_POLYLINE: p_.Polyline(pts, false); break;
      case EMR_POLYBEZIERTO: p_.PolyBezier(pts, true); break;
      case EMR_POLYLINETO: p_.Polyline(pts, true); break;
      default: break;
    }
  }

  void PolyPolys(Record& r, bool polygon, bool small) {
    const uint32_t polys = r.U32(24), total = r.U32(28);
    if (!r.Inside(32, uint64_t{polys} * 4)) return;
    const uint32_t at = 32 + polys * 4;
    std::vector<QPointF> pts;
    if (!r.Points(at, total, small, pts)) return;
    std::vector<std::vector<QPointF>> groups;
    uint64_t used = 0;
    for (uint32_t i = 0; i < polys; ++i) {
      const uint32_t n = r.U32(32 + i * 4);
      if (n > total - used) return;
      groups.emplace_back(pts.begin() + static_cast<ptrdiff_t>(used), pts.begin() + static_cast<ptrdiff_t>(used + n));
      used += n;
    }
    if (polygon) p_.Polygon(groups);
    else p_.PolyPolyline(groups);
  }

  void PolyDraw(Record& r, bool small) {
    const uint32_t count = r.U32(24);
    std::vector<QPointF> pts;
    if (!r.Points(28, count, small, pts)) return;
    const uint32_t at = 28 + count * (small ? 4 : 8);
    if (!r.Inside(at, count)) return;
    std::vector<uint8_t> types(r.Data() + at, r.Data() + at + count);
    p_.PolyDraw(pts, types);
  }

  void TextRecord(Record& r, uint32_t at, bool wide, uint32_t graphicsModeAt) {
    (void)graphicsModeAt;
    const QPointF ref = r.Point(at, false);
    const uint32_t chars = r.U32(at + 8), offString = r.U32(at + 12), options = r.U32(at + 16);
    const QRectF rect = r.Rect(at + 20);
    const uint32_t offDx = r.U32(at + 36);
    if (options & ETO_GLYPH_INDEX) {
      p_.Skipped("glyph-index text %u", 0);
      return;
    }
    const uint64_t bytes = uint64_t{chars} * (wide ? 2 : 1);
    if (!r.Inside(offString, bytes)) return;
    QString text;
    if (wide) {
      std::u16string s(chars, u'\0');
      for (uint32_t i = 0; i < chars; ++i) s[i] = static_cast<char16_t>(r.U16(offString + i * 2));
      text = QString::fromStdU16String(s);
    } else {
      text = AnsiText(r.Data() + offString, chars);
    }
    std::vector<int32_t> dx;
    const uint64_t dxCount = uint64_t{chars} * ((options & ETO_PDY) ? 2 : 1);
    if (offDx && r.Inside(offDx, dxCount * 4)) {
      dx.resize(dxCount);
      for (uint64_t i = 0; i < dxCount; ++i) dx[i] = r.I32(static_cast<uint32_t>(offDx + i * 4));
    }
    p_.Text(ref, text, dx, options, (options & ETO_NO_RECT) ? nullptr : &rect);
  }

  void SmallText(Record& r) {
    const QPointF ref(r.I32(8), r.I32(12));
    const uint32_t chars = r.U32(16), options = r.U32(20);
    uint32_t at = 36;
    QRectF rect;
    if (!(options & ETO_NO_RECT)) {
      rect = r.Rect(at);
      at += 16;
    }
    const bool small = options & ETO_SMALL_CHARS;
    if (!r.Inside(at, uint64_t{chars} * (small ? 1 : 2))) return;
    QString text;
    if (small) {
      text = AnsiText(r.Data() + at, chars);
    } else {
      std::u16string s(chars, u'\0');
      for (uint32_t i = 0; i < chars; ++i) s[i] = static_cast<char16_t>(r.U16(at + i * 2));
      text = QString::fromStdU16String(s);
    }
    p_.Text(ref, text, {}, options & ~ETO_NO_RECT, (options & ETO_NO_RECT) ? nullptr : &rect);
  }

  static QString AnsiText(const uint8_t* s, uint32_t n) {
    // Windows-1252: Latin-1 but for the printable characters at 0x80..0x9F.
    static const char16_t k80[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                     0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::u16string out;
    for (uint32_t i = 0; i < n; ++i) out.push_back(s[i] >= 0x80 && s[i] < 0xA0 ? k80[s[i] - 0x80] : s[i]);
    return QString::fromStdU16String(out);
  }

  void Bitmap(Record& r, uint32_t type) {
    // BITBLT, STRETCHBLT, MASKBLT, ALPHABLEND and TRANSPARENTBLT share their first fields.
    const QRectF dest(r.I32(24), r.I32(28), r.I32(32), r.I32(36));
    const uint32_t rop = r.U32(40);
    const QPointF src(r.I32(44), r.I32(48));
    const uint32_t offBmi = r.U32(84), cbBmi = r.U32(88), offBits = r.U32(92), cbBits = r.U32(96);
    double sw = dest.width(), sh = dest.height();
    if (type != EMR_BITBLT && type != EMR_MASKBLT) sw = r.I32(100), sh = r.I32(104);
    const bool alpha = type == EMR_ALPHABLEND && ((rop >> 24) & 0xFF) == 1;  // AC_SRC_ALPHA
    QImage image = r.Dib(offBmi, cbBmi, offBits, cbBits, alpha);
    if (cbBmi && image.isNull()) {
      p_.Skipped("bitmap record %u with a DIB the layer does not read", type);
      return;
    }
    const QRectF source(src.x(), src.y(), sw, sh);
    if (type == EMR_ALPHABLEND) {
      p_.AlphaBlit(dest, image, source, static_cast<uint8_t>((rop >> 16) & 0xFF));
    } else if (type == EMR_TRANSPARENTBLT) {
      // The colour that stays transparent is in the raster-operation field.
      const QRgb key = ColorOf(rop).rgb() | 0xFF000000u;
      image = image.convertToFormat(QImage::Format_ARGB32);
      for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
          if ((row[x] | 0xFF000000u) == key) row[x] = 0;
      }
      p_.AlphaBlit(dest, image, source, 255);
    } else {
      p_.Blit(dest, image, source, rop);
    }
  }

  void StretchDIBits(Record& r) {
    const QRectF dest(r.I32(24), r.I32(28), r.I32(72), r.I32(76));
    const QRectF source(r.I32(32), r.I32(36), r.I32(40), r.I32(44));
    const uint32_t offBmi = r.U32(48), cbBmi = r.U32(52), offBits = r.U32(56), cbBits = r.U32(60);
    const uint32_t rop = r.U32(68);
    QImage image = r.Dib(offBmi, cbBmi, offBits, cbBits, false);
    if (cbBmi && image.isNull()) {
      p_.Skipped("bitmap record %u with a DIB the layer does not read", EMR_STRETCHDIBITS);
      return;
    }
    // Source rows of a bottom-up DIB count from its bottom row.
    const bool bottomUp = r.I32(offBmi + 8) > 0;
    const QRectF top(source.x(), image.height() - source.y() - source.height(), source.width(), source.height());
    p_.Blit(dest, image, image.isNull() || !bottomUp ? source : top, rop);
  }

  void SetDIBitsToDevice(Record& r) {
    const QPointF dest(r.I32(24), r.I32(28));
    const int32_t xSrc = r.I32(32), ySrc = r.I32(36), cx = r.I32(40), cy = r.I32(44);
    const uint32_t offBmi = r.U32(48), cbBmi = r.U32(52), offBits = r.U32(56), cbBits = r.U32(60);
    const uint32_t startScan = r.U32(68), scans = r.U32(72);
    if (cbBmi < 40 || !r.Inside(offBmi, cbBmi)) return;
    // The bits hold scans rows from startScan (counted from the bottom): a band of the picture.
    std::vector<uint8_t> info(r.Data() + offBmi, r.Data() + offBmi + cbBmi);
    int32_t height;
    std::memcpy(&height, info.data() + 8, 4);
    const int64_t fullHeight = height < 0 ? -int64_t{height} : height;
    if (scans == 0 || scans > fullHeight || startScan > fullHeight - scans) return;
    const int32_t band = static_cast<int32_t>(height < 0 ? -int64_t{scans} : int64_t{scans});
    std::memcpy(info.data() + 8, &band, 4);
    if (!r.Inside(offBits, cbBits)) return;
    QImage image = ImageFromDib(info.data(), info.size(), r.Data() + offBits, cbBits, false);
    if (image.isNull()) return;
    // Top of the band in the whole picture's rows (top-down), then the source rectangle in the band.
    const int64_t bandTop = height < 0 ? startScan : fullHeight - startScan - scans;
    const int64_t srcTop = fullHeight - ySrc - cy;  // the source rectangle's top row in the picture
    const QRectF source(xSrc, static_cast<double>(srcTop - bandTop), cx, cy);
    p_.Blit(QRectF(dest.x(), dest.y(), cx, cy), image, source, 0x00CC0020);
  }

  void Gradient(Record& r) {
    const uint32_t vertices = r.U32(24), count = r.U32(28), mode = r.U32(32);
    if (!r.Inside(36, uint64_t{vertices} * 16)) return;
    auto vertex = [&](uint32_t i, QPointF& p, QColor& c) {
      if (i >= vertices) return false;
      const uint32_t at = 36 + i * 16;
      p = QPointF(r.I32(at), r.I32(at + 4));
      c = QColor(r.U16(at + 8) >> 8, r.U16(at + 10) >> 8, r.U16(at + 12) >> 8);
      return true;
    };
    const uint32_t at = 36 + vertices * 16;
    const uint32_t each = mode == 2 ? 12 : 8;
    if (!r.Inside(at, uint64_t{count} * each)) return;
    for (uint32_t i = 0; i < count; ++i) {
      if (mode == 2) {
        QPointF p[3];
        QColor c[3];
        bool ok = true;
        for (int k = 0; k < 3; ++k) ok = ok && vertex(r.U32(at + i * 12 + k * 4), p[k], c[k]);
        if (ok) p_.GradientTriangle(p, c);
      } else {
        QPointF a, b;
        QColor ca, cb;
        if (vertex(r.U32(at + i * 8), a, ca) && vertex(r.U32(at + i * 8 + 4), b, cb))
          p_.GradientRect(QRectF(a, b), ca, cb, mode == 1);
      }
    }
  }

  void ExtCreatePen(Record& r) {
    Object* o = Slot(r.U32(8));
    if (!o) return;
    *o = Object();
    o->kind = Object::kPen;
    o->pen.style = r.U32(28);
    o->pen.width = r.U32(32);
    const uint32_t brushStyle = r.U32(36);
    o->pen.color = ColorOf(r.U32(40));
    if (brushStyle == BS_NULL) o->pen.style = (o->pen.style & ~PS_STYLE_MASK) | PS_NULL;
    const uint32_t entries = r.U32(48);
    if ((o->pen.style & PS_STYLE_MASK) == PS_USERSTYLE && entries <= 16 && r.Inside(52, uint64_t{entries} * 4))
      for (uint32_t i = 0; i < entries; ++i) o->pen.dashes.push_back(r.U32(52 + i * 4));
  }

  void PatternBrush(Record& r, bool mono) {
    Object* o = Slot(r.U32(8));
    if (!o) return;
    *o = Object();
    o->kind = Object::kBrush;
    o->brush.style = BS_DIBPATTERNPT;
    o->brush.pattern = r.Dib(r.U32(16), r.U32(20), r.U32(24), r.U32(28), false);
    (void)mono;
    if (o->brush.pattern.isNull()) o->brush.style = BS_SOLID, o->brush.color = Qt::gray;
  }

  void One(uint32_t type, Record& r) {
    State& s = p_.St();
    switch (type) {
      case EMR_HEADER: break;
      case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO: case EMR_POLYLINETO:
        Polys(r, type, false);
        break;
      case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16: case EMR_POLYBEZIERTO16:
      case EMR_POLYLINETO16:
        Polys(r, type - (EMR_POLYBEZIER16 - EMR_POLYBEZIER), true);
        break;
      case EMR_POLYPOLYLINE: PolyPolys(r, false, false); break;
      case EMR_POLYPOLYGON: PolyPolys(r, true, false); break;
      case EMR_POLYPOLYLINE16: PolyPolys(r, false, true); break;
      case EMR_POLYPOLYGON16: PolyPolys(r, true, true); break;
      case EMR_POLYDRAW: PolyDraw(r, false); break;
      case EMR_POLYDRAW16: PolyDraw(r, true); break;
      case EMR_SETWINDOWEXTEX: p_.SetWindowExt(r.I32(8), r.I32(12)); break;
      case EMR_SETWINDOWORGEX: p_.SetWindowOrg(r.I32(8), r.I32(12)); break;
      case EMR_SETVIEWPORTEXTEX: p_.SetViewportExt(r.I32(8), r.I32(12)); break;
      case EMR_SETVIEWPORTORGEX: p_.SetViewportOrg(r.I32(8), r.I32(12)); break;
      case EMR_SCALEVIEWPORTEXTEX:
      case EMR_SCALEWINDOWEXTEX: {
        const double xn = r.I32(8), xd = r.I32(12), yn = r.I32(16), yd = r.I32(20);
        if (xd == 0 || yd == 0) break;
        if (type == EMR_SCALEVIEWPORTEXTEX)
          p_.SetViewportExt(s.viewportExt.width() * xn / xd, s.viewportExt.height() * yn / yd);
        else
          p_.SetWindowExt(s.windowExt.width() * xn / xd, s.windowExt.height() * yn / yd);
        break;
      }
      case EMR_SETBRUSHORGEX: case EMR_SETMAPPERFLAGS: case EMR_SETCOLORADJUSTMENT: case EMR_SETMETARGN:
      case EMR_SETICMMODE: case EMR_SETLAYOUT: case EMR_GDICOMMENT: case EMR_REALIZEPALETTE:
      case EMR_SELECTPALETTE: case EMR_SETPALETTEENTRIES: case EMR_RESIZEPALETTE: case EMR_SETMITERLIMIT:
        break;
      case EMR_SETPIXELV: p_.SetPixel(r.Point(8, false), Color(r, 16)); break;
      case EMR_SETMAPMODE: p_.SetMapMode(r.I32(8)); break;
      case EMR_SETBKMODE: s.bkMode = r.I32(8); break;
      case EMR_SETPOLYFILLMODE: s.polyFill = r.I32(8); break;
      case EMR_SETROP2: s.rop2 = r.I32(8); break;
      case EMR_SETSTRETCHBLTMODE: s.stretchMode = r.I32(8); break;
      case EMR_SETTEXTALIGN: s.textAlign = r.U32(8); break;
      case EMR_SETTEXTCOLOR: s.textColor = Color(r, 8); break;
      case EMR_SETBKCOLOR: s.bkColor = Color(r, 8); break;
      case EMR_OFFSETCLIPRGN: p_.OffsetClip(r.I32(8), r.I32(12)); break;
      case EMR_MOVETOEX: p_.MoveTo(r.Point(8, false)); break;
      case EMR_EXCLUDECLIPRECT: p_.ExcludeClipRect(r.Rect(8)); break;
      case EMR_INTERSECTCLIPRECT: p_.IntersectClipRect(r.Rect(8)); break;
      case EMR_SAVEDC: p_.SaveDC(); break;
      case EMR_RESTOREDC: p_.RestoreDC(r.I32(8)); break;
      case EMR_SETWORLDTRANSFORM:
      case EMR_MODIFYWORLDTRANSFORM: {
        const QTransform t(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28));
        if (type == EMR_SETWORLDTRANSFORM) p_.SetWorldTransform(t);
        else p_.ModifyWorldTransform(t, r.U32(32));
        break;
      }
      case EMR_SELECTOBJECT: {
        const uint32_t index = r.U32(8);
        if (index & kStockFlag) Stock(index & ~kStockFlag);
        else if (Object* o = Slot(index)) p_.Select(*o);
        break;
      }
      case EMR_CREATEPEN:
        if (Object* o = Slot(r.U32(8))) {
          *o = Object();
          o->kind = Object::kPen;
          o->pen.style = r.U32(12);
          o->pen.width = r.I32(16);
          o->pen.color = Color(r, 24);
        }
        break;
      case EMR_EXTCREATEPEN: ExtCreatePen(r); break;
      case EMR_CREATEBRUSHINDIRECT:
        if (Object* o = Slot(r.U32(8))) {
          *o = Object();
          o->kind = Object::kBrush;
          o->brush.style = r.U32(12);
          o->brush.color = Color(r, 16);
          o->brush.hatch = r.I32(20);
        }
        break;
      case EMR_CREATEMONOBRUSH: PatternBrush(r, true); break;
      case EMR_CREATEDIBPATTERNBRUSHPT: PatternBrush(r, false); break;
      case EMR_CREATEPALETTE:
        if (Object* o = Slot(r.U32(8))) *o = Object(), o->kind = Object::kPalette;
        break;
      case EMR_EXTCREATEFONTINDIRECTW:
        if (Object* o = Slot(r.U32(8))) {
          *o = Object();
          o->kind = Object::kFont;
          o->font = LogFontW(r, 12);
        }
        break;
      case EMR_DELETEOBJECT:
        // What is selected stays in use; the slot is free again.
        if (Object* o = Slot(r.U32(8))) *o = Object();
        break;
      case EMR_ANGLEARC: p_.AngleArc(r.Point(8, false), r.U32(16), r.F32(20), r.F32(24)); break;
      case EMR_ELLIPSE: p_.Ellipse(r.Rect(8)); break;
      case EMR_RECTANGLE: p_.Rectangle(r.Rect(8)); break;
      case EMR_ROUNDRECT: p_.RoundRect(r.Rect(8), r.I32(24), r.I32(28)); break;
      case EMR_ARC: p_.ArcShape(r.Rect(8), r.Point(24, false), r.Point(32, false), 0); break;
      case EMR_CHORD: p_.ArcShape(r.Rect(8), r.Point(24, false), r.Point(32, false), 1); break;
      case EMR_PIE: p_.ArcShape(r.Rect(8), r.Point(24, false), r.Point(32, false), 2); break;
      case EMR_ARCTO: p_.ArcShape(r.Rect(8), r.Point(24, false), r.Point(32, false), 3); break;
      case EMR_EXTFLOODFILL: p_.FloodFill(r.Point(8, false), Color(r, 16), r.U32(20) == FLOODFILLSURFACE); break;
      case EMR_LINETO: p_.LineTo(r.Point(8, false)); break;
      case EMR_SETARCDIRECTION: s.clockwise = r.I32(8) == AD_CLOCKWISE; break;
      case EMR_BEGINPATH: p_.BeginPath(); break;
      case EMR_ENDPATH: p_.EndPath(); break;
      case EMR_CLOSEFIGURE: p_.CloseFigure(); break;
      case EMR_FILLPATH: p_.FillPath(true, false); break;
      case EMR_STROKEANDFILLPATH: p_.FillPath(true, true); break;
      case EMR_STROKEPATH: p_.FillPath(false, true); break;
      case EMR_FLATTENPATH: p_.FlattenPath(); break;
      case EMR_WIDENPATH: p_.WidenPath(); break;
      case EMR_SELECTCLIPPATH: p_.SelectClipPath(r.I32(8)); break;
      case EMR_ABORTPATH: p_.AbortPath(); break;
      case EMR_FILLRGN:
        if (Object* o = Slot(r.U32(28)); o && o->kind == Object::kBrush) p_.FillRegion(RegionData(r, 32, r.U32(24)), o->brush);
        break;
      case EMR_FRAMERGN:
        if (Object* o = Slot(r.U32(28)); o && o->kind == Object::kBrush)
          p_.FrameRegion(RegionData(r, 40, r.U32(24)), o->brush, r.I32(32), r.I32(36));
        break;
      case EMR_INVERTRGN: p_.InvertRegion(RegionData(r, 28, r.U32(24))); break;
      case EMR_PAINTRGN: p_.PaintRegion(RegionData(r, 28, r.U32(24))); break;
      case EMR_EXTSELECTCLIPRGN: {
        const uint32_t cb = r.U32(8);
        p_.SelectClipRegion(cb ? RegionData(r, 16, cb) : QPainterPath(), r.I32(12), true);
        break;
      }
      case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_MASKBLT: case EMR_ALPHABLEND: case EMR_TRANSPARENTBLT:
        Bitmap(r, type);
        break;
      case EMR_STRETCHDIBITS: StretchDIBits(r); break;
      case EMR_SETDIBITSTODEVICE: SetDIBitsToDevice(r); break;
      case EMR_EXTTEXTOUTA: TextRecord(r, 36, false, 24); break;
      case EMR_EXTTEXTOUTW: TextRecord(r, 36, true, 24); break;
      case EMR_POLYTEXTOUTA:
      case EMR_POLYTEXTOUTW: {
        const uint32_t strings = r.U32(36);
        if (!r.Inside(40, uint64_t{strings} * 40)) break;
        for (uint32_t i = 0; i < strings; ++i) TextRecord(r, 40 + i * 40, type == EMR_POLYTEXTOUTW, 24);
        break;
      }
      case EMR_SMALLTEXTOUT: SmallText(r); break;
      case EMR_GRADIENTFILL: Gradient(r); break;
      default: p_.Skipped("EMF record %u", type); break;
    }
  }

  Player& p_;
  ObjectTable objects_;
};

}  // namespace

void PlayEmfRecords(Player& player, const uint8_t* data, size_t size) {
  uint32_t handles = 0;
  if (size >= 60) {
    TIEByteReader r(data, static_cast<int64_t>(size));
    r.Seek(56);
    handles = r.U16();
  }
  EmfPlayer(player, handles).Play(data, size);
}

}  // namespace metafile
