#include "controls/xc_speed_button.h"

#include <algorithm>

#include "controls/xc_bitmap_utils.h"
#include "controls/xc_themes.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/theme_services.h"

// --------------------------------------------------------------------------------- the checker brush

namespace {

struct CheckerCache {
  std::unique_ptr<TBitmap> bitmap;
  TColor a = clNone, b = clNone;
};
CheckerCache g_checker;

// A colour moved by delta in every channel, kept within 0..255.
TColor Shade(TColor color, int delta) {
  const COLORREF c = ColorToRGB(color);
  auto ch = [delta](int v) { return static_cast<uint8_t>(std::clamp(v + delta, 0, 255)); };
  return static_cast<TColor>(RGB(ch(GetRValue(c)), ch(GetGValue(c)), ch(GetBValue(c))));
}

}  // namespace

TBitmap* CachedCheckerBitmap(TColor a, TColor b) {
  if (!g_checker.bitmap || g_checker.a != a || g_checker.b != b) {
    g_checker.bitmap = MakeCheckerBitmap(a, b);
    g_checker.a = a;
    g_checker.b = b;
  }
  return g_checker.bitmap.get();
}

void FreeCachedCheckerBitmap() { g_checker = CheckerCache{}; }

// ------------------------------------------------------------------------------- TXcCustomSpeedButton

TXcCustomSpeedButton::TXcCustomSpeedButton(TComponent* owner)
    : TXcExGraphicControl(owner),
      painter_(std::make_unique<TXcxButtonGlyph>()),
      hotTrackFont_(std::make_unique<TFont>()),
      hotTrackOptions_(new TXcHotTrackOptions(this)) {
  SetControlStyle(csCaptureMouse | csOpaque | csDoubleClicks | csReplicatable);
  SetBounds(Left(), Top(), 25, 25);
  SetColor(clBtnFace);
  SetParentColor(false);
  SetParentFont(true);
  SetParentShowHint(false);
  SetShowHint(true);
  painter_->ChangeDisabledStyle(true);
  painter_->OnChange = [this] { Invalidate(); };
  hotTrackOptions_->OnAfterChange = [this](TObject*) { Invalidate(); };
  SyncHotTrackFont(hotTrackFont_.get(), Font(), hotTrackFontOptions_);
}

TXcCustomSpeedButton::~TXcCustomSpeedButton() {
  if (repeatTimer_) repeatTimer_->SetEnabled(false);
  painter_->OnChange = nullptr;
}

// ---- properties

void TXcCustomSpeedButton::SetAlignment(TAlignment value) {
  if (value == painter_->Alignment()) return;
  painter_->SetAlignment(value);
  Invalidate();
}

void TXcCustomSpeedButton::SetAllowAllUp(bool value) {
  if (value == allowAllUp_) return;
  allowAllUp_ = value;
  UpdateExclusive();
}

void TXcCustomSpeedButton::SetAllowTimer(bool value) {
  allowTimer_ = value;
  if (!value && repeatTimer_) {
    repeatTimer_->SetEnabled(false);
    delete repeatTimer_;
    repeatTimer_ = nullptr;
  }
}

void TXcCustomSpeedButton::SetDown(bool value) {
  if (groupIndex_ == 0) value = false;
  if (value == down_) return;
  // A down button of a group without AllowAllUp goes up only when another member goes down.
  if (down_ && !allowAllUp_) return;
  down_ = value;
  if (!value) {
    // The repaint invalidates and paints at once: invalidating once more would only paint the
    // same picture a second time at the window's next update.
    paintState_ = bpsUp;
    Repaint();
    return;
  }
  if (paintState_ == bpsUp) Invalidate();
  paintState_ = bpsExclusive;
  UpdateExclusive();
  Invalidate();
}

void TXcCustomSpeedButton::SetDropDownMenu(TPopupMenu* value) {
  if (ReplaceComponentRef(this, value, dropDownMenu_)) Invalidate();
}

