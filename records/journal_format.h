#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/local_time.h"

// The journal of writes: one line per register a write changed, in the meter's terms. Columns:
//   写入编号       the write's number in the month's file (given by the journal's writer); the
//                  lines of one write share it
//   时间           when the request went on the line: local time, milliseconds, offset
//   用户           the login name the console ran as
//   端口与线路     the port and line as the summary shows them ("COM1:9600,N,8,2")
//   从机地址       the slave addressed
//   功能码         5, 6, 9 or 16; 3 for the read-back that checked a write (its lines: each
//                  register the meter holds otherwise than written, 原值 what was written, 新值
//                  what was read back; or one line "读回" when all agree)
//   寄存器         the register's name ("CT低位", "Yk1定值"; "时钟", "事件记录", a Yk channel;
//                  "无变化" for a parameter write that changed nothing)
//   地址           its address (a coil's for a Yk channel)
//   原值           what the meter held, as last read, as the window shows it ("未读" when not read)
//   新值           what was written, as the window shows it
//   新值(原始)     what was written, as the register's raw value(s) in hexadecimal
//   结果           已确认 (the meter's echo agrees), 回显不符, 异常 NN（…）, 超时, 应答校验错误,
//                  应答无法识别, 串口断开, 未确认 (still outstanding when the console closed, or
//                  replaced by another request)

struct JournalChange {
  std::string name;
  uint16_t address = 0;
  std::string before;
  std::string after;
  std::string raw;
};

struct JournalWrite {
  WallTime when;
  std::string user;
  std::string portLine;
  int32_t slave = 0;
  uint8_t function = 0;
  std::vector<JournalChange> changes;
};

// One change per register of the table from index `first` whose value differs between `before`
// and `after`, both as the window shows them, the raw value `after`'s.
std::vector<JournalChange> ChangedRegisters(int first, const uint16_t* before,
                                            const uint16_t* after, int count);

std::string JournalHeader();
// The lines of the write with its outcome, each ended, without the write number, which the
// journal's writer puts first.
std::vector<std::string> JournalLines(const JournalWrite& write, std::string_view outcome);
