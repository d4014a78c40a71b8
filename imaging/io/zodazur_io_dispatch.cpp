// TZodazUrIO: loading and saving by file name, extension, content and format id; reading the
// parameters of a file without its pixels.
#include <algorithm>
#include <cctype>
#include <memory>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/core/ie_streams.h"
#include "imaging/core/ie_text_utils.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/io_threads.h"
#include "imaging/io/url_download.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"

namespace {

std::string LowerExtension(const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

using TFileSaver = void (TZodazUrIO::*)(const std::string&);

// The savers by the extension of the file name (lower case, with its dot).
struct TExtensionSaver {
  const char* ext;
  TFileSaver saver;
};
constexpr TExtensionSaver kExtensionSavers[] = {
    {".jpg", &TZodazUrIO::SaveToFileJPEG},  {".jpeg", &TZodazUrIO::SaveToFileJPEG},
    {".jpe", &TZodazUrIO::SaveToFileJPEG},  {".jif", &TZodazUrIO::SaveToFileJPEG},
    {".jp2", &TZodazUrIO::SaveToFileJP2},   {".j2k", &TZodazUrIO::SaveToFileJ2K},
    {".jpc", &TZodazUrIO::SaveToFileJ2K},   {".j2c", &TZodazUrIO::SaveToFileJ2K},
    {".pcx", &TZodazUrIO::SaveToFilePCX},   {".dcx", &TZodazUrIO::SaveToFileDCX},
    {".gif", &TZodazUrIO::SaveToFileGIF},   {".tif", &TZodazUrIO::SaveToFileTIFF},
    {".tiff", &TZodazUrIO::SaveToFileTIFF}, {".fax", &TZodazUrIO::SaveToFileTIFF},
    {".g3f", &TZodazUrIO::SaveToFileTIFF},  {".g3n", &TZodazUrIO::SaveToFileTIFF},
    {".png", &TZodazUrIO::SaveToFilePNG},   {".bmp", &TZodazUrIO::SaveToFileBMP},
    {".dib", &TZodazUrIO::SaveToFileBMP},   {".rle", &TZodazUrIO::SaveToFileBMP},
    {".tga", &TZodazUrIO::SaveToFileTGA},   {".targa", &TZodazUrIO::SaveToFileTGA},
    {".vda", &TZodazUrIO::SaveToFileTGA},   {".icb", &TZodazUrIO::SaveToFileTGA},
    {".vst", &TZodazUrIO::SaveToFileTGA},   {".win", &TZodazUrIO::SaveToFileTGA},
    {".pxm", &TZodazUrIO::SaveToFilePXM},   {".pbm", &TZodazUrIO::SaveToFilePXM},
    {".pgm", &TZodazUrIO::SaveToFilePXM},   {".ppm", &TZodazUrIO::SaveToFilePXM},
    {".ico", &TZodazUrIO::SaveToFileICO},   {".wbmp", &TZodazUrIO::SaveToFileWBMP},
    {".ps", &TZodazUrIO::SaveToFilePS},     {".eps", &TZodazUrIO::SaveToFilePS},
    {".pdf", &TZodazUrIO::SaveToFilePDF},   {".psd", &TZodazUrIO::SaveToFilePSD},
    {".hdp", &TZodazUrIO::SaveToFileHDP},   {".wdp", &TZodazUrIO::SaveToFileHDP},
};

// The savers by format id (nil: the id has none of its own).
TFileSaver FileSaverOf(TIEFileFormatId id) {
  switch (id) {
    case fmtTIFF: return &TZodazUrIO::SaveToFileTIFF;
    case fmtGIF: return &TZodazUrIO::SaveToFileGIF;
    case fmtJPEG: return &TZodazUrIO::SaveToFileJPEG;
    case fmtPCX: return &TZodazUrIO::SaveToFilePCX;
    case fmtBMP: return &TZodazUrIO::SaveToFileBMP;
    case fmtICO: return &TZodazUrIO::SaveToFileICO;
    case fmtPNG: return &TZodazUrIO::SaveToFilePNG;
    case fmtTGA: return &TZodazUrIO::SaveToFileTGA;
    case fmtPXM: return &TZodazUrIO::SaveToFilePXM;
    case fmtJP2: return &TZodazUrIO::SaveToFileJP2;
    case fmtJ2K: return &TZodazUrIO::SaveToFileJ2K;
    case fmtWBMP: return &TZodazUrIO::SaveToFileWBMP;
    case fmtPS: return &TZodazUrIO::SaveToFilePS;
    case fmtPDF: return &TZodazUrIO::SaveToFilePDF;
    case fmtDCX: return &TZodazUrIO::SaveToFileDCX;
    case fmtPSD: return &TZodazUrIO::SaveToFilePSD;
    case fmtHDP: return &TZodazUrIO::SaveToFileHDP;
    default: return nullptr;
  }
}

// The file loader of a built-in format by its id; false for an id that has none.
bool LoadFileByFormat(TZodazUrIO& io, const std::string& fileName, TIEFileFormatId id) {
  switch (id) {
    case fmtTIFF: io.LoadFromFileTIFF(fileName); return true;
    case fmtGIF: io.LoadFromFileGIF(fileName); return true;
    case fmtJPEG: io.LoadFromFileJPEG(fileName); return true;
    case fmtPCX: io.LoadFromFilePCX(fileName); return true;
    case fmtBMP: io.LoadFromFileBMP(fileName); return true;
    case fmtICO: io.LoadFromFileICO(fileName); return true;
    case fmtCUR: io.LoadFromFileCUR(fileName); return true;
    case fmtPNG: io.LoadFromFilePNG(fileName); return true;
    case fmtWMF:
    case fmtEMF: io.ImportMetafileFromFile(fileName, -1, -1, true); return true;
    case fmtTGA: io.LoadFromFileTGA(fileName); return true;
    case fmtPXM: io.LoadFromFilePXM(fileName); return true;
    case fmtJP2: io.LoadFromFileJP2(fileName); return true;
    case fmtJ2K: io.LoadFromFileJ2K(fileName); return true;
    case fmtWBMP: io.LoadFromFileWBMP(fileName); return true;
    case fmtDCX: io.LoadFromFileDCX(fileName); return true;
    case fmtRAW: io.LoadFromFileRAW(fileName); return true;
    case fmtPSD: io.LoadFromFilePSD(fileName); return true;
    case fmtIEV:
    case fmtLYR:
    case fmtALL: io.LoadFromFileViewFormat(fileName, id); return true;
    case fmtDICOM: io.LoadFromFileDICOM(fileName); return true;
    case fmtHDP: io.LoadFromFileHDP(fileName); return true;
    default: return false;
  }
}

}  // namespace

// ------------------------------------------------------------------ seams of other components

void TZodazUrIO::LoadFromFileViewFormat(const std::string&, TIEFileFormatId Format) {
  TIEProgressRecord progress;
  FillProgressRecord(progress);
  IOFail(progress, "format " + std::to_string(Format) + ": layers and objects load into a view");
  DoFinishWork();
}

void TZodazUrIO::LoadFromStreamViewFormat(TStream&, TIEFileFormatId Format) { LoadFromFileViewFormat({}, Format); }

void TZodazUrIO::LoadFromURL(const std::string& URL) {
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateURLCall(this, &TZodazUrIO::LoadFromURL, URL);
    return;
  }
  TMemoryStream data;
  std::string contentType;
  SetAborting(false);
  const bool ran = DownloadURL(URL, data, proxyAddress_, contentType, &aborting_, this,
                               [this](TObject* Sender, int32_t per) { DoProgress(Sender, per); }, proxyPassword_,
                               proxyUser_);
  data.SetPosition(0);
  // Content no reader knows (an error page, nothing at all) fails here, with the notification every
  // failed load gives.
  if (!ran || DetectStreamFormat(data) == fmtUnknown) {
    SetAborting(true);
    DoFinishWork();
    return;
  }
  data.SetPosition(0);
  LoadFromStream(data);
}

