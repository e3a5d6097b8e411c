// The plug flows end to end against the simulated processor, over the real transport and threads.
// Waits that must stop "at once" are tested with the settle scale raised so far that a wait which did
// not stop would outlast the test's time-out: the test then fails by timing out instead of passing.
#include "TestSupport.h"
#include "dispatch/Dispatcher.h"

#include "link/Timing.h"
#include "plugs/PlugFlows.h"
#include "sim/SimBackend.h"
#include "sync/Sync.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Hex = std::vector<uint8_t>;
using Event = std::pair<uint32_t, uint32_t>;

// Guards a test against a hang only; nothing here measures speed.
constexpr auto kHangGuard = 60s;

// Events from the reader and worker threads, for the test thread.
class EventLog : public IConsoleEvents {
public:
    void OnPlugEvent(uint32_t w, uint32_t l) override { Add(m_plugs, {w, l}); }
    void OnPlugProgress(uint32_t w, uint32_t l) override { Add(m_progress, {w, l}); }
    // The i-th plug event, once it has arrived.
    Event PlugEvent(size_t i) {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, kHangGuard, [&] { return m_plugs.size() > i; });
        return i < m_plugs.size() ? m_plugs[i] : Event{};
    }
    std::vector<Event> PlugEvents() {
        std::lock_guard lock(m_mutex);
        return m_plugs;
    }
    std::vector<Event> Progress() {
        std::lock_guard lock(m_mutex);
        return m_progress;
    }

private:
    void Add(std::vector<Event>& list, Event e) {
        {
            std::lock_guard lock(m_mutex);
            list.push_back(e);
        }
        m_cv.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Event> m_plugs, m_progress;
};

// Every report the console writes, and a signal when one matches.
class SentLog {
public:
    void Add(const Report& r) {
        {
            std::lock_guard lock(m_mutex);
            m_sent.push_back(r);
        }
        m_cv.notify_all();
    }
    std::vector<Report> All() {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    // The data bytes of every Z-Wave request (acknowledgements left out).
    std::vector<Hex> ZWaveRequests() {
        std::vector<Hex> out;
        for (const Report& r : All())
            if (r[1] == CMD_ZWAVE && r[3] == 0x01)
                out.push_back(Bytes(r, 6, r[4] - 2));
        return out;
    }
    void WaitFor(const Hex& zdata) {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, kHangGuard, [&] {
            return std::any_of(m_sent.begin(), m_sent.end(), [&](const Report& r) {
                return r[1] == CMD_ZWAVE && r[3] == 0x01 && Bytes(r, 6, r[4] - 2) == zdata;
            });
        });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Report> m_sent;
};

// Until a worker sits in one of its waits.
void AwaitWaiter() {
    const auto until = std::chrono::steady_clock::now() + kHangGuard;
    while (PlugWaiters() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(PlugWaiters(), 1);
}

Hex SetFrame(int node, int v) {
    return {0x13, uint8_t(node), 0x03, 0x20, 0x01, uint8_t(v), 0x25, SetLevelCallback(v)};
}
Hex GetFrame(int node) {
    return {0x13, uint8_t(node), 0x02, 0x20, 0x02, 0x25, 0x25};
}

class PlugSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreshStore();
        {
            auto lock = LockStore();
            g_PlugMem = PlugMemory{};
        }
        g_bPlugDataLoaded = 0;
        SetSettleScale(0.1);
        SetLink(&usb);
        SetConsoleEvents(&events);
        usb.SetTrace([this](char d, const Report& r) {
            if (d == '>')
                sent.Add(r);
        });
        ASSERT_TRUE(usb.Open());
    }
    void TearDown() override {
        flows.Shutdown();
        usb.Close();
        usb.SetTrace(nullptr);
        SetConsoleEvents(nullptr);
        SetLink(nullptr);
        SetSettleScale(1.0);
    }
    void Load() {
        ASSERT_EQ(flows.StartLoadPlugData(), PlugStart::Started);
        flows.Wait();
        ASSERT_EQ(g_bPlugDataLoaded.load(), 1);
    }
    template <class F> auto Proc(F f) { return sim.WithProcessor(f); }
    // Sends a report straight to the simulated processor, as set-up.
    void ToSim(const Report& r) {
        Proc([&](CSimProcessor& p) { p.Handle(r); });
    }
    int SimLevel(int id) {
        return Proc([id](CSimProcessor& p) { return p.Node(id) ? p.Node(id)->nLevel : -1; });
    }
    Hex SimPlugMem(int at, int n) {
        return Proc([&](CSimProcessor& p) {
            return Hex(p.PlugMemory().begin() + at, p.PlugMemory().begin() + at + n);
        });
    }
    Hex ConsolePlugMem(int at, int n) {
        auto lock = LockStore();
        return Hex(g_PlugMem.byData.begin() + at, g_PlugMem.byData.begin() + at + n);
    }
    static Hex RecordHex(int kind, std::u16string_view name) {
        const PlugRecordBytes r = MakePlugRecord(kind, name);
        return Hex(r.begin(), r.end());
    }

