#pragma once
// Panels, bevels, shapes, pictures, paint boxes and splitters: controls the framework paints itself
// on the drawing layer's canvas.
#include <memory>

#include "platform/gdi/picture.h"
#include "platform/ui/controls.h"

using TPanelBevel = TBevelCut;

// A panel: a container with an outer and an inner bevel, a border between them and a caption in the
// middle (Alignment sets its horizontal place). The bevels and the border take room from the area
// its children align in.
class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* owner);
  TPanelBevel BevelInner() const { return bevelInnerPanel_; }
  void SetBevelInner(TPanelBevel value);
  TPanelBevel BevelOuter() const { return bevelOuterPanel_; }
  void SetBevelOuter(TPanelBevel value);
  int BevelWidth() const { return bevelWidthPanel_; }
  void SetBevelWidth(int value);
  // The band between the bevels, in the panel's colour (inside the client area).
  int BorderWidth() const { return borderWidthPanel_; }
  void SetBorderWidth(int value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  bool FullRepaint() const { return fullRepaint_; }
  void SetFullRepaint(bool value) { fullRepaint_ = value; }
  bool Locked() const { return locked_; }
  void SetLocked(bool value) { locked_ = value; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void AdjustClientRect(TRect& rect) override;
  void Paint() override;
  void CMTextChanged(TMessage& message) override;

 private:
  TPanelBevel bevelInnerPanel_ = bvNone;
  TPanelBevel bevelOuterPanel_ = bvRaised;
  int bevelWidthPanel_ = 1;
  int borderWidthPanel_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
  bool fullRepaint_ = true;
  bool locked_ = false;
};

class TPanel : public TCustomPanel {
 public:
  using TCustomPanel::TCustomPanel;
};

enum TBevelShape : uint8_t { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle : uint8_t { bsLowered, bsRaised };

// A 3-D box, frame or line.
class TBevel : public TGraphicControl {
 public:
  explicit TBevel(TComponent* owner);
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape value);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle value);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

enum TShapeType : uint8_t { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

// A shape drawn with its own pen and brush.
class TShape : public TGraphicControl {
 public:
  explicit TShape(TComponent* owner);
  ~TShape() override;
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType value);
  TPen* Pen() { return pen_.get(); }
  TBrush* Brush() { return brush_.get(); }
  void SetPen(TPen* value) { pen_->Assign(value); }
  void SetBrush(TBrush* value) { brush_->Assign(value); }

 protected:
  void Paint() override;

 private:
  TShapeType shape_ = stRectangle;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
};

// A picture on the form: at its own size (Center puts it in the middle), or Stretch-ed to the
// control (Proportional keeps its shape). Canvas draws on the picture's bitmap (made when empty).
class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);
  ~TImage() override;
  TPicture* Picture() { return picture_.get(); }
  void SetPicture(TPicture* value) { picture_->Assign(value); }
  // Raises EInvalidOperation "Can only modify an image if it contains a bitmap" for a picture of
  // another class.
  TCanvas* Canvas();
  bool Center() const { return center_; }
  void SetCenter(bool value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  // The rectangle the picture is drawn in.
  TRect DestRect();

 protected:
  void Paint() override;
  bool CanAutoSize(int& newWidth, int& newHeight) override;

 private:
  void PictureChanged();
  std::unique_ptr<TPicture> picture_;
  bool center_ = false;
  bool stretch_ = false;
  bool proportional_ = false;
  bool transparent_ = false;
  bool drawing_ = false;
};

// A windowless area the program paints in OnPaint.
class TPaintBox : public TGraphicControl {
 public:
  explicit TPaintBox(TComponent* owner);
  TNotifyEvent OnPaint;

 protected:
  void Paint() override;
};

enum TResizeStyle : uint8_t { rsNone, rsLine, rsUpdate, rsPattern };
using TCanResizeEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

// A bar the user drags to resize the control aligned before it on the same side (alLeft: the control
// on its left ...). MinSize keeps both that control and the room left over for client-aligned ones.
class TSplitter : public TGraphicControl {
 public:
  explicit TSplitter(TComponent* owner);
  int MinSize() const { return minSize_; }
  void SetMinSize(int value) { minSize_ = value > 0 ? value : 1; }
  bool AutoSnap() const { return autoSnap_; }
  void SetAutoSnap(bool value) { autoSnap_ = value; }
  bool Beveled() const { return beveled_; }
  void SetBeveled(bool value);
  TResizeStyle ResizeStyle() const { return resizeStyle_; }
  void SetResizeStyle(TResizeStyle value) { resizeStyle_ = value; }
  TCanResizeEvent OnCanResize;
  TNotifyEvent OnMoved;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // The cursor follows the side: across for left and right, up and down for top and bottom.
  void RequestAlign() override;

 private:
  TControl* FindControl();
  void UpdateSize(int x, int y);
  void ApplySize();
  TControl* control_ = nullptr;
  TPoint downPos_;
  int newSize_ = 0, oldSize_ = 0, maxSize_ = 0;
  int minSize_ = 30;
  bool autoSnap_ = true;
  bool beveled_ = false;
  TResizeStyle resizeStyle_ = rsPattern;
};
