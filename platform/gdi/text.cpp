// Fonts and text: LOGFONT to QFont, text metrics in whole pixels, TextOut and ExtTextOut with the
// DC's alignment, background mode and colours, and DrawText's layout (alignment, single line,
// word breaks, ellipses, & prefixes, measuring with DT_CALCRECT). Glyphs are rendered by QPainter
// into a coverage mask and blended into the rows. Without a running QGuiApplication there is
// no font machinery: text then measures 0 and draws nothing.
#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QTransform>

#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/qt_font_p.h"

struct FontEngine {
  QFont font;
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t emHeight = 0;
  int32_t leading = 0;
  int32_t aveWidth = 0;
  int32_t maxWidth = 0;
  bool antialias = true;
  double angle = 0;  // degrees, counter-clockwise
  std::unique_ptr<QFontMetrics> metrics;
  // Names the engine's font in the text caches: engines of equal logical fonts share it, and no
  // other font ever gets it (a freed font's address may come back).
  uint64_t id = 0;
};

HFONT__::HFONT__() : GdiObject(GdiKind::kFont) {}
HFONT__::~HFONT__() = default;

namespace {

bool FontsAvailable() { return QGuiApplication::instance() != nullptr; }

QString ToQ(const char* text, int32_t count) {
  if (!text) return QString();
  if (count < 0) return QString::fromUtf8(text);
  return QString::fromUtf8(text, count);
}

// The id of a logical font: the same for equal fonts, a new one for a font not seen before (the
// table forgets them all when it grows large, so a font seen again then only gets a new id).
uint64_t LogicalFontId(const LOGFONT& lf) {
  static std::mutex lock;
  static std::unordered_map<std::string, uint64_t> ids;
  static uint64_t next = 1;
  const int32_t fields[] = {lf.lfHeight, lf.lfWidth, lf.lfEscapement, lf.lfOrientation, lf.lfWeight,
                            lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut, lf.lfQuality};
  std::string key(reinterpret_cast<const char*>(fields), sizeof fields);
  key.append(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
  std::lock_guard<std::mutex> g(lock);
  auto it = ids.find(key);
  if (it != ids.end()) return it->second;
  if (ids.size() >= 4096) ids.clear();
  ids.emplace(std::move(key), next);
  return next++;
}

void BuildEngine(HFONT__* f) {
  auto e = std::make_unique<FontEngine>();
  const LOGFONT& lf = f->lf;
  e->id = LogicalFontId(lf);
  QString family = QString::fromUtf8(lf.lfFaceName, static_cast<int>(strnlen(lf.lfFaceName, LF_FACESIZE)));
  if (family.isEmpty()) family = QStringLiteral("DejaVu Sans");
  QFont font(family);
  font.setWeight(lf.lfWeight <= 0 ? QFont::Normal : static_cast<QFont::Weight>(std::clamp(lf.lfWeight, 100, 900)));
  font.setItalic(lf.lfItalic != 0);
  font.setUnderline(lf.lfUnderline != 0);
  font.setStrikeOut(lf.lfStrikeOut != 0);
  font.setHintingPreference(QFont::PreferFullHinting);
  e->antialias = lf.lfQuality != NONANTIALIASED_QUALITY;
  font.setStyleStrategy(e->antialias ? QFont::PreferAntialias : QFont::NoAntialias);
  int32_t px = 12;
  if (lf.lfHeight < 0) {
    px = std::min(-lf.lfHeight, 4096);
  } else if (lf.lfHeight > 0) {
    // A positive height is the cell (ascent + descent): scale from a measured reference size.
    QFont probe = font;
    probe.setPixelSize(100);
    QFontMetrics pm(probe);
    const int cell = std::max(1, pm.ascent() + pm.descent());
    px = std::max(1, static_cast<int32_t>(std::lround(std::min(lf.lfHeight, 4096) * 100.0 / cell)));
  }
  font.setPixelSize(std::max(1, px));
  e->font = font;
  e->metrics = std::make_unique<QFontMetrics>(font);
  e->ascent = e->metrics->ascent();
  e->descent = e->metrics->descent();
  e->emHeight = px;
  e->leading = std::max(0, e->metrics->leading());
  e->aveWidth = e->metrics->averageCharWidth();
  e->maxWidth = e->metrics->maxWidth();
  e->angle = lf.lfEscapement / 10.0;
  f->engine = std::move(e);
}

// The font engine of the DC's font (the stock font when none is selected); null without fonts.
FontEngine* EngineOf(HDC__* d) {
  if (!FontsAvailable()) return nullptr;
  HFONT__* f = Lookup<HFONT__>(d->st.font, GdiKind::kFont);
  if (!f) f = StockFont();
  std::lock_guard<std::mutex> g(f->engineLock);
  if (!f->engine) BuildEngine(f);
  return f->engine.get();
}

// Windows show the same texts over and over (captions, labels): their widths and their rendered
// glyphs are kept per thread for the engine that made them, a bounded number of widths and a
// bounded amount of glyph masks (each of a bounded area).
constexpr size_t kTextCacheSize = 512;
constexpr int64_t kGlyphCacheArea = 1 << 16;        // the largest mask kept, in pixels
constexpr size_t kGlyphCacheBytes = size_t{4} << 20;  // all masks kept together

struct TextKey {
  uint64_t engine;
  QString text;
  int32_t underline;
  bool underlineOnly;
  bool rtl;
  // The rendered area relative to the run's origin (glyph masks only).
  int32_t left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TextKey& o) const {
    return engine == o.engine && underline == o.underline && underlineOnly == o.underlineOnly && rtl == o.rtl &&
           left == o.left && top == o.top && width == o.width && height == o.height && text == o.text;
  }
};
struct TextKeyHash {
  size_t operator()(const TextKey& k) const {
    return qHash(k.text) ^ (k.engine * 0x9E3779B97F4A7C15ull) ^ (static_cast<size_t>(k.underline + 1) << 3) ^
           (static_cast<size_t>(k.width) << 20) ^ (k.underlineOnly ? 2u : 0u) ^ (k.rtl ? 1u : 0u);
  }
};

int32_t TextWidthOf(FontEngine* e, const QString& s) {
  if (!e) return 0;
  thread_local std::unordered_map<TextKey, int32_t, TextKeyHash> widths;
  TextKey key{e->id, s, -1, false, false};
  auto it = widths.find(key);
  if (it != widths.end()) return it->second;
  const int32_t w = e->metrics->horizontalAdvance(s);
  if (widths.size() >= kTextCacheSize) widths.clear();
  widths.emplace(std::move(key), w);
  return w;
}

// The logical-to-device map as a QTransform of continuous coordinates (pixel p covers [p, p+1)).
QTransform ContinuousTransform(HDC__* d) {
  const Affine a = d->ToDevice();
  const double tx = a.dx + 0.5 - 0.5 * (a.m11 + a.m21), ty = a.dy + 0.5 - 0.5 * (a.m12 + a.m22);
  return QTransform(a.m11, a.m12, a.m21, a.m22, tx, ty);
}

struct TextRun {
  QString text;
  int32_t underline = -1;  // index of the character an & prefix underlines
  bool underlineOnly = false;
};

// Draws one run of text with its top-left (or reference point) at logical (x, y):
// `cell` is the text cell in logical units (for the opaque background), `clip` an optional logical
// clip rectangle.
void RenderRun(HDC__* d, FontEngine* e, double x, double baseline, const TextRun& run, const QRectF& cell,
               bool fillCell, COLORREF bk, const TRect* clip, bool rtl, const int32_t* dx) {
  PixelRows* t = d->Target();
  if (!t || !e) return;
  const QTransform xf = ContinuousTransform(d);
  QTransform local;
  if (e->angle != 0) {
    // Escapement turns the run about its reference point.
    local.translate(x, baseline - e->ascent);
    local.rotate(-e->angle);
    local.translate(-x, -(baseline - e->ascent));
  }
  const QTransform full = local * xf;
  QRectF devBox = full.mapRect(cell).adjusted(-3, -3, 3, 3);
  const TRect whole{static_cast<int32_t>(std::floor(devBox.left())), static_cast<int32_t>(std::floor(devBox.top())),
                    static_cast<int32_t>(std::ceil(devBox.right())), static_cast<int32_t>(std::ceil(devBox.bottom()))};
  TRect drawable{};
  for (const TRect& r : VisibleRects(d)) UnionRect(drawable, drawable, r);
  if (clip) {
    const QRectF c = xf.mapRect(QRectF(clip->Left, clip->Top, clip->Width(), clip->Height()));
    TRect dc{static_cast<int32_t>(std::lround(c.left())), static_cast<int32_t>(std::lround(c.top())),
             static_cast<int32_t>(std::lround(c.right())), static_cast<int32_t>(std::lround(c.bottom()))};
    IntersectRect(drawable, drawable, dc);
  }
  TRect box = whole;
  if (!IntersectRect(box, box, drawable)) return;
  // The run (or its background cell) rendered into the device rectangle target.
  auto paint = [&](bool background, const TRect& target) {
    QImage img(target.Width(), target.Height(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, e->antialias);
    p.translate(-target.Left, -target.Top);
    p.setTransform(full, true);
    if (background) {
      p.fillRect(cell, Qt::white);
    } else {
      p.setFont(e->font);
      p.setPen(Qt::white);
      p.setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
      if (!run.underlineOnly) {
        if (dx) {
          double cx = x;
          for (qsizetype i = 0; i < run.text.size(); ++i) {
            p.drawText(QPointF(cx, baseline), run.text.mid(i, 1));
            cx += dx[i];
          }
        } else {
          p.drawText(QPointF(x, baseline), rtl ? QString(QChar(0x202B)) + run.text : run.text);
        }
      }
      if (run.underline >= 0 && run.underline < run.text.size()) {
        const double ux = x + e->metrics->horizontalAdvance(run.text.left(run.underline));
        const double uw = e->metrics->horizontalAdvance(run.text.mid(run.underline, 1));
        const double uy = baseline + std::max(1, e->metrics->underlinePos());
        p.fillRect(QRectF(ux, uy, uw, std::max(1, e->metrics->lineWidth())), Qt::white);
      }
    }
    p.end();
    CoverageMask m;
    m.Reset(target);
    for (int32_t y = 0; y < target.Height(); ++y) {
      const QRgb* src = reinterpret_cast<const QRgb*>(img.constScanLine(y));
      uint8_t* dst = m.Row(target.Top + y);
      for (int32_t xx = 0; xx < target.Width(); ++xx) dst[xx] = static_cast<uint8_t>(qAlpha(src[xx]));
    }
    return m;
  };
  if (fillCell) CompositeSolid(d, paint(true, box), bk, R2_COPYPEN);
  // Unturned text at a whole-pixel place without per-character advances: its glyphs are the same
  // wherever it goes, so they are rendered once (whole, relative to the run's origin) and copied.
  const QPointF origin = full.map(QPointF(x, baseline));
  const bool cacheable = !dx && e->angle == 0 && full.type() <= QTransform::TxTranslate &&
                         origin.x() == std::floor(origin.x()) && origin.y() == std::floor(origin.y()) &&
                         static_cast<int64_t>(whole.Width()) * whole.Height() <= kGlyphCacheArea;
  CoverageMask glyphs;
  if (cacheable) {
    const int32_t ox = static_cast<int32_t>(origin.x()), oy = static_cast<int32_t>(origin.y());
    thread_local std::unordered_map<TextKey, CoverageMask, TextKeyHash> rendered;
    thread_local size_t renderedBytes = 0;
    TextKey key{e->id, run.text, run.underline, run.underlineOnly, rtl,
                whole.Left - ox, whole.Top - oy, whole.Width(), whole.Height()};
    auto it = rendered.find(key);
    if (it == rendered.end()) {
      CoverageMask m = paint(false, whole);
      OffsetRect(m.bounds, -ox, -oy);
      if (rendered.size() >= kTextCacheSize || renderedBytes + m.alpha.size() > kGlyphCacheBytes) {
        rendered.clear();
        renderedBytes = 0;
      }
      renderedBytes += m.alpha.size();
      it = rendered.emplace(std::move(key), std::move(m)).first;
    }
    const CoverageMask& cached = it->second;
    glyphs.Reset(box);
    for (int32_t y = box.Top; y < box.Bottom; ++y)
      std::memcpy(glyphs.Row(y), cached.Row(y - oy) + (box.Left - ox - cached.bounds.Left),
                  static_cast<size_t>(box.Width()));
  } else {
    glyphs = paint(false, box);
  }
  if (e->antialias)
    CompositeBlend(d, glyphs, d->st.textColor);
  else
    CompositeSolid(d, glyphs, d->st.textColor, R2_COPYPEN);
}

// The reference point of a run by the DC's text alignment: left edge and baseline.
void AlignRun(HDC__* d, FontEngine* e, int32_t x, int32_t y, int32_t width, double& left, double& baseline) {
  const uint32_t a = d->st.textAlign;
  if ((a & TA_CENTER) == TA_CENTER)
    left = x - width / 2;
  else if (a & TA_RIGHT)
    left = x - width;
  else
    left = x;
  if ((a & TA_BASELINE) == TA_BASELINE)
    baseline = y;
  else if (a & TA_BOTTOM)
    baseline = y - e->descent;
  else
    baseline = y + e->ascent;
}

bool TextOutCore(HDC__* d, int32_t x, int32_t y, uint32_t options, const TRect* rect, const QString& text,
                 const int32_t* dx) {
  if (options & ETO_OPAQUE && rect) {
    HBRUSH__ b;
    b.style = BS_SOLID;
    b.color = d->st.bkColor;
    const TRect r = *rect;
    if (r.Right > r.Left && r.Bottom > r.Top) {
      // A solid fill of the rectangle in the background colour.
      const Affine a = d->ToDevice();
      double x1, y1, x2, y2;
      a.Map(r.Left, r.Top, x1, y1);
      a.Map(r.Right, r.Bottom, x2, y2);
      TRect dev{static_cast<int32_t>(std::lround(std::min(x1, x2))), static_cast<int32_t>(std::lround(std::min(y1, y2))),
                static_cast<int32_t>(std::lround(std::max(x1, x2))), static_cast<int32_t>(std::lround(std::max(y1, y2)))};
      PatFillDevice(d, &b, dev, 0xF0);
    }
  }
  // The font is found only for text to draw: an opaque rectangle alone is the usual solid fill.
  if (text.isEmpty()) return true;
  FontEngine* e = EngineOf(d);
  if (!e) return true;
  const bool updateCP = d->st.textAlign & TA_UPDATECP;
  if (updateCP) {
    x = d->st.curPos.X;
    y = d->st.curPos.Y;
  }
  int32_t width = 0;
  if (dx) {
    for (qsizetype i = 0; i < text.size(); ++i) width += dx[i];
  } else {
    width = TextWidthOf(e, text);
  }
  double left, baseline;
  AlignRun(d, e, x, y, width, left, baseline);
  const bool rtl = (options & ETO_RTLREADING) || (d->st.textAlign & TA_RTLREADING);
  const QRectF cell(left, baseline - e->ascent, width, e->ascent + e->descent);
  const bool fillCell = d->st.bkMode == OPAQUE && !(options & ETO_OPAQUE && rect);
  TextRun run;
  run.text = text;
  RenderRun(d, e, left, baseline, run, cell, fillCell, d->st.bkColor, (options & ETO_CLIPPED) ? rect : nullptr, rtl, dx);
  if (updateCP) {
    const uint32_t a = d->st.textAlign;
    if ((a & TA_CENTER) != TA_CENTER) d->st.curPos.X = (a & TA_RIGHT) ? x - width : x + width;
  }
  return true;
}

// ---- DrawText layout ------------------------------------------------------------------------------------

struct Line {
  TextRun run;
  int32_t width = 0;
};

// Takes & prefixes out: "&&" is a literal &, "&x" underlines x.
TextRun StripPrefix(const QString& s, uint32_t format) {
  TextRun r;
  if (format & DT_NOPREFIX) {
    r.text = s;
    return r;
  }
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] == u'&' && i + 1 < s.size()) {
      ++i;
      if (s[i] != u'&' && r.underline < 0) r.underline = static_cast<int32_t>(r.text.size());
    } else if (s[i] == u'&') {
      continue;  // a lone & at the end shows nothing
    }
    r.text += s[i];
  }
  if (format & DT_HIDEPREFIX) r.underline = -1;
  if (format & DT_PREFIXONLY) r.underlineOnly = true;
  return r;
}

