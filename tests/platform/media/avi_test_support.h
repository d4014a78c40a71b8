#pragma once
// Helpers of the AVI services' tests: RIFF files built byte by byte, owners of the services'
// handles, and the independent readers (libavformat in-process, ffprobe) that check our files.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/media/avi_file.h"

namespace avitest {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void Put64(Bytes& b, uint64_t v) {
  Put32(b, static_cast<uint32_t>(v));
  Put32(b, static_cast<uint32_t>(v >> 32));
}
inline void PutId(Bytes& b, const char* id) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(id[i]));
}
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// A chunk: id, size, data, pad byte. SizeOverride stores another size than the data's.
inline Bytes Chunk(const char* id, const Bytes& data, int64_t SizeOverride = -1) {
  Bytes b;
  PutId(b, id);
  Put32(b, static_cast<uint32_t>(SizeOverride >= 0 ? SizeOverride : static_cast<int64_t>(data.size())));
  Append(b, data);
  if (data.size() & 1) b.push_back(0);
  return b;
}
inline Bytes List(const char* kind, const char* type, const Bytes& content) {
  Bytes b;
  PutId(b, kind);
  Put32(b, static_cast<uint32_t>(content.size() + 4));
  PutId(b, type);
  Append(b, content);
  return b;
}

// An uncompressed AVI built by hand: frames as given (rows as stored), an optional palette,
// palette changes before given frames, and the index written in one of several ways.
struct RawAvi {
  int32_t Width = 16, Height = 8;  // a negative height: rows top-down
  uint16_t Bits = 24;
  uint32_t Compression = 0;
  std::vector<uint32_t> Palette;   // 0x00RRGGBB per entry
  std::vector<Bytes> Frames;       // an empty frame: an empty chunk (a dropped frame)
  std::map<int, Bytes> PaletteChanges;  // record written before frame k
  uint32_t Scale = 1, Rate = 25;
  int64_t Length = -1;             // the header's length (-1: the frame count)
  enum Index { Idx1, Idx1Absolute, None, OpenDml } IndexKind = Idx1;
  int FramesPerPart = 3;           // OpenDML: frames per RIFF part

  Bytes Format() const {
    Bytes f;
    Put32(f, 40);
    Put32(f, static_cast<uint32_t>(Width));
    Put32(f, static_cast<uint32_t>(Height));
    Put16(f, 1);
    Put16(f, Bits);
    Put32(f, Compression);
    Put32(f, 0);
    Put32(f, 0);
    Put32(f, 0);
    Put32(f, static_cast<uint32_t>(Palette.size()));
    Put32(f, 0);
    for (uint32_t c : Palette) Put32(f, c);
    return f;
  }

