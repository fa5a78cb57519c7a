#include "console/main_dialog.h"

#include <array>
#include <iterator>

#include "window/data_exchange.h"

uint8_t MainDialog::s_pollBlock = 0;

namespace {

bool IsField(ControlKind kind) {
  return kind == ControlKind::Edit || kind == ControlKind::DropList ||
         kind == ControlKind::DropDown;
}

// One bound field: its control and its member (a text, or one of the three integers).
struct FieldBinding {
  int id;
  std::string MainDialog::*text;
  int32_t MainDialog::*integer;
};

constexpr FieldBinding Text(int id, std::string MainDialog::*member) {
  return {id, member, nullptr};
}
constexpr FieldBinding Integer(int id, int32_t MainDialog::*member) {
  return {id, nullptr, member};
}

// Bound in the order of the template, so a capture stopped by the slave-address field (1028)
// leaves every field after it, the event fields included, as it was.
constexpr FieldBinding kBindings[] = {
    Text(1009, &MainDialog::m_txLog),
    Text(1011, &MainDialog::m_rxLog),
    Text(1072, &MainDialog::m_status),
    Text(1069, &MainDialog::m_counts),
    Text(1008, &MainDialog::m_protocolText),
    Integer(1028, &MainDialog::m_addressField),
    Text(1002, &MainDialog::m_portText),
    Text(1003, &MainDialog::m_baudText),
    Text(1004, &MainDialog::m_parityText),
    Text(1005, &MainDialog::m_dataBitsText),
    Text(1006, &MainDialog::m_stopBitsText),
    Text(1007, &MainDialog::m_commSummary),
    Text(1001, &MainDialog::m_uan),
    Text(1010, &MainDialog::m_ubn),
    Text(1014, &MainDialog::m_ucn),
    Text(1019, &MainDialog::m_freq),
    Text(1015, &MainDialog::m_ian),
    Text(1016, &MainDialog::m_ibn),
    Text(1017, &MainDialog::m_icn),
    Text(1018, &MainDialog::m_i0n),
    Text(1029, &MainDialog::m_uca),
    Text(1030, &MainDialog::m_uab),
    Text(1031, &MainDialog::m_ubc),
    Text(1032, &MainDialog::m_uav),
    Text(1020, &MainDialog::m_pan),
    Text(1021, &MainDialog::m_pbn),
    Text(1022, &MainDialog::m_pcn),
    Text(1027, &MainDialog::m_psum),
    Text(1023, &MainDialog::m_qan),
    Text(1024, &MainDialog::m_qbn),
    Text(1025, &MainDialog::m_qcn),
    Text(1026, &MainDialog::m_qsum),
    Text(1033, &MainDialog::m_pfan),
    Text(1034, &MainDialog::m_pfbn),
    Text(1035, &MainDialog::m_pfcn),
    Text(1040, &MainDialog::m_pfav),
    Text(1036, &MainDialog::m_san),
    Text(1037, &MainDialog::m_sbn),
    Text(1038, &MainDialog::m_scn),
    Text(1039, &MainDialog::m_ssum),
    Text(1103, &MainDialog::m_argUa),
    Text(1104, &MainDialog::m_argUb),
    Text(1105, &MainDialog::m_argUc),
    Text(1110, &MainDialog::m_vpm10),
    Text(1106, &MainDialog::m_argIa),
    Text(1107, &MainDialog::m_argIb),
    Text(1108, &MainDialog::m_argIc),
    Text(1109, &MainDialog::m_iav),
    Text(1041, &MainDialog::m_posKwhTotal),
    Text(1042, &MainDialog::m_negKwhTotal),
    Text(1043, &MainDialog::m_posKvarhTotal),
    Text(1044, &MainDialog::m_negKvarhTotal),
    Text(1134, &MainDialog::m_posKwhPeak),
    Text(1135, &MainDialog::m_negKwhPeak),
    Text(1136, &MainDialog::m_posKvarhPeak),
    Text(1137, &MainDialog::m_negKvarhPeak),
    Text(1138, &MainDialog::m_posKwhFlat),
    Text(1139, &MainDialog::m_negKwhFlat),
    Text(1140, &MainDialog::m_posKvarhFlat),
    Text(1141, &MainDialog::m_negKvarhFlat),
    Text(1164, &MainDialog::m_posKwhValley),
    Text(1165, &MainDialog::m_negKwhValley),
    Text(1166, &MainDialog::m_posKvarhValley),
    Text(1167, &MainDialog::m_negKvarhValley),
    Text(1051, &MainDialog::m_u1H3),
    Text(1096, &MainDialog::m_i1H3),
    Text(1052, &MainDialog::m_u1H5),
    Text(1100, &MainDialog::m_i1H5),
    Text(1070, &MainDialog::m_u1H7),
    Text(1117, &MainDialog::m_i1H7),
    Text(1053, &MainDialog::m_u1H9),
    Text(1101, &MainDialog::m_i1H9),
    Text(1054, &MainDialog::m_u1H11),
    Text(1102, &MainDialog::m_i1H11),
    Text(1071, &MainDialog::m_u1H13),
    Text(1118, &MainDialog::m_i1H13),
    Text(1078, &MainDialog::m_u1H15),
    Text(1119, &MainDialog::m_i1H15),
    Text(1111, &MainDialog::m_u1H17),
    Text(1120, &MainDialog::m_i1H17),
    Text(1112, &MainDialog::m_u1H19),
    Text(1121, &MainDialog::m_i1H19),
    Text(1073, &MainDialog::m_regNumber),
    Text(1074, &MainDialog::m_regHex),
    Text(1093, &MainDialog::m_regName),
    Text(1075, &MainDialog::m_regReal),
    Text(1049, &MainDialog::m_wiringText),
    Text(1050, &MainDialog::m_ptRatio),
    Text(1055, &MainDialog::m_ctRatio),
    Text(1058, &MainDialog::m_yk1Enable),
    Text(1057, &MainDialog::m_yk1Delay),
    Text(1056, &MainDialog::m_yk1Hold),
    Text(1059, &MainDialog::m_yk1Setpoint),
    Text(1063, &MainDialog::m_yk2Enable),
    Text(1062, &MainDialog::m_yk2Delay),
    Text(1061, &MainDialog::m_yk2Hold),
    Text(1060, &MainDialog::m_yk2Setpoint),
    Text(1066, &MainDialog::m_yk3Enable),
    Text(1065, &MainDialog::m_yk3Delay),
    Text(1064, &MainDialog::m_yk3Hold),
    Text(1067, &MainDialog::m_yk3Setpoint),
    Text(1046, &MainDialog::m_yxBits),
    Text(1048, &MainDialog::m_ykBits),
    Text(1143, &MainDialog::m_ykChannel),
    Text(1145, &MainDialog::m_ykState),
    Text(1144, &MainDialog::m_ykConfirm),
    Text(1128, &MainDialog::m_meterDate),
    Text(1129, &MainDialog::m_meterTime),
    Text(1079, &MainDialog::m_eventDate),
    Text(1080, &MainDialog::m_eventTime),
    Integer(1081, &MainDialog::m_eventSeq),
    Text(1082, &MainDialog::m_eventName),
    Text(1083, &MainDialog::m_eventU1),
    Text(1084, &MainDialog::m_eventU2),
    Text(1085, &MainDialog::m_eventU3),
    Text(1113, &MainDialog::m_eventI1),
    Text(1114, &MainDialog::m_eventI2),
    Text(1122, &MainDialog::m_eventI3),
    Text(1123, &MainDialog::m_eventYx),
    Text(1124, &MainDialog::m_eventYk),
    Integer(1125, &MainDialog::m_eventOffset),
    Text(1159, &MainDialog::m_slaveSettings),
    Text(1087, &MainDialog::m_peakBegin1),
    Text(1086, &MainDialog::m_peakEnd1),
    Text(1090, &MainDialog::m_peakBegin2),
    Text(1089, &MainDialog::m_peakEnd2),
    Text(1094, &MainDialog::m_peakBegin3),
    Text(1091, &MainDialog::m_peakEnd3),
    Text(1115, &MainDialog::m_peakBegin4),
    Text(1095, &MainDialog::m_peakEnd4),
    Text(1131, &MainDialog::m_valleyBegin1),
    Text(1116, &MainDialog::m_valleyEnd1),
    Text(1133, &MainDialog::m_valleyBegin2),
    Text(1132, &MainDialog::m_valleyEnd2),
};
static_assert(std::size(kBindings) == 134, "131 texts and 3 integers");

// The message table: a notification of a control and the handler it runs.
using Handler = void (*)(MainDialog&, int controlId);

struct MessageRow {
  Notification code;
  std::initializer_list<int> ids;
  Handler handler;
};

const MessageRow kMessageTable[] = {
    {Notification::Clicked, {1092}, [](MainDialog& d, int) { d.OnResetCounters(); }},
    {Notification::Clicked, {1012}, [](MainDialog& d, int) { d.OnClearTxLog(); }},
    {Notification::Clicked, {1013}, [](MainDialog& d, int) { d.OnClearRxLog(); }},
    {Notification::Clicked, {1068}, [](MainDialog& d, int) { d.OnToggleAutoPoll(); }},
    {Notification::SetFocus,
     {1028, 1050, 1055, 1056, 1057, 1059, 1060, 1061, 1062, 1064, 1065, 1067, 1073, 1074,
      1075, 1086, 1087, 1089, 1090, 1091, 1094, 1095, 1115, 1116, 1131, 1132, 1133, 1159,
      1002, 1003, 1004, 1005, 1008, 1049, 1058, 1063, 1066, 1143, 1144, 1145},
     [](MainDialog& d, int) { d.OnFieldFocus(); }},
    {Notification::KillFocus,
     {1002, 1003, 1004, 1005, 1006, 1008},
     [](MainDialog& d, int) { d.OnCommSettingChanged(); }},
    {Notification::KillFocus, {1028}, [](MainDialog& d, int) { d.OnAddressChanged(); }},
    {Notification::Clicked, {1099}, [](MainDialog& d, int) { d.OnReadParameters(); }},
    {Notification::Clicked, {1088}, [](MainDialog& d, int) { d.OnWriteParameters(); }},
    {Notification::KillFocus,
     {1049, 1050, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067},
     [](MainDialog& d, int id) { d.OnParameterEdited(id); }},
    {Notification::Clicked, {1045}, [](MainDialog& d, int) { d.OnReadYx(); }},
    {Notification::Clicked, {1047}, [](MainDialog& d, int) { d.OnReadYk(); }},
    {Notification::Clicked, {1142}, [](MainDialog& d, int) { d.OnExecuteYk(); }},
    {Notification::Clicked, {1076}, [](MainDialog& d, int) { d.OnReadRegister(); }},
    {Notification::Clicked, {1077}, [](MainDialog& d, int) { d.OnWriteRegister(); }},
    {Notification::Clicked, {1097}, [](MainDialog& d, int) { d.OnNextRegister(); }},
    {Notification::Clicked, {1098}, [](MainDialog& d, int) { d.OnPreviousRegister(); }},
    {Notification::KillFocus,
     {1074, 1075},
     [](MainDialog& d, int id) { d.OnRegisterValueEdited(id); }},
    {Notification::KillFocus, {1073}, [](MainDialog& d, int) { d.OnRegisterNumberEdited(); }},
    {Notification::Clicked, {1127}, [](MainDialog& d, int) { d.OnCurrentEvent(); }},
    {Notification::Clicked, {1000}, [](MainDialog& d, int) { d.OnPreviousEvent(); }},
    {Notification::Clicked, {1126}, [](MainDialog& d, int) { d.OnNextEvent(); }},
    {Notification::Clicked, {1154}, [](MainDialog& d, int) { d.OnClearEvents(); }},
    {Notification::Clicked, {1130}, [](MainDialog& d, int) { d.OnSyncClock(); }},
    {Notification::KillFocus, {1159}, [](MainDialog& d, int) { d.OnSlaveSettingsEdited(); }},
    {Notification::KillFocus,
     {1086, 1087, 1089, 1090, 1091, 1094, 1095, 1115, 1116, 1131, 1132, 1133},
     [](MainDialog& d, int id) { d.OnPeriodEdited(id); }},
};

// The window still shows what the last refresh of binding k recorded: that refresh reached the
// field and nothing has changed its text since.
bool ShowsRecordedText(const MainDialog& dialog, size_t k) {
  const MainDialog::PushedField& pushed = dialog.m_pushed[k];
  return pushed.done && dialog.m_window.TextStamp(kBindings[k].id) == pushed.stamp;
}

}  // namespace

