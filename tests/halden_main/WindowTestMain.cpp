// The window tests run on the main thread of a QApplication (offscreen), as
// the program does.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Also when CTest lists the tests, outside the tests' own environment.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
