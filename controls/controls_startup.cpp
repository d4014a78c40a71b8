#include "controls/controls_startup.h"

namespace {

int g_initCount = 0;

}  // namespace

void InitializeControls() {
  if (g_initCount++ > 0) return;
}

void FinalizeControls() {
  if (g_initCount == 0 || --g_initCount > 0) return;
}

bool ControlsInitialized() { return g_initCount > 0; }
