// The simulated processor, driven through its HID backend with hand-built reports.
#include "sim/SimBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Words = std::vector<uint32_t>;

Report Req(uint8_t code, Bytes payload = {}) {
    Report r{};
    r[0] = 0x02;
    r[1] = code;
    std::copy(payload.begin(), payload.end(), &r[2]);
    return r;
}

// Address, length, data: memory and plug memory writes and reads.
Report Chunk(uint8_t code, int addr, const Bytes& data, int len = -1) {
    Bytes p = {uint8_t(addr >> 8), uint8_t(addr), uint8_t(len < 0 ? data.size() : len)};
    p.insert(p.end(), data.begin(), data.end());
    return Req(code, p);
}

uint32_t Fl(float f) {
    return std::bit_cast<uint32_t>(f);
}

Report SetParam(int block, int param, const Words& words) {
    Report r = Req(CMD_SET_PARAM, {0, uint8_t(block), uint8_t(param), uint8_t(words.size())});
    for (size_t i = 0; i < words.size(); ++i)
        PutBE32(&r[6 + 4 * i], words[i]);
    return r;
}

// A Z-Wave request frame as the console builds it.
Report ZFrame(const Bytes& data) {
    const auto n = static_cast<uint8_t>(data.size());
    Bytes p = {uint8_t(n + 4), 0x01, uint8_t(n + 2), 0x00};
    uint8_t sum = 0xFF ^ p[2];
    for (uint8_t b : data) {
        p.push_back(b);
        sum ^= b;
    }
    p.push_back(sum);
    return Req(CMD_ZWAVE, p);
}

Bytes Slice(const Report& r, size_t from, size_t n) {
    return Bytes(r.begin() + from, r.begin() + from + n);
}

std::string Text(const Report& r) {
    return std::string(reinterpret_cast<const char*>(&r[2]));
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim.Open(kSimDevicePath)); }

    void Send(const Report& r) { ASSERT_EQ(sim.Write(r.data(), r.size()), 61); }
    std::optional<Report> Next(int timeoutMs) {
        Report r{};
        return sim.Read(r.data(), r.size(), timeoutMs) == 61 ? std::optional(r) : std::nullopt;
    }
    // Without latency the replies are queued before Write returns.
    std::vector<Report> Ask(const Report& r) {
        Send(r);
        std::vector<Report> out;
        while (auto reply = Next(0))
            out.push_back(*reply);
        return out;
    }
    Report AskOne(const Report& r) {
        auto replies = Ask(r);
        EXPECT_EQ(replies.size(), 1u) << "code " << int(r[1]);
        return replies.empty() ? Report{} : replies[0];
    }
    Words Get(int block, int param, int count) {
        Report r = AskOne(Req(CMD_GET_PARAM, {0, uint8_t(block), uint8_t(param), uint8_t(count)}));
        EXPECT_EQ(Slice(r, 1, 5), (Bytes{CMD_GET_PARAM, 0, uint8_t(block), uint8_t(param), uint8_t(count)}));
        Words words;
        for (int i = 0; i < r[5]; ++i)
            words.push_back(GetBE32(&r[6 + 4 * i]));
        return words;
    }
    Bytes Read(uint8_t code, int addr, int len) {
        Report r = AskOne(Chunk(code, addr, {}, len));
        EXPECT_EQ(Slice(r, 1, 4), Slice(Chunk(code, addr, {}, len), 1, 4)) << "same address and length";
        return Slice(r, 5, r[4]);
    }
    // The data of each frame after the acknowledgement, checking the framing.
    std::vector<Bytes> ZAsk(const Bytes& data) {
        auto replies = Ask(ZFrame(data));
        EXPECT_TRUE(!replies.empty() && Slice(replies[0], 1, 3) == (Bytes{CMD_ZWAVE, 1, 0x06}));
        std::vector<Bytes> frames;
        for (size_t i = 1; i < replies.size(); ++i) {
            const Report& r = replies[i];
            const int n = r[4] - 2;
            uint8_t sum = 0xFF ^ r[4] ^ r[5];
            for (int k = 0; k < n; ++k)
                sum ^= r[6 + k];
            EXPECT_EQ(Slice(r, 1, 3), (Bytes{CMD_ZWAVE, uint8_t(n + 4), 0x01}));
            EXPECT_EQ(r[6 + n], sum) << "checksum";
            frames.push_back(Slice(r, 6, n));
        }
        return frames;
    }
    template <class F> auto Proc(F f) { return sim.WithProcessor(f); }

    CSimBackend sim;
};

TEST(SimDevice, ListedAndOpenedOnlyWhilePlugged) {
    CSimBackend b;
    Report r = Req(CMD_GET_MODE);
    EXPECT_EQ(b.Write(r.data(), r.size()), -1) << "not open";
    EXPECT_EQ(b.Read(r.data(), r.size(), 10), -1);
    auto list = b.Enumerate();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, kSimDevicePath);
    EXPECT_EQ(list[0].nVendorId, 0x2010);
    EXPECT_EQ(list[0].nProductId, 0x1031);
    EXPECT_FALSE(b.Open("sim:7"));

    b.ShowForeignDevice(true);
    list = b.Enumerate();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, kSimForeignPath);
    EXPECT_NE(list[0].nVendorId, 0x2010);
    ASSERT_TRUE(b.Open(kSimForeignPath));
    EXPECT_EQ(b.Write(r.data(), r.size()), 61);
    EXPECT_EQ(b.Read(r.data(), r.size(), 20), 0) << "a foreign device never answers";
    EXPECT_EQ(b.Counters().nReceivedTotal, 0u);

    ASSERT_TRUE(b.Open(kSimDevicePath));
    EXPECT_EQ(b.Write(r.data(), r.size()), 61);
    EXPECT_EQ(b.Read(r.data(), r.size(), 100), 61);
    b.Close();
    EXPECT_EQ(b.Read(r.data(), r.size(), 10), -1);
    EXPECT_EQ(b.Write(r.data(), r.size()), -1);
}

