// The timing harness of the benchmarks that run our code and a library's bare loop in one process:
// the best wall and processor time of a few runs of a step.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <functional>

struct Timing {
  double wall = 1e30, cpu = 1e30;
};

// Processor seconds of this process and its ended children so far (user and system): a codec that
// decodes in a child process is charged for the child's work.
inline double CpuSeconds() {
  double s = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u;
    getrusage(who, &u);
    s += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
  }
  return s;
}

// One run of F, kept in T when it is the best so far.
inline void MeasureOnce(const std::function<void()>& f, Timing& t) {
  const double c0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  f();
  t.wall = std::min(t.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  t.cpu = std::min(t.cpu, CpuSeconds() - c0);
}

// The best wall and processor seconds of Runs runs of F.
inline Timing Measure(const std::function<void()>& f, int runs) {
  Timing t;
  for (int i = 0; i < runs; ++i) MeasureOnce(f, t);
  return t;
}

// Runs runs each of Ours and Theirs taken in turn (a change in the machine's load hits both).
inline void MeasureInTurn(const std::function<void()>& ours, const std::function<void()>& theirs, int runs,
                          Timing& oursTime, Timing& theirsTime) {
  for (int i = 0; i < runs; ++i) {
    MeasureOnce(ours, oursTime);
    MeasureOnce(theirs, theirsTime);
  }
}
