#pragma once
// The office colour button: a split button whose main half shows the selected colour as a swatch
// and whose arrow half drops the colour window (an office colour panel under a drag bar) down under
// it. A pick in the dropped-down window closes it and shows the colour; the window can be torn off
// and then stays open as a floating tool window whose picks update the button at once.
#include <cstdint>
#include <memory>
#include <string>

#include "controls/xc_ex_controls.h"
#include "controls/xc_hot_track_persistent.h"
#include "controls/xc_office_color_form.h"
#include "controls/xc_office_color_panel.h"

// The private message that closes the drop-down once a focus change has completed.
constexpr UINT XC_CLOSEUP_MESSAGE = 0xB206;

// The main half: its swatch keeps SwatchMargin (the button's EdgeWidth) from every edge.
class TXcColorMainButton : public TXcColorSpeedButton {
 public:
  using TXcColorSpeedButton::TXcColorSpeedButton;
  int32_t SwatchInset() override { return SwatchMargin(); }
  // The hot state the pair shares, entered and left by the button.
  void EnterHot() { HandleMouseEntry(nullptr); }
  void LeaveHot() { HandleMouseExit(nullptr); }
};

// The arrow half: a speed button with a triangle.
class TXcColorArrowButton : public TXcSpeedButton {
 public:
  explicit TXcColorArrowButton(TComponent* owner);

  TColor ArrowColor() const { return arrowColor_; }
  void SetArrowColor(TColor value);
  TColor DisabledArrowColor() const { return disabledArrowColor_; }
  void SetDisabledArrowColor(TColor value);
  // Left (0), up (1), right (2) or down (3).
  int32_t ArrowDirection() const { return arrowDirection_; }
  void SetArrowDirection(int32_t value);
  void EnterHot() { HandleMouseEntry(nullptr); }
  void LeaveHot() { HandleMouseExit(nullptr); }

 protected:
  void PaintButton(TCanvas* canvas) override;

 private:
  TColor arrowColor_ = clBlack;
  TColor disabledArrowColor_ = clBtnShadow;
  int32_t arrowDirection_ = 3;
};

// The panel's settings and the drop-down window's: the drag bar, the floating window's caption, the
// swatch's distance from the edges and the arrow half's width.
class TXcOfficeColorButtonProperties : public TXcOfficeColorPanelProperties {
 public:
  using TXcOfficeColorPanelProperties::TXcOfficeColorPanelProperties;

  bool ShowDragBar() const { return showDragBar_; }
  void SetShowDragBar(bool v) { Change(showDragBar_, v, "ShowDragBar"); }
  const std::string& FloatWindowCaption() const { return floatWindowCaption_; }
  void SetFloatWindowCaption(const std::string& v) { Change(floatWindowCaption_, v, "FloatWindowCaption"); }
  int32_t EdgeWidth() const { return edgeWidth_; }
  void SetEdgeWidth(int32_t v) { Change(edgeWidth_, v, "EdgeWidth"); }
  int32_t ArrowWidth() const { return arrowWidth_; }
  void SetArrowWidth(int32_t v) { Change(arrowWidth_, v, "ArrowWidth"); }
  int32_t DragBarHeight() const { return dragBarHeight_; }
  void SetDragBarHeight(int32_t v) { Change(dragBarHeight_, v, "DragBarHeight"); }
  int32_t DragBarSpace() const { return dragBarSpace_; }
  void SetDragBarSpace(int32_t v) { Change(dragBarSpace_, v, "DragBarSpace"); }
  const std::string& DragBarHint() const { return dragBarHint_; }
  void SetDragBarHint(const std::string& v) { Change(dragBarHint_, v, "DragBarHint"); }

  // The panel's texts, then "Drag to float" and "Color Window", in one group.
  void LoadDefaultTexts() override;
  // The panel's settings from any panel properties; from button properties the seven of the
  // button's too, all in one group.
  void Assign(TPersistent* source) override;

 private:
  bool showDragBar_ = true;
  std::string floatWindowCaption_;
  int32_t edgeWidth_ = 4;
  int32_t arrowWidth_ = 13;
  int32_t dragBarHeight_ = 7;
  int32_t dragBarSpace_ = 3;
  std::string dragBarHint_ = "Drag to floating";
};

class TXcCustomOfficeColorButton : public TXcCustomPanel, public IXcHotTrackable {
 public:
  // The smallest arrow half, main half and height.
  static constexpr int32_t kMinArrowWidth = 13;
  static constexpr int32_t kMinMainWidth = 22;
  static constexpr int32_t kMinHeight = 22;

  explicit TXcCustomOfficeColorButton(TComponent* owner);
  ~TXcCustomOfficeColorButton() override;
  void WndProc(TMessage& message) override;

