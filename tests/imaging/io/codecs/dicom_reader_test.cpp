// The DICOM reader against dcmtk and GDCM: data sets written by dump2dcm, converted by dcmconv,
// dcmcrle, dcmcjpeg, dcmcjpls and gdcmconv, read like their uncompressed twins and like dcmj2pnm's
// rendering of them; tags as dcmdump lists them; the window, rescale and MONOCHROME1 steps; frames;
// the dictionary against the installed dicom.dic; hostile data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <tuple>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/dicom_codec.h"
#include "imaging/io/codecs/dicom_dictionary.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/io_params.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& name, const Bytes& data) {
  std::ofstream(name, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::string Shell(const std::string& command, int expect = 0) {
  std::string out;
  if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int rc = pclose(p);
    EXPECT_EQ(WEXITSTATUS(rc), expect) << command << "\n" << out;
  }
  return out;
}

struct Read {
  bool aborted = false;
  TIEBitmap bitmap;
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
};

void ReadDicom(const Bytes& file, Read& r, int32_t frame = 0, bool headerOnly = false) {
  TMemoryStream s;
  if (!file.empty()) s.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
  s.Seek(0, soBeginning);
  TIEProgressRecord progress;
  progress.Aborting = &r.aborted;
  r.params->ImageIndex = frame;
  ReadDICOMStream(s, *r.params, &r.bitmap, progress, headerOnly);
}

// The samples of a bitmap as 16-bit grey (ie16g), 8-bit grey (ie8g) or R, G, B bytes.
std::vector<int32_t> Samples(TIEBitmap& b) {
  std::vector<int32_t> out;
  for (int32_t y = 0; y < b.Height(); ++y) {
    const void* row = b.GetRow(y);
    for (int32_t x = 0; x < b.Width(); ++x) {
      switch (b.PixelFormat()) {
        case ie16g: out.push_back(static_cast<const uint16_t*>(row)[x]); break;
        case ie8g: out.push_back(static_cast<const uint8_t*>(row)[x]); break;
        default: {
          const TIERGB c = b.GetPixelRGB(x, y);
          out.insert(out.end(), {c.r, c.g, c.b});
        }
      }
    }
  }
  return out;
}

// A PGM or PPM (binary, or dcmtk's ASCII 16-bit) as samples.
std::vector<int32_t> PNMSamples(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  const int channels = magic == "P3" || magic == "P6" ? 3 : 1;
  std::vector<int32_t> out(static_cast<size_t>(w) * h * channels);
  for (auto& v : out) {
    if (magic == "P2" || magic == "P3") {
      in >> v;
    } else if (max > 255) {
      const int hi = in.get(), lo = in.get();
      v = hi << 8 | lo;
    } else {
      v = in.get();
    }
  }
  return out;
}

