// The small equaliser's own design: its 56-point grid, each type's response against a direct evaluation
// of the transfer function, the band-pass and notch of types 6 and 7, the guards and the rounding.
#include "dsp/SmallEqResponse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace {

// |H(e^jw)| in dB at f Hz, straight from the transfer function.
double DirectDb(const BiquadCoeffs& k, double hz) {
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * hz / 48000);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> h = (k.b0 + k.b1 * z1 + k.b2 * z2) / (1.0 + k.a1 * z1 + k.a2 * z2);
    return 20 * std::log10(std::abs(h));
}

// The first grid point at or above `hz`.
int PointAtOrAbove(int hz) {
    for (int u = 0; u < kSmallEqPoints; ++u) {
        if (SmallEqPointHz(u) >= hz) {
            return u;
        }
    }
    return kSmallEqPoints - 1;
}

} // namespace

TEST(SmallEqResponse, GridRunsFromTenHertzToAboutTwentyTwoKilohertzInIntegerSteps) {
    EXPECT_EQ(SmallEqPointHz(0), 10);
    EXPECT_EQ(SmallEqPointHz(28), 501); // 10^2.7 = 501.19
    EXPECT_GT(SmallEqPointHz(55), 21700);
    EXPECT_LT(SmallEqPointHz(55), 21900);
    for (int u = 1; u < kSmallEqPoints; ++u) {
        EXPECT_GE(SmallEqPointHz(u), SmallEqPointHz(u - 1));
    }
}

