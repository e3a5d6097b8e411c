#include "TestSupport.h"

#include "model/Compound.h"

namespace {

class DefaultsTest : public StoreTest {};

std::vector<uint8_t> Record(int gainCode, int freq, int qCode, int type) {
    return {static_cast<uint8_t>(gainCode >> 8), static_cast<uint8_t>(gainCode),
            static_cast<uint8_t>(freq >> 8),     static_cast<uint8_t>(freq),
            static_cast<uint8_t>(qCode >> 8),    static_cast<uint8_t>(qCode),
            static_cast<uint8_t>(type)};
}

TEST_F(DefaultsTest, StartupSlotsAndRecords) {
    for (int s = 0; s < SET_COUNT; ++s) {
        if (s == SET_ECHO_A_TIME || s == SET_ECHO_B_TIME)
            EXPECT_EQ(SlotFloat(s), 217.0f);
        else if (s == SET_ECHO_A_START || s == SET_ECHO_B_START)
            EXPECT_EQ(g_Param.nSetting[s], 60);
        else
            EXPECT_EQ(g_Param.nSetting[s], 0) << SlotName(s);
    }
    EXPECT_EQ(ToUtf8(U16(g_Device.szModel.data(), kModelChars)), "QX7745");
    EXPECT_EQ(ToUtf8(U16(g_Device.szMcuVersion.data(), kVersionChars)), "2012-10-03");
    EXPECT_EQ(ToUtf8(U16(g_Device.szDspVersion.data(), kVersionChars)), "2012-11-30");
    EXPECT_EQ(ToUtf8(U16(g_Device.szModeName[3].data(), kModeNameChars)), "Mode4");
    EXPECT_EQ(g_Status.byMachine[3], 99);
    EXPECT_EQ(g_Status.byMachine[4], 99);
    EXPECT_EQ(g_Status.byMachineEdit[3], 0);
    for (uint8_t b : g_Param.bySurroundLevels)
        EXPECT_EQ(b, 0);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DefaultsTest, StartupSoundField) {
    const std::array<uint8_t, 20> expected = {0x04, 0x04, 0x00, 0x00, 0x8A, 0x0A, 0x00, 0x0A, 0x0A, 0x0A,
                                              0x8A, 0x8A, 0x00, 0x8A, 0x0A, 0x8A, 0x85, 0x00, 0x05, 0x00};
    EXPECT_EQ(g_bySoundFieldBytes, expected);
    EXPECT_EQ(g_SoundField.nRoomWidth, 4);
    EXPECT_EQ(g_SoundField.nRoomLength, 4);
    const float xs[8] = {-1, 0, 1, -1, 0, 1, -0.5f, 0.5f};
    const float ys[8] = {1, 1, 1, -1, -1, -1, 0, 0};
    for (int k = 0; k < 8; ++k) {
        EXPECT_FLOAT_EQ(g_SoundField.fSpeakerX[k], xs[k]);
        EXPECT_FLOAT_EQ(g_SoundField.fSpeakerY[k], ys[k]);
    }
}

TEST_F(DefaultsTest, StartupImageByteExact) {
    const auto& img = g_Param.byImage;
    auto at = [&](int a) { return std::vector<uint8_t>(img.begin() + a, img.begin() + a + 7); };
    EXPECT_EQ(at(406), (std::vector<uint8_t>{0x00, 0x96, 0x00, 0x1F, 0x05, 0x86, 0x01}));
    EXPECT_EQ(at(1232), (std::vector<uint8_t>{0x00, 0x96, 0x01, 0xF4, 0x02, 0xC3, 0x01}));

    // The whole image from the region table, written out here independently.
    std::vector<uint8_t> want;
    auto add = [&](int gainCode, int f, int q, int t) {
        auto r = Record(gainCode, f, q, t);
        want.insert(want.end(), r.begin(), r.end());
    };
    const int oct[10] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    for (int rep = 0; rep < 2; ++rep)
        for (int f : oct)
            add(150, f, 1414, 1);
    for (int f : {61, 125, 250, 500, 1000, 2300})
        add(150, f, 1414, 1);
    add(150, 5000, 707, 2);
    add(150, 200, 707, 3);
    for (int f : {160, 250, 500, 1000, 2300})
        add(150, f, 1414, 1);
    add(180, 5000, 707, 5);
    add(150, 120, 707, 3);
    for (int f : {160, 250, 500, 1000, 2300})
        add(150, f, 1414, 1);
    add(90, 5000, 707, 5);
    add(150, 100, 707, 3);
    for (int f : {160, 250, 500, 1000, 2300})
        add(150, f, 1414, 1);
    add(120, 3000, 707, 5);
    for (int f : oct)
        add(150, f, 1414, 1);
    for (int c = 0; c < 8; ++c) {
        for (int f : oct)
            add(150, f, 1414, 1);
        for (int i = 0; i < 3; ++i)
            add(150, 16000, 1414, 1);
        add(150, 500, 707, 1);
        add(150, 1000, 707, 1);
    }
    ASSERT_EQ(want.size(), 178u * 7);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), img.begin()));
    for (int a = 1246; a < kImageSize; ++a)
        EXPECT_EQ(img[a], 0);
}

