#include "TestSupport.h"

#include "model/Compound.h"
#include "model/Setters.h"

namespace {

class CompoundTest : public StoreTest {
protected:
    std::vector<Report> OfCode(uint8_t code) const {
        std::vector<Report> out;
        for (const Report& r : Sent())
            if (r[1] == code)
                out.push_back(r);
        return out;
    }
};

TEST_F(CompoundTest, BandAddressesAndRecords) {
    EXPECT_EQ(EqBandAddress(5, 0), 406);
    EXPECT_EQ(EqBandAddress(12, 14), 1239);
    EXPECT_EQ(EqBandAddress(13, 0), 1246);
    EXPECT_EQ(EqBandAddress(1, 19), 133);
    EXPECT_EQ(EqBandAddress(2, 13), 231);
    EXPECT_EQ(EqBandAddress(3, 7), 287);
    EXPECT_EQ(EqBandAddress(4, 9), 399);
    WriteBand(5, 0, 0.0f, 31.0f, 1.414f, EQ_PEQ);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Bytes(sent[0], 1, 11),
              (std::vector<uint8_t>{0x85, 0x01, 0x96, 0x07, 0x00, 0x96, 0x00, 0x1F, 0x05, 0x86, 0x01}));
    // Bands outside a group, or past the image, are refused.
    link.Clear();
    const auto image = g_Param.byImage;
    WriteBand(13, 1, 0, 100, 1, 1);
    WriteBand(4, 10, 0, 100, 1, 1);
    WriteBand(0, 0, 0, 100, 1, 1);
    WriteBand(5, -1, 0, 100, 1, 1);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(g_Param.byImage, image);
}

TEST_F(CompoundTest, CopyOutputEqOntoMicEqTurnsTheCrossoverIntoAPlainType) {
    WriteBand(5, 9, 0.0f, 2500.0f, 0.707f, 7);
    WriteBand(5, 8, 4.0f, 7000.0f, 2.0f, EQ_PEQ);
    link.Clear();
    ASSERT_TRUE(CopyEq(7, 0));
    EXPECT_EQ(ReadBand(1, 9).nType, EQ_HP);
    EXPECT_EQ(ReadBand(1, 9).fFreq, 2500.0f);
    EXPECT_FLOAT_EQ(ReadBand(1, 8).fGain, 4.0f);
    EXPECT_EQ(ReadBand(1, 10).fFreq, 31.0f); // Mic B untouched
    auto mem = OfCode(CMD_MEM_WRITE);
    auto coef = OfCode(CMD_SET_PARAM);
    ASSERT_EQ(mem.size(), 10u);
    ASSERT_EQ(coef.size(), 10u);
    EXPECT_EQ(coef[9][3], 1);
    EXPECT_EQ(coef[9][4], 25);

    WriteBand(5, 9, 0.0f, 2500.0f, 0.707f, 18);
    ASSERT_TRUE(CopyEq(7, 6));
    EXPECT_EQ(ReadBand(4, 9).nType, EQ_LP);
}

TEST_F(CompoundTest, CopyMusicEqOntoAnOutputMakesFlatCompanions) {
    WriteBand(4, 9, 6.0f, 12000.0f, 0.9f, EQ_LS);
    WriteBand(6, 10, 5.0f, 300.0f, 3.0f, 19);
    link.Clear();
    ASSERT_TRUE(CopyEq(6, 8));
    for (int b = 10; b <= 12; ++b) {
        const BandValues v = ReadBand(6, b);
        EXPECT_FLOAT_EQ(v.fGain, 0.0f);
        EXPECT_EQ(v.fFreq, 12000.0f);
        EXPECT_FLOAT_EQ(v.fQ, 0.9f);
        EXPECT_EQ(v.nType, EQ_PEQ);
    }
    EXPECT_EQ(ReadBand(6, 9).nType, EQ_LS);
    EXPECT_EQ(OfCode(CMD_MEM_WRITE).size(), 13u);
    EXPECT_EQ(OfCode(CMD_SET_PARAM).size(), 13u);
}

