// Writes a small seed corpus for each fuzz target, made with the engine's own writers:
//   fuzz_make_seeds <corpus folder>   (creates <folder>/<target>/seed-N)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <zlib.h>

#include "controls/xc_data_item_extensions.h"
#include "controls/xc_data_list_extensions.h"
#include "controls/xc_data_startup.h"
#include "imaging/core/ie_bitmap.h"
#include "tests/support/metafile_builder.h"
#include "imaging/core/ie_imaging_annot.h"
#include "imaging/core/ie_iptc.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/processing/ie_yuv.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/hdp_codec.h"
#include "imaging/io/codecs/jpeg2000_codec.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/codecs/pnm_codec.h"
#include "imaging/io/codecs/tga_codec.h"
#include "imaging/io/codecs/wbmp_codec.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/io_params.h"
#include "imaging/core/ie_tiff_handler.h"
#include "imaging/io/codecs/tiff_ccitt.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/exif_blocks.h"
#include "imaging/core/ie_zlib.h"
#include "pictures/gif_image.h"
#include "pictures/pictures_startup.h"
#include "pictures/png_ancillary.h"
#include "pictures/png_picture.h"
#include "platform/color/color_management.h"
#include "platform/system/filer.h"
#include "platform/system/streams.h"

namespace {

std::filesystem::path root;

void Seed(const std::string& target, int n, const void* data, size_t size) {
  const auto dir = root / target;
  std::filesystem::create_directories(dir);
  FILE* f = std::fopen((dir / ("seed-" + std::to_string(n))).c_str(), "wb");
  if (!f) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
}

void Seed(const std::string& target, int n, TMemoryStream& s) { Seed(target, n, s.Memory(), static_cast<size_t>(s.Size())); }

void SeedWithOptions(const std::string& target, int n, uint8_t options, TMemoryStream& s);

void RawBitmaps() {
  int n = 0;
  for (TIEPixelFormat f : {ie1g, ie8p, ie8g, ie16g, ie24RGB, ieCMYK, ieRGB48, ie32RGB}) {
    TIEBitmap b(3, 2, f);
    b.Fill(0x102030);
    if (f == ie24RGB) b.SetAlpha(1, 1, 7);
    TMemoryStream s;
    b.SaveRawToStream(s);
    Seed("fuzz_raw_bitmap", n, s);
    // The paste's first byte chooses the clipboard format: 0 the raw stream.
    SeedWithOptions("fuzz_clipboard_paste", n++, 0, s);
  }
}

void IPTC() {
  TIEIPTCInfoList list;
  list.AddData(2, 5, "title", 5);
  list.AddData(2, 120, "a caption", 9);
  std::string big(33000, 'x');
  list.AddData(2, 202, big.data(), static_cast<int32_t>(big.size()));
  for (bool wrapper : {true, false}) {
    void* buffer = nullptr;
    int32_t length = 0;
    list.SaveToBuffer(buffer, length, wrapper);
    Seed("fuzz_iptc", wrapper, buffer, static_cast<size_t>(length));
    std::free(buffer);
  }
}

// An annotation block with a mark of each kind that carries data.
void Annotations() {
  TIEImagingAnnot annot;
  const int32_t types[] = {kIEMarkImageEmbedded, kIEMarkStraightLine, kIEMarkFreehandLine, kIEMarkFilledRect,
                           kIEMarkTypedText, kIEMarkAttachNote};
  for (int32_t type : types) {
    TIEImagingObject* o = annot.AddObject();
    o->Attributes[0] = static_cast<uint8_t>(type);
    o->Attributes[48] = 0xEC;  // font height -20
    o->Attributes[49] = o->Attributes[50] = o->Attributes[51] = 0xFF;
    if (type == kIEMarkImageEmbedded) o->Image = std::make_unique<TIEBitmap>(3, 2, ie24RGB);
    if (type == kIEMarkStraightLine || type == kIEMarkFreehandLine) o->Points = {{0, 0}, {5, 6}, {7, 1}};
    if (type == kIEMarkTypedText || type == kIEMarkAttachNote) o->Text = "text";
  }
  std::vector<uint8_t> block;
  annot.SaveToBuffer(block);
  Seed("fuzz_imaging_annot", 0, block.data(), block.size());
}

// A maker note of each layout the handler knows, and a plain one.
void MakerNotes() {
  const std::vector<std::vector<uint8_t>> notes = {
      {0x01, 'N', 'i', 'k', 'o', 'n', 0, 2, 0x10, 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2,
       0, 1, 0, 7, 0, 0, 0, 4, '0', '2', '1', '0', 0, 17, 0, 5, 0, 0, 0, 1, 0, 0, 0, 38, 0, 0, 0, 0,
       0, 0, 0, 1, 0, 0, 0, 3},
      {0x01, 'F', 'U', 'J', 'I', 'F', 'I', 'L', 'M', 12, 0, 0, 0, 1, 0, 0, 0x10, 2, 0, 8, 0, 0, 0,
       26, 0, 0, 0, 0, 0, 0, 0, 'N', 'O', 'R', 'M', 'A', 'L', ' ', 0},
      {0x01, 2, 0, 1, 0, 3, 0, 1, 0, 0, 0, 5, 0, 0, 0, 2, 0, 12, 0, 1, 0, 0, 0, 30, 0, 0, 0, 0, 0, 0,
       0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (size_t i = 0; i < notes.size(); ++i) Seed("fuzz_tags_handler", static_cast<int>(i), notes[i].data(), notes[i].size());
}

void TIFFs() {
  for (bool big : {false, true}) {
    // Build a two-page file with strips, a text and an EXIF directory by writing it through a
    // handler loaded from a minimal header.
    std::vector<uint8_t> header = {big ? uint8_t('M') : uint8_t('I'), big ? uint8_t('M') : uint8_t('I'), 0, 0, 0, 0, 0, 0};
    header[big ? 3 : 2] = 42;
    TCustomMemoryStream h(header.data(), 8);
    TIETIFFHandler handler(h);
    handler.AddPage();
    handler.AddPage();
    handler.AddTag(handler.Page(0), 256, 4, ttSHORT);
    handler.AddTag(handler.Page(0), 257, 2, ttSHORT);
    handler.AddTag(handler.Page(0), 270, std::string("seed image"));
    handler.AddTag(handler.Page(0), 282, 72, ttRATIONAL);
    handler.AddTag(handler.Page(0), 279, 8, ttLONG);
    handler.AddTag(handler.Page(1), 256, 1, ttLONG);
    TIETIFFEntry strips;
    strips.Tag = 273;
    strips.DataType = ttLONG;
    strips.DataNum = 1;
    strips.Kind = TIETIFFEntry::ekBlocks;
    strips.Blocks = {std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}};
    handler.Page(0).push_back(strips);
    TIETIFFEntry exif;
    exif.Tag = 34665;
    exif.DataType = ttLONG;
    exif.DataNum = 1;
    exif.Kind = TIETIFFEntry::ekSubIFD;
    handler.AddTag(exif.SubIFD, 36867, std::string("2024:01:01 00:00:00"));
    handler.Page(0).push_back(exif);
    TMemoryStream s;
    handler.WriteStream(s, -1);
    Seed("fuzz_tiff_handler", big, s);
  }
}

void PaintSeed(TIEBitmap& b);

// TIFF pages of our writer in each layout, a page inserted after them, EXIF blocks with and
// without a thumbnail, and an XMP payload.
void TIFFPages() {
  TIEBitmap rgb(9, 6, ie24RGB);
  PaintSeed(rgb);
  TIEBitmap bits(21, 5, ie1g);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 21; ++x) bits.SetPixel8(x, y, static_cast<uint8_t>((x * y + x) % 3 == 0));
  struct Layout { bool bilevel; int bits, samples, photometric, compression, fill; bool alpha; };
  const Layout layouts[] = {
      {false, 8, 3, 2, 0, 1, false}, {false, 8, 3, 2, 5, 1, false}, {false, 8, 3, 2, 8, 1, true},
      {false, 8, 3, 2, 9, 1, true},  {false, 8, 3, 2, 7, 1, false}, {false, 8, 3, 2, 6, 1, false},
      {false, 4, 1, 3, 5, 1, false}, {false, 8, 1, 1, 0, 1, false}, {false, 8, 4, 5, 0, 1, false},
      {false, 8, 3, 7, 0, 1, false}, {true, 1, 1, 0, 1, 1, false},  {true, 1, 1, 0, 2, 1, false},
      {true, 1, 1, 0, 3, 2, false},  {true, 1, 1, 0, 4, 1, false},  {true, 1, 1, 0, 4, 2, false},
  };
  int n = 0;
  for (const Layout& l : layouts) {
    TIEBitmap b;
    b.Assign(l.bilevel ? bits : rgb);
    if (l.alpha) b.SetAlpha(1, 1, 0);
    TIOParamsVals p(nullptr);
    p.BitsPerSample = l.bits;
    p.SamplesPerPixel = l.samples;
    p.TiffPhotometInterpret = static_cast<uint8_t>(l.photometric);
    p.TiffCompression = static_cast<uint8_t>(l.compression);
    p.TiffFillOrder = l.fill;
    p.TiffLZWCompressor = TIFFLZWEncode;
    p.TiffImageDescription = "seed";
    if (n == 2) {
      p.HasExifData = true;
      p.ExifMake = "seed";
      p.GpsVersionID = "2.2.0.0";
    }
    TMemoryStream s;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    WriteTIFFStream(s, false, &b, p, progress);
    if (n == 0) {
      // A second page inserted in front.
      TIOParamsVals q(nullptr);
      q.TiffLZWCompressor = TIFFLZWEncode;
      q.TiffCompression = 5;
      s.Seek(0, soBeginning);
      WriteTIFFStream(s, true, &rgb, q, progress);
    }
    SeedWithOptions("fuzz_tiff", n, static_cast<uint8_t>(n & 1), s);
    SeedWithOptions("fuzz_detect", 400 + n, 0, s);
    ++n;
  }
  for (bool thumbnail : {false, true}) {
    TIOParamsVals p(nullptr);
    p.HasExifData = true;
    p.ExifMake = "seed";
    p.SetExifExposureBiasValue(-0.5);
    p.ExifUserCommentCode = std::string("ASCII\0\0\0", 8);
    p.ExifUserComment = "seed comment";
    p.GpsVersionID = "2.2.0.0";
    p.GpsLatitudeRef = "N";
    p.SetTiffOrientation(6);
    if (thumbnail) {
      auto t = std::make_unique<TIEBitmap>(8, 6, ie24RGB);
      PaintSeed(*t);
      p.SetExifThumbnail(std::move(t));
    }
    std::vector<uint8_t> block;
    SaveEXIFToBuffer(p, block, true);
    Seed("fuzz_exif", thumbnail, block.data(), block.size());
  }
  TIOParamsVals x(nullptr);
  x.XmpInfo = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>";
  std::vector<uint8_t> xmp;
  BuildXMPAPP1(x, xmp);
  Seed("fuzz_exif", 2, xmp.data(), xmp.size());
}

void Zlib() {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "seed " + std::to_string(i % 37) + " ";
  for (int level = 0; level < 4; ++level) {
    TMemoryStream s;
    {
      TZCompressionStream z(s, level);
      z.WriteBuffer(text.data(), static_cast<int32_t>(text.size() / (level + 1)));
    }
    Seed("fuzz_zlib", level, s);
  }
}

void ICC() {
  int n = 0;
  for (TBuiltInProfile p : {bipSRGB, bipLab, bipGray}) {
    const auto bytes = BuiltInProfileData(p);
    Seed("fuzz_icc", n++, bytes.data(), bytes.size());
  }
}

// Images through the GIF and BMP writers (an options byte first, as the targets read it).
void SeedWithOptions(const std::string& target, int n, uint8_t options, TMemoryStream& s) {
  std::vector<uint8_t> bytes{options};
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  bytes.insert(bytes.end(), p, p + s.Size());
  Seed(target, n, bytes.data(), bytes.size());
}

void PaintSeed(TIEBitmap& b) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixel24(x, y, CreateRGB(uint8_t(x * 40), uint8_t(y * 50), uint8_t((x + y) % 3 * 100)));
}