// ----------------------------------------------------------------------- rows not built in

void TZodazUrIO::LoadWithReadProc(const std::string& FileName, TStream* Stream, const TIEFileFormatInfo& Row) {
  params_->FileName.clear();
  params_->FileType = fmtUnknown;
  params_->ResetInfo();
  TIEProgressRecord progress;
  FillProgressRecord(progress);
  if (!Row.ReadProc) {
    IOFail(progress, Row.FormatDescription + ": cannot be read");
    DoFinishWork();
    return;
  }
  SetAborting(true);
  if (!CheckBitmap()) {
    DoFinishWork();
    return;
  }
  try {
    std::unique_ptr<TFileStream> file;
    if (!Stream) {
      file = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
      Stream = file.get();
    }
    SetAborting(false);
    params_->FileName = FileName;
    params_->FileType = Row.FormatId;
    Row.ReadProc(*Stream, *workBitmap_, *params_, false, progress);
  } catch (const std::exception& e) {
    IOFail(progress, e.what());
  }
  if (!Aborting()) {
    if (AutoAdjustDPI()) DoAutoAdjustDPI();
    UpdateViewDPI();
  }
  UpdateAttached();
  DoFinishWork();
}

void TZodazUrIO::SaveWithWriteProc(const std::string& FileName, TStream* Stream, const TIEFileFormatInfo& Row) {
  TIEProgressRecord progress;
  FillProgressRecord(progress);
  SetAborting(true);
  if (!Row.WriteProc) {
    IOFail(progress, Row.FormatDescription + ": cannot be written");
    return;
  }
  if (!CheckBitmap()) {
    DoFinishWork();
    return;
  }
  if (workBitmap_->PixelFormat() != ie24RGB && workBitmap_->PixelFormat() != ie1g) workBitmap_->SetPixelFormat(ie24RGB);
  // The write procedure sees the record as naming the file it writes; a failed save gives the old
  // names back.
  const std::string oldFileName = params_->FileName;
  const TIEFileFormatId oldFileType = params_->FileType;
  try {
    if (Stream) {
      SetAborting(false);
      params_->FileType = Row.FormatId;
      Row.WriteProc(*Stream, *workBitmap_, *params_, progress);
    } else {
      TSafeFileStream file(FileName);
      SetAborting(false);
      params_->FileName = FileName;
      params_->FileType = Row.FormatId;
      Row.WriteProc(file, *workBitmap_, *params_, progress);
      if (!Aborting()) file.Commit();
    }
  } catch (const std::exception& e) {
    IOFail(progress, e.what());
  }
  if (Aborting()) {
    params_->FileName = oldFileName;
    params_->FileType = oldFileType;
  }
  DoFinishWork();
}

