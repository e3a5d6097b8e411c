#include "dsp/SmallEqResponse.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// The thumbnail's setters hold f to 20..20000 Hz and gain to +-15 dB; these limits only keep stray
// values (a zero Q, a NaN) finite.
constexpr double kMinDesignHz = 1e-3;
constexpr double kMaxDesignHz = kSampleRate / 2.0 - 1.0;
constexpr double kMinQ = 1e-6;
constexpr double kMaxGainDb = 200;
// Floor of the numerator and denominator powers: -300 dB. A notch on a grid frequency makes the
// numerator zero, or a rounding error below it; the curve then sits far below the plot, but finite.
constexpr double kMinPower = 1e-30;

// Written so that NaN falls to the lower limit.
double Limit(double v, double lo, double hi) {
    if (!(v >= lo)) {
        return lo;
    }
    return v > hi ? hi : v;
}

} // namespace

bool SmallEqTypeDrawn(int type) {
    return type >= EQ_PEQ && type <= SMALL_EQ_NOTCH;
}

int SmallEqPointHz(int u) {
    return static_cast<int>(10.0 * std::pow(10.0, kSmallEqDecades * u / kSmallEqPoints));
}

BiquadCoeffs SmallEqBiquad(int type, double gainDb, double freqHz, double q) {
    const double f = Limit(freqHz, kMinDesignHz, kMaxDesignHz);
    q = Limit(q, kMinQ, HUGE_VAL);
    gainDb = std::isnan(gainDb) ? 0.0 : std::clamp(gainDb, -kMaxGainDb, kMaxGainDb);

    const double w0 = 2 * kPi * f / kSampleRate;
    const double c = std::cos(w0);
    const double s = std::sin(w0);
    const double alpha = s / (2 * q);
    const double a = std::pow(10.0, gainDb / 40);
    const double beta = std::sqrt(a) * s / q;

    double b0 = 1, b1 = 0, b2 = 0, a0 = 1, a1 = 0, a2 = 0;
    switch (type) {
    case EQ_PEQ:
        b0 = 1 + alpha * a;
        b1 = -2 * c;
        b2 = 1 - alpha * a;
        a0 = 1 + alpha / a;
        a1 = -2 * c;
        a2 = 1 - alpha / a;
        break;
    case EQ_LP:
        b0 = (1 - c) / 2;
        b1 = 1 - c;
        b2 = (1 - c) / 2;
        a0 = 1 + alpha;
        a1 = -2 * c;
        a2 = 1 - alpha;
        break;
    case EQ_HP:
        b0 = (1 + c) / 2;
        b1 = -(1 + c);
        b2 = (1 + c) / 2;
        a0 = 1 + alpha;
        a1 = -2 * c;
        a2 = 1 - alpha;
        break;
    case EQ_LS:
        b0 = a * ((a + 1) - (a - 1) * c + beta);
        b1 = 2 * a * ((a - 1) - (a + 1) * c);
        b2 = a * ((a + 1) - (a - 1) * c - beta);
        a0 = (a + 1) + (a - 1) * c + beta;
        a1 = -2 * ((a - 1) + (a + 1) * c);
        a2 = (a + 1) + (a - 1) * c - beta;
        break;
    case EQ_HS:
        b0 = a * ((a + 1) + (a - 1) * c + beta);
        b1 = -2 * a * ((a - 1) + (a + 1) * c);
        b2 = a * ((a + 1) + (a - 1) * c - beta);
        a0 = (a + 1) - (a - 1) * c + beta;
        a1 = 2 * ((a - 1) - (a + 1) * c);
        a2 = (a + 1) - (a - 1) * c - beta;
        break;
    case SMALL_EQ_BANDPASS:
        b0 = alpha;
        b1 = 0;
        b2 = -alpha;
        a0 = 1 + alpha;
        a1 = -2 * c;
        a2 = 1 - alpha;
        break;
    case SMALL_EQ_NOTCH:
        b0 = 1;
        b1 = -2 * c;
        b2 = 1;
        a0 = 1 + alpha;
        a1 = -2 * c;
        a2 = 1 - alpha;
        break;
    default:
        break;
    }
    BiquadCoeffs k;
    k.b0 = b0 / a0;
    k.b1 = b1 / a0;
    k.b2 = b2 / a0;
    k.a1 = a1 / a0;
    k.a2 = a2 / a0;
    return k;
}

SmallEqCurve SmallEqBandResponse(int type, double gainDb, double freqHz, double q) {
    SmallEqCurve db{};
    if (!SmallEqTypeDrawn(type)) {
        return db;
    }
    const BiquadCoeffs k = SmallEqBiquad(type, gainDb, freqHz, q);
    const double nb = k.b0 + k.b1 + k.b2;
    const double nd = 1 + k.a1 + k.a2;
    for (int u = 0; u < kSmallEqPoints; ++u) {
        const double sn = std::sin(kPi * SmallEqPointHz(u) / kSampleRate);
        const double phi = sn * sn;
        const double n =
            nb * nb - 4 * (k.b0 * k.b1 + 4 * k.b0 * k.b2 + k.b1 * k.b2) * phi + 16 * k.b0 * k.b2 * phi * phi;
        const double d = nd * nd - 4 * (k.a1 + 4 * k.a2 + k.a1 * k.a2) * phi + 16 * k.a2 * phi * phi;
        db[u] =
            10 * std::log10(Limit(n, kMinPower, HUGE_VAL)) - 10 * std::log10(Limit(d, kMinPower, HUGE_VAL));
    }
    return db;
}

double SmallEqRoundDb(double db) {
    return std::trunc(10 * db + 0.5) / 10;
}
