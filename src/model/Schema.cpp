#include "model/Schema.h"

#include "model/Compound.h"
#include "model/Compressor.h"
#include "model/ParamStore.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr const char* kSwitchTexts[] = {"off", "on"};
constexpr const char* kRoleTexts[] = {"CH-L",   "CH-R",   "CH-SBL", "CH-SBR",
                                      "CH-SUB", "CH-CEN", "CH-SL",  "CH-SR"};
constexpr const char* kSourceTexts[] = {"SPDIF", "COAXIAL", "HDMI", "Bluetooth", "AUX", "AUX2"};
constexpr const char* kPortTexts[] = {"HDMI1", "HDMI2", "HDMI3", "HDMI4"};
constexpr const char* kDelayModeTexts[] = {"H.Freq Delay", "Channel delay"};

// The reverb time's slot holds the control position, not the time it stands for.
bool SlotHoldsPos(const Setting& s) {
    return s.target == SettingTarget::Slot && s.enc == SlotEnc::FloatPct;
}

struct Builder {
    std::vector<Setting> rows;

    Setting& Slot(int slot, SettingKind kind, int lo, int hi, const char* unit, const char* format) {
        Setting s;
        s.strName = SlotName(slot);
        s.kind = kind;
        s.nIndex = slot;
        s.enc = GetSlotRow(slot).enc;
        s.nMin = lo;
        s.nMax = hi;
        s.szUnit = unit;
        s.szFormat = format;
        s.bMerge = kind == SettingKind::Number;
        s.bFloat = s.enc == SlotEnc::Ms || s.enc == SlotEnc::Raw || s.enc == SlotEnc::FloatPct ||
                   s.enc == SlotEnc::Comp;
        rows.push_back(s);
        return rows.back();
    }
    Setting& Pct(int slot, int hi = 100, const char* format = "%.0f%%") {
        return Slot(slot, SettingKind::Number, 0, hi, "%", format);
    }
    Setting& Switch(int slot) {
        Setting& s = Slot(slot, SettingKind::Switch, 0, 1, "", "%.0f");
        s.choices = kSwitchTexts;
        return s;
    }
    template <size_t N> Setting& Choice(int slot, const char* const (&texts)[N]) {
        Setting& s = Slot(slot, SettingKind::Choice, 0, static_cast<int>(N) - 1, "", "%.0f");
        s.choices = texts;
        return s;
    }
    Setting& Tenths(Setting& s) {
        s.nDiv = 10;
        return s;
    }
    Setting& Comp(int slot, int which) {
        const CompRange& r = kCompRanges[which];
        static constexpr const char* kUnits[COMP_VALUES] = {"dB", ":1", "ms", "ms"};
        Setting& s = Slot(slot, SettingKind::Number, r.nMin, r.nMax, kUnits[which], r.szFormat);
        s.nDiv = r.nDiv;
        s.szCompanions = "sends the compressor's whole block with its other three values";
        return s;
    }
    Setting& Image(std::string name, SettingTarget target, int index, int lo, int hi, int div,
                   const char* unit, const char* format) {
        Setting s;
        s.strName = std::move(name);
        s.target = target;
        s.nIndex = index;
        s.nMin = lo;
        s.nMax = hi;
        s.nDiv = div;
        s.szUnit = unit;
        s.szFormat = format;
        s.bMerge = true;
        s.bFloat = true;
        rows.push_back(s);
        return rows.back();
    }
};

