#pragma once
// The LED: a small windowless indicator light, a round lamp drawn from a built-in 17 x 17 picture in
// any colour, switched between an on colour and an off colour, and able to blink by itself.
#include <cstdint>
#include <memory>

#include "controls/xc_ex_controls.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/timers.h"

// The names of the lamp picture (black background, grey rim, green body, white highlight) and of its
// mask (black where the lamp is, white elsewhere).
constexpr const char* kLedLampResource = "XcCustomLEDGREEN";
constexpr const char* kLedMaskResource = "XcCustomLEDMASK";
// The body colour of the lamp picture: exactly these pixels take the LED's colour.
constexpr TColor kLedBodyColor = TColorOf(0x0000FF00);

// Registers the two pictures as bitmap resources (at the library's start-up).
void RegisterLedResources();

class TXcCustomLED : public TXcExGraphicControl {
 public:
  explicit TXcCustomLED(TComponent* owner);
  ~TXcCustomLED() override;

  bool Active() const { return active_; }
  // Blinking on or off (not at design time).
  void SetActive(bool value);
  TColor ColorOn() const { return colorOn_; }
  void SetColorOn(TColor value);
  TColor ColorOff() const { return colorOff_; }
  void SetColorOff(TColor value);
  bool Status() const { return status_; }
  // Sets the lamp on or off; OnStatusChanged fires also when the value did not change.
  void SetStatus(bool value);
  uint32_t Interval() const { return blinkTimer_->Interval(); }
  void SetInterval(uint32_t value);
  TBitmap* LampImage() { return lampImage_.get(); }
  TBitmap* LampMask() { return lampMask_.get(); }
  TTimer* BlinkTimer() { return blinkTimer_; }
  // One tick of the blink timer: the status toggles unless the main window is minimised.
  void Blink();
  TNotifyEvent OnStatusChanged;

  // With AutoSize and no alignment (or a custom one) the size stays the lamp's.
  void SetBounds(int left, int top, int width, int height) override;

 protected:
  void Paint() override;
  void HandleColorChange() override;

 private:
  std::unique_ptr<TBitmap> lampImage_;
  std::unique_ptr<TBitmap> lampMask_;
  TTimer* blinkTimer_;  // owned as a component
  TColor colorOn_ = clLime;
  TColor colorOff_ = clRed;
  bool active_ = false;
  bool status_ = true;
};

class TXcLED : public TXcCustomLED {
 public:
  using TXcCustomLED::TXcCustomLED;
};
