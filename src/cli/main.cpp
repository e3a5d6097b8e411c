// m7qctl: identify a processor, back up and restore presets, dump preset files, trace the link.
#include "cli/AutoEqCommand.h"
#include "cli/Complete.h"
#include "cli/DiffCommand.h"
#include "cli/Doctor.h"
#include "cli/Dump.h"
#include "cli/Help.h"
#include "cli/Identification.h"
#include "cli/Language.h"
#include "cli/Outcome.h"
#include "cli/Progress.h"
#include "cli/Script.h"
#include "cli/Suggest.h"
#include "dispatch/Dispatcher.h"
#include "files/ModeFile.h"
#include "link/Codec.h"
#include "link/Events.h"
#include "link/Timing.h"
#include "link/TraceFile.h"
#include "link/Transport.h"
#include "link/hidapi/HidapiBackend.h"
#include "model/Defaults.h"
#include "model/ParamStore.h"
#include "sim/SimBackend.h"
#include "sim/SimFaultList.h"
#include "sync/ReadGaps.h"
#include "sync/Sync.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The command line as read.
struct CliOptions {
    bool bSim = false;
    bool bFast = false;
    bool bJson = false;
    bool bFaults = false;
    bool bHelp = false;
    SimFaults faults;
    std::string strSimState;
    std::string strTrace;
    std::vector<std::string> args;
    std::string strFile; // get, set and eq on a mode file
    ScriptJob job;
    DiffJob diff;
};

namespace {

enum Exit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitFile = 3 };

constexpr double kFastScale = 0.02;

using Options = CliOptions;

// Every command: the usage text, help, COMMAND --help, "did you mean" and the shell completion read
// this one table (below the runners).
const std::vector<CommandRow>& Commands();
int OnProcessor(CliOptions& o);

constexpr OptionRow kOptions[] = {
    {"--sim", "", "", "talk to the built-in simulated processor instead of USB"},
    {"--sim-state", "", "FILE", "keep the simulated processor in FILE between runs (implies --sim)"},
    {"--sim-fault", "", "LIST",
     "make the simulated processor misbehave (implies --sim; the faults below); its counters go to "
     "stderr at the end"},
    {"--fast", "", "", "shorter settle delays; replies still pace every report"},
    {"--trace", "", "FILE",
     "write every report to FILE, one a line: > sent, < received, 61 hex bytes; it ends with "
     "\"# merged N\""},
    {"--file", "", "PRESET.vm3zt", "get, set and eq act on a mode file instead of the processor"},
    {"--json", "", "", "JSON output for dump, diff, verify, get, eq show and eq fit"},
    {"--preamp", "", "apply", "eq import: lower the output channel's level by the filters' Preamp"},
    {"--help", "-h", "", "this text; after a command, that command's help"},
    {"--version", "", "", "print the version and exit"},
};

std::vector<std::string> OptionNames() {
    std::vector<std::string> names;
    for (const OptionRow& row : kOptions) {
        names.push_back(row.szName);
        if (*row.szAlias)
            names.push_back(row.szAlias);
    }
    return names;
}

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const CommandRow& row : Commands())
        if (!row.bHidden)
            names.push_back(row.strName);
    return names;
}

const CommandRow* FindCommand(const std::string& name) {
    for (const CommandRow& row : Commands())
        if (row.strName == name)
            return &row;
    return nullptr;
}

std::string UsageText() {
    return UsageText(Commands(), kOptions);
}

// A usage error: why, and where the help is; without a why (no command at all) the whole usage text.
int Usage(const std::string& why) {
    if (why.empty()) {
        std::cerr << UsageText();
        return kExitUsage;
    }
    std::cerr << "m7qctl: " << why << "\n"
              << Say("m7qctl: `m7qctl help` lists the commands and options\n",
                     "m7qctl: `m7qctl help` 列出全部命令和选项\n");
    return kExitUsage;
}

// A command given wrongly: why, and how it is given.
int UsageOf(const std::string& command, const std::string& why) {
    std::cerr << "m7qctl: " << why << "\n";
    if (const CommandRow* row = FindCommand(command))
        std::cerr << SynopsisLines(*row);
    return kExitUsage;
}