int MaxDifference(const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1 << 30;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

class DICOMTest : public ::testing::Test {
 protected:
  // A data set by dump2dcm: the dump's lines, the pixel data from Pixels.
  std::string Make(const std::string& name, const std::string& dump, const Bytes& pixels,
                   const std::string& options = "") {
    WriteBytes(dir.File(name + ".raw"), pixels);
    // 8-bit samples as OB, wider ones as OW.
    const bool bytes = dump.find("(0028,0100) US 8\n") != std::string::npos;
    std::ofstream(dir.File(name + ".dump")) << dump << "(7fe0,0010) " << (bytes ? "OB" : "OW") << " ="
                                            << dir.File(name + ".raw") << "\n";
    Shell("dump2dcm " + options + " '" + dir.File(name + ".dump") + "' '" + dir.File(name) + "'");
    return dir.File(name);
  }

  static std::string Header(int rows, int cols, int allocated, int stored, int samples = 1,
                            const std::string& photometric = "MONOCHROME2", int pixelRep = 0) {
    std::ostringstream d;
    d << "(0002,0010) UI =LittleEndianExplicit\n(0008,0016) UI =SecondaryCaptureImageStorage\n"
         "(0008,0018) UI [1.2.826.0.1.3680043.2.1125.1]\n(0008,0060) CS [OT]\n(0010,0010) PN [Test^Patient]\n"
         "(0010,0020) LO [PID-42]\n"
      << "(0028,0002) US " << samples << "\n(0028,0004) CS [" << photometric << "]\n";
    if (samples == 3) d << "(0028,0006) US 0\n";
    d << "(0028,0010) US " << rows << "\n(0028,0011) US " << cols << "\n(0028,0100) US " << allocated
      << "\n(0028,0101) US " << stored << "\n(0028,0102) US " << stored - 1 << "\n(0028,0103) US " << pixelRep << "\n";
    return d.str();
  }

  // 16-bit little-endian samples of a 12-bit picture: gradients and edges.
  static Bytes Picture12(int rows, int cols, int frames = 1, int base = 0) {
    Bytes out;
    for (int f = 0; f < frames; ++f)
      for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
          const int v = (base + f * 700 + x * (37 + f * 13) + y * 91 + ((x / 5 + y / 3) % 2) * 900) % 4096;
          out.push_back(static_cast<uint8_t>(v));
          out.push_back(static_cast<uint8_t>(v >> 8));
        }
    return out;
  }

  static Bytes Picture8(int rows, int cols, int samples = 1) {
    Bytes out;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x)
        for (int s = 0; s < samples; ++s) out.push_back(static_cast<uint8_t>(30 + x * 7 + y * 5 + s * 60 + ((x + y) % 4) * 9));
    return out;
  }

  // dcmj2pnm's rendering: min-max window, or the data set's first window.
  std::vector<int32_t> Dcmtk(const std::string& file, bool sixteen, bool ownWindow = false) {
    const std::string out = file + (sixteen ? ".pgm16" : ".pnm");
    Shell("dcmj2pnm " + std::string(ownWindow ? "+Wi 1 " : "+Wm ") + (sixteen ? "+opw " : "+op ") + "'" + file + "' '" + out + "'");
    return PNMSamples(out);
  }

  testsupport::ScratchDir dir;
};

