#include "controls/xc_xp_buttons.h"

#include "controls/xc_bitmap_utils.h"

#include <atomic>
#include "platform/ui/forms.h"

namespace {

// The gradients of the faces and frames: 64 colours from top to bottom, dithered.
constexpr int32_t kFaceColors = 64;
constexpr int32_t kFaceStyle = 1;

void MakeFace(TBitmap* face, int32_t width, int32_t height, uint32_t from, uint32_t to) {
  if (width <= 0 || height <= 0) {
    face->SetSize(0, 0);
    return;
  }
  CreateGradientBitmap(width, height, TColorOf(from), TColorOf(to), kFaceColors, kFaceStyle, true, face);
  // Kept in the form the button's canvas draws in, so that every paint copies it straight.
  face->SetPixelFormat(pf32bit);
}

void CopyFace(TCanvas* canvas, int32_t x, int32_t y, TBitmap* face) {
  if (face->Empty()) return;
  BitBlt(canvas->Handle(), x, y, face->Width(), face->Height(), face->Canvas()->Handle(), 0, 0, SRCCOPY);
}

}  // namespace

TXcXPCustomButton::TXcXPCustomButton(TComponent* owner) : TXcXPCustomStyleControl(owner) {
  SetControlStyle(ControlStyle() & ~csDoubleClicks);
  SetBounds(Left(), Top(), 73, 21);
  SetTabStop(true);
  glyph_.OnChange = [this](TObject*) { Redraw(); };
  imageChangeLink_.OnChange = [this](TObject*) {
    if (Action()) ActionChange(Action(), false);
  };
}

TXcXPCustomButton::~TXcXPCustomButton() {
  glyph_.OnChange = nullptr;
  if (imageChangeLink_.Sender()) imageChangeLink_.Sender()->UnRegisterChanges(&imageChangeLink_);
}

// ---- properties

void TXcXPCustomButton::SetAutoGray(bool value) {
  if (value == autoGray_) return;
  autoGray_ = value;
  Redraw();
}

void TXcXPCustomButton::SetCancel(bool value) {
  if (value == cancel_) return;
  cancel_ = value;
  Redraw();
}

void TXcXPCustomButton::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  if (TCustomForm* form = GetParentForm(this))
    form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
  Redraw();
}

void TXcXPCustomButton::SetDownState(bool value) {
  if (value == down_) return;
  down_ = value;
  Redraw();
}

void TXcXPCustomButton::SetGlyph(TPicture* value) { glyph_.Assign(value); }

void TXcXPCustomButton::SetLayout(TXcXPLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Redraw();
}

void TXcXPCustomButton::SetShowAccelChar(bool value) {
  if (value == showAccelChar_) return;
  showAccelChar_ = value;
  Redraw();
}

void TXcXPCustomButton::SetShowFocusRect(bool value) {
  if (value == showFocusRect_) return;
  showFocusRect_ = value;
  Redraw();
}

void TXcXPCustomButton::SetSmoothEdges(bool value) {
  if (value == smoothEdges_) return;
  smoothEdges_ = value;
  Redraw();
}

void TXcXPCustomButton::SetSpacing(int32_t value) {
  if (value == spacing_) return;
  spacing_ = value;
  Redraw();
}

void TXcXPCustomButton::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  Redraw();
}

void TXcXPCustomButton::SetImageIndex(int32_t value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  Redraw();
}

bool TXcXPCustomButton::IsHighlighted(bool ignoreDefault) const {
  bool result;
  if (drawFlags_.Contains(dfPressed) || down_) result = !(drawFlags_.Contains(dfHot) || down_);
  else result = drawFlags_.Contains(dfHot) || drawFlags_.Contains(dfFocused);
  if (!ignoreDefault && default_ && !activeIsXPControl_ && const_cast<TXcXPCustomButton*>(this)->CanFocus())
    result = true;
  return result;
}

// ---- faces

