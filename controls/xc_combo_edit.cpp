#include "controls/xc_combo_edit.h"

#include <algorithm>

#include "controls/xc_edit_glyphs.h"
#include "platform/ui/actions.h"
#include "platform/ui/caret.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/system_bitmaps.h"
#include "platform/ui/system_metrics.h"
#include "platform/ui/theme_services.h"
#include "platform/ui/window_dc.h"

namespace {

// The window inside the edit that holds the button: the button fills it.
class TXcEditButtonHolder : public TWinControl {
 public:
  explicit TXcEditButtonHolder(TComponent* owner) : TWinControl(owner) {
    controlStyle_ |= csReplicatable;
    width_ = 21;
    height_ = 17;
    SetColor(clBtnFace);
    SetCursor(crArrow);
  }
};

}  // namespace

// ------------------------------------------------------------------------------------- TXcEditButton

TXcEditButton::TXcEditButton(TComponent* owner, TXcCustomComboEdit* edit) : TXcImageSpeedButton(owner), edit_(edit) {
  controlStyle_ |= csReplicatable;
  SetParentShowHint(true);
}

void TXcEditButton::WndProc(TMessage& m) {
  // The edit's own menu is not the button's.
  if (m.Msg == WM_CONTEXTMENU) {
    m.Result = 1;
    return;
  }
  TXcImageSpeedButton::WndProc(m);
}

void TXcEditButton::SetGlyph(TBitmap* value) {
  painter_->AssignBitmap(value);
  Invalidate();
}

void TXcEditButton::SetNumGlyphs(int value) {
  value = std::clamp(value, 1, kXcMaxGlyphs);
  if (value == painter_->NumGlyphs()) return;
  painter_->ChangeCellCount(value);
  Invalidate();
}

void TXcEditButton::SetThemedArrow(bool value) {
  if (value == themedArrow_) return;
  themedArrow_ = value;
  Invalidate();
}

void TXcEditButton::Click() {
  if (suppressClick_) {
    suppressClick_ = false;
    return;
  }
  TXcImageSpeedButton::Click();
}

void TXcEditButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TXcImageSpeedButton::MouseDown(button, shift, x, y);
  if (button != mbLeft || !edit_) return;
  if (edit_->PopupVisible()) {
    suppressClick_ = true;
    return;
  }
  if (edit_->TabStop() && edit_->CanFocus() && !edit_->Focused()) edit_->SetFocus();
}

void TXcEditButton::PaintButton(TCanvas* canvas) {
  if (ThemeServices()->ThemesEnabled() && themedArrow_) {
    TThemedState s = !Enabled() ? thsDisabled
                     : (PaintState() == bpsDown || PaintState() == bpsExclusive) ? thsPressed
                     : IsMouseInside() ? thsHot
                                       : thsNormal;
    ThemeServices()->DrawElement(canvas->Handle(), {thpComboDropDown, s}, Rect(0, 0, Width(), Height()));
    return;
  }
  TXcImageSpeedButton::PaintButton(canvas);
  if (ThemeServices()->ThemesEnabled() || PaintState() == bpsDown || PaintState() == bpsExclusive) return;
  // The classic button's left edge joins the edit's field.
  TColor pen = canvas->Pen()->Color();
  canvas->Pen()->SetColor(clBtnFace);
  canvas->MoveTo(0, 0);
  canvas->LineTo(0, Height());
  canvas->Pen()->SetColor(clBtnHighlight);
  canvas->MoveTo(1, 1);
  canvas->LineTo(1, Height() - 2);
  canvas->Pen()->SetColor(pen);
}

void TXcEditButton::DrawContent(TCanvas* canvas, const TRect& rect, const TPoint& offset, TXcButtonPaintState state,
                                bool) {
  TCustomImageList* list = Images();
  const bool listEntry = list && ImageIndex() >= 0 && ImageIndex() < list->Count();
  painter_->DrawButtonContent(canvas, rect, offset, std::string(), Layout(), Margin(), Spacing(), false,
                              listEntry ? list : nullptr, listEntry ? ImageIndex() : -1, state, TextFlags());
}

// --------------------------------------------------------------------------- the connector and link

