// The view base: resolution, frame parameters, the abstract slots and the bitmap-change callbacks,
// including registrants that remove registrations from inside a callback.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "imaging/views/ie_view.h"
#include "platform/system/exception.h"
#include "platform/ui/messages.h"

namespace {

class CountingView : public TIEView {
 public:
  using TIEView::TIEView;
  int creates = 0;
  TCreateParams last;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TIEView::CreateParams(Params);
    ++creates;
    last = Params;
  }
};

TEST(IEView, ConstructionDefaults) {
  TIEView v(nullptr);
  EXPECT_EQ(v.Background(), clBtnFace);
  EXPECT_EQ(v.BorderStyle(), bsSingle);
  EXPECT_TRUE(v.Ctl3D());
  EXPECT_EQ(v.DpiX(), 0);
  EXPECT_EQ(v.DpiY(), 0);
  EXPECT_EQ(v.GetIEBitmap(), nullptr);
  EXPECT_EQ(v.GetBitmap(), nullptr);
  const TControlStyle want = csAcceptsControls | csOpaque | csReplicatable | csNeedsBorderPaint;
  EXPECT_EQ(v.ControlStyle() & want, want);
  EXPECT_FALSE(v.ControlStyle() & csFramed);
}

TEST(IEView, ZeroResolutionIsIgnored) {
  TIEView v(nullptr);
  v.SetDpi(300, 150);
  EXPECT_EQ(v.DpiX(), 300);
  EXPECT_EQ(v.DpiY(), 150);
  v.SetDpi(0, 0);
  EXPECT_EQ(v.DpiX(), 300);
  EXPECT_EQ(v.DpiY(), 150);
  v.SetDpi(0, 72);
  EXPECT_EQ(v.DpiX(), 300);
  EXPECT_EQ(v.DpiY(), 72);
}

TEST(IEView, AbstractSlotsRaiseTheAbstractError) {
  TIEView v(nullptr);
  EXPECT_THROW(v.GetAlphaChannel(), EAbstractError);
  EXPECT_THROW(v.HasAlphaChannel(), EAbstractError);
  EXPECT_THROW(v.RemoveAlphaChannel(), EAbstractError);
  EXPECT_THROW(v.LockPaint(), EAbstractError);
  EXPECT_THROW(v.UnlockPaint(), EAbstractError);
  EXPECT_THROW(v.UnlockPaintNoUpdate(), EAbstractError);
}

TEST(IEView, FrameFollowsBorderStyleAndCtl3D) {
  struct Case {
    TBorderStyle border;
    bool ctl3d;
    bool clientEdge;
    bool border1;
  } cases[] = {{bsSingle, true, true, false}, {bsSingle, false, false, true}, {bsNone, true, false, false},
               {bsNone, false, false, false}};
  for (const Case& c : cases) {
    CountingView v(nullptr);
    v.SetBorderStyle(c.border);
    v.SetCtl3D(c.ctl3d);
    v.HandleNeeded();
    EXPECT_EQ((v.last.ExStyle & WS_EX_CLIENTEDGE) != 0, c.clientEdge) << c.border << c.ctl3d;
    EXPECT_EQ((v.last.Style & WS_BORDER) != 0, c.border1) << c.border << c.ctl3d;
    EXPECT_EQ(v.last.WindowClassStyle & (CS_HREDRAW | CS_VREDRAW), 0u);
  }
}

TEST(IEView, BorderAndCtl3DRecreateTheWindowOnlyOnAChange) {
  CountingView v(nullptr);
  v.HandleNeeded();
  ASSERT_TRUE(v.HandleAllocated());
  const int base = v.creates;
  // A recreated window without a parent is made again when next needed.
  auto set = [&](auto f) {
    f();
    v.HandleNeeded();
    return v.creates - base;
  };
  EXPECT_EQ(set([&] { v.SetBorderStyle(bsSingle); }), 0);
  EXPECT_EQ(set([&] { v.SetCtl3D(true); }), 0);
  EXPECT_EQ(set([&] { v.SetBorderStyle(bsNone); }), 1);
  EXPECT_EQ(set([&] { v.SetCtl3D(false); }), 2);
  EXPECT_EQ(set([&] { v.SetCtl3D(false); }), 2);
  EXPECT_EQ(set([&] { v.SetBorderStyle(bsNone); }), 2);
}

using Log = std::vector<std::string>;

