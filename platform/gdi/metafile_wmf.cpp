// The record loop of Windows metafiles (16-bit records). Every record that creates an object takes
// the lowest free slot of the object table, also when the object cannot be built, so that the
// indexes of later records keep pointing where the writer meant them to.
#include <QtCore/QString>
#include <vector>

#include "platform/gdi/metafile_player.h"
#include "platform/system/byte_reader.h"

namespace metafile {

namespace {

enum : uint16_t {
  META_EOF = 0x0000, META_REALIZEPALETTE = 0x0035, META_SETPALENTRIES = 0x0037, META_SETBKMODE = 0x0102,
  META_SETMAPMODE = 0x0103, META_SETROP2 = 0x0104, META_SETRELABS = 0x0105, META_SETPOLYFILLMODE = 0x0106,
  META_SETSTRETCHBLTMODE = 0x0107, META_SETTEXTCHAREXTRA = 0x0108, META_RESTOREDC = 0x0127,
  META_INVERTREGION = 0x012A, META_PAINTREGION = 0x012B, META_SELECTCLIPREGION = 0x012C,
  META_SELECTOBJECT = 0x012D, META_SETTEXTALIGN = 0x012E, META_RESIZEPALETTE = 0x0139,
  META_DIBCREATEPATTERNBRUSH = 0x0142, META_SETLAYOUT = 0x0149, META_DELETEOBJECT = 0x01F0,
  META_CREATEPATTERNBRUSH = 0x01F9, META_SETBKCOLOR = 0x0201, META_SETTEXTCOLOR = 0x0209,
  META_SETTEXTJUSTIFICATION = 0x020A, META_SETWINDOWORG = 0x020B, META_SETWINDOWEXT = 0x020C,
  META_SETVIEWPORTORG = 0x020D, META_SETVIEWPORTEXT = 0x020E, META_OFFSETWINDOWORG = 0x020F,
  META_OFFSETVIEWPORTORG = 0x0211, META_LINETO = 0x0213, META_MOVETO = 0x0214, META_OFFSETCLIPRGN = 0x0220,
  META_FILLREGION = 0x0228, META_SETMAPPERFLAGS = 0x0231, META_SELECTPALETTE = 0x0234,
  META_CREATEPENINDIRECT = 0x02FA, META_CREATEFONTINDIRECT = 0x02FB, META_CREATEBRUSHINDIRECT = 0x02FC,
  META_POLYGON = 0x0324, META_POLYLINE = 0x0325, META_SCALEWINDOWEXT = 0x0410, META_SCALEVIEWPORTEXT = 0x0412,
  META_EXCLUDECLIPRECT = 0x0415, META_INTERSECTCLIPRECT = 0x0416, META_ELLIPSE = 0x0418,
  META_FLOODFILL = 0x0419, META_FRAMEREGION = 0x0429, META_ANIMATEPALETTE = 0x0436, META_TEXTOUT = 0x0521,
  META_POLYPOLYGON = 0x0538, META_EXTFLOODFILL = 0x0548, META_RECTANGLE = 0x041B, META_SETPIXEL = 0x041F,
  META_ROUNDRECT = 0x061C, META_PATBLT = 0x061D, META_ESCAPE = 0x0626, META_CREATEREGION = 0x06FF,
  META_ARC = 0x0817, META_PIE = 0x081A, META_CHORD = 0x0830, META_BITBLT = 0x0922, META_DIBBITBLT = 0x0940,
  META_EXTTEXTOUT = 0x0A32, META_STRETCHBLT = 0x0B23, META_DIBSTRETCHBLT = 0x0B41, META_SETDIBTODEV = 0x0D33,
  META_STRETCHDIB = 0x0F43, META_CREATEPALETTE = 0x00F7, META_SAVEDC = 0x001E
};

// One record: the parameter words after the size and function fields, read through the checked
// reader; a word past the record reads 0.
class Record {
 public:
  Record(const uint8_t* data, uint32_t size) : data_(data), size_(size), r_(data, size) {}
  uint32_t Size() const { return size_; }
  const uint8_t* Data() const { return data_; }
  // Parameter word i (from the record's seventh byte).
  int16_t W(uint32_t i) { return r_.Seek(6 + int64_t{i} * 2) ? r_.I16() : 0; }
  uint16_t UW(uint32_t i) { return static_cast<uint16_t>(W(i)); }
  uint32_t U32(uint32_t i) { return r_.Seek(6 + int64_t{i} * 2) ? r_.U32() : 0; }
  uint8_t Byte(uint32_t at) { return r_.Seek(at) ? r_.U8() : 0; }
  uint32_t Words() const { return size_ >= 6 ? (size_ - 6) / 2 : 0; }
  bool Inside(uint64_t at, uint64_t count) const { return at <= size_ && count <= size_ - at; }

