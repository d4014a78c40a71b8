#include "controls/xc_text_list_box.h"

#include <algorithm>
#include <cmath>

int32_t TabStopPixels(int32_t zeroWidth, int32_t tabWidth) {
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(zeroWidth) * tabWidth / 4.0));
}

TXcTextListBox::TXcTextListBox(TComponent* owner) : TXcExCustomListBox(owner) {}

int32_t TXcTextListBox::ItemTextWidth(int32_t index) {
  // Without its window the list has no canvas to measure with; the window's font measures all.
  if (index < 0 || index >= Items()->Count() || !HandleAllocated()) return 0;
  const std::string text = Items()->Get(index) + "x";
  TCanvas* canvas = Canvas();
  if (TabWidth() < 1) return canvas->TextWidth(text);
  const int32_t stop = TabStopPixels(canvas->TextWidth("0"), TabWidth());
  // The canvas selects its font for a measure; the tabbed extent reads the DC directly.
  const uint32_t extent =
      GetTabbedTextExtent(canvas->Handle(), text.data(), static_cast<int32_t>(text.size()), 1, &stop);
  return static_cast<int32_t>(extent & 0xFFFF);
}

void TXcTextListBox::ApplyScrollExtent() {
  Perform(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widestItemWidth_), 0);
}

void TXcTextListBox::MeasureAllItems() {
  int32_t widest = 0;
  for (int32_t i = 0; i < Items()->Count(); ++i) widest = std::max(widest, ItemTextWidth(i));
  widestItemWidth_ = widest;
  ApplyScrollExtent();
}

void TXcTextListBox::ScrollToLeft() { Perform(WM_HSCROLL, SB_TOP, 0); }

void TXcTextListBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFONT:
      TXcExCustomListBox::WndProc(m);
      Canvas()->Font()->Assign(*Font());
      MeasureAllItems();
      return;
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
      TXcExCustomListBox::WndProc(m);
      // A failed insertion (LB_ERR, LB_ERRSPACE) added nothing to measure.
      if (m.Result >= 0) {
        widestItemWidth_ = std::max(widestItemWidth_, ItemTextWidth(static_cast<int32_t>(m.Result)));
        ApplyScrollExtent();
      }
      return;
    case LB_DELETESTRING: {
      const auto index = static_cast<int32_t>(static_cast<intptr_t>(m.WParam));
      if (index >= 0 && index < Items()->Count() && ItemTextWidth(index) >= widestItemWidth_) {
        ScrollToLeft();
        TXcExCustomListBox::WndProc(m);
        MeasureAllItems();
        return;
      }
      TXcExCustomListBox::WndProc(m);
      return;
    }
    case LB_RESETCONTENT:
      widestItemWidth_ = 0;
      ApplyScrollExtent();
      ScrollToLeft();
      TXcExCustomListBox::WndProc(m);
      return;
    default: TXcExCustomListBox::WndProc(m); return;
  }
}
