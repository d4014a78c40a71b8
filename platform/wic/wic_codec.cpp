#include "platform/wic/wic_codec.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

#include "platform/system/streams.h"

// jxrlib's glue header defines min and max as macros and wants its ANSI switch: it comes after
// every standard header, and the macros go straight after it.
#ifndef __ANSI__
#define __ANSI__
#endif
#ifndef DISABLE_PERF_MEASUREMENT
#define DISABLE_PERF_MEASUREMENT
#endif
#include <JXRGlue.h>
#undef min
#undef max

namespace {

constexpr TGUID kWICFormatBase = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x00}};

bool IsWICFormat(const TGUID& g, uint8_t& last) {
  if (std::memcmp(&g, &kWICFormatBase, 15) != 0) return false;
  last = g.D4[7];
  return true;
}

TGUID FromPK(const PKPixelFormatGUID& g) {
  TGUID out;
  static_assert(sizeof(PKPixelFormatGUID) == sizeof(TGUID));
  std::memcpy(&out, &g, sizeof out);
  return out;
}

PKPixelFormatGUID ToPK(const TGUID& g) {
  PKPixelFormatGUID out;
  std::memcpy(&out, &g, sizeof out);
  return out;
}

// What the converter and the encoder know of a pixel format, from jxrlib's own table.
struct FormatFacts {
  bool known = false;
  size_t channels = 0;
  COLORFORMAT colour = Y_ONLY;
  BITDEPTH_BITS depth = BD_8;
  uint32_t bitsPerPixel = 0;
  bool alpha = false;
  bool bgr = false;
};

FormatFacts FactsOf(const TGUID& format) {
  FormatFacts f;
  PKPixelFormatGUID pk = ToPK(format);
  PKPixelInfo info{};
  info.pGUIDPixFmt = &pk;
  if (PixelFormatLookup(&info, LOOKUP_FORWARD) != WMP_errSuccess) return f;
  f.known = true;
  f.channels = info.cChannel;
  f.colour = info.cfColorFormat;
  f.depth = info.bdBitDepth;
  f.bitsPerPixel = info.cbitUnit;
  f.alpha = (info.grBit & PK_pixfmtHasAlpha) != 0;
  f.bgr = (info.grBit & PK_pixfmtBGR) != 0;
  return f;
}

// The pixel formats the decoder hands on: the converter turns each into 24bppBGR. Everything else
// (YCC planes, n-channel data, premultiplied alpha) is refused before decoding.
bool DecodableFormat(const FormatFacts& f) {
  if (!f.known) return false;
  switch (f.colour) {
    case Y_ONLY:
      return f.channels == 1 && (f.depth == BD_1 || f.depth == BD_1alt || f.depth == BD_8 || f.depth == BD_16 ||
                                 f.depth == BD_16S || f.depth == BD_16F || f.depth == BD_32S || f.depth == BD_32F);
    case CF_RGB:
      if (f.depth == BD_5 || f.depth == BD_565 || f.depth == BD_10) return f.channels == 3;
      return (f.channels == 3 || f.channels == 4) &&
             (f.depth == BD_8 || f.depth == BD_16 || f.depth == BD_16S || f.depth == BD_16F || f.depth == BD_32S ||
              f.depth == BD_32F);
    case CF_RGBE:
      return true;
    case CMYK:
      return (f.channels == 4 || f.channels == 5) && (f.depth == BD_8 || f.depth == BD_16);
    default:
      return false;
  }
}

int32_t g_availabilityOverride = -1;
std::once_flag g_availableOnce;
bool g_available = false;

// --- the stream jxrlib reads and writes: the TStream from the container's start ---------------------

struct StreamBinding {
  WMPStream ws;  // first, so that the library's pointer is the binding's
  TStream* stream;
  int64_t origin;
  // A write or seek that failed: the library's coder does not look at every answer (a full disk in
  // the coded data would otherwise end in a short file and success).
  bool failed;
};

StreamBinding* BindingOf(WMPStream* me) { return reinterpret_cast<StreamBinding*>(me); }

ERR BindingClose(WMPStream** pme) {
  // The binding belongs to the caller; the library only lets go of it.
  if (pme) *pme = nullptr;
  return WMP_errSuccess;
}

Bool BindingEOS(WMPStream* me) {
  try {
    TStream& s = *BindingOf(me)->stream;
    return s.Position() >= s.Size();
  } catch (...) {
    return TRUE;
  }
}

