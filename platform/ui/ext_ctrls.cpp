#include "platform/ui/ext_ctrls.h"

#include <algorithm>

#include "platform/gdi/graphics.h"
#include "platform/ui/window_dc.h"

// ---------------------------------------------------------------------------------------- TCustomPanel

namespace {

// The two colours of a raised or lowered bevel.
void BevelColors(TBevelCut cut, TColor& top, TColor& bottom) {
  top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
  bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
}

}  // namespace

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  controlStyle_ = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque | csDoubleClicks |
                  csReplicatable;
  width_ = 185;
  height_ = 41;
  color_ = clBtnFace;
  parentColor_ = false;
}

void TCustomPanel::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  if (borderStyle_ == bsSingle) {
    if (Ctl3D()) params.ExStyle |= WS_EX_CLIENTEDGE;
    else params.Style |= WS_BORDER;
  }
}

void TCustomPanel::SetBevelInner(TPanelBevel value) {
  if (value == bevelInnerPanel_) return;
  bevelInnerPanel_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TPanelBevel value) {
  if (value == bevelOuterPanel_) return;
  bevelOuterPanel_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int value) {
  if (value == bevelWidthPanel_ || value < 1) return;
  bevelWidthPanel_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(int value) {
  if (value == borderWidthPanel_ || value < 0) return;
  borderWidthPanel_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TCustomPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomPanel::AdjustClientRect(TRect& rect) {
  TCustomControl::AdjustClientRect(rect);
  int bevel = borderWidthPanel_;
  if (bevelOuterPanel_ != bvNone) bevel += bevelWidthPanel_;
  if (bevelInnerPanel_ != bvNone) bevel += bevelWidthPanel_;
  InflateRect(rect, -bevel, -bevel);
}

void TCustomPanel::Paint() {
  static const uint32_t kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  TCanvas* c = Canvas();
  TRect rect = ClientRect();
  TColor top, bottom;
  if (bevelOuterPanel_ != bvNone) {
    BevelColors(bevelOuterPanel_, top, bottom);
    Frame3D(c, rect, top, bottom, bevelWidthPanel_);
  }
  Frame3D(c, rect, color_, color_, borderWidthPanel_);
  if (bevelInnerPanel_ != bvNone) {
    BevelColors(bevelInnerPanel_, top, bottom);
    Frame3D(c, rect, top, bottom, bevelWidthPanel_);
  }
  c->Brush()->SetColor(color_);
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(rect);
  c->Brush()->SetStyle(bsClear);
  c->SetFont(*Font());
  int fontHeight = c->TextHeight("W");
  rect.Top = (rect.Bottom + rect.Top - fontHeight) / 2;
  rect.Bottom = rect.Top + fontHeight;
  std::string caption = Caption();
  HDC dc = c->Handle();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  DrawText(dc, caption.c_str(), -1, &rect, DT_EXPANDTABS | DT_VCENTER | kAlign[alignment_]);
}

void TCustomPanel::CMTextChanged(TMessage& m) {
  TCustomControl::CMTextChanged(m);
  Invalidate();
}

// ---------------------------------------------------------------------------------------------- TBevel

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
  controlStyle_ |= csReplicatable;
  width_ = 50;
  height_ = 50;
}

void TBevel::SetShape(TBevelShape value) {
  if (value == shape_) return;
  shape_ = value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle value) {
  if (value == style_) return;
  style_ = value;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* c = Canvas();
  TColor color1 = clBtnShadow, color2 = clBtnHighlight;  // lowered: shadow first
  if (style_ == bsRaised) std::swap(color1, color2);
  int w = width_, h = height_;
  auto line = [c](TColor color, int x1, int y1, int x2, int y2) {
    c->Pen()->SetColor(color);
    c->MoveTo(x1, y1);
    c->LineTo(x2, y2);
  };
  c->Pen()->SetWidth(1);
  switch (shape_) {
    case bsBox: {
      TRect r = ClientRect();
      Frame3D(c, r, color1, color2, 1);
      break;
    }
    case bsFrame: {
      TRect r = Rect(0, 0, w - 1, h - 1);
      Frame3D(c, r, color1, color2, 1);
      r = Rect(1, 1, w, h);
      Frame3D(c, r, color2, color1, 1);
      break;
    }
    case bsTopLine:
      line(color1, 0, 0, w, 0);
      line(color2, 0, 1, w, 1);
      break;
    case bsBottomLine:
      line(color1, 0, h - 2, w, h - 2);
      line(color2, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      line(color1, 0, 0, 0, h);
      line(color2, 1, 0, 1, h);
      break;
    case bsRightLine:
      line(color1, w - 2, 0, w - 2, h);
      line(color2, w - 1, 0, w - 1, h);
      break;
    case bsSpacer: break;
  }
}

// ---------------------------------------------------------------------------------------------- TShape

TShape::TShape(TComponent* owner)
    : TGraphicControl(owner), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {
  controlStyle_ |= csReplicatable;
  width_ = 65;
  height_ = 65;
  pen_->OnChange = [this](TObject*) { Invalidate(); };
  brush_->OnChange = [this](TObject*) { Invalidate(); };
}

TShape::~TShape() {
  pen_->OnChange = nullptr;
  brush_->OnChange = nullptr;
}

void TShape::SetShape(TShapeType value) {
  if (value == shape_) return;
  shape_ = value;
  Invalidate();
}

void TShape::Paint() {
  TCanvas* c = Canvas();
  c->SetPen(*pen_);
  c->SetBrush(*brush_);
  int pw = pen_->Width();
  int x = pw / 2, y = x;
  int w = width_ - pw + 1, h = height_ - pw + 1;
  if (pw == 0) {
    --w;
    --h;
  }
  int s = std::min(w, h);
  if (shape_ == stSquare || shape_ == stRoundSquare || shape_ == stCircle) {
    x += (w - s) / 2;
    y += (h - s) / 2;
    w = h = s;
  }
  switch (shape_) {
    case stRectangle: case stSquare: c->Rectangle(x, y, x + w, y + h); break;
    case stRoundRect: case stRoundSquare: c->RoundRect(x, y, x + w, y + h, s / 4, s / 4); break;
    case stEllipse: case stCircle: c->Ellipse(x, y, x + w, y + h); break;
  }
}

// ---------------------------------------------------------------------------------------------- TImage

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>()) {
  controlStyle_ |= csReplicatable;
  width_ = 105;
  height_ = 105;
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() { picture_->OnChange = nullptr; }

TCanvas* TImage::Canvas() {
  if (!picture_->Graphic()) {
    // Drawing on an empty image makes a bitmap of the image's size.
    TBitmap* b = picture_->Bitmap();
    b->SetSize(width_, height_);
  }
  auto* bitmap = dynamic_cast<TBitmap*>(picture_->Graphic());
  if (!bitmap) throw EInvalidOperation("Can only modify an image if it contains a bitmap");
  return bitmap->Canvas();
}

void TImage::SetCenter(bool value) {
  if (value == center_) return;
  center_ = value;
  PictureChanged();
}

void TImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  PictureChanged();
}

void TImage::SetProportional(bool value) {
  if (value == proportional_) return;
  proportional_ = value;
  PictureChanged();
}

void TImage::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  PictureChanged();
}

