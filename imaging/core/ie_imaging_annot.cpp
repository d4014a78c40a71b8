#include "imaging/core/ie_imaging_annot.h"

#include <cstring>

#include "imaging/core/ie_bitmap.h"

TIEImagingObject::TIEImagingObject() = default;
TIEImagingObject::~TIEImagingObject() = default;

void TIEImagingObject::Assign(const TIEImagingObject& Source) {
  if (&Source == this) return;
  Attributes = Source.Attributes;
  Points = Source.Points;
  Text = Source.Text;
  if (Source.Image) {
    auto image = std::make_unique<TIEBitmap>();
    image->Assign(*Source.Image);
    Image = std::move(image);
  } else {
    Image.reset();
  }
}

uint32_t TIEImagingObject::MarkType() const {
  uint32_t type;
  std::memcpy(&type, Attributes.data(), sizeof type);
  return type;
}

TIEImagingAnnot::TIEImagingAnnot(TIOParamsVals* Parent) : parent_(Parent) {}
TIEImagingAnnot::~TIEImagingAnnot() = default;

void TIEImagingAnnot::Clear() { objects_.clear(); }

void TIEImagingAnnot::Assign(const TIEImagingAnnot* Source) {
  if (Source == this) return;
  Clear();
  if (!Source) return;
  objects_.reserve(Source->objects_.size());
  for (const auto& object : Source->objects_) AddObject()->Assign(*object);
}

TIEImagingObject* TIEImagingAnnot::Objects(int32_t Index) const {
  if (Index < 0 || Index >= ObjectCount()) return nullptr;
  return objects_[static_cast<size_t>(Index)].get();
}

TIEImagingObject* TIEImagingAnnot::AddObject() {
  objects_.push_back(std::make_unique<TIEImagingObject>());
  changed_ = true;
  return objects_.back().get();
}
