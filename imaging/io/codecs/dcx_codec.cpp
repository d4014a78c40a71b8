// DCX: the page table, the probe and page count, a page read, and a page inserted by rebuilding the
// file in memory.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_stream_write.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace {

constexpr uint32_t kDCXMagic = 0x3ADE68B1;
constexpr int32_t kTableEntries = kDCXMaxPages + 1;

// Runs Body with the stream's position noted and puts the stream back afterwards.
template <typename Body>
auto KeepingPosition(TStream& stream, Body body) {
  const int64_t p = stream.Position();
  auto result = body();
  stream.Seek(p, soBeginning);
  return result;
}

// The table of a DCX at the stream's position whose offsets all lie inside the stream, after the
// table; empty when there is none (no magic, no page, an offset outside).
std::vector<int64_t> CheckedTable(TStream& stream) {
  std::vector<int64_t> offsets;
  if (!DCXReadPageTable(stream, offsets)) return {};
  const int64_t start = stream.Position();
  const int64_t size = stream.Size();
  const int64_t tableEnd = start + 4 + 4 * static_cast<int64_t>(offsets.size());
  for (const int64_t o : offsets)
    if (o < tableEnd || o >= size) return {};
  return offsets;
}

}  // namespace

bool DCXReadPageTable(TStream& Stream, std::vector<int64_t>& Offsets) {
  Offsets.clear();
  const int64_t start = Stream.Position();
  uint8_t raw[4 * (kTableEntries + 1)] = {};
  const int32_t got = std::max(Stream.Read(raw, sizeof raw), 0);
  Stream.Seek(start, soBeginning);
  if (got < 4 || IEGetU32(raw, false) != kDCXMagic) return false;
  for (int32_t i = 0; i < kTableEntries && 4 + 4 * (i + 1) <= got; ++i) {
    const uint32_t offset = IEGetU32(raw + 4 + 4 * i, false);
    if (offset == 0) break;
    Offsets.push_back(start + offset);
  }
  return true;
}

std::vector<int64_t> DCXPageSizes(TStream& Stream, const std::vector<int64_t>& Offsets) {
  const int64_t end = Stream.Size();
  std::vector<int64_t> sizes;
  sizes.reserve(Offsets.size());
  for (const int64_t o : Offsets) {
    int64_t next = end;
    for (const int64_t other : Offsets)
      if (other > o) next = std::min(next, other);
    sizes.push_back(std::max<int64_t>(next - o, 0));
  }
  return sizes;
}

bool IsDCXStream(TStream& Stream) {
  return KeepingPosition(Stream, [&] { return !CheckedTable(Stream).empty(); });
}

int32_t CountDCXStreamPages(TStream& Stream) {
  return KeepingPosition(Stream, [&] { return static_cast<int32_t>(CheckedTable(Stream).size()); });
}

void ReadDCXStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                   bool ParamsOnly) {
  const std::vector<int64_t> offsets = CheckedTable(Stream);
  if (offsets.empty()) {
    Progress.Abort();
    return;
  }
  const auto count = static_cast<int32_t>(offsets.size());
  const int32_t index = std::clamp(Params.DcxImageIndex, 0, count - 1);
  Params.SetImageIndex(index);
  const int64_t size = DCXPageSizes(Stream, offsets)[static_cast<size_t>(index)];
  Stream.Seek(offsets[static_cast<size_t>(index)], soBeginning);
  ReadPCXStream(Stream, Bitmap, Params, size, Progress, ParamsOnly);
  Params.SetImageCount(count);
}

void WriteDCXStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  if (Progress.IsAborting()) return;
  Stream.Seek(0, soBeginning);
  std::vector<int64_t> offsets;
  std::vector<int64_t> sizes;
  if (Stream.Size() > 0) {
    offsets = CheckedTable(Stream);
    if (offsets.empty() || static_cast<int32_t>(offsets.size()) >= kDCXMaxPages) {
      Progress.Abort();
      return;
    }
    sizes = DCXPageSizes(Stream, offsets);
  }
  const auto count = static_cast<int32_t>(offsets.size());
  const int32_t insertAt = std::clamp(Params.DcxImageIndex, 0, count);

  // The new file: the magic, a table of count + 1 pages and its 0, then the pages in their order.
  TMemoryStream file;
  const int32_t tableBytes = 4 * (count + 2);
  std::vector<uint8_t> head(static_cast<size_t>(4 + tableBytes), 0);
  IEPutU32(head.data(), kDCXMagic, false);
  file.WriteBuffer(head.data(), static_cast<int32_t>(head.size()));
  std::vector<uint8_t> page;
  int32_t old = 0;
  for (int32_t position = 0; position <= count; ++position) {
    IEPutU32(head.data() + 4 + 4 * position, static_cast<uint32_t>(file.Position()), false);
    if (position == insertAt) {
      WritePCXStream(file, Bitmap, Params, Progress);
      if (Progress.IsAborting()) return;
    } else {
      const int64_t n = sizes[static_cast<size_t>(old)];
      if (n > INT32_MAX) {
        Progress.Abort();
        return;
      }
      Stream.Seek(offsets[static_cast<size_t>(old)], soBeginning);
      page.resize(static_cast<size_t>(n));
      if (Stream.Read(page.data(), static_cast<int32_t>(n)) != n) {
        Progress.Abort();
        return;
      }
      file.WriteBuffer(page.data(), static_cast<int32_t>(n));
      ++old;
    }
  }
  file.Seek(0, soBeginning);
  file.WriteBuffer(head.data(), static_cast<int32_t>(head.size()));

  Stream.SetSize(0);
  Stream.Seek(0, soBeginning);
  bool failed = false;
  SafeStreamWrite(Stream, failed, file.Memory(), static_cast<int32_t>(file.Size()));
  if (failed) Progress.Abort();
}
