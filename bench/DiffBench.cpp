// What undo, A/B and diff cost: the difference of two sets of settings, an undo step's work on the
// calling thread (the UI thread's share: compare, lay, post), and an A/B toggle differing in one
// output EQ against a simulated processor answering after 2 ms, until the last report is answered.
#include "dispatch/Dispatcher.h"
#include "files/ModeFile.h"
#include "link/Link.h"
#include "link/Timing.h"
#include "link/Transport.h"
#include "model/Defaults.h"
#include "model/Diff.h"
#include "model/Eq.h"
#include "sim/SimBackend.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

// Ten bands of output 2 and a delay, as an A/B pair differs.
SettingsSnapshot Other(const SettingsSnapshot& a) {
    auto lock = LockStore();
    const SettingsSnapshot keep = TakeSettings();
    LaySettings(a);
    for (int b = 0; b < 10; ++b) {
        const BandRecordBytes r = EncodeBandRecord(-2.0f + b, 100.0f * (b + 1), 1.5f, EQ_PEQ);
        std::copy(r.begin(), r.end(), g_Param.byImage.begin() + EqBandStoreAddress(EQ_OUT2, b));
    }
    const SettingsSnapshot b = TakeSettings();
    LaySettings(keep);
    return b;
}

// Two version-8 mode files read and compared, as m7qctl diff does after reading them.
void BM_DiffOfTwoModeFiles(benchmark::State& state) {
    ResetStoreAtStartup();
    const std::vector<uint8_t> fileA = BuildModeFileBytes();
    LaySettings(Other(TakeSettings()));
    const std::vector<uint8_t> fileB = BuildModeFileBytes();
    ResetStoreAtStartup();
    const SettingsSnapshot base = TakeSettings();
    for (auto _ : state) {
        LoadModeFileFromBytes(fileA);
        const SettingsSnapshot a = TakeSettings();
        LoadModeFileFromBytes(fileB);
        const SettingsSnapshot b = TakeSettings();
        LaySettings(base);
        benchmark::DoNotOptimize(DiffSettings(a, b));
    }
}
BENCHMARK(BM_DiffOfTwoModeFiles)->Unit(benchmark::kMicrosecond);

// An undo of a ten-band EQ change: the caller's share, the reports posted to a recording link.
void BM_UndoStepOnTheCallingThread(benchmark::State& state) {
    ResetStoreAtStartup();
    CRecordingLink rec;
    SetLink(&rec);
    const SettingsSnapshot a = TakeSettings();
    const SettingsSnapshot b = Other(a);
    bool toB = true;
    for (auto _ : state) {
        ApplySettings(toB ? b : a);
        toB = !toB;
        state.PauseTiming();
        rec.Clear();
        state.ResumeTiming();
    }
    SetLink(nullptr);
}
BENCHMARK(BM_UndoStepOnTheCallingThread)->Unit(benchmark::kMicrosecond);

// The click to the last answer: 13 memory writes and 13 coefficient blocks, paced by the replies.
void BM_ABToggleUntilAnswered(benchmark::State& state) {
    SetSettleScale(0.0);
    ResetStoreAtStartup();
    CSimBackend sim;
    SimFaults faults;
    faults.nLatencyMs = static_cast<int>(state.range(0));
    sim.SetFaults(faults);
    CUsbLink link(sim, DispatchHandlers());
    SetLink(&link);
    link.Open();
    const SettingsSnapshot a = TakeSettings();
    const SettingsSnapshot b = Other(a);
    bool toB = true;
    for (auto _ : state) {
        ApplySettings(toB ? b : a);
        link.AwaitReply();
        toB = !toB;
    }
    link.Close();
    SetLink(nullptr);
    SetSettleScale(1.0);
}
BENCHMARK(BM_ABToggleUntilAnswered)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
