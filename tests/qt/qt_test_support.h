#pragma once

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "window/dialog_window.h"
#include "window/qt/qt_dialog_window.h"

// Whether the test process runs in a decimal-comma locale (set up by the tests' main).
extern bool g_decimalCommaLocale;

// A dialog that writes down what its window hands it, and notices a handler entered inside
// another.
template <typename Handler>
class Recording : public Handler {
 public:
  std::vector<std::string> log;
  bool reentered = false;
  int ticks = 0;
  std::function<void(int, Notification)> onNotify;
  std::function<void()> onTick;
  std::function<void(uint32_t)> onSysCommand;

  void OnNotify(int id, Notification code) override {
    static const char* const kNames[] = {"click ", "set ", "kill ", "drop "};
    Run(kNames[static_cast<int>(code)] + std::to_string(id), [&] {
      if (onNotify) onNotify(id, code);
    });
  }
  void OnTimerMessage(int timerId) override {
    ++ticks;
    Run("tick", [&] {
      if (onTick) onTick();
    });
  }
  void OnPostedMessage(uint32_t message, int32_t wParam, int32_t) override {
    Run("posted " + std::to_string(message) + "/" + std::to_string(wParam), [] {});
  }
  void OnOK() override {
    Run("ok", [] {});
  }
  void OnSysCommand(uint32_t command) override {
    Run("sys " + std::to_string(command), [&] {
      if (onSysCommand) onSysCommand(command);
    });
  }
  void OnMenuCommand(int commandId) override {
    Run("menu " + std::to_string(commandId), [&] {
      if (onMenuCommand) onMenuCommand(commandId);
    });
  }
  std::function<void(int)> onMenuCommand;

  // The notifications of one kind, in order.
  std::vector<std::string> Only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& entry : log) {
      if (entry.rfind(prefix, 0) == 0) out.push_back(entry);
    }
    return out;
  }

 private:
  template <typename Body>
  void Run(const std::string& entry, Body body) {
    if (m_depth++ > 0) reentered = true;
    log.push_back(entry);
    body();
    --m_depth;
  }
  int m_depth = 0;
};

using RecordingHandler = Recording<DialogHandler>;

// A child dialog's logic that writes down what its window hands it, its window's coming and going
// included.
class RecordingChild : public Recording<ChildDialog> {
 public:
  DialogWindow* window = nullptr;
  void Attach(DialogWindow* attached) override {
    window = attached;
    log.push_back(attached != nullptr ? "attach" : "detach");
  }
};

// Shows the window and makes it the active one, so focus changes are real.
inline bool ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

// Failed comparisons of texts print the texts.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

// What a screen reader is told a control is called.
inline QString SpokenName(QWidget* control) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
  return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
}

// Moves the keyboard focus as the Tab key does.
inline void FocusOn(QtDialogWindow& window, int id) {
  window.Control(id)->setFocus(Qt::TabFocusReason);
  QCoreApplication::processEvents();
}

// Runs action on the modal window once one is open (a message box or the About box).
inline void WhenModalOpens(std::function<void(QWidget*)> action) {
  QTimer::singleShot(0, [action] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      WhenModalOpens(action);
      return;
    }
    action(modal);
  });
}
