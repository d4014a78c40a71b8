#include "tests/support/ui_input.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QtCore/QElapsedTimer>
#include <QtCore/QMimeData>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QDropEvent>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QWheelEvent>
#include <QtGui/QAction>
#include <QtGui/QContextMenuEvent>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCompleter>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QWidget>

#include "platform/ui/controls.h"
#include "platform/ui/messages.h"

namespace testsupport {

namespace {

QWidget* WidgetOf(TWinControl* c) { return static_cast<QWidget*>(c->NativeWidget()); }

QPointF WidgetPoint(TWinControl* c, int x, int y) {
  // Client coordinates sit inside the drawn border.
  QWidget* w = WidgetOf(c);
  QPoint origin = w->mapToGlobal(QPoint(0, 0));
  TPoint client = c->ClientOrigin();
  return QPointF(x + client.X - origin.x(), y + client.Y - origin.y());
}

// The widget a real press at that point of the control's window reaches (a list's viewport, say),
// and the point in its coordinates.
QWidget* Receiver(TWinControl* c, QPointF& p) {
  QWidget* w = WidgetOf(c);
  QWidget* child = w->childAt(p.toPoint());
  if (!child) return w;
  p = child->mapFrom(w, p);
  return child;
}

Qt::MouseButton QtButton(Mouse b) {
  return b == Mouse::Right ? Qt::RightButton : b == Mouse::Middle ? Qt::MiddleButton : Qt::LeftButton;
}

Qt::Key QtKey(uint16_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return static_cast<Qt::Key>(vk);
  if (vk >= 0x70 && vk <= 0x87) return static_cast<Qt::Key>(Qt::Key_F1 + (vk - 0x70));
  switch (vk) {
    case 0x0D: return Qt::Key_Return;
    case 0x1B: return Qt::Key_Escape;
    case 0x09: return Qt::Key_Tab;
    case 0x08: return Qt::Key_Backspace;
    case 0x20: return Qt::Key_Space;
    case 0x25: return Qt::Key_Left;
    case 0x26: return Qt::Key_Up;
    case 0x27: return Qt::Key_Right;
    case 0x28: return Qt::Key_Down;
    case 0x2E: return Qt::Key_Delete;
    case 0x21: return Qt::Key_PageUp;
    case 0x22: return Qt::Key_PageDown;
    case 0x23: return Qt::Key_End;
    case 0x24: return Qt::Key_Home;
    default: return Qt::Key_unknown;
  }
}

Qt::MouseButtons g_buttons;

}  // namespace

void MouseEnter(TWinControl* c, int x, int y) {
  QPointF p = WidgetPoint(c, x, y);
  QEnterEvent e(p, p, WidgetOf(c)->mapToGlobal(p));
  QApplication::sendEvent(WidgetOf(c), &e);
}

void MouseLeave(TWinControl* c) {
  QEvent e(QEvent::Leave);
  QApplication::sendEvent(WidgetOf(c), &e);
}

void MouseMove(TWinControl* c, int x, int y) {
  QPointF p = WidgetPoint(c, x, y);
  QWidget* to = Receiver(c, p);
  QMouseEvent e(QEvent::MouseMove, p, to->mapToGlobal(p), Qt::NoButton, g_buttons, Qt::NoModifier);
  QApplication::sendEvent(to, &e);
}

void MouseDown(TWinControl* c, int x, int y, Mouse button) {
  QPointF p = WidgetPoint(c, x, y);
  QWidget* to = Receiver(c, p);
  g_buttons |= QtButton(button);
  QMouseEvent e(QEvent::MouseButtonPress, p, to->mapToGlobal(p), QtButton(button), g_buttons, Qt::NoModifier);
  QApplication::sendEvent(to, &e);
}

void MouseUp(TWinControl* c, int x, int y, Mouse button) {
  QPointF p = WidgetPoint(c, x, y);
  QWidget* to = Receiver(c, p);
  g_buttons &= ~QtButton(button);
  QMouseEvent e(QEvent::MouseButtonRelease, p, to->mapToGlobal(p), QtButton(button), g_buttons, Qt::NoModifier);
  QApplication::sendEvent(to, &e);
}

void MouseClick(TWinControl* c, int x, int y, Mouse button) {
  MouseDown(c, x, y, button);
  MouseUp(c, x, y, button);
}

namespace {

void ModifiedClick(TWinControl* c, int x, int y, Qt::KeyboardModifiers mods) {
  QPointF p = WidgetPoint(c, x, y);
  QWidget* to = Receiver(c, p);
  QMouseEvent down(QEvent::MouseButtonPress, p, to->mapToGlobal(p), Qt::LeftButton, g_buttons | Qt::LeftButton, mods);
  QApplication::sendEvent(to, &down);
  QMouseEvent up(QEvent::MouseButtonRelease, p, to->mapToGlobal(p), Qt::LeftButton, g_buttons, mods);
  QApplication::sendEvent(to, &up);
}

}  // namespace

void ShiftClick(TWinControl* c, int x, int y) { ModifiedClick(c, x, y, Qt::ShiftModifier); }

void CtrlClick(TWinControl* c, int x, int y) { ModifiedClick(c, x, y, Qt::ControlModifier); }

void MouseWheel(TWinControl* c, int x, int y, int angle, int sideways, bool ctrl) {
  QPointF p = WidgetPoint(c, x, y);
  QWidget* to = Receiver(c, p);
  QWheelEvent e(p, to->mapToGlobal(p), QPoint(), QPoint(sideways, angle), g_buttons,
                ctrl ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(to, &e);
}

void KeyPress(TWinControl* c, uint16_t vk, const char* text, bool alt) {
  Qt::KeyboardModifiers mods = alt ? Qt::AltModifier : Qt::NoModifier;
  QKeyEvent down(QEvent::KeyPress, QtKey(vk), mods, QString::fromUtf8(text));
  QApplication::sendEvent(WidgetOf(c), &down);
  QKeyEvent up(QEvent::KeyRelease, QtKey(vk), mods, QString::fromUtf8(text));
  QApplication::sendEvent(WidgetOf(c), &up);
}

void KeyChord(TWinControl* c, uint16_t vk, bool ctrl, bool shift) {
  Qt::KeyboardModifiers mods;
  if (ctrl) mods |= Qt::ControlModifier;
  if (shift) mods |= Qt::ShiftModifier;
  Qt::Key key = QtKey(vk);
  if (vk == 0x2D) key = Qt::Key_Insert;
  QKeyEvent down(QEvent::KeyPress, key, mods);
  QApplication::sendEvent(WidgetOf(c), &down);
  QKeyEvent up(QEvent::KeyRelease, key, mods);
  QApplication::sendEvent(WidgetOf(c), &up);
}

bool ChooseContextMenuItem(TWinControl* c, int x, int y, const char* itemName) {
  QPointF p = WidgetPoint(c, x, y);
  QWidget* to = Receiver(c, p);
  QContextMenuEvent e(QContextMenuEvent::Mouse, p.toPoint(), to->mapToGlobal(p.toPoint()));
  QApplication::sendEvent(to, &e);
  QCoreApplication::processEvents();
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (!menu) return false;
  QAction* item = nullptr;
  for (QAction* a : menu->actions())
    if (a->objectName() == QLatin1String(itemName) && a->isEnabled()) item = a;
  menu->close();
  if (item) item->trigger();
  QCoreApplication::processEvents();
  return item != nullptr;
}

void ScrollBarAction(TWinControl* c, int bar, int code, int pos) {
  QScrollBar* sb = nullptr;
  if (bar == SB_CTL) {
    sb = qobject_cast<QScrollBar*>(WidgetOf(c));
  } else {
    Qt::Orientation want = bar == SB_HORZ ? Qt::Horizontal : Qt::Vertical;
    for (QScrollBar* b : WidgetOf(c)->findChildren<QScrollBar*>(Qt::FindDirectChildrenOnly))
      if (b->orientation() == want) sb = b;
  }
  if (!sb) {
    ADD_FAILURE() << "no scroll bar";
    return;
  }
  switch (code) {
    case SB_LINEDOWN: sb->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case SB_LINEUP: sb->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case SB_PAGEDOWN: sb->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case SB_PAGEUP: sb->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case SB_TOP: sb->triggerAction(QAbstractSlider::SliderToMinimum); break;
    case SB_BOTTOM: sb->triggerAction(QAbstractSlider::SliderToMaximum); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      sb->setSliderDown(true);
      sb->setSliderPosition(pos);
      if (code == SB_THUMBPOSITION) sb->setSliderDown(false);
      break;
    default: break;
  }
}

uint32_t WindowPixel(TWinControl* c, int x, int y) {
  QPointF p = WidgetPoint(c, x, y);
  QImage shot = WidgetOf(c)->grab().toImage();
  QRgb rgb = shot.pixel(p.toPoint());
  return static_cast<uint32_t>(qRed(rgb)) | (static_cast<uint32_t>(qGreen(rgb)) << 8) |
         (static_cast<uint32_t>(qBlue(rgb)) << 16);
}

std::vector<uint32_t> WindowPixels(TWinControl* c, int x, int y, int w, int h) {
  const QPoint origin = WidgetPoint(c, x, y).toPoint();
  const QImage shot = WidgetOf(c)->grab().toImage();
  std::vector<uint32_t> colours;
  colours.reserve(static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0)));
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) {
      const QRgb rgb = shot.pixel(origin + QPoint(col, row));
      colours.push_back(static_cast<uint32_t>(qRed(rgb)) | (static_cast<uint32_t>(qGreen(rgb)) << 8) |
                        (static_cast<uint32_t>(qBlue(rgb)) << 16));
    }
  return colours;
}

