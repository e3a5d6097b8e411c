#include "TestSupport.h"

#include "dsp/FilterResponse.h"
#include "files/FilterText.h"

#include <complex>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A measurement program's export for one channel, written by hand in its syntax: header lines, a
// notes block, ten PK filters (three outside the band limits) and the unused slots as OFF lines.
constexpr const char* kMeasuredLeft = R"(Filter Settings file

Measurement V5.31.3
Dated: 14-Feb-2025 10:12:44

Notes:Living room, left speaker, 9 positions averaged

Equaliser: Generic
Average 9
Filter  1: ON  PK       Fc   27.50 Hz  Gain   8.20 dB  Q  4.100
Filter  2: ON  PK       Fc   41.20 Hz  Gain  -7.30 dB  Q  5.123
Filter  3: ON  PK       Fc   55.8 Hz   Gain -11.60 dB  Q  9.870
Filter  4: ON  PK       Fc   68.00 Hz  Gain  -4.00 dB  Q  3.500
Filter  5: ON  PK       Fc   94.30 Hz  Gain  -6.40 dB  Q  7.200
Filter  6: ON  PK       Fc   123.0 Hz  Gain -16.50 dB  Q  12.00
Filter  7: ON  PK       Fc   187.6 Hz  Gain  -3.10 dB  Q  2.450
Filter  8: ON  PK       Fc   15.00 Hz  Gain   2.00 dB  Q  1.000
Filter  9: ON  PK       Fc   412.0 Hz  Gain  -2.20 dB  Q  38.00
Filter 10: ON  PK       Fc   1250 Hz   Gain  -1.50 dB  Q  1.800
Filter 11: OFF None
Filter 12: OFF None
Filter 13: OFF None
Filter 14: OFF None
Filter 15: OFF None
)";

EqBandSetting Band(int type, float gain, float freq, float q, int line = 0) {
    EqBandSetting b;
    b.nType = type;
    b.fGain = gain;
    b.fFreq = freq;
    b.fQ = q;
    b.nLine = line;
    return b;
}

void ExpectBand(const EqBandSetting& b, int type, float gain, float freq, float q, int line) {
    EXPECT_EQ(b.nType, type) << "line " << line;
    EXPECT_FLOAT_EQ(b.fGain, gain) << "line " << line;
    EXPECT_FLOAT_EQ(b.fFreq, freq) << "line " << line;
    EXPECT_FLOAT_EQ(b.fQ, q) << "line " << line;
    EXPECT_EQ(b.nLine, line);
}

std::vector<std::string> Notes(const std::vector<FilterTextNote>& notes) {
    std::vector<std::string> out;
    for (const FilterTextNote& n : notes)
        out.push_back(FormatFilterNote(n));
    return out;
}

int U16At(const BandRecordBytes& r, int at) {
    return r[at] << 8 | r[at + 1];
}

FilterTextResult Parse(const std::string& text, int bands = 10) {
    return ParseFilterText(text, bands);
}

} // namespace

TEST(FilterText, MeasurementExportImportsWithItsWarnings) {
    const FilterTextResult r = Parse(kMeasuredLeft);
    ASSERT_TRUE(r.bOk) << FormatFilterNote(r.error);
    EXPECT_EQ(r.nFilters, 15);
    ASSERT_EQ(r.bands.size(), 10u);
    ExpectBand(r.bands[0], EQ_PEQ, 8.2f, 27.5f, 4.1f, 10);
    ExpectBand(r.bands[2], EQ_PEQ, -11.6f, 55.8f, 9.87f, 12);
    ExpectBand(r.bands[5], EQ_PEQ, -15.0f, 123.0f, 12.0f, 15);
    ExpectBand(r.bands[7], EQ_PEQ, 2.0f, 20.0f, 1.0f, 17);
    ExpectBand(r.bands[8], EQ_PEQ, -2.2f, 412.0f, 30.0f, 18);
    ExpectBand(r.bands[9], EQ_PEQ, -1.5f, 1250.0f, 1.8f, 19);
    EXPECT_EQ(Notes(r.warnings),
              (std::vector<std::string>{
                  "line 15: Gain -16.5 dB is outside -15.0 dB to 15.0 dB; held to -15.0 dB",
                  "line 17: Fc 15 Hz is outside 20 Hz to 20000 Hz; held to 20 Hz",
                  "line 18: Q 38 is outside 0.100 to 30.000; held to 30.000",
                  "line 20: filter 11 is off and past the equaliser's 10 bands; read past",
                  "line 21: filter 12 is off and past the equaliser's 10 bands; read past",
                  "line 22: filter 13 is off and past the equaliser's 10 bands; read past",
                  "line 23: filter 14 is off and past the equaliser's 10 bands; read past",
                  "line 24: filter 15 is off and past the equaliser's 10 bands; read past",
              }));
}

