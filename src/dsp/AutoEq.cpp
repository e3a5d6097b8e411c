#include "dsp/AutoEq.h"

#include <nlopt.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr double kEnoughDb = 0.5;      // a deviation below this is not worth a band
constexpr double kBoostPenalty = 1000; // weight of the EQ curve above the boost limit, per dB squared
// The flat target's level: the measurement's lower quartile over the range. The mean would put the
// target above every stretch between the peaks (the EQ then boosts all of them); a level the fit chose
// itself would sink the whole range to meet one null no EQ should fill.
constexpr double kLevelQuantile = 0.25;
constexpr double kMinQ = 0.1, kMaxPeqQ = 30;
// Broader peaks than Q 0.5 (2.5 octaves) reach far past the range; flatter or rounder shelves
// overshoot outside it. The processor itself goes down to Q 0.1.
constexpr double kPeqQLo = 0.5;
constexpr double kShelfQLo = 0.4, kShelfQHi = 1.0;
constexpr double kShelfReachOct = 0.5; // a shelf is tried for a deviation this near a range end
constexpr double kShelfMargin = 0.9;   // and kept when it leaves under 90 % of a peak's cost
constexpr double kGainStepDb = 0.1;    // the record's steps
constexpr int kLocalEvals = 250;       // one band on its own
constexpr int kJointEvalsPerVariable = 120;
constexpr int kGrowingEvalsPerVariable = 40; // while bands are still being added
constexpr int kPolishSweeps = 12;
constexpr int kExchangeRounds = 1;
constexpr int kCheckPointsPerOctave = 96;

// A band while it is fitted: gain in dB, frequency and Q as log2, so equal steps mean equal ratios.
struct Band {
    int nType = EQ_PEQ;
    double g = 0, x = 0, y = 0;
};

BandValues ToValues(const Band& b) {
    return {static_cast<float>(b.g), static_cast<float>(std::exp2(b.x)), static_cast<float>(std::exp2(b.y)),
            b.nType};
}

bool IsShelf(int type) {
    return type == EQ_LS || type == EQ_HS;
}

double Clamp(double v, double lo, double hi) {
    return std::max(lo, std::min(v, hi));
}

void AddErrors(AutoEqError& e, double err, double hz) {
    e.fRmsDb += err * err;
    if (std::fabs(err) > e.fMaxDb) {
        e.fMaxDb = std::fabs(err);
        e.fMaxHz = hz;
        e.fWorstDb = err;
    }
}

// The checks and the target both EvaluateAutoEq and FitAutoEq start from.
struct Prepared {
    std::string strError;
    std::vector<size_t> fit; // indices of the points inside the range
    double fLevelDb = 0;
    std::vector<double> target;
};

Prepared Prepare(const AutoEqInput& in, const AutoEqLimits& limits) {
    Prepared p;
    const size_t n = in.hz.size();
    if (n != in.measured.size() || (!in.targetShape.empty() && in.targetShape.size() != n)) {
        p.strError = "the measured and target curves have different lengths";
        return p;
    }
    if (!(limits.fLoHz >= 20 && limits.fHiHz <= 20000 && limits.fLoHz < limits.fHiHz)) {
        p.strError = "the fit range must lie within 20-20000 Hz, its low end below its high end";
        return p;
    }
    if (!(limits.fMaxBoostDb >= 0 && limits.fMaxBoostDb <= kAutoEqMaxCutDb) ||
        !(limits.fMaxQ >= kMinQ && limits.fMaxQ <= kMaxPeqQ) || limits.nBands < 0) {
        p.strError = "the limits are outside what the processor can do";
        return p;
    }
    for (size_t i = 0; i < n; ++i) {
        const double shape = in.targetShape.empty() ? 0 : in.targetShape[i];
        if (!(in.hz[i] > 0) || !std::isfinite(in.hz[i]) || !std::isfinite(in.measured[i]) ||
            !std::isfinite(shape) || (i > 0 && !(in.hz[i] > in.hz[i - 1]))) {
            p.strError = "the curves need finite values on increasing frequencies";
            return p;
        }
        if (in.hz[i] >= limits.fLoHz * (1 - 1e-9) && in.hz[i] <= limits.fHiHz * (1 + 1e-9))
            p.fit.push_back(i);
    }
    if (p.fit.size() < 3) {
        p.strError = "the measurement has fewer than three points in the fit range";
        return p;
    }
    std::vector<double> base = SectionsResponseDb(in.kept, in.hz);
    for (size_t i = 0; i < n && !in.targetShape.empty(); ++i)
        base[i] += in.targetShape[i];
    std::vector<double> above;
    for (size_t i : p.fit)
        above.push_back(in.measured[i] - base[i]);
    const size_t k =
        std::min(above.size() - 1, static_cast<size_t>(kLevelQuantile * static_cast<double>(above.size())));
    std::nth_element(above.begin(), above.begin() + static_cast<std::ptrdiff_t>(k), above.end());
    p.fLevelDb = above[k];
    p.target.resize(n);
    for (size_t i = 0; i < n; ++i)
        p.target[i] = p.fLevelDb + base[i];
    return p;
}

