#include "imaging/io/io_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"
#include "platform/ui/forms.h"
#include "tests/imaging/io/io_test_support.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_input.h"

namespace {

using namespace std::chrono_literals;

// A component with a test format: its loader follows the common steps of every loader around a codec
// that decodes an 8-bit image row by row.
class TTestIO : public TZodazUrIO {
 public:
  using TZodazUrIO::TZodazUrIO;
  // This class's own members run on the I/O threads: they finish before its part goes.
  ~TTestIO() override { WaitThreads(false); }

  std::atomic<int> running{0};
  std::atomic<int> mostAtOnce{0};
  std::atomic<int> calls{0};
  std::atomic<int> finished{0};
  std::atomic<TThreadID> lastThread{0};
  std::atomic<bool> codecRaises{false};
  std::vector<std::string> names;  // the FileName of every call, in the order the calls ran
  std::set<TThreadID> workers;     // the threads the calls ran on
  std::atomic<bool>* gate = nullptr;  // the codec waits here until it is true
  int rows = 16;
  int32_t dpi = 0;             // when set, the file's resolution (dpi x dpi + 1), given to the view
  // How the call gives it: the fields then UpdateViewDPI, the parameters' setters of both axes, or
  // the horizontal setter alone.
  enum class DpiRoad { Update, Setters, SetterX } dpiRoad = DpiRoad::Update;
  bool refreshAfter = true;    // false: the call ends without UpdateAttached
  std::chrono::milliseconds rowTime{0};

  void LoadFromFileTest(const std::string& FileName) {
    if (MustRunAsynchronously()) {
      TIEIOThread::CreateFileCall(this, &TTestIO::LoadFromFileTest, FileName);
      return;
    }
    SetAborting(true);
    if (!CheckBitmap()) {
      DoFinishWork();
      return;
    }
    Params().ResetInfo();
    SetAborting(false);
    TIEProgressRecord progress;
    FillProgressRecord(progress);
    struct Finish {
      TTestIO& io;
      ~Finish() {
        --io.running;
        ++io.finished;
        io.DoFinishWork();
      }
    };
    const int now = ++running;
    mostAtOnce = std::max(mostAtOnce.load(), now);
    ++calls;
    lastThread = GetCurrentThreadId();
    names.push_back(FileName);
    workers.insert(GetCurrentThreadId());
    Finish finish{*this};
    Decode(progress);
    Params().FileName = FileName;
    if (dpi) {
      switch (dpiRoad) {
        case DpiRoad::Update:
          Params().DpiX = dpi;
          Params().DpiY = dpi + 1;
          UpdateViewDPI();
          break;
        case DpiRoad::Setters:
          Params().SetDpiX(dpi);
          Params().SetDpiY(dpi + 1);
          break;
        case DpiRoad::SetterX:
          Params().SetDpiX(dpi);
          break;
      }
    }
    if (refreshAfter) UpdateAttached();
  }

  // A function kind: answers a count, -1 when the call went to an I/O thread.
  int32_t CountTest(TStream& Stream) {
    if (MustRunAsynchronously()) {
      TIEIOThread::CreateStreamFunction(this, &TTestIO::CountTest, Stream);
      return -1;
    }
    ++calls;
    return static_cast<int32_t>(Stream.Size());
  }

 private:
  void Decode(TIEProgressRecord& progress) {
    while (gate && !gate->load()) std::this_thread::sleep_for(1ms);
    TIEBitmap& bitmap = *IEBitmap();
    bitmap.Allocate(8, rows, ie8g);
    for (int y = 0; y < rows; ++y) {
      if (progress.IsAborting()) return;
      if (codecRaises && y == rows / 2) throw Exception("codec failure");
      std::memset(bitmap.GetRow(y), y, 8);
      std::this_thread::sleep_for(rowTime);
      progress.Report(y * 100 / rows);
    }
  }
};

class IOThreadsTest : public ::testing::Test {
 protected:
  TIEBitmap callersBitmap;
};

TEST_F(IOThreadsTest, WithItsOwnBitmapTheCallRunsOnTheCallersThread) {
  TTestIO io(nullptr);
  io.SetAsynchronous(true);
  io.LoadFromFileTest("a.tst");
  EXPECT_EQ(io.calls, 1);
  EXPECT_EQ(io.lastThread, GetCurrentThreadId());
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileName, "a.tst");
}

