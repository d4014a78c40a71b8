#include "controls/xc_panel.h"

#include <algorithm>

#include "controls/xc_bitmap_utils.h"
#include "controls/xc_draw_utils.h"
#include "controls/xc_themes.h"
#include "controls/xc_xcl_utils.h"
#include "platform/ui/forms.h"
#include "platform/ui/string_list.h"
#include "platform/ui/system_metrics.h"
#include "platform/ui/theme_services.h"
#include "platform/ui/window_dc.h"

TXcPanelHotTrackOptions::TXcPanelHotTrackOptions(TPersistent* owner) : TXcHotTrackOptions(owner) {
  SetColor(clBtnFace);
}

// ------------------------------------------------------------------------------- construction

TXcCustomArrangePanel::TXcCustomArrangePanel(TComponent* owner)
    : TXcCustomPanel(owner), hotTrackFont_(std::make_unique<TFont>()) {
  AddThemeStyle(this, csNeedsBorderPaint | csParentBackground);
  MakeHotTrackOptions();
  MakeArrangeSettings();
  SyncHotTrackFont(hotTrackFont_.get(), Font(), hotTrackFontOptions_);
}

TXcCustomArrangePanel::~TXcCustomArrangePanel() {
  Destroying();
  RestoreCursor();
}

void TXcCustomArrangePanel::MakeArrangeSettings() {
  arrangeSettings_ = new TXcArrangeSettings(this);
  arrangeSettings_->OnAfterPropertyChange = [this](TObject* sender, const std::string& name) {
    ArrangeSettingChanged(sender, name);
  };
}

void TXcCustomArrangePanel::MakeHotTrackOptions() {
  hotTrackOptions_ = new TXcPanelHotTrackOptions(this);
  hotTrackOptions_->OnAfterChange = [this](TObject*) {
    if (Hot()) Invalidate();
  };
}

void TXcCustomArrangePanel::Notification(TComponent* component, TOperation operation) {
  TXcCustomPanel::Notification(component, operation);
  if (operation != opRemove || (ComponentState() & csDestroying)) return;
  // An option object freed on its own: the panel goes on with fresh defaults, never a freed one.
  if (component == arrangeSettings_) MakeArrangeSettings();
  else if (component == hotTrackOptions_) MakeHotTrackOptions();
}

void TXcCustomArrangePanel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCHITTEST: {
      TXcCustomPanel::WndProc(m);
      if (!movable_ || (ComponentState() & csDesigning)) return;
      TPoint p = ScreenToClient(Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)));
      if (p.X > 5 && p.X < width_ - 5 && p.Y > 5 && p.Y < height_ - 5 && AskMoveAllowed(p.X, p.Y)) {
        m.Result = HTCAPTION;
        isMoving_ = true;
      }
      return;
    }
    case WM_EXITSIZEMOVE:
      TXcCustomPanel::WndProc(m);
      if (ComponentState() & csDesigning) return;
      if (isMoving_) NotifyMoved();
      isMoving_ = false;
      return;
    default: TXcCustomPanel::WndProc(m); return;
  }
}

bool TXcCustomArrangePanel::AskMoveAllowed(int x, int y) {
  bool allow = true;
  if (OnBeforeMove) OnBeforeMove(this, x, y, allow);
  return allow;
}

void TXcCustomArrangePanel::NotifyMoved() {
  if (OnAfterMove) OnAfterMove(this);
}

// ---------------------------------------------------------------------------------------- arranging

void TXcCustomArrangePanel::SetArrangeSettings(TXcArrangeSettings* value) {
  if (value && value != arrangeSettings_) arrangeSettings_->Assign(value);
}

void TXcCustomArrangePanel::ArrangeSettingChanged(TObject*, const std::string& propName) {
  if (SameText(propName, "AutoArrange")) {
    if (arrangeSettings_->AutoArrange()) RearrangeIfAutomatic();
  } else if (propName == "AutoSize") {
    if (arrangeSettings_->AutoSize() != asNone) RearrangeIfAutomatic();
  } else {
    RearrangeIfAutomatic();
  }
}

void TXcCustomArrangePanel::RearrangeIfAutomatic() {
  if (arrangeSettings_->AutoArrange() && !(ComponentState() & csLoading)) RearrangeChildren();
}

void TXcCustomArrangePanel::SuspendArranging() {
  ++arrangeLockCount_;
  DisableAlign();
}

