#include "controls/xc_check_box.h"

#include <algorithm>

#include "controls/xc_draw_utils.h"
#include "platform/ui/string_list.h"
#include "platform/ui/window_dc.h"

// -------------------------------------------------------------------------- TXcCheckBoxDataConnector

TXcCheckBoxDataConnector::TXcCheckBoxDataConnector(TXcCheckBox* box) : box_(box) {}

void TXcCheckBoxDataConnector::SetValueChecked(const std::string& value) {
  if (value == valueChecked_) return;
  valueChecked_ = value;
  Revert();
}

void TXcCheckBoxDataConnector::SetValueUnchecked(const std::string& value) {
  if (value == valueUnchecked_) return;
  valueUnchecked_ = value;
  Revert();
}

void TXcCheckBoxDataConnector::Assign(TPersistent* source) {
  TXcFieldDataConnector::Assign(source);
  if (auto* other = dynamic_cast<TXcCheckBoxDataConnector*>(source)) {
    valueChecked_ = other->ValueChecked();
    valueUnchecked_ = other->ValueUnchecked();
    Revert();
  }
}

void TXcCheckBoxDataConnector::RecordRefresh() {
  const bool designing = box_->ComponentState() & csDesigning;
  TXcDataConnectorField* f = Field();
  if (f->FieldPresent() && !valueChecked_.empty() && !valueUnchecked_.empty()) {
    if (!designing) box_->SetReadOnly(!f->FieldWritable());
    if (f->FieldIsNull()) box_->SetState(cbGrayed);
    else box_->SetState(SameText(f->Text(), valueUnchecked_) ? cbUnchecked : cbChecked);
  } else {
    box_->SetState(cbGrayed);
    if (!designing) box_->SetReadOnly(true);
  }
}

void TXcCheckBoxDataConnector::WriteBack() {
  TXcDataConnectorField* f = Field();
  if (!f->FieldWritable() || valueChecked_.empty() || valueUnchecked_.empty()) return;
  f->SetText(box_->Checked() ? valueChecked_ : valueUnchecked_);
}

// ---------------------------------------------------------------------------------------- TXcCheckBox

TXcCheckBox::TXcCheckBox(TComponent* owner)
    : TXcExCheckBox(owner),
      hotTrackFont_(std::make_unique<TFont>()),
      linkedControls_(std::make_unique<TXcLinkedControls>(this)),
      dataConnector_(std::make_unique<TXcCheckBoxDataConnector>(this)) {
  autoSize_ = true;
  linkedControls_->OnChanged = [this] { UpdateLinkedControls(); };
  SyncHotTrackFont(hotTrackFont_.get(), Font(), hotTrackFontOptions_);
}

TXcCheckBox::~TXcCheckBox() {
  Destroying();
  // The entries let go of their controls (restoring them) while the box is still whole.
  linkedControls_.reset();
}

void TXcCheckBox::CreateParams(TCreateParams& params) {
  TXcExCheckBox::CreateParams(params);
  static const uint32_t kAcross[] = {BS_LEFT, BS_RIGHT, BS_CENTER};
  static const uint32_t kDown[] = {BS_TOP, BS_VCENTER, BS_BOTTOM};
  params.Style |= kAcross[alignment_] | kDown[layout_];
  if (leftText_) params.Style |= BS_LEFTTEXT;
  if (wordWrap_) params.Style |= BS_MULTILINE;
}

void TXcCheckBox::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  RecreateWnd();
}

void TXcCheckBox::SetLayout(TTextLayout value) {
  if (value == layout_) return;
  layout_ = value;
  RecreateWnd();
}

void TXcCheckBox::SetLeftText(bool value) {
  if (value == leftText_) return;
  leftText_ = value;
  RecreateWnd();
}

void TXcCheckBox::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  if (value) autoSize_ = false;
  RecreateWnd();
}

void TXcCheckBox::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  if (value) {
    if (wordWrap_) {
      wordWrap_ = false;
      RecreateWnd();
    }
    AdjustBounds();
  }
}

void TXcCheckBox::AdjustBounds() {
  if (!parent_ || !autoSize_ || (ComponentState() & (csLoading | csDestroying))) return;
  TSize box = CheckGlyphSize();
  box.cy += 4;
  int w = box.cx, h = box.cy;
  std::string caption = Caption();
  if (!caption.empty()) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font()->Handle());
    TRect r = ClientRect();
    uint32_t flags = DT_CALCRECT | DT_NOCLIP | (wordWrap_ ? static_cast<uint32_t>(DT_WORDBREAK) : DT_SINGLELINE);
    DrawTextOnDC(dc, caption, -1, flags, r);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    w = std::max(r.Width() + box.cx + 8, box.cx);
    h = std::max(r.Height(), box.cy);
  }
  SetBounds(left_, top_, w, h);
}

