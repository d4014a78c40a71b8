// The raw bitmap stream "TIEBITMAPRAW": the lossless record of one TIEBitmap, used by the layer
// streams of the views and by the processing component's clipboard format.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_zlib.h"
#include "platform/system/streams.h"

namespace {

constexpr char kSignature[12] = {'T', 'I', 'E', 'B', 'I', 'T', 'M', 'A', 'P', 'R', 'A', 'W'};
// Width, height, format, Full, PaletteUsed, display range, channel offsets, HasChannelOffsets,
// Contrast and RowAlignment.
constexpr int32_t kHeaderSize = 55;
constexpr int32_t kMaxAlignment = 4096;

// Before a block of rows, a stream is grown once to hold it (memory streams then copy less); a
// stream that cannot grow is written anyway.
void Reserve(TStream& stream, int64_t bytes) {
  try {
    const int64_t need = stream.Position() + bytes;
    if (stream.Size() < need) stream.SetSize(need);
  } catch (const Exception&) {
  }
}

void WriteRows(TIEBitmap& bitmap, TStream& stream, bool reserve) {
  const int32_t rowLen = bitmap.RowLen();
  const int32_t height = bitmap.Height();
  if (reserve) Reserve(stream, static_cast<int64_t>(rowLen) * height);
  TIERowAccessScope access(bitmap, iraRead);
  for (int32_t y = 0; y < height; ++y) stream.WriteBuffer(bitmap.GetRow(y), rowLen);
}

// Reads height rows of recordRowLen bytes; rows of another padding are converted by keeping the
// pixel bytes both lengths hold.
void ReadRows(TIEBitmap& bitmap, TStream& stream, int32_t recordRowLen) {
  const int32_t rowLen = bitmap.RowLen();
  TIERowAccessScope access(bitmap, iraWrite);
  std::vector<uint8_t> row(rowLen == recordRowLen ? 0 : static_cast<size_t>(recordRowLen));
  for (int32_t y = 0; y < bitmap.Height(); ++y) {
    auto* target = static_cast<uint8_t*>(bitmap.GetRow(y));
    if (row.empty()) {
      stream.ReadBuffer(target, rowLen);
    } else {
      stream.ReadBuffer(row.data(), recordRowLen);
      std::memcpy(target, row.data(), static_cast<size_t>(std::min(rowLen, recordRowLen)));
    }
  }
}

// The most bytes the stream can still give: what is left of a plain stream, and for an inflating
// stream what its compressed bytes left can inflate to at best.
int64_t Available(TStream& stream) {
  if (auto* z = dynamic_cast<TZDecompressionStream*>(&stream)) {
    const int64_t left = z->CompressedBytesLeft();
    return left > INT64_MAX / kZMaxInflateRatio ? INT64_MAX : left * kZMaxInflateRatio;
  }
  return std::max<int64_t>(stream.Size() - stream.Position(), 0);
}

}  // namespace

int64_t TIEBitmap::RawStreamSize() {
  int64_t size = 3 * static_cast<int64_t>(GetPaletteLength()) + static_cast<int64_t>(RowLen()) * Height() + 76;
  if (HasAlphaChannel()) {
    TIEBitmap* alpha = GetAlphaChannel();
    size += static_cast<int64_t>(alpha->RowLen()) * alpha->Height() + 1;
  }
  return size;
}

namespace {

void WriteRecord(TIEBitmap& bitmap, TStream& stream, bool reserve) {
  stream.WriteBuffer(kSignature, 12);
  stream.WriteValue<int32_t>(0);
  const int32_t paletteLength = bitmap.GetPaletteLength();
  stream.WriteValue<int32_t>(paletteLength);
  if (paletteLength > 0) stream.WriteBuffer(bitmap.GetPaletteBuffer(), paletteLength * 3);
  stream.WriteValue<int32_t>(bitmap.Width());
  stream.WriteValue<int32_t>(bitmap.Height());
  stream.WriteValue<uint8_t>(bitmap.PixelFormat());
  stream.WriteValue<uint8_t>(bitmap.Full() ? 1 : 0);
  stream.WriteValue<int32_t>(bitmap.PaletteUsed());
  stream.WriteValue<double>(bitmap.DisplayRangeMin());
  stream.WriteValue<double>(bitmap.DisplayRangeMax());
  for (int32_t i = 0; i < 4; ++i) stream.WriteValue<int32_t>(bitmap.ChannelOffset(i));
  stream.WriteValue<uint8_t>(bitmap.HasChannelOffsets() ? 1 : 0);
  stream.WriteValue<int32_t>(bitmap.Contrast());
  stream.WriteValue<int32_t>(bitmap.RowAlignment());
  WriteRows(bitmap, stream, reserve);
  if (bitmap.HasAlphaChannel()) {
    stream.WriteValue<uint8_t>(1);
    TIEBitmap* alpha = bitmap.GetAlphaChannel();
    WriteRows(*alpha, stream, reserve);
    stream.WriteValue<uint8_t>(alpha->Full() ? 1 : 0);
  } else {
    stream.WriteValue<uint8_t>(0);
  }
}

}  // namespace

