#include "files/EqFit.h"

#include "model/EqIo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kLowestHz = 10, kHighestHz = 24000; // beyond these a measurement has nothing we use

// Points at 1/48 octave over the span every measurement covers.
std::vector<double> CommonPoints(std::span<const Response> measurements) {
    double lo = kLowestHz, hi = kHighestHz;
    for (const Response& m : measurements) {
        lo = std::max(lo, m.hz.front());
        hi = std::min(hi, m.hz.back());
    }
    return LogGrid(lo, hi, kEqFitPointsPerOctave);
}

EqBandSetting SettingOf(const BandValues& b) {
    EqBandSetting s;
    if (b.nType == EQ_OFF)
        return s; // off, keeping the band's frequency and Q, as an OFF line does
    s.nType = b.nType;
    s.fGain = b.fGain;
    s.fFreq = b.fFreq;
    s.fQ = b.fQ;
    return s;
}

BandValues ValuesOf(const EqBandSetting& s) {
    if (s.nType == EQ_OFF)
        return {0, 0, 0, EQ_OFF};
    return {s.fGain, s.fFreq, s.fQ, s.nType};
}

} // namespace

std::string EqFitDb(double db, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f dB", decimals,
                  std::fabs(db) < 0.5 * std::pow(10, -decimals) ? 0 : db);
    return buf;
}

std::string EqFitHz(double hz) {
    char buf[32];
    // Tenths below 100 Hz, where they matter, unless the value is whole.
    const bool whole = std::fabs(hz - std::round(hz)) < 0.05;
    std::snprintf(buf, sizeof buf, hz < 100 && !whole ? "%.1f Hz" : "%.0f Hz", hz);
    return buf;
}

std::string EqFitErrorText(const AutoEqError& e) {
    return "RMS " + EqFitDb(e.fRmsDb, 2) + ", largest " + EqFitDb(e.fMaxDb) + " at " + EqFitHz(e.fMaxHz);
}

EqFitChannel EqFitChannelOf(int eq, int nBands) {
    EqFitChannel c;
    c.nEq = eq;
    c.nUserBands = EqUserBands(eq);
    if (c.nUserBands == 0)
        return c;
    const bool crossover = EqHasCrossover(eq);
    c.nBands = nBands > 0 ? std::min(nBands, c.nUserBands) : c.nUserBands - (crossover ? 1 : 0);
    // A filter text with fewer lines than bands leaves band 10's crossover where it is.
    c.bKeepsCrossover = crossover && c.nBands <= kCrossoverBand;
    if (c.bKeepsCrossover) {
        c.strCrossover = ReadEqBandSetting(eq, kCrossoverBand).strSpecial;
        const std::vector<BandValues> stored = ReadEqBands(eq, kCrossoverBand + 4);
        for (int j = kCrossoverBand; j < kCrossoverBand + 4 && j < static_cast<int>(stored.size()); ++j)
            if (stored[j].nType > 0) // the sections carry no gain
                c.kept.push_back({0.0f, stored[j].fFreq, stored[j].fQ, stored[j].nType});
    }
    return c;
}

EqFitOutcome RunEqFit(const EqFitChannel& channel, std::span<const Response> measurements,
                      const Response* target, const EqFitOptions& options, const std::string& title) {
    EqFitOutcome out;
    auto fail = [&out](std::string why) {
        out.strError = std::move(why);
        return out;
    };
    if (channel.nBands <= 0)
        return fail("the equaliser has no bands to fit");
    if (measurements.empty())
        return fail("no measurement");
    for (const Response& m : measurements)
        if (m.hz.size() < 2 || m.hz.size() != m.db.size())
            return fail("a measurement has fewer than two points");

    AutoEqInput& in = out.input;
    in.hz = CommonPoints(measurements);
    if (in.hz.size() < 3)
        return fail("the measurements have no frequencies in common");
    const double octaves = options.nSmoothing > 0 ? 1.0 / options.nSmoothing : 1.0 / kEqFitPointsPerOctave;
    std::vector<std::vector<double>> curves;
    for (const Response& m : measurements)
        curves.push_back(SmoothAt(m, in.hz, octaves));
    in.measured = PowerAverage(curves);
    if (target)
        in.targetShape = InterpolateAt(*target, in.hz);
    in.kept = channel.kept;

    AutoEqLimits& limits = out.limits;
    limits.nBands = channel.nBands;
    limits.fMaxBoostDb = options.fMaxBoostDb;
    limits.fMaxQ = options.fMaxQ;
    limits.fLoHz = std::max(options.fLoHz, std::max(20.0, in.hz.front()));
    limits.fHiHz = std::min(options.fHiHz, std::min(20000.0, in.hz.back()));
    if (!(limits.fHiHz > limits.fLoHz * std::exp2(1.0 / 12)))
        return fail("the measurement covers " + EqFitHz(in.hz.front()) + " to " + EqFitHz(in.hz.back()) +
                    ", nothing of the fit range " + EqFitHz(options.fLoHz) + " to " + EqFitHz(options.fHiHz));
    if (limits.fLoHz > options.fLoHz || limits.fHiHz < options.fHiHz)
        out.warnings.push_back("the measurement covers " + EqFitHz(in.hz.front()) + " to " +
                               EqFitHz(in.hz.back()) + "; fitting " + EqFitHz(limits.fLoHz) + " to " +
                               EqFitHz(limits.fHiHz));

    const AutoEqResult fitted = FitAutoEq(in, limits);
    if (!fitted.bOk)
        return fail(fitted.strError);
    std::vector<EqBandSetting> settings;
    for (const BandValues& b : fitted.bands)
        settings.push_back(SettingOf(b));
    out.strText = "# auto EQ, " + std::to_string(measurements.size()) +
                  (measurements.size() == 1 ? " measurement" : " measurements averaged") + ", fit " +
                  EqFitHz(limits.fLoHz) + " to " + EqFitHz(limits.fHiHz) + "; predicted " +
                  EqFitErrorText(fitted.after) + "\n" + WriteFilterText(settings, title);

    // What an import of the text gets is what is written, and what the errors are taken from.
    const FilterTextResult back = ParseFilterText(out.strText, channel.nUserBands);
    if (!back.bOk)
        return fail("the fitted bands do not read back: " + FormatFilterNote(back.error));
    out.bands = back.bands;
    std::vector<BandValues> values;
    for (int b = 0; b < channel.nBands; ++b)
        values.push_back(ValuesOf(out.bands[b]));
    out.fit = EvaluateAutoEq(in, limits, values);
    out.fit.nEvaluations = fitted.nEvaluations;
    out.bOk = out.fit.bOk;
    return out;
}

bool ApplyEqFit(std::span<const int> eqs, const EqFitOutcome& outcome) {
    if (!outcome.bOk)
        return false;
    bool all = true;
    for (int eq : eqs)
        all = ApplyEqBands(eq, outcome.bands).bOk && all;
    return all;
}