void TXcCustomComboEditDataConnector::RecordRefresh() {
  TXcDataConnectorField* f = Field();
  if (f->FieldPresent()) {
    edit_->SetReadOnly(!f->FieldWritable());
    edit_->SetText(f->Text());
  } else {
    edit_->SetText(std::string());
    edit_->SetReadOnly(true);
  }
}

void TXcCustomComboEditDataConnector::WriteBack() {
  TXcDataConnectorField* f = Field();
  f->SetText(edit_->Text());
  edit_->SetText(f->Text());
}

bool TXcComboEditActionLink::IsHintLinked() {
  TCustomAction* a = CustomAction();
  return a && edit_->ButtonHint() == a->Hint();
}

bool TXcComboEditActionLink::IsImageIndexLinked() {
  TCustomAction* a = CustomAction();
  return a && edit_->ImageIndex() == a->ImageIndex();
}

bool TXcComboEditActionLink::IsShortCutLinked() {
  TCustomAction* a = CustomAction();
  return a && edit_->ClickKey() == a->ShortCut();
}

void TXcComboEditActionLink::SetHint(const std::string& value) {
  if (IsHintLinked()) edit_->SetButtonHint(value);
}

void TXcComboEditActionLink::SetImageIndex(int value) {
  if (IsImageIndexLinked()) edit_->SetImageIndex(value);
}

void TXcComboEditActionLink::SetShortCut(TShortCut value) {
  if (IsShortCutLinked()) edit_->SetClickKey(value);
}

// -------------------------------------------------------------------------------- TXcCustomComboEdit

TXcCustomComboEdit::TXcCustomComboEdit(TComponent* owner)
    : TXcExCustomMaskEdit(owner),
      dataConnector_(std::make_unique<TXcCustomComboEditDataConnector>(this)),
      autoCompleteWords_(std::make_unique<TStringList>()) {
  controlStyle_ |= csCaptureMouse;
  height_ = 21;
  holder_ = new TXcEditButtonHolder(this);
  holder_->SetParent(this);
  holder_->SetAlign(alCustom);
  button_ = new TXcEditButton(this, this);
  button_->SetParent(holder_);
  button_->SetAlign(alClient);
  button_->OnClick = [this](TObject*) { ButtonClick(); };
  autoCompleteWords_->OnChange = [this](TObject*) { UpdateAutoComplete(); };
  SetDisabledLook(disabledColor_, disabledTextColor_);
  constructing_ = false;
}

TXcCustomComboEdit::~TXcCustomComboEdit() {
  Destroying();
  if (button_) button_->OnClick = nullptr;
  autoCompleteWords_->OnChange = nullptr;
}

void TXcCustomComboEdit::Notification(TComponent* component, TOperation operation) {
  TXcExCustomMaskEdit::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == button_) button_ = nullptr;
  if (component == holder_) holder_ = nullptr;
  if (static_cast<void*>(component) == static_cast<void*>(images_)) {
    images_ = nullptr;
    if (imageKind_ == ikCustom) UpdateButtonPicture();
  }
}

void TXcCustomComboEdit::CreateParams(TCreateParams& params) {
  TXcExCustomMaskEdit::CreateParams(params);
  static const uint32_t kAlign[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
  params.Style |= WS_CLIPCHILDREN | ES_MULTILINE | kAlign[Alignment()];
}

TXcComboEditLook TXcCustomComboEdit::Look() {
  TXcComboEditLook look;
  look.Themed = ThemeServices()->ThemesEnabled();
  look.SingleBorder = BorderStyle() == bsSingle;
  look.Ctl3D = Ctl3D();
  look.Flat = !Ctl3D();
  look.BevelKind = BevelKind();
  look.BevelInner = BevelInner() != bvNone;
  look.BevelOuter = BevelOuter() != bvNone;
  return look;
}

int32_t TXcCustomComboEdit::FontTextHeight() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm.tmHeight;
}