void TXcCustomSpeedButton::SetFlat(bool value) {
  if (value == flat_) return;
  flat_ = value;
  Invalidate();
}

void TXcCustomSpeedButton::SetGrayedInactive(bool value) {
  if (value == grayedInactive_) return;
  grayedInactive_ = value;
  Invalidate();
}

void TXcCustomSpeedButton::SetGrayNewStyle(bool value) {
  if (value == painter_->GrayNewStyle()) return;
  painter_->ChangeDisabledStyle(value);
  Invalidate();
}

void TXcCustomSpeedButton::SetGroupIndex(int32_t value) {
  if (value == groupIndex_) return;
  groupIndex_ = value;
  UpdateExclusive();
}

void TXcCustomSpeedButton::SetLayout(TButtonLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TXcCustomSpeedButton::SetMargin(int32_t value) {
  if (value == margin_ || value < -1) return;
  margin_ = value;
  Invalidate();
}

void TXcCustomSpeedButton::SetMarkDropDown(bool value) {
  if (value == markDropDown_) return;
  markDropDown_ = value;
  Invalidate();
}

void TXcCustomSpeedButton::SetSpacing(int32_t value) {
  if (value == spacing_) return;
  spacing_ = value;
  Invalidate();
}

void TXcCustomSpeedButton::SetStyle(TButtonStyle value) {
  if (value == style_) return;
  style_ = value;
  Invalidate();
}

void TXcCustomSpeedButton::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

void TXcCustomSpeedButton::SetWordWrap(bool value) {
  if (value == painter_->WordWrap()) return;
  painter_->SetWordWrap(value);
  Invalidate();
}

void TXcCustomSpeedButton::SetHotTrackFont(TFont* value) {
  if (value) hotTrackFont_->Assign(*value);
}

void TXcCustomSpeedButton::SetHotTrackFontOptions(TXcTrackFontOptions value) {
  if (value == hotTrackFontOptions_) return;
  hotTrackFontOptions_ = value;
  SyncHotTrackFont(hotTrackFont_.get(), Font(), hotTrackFontOptions_);
}

void TXcCustomSpeedButton::SetHotTrackOptions(TXcHotTrackOptions* value) {
  if (value) hotTrackOptions_->Assign(value);
}

void TXcCustomSpeedButton::AssignHotTrack(IXcHotTrackable* other) {
  if (!other || other == this) return;
  SetHotTrack(other->HotTrack());
  SetHotTrackFont(other->HotTrackFont());
  SetHotTrackFontOptions(other->HotTrackFontOptions());
  SetHotTrackOptions(other->HotTrackOptions());
}

// ---- group

namespace {

// The speed button whose group update is being broadcast: its members know the sender without
// asking the type system, once per member.
TXcCustomSpeedButton* g_broadcastingButton = nullptr;

}  // namespace

void TXcCustomSpeedButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !Parent()) return;
  TMessage m;
  m.Msg = CM_BUTTONPRESSED;
  m.WParam = static_cast<WPARAM>(groupIndex_);
  m.LParam = reinterpret_cast<LPARAM>(static_cast<TControl*>(this));
  m.Result = 0;
  TXcCustomSpeedButton* const outer = g_broadcastingButton;
  g_broadcastingButton = this;
  struct Restore {
    TXcCustomSpeedButton* outer;
    ~Restore() { g_broadcastingButton = outer; }
  } restore{outer};
  Parent()->Broadcast(m);
}

void TXcCustomSpeedButton::ButtonPressed(TMessage& m) {
  if (static_cast<int32_t>(m.WParam) != groupIndex_ || !Parent() || !Parent()->HandleAllocated()) return;
  TControl* const from = reinterpret_cast<TControl*>(m.LParam);
  auto* sender = g_broadcastingButton && from == static_cast<TControl*>(g_broadcastingButton)
                     ? g_broadcastingButton
                     : dynamic_cast<TXcCustomSpeedButton*>(from);
  if (!sender || sender == this) return;
  if (sender->Down() && down_) {
    down_ = false;
    paintState_ = bpsUp;
    Invalidate();
  }
  allowAllUp_ = sender->allowAllUp_;
}