int UnknownCommand(const std::string& typed) {
    return Usage(Say("unknown command \"" + typed + "\"", "未知命令 “" + typed + "”") +
                 DidYouMean(typed, CommandNames()));
}

// Messages the processor raises while we work.
class CliEvents : public IConsoleEvents {
public:
    void OnParamError(uint8_t code, uint8_t block, uint8_t param) override {
        char en[128], zh[128];
        std::snprintf(
            en, sizeof en,
            "the processor answered a request with an error (code 0x%02X, block 0x%02X, parameter 0x%02X)",
            code, block, param);
        std::snprintf(zh, sizeof zh, "处理器对请求回复了错误（代码 0x%02X，指令1 0x%02X，指令2 0x%02X）",
                      code, block, param);
        std::cerr << "m7qctl: " << Say(en, zh) << "\n";
    }
};

std::string Utf8Of(const char16_t* buf, size_t capacity) {
    return ToUtf8(U16(buf, capacity));
}

int CmdDump(Options& o) {
    if (o.args.size() != 2)
        return UsageOf("dump", Say("dump takes one file", "dump 接一个文件"));
    return DumpModeFileCommand(o.args[1], o.bJson);
}

int CmdDiff(Options& o) {
    if (const int status = PrepareDiff(o.args, o.bJson, o.diff); status != kExitOk) {
        if (status == kExitUsage)
            std::cerr << SynopsisLines(*FindCommand(o.args[0]));
        return status;
    }
    if (o.diff.NeedsDevice())
        return OnProcessor(o);
    ResetStoreAtStartup();
    return RunDiff(o.diff);
}

int ParseMode(const std::string& s) {
    if (s.size() == 1 && s[0] >= '1' && s[0] <= '4')
        return s[0] - '1';
    return -1;
}