TEST(FilterText, TypesUnnumberedFormSpacingAndCase) {
    const FilterTextResult r = Parse("Preamp: -6.5 dB\n"
                                     "# a comment\n"
                                     "Filter: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\n"
                                     "filter:on peq fc 100hz gain +1.5db q 2\n"
                                     "  Filter 3 :\tON   LS   Fc 80 Hz Gain 3 dB Q 0.8   \r\n"
                                     "Filter 4: ON LSC Fc 90 Hz Gain -2 dB\n"
                                     "FILTER 5: ON HS Fc 8000 Hz Gain 2.5 dB Q 0.9\n"
                                     "Filter 6: ON HSC Fc 9000 Hz Gain -1.5 dB Q 1.1 # inline comment\n"
                                     "Filter 7: ON LP Fc 18000 Hz\n"
                                     "Filter 8: ON LPQ Fc 17000 Hz Q 0.5\n"
                                     "Filter 9: ON HP Fc 25 Hz Q 1.2\n"
                                     "Filter 10: ON HPQ Fc 2kHz Q 0.6\n");
    ASSERT_TRUE(r.bOk) << FormatFilterNote(r.error);
    EXPECT_TRUE(r.warnings.empty()) << Notes(r.warnings).front();
    ExpectBand(r.bands[0], EQ_PEQ, -5.0f, 63, 4.0f, 3);
    ExpectBand(r.bands[1], EQ_PEQ, 1.5f, 100, 2.0f, 4);
    ExpectBand(r.bands[2], EQ_LS, 3.0f, 80, 0.8f, 5);
    ExpectBand(r.bands[3], EQ_LS, -2.0f, 90, 0.707f, 6); // no Q: the usual 0.707
    ExpectBand(r.bands[4], EQ_HS, 2.5f, 8000, 0.9f, 7);
    ExpectBand(r.bands[5], EQ_HS, -1.5f, 9000, 1.1f, 8);
    ExpectBand(r.bands[6], EQ_LP, 0, 18000, 0.707f, 9);
    ExpectBand(r.bands[7], EQ_LP, 0, 17000, 0.5f, 10);
    ExpectBand(r.bands[8], EQ_HP, 0, 25, 1.2f, 11);
    ExpectBand(r.bands[9], EQ_HP, 0, 2000, 0.6f, 12);
}

TEST(FilterText, OffFiltersAndBandsAfterTheLast) {
    const FilterTextResult r = Parse("Filter 1: OFF None\n"
                                     "Filter 2: OFF PK Fc 300 Hz Gain -4 dB Q 6\n"
                                     "Filter 3: ON None\n"
                                     "Filter 4: OFF BP Fc 500 Hz Q 2\n"
                                     "Filter 5: ON PK Fc 1000 Hz Gain 1 dB Q 1\n",
                                     7);
    ASSERT_TRUE(r.bOk) << FormatFilterNote(r.error);
    ASSERT_EQ(r.bands.size(), 7u);
    ExpectBand(r.bands[0], EQ_OFF, 0, 0, 0, 1);    // keeps the band's gain, frequency and Q
    ExpectBand(r.bands[1], EQ_OFF, -4, 300, 6, 2); // off at the filter's gain, frequency and Q
    ExpectBand(r.bands[2], EQ_OFF, 0, 0, 0, 3);    // "ON None" is an unused slot
    ExpectBand(r.bands[3], EQ_OFF, 0, 500, 2, 4);  // an off filter of a type we do not make is only off
    ExpectBand(r.bands[4], EQ_PEQ, 1, 1000, 1, 5);
    ExpectBand(r.bands[5], EQ_OFF, 0, 0, 0, 0);
    ExpectBand(r.bands[6], EQ_OFF, 0, 0, 0, 0);
    // Only an off line without a gain keeps the band's; bands after the last filter get gain 0.
    const bool keeps[7] = {true, false, true, true, false, false, false};
    for (int b = 0; b < 7; ++b)
        EXPECT_EQ(r.bands[b].bKeepGain, keeps[b]) << "band " << b + 1;
}

