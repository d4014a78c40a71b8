#include "controls/xc_arrange_settings.h"

#include <algorithm>

#include "platform/system/debug_log.h"

const char* const kArrangeSettingsFreedText =
    "Your code tried to destroy the TXcPanel.ArrangeSettings objects leaving the panel in a broken state. "
    "Please fix your code by adding\r\n\r\n"
    "    if not ((Components[I] is TXcArrangeSettings) or\r\n"
    "            (Components[I] is TXcPanelHotTrackOptions)) then\r\n\r\n"
    "or by using the Controls[] array property if possible.";

TXcArrangeSettings::TXcArrangeSettings(TPersistent* owner) : TXcPersistentProperty(owner) {}

TXcArrangeSettings::~TXcArrangeSettings() {
  // A destructor must not throw: the mistake is told in the debug log, and the panel, told by the
  // component removal, takes new settings of its own.
  auto* panel = dynamic_cast<TComponent*>(PersistentOwner());
  if (panel && dynamic_cast<IArrangeable*>(panel) && !(panel->ComponentState() & csDestroying))
    OutputDebugString(kArrangeSettingsFreedText);
}

void TXcArrangeSettings::SetAutoArrange(bool value) { Change(autoArrange_, value, "AutoArrange"); }
void TXcArrangeSettings::SetAutoSize(TXcAutoSizePanel value) { Change(autoSize_, value, "AutoSize"); }
void TXcArrangeSettings::SetWrapControls(bool value) { Change(wrapControls_, value, "WrapControls"); }
void TXcArrangeSettings::SetBorderLeft(int32_t value) { Change(borderLeft_, value, "BorderLeft"); }
void TXcArrangeSettings::SetBorderTop(int32_t value) { Change(borderTop_, value, "BorderTop"); }
void TXcArrangeSettings::SetDistanceVertical(int32_t value) { Change(distanceVertical_, value, "DistanceVertical"); }
void TXcArrangeSettings::SetDistanceHorizontal(int32_t value) {
  Change(distanceHorizontal_, value, "DistanceHorizontal");
}
void TXcArrangeSettings::SetMaxWidth(int32_t value) { Change(maxWidth_, value, "MaxWidth"); }
void TXcArrangeSettings::SetVerticalAlignment(TXcArrangeSettingsVAlignment value) {
  Change(verticalAlignment_, value, "VerticalAlignment");
}
void TXcArrangeSettings::SetHorizontalAlignment(TXcArrangeSettingsHAlignment value) {
  Change(horizontalAlignment_, value, "HorizontalAlignment");
}
void TXcArrangeSettings::SetMaxControlsPerLine(int32_t value) {
  Change(maxControlsPerLine_, value, "MaxControlsPerLine");
}
void TXcArrangeSettings::SetHorizontalAlignLines(bool value) {
  Change(horizontalAlignLines_, value, "HorizontalAlignLines");
}

void TXcArrangeSettings::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TXcArrangeSettings*>(source);
  if (!other) {
    TXcPersistentProperty::Assign(source);
    return;
  }
  LockChanges();
  try {
    SetAutoArrange(other->AutoArrange());
    SetAutoSize(other->AutoSize());
    SetWrapControls(other->WrapControls());
    SetBorderLeft(other->BorderLeft());
    SetBorderTop(other->BorderTop());
    SetDistanceVertical(other->DistanceVertical());
    SetDistanceHorizontal(other->DistanceHorizontal());
    showNotVisibleAtDesignTime_ = other->ShowNotVisibleAtDesignTime();
    SetMaxWidth(other->MaxWidth());
    SetMaxControlsPerLine(other->MaxControlsPerLine());
    SetVerticalAlignment(other->VerticalAlignment());
    SetHorizontalAlignment(other->HorizontalAlignment());
    SetHorizontalAlignLines(other->HorizontalAlignLines());
  } catch (...) {
    UnlockChanges();
    throw;
  }
  UnlockChanges();
}

// ------------------------------------------------------------------------------------------- layout

TXcArrangement ArrangeItems(const TXcArrangeSettings& s, int32_t width, int32_t height, int32_t clientWidth,
                            int32_t clientHeight, int32_t widestChild, const std::vector<TXcArrangeItem>& items) {
  const int32_t bl = s.BorderLeft(), bt = s.BorderTop(), dh = s.DistanceHorizontal(), dv = s.DistanceVertical();
  const int32_t maxWidth = s.MaxWidth(), perLine = s.MaxControlsPerLine();
  const bool autoW = s.AutoSize() == asWidth || s.AutoSize() == asBoth;
  const bool autoH = s.AutoSize() == asHeight || s.AutoSize() == asBoth;
  TXcArrangement out;
  out.Bounds.assign(items.size(), TRect());
  out.Placed.assign(items.size(), false);
  int32_t w = std::max(width, widestChild + 2 * bl);
  if (maxWidth > 0 && maxWidth < w) w = maxWidth;
  int32_t x = bl, y = bt, lineHeight = -1;
  int32_t r = autoW ? width - 2 * bl : -1;
  int32_t b = autoH ? height - 2 * bt : -1;
  int32_t inRow = 0;
  // The row each placed item starts or continues, for the row centring.
  std::vector<size_t> rowStarts;
  for (size_t i = 0; i < items.size(); ++i) {
    const TXcArrangeItem& item = items[i];
    if (!item.Visible) continue;
    const int32_t need = item.Width + x + dh + bl;
    const bool room = perLine <= 0 || inRow < perLine;
    const bool fits = ((need <= w || autoW) && (maxWidth <= 0 || need <= maxWidth)) || x <= bl || !s.WrapControls();
    if (room && fits) {
      ++inRow;
      if (rowStarts.empty()) rowStarts.push_back(i);
    } else {
      x = bl;
      y = y + lineHeight + dv;
      lineHeight = -1;
      inRow = 1;
      rowStarts.push_back(i);
    }
    out.Bounds[i] = Bounds(x, y, item.Width, item.Height);
    out.Placed[i] = true;
    x += item.Width;
    r = std::max(r, x);
    x += dh;
    lineHeight = std::max(lineHeight, item.Height);
    b = y + lineHeight;
  }
  int32_t dx = 0, dy = 0;
  if (!autoH) {
    if (s.VerticalAlignment() == asVCenter) dy = (clientHeight - b) / 2;
    else if (s.VerticalAlignment() == asBottom) dy = clientHeight - b;
  }
  if (!autoW) {
    if (s.HorizontalAlignment() == asCenter) dx = (clientWidth - r) / 2;
    else if (s.HorizontalAlignment() == asRight) dx = clientWidth - r;
  }
  for (size_t row = 0; row < rowStarts.size(); ++row) {
    size_t first = rowStarts[row];
    size_t end = row + 1 < rowStarts.size() ? rowStarts[row + 1] : items.size();
    int32_t shift = 0;
    if (s.HorizontalAlignLines()) {
      size_t last = first;
      for (size_t i = first; i < end; ++i)
        if (out.Placed[i]) last = i;
      shift = (r - (out.Bounds[last].Right - out.Bounds[first].Left)) / 2;
    }
    for (size_t i = first; i < end; ++i)
      if (out.Placed[i]) OffsetRect(out.Bounds[i], dx + shift, dy);
  }
  out.RightExtent = r;
  out.BottomExtent = b;
  int32_t h = height;
  if (autoW) w = r < 0 ? 0 : (maxWidth > 0 && maxWidth <= r) ? maxWidth : bl + r;
  if (autoH) h = b < 0 ? 0 : bt + b;
  out.Width = w;
  out.Height = h;
  return out;
}
