#include "dsp/FilterResponse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <map>
#include <numbers>
#include <vector>

namespace {

using cplx = std::complex<double>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// H(e^jw) evaluated directly, independent of the closed-form magnitude used by the curves.
cplx Response(const BiquadCoeffs& k, double hz) {
    const cplx z1 = std::polar(1.0, -2 * std::numbers::pi * hz / kSampleRate);
    return (k.b0 + z1 * (k.b1 + z1 * k.b2)) / (1.0 + z1 * (k.a1 + z1 * k.a2));
}

double Db(const BiquadCoeffs& k, double hz) {
    return 20 * std::log10(std::abs(Response(k, hz)));
}

// Every curve point against the complex response, except `skip`.
void ExpectCurveMatchesResponse(const EqSection& s, int width, int skip = -1) {
    const BiquadCoeffs k = CalcBiquad(s.nType, s.fGain, s.fFreq, s.fQ);
    for (int i = 0; i < kResponsePoints; ++i) {
        const double want = Db(k, GridFrequency(i, width));
        if (i != skip && want > -150) {
            ASSERT_NEAR(s.curve[i], want, 2e-3) << "type " << s.nType << " point " << i;
        }
    }
}

} // namespace

TEST(FilterDesign, LowAndHighPassClassification) {
    for (int t = -2; t < 24; ++t) {
        const bool crossover = t >= 6 && t <= 21;
        EXPECT_EQ(IsLowPassType(t), t == 2 || (crossover && t % 2 == 0)) << t;
        EXPECT_EQ(IsHighPassType(t), t == 3 || (crossover && t % 2 == 1)) << t;
    }
}

TEST(FilterDesign, ZeroDbPeqIsExactlyTransparent) {
    for (float f : {20.0f, 1000.0f, 20000.0f}) {
        for (float q : {0.1f, 1.414f, 30.0f}) {
            const BiquadCoeffs k = CalcBiquad(EQ_PEQ, 0, f, q);
            EXPECT_EQ(k.b0, 1.0);
            EXPECT_EQ(k.b1, k.a1);
            EXPECT_EQ(k.b2, k.a2);
            EqSection s{EQ_PEQ, 0, f, q};
            CalcSectionCurve(s, 400);
            for (float v : s.curve) {
                ASSERT_EQ(v, 0.0f);
            }
        }
    }
}

TEST(FilterDesign, MatchesPrewarpedAnalogPrototypes) {
    // Q of the fixed codes 8..21 as tabulated, by low-pass code.
    const std::map<int, double> fixedQ = {{8, 0.5773502692}, {12, 0.7071067812}, {14, 1.0},
                                          {16, 0.5},         {18, 1.3065629649}, {20, 0.5411961001}};
    const double eps = std::sqrt(std::pow(10.0, 0.01) - 1);
    const double v = std::sqrt(std::log(1 / (eps * eps) + 1 + 1 / eps)) / 2;
    ASSERT_NEAR(v, 0.990158, 1e-6);
    const double sigma = std::sinh(v) / std::sqrt(2.0), pole2 = sigma * sigma + std::pow(std::cosh(v), 2) / 2;

    // Analog prototype of each code, normalised to a corner at s = j; off and unknown codes are all-pass.
    const auto analog = [&](int code, double g, double q, cplx s) -> cplx {
        const double h = std::pow(10.0, g / 20), a = std::pow(10.0, g / 40), sa = std::sqrt(a);
        const bool low = code % 2 == 0;
        if (code <= EQ_OFF || code >= EQ_SECTION_TYPE_COUNT) {
            return 1;
        } else if (code == EQ_PEQ) {
            return (s * s + s * (a / q) + 1.0) / (s * s + s / (a * q) + 1.0);
        } else if (code == EQ_LS) {
            return a * (s * s + s * (sa / q) + a) / (a * s * s + s * (sa / q) + 1.0);
        } else if (code == EQ_HS) {
            return a * (a * s * s + s * (sa / q) + 1.0) / (s * s + s * (sa / q) + a);
        } else if (code == EQ_FIRST_LP || code == EQ_FIRST_HP) {
            return h * (low ? 1.0 : s) / (s + 1.0);
        } else if (code == EQ_CHEBYSHEV_LP || code == EQ_CHEBYSHEV_HP) {
            const cplx p = low ? s : 1.0 / s;
            return h * 0.988553 * pole2 / (p * p + 2 * sigma * p + pole2);
        }
        const double qq = code <= EQ_HP ? q : fixedQ.at(low ? code : code - 1);
        return h * (low ? 1.0 : s * s) / (s * s + s / qq + 1.0);
    };
    struct Case {
        double f0, g, q;
    };
    for (int code = -1; code <= EQ_SECTION_TYPE_COUNT; ++code) {
        for (const Case& c :
             {Case{20, 6, 0.7}, Case{1000, -9.5, 2}, Case{8000, 12, 0.3}, Case{20000, -15, 1.4}}) {
            const BiquadCoeffs k = CalcBiquad(code, c.g, c.f0, c.q);
            const double warp = std::tan(std::numbers::pi * c.f0 / kSampleRate);
            for (double f : {0.0, 19.0, c.f0 / 2, c.f0, c.f0 * 1.3, 6000.0, 22000.0}) {
                const cplx s(0, std::tan(std::numbers::pi * f / kSampleRate) / warp);
                const double want = 20 * std::log10(std::abs(analog(code, c.g, c.q, s)));
                if (want > -150) {
                    EXPECT_NEAR(Db(k, f), want, 1e-5) << "code " << code << " f0 " << c.f0 << " f " << f;
                }
            }
        }
    }
}

