// The link's queue of posted writes: a newer edit to a target replaces the one still waiting for it,
// barriers and pauses keep what is meant step by step, and a drag over a slow processor ends with
// exactly the last values.
#include "FakeLinks.h"
#include "MergeSupport.h"
#include "TestSupport.h"
#include "dispatch/Dispatcher.h"

#include "link/Timing.h"
#include "link/Transport.h"
#include "model/Compound.h"
#include "model/Setters.h"
#include "sim/SimBackend.h"
#include "sync/Sync.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <thread>

namespace {

// Hands every report on and keeps a copy of each call with its thread and whether it was mergeable.
class CallLog : public ILink {
public:
    struct Call {
        Report report;
        std::thread::id thread;
        bool bMergeable;
    };
    explicit CallLog(ILink& next) : m_next(next) {}
    int WriteReport(const Report& report) override {
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back({report, std::this_thread::get_id(), CMergeableEdits::Active()});
        }
        return m_next.WriteReport(report);
    }
    void Pause(std::chrono::milliseconds ms) override { m_next.Pause(ms); }
    std::vector<Call> Calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<Report> Reports(auto&& keep) {
        std::vector<Report> out;
        for (const Call& c : Calls())
            if (keep(c))
                out.push_back(c.report);
        return out;
    }

private:
    ILink& m_next;
    std::mutex m_mutex;
    std::vector<Call> m_calls;
};

Report Mem(int address, int length, uint8_t fill) {
    std::array<uint8_t, kReportPayload> data;
    data.fill(fill);
    return BuildMemoryWrite(address, length, data.data());
}

class TransportMergeTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetSettleScale(0.0);
    }
    void TearDown() override {
        CUsbLink::PostWritesFromThisThread(false);
        SetSettleScale(1.0);
        StoreTest::TearDown();
    }
    // Opens the link with the next write held in the device: writes `blocker` and returns when it
    // is there, so that what is posted next waits in the queue.
    void OpenHeld(CUsbLink& usb, CFakeHid& gate, const Report& blocker) {
        ASSERT_TRUE(usb.Open());
        SetLink(&usb);
        CUsbLink::PostWritesFromThisThread(true);
        gate.Hold();
        EXPECT_EQ(WriteUsbData(blocker), 61);
        gate.AwaitWritten(1);
    }
};

const Report kBlocker = BuildCommand(CMD_GET_MODE, {});
constexpr std::array<uint8_t, 7> kPlugA = {1, 2, 3, 4, 5, 6, 7}, kPlugB = {7, 6, 5, 4, 3, 2, 1};

TEST_F(TransportMergeTest, ANewerEditReplacesTheWaitingOneToItsTargetInPlace) {
    CFakeHid gate;
    CUsbLink usb(gate, DispatchHandlers());
    OpenHeld(usb, gate, kBlocker);
    const uint32_t a1[2] = {1, 2}, a2[2] = {3, 4};
    {
        const CMergeableEdits merge;
        EXPECT_EQ(SendParam(MOD_OUT1, 5, 100), 61);              // A
        EXPECT_EQ(WriteUsbData(Mem(0x120, 7, 0x11)), 61);        // M
        EXPECT_EQ(SendParam(MOD_OUT1 + 1, 5, 100), 61);          // B: another block
        EXPECT_EQ(SendParam(MOD_OUT1, 5, 101), 61);              // A again: replaces A
        EXPECT_EQ(WriteUsbData(Mem(0x120, 7, 0x22)), 61);        // M again: replaces M
        EXPECT_EQ(SendParamValues(MOD_OUT1, 5, a1), 61);         // two values: a target of its own
        EXPECT_EQ(WriteUsbData(Mem(0x120, 6, 0x33)), 61);        // another length
        EXPECT_EQ(WriteUsbData(Mem(0x127, 7, 0x44)), 61);        // another address
        EXPECT_EQ(SendParam(MOD_OUT1, 6, 100), 61);              // another parameter
        EXPECT_EQ(WritePlugMemory(0x120, 7, kPlugA.data()), 61); // plug memory: a barrier
        EXPECT_EQ(WritePlugMemory(0x120, 7, kPlugB.data()), 61);
        EXPECT_EQ(SendParam(MOD_OUT1, 5, 102), 61); // after the barrier: queued anew
        EXPECT_EQ(SendParamValues(MOD_OUT1, 5, a2), 61);
        EXPECT_EQ(SendParam(MOD_OUT1, 5, 103), 61);
    }
    EXPECT_EQ(usb.MergedCount(), 3u);
    gate.Release();
    usb.Flush();
    usb.AwaitReply();
    const std::vector<Report> want = {kBlocker,
                                      BuildParam(MOD_OUT1, 5, 101, 1),
                                      Mem(0x120, 7, 0x22),
                                      BuildParam(MOD_OUT1 + 1, 5, 100, 1),
                                      BuildParamValues(MOD_OUT1, 5, a1),
                                      Mem(0x120, 6, 0x33),
                                      Mem(0x127, 7, 0x44),
                                      BuildParam(MOD_OUT1, 6, 100, 1),
                                      BuildPlugWrite(0x120, 7, kPlugA.data()),
                                      BuildPlugWrite(0x120, 7, kPlugB.data()),
                                      BuildParam(MOD_OUT1, 5, 103, 1),
                                      BuildParamValues(MOD_OUT1, 5, a2)};
    EXPECT_EQ(gate.Written(), want);
    usb.Close();
}