TEST_F(DefaultsTest, ResetOfReverbBWritesItsBandsAndCoefficients) {
    ResetEq(3);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 14u);
    const int freqs[7] = {63, 125, 250, 500, 1000, 2300, 5000};
    for (int b = 0; b < 7; ++b) {
        const Report& mem = sent[2 * b];
        const Report& coef = sent[2 * b + 1];
        EXPECT_EQ(mem[1], CMD_MEM_WRITE);
        EXPECT_EQ(static_cast<int>(GetBE16(&mem[2])), 287 + 7 * b);
        EXPECT_EQ(mem[4], 7);
        EXPECT_EQ(Bytes(mem, 5, 7), Record(150, freqs[b], 1410, 1));
        EXPECT_EQ(Bytes(coef, 1, 5),
                  (std::vector<uint8_t>{CMD_SET_PARAM, 0, 3, static_cast<uint8_t>(12 + b), 5}));
        // A flat peaking band: b0 = 1 and the feedback terms mirror the feed-forward ones.
        EXPECT_FLOAT_EQ(ValueFloat(coef, 2), 1.0f);
        EXPECT_FLOAT_EQ(ValueFloat(coef, 3), -ValueFloat(coef, 0));
        EXPECT_FLOAT_EQ(ValueFloat(coef, 4), -ValueFloat(coef, 1));
    }
    EXPECT_EQ(ReadBand(3, 13).fFreq, 5000.0f);
    EXPECT_FLOAT_EQ(ReadBand(3, 13).fQ, 1.41f);
}

TEST_F(DefaultsTest, ResetTargetsOfEveryEq) {
    struct Want {
        int firstAddress, bands, block, firstParam;
    };
    const Want wants[15] = {{0, 10, 1, 16},   {70, 10, 1, 39},   {238, 7, 3, 0},   {287, 7, 3, 12},
                            {140, 7, 2, 0},   {189, 7, 2, 13},   {336, 10, 4, 0},  {406, 13, 5, 0},
                            {511, 13, 6, 0},  {616, 13, 7, 0},   {721, 13, 8, 0},  {826, 13, 9, 0},
                            {931, 13, 10, 0}, {1036, 13, 11, 0}, {1141, 13, 12, 0}};
    for (int eq = 0; eq < 15; ++eq) {
        link.Clear();
        ResetEq(eq);
        auto sent = Sent();
        ASSERT_EQ(sent.size(), 2u * wants[eq].bands) << eq;
        EXPECT_EQ(static_cast<int>(GetBE16(&sent[0][2])), wants[eq].firstAddress) << eq;
        EXPECT_EQ(sent[1][3], wants[eq].block) << eq;
        EXPECT_EQ(sent[1][4], wants[eq].firstParam) << eq;
        EXPECT_EQ(sent.back()[4], wants[eq].firstParam + wants[eq].bands - 1) << eq;
    }
    link.Clear();
    ResetEq(15);
    ResetEq(-1);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DefaultsTest, OutputResetLeavesTheSplitBands) {
    const auto before =
        std::vector<uint8_t>(g_Param.byImage.begin() + 406 + 91, g_Param.byImage.begin() + 511);
    ResetEq(7);
    EXPECT_EQ(std::vector<uint8_t>(g_Param.byImage.begin() + 406 + 91, g_Param.byImage.begin() + 511),
              before);
    EXPECT_EQ(ReadBand(5, 12).fFreq, 16000.0f);
}

TEST_F(DefaultsTest, SoundFieldReset) {
    PutBE32(&g_Param.bySurroundLevels[4], FloatBits(-6.0f));
    g_bySoundFieldBytes.fill(0x33);
    ResetSoundField();
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 17u);
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(static_cast<int>(GetBE16(&sent[2 * c][2])), 1253);
        EXPECT_EQ(sent[2 * c][4], 32);
        EXPECT_EQ(Bytes(sent[2 * c + 1], 3, 3), (std::vector<uint8_t>{static_cast<uint8_t>(5 + c), 29, 6}));
        EXPECT_EQ(ValueFloat(sent[2 * c + 1], 0), 1.0f);
    }
    for (uint8_t b : g_Param.bySurroundLevels)
        EXPECT_EQ(b, 0);
    const Report& sf = sent[16];
    EXPECT_EQ(static_cast<int>(GetBE16(&sf[2])), 1285);
    // Coordinates of 0 go out as 0x80.
    const std::vector<uint8_t> want = {0x04, 0x04, 0x80, 0x80, 0x8A, 0x0A, 0x80, 0x0A, 0x0A, 0x0A,
                                       0x8A, 0x8A, 0x80, 0x8A, 0x0A, 0x8A, 0x85, 0x80, 0x05, 0x80};
    EXPECT_EQ(Bytes(sf, 5, 20), want);
}

} // namespace
