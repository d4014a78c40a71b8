#include "tests/imaging/io/codecs/tiff_fixture.h"

#include <algorithm>

TiffBuilder::Entry TiffBuilder::MakeEntry(uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> bytes) {
  Entry e;
  e.tag = tag;
  e.type = type;
  e.count = count;
  e.bytes = std::move(bytes);
  return e;
}

TiffBuilder& TiffBuilder::Page() {
  pages_.emplace_back();
  return *this;
}

void TiffBuilder::Put16(std::vector<uint8_t>& b, uint32_t v) const {
  if (big_) { b.push_back(uint8_t(v >> 8)); b.push_back(uint8_t(v)); }
  else { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); }
}

void TiffBuilder::Put32(std::vector<uint8_t>& b, uint32_t v) const {
  if (big_) { for (int i = 3; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i))); }
  else { for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i))); }
}

TiffBuilder& TiffBuilder::Short(uint16_t tag, std::vector<uint32_t> values) {
  std::vector<uint8_t> b;
  for (uint32_t v : values) Put16(b, v);
  return Raw(tag, 3, static_cast<uint32_t>(values.size()), b);
}

TiffBuilder& TiffBuilder::Long(uint16_t tag, std::vector<uint32_t> values) {
  std::vector<uint8_t> b;
  for (uint32_t v : values) Put32(b, v);
  return Raw(tag, 4, static_cast<uint32_t>(values.size()), b);
}

TiffBuilder& TiffBuilder::Rational(uint16_t tag, std::vector<uint32_t> numDen, uint16_t type) {
  std::vector<uint8_t> b;
  for (uint32_t v : numDen) Put32(b, v);
  return Raw(tag, type, static_cast<uint32_t>(numDen.size() / 2), b);
}

TiffBuilder& TiffBuilder::Ascii(uint16_t tag, const std::string& text, bool terminate) {
  std::vector<uint8_t> b(text.begin(), text.end());
  if (terminate) b.push_back(0);
  return Raw(tag, 2, static_cast<uint32_t>(b.size()), b);
}

TiffBuilder& TiffBuilder::Raw(uint16_t tag, uint16_t type, uint32_t count, std::vector<uint8_t> bytes) {
  if (pages_.empty()) Page();
  pages_.back().push_back(MakeEntry(tag, type, count, std::move(bytes)));
  return *this;
}

TiffBuilder& TiffBuilder::Word(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
  if (pages_.empty()) Page();
  Entry e = MakeEntry(tag, type, count, {});
  e.wordValue = true;
  e.word = value;
  pages_.back().push_back(e);
  return *this;
}

int32_t TiffBuilder::Blob(std::vector<uint8_t> bytes) {
  blobs_.push_back(std::move(bytes));
  return static_cast<int32_t>(blobs_.size() - 1);
}

TiffBuilder& TiffBuilder::Strips(const std::vector<int32_t>& blobs, uint16_t offsetsTag, uint16_t countsTag) {
  if (pages_.empty()) Page();
  Entry o = MakeEntry(offsetsTag, 4, static_cast<uint32_t>(blobs.size()), {});
  o.blobOffsets = blobs;
  pages_.back().push_back(o);
  Entry c = MakeEntry(countsTag, 4, static_cast<uint32_t>(blobs.size()), {});
  c.blobCounts = blobs;
  pages_.back().push_back(c);
  return *this;
}

std::vector<uint8_t> TiffBuilder::Build(const std::vector<uint8_t>& prefix, bool absolute) const {
  const uint32_t base = absolute ? static_cast<uint32_t>(prefix.size()) : 0;
  std::vector<uint8_t> f;  // the TIFF itself, offsets relative to its start
  f.push_back(big_ ? 'M' : 'I');
  f.push_back(big_ ? 'M' : 'I');
  Put16(f, Version);
  Put32(f, 0);  // first IFD, patched below
  std::vector<uint32_t> blobAt;
  for (const auto& b : blobs_) {
    blobAt.push_back(static_cast<uint32_t>(f.size()));
    f.insert(f.end(), b.begin(), b.end());
    if (f.size() % 2) f.push_back(0);
  }
  std::vector<size_t> nextField;
  std::vector<uint32_t> ifdAt;
  for (const auto& page : pages_) {
    // Out-of-line values first, then the directory.
    std::vector<std::vector<uint8_t>> values;
    std::vector<uint32_t> valueAt;
    for (const Entry& e : page) {
      std::vector<uint8_t> v = e.bytes;
      if (!e.blobOffsets.empty()) { v.clear(); for (int32_t id : e.blobOffsets) Put32(v, base + blobAt[id]); }
      if (!e.blobCounts.empty()) { v.clear(); for (int32_t id : e.blobCounts) Put32(v, static_cast<uint32_t>(blobs_[id].size())); }
      if (v.size() > 4 && !e.wordValue) {
        valueAt.push_back(static_cast<uint32_t>(f.size()));
        f.insert(f.end(), v.begin(), v.end());
        if (f.size() % 2) f.push_back(0);
      } else {
        valueAt.push_back(0);
      }
      values.push_back(v);
    }
    ifdAt.push_back(static_cast<uint32_t>(f.size()));
    Put16(f, static_cast<uint32_t>(page.size()));
    for (size_t i = 0; i < page.size(); ++i) {
      const Entry& e = page[i];
      Put16(f, e.tag);
      Put16(f, e.type);
      Put32(f, e.count);
      if (e.wordValue) {
        Put32(f, e.word);
      } else if (values[i].size() > 4) {
        Put32(f, base + valueAt[i]);
      } else {
        std::vector<uint8_t> v = values[i];
        v.resize(4, 0);
        f.insert(f.end(), v.begin(), v.end());
      }
    }
    nextField.push_back(f.size());
    Put32(f, 0);
  }
  auto patch = [&](size_t at, uint32_t v) {
    std::vector<uint8_t> b;
    Put32(b, v);
    std::copy(b.begin(), b.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
  };
  IfdOffsets = ifdAt;
  if (!ifdAt.empty()) patch(4, base + ifdAt[0]);
  for (size_t i = 0; i < nextField.size(); ++i) {
    uint32_t next = i + 1 < ifdAt.size() ? base + ifdAt[i + 1] : 0;
    if (i < NextOverride.size() && NextOverride[i] >= 0) next = static_cast<uint32_t>(NextOverride[i]);
    patch(nextField[i], next);
  }
  if (TruncateLastNext && !nextField.empty()) f.resize(nextField.back());
  std::vector<uint8_t> out = prefix;
  out.insert(out.end(), f.begin(), f.end());
  return out;
}
