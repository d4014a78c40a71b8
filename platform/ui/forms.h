#pragma once
// The application object and top-level forms of the component framework, on Qt Widgets.
// Qt stays inside the platform's .cpp files: these headers expose no Qt type.
#include <memory>
#include <string>
#include <vector>

class TForm;

class TApplication {
 public:
  TApplication();
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Creates the toolkit's application object (once); later calls do nothing.
  void Initialize(int& argc, char** argv);
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // Creates a form owned by the application; the first form created becomes the main form.
  template <class F, class... Args>
  F* CreateForm(Args&&... args) {
    auto form = std::make_unique<F>(std::forward<Args>(args)...);
    F* raw = form.get();
    AdoptForm(std::move(form));
    return raw;
  }
  TForm* MainForm() const { return mainForm_; }

  // Shows the main form and runs the message loop until the main form closes or Terminate.
  void Run();
  // Lets pending messages (input, paint, timers, posted calls) run once.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Frees the forms and the toolkit's application object; the program calls it before it ends.
  void Finalize();

 private:
  void AdoptForm(std::unique_ptr<TForm> form);
  std::string title_;
  std::vector<std::unique_ptr<TForm>> forms_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool ownsQtApp_ = false;
  int argc_ = 0;
};

// The one application object of the process.
extern TApplication* Application;

class TForm {
 public:
  TForm();
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetBounds(int left, int top, int width, int height);
  void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
  void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
  void Show();
  void Hide();
  bool Visible() const;
  // The toolkit window behind the form (a QWidget*), for the platform layer's own use.
  void* NativeWidget() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string caption_;
};
