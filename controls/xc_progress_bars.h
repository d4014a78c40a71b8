#pragma once
// Progress bars: a light-weight (windowless) bar with a range, a position, an orientation and a
// smooth or block look, a variant with bar colours, and the XP bar: a grey trough with green,
// tube-shaded blocks.
#include <cstdint>

#include "controls/xc_ex_controls.h"
#include "platform/ui/comctrls.h"

class TXcBaseProgressBar : public TXcExGraphicControl {
 public:
  explicit TXcBaseProgressBar(TComponent* owner);

  int32_t Min() const { return min_; }
  // Lowered to Max when above it; Position is raised to it when below; a change repaints.
  void SetMin(int32_t value);
  int32_t Max() const { return max_; }
  // Raised to Min when below it; Position is lowered to it when above; a change repaints.
  void SetMax(int32_t value);
  int32_t Position() const { return position_; }
  // Clamped to Min..Max.
  void SetPosition(int32_t value);
  TProgressBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TProgressBarOrientation value);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool value);
  TColor BarColor() const { return barColor_; }
  void SetBarColor(TColor value);
  int32_t BlockSize() const { return blockSize_; }
  void SetBlockSize(int32_t value);
  int32_t Step() const { return step_; }
  // 1 for a value of 0 or less.
  void SetStep(int32_t value);
  TNotifyEvent OnChange;

  // Position by Step, by an amount; kept within Min..Max.
  virtual void StepIt();
  virtual void StepBy(int32_t amount);
  // The filled length for the position: MulDiv(extent, Position - Min, Max - Min).
  int32_t FilledLength();

 protected:
  void Paint() override;
  // Draws the bar with the filled length (the client area is the canvas's).
  virtual void DrawBar(TCanvas* canvas, int32_t length);
  // The width of a horizontal bar, the height of a vertical one.
  virtual int32_t GetMaxExtent();
  virtual void Change();

 private:
  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t position_ = 0;
  TProgressBarOrientation orientation_ = pbHorizontal;
  bool smooth_ = false;
  TColor barColor_ = clHighlight;
  int32_t blockSize_ = 10;
  int32_t step_ = 10;
};

class TXcBaseGradientProgressBar : public TXcBaseProgressBar {
 public:
  explicit TXcBaseGradientProgressBar(TComponent* owner);
  TColor BarColorFrom() const { return barColorFrom_; }
  void SetBarColorFrom(TColor value);
  TColor BarColorTo() const { return barColorTo_; }
  void SetBarColorTo(TColor value);

 private:
  TColor barColorFrom_ = TColorOf(0x0031D329);
  TColor barColorTo_ = TColorOf(0x00ADEFAD);
};

class TXcCustomXPProgressBar : public TXcBaseGradientProgressBar {
 public:
  explicit TXcCustomXPProgressBar(TComponent* owner);

 protected:
  void DrawBar(TCanvas* canvas, int32_t length) override;

 private:
  // One block (or the smooth bar) as two tube-shaded halves.
  void DrawBlock(TCanvas* canvas, const TRect& block);
  TBitmap buffer_;
};

class TXcXPProgressBar : public TXcCustomXPProgressBar {
 public:
  using TXcCustomXPProgressBar::TXcCustomXPProgressBar;
};

// The greys of the XP trough.
constexpr TColor kXPTroughOuter = TColorOf(0x00BEBEBE);
constexpr TColor kXPTroughDark = TColorOf(0x00686868);
constexpr TColor kXPTroughLight = TColorOf(0x00EFEFEF);