std::vector<Setting> BuildSettings() {
    Builder b;
    const auto pct = [&b](int slot) { return b.Pct(slot); };
    b.Pct(SET_MIC_VOLUME, 99, "%.0f");
    for (int k = 0; k < 4; ++k)
        b.Slot(SET_MIC_ROUTE_A + k, SettingKind::Route, 0, 100, "%", "%.0f").szCompanions =
            "sets the same microphone's SET_MIC_ROUTE_B to the other value";
    b.Switch(SET_MIC_A_EQ_BYPASS);
    for (int set = 0; set < 2; ++set) {
        const int shift = set ? SET_MIC_B_SHIFT : SET_MIC_A_SHIFT;
        Setting& s = b.Slot(shift, SettingKind::Number, 1, 8, "Hz", "%.0fHz");
        s.szOff = "Off";
        s.szCompanions = "sets its switch: on for 2..8 Hz, off for 1";
        b.Switch(shift + 1).nLeader = shift;
        if (set == 0) {
            for (int k = 0; k < 4; ++k)
                b.Slot(SET_MIC_ROUTE_B + k, SettingKind::Route, 0, 100, "%", "%.0f").szCompanions =
                    "sets the same microphone's SET_MIC_ROUTE_A to the other value";
            b.Switch(SET_MIC_B_EQ_BYPASS);
        }
    }
    b.Switch(SET_MIC_MUTE);
    b.Pct(SET_EFFECT_VOLUME, 99, "%.0f");
    for (int k = 0; k < 4; ++k)
        b.Pct(SET_MIC_LEVEL + k, 100, "%.0f");
    for (int k = 0; k < 4; ++k)
        b.Slot(SET_MIC_GATE + k, SettingKind::Number, 0, 100, "", "%.0f");
    b.Switch(SET_SUB_DECAY_ON);
    pct(SET_SUB_DECAY_RATIO);
    for (int set = 0; set < 2; ++set) {
        const int base = set ? SET_ECHO_B_EQ_BYPASS : SET_ECHO_A_EQ_BYPASS;
        b.Switch(base);
        pct(base + 1);
        b.Slot(base + 2, SettingKind::Number, 2, 200, "ms", "%.0fms");
        b.Slot(base + 3, SettingKind::Number, 2, 260, "ms", "%.0fms").szCompanions =
            "a time of 2 to 6 ms also sets the set's SET_REVERB_x_PREDELAY to ten times as much";
        b.Slot(base + 4, SettingKind::Number, 40, 100, "%", "%.0f%%");
        b.Slot(base + 5, SettingKind::Number, 20, 90, "%", "%.0f%%");
    }
    b.Pct(SET_ECHO_VOLUME, 99, "%.0f");
    b.Switch(SET_ECHO_MUTE);
    for (int set = 0; set < 2; ++set) {
        const int base = set ? SET_REVERB_B_EQ_BYPASS : SET_REVERB_A_EQ_BYPASS;
        b.Switch(base);
        pct(base + 1);
        b.Slot(base + 2, SettingKind::Number, 2, 200, "ms", "%.0fms");
        Setting& time = b.Slot(base + 3, SettingKind::Number, 0, 100, "ms", "%.0fms");
        time.fOffset = 40;
        time.fFactor = 49.6;
    }
    b.Pct(SET_REVERB_VOLUME, 99, "%.0f");
    b.Switch(SET_REVERB_MUTE);
    b.Pct(SET_MUSIC_VOLUME, 99, "%.0f");
    for (int slot = SET_SRC_LEVEL_SPDIF; slot <= SET_SRC_LEVEL_AUX2; ++slot)
        pct(slot);
    b.Switch(SET_MUSIC_MUTE).szCompanions = "un-muting fades the music in";
    b.Switch(SET_MUSIC_EQ_BYPASS);
    b.Slot(SET_MUSIC_PITCH, SettingKind::Number, -5, 5, "", "%+.0f");
    b.Choice(SET_MUSIC_SOURCE, kSourceTexts);
    b.Slot(SET_MUSIC_GATE, SettingKind::Number, 0, 100, "", "%.0f");
    for (int base : {SET_OUT_MIX_DIRECT, SET_OUT_MIX_REVERB, SET_OUT_MIX_ECHO, SET_OUT_MIX_MUSIC})
        for (int c = 0; c < kOutputChannels; ++c)
            pct(base + c);
    for (int c = 0; c < kOutputChannels; ++c)
        b.Choice(SET_OUT_ROLE + c, kRoleTexts);
    for (int c = 0; c < kOutputChannels; ++c)
        b.Switch(SET_OUT_EQ_BYPASS + c);
    for (int c = 0; c < kOutputChannels; ++c)
        b.Switch(SET_OUT_COMP_BYPASS + c);
    for (int which = 0; which < COMP_VALUES; ++which)
        for (int c = 0; c < kOutputChannels; ++c)
            b.Comp(CompSlot(c, which), which);
    for (int c = 0; c < kOutputChannels; ++c)
        b.Tenths(b.Slot(SET_OUT_DELAY + c, SettingKind::Number, 16, 1000, "ms", "%.1fms"));
    for (int c = 0; c < kOutputChannels; ++c)
        b.Switch(SET_OUT_DELAY_OFF + c);
    for (int c = 0; c < kOutputChannels; ++c)
        b.Choice(SET_OUT_DELAY_WHOLE + c, kDelayModeTexts).szCompanions =
            "rewrites the channel's split bands 14 and 15";
    for (int c = 0; c < kOutputChannels; ++c)
        b.Switch(SET_OUT_MUTE + c);
    for (int c = 0; c < kOutputChannels; ++c)
        b.Switch(SET_OUT_PHASE + c);
    b.Switch(SET_MUSIC_AGC_ON);
    b.Tenths(b.Slot(SET_MUSIC_AGC_LEVEL, SettingKind::Number, -500, 0, "dB", "%.1fdB"));
    b.Choice(SET_HDMI_PORT, kPortTexts);
    for (int slot = SET_SRC_LEVEL_HDMI2; slot <= SET_SRC_LEVEL_HDMI4; ++slot)
        pct(slot);
    for (int c = 0; c < kOutputChannels; ++c)
        pct(SET_OUT_LEVEL + c);
    b.Switch(SET_MIC_BOOST_ON).szCompanions = "sets SET_MIC_BOOST_ON2 along";
    b.Switch(SET_MIC_BOOST_ON2).nLeader = SET_MIC_BOOST_ON;
    b.Slot(SET_LPF_DELAY, SettingKind::Number, 0, 20, "ms", "%.0fms");
    b.Pct(SET_LPF_GAIN, 300);
    for (int which = 0; which < COMP_VALUES; ++which)
        b.Comp(CompSlot(kMusicLimiter, which), which);
    b.Switch(SET_MUSIC_COMP_BYPASS);

    for (int c = 0; c < kOutputChannels; ++c)
        b.Image("SURROUND_LEVEL[" + std::to_string(c + 1) + "]", SettingTarget::SurroundLevel, c, -400, 30,
                10, "dB", "%.1fdB");
    b.Image("ROOM_WIDTH", SettingTarget::RoomWidth, 0, 1, 10, 1, "m", "%.0fm").bMerge = false;
    b.Image("ROOM_LENGTH", SettingTarget::RoomLength, 0, 1, 10, 1, "m", "%.0fm").bMerge = false;
    const char* const kPosCompanion = "sets the surround level of the speakers it moves away from or towards";
    b.Image("LISTENER_X", SettingTarget::ListenerX, 0, -50, 50, 10, "m", "%+.1fm").szCompanions =
        kPosCompanion;
    b.Image("LISTENER_Y", SettingTarget::ListenerY, 0, -50, 50, 10, "m", "%+.1fm").szCompanions =
        kPosCompanion;
    for (int k = 0; k < kSoundFieldSpeakers; ++k) {
        const std::string n = "[" + std::to_string(k + 1) + "]";
        b.Image("SPEAKER_X" + n, SettingTarget::SpeakerX, k, -50, 50, 10, "m", "%+.1fm").szCompanions =
            kPosCompanion;
        b.Image("SPEAKER_Y" + n, SettingTarget::SpeakerY, k, -50, 50, 10, "m", "%+.1fm").szCompanions =
            kPosCompanion;
    }
    b.Image("MIC_BOOST_GAIN", SettingTarget::MicBoostGain, 0, 0, 40, 1, "dB", "%.0fdB");
    b.Image("LPF_FREQ", SettingTarget::LpfFrequency, 0, 20, 300, 1, "Hz", "%.0fHz");
    return b.rows;
}

