// GIF reading: the block walk over a file and the decoding of the chosen frame.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/io_params.h"
#include "imaging/io/lzw_hooks.h"
#include "platform/system/streams.h"

namespace {

constexpr uint8_t kExtension = 0x21;   // "!"
constexpr uint8_t kImage = 0x2C;       // ","
constexpr uint8_t kTrailer = 0x3B;     // ";"
constexpr uint8_t kGraphicControl = 0xF9;
constexpr uint8_t kComment = 0xFE;

// The best case of LZW: a 12-bit code stands for at most 4096 pixels, so a byte of data for at most
// 2731 of them.
constexpr int64_t kGIFMaxPixelsPerByte = 2731;

// A colour table as read (red and blue swapped into TIERGB), always 256 entries so that any index
// finds a colour: entries past the table's own size are black.
struct TGIFColorTable {
  std::array<TIERGB, 256> colors{};
  int32_t count = 0;  // entries the file gave (2..256), 0 for none
  int32_t bits = 0;   // count = 2^bits
};

bool ReadColorTable(TIEByteReader& r, int32_t sizeField, TGIFColorTable& table) {
  table = TGIFColorTable{};
  table.bits = (sizeField & 7) + 1;
  table.count = 1 << table.bits;
  uint8_t raw[768];
  if (!r.Read(raw, table.count * 3)) return false;
  for (int32_t i = 0; i < table.count; ++i) table.colors[i] = CreateRGB(raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]);
  return true;
}

// A grey ramp of 2^bits entries for a frame that has no colour table at all.
TGIFColorTable GreyTable(int32_t bits) {
  TGIFColorTable table;
  table.bits = std::clamp(bits, 1, 8);
  table.count = 1 << table.bits;
  for (int32_t i = 0; i < table.count; ++i) {
    const uint8_t v = static_cast<uint8_t>(i * 255 / (table.count - 1));
    table.colors[i] = CreateRGB(v, v, v);
  }
  return table;
}

// The values of the graphic control extension that applies to the next frame.
struct TGIFGraphicControl {
  uint8_t packed = 0;
  uint16_t delay = 0;
  uint8_t transparentIndex = 0;
};

// Reads the graphic control extension at the reader (after its label) and steps over its blocks as
// any other extension is stepped over, so the walk never depends on which frame is wanted. A first
// block cut short gives zeros, as the fields of a missing one would be.
void ReadGraphicControl(TIEByteReader& r, TGIFGraphicControl& gce) {
  const int64_t start = r.Position();
  const uint8_t len = r.U8();
  if (len >= 4) {
    uint8_t data[4] = {};
    if (r.Has(len)) r.Read(data, 4);
    gce.packed = data[0];
    gce.delay = static_cast<uint16_t>(data[1] | data[2] << 8);
    gce.transparentIndex = data[3];
  }
  r.Seek(start);
  SkipGIFSubBlocks(r);
}

void ReadComments(TIEByteReader& r, std::vector<std::string>& comments) {
  while (r.Remaining() > 0) {
    const uint8_t len = r.U8();
    if (len == 0) break;
    char text[256];
    const int64_t got = std::min<int64_t>(len, r.Remaining());
    r.Read(text, got);
    const size_t n = strnlen(text, static_cast<size_t>(got));
    if (n > 0) comments.emplace_back(text, n);
    if (got < len) break;
  }
}

// Reads the header and the global colour table; false when the data is not a GIF or is cut inside
// them.
bool ReadGIFHeader(TIEByteReader& r, uint8_t (&head)[13], TGIFColorTable& global) {
  if (!r.Read(head, 13) || std::memcmp(head, "GIF", 3) != 0) return false;
  return !(head[10] & 0x80) || ReadColorTable(r, head[10] & 7, global);
}

