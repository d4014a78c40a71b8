#pragma once
// The failures of the PNG picture class: one exception class per kind, each with its fixed text, all
// deriving directly from the framework's base exception.
#include <string>

#include "platform/system/exception.h"

class EPngError : public Exception { using Exception::Exception; };
class EPngUnexpectedEnd : public Exception { using Exception::Exception; };
class EPngInvalidCRC : public Exception { using Exception::Exception; };
class EPngInvalidIHDR : public Exception { using Exception::Exception; };
class EPNGMissingMultipleIDAT : public Exception { using Exception::Exception; };
class EPNGZLIBError : public Exception { using Exception::Exception; };
class EPNGInvalidPalette : public Exception { using Exception::Exception; };
class EPNGInvalidFileHeader : public Exception { using Exception::Exception; };
class EPNGIHDRNotFirst : public Exception { using Exception::Exception; };
class EPNGSizeExceeds : public Exception { using Exception::Exception; };
class EPNGUnknownCriticalChunk : public Exception { using Exception::Exception; };
class EPNGUnknownCompression : public Exception { using Exception::Exception; };
class EPNGUnknownInterlace : public Exception { using Exception::Exception; };
class EPNGNoImageData : public Exception { using Exception::Exception; };
class EPNGHeaderNotPresent : public Exception { using Exception::Exception; };
class EPNGInvalidNewSize : public Exception { using Exception::Exception; };
class EPNGOutMemory : public Exception { using Exception::Exception; };

// The texts, as the class writes them.
namespace pngtext {
inline constexpr char kInvalidFileHeader[] =
    "The file being readed is not a valid \"Portable Network Graphics\" image because it contains an invalid "
    "header. This file may be corruped, try obtaining it again.";
inline constexpr char kUnexpectedEnd[] =
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end of the file.";
inline constexpr char kIHDRNotFirst[] =
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n(IHDR chunk is not the first)";
inline constexpr char kUnknownCriticalChunk[] =
    "This \"Portable Network Graphics\" image contains an unknown critical part which could not be decoded.";
inline constexpr char kNoImageData[] = "This \"Portable Network Graphics\" image contains no data.";
inline constexpr char kInvalidCRC[] =
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data (crc error)";
inline constexpr char kInvalidIHDR[] =
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece of data (ihdr) might "
    "be corrupted";
inline constexpr char kSizeExceeds[] =
    "This \"Portable Network Graphics\" image is not supported because either it's width or height exceeds the "
    "maximum size, which is 65535 pixels length.";
inline constexpr char kUnknownCompression[] =
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme which could not be "
    "decoded.";
inline constexpr char kUnknownInterlace[] =
    "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not be decoded.";
inline constexpr char kInvalidPalette[] = "The \"Portable Network Graphics\" image contains an invalid palette.";
inline constexpr char kOutMemory[] =
    "Some operation could not be performed because the system is out of resources. Close some windows and try "
    "again.";
inline constexpr char kHeaderNotPresent[] =
    "This operation is not valid because the current image contains no valid header.";
inline constexpr char kInvalidNewSize[] = "The new size provided for image resizing is invalid.";
inline constexpr char kMissingMultipleIDAT[] =
    "This \"Portable Network Graphics\" image is invalid because it has missing image parts.";
inline constexpr char kZlibError[] =
    "Could not decompress the image because it contains invalid compressed data.\r\n Description: ";
inline constexpr char kNoSuchPaletteEntry[] = "There is no such palette entry.";
inline constexpr char kChunksNotCompatible[] = "The chunks must be compatible to be assigned.";
}  // namespace pngtext

// The description of a zlib result code as the decoder reports it: zlib's text and the code,
// "data error (-3)", or the bare code in brackets for a code without a text ("(0)").
std::string PNGZlibDescription(int code);
