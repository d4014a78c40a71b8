// TZodazUrMView: selecting images (one, or several with EnableMultiSelect), the mouse and key
// handlers, moving the selection, and playback one image after another on a one-shot timer.
#include <algorithm>
#include <mutex>

#include "imaging/core/ie_virtual_image_list.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/ui/forms.h"
#include "platform/ui/timers.h"
#include "platform/ui/window_dc.h"

namespace {

constexpr uintptr_t kPlayTimer = 1;

// Sets Flag for the lifetime of the object and puts the old value back.
class TFlagScope {
 public:
  TFlagScope(bool& Flag, bool Value) : flag_(Flag), old_(Flag) { Flag = Value; }
  ~TFlagScope() { flag_ = old_; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace

// ---------------------------------------------------------------------------------- events

void TZodazUrMView::DoImageSelect(int32_t Index) {
  if (userAction_ && OnImageSelect) OnImageSelect(this, Index);
}

void TZodazUrMView::DoImageDeselect(int32_t Index) {
  if (userAction_ && !destroying_ && OnImageDeselect) OnImageDeselect(this, Index);
}

void TZodazUrMView::DoViewChange(int32_t Change) {
  if (userAction_ && OnViewChange) OnViewChange(this, Change);
}

// ---------------------------------------------------------------------------------- selecting

void TZodazUrMView::SelectCore(int32_t Index) {
  selectionChanged_ = false;
  if (playing_ || Index < 0 || Index >= ImageCount()) return;
  if (selectedImage_ >= 0) ForgetSelectedBitmap(true);
  if (enableMultiSelect_) {
    auto it = std::find(multiSelection_.begin(), multiSelection_.end(), Index);
    if (!additive_) {
      for (int32_t i : multiSelection_) DoImageDeselect(i);
      multiSelection_.clear();
      selectionChanged_ = true;
    } else if (it != multiSelection_.end() &&
               (!(multiSelectionOptions_ & iemoLeaveOneSelected) || multiSelection_.size() > 1)) {
      DoImageDeselect(Index);
      multiSelection_.erase(it);
      selectionChanged_ = true;
      if (!range_) {
        selectedImage_ = -1;
        return;
      }
    }
    if (std::find(multiSelection_.begin(), multiSelection_.end(), Index) == multiSelection_.end())
      multiSelection_.push_back(Index);
    selectionChanged_ = true;
  }
  selectedImage_ = Index;
  selectionChanged_ = true;
  selectedBitmap_ = nullptr;
  CallBitmapChangeEvents();
  DoImageSelect(Index);
}

void TZodazUrMView::DeselectAll() {
  if (selectedImage_ >= 0) ForgetSelectedBitmap(true);
  if (enableMultiSelect_) {
    for (int32_t i : multiSelection_) DoImageDeselect(i);
    multiSelection_.clear();
  } else if (selectedImage_ >= 0) {
    DoImageDeselect(selectedImage_);
  }
  selectedImage_ = -1;
}

void TZodazUrMView::Deselect() {
  DeselectAll();
  UpdateEx(false);
}

void TZodazUrMView::SelectImage(int32_t Index) {
  if (playing_ || Index < 0 || Index >= ImageCount()) return;
  if (Index == selectedImage_ && !additive_) return;
  SelectCore(Index);
  UpdateEx(false);
}

bool TZodazUrMView::IsSelected(int32_t Index) {
  return Index == selectedImage_ ||
         std::find(multiSelection_.begin(), multiSelection_.end(), Index) != multiSelection_.end();
}

int32_t TZodazUrMView::GetMultiSelectedImage(int32_t Index) const {
  if (Index < 0 || Index >= static_cast<int32_t>(multiSelection_.size())) return -1;
  return multiSelection_[static_cast<size_t>(Index)];
}

void TZodazUrMView::SelectRange(int32_t From, int32_t To) {
  if (From < 0 || To < 0) return;
  auto selected = [this](int32_t i) {
    return std::find(multiSelection_.begin(), multiSelection_.end(), i) != multiSelection_.end();
  };
  if (multiSelectionOptions_ & iemoRegion) {
    const int32_t r1 = std::min(GetImageRow(From), GetImageRow(To)), r2 = std::max(GetImageRow(From), GetImageRow(To));
    const int32_t c1 = std::min(GetImageCol(From), GetImageCol(To)), c2 = std::max(GetImageCol(From), GetImageCol(To));
    for (int32_t r = r1; r <= r2; ++r)
      for (int32_t c = c1; c <= c2; ++c) {
        const int32_t i = IndexFromRowCol(r, c);
        if (i != From && i != To && !selected(i)) SelectCore(i);
      }
    return;
  }
  const int32_t step = To > From ? 1 : -1;
  for (int32_t i = From + step; i != To; i += step)
    if (!selected(i)) SelectCore(i);
}

void TZodazUrMView::SelectAt(int32_t X, int32_t Y, TShiftState Shift) {
  TFlagScope additive(additive_, additive_ || (Shift & (ssCtrl | ssShift)) != 0);
  const int32_t i = ImageAtPos(X, Y);
  if (i < 0) return;
  if (enableMultiSelect_ && (Shift & ssShift) && (i != selectedImage_ || additive_)) SelectRange(selectedImage_, i);
  SelectCore(i);
  if (visibleSelection_) UpdateEx(false);
  CallBitmapChangeEvents();
}

// ---------------------------------------------------------------------------------- mouse

void TZodazUrMView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TIEView::MouseDown(Button, Shift, X, Y);
  TFlagScope user(userAction_, true);
  if (doubleClicked_) {
    doubleClicked_ = false;
    return;
  }
  if (CanFocus()) SetFocus();
  pressX_ = X;
  pressY_ = Y;
  pressViewX_ = viewX_;
  pressViewY_ = viewY_;
  pressIndex_ = lastDragIndex_ = ImageAtPos(X, Y);
  rangeSelected_ = false;
  selectionChanged_ = false;
  mousePressed_ = true;
  if ((multiSelectionOptions_ & iemoSelectOnMouseUp) || Button != mbLeft || !(mouseInteract_ & mmiSelect)) return;
  const int32_t i = ImageAtPos(X, Y);
  if ((Shift & ssShift) && enableMultiSelect_) {
    // The run from the anchor: the anchor alone first, then the range added to it.
    TFlagScope r(range_, true);
    {
      TFlagScope a(additive_, false);
      DeselectAll();
      SelectCore(anchor_ >= 0 ? anchor_ : 0);
    }
    SelectAt(X, Y, ssShift);
    rangeSelected_ = true;
  } else if (i >= 0 && IsSelected(i)) {
    anchor_ = i;
  } else {
    anchor_ = i;
    SelectAt(X, Y, Shift);
  }
}

void TZodazUrMView::MouseMove(TShiftState Shift, int X, int Y) {
  TIEView::MouseMove(Shift, X, Y);
  TFlagScope user(userAction_, true);
  if (!MouseCapture() || !mousePressed_) return;
  if ((mouseInteract_ & mmiSelect) && enableMultiSelect_) {
    const int32_t i = ImageAtPos(X, Y);
    if (i != -1 && i != lastDragIndex_) {
      lastDragIndex_ = i;
      // A run from the pressed image to the one under the mouse.
      {
        TFlagScope r(range_, true);
        DeselectAll();
        SelectCore(pressIndex_ >= 0 ? pressIndex_ : 0);
        TFlagScope a(additive_, true);
        SelectAt(X, Y, ssShift);
      }
      rangeSelected_ = true;
    }
  }
  if ((mouseInteract_ & mmiScroll) && (X != pressX_ || Y != pressY_)) {
    SetViewXY(pressViewX_ + pressX_ - X, pressViewY_ + pressY_ - Y);
    DoViewChange(0);
  }
}

void TZodazUrMView::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TIEView::MouseUp(Button, Shift, X, Y);
  TFlagScope user(userAction_, true);
  if (!mousePressed_) return;
  mousePressed_ = false;
  if (playing_ || Button != mbLeft) return;
  if ((multiSelectionOptions_ & iemoSelectOnMouseUp) && !rangeSelected_ && (mouseInteract_ & mmiSelect))
    SelectAt(X, Y, Shift);
  else if (!(multiSelectionOptions_ & iemoSelectOnMouseUp) && (mouseInteract_ & mmiSelect) && !selectionChanged_)
    SelectAt(X, Y, Shift);
  if (mouseInteract_ & mmiScroll) SetViewXY(pressViewX_ + pressX_ - X, pressViewY_ + pressY_ - Y);
}

// ---------------------------------------------------------------------------------- keys

void TZodazUrMView::KeyDown(uint16_t& Key, TShiftState Shift) {
  TIEView::KeyDown(Key, Shift);
  TFlagScope user(userAction_, true);
  if (playing_ || !(keyInteract_ & mkiMoveSelected)) return;
  const bool extend = enableMultiSelect_ && (Shift & (ssCtrl | ssShift));
  TFlagScope a(additive_, additive_ || extend);
  TFlagScope r(range_, range_ || extend);
  int32_t direction;
  switch (Key) {
    case VK_PRIOR: direction = 7; break;
    case VK_NEXT: direction = 6; break;
    case VK_END: direction = 5; break;
    case VK_HOME: direction = 4; break;
    case VK_LEFT: direction = 0; break;
    case VK_UP: direction = 2; break;
    case VK_RIGHT: direction = 1; break;
    case VK_DOWN: direction = 3; break;
    default: return;
  }
  MoveSelection(direction);
  DoViewChange(0);
  if (enableMultiSelect_ && !(Shift & (ssCtrl | ssShift))) anchor_ = selectedImage_;
  UpdateEx(false);
}

void TZodazUrMView::ScrollIntoView(int32_t Index, int32_t Direction) {
  if (Index < 0 || IsImageVisible(Index) == 2) return;
  const int32_t x = GetImageX(Index), y = GetImageY(Index);
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  switch (Direction) {
    case 0: SetViewXY(x - horizBorder_, y - vertBorder_); break;
    case 1: SetViewXY(x + thumbWidth_ + horizBorder_ - cw, y + thumbHeight_ + vertBorder_ - ch); break;
    case 2:
    case 7:
      SetViewY(y - vertBorder_);
      if (IsImageVisible(Index) != 2) SetViewX(x - horizBorder_);
      break;
    case 4: SetViewXY(0, 0); break;
    default:  // down, last, page down
      SetViewY(y + thumbHeight_ + vertBorder_ - ch);
      if (IsImageVisible(Index) != 2) SetViewX(x + thumbWidth_ + horizBorder_ - cw);
      break;
  }
}

void TZodazUrMView::MoveSelection(int32_t Direction) {
  const int32_t count = ImageCount();
  if (count == 0) return;
  const int32_t s = selectedImage_, c = ColumnCount();
  const int32_t step = vertBorder_ + thumbHeight_;
  const int32_t page = c * (step > 0 ? (ClientHeight() - vertBorder_) / step : 0);
  int32_t target = -1;
  switch (Direction) {
    case 0: if (s >= 0) target = s - 1; break;
    case 1: target = s + 1; break;
    case 2:
      if (s >= 0) {
        if (gridWidth_ == 0) target = s - 1;
        else if (s - c >= 0) target = s - c;
      }
      break;
    case 3:
      if (gridWidth_ == 0) target = s + 1;
      else if (s + c < count) target = s + c;
      break;
    case 4: target = 0; break;
    case 5: target = count - 1; break;
    case 6: target = std::min(s + page, count - 1); break;
    case 7: if (s >= 0) target = std::max(s - page, 0); break;
    default: return;
  }
  if (target < 0 || target >= count) return;
  SelectImage(target);
  ScrollIntoView(selectedImage_, Direction);
}

// ---------------------------------------------------------------------------------- messages

void TZodazUrMView::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case IEM_THUMBLOADED: {
      StoreFinishedLoads();
      std::vector<TRect> late;
      late.swap(lateCells_);
      if (HandleAllocated())
        for (const TRect& cell : late) ::InvalidateRect(Handle(), &cell, false);
      return;
    }
    case WM_ERASEBKGND:
      Message.Result = 0;
      return;
    case WM_HSCROLL:
      WMScroll(Message, true);
      return;
    case WM_VSCROLL:
      WMScroll(Message, false);
      return;
    case WM_MOUSEWHEEL:
      WMMouseWheelView(Message);
      return;
    case WM_LBUTTONDBLCLK:
      doubleClicked_ = true;
      TIEView::Dispatch(Message);
      return;
    case WM_TIMER:
      if (Message.WParam == kPlayTimer) {
        PlayStep();
        return;
      }
      TIEView::Dispatch(Message);
      return;
    case CM_WANTSPECIALKEY:
      if (Message.WParam >= 33 && Message.WParam <= 40) {
        Message.Result = 1;
        return;
      }
      TIEView::Dispatch(Message);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TIEView::Dispatch(Message);
      Invalidate();
      return;
    default:
      TIEView::Dispatch(Message);
      return;
  }
}

