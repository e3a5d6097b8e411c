#include "model/Setters.h"

#include "link/Codec.h"
#include "link/Link.h"
#include "model/Compound.h"
#include "model/ParamStore.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace {

constexpr int kSlotUnused = -1;

struct SlotTables {
    std::array<SlotRow, SET_COUNT> rows{};
    std::array<std::array<int16_t, 64>, 13> bySlot{}; // [block][param] -> slot that decodes it
};

SlotTables BuildTables() {
    SlotTables t;
    for (auto& block : t.bySlot)
        block.fill(kSlotUnused);
    auto row = [&](int slot, int block, std::initializer_list<int> params, SlotEnc enc, int count = 1,
                   float minMs = 0) {
        SlotRow& r = t.rows[slot];
        r.nBlock = static_cast<uint8_t>(block);
        r.nParams = 0;
        for (int p : params)
            r.nParam[r.nParams++] = static_cast<uint8_t>(p);
        r.nCount = static_cast<uint8_t>(count);
        r.enc = enc;
        r.fMinMs = minMs;
        for (int p : params)
            t.bySlot[block][p] = static_cast<int16_t>(slot);
    };
    using E = SlotEnc;
    row(SET_MIC_VOLUME, MOD_MIC, {14}, E::PctPlus);
    for (int k = 0; k < 4; ++k) {
        row(SET_MIC_ROUTE_A + k, MOD_MIC, {27 + k}, E::Pct);
        row(SET_MIC_ROUTE_B + k, MOD_MIC, {50 + k}, E::Pct);
        row(SET_MIC_LEVEL + k, MOD_MIC, {4 + k}, E::Pct);
        row(SET_MIC_GATE + k, MOD_MIC, {8 + k}, E::Gate);
    }
    row(SET_MIC_A_EQ_BYPASS, MOD_MIC, {26}, E::Int);
    row(SET_MIC_A_SHIFT, MOD_MIC, {31}, E::Hz);
    row(SET_MIC_A_SHIFT_OFF, MOD_MIC, {33}, E::Int);
    row(SET_MIC_B_EQ_BYPASS, MOD_MIC, {49}, E::Int);
    row(SET_MIC_B_SHIFT, MOD_MIC, {54}, E::Hz);
    row(SET_MIC_B_SHIFT_OFF, MOD_MIC, {56}, E::Int);
    row(SET_MIC_MUTE, MOD_MIC, {15}, E::NotF);
    row(SET_EFFECT_VOLUME, MOD_MIC, {34, 57}, E::PctPlus);
    row(SET_SUB_DECAY_ON, MOD_MIC, {12}, E::Int);
    row(SET_SUB_DECAY_RATIO, MOD_MIC, {13}, E::Pct);
    for (int s = 0; s < 2; ++s) { // echo A at 29 / params 7.., echo B at 35 / params 20..
        const int slot = s ? SET_ECHO_B_EQ_BYPASS : SET_ECHO_A_EQ_BYPASS;
        const int p = s ? 20 : 7;
        row(slot + 0, MOD_ECHO, {p + 0}, E::Int);
        row(slot + 1, MOD_ECHO, {p + 1}, E::Pct);
        row(slot + 2, MOD_ECHO, {p + 2}, E::Ms, 1, 2.0f);
        row(slot + 3, MOD_ECHO, {p + 3}, E::Ms, 1, 2.0f);
        row(slot + 4, MOD_ECHO, {p + 4}, E::Pct);
        row(slot + 5, MOD_ECHO, {p + 5}, E::Pct);
    }
    row(SET_ECHO_VOLUME, MOD_ECHO, {26}, E::Pct);
    row(SET_ECHO_MUTE, MOD_ECHO, {27}, E::NotF);
    for (int s = 0; s < 2; ++s) { // reverb A at 43 / params 7.., reverb B at 47 / params 19..
        const int slot = s ? SET_REVERB_B_EQ_BYPASS : SET_REVERB_A_EQ_BYPASS;
        const int p = s ? 19 : 7;
        row(slot + 0, MOD_REVERB, {p + 0}, E::Int);
        row(slot + 1, MOD_REVERB, {p + 1}, E::Pct);
        row(slot + 2, MOD_REVERB, {p + 2}, E::Ms, 1, 2.0f);
        row(slot + 3, MOD_REVERB, {p + 3, p + 4}, E::FloatPct);
    }
    row(SET_REVERB_VOLUME, MOD_REVERB, {24}, E::Pct, 2);
    row(SET_REVERB_MUTE, MOD_REVERB, {25}, E::NotF, 2);
    row(SET_MUSIC_VOLUME, MOD_MUSIC, {12}, E::PctPlus);
    row(SET_SRC_LEVEL_SPDIF, MOD_MUSIC, {24}, E::Pct);
    row(SET_SRC_LEVEL_HDMI1, MOD_MUSIC, {26}, E::Pct);
    row(SET_SRC_LEVEL_BT, MOD_MUSIC, {30}, E::Pct);
    row(SET_SRC_LEVEL_COAX, MOD_MUSIC, {25}, E::Pct);
    row(SET_SRC_LEVEL_AUX1, MOD_MUSIC, {31}, E::Pct);
    row(SET_SRC_LEVEL_AUX2, MOD_MUSIC, {32}, E::Pct);
    row(SET_MUSIC_MUTE, MOD_MUSIC, {13}, E::NotF);
    row(SET_MUSIC_EQ_BYPASS, MOD_MUSIC, {11}, E::Int);
    row(SET_MUSIC_PITCH, MOD_MUSIC, {21}, E::IntPlus5);
    row(SET_MUSIC_SOURCE, MOD_MUSIC, {23}, E::Int);
    row(SET_MUSIC_GATE, MOD_MUSIC, {22}, E::Gate);
    for (int c = 0; c < kOutputChannels; ++c) {
        const int b = MOD_OUT1 + c;
        row(SET_OUT_MIX_DIRECT + c, b, {20}, E::Pct);
        row(SET_OUT_MIX_REVERB + c, b, {21}, E::Pct);
        row(SET_OUT_MIX_ECHO + c, b, {22}, E::Pct);
        row(SET_OUT_MIX_MUSIC + c, b, {23}, E::Pct);
        row(SET_OUT_ROLE + c, b, {16}, E::Int);
        row(SET_OUT_EQ_BYPASS + c, b, {15}, E::Int);
        row(SET_OUT_COMP_BYPASS + c, b, {28}, E::Int);
        row(SET_OUT_COMP_THRESHOLD + c, b, {27}, E::Comp, 7);
        row(SET_OUT_COMP_RATIO + c, b, {}, E::Comp, 7);
        row(SET_OUT_COMP_ATTACK + c, b, {}, E::Comp, 7);
        row(SET_OUT_COMP_RELEASE + c, b, {}, E::Comp, 7);
        row(SET_OUT_DELAY + c, b, {18}, E::Ms, 1, 1.5f);
        row(SET_OUT_DELAY_OFF + c, b, {19}, E::Int);
        row(SET_OUT_DELAY_WHOLE + c, b, {17}, E::DelayWhole, 2);
        row(SET_OUT_MUTE + c, b, {26}, E::NotF);
        row(SET_OUT_PHASE + c, b, {25}, E::Phase);
        row(SET_OUT_LEVEL + c, b, {24}, E::Pct);
    }
    row(SET_MUSIC_AGC_ON, MOD_MUSIC, {16}, E::Int);
    row(SET_MUSIC_AGC_LEVEL, MOD_MUSIC, {17}, E::Raw);
    row(SET_HDMI_PORT, MOD_MUSIC, {33}, E::Int);
    row(SET_SRC_LEVEL_HDMI2, MOD_MUSIC, {27}, E::Pct);
    row(SET_SRC_LEVEL_HDMI3, MOD_MUSIC, {28}, E::Pct);
    row(SET_SRC_LEVEL_HDMI4, MOD_MUSIC, {29}, E::Pct);
    row(SET_MIC_BOOST_ON, MOD_MIC, {37, 60}, E::MicBoost);
    t.bySlot[MOD_MIC][60] = kSlotUnused; // only parameter 37 is decoded
    row(SET_LPF_DELAY, MOD_MUSIC, {36}, E::IntMs);
    row(SET_LPF_GAIN, MOD_MUSIC, {37}, E::Pct);
    row(SET_MUSIC_COMP_THRESHOLD, MOD_MUSIC, {14}, E::Comp, 7);
    row(SET_MUSIC_COMP_RATIO, MOD_MUSIC, {}, E::Comp, 7);
    row(SET_MUSIC_COMP_ATTACK, MOD_MUSIC, {}, E::Comp, 7);
    row(SET_MUSIC_COMP_RELEASE, MOD_MUSIC, {}, E::Comp, 7);
    row(SET_MUSIC_COMP_BYPASS, MOD_MUSIC, {15}, E::Int);
    return t;
}