TEST_F(DICOMTest, DictionaryIsDcmtksStandardRows) {
  // Re-derived from the installed dictionary: every standard row with a single tag has our VR.
  std::ifstream dic("/usr/share/libdcmtk17/dicom.dic");
  ASSERT_TRUE(dic.good()) << "dcmtk's dictionary is a test dependency: run scripts/install-deps.sh";
  std::string line;
  int checked = 0;
  const std::map<std::string, std::string> pseudo = {{"xs", "xs"}, {"ox", "xs"}, {"px", "xs"},
                                                     {"lt", "xs"}, {"up", "UL"}, {"na", "!!"}};
  while (std::getline(dic, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream cols(line);
    std::string tag, vr, name, vm, version;
    std::getline(cols, tag, '\t');
    std::getline(cols, vr, '\t');
    std::getline(cols, name, '\t');
    std::getline(cols, vm, '\t');
    std::getline(cols, version, '\t');
    if (version.rfind("DICOM", 0) != 0 || tag.size() != 11) continue;
    const auto group = static_cast<uint16_t>(std::stoul(tag.substr(1, 4), nullptr, 16));
    const auto element = static_cast<uint16_t>(std::stoul(tag.substr(6, 4), nullptr, 16));
    const std::string want = pseudo.count(vr) ? pseudo.at(vr) : vr;
    ASSERT_EQ(DICOMDictionaryVR(group, element), want) << tag;
    ++checked;
  }
  EXPECT_GT(checked, 4500);
  EXPECT_EQ(kDICOMDictionarySize, checked);
  // Repeating groups, group lengths and unknown tags.
  EXPECT_STREQ(DICOMDictionaryVR(0x6002, 0x3000), "xs");  // overlay data of the second overlay
  EXPECT_STREQ(DICOMDictionaryVR(0x6002, 0x0010), "US");
  EXPECT_STREQ(DICOMDictionaryVR(0x6001, 0x0010), "xs");  // odd groups are private
  EXPECT_STREQ(DICOMDictionaryVR(0x0011, 0x0000), "UL");
  EXPECT_STREQ(DICOMDictionaryVR(0xFFFE, 0xE000), "!!");
  EXPECT_STREQ(DICOMDictionaryVR(0x7FE0, 0x0010), "xs");
}

// One 12-bit CT-like frame in every syntax dcmtk and GDCM write: each reads like the native file,
// and the native file like dcmj2pnm renders it.
TEST_F(DICOMTest, SyntaxesReadLikeTheirUncompressedTwin) {
  const int rows = 33, cols = 47;
  const std::string base = Make("ct.dcm", Header(rows, cols, 16, 12) + "(0028,1052) DS [-1024]\n(0028,1053) DS [1]\n",
                                Picture12(rows, cols));
  const std::string d = "'" + dir.Path().string() + "/";
  Shell("dcmconv +ti " + d + "ct.dcm' " + d + "implicit.dcm'");
  Shell("dcmconv +tb " + d + "ct.dcm' " + d + "big.dcm'");
  Shell("dcmconv -F +ti " + d + "ct.dcm' " + d + "bare.dcm'");  // no preamble, no meta header
  Shell("dcmcrle " + d + "ct.dcm' " + d + "rle.dcm'");
  Shell("dcmcjpeg +e1 " + d + "ct.dcm' " + d + "sv1.dcm'");
  for (int sv = 1; sv <= 7; ++sv)
    Shell("dcmcjpeg +el +sv " + std::to_string(sv) + " " + d + "ct.dcm' " + d + "sv" + std::to_string(sv) + "p.dcm'");
  Shell("gdcmconv --j2k " + d + "ct.dcm' " + d + "j2k.dcm'");
  Read native;
  ReadDicom(FileBytes(base), native);
  ASSERT_FALSE(native.aborted);
  ASSERT_EQ(native.bitmap.PixelFormat(), ie16g);
  const std::vector<int32_t> want = Samples(native.bitmap);
  // The stretch: the darkest pixel 0, the brightest 65535.
  EXPECT_EQ(*std::min_element(want.begin(), want.end()), 0);
  EXPECT_EQ(*std::max_element(want.begin(), want.end()), 65535);
  EXPECT_LE(MaxDifference(want, Dcmtk(base, true)), 1);
  for (const char* name : {"implicit.dcm", "big.dcm", "bare.dcm", "rle.dcm", "sv1.dcm", "sv1p.dcm", "sv2p.dcm",
                           "sv3p.dcm", "sv4p.dcm", "sv5p.dcm", "sv6p.dcm", "sv7p.dcm", "j2k.dcm"}) {
    SCOPED_TRACE(name);
    Read r;
    ReadDicom(FileBytes(dir.File(name)), r);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.bitmap.PixelFormat(), ie16g);
    EXPECT_EQ(Samples(r.bitmap), want);
    EXPECT_EQ(r.params->Width, cols);
    EXPECT_EQ(r.params->BitsPerSample, 12);
  }
  // A point transform drops low bits: its twin is the file dcmtk decompresses.
  Shell("dcmcjpeg +el +sv 1 +pt 2 " + d + "ct.dcm' " + d + "pt.dcm'");
  Shell("dcmdjpeg " + d + "pt.dcm' " + d + "pt-native.dcm'");
  Read pt, ptNative;
  ReadDicom(FileBytes(dir.File("pt.dcm")), pt);
  ReadDicom(FileBytes(dir.File("pt-native.dcm")), ptNative);
  ASSERT_FALSE(pt.aborted);
  EXPECT_EQ(Samples(pt.bitmap), Samples(ptNative.bitmap));
  // JPEG-LS has no decoder here: refused, never read as raw bytes.
  Shell("dcmcjpls " + d + "ct.dcm' " + d + "jls.dcm'");
  Read jls;
  ReadDicom(FileBytes(dir.File("jls.dcm")), jls);
  EXPECT_TRUE(jls.aborted);
  EXPECT_GT(jls.params->DicomTags.GetCount(), 5);  // the tags read stay
}

