// The read-all against a misbehaving simulated processor: which reads went unanswered, and asking
// again for them.
#include "TestSupport.h"
#include "dispatch/Dispatcher.h"

#include "files/ModeFile.h"
#include "link/Timing.h"
#include "model/Setters.h"
#include "sim/SimFaultList.h"
#include "sync/Sync.h"

#include <algorithm>

namespace {

class SimFaultReadAll : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetSettleScale(0.01);
        SetLink(&usb);
    }
    void TearDown() override {
        conn.WaitSync();
        usb.Close();
        SetSettleScale(1.0);
        StoreTest::TearDown();
    }
    void Faults(const std::string& list) {
        SimFaults f;
        std::string error;
        ASSERT_TRUE(ParseSimFaults(list, f, error)) << error;
        sim.SetFaults(f);
    }
    std::string ConnectAndRead() {
        EXPECT_TRUE(conn.Connect());
        conn.WaitSync();
        return conn.OnSyncFinished();
    }
    // What a backup writes after a clean read-all; the link is closed again and the store fresh.
    std::vector<uint8_t> CleanBackup() {
        EXPECT_EQ(ConnectAndRead(), "");
        EXPECT_TRUE(conn.UnansweredReads().empty());
        std::vector<uint8_t> bytes = BuildModeFileBytes();
        conn.Disconnect();
        FreshStore();
        return bytes;
    }

    CSimBackend sim;
    CUsbLink usb{sim, DispatchHandlers()};
    CConnection conn{usb};
};

TEST_F(SimFaultReadAll, LostAnswersAreRecordedAndAskedAgain) {
    // Something other than the start-up values everywhere a lost answer could hide.
    sim.WithProcessor([](CSimProcessor& p) {
        p.Handle(BuildCommand(CMD_MODE_LOAD, {2}));
        p.Handle(BuildParam(MOD_OUT1 + 3, 20, FloatBits(7.5f), 1));
    });
    const std::vector<uint8_t> clean = CleanBackup();

    // Replies 110 and 220: a parameter and a piece of the image.
    Faults("drop-every=110");
    ASSERT_EQ(ConnectAndRead(), "") << "the window carries on past lost answers";
    std::vector<Report> left = conn.UnansweredReads();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(sim.Counters().nDropped, 2u);
    EXPECT_EQ(left[0][1], CMD_GET_PARAM);
    EXPECT_EQ(left[1][1], CMD_MEM_READ);

    // Still lost: the same two remain, and nothing else was asked.
    Faults("silent");
    sim.ResetCounters();
    EXPECT_EQ(conn.AskAgain(), left);
    EXPECT_EQ(sim.Counters().nReceivedTotal, 2u);
    EXPECT_EQ(sim.Counters().nReceived[CMD_GET_PARAM], 1u);
    EXPECT_EQ(sim.Counters().nReceived[CMD_MEM_READ], 1u);

    sim.SetFaults(SimFaults{});
    EXPECT_TRUE(conn.AskAgain().empty());
    EXPECT_TRUE(conn.UnansweredReads().empty());
    EXPECT_EQ(BuildModeFileBytes(), clean) << "the backup is the one a clean read would give";
}

TEST_F(SimFaultReadAll, AShiftAskedAgainIsFollowedByItsSwitch) {
    // Set B's pitch shift switched off: its switch's answer marks the frequency slot off.
    const SlotRow& off = GetSlotRow(SET_MIC_B_SHIFT_OFF);
    const SlotRow& shift = GetSlotRow(SET_MIC_B_SHIFT);
    sim.WithProcessor([&](CSimProcessor& p) { p.Handle(BuildParam(off.nBlock, off.nParam[0], 1, 1)); });
    const std::vector<uint8_t> clean = CleanBackup();
    ASSERT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT], 0) << "fresh store";

    Faults("drop-every=39"); // reply 39 answers the shift frequency
    ASSERT_EQ(ConnectAndRead(), "");
    const std::vector<Report> left = conn.UnansweredReads();
    ASSERT_TRUE(std::any_of(left.begin(), left.end(), [&](const Report& r) {
        return r[1] == CMD_GET_PARAM && r[3] == shift.nBlock && r[4] == shift.nParam[0];
    }));
    sim.SetFaults(SimFaults{});
    sim.ResetCounters();
    EXPECT_TRUE(conn.AskAgain().empty());
    EXPECT_EQ(sim.Counters().nReceivedTotal, left.size() + 1) << "the switch asked again after the shift";
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT], 1);
    EXPECT_EQ(BuildModeFileBytes(), clean);
}

TEST_F(SimFaultReadAll, ANewReadAllStartsANewRecord) {
    Faults("drop-every=150");
    ASSERT_EQ(ConnectAndRead(), "");
    EXPECT_EQ(conn.UnansweredReads().size(), 1u);
    sim.SetFaults(SimFaults{});
    conn.StartReadAll();
    conn.WaitSync();
    ASSERT_EQ(conn.OnSyncFinished(), "");
    EXPECT_TRUE(conn.UnansweredReads().empty());
}

TEST_F(SimFaultReadAll, GarbageOfAnyCodeNeverLooksLikeALostAnswer) {
    Faults("garbage-every=3,any-code,seed=11");
    const std::string outcome = ConnectAndRead();
    EXPECT_GT(sim.Counters().nGarbage, 0u);
    // Garbage only adds reports: whatever the identification made of it, every read was answered.
    EXPECT_TRUE(conn.UnansweredReads().empty()) << outcome;
    EXPECT_TRUE(conn.AskAgain().empty());
}

} // namespace
