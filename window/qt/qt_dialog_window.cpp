#include "window/qt/qt_dialog_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <utility>

#include "window/file_filter.h"
#include "window/list_rules.h"
#include "window/qt/console_style.h"
#include "window/qt/text_room.h"
#include "window/system_menu.h"

namespace {

bool IsList(ControlKind kind) {
  return kind == ControlKind::DropList || kind == ControlKind::DropDown;
}

bool IsField(ControlKind kind) { return kind == ControlKind::Edit || IsList(kind); }

// A drop-down list that tells the dialog before its entries drop down, so that they can be
// brought up to date first (the adapters plugged in now).
class DialogList : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> beforePopup;

  void showPopup() override {
    if (beforePopup) beforePopup();
    QComboBox::showPopup();
  }
};

QString Trimmed(const char* text) {
  return QString::fromUtf8(text != nullptr ? text : "").trimmed();
}

// The name a screen reader says for the control at index k, when the control does not say it
// itself: the template's own accessible name when it gives one; for a field or a list, which
// shows no label of its own, the nearest label before it in the template. Empty for a button,
// label or frame named by its own caption: Qt reads that caption as the name, so the name stays
// what is shown when the caption changes at run time (the continuous-reading button).
QString AccessibleNameAt(const DialogTemplate& dialog, size_t k) {
  const ControlTemplate& c = dialog.controls[k];
  if (c.accessibleName != nullptr && *c.accessibleName != '\0') return Trimmed(c.accessibleName);
  if (!IsField(c.kind)) return {};
  for (size_t j = k; j-- > 0;) {
    const ControlTemplate& before = dialog.controls[j];
    if (before.kind == ControlKind::Label && !Trimmed(before.text).isEmpty()) {
      return Trimmed(before.text);
    }
  }
  return {};
}

Qt::Alignment HorizontalAlignment(uint32_t style) {
  if ((style & kCentered) != 0) return Qt::AlignHCenter;
  if ((style & kRightAligned) != 0) return Qt::AlignRight;
  return Qt::AlignLeft;
}

// A drop-down list shows only its selection field; the template's height also holds the list
// that drops down.
int ListFieldHeight(const QFont& font, double dpi, int templateHeight) {
  const int field = std::max(DialogUnitsToPixelsY(12, dpi), QFontMetrics(font).height() + 4);
  return std::min(field, templateHeight);
}

QWidget* CreateWidget(const ControlTemplate& c, QWidget* parent) {
  const QString text = QString::fromUtf8(c.text != nullptr ? c.text : "");
  switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      auto* button = new QPushButton(text, parent);
      button->setAutoDefault(false);  // Enter belongs to the dialog, not to a focused button
      return button;
    }
    case ControlKind::Edit: {
      if ((c.style & kMultiLine) != 0) {
        auto* log = new QPlainTextEdit(parent);
        log->setReadOnly((c.style & kReadOnly) != 0);
        log->setUndoRedoEnabled(!log->isReadOnly());  // nobody can undo in a read-only log
        log->setPlainText(text);
        log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        return log;
      }
      auto* edit = new QLineEdit(text, parent);
      // A field paints every pixel of its rectangle (filled panel, sunken frame): when its text
      // changes, what lies behind it (the dialog, a group frame) need not be painted first.
      edit->setAttribute(Qt::WA_OpaquePaintEvent);
      edit->setReadOnly((c.style & kReadOnly) != 0);
      edit->setAlignment(HorizontalAlignment(c.style) | Qt::AlignVCenter);
      return edit;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(text, parent);
      label->setAlignment(HorizontalAlignment(c.style) | Qt::AlignVCenter);
      label->setAttribute(Qt::WA_TransparentForMouseEvents);
      return label;
    }
    case ControlKind::GroupBox: {
      auto* frame = new QGroupBox(text, parent);
      frame->setAttribute(Qt::WA_TransparentForMouseEvents);
      return frame;
    }
    case ControlKind::DropList:
    case ControlKind::DropDown: {
      auto* list = new DialogList(parent);
      if (c.kind == ControlKind::DropDown) {
        // Typed text stays as typed: no completion from the entries, no entry added on Enter.
        list->setEditable(true);
        list->setCompleter(nullptr);
        list->setInsertPolicy(QComboBox::NoInsert);
      }
      for (const char* entry : c.entries) list->addItem(QString::fromUtf8(entry));
      list->setCurrentIndex(-1);
      if (list->isEditable()) list->setEditText(QString());
      return list;
    }
    case ControlKind::Icon: {
      auto* icon = new QLabel(parent);
      icon->setPixmap(ConsoleIcon().pixmap(32, 32));
      icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);  // drawn from the cell's corner
      icon->setAttribute(Qt::WA_TransparentForMouseEvents);
      return icon;
    }
    case ControlKind::CheckBox:
      return new QCheckBox(text, parent);
    case ControlKind::Progress: {
      auto* bar = new QProgressBar(parent);
      bar->setRange(0, 100);
      bar->setValue(0);
      bar->setTextVisible(false);  // the dialog says what the part done means in a field of its own
      return bar;
    }
    case ControlKind::Table: {
      // Rows to read and choose from, never to edit; a row is chosen whole.
      auto* table = new QTreeWidget(parent);
      QStringList headings;
      for (const char* heading : c.entries) headings << QString::fromUtf8(heading);
      table->setColumnCount(static_cast<int>(headings.size()));
      table->setHeaderLabels(headings);
      table->setRootIsDecorated(false);
      table->setItemsExpandable(false);
      table->setUniformRowHeights(true);
      table->setAllColumnsShowFocus(true);
      table->setSelectionMode(QAbstractItemView::SingleSelection);
      table->setSelectionBehavior(QAbstractItemView::SelectRows);
      table->setEditTriggers(QAbstractItemView::NoEditTriggers);
      table->header()->setSectionsMovable(false);
      table->header()->setStretchLastSection(true);
      for (int k = 0; k < table->columnCount(); ++k) table->resizeColumnToContents(k);
      return table;
    }
  }
  return new QWidget(parent);
}

