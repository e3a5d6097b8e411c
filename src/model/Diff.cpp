#include "model/Diff.h"

#include "link/Codec.h"
#include "model/Compound.h"
#include "model/EqIo.h"
#include "model/Setters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kCrossover = 9; // an output's band 10, followed by its three sections
constexpr int kSplitBand = 13;

std::vector<SettingUnit> BuildUnits() {
    std::vector<SettingUnit> u;
    auto slot = [&](int s) { u.push_back({UnitKind::Slot, static_cast<int16_t>(s), 0}); };
    auto unit = [&](UnitKind k, int i) { u.push_back({k, static_cast<int16_t>(i), 0}); };
    for (int s : {SET_MIC_A_EQ_BYPASS, SET_REVERB_A_EQ_BYPASS, SET_ECHO_A_EQ_BYPASS, SET_MIC_B_EQ_BYPASS,
                  SET_REVERB_B_EQ_BYPASS, SET_ECHO_B_EQ_BYPASS, SET_MUSIC_EQ_BYPASS})
        slot(s);
    for (int c = 0; c < kOutputChannels; ++c) {
        for (int base : {SET_OUT_EQ_BYPASS, SET_OUT_DELAY_OFF, SET_OUT_DELAY_WHOLE, SET_OUT_DELAY,
                         SET_OUT_MIX_DIRECT, SET_OUT_MIX_REVERB, SET_OUT_MIX_ECHO, SET_OUT_MIX_MUSIC,
                         SET_OUT_MUTE, SET_OUT_PHASE, SET_OUT_ROLE, SET_OUT_COMP_BYPASS})
            slot(base + c);
        unit(UnitKind::Compressor, c);
        unit(UnitKind::SurroundLevel, c);
        slot(SET_OUT_LEVEL + c);
    }
    unit(UnitKind::MusicLimiter, 0);
    for (int s : {SET_MUSIC_COMP_BYPASS, SET_EFFECT_VOLUME, SET_MIC_MUTE, SET_MUSIC_MUTE, SET_REVERB_MUTE,
                  SET_ECHO_MUTE})
        slot(s);
    for (int k = 0; k < 4; ++k)
        unit(UnitKind::RoutePair, k);
    for (int k = 0; k < 4; ++k)
        slot(SET_MIC_LEVEL + k);
    for (int k = 0; k < 4; ++k)
        slot(SET_MIC_GATE + k);
    for (int s : {SET_REVERB_VOLUME, SET_ECHO_VOLUME, SET_HDMI_PORT, SET_MUSIC_SOURCE, SET_SRC_LEVEL_SPDIF,
                  SET_SRC_LEVEL_COAX, SET_SRC_LEVEL_BT, SET_SRC_LEVEL_HDMI1, SET_SRC_LEVEL_HDMI2,
                  SET_SRC_LEVEL_HDMI3, SET_SRC_LEVEL_HDMI4, SET_SRC_LEVEL_AUX1, SET_SRC_LEVEL_AUX2})
        slot(s);
    for (int set = 0; set < 2; ++set) {
        const int d = set ? SET_ECHO_B_EQ_BYPASS - SET_ECHO_A_EQ_BYPASS : 0;
        const int r = set ? SET_REVERB_B_EQ_BYPASS - SET_REVERB_A_EQ_BYPASS : 0;
        slot(set ? SET_MIC_B_SHIFT : SET_MIC_A_SHIFT);
        for (int s :
             {SET_ECHO_A_LEVEL + d, SET_REVERB_A_LEVEL + r, SET_REVERB_A_PREDELAY + r, SET_REVERB_A_TIME + r,
              SET_ECHO_A_PREDELAY + d, SET_ECHO_A_TIME + d, SET_ECHO_A_START + d, SET_ECHO_A_DECAY + d})
            slot(s);
    }
    for (int s : {SET_MUSIC_PITCH, SET_MUSIC_AGC_ON, SET_MUSIC_AGC_LEVEL, SET_MUSIC_GATE, SET_SUB_DECAY_ON,
                  SET_SUB_DECAY_RATIO, SET_MIC_BOOST_ON})
        slot(s);
    unit(UnitKind::MicBoostGain, 0);
    slot(SET_LPF_DELAY);
    slot(SET_LPF_GAIN);
    // The image in address order: the groups' bands (an output's band 10 stands for 10..13).
    auto band = [&](int group, int b) {
        u.push_back({UnitKind::Band, static_cast<int16_t>(b), static_cast<int16_t>(group)});
    };
    for (int group : {1, 2, 3, 4})
        for (int b = 0; b < EqBandCount(group); ++b)
            band(group, b);
    for (int group = MOD_OUT1; group <= MOD_OUT8; ++group)
        for (int b = 0; b < EqBandCount(group); ++b)
            if (b <= kCrossover || b == kSplitBand)
                band(group, b);
    band(kEqGroupLpf, 0);
    unit(UnitKind::SoundField, 0);
    slot(SET_MIC_VOLUME);
    slot(SET_MUSIC_VOLUME);
    return u;
}

