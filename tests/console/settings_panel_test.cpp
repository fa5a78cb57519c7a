// The host communication settings row: what the operator chooses reaches the link, and the line
// settings reach the port when leaving a list reopens it.
#include <string>
#include <vector>

#include "console_fixture.h"

namespace {

int EntryIndex(const HeadlessWindow& window, int id, const std::string& text) {
  const std::vector<std::string> entries = window.ListEntries(id);
  for (size_t k = 0; k < entries.size(); ++k) {
    if (entries[k] == text) return static_cast<int>(k);
  }
  ADD_FAILURE() << text << " is not an entry of " << id;
  return -1;
}

class SettingsPanelTest : public ConsoleTest {
 protected:
  // Starts, answers the parameter read and stops polling, so the read buttons are usable.
  void StartIdle() {
    Start();
    AnswerLast();
    window.Tick();
    window.Click(1068);
  }

  // What an operator does with one list: open it, pick an entry, move on.
  void ChooseAndLeave(int id, const std::string& text) {
    window.Focus(id);
    window.Choose(id, EntryIndex(window, id, text));
    window.Focus(1009);
  }
};

TEST_F(SettingsPanelTest, StartsWithTheDefaultsOfTheLink) {
  Start();
  EXPECT_EQ(window.GetText(1008), "Modbus RTU");
  EXPECT_EQ(window.GetText(1028), "1");
  EXPECT_EQ(window.GetText(1007), "COM1:9600,N,8,2");
}

struct Choice {
  const char* name;
  int list;
  const char* entry;
  const char* summary;
  void (*check)(const ModbusLink&);
};

void PrintTo(const Choice& c, std::ostream* os) { *os << c.name; }

class ChoiceTest : public SettingsPanelTest, public ::testing::WithParamInterface<Choice> {};

TEST_P(ChoiceTest, ReachesTheLinkAndTheSummaryWhenTheListIsLeft) {
  const Choice& c = GetParam();
  Start();
  const int opens = wire->opens;
  ChooseAndLeave(c.list, c.entry);
  EXPECT_EQ(wire->opens, opens + 1);
  c.check(dialog.m_link);
  if (c.summary != nullptr) {
    EXPECT_EQ(window.GetText(1007), c.summary);
  }
  EXPECT_EQ(window.GetText(c.list), c.entry);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ChoiceTest,
    ::testing::Values(Choice{"OneStopBit", 1006, "1", "COM1:9600,N,8,1",
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_stopBits, 1); }},
                      Choice{"TwoStopBits", 1006, "2", "COM1:9600,N,8,2",
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_stopBits, 0); }},
                      Choice{"OddParity", 1004, "ODD", "COM1:9600,O,8,2",
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_parity, 1); }},
                      Choice{"EvenParity", 1004, "EVEN", "COM1:9600,E,8,2",
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_parity, 2); }},
                      Choice{"SevenDataBits", 1005, "7", "COM1:9600,N,7,2",
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_dataBits, 7); }},
                      Choice{"FastestRate", 1003, "19200", "COM1:19200,N,8,2",
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_baudRate, 19200u); }},
                      Choice{"SlowestRate", 1003, "300", "COM1:300,N,8,2",
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_baudRate, 300u); }},
                      Choice{"ThirdPort", 1002, "COM3:", "COM3:9600,N,8,2",
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_port, 3u); }},
                      Choice{"NinthPort", 1002, "COM9:", "COM9:9600,N,8,2",
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_port, 9u); }},
                      Choice{"AsciiFraming", 1008, "Modbus ASCII", nullptr,
                             [](const ModbusLink& l) { EXPECT_EQ(l.m_protocol, 1); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsPanelTest, SevenDataBitsAndBackToEight) {
  Start();
  ChooseAndLeave(1005, "7");
  ChooseAndLeave(1005, "8");
  EXPECT_EQ(dialog.m_link.m_dataBits, 8);
  EXPECT_EQ(window.GetText(1007), "COM1:9600,N,8,2");
}

// No request ever goes to the broadcast address 0 or to a reserved one: an address outside 1 to
// 247 is refused with the framework's range box, and the field shows the address in use again,
// so the next capture raises no box of its own.
TEST_F(SettingsPanelTest, AnAddressOutside1To247IsRefusedAndTheAddressInUseShown) {
  StartIdle();
  for (const char* typed : {"0", "248", "256", "300", "-1", "4294967297", "-4294967295"}) {
    SCOPED_TRACE(typed);
    window.Focus(1028);
    window.Type(1028, typed);
    window.ClearMessageBoxes();
    window.Click(1099);  // "读参数"; leaving the field applies the address first
    EXPECT_EQ(window.MessageBoxes(),
              std::vector<std::string>{"请输入一个介于 1 和 247 之间的整数。"});
    EXPECT_EQ(dialog.m_link.m_slaveAddress, 1);
    EXPECT_EQ(window.GetText(1028), "1");
    EXPECT_EQ(wire->written.back().at(0), 0x01);
    AnswerLast();
    window.Tick();
  }
  window.ClearMessageBoxes();
  window.Focus(1028);
  window.Type(1028, "247");
  window.Click(1099);
  EXPECT_TRUE(window.MessageBoxes().empty());
  EXPECT_EQ(wire->written.back().at(0), 247);
}

TEST_F(SettingsPanelTest, AnAddressThatIsNotAnIntegerIsRefusedAndTheLastGoodOneKept) {
  StartIdle();
  window.Focus(1028);
  window.Type(1028, "7");
  window.Focus(1009);
  window.Focus(1028);
  window.Type(1028, "12a");
  window.ClearMessageBoxes();
  window.Focus(1009);
  ASSERT_FALSE(window.MessageBoxes().empty());
  EXPECT_EQ(window.MessageBoxes().front(), "请键入一个整数。");
  EXPECT_EQ(dialog.m_addressField, 7);
  EXPECT_EQ(dialog.m_link.m_slaveAddress, 7);
}

// Before the first refresh every list is empty: the row still applies without reading outside
// its texts, and the texts that name nothing fall back to the first table entry.
TEST_F(SettingsPanelTest, AnEmptyRowAppliesTheFallbacks) {
  dialog.m_link.SetDefaults();
  dialog.m_link.m_protocol = 1;
  dialog.m_link.m_parity = 2;
  dialog.CaptureControls();
  EXPECT_EQ(dialog.m_link.m_protocol, 1);  // a capture leaves the line as it is
  dialog.ApplyHostSettings();
  EXPECT_EQ(dialog.m_link.m_protocol, 0);
  EXPECT_EQ(dialog.m_link.m_parity, 0);
  EXPECT_EQ(dialog.m_link.m_stopBits, 0);  // two stop bits
  EXPECT_EQ(dialog.m_link.m_baudRate, 9600u);
  EXPECT_EQ(dialog.m_link.m_dataBits, 8);
  EXPECT_EQ(dialog.m_link.m_port, 1u);  // no entry of the list: the port stays
}

}  // namespace
