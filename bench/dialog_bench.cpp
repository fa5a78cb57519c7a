// The console's per-tick and per-reply costs on the headless window: an idle tick, the receive
// step over a whole real-time reply (RTU and ASCII), and decoding plus refresh of each polled
// block.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/bench_support.h"
#include "console/main_dialog.h"
#include "tests/link/pty_support.h"
#include "window/headless_window.h"

namespace {

// Posted messages go nowhere: the receive step is measured without a queue behind it.
class NullTarget : public LinkNotifyTarget {
 public:
  void PostMessage(uint32_t, int32_t, int32_t) override {}
};

// The console started on the headless window over a line that never answers, polling off and the
// start-up read abandoned, so every tick finds nothing to do.
struct IdleConsole {
  // On the platform's line when realLine, else on a line with nothing to read.
  explicit IdleConsole(bool realLine = false) {
    if (!realLine) dialog.m_link.SetLine(std::make_unique<ReplayLine>(std::vector<uint8_t>{}));
    window.SetHandler(&dialog);
    dialog.OnInitDialog();
    dialog.m_autoPoll = 0;
    dialog.m_link.m_ticks = 0;
  }
  ~IdleConsole() { window.SetHandler(nullptr); }

  HeadlessWindow window;
  MainDialog dialog{window};
};

void BM_IdleTick(benchmark::State& state) {
  IdleConsole console;
  for (auto _ : state) console.dialog.OnTimer(console.dialog.m_timerId);
  if (console.dialog.m_link.m_ticks != 0 || console.dialog.m_txCount != 1) {
    state.SkipWithError("the tick was not idle");
  }
}
BENCHMARK(BM_IdleTick);

// The same on the POSIX line over a pseudo-terminal: the tick asks the driver whether bytes wait.
void BM_IdleTickOnPty(benchmark::State& state) {
  PortsHome home;
  RawPty pty;
  home.Link("COM1", pty.slavePath);
  IdleConsole console(true);
  if (console.dialog.m_link.m_isOpen == 0) {
    state.SkipWithError("COM1 did not open");
    return;
  }
  for (auto _ : state) console.dialog.OnTimer(console.dialog.m_timerId);
}
BENCHMARK(BM_IdleTickOnPty);

// One receive step over a line holding exactly one real-time reply, in RTU (143 bytes) or, with
// asciiMode, as the 287 characters of its ASCII frame.
void PumpReceiveRealtimeReply(benchmark::State& state, bool asciiMode) {
  std::vector<uint8_t> reply = BlockReply(69, 1);
  if (asciiMode) {
    std::vector<uint8_t> line(static_cast<size_t>(AsciiFrameLength(141)));
    line.resize(EncodeAscii(reply.data(), 141, line.data()));
    reply = line;
  }
  auto line = std::make_unique<ReplayLine>(reply);
  ReplayLine& replay = *line;
  ModbusLink link;
  link.SetLine(std::move(line));
  link.SetDefaults();
  link.m_protocol = asciiMode ? kProtocolAscii : kProtocolRtu;
  link.Open();
  NullTarget target;
  link.m_notifyWnd = &target;
  link.ReadHolding(0, 69);  // the request the reply answers
  for (auto _ : state) {
    replay.Rewind();
    link.m_ticks = 1;
    link.PumpReceive();
  }
  if (link.m_ticks != 0) state.SkipWithError("the reply did not complete");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}

void BM_PumpReceiveRealtimeReply(benchmark::State& state) {
  PumpReceiveRealtimeReply(state, false);
}
BENCHMARK(BM_PumpReceiveRealtimeReply);

void BM_PumpReceiveRealtimeReplyAscii(benchmark::State& state) {
  PumpReceiveRealtimeReply(state, true);
}
BENCHMARK(BM_PumpReceiveRealtimeReplyAscii);

void BM_DecodeAndRefreshHeadless(benchmark::State& state) {
  IdleConsole console;
  DecodeAndRefresh(state, console.dialog);
}
BENCHMARK(BM_DecodeAndRefreshHeadless)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
