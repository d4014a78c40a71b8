#pragma once
// Message boxes and the one place where every dialog that waits for a person passes: a test (or a
// scripted run) installs a responder that answers instead of a person.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// MessageBox flags and answers.
constexpr uint32_t MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
                   MB_RETRYCANCEL = 0x5, MB_ICONHAND = 0x10, MB_ICONSTOP = 0x10, MB_ICONERROR = 0x10,
                   MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30,
                   MB_ICONASTERISK = 0x40, MB_ICONINFORMATION = 0x40, MB_DEFBUTTON1 = 0x0, MB_DEFBUTTON2 = 0x100,
                   MB_DEFBUTTON3 = 0x200, MB_APPLMODAL = 0x0, MB_SYSTEMMODAL = 0x1000, MB_TASKMODAL = 0x2000;
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

enum TMsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : uint16_t {
  mbYes = 1 << 0, mbNo = 1 << 1, mbOK = 1 << 2, mbCancel = 1 << 3, mbAbort = 1 << 4, mbRetry = 1 << 5,
  mbIgnore = 1 << 6, mbAll = 1 << 7, mbNoToAll = 1 << 8, mbYesToAll = 1 << 9, mbHelp = 1 << 10,
};
using TMsgDlgButtons = uint16_t;
constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;
constexpr TMsgDlgButtons mbAbortRetryIgnore = mbAbort | mbRetry | mbIgnore;

// The settings of the font and print dialogs, asked and answered.
struct TDialogFont {
  std::string Name;
  int Size = 0;         // points
  uint8_t Style = 0;    // bit 0 bold, 1 italic, 2 underline, 3 strike-out
  int32_t Color = 0;
};
struct TDialogPrint {
  std::string PrinterName;
  int Copies = 1;
  bool Collate = false;
  int PrintRange = 0;   // 0 all pages, 1 the selection, 2 FromPage..ToPage
  int FromPage = 0, ToPage = 0, MinPage = 0, MaxPage = 0;
  int Orientation = 0;  // 0 portrait, 1 landscape
  bool PrintToFile = false;
};

// What a dialog asks. Kind names the dialog ("MessageBox", "MessageDlg", "Open", "Save", "Color",
// "Font", "Folder", "Print", "PrinterSetup", "PopupMenu"); the other fields are filled as far as the
// kind has them (a pop-up menu lists its enabled item captions in Items).
struct TDialogRequest {
  std::string Kind;
  std::string Title;
  std::string Text;
  uint32_t Flags = 0;          // MessageBox flags, or the dialog's Options bits
  TMsgDlgType DlgType = mtCustom;
  TMsgDlgButtons Buttons = 0;
  std::string Filter;
  int FilterIndex = 1;
  std::string InitialDir;
  std::string FileName;
  std::string DefaultExt;
  int32_t Color = 0;
  std::vector<int32_t> CustomColors;
  TDialogFont Font;
  TDialogPrint Print;
  std::vector<std::string> Items;
  int HelpContext = 0;         // nonzero: the dialog has a Help button for this context
};

// The answer: Result is the button (IDxxx for message boxes, a modal result for MessageDlg, 1 for an
// accepted common dialog, 0 for a cancelled one); the rest carries the dialog's values (Files: the
// chosen files or folder; Text: the chosen pop-up menu item's caption).
struct TDialogAnswer {
  int Result = 0;
  std::vector<std::string> Files;
  int FilterIndex = 1;
  int32_t Color = 0;
  std::vector<int32_t> CustomColors;
  std::string Text;
  TDialogFont Font;
  TDialogPrint Print;
};

// Answers a dialog instead of a person; return false to let the real dialog show.
using TDialogResponder = std::function<bool(const TDialogRequest& request, TDialogAnswer& answer)>;
// Installs the responder (an empty one restores the real dialogs); returns the previous one.
TDialogResponder SetDialogResponder(TDialogResponder responder);
// Asks the responder, or shows the toolkit's dialog through show; the answer of whichever did.
TDialogAnswer RunDialog(const TDialogRequest& request, const std::function<TDialogAnswer()>& show);
// Asks the responder alone: true (and the answer, which starts as the request's values) when one
// answered.
bool AskDialogResponder(const TDialogRequest& request, TDialogAnswer& answer);

// The standard message box with the MB_xxx buttons and icon; answers IDxxx.
int ShowPlatformMessageBox(const std::string& text, const std::string& caption, uint32_t flags);
// The framework's message dialog: caption from the type ("Warning", "Error", "Information",
// "Confirm", or the application title), answers a modal result (mrYes ...).
int MessageDlg(const std::string& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int helpCtx = 0);
void ShowMessage(const std::string& msg);
