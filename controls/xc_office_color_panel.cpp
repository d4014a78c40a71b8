#include "controls/xc_office_color_panel.h"

#include <algorithm>

#include "controls/xc_color_tables.h"
#include "controls/xc_draw_utils.h"
#include "controls/xc_text_utils.h"
#include "controls/xc_xcl_utils.h"
#include "platform/gdi/color.h"
#include "platform/system/compare_text.h"
#include "platform/system/exception.h"

namespace {

// The default texts of the panel.
constexpr const char* kNoneColorText = "No Color";
constexpr const char* kDefaultColorText = "Automatic";
constexpr const char* kCustomColorText = "Other Colors...";
// At most this many lines of a colour list become cells.
constexpr int kMaxGroupCells = 64;
constexpr TColor kSwatchGrey = TColorOf(0x00808080);

int32_t FillFromTable(TStrings* list, const TDefColorItem* rows, size_t count) {
  list->Clear();
  for (size_t i = 0; i < count; ++i) list->Add(ColorToString(rows[i].Value) + "=" + rows[i].Description);
  return list->Count();
}

}  // namespace

// ------------------------------------------------------------------------------ TXcColorSpeedButton

TXcColorSpeedButton::TXcColorSpeedButton(TComponent* owner) : TXcSpeedButton(owner) {}

void TXcColorSpeedButton::SetSwatchColor(TColor value) {
  if (value == swatchColor_) return;
  swatchColor_ = value;
  Invalidate();
}

void TXcColorSpeedButton::SetDisabledSwatchColor(TColor value) {
  if (value == disabledSwatchColor_) return;
  disabledSwatchColor_ = value;
  Invalidate();
}

void TXcColorSpeedButton::SetSwatchFrame(bool value) {
  if (value == swatchFrame_) return;
  swatchFrame_ = value;
  Invalidate();
}

void TXcColorSpeedButton::SetSwatchBarWithGlyph(bool value) {
  if (value == swatchBarWithGlyph_) return;
  swatchBarWithGlyph_ = value;
  Invalidate();
}

void TXcColorSpeedButton::SetShowSwatch(bool value) {
  if (value == showSwatch_) return;
  showSwatch_ = value;
  Invalidate();
}

void TXcColorSpeedButton::SetSwatchPlacement(int32_t value) {
  if (value == swatchPlacement_ || value < kSwatchLeft || value > kSwatchWhole) return;
  swatchPlacement_ = value;
  Invalidate();
}

void TXcColorSpeedButton::SetSwatchMargin(int32_t value) {
  if (value == swatchMargin_) return;
  swatchMargin_ = value;
  Invalidate();
}

int32_t TXcColorSpeedButton::SwatchInset() { return Height() / 5; }

int32_t TXcColorSpeedButton::EffectiveInset() {
  const int32_t m = SwatchInset();
  return m < 0 ? Height() / 5 : m;
}

bool TXcColorSpeedButton::HasGlyph() {
  TBitmap* g = Glyph();
  return g && !g->Empty();
}

TRect TXcColorSpeedButton::SwatchRect() {
  const int32_t m = EffectiveInset(), w = Width(), h = Height();
  switch (swatchPlacement_) {
    case kSwatchLeft: return Rect(m + 1, m + 1, h, h - m);
    case kSwatchRight: return Rect(w - h + 1, m + 1, w - m, h - m);
    default: return Rect(m, m, w - m, h - m);
  }
}

TRect TXcColorSpeedButton::SwatchFrameRect() {
  const int32_t m = EffectiveInset();
  return Rect(m - 1, m - 1, Width() - m + 2, Height() - m + 2);
}

TRect TXcColorSpeedButton::SwatchBarRect() {
  const int32_t d = Down() ? 1 : 0;
  const int32_t x = Width() / 2 - 9 + d, y = Height() / 2 + 4 + d;
  return Rect(x, y, x + 17, y + 4);
}

void TXcColorSpeedButton::PaintButton(TCanvas* canvas) {
  const bool glyphBar = swatchBarWithGlyph_ && HasGlyph();
  if (glyphBar && !Glyph()->Transparent()) Glyph()->SetTransparent(true);
  TXcSpeedButton::PaintButton(canvas);
  const TColor color = Enabled() ? swatchColor_ : disabledSwatchColor_;
  if (glyphBar) {
    if (!showSwatch_) return;
    canvas->Pen()->SetColor(color);
    canvas->Pen()->SetStyle(psSolid);
    canvas->Brush()->SetColor(color);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Rectangle(SwatchBarRect());
    return;
  }
  if (swatchFrame_) {
    canvas->Pen()->SetColor(kSwatchGrey);
    canvas->Pen()->SetStyle(psSolid);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Rectangle(SwatchFrameRect());
  }
  if (showSwatch_) {
    canvas->Pen()->SetColor(kSwatchGrey);
    canvas->Pen()->SetStyle(psSolid);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color);
    canvas->Rectangle(SwatchRect());
  }
}