void TXcCustomComboEdit::UpdateEditRect() {
  if (!holder_ || (ComponentState() & csLoading) || !HandleAllocated()) return;
  const int32_t textHeight = FontTextHeight();
  const int32_t grown = ComboEditGrownHeight(!Ctl3D(), textHeight);
  if (height_ < grown) SetHeight(grown);
  Realign();  // the holder takes its place (CustomAlignPosition)
  int32_t holderWidth = holder_->Visible() ? holder_->Width() : 0;
  TRect r = ComboEditFormatRect(Look(), width_, ClientHeight(), holderWidth);
  Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TXcCustomComboEdit::CustomAlignPosition(TControl* control, int& newLeft, int& newTop, int& newWidth,
                                             int& newHeight, TRect& alignRect) {
  if (control != holder_) {
    TXcExCustomMaskEdit::CustomAlignPosition(control, newLeft, newTop, newWidth, newHeight, alignRect);
    return;
  }
  TRect b = ComboButtonHolderBounds(Look(), width_, height_, holder_->Width());
  newLeft = b.Left;
  newTop = b.Top;
  newWidth = b.Width();
  newHeight = b.Height();
}

void TXcCustomComboEdit::Resize() {
  if (!(ComponentState() & csLoading)) {
    const int32_t least = ComboEditMinHeight(BorderStyle() == bsSingle, FontTextHeight());
    if (height_ < least) {
      SetHeight(least);
      return;  // the new height comes back here
    }
  }
  UpdateEditRect();
  TXcExCustomMaskEdit::Resize();
}

void TXcCustomComboEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETTEXT:
      // Each text set is one text-changed notice: the window's, and the framework's that follows
      // is swallowed.
      TXcExCustomMaskEdit::WndProc(m);
      Perform(CM_TEXTCHANGED, 0, 0);
      swallowTextChanged_ = true;
      return;
    case CM_TEXTCHANGED:
      if (swallowTextChanged_) {
        swallowTextChanged_ = false;
        return;
      }
      break;
    case WM_CUT:
    case WM_PASTE:
      if (!directInput_ || readOnly_) return;
      TXcExCustomMaskEdit::WndProc(m);
      if (m.Msg == WM_PASTE) GroupUpdate();
      return;
    case WM_CLEAR:
      if (!directInput_ || readOnly_) return;
      // The clipboard filter may refuse it first.
      if (!ClipboardCommands().Contains(caClear)) return;
      SetText(std::string());
      return;
    case WM_NCHITTEST: {
      TXcExCustomMaskEdit::WndProc(m);
      if (m.Result == HTCLIENT && holder_ && holder_->Visible() && !(ComponentState() & csDesigning)) {
        TPoint p = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
        if (p.X >= holder_->ClientToScreen(Point(0, 0)).X) m.Result = HTBORDER;
      }
      return;
    }
    case CM_CTL3DCHANGED:
      RecreateWnd();
      UpdateEditRect();
      UpdateButtonPicture();
      return;
    case CM_XC_CARETATPOINT: {
      LRESULT at = Perform(EM_CHARFROMPOS, 0, m.LParam);
      int pos = LOWORD(static_cast<WPARAM>(at));
      Perform(EM_SETSEL, static_cast<WPARAM>(pos), pos);
      return;
    }
    case CM_SYSCOLORCHANGE:
      TXcExCustomMaskEdit::WndProc(m);
      if (imageKind_ == ikDefault) UpdateButtonPicture();
      return;
    default: break;
  }
  TXcExCustomMaskEdit::WndProc(m);
  if (m.Msg == WM_CREATE) {
    UpdateEditRect();
    UpdateAutoComplete();
  }
}

void TXcCustomComboEdit::Loaded() {
  TXcExCustomMaskEdit::Loaded();
  if (loadedButtonWidth_ >= 0) {
    SetButtonWidth(loadedButtonWidth_);
    if (button_ && loadedFixedWidth_) button_->SetControlStyle(button_->ControlStyle() | csFixedWidth);
    loadedButtonWidth_ = -1;
  }
  UpdateEditRect();
}

// ---- the button

bool TXcCustomComboEdit::ShowButton() const { return holder_ && holder_->Visible(); }

int32_t TXcCustomComboEdit::ButtonWidth() const {
  if (!ShowButton()) return hiddenButtonWidth_;
  return button_ ? button_->Width() : holder_->Width();
}

void TXcCustomComboEdit::SetHolderWidth(int32_t width) {
  // The holder keeps its right edge.
  TRect b = holder_->BoundsRect();
  holder_->SetBounds(b.Right - width, b.Top, width, b.Height());
  if (button_) button_->SetBounds(0, 0, width, holder_->Height());
}

