#include "model/ParamStore.h"

#include "link/Codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

ParamStore g_Param;
DeviceInfo g_Device;
DeviceStatus g_Status;
SoundField g_SoundField;
std::array<uint8_t, kSoundFieldSize> g_bySoundFieldBytes{};

namespace {
std::recursive_mutex s_storeMutex;
}

StoreLock LockStore() {
    return StoreLock(s_storeMutex);
}

float SlotFloat(int slot) {
    auto lock = LockStore();
    return BitsFloat(static_cast<uint32_t>(g_Param.nSetting[slot]));
}

void SetSlotFloatBits(int slot, float value) {
    auto lock = LockStore();
    g_Param.nSetting[slot] = static_cast<int32_t>(FloatBits(value));
}

std::string SlotName(int slot) {
    struct Range {
        int nFirst, nCount;
        const char* szName;
        int nIndexBase;
    };
    static const Range kArrays[] = {
        {SET_MIC_ROUTE_A, 4, "SET_MIC_ROUTE_A", 1},
        {SET_MIC_ROUTE_B, 4, "SET_MIC_ROUTE_B", 1},
        {SET_MIC_LEVEL, 4, "SET_MIC_LEVEL", 1},
        {SET_MIC_GATE, 4, "SET_MIC_GATE", 1},
        {SET_OUT_MIX_DIRECT, 8, "SET_OUT_MIX_DIRECT", 1},
        {SET_OUT_MIX_REVERB, 8, "SET_OUT_MIX_REVERB", 1},
        {SET_OUT_MIX_ECHO, 8, "SET_OUT_MIX_ECHO", 1},
        {SET_OUT_MIX_MUSIC, 8, "SET_OUT_MIX_MUSIC", 1},
        {SET_OUT_ROLE, 8, "SET_OUT_ROLE", 1},
        {SET_OUT_EQ_BYPASS, 8, "SET_OUT_EQ_BYPASS", 1},
        {SET_OUT_COMP_BYPASS, 8, "SET_OUT_COMP_BYPASS", 1},
        {SET_OUT_COMP_THRESHOLD, 8, "SET_OUT_COMP_THRESHOLD", 1},
        {SET_OUT_COMP_RATIO, 8, "SET_OUT_COMP_RATIO", 1},
        {SET_OUT_COMP_ATTACK, 8, "SET_OUT_COMP_ATTACK", 1},
        {SET_OUT_COMP_RELEASE, 8, "SET_OUT_COMP_RELEASE", 1},
        {SET_OUT_DELAY, 8, "SET_OUT_DELAY", 1},
        {SET_OUT_DELAY_OFF, 8, "SET_OUT_DELAY_OFF", 1},
        {SET_OUT_DELAY_WHOLE, 8, "SET_OUT_DELAY_WHOLE", 1},
        {SET_OUT_MUTE, 8, "SET_OUT_MUTE", 1},
        {SET_OUT_PHASE, 8, "SET_OUT_PHASE", 1},
        {SET_OUT_LEVEL, 8, "SET_OUT_LEVEL", 1},
    };
    static const std::pair<int, const char*> kSingles[] = {
        {SET_MIC_VOLUME, "SET_MIC_VOLUME"},
        {SET_MIC_A_EQ_BYPASS, "SET_MIC_A_EQ_BYPASS"},
        {SET_MIC_A_SHIFT, "SET_MIC_A_SHIFT"},
        {SET_MIC_A_SHIFT_OFF, "SET_MIC_A_SHIFT_OFF"},
        {SET_MIC_B_EQ_BYPASS, "SET_MIC_B_EQ_BYPASS"},
        {SET_MIC_B_SHIFT, "SET_MIC_B_SHIFT"},
        {SET_MIC_B_SHIFT_OFF, "SET_MIC_B_SHIFT_OFF"},
        {SET_MIC_MUTE, "SET_MIC_MUTE"},
        {SET_EFFECT_VOLUME, "SET_EFFECT_VOLUME"},
        {SET_SUB_DECAY_ON, "SET_SUB_DECAY_ON"},
        {SET_SUB_DECAY_RATIO, "SET_SUB_DECAY_RATIO"},
        {SET_ECHO_A_EQ_BYPASS, "SET_ECHO_A_EQ_BYPASS"},
        {SET_ECHO_A_LEVEL, "SET_ECHO_A_LEVEL"},
        {SET_ECHO_A_PREDELAY, "SET_ECHO_A_PREDELAY"},
        {SET_ECHO_A_TIME, "SET_ECHO_A_TIME"},
        {SET_ECHO_A_START, "SET_ECHO_A_START"},
        {SET_ECHO_A_DECAY, "SET_ECHO_A_DECAY"},
        {SET_ECHO_B_EQ_BYPASS, "SET_ECHO_B_EQ_BYPASS"},
        {SET_ECHO_B_LEVEL, "SET_ECHO_B_LEVEL"},
        {SET_ECHO_B_PREDELAY, "SET_ECHO_B_PREDELAY"},
        {SET_ECHO_B_TIME, "SET_ECHO_B_TIME"},
        {SET_ECHO_B_START, "SET_ECHO_B_START"},
        {SET_ECHO_B_DECAY, "SET_ECHO_B_DECAY"},
        {SET_ECHO_VOLUME, "SET_ECHO_VOLUME"},
        {SET_ECHO_MUTE, "SET_ECHO_MUTE"},
        {SET_REVERB_A_EQ_BYPASS, "SET_REVERB_A_EQ_BYPASS"},
        {SET_REVERB_A_LEVEL, "SET_REVERB_A_LEVEL"},
        {SET_REVERB_A_PREDELAY, "SET_REVERB_A_PREDELAY"},
        {SET_REVERB_A_TIME, "SET_REVERB_A_TIME"},
        {SET_REVERB_B_EQ_BYPASS, "SET_REVERB_B_EQ_BYPASS"},
        {SET_REVERB_B_LEVEL, "SET_REVERB_B_LEVEL"},
        {SET_REVERB_B_PREDELAY, "SET_REVERB_B_PREDELAY"},
        {SET_REVERB_B_TIME, "SET_REVERB_B_TIME"},
        {SET_REVERB_VOLUME, "SET_REVERB_VOLUME"},
        {SET_REVERB_MUTE, "SET_REVERB_MUTE"},
        {SET_MUSIC_VOLUME, "SET_MUSIC_VOLUME"},
        {SET_SRC_LEVEL_SPDIF, "SET_SRC_LEVEL_SPDIF"},
        {SET_SRC_LEVEL_HDMI1, "SET_SRC_LEVEL_HDMI1"},
        {SET_SRC_LEVEL_BT, "SET_SRC_LEVEL_BT"},
        {SET_SRC_LEVEL_COAX, "SET_SRC_LEVEL_COAX"},
        {SET_SRC_LEVEL_AUX1, "SET_SRC_LEVEL_AUX1"},
        {SET_SRC_LEVEL_AUX2, "SET_SRC_LEVEL_AUX2"},
        {SET_MUSIC_MUTE, "SET_MUSIC_MUTE"},
        {SET_MUSIC_EQ_BYPASS, "SET_MUSIC_EQ_BYPASS"},
        {SET_MUSIC_PITCH, "SET_MUSIC_PITCH"},
        {SET_MUSIC_SOURCE, "SET_MUSIC_SOURCE"},
        {SET_MUSIC_GATE, "SET_MUSIC_GATE"},
        {SET_MUSIC_AGC_ON, "SET_MUSIC_AGC_ON"},
        {SET_MUSIC_AGC_LEVEL, "SET_MUSIC_AGC_LEVEL"},
        {SET_HDMI_PORT, "SET_HDMI_PORT"},
        {SET_SRC_LEVEL_HDMI2, "SET_SRC_LEVEL_HDMI2"},
        {SET_SRC_LEVEL_HDMI3, "SET_SRC_LEVEL_HDMI3"},
        {SET_SRC_LEVEL_HDMI4, "SET_SRC_LEVEL_HDMI4"},
        {SET_MIC_BOOST_ON, "SET_MIC_BOOST_ON"},
        {SET_MIC_BOOST_ON2, "SET_MIC_BOOST_ON2"},
        {SET_LPF_DELAY, "SET_LPF_DELAY"},
        {SET_LPF_GAIN, "SET_LPF_GAIN"},
        {SET_MUSIC_COMP_THRESHOLD, "SET_MUSIC_COMP_THRESHOLD"},
        {SET_MUSIC_COMP_RATIO, "SET_MUSIC_COMP_RATIO"},
        {SET_MUSIC_COMP_ATTACK, "SET_MUSIC_COMP_ATTACK"},
        {SET_MUSIC_COMP_RELEASE, "SET_MUSIC_COMP_RELEASE"},
        {SET_MUSIC_COMP_BYPASS, "SET_MUSIC_COMP_BYPASS"},
    };
    for (const auto& r : kArrays)
        if (slot >= r.nFirst && slot < r.nFirst + r.nCount)
            return std::string(r.szName) + "[" + std::to_string(slot - r.nFirst + r.nIndexBase) + "]";
    for (const auto& [n, name] : kSingles)
        if (n == slot)
            return name;
    return "SLOT_" + std::to_string(slot); // 6 and 14 are unused
}