// restore: the file's areas laid onto the store as the read-all left it, then the write-all, then the
// m1..m4 mode store.
int Restore(const Options& o, CConnection& conn, const CAnswerLog& log, const ReadGaps& gaps,
            const std::vector<uint8_t>& preset, const ModeFileResult& file,
            const Identification& identified) {
    const std::string& path = o.args[1];
    if (gaps.bLinkLost) {
        std::cerr << "m7qctl: " << DescribeGaps(gaps) << "; nothing was written\n";
        return kExitDevice;
    }
    // A value the file does not hold is sent as the processor has it: it must have answered for it.
    const std::vector<Report> feeding = ReadsFeeding(gaps.reads, [&preset] {
        LoadModeFileFromBytes(preset);
        const std::vector<uint8_t> bytes = BuildModeFileBytes();
        return std::string(bytes.begin(), bytes.end());
    });
    if (!feeding.empty()) {
        std::cerr << "m7qctl: " << path
                  << " does not hold every setting, and the processor did not answer for "
                  << NameReads(feeding) << " after asking " << kAskAgainTimes
                  << " more times; nothing was written\n";
        return kExitDevice;
    }
    if (file.nVersion != kModeFileVersion || file.bTruncated) {
        const std::string version = std::to_string(file.nVersion);
        const bool both = file.bTruncated && file.nVersion != kModeFileVersion;
        std::cerr << "m7qctl: "
                  << Say(path + " is " + (file.bTruncated ? "shorter than its version says" : "") +
                             (both ? " and " : "") +
                             (file.nVersion != kModeFileVersion ? "a version " + version + " file" : "") +
                             ": what it does not hold keeps the processor's values",
                         path + (file.bTruncated ? " 比它的版本应有的短" : "") + (both ? "，并且" : "") +
                             (file.nVersion != kModeFileVersion ? " 是第 " + version + " 版文件" : "") +
                             "：文件里没有的设置保持处理器现有的值")
                  << "\n";
    }
    // The reader turns the sources a file does not keep into 0; the processor then switches to it.
    if (const size_t at = kModeFileSlotsAt + 4 * SET_MUSIC_SOURCE; preset.size() >= at + 4) {
        const int32_t source = static_cast<int32_t>(preset[at] | preset[at + 1] << 8 | preset[at + 2] << 16 |
                                                    static_cast<uint32_t>(preset[at + 3]) << 24);
        if (!ModeFileKeepsMusicSource(source))
            std::cerr << "m7qctl: "
                      << Say(path + " holds the music source " + std::to_string(source) +
                                 ", which mode files do not keep: it is restored as 0 (SPDIF)",
                             path + " 里的音源为 " + std::to_string(source) +
                                 "，模式文件不保留它：恢复为 0 (SPDIF)")
                      << "\n";
    }
    LoadModeFileFromBytes(preset);
    CUsbLink& link = conn.Link();
    const CAnswerLog::Mark start = log.Here(link);
    {
        const CWaitNotice notice(Say("writing the file to the processor", "正在把文件写入处理器"),
                                 [&log, start] { return log.Since(start); });
        // The file's memory mode is stored only by OnSyncFinished, which an unfinished write skips.
        conn.StartWriteAll(file.nPendingMode);
        conn.WaitSync();
    }
    const CAnswerLog::Mark end = log.Here(link);
    if (log.Between(start, end) != ItemOutcome::Applied) {
        const std::string answered = std::to_string(log.AnsweredBetween(start, end));
        const std::string mode = std::to_string(file.nPendingMode + 1);
        std::cerr << "m7qctl: "
                  << Say("restore of " + path + " did not finish (" + WhyUnfinished(link) +
                             "): the processor answered " + answered +
                             " reports of the write-all, the others were not sent or not answered, so it "
                             "holds part of the file" +
                             (file.nPendingMode >= 0 ? "; it was not stored as mode " + mode : ""),
                         "恢复 " + path + " 没有完成（" + WhyUnfinished(link) +
                             "）：处理器只应答了全部写入中的 " + answered +
                             " 条，其余的没有发出或没有应答，处理器里只有文件的一部分" +
                             (file.nPendingMode >= 0 ? "；没有存为模式 " + mode : ""))
                  << "\n";
        return kExitDevice;
    }
    if (const std::string error = conn.OnSyncFinished(); !error.empty()) {
        std::cerr << "m7qctl: " << identified.Explain(error) << "\n";
        return kExitDevice;
    }
    link.AwaitReply();
    if (file.nPendingMode >= 0 && log.Between(end, log.Here(link)) != ItemOutcome::Applied) {
        const std::string mode = std::to_string(file.nPendingMode + 1);
        std::cerr << "m7qctl: "
                  << Say("restored " + path + ", but storing it as mode " + mode + " did not finish (" +
                             WhyUnfinished(link) + ")",
                         "已恢复 " + path + "，但存为模式 " + mode + " 没有完成（" + WhyUnfinished(link) +
                             "）")
                  << "\n";
        return kExitDevice;
    }
    std::cout << "restored " << path;
    if (file.nPendingMode >= 0)
        std::cout << " and stored it as mode " << file.nPendingMode + 1;
    std::cout << "\n";
    return kExitOk;
}

// mode load|store|factory N: the command must be answered; a load's read-back needs no more.
int Mode(const Options& o, CConnection& conn, const CAnswerLog& log, const ReadGaps& gaps,
         const Identification& identified) {
    const int n = ParseMode(o.args[2]);
    const std::string what = "mode " + o.args[1] + " M" + std::to_string(n + 1);
    CUsbLink& link = conn.Link();
    if (gaps.bLinkLost) {
        std::cerr << "m7qctl: " << DescribeGaps(gaps) << "; " << what << " was not sent\n";
        return kExitDevice;
    }
    const CAnswerLog::Mark start = log.Here(link);
    if (o.args[1] == "store") {
        conn.StoreMode(n);
        link.AwaitReply();
    } else {
        if (o.args[1] == "load")
            conn.LoadMode(n);
        else
            conn.FactoryMode(n);
    }
    const CAnswerLog::Mark sent = log.Here(link);
    {
        const CWaitNotice notice(Say("reading the processor's settings", "正在读取处理器的设置"),
                                 [&log, sent] { return log.Since(sent); });
        conn.WaitSync();
    }
    if (const ItemOutcome outcome = log.Between(start, sent); outcome != ItemOutcome::Applied) {
        std::cerr
            << "m7qctl: "
            << Say(what + " did not finish (" + WhyUnfinished(link) + "): " +
                       (outcome == ItemOutcome::NotSent
                            ? "it was not sent"
                            : "it was sent without an answer, the processor may or may not have done it"),
                   what + " 没有完成（" + WhyUnfinished(link) + "）：" +
                       (outcome == ItemOutcome::NotSent ? "命令没有发出"
                                                        : "命令已发出但没有应答，处理器可能做了也可能没做"))
            << "\n";
        return kExitDevice;
    }
    if (o.args[1] != "store")
        if (const std::string error = conn.OnSyncFinished(); !error.empty()) {
            std::cerr << "m7qctl: " << identified.Explain(error) << "\n";
            return kExitDevice;
        }
    std::cout << what << " done\n";
    return kExitOk;
}

