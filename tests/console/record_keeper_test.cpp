// The console's records on a scripted line: the journal line of each kind of write and of each
// outcome, the capture and the data log from the 文件 menu, and what a failing file does to the
// console: it says so once and goes on polling and writing to the meter.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "commands/command_fixture.h"
#include "console/record_keeper.h"
#include "records/data_log_format.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 10000;
constexpr int kStatus = IDC_STATUS;

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The fields of one CSV line (quotes as the records write them).
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t k = 0; k < line.size(); ++k) {
    const char c = line[k];
    if (quoted && c == '"' && k + 1 < line.size() && line[k + 1] == '"') {
      fields.back() += '"';
      ++k;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// The lines of a record after its mark and header, without their ends.
std::vector<std::string> Lines(const fs::path& path) {
  const std::string text = Contents(path);
  std::vector<std::string> lines;
  size_t at = text.find("\r\n");
  while (at != std::string::npos) {
    const size_t end = text.find("\r\n", at + 2);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(at + 2, end - at - 2));
    at = end;
  }
  return lines;
}

class RecordsTest : public CommandTest {
 public:
  // What the table's steps do (below).
  using CommandTest::Answer;
  using CommandTest::dialog;
  using CommandTest::Echo;
  using CommandTest::Edit;
  using CommandTest::LastFrame;
  using CommandTest::wire;
  using CommandTest::window;

  // A poll of the real-time block, answered with these registers, then polling off again.
  void PollRealtime(const std::vector<uint16_t>& registers) {
    StartPolling();
    const size_t before = Sent();
    for (int k = 0; k < 10 && Sent() == before; ++k) window.Tick();
    ASSERT_EQ(BlockOf(LastFrame()), 0);
    Answer(HoldingReply(registers));
    window.Click(kAutoPollButton);
  }

 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / (std::string("quorvel-records-") + test->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    CommandTest::SetUp();
    dialog.m_records->m_journalFolder = (folder / "journal").string();
  }
  void TearDown() override {
    CommandTest::TearDown();
    fs::remove_all(folder);
  }

  // The journal's lines so far, each without the time and the user.
  std::vector<std::string> Journal() {
    RecordFile* journal = dialog.m_records->JournalFile();
    if (journal == nullptr || !journal->WaitWritten(kWaitMs)) return {};
    std::vector<std::string> lines;
    for (const auto& month : fs::directory_iterator(folder / "journal")) {
      for (const std::string& line : Lines(month.path())) {
        std::vector<std::string> fields = Fields(line);
        fields.erase(fields.begin() + 1, fields.begin() + 3);
        std::string joined;
        for (const std::string& field : fields) joined += (joined.empty() ? "" : "|") + field;
        lines.push_back(joined);
      }
    }
    return lines;
  }

  static uint16_t BlockOf(const Bytes& request) {
    return static_cast<uint16_t>(request.at(2) << 8 | request.at(3));
  }

  fs::path folder;
};

struct WriteCase {
  const char* name;
  std::function<void(RecordsTest&)> write;  // the operator's command
  std::function<void(RecordsTest&)> end;    // how its transaction ends
  std::vector<std::string> lines;  // number|port and line|slave|function|register|address|
                                   // before|after|raw|outcome
};

const WriteCase kWriteCases[] = {
    {"ParametersWithTwoRegistersChanged",
     [](RecordsTest& t) {
       t.Edit(IDC_CT, "60");  // CT 0x0B1B0A1A as read becomes 60: both halves change
       t.window.Click(IDC_WRITE_PARAMS);
     },
     [](RecordsTest& t) {
       // The echo, then the read-back of the block as written, journaled after the write.
       const Bytes write = t.LastFrame();
       t.Answer(Closed(Bytes(write.begin(), write.begin() + 6)));
       std::vector<uint16_t> block(kParameterCount);
       for (int k = 0; k < kParameterCount; ++k) {
         block[k] = static_cast<uint16_t>(write[7 + 2 * k] << 8 | write[8 + 2 * k]);
       }
       t.Answer(HoldingReply(block));
     },
     {"1|COM1:9600,N,8,2|1|16|CT低位|0x0312|2586|60|0x003C|已确认",
      "1|COM1:9600,N,8,2|1|16|CT高位|0x0314|2843|0|0x0000|已确认",
      "2|COM1:9600,N,8,2|1|3|读回|0x0300||||读回一致"}},
    {"RegisterRefused",
     [](RecordsTest& t) {
       t.Edit(IDC_REG_HEX, "5");
       t.window.Type(IDC_REG_NUMBER, "302");
       t.window.Click(IDC_WRITE_REGISTER);
     },
     [](RecordsTest& t) { t.Answer(Closed({1, 0x86, 0x02})); },
     {"3|COM1:9600,N,8,2|1|6|接线方式|0x0302|530|三相四线平衡|0x0005|异常 02（非法数据地址）"}},
    {"RegisterEchoedOtherwise",
     [](RecordsTest& t) {
       t.Edit(IDC_REG_HEX, "2");
       t.window.Click(IDC_WRITE_REGISTER);
     },
     [](RecordsTest& t) {
       t.Answer(Closed({1, 6, 0x03, 0x02, 0x00, 0x03}));
       t.Answer(HoldingReply({3}));  // the read-back: the meter holds what it echoed
     },
     {"4|COM1:9600,N,8,2|1|6|接线方式|0x0302|530|三相三线|0x0002|回显不符（03 02 00 03）",
      "5|COM1:9600,N,8,2|1|3|接线方式|0x0302|三相三线|三相三线平衡|0x0003|读回不一致"}},
    {"OutputTimedOut",
     [](RecordsTest& t) {
       t.window.Click(IDC_READ_YK);
       t.Answer(Closed({1, 1, 1, 0x02}));  // output 1 closed
       t.window.Type(IDC_YK_CHANNEL, "1");
       t.window.Type(IDC_YK_STATE, "0");
       t.window.Type(IDC_YK_CONFIRM, "0");
       t.window.Click(IDC_EXECUTE_YK);
     },
     [](RecordsTest& t) { t.window.Ticks(60); },
     {"6|COM1:9600,N,8,2|1|5|Yk通道 1|0x0001|合|分|0x0000|超时"}},
    {"ClockWithADamagedReply",
     [](RecordsTest& t) {
       std::vector<uint16_t> realtime(kRealtimeCount, 0);
       realtime[65] = 2026;
       realtime[66] = 0x0C07;
       realtime[67] = 0x0A0E;
       realtime[68] = 0x3B00;
       t.PollRealtime(realtime);  // the meter's clock: 2026.12.7 10:14:59
       t.dialog.m_localTime = [] { return LocalTime{2026, 12, 7, 10, 15, 2}; };
       t.window.Click(IDC_SYNC_CLOCK);
     },
     [](RecordsTest& t) {
       Bytes echo = Closed(Bytes(t.LastFrame().begin(), t.LastFrame().begin() + 6));
       echo.back() ^= 0xFF;
       t.Answer(echo);
     },
     {"7|COM1:9600,N,8,2|1|16|时钟|0x0082|2026.12.7 10:14:59|2026.12.7 10:15:02|"
      "07EA 0C07 0A0F 0200|应答校验错误"}},
    {"ClearEventsWhenTheLineIsLost",
     [](RecordsTest& t) {
       t.window.AnswerNext(true);
       t.window.Click(IDC_CLEAR_EVENTS);
     },
     [](RecordsTest& t) {
       t.wire->lost = true;
       t.wire->openFails = true;
       t.window.Tick();
       t.wire->lost = false;
       t.wire->openFails = false;
       t.window.Ticks(25);  // open again
     },
     {"8|COM1:9600,N,8,2|1|9|事件记录|0x0000||全部清除||串口断开"}},
    {"ParametersUnchangedAtClose",
     [](RecordsTest& t) {
       t.window.Click(IDC_READ_PARAMS);  // the reopen asked for the block again
       t.Answer(HoldingReply(StartBlock()));
       t.window.Click(IDC_WRITE_PARAMS);
     },
     [](RecordsTest& t) { t.dialog.OnDestroy(); },
     {"9|COM1:9600,N,8,2|1|16|无变化|0x0300||||未确认"}},
};

// In turn, one journal: each write adds its lines, numbered on, when its transaction ends.
TEST_F(RecordsTest, EachWriteIsJournaledInTheMetersTermsWithItsOutcome) {
  std::vector<std::string> expected;
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(c.name);
    const size_t before = Sent();
    c.write(*this);
    ASSERT_GT(Sent(), before);
    EXPECT_EQ(Journal(), expected);  // nothing before the outcome
    c.end(*this);
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(Journal(), expected);
  }
}