  Bytes Build() const {
    const bool raw = Compression == 0;
    const char* frameId = raw ? "00db" : "00dc";
    Bytes strh;
    PutId(strh, "vids");
    Put32(strh, Compression);
    Put32(strh, 0);
    Put32(strh, 0);
    Put32(strh, 0);
    Put32(strh, Scale);
    Put32(strh, Rate);
    Put32(strh, 0);
    Put32(strh, static_cast<uint32_t>(Length >= 0 ? Length : static_cast<int64_t>(Frames.size())));
    Put32(strh, 0);
    Put32(strh, 0xFFFFFFFF);
    Put32(strh, 0);
    Put16(strh, 0);
    Put16(strh, 0);
    Put16(strh, static_cast<uint32_t>(Width));
    Put16(strh, static_cast<uint32_t>(std::abs(Height)));
    Bytes avih(56, 0);
    avih[24] = 1;  // one stream
    Bytes strl = Chunk("strh", strh);
    Append(strl, Chunk("strf", Format()));
    const size_t indxAt = strl.size() + 8 + 12 + 8;  // within hdrl's content, patched below
    if (IndexKind == OpenDml) {
      Bytes indx(24 + 16 * 8, 0);
      Append(strl, Chunk("indx", indx));
    }
    Bytes hdrl = Chunk("avih", avih);
    const size_t strlAt = hdrl.size();
    Append(hdrl, List("LIST", "strl", strl));
    Bytes file;
    PutId(file, "RIFF");
    Put32(file, 0);
    PutId(file, "AVI ");
    Append(file, List("LIST", "hdrl", hdrl));
    (void)indxAt;
    // The position of the indx data in the file.
    const size_t indxData = 12 + 12 + strlAt + 12 + (strl.size() - (24 + 16 * 8) - 8) + 8;

    struct Entry {
      std::string id;
      size_t offset;  // of the chunk header
      uint32_t size;
      bool key;
    };
    std::vector<Entry> entries;
    std::vector<std::pair<size_t, size_t>> parts;  // (riff start, movi start)
    std::vector<Bytes> superEntries;
    size_t riffStart = 0;
    auto beginMovi = [&] {
      const size_t at = file.size();
      PutId(file, "LIST");
      Put32(file, 0);
      PutId(file, "movi");
      parts.push_back({riffStart, at});
      return at;
    };
    size_t movi = beginMovi();
    std::vector<Entry> partEntries;
    auto endPart = [&](bool first) {
      if (IndexKind == OpenDml && !partEntries.empty()) {
        Bytes ix;
        Put16(ix, 2);
        ix.push_back(0);
        ix.push_back(1);
        Put32(ix, static_cast<uint32_t>(partEntries.size()));
        PutId(ix, frameId);
        Put64(ix, riffStart);
        Put32(ix, 0);
        for (const Entry& e : partEntries) {
          Put32(ix, static_cast<uint32_t>(e.offset + 8 - riffStart));
          Put32(ix, e.size | (e.key ? 0 : 0x80000000u));
        }
        Bytes se;
        Put64(se, file.size());
        Put32(se, static_cast<uint32_t>(ix.size() + 8));
        Put32(se, static_cast<uint32_t>(partEntries.size()));
        superEntries.push_back(se);
        Append(file, Chunk("ix00", ix));
      }
      partEntries.clear();
      const uint32_t moviSize = static_cast<uint32_t>(file.size() - movi - 8);
      std::memcpy(file.data() + movi + 4, &moviSize, 4);
      if (first && (IndexKind == Idx1 || IndexKind == Idx1Absolute)) {
        Bytes idx;
        for (const Entry& e : entries) {
          PutId(idx, e.id.c_str());
          Put32(idx, e.key ? 0x10 : 0);
          Put32(idx, static_cast<uint32_t>(IndexKind == Idx1Absolute ? e.offset : e.offset - (movi + 8)));
          Put32(idx, e.size);
        }
        Append(file, Chunk("idx1", idx));
      }
      const uint32_t riffSize = static_cast<uint32_t>(file.size() - riffStart - 8);
      std::memcpy(file.data() + riffStart + 4, &riffSize, 4);
    };
    for (size_t k = 0; k < Frames.size(); ++k) {
      if (IndexKind == OpenDml && k > 0 && k % FramesPerPart == 0) {
        endPart(parts.size() == 1);
        riffStart = file.size();
        PutId(file, "RIFF");
        Put32(file, 0);
        PutId(file, "AVIX");
        movi = beginMovi();
      }
      auto pc = PaletteChanges.find(static_cast<int>(k));
      if (pc != PaletteChanges.end()) {
        entries.push_back({"00pc", file.size(), static_cast<uint32_t>(pc->second.size()), false});
        Append(file, Chunk("00pc", pc->second));
      }
      const Entry e{frameId, file.size(), static_cast<uint32_t>(Frames[k].size()), !Frames[k].empty()};
      entries.push_back(e);
      partEntries.push_back(e);
      Append(file, Chunk(frameId, Frames[k]));
    }
    endPart(parts.size() == 1);
    if (IndexKind == OpenDml) {
      Bytes indx;
      Put16(indx, 4);
      indx.push_back(0);
      indx.push_back(0);
      Put32(indx, static_cast<uint32_t>(superEntries.size()));
      PutId(indx, frameId);
      Put32(indx, 0);
      Put32(indx, 0);
      Put32(indx, 0);
      for (const Bytes& se : superEntries) Append(indx, se);
      std::memcpy(file.data() + indxData, indx.data(), std::min<size_t>(indx.size(), 24 + 16 * 8));
    }
    return file;
  }
};

// A frame of Width x Height, every pixel one colour index or one 24-bit colour, rows as the DIB
// stores them.
inline Bytes FlatRows(int32_t Width, int32_t Height, uint16_t Bits, uint32_t Value) {
  const size_t row = static_cast<size_t>((Width * Bits + 31) / 32 * 4);
  Bytes b(row * static_cast<size_t>(std::abs(Height)), 0);
  for (int y = 0; y < std::abs(Height); ++y) {
    for (int x = 0; x < Width; ++x) {
      uint8_t* p = b.data() + y * row;
      switch (Bits) {
        case 1: if (Value) p[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8)); break;
        case 4: p[x / 2] |= static_cast<uint8_t>((Value & 15) << (x % 2 ? 0 : 4)); break;
        case 8: p[x] = static_cast<uint8_t>(Value); break;
        case 16: p[2 * x] = static_cast<uint8_t>(Value), p[2 * x + 1] = static_cast<uint8_t>(Value >> 8); break;
        case 24: p[3 * x] = static_cast<uint8_t>(Value), p[3 * x + 1] = static_cast<uint8_t>(Value >> 8), p[3 * x + 2] = static_cast<uint8_t>(Value >> 16); break;
        case 32: std::memcpy(p + 4 * x, &Value, 4); break;
      }
    }
  }
  return b;
}

// Owners that release what the services hand out.
struct File {
  PAVIFILE p = nullptr;
  ~File() {
    if (p) AVIFileRelease(p);
  }
};
struct Stream {
  PAVISTREAM p = nullptr;
  ~Stream() {
    if (p) AVIStreamRelease(p);
  }
};
struct Frames {
  PGETFRAME p = nullptr;
  ~Frames() {
    if (p) AVIStreamGetFrameClose(p);
  }
};

// What libavformat and libavcodec (in this process) find in a file: per stream the codec, its
// tag, the size, the packets and, for video, the decoded frames as BGR24 rows (top row first).
struct Probe {
  bool Opened = false;
  struct S {
    std::string Type, Codec, Tag;
    int Width = 0, Height = 0, RateNum = 0, RateDen = 0;
    int64_t Packets = 0;
    std::vector<Bytes> Frames;
  };
  std::vector<S> Streams;
};
Probe ProbeWithLibav(const std::string& FileName, bool DecodeVideo);

// ffprobe -count_frames on the first video (or the first) stream: its keys and values; the test
// fails when ffprobe is missing.
std::map<std::string, std::string> FFprobe(const std::string& FileName, const std::string& Select = "v:0");

}  // namespace avitest
