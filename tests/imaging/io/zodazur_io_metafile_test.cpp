// Metafile import through TZodazUrIO: the sizes, the alpha pass, failures that still notify, loads
// by name, content and stream, parameters only, the I/O thread, the paste of an enhanced metafile
// another program offers, and pictures checked against independent renderers.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/processing/zodazur_proc.h"
#include "platform/gdi/metafile.h"
#include "platform/system/streams.h"
#include "tests/support/clipboard_fixture.h"
#include "tests/support/metafile_builder.h"
#include "tests/support/test_support.h"

using testsupport::EmfBuilder;
using testsupport::WmfBuilder;

namespace {

constexpr uint32_t kRed = 0x0000FF;  // COLORREF

void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A placeable metafile of w x h pixels (a box at 96 units per inch) with a red rectangle in it.
std::vector<uint8_t> PlaceableOfSize(int w, int h) {
  return WmfBuilder(0, 0, static_cast<int16_t>(w), static_cast<int16_t>(h), 96)
      .Brush(kRed).Select(0).Pen(0, 1, 5).Select(1).Rectangle(0, 0, static_cast<int16_t>(w), static_cast<int16_t>(h)).Finish();
}

// 40 x 40: a red square at (10, 10)-(30, 30) on nothing, and one pixel at (35, 35) in exactly the
// colour the alpha pass first fills with.
std::vector<uint8_t> SquareOnNothing() {
  EmfBuilder e(40, 40);
  e.Brush(1, kRed).NullPen().Rectangle(10, 10, 30, 30).Rec(15, {35, 35, 0x010203});
  return e.Finish();
}

class MetafileImport : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeZodazUrIO();
    InitializeZodazUrProc();
  }
  void TearDown() override {
    MetafileMaxSize = 8000;
    testsupport::ClearForeignClipboard();
  }
  std::unique_ptr<TMetafile> Load(const std::vector<uint8_t>& bytes) {
    auto m = std::make_unique<TMetafile>();
    m->LoadFromBytes(bytes.data(), bytes.size());
    return m;
  }
  testsupport::ScratchDir dir_;
};

}  // namespace

TEST_F(MetafileImport, SizesKeepProportionsAndTheLimit) {
  struct Case {
    int mw, mh, w, h, max, ew, eh;
  };
  const Case cases[] = {
      {1000, 500, 300, -1, 8000, 300, 150},   {1000, 500, -1, 100, 8000, 200, 100},
      {1000, 500, 40, 30, 8000, 40, 30},      {1000, 500, -1, -1, 8000, 1000, 500},
      // 16000 x 4000 at the start-up limit gives 8000 x 2000; the same sum at a tenth of it.
      {16000, 4000, -1, -1, 800, 800, 200},   {4000, 16000, -1, -1, 800, 200, 800},
      // A side that the limit would make 0 stays 1.
      {16000, 1, -1, -1, 8000, 8000, 1},      {1, 16000, -1, -1, 8000, 1, 8000},
      {1000, 500, 2000, -1, 800, 800, 400},
  };
  for (const Case& c : cases) {
    MetafileMaxSize = c.max;
    auto m = Load(PlaceableOfSize(c.mw, c.mh));
    ASSERT_EQ(m->Width(), c.mw);
    TZodazUrIO io(nullptr);
    io.ImportMetafile(*m, c.w, c.h, false);
    EXPECT_FALSE(io.Aborting());
    EXPECT_EQ(io.IEBitmap()->Width(), c.ew) << c.mw << "x" << c.mh << " as " << c.w << "," << c.h;
    EXPECT_EQ(io.IEBitmap()->Height(), c.eh) << c.mw << "x" << c.mh << " as " << c.w << "," << c.h;
    EXPECT_EQ(io.Params().Width, c.ew);
    EXPECT_EQ(io.Params().OriginalHeight, c.eh);
    EXPECT_EQ(io.Params().FileType, fmtWMF);
    EXPECT_EQ(io.IEBitmap()->PixelFormat(), ie24RGB);
    EXPECT_EQ(io.IEBitmap()->GetPixelRGB(c.ew / 2, c.eh / 2).r, 255);
  }
  // Either side 0 draws nothing and is no failure.
  TZodazUrIO io(nullptr);
  io.IEBitmap()->Allocate(3, 2, ie24RGB);
  auto m = Load(PlaceableOfSize(100, 50));
  io.ImportMetafile(*m, 0, -1, true);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.IEBitmap()->Width(), 3);
}