// ---- messages and the mouse

void TXcCustomSpeedButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      if (doubleBuffered_ && m.WParam) {
        const int w = Width(), h = Height();
        if (w <= 0 || h <= 0) return;
        if (!buffer_ || buffer_->Width() != w || buffer_->Height() != h) {
          buffer_ = std::make_unique<TBitmap>();
          buffer_->SetSize(w, h);
        }
        TCanvas* canvas = buffer_->Canvas();
        canvas->Lock();
        try {
          PaintButton(canvas);
        } catch (...) {
          canvas->Unlock();
          throw;
        }
        canvas->Unlock();
        BitBlt(reinterpret_cast<HDC>(m.WParam), 0, 0, w, h, canvas->Handle(), 0, 0, SRCCOPY);
        return;
      }
      break;
    case WM_LBUTTONDBLCLK:
      if (pressHandling_) return;
      TXcExGraphicControl::WndProc(m);
      if (down_) DblClick();
      return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      TXcExGraphicControl::WndProc(m);
      CheckMouseOver();
      return;
    case CM_BUTTONPRESSED: ButtonPressed(m); return;
    case CM_SYSCOLORCHANGE:
      painter_->ReleaseStateGlyphs();
      Invalidate();
      return;
    default: break;
  }
  TXcExGraphicControl::WndProc(m);
}

bool TXcCustomSpeedButton::PointInside(int x, int y) {
  return x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight();
}

TPoint TXcCustomSpeedButton::MenuPoint() {
  if (!dropDownMenu_) return Point(0, 0);
  const TPopupAlignment a = dropDownMenu_->Alignment();
  if (menuPosition_ == dmpBottom)
    return Point(a == paLeft ? -1 : a == paRight ? Width() + 1 : Width() / 2, Height());
  if (a == paCenter) return Point(Width() / 2, Height());
  return Point(a == paLeft ? Width() : -1, -1);
}

void TXcCustomSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (pressHandling_) return;
  TXcExGraphicControl::MouseDown(button, shift, x, y);
  if (!IsMouseInside() && Enabled()) {
    mouseInside_ = true;
    Invalidate();
  }
  if (button != mbLeft || !Enabled()) return;
  if (!down_) {
    paintState_ = bpsDown;
    Invalidate();
  }
  pressActive_ = true;
  pressHandling_ = true;
  struct EndHandling {
    bool& flag;
    ~EndHandling() { flag = false; }
  } endHandling{pressHandling_};
  const TPoint menuPoint = MenuPoint();
  if (!(ComponentState() & csDesigning) && dropDownMenu_ && dropDownMenu_->AutoPopup()) {
    if (TCustomForm* form = GetParentForm(this))
      if (TWinControl* active = form->ActiveControl())
        active->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(static_cast<TControl*>(this)));
    dropDownMenu_->SetPopupComponent(this);
    const TPoint p = ClientToScreen(menuPoint);
    dropDownMenu_->Popup(p.X, p.Y);
    // The button was let go while the menu was open: released now, without a click.
    SetMouseCapture(false);
    TPoint cursor;
    GetCursorPos(&cursor);
    cursor = ScreenToClient(cursor);
    ReleaseHandling(mbLeft, cursor.X, cursor.Y);
  }
  DropPendingPress();
  if (allowTimer_) {
    if (!repeatTimer_) {
      repeatTimer_ = new TTimer(this);
      repeatTimer_->SetEnabled(false);
      repeatTimer_->OnTimer = [this](TObject*) { RepeatTick(); };
    }
    repeatTimer_->SetInterval(initPause_);
    repeatTimer_->SetEnabled(true);
  }
}

