// The factory content of the simulated processor: what each memory mode holds after a machine reset,
// the machine settings, the remote keys and the plugs the network ships with.
#include "sim/SimInternal.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace sim {

namespace {

constexpr int kPlugRecordSize = 28;

// Band record types.
constexpr uint8_t kPeq = 1, kLowPass = 2, kHighPass = 3, kHighShelf = 5;

constexpr uint32_t F(float f) {
    return std::bit_cast<uint32_t>(f);
}
constexpr uint32_t kZero = F(0.0f), kHalf = F(0.5f), kOne = F(1.0f);

uint32_t Samples(double ms) {
    return static_cast<uint32_t>(ms * 48.0 + 0.5);
}

// Threshold, 0, ratio, 20.0, 0.05, attack, release: ratio as 1 - 1/r, times as 1 - e^(-1/(48 ms)).
std::vector<uint32_t> Compressor(float thresholdDb, float ratio, float attackMs, float releaseMs) {
    auto time = [](float ms) { return F(static_cast<float>(1.0 - std::exp(-1.0 / (48.0 * ms)))); };
    return {F(thresholdDb), 0, F(1.0f - 1.0f / ratio), F(20.0f), F(0.05f), time(attackMs), time(releaseMs)};
}

// Each mode ships with its own character: echo amount and music bass.
constexpr float kModeEchoLevel[kSimModeCount] = {0.5f, 0.2f, 0.1f, 0.4f};
constexpr double kModeBassDb[kSimModeCount] = {0.0, 3.0, 6.0, 2.0};

void FactoryParams(SimParamTable& t, int mode) {
    auto put = [&](int block, int param, std::vector<uint32_t> v) {
        t[{static_cast<uint8_t>(block), static_cast<uint8_t>(param)}] = std::move(v);
    };
    // Unity biquads: -a1, -a2, b0, b1, b2.
    auto flat = [&](int block, int first, int count) {
        for (int i = 0; i < count; ++i)
            put(block, first + i, {kZero, kZero, kOne, kZero, kZero});
    };
    const std::vector<uint32_t> sixZeros(6, 0);

    // Microphones
    flat(1, 16, 10);
    flat(1, 39, 10);
    for (int p = 4; p <= 7; ++p)
        put(1, p, {kHalf});
    for (int p = 8; p <= 11; ++p)
        put(1, p, {kZero});
    put(1, 12, {0});
    put(1, 13, {F(0.3f)});
    put(1, 14, {kHalf});
    put(1, 15, {kOne}); // 1.0 = not muted
    put(1, 26, {0});
    put(1, 49, {0});
    for (int p = 27; p <= 30; ++p)
        put(1, p, {kOne}); // every microphone feeds set A
    for (int p = 50; p <= 53; ++p)
        put(1, p, {kZero});
    for (int base : {31, 54}) { // pitch shift off
        put(1, base, {kZero});
        put(1, base + 1, {0});
        put(1, base + 2, {1});
    }
    put(1, 34, {kHalf});
    put(1, 57, {kHalf});
    for (int p : {35, 36, 58, 59})
        put(1, p, {kZero});
    put(1, 37, {1}); // boost off
    put(1, 60, {1});
    put(1, 38, sixZeros);
    put(1, 61, sixZeros);

    // Echo, sets A and B
    flat(2, 0, 7);
    flat(2, 13, 7);
    for (int base : {7, 20}) {
        put(2, base, {0});
        put(2, base + 1, {F(kModeEchoLevel[mode])});
        put(2, base + 2, {Samples(20.0)});
        put(2, base + 3, {Samples(217.0)});
        put(2, base + 4, {F(0.6f)});
        put(2, base + 5, {kHalf});
    }
    put(2, 26, {kHalf});
    put(2, 27, {kOne});

    // Reverb, sets A and B
    flat(3, 0, 7);
    flat(3, 12, 7);
    for (int base : {7, 19}) {
        put(3, base, {0});
        put(3, base + 1, {kHalf});
        put(3, base + 2, {Samples(20.0)});
        put(3, base + 3, {F(1.5f)});
        put(3, base + 4, {F(1.5f)});
    }
    put(3, 24, {kHalf, kHalf});
    put(3, 25, {kOne, kOne});

    // Music
    flat(4, 0, 11); // ten EQ bands and the low-frequency path filter
    put(4, 11, {0});
    put(4, 12, {kHalf});
    put(4, 13, {kOne});
    put(4, 14, Compressor(-6.0f, 10.0f, 1.0f, 100.0f));
    put(4, 15, {1});
    put(4, 16, {0});
    put(4, 17, {F(-20.0f)});
    put(4, 21, {5}); // key shift 0
    put(4, 22, {kZero});
    put(4, 23, {0});
    for (int p = 24; p <= 32; ++p)
        put(4, p, {kHalf});
    put(4, 33, {0});
    put(4, 34, {8}); // no speaker located
    put(4, 36, {0});
    put(4, 37, {kHalf});

    // Outputs
    for (int c = 0; c < 8; ++c) {
        const int block = 5 + c;
        flat(block, 0, 15);
        put(block, 15, {0});
        put(block, 16, {static_cast<uint32_t>(c)});
        put(block, 17, {kOne, kZero}); // delay on the whole channel
        put(block, 18, {Samples(1.5)});
        put(block, 19, {1});
        for (int p = 20; p <= 23; ++p)
            put(block, p, {kHalf});
        put(block, 24, {kOne});
        put(block, 25, {kOne});
        put(block, 26, {kOne});
        put(block, 27, Compressor(0.0f, 2.0f, 5.0f, 100.0f));
        put(block, 28, {1});
        put(block, 29, sixZeros);
    }
}

// Gain (dB + 15) × 10, frequency, Q × 1000, type; all big-endian.
void PutBand(std::array<uint8_t, kSimMemSize>& m, int& addr, int freq, double q = 1.414, uint8_t type = kPeq,
             double gainDb = 0.0) {
    PutBE16(&m[addr], static_cast<uint32_t>(std::lround((gainDb + 15.0) * 10.0)));
    PutBE16(&m[addr + 2], static_cast<uint32_t>(freq));
    PutBE16(&m[addr + 4], static_cast<uint32_t>(std::lround(q * 1000.0)));
    m[addr + 6] = type;
    addr += 7;
}

// Sign and magnitude in tenths of a metre; zero carries the sign bit.
uint8_t Coord(double metres) {
    const auto mag = static_cast<uint8_t>(std::min(127L, std::lround(std::fabs(metres) * 10.0)));
    return metres <= 0.0 ? static_cast<uint8_t>(0x80 | mag) : mag;
}

void FactoryMemory(std::array<uint8_t, kSimMemSize>& m, int mode) {
    m.fill(0);
    const int octave[10] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    int a = 0;
    for (int set = 0; set < 2; ++set) // microphone EQ A and B
        for (int f : octave)
            PutBand(m, a, f);
    for (int eq = 0; eq < 4; ++eq) { // echo A, B, reverb A, B
        PutBand(m, a, 100, 0.707, kHighPass);
        for (int f : {160, 250, 500, 1000, 2300})
            PutBand(m, a, f);
        PutBand(m, a, 5000, 0.707, kHighShelf, -3.0);
    }
    for (int i = 0; i < 10; ++i) // music
        PutBand(m, a, octave[i], 1.414, kPeq, i == 0 ? kModeBassDb[mode] : 0.0);
    for (int c = 0; c < 8; ++c) {
        for (int f : octave)
            PutBand(m, a, f);
        for (int i = 0; i < 3; ++i) // crossover companions, idle
            PutBand(m, a, 16000);
        PutBand(m, a, 500, 0.707); // split filters of the high-frequency delay
        PutBand(m, a, 1000, 0.707);
    }
    PutBand(m, a, 120, 0.707, kLowPass); // low-frequency path, 1246
    a += 32;                             // surround levels: eight floats 0.0 dB
    // Sound field at 1285: a 5 m × 6 m room, listener slightly behind the centre.
    const double pos[9][2] = {{0.0, -0.5}, {-1.8, 2.5}, {0.0, 2.6},  {1.8, 2.5}, {-1.5, -2.5},
                              {2.2, 2.2},  {1.5, -2.5}, {-2.3, 0.0}, {2.3, 0.0}};
    m[a++] = 5;
    m[a++] = 6;
    for (const auto& p : pos) {
        m[a++] = Coord(p[0]);
        m[a++] = Coord(p[1]);
    }
    // Microphone boost at 1305: upper half of the float -6.0 dB.
    PutBE16(&m[a], F(-6.0f) >> 16);
}

} // namespace