void TXcColorSpeedButton::HandleEnabledChange() {
  TXcSpeedButton::HandleEnabledChange();
  if (OnEnabledChanged) OnEnabledChanged(this);
}

TXcOfficeColorDrawer::TXcOfficeColorDrawer(TComponent* owner) : TXcColorSpeedButton(owner) {
  SetSwatchBarWithGlyph(true);
}

bool TXcDefaultColorSpeendButton::HandleHintShow(THintInfo& info) {
  const bool result = TXcColorSpeedButton::HandleHintShow(info);
  if (ShowSwatch() && PtInRect(SwatchRect(), info.CursorPos)) info.HintStr = ColorDescription(SwatchColor());
  return result;
}

TXcOfficePanelDividerLine::TXcOfficePanelDividerLine(TComponent* owner) : TBevel(owner) { SetShape(bsTopLine); }

// -------------------------------------------------------------------- TXcOfficeColorPanelProperties

TXcOfficeColorPanelProperties::TXcOfficeColorPanelProperties(TPersistent* owner)
    : TXcPersistentProperty(owner),
      defaultColorFont_(MakeFont("DefaultColorFont")),
      noneColorFont_(MakeFont("NoneColorFont")),
      customColorFont_(MakeFont("CustomColorFont")) {}

TXcOfficeColorPanelProperties::~TXcOfficeColorPanelProperties() {
  defaultColorFont_->OnChange = nullptr;
  noneColorFont_->OnChange = nullptr;
  customColorFont_->OnChange = nullptr;
}

std::unique_ptr<TFont> TXcOfficeColorPanelProperties::MakeFont(const char* name) {
  auto font = std::make_unique<TFont>();
  font->OnChange = [this, name](TObject*) {
    NotifyChanging();
    NotifyPropertyChanging(name);
    NotifyPropertyChanged(name);
    NotifyChanged();
  };
  return font;
}

void TXcOfficeColorPanelProperties::LoadDefaultTexts() {
  LockChanges();
  SetNoneColorCaption(kNoneColorText);
  SetDefaultColorCaption(kDefaultColorText);
  SetCustomColorCaption(kCustomColorText);
  SetDefaultColorHint(kDefaultColorText);
  SetNoneColorHint(kNoneColorText);
  SetCustomColorHint(kCustomColorText);
  UnlockChanges();
}

void TXcOfficeColorPanelProperties::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TXcOfficeColorPanelProperties*>(source);
  if (!s) {
    TXcPersistentProperty::Assign(source);
    return;
  }
  if (s == this) return;
  LockChanges();
  SetShowNoneColor(s->showNoneColor_);
  SetShowDefaultColor(s->showDefaultColor_);
  SetShowCustomColor(s->showCustomColor_);
  SetShowColorsHint(s->showColorsHint_);
  SetShowAddInHint(s->showAddInHint_);
  SetShowStandardColors(s->showStandardColors_);
  SetShowSystemColors(s->showSystemColors_);
  SetShowUserColors(s->showUserColors_);
  SetHoldCustomColor(s->holdCustomColor_);
  SetNoneColorColor(s->noneColorColor_);
  SetDefaultColorColor(s->defaultColorColor_);
  SetDefaultColorCaption(s->defaultColorCaption_);
  SetCustomColorCaption(s->customColorCaption_);
  SetNoneColorCaption(s->noneColorCaption_);
  SetDefaultColorHint(s->defaultColorHint_);
  SetCustomColorHint(s->customColorHint_);
  SetNoneColorHint(s->noneColorHint_);
  SetDefaultColorFont(s->defaultColorFont_.get());
  SetNoneColorFont(s->noneColorFont_.get());
  SetCustomColorFont(s->customColorFont_.get());
  SetHorizontalMargin(s->horizontalMargin_);
  SetTopMargin(s->topMargin_);
  SetBottomMargin(s->bottomMargin_);
  SetButtonHeight(s->buttonHeight_);
  SetColorSpace(s->colorSpace_);
  SetColorSpaceTop(s->colorSpaceTop_);
  SetColorSpaceBottom(s->colorSpaceBottom_);
  SetColorSize(s->colorSize_);
  SetRightClickSelect(s->rightClickSelect_);
  SetSelectIfPopup(s->selectIfPopup_);
  UnlockChanges();
}