struct NloptDeleter {
    void operator()(nlopt_opt o) const { nlopt_destroy(o); }
};

class CFitter {
public:
    CFitter(const AutoEqInput& in, const AutoEqLimits& limits, const Prepared& p) : m_limits(limits) {
        for (size_t i : p.fit) {
            m_hz.push_back(in.hz[i]);
            m_phi.push_back(SectionPhi(in.hz[i]));
            m_resid.push_back(in.measured[i] - p.target[i]);
        }
        m_xLo = std::log2(std::max(20.0, std::ceil(limits.fLoHz)));
        m_xHi = std::log2(std::min(20000.0, std::floor(limits.fHiHz)));
        m_gHi = std::floor(limits.fMaxBoostDb / kGainStepDb + 1e-9) * kGainStepDb;
    }

    std::vector<BandValues> Run() {
        std::vector<Band> bands;
        const std::vector<double> none(m_phi.size(), 0.0);
        // Each band joins where the deviation is largest, then every band so far moves with it.
        while (static_cast<int>(bands.size()) < m_limits.nBands) {
            const size_t before = bands.size();
            Greedy(bands, bands.size() + 1);
            if (bands.size() == before)
                break;
            Optimise(bands, none, kGrowingEvalsPerVariable * 3 * static_cast<int>(bands.size()));
        }
        // A fresh start of the refinement from its own end leaves fewer bands stuck on a shoulder.
        Optimise(bands, none, kJointEvalsPerVariable * 3 * static_cast<int>(bands.size()));
        Exchange(bands);
        std::vector<BandValues> values;
        for (const Band& b : bands)
            values.push_back(Quantise(ToValues(b)));
        Polish(values);
        LimitBoost(values);
        return values;
    }

    int Evaluations() const { return m_nEvals; }

private:
    // Bounds of one band's three variables.
    void BandBounds(int type, double lo[3], double hi[3]) const {
        lo[0] = -kAutoEqMaxCutDb;
        hi[0] = m_gHi;
        lo[1] = m_xLo;
        hi[1] = m_xHi;
        const double qHi = IsShelf(type) ? std::min(kShelfQHi, m_limits.fMaxQ) : m_limits.fMaxQ;
        const double qLo = IsShelf(type) ? std::min(kShelfQLo, qHi) : std::min(kPeqQLo, qHi);
        lo[2] = std::log2(std::max(kMinQ, qLo));
        hi[2] = std::log2(std::max(kMinQ, qHi));
        for (int k = 0; k < 3; ++k)
            if (hi[k] - lo[k] < 1e-6) // BOBYQA needs a box with room in every direction
                hi[k] = lo[k] + 1e-6;
    }

