#include "platform/system/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/system/ticks.h"

namespace {

// A thread running a lambda. It ends its thread in its own destructor, as every thread class whose
// Execute uses its own members must.
class TLambdaThread : public TThread {
 public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> body, bool suspended = true)
      : TThread(suspended), body_(std::move(body)) {
    AfterConstruction();
  }
  ~TLambdaThread() override {
    if (!Suspended() && !Finished() && !FreeOnTerminate()) {
      Terminate();
      WaitFor();
    }
  }
  using TThread::SetReturnValue;
  using TThread::Terminated;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(TLambdaThread&)> body_;
};

TEST(Thread, SuspendedUntilStartThenWaitForGivesReturnValue) {
  std::atomic<bool> ran{false};
  TThreadID seen = 0;
  TLambdaThread t([&](TLambdaThread& self) {
    ran = true;
    seen = GetCurrentThreadId();
    self.SetReturnValue(42);
  });
  EXPECT_TRUE(t.Suspended());
  EXPECT_EQ(t.ThreadID(), 0u);
  EXPECT_THROW(t.WaitFor(), EThread);
  Sleep(10);
  EXPECT_FALSE(ran);
  t.Start();
  EXPECT_FALSE(t.Suspended());
  EXPECT_NE(t.Handle(), 0u);
  EXPECT_EQ(t.WaitFor(), 42);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(t.ThreadID(), seen);
  EXPECT_NE(seen, MainThreadID());
  EXPECT_EQ(t.WaitFor(), 42);  // waiting again returns at once
  try {
    t.Start();
    FAIL();
  } catch (const EThread& e) {
    EXPECT_EQ(e.Message(), "Cannot call Start on a running or finished thread");
  }
}

TEST(Thread, NotSuspendedStartsAtTheEndOfConstruction) {
  TLambdaThread t([](TLambdaThread& self) { self.SetReturnValue(7); }, false);
  EXPECT_EQ(t.WaitFor(), 7);
}

TEST(Thread, TerminateAndDestroyARunningThread) {
  std::atomic<int> loops{0};
  auto t = std::make_unique<TLambdaThread>([&](TLambdaThread& self) {
    while (!self.Terminated()) {
      ++loops;
      Sleep(1);
    }
  });
  t->Start();
  while (loops == 0) Sleep(1);
  t.reset();  // terminates and waits
  const int after = loops;
  Sleep(5);
  EXPECT_EQ(loops, after);
}

TEST(Thread, AnExceptionInExecuteIsKept) {
  TLambdaThread t([](TLambdaThread&) { throw EConvertError("bad value"); });
  t.Start();
  t.WaitFor();
  ASSERT_TRUE(t.FatalException());
  EXPECT_THROW(std::rethrow_exception(t.FatalException()), EConvertError);
}

TEST(Synchronize, ServedWhileTheMainThreadWaitsForTheWorker) {
  std::vector<TThreadID> ranOn;
  TLambdaThread t([&](TLambdaThread& self) {
    for (int i = 0; i < 3; ++i) self.Synchronize([&] { ranOn.push_back(GetCurrentThreadId()); });
  });
  t.Start();
  t.WaitFor();
  ASSERT_EQ(ranOn.size(), 3u);
  for (TThreadID id : ranOn) EXPECT_EQ(id, MainThreadID());
}

