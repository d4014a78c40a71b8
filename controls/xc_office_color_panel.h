#pragma once
// The office colour panel: an optional "No Color" button, an "Automatic" button, a grid of the 40
// office colours in rows of 8, optional grids of the system colours and of user colours, and an
// "Other Colors..." button that runs the colour dialog with a swatch of the colour chosen there. One
// colour is selected at a time (SelectedColor); a click on a button selects its colour.
//
// The swatch buttons it is made of live here too: TXcColorSpeedButton (a speed button with a colour
// swatch on its face), the grid cell TXcOfficeColorDrawer and the "Automatic" button
// TXcDefaultColorSpeendButton, whose hint names the colour under the pointer.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "controls/xc_panel.h"
#include "controls/xc_speed_button.h"
#include "controls/xc_types.h"
#include "platform/ui/common_dialogs.h"
#include "platform/ui/ext_ctrls.h"
#include "platform/ui/string_list.h"

// The swatch placements: a square at the left, a square at the right, the whole face.
constexpr int32_t kSwatchLeft = 1, kSwatchRight = 2, kSwatchWhole = 3;

class TXcColorSpeedButton : public TXcSpeedButton {
 public:
  explicit TXcColorSpeedButton(TComponent* owner);

  TColor SwatchColor() const { return swatchColor_; }
  void SetSwatchColor(TColor value);
  TColor DisabledSwatchColor() const { return disabledSwatchColor_; }
  void SetDisabledSwatchColor(TColor value);
  bool SwatchFrame() const { return swatchFrame_; }
  void SetSwatchFrame(bool value);
  bool SwatchBarWithGlyph() const { return swatchBarWithGlyph_; }
  void SetSwatchBarWithGlyph(bool value);
  bool ShowSwatch() const { return showSwatch_; }
  void SetShowSwatch(bool value);
  int32_t SwatchPlacement() const { return swatchPlacement_; }
  // 1, 2 or 3; other values are ignored.
  void SetSwatchPlacement(int32_t value);
  int32_t SwatchMargin() const { return swatchMargin_; }
  void SetSwatchMargin(int32_t value);
  // The distance of the swatch from the edges: the height div 5 unless a descendant answers
  // otherwise.
  virtual int32_t SwatchInset();

  // The rectangles the paint uses: the swatch of the placement, its grey frame, and the bar under
  // a glyph (one pixel right and down while the button is down).
  TRect SwatchRect();
  TRect SwatchFrameRect();
  TRect SwatchBarRect();

  // After the enabled state changed.
  TNotifyEvent OnEnabledChanged;

 protected:
  void PaintButton(TCanvas* canvas) override;
  void HandleEnabledChange() override;

 private:
  int32_t EffectiveInset();
  bool HasGlyph();
  TColor swatchColor_ = clDefault;
  TColor disabledSwatchColor_ = TColorOf(0x00808080);
  bool swatchFrame_ = false;
  bool swatchBarWithGlyph_ = true;
  bool showSwatch_ = true;
  int32_t swatchPlacement_ = kSwatchWhole;
  int32_t swatchMargin_ = 4;
};

// A cell of the colour grid.
class TXcOfficeColorDrawer : public TXcColorSpeedButton {
 public:
  explicit TXcOfficeColorDrawer(TComponent* owner);
};

// The "Automatic" button: over its swatch the hint names the swatch's colour.
class TXcDefaultColorSpeendButton : public TXcColorSpeedButton {
 public:
  using TXcColorSpeedButton::TXcColorSpeedButton;

 protected:
  bool HandleHintShow(THintInfo& info) override;
};

// The thin line between the groups of the panel.
class TXcOfficePanelDividerLine : public TBevel {
 public:
  explicit TXcOfficePanelDividerLine(TComponent* owner);
};

// The colour dialog of the "Other Colors..." button.
class TXcOfficeColorDialog : public TColorDialog {
 public:
  using TColorDialog::TColorDialog;
};

class TXcOfficeColorPanelProperties : public TXcPersistentProperty {
 public:
  explicit TXcOfficeColorPanelProperties(TPersistent* owner);
  ~TXcOfficeColorPanelProperties() override;

