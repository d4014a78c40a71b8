#pragma once
// The colour window the office colour button drops down: a tear-off window whose content is an
// office colour panel.
#include <functional>

#include "controls/xc_office_color_panel.h"
#include "controls/xc_office_drag_bar_form.h"

// Makes the content of a colour window, owned by the window.
using TXcColorFormContentClass = std::function<TControl*(TComponent* Owner)>;

class TXcOfficeColorForm : public TXcOfficeDragBarForm {
 public:
  // The content is made from contentClass (an office colour panel when none is given), set with a
  // flat border of width 0 and arranged.
  explicit TXcOfficeColorForm(TComponent* owner, const TXcColorFormContentClass& contentClass = nullptr);

  // The content as a colour panel (null when it is none).
  TXcOfficeColorPanel* ColorPanel() const;
  // Showing the bar again puts it back unless the form was dragged; switching it off after a drag
  // returns the form to its dropped-down shape. The content is arranged again either way.
  void SetShowDragBar(bool value) override;
};