// ------------------------------------------------------------------------------------- loading

void TZodazUrIO::LoadFromFile(const std::string& FileName) {
  if (!workBitmap_) return;
  if (FileName.empty()) {
    SetAborting(true);
    DoFinishWork();
    return;
  }
  if (URLKindW(FileName) != 0) {
    LoadFromURL(FileName);
    return;
  }
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateFileCall(this, &TZodazUrIO::LoadFromFile, FileName);
    return;
  }
  const std::string ext = LowerExtension(FileName);
  if (ext == ".avi") {
    OpenAVIFile(FileName);
    if (Aborting()) {
      DoFinishWork();
      return;
    }
    LoadFromAVIFrame(params_->ImageIndex);
    CloseAVIFile();
    params_->FileName = FileName;
    params_->FileType = fmtAVI;
    return;
  }
  TIEFileFormatInfoPtr row = FindFileFormatByExtension(ext);
  if (!row) {
    SetAborting(true);
    DoFinishWork();
    return;
  }
  if (!row->IsInternal) {
    LoadWithReadProc(FileName, nullptr, *row);
    return;
  }
  // PostScript and PDF rows have no loader: their read procedure decides (they cannot be read).
  if (!LoadFileByFormat(*this, FileName, row->FormatId)) LoadWithReadProc(FileName, nullptr, *row);
}

void TZodazUrIO::LoadFromFileByContent(const std::string& FileName) {
  const TIEFileFormatId format = DetectFileFormat(FileName, false);
  if (format != fmtUnknown)
    LoadFromFileAsFormat(FileName, format);
  else
    LoadFromFile(FileName);
}

