#include "controls/xc_led.h"

#include <vector>

#include "controls/xc_bitmap_utils.h"
#include "platform/ui/forms.h"

namespace {

constexpr int kLampSize = 17;

// The lamp: K black, R grey rim, G green body, W white highlight; rows from the top.
constexpr const char* kLamp[kLampSize] = {
    "KKKKKKKKKKKKKKKKK", "KKKKKKKKKKKKKKKKK", "KKKKKKRRRRRKKKKKK", "KKKKRRGGGGGRRKKKK", "KKKRGGGGGGGGGRKKK",
    "KKKRGGWWWGGGGRKKK", "KKRGGWWWGGGGGGRKK", "KKRGGWWGGGGGGGRKK", "KKRGGWGGGGGGGGRKK", "KKRGGGGGGGGGGGRKK",
    "KKRGGGGGGGGGGGRKK", "KKKRGGGGGGGGGRKKK", "KKKRGGGGGGGGGRKKK", "KKKKRRGGGGGRRKKKK", "KKKKKKRRRRRRKKKKK",
    "KKKKKKKKKKKKKKKKK", "KKKKKKKKKKKKKKKKK",
};
// The mask: K black where the lamp is, W white elsewhere.
constexpr const char* kMask[kLampSize] = {
    "WWWWWWWWWWWWWWWWW", "WWWWWWWWWWWWWWWWW", "WWWWWWKKKKKWWWWWW", "WWWWKKKKKKKKKWWWW", "WWWKKKKKKKKKKKWWW",
    "WWWKKKKKKKKKKKWWW", "WWKKKKKKKKKKKKKWW", "WWKKKKKKKKKKKKKWW", "WWKKKKKKKKKKKKKWW", "WWKKKKKKKKKKKKKWW",
    "WWKKKKKKKKKKKKKWW", "WWWKKKKKKKKKKKWWW", "WWWKKKKKKKKKKKWWW", "WWWWKKKKKKKKKWWWW", "WWWWWWKKKKKKWWWWW",
    "WWWWWWWWWWWWWWWWW", "WWWWWWWWWWWWWWWWW",
};

COLORREF ColorOfLetter(char c) {
  switch (c) {
    case 'R': return RGB(0x80, 0x80, 0x80);
    case 'G': return RGB(0x00, 0xFF, 0x00);
    case 'W': return RGB(0xFF, 0xFF, 0xFF);
    default: return RGB(0, 0, 0);
  }
}

}  // namespace

void RegisterLedResources() {
  const std::vector<uint8_t> lamp = BitmapFileFromRows(kLamp, kLampSize, kLampSize, ColorOfLetter),
                             mask = BitmapFileFromRows(kMask, kLampSize, kLampSize, ColorOfLetter);
  RegisterBitmapResource(kLedLampResource, lamp.data(), lamp.size());
  RegisterBitmapResource(kLedMaskResource, mask.data(), mask.size());
}

TXcCustomLED::TXcCustomLED(TComponent* owner)
    : TXcExGraphicControl(owner), lampImage_(std::make_unique<TBitmap>()), lampMask_(std::make_unique<TBitmap>()) {
  lampMask_->LoadFromResourceName(0, kLedMaskResource);
  blinkTimer_ = new TTimer(this);
  blinkTimer_->SetEnabled(false);
  blinkTimer_->SetInterval(1000);
  blinkTimer_->OnTimer = [this](TObject*) { Blink(); };
  SetColor(clLime);
  SetWidth(17);
  SetHeight(17);
  SetColorOn(clLime);
  SetColorOff(clRed);
  SetActive(false);
  SetStatus(true);
}

TXcCustomLED::~TXcCustomLED() {
  blinkTimer_->SetEnabled(false);
  blinkTimer_->OnTimer = nullptr;
}

void TXcCustomLED::HandleColorChange() {
  TXcExGraphicControl::HandleColorChange();
  // The lamp in the new colour: the body's pixels, exactly the green of the picture, take it.
  lampImage_ = std::make_unique<TBitmap>();
  lampImage_->LoadFromResourceName(0, kLedLampResource);
  lampImage_->SetPixelFormat(pf24bit);
  const COLORREF c = ColorToRGB(Color());
  for (int32_t y = 0; y < lampImage_->Height(); ++y) {
    uint8_t* row = lampImage_->ScanLine(y);
    for (int32_t x = 0; x < lampImage_->Width(); ++x) {
      uint8_t* p = row + 3 * x;
      if (p[0] == 0x00 && p[1] == 0xFF && p[2] == 0x00) p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
    }
  }
  Repaint();
}

void TXcCustomLED::SetActive(bool value) {
  active_ = value;
  if (!(ComponentState() & csDesigning)) blinkTimer_->SetEnabled(value);
}

void TXcCustomLED::SetColorOn(TColor value) {
  colorOn_ = value;
  if (status_) SetColor(value);
}

void TXcCustomLED::SetColorOff(TColor value) {
  colorOff_ = value;
  if (!status_) SetColor(value);
}

void TXcCustomLED::SetStatus(bool value) {
  status_ = value;
  SetColor(value ? colorOn_ : colorOff_);
  if (OnStatusChanged) OnStatusChanged(this);
}

void TXcCustomLED::SetInterval(uint32_t value) {
  if (value != blinkTimer_->Interval()) blinkTimer_->SetInterval(value);
}

void TXcCustomLED::Blink() {
  if (!Application->Minimized()) SetStatus(!status_);
}

void TXcCustomLED::SetBounds(int left, int top, int width, int height) {
  if (AutoSize() && (Align() == alNone || Align() == alCustom) && lampImage_ && !lampImage_->Empty()) {
    width = lampImage_->Width();
    height = lampImage_->Height();
  }
  TXcExGraphicControl::SetBounds(left, top, width, height);
}

void TXcCustomLED::Paint() {
  TCanvas* canvas = Canvas();
  if (ComponentState() & csDesigning) {
    canvas->Pen()->SetStyle(psDash);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Rectangle(0, 0, Width(), Height());
  }
  if (lampImage_->Empty() || lampMask_->Empty()) return;
  const int32_t w = lampImage_->Width(), h = lampImage_->Height();
  const int32_t x = (ClientWidth() - w) / 2, y = (ClientHeight() - h) / 2;
  HDC dc = canvas->Handle();
  BitBlt(dc, x, y, w, h, lampMask_->Canvas()->Handle(), 0, 0, SRCAND);
  BitBlt(dc, x, y, w, h, lampImage_->Canvas()->Handle(), 0, 0, SRCPAINT);
}
