#include <gtest/gtest.h>

#include <QtWidgets/QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
  // Tests never open a real window; the offscreen platform also makes fonts and widgets available.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
