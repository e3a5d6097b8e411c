#include "TestSupport.h"

#include "dispatch/Dispatcher.h"
#include "files/ModeFile.h"
#include "link/Timing.h"
#include "model/Compound.h"
#include "model/Setters.h"
#include "sim/SimBackend.h"
#include "sync/Sync.h"

#include <chrono>

namespace {

class SyncTest : public StoreTest {
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
    // Connects and completes the read-all as the view would; returns the sync-finished outcome.
    std::string ConnectAndRead() {
        EXPECT_TRUE(conn.Connect());
        conn.WaitSync();
        return conn.OnSyncFinished();
    }
    uint64_t Received(uint8_t code) { return sim.Counters().nReceived[code]; }

    CSimBackend sim;
    CUsbLink usb{sim, DispatchHandlers()};
    CConnection conn{usb};
};

TEST_F(SyncTest, ReadAllSendsTheExactRequestsAndMirrorsTheProcessor) {
    ASSERT_EQ(ConnectAndRead(), "");
    EXPECT_EQ(Received(CMD_GET_MODEL), 1u);
    EXPECT_EQ(Received(CMD_GET_CMD_VERSION), 1u);
    EXPECT_EQ(Received(CMD_GET_MCU_VERSION), 1u);
    EXPECT_EQ(Received(CMD_GET_MODE), 1u);
    EXPECT_EQ(Received(CMD_IDENT_EXTRA), 1u);
    EXPECT_EQ(Received(CMD_GET_PARAM), 192u);
    EXPECT_EQ(Received(CMD_MEM_READ), 26u);
    EXPECT_EQ(Received(CMD_GET_MACHINE), 1u);
    EXPECT_EQ(Received(CMD_GET_STATUS), 1u);
    EXPECT_EQ(sim.Counters().nReceivedTotal, 225u);
    EXPECT_EQ(g_Param.bModified, 0);
    // The image and the blocks equal the processor's memory.
    const auto mem = sim.WithProcessor([](CSimProcessor& p) { return p.Current().mem; });
    EXPECT_TRUE(std::equal(g_Param.byImage.begin(), g_Param.byImage.end(), mem.begin()));
    EXPECT_TRUE(
        std::equal(g_Param.bySurroundLevels.begin(), g_Param.bySurroundLevels.end(), mem.begin() + 1253));
    EXPECT_TRUE(std::equal(g_bySoundFieldBytes.begin(), g_bySoundFieldBytes.end(), mem.begin() + 1285));
    EXPECT_EQ(ToUtf8(U16(g_Device.szModel.data(), kModelChars)), "M7Q");
    EXPECT_EQ(g_Device.nCmdVersion, 18);
}

TEST_F(SyncTest, WriteAllThenReadAllRoundTripsAPreset) {
    ASSERT_EQ(ConnectAndRead(), "");
    SetSlotFloatBits(SET_ECHO_A_TIME, 123.0f);
    g_Param.nSetting[SET_OUT_MIX_MUSIC + 3] = 37;
    g_Param.nSetting[SET_OUT_PHASE + 6] = 1;
    g_Param.nSetting[SET_MUSIC_PITCH] = -2;
    SetSlotFloatBits(SET_OUT_COMP_RATIO + 2, 4.0f);
    SetSlotFloatBits(SET_OUT_COMP_ATTACK + 2, 5.0f);
    SetSlotFloatBits(SET_OUT_COMP_RELEASE + 2, 200.0f);
    WriteBandAndCoeffs(6, 3, 4.5f, 333.0f, 2.2f, EQ_PEQ); // sends too: fine, write-all sends it again
    const std::vector<uint8_t> preset = BuildModeFileBytes();
    conn.StartWriteAll();
    conn.WaitSync();
    ASSERT_EQ(conn.OnSyncFinished(), "");
    EXPECT_EQ(g_Param.bModified, 0);

    ResetStoreAtStartup();
    conn.StartReadAll();
    conn.WaitSync();
    ASSERT_EQ(conn.OnSyncFinished(), "");
    EXPECT_EQ(SlotFloat(SET_ECHO_A_TIME), 123.0f);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_MIX_MUSIC + 3], 37);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_PHASE + 6], 1);
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_PITCH], -2);
    EXPECT_NEAR(SlotFloat(SET_OUT_COMP_RATIO + 2), 4.0f, 1e-4);
    EXPECT_NEAR(SlotFloat(SET_OUT_COMP_ATTACK + 2), 5.0f, 1e-3);
    EXPECT_NEAR(SlotFloat(SET_OUT_COMP_RELEASE + 2), 200.0f, 0.1);
    const BandValues b = ReadBand(6, 3);
    EXPECT_FLOAT_EQ(b.fGain, 4.5f);
    EXPECT_EQ(b.fFreq, 333.0f);
    // The image as a whole came back byte for byte.
    const std::vector<uint8_t> now = BuildModeFileBytes();
    EXPECT_TRUE(std::equal(now.begin() + kModeFileImageAt, now.end(), preset.begin() + kModeFileImageAt));
}