// ------------------------------------------------------------------------ TXcCustomOfficeColorPanel

TXcCustomOfficeColorPanel::TXcCustomOfficeColorPanel(TComponent* owner)
    : TXcCustomArrangePanel(owner),
      standardColors_(std::make_unique<TStringList>()),
      systemColors_(std::make_unique<TStringList>()),
      userColors_(std::make_unique<TStringList>()) {
  SetControlStyle(ControlStyle() & ~csAcceptsControls);
  SetHotTrackFontOptions(kDefaultTrackFontOptions);
  {
    // The cells light up in the hot-track options' own colours, not in the plain panel's face.
    TXcHotTrackOptions defaults(nullptr);
    HotTrackOptions()->Assign(&defaults);
  }
  TNotifyEvent panelHandler = HotTrackOptions()->OnAfterChange;
  HotTrackOptions()->OnAfterChange = [this, panelHandler](TObject* sender) {
    if (panelHandler) panelHandler(sender);
    HotTrackOptionsChanged();
  };
  properties_ = new TXcOfficeColorPanelProperties(this);
  properties_->OnAfterPropertyChange = [this](TObject* sender, const std::string& name) {
    PropertiesChanged(sender, name);
  };
  selectedColor_ = clDefault;
  SetColor(backColor_);

  int32_t tag = kOfficeColorCount + 1;
  auto setupFixed = [&](TXcColorSpeedButton* b) {
    b->SetParent(this);
    b->SetGroupIndex(1);
    b->SetTag(tag++);
    b->SetFlat(true);
    b->SetColor(backColor_);
    b->OnClick = [this](TObject* sender) { ColorButtonClick(sender); };
    fixedControls_.push_back(b);
  };
  noneButton_ = new TXcColorSpeedButton(this);
  noneButton_->SetShowSwatch(false);
  noneButton_->SetSwatchFrame(false);
  noneButton_->SetSwatchColor(properties_->NoneColorColor());
  noneButton_->SetVisible(false);
  setupFixed(noneButton_);
  defaultButton_ = new TXcDefaultColorSpeendButton(this);
  defaultButton_->SetSwatchPlacement(kSwatchLeft);
  defaultButton_->SetSwatchFrame(true);
  defaultButton_->SetSwatchColor(properties_->DefaultColorColor());
  setupFixed(defaultButton_);
  defaultButton_->SetDown(true);
  selectedButton_ = defaultButton_;
  customButton_ = new TXcColorSpeedButton(this);
  customButton_->SetShowSwatch(false);
  customButton_->SetSwatchFrame(true);
  setupFixed(customButton_);
  customSwatch_ = new TXcOfficeColorDrawer(this);
  customSwatch_->SetSwatchPlacement(kSwatchWhole);
  customSwatch_->SetSwatchBarWithGlyph(false);
  customSwatch_->SetHint("clDefault");
  setupFixed(customSwatch_);
  for (auto& d : dividers_) {
    d = new TXcOfficePanelDividerLine(this);
    d->SetParent(this);
    d->SetVisible(false);
    d->SetHeight(2);
  }
  colorDialog_ = new TXcOfficeColorDialog(this);

  FillStandardColors(standardColors_.get());
  FillSystemColors(systemColors_.get());
  TComponent* root = RootOwner(this);
  const bool reading = root && (root->ComponentState() & (csLoading | csReading));
  if (reading) {
    // The stored user colours arrive while the owner is read: their cells are built once then.
    userColors_->OnChange = [this](TObject*) {
      userColors_->OnChange = nullptr;
      BuildUserButtons();
    };
  } else {
    FillUserColors(userColors_.get());
    BuildUserButtons();
    properties_->LoadDefaultTexts();
  }
  BuildStandardButtons();
  BuildSystemButtons();
  PassHotTrackToAll();
  created_ = true;
}

TXcCustomOfficeColorPanel::~TXcCustomOfficeColorPanel() {
  Destroying();
  userColors_->OnChange = nullptr;
  if (properties_) properties_->OnAfterPropertyChange = nullptr;
}

void TXcCustomOfficeColorPanel::Loaded() {
  TXcCustomArrangePanel::Loaded();
  userColors_->OnChange = nullptr;
}

// ---- colour lists and cells

int32_t TXcCustomOfficeColorPanel::FillStandardColors(TStrings* list) {
  return FillFromTable(list, OfficeColorValues(), kOfficeColorCount);
}

int32_t TXcCustomOfficeColorPanel::FillSystemColors(TStrings* list) {
  return FillFromTable(list, SystemColorValues(), kSystemColorCount);
}

int32_t TXcCustomOfficeColorPanel::FillUserColors(TStrings*) { return 0; }