std::u16string U16(const char16_t* buf, size_t capacity) {
    size_t n = 0;
    while (n < capacity && buf[n])
        ++n;
    return std::u16string(buf, n);
}

std::string ToUtf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// ---- EQ bands --------------------------------------------------------------------------------------

int EqBandAddress(int group, int band) {
    switch (group) {
    case 1:
        return 7 * band;
    case 2:
        return ADDR_EQ_ECHO_A + 7 * band;
    case 3:
        return ADDR_EQ_REVERB_A + 7 * band;
    case 4:
        return ADDR_EQ_MUSIC + 7 * band;
    case kEqGroupLpf:
        return ADDR_LPF + 7 * band;
    default:
        if (group >= 5 && group <= 12)
            return 7 * (band + 15 * group - 17);
        return 7 * band;
    }
}

int EqBandCount(int group) {
    switch (group) {
    case 1:
        return 20;
    case 2:
    case 3:
        return 14;
    case 4:
        return 10;
    case kEqGroupLpf:
        return 1;
    default:
        return (group >= 5 && group <= 12) ? 15 : 0;
    }
}

EqCoeffTarget EqBandCoeffTarget(int group, int band) {
    switch (group) {
    case 1:
        return band < 10 ? EqCoeffTarget{MOD_MIC, 16 + band} : EqCoeffTarget{MOD_MIC, 39 + band - 10};
    case 2:
        return band < 7 ? EqCoeffTarget{MOD_ECHO, band} : EqCoeffTarget{MOD_ECHO, 13 + band - 7};
    case 3:
        return band < 7 ? EqCoeffTarget{MOD_REVERB, band} : EqCoeffTarget{MOD_REVERB, 12 + band - 7};
    case 4:
        return {MOD_MUSIC, band};
    case kEqGroupLpf:
        return {MOD_MUSIC, 10};
    default:
        if (group >= 5 && group <= 12)
            return {group, band};
        return {};
    }
}