const std::vector<Setting>& Rows() {
    static const std::vector<Setting> rows = BuildSettings();
    return rows;
}

std::string Upper(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v + 0.0);
    return buf;
}

// A plain decimal number; no "nan", "inf", hex or trailing text.
std::optional<double> PlainNumber(std::string_view text) {
    std::string s(text);
    if (!s.empty() && s[0] == '+')
        s.erase(0, 1);
    if (s.empty() || !(std::isdigit(static_cast<unsigned char>(s[0])) || s[0] == '-' || s[0] == '.'))
        return std::nullopt;
    for (char c : s)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.' || c == 'e' ||
              c == 'E'))
            return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// How far off a step a typed value may be: what the value text cannot show, when a step is finer
// than the text (a reverb time of 89.6 ms is shown and typed as 90).
double Tolerance(const Setting& s) {
    const char* dot = std::strchr(s.szFormat, '.');
    const int decimals = dot ? std::atoi(dot + 1) : 0;
    const double step = s.fFactor / s.nDiv * std::pow(10.0, decimals);
    if (std::fabs(step - std::round(step)) > 1e-9)
        return 0.5 * std::pow(10.0, -decimals);
    return 1e-9 * std::max(1.0, std::fabs(s.fOffset + s.fFactor * s.nMax / s.nDiv));
}