void GIFsAndBMPs() {
  int n = 0;
  for (int32_t bits : {1, 2, 8}) {
    for (bool alpha : {false, true}) {
      TIEBitmap b(7, 5, ie24RGB);
      PaintSeed(b);
      if (alpha) b.SetAlpha(2, 2, 0);
      TIOParamsVals p(nullptr);
      p.BitsPerSample = bits;
      p.GifInterlaced = alpha;
      p.GifComments = {"seed"};
      p.GifLZWCompressor = GIFLZWEncode;
      bool aborting = false;
      TIEProgressRecord progress;
      progress.Aborting = &aborting;
      TMemoryStream s;
      WriteGIFStream(s, b, p, progress);
      SeedWithOptions("fuzz_gif", n, static_cast<uint8_t>(n), s);
      SeedWithOptions("fuzz_detect", n, 0, s);
      ++n;
    }
  }
  int m = 0;
  struct Variant { int32_t bits, samples; uint8_t version, compression; bool alpha; };
  const Variant variants[] = {{1, 1, 1, 0, false}, {4, 1, 1, 1, false}, {4, 1, 2, 0, false}, {8, 1, 1, 1, false},
                              {8, 1, 3, 0, false}, {8, 3, 1, 0, false}, {8, 3, 0, 0, true}};
  for (const Variant& v : variants) {
    TIEBitmap b(9, 6, ie24RGB);
    PaintSeed(b);
    if (v.alpha) b.SetAlpha(1, 1, 9);
    TIOParamsVals p(nullptr);
    p.BitsPerSample = v.bits;
    p.SamplesPerPixel = v.samples;
    p.BmpVersion = v.version;
    p.BmpCompression = v.compression;
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    TMemoryStream s;
    WriteBMPStream(s, b, p, progress, v.alpha);
    SeedWithOptions("fuzz_bmp", m, static_cast<uint8_t>(m * 37), s);
    SeedWithOptions("fuzz_detect", 100 + m, 0, s);
    ++m;
  }
}