TRect TImage::DestRect() {
  int w = picture_->Width(), h = picture_->Height();
  int cw = width_, ch = height_;
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      double xy = static_cast<double>(w) / h;
      if (cw / xy <= ch) {
        w = cw;
        h = static_cast<int>(cw / xy);
      } else {
        h = ch;
        w = static_cast<int>(ch * xy);
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r = Rect(0, 0, w, h);
  if (center_) OffsetRect(r, (cw - w) / 2, (ch - h) / 2);
  return r;
}

void TImage::Paint() {
  TCanvas* c = TGraphicControl::Canvas();
  drawing_ = true;
  try {
    if (TGraphic* g = picture_->Graphic()) {
      g->SetTransparent(transparent_);
      c->StretchDraw(DestRect(), g);
    }
  } catch (...) {
    drawing_ = false;
    throw;
  }
  drawing_ = false;
}

bool TImage::CanAutoSize(int& newWidth, int& newHeight) {
  if (picture_->Width() > 0 && picture_->Height() > 0) {
    newWidth = picture_->Width();
    newHeight = picture_->Height();
  }
  return true;
}

void TImage::PictureChanged() {
  if (drawing_) return;
  if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(left_, top_, picture_->Width(), picture_->Height());
  Invalidate();
}

// ------------------------------------------------------------------------------------------- TPaintBox

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) {
  controlStyle_ |= csReplicatable;
  width_ = 105;
  height_ = 105;
}

void TPaintBox::Paint() {
  if (OnPaint) OnPaint(this);
}

// ------------------------------------------------------------------------------------------- TSplitter

