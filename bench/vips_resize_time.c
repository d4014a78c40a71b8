/* libvips on the picture bench_views draws (R = 7x + 3y, G = x^2 + y, B = 5 (x xor y), mod 256,
 * 6000 x 4000, made in memory): the median wall time and processor time of N runs of
 *   extract: vips_extract_area of 1920 x 1080 at (3000, 2000) into memory, or
 *   resize:  vips_resize with the linear kernel to 1620 x 1080 into memory,
 * printed in milliseconds (wall, width, height, processor); the last result is written to OUT as B, G, R rows from the top.
 * The thread count is VIPS_CONCURRENCY's.
 *   vips_resize_time extract|resize RUNS OUT */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <vips/vips.h>

#define W 6000
#define H 4000

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

/* Processor time of the whole process (every thread of libvips). */
static double cpu_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

static int cmp(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return x < y ? -1 : x > y;
}

int main(int argc, char** argv) {
  if (argc < 4 || VIPS_INIT(argv[0])) return 1;
  vips_cache_set_max(0); /* every run computes */
  const int extract = strcmp(argv[1], "extract") == 0;
  const int runs = atoi(argv[2]);
  unsigned char* pixels = malloc((size_t)W * H * 3);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      unsigned char* p = pixels + ((size_t)y * W + x) * 3;
      p[0] = (unsigned char)(x * 7 + y * 3);
      p[1] = (unsigned char)(x * x + y);
      p[2] = (unsigned char)((x ^ y) * 5);
    }
  VipsImage* in = vips_image_new_from_memory(pixels, (size_t)W * H * 3, W, H, 3, VIPS_FORMAT_UCHAR);
  double* times = calloc((size_t)runs, sizeof(double));
  double* cpu = calloc((size_t)runs, sizeof(double));
  void* result = NULL;
  size_t size = 0;
  int ow = extract ? 1920 : 1620, oh = 1080;
  for (int i = 0; i < runs; ++i) {
    VipsImage* out = NULL;
    const double t0 = now_ms(), c0 = cpu_ms();
    int failed = extract ? vips_extract_area(in, &out, 3000, 2000, 1920, 1080, NULL)
                         : vips_resize(in, &out, 1620.0 / W, "vscale", 1080.0 / H, "kernel", VIPS_KERNEL_LINEAR, NULL);
    if (failed) return 1;
    g_free(result);
    result = vips_image_write_to_memory(out, &size);
    times[i] = now_ms() - t0;
    cpu[i] = cpu_ms() - c0;
    ow = vips_image_get_width(out);
    oh = vips_image_get_height(out);
    g_object_unref(out);
  }
  qsort(times, (size_t)runs, sizeof(double), cmp);
  qsort(cpu, (size_t)runs, sizeof(double), cmp);
  printf("%.3f %d %d %.3f\n", times[runs / 2], ow, oh, cpu[runs / 2]);
  FILE* f = fopen(argv[3], "wb");
  unsigned char* r = result;
  for (size_t i = 0; i + 2 < size; i += 3) {
    const unsigned char bgr[3] = {r[i + 2], r[i + 1], r[i]};
    fwrite(bgr, 1, 3, f);
  }
  fclose(f);
  return 0;
}
