#include "controls/controls_startup.h"

#include "controls/xc_color_tables.h"
#include "controls/xc_themes.h"
#include "controls/xrl/xrl_strings.h"
#include "controls/xrl/xrl_sys_info.h"
#include "controls/xrl/xrl_sys_utils.h"
#include "controls/xrl/xrl_unit_versioning.h"

namespace {

int g_initCount = 0;

}  // namespace

void InitializeControls() {
  if (g_initCount++ > 0) return;
  InitializeCharacterTables();
  InitializeSystemInfo();
  InitializeSharedBlocks();
  InitializeUnitVersioning();
  BindColorDescriptions();
  InstallPrintClientCorrection();
}

void FinalizeControls() {
  if (g_initCount == 0 || --g_initCount > 0) return;
  RemovePrintClientCorrection();
  ReleaseColorDescriptions();
  FinalizeUnitVersioning();
  FinalizeSharedBlocks();
  FinalizeSystemInfo();
}

bool ControlsInitialized() { return g_initCount > 0; }