void TZodazUrIO::LoadFromFileAsFormat(const std::string& FileName, TIEFileFormatId Format) {
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateFileFormatCall(this, &TZodazUrIO::LoadFromFileAsFormat, FileName, Format);
    return;
  }
  TIEFileFormatInfoPtr row = FindFileFormatById(Format);
  if (!row) {
    SetAborting(true);  // no such format: nothing is loaded
    return;
  }
  if (!row->IsInternal) {
    LoadWithReadProc(FileName, nullptr, *row);
    return;
  }
  if (Format == fmtRawBitmap) {
    LoadFromFileRawBitmap(FileName);
    return;
  }
  if (!LoadFileByFormat(*this, FileName, Format)) LoadFromFile(FileName);
}

void TZodazUrIO::LoadFromStream(TStream& Stream) {
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateStreamCall(this, &TZodazUrIO::LoadFromStream, Stream);
    return;
  }
  int64_t position = 0;
  TIEFileFormatId format = fmtUnknown;
  try {
    position = Stream.Position();
    format = DetectStreamFormat(Stream);
    Stream.Seek(position, soBeginning);
  } catch (const std::exception&) {
    format = fmtUnknown;
  }
  TIEFileFormatInfoPtr row = format != fmtUnknown ? FindFileFormatById(format) : nullptr;
  if (!row) {
    // Unknown content (or an AVI stream): nothing loaded, and the caller learns it.
    SetAborting(true);
    return;
  }
  switch (format) {
    case fmtWMF:
    case fmtEMF: ImportMetafileFromStream(Stream, -1, -1, true); return;
    case fmtWBMP:
    case fmtRawBitmap:
    case fmtPS:
    case fmtPDF: SetAborting(true); return;  // never recognised by content
    default: LoadFromStreamAsFormat(Stream, format); return;
  }
}

void TZodazUrIO::LoadFromStreamAsFormat(TStream& Stream, TIEFileFormatId Format) {
  if (Format == fmtUnknown) {
    LoadFromStream(Stream);
    return;
  }
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateStreamFormatCall(this, &TZodazUrIO::LoadFromStreamAsFormat, Stream, Format);
    return;
  }
  TIEFileFormatInfoPtr row = FindFileFormatById(Format);
  if (!row) {
    SetAborting(true);
    return;
  }
  if (!row->IsInternal) {
    LoadWithReadProc({}, &Stream, *row);
    return;
  }
  switch (Format) {
    case fmtRAW: LoadFromStreamRAW(Stream); break;
    case fmtIEV:
    case fmtLYR:
    case fmtALL: LoadFromStreamViewFormat(Stream, Format); break;
    case fmtWMF:
    case fmtEMF: ImportMetafileFromStream(Stream, -1, -1, true); break;
    case fmtPS:
    case fmtPDF: SetAborting(true); break;  // not loaded from a stream by id
    default: LoadStreamCore(Stream, Format); break;
  }
}

void TZodazUrIO::LoadFromBuffer(const void* Buffer, int64_t BufferSize, TIEFileFormatId Format) {
  if (!Buffer || BufferSize <= 0) {
    SetAborting(true);
    return;
  }
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateBufferCall(this, &TZodazUrIO::LoadFromBuffer, Buffer, BufferSize, Format);
    return;
  }
  TIEMemStream stream(Buffer, BufferSize);
  LoadFromStreamAsFormat(stream, Format);
}

// -------------------------------------------------------------------------------------- saving

void TZodazUrIO::SaveToFile(const std::string& FileName) {
  if (FileName.empty()) return;
  const std::string ext = LowerExtension(FileName);
  for (const TExtensionSaver& s : kExtensionSavers)
    if (ext == s.ext) {
      (this->*s.saver)(FileName);
      return;
    }
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateFileCall(this, &TZodazUrIO::SaveToFile, FileName);
    return;
  }
  TIEFileFormatInfoPtr row = FindFileFormatByExtension(ext);
  if (!row) {
    SetAborting(true);
    return;
  }
  // Extensions of built-in rows that the table above does not name (PIX, XIF) go to the row's saver.
  if (row->IsInternal) {
    if (TFileSaver saver = FileSaverOf(row->FormatId)) {
      (this->*saver)(FileName);
      return;
    }
    SetAborting(true);  // a row that writes nothing here: no file is made
    return;
  }
  SaveWithWriteProc(FileName, nullptr, *row);
}

