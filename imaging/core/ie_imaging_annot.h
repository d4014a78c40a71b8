#pragma once
// The image annotations of a parameter record (lines, freehand marks, rectangles, texts, notes,
// embedded images), as TIFF files of document-imaging software carry them. Each annotation keeps
// its 164-byte mark attribute record byte for byte, plus the points, text or image of its kind.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/types.h"

class TIEBitmap;
class TIEVectLink;
class TIEViewLink;
class TIOParamsVals;

class TIEImagingObject {
 public:
  static constexpr int32_t kAttributeSize = 164;

  TIEImagingObject();
  ~TIEImagingObject();
  TIEImagingObject(const TIEImagingObject&) = delete;
  TIEImagingObject& operator=(const TIEImagingObject&) = delete;

  // A copy of Source's attributes, points, text and image.
  void Assign(const TIEImagingObject& Source);

  // The mark attribute record: mark type (uint32) at offset 0, bounds at 4..19, colours, line width,
  // font and flags after them, little-endian.
  std::array<uint8_t, kAttributeSize> Attributes{};
  std::vector<TPoint> Points;           // line marks
  std::string Text;                     // text marks
  std::unique_ptr<TIEBitmap> Image;     // embedded-image marks; nil when none

  // The mark type of the attribute record.
  uint32_t MarkType() const;
};

// Mark types of the attribute record.
enum : int32_t {
  kIEMarkImageEmbedded = 1,
  kIEMarkImageReference = 2,
  kIEMarkStraightLine = 3,
  kIEMarkFreehandLine = 4,
  kIEMarkHollowRect = 5,
  kIEMarkFilledRect = 6,
  kIEMarkTypedText = 7,
  kIEMarkTextFromFile = 8,
  kIEMarkTextStamp = 9,
  kIEMarkAttachNote = 10,
  kIEMarkForm = 12,
};

// The scale at which text marks state their font heights (written as the creation scale of every
// text, assumed when a block states 0).
inline constexpr int32_t kIEAnnotFontScale = 7500;

class TIEImagingAnnot {
 public:
  explicit TIEImagingAnnot(TIOParamsVals* Parent = nullptr);
  ~TIEImagingAnnot();
  TIEImagingAnnot(const TIEImagingAnnot&) = delete;
  TIEImagingAnnot& operator=(const TIEImagingAnnot&) = delete;

  // Frees every annotation.
  void Clear();
  // Clear, then a copy of every annotation of Source (attributes, points, text, image).
  void Assign(const TIEImagingAnnot* Source);

  int32_t ObjectCount() const { return static_cast<int32_t>(objects_.size()); }
  // Annotation Index, nil outside the list.
  TIEImagingObject* Objects(int32_t Index) const;
  // Appends a new empty annotation owned by the set and returns it.
  TIEImagingObject* AddObject();

  // Reads an annotation block (the value of TIFF tag 32932) and appends its marks. Every record,
  // named block, point count and text is checked against the block: parsing stops at the first one
  // that does not fit, keeping the marks read before it. Length 0 does nothing.
  void LoadFromBuffer(const void* Buffer, int64_t Length);
  // Builds the block of every annotation in the 32-bit layout; empty when there are none.
  void SaveToBuffer(std::vector<uint8_t>& Buffer) const;
  // Adds every annotation to a vector-object view as a new object. A nil Vect stands for the
  // vector view attached to the parent's I/O component; EInvalidCast ("Invalid class typecast")
  // when there is none.
  void CopyToVect(TIEVectLink* Vect);

  // The parameter record that owns the set, nil when stand-alone.
  TIOParamsVals* Parent() const { return parent_; }
  // Set by changes, cleared after loading.
  bool Changed() const { return changed_; }
  void SetChanged(bool Value) { changed_ = Value; }

 private:
  TIOParamsVals* parent_;
  bool changed_ = false;
  std::vector<std::unique_ptr<TIEImagingObject>> objects_;
};

// The view attached to the I/O component that owns Params (nil when Params has no owner or the
// owner no view). The I/O module defines it (imaging/io/io_params.cpp): the annotations reach their
// parent's view through it while every include points down.
TIEViewLink* IEParamsAttachedView(TIOParamsVals* Params);