void TXcCustomArrangePanel::ResumeArranging() {
  EnableAlign();
  if (arrangeLockCount_ > 0) --arrangeLockCount_;
}

void TXcCustomArrangePanel::RearrangeChildren() {
  if (arrangeLockCount_ >= 1 || isArranging_ || ControlCount() == 0 ||
      (ComponentState() & (csLoading | csReading)))
    return;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{isArranging_};
  isArranging_ = true;
  arrangedWidth_ = arrangedHeight_ = 0;
  const int oldWidth = width_, oldHeight = height_;
  // The windowed children by tab order, walked once (the list also holds their own children), and
  // the widest of them after the arranging ones among them arranged themselves (one without
  // children has nothing to arrange).
  std::vector<TWinControl*> order;
  int widest = 0;
  for (TWinControl* c : GetTabOrderList()) {
    if (c->Parent() != this) continue;
    order.push_back(c);
    if (c->ControlCount() > 0)
      if (auto* arranging = dynamic_cast<TXcCustomArrangePanel*>(c)) arranging->RearrangeIfAutomatic();
    widest = std::max(widest, c->Width());
  }
  const bool designing = ComponentState() & csDesigning;
  std::vector<TXcArrangeItem> items;
  items.reserve(order.size());
  for (TWinControl* c : order)
    items.push_back({c->Width(), c->Height(), c->Visible() || (designing && arrangeSettings_->ShowNotVisibleAtDesignTime())});
  TRect client = ClientRect();
  TXcArrangement a = ArrangeItems(*arrangeSettings_, width_, height_, client.Right, client.Bottom, widest, items);
  for (size_t i = 0; i < order.size(); ++i)
    if (a.Placed[i]) order[i]->SetBoundsRect(a.Bounds[i]);
  if (!(ComponentState() & csLoading)) {
    SetWidth(a.Width);
    SetHeight(a.Height);
  }
  arrangedWidth_ = 2 * arrangeSettings_->BorderLeft() + a.RightExtent;
  arrangedHeight_ = 2 * arrangeSettings_->BorderTop() + a.BottomExtent;
  if (width_ != oldWidth || height_ != oldHeight)
    if (TWinControl* focused = FindFocusedControl()) focused->Update();
}

void TXcCustomArrangePanel::Loaded() {
  TXcCustomPanel::Loaded();
  if (arrangeSettings_->AutoArrange()) RearrangeChildren();
}

void TXcCustomArrangePanel::AlignControls(TControl* control, TRect& rect) {
  TXcCustomPanel::AlignControls(control, rect);
  if (arrangeSettings_->AutoArrange()) RearrangeChildren();
}

void TXcCustomArrangePanel::Resize() {
  if (arrangeSettings_ && arrangeSettings_->AutoArrange()) RearrangeChildren();
  TXcCustomPanel::Resize();
}

void TXcCustomArrangePanel::SetBoundsOf(int width, int height) {
  const int oldWidth = width_, oldHeight = height_;
  SetBounds(left_, top_, width, height);
  if (width_ != oldWidth && OnChangedWidth) OnChangedWidth(this, width_);
  if (height_ != oldHeight && OnChangedHeight) OnChangedHeight(this, height_);
  if (OnResizeParent) {
    OnResizeParent(this, left_, top_, width_, height_);
    return;
  }
  if (auto* parent = dynamic_cast<TXcCustomArrangePanel*>(Parent())) parent->RearrangeIfAutomatic();
}

void TXcCustomArrangePanel::SetWidth(int value) { SetBoundsOf(value, height_); }

void TXcCustomArrangePanel::SetHeight(int value) { SetBoundsOf(width_, value); }

// ----------------------------------------------------------------------------------------- settings

void TXcCustomArrangePanel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  RecreateWnd();
  Invalidate();
}

void TXcCustomArrangePanel::SetFlatBorder(bool value) {
  if (value == flatBorder_) return;
  flatBorder_ = value;
  Invalidate();
}

void TXcCustomArrangePanel::SetFlatBorderColor(TColor value) {
  if (value == flatBorderColor_) return;
  flatBorderColor_ = value;
  Invalidate();
}

void TXcCustomArrangePanel::SetMultiLine(bool value) {
  if (value == multiLine_) return;
  multiLine_ = value;
  Invalidate();
}

void TXcCustomArrangePanel::SetSizeable(bool value) {
  if (value == sizeable_) return;
  sizeable_ = value;
  Invalidate();
}