TEST_F(TransportMergeTest, NothingMergesAcrossABarrierOrAPause) {
    CFakeHid gate;
    CUsbLink usb(gate, DispatchHandlers());
    OpenHeld(usb, gate, kBlocker);
    auto set = [](uint32_t v) { return SendParam(MOD_MUSIC, 12, v); };
    {
        const CMergeableEdits merge;
        set(1);
        {
            const CStepByStepEdits steps; // a step-by-step sequence inside an edit handler
            set(2);
            set(3);
        }
        set(4); // no merge into 3: that one is a barrier
        set(5); // replaces 4
        LinkPause(std::chrono::milliseconds(20));
        set(6); // after the pause: its own entry
        SendCommand(CMD_GET_PARAM, {0, MOD_MUSIC, 12});
        set(7);
    }
    set(8); // outside the scope: a barrier itself
    {
        const CMergeableEdits merge;
        set(9);
    }
    EXPECT_EQ(usb.MergedCount(), 1u);
    gate.Release();
    usb.Flush();
    usb.AwaitReply();
    std::vector<Report> want = {kBlocker};
    for (uint32_t v : {1u, 2u, 3u, 5u, 6u})
        want.push_back(BuildParam(MOD_MUSIC, 12, v, 1));
    want.push_back(BuildCommand(CMD_GET_PARAM, {0, MOD_MUSIC, 12}));
    for (uint32_t v : {7u, 8u, 9u})
        want.push_back(BuildParam(MOD_MUSIC, 12, v, 1));
    EXPECT_EQ(gate.Written(), want);
    usb.Close();
}

TEST_F(TransportMergeTest, WritesThatAreNotPostedAreNeverMerged) {
    CFakeHid gate;
    CUsbLink usb(gate, DispatchHandlers());
    ASSERT_TRUE(usb.Open());
    SetLink(&usb);
    // A worker thread writes directly and waits for each reply, scope or not.
    std::thread worker([] {
        const CMergeableEdits merge;
        for (uint32_t v = 0; v < 5; ++v)
            EXPECT_EQ(SendParam(MOD_MIC, 14, v), 61);
    });
    worker.join();
    usb.AwaitReply();
    EXPECT_EQ(gate.Written().size(), 5u);
    EXPECT_EQ(usb.MergedCount(), 0u);
    usb.Close();
}

TEST_F(TransportMergeTest, TheRecordingLinkMarksWhatWasSentMergeable) {
    SetSlot(SET_OUT_MIX_DIRECT + 0, 50);
    {
        const CMergeableEdits merge;
        SetSlot(SET_OUT_MIX_DIRECT + 0, 60);
        SetSlot(SET_MUSIC_MUTE, 0); // the un-mute fade stays step by step
    }
    EXPECT_FALSE(CMergeableEdits::Active());
    const auto entries = link.Entries();
    ASSERT_EQ(entries.size(), 2u + (kMusicFadeSteps + 1u) + kMusicFadeSteps);
    EXPECT_FALSE(entries[0].bMergeable);
    EXPECT_TRUE(entries[1].bMergeable);
    for (size_t i = 2; i < entries.size(); ++i)
        EXPECT_FALSE(entries[i].bMergeable) << i;
}

// A drag of band 6 of output 1, linked with outputs 3 and 6, at about 60 moves a second.
struct Drag {
    static constexpr int kChannels[3] = {0, 2, 5};
    static constexpr int kBand = 5;
    static BandValues Step(int i) {
        return {static_cast<float>((i % 30) - 15) * 0.5f, 1000.0f + 7.0f * static_cast<float>(i), 1.41f,
                EQ_PEQ};
    }
    static void Move(int i) {
        const BandValues v = Step(i);
        const CMergeableEdits merge;
        for (int c : kChannels)
            WriteBandAndCoeffs(MOD_OUT1 + c, kBand, v.fGain, v.fFreq, v.fQ, v.nType);
    }
};

