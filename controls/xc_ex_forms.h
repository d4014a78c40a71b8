#pragma once
// The extended form: a form with the hook set, events and highlight frame of the control extension
// bases, which keeps the keyboard cues (focus rectangles, accelerator underlines) in step with the
// keys the user presses.
#include "controls/xc_ex_controls.h"
#include "platform/ui/forms.h"

extern template class TXcExControl<TCustomForm>;
extern template class TXcExWindowed<TCustomForm>;

class TXcExForm : public TXcExWindowed<TCustomForm> {
 public:
  explicit TXcExForm(TComponent* owner);

 protected:
  // Becoming visible, the cue state is computed afresh first (WM_CHANGEUISTATE, UIS_INITIALIZE).
  void CMShowingChanged(TMessage& message) override;
  // Tab and the arrow keys show the focus rectangles, Alt those and the accelerator underlines.
  void CMDialogKey(TMessage& message) override;
};