ERR BindingRead(WMPStream* me, void* pv, size_t cb) {
  try {
    if (cb > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return WMP_errFileIO;
    TStream& s = *BindingOf(me)->stream;
    const int32_t n = static_cast<int32_t>(cb);
    return s.Read(pv, n) == n ? WMP_errSuccess : WMP_errFileIO;
  } catch (...) {
    return WMP_errFileIO;
  }
}

ERR BindingWrite(WMPStream* me, const void* pv, size_t cb) {
  try {
    if (cb > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return WMP_errFileIO;
    StreamBinding* b = BindingOf(me);
    const int32_t n = static_cast<int32_t>(cb);
    if (b->stream->Write(pv, n) == n) return WMP_errSuccess;
    b->failed = true;
    return WMP_errFileIO;
  } catch (...) {
    BindingOf(me)->failed = true;
    return WMP_errFileIO;
  }
}

ERR BindingSetPos(WMPStream* me, size_t offPos) {
  try {
    StreamBinding* b = BindingOf(me);
    if (offPos > static_cast<size_t>(std::numeric_limits<int64_t>::max() - b->origin)) return WMP_errFileIO;
    const int64_t target = b->origin + static_cast<int64_t>(offPos);
    if (b->stream->Seek(target, soBeginning) == target) return WMP_errSuccess;
    b->failed = true;
    return WMP_errFileIO;
  } catch (...) {
    BindingOf(me)->failed = true;
    return WMP_errFileIO;
  }
}

ERR BindingGetPos(WMPStream* me, size_t* poffPos) {
  try {
    StreamBinding* b = BindingOf(me);
    const int64_t p = b->stream->Position() - b->origin;
    if (p < 0) return WMP_errFileIO;
    *poffPos = static_cast<size_t>(p);
    return WMP_errSuccess;
  } catch (...) {
    return WMP_errFileIO;
  }
}

std::unique_ptr<StreamBinding> Bind(TStream& stream, int64_t origin) {
  auto b = std::make_unique<StreamBinding>();
  std::memset(&b->ws, 0, sizeof b->ws);
  b->ws.Close = BindingClose;
  b->ws.EOS = BindingEOS;
  b->ws.Read = BindingRead;
  b->ws.Write = BindingWrite;
  b->ws.SetPos = BindingSetPos;
  b->ws.GetPos = BindingGetPos;
  b->stream = &stream;
  b->origin = origin;
  b->failed = false;
  return b;
}

struct DecoderDeleter {
  void operator()(PKImageDecode* d) const {
    if (d) d->Release(&d);
  }
};
struct EncoderDeleter {
  void operator()(PKImageEncode* e) const {
    if (e) e->Release(&e);
  }
};

// --- sample conversion ------------------------------------------------------------------------------

uint8_t LinearToSRGB8(float v) {
  if (!(v > 0.0f)) return 0;  // also NaN
  if (v >= 1.0f) return 255;
  const float s = v <= 0.0031308f ? 12.92f * v : 1.055f * std::pow(v, 1.0f / 2.4f) - 0.055f;
  return static_cast<uint8_t>(std::lround(s * 255.0f));
}

float HalfToFloat(uint16_t h) {
  const uint32_t sign = (h >> 15) & 1, exp = (h >> 10) & 0x1F, mant = h & 0x3FF;
  float v;
  if (exp == 0)
    v = std::ldexp(static_cast<float>(mant), -24);
  else if (exp == 31)
    v = mant ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
  else
    v = std::ldexp(static_cast<float>(mant | 0x400), static_cast<int>(exp) - 25);
  return sign ? -v : v;
}

template <class T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// One sample of a given depth as 8 bits (integers scale, the rest through the sRGB curve).
uint8_t Sample8(const uint8_t* p, BITDEPTH_BITS depth, int32_t expBias) {
  switch (depth) {
    case BD_8: return *p;
    case BD_16: return static_cast<uint8_t>(Load<uint16_t>(p) >> 8);
    case BD_16S: return LinearToSRGB8(static_cast<float>(Load<int16_t>(p)) / 8192.0f);  // s2.13
    case BD_16F: return LinearToSRGB8(HalfToFloat(Load<uint16_t>(p)));
    case BD_32S: return LinearToSRGB8(static_cast<float>(Load<int32_t>(p)) / 16777216.0f);  // s7.24
    case BD_32F: return LinearToSRGB8(Load<float>(p));
    default: (void)expBias; return 0;
  }
}

uint32_t SampleBytes(BITDEPTH_BITS depth) {
  switch (depth) {
    case BD_8: return 1;
    case BD_16: case BD_16S: case BD_16F: return 2;
    case BD_32S: case BD_32F: return 4;
    default: return 0;
  }
}

uint8_t Widen5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
uint8_t Widen6(uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

// One row of any decodable format into 24bppBGR.
void RowToBGR24(const FormatFacts& f, const uint8_t* src, uint8_t* dst, uint32_t width) {
  const uint32_t pixelBytes = f.bitsPerPixel / 8;
  if (f.colour == Y_ONLY) {
    if (f.depth == BD_1 || f.depth == BD_1alt) {
      // Read by the converter only as its own format; a grey expansion for completeness.
      for (uint32_t x = 0; x < width; ++x) {
        const bool set = (src[x >> 3] >> (7 - (x & 7))) & 1;
        const uint8_t v = (set == (f.depth == BD_1)) ? 255 : 0;
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v;
      }
      return;
    }
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t v = Sample8(src + x * pixelBytes, f.depth, 0);
      dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = v;
    }
    return;
  }
  if (f.colour == CF_RGBE) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = src + 4 * x;
      const float scale = p[3] ? std::ldexp(1.0f, static_cast<int>(p[3]) - 136) : 0.0f;
      dst[3 * x + 2] = LinearToSRGB8(p[0] * scale);
      dst[3 * x + 1] = LinearToSRGB8(p[1] * scale);
      dst[3 * x + 0] = LinearToSRGB8(p[2] * scale);
    }
    return;
  }
  if (f.colour == CMYK) {
    const uint32_t sb = f.depth == BD_16 ? 2 : 1;
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = src + x * pixelBytes;
      uint32_t ink[4];
      for (int i = 0; i < 4; ++i) ink[i] = sb == 2 ? Load<uint16_t>(p + 2 * i) >> 8 : p[i];
      const uint32_t k = 255 - ink[3];
      dst[3 * x + 2] = static_cast<uint8_t>((255 - ink[0]) * k / 255);
      dst[3 * x + 1] = static_cast<uint8_t>((255 - ink[1]) * k / 255);
      dst[3 * x + 0] = static_cast<uint8_t>((255 - ink[2]) * k / 255);
    }
    return;
  }
  // RGB
  if (f.depth == BD_5 || f.depth == BD_565 || f.depth == BD_10) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t r, g, b;
      if (f.depth == BD_10) {
        const uint32_t v = Load<uint32_t>(src + 4 * x);
        r = static_cast<uint8_t>((v >> 22) & 0xFF);
        g = static_cast<uint8_t>((v >> 12) & 0xFF);
        b = static_cast<uint8_t>((v >> 2) & 0xFF);
      } else {
        const uint32_t v = Load<uint16_t>(src + 2 * x);
        if (f.depth == BD_5) {
          r = Widen5((v >> 10) & 31), g = Widen5((v >> 5) & 31), b = Widen5(v & 31);
        } else {
          r = Widen5((v >> 11) & 31), g = Widen6((v >> 5) & 63), b = Widen5(v & 31);
        }
      }
      dst[3 * x] = b, dst[3 * x + 1] = g, dst[3 * x + 2] = r;
    }
    return;
  }
  const uint32_t sb = SampleBytes(f.depth);
  for (uint32_t x = 0; x < width; ++x) {
    const uint8_t* p = src + x * pixelBytes;
    const uint8_t c0 = Sample8(p, f.depth, 0), c1 = Sample8(p + sb, f.depth, 0), c2 = Sample8(p + 2 * sb, f.depth, 0);
    if (f.bgr)
      dst[3 * x] = c0, dst[3 * x + 1] = c1, dst[3 * x + 2] = c2;
    else
      dst[3 * x] = c2, dst[3 * x + 1] = c1, dst[3 * x + 2] = c0;
  }
}

