#include "controls/xc_office_color_button.h"

#include <algorithm>

#include "controls/xc_bitmap_utils.h"
#include "controls/xc_xcl_utils.h"
#include "platform/system/compare_text.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/theme_services.h"

namespace {

constexpr const char* kDragBarHintText = "Drag to float";
constexpr const char* kFloatWindowCaptionText = "Color Window";

}  // namespace

// ----------------------------------------------------------------------------- TXcColorArrowButton

TXcColorArrowButton::TXcColorArrowButton(TComponent* owner) : TXcSpeedButton(owner) {}

void TXcColorArrowButton::SetArrowColor(TColor value) {
  if (value == arrowColor_) return;
  arrowColor_ = value;
  Invalidate();
}

void TXcColorArrowButton::SetDisabledArrowColor(TColor value) {
  if (value == disabledArrowColor_) return;
  disabledArrowColor_ = value;
  Invalidate();
}

void TXcColorArrowButton::SetArrowDirection(int32_t value) {
  if (value == arrowDirection_) return;
  arrowDirection_ = value;
  Invalidate();
}

void TXcColorArrowButton::PaintButton(TCanvas* canvas) {
  TXcSpeedButton::PaintButton(canvas);
  // With visual styles the face's content sits one pixel further left.
  const int32_t left = ThemeServices()->ThemesEnabled() ? 2 : 3;
  DrawTriangleArrow(canvas, Rect(left, 0, Width() - 3, Height()), Enabled() ? arrowColor_ : disabledArrowColor_,
                    arrowDirection_, 0);
}

// ------------------------------------------------------------------ TXcOfficeColorButtonProperties

void TXcOfficeColorButtonProperties::LoadDefaultTexts() {
  LockChanges();
  TXcOfficeColorPanelProperties::LoadDefaultTexts();
  SetDragBarHint(kDragBarHintText);
  SetFloatWindowCaption(kFloatWindowCaptionText);
  UnlockChanges();
}

void TXcOfficeColorButtonProperties::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TXcOfficeColorButtonProperties*>(source);
  if (!s) {
    TXcOfficeColorPanelProperties::Assign(source);
    return;
  }
  if (s == this) return;
  LockChanges();
  TXcOfficeColorPanelProperties::Assign(source);
  SetShowDragBar(s->showDragBar_);
  SetFloatWindowCaption(s->floatWindowCaption_);
  SetEdgeWidth(s->edgeWidth_);
  SetArrowWidth(s->arrowWidth_);
  SetDragBarHeight(s->dragBarHeight_);
  SetDragBarHint(s->dragBarHint_);
  SetDragBarSpace(s->dragBarSpace_);
  UnlockChanges();
}

// ---------------------------------------------------------------------- TXcCustomOfficeColorButton

