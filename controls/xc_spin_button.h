#pragma once
// The spin button: a windowless control of two halves, "up" and "down", that fire OnTopClick and
// OnBottomClick when pressed and repeat them while the left button is held (first after
// InitRepeatPause, then every RepeatPause). sbsDefault splits a square by the diagonal from its
// bottom-left to its top-right corner (the upper-left triangle is "up"); sbsClassic stacks the
// halves. A press never moves to the other half: dragging onto it shows no pressed half.
//
// The button never draws itself from scratch: it copies one of six faces of its size (top pressed,
// bottom pressed, not pressed, disabled, top hot, bottom hot; the hot ones only with visual
// styles) from a face set that every spin button of the same size, style and kind of glyphs
// shares. The process's face sets are kept by one manager, made by the first spin button and
// freed with the last.
#include <cstdint>
#include <memory>
#include <vector>

#include "controls/xc_ex_controls.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/timers.h"

enum TXcSpinButtonStyle : uint8_t { sbsDefault, sbsClassic };
// Which half is drawn pressed.
enum TXcSpinButtonState : uint8_t { sbsNotDown, sbsTopDown, sbsBottomDown };

// The names of the built-in glyphs: 6 x 6 arrows for sbsDefault, 7 x 4 triangles for sbsClassic.
constexpr const char* kSpinUpResource = "XcSpinUP";
constexpr const char* kSpinDownResource = "XcSpinDOWN";
constexpr const char* kSpinUpPoleResource = "XcSpinUPPOLE";
constexpr const char* kSpinDownPoleResource = "XcSpinDOWNPOLE";
// Registers the four glyphs as bitmap resources (at the library's start-up).
void RegisterSpinResources();

class TSpinButtonBitmapsManager;

// The six faces of one size, style and kind of glyphs.
class TSpinButtonBitmaps {
 public:
  TSpinButtonBitmaps(TSpinButtonBitmapsManager* manager, int32_t width, int32_t height, TXcSpinButtonStyle style,
                     bool customGlyphs);
  TSpinButtonBitmaps(const TSpinButtonBitmaps&) = delete;
  TSpinButtonBitmaps& operator=(const TSpinButtonBitmaps&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  TXcSpinButtonStyle Style() const { return style_; }
  bool CustomGlyphs() const { return customGlyphs_; }
  int32_t RefCount() const { return refCount_; }
  // How often the faces were rendered.
  int32_t Renders() const { return renders_; }

  // Draws the face of the state at (0, 0): the disabled one when not enabled; when nothing is
  // pressed, with visual styles, a hot one.
  void Draw(TCanvas* canvas, TXcSpinButtonState state, bool enabled, bool hotTop, bool hotBottom);
  // Draws user glyphs at the places of the built-in ones (nothing for themed sbsClassic); their
  // disabled looks when not enabled.
  void DrawGlyphs(TCanvas* canvas, TXcSpinButtonState state, bool enabled, TBitmap* upGlyph, TBitmap* downGlyph);
  void AddRef() { ++refCount_; }
  // One spin button less: at none the set leaves the manager's list and is freed.
  void Release();
  // The faces are rendered again at the next draw (the system colours changed).
  void MarkForRerender() { rerender_ = true; }

 private:
  void Render();
  void RenderPlain();
  void RenderThemedClassic();
  void RenderThemedDefault();
  // The three diagonal lines of the sbsDefault faces in their colours.
  void DiagonalLines(TCanvas* canvas, TColor c1, TColor c2, TColor c3);
  // The glyphs of a sbsDefault or sbsClassic face at their places.
  void DefaultGlyphs(TCanvas* canvas, TBitmap* up, TBitmap* down, int32_t upShift);
  void ClassicGlyphs(TCanvas* canvas, TXcSpinButtonState state, TBitmap* up, TBitmap* down);

  TSpinButtonBitmapsManager* manager_;
  int32_t height_, width_;
  TXcSpinButtonStyle style_;
  int32_t refCount_ = 0;
  // Top pressed, bottom pressed, not pressed, disabled, top hot, bottom hot.
  std::unique_ptr<TBitmap> faces_[6];
  bool customGlyphs_;
  bool rerender_ = false;
  bool visualStyles_ = false;
  int32_t renders_ = 0;
};

class TSpinButtonBitmapsManager {
 public:
  TSpinButtonBitmapsManager();
  ~TSpinButtonBitmapsManager();
  // The set of that size, style and kind of glyphs: found, or made (its faces rendered) and put in
  // its sorted place. The caller adds its reference.
  TSpinButtonBitmaps* Acquire(int32_t width, int32_t height, TXcSpinButtonStyle style, bool customGlyphs);
  // Takes the set out of the list and frees it.
  void Remove(TSpinButtonBitmaps* set);
  void AddClient() { ++clients_; }
  void RemoveClient() { --clients_; }
  int32_t Clients() const { return clients_; }
  int32_t Count() const { return static_cast<int32_t>(sets_.size()); }

