// Mirror of the processor's plug memory and the decoding of Z-Wave frames from its controller.
#pragma once

#include "link/Report.h"

#include <array>
#include <atomic>
#include <cstdint>

constexpr int kPlugRecordSize = 28;
constexpr int kPlugRecords = 233;
constexpr int kSceneSize = 56;
constexpr int kScenes = 4;
constexpr int kPlugTableEnd = kPlugRecords * kPlugRecordSize;         // 6524, first scene address
constexpr int kPlugMemorySize = kPlugTableEnd + kScenes * kSceneSize; // 6748

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

// Plug memory reply (CMD_PLUG_READ): copied into the record or scene table, bounded by it.
void ZWaveReadMemFunc(const Report& report);

// A CMD_ZWAVE report: acknowledged unless it is an acknowledgement, then decoded.
void HandleZWaveReport(const Report& report);