TEST(Synchronize, OnTheMainThreadRunsDirectly) {
  bool ran = false;
  TThread::Synchronize(nullptr, [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_THROW(TThread::Synchronize(nullptr, [] { throw EConvertError("x"); }), EConvertError);
}

TEST(Synchronize, ExceptionsAreRaisedAgainInTheWorker) {
  struct Case {
    std::function<void()> raise;
    std::string message;
    bool sameClass;
  };
  const std::vector<Case> cases = {
      {[] { throw EConvertError("'abc' is not a valid integer value"); }, "'abc' is not a valid integer value", true},
      {[] { throw std::runtime_error("plain failure"); }, "plain failure", false},
      {[] { throw 5; }, "Unknown exception in a synchronised call", false},
  };
  for (const Case& c : cases) {
    std::string caught;
    bool sameClass = false;
    TLambdaThread t([&](TLambdaThread& self) {
      try {
        self.Synchronize(c.raise);
      } catch (const EConvertError& e) {
        caught = e.Message();
        sameClass = true;
      } catch (const Exception& e) {
        caught = e.Message();
      }
    });
    t.Start();
    t.WaitFor();
    EXPECT_EQ(caught, c.message);
    EXPECT_EQ(sameClass, c.sameClass) << c.message;
  }
}

// Once its call has run, a worker touches nothing of the program's any more: a program may end (and
// take its message loop with it) as soon as a worker's last call has been served. So the wake-up is
// posted before the main thread can take the call.
TEST(Synchronize, TheWakeUpIsPostedBeforeTheCallCanRun) {
  const std::function<void()> saved = WakeMainThread();
  std::atomic<bool> woken{false};
  SetWakeMainThread([&] {
    Sleep(20);  // a slow wake-up: a main thread already waiting must not take the call meanwhile
    woken = true;
  });
  bool wokenWhenServed = false;  // main thread only
  std::atomic<bool> done{false};
  TLambdaThread t([&](TLambdaThread& self) {
    self.Synchronize([&] { wokenWhenServed = woken; });
    done = true;
  });
  t.Start();
  const uint32_t start = GetTickCount();
  while (!done && GetTickCount() - start < 10000) CheckSynchronize(10);
  t.WaitFor();
  SetWakeMainThread(saved);
  EXPECT_TRUE(wokenWhenServed);
}

TEST(Synchronize, WakeHookAndAMainThreadLoop) {
  std::atomic<int> wakes{0};
  SetWakeMainThread([&] { ++wakes; });
  std::atomic<bool> done{false};
  int calls = 0;  // touched on the main thread only
  TLambdaThread t([&](TLambdaThread& self) {
    for (int i = 0; i < 5; ++i) self.Synchronize([&] { ++calls; });
    done = true;
  });
  t.Start();
  // A bare main loop, as the user-interface layer runs one.
  const uint32_t start = GetTickCount();
  while (!done && GetTickCount() - start < 10000) CheckSynchronize(10);
  SetWakeMainThread(nullptr);
  t.WaitFor();
  EXPECT_EQ(calls, 5);
  EXPECT_EQ(wakes, 5);
  EXPECT_FALSE(CheckSynchronize(1));  // nothing left
}

TEST(Synchronize, ManyWorkersAreServedOneCallAtATime) {
  int counter = 0;  // not atomic: the calls run one after the other on the main thread
  std::vector<std::unique_ptr<TLambdaThread>> threads;
  for (int i = 0; i < 6; ++i) {
    threads.push_back(std::make_unique<TLambdaThread>([&](TLambdaThread& self) {
      for (int k = 0; k < 50; ++k) self.Synchronize([&] { ++counter; });
    }));
    threads.back()->Start();
  }
  for (auto& t : threads) t->WaitFor();
  EXPECT_EQ(counter, 300);
}

TEST(Synchronize, CheckSynchronizeBelongsToTheMainThread) {
  std::string message;
  TLambdaThread t([&](TLambdaThread&) {
    try {
      CheckSynchronize();
    } catch (const EThread& e) {
      message = e.Message();
    }
  });
  t.Start();
  t.WaitFor();
  EXPECT_NE(message.find("which is NOT the main thread"), std::string::npos) << message;
}

TEST(Synchronize, ServedWhileTheMainThreadWaitsForAnEvent) {
  TEvent ready(false, false);
  bool askedMain = false;
  TLambdaThread t([&](TLambdaThread& self) {
    self.Synchronize([&] { askedMain = IsMainThread(); });
    ready.SetEvent();
  });
  t.Start();
  EXPECT_EQ(WaitForServingSync(ready, 10000), wrSignaled);
  EXPECT_TRUE(askedMain);
  t.WaitFor();
  EXPECT_EQ(WaitForServingSync(ready, 20), wrTimeout);  // auto-reset: consumed
}

TEST(Thread, OnTerminateRunsOnTheMainThread) {
  TThreadID ranOn = 0;
  TLambdaThread t([](TLambdaThread&) {});
  TObject* sender = nullptr;
  t.OnTerminate = [&](TObject* s) {
    sender = s;
    ranOn = GetCurrentThreadId();
  };
  t.Start();
  t.WaitFor();
  EXPECT_EQ(sender, &t);
  EXPECT_EQ(t.ClassName(), "TLambdaThread");
  EXPECT_EQ(ranOn, MainThreadID());
}

TEST(Thread, FreeOnTerminateDeletesItselfAfterOnTerminate) {
  // The destructor signals the event, so the test sees the object go.
  class TSelfFreeing : public TThread {
   public:
    TSelfFreeing(TEvent& gone, std::atomic<bool>& ran) : TThread(true), gone_(gone), ran_(ran) {}
    ~TSelfFreeing() override { gone_.SetEvent(); }

   protected:
    void Execute() override { ran_ = true; }

   private:
    TEvent& gone_;
    std::atomic<bool>& ran_;
  };
  TSimpleEvent gone;
  std::atomic<bool> ran{false};
  bool terminated = false;
  auto* t = new TSelfFreeing(gone, ran);
  t->SetFreeOnTerminate(true);
  t->OnTerminate = [&](TObject*) { terminated = true; };
  t->Start();
  EXPECT_THROW(t->WaitFor(), EThread);
  EXPECT_EQ(WaitForServingSync(gone, 10000), wrSignaled);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(terminated);
}

TEST(Thread, AWorkerWaitsForAnotherWorker) {
  TLambdaThread inner([](TLambdaThread& self) {
    Sleep(5);
    self.SetReturnValue(3);
  });
  TLambdaThread outer([&](TLambdaThread& self) {
    inner.Start();
    self.SetReturnValue(inner.WaitFor() + 1);
  });
  outer.Start();
  EXPECT_EQ(outer.WaitFor(), 4);
}

}  // namespace
