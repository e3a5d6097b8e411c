// The smart-plug flows. Loading plug data, switching all plugs, running a scene and resetting the
// network run on a worker thread of their own and report through IConsoleEvents::OnPlugProgress;
// inclusion, exclusion, single sets and memory writes run on the caller's thread and never wait.
// CPlugOperation is the view's operation context: it keeps the wait text and command byte for the
// delayed wait dialog and turns each plug event into what the window must do.
#pragma once

#include "plugs/PlugModel.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>

// A text of the console in both languages; where a text has no English, both are the Chinese one.
struct PlugText {
    const char* zh = "";
    const char* en = "";
    const char* In(int language) const { return language == 1 ? en : zh; }
    bool operator==(const PlugText& o) const {
        return std::string_view(zh) == o.zh && std::string_view(en) == o.en;
    }
};

inline constexpr PlugText kTextPlugLoading{"同步插座数据，请稍等……", "synchronize data"};
inline constexpr PlugText kTextAllOn{"打开所有设备……", "Power on all plugs"};
inline constexpr PlugText kTextAllOff{"关闭所有设备……", "Power off all plugs"};
inline constexpr PlugText kTextSceneLoading{"载入情景中", "Loading scene..."};
inline constexpr PlugText kTextSceneLoadingPage{"载入情景中……", "Loading scene..."}; // from the scene page
inline constexpr PlugText kTextResetting{"正在复位，请稍等……", "Resetting, wait a moment"};
inline constexpr PlugText kTextConnectFirst{"请先连接设备!", "Please connect device!"};
inline constexpr PlugText kTextAdding{"添加设备……", "添加设备……"};
inline constexpr PlugText kTextRemoving{"删除设备", "删除设备"};          // the plug list's button
inline constexpr PlugText kTextRemovingButton{"删除设备", "Remove plug"}; // the plug window's hidden button
inline constexpr PlugText kTextPressHold{"请长按3秒确认删除", "Press and hold 3 second"};
inline constexpr PlugText kTextAddFailed{"添加失败，请重试", "Add failed,please retry"};
inline constexpr PlugText kTextRemoveFailed{"删除失败，请重试", "Remove failed,please retry"};
inline constexpr PlugText kTextSetTimeout{"设置超时", "set timeout"};
inline constexpr PlugText kTextSaveFinished{"保存完成", "Save finished"};
inline constexpr PlugText kTextSetting{"正在设置……", "正在设置……"};
inline constexpr PlugText kTextSwitchingOn{"设备开启操作", "设备开启操作"};
inline constexpr PlugText kTextSwitchingOff{"设备关闭操作", "设备关闭操作"};
// Node reports 2..7 while the wait dialog is open.
inline constexpr PlugText kTextReportReady{"准备就绪，请按下遥控器按键", "准备就绪，请按下遥控器按键"};
inline constexpr PlugText kTextReportLearned{"学习完成", "学习完成"};
inline constexpr PlugText kTextReportCheckError{"校验错误，请重新学习", "校验错误，请重新学习"};
inline constexpr PlugText kTextReportKeyTimeout{"等待遥控器按键超时", "等待遥控器按键超时"};
inline constexpr PlugText kTextReportSent{"遥控按键发射成功", "遥控按键发射成功"};
inline constexpr PlugText kTextReportSendFailed{"遥控按键发射失败", "遥控按键发射失败"};

// OnPlugProgress (w, l) from the workers.
enum : uint32_t {
    PLUG_PROGRESS_SCENE = 1,    // l 0: the scene starts, l 1: it ended (close the dialog, refresh)
    PLUG_PROGRESS_LOADED = 8,   // load or reset ended (close the dialog, refresh)
    PLUG_PROGRESS_SWITCHED = 9, // switch all ended, l 1 on, 0 off (close the dialog)
};

// Callback ids of a basic set: 0x44 only for levels 128..254.
constexpr uint8_t kCallbackSet = 0x43;
constexpr uint8_t kCallbackSetHigh = 0x44;
uint8_t SetLevelCallback(int value);

// The Z-Wave requests; each returns what the link wrote (0 while it is down).
int ZWaveGetNodeList();
int ZWaveSetLevel(int node, int value); // basic set, transmit options 0x25
int ZWaveBasicGet(int node);
int ZWaveAddNode();    // start inclusion
int ZWaveRemoveNode(); // start exclusion
int ZWaveStopRemove(); // stop exclusion after a removal
int ZWaveSetDefault(); // reset the controller

// Set level (node, value): target 254 selects the HDMI input, 255 waits `value` seconds through
// `wait` (skipped when there is none), absent nodes and ids 233..253 are skipped with
// g_bSendDone set; otherwise the node's level is kept and the basic set goes out. Returns false
// when a frame could not be written (link down).
bool SetLevel(int node, int value, const std::function<void(std::chrono::milliseconds)>& wait = {});

