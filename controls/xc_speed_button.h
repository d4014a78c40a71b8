#pragma once
// The speed button: a windowless push button that can be flat, stay down in a group of buttons,
// repeat its click while held, drop down a pop-up menu, light up while the mouse is over it (hot
// tracking) and look transparent. TXcCustomSpeedButton holds the behaviour; TXcSpeedButton shows a
// bitmap glyph (and a second one while hot), TXcImageSpeedButton an image-list entry.
#include <cstdint>
#include <memory>
#include <string>

#include "controls/xc_button_glyph.h"
#include "controls/xc_ex_controls.h"
#include "controls/xc_hot_track_persistent.h"
#include "controls/xc_xcl_utils.h"
#include "platform/ui/actions.h"
#include "platform/ui/menus.h"
#include "platform/ui/timers.h"

enum TXcDropDownMenuPos : uint8_t { dmpBottom, dmpRight };

// The process's checker brush bitmap of two colours, made again when asked for other colours; the
// library frees it at shut-down.
TBitmap* CachedCheckerBitmap(TColor a, TColor b);
void FreeCachedCheckerBitmap();

class TXcCustomSpeedButton : public TXcExGraphicControl, public IXcHotTrackable {
 public:
  explicit TXcCustomSpeedButton(TComponent* owner);
  ~TXcCustomSpeedButton() override;
  void WndProc(TMessage& message) override;

  TAlignment Alignment() const { return painter_->Alignment(); }
  void SetAlignment(TAlignment value);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool value);
  bool AllowTimer() const { return allowTimer_; }
  void SetAllowTimer(bool value);
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool value) { doubleBuffered_ = value; }
  bool Down() const { return down_; }
  void SetDown(bool value);
  TPopupMenu* DropDownMenu() const { return dropDownMenu_; }
  void SetDropDownMenu(TPopupMenu* value);
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  bool GrayedInactive() const { return grayedInactive_; }
  void SetGrayedInactive(bool value);
  bool GrayNewStyle() const { return painter_->GrayNewStyle(); }
  void SetGrayNewStyle(bool value);
  int32_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int32_t value);
  uint16_t InitPause() const { return initPause_; }
  void SetInitPause(uint16_t value) { initPause_ = value; }
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int32_t Margin() const { return margin_; }
  // Values below -1 are ignored.
  void SetMargin(int32_t value);
  bool MarkDropDown() const { return markDropDown_; }
  void SetMarkDropDown(bool value);
  TXcDropDownMenuPos MenuPosition() const { return menuPosition_; }
  void SetMenuPosition(TXcDropDownMenuPos value) { menuPosition_ = value; }
  int32_t ModalResult() const { return modalResult_; }
  void SetModalResult(int32_t value) { modalResult_ = value; }
  uint16_t RepeatInterval() const { return repeatInterval_; }
  void SetRepeatInterval(uint16_t value) { repeatInterval_ = value; }
  int32_t Spacing() const { return spacing_; }
  void SetSpacing(int32_t value);
  TButtonStyle Style() const { return style_; }
  void SetStyle(TButtonStyle value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool WordWrap() const { return painter_->WordWrap(); }
  void SetWordWrap(bool value);

  // The hot-track interface.
  bool HotTrack() const override { return hotTrack_; }
  void SetHotTrack(bool value) override { hotTrack_ = value; }
  TFont* HotTrackFont() override { return hotTrackFont_.get(); }
  void SetHotTrackFont(TFont* value) override;
  TXcTrackFontOptions HotTrackFontOptions() const override { return hotTrackFontOptions_; }
  void SetHotTrackFontOptions(TXcTrackFontOptions value) override;
  TXcHotTrackOptions* HotTrackOptions() override { return hotTrackOptions_; }
  void SetHotTrackOptions(TXcHotTrackOptions* value) override;
  void AssignHotTrack(IXcHotTrackable* other) override;

  // Sets the parent form's modal result to ModalResult (also when it is 0), then clicks.
  void Click() override;

  // The current look, whether the left button went down on the button and is still down, whether a
  // press is being handled (the drop-down menu may be open), and the repeat timer (null until the
  // first press with AllowTimer).
  TXcButtonPaintState PaintState() const { return paintState_; }
  bool PressActive() const { return pressActive_; }
  bool PressHandling() const { return pressHandling_; }
  TTimer* RepeatTimer() const { return repeatTimer_; }
  // How many times the button has painted itself.
  int64_t Paints() const { return paints_; }
  // The point (client coordinates) at which the drop-down menu opens.
  TPoint MenuPoint();
  // Whether a point counts as over the button (the row below the last one included).
  bool PointInside(int x, int y);
  // Asks whether the mouse is over the button and tells it of entering or leaving when that changed.
  void CheckMouseOver();
  // The content painter of the bitmap glyph.
  TXcxButtonGlyph* ContentPainter() const { return painter_.get(); }

 protected:
  void Paint() override;
  // The whole look on a canvas whose origin is the button's top-left corner.
  virtual void PaintButton(TCanvas* canvas);
  // Glyph, caption and drop-down mark in rect.
  virtual void DrawContent(TCanvas* canvas, const TRect& rect, const TPoint& offset, TXcButtonPaintState state,
                           bool hot);
  // True while the hot look shows: (the mouse over the button or a press active) with HotTrack.
  bool HotShowing() const { return (IsMouseInside() || pressActive_) && hotTrack_; }
  uint32_t TextFlags() const;

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void HandleMouseEntry(TControl* control) override;
  void HandleMouseExit(TControl* control) override;
  bool HandleDialogChar(uint16_t key, TShiftState shift, const std::string& keyText) override;
  void HandleEnabledChange() override;
  void HandleFontChange() override;
  void HandleTextChange() override;
  void HandleVisibleChange() override;
  void Notification(TComponent* component, TOperation operation) override;
  // The pictures the current state needs, built before the paint asks for them.
  virtual void PrebuildGlyph();
  // Another member of the group went down (CM_BUTTONPRESSED).
  void ButtonPressed(TMessage& message);
  // Tells the other members of a group that this one went down, and of its AllowAllUp.
  void UpdateExclusive();
  std::unique_ptr<TControlActionLink> CreateActionLink() override;

  std::unique_ptr<TXcxButtonGlyph> painter_;

 private:
  friend class TXcSpeedButtonActionLink;
  void ReleaseHandling(TMouseButton button, int x, int y);
  void RepeatTick();
  void DropPendingPress();
  void PaintClassicFrame(TCanvas* canvas, TRect& rect);

  TXcButtonPaintState paintState_ = bpsUp;
  int64_t paints_ = 0;
  bool pressActive_ = false;
  bool pressHandling_ = false;
  bool allowAllUp_ = false;
  bool allowTimer_ = false;
  bool doubleBuffered_ = true;
  bool down_ = false;
  TPopupMenu* dropDownMenu_ = nullptr;
  bool flat_ = false;
  bool grayedInactive_ = true;
  int32_t groupIndex_ = 0;
  bool hotTrack_ = false;
  std::unique_ptr<TFont> hotTrackFont_;
  TXcTrackFontOptions hotTrackFontOptions_ = kDefaultTrackFontOptions;
  TXcHotTrackOptions* hotTrackOptions_;  // owned as a sub-component
  uint16_t initPause_ = 500;
  TButtonLayout layout_ = blGlyphTop;
  int32_t margin_ = -1;
  bool markDropDown_ = true;
  TXcDropDownMenuPos menuPosition_ = dmpBottom;
  int32_t modalResult_ = 0;
  uint16_t repeatInterval_ = 100;
  int32_t spacing_ = 1;
  TButtonStyle style_ = bsAutoDetect;
  bool transparent_ = false;
  TTimer* repeatTimer_ = nullptr;  // owned as a component
  std::unique_ptr<TBitmap> buffer_;  // the memory bitmap of double-buffered paints
};

