// Our check of DVD-Video information files over a file in memory: the first byte chooses the kind
// (even: VIDEO_TS.IFO, odd: a title set's IFO), the rest is the file. Every offset, count and
// reference the check follows must stay inside the data whatever the file says.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/media/dvd_ifo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 20)) return 0;
  std::string why;
  if (data[0] & 1) {
    CheckVtsIfo(data + 1, size - 1, why);
  } else {
    TDvdVmgFacts facts;
    if (CheckVmgIfo(data + 1, size - 1, facts, why)) {
      // What a passed file says is bounded by the file.
      if (facts.TitleChapters.size() != static_cast<size_t>(facts.Titles)) __builtin_trap();
    }
  }
  return 0;
}