TEST(FilterText, HeldValuesNameTheirLine) {
    const FilterTextResult r = Parse("Filter 1: ON PK Fc 30000 Hz Gain 20 dB Q 0.05\n"
                                     "Filter 2: ON LS Fc 100 Hz Gain -3 dB Q 5\n"
                                     "Filter 3: ON LP Fc 100 Hz Gain 6 dB Q 0.7\n"
                                     "Filter 7: ON PK Fc 100 Hz Gain 1 dB Q 1\n");
    ASSERT_TRUE(r.bOk);
    ExpectBand(r.bands[0], EQ_PEQ, 15, 20000, 0.1f, 1);
    ExpectBand(r.bands[1], EQ_LS, -3, 100, 2, 2); // shelves hold Q to 2, as the band editor does
    ExpectBand(r.bands[2], EQ_LP, 0, 100, 0.7f, 3);
    ExpectBand(r.bands[3], EQ_PEQ, 1, 100, 1, 4); // goes by its place, not its number
    EXPECT_EQ(Notes(r.warnings), (std::vector<std::string>{
                                     "line 1: Gain 20 dB is outside -15.0 dB to 15.0 dB; held to 15.0 dB",
                                     "line 1: Fc 30000 Hz is outside 20 Hz to 20000 Hz; held to 20000 Hz",
                                     "line 1: Q 0.05 is outside 0.100 to 30.000; held to 0.100",
                                     "line 2: Q 5 is outside 0.100 to 2.000; held to 2.000",
                                     "line 3: LP has no gain; Gain 6 dB is read past",
                                     "line 4: numbered 7, but it is filter 4 and sets band 4",
                                 }));
}

TEST(FilterText, BandwidthInOctavesAndDecimalCommas) {
    const FilterTextResult r = Parse("Filter 1: ON PK Fc 100 Hz Gain -3 dB BW Oct 1\n"
                                     "Filter 2: ON PK Fc 63,5 Hz Gain -2,5 dB Q 4,250\n");
    ASSERT_TRUE(r.bOk) << FormatFilterNote(r.error);
    EXPECT_NEAR(r.bands[0].fQ, 1.41421, 1e-5); // one octave
    ExpectBand(r.bands[1], EQ_PEQ, -2.5f, 63.5f, 4.25f, 2);
}

