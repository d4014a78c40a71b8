// Strip encoding of the TIFF writer: strips of about 512 KB of bitmap rows, each row packed by the
// working bitmap's format and compressed (none, CCITT, LZW, PackBits, deflate, JPEG).
#include "imaging/io/codecs/tiff_strips.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/core/ie_zlib.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/tiff_ccitt.h"
#include "imaging/io/codecs/tiff_tag_list.h"
#include "imaging/io/color_converter.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_quantizer.h"
#include "platform/system/streams.h"

namespace {

constexpr int64_t kStripBytes = 524288;

void Convert(void* src, int32_t from, void* dst, int32_t to, int32_t count, TIOParamsVals* params) {
  const TIEColorConverterFunc f = DefaultColorConverter ? DefaultColorConverter : ConvertColorRow;
  f(src, from, dst, to, count, params);
}

// A grey level of 8 bits at another depth, to the nearest level (the reader widens 4-bit values by
// 17 and 2-bit ones by 85, so these come back exactly).
inline uint32_t ScaleGrey8(uint32_t v, int32_t bits) {
  if (bits == 8) return v;
  if (bits == 16) return v * 257;
  const uint32_t max = (1u << bits) - 1;
  return (v * max + 127) / 255;
}

// Packs Count values of Bits bits each, most significant bit first.
void PackValues(const uint32_t* values, int32_t count, int32_t bits, uint8_t* out) {
  if (bits == 8) {
    for (int32_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(values[i]);
    return;
  }
  if (bits == 16) {
    for (int32_t i = 0; i < count; ++i) IEPutU16(out + 2 * i, static_cast<uint16_t>(values[i]), false);
    return;
  }
  const int64_t bytes = (static_cast<int64_t>(count) * bits + 7) / 8;
  std::memset(out, 0, static_cast<size_t>(bytes));
  const uint32_t mask = (1u << bits) - 1;
  int64_t bit = 0;
  for (int32_t i = 0; i < count; ++i, bit += bits) {
    const uint32_t v = values[i] & mask;
    for (int32_t b = bits - 1; b >= 0; --b) {
      const int64_t at = bit + (bits - 1 - b);
      if ((v >> b) & 1) out[at >> 3] |= static_cast<uint8_t>(0x80 >> (at & 7));
    }
  }
}

// Packs the rows of one page into the bytes the page declares.
class TRowPacker {
 public:
  TRowPacker(TIEBitmap& bitmap, const TTIFFStripContext& c) : bmp_(bitmap), c_(c) {
    fmt_ = bitmap.PixelFormat();
    width_ = bitmap.Width();
    samples_ = TIFFStripSamples(c);
    // Work rows only for the formats that go through them: a bilevel row is copied as it is, so a
    // page a few million pixels wide costs its own bytes, not four or eight per pixel.
    const bool rgb = fmt_ == ie24RGB;
    if (fmt_ == ie8p || fmt_ == ie8g || fmt_ == ie16g || (rgb && (c.Photometric == 1 || c.Photometric == 3)))
      values_.resize(static_cast<size_t>(width_) + 8);
    if (rgb && (c.Photometric == 5 || c.Photometric == 8)) scratch_.resize(static_cast<size_t>(width_) * 4 + 8);
    if (fmt_ == ie8p && c.Quantizer && c.Photometric == 3) {
      // The palette of the file is the quantizer's: each index of the bitmap maps to its entry.
      const int32_t n = std::max(1, bmp_.GetPaletteLength());
      for (int32_t i = 0; i < 256; ++i) lut_[i] = static_cast<uint32_t>(c.Quantizer->RGBIndex(bmp_.GetPaletteColor(i % n)));
    }
  }

  int64_t RowBytes() const {
    switch (fmt_) {
      case ie1g: return (static_cast<int64_t>(width_) + 7) / 8;
      case ieCMYK: return static_cast<int64_t>(width_) * 4;
      case ieRGB48: return static_cast<int64_t>(width_) * 6;
      case ie24RGB:
        if (c_.Photometric == 1 || c_.Photometric == 3)
          return (static_cast<int64_t>(width_) * c_.BitsPerSample + 7) / 8;
        return static_cast<int64_t>(width_) * samples_;
      default: return (static_cast<int64_t>(width_) * c_.BitsPerSample + 7) / 8;
    }
  }

  // Row Y packed into Out (RowBytes bytes).
  void Pack(int32_t y, uint8_t* out) {
    const auto* s = static_cast<const uint8_t*>(bmp_.GetRow(y));
    const int32_t w = width_;
    switch (fmt_) {
      case ie1g:
        std::memcpy(out, s, static_cast<size_t>(RowBytes()));
        return;
      case ie8p:
        for (int32_t x = 0; x < w; ++x) {
          if (c_.Photometric == 1) values_[x] = ScaleGrey8(bmp_.GetPaletteColor(s[x]).r, c_.BitsPerSample);
          else values_[x] = c_.Quantizer && c_.Photometric == 3 ? lut_[s[x]] : s[x];
        }
        break;
      case ie8g:
        for (int32_t x = 0; x < w; ++x) values_[x] = ScaleGrey8(s[x], c_.BitsPerSample);
        break;
      case ie16g: {
        const auto* g = reinterpret_cast<const uint16_t*>(s);
        for (int32_t x = 0; x < w; ++x)
          values_[x] = c_.BitsPerSample == 16 ? g[x] : ScaleGrey8(g[x] >> 8, c_.BitsPerSample);
        break;
      }
      case ieCMYK:
        for (int64_t i = 0; i < static_cast<int64_t>(w) * 4; ++i) out[i] = static_cast<uint8_t>(255 - s[i]);
        return;
      case ieRGB48:
        std::memcpy(out, s, static_cast<size_t>(w) * 6);
        return;
      case ie24RGB:
        PackRGB(y, s, out);
        return;
      default:
        return;
    }
    PackValues(values_.data(), w, c_.BitsPerSample, out);
  }

 private:
  void PackRGB(int32_t y, const uint8_t* s, uint8_t* out) {
    const int32_t w = width_;
    switch (c_.Photometric) {
      case 5:
        std::memcpy(scratch_.data(), s, static_cast<size_t>(w) * 3);
        Convert(scratch_.data(), iecsBGR, out, iecsCMYKInv, w, c_.Params);
        for (int64_t i = 0; i < static_cast<int64_t>(w) * 4; ++i) out[i] = static_cast<uint8_t>(255 - out[i]);
        return;
      case 8:
        std::memcpy(scratch_.data(), s, static_cast<size_t>(w) * 3);
        Convert(scratch_.data(), iecsBGR, out, iecsCIELab, w, c_.Params);
        return;
      case 1:
        for (int32_t x = 0; x < w; ++x) {
          const auto grey = static_cast<uint32_t>(
              (s[3 * x + 2] * GreyWeightRed + s[3 * x + 1] * GreyWeightGreen + s[3 * x] * GreyWeightBlue) / 100);
          values_[x] = ScaleGrey8(std::min<uint32_t>(grey, 255), c_.BitsPerSample);
        }
        PackValues(values_.data(), w, c_.BitsPerSample, out);
        return;
      case 3:
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t index = c_.Quantizer ? static_cast<uint32_t>(c_.Quantizer->RGBIndex(
                                                    TIERGB{s[3 * x], s[3 * x + 1], s[3 * x + 2]}))
                                              : 0;
          values_[x] = c_.BitsPerSample == 16 ? index * 257 : index;
        }
        PackValues(values_.data(), w, c_.BitsPerSample, out);
        return;
      default:
        break;
    }
    if (c_.Alpha) {
      const auto* a = static_cast<const uint8_t*>(bmp_.GetAlphaChannel()->GetRow(y));
      for (int32_t x = 0; x < w; ++x) {
        out[4 * x] = s[3 * x + 2];
        out[4 * x + 1] = s[3 * x + 1];
        out[4 * x + 2] = s[3 * x];
        out[4 * x + 3] = a[x];
      }
      return;
    }
    if (c_.Predictor == 2) {
      uint8_t r = 0, g = 0, b = 0;
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t nr = s[3 * x + 2], ng = s[3 * x + 1], nb = s[3 * x];
        out[3 * x] = static_cast<uint8_t>(nr - r);
        out[3 * x + 1] = static_cast<uint8_t>(ng - g);
        out[3 * x + 2] = static_cast<uint8_t>(nb - b);
        r = nr;
        g = ng;
        b = nb;
      }
      return;
    }
    for (int32_t x = 0; x < w; ++x) {
      out[3 * x] = s[3 * x + 2];
      out[3 * x + 1] = s[3 * x + 1];
      out[3 * x + 2] = s[3 * x];
    }
  }

