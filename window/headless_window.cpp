#include "window/headless_window.h"

#include <algorithm>
#include <stdexcept>

#include "window/list_rules.h"

namespace {

// The rows of a table: its text, one row per line.
int RowCount(const std::string& text) {
  if (text.empty()) return 0;
  return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

HeadlessWindow::HeadlessWindow(const DialogTemplate& dialog) {
  m_caption = dialog.caption;
  for (const ControlTemplate& c : dialog.controls) {
    if (c.id == IDC_STATIC) continue;
    Control control{c.kind, c.text != nullptr ? c.text : "", {}, -1, true, 0};
    for (const char* entry : c.entries) control.entries.emplace_back(entry);
    if (control.kind == ControlKind::DropList || control.kind == ControlKind::DropDown ||
        control.kind == ControlKind::CheckBox || control.kind == ControlKind::Table) {
      control.text.clear();
    }
    m_controls[c.id] = std::move(control);
  }
}

const HeadlessWindow::Control& HeadlessWindow::At(int id) const {
  auto it = m_controls.find(id);
  if (it == m_controls.end()) throw std::out_of_range("no control " + std::to_string(id));
  return it->second;
}

HeadlessWindow::Control& HeadlessWindow::At(int id) {
  return const_cast<Control&>(static_cast<const HeadlessWindow*>(this)->At(id));
}

std::string HeadlessWindow::GetText(int id) const { return At(id).text; }

void HeadlessWindow::SetText(int id, const std::string& text) {
  Control& c = At(id);
  ++c.stamp;
  c.text = text;
  if (c.kind == ControlKind::Table) {
    if (c.selection >= RowCount(text)) c.selection = -1;  // a row still there stays selected
    return;
  }
  if (c.kind != ControlKind::DropList && c.kind != ControlKind::DropDown) return;
  c.selection = SelectionForText(c.kind, c.entries, c.selection, text);
  // A fixed list cannot show a text that is none of its entries.
  if (c.kind == ControlKind::DropList && c.selection < 0) c.text.clear();
}

ControlKind HeadlessWindow::KindOf(int id) const { return At(id).kind; }

std::vector<std::string> HeadlessWindow::ListEntries(int id) const { return At(id).entries; }

int HeadlessWindow::ListSelection(int id) const { return At(id).selection; }

void HeadlessWindow::SelectListEntry(int id, int index) {
  Control& c = At(id);
  if (c.kind == ControlKind::Table) {
    if (index >= 0 && index < RowCount(c.text)) c.selection = index;
    return;
  }
  if (index < 0 || index >= static_cast<int>(c.entries.size())) return;
  ++c.stamp;
  c.selection = index;
  c.text = c.entries[static_cast<size_t>(index)];
}

void HeadlessWindow::SetListEntries(int id, const std::vector<std::string>& entries) {
  Control& c = At(id);
  c.entries = entries;
  c.selection = -1;
  for (size_t k = 0; k < entries.size() && c.selection < 0; ++k) {
    if (entries[k] == c.text) c.selection = static_cast<int>(k);
  }
  // A fixed list shows only its entries: a text no longer among them goes.
  if (c.kind == ControlKind::DropList && c.selection < 0 && !c.text.empty()) {
    ++c.stamp;
    c.text.clear();
  }
}

void HeadlessWindow::EnableControl(int id, bool enable) { At(id).enabled = enable; }

bool HeadlessWindow::IsControlEnabled(int id) const { return At(id).enabled; }

bool HeadlessWindow::Ask(const std::string& text) {
  m_questions.push_back(text);
  if (m_answers.empty()) return false;
  const bool yes = m_answers.front();
  m_answers.pop_front();
  return yes;
}

int HeadlessWindow::SetTimer(int timerId, int periodMs) {
  if (!m_timerAvailable) return 0;
  m_timerId = timerId;
  m_timerPeriod = periodMs;
  return timerId;
}

void HeadlessWindow::PostMessage(uint32_t message, int32_t wParam, int32_t lParam) {
  m_posted.push_back({message, wParam, lParam});
}

void HeadlessWindow::Type(int id, const std::string& text) {
  Control& c = At(id);
  ++c.stamp;
  c.text = text;
  if (c.kind == ControlKind::DropDown) c.selection = -1;
}

void HeadlessWindow::Choose(int id, int index) {
  if (KindOf(id) != ControlKind::Table) {
    SelectListEntry(id, index);
    return;
  }
  // The operator selecting a row of a table: the table takes the focus, and the row's selection
  // reaches the dialog as a click.
  if (!At(id).enabled || index < 0 || index >= static_cast<int>(TableRows(At(id).text).size())) {
    return;
  }
  Focus(id);
  SelectListEntry(id, index);
  if (m_handler != nullptr) m_handler->OnNotify(id, Notification::Clicked);
}

void HeadlessWindow::Focus(int id) {
  if (id == m_focus) return;
  const int old = m_focus;
  m_focus = id;
  if (m_handler == nullptr) return;
  if (old != 0) m_handler->OnNotify(old, Notification::KillFocus);
  if (id != 0) m_handler->OnNotify(id, Notification::SetFocus);
}

void HeadlessWindow::Click(int id) {
  if (!At(id).enabled || m_handler == nullptr) return;
  Focus(id);  // a button takes the focus when pressed, so the field left runs its editor first
  Control& c = At(id);
  if (c.kind == ControlKind::CheckBox) {
    ++c.stamp;
    c.text = c.text == "1" ? "" : "1";
  }
  m_handler->OnNotify(id, Notification::Clicked);
}

void HeadlessWindow::DropDown(int id) {
  if (!At(id).enabled || m_handler == nullptr) return;
  Focus(id);
  m_handler->OnNotify(id, Notification::DropDown);
}

void HeadlessWindow::ChooseMenu(int commandId) {
  if (m_handler != nullptr && IsMenuItemEnabled(commandId)) m_handler->OnMenuCommand(commandId);
}

bool HeadlessWindow::IsMenuItemEnabled(int commandId) const {
  auto it = m_menuEnabled.find(commandId);
  return it == m_menuEnabled.end() || it->second;
}

std::optional<std::string> HeadlessWindow::AskSaveFile(const std::string& title,
                                                       const std::string&, const std::string&) {
  m_fileQuestions.push_back(title);
  if (m_fileAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = m_fileAnswers.front();
  m_fileAnswers.pop_front();
  return answer;
}

std::optional<std::string> HeadlessWindow::AskOpenFile(const std::string& title,
                                                       const std::string& filter) {
  return AskSaveFile(title, {}, filter);
}

bool HeadlessWindow::OpenFolder(const std::string& path) {
  m_openedFolders.push_back(path);
  return true;
}

void HeadlessWindow::RunChildDialog(const DialogTemplate& dialog, ChildDialog& child) {
  HeadlessWindow window(dialog);
  window.SetHandler(&child);
  child.Attach(&window);
  if (m_childRunner) m_childRunner(window);
  window.SetHandler(nullptr);
  child.Attach(nullptr);
}

void HeadlessWindow::Tick() {
  if (m_handler != nullptr && m_timerId != 0) m_handler->OnTimerMessage(m_timerId);
  DrainMessages();
}

void HeadlessWindow::Ticks(int n) {
  for (int k = 0; k < n; ++k) Tick();
}

void HeadlessWindow::DrainMessages() {
  while (!m_posted.empty() && m_handler != nullptr) {
    const Posted p = m_posted.front();
    m_posted.pop_front();
    m_handler->OnPostedMessage(p.message, p.wParam, p.lParam);
  }
}
