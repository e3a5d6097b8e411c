#include "cli/DiffCommand.h"

#include "cli/Dump.h"
#include "cli/Language.h"
#include "cli/Script.h"
#include "files/ModeFile.h"
#include "model/Defaults.h"
#include "model/Diff.h"

#include <iostream>

namespace {

constexpr int kExitUsage = 2, kExitFile = 3;

// One side's settings: the store itself for the processor, else the file laid onto a copy of it.
SettingsSnapshot SideSettings(const DiffJob& job, int side) {
    if (job.sides[side] == "device")
        return TakeSettings();
    auto lock = LockStore();
    const SettingsSnapshot base = TakeSettings();
    LoadModeFileFromBytes(job.bytes[side]);
    const SettingsSnapshot file = TakeSettings();
    LaySettings(base);
    return file;
}

} // namespace

int PrepareDiff(const std::vector<std::string>& args, bool json, DiffJob& job) {
    job.bVerify = args[0] == "verify";
    job.bJson = json;
    if (job.bVerify ? args.size() != 2 : args.size() != 3) {
        std::cerr << "m7qctl: "
                  << (job.bVerify ? Say("verify takes one mode file", "verify 接一个模式文件")
                                  : Say("diff takes two sides, each a mode file or device",
                                        "diff 接两边，每边是模式文件或 device"))
                  << "\n";
        return kExitUsage;
    }
    job.sides = job.bVerify ? std::array<std::string, 2>{"device", args[1]}
                            : std::array<std::string, 2>{args[1], args[2]};
    for (int side = 0; side < 2; ++side) {
        if (job.sides[side] == "device")
            continue;
        const ModeFileResult r = ReadModeFile(job.sides[side], job.bytes[side]);
        if (!r.bOk) {
            std::cerr << "m7qctl: " << r.strError << "\n";
            return kExitFile;
        }
        if (r.bOversized)
            std::cerr << "m7qctl: " << OversizedFileText(job.sides[side], r.nVersion)
                      << Say("; the rest is not compared\n", "；多出的部分不比较\n");
    }
    return 0;
}

int RunDiff(const DiffJob& job) {
    const std::vector<SettingDifference> diffs = DiffSettings(SideSettings(job, 0), SideSettings(job, 1));
    if (job.bJson) {
        std::cout << "{\"a\":" << DumpJsonString(job.sides[0]) << ",\"b\":" << DumpJsonString(job.sides[1])
                  << ",\"differences\":[";
        for (size_t i = 0; i < diffs.size(); ++i)
            std::cout << (i ? "," : "") << "{\"setting\":" << DumpJsonString(diffs[i].strName)
                      << ",\"a\":" << DumpJsonString(diffs[i].strA)
                      << ",\"b\":" << DumpJsonString(diffs[i].strB) << "}";
        std::cout << "]}\n";
    } else {
        for (const SettingDifference& d : diffs)
            std::cout << d.strName << ": " << d.strA << " → " << d.strB << "\n";
        if (diffs.empty())
            std::cout << Say("no differences", "没有差别") << "\n";
    }
    return diffs.empty() ? 0 : kExitDiffer;
}

std::vector<CommandRow> DiffCommandRows(int (*run)(CliOptions&)) {
    const std::string exits = "Exit status: 0 equal, 1 they differ, 2 usage, 3 a file cannot be read, 4 no "
                              "processor (or it did not answer every read).";
    return {
        {"diff",
         "diff A B [--json]",
         "list the settings that differ between A and B, each a mode file or device",
         "Compares two sets of settings, each a mode file or the word device (the processor, read whole "
         "first), and prints every setting that differs as NAME: A → B in the units dump prints; an "
         "equaliser band as its type, frequency, gain and Q. A file that does not hold every setting is "
         "laid onto the processor's values (with device) or the start-up values. --json prints one "
         "object with a list of differences.\n" +
             exits,
         run,
         {"device"}},
        {"verify",
         "verify FILE [--json]",
         "read the processor and list where it differs from FILE",
         "The same as diff device FILE: reads every setting of the processor, then lists the settings "
         "that differ from the mode file, such as a change made on the processor's front panel.\n" +
             exits,
         run,
         {}},
    };
}

int DumpModeFileCommand(const std::string& path, bool json) {
    ResetStoreAtStartup();
    const ModeFileResult r = LoadModeFile(path);
    if (!r.bOk) {
        std::cerr << "m7qctl: " << r.strError << "\n";
        return 3;
    }
    if (r.bTruncated)
        std::cerr << "m7qctl: "
                  << Say("the file is shorter than its version " + std::to_string(r.nVersion) +
                             " says; loaded as far as it goes",
                         "文件比第 " + std::to_string(r.nVersion) + " 版应有的短；读到哪里算哪里")
                  << "\n";
    if (r.bOversized)
        std::cerr << "m7qctl: " << OversizedFileText(path, r.nVersion)
                  << Say("; the rest is not read\n", "；多出的部分不读\n");
    std::cout << (json ? DumpJson() : DumpText());
    return 0;
}
