#include "controls/xc_spin_button.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "controls/xc_bitmap_utils.h"
#include "controls/xc_xcl_utils.h"
#include "platform/ui/controls.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/theme_services.h"

// ------------------------------------------------------------------------------------- the glyphs

namespace {

// Black on white, white being transparent; rows from the top.
constexpr const char* kUp[] = {"..XX..", ".XXXX.", "XXXXXX", "..XX..", "..XX..", "..XX.."};
constexpr const char* kDown[] = {"..XX..", "..XX..", "..XX..", "XXXXXX", ".XXXX.", "..XX.."};
constexpr const char* kUpPole[] = {"...X...", "..XXX..", ".XXXXX.", "XXXXXXX"};
constexpr const char* kDownPole[] = {"XXXXXXX", ".XXXXX.", "..XXX..", "...X..."};

std::unique_ptr<TSpinButtonBitmapsManager> g_manager;

// round() of the placements: to the nearest, an exact half to the even neighbour.
int32_t Round(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

// A glyph at (x, y) without its transparent colour (white for the one-bit built-in glyphs, the
// button face for the disabled looks, the bottom-left pixel for a user's glyph).
void DrawGlyph(TCanvas* canvas, int32_t x, int32_t y, TBitmap* glyph) {
  if (glyph && !glyph->Empty()) DrawBitmapMasked(canvas, x, y, glyph, glyph->TransparentColor());
}

// The disabled look of a glyph, its black pixels embossed on the button face, which is then its
// transparent colour. (A one-bit glyph is outlined by its colours, black on white.)
std::unique_ptr<TBitmap> DisabledGlyph(TBitmap* glyph) {
  TBitmap colour;
  if (glyph->Monochrome()) {
    colour.Assign(glyph);
    colour.SetPixelFormat(pf24bit);
    glyph = &colour;
  }
  auto disabled = MakeOutlineGlyph(glyph, clBlack);
  disabled->SetTransparentColor(clBtnFace);
  disabled->SetTransparentMode(tmFixed);
  return disabled;
}

// The states of the upper and lower part in each of the six faces.
constexpr TThemedState kFaceStates[6][2] = {
    {thsPressed, thsNormal}, {thsNormal, thsPressed}, {thsNormal, thsNormal},
    {thsDisabled, thsDisabled}, {thsHot, thsNormal}, {thsNormal, thsHot},
};
constexpr TXcSpinButtonState kFacePressed[6] = {sbsTopDown, sbsBottomDown, sbsNotDown, sbsNotDown, sbsNotDown, sbsNotDown};

std::unique_ptr<TBitmap> FaceBitmap(int32_t width, int32_t height) {
  auto b = std::make_unique<TBitmap>(std::max(width, 0), std::max(height, 0));
  if (width > 0 && height > 0) {
    b->Canvas()->Brush()->SetColor(clBtnFace);
    b->Canvas()->FillRect(Rect(0, 0, width, height));
  }
  return b;
}

}  // namespace

void RegisterSpinResources() {
  auto RegisterGlyph = [](const std::string& name, const std::vector<uint8_t>& file) {
    RegisterBitmapResource(name, file.data(), file.size());
  };
  RegisterGlyph(kSpinUpResource, MonochromeBitmapFileFromRows(kUp, 6, 6));
  RegisterGlyph(kSpinDownResource, MonochromeBitmapFileFromRows(kDown, 6, 6));
  RegisterGlyph(kSpinUpPoleResource, MonochromeBitmapFileFromRows(kUpPole, 7, 4));
  RegisterGlyph(kSpinDownPoleResource, MonochromeBitmapFileFromRows(kDownPole, 7, 4));
}

TSpinButtonBitmapsManager* SpinButtonBitmapsManager() { return g_manager.get(); }

// ------------------------------------------------------------------------------ TSpinButtonBitmaps

TSpinButtonBitmaps::TSpinButtonBitmaps(TSpinButtonBitmapsManager* manager, int32_t width, int32_t height,
                                       TXcSpinButtonStyle style, bool customGlyphs)
    : manager_(manager), height_(height), width_(width), style_(style), customGlyphs_(customGlyphs) {
  Render();
}

void TSpinButtonBitmaps::Release() {
  if (--refCount_ > 0) return;
  manager_->Remove(this);  // frees this set: nothing may follow
}

void TSpinButtonBitmaps::Render() {
  ++renders_;
  rerender_ = false;
  visualStyles_ = ThemeServices()->ThemesEnabled();
  for (auto& f : faces_) f = std::make_unique<TBitmap>();
  if (width_ <= 0 || height_ <= 0) return;
  if (!visualStyles_) RenderPlain();
  else if (style_ == sbsClassic) RenderThemedClassic();
  else RenderThemedDefault();
}

void TSpinButtonBitmaps::DiagonalLines(TCanvas* c, TColor c1, TColor c2, TColor c3) {
  // On the rectangle less one pixel all round; each line leaves out its end point.
  const int32_t l = 1, t = 1, r = width_ - 1, b = height_ - 1;
  c->Pen()->SetWidth(1);
  c->Pen()->SetColor(c1);
  c->MoveTo(l, b - 2);
  c->LineTo(r - 1, t - 1);
  c->Pen()->SetColor(c3);
  c->MoveTo(r - 1, t);
  c->LineTo(l, b - 1);
  c->Pen()->SetColor(c2);
  c->MoveTo(l + 1, b - 1);
  c->LineTo(r, t);
}

void TSpinButtonBitmaps::DefaultGlyphs(TCanvas* c, TBitmap* up, TBitmap* down, int32_t upShift) {
  const double w = width_, h = height_;
  if (up && !up->Empty())
    DrawGlyph(c, Round(w / 4 - up->Width() / 2.0) + upShift, Round(h / 4 - up->Height() / 2.0) + upShift, up);
  if (down && !down->Empty())
    DrawGlyph(c, Round(3 * w / 4 - down->Width() / 2.0) - 1, Round(3 * h / 4 - down->Height() / 2.0) - 1, down);
}

void TSpinButtonBitmaps::ClassicGlyphs(TCanvas* c, TXcSpinButtonState state, TBitmap* up, TBitmap* down) {
  HDC dc = c->Handle();
  const int32_t half = height_ / 2;
  const bool topDown = state == sbsTopDown;
  if (up && !up->Empty()) {
    // Centred in the upper half, or at its top when it does not fit.
    const int32_t x = (width_ - up->Width()) / 2;
    const int32_t y = up->Height() > height_ - half - 1 ? 0 : (half - up->Height()) / 2;
    const int32_t saved = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, width_, half + (topDown ? 0 : 1));
    DrawGlyph(c, x, y, up);
    RestoreDC(dc, saved);
  }
  if (down && !down->Empty()) {
    // The lower half starts a row lower while the upper one is pressed; the glyph is centred in
    // it, or at its bottom when it does not fit.
    const int32_t top = half + (topDown ? 1 : 0), rows = height_ - top;
    const int32_t x = (width_ - down->Width()) / 2;
    const int32_t y = down->Height() > rows - 1 ? height_ - down->Height() : top + (rows - down->Height()) / 2;
    const int32_t saved = SaveDC(dc);
    IntersectClipRect(dc, 0, half, width_, height_);
    DrawGlyph(c, x, y, down);
    RestoreDC(dc, saved);
  }
}