  bool ShowNoneColor() const { return showNoneColor_; }
  void SetShowNoneColor(bool v) { Change(showNoneColor_, v, "ShowNoneColor"); }
  bool ShowDefaultColor() const { return showDefaultColor_; }
  void SetShowDefaultColor(bool v) { Change(showDefaultColor_, v, "ShowDefaultColor"); }
  bool ShowCustomColor() const { return showCustomColor_; }
  void SetShowCustomColor(bool v) { Change(showCustomColor_, v, "ShowCustomColor"); }
  bool ShowColorsHint() const { return showColorsHint_; }
  void SetShowColorsHint(bool v) { Change(showColorsHint_, v, "ShowColorsHint"); }
  bool ShowAddInHint() const { return showAddInHint_; }
  void SetShowAddInHint(bool v) { Change(showAddInHint_, v, "ShowAddInHint"); }
  bool ShowStandardColors() const { return showStandardColors_; }
  void SetShowStandardColors(bool v) { Change(showStandardColors_, v, "ShowStandardColors"); }
  bool ShowSystemColors() const { return showSystemColors_; }
  void SetShowSystemColors(bool v) { Change(showSystemColors_, v, "ShowSystemColors"); }
  bool ShowUserColors() const { return showUserColors_; }
  void SetShowUserColors(bool v) { Change(showUserColors_, v, "ShowUserColors"); }
  bool HoldCustomColor() const { return holdCustomColor_; }
  void SetHoldCustomColor(bool v) { Change(holdCustomColor_, v, "HoldCustomColor"); }
  TColor NoneColorColor() const { return noneColorColor_; }
  void SetNoneColorColor(TColor v) { Change(noneColorColor_, v, "NoneColorColor"); }
  TColor DefaultColorColor() const { return defaultColorColor_; }
  void SetDefaultColorColor(TColor v) { Change(defaultColorColor_, v, "DefaultColorColor"); }
  const std::string& DefaultColorCaption() const { return defaultColorCaption_; }
  void SetDefaultColorCaption(const std::string& v) { Change(defaultColorCaption_, v, "DefaultColorCaption"); }
  const std::string& CustomColorCaption() const { return customColorCaption_; }
  void SetCustomColorCaption(const std::string& v) { Change(customColorCaption_, v, "CustomColorCaption"); }
  const std::string& NoneColorCaption() const { return noneColorCaption_; }
  void SetNoneColorCaption(const std::string& v) { Change(noneColorCaption_, v, "NoneColorCaption"); }
  const std::string& DefaultColorHint() const { return defaultColorHint_; }
  void SetDefaultColorHint(const std::string& v) { Change(defaultColorHint_, v, "DefaultColorHint"); }
  const std::string& CustomColorHint() const { return customColorHint_; }
  void SetCustomColorHint(const std::string& v) { Change(customColorHint_, v, "CustomColorHint"); }
  const std::string& NoneColorHint() const { return noneColorHint_; }
  void SetNoneColorHint(const std::string& v) { Change(noneColorHint_, v, "NoneColorHint"); }
  // The fonts are owned; a change inside one notifies with its name.
  TFont* DefaultColorFont() const { return defaultColorFont_.get(); }
  void SetDefaultColorFont(TFont* v) { if (v) defaultColorFont_->Assign(*v); }
  TFont* NoneColorFont() const { return noneColorFont_.get(); }
  void SetNoneColorFont(TFont* v) { if (v) noneColorFont_->Assign(*v); }
  TFont* CustomColorFont() const { return customColorFont_.get(); }
  void SetCustomColorFont(TFont* v) { if (v) customColorFont_->Assign(*v); }
  // The numbers store a value below their minimum as the minimum.
  int32_t HorizontalMargin() const { return horizontalMargin_; }
  void SetHorizontalMargin(int32_t v) { Change(horizontalMargin_, std::max(v, 4), "HorizontalMargin"); }
  int32_t TopMargin() const { return topMargin_; }
  void SetTopMargin(int32_t v) { Change(topMargin_, std::max(v, 4), "TopMargin"); }
  int32_t BottomMargin() const { return bottomMargin_; }
  void SetBottomMargin(int32_t v) { Change(bottomMargin_, std::max(v, 4), "BottomMargin"); }
  int32_t ButtonHeight() const { return buttonHeight_; }
  void SetButtonHeight(int32_t v) { Change(buttonHeight_, std::max(v, 25), "ButtonHeight"); }
  int32_t ColorSpace() const { return colorSpace_; }
  void SetColorSpace(int32_t v) { Change(colorSpace_, std::max(v, 0), "ColorSpace"); }
  int32_t ColorSpaceTop() const { return colorSpaceTop_; }
  void SetColorSpaceTop(int32_t v) { Change(colorSpaceTop_, std::max(v, 4), "ColorSpaceTop"); }
  int32_t ColorSpaceBottom() const { return colorSpaceBottom_; }
  void SetColorSpaceBottom(int32_t v) { Change(colorSpaceBottom_, std::max(v, 4), "ColorSpaceBottom"); }
  int32_t ColorSize() const { return colorSize_; }
  void SetColorSize(int32_t v) { Change(colorSize_, std::max(v, 18), "ColorSize"); }
  bool RightClickSelect() const { return rightClickSelect_; }
  void SetRightClickSelect(bool v) { Change(rightClickSelect_, v, "RightClickSelect"); }
  bool SelectIfPopup() const { return selectIfPopup_; }
  void SetSelectIfPopup(bool v) { Change(selectIfPopup_, v, "SelectIfPopup"); }

