// Auto EQ: the bands of one equaliser that bring a measured response to a target, fitted with the
// processor's own sections at 48 kHz and values as the band records hold them, so the predicted
// curve is what the processor will do.
#pragma once

#include "dsp/MeasuredResponse.h"

#include <string>
#include <vector>

constexpr double kAutoEqMaxCutDb = 15; // the band limit; no user setting goes beyond it

struct AutoEqLimits {
    int nBands = 10;                // at most this many bands; fewer when the rest would fit noise
    double fLoHz = 20, fHiHz = 500; // the fit range
    double fMaxBoostDb = 6;         // no band, and no point of the EQ curve, above this (0..15)
    double fMaxQ = 10;              // no band's Q above this (0.1..30; shelves stop at 1)
};

struct AutoEqInput {
    std::vector<double> hz;          // increasing, log spaced (LogGrid): each point weighs alike
    std::vector<double> measured;    // dB at hz, smoothed (and averaged over positions)
    std::vector<double> targetShape; // dB at hz; empty: flat. Moved to the measured level (below).
    // Sections the channel keeps (an output's crossover). The measurement went through them, so the
    // target follows their roll-off and the fit leaves it alone.
    std::vector<BandValues> kept;
};

struct AutoEqError {
    double fRmsDb = 0;
    double fMaxDb = 0;   // largest |error|
    double fMaxHz = 0;   // where it is
    double fWorstDb = 0; // the signed error there (negative: below the target)
};

struct AutoEqResult {
    bool bOk = false;
    std::string strError;          // when !bOk: the input cannot be fitted (no range, bad values)
    std::vector<BandValues> bands; // nBands entries by frequency, the unused ones off; record-exact
    // The target's level: the lower quartile of measured less the target's shape over the range, so
    // that peaks (the EQ cuts them) and nulls (no EQ fills them) leave it alone and most of the work is
    // cutting.
    double fLevelDb = 0;
    std::vector<double> target;    // dB at hz, at that level, with the kept sections' roll-off
    std::vector<double> eq;        // the bands' response at hz
    std::vector<double> predicted; // measured + eq
    AutoEqError before, after;     // over the fit range
    // The deepest dip left where the EQ already boosts to its limit: where, and how much more boost it
    // would take. 0 dB when there is none.
    double fBoostShortHz = 0, fBoostShortDb = 0;
    int nEvaluations = 0; // objective evaluations, for the benchmark
};

// Greedy start (largest deviation first, one band at a time, every band so far refined with each
// new one), a joint bound-constrained refinement of every band (NLopt's BOBYQA), one exchange of the
// band that does least, then a search over the record's steps (0.1 dB, 1 Hz, Q 0.001); the boost
// limit is then enforced on the summed curve. Deterministic.
AutoEqResult FitAutoEq(const AutoEqInput& in, const AutoEqLimits& limits);

// The result `bands` give: target, EQ curve, prediction, errors and boost shortfall (bands as given;
// nothing fitted). FitAutoEq ends with it; callers use it again on bands read back from a text.
AutoEqResult EvaluateAutoEq(const AutoEqInput& in, const AutoEqLimits& limits, std::vector<BandValues> bands);

// A band as its record keeps it and the console designs it: gain on 0.1 dB, whole hertz, Q on the
// record's 0.001 steps (BandRecordQ).
BandValues RecordExactBand(const BandValues& band);

// Highest point of the bands' summed response, checked every 1/96 octave over 20 Hz..20 kHz.
double EqPeakDb(std::span<const BandValues> bands);
