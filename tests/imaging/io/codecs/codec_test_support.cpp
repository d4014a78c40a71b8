#include "tests/imaging/io/codecs/codec_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/codecs/codec_entries.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/codecs/ico_codec.h"
#include "imaging/io/codecs/pcx_codec.h"
#include "imaging/io/codecs/pnm_codec.h"
#include "imaging/io/codecs/tga_codec.h"
#include "imaging/io/codecs/wbmp_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace codectest {

Bytes ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& name, const Bytes& data) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string SampleFile(const std::string& name) { return (testsupport::DataDir() / name).string(); }

void PaintColors(TIEBitmap& b, int w, int h, int colors) {
  b.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int i = ((x / 3) * 7 + (y / 2) * 5) % colors;
      b.SetPixel24(x, y, colors == 2 ? (i ? CreateRGB(250, 240, 10) : CreateRGB(120, 0, 0))
                                     : CreateRGB(uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 3)));
    }
}

bool SamePixels(TIEBitmap& a, TIEBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (!SameRGB(a.GetPixelRGB(x, y), b.GetPixelRGB(x, y))) return false;
  return true;
}

std::string MagickTool() {
  // Version 6 by its versioned name first where the system has one.
  for (const char* tool : {"magick", "convert-im6.q16", "convert"}) {
    const std::string probe = std::string("command -v ") + tool + " >/dev/null 2>&1 && " + tool +
                              " -version 2>/dev/null | grep -q ImageMagick";
    if (std::system(probe.c_str()) == 0) return tool;
  }
  return {};
}

bool Magick(const testsupport::ScratchDir& dir, const std::string& args) {
  static const std::string tool = MagickTool();
  if (tool.empty()) {
    ADD_FAILURE() << "ImageMagick is a test dependency: run scripts/install-deps.sh";
    return false;
  }
  const std::string cmd = "cd '" + dir.Path().string() + "' && MAGICK_THREAD_LIMIT=1 " + tool + " " + args +
                          " 2>>magick-errors.txt";
  return std::system(cmd.c_str()) == 0;
}

std::map<std::string, Bytes> MagickPixels(const testsupport::ScratchDir& dir, const std::vector<std::string>& files) {
  std::string args;
  for (size_t i = 0; i < files.size(); ++i) {
    // ImageMagick keeps a Targa's row order and notes the origin as the orientation: -auto-orient
    // puts the rows where the file's origin says.
    const bool targa = files[i].find(".tga") != std::string::npos;
    args += "'" + files[i] + "' +repage " + (targa ? "-auto-orient " : "") + "-depth 8 ";
    args += i + 1 < files.size() ? "-write rgba:px" + std::to_string(i) + ".raw +delete "
                                 : "rgba:px" + std::to_string(i) + ".raw";
  }
  Magick(dir, args);
  std::map<std::string, Bytes> out;
  for (size_t i = 0; i < files.size(); ++i) out[files[i]] = ReadFile(dir.File("px" + std::to_string(i) + ".raw"));
  return out;
}

uint8_t Source::Channel(int x, int y, int c) {
  if (x < 12 && y < 8) return c == 0 ? 200 : (c == 1 ? 40 : 90);
  switch (c) {
    case 0: return static_cast<uint8_t>((x / 3) * 37 + y * 11);
    case 1: return static_cast<uint8_t>(x * 5 + (y / 2) * 23);
    case 2: return static_cast<uint8_t>((x ^ y) * 13);
    default: return x < 18 ? 255 : static_cast<uint8_t>(x * 13 + y * 7);
  }
}

Bytes Source::Netpbm(bool alpha) {
  std::ostringstream head;
  if (alpha)
    head << "P7\nWIDTH " << W << "\nHEIGHT " << H << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  else
    head << "P6\n" << W << " " << H << "\n255\n";
  const std::string h = head.str();
  Bytes out(h.begin(), h.end());
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      for (int c = 0; c < (alpha ? 4 : 3); ++c) out.push_back(Channel(x, y, c));
  return out;
}

int32_t TShortStream::Write(const void* Buffer, int32_t Count) {
  const auto room = static_cast<int32_t>(std::clamp<int64_t>(room_ - Position(), 0, Count));
  return TMemoryStream::Write(Buffer, room);
}

Bytes WriteWith(const std::function<void(TStream&, TIEProgressRecord&)>& Write) {
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TMemoryStream out;
  Write(out, progress);
  if (aborting) return {};
  const auto* m = static_cast<const uint8_t*>(out.Memory());
  return Bytes(m, m + out.Size());
}

bool ReadWith(const Bytes& File, const std::function<void(TStream&, TIEProgressRecord&)>& Read) {
  TCustomMemoryStream s(File.data(), static_cast<int64_t>(File.size()));
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  Read(s, progress);
  return !aborting;
}

void ReadPCX(const Bytes& file, Decoded& d) {
  TIOParamsVals p(nullptr);
  d.aborted = !ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) {
    ReadPCXStream(s, d.bitmap, p, s.Size(), pr, false);
  });
}

void ReadDCX(const Bytes& file, int32_t page, Decoded& d) {
  TIOParamsVals p(nullptr);
  p.DcxImageIndex = page;
  d.aborted = !ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) { ReadDCXStream(s, d.bitmap, p, pr, false); });
  d.frames = p.ImageCount;
}

