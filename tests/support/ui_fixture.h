#pragma once
// A shown form for one test of windows and controls, freed at the test's end together with what the
// test left pending.
#include <gtest/gtest.h>

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

}  // namespace testsupport