// A text set into a field is shown from its start, as a dialog's edit control shows it: a number
// too wide for its field keeps its sign and leading digits in view and loses its last ones.
void ShowFromStart(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  edit->home(false);
}

// A read-only log takes its new text as setPlainText leaves it (the whole text replaced, the
// cursor at its start with nothing selected, scrolled to the top) for less than half the cost:
// the logs change on every transaction, and setPlainText lays the text out twice and shapes it
// a third time to place the cursor. Here the text is replaced in one edit and laid out once, and
// the layout keeps its glyphs for the cursor and the paint. A read-only log keeps no undo history
// (see CreateWidget), so the edit leaves none.
void ReplaceLogText(QPlainTextEdit* log, const QString& text) {
  QTextDocument* document = log->document();
  document->firstBlock().layout()->setCacheEnabled(true);
  QTextCursor all(document);
  all.beginEditBlock();
  all.select(QTextCursor::Document);
  all.insertText(text);
  all.endEditBlock();
  log->setTextCursor(QTextCursor(document));
}

// Places a control on its cell. Labels and check boxes keep their cell's vertical centre but may
// grow to the font's line height, so CJK glyphs are never cut at the top or bottom.
void PlaceWidget(QWidget* widget, const ControlTemplate& c, double dpi) {
  int x = DialogUnitsToPixelsX(c.x, dpi);
  int y = DialogUnitsToPixelsY(c.y, dpi);
  int cx = DialogUnitsToPixelsX(c.cx, dpi);
  int cy = DialogUnitsToPixelsY(c.cy, dpi);
  if (IsList(c.kind)) cy = ListFieldHeight(widget->font(), dpi, cy);
  if (c.kind == ControlKind::CheckBox) {
    const int line = widget->sizeHint().height();
    if (line > cy) {
      y -= (line - cy) / 2;
      cy = line;
    }
  }
  if (c.kind == ControlKind::Label) {
    const QFontMetrics metrics(widget->font());
    const int line = metrics.height();
    if (line > cy) {
      y -= (line - cy) / 2;
      cy = line;
    }
    // A text wider than its cell overflows on the side away from its alignment, under the next
    // control at worst, rather than losing its last characters.
    const int width = metrics.horizontalAdvance(QString::fromUtf8(c.text != nullptr ? c.text : ""));
    if (width > cx) {
      if ((c.style & kRightAligned) != 0) x -= width - cx;
      if ((c.style & kCentered) != 0) x -= (width - cx) / 2;
      cx = width;
    }
  }
  if (c.kind == ControlKind::Icon) {
    cx = std::max(cx, 32);
    cy = std::max(cy, 32);
  }
  widget->setGeometry(x, y, cx, cy);
}

void SetAccessibility(QWidget* widget, const DialogTemplate& dialog, size_t k) {
  const ControlTemplate& c = dialog.controls[k];
  widget->setAccessibleName(AccessibleNameAt(dialog, k));
  if (c.id != IDC_STATIC) {
    widget->setAccessibleDescription(QString::number(c.id));
    widget->setObjectName(QString::number(c.id));
  }
}

void ApplyFocusPolicy(QWidget* widget, const ControlTemplate& c) {
  if (c.kind == ControlKind::Label || c.kind == ControlKind::GroupBox ||
      c.kind == ControlKind::Icon || c.kind == ControlKind::Progress) {
    widget->setFocusPolicy(Qt::NoFocus);
    return;
  }
  // A control without a tab stop still takes the focus when clicked.
  widget->setFocusPolicy((c.style & kTabStop) != 0 ? Qt::StrongFocus : Qt::ClickFocus);
}

