// The Canon heap (CIFF) of older raw files: a tree of records, each heap ending with the offset of
// its record table. Sub-heaps are walked at most 8 deep and never twice; every table and every
// record's data must lie inside its heap; thumbnail candidates are read through a view of exactly
// their bytes.
#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/camera_raw_codec.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

constexpr int kMaxDepth = 8;
constexpr uint32_t kMaxRecords = 256;

struct MakerEntry {
  uint16_t tag;
  std::vector<uint8_t> data;
};

struct CIFFWalk {
  CIFFWalk(TStream& stream, int64_t bytes, bool littleEndian, TIOParamsVals& p)
      : s(stream), size(bytes), intel(littleEndian), params(p) {}
  TStream& s;
  int64_t size;
  bool intel;
  TIOParamsVals& params;
  int64_t bestAt = -1, bestBytes = 0;
  int32_t bestW = 2147483646, bestH = 2147483646;
  std::vector<MakerEntry> maker;
  std::set<std::pair<int64_t, int64_t>> visited;  // heaps walked, by offset and length

  bool Read(int64_t at, void* p, int32_t n) {
    if (at < 0 || n < 0 || at > size - n) return false;
    s.Seek(at, soBeginning);
    return s.Read(p, n) == n;
  }
  uint16_t U16(const uint8_t* p) const { return intel ? uint16_t(p[0] | p[1] << 8) : uint16_t(p[0] << 8 | p[1]); }
  uint32_t U32(const uint8_t* p) const {
    return intel ? uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24)
                 : uint32_t(uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
  }

  std::string String(int64_t at, uint32_t n, size_t& used) {
    std::string out;
    std::vector<uint8_t> b(std::min<uint32_t>(n, 4096));
    used = 0;
    if (!Read(at, b.data(), static_cast<int32_t>(b.size()))) return out;
    while (used < b.size() && b[used] != 0) out.push_back(static_cast<char>(b[used++]));
    if (used < b.size()) ++used;  // the zero byte
    return out;
  }

  void Thumbnail(int64_t at, uint32_t n) {
    // The JPEG's parameters only, read through a view of exactly its bytes.
    s.Seek(at, soBeginning);
    TIEBufferedReadStream view(s, 8192, true, n);
    TIEBitmap none;
    TIOParamsVals p(nullptr);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    ReadJpegStream(view, nullptr, none, p, progress, true, false, false, false, false, false, 0, false);
    if (aborting || p.Width <= 0 || p.Height <= 0) return;
    if (p.Width < bestW && p.Height < bestH) {
      bestW = p.Width, bestH = p.Height;
      bestAt = at, bestBytes = n;
    }
  }

  void Heap(int64_t offset, int64_t length, int depth) {
    if (depth > kMaxDepth || length < 4 || offset < 0 || offset > size - length) return;
    if (!visited.insert({offset, length}).second) return;  // a heap that contains itself is walked once
    uint8_t b4[4];
    if (!Read(offset + length - 4, b4, 4)) return;
    const int64_t table = offset + U32(b4);
    uint8_t b2[2];
    if (U32(b4) > static_cast<uint64_t>(length) - 4 || !Read(table, b2, 2)) return;
    const uint32_t count = std::min<uint32_t>(U16(b2), kMaxRecords);
    for (uint32_t i = 0; i < count; ++i) {
      const int64_t recordAt = table + 2 + int64_t{i} * 10;
      uint8_t r[10];
      if (recordAt + 10 > offset + length || !Read(recordAt, r, 10)) return;
      const uint16_t rawTag = U16(r);
      uint32_t n = U32(r + 2);
      int64_t at;
      if (rawTag >= 0x4000) {
        at = recordAt + 2;  // the record's own 8 bytes
        n = 8;
      } else {
        at = offset + U32(r + 6);
        // Data outside its heap ends this heap's walk.
        if (U32(r + 6) > static_cast<uint64_t>(length) || n > static_cast<uint64_t>(length) - U32(r + 6)) return;
      }
      const uint16_t tag = rawTag & 0x3FFF;
      size_t used = 0;
      switch (tag) {
        case 0x0805: params.ExifImageDescription = String(at, n, used); break;
        case 0x080A: {
          params.ExifMake = String(at, n, used);
          if (used < n) params.ExifModel = String(at + static_cast<int64_t>(used), n - static_cast<uint32_t>(used), used);
          break;
        }
        case 0x080B: params.ExifSoftware = String(at, n, used); break;
        case 0x1810: {
          uint8_t d[8];
          if (n >= 8 && Read(at, d, 8)) {
            params.SetExifPixelXDimension(static_cast<int32_t>(std::min<uint32_t>(U32(d), 0x7FFFFFFF)));
            params.SetExifPixelYDimension(static_cast<int32_t>(std::min<uint32_t>(U32(d + 4), 0x7FFFFFFF)));
          }
          break;
        }
        case 0x2007:
        case 0x2008:
          if (n > 0) Thumbnail(at, n);
          break;
        case 0x102D:
        case 0x102A: {
          // Camera blocks of 16-bit words, at most what a maker note holds.
          const uint32_t bytes = std::min<uint32_t>(n, 16384) & ~1u;
          MakerEntry e{static_cast<uint16_t>(tag == 0x102D ? 1 : 4), std::vector<uint8_t>(bytes)};
          if (bytes > 0 && Read(at, e.data.data(), static_cast<int32_t>(bytes))) {
            if (!intel)  // the note is little-endian
              for (size_t k = 0; k + 1 < bytes; k += 2) std::swap(e.data[k], e.data[k + 1]);
            maker.push_back(std::move(e));
          }
          break;
        }
        case 0x2800: case 0x2807: case 0x3000: case 0x3002: case 0x3003: case 0x3004: case 0x300A: case 0x300B:
          if (rawTag < 0x4000) Heap(at, n, depth + 1);
          break;
        default: break;
      }
    }
  }
};

