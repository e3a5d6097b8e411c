#include "plugs/PlugModel.h"

#include "link/Codec.h"
#include "link/Events.h"
#include "model/ParamStore.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>

PlugMemory g_PlugMem;
std::array<uint8_t, kPlugRecordSize> g_byPendingPlug{};
std::atomic<int> g_bNodeListReceived{0};
std::atomic<int> g_bNodeReplied{0};
std::atomic<int> g_bSendDone{0};
std::atomic<int> g_bPlugDataLoaded{0};
std::atomic<uint32_t> g_nPlugReadReplies{0};

namespace {
std::mutex s_flagMutex;
std::condition_variable s_flagCv;
int s_nWaiters = 0; // under s_flagMutex

bool ValidNode(int node) {
    return node >= kControllerNode && node <= kMaxPlugNode;
}
} // namespace

void NotifyPlugFlags() {
    {
        // Taken so that a waiter between its check and its wait cannot miss this.
        std::lock_guard lock(s_flagMutex);
    }
    s_flagCv.notify_all();
}

bool WaitPlugFlags(std::chrono::milliseconds timeout, const std::function<bool()>& done,
                   const std::atomic<bool>& stop) {
    std::unique_lock lock(s_flagMutex);
    ++s_nWaiters;
    s_flagCv.wait_for(lock, timeout, [&] { return stop.load() || done(); });
    --s_nWaiters;
    return done();
}

int PlugWaiters() {
    std::lock_guard lock(s_flagMutex);
    return s_nWaiters;
}

PlugRecordBytes MakePlugRecord(int kind, std::u16string_view name) {
    PlugRecordBytes r{};
    const auto k = static_cast<uint32_t>(kind);
    for (int i = 0; i < 4; ++i)
        r[i] = static_cast<uint8_t>(k >> (8 * i));
    const size_t n = std::min<size_t>(name.size(), kPlugNameChars);
    for (size_t i = 0; i < n; ++i) {
        r[4 + 2 * i] = static_cast<uint8_t>(name[i]);
        r[5 + 2 * i] = static_cast<uint8_t>(name[i] >> 8);
    }
    return r;
}

bool NodePresent(int node) {
    if (node < 0 || node > kMaxPlugNode)
        return false;
    auto lock = LockStore();
    return g_Status.byPlugTable[node][0] != 0;
}

std::vector<int> PresentPlugs() {
    std::vector<int> ids;
    auto lock = LockStore();
    for (int n = 1; n <= kMaxPlugNode; ++n)
        if (g_Status.byPlugTable[n][0] != 0 && g_Status.byPlugTable[n][0] != 1)
            ids.push_back(n);
    return ids;
}

PlugRecordBytes PlugRecord(int node) {
    PlugRecordBytes r{};
    if (!ValidNode(node))
        return r;
    auto lock = LockStore();
    std::copy_n(g_PlugMem.byData.begin() + PlugRecordAddress(node), kPlugRecordSize, r.begin());
    return r;
}

int PlugKind(int node) {
    const PlugRecordBytes r = PlugRecord(node);
    return static_cast<int>(r[0] | (r[1] << 8) | (r[2] << 16) | (uint32_t(r[3]) << 24));
}

std::u16string PlugName(int node) {
    const PlugRecordBytes r = PlugRecord(node);
    std::u16string name;
    for (int i = 0; i < kPlugNameChars + 1; ++i) {
        const char16_t c = static_cast<char16_t>(r[4 + 2 * i] | (r[5 + 2 * i] << 8));
        if (c == 0)
            break;
        name.push_back(c);
    }
    return name;
}

int PlugLevel(int node) {
    if (!ValidNode(node))
        return 0;
    auto lock = LockStore();
    return g_Status.byPlugTable[node][1];
}

void SetPlugRecord(int node, const PlugRecordBytes& record) {
    if (!ValidNode(node))
        return;
    auto lock = LockStore();
    std::copy(record.begin(), record.end(), g_PlugMem.byData.begin() + PlugRecordAddress(node));
}

SceneSteps GetScene(int scene) {
    SceneSteps steps{};
    if (scene < 0 || scene >= kScenes)
        return steps;
    auto lock = LockStore();
    const uint8_t* p = &g_PlugMem.byData[SceneAddress(scene)];
    for (int i = 0; i < kSceneSteps; ++i)
        steps[i] = {p[2 * i], p[2 * i + 1]};
    return steps;
}

std::array<uint8_t, kSceneSize> SceneBytes(const SceneSteps& steps) {
    std::array<uint8_t, kSceneSize> bytes{};
    for (int i = 0; i < kSceneSteps; ++i) {
        bytes[2 * i] = steps[i].byTarget;
        bytes[2 * i + 1] = steps[i].byValue;
    }
    return bytes;
}

void SetScene(int scene, const SceneSteps& steps) {
    if (scene < 0 || scene >= kScenes)
        return;
    const auto bytes = SceneBytes(steps);
    auto lock = LockStore();
    std::copy(bytes.begin(), bytes.end(), g_PlugMem.byData.begin() + SceneAddress(scene));
}

void ZWaveReadMemFunc(const Report& report) {
    const int address = static_cast<int>(GetBE16(&report[2]));
    const int length = std::min<int>(report[4], kReportPayload);
    int start = 0, end = 0;
    if (address < kPlugTableEnd) {
        start = address / kPlugRecordSize * kPlugRecordSize;
        end = kPlugTableEnd;
    } else if (address < kPlugMemorySize) {
        start = kPlugTableEnd + (address - kPlugTableEnd) / kSceneSize * kSceneSize;
        end = kPlugMemorySize;
    } else {
        DebugText("ZWaveReadMemFunc over range");
    }
    if (end > start) {
        auto lock = LockStore();
        std::memcpy(&g_PlugMem.byData[start], &report[5], std::min(length, end - start));
    }
    ++g_nPlugReadReplies; // every reply counts, copied or not
    NotifyPlugFlags();
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
    NotifyPlugFlags();
    if (event)
        if (IConsoleEvents* sink = GetConsoleEvents())
            sink->OnPlugEvent(event->first, event->second);
}
