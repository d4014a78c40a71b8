#include "platform/ui/comctrls.h"

#include <QtWidgets/QProgressBar>
#include <QtWidgets/QSlider>
#include <QtWidgets/QTabBar>

#include <algorithm>

#include "platform/gdi/graphics.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/timers.h"
#include "platform/ui/window_dc.h"

// ------------------------------------------------------------------------------------------ TTabSheet

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  // A page fills its page control's display area and shows only while it is the active one.
  align_ = alClient;
  visible_ = false;
  controlStyle_ = csAcceptsControls | csClickEvents | csSetCaption | csDoubleClicks;
}

TTabSheet::~TTabSheet() {
  Destroying();
  if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (pageControl_) pageControl_->RemovePage(this);
  TWinControl::SetParent(parent);
  if (auto* pc = dynamic_cast<TPageControl*>(parent)) pc->InsertPage(this);
}

void TTabSheet::SetPageControl(TPageControl* value) { SetParent(value); }

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  auto& pages = pageControl_->pages_;
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int value) {
  if (!pageControl_) return;
  auto& pages = pageControl_->pages_;
  value = std::clamp(value, 0, static_cast<int>(pages.size()) - 1);
  pages.erase(std::find(pages.begin(), pages.end(), this));
  pages.insert(pages.begin() + value, this);
  pageControl_->UpdateTabs();
}

int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int n = 0;
  for (TTabSheet* p : pageControl_->pages_) {
    if (p == this) return n;
    if (p->tabVisible_) ++n;
  }
  return -1;
}

void TTabSheet::SetTabVisible(bool value) {
  if (value == tabVisible_) return;
  tabVisible_ = value;
  if (pageControl_) {
    if (!value && pageControl_->activePage_ == this)
      pageControl_->SetActivePage(pageControl_->FindNextPage(this, true, true));
    pageControl_->UpdateTabs();
    pageControl_->ShowPages();
  }
}

void TTabSheet::CMTextChanged(TMessage& m) {
  TWinControl::CMTextChanged(m);
  if (pageControl_) pageControl_->UpdateTabs();
}

void TTabSheet::CMShowingChanged(TMessage& m) {
  TWinControl::CMShowingChanged(m);
  if (Showing()) {
    if (OnShow) OnShow(this);
  } else if (OnHide) {
    OnHide(this);
  }
}

// --------------------------------------------------------------------------------------- TPageControl

namespace {

QTabBar* TabBarOf(WindowRecord* rec) { return rec ? rec->widget->findChild<QTabBar*>() : nullptr; }

}  // namespace

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  controlStyle_ = csAcceptsControls | csDoubleClicks;
  width_ = 289;
  height_ = 193;
  SetTabStop(true);
}

TPageControl::~TPageControl() {
  Destroying();
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
}

void* TPageControl::CreateWidget() {
  auto* w = new TBridgeWidget<QWidget>(Record());
  auto* tabs = new QTabBar(w);
  tabs->setDrawBase(false);
  tabs->setFocusPolicy(Qt::NoFocus);
  QObject::connect(tabs, &QTabBar::currentChanged, [this](int index) {
    if (!syncing_) TabChosen(index);
  });
  return w;
}

void TPageControl::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  UpdateTabs();
}

int TPageControl::TabHeight() {
  QTabBar* tabs = TabBarOf(Record());
  return tabs && tabs->count() > 0 ? tabs->sizeHint().height() : (tabs ? 21 : 0);
}

