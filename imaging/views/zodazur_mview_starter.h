#pragma once
// TIEStarter: the thread of a thumbnail view that starts its background loaders. It sleeps on an
// auto-reset event that every queued load, every finished load and the view's destruction set;
// awake, it sweeps finished loaders, drops pending loads whose cells scrolled away and starts
// loaders while the pool has room.
#include "platform/system/sync_objs.h"
#include "platform/system/threads.h"

class TZodazUrMView;

class TIEStarter : public TThread {
 public:
  explicit TIEStarter(TZodazUrMView* View);
  // Terminates the thread, wakes it and waits for it.
  ~TIEStarter() override;
  TEvent& Event() { return event_; }

 protected:
  void Execute() override;

 private:
  TZodazUrMView* view_;
  TEvent event_{false, false};
};
