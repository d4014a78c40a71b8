#include "platform/ui/menus.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QAction>
#include <QtGui/QActionGroup>
#include <QtGui/QKeySequence>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

#include <algorithm>

#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/string_list.h"

// ---------------------------------------------------------------------------------------- shortcuts

namespace {

struct KeyName {
  uint16_t key;
  const char* name;
};
const KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"}, {VK_TAB, "Tab"}, {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"}, {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"}, {VK_END, "End"}, {VK_HOME, "Home"}, {VK_LEFT, "Left"},
    {VK_UP, "Up"}, {VK_RIGHT, "Right"}, {VK_DOWN, "Down"}, {VK_INSERT, "Ins"}, {VK_DELETE, "Del"},
};

std::string KeyText(uint16_t key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F12) return "F" + std::to_string(key - VK_F1 + 1);
  for (const KeyName& k : kKeyNames)
    if (k.key == key) return k.name;
  return std::string();
}

// The caption without its accelerator marks ("&&" stays one "&").
std::string PlainCaption(const std::string& caption) {
  std::string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += caption[i];
  }
  return out;
}

}  // namespace

TShortCut ShortCut(uint16_t key, TShiftState shift) {
  if (key & 0xFF00) return 0;
  TShortCut s = key;
  if (shift & ssShift) s |= scShift;
  if (shift & ssCtrl) s |= scCtrl;
  if (shift & ssAlt) s |= scAlt;
  return s;
}

void ShortCutToKey(TShortCut shortCut, uint16_t& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = 0;
  if (shortCut & scShift) shift |= ssShift;
  if (shortCut & scCtrl) shift |= ssCtrl;
  if (shortCut & scAlt) shift |= ssAlt;
}

std::string ShortCutToText(TShortCut shortCut) {
  std::string key = KeyText(shortCut & 0xFF);
  if (key.empty()) return std::string();
  std::string out;
  if (shortCut & scShift) out += "Shift+";
  if (shortCut & scCtrl) out += "Ctrl+";
  if (shortCut & scAlt) out += "Alt+";
  return out + key;
}

TShortCut TextToShortCut(const std::string& text) {
  TShortCut mods = 0;
  std::string rest = text;
  for (bool more = true; more;) {
    more = false;
    for (auto [prefix, bit] : {std::pair<const char*, TShortCut>{"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}}) {
      size_t n = std::strlen(prefix);
      if (rest.size() > n && SameText(rest.substr(0, n), prefix)) {
        mods |= bit;
        rest = rest.substr(n);
        more = true;
      }
    }
  }
  for (uint16_t key = 1; key < 256; ++key)
    if (!KeyText(key).empty() && SameText(KeyText(key), rest)) return mods | key;
  return 0;
}

// ---------------------------------------------------------------------------------------- TMenuItem

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
  Destroying();
  OnClick = nullptr;
  // The items below go with it (each leaves its owner's list as it goes).
  while (!items_.empty()) delete items_.back();
  if (parent_) parent_->Remove(this);
}

void TMenuItem::Changed() {
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged();
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

void TMenuItem::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  Changed();
}

void TMenuItem::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  if (value && radioItem_ && parent_) {
    for (TMenuItem* sibling : parent_->items_)
      if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_) sibling->checked_ = false;
  }
  Changed();
}

void TMenuItem::SetRadioItem(bool value) {
  if (value == radioItem_) return;
  radioItem_ = value;
  Changed();
}

void TMenuItem::SetGroupIndex(uint8_t value) {
  if (value == groupIndex_) return;
  groupIndex_ = value;
  Changed();
}

void TMenuItem::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Changed();
}

void TMenuItem::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  Changed();
}

void TMenuItem::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  Changed();
}

void TMenuItem::SetShortCut(TShortCut value) {
  if (value == shortCut_) return;
  shortCut_ = value;
  Changed();
}

void TMenuItem::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  Changed();
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item || item == this) return;
  if (item->parent_) throw EInvalidOperation("Menu inserted twice");
  if (index < 0 || index > Count()) throw EInvalidOperation("Menu index out of range");
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  Changed();
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
  if (!(ComponentState() & csDestroying)) Changed();
}

void TMenuItem::Delete(int index) {
  if (index < 0 || index >= Count()) throw EInvalidOperation("Menu index out of range");
  delete items_[static_cast<size_t>(index)];
}

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();
}