// PNG files of every kind the engine's writer makes, with ancillary chunks, for the engine's reader.
void EnginePNGs() {
  struct Kind { TIEPixelFormat format; int32_t samples, bits; bool alpha, interlaced; };
  const Kind kinds[] = {{ie1g, 1, 1, false, false}, {ie8g, 1, 8, false, true},    {ie16g, 1, 16, false, false},
                        {ie24RGB, 1, 8, true, false}, {ie24RGB, 1, 8, false, true}, {ie24RGB, 3, 8, false, false},
                        {ie24RGB, 3, 8, true, true}};
  int n = 0;
  for (const Kind& k : kinds) {
    TIEBitmap rgb(9, 6, ie24RGB);
    PaintSeed(rgb);
    TIEBitmap b(9, 6, k.format);
    if (k.format == ie24RGB)
      b.Assign(rgb);
    else
      b.CopyAndConvertFormat(rgb);
    std::unique_ptr<TIEMask> mask;
    if (k.alpha) {
      b.SetAlpha(2, 2, 0);
      b.SetAlpha(3, 2, 100);
      mask = std::make_unique<TIEMask>();
      b.GetAlphaChannel()->CopyToMask(*mask);
    }
    TIOParamsVals p(nullptr);
    p.SamplesPerPixel = k.samples;
    p.BitsPerSample = k.bits;
    p.PngInterlaced = k.interlaced;
    p.PngBackground = CreateRGB(1, 2, 3);
    p.PngTextKeys = {"Title", "Comment"};
    p.PngTextValues = {"seed", n % 2 ? "\xe6\x97\xa5" : "Caf\xc3\xa9"};
    p.SetDpiX(200);
    p.SetDpiY(100);
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    TMemoryStream s;
    WritePNGStream(s, b, p, progress, mask.get());
    // Native or not, CRCs made right or not, written back or not.
    SeedWithOptions("fuzz_png", n, static_cast<uint8_t>(n & 7), s);
    SeedWithOptions("fuzz_clipboard_paste", 100 + n, 1, s);  // 1: "PNG"
    SeedWithOptions("fuzz_detect", 200 + n, 0, s);
    ++n;
  }
}

// A DIB header (40 bytes unless HeaderSize says more) as the import reads it.
std::vector<uint8_t> DibHeader(int32_t w, int32_t h, uint16_t bits, uint32_t compression, uint32_t headerSize = 40) {
  std::vector<uint8_t> d(headerSize, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(d.data() + at, &v, 4); };
  put32(0, headerSize);
  put32(4, static_cast<uint32_t>(w));
  put32(8, static_cast<uint32_t>(h));
  d[12] = 1;
  d[14] = static_cast<uint8_t>(bits);
  put32(16, compression);
  return d;
}

