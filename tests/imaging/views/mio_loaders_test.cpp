// The multi-frame loaders of the multi-image component: every page of a TIFF, DCX, ICO or GIF file
// into a thumbnail view at the insertion point, the records that go with them, GIF composition,
// damaged files, the frames of AVI and other media files, internet addresses, and the component's
// acquisition object.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_rgb.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/ie_wia.h"
#include "imaging/io/zodazur_mio.h"
#include "imaging/views/zodazur_mview.h"
#include "platform/system/streams.h"
#include "tests/imaging/views/mview_fixtures.h"
#include "tests/support/net_test_server.h"
#include "tests/support/test_support.h"
#include "tests/support/video_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
using mviewtest::MViewTest;

Bytes StreamBytes(TMemoryStream& s) {
  const auto* m = static_cast<const uint8_t*>(s.Memory());
  return Bytes(m, m + s.Size());
}

// Pages of 6 x 4 pixels whose blue byte names them (10, 20, 30, ...).
TColor PageColour(int Page) { return static_cast<TColor>((10 * (Page + 1)) << 16); }

Bytes MultiPageTIFF(int Pages) {
  TMemoryStream s;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  for (int i = 0; i < Pages; ++i) {
    TIEBitmap b(6, 4, ie24RGB);
    b.Fill(PageColour(i));
    TIOParamsVals p(nullptr);
    p.SetImageIndex(i);
    s.Seek(0, soBeginning);
    WriteTIFFStream(s, i > 0, &b, p, progress);
  }
  EXPECT_FALSE(aborting);
  return StreamBytes(s);
}

Bytes MultiPageDCX(int Pages) {
  TMemoryStream s;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  for (int i = 0; i < Pages; ++i) {
    TIEBitmap b(6, 4, ie24RGB);
    b.Fill(PageColour(i));
    TIOParamsVals p(nullptr);
    p.DcxImageIndex = i;
    s.Seek(0, soBeginning);
    WriteDCXStream(s, b, p, progress);
  }
  EXPECT_FALSE(aborting);
  return StreamBytes(s);
}

// An icon of three images; their widths (32, 16, 48) name them.
Bytes ThreeImageICO() {
  TMemoryStream s;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TIEBitmap b(48, 48, ie24RGB);
  b.Fill(PageColour(0));
  TIOParamsVals p(nullptr);
  const int32_t bits[] = {24, 24, 24};
  const TIOICOSize sizes[] = {{32, 32}, {16, 16}, {48, 48}};
  WriteICOStream(s, b, p, bits, sizes, 3, progress);
  EXPECT_FALSE(aborting);
  return StreamBytes(s);
}

// A GIF frame for GifFile: its rectangle, disposal, delay (hundredths) and one palette index.
struct GifFrame {
  int X, Y, W, H, Disposal, Delay, Index;
};

// A GIF of a W x H logical screen with the palette red, green, blue, yellow and background index 3.
// The LZW stream clears before every pixel, so every code is 3 bits wide.
Bytes GifFile(int W, int H, const std::vector<GifFrame>& Frames) {
  testsupport::ByteBuilder b;
  b.Raw("GIF89a").U16(static_cast<uint16_t>(W)).U16(static_cast<uint16_t>(H)).U8(0x91).U8(3).U8(0);
  for (uint8_t v : {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0}) b.U8(v);
  for (const GifFrame& f : Frames) {
    b.U8(0x21).U8(0xF9).U8(4).U8(static_cast<uint8_t>(f.Disposal << 2)).U16(static_cast<uint16_t>(f.Delay));
    b.U8(0).U8(0);
    b.U8(0x2C).U16(static_cast<uint16_t>(f.X)).U16(static_cast<uint16_t>(f.Y));
    b.U16(static_cast<uint16_t>(f.W)).U16(static_cast<uint16_t>(f.H)).U8(0).U8(2);
    Bytes data;
    uint32_t acc = 0;
    int bits = 0;
    auto put = [&](uint32_t code) {
      acc |= code << bits;
      for (bits += 3; bits >= 8; bits -= 8, acc >>= 8) data.push_back(static_cast<uint8_t>(acc));
    };
    for (int i = 0; i < f.W * f.H; ++i) {
      put(4);
      put(static_cast<uint32_t>(f.Index));
    }
    put(5);
    if (bits > 0) data.push_back(static_cast<uint8_t>(acc));
    for (size_t at = 0; at < data.size(); at += 255) {
      const size_t n = std::min<size_t>(255, data.size() - at);
      b.U8(static_cast<uint8_t>(n));
      for (size_t i = 0; i < n; ++i) b.U8(data[at + i]);
    }
    b.U8(0);
  }
  b.U8(0x3B);
  return b.Bytes();
}

