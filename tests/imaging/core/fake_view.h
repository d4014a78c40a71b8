#pragma once
// A stand-in image view for the companions of the views (I/O, processing): it implements the view
// link with a bitmap per layer, a selection mask and polygon, a list of "objects" for the vector
// streams, and it counts what the companions do to it. Its streams keep the layouts' framing (a
// layer record starts with its Int32 length and its GUID) so that readers of that framing are
// tested; the rest of each record is this fake's own.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_view_link.h"
#include "platform/system/streams.h"
#include "platform/ui/controls.h"

namespace ietest {

class FakeView : public TCustomControl, public TIEViewLink {
 public:
  // With a TIEBitmap of its own (WithIEBitmap, 4 x 3 ie24RGB) or only a framework bitmap
  // (Framework, may be nil).
  explicit FakeView(TComponent* Owner, TIEViewKind Kind = ievkImageView, bool WithIEBitmap = true,
                    TBitmap* Framework = nullptr)
      : TCustomControl(Owner), kind_(Kind), framework_(Framework) {
    layers_.push_back(Layer{WithIEBitmap ? std::make_unique<TIEBitmap>(4, 3, ie24RGB) : nullptr, NewGuid(), 0});
  }
  // As the views do: every registrant hears once, in order, that the view goes away.
  ~FakeView() override {
    if (!notifyOnDestroy) return;
    while (!callbacks_.empty()) {
      std::unique_ptr<Record> first = std::move(callbacks_.front());
      callbacks_.erase(callbacks_.begin());
      first->callback(this, true);
    }
  }

  // ---- The link ----
  TWinControl* ViewControl() override { return this; }
  TIEViewKind ViewKind() override { return kind_; }
  TIEBitmapChangeHandle AddBitmapChangeEvent(TIEBitmapChangeEvent Callback) override {
    callbacks_.push_back(std::make_unique<Record>(Record{std::move(Callback)}));
    return callbacks_.back().get();
  }
  void RemoveBitmapChangeEvent(TIEBitmapChangeHandle Handle) override {
    auto it = std::find_if(callbacks_.begin(), callbacks_.end(), [&](auto& r) { return r.get() == Handle; });
    if (it != callbacks_.end()) callbacks_.erase(it);
  }
  TIEBitmap* GetIEBitmap() override { return layers_[current_].bitmap.get(); }
  TBitmap* GetBitmap() override { return framework_; }
  TColor Background() override { return background_; }
  void SetBackground(TColor Value) override { background_ = Value; }
  int32_t DpiX() override { return dpiX_; }
  int32_t DpiY() override { return dpiY_; }
  void SetDpiX(int32_t Value) override {
    if (Value) dpiX_ = Value;
    dpiSetInsideLock = dpiSetInsideLock && locks > 0;
  }
  void SetDpiY(int32_t Value) override {
    if (Value) dpiY_ = Value;
    dpiSetInsideLock = dpiSetInsideLock && locks > 0;
  }
  void DoImageChange() override { ++imageChanges; }
  void LockUpdate() override { ++locks; }
  void UnlockUpdateNoRefresh() override {
    if (locks > 0) --locks;
  }
  void Update() override { ++updates; }

