#include "imaging/core/ie_icc.h"

#include <algorithm>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "platform/color/color_management.h"
#include "platform/system/streams.h"

namespace {

COLORTYPE ColorTypeOf(int32_t rowFormat) {
  switch (rowFormat) {
    case icrRGB: case icrBGR: case icrRGB48: case icrRGB48BE: return COLOR_RGB;
    case icrCMYKInv: case icrCMYK6: return COLOR_CMYK;
    case icrCIELab: return COLOR_Lab;
    case icrGray: return COLOR_GRAY;
    case icr3Channel: return COLOR_3_CHANNEL;
    default: return static_cast<COLORTYPE>(0);
  }
}

// Bytes of one pixel of a row format.
int64_t RowFormatBytes(int32_t rowFormat) {
  switch (rowFormat) {
    case icrCMYKInv: return 4;
    case icrCMYK6: case icrRGB48: case icrRGB48BE: return 6;
    case icrGray: return 1;
    default: return 3;
  }
}

// The row layout of the pixel formats ConvertBitmap handles, -1 for the others.
int32_t RowFormatOf(TIEPixelFormat format) {
  switch (format) {
    case ie8g: return icrGray;
    case ie24RGB: return icrBGR;
    case ieCMYK: return icrCMYKInv;
    case ieRGB48: return icrRGB48;
    case ieCIELab: return icrCIELab;
    default: return -1;
  }
}

uint16_t Widen(uint8_t v) { return static_cast<uint16_t>(v * 257); }
uint8_t High(uint16_t w) { return static_cast<uint8_t>(w >> 8); }
// ieCIELab's signed a and b bytes to and from the 16-bit encoding (32896 = 0).
uint16_t WidenSigned(uint8_t v) { return static_cast<uint16_t>((static_cast<int8_t>(v) + 128) * 257); }
uint8_t NarrowSigned(uint16_t w) { return static_cast<uint8_t>(static_cast<int8_t>(static_cast<int>(w >> 8) - 128)); }

void ReadRow(int32_t format, const uint8_t* s, COLOR* c, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    uint16_t* w = c[i].w;
    switch (format) {
      case icrRGB: case icr3Channel: w[0] = Widen(s[0]); w[1] = Widen(s[1]); w[2] = Widen(s[2]); s += 3; break;
      case icrBGR: w[0] = Widen(s[2]); w[1] = Widen(s[1]); w[2] = Widen(s[0]); s += 3; break;
      case icrCMYKInv: for (int k = 0; k < 4; ++k) w[k] = Widen(static_cast<uint8_t>(255 - s[k])); s += 4; break;
      case icrCMYK6: for (int k = 0; k < 4; ++k) w[k] = Widen(s[k]); s += 6; break;
      case icrCIELab: w[0] = Widen(s[0]); w[1] = WidenSigned(s[1]); w[2] = WidenSigned(s[2]); s += 3; break;
      case icrGray: w[0] = Widen(s[0]); s += 1; break;
      case icrRGB48: for (int k = 0; k < 3; ++k) w[k] = IEGetU16(s + 2 * k, false); s += 6; break;
      case icrRGB48BE: for (int k = 0; k < 3; ++k) w[k] = IEGetU16(s + 2 * k, true); s += 6; break;
      default: break;
    }
  }
}

void WriteRow(int32_t format, const COLOR* c, uint8_t* d, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint16_t* w = c[i].w;
    switch (format) {
      case icrRGB: case icr3Channel: d[0] = High(w[0]); d[1] = High(w[1]); d[2] = High(w[2]); d += 3; break;
      case icrBGR: d[0] = High(w[2]); d[1] = High(w[1]); d[2] = High(w[0]); d += 3; break;
      case icrCMYKInv: for (int k = 0; k < 4; ++k) d[k] = static_cast<uint8_t>(255 - High(w[k])); d += 4; break;
      case icrCMYK6: for (int k = 0; k < 4; ++k) d[k] = High(w[k]); d += 6; break;
      case icrCIELab: d[0] = High(w[0]); d[1] = NarrowSigned(w[1]); d[2] = NarrowSigned(w[2]); d += 3; break;
      case icrGray: d[0] = High(w[0]); d += 1; break;
      case icrRGB48: for (int k = 0; k < 3; ++k) IEPutU16(d + 2 * k, w[k], false); d += 6; break;
      case icrRGB48BE: for (int k = 0; k < 3; ++k) IEPutU16(d + 2 * k, w[k], true); d += 6; break;
      default: break;
    }
  }
}

