// The dispatcher on its own: each report the processor sends lands in its part of the store and raises
// the store regions it touched; a report that names nothing the console keeps changes nothing.
#include "TestSupport.h"

#include "dispatch/Dispatcher.h"
#include "link/Events.h"
#include "model/ParamStore.h"
#include "model/Setters.h"

#include <functional>
#include <string>
#include <vector>

namespace {

// The events a test sees, with every "store changed" and its regions.
struct RegionEvents : RecordedEvents {
    std::vector<uint32_t> regions;
    void OnStoreChanged(uint32_t r) override { regions.push_back(r); }
};

Report Reply(uint8_t code, std::vector<uint8_t> payload = {}) {
    Report r{};
    r[0] = kReportId;
    r[1] = code;
    std::copy(payload.begin(), payload.end(), r.begin() + 2);
    return r;
}

// A memory reply: address (big-endian), length, data.
Report Memory(int address, std::vector<uint8_t> data, int length = -1) {
    std::vector<uint8_t> p = {uint8_t(address >> 8), uint8_t(address & 0xFF),
                              uint8_t(length < 0 ? data.size() : size_t(length))};
    p.insert(p.end(), data.begin(), data.end());
    return Reply(CMD_MEM_READ, p);
}

std::u16string Text(const char16_t* units) {
    return std::u16string(units);
}

// Every field the dispatcher may write, to tell "nothing changed" exactly.
struct StoreBytes {
    ParamStore param = g_Param;
    DeviceInfo device = g_Device;
    DeviceStatus status = g_Status;
    std::array<uint8_t, kSoundFieldSize> soundField = g_bySoundFieldBytes;
    bool operator==(const StoreBytes& o) const {
        const ParamStore& p = param;
        const ParamStore& q = o.param;
        return p.nSetting == q.nSetting && p.byMicBoostBytes == q.byMicBoostBytes &&
               p.byLiveStatus == q.byLiveStatus && p.nCurMode == q.nCurMode && p.bModified == q.bModified &&
               p.bySurroundLevels == q.bySurroundLevels && p.byImage == q.byImage &&
               p.bConnected == q.bConnected && device.szModel == o.device.szModel &&
               device.szMcuVersion == o.device.szMcuVersion && device.szDspVersion == o.device.szDspVersion &&
               device.nCmdVersion == o.device.nCmdVersion && device.szModeName == o.device.szModeName &&
               status.byRemoteKey == o.status.byRemoteKey && status.byPlugTable == o.status.byPlugTable &&
               status.byMachineEdit == o.status.byMachineEdit && status.byMachine == o.status.byMachine &&
               soundField == o.soundField;
    }
};

class DispatcherTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetConsoleEvents(&seen);
    }
    RegionEvents seen;
};

} // namespace