TEST(FilterDesign, FirstOrderAndChebyshevForms) {
    for (double f : {20.0, 700.0, 20000.0}) {
        for (int code : {EQ_FIRST_LP, EQ_FIRST_HP}) {
            const BiquadCoeffs k = CalcBiquad(code, 2, f, 5);
            EXPECT_EQ(k.a2, 0.0);
            EXPECT_EQ(k.b2, 0.0);
        }
        // 0.1 dB below unity in the pass band, at any corner and the same for the mirrored high-pass.
        EXPECT_NEAR(std::abs(Response(CalcBiquad(EQ_CHEBYSHEV_LP, 0, f, 1), 0)), 0.988553, 1e-6);
        EXPECT_NEAR(std::abs(Response(CalcBiquad(EQ_CHEBYSHEV_HP, 0, f, 1), kSampleRate / 2.0)), 0.988553,
                    1e-6);
    }
}

TEST(FilterDesign, CrossoverFamiliesCrossAtTheirNominalLevel) {
    // Linkwitz-Riley families sum to -6 dB at the corner, Butterworth -3 dB, the Bessel pair 1/sqrt(3).
    const std::vector<std::pair<int, double>> level = {{0, -6.0206}, {1, -6.0206}, {2, -6.0206},
                                                       {3, -6.0206}, {4, -4.7712}, {7, -3.0103},
                                                       {8, -3.0103}, {9, -3.0103}};
    for (const auto& [family, db] : level) {
        for (int dir : {EQ_LP, EQ_HP}) {
            double sum = 0;
            for (int code : CrossoverSections(family, dir)) {
                sum += Db(CalcBiquad(code, 0, 2000, 1.7), 2000);
            }
            EXPECT_NEAR(sum, db, 1e-4) << family << " " << dir;
        }
    }
}

TEST(FilterDesign, GuardsKeepExtremesFinite) {
    for (int code = -1; code <= EQ_SECTION_TYPE_COUNT; ++code) {
        for (double f : {-100.0, 0.0, 24000.0, 30000.0, 1e9, kNaN}) {
            for (double q : {-1.0, 0.0, 1.0, kNaN}) {
                const BiquadCoeffs k = CalcBiquad(code, 15, f, q);
                for (double c : {k.b0, k.b1, k.b2, k.a1, k.a2}) {
                    ASSERT_TRUE(std::isfinite(c)) << code << " " << f << " " << q;
                }
                for (int width : {0, 250}) {
                    EqSection s{code, 15, static_cast<float>(f), static_cast<float>(q)};
                    CalcSectionCurve(s, width);
                    for (float v : s.curve) {
                        ASSERT_TRUE(std::isfinite(v)) << code << " " << f << " " << q << " " << width;
                    }
                }
            }
        }
    }
}

TEST(FilterCurve, GridFrequencies) {
    for (int width : {300, 512, 777}) {
        EXPECT_EQ(GridFrequency(0, width), 18.0f);
        EXPECT_EQ(GridFrequency(256, width), 643.428284f); // L held in single precision
        EXPECT_EQ(GridFrequency(511, width), 22680.914f);
        for (int i = 1; i < kResponsePoints; ++i) {
            ASSERT_GT(GridFrequency(i, width), GridFrequency(i - 1, width));
        }
    }
}