std::string RangeText(const Setting& s) {
    const std::string unit = s.szUnit[0] ? std::string(" ") + s.szUnit : "";
    switch (s.kind) {
    case SettingKind::Route:
        return s.strName + " takes 100 (the microphone feeds this set) or 0 (the other set)";
    case SettingKind::Switch:
        return s.strName + " takes 0 (off) or 1 (on)";
    case SettingKind::Choice: {
        std::string list;
        for (size_t i = 0; i < s.choices.size(); ++i)
            list += (i ? ", " : "") + std::to_string(i) + " " + s.choices[i];
        return s.strName + " takes " + std::to_string(s.nMin) + " to " + std::to_string(s.nMax) + ": " + list;
    }
    case SettingKind::Number:
        break;
    }
    const std::string from = Number(ValueOfPos(s, s.nMin)) + " to " + Number(ValueOfPos(s, s.nMax)) + unit;
    if (s.fOffset == 0 && s.fFactor == 1 && s.nDiv == 1)
        return s.strName + " takes a whole number from " + from +
               (s.szOff ? std::string(" (") + Number(s.nMin) + " is off)" : "");
    return s.strName + " takes a number from " + from + " in steps of " + Number(s.fFactor / s.nDiv);
}

// ---- Store access: the only reads and writes of the records here ---------------------------------

float& SoundFieldValue(const Setting& s) {
    switch (s.target) {
    case SettingTarget::ListenerX:
        return g_SoundField.fListenerX;
    case SettingTarget::ListenerY:
        return g_SoundField.fListenerY;
    case SettingTarget::SpeakerX:
        return g_SoundField.fSpeakerX[static_cast<size_t>(s.nIndex)];
    default:
        return g_SoundField.fSpeakerY[static_cast<size_t>(s.nIndex)];
    }
}

bool IsPosition(const Setting& s) {
    return s.target == SettingTarget::ListenerX || s.target == SettingTarget::ListenerY ||
           s.target == SettingTarget::SpeakerX || s.target == SettingTarget::SpeakerY;
}

