#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryFile>
#include <clocale>
#include <cstdlib>

#include "tests/qt/qt_test_support.h"
#include "window/qt/console_style.h"

bool g_decimalCommaLocale = false;

namespace {

// QUORVEL_TEST_DPI=144 runs the tests on an offscreen screen of that logical DPI with Qt's own
// scaling off: the dialog units and the font then grow separately, as they do on a desktop set to
// 150 % that scales by DPI. The screen's description lives in the file given.
void UseScreenOfDpi(QTemporaryFile& description) {
  const QByteArray dpi = qgetenv("QUORVEL_TEST_DPI");
  if (dpi.isEmpty() || !description.open()) return;
  description.write(R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": 1920, )"
                    R"("height": 1200, "logicalDpi": )" +
                    dpi + "}]}");
  description.flush();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + description.fileName().toUtf8());
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
}

}  // namespace

// The window tests run offscreen, in a decimal-comma locale when the machine has one: the
// application must still print and read numbers with a decimal point.
int main(int argc, char** argv) {
  QTemporaryFile screen;
  UseScreenOfDpi(screen);
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