TEST(FilterCurve, MatchesComplexResponse) {
    for (int code = EQ_LP; code < EQ_SECTION_TYPE_COUNT; ++code) {
        for (const EqSection& base : {EqSection{code, 5, 90, 0.7f}, EqSection{code, -8, 6000, 1.9f}}) {
            EqSection s = base;
            CalcSectionCurve(s, 333);
            ExpectCurveMatchesResponse(s, 333);
        }
    }
}

TEST(FilterCurve, PeqCentrePointIsPinnedToTheGain) {
    // 1000 Hz lies in pixel column 168 of 300, i.e. point 286; on a 512-wide area it is point 287.
    for (auto [width, p] : {std::pair{300, 286}, std::pair{512, 287}}) {
        EqSection s{EQ_PEQ, 4.3f, 1000, 6};
        CalcSectionCurve(s, width);
        EXPECT_EQ(s.curve[p], 4.3f);
        const BiquadCoeffs k = CalcBiquad(EQ_PEQ, 4.3, 1000, 6);
        EXPECT_LT(Db(k, GridFrequency(p, width)), 4.29); // pinning did change that point
        ExpectCurveMatchesResponse(s, width, p);
    }
    // Centres off the grid pin nothing and write nowhere outside the curve.
    for (float f : {10.0f, 23500.0f}) {
        EqSection s{EQ_PEQ, 12, f, 0.5f};
        CalcSectionCurve(s, 512);
        ExpectCurveMatchesResponse(s, 512);
    }
}

TEST(FilterCurve, OffSectionKeepsItsCurveAndIsLeftOutOfSums) {
    std::vector<EqSection> eq(13);
    for (int i = 0; i < 13; ++i) {
        eq[i].nType = i % 4 == 3 ? EQ_OFF : EQ_PEQ;
        eq[i].curve.fill(static_cast<float>(i));
    }
    CalcSectionCurve(eq[3], 200);
    EXPECT_EQ(eq[3].curve[100], 3.0f);

    EXPECT_EQ(SumCurves(eq)[7], 57.0f);      // 0 + ... + 12 without the off sections 3, 7 and 11
    EXPECT_EQ(CrossoverCurve(eq)[7], 31.0f); // 9 + 10 + 12
    EXPECT_EQ(CrossoverCurve(std::span(eq).first(11))[7], 19.0f); // only 9 and 10 present
    EXPECT_EQ(CrossoverCurve(std::span(eq).first(9))[7], 0.0f);
}

TEST(FilterCurve, CrossoverCompanionsFollowBand9) {
    const auto fresh = [] {
        std::vector<EqSection> eq(13);
        eq[9] = EqSection{18, 0, 500, 0.9f};
        eq[10] = EqSection{20, 3, 80, 2};
        eq[11] = EqSection{EQ_OFF, 3, 80, 2};
        eq[12] = EqSection{EQ_PEQ, 3, 80, 2};
        eq[11].curve.fill(-7);
        eq[12].curve.fill(-7);
        return eq;
    };
    std::vector<EqSection> eq = fresh();
    CalcSectionCurve(eq, 9, true, 410);
    for (int i = 10; i <= 12; ++i) {
        EXPECT_EQ(eq[i].fFreq, 500.0f);
        EXPECT_EQ(eq[i].fQ, 0.9f);
        EXPECT_EQ(eq[i].fGain, 0.0f);
    }
    EXPECT_EQ(eq[10].nType, 20);
    EXPECT_EQ(eq[11].curve[0], -7.0f); // off companion keeps its curve
    EXPECT_EQ(eq[12].curve[0], 0.0f);  // 0 dB filler is flat
    EqSection alone{20, 0, 500, 0.9f};
    CalcSectionCurve(alone, 410);
    EXPECT_EQ(eq[10].curve, alone.curve);
    ExpectCurveMatchesResponse(eq[9], 410);

    // Not an output equaliser, another band, no companions, or band 9 off: sections 10..12 stay as they were.
    for (auto [index, output, size, off] : {std::tuple{9, false, 13, false}, std::tuple{8, true, 13, false},
                                            std::tuple{9, true, 12, false}, std::tuple{9, true, 13, true}}) {
        std::vector<EqSection> other = fresh();
        if (off) {
            other[9].nType = EQ_OFF;
        }
        CalcSectionCurve(std::span(other).first(size), index, output, 410);
        EXPECT_EQ(other[10].fFreq, 80.0f);
        EXPECT_EQ(other[12].curve[0], -7.0f);
    }
}