// DIBs of every depth and YUV layout the import decodes, small and complete, with the options
// byte (and the split of a separate pixel block) of the import target in front.
void DIBs() {
  int n = 0;
  auto seed = [&](uint8_t options, const std::vector<uint8_t>& dib, uint16_t split = 0) {
    std::vector<uint8_t> input = {options, static_cast<uint8_t>(split), static_cast<uint8_t>(split >> 8)};
    input.insert(input.end(), dib.begin(), dib.end());
    Seed("fuzz_dib_import", n, input.data(), input.size());
    // The drawing target takes the same input; the paste the DIB alone after its format byte (2).
    Seed("fuzz_dib_draw", n, input.data(), input.size());
    std::vector<uint8_t> paste = {2};
    paste.insert(paste.end(), dib.begin(), dib.end());
    Seed("fuzz_clipboard_paste", 200 + n, paste.data(), paste.size());
    if (n % 3 == 0) {
      // The gamma target takes the DIB after one byte of its own (the gamma, and a global block).
      std::vector<uint8_t> gamma = {static_cast<uint8_t>(0x80 | n % 7)};
      gamma.insert(gamma.end(), dib.begin(), dib.end());
      Seed("fuzz_gamma_dib", n, gamma.data(), gamma.size());
    }
    ++n;
  };
  struct Rgb {
    uint16_t bits;
    uint32_t compression, table, masks;
    int32_t height;
  };
  for (const Rgb r : {Rgb{1, 0, 2, 0, 3}, Rgb{4, 0, 16, 0, 3}, Rgb{8, 0, 256, 0, 3}, Rgb{16, 0, 0, 0, 3},
                      Rgb{16, 3, 0, 3, 3}, Rgb{24, 0, 0, 0, 3}, Rgb{24, 0, 0, 0, -3}, Rgb{32, 0, 0, 0, 3},
                      Rgb{32, 3, 0, 3, -3}}) {
    std::vector<uint8_t> d = DibHeader(5, r.height, r.bits, r.compression);
    if (r.masks) {
      const uint32_t m[3] = {r.bits == 16 ? 0xF800u : 0xFF0000u, r.bits == 16 ? 0x07E0u : 0xFF00u,
                             r.bits == 16 ? 0x001Fu : 0xFFu};
      d.insert(d.end(), reinterpret_cast<const uint8_t*>(m), reinterpret_cast<const uint8_t*>(m) + 12);
    }
    for (uint32_t i = 0; i < r.table; ++i) d.insert(d.end(), {uint8_t(i * 7), uint8_t(i * 3), uint8_t(255 - i), 0});
    const size_t rows = static_cast<size_t>((5 * r.bits + 31) / 32 * 4) * 3;
    for (size_t i = 0; i < rows; ++i) d.push_back(static_cast<uint8_t>(i * 29 + r.bits));
    seed(static_cast<uint8_t>(n & 2), d);
  }
  // Masks inside a 56-byte header.
  std::vector<uint8_t> v3 = DibHeader(2, 2, 16, 3, 56);
  const uint32_t m[4] = {0x0F00, 0x00F0, 0x000F, 0xF000};
  std::memcpy(v3.data() + 40, m, 16);
  v3.insert(v3.end(), 8, 0x5A);
  seed(0, v3);
  // Every YUV layout at 8 x 2, the frame after the header or in a block of its own.
  const char* layouts[] = {"I420", "IYUV", "YV12", "YVU9", "YUY2", "YUNV", "UYVY", "UYNV",
                           "cyuv", "YVYU", "IYU1", "IYU2", "Y41P", "Y211", "CLJR"};
  for (int i = 0; i < 15; ++i) {
    const char* c = layouts[i];
    const uint32_t cc = MakeFourCC(c[0], c[1], c[2], c[3]);
    std::vector<uint8_t> d = DibHeader(8, i % 2 ? 2 : -2, 16, cc);
    const int64_t frame = YUVFrameSize(cc, 8, 2);
    for (int64_t k = 0; k < frame; ++k) d.push_back(static_cast<uint8_t>(16 + k * 13));
    seed(static_cast<uint8_t>(i % 3 == 0 ? 1 : 0), d, 40);
  }
}

void ControlText() {
  // Start 1, count 3, then text, search and replacement.
  const char* lines[] = {" 1.234,5 \x01" ".\x01" ",", "prog \"a b\" \"\"c\x01" ";\x01" "x",
                         "\\\\server\\share\x01" "\\\\\x01", "letter\x01" "aa\x01" "b", "-\x01\x01"};
  int n = 0;
  for (const char* line : lines) {
    std::string seed("\x01\0\0\0\x03\0\0\0", 8);
    seed += line;
    Seed("fuzz_control_text", n++, seed.data(), seed.size());
  }
}

// GIF pictures written by the picture class: both encoders, interlaced and not, local tables, and
// every kind of extension (a frame without pixels at the end among them).
void GIFPictures() {
  int n = 0;
  for (TGIFEncoding encoding : {genLZW, genRunLength})
    for (bool interlaced : {false, true}) {
      TGIFImage image;
      image.SetEncoding(encoding);
      for (int c = 0; c < 4; ++c) image.GlobalColorMap()->Add(static_cast<TColor>(c * 0x3F3F3F));
      for (int k = 0; k < 3; ++k) {
        auto frame = std::make_unique<TGIFSubImage>(&image);
        if (k == 1)
          for (int c = 0; c < 16; ++c) frame->ColorMap()->Add(static_cast<TColor>(c * 0x100F07));
        frame->SetBounds(k, k, 9 - k, 7 - k);
        frame->SetInterlaced(interlaced);
        for (int64_t i = 0; i < frame->DataSize(); ++i) frame->Data()[i] = static_cast<uint8_t>((i / 3 + k) % (k == 1 ? 16 : 4));
        auto gce = std::make_unique<TGIFGraphicControlExtension>(frame.get());
        gce->SetDisposal(static_cast<uint8_t>(k + 1));
        gce->SetDelay(static_cast<uint16_t>(5 * k));
        gce->SetTransparent(k == 2);
        gce->SetTransparentColorIndex(1);
        frame->Extensions()->Add(std::move(gce));
        if (k == 0) {
          auto loop = std::make_unique<TGIFAppExtNSLoop>(frame.get());
          loop->Loops = 3;
          loop->BufferSize = 1000;
          frame->Extensions()->Add(std::move(loop));
          auto comment = std::make_unique<TGIFCommentExtension>(frame.get());
          comment->Text = {"seed", std::string(300, 'c')};
          frame->Extensions()->Add(std::move(comment));
        }
        if (k == 1) {
          auto text = std::make_unique<TGIFTextExtension>(frame.get());
          text->Text = {"plain text"};
          text->GridWidth = 8;
          frame->Extensions()->Add(std::move(text));
          auto app = std::make_unique<TGIFUnknownAppExtension>(frame.get());
          app->SetIdentifier("SEEDAPP 1.0");
          app->Blocks.push_back(TGIFBlock{{1, 2, 3}});
          frame->Extensions()->Add(std::move(app));
        }
        image.AppendFrame(std::move(frame));
      }
      auto tail = std::make_unique<TGIFSubImage>(&image);
      auto comment = std::make_unique<TGIFCommentExtension>(tail.get());
      comment->Text = {"after the last frame"};
      tail->Extensions()->Add(std::move(comment));
      image.AppendFrame(std::move(tail));
      TMemoryStream s;
      image.SaveToStream(s);
      Seed("fuzz_gif_picture", n++, s);
    }
}

