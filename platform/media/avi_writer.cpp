#include "platform/media/avi_writer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/system/debug_log.h"
#include "platform/system/streams.h"

namespace {

std::atomic<int64_t> g_riffLimit{int64_t{1} << 30};

constexpr uint32_t kRIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr uint32_t kLIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr uint32_t kJUNK = mmioFOURCC('J', 'U', 'N', 'K');

// Parts an 'indx' can point to: with 1 GiB parts, 256 GiB.
constexpr int kSuperEntries = 256;
// Room beyond the headers of the streams at the first sample, for streams created later.
constexpr int64_t kSpareHeaderRoom = 12 * 1024;
constexpr uint32_t AVIF_HASINDEX = 0x10, AVIF_ISINTERLEAVED = 0x100, AVIF_TRUSTCKTYPE = 0x800;
constexpr uint32_t AVISF_VIDEO_PALCHANGES = 0x10000;

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put64(std::vector<uint8_t>& b, uint64_t v) {
  Put32(b, static_cast<uint32_t>(v));
  Put32(b, static_cast<uint32_t>(v >> 32));
}
void PutBytes(std::vector<uint8_t>& b, const void* p, size_t n) {
  const auto* q = static_cast<const uint8_t*>(p);
  b.insert(b.end(), q, q + n);
}
// A chunk with its data and pad byte.
void PutChunk(std::vector<uint8_t>& b, uint32_t id, const std::vector<uint8_t>& data) {
  Put32(b, id);
  Put32(b, static_cast<uint32_t>(data.size()));
  PutBytes(b, data.data(), data.size());
  if (data.size() & 1) b.push_back(0);
}
void PutList(std::vector<uint8_t>& b, uint32_t type, const std::vector<uint8_t>& content) {
  Put32(b, kLIST);
  Put32(b, static_cast<uint32_t>(content.size() + 4));
  Put32(b, type);
  PutBytes(b, content.data(), content.size());
}

bool IsUncompressedVideo(const std::vector<uint8_t>& f) {
  if (f.size() < 40) return false;
  uint32_t compression;
  std::memcpy(&compression, f.data() + 16, 4);
  return compression == BI_RGB || compression == BI_BITFIELDS;
}

uint16_t BitCount(const std::vector<uint8_t>& f) {
  uint16_t b = 0;
  if (f.size() >= 40) std::memcpy(&b, f.data() + 14, 2);
  return b;
}

}  // namespace

int64_t AviRiffLimit() { return g_riffLimit.load(); }
void SetAviRiffLimit(int64_t Bytes) { g_riffLimit = std::max<int64_t>(Bytes, 4096); }

TAviFileWriter::TAviFileWriter() = default;

TAviFileWriter::~TAviFileWriter() {
  if (file_) Close(false);
}

HRESULT TAviFileWriter::Create(const std::string& FileName) {
  try {
    file_ = std::make_unique<TSafeFileStream>(FileName, false);
  } catch (const std::exception& e) {
    OutputDebugString(std::string("AVI file: ") + e.what());
    return AVIERR_FILEOPEN;
  }
  streams_.clear();
  failure_ = AVIERR_OK;
  dataBegun_ = false;
  pos_ = 0;
  part_ = -1;
  idx1_.clear();
  return AVIERR_OK;
}

HRESULT TAviFileWriter::CreateStream(const AVISTREAMINFOW& Info, int32_t& Index) {
  if (!file_) return AVIERR_BADHANDLE;
  if (streams_.size() >= 99) return AVIERR_UNSUPPORTED;
  TStream s;
  s.Info = Info;
  s.Info.dwLength = 0;
  s.Info.dwEditCount = 0;
  s.Info.dwFormatChangeCount = 0;
  streams_.push_back(std::move(s));
  if (dataBegun_ && static_cast<int64_t>(HeaderList().size()) + 8 > reserved_) {
    streams_.pop_back();
    return AVIERR_UNSUPPORTED;
  }
  Index = static_cast<int32_t>(streams_.size()) - 1;
  return AVIERR_OK;
}