TEST_F(MetafileImport, AlphaWhereNothingIsPaintedAndBackgroundWithout) {
  TZodazUrIO io(nullptr);
  io.SetBackground(static_cast<TColor>(0x00FF00));  // green
  auto m = Load(SquareOnNothing());
  io.ImportMetafile(*m, -1, -1, true);
  ASSERT_FALSE(io.Aborting());
  TIEBitmap& b = *io.IEBitmap();
  ASSERT_EQ(b.Width(), 40);
  ASSERT_TRUE(b.HasAlphaChannel());
  EXPECT_EQ(b.GetAlpha(20, 20), 255);
  EXPECT_EQ(b.GetAlpha(2, 2), 0);
  EXPECT_EQ(b.GetAlpha(38, 20), 0);
  // Painted in the first key colour: opaque, as the second pass shows it painted.
  EXPECT_EQ(b.GetAlpha(35, 35), 255);
  EXPECT_EQ(b.GetPixelRGB(35, 35).r, 3);
  EXPECT_EQ(b.GetPixelRGB(35, 35).b, 1);
  EXPECT_FALSE(b.GetAlphaChannel()->Full());

  TZodazUrIO plain(nullptr);
  plain.SetBackground(static_cast<TColor>(0x00FF00));
  auto again = Load(SquareOnNothing());
  plain.ImportMetafile(*again, -1, -1, false);
  EXPECT_FALSE(plain.IEBitmap()->HasAlphaChannel());
  EXPECT_EQ(plain.IEBitmap()->GetPixelRGB(2, 2).g, 255);
  EXPECT_EQ(plain.IEBitmap()->GetPixelRGB(2, 2).r, 0);
  EXPECT_EQ(plain.IEBitmap()->GetPixelRGB(20, 20).r, 255);
}

TEST_F(MetafileImport, FailuresSetAbortingAndStillNotify) {
  TZodazUrIO io(nullptr);
  int finished = 0;
  io.OnFinishWork = [&](TObject*) { ++finished; };
  const std::vector<uint8_t> junk(300, 0x55);
  TCustomMemoryStream s(junk.data(), static_cast<int64_t>(junk.size()));
  io.ImportMetafileFromStream(s, -1, -1, true);
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(finished, 1);
  io.ImportMetafileFromFile(dir_.File("missing.emf"), -1, -1, true);
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(finished, 2);
  // A plain Windows metafile without a window extent has no size.
  const std::vector<uint8_t> sizeless = WmfBuilder().Rectangle(0, 0, 10, 10).Finish();
  TCustomMemoryStream z(sizeless.data(), static_cast<int64_t>(sizeless.size()));
  io.ImportMetafileFromStream(z, -1, -1, true);
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(finished, 3);
}