TEST_F(DICOMTest, EightBitGreyColourAndBaselineJPEG) {
  const int rows = 24, cols = 40;
  const std::string grey = Make("grey.dcm", Header(rows, cols, 8, 8), Picture8(rows, cols));
  const std::string rgb = Make("rgb.dcm", Header(rows, cols, 8, 8, 3, "RGB"), Picture8(rows, cols, 3));
  const std::string d = "'" + dir.Path().string() + "/";
  Shell("dcmcrle " + d + "grey.dcm' " + d + "grey-rle.dcm'");
  Shell("dcmcrle " + d + "rgb.dcm' " + d + "rgb-rle.dcm'");
  Shell("dcmcjpeg +e1 " + d + "rgb.dcm' " + d + "rgb-sv1.dcm'");
  Shell("dcmcjpeg +eb +q 95 " + d + "grey.dcm' " + d + "grey-jpeg.dcm'");
  Shell("dcmdjpeg " + d + "grey-jpeg.dcm' " + d + "grey-jpeg-native.dcm'");
  Shell("dcmcjpeg +eb +q 95 " + d + "rgb.dcm' " + d + "rgb-jpeg.dcm'");
  Shell("dcmdjpeg " + d + "rgb-jpeg.dcm' " + d + "rgb-jpeg-native.dcm'");
  // Planar RGB: the three planes one after the other.
  {
    const Bytes interleaved = Picture8(rows, cols, 3);
    Bytes planes;
    for (int k = 0; k < 3; ++k)
      for (size_t i = static_cast<size_t>(k); i < interleaved.size(); i += 3) planes.push_back(interleaved[i]);
    std::string h = Header(rows, cols, 8, 8, 3, "RGB");
    h.replace(h.find("(0028,0006) US 0"), 16, "(0028,0006) US 1");
    Make("rgb-planar.dcm", h, planes);
  }

  Read g;
  ReadDicom(FileBytes(grey), g);
  ASSERT_FALSE(g.aborted);
  ASSERT_EQ(g.bitmap.PixelFormat(), ie8g);
  EXPECT_LE(MaxDifference(Samples(g.bitmap), Dcmtk(grey, false)), 1);
  Read c;
  ReadDicom(FileBytes(rgb), c);
  ASSERT_FALSE(c.aborted);
  ASSERT_EQ(c.bitmap.PixelFormat(), ie24RGB);
  EXPECT_EQ(MaxDifference(Samples(c.bitmap), Dcmtk(rgb, false)), 0);
  struct Twin {
    const char* file;
    const Read* like;
    int tolerance;
  };
  Read gj, cj;
  ReadDicom(FileBytes(dir.File("grey-jpeg-native.dcm")), gj);
  ReadDicom(FileBytes(dir.File("rgb-jpeg-native.dcm")), cj);
  const Twin twins[] = {{"grey-rle.dcm", &g, 0}, {"rgb-rle.dcm", &c, 0}, {"rgb-sv1.dcm", &c, 0},
                        {"rgb-planar.dcm", &c, 0}, {"grey-jpeg.dcm", &gj, 1}, {"rgb-jpeg.dcm", &cj, 1}};
  for (const Twin& t : twins) {
    SCOPED_TRACE(t.file);
    Read r;
    ReadDicom(FileBytes(dir.File(t.file)), r);
    ASSERT_FALSE(r.aborted);
    TIEBitmap& want = const_cast<TIEBitmap&>(t.like->bitmap);
    EXPECT_LE(MaxDifference(Samples(r.bitmap), Samples(want)), t.tolerance);
  }
}

