// A sound-field item dragged at 60 moves a second for two seconds against a simulated processor that
// answers after 10 ms: per move the reports the sound-field page sends (a speaker: its level, then the
// field block; the listener: the field block, then all eight levels), posted as the window posts them
// (newer values replace waiting ones) and, for comparison, every step queued behind the previous one.
// The time is from the last move until the last report reached the processor.
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

constexpr int kMoves = 120; // two seconds at 60 a second
constexpr auto kMovePeriod = std::chrono::microseconds(1000000 / 60);

float Level(float dx, float dy) {
    return 3.0f - 3.0f * std::sqrt(dx * dx + dy * dy);
}

// One move as the page handles it: item 0 the listener, 1..8 a speaker.
void Move(int item, float x, float y) {
    if (item > 0) {
        float lx, ly;
        {
            auto lock = LockStore();
            lx = g_SoundField.fListenerX;
            ly = g_SoundField.fListenerY;
        }
        SetSurroundLevel(item - 1, Level(x - lx, y - ly));
        {
            auto lock = LockStore();
            g_SoundField.fSpeakerX[item - 1] = x;
            g_SoundField.fSpeakerY[item - 1] = y;
        }
        EncodeAndSendSoundFieldBlock();
        return;
    }
    SoundField sf;
    {
        auto lock = LockStore();
        g_SoundField.fListenerX = x;
        g_SoundField.fListenerY = y;
        sf = g_SoundField;
    }
    EncodeAndSendSoundFieldBlock();
    for (int k = 0; k < kSoundFieldSpeakers; ++k)
        SetSurroundLevel(k, Level(sf.fSpeakerX[k] - x, sf.fSpeakerY[k] - y));
}

// Arguments: the item dragged (0 listener, 1 front-left speaker), merging.
void BM_SoundFieldDragToProcessor(benchmark::State& state) {
    const int item = static_cast<int>(state.range(0));
    const bool merge = state.range(1) != 0;
    SetSettleScale(0.0);
    ResetStoreAtStartup();
    {
        auto lock = LockStore();
        for (int c = 0; c < kOutputChannels; ++c)
            g_Param.nSetting[SET_OUT_ROLE + c] = c; // every speaker drives a channel
    }
    TimedSim sim;
    SimFaults faults;
    faults.nLatencyMs = 10;
    sim.SetFaults(faults);
    CUsbLink link(sim, DispatchHandlers());
    SetLink(&link);
    CUsbLink::PostWritesFromThisThread(true);
    link.Open();
    double longestCallUs = 0, reports = 0;
    for (auto _ : state) {
        const uint64_t received = sim.Counters().nReceivedTotal;
        const auto t0 = SteadyClock::now();
        SteadyClock::time_point lastMove;
        for (int i = 0; i < kMoves; ++i) {
            std::this_thread::sleep_until(t0 + i * kMovePeriod);
            lastMove = SteadyClock::now();
            // Back and forth across a 4 m room, a tenth of a metre a move.
            const float x = static_cast<float>((i % 40) - 20) / 10.0f;
            const float y = static_cast<float>((i % 30) - 15) / 10.0f;
            {
                std::optional<CMergeableEdits> scope;
                if (merge)
                    scope.emplace();
                Move(item, x, y);
            }
            longestCallUs =
                std::max(longestCallUs,
                         std::chrono::duration<double, std::micro>(SteadyClock::now() - lastMove).count());
        }
        link.Flush();
        state.SetIterationTime(std::chrono::duration<double>(sim.LastWrite() - lastMove).count());
        link.AwaitReply();
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

BENCHMARK(BM_SoundFieldDragToProcessor)
    ->ArgNames({"item", "merge"})
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