TEST(SmallEqResponse, EveryTypeMatchesTheTransferFunctionAtEveryPoint) {
    struct Case {
        int type;
        double gain, freq, q;
    };
    const Case cases[] = {{EQ_PEQ, 9, 1000, 1.41},        {EQ_PEQ, -12, 80, 4},        {EQ_LP, 0, 2000, 0.7},
                          {EQ_HP, 0, 150, 0.7},           {EQ_LS, 6, 300, 0.8},        {EQ_HS, -8, 5000, 1.2},
                          {SMALL_EQ_BANDPASS, 0, 700, 2}, {SMALL_EQ_NOTCH, 0, 3333, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const BiquadCoeffs k = SmallEqBiquad(c.type, c.gain, c.freq, c.q);
        const SmallEqCurve db = SmallEqBandResponse(c.type, c.gain, c.freq, c.q);
        for (int u = 0; u < kSmallEqPoints; ++u) {
            const double direct = DirectDb(k, SmallEqPointHz(u));
            if (std::fabs(direct) < 120) {
                EXPECT_NEAR(db[u], direct, 1e-6) << "point " << u;
            }
        }
    }
}

TEST(SmallEqResponse, DesignsHaveTheirShapes) {
    const int u501 = 28; // 501 Hz exactly
    // PEQ reaches its gain at the centre and is flat far from it.
    EXPECT_NEAR(SmallEqBandResponse(EQ_PEQ, 12, 501, 1.41)[u501], 12, 1e-9);
    EXPECT_NEAR(SmallEqBandResponse(EQ_PEQ, 12, 501, 1.41)[0], 0, 0.05);
    // LP and HP ignore the gain; at the corner they stand at 20 log10(Q).
    EXPECT_EQ(SmallEqBandResponse(EQ_LP, 12, 501, 0.7), SmallEqBandResponse(EQ_LP, 0, 501, 0.7));
    EXPECT_EQ(SmallEqBandResponse(EQ_HP, -9, 501, 0.7), SmallEqBandResponse(EQ_HP, 0, 501, 0.7));
    EXPECT_NEAR(SmallEqBandResponse(EQ_LP, 0, 501, 2)[u501], 20 * std::log10(2.0), 1e-9);
    EXPECT_NEAR(SmallEqBandResponse(EQ_LP, 0, 501, 0.7)[0], 0, 0.01);
    EXPECT_LT(SmallEqBandResponse(EQ_LP, 0, 501, 0.7)[55], -50);
    EXPECT_NEAR(SmallEqBandResponse(EQ_HP, 0, 501, 0.7)[55], 0, 0.01);
    EXPECT_LT(SmallEqBandResponse(EQ_HP, 0, 501, 0.7)[0], -50);
    // Shelves: the gain on their own side, nothing on the other.
    EXPECT_NEAR(SmallEqBandResponse(EQ_LS, 6, 1000, 0.7)[0], 6, 0.01);
    EXPECT_NEAR(SmallEqBandResponse(EQ_LS, 6, 1000, 0.7)[55], 0, 0.05);
    EXPECT_NEAR(SmallEqBandResponse(EQ_HS, -6, 1000, 0.7)[55], -6, 0.05);
    EXPECT_NEAR(SmallEqBandResponse(EQ_HS, -6, 1000, 0.7)[0], 0, 0.01);
    // Type 6 is a band-pass with a 0 dB peak, type 7 a notch: not the crossover sections of the editors.
    const SmallEqCurve bp = SmallEqBandResponse(SMALL_EQ_BANDPASS, 9, 501, 2);
    EXPECT_NEAR(bp[u501], 0, 1e-9);
    EXPECT_LT(bp[0], -30);
    EXPECT_LT(bp[55], -30);
    const SmallEqCurve notch = SmallEqBandResponse(SMALL_EQ_NOTCH, 9, 600, 2);
    EXPECT_LT(notch[PointAtOrAbove(600) - 1], -10);
    EXPECT_NEAR(notch[0], 0, 0.01);
    EXPECT_NEAR(notch[55], 0, 0.05);
}

TEST(SmallEqResponse, OtherTypesContributeNothing) {
    for (int type : {0, 8, 21, -1, 255}) {
        EXPECT_EQ(SmallEqBandResponse(type, 12, 1000, 1), SmallEqCurve{}) << type;
        EXPECT_FALSE(SmallEqTypeDrawn(type));
    }
    for (int type = 1; type <= 7; ++type) {
        EXPECT_TRUE(SmallEqTypeDrawn(type));
    }
}

TEST(SmallEqResponse, NotchOnAGridFrequencyAndStrayValuesStayFinite) {
    // The numerator is zero at the notch frequency: every grid frequency as a notch stays finite.
    for (int u = 0; u < kSmallEqPoints; ++u) {
        const int hz = SmallEqPointHz(u);
        const SmallEqCurve db = SmallEqBandResponse(SMALL_EQ_NOTCH, 0, hz, 1.41);
        for (int v = 0; v < kSmallEqPoints; ++v) {
            ASSERT_TRUE(std::isfinite(db[v])) << hz << " Hz at point " << v;
        }
        EXPECT_LT(db[u], -60) << hz << " Hz";
        EXPECT_GE(db[u], -300.0 - 1e-9);
    }
    for (double q : {0.0, -1.0, double(NAN)}) {
        for (int type = 1; type <= 7; ++type) {
            const SmallEqCurve db = SmallEqBandResponse(type, 6, 1000, q);
            for (double v : db) {
                ASSERT_TRUE(std::isfinite(v)) << "type " << type << " q " << q;
            }
        }
    }
    for (double f : {0.0, -5.0, 24000.0, 1e9, double(NAN)}) {
        for (double v : SmallEqBandResponse(EQ_PEQ, 6, f, 1)) {
            ASSERT_TRUE(std::isfinite(v)) << f;
        }
    }
    for (double v : SmallEqBandResponse(EQ_LS, NAN, 1000, 1)) {
        ASSERT_TRUE(std::isfinite(v));
    }
}

TEST(SmallEqResponse, RoundingToTenthsTruncatesAfterAddingHalf) {
    EXPECT_DOUBLE_EQ(SmallEqRoundDb(0), 0);
    EXPECT_DOUBLE_EQ(SmallEqRoundDb(1.25), 1.3);
    EXPECT_DOUBLE_EQ(SmallEqRoundDb(1.24), 1.2);
    EXPECT_DOUBLE_EQ(SmallEqRoundDb(14.96), 15.0);
    EXPECT_DOUBLE_EQ(SmallEqRoundDb(0.04), 0);
    // Towards zero below it: -1.23 gives -1.1, -0.04 and -0.09 give 0.
    EXPECT_DOUBLE_EQ(SmallEqRoundDb(-1.23), -1.1);
    EXPECT_DOUBLE_EQ(SmallEqRoundDb(-0.04), 0);
    EXPECT_DOUBLE_EQ(SmallEqRoundDb(-0.09), 0);
    EXPECT_DOUBLE_EQ(SmallEqRoundDb(-14.96), -14.9);
}