    // Mean squared error of measured + EQ against the target, plus the penalty for the EQ curve above
    // the boost limit. `others` is the EQ of the bands held still.
    double Cost(std::span<const BandValues> bands, std::span<const double> others) {
        ++m_nEvals;
        const size_t n = m_phi.size();
        m_power.assign(n, 1.0);
        // Band by band over every point, then one logarithm a point: both loops vectorise.
        for (const BandValues& b : bands) {
            const BiquadCoeffs k = CalcBiquad(b.nType, b.fGain, b.fFreq, b.fQ);
            for (size_t i = 0; i < n; ++i)
                m_power[i] *= SectionPowerRatio(k, m_phi[i]);
        }
        double sum = 0;
        for (size_t i = 0; i < n; ++i) {
            const double eq = TenLog10(Clamp(m_power[i], 1e-300, 1e300)) + others[i];
            const double e = m_resid[i] + eq;
            const double over = std::max(eq - m_limits.fMaxBoostDb, 0.0);
            sum += e * e + kBoostPenalty * over * over;
        }
        return sum / static_cast<double>(n);
    }

    double Cost(std::span<const Band> bands, std::span<const double> others) {
        std::vector<BandValues> values;
        for (const Band& b : bands)
            values.push_back(ToValues(b));
        return Cost(std::span<const BandValues>(values), others);
    }

    std::vector<double> BandsDb(std::span<const BandValues> bands) const {
        std::vector<double> out(m_phi.size(), 0.0);
        for (const BandValues& b : bands) {
            const BiquadCoeffs k = CalcBiquad(b.nType, b.fGain, b.fFreq, b.fQ);
            for (size_t i = 0; i < m_phi.size(); ++i)
                out[i] += TenLog10(SectionPowerRatio(k, m_phi[i]));
        }
        return out;
    }

    struct Job {
        CFitter* pFitter;
        std::vector<Band>* pBands;
        std::span<const double> others;
    };

    static double Objective(unsigned n, const double* x, double* /*grad*/, void* data) {
        Job& job = *static_cast<Job*>(data);
        std::vector<Band>& bands = *job.pBands;
        for (unsigned k = 0; k + 2 < n; k += 3) {
            Band& b = bands[k / 3];
            b.g = x[k];
            b.x = x[k + 1];
            b.y = x[k + 2];
        }
        return job.pFitter->Cost(std::span<const Band>(bands), job.others);
    }

    // Every band of `bands` jointly, the others still; the bands end at the best point found.
    void Optimise(std::vector<Band>& bands, std::span<const double> others, int maxEvals) {
        const unsigned n = static_cast<unsigned>(bands.size() * 3);
        if (n == 0)
            return;
        std::vector<double> x(n), lo(n), hi(n), step(n);
        for (size_t j = 0; j < bands.size(); ++j) {
            BandBounds(bands[j].nType, &lo[3 * j], &hi[3 * j]);
            const double v[3] = {bands[j].g, bands[j].x, bands[j].y};
            const double s[3] = {1.0, 0.1, 0.3}; // 1 dB, a tenth of an octave, a quarter of Q's doubling
            for (int k = 0; k < 3; ++k) {
                const size_t i = 3 * j + k;
                x[i] = Clamp(v[k], lo[i], hi[i]);
                step[i] = std::min(s[k], (hi[i] - lo[i]) / 4);
            }
        }
        std::unique_ptr<nlopt_opt_s, NloptDeleter> opt(nlopt_create(NLOPT_LN_BOBYQA, n));
        if (!opt)
            return;
        std::vector<Band> work = bands;
        Job job{this, &work, others};
        nlopt_set_lower_bounds(opt.get(), lo.data());
        nlopt_set_upper_bounds(opt.get(), hi.data());
        nlopt_set_initial_step(opt.get(), step.data());
        nlopt_set_min_objective(opt.get(), &CFitter::Objective, &job);
        nlopt_set_xtol_rel(opt.get(), 1e-5);
        nlopt_set_ftol_abs(opt.get(), 1e-7);
        nlopt_set_maxeval(opt.get(), std::max(maxEvals, 2 * static_cast<int>(n) + 10));
        double best = 0;
        const nlopt_result r = nlopt_optimize(opt.get(), x.data(), &best);
        // Past a round-off stop or the evaluation limit x still holds the best point; only a refused
        // set-up (a negative code other than round-off) leaves the start as it was.
        if (r < 0 && r != NLOPT_ROUNDOFF_LIMITED)
            return;
        for (size_t j = 0; j < bands.size(); ++j) {
            bands[j].g = x[3 * j];
            bands[j].x = x[3 * j + 1];
            bands[j].y = x[3 * j + 2];
        }
    }

