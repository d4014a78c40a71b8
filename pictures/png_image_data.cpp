#include "pictures/png_image_data.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "imaging/core/ie_zlib.h"
#include "imaging/io/codecs/png_filters.h"
#include "pictures/png_errors.h"
#include "pictures/png_header.h"
#include "pictures/png_samples.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kInputBlock = 65535;  // the most read from the file at once

// The data of consecutive IDAT chunks as one stream, for the inflater. The running CRC starts with
// the chunk name; at the end of a chunk's data, when more is asked for, the chunk's CRC is checked
// and the next chunk must be an IDAT whose data continue the stream. The stream only moves forward:
// Seek reports the bytes delivered and moves nothing.
class TIdatInput : public TStream {
 public:
  TIdatInput(TStream& source, uint32_t firstLength)
      : source_(source), remaining_(firstLength), crc_(crc32(0L, reinterpret_cast<const Bytef*>("IDAT"), 4)) {}

  int32_t Read(void* buffer, int32_t count) override {
    if (count <= 0) return 0;
    while (remaining_ == 0) NextChunk();
    const int32_t want = static_cast<int32_t>(std::min<int64_t>({count, remaining_, kInputBlock}));
    const int32_t got = static_cast<int32_t>(ReadUpTo(source_, buffer, want));
    if (got <= 0) {
      exhausted_ = true;
      return 0;
    }
    crc_ = crc32(crc_, static_cast<const Bytef*>(buffer), static_cast<uInt>(got));
    remaining_ -= static_cast<uint32_t>(got);
    delivered_ += got;
    return got;
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t, TSeekOrigin) override { return delivered_; }
  int64_t Size() override { return delivered_; }

  // True once the file had no more bytes to give.
  bool Exhausted() const { return exhausted_; }

  // The end of the image data: the rest of the current chunk's data counts for its CRC, which is
  // then checked.
  void Finish() {
    std::vector<uint8_t> skip(static_cast<size_t>(std::min<uint32_t>(remaining_, kInputBlock)));
    while (remaining_ > 0) {
      const int32_t got = static_cast<int32_t>(ReadUpTo(source_, skip.data(), std::min<uint32_t>(remaining_, kInputBlock)));
      if (got <= 0) break;
      crc_ = crc32(crc_, skip.data(), static_cast<uInt>(got));
      remaining_ -= static_cast<uint32_t>(got);
    }
    CheckCRC();
  }

 private:
  void CheckCRC() {
    uint8_t stored[4];
    if (ReadUpTo(source_, stored, 4) != 4 || ReadBE32(stored) != static_cast<uint32_t>(crc_))
      throw EPngInvalidCRC(pngtext::kInvalidCRC);
  }

  void NextChunk() {
    CheckCRC();
    uint8_t head[8];
    if (ReadUpTo(source_, head, 8) != 8 || std::memcmp(head + 4, "IDAT", 4) != 0)
      throw EPNGMissingMultipleIDAT(pngtext::kMissingMultipleIDAT);
    const uint32_t length = ReadBE32(head);
    if (length > 0x7FFFFFFFu) throw EPngUnexpectedEnd(pngtext::kUnexpectedEnd);
    remaining_ = length;
    crc_ = crc32(0L, head + 4, 4);
  }

  TStream& source_;
  uint32_t remaining_;
  uLong crc_;
  int64_t delivered_ = 0;
  bool exhausted_ = false;
};

// Cuts what the deflater writes into IDAT chunks of exactly chunkSize bytes; Flush writes the rest as
// a last, shorter one. Seek reports the bytes taken and moves nothing.
class TIdatOutput : public TStream {
 public:
  TIdatOutput(TStream& target, uint32_t chunkSize)
      // A chunk holds at most 2^31 - 1 bytes, and at least one.
      : target_(target), chunkSize_(std::clamp<uint32_t>(chunkSize, 1, 0x7FFFFFFFu)) {}

  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    int64_t left = count;
    while (left > 0) {
      const size_t take = static_cast<size_t>(std::min<int64_t>(left, chunkSize_ - pending_.size()));
      pending_.insert(pending_.end(), p, p + take);
      p += take;
      left -= static_cast<int64_t>(take);
      if (pending_.size() == chunkSize_) Emit();
    }
    taken_ += count;
    return count;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return taken_; }
  int64_t Size() override { return taken_; }
  void Flush() {
    if (!pending_.empty()) Emit();
  }

 private:
  void Emit() {
    uint8_t head[8];
    WriteBE32(head, static_cast<uint32_t>(pending_.size()));
    std::memcpy(head + 4, "IDAT", 4);
    target_.WriteBuffer(head, 8);
    target_.WriteBuffer(pending_.data(), static_cast<int32_t>(pending_.size()));
    uint8_t crc[4];
    WriteBE32(crc, PNGChunkCRC("IDAT", pending_.data(), pending_.size()));
    target_.WriteBuffer(crc, 4);
    pending_.clear();
  }

  TStream& target_;
  uint32_t chunkSize_;
  std::vector<uint8_t> pending_;
  int64_t taken_ = 0;
};

