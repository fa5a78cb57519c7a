// The records' files: a new file's mark and header, appending, the journal's write numbers, and
// what a failing disk, folder or file does to each kind.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "records/record_file.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 10000;
const std::string kBom = "\xEF\xBB\xBF";

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string Contents(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class RecordFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / fs::u8path(std::string("quorvel-记录-") + test->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string In(const std::string& name) const { return Utf8(folder / fs::u8path(name)); }

  fs::path folder;
};

// Through a folder that is not there yet, with Chinese characters in its name and the file's.
TEST_F(RecordFileTest, AStreamStartsANewFileWithTheMarkAndHeaderAndAppendsToAnOldOne) {
  const std::string path = In("现场/通讯 记录.csv");
  auto file = RecordFile::Stream(path, "时间,数据");
  EXPECT_TRUE(file->Hand("1,读\r\n"));
  EXPECT_TRUE(file->Hand("2,写\r\n"));
  ASSERT_TRUE(file->WaitWritten(kWaitMs));
  file.reset();
  file = RecordFile::Stream(path, "时间,数据");
  EXPECT_TRUE(file->Hand("3,读\r\n"));
  ASSERT_TRUE(file->WaitWritten(kWaitMs));
  EXPECT_EQ(Contents(path), kBom + "时间,数据\r\n1,读\r\n2,写\r\n3,读\r\n");
  EXPECT_FALSE(file->TakeFailure());
}

// Numbers go on from the file, whoever wrote it last; each month's file starts at 1.
TEST_F(RecordFileTest, TheJournalNumbersEachWriteOnFromItsFileAndKeepsItsLinesTogether) {
  const std::string december = In("journal/2026-12.csv");
  const std::string january = In("journal/2027-01.csv");
  auto journal = RecordFile::Journal("写入编号,寄存器");
  journal->HandNumbered(december, {"CT低位\r\n", "CT高位\r\n"});
  journal->HandNumbered(december, {"时钟\r\n"});
  ASSERT_TRUE(journal->WaitWritten(kWaitMs));
  journal = RecordFile::Journal("写入编号,寄存器");
  journal->HandNumbered(december, {"事件记录\r\n"});
  journal->HandNumbered(january, {"Yk通道 1\r\n"});
  ASSERT_TRUE(journal->WaitWritten(kWaitMs));
  EXPECT_EQ(Contents(december),
            kBom + "写入编号,寄存器\r\n1,CT低位\r\n1,CT高位\r\n2,时钟\r\n3,事件记录\r\n");
  EXPECT_EQ(Contents(january), kBom + "写入编号,寄存器\r\n1,Yk通道 1\r\n");
}

// A file where the journal's folder should be: the failure is taken once, the write waits, and
// the next write brings both once the folder can be made.
TEST_F(RecordFileTest, TheJournalSaysAFailureOnceAndWritesWhatWaitedWithTheNextWrite) {
  const fs::path blocker = folder / "journal";
  std::ofstream(blocker) << "not a folder";
  const std::string month = Utf8(blocker / "2026-12.csv");
  auto journal = RecordFile::Journal("写入编号,寄存器");
  journal->HandNumbered(month, {"CT低位\r\n"});
  EXPECT_FALSE(journal->WaitWritten(kWaitMs));
  ASSERT_TRUE(journal->Failed());
  EXPECT_NE(journal->TakeFailure().value_or(""), "");
  EXPECT_FALSE(journal->TakeFailure());

  fs::remove(blocker);
  journal->HandNumbered(month, {"时钟\r\n"});
  ASSERT_TRUE(journal->WaitWritten(kWaitMs));
  EXPECT_EQ(Contents(month), kBom + "写入编号,寄存器\r\n1,CT低位\r\n2,时钟\r\n");
  EXPECT_FALSE(journal->Failed());
}

#ifndef _WIN32
struct StreamFault {
  const char* name;
  std::function<std::string(const fs::path& folder)> path;  // where the stream writes
  std::function<void(const std::string& path)> meanwhile;   // after the first line is written
  const char* reason;
};

const StreamFault kStreamFaults[] = {
    {"DiskFull", [](const fs::path&) { return std::string("/dev/full"); }, nullptr,
     "No space left on device"},
    {"FileWhereTheFolderShouldBe",
     [](const fs::path& folder) {
       std::ofstream(folder / "logs") << "not a folder";
       return Utf8(folder / "logs" / "data.csv");
     },
     nullptr, "Not a directory"},
    {"FileRemoved", [](const fs::path& folder) { return Utf8(folder / "capture.csv"); },
     [](const std::string& path) { fs::remove(fs::u8path(path)); }, "文件已被删除"},
    {"FileMadeReadOnly", [](const fs::path& folder) { return Utf8(folder / "capture.csv"); },
     [](const std::string& path) { ::chmod(path.c_str(), 0444); }, "文件已被设为只读"},
};

// The stream ends at its first failure, says why once, takes nothing more, and leaves what it had
// written as it was.
TEST_F(RecordFileTest, AStreamEndsAtItsFirstFailureAndSaysWhyOnce) {
  for (const StreamFault& fault : kStreamFaults) {
    SCOPED_TRACE(fault.name);
    const std::string path = fault.path(folder);
    auto file = RecordFile::Stream(path, "h");
    if (fault.meanwhile) {
      ASSERT_TRUE(file->Hand("1\r\n"));
      ASSERT_TRUE(file->WaitWritten(kWaitMs));
      fault.meanwhile(path);
    }
    file->Hand("2\r\n");
    EXPECT_FALSE(file->WaitWritten(kWaitMs));
    const auto reason = file->TakeFailure();
    ASSERT_TRUE(reason);
    EXPECT_NE(reason->find(fault.reason), std::string::npos) << *reason;
    EXPECT_FALSE(file->TakeFailure());
    EXPECT_FALSE(file->Hand("3\r\n"));
    if (fault.meanwhile && fs::exists(fs::u8path(path))) {
      EXPECT_EQ(Contents(path), kBom + "h\r\n1\r\n");
    }
  }
}

// A disk that fills up under the stream (a small tmpfs; mounting needs root and a system that
// allows it): the file keeps whole lines only.
TEST_F(RecordFileTest, AFullDiskLeavesWholeLinesOnly) {
  const fs::path disk = folder / "disk";
  fs::create_directories(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=8k") != 0) {
    GTEST_SKIP() << "no small tmpfs can be mounted here: " << std::strerror(errno);
  }
  const std::string path = Utf8(disk / "capture.csv");
  auto file = RecordFile::Stream(path, "序号,数据");
  const std::string line = std::string(97, 'x') + "\r\n";
  int handed = 0;
  while (!file->Failed() && handed < 1000) {
    file->Hand(std::to_string(handed++) + "," + line);
    file->WaitWritten(kWaitMs);
  }
  file.reset();
  const std::string text = Contents(path);
  ::umount(disk.c_str());
  ASSERT_LT(handed, 1000);
  const std::string header = kBom + "序号,数据\r\n";
  ASSERT_EQ(text.rfind(header, 0), 0u);
  size_t at = header.size();
  int lines = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    EXPECT_EQ(text.substr(at, end + 2 - at), std::to_string(lines++) + "," + line);
  }
  EXPECT_EQ(at, text.size()) << "a part of a line is left at the end";
  EXPECT_GT(lines, 10);
}