// Walks the blocks from the reader's position (after the global table) to the trailer or the end
// of the data and notes where each frame lies. Every pass of the loop consumes at least one byte, so
// the walk ends with the data; a frame whose descriptor or local table is cut ends it too.
void WalkFrames(TIEByteReader& r, TGIFFrameIndex& index) {
  TGIFGraphicControl gce;
  for (;;) {
    const uint8_t block = r.Remaining() > 0 ? r.U8() : kTrailer;
    if (block == kExtension) {
      const uint8_t label = r.U8();
      if (label == kGraphicControl)
        ReadGraphicControl(r, gce);
      else if (label == kComment)
        ReadComments(r, index.Comments);
      else
        SkipGIFSubBlocks(r);
    } else if (block == kImage) {
      TGIFFrameEntry entry;
      entry.Image = r.Position();
      entry.CommentsBefore = static_cast<int32_t>(index.Comments.size());
      entry.ControlPacked = gce.packed;
      entry.Delay = gce.delay;
      entry.TransparentIndex = gce.transparentIndex;
      uint8_t desc[9];
      if (!r.Read(desc, 9)) break;
      if ((desc[8] & 0x80) != 0 && !r.Skip(3 * (2 << (desc[8] & 7)))) break;
      r.Skip(1);  // the LZW code size
      SkipGIFSubBlocks(r);
      index.Frames.push_back(entry);
      gce = TGIFGraphicControl{};  // each frame has its own graphic control
    } else if (block == kTrailer) {
      break;
    }
  }
  index.End = r.Position();
}

struct TGIFFrameContext {
  TStream& stream;
  TIEByteReader& reader;
  TIEBitmap& bitmap;
  TIOParamsVals& params;
  TIEProgressRecord& progress;
  bool paramsOnly;
  std::unique_ptr<TIEMask>& mask;
  bool noMask;
  const TGIFColorTable& globalTable;
  uint8_t backgroundIndex;
  const TGIFGraphicControl& gce;
};