void TPageControl::UpdateTabs() {
  QTabBar* tabs = TabBarOf(Record());
  if (!tabs) return;
  ++syncing_;
  while (tabs->count() > 0) tabs->removeTab(tabs->count() - 1);
  for (TTabSheet* p : pages_)
    if (p->tabVisible_) tabs->addTab(QString::fromStdString(p->Caption()));
  tabs->setCurrentIndex(TabIndex());
  tabs->setShape(tabPosition_ == tpBottom ? QTabBar::RoundedSouth : QTabBar::RoundedNorth);
  QSize hint = tabs->sizeHint();
  int h = std::max(hint.height(), 1);
  TRect client = ClientRect();
  tabs->setGeometry(2, tabPosition_ == tpBottom ? client.Bottom - h : 0, std::min(hint.width(), std::max(0, client.Right - 4)), h);
  --syncing_;
  Realign();
  Invalidate();
}

TRect TPageControl::DisplayRect() {
  TRect r = ClientRect();
  int h = HandleAllocated() ? TabHeight() : 21;
  if (tabPosition_ == tpBottom) r.Bottom -= h;
  else r.Top += h;
  InflateRect(r, -2, -2);
  return r;
}

void TPageControl::AdjustClientRect(TRect& rect) {
  rect = DisplayRect();
  TWinControl::AdjustClientRect(rect);
}

void TPageControl::PaintWindow(HDC dc) {
  // The raised frame around the display area, joined to the tabs.
  TRect frame = DisplayRect();
  InflateRect(frame, 2, 2);
  DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
}

void TPageControl::SetTabPosition(TTabPosition value) {
  if (value == tabPosition_) return;
  tabPosition_ = value;
  UpdateTabs();
}

void TPageControl::InsertPage(TTabSheet* page) {
  pages_.push_back(page);
  page->pageControl_ = this;
  page->SetVisible(false);
  UpdateTabs();
  if (!activePage_ && page->tabVisible_) SetActivePage(page);
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  TTabSheet* next = activePage_ == page ? FindNextPage(page, true, true) : activePage_;
  pages_.erase(it);
  page->pageControl_ = nullptr;
  if (next == page) next = nullptr;
  activePage_ = nullptr;
  if (!(ComponentState() & csDestroying)) {
    UpdateTabs();
    SetActivePage(next);
  }
}

void TPageControl::ShowPages() {
  // The active page first, so that the focus never lands on a hidden one.
  if (activePage_) activePage_->SetVisible(true);
  for (TTabSheet* p : pages_)
    if (p != activePage_) p->SetVisible(false);
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  if (page == activePage_) return;
  activePage_ = page;
  if (page) page->BringToFront();
  ShowPages();
  if (QTabBar* tabs = TabBarOf(Record())) {
    ++syncing_;
    tabs->setCurrentIndex(TabIndex());
    --syncing_;
  }
}

void TPageControl::SetActivePageIndex(int index) {
  SetActivePage(index >= 0 && index < PageCount() ? pages_[static_cast<size_t>(index)] : nullptr);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) {
  int n = PageCount();
  if (n == 0) return nullptr;
  int start = current ? current->PageIndex() : -1;
  if (start < 0) start = goForward ? n - 1 : 0;
  int i = start;
  for (int step = 0; step < n; ++step) {
    i = goForward ? (i + 1) % n : (i - 1 + n) % n;
    TTabSheet* p = pages_[static_cast<size_t>(i)];
    if (!checkTabVisible || p->tabVisible_) return p;
  }
  return nullptr;
}

void TPageControl::SelectNextPage(bool goForward, bool checkTabVisible) {
  TTabSheet* next = FindNextPage(activePage_, goForward, checkTabVisible);
  if (next && next != activePage_ && CanChange()) {
    SetActivePage(next);
    Change();
  }
}

bool TPageControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TPageControl::Change() {
  if (OnChange) OnChange(this);
}

void TPageControl::TabChosen(int tabIndex) {
  TTabSheet* page = nullptr;
  int n = 0;
  for (TTabSheet* p : pages_)
    if (p->tabVisible_ && n++ == tabIndex) page = p;
  if (!page || page == activePage_) return;
  if (!CanChange()) {
    // Refused: the tab goes back.
    if (QTabBar* tabs = TabBarOf(Record())) {
      ++syncing_;
      tabs->setCurrentIndex(TabIndex());
      --syncing_;
    }
    return;
  }
  SetActivePage(page);
  Change();
}