void TZodazUrIO::SaveToStream(TStream& Stream, TIEFileFormatId Format) {
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateStreamFormatCall(this, &TZodazUrIO::SaveToStream, Stream, Format);
    return;
  }
  SaveToStreamNow(Stream, Format);
}

void TZodazUrIO::SaveToStreamNow(TStream& Stream, TIEFileFormatId Format) {
  // The formats with a saver of their own (the same set as by file name).
  if (FileSaverOf(Format)) {
    SaveStreamCore(Stream, Format);
    return;
  }
  TIEFileFormatInfoPtr row = FindFileFormatById(Format);
  if (!row || row->IsInternal) {
    SetAborting(true);  // nothing writes this id: the stream is left as it was
    return;
  }
  SaveWithWriteProc({}, &Stream, *row);
}

// ---------------------------------------------------------------------------- parameters only

void TZodazUrIO::ReadParamsCore(TStream& Stream, TIEFileFormatId Format) {
  TIEProgressRecord progress;
  FillProgressRecord(progress);
  progress.OnProgress = nullptr;
  TIEFileFormatInfoPtr row = FindFileFormatById(Format);
  if (!row) {
    IOFail(progress, "unknown format");
    return;
  }
  if (Format == fmtWMF || Format == fmtEMF) {
    ReadMetafileParams(Stream);
    return;
  }
  TIEBufferedReadStream buffered(Stream, 8192, BufferedStreamRelativeOrigin);
  if (row->IsInternal) {
    RunCodecReader(buffered, Format, true, progress);
  } else if (row->ReadProc) {
    row->ReadProc(buffered, *workBitmap_, *params_, true, progress);
  } else {
    IOFail(progress, row->FormatDescription + ": cannot be read");
  }
}

void TZodazUrIO::ReadParamsFromFile(const std::string& FileName) {
  TIEFileFormatId format = fmtUnknown;
  try {
    format = DetectFileFormat(FileName, true);
  } catch (const std::exception&) {
    params_->FileType = fmtUnknown;
    return;
  }
  ReadParamsFromFileAsFormat(FileName, format);
}

void TZodazUrIO::ReadParamsFromFileAsFormat(const std::string& FileName, TIEFileFormatId Format) {
  if (!workBitmap_) return;
  params_->FileType = Format;
  try {
    params_->ResetInfo();
    SetAborting(true);
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    SetAborting(false);
    ReadParamsCore(file, Format);
  } catch (const std::exception&) {
    SetAborting(true);
  }
  if (Aborting()) params_->FileType = fmtUnknown;
  params_->FileName = FileName;
  DoFinishWork();
}

void TZodazUrIO::ReadParamsFromStream(TStream& Stream) {
  TIEFileFormatId format = fmtUnknown;
  try {
    format = DetectStreamFormat(Stream);
  } catch (const std::exception&) {
    params_->FileType = fmtUnknown;
    return;
  }
  ReadParamsFromStreamAsFormat(Stream, format);
}

void TZodazUrIO::ReadParamsFromStreamAsFormat(TStream& Stream, TIEFileFormatId Format) {
  if (!workBitmap_) return;
  params_->FileType = Format;
  SetAborting(false);
  try {
    params_->ResetInfo();
    ReadParamsCore(Stream, Format);
  } catch (const std::exception&) {
    SetAborting(true);
  }
  if (Aborting()) params_->FileType = fmtUnknown;
  DoFinishWork();
}

void TZodazUrIO::ReadParamsFromBuffer(const void* Buffer, int64_t BufferSize, TIEFileFormatId Format) {
  if (!Buffer || BufferSize <= 0) {
    SetAborting(true);
    return;
  }
  TIEMemStream stream(Buffer, BufferSize);
  if (Format == fmtUnknown)
    ReadParamsFromStream(stream);
  else
    ReadParamsFromStreamAsFormat(stream, Format);
}