bool IsIdentity(const uint8_t* table) {
  for (int i = 0; i < 256; ++i)
    if (table[i] != i) return false;
  return true;
}

// Rows of one pass (the whole image without interlace): where they go and how big they are.
struct TPass {
  int32_t x0, y0, dx, dy;
  int32_t width, rows;
  size_t rowBytes;
};

std::vector<TPass> PassesOf(const TChunkIHDR* h, uint8_t interlace, int32_t fileBits) {
  const int64_t w = h->Width(), ht = h->Height();
  std::vector<TPass> passes;
  if (interlace == 0) {
    passes.push_back({0, 0, 1, 1, static_cast<int32_t>(w), static_cast<int32_t>(ht),
                      static_cast<size_t>(PNGRowBytes(w, fileBits))});
    return passes;
  }
  for (const TAdam7Pass& a : kAdam7) {
    const int32_t pw = Adam7Count(w, a.x0, a.dx), ph = Adam7Count(ht, a.y0, a.dy);
    const size_t bytes = static_cast<size_t>(PNGRowBytes(pw, fileBits));
    // A pass without pixels has no rows in the file at all.
    if (bytes == 0 || ph == 0) continue;
    passes.push_back({a.x0, a.y0, a.dx, a.dy, pw, ph, bytes});
  }
  return passes;
}

TPNGRowPlanes PlanesOf(const TChunkIHDR* h, int32_t y) {
  TPNGRowPlanes p;
  p.storage = h->StorageRow(y);
  p.alpha = h->AlphaRow(y);
  p.low = h->LowByteRow(y);
  return p;
}

// Decodes the zlib stream over the IDAT chunks into the header's storage.
void DecodeImageData(TPNGChunkOwner* png, TChunkIHDR* header, TStream& stream, uint32_t firstLength) {
  const TPNGRowLayout layout = PNGRowLayout(header->ColorType(), header->BitDepth());
  const uint8_t* gamma = IsIdentity(png->GammaTable()) ? nullptr : png->GammaTable();

  // Grey images show their samples through a grey palette over the storage's values.
  if (header->ColorType() == ctGrayscale || header->ColorType() == ctGrayscaleAlpha) {
    const int32_t entries = 1 << header->StorageBits();
    std::vector<PALETTEENTRY> ramp(static_cast<size_t>(entries));
    for (int32_t i = 0; i < entries; ++i) {
      const uint8_t v = png->GammaTable()[i * 255 / (entries - 1)];
      ramp[static_cast<size_t>(i)] = {v, v, v, 0};
    }
    HPALETTE palette = CreatePaletteFromEntries(ramp.data(), static_cast<uint32_t>(entries));
    header->SetImagePalette(palette);
    DeleteObject(palette);
  }

  TIdatInput input(stream, firstLength);
  std::exception_ptr failure;
  {
    TZDecompressionStream z(input);
    bool ended = false;
    for (const TPass& pass : PassesOf(header, png->InterlaceKind(), layout.fileBits)) {
      if (ended) break;
      const size_t stride = pass.rowBytes + 1;  // the filter type first
      // Many rows per inflate call: fewer calls, and zlib copies less into its window.
      const int32_t blockRows = static_cast<int32_t>(std::clamp<size_t>((256 * 1024) / stride, 1, static_cast<size_t>(pass.rows)));
      std::vector<uint8_t> block(static_cast<size_t>(blockRows) * stride);
      std::vector<uint8_t> zeros(pass.rowBytes, 0), last(pass.rowBytes, 0);
      const uint8_t* prev = zeros.data();
      for (int32_t row = 0; row < pass.rows && !ended;) {
        const int32_t want = std::min(blockRows, pass.rows - row);
        const int64_t before = z.Position();
        int64_t got = 0;
        try {
          got = z.Read(block.data(), static_cast<int32_t>(static_cast<size_t>(want) * stride));
        } catch (const EZDecompressionError& e) {
          got = z.Position() - before;
          // The file ended inside the data: decoding ends; the CRC check below reports it.
          if (!input.Exhausted())
            failure = std::make_exception_ptr(EPNGZLIBError(pngtext::kZlibError + PNGZlibDescription(e.ErrorCode)));
          ended = true;
        } catch (...) {
          got = z.Position() - before;
          failure = std::current_exception();
          ended = true;
        }
        const int32_t complete = static_cast<int32_t>(got / static_cast<int64_t>(stride));
        // Data that end before the last row leave the remaining rows 0.
        if (complete < want) ended = true;
        for (int32_t k = 0; k < complete; ++k, ++row) {
          uint8_t* line = block.data() + static_cast<size_t>(k) * stride;
          PNGUnfilterRow(line[0], line + 1, prev, pass.rowBytes, static_cast<size_t>(layout.distance));
          TPNGRowPlanes planes = PlanesOf(header, pass.y0 + row * pass.dy);
          planes.gamma = gamma;
          PNGDecodeSamples(layout, line + 1, pass.width, pass.x0, pass.dx, planes);
          prev = line + 1;
        }
        // The next block's first row needs this block's last one.
        if (complete > 0) {
          std::memcpy(last.data(), prev, pass.rowBytes);
          prev = last.data();
        }
        if (failure) break;
      }
      if (failure) break;
    }
  }
  if (failure) std::rethrow_exception(failure);
  input.Finish();
}

