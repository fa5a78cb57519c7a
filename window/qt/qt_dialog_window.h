#pragma once

#include <QWidget>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "window/dialog_window.h"
#include "window/modal_hold.h"

class QAction;
class QEventLoop;
class QHelpEvent;
class QMenuBar;
class QTimer;

// The console's real window: the template's menu bar over the widgets of the dialog, its timers
// and its own queue of posted messages. Handlers run one at a time on the GUI thread, never one
// inside another.
class QtDialogWindow : public QWidget, public DialogWindow {
  Q_OBJECT

 public:
  // owner: the window a child dialog is run over (RunChildDialog), nullptr for the main window.
  explicit QtDialogWindow(const DialogTemplate& dialog, QtDialogWindow* owner = nullptr);
  ~QtDialogWindow() override;

  // DialogWindow
  void SetHandler(DialogHandler* handler) override { m_handler = handler; }
  std::string GetText(int id) const override;
  void SetText(int id, const std::string& text) override;
  uint64_t TextStamp(int id) const override { return At(id).stamp; }
  ControlKind KindOf(int id) const override;
  std::vector<std::string> ListEntries(int id) const override;
  int ListSelection(int id) const override;
  void SelectListEntry(int id, int index) override;
  void SetListEntries(int id, const std::vector<std::string>& entries) override;
  int FocusedControl() const override { return m_focusId; }
  void EnableControl(int id, bool enable) override;
  bool IsControlEnabled(int id) const override;
  void SetCaption(const std::string& caption) override;
  void MessageBox(const std::string& text) override;
  bool Ask(const std::string& text) override;
  int SetTimer(int timerId, int periodMs) override;
  void ShowAboutBox() override;
  std::string ModuleFileName() const override;
  void EnableMenuItem(int commandId, bool enable) override;
  std::optional<std::string> AskSaveFile(const std::string& title, const std::string& suggestedPath,
                                         const std::string& filter) override;
  std::optional<std::string> AskOpenFile(const std::string& title,
                                         const std::string& filter) override;
  bool OpenFolder(const std::string& path) override;
  void RunChildDialog(const DialogTemplate& dialog, ChildDialog& child) override;
  void EndDialog() override;
  void PostMessage(uint32_t message, int32_t wParam, int32_t lParam) override;

  // Shows the window and runs its events until the Escape key or the close command ends the run.
  void RunModal();
  // The widget of a control, or nullptr: for the host and for tests.
  QWidget* Control(int id) const;
  // The dialog's client area under the menu bar, which holds the controls, and the menu bar
  // (nullptr when the template has none) with its commands' actions (nullptr for an unknown id).
  QWidget* ClientArea() const { return m_client; }
  QMenuBar* MenuBar() const { return m_menuBar; }
  QAction* MenuItem(int commandId) const;
  // What tests look at: messages waiting in the window's own queue.
  size_t PendingMessages() const { return m_posted.size(); }

 signals:
  void runEnded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // The About item of the system menu (Windows).
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  struct Posted {
    uint32_t message;
    int32_t wParam;
    int32_t lParam;
  };
  struct Entry {
    ControlKind kind{};
    QWidget* widget = nullptr;
    uint64_t stamp = 0;  // counts the changes of the control's text, by the logic or the operator
  };

  const Entry& At(int id) const;
  void BuildMenuBar();
  void BuildControls(const DialogTemplate& dialog);
  void FollowTextChanges(int id, QWidget* widget);
  void TextChanged(int id) { ++Find(id)->stamp; }
  const Entry* Find(int id) const;  // nullptr when the template has no such control
  Entry* Find(int id) { return const_cast<Entry*>(std::as_const(*this).Find(id)); }
  int ControlIdOf(QObject* object) const;
  // Runs a handler unless one is already running; afterwards the posted messages get their turn.
  template <typename Call>
  void Dispatch(Call call);
  bool HandlersHeld() const { return m_handlerDepth > 0 || m_hold->Held(); }
  // This window's dialog runs over the owner's: a box raised in either holds both.
  void JoinFamilyOf(QtDialogWindow& owner);
  bool HandleKey(QKeyEvent* key);
  void PressDefaultButton();
  void SetTableText(int id, const std::string& text);
  std::optional<std::string> AskFile(bool save, const std::string& title,
                                     const std::string& suggestedPath, const std::string& filter);
  void MoveDialogFocus(int id);
  // A one-line field or a list: a control whose text is a value the logic reads.
  bool IsValueControl(int id) const;
  bool ShowWholeText(int id, QHelpEvent* help);
  void OnTick(int timerId);
  void ScheduleDrain();
  void DrainPosted();
  void OpenAbout();
  void EndRun();

  DialogHandler* m_handler = nullptr;
  const DialogTemplate& m_dialog;
  QtDialogWindow* const m_owner;
  QtDialogWindow* m_child = nullptr;  // the child dialog running over this window
  QWidget* m_client = nullptr;
  QMenuBar* m_menuBar = nullptr;
  std::map<int, QAction*> m_menuItems;
  int m_defaultId = 0;  // the template's default button, which Enter presses (0: none)
  // The controls, at their ids (an entry without a widget: no control has that id). Every
  // refresh looks up each field, so the lookup is one step into a small array.
  std::vector<Entry> m_controls;
  std::map<const QObject*, int> m_idOfWidget;
  // The exact text last given to each multi-line field, which the widget keeps with its own
  // line breaks.
  std::map<int, std::pair<std::string, QString>> m_multiLineTexts;
  // What each table was last given (its rows); the operator cannot change them.
  std::map<int, std::string> m_tableTexts;
  bool m_settingTable = false;  // a table's rows or selection are being set: no click of the operator
  std::map<int, QTimer*> m_timers;
  std::deque<Posted> m_posted;
  bool m_drainScheduled = false;
  int m_handlerDepth = 0;
  std::shared_ptr<ModalHold> m_hold = std::make_shared<ModalHold>();
  int m_holdMember = 0;
  // The control whose focus gain was last reported and whose focus loss is still to come.
  int m_focusId = 0;
  QEventLoop* m_runLoop = nullptr;
  bool m_ended = false;  // after the run no handler is called
};

// Dialog units to pixels with the template font's base units (6 x 13 pixels at 96 DPI), scaled
// by the screen's logical DPI.
int DialogUnitsToPixelsX(int dlu, double dpi);
int DialogUnitsToPixelsY(int dlu, double dpi);