TEST_F(CompoundTest, CopyRefusesUnknownNumbers) {
    const auto image = g_Param.byImage;
    EXPECT_FALSE(CopyEq(15, 0));
    EXPECT_FALSE(CopyEq(0, 15));
    EXPECT_FALSE(CopyEq(-1, 3));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(g_Param.byImage, image);
    EXPECT_TRUE(CopyEq(2, 2)); // onto itself: just re-sent
    EXPECT_EQ(g_Param.byImage, image);
}

TEST_F(CompoundTest, SurroundLevelGoesToTheFirstChannelOfTheRole) {
    g_Param.nSetting[SET_OUT_ROLE + 2] = 5;
    g_Param.nSetting[SET_OUT_ROLE + 6] = 5;
    SetSurroundLevel(1, -6.0f);
    EXPECT_EQ(ChannelSurroundLevel(2), -6.0f);
    EXPECT_EQ(ChannelSurroundLevel(6), 0.0f);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(static_cast<int>(GetBE16(&sent[0][2])), 1253);
    EXPECT_EQ(Bytes(sent[0], 13, 4), (std::vector<uint8_t>{0xC0, 0xC0, 0x00, 0x00}));
    EXPECT_EQ(Bytes(sent[1], 3, 3), (std::vector<uint8_t>{7, 29, 6}));
    EXPECT_EQ(ValueWord(sent[1], 2), 0x3F7EFF25u);
    EXPECT_EQ(ValueWord(sent[1], 3), 0xBFFF7EF1u);

    link.Clear();
    const auto levels = g_Param.bySurroundLevels;
    SetSurroundLevel(2, -3.0f); // role 1: every channel has role 0 or 5 here
    SetSurroundLevel(8, -3.0f);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(g_Param.bySurroundLevels, levels);
}

TEST_F(CompoundTest, CompressorBlock) {
    SetSlotFloatBits(SET_OUT_COMP_THRESHOLD + 1, -20.0f);
    SetSlotFloatBits(SET_OUT_COMP_RATIO + 1, 4.0f);
    SetSlotFloatBits(SET_OUT_COMP_ATTACK + 1, 1.0f);
    SetSlotFloatBits(SET_OUT_COMP_RELEASE + 1, 100.0f);
    SendCompressor(1);
    SendMusicLimiter();
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    const Report& r = sent[0];
    EXPECT_EQ(Bytes(r, 3, 3), (std::vector<uint8_t>{6, 27, 7}));
    EXPECT_EQ(ValueFloat(r, 0), -20.0f);
    EXPECT_EQ(ValueWord(r, 1), 0u);
    EXPECT_EQ(ValueFloat(r, 2), 0.75f);
    EXPECT_EQ(ValueFloat(r, 3), 20.0f);
    EXPECT_EQ(ValueFloat(r, 4), 0.05f);
    EXPECT_NEAR(ValueFloat(r, 5), 0.020618, 1e-6);
    EXPECT_NEAR(ValueFloat(r, 6), 1 - std::exp(-1.0 / 4800), 1e-7);
    EXPECT_EQ(Bytes(sent[1], 3, 3), (std::vector<uint8_t>{4, 14, 7}));
}

