#pragma once
// The RIFF AVI reader of the AVI file services: the headers and format blocks of every stream as
// stored, and where each sample lies. Indexes are taken from OpenDML ('indx' and 'ix##', across the
// 'AVIX' parts past the first gigabyte), else from 'idx1', else by walking the 'movi' lists. A WAVE
// file reads as one audio stream. Every size, count and offset is checked against the file; what a
// damaged file still holds is kept.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/avi_types.h"

// Bytes to read from: a file or a block of memory.
class TAviByteSource {
 public:
  virtual ~TAviByteSource() = default;
  virtual int64_t Size() const = 0;
  // Exactly Count bytes at Offset; false when they are not all there.
  virtual bool ReadAt(int64_t Offset, void* Buffer, size_t Count) = 0;
};
// Null (with the system's reason in Error) when the file cannot be opened.
std::unique_ptr<TAviByteSource> OpenAviFileSource(const std::string& FileName, std::string& Error);
// The caller keeps the bytes while the source lives.
std::unique_ptr<TAviByteSource> AviMemorySource(const void* Data, size_t Size);

// Where one chunk's data lies.
struct TAviChunkRef {
  int64_t Offset = 0;  // of the data, past the chunk header
  uint32_t Size = 0;
  bool Key = true;
};

// A palette change: the 'xxpc' record (AVIPALCHANGE_HEADER and its entries) taking effect at Frame.
struct TAviPaletteChange {
  int64_t Frame = 0;
  std::vector<uint8_t> Record;
};

struct TAviStreamData {
  // The stream header as stored, but dwLength: the samples the index holds.
  AVISTREAMINFOW Info;
  uint32_t StoredLength = 0;           // dwLength of the stream header
  std::vector<uint8_t> Format;         // 'strf' as stored
  std::vector<uint8_t> HandlerData;    // 'strd'
  std::vector<TAviChunkRef> Chunks;    // in stream order
  std::vector<TAviPaletteChange> PaletteChanges;  // in frame order
  // Streams of fixed-size samples (dwSampleSize > 0): the first sample of each chunk, and the
  // sample count at the end (Chunks.size() + 1 entries). Empty for a sample per chunk.
  std::vector<int64_t> SampleStarts;

  bool OneSamplePerChunk() const { return SampleStarts.empty(); }
  int64_t SampleCount() const;
  // The chunk holding sample N (a sample per chunk: N itself); -1 outside.
  int64_t ChunkOfSample(int64_t N) const;
};

// The main header's fields the services use.
struct TAviMainHeader {
  uint32_t MicroSecPerFrame = 0;
  uint32_t Flags = 0;
  uint32_t TotalFrames = 0;   // of the first part; dmlh's total when the file has one
  uint32_t Width = 0, Height = 0;
};

class TAviReader {
 public:
  // Reads the structure of the file. AVIERR_OK, or AVIERR_BADFORMAT for what is not an AVI or WAVE
  // file (or has no stream), AVIERR_FILEREAD for a file that cannot be read.
  HRESULT Open(std::unique_ptr<TAviByteSource> Source);
  bool IsWave() const { return wave_; }
  const TAviMainHeader& MainHeader() const { return main_; }
  const std::vector<TAviStreamData>& Streams() const { return streams_; }
  // The data of one chunk (empty for an empty chunk); false when it cannot be read.
  bool ReadChunk(const TAviChunkRef& Chunk, std::vector<uint8_t>& Out) const;
  bool ReadAt(int64_t Offset, void* Buffer, size_t Count) const;
  int64_t FileSize() const { return size_; }

 private:
  struct TChunkHeader {
    uint32_t Id = 0;
    uint32_t Size = 0;      // as stored
    int64_t Offset = 0;     // of the header
    int64_t DataEnd = 0;    // end of the data, clipped to the container
    int64_t Next = 0;       // the next chunk (past a pad byte)
  };
  // The chunk at Offset inside a container ending at End; false when no header fits.
  bool ChunkAt(int64_t Offset, int64_t End, TChunkHeader& Chunk) const;
  bool ReadBlock(int64_t Offset, int64_t End, std::vector<uint8_t>& Out) const;
  HRESULT OpenWave();
  void ParseHeaderList(int64_t Begin, int64_t End);
  void ParseStreamList(int64_t Begin, int64_t End);
  // Adds the chunks of one index ('indx' or 'ix##' contents) to Stream; Depth 0 may point further.
  void ReadOpenDmlIndex(size_t Stream, int64_t Begin, int64_t End, int Depth);
  void ReadIdx1(int64_t Begin, int64_t End, int64_t MoviTag);
  // Walks a 'movi' list: chunks (with the palette changes) of every stream, or of none but the
  // palette changes when PalettesOnly.
  void ScanMovi(int64_t Begin, int64_t End, bool PalettesOnly, int Depth);
  void AddChunk(size_t Stream, const TAviChunkRef& Chunk);
  void AddPaletteChange(size_t Stream, int64_t Offset, uint32_t Size);
  // The stream number of a chunk id "##xx"; -1 when it names none.
  int StreamOfId(uint32_t Id) const;
  void Finish();

  std::unique_ptr<TAviByteSource> source_;
  int64_t size_ = 0;
  bool wave_ = false;
  TAviMainHeader main_;
  std::vector<TAviStreamData> streams_;
  std::vector<std::pair<int64_t, int64_t>> indexes_;  // 'indx' of each stream (begin, end), 0 when none
  std::vector<int64_t> scanFrames_;                   // chunks met per stream while scanning
  int64_t chunkBudget_ = 0;                           // chunks the file can hold at most
  int64_t walkBudget_ = 0;                            // chunk headers a walk may still visit
};
