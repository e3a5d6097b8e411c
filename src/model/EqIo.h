// The fifteen equalisers by their short names, their bands as the editors show them, and writing a
// whole list of bands into one equaliser (filter-text import, from the command line or the window).
#pragma once

#include "model/Eq.h"
#include "model/ParamStore.h"

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Command-line names of EQ numbers 0..14, in that order.
extern const std::array<const char*, kEqNumberCount> kEqShortNames;
// EQ number of a short name (any case); -1 when there is none.
int EqFromShortName(std::string_view name);
// "mic-a, mic-b, ..., out8" for messages.
std::string EqShortNameList();

// Bands a user edits: 7 on the effect EQs, 10 on the others (an output channel's crossover companions
// are not bands of their own); 0 for a number outside 0..14.
int EqUserBands(int eq);

// Band limits of the band editor.
constexpr float kBandGainMin = -15, kBandGainMax = 15;
constexpr float kBandFreqMin = 20, kBandFreqMax = 20000;
constexpr float kBandQMin = 0.1f, kBandQMaxPeq = 30, kBandQMaxOther = 2;
float BandQMax(int type); // 30 for PEQ, 2 for every other type

// One band as a filter list names it, or as an export shows it.
struct EqBandSetting {
    int nType = EQ_OFF; // 0..5
    float fGain = 0;    // dB; PEQ, LS and HS carry a gain, and an off band may keep one
    float fFreq = 0;    // Hz; 0 keeps the band's own frequency
    float fQ = 0;       // 0 keeps the band's own Q
    int nLine = 0;      // text line that set the band; 0 when no filter named it
    // Export only: non-empty when the band holds what a plain band type cannot say (a crossover, a
    // section code above 5); names it.
    std::string strSpecial;
    bool bKeepGain = false; // an off band that keeps the gain the band has
};

// Band `band` (0-based) of EQ `eq` as stored. A crossover on an output channel's band 9, or a section
// code above 5, is described in strSpecial; nType is then the plain type it is shown as.
EqBandSetting ReadEqBandSetting(int eq, int band);
std::vector<EqBandSetting> ReadEqBandSettings(int eq); // every user band

// True when band 9 of output EQ `eq` holds a crossover (sections other than one plain band over
// transparent companions).
bool EqHasCrossover(int eq);

struct EqApplyResult {
    bool bOk = false;            // false: nothing written (EQ number or band count out of range)
    int nBandsWritten = 0;       // band records written, companions not counted
    bool bCrossoverKept = false; // an output channel's crossover stayed, no filter naming band 9
};

// Writes every user band of EQ `eq` in band order from `bands` (at most EqUserBands(eq) entries),
// each exactly as the band editor writes a band: record, then coefficients; band 9 of an output
// channel followed by its companions 10..12 (transparent PEQ sections at band 9's frequency and Q).
// Bands past the list are set off with gain 0, keeping their frequency and Q. An output channel's
// crossover on band 9 stays when no filter names band 9. Values are held to the band limits.
// `beforeBand`, when given, is called before each band's writes (a tool counting what got through).
EqApplyResult ApplyEqBands(int eq, std::span<const EqBandSetting> bands,
                           const std::function<void(int band)>& beforeBand = {});

// The level a filter text's Preamp lowers: an output channel's SET_OUT_LEVEL; -1 for the equalisers
// that have no level of their own (microphone sets, effects, music).
int EqLevelSlot(int eq);
// What a Preamp of `preampDb` asks for, and how to get it, for the import of EQ `eq`.
std::string PreampNote(int eq, double preampDb);

struct PreampResult {
    bool bOk = false; // false: the equaliser has no level (nothing changed)
    int nSlot = -1;
    int nOld = 0, nNew = 0; // per cent
};
// Lowers the level of EQ `eq` by -preampDb dB at least (the level is a linear factor in whole per cent,
// rounded down), stored and sent as the window's level slider does. A preamp of 0 dB or more changes nothing.
PreampResult LowerLevelForPreamp(int eq, double preampDb);