void TXcCustomSpeedButton::DropPendingPress() {
  // The press that closed the menu on the button waits in the queue: it does not press it again.
  MSG m;
  if (!PeekMessage(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE)) return;
  if (m.message != WM_LBUTTONDOWN && m.message != WM_LBUTTONDBLCLK) return;
  TWinControl* window = FindControl(m.hwnd);
  if (!window) return;
  const TPoint p = ScreenToClient(window->ClientToScreen(Point(GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam))));
  if (PointInside(p.X, p.Y)) PeekMessage(&m, m.hwnd, m.message, m.message, PM_REMOVE);
}

void TXcCustomSpeedButton::RepeatTick() {
  repeatTimer_->SetInterval(repeatInterval_);
  if (paintState_ != bpsDown || !MouseCapture()) return;
  try {
    Click();
  } catch (...) {
    if (repeatTimer_) repeatTimer_->SetEnabled(false);
    throw;
  }
}

void TXcCustomSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  TXcExGraphicControl::MouseMove(shift, x, y);
  if (!pressActive_) return;
  TXcButtonPaintState state = down_ ? bpsExclusive : bpsUp;
  if (PointInside(x, y)) state = down_ ? bpsExclusive : bpsDown;
  if (state != paintState_) {
    paintState_ = state;
    Invalidate();
  }
}

void TXcCustomSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TXcExGraphicControl::MouseUp(button, shift, x, y);
  ReleaseHandling(button, x, y);
  if (repeatTimer_) repeatTimer_->SetEnabled(false);
}

void TXcCustomSpeedButton::ReleaseHandling(TMouseButton button, int x, int y) {
  if (!pressActive_ || button != mbLeft) return;
  pressActive_ = false;
  const bool inside = PointInside(x, y);
  if (groupIndex_ == 0) {
    paintState_ = bpsUp;
    HandleMouseExit(nullptr);
    Invalidate();
  } else if (inside) {
    SetDown(!down_);
    if (down_) Repaint();
  } else {
    if (down_) paintState_ = bpsExclusive;
    Repaint();
  }
  if (inside && !pressHandling_) Click();
  CheckMouseOver();
}

void TXcCustomSpeedButton::CheckMouseOver() {
  TPoint p;
  GetCursorPos(&p);
  const bool over = Enabled() && FindDragTarget(p, true) == this && IsThreadWindowActive();
  if (over != IsMouseInside()) Perform(over ? CM_MOUSEENTER : CM_MOUSELEAVE, 0, 0);
}

void TXcCustomSpeedButton::HandleMouseEntry(TControl* control) {
  if (control) {
    TXcExGraphicControl::HandleMouseEntry(control);
    return;
  }
  if ((ComponentState() & csDesigning) || IsMouseInside() || !Enabled()) return;
  const bool repaint =
      ThemeServices()->ThemesEnabled() || hotTrack_ || (flat_ && Enabled() && GetCaptureControl() == nullptr);
  TXcExGraphicControl::HandleMouseEntry(nullptr);
  if (repaint) Invalidate();
}

void TXcCustomSpeedButton::HandleMouseExit(TControl* control) {
  if (control) {
    TXcExGraphicControl::HandleMouseExit(control);
    return;
  }
  if (!IsMouseInside() || !Enabled()) return;
  const bool repaint = ThemeServices()->ThemesEnabled() || hotTrack_ || (flat_ && Enabled() && !pressActive_);
  TXcExGraphicControl::HandleMouseExit(nullptr);
  if (repaint) Invalidate();
}

void TXcCustomSpeedButton::Click() {
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  TXcExGraphicControl::Click();
}

bool TXcCustomSpeedButton::HandleDialogChar(uint16_t key, TShiftState shift, const std::string& keyText) {
  if (IsAccel(key, Caption()) && (shift & ssAlt) && Enabled()) {
    Click();
    return true;
  }
  return TXcExGraphicControl::HandleDialogChar(key, shift, keyText);
}

