/* ImageMagick's side of bench/compare_small_codecs.sh: the same jobs as bench_io_small_codecs --time,
 * in MagickCore from and to memory (BlobToImage, ImageToBlob) on the very same bytes, one thread.
 *
 *   magick_codec_time <dir> <runs>
 *       prints "read|write <job> <ms>", the median processor time of each job; writes what it read
 *       (magick-read-<job>.ppm, .pam with alpha) and wrote (magick-write-<job>.<ext>) into <dir>
 *
 * The inputs are those bench_io_small_codecs --make wrote into <dir>: the files to read, and
 * photo.ppm, photo.pam and icon.pam, the pictures the writers start from. */
#define _POSIX_C_SOURCE 199309L
#include <magick/MagickCore.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "peer_time.h"

typedef struct {
  const char* name;
  const char* file;
  const char* magick;
  const char* size;  /* for headerless data */
  int scene;         /* the page to read */
  int alpha;         /* the picture has alpha: compared as RGBA */
} ReadJob;

typedef struct {
  const char* name;
  const char* ext;
  const char* source;
  const char* magick;
  CompressionType compression;
  size_t depth;
} WriteJob;

static const ReadJob kReads[] = {
    {"tga24", "in-24.tga", "TGA", NULL, 0, 0},       {"tga24rle", "in-24-rle.tga", "TGA", NULL, 0, 0},
    {"tga32", "in-32.tga", "TGA", NULL, 0, 1},       {"pcx24rle", "in-24.pcx", "PCX", NULL, 0, 0},
    {"pcx8", "in-8.pcx", "PCX", NULL, 0, 0},         {"ppm8", "in-8.ppm", "PPM", NULL, 0, 0},
    {"ppm16", "in-16.ppm", "PPM", NULL, 0, 0},       {"pgm", "in.pgm", "PGM", NULL, 0, 0},
    {"pbm", "a4.pbm", "PBM", NULL, 0, 0},            {"wbmp", "a4.wbmp", "WBMP", NULL, 0, 0},
    {"dcx9", "in-10.dcx", "DCX", NULL, 9, 0},        {"raw24", "in.rgb", "RGB", "1920x1080", 0, 0},
    {"ico32", "in-128.ico", "ICO", NULL, 0, 1},
};

static const WriteJob kWrites[] = {
    {"tga24", "tga", "photo.ppm", "TGA", NoCompression, 8},
    {"tga24rle", "tga", "photo.ppm", "TGA", RLECompression, 8},
    {"tga32", "tga", "photo.pam", "TGA", NoCompression, 8},
    {"pcx24rle", "pcx", "photo.ppm", "PCX", RLECompression, 8},
    {"ppm8", "ppm", "photo.ppm", "PPM", NoCompression, 8},
    {"ppm16", "ppm", "photo.ppm", "PPM", NoCompression, 16},
    {"pgm", "pgm", "photo.ppm", "PGM", NoCompression, 8},
    {"ico32", "ico", "icon.pam", "ICO", NoCompression, 8},
};

static void* Load(const char* dir, const char* name, size_t* size) {
  char path[4096];
  snprintf(path, sizeof path, "%s/%s", dir, name);
  FILE* f = fopen(path, "rb");
  if (!f) {
    perror(path);
    exit(2);
  }
  fseek(f, 0, SEEK_END);
  *size = (size_t)ftell(f);
  fseek(f, 0, SEEK_SET);
  void* data = malloc(*size);
  if (fread(data, 1, *size, f) != *size) exit(2);
  fclose(f);
  return data;
}

static void Save(const char* dir, const char* name, const void* data, size_t size) {
  char path[4096];
  snprintf(path, sizeof path, "%s/%s", dir, name);
  FILE* f = fopen(path, "wb");
  if (!f || fwrite(data, 1, size, f) != size) {
    perror(path);
    exit(2);
  }
  fclose(f);
}

static Image* Read(ImageInfo* info, const void* data, size_t size) {
  ExceptionInfo* e = AcquireExceptionInfo();
  Image* image = BlobToImage(info, data, size, e);
  if (!image) fprintf(stderr, "ImageMagick: %s\n", e->reason ? e->reason : "cannot read");
  DestroyExceptionInfo(e);
  return image;
}

