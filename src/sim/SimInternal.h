// What the simulated processor's files share: the report builders, its block count and the factory
// content it resets to. Private to sim/.
#pragma once

#include "link/Report.h"
#include "sim/SimTypes.h"

namespace sim {

constexpr int kBlocks = 12;
constexpr int kMaxChunk = static_cast<int>(kReportPayload);
constexpr int kRemoteKeys = 17;

Report NewReport(uint8_t code);
Report StringReport(uint8_t code, const char* text);
Report ByteReport(uint8_t code, uint8_t value);
// Commands with nothing to return are confirmed by sending them back; the console ignores these codes.
Report Echo(const Report& in);

// The factory content of the four modes, the machine settings, the remote keys and the mode names.
const std::array<SimSettings, kSimModeCount>& Factories();
extern const std::array<uint8_t, kSimMachineSize> kFactoryMachine;
std::array<uint8_t, kSimRemoteSize> FactoryRemote();
extern const char16_t* const kModeNames[kSimModeCount];
// A plug's record in plug memory: its kind and name.
void PutPlugRecord(std::array<uint8_t, kSimPlugMemSize>& mem, int node, uint8_t kind, const char16_t* name);

} // namespace sim