TXcCustomOfficeColorButton::TXcCustomOfficeColorButton(TComponent* owner) : TXcCustomPanel(owner) {
  // 1. The panel's look: no children from outside, no caption from the name, opaque, no bevel.
  SetTabStop(true);
  SetControlStyle((ControlStyle() & ~(csAcceptsControls | csSetCaption)) | csOpaque);
  SetBevelOuter(bvNone);
  SetLocked(true);
  SetBounds(Left(), Top(), 35, 22);

  // 2. The hot-track options pass on to both halves and the panel.
  hotTrackOptions_ = new TXcHotTrackOptions(this);
  hotTrackOptions_->OnAfterChange = [this](TObject*) { PassHotTrackOptions(); };

  // 3. The main half.
  mainButton_ = new TXcColorMainButton(this);
  mainButton_->SetParent(this);
  mainButton_->SetNumGlyphs(2);
  mainButton_->SetSwatchColor(clBlack);
  mainButton_->SetTag(43);
  mainButton_->OnClick = [this](TObject*) {
    if (OnClick) OnClick(this);
  };
  // 4. The arrow half: group 2, all up allowed, so it stays down while the form is dropped.
  arrowButton_ = new TXcColorArrowButton(this);
  arrowButton_->SetParent(this);
  arrowButton_->SetGroupIndex(2);
  arrowButton_->SetAllowAllUp(true);
  arrowButton_->SetTag(44);
  arrowButton_->SetArrowDirection(3);
  arrowButton_->SetArrowColor(clBlack);
  arrowButton_->SetDisabledArrowColor(clBtnShadow);
  arrowButton_->OnClick = [this](TObject*) { ArrowClick(); };

  // 5. The colour window.
  colorForm_ = new TXcOfficeColorForm(this);
  colorForm_->SetIsFocusable(false);
  colorForm_->SetFormStyle(fsStayOnTop);
  colorForm_->SetFloating(false);
  colorForm_->OnShowingChanged = [this](TObject*) { FormShowingChanged(); };
  colorForm_->OnClose = [this](TObject*, TCloseAction& action) { FormClose(action); };
  colorForm_->OnStyleChanged = [this](TObject*) { FormStyleChanged(); };
  TXcOfficeColorPanel* panel = ColorPanel();
  panel->OnColorChange = [this](TObject*) { PanelColorChange(); };
  panel->OnColorButtonClick = [this](TObject* sender) { PanelColorButtonClick(sender); };
  panel->OnCustomColorKept = [this](TObject*, TColor color) { PanelCustomColorKept(color); };

  // 6. The settings, the panel's to start with.
  properties_ = new TXcOfficeColorButtonProperties(this);
  properties_->Assign(panel->Properties());
  properties_->OnAfterPropertyChange = [this](TObject* sender, const std::string& name) {
    PropertiesChanged(sender, name);
  };

  // 7, 8. The colour lists a descendant supplies; the user colours and the default texts only when
  // nothing is being read into the owner.
  bool changed = FillList(panel->StandardColors(), &TXcCustomOfficeColorButton::FillStandardColors,
                          &TXcCustomOfficeColorButton::RebuildStandardColors, true);
  changed |= FillList(panel->SystemColors(), &TXcCustomOfficeColorButton::FillSystemColors,
                      &TXcCustomOfficeColorButton::RebuildSystemColors, true);
  TComponent* root = RootOwner(this);
  if (!(root->ComponentState() & (csLoading | csReading))) {
    changed |= FillList(panel->UserColors(), &TXcCustomOfficeColorButton::FillUserColors,
                        &TXcCustomOfficeColorButton::RebuildUserColors, false);
    properties_->LoadDefaultTexts();
  }
  // 9.
  if (changed) ArrangeColors();

  // 10. Flat, the halves lighting up as a pair.
  SetFlat(true);
  mainButton_->OnMouseEnter = [this](TObject*) { PairEntry(); };
  arrowButton_->OnMouseEnter = [this](TObject*) { PairEntry(); };
  mainButton_->OnMouseLeave = [this](TObject* sender) { PairExit(sender); };
  arrowButton_->OnMouseLeave = [this](TObject* sender) { PairExit(sender); };
  created_ = true;
  AdjustSize();
}

bool TXcCustomOfficeColorButton::FillList(TStrings* list, int32_t (TXcCustomOfficeColorButton::*fill)(TStrings*),
                                          void (TXcCustomOfficeColorButton::*rebuild)(), bool fillInsideUpdate) {
  auto* stringList = dynamic_cast<TStringList*>(list);
  if (!stringList) return false;
  listChanged_ = false;
  TNotifyEvent old = stringList->OnChange;
  stringList->OnChange = [this](TObject*) { listChanged_ = true; };
  struct Restore {
    TStringList* l;
    TNotifyEvent old;
    ~Restore() { l->OnChange = old; }
  } restore{stringList, old};
  stringList->BeginUpdate();
  if (fillInsideUpdate) (this->*fill)(list);
  stringList->EndUpdate();
  if (!fillInsideUpdate) (this->*fill)(list);
  stringList->OnChange = old;
  if (listChanged_) (this->*rebuild)();
  return listChanged_;
}

TXcCustomOfficeColorButton::~TXcCustomOfficeColorButton() {
  Destroying();
  created_ = false;
  // The form and the panel keep no way back into this button, whatever state the form is in, and the
  // form goes before the button's own members.
  UnhookForm();
  for (TControl* half : {static_cast<TControl*>(mainButton_), static_cast<TControl*>(arrowButton_)}) {
    half->OnMouseEnter = nullptr;
    half->OnMouseLeave = nullptr;
    half->OnClick = nullptr;
  }
  if (colorForm_) {
    if (colorForm_->Visible()) colorForm_->Hide();
    delete colorForm_;
    colorForm_ = nullptr;
  }
  // Then the option objects.
  properties_->OnAfterPropertyChange = nullptr;
  delete properties_;
  properties_ = nullptr;
  hotTrackOptions_->OnAfterChange = nullptr;
  delete hotTrackOptions_;
  hotTrackOptions_ = nullptr;
}

