#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/host_settings.h"
#include "console/line_watch.h"
#include "console/write_check.h"
#include "device/register_table.h"
#include "device/text_number.h"
#include "link/modbus_link.h"
#include "link/port_catalog.h"
#include "window/dialog_window.h"

class RecordKeeper;

// The computer's local date and time, as the clock command sends it.
struct LocalTime {
  int year, month, day, hour, minute, second;
};

// The console's one dialog: it owns the link, the device image, the counters and one member per
// field of the window for the whole run. Its handlers run one at a time on the window's thread.
class MainDialog : public DialogHandler {
 public:
  explicit MainDialog(DialogWindow& window);
  virtual ~MainDialog();
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // DialogHandler: the message table and the window's default button.
  void OnNotify(int controlId, Notification code) override;
  void OnTimerMessage(int timerId) override;
  void OnPostedMessage(uint32_t message, int32_t wParam, int32_t lParam) override;
  void OnOK() override;
  void OnSysCommand(uint32_t command) override;
  void OnMenuCommand(int commandId) override;
  // Runs the handler the message table gives the notification, if any.
  void Dispatch(int controlId, Notification code);

  // Start-up and shutdown (console_app.cpp). OnInitDialog returns false when timer 1 could not
  // be created: the caller then ends the process with exit code -1.
  bool OnInitDialog();
  void OnDestroy();
  // The host settings of the last run into the link, before the port is first opened.
  void ApplyStartSettings(const HostSettings& settings);
  HostSettings HostSettingsInUse() const;
  void LoadRegisterTable();

  // Data exchange between the fields and their members (main_dialog.cpp).
  // Window to members; false when an integer field stopped the capture.
  bool CaptureFields();
  // Members to window, and the record of what each field then shows. The field the operator is
  // typing in (it holds the focus and its text differs from the record) is left alone.
  void PushFields();
  std::string* TextMember(int controlId);  // nullptr when the control binds no text
  int32_t* IntegerMember(int controlId);   // nullptr when the control binds no integer
  // What the field showed after the last refresh, read back from the window ("" before any).
  const std::string& ShownText(int controlId) const;
  // The captured text of the field is what the last refresh showed and no refresh was held back
  // from it meanwhile: the operator typed nothing there, so its editor stores nothing (a shown
  // text may be coarser than the register's step).
  bool FieldUnchanged(int controlId);
  // The second line of defence of every command that sends: the editor of each field whose text
  // changed since the last refresh without its focus being left (a menu takes no focus) runs
  // first. False when one of them refused what its field holds: the command then sends nothing.
  bool RunPendingEditors();
  // RunPendingEditors for a command; after a refusal the display and buttons are brought up to
  // date and false tells the command to send nothing.
  bool EditorsAllowSend();
  bool HasHandler(int controlId, Notification code) const;

  // Refusing operator input (console/field_entry.cpp). The reason goes to 提示信息 and the click
  // that took the focus away from the refused field does nothing, so nothing is sent.
  void RefuseEntry(const std::string& reason);
  // True when the outcome is an accepted number. A number that does not fit is refused with the
  // range [low, high] in the destination's own form; text after the number is refused as not a
  // number; a text with no number is let pass silently (the destination keeps its value).
  bool TakeEntry(Entry outcome, const std::string& low, const std::string& high);
  // A decimal typed for a 16-bit register counted in steps of `scale`: the raw value, or nullopt
  // after a refusal whose range is printed in the field's own format.
  std::optional<uint16_t> TakeScaledEntry(const std::string& text, double scale,
                                          const char* format);
  // A change of slave address, port or line setting, or a reopen after the port was closed: the
  // parameter block read before may belong to another meter, so it must be read again before it
  // can be written back.
  void InvalidateParameters();
  // The reply in the receive buffer answers a request written to the meter and line in use now:
  // nothing the operator did since (address, framing, port, line, a reopen) changed where a
  // request would go. Only such a reply may go into the device image.
  bool ReplyFromMeterInUse() const;

