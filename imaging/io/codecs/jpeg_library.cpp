// The libjpeg wrappers. Everything between a setjmp and the library call it guards is plain C: no
// object with a destructor lives in these frames, so a longjmp out of the library skips nothing.
#include "imaging/io/codecs/jpeg_library.h"

#include <jerror.h>

#include <cstring>

#include "platform/system/streams.h"

namespace jpegglue {

namespace {

// The classic message table ends here: the library's codes above it came later.
constexpr int32_t kLastClassicCode = 123;
constexpr int32_t kCopyrightCode = 73;
constexpr int32_t kVersionCode = 74;

ErrorManager& ErrorOf(j_common_ptr cinfo) { return *reinterpret_cast<ErrorManager*>(cinfo->err); }

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  ErrorManager& err = ErrorOf(cinfo);
  err.errorCode = err.pub.msg_code;
  if (err.progress) err.progress->Abort();
  std::longjmp(err.jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  if (level != -1) return;
  ErrorManager& err = ErrorOf(cinfo);
  ++err.warnings;
  err.lastWarning = err.pub.msg_code;
}

void OutputMessage(j_common_ptr) {}
void FormatMessage(j_common_ptr, char* buffer) { buffer[0] = 0; }
void ResetErrorManager(j_common_ptr cinfo) {
  ErrorManager& err = ErrorOf(cinfo);
  err.warnings = 0;
  err.pub.msg_code = 0;
}

// Called by the library while it reads the scans: a file of endless scans is refused early.
void ScanMonitor(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  ErrorManager& err = ErrorOf(cinfo);
  if (err.scanLimit > 0 && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > err.scanLimit) {
    err.scanLimitHit = true;
    cinfo->err->msg_code = JERR_BAD_PROGRESSION;
    ErrorExit(cinfo);
  }
}

// ---- source manager ----

SourceManager& SourceOf(j_decompress_ptr cinfo) { return *reinterpret_cast<SourceManager*>(cinfo->src); }

void InitSource(j_decompress_ptr cinfo) { SourceOf(cinfo).startOfFile = true; }

// Reads the next piece of the stream. What cannot be read (the end of the stream, or a stream that
// failed) becomes an end-of-image marker, which the library handles as the end of the data.
int32_t ReadStream(SourceManager& src) {
  if (src.streamFailed) return 0;
  try {
    return src.stream->Read(src.buffer, kBufferSize);
  } catch (...) {
    src.streamFailed = true;
    if (src.progress) src.progress->Abort();
    return 0;
  }
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  SourceManager& src = SourceOf(cinfo);
  int32_t count = ReadStream(src);
  if (count <= 0) {
    if (src.startOfFile && src.progress) src.progress->Abort();  // nothing at all to read
    src.buffer[0] = 0xFF;
    src.buffer[1] = JPEG_EOI;
    count = 2;
  }
  src.pub.next_input_byte = src.buffer;
  src.pub.bytes_in_buffer = static_cast<size_t>(count);
  src.startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  SourceManager& src = SourceOf(cinfo);
  while (count > static_cast<long>(src.pub.bytes_in_buffer)) {
    count -= static_cast<long>(src.pub.bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  src.pub.next_input_byte += count;
  src.pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// ---- destination manager ----

DestinationManager& DestinationOf(j_compress_ptr cinfo) { return *reinterpret_cast<DestinationManager*>(cinfo->dest); }

// Writes count bytes; a short write or a failing stream sets the abort flag (the writer stops at the
// next row, and the bytes the library still produces are dropped).
void WriteStream(DestinationManager& dst, int32_t count) {
  if (count <= 0 || (dst.progress && dst.progress->IsAborting())) return;
  int32_t written = 0;
  try {
    written = dst.stream->Write(dst.buffer, count);
  } catch (...) {
    written = -1;
  }
  if (written != count && dst.progress) dst.progress->Abort();
}

void InitDestination(j_compress_ptr cinfo) {
  DestinationManager& dst = DestinationOf(cinfo);
  dst.pub.next_output_byte = dst.buffer;
  dst.pub.free_in_buffer = kBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  DestinationManager& dst = DestinationOf(cinfo);
  WriteStream(dst, kBufferSize);
  dst.pub.next_output_byte = dst.buffer;
  dst.pub.free_in_buffer = kBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  DestinationManager& dst = DestinationOf(cinfo);
  WriteStream(dst, kBufferSize - static_cast<int32_t>(dst.pub.free_in_buffer));
}

}  // namespace

std::string MessageText(int32_t Code) {
  if (Code < 0 || Code > kLastClassicCode) return "Corrupted";
  if (Code == kCopyrightCode || Code == kVersionCode) return std::string();
  jpeg_error_mgr table;
  jpeg_std_error(&table);
  if (Code > table.last_jpeg_message || !table.jpeg_message_table[Code]) return "Corrupted";
  // Every printf conversion ("%d", "%02x", "%s", ...) becomes "?".
  std::string text;
  for (const char* p = table.jpeg_message_table[Code]; *p; ++p) {
    if (*p != '%') {
      text += *p;
      continue;
    }
    if (p[1] == '%') {
      text += '%';
      ++p;
      continue;
    }
    ++p;
    while (*p && std::strchr("-+ #0123456789.lhz", *p)) ++p;
    if (!*p) break;
    text += '?';
  }
  return text;
}

void InitErrorManager(ErrorManager& Err, TIEProgressRecord* Progress) {
  std::memset(&Err.pub, 0, sizeof Err.pub);
  jpeg_std_error(&Err.pub);
  Err.pub.error_exit = ErrorExit;
  Err.pub.emit_message = EmitMessage;
  Err.pub.output_message = OutputMessage;
  Err.pub.format_message = FormatMessage;
  Err.pub.reset_error_mgr = ResetErrorManager;
  Err.monitor.progress_monitor = ScanMonitor;
  Err.progress = Progress;
  Err.warnings = 0;
  Err.lastWarning = 0;
  Err.errorCode = -1;
  Err.scanLimitHit = false;
}

void AttachSource(j_decompress_ptr Cinfo, SourceManager& Src, TStream& Stream, TIEProgressRecord* Progress) {
  Src.pub.init_source = InitSource;
  Src.pub.fill_input_buffer = FillInputBuffer;
  Src.pub.skip_input_data = SkipInputData;
  Src.pub.resync_to_restart = jpeg_resync_to_restart;
  Src.pub.term_source = TermSource;
  Src.pub.next_input_byte = nullptr;
  Src.pub.bytes_in_buffer = 0;
  Src.stream = &Stream;
  Src.progress = Progress;
  Src.startOfFile = true;
  Src.streamFailed = false;
  Cinfo->src = &Src.pub;
}

void AttachDestination(j_compress_ptr Cinfo, DestinationManager& Dst, TStream& Stream, TIEProgressRecord* Progress) {
  Dst.pub.init_destination = InitDestination;
  Dst.pub.empty_output_buffer = EmptyOutputBuffer;
  Dst.pub.term_destination = TermDestination;
  Dst.stream = &Stream;
  Dst.progress = Progress;
  Cinfo->dest = &Dst.pub;
}

// ---- the guarded calls ----

bool CreateDecompress(j_decompress_ptr Cinfo, ErrorManager& Err) {
  Cinfo->err = &Err.pub;
  if (setjmp(Err.jump)) return false;
  jpeg_create_decompress(Cinfo);
  Cinfo->progress = &Err.monitor;
  return true;
}

bool CreateCompress(j_compress_ptr Cinfo, ErrorManager& Err) {
  Cinfo->err = &Err.pub;
  if (setjmp(Err.jump)) return false;
  jpeg_create_compress(Cinfo);
  return true;
}

bool SaveMarkers(j_decompress_ptr Cinfo) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  jpeg_save_markers(Cinfo, JPEG_COM, 0xFFFF);
  for (int code = 0; code < 16; ++code) jpeg_save_markers(Cinfo, JPEG_APP0 + code, 0xFFFF);
  return true;
}

bool ReadHeader(j_decompress_ptr Cinfo, bool RequireImage, int* Result) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  *Result = jpeg_read_header(Cinfo, RequireImage ? TRUE : FALSE);
  return true;
}

bool StartDecompress(j_decompress_ptr Cinfo) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  jpeg_start_decompress(Cinfo);
  return true;
}

bool ReadScanlines(j_decompress_ptr Cinfo, JSAMPARRAY Rows, JDIMENSION MaxRows, JDIMENSION* Read) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  *Read = jpeg_read_scanlines(Cinfo, Rows, MaxRows);
  return true;
}

