#include "records/record_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>

#include "console/app_files.h"
#include "records/csv_text.h"

namespace {

constexpr const char* kBacklogReason = "磁盘长时间无响应，待写内容过多";
constexpr size_t kReadChunkBytes = 64 * 1024;

struct Item {
  std::string path;  // the journal's month file; unused for a stream
  std::vector<std::string> lines;
};

std::string SystemReason(int error) { return std::strerror(error != 0 ? error : EIO); }

// Writes data at the end of the file in one unbuffered write. A write the disk took only part of
// is cut off again, so the file keeps whole lines.
std::optional<std::string> Append(std::FILE* file, int64_t& size, const std::string& data) {
  errno = 0;
  const size_t written = std::fwrite(data.data(), 1, data.size(), file);
  if (written == data.size()) {
    size += static_cast<int64_t>(written);
    return std::nullopt;
  }
  const int error = errno;
  if (written > 0 && size >= 0) CutFile(file, size);
  std::clearerr(file);
  return SystemReason(error);
}

std::string FirstLines(int64_t size, const std::string& header) {
  if (size != 0) return {};
  std::string text(kUtf8Bom);
  text += header;
  text += kCsvLineEnd;
  return text;
}

std::optional<std::string> MakeParent(const std::string& path) {
  const std::string folder = ParentFolder(path);
  if (folder.empty() || KindOfPath(folder) == PathKind::Folder) return std::nullopt;
  return MakeFolders(folder);
}

// The highest write number that starts a line of the journal file; 0 when it has none (or is
// not there yet).
uint64_t HighestNumber(const std::string& path) {
  std::FILE* file = OpenUserFile(path, "rb");
  if (file == nullptr) return 0;
  uint64_t highest = 0;
  uint64_t number = 0;
  enum { LineStart, Digits, Rest } place = LineStart;
  std::string chunk(kReadChunkBytes, '\0');
  size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) {
    for (size_t k = 0; k < n; ++k) {
      const char c = chunk[k];
      if (c == '\n') {
        place = LineStart;
      } else if (place != Rest && c >= '0' && c <= '9') {
        number = (place == Digits ? number * 10 : 0) + static_cast<uint64_t>(c - '0');
        place = Digits;
      } else {
        if (place == Digits && c == ',' && number > highest) highest = number;
        place = Rest;
      }
    }
  }
  std::fclose(file);
  return highest;
}

}  // namespace

struct RecordFile::State {
  bool journal = false;
  std::string path;  // a stream's file
  std::string header;

  std::mutex mutex;
  std::condition_variable wake;     // the thread: something to write, or finish
  std::condition_variable settled;  // waiters: written, failed or done
  // Guarded by mutex.
  std::deque<Item> queue;
  size_t backlog = 0;
  bool writing = false;
  bool finishing = false;
  bool done = false;
  bool ended = false;      // a stream that failed
  bool retryWait = false;  // the journal's unwritten items wait for the next hand-over
  std::string failure;
  std::atomic<bool> failed{false};

  // The thread's own.
  std::FILE* file = nullptr;
  int64_t size = 0;

  void Fail(std::string reason) {
    failure = std::move(reason);
    failed.store(true, std::memory_order_release);
  }

  std::optional<std::string> WriteStream(std::deque<Item>& batch);
  // Writes items from the front; those written are removed.
  std::optional<std::string> WriteJournal(std::deque<Item>& batch);
  std::optional<std::string> WriteJournalItem(const Item& item);
  void Run();
};

std::optional<std::string> RecordFile::State::WriteStream(std::deque<Item>& batch) {
  std::string data;
  if (file == nullptr) {
    if (auto why = MakeParent(path)) return why;
    std::string why;
    file = OpenUserFile(path, "ab", &why);
    if (file == nullptr) return why;
    std::setvbuf(file, nullptr, _IONBF, 0);
    size = OpenFileSize(file);
    data = FirstLines(size, header);
  } else if (auto gone = OpenFileGone(file, path)) {
    return gone;
  }
  for (const Item& item : batch) {
    for (const std::string& line : item.lines) data += line;
  }
  batch.clear();
  return Append(file, size, data);
}