void PutU16(TStream& s, uint16_t v) { s.WriteBuffer(&v, 2); }
void PutU32(TStream& s, uint32_t v) { s.WriteBuffer(&v, 4); }

}  // namespace

namespace {

void ReadHeapFile(TStream& Stream, TIOParamsVals& Params) {
  try {
    TIEBufferedReadStream s(Stream, 8192, true);
    uint8_t head[14];
    if (s.Read(head, 14) != 14) return;
    const bool heap = std::memcmp(head + 6, "HEAPCCDR", 8) == 0;
    bool intel;
    if (head[0] == 'I' && head[1] == 'I')
      intel = true;
    else if (head[0] == 'M' && head[1] == 'M')
      intel = false;
    else if (heap)
      intel = true;
    else
      return;
    // A byte-order mark alone is not a heap: TIFF files start the same way.
    if (!heap) return;
    CIFFWalk walk(s, s.Size(), intel, Params);
    const uint32_t header = walk.U32(head + 2);
    walk.Heap(header, walk.size - header, 0);

    if (!Params.ExifThumbnail()) Params.SetExifThumbnail(std::make_unique<TIEBitmap>());
    Params.ExifThumbnail()->FreeImage();
    if (walk.bestAt >= 0) {
      s.Seek(walk.bestAt, soBeginning);
      TIEBufferedReadStream view(s, 8192, true, walk.bestBytes);
      TIOParamsVals p(nullptr);
      bool aborting = false;
      TIEProgressRecord progress;
      progress.Aborting = &aborting;
      ReadJpegStream(view, nullptr, *Params.ExifThumbnail(), p, progress, false, false, false, false, false, false,
                     0, false);
      if (aborting) Params.ExifThumbnail()->FreeImage();
    }

    TIETagsHandler& note = Params.ExifMakerNote;
    note.Clear();
    if (!walk.maker.empty()) {
      TMemoryStream& e = note.EntryStream();
      e.SetSize(0);
      e.SetPosition(0);
      PutU16(e, static_cast<uint16_t>(walk.maker.size()));
      uint32_t valueAt = 2 + 12 * static_cast<uint32_t>(walk.maker.size());
      for (const MakerEntry& m : walk.maker) {
        PutU16(e, m.tag);
        PutU16(e, 3);
        PutU32(e, static_cast<uint32_t>(m.data.size() / 2));
        PutU32(e, valueAt);
        valueAt += static_cast<uint32_t>(m.data.size());
      }
      for (const MakerEntry& m : walk.maker)
        if (!m.data.empty()) e.WriteBuffer(m.data.data(), static_cast<int32_t>(m.data.size()));
      note.UpdateEntryTable();
    }
  } catch (const std::exception&) {
  }
}

}  // namespace

bool ReadCIFFInfo(TStream& Stream, TIOParamsVals& Params) {
  int64_t origin;
  try {
    origin = Stream.Position();
  } catch (const std::exception&) {
    return false;
  }
  ReadHeapFile(Stream, Params);
  // The stream is left where it was found, whatever the walk met.
  try {
    Stream.Seek(origin, soBeginning);
  } catch (const std::exception&) {
  }
  return false;
}
