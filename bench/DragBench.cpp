// A band dragged at 60 moves a second for two seconds against a simulated processor that answers
// after 10 ms or 2 ms: the time from the last move until the processor holds the final values, with
// the edits posted as the window posts them (newer values replace waiting ones) and, for comparison,
// with every step queued behind the previous one.
#include "TimedSim.h"
#include "dispatch/Dispatcher.h"
#include "link/Link.h"
#include "link/Timing.h"
#include "link/Transport.h"
#include "model/Compound.h"
#include "model/Defaults.h"
#include "model/ParamStore.h"
#include "sim/SimBackend.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

namespace {

constexpr int kBand = 5;
constexpr int kLinked[3] = {0, 2, 5}; // outputs 1, 3 and 6
constexpr int kMoves = 120;           // two seconds at 60 a second
constexpr auto kMovePeriod = std::chrono::microseconds(1000000 / 60);

BandValues Step(int i) {
    return {static_cast<float>((i % 30) - 15) * 0.5f, 1000.0f + 7.0f * static_cast<float>(i), 1.41f, EQ_PEQ};
}

bool ProcessorHolds(TimedSim& sim, int channels, const BandValues& v) {
    const BandRecordBytes rec = EncodeBandRecord(v.fGain, std::trunc(v.fFreq), v.fQ, v.nType);
    return sim.WithProcessor([&](CSimProcessor& proc) {
        for (int c = 0; c < channels; ++c) {
            const int address = EqBandAddress(MOD_OUT1 + kLinked[c], kBand);
            if (!std::equal(rec.begin(), rec.end(), proc.Current().mem.begin() + address))
                return false;
        }
        return true;
    });
}

// Arguments: reply latency in ms, linked channels (1: output 1; 3: outputs 1, 3 and 6), merging.
// Each move sends two reports a channel; the time is from the start of the last move.
void BM_BandDragToProcessor(benchmark::State& state) {
    const int latency = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const bool merge = state.range(2) != 0;
    SetSettleScale(0.0);
    ResetStoreAtStartup();
    TimedSim sim;
    SimFaults faults;
    faults.nLatencyMs = latency;
    sim.SetFaults(faults);
    CUsbLink link(sim, DispatchHandlers());
    SetLink(&link);
    CUsbLink::PostWritesFromThisThread(true);
    link.Open();
    double longestCallUs = 0, reports = 0;
    int round = 0;
    for (auto _ : state) {
        const uint64_t received = sim.Counters().nReceivedTotal;
        const int first = 1000 * ++round;
        const auto t0 = SteadyClock::now();
        SteadyClock::time_point lastMove;
        for (int i = 0; i < kMoves; ++i) {
            std::this_thread::sleep_until(t0 + i * kMovePeriod);
            lastMove = SteadyClock::now();
            const BandValues v = Step(first + i);
            {
                std::optional<CMergeableEdits> scope;
                if (merge)
                    scope.emplace();
                for (int c = 0; c < channels; ++c)
                    WriteBandAndCoeffs(MOD_OUT1 + kLinked[c], kBand, v.fGain, v.fFreq, v.fQ, v.nType);
            }
            const double us =
                std::chrono::duration<double, std::micro>(SteadyClock::now() - lastMove).count();
            longestCallUs = std::max(longestCallUs, us);
        }
        link.Flush();
        state.SetIterationTime(std::chrono::duration<double>(sim.LastWrite() - lastMove).count());
        link.AwaitReply();
        if (!ProcessorHolds(sim, channels, Step(first + kMoves - 1)))
            state.SkipWithError("the processor does not hold the last band");
        reports += static_cast<double>(sim.Counters().nReceivedTotal - received);
    }
    state.counters["reports"] = benchmark::Counter(reports / state.iterations());
    state.counters["longest_call_us"] = benchmark::Counter(longestCallUs);
    link.Close();
    CUsbLink::PostWritesFromThisThread(false);
    SetLink(nullptr);
    SetSettleScale(1.0);
}

} // namespace

BENCHMARK(BM_BandDragToProcessor)
    ->ArgNames({"latency_ms", "channels", "merge"})
    ->ArgsProduct({{10, 2}, {1, 3}, {0, 1}})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
