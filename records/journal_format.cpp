#include "records/journal_format.h"

#include "device/register_table.h"
#include "device/register_text.h"
#include "device/text_format.h"
#include "records/csv_text.h"

std::vector<JournalChange> ChangedRegisters(int first, const uint16_t* before,
                                            const uint16_t* after, int count) {
  std::vector<JournalChange> changes;
  for (int k = 0; k < count && first + k < kRegisterCount; ++k) {
    if (before[k] == after[k]) continue;
    const RegisterDescriptor& reg = RegisterTable[static_cast<size_t>(first + k)];
    changes.push_back({reg.name, reg.address, RegisterValueText(first + k, before[k]),
                       RegisterValueText(first + k, after[k]),
                       Printf("0x%04X", static_cast<unsigned>(after[k]))});
  }
  return changes;
}

std::string JournalHeader() {
  return "写入编号,时间,用户,端口与线路,从机地址,功能码,寄存器,地址,原值,新值,新值(原始),结果";
}

std::vector<std::string> JournalLines(const JournalWrite& write, std::string_view outcome) {
  CsvLine common;
  common.Text(IsoLocalText(write.when)).Outside(write.user).Outside(write.portLine);
  common.Integer(write.slave).Integer(write.function);
  std::vector<std::string> lines;
  lines.reserve(write.changes.size());
  for (const JournalChange& change : write.changes) {
    CsvLine line = common;
    line.Text(change.name).Text(Printf("0x%04X", static_cast<unsigned>(change.address)));
    line.Text(change.before).Text(change.after).Text(change.raw).Text(outcome);
    lines.push_back(std::move(line).Done());
  }
  return lines;
}