// The focus moving for a drop-down list or a menu opening and closing, or for the menu bar taking
// the keyboard (Alt, F10) and giving it back. Some platforms activate the popup's own window, and
// then the reason given is the window's activation.
bool IsPopupFocusMove(QEvent* event) {
  const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
  return reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason ||
         QApplication::activePopupWidget() != nullptr;
}

}  // namespace

int DialogUnitsToPixelsX(int dlu, double dpi) {
  return static_cast<int>(std::lround(dlu * 6.0 / 4.0 * dpi / 96.0));
}

int DialogUnitsToPixelsY(int dlu, double dpi) {
  return static_cast<int>(std::lround(dlu * 13.0 / 8.0 * dpi / 96.0));
}

// The window is the dialog's client area, of the template's size, under the menu bar: the bar adds
// its height and moves no control.
QtDialogWindow::QtDialogWindow(const DialogTemplate& dialog, QtDialogWindow* owner)
    : QWidget(owner, owner != nullptr ? Qt::Dialog : Qt::WindowFlags()),
      m_dialog(dialog),
      m_owner(owner) {
  m_holdMember = m_hold->Join([this] {
    if (!m_posted.empty()) ScheduleDrain();
  });
  if (owner != nullptr) JoinFamilyOf(*owner);
  setWindowTitle(QString::fromUtf8(dialog.caption));
  setWindowIcon(ConsoleIcon());
  const double dpi = logicalDpiY();
  const int cx = DialogUnitsToPixelsX(dialog.cx, dpi);
  const int cy = DialogUnitsToPixelsY(dialog.cy, dpi);
  m_client = new QWidget(this);
  BuildMenuBar();
  const int bar = m_menuBar != nullptr ? m_menuBar->heightForWidth(cx) : 0;
  if (m_menuBar != nullptr) m_menuBar->setGeometry(0, 0, cx, bar);
  m_client->setGeometry(0, bar, cx, cy);
  setFixedSize(cx, cy + bar);
  BuildControls(dialog);
}

QtDialogWindow::~QtDialogWindow() {
  // No handler may run while the widgets go away.
  m_handler = nullptr;
  for (auto& [id, timer] : m_timers) timer->stop();
  m_hold->Leave(m_holdMember);
}

void QtDialogWindow::JoinFamilyOf(QtDialogWindow& owner) {
  m_hold->Leave(m_holdMember);
  m_hold = owner.m_hold;
  m_holdMember = m_hold->Join([this] {
    if (!m_posted.empty()) ScheduleDrain();
  });
}

// The template's menus as a menu bar; a command goes to the dialog as its handlers' other input
// does, and a greyed one not at all.
void QtDialogWindow::BuildMenuBar() {
  if (m_dialog.menus.empty()) return;
  m_menuBar = new QMenuBar(this);
  m_menuBar->setNativeMenuBar(false);  // inside the window, over the dialog, on every desktop
  for (const MenuTemplate& menu : m_dialog.menus) {
    QMenu* popup = m_menuBar->addMenu(QString::fromUtf8(menu.title));
    for (const MenuItemTemplate& item : menu.items) {
      if (item.id == 0) {
        popup->addSeparator();
        continue;
      }
      QAction* action = popup->addAction(QString::fromUtf8(item.text));
      const int id = item.id;
      m_menuItems[id] = action;
      connect(action, &QAction::triggered, this, [this, action, id] {
        if (action->isEnabled()) Dispatch([this, id] { m_handler->OnMenuCommand(id); });
      });
    }
  }
}

QAction* QtDialogWindow::MenuItem(int commandId) const {
  auto it = m_menuItems.find(commandId);
  return it == m_menuItems.end() ? nullptr : it->second;
}