// A DICOM Part 10 file (explicit VR little endian) of three 2 x 2 8-bit grey frames; frame f is
// black but for pixel f, which is white.
Bytes ThreeFrameDICOM() {
  testsupport::ByteBuilder b;
  b.Zeros(128).Raw("DICM");
  auto element = [&](uint16_t group, uint16_t tag, const char* vr, const Bytes& value) {
    b.U16(group).U16(tag).Raw(vr);
    if (std::string(vr) == "OB") b.U16(0).U32(static_cast<uint32_t>(value.size()));
    else b.U16(static_cast<uint16_t>(value.size()));
    b.Raw(value);
  };
  auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
  auto us = [](uint16_t v) { return Bytes{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; };
  const std::string syntax("1.2.840.10008.1.2.1\0", 20);
  element(0x0002, 0x0000, "UL", {28, 0, 0, 0});
  element(0x0002, 0x0010, "UI", text(syntax));
  element(0x0028, 0x0002, "US", us(1));
  element(0x0028, 0x0004, "CS", text("MONOCHROME2 "));
  element(0x0028, 0x0008, "IS", text("3 "));
  element(0x0028, 0x0010, "US", us(2));
  element(0x0028, 0x0011, "US", us(2));
  element(0x0028, 0x0100, "US", us(8));
  element(0x0028, 0x0101, "US", us(8));
  element(0x0028, 0x0102, "US", us(7));
  element(0x0028, 0x0103, "US", us(0));
  Bytes pixels(12, 0);
  for (int f = 0; f < 3; ++f) pixels[static_cast<size_t>(f * 4 + f)] = 255;
  element(0x7FE0, 0x0010, "OB", pixels);
  return b.Bytes();
}

TIERGB Pixel(TZodazUrMView* v, int Index, int X, int Y) {
  TIEBitmap b;
  v->GetImageBitmap(Index, &b);
  return b.GetPixelRGB(X, Y);
}

TColor PixelColour(TZodazUrMView* v, int Index, int X, int Y) { return RGBToTColor(Pixel(v, Index, X, Y)); }

constexpr TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kYellow = 0x00FFFF;

class MIOLoadTest : public MViewTest {
 protected:
  TZodazUrMView* View() {
    TZodazUrMView* v = MakeView(300, 200);
    Fill(v, 4);  // blue bytes 1, 2, 3, 4
    v->SelectImage(1);
    mio = v->GetMIO();
    mio->OnFinishWork = [this](TObject*) { ++finished; };
    return v;
  }
  std::string Write(const std::string& Name, const Bytes& Data) {
    const std::string path = dir.File(Name);
    mviewtest::WriteFile(path, Data);
    return path;
  }
  // Every way out of a load finishes the work once and leaves the view unlocked; the view is then
  // freed for the next case.
  void ExpectEndedCleanly(TZodazUrMView* v) {
    EXPECT_EQ(finished, 1);
    v->LockPaint();
    EXPECT_EQ(v->UnlockPaint(), 0) << "the view was left locked";
    delete v;
    finished = 0;
  }
  testsupport::ScratchDir dir;
  TZodazUrMIO* mio = nullptr;
  int finished = 0;
};

struct PagesCase {
  const char* Name;
  Bytes (*Make)();
  TIEFileFormatId FileType;
  // Checks image Index of the view as page Page.
  void (*Check)(TZodazUrMView* v, int Index, int Page);
};

void CheckColour(TZodazUrMView* v, int Index, int Page) {
  EXPECT_EQ(Pixel(v, Index, 5, 3).b, 10 * (Page + 1)) << "image " << Index;
}

const PagesCase kPages[] = {
    {"pages.tif", [] { return MultiPageTIFF(3); }, fmtTIFF, CheckColour},
    {"pages.dcx", [] { return MultiPageDCX(3); }, fmtDCX, CheckColour},
    {"frames.gif", [] { return mviewtest::AnimatedGif(3, 6, 4, 5); }, fmtGIF,
     [](TZodazUrMView* v, int Index, int Page) {
       const TColor expected[] = {kRed, kGreen, kBlue};
       EXPECT_EQ(PixelColour(v, Index, 5, 3), expected[Page]) << "image " << Index;
     }},
    {"frames.dcm", ThreeFrameDICOM, fmtDICOM,
     [](TZodazUrMView* v, int Index, int Page) {
       for (int i = 0; i < 4; ++i)
         EXPECT_EQ(Pixel(v, Index, i % 2, i / 2).r, i == Page ? 255 : 0) << "image " << Index << " pixel " << i;
     }},
    {"icons.ico", ThreeImageICO, fmtICO,
     [](TZodazUrMView* v, int Index, int Page) {
       const int widths[] = {32, 16, 48};
       TIEBitmap b;
       v->GetImageBitmap(Index, &b);
       EXPECT_EQ(b.Width(), widths[Page]) << "image " << Index;
     }},
};

// Three pages loaded while image 1 of four is selected: the pages at 1, 2, 3 in file order, the
// former images 1-3 after them, every page's record naming its format, file and place in the view.
TEST_F(MIOLoadTest, PagesGoInFileOrderAtTheSelectedImage) {
  for (const PagesCase& c : kPages) {
    SCOPED_TRACE(c.Name);
    TZodazUrMView* v = View();
    const std::string path = Write(c.Name, c.Make());
    std::vector<int> progress;
    mio->OnProgress = [&](TObject*, int32_t p) { progress.push_back(p); };
    mio->LoadFromFile(path);
    EXPECT_FALSE(mio->Aborting());
    ASSERT_EQ(v->ImageCount(), 7);
    ASSERT_EQ(mio->ParamsCount(), 7);
    for (int page = 0; page < 3; ++page) {
      c.Check(v, 1 + page, page);
      TIOParamsVals* p = mio->GetParams(1 + page);
      EXPECT_EQ(p->FileType, c.FileType);
      EXPECT_EQ(p->ImageIndex, 1 + page);
      EXPECT_EQ(p->FileName, path);
    }
    EXPECT_EQ(Pixel(v, 0, 0, 0).b, 1);
    for (int i = 4; i < 7; ++i) EXPECT_EQ(Pixel(v, i, 0, 0).b, i - 2) << "former image " << i - 3;
    EXPECT_EQ(progress, (std::vector<int>{0, 33, 66, 100}));
    EXPECT_TRUE(mio->CurrentFileName.empty());
    ExpectEndedCleanly(v);
  }
}

// GIF frames are stored whole: a frame covering a small rectangle shows the frame before around it,
// or the background where that frame asked to be restored to it; a delay of 0 repeats the last.
TEST_F(MIOLoadTest, GifFramesAreComposedOnTheLogicalScreen) {
  struct Case {
    int FirstDisposal;
    TColor Around;
  } cases[] = {{1, kRed}, {2, kYellow}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.FirstDisposal);
    TZodazUrMView* v = MakeView(300, 200);
    TZodazUrMIO* m = v->GetMIO();
    const std::string path =
        Write("composed.gif", GifFile(6, 5, {{0, 0, 6, 5, c.FirstDisposal, 0, 0}, {2, 1, 2, 3, 1, 0, 2}}));
    m->LoadFromFile(path);
    EXPECT_FALSE(m->Aborting());
    ASSERT_EQ(v->ImageCount(), 2);
    TIEBitmap second;
    v->GetImageBitmap(1, &second);
    EXPECT_EQ(second.Width(), 6);
    EXPECT_EQ(second.Height(), 5);
    EXPECT_EQ(PixelColour(v, 1, 2, 1), kBlue);  // the second frame
    EXPECT_EQ(PixelColour(v, 1, 3, 3), kBlue);
    EXPECT_EQ(PixelColour(v, 1, 0, 0), c.Around);
    EXPECT_EQ(PixelColour(v, 1, 5, 4), c.Around);
    EXPECT_EQ(PixelColour(v, 0, 0, 0), kRed);
    EXPECT_EQ(v->GetImageDelayTime(0), 100);
    EXPECT_EQ(v->GetImageDelayTime(1), 100);
    EXPECT_EQ(m->GetParams(1)->GifXPos, 0);
    EXPECT_EQ(m->GetParams(1)->GifAction, 2);
    delete v;
  }
  // A delay of 0 takes the frame before's.
  TZodazUrMView* v = MakeView(300, 200);
  const std::string path = Write("delays.gif", GifFile(2, 2, {{0, 0, 2, 2, 1, 7, 0}, {0, 0, 2, 2, 1, 0, 1}}));
  v->GetMIO()->LoadFromFile(path);
  ASSERT_EQ(v->ImageCount(), 2);
  EXPECT_EQ(v->GetImageDelayTime(0), 70);
  EXPECT_EQ(v->GetImageDelayTime(1), 70);
  delete v;
}

