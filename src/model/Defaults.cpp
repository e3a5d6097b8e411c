#include "model/Defaults.h"

#include "model/Compound.h"

#include <vector>

namespace {

struct DefaultBand {
    float fGain;
    int nFreq;
    float fQ;
    int nType;
};

constexpr int kOctaves[10] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

std::vector<DefaultBand> DefaultBands() {
    std::vector<DefaultBand> bands;
    auto octaves = [&] {
        for (int f : kOctaves)
            bands.push_back({0, f, 1.414f, EQ_PEQ});
    };
    auto peq = [&](std::initializer_list<int> freqs) {
        for (int f : freqs)
            bands.push_back({0, f, 1.414f, EQ_PEQ});
    };
    octaves();                            // mic A
    octaves();                            // mic B
    peq({61, 125, 250, 500, 1000, 2300}); // echo A
    bands.push_back({0, 5000, 0.707f, EQ_LP});
    bands.push_back({0, 200, 0.707f, EQ_HP}); // echo B
    peq({160, 250, 500, 1000, 2300});
    bands.push_back({3.0f, 5000, 0.707f, EQ_HS});
    bands.push_back({0, 120, 0.707f, EQ_HP}); // reverb A
    peq({160, 250, 500, 1000, 2300});
    bands.push_back({-6.0f, 5000, 0.707f, EQ_HS});
    bands.push_back({0, 100, 0.707f, EQ_HP}); // reverb B
    peq({160, 250, 500, 1000, 2300});
    bands.push_back({-3.0f, 3000, 0.707f, EQ_HS});
    octaves(); // music
    for (int c = 0; c < kOutputChannels; ++c) {
        octaves();
        peq({16000, 16000, 16000});
        bands.push_back({0, 500, 0.707f, EQ_PEQ});
        bands.push_back({0, 1000, 0.707f, EQ_PEQ});
    }
    return bands;
}

} // namespace

std::array<uint8_t, kImageSize> DefaultImage() {
    std::array<uint8_t, kImageSize> image{};
    size_t at = 0;
    for (const DefaultBand& b : DefaultBands()) {
        const BandRecordBytes rec = EncodeBandRecord(b.fGain, static_cast<float>(b.nFreq), b.fQ, b.nType);
        std::copy(rec.begin(), rec.end(), image.begin() + at);
        at += rec.size();
    }
    return image;
}

void ResetStoreAtStartup() {
    static const std::array<uint8_t, kImageSize> kImage = DefaultImage();
    auto lock = LockStore();
    SetU16(g_Device.szModel, u"QX7745");
    SetU16(g_Device.szMcuVersion, u"2012-10-03");
    SetU16(g_Device.szDspVersion, u"2012-11-30");
    SetU16(g_Device.szModeName[0], u"Mode1");
    SetU16(g_Device.szModeName[1], u"Mode2");
    SetU16(g_Device.szModeName[2], u"Mode3");
    SetU16(g_Device.szModeName[3], u"Mode4");
    ResetSoundFieldBlock();
    g_Status.byMachine.fill(0);
    g_Status.byMachineEdit.fill(0);
    g_Status.byMachine[3] = 99;
    g_Status.byMachine[4] = 99;
    g_Param.nSetting.fill(0);
    g_Param.nSetting[SET_ECHO_A_TIME] = static_cast<int32_t>(FloatBits(217.0f));
    g_Param.nSetting[SET_ECHO_B_TIME] = static_cast<int32_t>(FloatBits(217.0f));
    g_Param.nSetting[SET_ECHO_A_START] = 60;
    g_Param.nSetting[SET_ECHO_B_START] = 60;
    g_Param.bySurroundLevels.fill(0);
    g_Param.byImage = kImage;
}

void ResetEq(int eqNumber) {
    static constexpr int kEffectFreqs[7] = {63, 125, 250, 500, 1000, 2300, 5000};
    static constexpr int kOutFreqs[13] = {31,   62,   125,   250,   500,   1000, 2000,
                                          4000, 8000, 16000, 16000, 16000, 16000};
    if (eqNumber < 0 || eqNumber >= kEqNumberCount)
        return;
    const EqNumberInfo& eq = kEqNumbers[eqNumber];
    const int* freqs = eq.nBands == 7 ? kEffectFreqs : eq.nBands == 13 ? kOutFreqs : kOctaves;
    for (int b = 0; b < eq.nBands; ++b)
        WriteBandAndCoeffs(eq.nGroup, eq.nFirstBand + b, 0.0f, static_cast<float>(freqs[b]), 1.41f, EQ_PEQ);
}

void ResetSoundField() {
    for (int c = 0; c < kOutputChannels; ++c)
        SetChannelSurroundLevel(c, 0.0f);
    ResetSoundFieldBlock();
    EncodeAndSendSoundFieldBlock();
}