AVISTREAMINFOW TAviFileWriter::Info(int32_t Stream) const {
  if (Stream < 0 || Stream >= StreamCount()) return {};
  AVISTREAMINFOW i = streams_[Stream].Info;
  i.dwLength = static_cast<uint32_t>(std::min<int64_t>(streams_[Stream].Samples, UINT32_MAX));
  i.dwSuggestedBufferSize = std::max(i.dwSuggestedBufferSize, streams_[Stream].MaxChunk);
  i.dwFormatChangeCount = streams_[Stream].FormatChanges;
  return i;
}

void TAviFileWriter::SetHandler(int32_t Stream, FOURCC Handler) {
  if (Stream >= 0 && Stream < StreamCount()) streams_[Stream].Info.fccHandler = Handler;
}

int64_t TAviFileWriter::Length(int32_t Stream) const {
  return Stream >= 0 && Stream < StreamCount() ? streams_[Stream].Samples : 0;
}

const std::vector<uint8_t>& TAviFileWriter::Format(int32_t Stream) const {
  static const std::vector<uint8_t> none;
  return Stream >= 0 && Stream < StreamCount() ? streams_[Stream].Current : none;
}

HRESULT TAviFileWriter::SetFormat(int32_t Stream, int64_t Position, const void* Format, int32_t Size) {
  (void)Position;
  if (!file_ || Stream < 0 || Stream >= StreamCount()) return AVIERR_BADHANDLE;
  if (!Format || Size <= 0 || Size > (1 << 20)) return AVIERR_BADPARAM;
  TStream& s = streams_[Stream];
  const auto* f = static_cast<const uint8_t*>(Format);
  std::vector<uint8_t> format(f, f + Size);
  if (!s.Started) {
    const std::vector<uint8_t> old = s.Format;
    s.Format = format;
    if (dataBegun_ && static_cast<int64_t>(HeaderList().size()) + 8 > reserved_) {
      s.Format = old;
      return AVIERR_UNSUPPORTED;
    }
    s.Current = std::move(format);
    return AVIERR_OK;
  }
  if (format == s.Current) return AVIERR_OK;
  // Past the first sample only a palette may change: same header, same palette size.
  const uint16_t bits = BitCount(s.Current);
  if (s.Info.fccType != streamtypeVIDEO || bits == 0 || bits > 8 || format.size() != s.Current.size() ||
      s.Current.size() < 40 || std::memcmp(format.data(), s.Current.data(), 40) != 0) {
    return AVIERR_UNSUPPORTED;
  }
  uint32_t headerSize;
  std::memcpy(&headerSize, s.Current.data(), 4);
  const size_t table = std::min<size_t>(headerSize, s.Current.size());
  const size_t entries = std::min<size_t>((s.Current.size() - table) / 4, 256);
  size_t first = entries, last = 0;
  for (size_t i = 0; i < entries; ++i) {
    if (std::memcmp(format.data() + table + 4 * i, s.Current.data() + table + 4 * i, 4) != 0) {
      first = std::min(first, i);
      last = i;
    }
  }
  if (first == entries) return AVIERR_OK;
  const size_t count = last - first + 1;
  std::vector<uint8_t> record;
  record.push_back(static_cast<uint8_t>(first));
  record.push_back(static_cast<uint8_t>(count == 256 ? 0 : count));
  Put16(record, 0);
  for (size_t i = first; i <= last; ++i) {
    const uint8_t* q = format.data() + table + 4 * i;  // blue, green, red, reserved
    record.push_back(q[2]);
    record.push_back(q[1]);
    record.push_back(q[0]);
    record.push_back(0);
  }
  const HRESULT r = WriteChunk(Stream, ChunkId(Stream, true), record.data(), static_cast<uint32_t>(record.size()), false, false);
  if (r != AVIERR_OK) return r;
  s.Current = std::move(format);
  s.FormatChanges++;
  s.Info.dwFlags |= AVISF_VIDEO_PALCHANGES;
  return AVIERR_OK;
}

uint32_t TAviFileWriter::ChunkId(int32_t Stream, bool PaletteChange) const {
  const char d0 = static_cast<char>('0' + Stream / 10), d1 = static_cast<char>('0' + Stream % 10);
  const TStream& s = streams_[Stream];
  if (PaletteChange) return mmioFOURCC(d0, d1, 'p', 'c');
  if (s.Info.fccType == streamtypeVIDEO) return IsUncompressedVideo(s.Format) ? mmioFOURCC(d0, d1, 'd', 'b') : mmioFOURCC(d0, d1, 'd', 'c');
  if (s.Info.fccType == streamtypeAUDIO) return mmioFOURCC(d0, d1, 'w', 'b');
  if (s.Info.fccType == streamtypeTEXT) return mmioFOURCC(d0, d1, 't', 'x');
  return mmioFOURCC(d0, d1, 'd', 'c');
}

