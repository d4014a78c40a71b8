// Camera raw files: LibRaw identifies, unpacks, scales, interpolates (linearly) and converts the
// sensor data to RGB; the engine takes it from there with its own tone curve from the brightness
// histogram, the pixel factors, the trimmed border and the 45-degree straightening.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <libraw/libraw.h>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_settings.h"
#include "imaging/core/ie_streams.h"
#include "imaging/io/codecs/camera_raw_codec.h"
#include "imaging/io/codecs/tiff_codec.h"
#include "imaging/io/exif_blocks.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/io_params.h"
#include "imaging/processing/ie_color_ops.h"
#include "platform/system/exception.h"
#include "platform/system/streams.h"

namespace {

uint32_t g_memoryLimitMB = 2048;

// Raw data is coded at best at this many pixels a byte (a lossless-JPEG raw of a flat picture).
constexpr int64_t kRawMaxPixelsPerByte = 64;

void Fail(TIEProgressRecord& progress, const std::string& message) { IOFail(progress, "Camera RAW: " + message); }

// LibRaw's view of the TStream from its position: reads, seeks and text scans with positions of
// its own (clamped to the data as LibRaw's own streams clamp them); no exception reaches LibRaw.
class TStreamRawData : public LibRaw_abstract_datastream {
 public:
  explicit TStreamRawData(TStream& stream) : s_(stream), origin_(stream.Position()) {
    size_ = std::max<int64_t>(0, stream.Size() - origin_);
  }
  int valid() override { return 1; }
  int read(void* ptr, size_t sz, size_t nmemb) override {
    if (sz == 0 || nmemb == 0) return 0;
    const uint64_t want = std::min<uint64_t>(uint64_t{sz} * nmemb, static_cast<uint64_t>(size_ - pos_));
    const int32_t got = Fetch(ptr, static_cast<int64_t>(std::min<uint64_t>(want, 0x7FFFFFFF)));
    return static_cast<int>(static_cast<size_t>(got) / sz);
  }
  int seek(INT64 o, int whence) override {
    int64_t target;
    switch (whence) {
      case SEEK_SET: target = o; break;
      case SEEK_CUR: target = pos_ + o; break;
      case SEEK_END: target = size_ + o; break;
      default: return -1;
    }
    pos_ = std::clamp<int64_t>(target, 0, size_);
    return 0;
  }
  INT64 tell() override { return pos_; }
  INT64 size() override { return size_; }
  int get_char() override {
    unsigned char c;
    return Fetch(&c, 1) == 1 ? c : -1;
  }
  char* gets(char* str, int sz) override {
    if (sz < 1 || pos_ >= size_) return nullptr;
    int n = 0;
    while (n < sz - 1) {
      const int c = get_char();
      if (c < 0) break;
      str[n++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    str[n] = 0;
    return n ? str : nullptr;
  }
  int scanf_one(const char* fmt, void* val) override {
    if (pos_ >= size_) return 0;
    char text[32] = {};
    const int64_t at = pos_;
    const int32_t got = Fetch(text, 24);
    pos_ = at;
    if (got <= 0) return 0;
    const int result = std::sscanf(text, fmt, val);
    if (result > 0) {
      // Past the token, as LibRaw's own streams step.
      int k = 0;
      while (pos_ < size_) {
        ++pos_, ++k;
        const char c = k < got ? text[k] : 0;
        if (c == 0 || c == ' ' || c == '\t' || c == '\n' || k > 24) break;
      }
    }
    return result;
  }
  int eof() override { return pos_ >= size_; }
  void* make_jas_stream() override { return nullptr; }

 private:
  int32_t Fetch(void* p, int64_t n) {
    if (n <= 0) return 0;
    try {
      s_.Seek(origin_ + pos_, soBeginning);
      const int32_t got = s_.Read(p, static_cast<int32_t>(n));
      if (got > 0) pos_ += got;
      return std::max(got, 0);
    } catch (...) {
      return 0;
    }
  }
  TStream& s_;
  int64_t origin_;
  int64_t size_ = 0;
  int64_t pos_ = 0;
};

struct ProgressLink {
  TIEProgressRecord* progress;
};

int ProgressHandler(void* data, enum LibRaw_progress, int, int) {
  // Non-zero cancels LibRaw's work when the caller asked to stop.
  return static_cast<ProgressLink*>(data)->progress->IsAborting() ? 1 : 0;
}

std::unique_ptr<LibRaw> NewProcessor() {
  auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
  raw->imgdata.params.max_raw_memory_mb = g_memoryLimitMB;
  return raw;
}

bool IsBlack(const uint8_t* p, bool wide) {
  if (wide) {
    uint16_t v[3];
    std::memcpy(v, p, 6);
    return (v[0] | v[1] | v[2]) == 0;
  }
  return (p[0] | p[1] | p[2]) == 0;
}

}  // namespace

uint32_t& CameraRawMemoryLimitMBForTesting() { return g_memoryLimitMB; }

bool IsCameraRawStream(TStream& Stream) {
  try {
    const int64_t p = Stream.Position();
    std::unique_ptr<LibRaw> raw = NewProcessor();
    TStreamRawData ds(Stream);
    const bool ok = ds.size() > 0 && raw->open_datastream(&ds) == LIBRAW_SUCCESS;
    Stream.Seek(p, soBeginning);
    return ok;
  } catch (const std::exception&) {
    return false;
  }
}

void UnrotateFujiImage(TIEBitmap& Bitmap) {
  const TIEPixelFormat format = Bitmap.PixelFormat();
  if (format != ie24RGB && format != ieRGB48) return;
  const bool wide = format == ieRGB48;
  const int32_t px = wide ? 6 : 3;
  const int32_t W = Bitmap.Width(), H = Bitmap.Height();
  if (W <= 0 || H <= 0) return;
  const auto* row0 = static_cast<const uint8_t*>(Bitmap.GetRow(0));
  int32_t lead = 0;
  while (lead < W && IsBlack(row0 + lead * px, wide)) ++lead;
  int32_t b = 1;
  for (int32_t k = W - 1; k >= 0; --k)
    if (!IsBlack(row0 + k * px, wide)) {
      b = k + 1;
      break;
    }
  const int64_t FW = b - 1, OH = 2 * int64_t{W} - 2 * lead - 4;
  if (FW < 1 || OH < 2) return;
  TIEImageData gate;
  gate.Bytes = int64_t{W} * H * px;
  gate.BitsPerPixel = px * 8;
  gate.RowBytes = 0;
  gate.MaxPixelsPerByte = 4;  // the straightened picture has about twice the pixels
  if (!IEImageSizePlausible(2 * FW, OH, gate)) return;

  std::vector<uint8_t> grid(static_cast<size_t>(FW * OH * px), 0);
  for (int32_t r = 0; r < H; ++r) {
    const auto* row = static_cast<const uint8_t*>(Bitmap.GetRow(r));
    for (int32_t k = 0; k < W; ++k) {
      const int64_t d = int64_t{r} + k - b + 6;
      const int64_t f = (int64_t{k} + FW - r - 1) / 2;
      if (d >= 0 && d < OH && f >= 0 && f < FW) std::memcpy(&grid[static_cast<size_t>((d * FW + f) * px)], row + k * px, px);
    }
  }
  auto G = [&](int64_t j, int64_t i) { return &grid[static_cast<size_t>((j * FW + i) * px)]; };
  TIEBitmap out;
  if (!out.Allocate(static_cast<int32_t>(2 * FW), static_cast<int32_t>(OH), format)) return;
  // The last row has no line of its own: it stays black.
  std::memset(out.GetRow(static_cast<int32_t>(OH - 1)), 0, static_cast<size_t>(out.RowLen()));
  std::vector<uint8_t> line(static_cast<size_t>(2 * FW * px), 0);
  for (int64_t j = 1; j < OH; ++j) {
    for (int64_t m = 1; m < 2 * FW; ++m) {
      uint8_t* dst = &line[static_cast<size_t>(m * px)];
      if ((j + m) % 2 == 0) {
        std::memcpy(dst, G(j, m / 2), px);
      } else if (j < OH - 1 && m < 2 * FW - 1) {
        const int64_t n = m / 2 - (j % 2);
        if (n < 0 || n + 1 >= FW) continue;
        for (int c = 0; c < 3; ++c) {
          if (wide) {
            auto at = [&](const uint8_t* p) {
              uint16_t v;
              std::memcpy(&v, p + 2 * c, 2);
              return uint32_t{v};
            };
            const uint16_t v = static_cast<uint16_t>((at(G(j - 1, m / 2)) + at(G(j, n)) + at(G(j + 1, m / 2)) + at(G(j, n + 1))) / 4);
            std::memcpy(dst + 2 * c, &v, 2);
          } else {
            dst[c] = static_cast<uint8_t>((G(j - 1, m / 2)[c] + G(j, n)[c] + G(j + 1, m / 2)[c] + G(j, n + 1)[c]) / 4);
          }
        }
      }
    }
    std::memcpy(out.GetRow(static_cast<int32_t>(j - 1)), line.data(), line.size());
  }
  Bitmap.Assign(out);
}

void ReadCameraRawStream(TStream& Stream, TIEBitmap& Bitmap, TIOParamsVals& Params, TIEProgressRecord& Progress,
                         bool ParamsOnly) {
  // 1. The embedded preview instead of decoding, when asked and there is one.
  if (Params.RawGetExifThumbnail && !ParamsOnly) {
    const int64_t p = Stream.Position();
    if (Params.ExifThumbnail()) Params.ExifThumbnail()->FreeImage();
    Params.RawGetExifThumbnail = false;
    ReadCameraRawStream(Stream, Bitmap, Params, Progress, true);
    Params.RawGetExifThumbnail = true;
    if (Progress.IsAborting()) return;
    if (Params.ExifThumbnail() && !Params.ExifThumbnail()->IsEmpty() && Params.ExifThumbnail()->Width() > 0) {
      Bitmap.Assign(*Params.ExifThumbnail());
      Params.Width = Bitmap.Width();
      Params.Height = Bitmap.Height();
      return;
    }
    Stream.Seek(p, soBeginning);
  }

  const int64_t start = Stream.Position();
  // 2. Metadata: the TIFF structure within the first 128 KB, else a Canon heap.
  try {
    TIEBufferedReadStream buffered(Stream, 8192, true);
    const int64_t tiff = FindTIFFHeader(buffered);
    if (tiff >= 0) {
      buffered.Seek(tiff, soBeginning);
      LoadRawEXIFAndPreview(buffered, Params);
    } else {
      ReadCIFFInfo(buffered, Params);
    }
  } catch (const std::exception&) {
    // Metadata that cannot be read is left out; the picture may still decode.
  }
  Stream.Seek(start, soBeginning);

  std::unique_ptr<LibRaw> raw = NewProcessor();
  ProgressLink link{&Progress};
  raw->set_progress_handler(ProgressHandler, &link);
  TStreamRawData ds(Stream);
  if (ds.size() == 0) return Fail(Progress, "empty file");

  // 3. Options.
  const bool preview = Params.ExifThumbnail() && !Params.ExifThumbnail()->IsEmpty() && Params.ExifThumbnail()->Width() > 0;
  const double bright = Params.RawAutoAdjustColors && preview ? 0.5 : Params.RawBright;
  libraw_output_params_t& o = raw->imgdata.params;
  o.gamm[0] = Params.RawGamma;
  o.bright = static_cast<float>(bright);
  o.four_color_rgb = Params.RawFourColorRGB ? 1 : 0;
  o.use_auto_wb = Params.RawUseAutoWB ? 1 : 0;
  o.use_camera_wb = Params.RawUseCameraWB ? 1 : 0;
  o.user_qual = 0;  // linear interpolation
  o.use_fuji_rotate = 0;  // straightened below
  o.output_color = 1;

  // 4. Identification.
  if (raw->open_datastream(&ds) != LIBRAW_SUCCESS) return Fail(Progress, "not a camera raw file");
  const libraw_iparams_t& id = raw->imgdata.idata;
  const libraw_image_sizes_t& sz = raw->imgdata.sizes;

  // 5. What the parameters tell without decoding.
  Params.RawCamera = std::string(id.make, strnlen(id.make, sizeof id.make)) + " " +
                     std::string(id.model, strnlen(id.model, sizeof id.model)) + " " +
                     std::string(raw->imgdata.color.model2, strnlen(raw->imgdata.color.model2, sizeof raw->imgdata.color.model2));
  Params.SetDpiX(DefaultDPIX);
  Params.SetDpiY(DefaultDPIY);
  Params.Width = Params.OriginalWidth = std::max(0, int32_t{sz.width} - 2);
  Params.Height = Params.OriginalHeight = std::max(0, int32_t{sz.height} - 2);
  Params.SetImageCount(1);
  if (ParamsOnly) return;

  // The size must be one the file can hold before LibRaw allocates for it.
  TIEImageData gate;
  gate.Bytes = ds.size();
  gate.BitsPerPixel = 16;
  gate.MaxPixelsPerByte = kRawMaxPixelsPerByte;
  if (!IEImageSizePlausible(sz.raw_width ? sz.raw_width : sz.width, sz.raw_height ? sz.raw_height : sz.height, gate) ||
      !IEImageSizePlausible(sz.width, sz.height, gate))
    return Fail(Progress, "the image size does not fit the file");

  // Red and blue scales on the camera's or the daylight multipliers (automatic white balance
  // finds its own and takes no scales).
  const bool halfSize = Params.RawHalfSize && id.filters != 0;
  o.half_size = halfSize ? 1 : 0;
  if (!Params.RawUseAutoWB && (Params.RawRedScale != 1.0 || Params.RawBlueScale != 1.0)) {
    const float* base = Params.RawUseCameraWB && raw->imgdata.color.cam_mul[0] > 0 ? raw->imgdata.color.cam_mul
                                                                                  : raw->imgdata.color.pre_mul;
    o.user_mul[0] = static_cast<float>(base[0] * Params.RawRedScale);
    o.user_mul[1] = base[1];
    o.user_mul[2] = static_cast<float>(base[2] * Params.RawBlueScale);
    o.user_mul[3] = base[3] > 0 ? base[3] : base[1];
  }

  // 6. Decoding.
  if (raw->unpack() != LIBRAW_SUCCESS) return Fail(Progress, "the sensor data cannot be read");
  if (Progress.IsAborting()) return;
  Progress.Report(70);
  if (raw->dcraw_process() != LIBRAW_SUCCESS) return Fail(Progress, "the sensor data cannot be processed");
  Progress.Report(85);
  const int32_t width = raw->imgdata.sizes.iwidth, height = raw->imgdata.sizes.iheight;
  const auto* image = raw->imgdata.image;
  if (!image || width <= 0 || height <= 0) return Fail(Progress, "no picture");
  const int32_t trim = id.filters != 0 && !halfSize ? 1 : 0;
  if (width <= 2 * trim || height <= 2 * trim) return Fail(Progress, "the picture is too small");
  const int64_t pixels = int64_t{width} * height;

  // Brightness and its histogram of 8192 bins.
  std::vector<uint32_t> histogram(8192, 0);
  std::vector<uint16_t> brightness(static_cast<size_t>(pixels));
  for (int64_t i = 0; i < pixels; ++i) {
    const double r = image[i][0], g = image[i][1], b = image[i][2];
    const double v = std::sqrt(r * r + g * g + b * b) / 2;
    const uint16_t v16 = static_cast<uint16_t>(std::min(65535.0, std::trunc(v)));
    brightness[static_cast<size_t>(i)] = v16;
    ++histogram[v16 >> 3];
  }

  // 7. Tone curve. LibRaw names every Fuji "Fujifilm": the maker index tells.
  const bool fuji = id.maker_index == LIBRAW_CAMERAMAKER_Fujifilm;
  const double perc = fuji ? 0.005 : 0.01;
  const int64_t threshold = static_cast<int64_t>(perc * static_cast<double>(pixels));
  int32_t whiteBin = 0;
  int64_t sum = 0;
  for (int32_t bin = 8191; bin > 1; --bin) {
    sum += histogram[static_cast<size_t>(bin)];
    if (sum > threshold) {
      whiteBin = bin;
      break;
    }
  }
  const double white = whiteBin ? whiteBin * 16.0 : 1.0;
  const bool wide = Params.IsNativePixelFormat;
  const double scale = bright * 442.0 / white * (wide ? 65535.0 / 255.0 : 1.0);
  std::vector<float> tone(65536);
  tone[0] = 0;
  for (int32_t i = 1; i < 65536; ++i) tone[static_cast<size_t>(i)] = static_cast<float>(scale * std::pow(2.0 * i / white, Params.RawGamma - 1.0));

  // 8. Output: every pixel and every row repeated by the pixel factors.
  const double aspect = raw->imgdata.sizes.pixel_aspect;
  const int32_t hf = std::isfinite(aspect) && aspect > 1 ? std::clamp<int32_t>(static_cast<int32_t>(std::lround(aspect)), 1, 8) : 1;
  const int32_t vf = std::isfinite(aspect) && aspect > 0 && aspect < 1
                         ? std::clamp<int32_t>(static_cast<int32_t>(std::lround(1 / aspect)), 1, 8) : 1;
  const int32_t outW = (width - 2 * trim) * hf, outH = (height - 2 * trim) * vf;
  TIEImageData outGate;
  outGate.Bytes = pixels * 6;
  outGate.BitsPerPixel = wide ? 48 : 24;
  outGate.MaxPixelsPerByte = 2;
  if (!IEImageSizePlausible(outW, outH, outGate)) return Fail(Progress, "the image size does not fit the file");
  TIEBitmap picture;
  if (!picture.Allocate(outW, outH, wide ? ieRGB48 : ie24RGB))
    throw Exception(wide ? ": Out of memory in write_ppm16()" : ": Out of memory in write_ppm()");
  std::vector<uint8_t> line;
  try {
    line.assign(static_cast<size_t>(picture.RowLen()), 0);
  } catch (const std::bad_alloc&) {
    throw Exception(wide ? ": Out of memory in write_ppm16()" : ": Out of memory in write_ppm()");
  }
  for (int32_t y = trim; y < height - trim; ++y) {
    if (wide) {
      auto* out = reinterpret_cast<uint16_t*>(line.data());
      for (int32_t x = trim; x < width - trim; ++x) {
        const int64_t i = int64_t{y} * width + x;
        const float t = tone[brightness[static_cast<size_t>(i)]];
        for (int32_t r = 0; r < hf; ++r, out += 3)
          for (int c = 0; c < 3; ++c) out[c] = static_cast<uint16_t>(std::min(65535.0f, std::trunc(image[i][c] * t)));
      }
    } else {
      uint8_t* out = line.data();
      for (int32_t x = trim; x < width - trim; ++x) {
        const int64_t i = int64_t{y} * width + x;
        const float t = tone[brightness[static_cast<size_t>(i)]];
        for (int32_t r = 0; r < hf; ++r, out += 3)
          for (int c = 0; c < 3; ++c) out[2 - c] = static_cast<uint8_t>(std::min(255.0f, std::trunc(image[i][c] * t)));
      }
    }
    for (int32_t r = 0; r < vf; ++r)
      std::memcpy(picture.GetRow((y - trim) * vf + r), line.data(), line.size());
  }
  const bool rotated = raw->is_fuji_rotated() != 0;
  raw->recycle();
  Progress.Report(90);
  Params.BitsPerSample = wide ? 16 : 8;
  Params.SamplesPerPixel = 3;

  // 9. The 45-degree sensors straightened.
  if (rotated) UnrotateFujiImage(picture);
  // 10. Colours matched to the preview's when asked.
  if (Params.RawAutoAdjustColors && preview) MatchColorHistograms(*Params.ExifThumbnail(), picture);
  Bitmap.Assign(picture);
  Params.Width = Bitmap.Width();
  Params.Height = Bitmap.Height();
  Progress.Report(100);
}