void TPageControl::CMDialogKey(TMessage& m) {
  // Ctrl+Tab and Ctrl+Shift+Tab turn the pages of the page control that holds the focus.
  TShiftState shift = KeyDataToShiftState(m.LParam) | (GetShiftState() & (ssShift | ssCtrl));
  TWinControl* focused = FindFocusedControl();
  if (m.WParam == VK_TAB && (shift & ssCtrl) && focused && ContainsControl(focused)) {
    SelectNextPage(!(shift & ssShift));
    m.Result = 1;
    return;
  }
  TWinControl::CMDialogKey(m);
}

// ------------------------------------------------------------------------------------------ TTrackBar

TTrackBar::TTrackBar(TComponent* owner) : TWinControl(owner) {
  width_ = 150;
  height_ = 45;
  SetTabStop(true);
}

void* TTrackBar::CreateWidget() {
  auto* w = new TBridgeWidget<QSlider>(Record());
  QObject::connect(w, &QSlider::valueChanged, [this](int value) {
    if (syncing_) return;
    // The user moved the thumb: the platform reports it as a scroll message.
    position_ = value;
    TMessage m;
    m.Msg = orientation_ == trHorizontal ? CN_HSCROLL : CN_VSCROLL;
    m.WParam = MAKEWPARAM(SB_THUMBPOSITION, value);
    SafeWndProc(this, m);
  });
  return w;
}

void TTrackBar::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  auto* s = static_cast<QSlider*>(Record()->widget);
  ++syncing_;
  s->setOrientation(orientation_ == trHorizontal ? Qt::Horizontal : Qt::Vertical);
  // The platform's vertical bar has its minimum at the top.
  s->setInvertedAppearance(orientation_ == trVertical);
  s->setRange(min_, max_);
  s->setValue(position_);
  s->setSingleStep(lineSize_);
  s->setPageStep(pageSize_);
  s->setTickInterval(frequency_);
  QSlider::TickPosition ticks = tickStyle_ == tsNone ? QSlider::NoTicks
                                : tickMarks_ == tmBoth ? QSlider::TicksBothSides
                                : tickMarks_ == tmTopLeft ? QSlider::TicksAbove
                                                          : QSlider::TicksBelow;
  s->setTickPosition(ticks);
  s->setStyleSheet(sliderVisible_ ? QString() : QStringLiteral("QSlider::handle { width: 0px; height: 0px; }"));
  --syncing_;
}

void TTrackBar::SetParams(int position, int min, int max) {
  if (max < min) max = min;
  position = std::clamp(position, min, max);
  bool changed = position != position_;
  min_ = min;
  max_ = max;
  position_ = position;
  if (HandleAllocated()) ApplyWidgetState();
  if (changed) Changed();
}

void TTrackBar::SetFrequency(int value) {
  frequency_ = std::max(value, 1);
  if (HandleAllocated()) ApplyWidgetState();
}

void TTrackBar::SetLineSize(int value) {
  lineSize_ = std::max(value, 1);
  if (HandleAllocated()) ApplyWidgetState();
}

void TTrackBar::SetPageSize(int value) {
  pageSize_ = std::max(value, 1);
  if (HandleAllocated()) ApplyWidgetState();
}

void TTrackBar::SetOrientation(TTrackBarOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  SetBounds(left_, top_, height_, width_);
  if (HandleAllocated()) ApplyWidgetState();
}