    EventLog events;
    SentLog sent;
    CSimBackend sim;
    CUsbLink usb{sim, DispatchHandlers()};
    CPlugFlows flows; // joined before the link goes
};

TEST_F(PlugSimTest, LoadingEightPlugsMirrorsTheProcessorAndEveryReportIsAnswered) {
    // Five more plugs beside the three the simulator ships with, named in its plug memory.
    Proc([](CSimProcessor& p) {
        for (int id : {4, 6, 7, 8, 9})
            p.AddNode(id, id % 2 ? kSimPlugSwitch : kSimPlugDimmer);
    });
    for (int id : {4, 6, 7, 8, 9}) {
        const PlugRecordBytes r = MakePlugRecord(id % 2 ? PLUG_SWITCH : PLUG_DIMMER,
                                                 u"Plug " + std::u16string(1, char16_t(u'0' + id)));
        ToSim(BuildPlugWrite(PlugRecordAddress(id), kPlugRecordSize, r.data()));
    }
    ToSim(BuildZWaveFrame(SetFrame(3, 40).data(), 8));
    Hex scene(56, 0);
    scene[0] = 2, scene[1] = 99, scene[2] = SCENE_WAIT, scene[3] = 4;
    ToSim(BuildPlugWrite(SceneAddress(3), 56, scene.data()));
    sim.ResetCounters();

    Load();
    EXPECT_EQ(events.Progress(), (std::vector<Event>{{PLUG_PROGRESS_LOADED, 0}}));
    const std::vector<int> plugs = PresentPlugs();
    ASSERT_EQ(plugs, Proc([](CSimProcessor& p) { return p.Nodes(); }));
    ASSERT_EQ(plugs.size(), 8u);
    for (int n : plugs) {
        EXPECT_EQ(ConsolePlugMem(PlugRecordAddress(n), 28), SimPlugMem(PlugRecordAddress(n), 28)) << n;
        EXPECT_EQ(PlugLevel(n), SimLevel(n)) << n;
    }
    EXPECT_EQ(PlugName(9), u"Plug 9");
    EXPECT_EQ(PlugLevel(3), 40);
    EXPECT_EQ(ConsolePlugMem(kPlugTableEnd, 4 * 56), SimPlugMem(kPlugTableEnd, 4 * 56));
    EXPECT_EQ(GetScene(3)[1], (SceneStep{SCENE_WAIT, 4}));

    // The node list first, then one level request per plug in order.
    const std::vector<Hex> z = sent.ZWaveRequests();
    ASSERT_EQ(z.size(), 9u);
    EXPECT_EQ(z[0], Hex{0x02});
    for (size_t i = 0; i < plugs.size(); ++i)
        EXPECT_EQ(z[1 + i], GetFrame(plugs[i]));
    // Every report got an answer, the console's acknowledgements too, so no write waited its 1800 ms.
    const SimCounters c = sim.Counters();
    EXPECT_EQ(c.nUnanswered, 0u);
    EXPECT_GT(c.nReceived[CMD_ZWAVE], 9u) << "acknowledgements were sent";
    EXPECT_EQ(c.nReceived[CMD_PLUG_READ], 8u + 4u);

    EXPECT_EQ(flows.StartLoadPlugData(), PlugStart::AlreadyLoaded);
}

