#pragma once
// The XP button: a push button with a gradient face, a coloured frame while it is hot, focused or
// the default button, a rounded dark border with smoothed corners, an optional glyph beside, above or
// below the caption, and a caption embossed when disabled. It may show and run an action.
#include <cstdint>
#include <memory>

#include "controls/xc_button_glyph.h"
#include "controls/xc_xcl_utils.h"
#include "controls/xc_xp_core.h"
#include "platform/ui/actions.h"
#include "platform/ui/image_list.h"

// The glyph's place beside the caption (the speed button's layouts, under this name).
using TXcXPLayout = TButtonLayout;

// The colours of the look, as colour values (blue in the high byte).
constexpr TColor kXPBorderColor = TColorOf(0x00733C00);
constexpr TColor kXPDisabledBorderColor = TColorOf(0x00BDC7CE);
constexpr TColor kXPSmoothColor = TColorOf(0x00AD9E7B);

class TXcXPCustomButton : public TXcXPCustomStyleControl {
 public:
  explicit TXcXPCustomButton(TComponent* owner);
  ~TXcXPCustomButton() override;

  bool AutoGray() const { return autoGray_; }
  void SetAutoGray(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value);
  bool Default() const { return default_; }
  // Also asks the parent form to decide its default button again.
  void SetDefault(bool value);
  TXcPicture* Glyph() { return &glyph_; }
  void SetGlyph(TPicture* value);
  TXcXPLayout Layout() const { return layout_; }
  void SetLayout(TXcXPLayout value);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  bool ShowFocusRect() const { return showFocusRect_; }
  void SetShowFocusRect(bool value);
  bool SmoothEdges() const { return smoothEdges_; }
  void SetSmoothEdges(bool value);
  int32_t Spacing() const { return spacing_; }
  void SetSpacing(int32_t value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  // The image of the action's image list shown as the glyph; -1 none.
  int32_t ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int32_t value);

  // Whether the frame shows (hot, focused, pressed out of the button, or the default button while
  // no XP control is active unless ignoreDefault).
  bool IsHighlighted(bool ignoreDefault = false) const;

  // The face and frame bitmaps for the current size (made when the size changed).
  TBitmap* NormalFace(bool highlighted);
  TBitmap* PressedFace();
  TBitmap* FocusFrame();
  TBitmap* HotFrame();

  // Where the paint put the glyph and the caption last time (for tests and descendants).
  TPoint LastGlyphPos() const { return lastGlyphPos_; }
  TRect LastTextRect() const { return lastTextRect_; }

  // Any change of what the button shows makes its picture anew at the next paint.
  void RequestRedraw() override;
  void Redraw() override;
  // How many times buttons of this process drew their picture (each look is drawn once, then the
  // paints copy it).
  static int64_t LooksDrawn();

 protected:
  bool IsDown() const { return down_; }
  void SetDownState(bool value);
  // Copies the picture of the current look, drawing it first when the look changed.
  void Paint() override;
  // The whole look on a canvas of the button's size.
  virtual void PaintLook(TCanvas* canvas);
  void Resized() override;
  void TextChanged() override;
  void ParentColorChanged() override;
  void ParentFontChanged() override;
  void HandleColorChange() override;
  void HandleFontChange() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyUp(uint16_t& key, TShiftState shift) override;
  void CMDialogKey(TMessage& message) override;
  void ActionChange(TObject* sender, bool checkDefaults) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;

 private:
  friend class TXcXPCustomButtonActionLink;
  void BuildFaces();
  // The glyph to draw, greyed when AutoGray and disabled; null without one.
  std::unique_ptr<TBitmap> GlyphBitmap(TGraphic*& drawDirect, TSize& size);
  TCustomImageList* ActionImages() const;

  bool autoGray_ = true;
  bool cancel_ = false;
  bool default_ = false;
  bool down_ = false;
  TXcPicture glyph_;
  TXcXPLayout layout_ = blGlyphLeft;
  bool showAccelChar_ = true;
  bool showFocusRect_ = false;
  bool smoothEdges_ = true;
  int32_t spacing_ = 3;
  bool wordWrap_ = true;
  int32_t imageIndex_ = -1;
  TChangeLink imageChangeLink_;
  TSize facesSize_ = {-1, -1};
  TBitmap normalFace_, normalHighlightedFace_, pressedFace_, focusFrame_, hotFrame_;
  TPoint lastGlyphPos_;
  TRect lastTextRect_;
  // The picture of the look last drawn, and what it was drawn for.
  struct LookKey {
    int32_t width = -1, height = -1;
    uint32_t flags = 0;
    bool down = false, enabled = false, highlighted = false, rightToLeft = false;
    uint64_t generation = 0;
    friend bool operator==(const LookKey&, const LookKey&) = default;
  };
  TBitmap picture_;
  LookKey pictureKey_;
  uint64_t lookGeneration_ = 1;
};

class TXcXPButton : public TXcXPCustomButton {
 public:
  using TXcXPCustomButton::TXcXPCustomButton;
  bool Down() const { return IsDown(); }
  void SetDown(bool value) { SetDownState(value); }
};

// The link of an XP button: its image index follows the action's.
class TXcXPCustomButtonActionLink : public TControlActionLink {
 public:
  explicit TXcXPCustomButtonActionLink(TXcXPCustomButton* client) : TControlActionLink(client), button_(client) {}
  ~TXcXPCustomButtonActionLink() override;
  bool IsImageIndexLinked() override { return CustomAction() != nullptr; }
  void SetImageIndex(int value) override;

 private:
  TXcXPCustomButton* button_;
};