TEST_F(MetafileImport, LoadsByNameContentStreamAndParametersOnly) {
  const std::vector<uint8_t> emf = SquareOnNothing();
  const std::vector<uint8_t> wmf = PlaceableOfSize(30, 20);
  WriteFile(dir_.File("square.emf"), emf);
  WriteFile(dir_.File("box.wmf"), wmf);
  WriteFile(dir_.File("square.bin"), emf);

  TZodazUrIO io(nullptr);
  io.LoadFromFile(dir_.File("square.emf"));
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileType, fmtEMF);
  EXPECT_EQ(io.Params().FileName, dir_.File("square.emf"));
  EXPECT_EQ(io.IEBitmap()->Width(), 40);
  EXPECT_TRUE(io.IEBitmap()->HasAlphaChannel());

  io.LoadFromFile(dir_.File("box.wmf"));
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileType, fmtWMF);
  EXPECT_EQ(io.IEBitmap()->Width(), 30);
  EXPECT_EQ(io.IEBitmap()->Height(), 20);

  io.LoadFromFileByContent(dir_.File("square.bin"));
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileType, fmtEMF);

  TCustomMemoryStream s(wmf.data(), static_cast<int64_t>(wmf.size()));
  io.LoadFromStream(s);
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(io.IEBitmap()->Width(), 30);
  EXPECT_TRUE(io.Params().FileName.empty());

  // Parameters only: the size and kind, the pixels left alone.
  TZodazUrIO params(nullptr);
  params.IEBitmap()->Allocate(2, 2, ie24RGB);
  TCustomMemoryStream e(emf.data(), static_cast<int64_t>(emf.size()));
  params.ReadParamsFromStream(e);
  EXPECT_FALSE(params.Aborting());
  EXPECT_EQ(params.Params().FileType, fmtEMF);
  EXPECT_EQ(params.Params().Width, 40);
  EXPECT_EQ(params.Params().Height, 40);
  EXPECT_EQ(params.Params().BitsPerSample, 8);
  EXPECT_EQ(params.Params().SamplesPerPixel, 3);
  EXPECT_EQ(params.IEBitmap()->Width(), 2);
  params.ReadParamsFromFile(dir_.File("box.wmf"));
  EXPECT_EQ(params.Params().FileType, fmtWMF);
  EXPECT_EQ(params.Params().Width, 30);
}

TEST_F(MetafileImport, AsynchronousImportAtAThumbnailWidth) {
  WriteFile(dir_.File("square.emf"), SquareOnNothing());
  TIEBitmap callers;
  TZodazUrIO io(nullptr);
  io.SetAttachedIEBitmap(&callers);
  io.SetAsynchronous(true);
  std::atomic<int> finished{0};
  io.OnFinishWork = [&](TObject*) { ++finished; };
  io.ImportMetafileFromFile(dir_.File("square.emf"), 20, -1, true);
  io.WaitThreads(false);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(callers.Width(), 20);
  EXPECT_EQ(callers.Height(), 20);
  ASSERT_TRUE(callers.HasAlphaChannel());
  EXPECT_EQ(callers.GetAlpha(1, 1), 0);
  EXPECT_EQ(callers.GetAlpha(10, 10), 255);
}

TEST_F(MetafileImport, PastesAnEnhancedMetafileFromAnotherProgram) {
  testsupport::PlaceForeignClipboardData("image/x-emf", SquareOnNothing());
  TIEBitmap pasted;
  TZodazUrProc::CreateFromIEBitmap(&pasted)->PasteFromClipboard();
  ASSERT_EQ(pasted.Width(), 40);
  ASSERT_TRUE(pasted.HasAlphaChannel());
  EXPECT_EQ(pasted.GetAlpha(2, 2), 0);
  EXPECT_EQ(pasted.GetPixelRGB(20, 20).r, 255);
}