  // Selection: only the single-image kinds have one.
  TIEMask* SelectionMask() override { return IsImageViewKind(kind_) ? &mask_ : nullptr; }
  bool Selected() override { return IsImageViewKind(kind_) && selected_; }
  const TPoint* SelectionPolygon() override { return polygon_.empty() ? nullptr : polygon_.data(); }
  int32_t SelectionPolygonCount() override { return static_cast<int32_t>(polygon_.size()); }
  void SaveSelectionToStream(TMemoryStream& Stream) override {
    Stream.WriteValue<int32_t>(mask_.Width());
    Stream.WriteValue<int32_t>(mask_.Height());
    Stream.WriteValue<int32_t>(mask_.BitsPerPixel());
    for (int32_t v : {mask_.X1(), mask_.Y1(), mask_.X2(), mask_.Y2()}) Stream.WriteValue<int32_t>(v);
    Stream.WriteValue<uint8_t>(selected_);
    const int32_t size = mask_.RowLen() * mask_.Height();
    if (size > 0) Stream.WriteBuffer(mask_.Bits(), size);
  }
  bool LoadSelectionFromStream(TStream& Stream, int32_t Mode) override {
    lastSelectionMode = Mode;
    const int32_t w = Stream.ReadValue<int32_t>(), h = Stream.ReadValue<int32_t>(), bpp = Stream.ReadValue<int32_t>();
    int32_t box[4];
    for (int32_t& v : box) v = Stream.ReadValue<int32_t>();
    selected_ = Stream.ReadValue<uint8_t>() != 0;
    mask_.Allocate(w, h, bpp);
    const int32_t size = mask_.RowLen() * mask_.Height();
    if (size > 0) Stream.ReadBuffer(mask_.Bits(), size);
    if (box[0] != TIEMask::kEmptyBox) mask_.SetBox(box[0], box[1], box[2], box[3]);
    ++updates;
    return true;
  }

  // Layers.
  int32_t LayersCount() override { return IsImageViewKind(kind_) ? static_cast<int32_t>(layers_.size()) : 0; }
  int32_t LayersCurrent() override { return IsImageViewKind(kind_) ? current_ : -1; }
  TIEBitmap* LayerBitmap(int32_t Index) override { return layers_.at(static_cast<size_t>(Index)).bitmap.get(); }
  TGUID LayerGUID(int32_t Index) override { return layers_.at(static_cast<size_t>(Index)).guid; }
  void LayerSaveToStream(int32_t Index, TMemoryStream& Stream, bool WithImage) override {
    Layer& l = layers_.at(static_cast<size_t>(Index));
    const int64_t start = Stream.Position();
    Stream.WriteValue<int32_t>(0);
    Stream.WriteValue(l.guid);
    Stream.WriteValue<int32_t>(l.posX);
    Stream.WriteValue<uint8_t>(WithImage);
    if (WithImage) l.bitmap->SaveRawToStream(Stream);
    const int64_t end = Stream.Position();
    Stream.SetPosition(start);
    Stream.WriteValue<int32_t>(forcedRecordLength >= 0 ? forcedRecordLength : static_cast<int32_t>(end - start));
    Stream.SetPosition(end);
  }
  void LayerLoadFromStream(int32_t Index, TStream& Stream) override {
    Layer& l = layers_.at(static_cast<size_t>(Index));
    Stream.ReadValue<int32_t>();
    l.guid = Stream.ReadValue<TGUID>();
    l.posX = Stream.ReadValue<int32_t>();
    if (Stream.ReadValue<uint8_t>()) l.bitmap->LoadRawFromStream(Stream);
    ++layerLoads;
  }
  void LayersSaveToStream(TMemoryStream& Stream, int32_t Compression) override {
    lastCompression = Compression;
    Stream.WriteValue<int32_t>(static_cast<int32_t>(layers_.size()));
    for (size_t i = 0; i < layers_.size(); ++i) LayerSaveToStream(static_cast<int32_t>(i), Stream, true);
  }
  bool LayersLoadFromStream(TStream& Stream) override {
    const int32_t count = Stream.ReadValue<int32_t>();
    layers_.resize(1);
    current_ = 0;
    for (int32_t i = 0; i < count; ++i) {
      if (i > 0) AddLayer(1, 1, ie24RGB);
      LayerLoadFromStream(i, Stream);
    }
    ++layersLoads;
    return true;
  }

