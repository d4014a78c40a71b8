#pragma once
// What the JPEG 2000 reader and writer share: OpenJPEG streams over a TStream, a codec with our
// error handlers and thread count, and the bounded walk of a JP2 file's header boxes.
#include <openjpeg.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TStream;

namespace j2000 {

// The TStream an OpenJPEG stream works on, from the position it had when bound.
struct TStreamBinding {
  TStream* stream = nullptr;
  int64_t base = 0;  // the stream's position when bound: OpenJPEG's offset 0
  bool failed = false;  // a read, write or seek raised
};

struct StreamDeleter {
  void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct CodecDeleter {
  void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct ImageDeleter {
  void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};
using StreamPtr = std::unique_ptr<opj_stream_t, StreamDeleter>;
using CodecPtr = std::unique_ptr<opj_codec_t, CodecDeleter>;
using ImagePtr = std::unique_ptr<opj_image_t, ImageDeleter>;

// An input stream over Binding's stream (length: the bytes left) or an output stream.
StreamPtr MakeStream(TStreamBinding& Binding, bool Input);

// The first error OpenJPEG reported on a codec.
struct TCodecErrors {
  std::string first;
};
// A decoder or encoder with error and warning handlers and the engine's thread count.
CodecPtr MakeCodec(OPJ_CODEC_FORMAT Format, bool Decoder, TCodecErrors& Errors);
// IEJ2000ThreadCount, or every core.
int32_t ThreadCount();

// The colour spaces a file can declare.
enum class TColorSpace { Unknown, Grey, RGB, YCbCr, Other };

// What the header boxes of a JP2 file say, or the SIZ marker of a code stream.
struct THeaderFacts {
  bool jp2 = false;
  TColorSpace colorSpace = TColorSpace::Unknown;  // JP2 colour specification
  bool channelDefinition = false;  // a cdef box was read
  std::vector<int32_t> opacity;  // components a channel definition marks as opacity
  int64_t codeStreamAt = -1;     // offset of the code stream from the file's start
  int64_t codeStreamBytes = 0;   // its length (to the end of its box or the stream)
  // From SIZ.
  uint32_t width = 0, height = 0;
  uint32_t tileWidth = 0, tileHeight = 0, tileX0 = 0, tileY0 = 0, x0 = 0, y0 = 0;
  uint32_t components = 0;
};

// Walks the boxes of the JP2 file (or the SIZ of the code stream) at the stream's position, within
// the bytes the stream holds. False for a structure it cannot follow. The position is restored.
bool ReadHeaderFacts(TStream& Stream, bool Jp2, THeaderFacts& Facts);

}  // namespace j2000