  // Settings panel (settings_panel.cpp).
  void CaptureControls();
  bool ApplyHostSettings();

  // The port list (port_choice.cpp).
  void RefreshPortList();
  void OnPortListOpening();
  // The list's name of a port ("COM3:", an adapter's name, marked "(已拔出)" when it has gone).
  std::string PortNameOf(const std::string& id) const;
  // The port in use as messages name it: "COM3", or the adapter's name.
  std::string PortLabel() const;
  std::string AdapterLabel(const std::string& id) const;
  std::string PortIdOfName(const std::string& name) const;  // "" for no entry of that name
  // The entry of that name becomes the link's port; false when no entry has that name.
  bool ApplyPortChoice(const std::string& shownName);
  bool ApplyPortId(const std::string& id);  // "COM3", or an adapter's path

  // Transaction controller (transaction_controller.cpp).
  void OnTimer(int timerId);
  int32_t OnLinkDone(int32_t result, int32_t timedOut);
  void LogTxFrame();
  // After a request: logged when its frame reached the line, else 提示信息 says why nothing went
  // out and the display is refreshed.
  void LogSend(bool sent);
  // Why a request did not go out: the port is closed (and why), or the line refused the frame.
  std::string NotSentText() const;
  void UpdateControlStates();
  void OnResetCounters();
  void OnClearTxLog();
  void OnClearRxLog();
  void OnToggleAutoPoll();
  void OnFieldFocus();
  void OnCommSettingChanged();
  void OnAddressChanged();

  // The menu bar (menu_commands.cpp).
  void OnScanBus();

  // Parameter profiles (profile_commands.cpp): 文件 → "参数另存为…" and "载入参数…".
  void OnSaveProfile();
  void OnLoadProfile();
  // The parameter block as the image holds it now; as the meter was last read to hold it
  // (m_readValues, the image where a register was never read); whether the image holds edits
  // not yet written.
  std::array<uint16_t, kParameterCount> ImageBlock() const;
  std::array<uint16_t, kParameterCount> MeterBlock() const;
  bool HoldsUnwrittenEdits() const;

  // Verified writes (verified_writes.cpp). After a write went out, its echo is followed by a
  // read-back of what was written; CheckWrite, run by the completion handler, takes the next
  // step and says in 提示信息 whether the meter holds what was written. True when it sent the
  // read-back.
  void ExpectReadBack(WriteCheck::Kind kind, uint16_t start, const uint16_t* values, int count);
  bool CheckWrite(bool answered);

  // Line watch (line_watch.cpp): reasons, a lost device and the retries that bring it back.
  void WatchLine();
  void ReportOpen();
  void OnLineLost();
  void OnLineBack();
  bool ShouldShowLineError(const LineError& error) const;
  // Says something in 提示信息 outside any operator handler (the line, the records).
  void ShowNotice(const std::string& text);

  // Reply decoding (device/reply_decoder.cpp).
  void DecodeReply();
  // Whether the good-CRC reply in the receive buffer answers the last request built: a register
  // reply must carry twice the quantity asked for (one register for a single read), an event
  // reply its whole record, a bit reply at least one data byte.
  bool ReplyFitsRequest() const;
  std::string EventName(const uint8_t* record) const;
  std::string YxBitsText(uint8_t bits) const;
  std::string YkBitsText(uint8_t bits) const;
  uint16_t SwapBytes(uint16_t value) const;

  // Display refresh (device/display_refresh.cpp).
  void RefreshDisplay();
  std::string FormatPeriod(uint16_t minutes) const;
  // The port as the list names it and the line settings, or " 打不开 ": the settings summary.
  std::string LineSummary() const;

  // Parameters (commands/parameters.cpp).
  void OnReadParameters();
  void ReadParameterBlock();  // the read itself, also the first transaction of every run
  void OnWriteParameters();
  // The block has been read from the meter now addressed; else 提示信息 says "请先读参数".
  bool BlockReadFromMeterInUse();
  void OnParameterEdited(int controlId);

