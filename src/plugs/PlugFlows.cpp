#include "plugs/PlugFlows.h"

#include "link/Codec.h"
#include "link/Events.h"
#include "link/Timing.h"
#include "model/ParamStore.h"
#include "model/Setters.h"

#include <initializer_list>
#include <vector>

using namespace std::chrono_literals;

namespace {

int SendFrame(std::initializer_list<uint8_t> data) {
    return SendZWaveFrame(data.begin(), static_cast<int>(data.size()));
}

bool Connected() {
    auto lock = LockStore();
    return g_Param.bConnected != 0;
}

// A step that goes to the plug network and waits for its transmission.
bool IsPlugTarget(int node) {
    return node != SCENE_HDMI && node != SCENE_WAIT;
}

} // namespace

uint8_t SetLevelCallback(int value) {
    return value >= 128 && value <= 254 ? kCallbackSetHigh : kCallbackSet;
}

int ZWaveGetNodeList() {
    return SendFrame({ZW_GET_INIT_DATA});
}

int ZWaveSetLevel(int node, int value) {
    return SendFrame({ZW_SEND_DATA, static_cast<uint8_t>(node), 0x03, 0x20, 0x01, static_cast<uint8_t>(value),
                      0x25, SetLevelCallback(value)});
}

int ZWaveBasicGet(int node) {
    return SendFrame({ZW_SEND_DATA, static_cast<uint8_t>(node), 0x02, 0x20, 0x02, 0x25, 0x25});
}

int ZWaveAddNode() {
    return SendFrame({ZW_ADD_NODE, 0x01, 0x30});
}

int ZWaveRemoveNode() {
    return SendFrame({ZW_REMOVE_NODE, 0x01, 0x09});
}

int ZWaveStopRemove() {
    return SendFrame({ZW_REMOVE_NODE, 0x05});
}

int ZWaveSetDefault() {
    return SendFrame({ZW_SET_DEFAULT, 0x02});
}

bool SetLevel(int node, int value, const std::function<void(std::chrono::milliseconds)>& wait) {
    g_bSendDone = 0;
    if (node == SCENE_HDMI) {
        DebugText("正在执行HDMI操作\n");
        SetSlot(SET_HDMI_PORT, value);
        g_bSendDone = 1;
        return Connected();
    }
    if (node == SCENE_WAIT) {
        DebugText("正在执行延时操作\n");
        if (wait)
            wait(value * timing::kSceneWaitUnit);
        g_bSendDone = 1;
        return true;
    }
    if (!NodePresent(node)) { // ids 233..253, past the node table, are absent too
        g_bSendDone = 1;
        DebugText("此ID不存在，跳过设置命令\n");
        return true;
    }
    {
        auto lock = LockStore();
        g_Status.byPlugTable[node][1] = static_cast<uint8_t>(value);
    }
    return ZWaveSetLevel(node, value) != 0;
}

bool ZWAVE_ReadAll(const std::atomic<bool>& stop) {
    DebugText("ZWAVE_ReadAll\n");
    const uint32_t repliesBefore = g_nPlugReadReplies;
    uint32_t reads = 0;
    const std::vector<int> plugs = PresentPlugs();
    for (int n : plugs) {
        if (stop || !ReadPlugMemory(PlugRecordAddress(n), kPlugRecordSize))
            return false;
        ++reads;
    }
    for (int n : plugs) {
        if (stop)
            return false;
        g_bNodeReplied = 0;
        if (!ZWaveBasicGet(n))
            return false;
        // Bounded: a node that neither answers nor fails its transmission costs this and no more.
        if (!WaitPlugFlags(
                Settle(timing::kPlugWait), [] { return g_bNodeReplied != 0; }, stop)) {
            if (stop)
                return false;
            DebugText("ZWAVE_ReadAll: node " + std::to_string(n) + " did not answer\n");
        }
    }
    for (int s = 0; s < kScenes; ++s) {
        if (stop || !ReadPlugMemory(SceneAddress(s), kSceneSize))
            return false;
        ++reads;
    }
    // The last replies belong to the read too; each write waited for a reply, not necessarily its own.
    WaitPlugFlags(
        timing::kReplyWait, [&] { return g_nPlugReadReplies - repliesBefore >= reads; }, stop);
    return !stop;
}

void WritePlugRecord(int node, int kind, std::u16string_view name) {
    if (node < 1 || node > kMaxPlugNode)
        return;
    const PlugRecordBytes record = MakePlugRecord(kind, name);
    SetPlugRecord(node, record);
    WritePlugMemory(PlugRecordAddress(node), kPlugRecordSize, record.data());
}

void SaveScene(int scene, const SceneSteps& steps) {
    if (scene < 0 || scene >= kScenes)
        return;
    SetScene(scene, steps);
    const auto bytes = SceneBytes(steps);
    WritePlugMemory(SceneAddress(scene), kSceneSize, bytes.data());
}

