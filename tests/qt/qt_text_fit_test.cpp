#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOptionGroupBox>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>
#include <climits>
#include <map>
#include <set>
#include <vector>

#include "console/main_dialog.h"
#include "tests/device/device_fixture.h"
#include "tests/qt/qt_test_support.h"
#include "window/qt/text_room.h"

// Every text the console shows on one line is read whole in the window's own font: each entry of
// each list, each button caption, each label, and the widest text each field's format prints over
// its register's range. The suite runs at 100 % and again at 150 % (a 144-DPI screen with Qt's
// own scaling off, so cells and font grow separately). A field that must stay narrow for its
// column shows its whole text in a tooltip instead. The scan window's texts are checked the same
// way.

namespace {

// Fields whose widest text needs more room than their column has. Texts that wide come only from
// values far outside use: powers of 10 kW and more on the meter's inputs, periods of a thousand
// hours, a row-1 setpoint of 1000 and more, ratios of five digits, counts of billions.
const std::set<int> kTooltipFields = {
    1020, 1021, 1022, 1027, 1023, 1024, 1025, 1026, 1036, 1037, 1038, 1039,  // P, Q, S
    1087, 1086, 1090, 1089, 1094, 1091, 1115, 1095, 1131, 1116, 1133, 1132,  // periods
    1060,                                                                    // setpoint, row 1
    1050, 1055,                                                              // PT and CT ratios
    1069, 1125,                                                              // counters, offset
};

bool IsOneLineField(const ControlTemplate& c) {
  const bool list = c.kind == ControlKind::DropList || c.kind == ControlKind::DropDown;
  return list || (c.kind == ControlKind::Edit && (c.style & kMultiLine) == 0);
}

std::string Describe(int id, const QWidget* control, const QString& text) {
  return std::to_string(id) + " \"" + text.toStdString() + "\" needs " +
         std::to_string(TextWidth(control, text)) + " px, has " + std::to_string(TextRoom(control));
}

// Whether a line edit showing the text scrolled it, as it does when the text is wider than its
// text area: its cursor, at the end of the text, then stands short of the text's width.
bool Scrolls(QLineEdit* edit, const QString& text) {
  const auto cursorX = [edit](const QString& shown) {
    edit->setText(shown);
    edit->end(false);
    edit->grab();  // a paint sets the scroll
    return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
  };
  const int start = cursorX(QString());
  return cursorX(text) - start < TextWidth(edit, text);
}

class QtTextFitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.LoadRegisterTable();
    window.show();  // lists lay out their inner fields when shown
    QCoreApplication::processEvents();
  }

  // Keeps, for every one-line field, the widest text it has shown.
  void Keep() {
    for (const ControlTemplate& c : MainDialogTemplate().controls) {
      if (c.id == IDC_STATIC || !IsOneLineField(c)) continue;
      const QString text = QString::fromStdString(window.GetText(c.id));
      QString& widest = m_widest[c.id];
      if (TextWidth(window.Control(c.id), text) > TextWidth(window.Control(c.id), widest)) {
        widest = text;
      }
    }
  }

  // A good reply in the receive buffer, decoded as the answer to a read of count from start.
  void Decode(uint8_t code, const std::vector<uint8_t>& data, uint16_t start, uint16_t count) {
    PutReply(dialog, code, data);
    dialog.m_link.m_readStart = start;
    dialog.m_link.m_lastCount = count;
    dialog.DecodeReply();
  }
  void DecodeBlock(uint16_t start, uint16_t count, uint16_t word) {
    std::vector<uint8_t> data;
    for (int k = 0; k < count; ++k) {
      data.push_back(static_cast<uint8_t>(word >> 8));
      data.push_back(static_cast<uint8_t>(word & 0xFF));
    }
    Decode(kFnReadHolding, data, start, count);
  }

  // Shows every field at the ends of its register's range: all registers of the three blocks at
  // once at each of the 42 words below the top of the unsigned range and above the bottom of the
  // signed range (42 words in a row take the code tables through every combination of entries),
  // every value of the event record's bytes, every register in the browser, and the counters,
  // the event offset and the line settings at their widest.
  void ShowEveryWidestText() {
    for (const int first : {0xFFFF - 41, 0x8000}) {
      for (int word = first; word <= first + 41; ++word) {
        DecodeBlock(0x0000, kRealtimeCount, static_cast<uint16_t>(word));
        DecodeBlock(0x008A, kHarmonicCount, static_cast<uint16_t>(word));
        DecodeBlock(0x0300, kParameterCount, static_cast<uint16_t>(word));
        Keep();
      }
    }
    for (int byte = 0; byte < 256; ++byte) {
      Decode(kFnReadEvent, std::vector<uint8_t>(24, static_cast<uint8_t>(byte)), 0, 1);
      Keep();
    }
    for (int index = 0; index < kRegisterCount; ++index) {
      dialog.m_regIndex = index;
      dialog.m_regTable[index].value = 0xFFFF;
      dialog.RefreshDisplay();
      Keep();
    }
    ModbusLink& link = dialog.m_link;
    link.m_port = 9;
    link.m_baudRate = 19200;
    link.m_slaveAddress = 247;
    link.m_successCount = INT32_MIN;
    link.m_failureCount = INT32_MIN;
    dialog.m_eventOffset = INT32_MIN;
    for (const int open : {0, 1}) {
      link.m_isOpen = open;
      dialog.RefreshDisplay();
      Keep();
    }
  }

  QtDialogWindow window{MainDialogTemplate()};
  MainDialog dialog{window};
  std::map<int, QString> m_widest;
};