TEST_F(PlugSimTest, ASilentNodeCostsItsBoundAndTheReadGoesOn) {
    Proc([](CSimProcessor& p) { p.SetNodeSilent(3, true); });
    Load(); // hangs here if the wait for node 3 had no bound
    EXPECT_EQ(PlugLevel(5), 0xFF) << "the node after the silent one was asked";
    EXPECT_EQ(PlugLevel(3), 0);
    const std::vector<Hex> z = sent.ZWaveRequests();
    EXPECT_EQ(z, (std::vector<Hex>{{0x02}, GetFrame(2), GetFrame(3), GetFrame(5)}));
    int sceneReads = 0;
    for (const Report& r : sent.All())
        if (r[1] == CMD_PLUG_READ && GetBE16(&r[2]) >= kPlugTableEnd)
            ++sceneReads;
    EXPECT_EQ(sceneReads, 4);
}

TEST_F(PlugSimTest, ReadAllStopsAtOnceWhenTheLinkCloses) {
    g_bNodeListReceived = 0;
    ZWaveGetNodeList();
    const std::atomic<bool> never{false};
    ASSERT_TRUE(WaitPlugFlags(
        kHangGuard, [] { return g_bNodeListReceived != 0; }, never));
    Proc([](CSimProcessor& p) { p.SetNodeSilent(2, true); });
    SetSettleScale(1000.0); // node 2's bound is now 100 minutes

    std::atomic<bool> stop{false};
    std::atomic<int> result{-1};
    std::thread reader([&] { result = ZWAVE_ReadAll(stop) ? 1 : 0; });
    sent.WaitFor(GetFrame(2));
    AwaitWaiter();
    usb.Close();
    stop = true;
    NotifyPlugFlags();
    reader.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(sent.ZWaveRequests().back(), GetFrame(2)) << "nothing asked after the close";
}

TEST_F(PlugSimTest, DisconnectInASceneWaitEndsTheWorkerAtOnce) {
    {
        auto lock = LockStore();
        g_Status.byPlugTable[2] = {2, 0};
    }
    SceneSteps steps{};
    steps[0] = {SCENE_WAIT, 255};
    steps[1] = {2, 99};
    SetScene(0, steps);
    SetSettleScale(10.0); // the wait step is now 42 minutes

    ASSERT_EQ(flows.StartRunScene(0), PlugStart::Started);
    EXPECT_EQ(flows.StartRunScene(1), PlugStart::Busy);
    AwaitWaiter(); // in the wait step: nothing else waits before it
    usb.Close();
    flows.OnLinkClosed();
    flows.Wait();
    EXPECT_FALSE(flows.Busy());
    EXPECT_EQ(SimLevel(2), 0) << "the step after the wait never ran";
    EXPECT_TRUE(sent.ZWaveRequests().empty());
    EXPECT_EQ(events.Progress(), (std::vector<Event>{{PLUG_PROGRESS_SCENE, 0}, {PLUG_PROGRESS_SCENE, 1}}))
        << "the window hears the end and closes its dialog";
    EXPECT_EQ(flows.StartRunScene(0), PlugStart::NotConnected);
}

TEST_F(PlugSimTest, ExitInASceneWaitJoinsTheWorkerAndPostsNothingMore) {
    SceneSteps steps{};
    steps[0] = {SCENE_WAIT, 255};
    SetScene(0, steps);
    SetSettleScale(10.0);
    ASSERT_EQ(flows.StartRunScene(0), PlugStart::Started);
    AwaitWaiter();
    flows.Shutdown();
    EXPECT_FALSE(flows.Busy());
    EXPECT_EQ(events.Progress(), (std::vector<Event>{{PLUG_PROGRESS_SCENE, 0}}));
    EXPECT_EQ(flows.StartRunScene(0), PlugStart::Busy) << "nothing starts after exit";
}

