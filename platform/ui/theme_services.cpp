#include "platform/ui/theme_services.h"

#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOption>

#include <unordered_map>

#include "platform/ui/controls.h"

TThemeServices* ThemeServices() {
  static TThemeServices services;
  return &services;
}

namespace {

QStyle* Style() { return QCoreApplication::instance() ? QApplication::style() : nullptr; }

QStyle::State StateFlags(TThemedState s) {
  QStyle::State f = QStyle::State_Enabled;
  switch (s) {
    case thsHot: f |= QStyle::State_MouseOver | QStyle::State_Raised; break;
    case thsPressed: f |= QStyle::State_Sunken; break;
    case thsDisabled: f &= ~QStyle::State_Enabled; break;
    case thsChecked: f |= QStyle::State_On; break;
    case thsCheckedHot: f |= QStyle::State_On | QStyle::State_MouseOver; break;
    case thsFocused: f |= QStyle::State_HasFocus; break;
    default: f |= QStyle::State_Raised; break;
  }
  return f;
}

// The rows a style leaves empty above the frame of a group box it draws for no widget (room for a
// title), found once per style by drawing one.
int GroupBoxTitleRoom(QStyle* style) {
  static QStyle* measured = nullptr;
  static int room = 0;
  if (style == measured) return room;
  QImage probe(64, 128, QImage::Format_ARGB32_Premultiplied);
  probe.fill(Qt::transparent);
  {
    QPainter p(&probe);
    QStyleOptionFrame o;
    o.rect = probe.rect();
    o.palette = QApplication::palette();
    o.state = QStyle::State_Enabled;
    o.lineWidth = 1;
    style->drawPrimitive(QStyle::PE_FrameGroupBox, &o, &p);
  }
  room = 0;
  for (int y = 0; y < probe.height(); ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(probe.constScanLine(y));
    bool inked = false;
    for (int x = 0; x < probe.width() && !inked; ++x) inked = qAlpha(row[x]) != 0;
    if (inked) {
      room = y;
      break;
    }
  }
  measured = style;
  return room;
}

// Draws the part with the style into a painter whose device is rect's size.
void PaintPart(QStyle* style, QPainter& p, const TThemedElementDetails& d, const QRect& r) {
  QStyle::State state = StateFlags(d.State);
  switch (d.Part) {
    case thpPushButton: {
      QStyleOptionButton o;
      o.rect = r;
      o.palette = QApplication::palette();
      o.state = state;
      if (d.State == thsDefaulted) o.features |= QStyleOptionButton::DefaultButton;
      style->drawControl(QStyle::CE_PushButtonBevel, &o, &p);
      break;
    }
    case thpToolBarButton: {
      // Flat until hot, pressed or checked, as tool bars are; a checked button's face is lighter.
      if (d.State == thsNormal || d.State == thsDisabled || d.State == thsDefaulted) break;
      QStyleOptionToolButton o;
      o.rect = r;
      o.palette = QApplication::palette();
      o.state = (state & ~(QStyle::State_Raised | QStyle::State_On)) | QStyle::State_AutoRaise;
      if (d.State == thsPressed || d.State == thsChecked) o.state |= QStyle::State_Sunken;
      if (d.State == thsHot || d.State == thsCheckedHot) o.state |= QStyle::State_Raised | QStyle::State_MouseOver;
      style->drawPrimitive(QStyle::PE_PanelButtonTool, &o, &p);
      if (d.State == thsChecked || d.State == thsCheckedHot) p.fillRect(r.adjusted(2, 2, -2, -2), QColor(255, 255, 255, 96));
      break;
    }
    case thpSpinUp:
    case thpSpinDown:
    case thpComboDropDown: {
      QStyleOptionButton o;
      o.rect = r;
      o.palette = QApplication::palette();
      o.state = state;
      style->drawControl(QStyle::CE_PushButtonBevel, &o, &p);
      QStyleOption arrow;
      arrow.rect = r.adjusted(2, 2, -2, -2);
      arrow.palette = o.palette;
      arrow.state = state;
      QStyle::PrimitiveElement pe = d.Part == thpSpinUp     ? QStyle::PE_IndicatorArrowUp
                                    : d.Part == thpSpinDown ? QStyle::PE_IndicatorArrowDown
                                                            : QStyle::PE_IndicatorArrowDown;
      style->drawPrimitive(pe, &arrow, &p);
      break;
    }
    case thpEditBorder: {
      // A disabled frame shows faded where the style draws it alike.
      if (d.State == thsDisabled) p.setOpacity(0.5);
      QStyleOptionFrame o;
      o.rect = r;
      o.palette = QApplication::palette();
      o.state = state | QStyle::State_Sunken;
      o.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth);
      o.midLineWidth = 0;
      style->drawPrimitive(QStyle::PE_FrameLineEdit, &o, &p);
      break;
    }
    case thpStatusGripper: {
      QStyleOptionSizeGrip o;
      o.rect = r;
      o.palette = QApplication::palette();
      o.state = state;
      o.corner = Qt::BottomRightCorner;
      style->drawControl(QStyle::CE_SizeGrip, &o, &p);
      break;
    }
    case thpCheckBox:
    case thpCheckBoxChecked:
    case thpCheckBoxMixed: {
      QStyleOptionButton o;
      o.rect = r;
      o.palette = QApplication::palette();
      if (d.State == thsDisabled) {
        o.palette.setCurrentColorGroup(QPalette::Disabled);
        p.setOpacity(0.5);  // a style that draws the disabled mark alike still shows it faded
      }
      o.state = (state & ~QStyle::State_Raised) |
                (d.Part == thpCheckBoxChecked ? QStyle::State_On
                 : d.Part == thpCheckBoxMixed ? QStyle::State_NoChange
                                              : QStyle::State_Off);
      style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &o, &p);
      break;
    }
    case thpGroupBox: {
      if (d.State == thsDisabled) p.setOpacity(0.5);
      QStyleOptionFrame o;
      o.palette = QApplication::palette();
      o.state = state;
      o.lineWidth = 1;
      o.midLineWidth = 0;
      // A style may leave room for a title above its frame; the part is the frame alone, so the
      // drawing moves up by that room.
      const int room = GroupBoxTitleRoom(style);
      o.rect = r.adjusted(0, -room, 0, 0);
      style->drawPrimitive(QStyle::PE_FrameGroupBox, &o, &p);
      break;
    }
  }
}

}  // namespace