  // Remote signalling and control (commands/remote_control.cpp).
  void OnReadYx();
  void OnReadYk();
  void OnExecuteYk();

  // Register browser (commands/register_browser.cpp).
  int32_t FindEntry(uint16_t address) const;
  void OnReadRegister();
  void OnWriteRegister();
  void OnNextRegister();
  void OnPreviousRegister();
  void OnRegisterValueEdited(int controlId);
  void OnRegisterNumberEdited();

  // Event browser (commands/event_browser.cpp).
  void OnCurrentEvent();
  void OnPreviousEvent();
  void OnNextEvent();
  void OnClearEvents();
  void SendClearEvents();  // steps 4 to 7 of the clear, also run when a held-back clear goes out

  // Clock, periods and the meter's serial settings (commands/clock_settings.cpp).
  void OnSyncClock();
  void OnPeriodEdited(int controlId);
  void OnSlaveSettingsEdited();
  // Minutes after midnight, 0:00 to 24:00; no number when the text holds no hours.
  Entered<int32_t> ParsePeriod(const std::string& text) const;
  void ParseSlaveSettings(const std::string& text);

  // The polling rotation lives for the whole process, not per dialog.
  static uint8_t s_pollBlock;

  DialogWindow& m_window;

  // ---- State, in the dialog's order ----
  ModbusLink m_link;
  int32_t m_timerId = 0;
  RegisterDescriptor m_regTable[kRegisterCount] = {};
  int32_t m_rxCount = 0;
  int32_t m_txCount = 0;
  int32_t m_autoPoll = 0;
  int32_t m_paramsValid = 0;
  int32_t m_regIndex = 0;
  std::string m_modulePath;

  // Counters, status and frame logs.
  std::string m_counts;  // IDC_COUNTS
  std::string m_status;  // IDC_STATUS
  std::string m_txLog;   // IDC_TX_LOG
  std::string m_rxLog;   // IDC_RX_LOG

  // Host communication settings.
  std::string m_protocolText;  // IDC_PROTOCOL
  int32_t m_addressField = 0;  // IDC_SLAVE_ADDRESS
  std::string m_portText;      // IDC_PORT
  std::string m_baudText;      // IDC_BAUD
  std::string m_parityText;    // IDC_PARITY
  std::string m_dataBitsText;  // IDC_DATA_BITS
  std::string m_stopBitsText;  // IDC_STOP_BITS
  std::string m_commSummary;   // IDC_COMM_SUMMARY

  // Real-time data.
  std::string m_uan, m_ubn, m_ucn, m_freq;         // IDC_UAN IDC_UBN IDC_UCN IDC_FREQ
  std::string m_ian, m_ibn, m_icn, m_i0n;          // IDC_IAN IDC_IBN IDC_ICN IDC_I0N
  std::string m_uca, m_uab, m_ubc, m_uav;          // IDC_UCA IDC_UAB IDC_UBC IDC_UAV
  std::string m_pan, m_pbn, m_pcn, m_psum;         // IDC_PAN IDC_PBN IDC_PCN IDC_PSUM
  std::string m_qan, m_qbn, m_qcn, m_qsum;         // IDC_QAN IDC_QBN IDC_QCN IDC_QSUM
  std::string m_pfan, m_pfbn, m_pfcn, m_pfav;      // IDC_PFAN IDC_PFBN IDC_PFCN IDC_PFAV
  std::string m_san, m_sbn, m_scn, m_ssum;         // IDC_SAN IDC_SBN IDC_SCN IDC_SSUM
  std::string m_argUa, m_argUb, m_argUc, m_vpm10;  // IDC_ARG_UA IDC_ARG_UB IDC_ARG_UC IDC_VPM10
  std::string m_argIa, m_argIb, m_argIc, m_iav;    // IDC_ARG_IA IDC_ARG_IB IDC_ARG_IC IDC_IAV