void TTrackBar::SetTickMarks(TTickMark value) {
  tickMarks_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TTrackBar::SetTickStyle(TTickStyle value) {
  tickStyle_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TTrackBar::SetSliderVisible(bool value) {
  sliderVisible_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TTrackBar::Changed() {
  if (OnChange) OnChange(this);
}

void TTrackBar::Dispatch(TMessage& m) {
  if (m.Msg == CN_HSCROLL || m.Msg == CN_VSCROLL) {
    Changed();
    return;
  }
  TWinControl::Dispatch(m);
}

void TTrackBar::WMGetDlgCode(TMessage& m) { m.Result = DLGC_WANTARROWS; }

// --------------------------------------------------------------------------------------- TProgressBar

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
  width_ = 150;
  height_ = 16;
}

void* TProgressBar::CreateWidget() { return new TBridgeWidget<QProgressBar>(Record()); }

void TProgressBar::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  auto* p = static_cast<QProgressBar*>(Record()->widget);
  p->setTextVisible(false);
  p->setOrientation(orientation_ == pbHorizontal ? Qt::Horizontal : Qt::Vertical);
  p->setRange(min_, std::max(min_, max_));
  p->setValue(position_);
}

void TProgressBar::SetMin(int value) {
  min_ = value;
  SetPosition(position_);
}

void TProgressBar::SetMax(int value) {
  max_ = value;
  SetPosition(position_);
}

void TProgressBar::SetPosition(int value) {
  position_ = std::clamp(value, min_, std::max(min_, max_));
  if (HandleAllocated()) static_cast<QProgressBar*>(Record()->widget)->setValue(position_);
}

void TProgressBar::StepIt() {
  // Past the end it starts again from the minimum, as the platform's bar does.
  int next = position_ + step_;
  if (next > max_) next = min_ + (next - max_) % std::max(1, max_ - min_);
  SetPosition(next);
}

void TProgressBar::SetOrientation(TProgressBarOrientation value) {
  orientation_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

// ---------------------------------------------------------------------------------------- TStatusBar

void TStatusPanel::SetText(const std::string& value) {
  text_ = value;
  Changed(false);
}

void TStatusPanel::SetWidth(int value) {
  width_ = value;
  Changed(true);
}

void TStatusPanel::SetAlignment(TAlignment value) {
  alignment_ = value;
  Changed(false);
}

void TStatusPanel::SetBevel(TStatusPanelBevel value) {
  bevel_ = value;
  Changed(false);
}

void TStatusPanel::SetStyle(TStatusPanelStyle value) {
  style_ = value;
  Changed(false);
}

TStatusBar::TStatusBar(TComponent* owner)
    : TCustomControl(owner), panels_(std::make_unique<TCollectionOf<TStatusPanel>>()) {
  controlStyle_ = csCaptureMouse | csClickEvents | csDoubleClicks | csOpaque;
  color_ = clBtnFace;
  parentColor_ = false;
  height_ = 19;
  align_ = alBottom;
  panels_->OnChange = [this](TCollection*, TCollectionItem*) { Invalidate(); };
}

TStatusBar::~TStatusBar() {
  Destroying();
  panels_->OnChange = nullptr;
}

void TStatusBar::SetSimplePanel(bool value) {
  simplePanel_ = value;
  Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& value) {
  simpleText_ = value;
  if (simplePanel_) Invalidate();
}

void TStatusBar::SetSizeGrip(bool value) {
  sizeGrip_ = value;
  Invalidate();
}

TRect TStatusBar::PanelRect(int index) {
  TRect client = ClientRect();
  int x = 0;
  for (int i = 0; i < panels_->Count(); ++i) {
    int w = panels_->Items(i)->Width();
    // The last panel takes what is left.
    TRect r = Rect(x, 2, i == panels_->Count() - 1 ? client.Right : x + w, client.Bottom);
    if (i == index) return r;
    x += w;
  }
  return TRect();
}

void TStatusBar::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(color_);
  c->FillRect(ClientRect());
  c->SetFont(*Font());
  HDC dc = c->Handle();
  c->TextExtent("");
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  auto drawText = [&](TRect r, const std::string& text, TAlignment align) {
    static const uint32_t kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    InflateRect(r, -2, -1);
    DrawText(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | kAlign[align]);
  };
  if (simplePanel_ || panels_->Count() == 0) {
    TRect r = Rect(0, 2, ClientWidth(), ClientHeight());
    drawText(r, simplePanel_ ? simpleText_ : Caption(), taLeftJustify);
    return;
  }
  for (int i = 0; i < panels_->Count(); ++i) {
    TStatusPanel* p = panels_->Items(i);
    TRect r = PanelRect(i);
    TRect frame = r;
    if (p->Bevel() != pbNone) DrawEdge(dc, &frame, p->Bevel() == pbLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    if (p->Style() == psOwnerDraw) {
      if (OnDrawPanel) OnDrawPanel(this, p, frame);
    } else {
      drawText(frame, p->Text(), p->Alignment());
    }
  }
}

// -------------------------------------------------------------------------------------------- TUpDown

namespace {

constexpr uintptr_t kRepeatTimer = 1;

std::string WithThousands(int value) {
  std::string digits = std::to_string(std::abs(static_cast<long long>(value)));
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return value < 0 ? "-" + out : out;
}

}  // namespace

TUpDown::TUpDown(TComponent* owner) : TCustomControl(owner) {
  width_ = 17;
  height_ = 25;
  controlStyle_ = csCaptureMouse | csOpaque;
  color_ = clBtnFace;
  parentColor_ = false;
}

TUpDown::~TUpDown() {
  Destroying();
  if (associate_) associate_->RemoveFreeNotification(this);
}

void TUpDown::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == opRemove && component == associate_) associate_ = nullptr;
}