TEST_F(CompoundTest, DelayModeRewritesTheSplitBands) {
    WriteBand(7, 13, 0.0f, 1200.0f, 0.707f, EQ_HP);
    link.Clear();
    SetDelayMode(2, 1);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_DELAY_WHOLE + 2], 1);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(Bytes(sent[0], 3, 3), (std::vector<uint8_t>{7, 17, 2}));
    EXPECT_EQ(ValueFloat(sent[0], 0), 1.0f);
    EXPECT_EQ(ValueFloat(sent[0], 1), 0.0f);
    EXPECT_EQ(ReadBand(7, 13).fFreq, 1200.0f);
    EXPECT_EQ(ReadBand(7, 13).nType, EQ_PEQ);
    EXPECT_EQ(ReadBand(7, 14).fFreq, 1700.0f);
    EXPECT_EQ(ReadBand(7, 14).nType, EQ_PEQ);
    EXPECT_FLOAT_EQ(ReadBand(7, 14).fQ, 0.707f);
    EXPECT_EQ(sent[2][4], 13);
    EXPECT_EQ(sent[4][4], 14);

    link.Clear();
    SetDelayMode(2, 0);
    EXPECT_EQ(ValueFloat(Sent()[0], 1), 1.0f);
    EXPECT_EQ(ReadBand(7, 13).nType, EQ_HP);
    EXPECT_EQ(ReadBand(7, 14).nType, EQ_LP);

    WriteBand(7, 13, 0.0f, 1250.0f, 0.707f, EQ_HP); // not a split frequency
    SetDelayMode(2, 1);
    EXPECT_EQ(ReadBand(7, 13).fFreq, 500.0f);
    EXPECT_EQ(ReadBand(7, 14).fFreq, 1000.0f);
}

TEST_F(CompoundTest, SplitIndexTable) {
    SetSplit(0, 25);
    EXPECT_EQ(ReadBand(5, 13).fFreq, 3000.0f);
    EXPECT_EQ(ReadBand(5, 14).fFreq, 3500.0f);
    EXPECT_EQ(CurrentSplitIndex(0), 25);
    SetSplit(0, 3);
    EXPECT_EQ(CurrentSplitIndex(0), 3);
    EXPECT_EQ(ReadBand(5, 13).nType, EQ_HP);
    EXPECT_EQ(ReadBand(5, 14).nType, EQ_LP);
}

TEST_F(CompoundTest, MicBoostGain) {
    SetMicBoostGain(-40.0f);
    EXPECT_EQ(g_Param.byMicBoostBytes[0], 0xC2);
    EXPECT_EQ(g_Param.byMicBoostBytes[1], 0x20);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(Bytes(sent[0], 1, 6), (std::vector<uint8_t>{CMD_MEM_WRITE, 0x05, 0x19, 2, 0xC2, 0x20}));
    const int params[6] = {61, 59, 58, 38, 36, 35};
    const int counts[6] = {6, 1, 1, 6, 1, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(sent[1 + i][3], 1);
        EXPECT_EQ(sent[1 + i][4], params[i]);
        EXPECT_EQ(sent[1 + i][5], counts[i]);
    }
    EXPECT_NEAR(ValueFloat(sent[2], 0), 0.01, 1e-7);
    EXPECT_NEAR(ValueFloat(sent[3], 0), 100.0, 1e-4);
    EXPECT_EQ(ValueWord(sent[1], 2), 0x3F7D554Au);
    EXPECT_EQ(ValueWord(sent[1], 3), 0xBFFEA8DCu);
}

TEST_F(CompoundTest, SoundFieldCoordinates) {
    EXPECT_EQ(EncodeSoundFieldCoord(0.0f), 0x80);
    EXPECT_EQ(DecodeSoundFieldCoord(0x80), 0.0f);
    EXPECT_EQ(EncodeSoundFieldCoord(-1.0f), 0x8A);
    EXPECT_EQ(EncodeSoundFieldCoord(0.5f), 0x05);
    EXPECT_EQ(EncodeSoundFieldCoord(0.04f), 0x00);
    EXPECT_EQ(EncodeSoundFieldCoord(-12.7f), 0xFF);
    EXPECT_EQ(EncodeSoundFieldCoord(40.0f), 0x7F); // the format holds 12.7 m at most
    EXPECT_EQ(EncodeSoundFieldCoord(std::nanf("")), 0x80);
    EXPECT_FLOAT_EQ(DecodeSoundFieldCoord(0x85), -0.5f);
    EXPECT_FLOAT_EQ(DecodeSoundFieldCoord(0x7F), 12.7f);
}

} // namespace