TEST_F(DispatcherTest, EachReplyLandsInItsPartOfTheStoreAndRaisesItsRegion) {
    std::array<uint8_t, 16> live{};
    for (size_t i = 0; i < live.size(); ++i)
        live[i] = uint8_t(10 + i);
    std::array<uint8_t, 13> machine{};
    for (size_t i = 0; i < machine.size(); ++i)
        machine[i] = uint8_t(40 + i);
    const std::vector<uint8_t> liveBytes(live.begin(), live.end());
    const std::vector<uint8_t> machineBytes(machine.begin(), machine.end());
    std::vector<uint8_t> status;
    for (int i = 0; i < 16; ++i)
        status.push_back(uint8_t(0xA0 + i));
    FreshStore();
    const uint8_t fresh20 = g_Param.byImage[20];
    struct Case {
        const char* name;
        Report report;
        uint32_t regions;
        std::function<bool()> landed;
    };
    const Case cases[] = {
        {"mode", Reply(CMD_GET_MODE, {2}), STORE_MODES, [] { return g_Param.nCurMode == 2; }},
        {"command set", Reply(CMD_GET_CMD_VERSION, {18}), STORE_IDENTITY,
         [] { return g_Device.nCmdVersion == 18; }},
        {"model", Reply(CMD_GET_MODEL, {'M', '7', 'Q'}), STORE_IDENTITY,
         [] { return Text(g_Device.szModel.data()) == u"M7Q"; }},
        {"mcu", Reply(CMD_GET_MCU_VERSION, {'2', '0', '2', '4'}), STORE_IDENTITY,
         [] { return Text(g_Device.szMcuVersion.data()) == u"2024"; }},
        {"dsp", Reply(CMD_DSP_VERSION, {'v', '9'}), STORE_IDENTITY,
         [] { return Text(g_Device.szDspVersion.data()) == u"v9"; }},
        {"live", Reply(CMD_GET_LIVE, liveBytes), STORE_LIVE, [&] { return g_Param.byLiveStatus == live; }},
        {"acknowledged edit", Reply(CMD_SET_PARAM), STORE_MODIFIED, [] { return g_Param.bModified == 1; }},
        {"image, as long as its length says", Memory(16, {1, 2, 3, 4, 5}, 4), STORE_IMAGE,
         [&] {
             return g_Param.byImage[16] == 1 && g_Param.byImage[19] == 4 && g_Param.byImage[20] == fresh20;
         }},
        {"surround levels", Memory(ADDR_SURROUND_LEVELS, {9, 8, 7}), STORE_IMAGE,
         [] { return g_Param.bySurroundLevels[0] == 9 && g_Param.bySurroundLevels[2] == 7; }},
        {"mic boost", Memory(ADDR_MIC_BOOST, {0xC0, 0xC0}), STORE_IMAGE,
         [] {
             return g_Param.byMicBoostBytes == std::array<uint8_t, 2>{0xC0, 0xC0};
         }},
        {"sound field", Memory(ADDR_SOUND_FIELD, {5, 6, 0x85}), STORE_IMAGE,
         [] {
             return g_SoundField.nRoomWidth == 5 && g_SoundField.nRoomLength == 6 &&
                    g_SoundField.fListenerX < 0;
         }},
        {"remote keys", Reply(CMD_GET_STATUS, status), STORE_STATUS,
         [] { return g_Status.byRemoteKey[0] == 0xA0 && g_Status.byRemoteKey[15] == 0xAF; }},
        {"machine", Reply(CMD_GET_MACHINE, machineBytes), STORE_STATUS,
         [&] { return g_Status.byMachine == machine && g_Status.byMachineEdit == machine; }},
        {"learned key", Reply(CMD_LEARN_KEY, {0xA5, 5, 0x77}), STORE_STATUS,
         [] { return g_Status.byRemoteKey[0] == 0xA5 && g_Status.byRemoteKey[5] == 0x77; }},
        {"mode name", Reply(CMD_MODE_NAME, {0x0F, 0x40, 4, 0, 'H', 0, 'i'}), STORE_MODES,
         [] { return Text(g_Device.szModeName[1].data()) == u"Hi"; }},
        {"plug frame", Reply(CMD_ZWAVE, {1, 0x06}), STORE_PLUGS, [] { return true; }},
    };
    for (const Case& c : cases) {
        FreshStore();
        seen.regions.clear();
        HandleReport(c.report);
        EXPECT_TRUE(c.landed()) << c.name;
        EXPECT_EQ(seen.regions, std::vector<uint32_t>{c.regions}) << c.name;
    }
    EXPECT_EQ(seen.keys, std::vector<int>{0x77}); // the learned key told once
}

TEST_F(DispatcherTest, AParameterReplyDecodesItsSlotAndAnErrorIsToldOnce) {
    SetSlot(SET_MUSIC_VOLUME, 37);
    Report r = Sent().front();
    r[1] = CMD_GET_PARAM;
    g_Param.nSetting[SET_MUSIC_VOLUME] = 0;
    HandleReport(r);
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_VOLUME], 37);
    EXPECT_EQ(seen.regions.back(), uint32_t(STORE_PARAMS));

    Report error = r;
    error[2] = 3; // the processor refused the parameter
    HandleReport(error);
    HandleReport(error);
    EXPECT_EQ(seen.errors.size(), 1u);
}

