#include "cli/Script.h"

#include "cli/AutoEqCommand.h"
#include "cli/Dump.h"
#include "cli/Language.h"
#include "cli/Outcome.h"
#include "cli/Progress.h"
#include "cli/Suggest.h"
#include "files/ModeFile.h"
#include "link/Transport.h"
#include "model/Defaults.h"
#include "model/EqIo.h"
#include "model/ParamStore.h"
#include "model/Schema.h"
#include "model/Setters.h"
#include "model/StoreProbe.h"
#include "sync/ReadGaps.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>

namespace {

enum Exit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitFile = 3 };

int UsageError(const std::string& why) {
    std::cerr << "m7qctl: " << why << "\n";
    return kExitUsage;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string UnknownSetting(const std::string& typed) {
    const std::vector<std::string> names = SettingNames();
    NearestNames nearest = Nearest(typed, names);
    // A name typed without its "SET_".
    if (Upper(typed).rfind("SET_", 0) != 0)
        if (NearestNames full = Nearest("SET_" + typed, names);
            !full.names.empty() && (nearest.names.empty() || full.nDistance < nearest.nDistance))
            nearest = std::move(full);
    if (!nearest.names.empty())
        return Say("unknown setting \"" + typed + "\"", "没有名为 “" + typed + "” 的设置") +
               DidYouMean(nearest);
    return Say("unknown setting \"" + typed +
                   "\"; the names are those m7qctl dump prints, such as SET_MIC_LEVEL[2]",
               "没有名为 “" + typed + "” 的设置；设置名即 m7qctl dump 打印的名字，例如 SET_MIC_LEVEL[2]");
}

// Mode files hold the music source as the console numbers it.
std::string MusicSourceName(int32_t source) {
    static const char* const kNames[] = {"SPDIF", "coaxial", "HDMI", "Bluetooth", "AUX 1", "AUX 2"};
    return std::to_string(source) +
           (source >= 0 && source <= 5 ? std::string(" (") + kNames[source] + ")" : "");
}

const char* PlainTypeName(int type) {
    static const char* const kNames[] = {"OFF", "PEQ", "LP", "HP", "LS", "HS"};
    return type >= 0 && type <= EQ_HS ? kNames[type] : "OFF";
}

std::string EqTitle(int eq) {
    return std::string(kEqNumbers[eq].szName) + " (" + kEqShortNames[eq] + ")";
}

std::string EqText(int eq, bool bJson) {
    const std::vector<EqBandSetting> bands = ReadEqBandSettings(eq);
    std::ostringstream out;
    if (bJson) {
        out << "{\"eq\":" << DumpJsonString(kEqShortNames[eq])
            << ",\"name\":" << DumpJsonString(kEqNumbers[eq].szName) << ",\"bands\":[";
        for (size_t b = 0; b < bands.size(); ++b) {
            const EqBandSetting& s = bands[b];
            out << (b ? "," : "") << "{\"band\":" << b + 1
                << ",\"type\":" << DumpJsonString(PlainTypeName(s.nType))
                << ",\"gain_db\":" << DumpNumber(s.fGain) << ",\"freq_hz\":" << DumpNumber(s.fFreq)
                << ",\"q\":" << DumpNumber(s.fQ);
            if (!s.strSpecial.empty())
                out << ",\"special\":" << DumpJsonString(s.strSpecial);
            out << "}";
        }
        out << "]}\n";
    } else {
        out << EqTitle(eq) << "\n";
        for (size_t b = 0; b < bands.size(); ++b) {
            const EqBandSetting& s = bands[b];
            char line[128];
            std::snprintf(line, sizeof line, "band %2zu: %-3s %+5.1f dB %6.0f Hz  Q %.3f", b + 1,
                          PlainTypeName(s.nType), s.fGain, s.fFreq, s.fQ);
            out << line;
            if (!s.strSpecial.empty())
                out << "  (" << s.strSpecial << ")";
            out << "\n";
        }
    }
    return out.str();
}

std::string GetText(const std::vector<const Setting*>& settings, bool bJson) {
    std::ostringstream out;
    if (bJson) {
        out << "{";
        for (size_t i = 0; i < settings.size(); ++i)
            out << (i ? "," : "") << DumpJsonString(settings[i]->strName) << ":"
                << DumpNumber(ReadValue(*settings[i]));
        out << "}\n";
    } else {
        for (const Setting* s : settings)
            out << SettingLine(*s) << "\n";
    }
    return out.str();
}

std::string SlotLine(int slot) {
    const Setting* s = SlotSetting(slot);
    return s ? SettingLine(*s) : SlotName(slot);
}

std::string ExportText(int eq) {
    return WriteFilterText(ReadEqBandSettings(eq), EqTitle(eq));
}

// What a job shows: the text it prints or exports; "" for the jobs that edit.
std::string ShownText(const ScriptJob& job) {
    switch (job.kind) {
    case ScriptJob::Kind::Get:
        return GetText(job.settings, job.bJson);
    case ScriptJob::Kind::EqShow:
        return EqText(job.nEq, job.bJson);
    case ScriptJob::Kind::EqExport:
        return ExportText(job.nEq);
    default:
        return {};
    }
}

int SlotValueNow(int slot) {
    auto lock = LockStore();
    return g_Param.nSetting[slot];
}

// The job's edits, as the window makes them; each item (a setting, a band) is announced first.
EqApplyResult ApplyEdits(const ScriptJob& job,
                         const std::function<void(const std::string&)>& beforeItem = {}) {
    const auto band = [&beforeItem](int b) {
        if (beforeItem)
            beforeItem("band " + std::to_string(b + 1));
    };
    if (job.kind == ScriptJob::Kind::EqImport) {
        const EqApplyResult r = ApplyEqBands(job.nEq, job.filters.bands, band);
        // --preamp apply: the channel's level goes down by the filters' Preamp, after the bands.
        const int level = EqLevelSlot(job.nEq);
        if (r.bOk && job.bApplyPreamp && job.filters.fPreampDb < 0 && SlotValueNow(level) > 0) {
            if (beforeItem)
                beforeItem(SlotName(level));
            LowerLevelForPreamp(job.nEq, job.filters.fPreampDb);
        }
        return r;
    }
    if (job.kind == ScriptJob::Kind::EqFit) // the bands FitOnStore read back from their text
        return ApplyEqBands(job.nEq, job.fit->outcome.bands, band);
    for (const ScriptSet& set : job.sets) {
        if (beforeItem)
            beforeItem(set.pSetting->strName);
        WriteValue(*set.pSetting, set.fValue); // checked when the job was prepared
    }
    return {true, 0, false};
}

// What the store allows of the values set, now that it holds the processor's or the file's values
// (a sound-field position lies inside the room): says what is wrong and gives false.
bool SetsFitStore(const ScriptJob& job, const char* nothing) {
    for (const ScriptSet& set : job.sets)
        if (const WriteResult r = CheckValue(*set.pSetting, set.fValue); !r.bOk) {
            std::cerr << "m7qctl: " << r.strError << "; " << nothing << "\n";
            return false;
        }
    return true;
}

int ExportTo(const ScriptJob& job, const std::string& text) {
    const FileResult r = WriteFilterFile(job.strPath, text);
    if (!r.bOk) {
        std::cerr << "m7qctl: " << r.strError << "\n";
        return kExitFile;
    }
    std::cout << "exported " << kEqShortNames[job.nEq] << " to " << job.strPath << "\n";
    return kExitOk;
}

void PrintImported(const ScriptJob& job, const EqApplyResult& r) {
    if (job.kind == ScriptJob::Kind::EqFit) {
        PrintEqFit(job.nEq, *job.fit, job.bJson);
        return;
    }
    std::cout << "imported " << job.filters.nFilters << " filter" << (job.filters.nFilters == 1 ? "" : "s")
              << " into " << kEqShortNames[job.nEq] << " (" << r.nBandsWritten << " bands written)\n";
    if (r.bCrossoverKept)
        std::cout << "band " << kCrossoverBand + 1 << " keeps its crossover: no filter line names it\n";
    if (job.bApplyPreamp && job.filters.fPreampDb < 0) {
        auto lock = LockStore();
        std::cout << SlotLine(EqLevelSlot(job.nEq)) << " (lowered for the filters' Preamp "
                  << DumpNumber(job.filters.fPreampDb) << " dB)\n";
    }
}

// Shows a job's text, or, for an edit, prints what it set.
int Finish(const ScriptJob& job, const EqApplyResult& applied) {
    switch (job.kind) {
    case ScriptJob::Kind::Get:
    case ScriptJob::Kind::EqShow:
        std::cout << ShownText(job);
        return kExitOk;
    case ScriptJob::Kind::EqExport:
        return ExportTo(job, ExportText(job.nEq));
    case ScriptJob::Kind::Set:
        for (const ScriptSet& set : job.sets)
            std::cout << SettingLine(*set.pSetting) << "\n";
        return kExitOk;
    case ScriptJob::Kind::EqFit:
        if (job.fit->bDryRun) {
            PrintEqFit(job.nEq, *job.fit, job.bJson);
            return kExitOk;
        }
        [[fallthrough]];
    case ScriptJob::Kind::EqImport:
        if (!applied.bOk) {
            std::cerr << "m7qctl: the filters do not fit " << kEqShortNames[job.nEq] << "\n";
            return kExitFile;
        }
        PrintImported(job, applied);
        return kExitOk;
    }
    return kExitUsage;
}

// ---- On the processor -----------------------------------------------------------------------------

int GetOnDevice(const ScriptJob& job, const ReadGaps& gaps) {
    std::vector<const Setting*> shown;
    std::vector<Report> missing;
    for (const Setting* s : job.settings) {
        const std::vector<Report> feeding = ReadsFeeding(gaps.reads, [s] { return GetText({s}, false); });
        if (feeding.empty())
            shown.push_back(s);
        for (const Report& r : feeding)
            if (std::find(missing.begin(), missing.end(), r) == missing.end())
                missing.push_back(r);
    }
    std::cout << GetText(shown, job.bJson);
    if (missing.empty())
        return kExitOk;
    std::string names;
    for (const Setting* s : job.settings)
        if (std::find(shown.begin(), shown.end(), s) == shown.end())
            names += (names.empty() ? "" : ", ") + s->strName;
    std::cerr << "m7qctl: not printed, the processor's value never came: " << names << " ("
              << (gaps.bLinkLost ? "the link to the processor was lost; " : "") << "no answer for "
              << NameReads(missing) << ")\n";
    return kExitDevice;
}

int EditOnDevice(const ScriptJob& job, CConnection& conn, const CAnswerLog& log) {
    CUsbLink& link = conn.Link();
    NamedOutcomes items;
    std::vector<CAnswerLog::Mark> marks;
    EqApplyResult applied;
    {
        const CAnswerLog::Mark start = log.Here(link);
        const CWaitNotice notice(Say("sending the changes", "正在发送更改"),
                                 [&log, start] { return log.Since(start); });
        applied = ApplyEdits(job, [&](const std::string& item) {
            items.push_back({item, ItemOutcome::NotSent});
            marks.push_back(log.Here(link));
        });
        link.AwaitReply();
    }
    marks.push_back(log.Here(link));
    for (size_t i = 0; i < items.size(); ++i)
        items[i].second = log.Between(marks[i], marks[i + 1]);
    if (job.kind == ScriptJob::Kind::Set) {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].second == ItemOutcome::Applied)
                std::cout << SettingLine(*job.sets[i].pSetting) << "\n";
    } else if (applied.bOk && AllApplied(items)) {
        PrintImported(job, applied);
    }
    if (!applied.bOk)
        return Finish(job, applied);
    if (AllApplied(items))
        return kExitOk;
    const std::string what =
        job.kind == ScriptJob::Kind::Set
            ? "set"
            : std::string(job.kind == ScriptJob::Kind::EqFit ? "eq fit into " : "eq import into ") +
                  kEqShortNames[job.nEq];
    std::cerr << "m7qctl: "
              << Say(what + " did not finish (" + WhyUnfinished(link) + "): ",
                     what + " 没有完成（" + WhyUnfinished(link) + "）：")
              << DescribeOutcomes(items) << "\n";
    return kExitDevice;
}