TSplitter::TSplitter(TComponent* owner) : TGraphicControl(owner) {
  align_ = alLeft;
  width_ = 3;
  height_ = 100;
  cursor_ = crHSplit;
}

void TSplitter::SetBeveled(bool value) {
  if (value == beveled_) return;
  beveled_ = value;
  Invalidate();
}

void TSplitter::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(color_);
  c->FillRect(r);
  if (!beveled_) return;
  if (align_ == alLeft || align_ == alRight) InflateRect(r, -1, 2);
  else InflateRect(r, 2, -1);
  Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
}

TControl* TSplitter::FindControl() {
  if (!parent_) return nullptr;
  TPoint p = Point(left_, top_);
  switch (align_) {
    case alLeft: --p.X; break;
    case alRight: p.X += width_; break;
    case alTop: --p.Y; break;
    case alBottom: p.Y += height_; break;
    default: return nullptr;
  }
  for (int i = 0; i < parent_->ControlCount(); ++i) {
    TControl* c = parent_->Controls(i);
    if (c == this || !c->Visible() || !c->Enabled()) continue;
    TRect r = c->BoundsRect();
    // A control shrunk to nothing still sits beside the splitter.
    if (r.Width() == 0) (align_ == alTop || align_ == alLeft) ? --r.Left : ++r.Right;
    if (r.Height() == 0) (align_ == alTop || align_ == alLeft) ? --r.Top : ++r.Bottom;
    if (PtInRect(r, p)) return c;
  }
  return nullptr;
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  control_ = FindControl();
  downPos_ = Point(x, y);
  if (!control_) return;
  bool horizontal = align_ == alLeft || align_ == alRight;
  // The most the control can take: the parent's room minus the minimum left for the client area and
  // the other controls aligned on the same axis.
  maxSize_ = (horizontal ? parent_->ClientWidth() : parent_->ClientHeight()) - minSize_;
  for (int i = 0; i < parent_->ControlCount(); ++i) {
    TControl* c = parent_->Controls(i);
    if (!c->Visible()) continue;
    if (horizontal && (c->Align() == alLeft || c->Align() == alRight)) maxSize_ -= c->Width();
    if (!horizontal && (c->Align() == alTop || c->Align() == alBottom)) maxSize_ -= c->Height();
  }
  maxSize_ += horizontal ? control_->Width() : control_->Height();
  oldSize_ = horizontal ? control_->Width() : control_->Height();
  UpdateSize(x, y);
}

void TSplitter::UpdateSize(int x, int y) {
  int split = (align_ == alLeft || align_ == alRight) ? x - downPos_.X : y - downPos_.Y;
  int size = 0;
  switch (align_) {
    case alLeft: size = control_->Width() + split; break;
    case alRight: size = control_->Width() - split; break;
    case alTop: size = control_->Height() + split; break;
    case alBottom: size = control_->Height() - split; break;
    default: break;
  }
  newSize_ = std::clamp(size, minSize_, std::max(minSize_, maxSize_));
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!control_) return;
  int before = newSize_;
  UpdateSize(x, y);
  int size = newSize_;
  bool accept = true;
  if (OnCanResize) OnCanResize(this, size, accept);
  if (!accept) {
    newSize_ = before;
    return;
  }
  if (size <= minSize_ && autoSnap_) size = 0;
  newSize_ = size;
  if (resizeStyle_ == rsUpdate) ApplySize();
}

void TSplitter::RequestAlign() {
  if (cursor_ == crHSplit || cursor_ == crVSplit) cursor_ = (align_ == alTop || align_ == alBottom) ? crVSplit : crHSplit;
  TGraphicControl::RequestAlign();
}

void TSplitter::ApplySize() {
  TControl* c = control_;
  if (!c || newSize_ == oldSize_) return;
  switch (align_) {
    case alLeft: c->SetWidth(newSize_); break;
    case alTop: c->SetHeight(newSize_); break;
    case alRight:
      parent_->DisableAlign();
      c->SetBounds(c->Left() + c->Width() - newSize_, c->Top(), newSize_, c->Height());
      parent_->EnableAlign();
      break;
    case alBottom:
      parent_->DisableAlign();
      c->SetBounds(c->Left(), c->Top() + c->Height() - newSize_, c->Width(), newSize_);
      parent_->EnableAlign();
      break;
    default: break;
  }
  oldSize_ = newSize_;
  if (OnMoved) OnMoved(this);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (!control_ || button != mbLeft) return;
  ApplySize();
  control_ = nullptr;
}
