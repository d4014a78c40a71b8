#pragma once
// Checked writing for the codec writers.
#include <cstddef>
#include <cstdint>
#include <vector>

class TStream;

// Writes Count bytes of Buffer to Stream; when fewer bytes were written Failed becomes true. Failed
// is never reset here, so a writer calls it for every block and tests Failed once at the end.
void SafeStreamWrite(TStream& Stream, bool& Failed, const void* Buffer, int32_t Count);

// Gathers a writer's output and writes it in large pieces through SafeStreamWrite, with the
// writer's Failed flag: once a write fell short nothing more is written. Flush (or the destructor)
// writes what is gathered.
class TIEStreamWriter {
 public:
  TIEStreamWriter(TStream& Stream, bool& Failed);
  ~TIEStreamWriter() { Flush(); }
  TIEStreamWriter(const TIEStreamWriter&) = delete;
  TIEStreamWriter& operator=(const TIEStreamWriter&) = delete;

  void Put(const void* Data, size_t Count);
  void Put(uint8_t Byte) {
    buffer_.push_back(Byte);
    if (buffer_.size() >= kChunk) Flush();
  }
  void Flush();
  // Bytes put so far, written or not.
  int64_t Count() const { return written_ + static_cast<int64_t>(buffer_.size()); }

 private:
  static constexpr size_t kChunk = size_t{1} << 18;
  TStream& stream_;
  bool& failed_;
  std::vector<uint8_t> buffer_;
  int64_t written_ = 0;
};
