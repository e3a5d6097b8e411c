#include "dsp/Encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

BandRecordBytes Bytes(std::initializer_list<int> b) {
    BandRecordBytes r{};
    std::copy(b.begin(), b.end(), r.begin());
    return r;
}

} // namespace

TEST(Encoding, BitsAndGains) {
    EXPECT_EQ(FloatBits(1.0f), 0x3F800000u);
    EXPECT_EQ(FloatBits(-2.0f), 0xC0000000u);
    EXPECT_EQ(BitsFloat(0x3F000000u), 0.5f);

    EXPECT_EQ(EncodeLinearGain(0), 1.0f);
    EXPECT_EQ(EncodeLinearGain(20), 10.0f);
    EXPECT_EQ(EncodeLinearGain(-40), 0.01f);
    EXPECT_EQ(EncodeInverseGain(-20), 10.0f); // 1/0.1f taken in double rounds back to 10
    EXPECT_NEAR(EncodeInverseGain(6), 0.501187, 1e-6);
}

TEST(Encoding, Fractions) {
    EXPECT_EQ(EncodeFraction100(50), 0.5f);
    EXPECT_EQ(EncodeFraction100(-7), -0.07f);
    EXPECT_EQ(EncodeFraction10000(12345), 1.2345f);
    EXPECT_EQ(DecodeFraction100(0.499999f), 50);
    EXPECT_EQ(DecodeFraction100(-0.5f), -50);
    EXPECT_EQ(DecodeFraction100(0.0049f), 0);
    EXPECT_EQ(DecodeFraction100(0.0051f), 1);
    EXPECT_EQ(DecodeFraction100(-0.0051f), -1);
    EXPECT_EQ(DecodeFraction10000(0.00004f), 0);
    EXPECT_EQ(DecodeFraction10000(-0.99996f), -10000);
    for (int v = -200; v <= 200; ++v) {
        ASSERT_EQ(DecodeFraction100(EncodeFraction100(v)), v);
    }
    for (int v = -20000; v <= 20000; v += 7) {
        ASSERT_EQ(DecodeFraction10000(EncodeFraction10000(v)), v);
    }
    // Garbage from the link saturates instead of overflowing.
    EXPECT_EQ(DecodeFraction100(1e30f), std::numeric_limits<int>::max());
    EXPECT_EQ(DecodeFraction100(-1e30f), std::numeric_limits<int>::min());
    EXPECT_EQ(DecodeFraction10000(std::numeric_limits<float>::quiet_NaN()), 0);
}

// Single-precision v / 100 plus 0.0005; in double it lands one unit of the last place away for 34 of
// the 100 values. Pinned where the two differ (2, 39, 45, 48, 54, 55, 60, 99) and where they agree (0, 40).
TEST(Encoding, VolumesDivideInSinglePrecision) {
    const std::pair<int, uint32_t> cases[] = {
        {0, 0x3a03126f},  {2, 0x3ca7ef9d},  {39, 0x3ec7ef9d}, {40, 0x3ecd0e56}, {45, 0x3ee6a7ef},
        {48, 0x3ef60418}, {54, 0x3f0a5e36}, {55, 0x3f0ced92}, {60, 0x3f19ba5f}, {99, 0x3f7d9169},
    };
    for (auto [v, bits] : cases)
        EXPECT_EQ(FloatBits(EncodeVolumePlus(v)), bits) << v;
    int differ = 0;
    for (int v = 0; v < 100; ++v) {
        ASSERT_EQ(DecodeFraction100(EncodeVolumePlus(v)), v);
        differ += EncodeVolumePlus(v) != static_cast<float>(v / 100.0 + 0.0005);
    }
    EXPECT_EQ(differ, 34);
}

TEST(Encoding, SamplesAndOmega) {
    EXPECT_EQ(EncodeSamples(2), 96);
    EXPECT_EQ(EncodeSamples(200), 9600);
    EXPECT_EQ(EncodeSamples(0.0104), 0); // 0.4992 samples
    EXPECT_EQ(EncodeSamples(0.0105), 1); // 0.504 samples
    EXPECT_EQ(DecodeSamples(96), 2.0f);
    EXPECT_EQ(DecodeSamples(1), 1.0f / 48);
    for (int ms = 0; ms <= 1000; ++ms) {
        ASSERT_EQ(DecodeSamples(EncodeSamples(ms)), static_cast<float>(ms));
    }
    EXPECT_EQ(EncodeSamples(1e12), std::numeric_limits<int32_t>::max());

    EXPECT_NEAR(EncodeOmega(1000), 0.1308997, 1e-7);
    EXPECT_NEAR(EncodeOmega(24000), 3.1415927, 1e-6);
    EXPECT_EQ(DecodeOmega(0.1308997f), 1000);
    for (int hz = 20; hz <= 20000; ++hz) {
        ASSERT_EQ(DecodeOmega(EncodeOmega(hz)), hz);
    }
}