void TXcCustomOfficeColorButton::UnhookForm() {
  if (!colorForm_) return;
  colorForm_->OnShowingChanged = nullptr;
  colorForm_->OnFocusLost = nullptr;
  colorForm_->OnStyleChanged = nullptr;
  colorForm_->OnClose = nullptr;
  if (TXcOfficeColorPanel* panel = ColorPanel()) {
    panel->OnColorChange = nullptr;
    panel->OnColorButtonClick = nullptr;
    panel->OnCustomColorKept = nullptr;
    panel->OnShowOwnerColorDialog = nullptr;
  }
}

void TXcCustomOfficeColorButton::Loaded() {
  TXcCustomPanel::Loaded();
  if (TXcOfficeColorPanel* panel = ColorPanel()) panel->Loaded();
}

// ---- accessors

TColor TXcCustomOfficeColorButton::SelectedColor() const {
  TXcOfficeColorPanel* panel = ColorPanel();
  return panel ? panel->SelectedColor() : clBlack;
}

void TXcCustomOfficeColorButton::SetSelectedColor(TColor value) {
  TXcOfficeColorPanel* panel = ColorPanel();
  if (panel && value != panel->SelectedColor()) panel->SetSelectedColor(value);
}

TColor TXcCustomOfficeColorButton::BackColor() const { return arrowButton_->Color(); }

void TXcCustomOfficeColorButton::SetBackColor(TColor value) {
  if (value == arrowButton_->Color()) return;
  SetColor(value);
  mainButton_->SetColor(value);
  arrowButton_->SetColor(value);
}

void TXcCustomOfficeColorButton::SetDropingBgColor(TColor value) {
  if (value == dropingBgColor_) return;
  dropingBgColor_ = value;
  // The dropped-down shape, shown or not (a floating form takes it when it drops down again).
  if (colorForm_ && !colorForm_->Floating()) {
    colorForm_->SetColor(value);
    ColorPanel()->SetBackColor(value);
  }
}

void TXcCustomOfficeColorButton::SetFloatingBgColor(TColor value) {
  if (value == floatingBgColor_) return;
  floatingBgColor_ = value;
  if (colorForm_ && colorForm_->Floating()) {
    colorForm_->SetColor(value);
    ColorPanel()->SetBackColor(value);
  }
}

void TXcCustomOfficeColorButton::SetFlat(bool value) {
  if (value == flat_) return;
  flat_ = value;
  mainButton_->SetFlat(value);
  arrowButton_->SetFlat(value);
  if (colorForm_) colorForm_->SetFlat(value);
}

void TXcCustomOfficeColorButton::SetGlyph(TBitmap* value) {
  if (value != mainButton_->Glyph()) mainButton_->SetGlyph(value);
}

TStrings* TXcCustomOfficeColorButton::UserColors() const { return ColorPanel()->UserColors(); }
void TXcCustomOfficeColorButton::SetUserColors(TStrings* value) { ColorPanel()->SetUserColors(value); }
TStrings* TXcCustomOfficeColorButton::ColorDlgCustomColors() const { return ColorPanel()->ColorDlgCustomColors(); }
void TXcCustomOfficeColorButton::SetColorDlgCustomColors(TStrings* value) { ColorPanel()->SetColorDlgCustomColors(value); }
TColorDialogOptions TXcCustomOfficeColorButton::ColorDialogOptions() const { return ColorPanel()->ColorDialogOptions(); }
void TXcCustomOfficeColorButton::SetColorDialogOptions(TColorDialogOptions value) {
  ColorPanel()->SetColorDialogOptions(value);
}

void TXcCustomOfficeColorButton::SetProperties(TXcOfficeColorPanelProperties* value) {
  if (!value || value == properties_) return;
  properties_->Assign(value);
  ColorPanel()->Properties()->Assign(value);
}

void TXcCustomOfficeColorButton::SetEnabled(bool value) {
  TXcCustomPanel::SetEnabled(value);
  mainButton_->SetEnabled(value);
  arrowButton_->SetEnabled(value);
  if (TXcOfficeColorPanel* panel = ColorPanel()) panel->SetEnabled(value);
}

