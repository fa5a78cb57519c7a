#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A CSV file the console keeps, written by a thread of its own: the console hands whole lines over
// and never waits on the disk (a network drive that went away stalls a write for seconds). Each
// hand-over reaches the file in one write, unbuffered, so a crash leaves whole lines only, and a
// hand-over the disk took only part of is cut off again. A new (empty) file starts with the
// byte-order mark and the header line.
//
// Two kinds:
// - a stream (the traffic capture, the data log): one file, appended to; its first failure ends
//   it and drops what waits, and so does a backlog of more than kMaxBacklogBytes (a disk that has
//   stopped answering);
// - the journal: every hand-over names its file (the month's), which is opened, written and closed
//   for it; its lines are numbered on from the highest write number the file holds, the lines of
//   one hand-over sharing one number. What could not be written waits and is tried again with the
//   next hand-over, and once more when the journal finishes.
// A failure is taken in once, by the console's tick (TakeFailure).
class RecordFile {
 public:
  static constexpr size_t kMaxBacklogBytes = 1 << 20;

  // The header is the first line of a new file, without its end.
  static std::unique_ptr<RecordFile> Stream(std::string path, std::string header);
  static std::unique_ptr<RecordFile> Journal(std::string header);
  ~RecordFile();  // Finish, waiting up to kFinishWaitMs
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Stream: lines, each with its end. False once the stream has ended: nothing more is written.
  bool Hand(std::string lines);
  // Journal: the lines of one write, each with its end, to be numbered and added to `path`.
  void HandNumbered(std::string path, std::vector<std::string> lines);

  // A failure waits to be taken in: its reason, once.
  bool Failed() const;
  std::optional<std::string> TakeFailure();
  // Waits until everything handed over has been written (true), or a failure, or the time is up.
  bool WaitWritten(int timeoutMs);
  // The thread writes what waits and ends; it is waited for at most waitMs and otherwise left to
  // end by itself (a stalled disk must not hold the console's close).
  void Finish(int waitMs);
  const std::string& Path() const;

  static constexpr int kFinishWaitMs = 3000;

 private:
  struct State;
  explicit RecordFile(std::shared_ptr<State> state);
  std::shared_ptr<State> m_state;
  std::thread m_thread;
};
