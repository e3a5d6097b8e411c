// The settings schema: every row reads, formats, parses and writes in the window's units, refuses
// what the window's control cannot take, and sends what the window's model operation sends.
#include "TestSupport.h"

#include "model/Compound.h"
#include "model/Compressor.h"
#include "model/Schema.h"
#include "model/Setters.h"

#include <functional>
#include <set>

namespace {

class SchemaTest : public StoreTest {};

const Setting& Row(const char* name) {
    const Setting* s = FindSetting(name);
    EXPECT_NE(s, nullptr) << name;
    static const Setting kNone;
    return s ? *s : kNone;
}

// What `edit` sends on a fresh store.
std::vector<Report> SentBy(CRecordingLink& link, const std::function<void()>& edit) {
    FreshStore();
    link.Clear();
    edit();
    return link.Reports();
}

} // namespace

TEST_F(SchemaTest, NamesAreUniqueAndCoverEveryUsedSlot) {
    std::set<std::string> names;
    for (const Setting& s : Settings()) {
        EXPECT_TRUE(names.insert(s.strName).second) << s.strName;
        EXPECT_EQ(FindSetting(s.strName), &s);
        EXPECT_LE(s.nMin, s.nMax) << s.strName;
    }
    for (int slot = 0; slot < SET_COUNT; ++slot) {
        const bool unused = slot == 6 || slot == 14;
        EXPECT_EQ(SlotSetting(slot) == nullptr, unused) << slot;
        if (!unused) {
            EXPECT_EQ(SlotSetting(slot)->strName, SlotName(slot));
        }
    }
    EXPECT_EQ(FindSetting("set_mic_level[1]"), SlotSetting(SET_MIC_LEVEL));
    EXPECT_EQ(FindSetting("SET_NOTHING"), nullptr);
    for (const char* name : {"LPF_FREQ", "MIC_BOOST_GAIN", "SURROUND_LEVEL[8]", "ROOM_WIDTH", "LISTENER_Y",
                             "SPEAKER_X[1]", "SPEAKER_Y[8]"})
        EXPECT_NE(FindSetting(name), nullptr) << name;
}

// Min, middle and max of every row that can be set: written, read back, shown and parsed from the
// text shown, all agree.
TEST_F(SchemaTest, EveryRowRoundTripsAtItsEndsAndMiddle) {
    for (const Setting& s : Settings()) {
        if (s.nLeader >= 0)
            continue;
        std::vector<int> positions = {s.nMin, (s.nMin + s.nMax) / 2, s.nMax};
        if (s.kind == SettingKind::Route)
            positions = {0, 100};
        for (int pos : positions) {
            FreshStore();
            {
                auto lock = LockStore(); // positions reach the whole room
                g_SoundField.nRoomWidth = g_SoundField.nRoomLength = 10;
            }
            const double v = ValueOfPos(s, pos);
            ASSERT_TRUE(WriteValue(s, v).bOk) << s.strName << " " << v;
            EXPECT_NEAR(ReadValue(s), v, 1e-4 * std::max(1.0, std::fabs(v))) << s.strName;
            const std::string text = FormatValue(s, ReadValue(s));
            const std::optional<double> parsed = ParseValue(s, text);
            ASSERT_TRUE(parsed.has_value()) << s.strName << " \"" << text << "\"";
            EXPECT_TRUE(CheckRange(s, *parsed).bOk) << s.strName << " \"" << text << "\"";
            if (s.kind != SettingKind::Route) {
                EXPECT_EQ(PosOfValue(s, *parsed), pos) << s.strName << " \"" << text << "\"";
            }
        }
    }
}