// A file cut inside its last page keeps the pages before it and stops with Aborting; TIFF with
// ContinueOnError keeps going. A file that is not the format inserts nothing. Every way out
// unlocks the view and finishes the work.
TEST_F(MIOLoadTest, DamagedFilesInsertWhatWasGoodAndNothingElse) {
  struct Case {
    const char* Name;
    Bytes Data;
    bool ContinueOnError;
    int Inserted;
    bool Aborts = true;
  };
  Bytes gif = mviewtest::AnimatedGif(3, 6, 4, 5);
  // The second page's compression (tag 259, SHORT, 1) becomes one no decoder takes.
  Bytes tiff = MultiPageTIFF(3);
  const uint8_t compression[] = {0x03, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00};
  std::vector<size_t> entries;
  for (size_t i = 0; i + 10 <= tiff.size(); ++i)
    if (std::equal(std::begin(compression), std::end(compression), tiff.begin() + static_cast<std::ptrdiff_t>(i)))
      entries.push_back(i);
  ASSERT_EQ(entries.size(), 3u);
  tiff[entries[1] + 8] = 0x77;
  tiff[entries[1] + 9] = 0x77;
  Bytes dcx = MultiPageDCX(3);
  const Bytes junk(200, 0x5A);
  const Case cases[] = {
      {"junk.tif", junk, false, 0},
      {"junk.gif", junk, false, 0},
      {"junk.dcx", junk, false, 0},
      {"junk.ico", junk, false, 0},
      {"empty.tif", {}, false, 0},
      // Cut inside the third frame's header: a GIF of two frames, read as far as it goes.
      {"cut.gif", Bytes(gif.begin(), gif.end() - 30), false, 2, false},
      {"cut.dcx", Bytes(dcx.begin(), dcx.end() - 40), false, 2},
      {"bad-page.tif", tiff, false, 1},
      // With ContinueOnError the page that failed is kept and the rest follow.
      {"bad-page-continued.tif", tiff, true, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TZodazUrMView* v = View();
    mio->ContinueOnError = c.ContinueOnError;
    mio->LoadFromFile(Write(c.Name, c.Data));
    EXPECT_EQ(mio->Aborting(), c.Aborts);
    EXPECT_EQ(v->ImageCount(), 4 + c.Inserted);
    EXPECT_EQ(mio->ParamsCount(), 4 + c.Inserted);
    EXPECT_EQ(Pixel(v, 1 + c.Inserted, 0, 0).b, 2);  // the selected image follows the good pages
    ExpectEndedCleanly(v);
  }
}

// The dispatch: an empty name aborts; a file AVI cannot open, a missing media file and an address
// nothing answers load nothing; another format the registry reads becomes one image at the
// insertion point.
TEST_F(MIOLoadTest, DispatchByName) {
  TZodazUrMView* v = View();
  mio->LoadFromFile("   ");
  EXPECT_TRUE(mio->Aborting());
  EXPECT_EQ(finished, 0);
  for (const char* name : {"clip.avi", "clip.mkv", "http://localhost/x.gif"}) {
    SCOPED_TRACE(name);
    finished = 0;
    const std::string n = name;
    mio->LoadFromFile(n.find("://") == std::string::npos ? dir.File(n) : n);
    EXPECT_TRUE(mio->Aborting());
    EXPECT_EQ(v->ImageCount(), 4);
    EXPECT_EQ(finished, 1);
  }
  const std::string bmp = Write("one.bmp", mviewtest::SolidBmp(3, 2, 0, 0, 200));
  mio->LoadFromFile(bmp);
  EXPECT_FALSE(mio->Aborting());
  ASSERT_EQ(v->ImageCount(), 5);
  EXPECT_EQ(Pixel(v, 1, 0, 0).b, 200);
  // A missing file of a bound format raises from the file variant.
  EXPECT_ANY_THROW(mio->LoadFromFile(dir.File("missing.tif")));
  delete v;
}


// AVI frames: every frame in file order at the insertion point, each with the stream's frame time
// and a record naming the AVI.
TEST_F(MIOLoadTest, AviFramesInOrderWithTheirFrameTime) {
  testsupport::VideoSpec spec;
  spec.Codec = "rawvideo";
  spec.Frames = 5;
  const std::string path = dir.File("clip.avi");
  ASSERT_EQ(testsupport::MakeVideo(path, spec), "");
  TZodazUrMView* v = View();
  mio->LoadFromFile(path);
  EXPECT_FALSE(mio->Aborting());
  ASSERT_EQ(v->ImageCount(), 9);
  for (int k = 0; k < 5; ++k) {
    TIEBitmap b;
    v->GetImageBitmap(1 + k, &b);
    b.ConvertPixelFormat(ie24RGB);
    ASSERT_EQ(b.Width(), spec.Width);
    std::vector<uint8_t> bottomUp;
    for (int y = b.Height() - 1; y >= 0; --y) {
      const auto* row = static_cast<const uint8_t*>(b.GetRow(y));
      bottomUp.insert(bottomUp.end(), row, row + b.Width() * 3);
    }
    EXPECT_EQ(testsupport::FrameNumberOf(bottomUp.data(), b.Width(), b.Height(), b.Width() * 3), k);
    EXPECT_EQ(v->GetImageDelayTime(1 + k), 40);  // 25 frames a second
    TIOParamsVals* p = mio->GetParams(1 + k);
    EXPECT_EQ(p->FileType, fmtAVI);
    EXPECT_EQ(p->ImageIndex, 1 + k);
    EXPECT_EQ(p->GifDelayTime, 40);
  }
  EXPECT_EQ(Pixel(v, 6, 0, 0).b, 2);
  EXPECT_EQ(finished, 1);
  // Not an AVI at all: nothing, and no media road either.
  finished = 0;
  mio->LoadFromFile(Write("junk.avi", Bytes(300, 0x33)));
  EXPECT_TRUE(mio->Aborting());
  EXPECT_EQ(v->ImageCount(), 9);
  EXPECT_EQ(finished, 1);
  delete v;
}

// The frame number a stored image shows.
int FrameNumberOfImage(TZodazUrMView* v, int Index) {
  TIEBitmap b;
  v->GetImageBitmap(Index, &b);
  b.ConvertPixelFormat(ie24RGB);
  std::vector<uint8_t> bottomUp;
  for (int y = b.Height() - 1; y >= 0; --y) {
    const auto* row = static_cast<const uint8_t*>(b.GetRow(y));
    bottomUp.insert(bottomUp.end(), row, row + b.Width() * 3);
  }
  return testsupport::FrameNumberOf(bottomUp.data(), b.Width(), b.Height(), b.Width() * 3);
}

// Media frames: one image per frame in file order at the insertion point, addressed by frame (AVI)
// or by media time (the others), each with the frame duration as its delay.
TEST_F(MIOLoadTest, MediaFramesInOrderWithTheirDuration) {
  struct Case {
    const char* Name;
    const char* Container;
    const char* Codec;
    int Frames, RateNum, RateDen, Delay;
  } cases[] = {
      {"clip.avi", "avi", "ffv1", 5, 25, 1, 40},
      {"clip.mp4", "mp4", "mpeg4", 6, 25, 1, 40},
      {"ntsc.mkv", "matroska", "ffv1", 6, 30000, 1001, 33},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    testsupport::VideoSpec spec;
    spec.Container = c.Container;
    spec.Codec = c.Codec;
    spec.Frames = c.Frames;
    spec.RateNum = c.RateNum;
    spec.RateDen = c.RateDen;
    spec.Gop = 3;
    const std::string path = dir.File(c.Name);
    ASSERT_EQ(testsupport::MakeVideo(path, spec), "");
    TZodazUrMView* v = View();
    std::vector<int> progress;
    mio->OnProgress = [&](TObject*, int32_t p) { progress.push_back(p); };
    mio->LoadFromMediaFile(path);
    EXPECT_FALSE(mio->Aborting());
    ASSERT_EQ(v->ImageCount(), 4 + c.Frames);
    for (int k = 0; k < c.Frames; ++k) {
      EXPECT_EQ(FrameNumberOfImage(v, 1 + k), k);
      EXPECT_EQ(v->GetImageDelayTime(1 + k), c.Delay);
      TIOParamsVals* p = mio->GetParams(1 + k);
      EXPECT_EQ(p->FileType, fmtUnknown);
      EXPECT_EQ(p->ImageIndex, 1 + k);
      EXPECT_EQ(p->FileName, path);
    }
    EXPECT_EQ(Pixel(v, 1 + c.Frames, 0, 0).b, 2);  // the image that was selected
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    ExpectEndedCleanly(v);
  }
}

// An AVI whose video the AVI services cannot decode takes the media road; when that cannot decode it
// either, nothing is loaded and the load ends with Aborting, the view unlocked and the work
// finished once. A file of another extension that no service plays ends the same way.
TEST_F(MIOLoadTest, UndecodableVideoLoadsNothing) {
  testsupport::VideoSpec spec;
  spec.Codec = "rawvideo";
  spec.Frames = 3;
  const std::string made = dir.File("made.avi");
  ASSERT_EQ(testsupport::MakeVideo(made, spec), "");
  Bytes avi = testsupport::ReadFileBytes(made);
  // The video's format block names a compression nothing decodes.
  const std::string strf = "strf";
  auto at = std::search(avi.begin(), avi.end(), strf.begin(), strf.end());
  ASSERT_NE(at, avi.end());
  const size_t compression = static_cast<size_t>(at - avi.begin()) + 8 + 16;
  for (size_t i = 0; i < 4; ++i) avi[compression + i] = 'Z';
  for (const auto& [name, data] : {std::pair<std::string, Bytes>{"unknown.avi", avi},
                                   std::pair<std::string, Bytes>{"unknown.mkv", Bytes(500, 0x47)}}) {
    SCOPED_TRACE(name);
    TZodazUrMView* v = View();
    mio->LoadFromFile(Write(name, data));
    EXPECT_TRUE(mio->Aborting());
    EXPECT_EQ(v->ImageCount(), 4);
    EXPECT_EQ(mio->ParamsCount(), 4);
    ExpectEndedCleanly(v);
  }
}

// Internet addresses: the multi-page formats load from memory, naming the address in their
// records; other content goes through a temporary file whose extension comes from the answer's
// type cut to letters and digits (a type with a path in it must not lead the file elsewhere); the
// proxy fields are used; failures load nothing and finish the work.
TEST_F(MIOLoadTest, InternetAddressesLoadByContent) {
  testsupport::NetTestServer& server = testsupport::NetTestServer::Shared();
  ASSERT_TRUE(server.Running());
  auto put = [&](const std::string& Name, const Bytes& Data) {
    server.Put(Name, std::string(Data.begin(), Data.end()));
  };
  put("pages.tif", MultiPageTIFF(3));
  put("one.bmp", mviewtest::SolidBmp(3, 2, 0, 0, 200));
  testsupport::VideoSpec spec;
  spec.Frames = 4;
  const std::string video = dir.File("clip.avi");
  ASSERT_EQ(testsupport::MakeVideo(video, spec), "");
  put("clip.avi", testsupport::ReadFileBytes(video));

  TZodazUrMView* v = View();
  const std::string tiff = server.Http("/pages.tif?type=application/octet-stream");
  mio->LoadFromFile(tiff);
  EXPECT_FALSE(mio->Aborting());
  ASSERT_EQ(v->ImageCount(), 7);
  for (int page = 0; page < 3; ++page) {
    CheckColour(v, 1 + page, page);
    EXPECT_EQ(mio->GetParams(1 + page)->FileType, fmtTIFF);
    EXPECT_EQ(mio->GetParams(1 + page)->FileName, tiff);
  }
  EXPECT_TRUE(mio->CurrentFileName.empty());
  EXPECT_EQ(finished, 1);

  // One picture through a file named by its type.
  v->SelectImage(0);
  mio->LoadFromURL(server.Http("/one.bmp"));
  EXPECT_FALSE(mio->Aborting());
  ASSERT_EQ(v->ImageCount(), 8);
  EXPECT_EQ(Pixel(v, 0, 0, 0).b, 200);

  // Video frames, the answer's type full of path separators.
  v->SelectImage(0);
  finished = 0;
  mio->LoadFromURL(server.Http("/clip.avi?type=video/../../x.avi/..%2F..%2Fevil"));
  EXPECT_FALSE(mio->Aborting());
  ASSERT_EQ(v->ImageCount(), 12);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(FrameNumberOfImage(v, k), k);
  EXPECT_EQ(finished, 1);

  // Through the proxy, which wants its credentials.
  mio->ProxyAddress = "127.0.0.1:" + std::to_string(server.ProxyPort());
  mio->ProxyUser = "proxy";
  mio->ProxyPassword = "wrong";
  finished = 0;
  mio->LoadFromURL(server.Http("/pages.tif"));
  EXPECT_TRUE(mio->Aborting());
  EXPECT_EQ(v->ImageCount(), 12);
  EXPECT_EQ(finished, 1);
  mio->ProxyPassword = "pass";
  mio->LoadFromURL(server.Http("/pages.tif"));
  EXPECT_FALSE(mio->Aborting());
  EXPECT_EQ(v->ImageCount(), 15);
  mio->ProxyAddress.clear();

  for (const std::string& bad : {server.Http("/notfound/pages.tif"), server.Http("/none.gif")}) {
    SCOPED_TRACE(bad);
    finished = 0;
    mio->LoadFromURL(bad);
    EXPECT_TRUE(mio->Aborting());
    EXPECT_EQ(v->ImageCount(), 15);
    EXPECT_EQ(finished, 1);
  }
  delete v;
}

// The acquisition object: made once, owned by the component, its transfer progress reported
// through OnProgress and stopped by Aborting. No device manager exists here.
TEST_F(MIOLoadTest, AcquisitionObjectReportsTransferProgress) {
  TZodazUrMIO m(nullptr);
  TIEWia* wia = m.GetWia();
  ASSERT_NE(wia, nullptr);
  EXPECT_EQ(m.GetWia(), wia);
  EXPECT_EQ(wia->Owner(), &m);
  EXPECT_EQ(wia->WiaDeviceManager(), nullptr);
  EXPECT_EQ(wia->RegistrationCount(), 0);
  std::vector<int> seen;
  m.OnProgress = [&](TObject* Sender, int32_t p) {
    EXPECT_EQ(Sender, &m);
    seen.push_back(p);
  };
  ASSERT_TRUE(wia->OnTransfer);
  EXPECT_TRUE(wia->OnTransfer(wia, 40));
  m.SetAborting(true);
  EXPECT_FALSE(wia->OnTransfer(wia, 60));
  EXPECT_EQ(seen, (std::vector<int>{40, 60}));
}

}  // namespace
