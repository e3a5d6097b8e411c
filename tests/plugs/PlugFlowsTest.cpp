// The plug flows' frames, memory writes and the operation context, against a recording link.
#include "TestSupport.h"

#include "model/Setters.h"
#include "plugs/PlugFlows.h"

#include <chrono>

namespace {

using namespace std::chrono_literals;
using Hex = std::vector<uint8_t>;

class PlugFlowsTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        g_PlugMem = PlugMemory{};
        g_bSendDone = 0;
        g_bNodeReplied = 0;
        g_Param.bConnected = 1;
        for (int n : {1, 2, 3, 7})
            g_Status.byPlugTable[n] = {static_cast<uint8_t>(n), 0};
    }
    // The Z-Wave data bytes of a sent frame, after checking its framing and checksum.
    static Hex ZData(const Report& r) {
        EXPECT_EQ(r[1], CMD_ZWAVE);
        EXPECT_EQ(r[3], 0x01);
        EXPECT_EQ(r[5], 0x00);
        const int n = r[4] - 2;
        EXPECT_EQ(r[2], n + 4);
        uint8_t sum = 0xFF ^ r[4] ^ r[5];
        for (int i = 0; i < n; ++i)
            sum ^= r[6 + i];
        EXPECT_EQ(r[6 + n], sum) << "checksum";
        return Bytes(r, 6, n);
    }
    Hex LastZData() {
        auto sent = Sent();
        return sent.empty() ? Hex{} : ZData(sent.back());
    }
};

