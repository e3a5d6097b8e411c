// Mirror of the processor's plug memory and the decoding of Z-Wave frames from its controller.
#pragma once

#include "link/Report.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

constexpr int kPlugRecordSize = 28;
constexpr int kPlugRecords = 233;
constexpr int kSceneSize = 56;
constexpr int kScenes = 4;
constexpr int kPlugTableEnd = kPlugRecords * kPlugRecordSize;         // 6524, first scene address
constexpr int kPlugMemorySize = kPlugTableEnd + kScenes * kSceneSize; // 6748
constexpr int kSceneSteps = kSceneSize / 2;
constexpr int kPlugNameChars = 11; // 12 UTF-16 units with the terminator
constexpr int kMaxPlugNode = 232;
constexpr int kControllerNode = 1;

// Record kinds.
enum : int { PLUG_NONE = 0, PLUG_SWITCH = 1, PLUG_DIMMER = 2 };
// Scene step targets besides plug node ids 2..232.
enum : uint8_t { SCENE_EMPTY = 0, SCENE_HDMI = 254, SCENE_WAIT = 255 };

struct SceneStep {
    uint8_t byTarget = SCENE_EMPTY;
    uint8_t byValue = 0;
    bool operator==(const SceneStep&) const = default;
};
using SceneSteps = std::array<SceneStep, kSceneSteps>;
using PlugRecordBytes = std::array<uint8_t, kPlugRecordSize>;

struct PlugMemory {
    std::array<uint8_t, kPlugMemorySize> byData{};
};
extern PlugMemory g_PlugMem;

// The record an inclusion gives to the new node.
extern std::array<uint8_t, kPlugRecordSize> g_byPendingPlug;

extern std::atomic<int> g_bNodeListReceived;
extern std::atomic<int> g_bNodeReplied;
extern std::atomic<int> g_bSendDone;
extern std::atomic<int> g_bPlugDataLoaded;

// Z-Wave function ids the console decodes.
enum : uint8_t {
    ZW_GET_INIT_DATA = 0x02,
    ZW_APPLICATION_COMMAND = 0x04,
    ZW_SEND_DATA = 0x13,
    ZW_SET_DEFAULT = 0x42,
    ZW_ADD_NODE = 0x4A,
    ZW_REMOVE_NODE = 0x4B,
};
constexpr uint8_t kZWaveAck = 0x06;

// Plug memory replies decoded so far; a reader of plug memory waits on it for its last reply.
extern std::atomic<uint32_t> g_nPlugReadReplies;

// Wakes every thread in WaitPlugFlags: a flag above changed, or a waiter was told to stop.
void NotifyPlugFlags();
// Waits until `done` holds, `stop` is set or `timeout` passes; true when `done` held. `stop` must be
// set before NotifyPlugFlags is called for the waiter to see it at once.
bool WaitPlugFlags(std::chrono::milliseconds timeout, const std::function<bool()>& done,
                   const std::atomic<bool>& stop);
// Threads inside WaitPlugFlags now (tests).
int PlugWaiters();

inline int PlugRecordAddress(int node) {
    return node * kPlugRecordSize;
}
inline int SceneAddress(int scene) {
    return kPlugTableEnd + scene * kSceneSize;
}
// A record: kind (32-bit little-endian), then the name cut to 11 characters, zero-terminated.
PlugRecordBytes MakePlugRecord(int kind, std::u16string_view name);

// Readers and writers of the console's copy, each under the store lock.
bool NodePresent(int node);           // in the node table; false for ids past 232
std::vector<int> PresentPlugs();      // node ids 2..232 in the table, ascending (the controller left out)
int PlugKind(int node);               // 0 for ids outside 1..232
std::u16string PlugName(int node);    // "" for ids outside 1..232
int PlugLevel(int node);              // the last known level (node table byte 1)
PlugRecordBytes PlugRecord(int node); // zeros for ids outside 1..232
void SetPlugRecord(int node, const PlugRecordBytes& record);
SceneSteps GetScene(int scene);
void SetScene(int scene, const SceneSteps& steps);
std::array<uint8_t, kSceneSize> SceneBytes(const SceneSteps& steps);

// Plug memory reply (CMD_PLUG_READ): copied into the record or scene table, bounded by it.
void ZWaveReadMemFunc(const Report& report);

// A CMD_ZWAVE report: acknowledged unless it is an acknowledgement, then decoded.
void HandleZWaveReport(const Report& report);
