// The PostScript and PDF writers: exact syntax, and documents rendered by independent readers
// (pdftoppm, Ghostscript) and checked by qpdf. The tools are test dependencies
// (scripts/install-deps.sh): a missing tool fails the test.
#include "imaging/io/codecs/ps_pdf_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/jpeg_codec.h"
#include "imaging/io/codecs/pdf_objects.h"
#include "imaging/io/codecs/tiff_lzw.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Str(TMemoryStream& s) {
  const auto* p = static_cast<const char*>(s.Memory());
  return p ? std::string(p, p + s.Size()) : std::string();
}

std::string Written(TIEPDFObject& o) {
  TMemoryStream s;
  o.Write(s);
  return Str(s);
}

void SaveFile(const std::string& name, const std::string& data) {
  std::ofstream(name, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Runs of blanks as one blank.
std::string Squeezed(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ' ' || out.empty() || out.back() != ' ') out += c;
  return out;
}

// A binary PPM (P6) or PGM (P5) as R, G, B per pixel.
struct Raster {
  int w = 0, h = 0;
  Bytes rgb;
};
Raster ReadPnm(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  Raster r;
  std::string magic;
  int fields[3] = {};
  in >> magic;
  for (int& f : fields) {
    while (in >> std::ws && in.peek() == '#') in.ignore(1 << 20, '\n');
    in >> f;
  }
  in.get();
  r.w = fields[0];
  r.h = fields[1];
  const int channels = magic == "P6" ? 3 : 1;
  Bytes raw(static_cast<size_t>(r.w) * r.h * channels);
  in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
  if (!in) return {};
  for (size_t i = 0; i < raw.size(); i += channels)
    for (int c = 0; c < 3; ++c) r.rgb.push_back(raw[i + (channels == 3 ? c : 0)]);
  return r;
}

// The centre pixel of every Factor x Factor block.
Raster Subsampled(const Raster& r, int factor) {
  if (factor == 1) return r;
  Raster out;
  out.w = r.w / factor;
  out.h = r.h / factor;
  for (int y = 0; y < out.h; ++y)
    for (int x = 0; x < out.w; ++x)
      for (int c = 0; c < 3; ++c)
        out.rgb.push_back(r.rgb[(static_cast<size_t>(y * factor + factor / 2) * r.w + x * factor + factor / 2) * 3 + c]);
  return out;
}

// The source picture as R, G, B per pixel.
Bytes SourceRGB(TIEBitmap& b) {
  Bytes out;
  for (int y = 0; y < b.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(b.GetRow(y));
    for (int x = 0; x < b.Width(); ++x) {
      if (b.PixelFormat() == ie1g) {
        const uint8_t v = (row[x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
        out.insert(out.end(), {v, v, v});
      } else {
        out.insert(out.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
      }
    }
  }
  return out;
}

double Psnr(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double se = 0;
  for (size_t i = 0; i < a.size(); ++i) se += (a[i] - b[i]) * double(a[i] - b[i]);
  if (se == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * a.size() / se);
}

// A colour picture: smooth gradients with a few hard edges, distinct per channel.
void PaintColour(TIEBitmap& b, int w, int h, int seed) {
  b.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetRow(y));
    for (int x = 0; x < w; ++x) {
      row[x * 3 + 2] = static_cast<uint8_t>(x * 255 / (w - 1));          // red
      row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / (h - 1));          // green
      row[x * 3] = static_cast<uint8_t>(((x / 8 + y / 8 + seed) % 2) ? 200 : 40);  // blue
    }
  }
}

// A bilevel picture like text: strokes on white (1 = white).
void PaintBilevel(TIEBitmap& b, int w, int h, int seed) {
  b.Allocate(w, h, ie1g);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetRow(y));
    for (int x = 0; x < w; ++x) {
      const bool black = ((x + seed) % 11 < 3 && y % 9 < 6) || (y % 17 == 0) || ((x * 7 + y * 3 + seed) % 23 == 0);
      if (black)
        row[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
      else
        row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
}

// ------------------------------------------------------------------------------ object model bytes

TEST(PdfObjects, WriteTheirSyntax) {
  TIEPDFStringObject str("a(b)c\\d");
  EXPECT_EQ(Written(str), "(a\\(b\\)c\\\\d)");
  TIEPDFStringObject controls("\b\t\n\f\r");
  EXPECT_EQ(Written(controls), "(\\b\\t\\n\\f\\r)");
  TIEPDFNameObject name("A B");
  EXPECT_EQ(Written(name), "/A#20B");
  TIEPDFNameObject delimiters("a#(/)%");
  EXPECT_EQ(Written(delimiters), "/a#23#28#2F#29#25");
  TIEPDFArrayObject array;
  EXPECT_EQ(Written(array), "[]");
  array.Add(std::make_unique<TIEPDFNumericObject>(595));
  array.Add(std::make_unique<TIEPDFNumericObject>(0.5));
  array.Add(std::make_unique<TIEPDFBooleanObject>(true));
  array.Add(std::make_unique<TIEPDFRefObject>(3, 0));
  EXPECT_EQ(Written(array), "[595 0.5 true 3 0 R ]");
  TIEPDFDictionaryObject dict;
  EXPECT_EQ(Written(dict), "<< >>");
  dict.Add("Type", std::make_unique<TIEPDFNameObject>("Page"));
  EXPECT_EQ(Written(dict), "<< /Type /Page\n>>");
}

TEST(PdfObjects, NonAsciiTextIsUtf16WithByteOrderMark) {
  TIEPDFStringObject s("\xC3\xA9t\xC3\xA9");  // "été"
  EXPECT_EQ(Written(s), "(\\376\\377\\000\\351\\000t\\000\\351)");
}

TEST(PdfObjects, StreamLengthIsTheDataLength) {
  TIEPDFStreamObject s("0123456789", 10);
  s.Dictionary->Set("Length", std::make_unique<TIEPDFNumericObject>(99));
  EXPECT_EQ(Written(s), "<< /Length 10\n>>\nstream\n0123456789\nendstream");
}

TEST(PdfObjects, CrossReferenceOfSevenObjects) {
  std::vector<std::unique_ptr<TIEPDFDictionaryObject>> owned;
  TIEPDFObjectList list;
  for (int i = 0; i < 7; ++i) {
    owned.push_back(std::make_unique<TIEPDFDictionaryObject>());
    AddPDFObject(list, owned.back().get());
  }
  EXPECT_EQ(list[6]->ObjectNumber, 7);
  TMemoryStream s;
  WritePDFHeader(s);
  EXPECT_EQ(Str(s), "%PDF-1.4\n%\xC8\xD2\xF0\xFE\n");
  WritePDFObjects(s, list);
  EXPECT_EQ(list[0]->Offset, 15);
  const int64_t x = s.Position();
  ASSERT_TRUE(WritePDFXrefTrailer(s, list, *list[6]));
  const std::string text = Str(s).substr(static_cast<size_t>(x));
  EXPECT_EQ(text.substr(0, 29), "xref\n0 8\n0000000000 65535 f \n");
  EXPECT_NE(text.find("0000000015 00000 n \n"), std::string::npos);
  EXPECT_NE(text.find("trailer\n<< /Size 8\n/Root 1 0 R\n/Info 7 0 R\n>>\nstartxref\n" + std::to_string(x) +
                      "\n%%EOF\n"),
            std::string::npos);
}

TEST(PdfObjects, OffsetsPastTenDigitsFailTheTable) {
  TIEPDFDictionaryObject a;
  TIEPDFObjectList list;
  AddPDFObject(list, &a);
  a.Offset = 10000000000;
  TMemoryStream s;
  EXPECT_FALSE(WritePDFXrefTrailer(s, list, a));
  EXPECT_EQ(s.Size(), 0);
  a.Offset = 9999999999;
  EXPECT_TRUE(WritePDFXrefTrailer(s, list, a));
  EXPECT_NE(Str(s).find("9999999999 00000 n \n"), std::string::npos);
}

// ------------------------------------------------------------------------------ structure

std::unique_ptr<TIOParamsVals> PdfParams(int compression) {
  auto p = std::make_unique<TIOParamsVals>(nullptr);
  p->PdfCompression = static_cast<uint8_t>(compression);
  p->TiffLZWCompressor = TIFFLZWEncode;
  return p;
}

std::string WritePdf(TIEBitmap& b, TIOParamsVals& p, bool* aborted = nullptr) {
  TMemoryStream s;
  bool abort = false;
  TIEProgressRecord pr;
  pr.Aborting = &abort;
  WritePDFStream(s, b, p, pr);
  if (aborted) *aborted = abort;
  return Str(s);
}

TEST(PdfWriter, PlacesThePictureAtTheTopLeft) {
  TIEBitmap b;
  PaintColour(b, 200, 100, 0);
  auto pp = PdfParams(0);
  TIOParamsVals& p = *pp;
  const std::string pdf = WritePdf(b, p);
  EXPECT_NE(pdf.find("q\n595 0 0 297 0 545 cm\n/lm1 Do\nQ"), std::string::npos);
  EXPECT_NE(pdf.find("/MediaBox [0 0 595 842 ]"), std::string::npos);
  // 1 catalog, 2 resources, 3 image, 4 contents, 5 page, 6 page tree, 7 info.
  EXPECT_NE(pdf.find("1 0 obj\n<< /Type /Catalog\n/Pages 6 0 R\n>>"), std::string::npos);
  EXPECT_NE(pdf.find("3 0 obj\n<< /Type /XObject\n/Subtype /Image\n/Length 60000\n/ColorSpace /DeviceRGB\n"
                     "/BitsPerComponent 8\n/Width 200\n/Height 100\n>>"),
            std::string::npos);
  EXPECT_NE(pdf.find("5 0 obj\n<< /Type /Page\n/Resources 2 0 R\n"), std::string::npos);
  EXPECT_NE(pdf.find("6 0 obj\n<< /Type /Pages\n/Kids [5 0 R ]\n/Count 1\n>>"), std::string::npos);
  EXPECT_NE(pdf.find("/Info 7 0 R"), std::string::npos);
}

TEST(PdfWriter, CompressionChoices) {
  struct Case {
    bool bilevel;
    int compression;
    int recordAfter;
    const char* filter;  // nullptr: no filter
  } cases[] = {
      {false, 2, 2, nullptr},                      // colour takes only JPEG and LZW
      {false, 1, 1, nullptr},
      {false, 5, 5, "/Filter /LZWDecode"},
      {false, 4, 4, "/Filter /DCTDecode"},
      {true, 4, 3, "/Filter /CCITTFaxDecode\n/DecodeParms << /K 1\n/BlackIs1 true\n"},
      {true, 2, 2, "/Filter /CCITTFaxDecode\n/DecodeParms << /K -1\n/BlackIs1 true\n"},
      {true, 1, 1, "/Filter [/RunLengthDecode ]"},
      {true, 5, 5, "/Filter /LZWDecode"},
      {true, 9, 9, nullptr},                        // unknown: stored as the rows
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bilevel) + " " + std::to_string(c.compression));
    TIEBitmap b;
    if (c.bilevel)
      PaintBilevel(b, 40, 20, 0);
    else
      PaintColour(b, 40, 20, 0);
    auto pp = PdfParams(c.compression);
    TIOParamsVals& p = *pp;
    const std::string pdf = WritePdf(b, p);
    EXPECT_EQ(p.PdfCompression, c.recordAfter);
    if (c.filter)
      EXPECT_NE(pdf.find(c.filter), std::string::npos);
    else
      EXPECT_EQ(pdf.find("/Filter"), std::string::npos);
  }
  // LZW without a coder stores the rows.
  TIEBitmap b;
  PaintBilevel(b, 40, 20, 0);
  auto pp = PdfParams(5);
  TIOParamsVals& p = *pp;
  p.TiffLZWCompressor = nullptr;
  EXPECT_EQ(WritePdf(b, p).find("/Filter"), std::string::npos);
}

