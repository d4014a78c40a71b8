#include "controls/xc_office_color_form.h"

TXcOfficeColorForm::TXcOfficeColorForm(TComponent* owner, const TXcColorFormContentClass& contentClass)
    : TXcOfficeDragBarForm(owner) {
  TControl* content = contentClass ? contentClass(this) : new TXcOfficeColorPanel(this);
  SetContent(content);
  if (auto* panel = dynamic_cast<TXcCustomArrangePanel*>(content)) {
    panel->SetFlatBorder(true);
    panel->SetBorderWidth(0);
  }
  if (TXcOfficeColorPanel* panel = ColorPanel()) panel->ArrangeButtons();
  ArrangeContent();
}

TXcOfficeColorPanel* TXcOfficeColorForm::ColorPanel() const { return dynamic_cast<TXcOfficeColorPanel*>(Content()); }

void TXcOfficeColorForm::SetShowDragBar(bool value) {
  TXcOfficeDragBarForm::SetShowDragBar(value);
  if (value && !Dragged()) DragBar()->SetVisible(true);
  else if (!value && Dragged()) SetFloating(false);
  ArrangeContent();
}
