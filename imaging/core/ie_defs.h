#pragma once
// The engine's shared vocabulary: pixel formats with their sizes, pixel locations, row-access flags,
// the common event types and enumerations, and the engine version.
#include <cstdint>
#include <functional>

class TObject;

// Pixel formats of TIEBitmap. The values are stored in streams and tested by number.
enum TIEPixelFormat : uint8_t {
  ieNoFormat = 0,  // empty or freed bitmap
  ie1g = 1,        // 1 bit, 1 = white, most significant bit is the leftmost pixel
  ie8p = 2,        // 8-bit index into a 256-entry palette (blue, green, red entries)
  ie8g = 3,        // 8-bit grey
  ie16g = 4,       // 16-bit grey, little-endian
  ie24RGB = 5,     // bytes blue, green, red
  ie32f = 6,       // 32-bit float grey, nominally 0.0 .. 1.0
  ieCMYK = 7,      // bytes C, M, Y, K, each stored as 255 minus the ink
  ieRGB48 = 8,     // 16-bit words red, green, blue (the reverse of ie24RGB's byte order)
  ieCIELab = 9,    // bytes L (0..255), a, b (signed)
  ie32RGB = 10,    // bytes blue, green, red and a fourth byte (alpha when synchronised)
};
constexpr int kIEPixelFormatCount = 11;

// Bits per pixel and channels per pixel, indexed by the format value.
inline constexpr int32_t IEBitsPerPixel[kIEPixelFormatCount] = {0, 1, 8, 8, 16, 24, 32, 32, 48, 24, 32};
inline constexpr int32_t IEChannelsPerPixel[kIEPixelFormatCount] = {0, 1, 1, 1, 1, 3, 1, 4, 3, 3, 4};
// Bytes per pixel of the byte-aligned formats (0 for ieNoFormat and ie1g).
inline constexpr int32_t IEBytesPerPixel[kIEPixelFormatCount] = {0, 0, 1, 1, 2, 3, 4, 4, 6, 3, 4};

// True for a value inside the TIEPixelFormat range (values come from streams too).
constexpr bool IsValidPixelFormat(int value) { return value >= 0 && value < kIEPixelFormatCount; }

// A set of pixel formats (bit n = TIEPixelFormat n); the empty set stands for any format where a
// routine says so.
using TIEPixelFormatSet = uint16_t;
constexpr TIEPixelFormatSet PixelFormatSet(TIEPixelFormat Format) { return static_cast<TIEPixelFormatSet>(1u << Format); }
constexpr bool InPixelFormatSet(TIEPixelFormatSet Set, TIEPixelFormat Format) { return (Set >> Format) & 1u; }
// Every format but ieNoFormat.
inline constexpr TIEPixelFormatSet kAllPixelFormats = 0x7FE;

// Where a bitmap's pixels live.
enum TIELocation : uint8_t {
  ieMemory = 0,   // process memory: one block or several segments
  ieFile = 1,     // a delete-on-close temporary file, rows mapped one at a time
  ieTBitmap = 2,  // a wrapped framework bitmap (only ie1g, ie8p, ie8g, ie24RGB, ie32RGB)
};

// Row-access flags (a set in one byte): whether mapped file rows are read in and written back.
using TIERowAccess = uint8_t;
constexpr TIERowAccess iraRead = 1;
constexpr TIERowAccess iraWrite = 2;
constexpr TIERowAccess iraReadWrite = iraRead | iraWrite;

// Progress of a long operation: the sender and the percentage done (0..100).
using TIEProgressEvent = std::function<void(TObject* Sender, int32_t per)>;

enum TIEJob : uint8_t {
  iejNOTHING = 0,
  iejGENERALPROCESSING = 1,
  iejVIDEOCAP_CONNECTING = 2,
};
using TIEJobEvent = std::function<void(TObject* Sender, TIEJob job, int32_t per)>;

enum TResampleFilter : uint8_t {
  rfNone = 0,
  rfTriangle,
  rfHermite,
  rfBell,
  rfBSpline,
  rfLanczos3,
  rfMitchell,
  rfNearest,
  rfLinear,
  rfFastLinear,
  rfBilinear,
  rfBicubic,
  rfProjectBW,
  rfProjectWB,
};

enum TMsgLanguage : uint8_t {
  msSystem = 0,
  msEnglish,
  msItalian,
  msGerman,
  msSpanish,
  msFrench,
  msPortuguese,
  msGreek,
  msRussian,
  msDutch,
  msSwedish,
  msPolish,
  msJapanese,
  msCzech,
  msFinnish,
  msFarsi,
  msChinese,
  msChineseTraditional,
  msDanish,
  msTurkish,
  msKorean,
  msHungarian,
  msUser,
};

// The imaging engine's version, returned by the views as their version property.
inline constexpr const char* IEVERSION = "3.1.2";