TEST(FilterCrossover, FamilyTableAndDirection) {
    const std::pair<const char*, std::array<int, 4>> lowPass[] = {{"LinkwitzRiely 12dB", {10, 10, 1, 1}},
                                                                  {"LinkwitzRiely 24dB", {12, 12, 1, 1}},
                                                                  {"LinkwitzRiely 36dB", {14, 10, 14, 10}},
                                                                  {"LinkwitzRiely 48dB", {18, 20, 18, 20}},
                                                                  {"Bessel 12dB", {8, 1, 1, 1}},
                                                                  {"Bessel 18dB", {8, 10, 1, 1}},
                                                                  {"Bessel 24dB", {8, 8, 1, 1}},
                                                                  {"Butterworth 12dB", {12, 1, 1, 1}},
                                                                  {"Butterworth 18dB", {14, 10, 1, 1}},
                                                                  {"Butterworth 24dB", {18, 20, 1, 1}},
                                                                  {"Chebyshev 12dB", {6, 1, 1, 1}},
                                                                  {nullptr, {1, 1, 1, 1}}};
    for (int i = 0; i < kCrossoverFamilyCount; ++i) {
        const CrossoverFamilyRow& row = kCrossoverFamilies[i];
        EXPECT_STREQ(row.szName, lowPass[i].first);
        EXPECT_EQ(row.nLowPass, lowPass[i].second) << i;
        for (int j = 0; j < 4; ++j) {
            // The high-pass row is the low-pass row with each filter replaced by its odd twin.
            EXPECT_EQ(row.nHighPass[j], row.nLowPass[j] == 1 ? 1 : row.nLowPass[j] + 1) << i;
        }
    }
    // Band 9's current code decides the direction by parity alone.
    for (int code : {1, 3, 5, 7, 19, -3}) {
        EXPECT_EQ(CrossoverSections(2, code), (std::array{15, 11, 15, 11})) << code;
    }
    for (int code : {0, 2, 4, 6, 20, -2}) {
        EXPECT_EQ(CrossoverSections(2, code), (std::array{14, 10, 14, 10})) << code;
    }
    EXPECT_EQ(CrossoverSections(11, 3), (std::array{1, 1, 1, 1}));
    for (int bad : {-1, 12, 100}) {
        EXPECT_EQ(CrossoverSections(bad, 5), (std::array{11, 11, 1, 1}));
    }
}

TEST(FilterCrossover, ReverseLookup) {
    for (int i = 0; i < kCrossoverFamilyFlat; ++i) {
        for (int dir : {EQ_LP, EQ_HP}) {
            const CrossoverMatch m = FindCrossoverFamily(CrossoverSections(i, dir), 1);
            EXPECT_EQ(m.nFamily, i);
            EXPECT_EQ(m.nShownType, dir);
        }
    }
    const auto expect = [](std::array<int, 4> codes, int shown, int family, int type) {
        const CrossoverMatch m = FindCrossoverFamily(codes, shown);
        EXPECT_EQ(m.nFamily, family);
        EXPECT_EQ(m.nShownType, type);
    };
    expect({18, 20, 1, 1}, 5, 9, EQ_LP);
    expect({1, 1, 1, 1}, 3, 11, EQ_PEQ);
    expect({4, 1, 1, 1}, 3, 12, EQ_LS);
    expect({5, 1, 1, 1}, 3, 13, EQ_HS);
    expect({2, 1, 1, 1}, 7, 0, 7);
    expect({1, 1, 1, 10}, 4, 0, 4);
    expect({20, 18, 1, 1}, 2, 0, 2);

    // Each plain type chosen for band 9 reads back as that type.
    EXPECT_EQ(kBand9TypeSections[EQ_LP], CrossoverSections(9, EQ_LP));
    EXPECT_EQ(kBand9TypeSections[EQ_HP], CrossoverSections(9, EQ_HP));
    for (int t = EQ_PEQ; t <= EQ_HS; ++t) {
        EXPECT_EQ(FindCrossoverFamily(kBand9TypeSections[t], 0).nShownType, t);
    }
}
