#pragma once
// The panel: the framework's panel with hot tracking (another face, font and frame while the mouse is
// over it), transparency, a flat one-colour border, a caption that may wrap, a size grip the user
// drags, moving by dragging its inside, size events, and the arrangement of its windowed children in
// rows (TXcArrangeSettings). TXcCustomArrangePanel holds the behaviour; TXcPanel publishes it.
#include <cstdint>
#include <functional>
#include <memory>

#include "controls/xc_arrange_settings.h"
#include "controls/xc_ex_controls.h"
#include "controls/xc_hot_track_persistent.h"
#include "controls/xc_xcl_utils.h"

// The hot-track options of a panel: its hot face is the button face unless set.
class TXcPanelHotTrackOptions : public TXcHotTrackOptions {
 public:
  explicit TXcPanelHotTrackOptions(TPersistent* owner);
};

using TXcPanelResizeParentEvent = std::function<void(TObject* Sender, int Left, int Top, int Width, int Height)>;
using TXcPanelChangedSizeEvent = std::function<void(TObject* Sender, int NewSize)>;
using TXcPanelMoveEvent = std::function<void(TObject* Sender, int X, int Y, bool& Allow)>;

class TXcCustomArrangePanel : public TXcCustomPanel,
                              public IArrangeable,
                              public IXcHotTrackable,
                              public ISubclassRefusalMarker {
 public:
  explicit TXcCustomArrangePanel(TComponent* owner);
  ~TXcCustomArrangePanel() override;
  void WndProc(TMessage& message) override;

  // ---- arranging
  void RearrangeChildren() override;
  void SuspendArranging() override;
  void ResumeArranging() override;
  TXcArrangeSettings* ArrangeSettings() override { return arrangeSettings_; }
  void SetArrangeSettings(TXcArrangeSettings* value) override;
  // RearrangeChildren when AutoArrange is set and the panel is not being loaded.
  void RearrangeIfAutomatic();
  int32_t ArrangeLockCount() const { return arrangeLockCount_; }
  bool IsArranging() const { return isArranging_; }
  // The extent of the last arrangement with both margins.
  int32_t ArrangedWidth() const { return arrangedWidth_; }
  int32_t ArrangedHeight() const { return arrangedHeight_; }

  // ---- size: the size events fire, then OnResizeParent, or the arranging parent arranges anew.
  void SetWidth(int value);
  void SetHeight(int value);

  // ---- look
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool FlatBorder() const { return flatBorder_; }
  void SetFlatBorder(bool value);
  TColor FlatBorderColor() const { return flatBorderColor_; }
  void SetFlatBorderColor(TColor value);
  bool MultiLine() const { return multiLine_; }
  void SetMultiLine(bool value);
  bool Sizeable() const { return sizeable_; }
  void SetSizeable(bool value);
  bool Movable() const { return movable_; }
  void SetMovable(bool value) { movable_ = value; }
  bool IsSizing() const { return isSizing_; }
  bool IsMoving() const { return isMoving_; }
  TPoint LastMousePos() const { return lastMousePos_; }

  // The rectangle the caption is drawn in on the canvas (in its font), before drawing.
  TRect CaptionRect(TCanvas* canvas);
  // The grip's rectangle (bottom-right corner) and whether a client point is in the square the
  // mouse sizes the panel by (Width - x <= 11 and Height - y <= 11).
  TRect GripRect();
  bool InGrip(int x, int y) const { return width_ - x <= 11 && height_ - y <= 11; }

  // ---- the hot-track interface
  bool HotTrack() const override { return hotTrack_; }
  void SetHotTrack(bool value) override { hotTrack_ = value; }
  TFont* HotTrackFont() override { return hotTrackFont_.get(); }
  void SetHotTrackFont(TFont* value) override;
  TXcTrackFontOptions HotTrackFontOptions() const override { return hotTrackFontOptions_; }
  void SetHotTrackFontOptions(TXcTrackFontOptions value) override;
  TXcHotTrackOptions* HotTrackOptions() override { return hotTrackOptions_; }
  void SetHotTrackOptions(TXcHotTrackOptions* value) override;
  void AssignHotTrack(IXcHotTrackable* other) override;

  TXcPanelResizeParentEvent OnResizeParent;
  TXcPanelChangedSizeEvent OnChangedWidth;
  TXcPanelChangedSizeEvent OnChangedHeight;
  // Replaces the whole painting when assigned.
  TNotifyEvent OnPaint;
  TNotifyEvent OnAfterMove;
  TXcPanelMoveEvent OnBeforeMove;

 protected:
  // An arrange setting changed (attached to the settings' OnAfterPropertyChange): "AutoArrange" and
  // "AutoSize" re-arrange when they were switched on, any other at once (when automatic).
  virtual void ArrangeSettingChanged(TObject* sender, const std::string& propName);
  void Loaded() override;
  void AlignControls(TControl* control, TRect& rect) override;
  void Resize() override;
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void Notification(TComponent* component, TOperation operation) override;
  void HandleTextChange() override;
  void HandleFontChange() override;
  bool HandleEraseBackground(TCanvas* canvas, LPARAM param) override;
  void HandleParentColorChange() override;
  void HandleMouseEntry(TControl* control) override;
  void HandleMouseExit(TControl* control) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  virtual void PaintCaption();
  virtual void PaintCaptionOn(TCanvas* canvas);
  // The framework panel's bevels and border band.
  virtual void PaintBevels();
  // Whether a drag may start at the client point (OnBeforeMove may refuse).
  virtual bool AskMoveAllowed(int x, int y);
  virtual void NotifyMoved();

 private:
  void SetBoundsOf(int width, int height);
  void MakeArrangeSettings();
  void MakeHotTrackOptions();
  void ShowSizingCursor();
  void RestoreCursor();
  void PaintGrip(TCanvas* canvas);
  bool Hot() const { return IsMouseInside() && hotTrack_; }

  bool transparent_ = false;
  bool flatBorder_ = false;
  TColor flatBorderColor_ = clBtnShadow;
  bool multiLine_ = false;
  bool sizeable_ = false;
  bool isSizing_ = false;
  TPoint lastMousePos_{};
  int32_t arrangeLockCount_ = 0;
  bool isArranging_ = false;
  int32_t arrangedWidth_ = 0;
  int32_t arrangedHeight_ = 0;
  TXcArrangeSettings* arrangeSettings_ = nullptr;      // owned as a sub-component
  bool movable_ = false;
  bool isMoving_ = false;
  bool hotTrack_ = false;
  std::unique_ptr<TFont> hotTrackFont_;
  TXcTrackFontOptions hotTrackFontOptions_ = kDefaultTrackFontOptions;
  TXcPanelHotTrackOptions* hotTrackOptions_ = nullptr;  // owned as a sub-component
  TCursor savedCursor_ = crDefault;
};

class TXcPanel : public TXcCustomArrangePanel {
 public:
  using TXcCustomArrangePanel::TXcCustomArrangePanel;
};
