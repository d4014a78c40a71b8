#pragma once
// The slider drawn from bitmaps: a thumb image moves along a ruler image stretched to the control's
// length (its ends kept, its middle tiled), with optional tick marks beside the ruler. It holds an
// integer Value between MinValue and MaxValue, moves in steps of Increment (or freely with
// soSmooth), and is worked by dragging the thumb, by holding the button on the ruler (a step toward
// the pointer at once, then every 400 ms) and by the keyboard. OnChange fires whenever Value
// changes; OnChanged when a user action ends.
#include <cstdint>
#include <memory>

#include "controls/xc_ex_controls.h"
#include "platform/gdi/bitmap.h"

enum TSliderOrientation : uint8_t { soHorizontal, soVertical };
enum TSliderOption : uint8_t { soShowFocus, soShowPoints, soSmooth, soRulerOpaque, soThumbOpaque };
using TSliderOptions = TEnumSet<TSliderOption>;

// The built-in images, index 0 to 3: horizontal thumb (two 9-pixel states), horizontal ruler,
// vertical thumb (two 19-pixel states), vertical ruler. Magenta (their bottom-left pixel) is
// transparent.
constexpr const char* kSliderImageResources[4] = {"XcW95HTB", "XcW95HRL", "XcW95VTB", "XcW95VRL"};
// Registers the four images as bitmap resources (at the library's start-up).
void RegisterSliderResources();

// Stretches a ruler image to length along its axis (its width when horizontal, else its height)
// into ruler: the first and last edge pixels stay as they are, the part between is tiled. An image
// no longer than its two edges is tiled whole; an empty one gives an empty ruler.
void ComposeRulerImage(TBitmap* image, bool horizontal, int32_t length, int32_t edge, TBitmap* ruler);

class TXcCustomSlider : public TXcExCustomControl {
 public:
  explicit TXcCustomSlider(TComponent* owner);
  ~TXcCustomSlider() override;

  // The four images (index 0 to 3); setting null brings back the built-in one.
  TBitmap* Image(int index) { return images_[index].get(); }
  void SetImage(int index, TBitmap* value);
  TBitmap* ImageHThumb() { return Image(0); }
  void SetImageHThumb(TBitmap* value) { SetImage(0, value); }
  TBitmap* ImageHRuler() { return Image(1); }
  void SetImageHRuler(TBitmap* value) { SetImage(1, value); }
  TBitmap* ImageVThumb() { return Image(2); }
  void SetImageVThumb(TBitmap* value) { SetImage(2, value); }
  TBitmap* ImageVRuler() { return Image(3); }
  void SetImageVRuler(TBitmap* value) { SetImage(3, value); }
  // The images the user supplied (bit i for image i).
  uint8_t UserImages() const { return userImages_; }

  int32_t EdgeSize() const { return edgeSize_; }
  void SetEdgeSize(int32_t value);
  uint8_t NumThumbStates() const { return numThumbStates_; }
  void SetNumThumbStates(uint8_t value);
  TSliderOrientation Orientation() const { return orientation_; }
  void SetOrientation(TSliderOrientation value);
  TSliderOptions Options() const { return options_; }
  void SetOptions(TSliderOptions value);
  TBevelCut BevelStyle() const { return bevelStyle_; }
  void SetBevelStyle(TBevelCut value);
  int32_t MinValue() const { return minValue_; }
  void SetMinValue(int32_t value) { SetRange(value, maxValue_); }
  int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(int32_t value) { SetRange(minValue_, value); }
  int32_t Increment() const { return increment_; }
  // Raises EXCLException "Value must be between %d and %d" (1 and the range) outside reading.
  void SetIncrement(int32_t value);
  int32_t Value() const { return value_; }
  // Held within the range; OnChange when the stored value changed.
  void SetValue(int32_t value);

