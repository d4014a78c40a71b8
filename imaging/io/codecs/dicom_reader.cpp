// The DICOM reader: the data set parsed tag by tag into the record's tag list and the image facts,
// the frame found in native or encapsulated pixel data, and the decoder its transfer syntax names.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_streams.h"
#include "imaging/core/ie_text_utils.h"
#include "imaging/io/codecs/dicom_codec.h"
#include "imaging/io/codecs/dicom_dictionary.h"
#include "imaging/io/codecs/dicom_image.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

const char kImplicitLittle[] = "1.2.840.10008.1.2";
const char kExplicitLittle[] = "1.2.840.10008.1.2.1";
const char kExplicitBig[] = "1.2.840.10008.1.2.2";
const char kDeflated[] = "1.2.840.10008.1.2.1.99";
const char kRLE[] = "1.2.840.10008.1.2.5";
constexpr uint32_t kUndefined = 0xFFFFFFFF;

void Fail(TIEProgressRecord& progress, const std::string& message) { IOFail(progress, "DICOM: " + message); }

// UIDs are padded to even length with a zero byte, texts with a blank.
std::string Trimmed(const uint8_t* p, int64_t n) {
  if (!p || n <= 0) return {};
  std::string s(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
  while (!s.empty() && (s.back() == '\0' || s.back() == ' ')) s.pop_back();
  size_t start = 0;
  while (start < s.size() && s[start] == ' ') ++start;
  return s.substr(start);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The first value of a decimal string; false when it is absent, not a number, not finite or huge.
bool FirstDecimal(const std::string& text, double& value) {
  const std::string first = text.substr(0, text.find('\\'));
  const long double v = StrToFloatDefLenient(first, std::numeric_limits<long double>::quiet_NaN());
  if (!std::isfinite(static_cast<double>(v)) || std::fabs(static_cast<double>(v)) > 1e12) return false;
  value = static_cast<double>(v);
  return true;
}

// VRs whose explicit form has two reserved bytes and a 32-bit length (PS 3.5 section 7.1.2).
bool LongExplicitVR(const char vr[2]) {
  static const char* const kLong[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ", "SV", "UC", "UN", "UR", "UT", "UV"};
  for (const char* v : kLong)
    if (vr[0] == v[0] && vr[1] == v[1]) return true;
  return false;
}

bool IsNativeSyntax(const std::string& ts) { return ts == kImplicitLittle || ts == kExplicitLittle || ts == kExplicitBig; }

enum class TCodec { Native, RLE, Lossless, Baseline, J2K, Unsupported };

TCodec CodecOf(const std::string& ts, bool encapsulated) {
  if (ts == kRLE) return TCodec::RLE;
  if (ts == "1.2.840.10008.1.2.4.70" || ts == "1.2.840.10008.1.2.4.57") return TCodec::Lossless;
  if (ts == "1.2.840.10008.1.2.4.50" || ts == "1.2.840.10008.1.2.4.51") return TCodec::Baseline;
  if (ts == "1.2.840.10008.1.2.4.90" || ts == "1.2.840.10008.1.2.4.91") return TCodec::J2K;
  if (IsNativeSyntax(ts) || ts.empty()) return encapsulated ? TCodec::Unsupported : TCodec::Native;
  // A syntax no decoder here takes: its data are raw only when they are not encapsulated.
  return encapsulated ? TCodec::Unsupported : TCodec::Native;
}

// The read of one data set.
struct TParser {
  TIEByteReader r;
  TIOParamsVals& params;
  TDICOMImage image;
  bool metaHeader = false;   // group 2 seen: the transfer syntax decides explicit or implicit
  bool explicitVR = true;
  int32_t depth = 0;         // sequences of undefined length open
  int64_t pixelData = -1;    // where the pixel data's value starts
  uint32_t pixelLength = 0;

  TParser(TStream& s, TIOParamsVals& p) : r(s), params(p) {}

  uint16_t U16(uint16_t group) {
    r.SetBigEndian(!image.LittleEndian && group != 2);
    return r.U16();
  }
  uint32_t U32(uint16_t group) {
    r.SetBigEndian(!image.LittleEndian && group != 2);
    return r.U32();
  }

  void NoteImageTag(uint16_t element, const char vr[2], const std::vector<uint8_t>& v) {
    const int64_t n = static_cast<int64_t>(v.size());
    auto us = [&]() -> int32_t {
      if (n < 2) return 0;
      return image.LittleEndian ? IEGetU16(v.data(), false) : IEGetU16(v.data(), true);
    };
    const std::string text = Trimmed(v.data(), n);
    switch (element) {
      case 0x0002: image.SamplesPerPixel = us(); break;
      case 0x0004: image.Photometric = Upper(text); break;
      case 0x0006: image.PlanarConfiguration = us(); break;
      case 0x0008: {
        double frames = 1;
        image.Frames = FirstDecimal(text, frames) && frames >= 1 && frames < 1e9 ? static_cast<int32_t>(frames) : 1;
        break;
      }
      case 0x0010: image.Rows = us(); break;
      case 0x0011: image.Columns = us(); break;
      case 0x0100: image.BitsAllocated = us(); break;
      case 0x0101: image.BitsStored = us(); break;
      case 0x0103: image.PixelRepresentation = us(); break;
      case 0x1050: image.HasWindow = FirstDecimal(text, image.WindowCentre); break;
      case 0x1051: {
        double width = 0;
        if (FirstDecimal(text, width) && width >= 1) image.WindowWidth = width;
        else image.HasWindow = false, image.WindowWidth = 0;
        break;
      }
      case 0x1052: if (!FirstDecimal(text, image.RescaleIntercept)) image.RescaleIntercept = 0; break;
      case 0x1053: if (!FirstDecimal(text, image.RescaleSlope) || image.RescaleSlope == 0) image.RescaleSlope = 1; break;
      case 0x1101: case 0x1102: case 0x1103: {
        // Entries, first value mapped, bits of each entry.
        const int k = element - 0x1101;
        if (n >= 6) {
          const bool big = !image.LittleEndian;
          image.LutFirst[k] = (vr[0] == 'S' && vr[1] == 'S') ? static_cast<int16_t>(IEGetU16(v.data() + 2, big))
                                                               : IEGetU16(v.data() + 2, big);
          image.LutBits[k] = IEGetU16(v.data() + 4, big);
        }
        break;
      }
      case 0x1201: case 0x1202: case 0x1203: {
        const int k = element - 0x1201;
        image.Lut[k].resize(static_cast<size_t>(n / 2));
        for (int64_t i = 0; i < n / 2; ++i) image.Lut[k][static_cast<size_t>(i)] = IEGetU16(v.data() + 2 * i, !image.LittleEndian);
        break;
      }
      default: break;
    }
  }

  // Parses tags up to the pixel data of the data set (or its end); false when the data cannot be
  // read further as DICOM (the syntax is deflated). Stops early, without failing, at cut data.
  bool Parse(TIEProgressRecord& progress) {
    while (r.Remaining() >= 8) {
      // Group 2 (the meta header) is little-endian whatever the data set's order.
      uint8_t g[2] = {0, 0};
      r.Read(g, 2);
      uint16_t group = static_cast<uint16_t>(g[0] | g[1] << 8);
      if (group != 2 && !image.LittleEndian) group = static_cast<uint16_t>(g[0] << 8 | g[1]);
      const uint16_t element = U16(group);
      if (metaHeader && group != 2 && !deflateChecked) {
        deflateChecked = true;
        if (image.TransferSyntax == kDeflated) {
          Fail(progress, "deflated data sets are not read");
          return false;
        }
      }
      const char* dictVR = DICOMDictionaryVR(group, element);
      char vr[2] = {dictVR[0], dictVR[1]};
      uint32_t length = 0;
      if (group == 0xFFFE) {
        // Items and delimiters: no VR, a 32-bit length.
        vr[0] = vr[1] = '!';
        length = U32(group);
      } else {
        bool explicitHere;
        uint8_t letters[2] = {0, 0};
        const int64_t at = r.Position();
        r.Read(letters, 2);
        r.Seek(at);
        if (group == 2) explicitHere = true;
        else if (metaHeader) explicitHere = explicitVR;
        else explicitHere = std::isupper(letters[0]) && std::isupper(letters[1]);
        if (explicitHere) {
          r.Skip(2);
          vr[0] = static_cast<char>(letters[0]);
          vr[1] = static_cast<char>(letters[1]);
          if (LongExplicitVR(vr)) {
            r.Skip(2);
            length = U32(group);
          } else {
            length = U16(group);
          }
        } else {
          length = U32(group);
        }
      }
      if (r.Failed()) return true;

      const bool atTop = depth == 0;
      if (group == 0xFFFE) {
        if (element == 0xE0DD) depth = std::max(0, depth - 1);
        // An item of undefined length is parsed as tags; a defined one is passed over.
        if (element == 0xE000 && length != kUndefined && !r.Skip(length)) return true;
        continue;
      }
      if (group == 0x7FE0 && element == 0x0010) {
        if (atTop) {
          pixelData = r.Position();
          pixelLength = length;
          return true;
        }
        // An icon's pixel data: encapsulated ones close with a sequence delimiter.
        if (length == kUndefined) ++depth;
        else if (!r.Skip(length)) return true;
        continue;
      }
      if (length == kUndefined) {
        // A sequence (or an undefined-length value that holds one): its items follow as tags.
        ++depth;
        continue;
      }
      if (static_cast<int64_t>(length) > r.Remaining()) return true;  // cut short: the tags so far stay
      std::vector<uint8_t> value;
      if (length > 0 && !r.ReadBytes(length, value)) return true;
      params.DicomTags.AddTag(group, element, std::string(vr, 2), value.empty() ? nullptr : value.data(),
                              static_cast<int32_t>(value.size()));
      if (group == 2) {
        metaHeader = true;
        if (element == 0x0010) {
          image.TransferSyntax = Trimmed(value.data(), static_cast<int64_t>(value.size()));
          image.LittleEndian = image.TransferSyntax != kExplicitBig;
          explicitVR = image.TransferSyntax != kImplicitLittle;
        }
      } else if (group == 0x0028 && atTop) {
        NoteImageTag(element, vr, value);
      }
    }
    return true;
  }

  bool deflateChecked = false;
};

// The bytes of frame Index of encapsulated pixel data whose first item starts at Items: the
// fragments the offset table gives it, or, without a table, fragment Index (all fragments for a
// single frame).
bool GatherEncapsulatedFrame(TIEByteReader& r, const TDICOMImage& image, int32_t index, std::vector<uint8_t>& out,
                             std::string& why) {
  r.SetBigEndian(false);
  auto itemHeader = [&](uint32_t& length) {
    const uint16_t g = r.U16(), e = r.U16();
    length = r.U32();
    return !r.Failed() && g == 0xFFFE && e == 0xE000;
  };
  uint32_t tableLength = 0;
  if (!itemHeader(tableLength)) {
    why = "no offset table item";
    return false;
  }
  if (!r.Has(tableLength)) {
    why = "offset table past the data";
    return false;
  }
  std::vector<uint32_t> offsets;
  for (uint32_t i = 0; i + 4 <= tableLength; i += 4) offsets.push_back(r.U32());
  r.Skip(tableLength - tableLength / 4 * 4);
  const int64_t first = r.Position();
  // The fragments, in order, each with its offset from the first.
  struct Fragment {
    int64_t at, offset;
    uint32_t length;
  };
  std::vector<Fragment> fragments;
  while (r.Remaining() >= 8) {
    const int64_t at = r.Position();
    const uint16_t g = r.U16(), e = r.U16();
    const uint32_t length = r.U32();
    if (g != 0xFFFE || e != 0xE000) break;  // the sequence delimiter, or the end
    if (!r.Has(length)) {
      why = "fragment past the data";
      return false;
    }
    fragments.push_back({r.Position(), at - first, length});
    r.Skip(length);
  }
  if (fragments.empty()) {
    why = "no fragment";
    return false;
  }
  std::vector<const Fragment*> chosen;
  if (static_cast<size_t>(index) < offsets.size() && !offsets.empty()) {
    const int64_t from = offsets[static_cast<size_t>(index)];
    const int64_t to = static_cast<size_t>(index) + 1 < offsets.size() ? offsets[static_cast<size_t>(index) + 1] : INT64_MAX;
    for (const Fragment& f : fragments)
      if (f.offset >= from && f.offset < to) chosen.push_back(&f);
  } else if (image.Frames <= 1) {
    for (const Fragment& f : fragments) chosen.push_back(&f);
  } else if (static_cast<size_t>(index) < fragments.size()) {
    chosen.push_back(&fragments[static_cast<size_t>(index)]);
  }
  if (chosen.empty()) {
    why = "the frame has no fragment";
    return false;
  }
  int64_t total = 0;
  for (const Fragment* f : chosen) total += f->length;
  out.resize(static_cast<size_t>(total));
  int64_t filled = 0;
  for (const Fragment* f : chosen) {
    r.Seek(f->at);
    if (!r.Read(out.data() + filled, f->length)) {
      why = "fragment past the data";
      return false;
    }
    filled += f->length;
  }
  return true;
}

// A frame through the JPEG or JPEG 2000 codec into a scratch record.
bool DecodeThroughCodec(TCodec codec, const std::vector<uint8_t>& data, TIEBitmap& bitmap) {
  TCustomMemoryStream s(data.data(), static_cast<int64_t>(data.size()));
  TIOParamsVals scratch(nullptr);
  bool aborting = false;
  TIEProgressRecord pr;
  pr.Aborting = &aborting;
  try {
    if (codec == TCodec::Baseline) {
      ReadJpegStream(s, nullptr, bitmap, scratch, pr, false, false, false, false, true, true, -1, true);
    } else {
      ReadJpeg2000Samples(s, bitmap, scratch, pr);
    }
  } catch (const std::exception&) {
    aborting = true;
  }
  return !aborting && !bitmap.IsEmpty();
}

}  // namespace

int64_t TDICOMImage::NativeFrameBytes() const {
  // YBR_FULL_422 keeps two chroma samples for every two pixels.
  const int64_t pixels = static_cast<int64_t>(Columns) * Rows;
  if (SamplesPerPixel == 3 && BitsAllocated == 8 && (Photometric == "YBR_FULL_422" || Photometric == "YBR_PARTIAL_422"))
    return (pixels + 1) / 2 * 4;
  return (pixels * SamplesPerPixel * BitsAllocated + 7) / 8;
}

bool IsDICOMStream(TStream& Stream) {
  const int64_t p = Stream.Position();
  bool match = false;
  try {
    char tag[4];
    if (Stream.Size() - p >= 132) {
      Stream.Seek(p + 128, soBeginning);
      match = Stream.Read(tag, 4) == 4 && std::memcmp(tag, "DICM", 4) == 0;
    }
  } catch (const std::exception&) {
    match = false;
  }
  Stream.Seek(p, soBeginning);
  return match;
}

void ReadDICOMStream(TStream& Stream, TIOParamsVals& Params, TIEBitmap* Bitmap, TIEProgressRecord& Progress,
                     bool HeaderOnly) {
  TIEBufferedReadStream view(Stream, 65536, true);
  TParser p(view, Params);
  // "DICM" after the 128-byte preamble, else a data set from the first byte.
  p.r.Seek(0);
  if (p.r.Size() >= 132 && p.r.Seek(128) && p.r.Matches("DICM", 4)) p.r.Seek(132);
  else p.r.Seek(0);
  p.r.ClearFailed();
  if (!p.Parse(Progress)) return;
  TDICOMImage& im = p.image;
  if (im.Frames < 1) im.Frames = 1;
  Params.SetImageCount(im.Frames);
  if (p.pixelData < 0) {
    if (!HeaderOnly && Bitmap) Fail(Progress, "no pixel data");
    return;
  }
  Params.BitsPerSample = im.BitsStored;
  Params.SamplesPerPixel = im.SamplesPerPixel;
  Params.Width = Params.OriginalWidth = im.Columns;
  Params.Height = Params.OriginalHeight = im.Rows;
  if (HeaderOnly || !Bitmap) return;

  const int32_t frame = std::clamp(Params.ImageIndex, 0, im.Frames - 1);
  Params.SetImageIndex(frame);
  if (im.Columns < 1 || im.Rows < 1) return Fail(Progress, "no image size");
  if (im.BitsAllocated < 1 || im.BitsAllocated > 16 || im.BitsStored < 1 || im.BitsStored > im.BitsAllocated ||
      (im.SamplesPerPixel != 1 && im.SamplesPerPixel != 3) || (im.SamplesPerPixel == 3 && im.BitsAllocated > 8))
    return Fail(Progress, "a pixel layout the reader does not decode");

  TIEByteReader& r = p.r;
  r.Seek(p.pixelData);
  const bool encapsulated = p.pixelLength == kUndefined;
  const TCodec codec = CodecOf(im.TransferSyntax, encapsulated);
  if (codec == TCodec::Unsupported) return Fail(Progress, "transfer syntax " + im.TransferSyntax + " is not decoded");

  TIEBitmap decoded;
  bool ok = false;
  if (codec == TCodec::Native) {
    const int64_t frameBytes = im.NativeFrameBytes();
    const int64_t at = p.pixelData + frameBytes * frame;
    const int64_t available = std::min<int64_t>(encapsulated ? r.Size() : p.pixelLength, r.Size() - p.pixelData);
    if (frameBytes <= 0 || frameBytes * (frame + 1) > available) return Fail(Progress, "pixel data past the end of the data");
    std::vector<uint8_t> data;
    r.Seek(at);
    if (!r.ReadBytes(frameBytes, data)) return Fail(Progress, "pixel data past the end of the data");
    ok = DecodeDICOMNative(im, data.data(), frameBytes, decoded, Progress);
  } else {
    std::vector<uint8_t> data;
    std::string why;
    if (!GatherEncapsulatedFrame(r, im, frame, data, why)) return Fail(Progress, why);
    // The frame's bytes must be able to code its size.
    TIEImageData gate;
    gate.Bytes = static_cast<int64_t>(data.size());
    gate.BitsPerPixel = im.SamplesPerPixel * im.BitsAllocated;
    gate.MaxPixelsPerByte = codec == TCodec::RLE ? 64 : codec == TCodec::Lossless ? 8 : int64_t{1} << 17;
    if (!IEImageSizePlausible(im.Columns, im.Rows, gate)) return Fail(Progress, "the data cannot hold the image size");
    switch (codec) {
      case TCodec::RLE: ok = DecodeDICOMRLE(im, data.data(), static_cast<int64_t>(data.size()), decoded, Progress); break;
      case TCodec::Lossless:
        ok = DecodeDICOMLosslessJPEG(im, data.data(), static_cast<int64_t>(data.size()), decoded, Progress);
        break;
      default: ok = DecodeThroughCodec(codec, data, decoded); break;
    }
    if (ok && (codec == TCodec::Baseline || codec == TCodec::J2K)) {
      if (decoded.Width() != im.Columns || decoded.Height() != im.Rows) ok = false;
      else if (im.SamplesPerPixel == 1 && decoded.PixelFormat() == ie24RGB) decoded.SetPixelFormat(ie8g);
    }
  }
  if (!ok) return Fail(Progress, "the pixel data do not decode");
  if (decoded.PixelFormat() == ie8g || decoded.PixelFormat() == ie16g) ApplyDICOMGreySteps(im, decoded);
  Bitmap->Assign(decoded);
}

int32_t DICOMFrameCount(TStream& Stream) {
  const int64_t p = Stream.Position();
  int32_t frames = 0;
  try {
    TIOParamsVals scratch(nullptr);
    bool aborting = false;
    TIEProgressRecord pr;
    pr.Aborting = &aborting;
    ReadDICOMStream(Stream, scratch, nullptr, pr, true);
    frames = aborting ? 0 : scratch.ImageCount;
  } catch (const std::exception&) {
    frames = 0;
  }
  Stream.Seek(p, soBeginning);
  return frames;
}

int32_t DICOMFileFrameCount(const std::string& FileName) {
  try {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    return DICOMFrameCount(file);
  } catch (const std::exception&) {
    return 0;
  }
}

void DICOMCodecRead(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    bool ParamsOnly) {
  Params.DicomTags.Clear();
  ReadDICOMStream(Stream, Params, &Bitmap, Progress, ParamsOnly);
}