TEST(PdfWriter, PaperOutsideTheLimitsFails) {
  TIEBitmap b;
  PaintColour(b, 8, 8, 0);
  for (auto [w, h] : {std::pair{0, 842}, {595, 14401}, {-1, -1}}) {
    auto pp = PdfParams(0);
    TIOParamsVals& p = *pp;
    p.PdfPaperWidth = w;
    p.PdfPaperHeight = h;
    bool aborted = false;
    WritePdf(b, p, &aborted);
    EXPECT_TRUE(aborted);
  }
}

TEST(PdfWriter, TwoPagesShareOneResourceDictionary) {
  TIEBitmap a, b;
  PaintColour(a, 30, 20, 0);
  PaintBilevel(b, 30, 20, 0);
  auto pp = PdfParams(0);
  TIOParamsVals& p = *pp;
  bool abort = false;
  TIEProgressRecord pr;
  pr.Aborting = &abort;
  auto doc = PDFBeginDocument();
  PDFAddImagePage(*doc, a, p, pr);
  PDFAddImagePage(*doc, b, p, pr);
  TMemoryStream s;
  PDFEndDocument(doc, s, p, pr);
  EXPECT_FALSE(doc);
  const std::string pdf = Str(s);
  EXPECT_NE(pdf.find("2 0 obj\n<< /ProcSet [/PDF /ImageB ]\n/XObject << /lm1 3 0 R\n/lm2 6 0 R\n>>"),
            std::string::npos);
  EXPECT_NE(pdf.find("/Count 2"), std::string::npos);
}