// 文件 → 记录通讯… and 记录数据… ask for a file and start; the stop items are usable only while
// their record runs. 打开操作记录文件夹 shows the journal's folder, made if it was not there.
TEST_F(RecordsTest, TheFileMenuStartsAndStopsTheRecordsAndShowsTheJournalFolder) {
  const auto states = [&] {
    std::string text;
    for (int id : {IDM_TRACE_START, IDM_TRACE_STOP, IDM_LOG_START, IDM_LOG_STOP}) {
      text += window.IsMenuItemEnabled(id) ? '1' : '0';
    }
    return text;
  };
  EXPECT_EQ(states(), "1010");
  window.m_fileAnswers = {(folder / "capture.csv").string(), std::nullopt};
  window.ChooseMenu(IDM_TRACE_START);
  window.ChooseMenu(IDM_LOG_START);  // cancelled
  EXPECT_EQ(window.m_fileQuestions, (std::vector<std::string>{"记录通讯", "记录数据"}));
  EXPECT_EQ(states(), "0110");
  window.Click(IDC_READ_YX);
  ASSERT_TRUE(dialog.m_records->CaptureFile()->WaitWritten(kWaitMs));
  window.ChooseMenu(IDM_TRACE_STOP);
  EXPECT_EQ(states(), "1010");
  const std::vector<std::string> lines = Lines(folder / "capture.csv");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Fields(lines[0])[4], "start");
  EXPECT_EQ(Fields(lines[1])[9], "读遥信 0x0000 起 8 位");

  window.ChooseMenu(IDM_OPEN_JOURNAL);
  EXPECT_EQ(window.m_openedFolders, std::vector<std::string>{dialog.m_records->m_journalFolder});
  EXPECT_TRUE(fs::is_directory(folder / "journal"));
}

