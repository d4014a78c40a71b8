#include "imaging/io/codecs/jpeg2000_glue.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <thread>

#include "imaging/core/ie_byte_reader.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "platform/system/streams.h"

int32_t IEJ2000ThreadCount = 0;

namespace j2000 {
namespace {

constexpr OPJ_SIZE_T kEnd = static_cast<OPJ_SIZE_T>(-1);

OPJ_SIZE_T ReadProc(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* b = static_cast<TStreamBinding*>(user);
  try {
    OPJ_SIZE_T done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
      const int32_t chunk = static_cast<int32_t>(std::min<OPJ_SIZE_T>(count - done, 1 << 30));
      const int32_t got = b->stream->Read(out + done, chunk);
      if (got <= 0) break;
      done += static_cast<OPJ_SIZE_T>(got);
      if (got < chunk) break;
    }
    return done == 0 ? kEnd : done;
  } catch (const std::exception&) {
    b->failed = true;
    return kEnd;
  }
}

OPJ_SIZE_T WriteProc(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* b = static_cast<TStreamBinding*>(user);
  try {
    OPJ_SIZE_T done = 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (done < count) {
      const int32_t chunk = static_cast<int32_t>(std::min<OPJ_SIZE_T>(count - done, 1 << 30));
      const int32_t put = b->stream->Write(in + done, chunk);
      if (put != chunk) {
        b->failed = true;
        return kEnd;
      }
      done += static_cast<OPJ_SIZE_T>(put);
    }
    return done;
  } catch (const std::exception&) {
    b->failed = true;
    return kEnd;
  }
}

OPJ_OFF_T SkipProc(OPJ_OFF_T count, void* user) {
  auto* b = static_cast<TStreamBinding*>(user);
  try {
    const int64_t at = b->stream->Position();
    if (at + count < b->base) return -1;
    b->stream->Seek(at + count, soBeginning);
    return count;
  } catch (const std::exception&) {
    b->failed = true;
    return -1;
  }
}

OPJ_BOOL SeekProc(OPJ_OFF_T position, void* user) {
  auto* b = static_cast<TStreamBinding*>(user);
  if (position < 0) return OPJ_FALSE;
  try {
    b->stream->Seek(b->base + position, soBeginning);
    return OPJ_TRUE;
  } catch (const std::exception&) {
    b->failed = true;
    return OPJ_FALSE;
  }
}

void ErrorProc(const char* message, void* user) {
  auto* errors = static_cast<TCodecErrors*>(user);
  if (errors->first.empty() && message) {
    errors->first = message;
    while (!errors->first.empty() && (errors->first.back() == '\n' || errors->first.back() == '\r'))
      errors->first.pop_back();
  }
}

void QuietProc(const char*, void*) {}

uint32_t BoxType(const char (&t)[5]) {
  return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 |
         uint8_t(t[3]);
}

// One box header at the reader's position inside [.., end): its type and where its contents lie.
struct TBox {
  uint32_t type = 0;
  int64_t contents = 0;
  int64_t end = 0;
};

bool NextBox(TIEByteReader& r, int64_t end, TBox& box) {
  const int64_t start = r.Position();
  if (end - start < 8) return false;
  uint64_t length = r.U32();
  box.type = r.U32();
  int64_t header = 8;
  if (length == 1) {
    if (end - start < 16) return false;
    length = r.U64();
    header = 16;
  } else if (length == 0) {
    length = static_cast<uint64_t>(end - start);
  }
  if (r.Failed() || length < static_cast<uint64_t>(header) || length > static_cast<uint64_t>(end - start))
    return false;
  box.contents = start + header;
  box.end = start + static_cast<int64_t>(length);
  return true;
}

void ReadColourSpec(TIEByteReader& r, const TBox& box, THeaderFacts& facts) {
  if (facts.colorSpace != TColorSpace::Unknown || box.end - box.contents < 3) return;  // the first one holds
  const uint8_t method = r.U8();
  r.Skip(2);  // precedence, approximation
  if (method == 1 && box.end - r.Position() >= 4) {
    switch (r.U32()) {
      case 16: facts.colorSpace = TColorSpace::RGB; break;
      case 17: facts.colorSpace = TColorSpace::Grey; break;
      case 18: facts.colorSpace = TColorSpace::YCbCr; break;
      default: facts.colorSpace = TColorSpace::Other; break;
    }
  } else if ((method == 2 || method == 3) && box.end - r.Position() >= 20) {
    // An ICC profile: its data colour space is at byte 16 of the profile.
    r.Skip(16);
    const uint32_t space = r.U32();
    if (space == BoxType("RGB "))
      facts.colorSpace = TColorSpace::RGB;
    else if (space == BoxType("GRAY"))
      facts.colorSpace = TColorSpace::Grey;
    else if (space == BoxType("YCbr"))
      facts.colorSpace = TColorSpace::YCbCr;
    else
      facts.colorSpace = TColorSpace::Other;
  }
}

void ReadChannelDefinition(TIEByteReader& r, const TBox& box, THeaderFacts& facts) {
  const uint16_t count = r.U16();
  for (uint32_t i = 0; i < count && box.end - r.Position() >= 6; ++i) {
    const uint16_t channel = r.U16();
    const uint16_t type = r.U16();
    r.U16();  // association
    if (type == 1 || type == 2) facts.opacity.push_back(channel);
  }
}

// SIZ right after SOC at the reader's position.
bool ReadSIZ(TIEByteReader& r, int64_t end, THeaderFacts& facts) {
  if (end - r.Position() < 4 + 4 + 36 + 2) return false;
  if (r.U16() != 0xFF4F || r.U16() != 0xFF51) return false;
  const uint16_t length = r.U16();
  r.U16();  // capabilities
  const uint32_t x1 = r.U32(), y1 = r.U32();
  facts.x0 = r.U32();
  facts.y0 = r.U32();
  facts.tileWidth = r.U32();
  facts.tileHeight = r.U32();
  facts.tileX0 = r.U32();
  facts.tileY0 = r.U32();
  facts.components = r.U16();
  if (r.Failed() || length < 41 || x1 <= facts.x0 || y1 <= facts.y0 || facts.components == 0) return false;
  facts.width = x1 - facts.x0;
  facts.height = y1 - facts.y0;
  return true;
}

}  // namespace

