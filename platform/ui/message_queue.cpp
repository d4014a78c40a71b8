#include "platform/ui/message_queue.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QObject>
#include <QtCore/QThread>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

#include "platform/system/threads.h"
#include "platform/ui/qt_window_p.h"
#include "platform/ui/window_dc.h"

namespace {

struct Posted {
  HWND hwnd = nullptr;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::function<void()> call;                         // a queued call instead of a message
  std::shared_ptr<std::promise<LRESULT>> reply;       // a cross-thread send waiting for its result
};

std::mutex g_queueMutex;
std::deque<Posted> g_queue;
bool g_wakePosted = false;

const QEvent::Type kDrainEvent = static_cast<QEvent::Type>(QEvent::User + 0x301);

// Lives on the UI thread; runs the queue when woken.
class QueueRunner : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != kDrainEvent) return QObject::event(e);
    Drain();
    return true;
  }
  static void Drain() {
    {
      std::lock_guard<std::mutex> lock(g_queueMutex);
      g_wakePosted = false;
    }
    // Only what is queued now runs: messages posted by these handlers wait for the next round.
    size_t count;
    {
      std::lock_guard<std::mutex> lock(g_queueMutex);
      count = g_queue.size();
    }
    for (size_t i = 0; i < count; ++i) {
      Posted p;
      {
        std::lock_guard<std::mutex> lock(g_queueMutex);
        if (g_queue.empty()) return;
        p = std::move(g_queue.front());
        g_queue.pop_front();
      }
      if (p.call) {
        try {
          p.call();
        } catch (...) {
          HandleBoundaryException();
        }
        FreeDeviceContexts();
        continue;
      }
      LRESULT result = 0;
      if (WindowRecord* rec = FindWindowRecord(p.hwnd)) {
        TMessage m;
        m.Msg = p.msg;
        m.WParam = p.wParam;
        m.LParam = p.lParam;
        SafeWndProc(rec->control, m);
        result = m.Result;
      }
      if (p.reply) p.reply->set_value(result);
      FreeDeviceContexts();
    }
  }
};

QueueRunner* Runner() {
  static QueueRunner* runner = nullptr;
  if (!runner && QCoreApplication::instance()) {
    runner = new QueueRunner;
    runner->moveToThread(QCoreApplication::instance()->thread());
    runner->setParent(QCoreApplication::instance());
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { runner = nullptr; });
  }
  return runner;
}

void Enqueue(Posted p) {
  bool wake;
  {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    g_queue.push_back(std::move(p));
    wake = !g_wakePosted;
    g_wakePosted = true;
  }
  if (wake) {
    if (QueueRunner* r = Runner()) QCoreApplication::postEvent(r, new QEvent(kDrainEvent));
  }
}

bool Matches(const Posted& p, HWND window, UINT first, UINT last) {
  if (p.call || p.reply) return false;
  if (window && p.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return p.msg >= first && p.msg <= last;
}

}  // namespace

bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsLiveHandle(window)) return false;
  Posted p;
  p.hwnd = window;
  p.msg = msg;
  p.wParam = wParam;
  p.lParam = lParam;
  Enqueue(std::move(p));
  return true;
}

LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (IsMainThread()) {
    WindowRecord* rec = FindWindowRecord(window);
    if (!rec) return 0;
    TMessage m;
    m.Msg = msg;
    m.WParam = wParam;
    m.LParam = lParam;
    rec->control->WndProc(m);
    return m.Result;
  }
  if (!IsLiveHandle(window)) return 0;
  Posted p;
  p.hwnd = window;
  p.msg = msg;
  p.wParam = wParam;
  p.lParam = lParam;
  p.reply = std::make_shared<std::promise<LRESULT>>();
  auto future = p.reply->get_future();
  Enqueue(std::move(p));
  return future.get();
}

bool PeekMessage(MSG* msg, HWND window, UINT first, UINT last, UINT removeFlags) {
  std::lock_guard<std::mutex> lock(g_queueMutex);
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    if (!Matches(*it, window, first, last)) continue;
    if (msg) {
      msg->hwnd = it->hwnd;
      msg->message = it->msg;
      msg->wParam = it->wParam;
      msg->lParam = it->lParam;
    }
    if (removeFlags & PM_REMOVE) g_queue.erase(it);
    return true;
  }
  return false;
}

namespace {

int RemovePendingMessagesIf(HWND window, UINT msg, const LPARAM* lParam) {
  std::lock_guard<std::mutex> lock(g_queueMutex);
  int n = 0;
  for (auto it = g_queue.begin(); it != g_queue.end();) {
    if (Matches(*it, window, msg, msg) && (!lParam || it->lParam == *lParam)) {
      it = g_queue.erase(it);
      ++n;
    } else {
      ++it;
    }
  }
  return n;
}

}  // namespace

int RemovePendingMessages(HWND window, UINT msg) { return RemovePendingMessagesIf(window, msg, nullptr); }

int RemovePendingMessages(HWND window, UINT msg, LPARAM lParam) {
  return RemovePendingMessagesIf(window, msg, &lParam);
}

void QueueOnMainThread(std::function<void()> call) {
  Posted p;
  p.call = std::move(call);
  Enqueue(std::move(p));
}