void TXcCustomOfficeColorButton::HandleFontChange() {
  TXcCustomPanel::HandleFontChange();
  if (colorForm_) colorForm_->Font()->Assign(*Font());
}

// ---- hot tracking

void TXcCustomOfficeColorButton::SetHotTrack(bool value) {
  if (value == hotTrack_) return;
  hotTrack_ = value;
  mainButton_->SetHotTrack(value);
  arrowButton_->SetHotTrack(value);
  if (TXcOfficeColorPanel* panel = ColorPanel()) panel->SetHotTrack(value);
}

TFont* TXcCustomOfficeColorButton::HotTrackFont() { return ColorPanel()->HotTrackFont(); }
void TXcCustomOfficeColorButton::SetHotTrackFont(TFont* value) { ColorPanel()->SetHotTrackFont(value); }
TXcTrackFontOptions TXcCustomOfficeColorButton::HotTrackFontOptions() const { return ColorPanel()->HotTrackFontOptions(); }
void TXcCustomOfficeColorButton::SetHotTrackFontOptions(TXcTrackFontOptions value) {
  ColorPanel()->SetHotTrackFontOptions(value);
}

void TXcCustomOfficeColorButton::SetHotTrackOptions(TXcHotTrackOptions* value) {
  if (!value || value == hotTrackOptions_) return;
  hotTrackOptions_->Assign(value);
  mainButton_->SetHotTrackOptions(hotTrackOptions_);
  arrowButton_->SetHotTrackOptions(hotTrackOptions_);
}

void TXcCustomOfficeColorButton::PassHotTrackOptions() {
  mainButton_->SetHotTrackOptions(hotTrackOptions_);
  arrowButton_->SetHotTrackOptions(hotTrackOptions_);
  if (TXcOfficeColorPanel* panel = ColorPanel()) panel->SetHotTrackOptions(hotTrackOptions_);
}

void TXcCustomOfficeColorButton::AssignHotTrack(IXcHotTrackable* other) {
  if (!other || other == this) return;
  SetHotTrack(other->HotTrack());
  SetHotTrackFont(other->HotTrackFont());
  SetHotTrackFontOptions(other->HotTrackFontOptions());
  SetHotTrackOptions(other->HotTrackOptions());
}

bool TXcCustomOfficeColorButton::PairTracking() const {
  return flat_ && const_cast<TXcCustomOfficeColorButton*>(this)->Enabled() && !(ComponentState() & csDesigning);
}

void TXcCustomOfficeColorButton::PairEntry() {
  if (!PairTracking()) return;
  // The halves ignore an entry while already inside, which ends the calls between them.
  mainButton_->EnterHot();
  arrowButton_->EnterHot();
}

void TXcCustomOfficeColorButton::PairExit(TObject* sender) {
  if (!PairTracking()) return;
  const bool formShown = colorForm_ && colorForm_->Visible();
  if (sender == mainButton_) {
    if (formShown) mainButton_->EnterHot();
    else arrowButton_->LeaveHot();
  } else if (sender == arrowButton_) {
    if (formShown) arrowButton_->EnterHot();
    else mainButton_->LeaveHot();
  }
}

// ---- size

void TXcCustomOfficeColorButton::AdjustSize() {
  if (!created_ || adjusting_) {
    TXcCustomPanel::AdjustSize();
    return;
  }
  adjusting_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{adjusting_};
  if (properties_->ArrowWidth() < kMinArrowWidth) properties_->SetArrowWidth(kMinArrowWidth);
  const int32_t arrow = properties_->ArrowWidth();
  int32_t w = Width(), h = Height();
  if (w - arrow < kMinMainWidth) w = arrow + kMinMainWidth;
  if (h < kMinHeight) h = kMinHeight;
  if (w != Width() || h != Height()) SetBounds(Left(), Top(), w, h);
  mainButton_->SetBounds(0, 0, Width() - arrow, Height());
  arrowButton_->SetBounds(mainButton_->Width(), 0, arrow, Height());
  TXcCustomPanel::AdjustSize();
}

void TXcCustomOfficeColorButton::CreateWnd() {
  TXcCustomPanel::CreateWnd();
  AdjustSize();
}

void TXcCustomOfficeColorButton::Resize() {
  TXcCustomPanel::Resize();
  // The framework asks for the halves to follow a new size.
  if (created_ && !adjusting_) AdjustSize();
}

