#include "pictures/png_chunk.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <typeinfo>

#include "pictures/png_errors.h"
#include "platform/system/streams.h"

// ------------------------------------------------------------------------------------------ helpers

uint32_t PNGChunkCRC(const char* name, const uint8_t* data, size_t size) {
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(name), 4);
  // zlib takes at most 4 GB per call; chunk data never reaches 2 GB.
  if (size) crc = crc32(crc, data, static_cast<uInt>(size));
  return static_cast<uint32_t>(crc);
}

int64_t ReadUpTo(TStream& stream, void* buffer, int64_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  int64_t got = 0;
  while (got < count) {
    const int32_t n = stream.Read(p + got, static_cast<int32_t>(std::min<int64_t>(count - got, 1 << 30)));
    if (n <= 0) break;
    got += n;
  }
  return got;
}

// ------------------------------------------------------------------------------------------- TChunk

TChunk::TChunk(TPNGChunkOwner* owner) : owner_(owner) {}

TChunk::~TChunk() = default;

std::string TChunk::GetName() const {
  if (!name_.empty()) return name_;
  const std::string cls = ClassName();
  return cls.size() > 6 ? cls.substr(6) : cls;
}

std::unique_ptr<TChunk> TChunk::CreateLike(TPNGChunkOwner* owner) const { return std::make_unique<TChunk>(owner); }

void TChunk::CheckCompatible(TChunk* source) const {
  if (!source || typeid(*source) != typeid(*this)) throw EPngError(pngtext::kChunksNotCompatible);
}

void TChunk::Assign(TChunk* source) {
  CheckCompatible(source);
  name_ = source->name_;
  data_ = source->data_;
}

TChunkIHDR* TChunk::Header() const {
  if (!owner_) throw EPNGHeaderNotPresent(pngtext::kHeaderNotPresent);
  return owner_->CurrentHeader();
}

void TChunk::ReadDataAndCheck(TStream& stream, const std::string& name, uint32_t size) {
  // The picture's loader has checked the size against what the stream holds.
  data_.resize(size);
  const int64_t got = ReadUpTo(stream, data_.data(), size);
  uint8_t crcBytes[4] = {0, 0, 0, 0};
  const bool crcRead = got == size && ReadUpTo(stream, crcBytes, 4) == 4;
  if (!crcRead || ReadBE32(crcBytes) != PNGChunkCRC(name.c_str(), data_.data(), data_.size()))
    throw EPngInvalidCRC(pngtext::kInvalidCRC);
}

bool TChunk::LoadFromStream(TStream& stream, const std::string& name, uint32_t size) {
  // Only a plain chunk keeps the name it was read under; the others have their class's.
  if (typeid(*this) == typeid(TChunk)) name_ = name.substr(0, 4);
  ReadDataAndCheck(stream, name, size);
  return true;
}

void TChunk::WriteChunk(TStream& stream) const {
  const std::string name = GetName();
  uint8_t head[8];
  WriteBE32(head, DataSize());
  std::memcpy(head + 4, name.data(), std::min<size_t>(name.size(), 4));
  stream.WriteBuffer(head, 8);
  if (!data_.empty()) stream.WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
  uint8_t crc[4];
  WriteBE32(crc, PNGChunkCRC(reinterpret_cast<const char*>(head + 4), data_.data(), data_.size()));
  stream.WriteBuffer(crc, 4);
}

bool TChunk::SaveToStream(TStream& stream) {
  WriteChunk(stream);
  return true;
}

// ----------------------------------------------------------------------------------------- TPNGList

TChunk* TPNGList::Item(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

TChunk* TPNGList::Add(std::unique_ptr<TChunk> chunk) {
  items_.push_back(std::move(chunk));
  return items_.back().get();
}

void TPNGList::Remove(TChunk* chunk) {
  auto it = std::find_if(items_.begin(), items_.end(), [chunk](const auto& c) { return c.get() == chunk; });
  if (it != items_.end()) items_.erase(it);
}

void TPNGList::Clear() {
  // Last first: the header, which owns the storage the others may refer to, goes last.
  while (!items_.empty()) items_.pop_back();
}

// ------------------------------------------------------------------------------------ the registry

namespace {

struct ChunkClass {
  std::string name;
  TChunkFactory factory;
};

std::vector<ChunkClass>& ChunkClasses() {
  static std::vector<ChunkClass> classes;
  return classes;
}

}  // namespace

void RegisterChunk(TChunkFactory factory) {
  std::unique_ptr<TChunk> probe = factory(nullptr);
  ChunkClasses().push_back(ChunkClass{probe->GetName(), factory});
}

void UnregisterChunks() { ChunkClasses().clear(); }

TChunkFactory ChunkFactory(const std::string& name) {
  for (const ChunkClass& c : ChunkClasses())
    if (c.name == name) return c.factory;
  return nullptr;
}

int32_t RegisteredChunkCount() { return static_cast<int32_t>(ChunkClasses().size()); }
