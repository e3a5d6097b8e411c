#include "TestSupport.h"

#include "model/EqIo.h"

TEST(EqIo, ShortNamesAndBandCounts) {
    const char* const names[] = {"mic-a",  "mic-b", "reverb-a", "reverb-b", "echo-a",
                                 "echo-b", "music", "out1",     "out2",     "out3",
                                 "out4",   "out5",  "out6",     "out7",     "out8"};
    const int bands[] = {10, 10, 7, 7, 7, 7, 10, 10, 10, 10, 10, 10, 10, 10, 10};
    for (int eq = 0; eq < kEqNumberCount; ++eq) {
        EXPECT_EQ(EqFromShortName(names[eq]), eq);
        EXPECT_EQ(EqUserBands(eq), bands[eq]) << names[eq];
        EXPECT_EQ(IsOutputEq(eq), eq >= 7) << names[eq];
    }
    EXPECT_EQ(EqFromShortName("OUT8"), 14);
    EXPECT_EQ(EqFromShortName("Mic-A"), 0);
    for (const char* bad : {"", "out0", "out9", "mic", "music ", "lpf"})
        EXPECT_EQ(EqFromShortName(bad), -1) << bad;
    EXPECT_EQ(EqUserBands(-1), 0);
    EXPECT_EQ(EqUserBands(15), 0);
    EXPECT_EQ(EqShortNameList().substr(0, 20), "mic-a, mic-b, reverb");
}

class EqIoTest : public StoreTest {};

TEST_F(EqIoTest, SpecialBandsAreNamed) {
    WriteBand(4, 3, 0, 700, 1.3f, 18); // a crossover section where no crossover belongs
    EqBandSetting s = ReadEqBandSetting(6, 3);
    EXPECT_EQ(s.nType, EQ_OFF);
    EXPECT_EQ(s.strSpecial, "section code 18");

    // Band 9 with off companions is a plain band; odd codes make an unnamed crossover.
    WriteBand(6, 9, 2.0f, 3000, 0.9f, EQ_LS);
    for (int j = 10; j <= 12; ++j)
        WriteBand(6, j, 0, 3000, 0.9f, EQ_OFF);
    EXPECT_FALSE(EqHasCrossover(8));
    s = ReadEqBandSetting(8, 9);
    EXPECT_EQ(s.nType, EQ_LS);
    EXPECT_FLOAT_EQ(s.fGain, 2.0f);
    EXPECT_TRUE(s.strSpecial.empty());
    WriteBand(6, 11, 0, 3000, 0.9f, EQ_CHEBYSHEV_HP);
    EXPECT_TRUE(EqHasCrossover(8));
    EXPECT_EQ(ReadEqBandSetting(8, 9).strSpecial, "crossover sections 4, 0, 7, 0");
    EXPECT_EQ(ReadEqBandSetting(8, 10).nType, EQ_OFF); // no such user band
    EXPECT_EQ(ReadEqBandSettings(8).size(), 10u);
}

TEST_F(EqIoTest, ValuesAreHeldWhateverTheCaller) {
    // A foreign image with a zero Q and frequency, kept by a band left off.
    WriteBand(1, 4, 0, 0, 0, EQ_PEQ);
    std::vector<EqBandSetting> bands(2);
    bands[0] = {EQ_PEQ, 40.0f, 90000.0f, 99.0f, 1, {}};
    bands[1] = {EQ_LP, 6.0f, 100.5f, 1.0f, 2, {}};
    link.Clear();
    ASSERT_TRUE(ApplyEqBands(0, bands).bOk);
    const BandValues b0 = ReadBand(1, 0);
    EXPECT_FLOAT_EQ(b0.fGain, 15.0f);
    EXPECT_EQ(b0.fFreq, 20000.0f);
    EXPECT_FLOAT_EQ(b0.fQ, 30.0f);
    const BandValues b1 = ReadBand(1, 1);
    EXPECT_FLOAT_EQ(b1.fGain, 0.0f); // LP carries no gain
    EXPECT_EQ(b1.fFreq, 100.0f);
    const BandValues b4 = ReadBand(1, 4);
    EXPECT_EQ(b4.nType, EQ_OFF);
    EXPECT_EQ(b4.fFreq, 20.0f);
    EXPECT_FLOAT_EQ(b4.fQ, 0.1f);
    for (const Report& r : Sent()) {
        if (r[1] != CMD_SET_PARAM)
            continue;
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(std::isfinite(ValueFloat(r, i)));
    }
}