// Reads every present plug's record, asks each for its level and reads the four scenes. Each node
// gets at most kPlugWait to answer; `stop` ends it at once. True when it ran to the end.
bool ZWAVE_ReadAll(const std::atomic<bool>& stop);

// The edit of an existing plug: record n := (kind, name cut to 11 characters), written to the
// processor. No network traffic.
void WritePlugRecord(int node, int kind, std::u16string_view name);
// Scene s := steps, written to the processor. The window shows kTextSaveFinished.
void SaveScene(int scene, const SceneSteps& steps);

enum class PlugStart { Started, NotConnected, AlreadyLoaded, Busy };

// One worker at a time. Owned next to the link and destroyed before it and before the events sink.
class CPlugFlows {
public:
    CPlugFlows() = default;
    ~CPlugFlows();
    CPlugFlows(const CPlugFlows&) = delete;
    CPlugFlows& operator=(const CPlugFlows&) = delete;

    // Only while connected and while g_bPlugDataLoaded is 0.
    PlugStart StartLoadPlugData();
    // Not refused while disconnected; then nothing is waited for.
    PlugStart StartSwitchAll(bool on);
    PlugStart StartRunScene(int scene);
    PlugStart StartResetNetwork();

    bool Busy() const { return m_bBusy; }
    // Waits for the running worker (tests, tools).
    void Wait();

    // The link closed: the running worker's waits end at once, it sends nothing more and posts its
    // last progress so that the window closes its dialog.
    void OnLinkClosed();
    // Exit: as OnLinkClosed, then joined; nothing is posted any more.
    void Shutdown();

private:
    template <class F> PlugStart Start(F&& body);
    // Interruptible waits of the worker; false once it is told to stop.
    bool Pause(std::chrono::milliseconds delay);
    bool WaitFlag(std::chrono::milliseconds timeout, const std::atomic<int>& flag);
    bool WaitTransmission();
    bool RequestNodeList();
    void Post(uint32_t w, uint32_t l);

    // Each flow returns the progress that ends it.
    using Progress = std::pair<uint32_t, uint32_t>;
    Progress LoadPlugData();
    Progress SwitchAll(bool on);
    Progress RunScene(int scene);
    Progress ResetNetwork();

    std::mutex m_mutex; // starting, stopping and joining
    std::thread m_worker;
    std::atomic<bool> m_bBusy{false};
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bExit{false};
};

// What the window does for one plug event.
struct PlugReaction {
    bool bStopTimer = false;            // stop timer 5: no wait dialog is to appear for this operation
    bool bEndWait = false;              // end the open wait dialog at once
    std::optional<PlugText> waitText;   // show in the open wait dialog (kept for one still to come)
    std::optional<PlugText> finishText; // the open wait dialog shows it, then ends after kWaitFinish
    std::optional<PlugText> notice;     // a notice for 1100 ms
    bool bRefreshLists = false;         // refresh the plug list and the scene editor
    bool operator==(const PlugReaction&) const = default;
};

// The view's operation context; user-interface thread only. Timer 5 and the wait dialog are the
// window's: Start returns the delay to start timer 5 with, and when it fires the wait dialog runs with
// Text() and Command().
class CPlugOperation {
public:
    // StartPlugOperation: keeps text and command, runs the command (0x13: set level `value` of
    // `node` when node is not 0; 0x4A: start inclusion; 0x4B: start exclusion), returns `delay`.
    std::chrono::milliseconds Start(const PlugText& text, uint8_t command, std::chrono::milliseconds delay,
                                    int node = 0, int value = 0);

    // Inclusion: the pending plug := (kind, name), then the operation. Nothing while disconnected.
    std::optional<std::chrono::milliseconds> Include(int kind, std::u16string_view name);
    // Exclusion with the caller's text (kTextRemoving or kTextRemovingButton). Nothing while disconnected.
    std::optional<std::chrono::milliseconds> Exclude(const PlugText& text = kTextRemoving);
    // The dimmer control's level and the switch control's on (255) and off (0).
    std::chrono::milliseconds SetDimmer(int node, int level);
    std::chrono::milliseconds Switch(int node, bool on);

    PlugText Text() const { return m_text; }
    uint8_t Command() const { return m_byCommand; }

    // A plug event (OnPlugEvent's w, l) as the smart-plug window handles it; inclusion results write
    // the new record and exclusion results stop the exclusion mode here.
    PlugReaction OnPlugEvent(uint32_t w, uint32_t l, bool waitDialogOpen);

private:
    PlugText m_text{};
    uint8_t m_byCommand = 0;
};
