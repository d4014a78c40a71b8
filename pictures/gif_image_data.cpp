#include "pictures/gif_image_data.h"

#include <algorithm>
#include <new>

#include "imaging/core/ie_image_size_gate.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "pictures/gif_errors.h"
#include "platform/system/streams.h"

namespace {

// The best case of LZW: a 12-bit code stands for at most 4096 pixels, so a byte for at most 2731.
constexpr int64_t kMaxPixelsPerByte = 2731;
constexpr int32_t kBlockSize = 255;

// Codes that a standard decoder turns into runs: after a clear code the codes first free, first free
// + 1, ... define runs of 2, 3, ... copies of one pixel, so a run of c pixels costs about the square
// root of 2c codes. The encoder builds no table of its own; it counts codes exactly as the decoder's
// table grows, widening its codes with it and sending a clear code before the table would fill.
class TRLEEncoder {
 public:
  TRLEEncoder(TStream& stream, int32_t codeSize)
      : writer_(stream, kBlockSize), initialWidth_(codeSize + 1), clear_(1 << codeSize), end_(clear_ + 1),
        firstFree_(clear_ + 2), growInitial_(clear_ - 1), forcedClearInitial_(codeSize > 3 ? clear_ - 2 : 9),
        largest_(4095 - firstFree_) {
    width_ = initialWidth_;
  }

  void Encode(int32_t height, int32_t width, bool interlaced, const uint8_t* pixels) {
    Clear();
    int32_t row = 0;
    int32_t pass = 1;
    for (bool more = height > 0 && width > 0 && pixels != nullptr; more;) {
      const uint8_t* src = pixels + static_cast<int64_t>(row) * width;
      for (int32_t x = 0; x < width; ++x) {
        if (runCount_ > 0 && src[x] == runPixel_) {
          ++runCount_;
          continue;
        }
        if (runCount_ > 0) FlushRun(runCount_);
        runPixel_ = src[x];
        runCount_ = 1;
      }
      more = interlaced ? GIFNextInterlacedRow(height, row, pass) : ++row < height;
    }
    if (runCount_ > 0) FlushRun(runCount_);
    writer_.Put(end_, width_);
    writer_.Finish();
  }

 private:
  void Clear() {
    growAt_ = growInitial_;
    forcedClearAt_ = forcedClearInitial_;
    codesOut_ = 0;
    longestRun_ = 0;
    clearFlag_ = true;
    writer_.Put(clear_, width_);
    width_ = initialWidth_;
  }

  // One code as the decoder reads it: the table grows with every code after the first since a clear.
  void Output(int32_t code) {
    clearFlag_ = false;
    writer_.Put(code, width_);
    if (++codesOut_ == growAt_) {
      growAt_ += 1 << width_;
      ++width_;
    }
    if (codesOut_ == forcedClearAt_) Clear();
  }

  // How many codes a run of Count costs after a clear with at most Room codes: every full triangle
  // of Room (Room + 1) / 2 pixels costs Room codes, a remainder m the smallest k with k (k + 1) >= 2m.
  static int64_t TriangleCost(int64_t count, int64_t room) {
    const int64_t full = room * (room + 1) / 2;
    int64_t cost = count / full * room;
    const int64_t m = count % full;
    if (m > 0) {
      // Newton's integer square root of 2m as a start, then adjusted to the exact k.
      const int64_t target = 2 * m;
      int64_t k = target;
      for (int64_t y = (k + 1) / 2; y < k; y = (k + target / k) / 2) k = y;
      while (k > 1 && (k - 1) * k >= target) --k;
      while (k * (k + 1) < target) ++k;
      cost += k;
    }
    return cost;
  }

  void FlushRun(int32_t count) {
    if (count == 1) {
      Output(runPixel_);
    } else if (clearFlag_) {
      FlushFromClear(count);
    } else if (longestRun_ > 1 && tablePixel_ == runPixel_) {
      FlushWithTable(count);
    } else {
      FlushByClearOrRepetition(count);
    }
  }

  // Right after a clear code: the pixel, then run codes of 2, 3, ... pixels, each defining the next.
  void FlushFromClear(int32_t count) {
    forcedClearAt_ = largest_;
    tablePixel_ = runPixel_;
    int32_t n = 1;
    while (count > 0) {
      if (n == 1) {
        longestRun_ = 1;
        --count;
        Output(runPixel_);
      } else if (count >= n) {
        longestRun_ = n;
        count -= n;
        Output(firstFree_ + n - 2);
      } else {
        // A shorter run the table knows; the decoder's new entry makes the longest run one longer.
        ++longestRun_;
        const int32_t code = count == 1 ? runPixel_ : firstFree_ + count - 2;
        count = 0;
        Output(code);
        break;
      }
      n = clearFlag_ ? 1 : n + 1;
    }
    forcedClearAt_ = forcedClearInitial_;
    if (codesOut_ >= forcedClearAt_) Clear();
  }