static bool BandInImage(int group, int band) {
    return band >= 0 && band < EqBandCount(group) &&
           EqBandAddress(group, band) + kBandRecordSize <= kImageSize;
}

BandValues ReadBand(int group, int band) {
    if (!BandInImage(group, band))
        return {0, 0, 0, 0};
    auto lock = LockStore();
    return DecodeBandRecord(&g_Param.byImage[EqBandAddress(group, band)]);
}

void WriteBand(int group, int band, float gainDb, float freqHz, float q, int type) {
    if (!BandInImage(group, band))
        return;
    const int address = EqBandAddress(group, band);
    const BandRecordBytes rec = EncodeBandRecord(gainDb, freqHz, q, type);
    {
        auto lock = LockStore();
        std::copy(rec.begin(), rec.end(), g_Param.byImage.begin() + address);
    }
    WriteDeviceMemory(address, kBandRecordSize, rec.data());
}

const std::array<EqNumberInfo, kEqNumberCount> kEqNumbers = {{
    {"Mic A EQ", 1, 0, 10, ADDR_EQ_MIC_A},
    {"Mic B EQ", 1, 10, 10, ADDR_EQ_MIC_B},
    {"Reverb A EQ", 3, 0, 7, ADDR_EQ_REVERB_A},
    {"Reverb B EQ", 3, 7, 7, ADDR_EQ_REVERB_B},
    {"Echo A EQ", 2, 0, 7, ADDR_EQ_ECHO_A},
    {"Echo B EQ", 2, 7, 7, ADDR_EQ_ECHO_B},
    {"Music EQ", 4, 0, 10, ADDR_EQ_MUSIC},
    {"CH1 EQ", 5, 0, 13, ADDR_EQ_OUT + 0 * kOutEqStride},
    {"CH2 EQ", 6, 0, 13, ADDR_EQ_OUT + 1 * kOutEqStride},
    {"CH3 EQ", 7, 0, 13, ADDR_EQ_OUT + 2 * kOutEqStride},
    {"CH4 EQ", 8, 0, 13, ADDR_EQ_OUT + 3 * kOutEqStride},
    {"CH5 EQ", 9, 0, 13, ADDR_EQ_OUT + 4 * kOutEqStride},
    {"CH6 EQ", 10, 0, 13, ADDR_EQ_OUT + 5 * kOutEqStride},
    {"CH7 EQ", 11, 0, 13, ADDR_EQ_OUT + 6 * kOutEqStride},
    {"CH8 EQ", 12, 0, 13, ADDR_EQ_OUT + 7 * kOutEqStride},
}};

