// The console's mirror of the processor: setting slots, memory image, blocks, identity and status.
#pragma once

#include "dsp/Encoding.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

// ---- Setting slots -------------------------------------------------------------------------------
enum : int {
    SET_MIC_VOLUME = 0,
    SET_MIC_ROUTE_A = 1, // [mic 1..4] -> 1..4
    SET_MIC_A_EQ_BYPASS = 5,
    SET_MIC_A_SHIFT = 7,
    SET_MIC_A_SHIFT_OFF = 8,
    SET_MIC_ROUTE_B = 9, // [mic 1..4] -> 9..12
    SET_MIC_B_EQ_BYPASS = 13,
    SET_MIC_B_SHIFT = 15,
    SET_MIC_B_SHIFT_OFF = 16,
    SET_MIC_MUTE = 17,
    SET_EFFECT_VOLUME = 18,
    SET_MIC_LEVEL = 19, // [mic 1..4] -> 19..22
    SET_MIC_GATE = 23,  // [mic 1..4] -> 23..26
    SET_SUB_DECAY_ON = 27,
    SET_SUB_DECAY_RATIO = 28,
    SET_ECHO_A_EQ_BYPASS = 29,
    SET_ECHO_A_LEVEL = 30,
    SET_ECHO_A_PREDELAY = 31,
    SET_ECHO_A_TIME = 32,
    SET_ECHO_A_START = 33,
    SET_ECHO_A_DECAY = 34,
    SET_ECHO_B_EQ_BYPASS = 35,
    SET_ECHO_B_LEVEL = 36,
    SET_ECHO_B_PREDELAY = 37,
    SET_ECHO_B_TIME = 38,
    SET_ECHO_B_START = 39,
    SET_ECHO_B_DECAY = 40,
    SET_ECHO_VOLUME = 41,
    SET_ECHO_MUTE = 42,
    SET_REVERB_A_EQ_BYPASS = 43,
    SET_REVERB_A_LEVEL = 44,
    SET_REVERB_A_PREDELAY = 45,
    SET_REVERB_A_TIME = 46,
    SET_REVERB_B_EQ_BYPASS = 47,
    SET_REVERB_B_LEVEL = 48,
    SET_REVERB_B_PREDELAY = 49,
    SET_REVERB_B_TIME = 50,
    SET_REVERB_VOLUME = 51,
    SET_REVERB_MUTE = 52,
    SET_MUSIC_VOLUME = 53,
    SET_SRC_LEVEL_SPDIF = 54,
    SET_SRC_LEVEL_HDMI1 = 55,
    SET_SRC_LEVEL_BT = 56,
    SET_SRC_LEVEL_COAX = 57,
    SET_SRC_LEVEL_AUX1 = 58,
    SET_SRC_LEVEL_AUX2 = 59,
    SET_MUSIC_MUTE = 60,
    SET_MUSIC_EQ_BYPASS = 61,
    SET_MUSIC_PITCH = 62,
    SET_MUSIC_SOURCE = 63,
    SET_MUSIC_GATE = 64,
    SET_OUT_MIX_DIRECT = 65, // per output channel: base + c, c = 0..7
    SET_OUT_MIX_REVERB = 73,
    SET_OUT_MIX_ECHO = 81,
    SET_OUT_MIX_MUSIC = 89,
    SET_OUT_ROLE = 97,
    SET_OUT_EQ_BYPASS = 105,
    SET_OUT_COMP_BYPASS = 113,
    SET_OUT_COMP_THRESHOLD = 121,
    SET_OUT_COMP_RATIO = 129,
    SET_OUT_COMP_ATTACK = 137,
    SET_OUT_COMP_RELEASE = 145,
    SET_OUT_DELAY = 153,
    SET_OUT_DELAY_OFF = 161,
    SET_OUT_DELAY_WHOLE = 169,
    SET_OUT_MUTE = 177,
    SET_OUT_PHASE = 185,
    SET_MUSIC_AGC_ON = 193,
    SET_MUSIC_AGC_LEVEL = 194,
    SET_HDMI_PORT = 195,
    SET_SRC_LEVEL_HDMI2 = 196,
    SET_SRC_LEVEL_HDMI3 = 197,
    SET_SRC_LEVEL_HDMI4 = 198,
    SET_OUT_LEVEL = 199,
    SET_MIC_BOOST_ON = 207,
    SET_MIC_BOOST_ON2 = 208,
    SET_LPF_DELAY = 209,
    SET_LPF_GAIN = 210,
    SET_MUSIC_COMP_THRESHOLD = 211,
    SET_MUSIC_COMP_RATIO = 212,
    SET_MUSIC_COMP_ATTACK = 213,
    SET_MUSIC_COMP_RELEASE = 214,
    SET_MUSIC_COMP_BYPASS = 215,
    SET_COUNT = 216
};

constexpr int kOutputChannels = 8;

// ---- Processor blocks --------------------------------------------------------------------------
enum : int {
    MOD_MIC = 1,
    MOD_ECHO = 2,
    MOD_REVERB = 3,
    MOD_MUSIC = 4,
    MOD_OUT1 = 5,
    MOD_OUT8 = 12,
};