uint32_t RowBytesOf(uint32_t width, uint32_t bitsPerPixel) {
  return static_cast<uint32_t>((uint64_t{width} * bitsPerPixel + 7) / 8);
}

uint8_t WrittenFormatBits(uint8_t format) {
  switch (format) {
    case kWICFormatBlackWhite: return 1;
    case kWICFormat8bppGray: return 8;
    case kWICFormat16bppGray: return 16;
    case kWICFormat24bppBGR: return 24;
    case kWICFormat48bppRGB: return 48;
    case kWICFormat32bppCMYK: return 32;
    default: return 0;
  }
}

// The quantiser tables of the reference encoder's quality option, by quality tenths: Y, U, V of
// the low-pass and the high-pass bands.
constexpr uint8_t kQPs420[11][6] = {{66, 65, 70, 72, 72, 77}, {59, 58, 63, 64, 63, 68}, {52, 51, 57, 56, 56, 61},
                                    {48, 48, 54, 51, 50, 55}, {43, 44, 48, 46, 46, 49}, {37, 37, 42, 38, 38, 43},
                                    {26, 28, 31, 27, 28, 31}, {16, 17, 22, 16, 17, 21}, {10, 11, 13, 10, 10, 13},
                                    {5, 5, 6, 5, 5, 6},       {2, 2, 3, 2, 2, 2}};
constexpr uint8_t kQPs8[12][6] = {{67, 79, 86, 72, 90, 98}, {59, 74, 80, 64, 83, 89}, {53, 68, 75, 57, 76, 83},
                                  {49, 64, 71, 53, 70, 77}, {45, 60, 67, 48, 67, 74}, {40, 56, 62, 42, 59, 66},
                                  {33, 49, 55, 35, 51, 58}, {27, 44, 49, 28, 45, 50}, {20, 36, 42, 20, 38, 44},
                                  {13, 27, 34, 13, 28, 34}, {7, 17, 21, 8, 17, 21},   {2, 5, 6, 2, 5, 6}};
constexpr uint8_t kQPs16[11][6] = {{197, 203, 210, 202, 207, 213}, {174, 188, 193, 180, 189, 196},
                                   {152, 167, 173, 156, 169, 174}, {135, 152, 157, 137, 153, 158},
                                   {119, 137, 141, 119, 138, 142}, {102, 120, 125, 100, 120, 124},
                                   {82, 98, 104, 79, 98, 103},     {60, 76, 81, 58, 76, 81},
                                   {39, 52, 58, 36, 52, 58},       {16, 27, 33, 14, 27, 33},
                                   {5, 8, 9, 4, 7, 8}};

}  // namespace

const TGUID GUID_ContainerFormatWmp = {0x57A37CAA, 0x367A, 0x4540, {0x91, 0x6B, 0xF1, 0x83, 0xC5, 0x09, 0x3A, 0x4B}};

TGUID WICPixelFormat(uint8_t LastByte) {
  TGUID g = kWICFormatBase;
  g.D4[7] = LastByte;
  return g;
}

bool IsWICAvailable() {
  if (g_availabilityOverride >= 0) return g_availabilityOverride != 0;
  std::call_once(g_availableOnce, [] {
    // The service is there when the library can make its codec factory and a decoder.
    PKCodecFactory* factory = nullptr;
    PKImageDecode* decoder = nullptr;
    g_available = PKCreateCodecFactory(&factory, WMP_SDK_VERSION) == WMP_errSuccess && factory &&
                  PKImageDecode_Create_WMP(&decoder) == WMP_errSuccess && decoder;
    if (decoder) decoder->Release(&decoder);
    if (factory) factory->Release(&factory);
  });
  return g_available;
}

void SetWICAvailabilityForTesting(int32_t Available) { g_availabilityOverride = Available; }

namespace {

std::atomic<int64_t> g_decodeTimeoutOverride{0};

// How long a decoding child may take: 30 s plus 1 ms per thousand
// pixels (a 24-megapixel frame decodes in one to three seconds here, several times that under the
// sanitizers).
int64_t ChildTimeoutMs(uint64_t pixels) {
  const int64_t o = g_decodeTimeoutOverride.load();
  if (o > 0) return o;
  return 30000 + static_cast<int64_t>(std::min<uint64_t>(pixels / 1000, uint64_t{1} << 31));
}

}  // namespace

void SetWICDecodeTimeoutForTesting(int64_t Milliseconds) { g_decodeTimeoutOverride = Milliseconds; }

// --- the container -----------------------------------------------------------------------------------

