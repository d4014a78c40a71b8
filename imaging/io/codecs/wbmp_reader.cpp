// Wireless bitmap reading.
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/wbmp_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

int32_t ReadMultiByteInt(TStream& Stream) {
  int32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    uint8_t b = 0;
    if (Stream.Read(&b, 1) != 1) return -1;
    value = value * 128 + (b & 127);
    if ((b & 128) == 0) break;
  }
  return value;
}

void ReadWBMPStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                    bool ParamsOnly) {
  const int32_t type = ReadMultiByteInt(Stream);
  const int32_t fixedHeader = ReadMultiByteInt(Stream);
  const int32_t width = ReadMultiByteInt(Stream);
  const int32_t height = ReadMultiByteInt(Stream);
  if (type != 0 || fixedHeader != 0 || width <= 0 || height <= 0) {
    Progress.Abort();
    return;
  }
  Params.BitsPerSample = 1;
  Params.SamplesPerPixel = 1;
  Params.Width = Params.OriginalWidth = width;
  Params.Height = Params.OriginalHeight = height;
  Params.SetDpiX(DefaultDPIX);
  Params.SetDpiY(DefaultDPIY);
  Params.FreeColorMap();
  Params.ColorMapCount = 0;
  if (ParamsOnly) return;

  const int32_t rowBytes = (width + 7) / 8;
  const int64_t dataBytes = Stream.Size() - Stream.Position();
  if (!IEImageSizePlausible(width, height, {.Bytes = dataBytes, .BitsPerPixel = 1, .RowBytes = rowBytes}) ||
      !Bitmap.Allocate(width, height, ie1g)) {
    Progress.Abort();
    return;
  }
  Progress.PerRow = 100.0 / height;
  for (int32_t y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(Bitmap.GetRow(y));
    const int32_t got = Stream.Read(row, rowBytes);
    Progress.Report(static_cast<int32_t>(static_cast<int64_t>(y) * 100 / height));
    if (got != rowBytes) {
      // The data end before the last row: the rows read so far stay, the load fails.
      if (got > 0) std::memset(row + got, 0, static_cast<size_t>(rowBytes - got));
      Progress.Abort();
      return;
    }
  }
}
