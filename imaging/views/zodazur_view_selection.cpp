// TZodazUrView: the selection state the view keeps from its construction on (the polygon record,
// the mask, the saved selections) and the drawing of the selection, which also counts down the
// delays of the zoom filter and of the mask outline on the 210 ms selection timer.
#include "imaging/core/ie_mask.h"
#include "imaging/views/zodazur_view.h"
#include "platform/ui/timers.h"

const TPoint* TZodazUrView::SelectionPolygon() {
  return polygon_.Points.empty() ? nullptr : polygon_.Points.data();
}

int32_t TZodazUrView::SelectionPolygonCount() { return static_cast<int32_t>(polygon_.Points.size()); }

void TZodazUrView::DrawSelection(TObject* Sender, bool FromTimer) {
  (void)FromTimer;
  if (!HasParentWindow() || !VisibleSelection) return;
  // An animated polygon that is shown advances its ants on the timer's ticks.
  bool animated = false;
  if (polygon_.Shown && polygon_.Animated) {
    animated = true;
    if (Sender == selectionTimer_.get()) polygon_.Phase = (polygon_.Phase + 1) % 10;
  }
  // The timer runs while something waits for it.
  if (Owner() || Parent()) {
    const bool needed = zoomFilterDelayCount_ > 0 || selectionDelayCount_ > 0 || animated;
    if (needed) CreateSelectionTimer();
    if (selectionTimer_) selectionTimer_->SetEnabled(needed);
  }
  if (zoomFilterDelayCount_ > 0) {
    --zoomFilterDelayCount_;
    if (zoomFilterDelayCount_ == 0) Update();
  }
  if (selectionDelayCount_ > 0) --selectionDelayCount_;
}
