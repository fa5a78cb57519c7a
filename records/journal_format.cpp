#include "records/journal_format.h"

#include "device/text_format.h"
#include "records/csv_text.h"

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