// Everything that needs the processor.
int RunOnDevice(const Options& o, IHidBackend& backend) {
    const std::string& cmd = o.args[0];
    // Read the file before touching the processor, so a bad file changes nothing there; it is laid
    // onto the store only once the read-all has filled it.
    std::vector<uint8_t> preset;
    ModeFileResult file;
    if (cmd == "restore") {
        file = ReadModeFile(o.args[1], preset);
        if (!file.bOk) {
            std::cerr << "m7qctl: " << file.strError << "\n";
            return kExitFile;
        }
        // More than its version holds: not a file this console wrote, or two run together.
        if (file.bOversized) {
            std::cerr << "m7qctl: " << OversizedFileText(o.args[1], file.nVersion)
                      << Say(": it may not be a mode file; nothing was sent\n",
                             "：它可能不是模式文件；什么也没有发送\n");
            return kExitFile;
        }
    }

    Identification identified;
    CAnswerLog log;
    CUsbLink link(backend, DispatchHandlers());
    CTraceFile trace;
    if (std::string error; !o.strTrace.empty() && !trace.Open(o.strTrace, error)) {
        std::cerr << "m7qctl: " << error << "\n";
        return kExitFile;
    }
    link.SetTrace([&trace, &identified, &log](char d, const Report& r) {
        if (d == '<') {
            identified.Note(r);
            log.Received(r);
        } else {
            log.Sent(r);
        }
        trace.Write(d, r);
    });
    SetLink(&link);
    ResetStoreAtStartup();
    CConnection conn(link);
    struct Unlink {
        ~Unlink() { SetLink(nullptr); }
    } unlink;

    const bool diff = cmd == "diff" || cmd == "verify";
    const int noDevice = diff ? kExitNoDevice : kExitDevice;
    const CAnswerLog::Mark begin = log.Here(link);
    if (!conn.Connect()) {
        std::cerr << "m7qctl: "
                  << Say("no processor found; run m7qctl doctor to see why",
                         "没有找到处理器；运行 m7qctl doctor 查看原因")
                  << "\n";
        return noDevice;
    }
    identified.strDevice = link.DevicePath();
    {
        const CWaitNotice notice(Say("reading the processor's settings", "正在读取处理器的设置"),
                                 [&log, begin] { return log.Since(begin); });
        conn.WaitSync();
    }
    if (const std::string error = conn.OnSyncFinished(); !error.empty()) {
        std::cerr << "m7qctl: " << identified.Explain(error) << "\n";
        return noDevice;
    }
    // Every command but info uses what the read-all read: what it left unanswered is asked again.
    const CAnswerLog::Mark asked = log.Here(link);
    ReadGaps gaps;
    if (cmd != "info") {
        const CWaitNotice notice(Say("asking again for what did not come", "正在重新请求没有收到的数据"),
                                 [&log, asked] { return log.Since(asked); });
        gaps = AskAgainForUnanswered(conn);
    }
    link.AwaitReply();
    log.StartPhase();

    int status = kExitOk;
    if (cmd == "info") {
        auto lock = LockStore();
        std::cout << "model: " << Utf8Of(g_Device.szModel.data(), kModelChars) << "\n"
                  << "command-set version: " << int(g_Device.nCmdVersion) << "\n"
                  << "MCU version: " << Utf8Of(g_Device.szMcuVersion.data(), kVersionChars) << "\n"
                  << "DSP version: " << Utf8Of(g_Device.szDspVersion.data(), kVersionChars) << "\n"
                  << "current mode: M" << g_Param.nCurMode + 1 << "\n";
        for (int m = 0; m < kModeCount; ++m)
            std::cout << "mode " << m + 1 << ": " << Utf8Of(g_Device.szModeName[m].data(), kModeNameChars)
                      << "\n";
    } else if (cmd == "backup") {
        // A backup holding a value that never came would pass a default off as the processor's.
        if (!gaps.Empty()) {
            std::cerr << "m7qctl: " << DescribeGaps(gaps) << "; nothing written\n";
            status = kExitDevice;
        } else if (identified.bErased) {
            // The image reads as never written: the store holds zeros there, not settings.
            std::cerr << "m7qctl: "
                      << Say("the processor's memory reads as erased (never written): its equalisers, "
                             "delays and the other settings kept in memory would be saved as zeros; nothing "
                             "written. Restore a mode file onto it first",
                             "处理器的存储器读出为空（从未写入）：均衡器、延时等存储器中的设置只会存成 0；"
                             "未写文件。请先用 restore 写入一个模式文件")
                      << "\n";
            status = kExitDevice;
        } else if (const FileResult r = SaveModeFile(o.args[1]); !r.bOk) {
            std::cerr << "m7qctl: " << r.strError << "\n";
            status = kExitFile;
        } else {
            std::cout << "saved " << o.args[1] << "\n";
        }
    } else if (cmd == "restore") {
        status = Restore(o, conn, log, gaps, preset, file, identified);
    } else if (cmd == "mode") {
        status = Mode(o, conn, log, gaps, identified);
    } else if (IsScriptCommand(cmd)) {
        status = RunScriptOnDevice(o.job, conn, log, gaps);
    } else if (diff) {
        // A value that never came would be compared as the console's start-up value.
        if (!gaps.Empty())
            std::cerr << "m7qctl: " << DescribeGaps(gaps) << "; nothing compared\n";
        status = gaps.Empty() ? RunDiff(o.diff) : kExitNoDevice;
    }
    conn.Disconnect();
    trace.Note("merged " + std::to_string(link.MergedCount()));
    if (!trace.Good()) {
        std::cerr << "m7qctl: "
                  << Say("writing the trace file \"" + o.strTrace + "\" failed",
                         "写入跟踪文件 “" + o.strTrace + "” 失败")
                  << "\n";
        status = kExitFile;
    }
    return status;
}

