#include <malloc.h>

#include <string>

#include <QCoreApplication>
#include <QWidget>

#include <benchmark/benchmark.h>

#include "app/CDebugDlg.h"

namespace {

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

// 100,000 link log lines into the open debug window, as the LED polling writes them, with
// the view catching up once at the end. Reports time per line and heap per line.
void BM_DebugDlgAdd100000Lines(benchmark::State& state) {
    constexpr int kLines = 100'000;
    const std::string text = "Recieved  - 06 - 82 - 00 - 01 - 02 - 45 - 80 - 27 - 05 - 2A - 00";
    double bytesPerLine = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QWidget mainWindow;
        auto* dialog = new CDebugDlg(&mainWindow);
        dialog->EnableLogging();
        dialog->show();
        QCoreApplication::processEvents();
        const std::size_t before = HeapInUse();
        state.ResumeTiming();
        for (int i = 0; i < kLines; ++i) {
            dialog->AddLine(text);
        }
        QCoreApplication::processEvents();
        state.PauseTiming();
        bytesPerLine = static_cast<double>(HeapInUse() - before) / kLines;
        delete dialog;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.counters["heap_bytes_per_line"] = bytesPerLine;
    state.counters["ns_per_line"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kLines),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DebugDlgAdd100000Lines)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
