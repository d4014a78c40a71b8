#pragma once
// The format registry: one row per file format with its id, full name, the extensions that select
// it, the pages of the save-parameters dialog that serve it, its three capability slots (read,
// write, content test) and, for the built-in rows, the codec entries the load and save dispatch
// calls. Lookups walk the rows in registration order; the first match wins.
//
// The registry is read by I/O threads while the user-interface thread may change it (dialogs update
// the GIF row when they are created), so every access goes through one lock. Rows are immutable once
// registered and handed out as shared pointers: a row removed or replaced stays valid for a reader
// that still holds it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_progress.h"
#include "imaging/io/file_format_ids.h"

class TIEBitmap;
class TIOParamsVals;
class TStream;

// Capability slots of a row. For a row that is not internal the dispatch calls them; for a built-in
// row they only say "can" (non-nil) or "cannot" (nil).
using TIEReadProc = void (*)(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, bool Preview,
                             TIEProgressRecord& Progress);
using TIEWriteProc = void (*)(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params,
                              TIEProgressRecord& Progress);
using TIETestProc = bool (*)(TStream& Stream, TIEFileFormatId Format);

// Codec entries of a built-in row, in the shape every codec has: the reader reads from the stream's
// position into Bitmap (its transparency into Bitmap's alpha channel) and fills Params (only Params
// with ParamsOnly); the writer writes Bitmap at the stream's position. Both report progress and fail
// through Progress (its abort flag), never by raising for bad data.
using TIECodecReader = void (*)(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params,
                                TIEProgressRecord& Progress, bool ParamsOnly);
using TIECodecWriter = void (*)(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params,
                                TIEProgressRecord& Progress);

// Pages of the save-parameters dialog, as bit numbers of a page set.
enum TIEPreviewPage : uint8_t {
  ppAuto = 1,  // the page of the current file type
  ppJPEG = 2,
  ppTIFF = 3,
  ppGIF = 4,
  ppBMP = 5,
  ppPCX = 6,
  ppPNG = 7,
  ppTGA = 8,
  ppJ2000 = 9,
};
using TIOPreviewPages = uint16_t;
constexpr TIOPreviewPages PreviewPageBit(TIEPreviewPage Page) { return static_cast<TIOPreviewPages>(1u << Page); }

struct TIEFileFormatInfo {
  TIEFileFormatId FormatId = fmtUnknown;
  std::string FormatDescription;
  // Upper-case extensions without dots, separated by ";"; empty when no extension selects the format.
  std::string ExtensionList;
  bool IsInternal = false;
  TIOPreviewPages PreviewPages = 0;
  TIEReadProc ReadProc = nullptr;
  TIEWriteProc WriteProc = nullptr;
  TIETestProc TestProc = nullptr;
  // Codec entries of a built-in row (nil where the row cannot read or write); a format whose codec is
  // not built has UnsupportedFormatReader / UnsupportedFormatWriter of its id.
  TIECodecReader Reader = nullptr;
  TIECodecWriter Writer = nullptr;
};
using TIEFileFormatInfoPtr = std::shared_ptr<const TIEFileFormatInfo>;

// The placeholders of the built-in rows' capability slots. A built-in row is read and written through
// its codec entries, so reaching a placeholder means there is nothing to do the work: it fails
// (abort flag set, trace line) instead of reporting an empty success. The test answers False.
void BuiltInReadProc(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, bool Preview,
                     TIEProgressRecord& Progress);
void BuiltInWriteProc(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress);
bool BuiltInTestProc(TStream& Stream, TIEFileFormatId Format);

// The codec entries of a format whose codec is not built yet: they set the abort flag and write
// "<format name>: format not supported yet" to the engine's trace log.
TIECodecReader UnsupportedFormatReader(TIEFileFormatId Format);
TIECodecWriter UnsupportedFormatWriter(TIEFileFormatId Format);
// Fails a load or save: sets the progress record's abort flag and traces Message.
void IOFail(TIEProgressRecord& Progress, const std::string& Message);
// Writes Message to the engine's trace log (WriteDebugLog) when one is named, else to the debug
// output; never raises.
void IOTrace(const std::string& Message);

// ---- The registry ----
// Creates the registry with the built-in rows (replacing any previous rows).
void RegisterBuiltInFileFormats();
// Frees every row; lookups then find nothing.
void FreeFileFormatRegistry();
// The rows in registration order (a snapshot).
std::vector<TIEFileFormatInfoPtr> FileFormatRegistry();

// The first row of the id, nil when none.
TIEFileFormatInfoPtr FindFileFormatById(TIEFileFormatId Id);
// The row that lists the extension (a leading "." and any case accepted), nil when none or empty.
TIEFileFormatInfoPtr FindFileFormatByExtension(const std::string& Ext);
// FormatId of FindFileFormatByExtension, 0 when none.
TIEFileFormatId FileFormatIdByExtension(const std::string& Ext);
// Extension Index (0-based) of the row of Id, as stored (upper case, no dot); empty when the row is
// missing or has fewer extensions.
std::string FileFormatExtension(TIEFileFormatId Id, int32_t Index);
int32_t FileFormatExtensionCount(TIEFileFormatId Id);
// Appends a row; the registry keeps it from then on.
void AddFileFormat(const TIEFileFormatInfo& Row);
// Removes the first row of Id; nothing when there is none.
void RemoveFileFormat(TIEFileFormatId Id);
// The GIF row reads only while GIFLZWDecodeHook is set and writes only while GIFLZWEncodeHook is set.
void UpdateGIFFileFormatFunctions();

// The full name of Params.FileType's row, its first extension in parentheses and the format's
// details ("TIFF Bitmap (TIF) LZW"); empty for a type without row.
std::string DescribeFileFormat(const TIOParamsVals& Params);

// ---- Start-up and shut-down of the I/O unit (run by the engine's start-up and shut-down) ----
void InitializeZodazUrIO();
void FinalizeZodazUrIO();

// The internet services: "loaded" once LoadWinInet ran, until UnloadWinInet.
void LoadWinInet();
void UnloadWinInet();
bool IsWinInetLoaded();

// Plug-in formats: a row added by an external module, removed again at shut-down.
struct TIEIOPlugin {
  TIEFileFormatId FormatId = fmtUnknown;
  // Releases what the plug-in holds; may be empty.
  void (*Release)() = nullptr;
};
// Adds the plug-in's row and remembers the plug-in for the shut-down.
void RegisterIOPlugin(const TIEIOPlugin& Plugin, const TIEFileFormatInfo& Row);
int32_t IOPluginCount();