TEST_F(IOThreadsTest, AsynchronousCallsReturnAtOnceAndFinishOnAWorker) {
  TTestIO io(nullptr);
  io.SetAttachedIEBitmap(&callersBitmap);
  io.SetAsynchronous(true);
  std::atomic<bool> gate{false};
  io.gate = &gate;
  std::atomic<TThreadID> finishThread{0};
  io.OnFinishWork = [&](TObject*) { finishThread = GetCurrentThreadId(); };
  io.LoadFromFileTest("a.tst");
  EXPECT_EQ(io.finished, 0);  // returned before the work
  TMemoryStream stream;
  stream.SetSize(42);
  EXPECT_EQ(io.CountTest(stream), -1);
  gate = true;
  io.WaitThreads(false);
  EXPECT_EQ(io.calls, 2);
  EXPECT_FALSE(io.Aborting());
  EXPECT_NE(io.lastThread, GetCurrentThreadId());
  // Without a view the finish notification runs on the worker.
  EXPECT_NE(finishThread.load(), 0u);
  EXPECT_NE(finishThread.load(), GetCurrentThreadId());
  EXPECT_EQ(callersBitmap.Height(), 16);
  EXPECT_EQ(io.Params().FileName, "a.tst");
  EXPECT_FALSE(io.InWorkerThread());
}

TEST_F(IOThreadsTest, TwoAsynchronousLoadsAreWaitedForAndNeverOverlap) {
  TTestIO io(nullptr);
  io.SetAttachedIEBitmap(&callersBitmap);
  io.SetAsynchronous(true);
  io.rowTime = 1ms;
  std::atomic<int> finishes{0};
  io.OnFinishWork = [&](TObject*) { ++finishes; };
  io.LoadFromFileTest("first.tst");
  io.LoadFromFileTest("second.tst");
  io.WaitThreads(false);
  EXPECT_EQ(io.calls, 2);
  EXPECT_EQ(finishes, 2);
  EXPECT_EQ(io.mostAtOnce, 1);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(callersBitmap.GetPixel8(0, 15), 15);
}

// Threads of this process now.
int ThreadCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

TEST_F(IOThreadsTest, ThousandsOfQueuedCallsRunInOrderOnOneWorker) {
  TTestIO io(nullptr);
  io.SetAttachedIEBitmap(&callersBitmap);
  io.SetAsynchronous(true);
  io.rows = 1;
  std::atomic<bool> gate{false};
  io.gate = &gate;  // the first call holds the worker until every call has been queued
  const int before = ThreadCount();
  constexpr int kCalls = 3000;
  for (int i = 0; i < kCalls; ++i) io.LoadFromFileTest(std::to_string(i));
  // One worker for all of them (one per call would be 3,000 threads).
  EXPECT_LE(ThreadCount(), before + 1);
  gate = true;
  io.WaitThreads(false);
  ASSERT_EQ(io.names.size(), static_cast<size_t>(kCalls));
  for (int i = 0; i < kCalls; ++i) ASSERT_EQ(io.names[i], std::to_string(i)) << "call " << i;
  EXPECT_EQ(io.workers.size(), 1u);
  EXPECT_EQ(io.mostAtOnce, 1);
  EXPECT_EQ(io.Params().FileName, std::to_string(kCalls - 1));
  // The worker has been joined: nothing of it is left running.
  EXPECT_LE(ThreadCount(), before);
}

// Saves a 3 x 2 image of one colour as BMP (the component works on this thread).
void SaveOneColour(const std::string& FileName, TIERGB Colour) {
  TZodazUrIO io(nullptr);
  io.IEBitmap()->Allocate(3, 2, ie24RGB);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) io.IEBitmap()->SetPixel24(x, y, Colour);
  io.SaveToFile(FileName);
  ASSERT_FALSE(io.Aborting());
}

TIERGB LastPixelOf(const std::string& FileName) {
  TZodazUrIO io(nullptr);
  io.LoadFromFile(FileName);
  EXPECT_FALSE(io.Aborting()) << FileName;
  return io.IEBitmap()->Width() == 3 ? io.IEBitmap()->GetPixel24(2, 1) : TIERGB{};
}