  TIEBitmap& bmp_;
  const TTIFFStripContext& c_;
  TIEPixelFormat fmt_;
  int32_t width_ = 0;
  int32_t samples_ = 3;
  std::vector<uint32_t> values_;
  std::vector<uint8_t> scratch_;
  uint32_t lut_[256] = {};
};

}  // namespace

int32_t TIFFStripSamples(const TTIFFStripContext& Context) {
  switch (Context.Photometric) {
    case 0: case 1: case 3: case 4: return 1;
    case 5: return 4;
    default: return Context.Alpha ? 4 : 3;
  }
}

void PackBitsEncode(const uint8_t* Row, int32_t Length, std::vector<uint8_t>& Out) {
  int32_t p = 0, s = 0;
  auto flush = [&] {
    if (p - s > 0) {
      Out.push_back(static_cast<uint8_t>(p - s - 1));
      Out.insert(Out.end(), Row + s, Row + p);
    }
  };
  while (p < Length) {
    int32_t i = 1;
    while (i < 128 && p + i < Length && Row[p + i] == Row[p]) ++i;
    if (i < 4) {
      if (p - s == 128) {
        flush();
        s = p;
      } else {
        ++p;
      }
    } else {
      flush();
      Out.push_back(static_cast<uint8_t>(1 - i));
      Out.push_back(Row[p]);
      p += i;
      s = p;
    }
  }
  flush();
}