// The commands that need the processor, once their arguments are checked: the simulated one or USB.
int OnProcessor(Options& o) {
    if (o.bFast)
        SetSettleScale(kFastScale);
    static CliEvents events;
    SetConsoleEvents(&events);

    if (!o.bSim) {
        CHidapiBackend hid;
        return RunOnDevice(o, hid);
    }
    CSimBackend sim;
    if (!o.strSimState.empty() && std::filesystem::exists(o.strSimState)) {
        std::string error;
        if (!sim.LoadState(o.strSimState, error)) {
            std::cerr << "m7qctl: " << error << "\n";
            return kExitFile;
        }
    }
    sim.SetFaults(o.faults);
    const int status = RunOnDevice(o, sim);
    if (o.bFaults)
        std::cerr << "m7qctl: simulated processor ("
                  << (o.faults == SimFaults{} ? "no faults" : FormatSimFaults(o.faults))
                  << "): " << FormatSimCounters(sim.Counters()) << "\n";
    if (!o.strSimState.empty()) {
        std::string error;
        if (!sim.SaveState(o.strSimState, error)) {
            std::cerr << "m7qctl: " << error << "\n";
            return status == kExitOk ? kExitFile : status;
        }
    }
    return status;
}

int CmdInfo(Options& o) {
    if (o.args.size() != 1)
        return UsageOf("info", Say("info takes no arguments", "info 不接参数"));
    return OnProcessor(o);
}