TEST_F(DICOMTest, WindowRescaleAndMonochrome1) {
  // Values -300..+500 after the rescale, window 40/400: -160 and below are 0, 239 and above 65535
  // before the stretch; equal samples give equal outputs wherever they are.
  const int rows = 2, cols = 9;
  Bytes px;
  const int values[] = {-300, -160, -159, 0, 40, 100, 238, 239, 500};
  for (int y = 0; y < rows; ++y)
    for (int v : values) {
      const int stored = v + 1024;
      px.push_back(static_cast<uint8_t>(stored));
      px.push_back(static_cast<uint8_t>(stored >> 8));
    }
  const std::string f = Make("w.dcm", Header(rows, cols, 16, 12) +
                                          "(0028,1050) DS [40]\n(0028,1051) DS [400]\n(0028,1052) DS [-1024]\n"
                                          "(0028,1053) DS [1]\n",
                             px);
  Read r;
  ReadDicom(FileBytes(f), r);
  ASSERT_FALSE(r.aborted);
  const auto s = Samples(r.bitmap);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[1], 0);
  EXPECT_GT(s[2], 0);
  EXPECT_LT(s[6], 65535);
  EXPECT_EQ(s[7], 65535);
  EXPECT_EQ(s[8], 65535);
  for (int x = 0; x < cols; ++x) EXPECT_EQ(s[static_cast<size_t>(x)], s[static_cast<size_t>(cols + x)]);
  EXPECT_LE(MaxDifference(s, Dcmtk(f, true, true)), 1);

  // MONOCHROME1 comes out inverted; signed samples keep their order.
  const std::string m1 = Make("m1.dcm", Header(4, 5, 8, 8, 1, "MONOCHROME1"), Picture8(4, 5));
  const std::string m2 = Make("m2.dcm", Header(4, 5, 8, 8, 1, "MONOCHROME2"), Picture8(4, 5));
  Read a, b;
  ReadDicom(FileBytes(m1), a);
  ReadDicom(FileBytes(m2), b);
  const auto sa = Samples(a.bitmap), sb = Samples(b.bitmap);
  ASSERT_EQ(sa.size(), sb.size());
  for (size_t i = 0; i < sa.size(); ++i) EXPECT_EQ(sa[i], 255 - sb[i]);
  Bytes signedPx;
  for (int v : {-2048, -1, 0, 2047, 5}) {
    signedPx.push_back(static_cast<uint8_t>(v & 0xFF));
    signedPx.push_back(static_cast<uint8_t>((v >> 8) & 0xFF) | 0xF0);  // overlay bits above bit 11
  }
  const std::string sg = Make("signed.dcm", Header(1, 5, 16, 12, 1, "MONOCHROME2", 1), signedPx);
  Read si;
  ReadDicom(FileBytes(sg), si);
  ASSERT_FALSE(si.aborted);
  const auto ss = Samples(si.bitmap);
  EXPECT_EQ(ss[0], 0);
  EXPECT_EQ(ss[3], 65535);
  EXPECT_LT(ss[1], ss[2]);
  EXPECT_LT(ss[2], ss[4]);
}