void TXcCustomOfficeColorPanel::BuildStandardButtons() {
  BuildGroup(standardColors_.get(), standardButtons_, properties_->ShowStandardColors());
}

void TXcCustomOfficeColorPanel::BuildSystemButtons() {
  BuildGroup(systemColors_.get(), systemButtons_, properties_->ShowSystemColors());
}

void TXcCustomOfficeColorPanel::BuildUserButtons() {
  BuildGroup(userColors_.get(), userButtons_, properties_->ShowUserColors());
}

void TXcCustomOfficeColorPanel::BuildGroup(TStrings* list, std::vector<TXcOfficeColorDrawer*>& buttons, bool show) {
  DeleteBlankLines(list);
  const int n = std::min(list->Count(), kMaxGroupCells);
  if (n == 0) {
    for (auto* b : buttons) b->SetVisible(false);
    return;
  }
  while (static_cast<int>(buttons.size()) < n) {
    auto* cell = new TXcOfficeColorDrawer(this);
    cell->SetShowSwatch(true);
    cell->SetSwatchBarWithGlyph(false);
    cell->SetSwatchFrame(false);
    cell->SetSwatchPlacement(kSwatchWhole);
    cell->SetVisible(false);
    buttons.push_back(cell);
  }
  for (size_t i = static_cast<size_t>(n); i < buttons.size(); ++i) buttons[i]->SetVisible(false);
  for (int i = 0; i < n; ++i) {
    TXcOfficeColorDrawer* cell = buttons[static_cast<size_t>(i)];
    cell->SetParent(this);
    cell->SetGroupIndex(1);
    cell->SetTag(i);
    cell->SetFlat(true);
    const std::string name = TrimSpaces(list->Names(i));
    const std::string value = list->ValueFromIndex(i);
    TColor color = clDefault;
    bool valid = true;
    try {
      color = StringToColor(name);
    } catch (const EConvertError&) {
      valid = false;
    }
    if (valid) {
      invalidCells_.erase(cell);
      cell->SetSwatchColor(color);
      cell->SetEnabled(Enabled());
      cell->SetVisible(show);
    } else {
      invalidCells_.insert(cell);
      cell->SetSwatchColor(clDefault);
      cell->SetDisabledSwatchColor(backColor_);
      cell->SetEnabled(false);
      cell->SetVisible(false);
    }
    cell->SetHint(value == "($)" ? ColorDescription(color) : value);
    cell->SetShowHint(properties_->ShowColorsHint());
    cell->SetTransparent(false);
    cell->SetColor(backColor_);
    cell->SetDisabledSwatchColor(backColor_);
    PassHotTrack(cell);
    cell->OnClick = [this](TObject* sender) { ColorButtonClick(sender); };
    cell->OnEnabledChanged = [this](TObject* sender) {
      static_cast<TXcColorSpeedButton*>(sender)->SetDisabledSwatchColor(backColor_);
    };
    cell->OnMouseUp = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
      CellMouseUp(sender, button, shift, x, y);
    };
  }
}

void TXcCustomOfficeColorPanel::AddInControl(TControl* control) {
  if (!control || std::find(fixedControls_.begin(), fixedControls_.end(), control) != fixedControls_.end()) return;
  fixedControls_.push_back(control);
  control->FreeNotification(this);
}

// ---- arranging