void QtDialogWindow::BuildControls(const DialogTemplate& dialog) {
  const double dpi = logicalDpiY();
  QWidget* previousStop = nullptr;
  for (size_t k = 0; k < dialog.controls.size(); ++k) {
    const ControlTemplate& c = dialog.controls[k];
    QWidget* widget = CreateWidget(c, m_client);
    PlaceWidget(widget, c, dpi);
    SetAccessibility(widget, dialog, k);
    ApplyFocusPolicy(widget, c);
    if (c.kind == ControlKind::DefPushButton && m_defaultId == 0) m_defaultId = c.id;
    if ((c.style & kHidden) != 0) widget->hide();
    if (c.kind == ControlKind::GroupBox) widget->lower();  // frames stay behind their contents
    if (c.id == IDC_STATIC) continue;

    if (static_cast<size_t>(c.id) >= m_controls.size()) m_controls.resize(c.id + 1u);
    m_controls[static_cast<size_t>(c.id)] = Entry{c.kind, widget};
    FollowTextChanges(c.id, widget);
    m_idOfWidget[widget] = c.id;
    widget->installEventFilter(this);
    if (auto* list = qobject_cast<QComboBox*>(widget); list != nullptr && list->lineEdit()) {
      // The field inside an editable list is the list: its focus and keys are the list's.
      m_idOfWidget[list->lineEdit()] = c.id;
      list->lineEdit()->installEventFilter(this);
    }
    if (auto* list = dynamic_cast<DialogList*>(widget)) {
      const int id = c.id;
      list->beforePopup = [this, id] {
        Dispatch([this, id] { m_handler->OnNotify(id, Notification::DropDown); });
      };
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      const int id = c.id;
      connect(button, &QPushButton::clicked, this, [this, id] {
        if (id == IDCANCEL) {
          EndRun();
          return;
        }
        Dispatch([this, id] {
          if (id == IDOK) {
            m_handler->OnOK();
          } else {
            m_handler->OnNotify(id, Notification::Clicked);
          }
        });
      });
    }
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
      const int id = c.id;
      connect(box, &QCheckBox::clicked, this,
              [this, id] { Dispatch([this, id] { m_handler->OnNotify(id, Notification::Clicked); }); });
    }
    if (auto* table = qobject_cast<QTreeWidget*>(widget)) {
      // The operator choosing a row, with the mouse or the keyboard, is a click on the table.
      const int id = c.id;
      connect(table, &QTreeWidget::itemSelectionChanged, this, [this, table, id] {
        if (m_settingTable || table->selectedItems().isEmpty()) return;
        Dispatch([this, id] { m_handler->OnNotify(id, Notification::Clicked); });
      });
    }
    if (widget->focusPolicy() != Qt::NoFocus && (c.style & kHidden) == 0) {
      if (previousStop != nullptr) setTabOrder(previousStop, widget);
      previousStop = widget;
    }
  }
}

// Every change of a control's text counts, the operator's (typing, choosing, pasting, dropping
// text) and the logic's alike: a refresh passes over a field only while nothing has changed it
// since the refresh before.
void QtDialogWindow::FollowTextChanges(int id, QWidget* widget) {
  const auto changed = [this, id] { TextChanged(id); };
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    connect(edit, &QLineEdit::textChanged, this, changed);
  } else if (auto* log = qobject_cast<QPlainTextEdit*>(widget)) {
    connect(log, &QPlainTextEdit::textChanged, this, changed);
  } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
    connect(list, &QComboBox::currentIndexChanged, this, changed);
    connect(list, &QComboBox::currentTextChanged, this, changed);
    if (list->lineEdit() != nullptr)
      connect(list->lineEdit(), &QLineEdit::textChanged, this, changed);
  } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
    connect(box, &QCheckBox::toggled, this, changed);
  } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
    connect(bar, &QProgressBar::valueChanged, this, changed);
  }
}

const QtDialogWindow::Entry& QtDialogWindow::At(int id) const {
  const Entry* entry = Find(id);
  if (entry == nullptr) throw std::out_of_range("no control " + std::to_string(id));
  return *entry;
}

QWidget* QtDialogWindow::Control(int id) const {
  const Entry* entry = Find(id);
  return entry == nullptr ? nullptr : entry->widget;
}

const QtDialogWindow::Entry* QtDialogWindow::Find(int id) const {
  if (id < 0 || static_cast<size_t>(id) >= m_controls.size()) return nullptr;
  const Entry& entry = m_controls[static_cast<size_t>(id)];
  return entry.widget != nullptr ? &entry : nullptr;
}

int QtDialogWindow::ControlIdOf(QObject* object) const {
  auto it = m_idOfWidget.find(object);
  return it == m_idOfWidget.end() ? 0 : it->second;
}

std::string QtDialogWindow::GetText(int id) const {
  const Entry& e = At(id);
  if (auto* edit = qobject_cast<QLineEdit*>(e.widget)) return edit->text().toStdString();
  if (auto* log = qobject_cast<QPlainTextEdit*>(e.widget)) {
    const QString shown = log->toPlainText();
    auto it = m_multiLineTexts.find(id);
    if (it != m_multiLineTexts.end() && it->second.second == shown) return it->second.first;
    return shown.toStdString();
  }
  if (auto* list = qobject_cast<QComboBox*>(e.widget)) return list->currentText().toStdString();
  if (auto* box = qobject_cast<QCheckBox*>(e.widget)) return box->isChecked() ? "1" : "";
  if (auto* bar = qobject_cast<QProgressBar*>(e.widget)) return std::to_string(bar->value());
  if (qobject_cast<QTreeWidget*>(e.widget) != nullptr) {
    auto it = m_tableTexts.find(id);
    return it == m_tableTexts.end() ? std::string() : it->second;
  }
  if (auto* button = qobject_cast<QPushButton*>(e.widget)) return button->text().toStdString();
  if (auto* label = qobject_cast<QLabel*>(e.widget)) return label->text().toStdString();
  if (auto* frame = qobject_cast<QGroupBox*>(e.widget)) return frame->title().toStdString();
  return {};
}

