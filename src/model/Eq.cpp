#include "model/Eq.h"

#include "model/Compound.h"

#include <algorithm>

int EqBands(int eq) {
    return IsEqId(eq) ? kEqNumbers[eq].nBands : 0;
}

int EqBandStoreAddress(int eq, int band) {
    if (!IsEqId(eq) || band < 0 || band >= kEqNumbers[eq].nBands)
        return -1;
    const EqNumberInfo& info = kEqNumbers[eq];
    return EqBandAddress(info.nGroup, info.nFirstBand + band);
}

int EqBypassSlot(int eq) {
    static constexpr int kSlots[] = {SET_MIC_A_EQ_BYPASS,    SET_MIC_B_EQ_BYPASS,  SET_REVERB_A_EQ_BYPASS,
                                     SET_REVERB_B_EQ_BYPASS, SET_ECHO_A_EQ_BYPASS, SET_ECHO_B_EQ_BYPASS,
                                     SET_MUSIC_EQ_BYPASS};
    if (IsOutputEq(eq))
        return SET_OUT_EQ_BYPASS + (eq - EQ_OUT1);
    return IsEqId(eq) ? kSlots[eq] : -1;
}

std::vector<BandValues> ReadEqBands(int eq, int count) {
    std::vector<BandValues> bands(std::max(count, 0), BandValues{0, 0, 0, -1});
    auto lock = LockStore();
    for (int b = 0; b < count; ++b) {
        const int address = EqBandStoreAddress(eq, b);
        if (address >= 0 && address + kBandRecordSize <= kImageSize)
            bands[b] = DecodeBandRecord(&g_Param.byImage[address]);
    }
    return bands;
}

void WriteEqBand(int eq, int band, const BandValues& v, std::span<const BandValues> companions) {
    if (EqBandStoreAddress(eq, band) < 0)
        return;
    const EqNumberInfo& info = kEqNumbers[eq];
    WriteBandAndCoeffs(info.nGroup, info.nFirstBand + band, v.fGain, v.fFreq, v.fQ, v.nType);
    if (!IsOutputEq(eq) || band != kCrossoverBand)
        return;
    for (size_t j = 0; j < companions.size() && j < 3; ++j) {
        const BandValues& c = companions[j];
        WriteBandAndCoeffs(info.nGroup, info.nFirstBand + kCrossoverBand + 1 + static_cast<int>(j), 0.0f,
                           c.fFreq, c.fQ, c.nType);
    }
}

void WriteOutputBand(std::span<const int> channels, int band, const BandValues& value,
                     std::span<const BandValues> companions) {
    for (int c : channels)
        if (c >= 0 && c < kOutputChannels)
            WriteEqBand(OutputEq(c), band, value, companions);
}

std::array<int, 4> CrossoverPreset(int type) {
    std::array<int, 4> codes = kBand9TypeSections[0];
    if (type >= EQ_PEQ && type <= EQ_HS)
        codes = kBand9TypeSections[type];
    else
        codes[0] = type;
    return codes;
}
