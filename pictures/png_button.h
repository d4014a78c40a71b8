#pragma once
// TPNGButton: a windowless button that shows one of three pictures and one of three captions, each
// caption in its own font, for its three states: normal, hot (the mouse is over it) and pressed.
// Pictures and captions of the hot and pressed states fall back to the ones before them when empty.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdi/picture.h"
#include "platform/ui/controls.h"

enum TObjectAlignment : uint8_t {
  tp_Left_Top, tp_Left_Middle, tp_Left_Bottom, tp_Center_Top, tp_Center_Middle, tp_Center_Bottom,
  tp_Right_Top, tp_Right_Middle, tp_Right_Bottom
};

// Where an object of the given size stands in a width x height area.
TPoint AlignedPosition(TObjectAlignment alignment, int32_t width, int32_t height, int32_t objectWidth,
                       int32_t objectHeight);

class TPNGButton : public TGraphicControl {
 public:
  explicit TPNGButton(TComponent* owner);
  ~TPNGButton() override;

  // 0 normal, 1 hot, 2 pressed.
  int32_t ButtonState() const { return buttonState_; }

  // Copies the picture; with AutoSize the button takes its size. Repaints.
  TPicture* PictureDefault() const { return pictureDefault_.get(); }
  void SetPictureDefault(TPicture* value);
  // Copy the picture only (no resize, no repaint).
  TPicture* PictureHot() const { return pictureHot_.get(); }
  void SetPictureHot(TPicture* value);
  TPicture* PicturePress() const { return picturePress_.get(); }
  void SetPicturePress(TPicture* value);

  const std::string& CaptionDefault() const { return captionDefault_; }
  void SetCaptionDefault(const std::string& value);
  const std::string& CaptionHot() const { return captionHot_; }
  void SetCaptionHot(const std::string& value) { captionHot_ = value; }
  const std::string& CaptionPress() const { return captionPress_; }
  void SetCaptionPress(const std::string& value) { captionPress_ = value; }

  // The fonts are the button's own; setting one copies it. A change of FontDefault repaints.
  TFont* FontDefault() const { return fontDefault_.get(); }
  void SetFontDefault(TFont* value);
  TFont* FontHot() const { return fontHot_.get(); }
  void SetFontHot(TFont* value);
  TFont* FontPress() const { return fontPress_.get(); }
  void SetFontPress(TFont* value);

  TObjectAlignment CaptionAlignment() const { return captionAlignment_; }
  void SetCaptionAlignment(TObjectAlignment value);
  TObjectAlignment PictureAlignment() const { return pictureAlignment_; }
  void SetPictureAlignment(TObjectAlignment value);
  // The pictures are stretched over the whole button.
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  // Handed to the pictures before they are drawn.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  // Switched on, the button takes the default picture's size.
  void SetAutoSize(bool value) override;

  // The published "_Info_" text: a fixed note about the button; writing it changes nothing.
  const std::string& Info() const { return info_; }
  void SetInfo(const std::string&) {}

 protected:
  void Paint() override;
  bool CanAutoSize(int& newWidth, int& newHeight) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void CMMouseEnter(TMessage& message) override;
  void CMMouseLeave(TMessage& message) override;

 private:
  bool Designing() const { return (ComponentState() & csDesigning) != 0; }
  void TakeDefaultPictureSize();

  int32_t buttonState_ = 0;
  std::unique_ptr<TPicture> pictureDefault_, pictureHot_, picturePress_;
  std::unique_ptr<TFont> fontDefault_, fontHot_, fontPress_;
  std::string captionDefault_, captionHot_, captionPress_;
  TObjectAlignment captionAlignment_ = tp_Center_Middle;
  TObjectAlignment pictureAlignment_ = tp_Center_Middle;
  bool stretch_ = false;
  bool transparent_ = true;
  std::string info_;
};
