#include "imaging/io/format_registry.h"

#include "platform/media/avi_file.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cctype>
#include <mutex>
#include <shared_mutex>

#include "imaging/core/ie_settings.h"
#include "imaging/io/codecs/camera_raw_codec.h"
#include "imaging/io/codecs/codec_entries.h"
#include "imaging/io/codecs/dicom_codec.h"
#include "imaging/io/codecs/hdp_codec.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/color_converter.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_paste_hooks.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/lzw_hooks.h"
#include "platform/media/avi_file.h"
#include "platform/net/net_transfer.h"
#include "platform/system/debug_log.h"

namespace {


std::shared_mutex g_registryLock;
std::vector<TIEFileFormatInfoPtr> g_rows;
std::vector<TIEIOPlugin> g_plugins;
bool g_winInetLoaded = false;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The extensions of a list, split at ";" from the left; an empty item ends the list, as taking items
// off the list one by one would.
std::vector<std::string> SplitExtensions(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start < list.size()) {
    const size_t end = list.find(';', start);
    std::string item = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (item.empty()) break;
    items.push_back(std::move(item));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return items;
}

TIEFileFormatInfoPtr FindByIdLocked(TIEFileFormatId id) {
  for (const auto& row : g_rows)
    if (row->FormatId == id) return row;
  return nullptr;
}

// One built-in row: description, extensions, dialog pages, which capabilities it has.
struct BuiltInRow {
  TIEFileFormatId id;
  const char* description;
  const char* extensions;
  TIOPreviewPages pages;
  bool canRead;
  bool canWrite;
};

constexpr TIOPreviewPages kNoPages = 0;

// The built-in formats in registration order. Lookups by extension walk this order.
constexpr BuiltInRow kBuiltInRows[] = {
    {fmtTIFF, "TIFF Bitmap", "TIF;TIFF;FAX;G3N;G3F;XIF", PreviewPageBit(ppTIFF), true, true},
    {fmtGIF, "CompuServe Bitmap", "GIF", PreviewPageBit(ppGIF), true, true},
    {fmtJPEG, "JPEG Bitmap", "JPG;JPEG;JPE;JIF", PreviewPageBit(ppJPEG), true, true},
    {fmtPCX, "PaintBrush", "PCX", PreviewPageBit(ppPCX), true, true},
    {fmtBMP, "Windows Bitmap", "BMP;DIB;RLE", PreviewPageBit(ppBMP), true, true},
    {fmtRawBitmap, "Raw Bitmap", "", kNoPages, true, true},
    {fmtICO, "Windows Icon", "ICO", kNoPages, true, true},
    {fmtCUR, "Windows Cursor", "CUR", kNoPages, true, false},
    {fmtPNG, "Portable Network Graphics", "PNG", PreviewPageBit(ppPNG), true, true},
    {fmtDICOM, "DICOM Bitmap", "DCM;DIC;DICOM;V2", kNoPages, true, false},
    {fmtWMF, "Windows Metafile", "WMF", kNoPages, true, false},
    {fmtEMF, "Enhanced Windows Metafile", "EMF", kNoPages, true, false},
    {fmtTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", PreviewPageBit(ppTGA), true, true},
    {fmtPXM, "Portable Pixmap, GrayMap, BitMap", "PXM;PPM;PGM;PBM", kNoPages, true, true},
    {fmtWBMP, "Wireless Bitmap", "WBMP", kNoPages, true, true},
    {fmtJP2, "JPEG2000", "JP2", PreviewPageBit(ppJ2000), true, true},
    {fmtJ2K, "JPEG2000 Code Stream", "J2K;JPC;J2C", PreviewPageBit(ppJ2000), true, true},
    {fmtPS, "PostScript Level 2", "PS;EPS", kNoPages, false, true},
    {fmtPDF, "Adobe PDF", "PDF", kNoPages, false, true},
    {fmtDCX, "Multipage PCX", "DCX", kNoPages, true, true},
    {fmtRAW, "Camera RAW", "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR;SR2", kNoPages, true, false},
    {fmtPSD, "Photoshop PSD", "PSD", kNoPages, true, true},
    {fmtIEV, "Vectorial objects", "IEV", kNoPages, true, true},
    {fmtLYR, "Layers", "LYR", kNoPages, true, true},
    {fmtALL, "Layers and objects", "ALL", kNoPages, true, true},
};
constexpr BuiltInRow kHDPhotoRow = {fmtHDP, "Microsoft HD Photo", "WDP;HDP", kNoPages, true, true};

// The codec entries of a built-in format. Each codec puts its reader and writer here when it is built.
struct CodecEntries {
  TIECodecReader reader;
  TIECodecWriter writer;
};
CodecEntries CodecEntriesOf(TIEFileFormatId id) {
  switch (id) {
    case fmtGIF:
      return {GIFCodecRead, GIFCodecWrite};
    case fmtBMP:
      return {BMPCodecRead, BMPCodecWrite};
    case fmtPCX:
      return {PCXCodecRead, PCXCodecWrite};
    case fmtICO:
      return {ICOCodecRead, ICOCodecWrite};
    case fmtCUR:
      return {CURCodecRead, UnsupportedFormatWriter(id)};
    case fmtTGA:
      return {TGACodecRead, TGACodecWrite};
    case fmtPXM:
      return {PXMCodecRead, PXMCodecWrite};
    case fmtWBMP:
      return {WBMPCodecRead, WBMPCodecWrite};
    case fmtDCX:
      return {DCXCodecRead, DCXCodecWrite};
    case fmtRawBitmap:
      return {RawPixelsCodecRead, UnsupportedFormatWriter(id)};
    case fmtJPEG:
      return {JPEGCodecRead, JPEGCodecWrite};
    case fmtPNG:
      return {PNGCodecRead, PNGCodecWrite};
    case fmtTIFF:
      return {TIFFCodecRead, TIFFCodecWrite};
    case fmtJP2:
      return {ReadJpeg2000Stream, JP2CodecWrite};
    case fmtJ2K:
      return {ReadJpeg2000Stream, J2KCodecWrite};
    case fmtDICOM:
      return {DICOMCodecRead, UnsupportedFormatWriter(id)};
    case fmtHDP:
      return {ReadHDPStream, WriteHDPStream};
    case fmtRAW:
      return {ReadCameraRawStream, UnsupportedFormatWriter(id)};
    case fmtPS:
      return {UnsupportedFormatReader(id), PSCodecWrite};
    case fmtPDF:
      return {UnsupportedFormatReader(id), PDFCodecWrite};
    default:
      return {UnsupportedFormatReader(id), UnsupportedFormatWriter(id)};
  }
}

TIEFileFormatInfoPtr MakeBuiltInRow(const BuiltInRow& r) {
  auto row = std::make_shared<TIEFileFormatInfo>();
  row->FormatId = r.id;
  row->FormatDescription = r.description;
  row->ExtensionList = r.extensions;
  row->IsInternal = true;
  row->PreviewPages = r.pages;
  row->ReadProc = r.canRead ? BuiltInReadProc : nullptr;
  row->WriteProc = r.canWrite ? BuiltInWriteProc : nullptr;
  row->TestProc = BuiltInTestProc;
  const CodecEntries codec = CodecEntriesOf(r.id);
  row->Reader = r.canRead ? codec.reader : nullptr;
  row->Writer = r.canWrite ? codec.writer : nullptr;
  return row;
}

std::string FormatName(TIEFileFormatId id) {
  if (TIEFileFormatInfoPtr row = FindFileFormatById(id)) return row->FormatDescription;
  return "Format " + std::to_string(id);
}

// What DescribeFileFormat appends for the format's details.
std::string FormatDetails(const TIOParamsVals& p) {
  switch (p.FileType) {
    case fmtTIFF: {
      static const char* const kCompressions[] = {" Uncompressed", " Huffman",  " Group 3 Fax", " Group 3 Fax 2D",
                                                  " Group 4 Fax",  " LZW",      " Jpeg v.5",    " Jpeg",
                                                  " PackBits RLE", " ZIP",      " Deflate"};
      return p.TiffCompression <= 10 ? kCompressions[p.TiffCompression] : "";
    }
    case fmtGIF: return p.GifInterlaced ? " Interlaced" : "";
    case fmtJPEG:
      switch (p.JpegColorSpace) {
        case 1: return " Gray level";
        case 2: return " YCbCr";
        case 3: return " CMYK";
        case 4: return " YCbCrK";
        default: return "";
      }
    case fmtPCX: return p.PcxCompression == 0 ? " Uncompressed" : "";
    case fmtBMP:
      switch (p.BmpVersion) {
        case 0: return " ver.1";
        case 1: return " ver.3";
        case 2: return " OS/2 v.1";
        case 3: return " OS/2 v.2";
        default: return "";
      }
    case fmtPNG: return p.PngInterlaced ? " Interlaced" : "";
    case fmtTGA: return p.TgaCompressed ? " Compressed" : " Uncompressed";
    case fmtJP2:
    case fmtJ2K:
      switch (p.J2000ColorSpace) {
        case 0: return " Gray level";
        case 1: return " RGB";
        case 2: return " YCbCr";
        default: return "";
      }
    case fmtRAW: return " (" + p.RawCamera + ")";
    default: return "";
  }
}

constexpr size_t kFormatIdCount = fmtHDP + 1;

template <TIEFileFormatId Id>
void NotBuiltReader(TStream&, TIEBitmap&, TIOParamsVals&, TIEProgressRecord& Progress, bool) {
  IOFail(Progress, FormatName(Id) + ": format not supported yet");
}

template <TIEFileFormatId Id>
void NotBuiltWriter(TStream&, TIEBitmap&, TIOParamsVals&, TIEProgressRecord& Progress) {
  IOFail(Progress, FormatName(Id) + ": format not supported yet");
}

template <size_t... I>
constexpr std::array<TIECodecReader, sizeof...(I)> NotBuiltReaders(std::index_sequence<I...>) {
  return {NotBuiltReader<static_cast<TIEFileFormatId>(I)>...};
}

template <size_t... I>
constexpr std::array<TIECodecWriter, sizeof...(I)> NotBuiltWriters(std::index_sequence<I...>) {
  return {NotBuiltWriter<static_cast<TIEFileFormatId>(I)>...};
}

}  // namespace

// --------------------------------------------------------------------------- failures and slots

void IOTrace(const std::string& Message) {
  try {
    if (TraceLogFileName.empty())
      OutputDebugString(Message);
    else
      WriteDebugLog(Message);
  } catch (...) {
    // A log that cannot be written must not turn a reported failure into an exception.
  }
}

void IOFail(TIEProgressRecord& Progress, const std::string& Message) {
  Progress.Abort();
  IOTrace(Message);
}

void BuiltInReadProc(TStream&, TIEBitmap&, TIOParamsVals& Params, bool, TIEProgressRecord& Progress) {
  IOFail(Progress, FormatName(Params.FileType) + ": no reader for this format");
}

void BuiltInWriteProc(TStream&, TIEBitmap&, TIOParamsVals& Params, TIEProgressRecord& Progress) {
  IOFail(Progress, FormatName(Params.FileType) + ": no writer for this format");
}

bool BuiltInTestProc(TStream&, TIEFileFormatId) { return false; }

TIECodecReader UnsupportedFormatReader(TIEFileFormatId Format) {
  static constexpr auto kReaders = NotBuiltReaders(std::make_index_sequence<kFormatIdCount>());
  return kReaders[Format >= 0 && static_cast<size_t>(Format) < kFormatIdCount ? Format : fmtUnknown];
}

TIECodecWriter UnsupportedFormatWriter(TIEFileFormatId Format) {
  static constexpr auto kWriters = NotBuiltWriters(std::make_index_sequence<kFormatIdCount>());
  return kWriters[Format >= 0 && static_cast<size_t>(Format) < kFormatIdCount ? Format : fmtUnknown];
}

// ------------------------------------------------------------------------------------ registry

void RegisterBuiltInFileFormats() {
  std::vector<TIEFileFormatInfoPtr> rows;
  for (const BuiltInRow& r : kBuiltInRows) rows.push_back(MakeBuiltInRow(r));
  // The HD Photo row is registered only where the platform's codec service can be had.
  if (HDPhotoAvailable()) rows.push_back(MakeBuiltInRow(kHDPhotoRow));
  std::unique_lock lock(g_registryLock);
  g_rows = std::move(rows);
}

void FreeFileFormatRegistry() {
  std::unique_lock lock(g_registryLock);
  g_rows.clear();
}

std::vector<TIEFileFormatInfoPtr> FileFormatRegistry() {
  std::shared_lock lock(g_registryLock);
  return g_rows;
}

TIEFileFormatInfoPtr FindFileFormatById(TIEFileFormatId Id) {
  std::shared_lock lock(g_registryLock);
  return FindByIdLocked(Id);
}

TIEFileFormatInfoPtr FindFileFormatByExtension(const std::string& Ext) {
  std::string ext = Lower(Ext);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  if (ext.empty()) return nullptr;
  std::shared_lock lock(g_registryLock);
  for (const auto& row : g_rows)
    for (const std::string& item : SplitExtensions(row->ExtensionList))
      if (Lower(item) == ext) return row;
  return nullptr;
}

TIEFileFormatId FileFormatIdByExtension(const std::string& Ext) {
  TIEFileFormatInfoPtr row = FindFileFormatByExtension(Ext);
  return row ? row->FormatId : fmtUnknown;
}

std::string FileFormatExtension(TIEFileFormatId Id, int32_t Index) {
  TIEFileFormatInfoPtr row = FindFileFormatById(Id);
  if (!row || Index < 0) return {};
  const std::vector<std::string> items = SplitExtensions(row->ExtensionList);
  return static_cast<size_t>(Index) < items.size() ? items[static_cast<size_t>(Index)] : std::string();
}

int32_t FileFormatExtensionCount(TIEFileFormatId Id) {
  TIEFileFormatInfoPtr row = FindFileFormatById(Id);
  return row ? static_cast<int32_t>(SplitExtensions(row->ExtensionList).size()) : 0;
}

void AddFileFormat(const TIEFileFormatInfo& Row) {
  auto row = std::make_shared<const TIEFileFormatInfo>(Row);
  std::unique_lock lock(g_registryLock);
  g_rows.push_back(std::move(row));
}

void RemoveFileFormat(TIEFileFormatId Id) {
  std::unique_lock lock(g_registryLock);
  auto it = std::find_if(g_rows.begin(), g_rows.end(), [&](const auto& row) { return row->FormatId == Id; });
  if (it != g_rows.end()) g_rows.erase(it);
}

void UpdateGIFFileFormatFunctions() {
  const bool canRead = GIFLZWDecodeHook.load() != nullptr;
  const bool canWrite = GIFLZWEncodeHook.load() != nullptr;
  std::unique_lock lock(g_registryLock);
  for (auto& row : g_rows) {
    if (row->FormatId != fmtGIF) continue;
    // Rows are never changed in place: readers may hold the old one.
    auto updated = std::make_shared<TIEFileFormatInfo>(*row);
    updated->ReadProc = canRead ? BuiltInReadProc : nullptr;
    updated->WriteProc = canWrite ? BuiltInWriteProc : nullptr;
    row = std::move(updated);
    return;
  }
}

std::string DescribeFileFormat(const TIOParamsVals& Params) {
  TIEFileFormatInfoPtr row = FindFileFormatById(Params.FileType);
  if (!row) return {};
  const std::vector<std::string> extensions = SplitExtensions(row->ExtensionList);
  std::string first = extensions.empty() ? std::string() : extensions.front();
  std::transform(first.begin(), first.end(), first.begin(), [](unsigned char c) { return std::toupper(c); });
  return row->FormatDescription + " (" + first + ")" + FormatDetails(Params);
}

// ---------------------------------------------------------------------------- start-up, shut-down

void LoadWinInet() {
  // The internet services are linked into the program: starting them (once per process) cannot
  // fail.
  NetInitialize();
  g_winInetLoaded = true;
}

void UnloadWinInet() { g_winInetLoaded = false; }

bool IsWinInetLoaded() { return g_winInetLoaded; }

void RegisterIOPlugin(const TIEIOPlugin& Plugin, const TIEFileFormatInfo& Row) {
  AddFileFormat(Row);
  std::unique_lock lock(g_registryLock);
  g_plugins.push_back(Plugin);
}

int32_t IOPluginCount() {
  std::shared_lock lock(g_registryLock);
  return static_cast<int32_t>(g_plugins.size());
}

void InitializeZodazUrIO() {
  ResetIOSettings();                 // 1. UseRTLFileExists and the rest of the unit's settings
  InstallLZWHooks();                 // 2. the four LZW hooks
  TempDirectory.clear();             // 3.
  RegisterBuiltInFileFormats();      // 4.
  AVIServicesStarted = false;        // 5.
  MediaFileFrameCounter = CountMediaFileFrames;
  SetDebugLogFileName("");
  UnloadWinInet();                   // 6.
  LoadWinInet();
  DefaultColorConverter = ConvertColorRow;  // 7.
  ICCConversionEnabled = false;
  InstallCMYKProfileHooks(true);
  {                                  // 8.
    std::unique_lock lock(g_registryLock);
    g_plugins.clear();
  }
  QuantizerMethod = -1;              // 9.
  NeuQuantQuality = -1;
  BufferedStreamRelativeOrigin = false;
  CMYKProfileEnabled = true;
  MetafileMaxSize = 8000;
  InstallPasteHooks(true);           // the clipboard paste reads PNG blocks through the unit
}

void FinalizeZodazUrIO() {
  InstallPasteHooks(false);
  // 1. The default CMYK profiles; CMYK conversions use the formulas from here on.
  InstallCMYKProfileHooks(false);
  FreeDefaultCMYKProfiles();
  // 2. Plug-ins: their rows go, then whatever they hold.
  std::vector<TIEIOPlugin> plugins;
  {
    std::unique_lock lock(g_registryLock);
    plugins.swap(g_plugins);
  }
  for (const TIEIOPlugin& plugin : plugins) {
    RemoveFileFormat(plugin.FormatId);
    if (plugin.Release) plugin.Release();
  }
  FreeFileFormatRegistry();  // 3.
  if (AVIServicesStarted.exchange(false)) AVIFileExit();  // 4.
  UnloadWinInet();  // 5.
  SetDebugLogFileName("");  // 6.
}