    // Two bands sharing one feature while another goes without: the band that does least moves to the
    // largest deviation left, and the whole set is refined again, while that lowers the cost.
    void Exchange(std::vector<Band>& bands) {
        const std::vector<double> none(m_phi.size(), 0.0);
        double cost = Cost(std::span<const Band>(bands), none);
        for (int round = 0; round < kExchangeRounds && bands.size() > 1; ++round) {
            size_t weakest = 0;
            double least = HUGE_VAL;
            for (size_t k = 0; k < bands.size(); ++k) {
                std::vector<Band> without = bands;
                without.erase(without.begin() + static_cast<std::ptrdiff_t>(k));
                const double c = Cost(std::span<const Band>(without), none);
                if (c < least) {
                    least = c;
                    weakest = k;
                }
            }
            std::vector<Band> trial = bands;
            trial.erase(trial.begin() + static_cast<std::ptrdiff_t>(weakest));
            Greedy(trial, bands.size());
            if (trial.size() < bands.size())
                return;
            Optimise(trial, none, kJointEvalsPerVariable * 3 * static_cast<int>(trial.size()));
            const double c = Cost(std::span<const Band>(trial), none);
            if (!(c < cost * (1 - 1e-3)))
                return;
            bands = std::move(trial);
            cost = c;
        }
    }

    // Q of the width (octaves) over which a deviation stays above half its depth.
    static double QOfWidth(double octaves) {
        const double p = std::exp2(std::max(octaves, 1.0 / 24));
        return std::sqrt(p) / (p - 1);
    }

    // Adds bands one at a time where the deviation is largest, each fitted on its own.
    void Greedy(std::vector<Band>& bands, size_t upTo) {
        const size_t n = m_phi.size();
        std::vector<BandValues> held;
        for (const Band& b : bands)
            held.push_back(ToValues(b));
        std::vector<double> eq = BandsDb(held);
        std::vector<char> skip(n, 0);
        double cost = Cost(std::span<const BandValues>(), eq);
        for (int tries = 0; bands.size() < upTo && tries < 4 * m_limits.nBands + 8; ++tries) {
            auto dev = [&](size_t i) { return m_resid[i] + eq[i]; };
            size_t j = n;
            double worst = 0;
            for (size_t i = 0; i < n; ++i) {
                if (!skip[i] && std::fabs(dev(i)) > worst) {
                    worst = std::fabs(dev(i));
                    j = i;
                }
            }
            if (j == n || worst < kEnoughDb)
                break;
            const double e = dev(j);
            auto deep = [&](size_t i) { return dev(i) * e > 0 && std::fabs(dev(i)) > worst / 2; };
            size_t l = j, r = j;
            while (l > 0 && deep(l - 1))
                --l;
            while (r + 1 < n && deep(r + 1))
                ++r;
            const double g0 = Clamp(-e, -kAutoEqMaxCutDb, m_gHi);
            const double q0 = Clamp(QOfWidth(std::log2(m_hz[r] / m_hz[l])), kMinQ, m_limits.fMaxQ);
            std::vector<Band> candidates{{EQ_PEQ, g0, std::log2(m_hz[j]), std::log2(q0)}};
            if (std::log2(m_hz[j] / m_hz.front()) < kShelfReachOct)
                candidates.push_back({EQ_LS, g0, std::log2(m_hz[r]), std::log2(0.707)});
            if (std::log2(m_hz.back() / m_hz[j]) < kShelfReachOct)
                candidates.push_back({EQ_HS, g0, std::log2(m_hz[l]), std::log2(0.707)});
            Band best{};
            double bestCost = HUGE_VAL;
            for (Band& c : candidates) {
                std::vector<Band> one{c};
                Optimise(one, eq, kLocalEvals);
                const double cc = Cost(std::span<const Band>(one), eq);
                const bool better = IsShelf(c.nType) ? cc < kShelfMargin * bestCost : cc < bestCost;
                if (better) {
                    best = one.front();
                    bestCost = cc;
                }
            }
            if (!(bestCost < cost * (1 - 1e-3))) {
                // Nothing a band can do here (a dip at the boost limit): look elsewhere.
                std::fill(skip.begin() + static_cast<std::ptrdiff_t>(l),
                          skip.begin() + static_cast<std::ptrdiff_t>(r) + 1, 1);
                continue;
            }
            bands.push_back(best);
            const BandValues v[1] = {ToValues(best)};
            const std::vector<double> add = BandsDb(v);
            for (size_t i = 0; i < eq.size(); ++i)
                eq[i] += add[i];
            cost = bestCost;
        }
    }