QString ExpandTabs(const QString& s, FontEngine* e) {
  if (!s.contains(u'\t')) return s;
  QString out;
  const int32_t stop = std::max(1, 8 * e->aveWidth);
  for (QChar c : s) {
    if (c != u'\t') {
      out += c;
      continue;
    }
    const int32_t w = TextWidthOf(e, out);
    const int32_t next = (w / stop + 1) * stop;
    while (TextWidthOf(e, out) < next) out += u' ';
  }
  return out;
}

// Shortens text to fit `width`, ending it with "...".
QString EndEllipsis(FontEngine* e, const QString& s, int32_t width, bool atWord) {
  if (TextWidthOf(e, s) <= width) return s;
  const QString dots = QStringLiteral("...");
  for (qsizetype n = s.size() - 1; n >= 0; --n) {
    QString head = s.left(n);
    if (atWord) {
      const qsizetype sp = head.lastIndexOf(u' ');
      if (n > 0 && sp >= 0 && n < s.size() && s[n] != u' ') continue;
    }
    if (TextWidthOf(e, head + dots) <= width) return head + dots;
  }
  return dots;
}

// Keeps the file name of a path and as much of its start as fits, "..." in between.
QString PathEllipsis(FontEngine* e, const QString& s, int32_t width) {
  if (TextWidthOf(e, s) <= width) return s;
  const qsizetype slash = std::max(s.lastIndexOf(u'\\'), s.lastIndexOf(u'/'));
  const QString tail = slash >= 0 ? s.mid(slash) : s;
  const QString dots = QStringLiteral("...");
  for (qsizetype n = slash; n >= 0; --n) {
    const QString cand = s.left(n) + dots + tail;
    if (TextWidthOf(e, cand) <= width) return cand;
  }
  return EndEllipsis(e, dots + tail, width, false);
}

