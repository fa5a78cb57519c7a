#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

#include "tests/qt/qt_test_support.h"
#include "window/qt/console_style.h"

bool g_decimalCommaLocale = false;

// The window tests run offscreen, in a decimal-comma locale when the machine has one: the
// application must still print and read numbers with a decimal point.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
    g_decimalCommaLocale = true;
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
  }
  QApplication application(argc, argv);
  PrepareConsoleApplication();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
