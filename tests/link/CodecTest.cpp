#include "TestSupport.h"

#include "dispatch/Dispatcher.h"
#include "plugs/PlugModel.h"

#include <thread>

namespace {

std::vector<uint8_t> Hex(std::initializer_list<int> bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Everything a report may touch, to prove that a report changed nothing outside its target.
struct Snapshot {
    ParamStore param = g_Param;
    DeviceInfo device = g_Device;
    DeviceStatus status = g_Status;
    std::array<uint8_t, kSoundFieldSize> sf = g_bySoundFieldBytes;
    PlugMemory plugs = g_PlugMem;
    bool operator==(const Snapshot& o) const {
        return std::memcmp(&param, &o.param, sizeof param) == 0 &&
               std::memcmp(&device, &o.device, sizeof device) == 0 &&
               std::memcmp(&status, &o.status, sizeof status) == 0 && sf == o.sf &&
               plugs.byData == o.plugs.byData;
    }
};

class CodecTest : public StoreTest {};

TEST_F(CodecTest, ShortCommandsAreByteExact) {
    SendCommand(CMD_GET_MODE);
    SendCommand(CMD_MEM_READ, {0x04, 0xE5, 56, -1, 9, 9});
    Report r = BuildCommand(CMD_SET_REMOTE, {});
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    Report expected{};
    expected[0] = 0x02;
    expected[1] = 0x07;
    EXPECT_EQ(sent[0], expected);
    EXPECT_EQ(Bytes(sent[1], 0, 6), Hex({0x02, 0x86, 0x04, 0xE5, 0x38, 0x00})); // stops at -1
    EXPECT_EQ(r[2], 0);
}

TEST_F(CodecTest, CommandTakesAtMostFiftyNineArguments) {
    std::initializer_list<int> args = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                       17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32,
                                       33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48,
                                       49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62};
    Report r = BuildCommand(CMD_SET_REMOTE, args);
    EXPECT_EQ(r[2], 1);
    EXPECT_EQ(r[60], 59);
}

TEST_F(CodecTest, SetParameterLayouts) {
    SendParam(2, 10, FloatBits(217.0f), 1);
    const uint32_t coeffs[5] = {1, 2, 3, 4, 0xDEADBEEF};
    SendParamValues(3, 12, coeffs);
    SendParam(3, 24, FloatBits(0.5f), 2);
    SendParam(1, 1, 7, 40); // more than fit: 13 values
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 4u);
    Report expected{};
    const uint8_t head[] = {0x02, 0x09, 0x00, 0x02, 0x0A, 0x01, 0x43, 0x59, 0x00, 0x00};
    std::copy(std::begin(head), std::end(head), expected.begin());
    EXPECT_EQ(sent[0], expected);
    EXPECT_EQ(Bytes(sent[1], 2, 4), Hex({0, 3, 12, 5}));
    EXPECT_EQ(ValueWord(sent[1], 4), 0xDEADBEEFu);
    EXPECT_EQ(sent[1][26], 0);
    EXPECT_EQ(sent[2][5], 2);
    EXPECT_EQ(ValueFloat(sent[2], 0), 0.5f);
    EXPECT_EQ(ValueFloat(sent[2], 1), 0.5f);
    EXPECT_EQ(sent[3][5], 13);
    EXPECT_EQ(ValueWord(sent[3], 12), 7u);
}

TEST_F(CodecTest, MemoryAndPlugWrites) {
    std::vector<uint8_t> data(80);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i + 1);
    WriteDeviceMemory(1253, 32, data.data());
    WriteDeviceMemory(0, 80, data.data()); // longer than a report holds
    WritePlugMemory(6524, 56, data.data());
    ReadPlugMemory(28 * 5, 28);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(Bytes(sent[0], 0, 6), Hex({0x02, 0x85, 0x04, 0xE5, 0x20, 0x01}));
    EXPECT_EQ(sent[0][36], 32);
    EXPECT_EQ(sent[0][37], 0);
    EXPECT_EQ(sent[1][4], 56);
    EXPECT_EQ(sent[1][60], 56);
    EXPECT_EQ(Bytes(sent[2], 0, 5), Hex({0x02, 0x13, 0x19, 0x7C, 0x38}));
    EXPECT_EQ(Bytes(sent[3], 0, 6), Hex({0x02, 0x14, 0x00, 0x8C, 0x1C, 0x00}));
}