TEST(FilterText, FormsMeasurementProgramsWrite) {
    // Each line alone as filter 1: the band it gives (Q as its record code) and its warnings.
    struct Case {
        const char* line;
        int nType;
        float fGain, fFreq;
        int nQCode;
        const char* warning; // "" for none
    };
    const Case cases[] = {
        {"ON PK Fc 100 Hz Gain -3 dB BW/60 60", EQ_PEQ, -3, 100, 707, ""}, // fc·60/60·√2 Hz wide
        {"ON PK Fc 100 Hz Gain -3 dB BW/60 12", EQ_PEQ, -3, 100, 3536, ""},
        {"ON PK Fc 100 Hz Gain -3 dB BW/60 1", EQ_PEQ, -3, 100, 30000,
         "Q 42.4264 is outside 0.100 to 30.000; held to 30.000"},
        {"ON PK Fc 100 Hz Gain -3 dB BW Oct 0.5", EQ_PEQ, -3, 100, 2871, ""},
        {"ON PK Fc 100 Hz Gain -3 dB BW 2", EQ_PEQ, -3, 100, 667, ""},
        {"ON LS 6dB Fc 80 Hz Gain 12 dB", EQ_LS, 12, 80, 472, ""}, // 1 / (√A + 1/√A)
        {"ON LS 6 dB Fc 80 Hz Gain -6 dB", EQ_LS, -6, 80, 493, ""},
        {"ON HS 6dB Fc 8000 Hz Gain 20 dB", EQ_HS, 15, 8000, 457,
         "Gain 20 dB is outside -15.0 dB to 15.0 dB; held to 15.0 dB"}, // the slope of the held gain
        {"ON LS 12dB Fc 80 Hz Gain 4 dB", EQ_LS, 4, 80, 707, ""},
        {"ON HS 12dB Fc 8000 Hz Gain -4 dB Q 2", EQ_HS, -4, 8000, 707,
         "HS 12dB has the Q of its slope; the Q given is read past"},
        {"ON LSQ Fc 90 Hz Gain 2 dB Q 0.9", EQ_LS, 2, 90, 900, ""},
        {"ON HSQ Fc 9000 Hz Gain -2 dB Q 1.25", EQ_HS, -2, 9000, 1250, ""},
        {"ON PK Fc 100 Hz Gain 1 dB Q 0.1", EQ_PEQ, 1, 100, 100, ""},    // the limit itself
        {"ON PK Fc 100 Hz Gain 1 dB Q 0.0996", EQ_PEQ, 1, 100, 100, ""}, // lands on the limit's code
        {"ON PK Fc 100 Hz Gain 1 dB Q 0.0994", EQ_PEQ, 1, 100, 100,
         "Q 0.0994 is outside 0.100 to 30.000; held to 0.100"},
        {"ON LSC Fc 100 Hz Gain 1 dB Q 2.0004", EQ_LS, 1, 100, 2000, ""},
        {"ON PK Fc 100 Hz Gain 1 dB Q 0.251", EQ_PEQ, 1, 100, 251, ""},
        {"OFF PK Fc 700 Hz Gain 3.5 dB Q 2.345", EQ_OFF, 3.5f, 700, 2345, ""},
    };
    for (const Case& c : cases) {
        const FilterTextResult r = Parse(std::string("Filter 1: ") + c.line + "\n");
        ASSERT_TRUE(r.bOk) << c.line << ": " << FormatFilterNote(r.error);
        const EqBandSetting& b = r.bands[0];
        EXPECT_EQ(b.nType, c.nType) << c.line;
        EXPECT_FLOAT_EQ(b.fGain, c.fGain) << c.line;
        EXPECT_FLOAT_EQ(b.fFreq, c.fFreq) << c.line;
        EXPECT_EQ(EncodeBandQ(b.fQ), c.nQCode) << c.line;
        EXPECT_TRUE(b.fQ >= kBandQMin && b.fQ <= kBandQMaxPeq)
            << c.line << ": " << b.fQ; // as the editor holds it
        EXPECT_EQ(Notes(r.warnings), c.warning[0]
                                         ? std::vector<std::string>{std::string("line 1: ") + c.warning}
                                         : std::vector<std::string>{})
            << c.line;
    }
    // Refused, with the line.
    const std::pair<const char*, const char*> refused[] = {
        {"ON LS 9dB Fc 80 Hz Gain 3 dB", "line 2: LS 9dB: the processor's shelves make LS 6dB and LS 12dB "
                                         "slopes, or a shelf with a Q (LSC, LSQ)"},
        {"ON LSC 6dB Fc 80 Hz Gain 3 dB", "line 2: \"6\" is not Fc, Gain, Q, BW Oct or BW/60"},
        {"ON PK Fc 100 Hz Gain 1 dB BW/60 0", "line 2: a bandwidth of BW/60 0 cannot be made"},
        {"ON PK Fc 100 Hz Gain 1 dB BW/60 wide", "line 2: \"wide\" after BW/60 is not a number"},
        {"ON PK Fc 100 Hz Gain 1 dB Q 1 BW/60 30", "line 2: Q or BW is given twice"},
        {"ON PK Fc 100 Hz Gain 1 dB BW Oct 11", "line 2: a bandwidth of BW Oct 11 cannot be made"},
    };
    for (const auto& [line, error] : refused) {
        const FilterTextResult r =
            Parse(std::string("Filter 1: ON PK Fc 50 Hz Gain 1 dB Q 1\nFilter 2: ") + line);
        EXPECT_FALSE(r.bOk) << line;
        EXPECT_EQ(FormatFilterNote(r.error), error);
    }
}