void TXcCustomSpeedButton::PrebuildGlyph() {
  painter_->BuildStateGlyph(Enabled() ? (flat_ ? bpsInactive : bpsUp) : bpsDisabled);
}

void TXcCustomSpeedButton::HandleEnabledChange() {
  TXcExGraphicControl::HandleEnabledChange();
  PrebuildGlyph();
  CheckMouseOver();
  Repaint();
}

void TXcCustomSpeedButton::HandleFontChange() {
  TXcExGraphicControl::HandleFontChange();
  SyncHotTrackFont(hotTrackFont_.get(), Font(), hotTrackFontOptions_);
  Invalidate();
}

void TXcCustomSpeedButton::HandleTextChange() {
  TXcExGraphicControl::HandleTextChange();
  Invalidate();
}

void TXcCustomSpeedButton::HandleVisibleChange() {
  TXcExGraphicControl::HandleVisibleChange();
  CheckMouseOver();
}

void TXcCustomSpeedButton::Notification(TComponent* component, TOperation operation) {
  TXcExGraphicControl::Notification(component, operation);
  if (operation == opRemove && static_cast<void*>(component) == static_cast<void*>(dropDownMenu_))
    dropDownMenu_ = nullptr;
}

std::unique_ptr<TControlActionLink> TXcCustomSpeedButton::CreateActionLink() {
  return std::make_unique<TXcSpeedButtonActionLink>(this);
}

// ---- painting

uint32_t TXcCustomSpeedButton::TextFlags() const {
  TAlignment a = painter_->Alignment();
  if (BiDiMode() == bdRightToLeft && a != taCenter) a = a == taLeftJustify ? taRightJustify : taLeftJustify;
  uint32_t flags = a == taLeftJustify ? DT_LEFT : a == taRightJustify ? DT_RIGHT : DT_CENTER;
  if (UseRightToLeftReading()) flags |= DT_RTLREADING;
  return flags;
}

void TXcCustomSpeedButton::Paint() { PaintButton(Canvas()); }

void TXcCustomSpeedButton::PaintClassicFrame(TCanvas* canvas, TRect& rect) {
  const TColor c = static_cast<TColor>(ColorToRGB(Color()));
  const TColor light = Shade(c, 64), dark = Shade(c, -64);
  const bool pressed = paintState_ == bpsDown || paintState_ == bpsExclusive;
  const bool newStyle = style_ != bsWin31;
  if (pressed) {
    if (newStyle && !flat_) {
      Frame3D(canvas, rect, clWindowFrame, light, 1);
      Frame3D(canvas, rect, dark, c, 1);
    } else if (newStyle) {
      Frame3D(canvas, rect, dark, light, 1);
    } else if (!flat_) {
      Frame3D(canvas, rect, clWindowFrame, clWindowFrame, 1);
      canvas->Pen()->SetColor(clBtnShadow);
      const TPoint line[3] = {Point(rect.Left, rect.Bottom - 1), Point(rect.Left, rect.Top),
                              Point(rect.Right, rect.Top)};
      canvas->Polyline(line, 3);
    } else {
      Frame3D(canvas, rect, clWindowFrame, light, 1);
    }
  } else if (newStyle && !flat_) {
    Frame3D(canvas, rect, light, clWindowFrame, 1);
    Frame3D(canvas, rect, c, dark, 1);
  } else if (newStyle) {
    Frame3D(canvas, rect, light, dark, 1);
  } else if (!flat_) {
    Frame3D(canvas, rect, clWindowFrame, clWindowFrame, 1);
    Frame3D(canvas, rect, light, dark, 1);
  } else {
    Frame3D(canvas, rect, light, clWindowFrame, 1);
  }
  InflateRect(rect, -1, -1);
}