TEST_F(IOThreadsTest, LoadLoadSaveRunsInTheOrderMadeEveryTime) {
  InitializeZodazUrIO();
  auto dir = testsupport::ScratchDir::InMemory();
  const std::string a = dir.File("a.bmp"), b = dir.File("b.bmp"), out = dir.File("out.bmp");
  const TIERGB colourA{10, 20, 30}, colourB{200, 100, 50};
  SaveOneColour(a, colourA);
  SaveOneColour(b, colourB);
  TZodazUrIO io(nullptr);
  io.SetAttachedIEBitmap(&callersBitmap);
  io.SetAsynchronous(true);
  for (int trial = 0; trial < 1000; ++trial) {
    io.LoadFromFile(a);
    io.LoadFromFile(b);
    io.SaveToFile(out);
    io.WaitThreads(false);
    ASSERT_FALSE(io.Aborting()) << "trial " << trial;
    ASSERT_EQ(RGBToInt(callersBitmap.GetPixel24(2, 1)), RGBToInt(colourB)) << "trial " << trial;
    ASSERT_EQ(RGBToInt(LastPixelOf(out)), RGBToInt(colourB)) << "trial " << trial;
    std::filesystem::remove(out);
  }
}

TEST_F(IOThreadsTest, ACallFromOutsideWaitsForTheAsynchronousWork) {
  TTestIO io(nullptr);
  io.SetAttachedIEBitmap(&callersBitmap);
  io.SetAsynchronous(true);
  io.rowTime = 2ms;
  io.LoadFromFileTest("slow.tst");
  io.SetAsynchronous(false);
  io.LoadFromFileTest("now.tst");  // on this thread, after the worker's call
  EXPECT_EQ(io.calls, 2);
  EXPECT_EQ(io.mostAtOnce, 1);
  EXPECT_EQ(io.lastThread, GetCurrentThreadId());
  EXPECT_EQ(io.Params().FileName, "now.tst");
}

TEST_F(IOThreadsTest, WaitThreadsWithAbortStopsALongLoadAndDropsWaitingCalls) {
  TTestIO io(nullptr);
  io.SetAttachedIEBitmap(&callersBitmap);
  io.SetAsynchronous(true);
  io.rows = 100000;
  io.rowTime = 1ms;  // far longer than the test may take
  io.LoadFromFileTest("long.tst");
  io.LoadFromFileTest("queued.tst");
  while (io.running == 0) std::this_thread::sleep_for(1ms);
  const auto start = std::chrono::steady_clock::now();
  io.WaitThreads(true);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(io.calls, 1);  // the queued call never started
  EXPECT_FALSE(io.InWorkerThread());
}

TEST_F(IOThreadsTest, ACodecThatRaisesOnAWorkerLeavesAbortingSet) {
  TTestIO io(nullptr);
  io.SetAttachedIEBitmap(&callersBitmap);
  io.SetAsynchronous(true);
  io.codecRaises = true;
  io.LoadFromFileTest("bad.tst");
  io.WaitThreads(false);
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(io.finished, 1);
  // Nothing is left running: the next wait returns at once, and the next call works.
  io.WaitThreads(false);
  io.codecRaises = false;
  io.LoadFromFileTest("good.tst");
  io.WaitThreads(false);
  EXPECT_FALSE(io.Aborting());
}

TEST_F(IOThreadsTest, DestroyingTheComponentWaitsForItsWork) {
  std::atomic<bool> done{false};
  {
    TTestIO io(nullptr);
    io.SetAttachedIEBitmap(&callersBitmap);
    io.SetAsynchronous(true);
    io.rowTime = 2ms;
    io.OnFinishWork = [&](TObject*) { done = true; };
    io.LoadFromFileTest("a.tst");
  }
  EXPECT_TRUE(done);
  EXPECT_EQ(callersBitmap.Height(), 16);
}

TEST_F(IOThreadsTest, WithAViewTheWorkersPostToItsWindowCreatedOnTheUserInterfaceThread) {
  auto* form = new TForm(nullptr);
  auto* view = new iotest::FakeView(form);
  view->SetParent(form);
  ASSERT_FALSE(view->HandleAllocated());
  {
    TTestIO io(nullptr);
    io.SetAttachedZodazUr(view);
    io.SetAsynchronous(true);
    std::atomic<int> directProgress{0};
    io.OnProgress = [&](TObject*, int32_t) { ++directProgress; };
    io.OnFinishWork = [&](TObject*) { ++directProgress; };
    io.LoadFromFileTest("a.tst");
    // The worker needs the user-interface thread to create the window while this thread waits.
    io.WaitThreads(false);
    EXPECT_TRUE(view->HandleAllocated());
    EXPECT_EQ(directProgress, 0);  // never called on the worker: posted instead
    EXPECT_EQ(view->imageChanges, 1);  // on this thread, through a synchronised call
    EXPECT_TRUE(testsupport::WaitFor([&] {
      return !view->messages.empty() && view->messages.back() == IEM_FINISHWORK;
    }));
    EXPECT_NE(std::find(view->messages.begin(), view->messages.end(), IEM_UPDATE), view->messages.end());
    ASSERT_FALSE(view->progress.empty());
    EXPECT_EQ(view->progress.back(), 100);
    io.SetAttachedZodazUr(nullptr);
  }
  delete form;
}

