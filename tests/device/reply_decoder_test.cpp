#include <string>
#include <vector>

#include "tests/device/device_fixture.h"

namespace {

using Text = std::string MainDialog::*;

class DecodeReplyTest : public DeviceTest {
 protected:
  // A fixed eight-byte reply (functions 5, 6, 16): two words after the code, then the CRC.
  void PutEcho(uint8_t code, uint16_t first, uint16_t second) {
    uint8_t* f = dialog.m_link.m_rxBuf;
    f[0] = 1, f[1] = code, f[2] = first >> 8, f[3] = first & 0xFF;
    f[4] = second >> 8, f[5] = second & 0xFF;
    CloseFrame(dialog.m_link.m_rxBuf, 8);
  }
  std::vector<uint8_t> EventRecord(uint8_t code, uint16_t marker) {
    std::vector<uint8_t> r = {7,    code, 106,  5,    3,    14,   7,    9,    0x1A, 0x1A, 0x01,
                              0x09, 0x00, 0x00, 0xFF, 0xFF, 0xD2, 0x04, 0x00, 0x00, 0xFF, 0xFF};
    r.push_back(static_cast<uint8_t>(marker));
    r.push_back(static_cast<uint8_t>(marker >> 8));
    return r;
  }
};

struct Shown {
  int position;
  Text text;
  const char* expected;
};

TEST_F(DecodeReplyTest, RealtimePositionsAreReadSignedOrUnsignedAndRoundedForTheirControl) {
  std::vector<uint16_t> words(69);
  for (int p = 0; p < 69; ++p) words[p] = static_cast<uint16_t>(0xFF00 + p);
  words[4] = words[7] = 0xFF38;
  words[27] = 46811;
  DecodeBlock(0, words);
  const Shown shown[] = {
      {0, &MainDialog::m_uan, "6528.0"},     {1, &MainDialog::m_uca, "6528.1"},
      {2, &MainDialog::m_ian, "65.282"},     {4, &MainDialog::m_pan, "-80.0"},
      {5, &MainDialog::m_pfan, "-0.0251"},   {6, &MainDialog::m_qan, "-100.0"},
      {7, &MainDialog::m_san, "26134.4"},    {8, &MainDialog::m_ubn, "6528.8"},
      {9, &MainDialog::m_uab, "6528.9"},     {10, &MainDialog::m_ibn, "65.290"},
      {12, &MainDialog::m_pbn, "-97.6"},     {13, &MainDialog::m_pfbn, "-0.0243"},
      {14, &MainDialog::m_qbn, "-96.8"},     {15, &MainDialog::m_sbn, "26118.0"},
      {16, &MainDialog::m_ucn, "6529.6"},    {17, &MainDialog::m_ubc, "6529.7"},
      {18, &MainDialog::m_icn, "65.298"},    {19, &MainDialog::m_vpm10, "-0.237"},
      {20, &MainDialog::m_pcn, "-94.4"},     {21, &MainDialog::m_pfcn, "-0.0235"},
      {22, &MainDialog::m_qcn, "-93.6"},     {23, &MainDialog::m_scn, "26121.2"},
      {24, &MainDialog::m_i0n, "65.304"},    {25, &MainDialog::m_uav, "6530.5"},
      {26, &MainDialog::m_iav, "65.306"},    {27, &MainDialog::m_freq, "50.00"},
      {28, &MainDialog::m_psum, "-91.2"},    {29, &MainDialog::m_pfav, "-0.0227"},
      {30, &MainDialog::m_qsum, "-90.4"},    {31, &MainDialog::m_ssum, "26124.4"},
      {3, &MainDialog::m_yxBits, "00 0011"}, {11, &MainDialog::m_ykBits, "0000 1011"},
  };
  for (const Shown& s : shown) EXPECT_EQ(dialog.*s.text, s.expected) << s.position;
  for (int index = 65; index <= 68; ++index)
    EXPECT_EQ(dialog.m_regTable[index].value, words[index]);
  EXPECT_EQ(window.GetText(1020), "-80.0");
}

TEST_F(DecodeReplyTest, EnergyPairsAreLowWordFirstInThousandths) {
  std::vector<uint16_t> words(69);
  for (int k = 0; k < 16; ++k) {
    words[33 + 2 * k] = static_cast<uint16_t>(k + 1);
    words[34 + 2 * k] = 2;
  }
  words[64] = 0xFFFF;
  words[63] = 0xFFFF;
  DecodeBlock(0, words);
  const Text grid[16] = {
      &MainDialog::m_posKwhTotal,   &MainDialog::m_negKwhTotal,  &MainDialog::m_posKvarhTotal,
      &MainDialog::m_negKvarhTotal, &MainDialog::m_posKwhPeak,   &MainDialog::m_negKwhPeak,
      &MainDialog::m_posKvarhPeak,  &MainDialog::m_negKvarhPeak, &MainDialog::m_posKwhFlat,
      &MainDialog::m_negKwhFlat,    &MainDialog::m_posKvarhFlat, &MainDialog::m_negKvarhFlat,
      &MainDialog::m_posKwhValley,  &MainDialog::m_negKwhValley, &MainDialog::m_posKvarhValley,
  };
  for (int k = 0; k < 15; ++k) EXPECT_EQ(dialog.*grid[k], "131.0" + std::to_string(73 + k)) << k;
  EXPECT_EQ(dialog.m_negKvarhValley, "4294967.295");
}

TEST_F(DecodeReplyTest, HarmonicBlockShowsAnglesAndPhaseAContentOfEveryOrder) {
  std::vector<uint16_t> words(70);
  for (int p = 1; p <= 5; ++p) words[p] = static_cast<uint16_t>(0x10000 - 1000 * p);
  words[6] = 0x8000;
  for (int p = 7; p < 70; ++p) words[p] = static_cast<uint16_t>(100 * p);
  DecodeBlock(0x008A, words);
  const Shown shown[] = {
      {1, &MainDialog::m_argIa, "-5.73"},  {2, &MainDialog::m_argIb, "-11.46"},
      {3, &MainDialog::m_argIc, "-17.19"}, {4, &MainDialog::m_argUa, "-22.92"},
      {5, &MainDialog::m_argUb, "-28.65"}, {6, &MainDialog::m_argUc, "-187.75"},
      {7, &MainDialog::m_u1H3, "7.00"},    {10, &MainDialog::m_i1H3, "10.00"},
      {14, &MainDialog::m_u1H5, "14.00"},  {17, &MainDialog::m_i1H5, "17.00"},
      {21, &MainDialog::m_u1H7, "21.00"},  {24, &MainDialog::m_i1H7, "24.00"},
      {28, &MainDialog::m_u1H9, "28.00"},  {31, &MainDialog::m_i1H9, "31.00"},
      {35, &MainDialog::m_u1H11, "35.00"}, {38, &MainDialog::m_i1H11, "38.00"},
      {42, &MainDialog::m_u1H13, "42.00"}, {45, &MainDialog::m_i1H13, "45.00"},
      {49, &MainDialog::m_u1H15, "49.00"}, {52, &MainDialog::m_i1H15, "52.00"},
      {56, &MainDialog::m_u1H17, "56.00"}, {59, &MainDialog::m_i1H17, "59.00"},
      {63, &MainDialog::m_u1H19, "63.00"}, {66, &MainDialog::m_i1H19, "66.00"},
  };
  for (const Shown& s : shown) EXPECT_EQ(dialog.*s.text, s.expected) << s.position;
}

TEST_F(DecodeReplyTest, ParameterBlockFillsTheImageAndMarksItValid) {
  std::vector<uint16_t> words(44);
  for (int k = 0; k < 44; ++k) words[k] = static_cast<uint16_t>(0x0100 + k);
  EXPECT_EQ(dialog.m_paramsValid, 0);
  DecodeBlock(0x0300, words);
  for (int k = 0; k < 44; ++k) EXPECT_EQ(dialog.m_regTable[139 + k].value, 0x0100 + k);
  EXPECT_EQ(dialog.m_paramsValid, 1);
}

struct Browsed {
  int32_t index;
  uint16_t start;
  int count;
  int position;  // -1: the register is not in this block
};

TEST_F(DecodeReplyTest, BrowsedRegisterFollowsOnlyTheBlockThatHoldsIt) {
  const Browsed cases[] = {
      {5, 0x008A, 70, -1}, {5, 0, 69, 5},    {75, 0x008A, 70, 6},   {68, 0, 69, 68},
      {69, 0, 69, -1},     {139, 0, 69, -1}, {150, 0x0300, 44, 11}, {182, 0x008A, 70, -1},
  };
  for (const Browsed& c : cases) {
    dialog.LoadRegisterTable();
    dialog.m_regIndex = c.index;
    std::vector<uint16_t> words(c.count);
    for (int k = 0; k < c.count; ++k) words[k] = static_cast<uint16_t>(0x1000 + k);
    DecodeBlock(c.start, words);
    const uint16_t expected = c.position < 0 ? 0 : static_cast<uint16_t>(0x1000 + c.position);
    EXPECT_EQ(dialog.m_regTable[c.index].value, expected) << c.index << " " << c.start;
  }
}

// A single read lands in the register it asked for and an echo in the register it names, even
// when the browser has moved on meanwhile (its number field selects without reading).
TEST_F(DecodeReplyTest, SingleRegisterReplyAndWriteEchoSetTheRegisterTheyName) {
  dialog.m_regIndex = 20;
  DecodeBlock(0x0028, {0xBEEF}, 1);
  EXPECT_EQ(dialog.m_regTable[20].value, 0xBEEF);
  EXPECT_EQ(dialog.m_pan, "");
  PutEcho(6, 0x0028, 0x1234);
  dialog.DecodeReply();
  EXPECT_EQ(dialog.m_regTable[20].value, 0x1234);

  dialog.LoadRegisterTable();
  dialog.m_regIndex = -1;
  DecodeBlock(0x0300, {0xBEEF}, 1);
  EXPECT_EQ(dialog.m_regTable[139].value, 0xBEEF);
  PutEcho(6, 0x0302, 0x1234);
  dialog.DecodeReply();
  EXPECT_EQ(dialog.m_regTable[140].value, 0x1234);
  PutEcho(6, 0x0301, 0x5678);  // names no register: nothing changes
  dialog.DecodeReply();
  for (int i = 0; i < kRegisterCount; ++i) {
    EXPECT_EQ(dialog.m_regTable[i].value, i == 139 ? 0xBEEF : i == 140 ? 0x1234 : 0) << i;
  }
  EXPECT_EQ(dialog.m_rxCount, 5);  // logged all the same
}

TEST_F(DecodeReplyTest, BitRepliesShowTheirBitPatterns) {
  PutReply(1, {0xC5});
  dialog.DecodeReply();
  PutReply(2, {0xC5});
  dialog.DecodeReply();
  EXPECT_EQ(dialog.m_ykBits, "1100 0101");
  EXPECT_EQ(dialog.m_yxBits, "00 0101");
  EXPECT_EQ(dialog.YkBitsText(0x1A), "0001 1010");
  EXPECT_EQ(dialog.YxBitsText(0x1A), "01 1010");
}

TEST_F(DecodeReplyTest, EventRecordShowsDateTimeMeasurementsAndBits) {
  PutReply(8, EventRecord(0x13, 0x0001));
  dialog.DecodeReply();
  EXPECT_EQ(dialog.m_eventDate, "6.5.3");
  EXPECT_EQ(dialog.m_eventTime, "14:7:9");
  EXPECT_EQ(dialog.m_eventSeq, 7);
  EXPECT_EQ(dialog.m_eventName, "遥信3通");
  EXPECT_EQ(dialog.m_eventU1, "  230.50 (V)");
  EXPECT_EQ(dialog.m_eventU2, "    0.00 (V)");
  EXPECT_EQ(dialog.m_eventU3, " 6553.50 (V)");
  EXPECT_EQ(dialog.m_eventI1, "   1.234 (A)");
  EXPECT_EQ(dialog.m_eventI3, "  65.535 (A)");
  EXPECT_EQ(dialog.m_eventYx, "01 1010");
  EXPECT_EQ(dialog.m_eventYk, "0001 1010");
  EXPECT_EQ(window.GetText(1081), "7");

  PutReply(8, EventRecord(0x13, 0x0000));
  dialog.DecodeReply();
  EXPECT_EQ(dialog.m_eventName, "无效事件");
  EXPECT_EQ(dialog.m_eventSeq, -1);
  for (Text t : {&MainDialog::m_eventDate, &MainDialog::m_eventTime, &MainDialog::m_eventU1,
                 &MainDialog::m_eventI3, &MainDialog::m_eventYx, &MainDialog::m_eventYk}) {
    EXPECT_EQ(dialog.*t, "");
  }
}

TEST_F(DecodeReplyTest, EventNamesFollowClassAndChannel) {
  const std::pair<uint8_t, const char*> names[] = {
      {0x01, "辅电掉电"}, {0x02, "辅电上电"}, {0x00, "未知事件"}, {0x03, "未知事件"},
      {0x11, "遥信1通"},  {0x16, "遥信6通"},  {0x17, "未知事件"}, {0x10, "未知事件"},
      {0x24, "遥信4断"},  {0x31, "遥控1通"},  {0x34, "未知事件"}, {0x43, "遥控3断"},
      {0x52, "自控2通"},  {0x63, "自控3断"},  {0x71, "未知事件"}, {0xF1, "未知事件"},
  };
  for (const auto& [code, name] : names) {
    const uint8_t record[24] = {0, code};
    EXPECT_EQ(dialog.EventName(record), name) << int(code);
  }
}

// The receiver ended the transaction before it posted the completion; a request made since is
// outstanding in its own right, and decoding leaves it so.
TEST_F(DecodeReplyTest, ReceiveLogHeadsTheDumpAndTheTransactionStateIsLeftAlone) {
  DecodeBlock(0, {0xBEEF}, 1);
  EXPECT_EQ(dialog.m_rxLog.rfind("第 1 次接收信息帖(Hex) : 01 03 02 BE EF ", 0), 0u);
  EXPECT_EQ(window.GetText(1011), dialog.m_rxLog);

  for (const uint8_t code : {1, 2, 4, 6, 8, 5, 16, 97}) {
    if (code == 5 || code == 6 || code == 16) {
      PutEcho(code, 0, 0);
    } else {
      PutReply(code, std::vector<uint8_t>(code == 4 ? 2 : 24, 1));
    }
    dialog.m_link.m_ticks = 7;
    dialog.DecodeReply();
    EXPECT_EQ(dialog.m_link.m_ticks, 7) << int(code);
  }
  EXPECT_EQ(dialog.m_rxLog, "第 9 次接收信息帖(Hex) : 未知功能码");
}

// The ASCII receiver leaves the reply in the same form: it is decoded alike and logged as the
// ASCII frame; a mode the link does not know decodes nothing.
TEST_F(DecodeReplyTest, AsciiRepliesAreDecodedAndLoggedAsTheirFrame) {
  dialog.m_link.m_protocol = kProtocolAscii;
  dialog.m_link.m_requestTarget = dialog.m_link.Target();
  PutEcho(6, 0x0302, 5);
  dialog.DecodeReply();
  EXPECT_EQ(dialog.m_rxCount, 1);
  EXPECT_EQ(dialog.m_rxLog, "第 1 次接收信息帖(Hex) : :010603020005EF");
  EXPECT_EQ(dialog.m_regTable[140].value, 5);

  dialog.m_link.m_protocol = 2;
  DecodeBlock(0, std::vector<uint16_t>(69, 0x0101));
  EXPECT_EQ(dialog.m_rxCount, 1);
  EXPECT_EQ(dialog.m_uan, "");
}

struct Fit {
  uint8_t code;
  int byteCount;
  uint16_t lastCount;
  bool fits;
};

TEST_F(DecodeReplyTest, ReplyFitsOnlyWhenItsByteCountAnswersTheRequest) {
  const Fit fits[] = {
      {3, 138, 69, true}, {3, 136, 69, false}, {3, 140, 69, false}, {3, 2, 1, true},
      {3, 4, 1, false},   {4, 88, 44, true},   {4, 86, 44, false},  {8, 24, 0, true},
      {8, 23, 0, false},  {8, 0, 0, false},    {1, 0, 8, false},    {2, 1, 8, true},
      {97, 0, 69, true},
  };
  for (const Fit& f : fits) {
    PutReply(f.code, std::vector<uint8_t>(f.byteCount, 0));
    dialog.m_link.m_lastCount = f.lastCount;
    EXPECT_EQ(dialog.ReplyFitsRequest(), f.fits) << int(f.code) << " " << f.byteCount;
  }
}

TEST_F(DecodeReplyTest, ShortOrLongBlockReplyChangesNothing) {
  dialog.m_regIndex = 140;
  DecodeBlock(0, std::vector<uint16_t>(68, 0x0101), 69);
  DecodeBlock(0, std::vector<uint16_t>(70, 0x0101), 69);
  DecodeBlock(0x0300, std::vector<uint16_t>(43, 0x0101), 44);
  PutReply(8, std::vector<uint8_t>(23, 1));
  dialog.DecodeReply();
  EXPECT_EQ(dialog.m_uan, "");
  EXPECT_EQ(dialog.m_eventName, "");
  EXPECT_EQ(dialog.m_paramsValid, 0);
  EXPECT_EQ(dialog.m_regTable[140].value, 0);
  EXPECT_EQ(dialog.m_rxCount, 0);
  EXPECT_EQ(dialog.m_rxLog, "");
}

TEST_F(DecodeReplyTest, BlockReplyReadsNoFurtherThanItsByteCount) {
  DecodeBlock(0, std::vector<uint16_t>(69, 0x0101));
  DecodeBlock(0, std::vector<uint16_t>(10, 0), 10);  // stale bytes of the last reply follow
  EXPECT_EQ(dialog.m_uan, "0.0");
  EXPECT_EQ(dialog.m_pbn, "102.8");
  EXPECT_EQ(dialog.m_regTable[65].value, 0x0101);
}

}  // namespace