HRESULT TAviFileWriter::Write(int32_t Stream, int64_t Start, int32_t Samples, const void* Data, int32_t Size,
                              uint32_t Flags, int32_t* SamplesWritten, int32_t* BytesWritten) {
  if (SamplesWritten) *SamplesWritten = 0;
  if (BytesWritten) *BytesWritten = 0;
  if (!file_ || Stream < 0 || Stream >= StreamCount()) return AVIERR_BADHANDLE;
  if (failure_ != AVIERR_OK) return failure_;
  if (Size < 0 || Samples < 0 || (Size > 0 && !Data)) return AVIERR_BADPARAM;
  TStream& s = streams_[Stream];
  if (s.Format.empty()) return AVIERR_BADFORMAT;
  if (Start < 0) Start = s.Samples;
  if (Start < s.Samples) return AVIERR_UNSUPPORTED;  // nothing written is overwritten
  const bool perChunk = s.Info.fccType == streamtypeVIDEO || s.Info.dwSampleSize == 0;
  if (Start > s.Samples) {
    if (!perChunk) return AVIERR_UNSUPPORTED;
    // Dropped frames up to the position.
    while (s.Samples < Start) {
      const HRESULT r = WriteChunk(Stream, ChunkId(Stream, false), nullptr, 0, false, true);
      if (r != AVIERR_OK) return r;
      s.Samples++;
    }
  }
  int64_t samples;
  if (perChunk) {
    samples = std::max(Samples, 1);
  } else {
    samples = Size / static_cast<int64_t>(s.Info.dwSampleSize);
    if (samples * s.Info.dwSampleSize != Size) return AVIERR_BADSIZE;
  }
  s.Started = true;
  const HRESULT r = WriteChunk(Stream, ChunkId(Stream, false), Data, static_cast<uint32_t>(Size),
                               (Flags & AVIIF_KEYFRAME) != 0 || s.Info.fccType != streamtypeVIDEO, true);
  if (r != AVIERR_OK) return r;
  s.Samples += samples;
  if (SamplesWritten) *SamplesWritten = static_cast<int32_t>(samples);
  if (BytesWritten) *BytesWritten = Size;
  return AVIERR_OK;
}

// ------------------------------------------------------------------------------------- the bytes

void TAviFileWriter::WriteBytes(const void* Data, size_t Size) {
  const auto* p = static_cast<const uint8_t*>(Data);
  while (Size > 0) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(Size, size_t{1} << 30));
    if (file_->Write(p, n) != n) throw EWriteError("Stream write error");
    p += n;
    Size -= static_cast<size_t>(n);
    pos_ += n;
  }
}

void TAviFileWriter::WriteAt(int64_t Offset, const void* Data, size_t Size) {
  const int64_t keep = pos_;
  file_->Seek(Offset, soBeginning);
  pos_ = Offset;
  WriteBytes(Data, Size);
  file_->Seek(keep, soBeginning);
  pos_ = keep;
}

HRESULT TAviFileWriter::BeginData() {
  if (dataBegun_) return AVIERR_OK;
  // Room for the header list as it stands, a margin for streams made later, and a JUNK header.
  reserved_ = static_cast<int64_t>(HeaderList().size()) + kSpareHeaderRoom + 8;
  reserved_ = (reserved_ + 12 + 2047) / 2048 * 2048 - 12;  // the 'movi' list starts on 2 KiB
  try {
    std::vector<uint8_t> head;
    Put32(head, kRIFF);
    Put32(head, 0);
    Put32(head, mmioFOURCC('A', 'V', 'I', ' '));
    head.resize(static_cast<size_t>(12 + reserved_), 0);
    WriteBytes(head.data(), head.size());
  } catch (const std::exception&) {
    failure_ = AVIERR_FILEWRITE;
    return failure_;
  }
  dataBegun_ = true;
  riffStart_ = 0;
  part_ = 0;
  return BeginPart();
}