// Nothing the console keeps: no change, and no region raised where the dispatcher can tell.
TEST_F(DispatcherTest, ReportsThatNameNothingTheConsoleKeepsChangeNothing) {
    for (int i = 0; i < kImageSize; ++i)
        g_Param.byImage[i] = uint8_t(i * 7);
    g_Status.byRemoteKey.fill(0x11);
    g_Device.szModeName[2] = {u'K', u'e', u'e', u'p'};
    struct Case {
        const char* name;
        Report report;
        bool bRaises; // the region of its code, although nothing changed
    };
    const Case cases[] = {
        {"unknown code", Reply(200, {1, 2, 3}), false},
        {"empty report", Report{}, false},
        {"learned key 0", Reply(CMD_LEARN_KEY, {0xA5, 0, 0x77}), false},
        {"learned key past the last", Reply(CMD_LEARN_KEY, {0xA5, kRemoteKeyBytes, 0x77}), false},
        {"learned key 255", Reply(CMD_LEARN_KEY, {0xA5, 255, 0x77}), false},
        {"memory nobody keeps", Memory(0x0E00, {1, 2, 3}), true},
        {"mode name at no mode", Reply(CMD_MODE_NAME, {0x0F, 0x20, 4, 0, 'X', 0, 'Y'}), true},
        {"erased mode name", Reply(CMD_MODE_NAME, {0x0F, 0x80, 8, 0xFF, 0xFF, 0xFF, 0xFF}), true},
        {"parameter of no block", Reply(CMD_GET_PARAM, {0, 0x3F, 1, 1, 0, 0, 0, 1}), true},
        {"parameter past the table", Reply(CMD_GET_PARAM, {0, 1, 200, 1, 0, 0, 0, 1}), true},
    };
    for (const Case& c : cases) {
        const StoreBytes before;
        seen.regions.clear();
        HandleReport(c.report);
        EXPECT_TRUE(StoreBytes{} == before) << c.name;
        EXPECT_EQ(seen.regions.size(), c.bRaises ? 1u : 0u) << c.name;
    }
    EXPECT_TRUE(seen.keys.empty());
}

// A length byte beyond the report or the image copies no more than either holds.
TEST_F(DispatcherTest, AMemoryReplyLongerThanItsRoomStopsAtTheEnd) {
    std::vector<uint8_t> data(kReportPayload, 0x5A);
    HandleReport(Memory(kImageSize - 2, data, 255));
    EXPECT_EQ(g_Param.byImage[kImageSize - 3], 0);
    EXPECT_EQ(g_Param.byImage[kImageSize - 2], 0x5A);
    EXPECT_EQ(g_Param.byImage[kImageSize - 1], 0x5A);
    EXPECT_EQ(g_Param.bySurroundLevels, (std::array<uint8_t, kSurroundLevelsSize>{})); // the next field
    HandleReport(Memory(ADDR_MIC_BOOST, data, 255));
    EXPECT_EQ(g_Param.byMicBoostBytes, (std::array<uint8_t, 2>{0x5A, 0x5A}));
}

TEST_F(DispatcherTest, AnErasedImageReadsAsZerosAndTheLinkSaysConnectedOrNot) {
    g_Param.byImage.fill(0x33);
    HandleReport(Memory(0, {0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(g_Param.byImage, (std::array<uint8_t, kImageSize>{}));

    g_Param.byLiveStatus.fill(9);
    seen.regions.clear();
    OnLinkOpened();
    EXPECT_EQ(g_Param.bConnected, 1);
    OnLinkClosed();
    EXPECT_EQ(g_Param.bConnected, 0);
    EXPECT_EQ(g_Param.byLiveStatus, (std::array<uint8_t, 16>{}));
    EXPECT_EQ(seen.regions, (std::vector<uint32_t>{STORE_CONNECTION, STORE_CONNECTION | STORE_LIVE}));
}