// ---- colour lists

int32_t TXcCustomOfficeColorButton::FillStandardColors(TStrings* list) { return list->Count(); }
int32_t TXcCustomOfficeColorButton::FillSystemColors(TStrings* list) { return list->Count(); }
int32_t TXcCustomOfficeColorButton::FillUserColors(TStrings* list) { return list->Count(); }

void TXcCustomOfficeColorButton::RebuildStandardColors() { ColorPanel()->BuildStandardButtons(); }
void TXcCustomOfficeColorButton::RebuildSystemColors() { ColorPanel()->BuildSystemButtons(); }
void TXcCustomOfficeColorButton::RebuildUserColors() { ColorPanel()->BuildUserButtons(); }

void TXcCustomOfficeColorButton::ArrangeColors() {
  ColorPanel()->ArrangeButtons();
  AdjustSize();
}

// ---- drop-down

void TXcCustomOfficeColorButton::ArrowClick() {
  if (CanFocus()) SetFocus();
  if ((colorForm_ && colorForm_->Visible()) || dropped_) {
    CloseUp();
  } else {
    if (OnDropDown) OnDropDown(this);
    DropDown(0, 0);
    dropped_ = true;
  }
  if (OnArrowClick) OnArrowClick(this);
}

void TXcCustomOfficeColorButton::DropDown(int32_t x, int32_t y) {
  if (!colorForm_) return;
  colorForm_->ArrangeContent();
  PlaceColorForm(x, y);
  colorForm_->ShowNoActivate();
  dropped_ = true;
}

void TXcCustomOfficeColorButton::CloseUp() {
  if (colorForm_ && colorForm_->Visible()) colorForm_->Hide();
  dropped_ = false;
  if (arrowButton_->Down()) arrowButton_->SetDown(false);
}

void TXcCustomOfficeColorButton::PlaceColorForm(int32_t x, int32_t y) {
  if (!colorForm_) return;
  TPoint anchor = Point(x, y);
  if (x == 0 && y == 0) anchor = mainButton_->ClientToScreen(Point(0, 0));
  // The monitor that holds the button at the anchor keeps the form, whichever monitor that is.
  const TRect monitor = Screen->MonitorFromRect(Bounds(anchor.X, anchor.Y, Width(), Height())).BoundsRect;
  const int32_t w = colorForm_->Width(), h = colorForm_->Height();
  int32_t left = anchor.X;
  if (left + w > monitor.Right) left = monitor.Right - w;
  if (left < monitor.Left) left = monitor.Left;
  int32_t top = anchor.Y + Height();
  if (top + h > monitor.Bottom) top = anchor.Y - h;
  if (top < monitor.Top) top = monitor.Top;
  colorForm_->SetBounds(left, top, w, h);
}

bool TXcCustomOfficeColorButton::IsOwnControl(TControl* control) const {
  if (!control) return false;
  auto* self = const_cast<TXcCustomOfficeColorButton*>(this);
  if (control == self || self->ContainsControl(control)) return true;
  return colorForm_ && (control == colorForm_ || colorForm_->ContainsControl(control));
}

void TXcCustomOfficeColorButton::HandleFocusLost(HWND receivesFocus) {
  TXcCustomPanel::HandleFocusLost(receivesFocus);
  // The button is the active control, or was until code moved the focus on (the form names the new
  // active control before the focus moves).
  TWinControl* receiver = receivesFocus ? FindControl(receivesFocus) : nullptr;
  TWinControl* active = Screen->ActiveControl();
  if (active != this && !(receiver && active == receiver)) return;
  if (IsOwnControl(receiver)) return;
  // Closed once the focus change has completed.
  if (HandleAllocated()) PostMessage(Handle(), XC_CLOSEUP_MESSAGE, 0, 0);
}

void TXcCustomOfficeColorButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_CANCELMODE:
      if (!IsOwnControl(reinterpret_cast<TControl*>(m.LParam))) CloseUp();
      break;
    case XC_CLOSEUP_MESSAGE: CloseUp(); return;
    default: break;
  }
  TXcCustomPanel::WndProc(m);
}

// ---- hooks on the form

void TXcCustomOfficeColorButton::FormShowingChanged() {
  if (colorForm_->Visible() || (ComponentState() & csDesigning)) return;
  if (arrowButton_->Down()) arrowButton_->SetDown(false);
  mainButton_->LeaveHot();
  arrowButton_->LeaveHot();
}