TEST(IEView, CallbacksRunInOrderAndDestructionNotifiesEachOnce) {
  Log log;
  {
    TIEView v(nullptr);
    v.AddBitmapChangeEvent([&](TObject* s, bool d) {
      EXPECT_EQ(s, static_cast<TObject*>(&v));
      log.push_back(std::string("a") + (d ? "!" : ""));
    });
    v.AddBitmapChangeEvent([&](TObject*, bool d) { log.push_back(std::string("b") + (d ? "!" : "")); });
    v.CallBitmapChangeEvents();
    v.RemoveBitmapChangeEvent(nullptr);
    v.RemoveBitmapChangeEvent(reinterpret_cast<TIEBitmapChangeHandle>(uintptr_t{12345}));
    EXPECT_EQ(v.BitmapChangeEventCount(), 2);
  }
  EXPECT_EQ(log, (Log{"a", "b", "a!", "b!"}));
}

TEST(IEView, HandlesAreNeverReused) {
  TIEView v(nullptr);
  int calls = 0;
  TIEBitmapChangeHandle h1 = v.AddBitmapChangeEvent([&](TObject*, bool) { ++calls; });
  v.RemoveBitmapChangeEvent(h1);
  TIEBitmapChangeHandle h2 = v.AddBitmapChangeEvent([&](TObject*, bool) { ++calls; });
  EXPECT_NE(h1, h2);
  v.RemoveBitmapChangeEvent(h1);  // stale: must not remove the new registration
  v.CallBitmapChangeEvents();
  EXPECT_EQ(calls, 1);
  v.RemoveBitmapChangeEvent(h2);
}

// Registrants that change the list from inside a callback, in a normal and in the destroying round.
TEST(IEView, RemovalAndAdditionInsideACallback) {
  struct Case {
    const char* name;
    bool destroying;
    Log want;  // of the destroying round alone
  } cases[] = {
      {"normal", false, {}},
      {"destroying", true, {"self!", "removesC!", "b!", "d!", "added!"}},
  };
  for (const Case& c : cases) {
    Log log;
    {
      auto v = std::make_unique<TIEView>(nullptr);
      TIEView* view = v.get();
      TIEBitmapChangeHandle self = nullptr, cHandle = nullptr;
      bool added = false;
      auto tag = [&](const char* n, bool d) { log.push_back(std::string(n) + (d ? "!" : "")); };
      self = view->AddBitmapChangeEvent([&, view](TObject*, bool d) {
        tag("self", d);
        view->RemoveBitmapChangeEvent(self);  // its own handle, after which it is never called again
        if (!added) {
          added = true;
          view->AddBitmapChangeEvent([&](TObject*, bool d2) { tag("added", d2); });
        }
      });
      view->AddBitmapChangeEvent([&, view](TObject*, bool d) {
        tag("removesC", d);
        view->RemoveBitmapChangeEvent(cHandle);
      });
      view->AddBitmapChangeEvent([&](TObject*, bool d) { tag("b", d); });
      cHandle = view->AddBitmapChangeEvent([&](TObject*, bool d) { tag("c", d); });
      view->AddBitmapChangeEvent([&](TObject*, bool d) { tag("d", d); });
      if (!c.destroying) {
        view->CallBitmapChangeEvents();
        // The self-removed registrant is gone from now on; re-add it so the destroying round has it.
        self = view->AddBitmapChangeEvent([&](TObject*, bool d) { tag("self", d); });
      }
      v.reset();
    }
    if (c.destroying) EXPECT_EQ(log, c.want) << c.name;
    else {
      // Normal round: self, removesC (c removed), b, d; "added" waits for the next round.
      Log first(log.begin(), log.begin() + 4);
      EXPECT_EQ(first, (Log{"self", "removesC", "b", "d"})) << c.name;
      // Destroying round: every remaining registrant once, "added" and the re-added self included.
      Log rest(log.begin() + 4, log.end());
      std::sort(rest.begin(), rest.end());
      EXPECT_EQ(rest, (Log{"added!", "b!", "d!", "removesC!", "self!"})) << c.name;
    }
  }
}

TEST(IEView, RegistrationDuringTheDestroyingRoundIsNotifiedOnce) {
  int lateCalls = 0;
  {
    TIEView v(nullptr);
    v.AddBitmapChangeEvent([&](TObject*, bool d) {
      if (d) v.AddBitmapChangeEvent([&](TObject*, bool d2) { lateCalls += d2 ? 1 : 100; });
    });
  }
  EXPECT_EQ(lateCalls, 1);
}

TEST(IEView, MouseEnterAndLeaveAreTheControlsEvents) {
  TIEView v(nullptr);
  int enters = 0, leaves = 0;
  v.OnMouseEnter = [&](TObject* s) { enters += s == &v; };
  v.OnMouseLeave = [&](TObject* s) { leaves += s == &v; };
  v.Perform(CM_MOUSEENTER, 0, 0);
  v.Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(leaves, 1);
}

}  // namespace