// The data log's columns are the fields of 实时数据 and of the energy grid, and the harmonic
// content, each headed with the window's name for it; a row holds what the window shows.
TEST_F(RecordsTest, TheDataLogHasAColumnPerFieldAsTheWindowNamesAndShowsIt) {
  // The window's name of a field: its accessible name, else the label before it.
  const auto windowName = [](int id) {
    const char* label = "";
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
      if (control.id == id) return std::string(control.accessibleName ? control.accessibleName : label);
      if (control.kind == ControlKind::Label) label = control.text;
    }
    return std::string();
  };
  // The words of a heading without its unit, in order.
  const auto words = [](std::string text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
      if (word.front() != '(') out.push_back(word);
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  const fs::path path = folder / "data.csv";
  dialog.m_records->StartDataLog(path.string());
  std::vector<uint16_t> realtime(kRealtimeCount);
  for (int k = 0; k < kRealtimeCount; ++k) realtime[k] = static_cast<uint16_t>(1000 + 37 * k);
  PollRealtime(realtime);
  std::vector<std::string> shown;
  for (const DataColumn& column : DataLogColumns()) shown.push_back(window.GetText(column.controlId));
  ASSERT_TRUE(dialog.m_records->DataLogFile()->WaitWritten(kWaitMs));
  dialog.m_records->StopDataLog();

  const std::vector<std::string> header = Fields(Contents(path).substr(3, Contents(path).find("\r\n") - 3));
  const std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), 1u);
  const std::vector<std::string> row = Fields(lines[0]);
  ASSERT_EQ(header.size(), DataLogColumns().size() + 1);
  ASSERT_EQ(row.size(), header.size());
  EXPECT_EQ(header[0], "时间");
  for (size_t k = 0; k < DataLogColumns().size(); ++k) {
    const int id = DataLogColumns()[k].controlId;
    EXPECT_EQ(words(header[k + 1]), words(windowName(id))) << header[k + 1];
    EXPECT_EQ(row[k + 1], shown[k]) << header[k + 1];
  }
  EXPECT_EQ(row[1], "100.0");  // Uan: a number as the window shows it
  EXPECT_EQ(row[row.size() - 1], "");  // no harmonic reply yet
}

#ifndef _WIN32
// Recording into a full disk: the capture stops and says why in 提示信息 once; polling goes on.
// A journal whose folder cannot be made says so, and the write goes out all the same.
TEST_F(RecordsTest, AFailingRecordIsSaidOnceAndNeitherPollingNorAWriteWaitsForIt) {
  window.m_fileAnswers = {std::string("/dev/full")};
  window.ChooseMenu(IDM_TRACE_START);
  ASSERT_FALSE(dialog.m_records->CaptureFile()->WaitWritten(kWaitMs));
  StartPolling();
  std::vector<std::string> said;
  for (int k = 0; k < 40; ++k) {
    if (dialog.m_link.m_ticks != 0 && LastFrame()[1] == 3) {
      Answer(HoldingReply(std::vector<uint16_t>(LastFrame()[5], 0)));
    } else {
      window.Tick();
    }
    if (said.empty() || said.back() != Shown(kStatus)) said.push_back(Shown(kStatus));
  }
  EXPECT_EQ(std::count(said.begin(), said.end(),
                       "记录已停止：通讯记录（/dev/full）：No space left on device"),
            1)
      << ::testing::PrintToString(said);
  EXPECT_EQ(said.back(), "通讯成功");
  EXPECT_TRUE(window.IsMenuItemEnabled(IDM_TRACE_START));
  EXPECT_FALSE(window.IsMenuItemEnabled(IDM_TRACE_STOP));
  window.Click(kAutoPollButton);
  window.Ticks(60);

  std::ofstream(folder / "journal") << "a file where the folder should be";
  window.AnswerNext(true);
  const size_t before = Sent();
  window.Click(IDC_CLEAR_EVENTS);
  ASSERT_EQ(Sent(), before + 1);
  Echo();
  ASSERT_FALSE(dialog.m_records->JournalFile()->WaitWritten(kWaitMs));
  window.Tick();
  EXPECT_EQ(Shown(kStatus).rfind("操作记录写入失败：", 0), 0u) << Shown(kStatus);
  fs::remove(folder / "journal");
  window.AnswerNext(true);
  window.Click(IDC_CLEAR_EVENTS);
  Echo();
  EXPECT_EQ(Journal().size(), 2u);
}
#endif

}  // namespace