// ---- On a mode file -------------------------------------------------------------------------------

// Which bytes of a version-8 image a file holds.
std::vector<bool> HeldBytes(std::span<const uint8_t> bytes) {
    std::vector<bool> held(kModeFileSize, false);
    for (const ModeFileArea& area : ModeFileAreasHeld(bytes))
        std::fill_n(held.begin() + static_cast<std::ptrdiff_t>(area.nAt8), area.nLength, true);
    return held;
}

// What a byte of a version-8 image belongs to, for messages.
std::string ByteOwner(size_t at) {
    if (at < kModeFileImageAt)
        return SlotName(static_cast<int>((at - kModeFileSlotsAt) / 4));
    if (at < kModeFileSurroundAt)
        return "processor memory " + std::to_string(at - kModeFileImageAt);
    if (at < kModeFileSoundFieldAt)
        return "the surround levels";
    if (at < kModeFileMicBoostAt)
        return "the sound field";
    return "the microphone boost gain";
}

} // namespace

std::vector<std::string> EqVerbs() {
    return {"show", "export", "import", "fit"};
}

std::vector<std::string> SettingNames() {
    std::vector<std::string> names;
    for (const Setting& s : Settings())
        names.push_back(s.strName);
    return names;
}

std::string OversizedFileText(const std::string& path, int version) {
    const std::string size = std::to_string(ModeFileSizeOf(version));
    return Say(path + " goes on past the " + size + " bytes of a version " + std::to_string(version) +
                   " mode file",
               path + " 超出了第 " + std::to_string(version) + " 版模式文件的 " + size + " 字节");
}