// The link of a speed button: its Down follows the action's check mark (a grouped button with
// AllowAllUp whose state equals the action's) and its GroupIndex the action's.
class TXcSpeedButtonActionLink : public TControlActionLink {
 public:
  explicit TXcSpeedButtonActionLink(TXcCustomSpeedButton* client);
  bool IsCheckedLinked() override;
  bool IsGroupIndexLinked() override;
  void SetChecked(bool value) override;
  void SetGroupIndex(int value) override;

 protected:
  TXcCustomSpeedButton* button_;
};

class TXcSpeedButton : public TXcCustomSpeedButton {
 public:
  explicit TXcSpeedButton(TComponent* owner);
  ~TXcSpeedButton() override;

  TBitmap* Glyph() { return painter_->Bitmap(); }
  void SetGlyph(TBitmap* value);
  TBitmap* HotTrackGlyph() { return hotPainter_->Bitmap(); }
  void SetHotTrackGlyph(TBitmap* value);
  TXcNumGlyphs NumGlyphs() const { return painter_->NumGlyphs(); }
  // Capped at 5.
  void SetNumGlyphs(int value);
  TXcxButtonGlyph* HotTrackPainter() const { return hotPainter_.get(); }

 protected:
  void DrawContent(TCanvas* canvas, const TRect& rect, const TPoint& offset, TXcButtonPaintState state,
                   bool hot) override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  void WndProc(TMessage& message) override;

 private:
  std::unique_ptr<TXcxButtonGlyph> hotPainter_;
};

class TXcImageSpeedButton : public TXcCustomSpeedButton {
 public:
  explicit TXcImageSpeedButton(TComponent* owner);
  ~TXcImageSpeedButton() override;

  TCustomImageList* Images() const { return images_; }
  // A list of none sets ImageIndex to -1.
  void SetImages(TCustomImageList* value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  // -1: ImageIndex serves while hot.
  int HotTrackImageIndex() const { return hotTrackImageIndex_; }
  void SetHotTrackImageIndex(int value);

 protected:
  void DrawContent(TCanvas* canvas, const TRect& rect, const TPoint& offset, TXcButtonPaintState state,
                   bool hot) override;
  void PrebuildGlyph() override;
  void Notification(TComponent* component, TOperation operation) override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;

 private:
  friend class TXcImageSpeedButtonActionLink;
  // Whether the hot image shows now.
  bool HotImageShowing() const { return HotShowing(); }
  TCustomImageList* images_ = nullptr;
  int imageIndex_ = -1;
  int hotTrackImageIndex_ = 0;
  TChangeLink imageChangeLink_;
};

class TXcImageSpeedButtonActionLink : public TXcSpeedButtonActionLink {
 public:
  explicit TXcImageSpeedButtonActionLink(TXcImageSpeedButton* client);
  bool IsImageIndexLinked() override;
  void SetImageIndex(int value) override;

 private:
  TXcImageSpeedButton* image_;
};