void TXcXPCustomButton::BuildFaces() {
  const int32_t w = Width(), h = Height();
  facesSize_ = {w, h};
  // The face at rest comes in both sizes the paint copies: inside the border, and inside the frame.
  MakeFace(&normalFace_, w - 2, h - 2, 0xFFFFFF, 0xE7EBEF);
  MakeFace(&normalHighlightedFace_, w - 6, h - 6, 0xFFFFFF, 0xE7EBEF);
  MakeFace(&pressedFace_, w - 2, h - 2, 0xC6CFD6, 0xEBF3F7);
  MakeFace(&focusFrame_, w - 2, h - 2, 0xFFE7CE, 0xEF846D);
  MakeFace(&hotFrame_, w - 2, h - 2, 0xCEF3FF, 0x0096E7);
}

TBitmap* TXcXPCustomButton::NormalFace(bool highlighted) {
  if (facesSize_.cx != Width() || facesSize_.cy != Height()) BuildFaces();
  return highlighted ? &normalHighlightedFace_ : &normalFace_;
}

TBitmap* TXcXPCustomButton::PressedFace() {
  if (facesSize_.cx != Width() || facesSize_.cy != Height()) BuildFaces();
  return &pressedFace_;
}

TBitmap* TXcXPCustomButton::FocusFrame() {
  if (facesSize_.cx != Width() || facesSize_.cy != Height()) BuildFaces();
  return &focusFrame_;
}

TBitmap* TXcXPCustomButton::HotFrame() {
  if (facesSize_.cx != Width() || facesSize_.cy != Height()) BuildFaces();
  return &hotFrame_;
}

void TXcXPCustomButton::Resized() {
  BuildFaces();
  TXcXPCustomStyleControl::Resized();
}

// ---- painting

TCustomImageList* TXcXPCustomButton::ActionImages() const {
  auto* a = dynamic_cast<TCustomAction*>(Action());
  return a && a->ActionList() ? a->ActionList()->Images() : nullptr;
}

std::unique_ptr<TBitmap> TXcXPCustomButton::GlyphBitmap(TGraphic*& drawDirect, TSize& size) {
  drawDirect = nullptr;
  const bool gray = autoGray_ && !Enabled();
  TCustomImageList* images = ActionImages();
  std::unique_ptr<TBitmap> b;
  if (images && imageIndex_ >= 0 && imageIndex_ < images->Count()) {
    // The entry on magenta, which stays transparent (greyed, as the grey magenta turns into).
    constexpr uint8_t kKey[3] = {0xFF, 0x00, 0xFF};
    b = std::make_unique<TBitmap>(images->Width(), images->Height());
    b->Canvas()->Brush()->SetColor(static_cast<TColor>(RGB(kKey[0], kKey[1], kKey[2])));
    b->Canvas()->FillRect(Rect(0, 0, images->Width(), images->Height()));
    images->Draw(b->Canvas(), 0, 0, imageIndex_, true);
    if (gray) GrayGlyph(b.get());
    const uint8_t g = GrayGlyphLevel(kKey[0], kKey[1], kKey[2]);
    b->SetTransparentColor(gray ? static_cast<TColor>(RGB(g, g, g)) : static_cast<TColor>(RGB(kKey[0], kKey[1], kKey[2])));
    b->SetTransparent(true);
    size = {b->Width(), b->Height()};
    return b;
  } else if (TGraphic* g = glyph_.Graphic(); g && !g->Empty()) {
    if (!gray && !dynamic_cast<TBitmap*>(g)) {
      // A picture of another kind draws itself, with its own transparency.
      drawDirect = g;
      size = {g->Width(), g->Height()};
      return nullptr;
    }
    b = std::make_unique<TBitmap>();
    b->Assign(g);
  } else {
    size = {0, 0};
    return nullptr;
  }
  if (gray) GrayGlyph(b.get());
  b->SetTransparent(true);
  size = {b->Width(), b->Height()};
  return b;
}

namespace {

std::atomic<int64_t> g_looksDrawn{0};

}  // namespace

int64_t TXcXPCustomButton::LooksDrawn() { return g_looksDrawn.load(); }

void TXcXPCustomButton::RequestRedraw() {
  ++lookGeneration_;
  TXcXPCustomStyleControl::RequestRedraw();
}

void TXcXPCustomButton::Redraw() {
  ++lookGeneration_;
  TXcXPCustomStyleControl::Redraw();
}

void TXcXPCustomButton::TextChanged() {
  ++lookGeneration_;
  TXcXPCustomStyleControl::TextChanged();
}

void TXcXPCustomButton::ParentColorChanged() {
  ++lookGeneration_;
  TXcXPCustomStyleControl::ParentColorChanged();
}