void TXcCustomOfficeColorPanel::ArrangeButtons() {
  if (!created_ || !Parent() || arranging_) return;
  arranging_ = true;
  DisableAlign();
  struct Done {
    TXcCustomOfficeColorPanel* p;
    ~Done() {
      p->EnableAlign();
      p->arranging_ = false;
    }
  } done{this};
  TXcOfficeColorPanelProperties* const P = properties_;
  const int32_t size = P->ColorSize(), space = P->ColorSpace();
  const int32_t W8 = 8 * size + 7 * space;
  const int32_t B = BorderWidth();
  int32_t x = B + P->HorizontalMargin();
  int32_t y = 0;
  int32_t bottom = B;
  TControl* last = nullptr;

  // 1. "No Color".
  noneButton_->SetVisible(P->ShowNoneColor());
  if (noneButton_->Visible()) {
    noneButton_->SetCaption(P->NoneColorCaption());
    noneButton_->SetBounds(P->HorizontalMargin() + B, P->TopMargin() + B + y, W8, P->ButtonHeight());
    bottom = noneButton_->Top() + noneButton_->Height();
    x = noneButton_->Left();
    y = P->TopMargin() + B + noneButton_->Height();
    last = noneButton_;
  } else {
    // The default button keeps the border clear, where the none button would start.
    y = B;
  }
  // 2. "Automatic".
  defaultButton_->SetVisible(P->ShowDefaultColor());
  if (defaultButton_->Visible()) {
    defaultButton_->SetCaption(P->DefaultColorCaption());
    defaultButton_->SetBounds(x, P->TopMargin() + y, W8, P->ButtonHeight());
    bottom = defaultButton_->Top() + defaultButton_->Height();
    x = defaultButton_->Left();
    last = defaultButton_;
  }
  // A group of cells from top, rows of 8; answers the bottom of its last visible cell.
  auto placeGroup = [&](std::vector<TXcOfficeColorDrawer*>& cells, TStrings* list, int32_t top, bool show) {
    const int n = std::min(list->Count(), kMaxGroupCells);
    int32_t groupBottom = top;
    for (int i = 0; i < n && i < static_cast<int>(cells.size()); ++i) {
      TXcOfficeColorDrawer* cell = cells[static_cast<size_t>(i)];
      cell->SetBounds(x + (size + space) * (i % 8), top + P->ColorSpaceTop() + (size + space) * (i / 8), size, size);
      cell->SetVisible(show && !invalidCells_.count(cell));
      if (cell->Visible()) {
        last = cell;
        groupBottom = cell->Top() + cell->Height();
      }
    }
    return groupBottom;
  };
  auto anyVisible = [](const std::vector<TXcOfficeColorDrawer*>& cells) {
    return std::any_of(cells.begin(), cells.end(), [](TXcOfficeColorDrawer* c) { return c->Visible(); });
  };
  // 3. The office colours.
  if (static_cast<int>(standardButtons_.size()) < std::min(standardColors_->Count(), kMaxGroupCells))
    BuildStandardButtons();
  int32_t ys = placeGroup(standardButtons_, standardColors_.get(), bottom, P->ShowStandardColors());
  if (!P->ShowStandardColors() || !anyVisible(standardButtons_)) ys = bottom;
  const bool standardShown = P->ShowStandardColors() && anyVisible(standardButtons_);
  // 4. The system colours.
  const bool systemCells = systemColors_->Count() > 0 && !systemButtons_.empty();
  dividers_[0]->SetVisible(P->ShowSystemColors() && systemCells && P->ShowStandardColors());
  if (dividers_[0]->Visible()) {
    dividers_[0]->SetBounds(x, ys + P->ColorSpaceBottom(), W8, 2);
    ys = dividers_[0]->Top() + dividers_[0]->Height();
  }
  int32_t yu = placeGroup(systemButtons_, systemColors_.get(), ys, P->ShowSystemColors());
  const bool systemShown = P->ShowSystemColors() && anyVisible(systemButtons_);
  if (!systemShown) yu = ys;
  // 5. The user colours.
  const bool userCells = userColors_->Count() > 0 && !userButtons_.empty();
  dividers_[1]->SetVisible(P->ShowUserColors() && userCells && (P->ShowStandardColors() || P->ShowSystemColors()));
  if (dividers_[1]->Visible()) {
    dividers_[1]->SetBounds(x, yu + P->ColorSpaceBottom(), W8, 2);
    yu = dividers_[1]->Top() + dividers_[1]->Height();
  }
  placeGroup(userButtons_, userColors_.get(), yu, P->ShowUserColors());
  const bool userShown = P->ShowUserColors() && anyVisible(userButtons_);
  // 6. The divider above the custom button.
  auto nextY = [&] { return last ? last->Top() + last->Height() + P->ColorSpaceBottom() : P->TopMargin() + B; };
  y = nextY();
  dividers_[2]->SetVisible(P->ShowCustomColor() && (standardShown || systemShown || userShown));
  if (dividers_[2]->Visible()) {
    dividers_[2]->SetBounds(x, y, W8, 2);
    last = dividers_[2];
    y = nextY();
  }
  // 7. "Other Colors..." and its swatch.
  customSwatch_->SetVisible(P->ShowCustomColor());
  customButton_->SetVisible(P->ShowCustomColor());
  if (P->ShowCustomColor()) {
    customSwatch_->SetBounds(x + W8 - P->ButtonHeight(), y, P->ButtonHeight(), P->ButtonHeight());
    customButton_->SetCaption(P->CustomColorCaption());
    customButton_->SetBounds(x, y, W8 - customSwatch_->Width() - space, P->ButtonHeight());
    last = customButton_;
  }
  // 8. Add-in controls.
  for (TControl* c : fixedControls_) {
    if (c == noneButton_ || c == defaultButton_ || c == customButton_ || c == customSwatch_ || !c->Visible()) continue;
    y = nextY();
    c->SetParent(this);
    if (auto* sb = dynamic_cast<TXcCustomSpeedButton*>(c)) {
      sb->SetFlat(true);
      sb->SetColor(backColor_);
      sb->SetEnabled(Enabled());
    }
    if (auto* ht = dynamic_cast<IXcHotTrackable*>(c)) PassHotTrack(ht);
    TRect r = Rect(x, y, x + W8, y + c->Height());
    PlaceAddInControl(this, c, r);
    c->SetBounds(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    last = c;
  }
  // 9. The panel's size.
  const int32_t width = 2 * (P->HorizontalMargin() + B) + W8;
  const int32_t height = last ? last->Top() + last->Height() + P->BottomMargin() + B : 0;
  SetBounds(Left(), Top(), width, height);
}

void TXcCustomOfficeColorPanel::PlaceAddInControl(TObject* sender, TControl* control, TRect& rect) {
  if (OnPlaceAddIn) OnPlaceAddIn(sender, control, rect);
}

void TXcCustomOfficeColorPanel::CreateWnd() {
  TXcCustomArrangePanel::CreateWnd();
  ArrangeButtons();
}

void TXcCustomOfficeColorPanel::Resize() {
  TXcCustomArrangePanel::Resize();
  if (!arranging_) ArrangeButtons();
}

// ---- selection

template <class F>
void TXcCustomOfficeColorPanel::ForEachGroupButton(F&& f) {
  for (auto* list : {&standardButtons_, &systemButtons_, &userButtons_})
    for (TXcOfficeColorDrawer* b : *list) f(static_cast<TXcCustomSpeedButton*>(b));
  for (TControl* c : fixedControls_)
    if (auto* b = dynamic_cast<TXcCustomSpeedButton*>(c); b && b->GroupIndex() == 1) f(b);
}

void TXcCustomOfficeColorPanel::PutUp(TXcCustomSpeedButton* button) {
  if (!button || !button->Down()) return;
  // Group 1 keeps one button down; all-up is allowed only around this change (the group's members
  // copy the setting, so every one of them gets it back).
  button->SetAllowAllUp(true);
  button->SetDown(false);
  button->SetAllowAllUp(false);
}

void TXcCustomOfficeColorPanel::PutDown(TXcCustomSpeedButton* button) {
  if (!button || button->Down()) return;
  // The group's own message reaches the others only once the panel has a window: the one that is
  // down goes up here in any case.
  ForEachGroupButton([&](TXcCustomSpeedButton* b) {
    if (b != button && b->Down()) PutUp(b);
  });
  button->SetDown(true);
}

void TXcCustomOfficeColorPanel::SetSelectedColor(TColor value) {
  if (value == selectedColor_) return;
  selectedColor_ = value;
  if (!inClick_) {
    if (value == defaultButton_->SwatchColor()) {
      PutDown(defaultButton_);
      if (!selectedButton_) selectedButton_ = defaultButton_;
    } else {
      PutUp(defaultButton_);
      // The first cell of the colour, the office, then the system, then the user colours.
      TXcOfficeColorDrawer* target = nullptr;
      TXcOfficeColorDrawer* examined = nullptr;
      for (auto* list : {&standardButtons_, &systemButtons_, &userButtons_}) {
        const size_t n = std::min(list->size(), static_cast<size_t>(kMaxGroupCells));
        for (size_t i = 0; i < n && !target; ++i) {
          examined = (*list)[i];
          if (examined->SwatchColor() == value && !invalidCells_.count(examined)) target = examined;
        }
        if (target) break;
      }
      if (target) {
        PutDown(target);
        selectedButton_ = target;
      } else {
        // A colour in no grid: nothing is down.
        ForEachGroupButton([&](TXcCustomSpeedButton* b) { PutUp(b); });
        if (!selectedButton_) selectedButton_ = examined;
      }
    }
  }
  ColorChanged();
}

void TXcCustomOfficeColorPanel::ColorChanged() {
  if (OnColorChange) OnColorChange(this);
}

void TXcCustomOfficeColorPanel::ColorButtonClick(TObject* sender) {
  auto* swatch = dynamic_cast<TXcColorSpeedButton*>(static_cast<TObject*>(sender));
  if (!swatch) clickKind_ = kClickOutside;
  else if (swatch == noneButton_) clickKind_ = kClickNone;
  else if (swatch == defaultButton_) clickKind_ = kClickDefault;
  else if (swatch == customButton_) clickKind_ = kClickCustom;
  else if (std::find(fixedControls_.begin(), fixedControls_.end(), static_cast<TControl*>(swatch)) !=
           fixedControls_.end())
    clickKind_ = kClickFixed;
  else clickKind_ = kClickGridCell;
  TXcCustomSpeedButton* const previous = selectedButton_;
  inClick_ = true;
  struct EndClick {
    TXcCustomOfficeColorPanel* p;
    ~EndClick() {
      p->inClick_ = false;
      p->clickKind_ = kClickOutside;
    }
  } endClick{this};
  if (OnColorButtonClick) OnColorButtonClick(sender);
  if (clickKind_ == kClickCustom) {
    if (OnShowOwnerColorDialog) {
      const TColor before = selectedColor_;
      OnShowOwnerColorDialog(sender);
      if (selectedColor_ == before) PutDown(previous);
      else TakeCustomColor(selectedColor_);
    } else {
      colorDialog_->SetOptions(colorDialogOptions_);
      colorDialog_->SetColor(selectedColor_);
      if (colorDialog_->Execute()) {
        const TColor chosen = colorDialog_->Color();
        TakeCustomColor(chosen);
        SetSelectedColor(chosen);
      } else {
        PutDown(previous);
      }
    }
    if (!previous || !previous->Down() || previous == customButton_) PutDown(customSwatch_);
  } else if (clickKind_ != kClickOutside) {
    SetSelectedColor(swatch->SwatchColor());
  }
  // The button now down is the one remembered.
  if (auto* b = dynamic_cast<TXcCustomSpeedButton*>(static_cast<TObject*>(sender));
      b && (!selectedButton_ || !selectedButton_->Down())) {
    selectedButton_ = b->Down() ? b : (customSwatch_->Down() ? customSwatch_ : b);
  }
}

void TXcCustomOfficeColorPanel::TakeCustomColor(TColor color) {
  if (clickKind_ != kClickCustom) return;
  if (customButton_->SwatchColor() != color) {
    customButton_->SetSwatchColor(color);
    customSwatch_->SetSwatchColor(color);
    customSwatch_->SetHint(ColorDescription(color));
  }
  if (!properties_->HoldCustomColor()) return;
  const std::string name = ColorToString(color);
  if (userColors_->IndexOfName(name) >= 0) return;
  userColors_->Add(name + "=($)");
  BuildUserButtons();
  ArrangeButtons();
  if (OnCustomColorKept) OnCustomColorKept(this, color);
}

void TXcCustomOfficeColorPanel::CellMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(sender, button, shift, x, y);
  bool popup = false;
  for (TControl* c = this; c && !popup; c = c->Parent()) popup = c->PopupMenu() != nullptr;
  if (popup && !properties_->SelectIfPopup()) return;
  if (properties_->RightClickSelect() && button == mbRight) {
    // The right button does not press a speed button: the cell goes down here so that the colour
    // selected is the one shown.
    auto* cell = dynamic_cast<TXcCustomSpeedButton*>(static_cast<TObject*>(sender));
    if (cell && cell->Enabled()) PutDown(cell);
    ColorButtonClick(sender);
  }
}