// Loads the frame whose descriptor (9 bytes, after the ",") is Desc and whose local table, when it
// has one, was read into Local. Returns false when the walk must stop.
bool LoadFrame(TGIFFrameContext& c, const uint8_t* desc, const TGIFColorTable* local) {
  TIEProgressRecord& progress = c.progress;
  TIOParamsVals& params = c.params;
  progress.Report(30);
  if (progress.IsAborting()) return false;

  const int32_t left = desc[0] | desc[1] << 8;
  const int32_t top = desc[2] | desc[3] << 8;
  const int32_t width = desc[4] | desc[5] << 8;
  const int32_t height = desc[6] | desc[7] << 8;
  const bool interlaced = (desc[8] & 0x40) != 0;

  // The table in use: the local one, else the global one, else a grey ramp as wide as the codes.
  TGIFColorTable table;
  if (local)
    table = *local;
  else if (c.globalTable.count > 0)
    table = c.globalTable;
  else {
    uint8_t codeSize = 8;
    if (c.reader.Remaining() > 0) {
      const int64_t at = c.reader.Position();
      codeSize = c.reader.U8();
      c.reader.Seek(at);
    }
    table = GreyTable(codeSize);
  }

  params.GifTranspColor = table.colors[c.gce.transparentIndex];
  params.GifXPos = left;
  params.GifYPos = top;
  params.Width = params.OriginalWidth = width;
  params.Height = params.OriginalHeight = height;
  params.GifDelayTime = c.gce.delay;
  params.GifFlagTranspColor = (c.gce.packed & 1) != 0;
  params.GifAction = static_cast<uint8_t>((c.gce.packed >> 2) & 7);
  params.GifInterlaced = interlaced;

  std::vector<uint8_t> indices;
  if (!c.paramsOnly) {
    // Only this frame's own data can hold its pixels: its sub-blocks are counted before anything
    // is allocated, not the bytes of later frames or whatever follows the trailer.
    const int64_t dataStart = c.reader.Position();
    c.reader.Skip(1);  // the LZW code size
    const int64_t dataBytes = SkipGIFSubBlocks(c.reader);
    c.reader.Seek(dataStart);
    const TIEImageData data{.Bytes = dataBytes, .BitsPerPixel = 8, .MaxPixelsPerByte = kGIFMaxPixelsPerByte};
    if (!IEImageSizePlausible(width, height, data)) {
      progress.Abort();
      return false;
    }
    // Pixels that no code reaches show the background.
    const uint8_t fill = c.backgroundIndex < table.count ? c.backgroundIndex : 0;
    try {
      indices.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    } catch (const std::bad_alloc&) {
      progress.Abort();
      return false;
    }
    TGIFLZWDecompFunc decode = params.GifLZWDecompressor ? params.GifLZWDecompressor : GIFLZWDecodeHook.load();
    const int64_t before = c.reader.Position();
    int64_t after = before;
    if (decode) {
      c.stream.Seek(before, soBeginning);
      decode(c.stream, height, width, interlaced, indices.data());
      after = c.stream.Position();
    }
    if (after == before || !c.reader.Seek(after)) {
      progress.Abort();
      return false;
    }
    progress.Report(70);
    if (progress.IsAborting()) return false;
  } else {
    // Step over the image data to go on walking.
    c.reader.Skip(1);
    SkipGIFSubBlocks(c.reader);
  }

  params.SetColorMap(table.colors.data(), table.count);
  params.BitsPerSample = table.bits;
  params.ColorMapCount = table.count;
  if (c.paramsOnly) return true;

  const bool bilevel = table.bits == 1 && SameRGB(table.colors[0], CreateRGB(0, 0, 0)) &&
                       SameRGB(table.colors[1], CreateRGB(255, 255, 255));
  if (!bilevel && (width > 65000 || height > 65000) && c.reader.Remaining() < 2000) {
    progress.Abort();
    return false;
  }
  const TIEPixelFormat format = bilevel ? ie1g : (params.IsNativePixelFormat ? ie8p : ie24RGB);
  if (!c.bitmap.Allocate(width, height, format)) {
    progress.Abort();
    return false;
  }
  const bool wantMask = !c.noMask && params.GifFlagTranspColor;
  const uint8_t transparent = c.gce.transparentIndex;
  if (wantMask) {
    if (!c.mask) c.mask = std::make_unique<TIEMask>();
    c.mask->Allocate(width, height, 8);
    c.mask->Fill(255);
  }
  if (format == ie8p) {
    for (int32_t i = 0; i < 256; ++i) c.bitmap.SetPaletteColor(i, table.colors[i]);
    c.bitmap.SetPaletteUsed(table.count);
  }
  bool anyTransparent = false;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = indices.data() + static_cast<size_t>(y) * width;
    auto* row = static_cast<uint8_t*>(c.bitmap.GetRow(y));
    switch (format) {
      case ie8p:
        std::memcpy(row, src, static_cast<size_t>(width));
        break;
      case ie24RGB: {
        auto* dst = reinterpret_cast<TIERGB*>(row);
        for (int32_t x = 0; x < width; ++x) dst[x] = table.colors[src[x]];
        break;
      }
      default:
        std::memset(row, 0, static_cast<size_t>(c.bitmap.RowLen()));
        for (int32_t x = 0; x < width; ++x)
          if (src[x] == 1) row[x >> 3] |= IEBitMask1[x & 7];
        break;
    }
    if (wantMask) {
      uint8_t* m = c.mask->GetRow(y);
      for (int32_t x = 0; x < width; ++x)
        if (src[x] == transparent) {
          m[x] = 0;
          anyTransparent = true;
        }
    }
  }
  if (wantMask) {
    if (anyTransparent) {
      c.mask->SetFull(false);
      c.mask->RecalcBounds();
    } else {
      c.mask.reset();
    }
  }
  return true;
}

}  // namespace

