#include "dsp/FilterResponse.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// The editors stay within 20..20000 Hz and Q 0.1..30; these limits only keep stray values finite.
constexpr double kMinDesignHz = 1e-3;
constexpr double kMaxDesignHz = kSampleRate / 2.0 - 1.0; // tan() of the Chebyshev design blows up at Nyquist
constexpr double kMinQ = 1e-6;

// Written so that NaN falls to the lower limit.
double Limit(double v, double lo, double hi) {
    if (!(v >= lo)) {
        return lo;
    }
    return v > hi ? hi : v;
}

// log10(23000/18), held in single precision as the grid uses it.
float AxisLogSpan() {
    return static_cast<float>(std::log10(kAxisMaxHz / kAxisMinHz));
}

float GridStep(int width) {
    return static_cast<float>(width) * (1.0f / kResponsePoints);
}

// A curve area of no width would divide by zero; any positive width gives the same grid anyway.
int UsableWidth(int width) {
    return width > 0 ? width : kResponsePoints;
}

// sin^2(pi f / fs) at every grid point. The grid depends only on the width, so each thread keeps the
// last one it used: a drag recomputes many curves at one width.
const std::array<double, kResponsePoints>& GridPhi(int width) {
    struct Cache {
        int nWidth = -1;
        std::array<double, kResponsePoints> phi{};
    };
    thread_local Cache cache;
    if (cache.nWidth != width) {
        for (int i = 0; i < kResponsePoints; ++i)
            cache.phi[i] = SectionPhi(GridFrequency(i, width));
        cache.nWidth = width;
    }
    return cache.phi;
}

// Damping factor sin(theta) of the fixed-Q codes, i.e. 1/(2Q); 0 for codes without one.
double FixedQFactor(int type) {
    switch (type) {
    case EQ_BESSEL_LP:
    case EQ_BESSEL_HP:
        return std::sqrt(3.0) / 2;
    case EQ_BUTTERWORTH_LP:
    case EQ_BUTTERWORTH_HP:
        return std::sqrt(2.0) / 2;
    case EQ_Q100_LP:
    case EQ_Q100_HP:
        return std::sin(kPi / 6);
    case EQ_Q050_LP:
    case EQ_Q050_HP:
        return std::sin(kPi / 2);
    case EQ_Q131_LP:
    case EQ_Q131_HP:
        return std::sin(kPi / 8);
    case EQ_Q054_LP:
    case EQ_Q054_HP:
        return std::sin(3 * kPi / 8);
    default:
        return 0;
    }
}

BiquadCoeffs Chebyshev(bool lowPass, double h, double f) {
    const double t = std::tan(kPi * f / kSampleRate);
    const double eps = std::sqrt(std::pow(10.0, kRippleDb / 10) - 1);
    const double m = std::sqrt(1 / (1 + eps * eps));
    // The root of the logarithm, not the usual asinh(1/eps)/2: the coefficients sent depend on it.
    const double v = 0.5 * std::sqrt(std::log(1 / (eps * eps) + 1 + 1 / eps));
    const double p = lowPass ? t : 1 / t;
    const double s = std::sinh(v) * p;
    const double c = std::sin(3 * kPi / 4) * p;
    const double r = 2 * std::cos(3 * kPi / 4) * s;
    const double w = 1 - r + s * s + c * c;

    BiquadCoeffs k;
    k.b0 = k.b2 = h * m * (c * c + s * s) / w;
    k.b1 = lowPass ? 2 * k.b0 : -2 * k.b0;
    k.a1 = (lowPass ? 2 : -2) * (s * s + c * c - 1) / w;
    k.a2 = (1 + r + s * s + c * c) / w;
    return k;
}

} // namespace

const std::array<CrossoverFamilyRow, kCrossoverFamilyCount> kCrossoverFamilies = {{
    {"LinkwitzRiely 12dB", {10, 10, 1, 1}, {11, 11, 1, 1}},
    {"LinkwitzRiely 24dB", {12, 12, 1, 1}, {13, 13, 1, 1}},
    {"LinkwitzRiely 36dB", {14, 10, 14, 10}, {15, 11, 15, 11}},
    {"LinkwitzRiely 48dB", {18, 20, 18, 20}, {19, 21, 19, 21}},
    {"Bessel 12dB", {8, 1, 1, 1}, {9, 1, 1, 1}},
    {"Bessel 18dB", {8, 10, 1, 1}, {9, 11, 1, 1}},
    {"Bessel 24dB", {8, 8, 1, 1}, {9, 9, 1, 1}},
    {"Butterworth 12dB", {12, 1, 1, 1}, {13, 1, 1, 1}},
    {"Butterworth 18dB", {14, 10, 1, 1}, {15, 11, 1, 1}},
    {"Butterworth 24dB", {18, 20, 1, 1}, {19, 21, 1, 1}},
    {"Chebyshev 12dB", {6, 1, 1, 1}, {7, 1, 1, 1}},
    {nullptr, {1, 1, 1, 1}, {1, 1, 1, 1}},
}};

