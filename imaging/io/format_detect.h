#pragma once
// Recognising a stream or file by its content, testing extensions for readability, and counting the
// images, frames or pages of a file.
#include <cstdint>
#include <string>

#include "imaging/io/file_format_ids.h"

class TStream;

// The format of the stream's content from its current position, 0 when none is recognised. The probes
// run in the fixed order of the probe table (format_detect.cpp), each on the bytes from that position
// (sizes count what is left after it); the stream is set back after each one, so the position is the
// same afterwards. Never raises.
TIEFileFormatId DetectStreamFormat(TStream& Stream);

// The format of a file's content, reconciled with the registry row of its extension:
// - a TIFF content under a camera-raw extension is camera raw;
// - a row that is not built in decides alone;
// - with MatchExtension, a content that the extension's row does not name gives 0, except that ICO
//   and CUR contents take the extension's id.
// 0 for an empty name, a missing file or a folder. Never raises.
TIEFileFormatId DetectFileFormat(const std::string& FileName, bool MatchExtension);

// True when the registry row of the file's extension can be read.
bool IsReadableFileExtension(const std::string& FileName);

// The RIFF AVI signature: "RIFF", four bytes, "AVI ". The position is set back.
bool IsAVIStream(TStream& Stream);

// The number of images, frames or pages of a file: by its extension's row (TIFF pages, GIF frames,
// ICO images, DCX pages, DICOM and HD Photo frames, 1 for every other registered format); a file
// that no row lists is opened as a media file (0 when the media services cannot count it).
// Exceptions of the counters reach the caller.
int32_t GetFileImageCount(const std::string& FileName);
// GIF frames (0 on any failure), TIFF pages, DCX pages, ICO images; the last three let an exception
// from opening the file pass to the caller.
int32_t CountGIFFrames(const std::string& FileName);
int32_t CountTIFFPages(const std::string& FileName);
int32_t CountDCXPages(const std::string& FileName);
int32_t CountICOImages(const std::string& FileName);

// Counts the frames of a media file (the media services install it); nil: media files count 0.
using TIEMediaFrameCounter = int32_t (*)(const std::string& FileName);
extern TIEMediaFrameCounter MediaFileFrameCounter;
// The frames of a media file as OpenMediaFile of a bare I/O component counts them (0 when the
// file cannot be played); InitializeZodazUrIO installs it as MediaFileFrameCounter.
int32_t CountMediaFileFrames(const std::string& FileName);
