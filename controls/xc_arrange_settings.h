#pragma once
// How an arranging panel lays out its windowed children in rows: the settings object the panel owns
// (margins, gaps, wrapping, alignment, automatic sizing) and the flow layout itself as a function of
// the settings, the panel's size and the children's sizes.
#include <cstdint>
#include <string>
#include <vector>

#include "controls/xc_types.h"
#include "platform/system/guid.h"
#include "platform/system/types.h"

// Which of the panel's dimensions follow the arrangement.
enum TXcAutoSizePanel : uint8_t { asNone, asWidth, asHeight, asBoth };
enum TXcArrangeSettingsVAlignment : uint8_t { asTop, asVCenter, asBottom };
enum TXcArrangeSettingsHAlignment : uint8_t { asLeft, asCenter, asRight };

// The layout options of an arranging panel. Every setter but ShowNotVisibleAtDesignTime's compares
// first; a change is bracketed by the change notifications and names its property.
class TXcArrangeSettings : public TXcPersistentProperty {
 public:
  explicit TXcArrangeSettings(TPersistent* owner);
  // Freed while its arranging panel lives, it leaves a line in the debug log (the panel goes on
  // with new settings of its own).
  ~TXcArrangeSettings() override;

  bool AutoArrange() const { return autoArrange_; }
  void SetAutoArrange(bool value);
  TXcAutoSizePanel AutoSize() const { return autoSize_; }
  void SetAutoSize(TXcAutoSizePanel value);
  bool WrapControls() const { return wrapControls_; }
  void SetWrapControls(bool value);
  // The left margin, also the right one.
  int32_t BorderLeft() const { return borderLeft_; }
  void SetBorderLeft(int32_t value);
  // The top margin, also the bottom one.
  int32_t BorderTop() const { return borderTop_; }
  void SetBorderTop(int32_t value);
  int32_t DistanceVertical() const { return distanceVertical_; }
  void SetDistanceVertical(int32_t value);
  int32_t DistanceHorizontal() const { return distanceHorizontal_; }
  void SetDistanceHorizontal(int32_t value);
  bool ShowNotVisibleAtDesignTime() const { return showNotVisibleAtDesignTime_; }
  void SetShowNotVisibleAtDesignTime(bool value) { showNotVisibleAtDesignTime_ = value; }
  // The largest row right edge and panel width; 0 or less: no limit.
  int32_t MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int32_t value);
  TXcArrangeSettingsVAlignment VerticalAlignment() const { return verticalAlignment_; }
  void SetVerticalAlignment(TXcArrangeSettingsVAlignment value);
  TXcArrangeSettingsHAlignment HorizontalAlignment() const { return horizontalAlignment_; }
  void SetHorizontalAlignment(TXcArrangeSettingsHAlignment value);
  // Most controls in a row; 0 or less: no limit.
  int32_t MaxControlsPerLine() const { return maxControlsPerLine_; }
  void SetMaxControlsPerLine(int32_t value);
  // Each row centred within the widest one.
  bool HorizontalAlignLines() const { return horizontalAlignLines_; }
  void SetHorizontalAlignLines(bool value);

  // From other settings, through the setters as one locked group of changes (unlocked also when a
  // setter raises); any other source raises the framework's conversion error.
  void Assign(TPersistent* source) override;

 private:
  bool autoArrange_ = false;
  TXcAutoSizePanel autoSize_ = asNone;
  bool wrapControls_ = true;
  int32_t borderLeft_ = 0;
  int32_t borderTop_ = 0;
  int32_t distanceVertical_ = 0;
  int32_t distanceHorizontal_ = 0;
  bool showNotVisibleAtDesignTime_ = true;
  int32_t maxWidth_ = 0;
  TXcArrangeSettingsVAlignment verticalAlignment_ = asTop;
  TXcArrangeSettingsHAlignment horizontalAlignment_ = asLeft;
  int32_t maxControlsPerLine_ = 0;
  bool horizontalAlignLines_ = false;
};

// What an arranging panel offers: its arrangement run now, held back and let go again, and its
// settings.
class IArrangeable {
 public:
  virtual ~IArrangeable() = default;
  virtual void RearrangeChildren() = 0;
  virtual void SuspendArranging() = 0;
  virtual void ResumeArranging() = 0;
  virtual TXcArrangeSettings* ArrangeSettings() = 0;
  virtual void SetArrangeSettings(TXcArrangeSettings* value) = 0;
};
constexpr TGUID IID_IArrangeable = {0x8EE63749, 0xCDDC, 0x4436, {0x90, 0x67, 0x4E, 0xF0, 0x43, 0x4B, 0x43, 0xC2}};

// The text left in the debug log when the settings are freed under a living panel.
extern const char* const kArrangeSettingsFreedText;

// One control to arrange (in the panel's tab order) and whether it takes a place.
struct TXcArrangeItem {
  int32_t Width = 0;
  int32_t Height = 0;
  bool Visible = true;
};

// Where the controls go and what becomes of the panel.
struct TXcArrangement {
  std::vector<TRect> Bounds;   // one per item: its new bounds when placed
  std::vector<bool> Placed;    // hidden items take no place
  int32_t RightExtent = -1;    // the rows' right extent (R), with the left margin
  int32_t BottomExtent = -1;   // the rows' bottom extent (B), with the top margin
  int32_t Width = 0;           // the panel's size afterwards
  int32_t Height = 0;
};

// The flow layout: items in tab order into rows from the margins, a new row when the next control
// does not fit (its right edge plus a gap and the right margin beyond the width, or MaxWidth), when
// MaxControlsPerLine is reached, or never without WrapControls; the first control of a row always
// stays. The whole is moved by the alignments (unless that dimension is sized automatically), each
// row centred within the widest with HorizontalAlignLines (halves toward zero). The panel's width is
// at least the widest windowed child's plus both margins (and at most MaxWidth); automatic sizing
// makes it the extent plus one margin.
TXcArrangement ArrangeItems(const TXcArrangeSettings& settings, int32_t width, int32_t height, int32_t clientWidth,
                            int32_t clientHeight, int32_t widestChild, const std::vector<TXcArrangeItem>& items);