const std::array<std::array<int, 4>, 6> kBand9TypeSections = {{
    {1, 1, 1, 1},
    {1, 1, 1, 1},
    {18, 20, 1, 1},
    {19, 21, 1, 1},
    {4, 1, 1, 1},
    {5, 1, 1, 1},
}};

bool IsLowPassType(int type) {
    return type == EQ_LP || (type >= EQ_CHEBYSHEV_LP && type < EQ_SECTION_TYPE_COUNT && type % 2 == 0);
}

bool IsHighPassType(int type) {
    return type == EQ_HP || (type >= EQ_CHEBYSHEV_HP && type < EQ_SECTION_TYPE_COUNT && type % 2 != 0);
}

BiquadCoeffs CalcBiquad(int type, double gainDb, double freqHz, double q) {
    const double f = Limit(freqHz, kMinDesignHz, kMaxDesignHz);
    q = Limit(q, kMinQ, HUGE_VAL);

    const double w0 = 2 * kPi * f / kSampleRate;
    const double c = std::cos(w0);
    const double s = std::sin(w0);
    const double h = std::pow(10.0, gainDb / 20);
    const double a = std::pow(10.0, gainDb / 40);
    const double fixed = FixedQFactor(type);
    const double alpha = fixed != 0 ? s * fixed : s / (2 * q);

    BiquadCoeffs k;
    if (type == EQ_PEQ) {
        const double a0 = 1 + alpha / a;
        k.b0 = (1 + alpha * a) / a0;
        k.b1 = -2 * c / a0;
        k.b2 = (1 - alpha * a) / a0;
        k.a1 = -2 * c / a0;
        k.a2 = (1 - alpha / a) / a0;
    } else if (type == EQ_LS || type == EQ_HS) {
        const double beta = std::sqrt(a) * s / q;
        if (type == EQ_LS) {
            const double a0 = (a + 1) + (a - 1) * c + beta;
            k.b0 = a * ((a + 1) - (a - 1) * c + beta) / a0;
            k.b1 = 2 * a * ((a - 1) - (a + 1) * c) / a0;
            k.b2 = a * ((a + 1) - (a - 1) * c - beta) / a0;
            k.a1 = -2 * ((a - 1) + (a + 1) * c) / a0;
            k.a2 = ((a + 1) + (a - 1) * c - beta) / a0;
        } else {
            const double a0 = (a + 1) - (a - 1) * c + beta;
            k.b0 = a * ((a + 1) + (a - 1) * c + beta) / a0;
            k.b1 = -2 * a * ((a - 1) + (a + 1) * c) / a0;
            k.b2 = a * ((a + 1) + (a - 1) * c - beta) / a0;
            k.a1 = 2 * ((a - 1) - (a + 1) * c) / a0;
            k.a2 = ((a + 1) - (a - 1) * c - beta) / a0;
        }
    } else if (type == EQ_CHEBYSHEV_LP || type == EQ_CHEBYSHEV_HP) {
        k = Chebyshev(type == EQ_CHEBYSHEV_LP, h, f);
    } else if (type == EQ_FIRST_LP || type == EQ_FIRST_HP) {
        const double d = 1 + c + s;
        k.a1 = (s - c - 1) / d;
        k.a2 = 0;
        k.b2 = 0;
        if (type == EQ_FIRST_LP) {
            k.b0 = k.b1 = h * s / d;
        } else {
            k.b0 = h * (1 + c) / d;
            k.b1 = -k.b0;
        }
    } else if (IsLowPassType(type) || IsHighPassType(type)) {
        const double a0 = 1 + alpha;
        if (IsLowPassType(type)) {
            k.b1 = h * (1 - c) / a0;
            k.b0 = k.b2 = k.b1 / 2;
        } else {
            k.b1 = -h * (1 + c) / a0;
            k.b0 = k.b2 = h * (1 + c) / (2 * a0);
        }
        k.a1 = -2 * c / a0;
        k.a2 = (1 - alpha) / a0;
    } else {
        // Off and unknown codes: all-pass, unity magnitude.
        const double a0 = 1 + alpha;
        k.a1 = -2 * c / a0;
        k.a2 = (1 - alpha) / a0;
        k.b0 = k.a2;
        k.b1 = k.a1;
        k.b2 = 1;
    }
    return k;
}

