#include "pictures/gif_reduce.h"

#include "pictures/gif_color_lookup.h"
#include "pictures/gif_dib.h"
#include "pictures/gif_dither.h"
#include "pictures/gif_errors.h"
#include "pictures/gif_octree.h"
#include "pictures/gif_palettes.h"

namespace {

HPALETTE CopyPalette(HPALETTE source) {
  const uint32_t n = source ? GetPaletteEntries(source, 0, 0, nullptr) : 0;
  if (n == 0) return nullptr;
  std::vector<PALETTEENTRY> e(n);
  GetPaletteEntries(source, 0, n, e.data());
  return GDICheck(CreatePaletteFromEntries(e.data(), n));
}

std::unique_ptr<TColorLookup> LookupFor(TGIFReductionMethod method, HPALETTE palette) {
  switch (method) {
    case grmBlackWhite:
      return std::make_unique<TMonochromeLookup>();
    case grmGray256:
      return std::make_unique<TGrayScaleLookup>();
    case grmWeb216:
      return std::make_unique<TNetscapeColorLookup>();
    default:
      return std::make_unique<TFastColorLookup>(palette);
  }
}

std::unique_ptr<TDitherEngine> MakeDitherer(TGIFDitherMethod Dither, int32_t Width, TColorLookup* Lookup) {
  switch (Dither) {
    case gdmNearestColor:
      return std::make_unique<TDitherEngine>(Width, Lookup);
    case gdmFloydSteinberg:
      return std::make_unique<TFloydSteinbergDitherer>(Width, Lookup);
    case gdmStucki:
      return std::make_unique<TStuckiDitherer>(Width, Lookup);
    case gdmSierra:
      return std::make_unique<TSierraDitherer>(Width, Lookup);
    case gdmJarvisJudiceNinke:
      return std::make_unique<TJaJuNiDitherer>(Width, Lookup);
    case gdmStevensonArce:
      return std::make_unique<TSteveArcheDitherer>(Width, Lookup);
    case gdmBurkes:
      return std::make_unique<TBurkesDitherer>(Width, Lookup);
  }
  GIFError(sInvalidReduction);
}

}  // namespace

std::unique_ptr<TBitmap> ReduceBitmapColors(TBitmap& Bitmap, TGIFReductionMethod Method, TGIFDitherMethod Dither,
                                            HPALETTE CustomPalette, int32_t Bits) {
  auto result = std::make_unique<TBitmap>();
  if (Method == grmNone) {
    result->Assign(&Bitmap);
    result->SetPixelFormat(pf24bit);
    return result;
  }
  if (Method > grmCustomPalette || Dither > gdmBurkes) GIFError(sInvalidReduction);
  if (Method == grmOctree && (Bits < 1 || Bits > 8)) GIFError(sInvalidBitsPerPixel);
  TDIBReader reader(&Bitmap, pf24bit);

  TPaletteOwner palette;
  switch (Method) {
    case grmSystem20:
      palette.Palette = SystemPalette20();
      break;
    case grmHalftone:
      palette.Palette = HalftonePalette();
      break;
    case grmFourGrays:
      palette.Palette = FourGrayPalette();
      break;
    case grmBlackWhite:
      palette.Palette = BlackWhitePalette();
      break;
    case grmGray256:
      palette.Palette = GrayScalePalette();
      break;
    case grmWeb216:
      palette.Palette = WebPalette();
      break;
    case grmOctreeSystem:
      palette.Palette = QuantizedPalette(Bitmap, 256, 8, true);
      break;
    case grmCustomPalette:
      palette.Palette = CopyPalette(CustomPalette);
      break;
    case grmOctree:
      palette.Palette = QuantizedPalette(Bitmap, 1 << Bits, 8, false);
      break;
    default:
      break;
  }
  std::unique_ptr<TColorLookup> lookup = LookupFor(Method, palette.Palette);
  if (lookup->Colors() == 0) GIFError(sInvalidReduction);
  const int32_t width = Bitmap.Width();
  const int32_t height = Bitmap.Height();
  if (width == 0 || height == 0) return result;
  std::unique_ptr<TDitherEngine> ditherer = MakeDitherer(Dither, width, lookup.get());

  TDIBWriter writer(result.get(), pf8bit, width, height, palette.Palette);
  uint8_t r, g, b;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = reader.ScanLine(y);
    uint8_t* dst = writer.ScanLine(y);
    for (int32_t x = ditherer->Column(); x >= 0 && x < width; x = ditherer->Column())
      dst[x] = ditherer->Dither(src[3 * x + 2], src[3 * x + 1], src[3 * x], r, g, b);
    ditherer->NextLine();
  }
  return result;
}
