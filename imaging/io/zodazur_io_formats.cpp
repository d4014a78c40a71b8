// TZodazUrIO: the loaders and savers of each format and the common steps around their codecs.
#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_threads.h"
#include "imaging/io/jpeg_marker_prep.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"

namespace {

// Where a format's loader leaves out a common step.
struct TLoadRule {
  bool defaultDpi = true;     // ApplyDefaultDPI
  bool autoAdjustDpi = true;  // DoAutoAdjustDPI when AutoAdjustDPI is set
  bool viewDpiFile = true;    // UpdateViewDPI in the file form
  bool viewDpiStream = true;  // UpdateViewDPI in the stream form
};

TLoadRule LoadRuleOf(TIEFileFormatId format) {
  switch (format) {
    case fmtPCX:
    case fmtPXM: return {true, true, false, false};
    case fmtTGA: return {true, true, true, false};
    case fmtWBMP: return {true, false, false, false};
    case fmtRawBitmap:
    case fmtDICOM: return {false, false, false, false};
    default: return {};
  }
}

// Formats whose writers take ie24RGB (or ie1g) only: they write a 24-bit copy of the working bitmap.
// (The PNM writer keeps 16-bit grey and 48-bit pictures and converts the others itself.)
bool SaverNeeds24Bit(TIEFileFormatId format) {
  switch (format) {
    case fmtJPEG:
    case fmtPCX:
    case fmtICO:
    case fmtTGA:
    case fmtJP2:
    case fmtJ2K:
    case fmtWBMP:
    case fmtPS:
    case fmtPDF: return true;
    default: return false;
  }
}

// The bitmap a saver writes: the working bitmap itself, or, for a saver that takes 24 bits, a 24-bit
// copy of it unless it is ie24RGB or ie1g already. A save never changes the working bitmap. Nil when
// the copy cannot be had.
TIEBitmap* BitmapToWrite(TIEBitmap& work, bool needs24Bit, std::unique_ptr<TIEBitmap>& copy) {
  const TIEPixelFormat format = work.PixelFormat();
  if (!needs24Bit || format == ie24RGB || format == ie1g) return &work;
  copy = std::make_unique<TIEBitmap>();
  // The settings the conversion reads: a 16-bit grey image maps its display range.
  copy->SetDisplayRangeMin(work.DisplayRangeMin());
  copy->SetDisplayRangeMax(work.DisplayRangeMax());
  if (!copy->Allocate(work.Width(), work.Height(), ie24RGB)) return nullptr;
  copy->CopyAndConvertFormat(work);
  return copy.get();
}

// The tag of the 12-byte stream header a format's stream saver writes with StreamHeaders set.
const char* StreamHeaderTag(TIEFileFormatId format) {
  switch (format) {
    case fmtTIFF: return "TIFF";
    case fmtJPEG: return "JFIF";
    case fmtPCX: return "PCX2";
    default: return nullptr;
  }
}

// The 12-byte stream header: a 4-byte tag, 4 zero bytes, the little-endian length of the data.
struct TStreamHeader {
  char tag[5] = {};
  int32_t length = 0;
};

bool ReadStreamHeader(TStream& stream, TStreamHeader& header) {
  uint8_t raw[12];
  if (stream.Read(raw, 12) != 12) return false;
  std::memcpy(header.tag, raw, 4);
  header.tag[4] = 0;
  header.length = static_cast<int32_t>(raw[8] | raw[9] << 8 | raw[10] << 16 | static_cast<uint32_t>(raw[11]) << 24);
  return true;
}

bool TagIs(const TStreamHeader& header, const char* tag) { return std::strcmp(header.tag, tag) == 0; }

// The writer of a row whose codec exists; nil for no row, no writer, or a codec not built yet.
TIECodecWriter BuiltWriter(TIEFileFormatId format) {
  TIEFileFormatInfoPtr row = FindFileFormatById(format);
  if (!row || !row->Writer || row->Writer == UnsupportedFormatWriter(format)) return nullptr;
  return row->Writer;
}

}  // namespace

// ------------------------------------------------------------------------------------ the codecs

void TZodazUrIO::RunCodecReader(TStream& Stream, TIEFileFormatId Format, bool ParamsOnly,
                                TIEProgressRecord& Progress) {
  TIEFileFormatInfoPtr row = FindFileFormatById(Format);
  if (!row || !row->Reader) {
    IOFail(Progress, "format " + std::to_string(Format) + ": no reader");
    return;
  }
  try {
    row->Reader(Stream, *workBitmap_, *params_, Progress, ParamsOnly);
  } catch (const std::exception& e) {
    IOFail(Progress, e.what());
  }
}

