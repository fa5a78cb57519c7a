#include "window/qt/text_room.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

namespace {

// The blank a line edit keeps on each side of its text area, inside its text margins.
constexpr int kLineEditSideMarginPx = 2;

// A line edit's text area of the given width, as QLineEdit paints it: the text is shown from its
// start when its width and one pixel of cursor fit between the side margins; a longer text
// scrolls to keep the cursor in view.
int LineRoom(int areaWidth, int textMargins) {
  return areaWidth - textMargins - 2 * kLineEditSideMarginPx - 1;
}

int LineEditRoom(const QLineEdit* edit) {
  QStyleOptionFrame frame;
  frame.initFrom(edit);
  frame.rect = edit->rect();
  frame.lineWidth =
      edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, edit) : 0;
  frame.midLineWidth = 0;
  frame.state |= QStyle::State_Sunken;
  if (edit->isReadOnly()) frame.state |= QStyle::State_ReadOnly;
  const QRect area = edit->style()->subElementRect(QStyle::SE_LineEditContents, &frame, edit);
  const QMargins margins = edit->textMargins();
  return LineRoom(area.width(), margins.left() + margins.right());
}

int ListRoom(const QComboBox* list) {
  QStyleOptionComboBox option;
  option.initFrom(list);
  option.rect = list->rect();
  option.editable = list->isEditable();
  option.frame = list->hasFrame();
  option.subControls = QStyle::SC_All;
  const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                    QStyle::SC_ComboBoxEditField, list);
  // An editable list types into a frameless line edit over its field; a fixed list draws its
  // selection one pixel in from each side of the field.
  if (list->isEditable()) return LineRoom(field.width(), 0);
  return field.width() - 2;
}

int ButtonRoom(const QPushButton* button) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.rect = button->rect();
  option.text = button->text();
  if (button->autoDefault() || button->isDefault()) {
    option.features |= QStyleOptionButton::AutoDefaultButton;
  }
  return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
}

// A check box's label beside its box.
int CheckBoxRoom(const QCheckBox* box) {
  QStyleOptionButton option;
  option.initFrom(box);
  option.rect = box->rect();
  option.text = box->text();
  return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width();
}

}  // namespace

int TextRoom(const QWidget* control) {
  if (auto* edit = qobject_cast<const QLineEdit*>(control)) return LineEditRoom(edit);
  if (auto* list = qobject_cast<const QComboBox*>(control)) return ListRoom(list);
  if (auto* button = qobject_cast<const QPushButton*>(control)) return ButtonRoom(button);
  if (auto* box = qobject_cast<const QCheckBox*>(control)) return CheckBoxRoom(box);
  return -1;
}

int TextWidth(const QWidget* control, const QString& text) {
  return QFontMetrics(control->font()).horizontalAdvance(text);
}

bool ShowsWhole(const QWidget* control, const QString& text) {
  const int room = TextRoom(control);
  return room >= 0 && TextWidth(control, text) <= room;
}
