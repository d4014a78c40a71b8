#pragma once
// The tear-off window: a small caption-less window that stays on top and holds one content control
// under a thin drag bar. It drops down under the control that owns it; dragging the bar turns it into
// a floating tool window with a caption and a system menu that follows the pointer, so its content
// stays open while the user works elsewhere. Hiding it brings back the dropped-down shape.
#include <cstdint>
#include <string>

#include "controls/xc_ex_controls.h"
#include "controls/xc_forms.h"

class TXcOfficeDragBarForm;

// The bar: pressing it and moving tears the window off and hands it to the window system's move;
// the pointer over it shows the active caption colour and the move cursor.
class TXcOfficePanelDragBar : public TXcExWinControl {
 public:
  TXcOfficePanelDragBar(TComponent* owner, TXcOfficeDragBarForm* form);

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void HandleMouseEntry(TControl* control) override;
  void HandleMouseExit(TControl* control) override;

 private:
  TXcOfficeDragBarForm* form_;
};

class TXcOfficeDragBarForm : public TXcForm {
 public:
  // The bar's smallest height and the smallest space above and below it.
  static constexpr int32_t kMinDragBarHeight = 7;
  static constexpr int32_t kMinDragBarSpace = 3;
  // The indices of SetDragBarSize.
  static constexpr int kDragBarHeightIndex = 9;
  static constexpr int kDragBarSpaceIndex = 10;

  explicit TXcOfficeDragBarForm(TComponent* owner);
  ~TXcOfficeDragBarForm() override;

  // The hosted control (not owned through this); setting one takes the old one off the form.
  TControl* Content() const { return content_; }
  void SetContent(TControl* control);
  TXcOfficePanelDragBar* DragBar() const { return dragBar_; }

  int32_t DragBarHeight() const { return dragBarHeight_; }
  int32_t DragBarSpace() const { return dragBarSpace_; }
  // Index 9 the bar's height, 10 the space around it; a value below the minimum becomes the
  // minimum, the default-sizes flag is cleared and the content is arranged again. Other indices and
  // unchanged values do nothing.
  void SetDragBarSize(int index, int32_t value);
  bool DefaultSizes() const { return defaultSizes_; }
  // Becoming true puts the bar back to 7 high with 3 around it (nothing is arranged).
  void SetDefaultSizes(bool value);
  bool ShowDragBar() const { return showDragBar_; }
  virtual void SetShowDragBar(bool value) { showDragBar_ = value; }
  bool Floating() const { return floating_; }
  // With the bar allowed: the floating tool window or the dropped-down dialog, arranged (unless a
  // move runs) and told through OnStyleChanged. Without it the form stays dropped down, unannounced.
  void SetFloating(bool value);
  bool Flat() const { return flat_; }
  void SetFlat(bool value) { flat_ = value; }
  const std::string& DragBarHint() const { return dragBarHint_; }
  void SetDragBarHint(const std::string& value);
  bool Dragged() const { return dragged_; }
  bool Moving() const { return moving_; }
  bool DragMouseDown() const { return mouseDown_; }
  // Releases the capture and starts the window system's move by the mouse.
  void StartMove();
  // Bar (when shown and not floating) at the top, the content below it; the form's client area fits
  // them.
  virtual void ArrangeContent();

  // With the form's active control as sender: the showing state changed; the form lost the focus
  // (not during a move). With the form as sender: the floating state was set.
  TNotifyEvent OnShowingChanged;
  TNotifyEvent OnFocusLost;
  TNotifyEvent OnStyleChanged;

 protected:
  friend class TXcOfficePanelDragBar;
  // The dropped-down form has no title bar.
  void CreateParams(TCreateParams& params) override;
  void Resize() override;
  void HandleShowingChange() override;
  void HandleFocusLost(HWND receivesFocus) override;
  void HandleVisibleChange() override;
  // The first move after a press on the bar: torn off, then moved.
  void DragBarMoved();
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool arranging_ = false;
  bool created_ = false;
  bool defaultSizes_ = false;
  TControl* content_ = nullptr;
  TXcOfficePanelDragBar* dragBar_ = nullptr;
  int32_t dragBarSpace_ = kMinDragBarSpace;
  int32_t dragBarHeight_ = kMinDragBarHeight;
  bool flat_ = false;
  bool floating_ = false;
  bool showDragBar_ = true;
  std::string dragBarHint_;
  bool dragged_ = false;
  bool moving_ = false;
  bool mouseDown_ = false;
};