// ---- properties and settings

void TXcCustomOfficeColorPanel::PropertiesChanged(TObject*, const std::string& name) {
  TXcOfficeColorPanelProperties* const P = properties_;
  if (SameText(name, "NoneColorCaption")) noneButton_->SetCaption(P->NoneColorCaption());
  else if (SameText(name, "DefaultColorCaption")) defaultButton_->SetCaption(P->DefaultColorCaption());
  else if (SameText(name, "CustomColorCaption")) customButton_->SetCaption(P->CustomColorCaption());
  else if (SameText(name, "NoneColorHint")) noneButton_->SetHint(P->NoneColorHint());
  else if (SameText(name, "DefaultColorHint")) defaultButton_->SetHint(P->DefaultColorHint());
  else if (SameText(name, "CustomColorHint")) customButton_->SetHint(P->CustomColorHint());
  else if (SameText(name, "NoneColorColor")) noneButton_->SetSwatchColor(P->NoneColorColor());
  else if (SameText(name, "DefaultColorColor")) defaultButton_->SetSwatchColor(P->DefaultColorColor());
  else if (SameText(name, "NoneColorFont")) noneButton_->Font()->Assign(*P->NoneColorFont());
  else if (SameText(name, "DefaultColorFont")) defaultButton_->Font()->Assign(*P->DefaultColorFont());
  else if (SameText(name, "CustomColorFont")) customButton_->Font()->Assign(*P->CustomColorFont());
  else if (SameText(name, "ShowAddInHint")) {
    for (TXcColorSpeedButton* b : {noneButton_, static_cast<TXcColorSpeedButton*>(defaultButton_), customButton_})
      b->SetShowHint(P->ShowAddInHint());
  } else if (SameText(name, "ShowColorsHint")) {
    for (auto* list : {&standardButtons_, &systemButtons_, &userButtons_})
      for (TXcOfficeColorDrawer* b : *list) b->SetShowHint(P->ShowColorsHint());
  } else if (SameText(name, "RightClickSelect") || SameText(name, "HoldCustomColor")) {
  } else {
    ArrangeButtons();
  }
}

