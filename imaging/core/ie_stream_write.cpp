#include "imaging/core/ie_stream_write.h"

#include "platform/system/streams.h"

void SafeStreamWrite(TStream& Stream, bool& Failed, const void* Buffer, int32_t Count) {
  if (Stream.Write(Buffer, Count) < Count) Failed = true;
}