TEST_F(SyncTest, WriteAllVolumeRamp) {
    ASSERT_EQ(ConnectAndRead(), "");
    g_Status.byMachine[0] = 1;
    g_Param.nSetting[SET_MIC_VOLUME] = 85;
    g_Param.nSetting[SET_MUSIC_VOLUME] = 40;
    std::vector<Report> sent;
    usb.SetTrace([&](char d, const Report& r) {
        if (d == '>')
            sent.push_back(r);
    });
    conn.StartWriteAll();
    conn.WaitSync();
    usb.SetTrace(nullptr);
    std::vector<float> mic;
    for (const Report& r : sent)
        if (r[1] == CMD_SET_PARAM && r[3] == MOD_MIC && r[4] == 14)
            mic.push_back(ValueFloat(r, 0));
    ASSERT_EQ(mic.size(), 7u); // 0.0 first, then 0.80 .. 0.85 in single precision plus 0.0005
    EXPECT_EQ(mic[0], 0.0f);
    const uint32_t ramp[] = {0x3f4ced92, 0x3f4f7cee, 0x3f520c4a, 0x3f549ba6, 0x3f572b02, 0x3f59ba5f};
    for (int v = 80; v <= 85; ++v)
        EXPECT_EQ(FloatBits(mic[v - 79]), ramp[v - 80]) << v;
    EXPECT_EQ(sent.back()[1], CMD_GET_PARAM);
    EXPECT_EQ(sent.back()[4], 12);
}

TEST_F(SyncTest, WriteAllWithoutVolumeModeSendsNoVolumes) {
    ASSERT_EQ(ConnectAndRead(), "");
    g_Status.byMachine[0] = 0;
    sim.ResetCounters();
    int volumes = 0;
    usb.SetTrace([&](char d, const Report& r) {
        if (d == '>' && r[1] == CMD_SET_PARAM && ((r[3] == 1 && r[4] == 14) || (r[3] == 4 && r[4] == 12)))
            ++volumes;
    });
    conn.StartWriteAll();
    conn.WaitSync();
    usb.SetTrace(nullptr);
    EXPECT_EQ(volumes, 0);
    EXPECT_EQ(Received(CMD_GET_PARAM), 2u);
}

TEST_F(SyncTest, ModelOnlyOnTheSecondAttemptIsAccepted) {
    SimFaults f;
    f.bModelOnSecondAttempt = true;
    sim.SetFaults(f);
    EXPECT_EQ(ConnectAndRead(), "");
    EXPECT_EQ(Received(CMD_GET_MODEL), 2u);
    EXPECT_EQ(Received(CMD_GET_PARAM), 192u);
}

TEST_F(SyncTest, WrongModelReadsNothingAndDisconnects) {
    SimFaults f;
    f.bWrongModel = true;
    sim.SetFaults(f);
    const auto image = g_Param.byImage;
    EXPECT_EQ(ConnectAndRead(), kTextWrongModel);
    EXPECT_EQ(Received(CMD_GET_MODEL), 2u);
    EXPECT_EQ(Received(CMD_GET_PARAM), 0u);
    EXPECT_EQ(Received(CMD_MEM_READ), 0u);
    EXPECT_EQ(Received(CMD_DISCONNECT), 1u);
    EXPECT_EQ(g_Param.byImage, image);
    EXPECT_FALSE(usb.IsOpen());
}

TEST_F(SyncTest, CommandSetVersion17ReadsNoMemory) {
    SimFaults f;
    f.nCmdVersion = 17;
    sim.SetFaults(f);
    EXPECT_EQ(ConnectAndRead(), kTextWrongVersion);
    EXPECT_EQ(Received(CMD_MEM_READ), 0u);
    EXPECT_FALSE(usb.IsOpen());
}