void TSpinButtonBitmaps::RenderPlain() {
  for (int f = 0; f < 4; ++f) {
    const TXcSpinButtonState state = kFacePressed[f];
    const bool enabled = f != 3;
    faces_[f] = FaceBitmap(width_, height_);
    TCanvas* c = faces_[f]->Canvas();
    HDC dc = c->Handle();
    TBitmap* up = customGlyphs_ ? nullptr : manager_->UpGlyph(style_, enabled);
    TBitmap* down = customGlyphs_ ? nullptr : manager_->DownGlyph(style_, enabled);
    if (style_ == sbsDefault) {
      TColor c1 = clBtnShadow, c2 = clBtnHighlight, c3 = cl3DDkShadow;
      uint32_t upper = EDGE_RAISED, lower = EDGE_RAISED;
      if (state == sbsTopDown) upper = EDGE_SUNKEN, c1 = clBtnFace, c3 = clBtnHighlight;
      if (state == sbsBottomDown) lower = EDGE_SUNKEN, c2 = clWindowFrame, c3 = clBtnShadow;
      TRect r = Rect(0, 0, width_, height_);
      DrawEdge(dc, &r, upper, BF_LEFT | BF_TOP | BF_SOFT);
      r = Rect(0, 0, width_, height_);
      DrawEdge(dc, &r, lower, BF_RIGHT | BF_BOTTOM | BF_SOFT);
      DiagonalLines(c, c1, c2, c3);
      DefaultGlyphs(c, up, down, state == sbsTopDown ? 2 : 1);
    } else {
      const int32_t half = height_ / 2;
      TRect upperHalf = Rect(0, 0, width_, half + (state == sbsTopDown ? 0 : 1));
      TRect lowerHalf = Rect(0, half, width_, height_);
      DrawEdge(dc, &upperHalf, state == sbsTopDown ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT | BF_ADJUST);
      DrawEdge(dc, &lowerHalf, state == sbsBottomDown ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT | BF_ADJUST);
      ClassicGlyphs(c, state, up, down);
    }
  }
}