  // Energy: +kWh, -kWh, +kvarh, -kvarh of the total, peak, flat and valley tariffs.
  std::string m_posKwhTotal, m_negKwhTotal, m_posKvarhTotal,
      m_negKvarhTotal;  // IDC_POS_KWH_TOTAL-IDC_NEG_KVARH_TOTAL
  std::string m_posKwhPeak, m_negKwhPeak, m_posKvarhPeak,
      m_negKvarhPeak;  // IDC_POS_KWH_PEAK-IDC_NEG_KVARH_PEAK
  std::string m_posKwhFlat, m_negKwhFlat, m_posKvarhFlat,
      m_negKvarhFlat;  // IDC_POS_KWH_FLAT-IDC_NEG_KVARH_FLAT
  std::string m_posKwhValley, m_negKwhValley, m_posKvarhValley,
      m_negKvarhValley;  // IDC_POS_KWH_VALLEY-IDC_NEG_KVARH_VALLEY

  // Harmonic content of the phase-A voltage (U1) and current (I1), orders 3 to 19.
  std::string m_u1H3, m_u1H5, m_u1H7, m_u1H9, m_u1H11, m_u1H13, m_u1H15, m_u1H17, m_u1H19;
  std::string m_i1H3, m_i1H5, m_i1H7, m_i1H9, m_i1H11, m_i1H13, m_i1H15, m_i1H17, m_i1H19;

  // Register browser.
  std::string m_regNumber;  // IDC_REG_NUMBER
  std::string m_regHex;     // IDC_REG_HEX
  std::string m_regName;    // IDC_REG_NAME
  std::string m_regReal;    // IDC_REG_REAL

  // Parameters: wiring, PT, CT and the protection grid (enable, delay, hold time, setpoint).
  std::string m_wiringText;  // IDC_WIRING
  std::string m_ptRatio;     // IDC_PT
  std::string m_ctRatio;     // IDC_CT
  std::string m_yk1Enable, m_yk1Delay, m_yk1Hold,
      m_yk1Setpoint;  // IDC_YK1_ENABLE IDC_YK1_DELAY IDC_YK1_HOLD IDC_YK1_SETPOINT
  std::string m_yk2Enable, m_yk2Delay, m_yk2Hold,
      m_yk2Setpoint;  // IDC_YK2_ENABLE IDC_YK2_DELAY IDC_YK2_HOLD IDC_YK2_SETPOINT
  std::string m_yk3Enable, m_yk3Delay, m_yk3Hold,
      m_yk3Setpoint;  // IDC_YK3_ENABLE IDC_YK3_DELAY IDC_YK3_HOLD IDC_YK3_SETPOINT

  // Remote signalling and control.
  std::string m_yxBits;     // IDC_YX_BITS
  std::string m_ykBits;     // IDC_YK_BITS
  std::string m_ykChannel;  // IDC_YK_CHANNEL
  std::string m_ykState;    // IDC_YK_STATE
  std::string m_ykConfirm;  // IDC_YK_CONFIRM

  // The meter's clock.
  std::string m_meterDate;  // IDC_METER_DATE
  std::string m_meterTime;  // IDC_METER_TIME

  // Event browser.
  std::string m_eventDate;                      // IDC_EVENT_DATE
  std::string m_eventTime;                      // IDC_EVENT_TIME
  int32_t m_eventSeq = 0;                       // IDC_EVENT_SEQ
  std::string m_eventName;                      // IDC_EVENT_NAME
  std::string m_eventU1, m_eventU2, m_eventU3;  // IDC_EVENT_U1 IDC_EVENT_U2 IDC_EVENT_U3
  std::string m_eventI1, m_eventI2, m_eventI3;  // IDC_EVENT_I1 IDC_EVENT_I2 IDC_EVENT_I3
  std::string m_eventYx;                        // IDC_EVENT_YX
  std::string m_eventYk;                        // IDC_EVENT_YK
  int32_t m_eventOffset = 0;                    // IDC_EVENT_OFFSET

