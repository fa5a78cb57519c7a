// What reaches the meter from the Qt window is what it shows, whatever the input path: the wheel
// over a list or field without the focus, a drop into a field, a focus move while the window was
// inactive. Each scenario ends with the command that sends.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QWheelEvent>
#include <memory>
#include <vector>

#include "console/main_dialog.h"
#include "fakes/fake_line.h"
#include "link/frame_codec.h"
#include "tests/qt/qt_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ParameterBlockReply() {
  Bytes frame = {0x01, 0x03, 2 * kParameterCount};
  frame.resize(frame.size() + 2 * kParameterCount + 2);
  frame[4] = 100;  // PT low word: 100
  CloseFrame(frame.data(), static_cast<uint16_t>(frame.size()));
  return frame;
}

// The register value a parameter write carries at an index of the image.
uint16_t WrittenValue(const Bytes& frame, int index) {
  const size_t at = 7 + 2 * static_cast<size_t>(index - kParameterFirst);
  return static_cast<uint16_t>(frame.at(at) << 8 | frame.at(at + 1));
}

// One notch of the wheel over a control, as the pointer resting on it sends it.
void Wheel(QWidget* target, int notches) {
  const QPointF centre(target->width() / 2.0, target->height() / 2.0);
  QWheelEvent event(centre, target->mapToGlobal(centre), QPoint(), QPoint(0, -120 * notches),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &event);
}

// A text dragged from elsewhere and dropped on a field.
void Drop(QWidget* target, const QString& text) {
  QMimeData data;
  data.setText(text);
  const QPointF at(4, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

// The console on the real window over a scripted line, with the parameter block read and
// continuous reading off: every command is enabled.
class QtSafeInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wire = AttachFakeLine(dialog.m_link);
    window.SetHandler(&dialog);
    ASSERT_TRUE(dialog.OnInitDialog());
    wire->Feed(ParameterBlockReply());
    dialog.OnTimerMessage(dialog.m_timerId);
    QCoreApplication::processEvents();  // the completion
    ASSERT_EQ(dialog.m_paramsValid, 1);
    dialog.OnNotify(IDC_AUTO_POLL, Notification::Clicked);
    ASSERT_TRUE(ShowActive(window));
    FocusOn(window, IDC_TX_LOG);
  }
  void TearDown() override { window.SetHandler(nullptr); }

  QString Text(int id) const { return QString::fromStdString(window.GetText(id)); }
  // A button pressed with the mouse: it takes the focus, then acts.
  void Press(int id) {
    QTest::mouseClick(window.Control(id), Qt::LeftButton);
    QCoreApplication::processEvents();
  }

  // The meter's echo of the parameter write, then its answer to the read-back that follows (it
  // holds the block written), each handled as the next tick and its completion.
  void EchoWrite() {
    const Bytes write = wire->written.back();
    Bytes echo(write.begin(), write.begin() + 6);
    echo.resize(8);
    CloseFrame(echo.data(), 8);
    Bytes readBack = {write[0], 0x03, 2 * kParameterCount};
    readBack.insert(readBack.end(), write.begin() + 7, write.begin() + 7 + 2 * kParameterCount);
    readBack.resize(readBack.size() + 2);
    CloseFrame(readBack.data(), static_cast<uint16_t>(readBack.size()));
    for (const Bytes& reply : {echo, readBack}) {
      wire->Feed(reply);
      dialog.OnTimerMessage(dialog.m_timerId);
      QCoreApplication::processEvents();
    }
    ASSERT_TRUE(window.IsControlEnabled(IDC_WRITE_PARAMS));
  }

  std::shared_ptr<FakeWire> wire;
  QtDialogWindow window{MainDialogTemplate()};
  MainDialog dialog{window};
};

