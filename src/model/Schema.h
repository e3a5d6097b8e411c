// The settings schema: one row for every setting a user can reach (setting slots and the fields of
// the memory image and blocks), with the name m7qctl dump prints, the range, unit and text of the
// window's control, and the model operation that stores and sends it. The window's bindings and
// m7qctl get/set/dump read it; none keeps a table of its own.
//
// Values are in window units: what the window's control shows (a reverb time in ms, a gate as the
// slider's number, a ratio as n:1). A row's control moves in steps: value = offset + factor·pos/div
// for whole positions pos in [nMin, nMax].
#pragma once

#include "model/Setters.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

enum class SettingKind : uint8_t {
    Number, // a slider or a spin box
    Switch, // a check box: 0 or 1
    Choice, // a list or radio buttons: an index into the row's choice texts
    Route,  // a microphone's route slot: 100 feeds the slot's set, 0 the other
};

// Where the value lives.
enum class SettingTarget : uint8_t {
    Slot,          // g_Param.nSetting[nIndex]
    SurroundLevel, // channel nIndex's entry of the surround levels, dB
    RoomWidth,
    RoomLength,
    ListenerX,
    ListenerY,
    SpeakerX, // sound-field speaker nIndex (panel order), metres
    SpeakerY,
    MicBoostGain, // the boost as the features dialog shows it: 0..40 dB, stored as -value
    LpfFrequency, // the music low-frequency filter's frequency
};

struct Setting {
    std::string strName; // as dump prints it and get/set take it: "SET_MIC_LEVEL[1]", "LPF_FREQ"
    SettingKind kind = SettingKind::Number;
    SettingTarget target = SettingTarget::Slot;
    int nIndex = 0;              // slot, channel or speaker
    SlotEnc enc = SlotEnc::None; // slot rows: how the slot is sent
    int nMin = 0, nMax = 0;      // the control's positions
    double fOffset = 0;          // value = fOffset + fFactor * pos / nDiv
    double fFactor = 1;
    int nDiv = 1;
    const char* szUnit = "";       // as dump prints it after the number: "%", "ms", "dB", ":1", "Hz", "m"
    const char* szFormat = "%.0f"; // the window's value text, printf of the value
    std::span<const char* const> choices; // Choice rows: the window's texts (English), by index
    const char* szOff = nullptr;          // the text shown for the lowest position instead, when it means off
    bool bMerge = false;                  // drags merge: a newer value replaces one still waiting to go out
    bool bFloat = false;                  // slot rows: the slot holds a float
    int nLeader = -1;                     // a slot set along with this one: set that instead
    const char* szCompanions = "";        // what else one write changes, for help texts
};

// Every row, in dump order: the slots, then the surround levels, the sound field, the boost, the LPF.
std::span<const Setting> Settings();
// A row by name, any case; nullptr when none has it.
const Setting* FindSetting(std::string_view name);
// The row of a setting slot; nullptr for the unused slots.
const Setting* SlotSetting(int slot);

// The value at control position `pos`, and the position nearest a value (held to the range).
double ValueOfPos(const Setting& s, int pos);
int PosOfValue(const Setting& s, double value);

// The store's value in window units (takes the store lock).
double ReadValue(const Setting& s);
// The window's text for a value: "37%", "89.6ms" as "90ms", "4.0:1", "Off", "CH-SUB".
std::string FormatValue(const Setting& s, double value);
// A typed value: a plain number, or a text as FormatValue writes it (unit and case free, "Off",
// a choice's text). nullopt for anything else; the range is WriteValue's business.
std::optional<double> ParseValue(const Setting& s, std::string_view text);

struct WriteResult {
    bool bOk = true;
    std::string strError; // "SET_MUSIC_PITCH takes a whole number from -5 to 5"
};
// Whether a value is one the control can take: in range and on a step (within what the text shows).
// Needs no store: a tool checks its command line with it before anything is read.
WriteResult CheckRange(const Setting& s, double value);
// CheckRange, and what the store allows now: a sound-field position lies inside the room.
WriteResult CheckValue(const Setting& s, double value);
// CheckValue, then stores and sends the value through the model operation the window uses, with
// its companion writes. Nothing is stored when the check fails.
WriteResult WriteValue(const Setting& s, double value);