    BandValues Quantise(const BandValues& v) const {
        double lo[3], hi[3];
        BandBounds(v.nType, lo, hi);
        BandValues q = RecordExactBand(v);
        q.fGain = static_cast<float>(std::round(Clamp(q.fGain, lo[0], hi[0]) * 10) / 10.0);
        q.fFreq = static_cast<float>(
            Clamp(q.fFreq, std::ceil(std::exp2(lo[1]) - 1e-6), std::floor(std::exp2(hi[1]) + 1e-6)));
        const int codeLo = static_cast<int>(std::ceil(std::exp2(lo[2]) * 1000 - 1e-6));
        const int codeHi = static_cast<int>(std::floor(std::exp2(hi[2]) * 1000 + 1e-6));
        const int code = std::clamp(static_cast<int>(EncodeBandQ(q.fQ)), codeLo, std::max(codeLo, codeHi));
        q.fQ = BandRecordQ(code);
        return q;
    }

    // Steps of the record around each band while one lowers the error: the continuous optimum rounded
    // is not the best of the record's values (a whole hertz matters at 30 Hz and Q 8).
    void Polish(std::vector<BandValues>& bands) {
        const std::vector<double> none(m_phi.size(), 0.0);
        double cost = Cost(std::span<const BandValues>(bands), none);
        for (int sweep = 0; sweep < kPolishSweeps; ++sweep) {
            bool moved = false;
            for (BandValues& b : bands) {
                const float freqStep = std::max(1.0f, std::round(b.fFreq * 0.01f));
                const int qCode = EncodeBandQ(b.fQ);
                const int qStep = std::max(1, qCode / 100);
                const BandValues tries[] = {
                    {b.fGain + 0.1f, b.fFreq, b.fQ, b.nType},
                    {b.fGain - 0.1f, b.fFreq, b.fQ, b.nType},
                    {b.fGain, b.fFreq + 1, b.fQ, b.nType},
                    {b.fGain, b.fFreq - 1, b.fQ, b.nType},
                    {b.fGain, b.fFreq + freqStep, b.fQ, b.nType},
                    {b.fGain, b.fFreq - freqStep, b.fQ, b.nType},
                    {b.fGain, b.fFreq, BandRecordQ(qCode + 1), b.nType},
                    {b.fGain, b.fFreq, BandRecordQ(qCode - 1), b.nType},
                    {b.fGain, b.fFreq, BandRecordQ(qCode + qStep), b.nType},
                    {b.fGain, b.fFreq, BandRecordQ(qCode - qStep), b.nType},
                };
                for (const BandValues& t : tries) {
                    const BandValues saved = b;
                    b = Quantise(t);
                    const double c = Cost(std::span<const BandValues>(bands), none);
                    if (c < cost - 1e-12) {
                        cost = c;
                        moved = true;
                    } else {
                        b = saved;
                    }
                }
            }
            if (!moved)
                break;
        }
    }