  // The meter's own serial settings.
  std::string m_slaveSettings;  // IDC_SLAVE_SETTINGS

  // Tariff periods: begin and end of four peak and two valley periods.
  std::string m_peakBegin1, m_peakEnd1, m_peakBegin2,
      m_peakEnd2;  // IDC_PEAK_BEGIN1 IDC_PEAK_END1 IDC_PEAK_BEGIN2 IDC_PEAK_END2
  std::string m_peakBegin3, m_peakEnd3, m_peakBegin4,
      m_peakEnd4;  // IDC_PEAK_BEGIN3 IDC_PEAK_END3 IDC_PEAK_BEGIN4 IDC_PEAK_END4
  std::string m_valleyBegin1, m_valleyEnd1;  // IDC_VALLEY_BEGIN1 IDC_VALLEY_END1
  std::string m_valleyBegin2, m_valleyEnd2;  // IDC_VALLEY_BEGIN2 IDC_VALLEY_END2

  // ---- Not in the window ----
  // What each bound field showed after the last refresh, in binding order.
  std::vector<std::string> m_shownTexts;
  // What the last refresh of each bound field gave the window, in binding order: the member's
  // text and the window's stamp of the field right after. While both are unchanged the window
  // still shows m_shownTexts, and a refresh or a capture need not ask the window.
  struct PushedField {
    std::string text;
    uint64_t stamp = 0;
    bool done = false;
  };
  std::vector<PushedField> m_pushed;
  // A refresh was held back from the field while the operator typed in it, and it carried another
  // value: the field counts as edited until it is refreshed.
  std::vector<bool> m_typedOver;
  // The field whose editor RunPendingEditors is running: its refresh is not held back although it
  // may hold the focus.
  int m_editorRunning = 0;
  // Fields whose editor RunPendingEditors is still to run: a refresh passes over them meanwhile.
  std::vector<bool> m_editorWaits;
  // An editor refused what the operator typed; the click that ended the typing is dropped.
  bool m_entryRefused = false;
  // The value the operator typed into "值(Hex)" or "实际值" for the browsed register: what
  // "写寄存器" sends. The device image changes only when the meter echoes it.
  std::optional<uint16_t> m_regPending;
  // A clear of the event log held back until the outstanding transaction's completion is handled.
  bool m_clearPending = false;
  // The line's state between ticks: closed since when, lost or not, the reason shown.
  LineWatch m_lineWatch;
  // The port list as shown, and the names of the adapters seen during this run by their paths.
  std::vector<PortEntry> m_portEntries;
  std::map<std::string, std::string> m_adapterNames;
  // The host settings to start with (quorvel.ini), and why there are none when the file could not
  // be taken.
  std::optional<HostSettings> m_startSettings;
  std::string m_startNotice;
  // The port is lent to a bus scan: closed, and not tried again until it comes back.
  bool m_portLent = false;
  // Tests: what the scan window is given before it opens (its line and clock).
  std::function<void(class ScanWindow&)> m_scanSetup;
  // The write being checked, if any.
  WriteCheck m_writeCheck;
  // A profile was loaded while a transaction was outstanding: a block reply to a request
  // written before the load (the requests written were this many) does not overwrite it.
  bool m_loadHeld = false;
  uint32_t m_loadStamp = 0;
  // The local clock the clock command reads; tests put a fixed time here.
  std::function<LocalTime()> m_localTime;
  // What the meter in use last said each register holds (a reply to a read, the echo of a
  // write), kept beside the image the operator edits: what a write changes is told against it.
  // Emptied with the parameter block when the meter in use may be another.
  std::array<std::optional<uint16_t>, kRegisterCount> m_readValues;
  // The journal, the traffic capture and the data log; the link's observer.
  std::unique_ptr<RecordKeeper> m_records;
  // Files the capture and the data log start with (quorvel --trace FILE, --log FILE).
  std::string m_startTrace;
  std::string m_startLog;
};
