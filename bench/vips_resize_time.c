/* Times libvips' resize of an in-memory 6000 x 4000 3-band 8-bit image to 1500 x 1000 with the
 * given kernel (default lanczos3), excluding file I/O: the source is built in memory, the result
 * is computed into memory. Used only by compare_vips.sh for the resampling comparison. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <vips/vips.h>

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0])) vips_error_exit(NULL);
  /* Each run must compute anew, not read vips' operation cache. */
  vips_cache_set_max(0);
  const char* kernelName = argc > 1 ? argv[1] : "lanczos3";
  int runs = argc > 2 ? atoi(argv[2]) : 15;
  double scale = argc > 3 ? atof(argv[3]) : 0.25;
  int sw = argc > 4 ? atoi(argv[4]) : 6000, sh = argc > 5 ? atoi(argv[5]) : 4000;
  VipsKernel kernel = VIPS_KERNEL_LANCZOS3;
  if (!strcmp(kernelName, "cubic")) kernel = VIPS_KERNEL_CUBIC;
  if (!strcmp(kernelName, "linear")) kernel = VIPS_KERNEL_LINEAR;
  size_t size = (size_t)sw * sh * 3;
  unsigned char* pixels = malloc(size);
  for (size_t i = 0; i < size; ++i) pixels[i] = (unsigned char)(i * 7 + (i / (sw * 3)) * 3);
  VipsImage* in = vips_image_new_from_memory(pixels, size, sw, sh, 3, VIPS_FORMAT_UCHAR);
  double times[256];
  if (runs > 256) runs = 256;
  for (int r = 0; r < runs; ++r) {
    VipsImage* out = NULL;
    double t0 = now();
    if (vips_resize(in, &out, scale, "kernel", kernel, NULL)) vips_error_exit(NULL);
    size_t outSize = 0;
    void* mem = vips_image_write_to_memory(out, &outSize);
    double t1 = now();
    if (!mem) vips_error_exit(NULL);
    if (r == 0) printf("vips %s: %dx%d -> %dx%d\n", kernelName, sw, sh, out->Xsize, out->Ysize);
    g_free(mem);
    g_object_unref(out);
    times[r] = (t1 - t0) * 1000.0;
  }
  for (int i = 0; i < runs; ++i)
    for (int j = i + 1; j < runs; ++j)
      if (times[j] < times[i]) { double t = times[i]; times[i] = times[j]; times[j] = t; }
  printf("median %.2f ms (min %.2f, max %.2f) over %d runs, concurrency %d\n", times[runs / 2], times[0],
         times[runs - 1], runs, vips_concurrency_get());
  g_object_unref(in);
  free(pixels);
  vips_shutdown();
  return 0;
}