bool IsScriptCommand(const std::string& command) {
    return command == "get" || command == "set" || command == "eq";
}

int PrepareScript(const std::vector<std::string>& given, bool bJson, ScriptJob& job) {
    job = ScriptJob{};
    job.bJson = bJson;
    // "--preamp apply" (eq import) comes through among the arguments.
    std::vector<std::string> args;
    for (size_t i = 0; i < given.size(); ++i) {
        if (given[i] != "--preamp") {
            args.push_back(given[i]);
            continue;
        }
        if (i + 1 >= given.size() || given[i + 1] != "apply")
            return UsageError(Say("--preamp takes apply", "--preamp 后面是 apply"));
        job.bApplyPreamp = true;
        ++i;
    }
    const std::string& cmd = args.at(0);
    if (job.bApplyPreamp && (cmd != "eq" || args.size() < 2 || args[1] != "import"))
        return UsageError(Say("--preamp apply belongs to eq import", "--preamp apply 只用于 eq import"));
    if (cmd == "get") {
        job.kind = ScriptJob::Kind::Get;
        if (args.size() < 2)
            return UsageError(Say("get takes one or more setting names, such as SET_MIC_VOLUME",
                                  "get 接一个或多个设置名，例如 SET_MIC_VOLUME"));
        for (size_t i = 1; i < args.size(); ++i) {
            const Setting* s = FindSetting(args[i]);
            if (!s)
                return UsageError(UnknownSetting(args[i]));
            job.settings.push_back(s);
        }
        return kExitOk;
    }
    if (cmd == "set") {
        job.kind = ScriptJob::Kind::Set;
        if (bJson)
            return UsageError(Say("--json belongs to dump, get, eq show and eq fit",
                                  "--json 只用于 dump、get、eq show 和 eq fit"));
        if (args.size() < 3 || args.size() % 2 == 0)
            return UsageError(Say("set takes pairs of a setting name and a value, such as SET_MIC_VOLUME 60",
                                  "set 接成对的设置名和值，例如 SET_MIC_VOLUME 60"));
        for (size_t i = 1; i + 1 < args.size(); i += 2) {
            const Setting* s = FindSetting(args[i]);
            if (!s)
                return UsageError(UnknownSetting(args[i]));
            const std::optional<double> v = ParseValue(*s, args[i + 1]);
            if (!v)
                return UsageError(s->strName + Say(": \"" + args[i + 1] + "\" is not a number",
                                                   "：“" + args[i + 1] + "” 不是数字"));
            if (const WriteResult check = CheckRange(*s, *v); !check.bOk)
                return UsageError(check.strError);
            job.sets.push_back({s, *v});
        }
        return kExitOk;
    }
    if (IsEqFitCommand(args)) {
        job.kind = ScriptJob::Kind::EqFit;
        job.fit = std::make_shared<EqFitJob>();
        return PrepareEqFit(args, bJson, *job.fit, job.nEq);
    }
    // eq show|export|import EQ [FILE]
    const std::vector<std::string> verbs = EqVerbs();
    if (args.size() >= 2 && std::find(verbs.begin(), verbs.end(), args[1]) == verbs.end())
        return UsageError(Say("eq takes show, export, import or fit, not \"" + args[1] + "\"",
                              "eq 后面是 show、export、import 或 fit，而不是 “" + args[1] + "”") +
                          DidYouMean(args[1], verbs));
    if (args.size() < 3)
        return UsageError(Say("eq takes show EQ, export EQ FILE, import EQ FILE or fit EQ MEASUREMENT...",
                              "eq 的用法：show EQ、export EQ FILE、import EQ FILE 或 fit EQ MEASUREMENT..."));
    const std::string& verb = args[1];
    job.nEq = EqFromShortName(args[2]);
    if (verb == "show") {
        job.kind = ScriptJob::Kind::EqShow;
        if (args.size() != 3)
            return UsageError(Say("eq show takes one equaliser", "eq show 只接一个均衡器"));
    } else {
        job.kind = verb == "export" ? ScriptJob::Kind::EqExport : ScriptJob::Kind::EqImport;
        if (args.size() != 4)
            return UsageError(Say("eq " + verb + " takes an equaliser and a file",
                                  "eq " + verb + " 接一个均衡器和一个文件"));
        if (bJson)
            return UsageError(Say("--json belongs to dump, get, eq show and eq fit",
                                  "--json 只用于 dump、get、eq show 和 eq fit"));
        job.strPath = args[3];
    }
    if (job.nEq < 0) {
        const std::string near =
            DidYouMean(args[2], std::vector<std::string>(kEqShortNames.begin(), kEqShortNames.end()));
        return UsageError(
            Say("unknown equaliser \"" + args[2] + "\"", "没有名为 “" + args[2] + "” 的均衡器") +
            (near.empty() ? Say("; the equalisers are ", "；均衡器有 ") + EqShortNameList() : near));
    }
    if (job.bApplyPreamp && EqLevelSlot(job.nEq) < 0)
        return UsageError(std::string(kEqShortNames[job.nEq]) +
                          Say(" has no level of its own; --preamp apply works on out1..out8",
                              " 没有自己的音量；--preamp apply 只用于 out1..out8"));
    if (job.kind == ScriptJob::Kind::EqImport) {
        job.filters = ReadFilterFile(job.strPath, EqUserBands(job.nEq));
        const std::string where = job.strPath + ": ";
        if (!job.filters.bOk) {
            std::cerr << "m7qctl: " << (job.filters.error.nLine > 0 ? where : "")
                      << FormatFilterNote(job.filters.error) << "\n"
                      << "m7qctl: nothing was changed\n";
            return kExitFile;
        }
        // The Preamp's advice, unless --preamp apply follows it.
        const bool applying = job.bApplyPreamp && job.filters.fPreampDb < 0;
        std::vector<FilterTextNote> notes =
            applying ? job.filters.warnings : ImportNotes(job.filters, job.nEq);
        if (!applying && job.filters.fPreampDb < 0 && EqLevelSlot(job.nEq) >= 0)
            notes.back().strText += ", or add --preamp apply";
        for (const FilterTextNote& note : notes)
            std::cerr << "m7qctl: " << where << FormatFilterNote(note) << "\n";
        if (job.bApplyPreamp && job.filters.nPreampLine == 0)
            std::cerr << "m7qctl: " << where << "no Preamp line; --preamp apply changes no level\n";
    }
    return kExitOk;
}

