#pragma once
// The gradient: a windowless control that paints a colour gradient from StartColor to EndColor in
// one of six styles, in discrete colour steps. It renders into a cached bitmap and only copies that
// while neither its size nor a gradient property changed. It fills its parent's client area unless
// aligned otherwise.
#include <cstdint>
#include <memory>

#include "controls/xc_ex_controls.h"
#include "controls/xc_types.h"
#include "platform/gdi/bitmap.h"

// Renders a gradient of width x height into a 32-bit bitmap (sized to it; nothing for an empty
// size): n colour steps, step i = round(start + i (end - start) / n) per channel, an exact half to
// the even neighbour. grHorizontal and grVertical fill n + 1 bands from round(i W / n) to
// round((i + 1) W / n) (the last one lies past the edge); grEllipse, grPyramid and grMount draw the
// shapes of step i inside the rectangle (round(i xs), round(i ys)) to its mirror at the far edges,
// xs = W / n / 2, ys = H / n / 2, each shape over the ones before, on the start colour. Every pixel
// is written once: a pixel takes the last shape it lies in. Steps is lowered to the extent (half of
// it for the shapes), and 0 counts as 1. Colours are RGB values.
void RenderGradient(TBitmap* bitmap, int32_t width, int32_t height, TXcGradientStyle style, COLORREF start,
                    COLORREF end, uint16_t steps);

// Whether pixel (x, y) lies in shape i of the shape styles, as RenderGradient decides it: the
// rectangle, the ellipse inscribed in it, or the rounded rectangle with corner ellipses half its
// width and height (truncated); sampled at pixel centres.
bool GradientShapeContains(TXcGradientStyle style, int32_t left, int32_t top, int32_t right, int32_t bottom,
                           int32_t x, int32_t y);

class TXcGradient : public TXcExGraphicControl {
 public:
  explicit TXcGradient(TComponent* owner);
  ~TXcGradient() override;

  TXcGradientStyle Style() const { return style_; }
  void SetStyle(TXcGradientStyle value);
  TColor StartColor() const { return startColor_; }
  void SetStartColor(TColor value);
  TColor EndColor() const { return endColor_; }
  void SetEndColor(TColor value);
  uint16_t Steps() const { return steps_; }
  void SetSteps(uint16_t value);
  // The bounds as the properties set them: remembered, and applied again after loading.
  void SetLeft(int value);
  void SetTop(int value);
  void SetWidth(int value);
  void SetHeight(int value);

  // How often the gradient was rendered into the cache.
  int32_t Rebuilds() const { return rebuilds_; }
  TBitmap* Cache() { return cache_.get(); }

  // After loading: the remembered Left and Top again unless aligned to an edge, the remembered
  // Width and Height unless aligned to the client area.
  void Loaded() override;

 protected:
  void Paint() override;

 private:
  void Drop();

  std::unique_ptr<TBitmap> cache_;
  int32_t cachedWidth_ = 0, cachedHeight_ = 0;
  int32_t rebuilds_ = 0;
  int32_t givenLeft_ = 0, givenTop_ = 0, givenWidth_ = 0, givenHeight_ = 0;  // as the properties set them
  TXcGradientStyle style_ = grHorizontal;
  TColor startColor_ = clBlue;
  TColor endColor_ = clBlack;
  uint16_t steps_ = 100;
};