void TXcXPCustomButton::ParentFontChanged() {
  ++lookGeneration_;
  TXcXPCustomStyleControl::ParentFontChanged();
}

void TXcXPCustomButton::HandleColorChange() {
  ++lookGeneration_;
  TXcXPCustomStyleControl::HandleColorChange();
}

void TXcXPCustomButton::HandleFontChange() {
  ++lookGeneration_;
  TXcXPCustomStyleControl::HandleFontChange();
}

void TXcXPCustomButton::Paint() {
  const int32_t w = Width(), h = Height();
  if (w <= 0 || h <= 0) return;
  LookKey key;
  key.width = w;
  key.height = h;
  key.flags = drawFlags_.Bits();
  key.down = down_;
  key.enabled = Enabled();
  key.highlighted = IsHighlighted();
  key.rightToLeft = UseRightToLeftReading();
  key.generation = lookGeneration_;
  if (!(key == pictureKey_)) {
    if (picture_.Width() != w || picture_.Height() != h) {
      picture_.SetPixelFormat(pf32bit);
      picture_.SetSize(w, h);
    }
    ++g_looksDrawn;
    PaintLook(picture_.Canvas());
    pictureKey_ = key;
  }
  BitBlt(Canvas()->Handle(), 0, 0, w, h, picture_.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TXcXPCustomButton::PaintLook(TCanvas* canvas) {
  const int32_t w = Width(), h = Height();
  const bool highlighted = IsHighlighted();
  const bool pressed = down_ || (drawFlags_.Contains(dfHot) && drawFlags_.Contains(dfPressed));
  // 1. The background.
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(Rect(0, 0, w, h));
  // 2. The frame.
  if (highlighted) CopyFace(canvas, 1, 1, drawFlags_.Contains(dfHot) ? HotFrame() : FocusFrame());
  // 3. The face.
  if (pressed) {
    CopyFace(canvas, 1, 1, PressedFace());
  } else {
    const int32_t a = highlighted ? 1 : 0, k = 2 * a + 1;
    CopyFace(canvas, k, k, NormalFace(highlighted));
  }
  // 4. The rounded border.
  canvas->Pen()->SetColor(Enabled() ? kXPBorderColor : kXPDisabledBorderColor);
  canvas->Brush()->SetStyle(bsClear);
  canvas->RoundRect(0, 0, w, h, 5, 5);
  // 5. The smoothed corners.
  if (smoothEdges_) {
    canvas->Pen()->SetColor(Enabled() ? kXPSmoothColor : kXPDisabledBorderColor);
    DrawLine(canvas, 0, 1, 2, 0);
    DrawLine(canvas, w - 2, 0, w, 2);
    DrawLine(canvas, 0, h - 2, 2, h);
    DrawLine(canvas, w - 3, h, w, h - 3);
  }
  // 6., 7. The text format and the glyph.
  uint32_t format = DT_END_ELLIPSIS | (wordWrap_ ? DT_WORDBREAK : 0u);
  TGraphic* direct = nullptr;
  TSize g = {0, 0};
  std::unique_ptr<TBitmap> glyph = GlyphBitmap(direct, g);
  canvas->Font()->Assign(*Font());
  const std::string caption = Caption();
  const bool hasGlyph = g.cx > 0 && g.cy > 0;
  // 8. Room for the glyph.
  TRect r = Rect(0, 0, w, h);
  if (hasGlyph && !caption.empty()) {
    switch (layout_) {
      case blGlyphLeft: r.Left += g.cx + spacing_; break;
      case blGlyphRight:
        r.Left -= g.cx + spacing_;
        r.Right -= 2 * (g.cx + spacing_);
        format |= DT_RIGHT;
        break;
      case blGlyphTop: r.Top += g.cy + spacing_; break;
      case blGlyphBottom: r.Top -= g.cy + spacing_; break;
    }
  }
  // 9. The caption measured and centred.
  if (!caption.empty()) {
    DrawCaption(canvas, caption, format | DT_CALCRECT, r, showAccelChar_, Enabled(), Font(), UseRightToLeftReading());
    OffsetRect(r, (w - r.Right) / 2, (h - r.Bottom) / 2);
  }
  // 10. Pressed: one pixel right and down.
  const int32_t p = pressed ? 1 : 0;
  if (pressed) OffsetRect(r, 1, 1);
  // 11. The glyph, transparent.
  if (hasGlyph) {
    TPoint at;
    if (caption.empty()) {
      at = Point(p + (w - g.cx) / 2, p + (h - g.cy) / 2);
    } else {
      switch (layout_) {
        case blGlyphLeft: at = Point(r.Left - g.cx - spacing_, p + (h - g.cy) / 2); break;
        case blGlyphRight: at = Point(spacing_ + r.Right, p + (h - g.cy) / 2); break;
        case blGlyphTop: at = Point(p + (w - g.cx) / 2, r.Top - g.cy - spacing_); break;
        case blGlyphBottom: at = Point(p + (w - g.cx) / 2, spacing_ + r.Bottom); break;
      }
    }
    lastGlyphPos_ = at;
    if (glyph) canvas->Draw(at.X, at.Y, glyph.get());
    else if (direct) canvas->Draw(at.X, at.Y, direct);
  }
  lastTextRect_ = r;
  // 12. The focus rectangle.
  if (drawFlags_.Contains(dfFocused) && showFocusRect_) canvas->DrawFocusRect(Bounds(3, 3, w - 6, h - 6));
  // 13. The caption.
  if (!caption.empty()) {
    canvas->Brush()->SetStyle(bsClear);
    DrawCaption(canvas, caption, format, r, showAccelChar_, Enabled(), Font(), UseRightToLeftReading());
  }
}

// ---- keys

void TXcXPCustomButton::KeyDown(uint16_t& key, TShiftState shift) {
  TXcXPCustomStyleControl::KeyDown(key, shift);
  if (key == VK_SPACE && (shift & (ssShift | ssAlt | ssCtrl)) == 0) {
    drawFlags_.Include(dfHot);
    MousePressed();
  }
}

void TXcXPCustomButton::KeyUp(uint16_t& key, TShiftState shift) {
  TXcXPCustomStyleControl::KeyUp(key, shift);
  // Only the key that pressed the button lets it go and clicks it.
  if (key != VK_SPACE || !drawFlags_.Contains(dfPressed)) return;
  TPoint cursor;
  GetCursorPos(&cursor);
  cursor = ScreenToClient(cursor);
  if (!PtInRect(Rect(0, 0, Width(), Height()), cursor)) drawFlags_.Exclude(dfHot);
  drawFlags_.Exclude(dfPressed);
  Redraw();
  Click();
}

void TXcXPCustomButton::CMDialogKey(TMessage& m) {
  const auto key = static_cast<uint16_t>(m.WParam);
  const TShiftState shift = KeyDataToShiftState(m.LParam);
  if (CanFocus()) {
    if (key == VK_RETURN && (Focused() || (default_ && !activeIsXPControl_))) {
      Click();
      m.Result = 1;
      return;
    }
    if (key == VK_ESCAPE && (shift & (ssShift | ssAlt | ssCtrl)) == 0 && cancel_) {
      Click();
      m.Result = 1;
      return;
    }
  }
  TXcXPCustomStyleControl::CMDialogKey(m);
}

// ---- the action

void TXcXPCustomButton::ActionChange(TObject* sender, bool checkDefaults) {
  TXcXPCustomStyleControl::ActionChange(sender, checkDefaults);
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  TCustomImageList* images = ActionImages();
  if (imageChangeLink_.Sender() != images) {
    if (imageChangeLink_.Sender()) imageChangeLink_.Sender()->UnRegisterChanges(&imageChangeLink_);
    if (images) images->RegisterChanges(&imageChangeLink_);
  }
  if (images && a->ImageIndex() >= 0 && a->ImageIndex() < images->Count()) imageIndex_ = a->ImageIndex();
  Redraw();
}

std::unique_ptr<TControlActionLink> TXcXPCustomButton::CreateActionLink() {
  return std::make_unique<TXcXPCustomButtonActionLink>(this);
}

TXcXPCustomButtonActionLink::~TXcXPCustomButtonActionLink() {
  if (!(button_->ComponentState() & csDestroying)) button_->Redraw();
}

void TXcXPCustomButtonActionLink::SetImageIndex(int value) {
  button_->imageIndex_ = value;
  button_->Redraw();
}
