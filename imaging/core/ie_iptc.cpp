#include "imaging/core/ie_iptc.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_exception.h"

namespace {

constexpr uint8_t kTagMarker = 0x1C;
constexpr char kPhotoshop[] = "Photoshop 3.0";  // 13 characters and a zero in the wrapper
constexpr uint8_t kIPTCResource[6] = {'8', 'B', 'I', 'M', 0x04, 0x04};
constexpr uint8_t kVersionDataSet[7] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02};

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
  const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  out.insert(out.end(), b, b + 4);
}

}  // namespace

int32_t TIEIPTCInfoList::RecordNumber(int32_t index) const {
  return index >= 0 && index < GetCount() ? entries_[index].record : 0;
}

int32_t TIEIPTCInfoList::DataSetNumber(int32_t index) const {
  return index >= 0 && index < GetCount() ? entries_[index].dataSet : 0;
}

int32_t TIEIPTCInfoList::DataLength(int32_t index) const {
  return index >= 0 && index < GetCount() ? static_cast<int32_t>(entries_[index].data.size()) : 0;
}

const uint8_t* TIEIPTCInfoList::Data(int32_t index) const {
  return index >= 0 && index < GetCount() ? entries_[index].data.data() : nullptr;
}

int32_t TIEIPTCInfoList::AddData(int32_t recordNumber, int32_t dataSetNumber, const void* data, int32_t length) {
  if (length < 0 || (length > 0 && !data)) throw EIEException("Invalid IPTC data");
  const auto* p = static_cast<const uint8_t*>(data);
  entries_.push_back({recordNumber, dataSetNumber, std::vector<uint8_t>(p, p + length)});
  changed_ = true;
  return GetCount() - 1;
}

void TIEIPTCInfoList::Clear() {
  entries_.clear();
  changed_ = true;
}

void TIEIPTCInfoList::Assign(const TIEIPTCInfoList* source) {
  if (!source) return;
  if (source != this) entries_ = source->entries_;
  changed_ = true;
}

void TIEIPTCInfoList::SaveToBuffer(void*& buffer, int32_t& length, bool withPhotoshopHeader) const {
  buffer = nullptr;
  length = 0;
  if (entries_.empty()) return;
  std::vector<uint8_t> out;
  if (withPhotoshopHeader) {
    out.assign(kPhotoshop, kPhotoshop + sizeof kPhotoshop);  // with its zero byte
    out.insert(out.end(), kIPTCResource, kIPTCResource + 6);
    out.insert(out.end(), {0, 0, 0, 0, 0, 0});  // empty name, size patched below
  } else {
    out.assign(kVersionDataSet, kVersionDataSet + 7);
  }
  int64_t counted = 0;
  for (const Entry& e : entries_) {
    if ((e.record == 2 && e.dataSet == 0) || e.data.empty()) continue;
    const int64_t size = static_cast<int64_t>(e.data.size());
    out.push_back(kTagMarker);
    out.push_back(static_cast<uint8_t>(e.record));
    out.push_back(static_cast<uint8_t>(e.dataSet));
    if (size < 32768) {
      out.push_back(static_cast<uint8_t>(size >> 8));
      out.push_back(static_cast<uint8_t>(size));
      counted += size + 5;
    } else {
      out.push_back(0x80);
      out.push_back(0x04);
      PutBE32(out, static_cast<uint32_t>(size));
      counted += size + 9;
    }
    out.insert(out.end(), e.data.begin(), e.data.end());
    if (out.size() > INT32_MAX - 1) throw EIEException("IPTC data too large");
  }
  if (out.size() % 2) out.push_back(0);
  if (withPhotoshopHeader) {
    const uint32_t c = static_cast<uint32_t>(counted);
    const uint8_t b[4] = {uint8_t(c >> 24), uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
    std::memcpy(out.data() + 22, b, 4);
  }
  void* block = std::malloc(out.size());
  if (!block) throw EOutOfMemory("Out of memory");
  std::memcpy(block, out.data(), out.size());
  buffer = block;
  length = static_cast<int32_t>(out.size());
}

bool TIEIPTCInfoList::LoadFromBuffer(const void* buffer, int32_t length) {
  Clear();
  if (!buffer || length <= 0) return false;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  TIEByteReader r(buffer, length, true);
  int64_t p = 0;
  if (r.Matches(kPhotoshop, 13)) {
    p = length;
    for (int64_t i = 0; i + 6 <= length; ++i) {
      if (std::memcmp(bytes + i, kIPTCResource, 6) == 0) {
        p = i + 6;
        break;
      }
    }
  }
  while (p < length && bytes[p] != kTagMarker) ++p;
  while (p + 1 < length && bytes[p + 1] == kTagMarker) ++p;

  bool result = false;
  while (p < length && bytes[p] == kTagMarker) {
    if (p + 5 >= length) break;
    r.Seek(p + 1);
    const uint8_t record = r.U8();
    const uint8_t dataSet = r.U8();
    int64_t size;
    if (bytes[p + 3] & 0x80) {
      // Extended form: a 4-byte length after the length-of-length word.
      r.Seek(p + 5);
      size = r.U32();
    } else {
      size = r.U16();
    }
    if (r.Failed() || !r.Has(size)) break;
    const int64_t start = r.Position();
    AddData(record, dataSet, bytes + start, static_cast<int32_t>(size));
    result = true;
    p = start + size;
  }
  changed_ = false;
  return result;
}
