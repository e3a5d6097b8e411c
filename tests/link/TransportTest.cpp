#include "FakeLinks.h"
#include "TestSupport.h"

#include "dispatch/Dispatcher.h"
#include "link/Timing.h"
#include "link/Transport.h"
#include "model/Setters.h"
#include "sync/Sync.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The reader thread writes the store; a test reads it under the same lock.
int CurMode() {
    auto lock = LockStore();
    return g_Param.nCurMode;
}

class TransportTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetLink(&usb);
    }
    void TearDown() override {
        CUsbLink::PostWritesFromThisThread(false);
        usb.Close();
        StoreTest::TearDown();
    }
    CFakeHid backend;
    CUsbLink usb{backend, DispatchHandlers()};
};

TEST_F(TransportTest, OpensOnlyTheProcessor) {
    backend.devices = {};
    EXPECT_FALSE(usb.Open());
    EXPECT_EQ(g_Param.bConnected, 0);
    backend.devices = {{"/dev/hidraw1", 0x046D, 0xC52B}};
    EXPECT_FALSE(usb.Open());
    EXPECT_TRUE(backend.opened.empty());
    backend.devices.push_back({"/dev/hidraw7", kVendorId, kProductId});
    EXPECT_TRUE(usb.Open());
    EXPECT_EQ(g_Param.bConnected, 1);
    EXPECT_EQ(backend.opened, std::vector<std::string>{"/dev/hidraw7"});
    EXPECT_FALSE(usb.Open()); // already open
    EXPECT_TRUE(usb.IsRemovalOf("/DEV/HIDRAW7"));
    EXPECT_FALSE(usb.IsRemovalOf("/dev/hidraw1"));
}

TEST_F(TransportTest, WritesWhileClosedReturnZeroAtOnce) {
    const auto t0 = Clock::now();
    EXPECT_EQ(SendCommand(CMD_GET_MODE), 0);
    EXPECT_EQ(usb.WriteUsbDataNow(BuildCommand(CMD_GET_MODE, {})), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_TRUE(backend.Written().empty());
}

TEST_F(TransportTest, RepliesAreDecodedAndPaceTheWrites) {
    ASSERT_TRUE(usb.Open());
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(SendParam(MOD_MIC, 14, FloatBits(0.5f)), 61);
    usb.AwaitReply();
    EXPECT_EQ(backend.Written().size(), 20u);
    EXPECT_EQ(g_Param.bModified, 1); // the acknowledgements reached the store
    Report mode{};
    mode[1] = CMD_GET_MODE;
    mode[2] = 2;
    backend.Inject(mode);
    for (int i = 0; i < 100 && CurMode() != 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(CurMode(), 2);
}

TEST_F(TransportTest, ASilentDeviceCostsTheFullReplyWaitPerWrite) {
    backend.bSilent = true;
    ASSERT_TRUE(usb.Open());
    const auto t0 = Clock::now();
    EXPECT_EQ(SendCommand(CMD_GET_MODE), 61); // the open leaves the event set: at once
    EXPECT_EQ(SendCommand(CMD_GET_MODE), 61); // waits for a reply that never comes
    const auto waited = Clock::now() - t0;
    EXPECT_GE(waited, timing::kReplyWait - std::chrono::milliseconds(50));
    EXPECT_EQ(backend.Written().size(), 2u);
}

TEST_F(TransportTest, AReadErrorStopsTheReaderAndEveryWrite) {
    ASSERT_TRUE(usb.Open());
    backend.bSilent = true;
    SendCommand(CMD_GET_MODE);
    backend.Fail();
    for (int i = 0; i < 200 && !usb.ReaderEnded(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(usb.ReaderEnded());
    const auto t0 = Clock::now();
    EXPECT_EQ(SendCommand(CMD_GET_MODE), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_TRUE(usb.IsOpen()); // connected until closed
    usb.Close();
    EXPECT_FALSE(usb.IsOpen());
    backend.bFailReads = false;
    ASSERT_TRUE(usb.Open());
    EXPECT_FALSE(usb.ReaderEnded()) << "a link opened again is healthy";
    usb.Close();
}

TEST_F(TransportTest, CloseClearsTheLiveStatusAndStopsTheReader) {
    ASSERT_TRUE(usb.Open());
    g_Param.byLiveStatus.fill(7);
    const auto t0 = Clock::now();
    usb.Close();
    EXPECT_LT(Clock::now() - t0, timing::kReaderExitWait);
    EXPECT_EQ(backend.closes, 1);
    EXPECT_EQ(g_Param.bConnected, 0);
    for (uint8_t b : g_Param.byLiveStatus)
        EXPECT_EQ(b, 0);
    usb.Close(); // closing twice does nothing
    EXPECT_EQ(backend.closes, 1);
}

TEST_F(TransportTest, PostedWritesReturnAtOnceAndKeepTheirOrder) {
    backend.bSilent = true; // every write after the first would wait 1.8 s
    ASSERT_TRUE(usb.Open());
    CUsbLink::PostWritesFromThisThread(true);
    SetSlot(SET_OUT_MUTE + 0, 1);
    SetSlot(SET_OUT_MUTE + 1, 1);
    SetSlot(SET_OUT_MUTE + 2, 1);
    // The calls came back while the later reports still wait for a reply that has not come.
    EXPECT_LE(backend.Written().size(), 1u);
    backend.bSilent = false;
    backend.Inject(Report{}); // release the pacing
    usb.Flush();
    auto written = backend.Written();
    ASSERT_EQ(written.size(), 3u);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(written[c][3], MOD_OUT1 + c);
}

TEST_F(TransportTest, TheReadersZWaveAcknowledgementDoesNotStallIt) {
    backend.bSilent = true;
    ASSERT_TRUE(usb.Open());
    SendCommand(CMD_GET_MODE); // consumes the open's signal: the next write would wait
    Report frame{};
    frame[1] = CMD_ZWAVE;
    frame[2] = 5;
    frame[3] = 0x01;
    frame[6] = 0x42; // controller reset done
    Report mode{};
    mode[1] = CMD_GET_MODE;
    mode[2] = 3;
    backend.Inject(frame);
    backend.Inject(mode);
    const auto t0 = Clock::now();
    for (int i = 0; i < 200 && CurMode() != 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(CurMode(), 3);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(900));
    usb.Flush();
    auto written = backend.Written();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(Bytes(written[1], 0, 4), (std::vector<uint8_t>{0x02, 0x12, 0x01, 0x06}));
}

} // namespace