void TXcCustomOfficeColorButton::FormClose(TCloseAction& action) {
  if (colorForm_->Floating()) dropped_ = false;
  action = (ComponentState() & csDestroying) ? caFree : caHide;
}

void TXcCustomOfficeColorButton::FormStyleChanged() {
  if (ComponentState() & csDesigning) return;
  if (colorForm_->Floating()) {
    if (arrowButton_->Down()) arrowButton_->SetDown(false);
    colorForm_->SetColor(floatingBgColor_);
    ColorPanel()->SetBackColor(floatingBgColor_);
    mainButton_->LeaveHot();
    arrowButton_->LeaveHot();
  } else {
    colorForm_->SetColor(dropingBgColor_);
    ColorPanel()->SetBackColor(dropingBgColor_);
  }
}

// ---- hooks on the panel

void TXcCustomOfficeColorButton::PanelColorChange() {
  TXcOfficeColorPanel* panel = ColorPanel();
  mainButton_->SetSwatchColor(panel->SelectedColor());
  if (colorForm_->Floating() && colorForm_->FormStyle() != fsStayOnTop) colorForm_->SetFormStyle(fsStayOnTop);
  if (panel->InClick() && panel->ClickKind() == kClickCustom) panel->OnShowOwnerColorDialog = nullptr;
  if (OnColorChange) OnColorChange(this);
}

void TXcCustomOfficeColorButton::PanelColorButtonClick(TObject* sender) {
  if (OnColorButtonClick) OnColorButtonClick(sender);
  TXcOfficeColorPanel* panel = ColorPanel();
  const bool custom = panel->ClickKind() == kClickCustom;
  if (custom) {
    if (OnShowOwnerColorDialog) panel->OnShowOwnerColorDialog = OnShowOwnerColorDialog;
    else panel->OnShowOwnerColorDialog = nullptr;
  }
  if (!colorForm_->Floating()) {
    colorForm_->Hide();
    colorForm_->SetFloating(false);
    if (arrowButton_->Down()) arrowButton_->SetDown(false);
    dropped_ = false;
  } else if (custom) {
    // The colour dialog comes to the front; the colour change puts the window on top again.
    colorForm_->SetFormStyle(fsNormal);
  }
}

void TXcCustomOfficeColorButton::PanelCustomColorKept(TColor color) {
  if (OnCustomColorKept) OnCustomColorKept(this, color);
  TXcOfficeColorPanel* panel = ColorPanel();
  if (properties_->HoldCustomColor() && panel->InClick() && panel->ClickKind() == kClickCustom)
    colorForm_->ArrangeContent();
}

void TXcCustomOfficeColorButton::PropertiesChanged(TObject* sender, const std::string& name) {
  TXcOfficeColorButtonProperties* const P = properties_;
  if (SameText(name, "ShowDragBar")) {
    if (P->ShowDragBar() != colorForm_->ShowDragBar()) {
      colorForm_->SetShowDragBar(P->ShowDragBar());
      if (!P->ShowDragBar() && colorForm_->Dragged()) PlaceColorForm(0, 0);
    }
  } else if (SameText(name, "FloatWindowCaption")) {
    colorForm_->SetCaption(P->FloatWindowCaption());
  } else if (SameText(name, "DragBarHeight")) {
    colorForm_->SetDragBarSize(TXcOfficeDragBarForm::kDragBarHeightIndex, P->DragBarHeight());
    PlaceColorForm(0, 0);
  } else if (SameText(name, "DragBarHint")) {
    colorForm_->SetDragBarHint(P->DragBarHint());
  } else if (SameText(name, "DragBarSpace")) {
    colorForm_->SetDragBarSize(TXcOfficeDragBarForm::kDragBarSpaceIndex, P->DragBarSpace());
    PlaceColorForm(0, 0);
  } else if (SameText(name, "ArrowWidth")) {
    AdjustSize();
  } else if (SameText(name, "EdgeWidth")) {
    mainButton_->SetSwatchMargin(P->EdgeWidth());
  } else {
    TXcOfficeColorPanel* panel = ColorPanel();
    panel->Properties()->Assign(P);
    panel->PropertiesChanged(sender, name);
    colorForm_->ArrangeContent();
  }
}
