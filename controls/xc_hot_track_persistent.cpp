#include "controls/xc_hot_track_persistent.h"

TXcHotTrackOptions::TXcHotTrackOptions(TPersistent* owner) : TXcPersistentProperty(owner) {}

void TXcHotTrackOptions::SetEnabled(bool value) { Change(enabled_, value, "Enabled"); }
void TXcHotTrackOptions::SetColor(TColor value) { Change(color_, value, "Color"); }
void TXcHotTrackOptions::SetFrameVisible(bool value) { Change(frameVisible_, value, "FrameVisible"); }
void TXcHotTrackOptions::SetFrameColor(TColor value) { Change(frameColor_, value, "FrameColor"); }

void TXcHotTrackOptions::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TXcHotTrackOptions*>(source);
  if (!other) {
    TXcPersistentProperty::Assign(source);
    return;
  }
  LockChanges();
  try {
    SetEnabled(other->Enabled());
    SetColor(other->Color());
    SetFrameVisible(other->FrameVisible());
    SetFrameColor(other->FrameColor());
  } catch (...) {
    UnlockChanges();
    throw;
  }
  UnlockChanges();
}