TEST(FilterText, SixDbShelvesAreFirstOrderAndTwelveDbShelvesAreNot) {
    // At the Q of a 6 dB slope the shelf's numerator and denominator share a root: the section is the
    // first-order shelf. The distance from the nearest zero to the nearest pole tells.
    auto cancelled = [](const BiquadCoeffs& c) {
        auto roots = [](double a, double b, double k) {
            const std::complex<double> d = std::sqrt(std::complex<double>(b * b - 4 * a * k));
            return std::array{(-b + d) / (2 * a), (-b - d) / (2 * a)};
        };
        double nearest = 1e9;
        for (const std::complex<double>& z : roots(c.b0, c.b1, c.b2))
            for (const std::complex<double>& p : roots(1, c.a1, c.a2))
                nearest = std::min(nearest, std::abs(z - p));
        return nearest;
    };
    for (const char* type : {"LS", "HS"}) {
        for (int gain : {-15, -6, 3, 12}) {
            const std::string tail = " Fc 500 Hz Gain " + std::to_string(gain) + " dB\n";
            const FilterTextResult six = Parse(std::string("Filter 1: ON ") + type + " 6dB" + tail);
            const FilterTextResult twelve = Parse(std::string("Filter 1: ON ") + type + " 12dB" + tail);
            ASSERT_TRUE(six.bOk && twelve.bOk);
            const EqBandSetting& a = six.bands[0];
            const EqBandSetting& b = twelve.bands[0];
            EXPECT_LT(cancelled(CalcBiquad(a.nType, a.fGain, a.fFreq, a.fQ)), 1e-6) << type << gain;
            EXPECT_GT(cancelled(CalcBiquad(b.nType, b.fGain, b.fFreq, b.fQ)), 5e-3) << type << gain;
        }
    }
}

TEST(FilterText, AnImportNamesThePreampWithWhatToDo) {
    const FilterTextResult r = Parse("Preamp: -4.5 dB\nFilter 1: ON PK Fc 63 Hz Gain 20 dB Q 4\n");
    const std::string need = "line 1: Preamp -4.5 dB: the filters raise the signal by up to 4.5 dB and need "
                             "that much headroom, which the import does not make by itself; ";
    const std::string held = "line 2: Gain 20 dB is outside -15.0 dB to 15.0 dB; held to 15.0 dB";
    EXPECT_EQ(
        Notes(ImportNotes(r, EqFromShortName("music"))),
        (std::vector<std::string>{held, need + "this equaliser has no level of its own: lower what feeds "
                                               "it by 4.5 dB"}));
    EXPECT_EQ(
        Notes(ImportNotes(r, EqFromShortName("out2"))),
        (std::vector<std::string>{held, need + "lower the channel's level SET_OUT_LEVEL[2] by 4.5 dB (the "
                                               "level slider of the sound-field page)"}));
    EXPECT_EQ(Notes(ImportNotes(Parse("Preamp: 2 dB\nFilter 1: ON PK Fc 63 Hz Gain -2 dB Q 4\n"), 7)),
              (std::vector<std::string>{"line 1: Preamp +2.0 dB: the filters need no headroom"}));
    EXPECT_TRUE(ImportNotes(Parse("Filter 1: ON PK Fc 63 Hz Gain -2 dB Q 4\n"), 7).empty());
}

