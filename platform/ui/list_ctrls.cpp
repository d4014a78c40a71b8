#include "platform/ui/list_ctrls.h"

#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QScrollBar>

#include <algorithm>
#include <cstring>

#include "platform/ui/qt_window_p.h"

namespace {

const TListControlStrings::Messages kListBoxMessages = {
    LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_GETCOUNT,
    LB_GETTEXT, LB_GETTEXTLEN, LB_GETITEMDATA, LB_SETITEMDATA, LB_FINDSTRINGEXACT, LB_FINDSTRING};
const TListControlStrings::Messages kComboBoxMessages = {
    CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT, CB_GETCOUNT,
    CB_GETLBTEXT, CB_GETLBTEXTLEN, CB_GETITEMDATA, CB_SETITEMDATA, CB_FINDSTRINGEXACT, CB_FINDSTRING};

const char* StringParam(LPARAM l) { return l ? reinterpret_cast<const char*>(l) : ""; }

// Copies an item's text into a caller's buffer (sized by the text-length message); answers its length.
LRESULT CopyText(const std::string& text, LPARAM buffer) {
  if (buffer) std::memcpy(reinterpret_cast<char*>(buffer), text.c_str(), text.size() + 1);
  return static_cast<LRESULT>(text.size());
}

// Where a new item goes in a sorted list: after the items that sort before it or equal it.
template <class Store>
int SortedPlace(const Store& store, const std::string& s) {
  int i = 0;
  while (i < static_cast<int>(store.size()) && CompareText(store[static_cast<size_t>(i)].text, s) <= 0) ++i;
  return i;
}

// Searches from after start, wrapping around: exact (case-insensitive) or by prefix.
template <class Store>
LRESULT FindItem(const Store& store, WPARAM start, LPARAM text, bool exact) {
  int n = static_cast<int>(store.size());
  if (n == 0) return LB_ERR;
  std::string s = StringParam(text);
  int first = static_cast<int>(static_cast<intptr_t>(start));
  if (first < -1 || first >= n) first = -1;
  for (int k = 1; k <= n; ++k) {
    int i = (first + k) % n;
    const std::string& t = store[static_cast<size_t>(i)].text;
    bool match = exact ? SameText(t, s) : (t.size() >= s.size() && SameText(t.substr(0, s.size()), s));
    if (match) return i;
  }
  return LB_ERR;
}

// Where an added (or inserted) item goes.
template <class Store>
int InsertPlace(const Store& store, bool add, bool sorted, int index, const std::string& s) {
  int n = static_cast<int>(store.size());
  if (add) return sorted ? SortedPlace(store, s) : n;
  return index < 0 || index > n ? n : index;
}

// Adds an item to the store at a place, keeping the current item on the same entry.
template <class Store>
void StoreInsert(Store& store, int& current, int at, const std::string& text) {
  store.insert(store.begin() + at, typename Store::value_type{text});
  if (current >= at) ++current;
}

// Removes an item; false when there is no such item. The current item stays on its entry (or none).
template <class Store>
bool StoreErase(Store& store, int& current, int index) {
  if (index < 0 || index >= static_cast<int>(store.size())) return false;
  store.erase(store.begin() + index);
  if (current == index) current = -1;
  else if (current > index) --current;
  return true;
}

// The item queries list boxes and combo boxes answer alike (LB_ERR and CB_ERR are both -1); false for
// any other message.
template <class Store>
bool AnswerItemQuery(Store& store, const TListControlStrings::Messages& k, TMessage& m) {
  int n = static_cast<int>(store.size());
  int index = static_cast<int>(static_cast<intptr_t>(m.WParam));
  bool valid = index >= 0 && index < n;
  auto item = [&]() -> auto& { return store[static_cast<size_t>(index)]; };
  if (m.Msg == k.count) m.Result = n;
  else if (m.Msg == k.text) m.Result = valid ? CopyText(item().text, m.LParam) : LB_ERR;
  else if (m.Msg == k.textLen) m.Result = valid ? static_cast<LRESULT>(item().text.size()) : LB_ERR;
  else if (m.Msg == k.getData) m.Result = valid ? item().data : LB_ERR;
  else if (m.Msg == k.setData) {
    if (valid) item().data = static_cast<intptr_t>(m.LParam);
    else m.Result = LB_ERR;
  } else if (m.Msg == k.findExact) m.Result = FindItem(store, m.WParam, m.LParam, true);
  else if (m.Msg == k.findPrefix) m.Result = FindItem(store, m.WParam, m.LParam, false);
  else return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------- TListControlStrings

int TListControlStrings::Count() const { return static_cast<int>(control_->Perform(msg_.count, 0, 0)); }

std::string TListControlStrings::Get(int index) const {
  LRESULT len = control_->Perform(msg_.textLen, static_cast<WPARAM>(index), 0);
  if (len < 0) Error(index);
  std::string buffer(static_cast<size_t>(len) + 1, '\0');
  control_->Perform(msg_.text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<size_t>(len));
  return buffer;
}

TObject* TListControlStrings::GetObject(int index) const {
  if (index < 0 || index >= Count()) Error(index);
  if (auto* list = dynamic_cast<TCustomListBox*>(control_)) return reinterpret_cast<TObject*>(list->GetItemData(index));
  return reinterpret_cast<TObject*>(control_->Perform(msg_.getData, static_cast<WPARAM>(index), 0));
}

void TListControlStrings::PutObject(int index, TObject* object) {
  if (index < 0 || index >= Count()) Error(index);
  if (auto* list = dynamic_cast<TCustomListBox*>(control_)) {
    list->SetItemData(index, reinterpret_cast<intptr_t>(object));
    return;
  }
  control_->Perform(msg_.setData, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(object));
}

int TListControlStrings::Add(const std::string& s) {
  LRESULT r = control_->Perform(msg_.add, 0, reinterpret_cast<LPARAM>(s.c_str()));
  if (r < 0) throw EOutOfMemory("Not enough storage is available to complete this operation");
  return static_cast<int>(r);
}

void TListControlStrings::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count()) Error(index);
  control_->Perform(msg_.insert, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str()));
}

