#pragma once
// The tracker: a custom-drawn slider, a horizontal or vertical track with a rectangular thumb that
// the left mouse button drags, an integer Value between Minimum and Maximum printed on the thumb.
// It draws everything itself into an off-screen bitmap and tells its owner of the user's changes
// through OnChangedValue (raised on every press and drag step, also when Value stayed); a Value set
// by the program raises nothing. It has no keyboard or wheel handling.
#include <cstdint>
#include <functional>
#include <memory>

#include "controls/xc_ex_controls.h"
#include "platform/gdi/bitmap.h"

enum TjtbOrientation : uint8_t { jtbHorizontal, jtbVertical };
using TOnChangedValue = std::function<void(TObject* Sender, int32_t NewValue)>;

class TXcTracker : public TXcExCustomControl {
 public:
  explicit TXcTracker(TComponent* owner);
  ~TXcTracker() override;

  int32_t Minimum() const { return minimum_; }
  void SetMinimum(int32_t value);
  int32_t Maximum() const { return maximum_; }
  void SetMaximum(int32_t value);
  int32_t Value() const { return value_; }
  void SetValue(int32_t value);
  TjtbOrientation Orientation() const { return orientation_; }
  void SetOrientation(TjtbOrientation value);
  // The picture tiled over the background (copied in; empty in either dimension: BackColor).
  TBitmap* BackBitmap() { return backBitmap_.get(); }
  void SetBackBitmap(TBitmap* value);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor value);
  bool BackBorder() const { return backBorder_; }
  void SetBackBorder(bool value);
  TColor TrackColor() const { return trackColor_; }
  void SetTrackColor(TColor value);
  // The track's colour scaled by the value's place in the range (black at Minimum).
  bool TrackPositionColored() const { return trackPositionColored_; }
  void SetTrackPositionColored(bool value);
  bool TrackBorder() const { return trackBorder_; }
  void SetTrackBorder(bool value);
  TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(TColor value);
  TColor ThumbColor() const { return thumbColor_; }
  void SetThumbColor(TColor value);
  // Kept and repainted; the thumb's frame is drawn whatever it is.
  bool ThumbBorder() const { return thumbBorder_; }
  void SetThumbBorder(bool value);
  int32_t ThumbWidth() const { return thumbWidth_; }
  void SetThumbWidth(int32_t value);
  int32_t ThumbHeight() const { return thumbHeight_; }
  void SetThumbHeight(int32_t value);
  int32_t TrackHeight() const { return trackHeight_; }
  void SetTrackHeight(int32_t value);
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool value);
  TColor CaptionColor() const { return captionColor_; }
  void SetCaptionColor(TColor value);
  bool CaptionBold() const { return captionBold_; }
  void SetCaptionBold(bool value);

  // The geometry: travel bounds of the thumb's centre, and the track, hit and thumb rectangles
  // (right and bottom exclusive), as the last layout made them.
  int32_t Low() const { return low_; }
  int32_t High() const { return high_; }
  int32_t ThumbPosition() const { return position_; }
  const TRect& TrackRect() const { return trackRect_; }
  const TRect& HitRect() const { return hitRect_; }
  const TRect& ThumbRect() const { return thumbRect_; }

  TOnChangedValue OnChangedValue;

 protected:
  void Paint() override;
  void HandleBoundsChange() override;
  bool HandleEraseBackground(TCanvas* canvas, LPARAM param) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void UpdateTravel();
  void UpdateTrackAndHit();
  void UpdateThumb();
  void PositionFromValue();
  void ValueFromPosition();
  // Paints the whole control into the canvas (of its client size).
  void PaintInto(TCanvas* canvas);
  bool Horizontal() const { return orientation_ == jtbHorizontal; }
  // A property's value changed: repaint.
  template <class T>
  void Change(T& field, T value) {
    if (field == value) return;
    field = value;
    Invalidate();
  }

  int32_t minimum_ = 0;
  int32_t maximum_ = 100;
  int32_t value_ = 0;
  TjtbOrientation orientation_ = jtbHorizontal;
  std::unique_ptr<TBitmap> backBitmap_;
  TColor backColor_ = clSilver;
  bool backBorder_ = false;
  TColor trackColor_ = clGray;
  bool trackPositionColored_ = false;
  bool trackBorder_ = true;
  TColor borderColor_ = clBlack;
  TColor thumbColor_ = clSilver;
  bool thumbBorder_ = false;
  int32_t thumbWidth_ = 20;
  int32_t thumbHeight_ = 16;
  int32_t trackHeight_ = 6;
  bool showCaption_ = true;
  TColor captionColor_ = clBlack;
  bool captionBold_ = false;

  // Everything the picture is made of; a paint with the same as the last one copies the picture.
  struct PictureKey {
    int32_t width, height, clientWidth, clientHeight, minimum, maximum, value, position, thumbWidth, thumbHeight,
        trackHeight;
    uint32_t backVersion;
    TColor backColor, trackColor, borderColor, thumbColor, captionColor;
    TjtbOrientation orientation;
    bool backBorder, trackPositionColored, trackBorder, showCaption, captionBold;
    bool operator==(const PictureKey&) const = default;
  };
  PictureKey CurrentPictureKey();

  std::unique_ptr<TBitmap> surface_;  // the off-screen picture
  bool surfaceValid_ = false;         // surface_ shows surfaceKey_
  PictureKey surfaceKey_{};
  uint32_t backVersion_ = 0;          // counts the changes of BackBitmap
  bool dragging_ = false;
  int32_t position_ = 0;
  int32_t low_ = 0, high_ = 0;
  TRect trackRect_, hitRect_, thumbRect_;
};