TEST_F(QtTextFitTest, TheWindowDrawsInTheSimplifiedChineseFaceOfNotoSansCjkAtTheScreensDpi) {
  EXPECT_EQ(QFontInfo(window.Control(1001)->font()).family(), "Noto Sans CJK SC");
  const QByteArray dpi = qgetenv("QUORVEL_TEST_DPI");
  if (!dpi.isEmpty()) {
    EXPECT_EQ(window.logicalDpiY(), dpi.toInt());
  }
}

TEST_F(QtTextFitTest, EveryListShowsEachOfItsEntriesWhole) {
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    for (const char* entry : c.entries) {
      const QString text = QString::fromUtf8(entry);
      EXPECT_TRUE(ShowsWhole(window.Control(c.id), text))
          << Describe(c.id, window.Control(c.id), text);
    }
  }
}

TEST_F(QtTextFitTest, EveryButtonShowsEachOfItsCaptionsWhole) {
  std::vector<std::pair<int, QString>> captions;
  for (const ControlTemplate& c : MainDialogTemplate().controls) {
    if (c.kind == ControlKind::PushButton && (c.style & kHidden) == 0) {
      captions.emplace_back(c.id, QString::fromUtf8(c.text));
    }
  }
  for (const int autoPoll : {1, 0}) {  // the continuous-reading button, on and off
    dialog.m_autoPoll = autoPoll;
    dialog.UpdateControlStates();
    captions.emplace_back(1068, QString::fromStdString(window.GetText(1068)));
  }
  for (const auto& [id, caption] : captions) {
    EXPECT_TRUE(ShowsWhole(window.Control(id), caption))
        << Describe(id, window.Control(id), caption);
  }
}

TEST_F(QtTextFitTest, EveryFieldShowsTheWidestTextItsFormatPrintsOrShowsItInItsTooltip) {
  ShowEveryWidestText();
  for (const auto& [id, widest] : m_widest) {
    QWidget* field = window.Control(id);
    const bool whole = ShowsWhole(field, widest);
    EXPECT_TRUE(whole || kTooltipFields.count(id) != 0) << Describe(id, field, widest);
    // The measure agrees with what the field does with the text.
    auto* list = qobject_cast<QComboBox*>(field);
    QLineEdit* edit = list != nullptr ? list->lineEdit() : qobject_cast<QLineEdit*>(field);
    if (edit != nullptr && !widest.isEmpty()) {
      EXPECT_EQ(Scrolls(edit, widest), !whole) << Describe(id, field, widest);
    }
    // Set into the field, the text shows from its start (its sign and leading digits), and
    // resting the pointer on it shows the whole text when the field cannot.
    window.SetText(id, "");
    window.SetText(id, widest.toStdString());
    if (edit != nullptr) {
      EXPECT_EQ(edit->cursorPosition(), 0) << id;
    }
    QWidget* target = edit != nullptr ? edit : field;
    const QPoint centre = target->rect().center();
    QHelpEvent hover(QEvent::ToolTip, centre, target->mapToGlobal(centre));
    QApplication::sendEvent(target, &hover);
    EXPECT_EQ(hover.isAccepted(), !whole) << id;
    if (!whole) {
      EXPECT_EQ(QToolTip::text(), widest) << id;
    }
  }
}