bool ReadHDPhotoContainer(TStream& Stream, TWICHDPhotoInfo& Info) {
  const int64_t origin = Stream.Position();
  bool ok = false;
  try {
    const int64_t size = Stream.Size() - origin;
    uint8_t head[8];
    if (size >= 8 && Stream.Read(head, 8) == 8 && head[0] == 'I' && head[1] == 'I' && head[2] == 0xBC &&
        head[3] <= 1) {
      const uint32_t ifd = Load<uint32_t>(head + 4);
      uint8_t countBytes[2];
      if (ifd >= 8 && int64_t{ifd} + 2 <= size && Stream.Seek(origin + ifd, soBeginning) == origin + ifd &&
          Stream.Read(countBytes, 2) == 2) {
        const uint32_t count = Load<uint16_t>(countBytes);
        std::vector<uint8_t> entries(size_t{count} * 12);
        if (count > 0 && int64_t{ifd} + 2 + int64_t{count} * 12 <= size &&
            Stream.Read(entries.data(), static_cast<int32_t>(entries.size())) == static_cast<int32_t>(entries.size())) {
          bool haveFormat = false, haveImage = false, bad = false;
          TWICHDPhotoInfo info;
          for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* e = &entries[size_t{i} * 12];
            const uint16_t tag = Load<uint16_t>(e), type = Load<uint16_t>(e + 2);
            const uint32_t n = Load<uint32_t>(e + 4), value = Load<uint32_t>(e + 8);
            // SHORT and LONG single values sit in the entry.
            const uint32_t number = type == 3 ? (value & 0xFFFF) : type == 1 ? (value & 0xFF) : value;
            const bool integer = n == 1 && (type == 3 || type == 4);
            float real = 0;
            std::memcpy(&real, e + 8, 4);
            switch (tag) {
              case 0xBC01:  // pixel format: 16 bytes at the offset
                if (type == 1 && n == 16 && int64_t{value} + 16 <= size) {
                  uint8_t g[16];
                  const int64_t at = origin + value;
                  const int64_t back = Stream.Position();
                  if (Stream.Seek(at, soBeginning) == at && Stream.Read(g, 16) == 16) {
                    TGUID guid;
                    std::memcpy(&guid, g, 16);
                    haveFormat = true;
                    uint8_t last = 0;
                    if (IsWICFormat(guid, last))
                      info.PixelFormat = last;
                    else if (SameGuid(guid, FromPK(GUID_PKPixelFormat32bppRGBA)) ||
                             SameGuid(guid, FromPK(GUID_PKPixelFormat32bppRGB)))
                      info.PixelFormat = 0;  // formats outside the WIC range are not read
                  }
                  Stream.Seek(back, soBeginning);
                }
                break;
              // Values jxrlib asserts on (its asserts end the process): refused here.
              case 0xBC02:  // transformation: one of 8 orientations
                if (!integer || number >= 8) bad = true;
                break;
              case 0xBC03:  // uncompressed flag
              case 0xBC04:  // image type
              case 0xBCC4:  // image band presence
              case 0xBCC5:  // alpha band presence
                if (!(n == 1 && (type == 1 || type == 3 || type == 4)) || number > 4) bad = true;
                break;
              case 0xBC80: if (integer) info.Width = number; break;
              case 0xBC81: if (integer) info.Height = number; break;
              case 0xBC82: if (type == 11 && n == 1) info.DpiX = real; break;
              case 0xBC83: if (type == 11 && n == 1) info.DpiY = real; break;
              case 0xBCC0: if (integer) info.ImageOffset = number, haveImage = true; break;
              case 0xBCC1: if (integer) info.ImageBytes = number; break;
              case 0xBCC2: if (integer) info.AlphaOffset = number; break;
              case 0xBCC3: if (integer) info.AlphaBytes = number; break;
              default: break;
            }
          }
          const uint64_t usize = static_cast<uint64_t>(size);
          ok = !bad && haveFormat && haveImage && info.PixelFormat != 0 && info.Width > 0 && info.Height > 0 &&
               info.ImageBytes > 0 && info.ImageOffset >= 8 && info.ImageOffset <= usize &&
               info.ImageBytes <= usize - info.ImageOffset &&
               (info.AlphaBytes == 0 ||
                (info.AlphaOffset >= 8 && info.AlphaOffset <= usize && info.AlphaBytes <= usize - info.AlphaOffset));
          if (ok) Info = info;
        }
      }
    }
  } catch (...) {
    ok = false;
  }
  try {
    Stream.Seek(origin, soBeginning);
  } catch (...) {
  }
  return ok;
}

// --- the decoder ----------------------------------------------------------------------------------

struct TWICBitmapDecoder::State {
  // The caller's stream (it outlives the decoder) and where the container starts in it. Its bytes
  // are read into a shared block the first time a frame is decoded: the decoding helper (or child)
  // reads them there, so the caller's stream (and a file's shared position) is never touched by it.
  TStream* stream = nullptr;
  int64_t origin = 0;
  size_t size = 0;
  TSharedBlock coded;
  bool codedRead = false;
  TWICHDPhotoInfo info;
  FormatFacts facts;
  TGUID format{};
  float dpiX = 96, dpiY = 96;

  bool ReadCoded() {
    if (codedRead) return coded.data() != nullptr;
    codedRead = true;
    if (!coded.Allocate(size)) return false;
    try {
      const int64_t back = stream->Position();
      if (auto* memory = dynamic_cast<TCustomMemoryStream*>(stream)) {
        std::memcpy(coded.data(), static_cast<const uint8_t*>(memory->Memory()) + origin, size);
      } else {
        stream->Seek(origin, soBeginning);
        for (size_t done = 0; done < size;) {
          const int32_t n = static_cast<int32_t>(std::min<size_t>(size - done, size_t{1} << 30));
          stream->ReadBuffer(coded.data() + done, n);
          done += static_cast<size_t>(n);
        }
      }
      stream->Seek(back, soBeginning);
    } catch (...) {
      coded.Release();
      return false;
    }
    return true;
  }
};

TWICBitmapDecoder::TWICBitmapDecoder() = default;
TWICBitmapDecoder::~TWICBitmapDecoder() = default;

