#pragma once
// A shown form for one test of windows and controls, freed at the test's end together with what the
// test left pending.
#include <gtest/gtest.h>

#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"

namespace testsupport {

class FormTest : public testing::Test {
 protected:
  void SetUp() override {
    form = new TForm(nullptr);
    form->SetName("Form");
    form->SetBounds(10, 10, 300, 200);
    form->Show();
  }
  void TearDown() override {
    delete form;
    Application->ProcessMessages();
    Application->OnException = nullptr;
  }
  TForm* form = nullptr;
};

// Answers the dialogs of one test (instead of the run's default, which fails a test that meets one).
class ScopedResponder {
 public:
  explicit ScopedResponder(TDialogResponder responder) : old_(SetDialogResponder(std::move(responder))) {}
  ~ScopedResponder() { SetDialogResponder(old_); }
  ScopedResponder(const ScopedResponder&) = delete;
  ScopedResponder& operator=(const ScopedResponder&) = delete;

 private:
  TDialogResponder old_;
};

}  // namespace testsupport
