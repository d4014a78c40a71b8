/* Timing helpers of the C programs that time a peer library for the comparison scripts: the
 * processor time of the one thread they run, and the median of a series of runs. */
#ifndef BENCH_PEER_TIME_H
#define BENCH_PEER_TIME_H

#include <stdlib.h>
#include <time.h>

/* Processor time of this single-threaded process in milliseconds, as our side reports it. */
static inline double PeerNow(void) {
  struct timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static inline int PeerCompare(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return x < y ? -1 : x > y;
}

/* The median of N values (sorted in place). */
static inline double PeerMedian(double* v, int n) {
  qsort(v, (size_t)n, sizeof *v, PeerCompare);
  return v[n / 2];
}

#endif