// The surround level each speaker gets from its distance to the listener, as the sound-field page
// sets it after a move: the listener moves all eight, a speaker its own.
void FollowPosition(const Setting& s) {
    const bool listener = s.target == SettingTarget::ListenerX || s.target == SettingTarget::ListenerY;
    for (int k = 0; k < kSoundFieldSpeakers; ++k) {
        if (!listener && k != s.nIndex)
            continue;
        float dx, dy;
        {
            auto lock = LockStore();
            dx = g_SoundField.fSpeakerX[k] - g_SoundField.fListenerX;
            dy = g_SoundField.fSpeakerY[k] - g_SoundField.fListenerY;
        }
        SetSurroundLevel(k, SurroundLevelAt(dx, dy));
    }
}

WriteResult Fail(std::string why) {
    return {false, std::move(why)};
}

} // namespace

std::span<const Setting> Settings() {
    return Rows();
}

const Setting* FindSetting(std::string_view name) {
    const std::string wanted = Upper(name);
    for (const Setting& s : Rows())
        if (s.strName == wanted)
            return &s;
    return nullptr;
}

const Setting* SlotSetting(int slot) {
    static const std::array<const Setting*, SET_COUNT> bySlot = [] {
        std::array<const Setting*, SET_COUNT> t{};
        for (const Setting& s : Rows())
            if (s.target == SettingTarget::Slot)
                t[static_cast<size_t>(s.nIndex)] = &s;
        return t;
    }();
    return slot >= 0 && slot < SET_COUNT ? bySlot[static_cast<size_t>(slot)] : nullptr;
}

double ValueOfPos(const Setting& s, int pos) {
    if (s.fOffset == 0 && s.fFactor == 1)
        return s.nDiv == 1 ? pos : pos / static_cast<double>(s.nDiv); // as the pages divide
    return s.fOffset + s.fFactor * pos / s.nDiv;
}

int PosOfValue(const Setting& s, double value) {
    const double pos = (value - s.fOffset) * s.nDiv / s.fFactor;
    if (std::isnan(pos))
        return s.nMin;
    return static_cast<int>(
        std::round(std::clamp(pos, static_cast<double>(s.nMin), static_cast<double>(s.nMax))));
}

double ReadValue(const Setting& s) {
    auto lock = LockStore();
    switch (s.target) {
    case SettingTarget::Slot: {
        const int32_t v = g_Param.nSetting[static_cast<size_t>(s.nIndex)];
        if (!s.bFloat)
            return v;
        const double f = BitsFloat(static_cast<uint32_t>(v));
        return SlotHoldsPos(s) ? s.fOffset + s.fFactor * f / s.nDiv : f;
    }
    case SettingTarget::SurroundLevel:
        return ChannelSurroundLevel(s.nIndex);
    case SettingTarget::RoomWidth:
        return g_SoundField.nRoomWidth;
    case SettingTarget::RoomLength:
        return g_SoundField.nRoomLength;
    case SettingTarget::MicBoostGain:
        return -static_cast<double>(MicBoostGain()) + 0.0;
    case SettingTarget::LpfFrequency:
        return ReadBand(kEqGroupLpf, 0).fFreq;
    default:
        return SoundFieldValue(s);
    }
}

std::string FormatValue(const Setting& s, double value) {
    if (s.kind == SettingKind::Switch || s.kind == SettingKind::Choice) {
        const double i = std::round(value);
        if (i == value && i >= 0 && i < static_cast<double>(s.choices.size()))
            return s.choices[static_cast<size_t>(i)];
        return Number(value);
    }
    if (s.szOff && value == ValueOfPos(s, s.nMin))
        return s.szOff;
    char buf[64];
    std::snprintf(buf, sizeof buf, s.szFormat, value);
    return buf;
}