HRESULT TAviFileWriter::BeginPart() {
  try {
    std::vector<uint8_t> head;
    if (part_ > 0) {
      riffStart_ = pos_;
      Put32(head, kRIFF);
      Put32(head, 0);
      Put32(head, mmioFOURCC('A', 'V', 'I', 'X'));
    }
    moviStart_ = pos_ + static_cast<int64_t>(head.size());
    Put32(head, kLIST);
    Put32(head, 0);
    Put32(head, mmioFOURCC('m', 'o', 'v', 'i'));
    WriteBytes(head.data(), head.size());
  } catch (const std::exception&) {
    failure_ = AVIERR_FILEWRITE;
  }
  return failure_;
}

int64_t TAviFileWriter::PartIndexBytes(int32_t ExtraStream) const {
  int64_t n = 0, idx1 = 0;
  for (int32_t i = 0; i < StreamCount(); ++i) {
    const int64_t entries = static_cast<int64_t>(streams_[i].Part.size()) + (i == ExtraStream ? 1 : 0);
    if (entries > 0) n += 8 + 24 + 8 + 8 * entries;
    idx1 += static_cast<int64_t>(streams_[i].Part.size());
  }
  if (part_ == 0) n += 8 + 16 * (idx1 + 1);
  return n;
}

HRESULT TAviFileWriter::WriteChunk(int32_t Stream, uint32_t Id, const void* Data, uint32_t Size, bool Key,
                                   bool Counted) {
  if (BeginData() != AVIERR_OK) return failure_;
  try {
    // A part that would pass the limit ends first (a part holds at least one chunk).
    const int64_t need = 8 + static_cast<int64_t>(Size) + (Size & 1);
    bool partHasChunks = false;
    for (const TStream& s : streams_) partHasChunks = partHasChunks || !s.Part.empty();
    if (partHasChunks && pos_ - riffStart_ + need + PartIndexBytes(Stream) > AviRiffLimit()) {
      if (EndPart() != AVIERR_OK) return failure_;
      ++part_;
      if (BeginPart() != AVIERR_OK) return failure_;
    }
    if (pos_ - riffStart_ + need > int64_t{0xFFFFFFF0}) {
      failure_ = AVIERR_FILEWRITE;  // a chunk a RIFF part cannot hold
      return failure_;
    }
    const int64_t at = pos_;
    uint8_t h[8];
    std::memcpy(h, &Id, 4);
    std::memcpy(h + 4, &Size, 4);
    WriteBytes(h, 8);
    if (Size) WriteBytes(Data, Size);
    if (Size & 1) {
      const uint8_t pad = 0;
      WriteBytes(&pad, 1);
    }
    TStream& s = streams_[Stream];
    const TEntry entry{at, Size, Id, Key};
    if (part_ == 0) idx1_.push_back(entry);
    if (Counted) {
      s.Part.push_back(entry);
      s.Chunks++;
      s.MaxChunk = std::max(s.MaxChunk, Size);
    }
  } catch (const std::exception& e) {
    OutputDebugString(std::string("AVI file: ") + e.what());
    failure_ = AVIERR_FILEWRITE;
  }
  return failure_;
}