TEST_F(CodecTest, ZWaveFrames) {
    const uint8_t get[] = {0x02};
    SendZWaveFrame(get, 1);
    const uint8_t set[] = {0x13, 5, 0x03, 0x20, 0x01, 99, 0x25, 0x43};
    SendZWaveFrame(set, 8);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent[0], 0, 9), Hex({0x02, 0x12, 0x05, 0x01, 0x03, 0x00, 0x02, 0xFE, 0x00}));
    EXPECT_EQ(sent[1][2], 12);
    EXPECT_EQ(sent[1][4], 10);
    uint8_t x = 0xFF ^ 10 ^ 0;
    for (uint8_t b : set)
        x ^= b;
    EXPECT_EQ(sent[1][14], x);
}

TEST_F(CodecTest, BuildersReturnZeroWithoutALink) {
    SetLink(nullptr);
    EXPECT_EQ(SendCommand(CMD_GET_MODE), 0);
    EXPECT_EQ(SendParam(1, 14, 0), 0);
    SetLink(&link);
    EXPECT_EQ(SendCommand(CMD_GET_MODE), 61);
    link.nResult = 12;
    EXPECT_EQ(WriteDeviceMemory(0, 7, g_Param.byImage.data()), 12);
}

TEST_F(CodecTest, ParameterErrorIsRaisedOnceAndTheValueStillDecoded) {
    HandleReport(ParamReport(MOD_MIC, 14, {FloatBits(0.42f)}, 0x05));
    HandleReport(ParamReport(MOD_MUSIC, 12, {FloatBits(0.3f)}, 0x07));
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_EQ(events.errors[0], "参数错误,代码0x:05,指令1:0x01,指令2:0x0E ");
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 42);
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_VOLUME], 30);
}

TEST_F(CodecTest, SimpleStatusReports) {
    Report live = MakeReport({0x02, CMD_GET_LIVE});
    for (int i = 2; i < 61; ++i)
        live[i] = static_cast<uint8_t>(i);
    HandleReport(live);
    EXPECT_EQ(g_Param.byLiveStatus[0], 2);
    EXPECT_EQ(g_Param.byLiveStatus[15], 17);

    HandleReport(MakeReport({0x02, CMD_SET_PARAM}));
    EXPECT_EQ(g_Param.bModified, 1);
    HandleReport(MakeReport({0x02, CMD_GET_MODE, 3}));
    EXPECT_EQ(g_Param.nCurMode, 3);
    HandleReport(MakeReport({0x02, CMD_GET_CMD_VERSION, 18}));
    EXPECT_EQ(g_Device.nCmdVersion, 18);

    Report status = live;
    status[1] = CMD_GET_STATUS;
    g_Status.byRemoteKey[16] = 0x66;
    g_Status.byRemoteKey[17] = 0x77;
    HandleReport(status);
    EXPECT_EQ(g_Status.byRemoteKey[0], 2);
    EXPECT_EQ(g_Status.byRemoteKey[15], 17);
    EXPECT_EQ(g_Status.byRemoteKey[16], 0x66);
    EXPECT_EQ(g_Status.byRemoteKey[17], 0x77);

    Report machine = live;
    machine[1] = CMD_GET_MACHINE;
    HandleReport(machine);
    EXPECT_EQ(g_Status.byMachine[0], 2);
    EXPECT_EQ(g_Status.byMachine[12], 14);
    EXPECT_EQ(g_Status.byMachineEdit, g_Status.byMachine);
}