const char16_t* const kModeNames[kSimModeCount] = {u"Karaoke", u"Music", u"Movie", u"Party"};

const std::array<SimSettings, kSimModeCount>& Factories() {
    static const std::array<SimSettings, kSimModeCount> factories = [] {
        std::array<SimSettings, kSimModeCount> f;
        for (int m = 0; m < kSimModeCount; ++m) {
            FactoryParams(f[m].params, m);
            FactoryMemory(f[m].mem, m);
        }
        return f;
    }();
    return factories;
}

const std::array<uint8_t, kSimMachineSize> kFactoryMachine = {0, 0, 0, 40, 40, 99, 99, 0, 0, 0, 0, 0, 0};

std::array<uint8_t, kSimRemoteSize> FactoryRemote() {
    std::array<uint8_t, kSimRemoteSize> r{};
    r[0] = 0xA0;
    for (int k = 1; k <= kRemoteKeys; ++k)
        r[k] = static_cast<uint8_t>(0x40 + k);
    return r;
}

void PutPlugRecord(std::array<uint8_t, kSimPlugMemSize>& mem, int node, uint8_t kind, const char16_t* name) {
    uint8_t* rec = &mem[static_cast<size_t>(node) * kPlugRecordSize];
    std::fill(rec, rec + kPlugRecordSize, 0);
    rec[0] = kind; // little-endian 32-bit kind
    for (int i = 0; i < 11 && name[i]; ++i) {
        rec[4 + 2 * i] = static_cast<uint8_t>(name[i]);
        rec[5 + 2 * i] = static_cast<uint8_t>(name[i] >> 8);
    }
}

} // namespace sim