std::optional<double> ParseValue(const Setting& s, std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    const std::string upper = Upper(text);
    for (size_t i = 0; i < s.choices.size(); ++i)
        if (upper == Upper(s.choices[i]))
            return static_cast<double>(i);
    if (s.szOff && upper == Upper(s.szOff))
        return ValueOfPos(s, s.nMin);
    // The unit the value text or dump puts after the number.
    for (std::string_view unit : {std::string_view(s.szUnit), std::string_view("%")}) {
        const std::string u = Upper(unit);
        if (!u.empty() && upper.size() > u.size() &&
            upper.compare(upper.size() - u.size(), u.size(), u) == 0) {
            std::string_view number = text.substr(0, text.size() - u.size());
            while (!number.empty() && number.back() == ' ')
                number.remove_suffix(1);
            return PlainNumber(number);
        }
    }
    return PlainNumber(text);
}

WriteResult CheckRange(const Setting& s, double value) {
    if (s.nLeader >= 0)
        return Fail(s.strName + " is set along with " + SlotName(s.nLeader) + "; set that instead");
    if (!std::isfinite(value))
        return Fail(RangeText(s));
    if (s.kind == SettingKind::Route)
        return value == 0 || value == 100 ? WriteResult{} : Fail(RangeText(s));
    const double pos = (value - s.fOffset) * s.nDiv / s.fFactor;
    const double whole = std::round(pos);
    if (whole < s.nMin || whole > s.nMax ||
        std::fabs(ValueOfPos(s, static_cast<int>(whole)) - value) > Tolerance(s))
        return Fail(RangeText(s));
    return {};
}

WriteResult CheckValue(const Setting& s, double value) {
    if (WriteResult r = CheckRange(s, value); !r.bOk || !IsPosition(s))
        return r;
    const bool x = s.target == SettingTarget::ListenerX || s.target == SettingTarget::SpeakerX;
    int room;
    {
        auto lock = LockStore();
        room = x ? g_SoundField.nRoomWidth : g_SoundField.nRoomLength;
    }
    // As the page holds a size from the processor or a file: whole metres 1..10.
    const double half = std::clamp(room, 1, 10) / 2.0;
    if (std::fabs(ValueOfPos(s, PosOfValue(s, value))) > half + 1e-9)
        return Fail(s.strName + " takes " + Number(-half) + " to " + Number(half) + " m in a room " +
                    Number(2 * half) + " m " + (x ? "wide" : "long"));
    return {};
}

WriteResult WriteValue(const Setting& s, double value) {
    if (WriteResult r = CheckValue(s, value); !r.bOk)
        return r;
    const int pos = s.kind == SettingKind::Route ? static_cast<int>(value) : PosOfValue(s, value);
    if (IsPosition(s)) {
        const float metres = static_cast<float>(ValueOfPos(s, pos));
        {
            auto lock = LockStore();
            SoundFieldValue(s) = metres;
        }
        EncodeAndSendSoundFieldBlock();
        FollowPosition(s);
        return {};
    }
    switch (s.target) {
    case SettingTarget::Slot:
        if (SlotHoldsPos(s))
            EditSlot(s.nIndex, static_cast<int32_t>(FloatBits(static_cast<float>(pos))));
        else if (s.bFloat)
            EditSlot(s.nIndex, static_cast<int32_t>(FloatBits(static_cast<float>(ValueOfPos(s, pos)))));
        else
            EditSlot(s.nIndex, pos);
        return {};
    case SettingTarget::SurroundLevel:
        SetChannelSurroundLevel(s.nIndex, static_cast<float>(ValueOfPos(s, pos)));
        return {};
    case SettingTarget::RoomWidth:
    case SettingTarget::RoomLength: {
        {
            auto lock = LockStore();
            (s.target == SettingTarget::RoomWidth ? g_SoundField.nRoomWidth : g_SoundField.nRoomLength) = pos;
        }
        EncodeAndSendSoundFieldBlock();
        return {};
    }
    case SettingTarget::MicBoostGain:
        // No boost is +0.0, the bytes 00 00, never the negative zero of -0.
        SetMicBoostGain(pos == 0 ? 0.0f : -static_cast<float>(pos));
        return {};
    case SettingTarget::LpfFrequency:
        SetLpfFrequency(pos);
        return {};
    default:
        return {};
    }
}
