#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "window/dialog_window.h"
#include "window/win32/handler_gate.h"
#include "window/win32/win32_controls.h"

struct HWND__;
struct HFONT__;
struct HICON__;
struct HMENU__;

// The console's window on Windows: a dialog of plain Win32 controls built from a template,
// placed in dialog units of the template font, under the template's menu bar, with the dialog
// manager's keyboard (Tab order, Enter, Escape), its timers and PostMessage. Its handlers run one
// at a time, as HandlerGate orders them. Texts are UTF-8 here and UTF-16 at the Win32 calls.
class Win32DialogWindow : public DialogWindow {
 public:
  // owner: the window a child dialog is run over (RunChildDialog), nullptr for the main window.
  explicit Win32DialogWindow(const DialogTemplate& dialog, Win32DialogWindow* owner = nullptr);
  ~Win32DialogWindow() override;
  Win32DialogWindow(const Win32DialogWindow&) = delete;
  Win32DialogWindow& operator=(const Win32DialogWindow&) = delete;

  // DialogWindow
  void SetHandler(DialogHandler* handler) override { m_gate.SetHandler(handler); }
  std::string GetText(int id) const override;
  void SetText(int id, const std::string& text) override;
  // This window does not follow the controls' change notifications: every refresh reads the
  // controls back, as it always has.
  uint64_t TextStamp(int) const override { return ++m_lastStamp; }
  ControlKind KindOf(int id) const override;
  std::vector<std::string> ListEntries(int id) const override;
  int ListSelection(int id) const override;
  void SelectListEntry(int id, int index) override;
  void SetListEntries(int id, const std::vector<std::string>& entries) override;
  int FocusedControl() const override { return m_gate.FocusedControl(); }
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

  HMENU__* MenuBar() const { return m_menu; }

  // Shows the window and runs its messages until the Escape key or the close command ends the
  // run.
  void RunModal();
  HWND__* Handle() const { return m_hwnd; }

  // The dialog procedures' way in (win32_dialog_window.cpp).
  intptr_t OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);

 private:
  struct Control {
    const ControlTemplate* source;
    HWND__* hwnd;
  };

  const Control& At(int id) const;
  void CreateControls();
  void BuildMenuBar();
  void Layout(int dpi);
  void EndRun();
  void OnCommand(int id, uint16_t code);
  void OnMenuCommand(int commandId);
  // A table's notification (WM_NOTIFY): its focus and the operator's choice of a row.
  void OnTableNotify(int id, uint32_t code, intptr_t details);
  void Deliver(int id, Notification notification);
  void SetTableText(const Control& c, const std::string& text);
  std::optional<std::string> AskFile(bool save, const std::string& title,
                                     const std::string& suggestedPath, const std::string& filter);

  const DialogTemplate& m_dialog;
  Win32DialogWindow* const m_owner;  // the window this child dialog runs over, else nullptr
  Win32DialogWindow* m_child = nullptr;  // the child dialog running over this window
  HandlerGate m_gate;
  HWND__* m_hwnd = nullptr;
  HMENU__* m_menu = nullptr;        // the menu bar, destroyed with the window
  std::set<int> m_menuItems;        // its commands
  std::set<int> m_timers;           // the timers started, stopped when the run ends
  std::vector<Control> m_all;       // every control of the template, in tab order
  std::map<int, size_t> m_indexOf;  // control id to its place in m_all
  std::map<int, std::vector<std::string>> m_entries;  // lists whose entries were replaced
  HFONT__* m_font = nullptr;        // the CJK font every control shows its text in
  HICON__* m_bigIcon = nullptr;
  HICON__* m_smallIcon = nullptr;
  int m_dpi = 96;
  std::map<int, std::string> m_tableTexts;  // what each table was last given (its rows)
  bool m_settingTable = false;  // a table's rows or selection are being set: no click of the operator
  bool m_windowHoldsFocus = false;  // the focus was parked on the window while a control went
  bool m_runEnded = false;
  mutable uint64_t m_lastStamp = 0;
};