// Texts equal to what the widget shows are not set again: a refresh of the whole window then
// costs only the fields that changed, and no cursor or scroll position is disturbed.
void QtDialogWindow::SetText(int id, const std::string& text) {
  const Entry& e = At(id);
  TextChanged(id);
  const QString value = QString::fromStdString(text);
  if (auto* edit = qobject_cast<QLineEdit*>(e.widget)) {
    if (edit->text() != value) ShowFromStart(edit, value);
  } else if (auto* log = qobject_cast<QPlainTextEdit*>(e.widget)) {
    auto it = m_multiLineTexts.find(id);
    if (it != m_multiLineTexts.end() && it->second.first == text &&
        it->second.second == log->toPlainText()) {
      return;
    }
    if (log->isReadOnly()) {
      ReplaceLogText(log, value);
    } else {
      log->setPlainText(value);
    }
    m_multiLineTexts[id] = {text, log->toPlainText()};
  } else if (auto* list = qobject_cast<QComboBox*>(e.widget)) {
    if (list->isEditable()) {
      if (list->currentText() != value) {
        list->setEditText(value);
        list->lineEdit()->home(false);  // from its start, as a field shows it
      }
    } else {
      // A fixed list cannot show a text that is none of its entries.
      const int index = list->findText(value, Qt::MatchExactly);
      if (list->currentIndex() != index) list->setCurrentIndex(index);
    }
  } else if (auto* box = qobject_cast<QCheckBox*>(e.widget)) {
    box->setChecked(text == "1");
  } else if (auto* bar = qobject_cast<QProgressBar*>(e.widget)) {
    bar->setValue(ProgressPart(text));
  } else if (qobject_cast<QTreeWidget*>(e.widget) != nullptr) {
    SetTableText(id, text);
  } else if (auto* button = qobject_cast<QPushButton*>(e.widget)) {
    if (button->text() != value) button->setText(value);
  } else if (auto* label = qobject_cast<QLabel*>(e.widget)) {
    if (label->text() != value) label->setText(value);
  } else if (auto* frame = qobject_cast<QGroupBox*>(e.widget)) {
    if (frame->title() != value) frame->setTitle(value);
  }
}

// The rows replace those shown; the row selected stays selected while there is a row of its place.
void QtDialogWindow::SetTableText(int id, const std::string& text) {
  auto* table = static_cast<QTreeWidget*>(At(id).widget);
  std::string& shown = m_tableTexts[id];
  if (shown == text) return;
  shown = text;
  const int selected = ListSelection(id);
  m_settingTable = true;
  table->clear();
  QList<QTreeWidgetItem*> items;
  for (const std::vector<std::string>& row : TableRows(text)) {
    QStringList cells;
    for (const std::string& cell : row) cells << QString::fromStdString(cell);
    items << new QTreeWidgetItem(cells);
  }
  table->addTopLevelItems(items);
  if (selected >= 0 && selected < items.size()) table->setCurrentItem(items[selected]);
  for (int k = 0; k + 1 < table->columnCount(); ++k) table->resizeColumnToContents(k);
  m_settingTable = false;
}

ControlKind QtDialogWindow::KindOf(int id) const { return At(id).kind; }

std::vector<std::string> QtDialogWindow::ListEntries(int id) const {
  std::vector<std::string> entries;
  if (auto* list = qobject_cast<QComboBox*>(At(id).widget)) {
    for (int k = 0; k < list->count(); ++k) entries.push_back(list->itemText(k).toStdString());
  } else if (auto* table = qobject_cast<QTreeWidget*>(At(id).widget)) {
    const QTreeWidgetItem* headings = table->headerItem();
    for (int k = 0; k < headings->columnCount(); ++k) {
      entries.push_back(headings->text(k).toStdString());
    }
  }
  return entries;
}

int QtDialogWindow::ListSelection(int id) const {
  if (auto* table = qobject_cast<QTreeWidget*>(At(id).widget)) {
    const QList<QTreeWidgetItem*> selected = table->selectedItems();
    return selected.isEmpty() ? -1 : table->indexOfTopLevelItem(selected.front());
  }
  auto* list = qobject_cast<QComboBox*>(At(id).widget);
  if (list == nullptr) return -1;
  const int index = list->currentIndex();
  // Typed text that differs from the selected entry leaves an editable list without a selection.
  if (index >= 0 && list->isEditable() && list->currentText() != list->itemText(index)) return -1;
  return index;
}

void QtDialogWindow::SelectListEntry(int id, int index) {
  if (auto* table = qobject_cast<QTreeWidget*>(At(id).widget)) {
    if (index < 0 || index >= table->topLevelItemCount()) return;
    m_settingTable = true;
    table->setCurrentItem(table->topLevelItem(index));
    table->scrollToItem(table->topLevelItem(index));
    m_settingTable = false;
    return;
  }
  auto* list = qobject_cast<QComboBox*>(At(id).widget);
  if (list == nullptr || index < 0 || index >= list->count()) return;
  TextChanged(id);
  if (list->currentIndex() != index) list->setCurrentIndex(index);
  if (list->isEditable() && list->currentText() != list->itemText(index)) {
    list->setEditText(list->itemText(index));
  }
}