TEST(FilterText, PreampLinesAddUpWithTheirLine) {
    const FilterTextResult r =
        Parse("Preamp: -5.5 dB\nFilter 1: ON PK Fc 63 Hz Gain 5 dB Q 4\nPreamp: -1dB\n");
    ASSERT_TRUE(r.bOk) << FormatFilterNote(r.error);
    EXPECT_DOUBLE_EQ(r.fPreampDb, -6.5);
    EXPECT_EQ(r.nPreampLine, 3);
    EXPECT_TRUE(r.warnings.empty());
    const FilterTextResult none = Parse("Filter 1: ON PK Fc 63 Hz Gain 5 dB Q 4\n");
    EXPECT_EQ(none.nPreampLine, 0);
    EXPECT_EQ(none.fPreampDb, 0);
    for (const char* bad : {"Preamp: loud", "Preamp:", "Preamp: -3 dB please", "Preamp: -3 Hz"}) {
        const FilterTextResult r2 = Parse(std::string("Filter 1: ON PK Fc 63 Hz Gain 5 dB Q 4\n") + bad);
        EXPECT_FALSE(r2.bOk) << bad;
        EXPECT_EQ(FormatFilterNote(r2.error),
                  "line 2: a Preamp line takes a gain in dB, such as \"Preamp: -5.5 dB\"");
    }
}

TEST(FilterText, ErrorsNameTheirLineAndGiveNoBands) {
    const auto kCannotMake = [](const std::string& type) {
        return "line 4: the processor cannot make " + type +
               " filters; it makes PK (PEQ), LS (LSC, LSQ, LS 6dB, LS 12dB), HS (HSC, HSQ, HS 6dB, HS 12dB), "
               "LP (LPQ) and HP (HPQ)";
    };
    const std::string head = "Filter Settings file\n\nFilter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\n";
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {head + "Filter 2: ON BP Fc 100 Hz Q 2\n", kCannotMake("BP")},
        {head + "Filter 2: ON NO Fc 100 Hz\n", kCannotMake("NO")},
        {head + "Filter 2: ON AP Fc 100 Hz Q 1\n", kCannotMake("AP")},
        {head + "Filter 2: ON PK Fc 100 Hz Gain -5.0x dB Q 2\n",
         "line 4: \"-5.0x\" after Gain is not a number"},
        {head + "Filter 2: ON PK Fc 1O0 Hz Gain -5 dB Q 2\n", "line 4: \"1O0\" after Fc is not a number"},
        {head + "Filter 2: ON PK Fc nan Hz Gain -5 dB Q 2\n", "line 4: \"nan\" after Fc is not a number"},
        {head + "Filter 2: ON PK Fc 0x10 Hz Gain -5 dB Q 2\n", "line 4: \"0x10\" after Fc is not a number"},
        {head + "Filter 2: ON PK Fc 100 Hz Gain -5 dB\n", "line 4: PK needs Q (or BW Oct, BW/60)"},
        {head + "Filter 2: ON PK Fc 100 Hz Q 2\n", "line 4: PK needs Gain"},
        {head + "Filter 2: ON LS Gain 2 dB Q 2\n", "line 4: LS needs Fc"},
        {head + "Filter 2: ON PK Fc 100 Hz Gain -5 dB Q\n", "line 4: Q needs a number"},
        {head + "Filter 2: ON PK Fc 100 Hz Fc 200 Hz Gain 1 dB Q 1\n", "line 4: Fc is given twice"},
        {head + "Filter 2: ON PK Fc 100 Hz Gain 1 dB Q 1 Slope 3\n",
         "line 4: \"Slope\" is not Fc, Gain, Q, BW Oct or BW/60"},
        {head + "Filter 2: MAYBE PK Fc 100 Hz\n", "line 4: expected ON or OFF, found \"MAYBE\""},
        {head + "Filter 2:\n", "line 4: nothing after the colon; expected ON or OFF and a filter"},
        {head + "Filter 2: ON\n", "line 4: ON needs a filter type"},
        {head + "Filter 2: ON 100 Hz\n", "line 4: \"100\" is not a filter type"},
        {head + "Filter 2 ON PK Fc 100 Hz Gain 1 dB Q 1\n",
         "line 4: a filter line needs a colon after \"Filter\" and its number"},
        {head + "Channel: R\nFilter 2: ON PK Fc 100 Hz Gain 1 dB Q 1\n",
         "line 4: not a filter line (expected \"Filter N: ON PK Fc ... Hz Gain ... dB Q ...\")"},
        {"Filter Settings file\nNotes: nothing measured\n",
         "no filter lines (such as \"Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\")"},
        {"", "no filter lines (such as \"Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\")"},
        {head + std::string("Filter 2: ON PK Fc 1\0 Hz", 24) + "\n", "line 4: this is not a text file"},
    };
    for (const Case& c : cases) {
        const FilterTextResult r = Parse(c.text);
        EXPECT_FALSE(r.bOk) << c.text;
        EXPECT_TRUE(r.bands.empty()) << c.text;
        EXPECT_EQ(FormatFilterNote(r.error), c.error) << c.text;
    }
}

