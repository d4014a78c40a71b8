// The DVD sector demuxer over sectors from the input (2048 bytes each, the last one short): every
// packet it hands on must lie inside its sector, which reading each payload byte checks.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/media/dvd_demux.h"

// Where the payload sum goes, so that the reads are not optimised away.
volatile unsigned g_dvd_demux_sink = 0;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 18)) return 0;
  std::vector<TDvdPes> pes;
  unsigned sum = 0;
  for (size_t at = 0; at < size; at += 2048) {
    const int32_t n = static_cast<int32_t>(size - at < 2048 ? size - at : 2048);
    // A copy of its own so that AddressSanitizer sees a read past the sector.
    std::vector<uint8_t> sector(data + at, data + at + n);
    if (!DemuxDvdSector(sector.data(), n, pes)) continue;
    for (const TDvdPes& p : pes) {
      if (p.Size < 0) __builtin_trap();
      for (int32_t i = 0; i < p.Size; ++i) sum += p.Payload[i];
    }
  }
  g_dvd_demux_sink = sum;
  return 0;
}