// ---------------------------------------------------------------------------------- playback

void TZodazUrMView::StopPlaying() {
  if (playing_) SetPlaying(false);
}

void TZodazUrMView::SetDisplayMode(TIEMDisplayMode Value) {
  if (playing_) {
    savedDisplayMode_ = Value;
    return;
  }
  displayMode_ = Value;
  Update();
}

void TZodazUrMView::SetPlaying(bool Value) {
  if (Value == playing_) return;
  if (Value) {
    savedDisplayMode_ = displayMode_;
    savedSelection_ = selectedImage_;
    Deselect();
  }
  playing_ = Value;
  PlayStep();
  if (!playing_) {
    SetDisplayMode(savedDisplayMode_);
    SelectImage(savedSelection_);
  }
}

void TZodazUrMView::PlayStep() {
  if (inStep_ || destroying_) return;
  TFlagScope guard(inStep_, true);
  if (playTimerInterval_ != 0 && HandleAllocated()) KillTimer(Handle(), kPlayTimer);
  playTimerInterval_ = 0;
  if (!playing_) return;
  if (displayMode_ != mdSingle) {
    displayMode_ = mdSingle;
    Update();
  }
  const int32_t count = ImageCount();
  currentFrame_ = std::min(currentFrame_, count - 1);
  if (count == 0) {
    currentFrame_ = 0;
    return;
  }
  currentFrame_ = std::max(currentFrame_, 0);
  if (OnPlayFrame) OnPlayFrame(this, currentFrame_);
  const int32_t shown = currentFrame_;
  if (HandleAllocated()) {
    Invalidate();
    UpdateWindow(Handle());
    ValidateRect(Handle(), nullptr);
  }
  if (currentFrame_ == count - 1) {
    currentFrame_ = 0;
    CallBitmapChangeEvents();
    if (!loop_) {
      playing_ = false;
      return;
    }
  } else {
    ++currentFrame_;
  }
  const uint32_t interval = static_cast<uint32_t>(std::max(GetImageDelayTime(shown), 10));
  if (HandleAllocated()) {
    SetTimer(Handle(), kPlayTimer, interval);
    playTimerInterval_ = interval;
  }
}
