#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "console/main_dialog.h"
#include "device/code_lookup.h"
#include "device/text_format.h"
#include "device/text_number.h"

namespace {

// Working-copy limits of the operator's texts, in bytes; longer texts are cut there.
constexpr std::size_t kPeriodTextLimit = 511;
constexpr std::size_t kSettingsTextLimit = 255;
constexpr std::size_t kSettingsTokenLimit = 127;

constexpr int64_t kHoursPerDay = 24;
constexpr int64_t kMinutesPerHour = 60;
// A word of the settings line that names no setting, quoted at most this long.
constexpr const char* kUnknownSetting = "无法识别的%s：%s";
constexpr const char* kMissingSetting = "从机通讯设定缺少%s";
constexpr std::size_t kShownTokenBytes = 40;
constexpr const char* kBlanks = " \t\n\v\f\r";

// The twelve tariff-period fields and their registers (minutes after midnight).
struct PeriodField {
  int controlId;
  int index;
};

constexpr PeriodField kPeriodFields[] = {
    {IDC_PEAK_BEGIN1, kRegFirstPeriod + 0},
    {IDC_PEAK_END1, kRegFirstPeriod + 1},  // peak 1: begin, end
    {IDC_PEAK_BEGIN2, kRegFirstPeriod + 2},
    {IDC_PEAK_END2, kRegFirstPeriod + 3},  // peak 2
    {IDC_PEAK_BEGIN3, kRegFirstPeriod + 4},
    {IDC_PEAK_END3, kRegFirstPeriod + 5},  // peak 3
    {IDC_PEAK_BEGIN4, kRegFirstPeriod + 6},
    {IDC_PEAK_END4, kRegFirstPeriod + 7},  // peak 4
    {IDC_VALLEY_BEGIN1, kRegFirstPeriod + 8},
    {IDC_VALLEY_END1, kRegFirstPeriod + 9},  // valley 1
    {IDC_VALLEY_BEGIN2, kRegFirstPeriod + 10},
    {IDC_VALLEY_END2, kRegFirstPeriod + 11},  // valley 2
};

// The computer's local date and time.
LocalTime ComputerLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &now);
#else
  localtime_r(&now, &parts);
#endif
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

// Two byte-sized parts of a clock register, high byte first.
uint16_t BytePair(int high, int low) {
  return static_cast<uint16_t>(((static_cast<uint32_t>(high) & 0xFF) << 8) |
                               (static_cast<uint32_t>(low) & 0xFF));
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Letters only, in upper case: "Modbus RTU" and "modbus rtu" both become MODBUSRTU.
std::string UpperLetters(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (IsLetter(c)) out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

// A word of the line as the operator typed it, without the blanks around it, cut to a length.
std::string Trimmed(std::string_view token, std::size_t maxBytes) {
  const std::size_t first = token.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = token.find_last_not_of(kBlanks);
  return TruncateUtf8(std::string(token.substr(first, last - first + 1)), maxBytes);
}

// Digits only: "9600bps" becomes 9600.
std::string DigitsOnly(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (IsDigit(c)) out += c;
  }
  return out;
}

// Cuts the serial-settings line into its tokens, each up to its delimiter, which is consumed.
// Once the text is used up every further token is empty.
class TokenReader {
 public:
  explicit TokenReader(std::string_view text) : m_rest(text) {}

  std::string_view Next(char delimiter) {
    const std::size_t end = m_rest.find(delimiter);
    std::string_view token = m_rest.substr(0, end);
    m_rest = end == std::string_view::npos ? std::string_view() : m_rest.substr(end + 1);
    return token.substr(0, kSettingsTokenLimit);
  }
  std::string_view Rest() {
    std::string_view token = m_rest.substr(0, kSettingsTokenLimit);
    m_rest = std::string_view();
    return token;
  }

 private:
  std::string_view m_rest;
};

}  // namespace

// "校时": the computer's clock into the meter's four clock registers. No capture first; the four
// registers show the computer's time until the next poll reads the meter's clock back.
void MainDialog::OnSyncClock() {
  if (!EditorsAllowSend() || !BlockReadFromMeterInUse()) return;
  const LocalTime now = m_localTime ? m_localTime() : ComputerLocalTime();
  m_regTable[kClockFirst + 0].value = static_cast<uint16_t>(now.year);
  m_regTable[kClockFirst + 1].value = BytePair(now.month, now.day);
  m_regTable[kClockFirst + 2].value = BytePair(now.hour, now.minute);
  m_regTable[kClockFirst + 3].value = BytePair(now.second, 0);
  uint16_t values[4];
  for (int k = 0; k < 4; ++k) values[k] = m_regTable[kClockFirst + k].value;
  const bool sent = m_link.WriteClock(values);
  LogSend(sent);
  if (sent) ExpectReadBack(WriteCheck::Kind::Clock, m_regTable[kClockFirst].address, values, 4);
  UpdateControlStates();
}

// A tariff-period field lost the focus: a time of day the operator typed goes into its register;
// a text left as shown stores nothing, and one that is no time of day is refused.
void MainDialog::OnPeriodEdited(int controlId) {
  CaptureControls();
  const std::string* text = TextMember(controlId);
  for (const PeriodField& field : kPeriodFields) {
    if (field.controlId != controlId || text == nullptr || FieldUnchanged(controlId)) continue;
    const Entered<int32_t> minutes = ParsePeriod(text->substr(0, kPeriodTextLimit));
    if (TakeEntry(minutes.outcome, "0:00", "24:00")) {
      m_regTable[field.index].value = static_cast<uint16_t>(minutes.value);
    }
  }
  RefreshDisplay();
  UpdateControlStates();
}

