#include "controls/controls_startup.h"

#include "controls/xc_button_glyph.h"
#include "controls/xc_color_tables.h"
#include "controls/xc_data_startup.h"
#include "controls/xc_edit_glyphs.h"
#include "controls/xc_led.h"
#include "controls/xc_slider.h"
#include "controls/xc_speed_button.h"
#include "controls/xc_spin_button.h"
#include "controls/xc_themes.h"
#include "controls/xc_xcl_utils.h"
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
  RegisterDragCursors();
  RegisterLedResources();
  RegisterDataProviderClasses();
  RegisterEditGlyphResources();
  RegisterSpinResources();
  RegisterSliderResources();
}

void FinalizeControls() {
  if (g_initCount == 0 || --g_initCount > 0) return;
  UnRegisterDataProviderClasses();
  FreeDefaultEditImages();
  FreeCachedCheckerBitmap();
  FreeGlyphCache();
  UnregisterDragCursors();
  RemovePrintClientCorrection();
  ReleaseColorDescriptions();
  FinalizeUnitVersioning();
  FinalizeSharedBlocks();
  FinalizeSystemInfo();
}

bool ControlsInitialized() { return g_initCount > 0; }
