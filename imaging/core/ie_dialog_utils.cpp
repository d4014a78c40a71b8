#include "imaging/core/ie_dialog_utils.h"

#include "imaging/core/ie_settings.h"
#include "platform/ui/forms.h"
#include "platform/ui/printers.h"

void PlaceDialog(HWND Window) {
  if (PlaceDialogHook) {
    PlaceDialogHook(Window);
    return;
  }
  TWinControl* window = FindControl(Window);
  if (!window) return;
  TCustomForm* form = Screen ? Screen->ActiveForm() : nullptr;
  if (!form && Application) form = Application->MainForm();
  const TMonitorInfo monitor =
      form ? Screen->MonitorFromRect(form->BoundsRect()) : (Screen ? Screen->Monitors(0) : TMonitorInfo{});
  const TRect m = monitor.BoundsRect;
  const int width = window->Width(), height = window->Height();
  TPoint place{m.Left + (m.Width() - width) / 2, m.Top + (m.Height() - height) / 3};
  // A child window takes its place in its parent's client coordinates.
  if (TWinControl* parent = window->Parent()) place = parent->ScreenToClient(place);
  // Moving keeps the size; a form is neither activated nor raised by it.
  window->SetBounds(place.X, place.Y, width, height);
}

void ResetPrinterDevice() {
  TPrinter* printer = Printer();
  const int copies = printer->Copies();
  const TPrinterOrientation orientation = printer->Orientation();
  const std::string title = printer->Title();
  std::string device, driver, port;
  printer->GetPrinter(device, driver, port);
  printer->SetPrinter(device, driver, port);
  printer->SetCopies(copies);
  printer->SetOrientation(orientation);
  printer->SetTitle(title);
}