// The wheel over a list or field without the focus changes nothing: not a protection enable,
// not the remote-control choice, not the port or the line. With the focus it works as the arrow
// keys do, and leaving the list runs its editor.
TEST_F(QtSafeInputTest, TheWheelChangesNoListOrFieldWithoutTheFocus) {
  auto* enable = static_cast<QComboBox*>(window.Control(IDC_YK1_ENABLE));
  const QString shown = enable->currentText();
  const int opens = wire->opens;
  for (int id : {IDC_YK1_ENABLE, IDC_YK_CHANNEL, IDC_YK_STATE, IDC_YK_CONFIRM, IDC_PORT, IDC_BAUD,
                 IDC_PROTOCOL, IDC_PT}) {
    SCOPED_TRACE(id);
    const QString before = Text(id);
    // Over an editable list the pointer rests on its inner field; the list itself gets what the
    // field leaves.
    auto* list = qobject_cast<QComboBox*>(window.Control(id));
    if (list != nullptr && list->lineEdit() != nullptr) Wheel(list->lineEdit(), 2);
    Wheel(window.Control(id), 2);
    EXPECT_EQ(Text(id), before);
  }
  EXPECT_EQ(Text(IDC_COMM_SUMMARY), QString("COM1:9600,N,8,2"));

  Press(IDC_EXECUTE_YK);  // the three lists are still empty: refused
  EXPECT_EQ(Text(IDC_STATUS), QString("遥控参数设置不当"));
  Press(IDC_WRITE_PARAMS);
  const int enableIndex = kRegYk1First + kYkEnable;
  EXPECT_EQ(WrittenValue(wire->written.back(), enableIndex), enable->findText(shown));
  EXPECT_EQ(wire->opens, opens);  // the line was never reopened

  // With the focus the wheel chooses, and leaving the list stores what it shows.
  EchoWrite();
  FocusOn(window, IDC_YK1_ENABLE);
  Wheel(enable, enable->currentIndex() == 0 ? 1 : -1);  // down: the next entry
  const QString chosen = enable->currentText();
  ASSERT_NE(chosen, shown);
  Press(IDC_WRITE_PARAMS);
  EXPECT_EQ(WrittenValue(wire->written.back(), enableIndex), enable->findText(chosen));
}

// A text dropped into a field that does not hold the focus first gives it the focus: its editor
// runs when the operator moves on, and the write carries the dropped value.
TEST_F(QtSafeInputTest, ATextDroppedIntoAFieldIsStoredWhenTheFocusLeavesIt) {
  auto* pt = static_cast<QLineEdit*>(window.Control(IDC_PT));
  pt->selectAll();
  Drop(pt, "12345");
  EXPECT_EQ(window.FocusedControl(), IDC_PT);
  ASSERT_EQ(Text(IDC_PT).contains("12345"), true) << Text(IDC_PT).toStdString();
  Press(IDC_WRITE_PARAMS);
  const uint32_t written = WrittenValue(wire->written.back(), kRegPtLow) |
                           static_cast<uint32_t>(WrittenValue(wire->written.back(), kRegPtLow + 1))
                               << 16;
  EXPECT_EQ(QString::number(written), Text(IDC_PT));
}

// Typed into PT, then the window lost the activation and the focus moved inside it meanwhile:
// on coming back, PT's editor runs before the new field's focus handler, and the write carries
// what PT shows.
TEST_F(QtSafeInputTest, AFocusMoveWhileTheWindowWasInactiveStillRunsTheEditorLeft) {
  FocusOn(window, IDC_PT);
  auto* pt = static_cast<QLineEdit*>(window.Control(IDC_PT));
  pt->selectAll();
  QTest::keyClicks(pt, "777");

  QWidget other;
  ASSERT_TRUE(ShowActive(other));
  window.Control(IDC_CT)->setFocus(Qt::OtherFocusReason);
  ASSERT_TRUE(ShowActive(window));
  QCoreApplication::processEvents();
  EXPECT_EQ(window.FocusedControl(), IDC_CT);
  EXPECT_EQ(dialog.m_regTable[kRegPtLow].value, 777);

  Press(IDC_WRITE_PARAMS);
  EXPECT_EQ(WrittenValue(wire->written.back(), kRegPtLow), 777);
}

}  // namespace