// ---- Workers -----------------------------------------------------------------------------------

CPlugFlows::~CPlugFlows() {
    Shutdown();
}

template <class F> PlugStart CPlugFlows::Start(F&& body) {
    std::lock_guard lock(m_mutex);
    if (m_bExit || m_bBusy)
        return PlugStart::Busy;
    if (m_worker.joinable())
        m_worker.join(); // one that has posted its end and is returning
    m_bStop = false;
    m_bBusy = true;
    m_worker = std::thread([this, body = std::forward<F>(body)] {
        const auto [w, l] = body();
        m_bBusy = false; // before the window hears of the end, so that it may start the next flow
        Post(w, l);
    });
    return PlugStart::Started;
}

PlugStart CPlugFlows::StartLoadPlugData() {
    if (!Connected())
        return PlugStart::NotConnected;
    if (g_bPlugDataLoaded)
        return PlugStart::AlreadyLoaded;
    return Start([this] { return LoadPlugData(); });
}

PlugStart CPlugFlows::StartSwitchAll(bool on) {
    return Start([this, on] { return SwitchAll(on); });
}

PlugStart CPlugFlows::StartRunScene(int scene) {
    if (!Connected())
        return PlugStart::NotConnected;
    return Start([this, scene] { return RunScene(scene); });
}

PlugStart CPlugFlows::StartResetNetwork() {
    if (!Connected())
        return PlugStart::NotConnected;
    return Start([this] { return ResetNetwork(); });
}

void CPlugFlows::Wait() {
    std::lock_guard lock(m_mutex);
    if (m_worker.joinable())
        m_worker.join();
}

void CPlugFlows::OnLinkClosed() {
    m_bStop = true;
    NotifyPlugFlags();
}

void CPlugFlows::Shutdown() {
    m_bExit = true;
    OnLinkClosed();
    Wait();
}

bool CPlugFlows::Pause(std::chrono::milliseconds delay) {
    WaitPlugFlags(
        Settle(delay), [] { return false; }, m_bStop);
    return !m_bStop;
}

bool CPlugFlows::WaitFlag(std::chrono::milliseconds timeout, const std::atomic<int>& flag) {
    return WaitPlugFlags(
        Settle(timeout), [&flag] { return flag != 0; }, m_bStop);
}

bool CPlugFlows::WaitTransmission() {
    WaitFlag(timing::kPlugWait, g_bSendDone);
    return Pause(timing::kPlugStepPause);
}

bool CPlugFlows::RequestNodeList() {
    g_bNodeListReceived = 0;
    if (!ZWaveGetNodeList()) {
        m_bStop = true; // the link is down: nothing will arrive
        return false;
    }
    return WaitFlag(timing::kNodeListWait, g_bNodeListReceived);
}

void CPlugFlows::Post(uint32_t w, uint32_t l) {
    if (m_bExit)
        return;
    if (IConsoleEvents* sink = GetConsoleEvents())
        sink->OnPlugProgress(w, l);
}

CPlugFlows::Progress CPlugFlows::LoadPlugData() {
    DebugText("Start thread:LoadPlugData\n");
    if (Pause(timing::kPlugLoadStart) && RequestNodeList()) {
        if (ZWAVE_ReadAll(m_bStop))
            g_bPlugDataLoaded = 1;
        Pause(timing::kPlugLoadEnd);
    }
    return {PLUG_PROGRESS_LOADED, 0};
}

CPlugFlows::Progress CPlugFlows::SwitchAll(bool on) {
    for (int n : PresentPlugs()) {
        if (m_bStop)
            break;
        const int kind = PlugKind(n);
        if (kind != PLUG_SWITCH && kind != PLUG_DIMMER)
            continue;
        if (!SetLevel(n, on ? 99 : 0)) {
            m_bStop = true; // dropped by a closed link: no acknowledgement to wait for
            break;
        }
        WaitTransmission();
    }
    Pause(timing::kSwitchAllEnd);
    return {PLUG_PROGRESS_SWITCHED, on ? 1u : 0u};
}

CPlugFlows::Progress CPlugFlows::RunScene(int scene) {
    Post(PLUG_PROGRESS_SCENE, 0);
    const SceneSteps steps = GetScene(scene);
    for (const SceneStep& step : steps) {
        if (m_bStop)
            break;
        if (step.byTarget == SCENE_EMPTY)
            continue; // an empty step in the middle does not end the scene
        if (!SetLevel(step.byTarget, step.byValue, [this](std::chrono::milliseconds d) { Pause(d); })) {
            m_bStop = true;
            break;
        }
        if (IsPlugTarget(step.byTarget))
            WaitTransmission();
        Pause(timing::kPlugStepPause);
    }
    return {PLUG_PROGRESS_SCENE, 1};
}

