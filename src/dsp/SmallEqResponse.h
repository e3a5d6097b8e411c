// The small equaliser thumbnail's own filter design and its 56-point response. It is not the editors'
// design: here types 6 and 7 are a band-pass and a notch (constant 0 dB peak), not crossover sections.
#pragma once

#include <array>

#include "dsp/FilterResponse.h"

constexpr int kSmallEqPoints = 56;
constexpr int kSmallEqBands = 7;
constexpr double kSmallEqDecades = 3.4; // 10 Hz .. about 21.8 kHz across the plot

// Types of the small design; 1..5 are the editors' codes.
enum SmallEqType : int {
    SMALL_EQ_BANDPASS = 6,
    SMALL_EQ_NOTCH = 7,
};

using SmallEqCurve = std::array<double, kSmallEqPoints>;

// Types 1..7 have a response; every other code contributes 0 dB.
bool SmallEqTypeDrawn(int type);

// Integer frequency of point u (0..55): trunc(10 * 10^(3.4 u / 56)).
int SmallEqPointHz(int u);

// Coefficients of one band at 48 kHz, divided by a0 (a0 = 1). LP and HP ignore the gain. Codes
// outside 1..7 give the identity section.
BiquadCoeffs SmallEqBiquad(int type, double gainDb, double freqHz, double q);

// The band's magnitude in dB at the 56 points; all 0 for a type outside 1..7. A zero of the
// section exactly on a point (a notch on a grid frequency) gives a deep but finite value.
SmallEqCurve SmallEqBandResponse(int type, double gainDb, double freqHz, double q);

// The tenth-of-a-dB rounding of the summed curve: trunc(10 dB + 0.5) / 10.
double SmallEqRoundDb(double db);
