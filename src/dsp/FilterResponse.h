// Filter design and magnitude response of the processor's biquad sections (48 kHz).
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <numbers>
#include <span>

constexpr int kSampleRate = 48000;
constexpr int kResponsePoints = 512;
constexpr double kAxisMinHz = 18.0;
constexpr double kAxisMaxHz = 23000.0;
constexpr double kRippleDb = 0.1;

// Section type codes as stored in the band record's type byte.
enum EqSectionType : int {
    EQ_OFF = 0,
    EQ_PEQ = 1,
    EQ_LP = 2,
    EQ_HP = 3,
    EQ_LS = 4,
    EQ_HS = 5,
    EQ_CHEBYSHEV_LP = 6,
    EQ_CHEBYSHEV_HP = 7,
    EQ_BESSEL_LP = 8, // Q 1/sqrt(3)
    EQ_BESSEL_HP = 9,
    EQ_FIRST_LP = 10, // first order
    EQ_FIRST_HP = 11,
    EQ_BUTTERWORTH_LP = 12, // Q 1/sqrt(2)
    EQ_BUTTERWORTH_HP = 13,
    EQ_Q100_LP = 14, // Q 1.0
    EQ_Q100_HP = 15,
    EQ_Q050_LP = 16, // Q 0.5
    EQ_Q050_HP = 17,
    EQ_Q131_LP = 18, // Q 1/(2 sin(pi/8))
    EQ_Q131_HP = 19,
    EQ_Q054_LP = 20, // Q 1/(2 sin(3pi/8))
    EQ_Q054_HP = 21,
    EQ_SECTION_TYPE_COUNT = 22
};

// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2)
struct BiquadCoeffs {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

using ResponseCurve = std::array<float, kResponsePoints>;

// One section as the EQ editors keep it: user values in single precision and its drawn curve.
struct EqSection {
    int nType = EQ_OFF;
    float fGain = 0;    // dB
    float fFreq = 1000; // Hz
    float fQ = 1.414f;
    ResponseCurve curve{};
};

// Low-pass decisions treat codes 2 and the even crossover codes alike; high-pass 3 and the odd ones.
bool IsLowPassType(int type);
bool IsHighPassType(int type);

BiquadCoeffs CalcBiquad(int type, double gainDb, double freqHz, double q);

// sin^2(pi f / 48000): where the magnitude formula takes a frequency.
double SectionPhi(double hz);

// 10 log10(x) for 1e-300 <= x <= 1e300 without a library call: x = 2^e m with m in [sqrt(1/2),
// sqrt(2)), ln m = 2 atanh(s), s = (m - 1)/(m + 1), |s| < 0.172; the series to s^13 leaves an error
// below 1e-12 dB. Only 64-bit integer adds, shifts and masks, so a loop of it vectorises.
inline double TenLog10(double x) {
    constexpr uint64_t kSqrtHalf = 0x3FE6A09E667F3BCDull; // bits of sqrt(1/2)
    constexpr uint64_t kMantissa = 0x000FFFFFFFFFFFFFull;
    constexpr uint64_t kBias = 1023ull << 52;
    constexpr uint64_t kMagic = 0x4330000000000000ull; // 2^52: an integer in the low bits
    const uint64_t t = std::bit_cast<uint64_t>(x) - kSqrtHalf;
    const double m = std::bit_cast<double>((t & kMantissa) + kSqrtHalf);
    const uint64_t biased = (t + kBias) >> 52; // e + 1023
    const double e = std::bit_cast<double>(biased | kMagic) - (4503599627370496.0 + 1023.0);
    const double s = (m - 1) / (m + 1);
    const double s2 = s * s;
    const double series =
        1 +
        s2 * (1.0 / 3 + s2 * (1.0 / 5 + s2 * (1.0 / 7 + s2 * (1.0 / 9 + s2 * (1.0 / 11 + s2 * (1.0 / 13))))));
    return (2 * s * series + e * std::numbers::ln2) * (10.0 / std::numbers::ln10);
}

// |H|^2 of a section at phi = SectionPhi(f): N / D with both powers floored, so 10 log10 of it is
// finite. The one magnitude formula of every curve, drawn or fitted.
inline double SectionPowerRatio(const BiquadCoeffs& k, double phi) {
    constexpr double kMinPower = 1e-300;
    constexpr double kMaxRatio = 1e300;
    const double nb = k.b0 + k.b1 + k.b2;
    const double nd = 1 + k.a1 + k.a2;
    const double n =
        nb * nb - 4 * (k.b0 * k.b1 + 4 * k.b0 * k.b2 + k.b1 * k.b2) * phi + 16 * k.b0 * k.b2 * phi * phi;
    const double d = nd * nd - 4 * (k.a1 + 4 * k.a2 + k.a1 * k.a2) * phi + 16 * k.a2 * phi * phi;
    const double r = (n > kMinPower ? n : kMinPower) / (d > kMinPower ? d : kMinPower);
    return r < kMinPower ? kMinPower : r > kMaxRatio ? kMaxRatio : r;
}

// Frequency of curve point i (0..511) for a curve area `width` pixels wide, in single precision.
float GridFrequency(int i, int width);

// Magnitude in dB of one section at the 512 grid points. A section of type 0 keeps its old curve.
void CalcSectionCurve(EqSection& section, int width);

// Same, for section `index` of an equaliser. For band 9 of an output-channel equaliser the three
// crossover companions 10..12 first take band 9's frequency and Q with 0 dB gain and are recomputed.
void CalcSectionCurve(std::span<EqSection> sections, int index, bool outputEq, int width);

// Point-wise dB sum of the sections whose type is not 0.
ResponseCurve SumCurves(std::span<const EqSection> sections);

// The crossover of an output equaliser: sections 9..12 summed (type-0 sections left out).
ResponseCurve CrossoverCurve(std::span<const EqSection> sections);

constexpr int kCrossoverBand = 9;
constexpr int kCrossoverFamilyCount = 12; // list entries 0..10 plus 11, the flat row
constexpr int kCrossoverFamilyFlat = 11;

struct CrossoverFamilyRow {
    const char* szName; // list text; nullptr for the flat row
    std::array<int, 4> nLowPass;
    std::array<int, 4> nHighPass;
};
extern const std::array<CrossoverFamilyRow, kCrossoverFamilyCount> kCrossoverFamilies;

// Four section codes for family `family` in the direction of band 9's current code
// (even: low-pass, odd: high-pass). Indices outside 0..11 count as 0.
std::array<int, 4> CrossoverSections(int family, int currentCode);

struct CrossoverMatch {
    int nFamily;    // list index 0..13 (12: LS, 13: HS); 0 when nothing matched
    int nShownType; // type shown for band 9; the caller's value when nothing matched
};
CrossoverMatch FindCrossoverFamily(const std::array<int, 4>& codes, int shownType);

// Sections 9..12 when band 9 is given a plain type 1..5 (index by type; entry 0 unused = flat).
extern const std::array<std::array<int, 4>, 6> kBand9TypeSections;