/* The picture as a PPM, or a PAM with alpha, 8-bit samples, rows from the top. */
static void SavePixels(const char* dir, const char* name, Image* image, int alpha) {
  const size_t w = image->columns, h = image->rows, channels = alpha ? 4 : 3;
  char head[256];
  int n = alpha ? snprintf(head, sizeof head,
                           "P7\nWIDTH %zu\nHEIGHT %zu\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", w, h)
                : snprintf(head, sizeof head, "P6\n%zu %zu\n255\n", w, h);
  unsigned char* out = malloc((size_t)n + w * h * channels);
  memcpy(out, head, (size_t)n);
  ExceptionInfo* e = AcquireExceptionInfo();
  ExportImagePixels(image, 0, 0, w, h, alpha ? "RGBA" : "RGB", CharPixel, out + n, e);
  DestroyExceptionInfo(e);
  Save(dir, name, out, (size_t)n + w * h * channels);
  free(out);
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s <dir> <runs>\n", argv[0]);
    return 2;
  }
  const char* dir = argv[1];
  int runs = atoi(argv[2]);
  if (runs < 1) runs = 1;
  MagickCoreGenesis(argv[0], MagickFalse);
  SetMagickResourceLimit(ThreadResource, 1);
  double* ms = malloc(sizeof(double) * (size_t)runs);

  for (size_t j = 0; j < sizeof kReads / sizeof *kReads; ++j) {
    const ReadJob* job = &kReads[j];
    size_t size = 0;
    void* data = Load(dir, job->file, &size);
    ImageInfo* info = AcquireImageInfo();
    CopyMagickString(info->magick, job->magick, MaxTextExtent);
    if (job->size) {
      CloneString(&info->size, job->size);
      info->depth = 8;
    }
    if (job->scene) {
      info->scene = (size_t)job->scene;
      info->number_scenes = 1;
      char scenes[32];
      snprintf(scenes, sizeof scenes, "%d", job->scene);
      CloneString(&info->scenes, scenes);
    }
    Image* kept = NULL;
    for (int r = 0; r < runs; ++r) {
      const double t0 = PeerNow();
      Image* image = Read(info, data, size);
      ms[r] = PeerNow() - t0;
      if (!image) return 1;
      if (kept) DestroyImageList(kept);
      kept = image;
    }
    printf("read %s %.3f\n", job->name, PeerMedian(ms, runs));
    char name[256];
    snprintf(name, sizeof name, "magick-read-%s.%s", job->name, job->alpha ? "pam" : "ppm");
    SavePixels(dir, name, GetLastImageInList(kept), job->alpha);
    DestroyImageList(kept);
    DestroyImageInfo(info);
    free(data);
  }

  for (size_t j = 0; j < sizeof kWrites / sizeof *kWrites; ++j) {
    const WriteJob* job = &kWrites[j];
    size_t size = 0;
    void* data = Load(dir, job->source, &size);
    ImageInfo* info = AcquireImageInfo();
    Image* image = Read(info, data, size);
    if (!image) return 1;
    SetImageDepth(image, job->depth);
    CopyMagickString(image->magick, job->magick, MaxTextExtent);
    CopyMagickString(info->magick, job->magick, MaxTextExtent);
    image->compression = job->compression;
    info->compression = job->compression;
    void* blob = NULL;
    size_t length = 0;
    for (int r = 0; r < runs; ++r) {
      if (blob) RelinquishMagickMemory(blob);
      ExceptionInfo* e = AcquireExceptionInfo();
      const double t0 = PeerNow();
      blob = ImageToBlob(info, image, &length, e);
      ms[r] = PeerNow() - t0;
      DestroyExceptionInfo(e);
      if (!blob) {
        fprintf(stderr, "ImageMagick cannot write %s\n", job->name);
        return 1;
      }
    }
    printf("write %s %.3f\n", job->name, PeerMedian(ms, runs));
    char name[256];
    snprintf(name, sizeof name, "magick-write-%s.%s", job->name, job->ext);
    Save(dir, name, blob, length);
    RelinquishMagickMemory(blob);
    DestroyImage(image);
    DestroyImageInfo(info);
    free(data);
  }
  free(ms);
  MagickCoreTerminus();
  return 0;
}
