#include <algorithm>
#include <string>

#include "console/main_dialog.h"
#include "device/text_format.h"

namespace {

constexpr int kDataOffset = 3;  // first data byte of a byte-counted reply
constexpr int kEventRecordLen = 24;
constexpr uint16_t kParameterStart = 0x0300;
// A block read starting here or above, below the parameter block, is the harmonic block's.
constexpr uint16_t kHarmonicStart = 69;

// A register read as the real-time panel shows it.
enum class Read { U16, S16 };

struct Quantity {
  int position;
  Read read;
  double scale;
  const char* format;
  std::string MainDialog::*text;
};

constexpr Quantity kRealtimeQuantities[] = {
    {0, Read::U16, 0.1, "%.1lf", &MainDialog::m_uan},
    {1, Read::U16, 0.1, "%.1lf", &MainDialog::m_uca},
    {2, Read::U16, 0.001, "%.3lf", &MainDialog::m_ian},
    {4, Read::S16, 0.4, "%.1lf", &MainDialog::m_pan},
    {5, Read::S16, 0.0001, "%.4lf", &MainDialog::m_pfan},
    {6, Read::S16, 0.4, "%.1lf", &MainDialog::m_qan},
    {7, Read::U16, 0.4, "%.1lf", &MainDialog::m_san},
    {8, Read::U16, 0.1, "%.1lf", &MainDialog::m_ubn},
    {9, Read::U16, 0.1, "%.1lf", &MainDialog::m_uab},
    {10, Read::U16, 0.001, "%.3lf", &MainDialog::m_ibn},
    {12, Read::S16, 0.4, "%.1lf", &MainDialog::m_pbn},
    {13, Read::S16, 0.0001, "%.4lf", &MainDialog::m_pfbn},
    {14, Read::S16, 0.4, "%.1lf", &MainDialog::m_qbn},
    {15, Read::U16, 0.4, "%.1lf", &MainDialog::m_sbn},
    {16, Read::U16, 0.1, "%.1lf", &MainDialog::m_ucn},
    {17, Read::U16, 0.1, "%.1lf", &MainDialog::m_ubc},
    {18, Read::U16, 0.001, "%.3lf", &MainDialog::m_icn},
    {19, Read::S16, 0.001, "%.3lf", &MainDialog::m_vpm10},
    {20, Read::S16, 0.4, "%.1lf", &MainDialog::m_pcn},
    {21, Read::S16, 0.0001, "%.4lf", &MainDialog::m_pfcn},
    {22, Read::S16, 0.4, "%.1lf", &MainDialog::m_qcn},
    {23, Read::U16, 0.4, "%.1lf", &MainDialog::m_scn},
    {24, Read::U16, 0.001, "%.3lf", &MainDialog::m_i0n},
    {25, Read::U16, 0.1, "%.1lf", &MainDialog::m_uav},
    {26, Read::U16, 0.001, "%.3lf", &MainDialog::m_iav},
    {27, Read::U16, 0.00106813, "%.2lf", &MainDialog::m_freq},
    {28, Read::S16, 0.4, "%.1lf", &MainDialog::m_psum},
    {29, Read::S16, 0.0001, "%.4lf", &MainDialog::m_pfav},
    {30, Read::S16, 0.4, "%.1lf", &MainDialog::m_qsum},
    {31, Read::U16, 0.4, "%.1lf", &MainDialog::m_ssum},
};

// Phase angles of the harmonic block, in counts of 0.0001 rad shown in degrees.
constexpr double kAngleScale = 0.005729578;
constexpr Quantity kAngles[] = {
    {1, Read::S16, kAngleScale, "%.2lf", &MainDialog::m_argIa},
    {2, Read::S16, kAngleScale, "%.2lf", &MainDialog::m_argIb},
    {3, Read::S16, kAngleScale, "%.2lf", &MainDialog::m_argIc},
    {4, Read::S16, kAngleScale, "%.2lf", &MainDialog::m_argUa},
    {5, Read::S16, kAngleScale, "%.2lf", &MainDialog::m_argUb},
    {6, Read::S16, kAngleScale, "%.2lf", &MainDialog::m_argUc},
};

constexpr int kYxPosition = 3;
constexpr int kYkPosition = 11;

// The sixteen energy counters, low word first, in the order of the real-time block from 33 on:
// +kWh, -kWh, +kvarh, -kvarh of the total, peak, flat and valley tariffs.
constexpr int kEnergyPosition = 33;
constexpr std::string MainDialog::*kEnergyTexts[16] = {
    &MainDialog::m_posKwhTotal,    &MainDialog::m_negKwhTotal,  &MainDialog::m_posKvarhTotal,
    &MainDialog::m_negKvarhTotal,  &MainDialog::m_posKwhPeak,   &MainDialog::m_negKwhPeak,
    &MainDialog::m_posKvarhPeak,   &MainDialog::m_negKvarhPeak, &MainDialog::m_posKwhFlat,
    &MainDialog::m_negKwhFlat,     &MainDialog::m_posKvarhFlat, &MainDialog::m_negKvarhFlat,
    &MainDialog::m_posKwhValley,   &MainDialog::m_negKwhValley, &MainDialog::m_posKvarhValley,
    &MainDialog::m_negKvarhValley,
};

// Phase-A voltage and current content of the odd harmonics 3..19, in counts of 0.01 %.
struct Harmonic {
  std::string MainDialog::*voltage;
  std::string MainDialog::*current;
};
constexpr Harmonic kHarmonics[9] = {
    {&MainDialog::m_u1H3, &MainDialog::m_i1H3},   {&MainDialog::m_u1H5, &MainDialog::m_i1H5},
    {&MainDialog::m_u1H7, &MainDialog::m_i1H7},   {&MainDialog::m_u1H9, &MainDialog::m_i1H9},
    {&MainDialog::m_u1H11, &MainDialog::m_i1H11}, {&MainDialog::m_u1H13, &MainDialog::m_i1H13},
    {&MainDialog::m_u1H15, &MainDialog::m_i1H15}, {&MainDialog::m_u1H17, &MainDialog::m_i1H17},
    {&MainDialog::m_u1H19, &MainDialog::m_i1H19},
};

// Event texts emptied when the meter holds no event at the requested place.
constexpr std::string MainDialog::*kEventTexts[] = {
    &MainDialog::m_eventDate, &MainDialog::m_eventTime, &MainDialog::m_eventU1,
    &MainDialog::m_eventU2,   &MainDialog::m_eventU3,   &MainDialog::m_eventI1,
    &MainDialog::m_eventI2,   &MainDialog::m_eventI3,   &MainDialog::m_eventYx,
    &MainDialog::m_eventYk,
};

// The data of one register reply: position n is the big-endian word at bytes 3 + 2n and 4 + 2n.
// Positions beyond the byte count the meter sent are absent and never read.
class Registers {
 public:
  explicit Registers(const uint8_t* frame) : m_frame(frame), m_count(frame[2] / 2) {}
  bool Has(int position) const { return position >= 0 && position < m_count; }
  uint16_t U16(int position) const {
    return static_cast<uint16_t>(m_frame[kDataOffset + 2 * position] << 8 |
                                 m_frame[kDataOffset + 2 * position + 1]);
  }
  int32_t S16(int position) const { return static_cast<int16_t>(U16(position)); }
  uint8_t LowByte(int position) const { return m_frame[kDataOffset + 2 * position + 1]; }