TEST_F(CodecTest, IdentityStringsAreClearedAndBounded) {
    Report model = MakeReport({0x02, CMD_GET_MODEL, 'M', '7', 'Q'});
    HandleReport(model);
    EXPECT_EQ(U16(g_Device.szModel.data(), kModelChars), u"M7Q");
    Report mcu = MakeReport({0x02, CMD_GET_MCU_VERSION});
    for (int i = 2; i < 61; ++i)
        mcu[i] = 'a' + (i % 26);
    HandleReport(mcu);
    EXPECT_EQ(U16(g_Device.szMcuVersion.data(), kVersionChars).size(), 10u);
    EXPECT_EQ(g_Device.szMcuVersion[10], 0);
    Report dsp = MakeReport({0x02, CMD_DSP_VERSION, 'v', '2'});
    HandleReport(dsp);
    EXPECT_EQ(U16(g_Device.szDspVersion.data(), kVersionChars), u"v2");
    for (int i = 2; i < 61; ++i)
        model[i] = 'X';
    HandleReport(model);
    EXPECT_EQ(U16(g_Device.szModel.data(), kModelChars), std::u16string(29, u'X'));
    EXPECT_EQ(g_Device.szModel[29], 0);
}

TEST_F(CodecTest, MemoryRepliesFillTheirTargetAndNothingElse) {
    Report r = MakeReport({0x02, CMD_MEM_READ, 0x00, 0x07, 7, 0x00, 0x96, 0x03, 0xE8, 0x05, 0x86, 0x01});
    HandleReport(r);
    EXPECT_EQ(ReadBand(1, 1).fFreq, 1000.0f);

    // Past the end of the image: only the bytes that fit.
    Snapshot before;
    Report tail = MakeReport({0x02, CMD_MEM_READ, 0x04, 0xE2, 56});
    std::fill(tail.begin() + 5, tail.end(), 0x5A);
    HandleReport(tail);
    EXPECT_EQ(g_Param.byImage[1250], 0x5A);
    EXPECT_EQ(g_Param.byImage[1252], 0x5A);
    EXPECT_EQ(g_Param.bySurroundLevels, before.param.bySurroundLevels);

    Report sl = MakeReport({0x02, CMD_MEM_READ, 0x04, 0xE5, 56});
    std::fill(sl.begin() + 5, sl.end(), 0x11);
    HandleReport(sl);
    EXPECT_EQ(g_Param.bySurroundLevels[31], 0x11);
    EXPECT_EQ(g_bySoundFieldBytes, before.sf);

    Report sf = MakeReport({0x02, CMD_MEM_READ, 0x05, 0x05, 20, 7, 9, 0x85});
    HandleReport(sf);
    EXPECT_EQ(g_SoundField.nRoomWidth, 7);
    EXPECT_EQ(g_SoundField.nRoomLength, 9);
    EXPECT_FLOAT_EQ(g_SoundField.fListenerX, -0.5f);

    Report boost = MakeReport({0x02, CMD_MEM_READ, 0x05, 0x19, 56, 0xC2, 0x20, 0x33});
    HandleReport(boost);
    EXPECT_EQ(g_Param.byMicBoostBytes[0], 0xC2);
    EXPECT_EQ(g_Param.byMicBoostBytes[1], 0x20);
    EXPECT_EQ(MicBoostGain(), -40.0f);

    Snapshot mid;
    HandleReport(MakeReport({0x02, CMD_MEM_READ, 0x05, 0x00, 10, 1, 2, 3})); // 1280: inside a block
    HandleReport(MakeReport({0x02, CMD_MEM_READ, 0xFF, 0xFF, 56, 1, 2, 3}));
    EXPECT_TRUE(Snapshot{} == mid);
}

TEST_F(CodecTest, ErasedMemoryClearsTheWholeImage) {
    HandleReport(MakeReport({0x02, CMD_MEM_READ, 0x00, 0xE0, 56, 0xFF, 0xFF, 0x12}));
    for (uint8_t b : g_Param.byImage)
        ASSERT_EQ(b, 0);
}