TEST_F(DICOMTest, FramesPaletteAndPacked12Bit) {
  const int rows = 6, cols = 8;
  const std::string f = Make("frames.dcm", Header(rows, cols, 16, 12) + "(0028,0008) IS [3]\n", Picture12(rows, cols, 3));
  const std::string d = "'" + dir.Path().string() + "/";
  Shell("dcmcrle " + d + "frames.dcm' " + d + "frames-rle.dcm'");
  Shell("dcmcjpeg +e1 " + d + "frames.dcm' " + d + "frames-sv1.dcm'");
  for (const char* name : {"frames.dcm", "frames-rle.dcm", "frames-sv1.dcm"}) {
    SCOPED_TRACE(name);
    const Bytes file = FileBytes(dir.File(name));
    TMemoryStream s;
    s.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
    s.Seek(0, soBeginning);
    EXPECT_EQ(DICOMFrameCount(s), 3);
    EXPECT_EQ(s.Position(), 0);
    Read f2, f10;
    ReadDicom(file, f2, 2);
    ReadDicom(file, f10, 10);  // past the frames: the last one
    ASSERT_FALSE(f10.aborted);
    EXPECT_EQ(f10.params->ImageIndex, 2);
    EXPECT_EQ(Samples(f10.bitmap), Samples(f2.bitmap));
    Read f0;
    ReadDicom(file, f0, 0);
    EXPECT_NE(Samples(f0.bitmap), Samples(f2.bitmap));
  }
  EXPECT_EQ(DICOMFileFrameCount(dir.File("frames.dcm")), 3);
  // Without (0028,0008): one frame.
  EXPECT_EQ(DICOMFileFrameCount(Make("one.dcm", Header(rows, cols, 16, 12), Picture12(rows, cols))), 1);

  // Packed 12-bit: two samples in three bytes.
  Bytes packed;
  const Bytes p12 = Picture12(rows, cols);
  for (size_t i = 0; i + 3 < p12.size(); i += 4) {
    const int a = p12[i] | p12[i + 1] << 8, b = p12[i + 2] | p12[i + 3] << 8;
    packed.push_back(static_cast<uint8_t>(a));
    packed.push_back(static_cast<uint8_t>((a >> 8) | (b & 0x0F) << 4));
    packed.push_back(static_cast<uint8_t>(b >> 4));
  }
  std::string dump = Header(rows, cols, 12, 12);
  const std::string one = Make("unpacked.dcm", Header(rows, cols, 16, 12), p12);
  WriteBytes(dir.File("packed.raw"), packed);
  std::ofstream(dir.File("packed.dump")) << dump << "(7fe0,0010) OB =" << dir.File("packed.raw") << "\n";
  Shell("dump2dcm '" + dir.File("packed.dump") + "' '" + dir.File("packed.dcm") + "'");
  Read pk, un;
  ReadDicom(FileBytes(dir.File("packed.dcm")), pk);
  ReadDicom(FileBytes(one), un);
  ASSERT_FALSE(pk.aborted);
  EXPECT_EQ(Samples(pk.bitmap), Samples(un.bitmap));

  // An 8-bit palette, against dcmj2pnm.
  std::ostringstream lut;
  lut << "(0028,1101) US 256\\0\\16\n(0028,1102) US 256\\0\\16\n(0028,1103) US 256\\0\\16\n";
  Bytes red, green, blue;
  for (int i = 0; i < 256; ++i) {
    const int rv = i * 257, gv = (255 - i) * 257, bv = (i * 3 % 256) * 257;
    red.insert(red.end(), {uint8_t(rv), uint8_t(rv >> 8)});
    green.insert(green.end(), {uint8_t(gv), uint8_t(gv >> 8)});
    blue.insert(blue.end(), {uint8_t(bv), uint8_t(bv >> 8)});
  }
  WriteBytes(dir.File("r.lut"), red);
  WriteBytes(dir.File("g.lut"), green);
  WriteBytes(dir.File("b.lut"), blue);
  lut << "(0028,1201) OW =" << dir.File("r.lut") << "\n(0028,1202) OW =" << dir.File("g.lut")
      << "\n(0028,1203) OW =" << dir.File("b.lut") << "\n";
  const std::string pal = Make("palette.dcm", Header(rows, cols, 8, 8, 1, "PALETTE COLOR") + lut.str(), Picture8(rows, cols));
  Read pr;
  ReadDicom(FileBytes(pal), pr);
  ASSERT_FALSE(pr.aborted);
  ASSERT_EQ(pr.bitmap.PixelFormat(), ie24RGB);
  EXPECT_LE(MaxDifference(Samples(pr.bitmap), Dcmtk(pal, false)), 1);
}

