// PBM, PGM and PPM reading: the header tokens, then the pixels of each variant.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/pnm_codec.h"
#include "imaging/io/codecs/stream_input.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_few_colors.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/system/streams.h"

namespace {

// Binary rows are read in blocks of about this many bytes.
constexpr int64_t kPXMBlockBytes = 256 * 1024;

bool IsAlnum(int c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A decimal token's value; -1 when it is not a number or is above the largest int32.
int64_t TokenNumber(const std::string& token) {
  if (token.empty() || token.size() > 10) return -1;
  int64_t v = 0;
  for (const char c : token) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v <= INT32_MAX ? v : -1;
}

// The header: magic, width, height, maxval, with the comments met on the way.
struct TPXMHeader {
  int32_t magic = 0;  // 1 .. 6, 0 for none
  int64_t width = -1;
  int64_t height = -1;
  int64_t maxval = -1;
};

// Reads the header tokens; Comments (nil to drop them) gets each comment's text. Stops after
// MaxTokens tokens. False when the magic is not P1 to P6.
bool ReadHeader(TIEStreamInput& in, TPXMHeader& h, std::vector<std::string>* comments, int32_t maxTokens) {
  std::string token;
  int32_t field = 0;  // 0 magic, 1 width, 2 height, 3 maxval
  for (int32_t n = 0; n < maxTokens; ++n) {
    ReadPXMToken(in, token);
    if (token.empty()) break;
    if (token[0] == '#') {
      if (comments) comments->push_back(token.substr(1));
      continue;
    }
    switch (field++) {
      case 0:
        if (token.size() != 2 || token[0] != 'P' || token[1] < '1' || token[1] > '6') return false;
        h.magic = token[1] - '0';
        if (h.magic == 1 || h.magic == 4) h.maxval = 1;
        break;
      case 1: h.width = TokenNumber(token); break;
      case 2: h.height = TokenNumber(token); break;
      default: h.maxval = TokenNumber(token); break;
    }
    if (field == 3 && (h.magic == 1 || h.magic == 4)) return true;
    if (field == 4) return true;
  }
  return h.magic != 0;
}

// The next sample of ASCII data (comments skipped); -1 at the end of the data, 0 for a token that
// is not a number.
int64_t NextSample(TIEStreamInput& in, std::string& token) {
  do {
    ReadPXMToken(in, token);
    if (token.empty()) return -1;
  } while (token[0] == '#');
  return std::max<int64_t>(TokenNumber(token), 0);
}

// Table of Value * Top / Maxval (truncated) for 0 .. Maxval, values above Maxval taken as Maxval.
std::vector<uint16_t> ScaleTable(int32_t maxval, int32_t top, int32_t entries) {
  std::vector<uint16_t> table(static_cast<size_t>(entries));
  const auto m = static_cast<uint32_t>(maxval), t = static_cast<uint32_t>(top);
  const int32_t last = std::min(maxval, entries - 1);
  for (int32_t v = 0; v <= last; ++v) table[v] = static_cast<uint16_t>(static_cast<uint32_t>(v) * t / m);
  std::fill(table.begin() + last + 1, table.end(), table[last]);
  return table;
}

}  // namespace

void ReadPXMToken(TIEStreamInput& Input, std::string& Token) {
  Token.clear();
  int c;
  do {
    c = Input.Get();
    if (c < 0) return;
  } while (c != '#' && !IsAlnum(c));
  if (c == '#') {
    std::string text;
    for (c = Input.Get(); c >= 0 && c != '\n' && c != '\r'; c = Input.Get())
      if (text.size() < kPXMMaxComment) text.push_back(static_cast<char>(c));
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    Token = "#" + (first == std::string::npos ? std::string() : text.substr(first, last - first + 1));
    return;
  }
  Token.push_back(static_cast<char>(c));
  while (Token.size() < kPXMMaxToken && IsAlnum(Input.Peek())) Token.push_back(static_cast<char>(Input.Get()));
  // The separator after the token goes with it; a "#" right after it starts a comment instead.
  if (Input.Peek() != '#') Input.Get();
}

bool IsPXMStream(TStream& Stream) {
  const int64_t p = Stream.Position();
  bool match = false;
  {
    TIEStreamInput in(Stream, p + kPXMProbeBytes, 4096);
    TPXMHeader h;
    match = ReadHeader(in, h, nullptr, 501) && h.width > 0 && h.height > 0;
  }
  Stream.Seek(p, soBeginning);
  return match;
}

void ReadPXMStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TIEProgressRecord& Progress) {
  TIEStreamInput in(Stream);
  Params.PxmComments.clear();
  TPXMHeader h;
  // The header ends after the height (P1, P4) or the maxval; comments may stand anywhere in it.
  if (!ReadHeader(in, h, &Params.PxmComments, INT32_MAX) || h.width <= 0 || h.height <= 0 || h.maxval <= 0 ||
      h.maxval > 65535) {
    in.Sync();
    Progress.Abort();
    return;
  }
  const int32_t width = static_cast<int32_t>(h.width), height = static_cast<int32_t>(h.height);
  const int32_t maxval = static_cast<int32_t>(h.maxval);
  const bool wide = maxval > 255;
  const bool native = Params.IsNativePixelFormat && wide;
  Params.FreeColorMap();
  Params.ColorMapCount = 0;
  Params.Width = Params.OriginalWidth = width;
  Params.Height = Params.OriginalHeight = height;
  Params.SetDpiX(DefaultDPIX);
  Params.SetDpiY(DefaultDPIY);
  const bool bilevel = h.magic == 1 || h.magic == 4;
  const bool color = h.magic == 3 || h.magic == 6;
  Params.BitsPerSample = bilevel ? 1 : (wide && h.magic >= 5 ? 16 : 8);
  Params.SamplesPerPixel = color ? 3 : 1;
  if (ParamsOnly) {
    in.Sync();
    return;
  }

  const TIEPixelFormat format = bilevel ? ie1g : (native ? (color ? ieRGB48 : ie16g) : ie24RGB);
  const int32_t channels = color ? 3 : 1;
  const int32_t sampleBytes = wide ? 2 : 1;
  const int64_t dataBytes = in.Remaining();
  const TIEImageData gate =
      h.magic <= 3 ? TIEImageData{.Bytes = dataBytes, .BitsPerPixel = 8 * channels, .MaxPixelsPerByte = 1}
      : h.magic == 4
          ? TIEImageData{.Bytes = dataBytes, .BitsPerPixel = 1, .RowBytes = (int64_t{width} + 7) / 8}
          : TIEImageData{.Bytes = dataBytes, .BitsPerPixel = 8 * channels * sampleBytes,
                         .RowBytes = int64_t{width} * channels * sampleBytes};
  if (!IEImageSizePlausible(width, height, gate) || !Bitmap.Allocate(width, height, format)) {
    in.Sync();
    Progress.Abort();
    return;
  }

  // Samples to 8 bits, or to 16 on the native route.
  const bool keepHighByte = h.magic == 6 && maxval == 65535 && !native;
  const bool plainRGB = h.magic == 6 && maxval == 255;
  // Only the binary routes that scale samples need the table (the ASCII ones compute each value).
  const std::vector<uint16_t> scale = h.magic >= 5 && !keepHighByte && !plainRGB
                                          ? ScaleTable(maxval, native ? 65535 : 255, wide ? 65536 : 256)
                                          : std::vector<uint16_t>();
  // Binary samples arrive a block of rows at a time, straight from the stream into Raw.
  const int64_t rawRow = int64_t{width} * channels * sampleBytes;
  const auto blockRows = static_cast<int32_t>(std::clamp<int64_t>(kPXMBlockBytes / rawRow, 1, height));
  std::vector<uint8_t> raw(h.magic >= 5 ? static_cast<size_t>(rawRow * blockRows) : 0);
  int64_t arrived = 0;  // bytes of the current block that came
  std::string token;
  bool complete = true;
  Progress.PerRow = 100.0 / height;
  for (int32_t y = 0; y < height && complete; ++y) {
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    switch (h.magic) {
      case 1: {
        // "0" is white (a set bit), "1" black; any other byte is skipped.
        std::memset(row, 0, static_cast<size_t>(Bitmap.RowLen()));
        for (int32_t x = 0; x < width;) {
          const int c = in.Get();
          if (c < 0) {
            complete = false;
            break;
          }
          if (c == '0' || c == '1') {
            if (c == '0') row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            ++x;
          }
        }
        break;
      }
      case 2:
      case 3: {
        auto* dst = reinterpret_cast<TIERGB*>(row);
        for (int32_t x = 0; x < width && complete; ++x) {
          uint8_t v[3];
          for (int32_t c = 0; c < channels; ++c) {
            const int64_t s = NextSample(in, token);
            if (s < 0) {
              complete = false;
              break;
            }
            v[c] = static_cast<uint8_t>(static_cast<int64_t>(std::min<int64_t>(s, maxval)) * 255 / maxval);
          }
          if (complete) dst[x] = channels == 1 ? CreateRGB(v[0], v[0], v[0]) : CreateRGB(v[0], v[1], v[2]);
        }
        break;
      }
      case 4: {
        const int64_t n = (int64_t{width} + 7) / 8;
        complete = in.Read(row, n) == n;
        InvertBuffer(row, n);
        break;
      }
      default: {
        const int32_t inBlock = y % blockRows;
        if (inBlock == 0) {
          const int64_t n = rawRow * std::min(blockRows, height - y);
          arrived = in.Read(raw.data(), n);
          if (arrived < n) std::memset(raw.data() + arrived, 0, static_cast<size_t>(n - arrived));
        }
        // A row the data end in is kept with zeros for what is missing; the load stops after it.
        if (arrived < rawRow * (inBlock + 1)) complete = false;
        const uint8_t* src = raw.data() + rawRow * inBlock;
        const int32_t samples = width * channels;
        if (native) {
          auto* dst = reinterpret_cast<uint16_t*>(row);
          for (int32_t i = 0; i < samples; ++i) dst[i] = scale[src[2 * i] << 8 | src[2 * i + 1]];
        } else {
          // Grey into all three bytes; red, green, blue into blue, green, red.
          auto* dst = reinterpret_cast<TIERGB*>(row);
          if (plainRGB) {
            CopySwapRB(row, src, width);
            break;
          }
          if (keepHighByte) {
            BigEndianRGB48ToBGR24(src, row, width);
            break;
          }
          auto sample = [&](int32_t i) -> uint8_t {
            if (!wide) return static_cast<uint8_t>(scale[src[i]]);
            return static_cast<uint8_t>(scale[src[2 * i] << 8 | src[2 * i + 1]]);
          };
          if (channels == 1) {
            for (int32_t x = 0; x < width; ++x) {
              const uint8_t g = sample(x);
              dst[x] = CreateRGB(g, g, g);
            }
          } else {
            for (int32_t x = 0; x < width; ++x) dst[x] = CreateRGB(sample(3 * x), sample(3 * x + 1), sample(3 * x + 2));
          }
        }
        break;
      }
    }
    Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y + 1) * 100 / height));
  }
  in.Sync();
  // The data end before the last row: the rows read so far stay, the load fails.
  if (!complete) Progress.Abort();
}