int TMenuItem::IndexOf(TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::SetMenuIndex(int value) {
  if (!parent_) return;
  TMenuItem* p = parent_;
  int count = p->Count();
  value = std::clamp(value, 0, count - 1);
  auto& list = p->items_;
  list.erase(std::find(list.begin(), list.end(), this));
  list.insert(list.begin() + value, this);
  Changed();
}

TMenuItem* TMenuItem::Find(const std::string& caption) {
  std::string want = PlainCaption(caption);
  for (TMenuItem* item : items_)
    if (SameText(PlainCaption(item->caption_), want)) return item;
  return nullptr;
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (autoCheck_) SetChecked(!checked_);
  if (OnClick) OnClick(this);
}

// -------------------------------------------------------------------------------------------- TMenu

struct TMenu::Impl {
  std::unique_ptr<QWidget> ownWidget;  // the QMenu of a pop-up menu, or a menu bar not on a form
  QPointer<QWidget> widget;            // the menu or menu bar shown (a bar goes with its form)
  bool dirty = true;
  bool rebuildQueued = false;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

namespace {

// Clicks an item after the toolkit's menu has closed, as the platform's menu command arrives.
void QueueClick(TMenuItem* item, const std::shared_ptr<bool>& alive) {
  std::weak_ptr<bool> weak = alive;
  QueueOnMainThread([item, weak] {
    auto a = weak.lock();
    if (a && *a) item->Click();
  });
}

// Fills a toolkit menu (or menu bar) with the items under parent.
template <class Target>
void Fill(Target* target, TMenuItem* parent, const std::shared_ptr<bool>& alive) {
  target->clear();
  QActionGroup* group = nullptr;
  int groupIndex = -1;
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (!item->Visible()) continue;
    if (item->IsLine()) {
      target->addSeparator();
      continue;
    }
    QString caption = QString::fromStdString(item->Caption());
    if (item->Count() > 0) {
      QMenu* sub = target->addMenu(caption);
      sub->menuAction()->setEnabled(item->Enabled());
      Fill(sub, item, alive);
      continue;
    }
    QAction* a = target->addAction(caption);
    a->setEnabled(item->Enabled());
    a->setCheckable(item->Checked() || item->AutoCheck() || item->RadioItem());
    a->setChecked(item->Checked());
    if (item->RadioItem()) {
      if (!group || groupIndex != item->GroupIndex()) {
        group = new QActionGroup(target);
        groupIndex = item->GroupIndex();
      }
      a->setActionGroup(group);
    }
    if (item->ShortCut()) {
      // Shown beside the item; the key itself reaches the menu through the form.
      a->setShortcut(QKeySequence(QString::fromStdString(ShortCutToText(item->ShortCut()))));
      a->setShortcutContext(Qt::WidgetShortcut);
    }
    if (!item->Hint().empty()) a->setStatusTip(QString::fromStdString(item->Hint()));
    QFont f = a->font();
    f.setBold(item->Default());
    a->setFont(f);
    QObject::connect(a, &QAction::triggered, [item, alive] { QueueClick(item, alive); });
  }
}

TMenuItem* FindByShortCut(TMenuItem* parent, TShortCut s) {
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (!item->Visible() || !item->Enabled()) continue;
    if (item->Count() > 0) {
      if (TMenuItem* found = FindByShortCut(item, s)) return found;
    } else if (item->ShortCut() == s) {
      return item;
    }
  }
  return nullptr;
}

// The enabled items one can choose, by their caption paths.
void ListChoices(TMenuItem* parent, const std::string& prefix, std::vector<std::pair<std::string, TMenuItem*>>& out) {
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (!item->Visible() || !item->Enabled() || item->IsLine()) continue;
    std::string path = prefix + PlainCaption(item->Caption());
    if (item->Count() > 0) ListChoices(item, path + "/", out);
    else out.emplace_back(path, item);
  }
}

}  // namespace

TMenu::TMenu(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()), items_(std::make_unique<TMenuItem>(nullptr)) {
  items_->menu_ = this;
}

TMenu::~TMenu() {
  Destroying();
  *impl_->alive = false;
  items_.reset();
}

void TMenu::MenuChanged() {
  impl_->dirty = true;
  if (impl_->rebuildQueued || !impl_->widget) return;
  // Rebuilt from the event loop: a click handler may change the menu that is running it.
  impl_->rebuildQueued = true;
  std::weak_ptr<bool> weak = impl_->alive;
  QTimer::singleShot(0, [this, weak] {
    auto a = weak.lock();
    if (!a || !*a) return;
    impl_->rebuildQueued = false;
    NativeMenu();
  });
}

void* TMenu::NativeMenu() {
  if (!impl_->widget) {
    auto* menu = new QMenu;
    impl_->ownWidget.reset(menu);
    impl_->widget = menu;
    impl_->dirty = true;
  }
  if (impl_->dirty && !(ComponentState() & csDestroying)) {
    impl_->dirty = false;
    if (auto* bar = qobject_cast<QMenuBar*>(impl_->widget.data())) Fill(bar, items_.get(), impl_->alive);
    else Fill(static_cast<QMenu*>(impl_->widget.data()), items_.get(), impl_->alive);
  }
  return impl_->widget.data();
}

TMenuItem* TMenu::FindItemByShortCut(TShortCut shortCut) {
  return shortCut ? FindByShortCut(items_.get(), shortCut) : nullptr;
}

bool TMenu::IsShortCut(uint16_t key, TShiftState shift) {
  TMenuItem* item = FindItemByShortCut(ShortCut(key, shift & (ssShift | ssCtrl | ssAlt)));
  if (!item) return false;
  item->Click();
  return true;
}