 private:
  const uint8_t* m_frame;
  int m_count;
};

// A little-endian measurement of the event record.
double RecordWord(const uint8_t* record, int at) { return record[at] | record[at + 1] << 8; }

void SetText(MainDialog& dialog, const Quantity& quantity, const Registers& registers) {
  if (!registers.Has(quantity.position)) return;
  const double raw = quantity.read == Read::S16 ? registers.S16(quantity.position)
                                                : registers.U16(quantity.position);
  dialog.*quantity.text = Printf(quantity.format, raw * quantity.scale);
}

// The register browser's register follows a block reply that contains it.
void RefreshBrowsedRegister(MainDialog& dialog, const Registers& registers, int first, int count) {
  const int32_t index = dialog.m_regIndex;
  if (index < first || index >= first + count || !registers.Has(index - first)) return;
  dialog.m_regTable[index].value = registers.U16(index - first);
}

void DecodeRealtime(MainDialog& dialog, const Registers& registers) {
  RefreshBrowsedRegister(dialog, registers, kRealtimeFirst, kRealtimeCount);
  for (const Quantity& quantity : kRealtimeQuantities) SetText(dialog, quantity, registers);
  if (registers.Has(kYxPosition))
    dialog.m_yxBits = dialog.YxBitsText(registers.LowByte(kYxPosition));
  if (registers.Has(kYkPosition))
    dialog.m_ykBits = dialog.YkBitsText(registers.LowByte(kYkPosition));
  for (int k = 0; k < 16; ++k) {
    const int low = kEnergyPosition + 2 * k;
    if (!registers.Has(low + 1)) break;
    const double counter = registers.U16(low + 1) * 65536.0 + registers.U16(low);
    dialog.*kEnergyTexts[k] = Printf("%.3lf", counter * 0.001);
  }
  for (int index = kClockFirst; index < kClockFirst + 4 && registers.Has(index); ++index) {
    dialog.m_regTable[index].value = registers.U16(index);
  }
}

void DecodeHarmonics(MainDialog& dialog, const Registers& registers) {
  RefreshBrowsedRegister(dialog, registers, kHarmonicFirst, kHarmonicCount);
  for (const Quantity& angle : kAngles) SetText(dialog, angle, registers);
  for (int k = 0; k < 9; ++k) {
    // The seven channels of order 3 + 2k start at position 7 + 7k: Uan first, Ian fourth.
    const Quantity voltage{7 + 7 * k, Read::U16, 0.01, "%.2lf", kHarmonics[k].voltage};
    const Quantity current{10 + 7 * k, Read::U16, 0.01, "%.2lf", kHarmonics[k].current};
    SetText(dialog, voltage, registers);
    SetText(dialog, current, registers);
  }
}

void DecodeParameters(MainDialog& dialog, const Registers& registers) {
  // Written before the slave address, framing, port or line changed, or before a reopen: maybe
  // another meter's block, which "写参数" would then write back to the meter addressed now.
  if (!dialog.ReplyFromMeterInUse()) return;
  // A reply to a request written before a profile was loaded keeps the loaded values out.
  const bool loadHeld = dialog.m_loadHeld && dialog.m_link.m_requestsWritten == dialog.m_loadStamp;
  for (int k = 0; k < kParameterCount && registers.Has(k) && !loadHeld; ++k) {
    dialog.m_regTable[kParameterFirst + k].value = registers.U16(k);
  }
  // Only a whole block makes the image fit to be written back to the meter.
  if (registers.Has(kParameterCount - 1)) dialog.m_paramsValid = 1;
}

void DecodeRegisters(MainDialog& dialog, const uint8_t* frame) {
  const Registers registers(frame);
  if (dialog.m_link.m_lastCount == 1) {
    // The register browser read one register: the one at the address asked for, even if the
    // operator has selected another since.
    const int32_t index = dialog.FindEntry(dialog.m_link.m_readStart);
    if (index >= 0 && registers.Has(0) && dialog.ReplyFromMeterInUse()) {
      dialog.m_regTable[index].value = registers.U16(0);
    }
  } else if (dialog.m_link.m_readStart >= kParameterStart) {
    DecodeParameters(dialog, registers);
  } else if (dialog.m_link.m_readStart >= kHarmonicStart) {
    DecodeHarmonics(dialog, registers);
  } else {
    DecodeRealtime(dialog, registers);
  }
}

void DecodeEvent(MainDialog& dialog, const uint8_t* record) {
  // A zero marker: the meter holds no event at the requested place.
  if ((record[22] | record[23]) == 0) {
    for (std::string MainDialog::*text : kEventTexts) (dialog.*text).clear();
    dialog.m_eventSeq = -1;
    dialog.m_eventName = "无效事件";
    return;
  }
  dialog.m_eventDate = Printf("%d.%d.%d", record[2] % 100, record[3], record[4]);
  dialog.m_eventTime = Printf("%d:%d:%d", record[5], record[6], record[7]);
  dialog.m_eventSeq = record[0];
  dialog.m_eventName = dialog.EventName(record);
  dialog.m_eventU1 = Printf("%8.2lf (V)", RecordWord(record, 10) * 0.1);
  dialog.m_eventU2 = Printf("%8.2lf (V)", RecordWord(record, 12) * 0.1);
  dialog.m_eventU3 = Printf("%8.2lf (V)", RecordWord(record, 14) * 0.1);
  dialog.m_eventI1 = Printf("%8.3lf (A)", RecordWord(record, 16) * 0.001);
  dialog.m_eventI2 = Printf("%8.3lf (A)", RecordWord(record, 18) * 0.001);
  dialog.m_eventI3 = Printf("%8.3lf (A)", RecordWord(record, 20) * 0.001);
  dialog.m_eventYx = dialog.YxBitsText(record[8]);
  dialog.m_eventYk = dialog.YkBitsText(record[9]);
}

// What the reply says the meter holds, by register index, when it answers a request written to
// the meter in use: the registers a block read carried, the register a single write's echo names,
// and the registers of a multiple write its echo confirms (the values are the request's).
void RememberReadValues(MainDialog& dialog, const uint8_t* frame) {
  if (!dialog.ReplyFromMeterInUse()) return;
  auto& read = dialog.m_readValues;
  auto word = [](const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); };
  switch (frame[1]) {
    case kFnReadHolding: {
      const Registers registers(frame);
      const int32_t first = dialog.FindEntry(dialog.m_link.m_readStart);
      for (int k = 0; first >= 0 && first + k < kRegisterCount && registers.Has(k); ++k) {
        read[static_cast<size_t>(first + k)] = registers.U16(k);
      }
      break;
    }
    case kFnWriteRegister: {
      const int32_t index = dialog.FindEntry(word(frame + 2));
      if (index >= 0) read[static_cast<size_t>(index)] = word(frame + 4);
      break;
    }
    case kFnWriteMultiple: {
      const uint8_t* request = dialog.m_link.m_txBuf;
      if (request[1] != kFnWriteMultiple || !std::equal(frame + 2, frame + 6, request + 2)) break;
      const int32_t first = dialog.FindEntry(word(frame + 2));
      const uint16_t count = word(frame + 4);
      for (int k = 0; first >= 0 && first + k < kRegisterCount && k < count; ++k) {
        read[static_cast<size_t>(first + k)] = word(request + 7 + 2 * k);
      }
      break;
    }
    default:
      break;
  }
}