void TUpDown::SetAssociate(TWinControl* value) {
  if (value == associate_) return;
  if (associate_) associate_->RemoveFreeNotification(this);
  associate_ = value;
  if (!value) return;
  value->FreeNotification(this);
  PlaceBesideAssociate();
  UpdateAssociate();
}

void TUpDown::PlaceBesideAssociate() {
  if (!associate_ || associate_->Parent() != parent_) return;
  // The buttons take the side of the associate's bounds, which gives up that room.
  TWinControl* a = associate_;
  int w = width_;
  a->SetWidth(std::max(0, a->Width() - w));
  int x = alignButton_ == udRight ? a->Left() + a->Width() : a->Left();
  if (alignButton_ == udLeft) a->SetLeft(a->Left() + w);
  SetBounds(x, a->Top(), w, a->Height());
}

void TUpDown::SetOrientation(TUDOrientation value) {
  orientation_ = value;
  Invalidate();
}

void TUpDown::SetAlignButton(TUDAlignButton value) { alignButton_ = value; }

void TUpDown::UpdateAssociate() {
  if (associate_) associate_->SetText(thousands_ ? WithThousands(position_) : std::to_string(position_));
}

void TUpDown::SetPosition(int value) {
  value = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
  if (value == position_) return;
  position_ = value;
  UpdateAssociate();
}

void TUpDown::ButtonClick(TUDBtnType button) {
  int step = button == btNext ? increment_ : -increment_;
  if (min_ > max_) step = -step;
  int lo = std::min(min_, max_), hi = std::max(min_, max_);
  int next = position_ + step;
  if (next > hi) next = wrap_ ? lo : hi;
  if (next < lo) next = wrap_ ? hi : lo;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (allow) SetPosition(next);
  // As the platform's up-down tells its owner of each step: the scroll notification with the new
  // position, whose handling clicks.
  const UINT msg = orientation_ == udVertical ? CN_VSCROLL : CN_HSCROLL;
  ++stepping_;
  stepButton_ = button;
  try {
    Perform(msg, MAKEWPARAM(SB_THUMBPOSITION, position_ & 0xFFFF),
            HandleAllocated() ? reinterpret_cast<LPARAM>(Handle()) : 0);
  } catch (...) {
    --stepping_;
    throw;
  }
  --stepping_;
}

