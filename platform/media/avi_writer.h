#pragma once
// The RIFF AVI writer of the AVI file services. The file goes to a temporary file beside the
// target and replaces it only when it was closed complete (TSafeFileStream). The first part is an
// AVI 1.0 file with its 'idx1'; past the part limit (1 GiB) the file goes on in OpenDML 'AVIX'
// parts. Every part carries 'ix##' indexes that the streams' 'indx' super indexes point to, and
// 'dmlh' the total frame count. Stream headers are written at close into room reserved at the
// start, so a stream may be created after samples of another were written.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/avi_types.h"

class TSafeFileStream;

// The size a RIFF part may reach before the next begins (1 GiB; tests lower it).
int64_t AviRiffLimit();
void SetAviRiffLimit(int64_t Bytes);

class TAviFileWriter {
 public:
  TAviFileWriter();
  ~TAviFileWriter();
  TAviFileWriter(const TAviFileWriter&) = delete;
  TAviFileWriter& operator=(const TAviFileWriter&) = delete;

  // Starts the file; AVIERR_FILEOPEN when no temporary file can be made beside it.
  HRESULT Create(const std::string& FileName);
  // A new stream from the caller's header (scale, rate, handler, quality, frame ...; the length
  // counts what is written). AVIERR_UNSUPPORTED when the header room is spent.
  HRESULT CreateStream(const AVISTREAMINFOW& Info, int32_t& Index);
  int32_t StreamCount() const { return static_cast<int32_t>(streams_.size()); }
  AVISTREAMINFOW Info(int32_t Stream) const;
  // The stream header's handler code (a compressor writing into the stream names itself).
  void SetHandler(int32_t Stream, FOURCC Handler);
  int64_t Length(int32_t Stream) const;
  // The format block. Before the stream's first sample it is set (or replaced); later only the
  // palette of a video stream of up to 8 bits may change, which writes a palette change before the
  // next frame; anything else is AVIERR_UNSUPPORTED.
  HRESULT SetFormat(int32_t Stream, int64_t Position, const void* Format, int32_t Size);
  // The format in effect at Position (the palette changes of a video stream applied).
  const std::vector<uint8_t>& Format(int32_t Stream) const;
  // Appends Samples samples (Start is the stream's length, -1 for "at the end"; a video position
  // past the end fills the gap with empty chunks, dropped frames). AVIIF_KEYFRAME in Flags marks a
  // key frame.
  HRESULT Write(int32_t Stream, int64_t Start, int32_t Samples, const void* Data, int32_t Size, uint32_t Flags,
                int32_t* SamplesWritten, int32_t* BytesWritten);
  // Writes the indexes and headers and, when nothing failed and Commit is set, replaces the target;
  // otherwise the target stays as it was. Answers AVIERR_OK or the first failure.
  HRESULT Close(bool Commit = true);
  bool IsOpen() const { return file_ != nullptr; }

 private:
  struct TEntry {
    int64_t Offset;  // of the chunk header
    uint32_t Size;   // of the data
    uint32_t Id;
    bool Key;
  };
  struct TSuperEntry {
    int64_t Offset;
    uint32_t Size;
    uint32_t Duration;
  };
  struct TStream {
    AVISTREAMINFOW Info;
    std::vector<uint8_t> Format;     // the first format (strf)
    std::vector<uint8_t> Current;    // the format in effect now
    int64_t Samples = 0;
    int64_t Chunks = 0;
    uint32_t MaxChunk = 0;
    uint32_t FormatChanges = 0;
    bool Started = false;            // a sample was written
    std::vector<TEntry> Part;        // chunks of the current part
    std::vector<TSuperEntry> Super;  // the 'ix##' of the parts so far
  };

  std::vector<uint8_t> HeaderList() const;
  HRESULT BeginData();
  HRESULT WriteChunk(int32_t Stream, uint32_t Id, const void* Data, uint32_t Size, bool Key, bool Counted);
  HRESULT EndPart();
  HRESULT BeginPart();
  int64_t PartIndexBytes(int32_t ExtraStream) const;
  void WriteBytes(const void* Data, size_t Size);
  void WriteAt(int64_t Offset, const void* Data, size_t Size);
  uint32_t ChunkId(int32_t Stream, bool PaletteChange) const;

  std::unique_ptr<TSafeFileStream> file_;
  std::vector<TStream> streams_;
  HRESULT failure_ = AVIERR_OK;
  bool dataBegun_ = false;
  int64_t reserved_ = 0;      // bytes from 12 on kept for the header list
  int64_t pos_ = 0;           // where the next byte goes
  int part_ = -1;             // the part being written
  int64_t riffStart_ = 0;     // of the current part's RIFF header
  int64_t moviStart_ = 0;     // of the current part's LIST 'movi' header
  std::vector<TEntry> idx1_;  // the first part's chunks, for 'idx1'
  uint32_t firstPartFrames_ = 0;
};