namespace {

// Parts drawn once per part, state, size and style, kept with a DC on their pixels: a window of
// buttons draws the same few parts over and over.
struct DrawnPart {
  QImage image;
  HDC dc = nullptr;
  // What its alpha says: nothing to draw, a plain copy, or a blend.
  enum Cover : uint8_t { kNone, kOpaque, kBlended } cover = kBlended;
};

bool g_partCopies = true;

DrawnPart::Cover CoverOf(const QImage& image) {
  bool any = false, all = true;
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int a = qAlpha(row[x]);
      any = any || a != 0;
      all = all && a == 255;
    }
  }
  return !any ? DrawnPart::kNone : all ? DrawnPart::kOpaque : DrawnPart::kBlended;
}

class PartCache {
 public:
  ~PartCache() { Clear(); }
  DrawnPart* Find(QStyle* style, const TThemedElementDetails& d, int w, int h) {
    if (style != style_) {
      Clear();
      style_ = style;
    }
    auto it = parts_.find(Key(d, w, h));
    return it == parts_.end() ? nullptr : &it->second;
  }
  DrawnPart* Add(const TThemedElementDetails& d, int w, int h, QImage image) {
    // A bounded cache: sizes that come and go are made again when asked for.
    if (parts_.size() >= 256) Clear();
    DrawnPart& part = parts_[Key(d, w, h)];
    part.image = std::move(image);
    part.cover = CoverOf(part.image);
    part.dc = CreateSurfaceDC(part.image.bits(), w, h, part.image.bytesPerLine(), 32);
    return &part;
  }

 private:
  static uint64_t Key(const TThemedElementDetails& d, int w, int h) {
    return (static_cast<uint64_t>(d.Part) << 56) | (static_cast<uint64_t>(d.State) << 48) |
           (static_cast<uint64_t>(static_cast<uint32_t>(w) & 0xFFFFFF) << 24) | (static_cast<uint32_t>(h) & 0xFFFFFF);
  }
  void Clear() {
    for (auto& [key, part] : parts_)
      if (part.dc) DeleteDC(part.dc);
    parts_.clear();
  }
  QStyle* style_ = nullptr;
  std::unordered_map<uint64_t, DrawnPart> parts_;
};

