// Headerless pixel data: binary, decimal or hexadecimal text, interleaved or planar.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_text_utils.h"
#include "imaging/io/codecs/raw_pixels_codec.h"
#include "imaging/io/codecs/stream_input.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_row_tools.h"
#include "platform/system/exception.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kMaxDigits = 34;

enum TSampleType { stByte, stWord, stFloat };

int32_t Digit(int c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text reader of one load: values of decimal or hexadecimal digits.
class TTextValues {
 public:
  TTextValues(TIEStreamInput& in, bool hex, TSampleType type) : in_(in), hex_(hex), type_(type) {}

  // Stores the next value at Dest as the sample type; false at the end of the data.
  bool Next(uint8_t* dest) {
    int c;
    do {
      c = in_.Get();
      if (c < 0) return false;
    } while (Digit(c, hex_) < 0);
    digits_.clear();
    uint64_t value = 0;  // modulo 2^64: the low bits are what a sample keeps
    for (;;) {
      digits_.push_back(static_cast<char>(c));
      value = value * (hex_ ? 16 : 10) + static_cast<uint64_t>(Digit(c, hex_));
      if (digits_.size() == kMaxDigits) break;
      c = in_.Get();
      if (c < 0 || Digit(c, hex_) < 0) break;
    }
    // The byte that ended the digits went with them; after 34 digits the next one starts a value.
    switch (type_) {
      case stByte: *dest = static_cast<uint8_t>(value); break;
      case stWord: {
        const auto w = static_cast<uint16_t>(value);
        std::memcpy(dest, &w, 2);
        break;
      }
      case stFloat: {
        const auto f = static_cast<float>(StrToFloatDefLenient(digits_, 0));
        std::memcpy(dest, &f, 4);
        break;
      }
    }
    return true;
  }

 private:
  TIEStreamInput& in_;
  bool hex_;
  TSampleType type_;
  std::string digits_;
};

}  // namespace

void ReadRawBitmapStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  const TIEPixelFormat format = Bitmap.PixelFormat();
  const uint8_t dataFormat = Params.RawBitmapDataFormat;
  const bool text = dataFormat == 1 || dataFormat == 2;
  const int32_t align = Params.RawBitmapRowAlign;
  if (Bitmap.IsEmpty() || format == ieCIELab || format == ie32RGB || format == ieNoFormat || dataFormat > 2 ||
      (text && format == ie1g) || align <= 0 || align % 8 != 0 || Params.RawBitmapHeaderSize < 0) {
    Progress.Abort();
    return;
  }
  const TSampleType type =
      format == ie16g || format == ieRGB48 ? stWord : (format == ie32f ? stFloat : stByte);
  if (dataFormat == 2 && type == stFloat) throw Exception("Format unsupported");

  const int32_t width = Bitmap.Width(), height = Bitmap.Height();
  const int32_t channels = format == ie24RGB || format == ieRGB48 ? 3 : (format == ieCMYK ? 4 : 1);
  const int32_t sampleBytes = type == stByte ? 1 : (type == stWord ? 2 : 4);
  const bool planar = Params.RawBitmapPlanar && channels > 1;
  TIEStreamInput in(Stream, -1, 65536);
  TTextValues values(in, dataFormat == 2, type);
  bool complete = in.Skip(Params.RawBitmapHeaderSize) == Params.RawBitmapHeaderSize;
  Progress.PerRow = 100.0 / height;
  const auto report = [&](int32_t percent) { Progress.Report(percent); };

  if (!planar) {
    const int64_t fileRow = RowLength64(width, Bitmap.BitCount(), align);
    const int64_t bitmapRow = Bitmap.RowLen();
    const int64_t take = std::min(fileRow, bitmapRow);
    const int32_t samples = width * channels;
    for (int32_t y = 0; y < height && complete; ++y) {
      report(static_cast<int32_t>(static_cast<int64_t>(y) * 100 / height));
      auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
      if (!text) {
        complete = in.Read(row, take) == take;
        // Padding of the file's rows beyond what the bitmap holds.
        if (complete && fileRow > bitmapRow) complete = in.Skip(fileRow - bitmapRow) == fileRow - bitmapRow;
      } else {
        for (int32_t i = 0; i < samples && complete; ++i) complete = values.Next(row + static_cast<size_t>(i) * sampleBytes);
      }
    }
  } else {
    // One plane per channel, each row of a plane padded on its own.
    const int64_t planeRow = RowLength64(width, 8 * sampleBytes, align);
    const int64_t take = int64_t{width} * sampleBytes;
    std::vector<uint8_t> buffer(static_cast<size_t>(take));
    for (int32_t p = 0; p < channels && complete; ++p) {
      report(p * 100 / channels);
      for (int32_t y = 0; y < height && complete; ++y) {
        if (!text) {
          complete = in.Read(buffer.data(), take) == take && in.Skip(planeRow - take) == planeRow - take;
        } else {
          for (int32_t x = 0; x < width && complete; ++x) complete = values.Next(buffer.data() + static_cast<size_t>(x) * sampleBytes);
        }
        auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
        for (int32_t x = 0; x < width; ++x)
          std::memcpy(row + (static_cast<size_t>(x) * channels + p) * sampleBytes,
                      buffer.data() + static_cast<size_t>(x) * sampleBytes, static_cast<size_t>(sampleBytes));
      }
    }
  }
  in.Sync();

  // ie24RGB holds blue, green, red; ieRGB48 red, green, blue.
  const bool swap = (format == ie24RGB && !Params.RawBitmapBGR) || (format == ieRGB48 && Params.RawBitmapBGR);
  if (swap)
    for (int32_t y = 0; y < height; ++y) {
      if (format == ie24RGB)
        SwapRB(Bitmap.GetRow(y), width);
      else
        SwapRB48(Bitmap.GetRow(y), width);
    }
  if (planar) report(100);
  // The data end before the last row: the rows read so far stay, the load fails.
  if (!complete) Progress.Abort();
}