void TSpinButtonBitmaps::RenderThemedClassic() {
  TThemeServices* themes = ThemeServices();
  const int32_t half = height_ / 2;
  for (int f = 0; f < 6; ++f) {
    faces_[f] = FaceBitmap(width_, height_);
    HDC dc = faces_[f]->Canvas()->Handle();
    // The row between the halves is the upper part's while that part is not in its normal state.
    const int32_t split = half + (kFaceStates[f][0] != thsNormal ? 1 : 0);
    const TRect upperClip = Rect(0, 0, width_, split), lowerClip = Rect(0, split, width_, height_);
    themes->DrawElement(dc, {thpSpinUp, kFaceStates[f][0]}, Rect(-1, -1, width_ + 1, half + 1), &upperClip);
    themes->DrawElement(dc, {thpSpinDown, kFaceStates[f][1]}, Rect(-1, half - 1, width_ + 1, height_ + 1), &lowerClip);
  }
}

void TSpinButtonBitmaps::RenderThemedDefault() {
  TThemeServices* themes = ThemeServices();
  // The push button in its four states, drawn over the button grown by one pixel all round.
  const TThemedState states[4] = {thsNormal, thsHot, thsPressed, thsDisabled};
  std::unique_ptr<TBitmap> images[4];
  for (int i = 0; i < 4; ++i) {
    images[i] = FaceBitmap(width_ + 2, height_ + 2);
    themes->DrawElement(images[i]->Canvas()->Handle(), {thpPushButton, states[i]}, Rect(0, 0, width_ + 2, height_ + 2));
  }
  auto image = [&](TThemedState s) { return images[s == thsHot ? 1 : s == thsPressed ? 2 : s == thsDisabled ? 3 : 0].get(); };
  const TThemedElementDetails normal{thpPushButton, thsNormal};
  const TColor light = static_cast<TColor>(themes->GetColor(normal, thcEdgeLight));
  const TColor hint = static_cast<TColor>(themes->GetColor(normal, thcBorderHint));
  const TColor shadow = static_cast<TColor>(themes->GetColor(normal, thcEdgeShadow));
  // The two triangles of the grown rectangle on either side of the diagonal.
  const TPoint upperLeft[3] = {{-1, height_ + 1}, {-1, -1}, {width_ + 1, -1}};
  const TPoint lowerRight[3] = {{width_ + 1, -1}, {width_ + 1, height_ + 1}, {-1, height_ + 1}};
  for (int f = 0; f < 6; ++f) {
    faces_[f] = FaceBitmap(width_, height_);
    TCanvas* c = faces_[f]->Canvas();
    HDC dc = c->Handle();
    for (int part = 0; part < 2; ++part) {
      HRGN triangle = CreatePolygonRgn(part == 0 ? upperLeft : lowerRight, 3, WINDING);
      const int32_t saved = SaveDC(dc);
      SelectClipRgn(dc, triangle);
      BitBlt(dc, -1, -1, width_ + 2, height_ + 2, image(kFaceStates[f][part])->Canvas()->Handle(), 0, 0, SRCCOPY);
      RestoreDC(dc, saved);
      DeleteObject(triangle);
    }
    DiagonalLines(c, light, hint, shadow);
    if (!customGlyphs_) {
      const bool enabled = f != 3;
      DefaultGlyphs(c, manager_->UpGlyph(sbsDefault, enabled), manager_->DownGlyph(sbsDefault, enabled), 1);
    }
  }
}

