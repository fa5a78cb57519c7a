#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "commands/code_lookup.h"
#include "console/main_dialog.h"
#include "device/text_number.h"

namespace {

// Working-copy limits of the operator's texts, in bytes; longer texts are cut there.
constexpr std::size_t kPeriodTextLimit = 511;
constexpr std::size_t kSettingsTextLimit = 255;
constexpr std::size_t kSettingsTokenLimit = 127;

// The twelve tariff-period fields and their registers (minutes after midnight).
struct PeriodField {
  int controlId;
  int index;
};

constexpr PeriodField kPeriodFields[] = {
    {1087, 158}, {1086, 159},  // peak 1: begin, end
    {1090, 160}, {1089, 161},  // peak 2
    {1094, 162}, {1091, 163},  // peak 3
    {1115, 164}, {1095, 165},  // peak 4
    {1131, 166}, {1116, 167},  // valley 1
    {1133, 168}, {1132, 169},  // valley 2
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
  const LocalTime now = m_localTime ? m_localTime() : ComputerLocalTime();
  m_regTable[kClockFirst + 0].value = static_cast<uint16_t>(now.year);
  m_regTable[kClockFirst + 1].value = BytePair(now.month, now.day);
  m_regTable[kClockFirst + 2].value = BytePair(now.hour, now.minute);
  m_regTable[kClockFirst + 3].value = BytePair(now.second, 0);
  uint16_t values[4];
  for (int k = 0; k < 4; ++k) values[k] = m_regTable[kClockFirst + k].value;
  m_link.WriteClock(values);
  LogTxFrame();
  UpdateControlStates();
}

// A tariff-period field lost the focus.
void MainDialog::OnPeriodEdited(int controlId) {
  CaptureControls();
  const std::string* text = TextMember(controlId);
  for (const PeriodField& field : kPeriodFields) {
    if (field.controlId != controlId || text == nullptr) continue;
    const std::optional<int32_t> minutes = ParsePeriod(text->substr(0, kPeriodTextLimit));
    if (minutes) m_regTable[field.index].value = static_cast<uint16_t>(*minutes & 0xFFFF);
  }
  RefreshDisplay();
  UpdateControlStates();
}

void MainDialog::OnSlaveSettingsEdited() {
  CaptureControls();
  ParseSlaveSettings(m_slaveSettings);
  RefreshDisplay();
  UpdateControlStates();
}

// "hh:mm" (or "hh") to minutes after midnight, without range check: 25:99 is 1599 and -1:30 is
// -30. Only the first colon separates, so 8:30:15 is 8:30. Minutes missing after the colon count
// as 0; no hours at all is no number, and the caller keeps the register. The arithmetic wraps
// at 32 bits like the rest of the console's counters.
std::optional<int32_t> MainDialog::ParsePeriod(const std::string& text) const {
  const std::size_t colon = text.find(':');
  const std::string_view view(text);
  const std::optional<int32_t> hours = ScanInt(view.substr(0, colon));
  if (!hours) return std::nullopt;
  int64_t minutes = int64_t{*hours} * 60;
  if (colon != std::string::npos) minutes += ScanInt(view.substr(colon + 1)).value_or(0);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(minutes)));
}

// The line "protocol,address:baud,parity,data bits,stop bits" into the six registers. Every token
// that names nothing stores code 0; an address with no number keeps the register.
void MainDialog::ParseSlaveSettings(const std::string& text) {
  TokenReader tokens(std::string_view(text).substr(0, kSettingsTextLimit));

  const uint32_t protocol = PositionIn(ProtocolNames, UpperLetters(tokens.Next(',')), UpperLetters);
  m_regTable[kRegProtocol].value = static_cast<uint16_t>(protocol & 1);

  if (const auto address = ScanInt(tokens.Next(':'))) {
    m_regTable[kRegSlaveAddress].value = static_cast<uint16_t>(*address & 0xFFFF);
  }

  const uint32_t baud = PositionIn(BaudNames, DigitsOnly(tokens.Next(',')));
  m_regTable[kRegBaud].value = static_cast<uint16_t>(baud % BaudNames.size());

  const uint32_t parity = PositionIn(ParityNames, UpperLetters(tokens.Next(',')), UpperLetters);
  m_regTable[kRegParity].value = static_cast<uint16_t>(parity % ParityNames.size());

  const uint32_t dataBits = PositionIn(DataBitNames, DigitsOnly(tokens.Next(',')));
  m_regTable[kRegDataBits].value = static_cast<uint16_t>(dataBits & 1);

  const uint32_t stopBits = PositionIn(StopBitNames, DigitsOnly(tokens.Rest()));
  m_regTable[kRegStopBits].value = static_cast<uint16_t>(stopBits & 1);
}