void TXcCustomArrangePanel::SetHotTrackFont(TFont* value) {
  if (value && value != hotTrackFont_.get()) hotTrackFont_->Assign(*value);
}

void TXcCustomArrangePanel::SetHotTrackFontOptions(TXcTrackFontOptions value) {
  if (value == hotTrackFontOptions_) return;
  hotTrackFontOptions_ = value;
  SyncHotTrackFont(hotTrackFont_.get(), Font(), hotTrackFontOptions_);
}

void TXcCustomArrangePanel::SetHotTrackOptions(TXcHotTrackOptions* value) {
  if (value && value != hotTrackOptions_) hotTrackOptions_->Assign(value);
}

void TXcCustomArrangePanel::AssignHotTrack(IXcHotTrackable* other) {
  if (!other || other == this) return;
  SetHotTrack(other->HotTrack());
  SetHotTrackFont(other->HotTrackFont());
  SetHotTrackFontOptions(other->HotTrackFontOptions());
  SetHotTrackOptions(other->HotTrackOptions());
}

void TXcCustomArrangePanel::CreateParams(TCreateParams& params) {
  TXcCustomPanel::CreateParams(params);
  if (transparent_) {
    params.ExStyle |= WS_EX_TRANSPARENT;
    controlStyle_ &= ~csOpaque;
  } else {
    params.ExStyle &= ~WS_EX_TRANSPARENT;
    controlStyle_ |= csOpaque;
  }
}

// ---------------------------------------------------------------------------------------- painting

void TXcCustomArrangePanel::Paint() {
  if (OnPaint) {
    OnPaint(this);
    return;
  }
  TCanvas* c = Canvas();
  if (transparent_) PaintParentUnderControl(this, c);
  if (Hot()) {
    c->SetFont(*hotTrackFont_);
    if (hotTrackOptions_->Enabled()) {
      c->Brush()->SetColor(hotTrackOptions_->Color());
      c->Brush()->SetStyle(bsSolid);
      if (hotTrackOptions_->FrameVisible()) {
        TColor pen = c->Pen()->Color();
        c->Pen()->SetColor(hotTrackOptions_->FrameColor());
        c->Rectangle(0, 0, width_, height_);
        c->Pen()->SetColor(pen);
      } else {
        TRect r = ClientRect();
        InflateRect(r, -TCustomPanel::BevelWidth(), -TCustomPanel::BevelWidth());
        c->FillRect(r);
      }
    }
  } else {
    c->SetFont(*Font());
    c->Brush()->SetColor(color_);
    if (transparent_) {
      c->Brush()->SetStyle(bsClear);
    } else {
      c->Brush()->SetStyle(bsSolid);
      FillThemedBackgroundInBrushColor(this, c, ClientRect(), true);
    }
    const int bw = TCustomPanel::BorderWidth();
    if (!flatBorder_) {
      PaintBevels();
    } else if (bw > 0) {
      // The flat border: the band of BorderWidth along the client edge in FlatBorderColor (what a
      // pen of that width draws around the client rectangle moved in by half of it, one less at the
      // right and bottom for an even width), filled as four strips.
      TRect r = ClientRect();
      HDC dc = c->Handle();
      HBRUSH brush = CreateSolidBrush(ColorToRGB(flatBorderColor_));
      const TRect strips[4] = {Rect(r.Left, r.Top, r.Right, r.Top + bw), Rect(r.Left, r.Bottom - bw, r.Right, r.Bottom),
                               Rect(r.Left, r.Top + bw, r.Left + bw, r.Bottom - bw),
                               Rect(r.Right - bw, r.Top + bw, r.Right, r.Bottom - bw)};
      for (const TRect& strip : strips)
        if (strip.Right > strip.Left && strip.Bottom > strip.Top) FillRect(dc, &strip, brush);
      DeleteObject(brush);
    }
  }
  PaintCaption();
  if (sizeable_) PaintGrip(c);
}

void TXcCustomArrangePanel::PaintBevels() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  auto frame = [&](TBevelCut cut) {
    TColor top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
    TColor bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
    Frame3D(c, r, top, bottom, TCustomPanel::BevelWidth());
  };
  if (TCustomPanel::BevelOuter() != bvNone) frame(TCustomPanel::BevelOuter());
  Frame3D(c, r, color_, color_, TCustomPanel::BorderWidth());
  if (TCustomPanel::BevelInner() != bvNone) frame(TCustomPanel::BevelInner());
}