 private:
  const uint8_t* data_;
  uint32_t size_;
  TIEByteReader r_;
};

QString AnsiText(const uint8_t* s, uint32_t n) {
  static const char16_t k80[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::u16string out;
  for (uint32_t i = 0; i < n; ++i) out.push_back(s[i] >= 0x80 && s[i] < 0xA0 ? k80[s[i] - 0x80] : s[i]);
  return QString::fromStdU16String(out);
}

class WmfPlayer {
 public:
  WmfPlayer(Player& p, uint32_t objects) : p_(p), objects_(std::clamp<uint32_t>(objects, 1, 65535)) {}

  void Play(const uint8_t* data, size_t size, size_t at) {
    while (at + 6 <= size) {
      TIEByteReader head(data + at, 6);
      const uint64_t words = head.U32();
      const uint16_t function = head.U16();
      // A record of fewer than 3 words or past the end stops playback.
      if (words < 3 || words * 2 > size - at) return;
      Record r(data + at, static_cast<uint32_t>(words * 2));
      if (function == META_EOF) return;
      One(function, r);
      at += static_cast<size_t>(words * 2);
    }
  }

 private:
  // The lowest free slot for a new object; null when the table is full.
  Object* NewSlot() { return objects_.LowestFree(); }
  Object* Slot(uint32_t index) { return objects_.At(index); }

  QRectF Box(Record& r, uint32_t first) {
    // bottom, right, top, left
    return QRectF(QPointF(r.W(first + 3), r.W(first + 2)), QPointF(r.W(first + 1), r.W(first)));
  }

  std::vector<QPointF> Points(Record& r, uint32_t firstWord, uint32_t count) {
    std::vector<QPointF> pts;
    if (uint64_t{firstWord} + uint64_t{count} * 2 > r.Words()) return pts;
    pts.reserve(count);
    for (uint32_t i = 0; i < count; ++i) pts.emplace_back(r.W(firstWord + i * 2), r.W(firstWord + i * 2 + 1));
    return pts;
  }

  void CreateRegion(Record& r) {
    Object* o = NewSlot();
    if (!o) return;
    o->kind = Object::kRegion;
    // Header of seven words and a bounding box of four, then the scans: count, top, bottom,
    // count / 2 pairs of left and right, count again.
    const uint32_t scans = r.UW(5);
    uint32_t w = 11;
    QPainterPath path;
    uint32_t rects = 0;
    for (uint32_t s = 0; s < scans && rects < kMaxRegionRects && w + 3 <= r.Words(); ++s) {
      const uint32_t count = r.UW(w);
      const double top = r.W(w + 1), bottom = r.W(w + 2);
      if (uint64_t{w} + 3 + count + 1 > r.Words()) break;
      for (uint32_t i = 0; i + 1 < count; i += 2) {
        const double left = r.W(w + 3 + i), right = r.W(w + 4 + i);
        if (right > left && bottom > top && ++rects <= kMaxRegionRects)
          path.addRect(QRectF(left, top, right - left, bottom - top));
      }
      w += 3 + count + 1;
    }
    o->region = path.simplified();
  }

  void Text(Record& r) {
    const uint32_t length = r.UW(0);
    const uint32_t padded = (length + 1) / 2;
    if (uint64_t{1} + padded + 2 > r.Words()) return;
    const QString text = AnsiText(r.Data() + 8, length);
    p_.Text(QPointF(r.W(2 + padded), r.W(1 + padded)), text, {}, 0, nullptr);
  }

  void ExtText(Record& r) {
    const QPointF ref(r.W(1), r.W(0));
    const uint32_t length = r.UW(2), options = r.UW(3);
    uint32_t w = 4;
    QRectF rect;
    if (options & (ETO_OPAQUE | ETO_CLIPPED)) {
      rect = QRectF(QPointF(r.W(4), r.W(5)), QPointF(r.W(6), r.W(7)));
      w = 8;
    }
    if (!r.Inside(6 + uint64_t{w} * 2, length)) return;
    const QString text = AnsiText(r.Data() + 6 + w * 2, length);
    w += (length + 1) / 2;
    std::vector<int32_t> dx;
    if (uint64_t{w} + length <= r.Words())
      for (uint32_t i = 0; i < length; ++i) dx.push_back(r.W(w + i));
    p_.Text(ref, text, dx, options & (ETO_OPAQUE | ETO_CLIPPED), (options & (ETO_OPAQUE | ETO_CLIPPED)) ? &rect : nullptr);
  }

  QImage DibAt(Record& r, uint32_t word) {
    const uint64_t at = 6 + uint64_t{word} * 2;
    if (!r.Inside(at, 0)) return QImage();
    return ImageFromPackedDib(r.Data() + at, r.Size() - at);
  }

  void DibBlt(Record& r, bool stretch) {
    // With no bitmap the record is a pattern blit and has one reserved word more.
    const uint32_t words = r.Words();
    const bool bitmap = words > (stretch ? 11u : 9u);
    const uint32_t rop = r.U32(0);
    if (stretch) {
      const double sh = r.W(2), sw = r.W(3), sy = r.W(4), sx = r.W(5);
      const uint32_t d = bitmap ? 6 : 7;
      const QRectF dest(r.W(d + 3), r.W(d + 2), r.W(d + 1), r.W(d));
      if (!bitmap) return p_.Blit(dest, QImage(), QRectF(), rop);
      QImage image = DibAt(r, d + 4);
      if (image.isNull()) return p_.Skipped("WMF bitmap record %#x with a DIB the layer does not read", 0x0B41);
      p_.Blit(dest, image, QRectF(sx, sy, sw, sh), rop);
    } else {
      const double sy = r.W(2), sx = r.W(3);
      const uint32_t d = bitmap ? 4 : 5;
      const double h = r.W(d), w = r.W(d + 1);
      const QRectF dest(r.W(d + 3), r.W(d + 2), w, h);
      if (!bitmap) return p_.Blit(dest, QImage(), QRectF(), rop);
      QImage image = DibAt(r, d + 4);
      if (image.isNull()) return p_.Skipped("WMF bitmap record %#x with a DIB the layer does not read", 0x0940);
      p_.Blit(dest, image, QRectF(sx, sy, w, h), rop);
    }
  }

  void StretchDib(Record& r) {
    const uint32_t rop = r.U32(0);
    const double sh = r.W(3), sw = r.W(4), sy = r.W(5), sx = r.W(6);
    const QRectF dest(r.W(10), r.W(9), r.W(8), r.W(7));
    QImage image = DibAt(r, 11);
    if (image.isNull()) return p_.Skipped("WMF bitmap record %#x with a DIB the layer does not read", 0x0F43);
    // Source rows of a bottom-up DIB count from its bottom row.
    const bool bottomUp = static_cast<int32_t>(r.Byte(6 + 22 + 8) | r.Byte(6 + 22 + 9) << 8 | r.Byte(6 + 22 + 10) << 16 |
                                               static_cast<uint32_t>(r.Byte(6 + 22 + 11)) << 24) > 0;
    const double top = bottomUp ? image.height() - sy - sh : sy;
    p_.Blit(dest, image, QRectF(sx, top, sw, sh), rop);
  }

  void One(uint16_t function, Record& r) {
    State& s = p_.St();
    switch (function) {
      case META_SETBKCOLOR: s.bkColor = ColorOf(r.U32(0)); break;
      case META_SETTEXTCOLOR: s.textColor = ColorOf(r.U32(0)); break;
      case META_SETBKMODE: s.bkMode = r.W(0); break;
      case META_SETROP2: s.rop2 = r.W(0); break;
      case META_SETPOLYFILLMODE: s.polyFill = r.W(0); break;
      case META_SETSTRETCHBLTMODE: s.stretchMode = r.W(0); break;
      case META_SETTEXTALIGN: s.textAlign = r.UW(0); break;
      // The picture's window maps onto the destination, which the player's viewport holds: the
      // file's own mapping mode and viewport records are not followed.
      case META_SETMAPMODE: case META_SETVIEWPORTORG: case META_SETVIEWPORTEXT: case META_OFFSETVIEWPORTORG:
      case META_SCALEVIEWPORTEXT:
        break;
      case META_SETWINDOWORG: p_.SetWindowOrg(r.W(1), r.W(0)); break;
      case META_SETWINDOWEXT: p_.SetWindowExt(r.W(1), r.W(0)); break;
      case META_OFFSETWINDOWORG: p_.SetWindowOrg(s.windowOrg.x() + r.W(1), s.windowOrg.y() + r.W(0)); break;
      case META_SCALEWINDOWEXT: {
        const double yd = r.W(0), yn = r.W(1), xd = r.W(2), xn = r.W(3);
        if (xd != 0 && yd != 0) p_.SetWindowExt(s.windowExt.width() * xn / xd, s.windowExt.height() * yn / yd);
        break;
      }
      case META_SETRELABS: case META_SETTEXTCHAREXTRA: case META_SETTEXTJUSTIFICATION: case META_SETMAPPERFLAGS:
      case META_REALIZEPALETTE: case META_SETPALENTRIES: case META_RESIZEPALETTE: case META_SELECTPALETTE:
      case META_ANIMATEPALETTE: case META_SETLAYOUT: case META_ESCAPE:
        break;
      case META_LINETO: p_.LineTo(QPointF(r.W(1), r.W(0))); break;
      case META_MOVETO: p_.MoveTo(QPointF(r.W(1), r.W(0))); break;
      case META_EXCLUDECLIPRECT: p_.ExcludeClipRect(Box(r, 0)); break;
      case META_INTERSECTCLIPRECT: p_.IntersectClipRect(Box(r, 0)); break;
      case META_OFFSETCLIPRGN: p_.OffsetClip(r.W(1), r.W(0)); break;
      case META_ARC: case META_PIE: case META_CHORD: {
        const QPointF end(r.W(1), r.W(0)), start(r.W(3), r.W(2));
        p_.ArcShape(Box(r, 4), start, end, function == META_ARC ? 0 : function == META_CHORD ? 1 : 2);
        break;
      }
      case META_ELLIPSE: p_.Ellipse(Box(r, 0)); break;
      case META_RECTANGLE: p_.Rectangle(Box(r, 0)); break;
      case META_ROUNDRECT: p_.RoundRect(Box(r, 2), r.W(1), r.W(0)); break;
      case META_SETPIXEL: p_.SetPixel(QPointF(r.W(3), r.W(2)), ColorOf(r.U32(0))); break;
      case META_FLOODFILL: p_.FloodFill(QPointF(r.W(3), r.W(2)), ColorOf(r.U32(0)), false); break;
      case META_EXTFLOODFILL:
        p_.FloodFill(QPointF(r.W(4), r.W(3)), ColorOf(r.U32(1)), r.W(0) == FLOODFILLSURFACE);
        break;
      case META_SAVEDC: p_.SaveDC(); break;
      case META_RESTOREDC: p_.RestoreDC(r.W(0)); break;
      case META_POLYGON:
      case META_POLYLINE: {
        std::vector<QPointF> pts = Points(r, 1, r.UW(0));
        if (pts.empty()) break;
        if (function == META_POLYGON) p_.Polygon({pts});
        else p_.Polyline(pts, false);
        break;
      }
      case META_POLYPOLYGON: {
        const uint32_t polys = r.UW(0);
        if (uint64_t{1} + polys > r.Words()) break;
        std::vector<std::vector<QPointF>> groups;
        uint32_t w = 1 + polys;
        for (uint32_t i = 0; i < polys; ++i) {
          const uint32_t n = r.UW(1 + i);
          std::vector<QPointF> pts = Points(r, w, n);
          if (pts.size() != n) return;
          groups.push_back(std::move(pts));
          w += n * 2;
        }
        p_.Polygon(groups);
        break;
      }
      case META_TEXTOUT: Text(r); break;
      case META_EXTTEXTOUT: ExtText(r); break;
      case META_SELECTOBJECT:
        if (Object* o = Slot(r.UW(0))) p_.Select(*o);
        break;
      case META_DELETEOBJECT:
        if (Object* o = Slot(r.UW(0))) *o = Object();
        break;
      case META_CREATEPENINDIRECT:
        if (Object* o = NewSlot()) {
          o->kind = Object::kPen;
          o->pen.style = r.UW(0);
          o->pen.width = r.W(1);
          o->pen.color = ColorOf(r.U32(3));
        }
        break;
      case META_CREATEBRUSHINDIRECT:
        if (Object* o = NewSlot()) {
          o->kind = Object::kBrush;
          o->brush.style = r.UW(0);
          o->brush.color = ColorOf(r.U32(1));
          o->brush.hatch = r.W(3);
        }
        break;
      case META_DIBCREATEPATTERNBRUSH:
        if (Object* o = NewSlot()) {
          o->kind = Object::kBrush;
          o->brush.style = BS_DIBPATTERNPT;
          o->brush.pattern = DibAt(r, 2);
          if (o->brush.pattern.isNull()) o->brush.style = BS_SOLID, o->brush.color = Qt::gray;
        }
        break;
      case META_CREATEPATTERNBRUSH:
        // A device-dependent bitmap of 16-bit Windows: the slot, drawn as grey.
        if (Object* o = NewSlot()) {
          o->kind = Object::kBrush;
          o->brush.color = Qt::gray;
        }
        break;
      case META_CREATEFONTINDIRECT:
        if (Object* o = NewSlot()) {
          o->kind = Object::kFont;
          Font& f = o->font;
          f.height = r.W(0);
          f.width = r.W(1);
          f.escapement = r.W(2);
          f.weight = r.W(4);
          f.italic = r.Byte(16) != 0;
          f.underline = r.Byte(17) != 0;
          f.strikeOut = r.Byte(18) != 0;
          f.charSet = r.Byte(19);
          QByteArray face;
          for (uint32_t i = 24; i < 24 + 32 && i < r.Size(); ++i) {
            const uint8_t c = r.Byte(i);
            if (!c) break;
            face.push_back(static_cast<char>(c));
          }
          f.face = AnsiText(reinterpret_cast<const uint8_t*>(face.constData()), static_cast<uint32_t>(face.size()));
        }
        break;
      case META_CREATEPALETTE:
        if (Object* o = NewSlot()) o->kind = Object::kPalette;
        break;
      case META_CREATEREGION: CreateRegion(r); break;
      case META_SELECTCLIPREGION:
        if (Object* o = Slot(r.UW(0)); o && o->kind == Object::kRegion) p_.SelectClipRegion(o->region, RGN_COPY, false);
        else p_.SelectClipRegion(QPainterPath(), RGN_COPY, false);
        break;
      case META_FILLREGION: {
        Object* region = Slot(r.UW(0));
        Object* brush = Slot(r.UW(1));
        if (region && brush && region->kind == Object::kRegion && brush->kind == Object::kBrush)
          p_.FillRegion(region->region, brush->brush);
        break;
      }
      case META_FRAMEREGION: {
        Object* region = Slot(r.UW(0));
        Object* brush = Slot(r.UW(1));
        if (region && brush && region->kind == Object::kRegion && brush->kind == Object::kBrush)
          p_.FrameRegion(region->region, brush->brush, r.W(3), r.W(2));
        break;
      }
      case META_INVERTREGION:
      case META_PAINTREGION:
        if (Object* o = Slot(r.UW(0)); o && o->kind == Object::kRegion) {
          if (function == META_INVERTREGION) p_.InvertRegion(o->region);
          else p_.PaintRegion(o->region);
        }
        break;
      case META_PATBLT:
        p_.Blit(QRectF(r.W(5), r.W(4), r.W(3), r.W(2)), QImage(), QRectF(), r.U32(0));
        break;
      case META_DIBBITBLT: DibBlt(r, false); break;
      case META_DIBSTRETCHBLT: DibBlt(r, true); break;
      case META_STRETCHDIB: StretchDib(r); break;
      case META_SETDIBTODEV: {
        // ColorUsage, ScanCount, StartScan, yDib, xDib, Height, Width, yDest, xDest, DIB.
        QImage image = DibAt(r, 9);
        if (image.isNull()) break;
        const double h = r.W(5), w = r.W(6);
        p_.Blit(QRectF(r.W(8), r.W(7), w, h), image, QRectF(r.W(4), image.height() - r.W(3) - h, w, h), 0x00CC0020);
        break;
      }
      case META_BITBLT:
      case META_STRETCHBLT: p_.Skipped("WMF record %#x (a device-dependent bitmap)", function); break;
      default: p_.Skipped("WMF record %#x", function); break;
    }
  }

  Player& p_;
  ObjectTable objects_;
};

}  // namespace

void PlayWmfRecords(Player& player, const uint8_t* data, size_t size, size_t headerOffset) {
  uint32_t objects = 0;
  if (size >= headerOffset + 18) {
    TIEByteReader r(data + headerOffset, 18);
    r.Seek(10);
    objects = r.U16();
  }
  WmfPlayer(player, objects).Play(data, size, headerOffset + 18);
}

}  // namespace metafile