namespace {

// Bytes gathered for the strip being written, sent to the file when the strip ends.
class TStripBuffer : public TStream {
 public:
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    if (count <= 0) return 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    data_.insert(data_.end(), p, p + count);
    return count;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return static_cast<int64_t>(data_.size()); }
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  std::vector<uint8_t>& Data() { return data_; }

 private:
  std::vector<uint8_t> data_;
};

void WriteJPEGPage(TStream& stream, TIEBitmap& bitmap, TTIFFStripContext& c, TIEProgressRecord& progress) {
  TIOParamsVals params(nullptr);
  params.JpegQuality = c.JpegQuality;
  params.JpegColorSpace = static_cast<uint8_t>(c.JpegColorSpace);
  params.JpegChromaSubsampling = 1;  // 2 x 2, which the page's YCbCrSubSampling tag says
  if (c.Params) {
    params.SetDpiX(c.Params->DpiX);
    params.SetDpiY(c.Params->DpiY);
  }
  WriteJpegStream(stream, bitmap, params, progress);
}

// The one strip of a JPEG page: rows per strip are a whole number of 16-row MCUs (readers of
// subsampled JPEG data take no other), at least the page's height.
uint32_t JPEGRowsPerStrip(int32_t height) { return static_cast<uint32_t>((static_cast<int64_t>(height) + 15) / 16 * 16); }

}  // namespace

