#include "platform/media/avi_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t kRIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr uint32_t kLIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr uint32_t kAVI = mmioFOURCC('A', 'V', 'I', ' ');
constexpr uint32_t kAVIX = mmioFOURCC('A', 'V', 'I', 'X');
constexpr uint32_t kWAVE = mmioFOURCC('W', 'A', 'V', 'E');
constexpr uint32_t kHdrl = mmioFOURCC('h', 'd', 'r', 'l');
constexpr uint32_t kStrl = mmioFOURCC('s', 't', 'r', 'l');
constexpr uint32_t kOdml = mmioFOURCC('o', 'd', 'm', 'l');
constexpr uint32_t kMovi = mmioFOURCC('m', 'o', 'v', 'i');
constexpr uint32_t kRec = mmioFOURCC('r', 'e', 'c', ' ');
constexpr uint32_t kAvih = mmioFOURCC('a', 'v', 'i', 'h');
constexpr uint32_t kStrh = mmioFOURCC('s', 't', 'r', 'h');
constexpr uint32_t kStrf = mmioFOURCC('s', 't', 'r', 'f');
constexpr uint32_t kStrd = mmioFOURCC('s', 't', 'r', 'd');
constexpr uint32_t kStrn = mmioFOURCC('s', 't', 'r', 'n');
constexpr uint32_t kIndx = mmioFOURCC('i', 'n', 'd', 'x');
constexpr uint32_t kDmlh = mmioFOURCC('d', 'm', 'l', 'h');
constexpr uint32_t kIdx1 = mmioFOURCC('i', 'd', 'x', '1');
constexpr uint32_t kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr uint32_t kData = mmioFOURCC('d', 'a', 't', 'a');

// Streams a file can address: chunk ids carry two decimal digits.
constexpr size_t kMaxStreams = 100;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24; }
uint64_t U64(const uint8_t* p) { return U32(p) | static_cast<uint64_t>(U32(p + 4)) << 32; }