    // The penalty lets the curve brush past the boost limit; bring the band that lifts the highest point
    // most towards 0 dB, a record step at a time, until no point is above it.
    void LimitBoost(std::vector<BandValues>& bands) const {
        for (int step = 0; step < 4000; ++step) {
            const std::vector<double> grid = LogGrid(20, 20000, kCheckPointsPerOctave);
            const std::vector<double> db = SectionsResponseDb(bands, grid);
            const auto top = std::max_element(db.begin(), db.end());
            if (top == db.end() || *top <= m_limits.fMaxBoostDb + 1e-9)
                return;
            const double hz[1] = {grid[static_cast<size_t>(top - db.begin())]};
            BandValues* lift = nullptr;
            double most = 0;
            for (BandValues& b : bands) {
                const BandValues one[1] = {b};
                const double d = SectionsResponseDb(one, hz).front();
                if (d > most) {
                    most = d;
                    lift = &b;
                }
            }
            if (!lift)
                return;
            // A boost comes down; a cut whose shelf overshoots there comes up (less cut, less overshoot).
            const double toward0 = lift->fGain > 0 ? -kGainStepDb : kGainStepDb;
            lift->fGain = static_cast<float>(std::round((lift->fGain + toward0) * 10) / 10.0);
        }
    }

    const AutoEqLimits& m_limits;
    std::vector<double> m_hz, m_phi, m_resid; // the range's points
    double m_xLo = 0, m_xHi = 0, m_gHi = 0;
    int m_nEvals = 0;
    std::vector<double> m_power; // scratch of Cost
};

} // namespace

BandValues RecordExactBand(const BandValues& band) {
    BandValues v = band;
    v.fGain = static_cast<float>(std::round(static_cast<double>(band.fGain) * 10) / 10.0);
    v.fFreq = std::round(band.fFreq);
    v.fQ = BandRecordQ(EncodeBandQ(band.fQ));
    return v;
}

double EqPeakDb(std::span<const BandValues> bands) {
    const std::vector<double> db = SectionsResponseDb(bands, LogGrid(20, 20000, kCheckPointsPerOctave));
    return db.empty() ? 0 : *std::max_element(db.begin(), db.end());
}

AutoEqResult EvaluateAutoEq(const AutoEqInput& in, const AutoEqLimits& limits,
                            std::vector<BandValues> bands) {
    AutoEqResult r;
    const Prepared p = Prepare(in, limits);
    if (!p.strError.empty()) {
        r.strError = p.strError;
        return r;
    }
    std::stable_sort(bands.begin(), bands.end(), [](const BandValues& a, const BandValues& b) {
        return (a.nType != EQ_OFF) != (b.nType != EQ_OFF) ? a.nType != EQ_OFF : a.fFreq < b.fFreq;
    });
    r.bands = std::move(bands);
    r.eq = SectionsResponseDb(r.bands, in.hz);
    r.predicted.resize(in.hz.size());
    for (size_t i = 0; i < in.hz.size(); ++i)
        r.predicted[i] = in.measured[i] + r.eq[i];
    r.fLevelDb = p.fLevelDb;
    r.target = p.target;
    for (size_t i : p.fit) {
        AddErrors(r.before, in.measured[i] - r.target[i], in.hz[i]);
        const double e = r.predicted[i] - r.target[i];
        AddErrors(r.after, e, in.hz[i]);
        // A dip left where the EQ is already at its limit: the limit, not the fit, stops it.
        if (e < -kEnoughDb && r.eq[i] >= limits.fMaxBoostDb - kEnoughDb && -e > r.fBoostShortDb) {
            r.fBoostShortDb = -e;
            r.fBoostShortHz = in.hz[i];
        }
    }
    const double n = static_cast<double>(p.fit.size());
    r.before.fRmsDb = std::sqrt(r.before.fRmsDb / n);
    r.after.fRmsDb = std::sqrt(r.after.fRmsDb / n);
    r.bOk = true;
    return r;
}

AutoEqResult FitAutoEq(const AutoEqInput& in, const AutoEqLimits& limits) {
    const Prepared p = Prepare(in, limits);
    if (!p.strError.empty()) {
        AutoEqResult r;
        r.strError = p.strError;
        return r;
    }
    CFitter fitter(in, limits, p);
    std::vector<BandValues> bands = fitter.Run();
    bands.resize(static_cast<size_t>(std::max(limits.nBands, static_cast<int>(bands.size()))),
                 BandValues{0, 0, 0, EQ_OFF});
    AutoEqResult r = EvaluateAutoEq(in, limits, std::move(bands));
    r.nEvaluations = fitter.Evaluations();
    return r;
}
