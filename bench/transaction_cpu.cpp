// transaction_cpu: the console's CPU time per polled transaction, taken over many transactions
// without waiting for the clock.
//
//   transaction_cpu [TRANSACTIONS] [--paced] [--records FOLDER]
//
// The console runs on its Qt window, shown offscreen, and polls the simulated meter's model
// through a pseudo-terminal on its own POSIX line, as it does at 9600 bit/s 8N2: a reply reaches
// the line once the request and the reply would have crossed the wire (plus the meter's 5 ms
// turnaround), and the meter's clock moves 50 ms a tick, so the values change as they do on the
// live line. Each tick is the console's tick handler and then the event loop's turn (the posted
// completion, Qt's layout and paint). The ticks follow one another at once, or with --paced
// 50 ms apart as the program's timer gives them: the thread then sleeps between ticks, and each
// tick finds the processor's caches as cold as the program does, which costs it more than the
// same work done back to back. Only the console's side is timed (the thread's CPU clock; the
// meter's part is left out). Then the same number of ticks is given with polling off, which is
// what the ticks alone cost, and finally the window's own timer runs the event loop for 10 s
// with polling off.
//
// With --records the traffic capture and the data log run from the start into FOLDER, and
// the CPU the files' threads take while polling is counted too.
//
// Prints key=value lines: transactions, failures, ticks, cpu_ms (polling), cpu_per_transaction_ms,
// idle_tick_us, own_per_transaction_ms (the polling CPU less that of as many idle ticks, per
// transaction), idle_loop_share_pct (the event loop's share of a core with polling off),
// other_threads_ms (every other thread of the process while polling: Qt's and the records'),
// all_threads_per_transaction_ms (the console's thread and the others, per transaction),
// records (1 with --records) and recorder_tick_longest_us (the longest time one tick spent in
// the recorders while polling).
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "bench/far_end.h"
#include "console/main_dialog.h"
#include "console/record_keeper.h"
#include "tests/link/pty_support.h"
#include "window/qt/console_style.h"
#include "window/qt/qt_dialog_window.h"

namespace {

constexpr uint64_t kTickMs = 50;

double ThreadCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The CPU time of every thread of the process but the calling one, from /proc.
double OtherThreadsCpuMs() {
  const std::string self = std::to_string(::syscall(SYS_gettid));
  double ms = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == self) continue;
    std::ifstream stat(task.path() / "schedstat");
    double ns = 0;
    if (stat >> ns) ms += ns / 1e6;
  }
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const int wanted = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  bool paced = false;
  std::string records;
  for (int k = 2; k < argc; ++k) {
    if (std::strcmp(argv[k], "--paced") == 0) paced = true;
    if (std::strcmp(argv[k], "--records") == 0 && k + 1 < argc) records = argv[++k];
  }
  QApplication application(argc, argv);
  PrepareConsoleApplication();

  PortsHome home;
  RawPty pty;
  home.Link("COM1", pty.slavePath);
  FarEnd meter(pty.master);

  QtDialogWindow window(MainDialogTemplate());
  MainDialog dialog(window);
  window.SetHandler(&dialog);
  if (!records.empty()) {
    dialog.m_startTrace = records + "/capture.csv";
    dialog.m_startLog = records + "/data.csv";
  }
  if (!dialog.OnInitDialog() || dialog.m_link.m_isOpen == 0) {
    std::fprintf(stderr, "transaction_cpu: the console did not start on COM1\n");
    return 1;
  }
  // The ticks are given here, one after another: the window's own timer stays out of the way.
  for (QTimer* timer : window.findChildren<QTimer*>()) timer->stop();
  window.show();
  QApplication::processEvents();

  uint64_t nowMs = 0;
  double cpuMs = 0;
  auto next = std::chrono::steady_clock::now();
  auto tick = [&] {
    nowMs += kTickMs;
    meter.Serve(nowMs, kTickMs);
    const double start = ThreadCpuMs();
    dialog.OnTimerMessage(dialog.m_timerId);
    QApplication::processEvents();
    cpuMs += ThreadCpuMs() - start;
    if (paced) {
      next += std::chrono::milliseconds(kTickMs);
      std::this_thread::sleep_until(next);
    }
  };

  // Start-up (the parameter read) and a first rotation are left out.
  for (int k = 0; k < 60; ++k) tick();
  const int32_t failures0 = dialog.m_link.m_failureCount;
  const int32_t done0 = dialog.m_link.m_successCount + failures0;
  cpuMs = 0;
  int ticks = 0;
  const double others0 = OtherThreadsCpuMs();
  dialog.m_records->m_longestTickNs = 0;
  while (dialog.m_link.m_successCount + dialog.m_link.m_failureCount - done0 < wanted) {
    tick();
    ++ticks;
  }
  const double pollingMs = cpuMs;
  // What the files' threads did for the last lines is counted too.
  if (RecordFile* capture = dialog.m_records->CaptureFile()) capture->WaitWritten(5000);
  if (RecordFile* log = dialog.m_records->DataLogFile()) log->WaitWritten(5000);
  const double othersMs = OtherThreadsCpuMs() - others0;
  const double recorderTickUs = dialog.m_records->m_longestTickNs / 1e3;
  const int32_t failures = dialog.m_link.m_failureCount - failures0;

  // The same number of ticks with polling off, once the last transaction is over.
  dialog.OnOK();
  for (int k = 0; k < 20; ++k) tick();
  cpuMs = 0;
  for (int k = 0; k < ticks; ++k) tick();
  const double idleMs = cpuMs;

  // The same idle ticks from the window's own timer, as the program gets them: the event loop
  // sleeps between them.
  for (QTimer* timer : window.findChildren<QTimer*>()) timer->start();
  const int loopSeconds = 10;
  QEventLoop loop;
  QTimer::singleShot(loopSeconds * 1000, &loop, &QEventLoop::quit);
  const double loopStart = ThreadCpuMs();
  loop.exec();
  const double loopMs = ThreadCpuMs() - loopStart;
  window.SetHandler(nullptr);

  std::printf("transactions=%d\n", wanted);
  std::printf("failures=%d\n", failures);
  std::printf("ticks=%d\n", ticks);
  std::printf("cpu_ms=%.1f\n", pollingMs);
  std::printf("cpu_per_transaction_ms=%.3f\n", pollingMs / wanted);
  std::printf("idle_tick_us=%.2f\n", idleMs * 1e3 / ticks);
  std::printf("own_per_transaction_ms=%.3f\n", (pollingMs - idleMs) / wanted);
  std::printf("idle_loop_share_pct=%.3f\n", loopMs / (loopSeconds * 10.0));
  std::printf("other_threads_ms=%.1f\n", othersMs);
  std::printf("all_threads_per_transaction_ms=%.3f\n", (pollingMs + othersMs) / wanted);
  std::printf("records=%d\n", records.empty() ? 0 : 1);
  std::printf("recorder_tick_longest_us=%.1f\n", recorderTickUs);
  return 0;
}