void TZodazUrIO::RunCodecWriter(TStream& Stream, TIEFileFormatId Format, TIEBitmap& Bitmap,
                                TIEProgressRecord& Progress) {
  TIEFileFormatInfoPtr row = FindFileFormatById(Format);
  if (!row || !row->Writer) {
    IOFail(Progress, "format " + std::to_string(Format) + ": no writer");
    return;
  }
  try {
    row->Writer(Stream, Bitmap, *params_, Progress);
  } catch (const std::exception& e) {
    IOFail(Progress, e.what());
  }
}

// ------------------------------------------------------------------------------- loading cores

int32_t TZodazUrIO::LoadFileCore(const std::string& FileName, TIEFileFormatId Format) {
  if (Format == fmtRawBitmap && FileName.empty()) return 0;
  SetAborting(true);
  if (!CheckBitmap()) {
    DoFinishWork();
    return 0;
  }
  params_->ResetInfo();
  std::unique_ptr<TFileStream> file;
  try {
    file = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
  } catch (const std::exception& e) {
    TIEProgressRecord progress;
    FillProgressRecord(progress);
    IOFail(progress, e.what());
    DoFinishWork();
    return 0;
  }
  SetAborting(false);
  TIEProgressRecord progress;
  FillProgressRecord(progress);
  workBitmap_->RemoveAlphaChannel(false);
  if (Format == fmtPNG) params_->PngBackground = TColorToRGB(Background());
  try {
    TIEBufferedReadStream buffered(*file, 65536, false);
    RunCodecReader(buffered, Format, false, progress);
  } catch (const std::exception& e) {
    IOFail(progress, e.what());
  }
  if (Format == fmtPNG) SetBackground(RGBToTColor(params_->PngBackground));
  const TLoadRule rule = LoadRuleOf(Format);
  if (rule.defaultDpi) ApplyDefaultDPI();
  if (rule.autoAdjustDpi && AutoAdjustDPI()) DoAutoAdjustDPI();
  params_->FileName = FileName;
  params_->FileType = Format;
  if (rule.viewDpiFile) UpdateViewDPI();
  UpdateAttached();
  file.reset();
  DoFinishWork();
  return params_->ImageCount;
}

int32_t TZodazUrIO::LoadStreamCore(TStream& Stream, TIEFileFormatId Format) {
  SetAborting(false);
  if (!CheckBitmap()) {
    // Nothing to load into is a failure too.
    SetAborting(true);
    DoFinishWork();
    return 0;
  }
  params_->ResetInfo();
  TIEProgressRecord progress;
  FillProgressRecord(progress);
  workBitmap_->RemoveAlphaChannel(false);

  // Stream headers: where the data starts and, when the header says, where it ends.
  int64_t start = 0;
  int64_t end = -1;
  bool tiffHeader = false;
  try {
    start = Stream.Position();
    TStreamHeader header;
    if (Format == fmtJPEG) {
      // Always looked for: a JPEG saved with a header is found with or without StreamHeaders.
      if (ReadStreamHeader(Stream, header) && TagIs(header, "JFIF")) {
        start += 12;
        end = start + std::max(header.length, 0);
      } else {
        Stream.Seek(start, soBeginning);
      }
    } else if (Format == fmtPCX && StreamHeaders()) {
      if (!ReadStreamHeader(Stream, header) || std::strncmp(header.tag, "PCX", 3) != 0) {
        IOFail(progress, "PCX stream header missing");
        DoFinishWork();
        return 0;
      }
      if (TagIs(header, "PCX2")) {
        start += 12;
        end = start + std::max(header.length, 0);
      } else {
        start += 4;
        Stream.Seek(start, soBeginning);
      }
    } else if (Format == fmtTIFF && StreamHeaders()) {
      if (!ReadStreamHeader(Stream, header) || !TagIs(header, "TIFF")) {
        IOFail(progress, "TIFF stream header missing");
        DoFinishWork();
        return 0;
      }
      start += 12;
      tiffHeader = true;
    }
    // A PCX's end palette sits at the end of its data: the reader sees the data the header
    // announced and nothing after it. Codecs read through a view that starts where their data
    // starts, except a TIFF after its stream header: the TIFF writer writes offsets from the
    // caller's stream origin, so that view keeps the caller's positions and stands on the TIFF.
    TIEBufferedReadStream buffered(Stream, 65536, !tiffHeader, Format == fmtPCX && end >= 0 ? end - start : -1);
    const int64_t viewBase = tiffHeader ? 0 : start;
    if (tiffHeader) buffered.Seek(start, soBeginning);
    RunCodecReader(buffered, Format, false, progress);
    // The caller's stream stands after what the codec read, or after the data a header announced.
    Stream.Seek(end >= 0 ? end : viewBase + buffered.Position(), soBeginning);
  } catch (const std::exception& e) {
    IOFail(progress, e.what());
  }
  if (Format == fmtPNG) SetBackground(RGBToTColor(params_->PngBackground));
  const TLoadRule rule = LoadRuleOf(Format);
  if (rule.defaultDpi) ApplyDefaultDPI();
  if (rule.autoAdjustDpi && AutoAdjustDPI()) DoAutoAdjustDPI();
  params_->FileName.clear();
  params_->FileType = Format;
  if (rule.viewDpiStream) UpdateViewDPI();
  UpdateAttached();
  DoFinishWork();
  return params_->ImageCount;
}