// Values the window's controls cannot take are refused with the row's range, and nothing is sent.
TEST_F(SchemaTest, RefusesWhatTheWindowCannotTake) {
    const struct {
        const char* name;
        double value;
        const char* why;
    } cases[] = {
        {"SET_MUSIC_PITCH", 250, "takes a whole number from -5 to 5"},
        {"SET_OUT_ROLE[1]", 9, "takes 0 to 7: 0 CH-L"},
        {"SET_HDMI_PORT", 7, "takes 0 to 3"},
        {"SET_OUT_DELAY[2]", 5000, "from 1.6 to 100 ms in steps of 0.1"},
        {"SET_OUT_DELAY[2]", 12.34, "in steps of 0.1"},
        {"SET_OUT_COMP_RATIO[1]", 500, "from 1 to 30 :1"},
        {"SET_MUSIC_COMP_ATTACK", 0, "from 1 to 100 ms"},
        {"SET_MIC_A_SHIFT", 9, "from 1 to 8 Hz (1 is off)"},
        {"SET_REVERB_A_TIME", 100, "from 40 to 5000 ms in steps of 49.6"},
        {"SET_MIC_VOLUME", 100, "from 0 to 99"},
        {"SET_MIC_ROUTE_A[1]", 50, "100 (the microphone feeds this set) or 0"},
        {"SET_OUT_MUTE[1]", 2, "takes 0 (off) or 1 (on)"},
        {"SET_MIC_BOOST_ON2", 1, "is set along with SET_MIC_BOOST_ON"},
        {"LPF_FREQ", 301, "from 20 to 300 Hz"},
        {"MIC_BOOST_GAIN", -6, "from 0 to 40 dB"},
        {"SET_MIC_LEVEL[1]", std::nan(""), "from 0 to 100"},
    };
    for (const auto& c : cases) {
        link.Clear();
        const WriteResult r = WriteValue(Row(c.name), c.value);
        EXPECT_FALSE(r.bOk) << c.name << " " << c.value;
        EXPECT_NE(r.strError.find(c.why), std::string::npos) << r.strError;
        EXPECT_EQ(r.strError.rfind(c.name, 0), 0u) << r.strError;
        EXPECT_TRUE(Sent().empty()) << c.name;
    }
    // The features dialog's low-frequency gain goes to 300 %.
    for (double v : {101.0, 250.0, 300.0})
        EXPECT_TRUE(CheckRange(Row("SET_LPF_GAIN"), v).bOk) << v;
    // A position lies inside the room as it stands: 4 m wide allows -2..2.
    float before;
    {
        auto lock = LockStore();
        g_SoundField.nRoomWidth = 4;
        before = g_SoundField.fSpeakerX[2];
    }
    link.Clear();
    EXPECT_TRUE(CheckRange(Row("SPEAKER_X[3]"), 2.5).bOk);
    const WriteResult outside = WriteValue(Row("SPEAKER_X[3]"), 2.5);
    EXPECT_EQ(outside.strError, "SPEAKER_X[3] takes -2 to 2 m in a room 4 m wide");
    EXPECT_TRUE(Sent().empty());
    auto lock = LockStore();
    EXPECT_EQ(g_SoundField.fSpeakerX[2], before);
}

// The window's units: a reverb time in ms, a gate as the slider's number, a shift of 1 Hz as Off.
TEST_F(SchemaTest, ReadsFormatsAndParsesInTheWindowsUnits) {
    const Setting& reverb = Row("SET_REVERB_B_TIME");
    ASSERT_TRUE(WriteValue(reverb, 89.6).bOk);
    EXPECT_EQ(SlotFloat(SET_REVERB_B_TIME), 1.0f); // the slot keeps the control's position
    EXPECT_DOUBLE_EQ(ReadValue(reverb), 89.6);
    EXPECT_EQ(FormatValue(reverb, 89.6), "90ms");
    EXPECT_EQ(ParseValue(reverb, "90ms"), 90.0);
    EXPECT_TRUE(CheckRange(reverb, 90).bOk); // as shown: within the text's rounding of a step
    EXPECT_FALSE(CheckRange(reverb, 90.5).bOk);

    const Setting& gate = Row("SET_MIC_GATE[2]");
    ASSERT_TRUE(WriteValue(gate, 37).bOk);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_GATE + 1], 37);
    EXPECT_EQ(FormatValue(gate, 37), "37");

    const Setting& shift = Row("SET_MIC_B_SHIFT");
    EXPECT_EQ(FormatValue(shift, 1), "Off");
    EXPECT_EQ(FormatValue(shift, 5), "5Hz");
    EXPECT_EQ(ParseValue(shift, "off"), 1.0);

    const struct {
        const char* name;
        double value;
        const char* text;
    } texts[] = {
        {"SET_OUT_COMP_RATIO[3]", 4.5, "4.5:1"},
        {"SET_OUT_DELAY[1]", 12.3, "12.3ms"},
        {"SET_MUSIC_AGC_LEVEL", -12.5, "-12.5dB"},
        {"SET_OUT_ROLE[2]", 4, "CH-SUB"},
        {"SET_MUSIC_PITCH", -3, "-3"},
        {"SET_OUT_MIX_ECHO[1]", 55, "55%"},
        {"LISTENER_X", 0, "+0.0m"},
        {"SPEAKER_Y[2]", -1.5, "-1.5m"},
        {"MIC_BOOST_GAIN", 12, "12dB"},
        {"SET_OUT_MUTE[4]", 1, "on"},
    };
    for (const auto& t : texts) {
        EXPECT_EQ(FormatValue(Row(t.name), t.value), t.text) << t.name;
        EXPECT_EQ(ParseValue(Row(t.name), t.text), t.value) << t.name;
    }
    for (const char* bad : {"", "nan", "inf", "0x10", "6e", "12 dBx", "five"})
        EXPECT_FALSE(ParseValue(Row("SET_MIC_LEVEL[1]"), bad).has_value()) << bad;
}