bool TWICBitmapDecoder::Initialize(TStream& Stream) {
  state_.reset();
  if (!IsWICAvailable()) return false;
  auto st = std::make_shared<State>();
  try {
    st->origin = Stream.Position();
    if (!ReadHDPhotoContainer(Stream, st->info)) return false;
    const int64_t size = Stream.Size() - st->origin;
    if (size <= 0 || static_cast<uint64_t>(size) > std::numeric_limits<size_t>::max() / 2) return false;
    st->size = static_cast<size_t>(size);
  } catch (...) {
    return false;
  }
  st->stream = &Stream;
  st->format = WICPixelFormat(st->info.PixelFormat);
  st->facts = FactsOf(st->format);
  if (!DecodableFormat(st->facts)) return false;

  // The coded image's own header is read by the library only where it decodes, which checks it
  // against the container first; the size, format and resolution here are the container's.
  if (std::isfinite(st->info.DpiX) && st->info.DpiX > 0) st->dpiX = st->info.DpiX;
  if (std::isfinite(st->info.DpiY) && st->info.DpiY > 0) st->dpiY = st->info.DpiY;
  state_ = std::move(st);
  return true;
}

uint32_t TWICBitmapDecoder::GetFrameCount() const { return state_ ? 1 : 0; }

std::unique_ptr<TWICBitmapFrameDecode> TWICBitmapDecoder::GetFrame(uint32_t Index) {
  if (!state_ || Index != 0) return nullptr;
  return std::make_unique<TWICBitmapFrameDecode>(state_, false);
}

TWICBitmapFrameDecode::TWICBitmapFrameDecode(std::shared_ptr<TWICBitmapDecoder::State> State, bool Thumbnail)
    : state_(std::move(State)), thumbnail_(Thumbnail) {}

void TWICBitmapFrameDecode::GetSize(uint32_t& Width, uint32_t& Height) const {
  Width = state_->info.Width;
  Height = state_->info.Height;
  if (thumbnail_) Width = (Width + 15) / 16, Height = (Height + 15) / 16;
}

TGUID TWICBitmapFrameDecode::GetPixelFormat() const { return state_->format; }

void TWICBitmapFrameDecode::GetResolution(double& DpiX, double& DpiY) const {
  DpiX = state_->dpiX;
  DpiY = state_->dpiY;
}

uint64_t TWICBitmapFrameDecode::CodedBytes() const { return state_->info.ImageBytes + state_->info.AlphaBytes; }

std::unique_ptr<TWICBitmapSource> TWICBitmapFrameDecode::GetThumbnail() {
  if (thumbnail_) return nullptr;
  return std::make_unique<TWICBitmapFrameDecode>(state_, true);
}

namespace {

// What a decode needs besides the coded bytes: the container's facts the coded header must agree
// with, the size decoded (the frame's, or its thumbnail's) and the rows' distance in the output.
struct TDecodeArgs {
  uint32_t containerWidth, containerHeight;
  TGUID format;
  uint32_t width, height, stride;
  uint8_t thumbnail;
};

// The library's decode of the coded bytes straight into Out, rows Stride bytes apart, with room for
// whole macroblocks. Runs only in a helper process or a forked child.
bool DecodeCoded(const TDecodeArgs& a, const uint8_t* coded, size_t codedSize, uint8_t* out) {
  TCustomMemoryStream stream(coded, static_cast<int64_t>(codedSize));
  auto binding = Bind(stream, 0);
  PKImageDecode* raw = nullptr;
  if (PKImageDecode_Create_WMP(&raw) != WMP_errSuccess || !raw) return false;
  std::unique_ptr<PKImageDecode, DecoderDeleter> decoder(raw);
  if (decoder->Initialize(decoder.get(), &binding->ws) != WMP_errSuccess) return false;
  // The coded header must agree with the container, which sized the pixels.
  I32 w = 0, h = 0;
  decoder->GetSize(decoder.get(), &w, &h);
  if (w <= 0 || h <= 0 || static_cast<uint32_t>(w) != a.containerWidth || static_cast<uint32_t>(h) != a.containerHeight ||
      !SameGuid(FromPK(decoder->guidPixFormat), a.format) || decoder->WMP.wmiI.cWidth != a.containerWidth ||
      decoder->WMP.wmiI.cHeight != a.containerHeight)
    return false;
  decoder->WMP.wmiSCP.uAlphaMode = 0;  // alpha is dropped: its plane is never decoded
  decoder->WMP.wmiI.cThumbnailWidth = a.width;
  decoder->WMP.wmiI.cThumbnailHeight = a.height;
  decoder->WMP.wmiI.bSkipFlexbits = FALSE;
  if (a.thumbnail && (decoder->WMP.wmiI.cfColorFormat == YUV_420 || decoder->WMP.wmiI.cfColorFormat == YUV_422))
    decoder->WMP.wmiI.cfColorFormat = YUV_444;
  decoder->WMP.wmiI_Alpha = decoder->WMP.wmiI;
  decoder->WMP.wmiSCP_Alpha = decoder->WMP.wmiSCP;
  PKRect rect = {0, 0, static_cast<I32>(a.width), static_cast<I32>(a.height)};
  return decoder->Copy(decoder.get(), &rect, out, a.stride) == WMP_errSuccess;
}

constexpr char kDecodeHandler[] = "wic.decode";

// A helper's side of a decode: the arguments, then the whole of In decoded into Out.
bool DecodeInHelper(const TIsolatedWork& w) {
  TDecodeArgs a;
  if (w.ArgsSize != sizeof a || !w.In || !w.Out) return false;
  std::memcpy(&a, w.Args, sizeof a);
  if (uint64_t{a.stride} * ((uint64_t{a.height} + 15) / 16 * 16) > w.OutSize) return false;
  return DecodeCoded(a, w.In, w.InSize, w.Out);
}

BRIMVALE_ISOLATED_REGISTRATION void RegisterWICHandlers() { RegisterIsolatedHandler(kDecodeHandler, DecodeInHelper); }

}  // namespace

