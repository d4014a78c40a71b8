/* giflib's side of bench/compare_giflib.sh: writes the benchmark's input animation with giflib,
 * times giflib decoding it (DGifSlurp) and encoding its frames again (EGifSpew), both from and to
 * memory on one thread, and checks that two files decode to the same indices.
 *
 *   giflib_time make <out.gif>
 *   giflib_time time <in.gif> <runs> <indices.out> <spew.gif>
 *       prints "decode_ms <median>" and "encode_ms <median>" (processor time); writes every frame's
 *       indices and its own re-encoded file
 *   giflib_time same <a.gif> <b.gif>
 *       exits 0 when both decode to the same frames and indices; prints both sizes */
#define _POSIX_C_SOURCE 199309L
#include <gif_lib.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "peer_time.h"

enum { kWidth = 320, kHeight = 240, kFrames = 50, kTransparent = 255 };

typedef struct {
  unsigned char* data;
  size_t size, pos, cap;
} Buffer;

static int ReadMem(GifFileType* gif, GifByteType* out, int n) {
  Buffer* b = (Buffer*)gif->UserData;
  size_t left = b->size - b->pos;
  if ((size_t)n > left) n = (int)left;
  memcpy(out, b->data + b->pos, (size_t)n);
  b->pos += (size_t)n;
  return n;
}

static int WriteMem(GifFileType* gif, const GifByteType* in, int n) {
  Buffer* b = (Buffer*)gif->UserData;
  if (b->size + (size_t)n > b->cap) {
    b->cap = (b->size + (size_t)n) * 2;
    b->data = realloc(b->data, b->cap);
  }
  memcpy(b->data + b->size, in, (size_t)n);
  b->size += (size_t)n;
  return n;
}

static Buffer ReadFile(const char* name) {
  Buffer b = {0};
  FILE* f = fopen(name, "rb");
  if (!f) {
    perror(name);
    exit(2);
  }
  fseek(f, 0, SEEK_END);
  b.size = (size_t)ftell(f);
  fseek(f, 0, SEEK_SET);
  b.data = malloc(b.size);
  if (fread(b.data, 1, b.size, f) != b.size) exit(2);
  fclose(f);
  return b;
}

static void WriteFile(const char* name, const void* data, size_t size) {
  FILE* f = fopen(name, "wb");
  if (!f || fwrite(data, 1, size, f) != size) {
    perror(name);
    exit(2);
  }
  fclose(f);
}

static GifFileType* Slurp(Buffer* b) {
  int error = 0;
  b->pos = 0;
  GifFileType* gif = DGifOpen(b, ReadMem, &error);
  if (!gif || DGifSlurp(gif) != GIF_OK) {
    fprintf(stderr, "giflib cannot read the file (%d)\n", gif ? gif->Error : error);
    exit(1);
  }
  return gif;
}

/* Writes the frames of Source (its screen, colour map and extensions) into Out with EGifSpew. */
static void Spew(GifFileType* source, Buffer* out) {
  int error = 0;
  out->size = 0;
  GifFileType* gif = EGifOpen(out, WriteMem, &error);
  gif->SWidth = source->SWidth;
  gif->SHeight = source->SHeight;
  gif->SColorResolution = source->SColorResolution;
  gif->SBackGroundColor = source->SBackGroundColor;
  gif->SColorMap = GifMakeMapObject(source->SColorMap->ColorCount, source->SColorMap->Colors);
  for (int i = 0; i < source->ImageCount; ++i) GifMakeSavedImage(gif, &source->SavedImages[i]);
  if (EGifSpew(gif) != GIF_OK) {
    fprintf(stderr, "giflib cannot write the file\n");
    exit(1);
  }
}

/* Frame F: a gradient with a disc and a bar that move, 255 colours and a hole of the transparent
 * index that moves the other way. */
static void Frame(int f, GifByteType* pixels) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      int v = (x + y / 2 + 2 * f) % 200;
      const int dx = x - (40 + 5 * f), dy = y - (120 + (f % 10) * 4);
      if (dx * dx + dy * dy < 900) v = 200 + (x + y) % 20;
      if (y >= 30 + 3 * f && y < 50 + 3 * f && x >= 20 && x < 300) v = 220 + (x / 8) % 35;
      if (x >= 280 - 4 * f && x < 300 - 4 * f && y >= 10 && y < 40) v = kTransparent;
      pixels[y * kWidth + x] = (GifByteType)v;
    }
}

