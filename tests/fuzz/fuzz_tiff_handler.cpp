// Whole TIFF as tag pages: loaded, written with all its pages and loaded again.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ie_tiff_handler.h"
#include "platform/system/exception.h"
#include "platform/system/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TCustomMemoryStream stream(data, static_cast<int64_t>(size));
  TIETIFFHandler handler(stream);
  if (handler.PageCount() == 0) return 0;
  try {
    for (int32_t page = 0; page < handler.PageCount(); ++page)
      for (const TIETIFFEntry& e : handler.Page(page))
        for (int32_t item = 0; item < 3; ++item) handler.GetTagValue(handler.Page(page), e.Tag, item);
    TMemoryStream out;
    handler.WriteStream(out, -1);
    out.SetPosition(0);
    TIETIFFHandler again(out);
    TIETIFFHandler copy;
    copy.AddPage();
    if (again.PageCount() > 0 && !again.Page(0).empty()) copy.CopyTag(0, 0, again, 0);
  } catch (const Exception&) {
  }
  return 0;
}
