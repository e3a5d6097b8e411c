// The simulated processor's sizes, identity and the state it keeps per memory mode and per plug node.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

constexpr int kSimMemSize = 1307;     // parameter memory, addresses 0..1306
constexpr int kSimPlugMemSize = 6748; // plug records and scenes
constexpr int kSimModeCount = 4;
constexpr int kSimMachineSize = 13;
constexpr int kSimRemoteSize = 18;
constexpr int kSimStatusSize = 16; // remote-key bytes carried by the status report
constexpr int kSimLiveSize = 16;
constexpr int kSimModeNameUnits = 23; // the console keeps 24 units with the terminator
constexpr int kSimMaxNode = 232;
constexpr int kSimControllerNode = 1;

constexpr uint16_t kSimModeNameAddress = 0x0F00; // mode m's name at 0x0F00 + 0x40 * m

inline constexpr const char* kSimModel = "M7Q";
inline constexpr uint8_t kSimCmdVersion = 18;
inline constexpr const char* kSimMcuVersion = "2024-05-17";
inline constexpr const char* kSimDspVersion = "2024-04-02";

// Plug kinds of the simulated Z-Wave nodes (the same numbers as the plug records).
constexpr uint8_t kSimPlugSwitch = 1;
constexpr uint8_t kSimPlugDimmer = 2;

// (block, parameter) → the 32-bit words last set, big-endian order as on the wire.
using SimParamTable = std::map<std::pair<uint8_t, uint8_t>, std::vector<uint32_t>>;

// What one memory mode holds, and what the processor runs with: parameter table and memory.
struct SimSettings {
    SimParamTable params;
    std::array<uint8_t, kSimMemSize> mem{};
    bool operator==(const SimSettings&) const = default;
};

struct SimNode {
    uint8_t nKind = kSimPlugSwitch;
    uint8_t nLevel = 0; // as a basic report carries it: switches 0 or 0xFF, dimmers 0..99
    bool operator==(const SimNode&) const = default;
};
