#include "model/Compressor.h"

#include "model/Compound.h"
#include "model/ParamStore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

const std::array<CompRange, COMP_VALUES> kCompRanges = {{
    {-60, 0, 1, "%.0fdB"},
    {10, 300, 10, "%.1f:1"},
    {1, 100, 1, "%.0fms"},
    {1, 1000, 1, "%.0fms"},
}};

float CompValues::Get(int which) const {
    switch (which) {
    case COMP_THRESHOLD:
        return fThreshold;
    case COMP_RATIO:
        return fRatio;
    case COMP_ATTACK:
        return fAttack;
    default:
        return fRelease;
    }
}

void CompValues::Set(int which, float v) {
    switch (which) {
    case COMP_THRESHOLD:
        fThreshold = v;
        break;
    case COMP_RATIO:
        fRatio = v;
        break;
    case COMP_ATTACK:
        fAttack = v;
        break;
    case COMP_RELEASE:
        fRelease = v;
        break;
    default:
        break;
    }
}

int CompSlot(int comp, int which) {
    static constexpr int kOut[COMP_VALUES] = {SET_OUT_COMP_THRESHOLD, SET_OUT_COMP_RATIO, SET_OUT_COMP_ATTACK,
                                              SET_OUT_COMP_RELEASE};
    static constexpr int kMusic[COMP_VALUES] = {SET_MUSIC_COMP_THRESHOLD, SET_MUSIC_COMP_RATIO,
                                                SET_MUSIC_COMP_ATTACK, SET_MUSIC_COMP_RELEASE};
    if (which < 0 || which >= COMP_VALUES)
        return -1;
    if (comp == kMusicLimiter)
        return kMusic[which];
    return comp >= 0 && comp < kOutputChannels ? kOut[which] + comp : -1;
}

float CompValueOfPos(int which, int pos) {
    const int div = which >= 0 && which < COMP_VALUES ? kCompRanges[which].nDiv : 1;
    return div == 1 ? static_cast<float>(pos) : static_cast<float>(pos / static_cast<double>(div));
}

int CompPosOfValue(int which, float value) {
    const CompRange& r = kCompRanges[std::clamp(which, 0, COMP_VALUES - 1)];
    const double v = static_cast<double>(value) * r.nDiv;
    if (std::isnan(v))
        return r.nMin;
    return static_cast<int>(
        std::round(std::clamp(v, static_cast<double>(r.nMin), static_cast<double>(r.nMax))));
}

std::string CompText(int which, float value) {
    char buf[48];
    std::snprintf(buf, sizeof buf, kCompRanges[std::clamp(which, 0, COMP_VALUES - 1)].szFormat,
                  static_cast<double>(value));
    return buf;
}

CompValues ReadCompValues(int comp) {
    CompValues v;
    if (CompSlot(comp, 0) < 0)
        return v;
    auto lock = LockStore();
    for (int j = 0; j < COMP_VALUES; ++j)
        v.Set(j, SlotFloat(CompSlot(comp, j)));
    return v;
}

CompValues CompWithSlider(CompValues v, int which, int pos, bool wholeMs) {
    if (which >= 0 && which < COMP_VALUES)
        v.Set(which, CompValueOfPos(which, pos));
    auto time = [wholeMs](float ms) {
        if (!std::isfinite(ms))
            return 1.0f;
        return wholeMs ? static_cast<float>(std::lround(ms)) : ms;
    };
    v.fAttack = time(v.fAttack);
    v.fRelease = time(v.fRelease);
    return v;
}

void StoreAndSendComp(int comp, const CompValues& v) {
    if (CompSlot(comp, 0) < 0)
        return;
    {
        auto lock = LockStore();
        for (int j = 0; j < COMP_VALUES; ++j)
            SetSlotFloatBits(CompSlot(comp, j), v.Get(j));
    }
    if (comp == kMusicLimiter)
        SendMusicLimiter();
    else
        SendCompressor(comp);
}