std::vector<std::string> CompletionListItems(TWinControl* c) {
  auto* line = qobject_cast<QLineEdit*>(WidgetOf(c));
  if (!line || !line->completer()) return {};
  QAbstractItemView* popup = line->completer()->popup();
  if (!popup || !popup->isVisible() || !popup->model()) return {};
  std::vector<std::string> items;
  for (int row = 0; row < popup->model()->rowCount(); ++row)
    items.push_back(popup->model()->index(row, line->completer()->completionColumn()).data().toString().toStdString());
  return items;
}

void PostToolkitEvent(TWinControl* c) { QCoreApplication::postEvent(WidgetOf(c), new QEvent(QEvent::User)); }

bool DropFiles(TWinControl* c, int x, int y, const std::vector<std::string>& files) {
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f));
  data.setUrls(urls);
  QPointF p = WidgetPoint(c, x, y);
  QDragEnterEvent enter(p.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(WidgetOf(c), &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(p, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(WidgetOf(c), &drop);
  return drop.isAccepted();
}

void ToolkitClipboardSetText(const char* text) { QGuiApplication::clipboard()->setText(QString::fromUtf8(text)); }

std::string ToolkitClipboardText() { return QGuiApplication::clipboard()->text().toStdString(); }

void ClickOutsideNextPopup(int screenX, int screenY, bool* clicked) {
  *clicked = false;
  // The open menu holds the mouse: a click anywhere reaches it first.
  QTimer::singleShot(0, [screenX, screenY, clicked] {
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup) return;
    const QPointF global(screenX, screenY);
    const QPointF local = popup->mapFromGlobal(global);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(popup, &press);
    *clicked = true;
  });
  // A menu the click did not close goes away after a while, so no test waits for ever.
  QTimer::singleShot(3000, [] {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  });
}

bool WaitForImpl(bool (*pred)(void*), void* ctx, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!pred(ctx)) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace testsupport