// ---- Sound field -------------------------------------------------------------------------------

float DecodeSoundFieldCoord(uint8_t b) {
    const float magnitude = static_cast<float>(b & 0x7F) / 10.0f;
    return (b & 0x80) ? -magnitude : magnitude;
}

uint8_t EncodeSoundFieldCoord(float v) {
    // 0 goes out as 0x80; the format holds at most 12.7 m.
    if (std::isnan(v))
        return 0x80;
    const double m = std::trunc(10.0 * std::fabs(static_cast<double>(v)) + 0.5);
    const uint8_t magnitude = static_cast<uint8_t>(std::isfinite(m) ? std::min(m, 127.0) : 127.0);
    return static_cast<uint8_t>((v <= 0 ? 0x80 : 0x00) | magnitude);
}

void DecodeSoundFieldBlock() {
    auto lock = LockStore();
    const auto& b = g_bySoundFieldBytes;
    g_SoundField.nRoomWidth = b[0];
    g_SoundField.nRoomLength = b[1];
    g_SoundField.fListenerX = DecodeSoundFieldCoord(b[2]);
    g_SoundField.fListenerY = DecodeSoundFieldCoord(b[3]);
    for (int k = 0; k < kSoundFieldSpeakers; ++k) {
        g_SoundField.fSpeakerX[k] = DecodeSoundFieldCoord(b[4 + 2 * k]);
        g_SoundField.fSpeakerY[k] = DecodeSoundFieldCoord(b[5 + 2 * k]);
    }
}

void EncodeSoundFieldBlock() {
    auto lock = LockStore();
    auto& b = g_bySoundFieldBytes;
    b[0] = static_cast<uint8_t>(std::clamp(g_SoundField.nRoomWidth, 0, 255));
    b[1] = static_cast<uint8_t>(std::clamp(g_SoundField.nRoomLength, 0, 255));
    b[2] = EncodeSoundFieldCoord(g_SoundField.fListenerX);
    b[3] = EncodeSoundFieldCoord(g_SoundField.fListenerY);
    for (int k = 0; k < kSoundFieldSpeakers; ++k) {
        b[4 + 2 * k] = EncodeSoundFieldCoord(g_SoundField.fSpeakerX[k]);
        b[5 + 2 * k] = EncodeSoundFieldCoord(g_SoundField.fSpeakerY[k]);
    }
}

void EncodeAndSendSoundFieldBlock() {
    std::array<uint8_t, kSoundFieldSize> bytes;
    {
        auto lock = LockStore();
        EncodeSoundFieldBlock();
        bytes = g_bySoundFieldBytes;
    }
    WriteDeviceMemory(ADDR_SOUND_FIELD, kSoundFieldSize, bytes.data());
}

void ResetSoundFieldBlock() {
    static constexpr std::array<uint8_t, kSoundFieldSize> kStartBytes = {
        0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00, 0x0A, 0x0A, 0x0A,
        0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00};
    auto lock = LockStore();
    g_bySoundFieldBytes = kStartBytes;
    DecodeSoundFieldBlock();
}

float MicBoostGain() {
    auto lock = LockStore();
    return BitsFloat((uint32_t(g_Param.byMicBoostBytes[0]) << 24) |
                     (uint32_t(g_Param.byMicBoostBytes[1]) << 16));
}