MainDialog::MainDialog(DialogWindow& window)
    : m_window(window), m_shownTexts(std::size(kBindings)), m_pushed(std::size(kBindings)) {
  m_link.m_notifyWnd = &window;
}

MainDialog::~MainDialog() = default;

void MainDialog::OnNotify(int controlId, Notification code) {
  // A refused entry holds back the click that took the focus from its field: the operator reads
  // the reason before anything goes out. Moving on to another field lets it go.
  // A button disabled by the focus change that came with its own click does not act: leaving a
  // field may have invalidated the parameter block the button would write.
  if (code == Notification::Clicked && !m_window.IsControlEnabled(controlId)) return;
  if (m_entryRefused) {
    if (code == Notification::Clicked) {
      m_entryRefused = false;
      return;
    }
    if (code == Notification::SetFocus && IsField(m_window.KindOf(controlId))) {
      m_entryRefused = false;
    }
  }
  Dispatch(controlId, code);
  // What a button's own handler refused has been answered by that press.
  if (code == Notification::Clicked) m_entryRefused = false;
}

void MainDialog::Dispatch(int controlId, Notification code) {
  for (const MessageRow& row : kMessageTable) {
    if (row.code != code) continue;
    for (int id : row.ids) {
      if (id == controlId) {
        row.handler(*this, controlId);
        return;
      }
    }
  }
}

