// m7qctl's commands that read mode files as they are: dump, and diff and verify, which compare two sets
// of settings (mode files or the processor) setting by setting, in the window's units.
#pragma once

#include "cli/Help.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kExitDiffer = 1;
constexpr int kExitNoDevice = 4;

struct DiffJob {
    bool bVerify = false;
    bool bJson = false;
    std::array<std::string, 2> sides; // a mode file's path or "device"
    std::array<std::vector<uint8_t>, 2> bytes;
    bool NeedsDevice() const { return sides[0] == "device" || sides[1] == "device"; }
};

// Checks the arguments (status 2) and reads the files (status 3) before anything is asked of a
// processor; 0 when the job may run.
int PrepareDiff(const std::vector<std::string>& args, bool json, DiffJob& job);
// Compares, with the store holding what a file is laid onto: the processor's settings just read, or
// the start-up values. Prints the differences; 0 when there are none, 1 when there are.
int RunDiff(const DiffJob& job);
// The rows of diff and verify in m7qctl's command table.
std::vector<CommandRow> DiffCommandRows(int (*run)(CliOptions&));

// m7qctl dump FILE: the file laid onto the start-up store, printed; 0, or 3 when it cannot be read.
int DumpModeFileCommand(const std::string& path, bool json);