// A disk that stops answering (a network drive gone away: here a pipe nobody reads, whose open
// never returns): handing lines over never waits, and the stream ends once too much waits.
TEST_F(RecordFileTest, AStalledDiskNeverHoldsTheHandOverAndEndsTheStream) {
  const std::string path = Utf8(folder / "stalled");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  auto file = RecordFile::Stream(path, "h");
  const std::string line(1000, 'x');
  auto longest = std::chrono::nanoseconds(0);
  int handed = 0;
  for (bool taken = true; taken && handed < 5000; ++handed) {
    const auto start = std::chrono::steady_clock::now();
    taken = file->Hand(line);
    longest = std::max(longest, std::chrono::steady_clock::now() - start);
  }
  EXPECT_LT(handed, 5000);
  EXPECT_LT(longest, std::chrono::milliseconds(100));
  EXPECT_NE(file->TakeFailure().value_or("").find("磁盘长时间无响应"), std::string::npos);
  // Someone reads at last: the thread gets its file (if it had taken anything to write by then),
  // writes what it had taken, and ends.
  const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
  std::atomic<bool> finished{false};
  std::thread drain([&] {
    char buffer[4096];
    while (!finished) {
      if (::read(reader, buffer, sizeof buffer) <= 0) ::poll(nullptr, 0, 1);
    }
  });
  file->Finish(kWaitMs);
  finished = true;
  drain.join();
  ::close(reader);
  EXPECT_FALSE(file->Hand(line));
}
#endif

}  // namespace
