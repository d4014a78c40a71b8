#include "tests/support/png_fixture.h"

#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace testsupport {

int PngImage::Channels() const {
  switch (colorType) {
    case 2: return 3;
    case 4: return 2;
    case 6: return 4;
    default: return 1;
  }
}

size_t PngImage::RowBytes() const { return (static_cast<size_t>(width) * Channels() * bitDepth + 7) / 8; }

uint32_t PngImage::Sample(uint32_t x, uint32_t y, int c) const {
  const uint8_t* row = rows.data() + y * RowBytes();
  const size_t index = static_cast<size_t>(x) * Channels() + c;
  if (bitDepth == 16) return (uint32_t{row[2 * index]} << 8) | row[2 * index + 1];
  if (bitDepth == 8) return row[index];
  const size_t bit = index * bitDepth;
  return (row[bit / 8] >> (8 - bitDepth - bit % 8)) & ((1u << bitDepth) - 1);
}

void PngImage::SetSample(uint32_t x, uint32_t y, int c, uint32_t v) {
  uint8_t* row = rows.data() + y * RowBytes();
  const size_t index = static_cast<size_t>(x) * Channels() + c;
  if (bitDepth == 16) {
    row[2 * index] = static_cast<uint8_t>(v >> 8);
    row[2 * index + 1] = static_cast<uint8_t>(v);
  } else if (bitDepth == 8) {
    row[index] = static_cast<uint8_t>(v);
  } else {
    const size_t bit = index * bitDepth;
    const int shift = 8 - bitDepth - static_cast<int>(bit % 8);
    const uint8_t mask = static_cast<uint8_t>(((1u << bitDepth) - 1) << shift);
    row[bit / 8] = static_cast<uint8_t>((row[bit / 8] & ~mask) | ((v << shift) & mask));
  }
}

PngImage PngImage::Make(uint32_t width, uint32_t height, int colorType, int bitDepth, bool interlaced) {
  PngImage image;
  image.width = width;
  image.height = height;
  image.colorType = colorType;
  image.bitDepth = bitDepth;
  image.interlaced = interlaced;
  image.rows.assign(image.RowBytes() * height, 0);
  return image;
}

void FillPattern(PngImage& image, uint32_t seed) {
  const uint32_t max = (1u << image.bitDepth) - 1;
  const uint32_t entries = image.colorType == 3 ? static_cast<uint32_t>(image.palette.size()) : 0;
  for (uint32_t y = 0; y < image.height; ++y)
    for (uint32_t x = 0; x < image.width; ++x)
      for (int c = 0; c < image.Channels(); ++c) {
        uint32_t v = (x * 2654435761u) ^ (y * 40503u) ^ (static_cast<uint32_t>(c) * 977u) ^ (seed * 7919u);
        v ^= v >> 13;
        v = v % (max + 1);
        if (entries) v %= entries;  // only indices the palette has
        image.SetSample(x, y, c, v);
      }
}

PngImage PatternImage(int colorType, int bitDepth, bool interlaced, bool withTrns, uint32_t width, uint32_t height) {
  PngImage im = PngImage::Make(width, height, colorType, bitDepth, interlaced);
  if (colorType == 3)
    for (int i = 0; i < (1 << bitDepth); ++i)
      im.palette.push_back({static_cast<uint8_t>(i * 37 + 5), static_cast<uint8_t>(255 - i * 11), static_cast<uint8_t>(i * 3)});
  FillPattern(im, static_cast<uint32_t>(colorType * 31 + bitDepth));
  if (!withTrns) return im;
  const uint32_t x = width / 2, y = height / 2;
  if (colorType == 0 || colorType == 2)
    for (int c = 0; c < (colorType == 0 ? 1 : 3); ++c) {
      const uint32_t v = im.Sample(x, y, c);
      im.trns.push_back(static_cast<uint8_t>(v >> 8));
      im.trns.push_back(static_cast<uint8_t>(v));
    }
  // One partial value and one clear one: no more values than the palette has entries.
  if (colorType == 3) im.trns = bitDepth == 1 ? std::vector<uint8_t>{128, 0} : std::vector<uint8_t>{128, 0, 255};
  return im;
}

// ------------------------------------------------------------------------------------ libpng glue
// The functions that call setjmp own nothing with a destructor: libpng's errors leave them by longjmp.