bool IndexGIFFrames(TStream& Stream, TGIFFrameIndex& Index) {
  Index = TGIFFrameIndex{};
  const int64_t origin = Stream.Position();
  TIEByteReader r(Stream);
  uint8_t head[13];
  TGIFColorTable global;
  const bool gif = ReadGIFHeader(r, head, global);
  if (gif) {
    WalkFrames(r, Index);
    Index.Origin = origin;
    Index.Size = Stream.Size();
  }
  Stream.Seek(origin, soBeginning);
  return gif;
}

void ReadGIFStream(TStream& Stream, TIEBitmap& Bitmap, int32_t& FrameCount, TIOParamsVals& Params,
                   TIEProgressRecord& Progress, bool ParamsOnly, std::unique_ptr<TIEMask>& Mask, bool NoMask,
                   const TGIFFrameIndex* Index) {
  Progress.Report(0);
  if (Progress.IsAborting()) return;
  if (!NoMask) Mask.reset();
  const bool indexed = Index && Index->Origin == Stream.Position() && Index->Size == Stream.Size();
  TIEByteReader r(Stream);
  uint8_t head[13];
  TGIFColorTable global;
  if (!ReadGIFHeader(r, head, global)) {
    Progress.Abort();
    return;
  }
  Params.GifVersion.assign(reinterpret_cast<const char*>(head), 6);
  Params.GifWinWidth = head[6] | head[7] << 8;
  Params.GifWinHeight = head[8] | head[9] << 8;
  Params.GifRatio = head[12];
  Params.SetDpiX(DefaultDPIX);
  Params.SetDpiY(DefaultDPIY);
  Params.SamplesPerPixel = 1;
  const uint8_t backgroundIndex = head[11];
  if (head[10] & 0x80) Params.GifBackground = global.colors[backgroundIndex];
  if (r.Remaining() == 0) {
    FrameCount = 0;
    Params.SetImageCount(0);
    Progress.Abort();
    return;
  }

  // Without an index the blocks are walked here, once, to the end: the frame count and the comments
  // are the whole file's whichever frame is read.
  TGIFFrameIndex walked;
  if (!indexed) {
    const int64_t afterHeader = r.Position();
    WalkFrames(r, walked);
    r.Seek(afterHeader);
    Index = &walked;
  }
  const auto& frames = Index->Frames;
  const int32_t wanted = Params.GifImageIndex;
  int32_t count = static_cast<int32_t>(frames.size());
  int32_t comments = static_cast<int32_t>(Index->Comments.size());
  bool loaded = false;
  if (wanted >= 0 && wanted < count && !Progress.IsAborting()) {
    const TGIFFrameEntry& entry = frames[static_cast<size_t>(wanted)];
    r.Seek(entry.Image);
    uint8_t desc[9];
    TGIFColorTable local;
    r.Read(desc, 9);
    const bool hasLocal = (desc[8] & 0x80) != 0;
    if (hasLocal) ReadColorTable(r, desc[8] & 7, local);
    const TGIFGraphicControl gce{entry.ControlPacked, entry.Delay, entry.TransparentIndex};
    TGIFFrameContext context{Stream, r, Bitmap, Params, Progress, ParamsOnly, Mask, NoMask, global,
                             backgroundIndex, gce};
    loaded = LoadFrame(context, desc, hasLocal ? &local : nullptr);
    // A frame that cannot be loaded ends the file there.
    if (!loaded) {
      count = wanted;
      comments = entry.CommentsBefore;
    }
  }
  // As a walking read does, a read that did not fail leaves the stream after the GIF, where the
  // next picture of a stream of several would begin.
  if (loaded || wanted < 0 || wanted >= static_cast<int32_t>(frames.size())) Stream.Seek(Index->End, soBeginning);
  Params.GifComments.insert(Params.GifComments.end(), Index->Comments.begin(), Index->Comments.begin() + comments);
  FrameCount = count;
  Params.SetImageCount(count);
  // A frame past the last one is a failure, not an unchanged bitmap reported as loaded.
  if (!loaded) Progress.Abort();
  if (!Progress.IsAborting()) Progress.Report(100);
}