void TIFFWriteStrips(TTIFFTagList& Tags, TIEBitmap& Bitmap, TIEProgressRecord& Progress, TTIFFStripContext& Context) {
  TStream& out = Tags.Stream;
  const int32_t height = Bitmap.Height();
  const uint16_t comp = Context.Compression;
  std::vector<uint32_t> offsets, counts;

  if (comp == 7) {
    TIFFWordAlign(Tags);
    const uint32_t at = TIFFStreamOffset(Tags);
    bool aborting = false;
    TIEProgressRecord pr = Progress;
    pr.Aborting = &aborting;
    try {
      WriteJPEGPage(out, Bitmap, Context, pr);
    } catch (const std::exception&) {
      aborting = true;
    }
    if (aborting) Tags.Failed = true;
    const uint32_t end = TIFFStreamOffset(Tags);
    TIFFAddLong(Tags, tagRowsPerStrip, JPEGRowsPerStrip(height));
    TIFFAddLong(Tags, tagStripOffsets, at);
    TIFFAddLong(Tags, tagStripByteCounts, end - at);
    if (Context.Photometric == 6) TIFFAddShortArray(Tags, tagYCbCrSubSampling, {2, 2});
    return;
  }

  TRowPacker packer(Bitmap, Context);
  const int64_t rowBytes = packer.RowBytes();
  const bool deflate = comp == 8 || comp == 32946;
  int32_t rowsPerStrip = height;
  if (!deflate) {
    const int64_t strips = std::max<int64_t>(static_cast<int64_t>(height) * Bitmap.RowLen() / kStripBytes, 1);
    rowsPerStrip = static_cast<int32_t>(std::max<int64_t>(height / strips, 1));
  }
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes) + 8);
  TStripBuffer strip;
  std::vector<uint8_t> packed;
  std::unique_ptr<uint8_t[]> plain;  // uncompressed rows waiting to be written
  int64_t plainBytes = 0;
  uint8_t pendingByte = 0;
  int32_t pendingBits = 0;
  std::vector<uint8_t> refRow;
  void* lzw = nullptr;
  std::unique_ptr<TZCompressionStream> zip;
  const int32_t width = Bitmap.Width();
  TIERowAccessScope readOnly(Bitmap, iraRead);

  auto flushStrip = [&] {
    if (!strip.Data().empty()) {
      const int64_t n = static_cast<int64_t>(strip.Data().size());
      for (int64_t done = 0; done < n && !Tags.Failed;) {
        const int32_t k = static_cast<int32_t>(std::min<int64_t>(n - done, 1 << 30));
        SafeStreamWrite(out, Tags.Failed, strip.Data().data() + done, k);
        done += k;
      }
      strip.Data().clear();
    }
  };
  auto endStrip = [&] {
    try {
      switch (comp) {
        case 3:
          if (Context.G3TwoD) CCITTEncodeG3Row2D(nullptr, width, strip, pendingByte, pendingBits, refRow, Tags.Failed,
                                                 Context.FillOrder);
          else CCITTEncode1DRow(nullptr, width, strip, pendingByte, pendingBits, Tags.Failed, Context.FillOrder);
          break;
        case 4:
          CCITTEncodeG4Row(nullptr, width, strip, pendingByte, pendingBits, refRow, Tags.Failed, Context.FillOrder);
          break;
        case 5:
          if (lzw) Context.LZWEncoder(nullptr, 0, strip, lzw);
          break;
        case 8:
        case 32946:
          if (zip) zip->Finish();  // the explicit end of the deflate data: its failure is the page's
          zip.reset();
          break;
        default:
          break;
      }
    } catch (const std::exception&) {
      Tags.Failed = true;
    }
    lzw = nullptr;
    pendingByte = 0;
    pendingBits = 0;
    refRow.clear();
    flushStrip();
    const uint32_t end = TIFFStreamOffset(Tags);
    counts.push_back(end - offsets.back());
  };

  for (int32_t y = 0; y < height && !Tags.Failed && !Progress.IsAborting(); ++y) {
    if (y % rowsPerStrip == 0) {
      TIFFWordAlign(Tags);
      offsets.push_back(TIFFStreamOffset(Tags));
      if (deflate) {
        // zlib's largest hash memory: a little smaller files at the same level, at about its speed.
        TZDeflateSettings settings;
        settings.Level = Context.ZipLevel;
        settings.MemLevel = 9;
        zip = std::make_unique<TZCompressionStream>(out, settings);
      }
    }
    const auto n = static_cast<int32_t>(rowBytes);
    if (comp == 1) {
      // Uncompressed rows are packed straight into a buffer of their own (never cleared first),
      // which goes out in large writes.
      if (!plain) plain = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(kStripBytes + rowBytes));
      packer.Pack(y, plain.get() + plainBytes);
      plainBytes += n;
      const bool stripEnds = (y + 1) % rowsPerStrip == 0 || y + 1 == height;
      if (plainBytes >= kStripBytes || stripEnds) {
        SafeStreamWrite(out, Tags.Failed, plain.get(), static_cast<int32_t>(plainBytes));
        plainBytes = 0;
      }
      Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y) * 100 / std::max(height, 1)));
      if (stripEnds) endStrip();
      continue;
    }
    packer.Pack(y, row.data());
    try {
      switch (comp) {
        case 2: CCITTEncodeMHRow(row.data(), width, strip, Tags.Failed, Context.FillOrder); break;
        case 3:
          if (Context.G3TwoD) CCITTEncodeG3Row2D(row.data(), width, strip, pendingByte, pendingBits, refRow, Tags.Failed,
                                                 Context.FillOrder);
          else CCITTEncode1DRow(row.data(), width, strip, pendingByte, pendingBits, Tags.Failed, Context.FillOrder);
          break;
        case 4:
          CCITTEncodeG4Row(row.data(), width, strip, pendingByte, pendingBits, refRow, Tags.Failed, Context.FillOrder);
          break;
        case 5: Context.LZWEncoder(row.data(), n, strip, lzw); break;
        case 32773:
          packed.clear();
          PackBitsEncode(row.data(), n, packed);
          strip.Write(packed.data(), static_cast<int32_t>(packed.size()));
          break;
        case 8:
        case 32946:
          if (zip->Write(row.data(), n) != n) Tags.Failed = true;
          break;
        default:
          break;
      }
    } catch (const std::exception&) {
      Tags.Failed = true;
    }
    if (strip.Data().size() >= static_cast<size_t>(kStripBytes)) {
      // LZW and PackBits data of a strip go out in pieces too (CCITT keeps its pending bits aside).
      flushStrip();
    }
    Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y) * 100 / std::max(height, 1)));
    if ((y + 1) % rowsPerStrip == 0 || y + 1 == height) endStrip();
  }
  if (counts.size() < offsets.size()) endStrip();  // the loop stopped inside a strip
  if (lzw) Context.LZWEncoder(nullptr, 0, strip, lzw);

  TIFFAddLong(Tags, tagRowsPerStrip, static_cast<uint32_t>(rowsPerStrip));
  if (offsets.size() == 1) {
    TIFFAddLong(Tags, tagStripOffsets, offsets[0]);
    TIFFAddLong(Tags, tagStripByteCounts, counts[0]);
  } else {
    TIFFAddLongArray(Tags, tagStripOffsets, offsets);
    TIFFAddLongArray(Tags, tagStripByteCounts, counts);
  }
}

