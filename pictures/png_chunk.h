#pragma once
// The chunk model of the PNG picture class: TChunk, the base of every chunk object (name, data bytes,
// owning picture), the ordered chunk list of a picture, and the registry of chunk classes by name.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pictures/png_types.h"
#include "platform/system/object.h"

class TStream;
class TCanvas;
class TChunkIHDR;
class TPNGList;

// What a chunk asks of the picture that holds it (the PNG picture class answers): its gamma tables,
// the canvas of its storage, its coding settings, its chunks and its header.
class TPNGChunkOwner {
 public:
  virtual ~TPNGChunkOwner() = default;
  virtual uint8_t* GammaTable() = 0;
  virtual uint8_t* InverseGamma() = 0;
  virtual TCanvas* ImageCanvas() = 0;
  virtual TPNGRowFilters RowFilters() const = 0;
  virtual uint8_t DeflateLevel() const = 0;
  virtual int32_t DeflateStrategy() const = 0;
  virtual uint32_t IdatChunkSize() const = 0;
  virtual uint8_t InterlaceKind() const = 0;
  virtual void SetInterlaceKind(uint8_t value) = 0;
  // The header at the head of the chunk list; EPNGHeaderNotPresent when there is none.
  virtual TChunkIHDR* CurrentHeader() const = 0;
};

class TChunk : public TObject {
 public:
  explicit TChunk(TPNGChunkOwner* owner);
  ~TChunk() override;
  TChunk(const TChunk&) = delete;
  TChunk& operator=(const TChunk&) = delete;

  // The four-letter name: the class name after its first six characters ("TChunkIHDR" gives
  // "IHDR"); a plain TChunk has the name it was read under.
  virtual std::string GetName() const;
  // Copies a chunk of the same class; another class raises EPngError "The chunks must be compatible
  // to be assigned.". A plain TChunk copies name and data.
  virtual void Assign(TChunk* source);
  // Reads size data bytes (the stream stands after the chunk's name) and the 4-byte CRC, and checks
  // it (EPngInvalidCRC). False ends the picture's chunk loop.
  virtual bool LoadFromStream(TStream& stream, const std::string& name, uint32_t size);
  // Writes the 4-byte big-endian length, the name, the data and the CRC of name and data.
  virtual bool SaveToStream(TStream& stream);
  // A new, empty chunk of this object's class for another picture (copies are made this way).
  virtual std::unique_ptr<TChunk> CreateLike(TPNGChunkOwner* owner) const;

  TPNGChunkOwner* Owner() const { return owner_; }
  uint8_t* Data() { return data_.data(); }
  const uint8_t* Data() const { return data_.data(); }
  uint32_t DataSize() const { return static_cast<uint32_t>(data_.size()); }
  // Resizes the data, new bytes 0.
  void ResizeData(uint32_t size) { data_.assign(size, 0); }

 protected:
  // The owner's header (EPNGHeaderNotPresent when its chunk list does not start with one).
  TChunkIHDR* Header() const;
  // Reads the data and CRC as LoadFromStream describes, without interpreting them.
  void ReadDataAndCheck(TStream& stream, const std::string& name, uint32_t size);
  // Writes length, name, data and CRC of the data as they stand.
  void WriteChunk(TStream& stream) const;
  // Raises the incompatible-assignment error unless source is of this object's class.
  void CheckCompatible(TChunk* source) const;

  std::vector<uint8_t> data_;

 private:
  TPNGChunkOwner* owner_;
  std::string name_;  // the name a plain TChunk was read under
};

// The chunks of a picture in file order; the list owns them.
class TPNGList {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // The chunk at index, null past the end.
  TChunk* Item(int32_t index) const;
  TChunk* Add(std::unique_ptr<TChunk> chunk);
  // Frees the chunk and closes the gap.
  void Remove(TChunk* chunk);
  void Clear();
  // The first chunk of class T (or of a class derived from it), or null.
  template <class T>
  T* ItemFromClass() const {
    for (const auto& c : items_)
      if (auto* t = dynamic_cast<T*>(c.get())) return t;
    return nullptr;
  }

 private:
  std::vector<std::unique_ptr<TChunk>> items_;
};

// The registry of chunk classes, filled by InitializePictures in the order IEND, IHDR, IDAT, PLTE,
// gAMA, tRNS, pHYs, tIME, tEXt, zTXt, and emptied by FinalizePictures. Names it does not hold load
// as plain TChunk objects.
using TChunkFactory = std::unique_ptr<TChunk> (*)(TPNGChunkOwner* owner);
void RegisterChunk(TChunkFactory factory);
void UnregisterChunks();
// The factory registered for a name, or null.
TChunkFactory ChunkFactory(const std::string& name);
int32_t RegisteredChunkCount();

// The PNG CRC-32 of a chunk's name and data.
uint32_t PNGChunkCRC(const char* name, const uint8_t* data, size_t size);

inline uint32_t ReadBE32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline void WriteBE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
// Reads up to count bytes, as many as the stream still has; returns how many arrived.
int64_t ReadUpTo(TStream& stream, void* buffer, int64_t count);