namespace {

struct Buffer {
  uint8_t* data = nullptr;
  size_t size = 0, capacity = 0, position = 0;
  char error[256] = {0};
};

void OnError(png_structp png, png_const_charp message) {
  auto* b = static_cast<Buffer*>(png_get_error_ptr(png));
  std::snprintf(b->error, sizeof b->error, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* b = static_cast<Buffer*>(png_get_io_ptr(png));
  if (b->size + n > b->capacity) {
    size_t grown = b->capacity ? b->capacity * 2 : 65536;
    while (grown < b->size + n) grown *= 2;
    auto* p = static_cast<uint8_t*>(std::realloc(b->data, grown));
    if (!p) png_error(png, "out of memory");
    b->data = p;
    b->capacity = grown;
  }
  std::memcpy(b->data + b->size, data, n);
  b->size += n;
}

void OnFlush(png_structp) {}

void OnRead(png_structp png, png_bytep data, png_size_t n) {
  auto* b = static_cast<Buffer*>(png_get_io_ptr(png));
  if (b->size - b->position < n) png_error(png, "unexpected end of file");
  std::memcpy(data, b->data + b->position, n);
  b->position += n;
}

struct WriteJob {
  const PngImage* image;
  png_bytep* rows;
  int level;
  int filters;
  png_color palette[256];
  int paletteCount;
  png_byte trnsAlpha[256];
  int trnsCount;
  png_color_16 trnsColor;
  bool hasTrnsColor;
  png_text texts[16];
  int textCount;
};

int WriteCore(Buffer* out, WriteJob* job) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, out, OnError, OnWarning);
  if (!png) return 0;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return 0;
  }
  const PngImage* im = job->image;
  png_set_write_fn(png, out, OnWrite, OnFlush);
  png_set_compression_level(png, job->level);
  if (job->filters >= 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, job->filters);
  png_set_IHDR(png, info, im->width, im->height, im->bitDepth, im->colorType,
               im->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
               PNG_FILTER_TYPE_BASE);
  if (job->paletteCount) png_set_PLTE(png, info, job->palette, job->paletteCount);
  if (job->trnsCount || job->hasTrnsColor)
    png_set_tRNS(png, info, job->trnsCount ? job->trnsAlpha : nullptr, job->trnsCount,
                 job->hasTrnsColor ? &job->trnsColor : nullptr);
  if (im->gamma) png_set_gAMA_fixed(png, info, static_cast<png_fixed_point>(im->gamma));
  if (im->hasPhys) png_set_pHYs(png, info, im->physX, im->physY, im->physUnit);
  if (im->hasTime) {
    png_time t{im->year, im->month, im->day, im->hour, im->minute, im->second};
    png_set_tIME(png, info, &t);
  }
  if (job->textCount) png_set_text(png, info, job->texts, job->textCount);
  if (im->hasBkgd) {
    png_color_16 bkgd{};
    bkgd.index = static_cast<png_byte>(im->bkgd[0]);
    bkgd.gray = im->bkgd[0];
    bkgd.red = im->bkgd[0];
    bkgd.green = im->bkgd[1];
    bkgd.blue = im->bkgd[2];
    png_set_bKGD(png, info, &bkgd);
  }
  png_write_info(png, info);
  png_write_image(png, job->rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return 1;
}

struct ReadJob {
  png_structp png;
  png_infop info;
};

int ReadHeaderCore(ReadJob* job) {
  if (setjmp(png_jmpbuf(job->png))) return 0;
  png_read_info(job->png, job->info);
  return 1;
}

int ReadRowsCore(ReadJob* job, png_bytep* rows) {
  if (setjmp(png_jmpbuf(job->png))) return 0;
  png_read_image(job->png, rows);
  png_read_end(job->png, job->info);
  return 1;
}

}  // namespace