// Band units span records: 4 for an output's crossover, 2 for the delay split, else 1.
int BandRecords(const SettingUnit& u) {
    if (u.nGroup >= MOD_OUT1 && u.nGroup <= MOD_OUT8)
        return u.nIndex == kCrossover ? 4 : u.nIndex == kSplitBand ? 2 : 1;
    return 1;
}

// The slots a unit keeps, so that comparing and laying cover the same values.
std::vector<int> UnitSlots(const SettingUnit& u) {
    switch (u.kind) {
    case UnitKind::Slot:
        if (u.nIndex == SET_MIC_A_SHIFT || u.nIndex == SET_MIC_B_SHIFT)
            return {u.nIndex, u.nIndex + 1};
        if (u.nIndex == SET_MIC_BOOST_ON)
            return {SET_MIC_BOOST_ON, SET_MIC_BOOST_ON2};
        return {u.nIndex};
    case UnitKind::Compressor:
        return {SET_OUT_COMP_THRESHOLD + u.nIndex, SET_OUT_COMP_RATIO + u.nIndex,
                SET_OUT_COMP_ATTACK + u.nIndex, SET_OUT_COMP_RELEASE + u.nIndex};
    case UnitKind::MusicLimiter:
        return {SET_MUSIC_COMP_THRESHOLD, SET_MUSIC_COMP_RATIO, SET_MUSIC_COMP_ATTACK,
                SET_MUSIC_COMP_RELEASE};
    case UnitKind::RoutePair:
        return {SET_MIC_ROUTE_A + u.nIndex, SET_MIC_ROUTE_B + u.nIndex};
    default:
        return {};
    }
}

struct Bytes {
    size_t nAt = 0, nLength = 0;
};
// The bytes a unit keeps in the image or a block.
Bytes UnitBytes(const SettingUnit& u) {
    switch (u.kind) {
    case UnitKind::Band:
        return {static_cast<size_t>(EqBandAddress(u.nGroup, u.nIndex)),
                static_cast<size_t>(kBandRecordSize * BandRecords(u))};
    case UnitKind::SurroundLevel:
        return {static_cast<size_t>(4 * u.nIndex), 4};
    case UnitKind::SoundField:
        return {0, kSoundFieldSize};
    case UnitKind::MicBoostGain:
        return {0, kMicBoostSize};
    default:
        return {};
    }
}

const uint8_t* UnitData(const SettingUnit& u, const SettingsSnapshot& s) {
    switch (u.kind) {
    case UnitKind::Band:
        return s.byImage.data();
    case UnitKind::SurroundLevel:
        return s.bySurroundLevels.data();
    case UnitKind::SoundField:
        return s.bySoundField.data();
    case UnitKind::MicBoostGain:
        return s.byMicBoost.data();
    default:
        return nullptr;
    }
}

uint8_t* StoreData(const SettingUnit& u) {
    switch (u.kind) {
    case UnitKind::Band:
        return g_Param.byImage.data();
    case UnitKind::SurroundLevel:
        return g_Param.bySurroundLevels.data();
    case UnitKind::SoundField:
        return g_bySoundFieldBytes.data();
    case UnitKind::MicBoostGain:
        return g_Param.byMicBoostBytes.data();
    default:
        return nullptr;
    }
}

// Lays one unit's values from `s` onto the store; the caller holds the lock.
void LayUnitLocked(const SettingUnit& u, const SettingsSnapshot& s) {
    for (int slot : UnitSlots(u))
        g_Param.nSetting[slot] = s.nSetting[slot];
    if (const uint8_t* from = UnitData(u, s)) {
        const Bytes b = UnitBytes(u);
        std::memcpy(StoreData(u) + b.nAt, from + b.nAt, b.nLength);
    }
    if (u.kind == UnitKind::SoundField)
        DecodeSoundFieldBlock();
}

float SnapFloat(const SettingsSnapshot& s, int slot) {
    return BitsFloat(static_cast<uint32_t>(s.nSetting[slot]));
}