StreamPtr MakeStream(TStreamBinding& Binding, bool Input) {
  StreamPtr s(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, Input ? OPJ_TRUE : OPJ_FALSE));
  if (!s) return s;
  opj_stream_set_user_data(s.get(), &Binding, nullptr);
  if (Input) {
    int64_t left = 0;
    try {
      Binding.base = Binding.stream->Position();
      left = std::max<int64_t>(0, Binding.stream->Size() - Binding.base);
    } catch (const std::exception&) {
      return nullptr;
    }
    opj_stream_set_user_data_length(s.get(), static_cast<OPJ_UINT64>(left));
    opj_stream_set_read_function(s.get(), ReadProc);
  } else {
    try {
      Binding.base = Binding.stream->Position();
    } catch (const std::exception&) {
      return nullptr;
    }
    opj_stream_set_write_function(s.get(), WriteProc);
  }
  opj_stream_set_skip_function(s.get(), SkipProc);
  opj_stream_set_seek_function(s.get(), SeekProc);
  return s;
}

CodecPtr MakeCodec(OPJ_CODEC_FORMAT Format, bool Decoder, TCodecErrors& Errors) {
  CodecPtr c(Decoder ? opj_create_decompress(Format) : opj_create_compress(Format));
  if (!c) return c;
  opj_set_error_handler(c.get(), ErrorProc, &Errors);
  opj_set_warning_handler(c.get(), QuietProc, nullptr);
  opj_set_info_handler(c.get(), QuietProc, nullptr);
  return c;
}

