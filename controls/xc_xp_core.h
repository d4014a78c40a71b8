#pragma once
// The base of the XP-style controls: window and control notifications become overridable hooks,
// each of which repaints the control when its trigger is in the control's redraw set; a style with
// a theme, and a style manager that repaints the controls registered with it when its theme changes.
#include <cstdint>
#include <functional>
#include <vector>

#include "controls/xc_ex_controls.h"
#include "controls/xc_xp_core_utils.h"

enum TXcRedrawTrigger : uint8_t {
  rtTextChanged, rtBorderChanged, rtEnabledChanged, rtFocusChanged, rtMousePressed, rtMouseEntered, rtMouseLeft,
  rtMouseMoved, rtMouseReleased, rtParentColorChanged, rtParentFontChanged, rtPositionChanged, rtResized
};
using TXcRedrawTriggers = TEnumSet<TXcRedrawTrigger>;
// The set at creation (893, $37D): text, enabled, focus, pressed, entered, left, released and parent
// colour.
constexpr TXcRedrawTriggers kDefaultRedrawTriggers{rtTextChanged,  rtEnabledChanged, rtFocusChanged,
                                                   rtMousePressed, rtMouseEntered,   rtMouseLeft,
                                                   rtMouseReleased, rtParentColorChanged};

enum TXcDrawFlag : uint8_t { dfDefault, dfHot, dfPressed, dfFocused };
using TXcDrawFlags = TEnumSet<TXcDrawFlag>;

enum TXcXPTheme : uint8_t { WindowsXP, OfficeXP };

class TXcXPCustomComponent : public TXcComponent {
 public:
  using TXcComponent::TXcComponent;
};

class TXcXPCustomControl : public TXcExCustomControl {
 public:
  explicit TXcXPCustomControl(TComponent* owner);
  void WndProc(TMessage& message) override;

  TXcRedrawTriggers RedrawTriggers() const { return redrawTriggers_; }
  void SetRedrawTriggers(TXcRedrawTriggers value) { redrawTriggers_ = value; }
  TXcDrawFlags DrawFlags() const { return drawFlags_; }
  int32_t UpdateCount() const { return updateCount_; }
  // Whether the form's active control was an XP control at the last focus change.
  bool ActiveIsXPControl() const { return activeIsXPControl_; }
  int32_t ModalResult() const { return modalResult_; }
  void SetModalResult(int32_t value) { modalResult_ = value; }

  // Invalidates the control unless an update is open.
  virtual void RequestRedraw();
  virtual void BorderChanged();
  virtual void EnabledChanged();
  virtual void FocusChanged(bool focused);
  virtual void MousePressed();
  virtual void MouseEntered();
  virtual void MouseLeft();
  virtual void MouseMoved(int x, int y);
  virtual void MouseReleased();
  virtual void ParentColorChanged();
  virtual void ParentFontChanged();
  virtual void PositionChanged();
  virtual void Resized();
  virtual void TextChanged();
  virtual void BeginUpdate();
  // Raises EAssertionFailed "Unpaired call to TXcXPCustomControl.EndUpdate (XcXPCore, line 363)"
  // without an open update; otherwise closes one and asks for a repaint.
  virtual void EndUpdate();
  // What the property setters of the controls call: invalidates unless an update is open.
  virtual void Redraw();

  // Leaves the clicked state, sets the parent form's modal result, then clicks.
  void Click() override;

 protected:
  // Asks for a repaint when the trigger is in the set.
  void RedrawOn(TXcRedrawTrigger trigger);
  void HandleEnabledChange() override;
  void HandleFocusChange(TControl* control) override;
  void HandleMouseEntry(TControl* control) override;
  void HandleMouseExit(TControl* control) override;
  void HandleParentColorChange() override;
  void HandleParentFontChange() override;
  void HandleTextChange() override;
  bool HandleDialogChar(uint16_t key, TShiftState shift, const std::string& keyText) override;
  // The control paints its whole client area, double-buffered: nothing to erase first.
  bool HandleEraseBackground(TCanvas* canvas, LPARAM param) override;

  TXcDrawFlags drawFlags_{dfDefault};
  bool activeIsXPControl_ = false;

 private:
  TXcRedrawTriggers redrawTriggers_ = kDefaultRedrawTriggers;
  int32_t updateCount_ = 0;
  bool mousePressed_ = false;
  int32_t modalResult_ = 0;
};

class TXcXPCustomStyleControl;

// The style of an XP control: its theme, and whether a style manager's theme rules.
class TXcXPStyle : public TPersistent {
 public:
  explicit TXcXPStyle(TXcXPCustomControl* owner) : owner_(owner) {}
  TXcXPTheme Theme() const { return theme_; }
  void SetTheme(TXcXPTheme value);
  bool UseStyleManager() const { return useStyleManager_; }
  void SetUseStyleManager(bool value);
  TXcXPCustomControl* Owner() const { return owner_; }

 private:
  TXcXPCustomControl* owner_;
  TXcXPTheme theme_ = WindowsXP;
  bool useStyleManager_ = true;
};

using TXcXPThemeChangedEvent = std::function<void(TObject* Sender, TXcXPTheme Theme)>;

// Repaints the controls registered with it when its theme changes.
class TXcXPStyleManager : public TXcXPCustomComponent {
 public:
  explicit TXcXPStyleManager(TComponent* owner);
  // Every registered control repaints.
  ~TXcXPStyleManager() override;
  TXcXPTheme Theme() const { return theme_; }
  void SetTheme(TXcXPTheme value);
  // Adds the controls not yet listed; removes those listed.
  void RegisterControls(const std::vector<TXcXPCustomControl*>& controls);
  void UnregisterControls(const std::vector<TXcXPCustomControl*>& controls);
  const std::vector<TXcXPCustomControl*>& Controls() const { return controls_; }
  TXcXPThemeChangedEvent OnThemeChanged;

 private:
  TXcXPTheme theme_ = WindowsXP;
  std::vector<TXcXPCustomControl*> controls_;
};

// An XP control with a style of its own and, optionally, a style manager.
class TXcXPCustomStyleControl : public TXcXPCustomControl {
 public:
  explicit TXcXPCustomStyleControl(TComponent* owner);
  ~TXcXPCustomStyleControl() override;
  TXcXPStyle* Style() { return &style_; }
  TXcXPStyleManager* StyleManager() const { return styleManager_; }
  // Registers the control with the new manager and out of the old one, and repaints.
  void SetStyleManager(TXcXPStyleManager* value);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TXcXPStyle style_;
  TXcXPStyleManager* styleManager_ = nullptr;
};