void TIFFWriteOldJPEGStrip(TTIFFTagList& Tags, TIEBitmap& Bitmap, TIEProgressRecord& Progress,
                           TTIFFStripContext& Context) {
  TMemoryStream jpeg;
  bool aborting = false;
  TIEProgressRecord pr = Progress;
  pr.Aborting = &aborting;
  try {
    WriteJPEGPage(jpeg, Bitmap, Context, pr);
  } catch (const std::exception&) {
    aborting = true;
  }
  if (aborting) {
    Tags.Failed = true;
    return;
  }
  const auto* data = static_cast<const uint8_t*>(jpeg.Memory());
  const int64_t size = jpeg.Size();
  const uint32_t at = Tags.WriteData(data, size);
  int64_t sos = 0;
  for (int64_t i = 0; i + 1 < size; ++i)
    if (data[i] == 0xFF && data[i + 1] == 0xDA) {
      sos = i;
      break;
    }
  TIFFAddLong(Tags, tagJPEGInterchangeFormatLength, static_cast<uint32_t>(size));
  TIFFAddLong(Tags, tagJPEGInterchangeFormat, at);
  TIFFAddLong(Tags, tagRowsPerStrip, JPEGRowsPerStrip(Bitmap.Height()));
  TIFFAddLong(Tags, tagStripByteCounts, static_cast<uint32_t>(size - sos));
  TIFFAddLong(Tags, tagStripOffsets, at + static_cast<uint32_t>(sos));
  TIFFAddShort(Tags, tagJPEGProc, 1);
  TIFFAddShortArray(Tags, tagYCbCrSubSampling, {2, 2});
}
