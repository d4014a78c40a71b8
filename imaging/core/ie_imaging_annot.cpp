#include "imaging/core/ie_imaging_annot.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_dib_hooks.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_text_draw.h"
#include "imaging/core/ie_vect_link.h"
#include "imaging/core/ie_view_link.h"
#include "platform/gdi/gdi.h"
#include "platform/system/memory.h"
#include "platform/ui/type_cast.h"

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

// ---- The annotation block ----

namespace {

constexpr int32_t kRecordDefaultBlock = 2;
constexpr int32_t kRecordAttributes = 5;
constexpr int32_t kRecordMarkBlock = 6;
constexpr int64_t kNameSize = 8;
constexpr int64_t kRotationRecordSize = 56;
constexpr int64_t kTextHeaderSize = 16;
constexpr int32_t kDibResolution = 200;

// Offsets inside the 164-byte attribute record.
constexpr size_t kAttrBounds = 4;
constexpr size_t kAttrColor1 = 20;
constexpr size_t kAttrColor2 = 24;
constexpr size_t kAttrHighlighting = 28;
constexpr size_t kAttrLineWidth = 36;
constexpr size_t kAttrFont = 48;

static_assert(sizeof(LOGFONT) == 60, "the attribute record holds a 60-byte LOGFONT");

int32_t AttrI32(const std::array<uint8_t, TIEImagingObject::kAttributeSize>& a, size_t offset) {
  return static_cast<int32_t>(IEGetU32(a.data() + offset, false));
}

void SetAttrI32(std::array<uint8_t, TIEImagingObject::kAttributeSize>& a, size_t offset, int32_t value) {
  IEPutU32(a.data() + offset, static_cast<uint32_t>(value), false);
}

// A colour of the record (blue, green, red, reserved) as a framework colour.
TColor AttrColor(const std::array<uint8_t, TIEImagingObject::kAttributeSize>& a, size_t offset) {
  return static_cast<TColor>(a[offset + 2] | a[offset + 1] << 8 | a[offset] << 16);
}

LOGFONT AttrFont(const std::array<uint8_t, TIEImagingObject::kAttributeSize>& a) {
  LOGFONT font;
  font.lfHeight = AttrI32(a, kAttrFont);
  font.lfWidth = AttrI32(a, kAttrFont + 4);
  font.lfEscapement = AttrI32(a, kAttrFont + 8);
  font.lfOrientation = AttrI32(a, kAttrFont + 12);
  font.lfWeight = AttrI32(a, kAttrFont + 16);
  font.lfItalic = a[kAttrFont + 20];
  font.lfUnderline = a[kAttrFont + 21];
  font.lfStrikeOut = a[kAttrFont + 22];
  std::memcpy(font.lfFaceName, a.data() + kAttrFont + 28, LF_FACESIZE);
  font.lfFaceName[LF_FACESIZE - 1] = 0;
  return font;
}

// The data of one named block inside the annotation block.
struct TNamedData {
  const uint8_t* Data = nullptr;
  int64_t Size = 0;
};

// The named blocks kept for the marks: the defaults (record type 2) and those of the current mark.
struct TNamedBlocks {
  std::map<std::string, TNamedData> Blocks;

  const TNamedData* Find(const std::string& name) const {
    auto it = Blocks.find(name);
    return it == Blocks.end() ? nullptr : &it->second;
  }
};

bool IsTextMark(int32_t type) { return type >= kIEMarkTypedText && type <= kIEMarkAttachNote; }
bool IsLineMark(int32_t type) { return type == kIEMarkStraightLine || type == kIEMarkFreehandLine; }
bool HasRotationRecord(int32_t type) {
  return type == kIEMarkImageEmbedded || type == kIEMarkImageReference || type == kIEMarkForm;
}

// Parses the named block at the reader's position into Into. MarkType is that of the current mark:
// "OiAnoDat" is kept only for marks that have one. False when the block does not fit.
bool ParseNamedBlock(TIEByteReader& reader, bool wideHeaders, int32_t markType, TNamedBlocks& into) {
  const uint8_t* name = reader.Peek(kNameSize);
  if (!name) return false;
  std::string key(reinterpret_cast<const char*>(name), strnlen(reinterpret_cast<const char*>(name), kNameSize));
  reader.Skip(kNameSize);
  const int32_t size = reader.I32();
  if (wideHeaders) reader.Skip(4);
  if (reader.Failed() || size < 0) return false;
  const uint8_t* data = reader.Peek(size);
  if (!data) return false;
  reader.Skip(size);
  if (key == "OiAnoDat") {
    if (HasRotationRecord(markType)) {
      if (size < kRotationRecordSize) return true;
    } else if (!IsLineMark(markType)) {
      return true;
    }
  } else if (key != "OiFilNam" && key != "OiDIB" && key != "OiGroup" && key != "OiIndex" && key != "OiAnText") {
    return true;
  }
  into.Blocks[key] = TNamedData{data, size};
  return true;
}

}  // namespace

