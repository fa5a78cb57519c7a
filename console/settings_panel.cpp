// The host communication settings: the row of fields through which the operator chooses the
// framing, the slave address, the port and the line settings.
#include <array>
#include <cstddef>
#include <string>

#include "console/main_dialog.h"
#include "device/code_lookup.h"
#include "device/register_table.h"
#include "device/text_format.h"
#include "device/text_number.h"

namespace {

constexpr const char* kAddressRange = "请输入一个介于 1 和 247 之间的整数。";

// The settings that say which meter the console talks to and how, the framing included; the
// stop-bit selector counts only by whether it is odd.
struct MeterReach {
  int32_t protocol;
  std::string port;
  uint32_t baud;
  uint8_t parity, dataBits, oneStopBit;
  bool operator==(const MeterReach&) const = default;
};

MeterReach ReachOf(const ModbusLink& link) {
  return {link.m_protocol, link.PortId(),   link.m_baudRate,
          link.m_parity,   link.m_dataBits, static_cast<uint8_t>(link.m_stopBits & 1)};
}

}  // namespace

// Every field into its member; of the host settings only the slave address goes on to the link
// here. The framing, port and line settings reach the link only when their own list is left
// (OnCommSettingChanged), which reopens the port: a choice never names a line not in use.
void MainDialog::CaptureControls() {
  // An integer field without an integer stops the field capture, but the address below is
  // checked all the same from what the member holds.
  bool addressShown = CaptureFields();
  if (m_addressField < kFirstSlaveAddress || m_addressField > kLastSlaveAddress) {
    if (addressShown) m_window.MessageBox(kAddressRange);  // else the integer box has spoken
    m_addressField = m_link.m_slaveAddress;
    addressShown = false;
  }
  // The field shows the address in use again, so the next capture raises no box of its own.
  if (!addressShown) m_window.SetText(IDC_SLAVE_ADDRESS, Printf("%d", m_addressField));
  if (m_link.m_slaveAddress != m_addressField) {
    m_link.m_slaveAddress = m_addressField;
    InvalidateParameters();
  }
}

// The host settings' lists into the link, for the reopen that follows. True when any of them
// names another line or framing than before.
bool MainDialog::ApplyHostSettings() {
  const MeterReach before = ReachOf(m_link);
  m_link.m_protocol = static_cast<int32_t>(PositionIn(ProtocolNames, m_protocolText) % 2);
  ApplyPortChoice(m_portText);
  if (const auto baud = ScanInt(m_baudText)) m_link.m_baudRate = static_cast<uint32_t>(*baud);
  m_link.m_parity = static_cast<uint8_t>(PositionIn(ParityNames, m_parityText) % 3);
  // 7 data bits is what Modbus ASCII lines use; like the other line settings it reaches the line
  // when the port is opened again.
  if (m_dataBitsText == "7" || m_dataBitsText == "8") {
    m_link.m_dataBits = static_cast<uint8_t>(m_dataBitsText[0] - '0');
  }
  // An odd selector means one stop bit: "1" gives 1, "2" and an empty text give 0 (two).
  const auto first = static_cast<unsigned char>(m_stopBitsText.empty() ? 0 : m_stopBitsText[0]);
  m_link.m_stopBits = static_cast<uint8_t>(first & 1u);
  return ReachOf(m_link) != before;
}