class TFileSource : public TAviByteSource {
 public:
  TFileSource(int Fd, int64_t Size) : fd_(Fd), size_(Size) {}
  ~TFileSource() override { ::close(fd_); }
  int64_t Size() const override { return size_; }
  bool ReadAt(int64_t Offset, void* Buffer, size_t Count) override {
    if (Offset < 0 || Offset > size_ || static_cast<int64_t>(Count) > size_ - Offset) return false;
    auto* p = static_cast<uint8_t*>(Buffer);
    while (Count > 0) {
      const ssize_t n = ::pread(fd_, p, Count, Offset);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      Offset += n;
      Count -= static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
  int64_t size_;
};

class TMemorySource : public TAviByteSource {
 public:
  TMemorySource(const void* Data, size_t Size) : data_(static_cast<const uint8_t*>(Data)), size_(Data ? Size : 0) {}
  int64_t Size() const override { return static_cast<int64_t>(size_); }
  bool ReadAt(int64_t Offset, void* Buffer, size_t Count) override {
    if (Offset < 0 || static_cast<uint64_t>(Offset) > size_ || Count > size_ - static_cast<size_t>(Offset)) return false;
    if (Count) std::memcpy(Buffer, data_ + Offset, Count);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace

std::unique_ptr<TAviByteSource> OpenAviFileSource(const std::string& FileName, std::string& Error) {
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Error = std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Error = "not a file";
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<TFileSource>(fd, static_cast<int64_t>(st.st_size));
}

std::unique_ptr<TAviByteSource> AviMemorySource(const void* Data, size_t Size) {
  return std::make_unique<TMemorySource>(Data, Size);
}

// ------------------------------------------------------------------------------- stream samples

int64_t TAviStreamData::SampleCount() const {
  return OneSamplePerChunk() ? static_cast<int64_t>(Chunks.size()) : SampleStarts.back();
}

int64_t TAviStreamData::ChunkOfSample(int64_t N) const {
  if (N < 0 || N >= SampleCount()) return -1;
  if (OneSamplePerChunk()) return N;
  // The last chunk whose first sample is at or before N (empty chunks hold none).
  const auto it = std::upper_bound(SampleStarts.begin(), SampleStarts.end() - 1, N);
  return static_cast<int64_t>(it - SampleStarts.begin()) - 1;
}

// ------------------------------------------------------------------------------------ structure

bool TAviReader::ReadAt(int64_t Offset, void* Buffer, size_t Count) const {
  return source_ && source_->ReadAt(Offset, Buffer, Count);
}

bool TAviReader::ChunkAt(int64_t Offset, int64_t End, TChunkHeader& Chunk) const {
  if (Offset < 0 || Offset + 8 > End || walkBudget_ <= 0) return false;
  uint8_t h[8];
  if (!ReadAt(Offset, h, 8)) return false;
  Chunk.Id = U32(h);
  Chunk.Size = U32(h + 4);
  Chunk.Offset = Offset;
  // A chunk reaching past its container keeps what is there.
  Chunk.DataEnd = std::min<int64_t>(Offset + 8 + Chunk.Size, End);
  Chunk.Next = Offset + 8 + static_cast<int64_t>(Chunk.Size) + (Chunk.Size & 1);
  const_cast<TAviReader*>(this)->walkBudget_--;
  return true;
}

bool TAviReader::ReadBlock(int64_t Offset, int64_t End, std::vector<uint8_t>& Out) const {
  if (End < Offset) return false;
  Out.resize(static_cast<size_t>(End - Offset));
  return Out.empty() || ReadAt(Offset, Out.data(), Out.size());
}

bool TAviReader::ReadChunk(const TAviChunkRef& Chunk, std::vector<uint8_t>& Out) const {
  Out.resize(Chunk.Size);
  return Chunk.Size == 0 || ReadAt(Chunk.Offset, Out.data(), Chunk.Size);
}

int TAviReader::StreamOfId(uint32_t Id) const {
  const int d0 = static_cast<int>(Id & 0xFF) - '0', d1 = static_cast<int>((Id >> 8) & 0xFF) - '0';
  if (d0 < 0 || d0 > 9 || d1 < 0 || d1 > 9) return -1;
  const int n = d0 * 10 + d1;
  return n < static_cast<int>(streams_.size()) ? n : -1;
}

void TAviReader::AddChunk(size_t Stream, const TAviChunkRef& Chunk) {
  if (chunkBudget_ <= 0) return;
  --chunkBudget_;
  TAviChunkRef c = Chunk;
  // Data past the end of the file is not there.
  if (c.Offset < 0 || c.Offset > size_) return;
  c.Size = static_cast<uint32_t>(std::min<int64_t>(c.Size, size_ - c.Offset));
  streams_[Stream].Chunks.push_back(c);
}

void TAviReader::AddPaletteChange(size_t Stream, int64_t Offset, uint32_t Size) {
  TAviStreamData& s = streams_[Stream];
  if (s.Info.fccType != streamtypeVIDEO || Size < 4 || Size > 4 + 256 * 4 || Offset + Size > size_) return;
  TAviPaletteChange change;
  change.Frame = static_cast<int64_t>(s.Chunks.size());
  if (!scanFrames_.empty()) change.Frame = scanFrames_[Stream];
  change.Record.resize(Size);
  if (!ReadAt(Offset, change.Record.data(), Size)) return;
  s.PaletteChanges.push_back(std::move(change));
}

HRESULT TAviReader::Open(std::unique_ptr<TAviByteSource> Source) {
  source_ = std::move(Source);
  streams_.clear();
  if (!source_) return AVIERR_FILEREAD;
  size_ = source_->Size();
  // Every chunk takes at least its header, so a file holds at most size / 8 of them; a walk visits
  // each header once per list it belongs to.
  chunkBudget_ = size_ / 8 + 16;
  walkBudget_ = size_ / 4 + 64;
  uint8_t head[12];
  if (!ReadAt(0, head, 12) || U32(head) != kRIFF) return AVIERR_BADFORMAT;
  if (U32(head + 8) == kWAVE) return OpenWave();
  if (U32(head + 8) != kAVI) return AVIERR_BADFORMAT;

  // The parts: RIFF 'AVI ' then any number of RIFF 'AVIX'.
  std::vector<std::pair<int64_t, int64_t>> movis;  // the 'movi' tag and the end of the list
  int64_t idx1Begin = -1, idx1End = -1;
  bool extended = false;
  int64_t riff = 0;
  for (int part = 0; riff + 12 <= size_; ++part) {
    TChunkHeader r;
    uint8_t form[4];
    if (!ChunkAt(riff, size_, r) || r.Id != kRIFF || !ReadAt(riff + 8, form, 4)) break;
    const uint32_t type = U32(form);
    if (part == 0 ? type != kAVI : type != kAVIX) break;
    if (part > 0) extended = true;
    for (int64_t pos = riff + 12; pos < r.DataEnd;) {
      TChunkHeader c;
      if (!ChunkAt(pos, r.DataEnd, c)) break;
      if (c.Id == kLIST && c.DataEnd >= c.Offset + 12) {
        uint8_t t[4];
        if (!ReadAt(c.Offset + 8, t, 4)) break;
        const uint32_t listType = U32(t);
        if (listType == kHdrl && part == 0 && streams_.empty()) ParseHeaderList(c.Offset + 12, c.DataEnd);
        if (listType == kMovi) movis.push_back({c.Offset + 8, c.DataEnd});
      } else if (c.Id == kIdx1 && part == 0) {
        idx1Begin = c.Offset + 8;
        idx1End = c.DataEnd;
      }
      if (c.Next <= pos) break;
      pos = c.Next;
    }
    if (r.Next <= riff) break;
    riff = r.Next;
  }
  if (streams_.empty()) return AVIERR_BADFORMAT;

  // OpenDML indexes when every stream has one; else 'idx1' for the first part; else the lists.
  bool openDml = true;
  for (size_t i = 0; i < streams_.size(); ++i) openDml = openDml && indexes_[i].second > 0;
  if (openDml) {
    for (size_t i = 0; i < streams_.size(); ++i) ReadOpenDmlIndex(i, indexes_[i].first, indexes_[i].second, 0);
    size_t indexed = 0;
    for (const auto& s : streams_) indexed += s.Chunks.size();
    if (indexed == 0) openDml = false;
    // Palette changes are not in these indexes: the lists give them.
    bool palettes = false;
    for (const auto& s : streams_) {
      if (s.Info.fccType == streamtypeVIDEO && s.Format.size() >= 40 && U16(s.Format.data() + 14) <= 8) palettes = true;
    }
    if (openDml && palettes) {
      scanFrames_.assign(streams_.size(), 0);
      for (const auto& [begin, end] : movis) ScanMovi(begin + 4, end, true, 0);
      scanFrames_.clear();
    }
  }
  if (!openDml) {
    for (auto& s : streams_) {
      s.Chunks.clear();
      s.PaletteChanges.clear();
    }
    size_t first = 0;
    if (idx1Begin >= 0 && !movis.empty()) {
      ReadIdx1(idx1Begin, idx1End, movis.front().first);
      size_t indexed = 0;
      for (const auto& s : streams_) indexed += s.Chunks.size();
      if (indexed > 0) first = 1;
    }
    // The parts the index leaves out (all of them without one) are walked.
    (void)extended;
    for (size_t m = first; m < movis.size(); ++m) ScanMovi(movis[m].first + 4, movis[m].second, false, 0);
  }
  Finish();
  return AVIERR_OK;
}

void TAviReader::ParseHeaderList(int64_t Begin, int64_t End) {
  for (int64_t pos = Begin; pos < End;) {
    TChunkHeader c;
    if (!ChunkAt(pos, End, c)) break;
    if (c.Id == kAvih) {
      uint8_t h[56] = {};
      const int64_t n = std::min<int64_t>(56, c.DataEnd - c.Offset - 8);
      if (n > 0 && ReadAt(c.Offset + 8, h, static_cast<size_t>(n))) {
        main_.MicroSecPerFrame = U32(h);
        main_.Flags = U32(h + 12);
        main_.TotalFrames = U32(h + 16);
        main_.Width = U32(h + 32);
        main_.Height = U32(h + 36);
      }
    } else if (c.Id == kLIST && c.DataEnd >= c.Offset + 12) {
      uint8_t t[4];
      if (!ReadAt(c.Offset + 8, t, 4)) break;
      if (U32(t) == kStrl && streams_.size() < kMaxStreams) ParseStreamList(c.Offset + 12, c.DataEnd);
      if (U32(t) == kOdml) {
        for (int64_t p = c.Offset + 12; p < c.DataEnd;) {
          TChunkHeader d;
          if (!ChunkAt(p, c.DataEnd, d)) break;
          uint8_t v[4];
          if (d.Id == kDmlh && d.DataEnd - d.Offset >= 12 && ReadAt(d.Offset + 8, v, 4)) main_.TotalFrames = U32(v);
          if (d.Next <= p) break;
          p = d.Next;
        }
      }
    }
    if (c.Next <= pos) break;
    pos = c.Next;
  }
}

void TAviReader::ParseStreamList(int64_t Begin, int64_t End) {
  TAviStreamData s;
  bool header = false;
  std::pair<int64_t, int64_t> index{0, 0};
  for (int64_t pos = Begin; pos < End;) {
    TChunkHeader c;
    if (!ChunkAt(pos, End, c)) break;
    const int64_t data = c.Offset + 8, n = c.DataEnd - data;
    if (c.Id == kStrh && n >= 48) {
      uint8_t h[56] = {};
      if (!ReadAt(data, h, static_cast<size_t>(std::min<int64_t>(n, 56)))) break;
      AVISTREAMINFOW& i = s.Info;
      i.fccType = U32(h);
      i.fccHandler = U32(h + 4);
      i.dwFlags = U32(h + 8);
      i.wPriority = U16(h + 12);
      i.wLanguage = U16(h + 14);
      i.dwInitialFrames = U32(h + 16);
      i.dwScale = U32(h + 20);
      i.dwRate = U32(h + 24);
      i.dwStart = U32(h + 28);
      s.StoredLength = U32(h + 32);
      i.dwSuggestedBufferSize = U32(h + 36);
      i.dwQuality = static_cast<int32_t>(U32(h + 40));
      i.dwSampleSize = U32(h + 44);
      if (n >= 56) {
        i.rcFrame = TRect{static_cast<int16_t>(U16(h + 48)), static_cast<int16_t>(U16(h + 50)),
                          static_cast<int16_t>(U16(h + 52)), static_cast<int16_t>(U16(h + 54))};
      }
      header = true;
    } else if (c.Id == kStrf) {
      if (!ReadBlock(data, c.DataEnd, s.Format)) break;
    } else if (c.Id == kStrd) {
      if (!ReadBlock(data, c.DataEnd, s.HandlerData)) break;
    } else if (c.Id == kStrn) {
      std::vector<uint8_t> name;
      if (ReadBlock(data, std::min<int64_t>(c.DataEnd, data + 256), name)) {
        SetStreamInfoName(s.Info, std::string(name.begin(), std::find(name.begin(), name.end(), 0)));
      }
    } else if (c.Id == kIndx && n >= 24) {
      index = {data, c.DataEnd};
    }
    if (c.Next <= pos) break;
    pos = c.Next;
  }
  // A list without a stream header still takes its number, so that later streams keep theirs.
  if (!header) s.Info.fccType = 0;
  streams_.push_back(std::move(s));
  indexes_.push_back(index);
}

void TAviReader::ReadOpenDmlIndex(size_t Stream, int64_t Begin, int64_t End, int Depth) {
  uint8_t h[24];
  if (End - Begin < 24 || !ReadAt(Begin, h, 24)) return;
  const uint32_t longs = U16(h);
  const uint8_t type = h[3];
  const int64_t entries = U32(h + 4);
  if (type == 0x00 && Depth == 0) {
    // An index of indexes: each entry names an 'ix##' chunk.
    if (longs < 4) return;
    const int64_t stride = 4 * longs, room = (End - Begin - 24) / stride;
    for (int64_t k = 0; k < std::min(entries, room); ++k) {
      uint8_t e[16];
      if (!ReadAt(Begin + 24 + k * stride, e, 16)) return;
      const uint64_t offset = U64(e);
      TChunkHeader ix;
      if (offset > static_cast<uint64_t>(size_) || !ChunkAt(static_cast<int64_t>(offset), size_, ix)) continue;
      ReadOpenDmlIndex(Stream, ix.Offset + 8, ix.DataEnd, 1);
    }
  } else if (type == 0x01) {
    // An index of chunks: a base offset, then offset and size (the top bit of the size set for a
    // frame that is not a key frame).
    if (longs < 2 || End - Begin < 24) return;
    uint8_t b[8];
    if (!ReadAt(Begin + 12, b, 8)) return;
    const uint64_t base = U64(b);
    const int64_t stride = 4 * longs, room = (End - Begin - 24) / stride;
    const int64_t count = std::min(entries, room);
    std::vector<uint8_t> table(static_cast<size_t>(count * stride));
    if (!table.empty() && !ReadAt(Begin + 24, table.data(), table.size())) return;
    for (int64_t k = 0; k < count; ++k) {
      const uint8_t* e = table.data() + k * stride;
      const uint64_t offset = base + U32(e);
      const uint32_t size = U32(e + 4);
      if (offset > static_cast<uint64_t>(size_)) continue;
      AddChunk(Stream, {static_cast<int64_t>(offset), size & 0x7FFFFFFFu, (size & 0x80000000u) == 0});
    }
  }
}

void TAviReader::ReadIdx1(int64_t Begin, int64_t End, int64_t MoviTag) {
  const int64_t count = (End - Begin) / 16;
  if (count <= 0) return;
  std::vector<uint8_t> table(static_cast<size_t>(count * 16));
  if (!ReadAt(Begin, table.data(), table.size())) return;
  // Offsets count from the 'movi' tag, or (in some writers' files) from the start of the file: the
  // first data entry tells which.
  int64_t base = MoviTag;
  for (int64_t k = 0; k < count; ++k) {
    const uint8_t* e = table.data() + k * 16;
    if (U32(e) == kRec || U32(e + 4) & AVIIF_LIST) continue;
    uint8_t id[4];
    const int64_t off = U32(e + 8);
    if (!(ReadAt(MoviTag + off, id, 4) && U32(id) == U32(e)) && ReadAt(off, id, 4) && U32(id) == U32(e)) base = 0;
    break;
  }
  for (int64_t k = 0; k < count; ++k) {
    const uint8_t* e = table.data() + k * 16;
    const uint32_t id = U32(e), flags = U32(e + 4), size = U32(e + 12);
    const int stream = StreamOfId(id);
    if (stream < 0 || (flags & AVIIF_LIST)) continue;
    const int64_t data = base + static_cast<int64_t>(U32(e + 8)) + 8;
    if ((id >> 16) == ('p' | 'c' << 8)) {
      AddPaletteChange(static_cast<size_t>(stream), data, size);
    } else {
      AddChunk(static_cast<size_t>(stream), {data, size, (flags & AVIIF_KEYFRAME) != 0});
    }
  }
}

void TAviReader::ScanMovi(int64_t Begin, int64_t End, bool PalettesOnly, int Depth) {
  for (int64_t pos = Begin; pos < End;) {
    TChunkHeader c;
    if (!ChunkAt(pos, End, c)) break;
    if (c.Id == kLIST) {
      uint8_t t[4];
      if (Depth < 2 && c.DataEnd >= c.Offset + 12 && ReadAt(c.Offset + 8, t, 4) && U32(t) == kRec) {
        ScanMovi(c.Offset + 12, c.DataEnd, PalettesOnly, Depth + 1);
      }
    } else {
      const int stream = StreamOfId(c.Id);
      if (stream >= 0) {
        const uint32_t size = static_cast<uint32_t>(c.DataEnd - c.Offset - 8);
        if ((c.Id >> 16) == ('p' | 'c' << 8)) {
          AddPaletteChange(static_cast<size_t>(stream), c.Offset + 8, size);
        } else if (PalettesOnly) {
          scanFrames_[static_cast<size_t>(stream)]++;
        } else {
          // Without an index every chunk may be started at; the frame reader finds out otherwise.
          AddChunk(static_cast<size_t>(stream), {c.Offset + 8, size, true});
        }
      }
    }
    if (c.Next <= pos) break;
    pos = c.Next;
  }
}

void TAviReader::Finish() {
  for (TAviStreamData& s : streams_) {
    if (s.Info.fccType == streamtypeVIDEO && s.Format.size() >= 40) {
      // An uncompressed stream's palette change takes effect at the frame that follows it.
      std::stable_sort(s.PaletteChanges.begin(), s.PaletteChanges.end(),
                       [](const TAviPaletteChange& a, const TAviPaletteChange& b) { return a.Frame < b.Frame; });
    } else {
      s.PaletteChanges.clear();
    }
    if (s.Info.dwSampleSize > 0 && s.Info.fccType != streamtypeVIDEO) {
      s.SampleStarts.resize(s.Chunks.size() + 1);
      int64_t n = 0;
      for (size_t i = 0; i < s.Chunks.size(); ++i) {
        s.SampleStarts[i] = n;
        n += s.Chunks[i].Size / s.Info.dwSampleSize;
      }
      s.SampleStarts.back() = n;
    }
    s.Info.dwLength = static_cast<uint32_t>(std::min<int64_t>(s.SampleCount(), UINT32_MAX));
  }
}

// ------------------------------------------------------------------------------------------ WAVE

HRESULT TAviReader::OpenWave() {
  wave_ = true;
  const int64_t end = size_;
  std::vector<uint8_t> format;
  int64_t dataBegin = -1, dataEnd = -1;
  for (int64_t pos = 12; pos < end;) {
    TChunkHeader c;
    if (!ChunkAt(pos, end, c)) break;
    if (c.Id == kFmt && format.empty()) {
      if (!ReadBlock(c.Offset + 8, std::min<int64_t>(c.DataEnd, c.Offset + 8 + 65536), format)) break;
    } else if (c.Id == kData && dataBegin < 0) {
      // A data chunk larger than the file holds what the file holds.
      dataBegin = c.Offset + 8;
      dataEnd = c.DataEnd;
    }
    if (c.Next <= pos) break;
    pos = c.Next;
  }
  if (format.size() < 14 || dataBegin < 0) return AVIERR_BADFORMAT;
  const uint16_t blockAlign = U16(format.data() + 12);
  const uint32_t bytesPerSecond = U32(format.data() + 8);
  if (blockAlign == 0 || bytesPerSecond == 0) return AVIERR_BADFORMAT;
  TAviStreamData s;
  s.Info.fccType = streamtypeAUDIO;
  s.Info.dwScale = blockAlign;
  s.Info.dwRate = bytesPerSecond;
  s.Info.dwSampleSize = blockAlign;
  s.Info.dwQuality = -1;
  s.Format = std::move(format);
  const int64_t bytes = (dataEnd - dataBegin) / blockAlign * blockAlign;
  // One chunk per at most 2 GiB of data.
  for (int64_t off = 0; off < bytes;) {
    const int64_t n = std::min<int64_t>(bytes - off, int64_t{1} << 30);
    s.Chunks.push_back({dataBegin + off, static_cast<uint32_t>(n), true});
    off += n;
  }
  s.StoredLength = static_cast<uint32_t>(std::min<int64_t>(bytes / blockAlign, UINT32_MAX));
  s.Info.dwSuggestedBufferSize = static_cast<uint32_t>(std::min<int64_t>(bytes, UINT32_MAX));
  streams_.push_back(std::move(s));
  indexes_.push_back({0, 0});
  Finish();
  return AVIERR_OK;
}
