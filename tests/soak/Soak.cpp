// The soak: random edits for a set time, undo, redo and A/B mixed in, against a simulated processor
// that loses replies and sends garbage; at the end a verify must find no difference between the
// console's mirror and what the processor holds. `m7q_soak [SECONDS] [SEED]` (CI: 30 s).
#include "dispatch/Dispatcher.h"
#include "link/Link.h"
#include "link/Timing.h"
#include "link/Transport.h"
#include "model/Compound.h"
#include "model/Defaults.h"
#include "model/Diff.h"
#include "model/Eq.h"
#include "model/Setters.h"
#include "sim/SimBackend.h"
#include "sim/SimFaultList.h"
#include "sync/ReadGaps.h"
#include "sync/Sync.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

struct Step {
    SettingsSnapshot before, after;
    std::vector<SettingUnit> units;
};

struct Counts {
    long edits = 0, merges = 0, undos = 0, redos = 0, toggles = 0;
};

// One edit as a page makes it, with values the processor keeps exactly (whole units, record steps).
std::function<void()> RandomEdit(std::mt19937& rng) {
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int c = pick(0, kOutputChannels - 1);
    switch (pick(0, 9)) {
    case 0:
        return [=] { SetSlot(SET_OUT_MUTE + c, pick(0, 1)); };
    case 1:
        return [=] { SetSlot(SET_OUT_MIX_MUSIC + c, pick(0, 100)); };
    case 2:
        return [=] { SetSlotFloat(SET_OUT_DELAY + c, static_cast<float>(pick(2, 40))); };
    case 3:
        return pick(0, 1) ? std::function<void()>([=] {
            SetSlotFloat(SET_OUT_COMP_THRESHOLD + c, static_cast<float>(-pick(0, 30)));
        })
                          : std::function<void()>([=] {
                                SetSlotFloat(SET_OUT_COMP_RATIO + c, static_cast<float>(pick(1, 20)) / 2);
                                SetSlotFloat(SET_OUT_COMP_ATTACK + c, static_cast<float>(pick(1, 200)));
                            });
    case 4:
        return [=] {
            EditSlot(SET_ECHO_A_TIME + 6 * pick(0, 1), static_cast<int32_t>(FloatBits(float(pick(2, 300)))));
        };
    case 5:
        return [=] { SetMicRoute(pick(0, 3), pick(0, 1) != 0); };
    case 6:
        return [=] { SetSlot(SET_MIC_LEVEL + pick(0, 3), pick(0, 100)); };
    case 7: {
        std::vector<int> linked = {c};
        if (pick(0, 1))
            linked.push_back((c + 2) % kOutputChannels);
        const int band = pick(0, 8);
        const BandValues v{static_cast<float>(pick(-60, 60)) / 10.0f, static_cast<float>(pick(20, 20000)),
                           static_cast<float>(pick(500, 8000)) / 1000.0f, EQ_PEQ};
        return [=] { WriteOutputBand(linked, band, v); };
    }
    case 8: {
        const int eq = pick(EQ_MIC_A, EQ_MUSIC);
        const int band = pick(0, EqBands(eq) - 1);
        const BandValues v{static_cast<float>(pick(-60, 60)) / 10.0f, static_cast<float>(pick(20, 20000)),
                           1.0f, EQ_PEQ};
        return [=] { WriteEqBand(eq, band, v); };
    }
    default:
        return [=] { SetChannelSurroundLevel(c, static_cast<float>(-pick(0, 10))); };
    }
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    const uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 24;
    SetSettleScale(0.02);
    ResetStoreAtStartup();
    CSimBackend sim;
    CUsbLink link(sim, DispatchHandlers());
    SetLink(&link);
    CConnection conn(link);
    SimFaults faults;
    faults.fDropProbability = 0.002;
    faults.nGarbageEvery = 40;
    faults.nSeed = seed;
    sim.SetFaults(faults);
    if (!conn.Connect()) {
        std::fprintf(stderr, "m7q_soak: the simulated processor did not answer\n");
        return 1;
    }
    conn.WaitSync();
    if (const std::string e = conn.OnSyncFinished(); !e.empty() || !AskAgainForUnanswered(conn).Empty()) {
        std::fprintf(stderr, "m7q_soak: the first read-all did not complete\n");
        return 1;
    }

    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<Step> steps;
    size_t index = 0; // steps[0, index) are done
    std::optional<SettingsSnapshot> a, b;
    Counts n;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const int what = pick(0, 99);
        if (what < 70) {
            const SettingsSnapshot before = TakeSettings();
            if (pick(0, 4) == 0) { // a drag: moves of one band, recorded as one step
                const int linked[] = {pick(0, kOutputChannels - 1)};
                const int band = pick(0, 8), moves = pick(2, 20);
                for (int m = 0; m < moves; ++m) {
                    const SettingsSnapshot was = TakeSettings();
                    WriteOutputBand(linked, band,
                                    BandValues{1.0f, static_cast<float>(100 + 10 * m), 1.0f, EQ_PEQ});
                    const std::vector<SettingUnit> moved = DifferingUnits(was, TakeSettings());
                    ++n.edits;
                    if (moved.empty())
                        continue;
                    steps.resize(index);
                    if (!steps.empty() && steps.back().units == moved) {
                        steps.back().after = TakeSettings();
                        ++n.merges;
                    } else {
                        steps.push_back({was, TakeSettings(), moved});
                    }
                    index = steps.size();
                }
                link.AwaitReply();
                continue;
            }
            RandomEdit(rng)();
            ++n.edits;
            const SettingsSnapshot after = TakeSettings();
            const std::vector<SettingUnit> units = DifferingUnits(before, after);
            if (units.empty())
                continue;
            steps.resize(index);
            if (!steps.empty() && steps.back().units == units) {
                steps.back().after = after;
                ++n.merges;
            } else {
                steps.push_back({before, after, units});
            }
            index = steps.size();
        } else if (what < 82) {
            if (index > 0) {
                ApplySettings(steps[--index].before);
                ++n.undos;
            }
        } else if (what < 92) {
            if (index < steps.size()) {
                ApplySettings(steps[index++].after);
                ++n.redos;
            }
        } else if (what < 96) {
            (pick(0, 1) ? a : b) = TakeSettings();
        } else if (a && b) {
            const SettingsSnapshot now = TakeSettings();
            ApplySettings(now == *a ? *b : *a);
            steps.resize(index);
            steps.push_back({now, TakeSettings(), DifferingUnits(now, TakeSettings())});
            index = steps.size();
            ++n.toggles;
        }
        link.AwaitReply();
    }
    link.AwaitReply();

    // The verify: everything read again, compared with the mirror.
    const SettingsSnapshot mirror = TakeSettings();
    ResetStoreAtStartup();
    conn.StartReadAll();
    conn.WaitSync();
    const bool read = conn.OnSyncFinished().empty() && AskAgainForUnanswered(conn).Empty();
    const std::vector<SettingDifference> diffs = DiffSettings(mirror, TakeSettings());
    const SimCounters counters = sim.Counters();
    std::printf(
        "soak %d s, seed %u: %ld edits, %ld merges, %ld undos, %ld redos, %ld A/B toggles, %zu steps; "
        "link: %llu refused, %llu merged; processor: %s\n",
        seconds, seed, n.edits, n.merges, n.undos, n.redos, n.toggles, steps.size(),
        static_cast<unsigned long long>(link.RefusedCount()),
        static_cast<unsigned long long>(link.MergedCount()), FormatSimCounters(counters).c_str());
    for (const SettingDifference& d : diffs)
        std::printf("differs: %s: %s (console) / %s (processor)\n", d.strName.c_str(), d.strA.c_str(),
                    d.strB.c_str());
    std::printf("verify: %s, %zu differences\n", read ? "read whole" : "reads missing", diffs.size());
    conn.Disconnect();
    SetLink(nullptr);
    return read && diffs.empty() ? 0 : 1;
}