std::string BandText(const uint8_t* record) {
    const BandValues v = DecodeBandRecord(record);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %.0f Hz %+.1f dB Q %.3f", SectionTypeName(v.nType).c_str(),
                  v.fFreq + 0.0f, v.fGain + 0.0f, v.fQ + 0.0f);
    return buf;
}

std::string SlotText(int slot, int32_t raw) {
    const SlotUserValue v = SlotUserOf(slot, raw);
    return DiffNumber(v.value) + (v.unit[0] ? " " : "") + v.unit;
}

// The name of band `b` of `group` as the editors number them: "out3 band 4".
std::string BandName(int group, int b) {
    if (group == kEqGroupLpf)
        return "lpf";
    for (int eq = 0; eq < kEqNumberCount; ++eq) {
        const EqNumberInfo& info = kEqNumbers[eq];
        const int bands = IsOutputEq(eq) ? EqBandCount(group) : info.nBands;
        if (info.nGroup != group || b < info.nFirstBand || b >= info.nFirstBand + bands)
            continue;
        const int user = b - info.nFirstBand;
        if (IsOutputEq(eq) && user == kSplitBand)
            return std::string(kEqShortNames[eq]) + " delay split";
        return std::string(kEqShortNames[eq]) + " band " + std::to_string(user + 1);
    }
    return "group " + std::to_string(group) + " band " + std::to_string(b + 1);
}

} // namespace

SettingsSnapshot TakeSettings() {
    SettingsSnapshot s;
    auto lock = LockStore();
    s.nSetting = g_Param.nSetting;
    s.byImage = g_Param.byImage;
    s.bySurroundLevels = g_Param.bySurroundLevels;
    s.bySoundField = g_bySoundFieldBytes;
    s.byMicBoost = g_Param.byMicBoostBytes;
    return s;
}

void LaySettings(const SettingsSnapshot& s) {
    auto lock = LockStore();
    g_Param.nSetting = s.nSetting;
    g_Param.byImage = s.byImage;
    g_Param.bySurroundLevels = s.bySurroundLevels;
    g_bySoundFieldBytes = s.bySoundField;
    g_Param.byMicBoostBytes = s.byMicBoost;
    DecodeSoundFieldBlock();
}

const std::vector<SettingUnit>& SettingUnits() {
    static const std::vector<SettingUnit> units = BuildUnits();
    return units;
}

bool UnitDiffers(const SettingUnit& u, const SettingsSnapshot& a, const SettingsSnapshot& b) {
    // What the processor keeps decides: the words sent, not the values the console rounds them from.
    if (u.kind == UnitKind::Compressor || u.kind == UnitKind::MusicLimiter) {
        const std::vector<int> s = UnitSlots(u);
        auto words = [&s](const SettingsSnapshot& x) {
            return EncodeCompressorBlock(SnapFloat(x, s[0]), SnapFloat(x, s[1]), SnapFloat(x, s[2]),
                                         SnapFloat(x, s[3]));
        };
        return words(a) != words(b);
    }
    for (int slot : UnitSlots(u))
        if (!SlotWordsEqual(slot, a.nSetting[slot], b.nSetting[slot]))
            return true;
    if (const uint8_t* pa = UnitData(u, a)) {
        const Bytes r = UnitBytes(u);
        return std::memcmp(pa + r.nAt, UnitData(u, b) + r.nAt, r.nLength) != 0;
    }
    return false;
}

std::vector<SettingUnit> DifferingUnits(const SettingsSnapshot& a, const SettingsSnapshot& b) {
    std::vector<SettingUnit> out;
    if (a == b)
        return out;
    for (const SettingUnit& u : SettingUnits())
        if (UnitDiffers(u, a, b))
            out.push_back(u);
    return out;
}

std::vector<SettingDifference> DiffSettings(const SettingsSnapshot& a, const SettingsSnapshot& b) {
    std::vector<SettingDifference> out;
    for (const SettingUnit& u : DifferingUnits(a, b)) {
        SettingDifference d{u, UnitName(u), UnitValueText(u, a), UnitValueText(u, b)};
        // A band whose crossover sections or second split band are alike reads as the band alone.
        if (u.kind == UnitKind::Band && BandRecords(u) > 1) {
            const size_t at = static_cast<size_t>(EqBandAddress(u.nGroup, u.nIndex)) + kBandRecordSize;
            const size_t rest = static_cast<size_t>(kBandRecordSize * (BandRecords(u) - 1));
            if (std::memcmp(&a.byImage[at], &b.byImage[at], rest) == 0) {
                d.strA = BandText(&a.byImage[at - kBandRecordSize]);
                d.strB = BandText(&b.byImage[at - kBandRecordSize]);
            }
        }
        out.push_back(std::move(d));
    }
    return out;
}

