// Decoding plus refresh of each polled block on the real Qt window, offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "bench/bench_support.h"
#include "console/main_dialog.h"
#include "window/qt/console_style.h"
#include "window/qt/qt_dialog_window.h"

namespace {

// The console on the Qt window over a line that never answers, polling off. With paint, the
// window is shown and each pass also lets Qt lay out and paint what changed, as the event loop
// does after the handler returns.
void DecodeAndRefreshOnQt(benchmark::State& state, bool paint) {
  QtDialogWindow window(MainDialogTemplate());
  MainDialog dialog(window);
  dialog.m_link.SetLine(std::make_unique<ReplayLine>(std::vector<uint8_t>{}));
  window.SetHandler(&dialog);
  dialog.OnInitDialog();
  dialog.m_autoPoll = 0;
  dialog.m_link.m_ticks = 0;
  if (paint) {
    window.show();
    QApplication::processEvents();
    DecodeAndRefresh(state, dialog, [] { QApplication::processEvents(); });
  } else {
    DecodeAndRefresh(state, dialog);
  }
  window.SetHandler(nullptr);
}

void BM_DecodeAndRefreshQt(benchmark::State& state) { DecodeAndRefreshOnQt(state, false); }
BENCHMARK(BM_DecodeAndRefreshQt)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_DecodeRefreshAndPaintQt(benchmark::State& state) { DecodeAndRefreshOnQt(state, true); }
BENCHMARK(BM_DecodeRefreshAndPaintQt)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  PrepareConsoleApplication();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
