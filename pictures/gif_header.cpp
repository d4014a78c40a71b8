#include "pictures/gif_header.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "pictures/gif_errors.h"
#include "pictures/gif_frame.h"
#include "pictures/gif_image.h"
#include "pictures/gif_stream_io.h"
#include "platform/system/streams.h"

// ---- TGIFGlobalColorMap -------------------------------------------------------------------------

bool TGIFGlobalColorMap::Optimize() {
  if (header_->Image()->Images()->Count() == 0) return false;
  return TGIFColorMap::Optimize();
}

void TGIFGlobalColorMap::Warning(int32_t Severity, const std::string& Message) {
  header_->Image()->Warning(this, Severity, Message);
}

void TGIFGlobalColorMap::BuildHistogram(std::vector<int64_t>& Counts) {
  TGIFImageList* frames = header_->Image()->Images();
  for (int32_t i = 0; i < frames->Count(); ++i) {
    TGIFSubImage* frame = frames->Items(i);
    if (GIFFrameUsesGlobalMap(frame)) CountPixels(frame->Data(), frame->DataSize(), Counts);
  }
  const uint8_t background = header_->BackgroundColorIndex();
  if (background < Count()) ++Counts[background];
}

void TGIFGlobalColorMap::MapPixels(const uint8_t* Map) {
  TGIFImageList* frames = header_->Image()->Images();
  for (int32_t i = 0; i < frames->Count(); ++i) {
    TGIFSubImage* frame = frames->Items(i);
    if (!GIFFrameUsesGlobalMap(frame)) continue;
    RemapPixels(frame->Data(), frame->DataSize(), Map);
    TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
    if (gce && gce->Transparent() && gce->TransparentColorIndex() < Count())
      gce->SetTransparentColorIndex(Map[gce->TransparentColorIndex()]);
    frame->PixelsChanged();
  }
  header_->SetBackgroundColorIndex(Map[header_->BackgroundColorIndex()]);
}

void TGIFGlobalColorMap::Changed() { header_->Image()->FreePalette(); }

// ---- TGIFHeader ---------------------------------------------------------------------------------

void TGIFHeader::Clear() {
  colorMap_.Clear();
  width_ = height_ = 0;
  packed_ = background_ = aspect_ = 0;
}

void TGIFHeader::Assign(TPersistent* Source) {
  if (auto* other = dynamic_cast<TGIFHeader*>(Source)) {
    if (other == this) return;
    colorMap_.Assign(&other->colorMap_);
    width_ = other->width_;
    height_ = other->height_;
    packed_ = other->packed_;
    background_ = other->background_;
    aspect_ = other->aspect_;
    return;
  }
  if (auto* map = dynamic_cast<TGIFColorMap*>(Source)) {
    Clear();
    colorMap_.Assign(map);
    return;
  }
  TGIFItem::Assign(Source);
}

int32_t TGIFHeader::Version() const { return colorMap_.Optimized() || aspect_ != 0 ? 2 : 1; }

TColor TGIFHeader::BackgroundColor() { return colorMap_.Colors(background_); }

void TGIFHeader::Prepare() {
  uint8_t packed = 0;
  if (colorMap_.Count() > 0) {
    packed |= 0x80;
    if (colorMap_.Optimized()) packed |= 0x08;
  }
  packed |= static_cast<uint8_t>((Image()->ColorResolution() & 7) << 4);
  // The size of the table as it is written (frames may code at more bits than it holds).
  const int32_t bits = colorMap_.Count() > 0 ? colorMap_.BitsPerPixel() : Image()->BitsPerPixel();
  packed |= static_cast<uint8_t>((bits - 1) & 7);
  packed_ = packed;
}

void TGIFHeader::SaveToStream(TStream& Stream) {
  const int32_t version = Image()->Version();
  if (version == 0) GIFError(sUnsupportedVersion);
  Stream.WriteBuffer(version == 1 ? "GIF87a" : "GIF89a", 6);
  Prepare();
  const uint8_t descriptor[7] = {static_cast<uint8_t>(width_), static_cast<uint8_t>(width_ >> 8),
                                 static_cast<uint8_t>(height_), static_cast<uint8_t>(height_ >> 8),
                                 packed_, background_, aspect_};
  Stream.WriteBuffer(descriptor, 7);
  if (packed_ & 0x80) colorMap_.SaveToStream(Stream);
}

void TGIFHeader::LoadFromStream(TStream& Stream) {
  const int64_t start = Stream.Position();
  char signature[6];
  const auto isGIF = [&] {
    return std::toupper(static_cast<unsigned char>(signature[0])) == 'G' &&
           std::toupper(static_cast<unsigned char>(signature[1])) == 'I' &&
           std::toupper(static_cast<unsigned char>(signature[2])) == 'F';
  };
  ReadCheck(Stream, signature, 6);
  if (!isGIF()) {
    // Some files carry four bytes in front of the signature.
    Stream.Seek(start + 4, soBeginning);
    ReadCheck(Stream, signature, 6);
    if (!isGIF()) GIFError(sBadSignature);
  }
  uint8_t descriptor[7];
  ReadCheck(Stream, descriptor, 7);
  width_ = static_cast<uint16_t>(descriptor[0] | descriptor[1] << 8);
  height_ = static_cast<uint16_t>(descriptor[2] | descriptor[3] << 8);
  packed_ = descriptor[4];
  background_ = descriptor[5];
  aspect_ = descriptor[6];
  if (packed_ & 0x80)
    colorMap_.LoadFromStream(Stream, 2 << (packed_ & 7));
  else
    colorMap_.Clear();
}

// ---- TGIFTrailer --------------------------------------------------------------------------------

void TGIFTrailer::SaveToStream(TStream& Stream) { WriteByte(Stream, bsTrailer); }

void TGIFTrailer::LoadFromStream(TStream& Stream) {
  uint8_t b = 0;
  if (Stream.Read(&b, 1) == 1 && b != bsTrailer) Warning(GIFWarningSeverity, sBadTrailer);
}
