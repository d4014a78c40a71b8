#include "controls/xc_office_drag_bar_form.h"

#include "platform/ui/message_queue.h"

// --------------------------------------------------------------------------- TXcOfficePanelDragBar

TXcOfficePanelDragBar::TXcOfficePanelDragBar(TComponent* owner, TXcOfficeDragBarForm* form)
    : TXcExWinControl(owner), form_(form) {}

void TXcOfficePanelDragBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TXcExWinControl::MouseDown(button, shift, x, y);
  if (button == mbLeft) form_->mouseDown_ = true;
}

void TXcOfficePanelDragBar::MouseMove(TShiftState shift, int x, int y) {
  TXcExWinControl::MouseMove(shift, x, y);
  if (form_->mouseDown_ || form_->moving_) form_->DragBarMoved();
}

void TXcOfficePanelDragBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TXcExWinControl::MouseUp(button, shift, x, y);
  if (button == mbLeft) {
    form_->mouseDown_ = false;
    form_->moving_ = false;
  }
}

void TXcOfficePanelDragBar::HandleMouseEntry(TControl* control) {
  TXcExWinControl::HandleMouseEntry(control);
  SetColor(clActiveCaption);
  SetCursor(crSizeAll);
}

void TXcOfficePanelDragBar::HandleMouseExit(TControl* control) {
  TXcExWinControl::HandleMouseExit(control);
  SetColor(clInactiveCaption);
  SetCursor(crDefault);
}

// ---------------------------------------------------------------------------- TXcOfficeDragBarForm

TXcOfficeDragBarForm::TXcOfficeDragBarForm(TComponent* owner) : TXcForm(owner) {
  if (Application) SetHintColor(Application->HintColor());
  showDragBar_ = true;
  SetBorderIcons(0);
  SetBorderStyle(bsDialog);
  SetBorderWidth(0);
  SetAutoSize(true);
  SetFormStyle(fsStayOnTop);
  floating_ = false;
  dragBar_ = new TXcOfficePanelDragBar(this, this);
  dragBar_->SetParent(this);
  dragBar_->SetAutoSize(false);
  dragBar_->SetText("");
  dragBar_->SetColor(clActiveCaption);
  dragBar_->SetHeight(kMinDragBarHeight);
  dragBar_->SetShowHint(true);
  SetDefaultSizes(true);
  SetKeyPreview(true);
  OnDeactivate = [this](TObject*) {
    mouseDown_ = false;
    dragged_ = false;
  };
  OnKeyUp = [this](TObject*, uint16_t& key, TShiftState) {
    if (key != VK_ESCAPE) return;
    Hide();
    SetModalResult(mrCancel);
  };
  created_ = true;
}

TXcOfficeDragBarForm::~TXcOfficeDragBarForm() {
  OnShowingChanged = nullptr;
  OnFocusLost = nullptr;
  OnStyleChanged = nullptr;
  if (content_) content_->RemoveFreeNotification(this);
}

void TXcOfficeDragBarForm::CreateParams(TCreateParams& params) {
  TXcForm::CreateParams(params);
  params.Style &= ~WS_CAPTION;
}

void TXcOfficeDragBarForm::Notification(TComponent* component, TOperation operation) {
  TXcForm::Notification(component, operation);
  if (operation == opRemove && component == content_) content_ = nullptr;
}

void TXcOfficeDragBarForm::SetContent(TControl* control) {
  if (control == content_) return;
  if (content_) {
    content_->RemoveFreeNotification(this);
    content_->SetParent(nullptr);
  }
  content_ = control;
  if (content_) {
    content_->FreeNotification(this);
    content_->SetParent(this);
  }
}

void TXcOfficeDragBarForm::SetDragBarSize(int index, int32_t value) {
  int32_t* field = index == kDragBarHeightIndex ? &dragBarHeight_ : index == kDragBarSpaceIndex ? &dragBarSpace_ : nullptr;
  if (!field || *field == value) return;
  const int32_t minimum = index == kDragBarHeightIndex ? kMinDragBarHeight : kMinDragBarSpace;
  defaultSizes_ = false;
  *field = value < minimum ? minimum : value;
  ArrangeContent();
}

void TXcOfficeDragBarForm::SetDefaultSizes(bool value) {
  if (value == defaultSizes_) return;
  defaultSizes_ = value;
  if (value) {
    dragBarHeight_ = kMinDragBarHeight;
    dragBarSpace_ = kMinDragBarSpace;
  }
}

void TXcOfficeDragBarForm::SetDragBarHint(const std::string& value) {
  if (value == dragBarHint_) return;
  dragBarHint_ = value;
  dragBar_->SetHint(value);
}

void TXcOfficeDragBarForm::ArrangeContent() {
  if (!created_ || arranging_) return;
  arranging_ = true;
  DisableAlign();
  struct Done {
    TXcOfficeDragBarForm* f;
    ~Done() {
      f->EnableAlign();
      f->arranging_ = false;
    }
  } done{this};
  dragBar_->SetVisible(showDragBar_ && !floating_);
  if (dragBar_->Visible()) dragBar_->SetHeight(dragBarHeight_);
  const int32_t a = dragBar_->Visible() ? 2 * dragBarSpace_ + dragBarHeight_ : 0;
  if (!content_) return;
  // The content's client height plus the bar's band; the content sits one pixel below that band, as
  // the tear-off window always has.
  const TRect contentClient = content_->ClientRect();
  SetClientSize(content_->Width(), contentClient.Bottom + a);
  if (dragBar_->Visible()) dragBar_->SetBounds(0, dragBarSpace_, content_->Width(), dragBarHeight_);
  content_->SetBounds(0, a + 1, content_->Width(), content_->Height());
}

void TXcOfficeDragBarForm::SetFloating(bool value) {
  if (!showDragBar_) {
    floating_ = false;
    SetBorderIcons(0);
    SetBorderStyle(bsDialog);
    dragBar_->SetVisible(false);
    return;
  }
  floating_ = value;
  if (value) {
    SetBorderIcons(biSystemMenu);
    SetBorderStyle(bsToolWindow);
    dragBar_->SetVisible(false);
  } else {
    SetBorderIcons(0);
    SetBorderStyle(bsDialog);
    dragBar_->SetVisible(true);
  }
  if (!moving_) ArrangeContent();
  if (OnStyleChanged) OnStyleChanged(this);
}

void TXcOfficeDragBarForm::StartMove() {
  SetCaptureControl(nullptr);
  if (HandleAllocated()) SendMessage(Handle(), WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
}

void TXcOfficeDragBarForm::DragBarMoved() {
  dragged_ = true;
  if (mouseDown_ && !floating_) {
    SetFloating(true);
    ArrangeContent();
  }
  StartMove();
  moving_ = true;
  mouseDown_ = false;
}

void TXcOfficeDragBarForm::Resize() {
  TXcForm::Resize();
  if (created_) ArrangeContent();
}

void TXcOfficeDragBarForm::HandleShowingChange() {
  TXcForm::HandleShowingChange();
  if (OnShowingChanged) OnShowingChanged(ActiveControl());
}

void TXcOfficeDragBarForm::HandleFocusLost(HWND receivesFocus) {
  TXcForm::HandleFocusLost(receivesFocus);
  if (OnFocusLost && !moving_) OnFocusLost(ActiveControl());
}

void TXcOfficeDragBarForm::HandleVisibleChange() {
  TXcForm::HandleVisibleChange();
  if (Visible()) return;
  if (floating_) SetFloating(false);
  moving_ = false;
  mouseDown_ = false;
  dragged_ = false;
}