int32_t ThreadCount() {
  if (IEJ2000ThreadCount > 0) return IEJ2000ThreadCount;
  return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

bool ReadHeaderFacts(TStream& Stream, bool Jp2, THeaderFacts& Facts) {
  Facts = THeaderFacts();
  Facts.jp2 = Jp2;
  int64_t start = 0;
  bool ok = false;
  try {
    start = Stream.Position();
    TIEByteReader r(Stream, true);
    const int64_t end = r.Size();
    r.Seek(start);
    if (!Jp2) {
      Facts.codeStreamAt = 0;
      Facts.codeStreamBytes = end - start;
      ok = ReadSIZ(r, end, Facts);
    } else {
      // Top-level boxes, then the header box's children; a bounded number of each.
      TBox box;
      int guard = 0;
      while (Facts.codeStreamAt < 0 && ++guard <= 4096 && NextBox(r, end, box)) {
        if (box.type == BoxType("jp2h")) {
          TBox child;
          int inner = 0;
          r.Seek(box.contents);
          while (++inner <= 4096 && NextBox(r, box.end, child)) {
            if (child.type == BoxType("colr")) ReadColourSpec(r, child, Facts);
            if (child.type == BoxType("cdef") && !Facts.channelDefinition) {
              Facts.channelDefinition = true;
              ReadChannelDefinition(r, child, Facts);
            }
            r.ClearFailed();
            if (!r.Seek(child.end)) break;
          }
        } else if (box.type == BoxType("jp2c")) {
          Facts.codeStreamAt = box.contents - start;
          Facts.codeStreamBytes = box.end - box.contents;
          r.Seek(box.contents);
          ok = ReadSIZ(r, box.end, Facts);
          break;
        }
        r.ClearFailed();
        if (!r.Seek(box.end)) break;
      }
    }
    Stream.Seek(start, soBeginning);
  } catch (const std::exception&) {
    try {
      Stream.Seek(start, soBeginning);
    } catch (const std::exception&) {
    }
    return false;
  }
  return ok;
}

}  // namespace j2000

namespace {

constexpr int16_t RoundedProduct(float factor, int d) {
  const float v = factor * static_cast<float>(d);
  return static_cast<int16_t>(v < 0 ? v - 0.5f : v + 0.5f);
}

constexpr TIEJ2000YCbCrTables MakeYCbCrTables() {
  constexpr float r = 2.0f - 2.0f * 0.299f;
  constexpr float b = 2.0f - 2.0f * 0.114f;
  constexpr float gr = 0.299f * r / 0.587f;
  constexpr float gb = 0.114f * b / 0.587f;
  TIEJ2000YCbCrTables t{};
  for (int i = 0; i < 256; ++i) {
    const int d = i - 128;
    t.CrToR[i] = RoundedProduct(r, d);
    t.CbToB[i] = RoundedProduct(b, d);
    t.CrToG[i] = static_cast<int16_t>(-RoundedProduct(gr, d));
    t.CbToG[i] = static_cast<int16_t>(-RoundedProduct(gb, d));
  }
  return t;
}

constexpr TIEJ2000YCbCrTables kYCbCrTables = MakeYCbCrTables();

}  // namespace

const TIEJ2000YCbCrTables& J2000YCbCrTables() { return kYCbCrTables; }

bool IsJP2Stream(TStream& Stream) {
  static const uint8_t kSignature[12] = {0, 0, 0, 0x0C, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
  try {
    const int64_t at = Stream.Position();
    uint8_t head[12];
    const bool match = Stream.Read(head, 12) == 12 && std::memcmp(head, kSignature, 12) == 0;
    Stream.Seek(at, soBeginning);
    return match;
  } catch (const std::exception&) {
    return false;
  }
}

bool IsJ2KStream(TStream& Stream) {
  try {
    const int64_t at = Stream.Position();
    uint8_t head[4];
    const bool match = Stream.Read(head, 4) == 4 && head[0] == 0xFF && head[1] == 0x4F && head[2] == 0xFF &&
                       head[3] == 0x51;
    Stream.Seek(at, soBeginning);
    return match;
  } catch (const std::exception&) {
    return false;
  }
}

// The colour tables are constants and OpenJPEG needs no set-up: nothing to do but keep the
// engine's start-up order.
void InitializeIEJ2000() {}
void FinalizeIEJ2000() {}