// Text of a "desc" or "cprt" tag: the ICC v2 types ("desc": ASCII after a count, "text": ASCII) and
// the first record of a v4 "mluc" (UTF-16 big-endian); everything read stays inside [offset,
// offset + size) of the profile.
std::string TagText(const std::vector<uint8_t>& raw, int64_t offset, int64_t size, int64_t textAt) {
  const int64_t end = offset + size;
  const uint8_t* p = raw.data();
  if (size >= 28 && std::memcmp(p + offset, "mluc", 4) == 0) {
    TIEByteReader r(p, end, true);
    r.Seek(offset + 8);
    const uint32_t records = r.U32();
    r.Skip(4);  // record size
    r.Skip(4);  // language and country of the first record
    const int64_t length = r.U32();
    const int64_t at = offset + r.U32();
    if (r.Failed() || records == 0 || !r.RangeInside(at, length) || length >= 2000) return std::string();
    std::string text;
    for (int64_t i = 0; i + 1 < length; i += 2) {
      const uint32_t ch = IEGetU16(p + at + i, true);
      if (ch == 0) break;
      if (ch < 0x80) {
        text += static_cast<char>(ch);
      } else if (ch < 0x800) {
        text += static_cast<char>(0xC0 | ch >> 6);
        text += static_cast<char>(0x80 | (ch & 0x3F));
      } else {
        text += static_cast<char>(0xE0 | ch >> 12);
        text += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (ch & 0x3F));
      }
    }
    return text;
  }
  const int64_t start = offset + textAt;
  if (start >= end) return std::string();
  const auto* zero = static_cast<const uint8_t*>(std::memchr(p + start, 0, static_cast<size_t>(end - start)));
  const int64_t length = zero ? zero - (p + start) : end - start;
  if (length >= 1000) return std::string();
  return std::string(reinterpret_cast<const char*>(p + start), static_cast<size_t>(length));
}

}  // namespace

TIEICC::~TIEICC() { Clear(); }

void TIEICC::LoadFromBuffer(const void* buffer, int32_t length) {
  Clear();
  if (buffer && length > 0) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    raw_.assign(p, p + length);
  }
  OpenProfile();
}

void TIEICC::OpenProfile() {
  if (!profile_ && !raw_.empty()) profile_ = OpenColorProfileFromMemory(raw_.data(), static_cast<int64_t>(raw_.size()));
  ReadProfileTexts();
}

void TIEICC::LoadSRGBProfile() {
  Clear();
  raw_ = BuiltInProfileData(bipSRGB);
  OpenProfile();
}

void TIEICC::FreeTransform() {
  if (transform_) {
    DeleteColorTransform(transform_);
    transform_ = nullptr;
    applied_ = true;
  }
}

void TIEICC::CloseProfile() {
  FreeTransform();
  if (profile_) CloseColorProfile(profile_);
  profile_ = nullptr;
  cachedInput_ = cachedOutput_ = cachedIntent_ = -1;
  cachedFlags_ = 0;
}

void TIEICC::Clear() {
  CloseProfile();
  raw_.clear();
  applied_ = false;
  description_.clear();
  copyright_.clear();
}

void TIEICC::SaveToStream(TStream& stream, bool rawOnly) const {
  if (!rawOnly) stream.WriteValue<int32_t>(RawLength());
  if (!raw_.empty()) stream.WriteBuffer(raw_.data(), RawLength());
}

void TIEICC::Assign(const TIEICC* source) {
  if (!source || source == this) return;
  Clear();
  raw_ = source->raw_;
  OpenProfile();
}