// "1" for a set bit, "0" for a clear one, from bit `high` down to bit `low`.
std::string Bits(uint8_t byte, int high, int low) {
  std::string text;
  for (int bit = high; bit >= low; --bit) text.push_back((byte >> bit & 1) != 0 ? '1' : '0');
  return text;
}

}  // namespace

bool MainDialog::ReplyFitsRequest() const {
  const uint8_t* frame = m_link.m_rxBuf;
  switch (frame[1]) {
    case kFnReadHolding:
    case kFnReadInput:
      return frame[2] == 2 * m_link.m_lastCount;
    case kFnReadEvent:
      return frame[2] >= kEventRecordLen;
    case kFnReadCoils:
    case kFnReadInputs:
      return frame[2] != 0;
    default:
      return true;
  }
}

void MainDialog::DecodeReply() {
  // Both framings leave the reply in m_rxBuf in the same form; a mode the link does not know
  // ends no transaction and leaves nothing to decode.
  if (m_link.m_protocol != kProtocolRtu && m_link.m_protocol != kProtocolAscii) return;
  // A reply that does not answer the last request (a late answer to an older one) stores
  // nothing and is not logged here: the completion handler counts and logs it as a failure.
  if (!ReplyFitsRequest()) return;
  m_rxCount = static_cast<int32_t>(static_cast<uint32_t>(m_rxCount) + 1u);
  m_rxLog = Printf("第 %d 次接收信息帖(Hex) : ", m_rxCount);
  m_link.DumpRx(m_rxLog);

  const uint8_t* frame = m_link.m_rxBuf;
  switch (frame[1]) {
    case kFnReadCoils:
      m_ykBits = YkBitsText(frame[kDataOffset]);
      break;
    case kFnReadInputs:
      m_yxBits = YxBitsText(frame[kDataOffset]);
      break;
    case kFnReadHolding:
    case kFnReadInput:
      DecodeRegisters(*this, frame);
      break;
    case kFnWriteRegister: {
      // The meter echoes the register it wrote and the value it took.
      const int32_t index = FindEntry(static_cast<uint16_t>(frame[2] << 8 | frame[3]));
      if (index >= 0 && ReplyFromMeterInUse()) {
        m_regTable[index].value = static_cast<uint16_t>(frame[4] << 8 | frame[5]);
      }
      break;
    }
    case kFnReadEvent:
      DecodeEvent(*this, frame + kDataOffset);
      break;
    default:
      break;
  }
  RememberReadValues(*this, frame);
  RefreshDisplay();
}