// ------------------------------------------------------------------------------ PostScript text

std::string WritePs(TIEBitmap& b, TIOParamsVals& p) {
  TMemoryStream s;
  bool abort = false;
  TIEProgressRecord pr;
  pr.Aborting = &abort;
  WritePSStream(s, b, p, pr);
  return abort ? std::string() : Str(s);
}

TEST(PsWriter, HeaderAndPageLines) {
  TIEBitmap b;
  PaintColour(b, 100, 50, 0);
  TIOParamsVals p(nullptr);
  p.PsCompression = 1;  // colour: run-length
  const std::string ps = WritePs(b, p);
  EXPECT_EQ(ps.substr(0, 71), "%!PS-Adobe-3.0\r\n%%Creator: ZodazUr by ViDudazuvaza\r\n%%Title: No Title\r\n");
  EXPECT_NE(ps.find("%%DocumentData: Clean7Bit\r\n%%LanguageLevel: 2\r\n%%Pages: 1     \r\n"
                    "%%BoundingBox: 0 0 594 841\r\n%%EndComments\r\n%%Page: 1 1\r\n0 842 translate\r\n"
                    "595 -297 scale\r\n100 50 8\r\n[ 100 0 0 50 0 0 ]\r\n/rstr 100 string def\r\n"),
            std::string::npos);
  EXPECT_NE(ps.find("true 3\r\n%%BeginData:      "), std::string::npos);
  EXPECT_NE(ps.find("~>\r\n%%EndData\r\nshowpage\r\n%%Trailer\r\n%%EOF\r\n"), std::string::npos);
}

