#pragma once
// Image lists: pictures of one size kept by index, with a mask (or a colour that stands for
// transparency), drawn on a canvas normally or disabled (embossed in the button shadow and
// highlight colours). Controls that show the list's pictures register a change link to hear of
// changes.
#include <functional>
#include <memory>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/system/classes.h"

class TCustomImageList;

// The tie between an image list and a control that uses it.
class TChangeLink : public TObject {
 public:
  ~TChangeLink() override;
  TCustomImageList* Sender() const { return sender_; }
  void Change();
  TNotifyEvent OnChange;

 private:
  friend class TCustomImageList;
  TCustomImageList* sender_ = nullptr;
};

enum TDrawingStyle : uint8_t { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType : uint8_t { itImage, itMask };

class TCustomImageList : public TComponent {
 public:
  explicit TCustomImageList(TComponent* owner);
  TCustomImageList(TComponent* owner, int width, int height);
  ~TCustomImageList() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Changing the size empties the list.
  void SetWidth(int value);
  void SetHeight(int value);
  int Count() const { return static_cast<int>(images_.size()); }
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor value);
  TDrawingStyle DrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle value) { drawingStyle_ = value; }
  bool Masked() const { return masked_; }
  void SetMasked(bool value) { masked_ = value; }

  // Adds the image (and as many more as its width holds side by side); the mask's white pixels are
  // transparent (no mask: all opaque). Answers the index of the first, -1 when nothing was added.
  int Add(TBitmap* image, TBitmap* mask);
  // As Add, with the pixels of maskColor transparent (clDefault: the colour of the bottom-left pixel).
  int AddMasked(TBitmap* image, TColor maskColor);
  void Insert(int index, TBitmap* image, TBitmap* mask);
  void Replace(int index, TBitmap* image, TBitmap* mask);
  // Replaces image index by the first image of image, its pixels of maskColor transparent
  // (clDefault: the colour of the bottom-left pixel).
  void ReplaceMasked(int index, TBitmap* image, TColor maskColor);
  void Delete(int index);
  void Clear();
  void Move(int curIndex, int newIndex);
  // Draws image index at (x, y); disabled draws it embossed. An index outside the list draws nothing.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
  void Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle style, TImageType type, bool enabled);
  // The image on the background colour (clNone: black where transparent).
  void GetBitmap(int index, TBitmap* image);

  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  TNotifyEvent OnChange;

 protected:
  virtual void Change();

 private:
  // One image as 32-bit pixels with premultiplied alpha (0 where transparent).
  std::unique_ptr<TBitmap> Slice(TBitmap* image, int left, const std::function<bool(int x, int y)>& transparent);
  // Whether a pixel of image has the mask colour.
  static std::function<bool(int x, int y)> ColorKey(TBitmap* image, TColor maskColor);
  int AddSlices(TBitmap* image, const std::function<bool(int x, int y)>& transparent, int at);
  void CheckIndex(int index) const;
  int width_ = 16, height_ = 16;
  TColor bkColor_ = clNone;
  TDrawingStyle drawingStyle_ = dsNormal;
  bool masked_ = true;
  int updateCount_ = 0;
  bool changedWhileUpdating_ = false;
  std::vector<std::unique_ptr<TBitmap>> images_;
  std::vector<TChangeLink*> links_;
};

class TImageList : public TCustomImageList {
 public:
  using TCustomImageList::TCustomImageList;
};
