#pragma once
// Error diffusion: each pixel's colour goes to a palette index through a colour lookup, and the
// difference to the palette colour is spread over neighbours not yet visited. Rows are scanned in
// serpentine order: left to right, then right to left. The caller asks for the pixels of a row in the
// order Column() and Direction() give (start at Column(), step by Direction() while the column lies
// within the row), then calls NextLine().
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TColorLookup;

class TDitherEngine {
 public:
  TDitherEngine(int32_t Width, TColorLookup* Lookup);
  virtual ~TDitherEngine() = default;
  TDitherEngine(const TDitherEngine&) = delete;
  TDitherEngine& operator=(const TDitherEngine&) = delete;

  // The palette index for the pixel at the current column, which then moves on; R, G and B receive
  // the palette colour. The plain engine diffuses nothing: every pixel gets the lookup's answer.
  virtual uint8_t Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B);
  // Moves to the start of the next row, which runs the other way.
  virtual void NextLine();
  // Moves past a pixel the caller does not dither (it keeps its error and spreads none).
  virtual void Skip() { column_ += direction_; }

  int32_t Direction() const { return direction_; }
  int32_t Column() const { return column_; }
  int32_t Width() const { return width_; }

 protected:
  TColorLookup* lookup_;  // not owned
  int32_t width_;
  int32_t direction_ = 1;
  int32_t column_ = 0;
};

// Floyd-Steinberg (7, 3, 5, 1 sixteenths) with running sums per channel and one error row.
class TFloydSteinbergDitherer : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int32_t Width, TColorLookup* Lookup);
  uint8_t Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
  void NextLine() override;
  void Skip() override;

 private:
  struct Channel {
    int32_t current = 0;     // error carried to the next pixel of the row
    int32_t below = 0;       // sums for the next row, still growing
    int32_t belowPrev = 0;
    std::vector<int32_t> row;  // the next row's errors, width + 2 entries
  };
  void Step(Channel& c, int32_t error);
  std::array<Channel, 3> channels_;
  int32_t at_ = 0;  // entry of the error row for the current column
};

// A kernel of weights spread over the current row and up to three rows below, each row buffered with
// a margin on both sides. Offsets count in the scan direction.
struct TDitherKernel {
  struct Weight {
    int32_t row;     // 0 the current row
    int32_t offset;  // columns ahead in the scan direction (negative: behind)
    int32_t weight;
  };
  int32_t divisor;
  int32_t rows;    // error rows kept (the current one included)
  int32_t margin;  // entries before and after the row
  std::vector<Weight> weights;
};

class TKernelDitherer : public TDitherEngine {
 public:
  TKernelDitherer(int32_t Width, TColorLookup* Lookup, TDitherKernel Kernel);
  uint8_t Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
  void NextLine() override;

 private:
  TDitherKernel kernel_;
  // errors_[channel][row] holds width + 2 * margin entries; row 0 is the current row.
  std::array<std::vector<std::vector<int32_t>>, 3> errors_;
};

// The published kernels.
class TStuckiDitherer : public TKernelDitherer {
 public:
  TStuckiDitherer(int32_t Width, TColorLookup* Lookup);
};
class TSierraDitherer : public TKernelDitherer {
 public:
  TSierraDitherer(int32_t Width, TColorLookup* Lookup);
};
class TJaJuNiDitherer : public TKernelDitherer {
 public:
  TJaJuNiDitherer(int32_t Width, TColorLookup* Lookup);
};
class TSteveArcheDitherer : public TKernelDitherer {
 public:
  TSteveArcheDitherer(int32_t Width, TColorLookup* Lookup);
};
class TBurkesDitherer : public TKernelDitherer {
 public:
  TBurkesDitherer(int32_t Width, TColorLookup* Lookup);
};