std::vector<uint8_t> WritePngWithLibpng(const PngImage& image, int level, int filters) {
  std::vector<png_bytep> rows(image.height);
  for (uint32_t y = 0; y < image.height; ++y)
    rows[y] = const_cast<png_bytep>(image.rows.data() + y * image.RowBytes());
  WriteJob job{};
  job.image = &image;
  job.rows = rows.data();
  job.level = level;
  job.filters = filters;
  job.paletteCount = static_cast<int>(image.palette.size());
  for (size_t i = 0; i < image.palette.size() && i < 256; ++i)
    job.palette[i] = {image.palette[i][0], image.palette[i][1], image.palette[i][2]};
  if (image.colorType == 3) {
    job.trnsCount = static_cast<int>(std::min<size_t>(image.trns.size(), 256));
    if (job.trnsCount) std::memcpy(job.trnsAlpha, image.trns.data(), static_cast<size_t>(job.trnsCount));
  } else if (!image.trns.empty()) {
    const auto at = [&](size_t i) { return static_cast<png_uint_16>((image.trns[2 * i] << 8) | image.trns[2 * i + 1]); };
    job.hasTrnsColor = true;
    if (image.colorType == 0) job.trnsColor.gray = at(0);
    else job.trnsColor.red = at(0), job.trnsColor.green = at(1), job.trnsColor.blue = at(2);
  }
  job.textCount = static_cast<int>(std::min<size_t>(image.texts.size(), 16));
  for (int i = 0; i < job.textCount; ++i) {
    const PngText& t = image.texts[static_cast<size_t>(i)];
    if (t.international)
      job.texts[i].compression = t.compressed ? PNG_ITXT_COMPRESSION_zTXt : PNG_ITXT_COMPRESSION_NONE;
    else
      job.texts[i].compression = t.compressed ? PNG_TEXT_COMPRESSION_zTXt : PNG_TEXT_COMPRESSION_NONE;
    job.texts[i].key = const_cast<png_charp>(t.keyword.c_str());
    job.texts[i].text = const_cast<png_charp>(t.text.c_str());
    (t.international ? job.texts[i].itxt_length : job.texts[i].text_length) = t.text.size();
  }
  Buffer out;
  const int ok = WriteCore(&out, &job);
  std::vector<uint8_t> file(out.data, out.data + out.size);
  std::free(out.data);
  if (!ok) throw std::runtime_error(std::string("libpng write: ") + out.error);
  return file;
}

PngImage ReadPngWithLibpng(const std::vector<uint8_t>& file) {
  Buffer in;
  in.data = const_cast<uint8_t*>(file.data());
  in.size = file.size();
  ReadJob job{};
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &in, OnError, OnWarning);
  if (!job.png) throw std::runtime_error("libpng read: no memory");
  job.info = png_create_info_struct(job.png);
  png_set_read_fn(job.png, &in, OnRead);
  // Our own damaged-data tests want libpng's verdict, not its tolerance.
  png_set_crc_action(job.png, PNG_CRC_DEFAULT, PNG_CRC_DEFAULT);
  PngImage image;
  if (!job.info || !ReadHeaderCore(&job)) {
    png_destroy_read_struct(&job.png, &job.info, nullptr);
    throw std::runtime_error(std::string("libpng read: ") + in.error);
  }
  png_uint_32 w = 0, h = 0;
  int depth = 0, type = 0, interlace = 0;
  png_get_IHDR(job.png, job.info, &w, &h, &depth, &type, &interlace, nullptr, nullptr);
  image = PngImage::Make(w, h, type, depth, interlace != PNG_INTERLACE_NONE);
  png_colorp palette = nullptr;
  int entries = 0;
  if (png_get_PLTE(job.png, job.info, &palette, &entries))
    for (int i = 0; i < entries; ++i) image.palette.push_back({palette[i].red, palette[i].green, palette[i].blue});
  png_bytep alpha = nullptr;
  int trans = 0;
  png_color_16p color = nullptr;
  if (png_get_tRNS(job.png, job.info, &alpha, &trans, &color)) {
    if (type == 3) {
      image.trns.assign(alpha, alpha + trans);
    } else if (type == 0) {
      image.trns = {static_cast<uint8_t>(color->gray >> 8), static_cast<uint8_t>(color->gray)};
    } else {
      image.trns = {static_cast<uint8_t>(color->red >> 8),   static_cast<uint8_t>(color->red),
                    static_cast<uint8_t>(color->green >> 8), static_cast<uint8_t>(color->green),
                    static_cast<uint8_t>(color->blue >> 8),  static_cast<uint8_t>(color->blue)};
    }
  }
  png_fixed_point gamma = 0;
  if (png_get_gAMA_fixed(job.png, job.info, &gamma)) image.gamma = static_cast<uint32_t>(gamma);
  std::vector<png_bytep> rows(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = image.rows.data() + y * image.RowBytes();
  if (!ReadRowsCore(&job, rows.data())) {
    png_destroy_read_struct(&job.png, &job.info, nullptr);
    throw std::runtime_error(std::string("libpng read: ") + in.error);
  }
  png_uint_32 rx = 0, ry = 0;
  int unit = 0;
  if (png_get_pHYs(job.png, job.info, &rx, &ry, &unit)) image.hasPhys = true, image.physX = rx, image.physY = ry, image.physUnit = unit;
  png_timep t = nullptr;
  if (png_get_tIME(job.png, job.info, &t)) {
    image.hasTime = true;
    image.year = t->year, image.month = t->month, image.day = t->day;
    image.hour = t->hour, image.minute = t->minute, image.second = t->second;
  }
  png_textp texts = nullptr;
  int count = 0;
  png_get_text(job.png, job.info, &texts, &count);
  for (int i = 0; i < count; ++i) {
    const int c = texts[i].compression;
    const bool international = c == PNG_ITXT_COMPRESSION_NONE || c == PNG_ITXT_COMPRESSION_zTXt;
    const size_t length = international ? texts[i].itxt_length : texts[i].text_length;
    image.texts.push_back({texts[i].key, std::string(texts[i].text, length),
                           c == PNG_TEXT_COMPRESSION_zTXt || c == PNG_ITXT_COMPRESSION_zTXt, international});
  }
  png_color_16p bkgd = nullptr;
  if (png_get_bKGD(job.png, job.info, &bkgd) && bkgd) {
    image.hasBkgd = true;
    if (type == 3) image.bkgd = {bkgd->index, 0, 0};
    else if (type & PNG_COLOR_MASK_COLOR) image.bkgd = {bkgd->red, bkgd->green, bkgd->blue};
    else image.bkgd = {bkgd->gray, 0, 0};
  }
  png_destroy_read_struct(&job.png, &job.info, nullptr);
  return image;
}

