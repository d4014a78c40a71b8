// Wang annotation block: parsed, rebuilt and parsed again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/core/ie_imaging_annot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  TIEImagingAnnot annot;
  annot.LoadFromBuffer(data, static_cast<int64_t>(size));
  std::vector<uint8_t> block;
  annot.SaveToBuffer(block);
  TIEImagingAnnot again;
  again.LoadFromBuffer(block.data(), static_cast<int64_t>(block.size()));
  // What was read is written whole: the copy has every mark.
  if (again.ObjectCount() != annot.ObjectCount()) __builtin_trap();
  return 0;
}