void QtDialogWindow::SetListEntries(int id, const std::vector<std::string>& entries) {
  auto* list = qobject_cast<QComboBox*>(At(id).widget);
  if (list == nullptr) return;
  const QString shown = list->currentText();
  TextChanged(id);
  list->clear();
  for (const std::string& entry : entries) list->addItem(QString::fromStdString(entry));
  const int index = list->findText(shown, Qt::MatchExactly);
  list->setCurrentIndex(index);
  if (list->isEditable() && index < 0) list->setEditText(shown);
  // The list drops down wide enough for its longest name, however narrow the field.
  int widest = 0;
  for (int k = 0; k < list->count(); ++k) {
    widest = std::max(widest, list->fontMetrics().horizontalAdvance(list->itemText(k)));
  }
  list->view()->setMinimumWidth(widest + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                                2 * list->fontMetrics().averageCharWidth());
}

void QtDialogWindow::EnableControl(int id, bool enable) {
  QWidget* widget = At(id).widget;
  if (widget->isEnabledTo(this) == enable) return;
  // A disabled control keeps no focus, and the focus does not jump on to the next field (which
  // would run that field's focus handler): the window itself holds it meanwhile.
  if (!enable && (widget->hasFocus() || widget->isAncestorOf(QApplication::focusWidget()))) {
    setFocus(Qt::OtherFocusReason);
  }
  widget->setEnabled(enable);
}

bool QtDialogWindow::IsControlEnabled(int id) const { return At(id).widget->isEnabledTo(this); }

void QtDialogWindow::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void QtDialogWindow::MessageBox(const std::string& text) {
  m_hold->Begin();  // ticks and posted messages wait until the operator has read it
  QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(),
                  QString::fromStdString(text), QMessageBox::Ok, this);
  box.exec();
  m_hold->End();
}

bool QtDialogWindow::Ask(const std::string& text) {
  m_hold->Begin();  // ticks and posted messages wait for the answer
  QMessageBox box(QMessageBox::Question, windowTitle(), QString::fromStdString(text),
                  QMessageBox::NoButton, this);
  QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
  box.setDefaultButton(no);  // Enter answers 否
  box.setEscapeButton(no);
  box.exec();
  m_hold->End();
  return box.clickedButton() == yes;
}

int QtDialogWindow::SetTimer(int timerId, int periodMs) {
  if (timerId == 0 || periodMs <= 0) return 0;
  QTimer*& timer = m_timers[timerId];
  if (timer == nullptr) {
    timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, timerId] { OnTick(timerId); });
  }
  timer->start(periodMs);
  return timerId;
}

void QtDialogWindow::ShowAboutBox() {
  QDialog about(this);
  const DialogTemplate& dialog = AboutDialogTemplate();
  about.setWindowTitle(QString::fromUtf8(dialog.caption));
  about.setWindowIcon(ConsoleIcon());
  const double dpi = about.logicalDpiY();
  about.setFixedSize(DialogUnitsToPixelsX(dialog.cx, dpi), DialogUnitsToPixelsY(dialog.cy, dpi));
  for (size_t k = 0; k < dialog.controls.size(); ++k) {
    const ControlTemplate& c = dialog.controls[k];
    QWidget* widget = CreateWidget(c, &about);
    PlaceWidget(widget, c, dpi);
    SetAccessibility(widget, dialog, k);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      button->setDefault(c.kind == ControlKind::DefPushButton);
      connect(button, &QPushButton::clicked, &about, &QDialog::accept);
    }
  }
  // The About box is opened outside the dialog's logic: its ticks and posted messages go on.
  const int depth = std::exchange(m_handlerDepth, 0);
  about.exec();
  m_handlerDepth = depth;
}

void QtDialogWindow::EnableMenuItem(int commandId, bool enable) {
  if (QAction* action = MenuItem(commandId)) action->setEnabled(enable);
}

std::optional<std::string> QtDialogWindow::AskSaveFile(const std::string& title,
                                                       const std::string& suggestedPath,
                                                       const std::string& filter) {
  return AskFile(true, title, suggestedPath, filter);
}

std::optional<std::string> QtDialogWindow::AskOpenFile(const std::string& title,
                                                       const std::string& filter) {
  return AskFile(false, title, {}, filter);
}

