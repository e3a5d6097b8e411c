#include "TestSupport.h"

#include "dispatch/Dispatcher.h"
#include "files/ModeFile.h"
#include "link/Timing.h"
#include "model/Diff.h"
#include "model/Eq.h"
#include "model/Setters.h"
#include "sim/SimBackend.h"
#include "sync/Sync.h"

#include <chrono>
#include <thread>

namespace {

// A/B and the drift check against the simulated processor, read back as a backup reads it.
class CompareTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetSettleScale(0.01);
        SetLink(&usb);
        usb.SetTrace([this](char d, const Report& r) {
            if (d == '>')
                sent.push_back(r);
        });
    }
    void TearDown() override {
        conn.WaitSync();
        usb.SetTrace(nullptr);
        usb.Close();
        SetSettleScale(1.0);
        StoreTest::TearDown();
    }
    void ReadAll() {
        conn.StartReadAll();
        conn.WaitSync();
        ASSERT_EQ(conn.OnSyncFinished(), "");
    }

    CSimBackend sim;
    CUsbLink usb{sim, DispatchHandlers()};
    CConnection conn{usb};
    std::vector<Report> sent;
};

TEST_F(CompareTest, ABToggleSendsOnlyTheDifferencesAndTogglingBackRestoresA) {
    ASSERT_TRUE(conn.Connect());
    conn.WaitSync();
    ASSERT_EQ(conn.OnSyncFinished(), "");
    const SettingsSnapshot a = TakeSettings();
    const std::vector<uint8_t> fileA = BuildModeFileBytes();
    const int out2[] = {1};
    for (int b = 0; b < 10; ++b)
        WriteOutputBand(out2, b, BandValues{-2.0f + b, 100.0f * (b + 1), 1.5f, EQ_PEQ});
    SetSlotFloat(SET_OUT_DELAY + 4, 12.5f);
    usb.AwaitReply();
    const SettingsSnapshot b = TakeSettings();

    // Back to A: the ten bands (record and coefficients) and the delay, nothing else.
    sent.clear();
    const std::vector<SettingUnit> units = ApplySettings(a);
    usb.AwaitReply();
    ASSERT_EQ(units.size(), 11u);
    EXPECT_EQ(UnitName(units[0]), "SET_OUT_DELAY[5]");
    EXPECT_EQ(UnitName(units[1]), "out2 band 1");
    int params = 0, memory = 0;
    for (const Report& r : sent) {
        params += r[1] == CMD_SET_PARAM;
        memory += r[1] == CMD_MEM_WRITE;
    }
    EXPECT_EQ(memory, 13); // bands 1..9, band 10 with its three sections
    EXPECT_EQ(params, 1 + 13);
    EXPECT_EQ(sent.size(), 27u);

    // The processor holds A byte for byte.
    ResetStoreAtStartup();
    ReadAll();
    EXPECT_EQ(TakeSettings(), a);
    EXPECT_EQ(BuildModeFileBytes(), fileA);

    // And B again.
    ApplySettings(b);
    ResetStoreAtStartup();
    ReadAll();
    EXPECT_EQ(TakeSettings(), b);
}

TEST_F(CompareTest, DriftBehindTheConsoleIsFoundByReadingIntoASecondCopy) {
    ASSERT_TRUE(conn.Connect());
    conn.WaitSync();
    ASSERT_EQ(conn.OnSyncFinished(), "");
    const SettingsSnapshot mirror = TakeSettings();
    SimFaults drift;
    drift.nDriftAfterMs = 1;
    sim.SetFaults(drift);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ReadAll();
    const std::vector<SettingDifference> d = DiffSettings(mirror, TakeSettings());
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0].strName, "music band 1");
    EXPECT_EQ(d[1].strName, "SET_MUSIC_VOLUME");
    // Sending the console's values makes the processor equal to the mirror again.
    ApplySettings(mirror);
    ResetStoreAtStartup();
    ReadAll();
    EXPECT_EQ(TakeSettings(), mirror);
}

} // namespace