TEST_F(PlugFlowsTest, SetLevelFramesAreByteExactWithTheirCallbackIds) {
    ASSERT_TRUE(SetLevel(7, 255));
    ASSERT_EQ(Sent().size(), 1u);
    const Report r = Sent()[0];
    EXPECT_EQ(Bytes(r, 0, 15), (Hex{0x02, 0x12, 0x0C, 0x01, 0x0A, 0x00, 0x13, 0x07, 0x03, 0x20, 0x01, 0xFF,
                                    0x25, 0x43, 0x5A}));
    EXPECT_TRUE(std::all_of(r.begin() + 15, r.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(g_Status.byPlugTable[7][1], 255) << "the level is kept";
    EXPECT_EQ(g_bSendDone.load(), 0) << "cleared for the transmission to come";

    link.Clear();
    SetLevel(7, 200);
    EXPECT_EQ(Bytes(Sent()[0], 6, 9), (Hex{0x13, 0x07, 0x03, 0x20, 0x01, 200, 0x25, 0x44, 0x6A}));
    // The boundaries of the second callback id.
    for (auto [v, c] : std::initializer_list<std::pair<int, int>>{
             {0, 0x43}, {99, 0x43}, {127, 0x43}, {128, 0x44}, {254, 0x44}, {255, 0x43}}) {
        SetLevel(2, v);
        EXPECT_EQ(LastZData(), (Hex{0x13, 2, 0x03, 0x20, 0x01, uint8_t(v), 0x25, uint8_t(c)})) << v;
    }
}

TEST_F(PlugFlowsTest, RequestFramesCarryTheirDataBytes) {
    ZWaveGetNodeList();
    EXPECT_EQ(Bytes(Sent().back(), 0, 8), (Hex{0x02, 0x12, 0x05, 0x01, 0x03, 0x00, 0x02, 0xFE}));
    ZWaveBasicGet(3);
    EXPECT_EQ(LastZData(), (Hex{0x13, 3, 0x02, 0x20, 0x02, 0x25, 0x25}));
    ZWaveAddNode();
    EXPECT_EQ(LastZData(), (Hex{0x4A, 0x01, 0x30}));
    ZWaveRemoveNode();
    EXPECT_EQ(LastZData(), (Hex{0x4B, 0x01, 0x09}));
    ZWaveStopRemove();
    EXPECT_EQ(LastZData(), (Hex{0x4B, 0x05}));
    ZWaveSetDefault();
    EXPECT_EQ(LastZData(), (Hex{0x42, 0x02}));
    link.nResult = 0;
    EXPECT_FALSE(SetLevel(2, 99)) << "a frame the link dropped";
}

TEST_F(PlugFlowsTest, SetLevelTargetsBesidesPlugs) {
    // HDMI input: the slot and its parameter, no Z-Wave frame.
    EXPECT_TRUE(SetLevel(SCENE_HDMI, 2));
    EXPECT_EQ(g_Param.nSetting[SET_HDMI_PORT], 2);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Bytes(Sent()[0], 1, 9), (Hex{CMD_SET_PARAM, 0, MOD_MUSIC, 33, 1, 0, 0, 0, 2}));
    EXPECT_EQ(g_bSendDone.load(), 1);

    // Wait: the seconds go to the caller's wait; none on a thread that may not wait.
    std::vector<std::chrono::milliseconds> waits;
    g_bSendDone = 0;
    EXPECT_TRUE(SetLevel(SCENE_WAIT, 3, [&](std::chrono::milliseconds d) { waits.push_back(d); }));
    EXPECT_EQ(waits, (std::vector<std::chrono::milliseconds>{3000ms}));
    EXPECT_EQ(g_bSendDone.load(), 1);
    EXPECT_TRUE(SetLevel(SCENE_WAIT, 255));

    // Absent nodes, and ids past the node table, are skipped as done.
    link.Clear();
    for (int node : {4, 232, 233, 240, 253}) {
        g_bSendDone = 0;
        EXPECT_TRUE(SetLevel(node, 99)) << node;
        EXPECT_EQ(g_bSendDone.load(), 1) << node;
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PlugFlowsTest, PlugRecordsAndScenesAreWrittenWhole) {
    WritePlugRecord(9, PLUG_DIMMER, u"客厅灯光调压器一号位置"); // 11 characters: kept whole
    WritePlugRecord(7, PLUG_SWITCH, u"ABCDEFGHIJKL");           // 12: cut to 11
    EXPECT_EQ(PlugName(9), u"客厅灯光调压器一号位置");
    EXPECT_EQ(PlugName(7), u"ABCDEFGHIJK");
    EXPECT_EQ(PlugKind(7), PLUG_SWITCH);
    EXPECT_EQ(PlugKind(9), PLUG_DIMMER);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent[1], 0, 9), (Hex{0x02, CMD_PLUG_WRITE, 0x00, 196, 28, 1, 0, 0, 0}));
    EXPECT_EQ(Bytes(sent[1], 9, 24), (Hex{'A', 0, 'B', 0, 'C', 0, 'D', 0, 'E', 0, 'F', 0,
                                          'G', 0, 'H', 0, 'I', 0, 'J', 0, 'K', 0, 0,   0}));
    EXPECT_EQ(Bytes(sent[1], 5, 28), Hex(g_PlugMem.byData.begin() + 196, g_PlugMem.byData.begin() + 224));
    EXPECT_EQ(sent[1][33], 0) << "nothing past the record";

    SceneSteps steps{};
    steps[0] = {2, 99};
    steps[1] = {SCENE_HDMI, 1};
    steps[27] = {SCENE_WAIT, 5};
    SaveScene(2, steps);
    EXPECT_EQ(GetScene(2), steps);
    const Report r = Sent().back();
    EXPECT_EQ(Bytes(r, 1, 4), (Hex{CMD_PLUG_WRITE, 0x19, 0xEC, 56})); // 6636 = 6524 + 2 * 56
    EXPECT_EQ(Bytes(r, 5, 4), (Hex{2, 99, 254, 1}));
    EXPECT_EQ(Bytes(r, 59, 2), (Hex{255, 5}));
    EXPECT_EQ(GetScene(1), SceneSteps{}) << "the neighbours stay";
    EXPECT_EQ(GetScene(3), SceneSteps{});

    // Out of range: nothing written anywhere.
    link.Clear();
    const PlugMemory before = g_PlugMem;
    WritePlugRecord(0, PLUG_SWITCH, u"x");
    WritePlugRecord(233, PLUG_SWITCH, u"x");
    SaveScene(4, steps);
    SaveScene(-1, steps);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(g_PlugMem.byData, before.byData);
}