void TIEImagingAnnot::LoadFromBuffer(const void* Buffer, int64_t Length) {
  if (!Buffer || Length <= 0) return;
  TIEByteReader reader(Buffer, Length);
  reader.Skip(4);
  // Format flag 1: the 32-bit layout; 0: the 16-bit layout, whose named-block headers are 4 bytes
  // longer.
  const bool wideHeaders = reader.I32() == 0;
  if (reader.Failed()) return;

  TNamedBlocks defaults, markBlocks;
  std::array<uint8_t, TIEImagingObject::kAttributeSize> attributes{};
  bool haveMark = false;

  auto lookup = [&](const char* name) {
    const TNamedData* found = markBlocks.Find(name);
    return found ? found : defaults.Find(name);
  };
  auto finishMark = [&] {
    if (!haveMark) return;
    haveMark = false;
    const int32_t type = AttrI32(attributes, 0);
    if (type < 1) return;
    auto object = std::make_unique<TIEImagingObject>();
    object->Attributes = attributes;
    if (type == kIEMarkImageEmbedded) {
      if (const TNamedData* dib = lookup("OiDIB")) {
        auto image = std::make_unique<TIEBitmap>();
        if (IEDibHooks.DibToBitmap(dib->Data, dib->Size, *image) != 0) object->Image = std::move(image);
      }
    } else if (IsLineMark(type)) {
      if (const TNamedData* points = lookup("OiAnoDat"); points && points->Size >= 8) {
        const int32_t count = static_cast<int32_t>(IEGetU32(points->Data + 4, false));
        if (count > 0 && count <= (points->Size - 8) / 8) {
          object->Points.resize(static_cast<size_t>(count));
          for (int32_t i = 0; i < count; ++i) {
            const uint8_t* p = points->Data + 8 + int64_t{i} * 8;
            object->Points[static_cast<size_t>(i)] = TPoint{static_cast<int32_t>(IEGetU32(p, false)),
                                                            static_cast<int32_t>(IEGetU32(p + 4, false))};
          }
        }
      }
    } else if (IsTextMark(type)) {
      if (const TNamedData* text = lookup("OiAnText"); text && text->Size >= kTextHeaderSize) {
        const uint32_t scale = IEGetU32(text->Data + 8, false);
        const int64_t length = std::min<int64_t>(IEGetU32(text->Data + 12, false), text->Size - kTextHeaderSize);
        const char* chars = reinterpret_cast<const char*>(text->Data + kTextHeaderSize);
        object->Text.assign(chars, strnlen(chars, static_cast<size_t>(length)));
        // The font height to the scale every text is kept at, in one step so that a height written
        // at that scale comes back unchanged.
        const int64_t height = AttrI32(object->Attributes, kAttrFont);
        const int64_t creationScale = scale == 0 ? kIEAnnotFontScale : scale;
        SetAttrI32(object->Attributes, kAttrFont, SaturateInt32(height * kIEAnnotFontScale / creationScale));
      }
    }
    objects_.push_back(std::move(object));
  };

  while (reader.Position() < Length) {
    const int32_t type = reader.I32();
    const int32_t size = reader.I32();
    if (reader.Failed()) break;
    const int32_t markType = AttrI32(attributes, 0);
    if (type == kRecordDefaultBlock) {
      if (!ParseNamedBlock(reader, wideHeaders, markType, defaults)) break;
    } else if (type == kRecordMarkBlock) {
      if (!ParseNamedBlock(reader, wideHeaders, markType, markBlocks)) break;
    } else if (type == kRecordAttributes) {
      finishMark();
      markBlocks.Blocks.clear();
      if (!reader.Read(attributes.data(), TIEImagingObject::kAttributeSize)) break;
      haveMark = true;
    } else if (size < 0 || !reader.Skip(size)) {
      // A record of another type is passed over whole; one that does not fit ends the block.
      break;
    }
  }
  finishMark();
  changed_ = false;
}

