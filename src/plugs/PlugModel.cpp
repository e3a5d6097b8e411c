#include "plugs/PlugModel.h"

#include "link/Codec.h"
#include "link/Events.h"
#include "model/ParamStore.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

PlugMemory g_PlugMem;
std::array<uint8_t, kPlugRecordSize> g_byPendingPlug{};
std::atomic<int> g_bNodeListReceived{0};
std::atomic<int> g_bNodeReplied{0};
std::atomic<int> g_bSendDone{0};
std::atomic<int> g_bPlugDataLoaded{0};

void ZWaveReadMemFunc(const Report& report) {
    const int address = static_cast<int>(GetBE16(&report[2]));
    const int length = std::min<int>(report[4], kReportPayload);
    int start, end;
    if (address < kPlugTableEnd) {
        start = address / kPlugRecordSize * kPlugRecordSize;
        end = kPlugTableEnd;
    } else if (address < kPlugMemorySize) {
        start = kPlugTableEnd + (address - kPlugTableEnd) / kSceneSize * kSceneSize;
        end = kPlugMemorySize;
    } else {
        DebugText("ZWaveReadMemFunc over range");
        return;
    }
    const int n = std::min(length, end - start);
    auto lock = LockStore();
    std::memcpy(&g_PlugMem.byData[start], &report[5], n);
}

namespace {

using PlugEvent = std::pair<uint32_t, uint32_t>;

void SetNodePresent(int n, bool present) {
    if (n <= 0 || n >= kPlugNodes)
        return;
    g_Status.byPlugTable[n][0] = present ? static_cast<uint8_t>(n) : 0;
}

// Decodes one frame under the store lock; returns the event to post, if any.
std::optional<PlugEvent> DecodeFrame(const Report& r) {
    const uint8_t id = r[6];
    const uint8_t* d = &r[7]; // function data, bytes 7..60
    constexpr int kData = static_cast<int>(kReportSize) - 7;
    switch (id) {
    case ZW_GET_INIT_DATA: {
        // version, capabilities, bitmask length, bitmask
        const int len = std::min<int>({d[2], kData - 3, (kPlugNodes - 1 + 7) / 8});
        for (auto& e : g_Status.byPlugTable)
            e = {0, 0};
        for (int i = 0; i < len; ++i)
            for (int j = 0; j < 8; ++j)
                if (d[3 + i] & (1 << j))
                    SetNodePresent(8 * i + j + 1, true);
        g_bNodeListReceived = 1;
        return std::nullopt;
    }
    case ZW_APPLICATION_COMMAND: {
        // status, source node, command length, command bytes
        const int n = d[1];
        const int len = d[2];
        if (n >= kPlugNodes || len < 1 || len > kData - 3)
            return std::nullopt;
        const uint8_t last = d[2 + len];
        g_Status.byPlugTable[n][1] = last;
        g_bNodeReplied = 1;
        return PlugEvent{4, (uint32_t(n) << 16) | last};
    }
    case ZW_SEND_DATA: {
        const uint32_t c = d[0];
        const uint8_t t = d[1];
        if (t == 0) {
            g_bSendDone = 1;
            return PlugEvent{0x13, c << 16};
        }
        if (t == 1) {
            g_bSendDone = 1;
            g_bNodeReplied = 1;
            return PlugEvent{0x13, (c << 16) | 1};
        }
        return std::nullopt;
    }
    case ZW_SET_DEFAULT:
        g_bSendDone = 1;
        return PlugEvent{0x42, 0};
    case ZW_ADD_NODE: {
        const uint8_t t = d[1];
        const int n = d[2];
        if (t == 5) {
            if (n <= 0 || n >= kPlugNodes)
                return std::nullopt;
            SetNodePresent(n, true);
            std::copy(g_byPendingPlug.begin(), g_byPendingPlug.end(),
                      g_PlugMem.byData.begin() + n * kPlugRecordSize);
            return PlugEvent{0x4A, (uint32_t(n) << 16) | 5};
        }
        if (t == 1 || t == 7)
            return PlugEvent{0x4A, t};
        return std::nullopt;
    }
    case ZW_REMOVE_NODE: {
        const uint8_t t = d[1];
        const int n = d[2];
        if (t == 6) {
            DebugText("REMOVE ID= " + std::to_string(n) + "\n");
            if (n != 0)
                SetNodePresent(n, false);
            return PlugEvent{0x4B, (uint32_t(n) << 16) | 6};
        }
        return PlugEvent{0x4B, t};
    }
    default:
        return std::nullopt;
    }
}

} // namespace

void HandleZWaveReport(const Report& report) {
    if (report[3] == kZWaveAck)
        return;
    SendCommand(CMD_ZWAVE, {0x01, kZWaveAck});
    std::optional<PlugEvent> event;
    {
        auto lock = LockStore();
        event = DecodeFrame(report);
    }
    if (event)
        if (IConsoleEvents* sink = GetConsoleEvents())
            sink->OnPlugEvent(event->first, event->second);
}