void TXcCustomComboEdit::SetButtonWidth(int32_t value) {
  if (!holder_) return;
  if (ComponentState() & csLoading) {
    loadedButtonWidth_ = value;
    loadedFixedWidth_ = false;
    return;
  }
  if (!ShowButton()) {
    hiddenButtonWidth_ = value;
    return;
  }
  if (value == ButtonWidth()) return;
  if (value < 2) {
    hiddenButtonWidth_ = ButtonWidth();
    holder_->Hide();
  } else if (constructing_) {
    holder_->SetWidth(value);
    if (button_) button_->SetWidth(value);
  } else {
    // Not as wide as the edit (its client area with a parent).
    int32_t room = parent_ ? ClientWidth() : width_;
    if (value >= room) return;
    SetHolderWidth(value);
    if (button_) button_->SetControlStyle(button_->ControlStyle() & ~csFixedWidth);
    if (HandleAllocated()) RecreateWnd();
  }
  UpdateEditRect();
  UpdateButtonPicture();
}

void TXcCustomComboEdit::SetShowButton(bool value) {
  if (!holder_ || value == ShowButton()) return;
  if (value) {
    holder_->Show();
    int32_t width = hiddenButtonWidth_;
    hiddenButtonWidth_ = 0;
    if (width >= 2 && width != holder_->Width()) {
      int32_t room = parent_ ? ClientWidth() : width_;
      if (width < room) SetHolderWidth(width);
    }
    UpdateEditRect();
    UpdateButtonPicture();
  } else {
    SetButtonWidth(0);
  }
}

void TXcCustomComboEdit::SetButtonFlat(bool value) {
  if (!button_) return;
  button_->SetFlat(value);
  if (imageKind_ == ikDropDown) UpdateButtonPicture();
}

void TXcCustomComboEdit::SetGlyph(TBitmap* value) {
  SetImageKind(ikCustom);
  if (button_) button_->SetGlyph(value);
}

void TXcCustomComboEdit::SetNumGlyphs(int value) {
  numGlyphs_ = std::clamp(value, 1, kXcMaxGlyphs);
  if (imageKind_ == ikCustom) UpdateButtonPicture();
}

void TXcCustomComboEdit::SetImages(TCustomImageList* value) {
  if (value == images_) return;
  if (images_) images_->RemoveFreeNotification(this);
  images_ = value;
  if (images_) images_->FreeNotification(this);
  if (imageKind_ == ikCustom) UpdateButtonPicture();
}

void TXcCustomComboEdit::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  if (imageKind_ == ikCustom) UpdateButtonPicture();
}

void TXcCustomComboEdit::SetImageKind(TXcImageKind value) {
  if (value == imageKind_) return;
  imageKind_ = value;
  if (button_) button_->SetThemedArrow(false);
  switch (value) {
    case ikDefault: {
      int index = DefaultImageIndex();
      if (index >= 0 && button_) {
        int width = std::max(DefaultEditImages()->Width() + 6, ButtonWidth());
        SetButtonWidth(width);
      }
      break;
    }
    case ikDropDown: {
      const bool loading = ComponentState() & csLoading;
      if (!loading || loadedButtonWidth_ < 0 || loadedFixedWidth_) {
        SetButtonWidth(GetSystemMetrics(SM_CXVSCROLL));
        if (loading) loadedFixedWidth_ = true;
        else if (button_) button_->SetControlStyle(button_->ControlStyle() | csFixedWidth);
      }
      break;
    }
    default: break;
  }
  UpdateButtonPicture();
}

void TXcCustomComboEdit::UpdateButtonPicture() {
  if (!button_ || !ShowButton()) return;
  button_->SetThemedArrow(false);
  switch (imageKind_) {
    case ikCustom:
      button_->SetImages(images_);
      button_->SetImageIndex(imageIndex_);
      button_->SetNumGlyphs(numGlyphs_);
      break;
    case ikDefault: {
      button_->SetGlyph(nullptr);
      int index = DefaultImageIndex();
      button_->SetImages(index >= 0 ? DefaultEditImages() : nullptr);
      button_->SetImageIndex(index);
      break;
    }
    case ikDropDown:
      button_->SetImageIndex(-1);
      button_->SetNumGlyphs(1);
      if (ThemeServices()->ThemesEnabled() && !button_->Flat()) {
        button_->SetGlyph(nullptr);
        button_->SetThemedArrow(true);
      } else {
        TBitmap arrow;
        arrow.SetHandle(LoadBitmap(0, OBM_COMBO));
        button_->SetGlyph(&arrow);
      }
      break;
    case ikEllipsis: {
      button_->SetImageIndex(-1);
      button_->SetNumGlyphs(1);
      std::unique_ptr<TBitmap> dots = MakeEllipsisGlyph(ButtonWidth());
      button_->SetGlyph(dots.get());
      break;
    }
  }
  button_->Invalidate();
}