// Breaks a paragraph into lines at spaces so each fits `width` (a longer word stays whole, or is
// cut when breakInWord). Widths are measured without & prefixes.
std::vector<QString> BreakWords(FontEngine* e, const QString& para, int32_t width, bool breakInWord, uint32_t format) {
  auto measure = [&](const QString& t) { return TextWidthOf(e, StripPrefix(t, format).text); };
  std::vector<QString> lines;
  QString cur;
  qsizetype i = 0;
  while (i < para.size()) {
    // Next word with its following spaces.
    qsizetype j = i;
    while (j < para.size() && para[j] != u' ') ++j;
    QString word = para.mid(i, j - i);
    qsizetype k = j;
    while (k < para.size() && para[k] == u' ') ++k;
    const QString spaces = para.mid(j, k - j);
    if (!cur.isEmpty() && measure(cur + word) > width) {
      QString done = cur;
      while (done.endsWith(u' ')) done.chop(1);
      lines.push_back(done);
      cur.clear();
    }
    if (cur.isEmpty() && breakInWord) {
      while (word.size() > 1 && measure(word) > width) {
        qsizetype n = word.size() - 1;
        while (n > 1 && measure(word.left(n)) > width) --n;
        lines.push_back(word.left(n));
        word = word.mid(n);
      }
    }
    cur += word + spaces;
    i = k;
  }
  while (cur.endsWith(u' ')) cur.chop(1);
  lines.push_back(cur);
  return lines;
}

}  // namespace

