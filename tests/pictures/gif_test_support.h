#pragma once
// GIF files built byte by byte for the picture class's tests, and loading and saving through it.
// Image data is written by a coder of its own that sends every pixel as a literal code (a clear
// code whenever the code width would grow), so fixtures do not come from the coder under test.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pictures/gif_errors.h"
#include "pictures/gif_image.h"
#include "platform/system/streams.h"

namespace giftest {

using Bytes = std::vector<uint8_t>;
using RGB3 = std::array<uint8_t, 3>;

inline void U16(Bytes& b, int v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

// The code stream of Pixels (in the order they are sent) as literals, packed and cut into
// sub-blocks, after the code-size byte and before the terminator.
inline Bytes LiteralImageData(const Bytes& pixels, int codeSize) {
  const int clear = 1 << codeSize;
  const int width = codeSize + 1;
  Bytes packed;
  uint32_t acc = 0;
  int bits = 0;
  const auto put = [&](int code) {
    acc |= static_cast<uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      packed.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  };
  // A decoder adds an entry for every code after the first following a clear, and reads wider codes
  // once the next entry reaches 2^width: after clear - 1 codes. A clear code comes one code before.
  int sinceClear = 0;
  put(clear);
  for (uint8_t p : pixels) {
    if (sinceClear == clear - 2) {
      put(clear);
      sinceClear = 0;
    }
    put(p);
    ++sinceClear;
  }
  put(clear + 1);
  if (bits > 0) packed.push_back(static_cast<uint8_t>(acc));
  Bytes block{static_cast<uint8_t>(codeSize)};
  for (size_t i = 0; i < packed.size(); i += 255) {
    const size_t n = std::min<size_t>(255, packed.size() - i);
    block.push_back(static_cast<uint8_t>(n));
    block.insert(block.end(), packed.begin() + static_cast<ptrdiff_t>(i), packed.begin() + static_cast<ptrdiff_t>(i + n));
  }
  block.push_back(0);
  return block;
}

// Rows in the GIF interlace order.
inline Bytes InterlaceRows(const Bytes& pixels, int w, int h) {
  Bytes out;
  const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = start[pass]; y < h; y += step[pass])
      out.insert(out.end(), pixels.begin() + y * w, pixels.begin() + (y + 1) * w);
  return out;
}

inline int TableBits(size_t colors) {
  int bits = 0;
  while ((2u << bits) < colors) ++bits;
  return bits;
}

struct GifFile {
  Bytes data;
  explicit GifFile(int w, int h, const std::vector<RGB3>& global = {}, uint8_t background = 0,
                   const char* version = "GIF89a", uint8_t aspect = 0) {
    for (int i = 0; i < 6; ++i) data.push_back(static_cast<uint8_t>(version[i]));
    U16(data, w);
    U16(data, h);
    const int bits = TableBits(global.size());
    data.push_back(global.empty() ? 0 : static_cast<uint8_t>(0x80 | bits | bits << 4));
    data.push_back(background);
    data.push_back(aspect);
    Table(global);
  }
  void Table(const std::vector<RGB3>& t) {
    if (t.empty()) return;
    for (int i = 0; i < (2 << TableBits(t.size())); ++i) {
      const RGB3 c = i < static_cast<int>(t.size()) ? t[i] : RGB3{0, 0, 0};
      data.insert(data.end(), c.begin(), c.end());
    }
  }
  GifFile& Gce(int disposal, int delay, bool transparent = false, uint8_t index = 0, bool user = false) {
    data.insert(data.end(), {0x21, 0xF9, 4,
                             static_cast<uint8_t>(disposal << 2 | (user ? 2 : 0) | (transparent ? 1 : 0))});
    U16(data, delay);
    data.insert(data.end(), {index, 0});
    return *this;
  }
  GifFile& SubBlocks(const std::vector<std::string>& blocks) {
    for (const auto& s : blocks) {
      data.push_back(static_cast<uint8_t>(s.size()));
      data.insert(data.end(), s.begin(), s.end());
    }
    data.push_back(0);
    return *this;
  }
  GifFile& Comment(const std::vector<std::string>& lines) {
    data.insert(data.end(), {0x21, 0xFE});
    return SubBlocks(lines);
  }
  GifFile& PlainText(int left, int top, int w, int h, int cw, int ch, int fg, int bg,
                     const std::vector<std::string>& lines) {
    data.insert(data.end(), {0x21, 0x01, 12});
    U16(data, left);
    U16(data, top);
    U16(data, w);
    U16(data, h);
    data.insert(data.end(), {static_cast<uint8_t>(cw), static_cast<uint8_t>(ch), static_cast<uint8_t>(fg),
                             static_cast<uint8_t>(bg)});
    return SubBlocks(lines);
  }
  // An application extension with a block of Size bytes holding Id (padded with zeros).
  GifFile& App(const std::string& id, const std::vector<std::string>& blocks, int size = 11) {
    data.insert(data.end(), {0x21, 0xFF, static_cast<uint8_t>(size)});
    for (int i = 0; i < size; ++i) data.push_back(i < static_cast<int>(id.size()) ? static_cast<uint8_t>(id[i]) : 0);
    return SubBlocks(blocks);
  }
  GifFile& Loop(int count, const char* id = "NETSCAPE2.0") {
    return App(id, {std::string{1, static_cast<char>(count & 255), static_cast<char>(count >> 8)}});
  }
  // A frame with Pixels (rows top-down) coded as literals.
  GifFile& Frame(int x, int y, int w, int h, const Bytes& pixels, const std::vector<RGB3>& local = {},
                 bool interlaced = false, int codeSize = 0) {
    Descriptor(x, y, w, h, local, interlaced);
    if (codeSize == 0) codeSize = std::max(2, TableBits(local.size()) + 1);
    const Bytes block = LiteralImageData(interlaced ? InterlaceRows(pixels, w, h) : pixels, codeSize);
    data.insert(data.end(), block.begin(), block.end());
    return *this;
  }
  GifFile& Descriptor(int x, int y, int w, int h, const std::vector<RGB3>& local = {}, bool interlaced = false) {
    data.push_back(0x2C);
    U16(data, x);
    U16(data, y);
    U16(data, w);
    U16(data, h);
    const int bits = TableBits(local.size());
    data.push_back(static_cast<uint8_t>((local.empty() ? 0 : 0x80 | bits) | (interlaced ? 0x40 : 0)));
    Table(local);
    return *this;
  }
  GifFile& Raw(const Bytes& b) {
    data.insert(data.end(), b.begin(), b.end());
    return *this;
  }
  Bytes Done() {
    data.push_back(0x3B);
    return data;
  }
};

// Greys 0, 1, ... as a colour table of N entries (entry i is (i * 17 % 256, i * 31 % 256, i * 7 % 256)).
inline std::vector<RGB3> Colors(int n) {
  std::vector<RGB3> t;
  for (int i = 0; i < n; ++i)
    t.push_back({static_cast<uint8_t>(i * 17), static_cast<uint8_t>(i * 31 + 5), static_cast<uint8_t>(i * 7 + 9)});
  return t;
}

inline Bytes Pattern(int w, int h, int colors, int seed = 0) {
  Bytes b(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>((x / 3 + y * 5 + seed) % colors);
  return b;
}

struct Loaded {
  std::unique_ptr<TGIFImage> image;
  std::vector<std::string> warnings;
  std::string error;  // the message of a failed load
};

inline Loaded Load(const Bytes& bytes) {
  Loaded r;
  r.image = std::make_unique<TGIFImage>();
  r.image->OnGIFWarning = [&w = r.warnings](TObject*, int32_t, const std::string& m) { w.push_back(m); };
  TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  try {
    r.image->LoadFromStream(s);
  } catch (const Exception& e) {
    r.error = e.what();
  }
  r.image->OnGIFWarning = nullptr;
  return r;
}

inline Bytes Save(TGIFImage& image) {
  TMemoryStream s;
  image.SaveToStream(s);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

inline Bytes FramePixels(TGIFSubImage* f) { return Bytes(f->Data(), f->Data() + f->DataSize()); }

}  // namespace giftest

namespace giftest {

// An independent GIF LZW decoder for checking what the encoders write: a table of byte strings,
// 12-bit codes at most, no entries added once it is full. Reads the block after its code-size byte.
struct ReferenceDecoded {
  Bytes pixels;
  int largestEntry = 0;  // the largest table entry the stream defined
  int clears = 0;
  bool endCode = false;
  std::vector<int> blockSizes;
};

inline ReferenceDecoded ReferenceDecode(const Bytes& block) {
  ReferenceDecoded r;
  const int codeSize = block.at(0);
  Bytes data;
  size_t at = 1;
  while (at < block.size() && block[at] != 0) {
    r.blockSizes.push_back(block[at]);
    data.insert(data.end(), block.begin() + static_cast<ptrdiff_t>(at + 1),
                block.begin() + static_cast<ptrdiff_t>(at + 1 + block[at]));
    at += 1 + block[at];
  }
  const int clear = 1 << codeSize, end = clear + 1;
  std::vector<Bytes> table;
  int width = codeSize + 1;
  uint64_t bit = 0;
  const auto next = [&](int& code) {
    if (bit + width > data.size() * 8) return false;
    code = 0;
    for (int i = 0; i < width; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
    return true;
  };
  const auto reset = [&] {
    table.assign(static_cast<size_t>(clear + 2), Bytes{});
    for (int i = 0; i < clear; ++i) table[static_cast<size_t>(i)] = Bytes{static_cast<uint8_t>(i)};
    width = codeSize + 1;
  };
  reset();
  Bytes previous;
  int code = 0;
  while (next(code)) {
    if (code == clear) {
      reset();
      previous.clear();
      ++r.clears;
      continue;
    }
    if (code == end) {
      r.endCode = true;
      break;
    }
    Bytes entry;
    if (code < static_cast<int>(table.size()) && !table[static_cast<size_t>(code)].empty())
      entry = table[static_cast<size_t>(code)];
    else if (code == static_cast<int>(table.size()) && !previous.empty()) {
      entry = previous;
      entry.push_back(previous[0]);
    } else {
      break;  // a code no standard decoder could read
    }
    if (!previous.empty() && table.size() < 4096) {
      Bytes added = previous;
      added.push_back(entry[0]);
      table.push_back(added);
      r.largestEntry = std::max(r.largestEntry, static_cast<int>(table.size()) - 1);
      if (static_cast<int>(table.size()) == (1 << width) && width < 12) ++width;
    }
    r.pixels.insert(r.pixels.end(), entry.begin(), entry.end());
    previous = entry;
  }
  return r;
}

}  // namespace giftest
