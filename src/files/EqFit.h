// From measured responses to the bands of one equaliser, for m7qctl eq fit and the window's auto EQ:
// the measurements averaged and smoothed, the fit, and its bands written as an import of their filter
// text writes them (the same text, the same parser, the same band writer, so the same bytes).
#pragma once

#include "dsp/AutoEq.h"
#include "files/FilterText.h"

#include <span>
#include <string>
#include <vector>

struct EqFitOptions {
    int nBands = 0; // 0: every band, less band 10 of an output channel that holds a crossover
    double fLoHz = 20, fHiHz = 500;
    double fMaxBoostDb = 6;
    double fMaxQ = 10;
    int nSmoothing = 6; // 1/N octave; 0: none beyond the 1/48-octave points the fit works on
};

constexpr int kEqFitPointsPerOctave = 48;

// What a fit needs to know of the equaliser, read from the store before the fit runs (on any thread).
struct EqFitChannel {
    int nEq = -1;
    int nBands = 0;               // bands fitted
    int nUserBands = 0;           // bands a filter text for this equaliser has
    bool bKeepsCrossover = false; // band 10 of an output channel keeps its crossover
    std::string strCrossover;     // its name, when kept
    std::vector<BandValues> kept; // band 10's four sections, when kept (the fit leaves them alone)
};

// The channel as the store holds it now; nBands 0 takes the default. An EQ number outside 0..14
// gives nBands 0.
EqFitChannel EqFitChannelOf(int eq, int nBands);

struct EqFitOutcome {
    bool bOk = false;
    std::string strError;
    std::vector<std::string> warnings; // the range clipped to what was measured
    AutoEqInput input;                 // the averaged, smoothed measurement on the fit's points
    AutoEqLimits limits;
    AutoEqResult fit;                 // evaluated with the bands as their text reads back
    std::string strText;              // the bands as a filter text: what --export writes
    std::vector<EqBandSetting> bands; // the text read back: what the band writer gets
};

// Fits `channel` to the power average of `measurements` (each smoothed first) and the target (flat
// when null), then reads its filter text back. Pure: safe off the UI thread. `title` heads the text.
EqFitOutcome RunEqFit(const EqFitChannel& channel, std::span<const Response> measurements,
                      const Response* target, const EqFitOptions& options, const std::string& title);

// Writes the fitted bands into each EQ of `eqs` (the output page's linked channels) through the band
// writer of an import. False when nothing was written (no outcome, or an EQ the bands do not fit).
bool ApplyEqFit(std::span<const int> eqs, const EqFitOutcome& outcome);

// "1.2 dB" and friends for the messages of both programs.
std::string EqFitDb(double db, int decimals = 1);
std::string EqFitHz(double hz);
// "before: RMS 4.2 dB, largest 11.8 dB at 43 Hz" style lines of the errors.
std::string EqFitErrorText(const AutoEqError& e);