  // The built-in glyphs and their disabled looks.
  TBitmap* UpGlyph(TXcSpinButtonStyle style, bool enabled);
  TBitmap* DownGlyph(TXcSpinButtonStyle style, bool enabled);

 private:
  std::vector<std::unique_ptr<TSpinButtonBitmaps>> sets_;  // by (width, height, style, custom glyphs)
  int32_t clients_ = 0;
  // Up, down, up pole, down pole; then the same disabled.
  std::unique_ptr<TBitmap> glyphs_[8];
};

// The process's manager while a spin button exists, else null.
TSpinButtonBitmapsManager* SpinButtonBitmapsManager();

class TXcSpinButton : public TXcExGraphicControl {
 public:
  explicit TXcSpinButton(TComponent* owner);
  ~TXcSpinButton() override;

  TXcSpinButtonStyle ButtonStyle() const { return buttonStyle_; }
  void SetButtonStyle(TXcSpinButtonStyle value);
  TBitmap* UpGlyph() { return upGlyph_.get(); }
  void SetUpGlyph(TBitmap* value);
  TBitmap* DownGlyph() { return downGlyph_.get(); }
  void SetDownGlyph(TBitmap* value);
  int32_t InitRepeatPause() const { return initRepeatPause_; }
  void SetInitRepeatPause(int32_t value) { initRepeatPause_ = value; }
  int32_t RepeatPause() const { return repeatPause_; }
  void SetRepeatPause(int32_t value) { repeatPause_ = value; }
  // Takes the focus when the button is pressed.
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* value);

  // Whether the point lies in the lower half ("down").
  bool InBottomHalf(int x, int y) const;
  TXcSpinButtonState PressedState() const { return pressed_; }
  bool HotTop() const { return hotTop_; }
  bool HotBottom() const { return hotBottom_; }
  // The repeat timer, null until the first press.
  TTimer* RepeatTimer() const { return repeatTimer_; }
  // The face set in use (null until the first paint).
  TSpinButtonBitmaps* Faces() const { return faces_; }

  TNotifyEvent OnTopClick;
  TNotifyEvent OnBottomClick;

 protected:
  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void HandleMouseEntry(TControl* control) override;
  void HandleMouseExit(TControl* control) override;

 private:
  // Fires the click of the half; a handler that returns with the left button up (it showed a
  // modal window, say) ends the press.
  void ClickHalf(TXcSpinButtonState half);
  void RepeatTick();
  // The faces go (the next paint takes a set again) and the button repaints.
  void GlyphChanged();
  void ReleaseFaces();
  bool HasCustomGlyphs() const { return !upGlyph_->Empty() || !downGlyph_->Empty(); }

  TXcSpinButtonState pressed_ = sbsNotDown;
  bool dragging_ = false;
  std::unique_ptr<TBitmap> upGlyph_;
  std::unique_ptr<TBitmap> downGlyph_;
  TSpinButtonBitmaps* faces_ = nullptr;
  TTimer* repeatTimer_ = nullptr;  // owned as a component
  TXcSpinButtonState lastPressed_ = sbsNotDown;
  TWinControl* focusControl_ = nullptr;
  TXcSpinButtonStyle buttonStyle_ = sbsDefault;
  int32_t initRepeatPause_ = 400;
  int32_t repeatPause_ = 100;
  bool hotTop_ = false;
  bool hotBottom_ = false;
};
