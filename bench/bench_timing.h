// The timing harness of the benchmarks that run our code and a library's bare loop in one process:
// the best wall and processor time of a few runs of a step.
#pragma once

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <chrono>
#include <functional>

struct Timing {
  double wall = 1e30, cpu = 1e30;
};

// Processor seconds of this process and of its children so far (user and system): those that ended
// (waited for) and those still running, such as a kept helper process a codec decodes in, so that a
// codec working in another process is charged for that work.
inline double CpuSeconds() {
  double s = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u;
    getrusage(who, &u);
    s += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
  }
  // Children still running, from each thread's list of the children it started.
  static const double kTick = static_cast<double>(sysconf(_SC_CLK_TCK));
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* t = readdir(tasks)) {
      if (t->d_name[0] == '.') continue;
      std::ifstream children(std::string("/proc/self/task/") + t->d_name + "/children");
      long pid = 0;
      while (children >> pid) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        // Fields 14 and 15 (user and system ticks) follow the parenthesised command name.
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(line.substr(close + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
          if (i == 14) utime = std::stoull(field);
          if (i == 15) stime = std::stoull(field);
        }
        s += static_cast<double>(utime + stime) / kTick;
      }
    }
    closedir(tasks);
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
