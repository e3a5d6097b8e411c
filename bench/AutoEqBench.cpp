// The auto EQ: ten bands fitted to a 1/48-octave measurement (about 480 points, 20 Hz-20 kHz) over
// 20-500 Hz, from the measured points to the bands read back from their filter text.
#include "files/EqFit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <random>

namespace {

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// A room of `modes` peaks and dips between 25 and 450 Hz over 80 dB, with +-0.3 dB of noise.
Response Room(int modes, uint32_t seed) {
    std::mt19937 gen(seed);
    auto uniform = [&gen](double lo, double hi) { return lo + (hi - lo) * (gen() / 4294967296.0); };
    std::vector<BandValues> room;
    for (int k = 0; k < modes; ++k)
        room.push_back({static_cast<float>(uniform(-6, 10)),
                        static_cast<float>(25 * std::exp2(std::log2(18.0) * (k + uniform(0.2, 0.8)) / modes)),
                        static_cast<float>(uniform(1, 8)), EQ_PEQ});
    Response r;
    r.hz = LogGrid(20, 20000, 48);
    r.db = SectionsResponseDb(room, r.hz);
    for (double& v : r.db)
        v += 80 + uniform(-0.3, 0.3);
    return r;
}

void Fit(benchmark::State& state, int smoothing) {
    EqFitChannel channel;
    channel.nEq = 0;
    channel.nBands = channel.nUserBands = 10;
    EqFitOptions options;
    options.nSmoothing = smoothing;
    double rms = 0, worstMs = 0;
    int evals = 0, rooms = 0;
    uint32_t seed = 1;
    for (auto _ : state) {
        const Response room = Room(10, seed++);
        const std::vector<Response> measured{room};
        const double start = ThreadCpuMs();
        const EqFitOutcome o = RunEqFit(channel, measured, nullptr, options, "bench");
        worstMs = std::max(worstMs, ThreadCpuMs() - start);
        benchmark::DoNotOptimize(o.fit.after.fRmsDb);
        rms += o.fit.after.fRmsDb;
        evals += o.fit.nEvaluations;
        ++rooms;
    }
    state.counters["points"] = static_cast<double>(LogGrid(20, 20000, 48).size());
    state.counters["rms_after_db"] = rms / rooms;
    state.counters["evaluations"] = static_cast<double>(evals) / rooms;
    state.counters["worst_cpu_ms"] = worstMs;
}

} // namespace

// Ten bands, the default 1/6-octave smoothing; a new room every iteration.
static void BM_AutoEqTenBands(benchmark::State& state) {
    Fit(state, 6);
}
BENCHMARK(BM_AutoEqTenBands)->Unit(benchmark::kMillisecond)->Iterations(40);

// The same on the 1/48-octave points unsmoothed: more detail to fit, the slower case.
static void BM_AutoEqTenBandsUnsmoothed(benchmark::State& state) {
    Fit(state, 0);
}
BENCHMARK(BM_AutoEqTenBandsUnsmoothed)->Unit(benchmark::kMillisecond)->Iterations(40);