TEST_F(PlugSimTest, ASceneRunsEveryStepPastAnEmptyOneAndSkipsAbsentTargets) {
    Load();
    SceneSteps steps{};
    steps[0] = {2, 99};
    steps[1] = {SCENE_HDMI, 2};
    steps[2] = {SCENE_EMPTY, 0}; // step 3
    steps[3] = {SCENE_WAIT, 1};
    steps[4] = {3, 40};
    steps[5] = {240, 5}; // past the node table
    steps[6] = {5, 0};
    steps[7] = {9, 99}; // not in the network
    steps[27] = {3, 200};
    SaveScene(1, steps);
    EXPECT_EQ(SimPlugMem(SceneAddress(1), 56), ConsolePlugMem(SceneAddress(1), 56));
    const size_t before = sent.ZWaveRequests().size();

    ASSERT_EQ(flows.StartRunScene(1), PlugStart::Started);
    flows.Wait();
    const std::vector<Hex> z = sent.ZWaveRequests();
    EXPECT_EQ(std::vector<Hex>(z.begin() + before, z.end()),
              (std::vector<Hex>{SetFrame(2, 99), SetFrame(3, 40), SetFrame(5, 0), SetFrame(3, 200)}));
    EXPECT_EQ(SimLevel(2), 0xFF);
    EXPECT_EQ(SimLevel(5), 0);
    EXPECT_EQ(SimLevel(3), 99) << "200 reached the dimmer, with callback 0x44";
    EXPECT_EQ(Proc([](CSimProcessor& p) { return p.Param(MOD_MUSIC, 33); }), (std::vector<uint32_t>{2}));
    {
        auto lock = LockStore();
        EXPECT_EQ(g_Param.nSetting[SET_HDMI_PORT], 2);
        EXPECT_EQ(g_Status.byPlugTable[3][1], 200);
    }
    EXPECT_EQ(
        events.Progress(),
        (std::vector<Event>{{PLUG_PROGRESS_LOADED, 0}, {PLUG_PROGRESS_SCENE, 0}, {PLUG_PROGRESS_SCENE, 1}}));
}

TEST_F(PlugSimTest, SwitchAllSetsSwitchAndDimmerPlugsOnly) {
    Proc([](CSimProcessor& p) { p.AddNode(6, kSimPlugSwitch); }); // in the network, but no record
    Load();
    ASSERT_EQ(PlugKind(6), PLUG_NONE);
    const size_t before = sent.ZWaveRequests().size();
    ASSERT_EQ(flows.StartSwitchAll(true), PlugStart::Started);
    flows.Wait();
    std::vector<Hex> z = sent.ZWaveRequests();
    EXPECT_EQ(std::vector<Hex>(z.begin() + before, z.end()),
              (std::vector<Hex>{SetFrame(2, 99), SetFrame(3, 99), SetFrame(5, 99)}));
    EXPECT_EQ(SimLevel(2), 0xFF);
    EXPECT_EQ(SimLevel(3), 99);
    EXPECT_EQ(SimLevel(6), 0);
    EXPECT_EQ(events.Progress().back(), (Event{PLUG_PROGRESS_SWITCHED, 1}));

    ASSERT_EQ(flows.StartSwitchAll(false), PlugStart::Started);
    flows.Wait();
    for (int n : {2, 3, 5})
        EXPECT_EQ(SimLevel(n), 0) << n;
    EXPECT_EQ(events.Progress().back(), (Event{PLUG_PROGRESS_SWITCHED, 0}));

    // Disconnected: not refused, but nothing is sent and nothing waited for (else this hangs).
    usb.Close();
    SetSettleScale(30.0); // three plug waits would be 9 minutes; the pause at the end is 1.5 s
    const size_t sentBefore = sent.All().size();
    ASSERT_EQ(flows.StartSwitchAll(true), PlugStart::Started);
    flows.Wait();
    EXPECT_EQ(sent.All().size(), sentBefore);
    EXPECT_EQ(events.Progress().back(), (Event{PLUG_PROGRESS_SWITCHED, 1}));
}