namespace {

// Appends little-endian values to a block.
class TBlockWriter {
 public:
  explicit TBlockWriter(std::vector<uint8_t>& out) : out_(out) {}
  void I32(int32_t value) {
    uint8_t bytes[4];
    IEPutU32(bytes, static_cast<uint32_t>(value), false);
    Bytes(bytes, 4);
  }
  void Bytes(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
  }
  // A named block as a record of Type: the record header, the 8-byte name, the data size and the
  // data.
  void NamedBlock(int32_t type, const char* name, const void* data, size_t size) {
    I32(type);
    I32(12);
    char padded[kNameSize] = {};
    std::memcpy(padded, name, std::min(std::strlen(name), static_cast<size_t>(kNameSize)));
    Bytes(padded, kNameSize);
    I32(static_cast<int32_t>(size));
    Bytes(data, size);
  }
  void NamedText(int32_t type, const char* name, const std::string& text) {
    NamedBlock(type, name, text.c_str(), text.size() + 1);
  }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace

void TIEImagingAnnot::SaveToBuffer(std::vector<uint8_t>& Buffer) const {
  Buffer.clear();
  if (objects_.empty()) return;
  TBlockWriter out(Buffer);
  out.I32(0);
  out.I32(1);
  out.NamedText(kRecordDefaultBlock, "OiGroup", "0");
  out.NamedText(kRecordDefaultBlock, "OiIndex", "1");
  for (size_t k = 0; k < objects_.size(); ++k) {
    const TIEImagingObject& object = *objects_[k];
    out.I32(kRecordAttributes);
    out.I32(TIEImagingObject::kAttributeSize);
    out.Bytes(object.Attributes.data(), object.Attributes.size());
    const int32_t type = static_cast<int32_t>(object.MarkType());
    std::vector<uint8_t> data;
    TBlockWriter block(data);
    if (type == kIEMarkImageEmbedded) {
      for (int32_t value : {1, 1000, ScreenDPIX, ScreenDPIY, ScreenDPIX, ScreenDPIY}) block.I32(value);
      for (int i = 0; i < 8; ++i) block.I32(0);
      out.NamedBlock(kRecordMarkBlock, "OiAnoDat", data.data(), data.size());
      if (object.Image && !object.Image->IsEmpty()) {
        if (void* dib = IEDibHooks.BitmapToDib(*object.Image, kDibResolution, kDibResolution)) {
          out.NamedBlock(kRecordMarkBlock, "OiDIB", GlobalLock(dib), GlobalSize(dib));
          GlobalFree(dib);
        }
      }
    } else if (IsLineMark(type)) {
      const int32_t count = static_cast<int32_t>(object.Points.size());
      block.I32(count);
      block.I32(count);
      for (const TPoint& p : object.Points) {
        block.I32(p.X);
        block.I32(p.Y);
      }
      out.NamedBlock(kRecordMarkBlock, "OiAnoDat", data.data(), data.size());
    } else if (IsTextMark(type)) {
      for (int32_t value : {0, 1000, kIEAnnotFontScale, static_cast<int32_t>(object.Text.size())}) block.I32(value);
      block.Bytes(object.Text.c_str(), object.Text.size() + 1);
      out.NamedBlock(kRecordMarkBlock, "OiAnText", data.data(), data.size());
    }
    out.NamedText(kRecordMarkBlock, "OiGroup", "0");
    out.NamedText(kRecordMarkBlock, "OiIndex", std::to_string(k));
  }
}

// ---- Into a vector view ----

void TIEImagingAnnot::CopyToVect(TIEVectLink* Vect) {
  if (!Vect) {
    TIEViewLink* view = parent_ ? IEParamsAttachedView(parent_) : nullptr;
    Vect = view && view->ViewKind() == ievkVectorView ? dynamic_cast<TIEVectLink*>(view) : nullptr;
    if (!Vect) RaiseInvalidCast();
  }
  for (const auto& item : objects_) {
    const TIEImagingObject& object = *item;
    const auto& a = object.Attributes;
    const int32_t type = static_cast<int32_t>(object.MarkType());
    const TRect bounds{AttrI32(a, kAttrBounds), AttrI32(a, kAttrBounds + 4), AttrI32(a, kAttrBounds + 8),
                       AttrI32(a, kAttrBounds + 12)};
    const TColor color1 = AttrColor(a, kAttrColor1);
    const TColor color2 = AttrColor(a, kAttrColor2);
    const bool highlighted = AttrI32(a, kAttrHighlighting) != 0;
    const int32_t lineWidth = AttrI32(a, kAttrLineWidth);
    auto offset = [&](const TPoint& p) {
      return TPoint{SaturateInt32(int64_t{p.X} + bounds.Left), SaturateInt32(int64_t{p.Y} + bounds.Top)};
    };
    auto newObject = [&](TIEVObjectKind kind) {
      const int32_t handle = Vect->AddNewObject();
      Vect->SetObjKind(handle, kind);
      return handle;
    };
    switch (type) {
      case kIEMarkImageEmbedded: {
        const int32_t h = newObject(iekBITMAP);
        Vect->SetObjRect(h, bounds);
        Vect->SetObjBitmap(h, object.Image.get());
        break;
      }
      case kIEMarkStraightLine: {
        const int32_t h = newObject(iekLINE);
        const TPoint p0 = object.Points.size() > 0 ? offset(object.Points[0]) : bounds.TopLeft();
        const TPoint p1 = object.Points.size() > 1 ? offset(object.Points[1]) : p0;
        Vect->SetObjRect(h, TRect{p0.X, p0.Y, p1.X, p1.Y});
        Vect->SetObjPenColor(h, color1);
        Vect->SetObjPenStyle(h, psSolid);
        Vect->SetObjPenWidth(h, lineWidth);
        Vect->SetObjBeginShape(h, 0);
        Vect->SetObjEndShape(h, 0);
        Vect->SetObjTransparency(h, highlighted ? 127 : 255);
        break;
      }
      case kIEMarkFreehandLine: {
        const int32_t h = newObject(iekPOLYLINE);
        std::vector<TPoint> points;
        points.reserve(object.Points.size());
        for (const TPoint& p : object.Points) points.push_back(offset(p));
        Vect->SetObjPolylinePoints(h, points.data(), static_cast<int32_t>(points.size()) - 1);
        Vect->SetObjPenColor(h, color1);
        Vect->SetObjPenStyle(h, psSolid);
        Vect->SetObjPenWidth(h, lineWidth);
        Vect->SetObjTransparency(h, highlighted ? 127 : 255);
        break;
      }
      case kIEMarkHollowRect: {
        const int32_t h = newObject(iekBOX);
        Vect->SetObjRect(h, bounds);
        Vect->SetObjPenColor(h, color1);
        Vect->SetObjPenWidth(h, lineWidth);
        Vect->SetObjPenStyle(h, psSolid);
        Vect->SetObjBrushStyle(h, bsClear);
        Vect->SetObjMemoBrushStyle(h, bsClear);
        Vect->SetObjBoxHighlight(h, highlighted);
        break;
      }
      case kIEMarkFilledRect: {
        const int32_t h = newObject(iekBOX);
        Vect->SetObjRect(h, bounds);
        Vect->SetObjBrushColor(h, color1);
        Vect->SetObjBrushStyle(h, bsSolid);
        Vect->SetObjMemoBrushStyle(h, bsSolid);
        Vect->SetObjPenStyle(h, psClear);
        Vect->SetObjBoxHighlight(h, highlighted);
        break;
      }
      case kIEMarkTypedText:
      case kIEMarkTextFromFile:
      case kIEMarkTextStamp:
      case kIEMarkAttachNote: {
        const bool note = type == kIEMarkAttachNote;
        const LOGFONT font = AttrFont(a);
        const int32_t h = newObject(iekMEMO);
        Vect->SetObjRect(h, bounds);
        Vect->SetObjPenColor(h, note ? color2 : color1);
        Vect->SetObjBrushColor(h, note ? color1 : clWhite);
        Vect->SetObjBrushStyle(h, note ? bsSolid : bsClear);
        Vect->SetObjMemoBrushStyle(h, note ? bsSolid : bsClear);
        Vect->SetObjMemoBorderStyle(h, psClear);
        Vect->SetObjFontHeight(h, SaturateInt32(-(int64_t{font.lfHeight} * 1000 / kIEAnnotFontScale)));
        Vect->SetObjFontName(h, font.lfFaceName);
        Vect->SetObjFontStyles(h, LogFontToFontStyles(font));
        Vect->SetObjTextAlign(h, 0);
        Vect->SetObjTextFixedAlign(h, true);
        Vect->SetObjText(h, object.Text);
        break;
      }
      default:
        break;
    }
  }
}