TRect TXcCustomArrangePanel::CaptionRect(TCanvas* canvas) {
  static const uint32_t kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  TRect r = ClientRect();
  int inset = TCustomPanel::BorderWidth();
  if (TCustomPanel::BevelOuter() != bvNone) inset += TCustomPanel::BevelWidth();
  if (TCustomPanel::BevelInner() != bvNone) inset += TCustomPanel::BevelWidth();
  InflateRect(r, -inset, -inset);
  uint32_t flags = (multiLine_ ? static_cast<uint32_t>(DT_WORDBREAK) : static_cast<uint32_t>(DT_SINGLELINE)) |
                   DT_EXPANDTABS | kAlign[Alignment()];
  if (UseRightToLeftReading()) flags |= DT_RTLREADING;
  TRect calc = r;
  DrawTextOnDC(canvas->Handle(), Caption(), -1, flags | DT_CALCRECT, calc);
  // Vertically centred on the panel's whole height; right or centred across as aligned.
  OffsetRect(calc, 0, (height_ - calc.Height()) / 2 - calc.Top);
  if (Alignment() == taRightJustify) OffsetRect(calc, (width_ - inset) - calc.Right, 0);
  else if (Alignment() == taCenter) OffsetRect(calc, (width_ - calc.Width()) / 2 - calc.Left, 0);
  return calc;
}

void TXcCustomArrangePanel::PaintCaption() { PaintCaptionOn(Canvas()); }

void TXcCustomArrangePanel::PaintCaptionOn(TCanvas* canvas) {
  std::string caption = Caption();
  if (caption.empty()) return;
  static const uint32_t kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  canvas->SetFont((IsMouseInside() || isSizing_) && hotTrack_ ? *hotTrackFont_ : *Font());
  HDC dc = canvas->Handle();
  canvas->TextExtent("");  // selects the font into the DC
  SetBkMode(dc, TRANSPARENT);
  uint32_t flags = (multiLine_ ? static_cast<uint32_t>(DT_WORDBREAK) : static_cast<uint32_t>(DT_SINGLELINE)) |
                   DT_EXPANDTABS | kAlign[Alignment()];
  TRect r;
  if (!multiLine_ && !UseRightToLeftReading()) {
    // One line: the system centres it on the panel's height and places it across by the alignment
    // in a rectangle of the caption's room (the whole width when centred), measured once; unclipped,
    // as the measured rectangle would be.
    int inset = TCustomPanel::BorderWidth();
    if (TCustomPanel::BevelOuter() != bvNone) inset += TCustomPanel::BevelWidth();
    if (TCustomPanel::BevelInner() != bvNone) inset += TCustomPanel::BevelWidth();
    r = Alignment() == taCenter ? Rect(0, 0, width_, height_) : Rect(inset, 0, width_ - inset, height_);
    flags |= DT_VCENTER | DT_NOCLIP;
  } else {
    if (UseRightToLeftReading()) flags |= DT_RTLREADING;
    r = CaptionRect(canvas);
  }
  SetTextColor(dc, ColorToRGB(enabled_ ? canvas->Font()->Color() : clGrayText));
  if (transparent_) SetBkMode(dc, TRANSPARENT);
  DrawTextOnDC(dc, caption, -1, flags, r);
}

TRect TXcCustomArrangePanel::GripRect() {
  TRect client = ClientRect();
  const int bevel = TCustomPanel::BevelWidth();
  return Rect(client.Right - GetSystemMetrics(SM_CXVSCROLL) - bevel - 2,
              client.Bottom - GetSystemMetrics(SM_CYHSCROLL) - bevel - 2, client.Right - bevel - 2,
              client.Bottom - bevel - 2);
}

void TXcCustomArrangePanel::PaintGrip(TCanvas* canvas) {
  TRect r = GripRect();
  if (ThemeServices()->ThemesEnabled()) {
    ThemeServices()->DrawElement(canvas->Handle(), {thpStatusGripper, thsNormal}, r);
    return;
  }
  // The classic grip: three pairs of shadow lines with a highlight line above each, running from
  // the bottom edge to the right edge of the square.
  TColor pen = canvas->Pen()->Color();
  for (int step = 0; step < 3; ++step) {
    for (int line = 0; line < 3; ++line) {
      int d = 4 * step + line + 1;  // distance of the line from the bottom-right corner
      canvas->Pen()->SetColor(line == 0 ? clBtnHighlight : clBtnShadow);
      canvas->MoveTo(r.Right - d, r.Bottom - 1);
      canvas->LineTo(r.Right, r.Bottom - 1 - d);
    }
  }
  canvas->Pen()->SetColor(pen);
}