void TXcCustomComboEdit::ButtonClick() {
  if (readOnly_) return;
  if (OnButtonClick) OnButtonClick(this);
  // With a popup showing the button closes it; none exists here, so the action runs.
  if (!PopupVisible()) RunButtonAction();
}

// ---- editing

void TXcCustomComboEdit::ApplyReadOnly() { TXcExCustomMaskEdit::SetReadOnly(readOnly_ || !directInput_); }

void TXcCustomComboEdit::SetDirectInput(bool value) {
  if (value == directInput_) return;
  directInput_ = value;
  ApplyReadOnly();
}

void TXcCustomComboEdit::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  ApplyReadOnly();
  if (value) SetClipboardCommands(ClipboardCommands());
}

void TXcCustomComboEdit::SetClipboardCommands(TXcClipboardCommands value) {
  // A read-only edit only copies.
  if (readOnly_) value = value * TXcClipboardCommands{caCopy};
  TXcExCustomMaskEdit::SetClipboardCommands(value);
}

void TXcCustomComboEdit::SetGroupIndex(int32_t value) {
  if (value == groupIndex_) return;
  groupIndex_ = value;
  GroupUpdate();
}

void TXcCustomComboEdit::GroupUpdate() {
  if (groupIndex_ == -1 || !Owner()) return;
  // The other edits of the group, as objects: edits made in code carry no names.
  TComponent* owner = Owner();
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    auto* other = dynamic_cast<TXcCustomComboEdit*>(owner->Components(i));
    if (other && other != this && other->GroupIndex() == groupIndex_) other->SetText(std::string());
  }
}

void TXcCustomComboEdit::SetDisabledColor(TColor value) {
  if (value == disabledColor_) return;
  disabledColor_ = value;
  SetDisabledLook(disabledColor_, disabledTextColor_);
  if (!Enabled()) Invalidate();
}

void TXcCustomComboEdit::SetDisabledTextColor(TColor value) {
  if (value == disabledTextColor_) return;
  disabledTextColor_ = value;
  SetDisabledLook(disabledColor_, disabledTextColor_);
  if (!Enabled()) Invalidate();
}

bool TXcCustomComboEdit::HandleEraseBackground(TCanvas* canvas, LPARAM param) {
  if (Enabled()) return TXcExCustomMaskEdit::HandleEraseBackground(canvas, param);
  canvas->Brush()->SetColor(disabledColor_);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->FillRect(ClientRect());
  return true;
}

void TXcCustomComboEdit::SetAutoCompleteOptions(TXcAutoCompleteOptions value) {
  if (value == autoCompleteOptions_) return;
  autoCompleteOptions_ = value;
  UpdateAutoComplete();
}

void TXcCustomComboEdit::UpdateAutoComplete() {
  if (ComponentState() & csDesigning) return;
  const bool suggest = autoCompleteOptions_.Contains(acoAutoSuggest);
  const bool append = autoCompleteOptions_.Contains(acoAutoAppend);
  std::vector<std::string> words;
  for (int i = 0; i < autoCompleteWords_->Count(); ++i) words.push_back(autoCompleteWords_->Get(i));
  SetAutoComplete(autoCompleteOptions_.Empty() ? acsNone : acsWordList, words, suggest, append);
}

// ---- keys

void TXcCustomComboEdit::KeyDown(uint16_t& key, TShiftState shift) {
  GroupUpdate();
  if ((shift & ssCtrl) && (key == VK_TAB || key == VK_RETURN)) {
    if (TCustomForm* form = GetParentForm(this)) form->Perform(WM_KEYDOWN, key, KeyDataFromShift(shift));
    key = 0;
    return;
  }
  TXcExCustomMaskEdit::KeyDown(key, shift);
  if (key != 0 && ShortCut(key, shift & (ssShift | ssCtrl | ssAlt)) == clickKey_ && ButtonWidth() > 0) {
    if (button_) button_->Click();
    key = 0;
  }
}

