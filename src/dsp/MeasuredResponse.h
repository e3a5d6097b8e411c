// Magnitude responses on arbitrary frequencies: measured curves, targets and equaliser curves, on the
// log-spaced points the auto EQ works on.
#pragma once

#include "dsp/Encoding.h"

#include <span>
#include <vector>

// A magnitude response: frequencies strictly increasing and positive, one dB value each.
struct Response {
    std::vector<double> hz;
    std::vector<double> db;
};

// Points from loHz to hiHz, `perOctave` an octave, log spaced from loHz; hiHz ends the list (it is
// added when the last step falls short of it by more than a hundredth of a step).
std::vector<double> LogGrid(double loHz, double hiHz, int perOctave);

// The response read at `hz`, linear in log frequency between its points and held beyond its ends.
std::vector<double> InterpolateAt(const Response& r, std::span<const double> hz);

// Fractional-octave smoothing: at each frequency f the mean of the response over f·2^(±octaves/2),
// the response taken as linear in log frequency between its points, so dense and sparse stretches
// weigh alike. The window is clipped to the response's span; octaves <= 0 interpolates.
std::vector<double> SmoothAt(const Response& r, std::span<const double> hz, double octaves);

// Power (RMS) average of curves on the same points: 10 log10 of the mean of 10^(L/10).
std::vector<double> PowerAverage(std::span<const std::vector<double>> curves);

// dB of a cascade of sections at `hz`, with exactly the coefficients the console sends (CalcBiquad of
// the values as given; off sections left out).
std::vector<double> SectionsResponseDb(std::span<const BandValues> sections, std::span<const double> hz);
