#include "model/Compound.h"

#include "dsp/FilterResponse.h"
#include "link/Codec.h"
#include "model/ParamStore.h"

#include <algorithm>
#include <cmath>

namespace {
void SendCoeffs(int group, int band, int type, float gainDb, float freqHz, float q) {
    const EqCoeffTarget target = EqBandCoeffTarget(group, band);
    if (target.nBlock == 0 || band < 0 || band >= EqBandCount(group))
        return;
    SendParamFloats(target.nBlock, target.nParam, EncodeBiquadBlock(CalcBiquad(type, gainDb, freqHz, q)));
}
} // namespace

void SendBandCoeffs(int group, int band) {
    const BandValues v = ReadBand(group, band);
    SendCoeffs(group, band, v.nType, v.fGain, v.fFreq, v.fQ);
}

void WriteBandAndCoeffs(int group, int band, float gainDb, float freqHz, float q, int type) {
    // The record holds whole hertz, 0.1 dB and Q x 1000; the biquad is designed from the values as
    // edited (whole hertz), so a dragged Q between record steps is heard as dragged.
    const float hz = std::trunc(freqHz);
    WriteBand(group, band, gainDb, hz, q, type);
    SendCoeffs(group, band, type, gainDb, hz, q);
}

void ResendBand(int group, int band) {
    const BandValues v = ReadBand(group, band);
    WriteBandAndCoeffs(group, band, v.fGain, v.fFreq, v.fQ, v.nType);
}

// ---- Copy EQ ---------------------------------------------------------------------------------------

bool CopyEq(int source, int target) {
    if (source < 0 || source >= kEqNumberCount || target < 0 || target >= kEqNumberCount)
        return false;
    const EqNumberInfo& src = kEqNumbers[source];
    const EqNumberInfo& dst = kEqNumbers[target];
    const int n = std::min(src.nBands, dst.nBands);
    const bool srcFlat10 = source == 0 || source == 1 || source == 6;
    const bool dstOut = target >= 7;
    const bool srcOut = source >= 7;
    const bool dstFlat10 = target == 0 || target == 1 || target == 6;
    {
        auto lock = LockStore();
        std::copy_n(g_Param.byImage.begin() + src.nAddress, n * kBandRecordSize,
                    g_Param.byImage.begin() + dst.nAddress);
        if (srcFlat10 && dstOut) {
            // The crossover companions follow band 9, flat.
            const BandValues b9 = DecodeBandRecord(&g_Param.byImage[dst.nAddress + 9 * kBandRecordSize]);
            const BandRecordBytes rec = EncodeBandRecord(0.0f, b9.fFreq, b9.fQ, EQ_PEQ);
            for (int b = 10; b <= 12; ++b)
                std::copy(rec.begin(), rec.end(),
                          g_Param.byImage.begin() + dst.nAddress + b * kBandRecordSize);
        }
        if (srcOut && dstFlat10) {
            // A crossover code has no meaning outside an output EQ: keep its direction only.
            uint8_t& type = g_Param.byImage[dst.nAddress + (n - 1) * kBandRecordSize + 6];
            if (type >= 6 && type <= 21)
                type = (type % 2 == 0) ? EQ_LP : EQ_HP;
        }
    }
    for (int b = 0; b < dst.nBands; ++b)
        ResendBand(dst.nGroup, dst.nFirstBand + b);
    return true;
}

// ---- Surround levels ---------------------------------------------------------------------------

const std::array<int, 8> kSpeakerRole = {0, 5, 1, 2, 4, 3, 6, 7};

float ChannelSurroundLevel(int c) {
    if (c < 0 || c >= kOutputChannels)
        return 0;
    auto lock = LockStore();
    return BitsFloat(GetBE32(&g_Param.bySurroundLevels[4 * c]));
}

float SurroundLevelAt(float dx, float dy) {
    const float d = std::sqrt(dx * dx + dy * dy);
    return 3.0f - 3.0f * d;
}

void SendChannelSurroundLevel(int c) {
    if (c < 0 || c >= kOutputChannels)
        return;
    std::array<uint8_t, kSurroundLevelsSize> bytes;
    {
        auto lock = LockStore();
        bytes = g_Param.bySurroundLevels;
    }
    WriteDeviceMemory(ADDR_SURROUND_LEVELS, kSurroundLevelsSize, bytes.data());
    const float db = BitsFloat(GetBE32(&bytes[4 * c]));
    SendParamFloats(MOD_OUT1 + c, 29, EncodeGainBlock(db, GainVariant::SurroundLevel));
}

void SetChannelSurroundLevel(int c, float db) {
    if (c < 0 || c >= kOutputChannels)
        return;
    {
        auto lock = LockStore();
        PutBE32(&g_Param.bySurroundLevels[4 * c], FloatBits(db));
    }
    SendChannelSurroundLevel(c);
}