TEST(PsWriter, DateAndTitleStaySevenBit) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(PSCreationDate(0), "Thu Jan 01 00:00:00 1970");
  EXPECT_EQ(PSTitleText("Plain (title)"), "Plain (title)");
  EXPECT_EQ(PSTitleText("\xC3\xA9t\xC3\xA9 (1)"), "(\\303\\251t\\303\\251 \\0501\\051)");
}

TEST(PsWriter, SecondPageRewritesThePageCount) {
  TIEBitmap a, b;
  PaintColour(a, 20, 10, 0);
  PaintBilevel(b, 20, 10, 0);
  TIOParamsVals p(nullptr);
  p.PsCompression = 0;
  bool abort = false;
  TIEProgressRecord pr;
  pr.Aborting = &abort;
  TMemoryStream s;
  auto doc = PSBeginDocument(s, p, pr);
  ASSERT_TRUE(doc);
  PSAddPage(*doc, s, a, pr, p);
  const std::string one = Str(s);
  PSAddPage(*doc, s, b, pr, p);
  PSEndDocument(doc, s);
  const std::string two = Str(s);
  EXPECT_NE(two.find("%%Pages: 2     \r\n"), std::string::npos);
  const size_t firstEnd = one.find("showpage\r\n") + 10;
  EXPECT_EQ(two.substr(firstEnd, 13), "%%Page: 2 2\r\n");
}

// ------------------------------------------------------------------------------ rendered