void TXcCustomSpeedButton::PaintButton(TCanvas* canvas) {
  ++paints_;
  // 1. The state follows the enabled state.
  if (!Enabled()) {
    paintState_ = bpsDisabled;
    pressActive_ = false;
  } else if (paintState_ == bpsDisabled) {
    paintState_ = down_ && groupIndex_ != 0 ? bpsExclusive : bpsUp;
  }
  // 2. The look: a flat button not under the mouse is inactive.
  TXcButtonPaintState look = paintState_;
  if (flat_ && !IsMouseInside() && !(ComponentState() & csDesigning)) look = bpsInactive;
  const TXcButtonPaintState content = (paintState_ == bpsDisabled || !grayedInactive_) ? paintState_ : look;
  const bool hot = HotShowing();
  TRect rect = Rect(0, 0, Width(), Height());
  TPoint offset = Point(0, 0);
  const bool pressed = paintState_ == bpsDown || paintState_ == bpsExclusive;
  canvas->Brush()->SetStyle(bsSolid);
  if (ThemeServices()->ThemesEnabled()) {
    // 3. The desktop's look.
    if (transparent_) PaintParentUnderControl(this, canvas);
    else FillThemedBackground(this, canvas, rect, Color());
    canvas->Font()->Assign(hot ? *hotTrackFont_ : *Font());
    TThemedElementDetails part;
    part.Part = flat_ ? thpToolBarButton : thpPushButton;
    part.State = paintState_ == bpsDisabled             ? thsDisabled
                 : pressed                              ? thsPressed
                 : (IsMouseInside() || pressActive_) ? thsHot
                                                        : thsNormal;
    ThemeServices()->DrawElement(canvas->Handle(), part, rect);
    rect = ThemeServices()->ContentRect(canvas->Handle(), part, rect);
    if (part.State == thsPressed && flat_) offset = Point(1, 0);
  } else {
    // 4. The classic look.
    if (transparent_) {
      PaintParentUnderControl(this, canvas);
    } else {
      canvas->Brush()->SetColor(flat_ && Parent() ? Parent()->Color() : Color());
      canvas->FillRect(rect);
    }
    if (look == bpsInactive && paintState_ != bpsExclusive) InflateRect(rect, -2, -2);
    else PaintClassicFrame(canvas, rect);
    if (paintState_ == bpsExclusive && !transparent_ && (!flat_ || look == bpsInactive)) {
      TRect r = rect;
      InflateRect(r, 1, 1);
      canvas->Brush()->SetBitmap(CachedCheckerBitmap(clBtnFace, clBtnHighlight));
      canvas->FillRect(r);
      canvas->Brush()->SetBitmap(nullptr);
    }
    if (pressed) offset = Point(1, 1);
    // 5. Classic hot tracking.
    if (((hotTrackOptions_->Enabled() && down_) || IsMouseInside() || pressActive_) && hotTrack_) {
      canvas->Font()->Assign(*hotTrackFont_);
      if (hotTrackOptions_->Enabled()) {
        if (down_) {
          canvas->Brush()->SetBitmap(CachedCheckerBitmap(hotTrackOptions_->Color(), clWindow));
        } else {
          canvas->Brush()->SetColor(hotTrackOptions_->Color());
          canvas->Brush()->SetStyle(bsSolid);
        }
        if (hotTrackOptions_->FrameVisible()) {
          const TColor pen = canvas->Pen()->Color();
          canvas->Pen()->SetColor(hotTrackOptions_->FrameColor());
          canvas->Rectangle(0, 0, Width(), Height());
          canvas->Pen()->SetColor(pen);
        } else {
          TRect r = Rect(0, 0, Width(), Height());
          InflateRect(r, -1, flat_ ? -1 : -2);
          canvas->FillRect(r);
        }
        canvas->Brush()->SetBitmap(nullptr);
      }
    } else {
      canvas->Font()->Assign(*Font());
    }
  }
  // 6. Glyph, caption and drop-down mark.
  DrawContent(canvas, rect, offset, content, hot);
}

