#include "imaging/io/codecs/metafile_probe.h"

#include "imaging/core/ie_byte_reader.h"
#include "platform/system/streams.h"

namespace {

// Up to Count bytes at the position into Buffer, which is zeroed first; the position is restored.
void Peek(TStream& stream, int64_t at, uint8_t* buffer, int32_t count) {
  const int64_t p = stream.Position();
  for (int32_t i = 0; i < count; ++i) buffer[i] = 0;
  stream.Seek(at, soBeginning);
  stream.Read(buffer, count);
  stream.Seek(p, soBeginning);
}

}  // namespace

bool IsEMFStream(TStream& Stream) {
  uint8_t head[100];
  Peek(Stream, Stream.Position(), head, sizeof head);
  return IEGetU32(head, false) == 1 && IEGetU32(head + 40, false) == 0x464D4520;
}

bool IsWMFStream(TStream& Stream) {
  const int64_t start = Stream.Position();
  uint8_t head[20];
  Peek(Stream, start, head, sizeof head);
  const int64_t at = IEGetU32(head, false) == 0x9AC6CDD7 ? start + 22 : start;
  uint8_t header[18];
  Peek(Stream, at, header, sizeof header);
  return IEGetU16(header, false) == 1 && IEGetU16(header + 2, false) == 9 && IEGetU16(header + 16, false) == 0;
}