// -------------------------------------------------------------------------------- saving cores

void TZodazUrIO::SaveFileCore(const std::string& FileName, TIEFileFormatId Format) {
  SetAborting(true);
  if (!CheckBitmap()) {
    DoFinishWork();
    return;
  }
  TIEProgressRecord progress;
  FillProgressRecord(progress);
  // A format that cannot be written fails before anything is created or converted.
  if (!BuiltWriter(Format)) {
    IOFail(progress, "format " + std::to_string(Format) + ": cannot be written");
    DoFinishWork();
    return;
  }
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* source = BitmapToWrite(*workBitmap_, SaverNeeds24Bit(Format), copy);
  if (!source) {
    IOFail(progress, "no memory for a 24-bit copy of the image");
    DoFinishWork();
    return;
  }
  if (Format == fmtJPEG) PrepareJpegMarkers(*params_);
  try {
    // The data goes to a new file beside the target, which replaces the target only when complete.
    TSafeFileStream file(FileName);
    SetAborting(false);
    RunCodecWriter(file, Format, *source, progress);
    if (!Aborting()) file.Commit();
  } catch (const std::exception& e) {
    IOFail(progress, e.what());
  }
  // The record names the file only once it holds the image.
  if (!Aborting()) {
    params_->FileName = FileName;
    params_->FileType = Format;
  }
  DoFinishWork();
}

void TZodazUrIO::SaveStreamCore(TStream& Stream, TIEFileFormatId Format) {
  SetAborting(false);
  TIEProgressRecord progress;
  FillProgressRecord(progress);
  if (!CheckBitmap()) {
    IOFail(progress, "no image to save");
    DoFinishWork();
    return;
  }
  if (!BuiltWriter(Format)) {
    IOFail(progress, "format " + std::to_string(Format) + ": cannot be written");
    DoFinishWork();
    return;
  }
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* source = BitmapToWrite(*workBitmap_, SaverNeeds24Bit(Format), copy);
  if (!source) {
    IOFail(progress, "no memory for a 24-bit copy of the image");
    DoFinishWork();
    return;
  }
  if (Format == fmtJPEG) PrepareJpegMarkers(*params_);
  try {
    if (Format == fmtDCX) {
      // A DCX stream holds the one image only.
      Stream.SetSize(0);
      Stream.Seek(0, soBeginning);
    }
    const char* tag = StreamHeaders() ? StreamHeaderTag(Format) : nullptr;
    const int64_t start = Stream.Position();
    if (tag) {
      const uint8_t placeholder[12] = {};
      Stream.WriteBuffer(placeholder, 12);
    }
    RunCodecWriter(Stream, Format, *source, progress);
    if (tag && !Aborting()) {
      const int64_t end = Stream.Position();
      uint8_t header[12] = {};
      std::memcpy(header, tag, 4);
      const auto length = static_cast<uint32_t>(end - start - 12);
      for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<uint8_t>(length >> (8 * i));
      Stream.Seek(start, soBeginning);
      Stream.WriteBuffer(header, 12);
      Stream.Seek(end, soBeginning);
    }
  } catch (const std::exception& e) {
    IOFail(progress, e.what());
  }
  DoFinishWork();
}

// --------------------------------------------------------------------------------------- loaders

// Every member: the asynchronous test (the I/O thread makes the same call), then the common steps.
#define IE_FILE_LOADER(Name, Format)                                          \
  void TZodazUrIO::Name(const std::string& FileName) {                        \
    if (MustRunAsynchronously()) {                                            \
      TIEIOThread::CreateFileCall(this, &TZodazUrIO::Name, FileName);         \
      return;                                                                 \
    }                                                                         \
    LoadFileCore(FileName, Format);                                           \
  }