TEST_F(SimTest, IdentificationAnswers) {
    EXPECT_EQ(Text(AskOne(Req(CMD_GET_MODEL))), "M7Q");
    EXPECT_EQ(Slice(AskOne(Req(CMD_GET_CMD_VERSION)), 1, 2), (Bytes{CMD_GET_CMD_VERSION, 18}));
    auto mcu = Ask(Req(CMD_GET_MCU_VERSION));
    ASSERT_EQ(mcu.size(), 2u);
    EXPECT_EQ(mcu[0][1], CMD_GET_MCU_VERSION);
    EXPECT_EQ(Text(mcu[0]), kSimMcuVersion);
    EXPECT_EQ(mcu[1][1], CMD_DSP_VERSION);
    EXPECT_EQ(Text(mcu[1]), kSimDspVersion);
    EXPECT_EQ(Slice(AskOne(Req(CMD_GET_MODE)), 1, 2), (Bytes{CMD_GET_MODE, 0}));

    Proc([](CSimProcessor& p) { p.SetModeName(2, u""); });
    auto names = Ask(Req(CMD_IDENT_EXTRA));
    ASSERT_EQ(names.size(), 4u);
    for (int m = 0; m < 4; ++m) {
        EXPECT_EQ(names[m][1], CMD_MODE_NAME);
        EXPECT_EQ(GetBE16(&names[m][2]), 0x0F00u + 0x40u * m);
    }
    // "Karaoke": big-endian UTF-16 and its terminator, 16 bytes.
    EXPECT_EQ(Slice(names[0], 4, 7), (Bytes{16, 0, 'K', 0, 'a', 0, 'r'}));
    EXPECT_EQ(Slice(names[0], 17, 4), (Bytes{0, 'e', 0, 0}));
    EXPECT_EQ(Slice(names[2], 5, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF})) << "empty name reads as erased";
}

TEST_F(SimTest, ParametersReadBackAsSet) {
    const Words comp = {Fl(-12.f), 0, Fl(0.75f), Fl(20.f), Fl(0.05f), 0x3C000001, 0x3A000002};
    EXPECT_EQ(Slice(AskOne(SetParam(7, 27, comp)), 1, 4), (Bytes{CMD_SET_PARAM, 0, 7, 27}));
    EXPECT_EQ(Get(7, 27, 7), comp);
    AskOne(SetParam(3, 24, {Fl(0.3f), Fl(0.3f)}));
    EXPECT_EQ(Get(3, 24, 2), (Words{Fl(0.3f), Fl(0.3f)}));
    // Words beyond those set: the factory's, then zeros.
    AskOne(SetParam(3, 25, {Fl(0.0f)}));
    EXPECT_EQ(Get(3, 25, 3), (Words{Fl(0.0f), Fl(1.0f), 0}));
    EXPECT_EQ(Get(1, 14, 1), Words{Fl(0.5f)});
    EXPECT_EQ(Get(2, 10, 1), Words{10416}); // 217 ms in samples
    EXPECT_EQ(Get(4, 200, 2), (Words{0, 0}));

    Words many(13);
    for (uint32_t i = 0; i < 13; ++i)
        many[i] = 0x01010101u * (i + 1);
    AskOne(SetParam(4, 40, many));
    EXPECT_EQ(Get(4, 40, 13), many);
    EXPECT_EQ(AskOne(Req(CMD_GET_PARAM, {0, 4, 40, 20}))[5], 13) << "thirteen fit";
    EXPECT_EQ(AskOne(SetParam(13, 1, {7}))[2], 1) << "no block 13";
    EXPECT_EQ(AskOne(Req(CMD_GET_PARAM, {0, 13, 1, 1}))[2], 1);
    EXPECT_TRUE(Proc([](CSimProcessor& p) { return p.Param(13, 1); }).empty());
}

TEST_F(SimTest, EveryReadAllRequestHasAFactoryAnswer) {
    std::vector<std::array<int, 3>> asks; // block, param, count
    auto add = [&](int block, int from, int to, int count = 1) {
        for (int p = from; p <= to; ++p)
            asks.push_back({block, p, count});
    };
    add(1, 4, 15), add(1, 26, 37), add(1, 49, 56);
    add(2, 7, 12), add(2, 20, 27);
    add(3, 24, 25, 2), add(3, 7, 11), add(3, 19, 23);
    add(4, 14, 14, 7), add(4, 11, 13), add(4, 15, 17), add(4, 21, 33), add(4, 36, 37);
    for (int b = 5; b <= 12; ++b)
        add(b, 17, 17, 2), add(b, 27, 27, 7), add(b, 15, 16), add(b, 18, 26), add(b, 28, 28);
    ASSERT_EQ(asks.size(), 192u);
    for (auto [block, param, count] : asks) {
        EXPECT_EQ(AskOne(Req(CMD_GET_PARAM, {0, uint8_t(block), uint8_t(param), uint8_t(count)}))[2], 0);
        EXPECT_EQ(Proc([&](CSimProcessor& p) { return p.Param(block, param); }).size(), size_t(count))
            << block << "/" << param;
    }
}