HRESULT TAviFileWriter::EndPart() {
  try {
    // The part's standard indexes, inside its 'movi' list.
    for (int32_t i = 0; i < StreamCount(); ++i) {
      TStream& s = streams_[i];
      if (s.Part.empty()) continue;
      if (static_cast<int>(s.Super.size()) >= kSuperEntries) {
        failure_ = AVIERR_FILEWRITE;
        return failure_;
      }
      std::vector<uint8_t> ix;
      Put16(ix, 2);                 // longs per entry
      ix.push_back(0);              // sub-type
      ix.push_back(1);              // an index of chunks
      Put32(ix, static_cast<uint32_t>(s.Part.size()));
      Put32(ix, s.Part.front().Id);
      Put64(ix, static_cast<uint64_t>(riffStart_));  // base offset
      Put32(ix, 0);
      int64_t duration = 0;
      for (const TEntry& e : s.Part) {
        Put32(ix, static_cast<uint32_t>(e.Offset + 8 - riffStart_));
        Put32(ix, e.Size | (e.Key ? 0u : 0x80000000u));
      }
      const bool perChunk = s.Info.fccType == streamtypeVIDEO || s.Info.dwSampleSize == 0;
      for (const TEntry& e : s.Part) duration += perChunk ? 1 : e.Size / s.Info.dwSampleSize;
      const int64_t at = pos_;
      std::vector<uint8_t> chunk;
      PutChunk(chunk, mmioFOURCC('i', 'x', static_cast<char>('0' + i / 10), static_cast<char>('0' + i % 10)), ix);
      WriteBytes(chunk.data(), chunk.size());
      s.Super.push_back({at, static_cast<uint32_t>(chunk.size()), static_cast<uint32_t>(duration)});
      s.Part.clear();
    }
    // The 'movi' list's size, then the first part's 'idx1'.
    const uint32_t moviSize = static_cast<uint32_t>(pos_ - moviStart_ - 8);
    WriteAt(moviStart_ + 4, &moviSize, 4);
    if (part_ == 0) {
      for (const TStream& s : streams_) {
        if (s.Info.fccType == streamtypeVIDEO) {
          firstPartFrames_ = static_cast<uint32_t>(std::min<int64_t>(s.Samples, UINT32_MAX));
          break;
        }
      }
      std::vector<uint8_t> idx;
      idx.reserve(idx1_.size() * 16);
      for (const TEntry& e : idx1_) {
        Put32(idx, e.Id);
        Put32(idx, e.Key ? AVIIF_KEYFRAME : 0);
        Put32(idx, static_cast<uint32_t>(e.Offset - (moviStart_ + 8)));
        Put32(idx, e.Size);
      }
      std::vector<uint8_t> chunk;
      PutChunk(chunk, mmioFOURCC('i', 'd', 'x', '1'), idx);
      WriteBytes(chunk.data(), chunk.size());
      idx1_.clear();
      idx1_.shrink_to_fit();
    }
    const uint32_t riffSize = static_cast<uint32_t>(pos_ - riffStart_ - 8);
    WriteAt(riffStart_ + 4, &riffSize, 4);
  } catch (const std::exception& e) {
    OutputDebugString(std::string("AVI file: ") + e.what());
    failure_ = AVIERR_FILEWRITE;
  }
  return failure_;
}