  // The layout: the stretched ruler, where it and the thumb are drawn, where the ticks start, and
  // the pixels the thumb travels.
  TBitmap* Ruler() { return ruler_.get(); }
  TPoint RulerOrigin() const { return rulerOrigin_; }
  TRect ThumbRect() const { return thumbRect_; }
  TRect PointsRect() const { return pointsRect_; }
  int32_t TrackLength();
  // Value and position (of the thumb's left or top edge) into each other.
  int32_t PositionOfValue(int32_t value);
  int32_t ValueAtPosition(int32_t position);
  // The thumb's top-left for a position: within the track and on the place of a value.
  TPoint SnapPosition(int32_t position);
  // One step: 1 to MinValue, 2 to MaxValue, 3 up by Increment, 4 down.
  void StepTo(int32_t kind);
  // Which side of the thumb a point lies on: 4 the side of smaller values, 3 of larger ones, 0 on it.
  int32_t ThumbSideAt(int32_t x, int32_t y);
  // The tick marks every step (or a multiple of it, at least 4 pixels apart), the ends longer.
  void DrawPoints(TCanvas* canvas, int32_t step, int32_t tick, int32_t endTick);
  bool Tracking() const { return tracking_; }
  bool Dragging() const { return dragging_; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanged;
  TNotifyEvent OnDrawPoints;

  // Each user image is set again, so the layout runs with the final images.
  void Loaded() override;

 protected:
  virtual bool IsModifiable() { return true; }
  // The client rectangle less the bevel.
  virtual TRect SliderRect();
  virtual int32_t SliderValue() { return value_; }
  virtual void LayoutChanged() { RecalcLayout(); }
  virtual void RangeChanged() {}
  virtual void ThumbMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void ThumbMouseMove(TShiftState shift, int x, int y);
  virtual void ThumbMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  // DrawPoints on the control's canvas, for OnDrawPoints handlers.
  virtual void DrawDefaultPoints(int32_t step, int32_t tick, int32_t endTick);
  virtual void Change();
  virtual void Changed();

  void WndProc(TMessage& message) override;
  void AdjustClientRect(TRect& rect) override;
  void Paint() override;
  // Paint covers every pixel: nothing is erased first.
  bool HandleEraseBackground(TCanvas* canvas, LPARAM param) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void HandleBoundsChange() override;
  void HandleDialogCodes(TDialogCodeSet& codes) override;
  void HandleFocusChange(TControl* control) override;
  void HandleEnabledChange() override;

  void RecalcLayout();
  void ComposeRuler(const TRect& r);
  void MoveThumb(int32_t position);
  void DrawThumb(TCanvas* canvas, TPoint at, bool secondState);
  void TimerTick();
  // Ruler, ticks and thumb copied from a picture kept for the values they were last drawn with.
  // False where the picture cannot stand for them (see the .cpp); nothing is drawn then.
  bool PaintLayer(TCanvas* canvas, TPoint thumbAt, bool secondState);

  // Set by subclasses that show a value the user may not change.
  bool readOnly_ = false;

 private:
  void SetRange(int32_t minValue, int32_t maxValue);
  bool Horizontal() const { return orientation_ == soHorizontal; }
  bool Reading() const { return (ComponentState() & csReading) != 0; }
  // The thumb's size along its axis (its image's width by the states, or its height).
  int32_t ThumbExtent();
  TRect RulerRect() const;

  uint8_t userImages_ = 0;
  std::unique_ptr<TBitmap> images_[4];
  int32_t edgeSize_ = 2;
  std::unique_ptr<TBitmap> ruler_;
  TPoint rulerOrigin_;
  TRect thumbRect_;
  bool thumbPressed_ = false;
  uint8_t numThumbStates_ = 2;
  TRect pointsRect_;
  TSliderOrientation orientation_ = soHorizontal;
  TSliderOptions options_{soShowFocus, soShowPoints, soSmooth};
  TBevelCut bevelStyle_ = bvNone;
  int32_t bevelWidth_ = 1;
  int32_t minValue_ = 0, maxValue_ = 100, increment_ = 10, value_ = 0;
  int32_t dragOffset_ = 0;
  bool focused_ = false;
  bool dragging_ = false;
  bool tracking_ = false;
  bool timerRunning_ = false;
  TPoint hitPoint_;
  int32_t hitSide_ = 0;
  bool creating_ = true;

  // What the kept picture of ruler, ticks and thumb was drawn for. The images and the ruler count
  // their changes in pictures_; the layout counts in it too.
  struct LayerKey {
    uint64_t pictures = 0;
    TPoint thumbAt;
    bool secondState = false, points = false, horizontal = true;
    uint8_t states = 0;
    int32_t minValue = 0, maxValue = 0, increment = 0;
    COLORREF ticks = 0, key = 0;
    TRect client;
    bool operator==(const LayerKey&) const = default;
  };
  uint64_t pictures_ = 0;
  struct LayerColours {
    bool known = false, usable = false;
    uint64_t pictures = 0;
    COLORREF key = 0;
  };
  LayerColours layerColours_;
  LayerKey layerKey_;
  TRect layerBox_;
  std::unique_ptr<TBitmap> layer_;
};

class TXcxSlider : public TXcCustomSlider {
 public:
  using TXcCustomSlider::TXcCustomSlider;
};
