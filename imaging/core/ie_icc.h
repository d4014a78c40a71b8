#pragma once
// TIEICC holds one ICC colour profile: its bytes as found in an image file, the profile opened by the
// platform's colour management, the texts of its "desc" and "cprt" tags, and a cached transform from
// this profile to another one, through which rows of pixels are converted.
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ie_defs.h"

class TStream;
class TIEBitmap;
struct TColorProfileRec;
struct TColorTransformRec;

// Pixel layouts of a row given to TIEICC::TransformRow.
enum TIEICCRowFormat : int32_t {
  icrRGB = 0,       // 3 bytes R, G, B
  icrBGR = 1,       // 3 bytes B, G, R (ie24RGB)
  icrCMYKInv = 2,   // 4 bytes C, M, Y, K stored inverted (ieCMYK)
  icrCMYK6 = 3,     // 6-byte pixels whose first 4 bytes are C, M, Y, K (not inverted)
  icrCIELab = 4,    // 3 bytes L, a, b (ieCIELab: L scaled to 0..255, a and b signed)
  icrGray = 5,      // 1 grey byte (ie8g)
  icrRGB48 = 6,     // 3 little-endian 16-bit words R, G, B (ieRGB48)
  icrRGB48BE = 7,   // 3 big-endian 16-bit words R, G, B
  icr3Channel = 8,  // 3 bytes, three plain channels
};

class TIEICC {
 public:
  TIEICC() = default;
  ~TIEICC();
  TIEICC(const TIEICC&) = delete;
  TIEICC& operator=(const TIEICC&) = delete;

  // Keeps a copy of the profile bytes and opens them.
  void LoadFromBuffer(const void* buffer, int32_t length);
  void OpenProfile();
  // The standard sRGB profile (built into the program).
  void LoadSRGBProfile();
  void Clear();
  bool IsValid() const { return profile_ != nullptr; }
  bool HasTransform() const { return transform_ != nullptr; }
  // Deletes the cached transform; when there was one, the profile counts as applied.
  void FreeTransform();
  // Without rawOnly an int32 length first; then the profile bytes.
  void SaveToStream(TStream& stream, bool rawOnly) const;
  void Assign(const TIEICC* source);

  // Converts count pixels of source into dest from this profile to destination's, with the row
  // layouts given (TIEICCRowFormat). The transform is made on first use and kept while formats,
  // intent and flags stay the same; it is always made perceptual, in best mode. The source row is
  // never changed. False when no transform can be made or the layouts do not suit the profiles.
  bool TransformRow(TIEICC& destination, int32_t inputFormat, int32_t outputFormat, int32_t intent, uint32_t flags,
                    const void* source, void* dest, int32_t count);
  // Converts a whole bitmap into pixelFormat through this profile and destination's. False, with the
  // bitmap unchanged, when either format is not one of ie8g, ie24RGB, ieCMYK, ieRGB48, ieCIELab or a
  // row cannot be converted.
  bool ConvertBitmap(TIEBitmap* bitmap, TIEPixelFormat pixelFormat, TIEICC& destination);
  // Reads the description and copyright texts from the profile bytes.
  void ReadProfileTexts();

  const std::string& Description() const { return description_; }
  const std::string& Copyright() const { return copyright_; }
  bool Applied() const { return applied_; }
  const uint8_t* Raw() const { return raw_.data(); }
  int32_t RawLength() const { return static_cast<int32_t>(raw_.size()); }

 private:
  void CloseProfile();
  std::vector<uint8_t> raw_;
  TColorProfileRec* profile_ = nullptr;
  TColorTransformRec* transform_ = nullptr;
  int32_t cachedInput_ = -1, cachedOutput_ = -1, cachedIntent_ = -1;
  uint32_t cachedFlags_ = 0;
  bool applied_ = false;
  std::string description_;
  std::string copyright_;
};
