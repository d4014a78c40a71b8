#include <gtest/gtest.h>

#include <QtWidgets/QApplication>

#include <cstdlib>

#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"

int main(int argc, char** argv) {
  // Tests never open a real window; the offscreen platform also makes fonts and widgets available.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // ImageMagick, run as an oracle, takes one thread: the test shards already run side by side, and
  // on a busy machine its threads spend minutes waiting for one another.
  setenv("MAGICK_THREAD_LIMIT", "1", 0);
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  Application->Initialize();
  // No test waits for a person: a dialog that a test did not answer itself fails that test and is
  // answered "cancel".
  SetDialogResponder([](const TDialogRequest& request, TDialogAnswer& answer) {
    ADD_FAILURE() << "unexpected dialog " << request.Kind << ": " << request.Title << " / " << request.Text;
    answer.Result = request.Kind == "MessageBox" ? 2 : 0;
    return true;
  });
  return RUN_ALL_TESTS();
}
