#include "pictures/gif_stream_io.h"

#include <algorithm>

#include "pictures/gif_errors.h"
#include "platform/system/streams.h"

void GIFError(const std::string& Msg) { throw GIFException(Msg); }

void WriteByte(TStream& Stream, uint8_t Value) { Stream.WriteBuffer(&Value, 1); }

uint8_t ReadByte(TStream& Stream) {
  uint8_t b = 0;
  if (Stream.Read(&b, 1) != 1) return 0;
  return b;
}

void ReadCheck(TStream& Stream, void* Buffer, int32_t Count) {
  if (Count <= 0) return;
  if (Stream.Read(Buffer, Count) != Count) GIFError(sPrematureEOF);
}

void WriteStrings(TStream& Stream, const std::vector<std::string>& Strings) {
  for (const std::string& s : Strings)
    for (size_t at = 0; at < s.size(); at += 255) {
      const uint8_t n = static_cast<uint8_t>(std::min<size_t>(255, s.size() - at));
      WriteByte(Stream, n);
      Stream.WriteBuffer(s.data() + at, n);
    }
  WriteByte(Stream, 0);
}

void ReadStrings(TStream& Stream, std::vector<std::string>& Strings) {
  Strings.clear();
  for (;;) {
    uint8_t n = 0;
    if (Stream.Read(&n, 1) != 1 || n == 0) return;
    std::string s(n, '\0');
    ReadCheck(Stream, s.data(), n);
    Strings.push_back(std::move(s));
  }
}