void ReadTGA(const Bytes& file, Decoded& d) {
  TIOParamsVals p(nullptr);
  d.aborted = !ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) {
    ReadTGAStream(s, d.bitmap, p, pr, false, d.alpha, false);
  });
}

void ReadICO(const Bytes& file, int32_t image, Decoded& d) {
  TIOParamsVals p(nullptr);
  p.IcoImageIndex = image;
  d.aborted = !ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) {
    ReadICOStream(s, d.bitmap, p, false, pr, d.alpha, false);
  });
}

void ReadCUR(const Bytes& file, int32_t image, Decoded& d) {
  TIOParamsVals p(nullptr);
  p.CurImageIndex = image;
  d.aborted = !ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) {
    ReadCURStream(s, d.bitmap, p, false, pr, d.alpha, false);
  });
}

void ReadPXM(const Bytes& file, Decoded& d) {
  TIOParamsVals p(nullptr);
  d.aborted = !ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) { ReadPXMStream(s, d.bitmap, p, false, pr); });
}

void ReadWBMP(const Bytes& file, Decoded& d) {
  TIOParamsVals p(nullptr);
  d.aborted = !ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) { ReadWBMPStream(s, d.bitmap, p, pr, false); });
}

void ReadBMP(const Bytes& file, Decoded& d) {
  TCustomMemoryStream s(file.data(), static_cast<int64_t>(file.size()));
  TIOParamsVals p(nullptr);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  ReadBMPStream(s, d.bitmap, 0, p, progress, false, false, d.alpha, false);
  d.aborted = aborting;
}

void ReadGIF(const Bytes& file, int32_t frame, Decoded& d) {
  TCustomMemoryStream s(file.data(), static_cast<int64_t>(file.size()));
  TIOParamsVals p(nullptr);
  p.GifImageIndex = frame;
  p.GifLZWDecompressor = GIFLZWDecode;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  ReadGIFStream(s, d.bitmap, d.frames, p, progress, false, d.alpha, false);
  d.aborted = aborting;
  d.interlaced = p.GifInterlaced;
}

void ReadPNG(const Bytes& file, Decoded& d, bool native) {
  TCustomMemoryStream s(file.data(), static_cast<int64_t>(file.size()));
  TIOParamsVals p(nullptr);
  p.IsNativePixelFormat = native;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  PNGCodecRead(s, d.bitmap, p, progress, false);
  d.aborted = aborting;
  d.interlaced = p.PngInterlaced;
  d.alpha.reset();
  if (d.bitmap.HasAlphaChannel()) {
    d.alpha = std::make_unique<TIEMask>();
    d.bitmap.GetAlphaChannel()->CopyToMask(*d.alpha);
  }
}

Bytes FFmpegPixels(const testsupport::ScratchDir& dir, const std::string& file) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
    ADD_FAILURE() << "FFmpeg is a test dependency: run scripts/install-deps.sh";
    return {};
  }
  const std::string raw = dir.File("ffmpeg.raw");
  std::remove(raw.c_str());
  const std::string cmd = "ffmpeg -v error -y -i '" + file + "' -frames:v 1 -f rawvideo -pix_fmt rgba '" + raw + "'";
  if (std::system(cmd.c_str()) != 0) return {};
  return ReadFile(raw);
}

Bytes WriteBMP(TIEBitmap& bitmap, TIOParamsVals& params, bool useAlpha) {
  return WriteWith([&](TStream& s, TIEProgressRecord& p) { WriteBMPStream(s, bitmap, params, p, useAlpha); });
}

Bytes WriteGIF(TIEBitmap& bitmap, TIOParamsVals& params) {
  return WriteWith([&](TStream& s, TIEProgressRecord& p) { WriteGIFStream(s, bitmap, params, p); });
}

Bytes WritePNG(TIEBitmap& bitmap, TIOParamsVals& params) {
  return WriteWith([&](TStream& s, TIEProgressRecord& p) { PNGCodecWrite(s, bitmap, params, p); });
}

void ExpectSamePixels(const std::string& name, Decoded& ours, const Bytes& theirs, Significant bits) {
  SCOPED_TRACE(name);
  ASSERT_FALSE(ours.aborted);
  const int w = ours.bitmap.Width(), h = ours.bitmap.Height();
  ASSERT_EQ(theirs.size(), static_cast<size_t>(w) * h * 4) << "the other decoder's size differs (or it failed)";
  auto near = [&](int ours, int theirs, int n) {
    return std::abs((ours >> (8 - n)) - (theirs >> (8 - n))) <= bits.slack;
  };
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TIERGB c = ours.bitmap.GetPixelRGB(x, y);
      const int a = ours.alpha ? ours.alpha->GetPixel(x, y) : 255;
      const uint8_t* t = theirs.data() + (static_cast<size_t>(y) * w + x) * 4;
      const bool clear = !bits.clearColors && a == 0 && t[3] == 0;
      const bool same = clear || (near(c.r, t[0], bits.r) && near(c.g, t[1], bits.g) && near(c.b, t[2], bits.b) &&
                                  near(a, t[3], bits.a));
      if (!same && ++wrong <= 3)
        ADD_FAILURE() << "pixel " << x << "," << y << ": ours " << int(c.r) << " " << int(c.g) << " " << int(c.b)
                      << " " << a << ", theirs " << int(t[0]) << " " << int(t[1]) << " " << int(t[2]) << " "
                      << int(t[3]);
    }
  EXPECT_EQ(wrong, 0);
}

}  // namespace codectest
