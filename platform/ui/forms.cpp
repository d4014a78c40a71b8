#include "platform/ui/forms.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

namespace {
TApplication g_application;
char g_appName[] = "brimvale";
char* g_defaultArgv[] = {g_appName, nullptr};
}  // namespace

TApplication* Application = &g_application;

TApplication::TApplication() = default;

TApplication::~TApplication() { Finalize(); }

void TApplication::Finalize() {
  mainForm_ = nullptr;
  forms_.clear();
  if (ownsQtApp_) {
    delete QCoreApplication::instance();
    ownsQtApp_ = false;
  }
}

void TApplication::Initialize(int& argc, char** argv) {
  if (QCoreApplication::instance()) return;
  if (argc <= 0 || !argv) {
    argc_ = 1;
    new QApplication(argc_, g_defaultArgv);
  } else {
    new QApplication(argc, argv);
  }
  ownsQtApp_ = true;
}

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  if (QCoreApplication::instance()) QCoreApplication::setApplicationName(QString::fromStdString(title));
}

void TApplication::AdoptForm(std::unique_ptr<TForm> form) {
  if (!mainForm_) mainForm_ = form.get();
  forms_.push_back(std::move(form));
}

void TApplication::Run() {
  if (!QCoreApplication::instance()) {
    int argc = 0;
    Initialize(argc, nullptr);
  }
  if (mainForm_) {
    mainForm_->Show();
    QApplication::setQuitOnLastWindowClosed(true);
  }
  terminated_ = false;
  QApplication::exec();
  terminated_ = true;
}

void TApplication::ProcessMessages() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

void TApplication::Terminate() {
  terminated_ = true;
  if (QCoreApplication::instance()) QCoreApplication::quit();
}

struct TForm::Impl {
  QWidget widget;
};

TForm::TForm() : impl_(std::make_unique<Impl>()) {}
TForm::~TForm() = default;

void TForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  impl_->widget.setWindowTitle(QString::fromStdString(caption));
}

int TForm::Left() const { return impl_->widget.x(); }
int TForm::Top() const { return impl_->widget.y(); }
int TForm::Width() const { return impl_->widget.width(); }
int TForm::Height() const { return impl_->widget.height(); }

void TForm::SetBounds(int left, int top, int width, int height) {
  impl_->widget.setGeometry(left, top, width, height);
}

void TForm::Show() { impl_->widget.show(); }
void TForm::Hide() { impl_->widget.hide(); }
bool TForm::Visible() const { return impl_->widget.isVisible(); }
void* TForm::NativeWidget() const { return &impl_->widget; }
