// record_handover: how long the console's thread spends handing lines to the records' files, which
// write them on threads of their own: a journal entry (the lines of one write) to its month's file,
// a capture line to a file, and a capture line to a disk that has stopped answering (a pipe nobody
// reads, whose open never returns).
//
//   record_handover [FOLDER]
//
// Prints key=value lines, each time in microseconds: journal_median_us, journal_longest_us
// (2000 writes of two lines each), stream_median_us, stream_longest_us (20000 lines of 150 bytes),
// stalled_longest_us (lines handed over until the stalled stream ends for its backlog).
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "records/record_file.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Spread {
  double medianUs;
  double longestUs;
};

template <typename Hand>
Spread Time(int count, Hand hand) {
  std::vector<double> us;
  us.reserve(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) {
    const auto start = Clock::now();
    if (!hand(k)) break;
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(us.begin(), us.end());
  return {us[us.size() / 2], us.back()};
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "quorvel-handover";
  fs::remove_all(folder);
  fs::create_directories(folder);

  auto journal = RecordFile::Journal("写入编号,时间,寄存器");
  const std::string month = (folder / "journal" / "2026-12.csv").string();
  const Spread journalTimes = Time(2000, [&](int k) {
    journal->HandNumbered(month, {"2026-12-07T10:15:02.123+08:00,CT低位," + std::to_string(k) +
                                      "\r\n",
                                  "2026-12-07T10:15:02.123+08:00,CT高位,0\r\n"});
    return true;
  });
  journal->WaitWritten(30000);

  auto stream = RecordFile::Stream((folder / "capture.csv").string(), "时间,数据");
  const std::string line(148, 'x');
  const Spread streamTimes = Time(20000, [&](int) { return stream->Hand(line + "\r\n"); });
  stream->WaitWritten(30000);

  const std::string pipe = (folder / "stalled").string();
  ::mkfifo(pipe.c_str(), 0600);
  auto stalled = RecordFile::Stream(pipe, "时间,数据");
  const Spread stalledTimes = Time(1 << 20, [&](int) { return stalled->Hand(line + "\r\n"); });
  // Someone reads at last, so that the stalled thread can end.
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  std::atomic<bool> finished{false};
  std::thread drain([&] {
    char buffer[4096];
    while (!finished) {
      if (::read(reader, buffer, sizeof buffer) <= 0) ::poll(nullptr, 0, 1);
    }
  });
  stalled->Finish(10000);
  finished = true;
  drain.join();
  ::close(reader);
  fs::remove_all(folder);

  std::printf("journal_median_us=%.2f\n", journalTimes.medianUs);
  std::printf("journal_longest_us=%.2f\n", journalTimes.longestUs);
  std::printf("stream_median_us=%.2f\n", streamTimes.medianUs);
  std::printf("stream_longest_us=%.2f\n", streamTimes.longestUs);
  std::printf("stalled_longest_us=%.2f\n", stalledTimes.longestUs);
  return 0;
}