TEST(FilterText, MoreFiltersThanBands) {
    std::string eleven, eight;
    for (int i = 1; i <= 11; ++i) {
        const std::string line =
            "Filter " + std::to_string(i) + ": ON PK Fc " + std::to_string(100 * i) + " Hz Gain -1 dB Q 2\n";
        eleven += line;
        if (i <= 8)
            eight += line;
    }
    const FilterTextResult music = Parse(eleven, 10);
    EXPECT_FALSE(music.bOk);
    EXPECT_EQ(FormatFilterNote(music.error),
              "line 11: filter 11 is one too many: the equaliser has 10 bands");
    const FilterTextResult echo = Parse(eight, 7);
    EXPECT_FALSE(echo.bOk);
    EXPECT_EQ(FormatFilterNote(echo.error), "line 8: filter 8 is one too many: the equaliser has 7 bands");
    EXPECT_TRUE(Parse(eight, 10).bOk);
    EXPECT_FALSE(Parse(eleven, 0).bOk);
}

TEST(FilterText, ByteOrderMarksAndUtf16) {
    const std::string ascii =
        "Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\r\nFilter 2: ON HS Fc 5000 Hz Gain 2 dB\r\n";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (char c : "# r\xC3\xA9sum\xC3\xA9\n" + ascii) {
        le += c, le += '\0';
        be += '\0', be += c;
    }
    for (const std::string& text : {"\xEF\xBB\xBF" + ascii, le, be}) {
        const FilterTextResult r = Parse(text);
        ASSERT_TRUE(r.bOk) << FormatFilterNote(r.error);
        ExpectBand(r.bands[0], EQ_PEQ, -5, 63, 4, text == le || text == be ? 2 : 1);
        EXPECT_EQ(r.bands[1].nType, EQ_HS);
    }
}

TEST(FilterText, WriterFormatsEveryKindOfBand) {
    std::vector<EqBandSetting> bands = {
        Band(EQ_PEQ, -5.0f, 63.0f, 4.0f),
        Band(EQ_LS, 3.0f, 80.0f, 0.707f),
        Band(EQ_HS, -2.5f, 8000, 0.9f),
        Band(EQ_LP, 0, 18000, 0.7f),
        Band(EQ_HP, 0, 25, 1.2f),
        Band(EQ_OFF, 0, 500, 1.414f),
        Band(EQ_PEQ, -0.04f, 1234.0f, 1.41f),
        Band(EQ_OFF, 0, 2000, 1.414f),
        Band(EQ_OFF, 3.5f, 0, 1.414f), // an erased frequency: the text cannot hold it
    };
    bands[7].strSpecial = "section code 18";
    bands.push_back(Band(EQ_LP, 0, 80, 0.707f));
    bands.back().strSpecial = "crossover Butterworth 24dB low-pass";
    EXPECT_EQ(
        WriteFilterText(bands, "Music EQ (music)"),
        "# Music EQ (music)\n"
        "Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\n"
        "Filter 2: ON LSC Fc 80 Hz Gain 3.0 dB Q 0.707\n"
        "Filter 3: ON HSC Fc 8000 Hz Gain -2.5 dB Q 0.900\n"
        "Filter 4: ON LPQ Fc 18000 Hz Q 0.700\n"
        "Filter 5: ON HPQ Fc 25 Hz Q 1.200\n"
        "Filter 6: OFF PK Fc 500 Hz Gain 0.0 dB Q 1.414\n"
        "Filter 7: ON PK Fc 1234 Hz Gain 0.0 dB Q 1.410\n"
        "# Filter 8: section code 18, Fc 2000 Hz, Q 1.414: no filter line can say this\n"
        "Filter 8: OFF None\n"
        "Filter 9: OFF None\n"
        "# Filter 10: crossover Butterworth 24dB low-pass, Fc 80 Hz, Q 0.707: no filter line can say this\n");
    // The writer's text reads back to the same bands; the last special band is only a comment.
    const FilterTextResult r = Parse(WriteFilterText(bands, "x"), 10);
    ASSERT_TRUE(r.bOk) << FormatFilterNote(r.error);
    EXPECT_EQ(r.nFilters, 9);
    for (int b = 0; b < 7; ++b) {
        EXPECT_EQ(r.bands[b].nType, bands[b].nType);
        EXPECT_FLOAT_EQ(r.bands[b].fFreq, bands[b].fFreq);
        EXPECT_FLOAT_EQ(r.bands[b].fQ, bands[b].fQ);
        EXPECT_FALSE(r.bands[b].bKeepGain);
    }
    EXPECT_TRUE(r.bands[8].bKeepGain); // "OFF None": the band keeps what it holds
}