double SectionPhi(double hz) {
    const double sn = std::sin(kPi * hz / kSampleRate);
    return sn * sn;
}

float GridFrequency(int i, int width) {
    width = UsableWidth(width);
    const double x = static_cast<double>(i) * GridStep(width);
    return static_cast<float>(kAxisMinHz * std::pow(10.0, x / width * AxisLogSpan()));
}

void CalcSectionCurve(EqSection& section, int width) {
    if (section.nType == EQ_OFF) {
        return;
    }
    width = UsableWidth(width);
    const BiquadCoeffs k = CalcBiquad(section.nType, section.fGain, section.fFreq, section.fQ);
    const auto& grid = GridPhi(width);
    // Two passes keep each loop simple enough to vectorise.
    std::array<double, kResponsePoints> ratio;
    for (int i = 0; i < kResponsePoints; ++i)
        ratio[i] = SectionPowerRatio(k, grid[i]);
    for (int i = 0; i < kResponsePoints; ++i)
        section.curve[i] = static_cast<float>(TenLog10(ratio[i]));

    if (section.nType == EQ_PEQ) {
        // Force the point under the centre frequency to the gain, so the drawn peak reaches it.
        const double column = std::trunc(std::log10(section.fFreq / kAxisMinHz) / AxisLogSpan() * width);
        const double p = std::trunc(column / GridStep(width));
        if (p >= 0 && p < kResponsePoints) {
            section.curve[static_cast<std::size_t>(p)] = section.fGain;
        }
    }
}

void CalcSectionCurve(std::span<EqSection> sections, int index, bool outputEq, int width) {
    if (index < 0 || static_cast<std::size_t>(index) >= sections.size()) {
        return;
    }
    EqSection& band = sections[index];
    if (band.nType == EQ_OFF) {
        return;
    }
    if (outputEq && index == kCrossoverBand && sections.size() >= kCrossoverBand + 4) {
        for (int j = kCrossoverBand + 1; j <= kCrossoverBand + 3; ++j) {
            sections[j].fFreq = band.fFreq;
            sections[j].fQ = band.fQ;
            sections[j].fGain = 0;
            CalcSectionCurve(sections[j], width);
        }
    }
    CalcSectionCurve(band, width);
}

ResponseCurve SumCurves(std::span<const EqSection> sections) {
    std::array<double, kResponsePoints> sum{};
    for (const EqSection& s : sections) {
        if (s.nType == EQ_OFF) {
            continue;
        }
        for (int i = 0; i < kResponsePoints; ++i) {
            sum[i] += s.curve[i];
        }
    }
    ResponseCurve out;
    for (int i = 0; i < kResponsePoints; ++i) {
        out[i] = static_cast<float>(sum[i]);
    }
    return out;
}

ResponseCurve CrossoverCurve(std::span<const EqSection> sections) {
    if (sections.size() <= kCrossoverBand) {
        return SumCurves({});
    }
    return SumCurves(
        sections.subspan(kCrossoverBand, std::min<std::size_t>(4, sections.size() - kCrossoverBand)));
}

std::array<int, 4> CrossoverSections(int family, int currentCode) {
    if (family < 0 || family >= kCrossoverFamilyCount) {
        family = 0;
    }
    const CrossoverFamilyRow& row = kCrossoverFamilies[family];
    return currentCode % 2 == 0 ? row.nLowPass : row.nHighPass;
}

CrossoverMatch FindCrossoverFamily(const std::array<int, 4>& codes, int shownType) {
    for (int i = 0; i < kCrossoverFamilyFlat; ++i) {
        if (codes == kCrossoverFamilies[i].nLowPass) {
            return {i, EQ_LP};
        }
        if (codes == kCrossoverFamilies[i].nHighPass) {
            return {i, EQ_HP};
        }
    }
    if (codes == kBand9TypeSections[EQ_PEQ]) {
        return {kCrossoverFamilyFlat, EQ_PEQ};
    }
    if (codes == kBand9TypeSections[EQ_LS]) {
        return {kCrossoverFamilyFlat + 1, EQ_LS};
    }
    if (codes == kBand9TypeSections[EQ_HS]) {
        return {kCrossoverFamilyFlat + 2, EQ_HS};
    }
    return {0, shownType};
}