bool FinishDecompress(j_decompress_ptr Cinfo) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  jpeg_finish_decompress(Cinfo);
  return true;
}

bool SetCompressOptions(j_compress_ptr Cinfo, const CompressOptions& Options) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  Cinfo->in_color_space = Options.inputSpace;
  Cinfo->input_components = Options.inputComponents;
  jpeg_set_defaults(Cinfo);
  jpeg_set_colorspace(Cinfo, Options.fileSpace);
  Cinfo->density_unit = 1;
  Cinfo->X_density = Options.densityX;
  Cinfo->Y_density = Options.densityY;
  Cinfo->dct_method = Options.dctMethod;
  Cinfo->optimize_coding = Options.optimizeCoding ? TRUE : FALSE;
  Cinfo->smoothing_factor = Options.smoothing;
  jpeg_set_quality(Cinfo, Options.quality, TRUE);
  if (Options.lumaH > 0 && Options.lumaV > 0 && Cinfo->num_components >= 3) {
    Cinfo->comp_info[0].h_samp_factor = Options.lumaH;
    Cinfo->comp_info[0].v_samp_factor = Options.lumaV;
    Cinfo->comp_info[1].h_samp_factor = Cinfo->comp_info[1].v_samp_factor = 1;
    Cinfo->comp_info[2].h_samp_factor = Cinfo->comp_info[2].v_samp_factor = 1;
  }
  if (Options.jfifHeader) Cinfo->write_JFIF_header = TRUE;
  if (Options.progressive) jpeg_simple_progression(Cinfo);
  return true;
}

bool StartCompress(j_compress_ptr Cinfo) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  jpeg_start_compress(Cinfo, TRUE);
  return true;
}

bool WriteMarker(j_compress_ptr Cinfo, int Code, const JOCTET* Data, unsigned Length) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  jpeg_write_marker(Cinfo, Code, Data, Length);
  return true;
}

bool WriteScanlines(j_compress_ptr Cinfo, JSAMPARRAY Rows, JDIMENSION Count, JDIMENSION* Written) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  *Written = jpeg_write_scanlines(Cinfo, Rows, Count);
  return true;
}

bool FinishCompress(j_compress_ptr Cinfo) {
  if (setjmp(ErrorOf(reinterpret_cast<j_common_ptr>(Cinfo)).jump)) return false;
  jpeg_finish_compress(Cinfo);
  return true;
}

void AbortDecompress(j_decompress_ptr Cinfo) { jpeg_abort_decompress(Cinfo); }
void DestroyDecompress(j_decompress_ptr Cinfo) { jpeg_destroy_decompress(Cinfo); }
void DestroyCompress(j_compress_ptr Cinfo) { jpeg_destroy_compress(Cinfo); }

}  // namespace jpegglue
