// Cost of applying one incoming report to the store, for the report kinds of a read-all.
#include "dispatch/Dispatcher.h"
#include "link/Codec.h"
#include "link/Link.h"
#include "model/Defaults.h"
#include "model/ParamStore.h"

#include <benchmark/benchmark.h>

static Report Make(std::initializer_list<int> bytes) {
    Report r{};
    size_t i = 0;
    for (int b : bytes)
        r[i++] = static_cast<uint8_t>(b);
    return r;
}

static void BM_HandleParamReport(benchmark::State& state) {
    ResetStoreAtStartup();
    const Report r = Make({0x02, CMD_GET_PARAM, 0, 4, 12, 1, 0x3F, 0x00, 0x00, 0x00});
    for (auto _ : state)
        HandleReport(r);
}
BENCHMARK(BM_HandleParamReport);

static void BM_HandleCompressorReport(benchmark::State& state) {
    ResetStoreAtStartup();
    Report r = Make({0x02, CMD_GET_PARAM, 0, 7, 27, 7});
    const uint32_t words[7] = {0xC1A00000, 0, 0x3F400000, 0x41A00000, 0x3D4CCCCD, 0x3CA8E6A6, 0x3A5A7400};
    for (int i = 0; i < 7; ++i)
        PutBE32(&r[6 + 4 * i], words[i]);
    for (auto _ : state)
        HandleReport(r);
}
BENCHMARK(BM_HandleCompressorReport);

static void BM_HandleMemoryReply(benchmark::State& state) {
    ResetStoreAtStartup();
    Report r = Make({0x02, CMD_MEM_READ, 0x01, 0x50, 56});
    for (int i = 5; i < 61; ++i)
        r[i] = static_cast<uint8_t>(i);
    for (auto _ : state)
        HandleReport(r);
}
BENCHMARK(BM_HandleMemoryReply);

static void BM_HandleSoundFieldReply(benchmark::State& state) {
    ResetStoreAtStartup();
    Report r = Make({0x02, CMD_MEM_READ, 0x05, 0x05, 20, 4, 4, 0x80, 0x80, 0x8A, 0x0A});
    for (auto _ : state)
        HandleReport(r);
}
BENCHMARK(BM_HandleSoundFieldReply);
