// Response curves of a whole output equaliser: what one drag step of the EQ panel recomputes.
#include "dsp/FilterResponse.h"

#include <benchmark/benchmark.h>

#include <vector>

static std::vector<EqSection> OutputEq() {
    std::vector<EqSection> eq(13);
    const float freqs[10] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    for (int b = 0; b < 10; ++b)
        eq[b] = {EQ_PEQ, static_cast<float>(b % 5) - 2.0f, freqs[b], 1.414f, {}};
    eq[9] = {EQ_Q131_LP, 0, 2500, 0.707f, {}};
    eq[10] = {EQ_Q054_LP, 0, 2500, 0.707f, {}};
    eq[11] = {EQ_PEQ, 0, 2500, 0.707f, {}};
    eq[12] = {EQ_PEQ, 0, 2500, 0.707f, {}};
    return eq;
}

// All 13 curves of an output EQ (band 9 recomputes its three companions) and their sum.
static void BM_OutputEqCurves(benchmark::State& state) {
    auto eq = OutputEq();
    for (auto _ : state) {
        for (int b = 0; b <= 9; ++b)
            CalcSectionCurve(eq, b, true, 1000);
        ResponseCurve total = SumCurves(eq);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_OutputEqCurves)->Unit(benchmark::kMicrosecond);

static void BM_OneSectionCurve(benchmark::State& state) {
    EqSection s{EQ_PEQ, 6.0f, 1000.0f, 2.0f, {}};
    for (auto _ : state) {
        CalcSectionCurve(s, 1000);
        benchmark::DoNotOptimize(s.curve);
    }
}
BENCHMARK(BM_OneSectionCurve)->Unit(benchmark::kMicrosecond);
