#include "platform/system/byte_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/system/streams.h"

TIEByteReader::TIEByteReader(const void* data, int64_t size, bool bigEndian)
    : data_(static_cast<const uint8_t*>(data)), size_(data && size > 0 ? size : 0), bigEndian_(bigEndian) {}

TIEByteReader::TIEByteReader(TStream& stream, bool bigEndian) : stream_(&stream), bigEndian_(bigEndian) {
  position_ = stream.Position();
  size_ = stream.Size();
  if (size_ < 0) size_ = 0;
  if (position_ < 0 || position_ > size_) position_ = size_;
}

bool TIEByteReader::Seek(int64_t position) {
  if (position < 0 || position > size_) {
    failed_ = true;
    return false;
  }
  position_ = position;
  return true;
}

bool TIEByteReader::Skip(int64_t count) {
  if (!Has(count)) {
    failed_ = true;
    return false;
  }
  position_ += count;
  return true;
}

bool TIEByteReader::Fetch(void* buffer, int64_t count) {
  if (!Has(count)) {
    failed_ = true;
    return false;
  }
  if (count == 0) return true;
  if (data_) {
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(count));
  } else {
    // The stream may have been moved by someone else since the last read.
    if (stream_->Seek(position_, soBeginning) != position_) {
      failed_ = true;
      return false;
    }
    auto* p = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
      const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(count - done, 1 << 30));
      const int32_t got = stream_->Read(p + done, chunk);
      if (got <= 0) break;
      done += got;
    }
    if (done != count) {
      failed_ = true;
      return false;
    }
  }
  position_ += count;
  return true;
}

uint64_t TIEByteReader::Ordered(const uint8_t* b, int count) const {
  uint64_t v = 0;
  if (bigEndian_) {
    for (int i = 0; i < count; ++i) v = v << 8 | b[i];
  } else {
    for (int i = count - 1; i >= 0; --i) v = v << 8 | b[i];
  }
  return v;
}

uint8_t TIEByteReader::U8() {
  uint8_t b = 0;
  Fetch(&b, 1);
  return b;
}

uint16_t TIEByteReader::U16() {
  uint8_t b[2];
  return Fetch(b, 2) ? static_cast<uint16_t>(Ordered(b, 2)) : 0;
}

uint32_t TIEByteReader::U32() {
  uint8_t b[4];
  return Fetch(b, 4) ? static_cast<uint32_t>(Ordered(b, 4)) : 0;
}

uint64_t TIEByteReader::U64() {
  uint8_t b[8];
  return Fetch(b, 8) ? Ordered(b, 8) : 0;
}

double TIEByteReader::F64() {
  const uint64_t bits = U64();
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

bool TIEByteReader::Read(void* buffer, int64_t count) { return Fetch(buffer, count); }

bool TIEByteReader::ReadBytes(int64_t count, std::vector<uint8_t>& out) {
  if (!Has(count)) {
    failed_ = true;
    return false;
  }
  out.resize(static_cast<size_t>(count));
  if (!Fetch(out.data(), count)) {
    out.clear();
    return false;
  }
  return true;
}

bool TIEByteReader::Matches(const void* bytes, int64_t count) {
  if (!Has(count)) return false;
  if (data_) return std::memcmp(data_ + position_, bytes, static_cast<size_t>(count)) == 0;
  std::vector<uint8_t> tmp(static_cast<size_t>(count));
  const int64_t keep = position_;
  const bool failedBefore = failed_;
  const bool ok = Fetch(tmp.data(), count) && std::memcmp(tmp.data(), bytes, static_cast<size_t>(count)) == 0;
  position_ = keep;
  failed_ = failedBefore;
  return ok;
}

const uint8_t* TIEByteReader::Peek(int64_t count) {
  if (!data_ || !Has(count)) {
    failed_ = true;
    return nullptr;
  }
  return data_ + position_;
}
