// A filter text imported into an equaliser: the reports on the wire, byte for byte and in band order.
#include "TestSupport.h"

#include "files/FilterText.h"
#include "model/EqIo.h"

namespace {

constexpr const char* kRoomText = "Filter Settings file\n"
                                  "Notes: front of house\n"
                                  "Preamp: -5.5 dB\n"
                                  "Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\n"
                                  "Filter 2: ON LSC Fc 105 Hz Gain 4.5 dB Q 0.707\n"
                                  "Filter 3: ON HSC Fc 6300 Hz Gain -3.5 dB Q 0.800\n"
                                  "Filter 4: ON LPQ Fc 16000 Hz Q 0.707\n"
                                  "Filter 5: OFF None\n"
                                  "Filter 6: ON PK Fc 1234.9 Hz Gain 2.3 dB Q 1.250\n";

using Record = std::array<uint8_t, 7>;

struct Expected {
    Record record;
    int nType;
    float fGain, fFreq, fQ; // the values the coefficients are designed from
};

// Music and microphone EQ bands after kRoomText: the six filters, then bands 7..10 off at their
// start-up octave frequencies and Q 1.414 (band 5's OFF line keeps 500 Hz too).
const Expected kAfterRoomText[10] = {
    {{0x00, 0x64, 0x00, 0x3F, 0x0F, 0xA0, 0x01}, EQ_PEQ, -5.0f, 63, 4.0f},
    {{0x00, 0xC3, 0x00, 0x69, 0x02, 0xC3, 0x04}, EQ_LS, 4.5f, 105, 0.707f},
    {{0x00, 0x73, 0x18, 0x9C, 0x03, 0x20, 0x05}, EQ_HS, -3.5f, 6300, 0.8f},
    {{0x00, 0x96, 0x3E, 0x80, 0x02, 0xC3, 0x02}, EQ_LP, 0, 16000, 0.707f},
    {{0x00, 0x96, 0x01, 0xF4, 0x05, 0x86, 0x00}, EQ_OFF, 0, 500, 1.414f},
    {{0x00, 0xAD, 0x04, 0xD2, 0x04, 0xE2, 0x01}, EQ_PEQ, 2.3f, 1234, 1.25f},
    {{0x00, 0x96, 0x07, 0xD0, 0x05, 0x86, 0x00}, EQ_OFF, 0, 2000, 1.414f},
    {{0x00, 0x96, 0x0F, 0xA0, 0x05, 0x86, 0x00}, EQ_OFF, 0, 4000, 1.414f},
    {{0x00, 0x96, 0x1F, 0x40, 0x05, 0x86, 0x00}, EQ_OFF, 0, 8000, 1.414f},
    {{0x00, 0x96, 0x3E, 0x80, 0x05, 0x86, 0x00}, EQ_OFF, 0, 16000, 1.414f},
};

class FilterImportTest : public StoreTest {
protected:
    EqApplyResult Import(int eq, const std::string& text) {
        const FilterTextResult parsed = ParseFilterText(text, EqUserBands(eq));
        EXPECT_TRUE(parsed.bOk) << FormatFilterNote(parsed.error);
        return ApplyEqBands(eq, parsed.bands);
    }
    static void ExpectMemoryWrite(const Report& r, int address, const Record& record) {
        EXPECT_EQ(r[0], 0x02);
        EXPECT_EQ(r[1], CMD_MEM_WRITE);
        EXPECT_EQ(r[2] << 8 | r[3], address);
        EXPECT_EQ(r[4], 7);
        EXPECT_EQ(Bytes(r, 5, 7), std::vector<uint8_t>(record.begin(), record.end()))
            << "address " << address;
        EXPECT_EQ(Bytes(r, 12, kReportSize - 12), std::vector<uint8_t>(kReportSize - 12, 0));
    }
    static void ExpectCoeffs(const Report& r, int block, int param, int type, float gain, float freq,
                             float q) {
        EXPECT_EQ(r[0], 0x02);
        EXPECT_EQ(r[1], CMD_SET_PARAM);
        EXPECT_EQ(r[3], block);
        EXPECT_EQ(r[4], param);
        EXPECT_EQ(r[5], 5);
        const std::array<float, 5> block5 = EncodeBiquadBlock(CalcBiquad(type, gain, freq, q));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(ValueWord(r, i), FloatBits(block5[i])) << "block " << block << " param " << param;
        EXPECT_EQ(Bytes(r, 26, kReportSize - 26), std::vector<uint8_t>(kReportSize - 26, 0));
    }
    void ExpectRoomText(int firstAddress, int block, int firstParam) {
        const std::vector<Report> sent = Sent();
        ASSERT_EQ(sent.size(), 20u);
        for (int b = 0; b < 10; ++b) {
            const Expected& e = kAfterRoomText[b];
            ExpectMemoryWrite(sent[2 * b], firstAddress + 7 * b, e.record);
            ExpectCoeffs(sent[2 * b + 1], block, firstParam + b, e.nType, e.fGain, e.fFreq, e.fQ);
        }
        // Band 1's biquad, worked out by hand: -a1, -a2, b0, b1, b2.
        EXPECT_EQ(Bytes(sent[1], 6, 20),
                  (std::vector<uint8_t>{0x3F, 0xFF, 0xA3, 0xD0, 0xBF, 0x7F, 0x4C, 0x13, 0x3F, 0x7F,
                                        0xD8, 0xA0, 0xBF, 0xFF, 0xA3, 0xD0, 0x3F, 0x7F, 0x73, 0x72}));
    }
};

} // namespace