// ------------------------------------------------------------------------------------------ TMainMenu

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) {}

TMainMenu::~TMainMenu() {
  Destroying();
  if (form_) form_->SetMenu(nullptr);
}

void* TMainMenu::MakeBar(void* formWidget) {
  DropBar();
  impl_->ownWidget.reset();
  auto* bar = new QMenuBar(static_cast<QWidget*>(formWidget));
  bar->setNativeMenuBar(false);
  impl_->widget = bar;
  impl_->dirty = true;
  NativeMenu();
  bar->show();
  return bar;
}

void TMainMenu::DropBar() {
  if (!impl_->widget || impl_->widget == impl_->ownWidget.get()) return;
  // The bar belongs to the form's window; it goes with it, or now.
  QWidget* bar = impl_->widget.data();
  impl_->widget = nullptr;
  if (bar->parentWidget()) bar->deleteLater();
  else delete bar;
}

bool TMainMenu::OpenByAccelerator(uint16_t key) {
  auto* bar = qobject_cast<QMenuBar*>(static_cast<QWidget*>(NativeMenu()));
  if (!bar) return false;
  for (QAction* a : bar->actions())
    if (a->isEnabled() && a->menu() && IsAccel(key, a->text().toStdString())) {
      bar->setActiveAction(a);
      return true;
    }
  return false;
}

void TMainMenu::MenuChanged() {
  TMenu::MenuChanged();
  if (form_) form_->MenuChanged();
}

// ----------------------------------------------------------------------------------------- TPopupMenu

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

void TPopupMenu::DoPopup(TObject* sender) {
  if (OnPopup) OnPopup(sender);
}

namespace {

// Watches the presses that reach an open pop-up menu. One outside every open menu closes the menus:
// it is kept from being replayed by the toolkit (the menus' WA_NoMouseReplay) and remembered, to be
// posted to the window under it as its button-down message once the menu has closed. So a control
// there can look at it and drop it, and a press elsewhere still arrives.
class ClosingPressWatch : public QObject {
 public:
  bool pressed = false;
  QPoint global;
  Qt::MouseButton button = Qt::NoButton;
  Qt::MouseButtons buttons;
  Qt::KeyboardModifiers modifiers;
  bool doubleClick = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick) return false;
    auto* menu = qobject_cast<QMenu*>(watched);
    if (!menu || !menu->isWindow()) return false;
    auto* e = static_cast<QMouseEvent*>(event);
    const QPoint g = e->globalPosition().toPoint();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<QMenu*>(w) && w->isVisible() && w->geometry().contains(g)) return false;
    menu->setAttribute(Qt::WA_NoMouseReplay, true);
    if (!pressed) {
      pressed = true;
      global = g;
      button = e->button();
      buttons = e->buttons();
      modifiers = e->modifiers();
      doubleClick = event->type() == QEvent::MouseButtonDblClick;
    }
    return false;
  }
};

void PostClosingPress(const ClosingPressWatch& press) {
  TWinControl* c = ControlOfWidget(QApplication::widgetAt(press.global));
  if (!c || !c->HandleAllocated()) return;
  UINT msg = press.button == Qt::RightButton    ? (press.doubleClick ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN)
             : press.button == Qt::MiddleButton ? (press.doubleClick ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN)
                                                : (press.doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN);
  WPARAM keys = 0;
  if (press.buttons & Qt::LeftButton) keys |= MK_LBUTTON;
  if (press.buttons & Qt::RightButton) keys |= MK_RBUTTON;
  if (press.buttons & Qt::MiddleButton) keys |= MK_MBUTTON;
  if (press.modifiers & Qt::ShiftModifier) keys |= MK_SHIFT;
  if (press.modifiers & Qt::ControlModifier) keys |= MK_CONTROL;
  TPoint p = c->ScreenToClient(Point(press.global.x(), press.global.y()));
  PostMessage(c->Handle(), msg, keys, MAKELPARAM(p.X, p.Y));
}

}  // namespace

void TPopupMenu::Popup(int x, int y) {
  popupPoint_ = Point(x, y);
  DoPopup(this);
  std::vector<std::pair<std::string, TMenuItem*>> choices;
  ListChoices(Items(), "", choices);
  TDialogRequest req;
  req.Kind = "PopupMenu";
  req.Title = Name();
  for (auto& [path, item] : choices) req.Items.push_back(path);
  TDialogAnswer answer;
  if (AskDialogResponder(req, answer)) {
    for (auto& [path, item] : choices)
      if (!answer.Text.empty() && SameText(path, answer.Text)) QueueClick(item, impl_->alive);
    return;
  }
  auto* menu = static_cast<QMenu*>(NativeMenu());
  // The click arrives after the menu closed, through the queue (as the platform's command does).
  ClosingPressWatch watch;
  QCoreApplication::instance()->installEventFilter(&watch);
  menu->exec(QPoint(x, y));
  QCoreApplication::instance()->removeEventFilter(&watch);
  if (watch.pressed) PostClosingPress(watch);
}
