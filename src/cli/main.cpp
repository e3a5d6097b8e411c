// m7qctl: identify a processor, back up and restore presets, dump preset files, trace the link.
#include "cli/AutoEqCommand.h"
#include "cli/Complete.h"
#include "cli/Doctor.h"
#include "cli/Dump.h"
#include "cli/Outcome.h"
#include "cli/Script.h"
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

namespace {

enum Exit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitFile = 3 };

constexpr double kFastScale = 0.02;

const char* const kCommands =
    "usage: m7qctl [--sim] [--sim-state FILE] [--sim-fault LIST] [--fast] [--trace FILE] [--file "
    "PRESET.vm3zt]\n"
    "              COMMAND\n"
    "  info                      identify; print model, command-set version, MCU and DSP versions,\n"
    "                            current mode, mode names\n"
    "  backup FILE               read everything, then write FILE as a version-8 mode file\n"
    "  restore FILE              lay a mode file (versions 1-8) onto what the processor holds and write\n"
    "                            it all back; a file named m1..m4 is also stored into that memory mode\n"
    "  dump FILE [--json]        decode a mode file without a device\n"
    "  mode load|store|factory N memory mode N = 1..4\n"
    "  get NAME... [--json]      print settings by the names dump prints (SET_MIC_LEVEL[2])\n"
    "  set NAME VALUE...         change settings, values in the units dump prints\n"
    "  eq show EQ [--json]       print an equaliser's bands\n"
    "  eq export EQ FILE         write its bands as a filter text (Filter 1: ON PK Fc 63 Hz ...)\n"
    "  eq import EQ FILE [--preamp apply]  set its bands from a filter text; --preamp apply lowers\n"
    "                            the channel's level by the text's Preamp (out1..out8)\n"
    "  eq fit EQ MEASUREMENT... [--target FILE] [--range LO-HI] [--bands N] [--max-boost DB]\n"
    "         [--max-q Q] [--smooth 1/N] [--dry-run] [--export FILTERS.txt] [--plot FILE.svg] [--json]\n"
    "                            fit its bands to measured responses (averaged) and write them\n"
    "                            EQ: mic-a mic-b reverb-a reverb-b echo-a echo-b music out1..out8\n"
    "  --file PRESET.vm3zt       get, set and eq act on a mode file instead of the processor\n"
    "  doctor                    why a processor cannot be used: present, permission, busy, answers\n"
    "Exit status: 0 done, 1 the processor failed or did not answer (what was applied is said),\n"
    "2 usage, 3 file.\n";

// The commands, then the faults the simulated processor knows, wrapped.
std::string UsageText() {
    std::string text = kCommands;
    std::string line = "--sim-fault LIST makes the simulated processor misbehave (implies --sim); LIST is a";
    const std::string words = "comma-separated set of " + SimFaultSummary();
    for (size_t at = 0; at < words.size();) {
        const size_t end = std::min(words.find(' ', at), words.size());
        const std::string word = words.substr(at, end - at);
        if (line.size() + 1 + word.size() > 100) {
            text += line + "\n";
            line = word;
        } else {
            line += " " + word;
        }
        at = end + 1;
    }
    return text + line + "\n";
}

struct Options {
    bool bSim = false;
    bool bFast = false;
    bool bJson = false;
    bool bFaults = false;
    SimFaults faults;
    std::string strSimState;
    std::string strTrace;
    std::vector<std::string> args;
    std::string strFile; // get, set and eq on a mode file
    ScriptJob job;
};

int Usage(const std::string& why) {
    if (!why.empty())
        std::cerr << "m7qctl: " << why << "\n";
    std::cerr << UsageText();
    return kExitUsage;
}

// Messages the processor raises while we work.
class CliEvents : public IConsoleEvents {
public:
    void OnParamError(uint8_t code, uint8_t block, uint8_t param) override {
        std::cerr << "m7qctl: " << FormatParamError(code, block, param) << "\n";
    }
};

std::string Utf8Of(const char16_t* buf, size_t capacity) {
    return ToUtf8(U16(buf, capacity));
}

int CmdDump(const Options& o) {
    if (o.args.size() != 2)
        return Usage("dump takes one file");
    ResetStoreAtStartup();
    const ModeFileResult r = LoadModeFile(o.args[1]);
    if (!r.bOk) {
        std::cerr << "m7qctl: " << r.strError << "\n";
        return kExitFile;
    }
    if (r.bTruncated)
        std::cerr << "m7qctl: the file is shorter than its version " << r.nVersion
                  << " says; loaded as far as it goes\n";
    std::cout << (o.bJson ? DumpJson() : DumpText());
    return kExitOk;
}