// Raised inside a handler, the chooser holds ticks and posted messages as a message box does.
std::optional<std::string> QtDialogWindow::AskFile(bool save, const std::string& title,
                                                   const std::string& suggestedPath,
                                                   const std::string& filter) {
  QFileDialog chooser(this, QString::fromStdString(title), QString(),
                      QString::fromStdString(filter));
  chooser.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  chooser.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  chooser.setDefaultSuffix(QString::fromStdString(DefaultExtension(filter)));
  if (!suggestedPath.empty()) {
    const QFileInfo suggested(QString::fromStdString(suggestedPath));
    chooser.setDirectory(suggested.absolutePath());
    chooser.selectFile(suggested.fileName());
  }
  m_hold->Begin();
  const bool chosen = chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty();
  m_hold->End();
  if (!chosen) return std::nullopt;
  return chooser.selectedFiles().constFirst().toStdString();
}

bool QtDialogWindow::OpenFolder(const std::string& path) {
  const QString folder = QString::fromStdString(path);
  if (!QFileInfo(folder).isDir()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

// The child dialog is a window of its own over this one, which takes no input while it runs. This
// window's ticks and posted messages go on meanwhile, as for the About box; a message box or file
// chooser of either holds both.
void QtDialogWindow::RunChildDialog(const DialogTemplate& dialog, ChildDialog& child) {
  QtDialogWindow window(dialog, this);
  window.SetHandler(&child);
  child.Attach(&window);
  const int depth = std::exchange(m_handlerDepth, 0);
  m_child = &window;
  if (!m_ended) window.RunModal();
  m_child = nullptr;
  m_handlerDepth = depth;
  window.SetHandler(nullptr);
  child.Attach(nullptr);
}

void QtDialogWindow::EndDialog() { EndRun(); }

std::string QtDialogWindow::ModuleFileName() const {
  return QCoreApplication::applicationFilePath().toStdString();
}

void QtDialogWindow::PostMessage(uint32_t message, int32_t wParam, int32_t lParam) {
  m_posted.push_back({message, wParam, lParam});
  ScheduleDrain();
}

template <typename Call>
void QtDialogWindow::Dispatch(Call call) {
  if (m_handler == nullptr || m_ended || HandlersHeld()) return;
  ++m_handlerDepth;
  call();
  --m_handlerDepth;
  if (!m_posted.empty()) ScheduleDrain();
}

void QtDialogWindow::ScheduleDrain() {
  if (m_drainScheduled) return;
  m_drainScheduled = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        m_drainScheduled = false;
        DrainPosted();
      },
      Qt::QueuedConnection);
}

void QtDialogWindow::DrainPosted() {
  while (!m_posted.empty() && m_handler != nullptr && !m_ended && !HandlersHeld()) {
    const Posted p = m_posted.front();
    m_posted.pop_front();
    Dispatch([this, p] { m_handler->OnPostedMessage(p.message, p.wParam, p.lParam); });
  }
}

// A tick that comes while a message box holds the handlers is dropped, not saved up: the next
// tick after the box closes is an ordinary one.
void QtDialogWindow::OnTick(int timerId) {
  if (HandlersHeld()) return;
  DrainPosted();  // a completion posted before this tick is handled before it
  Dispatch([this, timerId] { m_handler->OnTimerMessage(timerId); });
  DrainPosted();
}

void QtDialogWindow::RunModal() {
  if (m_ended) return;  // a child dialog ended as it was given its window
  // The focus starts on the first visible control that takes it in tab order.
  for (const ControlTemplate& c : m_dialog.controls) {
    if (c.id == IDC_STATIC || (c.style & (kHidden | kTabStop)) != kTabStop) continue;
    QWidget* widget = At(c.id).widget;
    if (widget->isEnabledTo(this)) {
      widget->setFocus(Qt::OtherFocusReason);
      break;
    }
  }
  if (m_owner == nullptr && HasSystemMenu()) {
    AppendSystemMenuItem(static_cast<uintptr_t>(winId()), LoadResourceString(IDS_ABOUTBOX),
                         IDM_ABOUTBOX);
  }
  if (m_owner != nullptr) setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  m_runLoop = &loop;
  show();
  activateWindow();
  loop.exec();
  m_runLoop = nullptr;
}

void QtDialogWindow::EndRun() { close(); }

void QtDialogWindow::closeEvent(QCloseEvent* event) {
  // A child dialog open over the window ends with it.
  if (m_child != nullptr) m_child->EndRun();
  // The timers go with the window: no tick and no posted message reaches the dialog after this.
  for (auto& [id, timer] : m_timers) timer->stop();
  m_posted.clear();
  m_ended = true;
  event->accept();
  if (m_runLoop != nullptr) m_runLoop->quit();
  emit runEnded();
}

void QtDialogWindow::OpenAbout() {
  if (*LoadResourceString(IDS_ABOUTBOX) == '\0') return;
  Dispatch([this] { m_handler->OnSysCommand(IDM_ABOUTBOX); });
}

void QtDialogWindow::contextMenuEvent(QContextMenuEvent* event) {
  const char* item = LoadResourceString(IDS_ABOUTBOX);
  if (*item == '\0') return;
  QMenu menu(this);
  QAction* about = menu.addAction(QString::fromUtf8(item));
  if (menu.exec(event->globalPos()) == about) OpenAbout();
}