void TUpDown::CNScroll(TMessage& m) {
  if (LOWORD(m.WParam) != SB_THUMBPOSITION) return;
  if (stepping_ > 0) {
    if (OnClick) OnClick(this, stepButton_);
    return;
  }
  const int pos = static_cast<int16_t>(HIWORD(m.WParam));
  if (pos == position_) return;
  const TUDBtnType button = pos > position_ ? btNext : btPrev;
  position_ = pos;
  if (OnClick) OnClick(this, button);
}

void TUpDown::Paint() {
  TCanvas* c = Canvas();
  HDC dc = c->Handle();
  TRect client = ClientRect();
  bool vertical = orientation_ == udVertical;
  TRect halves[2] = {client, client};  // next, previous
  if (vertical) {
    halves[0].Bottom = client.Height() / 2;
    halves[1].Top = client.Height() / 2;
  } else {
    halves[1].Right = client.Width() / 2;
    halves[0].Left = client.Width() / 2;
  }
  for (int i = 0; i < 2; ++i) {
    TRect r = halves[i];
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(r);
    DrawEdge(dc, &r, pressed_ == i ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    // A small triangle pointing up (next) or down (previous), left and right when horizontal.
    int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2, s = std::max(1, std::min(r.Width(), r.Height()) / 4);
    TPoint tri[3];
    if (vertical && i == 0) tri[0] = {cx - s, cy + s / 2}, tri[1] = {cx + s, cy + s / 2}, tri[2] = {cx, cy - s / 2};
    else if (vertical) tri[0] = {cx - s, cy - s / 2}, tri[1] = {cx + s, cy - s / 2}, tri[2] = {cx, cy + s / 2};
    else if (i == 0) tri[0] = {cx - s / 2, cy - s}, tri[1] = {cx - s / 2, cy + s}, tri[2] = {cx + s / 2, cy};
    else tri[0] = {cx + s / 2, cy - s}, tri[1] = {cx + s / 2, cy + s}, tri[2] = {cx - s / 2, cy};
    TColor arrow = enabled_ ? clBtnText : clGrayText;
    c->Pen()->SetColor(arrow);
    c->Brush()->SetColor(arrow);
    c->Polygon(tri, 3);
  }
}

void TUpDown::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !enabled_) return;
  bool first = orientation_ == udVertical ? y < height_ / 2 : x >= width_ / 2;
  pressed_ = first ? 0 : 1;
  Invalidate();
  ButtonClick(first ? btNext : btPrev);
  // Held down, the button repeats: first after a pause, then quickly.
  repeatTimer_ = SetTimer(Handle(), kRepeatTimer, 400);
}

void TUpDown::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (repeatTimer_) KillTimer(Handle(), kRepeatTimer);
  repeatTimer_ = 0;
  pressed_ = -1;
  Invalidate();
}

void TUpDown::CMEnabledChanged(TMessage& m) {
  TCustomControl::CMEnabledChanged(m);
  Invalidate();
}

void TUpDown::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_VSCROLL:
    case CN_HSCROLL: CNScroll(m); return;
    case UDM_SETPOS: {
      const int old = position_;
      SetPosition(static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(m.LParam))));
      m.Result = old;
      return;
    }
    case UDM_GETPOS: m.Result = MAKELPARAM(position_, 0); return;
    case UDM_SETRANGE:
      max_ = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(m.LParam)));
      min_ = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(m.LParam)));
      SetPosition(position_);
      return;
    case UDM_GETRANGE: m.Result = MAKELPARAM(max_, min_); return;
    default: break;
  }
  if (m.Msg == WM_TIMER && m.WParam == kRepeatTimer) {
    if (pressed_ < 0) return;
    repeatTimer_ = SetTimer(Handle(), kRepeatTimer, 100);
    ButtonClick(pressed_ == 0 ? btNext : btPrev);
    return;
  }
  TCustomControl::Dispatch(m);
}