std::optional<std::string> RecordFile::State::WriteJournalItem(const Item& item) {
  if (auto why = MakeParent(item.path)) return why;
  const std::string number = std::to_string(HighestNumber(item.path) + 1) + ",";
  std::string why;
  std::FILE* month = OpenUserFile(item.path, "ab", &why);
  if (month == nullptr) return why;
  std::setvbuf(month, nullptr, _IONBF, 0);
  int64_t length = OpenFileSize(month);
  std::string data = FirstLines(length, header);
  for (const std::string& line : item.lines) data += number + line;
  std::optional<std::string> failure = Append(month, length, data);
  if (std::fclose(month) != 0 && !failure) failure = SystemReason(errno);
  return failure;
}

std::optional<std::string> RecordFile::State::WriteJournal(std::deque<Item>& batch) {
  while (!batch.empty()) {
    if (auto why = WriteJournalItem(batch.front())) return why;
    batch.pop_front();
  }
  return std::nullopt;
}

void RecordFile::State::Run() {
  KeepBrokenPipesFromEndingTheProcess();
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    wake.wait(lock, [&] { return finishing || (!queue.empty() && !retryWait); });
    if (queue.empty() || ended || (finishing && retryWait)) break;
    std::deque<Item> batch;
    batch.swap(queue);
    backlog = 0;
    writing = true;
    lock.unlock();
    std::optional<std::string> why = journal ? WriteJournal(batch) : WriteStream(batch);
    lock.lock();
    writing = false;
    if (why) {
      Fail(*why);
      if (journal) {
        // Older first: what failed goes before what was handed over meanwhile.
        queue.insert(queue.begin(), batch.begin(), batch.end());
        retryWait = true;
      } else {
        ended = true;
        queue.clear();
      }
    }
    settled.notify_all();
  }
  if (file != nullptr) std::fclose(file);
  file = nullptr;
  done = true;
  settled.notify_all();
}

RecordFile::RecordFile(std::shared_ptr<State> state) : m_state(std::move(state)) {
  try {
    m_thread = std::thread([state = m_state] { state->Run(); });
  } catch (const std::system_error& error) {
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->ended = true;
    m_state->done = true;
    m_state->Fail(error.what());
  }
}

std::unique_ptr<RecordFile> RecordFile::Stream(std::string path, std::string header) {
  auto state = std::make_shared<State>();
  state->path = std::move(path);
  state->header = std::move(header);
  return std::unique_ptr<RecordFile>(new RecordFile(std::move(state)));
}

std::unique_ptr<RecordFile> RecordFile::Journal(std::string header) {
  auto state = std::make_shared<State>();
  state->journal = true;
  state->header = std::move(header);
  return std::unique_ptr<RecordFile>(new RecordFile(std::move(state)));
}

RecordFile::~RecordFile() { Finish(kFinishWaitMs); }

bool RecordFile::Hand(std::string lines) {
  State& s = *m_state;
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (s.ended || s.finishing) return false;
  s.backlog += lines.size();
  if (s.backlog > kMaxBacklogBytes) {
    s.ended = true;
    s.queue.clear();
    s.Fail(kBacklogReason);
    return false;
  }
  s.queue.push_back({{}, {std::move(lines)}});
  s.wake.notify_one();
  return true;
}

void RecordFile::HandNumbered(std::string path, std::vector<std::string> lines) {
  State& s = *m_state;
  const std::lock_guard<std::mutex> lock(s.mutex);
  if (s.finishing) return;
  s.queue.push_back({std::move(path), std::move(lines)});
  s.retryWait = false;
  s.wake.notify_one();
}

bool RecordFile::Failed() const { return m_state->failed.load(std::memory_order_acquire); }

std::optional<std::string> RecordFile::TakeFailure() {
  if (!Failed()) return std::nullopt;
  const std::lock_guard<std::mutex> lock(m_state->mutex);
  m_state->failed.store(false, std::memory_order_relaxed);
  return std::move(m_state->failure);
}

bool RecordFile::WaitWritten(int timeoutMs) {
  State& s = *m_state;
  std::unique_lock<std::mutex> lock(s.mutex);
  auto written = [&] { return s.queue.empty() && !s.writing; };
  s.settled.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                     [&] { return written() || s.ended || s.retryWait || s.done; });
  return written() && !s.ended;
}

void RecordFile::Finish(int waitMs) {
  if (!m_thread.joinable()) return;
  State& s = *m_state;
  std::unique_lock<std::mutex> lock(s.mutex);
  s.finishing = true;
  s.retryWait = false;  // the journal tries once more
  s.wake.notify_all();
  const bool done =
      s.settled.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return s.done; });
  lock.unlock();
  if (done) {
    m_thread.join();
  } else {
    m_thread.detach();  // it holds its own share of the state
  }
}

const std::string& RecordFile::Path() const { return m_state->path; }