TEST_F(PlugSimTest, InclusionWaitsForTheButtonPressedLate) {
    Load();
    Proc([](CSimProcessor& p) { p.SetHoldForButton(true); });
    CPlugOperation op;
    size_t next = events.PlugEvents().size();
    std::vector<PlugText> texts;
    auto handle = [&](Event e) {
        const PlugReaction r = op.OnPlugEvent(e.first, e.second, true);
        if (r.waitText)
            texts.push_back(*r.waitText);
        if (r.finishText)
            texts.push_back(*r.finishText);
        return r;
    };

    ASSERT_EQ(op.Include(PLUG_DIMMER, u"调压1"), std::optional(0ms));
    ASSERT_EQ(events.PlugEvent(next), (Event{0x4A, 1}));
    handle(events.PlugEvent(next++));
    EXPECT_TRUE(Proc([](CSimProcessor& p) { return p.ZWaveModeWaiting(); }));
    EXPECT_FALSE(NodePresent(4)) << "nothing before the button";

    ASSERT_TRUE(sim.PressPlugButton(0, kSimPlugDimmer));
    ASSERT_EQ(events.PlugEvent(next), (Event{0x4A, (4u << 16) | 5}));
    const PlugReaction r = handle(events.PlugEvent(next++));
    EXPECT_TRUE(r.bEndWait && r.bStopTimer && r.bRefreshLists);
    EXPECT_EQ(texts, (std::vector<PlugText>{kTextPressHold}));
    EXPECT_TRUE(NodePresent(4));
    EXPECT_EQ(PresentPlugs(), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(ConsolePlugMem(4 * 28, 28), RecordHex(PLUG_DIMMER, u"调压1"));
    EXPECT_EQ(SimPlugMem(4 * 28, 28), RecordHex(PLUG_DIMMER, u"调压1")) << "the record at 28n";
    EXPECT_EQ(Proc([](CSimProcessor& p) { return p.Node(4)->nKind; }), kSimPlugDimmer);

    // A failed inclusion stores nothing.
    texts.clear();
    const Hex before = ConsolePlugMem(0, kPlugTableEnd);
    op.Include(PLUG_SWITCH, u"开关9");
    EXPECT_EQ(events.PlugEvent(next), (Event{0x4A, 1}));
    handle(events.PlugEvent(next++));
    ASSERT_FALSE(sim.PressPlugButton(2)) << "node 2 is taken";
    ASSERT_EQ(events.PlugEvent(next), (Event{0x4A, 7}));
    handle(events.PlugEvent(next++));
    EXPECT_EQ(texts, (std::vector<PlugText>{kTextPressHold, kTextAddFailed}));
    EXPECT_EQ(ConsolePlugMem(0, kPlugTableEnd), before);
    EXPECT_EQ(PresentPlugs(), (std::vector<int>{2, 3, 4, 5}));

    // The wait dialog's abort takes the controller out of inclusion: a late press adds nothing.
    op.Include(PLUG_SWITCH, u"开关9");
    EXPECT_EQ(events.PlugEvent(next++), (Event{0x4A, 1}));
    const uint8_t abort[] = {0x4A, 0x05, 0x00};
    SendZWaveFrame(abort, 3);
    EXPECT_FALSE(Proc([](CSimProcessor& p) { return p.ZWaveModeWaiting(); }));
    EXPECT_FALSE(sim.PressPlugButton());
    EXPECT_EQ(Proc([](CSimProcessor& p) { return p.Nodes(); }), (std::vector<int>{2, 3, 4, 5}));
}

TEST_F(PlugSimTest, ExclusionOfAChosenNodeKeepsItsRecord) {
    Load();
    Proc([](CSimProcessor& p) { p.SetHoldForButton(true); });
    CPlugOperation op;
    size_t next = events.PlugEvents().size();
    ASSERT_EQ(op.Exclude(), std::optional(0ms));
    ASSERT_EQ(events.PlugEvent(next), (Event{0x4B, 1}));
    EXPECT_EQ(op.OnPlugEvent(0x4B, 1, false).waitText, kTextPressHold);
    ++next;
    EXPECT_EQ(op.Text(), kTextPressHold);

    ASSERT_TRUE(sim.PressPlugButton(3));
    ASSERT_EQ(events.PlugEvent(next), (Event{0x4B, (3u << 16) | 6}));
    const PlugReaction r = op.OnPlugEvent(0x4B, events.PlugEvent(next++).second, true);
    EXPECT_TRUE(r.bEndWait && r.bStopTimer && r.bRefreshLists);
    EXPECT_EQ(sent.ZWaveRequests().back(), (Hex{0x4B, 0x05}));
    EXPECT_EQ(PresentPlugs(), (std::vector<int>{2, 5}));
    EXPECT_EQ(PlugName(3), u"Ceiling") << "the record stays";
    EXPECT_EQ(Proc([](CSimProcessor& p) { return p.Nodes(); }), (std::vector<int>{2, 5}));
    EXPECT_EQ(SimPlugMem(3 * 28 + 4, 2), (Hex{'C', 0}));

    // A node that is not there cannot be excluded.
    op.Exclude();
    ASSERT_EQ(events.PlugEvent(next++), (Event{0x4B, 1}));
    ASSERT_FALSE(sim.PressPlugButton(9));
    ASSERT_EQ(events.PlugEvent(next), (Event{0x4B, 7}));
    const PlugReaction failed = op.OnPlugEvent(0x4B, 7, true);
    EXPECT_TRUE(failed.bStopTimer);
    EXPECT_EQ(failed.finishText, kTextRemoveFailed);
    EXPECT_EQ(PresentPlugs(), (std::vector<int>{2, 5}));
}

TEST_F(PlugSimTest, ResetWritesFourEmptyScenesAndKeepsTheNames) {
    Hex scene(56, 0x11);
    for (int s = 0; s < kScenes; ++s)
        ToSim(BuildPlugWrite(SceneAddress(s), 56, scene.data()));
    Load();
    ASSERT_EQ(GetScene(2)[0], (SceneStep{0x11, 0x11}));
    const size_t before = sent.All().size();

    ASSERT_EQ(flows.StartResetNetwork(), PlugStart::Started);
    flows.Wait();
    const std::vector<Report> all = sent.All();
    std::vector<Report> writes;
    for (size_t i = before; i < all.size(); ++i)
        if (all[i][1] == CMD_PLUG_WRITE)
            writes.push_back(all[i]);
    ASSERT_EQ(writes.size(), 4u);
    for (int s = 0; s < kScenes; ++s) {
        const Report& w = writes[s];
        EXPECT_EQ(Bytes(w, 0, 5),
                  (Hex{0x02, CMD_PLUG_WRITE, uint8_t(SceneAddress(s) >> 8), uint8_t(SceneAddress(s)), 56}));
        EXPECT_EQ(Bytes(w, 5, 56), Hex(56, 0)) << s;
        EXPECT_EQ(GetScene(s), SceneSteps{}) << s;
    }
    EXPECT_EQ(SimPlugMem(kPlugTableEnd, 4 * 56), Hex(4 * 56, 0));
    const std::vector<Hex> z = sent.ZWaveRequests();
    EXPECT_NE(std::find(z.begin(), z.end(), Hex{0x42, 0x02}), z.end());
    EXPECT_EQ(z.back(), Hex{0x02}) << "the node list again; no plugs left to ask";
    EXPECT_TRUE(PresentPlugs().empty());
    EXPECT_TRUE(NodePresent(kControllerNode));
    EXPECT_EQ(PlugName(2), u"Lamp");
    EXPECT_EQ(PlugName(5), u"Amplifier");
    EXPECT_EQ(SimPlugMem(2 * 28 + 4, 8), (Hex{'L', 0, 'a', 0, 'm', 0, 'p', 0}));
    EXPECT_EQ(events.Progress().back(), (Event{PLUG_PROGRESS_LOADED, 0}));
}

TEST_F(PlugSimTest, LateResultsAndReportsFromTheController) {
    Load();
    Proc([](CSimProcessor& p) { p.SetNodeSilent(5, true); });
    CPlugOperation op;
    size_t next = events.PlugEvents().size();

    // No acknowledgement from node 5; a failure arrives late.
    op.Switch(5, true);
    sim.InjectZWave({0x13, kCallbackSet, 0x01});
    Event e = events.PlugEvent(next++);
    ASSERT_EQ(e, (Event{0x13, (0x43u << 16) | 1}));
    PlugReaction r = op.OnPlugEvent(e.first, e.second, true);
    EXPECT_TRUE(r.bEndWait);
    EXPECT_EQ(r.notice, kTextSetTimeout);

    // A late success for a high level ends nothing; a late node report is kept and acted on.
    sim.InjectZWave({0x13, kCallbackSetHigh, 0x00});
    EXPECT_EQ(op.OnPlugEvent(0x13, events.PlugEvent(next++).second, true), PlugReaction{});
    sim.InjectZWave({0x04, 0x00, 5, 3, 0x20, 0x03, 0x02});
    e = events.PlugEvent(next++);
    ASSERT_EQ(e, (Event{4, (5u << 16) | 2}));
    EXPECT_EQ(op.OnPlugEvent(e.first, e.second, true).waitText, kTextReportReady);
    EXPECT_EQ(PlugLevel(5), 2);

    // The wait dialog's abort fails the pending transmission.
    op.Switch(5, false);
    const uint8_t abort[] = {0x13};
    SendZWaveFrame(abort, 1);
    EXPECT_EQ(events.PlugEvent(next++), (Event{0x13, (0x43u << 16) | 1}));
    EXPECT_EQ(sim.Counters().nUnanswered, 0u) << "a silent node still leaves no report unanswered";
}

// Live polling around connections, tokens and the link's health.
class PlugSyncTest : public PlugSimTest {
protected:
    void TearDown() override {
        conn.WaitSync();
        PlugSimTest::TearDown();
    }
    uint64_t Polls() { return sim.Counters().nReceived[CMD_GET_LIVE]; }
    CConnection conn{usb};
};

TEST_F(PlugSyncTest, LivePollingWaitsForEveryTokenTheUsersChoiceAndAHealthyLink) {
    usb.Close();
    g_bPlugDataLoaded = 1;
    ASSERT_TRUE(conn.Connect());
    EXPECT_EQ(g_bPlugDataLoaded.load(), 0) << "a connection reads the plug data again";
    conn.WaitSync();
    ASSERT_EQ(conn.OnSyncFinished(), "");
    const uint64_t start = Polls();
    conn.LivePollTick();
    EXPECT_EQ(Polls(), start + 1);

    // A synchronisation that ends while the plug window holds its token leaves polling off.
    {
        const CPollToken plugWindow = conn.SuspendPolling();
        conn.StartReadAll();
        conn.WaitSync();
        EXPECT_FALSE(conn.LivePollAllowed());
        conn.LivePollTick();
        EXPECT_EQ(Polls(), start + 1);
    }
    EXPECT_TRUE(conn.LivePollAllowed()) << "the transfer gave its own token back";
    conn.LivePollTick();
    EXPECT_EQ(Polls(), start + 2);

    conn.SetPeakPoll(false);
    conn.LivePollTick();
    EXPECT_EQ(Polls(), start + 2);
    conn.SetPeakPoll(true);

    // A reader failure: unhealthy until the link opens again.
    sim.Unplug();
    for (int i = 0; i < 400 && !usb.ReaderEnded(); ++i)
        std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(usb.ReaderEnded());
    EXPECT_FALSE(conn.LivePollAllowed());
    usb.Close();
    sim.Plug();
    ASSERT_TRUE(conn.Connect());
    conn.WaitSync();
    EXPECT_TRUE(conn.LivePollAllowed());
}

} // namespace
