// The auto EQ written to an equaliser: byte for byte what an import of its filter text sends, with the
// fitted values in the records and an output channel's crossover kept unless ten bands are asked for.
#include "TestSupport.h"

#include "files/EqFit.h"
#include "model/EqIo.h"

namespace {

// A room with three modes over a 48 kHz-friendly 1/48-octave grid, 80 dB.
Response Room() {
    Response r;
    r.hz = LogGrid(20, 20000, 48);
    const BandValues modes[] = {{8, 45, 5, EQ_PEQ}, {-5, 90, 3, EQ_PEQ}, {6, 170, 2, EQ_PEQ}};
    r.db = SectionsResponseDb(modes, r.hz);
    for (double& v : r.db)
        v += 80;
    return r;
}

class EqFitTest : public StoreTest {
protected:
    // Band 10 of `eq` and its companions: a Linkwitz-Riley 24 dB high-pass at 80 Hz.
    static void PutCrossover(int eq) {
        const EqNumberInfo& info = kEqNumbers[eq];
        for (int j = 0; j < 4; ++j)
            WriteBand(info.nGroup, info.nFirstBand + 9 + j, 0, 80, 0.707f,
                      kCrossoverFamilies[1].nHighPass[j]);
    }
    static std::vector<uint8_t> Records(int eq) {
        const int from = EqBandStoreAddress(eq, 0);
        const int to = EqBandStoreAddress(eq, EqBands(eq) - 1) + kBandRecordSize;
        auto lock = LockStore();
        return std::vector<uint8_t>(g_Param.byImage.begin() + from, g_Param.byImage.begin() + to);
    }
};

} // namespace

TEST_F(EqFitTest, WritesWhatAnImportOfItsTextWrites) {
    struct Case {
        const char* szWhat;
        int nEq;
        bool bCrossover;
        int nBandsAsked;
        int nBandsFitted;
        bool bCrossoverAfter;
    };
    const Case cases[] = {
        {"music, every band", EQ_MUSIC, false, 0, 10, false},
        {"reverb A, seven bands", EQ_REVERB_A, false, 0, 7, false},
        {"output without a crossover", EQ_OUT5, false, 0, 10, false},
        {"output crossover kept", EQ_OUT3, true, 0, 9, true},
        {"output crossover kept, five bands", EQ_OUT3, true, 5, 5, true},
        {"output crossover replaced by --bands 10", EQ_OUT3, true, 10, 10, false},
    };
    const std::vector<Response> measured{Room()};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szWhat);
        FreshStore();
        if (c.bCrossover)
            PutCrossover(c.nEq);
        const std::vector<uint8_t> before = Records(c.nEq);
        const EqFitChannel channel = EqFitChannelOf(c.nEq, c.nBandsAsked);
        EXPECT_EQ(channel.nBands, c.nBandsFitted);
        EXPECT_EQ(channel.bKeepsCrossover, c.bCrossover && c.bCrossoverAfter);
        EXPECT_EQ(channel.kept.size(), channel.bKeepsCrossover ? 4u : 0u);
        const EqFitOutcome o = RunEqFit(channel, measured, nullptr, EqFitOptions{}, "test");
        ASSERT_TRUE(o.bOk) << o.strError;
        EXPECT_LT(o.fit.after.fRmsDb, o.fit.before.fRmsDb / 3);

        link.Clear();
        const int eqs[] = {c.nEq};
        ASSERT_TRUE(ApplyEqFit(eqs, o));
        const std::vector<Report> fitted = Sent();
        const std::vector<uint8_t> afterFit = Records(c.nEq);

        // The same store again, and eq import of the exported text.
        FreshStore();
        if (c.bCrossover)
            PutCrossover(c.nEq);
        link.Clear();
        const FilterTextResult text = ParseFilterText(o.strText, EqUserBands(c.nEq));
        ASSERT_TRUE(text.bOk) << FormatFilterNote(text.error);
        ASSERT_TRUE(ApplyEqBands(c.nEq, text.bands).bOk);
        EXPECT_EQ(Sent(), fitted);
        EXPECT_EQ(Records(c.nEq), afterFit);
        EXPECT_EQ(EqHasCrossover(c.nEq), c.bCrossoverAfter);

        // The records hold the fitted values; band 10 kept is untouched, byte for byte.
        for (int b = 0; b < c.nBandsFitted; ++b) {
            const BandValues& want = o.fit.bands[b];
            const BandValues got = ReadEqBands(c.nEq, b + 1)[b];
            if (want.nType == EQ_OFF) {
                EXPECT_EQ(got.nType, EQ_OFF) << "band " << b;
                continue;
            }
            EXPECT_EQ(got.nType, want.nType) << "band " << b;
            EXPECT_FLOAT_EQ(got.fGain, want.fGain) << "band " << b;
            EXPECT_EQ(got.fFreq, want.fFreq) << "band " << b;
            EXPECT_EQ(EncodeBandQ(got.fQ), EncodeBandQ(want.fQ)) << "band " << b;
        }
        if (c.bCrossoverAfter) {
            const size_t at = 9 * kBandRecordSize;
            EXPECT_EQ(std::vector<uint8_t>(afterFit.begin() + at, afterFit.end()),
                      std::vector<uint8_t>(before.begin() + at, before.end()));
        }
    }
}

// A fit range outside what was measured is clipped with a warning; one with nothing measured fails.
TEST_F(EqFitTest, RangeFollowsWhatWasMeasured) {
    Response narrow = Room();
    while (narrow.hz.front() < 40) {
        narrow.hz.erase(narrow.hz.begin());
        narrow.db.erase(narrow.db.begin());
    }
    const std::vector<Response> measured{narrow};
    const EqFitOutcome clipped =
        RunEqFit(EqFitChannelOf(EQ_MUSIC, 0), measured, nullptr, EqFitOptions{}, "t");
    ASSERT_TRUE(clipped.bOk) << clipped.strError;
    ASSERT_EQ(clipped.warnings.size(), 1u);
    EXPECT_NE(clipped.warnings[0].find("fitting 40"), std::string::npos) << clipped.warnings[0];
    EXPECT_GE(clipped.limits.fLoHz, 40);

    EqFitOptions high;
    high.fLoHz = 21000;
    high.fHiHz = 22000;
    const EqFitOutcome none = RunEqFit(EqFitChannelOf(EQ_MUSIC, 0), measured, nullptr, high, "t");
    EXPECT_FALSE(none.bOk);
    EXPECT_FALSE(none.strError.empty());
}