std::string UnitName(const SettingUnit& u) {
    const std::string ch = std::to_string(u.nIndex + 1);
    switch (u.kind) {
    case UnitKind::Slot:
        return SlotName(u.nIndex);
    case UnitKind::Compressor:
        return "out" + ch + " compressor";
    case UnitKind::MusicLimiter:
        return "music limiter";
    case UnitKind::RoutePair:
        return "mic" + ch + " route";
    case UnitKind::SurroundLevel:
        return "out" + ch + " surround level";
    case UnitKind::MicBoostGain:
        return "mic boost gain";
    case UnitKind::Band:
        return BandName(u.nGroup, u.nIndex);
    case UnitKind::SoundField:
        return "sound field";
    }
    return {};
}

std::string UnitValueText(const SettingUnit& u, const SettingsSnapshot& s) {
    switch (u.kind) {
    case UnitKind::Slot:
        return SlotText(u.nIndex, s.nSetting[u.nIndex]);
    case UnitKind::Compressor:
    case UnitKind::MusicLimiter: {
        const std::vector<int> slots = UnitSlots(u);
        return DiffNumber(SnapFloat(s, slots[0])) + " dB " + DiffNumber(SnapFloat(s, slots[1])) +
               ":1 attack " + DiffNumber(SnapFloat(s, slots[2])) + " ms release " +
               DiffNumber(SnapFloat(s, slots[3])) + " ms";
    }
    case UnitKind::RoutePair:
        return s.nSetting[SET_MIC_ROUTE_A + u.nIndex] != 0 ? "set A" : "set B";
    case UnitKind::SurroundLevel:
        return DiffNumber(BitsFloat(GetBE32(&s.bySurroundLevels[4 * u.nIndex]))) + " dB";
    case UnitKind::MicBoostGain:
        return DiffNumber(BitsFloat((uint32_t(s.byMicBoost[0]) << 24) | (uint32_t(s.byMicBoost[1]) << 16))) +
               " dB";
    case UnitKind::Band: {
        const size_t at = static_cast<size_t>(EqBandAddress(u.nGroup, u.nIndex));
        std::string text = BandText(&s.byImage[at]);
        for (int r = 1; r < BandRecords(u); ++r) // crossover sections, delay split's second band
            text += " | " + BandText(&s.byImage[at + kBandRecordSize * r]);
        return text;
    }
    case UnitKind::SoundField: {
        const auto& b = s.bySoundField;
        std::string text = std::to_string(b[0]) + " x " + std::to_string(b[1]) + " m, listener (" +
                           DiffNumber(DecodeSoundFieldCoord(b[2])) + ", " +
                           DiffNumber(DecodeSoundFieldCoord(b[3])) + ")";
        for (int k = 0; k < kSoundFieldSpeakers; ++k)
            text += " " + std::to_string(k) + ":(" + DiffNumber(DecodeSoundFieldCoord(b[4 + 2 * k])) + ", " +
                    DiffNumber(DecodeSoundFieldCoord(b[5 + 2 * k])) + ")";
        return text;
    }
    }
    return {};
}

SettingsSnapshot WithUnits(const SettingsSnapshot& base, const SettingsSnapshot& from,
                           const std::vector<SettingUnit>& units) {
    SettingsSnapshot out = base;
    for (const SettingUnit& u : units) {
        for (int slot : UnitSlots(u))
            out.nSetting[slot] = from.nSetting[slot];
        if (const uint8_t* src = UnitData(u, from)) {
            const Bytes b = UnitBytes(u);
            std::memcpy(const_cast<uint8_t*>(UnitData(u, out)) + b.nAt, src + b.nAt, b.nLength);
        }
    }
    return out;
}

std::vector<SettingUnit> ApplySettings(const SettingsSnapshot& now, const SettingsSnapshot& target,
                                       const std::function<bool(const SettingUnit&)>& take) {
    std::vector<SettingUnit> units = DifferingUnits(now, target);
    if (take)
        std::erase_if(units, [&](const SettingUnit& u) { return !take(u); });
    {
        auto lock = LockStore();
        for (const SettingUnit& u : units)
            LayUnitLocked(u, target);
    }
    std::vector<SettingUnit> sent;
    std::array<bool, kOutputChannels> splitDone{};
    for (const SettingUnit& u : units) {
        if (u.kind == UnitKind::Band && u.nIndex == kSplitBand && u.nGroup >= MOD_OUT1 &&
            u.nGroup <= MOD_OUT8 && splitDone[u.nGroup - MOD_OUT1])
            continue;
        SendUnit(u);
        sent.push_back(u);
        // A delay mode writes the split bands from the split as it stands: laid again when the target's
        // differ.
        if (u.kind == UnitKind::Slot && u.nIndex >= SET_OUT_DELAY_WHOLE &&
            u.nIndex < SET_OUT_DELAY_WHOLE + 8) {
            const int c = u.nIndex - SET_OUT_DELAY_WHOLE;
            const SettingUnit split{UnitKind::Band, kSplitBand, static_cast<int16_t>(MOD_OUT1 + c)};
            auto lock = LockStore();
            if (!UnitDiffers(split, TakeSettings(), target))
                splitDone[c] = true;
            else
                LayUnitLocked(split, target);
        }
    }
    return sent;
}