int CmdBackupRestore(Options& o) {
    if (o.args.size() != 2)
        return UsageOf(o.args[0], Say(o.args[0] + " takes one file", o.args[0] + " 接一个文件"));
    return OnProcessor(o);
}

const std::vector<std::string> kModeVerbs = {"load", "store", "factory"};

int CmdMode(Options& o) {
    const std::string why = Say("mode takes load, store or factory and a mode 1..4",
                                "mode 接 load、store 或 factory 和模式号 1..4");
    if (o.args.size() >= 2 && std::find(kModeVerbs.begin(), kModeVerbs.end(), o.args[1]) == kModeVerbs.end())
        return UsageOf("mode", why + DidYouMean(o.args[1], kModeVerbs));
    if (o.args.size() != 3 || ParseMode(o.args[2]) < 0)
        return UsageOf("mode", why);
    return OnProcessor(o);
}

int CmdScript(Options& o) {
    if (const int status = PrepareScript(o.args, o.bJson, o.job); status != kExitOk)
        return status;
    if (o.strFile.empty())
        return OnProcessor(o);
    if (o.bSim || !o.strTrace.empty())
        return Usage(Say("--file works without a processor", "--file 不用处理器"));
    return RunScriptOnFile(o.job, o.strFile);
}

int CmdHelp(Options& o) {
    if (o.args.size() == 1) {
        std::cout << UsageText();
        return kExitOk;
    }
    if (o.args.size() > 2)
        return UsageOf("help", Say("help takes one command at most", "help 最多接一个命令"));
    const CommandRow* row = FindCommand(o.args[1]);
    if (!row)
        return UnknownCommand(o.args[1]);
    std::cout << CommandHelp(*row);
    return kExitOk;
}

// diff and verify follow dump.
std::vector<CommandRow> WithDiffRows(std::vector<CommandRow> rows) {
    const auto dump =
        std::find_if(rows.begin(), rows.end(), [](const CommandRow& r) { return r.strName == "dump"; });
    const std::vector<CommandRow> diff = DiffCommandRows(CmdDiff);
    rows.insert(dump + 1, diff.begin(), diff.end());
    return rows;
}

// "--name ARG" of the common options and, after a command and verb ("eq fit"), of its own.
std::vector<std::string> OptionForms(const std::vector<std::string>& where) {
    std::vector<std::string> forms;
    for (const OptionRow& row : kOptions) {
        forms.push_back(OptionForm(row));
        if (*row.szAlias)
            forms.push_back(row.szAlias);
    }
    if (const CommandRow* row = where.size() == 2 ? FindCommand(where[0]) : nullptr)
        for (const auto& [verb, options] : row->verbOptions)
            if (verb == where[1])
                for (const OptionRow& option : options)
                    forms.push_back(OptionForm(option));
    return forms;
}

int CmdCompleteRun(Options& o) {
    CompletionWords words{CommandNames(), OptionForms, [](const std::string& command) {
                              const CommandRow* row = FindCommand(command);
                              return row ? row->verbs : std::vector<std::string>{};
                          }};
    return CmdComplete(o.args, words);
}