  // The default captions and hints ("No Color", "Automatic", "Other Colors..."), in one group.
  virtual void LoadDefaultTexts();
  // From another panel's properties (a descendant's too), in one group; other sources raise the
  // framework's conversion error.
  void Assign(TPersistent* source) override;

 private:
  std::unique_ptr<TFont> MakeFont(const char* name);
  bool showNoneColor_ = false;
  bool showDefaultColor_ = true;
  bool showCustomColor_ = true;
  bool showColorsHint_ = true;
  bool showAddInHint_ = true;
  bool showStandardColors_ = true;
  bool showSystemColors_ = false;
  bool showUserColors_ = false;
  bool holdCustomColor_ = false;
  TColor noneColorColor_ = clNone;
  TColor defaultColorColor_ = clDefault;
  std::string defaultColorCaption_, customColorCaption_, noneColorCaption_;
  std::string defaultColorHint_, customColorHint_, noneColorHint_;
  std::unique_ptr<TFont> defaultColorFont_, noneColorFont_, customColorFont_;
  int32_t horizontalMargin_ = 4;
  int32_t topMargin_ = 4;
  int32_t bottomMargin_ = 4;
  int32_t buttonHeight_ = 25;
  int32_t colorSpace_ = 0;
  int32_t colorSpaceTop_ = 4;
  int32_t colorSpaceBottom_ = 4;
  int32_t colorSize_ = 18;
  bool rightClickSelect_ = false;
  bool selectIfPopup_ = false;
};

// The kind of the button a click of the panel is handling.
enum : int32_t {
  kClickGridCell = 0, kClickNone = 1, kClickDefault = 2, kClickCustom = 3, kClickFixed = 4, kClickOutside = 5
};

using TXcCustomColorKeptEvent = std::function<void(TObject* Sender, TColor Color)>;
using TXcPlaceAddInEvent = std::function<void(TObject* Sender, TControl* Control, TRect& Rect)>;

class TXcCustomOfficeColorPanel : public TXcCustomArrangePanel {
 public:
  explicit TXcCustomOfficeColorPanel(TComponent* owner);
  ~TXcCustomOfficeColorPanel() override;

