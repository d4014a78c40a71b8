#pragma once
// The common controls the windows use: page controls with tab sheets, track bars, progress bars,
// status bars and up-down buttons.
#include <memory>
#include <string>
#include <vector>

#include "platform/system/classes.h"
#include "platform/ui/controls.h"

class TPageControl;

// One page of a page control: a window that takes the page control's display area while it is the
// active page. TabVisible false leaves it without a tab (and never shown).
class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* value);
  int PageIndex() const;
  void SetPageIndex(int value);
  // The index among the pages with visible tabs, -1 without a tab.
  int TabIndex() const;
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value) { imageIndex_ = value; }
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

 void SetParent(TWinControl* parent) override;

 protected:
  void CMTextChanged(TMessage& message) override;
  void CMShowingChanged(TMessage& message) override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
  int imageIndex_ = -1;
};

enum TTabPosition : uint8_t { tpTop, tpBottom, tpLeft, tpRight };
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// Tabs above a display area in which the active page shows. The user's change of tab asks
// OnChanging first and fires OnChange after; setting ActivePage in code fires neither.
class TPageControl : public TWinControl {
 public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int index) const { return pages_.at(static_cast<size_t>(index)); }
  TTabSheet* ActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const { return activePage_ ? activePage_->PageIndex() : -1; }
  void SetActivePageIndex(int index);
  // The active page's tab among the visible tabs.
  int TabIndex() const { return activePage_ ? activePage_->TabIndex() : -1; }
  TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible);
  void SelectNextPage(bool goForward, bool checkTabVisible = true);
  TTabPosition TabPosition() const { return tabPosition_; }
  void SetTabPosition(TTabPosition value);
  // The area the pages take, in client coordinates.
  TRect DisplayRect();
  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

  // Internal: a tab was chosen by the user (index among the visible tabs).
  void TabChosen(int tabIndex);

 protected:
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void AdjustClientRect(TRect& rect) override;
  void PaintWindow(HDC dc) override;
  void CMDialogKey(TMessage& message) override;
  virtual bool CanChange();
  virtual void Change();

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void UpdateTabs();
  void ShowPages();
  int TabHeight();
  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
  TTabPosition tabPosition_ = tpTop;
  int syncing_ = 0;
};

enum TTrackBarOrientation : uint8_t { trHorizontal, trVertical };
enum TTickMark : uint8_t { tmBottomRight, tmTopLeft, tmBoth };
enum TTickStyle : uint8_t { tsNone, tsAuto, tsManual };

// A slider with a position between Min and Max; every change of Position (the user's or the
// program's) fires OnChange.
class TTrackBar : public TWinControl {
 public:
  explicit TTrackBar(TComponent* owner);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetMin(int value) { SetParams(position_, value, max_); }
  void SetMax(int value) { SetParams(position_, min_, value); }
  void SetPosition(int value) { SetParams(value, min_, max_); }
  void SetParams(int position, int min, int max);
  int Frequency() const { return frequency_; }
  void SetFrequency(int value);
  int LineSize() const { return lineSize_; }
  void SetLineSize(int value);
  int PageSize() const { return pageSize_; }
  void SetPageSize(int value);
  TTrackBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation value);
  TTickMark TickMarks() const { return tickMarks_; }
  void SetTickMarks(TTickMark value);
  TTickStyle TickStyle() const { return tickStyle_; }
  void SetTickStyle(TTickStyle value);
  int SelStart() const { return selStart_; }
  void SetSelStart(int value) { selStart_ = value; }
  int SelEnd() const { return selEnd_; }
  void SetSelEnd(int value) { selEnd_ = value; }
  bool SliderVisible() const { return sliderVisible_; }
  void SetSliderVisible(bool value);
  TNotifyEvent OnChange;

 protected:
  void* CreateWidget() override;
  void ApplyWidgetState() override;
  void Dispatch(TMessage& message) override;
  void WMGetDlgCode(TMessage& message) override;
  virtual void Changed();

 private:
  int min_ = 0, max_ = 10, position_ = 0, frequency_ = 1, lineSize_ = 1, pageSize_ = 2;
  int selStart_ = 0, selEnd_ = 0;
  TTrackBarOrientation orientation_ = trHorizontal;
  TTickMark tickMarks_ = tmBottomRight;
  TTickStyle tickStyle_ = tsAuto;
  bool sliderVisible_ = true;
  int syncing_ = 0;
};

enum TProgressBarOrientation : uint8_t { pbHorizontal, pbVertical };

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* owner);
  int Min() const { return min_; }
  void SetMin(int value);
  int Max() const { return max_; }
  void SetMax(int value);
  int Position() const { return position_; }
  void SetPosition(int value);
  int Step() const { return step_; }
  void SetStep(int value) { step_ = value; }
  void StepIt();
  void StepBy(int delta) { SetPosition(position_ + delta); }
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool value) { smooth_ = value; }
  TProgressBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TProgressBarOrientation value);

 protected:
  void* CreateWidget() override;
  void ApplyWidgetState() override;

 private:
  int min_ = 0, max_ = 100, position_ = 0, step_ = 10;
  bool smooth_ = false;
  TProgressBarOrientation orientation_ = pbHorizontal;
};

