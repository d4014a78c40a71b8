#pragma once
// The blocks a GIF file is made of, as objects that read and write themselves: TGIFItem is one block
// that belongs to an image (the header, a frame, an extension, the trailer), TGIFList an ordered list
// that owns its items.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/classes.h"

class TGIFImage;
class TStream;

class TGIFItem : public TPersistent {
 public:
  explicit TGIFItem(TGIFImage* Image) : image_(Image) {}
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;

  TGIFImage* Image() const { return image_; }
  // 1 for GIF87a, 2 for what needs GIF89a.
  virtual int32_t Version() const { return 1; }
  // Hands a warning to the image with this item as the sender.
  virtual void Warning(int32_t Severity, const std::string& Message);
  virtual void SaveToStream(TStream& Stream) = 0;
  virtual void LoadFromStream(TStream& Stream) = 0;
  // A file written in full beside the target and renamed over it (a failure leaves the target as it
  // was); a file read shared for reading.
  void SaveToFile(const std::string& FileName);
  void LoadFromFile(const std::string& FileName);

 private:
  TGIFImage* image_;  // not owned
};

// Warnings of a list go to the image with the list as the sender.
void GIFListWarning(TGIFImage* Image, TObject* Sender, int32_t Severity, const std::string& Message);

template <class T>
class TGIFList : public TPersistent {
 public:
  explicit TGIFList(TGIFImage* Image) : image_(Image) {}
  ~TGIFList() override { Clear(); }
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;

  TGIFImage* Image() const { return image_; }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  T* Items(int32_t Index) const { return items_[static_cast<size_t>(Index)].get(); }
  T* operator[](int32_t Index) const { return Items(Index); }
  int32_t IndexOf(const T* Item) const {
    for (int32_t i = 0; i < Count(); ++i)
      if (items_[static_cast<size_t>(i)].get() == Item) return i;
    return -1;
  }
  // Takes the item over and returns its index.
  int32_t Add(std::unique_ptr<T> Item) {
    items_.push_back(std::move(Item));
    return Count() - 1;
  }
  void Insert(int32_t Index, std::unique_ptr<T> Item) { items_.insert(items_.begin() + Index, std::move(Item)); }
  // Frees the item.
  void Delete(int32_t Index) {
    std::unique_ptr<T> gone = std::move(items_[static_cast<size_t>(Index)]);
    items_.erase(items_.begin() + Index);
  }
  // Unlinks the item and hands it back.
  std::unique_ptr<T> Remove(T* Item) {
    const int32_t i = IndexOf(Item);
    if (i < 0) return nullptr;
    std::unique_ptr<T> item = std::move(items_[static_cast<size_t>(i)]);
    items_.erase(items_.begin() + i);
    return item;
  }
  // Deletes the items from the front.
  void Clear() {
    while (!items_.empty()) Delete(0);
  }
  void Warning(int32_t Severity, const std::string& Message) { GIFListWarning(image_, this, Severity, Message); }
  // Every item in order.
  virtual void SaveToStream(TStream& Stream) {
    for (auto& item : items_) item->SaveToStream(Stream);
  }

 private:
  TGIFImage* image_;
  std::vector<std::unique_ptr<T>> items_;
};