TEST_F(FilterImportTest, IntoTheMusicEq) {
    const EqApplyResult r = Import(EqFromShortName("music"), kRoomText);
    EXPECT_TRUE(r.bOk);
    EXPECT_EQ(r.nBandsWritten, 10);
    ExpectRoomText(ADDR_EQ_MUSIC, MOD_MUSIC, 0);
    EXPECT_EQ(ReadBand(4, 5).nType, EQ_PEQ);
    EXPECT_EQ(ReadBand(4, 9).nType, EQ_OFF);
}

TEST_F(FilterImportTest, IntoMicrophoneEqA) {
    const auto micB = std::vector<uint8_t>(g_Param.byImage.begin() + ADDR_EQ_MIC_B,
                                           g_Param.byImage.begin() + ADDR_EQ_MIC_B + 70);
    const EqApplyResult r = Import(EqFromShortName("mic-a"), kRoomText);
    EXPECT_TRUE(r.bOk);
    ExpectRoomText(ADDR_EQ_MIC_A, MOD_MIC, 16);
    EXPECT_EQ(std::vector<uint8_t>(g_Param.byImage.begin() + ADDR_EQ_MIC_B,
                                   g_Param.byImage.begin() + ADDR_EQ_MIC_B + 70),
              micB);
}

TEST_F(FilterImportTest, MicrophoneEqBGoesToTheUpperParameters) {
    Import(EqFromShortName("mic-b"), kRoomText);
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 20u);
    ExpectMemoryWrite(sent[0], ADDR_EQ_MIC_B, kAfterRoomText[0].record);
    EXPECT_EQ(sent[1][3], MOD_MIC);
    EXPECT_EQ(sent[1][4], 39);
    EXPECT_EQ(sent[19][4], 48);
}

TEST_F(FilterImportTest, EffectEqsTakeSevenBands) {
    const std::string seven = "Filter: ON PK Fc 200 Hz Gain -2 dB Q 2\n"
                              "Filter: ON HP Fc 90 Hz Q 0.7\n";
    EXPECT_TRUE(Import(EqFromShortName("echo-b"), seven).bOk);
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 14u);
    ExpectMemoryWrite(sent[0], ADDR_EQ_ECHO_B, {0x00, 0x82, 0x00, 0xC8, 0x07, 0xD0, 0x01});
    ExpectCoeffs(sent[1], MOD_ECHO, 13, EQ_PEQ, -2, 200, 2);
    ExpectMemoryWrite(sent[2], ADDR_EQ_ECHO_B + 7, {0x00, 0x96, 0x00, 0x5A, 0x02, 0xBC, 0x03});
    ExpectCoeffs(sent[3], MOD_ECHO, 14, EQ_HP, 0, 90, 0.7f);
    EXPECT_EQ(sent[13][4], 19);
}

TEST_F(FilterImportTest, OutputBandTenBringsItsCompanions) {
    std::string ten;
    for (int i = 1; i <= 9; ++i)
        ten +=
            "Filter " + std::to_string(i) + ": ON PK Fc " + std::to_string(40 * i) + " Hz Gain -1 dB Q 3\n";
    ten += "Filter 10: ON HPQ Fc 2500 Hz Q 0.65\n";
    const int out3 = EqFromShortName("out3");
    const EqApplyResult r = Import(out3, ten);
    EXPECT_TRUE(r.bOk);
    EXPECT_FALSE(r.bCrossoverKept);
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 26u); // ten bands, then companions 11..13
    const int base = ADDR_EQ_OUT + 2 * kOutEqStride;
    ExpectMemoryWrite(sent[18], base + 7 * 9, {0x00, 0x96, 0x09, 0xC4, 0x02, 0x8A, 0x03});
    ExpectCoeffs(sent[19], MOD_OUT1 + 2, 9, EQ_HP, 0, 2500, 0.65f);
    for (int j = 1; j <= 3; ++j) {
        ExpectMemoryWrite(sent[18 + 2 * j], base + 7 * (9 + j), {0x00, 0x96, 0x09, 0xC4, 0x02, 0x8A, 0x01});
        ExpectCoeffs(sent[19 + 2 * j], MOD_OUT1 + 2, 9 + j, EQ_PEQ, 0, 2500, 0.65f);
    }
    EXPECT_FALSE(EqHasCrossover(out3));
    EXPECT_EQ(ReadEqBandSetting(out3, 9).nType, EQ_HP);
}

