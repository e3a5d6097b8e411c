// The console's fifteen equalisers under one identity, the limits and rules of their bands, and the
// operations on their bands that every page shares: reading an EQ from the store, writing a band
// (record, then coefficients), pasting.
#pragma once

#include "dsp/Encoding.h"
#include "dsp/FilterResponse.h"
#include "model/ParamStore.h"

#include <array>
#include <span>
#include <vector>

// The EQ numbers, in the order of kEqNumbers: used by the store, the panels, files and the pages.
enum EqId : int {
    EQ_MIC_A = 0,
    EQ_MIC_B = 1,
    EQ_REVERB_A = 2,
    EQ_REVERB_B = 3,
    EQ_ECHO_A = 4,
    EQ_ECHO_B = 5,
    EQ_MUSIC = 6,
    EQ_OUT1 = 7,
    EQ_OUT2 = 8,
    EQ_OUT3 = 9,
    EQ_OUT4 = 10,
    EQ_OUT5 = 11,
    EQ_OUT6 = 12,
    EQ_OUT7 = 13,
    EQ_OUT8 = 14,
    EQ_ID_COUNT = 15
};

constexpr bool IsEqId(int eq) {
    return eq >= 0 && eq < EQ_ID_COUNT;
}
constexpr bool IsOutputEq(int eq) {
    return eq >= EQ_OUT1 && eq <= EQ_OUT8;
}
constexpr EqId OutputEq(int channel) {
    return static_cast<EqId>(EQ_OUT1 + channel);
}
// What a band may hold in the window: the panel drags, wheels and keys within these limits, and the
// band editor's sliders span them (gain in tenths of a dB, Q in hundredths).
constexpr float kEqFreqMin = 20, kEqFreqMax = 20000;
constexpr float kEqGainMin = -15, kEqGainMax = 15;
constexpr float kEqQMin = 0.1f, kEqQMaxPeq = 30, kEqQMaxFilter = 2;
// A set Q: PEQ takes the wide range, every other type the narrow one.
constexpr float EqQMax(int type) {
    return type == EQ_PEQ ? kEqQMaxPeq : kEqQMaxFilter;
}
// LP, HP, LS, HS: the narrow Q range of a drag.
constexpr bool IsEqFilterType(int type) {
    return type >= EQ_LP && type <= EQ_HS;
}
// Types whose gain is always 0: the pass filters and the crossover's sections.
constexpr bool IsEqGainlessType(int type) {
    return type == EQ_LP || type == EQ_HP || type >= EQ_CHEBYSHEV_LP;
}
// The Q a band takes when it is given `type`: 1.41 for a PEQ, 0.7 for a filter; 0 keeps its Q.
constexpr float EqTypeDefaultQ(int type) {
    return type == EQ_PEQ ? 1.41f : IsEqFilterType(type) ? 0.7f : 0.0f;
}
// The crossover band of an output EQ given `type`: the codes of sections 9..12. An "off" band leaves
// transparent companions behind, so nothing of the old filter stays; a type outside 1..5 keeps the
// off row's companions.
std::array<int, 4> CrossoverPreset(int type);

// Bands of the EQ (7, 10 or 13 with the crossover companions); 0 for no EQ.
int EqBands(int eq);
// Store address of band `band` of EQ `eq`; -1 outside the EQ.
int EqBandStoreAddress(int eq, int band);
// The setting slot of the EQ's bypass switch.
int EqBypassSlot(int eq);

// The first `count` band records of EQ `eq` from the image; a band without a record has type -1.
std::vector<BandValues> ReadEqBands(int eq, int count);

// Stores band `band` of EQ `eq` and sends its record and coefficients. Band 9 of an output EQ is the
// crossover: its three companion sections (given in order, their gain sent as 0) follow it.
void WriteEqBand(int eq, int band, const BandValues& value, std::span<const BandValues> companions = {});
// The same band on each of the output channels `channels`, in their order.
void WriteOutputBand(std::span<const int> channels, int band, const BandValues& value,
                     std::span<const BandValues> companions = {});
