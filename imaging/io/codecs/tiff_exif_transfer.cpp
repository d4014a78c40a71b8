// The EXIF tags of a parameter record carried into a TIFF-structured file (the HD Photo writer puts
// them into the file it wrote).
#include <memory>
#include <vector>

#include "imaging/core/ie_streams.h"
#include "imaging/core/ie_tiff_handler.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/exif_blocks.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

// The tags carried over, in this order.
constexpr uint16_t kTransferredTags[] = {271,   272,   306,   274,   282,   283,   296,   305,
                                         315,   318,   531,   319,   529,   532,   33432, 18246,
                                         40091, 40092, 40093, 40094, 40095, 34665, 34853};

}  // namespace

bool CopyEXIFTagsToTIFF(TStream* InStream, TStream* OutStream, const std::string& InFileName,
                        const std::string& OutFileName, int32_t PageIndex, TIOParamsVals& Params) {
  try {
    std::vector<uint8_t> block;
    SaveEXIFToBuffer(Params, block, false);
    if (block.empty()) return false;
    TCustomMemoryStream exifStream(block.data(), static_cast<int64_t>(block.size()));
    TIETIFFHandler exif(exifStream);

    // The target, read from its first byte (the handler takes offsets from its stream's start).
    TIETIFFHandler target;
    int64_t at = 0;
    if (InStream) {
      at = InStream->Position();
      TIEBufferedReadStream view(*InStream, 65536, true);
      target.LoadFromStream(view);
    } else {
      target.LoadFromFile(InFileName);
    }
    if (PageIndex < 0 || PageIndex >= target.PageCount() || exif.PageCount() == 0) return false;
    // The tags keep their bytes as the file has them: a big-endian target cannot take ours.
    if (target.BigEndian() != exif.BigEndian()) return false;
    for (uint16_t tag : kTransferredTags) {
      const int32_t index = exif.FindTag(0, tag);
      if (index >= 0) target.CopyTag(0, index, exif, PageIndex);
    }

    if (OutStream) {
      // Written where the target starts, with its offsets counted from there.
      TMemoryStream out;
      target.WriteStream(out, -1);
      if (OutStream == InStream) OutStream->Seek(at, soBeginning);
      OutStream->WriteBuffer(out.Memory(), static_cast<int32_t>(out.Size()));
    } else {
      target.WriteFile(OutFileName, -1);
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