void MainDialog::OnPostedMessage(uint32_t message, int32_t wParam, int32_t lParam) {
  if (message == WM_LINK_DONE) OnLinkDone(wParam, lParam);
}

void MainDialog::OnTimerMessage(int timerId) { OnTimer(timerId); }

bool MainDialog::CaptureFields() {
  for (size_t k = 0; k < std::size(kBindings); ++k) {
    const FieldBinding& field = kBindings[k];
    // A field nothing has changed since the last refresh holds the text recorded then.
    const bool recorded = ShowsRecordedText(*this, k);
    if (field.text != nullptr) {
      if (recorded) {
        this->*field.text = m_shownTexts[k];
      } else {
        CaptureText(m_window, field.id, this->*field.text);
      }
    } else if (recorded ? !CaptureInteger(m_window, m_shownTexts[k], this->*field.integer)
                        : !CaptureInteger(m_window, field.id, this->*field.integer)) {
      return false;
    }
  }
  return true;
}

void MainDialog::PushFields() {
  const int focused = m_window.FocusedControl();
  for (size_t k = 0; k < std::size(kBindings); ++k) {
    const FieldBinding& field = kBindings[k];
    const std::string text =
        field.text != nullptr ? this->*field.text : IntegerText(this->*field.integer);
    // The same text given again to a field that nothing has changed since would change nothing:
    // the window and the record stay as they are. A refresh then costs only what changed.
    if (text == m_pushed[k].text && ShowsRecordedText(*this, k)) continue;
    // A reply that arrives while the operator types must not overwrite the typing.
    if (field.id == focused && m_window.GetText(field.id) != m_shownTexts[k]) continue;
    if (field.text != nullptr) {
      RefreshText(m_window, field.id, text);
    } else {
      RefreshInteger(m_window, field.id, this->*field.integer);
    }
    m_shownTexts[k] = m_window.GetText(field.id);
    m_pushed[k] = {text, m_window.TextStamp(field.id), true};
  }
}

const std::string& MainDialog::ShownText(int controlId) const {
  static const std::string kNone;
  for (size_t k = 0; k < std::size(kBindings); ++k) {
    if (kBindings[k].id == controlId) return m_shownTexts[k];
  }
  return kNone;
}

bool MainDialog::FieldUnchanged(int controlId) {
  const std::string* text = TextMember(controlId);
  return text != nullptr && *text == ShownText(controlId);
}

std::string* MainDialog::TextMember(int controlId) {
  for (const FieldBinding& field : kBindings) {
    if (field.id == controlId && field.text != nullptr) return &(this->*field.text);
  }
  return nullptr;
}

int32_t* MainDialog::IntegerMember(int controlId) {
  for (const FieldBinding& field : kBindings) {
    if (field.id == controlId && field.integer != nullptr) return &(this->*field.integer);
  }
  return nullptr;
}