// Which identification answers arrived: the store keeps its start-up model and version without them.
struct Identification {
    std::atomic<bool> bModel{false};
    std::atomic<bool> bVersion{false};
    void Note(const Report& r) {
        if (r[1] == CMD_GET_MODEL)
            bModel = true;
        else if (r[1] == CMD_GET_CMD_VERSION)
            bVersion = true;
    }
    // What the identification got, to go with its error text.
    std::string Detail(const std::string& error) const {
        auto lock = LockStore();
        if (error == kTextWrongModel)
            return bModel ? "model \"" + Utf8Of(g_Device.szModel.data(), kModelChars) +
                                "\", this console works with \"" + kExpectedModel + "\""
                          : "the processor did not answer the identification";
        if (error == kTextWrongVersion)
            return bVersion ? "command-set version " + std::to_string(g_Device.nCmdVersion) +
                                  ", this console speaks " + std::to_string(kExpectedCmdVersion)
                            : "the processor did not tell its command-set version";
        return {};
    }
};

int ParseMode(const std::string& s) {
    if (s.size() == 1 && s[0] >= '1' && s[0] <= '4')
        return s[0] - '1';
    return -1;
}

// restore: the file's areas laid onto the store as the read-all left it, then the write-all, then the
// m1..m4 mode store.
int Restore(const Options& o, CConnection& conn, const CAnswerLog& log, const ReadGaps& gaps,
            const std::vector<uint8_t>& preset, const ModeFileResult& file) {
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
    if (file.nVersion != kModeFileVersion || file.bTruncated)
        std::cerr << "m7qctl: " << path << " is " << (file.bTruncated ? "shorter than its version says" : "")
                  << (file.bTruncated && file.nVersion != kModeFileVersion ? " and " : "")
                  << (file.nVersion != kModeFileVersion
                          ? "a version " + std::to_string(file.nVersion) + " file"
                          : "")
                  << ": what it does not hold keeps the processor's values\n";
    LoadModeFileFromBytes(preset);
    CUsbLink& link = conn.Link();
    const CAnswerLog::Mark start = log.Here(link);
    conn.StartWriteAll();
    conn.WaitSync();
    const CAnswerLog::Mark end = log.Here(link);
    if (log.Between(start, end) != ItemOutcome::Applied) {
        std::cerr
            << "m7qctl: restore of " << path << " did not finish (" << WhyUnfinished(link)
            << "): the processor answered " << log.AnsweredBetween(start, end)
            << " reports of the write-all, the others were not sent or not answered, so it holds part of "
               "the file"
            << (file.nPendingMode >= 0
                    ? "; it was not stored as mode " + std::to_string(file.nPendingMode + 1)
                    : std::string())
            << "\n";
        return kExitDevice;
    }
    conn.nPendingFileMode = file.nPendingMode;
    if (const std::string error = conn.OnSyncFinished(); !error.empty()) {
        std::cerr << "m7qctl: " << error << "\n";
        return kExitDevice;
    }
    link.AwaitReply();
    if (file.nPendingMode >= 0 && log.Between(end, log.Here(link)) != ItemOutcome::Applied) {
        std::cerr << "m7qctl: restored " << path << ", but storing it as mode " << file.nPendingMode + 1
                  << " did not finish (" << WhyUnfinished(link) << ")\n";
        return kExitDevice;
    }
    std::cout << "restored " << path;
    if (file.nPendingMode >= 0)
        std::cout << " and stored it as mode " << file.nPendingMode + 1;
    std::cout << "\n";
    return kExitOk;
}

