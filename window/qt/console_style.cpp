#include "window/qt/console_style.h"

#include <QApplication>
#include <QFont>
#include <QStringList>
#include <clocale>

// The resource file is compiled into a static library: it registers itself only when asked.
static void InitConsoleResources() {
  static bool done = false;
  if (done) return;
  Q_INIT_RESOURCE(quorvel);
  done = true;
}

QIcon ConsoleIcon() {
  InitConsoleResources();
  return QIcon(QStringLiteral(":/quorvel/quorvel.png"));
}

void UseConsoleStyle() {
  if (qEnvironmentVariableIsEmpty("QT_STYLE_OVERRIDE")) {
    QApplication::setStyle(QStringLiteral("Windows"));
  }
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"),
                    QStringLiteral("WenQuanYi Micro Hei"), font.family()});
  font.setPointSizeF(8.25);  // 11 pixels at 96 DPI
  QApplication::setFont(font);
}

void PrepareConsoleApplication() {
  std::setlocale(LC_NUMERIC, "C");
  UseConsoleStyle();
}