void TSpinButtonBitmaps::Draw(TCanvas* canvas, TXcSpinButtonState state, bool enabled, bool hotTop, bool hotBottom) {
  // Visual styles switched since the faces were made: they are made again, as after a theme change.
  if (rerender_ || visualStyles_ != ThemeServices()->ThemesEnabled()) Render();
  int f;
  if (!enabled) f = 3;
  else if (state == sbsTopDown) f = 0;
  else if (state == sbsBottomDown) f = 1;
  else f = visualStyles_ && hotTop ? 4 : visualStyles_ && hotBottom ? 5 : 2;
  TBitmap* face = faces_[f].get();
  if (!face || face->Empty()) return;
  BitBlt(canvas->Handle(), 0, 0, width_, height_, face->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TSpinButtonBitmaps::DrawGlyphs(TCanvas* canvas, TXcSpinButtonState state, bool enabled, TBitmap* upGlyph,
                                    TBitmap* downGlyph) {
  if (visualStyles_ && style_ == sbsClassic) return;
  std::unique_ptr<TBitmap> upDisabled, downDisabled;
  if (!enabled) {
    if (upGlyph && !upGlyph->Empty()) upDisabled = DisabledGlyph(upGlyph);
    if (downGlyph && !downGlyph->Empty()) downDisabled = DisabledGlyph(downGlyph);
  }
  TBitmap* up = enabled ? upGlyph : upDisabled.get();
  TBitmap* down = enabled ? downGlyph : downDisabled.get();
  if (style_ == sbsClassic) {
    ClassicGlyphs(canvas, state, up, down);
  } else {
    DefaultGlyphs(canvas, up, down, !visualStyles_ && state == sbsTopDown ? 2 : 1);
  }
}

// ----------------------------------------------------------------------- TSpinButtonBitmapsManager

TSpinButtonBitmapsManager::TSpinButtonBitmapsManager() {
  const char* names[4] = {kSpinUpResource, kSpinDownResource, kSpinUpPoleResource, kSpinDownPoleResource};
  for (int i = 0; i < 4; ++i) {
    glyphs_[i] = std::make_unique<TBitmap>();
    glyphs_[i]->LoadFromResourceName(0, names[i]);
    glyphs_[i + 4] = DisabledGlyph(glyphs_[i].get());
  }
}

TSpinButtonBitmapsManager::~TSpinButtonBitmapsManager() = default;

TBitmap* TSpinButtonBitmapsManager::UpGlyph(TXcSpinButtonStyle style, bool enabled) {
  return glyphs_[(style == sbsClassic ? 2 : 0) + (enabled ? 0 : 4)].get();
}

TBitmap* TSpinButtonBitmapsManager::DownGlyph(TXcSpinButtonStyle style, bool enabled) {
  return glyphs_[(style == sbsClassic ? 3 : 1) + (enabled ? 0 : 4)].get();
}

TSpinButtonBitmaps* TSpinButtonBitmapsManager::Acquire(int32_t width, int32_t height, TXcSpinButtonStyle style,
                                                       bool customGlyphs) {
  auto key = [](int32_t w, int32_t h, TXcSpinButtonStyle s, bool c) { return std::tuple(w, h, static_cast<int>(s), c); };
  const auto wanted = key(width, height, style, customGlyphs);
  auto at = std::lower_bound(sets_.begin(), sets_.end(), wanted, [&](const auto& set, const auto& k) {
    return key(set->Width(), set->Height(), set->Style(), set->CustomGlyphs()) < k;
  });
  if (at != sets_.end() && key((*at)->Width(), (*at)->Height(), (*at)->Style(), (*at)->CustomGlyphs()) == wanted)
    return at->get();
  auto set = std::make_unique<TSpinButtonBitmaps>(this, width, height, style, customGlyphs);
  return sets_.insert(at, std::move(set))->get();
}

void TSpinButtonBitmapsManager::Remove(TSpinButtonBitmaps* set) {
  auto it = std::find_if(sets_.begin(), sets_.end(), [set](const auto& s) { return s.get() == set; });
  if (it != sets_.end()) sets_.erase(it);
}

// ------------------------------------------------------------------------------------ TXcSpinButton

TXcSpinButton::TXcSpinButton(TComponent* owner)
    : TXcExGraphicControl(owner), upGlyph_(std::make_unique<TBitmap>()), downGlyph_(std::make_unique<TBitmap>()) {
  if (!g_manager) g_manager = std::make_unique<TSpinButtonBitmapsManager>();
  g_manager->AddClient();
  SetBounds(Left(), Top(), 20, 20);
  upGlyph_->OnChange = [this](TObject*) { GlyphChanged(); };
  downGlyph_->OnChange = [this](TObject*) { GlyphChanged(); };
}

TXcSpinButton::~TXcSpinButton() {
  if (repeatTimer_) {
    repeatTimer_->SetEnabled(false);
    repeatTimer_->OnTimer = nullptr;
  }
  upGlyph_->OnChange = nullptr;
  downGlyph_->OnChange = nullptr;
  ReleaseFaces();
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  g_manager->RemoveClient();
  if (g_manager->Clients() == 0) g_manager.reset();
}

void TXcSpinButton::ReleaseFaces() {
  if (!faces_) return;
  TSpinButtonBitmaps* faces = faces_;
  faces_ = nullptr;
  faces->Release();
}

void TXcSpinButton::GlyphChanged() {
  // The glyphs are drawn without their transparent colour from now on.
  for (TBitmap* g : {upGlyph_.get(), downGlyph_.get()})
    if (!g->Empty() && !g->Transparent()) {
      TNotifyEvent keep = std::move(g->OnChange);
      g->OnChange = nullptr;
      g->SetTransparent(true);
      g->OnChange = std::move(keep);
    }
  ReleaseFaces();
  Invalidate();
}

void TXcSpinButton::SetButtonStyle(TXcSpinButtonStyle value) {
  if (value == buttonStyle_) return;
  buttonStyle_ = value;
  GlyphChanged();
}

void TXcSpinButton::SetUpGlyph(TBitmap* value) {
  if (value) upGlyph_->Assign(value);
  else upGlyph_->Assign(nullptr);
}

void TXcSpinButton::SetDownGlyph(TBitmap* value) {
  if (value) downGlyph_->Assign(value);
  else downGlyph_->Assign(nullptr);
}

void TXcSpinButton::SetFocusControl(TWinControl* value) { ReplaceComponentRef(this, value, focusControl_); }

void TXcSpinButton::Notification(TComponent* component, TOperation operation) {
  TXcExGraphicControl::Notification(component, operation);
  if (operation == opRemove && static_cast<void*>(component) == static_cast<void*>(focusControl_)) focusControl_ = nullptr;
}

void TXcSpinButton::WndProc(TMessage& m) {
  if (m.Msg == CM_SYSCOLORCHANGE) {
    if (faces_) faces_->MarkForRerender();
    Invalidate();
  }
  TXcExGraphicControl::WndProc(m);
}

bool TXcSpinButton::InBottomHalf(int x, int y) const {
  const int w = Width(), h = Height();
  if (buttonStyle_ == sbsClassic) return y > h / 2;
  // Below the diagonal from (0, h) to (w, 0). A button without width has no lower half.
  if (w <= 0) return false;
  return y > h - static_cast<double>(h) / w * x;
}

void TXcSpinButton::Paint() {
  if (Width() <= 0 || Height() <= 0) return;
  if (faces_ && (faces_->Width() != Width() || faces_->Height() != Height())) ReleaseFaces();
  if (!faces_) {
    faces_ = g_manager->Acquire(Width(), Height(), buttonStyle_, HasCustomGlyphs());
    faces_->AddRef();
  }
  if (!Enabled() && !(ComponentState() & csDesigning)) dragging_ = false;
  faces_->Draw(Canvas(), pressed_, Enabled(), hotTop_, hotBottom_);
  if (HasCustomGlyphs()) faces_->DrawGlyphs(Canvas(), pressed_, Enabled(), upGlyph_.get(), downGlyph_.get());
}

void TXcSpinButton::ClickHalf(TXcSpinButtonState half) {
  if (half == sbsBottomDown) {
    if (OnBottomClick) OnBottomClick(this);
  } else if (OnTopClick) {
    OnTopClick(this);
  }
  // The handler took the press away (a modal window got the release): the press is over.
  if (GetKeyState(VK_LBUTTON) >= 0 && pressed_ != sbsNotDown) {
    pressed_ = sbsNotDown;
    Invalidate();
  }
}

void TXcSpinButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TXcExGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !Enabled()) return;
  if (focusControl_ && focusControl_->TabStop() && focusControl_->CanFocus() && !focusControl_->Focused())
    focusControl_->SetFocus();
  if (pressed_ == sbsNotDown) {
    lastPressed_ = sbsNotDown;
    pressed_ = InBottomHalf(x, y) ? sbsBottomDown : sbsTopDown;
    ClickHalf(pressed_);
    if (pressed_ != lastPressed_) {
      lastPressed_ = pressed_;
      Repaint();
    }
    if (!repeatTimer_) {
      repeatTimer_ = new TTimer(this);
      repeatTimer_->SetEnabled(false);
      repeatTimer_->OnTimer = [this](TObject*) { RepeatTick(); };
    }
    repeatTimer_->SetInterval(static_cast<uint32_t>(std::max(initRepeatPause_, 1)));
    repeatTimer_->SetEnabled(true);
  }
  dragging_ = true;
}