const SlotTables& Tables() {
    static const SlotTables t = BuildTables();
    return t;
}

bool ValidSlot(int slot) {
    return slot >= 0 && slot < SET_COUNT;
}

uint32_t IntWord(int32_t v) {
    return static_cast<uint32_t>(v) & 0xFF;
}

// The value word of a single-valued row; minimum clamps are written back. Caller holds the lock.
// The word a row sends for value `v`; a minimum clamp is written back into `v`.
uint32_t RowWord(const SlotRow& row, int32_t& v) {
    switch (row.enc) {
    case SlotEnc::Pct:
        return FloatBits(EncodeFraction100(v));
    case SlotEnc::PctPlus:
        return FloatBits(EncodeVolumePlus(v));
    case SlotEnc::Gate:
        return FloatBits(EncodeFraction10000(v));
    case SlotEnc::Int:
        return IntWord(v);
    case SlotEnc::NotF:
        return FloatBits(EncodeSwitch(v));
    case SlotEnc::Ms: {
        float ms = BitsFloat(static_cast<uint32_t>(v));
        if (!(ms >= row.fMinMs)) { // NaN counts as below the minimum
            ms = row.fMinMs;
            v = static_cast<int32_t>(FloatBits(ms));
        }
        return static_cast<uint32_t>(EncodeSamples(ms));
    }
    case SlotEnc::Raw:
        return static_cast<uint32_t>(v);
    case SlotEnc::FloatPct:
        return FloatBits(static_cast<float>(BitsFloat(static_cast<uint32_t>(v)) / 100.0));
    case SlotEnc::IntPlus5:
        return IntWord(v + 5);
    case SlotEnc::IntMs:
        return static_cast<uint32_t>(EncodeSamples(v));
    case SlotEnc::Phase:
        return FloatBits(EncodeSign(v));
    case SlotEnc::MicBoost:
        return v == 1 ? 0u : 1u;
    default:
        return 0;
    }
}