TEST_F(PlugFlowsTest, OperationsSendTheirCommandAndGiveTheDialogDelay) {
    CPlugOperation op;
    EXPECT_EQ(op.SetDimmer(3, 40), 100ms);
    EXPECT_EQ(op.Command(), 0x13);
    EXPECT_EQ(op.Text(), kTextSetting);
    EXPECT_EQ(LastZData(), (Hex{0x13, 3, 0x03, 0x20, 0x01, 40, 0x25, 0x43}));
    op.Switch(2, true);
    EXPECT_EQ(op.Text(), kTextSwitchingOn);
    EXPECT_EQ(LastZData(), (Hex{0x13, 2, 0x03, 0x20, 0x01, 255, 0x25, 0x43}));
    op.Switch(2, false);
    EXPECT_EQ(op.Text(), kTextSwitchingOff);
    EXPECT_EQ(LastZData(), (Hex{0x13, 2, 0x03, 0x20, 0x01, 0, 0x25, 0x43}));

    // Node 0: only the context changes.
    link.Clear();
    EXPECT_EQ(op.Start(kTextSetting, 0x13, 250ms, 0, 99), 250ms);
    EXPECT_TRUE(Sent().empty());

    // Inclusion keeps the pending record; both are refused while disconnected.
    ASSERT_EQ(op.Include(PLUG_DIMMER, u"调压1"), std::optional(0ms));
    EXPECT_EQ(op.Command(), 0x4A);
    EXPECT_EQ(op.Text(), kTextAdding);
    EXPECT_EQ(g_byPendingPlug, MakePlugRecord(PLUG_DIMMER, u"调压1"));
    EXPECT_EQ(LastZData(), (Hex{0x4A, 0x01, 0x30}));
    ASSERT_EQ(op.Exclude(kTextRemovingButton), std::optional(0ms));
    EXPECT_EQ(op.Command(), 0x4B);
    EXPECT_STREQ(op.Text().In(1), "Remove plug");
    EXPECT_EQ(LastZData(), (Hex{0x4B, 0x01, 0x09}));

    g_Param.bConnected = 0;
    link.Clear();
    EXPECT_FALSE(op.Include(PLUG_SWITCH, u"x"));
    EXPECT_FALSE(op.Exclude());
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(op.Command(), 0x4B) << "a refused operation leaves the context";
}

TEST_F(PlugFlowsTest, TransmissionEventsEndTheWait) {
    CPlugOperation op;
    PlugReaction end;
    end.bStopTimer = end.bEndWait = true;
    PlugReaction endTimeout = end;
    endTimeout.notice = kTextSetTimeout;

    EXPECT_EQ(op.OnPlugEvent(0x13, 0x43u << 16, false), end);
    EXPECT_EQ(op.OnPlugEvent(0x13, (0x43u << 16) | 1, true), endTimeout);
    EXPECT_EQ(op.OnPlugEvent(0x13, 0x44u << 16, true), PlugReaction{}) << "success of a high level: no end";
    EXPECT_EQ(op.OnPlugEvent(0x13, (0x44u << 16) | 1, true), endTimeout);
    EXPECT_EQ(op.OnPlugEvent(0x13, 0x25u << 16, true), PlugReaction{}) << "a basic get's callback";
    EXPECT_EQ(op.OnPlugEvent(0x42, 0, true), PlugReaction{});
}