// Item lists written by the data provider framework: a three-level tree whose items carry every
// registered item extension, the list's own extensions, and single items of each kind.
void DataStreams() {
  RegisterDataProviderClasses();
  auto write = [](TXcDataItemsList* list, int n) {
    TMemoryStream s;
    TWriter w(s);
    w.WriteProperties(list);
    w.WriteListEnd();
    Seed("fuzz_data_stream", n, s);
  };
  auto add = [](TXcDataItemsList* list, const std::string& id) {
    TIntfPtr<TXcBaseDataItem> item = CreateObject<TXcBaseDataItem>(list);
    item->SetID(id);
    list->InternalAdd(item.Get());
    return item.Get();
  };
  TIntfPtr<TXcDataItemsList> root = CreateObject<TXcDataItemsList>();
  CreateExtension<TXcBaseDataItemsListManagement>(root.Get());
  CreateExtension<TXcCustomDataItemsTextRenderer>(root.Get());
  CreateExtension<TXcCustomDataItemsImages>(root.Get());
  for (int i = 0; i < 3; ++i) {
    TXcBaseDataItem* top = add(root.Get(), "T" + std::to_string(i));
    CreateExtension<TXcDataItemTextImpl>(top)->SetText("top " + std::to_string(i));
    CreateExtension<TXcDataItemImageImpl>(top)->SetAlignment(static_cast<TAlignment>(i));
    auto* sub = ConstructObject<TXcDataItemsList>(static_cast<IXcDataItem*>(top));
    TXcBaseDataItem* mid = add(sub, "M" + std::to_string(i));
    CreateExtension<TXcDataItemBlockableTextImpl>(mid)->SetReadOnly(true);
    auto* leaves = ConstructObject<TXcDataItemsList>(static_cast<IXcDataItem*>(mid));
    CreateExtension<TXcDataItemContextTextImpl>(add(leaves, "L" + std::to_string(i)))->SetText("leaf");
  }
  write(root.Get(), 0);
  TIntfPtr<TXcDataItemsList> single = CreateObject<TXcDataItemsList>();
  CreateExtension<TXcDataItemImageImpl>(add(single.Get(), "S"))->SetImageIndex(-7);
  write(single.Get(), 1);
  TIntfPtr<TXcDataItemsList> empty = CreateObject<TXcDataItemsList>();
  write(empty.Get(), 2);
}

}  // namespace

// PNG files of every colour type and depth written by the picture class: plain and interlaced, with
// the image data split over small chunks, with texts, a palette's transparency and gamma.
void PNGs() {
  InitializePictures();
  const int kinds[][2] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                          {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
  int n = 0;
  for (const auto& k : kinds)
    for (int variant = 0; variant < 2; ++variant) {
      const uint32_t w = 9 + n % 5, h = 7;
      const int channels = k[0] == 2 ? 3 : k[0] == 4 ? 2 : k[0] == 6 ? 4 : 1;
      const size_t rowBytes = (w * channels * k[1] + 7) / 8;
      std::vector<uint8_t> raw;
      for (uint32_t y = 0; y < h; ++y) {
        raw.push_back(static_cast<uint8_t>(y % 5));  // every filter type
        for (size_t i = 0; i < rowBytes; ++i) raw.push_back(static_cast<uint8_t>(i * 29 + y * 7));
      }
      std::vector<uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
      uLongf packedSize = static_cast<uLongf>(packed.size());
      compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6);
      packed.resize(packedSize);
      // A minimal file to start from: header, palette, image data, end.
      TMemoryStream file;
      const auto chunk = [&](const char* name, const std::vector<uint8_t>& data) {
        const uint8_t len[4] = {static_cast<uint8_t>(data.size() >> 24), static_cast<uint8_t>(data.size() >> 16),
                                static_cast<uint8_t>(data.size() >> 8), static_cast<uint8_t>(data.size())};
        file.WriteBuffer(len, 4);
        file.WriteBuffer(name, 4);
        if (!data.empty()) file.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
        uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(name), 4);
        if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
        const uint8_t c[4] = {static_cast<uint8_t>(crc >> 24), static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 8),
                              static_cast<uint8_t>(crc)};
        file.WriteBuffer(c, 4);
      };
      const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
      file.WriteBuffer(signature, 8);
      chunk("IHDR", {0, 0, 0, static_cast<uint8_t>(w), 0, 0, 0, static_cast<uint8_t>(h), static_cast<uint8_t>(k[1]),
                     static_cast<uint8_t>(k[0]), 0, 0, 0});
      if (variant == 1) chunk("gAMA", {0, 0, 0xB1, 0x8F});
      if (k[0] == 3) {
        std::vector<uint8_t> plte;
        for (int i = 0; i < (1 << k[1]); ++i) plte.insert(plte.end(), {static_cast<uint8_t>(i * 40), static_cast<uint8_t>(255 - i), 9});
        chunk("PLTE", plte);
        if (variant == 1) chunk("tRNS", {255, 0, 128});
      }
      if (variant == 1 && (k[0] == 0 || k[0] == 2)) chunk("tRNS", std::vector<uint8_t>(k[0] == 0 ? 2 : 6, 0));
      chunk("IDAT", packed);
      chunk("IEND", {});
      file.SetPosition(0);
      TPNGObject png;
      png.LoadFromStream(file);
      png.SetInterlaceKind(static_cast<uint8_t>(variant));
      png.SetIdatChunkSize(variant == 1 ? 16 : 65535);
      png.SetRowFilters({prfNone, prfSub, prfUp, prfAverage, prfPaeth});
      if (variant == 1) {
        // Texts before the end.
        png.ChunkList().Remove(png.ChunkList().ItemFromClass<TChunkIEND>());
        auto* text = static_cast<TChunktEXt*>(png.ChunkList().Add(std::make_unique<TChunktEXt>(&png)));
        text->SetKeyword("Title");
        text->SetText("seed");
        auto* z = static_cast<TChunkzTXt*>(png.ChunkList().Add(std::make_unique<TChunkzTXt>(&png)));
        z->SetKeyword("Comment");
        z->SetText(std::string(200, 'x'));
        png.ChunkList().Add(std::make_unique<TChunkIEND>(&png));
      }
      TMemoryStream out;
      png.SaveToStream(out);
      Seed("fuzz_png_picture", n++, out);
    }
  FinalizePictures();
}