// ---- Interface ----------------------------------------------------------------------------------------

HFONT CreateFontIndirect(const LOGFONT* font) {
  if (!font) return nullptr;
  auto f = std::make_unique<HFONT__>();
  f->lf = *font;
  f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
  return RegisterGdi(std::move(f));
}

bool TextOut(HDC dc, int32_t x, int32_t y, const char* text, int32_t count) {
  HDC__* d = LookupDC(dc);
  if (!d || (!text && count > 0)) return false;
  return TextOutCore(d, x, y, 0, nullptr, ToQ(text, count), nullptr);
}

bool ExtTextOut(HDC dc, int32_t x, int32_t y, uint32_t options, const TRect* rect, const char* text, int32_t count,
                const int32_t* dx) {
  HDC__* d = LookupDC(dc);
  if (!d || (!text && count > 0)) return false;
  const QString s = ToQ(text, count);
  // Advances are given per character; with fewer characters than advances the rest is unused.
  return TextOutCore(d, x, y, options, rect, s, dx);
}

bool GetTextExtentPoint32(HDC dc, const char* text, int32_t count, TSize* size) {
  HDC__* d = LookupDC(dc);
  if (!d || !size) return false;
  FontEngine* e = EngineOf(d);
  if (!e) {
    *size = {0, 0};
    return true;
  }
  size->cx = TextWidthOf(e, ToQ(text, count));
  size->cy = e->ascent + e->descent;
  return true;
}