#define IE_STREAM_LOADER(Name, Format)                                        \
  void TZodazUrIO::Name(TStream& Stream) {                                    \
    if (MustRunAsynchronously()) {                                            \
      TIEIOThread::CreateStreamCall(this, &TZodazUrIO::Name, Stream);         \
      return;                                                                 \
    }                                                                         \
    LoadStreamCore(Stream, Format);                                           \
  }
// Loaders of multi-image formats answer the count, -1 when the call went to an I/O thread.
#define IE_FILE_COUNTER(Name, Format)                                         \
  int32_t TZodazUrIO::Name(const std::string& FileName) {                     \
    if (MustRunAsynchronously()) {                                            \
      TIEIOThread::CreateFileFunction(this, &TZodazUrIO::Name, FileName);     \
      return -1;                                                              \
    }                                                                         \
    return LoadFileCore(FileName, Format);                                    \
  }
#define IE_STREAM_COUNTER(Name, Format)                                       \
  int32_t TZodazUrIO::Name(TStream& Stream) {                                 \
    if (MustRunAsynchronously()) {                                            \
      TIEIOThread::CreateStreamFunction(this, &TZodazUrIO::Name, Stream);     \
      return -1;                                                              \
    }                                                                         \
    return LoadStreamCore(Stream, Format);                                    \
  }
#define IE_FILE_SAVER(Name, Format)                                           \
  void TZodazUrIO::Name(const std::string& FileName) {                        \
    if (MustRunAsynchronously()) {                                            \
      TIEIOThread::CreateFileCall(this, &TZodazUrIO::Name, FileName);         \
      return;                                                                 \
    }                                                                         \
    SaveFileCore(FileName, Format);                                           \
  }
#define IE_STREAM_SAVER(Name, Format)                                         \
  void TZodazUrIO::Name(TStream& Stream) {                                    \
    if (MustRunAsynchronously()) {                                            \
      TIEIOThread::CreateStreamCall(this, &TZodazUrIO::Name, Stream);         \
      return;                                                                 \
    }                                                                         \
    SaveStreamCore(Stream, Format);                                           \
  }

IE_FILE_COUNTER(LoadFromFileTIFF, fmtTIFF)
IE_STREAM_COUNTER(LoadFromStreamTIFF, fmtTIFF)
IE_FILE_COUNTER(LoadFromFileGIF, fmtGIF)
IE_STREAM_COUNTER(LoadFromStreamGIF, fmtGIF)
IE_FILE_LOADER(LoadFromFileJPEG, fmtJPEG)
IE_STREAM_LOADER(LoadFromStreamJPEG, fmtJPEG)
IE_FILE_LOADER(LoadFromFilePCX, fmtPCX)
IE_STREAM_LOADER(LoadFromStreamPCX, fmtPCX)
IE_FILE_LOADER(LoadFromFileBMP, fmtBMP)
IE_STREAM_LOADER(LoadFromStreamBMP, fmtBMP)
IE_FILE_LOADER(LoadFromFileICO, fmtICO)
IE_STREAM_LOADER(LoadFromStreamICO, fmtICO)
IE_FILE_LOADER(LoadFromFileCUR, fmtCUR)
IE_STREAM_LOADER(LoadFromStreamCUR, fmtCUR)
IE_FILE_LOADER(LoadFromFilePNG, fmtPNG)
IE_STREAM_LOADER(LoadFromStreamPNG, fmtPNG)
IE_FILE_LOADER(LoadFromFileTGA, fmtTGA)
IE_STREAM_LOADER(LoadFromStreamTGA, fmtTGA)
IE_FILE_LOADER(LoadFromFilePXM, fmtPXM)
IE_STREAM_LOADER(LoadFromStreamPXM, fmtPXM)
IE_FILE_LOADER(LoadFromFileJP2, fmtJP2)
IE_STREAM_LOADER(LoadFromStreamJP2, fmtJP2)
IE_FILE_LOADER(LoadFromFileJ2K, fmtJ2K)
IE_STREAM_LOADER(LoadFromStreamJ2K, fmtJ2K)
IE_FILE_LOADER(LoadFromFileWBMP, fmtWBMP)
IE_STREAM_LOADER(LoadFromStreamWBMP, fmtWBMP)
IE_FILE_LOADER(LoadFromFileDCX, fmtDCX)
IE_STREAM_LOADER(LoadFromStreamDCX, fmtDCX)
IE_FILE_LOADER(LoadFromFileRawBitmap, fmtRawBitmap)
IE_STREAM_LOADER(LoadFromStreamRawBitmap, fmtRawBitmap)
IE_FILE_LOADER(LoadFromFilePSD, fmtPSD)
IE_STREAM_LOADER(LoadFromStreamPSD, fmtPSD)
IE_FILE_LOADER(LoadFromFileDICOM, fmtDICOM)
IE_STREAM_LOADER(LoadFromStreamDICOM, fmtDICOM)
IE_FILE_LOADER(LoadFromFileHDP, fmtHDP)
IE_STREAM_LOADER(LoadFromStreamHDP, fmtHDP)

