// Read-all and write-all against a zero-latency simulated processor with fast settle delays: the
// console's own time per report, which must stay far under the 2 ms a USB request/reply costs.
#include "dispatch/Dispatcher.h"
#include "link/Link.h"
#include "link/Timing.h"
#include "model/Defaults.h"
#include "sim/SimBackend.h"
#include "sync/Sync.h"

#include <benchmark/benchmark.h>

static void RunSync(benchmark::State& state, bool writeAll) {
    SetSettleScale(0.0);
    ResetStoreAtStartup();
    CSimBackend sim;
    CUsbLink link(sim, DispatchHandlers());
    SetLink(&link);
    CConnection conn(link);
    link.Open();
    uint64_t reports = 0;
    for (auto _ : state) {
        const uint64_t before = sim.Counters().nReceivedTotal;
        if (writeAll)
            conn.WriteAll();
        else
            conn.IdentifyAndReadAll();
        reports += sim.Counters().nReceivedTotal - before;
    }
    state.counters["reports"] = benchmark::Counter(static_cast<double>(reports) / state.iterations());
    state.counters["per_report"] = benchmark::Counter(
        static_cast<double>(reports), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    link.Close();
    SetLink(nullptr);
    SetSettleScale(1.0);
}

static void BM_ReadAll(benchmark::State& state) {
    RunSync(state, false);
}
static void BM_WriteAll(benchmark::State& state) {
    RunSync(state, true);
}
BENCHMARK(BM_ReadAll)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteAll)->Unit(benchmark::kMillisecond)->UseRealTime();