namespace {

// A picture as colours and a painted mask: transparent or white pixels are not painted.
struct Picture {
  int w = 0, h = 0;
  std::vector<TIERGB> rgb;
  std::vector<uint8_t> painted;
  size_t At(double fx, double fy) const {
    const int x = std::clamp(static_cast<int>(fx * w), 0, w - 1), y = std::clamp(static_cast<int>(fy * h), 0, h - 1);
    return static_cast<size_t>(y) * w + x;
  }
  // The colour at a fraction of the size when the pixels around it (a fortieth of the size) agree.
  bool Uniform(double fx, double fy, TIERGB& c) const {
    c = rgb[At(fx, fy)];
    for (double dy = -0.025; dy <= 0.025; dy += 0.0125)
      for (double dx = -0.025; dx <= 0.025; dx += 0.0125) {
        const TIERGB o = rgb[At(fx + dx, fy + dy)];
        if (std::abs(o.r - c.r) > 8 || std::abs(o.g - c.g) > 8 || std::abs(o.b - c.b) > 8) return false;
      }
    return true;
  }
  double PaintedShare() const {
    size_t n = 0;
    for (uint8_t p : painted) n += p;
    return static_cast<double>(n) / painted.size();
  }
};

Picture FromBitmap(TIEBitmap& b) {
  Picture p;
  p.w = b.Width(), p.h = b.Height();
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      TIERGB c = b.GetPixelRGB(x, y);
      if (b.HasAlphaChannel() && b.GetAlpha(x, y) < 128) c = TIERGB{255, 255, 255};
      p.rgb.push_back(c);
      p.painted.push_back(!(c.r > 240 && c.g > 240 && c.b > 240));
    }
  return p;
}

}  // namespace

// Small pictures written by an independent program (Inkscape, from the .svg beside them) played by
// us and by independent players: wmf2gd and ImageMagick for WMF, emf2svg-conv with rsvg-convert for
// EMF. Interior points agree and the painted area is within 2 % of the picture.
TEST_F(MetafileImport, RealFilesMatchIndependentPlayers) {
  for (const char* tool : {"wmf2gd", "convert", "emf2svg-conv", "rsvg-convert"})
    ASSERT_NE(testsupport::FindProgram({tool}), "") << tool << " missing";
  for (const char* base : {"rect_ellipse_triangle", "stroked_curve_and_circle"}) {
    for (const char* ext : {".wmf", ".emf"}) {
      const std::string file = (testsupport::DataDir() / "metafile" / (std::string(base) + ext)).string();
      TZodazUrIO ours(nullptr);
      ours.ImportMetafileFromFile(file, -1, -1, true);
      ASSERT_FALSE(ours.Aborting()) << file;
      const Picture mine = FromBitmap(*ours.IEBitmap());
      std::vector<std::string> renders;
      auto run = [](const std::string& command) {
        std::string out;
        EXPECT_EQ(testsupport::RunProgram(command, &out), 0) << command << "\n" << out;
      };
      if (std::string(ext) == ".wmf") {
        renders.push_back(dir_.File("gd.png"));
        run("wmf2gd -t png -o " + renders.back() + " " + file);
        renders.push_back(dir_.File("im.png"));
        run("convert -density 96 " + file + " -depth 8 " + renders.back());
      } else {
        run("emf2svg-conv -i " + file + " -o " + dir_.File("e.svg"));
        renders.push_back(dir_.File("rs.png"));
        run("rsvg-convert -w " + std::to_string(mine.w) + " -h " + std::to_string(mine.h) + " " + dir_.File("e.svg") +
            " -o " + renders.back());
      }
      for (const std::string& render : renders) {
        TZodazUrIO reader(nullptr);
        reader.LoadFromFile(render);
        ASSERT_FALSE(reader.Aborting()) << render;
        const Picture theirs = FromBitmap(*reader.IEBitmap());
        const std::string what = file + " against " + render;
        EXPECT_NEAR(static_cast<double>(theirs.w) / theirs.h, static_cast<double>(mine.w) / mine.h, 0.03) << what;
        EXPECT_NEAR(mine.PaintedShare(), theirs.PaintedShare(), 0.02) << what;
        int compared = 0;
        for (int j = 0; j < 15; ++j)
          for (int i = 0; i < 20; ++i) {
            const double fx = (i + 0.5) / 20, fy = (j + 0.5) / 15;
            TIERGB a, b;
            if (!mine.Uniform(fx, fy, a) || !theirs.Uniform(fx, fy, b)) continue;
            ++compared;
            EXPECT_LE(std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b), 24)
                << what << " at " << fx << "," << fy;
          }
        EXPECT_GT(compared, 150) << what;
      }
    }
  }
}