void TXcCustomOfficeColorPanel::SetProperties(TXcOfficeColorPanelProperties* value) {
  if (value && value != properties_) properties_->Assign(value);
}

void TXcCustomOfficeColorPanel::SetBackColor(TColor value) {
  if (value == backColor_) return;
  backColor_ = value;
  SetColor(value);
  for (auto* list : {&standardButtons_, &systemButtons_, &userButtons_})
    for (TXcOfficeColorDrawer* b : *list) {
      b->SetColor(value);
      b->SetDisabledSwatchColor(value);
    }
  for (TControl* c : fixedControls_) {
    c->SetColor(value);
    if (auto* s = dynamic_cast<TXcColorSpeedButton*>(c)) s->SetDisabledSwatchColor(value);
  }
}

void TXcCustomOfficeColorPanel::SetUserColors(TStrings* value) {
  if (value && value != userColors_.get()) userColors_->Assign(value);
  RebuildShownGroups();
}

void TXcCustomOfficeColorPanel::RebuildShownGroups() {
  if (arranging_) return;
  if (properties_->ShowStandardColors()) BuildStandardButtons();
  if (properties_->ShowSystemColors()) BuildSystemButtons();
  if (properties_->ShowUserColors()) BuildUserButtons();
  if (properties_->ShowStandardColors() || properties_->ShowSystemColors() || properties_->ShowUserColors())
    ArrangeButtons();
}