bool QtDialogWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  uint32_t command = 0;
  if (eventType == "windows_generic_MSG" && SystemCommandOf(message, command) &&
      (command & 0xFFF0u) == IDM_ABOUTBOX) {
    OpenAbout();
    *result = 0;
    return true;
  }
  return QWidget::nativeEvent(eventType, message, result);
}

// The previous control's loss of the focus is reported before the new one's gain, even when the
// loss never came as an event of its own (the focus moved while the window was inactive): every
// editor runs on what its field shows before anything else happens.
void QtDialogWindow::MoveDialogFocus(int id) {
  const int old = m_focusId;
  m_focusId = id;
  if (old != 0) Dispatch([this, old] { m_handler->OnNotify(old, Notification::KillFocus); });
  Dispatch([this, id] { m_handler->OnNotify(id, Notification::SetFocus); });
}

bool QtDialogWindow::IsValueControl(int id) const {
  const Entry& e = At(id);
  return IsList(e.kind) || qobject_cast<QLineEdit*>(e.widget) != nullptr;
}

// Enter presses the template's default button (the main dialog's hidden one stops continuous
// reading and never closes); Escape ends the run; F1 opens the About box; F10 opens the menu bar.
bool QtDialogWindow::HandleKey(QKeyEvent* key) {
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      PressDefaultButton();
      return true;
    case Qt::Key_F10:
      if (m_menuBar == nullptr || m_menuBar->actions().isEmpty()) return false;
      m_menuBar->setActiveAction(m_menuBar->actions().constFirst());
      return true;
    case Qt::Key_Escape:
      EndRun();
      return true;
    case Qt::Key_F1:
      OpenAbout();
      return true;
    default:
      return false;
  }
}

// A one-line field or list too narrow for the text it shows shows the whole text when the pointer
// rests on it. Any other control, or a field that shows its text whole, has no tip.
bool QtDialogWindow::ShowWholeText(int id, QHelpEvent* help) {
  const Entry& e = At(id);
  const bool oneLine = IsList(e.kind) || qobject_cast<QLineEdit*>(e.widget) != nullptr;
  const QString text = oneLine ? QString::fromStdString(GetText(id)) : QString();
  if (text.isEmpty() || ShowsWhole(e.widget, text)) {
    QToolTip::hideText();
    return false;
  }
  QToolTip::showText(help->globalPos(), text, e.widget);
  return true;
}

// A default button that is disabled does nothing, as a template without one.
void QtDialogWindow::PressDefaultButton() {
  if (m_defaultId == IDOK) {
    Dispatch([this] { m_handler->OnOK(); });
  } else if (m_defaultId != 0 && IsControlEnabled(m_defaultId)) {
    const int id = m_defaultId;
    Dispatch([this, id] { m_handler->OnNotify(id, Notification::Clicked); });
  }
}

void QtDialogWindow::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event)) QWidget::keyPressEvent(event);
}

// Every loss of the focus to another control counts, whether or not the text changed. The focus
// leaving with the whole window (another application, a message box, the About box, and on X11
// the flicker after a drop-down closes) and coming back to the same control is no change, nor is
// a list's own drop-down taking and giving back the focus: the control keeps its focus for the
// dialog, and its loss is reported when the operator moves on to another control.
bool QtDialogWindow::eventFilter(QObject* watched, QEvent* event) {
  const int id = ControlIdOf(watched);
  if (id == 0) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress:
      return HandleKey(static_cast<QKeyEvent*>(event));
    case QEvent::ToolTip:
      return ShowWholeText(id, static_cast<QHelpEvent*>(event));
    case QEvent::FocusIn: {
      if (IsPopupFocusMove(event) || HandlersHeld() || id == m_focusId) break;
      MoveDialogFocus(id);
      break;
    }
    case QEvent::Wheel:
      // Nothing changes a value without the focus: the wheel over a list or field that does not
      // hold it would choose an entry (an output, a port) with no editor ever running.
      if (IsValueControl(id) && id != m_focusId) return true;
      break;
    case QEvent::Drop:
      // A text dropped into a field makes it the field being edited first, so its editor runs
      // when the focus leaves it, as after typing.
      if (HandlersHeld()) return true;
      if (id != m_focusId) {
        At(id).widget->setFocus(Qt::OtherFocusReason);
        if (id != m_focusId) MoveDialogFocus(id);  // an inactive window gets no focus event yet
      }
      break;
    case QEvent::FocusOut: {
      const bool windowDeactivated =
          static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason;
      if (IsPopupFocusMove(event) || windowDeactivated || HandlersHeld() || id != m_focusId) break;
      m_focusId = 0;
      Dispatch([this, id] { m_handler->OnNotify(id, Notification::KillFocus); });
      break;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}
