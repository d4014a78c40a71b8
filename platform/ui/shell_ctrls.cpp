#include "platform/ui/shell_ctrls.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtWidgets/QTreeWidget>

#include <algorithm>

#include "platform/system/streams.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/string_list.h"

namespace {

constexpr int kPathRole = Qt::UserRole;

// The sub-folders of a folder, sorted by name without regard to case; hidden ones are left out.
std::vector<std::string> SubFolders(const std::string& folder) {
  std::vector<std::string> out;
  QDir dir(QString::fromStdString(folder));
  for (const QFileInfo& fi : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
    out.push_back(fi.absoluteFilePath().toStdString());
  return out;
}

QTreeWidgetItem* NewFolderItem(const std::string& path) {
  QFileInfo fi(QString::fromStdString(path));
  QString name = fi.fileName().isEmpty() ? QString::fromStdString(path) : fi.fileName();
  auto* item = new QTreeWidgetItem(QStringList(name));
  item->setData(0, kPathRole, QString::fromStdString(path));
  // Children come when the folder opens; until then it may have some.
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

void FillChildren(QTreeWidgetItem* item) {
  if (item->childCount() > 0) return;
  std::string path = item->data(0, kPathRole).toString().toStdString();
  std::vector<std::string> subs = SubFolders(path);
  for (const std::string& s : subs) item->addChild(NewFolderItem(s));
  if (subs.empty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

std::string Normalized(const std::string& path) {
  QString clean = QDir::cleanPath(QString::fromStdString(ExpandFileName(path)));
  return clean.toStdString();
}

}  // namespace

// ------------------------------------------------------------------------------------- TShellTreeView

TShellTreeView::TShellTreeView(TComponent* owner) : TWinControl(owner) {
  width_ = 121;
  height_ = 97;
  color_ = clWindow;
  parentColor_ = false;
  SetTabStop(true);
}

TShellTreeView::~TShellTreeView() {
  Destroying();
  if (listView_) listView_->RemoveFreeNotification(this);
}

void* TShellTreeView::CreateWidget() {
  auto* w = new TBridgeScrollArea<QTreeWidget>(Record());
  w->setHeaderHidden(true);
  w->setRootIsDecorated(false);
  QObject::connect(w, &QTreeWidget::itemExpanded, [](QTreeWidgetItem* item) { FillChildren(item); });
  QObject::connect(w, &QTreeWidget::currentItemChanged, [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
    if (syncing_ || !item) return;
    try {
      FolderChosen(item->data(0, kPathRole).toString().toStdString());
    } catch (...) {
      HandleBoundaryException();
    }
  });
  return w;
}

void TShellTreeView::ApplyWidgetState() {
  TWinControl::ApplyWidgetState();
  auto* w = static_cast<QTreeWidget*>(Record()->widget);
  if (w->topLevelItemCount() == 0) Rebuild();
}

void TShellTreeView::Rebuild() {
  if (!HandleAllocated()) return;
  auto* w = static_cast<QTreeWidget*>(Record()->widget);
  ++syncing_;
  w->clear();
  QTreeWidgetItem* top = NewFolderItem(root_);
  w->addTopLevelItem(top);
  FillChildren(top);
  top->setExpanded(true);
  --syncing_;
  if (!path_.empty()) SetPath(path_);
}

void TShellTreeView::SetRoot(const std::string& value) {
  root_ = Normalized(value.empty() ? "/" : value);
  path_.clear();
  Rebuild();
}

void TShellTreeView::SetPath(const std::string& value) {
  std::string target = Normalized(value);
  path_ = target;
  if (HandleAllocated()) {
    // Down the tree from the root, opening each folder on the way.
    auto* w = static_cast<QTreeWidget*>(Record()->widget);
    QTreeWidgetItem* item = w->topLevelItem(0);
    std::string rootPrefix = root_ == "/" ? "/" : root_ + "/";
    if (item && (target == root_ || target.rfind(rootPrefix, 0) == 0)) {
      ++syncing_;
      while (item && item->data(0, kPathRole).toString().toStdString() != target) {
        FillChildren(item);
        item->setExpanded(true);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount(); ++i) {
          std::string child = item->child(i)->data(0, kPathRole).toString().toStdString();
          if (target == child || target.rfind(child + "/", 0) == 0) next = item->child(i);
        }
        item = next;
      }
      if (item) w->setCurrentItem(item);
      --syncing_;
    }
  }
  if (listView_) listView_->SetRoot(path_);
  if (OnChange) OnChange(this);
}

void TShellTreeView::FolderChosen(const std::string& path) {
  path_ = path;
  if (listView_) listView_->SetRoot(path);
  if (OnChange) OnChange(this);
}

void TShellTreeView::SetShellListView(TShellListView* value) {
  if (listView_) listView_->RemoveFreeNotification(this);
  listView_ = value;
  if (value) {
    value->FreeNotification(this);
    if (!path_.empty()) value->SetRoot(path_);
  }
}

void TShellTreeView::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == listView_) listView_ = nullptr;
}

// ------------------------------------------------------------------------------------- TShellListView

TShellListView::TShellListView(TComponent* owner) : TCustomListBox(owner) {}

void TShellListView::SetRoot(const std::string& value) {
  root_ = value.empty() ? std::string() : Normalized(value);
  Refresh();
}

void TShellListView::SetIncludeFolders(bool value) {
  if (value == includeFolders_) return;
  includeFolders_ = value;
  Refresh();
}

void TShellListView::Refresh() {
  Items()->BeginUpdate();
  try {
    Items()->Clear();
    folders_.clear();
    if (!root_.empty() && DirectoryExists(root_)) {
      QDir dir(QString::fromStdString(root_));
      QDir::Filters filter = QDir::Files | QDir::NoDotAndDotDot;
      if (includeFolders_) filter |= QDir::Dirs;
      for (const QFileInfo& fi : dir.entryInfoList(filter, QDir::Name | QDir::IgnoreCase | QDir::DirsFirst)) {
        TShellFolder f{fi.absoluteFilePath().toStdString(), fi.fileName().toStdString(), fi.isDir()};
        bool canAdd = true;
        if (OnAddFolder) OnAddFolder(this, f, canAdd);
        if (!canAdd) continue;
        folders_.push_back(f);
        Items()->Add(f.DisplayName);
      }
    }
  } catch (...) {
    Items()->EndUpdate();
    throw;
  }
  Items()->EndUpdate();
  if (OnChange) OnChange(this);
}

const TShellFolder* TShellListView::SelectedFolder() {
  int i = ItemIndex();
  if (i < 0 || i >= FolderCount() || !Selected(i)) return nullptr;
  return &folders_[static_cast<size_t>(i)];
}

void TShellListView::Click() {
  TCustomListBox::Click();
  if (OnChange) OnChange(this);
}
