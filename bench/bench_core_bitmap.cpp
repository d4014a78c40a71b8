// Benchmarks of the pixel container (filled in with TIEBitmap).
#include <benchmark/benchmark.h>
