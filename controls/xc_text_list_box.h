#pragma once
// A list box whose horizontal scroll range always fits its widest line, so that long items (file
// names with their folders) can be scrolled into view. Tabs are measured with the list's tab width.
#include <cstdint>

#include "controls/xc_ex_controls.h"

// The tab stop in pixels for a "0" of zeroWidth pixels and a tab width in quarters of it: the
// nearest integer to zeroWidth x tabWidth / 4, halves to even.
int32_t TabStopPixels(int32_t zeroWidth, int32_t tabWidth);

class TXcTextListBox : public TXcExCustomListBox {
 public:
  explicit TXcTextListBox(TComponent* owner);
  void WndProc(TMessage& message) override;

  int32_t WidestItemWidth() const { return widestItemWidth_; }
  // The item's text with one "x" appended, measured in the list's canvas font (tabs at the list's
  // tab stop when TabWidth is 1 or more); 0 before the list has its window.
  int32_t ItemTextWidth(int32_t index);
  // Gives the list its horizontal extent (LB_SETHORIZONTALEXTENT) of WidestItemWidth.
  void ApplyScrollExtent();
  // WidestItemWidth over all items (0 for none), then ApplyScrollExtent.
  void MeasureAllItems();

 private:
  void ScrollToLeft();
  int32_t widestItemWidth_ = 0;
};
