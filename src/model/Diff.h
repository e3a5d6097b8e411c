// What differs between two sets of the processor's settings, and sending only that. One mechanism
// for undo, A/B, comparing with a file, the drift check and m7qctl diff / verify.
#pragma once

#include "model/ParamStore.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Every value a user can set and a mode file keeps: the setting slots, the memory image (every band
// record), the surround levels, the sound-field and the boost blocks.
struct SettingsSnapshot {
    std::array<int32_t, SET_COUNT> nSetting{};
    std::array<uint8_t, kImageSize> byImage{};
    std::array<uint8_t, kSurroundLevelsSize> bySurroundLevels{};
    std::array<uint8_t, kSoundFieldSize> bySoundField{};
    std::array<uint8_t, kMicBoostSize> byMicBoost{};
    bool operator==(const SettingsSnapshot&) const = default;
};
SettingsSnapshot TakeSettings();
// Lays `s` onto the store (and decodes the sound field); nothing is sent.
void LaySettings(const SettingsSnapshot& s);

// One thing sent as a unit: a slot (with the slot that follows it: a shift's switch, the boost twin),
// a compressor (its four slots), a microphone's route pair, a channel's surround level, the boost
// gain, a band record (an output's band 10 with its three crossover sections; bands 14 and 15 as the
// delay split), the sound-field block.
enum class UnitKind : uint8_t {
    Slot,
    Compressor,
    MusicLimiter,
    RoutePair,
    SurroundLevel,
    MicBoostGain,
    Band,
    SoundField
};
struct SettingUnit {
    UnitKind kind = UnitKind::Slot;
    int16_t nIndex = 0; // slot, channel, microphone; band groups: the band
    int16_t nGroup = 0; // Band: the group of EqBandAddress
    bool operator==(const SettingUnit&) const = default;
};

// Every unit, in the order a write-all sends them (its parameters, then the image, then the blocks;
// the two master volumes last).
const std::vector<SettingUnit>& SettingUnits();
bool UnitDiffers(const SettingUnit& u, const SettingsSnapshot& a, const SettingsSnapshot& b);

struct SettingDifference {
    SettingUnit unit;
    std::string strName;    // "SET_OUT_MUTE[3]", "out3 band 4", ...
    std::string strA, strB; // the values in the window's units
};
// The units that differ, in write-all order.
std::vector<SettingUnit> DifferingUnits(const SettingsSnapshot& a, const SettingsSnapshot& b);
std::vector<SettingDifference> DiffSettings(const SettingsSnapshot& a, const SettingsSnapshot& b);

// Sends one unit as it stands in the store.
void SendUnit(const SettingUnit& u);

// The one naming of units and values, for lists, m7qctl and the undo history.
std::string UnitName(const SettingUnit& u);
std::string UnitValueText(const SettingUnit& u, const SettingsSnapshot& s);

// `base` with the units `units` as `from` holds them.
SettingsSnapshot WithUnits(const SettingsSnapshot& base, const SettingsSnapshot& from,
                           const std::vector<SettingUnit>& units);

// Makes the processor hold `target` where it now holds `now` (normally the store): lays the units that
// differ (those `take` accepts, when given) onto the store and sends each through the operations the
// window's edits use, in write-all order. Never stores a memory mode. Returns the units sent.
std::vector<SettingUnit> ApplySettings(const SettingsSnapshot& now, const SettingsSnapshot& target,
                                       const std::function<bool(const SettingUnit&)>& take = {});
inline std::vector<SettingUnit> ApplySettings(const SettingsSnapshot& target) {
    return ApplySettings(TakeSettings(), target);
}

// A slot's value in the unit the window and dump show ("%", "ms", "dB", ":1", "s", "Hz"; "" for plain
// numbers and switches).
struct SlotUserValue {
    double value;
    const char* unit;
};
SlotUserValue SlotUserOf(int slot, int32_t raw);
std::string SectionTypeName(int type);
std::string DiffNumber(double v); // "%.6g", no "-0"