TEST_F(DICOMTest, TagsAsDcmdumpListsThemAndAnIconSequenceStaysApart) {
  // A data set with an icon image in a sequence of undefined length: its rows, columns and pixel
  // data are listed, but the image is the main one.
  std::ostringstream dump;
  dump << Header(6, 8, 16, 12) << "(0088,0200) SQ (Sequence with undefined length #=1)\n"
       << "  (fffe,e000) na (Item with undefined length #=6)\n"
       << "    (0028,0002) US 1\n    (0028,0004) CS [MONOCHROME2]\n    (0028,0010) US 2\n"
       << "    (0028,0011) US 2\n    (0028,0100) US 8\n    (0028,0101) US 8\n"
       << "    (7fe0,0010) OB 01\\02\\03\\04\n"
       << "  (fffe,e00d) na (ItemDelimitationItem)\n"
       << "(fffe,e0dd) na (SequenceDelimitationItem)\n";
  const std::string f = Make("icon.dcm", dump.str(), Picture12(6, 8), "-e");
  Read r;
  ReadDicom(FileBytes(f), r);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.bitmap.Width(), 8);
  EXPECT_EQ(r.bitmap.Height(), 6);
  // Every top-level text tag dcmdump lists carries the same value here.
  std::istringstream listing(Shell("dcmdump +L '" + f + "'"));
  std::string line;
  int compared = 0;
  while (std::getline(listing, line)) {
    if (line.size() < 16 || line[0] != '(' || line.find(" [") == std::string::npos) continue;
    const auto group = static_cast<uint16_t>(std::stoul(line.substr(1, 4), nullptr, 16));
    const auto element = static_cast<uint16_t>(std::stoul(line.substr(6, 4), nullptr, 16));
    const std::string value = line.substr(line.find(" [") + 2, line.find(']') - line.find(" [") - 2);
    const int32_t i = r.params->DicomTags.IndexOf(group, element);
    ASSERT_GE(i, 0) << line;
    const TIEDICOMTag* t = r.params->DicomTags.GetTag(i);
    std::string ours(reinterpret_cast<const char*>(t->Value()), static_cast<size_t>(t->Length));
    while (!ours.empty() && (ours.back() == ' ' || ours.back() == '\0')) ours.pop_back();
    EXPECT_EQ(ours, value) << line;
    ++compared;
  }
  EXPECT_GE(compared, 5);
  EXPECT_EQ(std::string(r.params->DicomTags.GetTag(r.params->DicomTags.IndexOf(0x0010, 0x0010))->VR, 2), "PN");
}

