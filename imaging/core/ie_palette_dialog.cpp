// The palette colour picker (ie_palette_dialog.h).
#include "imaging/core/ie_palette_dialog.h"

#include "platform/gdi/graphics.h"

namespace {

constexpr int32_t kCell = 16, kColumns = 32;

}  // namespace

TZodazUrPaletteDialog::TZodazUrPaletteDialog(TComponent* Owner) : TForm(Owner) {
  SetCaption("Palette");
  SetBorderStyle(bsDialog);
  SetBorderIcons(biSystemMenu);
  SetHeight(199);
  SetWidth(520);
  SetPosition(poScreenCenter);
  OnMouseMove = [this](TObject*, TShiftState, int X, int Y) { MouseMoveHandler(X, Y); };
  OnClick = [this](TObject*) { ClickHandler(); };
  cancelButton_ = new TButton(this);
  cancelButton_->SetParent(this);
  cancelButton_->SetCaption("&Cancel");
  cancelButton_->SetModalResult(mrCancel);
  cancelButton_->SetCancel(true);
  cancelButton_->SetLeft(4);
  cancelButton_->SetTop(136);
}

void TZodazUrPaletteDialog::SetPalette(const TIERGB* Palette, int32_t Count) {
  palette_ = Palette;
  paletteCount_ = Palette ? std::max(Count, 0) : 0;
  currentIndex_ = -1;
}

bool TZodazUrPaletteDialog::Execute() { return ShowModal() == mrOk; }

int32_t TZodazUrPaletteDialog::IndexAt(int32_t X, int32_t Y) const {
  // (X - 1) div 16 and (Y - 1) div 16, truncating; a pointer right of the last column or on no row
  // picks nothing rather than a cell of the next row.
  if (X < 1 || Y < 1) return -1;
  const int32_t column = (X - 1) / kCell, row = (Y - 1) / kCell;
  if (column >= kColumns) return -1;
  const int64_t index = int64_t{row} * kColumns + column;
  return index < paletteCount_ ? static_cast<int32_t>(index) : -1;
}

void TZodazUrPaletteDialog::PaintPalette(TCanvas& Canvas) {
  for (int32_t i = 0; i < paletteCount_; ++i) {
    const int32_t column = i % kColumns, row = i / kColumns;
    Canvas.Brush()->SetColor(RGBToTColor(palette_[i]));
    Canvas.Brush()->SetStyle(bsSolid);
    Canvas.Pen()->SetColor(i == currentIndex_ ? clBlack : clWhite);
    Canvas.Rectangle(kCell * column + 1, kCell * row + 1, kCell * column + kCell, kCell * row + kCell);
  }
}

void TZodazUrPaletteDialog::MouseMoveHandler(int32_t X, int32_t Y) {
  const int32_t index = IndexAt(X, Y);
  if (index < 0 || index == currentIndex_) return;
  currentIndex_ = index;
  Repaint();
}

void TZodazUrPaletteDialog::ClickHandler() {
  if (currentIndex_ < 0 || currentIndex_ >= paletteCount_) return;  // the pointer never rested on a cell
  selectedColor_ = RGBToTColor(palette_[currentIndex_]);
  SetModalResult(mrOk);
}

void TZodazUrPaletteDialog::PaintWindow(HDC dc) {
  TForm::PaintWindow(dc);
  TCanvas canvas;
  canvas.SetHandle(dc);
  PaintPalette(canvas);
  canvas.SetHandle(nullptr);
}
