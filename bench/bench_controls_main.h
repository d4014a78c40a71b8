#pragma once
// The start of every control-library benchmark program: Qt without a screen unless one is asked
// for, the application and the control library set up around the benchmarks.
#include <benchmark/benchmark.h>

#include <QtWidgets/QApplication>

#include <cstdlib>

#include "controls/controls_startup.h"
#include "platform/ui/forms.h"

inline int RunControlsBenchmarks(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  Application->Initialize();
  InitializeControls();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FinalizeControls();
  return 0;
}
