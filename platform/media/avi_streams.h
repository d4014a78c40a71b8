#pragma once
// The objects behind the AVI file services' handles (private to the media services): a file with
// its count, and the kinds of stream (read from a file, written to a file, editable, compressed).
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/avi_file.h"
#include "platform/media/avi_reader.h"
#include "platform/media/avi_writer.h"

// What a file handle and its streams share. The handle's count includes one per live stream; at 0
// a file being written is closed (and replaces its target). A stream outliving its file (the file
// released down to 0 by its owner) finds the file closed and fails.
struct TAviFileCore {
  std::mutex Mutex;
  int32_t Refs = 1;
  bool Closed = false;
  TAVIFile* Handle = nullptr;
  std::unique_ptr<TAviReader> Reader;
  std::unique_ptr<TAviFileWriter> Writer;
};

class TAVIFile {
 public:
  explicit TAVIFile(std::shared_ptr<TAviFileCore> Core) : core_(std::move(Core)) { core_->Handle = this; }
  const std::shared_ptr<TAviFileCore>& Core() const { return core_; }
  int32_t AddRef();
  // Deletes the handle (and closes the file) at 0.
  static int32_t Release(const std::shared_ptr<TAviFileCore>& Core);

 private:
  std::shared_ptr<TAviFileCore> core_;
};

class TAVIStream {
 public:
  virtual ~TAVIStream() = default;
  int32_t AddRef() { return ++refs_; }
  int32_t Release();

  virtual HRESULT Info(AVISTREAMINFOW& Info) = 0;
  virtual int64_t Length() = 0;
  // The format in effect at Position.
  virtual HRESULT ReadFormat(int64_t Position, std::vector<uint8_t>& Format) = 0;
  virtual HRESULT SetFormat(int64_t Position, const void* Format, int32_t Size) {
    (void)Position, (void)Format, (void)Size;
    return AVIERR_READONLY;
  }
  // Samples from Start into Buffer (null: only the sizes).
  virtual HRESULT Read(int64_t Start, int32_t Samples, void* Buffer, int32_t BufferSize, int32_t* Bytes,
                       int32_t* SamplesRead) = 0;
  virtual HRESULT Write(int64_t Start, int32_t Samples, const void* Buffer, int32_t BufferSize, uint32_t Flags,
                        int32_t* SamplesWritten, int32_t* BytesWritten) {
    (void)Start, (void)Samples, (void)Buffer, (void)BufferSize, (void)Flags;
    if (SamplesWritten) *SamplesWritten = 0;
    if (BytesWritten) *BytesWritten = 0;
    return AVIERR_READONLY;
  }
  // The key frame at or before sample N (a decoder may start there); N itself when all are.
  virtual int64_t KeyFrameAtOrBefore(int64_t N) { return N; }
  // The size of sample N's data (0 for an empty chunk, a dropped frame); -1 outside the stream.
  virtual int64_t SampleBytes(int64_t N) = 0;

 protected:
  // A stream of a file holds a count of it.
  std::shared_ptr<TAviFileCore> file_;

 private:
  int32_t refs_ = 1;
};

// A stream read from an AVI or WAVE file.
class TAviReadStream : public TAVIStream {
 public:
  TAviReadStream(std::shared_ptr<TAviFileCore> File, size_t Index);
  HRESULT Info(AVISTREAMINFOW& Info) override;
  int64_t Length() override;
  HRESULT ReadFormat(int64_t Position, std::vector<uint8_t>& Format) override;
  HRESULT Read(int64_t Start, int32_t Samples, void* Buffer, int32_t BufferSize, int32_t* Bytes,
               int32_t* SamplesRead) override;
  int64_t KeyFrameAtOrBefore(int64_t N) override;
  int64_t SampleBytes(int64_t N) override;

 private:
  const TAviStreamData* Data();
  size_t index_;
  std::vector<uint8_t> chunk_;
};

// A stream of a file being written.
class TAviWriteStream : public TAVIStream {
 public:
  TAviWriteStream(std::shared_ptr<TAviFileCore> File, int32_t Index);
  HRESULT Info(AVISTREAMINFOW& Info) override;
  int64_t Length() override;
  HRESULT ReadFormat(int64_t Position, std::vector<uint8_t>& Format) override;
  HRESULT SetFormat(int64_t Position, const void* Format, int32_t Size) override;
  HRESULT Read(int64_t, int32_t, void*, int32_t, int32_t* Bytes, int32_t* SamplesRead) override;
  HRESULT Write(int64_t Start, int32_t Samples, const void* Buffer, int32_t BufferSize, uint32_t Flags,
                int32_t* SamplesWritten, int32_t* BytesWritten) override;
  int64_t SampleBytes(int64_t) override { return -1; }
  void SetHandler(FOURCC Handler) {
    if (TAviFileWriter* w = Writer()) w->SetHandler(index_, Handler);
  }

 private:
  TAviFileWriter* Writer();
  int32_t index_;
};

// A stream reading through another (CreateEditableStream).
class TAviEditableStream : public TAVIStream {
 public:
  explicit TAviEditableStream(PAVISTREAM Source);
  ~TAviEditableStream() override;
  HRESULT Info(AVISTREAMINFOW& Info) override { return source_->Info(Info); }
  int64_t Length() override { return source_->Length(); }
  HRESULT ReadFormat(int64_t Position, std::vector<uint8_t>& Format) override {
    return source_->ReadFormat(Position, Format);
  }
  HRESULT Read(int64_t Start, int32_t Samples, void* Buffer, int32_t BufferSize, int32_t* Bytes,
               int32_t* SamplesRead) override {
    return source_->Read(Start, Samples, Buffer, BufferSize, Bytes, SamplesRead);
  }
  int64_t KeyFrameAtOrBefore(int64_t N) override { return source_->KeyFrameAtOrBefore(N); }
  int64_t SampleBytes(int64_t N) override { return source_->SampleBytes(N); }

 private:
  PAVISTREAM source_;
};

// Sizes of the sample reads: Samples samples of a stream from Start, clipped to the stream.
int32_t ClipSamples(int64_t Length, int64_t Start, int32_t Samples);
