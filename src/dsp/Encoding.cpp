#include "dsp/Encoding.h"

#include <bit>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// Values read back from the processor may be anything; saturate instead of overflowing the int.
template <typename Int> Int TruncTo(double v) {
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<Int>::max());
    if (!(v > lo - 1)) {
        return std::isnan(v) ? 0 : std::numeric_limits<Int>::min();
    }
    if (!(v < hi + 1)) {
        return std::numeric_limits<Int>::max();
    }
    return static_cast<Int>(v);
}

int DecodeScaled(float x, double half, double scale) {
    return TruncTo<int>(x >= 0 ? (x + half) * scale : (x - half) * scale);
}

// Negative or oversized codes stick to the ends of the 16-bit range instead of wrapping.
uint16_t Code16(double v) {
    if (!(v > 0)) {
        return 0;
    }
    return v >= 65535 ? 65535 : static_cast<uint16_t>(v);
}

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v & 0xFF);
}

unsigned GetU16(const uint8_t* p) {
    return static_cast<unsigned>(p[0]) << 8 | p[1];
}

} // namespace

uint32_t FloatBits(float f) {
    return std::bit_cast<uint32_t>(f);
}

float BitsFloat(uint32_t u) {
    return std::bit_cast<float>(u);
}

float EncodeLinearGain(double db) {
    return static_cast<float>(std::pow(10.0, db / 20));
}

float EncodeInverseGain(double db) {
    return static_cast<float>(1.0 / EncodeLinearGain(db));
}

float EncodeFraction100(int v) {
    return static_cast<float>(v / 100.0);
}

int DecodeFraction100(float x) {
    return DecodeScaled(x, 0.005, 100);
}

float EncodeVolumePlus(int v) {
    return static_cast<float>(v) / 100.0f + 0.0005f;
}

float EncodeFraction10000(int v) {
    return static_cast<float>(v / 10000.0);
}

int DecodeFraction10000(float x) {
    return DecodeScaled(x, 0.00005, 10000);
}

int32_t EncodeSamples(double ms) {
    return TruncTo<int32_t>(ms * kSampleRate / 1000 + 0.5);
}

float DecodeSamples(int32_t n) {
    return static_cast<float>(n * 1000.0 / kSampleRate);
}

float EncodeOmega(double hz) {
    return static_cast<float>(hz * kTwoPi / kSampleRate);
}

int DecodeOmega(float x) {
    return TruncTo<int>(x * static_cast<double>(kSampleRate) / kTwoPi + 0.5);
}

float EncodeRatio(float ratio) {
    // A ratio of 0 (the start-up store) or a garbled one would send -inf or NaN: send 1:1 instead.
    if (!std::isfinite(ratio) || ratio < 1.0f)
        return 0.0f;
    return 1.0f - 1.0f / ratio;
}

float DecodeRatio(float x) {
    return static_cast<float>(1 / (1 - static_cast<double>(x)));
}

float EncodeTimeConstant(float ms) {
    return static_cast<float>(1 - std::exp(-1 / (48 * static_cast<double>(ms))));
}

float DecodeTimeConstant(float x) {
    return static_cast<float>(-1 / std::log(1 - static_cast<double>(x)) / 48);
}

float EncodeSwitch(int flag) {
    return flag == 0 ? 1.0f : 0.0f;
}

int DecodeSwitch(float x) {
    return DecodeFraction100(x) == 0 ? 1 : 0;
}

float EncodeSign(int flag) {
    return flag != 0 ? -1.0f : 1.0f;
}

int DecodeSign(float x) {
    return DecodeFraction100(x) <= 0 ? 1 : 0;
}

std::array<float, 5> EncodeBiquadBlock(const BiquadCoeffs& c) {
    return {static_cast<float>(-c.a1), static_cast<float>(-c.a2), static_cast<float>(c.b0),
            static_cast<float>(c.b1), static_cast<float>(c.b2)};
}

uint16_t EncodeBandQ(double q) {
    return Code16(std::round(q * 1000));
}

BandRecordBytes EncodeBandRecord(float gainDb, float freqHz, float q, int type) {
    BandRecordBytes r{};
    PutU16(&r[0], Code16((static_cast<double>(gainDb) + 0.05 + 15) * 10));
    PutU16(&r[2], Code16(freqHz));
    PutU16(&r[4], EncodeBandQ(q));
    r[6] = static_cast<uint8_t>(type < 0 ? 0 : type > 255 ? 255 : type);
    return r;
}

BandValues DecodeBandRecord(const uint8_t* record) {
    BandValues v;
    v.fGain = static_cast<float>(GetU16(record) / 10.0 - 15);
    v.fFreq = static_cast<float>(GetU16(record + 2));
    v.fQ = BandRecordQ(GetU16(record + 4));
    v.nType = record[6];
    return v;
}

float BandRecordQ(int code) {
    return static_cast<float>(code / 1000.0);
}

std::array<uint32_t, 7> EncodeCompressorBlock(float thresholdDb, float ratio, float attackMs,
                                              float releaseMs) {
    return {FloatBits(thresholdDb),
            0u,
            FloatBits(EncodeRatio(ratio)),
            FloatBits(20.0f),
            FloatBits(0.05f),
            FloatBits(EncodeTimeConstant(attackMs)),
            FloatBits(EncodeTimeConstant(releaseMs))};
}

std::array<float, 6> EncodeGainBlock(float x, GainVariant variant) {
    // Firmware constants, sent bit for bit.
    const bool surround = variant == GainVariant::SurroundLevel;
    const float k1 = BitsFloat(surround ? 0x3F7EFF25u : 0x3F7D554Au);
    const float k2 = BitsFloat(surround ? 0xBFFF7EF1u : 0xBFFEA8DCu);

    const float g = EncodeLinearGain(x);
    const float x2 = static_cast<float>(std::pow(x, 2));
    const float p = 0.0022594517f * x2 + 0.799902f * x;
    const float e = p / 20.0f;
    const float c = static_cast<float>(std::pow(10.0, static_cast<double>(e)));
    return {g, c, k1, k2, g, c};
}