void TXcCustomArrangePanel::HandleTextChange() {
  TXcCustomPanel::HandleTextChange();
  Invalidate();
}

void TXcCustomArrangePanel::HandleFontChange() {
  TXcCustomPanel::HandleFontChange();
  SyncHotTrackFont(hotTrackFont_.get(), Font(), hotTrackFontOptions_);
}

bool TXcCustomArrangePanel::HandleEraseBackground(TCanvas* canvas, LPARAM param) {
  // A transparent panel erases nothing; an opaque one that is not hot fills its whole client in
  // its paint, so the erase would only be painted over.
  if (transparent_ || (!OnPaint && !Hot())) return true;
  return TXcCustomPanel::HandleEraseBackground(canvas, param);
}

void TXcCustomArrangePanel::HandleParentColorChange() {
  Invalidate();
  TXcCustomPanel::HandleParentColorChange();
}

// ------------------------------------------------------------------------------- mouse: hot, sizing

void TXcCustomArrangePanel::HandleMouseEntry(TControl* control) {
  if (ComponentState() & csDesigning) return;
  if (IsMouseInside() || !enabled_ || control) {
    TXcCustomPanel::HandleMouseEntry(control);
    return;
  }
  TXcCustomPanel::HandleMouseEntry(control);
  if (hotTrack_ && !transparent_ && enabled_ && !isSizing_) Invalidate();
}

void TXcCustomArrangePanel::HandleMouseExit(TControl* control) {
  if (ComponentState() & csDesigning) return;
  if (!IsMouseInside() || !enabled_ || control) {
    TXcCustomPanel::HandleMouseExit(control);
    return;
  }
  TXcCustomPanel::HandleMouseExit(control);
  if (sizeable_) RestoreCursor();
  if (hotTrack_ && !transparent_ && (isSizing_ || enabled_)) Invalidate();
}

void TXcCustomArrangePanel::ShowSizingCursor() {
  if (Screen->Cursor() == crSizeNWSE) return;
  savedCursor_ = Screen->Cursor();
  Screen->SetCursor(crSizeNWSE);
}

void TXcCustomArrangePanel::RestoreCursor() {
  if (Screen && Screen->Cursor() == crSizeNWSE) Screen->SetCursor(savedCursor_);
}

void TXcCustomArrangePanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (sizeable_ && button == mbLeft && InGrip(x, y)) {
    isSizing_ = true;
    lastMousePos_ = Point(x, y);
    SetMouseCapture(true);
    ShowSizingCursor();
    return;
  }
  TXcCustomPanel::MouseDown(button, shift, x, y);
}

void TXcCustomArrangePanel::MouseMove(TShiftState shift, int x, int y) {
  if (isSizing_) {
    int w = width_ + x - lastMousePos_.X;
    int h = height_ + y - lastMousePos_.Y;
    if (w > 1 && h > 1) {
      TSizeConstraints* limits = Constraints();
      if (limits->MinWidth() > 0) w = std::max(w, limits->MinWidth());
      if (limits->MaxWidth() > 0) w = std::min(w, limits->MaxWidth());
      if (limits->MinHeight() > 0) h = std::max(h, limits->MinHeight());
      if (limits->MaxHeight() > 0) h = std::min(h, limits->MaxHeight());
      // Limits that would leave 1 pixel or less keep the size it has.
      if (w <= 1) w = width_;
      if (h <= 1) h = height_;
      bool changed = false;
      if (w != width_) {
        lastMousePos_.X = x;
        changed = true;
      }
      if (h != height_) {
        lastMousePos_.Y = y;
        changed = true;
      }
      if (changed) {
        SetBounds(left_, top_, w, h);
        Refresh();
      }
    }
  } else {
    TXcCustomPanel::MouseMove(shift, x, y);
  }
  if (sizeable_) {
    if (InGrip(x, y)) ShowSizingCursor();
    else RestoreCursor();
  }
}

void TXcCustomArrangePanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (isSizing_ && sizeable_) {
    isSizing_ = false;
    SetMouseCapture(false);
    RestoreCursor();
    Refresh();
    return;
  }
  TXcCustomPanel::MouseUp(button, shift, x, y);
}