// JPEG files of our writer in every colour space, baseline and progressive, with markers and a
// two-chunk ICC profile; the same files without the options byte for the scanners.
void JPEGs() {
  int n = 0;
  const auto srgb = BuiltInProfileData(bipSRGB);
  for (uint8_t space = 0; space <= 4; ++space) {
    for (bool progressive : {false, true}) {
      TIEBitmap b(13, 9, ie24RGB);
      PaintSeed(b);
      TIOParamsVals p(nullptr);
      p.JpegColorSpace = space;
      p.JpegProgressive = progressive;
      p.JpegQuality = 50;
      p.JpegMarkers.AddMarker(0xFE, "seed", 4);
      if (space == 2) {
        const size_t half = srgb.size() / 2;
        for (int chunk = 1; chunk <= 2; ++chunk) {
          std::vector<uint8_t> m = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0,
                                    static_cast<uint8_t>(chunk), 2};
          m.insert(m.end(), srgb.begin() + (chunk == 1 ? 0 : static_cast<std::ptrdiff_t>(half)),
                   chunk == 1 ? srgb.begin() + static_cast<std::ptrdiff_t>(half) : srgb.end());
          p.JpegMarkers.AddMarker(0xE2, m.data(), static_cast<int32_t>(m.size()));
        }
      }
      bool aborting = false;
      TIEProgressRecord progress;
      progress.Aborting = &aborting;
      TMemoryStream s;
      WriteJpegStream(s, b, p, progress);
      SeedWithOptions("fuzz_jpeg", n, static_cast<uint8_t>(n * 37), s);
      Seed("fuzz_jpeg_scan", n, s);
      ++n;
    }
  }
}