TEST_F(SimTest, MemoryReadsBackWritesAndFactoryBands) {
    // Factory microphone band 0: 0 dB, 31 Hz, Q 1.414, peaking; mode 1's music bass is +3 dB.
    EXPECT_EQ(Read(CMD_MEM_READ, 0, 7), (Bytes{0x00, 0x96, 0x00, 0x1F, 0x05, 0x86, 0x01}));
    EXPECT_EQ(GetBE16(&CSimProcessor::FactorySettings(1).mem[336]), 180u);

    Bytes field(20);
    for (int i = 0; i < 20; ++i)
        field[i] = uint8_t(0x80 + i);
    EXPECT_EQ(AskOne(Chunk(CMD_MEM_WRITE, 1285, field)), Chunk(CMD_MEM_WRITE, 1285, field));
    EXPECT_EQ(Read(CMD_MEM_READ, 1285, 20), field);
    AskOne(Chunk(CMD_MEM_WRITE, 56 * 22, Bytes(21, 0x3C)));
    EXPECT_EQ(Read(CMD_MEM_READ, 56 * 22, 21), Bytes(21, 0x3C));

    // Past address 1306 nothing is stored and the reply pads with erased bytes.
    AskOne(Chunk(CMD_MEM_WRITE, 1300, Bytes(20, 0x11)));
    Bytes tail = Read(CMD_MEM_READ, 1300, 20);
    EXPECT_EQ(Bytes(tail.begin(), tail.begin() + 7), Bytes(7, 0x11));
    EXPECT_EQ(Bytes(tail.begin() + 7, tail.end()), Bytes(13, 0xFF));

    Proc([](CSimProcessor& p) { p.EraseMemory(); });
    EXPECT_EQ(Read(CMD_MEM_READ, 0, 56), Bytes(56, 0xFF));
    AskOne(Req(CMD_MODE_LOAD, {3}));
    EXPECT_EQ(Read(CMD_MEM_READ, 1253, 32), Bytes(32, 0xFF)) << "the stored modes are erased too";
}

TEST_F(SimTest, ModesStoreLoadFactoryAndSet) {
    AskOne(SetParam(4, 12, {Fl(0.8f)}));
    AskOne(Chunk(CMD_MEM_WRITE, 336, {0x00, 0xC8}));
    EXPECT_EQ(Slice(AskOne(Req(CMD_MODE_STORE, {2})), 1, 2), (Bytes{CMD_GET_MODE, 2}));

    AskOne(Req(CMD_MODE_LOAD, {1}));
    EXPECT_EQ(AskOne(Req(CMD_GET_MODE))[2], 1);
    EXPECT_EQ(Get(4, 12, 1), Words{Fl(0.5f)});
    EXPECT_EQ(Get(2, 8, 1), Words{Fl(0.2f)}) << "mode 1's own echo level";
    EXPECT_EQ(Read(CMD_MEM_READ, 336, 2), (Bytes{0x00, 0xB4}));
    AskOne(Req(CMD_MODE_LOAD, {2}));
    EXPECT_EQ(Get(4, 12, 1), Words{Fl(0.8f)});
    EXPECT_EQ(Read(CMD_MEM_READ, 336, 2), (Bytes{0x00, 0xC8}));

    // A factory recall replaces both the running state and the stored mode.
    AskOne(Req(CMD_MODE_FACTORY, {2}));
    EXPECT_EQ(Get(4, 12, 1), Words{Fl(0.5f)});
    EXPECT_EQ(Get(2, 8, 1), Words{Fl(0.1f)});
    AskOne(Req(CMD_MODE_LOAD, {0}));
    AskOne(Req(CMD_MODE_LOAD, {2}));
    EXPECT_EQ(Read(CMD_MEM_READ, 336, 2), (Bytes{0x00, 0xD2})) << "mode 2 factory bass +6 dB";

    // Set only names the current mode; out-of-range modes change nothing.
    AskOne(SetParam(4, 12, {Fl(0.7f)}));
    EXPECT_EQ(AskOne(Req(CMD_MODE_SET, {3}))[2], 3);
    EXPECT_EQ(AskOne(Req(CMD_MODE_LOAD, {7}))[2], 3);
    EXPECT_EQ(Get(4, 12, 1), Words{Fl(0.7f)});
    EXPECT_EQ(Proc([](CSimProcessor& p) { return p.Stored(3); }), CSimProcessor::FactorySettings(3));
}