// The ink of a label's text where the label draws it.
QRect InkOf(const QLabel* label) {
  const QFontMetrics metrics(label->font());
  const QRect box = label->geometry();
  const int width = metrics.horizontalAdvance(label->text());
  int x = box.x();
  if (label->alignment() & Qt::AlignHCenter) x += (box.width() - width) / 2;
  if (label->alignment() & Qt::AlignRight) x += box.width() - width;
  const int baseline = box.y() + (box.height() - metrics.height()) / 2 + metrics.ascent();
  return metrics.tightBoundingRect(label->text()).translated(x, baseline);
}

// Within the dialog's client area, no label's ink runs into another control or label's.
void ExpectNoLabelRunsIntoAnother(const QWidget* client) {
  const auto labels = client->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
  const auto controls = client->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_FALSE(labels.isEmpty());
  for (const QLabel* label : labels) {
    const QRect ink = InkOf(label);
    EXPECT_TRUE(client->rect().contains(ink)) << label->text().toStdString();
    for (const QWidget* other : controls) {
      if (other == label || !other->isVisible() || qobject_cast<const QGroupBox*>(other)) continue;
      const auto* otherLabel = qobject_cast<const QLabel*>(other);
      const QRect rect = otherLabel != nullptr ? InkOf(otherLabel) : other->geometry();
      EXPECT_FALSE(ink.intersects(rect))
          << label->text().toStdString() << " runs into " << other->objectName().toStdString()
          << " " << (otherLabel != nullptr ? otherLabel->text().toStdString() : "");
    }
  }
}

TEST_F(QtTextFitTest, NoLabelsTextRunsIntoAnotherControlOrLabel) {
  ExpectNoLabelRunsIntoAnother(window.ClientArea());
}

// The scan window (template 104), with nothing in it yet.
class QtTextFitScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    QCoreApplication::processEvents();
    for (QWidget* w : window.ClientArea()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (!w->isVisible() || qobject_cast<QLabel*>(w) != nullptr) continue;
      if (auto* frame = qobject_cast<QGroupBox*>(w)) {
        frames << frame;
      } else {
        controls << w;
      }
    }
  }

  QtDialogWindow window{ScanDialogTemplate()};
  QList<QGroupBox*> frames;
  QList<QWidget*> controls;
};

// The title a frame draws over its top edge.
QRect TitleOf(const QGroupBox* frame) {
  QStyleOptionGroupBox option;
  option.initFrom(frame);
  option.text = frame->title();
  option.lineWidth = 1;
  option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
  return frame->style()
      ->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame)
      .translated(frame->pos());
}

TEST_F(QtTextFitScanTest, EveryCaptionTitleAndHeadingShowsWholeAndNoLabelRunsIntoAnother) {
  for (const QWidget* c : controls) {
    const auto* button = qobject_cast<const QAbstractButton*>(c);
    if (button != nullptr) {
      EXPECT_TRUE(ShowsWhole(c, button->text())) << Describe(0, c, button->text());
    }
  }
  for (const QGroupBox* frame : frames) {
    EXPECT_TRUE(frame->geometry().contains(TitleOf(frame))) << frame->title().toStdString();
  }
  auto* table = static_cast<QTreeWidget*>(window.Control(IDC_SCAN_RESULTS));
  for (int k = 0; k < table->columnCount(); ++k) {
    EXPECT_GE(table->header()->sectionSize(k), table->header()->sectionSizeHint(k)) << k;
  }
  EXPECT_LE(table->header()->length(), table->viewport()->width());
  ExpectNoLabelRunsIntoAnother(window.ClientArea());
}

// Check boxes grow to their line's height: none may then reach into another control or into the
// title of its frame.
TEST_F(QtTextFitScanTest, NoTwoControlsOverlapAndNoneReachesIntoAFramesTitle) {
  for (qsizetype a = 0; a < controls.size(); ++a) {
    const QRect r = controls[a]->geometry();
    const std::string name = controls[a]->objectName().toStdString();
    EXPECT_TRUE(window.ClientArea()->rect().contains(r)) << name;
    for (qsizetype b = a + 1; b < controls.size(); ++b) {
      EXPECT_FALSE(r.intersects(controls[b]->geometry()))
          << name << " overlaps " << controls[b]->objectName().toStdString();
    }
    for (const QGroupBox* frame : frames) {
      if (!frame->geometry().intersects(r)) continue;
      EXPECT_TRUE(frame->geometry().contains(r)) << name;
      EXPECT_FALSE(TitleOf(frame).intersects(r)) << name << " reaches into " << frame->title().toStdString();
    }
  }
}

}  // namespace