uint32_t GetTabbedTextExtent(HDC dc, const char* text, int32_t count, int32_t tabPositions,
                             const int32_t* tabStops) {
  HDC__* d = LookupDC(dc);
  if (!d) return 0;
  FontEngine* e = EngineOf(d);
  if (!e) return 0;
  const QString s = ToQ(text, count);
  const int32_t height = e->ascent + e->descent;
  // One stop (or none): tabs every that many pixels (eight average characters without one); more
  // stops: each tab goes to the next stop to its right, and past the last one stays where it is.
  const bool fixed = tabPositions <= 1 || !tabStops;
  const int32_t every =
      (tabPositions >= 1 && tabStops && tabStops[0] > 0) ? tabStops[0] : std::max(1, 8 * e->aveWidth);
  int64_t x = 0;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= s.size(); ++i) {
    if (i < s.size() && s[i] != u'\t') continue;
    x += TextWidthOf(e, s.mid(start, i - start));
    start = i + 1;
    if (i == s.size()) break;
    if (fixed) {
      x = (x / every + 1) * every;
    } else {
      for (int32_t k = 0; k < tabPositions; ++k)
        if (tabStops[k] > x) {
          x = tabStops[k];
          break;
        }
    }
  }
  const uint32_t width = static_cast<uint32_t>(std::min<int64_t>(x, 0xFFFF));
  return width | (static_cast<uint32_t>(height & 0xFFFF) << 16);
}