// mode load|store|factory N: the command must be answered; a load's read-back needs no more.
int Mode(const Options& o, CConnection& conn, const CAnswerLog& log, const ReadGaps& gaps) {
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
    conn.WaitSync();
    if (const ItemOutcome outcome = log.Between(start, sent); outcome != ItemOutcome::Applied) {
        std::cerr << "m7qctl: " << what << " did not finish (" << WhyUnfinished(link) << "): "
                  << (outcome == ItemOutcome::NotSent
                          ? "it was not sent"
                          : "it was sent without an answer, the processor may or may not have done it")
                  << "\n";
        return kExitDevice;
    }
    if (o.args[1] != "store")
        if (const std::string error = conn.OnSyncFinished(); !error.empty()) {
            std::cerr << "m7qctl: " << error << "\n";
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

    if (!conn.Connect()) {
        std::cerr << "m7qctl: no processor found\n";
        return kExitDevice;
    }
    conn.WaitSync();
    if (const std::string error = conn.OnSyncFinished(); !error.empty()) {
        std::cerr << "m7qctl: " << error << "\n";
        if (const std::string detail = identified.Detail(error); !detail.empty())
            std::cerr << "m7qctl: " << detail << "\n";
        return kExitDevice;
    }
    // Every command but info uses what the read-all read: what it left unanswered is asked again.
    const ReadGaps gaps = cmd == "info" ? ReadGaps{} : AskAgainForUnanswered(conn);
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
        } else if (const FileResult r = SaveModeFile(o.args[1]); !r.bOk) {
            std::cerr << "m7qctl: " << r.strError << "\n";
            status = kExitFile;
        } else {
            std::cout << "saved " << o.args[1] << "\n";
        }
    } else if (cmd == "restore") {
        status = Restore(o, conn, log, gaps, preset, file);
    } else if (cmd == "mode") {
        status = Mode(o, conn, log, gaps);
    } else if (IsScriptCommand(cmd)) {
        status = RunScriptOnDevice(o.job, conn, log, gaps);
    }
    conn.Disconnect();
    trace.Note("merged " + std::to_string(link.MergedCount()));
    if (!trace.Good()) {
        std::cerr << "m7qctl: writing the trace file \"" << o.strTrace << "\" failed\n";
        status = kExitFile;
    }
    return status;
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
                return Usage("--sim-fault needs a list of faults");
            std::string error;
            if (!ParseSimFaults(argv[++i], o.faults, error))
                return Usage("--sim-fault: " + error);
            o.bFaults = o.bSim = true;
        } else if (a == "--sim-state" || a == "--trace") {
            if (i + 1 >= argc)
                return Usage(a + " needs a file");
            (a == "--trace" ? o.strTrace : o.strSimState) = argv[++i];
            if (a == "--sim-state")
                o.bSim = true;
        } else if (a == "--file") {
            if (i + 1 >= argc)
                return Usage(a + " needs a mode file");
            o.strFile = argv[++i];
        } else if (a == "--preamp") { // eq import's own option, read with its arguments
            o.args.push_back(a);
            if (i + 1 < argc)
                o.args.push_back(argv[++i]);
        } else if (a == "-h" || a == "--help") {
            std::cout << UsageText();
            return kExitOk;
        } else if (IsEqFitCommand(o.args)) {
            o.args.push_back(a); // eq fit's own options
        } else if (a.size() > 1 && a[0] == '-' && !std::isdigit(static_cast<unsigned char>(a[1]))) {
            return Usage("unknown option " + a);
        } else {
            o.args.push_back(a);
        }
    }
    if (o.args.empty())
        return Usage("");
    const std::string& cmd = o.args[0];
    if (cmd == "dump")
        return CmdDump(o);
    if (cmd == "doctor" || cmd == "complete")
        return cmd == "doctor" ? CmdDoctor(o.args, o.bSim, o.faults) : CmdComplete(o.args);
    if (IsScriptCommand(cmd)) {
        if (const int status = PrepareScript(o.args, o.bJson, o.job); status != kExitOk)
            return status;
        if (!o.strFile.empty())
            return (o.bSim || !o.strTrace.empty()) ? Usage("--file works without a processor")
                                                   : RunScriptOnFile(o.job, o.strFile);
    } else if (!o.strFile.empty()) {
        return Usage("--file belongs to get, set and eq");
    }
    if (o.bJson && !IsScriptCommand(cmd))
        return Usage("--json belongs to dump, get and eq show");
    if (cmd == "info") {
        if (o.args.size() != 1)
            return Usage("info takes no arguments");
    } else if (cmd == "backup" || cmd == "restore") {
        if (o.args.size() != 2)
            return Usage(cmd + " takes one file");
    } else if (cmd == "mode") {
        if (o.args.size() != 3 || (o.args[1] != "load" && o.args[1] != "store" && o.args[1] != "factory") ||
            ParseMode(o.args[2]) < 0)
            return Usage("mode takes load, store or factory and a mode 1..4");
    } else if (!IsScriptCommand(cmd)) {
        return Usage("unknown command " + cmd);
    }
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