uint32_t SlotWordLocked(int slot, const SlotRow& row) {
    return RowWord(row, g_Param.nSetting[slot]);
}

int ChannelOf(int slot, int base) {
    return slot - base;
}

void SendMicShift(int set) {
    const int freqSlot = set ? SET_MIC_B_SHIFT : SET_MIC_A_SHIFT;
    const int base = set ? 54 : 31;
    int32_t f;
    {
        auto lock = LockStore();
        f = g_Param.nSetting[freqSlot];
    }
    if (f == 1) {
        SendParam(MOD_MIC, base + 2, 1);
        return;
    }
    SendParam(MOD_MIC, base + 2, 0);
    SendParamFloat(MOD_MIC, base, EncodeOmega(f));
    // Delay of the shifter in samples; negative for shifts above 10 Hz, sent as it comes.
    const double samples = (1000.0 / (4.0 * f) - 25.0) * 48000.0 / 1000.0 + 0.5;
    const double clamped = std::isfinite(samples) ? std::clamp(samples, -2147483648.0, 2147483647.0) : 0.0;
    SendParam(MOD_MIC, base + 1, static_cast<uint32_t>(static_cast<int32_t>(clamped)));
}

void SendMusicMuteFade(bool muted) {
    if (muted) {
        SendParamFloat(MOD_MUSIC, 13, 0.0f);
        return;
    }
    const CStepByStepEdits steps; // every step of the fade is heard
    for (int i = 0; i < kMusicFadeSteps; ++i) {
        SendParamFloat(MOD_MUSIC, 13, static_cast<float>(i / 10.0));
        LinkPause(std::chrono::milliseconds(kMusicFadeStepMs));
    }
    SendParamFloat(MOD_MUSIC, 13, 1.0f);
}

} // namespace