TEST(FilterText, EveryRecordValueSurvivesTheText) {
    // Whatever a band record holds, the text written for it reads back to the same record bytes:
    // all 301 gain steps and every Q code from 0.100 to 30.000.
    for (int code = 0; code <= 300; ++code) {
        const BandValues v = DecodeBandRecord(EncodeBandRecord(code / 10.0f - 15, 1000, 1.0f, EQ_PEQ).data());
        const std::vector<EqBandSetting> one = {Band(EQ_PEQ, v.fGain, v.fFreq, v.fQ)};
        const FilterTextResult r = Parse(WriteFilterText(one, ""));
        ASSERT_TRUE(r.bOk);
        const BandRecordBytes back =
            EncodeBandRecord(r.bands[0].fGain, r.bands[0].fFreq, r.bands[0].fQ, EQ_PEQ);
        ASSERT_EQ(U16At(back, 0), code) << WriteFilterText(one, "");
    }
    for (int code = 100; code <= 30000; ++code) {
        uint8_t rec[7] = {0, 150, 0x03, 0xE8, static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code), 1};
        const BandValues v = DecodeBandRecord(rec);
        const std::vector<EqBandSetting> one = {Band(EQ_PEQ, v.fGain, v.fFreq, v.fQ)};
        const FilterTextResult r = Parse(WriteFilterText(one, ""));
        ASSERT_TRUE(r.bOk);
        const BandRecordBytes back =
            EncodeBandRecord(r.bands[0].fGain, r.bands[0].fFreq, r.bands[0].fQ, EQ_PEQ);
        ASSERT_EQ(U16At(back, 4), code) << WriteFilterText(one, "");
    }
}

class FilterFileTest : public TempDirTest {};

TEST_F(FilterFileTest, ReadAndWriteFiles) {
    const fs::path path = dir / "left.txt";
    { std::ofstream(path) << kMeasuredLeft; }
    const FilterTextResult r = ReadFilterFile(path, 10);
    ASSERT_TRUE(r.bOk);
    EXPECT_EQ(r.nFilters, 15);

    const FilterTextResult missing = ReadFilterFile(dir / "none.txt", 10);
    EXPECT_FALSE(missing.bOk);
    EXPECT_EQ(missing.error.nLine, 0);
    EXPECT_NE(missing.error.strText.find("none.txt"), std::string::npos);
    EXPECT_FALSE(ReadFilterFile(dir, 10).bOk);

    const fs::path big = dir / "big.txt";
    {
        std::ofstream out(big);
        out << std::string(kFilterFileMaxBytes + 1, '#');
    }
    const FilterTextResult large = ReadFilterFile(big, 10);
    EXPECT_FALSE(large.bOk);
    EXPECT_NE(large.error.strText.find("larger than"), std::string::npos);

    const fs::path out = dir / "out.txt";
    ASSERT_TRUE(WriteFilterFile(out, "Filter 1: OFF None\n").bOk);
    std::ifstream in(out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Filter 1: OFF None\n");
    EXPECT_FALSE(WriteFilterFile(dir / "no" / "such" / "x.txt", "x").bOk);
}