void TListControlStrings::Delete(int index) {
  if (index < 0 || index >= Count()) Error(index);
  if (auto* list = dynamic_cast<TCustomListBox*>(control_)) list->DeleteString(index);
  else if (auto* combo = dynamic_cast<TCustomComboBox*>(control_)) combo->DeleteString(index);
  else control_->Perform(msg_.remove, static_cast<WPARAM>(index), 0);
}

void TListControlStrings::Clear() {
  if (auto* list = dynamic_cast<TCustomListBox*>(control_)) list->ResetContent();
  else if (auto* combo = dynamic_cast<TCustomComboBox*>(control_)) combo->ResetContent();
  else control_->Perform(msg_.reset, 0, 0);
}

int TListControlStrings::IndexOf(const std::string& s) const {
  LRESULT r = control_->Perform(msg_.findExact, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s.c_str()));
  return r < 0 ? -1 : static_cast<int>(r);
}

void TListControlStrings::SetUpdateState(bool updating) {
  control_->Perform(WM_SETREDRAW, updating ? 0 : 1, 0);
  if (!updating) control_->Refresh();
}

// -------------------------------------------------------------------------------------- TCustomListBox

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TListControlStrings>(this, kListBoxMessages)) {
  controlStyle_ = csSetCaption | csDoubleClicks;
  width_ = 121;
  height_ = 97;
  color_ = clWindow;
  parentColor_ = false;
  SetTabStop(true);
}

TCustomListBox::~TCustomListBox() {
  if (canvas_) canvas_->SetControl(nullptr);
}

TCanvas* TCustomListBox::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TControlCanvas>();
    canvas_->SetControl(this);
  }
  return canvas_.get();
}

void TCustomListBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_USETABSTOPS;
  if (sorted_) params.Style |= LBS_SORT;
  if (multiSelect_) params.Style |= extendedSelect_ ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  if (borderStyle_ == bsSingle) {
    if (Ctl3D()) params.ExStyle |= WS_EX_CLIENTEDGE;
    else params.Style |= WS_BORDER;
  }
}

