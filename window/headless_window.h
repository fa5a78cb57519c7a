#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <map>
#include <string>
#include <vector>

#include "window/dialog_window.h"

// An in-memory window built from a dialog template, for tests and benchmarks: controls keep texts,
// list entries, selections and enable states; the test types, moves the focus, clicks and ticks.
class HeadlessWindow : public DialogWindow {
 public:
  explicit HeadlessWindow(const DialogTemplate& dialog = MainDialogTemplate());

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
  int FocusedControl() const override { return m_focus; }
  void EnableControl(int id, bool enable) override;
  bool IsControlEnabled(int id) const override;
  void SetCaption(const std::string& caption) override { m_caption = caption; }
  void MessageBox(const std::string& text) override { m_messageBoxes.push_back(text); }
  // The next scripted answer, else 否 (what Enter and Escape give).
  bool Ask(const std::string& text) override;
  int SetTimer(int timerId, int periodMs) override;
  void PostMessage(uint32_t message, int32_t wParam, int32_t lParam) override;
  void ShowAboutBox() override { ++m_aboutBoxes; }
  std::string ModuleFileName() const override { return m_moduleFileName; }
  void EnableMenuItem(int commandId, bool enable) override { m_menuEnabled[commandId] = enable; }
  std::optional<std::string> AskSaveFile(const std::string& title, const std::string& suggestedPath,
                                         const std::string& filter) override;
  std::optional<std::string> AskOpenFile(const std::string& title,
                                         const std::string& filter) override;
  bool OpenFolder(const std::string& path) override;
  void RunChildDialog(const DialogTemplate& dialog, ChildDialog& child) override;
  void EndDialog() override { m_dialogEnded = true; }

  // What an operator does.
  void Type(int id, const std::string& text);  // replaces the field's text, as typing does
  void Choose(int id, int index);  // picks a list entry or a table's row (a click on the row)
  void Focus(int id);  // focus moves: the old control loses it, then the new one gains it
  void Click(int id);  // focus to an enabled button, then its click; a disabled one does nothing
  void DropDown(int id);  // the list's entries drop down (the focus moves to it first)
  void ChooseMenu(int commandId);  // a command of the menu bar, when it is enabled
  bool IsMenuItemEnabled(int commandId) const;
  void Tick();         // one tick of the timer, then every message posted meanwhile
  void Ticks(int n);
  void DrainMessages();  // handles the posted messages now waiting

  // What tests look at.
  bool Exists(int id) const { return m_controls.count(id) != 0; }
  const std::string& Caption() const { return m_caption; }
  const std::vector<std::string>& MessageBoxes() const { return m_messageBoxes; }
  void ClearMessageBoxes() { m_messageBoxes.clear(); }
  // Questions asked, and the answers the operator will give, in turn.
  const std::vector<std::string>& Questions() const { return m_questions; }
  void AnswerNext(bool yes) { m_answers.push_back(yes); }
  int TimerId() const { return m_timerId; }
  int TimerPeriod() const { return m_timerPeriod; }
  size_t PendingMessages() const { return m_posted.size(); }
  // When false, SetTimer fails (the start-up failure path).
  bool m_timerAvailable = true;
  std::string m_moduleFileName = "/opt/quorvel/bin/quorvel";
  int m_aboutBoxes = 0;
  // What the operator does in a child dialog while it is open (the dialog's window is given);
  // without it a child dialog closes at once.
  std::function<void(HeadlessWindow& child)> m_childRunner;
  // The answers of the file choosers, in turn (nullopt: cancelled; none left: cancelled too), the
  // titles they were asked with, and the folders shown.
  std::deque<std::optional<std::string>> m_fileAnswers;
  std::vector<std::string> m_fileQuestions;
  std::vector<std::string> m_openedFolders;
  bool m_dialogEnded = false;

 private:
  struct Control {
    ControlKind kind;
    std::string text;
    std::vector<std::string> entries;
    int selection = -1;
    bool enabled = true;
    uint64_t stamp = 0;  // counts every setting of the text, by the logic or the operator
  };
  struct Posted {
    uint32_t message;
    int32_t wParam;
    int32_t lParam;
  };
  const Control& At(int id) const;
  Control& At(int id);

  std::map<int, Control> m_controls;
  std::deque<Posted> m_posted;
  std::vector<std::string> m_messageBoxes;
  std::vector<std::string> m_questions;
  std::deque<bool> m_answers;
  std::map<int, bool> m_menuEnabled;
  std::string m_caption;
  DialogHandler* m_handler = nullptr;
  int m_focus = 0;
  int m_timerId = 0;
  int m_timerPeriod = 0;
};