void TXcCustomComboEdit::KeyPress(char& key) {
  TCustomForm* form = GetParentForm(this);
  if (key == '\r' || key == 27) {
    // The dialog keys go to the form (its default and cancel buttons); Enter stops here.
    if (form) form->Perform(CM_DIALOGKEY, key == '\r' ? VK_RETURN : VK_ESCAPE, 0);
    if (key == '\r') {
      TXcExCustomMaskEdit::KeyPress(key);
      key = 0;
      return;
    }
  }
  if (key == '\t' || key == 10) {
    if (form) form->Perform(WM_CHAR, static_cast<unsigned char>(key), 0);
    key = 0;
    return;
  }
  TXcExCustomMaskEdit::KeyPress(key);
  if (key == 27 && dataConnector_->Live()) {
    dataConnector_->Revert();
    key = 0;
  }
}

void TXcCustomComboEdit::HandleDialogCodes(TDialogCodeSet& codes) {
  // Like the platform's multi-line edit the window takes Enter and Escape itself, and hands them on
  // in its key press.
  codes.Include(dcsWantAllKeys);
  codes.Exclude(dcsNative);
}

void TXcCustomComboEdit::Change() {
  dataConnector_->MarkEdited();
  if (!PopupVisible()) TXcExCustomMaskEdit::Change();
}

// ---- focus, state

void TXcCustomComboEdit::CMEnter(TMessage& m) {
  // Entering selects everything only where the user types.
  if (directInput_) {
    TXcExCustomMaskEdit::CMEnter(m);
    return;
  }
  bool select = AutoSelect();
  SetAutoSelect(false);
  try {
    TXcExCustomMaskEdit::CMEnter(m);
  } catch (...) {
    SetAutoSelect(select);
    throw;
  }
  SetAutoSelect(select);
}

void TXcCustomComboEdit::HandleFocusGained(HWND lostFocus) {
  TXcExCustomMaskEdit::HandleFocusGained(lostFocus);
  CreateCaret(Handle(), nullptr, Font()->Style().Contains(fsBold) ? 2 : 1, FontTextHeight());
  ShowCaret(Handle());
  // A press into a masked edit puts the caret under the mouse once the press is done.
  if (!EditMask().empty() && (GetKeyState(VK_LBUTTON) & 0x8000)) {
    TPoint p{};
    GetCursorPos(&p);
    p = ScreenToClient(p);
    PostMessage(Handle(), CM_XC_CARETATPOINT, 0, MAKELPARAM(p.X, p.Y));
  }
}

void TXcCustomComboEdit::HandleFocusLost(HWND receivesFocus) {
  TXcExCustomMaskEdit::HandleFocusLost(receivesFocus);
  dataConnector_->CommitRecord();
}

void TXcCustomComboEdit::HandleEnabledChange() {
  TXcExCustomMaskEdit::HandleEnabledChange();
  Invalidate();
  if (button_) button_->SetEnabled(Enabled());
}

void TXcCustomComboEdit::HandleFontChange() {
  TXcExCustomMaskEdit::HandleFontChange();
  UpdateEditRect();
}

// ---- actions

std::unique_ptr<TControlActionLink> TXcCustomComboEdit::CreateActionLink() {
  return std::make_unique<TXcComboEditActionLink>(this);
}

void TXcCustomComboEdit::ActionChange(TObject* sender, bool checkDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  // Never the caption: the hint is the button's, the shortcut the click key.
  if (!checkDefaults || !images_)
    if (a->ActionList() && a->ActionList()->Images()) SetImages(a->ActionList()->Images());
  if (!checkDefaults || Enabled()) SetEnabled(a->Enabled());
  if (!checkDefaults || ButtonHint().empty()) SetButtonHint(a->Hint());
  if (!checkDefaults || imageIndex_ == -1) SetImageIndex(a->ImageIndex());
  if (!checkDefaults || clickKey_ == 0) SetClickKey(a->ShortCut());
  if (!checkDefaults || Visible()) SetVisible(a->Visible());
  if (!checkDefaults || !OnButtonClick) OnButtonClick = a->OnExecute;
}