TEST_F(PlugFlowsTest, InclusionAndExclusionEvents) {
    CPlugOperation op;
    op.Include(PLUG_SWITCH, u"开关1");
    link.Clear();

    PlugReaction r = op.OnPlugEvent(0x4A, 1, false);
    EXPECT_EQ(r.waitText, kTextPressHold);
    EXPECT_FALSE(r.bEndWait);
    EXPECT_EQ(op.Text(), kTextPressHold) << "kept for a dialog still to come";

    // The decoder has put the pending record at node 9; the window's handling writes it.
    SetPlugRecord(9, MakePlugRecord(PLUG_SWITCH, u"开关1"));
    r = op.OnPlugEvent(0x4A, (9u << 16) | 5, true);
    EXPECT_TRUE(r.bStopTimer && r.bEndWait && r.bRefreshLists);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Bytes(Sent()[0], 1, 4), (Hex{CMD_PLUG_WRITE, 0, 252, 28}));
    const PlugRecordBytes record = MakePlugRecord(PLUG_SWITCH, u"开关1");
    EXPECT_EQ(Bytes(Sent()[0], 5, 28), Hex(record.begin(), record.end()));

    // A failure ends the wait whether or not its dialog has appeared: the dialog is not to come.
    r = op.OnPlugEvent(0x4A, 7, false);
    EXPECT_EQ(r.finishText, kTextAddFailed);
    EXPECT_TRUE(r.bStopTimer);
    EXPECT_EQ(op.OnPlugEvent(0x4A, 2, true), PlugReaction{});

    // Exclusion.
    op.Exclude();
    link.Clear();
    r = op.OnPlugEvent(0x4B, 3, true);
    EXPECT_EQ(r.waitText, kTextPressHold);
    EXPECT_TRUE(Sent().empty());
    r = op.OnPlugEvent(0x4B, (7u << 16) | 6, true);
    EXPECT_TRUE(r.bStopTimer && r.bEndWait && r.bRefreshLists);
    EXPECT_EQ(LastZData(), (Hex{0x4B, 0x05})) << "the exclusion mode is stopped";
    r = op.OnPlugEvent(0x4B, 7, false);
    EXPECT_TRUE(r.bStopTimer);
    EXPECT_FALSE(r.bEndWait);
    EXPECT_EQ(r.finishText, kTextRemoveFailed);
}

TEST_F(PlugFlowsTest, NodeReportsActOnlyWhileTheWaitDialogIsOpen) {
    CPlugOperation op;
    auto report = [&](uint32_t v, bool open) { return op.OnPlugEvent(4, (5u << 16) | v, open); };
    auto finish = [](const PlugText& t, bool stop) {
        PlugReaction r;
        r.finishText = t;
        r.bStopTimer = stop;
        return r;
    };
    PlugReaction ready;
    ready.waitText = kTextReportReady;
    EXPECT_EQ(report(2, true), ready);
    EXPECT_EQ(report(3, true), finish(kTextReportLearned, false));
    EXPECT_EQ(report(4, true), finish(kTextReportCheckError, true));
    EXPECT_EQ(report(5, true), finish(kTextReportKeyTimeout, false));
    PlugReaction sent;
    sent.waitText = kTextReportSent;
    sent.bStopTimer = sent.bEndWait = true;
    EXPECT_EQ(report(6, true), sent);
    EXPECT_EQ(report(7, true), finish(kTextReportSendFailed, true));
    EXPECT_EQ(report(0x63, true), PlugReaction{});

    // Without a dialog only the timer stops, and only for 4, 6 and 7.
    PlugReaction stop;
    stop.bStopTimer = true;
    for (uint32_t v : {2u, 3u, 5u, 0xFFu})
        EXPECT_EQ(report(v, false), PlugReaction{}) << v;
    for (uint32_t v : {4u, 6u, 7u})
        EXPECT_EQ(report(v, false), stop) << v;
    EXPECT_EQ(op.Text(), PlugText{}) << "node reports do not keep their text";
}

TEST_F(PlugFlowsTest, RecordAndSceneReadersStayInsideTheirTables) {
    g_PlugMem.byData.fill(0x41);
    EXPECT_EQ(PlugKind(0), 0);
    EXPECT_EQ(PlugKind(233), 0);
    EXPECT_EQ(PlugName(-3), u"");
    EXPECT_EQ(PlugName(1), std::u16string(12, u'\x4141')) << "no terminator: twelve units at most";
    EXPECT_EQ(PlugLevel(233), 0);
    EXPECT_FALSE(NodePresent(233));
    EXPECT_FALSE(NodePresent(-1));
    EXPECT_EQ(GetScene(4), SceneSteps{});
    EXPECT_EQ(PresentPlugs(), (std::vector<int>{2, 3, 7})) << "the controller is not a plug";
}

} // namespace