// The small codecs' writers at every depth and coding; each file also seeds the detection target.
void SmallCodecs() {
  int n = 0;
  auto write = [](const std::function<void(TStream&, TIEProgressRecord&)>& w, TMemoryStream& s) {
    bool aborting = false;
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    w(s, progress);
  };
  TIEBitmap b(11, 6, ie24RGB);
  PaintSeed(b);
  // PCX: options, the data-size cut (0), the file; then a two-page DCX.
  for (int32_t bits : {1, 4, 8, 24})
    for (uint8_t rle : {0, 1}) {
      TIOParamsVals p(nullptr);
      p.BitsPerSample = bits == 24 ? 8 : bits;
      p.SamplesPerPixel = bits == 24 ? 3 : 1;
      p.PcxCompression = rle;
      TMemoryStream s;
      write([&](TStream& o, TIEProgressRecord& pr) { WritePCXStream(o, b, p, pr); }, s);
      std::vector<uint8_t> input = {static_cast<uint8_t>(n * 53), 0, 0};
      input.insert(input.end(), static_cast<uint8_t*>(s.Memory()), static_cast<uint8_t*>(s.Memory()) + s.Size());
      Seed("fuzz_pcx", n, input.data(), input.size());
      SeedWithOptions("fuzz_detect", 200 + n, 0, s);
      ++n;
    }
  {
    TMemoryStream s;
    TIOParamsVals p(nullptr);
    write([&](TStream& o, TIEProgressRecord& pr) { WriteDCXStream(o, b, p, pr); }, s);
    p.DcxImageIndex = 1;
    p.BitsPerSample = 1;
    s.Seek(0, soBeginning);
    write([&](TStream& o, TIEProgressRecord& pr) { WriteDCXStream(o, b, p, pr); }, s);
    std::vector<uint8_t> input = {1, 0, 0};
    input.insert(input.end(), static_cast<uint8_t*>(s.Memory()), static_cast<uint8_t*>(s.Memory()) + s.Size());
    Seed("fuzz_pcx", n++, input.data(), input.size());
    SeedWithOptions("fuzz_detect", 200 + n, 0, s);
  }
  // Targa: every depth, plain and coded, one with alpha.
  n = 0;
  TIEMask alpha;
  alpha.Allocate(11, 6, 8);
  alpha.Fill(128);
  struct T { int32_t bits, samples; bool gray, coded, withAlpha; };
  for (const T t : {T{1, 1, false, false, false}, T{4, 1, false, true, false}, T{8, 1, false, false, false},
                    T{8, 1, true, true, false}, T{8, 3, false, true, false}, T{8, 3, false, false, true}}) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = t.bits;
    p.SamplesPerPixel = t.samples;
    p.TgaGrayLevel = t.gray;
    p.TgaCompressed = t.coded;
    p.TgaAuthor = "seed";
    TMemoryStream s;
    write([&](TStream& o, TIEProgressRecord& pr) { WriteTGAStream(o, b, p, pr, t.withAlpha ? &alpha : nullptr); }, s);
    SeedWithOptions("fuzz_tga", n, static_cast<uint8_t>(n * 41), s);
    SeedWithOptions("fuzz_detect", 220 + n, 0, s);
    ++n;
  }
  // Icons: one of each depth, one of several sizes, and a cursor made of it.
  n = 0;
  TIEBitmap withAlpha;
  withAlpha.Assign(b);
  withAlpha.SetAlpha(2, 3, 0);
  for (int32_t depth : {1, 4, 8, 24, 32}) {
    TIOParamsVals p(nullptr);
    const TIOICOSize size{9, 5};
    TMemoryStream s;
    write([&](TStream& o, TIEProgressRecord& pr) { WriteICOStream(o, withAlpha, p, &depth, &size, 1, pr); }, s);
    SeedWithOptions("fuzz_ico", n, static_cast<uint8_t>(1 + (n & 8)), s);
    if (depth == 8) {
      static_cast<uint8_t*>(s.Memory())[2] = 2;
      SeedWithOptions("fuzz_ico", 50, 1, s);
    }
    ++n;
  }
  {
    TIOParamsVals p(nullptr);
    const int32_t depths[] = {4, 8, 32};
    const TIOICOSize sizes[] = {{4, 4}, {8, 8}, {12, 12}};
    TMemoryStream s;
    write([&](TStream& o, TIEProgressRecord& pr) { WriteICOStream(o, withAlpha, p, depths, sizes, 3, pr); }, s);
    SeedWithOptions("fuzz_ico", n++, 3, s);
    SeedWithOptions("fuzz_detect", 240, 0, s);
  }
  {
    // A PNG image inside an icon.
    TIOParamsVals p(nullptr);
    TMemoryStream png;
    write([&](TStream& o, TIEProgressRecord& pr) { WritePNGStream(o, withAlpha, p, pr, nullptr); }, png);
    std::vector<uint8_t> icon = {0, 0, 1, 0, 1, 0, 11, 6, 0, 0, 1, 0, 32, 0};
    const auto size = static_cast<uint32_t>(png.Size());
    for (int k = 0; k < 4; ++k) icon.push_back(static_cast<uint8_t>(size >> (8 * k)));
    icon.insert(icon.end(), {22, 0, 0, 0});
    icon.insert(icon.end(), static_cast<uint8_t*>(png.Memory()), static_cast<uint8_t*>(png.Memory()) + png.Size());
    std::vector<uint8_t> input = {0};
    input.insert(input.end(), icon.begin(), icon.end());
    Seed("fuzz_ico", 60, input.data(), input.size());
  }
  // PNM: every binary variant, comments, and the ASCII ones by hand.
  n = 0;
  for (int32_t bits : {1, 8, 16})
    for (int32_t samples : {1, 3}) {
      TIOParamsVals p(nullptr);
      p.BitsPerSample = bits;
      p.SamplesPerPixel = samples;
      p.PxmComments = {"seed"};
      TMemoryStream s;
      write([&](TStream& o, TIEProgressRecord& pr) { WritePXMStream(o, b, p, pr); }, s);
      SeedWithOptions("fuzz_pnm", n, static_cast<uint8_t>(n * 3), s);
      SeedWithOptions("fuzz_detect", 250 + n, 0, s);
      ++n;
    }
  for (const char* text : {"P1\n# c\n3 2\n0 1 0\n1 1 0\n", "P2 2 2 15 0 15 7 3", "P3 1 2 1023 1023 0 5 9 9 9"}) {
    TMemoryStream s;
    s.WriteBuffer(text, static_cast<int32_t>(std::strlen(text)));
    SeedWithOptions("fuzz_pnm", n++, 1, s);
  }
  // Wireless bitmaps.
  {
    TMemoryStream s;
    write([&](TStream& o, TIEProgressRecord& pr) { WriteWBMPStream(o, b, pr); }, s);
    Seed("fuzz_wbmp", 0, s);
  }
  // Raw pixels: the layout bytes, then data of each kind.
  const std::vector<std::vector<uint8_t>> raw = {
      {5, 3, 2, 1, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18},
      {5, 1, 1, 1, 4 | 8, 0, 1, 2, 3},
      {3, 2, 1, 4, 1, 0, '1', '2', ' ', '2', '5', '5'},
      {8, 1, 1, 1, 2, 2, 'x', 'x', 'F', 'F', ' ', '1', '0', ' ', 'A'},
      {6, 1, 1, 1, 1, 0, '3', '.', '5'},
      {7, 1, 1, 1, 4, 0, 1, 2, 3, 4},
  };
  for (size_t i = 0; i < raw.size(); ++i) Seed("fuzz_raw_pixels", static_cast<int>(i), raw[i].data(), raw[i].size());
}

// JPEG 2000 files of our writer: grey, RGB, alpha, 1-bit, 16-bit, both containers and progressions.
void J2000s() {
  int n = 0;
  TIEBitmap b(9, 6, ie24RGB);
  PaintSeed(b);
  TIEBitmap bits(10, 3, ie1g);
  for (int32_t space : {0, 1}) {
    for (int32_t depth : {8, 16}) {
      for (TIEJ2000Format format : {ieJ2000JP2, ieJ2000J2K}) {
        TIOParamsVals p(nullptr);
        p.J2000ColorSpace = static_cast<uint8_t>(space);
        p.BitsPerSample = depth;
        p.J2000ProgressionOrder = static_cast<uint8_t>(n & 1);
        p.J2000Rate = n % 3 == 0 ? 0.3 : 1.0;
        TIEBitmap& source = n == 5 ? bits : b;
        if (n == 2) b.SetAlpha(1, 1, 0);
        TMemoryStream s;
        bool aborting = false;
        TIEProgressRecord progress;
        progress.Aborting = &aborting;
        WriteJpeg2000Stream(s, source, p, progress, format);
        SeedWithOptions("fuzz_j2k", n, static_cast<uint8_t>(n & 1), s);
        SeedWithOptions("fuzz_detect", 300 + n, 0, s);
        ++n;
      }
    }
  }
}