void SendUnit(const SettingUnit& u) {
    switch (u.kind) {
    case UnitKind::Slot:
        SendSlot(u.nIndex);
        return;
    case UnitKind::Compressor:
        SendCompressor(u.nIndex);
        return;
    case UnitKind::MusicLimiter:
        SendMusicLimiter();
        return;
    case UnitKind::RoutePair:
        SendSlot(SET_MIC_ROUTE_A + u.nIndex);
        SendSlot(SET_MIC_ROUTE_B + u.nIndex);
        return;
    case UnitKind::SurroundLevel:
        SendChannelSurroundLevel(u.nIndex);
        return;
    case UnitKind::MicBoostGain:
        SendMicBoostGain();
        return;
    case UnitKind::Band:
        for (int r = 0; r < BandRecords(u); ++r)
            ResendBand(u.nGroup, u.nIndex + r);
        return;
    case UnitKind::SoundField: {
        std::array<uint8_t, kSoundFieldSize> bytes;
        {
            auto lock = LockStore();
            bytes = g_bySoundFieldBytes;
        }
        WriteDeviceMemory(ADDR_SOUND_FIELD, kSoundFieldSize, bytes.data());
        return;
    }
    }
}

// ---- Values in the window's units ------------------------------------------------------------------

SlotUserValue SlotUserOf(int slot, int32_t v) {
    const float f = BitsFloat(static_cast<uint32_t>(v));
    const bool compThreshold = (slot >= SET_OUT_COMP_THRESHOLD && slot < SET_OUT_COMP_RATIO) ||
                               slot == SET_MUSIC_COMP_THRESHOLD || slot == SET_MUSIC_AGC_LEVEL;
    const bool compRatio =
        (slot >= SET_OUT_COMP_RATIO && slot < SET_OUT_COMP_ATTACK) || slot == SET_MUSIC_COMP_RATIO;
    const bool compTime = (slot >= SET_OUT_COMP_ATTACK && slot < SET_OUT_DELAY) ||
                          slot == SET_MUSIC_COMP_ATTACK || slot == SET_MUSIC_COMP_RELEASE;
    if (compThreshold)
        return {f, "dB"};
    if (compRatio)
        return {f, ":1"};
    if (compTime)
        return {f, "ms"};
    switch (GetSlotRow(slot).enc) {
    case SlotEnc::Pct:
    case SlotEnc::PctPlus:
        return {static_cast<double>(v), "%"};
    case SlotEnc::Gate:
        return {v / 100.0, "%"};
    case SlotEnc::Ms:
        return {f, "ms"};
    case SlotEnc::IntMs:
        return {static_cast<double>(v), "ms"};
    case SlotEnc::FloatPct:
        return {f / 100.0, "s"};
    case SlotEnc::Hz:
        return {static_cast<double>(v), "Hz"};
    case SlotEnc::Raw:
        return {f, ""};
    default:
        return {static_cast<double>(v), ""};
    }
}

std::string SectionTypeName(int type) {
    static const char* const kNames[] = {
        "OFF",       "PEQ",       "LP",       "HP",       "LS",        "HS",        "CHEB-LP", "CHEB-HP",
        "BESSEL-LP", "BESSEL-HP", "1ST-LP",   "1ST-HP",   "BUTTER-LP", "BUTTER-HP", "Q1.0-LP", "Q1.0-HP",
        "Q0.5-LP",   "Q0.5-HP",   "Q1.31-LP", "Q1.31-HP", "Q0.54-LP",  "Q0.54-HP"};
    if (type >= 0 && type < static_cast<int>(std::size(kNames)))
        return kNames[type];
    return "ALLPASS(" + std::to_string(type) + ")";
}

std::string DiffNumber(double v) {
    if (!std::isfinite(v))
        return "null";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v + 0.0); // + 0.0: no "-0"
    return buf;
}