void SetSurroundLevel(int speaker, float db) {
    if (speaker < 0 || speaker >= static_cast<int>(kSpeakerRole.size()))
        return;
    const int role = kSpeakerRole[speaker];
    int channel = -1;
    {
        auto lock = LockStore();
        for (int c = 0; c < kOutputChannels && channel < 0; ++c)
            if (g_Param.nSetting[SET_OUT_ROLE + c] == role)
                channel = c;
    }
    if (channel >= 0)
        SetChannelSurroundLevel(channel, db);
}

// ---- Compressors -------------------------------------------------------------------------------

static void SendCompressorBlock(int block, int param, int thr, int ratio, int attack, int release) {
    std::array<uint32_t, 7> words;
    {
        auto lock = LockStore();
        words =
            EncodeCompressorBlock(SlotFloat(thr), SlotFloat(ratio), SlotFloat(attack), SlotFloat(release));
    }
    SendParamValues(block, param, words);
}

void SendCompressor(int c) {
    if (c < 0 || c >= kOutputChannels)
        return;
    SendCompressorBlock(MOD_OUT1 + c, 27, SET_OUT_COMP_THRESHOLD + c, SET_OUT_COMP_RATIO + c,
                        SET_OUT_COMP_ATTACK + c, SET_OUT_COMP_RELEASE + c);
}

void SendMusicLimiter() {
    SendCompressorBlock(MOD_MUSIC, 14, SET_MUSIC_COMP_THRESHOLD, SET_MUSIC_COMP_RATIO, SET_MUSIC_COMP_ATTACK,
                        SET_MUSIC_COMP_RELEASE);
}

// ---- Output delay split ------------------------------------------------------------------------

int SplitLowHz(int index) {
    return 500 + 100 * index;
}
int SplitHighHz(int index) {
    return SplitLowHz(index) + 500;
}

int CurrentSplitIndex(int c) {
    const BandValues b13 = ReadBand(MOD_OUT1 + c, 13);
    const double hz = std::trunc(static_cast<double>(b13.fFreq));
    for (int i = 0; i < kSplitCount; ++i)
        if (hz == SplitLowHz(i))
            return i;
    return 0;
}

static void WriteSplitBands(int c, int index, int type13, int type14) {
    const int group = MOD_OUT1 + c;
    WriteBandAndCoeffs(group, 13, 0.0f, static_cast<float>(SplitLowHz(index)), 0.707f, type13);
    WriteBandAndCoeffs(group, 14, 0.0f, static_cast<float>(SplitHighHz(index)), 0.707f, type14);
}

void SetDelayMode(int c, int whole) {
    if (c < 0 || c >= kOutputChannels)
        return;
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_OUT_DELAY_WHOLE + c] = whole;
    }
    const float pair[2] = {1.0f, whole == 1 ? 0.0f : 1.0f};
    SendParamFloats(MOD_OUT1 + c, 17, pair);
    const int index = CurrentSplitIndex(c);
    if (whole == 1)
        WriteSplitBands(c, index, EQ_PEQ, EQ_PEQ);
    else
        WriteSplitBands(c, index, EQ_HP, EQ_LP);
}

void SetSplit(int c, int index) {
    if (c < 0 || c >= kOutputChannels)
        return;
    WriteSplitBands(c, std::clamp(index, 0, kSplitCount - 1), EQ_HP, EQ_LP);
}

// ---- Microphone boost --------------------------------------------------------------------------

void SendMicBoostGain() {
    std::array<uint8_t, kMicBoostSize> bytes;
    {
        auto lock = LockStore();
        bytes = g_Param.byMicBoostBytes;
    }
    WriteDeviceMemory(ADDR_MIC_BOOST, kMicBoostSize, bytes.data());
    const float x = MicBoostGain();
    const auto block = EncodeGainBlock(x, GainVariant::MicBoost);
    const float g = EncodeLinearGain(x);
    const float inv = EncodeInverseGain(x);
    SendParamFloats(MOD_MIC, 61, block);
    SendParamFloat(MOD_MIC, 59, g);
    SendParamFloat(MOD_MIC, 58, inv);
    SendParamFloats(MOD_MIC, 38, block);
    SendParamFloat(MOD_MIC, 36, g);
    SendParamFloat(MOD_MIC, 35, inv);
}

void SetMicBoostGain(float db) {
    {
        auto lock = LockStore();
        const uint32_t bits = FloatBits(db);
        g_Param.byMicBoostBytes[0] = static_cast<uint8_t>(bits >> 24);
        g_Param.byMicBoostBytes[1] = static_cast<uint8_t>(bits >> 16);
    }
    SendMicBoostGain();
}

void SetLpfFrequency(int hz) {
    WriteBandAndCoeffs(kEqGroupLpf, 0, 0.0f, static_cast<float>(hz), kLpfQ, EQ_LP);
}