void TIEBitmap::SaveRawToStream(TStream& Stream) { WriteRecord(*this, Stream, true); }

void TIEBitmap::SaveRawToBuffer(void* Buffer) {
  TCustomMemoryStream block(Buffer, RawStreamSize());
  WriteRecord(*this, block, false);
}

bool TIEBitmap::LoadRawFromBuffer(const void* Buffer, int64_t Size) {
  if (!Buffer || Size <= 0) return false;
  TCustomMemoryStream block(Buffer, Size);
  return LoadRawFromStream(block);
}

bool TIEBitmap::LoadRawFromStream(TStream& Stream) {
  char signature[12];
  Stream.ReadBuffer(signature, 12);
  if (std::memcmp(signature, kSignature, 12) != 0) return false;
  if (Stream.ReadValue<int32_t>() < 0) return false;  // any version >= 0 reads with this layout
  const int32_t paletteCount = Stream.ReadValue<int32_t>();
  if (paletteCount < 0 || paletteCount > 256) return false;
  std::vector<TIERGB> palette(static_cast<size_t>(paletteCount));
  if (paletteCount > 0) Stream.ReadBuffer(palette.data(), paletteCount * 3);

  uint8_t header[kHeaderSize];
  Stream.ReadBuffer(header, kHeaderSize);
  TIEByteReader h(header, kHeaderSize);
  const int32_t width = h.I32();
  const int32_t height = h.I32();
  const uint8_t format = h.U8();
  const bool full = h.U8() != 0;
  const int32_t paletteUsed = h.I32();
  const double rangeMin = h.F64();
  const double rangeMax = h.F64();
  int32_t offsets[4];
  for (int32_t& o : offsets) o = h.I32();
  h.U8();  // HasChannelOffsets: follows from the offsets
  const int32_t contrast = h.I32();
  const int32_t alignment = h.I32();

  // Everything the header says is checked before the bitmap is touched.
  if (width < 0 || height < 0 || !IsValidPixelFormat(format)) return false;
  if (alignment <= 0 || alignment % 8 != 0 || alignment > kMaxAlignment) return false;
  if (width == 0 || height == 0) {
    // The record of an empty bitmap: nothing but the alpha flag follows.
    if (Stream.ReadValue<uint8_t>() != 0) return false;
    FreeImage(true);
    return true;
  }
  if (format == ieNoFormat) return false;
  const int32_t recordRowLen = RowLength(width, IEBitsPerPixel[format], alignment);
  if (recordRowLen <= 0) return false;
  // The rows and the alpha flag after them must be there before the bitmap is touched.
  const TIEImageData data{.Bytes = Available(Stream) - 1,
                          .BitsPerPixel = IEBitsPerPixel[format],
                          .RowBytes = recordRowLen,
                          .Whole = true};
  if (!IEImageSizePlausible(width, height, data)) return false;

  SetRowAlignment(alignment);
  if (!Allocate(width, height, static_cast<TIEPixelFormat>(format))) return false;
  SetFull(full);
  SetPaletteUsed(paletteUsed);
  SetDisplayRangeMin(rangeMin);
  SetDisplayRangeMax(rangeMax);
  for (int32_t i = 0; i < 4; ++i) SetChannelOffset(i, offsets[i]);
  SetContrast(contrast);
  const int32_t copied = std::min(paletteCount, GetPaletteLength());
  for (int32_t i = 0; i < copied; ++i) SetPaletteColor(i, palette[static_cast<size_t>(i)]);
  ReadRows(*this, Stream, recordRowLen);

  if (Stream.ReadValue<uint8_t>() != 0) {
    TIEBitmap* alpha = GetAlphaChannel();
    ReadRows(*alpha, Stream, alpha->RowLen());
    alpha->SetFull(Stream.ReadValue<uint8_t>() != 0);
  } else {
    RemoveAlphaChannel(false);
  }
  return true;
}