struct RenderCase {
  bool pdf;
  bool bilevel;
  int compression;
  int pages;
  bool lossy;
  int jpegColorSpace = 2;
};

std::string CaseName(const RenderCase& c) {
  return std::string(c.pdf ? "pdf" : "ps") + (c.bilevel ? " bilevel" : " colour") + " compression " +
         std::to_string(c.compression) + " pages " + std::to_string(c.pages) + " jpeg colour space " +
         std::to_string(c.jpegColorSpace);
}

// A plain libjpeg round trip (CMYK and YCCK written as YCbCr, as the page writers do): what a
// rendered JPEG page is measured against.
Bytes JpegRoundTrip(TIEBitmap& b, const TIOParamsVals& options) {
  TIOParamsVals p(nullptr);
  p.Assign(options);
  if (p.JpegColorSpace >= 3) p.JpegColorSpace = 2;
  TMemoryStream s;
  TIEProgressRecord pr;
  WriteJpegStream(s, b, p, pr);
  s.SetPosition(0);
  TIEBitmap back;
  ReadJpegStream(s, nullptr, back, p, pr, false, false, false, false, false, false, -1, false);
  return SourceRGB(back);
}

TEST(PsPdfRendered, EveryCompressionMatchesTheBitmap) {
  for (const char* tool : {"pdftoppm", "gs", "qpdf", "pdfinfo"})
    ASSERT_NE(testsupport::FindProgram({tool}), "") << tool << " missing";
  std::vector<RenderCase> cases;
  for (int pages : {1, 2}) {
    for (int c : {0, 1, 2, 3, 5}) cases.push_back({true, true, c, pages, false});
    for (int c : {0, 5}) cases.push_back({true, false, c, pages, false});
    cases.push_back({true, false, 4, pages, true});
    for (int c : {0, 1, 2}) cases.push_back({false, true, c, pages, false});
    cases.push_back({false, false, 0, pages, false});
    cases.push_back({false, false, 3, pages, true});
  }
  for (int cs : {1, 3, 4}) {
    cases.push_back({true, false, 4, 1, true, cs});
    cases.push_back({false, false, 3, 1, true, cs});
  }
  testsupport::ScratchDir dir;
  const int w = 61, h = 37;
  for (const RenderCase& c : cases) {
    SCOPED_TRACE(CaseName(c));
    std::vector<std::unique_ptr<TIEBitmap>> bitmaps;
    auto pp = PdfParams(c.compression);
    TIOParamsVals& p = *pp;
    p.PdfPaperWidth = p.PsPaperWidth = w;
    p.PdfPaperHeight = p.PsPaperHeight = h;
    p.PsCompression = static_cast<uint8_t>(c.compression);
    p.PdfTitle = "T\xC3\xAAte";
    p.JpegColorSpace = static_cast<uint8_t>(c.jpegColorSpace);
    bool abort = false;
    TIEProgressRecord pr;
    pr.Aborting = &abort;
    TMemoryStream s;
    std::unique_ptr<TIEPDFDocument> pdf;
    std::unique_ptr<TIEPSDocument> ps;
    if (c.pdf)
      pdf = PDFBeginDocument();
    else
      ps = PSBeginDocument(s, p, pr);
    for (int i = 0; i < c.pages; ++i) {
      bitmaps.push_back(std::make_unique<TIEBitmap>());
      if (c.bilevel)
        PaintBilevel(*bitmaps.back(), w, h, i);
      else
        PaintColour(*bitmaps.back(), w, h, i);
      if (c.pdf)
        PDFAddImagePage(*pdf, *bitmaps.back(), p, pr);
      else
        PSAddPage(*ps, s, *bitmaps.back(), pr, p);
    }
    if (c.pdf)
      PDFEndDocument(pdf, s, p, pr);
    else
      PSEndDocument(ps, s);
    ASSERT_FALSE(abort);
    EXPECT_EQ(p.JpegColorSpace, c.jpegColorSpace);
    const std::string file = dir.File(c.pdf ? "doc.pdf" : "doc.ps");
    SaveFile(file, Str(s));
    for (const char* f : {"r-1.ppm", "r-2.ppm", "g-1.ppm", "g-2.ppm"}) std::remove(dir.File(f).c_str());
    if (c.pdf) {
      std::string check, info;
      EXPECT_EQ(testsupport::RunProgram("qpdf --check " + file, &check), 0) << check;
      EXPECT_EQ(testsupport::RunProgram("pdfinfo " + file, &info), 0) << info;
      info = Squeezed(info);
      EXPECT_NE(info.find("Pages: " + std::to_string(c.pages) + "\n"), std::string::npos) << info;
      EXPECT_NE(info.find("Page size: 61 x 37 pts"), std::string::npos) << info;
      EXPECT_NE(info.find("Title: T\xC3\xAAte\n"), std::string::npos) << info;
      // Poppler maps image pixels onto device pixels with its own rounding at 1:1; at four times
      // the resolution the centre of every 4 x 4 block lies well inside its image pixel.
      std::string out;
      EXPECT_EQ(testsupport::RunProgram("pdftoppm -r 288 " + file + " " + dir.File("r"), &out), 0) << out;
    }
    std::string gs;
    EXPECT_EQ(testsupport::RunProgram("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r72 -dGraphicsAlphaBits=1 "
                                      "-dTextAlphaBits=1 -g61x37 -sOutputFile=" +
                                          dir.File("g-%d.ppm") + " " + file,
                                      &gs),
              0)
        << gs;
    for (int i = 0; i < c.pages; ++i) {
      const Bytes source = SourceRGB(*bitmaps[static_cast<size_t>(i)]);
      // Lossless pages match exactly; JPEG pages come within 0.5 dB of a plain round trip (grey
      // ones are measured against the round trip's grey, as a grey JPEG holds no colour).
      Bytes reference = source;
      double floor = 99;
      if (c.lossy) {
        const Bytes roundTrip = JpegRoundTrip(*bitmaps[static_cast<size_t>(i)], p);
        if (c.jpegColorSpace == 1) {
          reference = roundTrip;
          floor = 35;
        } else {
          floor = Psnr(source, roundTrip) - 0.5;
        }
      }
      std::vector<std::string> renders = {dir.File("g-" + std::to_string(i + 1) + ".ppm")};
      if (c.pdf) renders.push_back(dir.File("r-" + std::to_string(i + 1) + ".ppm"));
      for (const std::string& r : renders) {
        const Raster got = Subsampled(ReadPnm(r), r.find("/r-") != std::string::npos ? 4 : 1);
        EXPECT_EQ(got.w, w) << r << "\n" << gs;
        EXPECT_EQ(got.h, h) << r;
        EXPECT_GE(Psnr(reference, got.rgb), floor) << r;
      }
    }
  }
}

