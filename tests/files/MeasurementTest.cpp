// Measured responses as they are exported and published, and the files that must be refused with the
// line that is wrong.
#include "files/Measurement.h"

#include <gtest/gtest.h>

#include <string>

TEST(Measurement, ReadsTheCommonForms) {
    struct Case {
        const char* szWhat;
        std::string text;
        std::vector<double> hz, db;
        const char* szColumn;
    };
    const Case cases[] = {
        {"measurement program text export: * comments, frequency, SPL, phase",
         "* Measurement data\n* Freq(Hz) SPL(dB) Phase(degrees)\n20.000 72.5 -45.2\n20.291 72.7 -44.0\n25 "
         "73.125 -40\n",
         {20, 20.291, 25},
         {72.5, 72.7, 73.125},
         ""},
        {".frd with # comments, tabs, no phase, CRLF, a byte-order mark",
         "\xEF\xBB\xBF# driver response\r\n10\t80.5\r\n\r\n100\t85\r\n1e3\t+86.25\r\n",
         {10, 100, 1000},
         {80.5, 85, 86.25},
         ""},
        {"CSV with a header: the raw column, empty fields kept in place",
         "frequency,raw,error,smoothed\n20.0,-1.5,,0.2\n21.0,-1.25,0.1,0.3\n",
         {20, 21},
         {-1.5, -1.25},
         "raw"},
        {"CSV header naming SPL second and phase first",
         "Phase, Freq(Hz), SPL(dB)\n10, 30, 70\n11, 40, 71\n",
         {30, 40},
         {70, 71},
         "spl(db)"},
        {"a header without a known level name: the column after the frequency",
         "Hz Level_left Level_right\n50 60 61\n60 62 63\n",
         {50, 60},
         {60, 62},
         "level_left"},
    };
    for (const Case& c : cases) {
        const MeasurementResult r = ParseMeasurement(c.text);
        ASSERT_TRUE(r.bOk) << c.szWhat << ": " << FormatFilterNote(r.error);
        EXPECT_EQ(r.response.hz, c.hz) << c.szWhat;
        EXPECT_EQ(r.response.db, c.db) << c.szWhat;
        EXPECT_EQ(r.strColumn, c.szColumn) << c.szWhat;
    }
}

TEST(Measurement, RefusesBadFilesNamingTheLine) {
    struct Case {
        const char* szWhat;
        std::string text;
        int nLine;
        const char* szSays;
    };
    const Case cases[] = {
        {"garbled line", "* x\n20 70\n30 7O\n40 71\n", 3, "\"7O\" is not a level"},
        {"text in the frequency", "20 70\nthirty 71\n", 2, "\"thirty\" is not a frequency"},
        {"missing level", "20 70\n30\n", 2, "expected a frequency and a level"},
        {"decreasing frequencies", "20 70\n30 71\n25 72\n", 3, "does not increase (line 2 has 30 Hz)"},
        {"a repeated frequency", "20 70\n20 71\n", 2, "does not increase"},
        {"zero hertz", "0 70\n20 71\n", 1, "not above 0 Hz"},
        {"an absurd level", "20 70\n30 1e300\n", 2, "beyond +-1000 dB"},
        {"infinite level", "20 70\n30 -inf\n", 2, "is not a level"},
        {"one point", "# only\n\n20 70\n", 3, "only one measured point"},
        {"empty", "", 0, "no measured points"},
        {"comments only", "* a\n# b\n\n", 0, "no measured points"},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), 2, "not a text file"},
        {"UTF-16",
         std::string("\xFF\xFE"
                     "2\0"
                     "0\0",
                     6),
         0, "UTF-16"},
        {"a header after the data", "20 70\nfreq spl\n", 2, "is not a frequency"},
    };
    for (const Case& c : cases) {
        const MeasurementResult r = ParseMeasurement(c.text);
        EXPECT_FALSE(r.bOk) << c.szWhat;
        EXPECT_EQ(r.error.nLine, c.nLine) << c.szWhat << ": " << r.error.strText;
        EXPECT_NE(r.error.strText.find(c.szSays), std::string::npos) << c.szWhat << ": " << r.error.strText;
        EXPECT_TRUE(r.response.hz.empty()) << c.szWhat;
    }
}
