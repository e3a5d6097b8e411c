#include "TestSupport.h"

#include "model/Compound.h"
#include "model/Eq.h"

namespace {

using EqTest = StoreTest;

TEST_F(EqTest, IdentityMatchesTheEqNumbers) {
    EXPECT_EQ(EqBands(EQ_MIC_A), 10);
    EXPECT_EQ(EqBands(EQ_ECHO_B), 7);
    EXPECT_EQ(EqBands(EQ_OUT8), 13);
    EXPECT_EQ(EqBands(EQ_ID_COUNT), 0);
    EXPECT_EQ(EqBandStoreAddress(EQ_MIC_B, 0), ADDR_EQ_MIC_B);
    EXPECT_EQ(EqBandStoreAddress(EQ_OUT2, 12), ADDR_EQ_OUT + kOutEqStride + 12 * kBandRecordSize);
    EXPECT_EQ(EqBandStoreAddress(EQ_REVERB_A, 7), -1);
    EXPECT_EQ(EqBandStoreAddress(-1, 0), -1);
    EXPECT_EQ(EqBypassSlot(EQ_ECHO_A), SET_ECHO_A_EQ_BYPASS);
    EXPECT_EQ(EqBypassSlot(EQ_OUT1 + 5), SET_OUT_EQ_BYPASS + 5);
    EXPECT_EQ(EqBypassSlot(15), -1);
    EXPECT_TRUE(IsOutputEq(OutputEq(7)));
    EXPECT_FALSE(IsOutputEq(EQ_MUSIC));
}

// A linked crossover edit is the band and its three companions, channel after channel, each exactly
// as a single band write sends it.
TEST_F(EqTest, LinkedCrossoverWriteSendsBandThenCompanionsPerChannel) {
    const BandValues band{3.0f, 800.0f, 0.7f, 8};
    const std::array<BandValues, 3> companions{
        {{9.0f, 800.0f, 0.7f, 8}, {0.0f, 800.0f, 0.7f, 1}, {0.0f, 800.0f, 0.7f, 1}}};
    const std::array<int, 3> channels{0, 2, 5};
    WriteOutputBand(channels, kCrossoverBand, band, companions);
    const std::vector<Report> linked = Sent();

    link.Clear();
    for (int c : channels) {
        WriteBandAndCoeffs(MOD_OUT1 + c, 9, 3.0f, 800.0f, 0.7f, 8);
        for (int j = 0; j < 3; ++j)
            WriteBandAndCoeffs(MOD_OUT1 + c, 10 + j, 0.0f, 800.0f, 0.7f, companions[j].nType);
    }
    EXPECT_EQ(linked, Sent());
    ASSERT_EQ(linked.size(), 3u * 4u * 2u);
    EXPECT_EQ(GetBE16(&linked[0][2]), static_cast<uint32_t>(EqBandStoreAddress(EQ_OUT1, 9)));
    EXPECT_EQ(GetBE16(&linked[16][2]), static_cast<uint32_t>(EqBandStoreAddress(OutputEq(5), 9)));
}

TEST_F(EqTest, CompanionsOnlyFollowTheOutputCrossover) {
    const std::array<BandValues, 3> companions{};
    WriteEqBand(EQ_MUSIC, kCrossoverBand, BandValues{1.0f, 500.0f, 1.0f, EQ_PEQ}, companions);
    EXPECT_EQ(Sent().size(), 2u); // record and coefficients of band 9 alone
    link.Clear();
    WriteEqBand(EQ_OUT1, 4, BandValues{1.0f, 500.0f, 1.0f, EQ_PEQ}, companions);
    EXPECT_EQ(Sent().size(), 2u);
    link.Clear();
    WriteEqBand(EQ_ECHO_A, 7, BandValues{1.0f, 500.0f, 1.0f, EQ_PEQ});
    WriteOutputBand(std::array<int, 2>{-1, 8}, 0, BandValues{1.0f, 500.0f, 1.0f, EQ_PEQ});
    EXPECT_TRUE(Sent().empty()); // no such band, no such channel
}

TEST_F(EqTest, ReadEqBandsDecodesTheImage) {
    WriteEqBand(EQ_REVERB_B, 2, BandValues{-4.5f, 2500.0f, 2.0f, EQ_LS});
    const std::vector<BandValues> bands = ReadEqBands(EQ_REVERB_B, 7);
    ASSERT_EQ(bands.size(), 7u);
    EXPECT_EQ(bands[2].nType, EQ_LS);
    EXPECT_FLOAT_EQ(bands[2].fGain, -4.5f);
    EXPECT_FLOAT_EQ(bands[2].fFreq, 2500.0f);
    EXPECT_EQ(ReadEqBands(EQ_ID_COUNT, 2)[1].nType, -1);
}

} // namespace