void TXcCustomSpeedButton::DrawContent(TCanvas* canvas, const TRect& rect, const TPoint& offset,
                                       TXcButtonPaintState state, bool) {
  painter_->DrawButtonContent(canvas, rect, offset, Caption(), layout_, margin_, spacing_,
                              markDropDown_ && dropDownMenu_, nullptr, -1, state, TextFlags());
}

// ------------------------------------------------------------------------------------- action links

TXcSpeedButtonActionLink::TXcSpeedButtonActionLink(TXcCustomSpeedButton* client)
    : TControlActionLink(client), button_(client) {}

bool TXcSpeedButtonActionLink::IsCheckedLinked() {
  TCustomAction* a = CustomAction();
  return a && button_->GroupIndex() != 0 && button_->AllowAllUp() && button_->Down() == a->Checked();
}

bool TXcSpeedButtonActionLink::IsGroupIndexLinked() {
  TCustomAction* a = CustomAction();
  return a && button_->GroupIndex() == a->GroupIndex();
}

void TXcSpeedButtonActionLink::SetChecked(bool value) {
  if (IsCheckedLinked()) button_->SetDown(value);
}

void TXcSpeedButtonActionLink::SetGroupIndex(int value) {
  if (IsGroupIndexLinked()) button_->SetGroupIndex(value);
}

// ------------------------------------------------------------------------------------- TXcSpeedButton

TXcSpeedButton::TXcSpeedButton(TComponent* owner)
    : TXcCustomSpeedButton(owner), hotPainter_(std::make_unique<TXcxButtonGlyph>()) {
  hotPainter_->ChangeDisabledStyle(true);
  hotPainter_->OnChange = [this] { Invalidate(); };
}

TXcSpeedButton::~TXcSpeedButton() { hotPainter_->OnChange = nullptr; }

void TXcSpeedButton::SetGlyph(TBitmap* value) {
  painter_->AssignBitmap(value);
  Invalidate();
}

void TXcSpeedButton::SetHotTrackGlyph(TBitmap* value) {
  hotPainter_->AssignBitmap(value);
  Invalidate();
}

void TXcSpeedButton::SetNumGlyphs(int value) {
  value = std::min(value, kXcMaxGlyphs);
  if (value < 1 || value == painter_->NumGlyphs()) return;
  painter_->ChangeCellCount(value);
  Invalidate();
}

void TXcSpeedButton::WndProc(TMessage& m) {
  if (m.Msg == CM_SYSCOLORCHANGE) hotPainter_->ReleaseStateGlyphs();
  TXcCustomSpeedButton::WndProc(m);
}

void TXcSpeedButton::DrawContent(TCanvas* canvas, const TRect& rect, const TPoint& offset,
                                 TXcButtonPaintState state, bool hot) {
  TXcxButtonGlyph* painter = painter_.get();
  if (hot && !hotPainter_->Bitmap()->Empty()) {
    // The hot glyph lays out as the normal one.
    hotPainter_->SetAlignment(painter_->Alignment());
    hotPainter_->ChangeDisabledStyle(painter_->GrayNewStyle());
    hotPainter_->ChangeCellCount(painter_->NumGlyphs());
    hotPainter_->SetWordWrap(painter_->WordWrap());
    painter = hotPainter_.get();
  }
  painter->DrawButtonContent(canvas, rect, offset, Caption(), Layout(), Margin(), Spacing(),
                             MarkDropDown() && DropDownMenu(), nullptr, -1, state, TextFlags());
}

