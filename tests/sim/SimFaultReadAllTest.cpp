// The read-all against a misbehaving simulated processor: which reads went unanswered, and asking
// again for them.
#include "TestSupport.h"
#include "dispatch/Dispatcher.h"

#include "files/ModeFile.h"
#include "link/Timing.h"
#include "model/Setters.h"
#include "model/StoreProbe.h"
#include "sim/SimFaultList.h"
#include "sync/ReadGaps.h"
#include "sync/Sync.h"

#include <algorithm>
#include <atomic>
#include <thread>

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

bool IsRead(const Report& r, int block, int param) {
    return r[1] == CMD_GET_PARAM && r[3] == block && r[4] == param;
}

TEST_F(SimFaultReadAll, WhatALostAnswerWouldFeedIsFoundAndNamedWithoutSendingAnything) {
    Faults("drop-every=91"); // among the lost: channel 1's compressor
    ASSERT_EQ(ConnectAndRead(), "");
    const std::vector<Report> left = conn.UnansweredReads();
    const auto comp =
        std::find_if(left.begin(), left.end(), [](const Report& r) { return IsRead(r, MOD_OUT1, 27); });
    ASSERT_NE(comp, left.end());
    EXPECT_EQ(
        ValuesOfRead(*comp),
        "SET_OUT_COMP_THRESHOLD[1], SET_OUT_COMP_RATIO[1], SET_OUT_COMP_ATTACK[1], SET_OUT_COMP_RELEASE[1]");

    const std::vector<uint8_t> store = BuildModeFileBytes();
    const uint64_t received = sim.Counters().nReceivedTotal;
    const auto sending = [](int slot, float v) {
        return [slot, v] {
            SetSlotFloat(slot, v);
            return std::string();
        };
    };
    // The compressor block carries the unanswered ratio and times; a microphone level only itself.
    EXPECT_EQ(ReadsFeeding(left, sending(SET_OUT_COMP_THRESHOLD, -20)), std::vector<Report>{*comp});
    EXPECT_TRUE(ReadsFeeding(left, [] {
                    SetSlot(SET_MIC_LEVEL, 11);
                    return std::string();
                }).empty());
    EXPECT_EQ(ReadsFeeding(left, [] { return std::to_string(SlotFloat(SET_OUT_COMP_RATIO)); }),
              std::vector<Report>{*comp});
    EXPECT_EQ(BuildModeFileBytes(), store) << "the store is as it was";
    EXPECT_EQ(sim.Counters().nReceivedTotal, received) << "nothing reached the processor";

    const ReadGaps gaps{left, false};
    EXPECT_NE(DescribeGaps(gaps).find("no answer for 2 reads after asking 3 more times: "), std::string::npos)
        << DescribeGaps(gaps);
    sim.SetFaults(SimFaults{});
    const ReadGaps after = AskAgainForUnanswered(conn);
    EXPECT_TRUE(after.Empty());
    EXPECT_EQ(DescribeGaps(after), "");
}

TEST_F(SimFaultReadAll, EveryDecodedSlotIsNamedByTheReadThatFillsIt) {
    // The read-all's requests, none answered: sent to the recording link, the processor being M7Q.
    SetLink(&link);
    SetU16(g_Device.szModel, u"M7Q");
    g_Device.nCmdVersion = 18;
    conn.IdentifyAndReadAll();
    const std::vector<Report> reads = conn.UnansweredReads();
    ASSERT_EQ(reads.size(), 218u);
    std::string named;
    for (const Report& r : reads)
        named += ValuesOfRead(r) + ", ";
    for (int s = 0; s < SET_COUNT; ++s) {
        if (GetSlotRow(s).enc != SlotEnc::None || s == SET_MIC_BOOST_ON2) {
            EXPECT_NE(named.find(SlotName(s) + ","), std::string::npos) << SlotName(s);
        }
    }
}

TEST_F(SimFaultReadAll, AConnectWhileTheCutTransferEndsIsFollowedByItsOwnReadAll) {
    // The cable goes in the middle of the read-all; the new link opens while the cut transfer
    // still ends (its last settle delay made long), as a quick replug does.
    std::thread replug;
    std::atomic<bool> started{false};
    sim.SetCableWatch([&](bool plugged) {
        if (plugged)
            return;
        SetSettleScale(10.0);
        replug = std::thread([&] {
            usb.Close();
            sim.Plug();
            EXPECT_TRUE(conn.Connect());
            EXPECT_TRUE(conn.SyncRunning()) << "connected while the old transfer ran";
            SetSettleScale(0.01);
        });
        started = true;
    });
    Faults("unplug-after=100");
    EXPECT_TRUE(conn.Connect());
    while (!started)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    replug.join();
    conn.WaitSync();
    sim.SetCableWatch(nullptr);
    EXPECT_EQ(sim.Counters().nReceived[CMD_GET_MODEL], 2u) << "identified again on the new link";
    EXPECT_EQ(conn.OnSyncFinished(), "");
    EXPECT_TRUE(conn.UnansweredReads().empty());
}

} // namespace
