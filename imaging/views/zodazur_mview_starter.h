#pragma once
// TIEStarter: the thread of a thumbnail view that starts its background loader threads. It sleeps
// on an auto-reset event that every queued load, every loader thread that ends and the view's
// destruction set; awake, it frees the loaders whose threads have ended, abandons loads whose images
// went or scrolled away, drops pending loads whose cells scrolled away and starts loader threads
// while loads wait and the pool has room (the loaders themselves take the pending loads).
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
