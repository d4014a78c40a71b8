#include "pictures/gif_color_map.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "pictures/gif_errors.h"
#include "pictures/gif_stream_io.h"
#include "platform/system/streams.h"

namespace {

TColor ToColor(const TGIFColor& c) { return static_cast<TColor>(RGB(c.Red, c.Green, c.Blue)); }

TGIFColor FromColor(TColor color) {
  return {static_cast<uint8_t>(color & 0xFF), static_cast<uint8_t>((color >> 8) & 0xFF),
          static_cast<uint8_t>((color >> 16) & 0xFF)};
}

constexpr uint8_t PC_NOCOLLAPSE = 4;

}  // namespace

void TGIFColorMap::Clear() {
  entries_.clear();
  count_ = 0;
  optimized_ = false;
}

void TGIFColorMap::SetCapacity(int32_t Size) {
  if (Size < Capacity()) return;
  const int32_t room = Size <= 16 ? 16 : std::min(256, (Size + 31) / 32 * 32);
  entries_.resize(static_cast<size_t>(room));
}

int32_t TGIFColorMap::BitsPerPixel() const {
  if (count_ == 0) return 0;
  int32_t bits = 1;
  while ((1 << bits) < count_) ++bits;
  return bits;
}

void TGIFColorMap::LoadFromStream(TStream& Stream, int32_t Count) {
  Clear();
  Count = std::clamp(Count, 0, 256);
  SetCapacity(Count);
  uint8_t raw[768];
  ReadCheck(Stream, raw, Count * 3);
  for (int32_t i = 0; i < Count; ++i) entries_[i] = {raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]};
  count_ = Count;
}

void TGIFColorMap::SaveToStream(TStream& Stream, int32_t Bits) const {
  if (count_ == 0) return;
  const int32_t size = 1 << std::clamp(std::max(BitsPerPixel(), Bits), 1, 8);
  uint8_t raw[768] = {};
  for (int32_t i = 0; i < count_; ++i) {
    raw[3 * i] = entries_[i].Red;
    raw[3 * i + 1] = entries_[i].Green;
    raw[3 * i + 2] = entries_[i].Blue;
  }
  Stream.WriteBuffer(raw, size * 3);
}

int32_t TGIFColorMap::IndexOf(TColor Color) const {
  const TGIFColor c = FromColor(Color);
  if (optimized_) {
    for (int32_t i = 0; i < count_; ++i)
      if (entries_[i] == c) return i;
  } else {
    for (int32_t i = count_ - 1; i >= 0; --i)
      if (entries_[i] == c) return i;
  }
  return -1;
}

int32_t TGIFColorMap::Add(TColor Color) {
  if (count_ >= 256) GIFError(sTooManyColors);
  if (count_ >= Capacity()) SetCapacity(count_ + 1);
  entries_[count_] = FromColor(Color);
  optimized_ = false;
  const int32_t index = count_++;
  Changed();
  return index;
}

int32_t TGIFColorMap::AddUnique(TColor Color) {
  const int32_t index = IndexOf(Color);
  return index >= 0 ? index : Add(Color);
}

void TGIFColorMap::Delete(int32_t Index) {
  if (Index < 0 || Index >= count_) GIFError(sInvalidColor);
  entries_.erase(entries_.begin() + Index);
  entries_.push_back({});
  --count_;
  optimized_ = false;
  Changed();
}

TColor TGIFColorMap::Colors(int32_t Index) {
  if (Index < 0 || Index >= count_) {
    Warning(GIFWarningSeverity, sInvalidColor);
    if (count_ == 0) GIFError(sEmptyColorMap);
    Index = 0;
  }
  return ToColor(entries_[Index]);
}

void TGIFColorMap::ImportPalette(HPALETTE Palette) {
  Clear();
  const uint32_t n = std::min<uint32_t>(Palette ? GetPaletteEntries(Palette, 0, 0, nullptr) : 0, 256);
  std::vector<PALETTEENTRY> e(n);
  if (n > 0) GetPaletteEntries(Palette, 0, n, e.data());
  SetCapacity(static_cast<int32_t>(n));
  for (uint32_t i = 0; i < n; ++i) entries_[i] = {e[i].peRed, e[i].peGreen, e[i].peBlue};
  count_ = static_cast<int32_t>(n);
  Changed();
}

void TGIFColorMap::ImportColorTable(const RGBQUAD* Colors, int32_t Count) {
  Clear();
  Count = Colors ? std::clamp(Count, 0, 256) : 0;
  SetCapacity(Count);
  for (int32_t i = 0; i < Count; ++i) entries_[i] = {Colors[i].rgbRed, Colors[i].rgbGreen, Colors[i].rgbBlue};
  count_ = Count;
  Changed();
}

void TGIFColorMap::ImportDIBColors(HDC DC) {
  RGBQUAD table[256];
  const uint32_t n = GetDIBColorTable(DC, 0, 256, table);
  ImportColorTable(table, static_cast<int32_t>(n));
  Changed();
}

HPALETTE TGIFColorMap::ExportPalette() const {
  if (count_ == 0) return nullptr;
  std::vector<PALETTEENTRY> e(static_cast<size_t>(count_));
  for (int32_t i = 0; i < count_; ++i) e[i] = {entries_[i].Red, entries_[i].Green, entries_[i].Blue, PC_NOCOLLAPSE};
  return CreatePaletteFromEntries(e.data(), static_cast<uint32_t>(count_));
}

void TGIFColorMap::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TGIFColorMap*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  if (other == this) return;
  entries_ = other->entries_;
  count_ = other->count_;
  optimized_ = other->optimized_;
  Changed();
}

void TGIFColorMap::CountPixels(const uint8_t* Pixels, int64_t N, std::vector<int64_t>& Counts) const {
  // Every index is counted in a full table; only those within the map reach the histogram.
  std::array<int64_t, 256> all{};
  for (int64_t i = 0; i < N; ++i) ++all[Pixels[i]];
  for (int32_t i = 0; i < count_ && i < static_cast<int32_t>(Counts.size()); ++i) Counts[i] += all[i];
}

void TGIFColorMap::RemapPixels(uint8_t* Pixels, int64_t N, const uint8_t* Map) {
  for (int64_t i = 0; i < N; ++i) Pixels[i] = Map[Pixels[i]];
}

bool TGIFColorMap::Optimize() {
  if (count_ <= 1) return false;
  optimized_ = true;
  std::vector<int64_t> counts(static_cast<size_t>(count_), 0);
  BuildHistogram(counts);
  // Most used first; among equal counts the present order stays, so a table already in order of use
  // is left alone.
  std::vector<int32_t> order(static_cast<size_t>(count_));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return counts[a] > counts[b]; });
  bool identity = true;
  for (int32_t i = 0; i < count_; ++i) identity = identity && order[i] == i;
  if (identity) return true;

  std::array<uint8_t, 256> map;
  for (int32_t i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i);  // indices outside the map stay
  for (int32_t pos = 0; pos < count_; ++pos) map[order[pos]] = static_cast<uint8_t>(pos);
  MapPixels(map.data());

  std::vector<TGIFColor> sorted(entries_.size());
  int32_t used = count_;
  for (int32_t pos = 0; pos < count_; ++pos) {
    sorted[pos] = entries_[order[pos]];
    if (counts[order[pos]] == 0 && used == count_) used = pos;
  }
  entries_ = std::move(sorted);
  for (int32_t i = used; i < count_; ++i) entries_[i] = {};
  count_ = used;
  Changed();
  return true;
}
