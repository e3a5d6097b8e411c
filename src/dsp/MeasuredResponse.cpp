#include "dsp/MeasuredResponse.h"

#include <algorithm>
#include <cmath>

namespace {

// Index of the last point at or below x (0 when x lies before the first).
size_t Below(const std::vector<double>& xs, double x) {
    const auto it = std::upper_bound(xs.begin(), xs.end(), x);
    return it == xs.begin() ? 0 : static_cast<size_t>(it - xs.begin()) - 1;
}

// The response in log2 frequency with its running integral, for window means in O(log n).
struct LogCurve {
    std::vector<double> x, y, area; // area[k]: integral of y from x[0] to x[k]

    explicit LogCurve(const Response& r) {
        const size_t n = std::min(r.hz.size(), r.db.size());
        x.resize(n);
        y.assign(r.db.begin(), r.db.begin() + static_cast<std::ptrdiff_t>(n));
        area.assign(n, 0.0);
        for (size_t k = 0; k < n; ++k)
            x[k] = std::log2(r.hz[k]);
        for (size_t k = 1; k < n; ++k)
            area[k] = area[k - 1] + (x[k] - x[k - 1]) * (y[k] + y[k - 1]) / 2;
    }

    double At(double at) const {
        if (x.empty())
            return 0;
        if (at <= x.front())
            return y.front();
        if (at >= x.back())
            return y.back();
        const size_t k = Below(x, at);
        const double t = (at - x[k]) / (x[k + 1] - x[k]);
        return y[k] + t * (y[k + 1] - y[k]);
    }

    // Integral from x[0] to `at`, `at` within the span.
    double Area(double at) const {
        const size_t k = Below(x, at);
        if (k + 1 >= x.size())
            return area.back();
        return area[k] + (at - x[k]) * (y[k] + At(at)) / 2;
    }

    double Mean(double from, double to) const {
        if (x.size() < 2)
            return At(from);
        from = std::max(from, x.front());
        to = std::min(to, x.back());
        if (to - from < 1e-9)
            return At((from + to) / 2);
        return (Area(to) - Area(from)) / (to - from);
    }
};

} // namespace

std::vector<double> LogGrid(double loHz, double hiHz, int perOctave) {
    std::vector<double> hz;
    if (!(loHz > 0) || !(hiHz >= loHz) || perOctave <= 0)
        return hz;
    const double octaves = std::log2(hiHz / loHz);
    const int steps = static_cast<int>(std::floor(octaves * perOctave + 1e-9));
    for (int i = 0; i <= steps; ++i)
        hz.push_back(loHz * std::exp2(static_cast<double>(i) / perOctave));
    if (octaves * perOctave - steps > 0.01)
        hz.push_back(hiHz);
    return hz;
}

std::vector<double> InterpolateAt(const Response& r, std::span<const double> hz) {
    const LogCurve curve(r);
    std::vector<double> out;
    out.reserve(hz.size());
    for (double f : hz)
        out.push_back(curve.At(std::log2(f)));
    return out;
}

std::vector<double> SmoothAt(const Response& r, std::span<const double> hz, double octaves) {
    if (!(octaves > 0))
        return InterpolateAt(r, hz);
    const LogCurve curve(r);
    std::vector<double> out;
    out.reserve(hz.size());
    for (double f : hz) {
        const double x = std::log2(f);
        out.push_back(curve.Mean(x - octaves / 2, x + octaves / 2));
    }
    return out;
}

std::vector<double> PowerAverage(std::span<const std::vector<double>> curves) {
    if (curves.empty())
        return {};
    if (curves.size() == 1)
        return curves.front();
    std::vector<double> out(curves.front().size(), 0.0);
    for (size_t i = 0; i < out.size(); ++i) {
        double power = 0;
        for (const std::vector<double>& c : curves)
            power += std::pow(10.0, c[i] / 10);
        out[i] = 10 * std::log10(power / static_cast<double>(curves.size()));
    }
    return out;
}

std::vector<double> SectionsResponseDb(std::span<const BandValues> sections, std::span<const double> hz) {
    std::vector<BiquadCoeffs> coeffs;
    for (const BandValues& s : sections)
        if (s.nType != EQ_OFF) // the console designs from whole hertz
            coeffs.push_back(CalcBiquad(s.nType, s.fGain, std::trunc(s.fFreq), s.fQ));
    std::vector<double> out;
    out.reserve(hz.size());
    for (double f : hz) {
        const double phi = SectionPhi(f);
        double db = 0;
        for (const BiquadCoeffs& k : coeffs)
            db += TenLog10(SectionPowerRatio(k, phi));
        out.push_back(db);
    }
    return out;
}
