#pragma once
// The palette colour picker of the preview dialogs: a form built in code showing up to 256 palette
// entries as cells of 16 x 16 pixels, 32 to a row. The entry under the pointer is framed in black;
// a click picks it and closes the form with OK; "&Cancel" and Escape close it without a choice.
#include <cstdint>

#include "imaging/core/ie_rgb.h"
#include "platform/ui/forms.h"
#include "platform/ui/std_ctrls.h"

class TZodazUrPaletteDialog : public TForm {
 public:
  explicit TZodazUrPaletteDialog(TComponent* Owner);

  // The entries shown (not owned; they must outlive the dialog's use) and their number.
  void SetPalette(const TIERGB* Palette, int32_t Count);
  // Shows the form modally; true when it closed with OK (a cell was clicked).
  bool Execute();

  TButton* CancelButton() const { return cancelButton_; }
  int32_t CurrentIndex() const { return currentIndex_; }
  TColor SelectedColor() const { return selectedColor_; }
  void SetSelectedColor(TColor Value) { selectedColor_ = Value; }
  const TIERGB* Palette() const { return palette_; }
  int32_t PaletteCount() const { return paletteCount_; }

  // The entry under the client point (X, Y), or -1 outside the cells (right of the 32 columns,
  // below the last row, left of or above the first).
  int32_t IndexAt(int32_t X, int32_t Y) const;
  // Draws the cells on a canvas in client coordinates.
  void PaintPalette(TCanvas& Canvas);
  void MouseMoveHandler(int32_t X, int32_t Y);
  void ClickHandler();

 protected:
  void PaintWindow(HDC dc) override;

 private:
  TButton* cancelButton_ = nullptr;
  const TIERGB* palette_ = nullptr;
  int32_t paletteCount_ = 0;
  int32_t currentIndex_ = -1;
  TColor selectedColor_ = clBlack;
};