// ------------------------------------------------------------------------------------ the oracles

std::vector<uint16_t> DecodeWithImageMagick(const std::string& file, bool& ok) {
  return DecodeWithImageMagick(std::vector<std::string>{file}, ok);
}

std::vector<uint16_t> DecodeWithImageMagick(const std::vector<std::string>& files, bool& ok) {
  // ImageMagick's own programs, never a stand-in of the same name.
  const std::string im = FindProgram({"convert-im6.q16", "magick"});
  ok = !im.empty();
  if (!ok) return {};
  std::string cmd = "'" + im + "'";
  for (const std::string& file : files) cmd += " '" + file + "'";
  cmd += " -depth 16 -endian MSB rgba:- 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return {};
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  if (::pclose(p) != 0) return {};
  std::vector<uint16_t> out(bytes.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
  return out;
}

std::vector<uint16_t> ExpandToRGBA16(const PngImage& image) {
  std::vector<uint16_t> out(static_cast<size_t>(image.width) * image.height * 4);
  const uint32_t max = (1u << image.bitDepth) - 1;
  const auto widen = [&](uint32_t v) { return static_cast<uint16_t>(v * 65535u / max); };
  const auto trnsAt = [&](int i) { return (uint32_t{image.trns[2 * i]} << 8) | image.trns[2 * i + 1]; };
  for (uint32_t y = 0; y < image.height; ++y)
    for (uint32_t x = 0; x < image.width; ++x) {
      uint16_t* o = out.data() + (static_cast<size_t>(y) * image.width + x) * 4;
      switch (image.colorType) {
        case 0: {
          const uint32_t v = image.Sample(x, y, 0);
          o[0] = o[1] = o[2] = widen(v);
          o[3] = (!image.trns.empty() && v == trnsAt(0)) ? 0 : 65535;
          break;
        }
        case 2: {
          bool key = !image.trns.empty();
          for (int c = 0; c < 3; ++c) {
            o[c] = widen(image.Sample(x, y, c));
            key = key && image.Sample(x, y, c) == trnsAt(c);
          }
          o[3] = key ? 0 : 65535;
          break;
        }
        case 3: {
          const uint32_t i = image.Sample(x, y, 0);
          const auto& e = i < image.palette.size() ? image.palette[i] : std::array<uint8_t, 3>{0, 0, 0};
          o[0] = static_cast<uint16_t>(e[0] * 257), o[1] = static_cast<uint16_t>(e[1] * 257),
          o[2] = static_cast<uint16_t>(e[2] * 257);
          o[3] = static_cast<uint16_t>((i < image.trns.size() ? image.trns[i] : 255) * 257);
          break;
        }
        case 4:
          o[0] = o[1] = o[2] = widen(image.Sample(x, y, 0));
          o[3] = widen(image.Sample(x, y, 1));
          break;
        case 6:
          for (int c = 0; c < 4; ++c) o[c] = widen(image.Sample(x, y, c));
          break;
      }
    }
  return out;
}

}  // namespace testsupport