TEST_F(TransportMergeTest, ABandDraggedOverASlowProcessorEndsWithExactlyTheLastBandOnEveryLinkedChannel) {
    CWatchedSim sim;
    SimFaults faults;
    faults.nLatencyMs = 10;
    sim.SetFaults(faults);
    CUsbLink usb(sim, DispatchHandlers());
    ASSERT_TRUE(usb.Open());
    CallLog log(usb);
    SetLink(&log);
    CUsbLink::PostWritesFromThisThread(true);
    constexpr int kSteps = 100;
    for (int i = 1; i <= kSteps; ++i) {
        Drag::Move(i);
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    usb.Flush();
    usb.AwaitReply();

    const std::vector<Report> sent = log.Reports([](auto&) { return true; });
    const std::vector<Report> received = sim.Received();
    ASSERT_EQ(sent.size(), kSteps * 6u);
    EXPECT_TRUE(PerTargetOrderKept(sent, received));
    EXPECT_EQ(received.size() + usb.MergedCount(), sent.size());
    EXPECT_LT(received.size(), sent.size() / 2);

    // The processor holds the last band, record and coefficients, on all three channels.
    CRecordingLink last;
    SetLink(&last);
    Drag::Move(kSteps);
    const std::vector<Report> final = last.Reports();
    ASSERT_EQ(final.size(), 6u);
    sim.WithProcessor([&](CSimProcessor& proc) {
        for (size_t k = 0; k < 3; ++k) {
            const Report& mem = final[2 * k];
            const Report& coeffs = final[2 * k + 1];
            const int address = static_cast<int>(GetBE16(&mem[2]));
            EXPECT_EQ(address, EqBandAddress(MOD_OUT1 + Drag::kChannels[k], Drag::kBand));
            EXPECT_TRUE(std::equal(mem.begin() + 5, mem.begin() + 5 + kBandRecordSize,
                                   proc.Current().mem.begin() + address))
                << k;
            std::vector<uint32_t> words;
            for (int w = 0; w < coeffs[5]; ++w)
                words.push_back(ValueWord(coeffs, w));
            EXPECT_EQ(proc.Param(coeffs[3], coeffs[4]), words) << k;
        }
    });
    usb.Close();
}

TEST_F(TransportMergeTest, AFadeAndAWriteAllDuringADragKeepEveryOneOfTheirReports) {
    CWatchedSim sim;
    SimFaults faults;
    faults.nLatencyMs = 2;
    sim.SetFaults(faults);
    CUsbLink usb(sim, DispatchHandlers());
    ASSERT_TRUE(usb.Open());
    CallLog log(usb);
    SetLink(&log);
    CConnection conn(usb);
    CUsbLink::PostWritesFromThisThread(true);
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_MUSIC_MUTE] = 1;
    }
    std::thread worker;
    for (int i = 1; i <= 60; ++i) {
        Drag::Move(i);
        if (i == 10)
            worker = std::thread([&] { conn.WriteAll(); });
        if (i == 20 || i == 40) {
            // An edit handler that un-mutes, then mutes again at once: the fade is heard whole.
            const CMergeableEdits merge;
            SetSlot(SET_MUSIC_MUTE, 0);
            SetSlot(SET_MUSIC_MUTE, 1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker.join();
    usb.Flush();
    usb.AwaitReply();

    const auto ui = std::this_thread::get_id();
    const std::vector<Report> received = sim.Received();
    const std::vector<Report> writeAll = log.Reports([&](auto& c) { return c.thread != ui; });
    const std::vector<Report> steps = log.Reports([&](auto& c) { return c.thread == ui && !c.bMergeable; });
    const std::vector<Report> sent = log.Reports([](auto&) { return true; });
    EXPECT_GT(writeAll.size(), 400u);
    // Two whole fades, made under the edit scope, and every music gain report sent arrived.
    const auto musicGain = [](const Report& r) {
        return r[1] == CMD_SET_PARAM && r[3] == MOD_MUSIC && r[4] == 13;
    };
    EXPECT_EQ(std::count_if(steps.begin(), steps.end(), musicGain), 2 * (kMusicFadeSteps + 1));
    EXPECT_EQ(std::count_if(received.begin(), received.end(), musicGain),
              std::count_if(sent.begin(), sent.end(), musicGain));
    EXPECT_TRUE(IsSubsequence(writeAll, received));
    EXPECT_TRUE(IsSubsequence(steps, received));
    EXPECT_GT(usb.MergedCount(), 0u);
    EXPECT_EQ(received.size() + usb.MergedCount(), sent.size());
    usb.Close();
}

} // namespace