CPlugFlows::Progress CPlugFlows::ResetNetwork() {
    DebugText("ZWAVE复位\n");
    g_bSendDone = 0;
    if (ZWaveSetDefault()) {
        WaitFlag(timing::kPlugWait, g_bSendDone);
        for (int s = 0; s < kScenes && !m_bStop; ++s)
            SaveScene(s, SceneSteps{}); // the plug records stay
        if (!m_bStop && RequestNodeList() && ZWAVE_ReadAll(m_bStop))
            Pause(timing::kPlugLoadEnd);
    }
    return {PLUG_PROGRESS_LOADED, 0};
}

// ---- Operation context -------------------------------------------------------------------------

std::chrono::milliseconds CPlugOperation::Start(const PlugText& text, uint8_t command,
                                                std::chrono::milliseconds delay, int node, int value) {
    m_text = text;
    m_byCommand = command;
    switch (command) {
    case ZW_SEND_DATA:
        if (node != 0)
            SetLevel(node, value); // a wait target is never waited for on this thread
        break;
    case ZW_ADD_NODE:
        ZWaveAddNode();
        break;
    case ZW_REMOVE_NODE:
        ZWaveRemoveNode();
        break;
    default:
        break;
    }
    return delay;
}

std::optional<std::chrono::milliseconds> CPlugOperation::Include(int kind, std::u16string_view name) {
    if (!Connected())
        return std::nullopt;
    {
        auto lock = LockStore();
        g_byPendingPlug = MakePlugRecord(kind, name);
    }
    return Start(kTextAdding, ZW_ADD_NODE, 0ms);
}

std::optional<std::chrono::milliseconds> CPlugOperation::Exclude(const PlugText& text) {
    if (!Connected())
        return std::nullopt;
    return Start(text, ZW_REMOVE_NODE, 0ms);
}

std::chrono::milliseconds CPlugOperation::SetDimmer(int node, int level) {
    return Start(kTextSetting, ZW_SEND_DATA, timing::kPlugSetDialog, node, level);
}

std::chrono::milliseconds CPlugOperation::Switch(int node, bool on) {
    return Start(on ? kTextSwitchingOn : kTextSwitchingOff, ZW_SEND_DATA, timing::kPlugSetDialog, node,
                 on ? 255 : 0);
}

PlugReaction CPlugOperation::OnPlugEvent(uint32_t w, uint32_t l, bool waitDialogOpen) {
    PlugReaction r;
    auto endWait = [&r] { r.bStopTimer = r.bEndWait = true; };
    auto setText = [&](const PlugText& text) {
        m_text = text; // kept for a dialog that has not appeared yet
        r.waitText = text;
    };
    const int node = static_cast<int>(l >> 16);
    const uint32_t low = l & 0xFFFF;
    switch (w) {
    case ZW_SEND_DATA: {
        const uint32_t callback = l >> 16;
        if (callback == kCallbackSet) {
            if (low == 1)
                r.notice = kTextSetTimeout;
            endWait();
        } else if (callback == kCallbackSetHigh && low == 1) {
            endWait();
            r.notice = kTextSetTimeout;
        }
        break;
    }
    case ZW_ADD_NODE:
        if (low == 1) {
            setText(kTextPressHold);
        } else if (low == 5) {
            const PlugRecordBytes record = PlugRecord(node);
            WritePlugMemory(PlugRecordAddress(node), kPlugRecordSize, record.data());
            endWait();
            r.bRefreshLists = true;
        } else if (low == 7) {
            // It may fail before its wait dialog has appeared: the dialog is not to come then.
            r.bStopTimer = true;
            r.finishText = kTextAddFailed;
        }
        break;
    case ZW_REMOVE_NODE:
        if (low == 6) {
            ZWaveStopRemove();
            endWait();
            r.bRefreshLists = true; // the removed node's record stays in plug memory
        } else if (low == 7) {
            r.bStopTimer = true;
            r.finishText = kTextRemoveFailed;
        } else {
            setText(kTextPressHold);
        }
        break;
    case ZW_APPLICATION_COMMAND: {
        const uint32_t v = l & 0xFF;
        if (v == 4 || v == 6 || v == 7)
            r.bStopTimer = true; // even without a dialog
        if (!waitDialogOpen)
            break;
        switch (v) {
        case 2:
            r.waitText = kTextReportReady;
            break;
        case 3:
            r.finishText = kTextReportLearned;
            break;
        case 4:
            r.finishText = kTextReportCheckError;
            break;
        case 5:
            r.finishText = kTextReportKeyTimeout;
            break;
        case 6:
            r.waitText = kTextReportSent;
            endWait();
            break;
        case 7:
            r.finishText = kTextReportSendFailed;
            break;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
    return r;
}
