#pragma once
// The GIF codec: one frame of a GIF file read into a TIEBitmap (palette, 24-bit or 1-bit) with an
// optional transparency mask, a bitmap written as a one-frame GIF, and the block walker that counts
// the frames of a file or copies it without one frame. All numbers in GIF files are little-endian.
// The LZW coding goes through the parameter record's coders, or the global hooks when those are nil.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_progress.h"

class TIEBitmap;
class TIEByteReader;
class TIEMask;
class TIOParamsVals;
class TStream;

// Where the frames of a GIF lie, found in one walk of its blocks. A loader of several frames of one
// file indexes it once and reads each frame straight from its place, where a read without an index
// walks the blocks from the file's start for every frame (and on to its end, to count the frames).
struct TGIFFrameEntry {
  int64_t Image = 0;             // the stream position of the image descriptor, after its ","
  int32_t CommentsBefore = 0;    // comment blocks met before the frame's image
  uint8_t ControlPacked = 0;     // the graphic control extension that applies to the frame
  uint16_t Delay = 0;
  uint8_t TransparentIndex = 0;
};
struct TGIFFrameIndex {
  int64_t Origin = -1;  // the stream position and size the walk was made at; another stream
  int64_t Size = -1;    // position or size makes the index unusable (the read then walks)
  int64_t End = -1;     // the stream position after the trailer (or the end of the data)
  std::vector<TGIFFrameEntry> Frames;
  std::vector<std::string> Comments;  // the texts of every comment block, in file order
};

// Walks the GIF at the stream's position once, as a read of any frame does, and fills Index with the
// frames it would find. Leaves the stream where it was. Returns false (Index empty) when the data is
// not a GIF.
bool IndexGIFFrames(TStream& Stream, TGIFFrameIndex& Index);

// Reads frame Params.GifImageIndex from the stream's position. FrameCount and the record's image
// count get the number of frames in the file. With ParamsOnly only the parameters are read. Unless
// NoMask, Mask receives an 8-bit transparency mask (created when nil) when the frame has a
// transparent colour that some pixel uses, and is nil otherwise. Failures set Progress's abort flag:
// not a GIF, a frame past the last one, a frame that cannot be decoded, a frame size the file cannot
// hold, a bitmap that cannot be allocated. Pixels no code reached hold the background index; indices
// past the colour table read as black. With an Index of this stream (IndexGIFFrames) the frame is read
// from its place with the same results, its blocks not walked again.
void ReadGIFStream(TStream& Stream, TIEBitmap& Bitmap, int32_t& FrameCount, TIOParamsVals& Params,
                   TIEProgressRecord& Progress, bool ParamsOnly, std::unique_ptr<TIEMask>& Mask, bool NoMask,
                   const TGIFFrameIndex* Index = nullptr);

// Writes Bitmap (any pixel format; converted first where needed) as a complete one-frame GIF with
// Params.BitsPerSample bits per pixel (1..8), a global colour table, a graphic control extension, the
// comment extension and the trailer. An alpha channel reserves the last table entry for transparency
// (a 1-bit image then takes 2 bits, so both of its colours stay). Failures (a write that fell short,
// no LZW coder, a size GIF cannot hold) set the abort flag.
void WriteGIFStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);

// Walks the GIF at the stream's position block by block and writes a copy without frame FrameIndex
// (its image and the graphic control extension met while it is the next frame) to Dest, which may be
// nil to only count. FrameIndex -1 copies every frame. Returns the number of frames copied, 0 when the
// data is not a GIF. Truncated is set when a copied frame runs past the end of the data.
int32_t CopyGIFWithoutFrame(TStream& Source, TStream* Dest, int32_t FrameIndex, bool& Truncated);

// The frames of the GIF at the stream's position (0 when it is not a GIF).
int32_t CountGIFFramesInStream(TStream& Stream);

// Steps over the data sub-blocks at the reader's position, through their terminator or to the end
// of the data, and returns the number of data bytes they hold (of a sub-block cut short, what is
// there).
int64_t SkipGIFSubBlocks(TIEByteReader& Reader);

// Copies the GIF file without frame FrameIndex into memory and, with Save, writes the copy over the
// file through a temporary file that replaces it only when complete (a copy of a truncated file is
// not written back). Returns the number of frames copied; 0 when the file is not a GIF, cannot be
// read, or the copy cannot be written (the file then stays as it was). Never raises.
int32_t DeleteGIFFrame(const std::string& FileName, int32_t FrameIndex, bool Save);

// Copies Count bytes from Source to Destination, or fewer when the source has fewer left; returns the
// number copied.
int64_t CopyStreamBytes(TStream& Destination, TStream& Source, int64_t Count);
