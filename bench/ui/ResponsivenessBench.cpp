// How long the UI thread's event loop goes without running while a read-all or write-all talks to a
// simulated processor that answers after 2 ms: the window repaints within this gap.
#include "UiGap.h"
#include "link/Timing.h"
#include "model/Defaults.h"
#include "sim/SimBackend.h"
#include "ui/ConsoleLink.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>

namespace {

void RunTransfer(benchmark::State& state, bool write) {
    SetSettleScale(0.02);
    ResetStoreAtStartup();
    CConsoleLink link(CConsoleLink::Kind::Simulated, QString());
    SimFaults faults;
    faults.nLatencyMs = 2;
    link.Sim()->SetFaults(faults);
    if (!link.Conn().Connect()) {
        state.SkipWithError("no simulated processor");
        return;
    }
    link.Conn().WaitSync();
    QCoreApplication::processEvents(); // the first read-all's end
    CUiGapMeter gaps;
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&link, &CConsoleLink::SyncFinished, &loop, &QEventLoop::quit);
        gaps.Start();
        if (write)
            link.Conn().StartWriteAll();
        else
            link.Conn().StartReadAll();
        loop.exec();
        gaps.Stop();
        link.Conn().OnSyncFinished();
    }
    state.counters["worst_ui_gap_ms"] = gaps.WorstMs();
    link.Conn().Disconnect();
    SetSettleScale(1.0);
}

void BM_UiGapDuringReadAll(benchmark::State& state) {
    RunTransfer(state, false);
}
void BM_UiGapDuringWriteAll(benchmark::State& state) {
    RunTransfer(state, true);
}
BENCHMARK(BM_UiGapDuringReadAll)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UiGapDuringWriteAll)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