const std::vector<CommandRow>& Commands() {
    static const std::vector<CommandRow> rows = WithDiffRows({
        {"info",
         "info",
         "identify the processor: model, command-set, MCU and DSP versions, current mode, mode names",
         "Connects, identifies the processor and reads its state, then prints its model, command-set "
         "version, MCU and DSP versions, the current memory mode and the names of the four modes.",
         CmdInfo,
         {}},
        {"backup",
         "backup FILE",
         "read everything, then write FILE as a version-8 mode file",
         "Reads every setting from the processor and writes them to FILE as a version-8 mode file. A read "
         "whose reply is lost is asked again up to three more times; when one still did not come, or the "
         "processor's memory reads as erased, nothing is written (status 1). The new file is written "
         "beside the old one and renamed over it, so a failure leaves the old file as it was.",
         CmdBackupRestore,
         {}},
        {"restore",
         "restore FILE",
         "lay a mode file (versions 1-8) onto what the processor holds and write it all back; a file named "
         "m1..m4 is also stored into that memory mode",
         "Reads FILE (versions 1 to 8), lays it onto the settings just read from the processor and writes "
         "them all back: what an older or cut-short file does not hold keeps the processor's value, and "
         "the command says so. A file that cannot be read, or goes on past its version's end, is refused: "
         "nothing is sent (status 3).\n"
         "A file whose name begins with m1, m2, m3 or m4 is also stored into that memory mode, once the "
         "write went through whole. Mode files keep the music sources 0, 1 and 4: a file holding 2, 3 or 5 "
         "is restored with 0 (SPDIF), as the console's Open does, and the command says so.",
         CmdBackupRestore,
         {}},
        {"dump",
         "dump FILE [--json]",
         "decode a mode file without a processor",
         "Prints every setting of a mode file by the names get and set take, in their units, then every "
         "equaliser's bands numbered from 1, the surround levels, the sound field and the microphone "
         "boost; with --json as one JSON object. A cut-short file or one that goes on past its version is "
         "named on stderr.",
         CmdDump,
         {}},
        {"mode", "mode load|store|factory N",
         "memory mode N = 1..4: load it, store into it, recall its factory content",
         "load makes memory mode N (1 to 4) current and reads everything back; store stores the "
         "processor's settings into mode N; factory recalls mode N's factory content and reads it back. "
         "An unanswered command is named with what may have happened (status 1).",
         CmdMode, kModeVerbs},
        {"get",
         "get NAME... [--json]",
         "print settings by the names dump prints (SET_MIC_LEVEL[2])",
         "Prints each setting as NAME = VALUE UNIT, one a line, or all as one JSON object with --json. NAME "
         "is a setting as dump prints it, in any case, such as SET_MIC_VOLUME or 'SET_MIC_LEVEL[2]' "
         "(quote brackets for the shell); channels and microphones count from 1. A value the processor "
         "never sent is not printed (status 1). With --file PRESET.vm3zt the values come from that mode "
         "file.",
         CmdScript,
         {}},
        {"set",
         "set NAME VALUE...",
         "change settings, values in the units dump prints",
         "Changes settings, each VALUE in the unit dump prints (per cent, ms, dB, s, Hz; 0 or 1 for "
         "switches), sends each as the window does and prints the new values once the processor has "
         "answered them. An unknown name, a value that is not a number or one the setting cannot take is "
         "a usage error and nothing is sent (status 2).\n"
         "With --file PRESET.vm3zt the mode file is changed instead, keeping its version and length. A "
         "music source a mode file cannot keep (SET_MUSIC_SOURCE 2, 3 or 5: reading the file turns them "
         "into 0) is refused there.",
         CmdScript,
         {}},
        {"eq",
         "eq show EQ [--json]\neq export EQ FILE\neq import EQ FILE [--preamp apply]\n"
         "eq fit EQ MEASUREMENT... [FIT OPTIONS] [--json]",
         "print an equaliser's bands\nwrite them as a filter text (Filter 1: ON PK Fc 63 Hz ...)\nset them "
         "from a filter text; --preamp apply lowers the channel's level by the text's Preamp "
         "(out1..out8)\nfit its bands to measured responses (averaged) and write them (eq --help has the "
         "fit's options)\nEQ: " +
             EqShortNameList(),
         "show prints the bands of EQ: number (from 1), type, gain in dB, frequency in Hz and Q; --json as "
         "one object. export writes them to FILE as a filter text; import reads one and writes every band "
         "as the band editor does: filter line n sets band n, bands after the last filter are set off, an "
         "output channel's crossover on band 10 stays unless a tenth filter names it. A file with an error "
         "changes nothing (status 3).\n"
         "A Preamp: line is named with the headroom the filters need; --preamp apply lowers the output "
         "channel's level SET_OUT_LEVEL by that much (out1 to out8 only).\n"
         "fit reads measured responses (a measurement program's text export, .frd or CSV; several are "
         "averaged), fits the equaliser's bands with the processor's own filters and writes them as an "
         "import of their filter text would; --json prints the result as JSON.\n"
         "With --file PRESET.vm3zt the mode file is read or changed instead. EQ is one of " +
             EqShortNameList() + ".",
         CmdScript,
         EqVerbs(),
         false,
         {{"fit", EqFitOptionRows()}}},
        {"doctor",
         "doctor",
         "why a processor cannot be used: present, permission, busy, answers",
         "Tells why the processor cannot be used, one check a line: whether a hidraw device with its USB "
         "ids 2010:1031 is present, whether this user may open it (and if not, what about the udev rule "
         "to fix, with the commands), whether another program holds it, and what it answers to the model "
         "and command-set requests. With --sim or --sim-fault the simulated processor is asked. Exit "
         "status: 0 all well, 1 no processor, 4 no permission, 5 held by another program, 6 no answer, 7 "
         "another model or command-set version.",
         [](Options& o) { return CmdDoctor(o.args, o.bSim, o.faults); },
         {}},
        {"help",
         "help [COMMAND]",
         "this text, or what a command does (also COMMAND --help)",
         "Without a command, the usage text with every command and option; with one, what it does.",
         CmdHelp,
         {}},
        {"complete",
         "complete commands|options|sim-faults|settings|eqs|verbs COMMAND",
         "",
         "The words the bash completion offers, one a line.",
         CmdCompleteRun,
         {},
         true},
    });
    return rows;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--sim") {
            o.bSim = true;
        } else if (a == "--fast") {
            o.bFast = true;
        } else if (a == "--json") {
            o.bJson = true;
        } else if (a == "--sim-fault") {
            if (i + 1 >= argc)
                return Usage(Say("--sim-fault needs a list of faults", "--sim-fault 后面要接故障列表"));
            std::string error;
            if (!ParseSimFaults(argv[++i], o.faults, error))
                return Usage("--sim-fault: " + error);
            o.bFaults = o.bSim = true;
        } else if (a == "--sim-state" || a == "--trace") {
            if (i + 1 >= argc)
                return Usage(Say(a + " needs a file", a + " 后面要接文件"));
            (a == "--trace" ? o.strTrace : o.strSimState) = argv[++i];
            if (a == "--sim-state")
                o.bSim = true;
        } else if (a == "--file") {
            if (i + 1 >= argc)
                return Usage(Say(a + " needs a mode file", a + " 后面要接模式文件"));
            o.strFile = argv[++i];
        } else if (a == "--preamp") { // eq import's own option, read with its arguments
            o.args.push_back(a);
            if (i + 1 < argc)
                o.args.push_back(argv[++i]);
        } else if (a == "-h" || a == "--help") {
            o.bHelp = true;
        } else if (IsEqFitCommand(o.args) && a != "--version") {
            o.args.push_back(a); // eq fit's own options
        } else if (a == "--version") {
            std::cout << "m7qctl (M7Q Console) " << M7Q_VERSION << "\n"
                      << "works with " << kExpectedModel << " processors of command-set version "
                      << kExpectedCmdVersion << "\n";
            return kExitOk;
        } else if (a.size() > 1 && a[0] == '-' && !std::isdigit(static_cast<unsigned char>(a[1]))) {
            return Usage(Say("unknown option " + a, "未知选项 " + a) + DidYouMean(a, OptionNames()));
        } else {
            o.args.push_back(a);
        }
    }
    if (o.bHelp && o.args.empty()) {
        std::cout << UsageText();
        return kExitOk;
    }
    if (o.args.empty())
        return Usage("");
    const std::string& cmd = o.args[0];
    const CommandRow* row = FindCommand(cmd);
    if (!row)
        return UnknownCommand(cmd);
    if (o.bHelp) {
        std::cout << CommandHelp(*row);
        return kExitOk;
    }
    if (!o.strFile.empty() && !IsScriptCommand(cmd))
        return Usage(Say("--file belongs to get, set and eq", "--file 只用于 get、set 和 eq"));
    if (o.bJson && cmd != "dump" && cmd != "diff" && cmd != "verify" && !IsScriptCommand(cmd))
        return Usage(Say("--json belongs to dump, diff, verify, get, eq show and eq fit",
                         "--json 只用于 dump、diff、verify、get、eq show 和 eq fit"));
    return row->run(o);
}