// ---- Processor memory --------------------------------------------------------------------------
enum : int {
    ADDR_EQ_MIC_A = 0,
    ADDR_EQ_MIC_B = 70,
    ADDR_EQ_ECHO_A = 140,
    ADDR_EQ_ECHO_B = 189,
    ADDR_EQ_REVERB_A = 238,
    ADDR_EQ_REVERB_B = 287,
    ADDR_EQ_MUSIC = 336,
    ADDR_EQ_OUT = 406,
    ADDR_LPF = 1246,
    ADDR_SURROUND_LEVELS = 1253,
    ADDR_SOUND_FIELD = 1285,
    ADDR_MIC_BOOST = 1305,
    ADDR_END = 1307,
};
constexpr int kImageSize = 1253;
constexpr int kOutEqStride = 105; // 15 bands of one output channel
constexpr int kSurroundLevelsSize = 32;
constexpr int kSoundFieldSize = 20;
constexpr int kMicBoostSize = 2;

// ---- Records -----------------------------------------------------------------------------------
struct ParamStore {
    std::array<int32_t, SET_COUNT> nSetting{};
    std::array<uint8_t, kMicBoostSize> byMicBoostBytes{};
    std::array<uint8_t, 16> byLiveStatus{};
    int32_t nCurMode = 0;
    int32_t bModified = 0;
    std::array<uint8_t, kSurroundLevelsSize> bySurroundLevels{};
    std::array<uint8_t, kImageSize> byImage{};
    int32_t bConnected = 0;
};

constexpr int kModelChars = 30;
constexpr int kVersionChars = 11;
constexpr int kModeNameChars = 24;
constexpr int kModeCount = 4;

struct DeviceInfo {
    std::array<char16_t, kModelChars> szModel{};
    std::array<char16_t, kVersionChars> szMcuVersion{};
    std::array<char16_t, kVersionChars> szDspVersion{};
    uint8_t nCmdVersion = 0;
    std::array<std::array<char16_t, kModeNameChars>, kModeCount> szModeName{};
};

constexpr int kRemoteKeyBytes = 18;
constexpr int kPlugNodes = 233;
constexpr int kMachineBytes = 13;

struct DeviceStatus {
    std::array<uint8_t, kRemoteKeyBytes> byRemoteKey{};
    std::array<std::array<uint8_t, 2>, kPlugNodes> byPlugTable{};
    std::array<uint8_t, kMachineBytes> byMachineEdit{};
    std::array<uint8_t, kMachineBytes> byMachine{};
};

constexpr int kSoundFieldSpeakers = 8;

struct SoundField {
    int32_t nRoomWidth = 0;
    int32_t nRoomLength = 0;
    float fListenerX = 0, fListenerY = 0;
    std::array<float, kSoundFieldSpeakers> fSpeakerX{};
    std::array<float, kSoundFieldSpeakers> fSpeakerY{};
};

extern ParamStore g_Param;
extern DeviceInfo g_Device;
extern DeviceStatus g_Status;
extern SoundField g_SoundField;
extern std::array<uint8_t, kSoundFieldSize> g_bySoundFieldBytes;

// One lock guards every record above: each report and each edit is applied whole under it.
// Recursive so that compound operations can call the single ones.
using StoreLock = std::unique_lock<std::recursive_mutex>;
StoreLock LockStore();

// ---- Slot access ---------------------------------------------------------------------------------
// Float slots (ms, raw, float pct) hold the bit pattern of an IEEE float.
float SlotFloat(int slot);
void SetSlotFloatBits(int slot, float value); // store only
std::string SlotName(int slot);               // "SET_OUT_MUTE[3]" for per-channel and per-mic slots

// ---- UTF-16 helpers ----------------------------------------------------------------------------
std::u16string U16(const char16_t* buf, size_t capacity); // up to the first zero unit
std::string ToUtf8(const std::u16string& s);
template <size_t N> void SetU16(std::array<char16_t, N>& buf, const char16_t* text) {
    buf.fill(0);
    for (size_t i = 0; i + 1 < N && text[i]; ++i)
        buf[i] = text[i];
}

// ---- EQ bands ----------------------------------------------------------------------------------
constexpr int kEqGroupLpf = 13;
int EqBandAddress(int group, int band);
int EqBandCount(int group); // bands of a group, 0 for groups not used

struct EqCoeffTarget {
    int nBlock = 0;
    int nParam = 0;
};
EqCoeffTarget EqBandCoeffTarget(int group, int band);

BandValues ReadBand(int group, int band);
// Stores the 7-byte record and sends a memory write of exactly those bytes.
void WriteBand(int group, int band, float gainDb, float freqHz, float q, int type);

constexpr int kEqNumberCount = 15;
struct EqNumberInfo {
    const char* szName;
    int nGroup;
    int nFirstBand;
    int nBands;
    int nAddress;
};
extern const std::array<EqNumberInfo, kEqNumberCount> kEqNumbers;

// ---- Sound field and boost blocks --------------------------------------------------------------
float DecodeSoundFieldCoord(uint8_t b);
uint8_t EncodeSoundFieldCoord(float v);
void DecodeSoundFieldBlock();        // g_bySoundFieldBytes -> g_SoundField
void EncodeSoundFieldBlock();        // g_SoundField -> g_bySoundFieldBytes
void EncodeAndSendSoundFieldBlock(); // ... and write it to its address
void ResetSoundFieldBlock();         // the start-up bytes, decoded

float MicBoostGain(); // dB, from byMicBoostBytes
