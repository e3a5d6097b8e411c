// Loading the plug data of eight plugs against the simulated processor with the real delays: what the
// user waits for behind the synchronisation dialog (which gives up after 30 s).
#include "dispatch/Dispatcher.h"
#include "link/Link.h"
#include "link/Timing.h"
#include "link/Transport.h"
#include "model/Defaults.h"
#include "plugs/PlugFlows.h"
#include "sim/SimBackend.h"

#include <benchmark/benchmark.h>

// state.range(0): the simulator's reply latency in ms (2 is about a real USB round trip).
static void BM_PlugLoadEightPlugs(benchmark::State& state) {
    SetSettleScale(1.0);
    ResetStoreAtStartup();
    CSimBackend sim;
    sim.WithProcessor([](CSimProcessor& p) {
        for (int id : {4, 6, 7, 8, 9})
            p.AddNode(id, kSimPlugDimmer);
    });
    SimFaults faults;
    faults.nLatencyMs = static_cast<int>(state.range(0));
    sim.SetFaults(faults);
    CUsbLink link(sim, DispatchHandlers());
    SetLink(&link);
    link.Open();
    uint64_t reports = 0;
    {
        CPlugFlows flows;
        for (auto _ : state) {
            g_bPlugDataLoaded = 0;
            const uint64_t before = sim.Counters().nReceivedTotal;
            flows.StartLoadPlugData();
            flows.Wait();
            reports += sim.Counters().nReceivedTotal - before;
        }
    }
    state.counters["reports"] = benchmark::Counter(static_cast<double>(reports) / state.iterations());
    state.counters["unanswered"] = benchmark::Counter(static_cast<double>(sim.Counters().nUnanswered));
    link.Close();
    SetLink(nullptr);
}
BENCHMARK(BM_PlugLoadEightPlugs)->Arg(0)->Arg(2)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