bool ScriptChangesStore(const ScriptJob& job) {
    return job.kind == ScriptJob::Kind::Set || job.kind == ScriptJob::Kind::EqImport ||
           (job.kind == ScriptJob::Kind::EqFit && job.fit && !job.fit->bDryRun);
}

int RunScriptOnDevice(const ScriptJob& job, CConnection& conn, const CAnswerLog& log, const ReadGaps& gaps) {
    if (job.kind == ScriptJob::Kind::Get)
        return GetOnDevice(job, gaps);
    if (job.kind == ScriptJob::Kind::EqFit)
        if (const int status = FitOnStore(job.nEq, *job.fit); status != kExitOk)
            return status;
    if (!ScriptChangesStore(job)) {
        // Shown whole or not at all: an equaliser is one list of bands.
        const std::vector<Report> feeding = ReadsFeeding(gaps.reads, [&job] { return ShownText(job); });
        if (!feeding.empty()) {
            std::cerr << "m7qctl: " << kEqShortNames[job.nEq] << " is not "
                      << (job.kind == ScriptJob::Kind::EqShow ? "shown" : "exported")
                      << ", the processor's bands never came ("
                      << (gaps.bLinkLost ? "the link to the processor was lost; " : "") << "no answer for "
                      << NameReads(feeding) << ")\n";
            return kExitDevice;
        }
        return Finish(job, {});
    }
    if (gaps.bLinkLost) {
        std::cerr << "m7qctl: " << DescribeGaps(gaps) << "; nothing was sent\n";
        return kExitDevice;
    }
    if (!SetsFitStore(job, "nothing was sent"))
        return kExitUsage;
    // An edit may send values it did not set itself (a compressor block, a band's kept frequency).
    const std::vector<Report> feeding = ReadsFeeding(gaps.reads, [&job] {
        ApplyEdits(job);
        return std::string();
    });
    if (!feeding.empty()) {
        std::cerr << "m7qctl: what this would send holds values the processor never sent: no answer for "
                  << NameReads(feeding) << " after asking " << kAskAgainTimes
                  << " more times; nothing was sent\n";
        return kExitDevice;
    }
    return EditOnDevice(job, conn, log);
}