void TXcSpeedButton::ActionChange(TObject* sender, bool checkDefaults) {
  TXcCustomSpeedButton::ActionChange(sender, checkDefaults);
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  if (!checkDefaults || GroupIndex() == 0) SetGroupIndex(a->GroupIndex());
  TCustomImageList* images = a->ActionList() ? a->ActionList()->Images() : nullptr;
  if (Glyph()->Empty() && images && a->ImageIndex() >= 0 && a->ImageIndex() < images->Count()) {
    constexpr TColor kMagenta = TColorOf(0x00FF00FF);
    TBitmap picture(images->Width(), images->Height());
    picture.Canvas()->Brush()->SetColor(kMagenta);
    picture.Canvas()->FillRect(Rect(0, 0, images->Width(), images->Height()));
    images->Draw(picture.Canvas(), 0, 0, a->ImageIndex(), true);
    picture.SetTransparentColor(kMagenta);
    SetGlyph(&picture);
  }
}

// -------------------------------------------------------------------------------- TXcImageSpeedButton

TXcImageSpeedButton::TXcImageSpeedButton(TComponent* owner) : TXcCustomSpeedButton(owner) {
  imageChangeLink_.OnChange = [this](TObject*) {
    painter_->ReleaseStateGlyphs();
    Invalidate();
  };
}

TXcImageSpeedButton::~TXcImageSpeedButton() {
  if (images_) images_->UnRegisterChanges(&imageChangeLink_);
}

void TXcImageSpeedButton::SetImages(TCustomImageList* value) {
  if (!ReplaceImageListRef(this, value, images_, &imageChangeLink_)) return;
  painter_->ReleaseStateGlyphs();
  if (!images_) imageIndex_ = -1;
  Invalidate();
}

void TXcImageSpeedButton::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  if (!HotImageShowing() || hotTrackImageIndex_ == -1) Invalidate();
}

void TXcImageSpeedButton::SetHotTrackImageIndex(int value) {
  if (value == hotTrackImageIndex_) return;
  hotTrackImageIndex_ = value;
  if (HotImageShowing()) Invalidate();
}

void TXcImageSpeedButton::PrebuildGlyph() {
  if (Enabled() && Flat()) painter_->BuildImageStateGlyph(bpsInactive, images_, imageIndex_);
}

void TXcImageSpeedButton::DrawContent(TCanvas* canvas, const TRect& rect, const TPoint& offset,
                                      TXcButtonPaintState state, bool hot) {
  int index = imageIndex_;
  if (hot && hotTrackImageIndex_ != -1) index = hotTrackImageIndex_;
  painter_->DrawButtonContent(canvas, rect, offset, Caption(), Layout(), Margin(), Spacing(),
                              MarkDropDown() && DropDownMenu(), images_, index, state, TextFlags());
}

void TXcImageSpeedButton::Notification(TComponent* component, TOperation operation) {
  TXcCustomSpeedButton::Notification(component, operation);
  if (operation == opRemove && static_cast<void*>(component) == static_cast<void*>(images_)) {
    images_ = nullptr;
    imageIndex_ = -1;
    painter_->ReleaseStateGlyphs();
    Invalidate();
  }
}

void TXcImageSpeedButton::ActionChange(TObject* sender, bool checkDefaults) {
  TXcCustomSpeedButton::ActionChange(sender, checkDefaults);
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  TCustomImageList* images = a->ActionList() ? a->ActionList()->Images() : nullptr;
  if (!checkDefaults || !images_) SetImages(images);
  if (!checkDefaults || imageIndex_ == -1) SetImageIndex(a->ImageIndex());
}

std::unique_ptr<TControlActionLink> TXcImageSpeedButton::CreateActionLink() {
  return std::make_unique<TXcImageSpeedButtonActionLink>(this);
}

TXcImageSpeedButtonActionLink::TXcImageSpeedButtonActionLink(TXcImageSpeedButton* client)
    : TXcSpeedButtonActionLink(client), image_(client) {}

bool TXcImageSpeedButtonActionLink::IsImageIndexLinked() {
  TCustomAction* a = CustomAction();
  return a && image_->ImageIndex() == a->ImageIndex();
}

void TXcImageSpeedButtonActionLink::SetImageIndex(int value) {
  if (IsImageIndexLinked()) image_->SetImageIndex(value);
}
