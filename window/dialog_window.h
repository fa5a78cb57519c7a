#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/link_notify.h"
#include "resources/dialog_templates.h"

// The notifications a control sends to the dialog's message table. DropDown: a list is about to
// show its entries (its focus stays where it is).
enum class Notification : uint8_t { Clicked, SetFocus, KillFocus, DropDown };

// What a window hands to its dialog: notifications, ticks of its timer and posted messages,
// one at a time on the window's thread, never one inside another.
class DialogHandler {
 public:
  virtual void OnNotify(int controlId, Notification code) = 0;
  virtual void OnTimerMessage(int timerId) = 0;
  virtual void OnPostedMessage(uint32_t message, int32_t wParam, int32_t lParam) = 0;
  // The Enter key (the hidden default button); the Escape key and the close command end the run.
  virtual void OnOK() = 0;
  // A command of the window's menu: IDM_ABOUTBOX (with its low four bits ignored) opens the
  // About box; anything else is the window's own.
  virtual void OnSysCommand(uint32_t command) = 0;
  // A command of the menu bar (IDM_...). A menu takes no focus: no field has lost it.
  virtual void OnMenuCommand(int commandId) {}

 protected:
  ~DialogHandler() = default;
};

class DialogWindow;

// The logic of a dialog opened over another (the scan window): it learns its window when the
// dialog opens, and nullptr when it has closed.
class ChildDialog : public DialogHandler {
 public:
  virtual void Attach(DialogWindow* window) = 0;

 protected:
  ~ChildDialog() = default;
};

// What the logic may ask of its window. Texts are UTF-8. Control ids are those of the template.
class DialogWindow : public LinkNotifyTarget {
 public:
  virtual ~DialogWindow() = default;

  virtual void SetHandler(DialogHandler* handler) = 0;

  virtual std::string GetText(int id) const = 0;
  virtual void SetText(int id, const std::string& text) = 0;  // fields, lists and button captions
  // A number that changes whenever the text of a control may have changed, whoever changed it:
  // the operator typing, choosing or dropping text, or the logic. Equal numbers at two moments
  // mean the control showed the same text all along in between. A window that cannot tell gives
  // a new number every time it is asked.
  virtual uint64_t TextStamp(int id) const = 0;

  virtual ControlKind KindOf(int id) const = 0;
  virtual std::vector<std::string> ListEntries(int id) const = 0;
  virtual int ListSelection(int id) const = 0;  // -1: none
  virtual void SelectListEntry(int id, int index) = 0;
  // Replaces a list's entries. The entry shown before stays selected when an entry of that text
  // is still there; else none is.
  virtual void SetListEntries(int id, const std::vector<std::string>& entries) = 0;

  // The control that holds the keyboard focus (0: none of the dialog's controls).
  virtual int FocusedControl() const = 0;

  virtual void EnableControl(int id, bool enable) = 0;
  virtual bool IsControlEnabled(int id) const = 0;

  virtual void SetCaption(const std::string& caption) = 0;
  // A modal message box with one OK button and the application title. Shown from inside a
  // handler, it holds ticks and posted messages until it closes.
  virtual void MessageBox(const std::string& text) = 0;
  // A modal question with the window's caption and the buttons 是 and 否, 否 the default: Enter
  // and Escape both answer 否. True only for 是. Holds ticks and posted messages as MessageBox.
  virtual bool Ask(const std::string& text) = 0;
  // Starts timer timerId with the period; returns 0 when no timer could be made.
  virtual int SetTimer(int timerId, int periodMs) = 0;
  // Shows the About box (template 100) modally; ticks and posted messages keep being handled.
  virtual void ShowAboutBox() = 0;
  // The executable's full path (the window caption).
  virtual std::string ModuleFileName() const = 0;

  // The menu bar's commands, enabled or greyed.
  virtual void EnableMenuItem(int commandId, bool enable) = 0;
  // The system's file choosers; nullopt when the operator cancels. filter: "CSV (*.csv)".
  virtual std::optional<std::string> AskSaveFile(const std::string& title,
                                                 const std::string& suggestedPath,
                                                 const std::string& filter) = 0;
  virtual std::optional<std::string> AskOpenFile(const std::string& title,
                                                 const std::string& filter) = 0;
  // Shows a folder in the system's file manager; false when that could not be started.
  virtual bool OpenFolder(const std::string& path) = 0;
  // Runs a dialog of another template modally over this window: the child learns its window
  // (Attach), gets its notifications, ticks of its own timers and posted messages, and the call
  // returns when it closes (its EndDialog, Escape or the close command). This window's ticks and
  // posted messages go on meanwhile, as for the About box.
  virtual void RunChildDialog(const DialogTemplate& dialog, ChildDialog& child) = 0;
  // Ends the modal run of this window (a child dialog closes itself with it).
  virtual void EndDialog() = 0;
};