bool SlotWordsEqual(int slot, int32_t a, int32_t b) {
    if (a == b)
        return true;
    const SlotRow& row = GetSlotRow(slot);
    switch (row.enc) {
    case SlotEnc::None:
    case SlotEnc::Comp:
    case SlotEnc::Hz:
    case SlotEnc::DelayWhole:
    case SlotEnc::MicBoost:
        return false; // sent by an operation of their own, or not at all: the values themselves
    default:
        return RowWord(row, a) == RowWord(row, b);
    }
}

const SlotRow& GetSlotRow(int slot) {
    static const SlotRow kNone{};
    return ValidSlot(slot) ? Tables().rows[slot] : kNone;
}

void SendSlot(int slot) {
    if (!ValidSlot(slot))
        return;
    const SlotRow& row = Tables().rows[slot];
    switch (row.enc) {
    case SlotEnc::None:
        return;
    case SlotEnc::Comp:
        if (row.nBlock == MOD_MUSIC)
            SendMusicLimiter();
        else
            SendCompressor(row.nBlock - MOD_OUT1);
        return;
    case SlotEnc::Hz:
        SendMicShift(slot == SET_MIC_B_SHIFT ? 1 : 0);
        return;
    case SlotEnc::DelayWhole: {
        int32_t v;
        {
            auto lock = LockStore();
            v = g_Param.nSetting[slot];
        }
        SetDelayMode(ChannelOf(slot, SET_OUT_DELAY_WHOLE), v);
        return;
    }
    default:
        break;
    }
    if (slot == SET_MUSIC_MUTE) {
        int32_t v;
        {
            auto lock = LockStore();
            v = g_Param.nSetting[slot];
        }
        SendMusicMuteFade(v != 0);
        return;
    }
    uint32_t word;
    {
        auto lock = LockStore();
        if (row.enc == SlotEnc::MicBoost)
            g_Param.nSetting[SET_MIC_BOOST_ON2] = g_Param.nSetting[SET_MIC_BOOST_ON];
        word = SlotWordLocked(slot, row);
    }
    for (int i = 0; i < row.nParams; ++i)
        SendParam(row.nBlock, row.nParam[i], word, row.nCount);
}

void SetSlot(int slot, int32_t value) {
    if (!ValidSlot(slot))
        return;
    {
        auto lock = LockStore();
        g_Param.nSetting[slot] = value;
        if (slot == SET_MIC_A_SHIFT || slot == SET_MIC_B_SHIFT)
            g_Param.nSetting[slot + 1] = value == 1 ? 1 : 0;
    }
    SendSlot(slot);
}

void SetSlotFloat(int slot, float value) {
    SetSlot(slot, static_cast<int32_t>(FloatBits(value)));
}

void SetMicShift(int set, int32_t hz) {
    SetSlot(set ? SET_MIC_B_SHIFT : SET_MIC_A_SHIFT, hz);
}

void SetMicRoute(int mic, bool toSetA) {
    if (mic < 0 || mic > 3)
        return;
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_MIC_ROUTE_A + mic] = toSetA ? 100 : 0;
        g_Param.nSetting[SET_MIC_ROUTE_B + mic] = toSetA ? 0 : 100;
    }
    SendSlot(SET_MIC_ROUTE_A + mic);
    SendSlot(SET_MIC_ROUTE_B + mic);
}

void SetEchoTime(int set, float ms) {
    SetSlotFloat(set ? SET_ECHO_B_TIME : SET_ECHO_A_TIME, std::max(ms, 2.0f));
    if (ms >= 2 && ms <= 6) // 2 ms gives 20 ms
        SetSlotFloat(set ? SET_REVERB_B_PREDELAY : SET_REVERB_A_PREDELAY, std::max(10 * ms, 2.0f));
}

void EditSlot(int slot, int32_t value) {
    if (slot >= SET_MIC_ROUTE_A && slot < SET_MIC_ROUTE_A + 4)
        SetMicRoute(slot - SET_MIC_ROUTE_A, value != 0);
    else if (slot >= SET_MIC_ROUTE_B && slot < SET_MIC_ROUTE_B + 4)
        SetMicRoute(slot - SET_MIC_ROUTE_B, value == 0);
    else if (slot == SET_ECHO_A_TIME || slot == SET_ECHO_B_TIME)
        SetEchoTime(slot == SET_ECHO_B_TIME, BitsFloat(static_cast<uint32_t>(value)));
    else
        SetSlot(slot, value); // the shift switch and the split bands follow inside
}