// A write sends exactly what the window's model operation sends.
TEST_F(SchemaTest, WritesThroughTheWindowsModelOperations) {
    const auto via = [this](const char* name, double v) {
        return SentBy(link, [name, v] { ASSERT_TRUE(WriteValue(Row(name), v).bOk) << name; });
    };
    const auto model = [this](const std::function<void()>& f) { return SentBy(link, f); };
    EXPECT_EQ(via("SET_MIC_VOLUME", 60), model([] { SetSlot(SET_MIC_VOLUME, 60); }));
    EXPECT_EQ(via("SET_ECHO_B_TIME", 4), model([] { SetEchoTime(1, 4.0f); }));
    EXPECT_EQ(via("SET_MIC_ROUTE_B[3]", 100), model([] { SetMicRoute(2, false); }));
    EXPECT_EQ(via("SET_OUT_COMP_RATIO[2]", 4.1), model([] {
                  auto v = ReadCompValues(1);
                  v.fRatio = CompValueOfPos(COMP_RATIO, 41);
                  StoreAndSendComp(1, v);
              }));
    EXPECT_EQ(via("SET_OUT_DELAY[5]", 12.3), model([] { SetSlotFloat(SET_OUT_DELAY + 4, 123 / 10.0f); }));
    EXPECT_EQ(via("SET_REVERB_A_TIME", 139.2), model([] { SetSlotFloat(SET_REVERB_A_TIME, 2.0f); }));
    EXPECT_EQ(via("SET_MIC_A_SHIFT", 5), model([] { SetMicShift(0, 5); }));
    EXPECT_EQ(via("SET_OUT_DELAY_WHOLE[2]", 1), model([] { SetDelayMode(1, 1); }));
    EXPECT_EQ(via("MIC_BOOST_GAIN", 6), model([] { SetMicBoostGain(-6.0f); }));
    EXPECT_EQ(via("MIC_BOOST_GAIN", 0), model([] { SetMicBoostGain(0.0f); }));
    EXPECT_EQ(via("LPF_FREQ", 80), model([] { SetLpfFrequency(80); }));
    EXPECT_EQ(via("SURROUND_LEVEL[3]", -4.5), model([] { SetChannelSurroundLevel(2, -4.5f); }));
    EXPECT_EQ(via("ROOM_LENGTH", 7), model([] {
                  {
                      auto lock = LockStore();
                      g_SoundField.nRoomLength = 7;
                  }
                  EncodeAndSendSoundFieldBlock();
              }));
    // A speaker moved: the block, then that speaker's level from its distance to the listener.
    EXPECT_EQ(via("SPEAKER_X[2]", 1.5), model([] {
                  float dx, dy;
                  {
                      auto lock = LockStore();
                      g_SoundField.fSpeakerX[1] = 1.5f;
                      dx = 1.5f - g_SoundField.fListenerX;
                      dy = g_SoundField.fSpeakerY[1] - g_SoundField.fListenerY;
                  }
                  EncodeAndSendSoundFieldBlock();
                  SetSurroundLevel(1, SurroundLevelAt(dx, dy));
              }));
}