bool TWICBitmapFrameDecode::Decode() {
  if (decoded_) return !failed_;
  decoded_ = true;
  failed_ = true;
  uint32_t width = 0, height = 0;
  GetSize(width, height);
  const FormatFacts& f = state_->facts;
  // Room for whole macroblocks, so that the library's last block row stays inside the buffer.
  const uint64_t paddedWidth = (uint64_t{width} + 15) / 16 * 16, paddedHeight = (uint64_t{height} + 15) / 16 * 16;
  const uint64_t stride = ((paddedWidth * f.bitsPerPixel + 7) / 8 + 127) / 128 * 128;
  if (stride > std::numeric_limits<uint32_t>::max() || stride * paddedHeight > (uint64_t{1} << 40)) return false;
  if (!state_->ReadCoded()) return false;
  if (!pixels_.Allocate(static_cast<size_t>(stride * paddedHeight))) return false;
  stride_ = static_cast<uint32_t>(stride);

  // The library decodes in a helper process (kept between decodes), straight into the shared block;
  // where no helper can be had, in a child forked for it.
  TDecodeArgs args{};
  args.containerWidth = state_->info.Width;
  args.containerHeight = state_->info.Height;
  args.format = state_->format;
  args.width = width;
  args.height = height;
  args.stride = stride_;
  args.thumbnail = thumbnail_ ? 1 : 0;
  const int64_t timeout = ChildTimeoutMs(uint64_t{width} * height);
  const TSharedBlock& coded = state_->coded;
  TIsolatedResult result =
      RunInHelper(kDecodeHandler, &args, sizeof args, &coded, state_->size, &pixels_, pixels_.size(), timeout);
  if (result == TIsolatedResult::NotStarted) {
    uint8_t* out = pixels_.data();
    const size_t size = state_->size;
    result = RunIsolated([&args, &coded, size, out] { return DecodeCoded(args, coded.data(), size, out); }, timeout);
  }
  if (result != TIsolatedResult::Succeeded) {
    pixels_.Release();
    return false;
  }
  failed_ = false;
  return true;
}

bool TWICBitmapFrameDecode::CopyPixels(const WICRect& Rect, uint32_t Stride, uint64_t BufferSize, uint8_t* Buffer) {
  uint32_t width = 0, height = 0;
  GetSize(width, height);
  if (Rect.X < 0 || Rect.Y < 0 || Rect.Width <= 0 || Rect.Height <= 0 ||
      int64_t{Rect.X} + Rect.Width > int64_t{width} || int64_t{Rect.Y} + Rect.Height > int64_t{height})
    return false;
  const uint32_t bits = state_->facts.bitsPerPixel;
  if ((uint64_t{static_cast<uint32_t>(Rect.X)} * bits) % 8 != 0) return false;
  const uint32_t rowBytes = RowBytesOf(static_cast<uint32_t>(Rect.Width), bits);
  if (Stride < rowBytes || uint64_t{Stride} * (Rect.Height - 1) + rowBytes > BufferSize) return false;
  if (!Decode()) return false;
  const size_t x0 = static_cast<size_t>(uint64_t{static_cast<uint32_t>(Rect.X)} * bits / 8);
  for (int32_t y = 0; y < Rect.Height; ++y)
    std::memcpy(Buffer + size_t{Stride} * y, pixels_.data() + size_t{stride_} * (Rect.Y + y) + x0, rowBytes);
  return true;
}

// --- the format converter ---------------------------------------------------------------------------

bool TWICFormatConverter::Initialize(TWICBitmapSource* Source, const TGUID& DestinationFormat) {
  source_ = nullptr;
  if (!Source) return false;
  const TGUID from = Source->GetPixelFormat();
  uint8_t to = 0, fromLast = 0;
  if (!IsWICFormat(DestinationFormat, to) || WrittenFormatBits(to) == 0) return false;
  const bool same = SameGuid(from, DestinationFormat);
  if (!same) {
    if (to != kWICFormat24bppBGR) return false;
    const FormatFacts f = FactsOf(from);
    if (!DecodableFormat(f) || (IsWICFormat(from, fromLast) && fromLast == kWICFormatBlackWhite)) {
      // Bilevel pictures widen to grey too.
      if (!(f.known && (f.depth == BD_1 || f.depth == BD_1alt))) return false;
    }
  }
  source_ = Source;
  format_ = DestinationFormat;
  sourceFormat_ = from;
  return true;
}

void TWICFormatConverter::GetSize(uint32_t& Width, uint32_t& Height) const {
  if (source_)
    source_->GetSize(Width, Height);
  else
    Width = Height = 0;
}