bool GetTextMetrics(HDC dc, TEXTMETRIC* m) {
  HDC__* d = LookupDC(dc);
  if (!d || !m) return false;
  *m = TEXTMETRIC{};
  FontEngine* e = EngineOf(d);
  if (!e) return true;
  HFONT__* f = Lookup<HFONT__>(d->st.font, GdiKind::kFont);
  if (!f) f = StockFont();
  m->tmAscent = e->ascent;
  m->tmDescent = e->descent;
  m->tmHeight = e->ascent + e->descent;
  m->tmInternalLeading = std::max(0, m->tmHeight - e->emHeight);
  m->tmExternalLeading = e->leading;
  m->tmAveCharWidth = e->aveWidth;
  m->tmMaxCharWidth = e->maxWidth;
  m->tmWeight = f->lf.lfWeight <= 0 ? FW_NORMAL : f->lf.lfWeight;
  m->tmItalic = f->lf.lfItalic;
  m->tmUnderlined = f->lf.lfUnderline;
  m->tmStruckOut = f->lf.lfStrikeOut;
  m->tmCharSet = f->lf.lfCharSet;
  m->tmPitchAndFamily = e->metrics->horizontalAdvance(u'i') == e->metrics->horizontalAdvance(u'W') ? 0 : 1;
  return true;
}

bool GetCharWidth32(HDC dc, uint32_t first, uint32_t last, int32_t* widths) {
  HDC__* d = LookupDC(dc);
  if (!d || !widths || last < first || last - first > 0x10FFFF) return false;
  FontEngine* e = EngineOf(d);
  for (uint32_t c = first; c <= last; ++c) {
    const char32_t cp = static_cast<char32_t>(c);
    widths[c - first] = e ? e->metrics->horizontalAdvance(QString::fromUcs4(&cp, 1)) : 0;
  }
  return true;
}

int32_t GetTextFace(HDC dc, int32_t size, char* name) {
  HDC__* d = LookupDC(dc);
  if (!d) return 0;
  HFONT__* f = Lookup<HFONT__>(d->st.font, GdiKind::kFont);
  if (!f) f = StockFont();
  const int32_t len = static_cast<int32_t>(strnlen(f->lf.lfFaceName, LF_FACESIZE));
  if (!name) return len + 1;
  if (size <= 0) return 0;
  const int32_t n = std::min(len, size - 1);
  std::memcpy(name, f->lf.lfFaceName, static_cast<size_t>(n));
  name[n] = 0;
  return n;
}