TEST_F(IOThreadsTest, WithoutProgressHandlerAWorkerPostsNothing) {
  auto* form = new TForm(nullptr);
  auto* view = new iotest::FakeView(form);
  view->SetParent(form);
  {
    TTestIO io(nullptr);
    io.SetAttachedZodazUr(view);
    io.SetAsynchronous(true);
    io.LoadFromFileTest("a.tst");
    io.WaitThreads(false);
    Application->ProcessMessages();
    // Only the refresh: no progress and no finish without their handlers.
    EXPECT_EQ(view->messages, (std::vector<uint32_t>{IEM_UPDATE}));
    io.SetAttachedZodazUr(nullptr);
  }
  delete form;
}

TEST_F(IOThreadsTest, AViewWithoutParentGetsTheEventsOnTheWorker) {
  iotest::FakeView view(nullptr);
  TTestIO io(nullptr);
  io.SetAttachedZodazUr(&view);
  io.SetAsynchronous(true);
  std::atomic<TThreadID> progressThread{0};
  io.OnProgress = [&](TObject*, int32_t) { progressThread = GetCurrentThreadId(); };
  io.LoadFromFileTest("a.tst");
  io.WaitThreads(false);
  EXPECT_NE(progressThread.load(), 0u);
  EXPECT_NE(progressThread.load(), GetCurrentThreadId());
  EXPECT_FALSE(view.HandleAllocated());
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.imageChanges, 1);
  io.SetAttachedZodazUr(nullptr);
}

// A view that notes the threads its resolution is set on.
class DpiView : public iotest::FakeView {
 public:
  using iotest::FakeView::FakeView;
  void SetDpiX(int32_t Value) override {
    Note();
    iotest::FakeView::SetDpiX(Value);
  }
  void SetDpiY(int32_t Value) override {
    Note();
    iotest::FakeView::SetDpiY(Value);
  }
  std::set<TThreadID> threads;

 private:
  void Note() {
    std::lock_guard<std::mutex> lock(mutex_);
    threads.insert(GetCurrentThreadId());
  }
  std::mutex mutex_;
};

// The resolution an asynchronous load gives the attached view is set on the user-interface thread
// (the view reads it there meanwhile), inside the view's update lock, before the call is over:
// given through UpdateViewDPI or through the parameters' setters, with the refresh after it or
// without, with a window to post to or without. A setter of one axis leaves the view's other alone.
TEST_F(IOThreadsTest, TheViewsResolutionIsSetOnTheUserInterfaceThread) {
  using Road = TTestIO::DpiRoad;
  for (Road road : {Road::Update, Road::Setters, Road::SetterX})
    for (bool refresh : {true, false})
      for (bool parent : {true, false}) {
        SCOPED_TRACE(testing::Message() << "road " << static_cast<int>(road) << " refresh " << refresh << " parent "
                                        << parent);
        auto* form = new TForm(nullptr);
        auto* view = new DpiView(form);
        if (parent) view->SetParent(form);
        view->SetDpiY(72);  // the resolution it had before the load
        view->threads.clear();
        view->dpiSetInsideLock = true;
        {
          TTestIO io(nullptr);
          io.SetAttachedZodazUr(view);
          io.SetAsynchronous(true);
          io.dpi = 300;
          io.dpiRoad = road;
          io.refreshAfter = refresh;
          io.LoadFromFileTest("a.tst");
          io.WaitThreads(false);
          EXPECT_NE(io.lastThread, GetCurrentThreadId());  // the load ran on the worker
          EXPECT_EQ(view->DpiX(), 300);
          EXPECT_EQ(view->DpiY(), road == Road::SetterX ? 72 : 301);
          EXPECT_EQ(view->threads, std::set<TThreadID>{GetCurrentThreadId()});
          EXPECT_TRUE(view->dpiSetInsideLock);
          io.SetAttachedZodazUr(nullptr);
        }
        delete form;
      }
}

}  // namespace