enum TStatusPanelStyle : uint8_t { psText, psOwnerDraw };
enum TStatusPanelBevel : uint8_t { pbNone, pbLowered, pbRaised };

class TStatusPanel : public TCollectionItem {
 public:
  explicit TStatusPanel(TCollection* collection) : TCollectionItem(collection) {}
  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TStatusPanelBevel Bevel() const { return bevel_; }
  void SetBevel(TStatusPanelBevel value);
  TStatusPanelStyle Style() const { return style_; }
  void SetStyle(TStatusPanelStyle value);

 private:
  std::string text_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  TStatusPanelBevel bevel_ = pbLowered;
  TStatusPanelStyle style_ = psText;
};

class TStatusBar;
using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

// A bar at the bottom of a window with panels of text (or, SimplePanel, one text across it).
class TStatusBar : public TCustomControl {
 public:
  explicit TStatusBar(TComponent* owner);
  ~TStatusBar() override;
  TCollectionOf<TStatusPanel>* Panels() { return panels_.get(); }
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool value);
  const std::string& SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::string& value);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool value);
  // The rectangle of a panel in client coordinates.
  TRect PanelRect(int index);
  TDrawPanelEvent OnDrawPanel;

 protected:
  void Paint() override;

 private:
  std::unique_ptr<TCollectionOf<TStatusPanel>> panels_;
  bool simplePanel_ = false;
  std::string simpleText_;
  bool sizeGrip_ = true;
};

enum TUDAlignButton : uint8_t { udLeft, udRight };
enum TUDOrientation : uint8_t { udHorizontal, udVertical };
enum TUDBtnType : uint8_t { btNext, btPrev };
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;
using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// Two arrow buttons that step Position between Min and Max (Wrap goes round); the associated control
// (an edit, say) shows the position and gets the buttons at its side. After each step the control
// sends itself the reflected scroll notification (CN_VSCROLL, or CN_HSCROLL when horizontal, with
// SB_THUMBPOSITION and the position in the high word), whose handling fires OnClick; it answers
// UDM_SETPOS, UDM_GETPOS and UDM_SETRANGE.
class TUpDown : public TCustomControl {
 public:
  explicit TUpDown(TComponent* owner);
  ~TUpDown() override;
  TWinControl* Associate() const { return associate_; }
  void SetAssociate(TWinControl* value);
  int Min() const { return min_; }
  void SetMin(int value) { min_ = value; SetPosition(position_); }
  int Max() const { return max_; }
  void SetMax(int value) { max_ = value; SetPosition(position_); }
  int Position() const { return position_; }
  void SetPosition(int value);
  int Increment() const { return increment_; }
  void SetIncrement(int value) { increment_ = value; }
  bool Wrap() const { return wrap_; }
  void SetWrap(bool value) { wrap_ = value; }
  bool ArrowKeys() const { return arrowKeys_; }
  void SetArrowKeys(bool value) { arrowKeys_ = value; }
  bool Thousands() const { return thousands_; }
  void SetThousands(bool value) { thousands_ = value; }
  TUDOrientation Orientation() const { return orientation_; }
  void SetOrientation(TUDOrientation value);
  TUDAlignButton AlignButton() const { return alignButton_; }
  void SetAlignButton(TUDAlignButton value);
  // A press on a button: the step, then OnClick.
  void ButtonClick(TUDBtnType button);
  TUDClickEvent OnClick;
  TUDChangingEvent OnChanging;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Notification(TComponent* component, TOperation operation) override;
  void CMEnabledChanged(TMessage& message) override;
  void Dispatch(TMessage& message) override;
  // The reflected scroll notification: with SB_THUMBPOSITION, OnClick with the button of the step
  // that sent it (or, sent from elsewhere, by the position's direction, which then becomes the
  // position).
  virtual void CNScroll(TMessage& message);

 private:
  void UpdateAssociate();
  void PlaceBesideAssociate();
  TWinControl* associate_ = nullptr;
  int min_ = 0, max_ = 100, position_ = 0, increment_ = 1;
  bool wrap_ = false, arrowKeys_ = true, thousands_ = true;
  TUDOrientation orientation_ = udVertical;
  TUDAlignButton alignButton_ = udRight;
  int pressed_ = -1;  // the button held down, -1 none
  uintptr_t repeatTimer_ = 0;
  int stepping_ = 0;  // a step is sending its notification
  TUDBtnType stepButton_ = btNext;
};
