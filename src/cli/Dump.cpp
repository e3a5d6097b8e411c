#include "cli/Dump.h"

#include "model/Compound.h"
#include "model/Diff.h"
#include "model/ParamStore.h"
#include "model/Schema.h"
#include "model/Setters.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

std::string SettingLine(const Setting& s) {
    return s.strName + " = " + DumpNumber(ReadValue(s)) + (s.szUnit[0] ? " " : "") + s.szUnit;
}

std::string DumpNumber(double v) {
    return DiffNumber(v);
}

std::string DumpJsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            continue;
        }
        out += c;
    }
    return out + "\"";
}

namespace {

std::string Num(double v) {
    return DumpNumber(v);
}

std::string JsonString(const std::string& s) {
    return DumpJsonString(s);
}

struct EqView {
    std::string name;
    int group, first, bands;
};

std::vector<EqView> AllEqs() {
    std::vector<EqView> eqs;
    for (const EqNumberInfo& e : kEqNumbers)
        eqs.push_back({e.szName, e.nGroup, e.nFirstBand, e.nGroup >= MOD_OUT1 ? 15 : e.nBands});
    eqs.push_back({"LPF", kEqGroupLpf, 0, 1});
    return eqs;
}

const char* ImageGroup(const Setting& s) {
    switch (s.target) {
    case SettingTarget::Slot:
        return nullptr;
    case SettingTarget::SurroundLevel:
        return "surround levels";
    case SettingTarget::MicBoostGain:
        return "mic boost";
    case SettingTarget::LpfFrequency:
        return "low-frequency path";
    default:
        return "sound field";
    }
}

} // namespace

std::string DumpText() {
    auto lock = LockStore();
    std::ostringstream out;
    out << "[slots]\n";
    for (const Setting& s : Settings())
        if (s.target == SettingTarget::Slot)
            out << SettingLine(s) << "\n";
    for (const EqView& eq : AllEqs()) {
        out << "\n[" << eq.name << "]\n";
        for (int b = 0; b < eq.bands; ++b) {
            const BandValues v = ReadBand(eq.group, eq.first + b);
            char line[128];
            // Numbered from 1, as eq show and the band editor number them; + 0.0f: no "-0.0".
            std::snprintf(line, sizeof line, "band %2d: %+5.1f dB %6.0f Hz Q %.3f %s\n", b + 1,
                          v.fGain + 0.0f, v.fFreq + 0.0f, v.fQ + 0.0f, SectionTypeName(v.nType).c_str());
            out << line;
        }
    }
    // The image's settings, under the heading of their group.
    const char* heading = nullptr;
    for (const Setting& s : Settings()) {
        const char* group = ImageGroup(s);
        if (!group)
            continue;
        if (group != heading)
            out << "\n[" << (heading = group) << "]\n";
        out << SettingLine(s) << "\n";
    }
    return out.str();
}

std::string DumpJson() {
    auto lock = LockStore();
    std::ostringstream out;
    out << "{\"slots\":{";
    bool first = true;
    for (const Setting& s : Settings()) {
        if (s.target != SettingTarget::Slot)
            continue;
        out << (first ? "" : ",") << JsonString(s.strName) << ":" << Num(ReadValue(s));
        first = false;
    }
    out << "},\"eqs\":[";
    first = true;
    for (const EqView& eq : AllEqs()) {
        out << (first ? "" : ",") << "{\"name\":" << JsonString(eq.name) << ",\"bands\":[";
        for (int b = 0; b < eq.bands; ++b) {
            const BandValues v = ReadBand(eq.group, eq.first + b);
            out << (b ? "," : "") << "{\"band\":" << b + 1 << ",\"gain_db\":" << Num(v.fGain)
                << ",\"freq_hz\":" << Num(v.fFreq) << ",\"q\":" << Num(v.fQ)
                << ",\"type\":" << JsonString(SectionTypeName(v.nType)) << "}";
        }
        out << "]}";
        first = false;
    }
    out << "],\"surround_levels_db\":[";
    for (int c = 0; c < kOutputChannels; ++c)
        out << (c ? "," : "") << Num(ChannelSurroundLevel(c));
    out << "],\"sound_field\":{\"room_width_m\":" << g_SoundField.nRoomWidth
        << ",\"room_length_m\":" << g_SoundField.nRoomLength << ",\"listener\":["
        << Num(g_SoundField.fListenerX) << "," << Num(g_SoundField.fListenerY) << "],\"speakers\":[";
    for (int k = 0; k < kSoundFieldSpeakers; ++k)
        out << (k ? "," : "") << "[" << Num(g_SoundField.fSpeakerX[k]) << ","
            << Num(g_SoundField.fSpeakerY[k]) << "]";
    out << "]},\"mic_boost_db\":" << Num(MicBoostGain()) << ",\"settings\":{";
    first = true;
    for (const Setting& s : Settings()) {
        if (s.target == SettingTarget::Slot)
            continue;
        out << (first ? "" : ",") << JsonString(s.strName) << ":" << Num(ReadValue(s));
        first = false;
    }
    out << "}}\n";
    return out.str();
}