TEST_F(FilterImportTest, OutputCrossoverStaysUnlessAFilterNamesBandTen) {
    const int out1 = EqFromShortName("out1");
    // A Linkwitz-Riley 24 dB high-pass at 80 Hz on band 9 and its companions.
    for (int j = 0; j < 4; ++j)
        WriteBand(5, 9 + j, 0, 80, 0.707f, kCrossoverFamilies[1].nHighPass[j]);
    ASSERT_TRUE(EqHasCrossover(out1));
    EXPECT_EQ(ReadEqBandSetting(out1, 9).strSpecial, "crossover LinkwitzRiely 24dB high-pass");
    link.Clear();

    const EqApplyResult kept = Import(out1, kRoomText);
    EXPECT_TRUE(kept.bCrossoverKept);
    EXPECT_EQ(kept.nBandsWritten, 9);
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 18u);
    for (const Report& r : sent) {
        if (r[1] == CMD_SET_PARAM) {
            EXPECT_LT(r[4], 9);
        }
    }
    EXPECT_EQ(ReadBand(5, 9).nType, kCrossoverFamilies[1].nHighPass[0]);

    // The export says what it is and reads back without touching it.
    const std::string text = WriteFilterText(ReadEqBandSettings(out1), "out1");
    EXPECT_NE(text.find("# Filter 10: crossover LinkwitzRiely 24dB high-pass, Fc 80 Hz, Q 0.707"),
              std::string::npos);
    link.Clear();
    EXPECT_TRUE(Import(out1, text).bCrossoverKept);
    EXPECT_EQ(WriteFilterText(ReadEqBandSettings(out1), "out1"), text);

    // A tenth filter replaces it.
    link.Clear();
    const EqApplyResult replaced =
        Import(out1, std::string(kRoomText) + "Filter 7: OFF None\nFilter 8: OFF None\n"
                                              "Filter 9: OFF None\nFilter 10: OFF None\n");
    EXPECT_FALSE(replaced.bCrossoverKept);
    EXPECT_EQ(Sent().size(), 26u);
    EXPECT_FALSE(EqHasCrossover(out1));
    EXPECT_EQ(ReadBand(5, 9).nType, EQ_OFF);
    for (int j = 1; j <= 3; ++j)
        EXPECT_EQ(ReadBand(5, 9 + j).nType, EQ_PEQ);
}

TEST_F(FilterImportTest, ExportImportExportGivesTheSameText) {
    for (int eq = 0; eq < kEqNumberCount; ++eq) {
        Import(eq, kRoomText);
        const std::string first = WriteFilterText(ReadEqBandSettings(eq), kEqShortNames[eq]);
        const auto image = g_Param.byImage;
        Import(eq, first);
        EXPECT_EQ(WriteFilterText(ReadEqBandSettings(eq), kEqShortNames[eq]), first) << kEqShortNames[eq];
        EXPECT_EQ(g_Param.byImage, image) << kEqShortNames[eq];
    }
}

TEST_F(FilterImportTest, TooManyBandsWriteNothing) {
    std::vector<EqBandSetting> eight(8);
    const auto image = g_Param.byImage;
    EXPECT_FALSE(ApplyEqBands(EqFromShortName("echo-a"), eight).bOk);
    EXPECT_FALSE(ApplyEqBands(-1, {}).bOk);
    EXPECT_FALSE(ApplyEqBands(kEqNumberCount, {}).bOk);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(g_Param.byImage, image);
}

TEST_F(FilterImportTest, ExportThenImportIsByteIdentical) {
    // Off bands that hold a gain, and Q codes a truncating encoder would not give back.
    const BandValues pool[] = {
        {3.5f, 700, 2.345f, EQ_OFF},   {-0.1f, 63, 0.251f, EQ_PEQ},  {4.5f, 105, 0.707f, EQ_LS},
        {-14.9f, 6300, 1.999f, EQ_HS}, {0, 16000, 0.503f, EQ_LP},    {0, 25, 0.1f, EQ_HP},
        {-15, 20, 30, EQ_OFF},         {15, 20000, 29.999f, EQ_PEQ}, {0.1f, 1000, 0.123f, EQ_OFF},
        {-7.3f, 41, 5.123f, EQ_PEQ},
    };
    for (int eq = 0; eq < kEqNumberCount; ++eq) {
        const int n = EqUserBands(eq);
        auto put = [&](int band, const BandValues& v) {
            const BandRecordBytes r = EncodeBandRecord(v.fGain, v.fFreq, v.fQ, v.nType);
            std::copy(r.begin(), r.end(), g_Param.byImage.begin() + EqBandStoreAddress(eq, band));
        };
        for (int b = 0; b < n; ++b)
            put(b, pool[(b + eq) % std::size(pool)]);
        if (IsOutputEq(eq)) // band 10 a plain band over transparent companions
            for (int j = 1; j <= 3; ++j)
                put(9 + j, {0, ReadEqBandSetting(eq, 9).fFreq, ReadEqBandSetting(eq, 9).fQ, EQ_PEQ});
        const auto image = g_Param.byImage;
        const std::string text = WriteFilterText(ReadEqBandSettings(eq), kEqShortNames[eq]);
        link.Clear();
        EXPECT_EQ(Import(eq, text).nBandsWritten, n);
        EXPECT_EQ(g_Param.byImage, image) << kEqShortNames[eq] << "\n" << text;
    }
}