std::string MainDialog::EventName(const uint8_t* record) const {
  const uint8_t code = record[1];
  const int channel = code % 16;
  if (code == 0x01) return "辅电掉电";
  if (code == 0x02) return "辅电上电";
  // Six remote-signalling inputs, three remote-control and three automatic-control outputs.
  struct EventClass {
    const char* format;
    int channels;
  };
  static constexpr EventClass kClasses[7] = {
      {nullptr, 0},    {"遥信%d通", 6}, {"遥信%d断", 6}, {"遥控%d通", 3},
      {"遥控%d断", 3}, {"自控%d通", 3}, {"自控%d断", 3},
  };
  const int group = code / 16;
  if (group < 7 && channel >= 1 && channel <= kClasses[group].channels) {
    return Printf(kClasses[group].format, channel);
  }
  return "未知事件";
}

std::string MainDialog::YxBitsText(uint8_t bits) const {
  return Bits(bits, 5, 4) + " " + Bits(bits, 3, 0);
}

std::string MainDialog::YkBitsText(uint8_t bits) const {
  return Bits(bits, 7, 4) + " " + Bits(bits, 3, 0);
}

uint16_t MainDialog::SwapBytes(uint16_t value) const {
  return static_cast<uint16_t>(value << 8 | value >> 8);
}
