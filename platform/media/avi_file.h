#pragma once
// The AVI file services in the shapes the system's code was written against: files and streams
// with reference counts, reading and writing samples and formats, frames as packed DIBs, editable
// and compressed streams, and saving streams into a new file. Files are RIFF AVI (our own reader
// and writer, avi_reader.h and avi_writer.h) and WAVE (read as one audio stream); codecs are
// libavcodec's, chosen through the compressor list (avi_compressors.h).
//
// Nothing raises: results are the AVIERR codes. A file or stream is used from one thread at a time.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/media/avi_types.h"
#include "platform/ui/messages.h"

class TAVIFile;
class TAVIStream;
class TAviGetFrame;
using PAVIFILE = TAVIFile*;
using PAVISTREAM = TAVIStream*;
using PGETFRAME = TAviGetFrame*;

// Starts and stops the services (counted; they need nothing but the count here).
void AVIFileInit();
void AVIFileExit();
int32_t AVIFileInitCount();

// Opens FileName: OF_READ (with any share flags) reads an AVI or WAVE file; OF_CREATE | OF_WRITE
// makes a new AVI file that replaces FileName when it is released complete. Handler is ignored.
// AVIERR_FILEOPEN (no such file, or no temporary file beside it), AVIERR_BADFORMAT (not an AVI or
// WAVE file), REGDB_E_CLASSNOTREG (a file of another kind).
HRESULT AVIFileOpen(PAVIFILE* File, const std::string& FileName, uint32_t Mode, const void* Handler = nullptr);
inline HRESULT AVIFileOpenW(PAVIFILE* File, const std::string& FileName, uint32_t Mode, const void* Handler = nullptr) {
  return AVIFileOpen(File, FileName, Mode, Handler);
}
// Reads an AVI or WAVE file held in memory (the caller keeps the bytes until the file is released).
HRESULT AVIFileOpenMemory(PAVIFILE* File, const void* Data, size_t Size);
int32_t AVIFileAddRef(PAVIFILE File);
// Answers the count left; at 0 a file being written is finished (headers, indexes) and replaces
// its target. Streams hold a count of their file.
int32_t AVIFileRelease(PAVIFILE File);
// The Param-th stream (0-based) of type Type (0: any type); AVIERR_NODATA when there is none.
// Gives up a file being written: its target stays as it was whatever the count does later (an
// extension of ours: the system's services have no way to take a file back).
HRESULT AVIFileDiscard(PAVIFILE File);
HRESULT AVIFileGetStream(PAVIFILE File, PAVISTREAM* Stream, FOURCC Type, int32_t Param);
// A new stream of a file being written, with the caller's header.
HRESULT AVIFileCreateStream(PAVIFILE File, PAVISTREAM* Stream, const AVISTREAMINFOW* Info);
inline HRESULT AVIFileCreateStreamW(PAVIFILE File, PAVISTREAM* Stream, const AVISTREAMINFOW* Info) {
  return AVIFileCreateStream(File, Stream, Info);
}

int32_t AVIStreamAddRef(PAVISTREAM Stream);
int32_t AVIStreamRelease(PAVISTREAM Stream);
// Copies up to Size bytes of the stream information (Size is at most 204).
HRESULT AVIStreamInfo(PAVISTREAM Stream, AVISTREAMINFOW* Info, int32_t Size);
inline HRESULT AVIStreamInfoW(PAVISTREAM Stream, AVISTREAMINFOW* Info, int32_t Size) {
  return AVIStreamInfo(Stream, Info, Size);
}
int32_t AVIStreamStart(PAVISTREAM Stream);
// Samples of the stream; -1 for no stream.
int32_t AVIStreamLength(PAVISTREAM Stream);
// The format in effect at Position: with a null Format, *Size receives its size; otherwise up to
// *Size bytes are copied and *Size becomes the bytes copied.
HRESULT AVIStreamReadFormat(PAVISTREAM Stream, int32_t Position, void* Format, int32_t* Size);
HRESULT AVIStreamSetFormat(PAVISTREAM Stream, int32_t Position, const void* Format, int32_t Size);
// Samples from Start: with a null Buffer, *Bytes and *SamplesRead tell what Samples samples take.
// AVIERR_BUFFERTOOSMALL when not even one sample fits.
HRESULT AVIStreamRead(PAVISTREAM Stream, int32_t Start, int32_t Samples, void* Buffer, int32_t BufferSize,
                      int32_t* Bytes, int32_t* SamplesRead);
HRESULT AVIStreamWrite(PAVISTREAM Stream, int32_t Start, int32_t Samples, const void* Buffer, int32_t BufferSize,
                       uint32_t Flags, int32_t* SamplesWritten, int32_t* BytesWritten);

// Frames of a video stream as packed DIBs (header, colour table, bottom-up rows). Wanted may be
// null (frames as stored when uncompressed, else decoded to 24 bits) or ask for 24-bit BI_RGB.
// Null when the stream cannot be decoded (no decoder for its FOURCC, a size past the limit).
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM Stream, const BITMAPINFOHEADER* Wanted);
// The frame at Position (an empty chunk repeats the frame before); valid until the next call or
// the close. Null when it cannot be read or decoded.
void* AVIStreamGetFrame(PGETFRAME GetFrame, int32_t Position);
HRESULT AVIStreamGetFrameClose(PGETFRAME GetFrame);

// A stream that reads what Source reads (Source gains a count).
HRESULT CreateEditableStream(PAVISTREAM* Result, PAVISTREAM Source);

// A stream whose frames are compressed with the options' compressor (fccHandler; 0 or "DIB "
// copies them): writing to it writes compressed frames into Source, a stream being written; its
// first SetFormat gives the frames' format. AVIERR_NOCOMPRESSOR when no compressor has that code,
// AVIERR_UNSUPPORTED for a source that cannot be written.
HRESULT AVIMakeCompressedStream(PAVISTREAM* Compressed, PAVISTREAM Source, const AVICOMPRESSOPTIONS* Options,
                                const void* Handler = nullptr);

// Percentage done; a non-zero answer (AVIERR_USERABORT) stops the save.
using AVISAVECALLBACK = std::function<HRESULT(int32_t Percent)>;
// Writes the streams into a new file, interleaved: video frames compressed with their options
// (none: copied as they are), the rest copied. The file replaces FileName only when complete; an
// abort or failure leaves FileName as it was.
HRESULT AVISaveV(const std::string& FileName, const void* Handler, const AVISAVECALLBACK& Callback, int32_t Streams,
                 PAVISTREAM* StreamList, LPAVICOMPRESSOPTIONS* Options);
// The compression options dialog for each stream (the compressor and its quality, key frames and
// data rate); true when accepted. The dialog goes through the dialog responder (kind
// "AVISaveOptions", the compressors as Items "FOURCC name", answered by Text = the chosen item or
// "" for none).
bool AVISaveOptions(HWND Window, uint32_t Flags, int32_t Streams, PAVISTREAM* StreamList, LPAVICOMPRESSOPTIONS* Options);
HRESULT AVISaveOptionsFree(int32_t Streams, LPAVICOMPRESSOPTIONS* Options);