void MainDialog::OnSlaveSettingsEdited() {
  CaptureControls();
  if (!FieldUnchanged(IDC_SLAVE_SETTINGS)) ParseSlaveSettings(m_slaveSettings);
  RefreshDisplay();
  UpdateControlStates();
}

// "hh:mm" (or "hh") to minutes after midnight: a time of day from 0:00 to 24:00, minutes 0 to 59,
// blanks around the numbers. An empty field is no number, and the caller keeps the register; a
// sign ("-0:30"), a missing number or anything else after the hours and minutes is not a time of
// day.
Entered<int32_t> MainDialog::ParsePeriod(const std::string& typed) const {
  if (IsBlankText(typed)) return {Entry::NoNumber, 0};
  const std::string text = AsciiDigits(typed);
  if (text.find_first_of("+-") != std::string::npos) return {Entry::Malformed, 0};
  const std::size_t colon = text.find(':');
  const std::string_view view(text);
  const Entered<int64_t> hours = EnterInteger(view.substr(0, colon), 0, kHoursPerDay);
  if (hours.outcome == Entry::NoNumber) return {Entry::Malformed, 0};  // ":30" has no hours
  Entered<int64_t> minutes{Entry::Accepted, 0};
  if (colon != std::string::npos) {
    minutes = EnterInteger(view.substr(colon + 1), 0, kMinutesPerHour - 1);
    if (minutes.outcome == Entry::NoNumber) minutes.outcome = Entry::Malformed;  // "8:"
  }
  for (const Entry outcome : {hours.outcome, minutes.outcome}) {
    if (outcome == Entry::Malformed) return {Entry::Malformed, 0};
  }
  for (const Entry outcome : {hours.outcome, minutes.outcome}) {
    if (outcome == Entry::OutOfRange) return {Entry::OutOfRange, 0};
  }
  if (hours.value == kHoursPerDay && minutes.value != 0) return {Entry::OutOfRange, 0};
  return {Entry::Accepted, static_cast<int32_t>(hours.value * kMinutesPerHour + minutes.value)};
}

// The line "protocol,address:baud,parity,data bits,stop bits" into the six registers, all or
// none: a word that names no setting, or an address outside 1 to 247, is refused with the
// reason and stores nothing. A line with nothing but blanks keeps the registers.
void MainDialog::ParseSlaveSettings(const std::string& text) {
  const std::string_view line = std::string_view(text).substr(0, kSettingsTextLimit);
  if (line.find_first_not_of(kBlanks) == std::string_view::npos) return;
  TokenReader tokens(line);

  const std::string_view protocolToken = tokens.Next(',');
  const uint32_t protocol = PositionIn(ProtocolNames, UpperLetters(protocolToken), UpperLetters);
  const std::string_view addressToken = tokens.Next(':');
  const Entered<int64_t> address =
      EnterInteger(addressToken, kFirstSlaveAddress, kLastSlaveAddress);
  const std::string_view baudToken = tokens.Next(',');
  const uint32_t baud = PositionIn(BaudNames, DigitsOnly(baudToken));
  const std::string_view parityToken = tokens.Next(',');
  const uint32_t parity = PositionIn(ParityNames, UpperLetters(parityToken), UpperLetters);
  const std::string_view dataBitsToken = tokens.Next(',');
  const uint32_t dataBits = PositionIn(DataBitNames, DigitsOnly(dataBitsToken));
  const std::string_view stopBitsToken = tokens.Rest();
  const uint32_t stopBits = PositionIn(StopBitNames, DigitsOnly(stopBitsToken));

  // The first word that names nothing, in the order of the line.
  const struct {
    bool known;
    const char* what;
    std::string_view token;
  } words[] = {
      {protocol < ProtocolNames.size(), "通讯规约", protocolToken},
      {address.outcome == Entry::Accepted || address.outcome == Entry::OutOfRange, "从机地址",
       addressToken},
      {baud < BaudNames.size(), "波特率", baudToken},
      {parity < ParityNames.size(), "奇偶校验", parityToken},
      {dataBits < DataBitNames.size(), "数据位", dataBitsToken},
      {stopBits < StopBitNames.size(), "停止位", stopBitsToken},
  };
  for (const auto& word : words) {
    if (word.known) continue;
    const std::string shown = Trimmed(word.token, kShownTokenBytes);
    RefuseEntry(shown.empty() ? Printf(kMissingSetting, word.what)
                              : Printf(kUnknownSetting, word.what, shown.c_str()));
    return;
  }
  if (!TakeEntry(address.outcome, "1", "247")) return;

  m_regTable[kRegProtocol].value = static_cast<uint16_t>(protocol);
  m_regTable[kRegSlaveAddress].value = static_cast<uint16_t>(address.value);
  m_regTable[kRegBaud].value = static_cast<uint16_t>(baud);
  m_regTable[kRegParity].value = static_cast<uint16_t>(parity);
  m_regTable[kRegDataBits].value = static_cast<uint16_t>(dataBits);
  m_regTable[kRegStopBits].value = static_cast<uint16_t>(stopBits);
}
