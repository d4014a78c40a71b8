#pragma once
// TIEQuantizer chooses a palette of at most N colours for one image and then maps each pixel of
// that image to a palette index. Made around one conversion and freed after it (writers that need
// palettes, the conversion to ie8p, colour reduction).
//
// A grey image gets the grey ramp; an ie8p image its own palette; a true-colour (ie24RGB) image
// first an exact palette of its colours in order of first appearance, and when it has more than N
// colours one of two quantizers chosen by QuantizerMethod: box splitting over a 32 x 32 x 32
// histogram, or the NeuQuant network. Every index RGBIndex returns lies inside the palette that
// was filled, so a writer never meets an index beyond it.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "imaging/core/ie_rgb.h"
#include "platform/system/object.h"

class TIEBitmap;
class TIENeuQuant;
class TIEBoxQuantizer;

class TIEQuantizer : public TObject {
 public:
  enum TMethod : int32_t { qmNeuQuant = 0, qmBoxSplitting = 1 };

  // Fills Palette[0..N-1] (fewer entries for an exact palette of fewer colours or a shorter ie8p
  // palette; the rest are left as they were) and prepares the mapping. N is limited to 1 ..
  // Palette's size. Extra is kept for callers that pass it; nothing reads it. The bitmap must stay
  // unchanged while the quantizer is used.
  TIEQuantizer(TIEBitmap& Bitmap, std::span<TIERGB> Palette, int32_t Extra, int32_t N);
  ~TIEQuantizer() override;
  TIEQuantizer(const TIEQuantizer&) = delete;
  TIEQuantizer& operator=(const TIEQuantizer&) = delete;

  // The palette index of a pixel of the bitmap: 0 .. ColorCount() - 1 (0 when no palette was made).
  // A colour the palette does not hold exactly maps to its nearest entry.
  int32_t RGBIndex(TIERGB Color) const;
  // RGBIndex of each of Width ie24RGB pixels of Src into Dst. Safe to call from several threads at
  // once (each with its own rows).
  void IndexRow(const uint8_t* Src, uint8_t* Dst, int32_t Width) const;

  // The number of palette entries filled.
  int32_t ColorCount() const { return colorCount_; }
  int32_t N() const { return n_; }
  bool GrayScale() const { return gray_; }
  // True when the image's own colours fit in the palette.
  bool IsExact() const { return !exact_.empty(); }
  // The quantizer built: qmNeuQuant, qmBoxSplitting, or -1 for none.
  int32_t Method() const { return method_; }

 private:
  bool BuildExactPalette(std::span<TIERGB> palette);
  int32_t FindColor3(TIERGB color) const;
  int32_t Nearest(TIERGB color) const;

  int32_t method_ = -1;
  bool gray_ = false;
  int32_t n_ = 0;
  int32_t colorCount_ = 0;
  bool indexed_ = false;
  TIEBitmap& bitmap_;
  // Exact colours in order of first appearance, with an open-addressing table colour -> index.
  std::vector<TIERGB> exact_;
  std::vector<int32_t> slots_;
  // Copy of the entries handed out, for nearest-colour searches (ie8p and exact palettes).
  std::vector<TIERGB> entries_;
  int32_t NeuQuantIndex(TIERGB color) const;

  std::unique_ptr<TIENeuQuant> neuQuant_;
  // NeuQuant's answers by colour: the network's search costs far more than a table look-up. A
  // picture of a megapixel or more (millions of colours) gets one entry per 24-bit colour, index + 1
  // or 0 while not yet asked, reserved zeroed so that only the pages of its colours are touched;
  // each colour is searched once. A smaller one gets a cache of 64K recent answers, entry
  // (colour + 1) << 8 | index, which costs little to make. Entries are read and written
  // atomically: threads that meet the same new colour at once both search and store the same
  // answer.
  struct FreeDeleter {
    void operator()(uint16_t* p) const;
  };
  std::unique_ptr<uint16_t, FreeDeleter> answers_;
  mutable std::vector<uint64_t> cache_;
  std::unique_ptr<TIEBoxQuantizer> boxQuant_;
};