void TXcCustomOfficeColorPanel::SetColorDlgCustomColors(TStrings* value) {
  if (value && value != colorDialog_->CustomColors()) colorDialog_->CustomColors()->Assign(value);
}

void TXcCustomOfficeColorPanel::PassHotTrack(IXcHotTrackable* target) {
  target->SetHotTrack(HotTrack());
  target->SetHotTrackFont(HotTrackFont());
  target->SetHotTrackFontOptions(HotTrackFontOptions());
  target->SetHotTrackOptions(HotTrackOptions());
}

void TXcCustomOfficeColorPanel::PassHotTrackToAll() {
  for (auto* list : {&standardButtons_, &systemButtons_, &userButtons_})
    for (TXcOfficeColorDrawer* b : *list) PassHotTrack(b);
  for (TControl* c : fixedControls_)
    if (auto* ht = dynamic_cast<IXcHotTrackable*>(c)) PassHotTrack(ht);
}

void TXcCustomOfficeColorPanel::SetHotTrack(bool value) {
  TXcCustomArrangePanel::SetHotTrack(value);
  PassHotTrackToAll();
}

void TXcCustomOfficeColorPanel::SetHotTrackFont(TFont* value) {
  TXcCustomArrangePanel::SetHotTrackFont(value);
  PassHotTrackToAll();
}

void TXcCustomOfficeColorPanel::SetHotTrackFontOptions(TXcTrackFontOptions value) {
  TXcCustomArrangePanel::SetHotTrackFontOptions(value);
  PassHotTrackToAll();
}

void TXcCustomOfficeColorPanel::SetHotTrackOptions(TXcHotTrackOptions* value) {
  TXcCustomArrangePanel::SetHotTrackOptions(value);
  PassHotTrackToAll();
}

void TXcCustomOfficeColorPanel::HotTrackOptionsChanged() {
  if (!defaultButton_) return;
  const bool framed = !HotTrackOptions()->Enabled();
  defaultButton_->SetSwatchFrame(framed);
  customButton_->SetSwatchFrame(framed);
  PassHotTrackToAll();
}

void TXcCustomOfficeColorPanel::SetEnabled(bool value) {
  TXcCustomArrangePanel::SetEnabled(value);
  for (auto* list : {&standardButtons_, &systemButtons_, &userButtons_})
    for (TXcOfficeColorDrawer* b : *list)
      // A cell whose line is no colour stays disabled.
      b->SetEnabled(value && !invalidCells_.count(b));
  for (TControl* c : fixedControls_) c->SetEnabled(value);
}

void TXcCustomOfficeColorPanel::HandleShowHintChange() {
  TXcCustomArrangePanel::HandleShowHintChange();
  for (auto* list : {&standardButtons_, &systemButtons_, &userButtons_})
    for (TXcOfficeColorDrawer* b : *list) b->SetShowHint(ShowHint());
  for (TControl* c : fixedControls_) c->SetShowHint(ShowHint());
}