  TColor SelectedColor() const;
  void SetSelectedColor(TColor value);
  TColor GetSelectedColor() const { return SelectedColor(); }
  TColor BackColor() const;
  void SetBackColor(TColor value);
  TColor DropingBgColor() const { return dropingBgColor_; }
  void SetDropingBgColor(TColor value);
  TColor FloatingBgColor() const { return floatingBgColor_; }
  void SetFloatingBgColor(TColor value);
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  TBitmap* Glyph() const { return mainButton_->Glyph(); }
  void SetGlyph(TBitmap* value);
  TStrings* UserColors() const;
  void SetUserColors(TStrings* value);
  TStrings* ColorDlgCustomColors() const;
  void SetColorDlgCustomColors(TStrings* value);
  TColorDialogOptions ColorDialogOptions() const;
  void SetColorDialogOptions(TColorDialogOptions value);
  TXcOfficeColorButtonProperties* Properties() const { return properties_; }
  void SetProperties(TXcOfficeColorPanelProperties* value);
  void SetEnabled(bool value) override;
  void Loaded() override;

  // The hot-track interface: the settings pass on to both halves and the panel.
  bool HotTrack() const override { return hotTrack_; }
  void SetHotTrack(bool value) override;
  TFont* HotTrackFont() override;
  void SetHotTrackFont(TFont* value) override;
  TXcTrackFontOptions HotTrackFontOptions() const override;
  void SetHotTrackFontOptions(TXcTrackFontOptions value) override;
  TXcHotTrackOptions* HotTrackOptions() override { return hotTrackOptions_; }
  void SetHotTrackOptions(TXcHotTrackOptions* value) override;
  void AssignHotTrack(IXcHotTrackable* other) override;

  TXcColorMainButton* MainButton() const { return mainButton_; }
  TXcColorArrowButton* ArrowButton() const { return arrowButton_; }
  TXcOfficeColorForm* ColorForm() const { return colorForm_; }
  TXcOfficeColorPanel* ColorPanel() const { return colorForm_ ? colorForm_->ColorPanel() : nullptr; }
  bool Dropped() const { return dropped_; }

  // Hides the form, clears the dropped flag and raises the arrow half.
  virtual void CloseUp();
  // Places the form at (x, y), or under the main half when both are 0, and shows it without taking
  // the activation.
  virtual void DropDown(int32_t x, int32_t y);
  // Where the form goes: left at the anchor, top below the button, kept on the anchor's monitor
  // (moved left at its right edge, opened above the button at its bottom).
  void PlaceColorForm(int32_t x, int32_t y);
  // A descendant's colour lists: they add nothing here and answer the line count.
  virtual int32_t FillStandardColors(TStrings* list);
  virtual int32_t FillSystemColors(TStrings* list);
  virtual int32_t FillUserColors(TStrings* list);
  virtual void PropertiesChanged(TObject* sender, const std::string& propName);
  virtual void RebuildStandardColors();
  virtual void RebuildSystemColors();
  virtual void RebuildUserColors();
  // The panel arranged, then the button's size adjusted.
  virtual void ArrangeColors();
  // Arrow half at least 13 wide, main half at least 22, height at least 22; the halves placed.
  void AdjustSize() override;

  TNotifyEvent OnColorChange;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnColorButtonClick;
  TNotifyEvent OnShowOwnerColorDialog;
  TNotifyEvent OnArrowClick;

 protected:
  void CreateWnd() override;
  void Resize() override;
  void HandleFontChange() override;
  void HandleFocusLost(HWND receivesFocus) override;
  // A custom colour went into the panel's user colours.
  TXcCustomColorKeptEvent OnCustomColorKept;

 private:
  void ArrowClick();
  // The sender is the button, one of its halves, the form or a control inside the form.
  bool IsOwnControl(TControl* control) const;
  void FormShowingChanged();
  void FormStyleChanged();
  void FormClose(TCloseAction& action);
  void PanelColorChange();
  void PanelColorButtonClick(TObject* sender);
  void PanelCustomColorKept(TColor color);
  void PairEntry();
  void PairExit(TObject* sender);
  bool PairTracking() const;
  void PassHotTrackOptions();
  // Builds a colour list through the fill routine and rebuilds its cells when the list changed.
  bool FillList(TStrings* list, int32_t (TXcCustomOfficeColorButton::*fill)(TStrings*),
                void (TXcCustomOfficeColorButton::*rebuild)(), bool fillInsideUpdate);
  void UnhookForm();

  TXcColorMainButton* mainButton_ = nullptr;   // owned as a component
  TXcColorArrowButton* arrowButton_ = nullptr;  // owned as a component
  TXcOfficeColorForm* colorForm_ = nullptr;     // owned, freed first by the destructor
  TXcOfficeColorButtonProperties* properties_ = nullptr;  // owned as a sub-component, freed after the form
  bool flat_ = false;
  bool dropped_ = false;
  TColor floatingBgColor_ = clBtnFace;
  TColor dropingBgColor_ = clBtnFace;
  bool created_ = false;
  bool listChanged_ = false;
  bool adjusting_ = false;
  bool hotTrack_ = false;
  TXcHotTrackOptions* hotTrackOptions_ = nullptr;  // owned as a sub-component, freed after the form
};

class TXcOfficeColorButton : public TXcCustomOfficeColorButton {
 public:
  using TXcCustomOfficeColorButton::TXcCustomOfficeColorButton;
};