TEST(Encoding, RatioAndTimeConstant) {
    EXPECT_EQ(EncodeRatio(1), 0.0f);
    // Ratios below 1:1 or not finite are sent as 1:1, never as -inf or NaN.
    for (float bad :
         {0.0f, -2.0f, 0.5f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(FloatBits(EncodeRatio(bad)), 0u) << bad;
    EXPECT_EQ(EncodeRatio(4), 0.75f);
    EXPECT_EQ(EncodeRatio(10), 0.9f);
    EXPECT_EQ(FloatBits(EncodeRatio(3)), 0x3F2AAAAAu); // single precision; a double 1 - 1/3 rounds up
    EXPECT_EQ(DecodeRatio(0), 1.0f);
    EXPECT_EQ(DecodeRatio(0.75f), 4.0f);
    EXPECT_NEAR(DecodeRatio(EncodeRatio(20)), 20, 1e-4);

    EXPECT_NEAR(EncodeTimeConstant(1), 0.020618, 1e-6);
    EXPECT_NEAR(EncodeTimeConstant(0.5f), 1 - std::exp(-1.0 / 24), 1e-8);
    for (float ms : {0.1f, 1.0f, 35.0f, 1000.0f, 5000.0f}) {
        EXPECT_NEAR(DecodeTimeConstant(EncodeTimeConstant(ms)), ms, ms * 1e-4) << ms;
    }
}

TEST(Encoding, SwitchAndSign) {
    EXPECT_EQ(EncodeSwitch(0), 1.0f);
    EXPECT_EQ(FloatBits(EncodeSwitch(1)), 0u); // +0.0 on the wire
    EXPECT_EQ(EncodeSign(1), -1.0f);
    EXPECT_EQ(EncodeSign(0), 1.0f);
    for (int flag : {0, 1}) {
        EXPECT_EQ(DecodeSwitch(EncodeSwitch(flag)), flag);
        EXPECT_EQ(DecodeSign(EncodeSign(flag)), flag);
    }
    // Off only while the value rounds to 0 %; polarity set for anything that rounds to 0 % or below.
    EXPECT_EQ(DecodeSwitch(0.0049f), 1);
    EXPECT_EQ(DecodeSwitch(0.0051f), 0);
    EXPECT_EQ(DecodeSwitch(-0.0051f), 0);
    EXPECT_EQ(DecodeSign(0.0049f), 1);
    EXPECT_EQ(DecodeSign(-0.3f), 1);
    EXPECT_EQ(DecodeSign(0.0051f), 0);
}

TEST(Encoding, BiquadBlock) {
    const std::array<float, 5> b = EncodeBiquadBlock({0.5, 0.25, 0.125, -1.5, 0.75});
    EXPECT_EQ(b, (std::array{1.5f, -0.75f, 0.5f, 0.25f, 0.125f}));

    // A flat PEQ reads -a1, -a2, 1, a1, a2.
    const std::array<float, 5> flat = EncodeBiquadBlock(CalcBiquad(EQ_PEQ, 0, 1234, 3));
    EXPECT_EQ(flat[2], 1.0f);
    EXPECT_EQ(flat[3], -flat[0]);
    EXPECT_EQ(flat[4], -flat[1]);
    EXPECT_GT(flat[0], 1.9f);
}

TEST(Encoding, BandRecord) {
    EXPECT_EQ(EncodeBandRecord(0, 31, 1.414f, 1), Bytes({0x00, 0x96, 0x00, 0x1F, 0x05, 0x86, 0x01}));
    EXPECT_EQ(EncodeBandRecord(-15, 20, 0.1f, 1), Bytes({0x00, 0x00, 0x00, 0x14, 0x00, 0x64, 0x01}));
    EXPECT_EQ(EncodeBandRecord(15, 20000, 30, 2), Bytes({0x01, 0x2C, 0x4E, 0x20, 0x75, 0x30, 0x02}));
    EXPECT_EQ(EncodeBandRecord(-0.04f, 1000.7f, 1.41f, 21), Bytes({0x00, 0x96, 0x03, 0xE8, 0x05, 0x82, 21}));
    // Out-of-range input sticks to the ends instead of wrapping.
    EXPECT_EQ(EncodeBandRecord(-40, -5, -1, 1), Bytes({0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(EncodeBandRecord(9000, 1e6f, 100, 5), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 5}));

    const BandValues v = DecodeBandRecord(Bytes({0x00, 0x96, 0x00, 0x1F, 0x05, 0x86, 0x01}).data());
    EXPECT_EQ(v.fGain, 0.0f);
    EXPECT_EQ(v.fFreq, 31.0f);
    EXPECT_EQ(v.fQ, 1.414f);
    EXPECT_EQ(v.nType, 1);
    const BandValues hi = DecodeBandRecord(Bytes({0x01, 0x2C, 0x80, 0x00, 0x75, 0x30, 0x13}).data());
    EXPECT_EQ(hi.fGain, 15.0f);
    EXPECT_EQ(hi.fFreq, 32768.0f); // unsigned
    EXPECT_EQ(hi.fQ, 30.0f);
    EXPECT_EQ(hi.nType, 19);
    const BandValues top = DecodeBandRecord(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).data());
    EXPECT_EQ(top.fGain, 6538.5f);
    EXPECT_EQ(top.fFreq, 65535.0f);
    EXPECT_EQ(top.fQ, 65.535f);
    EXPECT_EQ(top.nType, 255);

    // Q goes to the nearest code: a typed 0.251 is 251, not the 250 of a truncated float product.
    EXPECT_EQ(EncodeBandQ(0.251f), 251);
    EXPECT_EQ(EncodeBandQ(2.3456), 2346);
    EXPECT_EQ(EncodeBandQ(2.3454), 2345);
    EXPECT_EQ(EncodeBandQ(std::nan("")), 0);
    // Every Q code read back is written again unchanged, as is every 0.1 dB step.
    for (int code = 0; code <= 65535; ++code) {
        const BandRecordBytes r = Bytes({0x00, 0x96, 0x03, 0xE8, code >> 8, code & 0xFF, 1});
        const BandValues d = DecodeBandRecord(r.data());
        ASSERT_EQ(EncodeBandRecord(d.fGain, d.fFreq, d.fQ, d.nType), r) << code;
    }
    for (int code = 0; code <= 300; ++code) {
        const BandRecordBytes r = Bytes({code >> 8, code & 0xFF, 0x03, 0xE8, 0x05, 0x86, 1});
        const BandValues d = DecodeBandRecord(r.data());
        ASSERT_EQ(EncodeBandRecord(d.fGain, d.fFreq, d.fQ, d.nType), r) << code;
    }
}

TEST(Encoding, CompressorBlock) {
    const std::array<uint32_t, 7> w = EncodeCompressorBlock(-20.5f, 4, 1, 0.5f);
    EXPECT_EQ(w[0], 0xC1A40000u);
    EXPECT_EQ(w[1], 0u);
    EXPECT_EQ(w[2], 0x3F400000u); // 0.75
    EXPECT_EQ(w[3], 0x41A00000u); // 20.0
    EXPECT_EQ(w[4], 0x3D4CCCCDu); // 0.05
    EXPECT_EQ(w[5], 0x3CA8E6B3u); // 1 - e^(-1/48)
    EXPECT_EQ(w[6], FloatBits(EncodeTimeConstant(0.5f)));
    EXPECT_NE(w[5], w[6]);
}

TEST(Encoding, GainBlock) {
    const std::array<float, 6> s = EncodeGainBlock(0, GainVariant::SurroundLevel);
    const std::array<float, 6> m = EncodeGainBlock(0, GainVariant::MicBoost);
    for (const auto& b : {s, m}) {
        EXPECT_EQ(b[0], 1.0f);
        EXPECT_EQ(b[1], 1.0f);
        EXPECT_EQ(b[4], 1.0f);
        EXPECT_EQ(b[5], 1.0f);
    }
    EXPECT_EQ(FloatBits(s[2]), 0x3F7EFF25u);
    EXPECT_EQ(FloatBits(s[3]), 0xBFFF7EF1u);
    EXPECT_EQ(FloatBits(m[2]), 0x3F7D554Au);
    EXPECT_EQ(FloatBits(m[3]), 0xBFFEA8DCu);

    // The polynomial is taken in single precision: these differ by one unit from a double evaluation.
    const struct {
        float x;
        uint32_t g, c;
    } cases[] = {{6, 0x3FFF64C1u, 0x3FE08423u},
                 {-7, 0, 0x3F0815BBu},
                 {11, 0, 0x4035E271u},
                 {-14, 0x3E4C509Bu, 0x3E946A8Au},
                 {-12.5f, 0x3E72D424u, 0x3EA8A616u}};
    for (const auto& c : cases) {
        const std::array<float, 6> b = EncodeGainBlock(c.x, GainVariant::MicBoost);
        EXPECT_EQ(FloatBits(b[1]), c.c) << c.x;
        EXPECT_EQ(b[5], b[1]);
        EXPECT_EQ(b[4], b[0]);
        if (c.g != 0) {
            EXPECT_EQ(FloatBits(b[0]), c.g) << c.x;
        }
    }
}
