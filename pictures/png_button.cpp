#include "pictures/png_button.h"

#include "platform/gdi/graphics.h"
#include "platform/ui/window_dc.h"

namespace {

constexpr TColor kDesignOutline = 0xF0C9A6;
constexpr TColor kDisabledCaption = 0xC0C0C0;  // silver

}  // namespace

TPoint AlignedPosition(TObjectAlignment alignment, int32_t width, int32_t height, int32_t objectWidth,
                       int32_t objectHeight) {
  // Three columns of three: left, centre, right; in each top, middle, bottom. Halves round toward 0.
  const int32_t column = static_cast<int32_t>(alignment) / 3, row = static_cast<int32_t>(alignment) % 3;
  const int32_t x = column == 0 ? 0 : column == 1 ? (width - objectWidth) / 2 : width - objectWidth;
  const int32_t y = row == 0 ? 0 : row == 1 ? (height - objectHeight) / 2 : height - objectHeight;
  return {x, y};
}

TPNGButton::TPNGButton(TComponent* owner)
    : TGraphicControl(owner),
      pictureDefault_(std::make_unique<TPicture>()),
      pictureHot_(std::make_unique<TPicture>()),
      picturePress_(std::make_unique<TPicture>()),
      fontDefault_(std::make_unique<TFont>()),
      fontHot_(std::make_unique<TFont>()),
      fontPress_(std::make_unique<TFont>()) {
  width_ = 75;
  height_ = 25;
  autoSize_ = true;
  fontDefault_->OnChange = [this](TObject*) { Invalidate(); };
  if (Designing()) captionDefault_ = "PNGButton";
  info_ = "PNG picture button: a normal, a hot and a pressed picture and caption.";
}

TPNGButton::~TPNGButton() { fontDefault_->OnChange = nullptr; }

void TPNGButton::TakeDefaultPictureSize() {
  const int32_t w = pictureDefault_->Width(), h = pictureDefault_->Height();
  if (w > 0 && h > 0) SetBounds(left_, top_, w, h);
}

bool TPNGButton::CanAutoSize(int& newWidth, int& newHeight) {
  if (pictureDefault_->Width() > 0 && pictureDefault_->Height() > 0) {
    newWidth = pictureDefault_->Width();
    newHeight = pictureDefault_->Height();
  }
  return true;
}

void TPNGButton::SetPictureDefault(TPicture* value) {
  pictureDefault_->Assign(value);
  if (autoSize_) TakeDefaultPictureSize();
  Repaint();
}

void TPNGButton::SetPictureHot(TPicture* value) { pictureHot_->Assign(value); }

void TPNGButton::SetPicturePress(TPicture* value) { picturePress_->Assign(value); }

void TPNGButton::SetCaptionDefault(const std::string& value) {
  captionDefault_ = value;
  Repaint();
}

void TPNGButton::SetFontDefault(TFont* value) {
  if (value) fontDefault_->Assign(*value);
}

void TPNGButton::SetFontHot(TFont* value) {
  if (value) fontHot_->Assign(*value);
}

void TPNGButton::SetFontPress(TFont* value) {
  if (value) fontPress_->Assign(*value);
}

void TPNGButton::SetCaptionAlignment(TObjectAlignment value) {
  captionAlignment_ = value;
  Repaint();
}

void TPNGButton::SetPictureAlignment(TObjectAlignment value) {
  pictureAlignment_ = value;
  Repaint();
}

void TPNGButton::SetStretch(bool value) {
  stretch_ = value;
  Repaint();
}

void TPNGButton::SetTransparent(bool value) {
  transparent_ = value;
  Repaint();
}

void TPNGButton::SetAutoSize(bool value) {
  autoSize_ = value;
  if (value) {
    TakeDefaultPictureSize();
    Repaint();
  }
}

// ---------------------------------------------------------------------------------------------- mouse

void TPNGButton::CMMouseEnter(TMessage& message) {
  if (message.LParam != 0 || Designing()) {
    TGraphicControl::CMMouseEnter(message);
    return;
  }
  // Hot first, painted, then the event; the framework keeps its inside flag and tells the parent.
  buttonState_ = 1;
  Repaint();
  {
    TMouseEventsMuted muted(this);
    TGraphicControl::CMMouseEnter(message);
  }
  if (OnMouseEnter) OnMouseEnter(this);
}

void TPNGButton::CMMouseLeave(TMessage& message) {
  if (message.LParam != 0 || Designing()) {
    TGraphicControl::CMMouseLeave(message);
    return;
  }
  // Normal first, then the event, then the normal picture is painted back.
  buttonState_ = 0;
  {
    TMouseEventsMuted muted(this);
    TGraphicControl::CMMouseLeave(message);
  }
  if (OnMouseLeave) OnMouseLeave(this);
  Repaint();
}

void TPNGButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (!Designing()) {
    buttonState_ = 2;
    Repaint();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TPNGButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (!Designing()) {
    buttonState_ = 1;
    Repaint();
  }
  TGraphicControl::MouseUp(button, shift, x, y);
}

// ---------------------------------------------------------------------------------------------- paint

void TPNGButton::Paint() {
  TGraphicControl::Paint();
  TCanvas* c = Canvas();
  c->Refresh();
  c->Brush()->SetStyle(bsClear);
  for (TPicture* p : {pictureDefault_.get(), pictureHot_.get(), picturePress_.get()})
    if (TGraphic* g = p->Graphic()) g->SetTransparent(transparent_);
  if (Designing()) {
    c->Pen()->SetColor(kDesignOutline);
    c->Pen()->SetStyle(psDashDot);
    c->Rectangle(0, 0, width_, height_);
  } else {
    c->Pen()->SetStyle(psClear);
  }

  // What this state shows, falling back to the states before it.
  TFont* font = fontDefault_.get();
  const std::string* caption = &captionDefault_;
  TPicture* picture = pictureDefault_.get();
  if (buttonState_ == 1) {
    font = fontHot_.get();
    if (!captionHot_.empty()) caption = &captionHot_;
    if (pictureHot_->Graphic()) picture = pictureHot_.get();
  } else if (buttonState_ == 2) {
    font = fontPress_.get();
    if (!captionPress_.empty()) caption = &captionPress_;
    else if (!captionHot_.empty()) caption = &captionHot_;
    if (picturePress_->Graphic()) picture = picturePress_.get();
    else if (pictureHot_->Graphic()) picture = pictureHot_.get();
  }
  c->Font()->Assign(*font);
  if (!Enabled()) c->Font()->SetColor(kDisabledCaption);

  const TSize text = c->TextExtent(*caption);
  const TPoint textAt = AlignedPosition(captionAlignment_, width_, height_, text.cx, text.cy);
  if (TGraphic* g = picture->Graphic()) {
    if (stretch_) {
      c->StretchDraw(Rect(0, 0, width_, height_), g);
    } else {
      const TPoint at = AlignedPosition(pictureAlignment_, width_, height_, picture->Width(), picture->Height());
      c->Draw(at.X, at.Y, g);
    }
  }
  c->TextOut(textAt.X, textAt.Y, *caption);
}
