// The GIF block walker: frame counting and copies of a file without one frame.
#include <algorithm>
#include <cstring>

#include "imaging/core/ie_byte_reader.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/gif_codec.h"
#include "platform/system/streams.h"

namespace {

// Copies from the reader to an optional destination; Dest nil only reads.
class TGIFCopier {
 public:
  TGIFCopier(TIEByteReader& r, TStream* dest) : r_(r), dest_(dest) {}

  void Emit(const void* data, int64_t count) {
    if (dest_ && count > 0) dest_->WriteBuffer(data, static_cast<int32_t>(count));
  }
  void EmitByte(uint8_t b) { Emit(&b, 1); }

  // Copies Count bytes, or what is left; false when fewer were there.
  bool Copy(int64_t count) {
    uint8_t buffer[4096];
    while (count > 0) {
      const int64_t n = std::min<int64_t>({count, static_cast<int64_t>(sizeof buffer), r_.Remaining()});
      if (n <= 0) return false;
      r_.Read(buffer, n);
      Emit(buffer, n);
      count -= n;
    }
    return true;
  }

  // Copies sub-blocks through the terminator; false when the data ended inside them.
  bool CopySubBlocks() {
    for (;;) {
      if (r_.Remaining() == 0) return false;
      const uint8_t len = r_.U8();
      EmitByte(len);
      if (len == 0) return true;
      if (!Copy(len)) return false;
    }
  }

 private:
  TIEByteReader& r_;
  TStream* dest_;
};

}  // namespace

int64_t SkipGIFSubBlocks(TIEByteReader& Reader) {
  int64_t bytes = 0;
  while (Reader.Remaining() > 0) {
    const uint8_t len = Reader.U8();
    if (len == 0) break;
    const int64_t step = std::min<int64_t>(len, Reader.Remaining());
    Reader.Skip(step);
    bytes += step;
  }
  return bytes;
}

int32_t CopyGIFWithoutFrame(TStream& Source, TStream* Dest, int32_t FrameIndex, bool& Truncated) {
  Truncated = false;
  TIEByteReader r(Source);
  uint8_t head[13];
  if (!r.Read(head, 13) || std::memcmp(head, "GIF", 3) != 0) return 0;
  TGIFCopier copy(r, Dest);
  std::memcpy(head + 3, "89a", 3);
  copy.Emit(head, 13);
  if ((head[10] & 0x80) && !copy.Copy(3 * (2 << (head[10] & 7)))) Truncated = true;

  int32_t frame = 0;
  int32_t copied = 0;
  for (bool walking = !Truncated; walking;) {
    const uint8_t block = r.Remaining() > 0 ? r.U8() : 0x3B;
    switch (block) {
      case 0x21: {
        if (r.Remaining() == 0) {
          Truncated = true;
          walking = false;
          break;
        }
        const uint8_t label = r.U8();
        if (label == 0xF9 && frame == FrameIndex) {
          SkipGIFSubBlocks(r);
        } else {
          copy.EmitByte(0x21);
          copy.EmitByte(label);
          if (!copy.CopySubBlocks()) {
            Truncated = true;
            walking = false;
          }
        }
        break;
      }
      case 0x2C: {
        uint8_t desc[9];
        if (!r.Read(desc, 9)) {
          Truncated = true;
          walking = false;
          break;
        }
        const int64_t tableBytes = (desc[8] & 0x80) ? 3 * (2 << (desc[8] & 7)) : 0;
        if (frame == FrameIndex) {
          r.Skip(std::min(tableBytes + 1, r.Remaining()));
          SkipGIFSubBlocks(r);
        } else {
          copy.EmitByte(0x2C);
          copy.Emit(desc, 9);
          ++copied;
          if (!copy.Copy(tableBytes + 1) || !copy.CopySubBlocks()) {
            Truncated = true;
            walking = false;
          }
        }
        ++frame;
        break;
      }
      case 0x3B:
        copy.EmitByte(0x3B);
        walking = false;
        break;
      default:
        break;  // anything else between blocks is dropped
    }
  }
  return copied;
}

int32_t CountGIFFramesInStream(TStream& Stream) {
  bool truncated = false;
  try {
    TIEBufferedReadStream buffered(Stream, 8192, true);
    return CopyGIFWithoutFrame(buffered, nullptr, -1, truncated);
  } catch (const Exception&) {
    return 0;
  }
}

int32_t DeleteGIFFrame(const std::string& FileName, int32_t FrameIndex, bool Save) {
  try {
    TMemoryStream copy;
    bool truncated = false;
    int32_t copied = 0;
    {
      TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
      TIEBufferedReadStream buffered(file, 8192, false);
      copied = CopyGIFWithoutFrame(buffered, &copy, FrameIndex, truncated);
    }
    // Nothing replaces the file unless the copy is a whole GIF.
    if (Save && copy.Size() > 0 && !truncated) {
      TSafeFileStream out(FileName);
      copy.SaveToStream(out);
      out.Commit();
    }
    return copied;
  } catch (const Exception&) {
    // A file that cannot be read, or a copy that cannot be written (the file then stays as it was):
    // nothing was done, as for a file that is not a GIF.
    return 0;
  }
}

int64_t CopyStreamBytes(TStream& Destination, TStream& Source, int64_t Count) {
  uint8_t buffer[65536];
  int64_t done = 0;
  while (done < Count) {
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(Count - done, sizeof buffer));
    const int32_t got = Source.Read(buffer, want);
    if (got <= 0) break;
    Destination.WriteBuffer(buffer, got);
    done += got;
  }
  return done;
}
