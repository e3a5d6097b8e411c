#include "model/EqIo.h"

#include "model/Compound.h"
#include "model/Setters.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

const std::array<const char*, kEqNumberCount> kEqShortNames = {
    "mic-a", "mic-b", "reverb-a", "reverb-b", "echo-a", "echo-b", "music", "out1",
    "out2",  "out3",  "out4",     "out5",     "out6",   "out7",   "out8"};

int EqFromShortName(std::string_view name) {
    for (int eq = 0; eq < kEqNumberCount; ++eq) {
        const std::string_view known = kEqShortNames[eq];
        if (known.size() == name.size() &&
            std::equal(known.begin(), known.end(), name.begin(),
                       [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
            return eq;
    }
    return -1;
}

std::string EqShortNameList() {
    std::string out;
    for (const char* name : kEqShortNames)
        out += (out.empty() ? "" : ", ") + std::string(name);
    return out;
}

int EqUserBands(int eq) {
    if (eq < 0 || eq >= kEqNumberCount)
        return 0;
    return std::min(kEqNumbers[eq].nBands, 10);
}

float BandQMax(int type) {
    return type == EQ_PEQ ? kBandQMaxPeq : kBandQMaxOther;
}

namespace {

constexpr int kCompanions = 3;

std::array<int, 4> CrossoverCodes(int eq) {
    const EqNumberInfo& info = kEqNumbers[eq];
    std::array<int, 4> codes{};
    for (int j = 0; j < 4; ++j)
        codes[j] = ReadBand(info.nGroup, info.nFirstBand + kCrossoverBand + j).nType;
    return codes;
}

bool IsCrossover(const std::array<int, 4>& codes) {
    if (codes[0] > EQ_HS)
        return true;
    // Off or flat PEQ companions leave band 9 a plain band.
    return std::any_of(codes.begin() + 1, codes.end(), [](int c) { return c != EQ_OFF && c != EQ_PEQ; });
}

std::string CrossoverName(const std::array<int, 4>& codes) {
    for (int f = 0; f < kCrossoverFamilyFlat; ++f) {
        if (codes == kCrossoverFamilies[f].nLowPass)
            return std::string("crossover ") + kCrossoverFamilies[f].szName + " low-pass";
        if (codes == kCrossoverFamilies[f].nHighPass)
            return std::string("crossover ") + kCrossoverFamilies[f].szName + " high-pass";
    }
    return "crossover sections " + std::to_string(codes[0]) + ", " + std::to_string(codes[1]) + ", " +
           std::to_string(codes[2]) + ", " + std::to_string(codes[3]);
}

bool CarriesGain(int type) {
    return type == EQ_PEQ || type == EQ_LS || type == EQ_HS;
}

} // namespace

bool EqHasCrossover(int eq) {
    return IsOutputEq(eq) && IsCrossover(CrossoverCodes(eq));
}

EqBandSetting ReadEqBandSetting(int eq, int band) {
    EqBandSetting s;
    if (band < 0 || band >= EqUserBands(eq))
        return s;
    const EqNumberInfo& info = kEqNumbers[eq];
    const BandValues v = ReadBand(info.nGroup, info.nFirstBand + band);
    s.nType = v.nType;
    s.fGain = v.fGain;
    s.fFreq = v.fFreq;
    s.fQ = v.fQ;
    if (IsOutputEq(eq) && band == kCrossoverBand) {
        const std::array<int, 4> codes = CrossoverCodes(eq);
        if (IsCrossover(codes)) {
            s.strSpecial = CrossoverName(codes);
            s.nType = codes[0] <= EQ_HS ? codes[0] : IsHighPassType(codes[0]) ? EQ_HP : EQ_LP;
            return s;
        }
    }
    if (s.nType > EQ_HS) {
        // No filter line can say it; the microphone, music and effect editors show it as off.
        s.strSpecial = "section code " + std::to_string(s.nType);
        s.nType = EQ_OFF;
    }
    return s;
}

std::vector<EqBandSetting> ReadEqBandSettings(int eq) {
    std::vector<EqBandSetting> bands;
    for (int b = 0; b < EqUserBands(eq); ++b)
        bands.push_back(ReadEqBandSetting(eq, b));
    return bands;
}

EqApplyResult ApplyEqBands(int eq, std::span<const EqBandSetting> bands,
                           const std::function<void(int band)>& beforeBand) {
    EqApplyResult result;
    const int n = EqUserBands(eq);
    if (n == 0 || static_cast<int>(bands.size()) > n)
        return result;
    const EqNumberInfo& info = kEqNumbers[eq];
    const bool keepCrossover = EqHasCrossover(eq) && (static_cast<int>(bands.size()) <= kCrossoverBand ||
                                                      bands[kCrossoverBand].nLine == 0);
    result.bOk = true;
    for (int b = 0; b < n; ++b) {
        if (b == kCrossoverBand && IsOutputEq(eq) && keepCrossover) {
            result.bCrossoverKept = true;
            continue;
        }
        const EqBandSetting s = b < static_cast<int>(bands.size()) ? bands[b] : EqBandSetting{};
        const BandValues now = ReadBand(info.nGroup, info.nFirstBand + b);
        const int type = std::clamp(s.nType, static_cast<int>(EQ_OFF), static_cast<int>(EQ_HS));
        // An off band may hold a gain (it shapes nothing while off): a filter text's off line keeps it.
        const float given = type == EQ_OFF && s.bKeepGain ? now.fGain : s.fGain;
        const float gain = (CarriesGain(type) || type == EQ_OFF) && std::isfinite(given)
                               ? std::clamp(given, kBandGainMin, kBandGainMax)
                               : 0.0f;
        float freq = s.fFreq > 0 ? s.fFreq : now.fFreq;
        float q = s.fQ > 0 ? s.fQ : now.fQ;
        // A stored value outside the limits (a foreign image) must not reach the biquad design.
        freq = std::isfinite(freq) ? std::trunc(std::clamp(freq, kBandFreqMin, kBandFreqMax)) : kBandFreqMin;
        // An off band keeps any Q a PEQ may have: it shapes nothing while the band is off.
        const float qMax = type == EQ_OFF ? kBandQMaxPeq : BandQMax(type);
        q = std::isfinite(q) ? std::clamp(q, kBandQMin, qMax) : kBandQMin;
        // A plain band 9 of an output EQ leaves its companions transparent, as the editor's presets do.
        const BandValues flat{0.0f, freq, q, EQ_PEQ};
        const std::array<BandValues, kCompanions> companions{flat, flat, flat};
        if (beforeBand)
            beforeBand(b);
        WriteEqBand(eq, b, BandValues{gain, freq, q, type}, companions);
        ++result.nBandsWritten;
    }
    return result;
}

int EqLevelSlot(int eq) {
    return IsOutputEq(eq) ? SET_OUT_LEVEL + (eq - EQ_OUT1) : -1;
}

std::string PreampNote(int eq, double preampDb) {
    char db[32];
    std::snprintf(db, sizeof db, "%.1f dB", std::fabs(preampDb));
    if (!(preampDb < 0))
        return std::string("Preamp ") + (preampDb > 0 ? "+" : "") + db + ": the filters need no headroom";
    std::string note = std::string("Preamp -") + db + ": the filters raise the signal by up to " + db +
                       " and need that much headroom, which the import does not make by itself; ";
    const int slot = EqLevelSlot(eq);
    if (slot >= 0)
        return note + "lower the channel's level " + SlotName(slot) + " by " + db +
               " (the level slider of the sound-field page)";
    return note + "this equaliser has no level of its own: lower what feeds it by " + db;
}

PreampResult LowerLevelForPreamp(int eq, double preampDb) {
    PreampResult r;
    r.nSlot = EqLevelSlot(eq);
    if (r.nSlot < 0)
        return r;
    r.bOk = true;
    {
        auto lock = LockStore();
        r.nOld = r.nNew = g_Param.nSetting[r.nSlot];
    }
    if (!(preampDb < 0) || r.nOld <= 0)
        return r;
    // The level is a linear factor (100 % passes the signal unchanged); rounding down makes at
    // least the headroom asked for.
    const double lowered = r.nOld * std::pow(10.0, preampDb / 20);
    r.nNew = static_cast<int>(std::floor(lowered + 1e-9));
    SetSlot(r.nSlot, r.nNew);
    return r;
}