  TColor SelectedColor() const { return selectedColor_; }
  void SetSelectedColor(TColor value);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor value);
  TStrings* UserColors() const { return userColors_.get(); }
  // Copies the list and rebuilds and arranges the groups shown.
  void SetUserColors(TStrings* value);
  TStrings* StandardColors() const { return standardColors_.get(); }
  TStrings* SystemColors() const { return systemColors_.get(); }
  TStrings* ColorDlgCustomColors() const { return colorDialog_->CustomColors(); }
  void SetColorDlgCustomColors(TStrings* value);
  TColorDialogOptions ColorDialogOptions() const { return colorDialogOptions_; }
  void SetColorDialogOptions(TColorDialogOptions value) { colorDialogOptions_ = value; }
  TXcOfficeColorPanelProperties* Properties() const { return properties_; }
  void SetProperties(TXcOfficeColorPanelProperties* value);

  // The hot-track settings pass on to every cell and every fixed control that tracks.
  void SetHotTrack(bool value) override;
  void SetHotTrackFont(TFont* value) override;
  void SetHotTrackFontOptions(TXcTrackFontOptions value) override;
  void SetHotTrackOptions(TXcHotTrackOptions* value) override;
  void SetEnabled(bool value) override;

  // The buttons: the cells of the three groups, the fixed buttons, the dividers (1 before the
  // system colours, 2 before the user colours, 3 before the custom button).
  const std::vector<TXcOfficeColorDrawer*>& StandardButtons() const { return standardButtons_; }
  const std::vector<TXcOfficeColorDrawer*>& SystemButtons() const { return systemButtons_; }
  const std::vector<TXcOfficeColorDrawer*>& UserButtons() const { return userButtons_; }
  const std::vector<TControl*>& FixedControls() const { return fixedControls_; }
  TXcColorSpeedButton* NoneButton() const { return noneButton_; }
  TXcDefaultColorSpeendButton* DefaultButton() const { return defaultButton_; }
  TXcColorSpeedButton* CustomButton() const { return customButton_; }
  TXcOfficeColorDrawer* CustomSwatch() const { return customSwatch_; }
  TXcOfficePanelDividerLine* Divider(int index) const { return dividers_[index - 1]; }
  TXcCustomSpeedButton* SelectedButton() const { return selectedButton_; }
  TXcOfficeColorDialog* ColorDialog() const { return colorDialog_; }
  // Adds a control below the custom button (it is placed by ArrangeButtons, not owned).
  void AddInControl(TControl* control);
  int32_t ClickKind() const { return clickKind_; }
  bool InClick() const { return inClick_; }

  virtual void ColorButtonClick(TObject* sender);
  virtual void ColorChanged();
  virtual void PlaceAddInControl(TObject* sender, TControl* control, TRect& rect);
  virtual void PropertiesChanged(TObject* sender, const std::string& propName);
  virtual int32_t FillStandardColors(TStrings* list);
  virtual int32_t FillSystemColors(TStrings* list);
  virtual int32_t FillUserColors(TStrings* list);
  virtual void BuildStandardButtons();
  virtual void BuildSystemButtons();
  virtual void BuildUserButtons();
  virtual void ArrangeButtons();
  void Loaded() override;

  TNotifyEvent OnColorChange;
  TNotifyEvent OnColorButtonClick;
  TNotifyEvent OnShowOwnerColorDialog;
  // A custom colour went into the user colours (HoldCustomColor).
  TXcCustomColorKeptEvent OnCustomColorKept;
  TXcPlaceAddInEvent OnPlaceAddIn;

 protected:
  void CreateWnd() override;
  void Resize() override;
  void HandleShowHintChange() override;

 private:
  void BuildGroup(TStrings* list, std::vector<TXcOfficeColorDrawer*>& buttons, bool show);
  void TakeCustomColor(TColor color);
  void CellMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void PassHotTrack(IXcHotTrackable* target);
  void PassHotTrackToAll();
  void HotTrackOptionsChanged();
  void RebuildShownGroups();
  // Every grid and fixed speed button (group 1).
  template <class F>
  void ForEachGroupButton(F&& f);
  // Puts the button down (raising the one that was down) or raises it, by the speed button's
  // public rules.
  void PutDown(TXcCustomSpeedButton* button);
  void PutUp(TXcCustomSpeedButton* button);

  std::unique_ptr<TStringList> standardColors_, systemColors_, userColors_;
  std::vector<TXcOfficeColorDrawer*> standardButtons_, systemButtons_, userButtons_;
  std::vector<TControl*> fixedControls_;
  // The cells whose line names no colour: hidden and disabled whatever the panel does.
  std::set<const TControl*> invalidCells_;
  TXcColorSpeedButton* noneButton_ = nullptr;
  TXcDefaultColorSpeendButton* defaultButton_ = nullptr;
  TXcColorSpeedButton* customButton_ = nullptr;
  TXcOfficeColorDrawer* customSwatch_ = nullptr;
  TXcOfficePanelDividerLine* dividers_[3] = {};
  TXcCustomSpeedButton* selectedButton_ = nullptr;
  TXcOfficeColorDialog* colorDialog_ = nullptr;
  TColor backColor_ = clBtnFace;
  bool created_ = false;
  bool inClick_ = false;
  bool arranging_ = false;
  TColorDialogOptions colorDialogOptions_ = 0;
  int32_t clickKind_ = kClickOutside;
  TColor selectedColor_ = clDefault;
  TXcOfficeColorPanelProperties* properties_ = nullptr;  // owned as a sub-component
};

class TXcOfficeColorPanel : public TXcCustomOfficeColorPanel {
 public:
  using TXcCustomOfficeColorPanel::TXcCustomOfficeColorPanel;
};