  // Vector objects: a list of numbers stands in for them.
  void SaveToStreamIEV(TMemoryStream& Stream) override {
    Stream.WriteValue<int32_t>(static_cast<int32_t>(objects.size()));
    for (int32_t o : objects) Stream.WriteValue(o);
  }
  bool LoadFromStreamIEV(TStream& Stream) override {
    objects.resize(static_cast<size_t>(Stream.ReadValue<int32_t>()));
    for (int32_t& o : objects) o = Stream.ReadValue<int32_t>();
    return true;
  }
  void SaveToStreamAll(TMemoryStream& Stream, int32_t Compression) override {
    LayersSaveToStream(Stream, Compression);
    SaveToStreamIEV(Stream);
  }
  bool LoadFromStreamAll(TStream& Stream) override { return LayersLoadFromStream(Stream) && LoadFromStreamIEV(Stream); }

  // ---- What a test does to the view ----
  // Replaces the shown bitmap and tells the registrants, as a view does.
  void ReplaceBitmap(std::unique_ptr<TIEBitmap> Bitmap) {
    layers_[current_].bitmap = std::move(Bitmap);
    CallBitmapChangeEvents();
  }
  void CallBitmapChangeEvents() {
    for (auto& r : callbacks_) r->callback(this, false);
  }
  int32_t CallbackCount() const { return static_cast<int32_t>(callbacks_.size()); }
  // Selects the inclusive rectangle with Value (1-bit: any non-zero selects), the mask sized to
  // the current bitmap. An empty rectangle leaves an empty mask with the selection flag on.
  void Select(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t BitsPerPixel = 1, int32_t Value = 255) {
    TIEBitmap* b = GetIEBitmap();
    mask_.Allocate(b->Width(), b->Height(), BitsPerPixel);
    for (int32_t y = Y1; y <= Y2; ++y)
      for (int32_t x = X1; x <= X2; ++x) mask_.SetPixel(x, y, Value);
    polygon_ = {TPoint{X1, Y1}, TPoint{X2 + 1, Y1}, TPoint{X2 + 1, Y2 + 1}, TPoint{X1, Y2 + 1}};
    selected_ = true;
  }
  void Deselect() {
    selected_ = false;
    polygon_.clear();
  }
  // Appends a layer with its own bitmap and makes it current (as the view's LayersAdd).
  int32_t AddLayer(int32_t Width, int32_t Height, TIEPixelFormat Format) {
    layers_.push_back(Layer{std::make_unique<TIEBitmap>(Width, Height, Format), NewGuid(), 0});
    SetLayersCurrent(static_cast<int32_t>(layers_.size()) - 1);
    return current_;
  }
  void SetLayersCurrent(int32_t Index) {
    if (Index < 0 || Index >= static_cast<int32_t>(layers_.size()) || Index == current_) return;
    current_ = Index;
    CallBitmapChangeEvents();
    ++updates;
  }
  int32_t LayerPosX(int32_t Index) const { return layers_.at(static_cast<size_t>(Index)).posX; }
  void SetLayerPosX(int32_t Index, int32_t Value) { layers_.at(static_cast<size_t>(Index)).posX = Value; }

  bool notifyOnDestroy = true;
  int imageChanges = 0;
  int updates = 0;
  int locks = 0;
  int layerLoads = 0;
  int layersLoads = 0;
  int lastSelectionMode = -1;
  int lastCompression = 0;
  // When 0 or more, layer records carry this length instead of their own (a damaged record).
  int32_t forcedRecordLength = -1;
  bool dpiSetInsideLock = true;
  std::vector<int32_t> objects;

 private:
  struct Record {
    TIEBitmapChangeEvent callback;
  };
  struct Layer {
    std::unique_ptr<TIEBitmap> bitmap;
    TGUID guid;
    int32_t posX;
  };
  static TGUID NewGuid() {
    static uint32_t next = 1;
    TGUID g{};
    g.D1 = next++;
    g.D4[7] = 0x5A;
    return g;
  }
  TIEViewKind kind_;
  TBitmap* framework_;
  std::vector<Layer> layers_;
  int32_t current_ = 0;
  TIEMask mask_;
  bool selected_ = false;
  std::vector<TPoint> polygon_;
  std::vector<std::unique_ptr<Record>> callbacks_;
  TColor background_ = clBtnFace;
  int32_t dpiX_ = 0, dpiY_ = 0;
};

}  // namespace ietest