void TXcCheckBox::SetParent(TWinControl* parent) {
  TXcExCheckBox::SetParent(parent);
  AdjustBounds();
}

void TXcCheckBox::Loaded() {
  TXcExCheckBox::Loaded();
  UpdateLinkedControls();
  AdjustBounds();
  dataConnector_->Revert();
}

void TXcCheckBox::UpdateLinkedControls() {
  if (updatingLinks_ || !linkedControls_) return;
  updatingLinks_ = true;
  try {
    for (int i = 0; i < linkedControls_->Count(); ++i) {
      TXcLinkedControl* link = linkedControls_->Items(i);
      if (TControl* c = link->Control()) c->SetEnabled(LinkedControlEnabled(Enabled(), Checked(), link->Options()));
    }
  } catch (...) {
    updatingLinks_ = false;
    throw;
  }
  updatingLinks_ = false;
}

void TXcCheckBox::SetState(TCheckBoxState value) {
  TXcExCheckBox::SetState(value);
  UpdateLinkedControls();
}

void TXcCheckBox::Toggle() {
  if (readOnly_) return;
  TXcExCheckBox::Toggle();
  UpdateLinkedControls();
  if (!(ComponentState() & csLoading)) dataConnector_->MarkEdited();
}

void TXcCheckBox::KeyPress(char& key) {
  TXcExCheckBox::KeyPress(key);
  switch (key) {
    case 8:
    case ' ': dataConnector_->MarkEdited(); break;
    case 27: dataConnector_->Revert(); break;
    default: break;
  }
}

void TXcCheckBox::Notification(TComponent* component, TOperation operation) {
  TXcExCheckBox::Notification(component, operation);
  if (operation == opRemove && linkedControls_) linkedControls_->ComponentRemoved(component);
}

void TXcCheckBox::HandleTextChange() {
  TXcExCheckBox::HandleTextChange();
  AdjustBounds();
}

void TXcCheckBox::HandleFontChange() {
  TXcExCheckBox::HandleFontChange();
  AdjustBounds();
  SyncHotTrackFont(hotTrackFont_.get(), Font(), hotTrackFontOptions_);
}

void TXcCheckBox::HandleEnabledChange() {
  TXcExCheckBox::HandleEnabledChange();
  UpdateLinkedControls();
}

void TXcCheckBox::SetHotTrackFont(TFont* value) {
  if (value && value != hotTrackFont_.get()) hotTrackFont_->Assign(*value);
}

void TXcCheckBox::SetHotTrackFontOptions(TXcTrackFontOptions value) {
  if (value == hotTrackFontOptions_) return;
  hotTrackFontOptions_ = value;
  SyncHotTrackFont(hotTrackFont_.get(), Font(), hotTrackFontOptions_);
}

void TXcCheckBox::HandleFocusGained(HWND lostFocus) {
  TXcExCheckBox::HandleFocusGained(lostFocus);
  // The first entry that asks for it takes the focus on.
  for (int i = 0; i < linkedControls_->Count(); ++i) {
    TXcLinkedControl* link = linkedControls_->Items(i);
    if (!link->Options().Contains(loForceFocus)) continue;
    if (auto* w = dynamic_cast<TWinControl*>(link->Control())) {
      if (w->CanFocus()) w->SetFocus();
      break;
    }
  }
}

void TXcCheckBox::HandleFocusLost(HWND receivesFocus) {
  TXcExCheckBox::HandleFocusLost(receivesFocus);
  try {
    dataConnector_->CommitRecord();
  } catch (...) {
    // The value could not be written: the box keeps the focus and the failure is told.
    if (CanFocus()) SetFocus();
    throw;
  }
}

void TXcCheckBox::HandleMouseEntry(TControl* control) {
  bool entering = !control && !IsMouseInside() && !(ComponentState() & csDesigning);
  TXcExCheckBox::HandleMouseEntry(control);
  if (!entering || !hotTrack_) return;
  savedFont_ = std::make_unique<TFont>();
  savedFont_->Assign(*Font());
  Font()->Assign(*hotTrackFont_);
}

void TXcCheckBox::HandleMouseExit(TControl* control) {
  TXcExCheckBox::HandleMouseExit(control);
  if (control || !savedFont_) return;
  std::unique_ptr<TFont> saved = std::move(savedFont_);
  Font()->Assign(*saved);
}