bool TWICFormatConverter::CopyPixels(const WICRect& Rect, uint32_t Stride, uint64_t BufferSize, uint8_t* Buffer) {
  if (!source_) return false;
  if (SameGuid(sourceFormat_, format_)) return source_->CopyPixels(Rect, Stride, BufferSize, Buffer);
  if (Rect.Width <= 0 || Rect.Height <= 0 || Rect.X < 0 || Rect.Y < 0) return false;
  const FormatFacts f = FactsOf(sourceFormat_);
  const uint32_t width = static_cast<uint32_t>(Rect.Width);
  const uint64_t need = uint64_t{width} * 3;
  if (Stride < need || uint64_t{Stride} * (Rect.Height - 1) + need > BufferSize) return false;
  // The source rows start at the left edge (bilevel rows cannot start inside a byte).
  const uint32_t srcWidth = static_cast<uint32_t>(Rect.X) + width;
  const uint32_t srcBytes = RowBytesOf(srcWidth, f.bitsPerPixel);
  try {
    row_.resize(srcBytes);
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::vector<uint8_t> wide;
  try {
    wide.resize(size_t{srcWidth} * 3);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int32_t y = 0; y < Rect.Height; ++y) {
    const WICRect line = {0, Rect.Y + y, static_cast<int32_t>(srcWidth), 1};
    if (!source_->CopyPixels(line, srcBytes, srcBytes, row_.data())) return false;
    RowToBGR24(f, row_.data(), wide.data(), srcWidth);
    std::memcpy(Buffer + size_t{Stride} * y, &wide[size_t{static_cast<uint32_t>(Rect.X)} * 3], need);
  }
  return true;
}

// --- the option bag and the encoder -----------------------------------------------------------------

bool TWICPropertyBag::Write(const std::string& Name, double Value, uint16_t VarType) {
  struct Known {
    const char* name;
    uint16_t type;
  };
  static constexpr Known kKnown[] = {
      {"ImageQuality", VT_R4},        {"CompressionQuality", VT_R4},   {"Lossless", VT_BOOL},
      {"UseCodecOptions", VT_BOOL},   {"Quality", VT_UI1},             {"Overlap", VT_UI1},
      {"Subsampling", VT_UI1},        {"HorizontalTileSlices", VT_UI2}, {"VerticalTileSlices", VT_UI2},
      {"FrequencyOrder", VT_BOOL},
  };
  const Known* k = std::find_if(std::begin(kKnown), std::end(kKnown), [&](const Known& e) { return Name == e.name; });
  if (k == std::end(kKnown) || k->type != VarType || !std::isfinite(Value)) return false;
  for (Item& item : items_)
    if (item.name == Name) {
      item.value = Value;
      return true;
    }
  items_.push_back({Name, Value});
  return true;
}

bool TWICPropertyBag::Has(const std::string& Name) const {
  return std::any_of(items_.begin(), items_.end(), [&](const Item& i) { return i.name == Name; });
}

double TWICPropertyBag::Read(const std::string& Name, double Default) const {
  for (const Item& i : items_)
    if (i.name == Name) return i.value;
  return Default;
}

// The library's encoder of one frame and the stream binding it writes through.
struct TWICBitmapFrameEncode::TEncoding {
  std::unique_ptr<StreamBinding> binding;
  std::unique_ptr<PKImageEncode, EncoderDeleter> encoder;
};

TWICBitmapFrameEncode::TWICBitmapFrameEncode(TStream& Stream, int64_t Origin) : stream_(Stream), origin_(Origin) {}
TWICBitmapFrameEncode::~TWICBitmapFrameEncode() = default;

bool TWICBitmapFrameEncode::Initialize(const TWICPropertyBag* Options) {
  if (rowsWritten_ > 0) return false;
  if (Options) options_ = *Options;
  return true;
}

bool TWICBitmapFrameEncode::SetSize(uint32_t Width, uint32_t Height) {
  if (Width == 0 || Height == 0 || Width > 0x7FFFFFFF || Height > 0x7FFFFFFF || rowsWritten_ > 0) return false;
  width_ = Width;
  height_ = Height;
  return true;
}

bool TWICBitmapFrameEncode::SetResolution(double DpiX, double DpiY) {
  if (!(std::isfinite(DpiX) && std::isfinite(DpiY) && DpiX > 0 && DpiY > 0) || rowsWritten_ > 0) return false;
  dpiX_ = DpiX;
  dpiY_ = DpiY;
  return true;
}

bool TWICBitmapFrameEncode::SetPixelFormat(const TGUID& Format) {
  uint8_t last = 0;
  if (!IsWICFormat(Format, last) || WrittenFormatBits(last) == 0 || rowsWritten_ > 0) return false;
  format_ = last;
  return true;
}

// Sets the library's encoder up for the frame (coding parameters from the options) and starts the
// image in the stream.
bool TWICBitmapFrameEncode::Start() {
  const TGUID format = WICPixelFormat(format_);
  const FormatFacts f = FactsOf(format);
  if (!f.known) return false;

  CWMIStrCodecParam scp;
  std::memset(&scp, 0, sizeof scp);
  scp.bVerbose = FALSE;
  scp.bdBitDepth = BD_LONG;
  scp.bfBitstreamFormat = options_.Read("FrequencyOrder", 1) != 0 ? FREQUENCY : SPATIAL;
  scp.bProgressiveMode = TRUE;
  scp.olOverlap = OL_ONE;
  scp.sbSubband = SB_ALL;
  scp.uAlphaMode = 0;
  const bool grey = f.colour == Y_ONLY;
  scp.cfColorFormat = grey ? Y_ONLY : (f.colour == CMYK ? CMYK : YUV_444);
  const uint32_t hSlices = static_cast<uint32_t>(std::clamp(options_.Read("HorizontalTileSlices", 0), 0.0, 4095.0));
  const uint32_t vSlices = static_cast<uint32_t>(std::clamp(options_.Read("VerticalTileSlices", 0), 0.0, 4095.0));
  scp.cNumOfSliceMinus1H = std::min<uint32_t>(hSlices, (height_ + 15) / 16 - 1);
  scp.cNumOfSliceMinus1V = std::min<uint32_t>(vSlices, (width_ + 15) / 16 - 1);
  scp.cNumOfSliceMinus1H = std::min<uint32_t>(scp.cNumOfSliceMinus1H, MAX_TILES - 1);
  scp.cNumOfSliceMinus1V = std::min<uint32_t>(scp.cNumOfSliceMinus1V, MAX_TILES - 1);

  // Quality as the reference encoder maps its quality option: 1 (or Lossless) is lossless,
  // below it a quantiser pair interpolated from its tables by tenths.
  const double quality = options_.Read("ImageQuality", 1.0);
  const bool lossless = options_.Read("Lossless", 0) != 0 || !(quality < 1.0) || f.depth == BD_1;
  if (lossless) {
    scp.uiDefaultQPIndex = 1;
  } else if (options_.Read("UseCodecOptions", 0) != 0) {
    scp.uiDefaultQPIndex = static_cast<uint8_t>(std::clamp(options_.Read("Quality", 1), 1.0, 255.0));
    scp.olOverlap = static_cast<OVERLAP>(std::clamp(static_cast<int>(options_.Read("Overlap", 1)), 0, 2));
    if (!grey && f.colour != CMYK) {
      const int sub = std::clamp(static_cast<int>(options_.Read("Subsampling", 3)), 1, 3);
      scp.cfColorFormat = static_cast<COLORFORMAT>(sub);
    }
  } else {
    float q = static_cast<float>(std::clamp(quality, 0.0, 1.0));
    const bool eightBit = f.depth == BD_8;
    scp.olOverlap = q >= 0.5f ? OL_ONE : OL_TWO;
    if (!grey && f.colour != CMYK) scp.cfColorFormat = (q >= 0.5f || !eightBit) ? YUV_444 : YUV_420;
    const bool sub = scp.cfColorFormat == YUV_420;
    if (q > 0.8f && eightBit && !sub) q = 0.8f + (q - 0.8f) * 1.5f;
    int qi = static_cast<int>(10.0f * q);
    const int rows = sub ? 11 : (eightBit ? 12 : 11);
    qi = std::clamp(qi, 0, rows - 2);
    const float qf = std::clamp(10.0f * q - static_cast<float>(qi), 0.0f, 1.0f);
    const uint8_t(*t)[6] = sub ? kQPs420 : (eightBit ? kQPs8 : kQPs16);
    auto mix = [&](int c) {
      return static_cast<uint8_t>(0.5f + static_cast<float>(t[qi][c]) * (1.0f - qf) +
                                  static_cast<float>(t[qi + 1][c]) * qf);
    };
    scp.uiDefaultQPIndex = mix(0);
    scp.uiDefaultQPIndexU = mix(1);
    scp.uiDefaultQPIndexV = mix(2);
    scp.uiDefaultQPIndexYHP = mix(3);
    scp.uiDefaultQPIndexUHP = mix(4);
    scp.uiDefaultQPIndexVHP = mix(5);
  }

  auto e = std::make_unique<TEncoding>();
  e->binding = Bind(stream_, origin_);
  PKImageEncode* raw = nullptr;
  if (PKImageEncode_Create_WMP(&raw) != WMP_errSuccess || !raw) return false;
  // The library's release closes the encoder's stream, also when initialising failed.
  raw->pStream = &e->binding->ws;
  e->encoder.reset(raw);
  PKImageEncode* enc = e->encoder.get();
  try {
    stream_.Seek(origin_, soBeginning);
    if (enc->Initialize(enc, &e->binding->ws, &scp, sizeof scp) != WMP_errSuccess ||
        enc->SetPixelFormat(enc, ToPK(format)) != WMP_errSuccess ||
        enc->SetSize(enc, static_cast<I32>(width_), static_cast<I32>(height_)) != WMP_errSuccess ||
        enc->SetResolution(enc, static_cast<Float>(dpiX_), static_cast<Float>(dpiY_)) != WMP_errSuccess ||
        enc->WritePixelsBandedBegin(enc, nullptr) != WMP_errSuccess)
      return false;
  } catch (...) {
    return false;
  }
  encoding_ = std::move(e);
  return true;
}

// Codes the rows of the band: 16 of them, or the last ones of the image.
bool TWICBitmapFrameEncode::CodeBand(bool Last) {
  PKImageEncode* enc = encoding_->encoder.get();
  try {
    if (enc->WritePixelsBanded(enc, bandRows_, band_.data(), rowBytes_, Last ? TRUE : FALSE) != WMP_errSuccess ||
        (Last && enc->WritePixelsBandedEnd(enc) != WMP_errSuccess) || encoding_->binding->failed)
      return false;
  } catch (...) {
    return false;
  }
  bandRows_ = 0;
  return true;
}

bool TWICBitmapFrameEncode::WritePixels(uint32_t LineCount, uint32_t Stride, uint64_t BufferSize,
                                        const uint8_t* Pixels) {
  if (committed_ || failed_ || format_ == 0 || width_ == 0 || LineCount == 0 || !Pixels) return false;
  if (rowsWritten_ == 0) rowBytes_ = RowBytesOf(width_, WrittenFormatBits(format_));
  if (LineCount > height_ - rowsWritten_ || Stride < rowBytes_ ||
      uint64_t{Stride} * (LineCount - 1) + rowBytes_ > BufferSize)
    return false;
  if (!encoding_) {
    try {
      band_.resize(size_t{rowBytes_} * 16);
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (!Start()) {
      failed_ = true;
      encoding_.reset();
      return false;
    }
  }
  for (uint32_t y = 0; y < LineCount; ++y) {
    std::memcpy(&band_[size_t{rowBytes_} * bandRows_], Pixels + size_t{Stride} * y, rowBytes_);
    ++bandRows_;
    ++rowsWritten_;
    // A full band is coded at once unless it holds the image's last rows, which Commit codes (the
    // library ends the image with them).
    if (bandRows_ == 16 && rowsWritten_ < height_ && !CodeBand(false)) {
      failed_ = true;
      return false;
    }
  }
  return true;
}

bool TWICBitmapFrameEncode::Commit() {
  if (committed_ || failed_ || !encoding_ || rowsWritten_ != height_ || height_ == 0) return false;
  committed_ = true;
  if (!CodeBand(true)) {
    failed_ = true;
    return false;
  }
  encoding_.reset();
  return true;
}

bool TWICBitmapEncoder::Initialize(TStream& Stream) {
  stream_ = &Stream;
  frameMade_ = false;
  try {
    origin_ = Stream.Position();
  } catch (...) {
    stream_ = nullptr;
    return false;
  }
  return IsWICAvailable();
}

bool TWICBitmapEncoder::CreateNewFrame(std::unique_ptr<TWICBitmapFrameEncode>& Frame,
                                       std::unique_ptr<TWICPropertyBag>& Options) {
  if (!stream_ || frameMade_ || !IsWICAvailable()) return false;
  frameMade_ = true;
  Frame = std::make_unique<TWICBitmapFrameEncode>(*stream_, origin_);
  Options = std::make_unique<TWICPropertyBag>();
  return true;
}

bool TWICBitmapEncoder::Commit() { return stream_ != nullptr && frameMade_; }