// The filter type a row is written with; a filtered row is left in out[type] from its second byte on
// (the first is for the type).
uint8_t ChooseFilter(TPNGRowFilters filters, const uint8_t* raw, const uint8_t* prev, size_t bytes, size_t distance,
                     std::vector<uint8_t> (&out)[5]) {
  int32_t enabled = 0;
  uint8_t only = 0;
  for (uint8_t t = 0; t < 5; ++t)
    if (filters.Contains(static_cast<TPNGRowFilter>(t))) ++enabled, only = t;
  if (enabled == 0 || (enabled == 1 && only == 0)) return 0;
  if (enabled == 1) {
    PNGFilterRow(only, raw, prev, out[only].data() + 1, bytes, distance);
    return only;
  }
  int32_t best = 0;
  uint8_t choice = 0;
  for (uint8_t t = 0; t < 5; ++t) {
    if (!filters.Contains(static_cast<TPNGRowFilter>(t))) continue;
    const uint8_t* filtered = raw;
    if (t != 0) {
      PNGFilterRow(t, raw, prev, out[t].data() + 1, bytes, distance);
      filtered = out[t].data() + 1;
    }
    const int32_t score = PNGFilterScore(filtered, bytes);
    // The earlier filter keeps a tie; when nothing scores the row goes unfiltered.
    if (score > best) best = score, choice = t;
  }
  return choice;
}

void EncodeImageData(TPNGChunkOwner* png, TChunkIHDR* header, TStream& stream) {
  // 2-bit samples are kept at 4 bits and written so (the header says 4 by now).
  const uint8_t depth = header->BitDepth() == 2 ? 4 : header->BitDepth();
  const TPNGRowLayout layout = PNGRowLayout(header->ColorType(), depth);
  const uint8_t* inverse = IsIdentity(png->InverseGamma()) ? nullptr : png->InverseGamma();
  TIdatOutput output(stream, png->IdatChunkSize());
  {
    TZDeflateSettings settings;
    settings.Level = std::min<int32_t>(png->DeflateLevel(), 9);
    settings.Strategy = png->DeflateStrategy();
    TZCompressionStream z(output, settings);
    if (layout.supported && header->HasStorage()) {
      for (const TPass& pass : PassesOf(header, png->InterlaceKind(), layout.fileBits)) {
        // Rows with their type byte first; the raw row of the row above is kept for the filters.
        std::vector<uint8_t> raw(pass.rowBytes + 1), prev(pass.rowBytes + 1, 0);
        std::vector<uint8_t> out[5];
        for (auto& o : out) o.assign(pass.rowBytes + 1, 0);
        for (int32_t row = 0; row < pass.rows; ++row) {
          TPNGRowPlanes planes = PlanesOf(header, pass.y0 + row * pass.dy);
          planes.inverse = inverse;
          PNGEncodeSamples(layout, raw.data() + 1, pass.width, pass.x0, pass.dx, planes);
          const uint8_t type = ChooseFilter(png->RowFilters(), raw.data() + 1, prev.data() + 1, pass.rowBytes,
                                            static_cast<size_t>(layout.distance), out);
          uint8_t* line = type == 0 ? raw.data() : out[type].data();
          line[0] = type;
          z.WriteBuffer(line, static_cast<int32_t>(pass.rowBytes + 1));
          raw.swap(prev);
        }
      }
    }
    z.Finish();
  }
  output.Flush();
}

}  // namespace

std::unique_ptr<TChunk> TChunkIDAT::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunkIDAT>(owner); }

bool TChunkIDAT::LoadFromStream(TStream& stream, const std::string&, uint32_t size) {
  DecodeImageData(Owner(), Header(), stream, size);
  return true;
}

bool TChunkIDAT::SaveToStream(TStream& stream) {
  EncodeImageData(Owner(), Header(), stream);
  return true;
}