static int Make(const char* name) {
  int error = 0;
  Buffer out = {0};
  GifFileType* gif = EGifOpen(&out, WriteMem, &error);
  GifColorType colors[256];
  for (int i = 0; i < 256; ++i) {
    colors[i].Red = (GifByteType)i;
    colors[i].Green = (GifByteType)(255 - i);
    colors[i].Blue = (GifByteType)(i * 7);
  }
  gif->SWidth = kWidth;
  gif->SHeight = kHeight;
  gif->SColorResolution = 8;
  gif->SColorMap = GifMakeMapObject(256, colors);
  for (int f = 0; f < kFrames; ++f) {
    SavedImage image;
    memset(&image, 0, sizeof image);
    image.ImageDesc.Width = kWidth;
    image.ImageDesc.Height = kHeight;
    image.RasterBits = malloc(kWidth * kHeight);
    Frame(f, image.RasterBits);
    SavedImage* saved = GifMakeSavedImage(gif, &image);
    free(image.RasterBits);
    GraphicsControlBlock gcb = {DISPOSE_DO_NOT, false, 10, kTransparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    GifAddExtensionBlock(&saved->ExtensionBlockCount, &saved->ExtensionBlocks, GRAPHICS_EXT_FUNC_CODE, 4, ext);
  }
  if (EGifSpew(gif) != GIF_OK) return 1;
  WriteFile(name, out.data, out.size);
  return 0;
}

static int Time(const char* name, int runs, const char* indices, const char* spew) {
  Buffer in = ReadFile(name);
  double* decode = malloc(sizeof(double) * (size_t)runs);
  double* encode = malloc(sizeof(double) * (size_t)runs);
  GifFileType* kept = Slurp(&in);
  Buffer out = {0};
  for (int r = 0; r < runs; ++r) {
    double t = PeerNow();
    GifFileType* gif = Slurp(&in);
    decode[r] = PeerNow() - t;
    int error;
    DGifCloseFile(gif, &error);
    t = PeerNow();
    Spew(kept, &out);
    encode[r] = PeerNow() - t;
  }
  FILE* f = fopen(indices, "wb");
  for (int i = 0; i < kept->ImageCount; ++i)
    fwrite(kept->SavedImages[i].RasterBits, 1,
           (size_t)kept->SavedImages[i].ImageDesc.Width * kept->SavedImages[i].ImageDesc.Height, f);
  fclose(f);
  WriteFile(spew, out.data, out.size);
  printf("decode_ms %.3f\nencode_ms %.3f\nframes %d\nspew_bytes %zu\n", PeerMedian(decode, runs),
         PeerMedian(encode, runs), kept->ImageCount, out.size);
  return 0;
}

static int Same(const char* a, const char* b) {
  Buffer x = ReadFile(a), y = ReadFile(b);
  GifFileType* p = Slurp(&x);
  GifFileType* q = Slurp(&y);
  printf("%s: %zu bytes\n%s: %zu bytes\n", a, x.size, b, y.size);
  if (p->ImageCount != q->ImageCount) return 1;
  for (int i = 0; i < p->ImageCount; ++i) {
    const GifImageDesc* d = &p->SavedImages[i].ImageDesc;
    const GifImageDesc* e = &q->SavedImages[i].ImageDesc;
    if (d->Width != e->Width || d->Height != e->Height ||
        memcmp(p->SavedImages[i].RasterBits, q->SavedImages[i].RasterBits, (size_t)d->Width * d->Height) != 0) {
      fprintf(stderr, "frame %d differs\n", i);
      return 1;
    }
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "make") == 0) return Make(argv[2]);
  if (argc == 6 && strcmp(argv[1], "time") == 0) return Time(argv[2], atoi(argv[3]), argv[4], argv[5]);
  if (argc == 4 && strcmp(argv[1], "same") == 0) return Same(argv[2], argv[3]);
  fprintf(stderr, "usage: giflib_time make <out.gif> | time <in.gif> <runs> <indices> <spew.gif> | same <a> <b>\n");
  return 2;
}