// Camera raw: when the registry gives the extension RAW to another format (a plug-in), that
// format's loader reads the data.
void TZodazUrIO::LoadFromFileRAW(const std::string& FileName) {
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateFileCall(this, &TZodazUrIO::LoadFromFileRAW, FileName);
    return;
  }
  const TIEFileFormatId owner = FileFormatIdByExtension("RAW");
  if (owner != fmtRAW && owner != fmtUnknown) {
    LoadFromFileAsFormat(FileName, owner);
    return;
  }
  LoadFileCore(FileName, fmtRAW);
}

void TZodazUrIO::LoadFromStreamRAW(TStream& Stream) {
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateStreamCall(this, &TZodazUrIO::LoadFromStreamRAW, Stream);
    return;
  }
  const TIEFileFormatId owner = FileFormatIdByExtension("RAW");
  if (owner != fmtRAW && owner != fmtUnknown) {
    LoadFromStreamAsFormat(Stream, owner);
    return;
  }
  LoadStreamCore(Stream, fmtRAW);
}

// ---------------------------------------------------------------------------------------- savers

IE_FILE_SAVER(SaveToFileTIFF, fmtTIFF)
IE_STREAM_SAVER(SaveToStreamTIFF, fmtTIFF)
IE_FILE_SAVER(SaveToFileGIF, fmtGIF)
IE_STREAM_SAVER(SaveToStreamGIF, fmtGIF)
IE_FILE_SAVER(SaveToFileJPEG, fmtJPEG)
IE_STREAM_SAVER(SaveToStreamJPEG, fmtJPEG)
IE_FILE_SAVER(SaveToFilePCX, fmtPCX)
IE_STREAM_SAVER(SaveToStreamPCX, fmtPCX)
IE_FILE_SAVER(SaveToFileBMP, fmtBMP)
IE_STREAM_SAVER(SaveToStreamBMP, fmtBMP)
IE_FILE_SAVER(SaveToFileICO, fmtICO)
IE_STREAM_SAVER(SaveToStreamICO, fmtICO)
IE_FILE_SAVER(SaveToFilePNG, fmtPNG)
IE_STREAM_SAVER(SaveToStreamPNG, fmtPNG)
IE_FILE_SAVER(SaveToFileTGA, fmtTGA)
IE_STREAM_SAVER(SaveToStreamTGA, fmtTGA)
IE_FILE_SAVER(SaveToFilePXM, fmtPXM)
IE_STREAM_SAVER(SaveToStreamPXM, fmtPXM)
IE_FILE_SAVER(SaveToFileJP2, fmtJP2)
IE_STREAM_SAVER(SaveToStreamJP2, fmtJP2)
IE_FILE_SAVER(SaveToFileJ2K, fmtJ2K)
IE_STREAM_SAVER(SaveToStreamJ2K, fmtJ2K)
IE_FILE_SAVER(SaveToFileWBMP, fmtWBMP)
IE_STREAM_SAVER(SaveToStreamWBMP, fmtWBMP)
IE_FILE_SAVER(SaveToFilePS, fmtPS)
IE_STREAM_SAVER(SaveToStreamPS, fmtPS)
IE_FILE_SAVER(SaveToFilePDF, fmtPDF)
IE_STREAM_SAVER(SaveToStreamPDF, fmtPDF)
IE_FILE_SAVER(SaveToFileDCX, fmtDCX)
IE_STREAM_SAVER(SaveToStreamDCX, fmtDCX)
IE_FILE_SAVER(SaveToFilePSD, fmtPSD)
IE_STREAM_SAVER(SaveToStreamPSD, fmtPSD)
IE_FILE_SAVER(SaveToFileHDP, fmtHDP)
IE_STREAM_SAVER(SaveToStreamHDP, fmtHDP)

#undef IE_FILE_COUNTER
#undef IE_STREAM_COUNTER
#undef IE_FILE_LOADER
#undef IE_STREAM_LOADER
#undef IE_FILE_SAVER
#undef IE_STREAM_SAVER
