#pragma once
// TIEMemStream: a read-only stream over a caller's memory block, without copying it. Reading and
// seeking work as on any memory stream; Write writes nothing and returns 0, SetSize does nothing. The
// block stays the caller's and must outlive the stream.
#include <cstdint>

#include "platform/system/streams.h"

class TIEMemStream : public TCustomMemoryStream {
 public:
  TIEMemStream(const void* Block, int64_t Size) : TCustomMemoryStream(Block, Size < 0 ? 0 : Size) {}
  int32_t Write(const void*, int32_t) override { return 0; }
  void SetSize(int64_t) override {}
};
