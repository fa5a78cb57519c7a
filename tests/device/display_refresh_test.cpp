#include <string>

#include "tests/device/device_fixture.h"
#include "tests/fakes/fake_line.h"

namespace {

using Text = std::string MainDialog::*;

class RefreshDisplayTest : public DeviceTest {
 protected:
  void Set(int index, uint16_t value) { dialog.m_regTable[index].value = value; }
};

struct Line {
  uint32_t port, baud;
  uint8_t parity, dataBits, stopBits;
  bool open;
  const char* baudText;
  const char* summary;
};

TEST_F(RefreshDisplayTest, CountersAndLineSettingsShowTheLinkAsItIs) {
  auto wire = AttachFakeLine(dialog.m_link);
  const Line lines[] = {
      {1, 9600, 0, 8, 2, true, "9600", "COM1:9600,N,8,2"},
      {3, 19200, 2, 7, 1, true, "19200", "COM3:19200,E,7,1"},
      {2, 300, 4, 8, 0, true, "300", "COM2:300,O,8,2"},
      {3, 9600, 0, 8, 2, false, "9600", "COM3: 打不开 "},
      {9, 0xFFFFFFFF, 0, 8, 2, false, "-1", "COM9: 打不开 "},
  };
  for (const Line& l : lines) {
    dialog.m_link.Close();
    dialog.m_link.m_port = l.port;
    dialog.m_link.m_baudRate = l.baud;
    dialog.m_link.m_parity = l.parity;
    dialog.m_link.m_dataBits = l.dataBits;
    dialog.m_link.m_stopBits = l.stopBits;
    if (l.open) dialog.m_link.Open();
    dialog.RefreshDisplay();
    EXPECT_EQ(dialog.m_baudText, l.baudText);
    EXPECT_EQ(dialog.m_commSummary, l.summary);
    EXPECT_EQ(window.GetText(1007), l.summary);
  }
  dialog.m_link.m_protocol = kProtocolAscii;
  dialog.m_link.m_slaveAddress = 247;
  dialog.m_link.m_successCount = 3;
  dialog.m_link.m_failureCount = INT32_MIN;
  dialog.RefreshDisplay();
  EXPECT_EQ(dialog.m_counts, "S3/F-2147483648");
  EXPECT_EQ(dialog.m_protocolText, "Modbus ASCII");
  EXPECT_EQ(dialog.m_portText, "COM9:");
  EXPECT_EQ(dialog.m_dataBitsText, "8");
  EXPECT_EQ(dialog.m_stopBitsText, "2");
  EXPECT_EQ(window.GetText(1028), "247");
}

struct Browser {
  int32_t index;
  uint16_t value;
  const char* number;
  const char* hex;
  const char* real;
  const char* name;
};

TEST_F(RefreshDisplayTest, RegisterBrowserShowsAddressRawScaledValueAndName) {
  const Browser rows[] = {
      {0, 2305, "0000", "0901", "230.50", "Uan"},
      {4, 0xFFFF, "0008", "FFFF", "26214.00", "Pan"},
      {65, 2026, "0082", "07EA", "2026", "Year"},
      {138, 0xFFFF, "0114", "FFFF", "655.35", "I0nW19"},
      {139, 1, "0300", "0001", "1", "从机地址"},
      {182, 0xABCD, "0356", "ABCD", "43981", "电能指示"},
  };
  for (const Browser& r : rows) {
    dialog.m_regIndex = r.index;
    Set(r.index, r.value);
    dialog.RefreshDisplay();
    EXPECT_EQ(window.GetText(1073), r.number) << r.index;
    EXPECT_EQ(window.GetText(1074), r.hex) << r.index;
    EXPECT_EQ(window.GetText(1075), r.real) << r.index;
    EXPECT_EQ(window.GetText(1093), r.name) << r.index;
  }
  dialog.m_regIndex = -1;
  dialog.RefreshDisplay();
  EXPECT_EQ(window.GetText(1073), "");
  EXPECT_EQ(window.GetText(1074), "");
  EXPECT_EQ(window.GetText(1075), "43981");
  EXPECT_EQ(window.GetText(1093), "电能指示");
}

TEST_F(RefreshDisplayTest, ParameterSectionStaysEmptyUntilTheBlockHasBeenRead) {
  Set(140, 2);
  Set(146, 5);
  Set(158, 510);
  dialog.RefreshDisplay();
  for (Text t : {&MainDialog::m_wiringText, &MainDialog::m_ptRatio, &MainDialog::m_ctRatio,
                 &MainDialog::m_yk1Enable, &MainDialog::m_yk2Setpoint, &MainDialog::m_yk3Hold,
                 &MainDialog::m_peakBegin1, &MainDialog::m_valleyEnd2}) {
    EXPECT_EQ(dialog.*t, "");
  }
  EXPECT_EQ(dialog.m_slaveSettings, "Modbus RTU,0:300,NONE,8,2 ");
  EXPECT_EQ(dialog.m_meterDate, "0000.0.0");
  EXPECT_EQ(dialog.m_meterTime, "0:00:00");
}

struct Field {
  int index;
  uint16_t value;
  Text text;
  const char* expected;
};

TEST_F(RefreshDisplayTest, ParameterFieldsShowTheImageScaled) {
  const Field fields[] = {
      {140, 6, &MainDialog::m_wiringText, "三相三线一压二流"},
      {147, 0x8000, &MainDialog::m_ptRatio, "-2147483648"},
      {148, 0x86A0, &MainDialog::m_ctRatio, "100000"},
      {149, 0x0001, &MainDialog::m_ctRatio, "100000"},
      {170, 1234, &MainDialog::m_yk1Setpoint, "1.234"},
      {171, 312, &MainDialog::m_yk1Delay, "1.00"},
      {172, 0xFFFF, &MainDialog::m_yk1Hold, "209.61"},
      {173, 3, &MainDialog::m_yk1Enable, "巳使能"},
      {174, 2, &MainDialog::m_yk2Setpoint, "0.20"},
      {177, 2, &MainDialog::m_yk2Enable, "未使能"},
      {178, 65535, &MainDialog::m_yk3Setpoint, "65.535"},
      {158, 510, &MainDialog::m_peakBegin1, " 8:30"},
      {159, 1439, &MainDialog::m_peakEnd1, "23:59"},
      {165, 0, &MainDialog::m_peakEnd4, " 0:00"},
      {166, 65506, &MainDialog::m_valleyBegin1, "1091:46"},
      {169, 1599, &MainDialog::m_valleyEnd2, "26:39"},
  };
  for (const Field& f : fields) Set(f.index, f.value);
  dialog.m_paramsValid = 1;
  dialog.RefreshDisplay();
  for (const Field& f : fields) EXPECT_EQ(dialog.*f.text, f.expected) << f.index;
  EXPECT_EQ(window.GetText(1050), "-2147483648");
  EXPECT_EQ(window.GetText(1087), " 8:30");
  Set(140, 7);
  dialog.RefreshDisplay();
  EXPECT_EQ(dialog.m_wiringText, "三相四线");
}

TEST_F(RefreshDisplayTest, MeterSettingsAndClockAreShownWhateverTheBlockState) {
  const std::pair<int, uint16_t> image[] = {{139, 5},     {141, 1},    {142, 2},   {143, 6},
                                            {154, 1},     {155, 1},    {65, 2026}, {66, 0x0305},
                                            {67, 0x0E07}, {68, 0x09FF}};
  for (const auto& [index, value] : image) Set(index, value);
  dialog.RefreshDisplay();
  EXPECT_EQ(window.GetText(1159), "Modbus ASCII,5:19200,EVEN,7,1 ");
  EXPECT_EQ(window.GetText(1128), "2026.3.5");
  EXPECT_EQ(window.GetText(1129), "14:07:09");
  Set(143, 13);
  Set(142, 5);
  Set(141, 2);
  dialog.RefreshDisplay();
  EXPECT_EQ(dialog.m_slaveSettings, "Modbus RTU,5:19200,EVEN,7,1 ");
}

}  // namespace
