#include "platform/ui/dialogs.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <mutex>

#include "platform/ui/forms.h"

namespace {

std::mutex g_responderMutex;
TDialogResponder g_responder;

QMessageBox::Icon IconOf(uint32_t flags) {
  switch (flags & 0xF0) {
    case MB_ICONSTOP: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

// Shows a toolkit message box with buttons given as (text, answer) pairs; Escape gives escAnswer.
int RunBox(const std::string& text, const std::string& caption, QMessageBox::Icon icon,
           const std::vector<std::pair<const char*, int>>& buttons, int defIndex, int escAnswer) {
  if (!QCoreApplication::instance()) return escAnswer;
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text));
  std::vector<std::pair<QPushButton*, int>> made;
  for (size_t i = 0; i < buttons.size(); ++i) {
    QPushButton* b = box.addButton(QString::fromUtf8(buttons[i].first), QMessageBox::ActionRole);
    made.emplace_back(b, buttons[i].second);
    if (static_cast<int>(i) == defIndex) box.setDefaultButton(b);
  }
  box.exec();
  for (auto& [b, answer] : made)
    if (box.clickedButton() == b) return answer;
  return escAnswer;
}

}  // namespace

TDialogResponder SetDialogResponder(TDialogResponder responder) {
  std::lock_guard<std::mutex> lock(g_responderMutex);
  std::swap(responder, g_responder);
  return responder;
}

bool AskDialogResponder(const TDialogRequest& request, TDialogAnswer& answer) {
  TDialogResponder responder;
  {
    std::lock_guard<std::mutex> lock(g_responderMutex);
    responder = g_responder;
  }
  answer = TDialogAnswer();
  answer.FilterIndex = request.FilterIndex;
  answer.Color = request.Color;
  answer.CustomColors = request.CustomColors;
  answer.Font = request.Font;
  answer.Print = request.Print;
  return responder && responder(request, answer);
}

TDialogAnswer RunDialog(const TDialogRequest& request, const std::function<TDialogAnswer()>& show) {
  TDialogAnswer answer;
  if (AskDialogResponder(request, answer)) return answer;
  return show();
}

int ShowPlatformMessageBox(const std::string& text, const std::string& caption, uint32_t flags) {
  TDialogRequest req;
  req.Kind = "MessageBox";
  req.Title = caption;
  req.Text = text;
  req.Flags = flags;
  std::vector<std::pair<const char*, int>> buttons;
  int esc = IDCANCEL;
  switch (flags & 0xF) {
    case MB_OKCANCEL: buttons = {{"OK", IDOK}, {"Cancel", IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE: buttons = {{"&Abort", IDABORT}, {"&Retry", IDRETRY}, {"&Ignore", IDIGNORE}}; esc = IDABORT; break;
    case MB_YESNOCANCEL: buttons = {{"&Yes", IDYES}, {"&No", IDNO}, {"Cancel", IDCANCEL}}; break;
    case MB_YESNO: buttons = {{"&Yes", IDYES}, {"&No", IDNO}}; esc = IDNO; break;
    case MB_RETRYCANCEL: buttons = {{"&Retry", IDRETRY}, {"Cancel", IDCANCEL}}; break;
    default: buttons = {{"OK", IDOK}}; esc = IDOK; break;
  }
  int def = static_cast<int>((flags >> 8) & 0xF);
  if (def >= static_cast<int>(buttons.size())) def = 0;
  return RunDialog(req, [&] {
           TDialogAnswer a;
           a.Result = RunBox(text, caption, IconOf(flags), buttons, def, esc);
           return a;
         }).Result;
}

int MessageDlg(const std::string& msg, TMsgDlgType dlgType, TMsgDlgButtons buttons, int) {
  static const char* const kCaptions[] = {"Warning", "Error", "Information", "Confirm", nullptr};
  std::string caption = kCaptions[dlgType] ? kCaptions[dlgType] : Application->Title();
  TDialogRequest req;
  req.Kind = "MessageDlg";
  req.Title = caption;
  req.Text = msg;
  req.DlgType = dlgType;
  req.Buttons = buttons;
  struct B { TMsgDlgBtn bit; const char* text; int result; };
  static const B kButtons[] = {
      {mbYes, "&Yes", mrYes}, {mbNo, "&No", mrNo}, {mbOK, "OK", mrOk}, {mbCancel, "Cancel", mrCancel},
      {mbAbort, "&Abort", mrAbort}, {mbRetry, "&Retry", mrRetry}, {mbIgnore, "&Ignore", mrIgnore},
      {mbAll, "&All", mrAll}, {mbNoToAll, "N&o to All", mrNoToAll}, {mbYesToAll, "Yes to &All", mrYesToAll},
  };
  std::vector<std::pair<const char*, int>> list;
  for (const B& b : kButtons)
    if (buttons & b.bit) list.emplace_back(b.text, b.result);
  if (list.empty()) list.emplace_back("OK", mrOk);
  int esc = (buttons & mbCancel) ? mrCancel : (buttons & mbNo) ? mrNo : (buttons & mbOK) ? mrOk : mrCancel;
  QMessageBox::Icon icon = dlgType == mtWarning ? QMessageBox::Warning
                           : dlgType == mtError ? QMessageBox::Critical
                           : dlgType == mtInformation ? QMessageBox::Information
                           : dlgType == mtConfirmation ? QMessageBox::Question
                                                       : QMessageBox::NoIcon;
  return RunDialog(req, [&] {
           TDialogAnswer a;
           a.Result = RunBox(msg, caption, icon, list, 0, esc);
           return a;
         }).Result;
}

void ShowMessage(const std::string& msg) { MessageDlg(msg, mtCustom, mbOK); }