  void FlushByClearOrRepetition(int32_t count) {
    if (TriangleCost(count, largest_) + 1 < count) {
      Clear();
      FlushFromClear(count);
    } else {
      for (int32_t i = 0; i < count; ++i) Output(runPixel_);
    }
  }

  void FlushWithTable(int32_t count) {
    const int32_t longest = longestRun_;
    int64_t repeats = count / longest;
    int64_t left = count % longest;
    int64_t cost = repeats + (left > 0 ? 1 : 0);
    bool clearForLeft = false;
    if (codesOut_ + cost > largest_) {
      repeats = std::max<int64_t>(0, largest_ - codesOut_);
      left = count - static_cast<int64_t>(longest) * repeats;
      cost = repeats + TriangleCost(left, largest_) + 1;
      clearForLeft = left > 0;
    }
    if (TriangleCost(count, largest_) + 1 < cost) {
      Clear();
      FlushFromClear(count);
      return;
    }
    forcedClearAt_ = largest_;
    for (int64_t i = 0; i < repeats; ++i) Output(firstFree_ + longest - 2);
    if (left > 0) {
      if (clearForLeft) {
        Clear();
        FlushFromClear(static_cast<int32_t>(left));
        return;
      }
      Output(left == 1 ? runPixel_ : firstFree_ + static_cast<int32_t>(left) - 2);
    }
    forcedClearAt_ = forcedClearInitial_;
    if (codesOut_ >= forcedClearAt_) Clear();
  }

  TGIFCodeWriter writer_;
  const int32_t initialWidth_;
  const int32_t clear_;
  const int32_t end_;
  const int32_t firstFree_;
  const int32_t growInitial_;
  const int32_t forcedClearInitial_;
  const int32_t largest_;  // codes between two clears, so that the decoder's table never fills
  int32_t width_ = 0;
  int32_t growAt_ = 0;
  int32_t forcedClearAt_ = 0;
  int32_t codesOut_ = 0;
  int32_t longestRun_ = 0;  // the longest run the decoder's table holds
  int32_t tablePixel_ = -1;  // the pixel those runs are of
  bool clearFlag_ = false;
  int32_t runPixel_ = -1;
  int32_t runCount_ = 0;
};

}  // namespace

void DecodeGIFImageData(TStream& Stream, int32_t Width, int32_t Height, bool Interlaced, uint8_t Fill,
                        std::vector<uint8_t>& Pixels, const TGIFWarningSink& Warning) {
  uint8_t codeSize = 0;
  const bool haveData = Stream.Read(&codeSize, 1) == 1;
  if (haveData && (codeSize < 2 || codeSize > 11)) GIFError(sInvalidCodeSize);
  std::vector<uint8_t> data;
  const bool whole = !haveData || GIFGatherSubBlocks(Stream, data);
  if (Width <= 0 || Height <= 0) {
    // A frame of no size has no pixels; its data is stepped over.
    Pixels.clear();
    return;
  }
  // Only this frame's own data can hold its pixels.
  const TIEImageData gate{.Bytes = static_cast<int64_t>(data.size()), .BitsPerPixel = 8,
                          .MaxPixelsPerByte = kMaxPixelsPerByte};
  if (!IEImageSizePlausible(Width, Height, gate)) GIFError(sPrematureEOF);
  try {
    Pixels.assign(static_cast<size_t>(Width) * static_cast<size_t>(Height), Fill);
  } catch (const std::bad_alloc&) {
    Pixels.clear();
    throw EOutOfMemory("Out of memory");
  }
  if (!whole && Warning) Warning(sPrematureEOF);
  if (!haveData) return;
  TGIFLZWDecodeOptions options;
  options.MaxCodeSize = 11;
  options.Lenient = true;
  const TGIFLZWDecodeResult r =
      GIFLZWDecodeData(data.data(), data.size(), codeSize, Height, Width, Interlaced, Pixels.data(), options);
  if (r.DataEnded && Warning) Warning(sDecodeUnderrun);
}

void EncodeGIFImageData(TStream& Stream, int32_t BitsPerPixel, int32_t Width, int32_t Height, bool Interlaced,
                        const uint8_t* Pixels, TGIFEncoding Encoding) {
  const int32_t codeSize = std::clamp(BitsPerPixel, 2, 8);
  if (Encoding != genRunLength) {
    GIFLZWEncodeData(Stream, Height, Width, Interlaced, Pixels, codeSize,
                     TGIFLZWEncodeOptions{.BlockSize = kBlockSize, .LastCode = 4094});
    return;
  }
  const uint8_t sizeByte = static_cast<uint8_t>(codeSize);
  Stream.WriteBuffer(&sizeByte, 1);
  TRLEEncoder(Stream, codeSize).Encode(Height, Width, Interlaced, Pixels);
  const uint8_t terminator = 0;
  Stream.WriteBuffer(&terminator, 1);
}