void* TCustomListBox::CreateWidget() {
  auto* w = new TBridgeScrollArea<QListWidget>(Record());
  QObject::connect(w, &QListWidget::itemSelectionChanged, [this, w] {
    if (syncing_) return;
    // The user changed the selection: the window's items take it, then the control hears of it.
    for (int i = 0; i < w->count() && i < static_cast<int>(store_.size()); ++i)
      store_[static_cast<size_t>(i)].selected = w->item(i)->isSelected();
    current_ = w->currentRow();
    SendCommand(this, LBN_SELCHANGE);
  });
  QObject::connect(w, &QListWidget::itemDoubleClicked, [this] { SendCommand(this, LBN_DBLCLK); });
  return w;
}

void TCustomListBox::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  auto* w = static_cast<QListWidget*>(Record()->widget);
  w->setSelectionMode(!multiSelect_ ? QAbstractItemView::SingleSelection
                      : extendedSelect_ ? QAbstractItemView::ExtendedSelection
                                        : QAbstractItemView::MultiSelection);
  w->setFrameShape(borderStyle_ == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
  w->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  if (w->count() != static_cast<int>(store_.size())) Refill();
  SyncSelection();
  // The horizontal bar shows only while the extent is wider than the items' room.
  bool wide = horizontalExtent_ > w->viewport()->width();
  w->setHorizontalScrollBarPolicy(wide ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void TCustomListBox::Refill() {
  auto* w = static_cast<QListWidget*>(Record()->widget);
  ++syncing_;
  w->clear();
  for (const Item& item : store_) w->addItem(QString::fromStdString(item.text));
  --syncing_;
}

void TCustomListBox::SyncSelection() {
  if (!HandleAllocated()) return;
  auto* w = static_cast<QListWidget*>(Record()->widget);
  ++syncing_;
  for (int i = 0; i < w->count() && i < static_cast<int>(store_.size()); ++i)
    w->item(i)->setSelected(store_[static_cast<size_t>(i)].selected);
  if (current_ >= 0 && current_ < w->count()) w->setCurrentRow(current_, QItemSelectionModel::NoUpdate);
  --syncing_;
}

void TCustomListBox::SetMultiSelect(bool value) {
  if (value == multiSelect_) return;
  multiSelect_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TCustomListBox::SetExtendedSelect(bool value) {
  if (value == extendedSelect_) return;
  extendedSelect_ = value;
  if (HandleAllocated()) ApplyWidgetState();
}

void TCustomListBox::SetSorted(bool value) {
  if (value == sorted_) return;
  sorted_ = value;
  if (!value) return;
  std::stable_sort(store_.begin(), store_.end(), [](const Item& a, const Item& b) { return CompareText(a.text, b.text) < 0; });
  current_ = -1;
  if (HandleAllocated()) Refill(), SyncSelection();
}

void TCustomListBox::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

int TCustomListBox::ItemIndex() {
  if (multiSelect_) return static_cast<int>(Perform(LB_GETCARETINDEX, 0, 0));
  return static_cast<int>(Perform(LB_GETCURSEL, 0, 0));
}

void TCustomListBox::SetItemIndex(int value) {
  if (multiSelect_) Perform(LB_SETCARETINDEX, static_cast<WPARAM>(value), 0);
  else Perform(LB_SETCURSEL, static_cast<WPARAM>(value), 0);
}

bool TCustomListBox::Selected(int index) {
  LRESULT r = Perform(LB_GETSEL, static_cast<WPARAM>(index), 0);
  if (r < 0) throw EStringListError(Format("List index out of bounds (%d)", index));
  return r != 0;
}

void TCustomListBox::SetSelected(int index, bool value) {
  if (multiSelect_) {
    if (Perform(LB_SETSEL, value ? 1 : 0, index) < 0) throw EStringListError(Format("List index out of bounds (%d)", index));
  } else if (value) {
    if (Perform(LB_SETCURSEL, static_cast<WPARAM>(index), 0) < 0)
      throw EStringListError(Format("List index out of bounds (%d)", index));
  } else if (ItemIndex() == index) {
    Perform(LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  }
}

int TCustomListBox::SelCount() {
  if (!multiSelect_) return ItemIndex() >= 0 ? 1 : 0;
  return static_cast<int>(Perform(LB_GETSELCOUNT, 0, 0));
}

int TCustomListBox::TopIndex() { return static_cast<int>(Perform(LB_GETTOPINDEX, 0, 0)); }

void TCustomListBox::SetTopIndex(int value) { Perform(LB_SETTOPINDEX, static_cast<WPARAM>(value), 0); }

int TCustomListBox::ItemHeight() { return static_cast<int>(Perform(LB_GETITEMHEIGHT, 0, 0)); }

void TCustomListBox::SetItemHeight(int value) {
  if (value > 0) Perform(LB_SETITEMHEIGHT, 0, value);
}

void TCustomListBox::SetTabWidth(int value) {
  tabWidth_ = std::max(value, 0);
  Perform(LB_SETTABSTOPS, tabWidth_ > 0 ? 1 : 0, reinterpret_cast<LPARAM>(&tabWidth_));
}

int TCustomListBox::ScrollWidth() { return static_cast<int>(Perform(LB_GETHORIZONTALEXTENT, 0, 0)); }

void TCustomListBox::SetScrollWidth(int value) { Perform(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(value), 0); }

void TCustomListBox::ClearSelection() {
  if (multiSelect_) Perform(LB_SETSEL, 0, -1);
  else Perform(LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void TCustomListBox::SelectAll() {
  if (multiSelect_) Perform(LB_SETSEL, 1, -1);
}

void TCustomListBox::DeleteSelected() {
  items_->BeginUpdate();
  try {
    for (int i = Count() - 1; i >= 0; --i)
      if (Selected(i)) items_->Delete(i);
  } catch (...) {
    items_->EndUpdate();
    throw;
  }
  items_->EndUpdate();
}

int TCustomListBox::ItemAtPos(TPoint pos, bool existing) {
  if (PtInRect(ClientRect(), pos)) {
    int count = Count();
    for (int i = TopIndex(); i < count; ++i) {
      TRect r;
      Perform(LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
      if (PtInRect(r, pos)) return i;
    }
    if (!existing) return count;
  }
  return -1;
}

TRect TCustomListBox::ItemRect(int index) {
  TRect r;
  if (index >= 0 && index < Count()) Perform(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  else if (index == Count() && index > 0) {
    // Where an item after the last would go.
    Perform(LB_GETITEMRECT, static_cast<WPARAM>(index - 1), reinterpret_cast<LPARAM>(&r));
    OffsetRect(r, 0, r.Height());
  }
  return r;
}

void TCustomListBox::DeleteString(int index) { Perform(LB_DELETESTRING, static_cast<WPARAM>(index), 0); }

void TCustomListBox::ResetContent() { Perform(LB_RESETCONTENT, 0, 0); }

intptr_t TCustomListBox::GetItemData(int index) {
  return static_cast<intptr_t>(Perform(LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void TCustomListBox::SetItemData(int index, intptr_t data) {
  Perform(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
}

void TCustomListBox::Dispatch(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    switch (HIWORD(m.WParam)) {
      case LBN_SELCHANGE: Click(); break;
      case LBN_DBLCLK: DblClick(); break;
      default: break;
    }
    return;
  }
  TWinControl::Dispatch(m);
}

void TCustomListBox::WMGetDlgCode(TMessage& m) { m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TCustomListBox::DefaultHandler(TMessage& m) {
  auto* w = HandleAllocated() ? static_cast<QListWidget*>(Record()->widget) : nullptr;
  int n = static_cast<int>(store_.size());
  int index = static_cast<int>(static_cast<intptr_t>(m.WParam));
  auto valid = [&](int i) { return i >= 0 && i < n; };
  if (AnswerItemQuery(store_, kListBoxMessages, m)) return;
  switch (m.Msg) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      int at = InsertPlace(store_, m.Msg == LB_ADDSTRING, sorted_, index, StringParam(m.LParam));
      StoreInsert(store_, current_, at, StringParam(m.LParam));
      if (w) {
        ++syncing_;
        w->insertItem(at, QString::fromUtf8(StringParam(m.LParam)));
        --syncing_;
      }
      m.Result = at;
      return;
    }
    case LB_DELETESTRING:
      if (!StoreErase(store_, current_, index)) {
        m.Result = LB_ERR;
        return;
      }
      if (w) {
        ++syncing_;
        delete w->takeItem(index);
        --syncing_;
        SyncSelection();
      }
      m.Result = static_cast<LRESULT>(store_.size());
      return;
    case LB_RESETCONTENT:
      store_.clear();
      current_ = -1;
      topIndex_ = 0;
      if (w) {
        ++syncing_;
        w->clear();
        --syncing_;
      }
      return;
    case LB_SELECTSTRING: {
      LRESULT found = FindItem(store_, m.WParam, m.LParam, false);
      if (found >= 0) Perform(LB_SETCURSEL, static_cast<WPARAM>(found), 0);
      m.Result = found;
      return;
    }
    case LB_SETCURSEL:
      if (multiSelect_) {
        m.Result = LB_ERR;
        return;
      }
      for (Item& item : store_) item.selected = false;
      current_ = valid(index) ? index : -1;
      if (current_ >= 0) store_[static_cast<size_t>(current_)].selected = true;
      SyncSelection();
      if (w && current_ >= 0) w->scrollToItem(w->item(current_));
      m.Result = valid(index) ? index : LB_ERR;
      return;
    case LB_GETCURSEL:
      if (multiSelect_) m.Result = current_;
      else m.Result = current_ >= 0 && store_[static_cast<size_t>(current_)].selected ? current_ : LB_ERR;
      return;
    case LB_SETSEL: {
      // lParam is the item, -1 for all; wParam selects or deselects.
      int item = static_cast<int>(m.LParam);
      if (!multiSelect_ || (item != -1 && !valid(item))) {
        m.Result = LB_ERR;
        return;
      }
      for (int i = 0; i < n; ++i)
        if (item == -1 || i == item) store_[static_cast<size_t>(i)].selected = m.WParam != 0;
      if (item >= 0) current_ = item;
      SyncSelection();
      return;
    }
    case LB_GETSEL: m.Result = valid(index) ? (store_[static_cast<size_t>(index)].selected ? 1 : 0) : LB_ERR; return;
    case LB_GETSELCOUNT:
      m.Result = multiSelect_ ? std::count_if(store_.begin(), store_.end(), [](const Item& i) { return i.selected; })
                              : LB_ERR;
      return;
    case LB_GETSELITEMS: {
      auto* out = reinterpret_cast<int*>(m.LParam);
      int room = index, k = 0;
      for (int i = 0; i < n && k < room; ++i)
        if (store_[static_cast<size_t>(i)].selected) out[k++] = i;
      m.Result = multiSelect_ ? k : LB_ERR;
      return;
    }
    case LB_SETCARETINDEX:
      if (!valid(index)) {
        m.Result = LB_ERR;
        return;
      }
      current_ = index;
      SyncSelection();
      return;
    case LB_GETCARETINDEX: m.Result = current_ >= 0 ? current_ : (n > 0 ? 0 : LB_ERR); return;
    case LB_GETTOPINDEX:
      if (w && n > 0) {
        QListWidgetItem* top = w->itemAt(2, 2);
        topIndex_ = top ? w->row(top) : 0;
      }
      m.Result = topIndex_;
      return;
    case LB_SETTOPINDEX:
      if (!valid(index) && !(index == 0 && n == 0)) {
        m.Result = LB_ERR;
        return;
      }
      topIndex_ = index;
      if (w && n > 0) w->scrollToItem(w->item(index), QAbstractItemView::PositionAtTop);
      return;
    case LB_GETITEMHEIGHT:
      m.Result = itemHeight_ > 0 ? itemHeight_ : (w ? w->fontMetrics().height() : 13);
      return;
    case LB_SETITEMHEIGHT:
      itemHeight_ = static_cast<int>(LOWORD(m.LParam));
      if (w) {
        ++syncing_;
        for (int i = 0; i < w->count(); ++i) w->item(i)->setSizeHint(QSize(-1, itemHeight_));
        --syncing_;
      }
      return;
    case LB_GETITEMRECT: {
      if (!valid(index) || !m.LParam) {
        m.Result = LB_ERR;
        return;
      }
      auto* r = reinterpret_cast<TRect*>(m.LParam);
      if (w) {
        QRect q = w->visualItemRect(w->item(index));
        QPoint o = w->viewport()->mapTo(w, q.topLeft()) - QPoint(Record()->insetLeft, Record()->insetTop);
        *r = Bounds(o.x(), o.y(), ClientWidth(), q.height());
      } else {
        int h = static_cast<int>(Perform(LB_GETITEMHEIGHT, 0, 0));
        *r = Bounds(0, (index - topIndex_) * h, ClientWidth(), h);
      }
      return;
    }
    case LB_ITEMFROMPOINT: {
      TPoint p = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      int found = ItemAtPos(p, false);
      bool outside = found < 0 || found >= n;
      m.Result = MAKELPARAM(outside ? std::max(n - 1, 0) : found, outside ? 1 : 0);
      return;
    }
    case LB_SETTABSTOPS: m.Result = 1; return;
    case LB_SETHORIZONTALEXTENT:
      horizontalExtent_ = static_cast<int>(m.WParam);
      if (w) {
        bool wide = horizontalExtent_ > w->viewport()->width();
        w->setHorizontalScrollBarPolicy(wide ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      }
      return;
    case LB_GETHORIZONTALEXTENT: m.Result = horizontalExtent_; return;
    case WM_HSCROLL:
      if (w && (LOWORD(m.WParam) == SB_LEFT || LOWORD(m.WParam) == SB_RIGHT)) {
        QScrollBar* bar = w->horizontalScrollBar();
        bar->setValue(LOWORD(m.WParam) == SB_LEFT ? bar->minimum() : bar->maximum());
      }
      return;
    case WM_SETREDRAW:
      if (w) w->setUpdatesEnabled(m.WParam != 0);
      return;
    default: TWinControl::DefaultHandler(m); return;
  }
}

// ------------------------------------------------------------------------------------- TCustomComboBox

namespace {

// The toolkit's combo box, reporting its drop-down and close-up as the platform's notifications.
class TComboWidget : public TBridgeWidget<QComboBox> {
 public:
  using TBridgeWidget<QComboBox>::TBridgeWidget;
  void showPopup() override {
    if (WindowRecord* r = Record()) SendCommand(r->control, CBN_DROPDOWN);
    QComboBox::showPopup();
  }
  void hidePopup() override {
    QComboBox::hidePopup();
    if (WindowRecord* r = Record()) SendCommand(r->control, CBN_CLOSEUP);
  }
};

}  // namespace

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TListControlStrings>(this, kComboBoxMessages)) {
  controlStyle_ = csCaptureMouse | csSetCaption | csDoubleClicks | csFixedHeight;
  width_ = 145;
  height_ = 21;
  color_ = clWindow;
  parentColor_ = false;
  SetTabStop(true);
}

TCustomComboBox::~TCustomComboBox() = default;

void TCustomComboBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= WS_VSCROLL;
}

void* TCustomComboBox::CreateWidget() {
  auto* w = new TComboWidget(Record());
  QObject::connect(w, qOverload<int>(&QComboBox::activated), [this](int row) {
    if (syncing_) return;
    current_ = row;
    SendCommand(this, CBN_SELCHANGE);
  });
  return w;
}

void TCustomComboBox::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  auto* w = static_cast<QComboBox*>(Record()->widget);
  ++syncing_;
  bool editable = style_ == csDropDown || style_ == csSimple;
  if (w->isEditable() != editable) {
    w->setEditable(editable);
    if (editable) {
      w->setInsertPolicy(QComboBox::NoInsert);
      w->setCompleter(nullptr);
      QObject::connect(w->lineEdit(), &QLineEdit::textEdited, [this] { SendCommand(this, CBN_EDITCHANGE); });
    }
  }
  if (w->count() != static_cast<int>(store_.size())) Refill();
  w->setMaxVisibleItems(std::max(dropDownCount_, 1));
  if (w->lineEdit()) w->lineEdit()->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
  w->setCurrentIndex(current_);
  if (editable && w->lineEdit()->text() != QString::fromStdString(text_)) w->setEditText(QString::fromStdString(text_));
  --syncing_;
}

void TCustomComboBox::Refill() {
  auto* w = static_cast<QComboBox*>(Record()->widget);
  ++syncing_;
  QString edit = w->isEditable() ? w->currentText() : QString();
  w->clear();
  for (const Item& item : store_) w->addItem(QString::fromStdString(item.text));
  w->setCurrentIndex(current_);
  if (w->isEditable()) w->setEditText(edit);
  --syncing_;
}

void TCustomComboBox::SaveWindowState() {
  auto* w = static_cast<QComboBox*>(Record()->widget);
  text_ = w->currentText().toStdString();
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
  if (value == style_) return;
  style_ = value;
  RecreateWnd();
}

void TCustomComboBox::SetDropDownCount(int value) {
  dropDownCount_ = value;
  if (HandleAllocated()) static_cast<QComboBox*>(Record()->widget)->setMaxVisibleItems(std::max(value, 1));
}

void TCustomComboBox::SetSorted(bool value) {
  if (value == sorted_) return;
  sorted_ = value;
  if (!value) return;
  std::stable_sort(store_.begin(), store_.end(), [](const Item& a, const Item& b) { return CompareText(a.text, b.text) < 0; });
  current_ = -1;
  if (HandleAllocated()) Refill();
}

void TCustomComboBox::SetMaxLength(int value) {
  maxLength_ = std::max(value, 0);
  Perform(CB_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

int TCustomComboBox::ItemIndex() { return static_cast<int>(Perform(CB_GETCURSEL, 0, 0)); }

void TCustomComboBox::SetItemIndex(int value) {
  if (ItemIndex() != value) Perform(CB_SETCURSEL, static_cast<WPARAM>(value), 0);
}

bool TCustomComboBox::DroppedDown() { return Perform(CB_GETDROPPEDSTATE, 0, 0) != 0; }

void TCustomComboBox::SetDroppedDown(bool value) { Perform(CB_SHOWDROPDOWN, value ? 1 : 0, 0); }

void TCustomComboBox::Clear() {
  SetText(std::string());
  items_->Clear();
}

void TCustomComboBox::SelectAll() { Perform(CB_SETEDITSEL, 0, MAKELPARAM(0, -1)); }

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
  if (OnSelect) OnSelect(this);
  else Change();
}

void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::DeleteString(int index) { Perform(CB_DELETESTRING, static_cast<WPARAM>(index), 0); }

void TCustomComboBox::ResetContent() { Perform(CB_RESETCONTENT, 0, 0); }

void TCustomComboBox::Dispatch(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    switch (HIWORD(m.WParam)) {
      case CBN_SELCHANGE: {
        int i = ItemIndex();
        if (i >= 0) SetText(items_->Get(i));
        Click();
        Select();
        break;
      }
      case CBN_EDITCHANGE: Change(); break;
      case CBN_DROPDOWN: DropDown(); break;
      case CBN_CLOSEUP: CloseUp(); break;
      case CBN_DBLCLK: DblClick(); break;
      default: break;
    }
    return;
  }
  TWinControl::Dispatch(m);
}

void TCustomComboBox::WMGetDlgCode(TMessage& m) {
  m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
  // The open list takes Enter and Escape itself.
  if (DroppedDown()) m.Result |= DLGC_WANTALLKEYS;
}

void TCustomComboBox::DefaultHandler(TMessage& m) {
  auto* w = HandleAllocated() ? static_cast<QComboBox*>(Record()->widget) : nullptr;
  int n = static_cast<int>(store_.size());
  int index = static_cast<int>(static_cast<intptr_t>(m.WParam));
  auto valid = [&](int i) { return i >= 0 && i < n; };
  if (AnswerItemQuery(store_, kComboBoxMessages, m)) return;
  switch (m.Msg) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
      int at = InsertPlace(store_, m.Msg == CB_ADDSTRING, sorted_, index, StringParam(m.LParam));
      StoreInsert(store_, current_, at, StringParam(m.LParam));
      if (w) {
        ++syncing_;
        QString edit = w->isEditable() ? w->currentText() : QString();
        w->insertItem(at, QString::fromUtf8(StringParam(m.LParam)));
        w->setCurrentIndex(current_);
        if (w->isEditable()) w->setEditText(edit);
        --syncing_;
      }
      m.Result = at;
      return;
    }
    case CB_DELETESTRING:
      if (!StoreErase(store_, current_, index)) {
        m.Result = CB_ERR;
        return;
      }
      if (w) {
        ++syncing_;
        w->removeItem(index);
        w->setCurrentIndex(current_);
        --syncing_;
      }
      m.Result = static_cast<LRESULT>(store_.size());
      return;
    case CB_RESETCONTENT:
      store_.clear();
      current_ = -1;
      if (w) {
        ++syncing_;
        QString edit = w->isEditable() ? w->currentText() : QString();
        w->clear();
        if (w->isEditable()) w->setEditText(edit);
        --syncing_;
      }
      return;
    case CB_SELECTSTRING: {
      LRESULT found = FindItem(store_, m.WParam, m.LParam, false);
      if (found >= 0) Perform(CB_SETCURSEL, static_cast<WPARAM>(found), 0);
      m.Result = found;
      return;
    }
    case CB_SETCURSEL:
      current_ = valid(index) ? index : -1;
      // The edit shows the chosen item's text, or nothing.
      text_ = current_ >= 0 ? store_[static_cast<size_t>(current_)].text : std::string();
      if (w) {
        ++syncing_;
        w->setCurrentIndex(current_);
        if (w->isEditable()) w->setEditText(QString::fromStdString(text_));
        --syncing_;
      }
      m.Result = valid(index) ? index : CB_ERR;
      return;
    case CB_GETCURSEL:
      m.Result = current_;
      return;
    case CB_SHOWDROPDOWN:
      if (w) {
        if (m.WParam) w->showPopup();
        else w->hidePopup();
      }
      m.Result = 1;
      return;
    case CB_GETDROPPEDSTATE:
      m.Result = w && w->view()->isVisible() ? 1 : 0;
      return;
    case CB_LIMITTEXT:
      maxLength_ = static_cast<int>(m.WParam);
      if (w && w->lineEdit()) w->lineEdit()->setMaxLength(maxLength_ > 0 ? maxLength_ : 32767);
      m.Result = 1;
      return;
    case CB_SETEDITSEL:
      if (w && w->lineEdit()) {
        int start = static_cast<int16_t>(LOWORD(m.LParam)), end = static_cast<int16_t>(HIWORD(m.LParam));
        QLineEdit* e = w->lineEdit();
        if (start < 0) e->deselect();
        else e->setSelection(start, (end < 0 ? static_cast<int>(e->text().size()) : end) - start);
      }
      m.Result = 1;
      return;
    case WM_SETTEXT: {
      std::string s = StringParam(m.LParam);
      if (style_ == csDropDownList) {
        // A list without an edit shows only its items: the text chooses one that matches exactly.
        LRESULT found = FindItem(store_, static_cast<WPARAM>(-1), m.LParam, true);
        if (found < 0) {
          m.Result = CB_ERR;
          return;
        }
        Perform(CB_SETCURSEL, static_cast<WPARAM>(found), 0);
        m.Result = 1;
        return;
      }
      text_ = s;
      if (w) {
        ++syncing_;
        w->setEditText(QString::fromStdString(s));
        --syncing_;
      }
      m.Result = 1;
      return;
    }
    case WM_GETTEXTLENGTH:
    case WM_GETTEXT:
      if (w) text_ = w->currentText().toStdString();
      TWinControl::DefaultHandler(m);
      return;
    default: TWinControl::DefaultHandler(m); return;
  }
}
