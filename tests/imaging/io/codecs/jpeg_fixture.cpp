#include "tests/imaging/io/codecs/jpeg_fixture.h"

#include <csetjmp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace jpegtest {

namespace {

// The library leaves its errors by longjmp to the one setjmp of each routine below; nothing with a
// destructor is made between the setjmp and the library calls.
struct ErrorExit {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void Fail(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorExit*>(cinfo->err)->jump, 1); }
void Quiet(j_common_ptr, int) {}

}  // namespace

Bytes Encode(const EncodeOptions& o, const Bytes& pixels) {
  jpeg_compress_struct c;
  ErrorExit err;
  c.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = Fail;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  Bytes result;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&c);
    std::free(out);
    return result;
  }
  jpeg_create_compress(&c);
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(o.width);
  c.image_height = static_cast<JDIMENSION>(o.height);
  c.in_color_space = o.input;
  c.input_components = o.input == JCS_GRAYSCALE ? 1 : (o.input == JCS_CMYK ? 4 : 3);
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, o.file);
  jpeg_set_quality(&c, o.quality, TRUE);
  if ((o.file == JCS_YCbCr || o.file == JCS_YCCK) && c.num_components >= 3) {
    c.comp_info[0].h_samp_factor = o.lumaH;
    c.comp_info[0].v_samp_factor = o.lumaV;
  }
  if (o.progressive) jpeg_simple_progression(&c);
  c.arith_code = o.arithmetic ? TRUE : FALSE;
  c.restart_in_rows = o.restartRows;
  if (!o.jfif) c.write_JFIF_header = FALSE;  // else as the colour space has it (none for RGB and CMYK)
  c.density_unit = static_cast<UINT8>(o.densityUnit);
  c.X_density = static_cast<UINT16>(o.densityX);
  c.Y_density = static_cast<UINT16>(o.densityY);
  if (o.tablesOnly) {
    jpeg_write_tables(&c);
  } else {
    if (o.imageOnly) jpeg_suppress_tables(&c, TRUE);
    jpeg_start_compress(&c, o.imageOnly ? FALSE : TRUE);
    for (const Marker& m : o.markers)
      jpeg_write_marker(&c, m.code, m.data.data(), static_cast<unsigned>(m.data.size()));
    const size_t stride = static_cast<size_t>(o.width) * static_cast<size_t>(c.input_components);
    while (c.next_scanline < c.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + stride * c.next_scanline);
      jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
  }
  jpeg_destroy_compress(&c);
  result.assign(out, out + size);
  std::free(out);
  return result;
}

Decoded Decode(const Bytes& file, J_COLOR_SPACE outSpace, int scaleDenom, const Bytes& tables) {
  Decoded d;
  jpeg_decompress_struct c;
  ErrorExit err;
  c.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = Fail;
  err.pub.emit_message = Quiet;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&c);
    return Decoded{};
  }
  jpeg_create_decompress(&c);
  if (!tables.empty()) {
    jpeg_mem_src(&c, tables.data(), static_cast<unsigned long>(tables.size()));
    jpeg_read_header(&c, FALSE);
  }
  jpeg_mem_src(&c, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_save_markers(&c, JPEG_COM, 0xFFFF);
  for (int i = 0; i < 16; ++i) jpeg_save_markers(&c, JPEG_APP0 + i, 0xFFFF);
  jpeg_read_header(&c, TRUE);
  d.fileSpace = c.jpeg_color_space;
  d.progressive = c.progressive_mode != 0;
  d.densityUnit = c.density_unit;
  d.densityX = c.X_density;
  d.densityY = c.Y_density;
  d.sawJFIF = c.saw_JFIF_marker != 0;
  d.sawAdobe = c.saw_Adobe_marker != 0;
  for (int i = 0; i < c.num_components && i < 4; ++i) {
    d.sampling[i][0] = c.comp_info[i].h_samp_factor;
    d.sampling[i][1] = c.comp_info[i].v_samp_factor;
  }
  c.out_color_space = outSpace;
  c.dct_method = JDCT_ISLOW;
  c.scale_num = 1;
  c.scale_denom = static_cast<unsigned>(scaleDenom);
  jpeg_start_decompress(&c);
  d.width = static_cast<int>(c.output_width);
  d.height = static_cast<int>(c.output_height);
  d.components = c.output_components;
  const size_t stride = static_cast<size_t>(d.width) * static_cast<size_t>(d.components);
  d.pixels.resize(stride * static_cast<size_t>(d.height));
  while (c.output_scanline < c.output_height) {
    JSAMPROW row = d.pixels.data() + stride * c.output_scanline;
    jpeg_read_scanlines(&c, &row, 1);
  }
  for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next)
    d.markers.push_back(Marker{m->marker, Bytes(m->data, m->data + m->data_length)});
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  d.ok = true;
  return d;
}

Bytes Photo(int w, int h, uint32_t seed) {
  Bytes out(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  uint32_t s = seed * 2654435761u + 1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s ^= s << 13;
      s ^= s >> 17;
      s ^= s << 5;
      const double u = static_cast<double>(x) / w, v = static_cast<double>(y) / h;
      const bool disc = (u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4) < 0.05;
      const int noise = static_cast<int>(s % 9) - 4;
      uint8_t* p = &out[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3];
      const int r = disc ? 220 : static_cast<int>(40 + 180 * u);
      const int g = disc ? 60 : static_cast<int>(60 + 120 * v);
      const int b = disc ? 40 : static_cast<int>(200 - 150 * u * v);
      p[0] = static_cast<uint8_t>(std::clamp(r + noise, 0, 255));
      p[1] = static_cast<uint8_t>(std::clamp(g + noise, 0, 255));
      p[2] = static_cast<uint8_t>(std::clamp(b - noise, 0, 255));
    }
  return out;
}

double PSNR(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  if (sum == 0) return std::numeric_limits<double>::infinity();
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / sum);
}

}  // namespace jpegtest