TEST(PsPdfRendered, OtherPixelFormatsGoAsColour) {
  TIEBitmap grey;
  grey.Allocate(16, 8, ie8g);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) static_cast<uint8_t*>(grey.GetRow(y))[x] = static_cast<uint8_t>(x * 16);
  auto pp = PdfParams(0);
  TIOParamsVals& p = *pp;
  const std::string pdf = WritePdf(grey, p);
  EXPECT_NE(pdf.find("/Length 384\n/ColorSpace /DeviceRGB"), std::string::npos);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  TIOParamsVals q(nullptr);
  EXPECT_NE(WritePs(grey, q).find("true 3\r\n"), std::string::npos);
}

}  // namespace

namespace {

TEST(PsPdfWriters, EmptyBitmapFailsWithoutAPage) {
  TIEBitmap empty;
  auto pp = PdfParams(0);
  TIOParamsVals& p = *pp;
  bool aborted = false;
  WritePdf(empty, p, &aborted);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(WritePs(empty, p), "");
}

}  // namespace

namespace {

TEST(PsPdfWriters, BlocksPastOneGibibyteAreRefused) {
  EXPECT_EQ(CodedBlockCount(0), 0);
  EXPECT_EQ(CodedBlockCount(size_t{1} << 30), 1 << 30);
  EXPECT_THROW(CodedBlockCount((size_t{1} << 30) + 1), std::exception);
  EXPECT_THROW(CodedBlockCount(size_t{1} << 33), std::exception);
}

}  // namespace