PartCache& Parts() {
  static PartCache cache;
  return cache;
}

}  // namespace

bool& ThemePartCopiesForTesting() { return g_partCopies; }

void TThemeServices::DrawElement(HDC dc, const TThemedElementDetails& details, const TRect& rect, const TRect* clip) {
  QStyle* style = Style();
  int w = rect.Width(), h = rect.Height();
  if (!style || !dc || w <= 0 || h <= 0 || w > 16384 || h > 16384) return;
  DrawnPart* part = Parts().Find(style, details, w, h);
  if (!part) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      PaintPart(style, p, details, QRect(0, 0, w, h));
    }
    part = Parts().Add(details, w, h, std::move(image));
  }
  // A part with nothing drawn leaves the pixels as they are; a wholly opaque one blends to itself.
  // (A copy onto fewer than 16 bits would map colours as a copy does, not as a blend does.)
  if (!part->dc || (g_partCopies && part->cover == DrawnPart::kNone)) return;
  int saved = SaveDC(dc);
  if (clip) IntersectClipRect(dc, clip->Left, clip->Top, clip->Right, clip->Bottom);
  if (g_partCopies && part->cover == DrawnPart::kOpaque && GetDeviceCaps(dc, BITSPIXEL) >= 16) {
    BitBlt(dc, rect.Left, rect.Top, w, h, part->dc, 0, 0, SRCCOPY);
  } else {
    BLENDFUNCTION blend;
    blend.AlphaFormat = AC_SRC_ALPHA;
    AlphaBlend(dc, rect.Left, rect.Top, w, h, part->dc, 0, 0, w, h, blend);
  }
  RestoreDC(dc, saved);
}

TRect TThemeServices::ContentRect(HDC, const TThemedElementDetails& details, const TRect& rect) {
  QStyle* style = Style();
  if (!style) return rect;
  QRect r(rect.Left, rect.Top, rect.Width(), rect.Height());
  QRect c;
  switch (details.Part) {
    case thpPushButton: {
      QStyleOptionButton o;
      o.rect = r;
      o.state = StateFlags(details.State);
      c = style->subElementRect(QStyle::SE_PushButtonContents, &o);
      break;
    }
    case thpEditBorder: {
      QStyleOptionFrame o;
      o.rect = r;
      o.state = StateFlags(details.State);
      o.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth);
      c = style->subElementRect(QStyle::SE_LineEditContents, &o);
      break;
    }
    default: {
      int f = std::max(1, style->pixelMetric(QStyle::PM_DefaultFrameWidth));
      c = r.adjusted(f, f, -f, -f);
      break;
    }
  }
  if (!c.isValid() || !r.contains(c)) c = r;
  return Rect(c.left(), c.top(), c.left() + c.width(), c.top() + c.height());
}

COLORREF TThemeServices::GetColor(const TThemedElementDetails&, TThemeColor which) {
  QPalette pal = QCoreApplication::instance() ? QApplication::palette() : QPalette();
  QColor c = which == thcEdgeLight ? pal.color(QPalette::Light)
             : which == thcBorderHint ? pal.color(QPalette::Mid)
                                      : pal.color(QPalette::Dark);
  return RGB(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue()));
}

bool TThemeServices::DrawParentBackground(HWND window, HDC dc, const TRect* rect) {
  TWinControl* control = FindControl(window);
  TWinControl* parent = control ? control->Parent() : nullptr;
  if (!parent || !dc) return false;
  // The window's client origin in its parent's client coordinates.
  TPoint mine = control->ClientOrigin(), theirs = parent->ClientOrigin();
  int saved = SaveDC(dc);
  try {
    if (rect) IntersectClipRect(dc, rect->Left, rect->Top, rect->Right, rect->Bottom);
    OffsetViewportOrgEx(dc, theirs.X - mine.X, theirs.Y - mine.Y, nullptr);
    parent->PaintWindowContent(dc);
  } catch (...) {
    RestoreDC(dc, saved);
    throw;
  }
  RestoreDC(dc, saved);
  return true;
}
