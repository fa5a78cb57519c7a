#include "console/main_dialog.h"

#include <array>
#include <iterator>

#include "console/record_keeper.h"
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

// Bound in the order of the template, so a capture stopped by the slave-address field
// (IDC_SLAVE_ADDRESS) leaves every field after it, the event fields included, as it was.
constexpr FieldBinding kBindings[] = {
    Text(IDC_TX_LOG, &MainDialog::m_txLog),
    Text(IDC_RX_LOG, &MainDialog::m_rxLog),
    Text(IDC_STATUS, &MainDialog::m_status),
    Text(IDC_COUNTS, &MainDialog::m_counts),
    Text(IDC_PROTOCOL, &MainDialog::m_protocolText),
    Integer(IDC_SLAVE_ADDRESS, &MainDialog::m_addressField),
    Text(IDC_PORT, &MainDialog::m_portText),
    Text(IDC_BAUD, &MainDialog::m_baudText),
    Text(IDC_PARITY, &MainDialog::m_parityText),
    Text(IDC_DATA_BITS, &MainDialog::m_dataBitsText),
    Text(IDC_STOP_BITS, &MainDialog::m_stopBitsText),
    Text(IDC_COMM_SUMMARY, &MainDialog::m_commSummary),
    Text(IDC_UAN, &MainDialog::m_uan),
    Text(IDC_UBN, &MainDialog::m_ubn),
    Text(IDC_UCN, &MainDialog::m_ucn),
    Text(IDC_FREQ, &MainDialog::m_freq),
    Text(IDC_IAN, &MainDialog::m_ian),
    Text(IDC_IBN, &MainDialog::m_ibn),
    Text(IDC_ICN, &MainDialog::m_icn),
    Text(IDC_I0N, &MainDialog::m_i0n),
    Text(IDC_UCA, &MainDialog::m_uca),
    Text(IDC_UAB, &MainDialog::m_uab),
    Text(IDC_UBC, &MainDialog::m_ubc),
    Text(IDC_UAV, &MainDialog::m_uav),
    Text(IDC_PAN, &MainDialog::m_pan),
    Text(IDC_PBN, &MainDialog::m_pbn),
    Text(IDC_PCN, &MainDialog::m_pcn),
    Text(IDC_PSUM, &MainDialog::m_psum),
    Text(IDC_QAN, &MainDialog::m_qan),
    Text(IDC_QBN, &MainDialog::m_qbn),
    Text(IDC_QCN, &MainDialog::m_qcn),
    Text(IDC_QSUM, &MainDialog::m_qsum),
    Text(IDC_PFAN, &MainDialog::m_pfan),
    Text(IDC_PFBN, &MainDialog::m_pfbn),
    Text(IDC_PFCN, &MainDialog::m_pfcn),
    Text(IDC_PFAV, &MainDialog::m_pfav),
    Text(IDC_SAN, &MainDialog::m_san),
    Text(IDC_SBN, &MainDialog::m_sbn),
    Text(IDC_SCN, &MainDialog::m_scn),
    Text(IDC_SSUM, &MainDialog::m_ssum),
    Text(IDC_ARG_UA, &MainDialog::m_argUa),
    Text(IDC_ARG_UB, &MainDialog::m_argUb),
    Text(IDC_ARG_UC, &MainDialog::m_argUc),
    Text(IDC_VPM10, &MainDialog::m_vpm10),
    Text(IDC_ARG_IA, &MainDialog::m_argIa),
    Text(IDC_ARG_IB, &MainDialog::m_argIb),
    Text(IDC_ARG_IC, &MainDialog::m_argIc),
    Text(IDC_IAV, &MainDialog::m_iav),
    Text(IDC_POS_KWH_TOTAL, &MainDialog::m_posKwhTotal),
    Text(IDC_NEG_KWH_TOTAL, &MainDialog::m_negKwhTotal),
    Text(IDC_POS_KVARH_TOTAL, &MainDialog::m_posKvarhTotal),
    Text(IDC_NEG_KVARH_TOTAL, &MainDialog::m_negKvarhTotal),
    Text(IDC_POS_KWH_PEAK, &MainDialog::m_posKwhPeak),
    Text(IDC_NEG_KWH_PEAK, &MainDialog::m_negKwhPeak),
    Text(IDC_POS_KVARH_PEAK, &MainDialog::m_posKvarhPeak),
    Text(IDC_NEG_KVARH_PEAK, &MainDialog::m_negKvarhPeak),
    Text(IDC_POS_KWH_FLAT, &MainDialog::m_posKwhFlat),
    Text(IDC_NEG_KWH_FLAT, &MainDialog::m_negKwhFlat),
    Text(IDC_POS_KVARH_FLAT, &MainDialog::m_posKvarhFlat),
    Text(IDC_NEG_KVARH_FLAT, &MainDialog::m_negKvarhFlat),
    Text(IDC_POS_KWH_VALLEY, &MainDialog::m_posKwhValley),
    Text(IDC_NEG_KWH_VALLEY, &MainDialog::m_negKwhValley),
    Text(IDC_POS_KVARH_VALLEY, &MainDialog::m_posKvarhValley),
    Text(IDC_NEG_KVARH_VALLEY, &MainDialog::m_negKvarhValley),
    Text(IDC_U1_H3, &MainDialog::m_u1H3),
    Text(IDC_I1_H3, &MainDialog::m_i1H3),
    Text(IDC_U1_H5, &MainDialog::m_u1H5),
    Text(IDC_I1_H5, &MainDialog::m_i1H5),
    Text(IDC_U1_H7, &MainDialog::m_u1H7),
    Text(IDC_I1_H7, &MainDialog::m_i1H7),
    Text(IDC_U1_H9, &MainDialog::m_u1H9),
    Text(IDC_I1_H9, &MainDialog::m_i1H9),
    Text(IDC_U1_H11, &MainDialog::m_u1H11),
    Text(IDC_I1_H11, &MainDialog::m_i1H11),
    Text(IDC_U1_H13, &MainDialog::m_u1H13),
    Text(IDC_I1_H13, &MainDialog::m_i1H13),
    Text(IDC_U1_H15, &MainDialog::m_u1H15),
    Text(IDC_I1_H15, &MainDialog::m_i1H15),
    Text(IDC_U1_H17, &MainDialog::m_u1H17),
    Text(IDC_I1_H17, &MainDialog::m_i1H17),
    Text(IDC_U1_H19, &MainDialog::m_u1H19),
    Text(IDC_I1_H19, &MainDialog::m_i1H19),
    Text(IDC_REG_NUMBER, &MainDialog::m_regNumber),
    Text(IDC_REG_HEX, &MainDialog::m_regHex),
    Text(IDC_REG_NAME, &MainDialog::m_regName),
    Text(IDC_REG_REAL, &MainDialog::m_regReal),
    Text(IDC_WIRING, &MainDialog::m_wiringText),
    Text(IDC_PT, &MainDialog::m_ptRatio),
    Text(IDC_CT, &MainDialog::m_ctRatio),
    Text(IDC_YK1_ENABLE, &MainDialog::m_yk1Enable),
    Text(IDC_YK1_DELAY, &MainDialog::m_yk1Delay),
    Text(IDC_YK1_HOLD, &MainDialog::m_yk1Hold),
    Text(IDC_YK1_SETPOINT, &MainDialog::m_yk1Setpoint),
    Text(IDC_YK2_ENABLE, &MainDialog::m_yk2Enable),
    Text(IDC_YK2_DELAY, &MainDialog::m_yk2Delay),
    Text(IDC_YK2_HOLD, &MainDialog::m_yk2Hold),
    Text(IDC_YK2_SETPOINT, &MainDialog::m_yk2Setpoint),
    Text(IDC_YK3_ENABLE, &MainDialog::m_yk3Enable),
    Text(IDC_YK3_DELAY, &MainDialog::m_yk3Delay),
    Text(IDC_YK3_HOLD, &MainDialog::m_yk3Hold),
    Text(IDC_YK3_SETPOINT, &MainDialog::m_yk3Setpoint),
    Text(IDC_YX_BITS, &MainDialog::m_yxBits),
    Text(IDC_YK_BITS, &MainDialog::m_ykBits),
    Text(IDC_YK_CHANNEL, &MainDialog::m_ykChannel),
    Text(IDC_YK_STATE, &MainDialog::m_ykState),
    Text(IDC_YK_CONFIRM, &MainDialog::m_ykConfirm),
    Text(IDC_METER_DATE, &MainDialog::m_meterDate),
    Text(IDC_METER_TIME, &MainDialog::m_meterTime),
    Text(IDC_EVENT_DATE, &MainDialog::m_eventDate),
    Text(IDC_EVENT_TIME, &MainDialog::m_eventTime),
    Integer(IDC_EVENT_SEQ, &MainDialog::m_eventSeq),
    Text(IDC_EVENT_NAME, &MainDialog::m_eventName),
    Text(IDC_EVENT_U1, &MainDialog::m_eventU1),
    Text(IDC_EVENT_U2, &MainDialog::m_eventU2),
    Text(IDC_EVENT_U3, &MainDialog::m_eventU3),
    Text(IDC_EVENT_I1, &MainDialog::m_eventI1),
    Text(IDC_EVENT_I2, &MainDialog::m_eventI2),
    Text(IDC_EVENT_I3, &MainDialog::m_eventI3),
    Text(IDC_EVENT_YX, &MainDialog::m_eventYx),
    Text(IDC_EVENT_YK, &MainDialog::m_eventYk),
    Integer(IDC_EVENT_OFFSET, &MainDialog::m_eventOffset),
    Text(IDC_SLAVE_SETTINGS, &MainDialog::m_slaveSettings),
    Text(IDC_PEAK_BEGIN1, &MainDialog::m_peakBegin1),
    Text(IDC_PEAK_END1, &MainDialog::m_peakEnd1),
    Text(IDC_PEAK_BEGIN2, &MainDialog::m_peakBegin2),
    Text(IDC_PEAK_END2, &MainDialog::m_peakEnd2),
    Text(IDC_PEAK_BEGIN3, &MainDialog::m_peakBegin3),
    Text(IDC_PEAK_END3, &MainDialog::m_peakEnd3),
    Text(IDC_PEAK_BEGIN4, &MainDialog::m_peakBegin4),
    Text(IDC_PEAK_END4, &MainDialog::m_peakEnd4),
    Text(IDC_VALLEY_BEGIN1, &MainDialog::m_valleyBegin1),
    Text(IDC_VALLEY_END1, &MainDialog::m_valleyEnd1),
    Text(IDC_VALLEY_BEGIN2, &MainDialog::m_valleyBegin2),
    Text(IDC_VALLEY_END2, &MainDialog::m_valleyEnd2),
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
    {Notification::Clicked, {IDC_RESET_COUNTS}, [](MainDialog& d, int) { d.OnResetCounters(); }},
    {Notification::Clicked, {IDC_CLEAR_TX_LOG}, [](MainDialog& d, int) { d.OnClearTxLog(); }},
    {Notification::Clicked, {IDC_CLEAR_RX_LOG}, [](MainDialog& d, int) { d.OnClearRxLog(); }},
    {Notification::Clicked, {IDC_AUTO_POLL}, [](MainDialog& d, int) { d.OnToggleAutoPoll(); }},
    {Notification::SetFocus,
     {IDC_SLAVE_ADDRESS,  IDC_PT,          IDC_CT,
      IDC_YK1_HOLD,       IDC_YK1_DELAY,   IDC_YK1_SETPOINT,
      IDC_YK2_SETPOINT,   IDC_YK2_HOLD,    IDC_YK2_DELAY,
      IDC_YK3_HOLD,       IDC_YK3_DELAY,   IDC_YK3_SETPOINT,
      IDC_REG_NUMBER,     IDC_REG_HEX,     IDC_REG_REAL,
      IDC_PEAK_END1,      IDC_PEAK_BEGIN1, IDC_PEAK_END2,
      IDC_PEAK_BEGIN2,    IDC_PEAK_END3,   IDC_PEAK_BEGIN3,
      IDC_PEAK_END4,      IDC_PEAK_BEGIN4, IDC_VALLEY_END1,
      IDC_VALLEY_BEGIN1,  IDC_VALLEY_END2, IDC_VALLEY_BEGIN2,
      IDC_SLAVE_SETTINGS, IDC_PORT,        IDC_BAUD,
      IDC_PARITY,         IDC_DATA_BITS,   IDC_PROTOCOL,
      IDC_WIRING,         IDC_YK1_ENABLE,  IDC_YK2_ENABLE,
      IDC_YK3_ENABLE,     IDC_YK_CHANNEL,  IDC_YK_CONFIRM,
      IDC_YK_STATE},
     [](MainDialog& d, int) { d.OnFieldFocus(); }},
    {Notification::KillFocus,
     {IDC_PORT, IDC_BAUD, IDC_PARITY, IDC_DATA_BITS, IDC_STOP_BITS, IDC_PROTOCOL},
     [](MainDialog& d, int) { d.OnCommSettingChanged(); }},
    {Notification::DropDown, {IDC_PORT}, [](MainDialog& d, int) { d.OnPortListOpening(); }},
    {Notification::KillFocus,
     {IDC_SLAVE_ADDRESS},
     [](MainDialog& d, int) { d.OnAddressChanged(); }},
    {Notification::Clicked, {IDC_READ_PARAMS}, [](MainDialog& d, int) { d.OnReadParameters(); }},
    {Notification::Clicked, {IDC_WRITE_PARAMS}, [](MainDialog& d, int) { d.OnWriteParameters(); }},
    {Notification::KillFocus,
     {IDC_WIRING, IDC_PT, IDC_CT, IDC_YK1_HOLD, IDC_YK1_DELAY, IDC_YK1_ENABLE, IDC_YK1_SETPOINT,
      IDC_YK2_SETPOINT, IDC_YK2_HOLD, IDC_YK2_DELAY, IDC_YK2_ENABLE, IDC_YK3_HOLD, IDC_YK3_DELAY,
      IDC_YK3_ENABLE, IDC_YK3_SETPOINT},
     [](MainDialog& d, int id) { d.OnParameterEdited(id); }},
    {Notification::Clicked, {IDC_READ_YX}, [](MainDialog& d, int) { d.OnReadYx(); }},
    {Notification::Clicked, {IDC_READ_YK}, [](MainDialog& d, int) { d.OnReadYk(); }},
    {Notification::Clicked, {IDC_EXECUTE_YK}, [](MainDialog& d, int) { d.OnExecuteYk(); }},
    {Notification::Clicked, {IDC_READ_REGISTER}, [](MainDialog& d, int) { d.OnReadRegister(); }},
    {Notification::Clicked, {IDC_WRITE_REGISTER}, [](MainDialog& d, int) { d.OnWriteRegister(); }},
    {Notification::Clicked, {IDC_NEXT_REGISTER}, [](MainDialog& d, int) { d.OnNextRegister(); }},
    {Notification::Clicked,
     {IDC_PREV_REGISTER},
     [](MainDialog& d, int) { d.OnPreviousRegister(); }},
    {Notification::KillFocus,
     {IDC_REG_HEX, IDC_REG_REAL},
     [](MainDialog& d, int id) { d.OnRegisterValueEdited(id); }},
    {Notification::KillFocus,
     {IDC_REG_NUMBER},
     [](MainDialog& d, int) { d.OnRegisterNumberEdited(); }},
    {Notification::Clicked, {IDC_CURRENT_EVENT}, [](MainDialog& d, int) { d.OnCurrentEvent(); }},
    {Notification::Clicked, {IDC_PREV_EVENT}, [](MainDialog& d, int) { d.OnPreviousEvent(); }},
    {Notification::Clicked, {IDC_NEXT_EVENT}, [](MainDialog& d, int) { d.OnNextEvent(); }},
    {Notification::Clicked, {IDC_CLEAR_EVENTS}, [](MainDialog& d, int) { d.OnClearEvents(); }},
    {Notification::Clicked, {IDC_SYNC_CLOCK}, [](MainDialog& d, int) { d.OnSyncClock(); }},
    {Notification::KillFocus,
     {IDC_SLAVE_SETTINGS},
     [](MainDialog& d, int) { d.OnSlaveSettingsEdited(); }},
    {Notification::KillFocus,
     {IDC_PEAK_END1, IDC_PEAK_BEGIN1, IDC_PEAK_END2, IDC_PEAK_BEGIN2, IDC_PEAK_END3,
      IDC_PEAK_BEGIN3, IDC_PEAK_END4, IDC_PEAK_BEGIN4, IDC_VALLEY_END1, IDC_VALLEY_BEGIN1,
      IDC_VALLEY_END2, IDC_VALLEY_BEGIN2},
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
    : m_window(window),
      m_shownTexts(std::size(kBindings)),
      m_pushed(std::size(kBindings)),
      m_typedOver(std::size(kBindings), false),
      m_editorWaits(std::size(kBindings), false) {
  m_link.m_notifyWnd = &window;
  m_records = std::make_unique<RecordKeeper>(*this);
  m_link.m_observer = m_records.get();
}

// The records end before the link: nothing is told to them any more.
MainDialog::~MainDialog() { m_link.m_observer = nullptr; }

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
    std::string integerText;
    const std::string& text = field.text != nullptr
                                  ? this->*field.text
                                  : (integerText = IntegerText(this->*field.integer));
    // The same text given again to a field that nothing has changed since would change nothing:
    // the window and the record stay as they are. A refresh then costs only what changed.
    if (text == m_pushed[k].text && ShowsRecordedText(*this, k)) continue;
    // A reply that arrives while the operator types must not overwrite the typing. When it
    // brought another value, the field counts as edited from then on: leaving it stores what it
    // shows, even the old text typed again.
    const bool typing = (field.id == focused && field.id != m_editorRunning) || m_editorWaits[k];
    if (typing && m_window.GetText(field.id) != m_shownTexts[k]) {
      if (text != m_pushed[k].text) m_typedOver[k] = true;
      continue;
    }
    m_typedOver[k] = false;
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
  for (size_t k = 0; k < std::size(kBindings); ++k) {
    if (kBindings[k].id != controlId) continue;
    const std::string* text = TextMember(controlId);
    return text != nullptr && !m_typedOver[k] && *text == m_shownTexts[k];
  }
  return false;
}

// The editors run in binding order. Each one ends with a refresh, which must not overwrite the
// text of a field whose editor is still to run: those fields wait as a focused field does.
bool MainDialog::RunPendingEditors() {
  std::vector<size_t> pending;
  for (size_t k = 0; k < std::size(kBindings); ++k) {
    const int id = kBindings[k].id;
    if (!HasHandler(id, Notification::KillFocus)) continue;
    const bool typed = !ShowsRecordedText(*this, k) && m_window.GetText(id) != m_shownTexts[k];
    if (!typed && !m_typedOver[k]) continue;
    pending.push_back(k);
    m_editorWaits[k] = true;
  }
  bool accepted = true;
  for (size_t k : pending) {
    m_editorWaits[k] = false;
    if (!accepted) continue;
    m_editorRunning = kBindings[k].id;
    Dispatch(kBindings[k].id, Notification::KillFocus);
    m_editorRunning = 0;
    accepted = !m_entryRefused;
  }
  return accepted;
}

bool MainDialog::HasHandler(int controlId, Notification code) const {
  for (const MessageRow& row : kMessageTable) {
    if (row.code != code) continue;
    for (int id : row.ids) {
      if (id == controlId) return true;
    }
  }
  return false;
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