bool TIEICC::TransformRow(TIEICC& destination, int32_t inputFormat, int32_t outputFormat, int32_t intent,
                          uint32_t flags, const void* source, void* dest, int32_t count) {
  if (!transform_ || inputFormat != cachedInput_ || outputFormat != cachedOutput_ || intent != cachedIntent_ ||
      flags != cachedFlags_) {
    FreeTransform();
    if (profile_ && destination.profile_) {
      const HPROFILE profiles[2] = {profile_, destination.profile_};
      const uint32_t intents[2] = {CM_INTENT_PERCEPTUAL, CM_INTENT_PERCEPTUAL};
      transform_ = CreateMultiProfileTransform(profiles, 2, intents, 2, BEST_MODE | USE_RELATIVE_COLORIMETRIC);
    }
    cachedInput_ = inputFormat;
    cachedOutput_ = outputFormat;
    cachedIntent_ = intent;
    cachedFlags_ = flags;
  }
  if (!transform_) return false;
  const COLORTYPE inType = ColorTypeOf(inputFormat), outType = ColorTypeOf(outputFormat);
  if (!inType || !outType || !source || !dest) return false;
  if (count <= 0) return true;
  // In pieces of a few hundred colours held on the stack: no allocation per row or per pixel.
  constexpr int32_t kPiece = 512;
  COLOR in[kPiece], out[kPiece];
  const auto* s = static_cast<const uint8_t*>(source);
  auto* d = static_cast<uint8_t*>(dest);
  const int64_t inBytes = RowFormatBytes(inputFormat), outBytes = RowFormatBytes(outputFormat);
  for (int32_t at = 0; at < count; at += kPiece) {
    const int32_t n = std::min(kPiece, count - at);
    std::fill(in, in + n, COLOR{});
    std::fill(out, out + n, COLOR{});
    ReadRow(inputFormat, s + at * inBytes, in, n);
    if (!TranslateColors(transform_, in, static_cast<uint32_t>(n), inType, out, outType)) return false;
    WriteRow(outputFormat, out, d + at * outBytes, n);
  }
  return true;
}

bool TIEICC::ConvertBitmap(TIEBitmap* bitmap, TIEPixelFormat pixelFormat, TIEICC& destination) {
  if (!bitmap || bitmap->IsEmpty()) return false;
  const int32_t inCode = RowFormatOf(bitmap->PixelFormat()), outCode = RowFormatOf(pixelFormat);
  if (inCode < 0 || outCode < 0) return false;
  TIEBitmap converted;
  if (!converted.Allocate(bitmap->Width(), bitmap->Height(), pixelFormat)) return false;
  {
    TIERowAccessScope readOnly(*bitmap, iraRead);
    TIERowAccessScope writeOnly(converted, iraWrite);
    for (int32_t y = 0; y < bitmap->Height(); ++y) {
      // Every row converts, or the bitmap stays as it was.
      if (!TransformRow(destination, inCode, outCode, 0, 0, bitmap->GetRow(y), converted.GetRow(y), bitmap->Width()))
        return false;
    }
  }
  FreeTransform();
  // The bitmap takes the new pixels and keeps its own alpha channel.
  std::unique_ptr<TIEBitmap> alpha = bitmap->SetAlphaChannel(nullptr);
  converted.MoveStorageTo(*bitmap);
  bitmap->SetAlphaChannel(std::move(alpha));
  return true;
}

void TIEICC::ReadProfileTexts() {
  description_.clear();
  copyright_.clear();
  const int64_t length = static_cast<int64_t>(raw_.size());
  if (length <= 128) return;
  TIEByteReader r(raw_.data(), length, true);
  r.Seek(128);
  const uint32_t count = r.U32();
  if (r.Failed() || count > 1000) return;
  for (uint32_t i = 0; i < count; ++i) {
    char signature[4];
    if (!r.Read(signature, 4)) return;
    const int64_t offset = r.U32();
    const int64_t size = r.U32();
    if (r.Failed() || !r.RangeInside(offset, size)) return;
    if (size >= 1000 || size < 8) continue;
    if (std::memcmp(signature, "cprt", 4) == 0) copyright_ = TagText(raw_, offset, size, 8);
    else if (std::memcmp(signature, "desc", 4) == 0) description_ = TagText(raw_, offset, size, 12);
  }
}
