// The AVI file services' files and streams: opening, counts, sample and format reads and writes.
#include "platform/media/avi_file.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/media/avi_streams.h"
#include "platform/system/debug_log.h"
#include "platform/system/streams.h"

namespace {

std::atomic<int32_t> g_initCount{0};

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

void AVIFileInit() { ++g_initCount; }
void AVIFileExit() {
  int32_t n = g_initCount.load();
  while (n > 0 && !g_initCount.compare_exchange_weak(n, n - 1)) {
  }
}
int32_t AVIFileInitCount() { return g_initCount.load(); }

int32_t ClipSamples(int64_t Length, int64_t Start, int32_t Samples) {
  if (Start < 0 || Start >= Length || Samples <= 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(Samples, Length - Start));
}

// ------------------------------------------------------------------------------------------ files

int32_t TAVIFile::AddRef() {
  std::lock_guard<std::mutex> lock(core_->Mutex);
  return core_->Closed ? 0 : ++core_->Refs;
}

int32_t TAVIFile::Release(const std::shared_ptr<TAviFileCore>& Core) {
  TAVIFile* handle = nullptr;
  int32_t left;
  {
    std::lock_guard<std::mutex> lock(Core->Mutex);
    if (Core->Closed) return 0;
    left = --Core->Refs;
    if (left > 0) return left;
    Core->Closed = true;
    handle = Core->Handle;
    Core->Handle = nullptr;
    if (Core->Writer && Core->Writer->IsOpen()) {
      const HRESULT r = Core->Writer->Close(true);
      if (r != AVIERR_OK) OutputDebugString("AVI file: the file could not be completed; the target was kept");
    }
  }
  delete handle;
  return 0;
}

HRESULT AVIFileOpen(PAVIFILE* File, const std::string& FileName, uint32_t Mode, const void* Handler) {
  (void)Handler;
  if (!File) return AVIERR_BADPARAM;
  *File = nullptr;
  auto core = std::make_shared<TAviFileCore>();
  if (Mode & (OF_CREATE | OF_WRITE | OF_READWRITE)) {
    if (!(Mode & OF_CREATE)) return AVIERR_UNSUPPORTED;  // files are written whole, never changed in place
    core->Writer = std::make_unique<TAviFileWriter>();
    const HRESULT r = core->Writer->Create(FileName);
    if (r != AVIERR_OK) return r;
  } else {
    std::string error;
    std::unique_ptr<TAviByteSource> source = OpenAviFileSource(FileName, error);
    if (!source) {
      OutputDebugString("AVI file: cannot open \"" + FileName + "\": " + error);
      return AVIERR_FILEOPEN;
    }
    // A RIFF file of another form has no handler here; anything else is no AVI file.
    uint8_t head[12] = {};
    const bool riff = source->ReadAt(0, head, 12) && std::memcmp(head, "RIFF", 4) == 0;
    core->Reader = std::make_unique<TAviReader>();
    const HRESULT r = core->Reader->Open(std::move(source));
    if (r != AVIERR_OK) {
      if (riff && std::memcmp(head + 8, "AVI ", 4) != 0 && std::memcmp(head + 8, "WAVE", 4) != 0) return REGDB_E_CLASSNOTREG;
      return r;
    }
  }
  *File = new TAVIFile(core);
  return AVIERR_OK;
}

HRESULT AVIFileOpenMemory(PAVIFILE* File, const void* Data, size_t Size) {
  if (!File) return AVIERR_BADPARAM;
  *File = nullptr;
  auto core = std::make_shared<TAviFileCore>();
  core->Reader = std::make_unique<TAviReader>();
  const HRESULT r = core->Reader->Open(AviMemorySource(Data, Size));
  if (r != AVIERR_OK) return r;
  *File = new TAVIFile(core);
  return AVIERR_OK;
}

int32_t AVIFileAddRef(PAVIFILE File) { return File ? File->AddRef() : 0; }

int32_t AVIFileRelease(PAVIFILE File) {
  if (!File) return 0;
  const std::shared_ptr<TAviFileCore> core = File->Core();
  return TAVIFile::Release(core);
}

HRESULT AVIFileDiscard(PAVIFILE File) {
  if (!File) return AVIERR_BADHANDLE;
  const std::shared_ptr<TAviFileCore>& core = File->Core();
  std::lock_guard<std::mutex> lock(core->Mutex);
  if (!core->Writer) return AVIERR_READONLY;
  if (core->Writer->IsOpen()) core->Writer->Close(false);
  return AVIERR_OK;
}

HRESULT AVIFileGetStream(PAVIFILE File, PAVISTREAM* Stream, FOURCC Type, int32_t Param) {
  if (!Stream) return AVIERR_BADPARAM;
  *Stream = nullptr;
  if (!File || Param < 0) return AVIERR_BADPARAM;
  const std::shared_ptr<TAviFileCore>& core = File->Core();
  if (!core->Reader) {
    // A file being written hands out the streams it made.
    if (!core->Writer) return AVIERR_NODATA;
    int32_t seen = 0;
    for (int32_t i = 0; i < core->Writer->StreamCount(); ++i) {
      if (Type != 0 && core->Writer->Info(i).fccType != Type) continue;
      if (seen++ == Param) {
        File->AddRef();
        *Stream = new TAviWriteStream(core, i);
        return AVIERR_OK;
      }
    }
    return AVIERR_NODATA;
  }
  const auto& streams = core->Reader->Streams();
  int32_t seen = 0;
  for (size_t i = 0; i < streams.size(); ++i) {
    if (streams[i].Info.fccType == 0 || (Type != 0 && streams[i].Info.fccType != Type)) continue;
    if (seen++ == Param) {
      File->AddRef();
      *Stream = new TAviReadStream(core, i);
      return AVIERR_OK;
    }
  }
  return AVIERR_NODATA;
}

HRESULT AVIFileCreateStream(PAVIFILE File, PAVISTREAM* Stream, const AVISTREAMINFOW* Info) {
  if (!Stream) return AVIERR_BADPARAM;
  *Stream = nullptr;
  if (!File || !Info) return AVIERR_BADPARAM;
  const std::shared_ptr<TAviFileCore>& core = File->Core();
  if (!core->Writer) return AVIERR_READONLY;
  int32_t index = -1;
  const HRESULT r = core->Writer->CreateStream(*Info, index);
  if (r != AVIERR_OK) return r;
  File->AddRef();
  *Stream = new TAviWriteStream(core, index);
  return AVIERR_OK;
}

// ---------------------------------------------------------------------------------------- streams

int32_t TAVIStream::Release() {
  const int32_t left = --refs_;
  if (left > 0) return left;
  const std::shared_ptr<TAviFileCore> file = file_;
  delete this;
  if (file) TAVIFile::Release(file);
  return 0;
}

int32_t AVIStreamAddRef(PAVISTREAM Stream) { return Stream ? Stream->AddRef() : 0; }
int32_t AVIStreamRelease(PAVISTREAM Stream) { return Stream ? Stream->Release() : 0; }

HRESULT AVIStreamInfo(PAVISTREAM Stream, AVISTREAMINFOW* Info, int32_t Size) {
  if (!Stream || !Info || Size <= 0) return AVIERR_BADPARAM;
  AVISTREAMINFOW i;
  const HRESULT r = Stream->Info(i);
  if (r != AVIERR_OK) return r;
  std::memcpy(Info, &i, static_cast<size_t>(std::min<int32_t>(Size, sizeof i)));
  return AVIERR_OK;
}

int32_t AVIStreamStart(PAVISTREAM Stream) {
  AVISTREAMINFOW i;
  return Stream && Stream->Info(i) == AVIERR_OK ? Clamp32(i.dwStart) : -1;
}

int32_t AVIStreamLength(PAVISTREAM Stream) { return Stream ? Clamp32(Stream->Length()) : -1; }

HRESULT AVIStreamReadFormat(PAVISTREAM Stream, int32_t Position, void* Format, int32_t* Size) {
  if (!Stream || !Size) return AVIERR_BADPARAM;
  std::vector<uint8_t> f;
  const HRESULT r = Stream->ReadFormat(Position, f);
  if (r != AVIERR_OK) return r;
  if (!Format) {
    *Size = static_cast<int32_t>(f.size());
    return AVIERR_OK;
  }
  const int32_t n = std::clamp<int32_t>(*Size, 0, static_cast<int32_t>(f.size()));
  if (n > 0) std::memcpy(Format, f.data(), static_cast<size_t>(n));
  *Size = n;
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM Stream, int32_t Position, const void* Format, int32_t Size) {
  return Stream ? Stream->SetFormat(Position, Format, Size) : AVIERR_BADHANDLE;
}

HRESULT AVIStreamRead(PAVISTREAM Stream, int32_t Start, int32_t Samples, void* Buffer, int32_t BufferSize,
                      int32_t* Bytes, int32_t* SamplesRead) {
  if (Bytes) *Bytes = 0;
  if (SamplesRead) *SamplesRead = 0;
  if (!Stream) return AVIERR_BADHANDLE;
  return Stream->Read(Start, Samples, Buffer, BufferSize, Bytes, SamplesRead);
}

HRESULT AVIStreamWrite(PAVISTREAM Stream, int32_t Start, int32_t Samples, const void* Buffer, int32_t BufferSize,
                       uint32_t Flags, int32_t* SamplesWritten, int32_t* BytesWritten) {
  if (!Stream) return AVIERR_BADHANDLE;
  return Stream->Write(Start, Samples, Buffer, BufferSize, Flags, SamplesWritten, BytesWritten);
}

HRESULT CreateEditableStream(PAVISTREAM* Result, PAVISTREAM Source) {
  if (!Result) return AVIERR_BADPARAM;
  *Result = nullptr;
  if (!Source) return AVIERR_BADHANDLE;
  *Result = new TAviEditableStream(Source);
  return AVIERR_OK;
}

TAviEditableStream::TAviEditableStream(PAVISTREAM Source) : source_(Source) { source_->AddRef(); }
TAviEditableStream::~TAviEditableStream() { source_->Release(); }

// ---------------------------------------------------------------------------- read from a file

TAviReadStream::TAviReadStream(std::shared_ptr<TAviFileCore> File, size_t Index) : index_(Index) {
  file_ = std::move(File);
}

const TAviStreamData* TAviReadStream::Data() {
  if (!file_ || file_->Closed || !file_->Reader) return nullptr;
  return &file_->Reader->Streams()[index_];
}

HRESULT TAviReadStream::Info(AVISTREAMINFOW& Info) {
  const TAviStreamData* d = Data();
  if (!d) return AVIERR_BADHANDLE;
  Info = d->Info;
  Info.dwFormatChangeCount = static_cast<uint32_t>(d->PaletteChanges.size());
  return AVIERR_OK;
}

int64_t TAviReadStream::Length() {
  const TAviStreamData* d = Data();
  return d ? d->SampleCount() : -1;
}

HRESULT TAviReadStream::ReadFormat(int64_t Position, std::vector<uint8_t>& Format) {
  const TAviStreamData* d = Data();
  if (!d) return AVIERR_BADHANDLE;
  Format = d->Format;
  if (d->PaletteChanges.empty() || Format.size() < 40) return AVIERR_OK;
  // The palette changes up to Position, applied to the colour table that follows the header.
  uint32_t headerSize;
  std::memcpy(&headerSize, Format.data(), 4);
  if (headerSize < 40 || headerSize > Format.size()) return AVIERR_OK;
  const size_t entries = std::min<size_t>((Format.size() - headerSize) / 4, 256);
  for (const TAviPaletteChange& c : d->PaletteChanges) {
    if (c.Frame > Position) break;
    const uint8_t first = c.Record[0];
    const size_t count = c.Record[1] == 0 ? 256 : c.Record[1];
    for (size_t k = 0; k < count && 4 + 4 * k + 4 <= c.Record.size() && first + k < entries; ++k) {
      const uint8_t* e = c.Record.data() + 4 + 4 * k;  // red, green, blue, flags
      uint8_t* q = Format.data() + headerSize + 4 * (first + k);
      q[0] = e[2];
      q[1] = e[1];
      q[2] = e[0];
    }
  }
  return AVIERR_OK;
}

HRESULT TAviReadStream::Read(int64_t Start, int32_t Samples, void* Buffer, int32_t BufferSize, int32_t* Bytes,
                             int32_t* SamplesRead) {
  const TAviStreamData* d = Data();
  if (!d) return AVIERR_BADHANDLE;
  const int32_t n = ClipSamples(d->SampleCount(), Start, Samples);
  if (n == 0) return Start >= 0 && Start < d->SampleCount() ? AVIERR_OK : AVIERR_BADPARAM;
  auto* out = static_cast<uint8_t*>(Buffer);
  int64_t done = 0;
  int32_t samples = 0;
  if (d->OneSamplePerChunk()) {
    for (int64_t s = Start; s < Start + n; ++s) {
      const TAviChunkRef& c = d->Chunks[static_cast<size_t>(s)];
      if (Buffer) {
        if (done + c.Size > BufferSize) break;
        if (c.Size && !file_->Reader->ReadAt(c.Offset, out + done, c.Size)) return AVIERR_FILEREAD;
      }
      done += c.Size;
      ++samples;
    }
  } else {
    // Fixed-size samples across chunks.
    const int64_t size = d->Info.dwSampleSize;
    int64_t want = n;
    if (Buffer) want = std::min<int64_t>(want, BufferSize / size);
    for (int64_t s = Start; s < Start + want;) {
      const int64_t k = d->ChunkOfSample(s);
      if (k < 0) break;
      const TAviChunkRef& c = d->Chunks[static_cast<size_t>(k)];
      const int64_t inChunk = s - d->SampleStarts[static_cast<size_t>(k)];
      const int64_t take = std::min<int64_t>(Start + want - s, d->SampleStarts[static_cast<size_t>(k) + 1] - s);
      if (Buffer && !file_->Reader->ReadAt(c.Offset + inChunk * size, out + done, static_cast<size_t>(take * size))) {
        return AVIERR_FILEREAD;
      }
      done += take * size;
      s += take;
      samples += static_cast<int32_t>(take);
    }
  }
  if (Buffer && samples == 0) return AVIERR_BUFFERTOOSMALL;
  if (Bytes) *Bytes = Clamp32(done);
  if (SamplesRead) *SamplesRead = samples;
  return AVIERR_OK;
}

int64_t TAviReadStream::KeyFrameAtOrBefore(int64_t N) {
  const TAviStreamData* d = Data();
  if (!d || !d->OneSamplePerChunk()) return N;
  for (int64_t k = std::min<int64_t>(N, static_cast<int64_t>(d->Chunks.size()) - 1); k >= 0; --k) {
    const TAviChunkRef& c = d->Chunks[static_cast<size_t>(k)];
    if (c.Key && c.Size > 0) return k;
  }
  return 0;
}

int64_t TAviReadStream::SampleBytes(int64_t N) {
  const TAviStreamData* d = Data();
  if (!d || !d->OneSamplePerChunk() || N < 0 || N >= static_cast<int64_t>(d->Chunks.size())) return -1;
  return d->Chunks[static_cast<size_t>(N)].Size;
}

// ---------------------------------------------------------------------------- written to a file

TAviWriteStream::TAviWriteStream(std::shared_ptr<TAviFileCore> File, int32_t Index) : index_(Index) {
  file_ = std::move(File);
}

TAviFileWriter* TAviWriteStream::Writer() {
  if (!file_ || file_->Closed || !file_->Writer) return nullptr;
  return file_->Writer.get();
}

HRESULT TAviWriteStream::Info(AVISTREAMINFOW& Info) {
  TAviFileWriter* w = Writer();
  if (!w) return AVIERR_BADHANDLE;
  Info = w->Info(index_);
  return AVIERR_OK;
}

int64_t TAviWriteStream::Length() {
  TAviFileWriter* w = Writer();
  return w ? w->Length(index_) : -1;
}

HRESULT TAviWriteStream::ReadFormat(int64_t, std::vector<uint8_t>& Format) {
  TAviFileWriter* w = Writer();
  if (!w) return AVIERR_BADHANDLE;
  Format = w->Format(index_);
  return Format.empty() ? AVIERR_NODATA : AVIERR_OK;
}

HRESULT TAviWriteStream::SetFormat(int64_t Position, const void* Format, int32_t Size) {
  TAviFileWriter* w = Writer();
  return w ? w->SetFormat(index_, Position, Format, Size) : AVIERR_BADHANDLE;
}

HRESULT TAviWriteStream::Read(int64_t, int32_t, void*, int32_t, int32_t* Bytes, int32_t* SamplesRead) {
  if (Bytes) *Bytes = 0;
  if (SamplesRead) *SamplesRead = 0;
  return AVIERR_UNSUPPORTED;  // a file being written is read once it is complete
}

HRESULT TAviWriteStream::Write(int64_t Start, int32_t Samples, const void* Buffer, int32_t BufferSize, uint32_t Flags,
                               int32_t* SamplesWritten, int32_t* BytesWritten) {
  TAviFileWriter* w = Writer();
  if (!w) {
    if (SamplesWritten) *SamplesWritten = 0;
    if (BytesWritten) *BytesWritten = 0;
    return AVIERR_BADHANDLE;
  }
  return w->Write(index_, Start, Samples, Buffer, BufferSize, Flags, SamplesWritten, BytesWritten);
}