TEST_F(CodecTest, ModeNames) {
    HandleReport(
        MakeReport({0x02, CMD_MODE_NAME, 0x0F, 0x40, 6, 0x00, 0x41, 0x00, 0x42, 0x00, 0x00, 0x00, 0x43}));
    EXPECT_EQ(U16(g_Device.szModeName[1].data(), kModeNameChars), u"AB");
    HandleReport(MakeReport({0x02, CMD_MODE_NAME, 0x0F, 0x40, 6, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(U16(g_Device.szModeName[1].data(), kModeNameChars), u"AB");
    HandleReport(MakeReport({0x02, CMD_MODE_NAME, 0x0F, 0xC0, 4, 0x4E, 0x2D, 0x65, 0x87}));
    EXPECT_EQ(U16(g_Device.szModeName[3].data(), kModeNameChars), u"中文");
    // Too long for the buffer: kept to 23 units and terminated.
    Report longName = MakeReport({0x02, CMD_MODE_NAME, 0x0F, 0x00, 56});
    for (int i = 5; i + 1 < 61; i += 2)
        longName[i + 1] = 'z';
    HandleReport(longName);
    EXPECT_EQ(U16(g_Device.szModeName[0].data(), kModeNameChars), std::u16string(23, u'z'));
    Snapshot before;
    HandleReport(MakeReport({0x02, CMD_MODE_NAME, 0x0F, 0x20, 2, 0, 0x41}));
    EXPECT_TRUE(Snapshot{} == before);
}

TEST_F(CodecTest, LearnedKeysAreBoundedAndNotified) {
    HandleReport(MakeReport({0x02, CMD_LEARN_KEY, 0xA5, 17, 0x3C}));
    EXPECT_EQ(g_Status.byRemoteKey[0], 0xA5);
    EXPECT_EQ(g_Status.byRemoteKey[17], 0x3C);
    ASSERT_EQ(events.keys, std::vector<int>{0x3C});
    Snapshot before;
    HandleReport(MakeReport({0x02, CMD_LEARN_KEY, 0xA6, 18, 0x11}));
    HandleReport(MakeReport({0x02, CMD_LEARN_KEY, 0xA6, 0, 0x11}));
    EXPECT_TRUE(Snapshot{} == before);
    EXPECT_EQ(events.keys.size(), 1u);
}

TEST_F(CodecTest, UnknownCodesChangeNothingAndSendNothing) {
    Snapshot before;
    for (int code : {0, 1, 2, 8, 11, 100, 125, 130, 133, 135, 200, 255}) {
        Report r{};
        r[1] = static_cast<uint8_t>(code);
        std::fill(r.begin() + 2, r.end(), 0xEE);
        HandleReport(r);
    }
    EXPECT_TRUE(Snapshot{} == before);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(CodecTest, PlugMemoryRepliesAreBoundedByTheirTable) {
    g_PlugMem = PlugMemory{};
    Report r = MakeReport({0x02, CMD_PLUG_READ, 0x00, 30, 28});
    std::fill(r.begin() + 5, r.end(), 0x21);
    HandleReport(r); // address 30 lies in record 1
    EXPECT_EQ(g_PlugMem.byData[27], 0);
    EXPECT_EQ(g_PlugMem.byData[28], 0x21);
    EXPECT_EQ(g_PlugMem.byData[55], 0x21);
    EXPECT_EQ(g_PlugMem.byData[56], 0);

    Report last = MakeReport({0x02, CMD_PLUG_READ, 0x19, 0x60, 56}); // 6496 = record 232
    std::fill(last.begin() + 5, last.end(), 0x22);
    HandleReport(last);
    EXPECT_EQ(g_PlugMem.byData[6523], 0x22);
    EXPECT_EQ(g_PlugMem.byData[6524], 0); // the scenes stay

    Report scene = MakeReport({0x02, CMD_PLUG_READ, 0x1A, 0x40, 56}); // 6720: scene 3
    std::fill(scene.begin() + 5, scene.end(), 0x23);
    HandleReport(scene);
    EXPECT_EQ(g_PlugMem.byData[6691], 0);
    EXPECT_EQ(g_PlugMem.byData[6692], 0x23);
    EXPECT_EQ(g_PlugMem.byData[6747], 0x23);

    Snapshot before;
    HandleReport(MakeReport({0x02, CMD_PLUG_READ, 0x1A, 0x5C, 56, 1})); // 6748
    EXPECT_TRUE(Snapshot{} == before);
}

TEST_F(CodecTest, ZWaveReportsAreAcknowledgedAndDecoded) {
    // Node list: bitmask bytes 0x03 (nodes 1, 2) and 0x80 (node 16).
    HandleReport(MakeReport({0x02, CMD_ZWAVE, 10, 0x01, 9, 0x01, 0x02, 5, 8, 2, 0x03, 0x80}));
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Bytes(sent[0], 0, 5), Hex({0x02, 0x12, 0x01, 0x06, 0x00}));
    EXPECT_EQ(g_Status.byPlugTable[1][0], 1);
    EXPECT_EQ(g_Status.byPlugTable[2][0], 2);
    EXPECT_EQ(g_Status.byPlugTable[16][0], 16);
    EXPECT_EQ(g_Status.byPlugTable[3][0], 0);
    EXPECT_EQ(g_bNodeListReceived.load(), 1);

    // Acknowledgements are not answered.
    HandleReport(MakeReport({0x02, CMD_ZWAVE, 1, 0x06}));
    EXPECT_EQ(Sent().size(), 1u);

    // Basic report of node 16: level 0x63.
    HandleReport(MakeReport({0x02, CMD_ZWAVE, 12, 0x01, 10, 0x00, 0x04, 0, 16, 3, 0x20, 0x03, 0x63}));
    EXPECT_EQ(g_Status.byPlugTable[16][1], 0x63);
    ASSERT_EQ(events.plugs.size(), 1u);
    EXPECT_EQ(events.plugs[0], std::make_pair(4u, (16u << 16) | 0x63));

    // Inclusion of node 7 copies the pending record.
    g_byPendingPlug.fill(0x44);
    HandleReport(MakeReport({0x02, CMD_ZWAVE, 8, 0x01, 7, 0x00, 0x4A, 1, 5, 7}));
    EXPECT_EQ(g_Status.byPlugTable[7][0], 7);
    EXPECT_EQ(g_PlugMem.byData[7 * 28], 0x44);
    EXPECT_EQ(events.plugs.back(), std::make_pair(0x4Au, (7u << 16) | 5));

    // Exclusion of node 16.
    HandleReport(MakeReport({0x02, CMD_ZWAVE, 8, 0x01, 7, 0x00, 0x4B, 1, 6, 16}));
    EXPECT_EQ(g_Status.byPlugTable[16][0], 0);
    EXPECT_EQ(events.plugs.back(), std::make_pair(0x4Bu, (16u << 16) | 6));

    // A command length running past the report is ignored.
    Snapshot before;
    HandleReport(MakeReport({0x02, CMD_ZWAVE, 12, 0x01, 10, 0x00, 0x04, 0, 16, 200, 0x20}));
    EXPECT_EQ(g_Status.byPlugTable[16][1], before.status.byPlugTable[16][1]);
}

TEST_F(CodecTest, ReportsAreAppliedWholeAgainstConcurrentReaders) {
    // The reader thread writes whole 56-byte chunks; a reader under the lock never sees a half.
    std::atomic<bool> stop{false};
    std::fill_n(g_Param.byImage.begin(), 56, 0);
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i) {
            Report r = MakeReport({0x02, CMD_MEM_READ, 0x00, 0x00, 56});
            std::fill(r.begin() + 5, r.end(), static_cast<uint8_t>(i % 200 + 1));
            HandleReport(r);
        }
        stop = true;
    });
    int torn = 0;
    while (!stop) {
        auto lock = LockStore();
        const uint8_t first = g_Param.byImage[0];
        for (int i = 1; i < 56; ++i)
            torn += g_Param.byImage[i] != first;
    }
    reader.join();
    EXPECT_EQ(torn, 0);
}

} // namespace
