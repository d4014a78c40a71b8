// Brimvale: start-up of the program.
#include "imaging/core/ie_startup.h"
#include "app/app_version.h"
#include "controls/controls_startup.h"
#include "pictures/pictures_startup.h"
#include "platform/ui/forms.h"

int main(int argc, char** argv) {
  // The engine starts before the windows and stops after them.
  InitializeImagingUnits();
  Application->Initialize(argc, argv);
  InitializePictures();
  Application->SetTitle(kAppTitle);
  InitializeControls();
  // The main window; it stays empty until the application's windows are built on it.
  TForm* mainForm = Application->CreateForm<TForm>();
  mainForm->SetCaption(AppCaption());
  mainForm->SetBounds(100, 100, 800, 600);
  Application->Run();
  FinalizeControls();
  FinalizePictures();
  Application->Finalize();
  FinalizeImagingUnits();
  return 0;
}
