#pragma once
// The JPEG codec's glue to libjpeg: the error manager, the stream source and destination managers,
// and the library calls themselves.
//
// libjpeg reports an error by calling the error manager's exit routine, which must not return. Ours
// notes the message code, sets the caller's abort flag and leaves by longjmp to the setjmp of the
// call that is running: every library call below goes through a small wrapper that holds that
// setjmp, owns no C++ object with a destructor and answers false when the library gave up. No
// exception ever crosses the library: the stream callbacks catch what the streams raise and take the
// abort path (the source hands the library an end of image, the destination drops the bytes).
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <string>

#include <jpeglib.h>

#include "imaging/core/ie_progress.h"

class TStream;

namespace jpegglue {

// Bytes of the source and destination buffers.
constexpr int32_t kBufferSize = 65536;

struct ErrorManager {
  jpeg_error_mgr pub;  // first: the library's pointer to it is a pointer to this
  jpeg_progress_mgr monitor;  // counts the scans of a decompression
  std::jmp_buf jump;
  TIEProgressRecord* progress;  // its abort flag is set on an error; nil: none
  int32_t warnings;
  int32_t lastWarning;
  int32_t errorCode;    // the code of the error that ended a call (-1: none)
  int32_t scanLimit;    // a progressive file with more scans than this is refused
  bool scanLimitHit;
};

struct SourceManager {
  jpeg_source_mgr pub;
  TStream* stream;
  TIEProgressRecord* progress;
  bool startOfFile;
  bool streamFailed;  // the stream raised: the rest of the data counts as missing
  JOCTET buffer[kBufferSize];
};

struct DestinationManager {
  jpeg_destination_mgr pub;
  TStream* stream;
  TIEProgressRecord* progress;
  JOCTET buffer[kBufferSize];
};

// The library's message text for a code, printf conversions written as "?": codes 0 to 123 are the
// classic message table, 73 and 74 (the copyright and version lines) give an empty text, any other
// code "Corrupted".
std::string MessageText(int32_t Code);

// Sets up the error manager for one call sequence (warnings counted, nothing printed).
void InitErrorManager(ErrorManager& Err, TIEProgressRecord* Progress);
// Binds a source manager to a stream (start of file set, nothing buffered) and installs it.
void AttachSource(j_decompress_ptr Cinfo, SourceManager& Src, TStream& Stream, TIEProgressRecord* Progress);
void AttachDestination(j_compress_ptr Cinfo, DestinationManager& Dst, TStream& Stream, TIEProgressRecord* Progress);

// ---- The library calls, each under its own setjmp; false when the library raised an error. ----
// Also installs the scan limit (Err.scanLimit).
bool CreateDecompress(j_decompress_ptr Cinfo, ErrorManager& Err);
bool CreateCompress(j_compress_ptr Cinfo, ErrorManager& Err);
bool SaveMarkers(j_decompress_ptr Cinfo);
// Result: the library's JPEG_HEADER_OK or JPEG_HEADER_TABLES_ONLY.
bool ReadHeader(j_decompress_ptr Cinfo, bool RequireImage, int* Result);
bool StartDecompress(j_decompress_ptr Cinfo);
bool ReadScanlines(j_decompress_ptr Cinfo, JSAMPARRAY Rows, JDIMENSION MaxRows, JDIMENSION* Read);
bool FinishDecompress(j_decompress_ptr Cinfo);
// Compression parameters as the writer sets them, in one call.
struct CompressOptions {
  J_COLOR_SPACE inputSpace;
  int inputComponents;
  J_COLOR_SPACE fileSpace;
  UINT16 densityX, densityY;
  J_DCT_METHOD dctMethod;
  bool optimizeCoding;
  int smoothing;
  int quality;
  int lumaH, lumaV;  // sampling of the first component of a YCbCr file (0: the library's)
  bool jfifHeader;   // write the JFIF header also where the colour space would leave it out
  bool progressive;
};
bool SetCompressOptions(j_compress_ptr Cinfo, const CompressOptions& Options);
bool StartCompress(j_compress_ptr Cinfo);
bool WriteMarker(j_compress_ptr Cinfo, int Code, const JOCTET* Data, unsigned Length);
bool WriteScanlines(j_compress_ptr Cinfo, JSAMPARRAY Rows, JDIMENSION Count, JDIMENSION* Written);
bool FinishCompress(j_compress_ptr Cinfo);
// These cannot fail.
void AbortDecompress(j_decompress_ptr Cinfo);
void DestroyDecompress(j_decompress_ptr Cinfo);
void DestroyCompress(j_compress_ptr Cinfo);

// Destroys a library object, once it was created, however the code that uses it ends.
template <class Struct, void (*Destroy)(Struct*)>
class ObjectGuard {
 public:
  explicit ObjectGuard(Struct* Object) : object_(Object) {}
  ~ObjectGuard() {
    if (created) Destroy(object_);
  }
  ObjectGuard(const ObjectGuard&) = delete;
  ObjectGuard& operator=(const ObjectGuard&) = delete;
  bool created = false;

 private:
  Struct* object_;
};
using DecompressGuard = ObjectGuard<jpeg_decompress_struct, DestroyDecompress>;
using CompressGuard = ObjectGuard<jpeg_compress_struct, DestroyCompress>;

}  // namespace jpegglue