int RunScriptOnFile(const ScriptJob& job, const std::string& path) {
    std::vector<uint8_t> bytes;
    const ModeFileResult loaded = ReadModeFile(path, bytes);
    if (!loaded.bOk) {
        std::cerr << "m7qctl: " << loaded.strError << "\n";
        return kExitFile;
    }
    // Written back, a file would lose what follows its version's end.
    if (loaded.bOversized && ScriptChangesStore(job)) {
        std::cerr << "m7qctl: " << OversizedFileText(path, loaded.nVersion)
                  << Say(": saving it would drop the rest; nothing was changed\n",
                         "：保存会丢掉多出的部分；文件未改动\n");
        return kExitFile;
    }
    if (loaded.bOversized)
        std::cerr << "m7qctl: " << OversizedFileText(path, loaded.nVersion)
                  << Say("; the rest is not read\n", "；多出的部分不读\n");
    // A source the file cannot keep: every reader of mode files (restore, the console's Open) turns
    // it into 0, so the file would not hold what was asked.
    for (const ScriptSet& set : job.sets)
        if (set.pSetting->target == SettingTarget::Slot && set.pSetting->nIndex == SET_MUSIC_SOURCE &&
            !ModeFileKeepsMusicSource(static_cast<int32_t>(set.fValue))) {
            std::cerr
                << "m7qctl: "
                << Say("a mode file cannot keep the music source " +
                           MusicSourceName(static_cast<int32_t>(set.fValue)) +
                           ": reading it (restore, the console's Open) turns 2, 3 and 5 into 0 (SPDIF); "
                           "a file keeps 0 (SPDIF), 1 (coaxial) and 4 (AUX 1). Set it on the "
                           "processor instead; nothing was changed",
                       "模式文件存不住音源 " + MusicSourceName(static_cast<int32_t>(set.fValue)) +
                           "：读取模式文件时（restore、控制台的打开文件）2、3、5 都会变成 0 (SPDIF)；"
                           "文件只能存 0 (SPDIF)、1 (同轴) 和 4 (AUX 1)。请直接在处理器上设置；文件未改动")
                << "\n";
            return kExitUsage;
        }
    ResetStoreAtStartup();
    LoadModeFileFromBytes(bytes);
    if (job.kind == ScriptJob::Kind::EqFit)
        if (const int status = FitOnStore(job.nEq, *job.fit); status != kExitOk)
            return status;
    const std::vector<bool> held = HeldBytes(bytes);
    const bool old = loaded.nVersion != kModeFileVersion || loaded.bTruncated;
    const std::string what =
        path + (loaded.bTruncated ? " (shorter than its version says)" : "") +
        (loaded.nVersion != kModeFileVersion ? " (a version " + std::to_string(loaded.nVersion) + " file)"
                                             : "");
    // What the file does not hold is a start-up value here, not the file's: set to others, it must
    // change nothing that is shown or saved.
    const auto alterAbsent = [&held](int variant) {
        std::vector<uint8_t> image = BuildModeFileBytes();
        for (size_t at = kModeFileSlotsAt; at < image.size(); ++at)
            if (!held[at])
                image[at] = static_cast<uint8_t>(variant == 0   ? 0x35 + 7 * at
                                                 : variant == 1 ? 0x5A + 13 * at
                                                                : 0);
        LoadModeFileFromBytes(image);
    };
    if (!ScriptChangesStore(job)) {
        if (!old)
            return Finish(job, {});
        if (job.kind == ScriptJob::Kind::Get) {
            std::vector<const Setting*> shown;
            std::string absent;
            for (const Setting* s : job.settings)
                if (OutcomeDependsOn(alterAbsent, [s] { return GetText({s}, false); }))
                    absent += (absent.empty() ? "" : ", ") + s->strName;
                else
                    shown.push_back(s);
            std::cout << GetText(shown, job.bJson);
            if (absent.empty())
                return kExitOk;
            std::cerr << "m7qctl: " << what << " does not hold " << absent << "\n";
            return kExitFile;
        }
        if (OutcomeDependsOn(alterAbsent, [&job] { return ShownText(job); })) {
            std::cerr << "m7qctl: " << what << " does not hold every band of " << kEqShortNames[job.nEq]
                      << "\n";
            return kExitFile;
        }
        return Finish(job, {});
    }
    if (!SetsFitStore(job, "nothing was changed"))
        return kExitUsage;
    const std::vector<uint8_t> before = BuildModeFileBytes();
    if (old && OutcomeDependsOn(alterAbsent, [&job, &bytes] {
            ApplyEdits(job);
            const std::vector<uint8_t> out = UpdateModeFileBytes(bytes);
            return std::string(out.begin(), out.end());
        })) {
        std::cerr << "m7qctl: the change would take values " << what
                  << " does not hold; nothing was changed\n";
        return kExitFile;
    }
    const EqApplyResult applied = ApplyEdits(job);
    const std::vector<uint8_t> after = BuildModeFileBytes();
    for (size_t at = kModeFileSlotsAt; at < after.size(); ++at)
        if (after[at] != before[at] && !held[at]) {
            std::cerr << "m7qctl: " << what << " does not hold " << ByteOwner(at)
                      << "; nothing was changed\n";
            return kExitFile;
        }
    if (!applied.bOk)
        return Finish(job, applied);
    const FileResult saved = SaveModeFileBytes(path, UpdateModeFileBytes(bytes));
    if (!saved.bOk) {
        std::cerr << "m7qctl: " << saved.strError << "\n";
        return kExitFile;
    }
    return Finish(job, applied);
}
