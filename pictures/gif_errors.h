#pragma once
// The GIF picture class's exception and the fixed texts of its failures and warnings. Failures are
// raised as GIFException; warnings (severity 1) go to the image's OnGIFWarning and the work goes on.
#include <string>

#include "platform/gdi/graphics.h"

class GIFException : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

// Raises a GIFException with Msg.
[[noreturn]] void GIFError(const std::string& Msg);

// Every warning of the class has this severity.
constexpr int32_t GIFWarningSeverity = 1;

inline constexpr const char* sPrematureEOF = "Premature end of data";
inline constexpr const char* sUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* sBadSignature = "Invalid GIF signature";
inline constexpr const char* sUnknownBlockType = "Unknown GIF block type";
inline constexpr const char* sScreenSizeExceeded = "Image exceeds Logical Screen size";
inline constexpr const char* sBadTrailer = "Invalid Image trailer";
inline constexpr const char* sUnknownExtension = "Unknown extension type";
inline constexpr const char* sBadExtensionIntroducer = "Invalid extension introducer";
inline constexpr const char* sBadExtensionInstance = "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* sBadAppExtensionSize = "Unsupported Application Extension block size";
inline constexpr const char* sInvalidData = "Invalid GIF data";
inline constexpr const char* sInvalidColor = "Invalid color index";
inline constexpr const char* sTooManyColors = "Color table overflow";
inline constexpr const char* sEmptyColorMap = "Color table is empty";
inline constexpr const char* sBadPixelValue = "Color not in color table";
inline constexpr const char* sInvalidCodeSize = "Invalid LZW code size";
inline constexpr const char* sDecodeUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* sBadPixelCoordinates = "Invalid pixel coordinates";
inline constexpr const char* sEmptyImage = "Image is empty";
inline constexpr const char* sBadWidth = "Image width too small for contained frames";
inline constexpr const char* sBadHeight = "Image height too small for contained frames";
inline constexpr const char* sNoColorTable = "No global or local color table defined";
inline constexpr const char* sUnsupportedClass = "Object type not supported for operation";
inline constexpr const char* sInvalidReduction = "Invalid reduction method";
inline constexpr const char* sInvalidBitsPerPixel = "Invalid number of bits per pixel";
inline constexpr const char* sInvalidPixelFormat = "Unsupported PixelFormat";
inline constexpr const char* sInvalidDimensions = "Invalid image dimensions";
inline constexpr const char* sOutOfMemDIB = "Failed to allocate memory for GIF DIB";
inline constexpr const char* sScanLine = "Scan line index out of range";
inline constexpr const char* sFailedPaste = "Failed to store GIF on clipboard";

// The texts of long operations reported through the picture's progress event.
inline constexpr const char* sProgressLoading = "Loading...";
inline constexpr const char* sProgressSaving = "Saving...";
inline constexpr const char* sProgressConverting = "Converting...";
inline constexpr const char* sProgressRendering = "Rendering...";
inline constexpr const char* sProgressCopying = "Copying...";
inline constexpr const char* sProgressOptimizing = "Optimizing...";
