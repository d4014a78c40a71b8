#pragma once
// Hot-track options: whether a control fills its face in a highlight colour while the mouse is over
// it, and whether it draws a frame around itself in a frame colour. A control publishes them as its
// HotTrackOptions and hears of changes through the base's change events.
#include "controls/xc_types.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/color.h"

class TXcHotTrackOptions : public TXcPersistentProperty {
 public:
  explicit TXcHotTrackOptions(TPersistent* owner);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool FrameVisible() const { return frameVisible_; }
  void SetFrameVisible(bool value);
  TColor FrameColor() const { return frameColor_; }
  void SetFrameColor(TColor value);

  // From another TXcHotTrackOptions: one bracketed group of changes; any other source raises the
  // framework's conversion error.
  void Assign(TPersistent* source) override;

 private:
  bool enabled_ = false;
  TColor color_ = TColorOf(0x00D2BDB6);
  bool frameVisible_ = false;
  TColor frameColor_ = TColorOf(0x006A240A);
};

// What hot-tracking controls share: whether they track, the font and the options while hot.
class IXcHotTrackable {
 public:
  virtual ~IXcHotTrackable() = default;
  virtual bool HotTrack() const = 0;
  virtual void SetHotTrack(bool value) = 0;
  virtual TFont* HotTrackFont() = 0;
  virtual void SetHotTrackFont(TFont* value) = 0;
  virtual TXcTrackFontOptions HotTrackFontOptions() const = 0;
  virtual void SetHotTrackFontOptions(TXcTrackFontOptions value) = 0;
  virtual TXcHotTrackOptions* HotTrackOptions() = 0;
  virtual void SetHotTrackOptions(TXcHotTrackOptions* value) = 0;
  // Copies the four from another holder (nothing when it is this one).
  virtual void AssignHotTrack(IXcHotTrackable* other) = 0;
};