namespace {

// DrawText's layout and drawing; shown receives the text of a single line as drawn (shortened by
// an ellipsis), when asked for.
int32_t DrawTextCore(HDC dc, QString s, TRect* rect, uint32_t format, QString* shown) {
  HDC__* d = LookupDC(dc);
  if (!d || !rect) return 0;
  FontEngine* e = EngineOf(d);
  if (!e) return 0;
  if (format & DT_EXPANDTABS) s = ExpandTabs(s, e);
  const int32_t lineHeight = e->ascent + e->descent + ((format & DT_EXTERNALLEADING) ? e->leading : 0);
  const int32_t boxWidth = rect->Right - rect->Left;
  const bool single = format & DT_SINGLELINE;

  // Paragraphs, then lines.
  std::vector<QString> paras;
  if (single) {
    QString one = s;
    one.remove(u'\r');
    one.remove(u'\n');
    paras.push_back(one);
  } else {
    QString norm = s;
    norm.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    norm.replace(u'\r', u'\n');
    for (const QString& p : norm.split(u'\n')) paras.push_back(p);
  }
  std::vector<Line> lines;
  for (const QString& p : paras) {
    std::vector<QString> parts;
    if ((format & DT_WORDBREAK) && !single)
      parts = BreakWords(e, p, boxWidth, format & DT_EDITCONTROL, format);
    else
      parts.push_back(p);
    for (const QString& part : parts) {
      Line l;
      l.run = StripPrefix(part, format);
      if (format & DT_PATH_ELLIPSIS)
        l.run.text = PathEllipsis(e, l.run.text, boxWidth);
      else if (format & DT_END_ELLIPSIS)
        l.run.text = EndEllipsis(e, l.run.text, boxWidth, false);
      else if (format & DT_WORD_ELLIPSIS)
        l.run.text = EndEllipsis(e, l.run.text, boxWidth, true);
      if (l.run.underline >= l.run.text.size()) l.run.underline = -1;
      l.width = TextWidthOf(e, l.run.text);
      lines.push_back(l);
    }
  }
  if (shown && lines.size() == 1) *shown = lines[0].run.text;
  int32_t maxWidth = 0;
  for (const Line& l : lines) maxWidth = std::max(maxWidth, l.width);
  const int32_t height = lineHeight * static_cast<int32_t>(lines.size());
  if (format & DT_CALCRECT) {
    rect->Right = rect->Left + maxWidth;
    rect->Bottom = rect->Top + height;
    return height;
  }
  int32_t top = rect->Top;
  if (single && (format & DT_VCENTER))
    top = rect->Top + (rect->Bottom - rect->Top - height) / 2;
  else if (single && (format & DT_BOTTOM))
    top = rect->Bottom - height;
  const TRect* clip = (format & DT_NOCLIP) ? nullptr : rect;
  const bool rtl = format & DT_RTLREADING;
  int32_t y = top;
  for (const Line& l : lines) {
    int32_t x = rect->Left;
    if (format & DT_CENTER)
      x = rect->Left + (boxWidth - l.width) / 2;
    else if (format & DT_RIGHT)
      x = rect->Right - l.width;
    const double baseline = y + e->ascent;
    const QRectF cell(x, y, l.width, e->ascent + e->descent);
    RenderRun(d, e, x, baseline, l.run, cell, d->st.bkMode == OPAQUE, d->st.bkColor, clip, rtl, nullptr);
    y += lineHeight;
  }
  return (single && (format & (DT_VCENTER | DT_BOTTOM))) ? top - rect->Top + height : height;
}

}  // namespace

int32_t DrawText(HDC dc, const char* text, int32_t count, TRect* rect, uint32_t format) {
  if (!text && count != 0) return 0;
  return DrawTextCore(dc, ToQ(text, count), rect, format, nullptr);
}

int32_t DrawText(HDC dc, std::string& text, TRect* rect, uint32_t format) {
  const bool modify = (format & DT_MODIFYSTRING) && (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS));
  QString shown;
  const QString original = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const int32_t height = DrawTextCore(dc, original, rect, format, modify ? &shown : nullptr);
  // Only a line that an ellipsis shortened changes the caller's text.
  if (modify && !shown.isEmpty() && shown.contains(QStringLiteral("...")) && shown != original)
    text = shown.toStdString();
  return height;
}

QFont QtFontOf(HFONT font) {
  if (!FontsAvailable()) return QFont();
  HFONT__* f = Lookup<HFONT__>(font, GdiKind::kFont);
  if (!f) f = StockFont();
  std::lock_guard<std::mutex> g(f->engineLock);
  if (!f->engine) BuildEngine(f);
  return f->engine->font;
}