TEST_F(SyncTest, ErasedMemoryClearsTheImage) {
    SimFaults f;
    f.bErasedMemory = true;
    sim.SetFaults(f);
    EXPECT_EQ(ConnectAndRead(), "");
    for (uint8_t b : g_Param.byImage)
        ASSERT_EQ(b, 0);
}

TEST_F(SyncTest, UnplugDuringReadAllFailsFastAndStillFinishes) {
    SimFaults f;
    f.nUnplugAfter = 40;
    sim.SetFaults(f);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(conn.Connect());
    conn.WaitSync(); // the worker ends on its own
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
    EXPECT_TRUE(usb.ReaderEnded());
    EXPECT_EQ(sim.Counters().nReceivedTotal, 40u);
    EXPECT_TRUE(conn.OnRemoval("SIM:0"));
    EXPECT_FALSE(usb.IsOpen());
}

TEST_F(SyncTest, RemovalOfAnotherDeviceLeavesTheLinkOpen) {
    ASSERT_EQ(ConnectAndRead(), "");
    EXPECT_FALSE(conn.OnRemoval("/dev/hidraw9"));
    EXPECT_TRUE(usb.IsOpen());
}

TEST_F(SyncTest, ModesAndThePendingFileMode) {
    ASSERT_EQ(ConnectAndRead(), "");
    conn.StoreMode(1);
    conn.LoadMode(2);
    conn.WaitSync();
    EXPECT_EQ(conn.OnSyncFinished(), "");
    EXPECT_EQ(g_Param.nCurMode, 2);
    EXPECT_EQ(Received(CMD_MODE_STORE), 1u);
    EXPECT_EQ(Received(CMD_MODE_LOAD), 1u);
    EXPECT_EQ(Received(CMD_GET_PARAM), 384u); // a second read-all

    std::vector<Report> sent;
    usb.SetTrace([&](char d, const Report& r) {
        if (d == '>')
            sent.push_back(r);
    });
    conn.StartWriteAll(2); // a file named m3...
    conn.WaitSync();
    EXPECT_EQ(conn.OnSyncFinished(), "");
    usb.Flush();
    usb.SetTrace(nullptr);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent[sent.size() - 2], 0, 3), (std::vector<uint8_t>{0x02, CMD_MODE_SET, 2}));
    EXPECT_EQ(Bytes(sent.back(), 0, 3), (std::vector<uint8_t>{0x02, CMD_MODE_STORE, 2}));
    EXPECT_EQ(conn.PendingFileMode(), -1);
    EXPECT_EQ(sim.WithProcessor([](CSimProcessor& p) { return p.CurrentMode(); }), 2);
}

TEST_F(SyncTest, NothingHappensWhileDisconnected) {
    conn.LoadMode(1);
    conn.StoreMode(1);
    conn.FactoryMode(1);
    conn.MachineReset();
    conn.LivePollTick();
    EXPECT_EQ(sim.Counters().nReceivedTotal, 0u);
    EXPECT_FALSE(conn.SyncRunning());
}

} // namespace

// A mode file saved without a processor holds the start-up store, whose compressor ratios are 0;
// writing it must not put -inf or NaN on the wire.
TEST_F(SyncTest, WriteAllOfTheStartUpStoreSendsNoNonFiniteFloat) {
    ASSERT_EQ(ConnectAndRead(), "");
    FreshStore();
    std::vector<Report> sent;
    usb.SetTrace([&](char d, const Report& r) {
        if (d == '>')
            sent.push_back(r);
    });
    conn.StartWriteAll();
    conn.WaitSync();
    usb.SetTrace(nullptr);
    int compressorBlocks = 0;
    for (const Report& r : sent) {
        if (r[1] != CMD_SET_PARAM)
            continue;
        const bool compressor =
            (r[3] >= MOD_OUT1 && r[3] <= MOD_OUT8 && r[4] == 27) || (r[3] == MOD_MUSIC && r[4] == 14);
        if (compressor) {
            ++compressorBlocks;
            EXPECT_EQ(ValueWord(r, 2), 0u) << "ratio 0 is sent as 1:1";
        }
        for (int i = 0; i < r[5]; ++i)
            EXPECT_TRUE(std::isfinite(ValueFloat(r, i)))
                << "block " << int(r[3]) << " parameter " << int(r[4]) << " value " << i;
    }
    EXPECT_EQ(compressorBlocks, 9);
}