int LeaderSlot(int slot) {
    switch (slot) {
    case SET_MIC_A_SHIFT_OFF:
        return SET_MIC_A_SHIFT;
    case SET_MIC_B_SHIFT_OFF:
        return SET_MIC_B_SHIFT;
    case SET_MIC_BOOST_ON2:
        return SET_MIC_BOOST_ON;
    default:
        return -1;
    }
}

void DecodeParamReport(const uint8_t* report) {
    const int block = report[3];
    const int param = report[4];
    const int count = report[5];
    if (block < MOD_MIC || block > MOD_OUT8 || param >= 64)
        return;
    const int slot = Tables().bySlot[block][param];
    if (slot == kSlotUnused)
        return;
    const SlotRow& row = Tables().rows[slot];
    const uint8_t* value = report + 6;
    const uint32_t word = GetBE32(value);
    const float x = BitsFloat(word);
    auto lock = LockStore();
    int32_t& s = g_Param.nSetting[slot];
    switch (row.enc) {
    case SlotEnc::Pct:
    case SlotEnc::PctPlus:
        s = DecodeFraction100(x);
        break;
    case SlotEnc::Gate:
        s = DecodeFraction10000(x);
        break;
    case SlotEnc::Int:
        s = value[3];
        if ((slot == SET_MIC_A_SHIFT_OFF || slot == SET_MIC_B_SHIFT_OFF) && value[3] == 1)
            g_Param.nSetting[slot - 1] = 1;
        break;
    case SlotEnc::NotF:
        s = DecodeSwitch(x);
        break;
    case SlotEnc::Ms:
        s = static_cast<int32_t>(FloatBits(DecodeSamples(static_cast<int32_t>(word))));
        break;
    case SlotEnc::Raw:
        s = static_cast<int32_t>(word);
        break;
    case SlotEnc::FloatPct:
        s = static_cast<int32_t>(FloatBits(static_cast<float>(DecodeFraction100(x))));
        break;
    case SlotEnc::IntPlus5:
        s = static_cast<int32_t>(value[3]) - 5;
        break;
    case SlotEnc::IntMs:
        s = static_cast<int32_t>(static_cast<int64_t>(static_cast<int32_t>(word)) * 1000 / 48000);
        break;
    case SlotEnc::Hz:
        s = DecodeOmega(x);
        break;
    case SlotEnc::DelayWhole: {
        const float second = BitsFloat(GetBE32(value + 4));
        s = (second > -1.0f && second < 1.0f) ? 1 : 0; // integer part is 0
        break;
    }
    case SlotEnc::Phase:
        s = DecodeSign(x);
        break;
    case SlotEnc::MicBoost:
        s = word == 0 ? 1 : 0;
        g_Param.nSetting[SET_MIC_BOOST_ON2] = s;
        break;
    case SlotEnc::Comp: {
        if (count < 7)
            break; // a short compressor report carries no ratio or times
        const int base = row.nBlock == MOD_MUSIC ? 0 : row.nBlock - MOD_OUT1;
        const int thr = row.nBlock == MOD_MUSIC ? SET_MUSIC_COMP_THRESHOLD : SET_OUT_COMP_THRESHOLD + base;
        const int ratio = row.nBlock == MOD_MUSIC ? SET_MUSIC_COMP_RATIO : SET_OUT_COMP_RATIO + base;
        const int attack = row.nBlock == MOD_MUSIC ? SET_MUSIC_COMP_ATTACK : SET_OUT_COMP_ATTACK + base;
        const int release = row.nBlock == MOD_MUSIC ? SET_MUSIC_COMP_RELEASE : SET_OUT_COMP_RELEASE + base;
        auto store = [&](int target, float f) {
            if (std::isfinite(f)) // a value the processor cannot mean keeps the old one
                g_Param.nSetting[target] = static_cast<int32_t>(FloatBits(f));
        };
        store(thr, x);
        store(ratio, DecodeRatio(BitsFloat(GetBE32(value + 8))));
        store(attack, DecodeTimeConstant(BitsFloat(GetBE32(value + 20))));
        store(release, DecodeTimeConstant(BitsFloat(GetBE32(value + 24))));
        break;
    }
    case SlotEnc::None:
        break;
    }
}