TEST_F(SimTest, MachineSettingsRemoteKeysAndReset) {
    const Bytes machine = {1, 7, 1, 30, 255, 80, 90, 1, 0x93, 4, 5, 3, 6};
    EXPECT_EQ(AskOne(Req(CMD_SET_MACHINE, machine)), Req(CMD_SET_MACHINE, machine));
    EXPECT_EQ(AskOne(Req(CMD_GET_MACHINE)), Req(CMD_GET_MACHINE, machine));

    Bytes keys(18);
    for (int i = 0; i < 18; ++i)
        keys[i] = uint8_t(0xB0 + i);
    AskOne(Req(CMD_SET_REMOTE, keys));
    EXPECT_EQ(AskOne(Req(CMD_GET_STATUS)), Req(CMD_GET_STATUS, Bytes(keys.begin(), keys.begin() + 16)));
    EXPECT_EQ(Proc([](CSimProcessor& p) { return p.RemoteKeys()[17]; }), 0xC1);

    // Only the guarded reset resets; the plug network survives it.
    AskOne(SetParam(1, 14, {Fl(0.9f)}));
    AskOne(Req(CMD_MODE_SET, {2}));
    AskOne(Req(CMD_MACHINE_RESET, {0x00}));
    EXPECT_EQ(Slice(AskOne(Req(CMD_GET_MACHINE)), 2, 13), machine);
    Proc([](CSimProcessor& p) { p.RemoveNode(5); });
    AskOne(Req(CMD_MACHINE_RESET, {0xAA}));
    EXPECT_EQ(Slice(AskOne(Req(CMD_GET_MACHINE)), 2, 13), (Bytes{0, 0, 0, 40, 40, 99, 99, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(AskOne(Req(CMD_GET_STATUS))[2], 0xA0);
    EXPECT_EQ(Get(1, 14, 1), Words{Fl(0.5f)});
    EXPECT_EQ(AskOne(Req(CMD_GET_MODE))[2], 0);
    EXPECT_EQ(Proc([](CSimProcessor& p) { return p.Nodes(); }), (std::vector<int>{2, 3}));
}

TEST_F(SimTest, KeyLearningWaitsForAPress) {
    EXPECT_FALSE(sim.PressKey(0x11)) << "nobody is learning";
    EXPECT_TRUE(Ask(Req(CMD_LEARN_KEY, {10})).empty()) << "answered only when a key arrives";
    ASSERT_TRUE(sim.PressKey(0x5C));
    auto learned = Next(0);
    ASSERT_TRUE(learned);
    EXPECT_EQ(Slice(*learned, 1, 4), (Bytes{CMD_LEARN_KEY, 0xA0, 10, 0x5C}));
    EXPECT_FALSE(Next(0)) << "one report";
    EXPECT_EQ(AskOne(Req(CMD_GET_STATUS))[2 + 10], 0x5C);
    EXPECT_FALSE(sim.PressKey(0x5D)) << "one press per request";

    Ask(Req(CMD_LEARN_KEY, {3}));
    EXPECT_EQ(AskOne(Req(CMD_LEARN_STOP))[1], CMD_LEARN_STOP);
    EXPECT_FALSE(sim.PressKey(0x22));
    EXPECT_EQ(AskOne(Req(CMD_LEARN_KEY, {18}))[1], CMD_LEARN_KEY) << "no such key: answered at once";
    EXPECT_FALSE(sim.PressKey(0x22));
}

TEST_F(SimTest, TheCableTellsItsWatchAndLaterFaultsActOnTheirOwn) {
    std::mutex m;
    std::condition_variable cv;
    std::vector<bool> cable;
    sim.SetCableWatch([&](bool plugged) {
        std::lock_guard lock(m);
        cable.push_back(plugged);
        cv.notify_all();
    });
    auto seen = [&](size_t n) {
        std::unique_lock lock(m);
        cv.wait_for(lock, std::chrono::seconds(10), [&] { return cable.size() >= n; });
        return cable;
    };
    SimFaults f;
    f.nUnplugAfter = 2;
    f.nReplugAfterMs = 40;
    f.nLearnKeyAfterMs = 30;
    sim.SetFaults(f);

    // A learning request is answered by a key pressed later: code 0x40 + key; a cancelled one never is.
    EXPECT_TRUE(Ask(Req(CMD_LEARN_KEY, {10})).empty());
    const auto learned = Next(5000);
    ASSERT_TRUE(learned);
    EXPECT_EQ(Slice(*learned, 1, 4), (Bytes{CMD_LEARN_KEY, 0xA0, 10, 0x4A}));
    EXPECT_EQ(Proc([](CSimProcessor& p) { return p.RemoteKeys()[10]; }), 0x4A);

    Send(Req(CMD_LEARN_STOP)); // the second report: the cable goes, its answer with it
    EXPECT_EQ(seen(1), std::vector<bool>{false}) << "told at once";
    EXPECT_FALSE(sim.IsPlugged());
    EXPECT_EQ(seen(2), (std::vector<bool>{false, true})) << "back after replug-after";
    EXPECT_TRUE(sim.IsPlugged());
    ASSERT_TRUE(sim.Open(kSimDevicePath));
    EXPECT_TRUE(Ask(Req(CMD_LEARN_KEY, {3})).empty());
    EXPECT_EQ(AskOne(Req(CMD_LEARN_STOP))[1], CMD_LEARN_STOP);
    EXPECT_FALSE(Next(200)) << "no key for a cancelled request";

    // By hand too, once per change of the cable; a cleared watch hears nothing.
    sim.Unplug();
    sim.Unplug();
    sim.Plug();
    EXPECT_EQ(seen(4), (std::vector<bool>{false, true, false, true}));
    sim.SetCableWatch(nullptr);
    sim.Unplug();
    EXPECT_EQ(seen(4).size(), 4u);
}

TEST_F(SimTest, PlugFaultsFromTheList) {
    auto frame = [](const Report& r) { return Slice(r, 6, r[4] - 2); };
    SimFaults f;
    f.nPlugReport = 2;
    f.nSilentPlug = 3;
    f.nLateButtonMs = 30;
    sim.SetFaults(f);
    EXPECT_EQ(ZAsk({0x13, 2, 0x03, 0x20, 0x01, 200, 0x25, 0x44}), (std::vector<Bytes>{{0x13, 0x44, 0x00}}));
    const auto report = Next(5000);
    ASSERT_TRUE(report);
    EXPECT_EQ(frame(*report), (Bytes{0x04, 0x00, 2, 3, 0x20, 0x03, 2}))
        << "the node reports the fault's value later";
    EXPECT_TRUE(ZAsk({0x13, 3, 0x03, 0x20, 0x01, 40, 0x25, 0x43}).empty()) << "the silent plug";
    EXPECT_EQ(ZAsk({0x4A, 0x01, 0x30}), (std::vector<Bytes>{{0x4A, 0x30, 0x01, 0x00}}))
        << "waits for the button";
    const auto late = Next(5000);
    ASSERT_TRUE(late);
    EXPECT_EQ(frame(*late), (Bytes{0x4A, 0x30, 0x05, 4})) << "pressed later";
    EXPECT_FALSE(Next(100)) << "one press";

    sim.SetFaults(SimFaults{});
    EXPECT_EQ(ZAsk({0x13, 3, 0x03, 0x20, 0x01, 40, 0x25, 0x43}), (std::vector<Bytes>{{0x13, 0x43, 0x00}}))
        << "the faults gone, plug 3 answers again";
    EXPECT_EQ(ZAsk({0x4B, 0x01, 0x09}).size(), 2u) << "exclusion completes at once again";

    // Plug garbage follows plug traffic only, with plug codes.
    f = SimFaults{};
    f.nPlugGarbageEvery = 1;
    sim.SetFaults(f);
    EXPECT_EQ(Ask(Req(CMD_GET_MODE)).size(), 1u);
    const auto replies = Ask(Chunk(CMD_PLUG_READ, 56, {}, 6));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_TRUE(replies[1][1] == CMD_ZWAVE || replies[1][1] == CMD_PLUG_READ) << int(replies[1][1]);
    EXPECT_EQ(sim.Counters().nGarbage, 1u);
}

TEST_F(SimTest, LiveStatusMovesAndFollowsMutes) {
    Report last = AskOne(Req(CMD_GET_LIVE));
    bool anyMic = false;
    for (int i = 0; i < 20; ++i) {
        Report r = AskOne(Req(CMD_GET_LIVE));
        EXPECT_NE(Slice(r, 2, 16), Slice(last, 2, 16));
        EXPECT_EQ(Slice(r, 18, 43), Bytes(43, 0));
        EXPECT_LE(*std::max_element(&r[2], &r[8]), 60);
        EXPECT_EQ(r[2 + 10], 12) << "wireless microphone 1 channel";
        anyMic = anyMic || r[2] > 0;
        last = r;
    }
    EXPECT_TRUE(anyMic);
    AskOne(SetParam(1, 15, {Fl(0.0f)}));
    AskOne(SetParam(4, 13, {Fl(0.0f)}));
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Slice(AskOne(Req(CMD_GET_LIVE)), 2, 6), Bytes(6, 0)) << "muted";
}

TEST_F(SimTest, ZWaveNodeListAndBasicSetGet) {
    EXPECT_EQ(Slice(ZFrame({0x02}), 0, 8), (Bytes{0x02, 0x12, 0x05, 0x01, 0x03, 0x00, 0x02, 0xFE}));
    auto list = ZAsk({0x02});
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(list[0].size(), 4u + 29u);
    EXPECT_EQ(list[0][0], 0x02);
    EXPECT_EQ(list[0][3], 29);
    EXPECT_EQ(list[0][4], 0x17) << "controller 1 and plugs 2, 3, 5";
    EXPECT_EQ(Bytes(list[0].begin() + 5, list[0].end()), Bytes(28, 0));

    // Dimmer 3 keeps its level; switch 2 reports on as 0xFF.
    EXPECT_EQ(ZAsk({0x13, 3, 0x03, 0x20, 0x01, 40, 0x25, 0x43}), (std::vector<Bytes>{{0x13, 0x43, 0x00}}));
    EXPECT_EQ(ZAsk({0x13, 3, 0x02, 0x20, 0x02, 0x25, 0x25}),
              (std::vector<Bytes>{{0x13, 0x25, 0x00}, {0x04, 0x00, 3, 3, 0x20, 0x03, 40}}));
    ZAsk({0x13, 2, 0x03, 0x20, 0x01, 99, 0x25, 0x43});
    EXPECT_EQ(ZAsk({0x13, 2, 0x02, 0x20, 0x02, 0x25, 0x25}).at(1).back(), 0xFF);
    ZAsk({0x13, 3, 0x03, 0x20, 0x01, 255, 0x25, 0x44});
    EXPECT_EQ(ZAsk({0x13, 3, 0x02, 0x20, 0x02, 0x25, 0x25}).at(1).back(), 99);

    EXPECT_EQ(ZAsk({0x13, 9, 0x02, 0x20, 0x02, 0x25, 0x25}), (std::vector<Bytes>{{0x13, 0x25, 0x01}}))
        << "an absent node fails the transmission";
    EXPECT_TRUE(ZAsk({0x13}).empty()) << "abort: acknowledgement only";
    EXPECT_EQ(Ask(Req(CMD_ZWAVE, {0x01, 0x06})), (std::vector<Report>{Req(CMD_ZWAVE, {0x01, 0x06})}))
        << "the console's acknowledgement is answered, so that its next write need not wait";
    Report bad = ZFrame({0x02});
    bad[7] ^= 0x01;
    EXPECT_EQ(Slice(AskOne(bad), 1, 3), (Bytes{CMD_ZWAVE, 0x01, 0x15}));
}

TEST_F(SimTest, ZWaveInclusionExclusionAndReset) {
    auto nodes = [&] { return Proc([](CSimProcessor& p) { return p.Nodes(); }); };
    EXPECT_EQ(ZAsk({0x4A, 0x01, 0x30}),
              (std::vector<Bytes>{{0x4A, 0x30, 0x01, 0x00}, {0x4A, 0x30, 0x05, 4}}));
    EXPECT_EQ(nodes(), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_TRUE(ZAsk({0x4A, 0x05, 0x00}).empty());
    EXPECT_EQ(ZAsk({0x4B, 0x01, 0x09}),
              (std::vector<Bytes>{{0x4B, 0x09, 0x01, 0x00}, {0x4B, 0x09, 0x06, 5}}));
    EXPECT_EQ(nodes(), (std::vector<int>{2, 3, 4}));
    EXPECT_TRUE(ZAsk({0x4B, 0x05}).empty());

    EXPECT_EQ(ZAsk({0x42, 0x02}), (std::vector<Bytes>{{0x42, 0x02}}));
    EXPECT_TRUE(nodes().empty());
    EXPECT_EQ(ZAsk({0x02}).at(0)[4], 0x01) << "only the controller";
    EXPECT_EQ(ZAsk({0x4B, 0x01, 0x09}).at(1), (Bytes{0x4B, 0x09, 0x07, 0})) << "nothing to exclude";
    EXPECT_EQ(Read(CMD_PLUG_READ, 56, 6), (Bytes{1, 0, 0, 0, 'L', 0})) << "plug records stay";

    Proc([](CSimProcessor& p) {
        for (int id = 2; id <= 232; ++id)
            p.AddNode(id, kSimPlugSwitch);
    });
    EXPECT_EQ(ZAsk({0x4A, 0x01, 0x30}).at(1), (Bytes{0x4A, 0x30, 0x07, 0})) << "network full";
}

TEST_F(SimTest, PlugMemoryReadsBackWrites) {
    EXPECT_EQ(Read(CMD_PLUG_READ, 28 * 3, 8), (Bytes{2, 0, 0, 0, 'C', 0, 'e', 0}));
    Bytes scene(56);
    for (int i = 0; i < 56; ++i)
        scene[i] = uint8_t(i * 3);
    EXPECT_EQ(AskOne(Chunk(CMD_PLUG_WRITE, 6692, scene)), Chunk(CMD_PLUG_WRITE, 6692, scene));
    EXPECT_EQ(Read(CMD_PLUG_READ, 6692, 56), scene);
    AskOne(Chunk(CMD_PLUG_WRITE, 6740, Bytes(20, 0x77)));
    Bytes tail = Read(CMD_PLUG_READ, 6740, 20);
    EXPECT_EQ(Bytes(tail.begin(), tail.begin() + 8), Bytes(8, 0x77));
    EXPECT_EQ(Bytes(tail.begin() + 8, tail.end()), Bytes(12, 0));
}

TEST_F(SimTest, EveryCodeIsAnsweredAndOthersAreEchoed) {
    for (int code = 0; code < 256; ++code)
        EXPECT_FALSE(Ask(Req(uint8_t(code))).empty()) << "code " << code;
    Report odd = Req(0x55, {1, 2, 3});
    EXPECT_EQ(AskOne(odd), odd);
    EXPECT_EQ(AskOne(Req(CMD_DISCONNECT)), Req(CMD_DISCONNECT));
    SimCounters c = sim.Counters();
    EXPECT_EQ(c.nReceived[0x55], 2u);
    EXPECT_EQ(c.nReceived[CMD_DISCONNECT], 2u);
    EXPECT_EQ(c.nReceivedTotal, 258u);
    EXPECT_EQ(c.nDelivered, c.nReplies);
    EXPECT_EQ(c.nUnanswered, 0u);
}

// --- faults ---

TEST_F(SimTest, LatencyDelaysRepliesWithoutBlockingWrites) {
    SimFaults f;
    f.nLatencyMs = 300;
    sim.SetFaults(f);
    const auto t0 = std::chrono::steady_clock::now();
    Send(Req(CMD_GET_MODE));
    Send(Req(CMD_GET_CMD_VERSION));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
    EXPECT_FALSE(Next(50));
    sim.SetFaults(SimFaults{}); // a later, quicker reply must not overtake
    Send(Req(CMD_GET_MODEL));
    for (uint8_t code : {CMD_GET_MODE, CMD_GET_CMD_VERSION, CMD_GET_MODEL}) {
        auto r = Next(2000);
        ASSERT_TRUE(r);
        EXPECT_EQ((*r)[1], code);
    }
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
}

TEST_F(SimTest, IdentityFaults) {
    SimFaults f;
    f.bSilent = true;
    sim.SetFaults(f);
    EXPECT_TRUE(Ask(Req(CMD_GET_MODEL)).empty());
    EXPECT_TRUE(Ask(Req(CMD_GET_MCU_VERSION)).empty());
    EXPECT_EQ(sim.Counters().nDropped, 3u);

    f = SimFaults{};
    f.bWrongModel = true;
    sim.SetFaults(f);
    EXPECT_EQ(Text(AskOne(Req(CMD_GET_MODEL))), kSimWrongModel);
    EXPECT_EQ(Text(AskOne(Req(CMD_GET_MODEL))), kSimWrongModel);

    f = SimFaults{};
    f.bModelOnSecondAttempt = true;
    f.nCmdVersion = 17;
    sim.SetFaults(f);
    EXPECT_EQ(Text(AskOne(Req(CMD_GET_MODEL))), kSimWrongModel);
    EXPECT_EQ(AskOne(Req(CMD_GET_CMD_VERSION))[2], 17);
    EXPECT_EQ(Text(AskOne(Req(CMD_GET_MODEL))), "M7Q");
    EXPECT_EQ(Text(AskOne(Req(CMD_GET_MODEL))), "M7Q");

    f = SimFaults{};
    f.bErasedMemory = true;
    sim.SetFaults(f);
    EXPECT_EQ(Read(CMD_MEM_READ, 0, 56), Bytes(56, 0xFF));
    sim.SetFaults(SimFaults{});
    EXPECT_EQ(Read(CMD_MEM_READ, 0, 2), (Bytes{0x00, 0x96})) << "the memory itself was kept";
    EXPECT_EQ(AskOne(Req(CMD_GET_CMD_VERSION))[2], 18);
}

// Everything a fresh device answers to reads of addresses 0..199 under the given faults.
std::vector<Report> RunWith(const SimFaults& f) {
    CSimBackend b;
    b.Open(kSimDevicePath);
    b.SetFaults(f);
    std::vector<Report> got;
    Report r{};
    for (int i = 0; i < 200; ++i) {
        const Report q = Chunk(CMD_MEM_READ, i, {}, 1);
        b.Write(q.data(), q.size());
        while (b.Read(r.data(), r.size(), 0) == 61)
            got.push_back(r);
    }
    return got;
}

TEST_F(SimTest, DroppedReplies) {
    SimFaults f;
    f.nDropEvery = 3;
    sim.SetFaults(f);
    std::vector<int> answered;
    for (int i = 0; i < 9; ++i)
        for (const Report& r : Ask(Chunk(CMD_MEM_READ, i, {}, 1)))
            answered.push_back(r[3]);
    EXPECT_EQ(answered, (std::vector<int>{0, 1, 3, 4, 6, 7}));
    EXPECT_EQ(sim.Counters().nDropped, 3u);

    f = SimFaults{};
    f.fDropProbability = 0.5;
    f.nSeed = 7;
    const auto a = RunWith(f);
    EXPECT_GT(a.size(), 60u);
    EXPECT_LT(a.size(), 140u);
    EXPECT_EQ(RunWith(f), a) << "same seed, same drops";
    f.nSeed = 8;
    EXPECT_NE(RunWith(f), a);
}

TEST_F(SimTest, UnplugAfterReports) {
    SimFaults f;
    f.nUnplugAfter = 3;
    sim.SetFaults(f);
    EXPECT_EQ(Ask(Req(CMD_GET_MODE)).size(), 1u);
    EXPECT_EQ(Ask(Req(CMD_GET_MODE)).size(), 1u);
    Send(Req(CMD_GET_MODE));
    Report r{};
    EXPECT_EQ(sim.Read(r.data(), r.size(), 100), -1);
    EXPECT_EQ(sim.Write(r.data(), r.size()), -1);
    EXPECT_TRUE(sim.Enumerate().empty());

    sim.Plug();
    ASSERT_TRUE(sim.Open(kSimDevicePath));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Ask(Req(CMD_GET_MODE)).size(), 1u) << "pulled once only";

    std::thread reader([&] {
        Report buf{};
        EXPECT_EQ(sim.Read(buf.data(), buf.size(), -1), -1) << "a blocked reader wakes up";
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    sim.Unplug();
    reader.join();
}

TEST_F(SimTest, GarbageReportsAreExtraAndSeeded) {
    SimFaults f;
    f.nGarbageEvery = 2;
    f.nSeed = 5;
    const Bytes decoded = {7, 9, 10, 14, 18, 20, 96, 98, 126, 127, 128, 129, 134, 146, 219};
    const auto got = RunWith(f);
    ASSERT_EQ(got.size(), 300u);
    for (size_t i = 0; i < got.size(); ++i) {
        if (i % 3 != 2)
            EXPECT_EQ(Slice(got[i], 1, 3), (Bytes{CMD_MEM_READ, 0, uint8_t(i / 3 * 2 + i % 3)}))
                << "in place";
        else
            EXPECT_EQ(std::count(decoded.begin(), decoded.end(), got[i][1]), 0) << int(got[i][1]);
    }
    EXPECT_EQ(RunWith(f), got);
    f.bGarbageAnyCode = true;
    const auto any = RunWith(f);
    EXPECT_TRUE(std::any_of(any.begin(), any.end(), [&](const Report& r) {
        return r[1] != CMD_MEM_READ && std::count(decoded.begin(), decoded.end(), r[1]);
    }));
}

// --- state ---

// Header, length and checksum around a payload, as the state file has them.
Bytes Sealed(const Bytes& payload) {
    Bytes out = {'M', '7', 'Q', 'S', 'I', 'M', 'S', 'T', 1, 0, 0, 0};
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(uint8_t(v >> (8 * i)));
    };
    u32(uint32_t(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    uint32_t h = 2166136261u;
    for (uint8_t b : payload)
        h = (h ^ b) * 16777619u;
    u32(h);
    return out;
}

class SimStateTest : public SimTest {
protected:
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    Bytes Image() {
        return Proc([](CSimProcessor& p) { return p.SaveStateBytes(); });
    }
    std::string path = (std::filesystem::temp_directory_path() /
                        (std::string("m7q_sim_") +
                         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "_" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                           .string();
    std::string error;
};

TEST_F(SimStateTest, SaveThenLoadRestoresEverything) {
    AskOne(SetParam(6, 27, {1, 2, 3, 4, 5, 6, 7}));
    AskOne(Chunk(CMD_MEM_WRITE, 700, {9, 8, 7}));
    AskOne(Req(CMD_MODE_STORE, {1}));
    AskOne(SetParam(2, 8, {Fl(0.77f)}));
    AskOne(Req(CMD_SET_MACHINE, {1, 0, 1, 20, 30, 60, 70}));
    Ask(Req(CMD_LEARN_KEY, {4}));
    sim.PressKey(0x99);
    Next(0);
    ZAsk({0x4A, 0x01, 0x30});
    ZAsk({0x13, 3, 0x03, 0x20, 0x01, 33, 0x25, 0x43});
    AskOne(Chunk(CMD_PLUG_WRITE, 6524, {2, 99, 255, 3}));
    Proc([](CSimProcessor& p) { p.SetModeName(3, u"Night"); });
    const auto before = Image();
    ASSERT_TRUE(sim.SaveState(path, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    CSimBackend other;
    ASSERT_TRUE(other.LoadState(path, error)) << error;
    other.WithProcessor([&](CSimProcessor& p) {
        EXPECT_EQ(p.SaveStateBytes(), before);
        EXPECT_EQ(p.CurrentMode(), 1);
        EXPECT_EQ(p.Param(2, 8), Words{Fl(0.77f)});
        EXPECT_EQ(p.Stored(1).params.at({6, 27}), (Words{1, 2, 3, 4, 5, 6, 7}));
        EXPECT_EQ(p.Current().mem[701], 8);
        EXPECT_EQ(p.Machine()[3], 20);
        EXPECT_EQ(p.RemoteKeys()[4], 0x99);
        EXPECT_EQ(p.Nodes(), (std::vector<int>{2, 3, 4, 5}));
        EXPECT_EQ(p.Node(3)->nLevel, 33);
        EXPECT_EQ(p.PlugMemory()[6525], 99);
        EXPECT_EQ(p.ModeName(3), u"Night");
    });
}

TEST_F(SimStateTest, DamagedOrForeignFilesAreRefusedAndChangeNothing) {
    CSimProcessor donor;
    donor.Handle(SetParam(1, 14, {Fl(0.1f)}));
    const Bytes good = donor.SaveStateBytes();
    AskOne(SetParam(1, 14, {Fl(0.9f)}));
    const auto before = Image();

    auto refused = [&](const Bytes& bytes, const char* what) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        EXPECT_FALSE(sim.LoadState(path, error)) << what;
        EXPECT_NE(error.find(path), std::string::npos) << what << ": " << error;
        EXPECT_EQ(Image(), before) << what;
    };
    for (size_t cut : {size_t{0}, size_t{7}, size_t{15}, size_t{200}, good.size() / 2, good.size() - 1})
        refused(Bytes(good.begin(), good.begin() + long(cut)), "truncated");
    auto damaged = good;
    damaged.push_back(0);
    refused(damaged, "trailing byte");
    damaged = good;
    damaged[good.size() / 2] ^= 0x40;
    refused(damaged, "checksum");
    damaged = good;
    damaged[8] = 2;
    refused(damaged, "version");
    const std::string text = "M7Q mode names: Karaoke, Music\n";
    refused(Bytes(text.begin(), text.end()), "foreign");

    // Well-sealed images with bad content are refused too.
    CSimProcessor p;
    Bytes payload(good.begin() + 16, good.end() - 4);
    payload[0] = 4; // current mode 4
    EXPECT_FALSE(p.LoadStateBytes(Sealed(payload), error));
    payload[0] = 0;
    payload.push_back(0);
    EXPECT_FALSE(p.LoadStateBytes(Sealed(payload), error)) << "a byte after the last plug";
    payload.pop_back();
    EXPECT_TRUE(p.LoadStateBytes(Sealed(payload), error)) << "the same payload resealed loads";
    EXPECT_EQ(p.Param(1, 14), Words{Fl(0.1f)});
}

// --- threads ---

TEST_F(SimTest, ConcurrentReaderAndWriterLoseNothing) {
    constexpr int kCount = 3000;
    std::vector<Report> got;
    std::thread reader([&] {
        Report r{};
        while (got.size() < size_t(kCount) && sim.Read(r.data(), r.size(), 2000) > 0)
            got.push_back(r);
    });
    std::thread writer([&] {
        for (int i = 0; i < kCount; ++i) {
            Report q = Chunk(CMD_MEM_READ, i % kSimMemSize, {}, 1);
            sim.Write(q.data(), q.size());
        }
    });
    writer.join();
    reader.join();
    ASSERT_EQ(got.size(), size_t(kCount));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(GetBE16(&got[i][2]), uint32_t(i % kSimMemSize)) << "reply " << i;
    EXPECT_EQ(sim.Counters().nReceived[CMD_MEM_READ], uint64_t(kCount));
}

} // namespace