TEST_F(DICOMTest, ColourModelsImg2dcmSignedJ2KAndDeflated) {
  const int rows = 16, cols = 24;
  const std::string d = "'" + dir.Path().string() + "/";
  // YBR_FULL and YBR_FULL_422 as stored: against dcmj2pnm's colour conversion.
  Bytes ybr = Picture8(rows, cols, 3), ybr422;
  for (size_t i = 0; i + 5 < ybr.size(); i += 6)
    ybr422.insert(ybr422.end(), {ybr[i], ybr[i + 3], ybr[i + 1], ybr[i + 2]});
  for (const auto& [name, photometric, data] :
       {std::tuple<std::string, std::string, Bytes>{"ybr.dcm", "YBR_FULL", ybr}, {"ybr422.dcm", "YBR_FULL_422", ybr422}}) {
    SCOPED_TRACE(name);
    const std::string f = Make(name, Header(rows, cols, 8, 8, 3, photometric), data);
    Read r;
    ReadDicom(FileBytes(f), r);
    ASSERT_FALSE(r.aborted);
    // dcmtk converts in integers of its own rounding: within 2.
    EXPECT_LE(MaxDifference(Samples(r.bitmap), Dcmtk(f, false)), 2);
  }
  // A JPEG of libjpeg's wrapped by img2dcm (baseline, YBR_FULL_422).
  Shell("convert -size 48x32 gradient:red-blue -quality 92 " + d + "photo.jpg'");
  Shell("img2dcm " + d + "photo.jpg' " + d + "img.dcm'");
  Read img;
  ReadDicom(FileBytes(dir.File("img.dcm")), img);
  ASSERT_FALSE(img.aborted);
  EXPECT_LE(MaxDifference(Samples(img.bitmap), Dcmtk(dir.File("img.dcm"), false)), 2);
  // 16-bit signed through GDCM's JPEG 2000, read like the native file.
  Bytes px;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      const int v = (x - 12) * 1500 + y * 97;
      px.push_back(static_cast<uint8_t>(v));
      px.push_back(static_cast<uint8_t>(v >> 8));
    }
  const std::string sg = Make("s16.dcm", Header(rows, cols, 16, 16, 1, "MONOCHROME2", 1), px);
  Shell("gdcmconv --j2k " + d + "s16.dcm' " + d + "s16-j2k.dcm'");
  Read native, j2k;
  ReadDicom(FileBytes(sg), native);
  ReadDicom(FileBytes(dir.File("s16-j2k.dcm")), j2k);
  ASSERT_FALSE(native.aborted);
  ASSERT_FALSE(j2k.aborted);
  EXPECT_EQ(Samples(j2k.bitmap), Samples(native.bitmap));
  EXPECT_LE(MaxDifference(Samples(native.bitmap), Dcmtk(sg, true)), 1);
  // A deflated data set: the meta header is read, the rest refused.
  Shell("dcmconv +td " + d + "s16.dcm' " + d + "deflated.dcm'");
  Read df;
  ReadDicom(FileBytes(dir.File("deflated.dcm")), df);
  EXPECT_TRUE(df.aborted);
  EXPECT_GE(df.params->DicomTags.IndexOf(0x0002, 0x0010), 0);
  EXPECT_LT(df.params->DicomTags.IndexOf(0x0010, 0x0010), 0);
}

TEST_F(DICOMTest, ThroughTheComponentByNameContentAndCount) {
  const std::string f = Make("c.dcm", Header(6, 8, 16, 12) + "(0028,0008) IS [2]\n", Picture12(6, 8, 2));
  EXPECT_EQ(DetectFileFormat(f, false), fmtDICOM);
  EXPECT_EQ(GetFileImageCount(f), 2);
  InitializeZodazUrIO();
  TZodazUrIO io(nullptr);
  io.Params().ImageIndex = 1;
  io.LoadFromFile(f);
  ASSERT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileType, fmtDICOM);
  EXPECT_EQ(io.IEBitmap()->Width(), 8);
  EXPECT_GT(io.Params().DicomTags.GetCount(), 10);
}

TEST_F(DICOMTest, HostileDataSetsFailCleanly) {
  const std::string good = Make("g.dcm", Header(6, 8, 16, 12), Picture12(6, 8));
  const Bytes file = FileBytes(good);
  // Cut anywhere: no crash; cut inside the pixels: a failure.
  for (size_t n = 0; n < file.size(); n += 7) {
    Read r;
    ReadDicom(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)), r);
    if (n > 140 && n + 10 < file.size()) {
      EXPECT_TRUE(r.aborted) << n;
    }
  }
  // A huge image in a few bytes, bits beyond 16, three samples of 16 bits: refused.
  for (const std::string& h : {Header(60000, 60000, 16, 12), Header(6, 8, 32, 32), Header(6, 8, 16, 16, 3, "RGB")}) {
    Read r;
    ReadDicom(FileBytes(Make("h.dcm", h, Picture12(6, 8))), r);
    EXPECT_TRUE(r.aborted);
  }
  // Garbage and an empty stream.
  Read e;
  ReadDicom({}, e);
  Bytes junk(500, 0xFF);
  Read j;
  ReadDicom(junk, j);
  EXPECT_TRUE(j.aborted);
}

}  // namespace