std::vector<uint8_t> TAviFileWriter::HeaderList() const {
  std::vector<uint8_t> hdrl;
  // The main header from the first video stream.
  const TStream* video = nullptr;
  int64_t totalFrames = 0;
  uint32_t maxChunk = 0;
  for (const TStream& s : streams_) {
    if (s.Info.fccType == streamtypeVIDEO && !video) video = &s;
    maxChunk = std::max(maxChunk, s.MaxChunk);
  }
  if (video) totalFrames = video->Samples;
  std::vector<uint8_t> avih;
  uint32_t usPerFrame = 0, width = 0, height = 0;
  if (video && video->Info.dwRate > 0) {
    usPerFrame = static_cast<uint32_t>(std::min<uint64_t>(
        uint64_t{video->Info.dwScale} * 1000000 / video->Info.dwRate, UINT32_MAX));
  }
  if (video && video->Format.size() >= 40) {
    int32_t w, h;
    std::memcpy(&w, video->Format.data() + 4, 4);
    std::memcpy(&h, video->Format.data() + 8, 4);
    width = static_cast<uint32_t>(std::abs(w));
    height = static_cast<uint32_t>(h < 0 ? -static_cast<int64_t>(h) : h);
  }
  Put32(avih, usPerFrame);
  Put32(avih, 0);  // max bytes per second
  Put32(avih, 0);  // padding granularity
  Put32(avih, AVIF_HASINDEX | AVIF_ISINTERLEAVED | AVIF_TRUSTCKTYPE);
  Put32(avih, part_ > 0 ? firstPartFrames_ : static_cast<uint32_t>(std::min<int64_t>(totalFrames, UINT32_MAX)));
  Put32(avih, 0);  // initial frames
  Put32(avih, static_cast<uint32_t>(streams_.size()));
  Put32(avih, maxChunk + 8);
  Put32(avih, width);
  Put32(avih, height);
  for (int i = 0; i < 4; ++i) Put32(avih, 0);
  PutChunk(hdrl, mmioFOURCC('a', 'v', 'i', 'h'), avih);

  for (size_t n = 0; n < streams_.size(); ++n) {
    const TStream& s = streams_[n];
    const AVISTREAMINFOW i = Info(static_cast<int32_t>(n));
    std::vector<uint8_t> strl, strh;
    Put32(strh, i.fccType);
    Put32(strh, i.fccHandler);
    Put32(strh, i.dwFlags);
    Put16(strh, i.wPriority);
    Put16(strh, i.wLanguage);
    Put32(strh, i.dwInitialFrames);
    Put32(strh, i.dwScale);
    Put32(strh, i.dwRate);
    Put32(strh, i.dwStart);
    Put32(strh, i.dwLength);
    Put32(strh, i.dwSuggestedBufferSize);
    Put32(strh, static_cast<uint32_t>(i.dwQuality));
    Put32(strh, i.dwSampleSize);
    Put16(strh, static_cast<uint16_t>(i.rcFrame.Left));
    Put16(strh, static_cast<uint16_t>(i.rcFrame.Top));
    Put16(strh, static_cast<uint16_t>(i.rcFrame.Right));
    Put16(strh, static_cast<uint16_t>(i.rcFrame.Bottom));
    PutChunk(strl, mmioFOURCC('s', 't', 'r', 'h'), strh);
    PutChunk(strl, mmioFOURCC('s', 't', 'r', 'f'), s.Format);
    const std::string name = StreamInfoName(i);
    if (!name.empty()) {
      std::vector<uint8_t> strn(name.begin(), name.end());
      strn.push_back(0);
      PutChunk(strl, mmioFOURCC('s', 't', 'r', 'n'), strn);
    }
    // The super index, with room for every part the file may have.
    std::vector<uint8_t> indx;
    Put16(indx, 4);
    indx.push_back(0);
    indx.push_back(0);  // an index of indexes
    Put32(indx, static_cast<uint32_t>(s.Super.size()));
    Put32(indx, ChunkId(static_cast<int32_t>(n), false));
    for (int k = 0; k < 3; ++k) Put32(indx, 0);
    for (int k = 0; k < kSuperEntries; ++k) {
      const bool used = k < static_cast<int>(s.Super.size());
      Put64(indx, used ? static_cast<uint64_t>(s.Super[k].Offset) : 0);
      Put32(indx, used ? s.Super[k].Size : 0);
      Put32(indx, used ? s.Super[k].Duration : 0);
    }
    PutChunk(strl, mmioFOURCC('i', 'n', 'd', 'x'), indx);
    PutList(hdrl, mmioFOURCC('s', 't', 'r', 'l'), strl);
  }
  std::vector<uint8_t> odml, dmlh(248, 0);
  const uint32_t total = static_cast<uint32_t>(std::min<int64_t>(totalFrames, UINT32_MAX));
  std::memcpy(dmlh.data(), &total, 4);
  PutChunk(odml, mmioFOURCC('d', 'm', 'l', 'h'), dmlh);
  PutList(hdrl, mmioFOURCC('o', 'd', 'm', 'l'), odml);
  std::vector<uint8_t> list;
  PutList(list, mmioFOURCC('h', 'd', 'r', 'l'), hdrl);
  return list;
}

HRESULT TAviFileWriter::Close(bool Commit) {
  if (!file_) return AVIERR_BADHANDLE;
  HRESULT result = failure_;
  if (Commit && failure_ == AVIERR_OK) {
    if (BeginData() == AVIERR_OK && EndPart() == AVIERR_OK) {
      try {
        std::vector<uint8_t> header = HeaderList();
        if (static_cast<int64_t>(header.size()) + 8 > reserved_) throw EWriteError("AVI header room spent");
        Put32(header, kJUNK);
        Put32(header, static_cast<uint32_t>(reserved_ - static_cast<int64_t>(header.size()) - 4));
        header.resize(static_cast<size_t>(reserved_), 0);
        WriteAt(12, header.data(), header.size());
        file_->Commit();
      } catch (const std::exception& e) {
        OutputDebugString(std::string("AVI file: ") + e.what());
        failure_ = AVIERR_FILEWRITE;
      }
    }
    result = failure_;
  }
  // Without a commit the temporary file goes and the target stays as it was.
  file_.reset();
  streams_.clear();
  return result;
}