void TXcSpinButton::RepeatTick() {
  repeatTimer_->SetInterval(static_cast<uint32_t>(std::max(repeatPause_, 1)));
  if (pressed_ == sbsNotDown || GetCaptureControl() != this) return;
  try {
    ClickHalf(pressed_);
  } catch (...) {
    repeatTimer_->SetEnabled(false);
    throw;
  }
}

void TXcSpinButton::MouseMove(TShiftState shift, int x, int y) {
  TXcExGraphicControl::MouseMove(shift, x, y);
  if (dragging_) {
    TXcSpinButtonState state = sbsNotDown;
    if (x >= 0 && x <= Width() && y >= 0 && y <= Height()) {
      // Over the half the press began on it shows pressed again; never over the other.
      if (InBottomHalf(x, y)) state = lastPressed_ == sbsBottomDown ? sbsBottomDown : sbsNotDown;
      else state = lastPressed_ == sbsTopDown ? sbsTopDown : sbsNotDown;
    }
    if (state != pressed_) {
      pressed_ = state;
      Repaint();
    }
  } else if (ThemeServices()->ThemesEnabled() && (hotTop_ || hotBottom_)) {
    const bool bottom = InBottomHalf(x, y);
    if (bottom != hotBottom_) {
      hotBottom_ = bottom;
      hotTop_ = !bottom;
      Repaint();
    }
  }
}

void TXcSpinButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TXcExGraphicControl::MouseUp(button, shift, x, y);
  if (!dragging_) return;
  dragging_ = false;
  // The press ends wherever the pointer is, so that the next one starts afresh.
  if (repeatTimer_) repeatTimer_->SetEnabled(false);
  pressed_ = lastPressed_ = sbsNotDown;
  Repaint();
}

void TXcSpinButton::HandleMouseEntry(TControl* control) {
  if (!control && !(ComponentState() & csDesigning) && !hotTop_ && !hotBottom_) {
    const DWORD pos = GetMessagePos();
    const TPoint p = ScreenToClient(Point(GET_X_LPARAM(pos), GET_Y_LPARAM(pos)));
    hotBottom_ = InBottomHalf(p.X, p.Y);
    hotTop_ = !hotBottom_;
    if (ThemeServices()->ThemesEnabled()) Repaint();
  }
  TXcExGraphicControl::HandleMouseEntry(control);
}

void TXcSpinButton::HandleMouseExit(TControl* control) {
  if (!control && (hotTop_ || hotBottom_)) {
    hotTop_ = hotBottom_ = false;
    if (ThemeServices()->ThemesEnabled()) Repaint();
  }
  TXcExGraphicControl::HandleMouseExit(control);
}