void HDPhotos() {
  int n = 0;
  for (TIEPixelFormat f : {ie1g, ie8g, ie16g, ie24RGB, ieRGB48, ieCMYK}) {
    TIEBitmap b(9 + n, 6, f);
    if (f == ie24RGB) PaintSeed(b);
    for (double quality : {1.0, 0.5}) {
      TIOParamsVals p(nullptr);
      p.HdpImageQuality = quality;
      TMemoryStream s;
      bool aborting = false;
      TIEProgressRecord progress;
      progress.Aborting = &aborting;
      WriteHDPStream(s, b, p, progress);
      SeedWithOptions("fuzz_hdp", n, static_cast<uint8_t>(n & 7), s);
      if (quality == 1.0) SeedWithOptions("fuzz_detect", 400 + n, 0, s);
      ++n;
    }
  }
}

// Metafiles built record by record: one of each record group, WMF and EMF.
void Metafiles() {
  using testsupport::EmfBuilder;
  using testsupport::WmfBuilder;
  EmfBuilder e(64, 48);
  e.Brush(1, 0x0000FF).Pen(2, 0xFF0000, 3).Rectangle(4, 4, 30, 30).Rec(42, {10, 10, 60, 40});
  e.Rec(86, {0, 0, 0, 0, 3, 0x000A000A, 0x00280014, 0x0005001E}).Rec(47, {0, 0, 60, 40, 60, 20, 30, 0});
  e.Rec(33, {}).Rec(17, {8}).Rec(9, {10, 10}).Rec(11, {64, 48}).Rec(30, {1, 1, 8, 8}).Rectangle(0, 0, 10, 10);
  e.Rec(34, {-1}).Rec(59, {}).Rec(27, {5, 5}).Rec(54, {50, 5}).Rec(54, {50, 40}).Rec(61, {}).Rec(60, {});
  e.Rec(63, {0, 0, 0, 0}).Rec(35, {0x3F800000, 0x3E800000, 0, 0x3F800000, 0x40000000, 0});
  const std::vector<uint8_t> dib = testsupport::PackedDib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
  testsupport::ByteBuilder blt;
  blt.Zeros(16).U32(0).U32(0).U32(0).U32(0).U32(2).U32(2).U32(80).U32(40).U32(120);
  blt.U32(static_cast<uint32_t>(dib.size() - 40)).U32(0).U32(0x00CC0020).U32(20).U32(20).Raw(dib);
  e.Raw(81, blt.Bytes());
  const std::vector<uint8_t> emf = e.Finish();
  Seed("fuzz_metafile", 0, emf.data(), emf.size());
  WmfBuilder w(0, 0, 1000, 800, 1440);
  w.Brush(0x00FF00).Select(0).Pen(0x0000FF, 20).Select(1).Rectangle(100, 100, 600, 500);
  w.Rec(0x0418, {700, 900, 300, 400}).Rec(0x0324, {3, 10, 10, 500, 50, 200, 700});
  w.Rec(0x0521, {2, 'H' | 'i' << 8, 50, 10}).Rec(0x0817, {0, 500, 400, 1000, 800, 1000, 0, 0});
  const std::vector<uint8_t> wmf = w.Finish();
  Seed("fuzz_metafile", 1, wmf.data(), wmf.size());
  const std::vector<uint8_t> plain = WmfBuilder().Window(0, 0, 200, 100).Brush(0xFF).Select(0).Rectangle(0, 0, 100, 50).Finish();
  Seed("fuzz_metafile", 2, plain.data(), plain.size());
}

// Modified Huffman rows (each on a byte boundary, no EOL) for the CCITT decoders: a disc and a
// diagonal on 64 rows, 101 and 1728 pixels wide, in both fill orders. The first two bytes are the
// width less one (high bits, then low three bits) with mode 0 and the fill order. The other modes
// come from libtiff's coder in the tree's corpus.
void CCITTRows() {
  int n = 0;
  for (const int32_t width : {101, 1728}) {
    for (const int32_t fillOrder : {1, 2}) {
      TMemoryStream s;
      const uint8_t head[2] = {static_cast<uint8_t>((width - 1) >> 3),
                               static_cast<uint8_t>(((width - 1) & 7) | (fillOrder - 1) << 5)};
      s.Write(head, 2);
      std::vector<uint8_t> row(static_cast<size_t>((width + 7) / 8));
      bool failed = false;
      for (int32_t y = 0; y < 64; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (int32_t x = 0; x < width; ++x) {
          const int32_t dx = x - 50, dy = y - 32;
          if (dx * dx + dy * dy < 27 * 27 || x == y * width / 64) row[x >> 3] |= 0x80 >> (x & 7);  // set: black
        }
        CCITTEncodeMHRow(row.data(), width, s, failed, fillOrder);
      }
      Seed("fuzz_ccitt", n++, s);
    }
  }
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  root = argv[1];
  RawBitmaps();
  IPTC();
  MakerNotes();
  Annotations();
  TIFFs();
  TIFFPages();
  Zlib();
  ICC();
  GIFsAndBMPs();
  EnginePNGs();
  DIBs();
  ControlText();
  DataStreams();
  PNGs();
  GIFPictures();
  JPEGs();
  SmallCodecs();
  J2000s();
  HDPhotos();
  Metafiles();
  CCITTRows();
  return 0;
}
