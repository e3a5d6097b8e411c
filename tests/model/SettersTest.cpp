#include "TestSupport.h"

#include "dispatch/Dispatcher.h"
#include "model/Compound.h"
#include "model/Setters.h"

#include <map>
#include <numbers>
#include <set>

namespace {

class SettersTest : public StoreTest {};

struct Sent1 {
    int block, param, count;
};

// Independent transcription of which block/parameters each single-valued slot sends.
std::map<int, std::vector<Sent1>> ExpectedTargets() {
    std::map<int, std::vector<Sent1>> m;
    m[0] = {{1, 14, 1}};
    for (int k = 0; k < 4; ++k) {
        m[1 + k] = {{1, 27 + k, 1}};
        m[9 + k] = {{1, 50 + k, 1}};
        m[19 + k] = {{1, 4 + k, 1}};
        m[23 + k] = {{1, 8 + k, 1}};
    }
    m[5] = {{1, 26, 1}};
    m[8] = {{1, 33, 1}};
    m[13] = {{1, 49, 1}};
    m[16] = {{1, 56, 1}};
    m[17] = {{1, 15, 1}};
    m[18] = {{1, 34, 1}, {1, 57, 1}};
    m[27] = {{1, 12, 1}};
    m[28] = {{1, 13, 1}};
    for (int i = 0; i < 6; ++i) {
        m[29 + i] = {{2, 7 + i, 1}};
        m[35 + i] = {{2, 20 + i, 1}};
    }
    m[41] = {{2, 26, 1}};
    m[42] = {{2, 27, 1}};
    m[43] = {{3, 7, 1}};
    m[44] = {{3, 8, 1}};
    m[45] = {{3, 9, 1}};
    m[46] = {{3, 10, 1}, {3, 11, 1}};
    m[47] = {{3, 19, 1}};
    m[48] = {{3, 20, 1}};
    m[49] = {{3, 21, 1}};
    m[50] = {{3, 22, 1}, {3, 23, 1}};
    m[51] = {{3, 24, 2}};
    m[52] = {{3, 25, 2}};
    m[53] = {{4, 12, 1}};
    m[54] = {{4, 24, 1}};
    m[55] = {{4, 26, 1}};
    m[56] = {{4, 30, 1}};
    m[57] = {{4, 25, 1}};
    m[58] = {{4, 31, 1}};
    m[59] = {{4, 32, 1}};
    m[61] = {{4, 11, 1}};
    m[62] = {{4, 21, 1}};
    m[63] = {{4, 23, 1}};
    m[64] = {{4, 22, 1}};
    for (int c = 0; c < 8; ++c) {
        const int b = c + 5;
        m[65 + c] = {{b, 20, 1}};
        m[73 + c] = {{b, 21, 1}};
        m[81 + c] = {{b, 22, 1}};
        m[89 + c] = {{b, 23, 1}};
        m[97 + c] = {{b, 16, 1}};
        m[105 + c] = {{b, 15, 1}};
        m[113 + c] = {{b, 28, 1}};
        m[153 + c] = {{b, 18, 1}};
        m[161 + c] = {{b, 19, 1}};
        m[177 + c] = {{b, 26, 1}};
        m[185 + c] = {{b, 25, 1}};
        m[199 + c] = {{b, 24, 1}};
    }
    m[193] = {{4, 16, 1}};
    m[194] = {{4, 17, 1}};
    m[195] = {{4, 33, 1}};
    m[196] = {{4, 27, 1}};
    m[197] = {{4, 28, 1}};
    m[198] = {{4, 29, 1}};
    m[207] = {{1, 37, 1}, {1, 60, 1}};
    m[209] = {{4, 36, 1}};
    m[210] = {{4, 37, 1}};
    m[215] = {{4, 15, 1}};
    return m;
}

bool IsFloatSlot(int slot) {
    static const std::set<int> kFloats = {31, 32, 37, 38, 45, 46, 49, 50, 194};
    return kFloats.count(slot) || (slot >= 153 && slot < 161) || (slot >= 121 && slot < 153) ||
           (slot >= 211 && slot <= 214);
}

TEST_F(SettersTest, EverySingleValuedSlotSendsItsBlockParameterAndCount) {
    for (const auto& [slot, targets] : ExpectedTargets()) {
        link.Clear();
        if (IsFloatSlot(slot))
            SetSlotFloat(slot, 5.0f);
        else
            SetSlot(slot, 1);
        auto sent = Sent();
        ASSERT_EQ(sent.size(), targets.size()) << SlotName(slot);
        for (size_t i = 0; i < targets.size(); ++i) {
            EXPECT_EQ(sent[i][1], CMD_SET_PARAM) << SlotName(slot);
            EXPECT_EQ(sent[i][3], targets[i].block) << SlotName(slot);
            EXPECT_EQ(sent[i][4], targets[i].param) << SlotName(slot);
            EXPECT_EQ(sent[i][5], targets[i].count) << SlotName(slot);
        }
    }
}

TEST_F(SettersTest, ValueEncodingsOfTheRows) {
    auto word = [&](int slot, int32_t v) {
        link.Clear();
        SetSlot(slot, v);
        return ValueWord(Sent().at(0), 0);
    };
    auto wordF = [&](int slot, float v) {
        link.Clear();
        SetSlotFloat(slot, v);
        return ValueWord(Sent().at(0), 0);
    };
    EXPECT_EQ(word(SET_OUT_MIX_MUSIC + 2, 50), FloatBits(0.5f));                   // pct
    EXPECT_EQ(word(SET_MIC_VOLUME, 50), FloatBits(static_cast<float>(0.5005)));    // pct+
    EXPECT_EQ(word(SET_MIC_GATE + 1, 123), FloatBits(static_cast<float>(0.0123))); // gate
    EXPECT_EQ(word(SET_OUT_ROLE + 4, 0x1203), 0x03u);                              // int: low byte only
    EXPECT_EQ(word(SET_OUT_MUTE + 1, 1), FloatBits(0.0f));                         // notf
    EXPECT_EQ(word(SET_OUT_MUTE + 1, 0), FloatBits(1.0f));
    EXPECT_EQ(wordF(SET_ECHO_A_PREDELAY, 20.0f), 960u);             // ms
    EXPECT_EQ(wordF(SET_MUSIC_AGC_LEVEL, -6.5f), FloatBits(-6.5f)); // raw
    EXPECT_EQ(wordF(SET_REVERB_B_TIME, 250.0f), FloatBits(2.5f));   // float pct
    EXPECT_EQ(word(SET_MUSIC_PITCH, -3), 2u);                       // int + 5
    EXPECT_EQ(word(SET_MUSIC_PITCH, 5), 10u);
    EXPECT_EQ(word(SET_LPF_DELAY, 10), 480u); // integer ms
    EXPECT_EQ(word(SET_OUT_PHASE + 7, 1), FloatBits(-1.0f));
    EXPECT_EQ(word(SET_OUT_PHASE + 7, 0), FloatBits(1.0f));
    EXPECT_EQ(word(SET_MIC_BOOST_ON, 1), 0u);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_BOOST_ON2], 1);
    EXPECT_EQ(word(SET_MIC_BOOST_ON, 0), 1u);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_BOOST_ON2], 0);
}

TEST_F(SettersTest, PercentDecodingIsSignSymmetric) {
    SetSlot(SET_OUT_LEVEL, 50);
    EXPECT_EQ(ValueFloat(Sent()[0], 0), 0.5f);
    HandleReport(ParamReport(MOD_OUT1, 24, {FloatBits(0.5f)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_LEVEL], 50);
    HandleReport(ParamReport(MOD_OUT1, 24, {FloatBits(-0.5f)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_LEVEL], -50);
    HandleReport(ParamReport(MOD_OUT1, 24, {FloatBits(0.499999f)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_LEVEL], 50);
    HandleReport(ParamReport(MOD_MIC, 8, {FloatBits(-0.0123f)}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_GATE], -123);
}

TEST_F(SettersTest, MinimumTimesAreClampedAndWrittenBack) {
    SetSlotFloat(SET_ECHO_A_TIME, 1.0f);
    EXPECT_EQ(ValueWord(Sent().at(0), 0), 96u);
    EXPECT_EQ(SlotFloat(SET_ECHO_A_TIME), 2.0f);
    link.Clear();
    SetSlotFloat(SET_OUT_DELAY + 3, 0.2f);
    EXPECT_EQ(ValueWord(Sent().at(0), 0), 72u);
    EXPECT_EQ(SlotFloat(SET_OUT_DELAY + 3), 1.5f);
    link.Clear();
    SetSlotFloat(SET_REVERB_A_PREDELAY, std::nanf(""));
    EXPECT_EQ(ValueWord(Sent().at(0), 0), 96u);
    link.Clear();
    SetSlotFloat(SET_OUT_DELAY, 2.51f); // above the minimum: untouched
    EXPECT_EQ(ValueWord(Sent().at(0), 0), 120u);
    EXPECT_EQ(SlotFloat(SET_OUT_DELAY), 2.51f);
}

TEST_F(SettersTest, PitchShiftBothDirections) {
    SetMicShift(0, 5);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(Bytes(sent[0], 3, 7), (std::vector<uint8_t>{1, 33, 1, 0, 0, 0, 0}));
    EXPECT_EQ(sent[1][4], 31);
    EXPECT_EQ(ValueFloat(sent[1], 0), static_cast<float>(2 * std::numbers::pi * 5 / 48000));
    EXPECT_EQ(sent[2][4], 32);
    EXPECT_EQ(ValueWord(sent[2], 0), 1200u); // (1000/20 - 25) ms at 48 kHz
    EXPECT_EQ(g_Param.nSetting[SET_MIC_A_SHIFT_OFF], 0);

    link.Clear();
    SetMicShift(1, 1);
    sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Bytes(sent[0], 3, 7), (std::vector<uint8_t>{1, 56, 1, 0, 0, 0, 1}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT_OFF], 1);

    link.Clear();
    SetMicShift(0, 40); // a negative delay goes out as a signed 32-bit count
    EXPECT_EQ(static_cast<int32_t>(ValueWord(Sent().at(2), 0)), -899);

    HandleReport(ParamReport(MOD_MIC, 54, {FloatBits(EncodeOmega(12))}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT], 12);
    HandleReport(ParamReport(MOD_MIC, 56, {0}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT_OFF], 0);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT], 12);
    HandleReport(ParamReport(MOD_MIC, 56, {1}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT_OFF], 1);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT], 1);
    HandleReport(ParamReport(MOD_MIC, 55, {12345})); // the delay is not mirrored
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT], 1);
}

TEST_F(SettersTest, MusicUnmuteFadesIn) {
    SetSlot(SET_MUSIC_MUTE, 1);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(ValueFloat(Sent()[0], 0), 0.0f);
    link.Clear();
    SetSlot(SET_MUSIC_MUTE, 0);
    auto entries = link.Entries();
    ASSERT_EQ(entries.size(), 19u);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(entries[2 * i].report[4], 13);
        EXPECT_EQ(ValueFloat(entries[2 * i].report, 0), static_cast<float>(i / 10.0));
        EXPECT_EQ(entries[2 * i + 1].nPauseMs, 30);
    }
    EXPECT_EQ(ValueFloat(entries[18].report, 0), 1.0f);
}

TEST_F(SettersTest, MicRoutesAreComplementary) {
    SetMicRoute(2, false);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_ROUTE_A + 2], 0);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_ROUTE_B + 2], 100);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][4], 29);
    EXPECT_EQ(ValueFloat(sent[0], 0), 0.0f);
    EXPECT_EQ(sent[1][4], 52);
    EXPECT_EQ(ValueFloat(sent[1], 0), 1.0f);
}

// Every slot: what was sent, reported back, gives the slot again.
TEST_F(SettersTest, EverySlotSurvivesARoundTripThroughItsReports) {
    auto valueFor = [](int slot) -> int32_t {
        const SlotEnc e = GetSlotRow(slot).enc;
        switch (e) {
        case SlotEnc::Ms:
            return static_cast<int32_t>(FloatBits(slot >= SET_OUT_DELAY ? 7.5f : 37.0f));
        case SlotEnc::Raw:
            return static_cast<int32_t>(FloatBits(-12.25f));
        case SlotEnc::FloatPct:
            return static_cast<int32_t>(FloatBits(315.0f));
        case SlotEnc::Comp:
            return 0; // set below
        case SlotEnc::IntPlus5:
            return -4;
        case SlotEnc::IntMs:
            return 23;
        case SlotEnc::Hz:
            return 7;
        case SlotEnc::Gate:
            return 4321;
        case SlotEnc::Pct:
        case SlotEnc::PctPlus:
            return 73;
        default:
            return 1;
        }
    };
    for (int slot = 0; slot < SET_COUNT; ++slot) {
        const SlotRow& row = GetSlotRow(slot);
        if (row.enc == SlotEnc::None || row.enc == SlotEnc::Comp)
            continue;
        const int32_t v = valueFor(slot);
        link.Clear();
        SetSlot(slot, v);
        const auto stored = g_Param.nSetting;
        g_Param.nSetting.fill(-77);
        for (Report r : Sent()) {
            if (r[1] != CMD_SET_PARAM)
                continue;
            r[1] = CMD_GET_PARAM;
            HandleReport(r);
        }
        EXPECT_EQ(g_Param.nSetting[slot], stored[slot]) << SlotName(slot);
        g_Param.nSetting = stored;
    }
}

TEST_F(SettersTest, CompressorReportsDecodeAllFourValues) {
    for (int c : {0, 7}) {
        SetSlotFloat(SET_OUT_COMP_THRESHOLD + c, -18.5f);
        SetSlotFloat(SET_OUT_COMP_RATIO + c, 4.0f);
        SetSlotFloat(SET_OUT_COMP_ATTACK + c, 1.0f);
        link.Clear();
        SetSlotFloat(SET_OUT_COMP_RELEASE + c, 250.0f);
        Report r = Sent().at(0);
        EXPECT_EQ(r[3], 5 + c);
        EXPECT_EQ(r[4], 27);
        EXPECT_EQ(r[5], 7);
        for (int s : {SET_OUT_COMP_THRESHOLD, SET_OUT_COMP_RATIO, SET_OUT_COMP_ATTACK, SET_OUT_COMP_RELEASE})
            SetSlotFloatBits(s + c, 0.0f);
        r[1] = CMD_GET_PARAM;
        HandleReport(r);
        EXPECT_EQ(SlotFloat(SET_OUT_COMP_THRESHOLD + c), -18.5f);
        EXPECT_NEAR(SlotFloat(SET_OUT_COMP_RATIO + c), 4.0f, 1e-5);
        EXPECT_NEAR(SlotFloat(SET_OUT_COMP_ATTACK + c), 1.0f, 1e-3);
        EXPECT_NEAR(SlotFloat(SET_OUT_COMP_RELEASE + c), 250.0f, 0.5);
    }
    // The music limiter decodes into slots 211..214.
    HandleReport(ParamReport(MOD_MUSIC, 14, {FloatBits(-3.0f), 0, FloatBits(0.5f), 0, 0, 0, 0}));
    EXPECT_EQ(SlotFloat(SET_MUSIC_COMP_THRESHOLD), -3.0f);
    EXPECT_NEAR(SlotFloat(SET_MUSIC_COMP_RATIO), 2.0f, 1e-6);
    // Time constants of 0 mean nothing: the old values stay.
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_COMP_ATTACK], 0);
    // A short report is not a compressor block.
    HandleReport(ParamReport(MOD_MUSIC, 14, {FloatBits(-9.0f)}));
    EXPECT_EQ(SlotFloat(SET_MUSIC_COMP_THRESHOLD), -3.0f);
}

TEST_F(SettersTest, SpecialRowsDecode) {
    HandleReport(ParamReport(MOD_OUT1 + 2, 17, {FloatBits(1.0f), FloatBits(0.0f)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_DELAY_WHOLE + 2], 1);
    HandleReport(ParamReport(MOD_OUT1 + 2, 17, {FloatBits(1.0f), FloatBits(1.0f)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_DELAY_WHOLE + 2], 0);
    HandleReport(ParamReport(MOD_OUT1 + 2, 17, {FloatBits(1.0f), FloatBits(0.9f)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_DELAY_WHOLE + 2], 1);
    HandleReport(ParamReport(MOD_OUT1 + 5, 25, {FloatBits(-1.0f)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_PHASE + 5], 1);
    HandleReport(ParamReport(MOD_OUT1 + 5, 25, {FloatBits(0.004f)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_PHASE + 5], 1);
    HandleReport(ParamReport(MOD_OUT1 + 5, 25, {FloatBits(1.0f)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_PHASE + 5], 0);
    HandleReport(ParamReport(MOD_MIC, 37, {0}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_BOOST_ON], 1);
    HandleReport(ParamReport(MOD_MIC, 37, {1}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_BOOST_ON], 0);
    HandleReport(ParamReport(MOD_MIC, 15, {FloatBits(0.004f)}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_MUTE], 1);
    HandleReport(ParamReport(MOD_MIC, 15, {FloatBits(0.006f)}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_MUTE], 0);
    HandleReport(ParamReport(MOD_MUSIC, 21, {0x000000FF}));
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_PITCH], 250);
    HandleReport(ParamReport(MOD_MUSIC, 36, {9600}));
    EXPECT_EQ(g_Param.nSetting[SET_LPF_DELAY], 200);
}

TEST_F(SettersTest, ReportsForUnknownBlocksOrParametersChangeNothing) {
    const auto before = g_Param.nSetting;
    HandleReport(ParamReport(13, 14, {FloatBits(0.5f)}));
    HandleReport(ParamReport(0, 14, {FloatBits(0.5f)}));
    HandleReport(ParamReport(MOD_MIC, 0, {FloatBits(0.5f)}));  // a coefficient, not a slot
    HandleReport(ParamReport(MOD_MIC, 60, {FloatBits(0.5f)})); // only 37 is decoded
    HandleReport(ParamReport(MOD_OUT1, 29, {FloatBits(0.5f)}));
    HandleReport(ParamReport(MOD_OUT8, 200, {FloatBits(0.5f)}));
    EXPECT_EQ(g_Param.nSetting, before);
}

TEST_F(SettersTest, SlotNames) {
    EXPECT_EQ(SlotName(0), "SET_MIC_VOLUME");
    EXPECT_EQ(SlotName(SET_OUT_MUTE + 3), "SET_OUT_MUTE[4]");
    EXPECT_EQ(SlotName(SET_MIC_GATE), "SET_MIC_GATE[1]");
    EXPECT_EQ(SlotName(215), "SET_MUSIC_COMP_BYPASS");
    std::set<std::string> names;
    for (int s = 0; s < SET_COUNT; ++s)
        names.insert(SlotName(s));
    EXPECT_EQ(names.size(), static_cast<size_t>(SET_COUNT));
}

} // namespace

namespace {

// A tool's edit of one slot sends what the window sends for it, companions included.
TEST_F(SettersTest, EditSlotSendsTheWritesTiedToTheSlot) {
    auto param = [](int block, int p, uint32_t word) { return BuildParam(block, p, word, 1); };
    struct Case {
        int slot;
        int32_t value;
        std::vector<Report> sent;
        std::vector<std::pair<int, int32_t>> after; // slots and what they hold afterwards
    };
    const auto f = [](float v) { return static_cast<int32_t>(FloatBits(v)); };
    const Case cases[] = {
        // Echo time 2..6 ms takes the reverb predelay of its set along, as the effects page does.
        {SET_ECHO_B_TIME,
         f(4),
         {param(MOD_ECHO, 23, 192), param(MOD_REVERB, 21, 1920)},
         {{SET_REVERB_B_PREDELAY, f(40)}}},
        {SET_ECHO_A_TIME,
         f(2),
         {param(MOD_ECHO, 10, 96), param(MOD_REVERB, 9, 960)},
         {{SET_REVERB_A_PREDELAY, f(20)}}},
        {SET_ECHO_A_TIME, f(7), {param(MOD_ECHO, 10, 336)}, {{SET_REVERB_A_PREDELAY, 0}}},
        {SET_ECHO_A_TIME,
         f(1),
         {param(MOD_ECHO, 10, 96)},
         {{SET_ECHO_A_TIME, f(2)}, {SET_REVERB_A_PREDELAY, 0}}},
        // A route slot moves the microphone: the other set's slot follows.
        {SET_MIC_ROUTE_B + 1,
         100,
         {param(MOD_MIC, 28, FloatBits(0)), param(MOD_MIC, 51, FloatBits(1))},
         {{SET_MIC_ROUTE_A + 1, 0}, {SET_MIC_ROUTE_B + 1, 100}}},
        // The shift frequency sets its switch.
        {SET_MIC_A_SHIFT, 1, {param(MOD_MIC, 33, 1)}, {{SET_MIC_A_SHIFT_OFF, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(SlotName(c.slot));
        FreshStore();
        g_Param.nSetting[SET_REVERB_A_PREDELAY] = 0;
        g_Param.nSetting[SET_MIC_ROUTE_A + 1] = 100;
        link.Clear();
        EditSlot(c.slot, c.value);
        EXPECT_EQ(Sent(), c.sent);
        for (auto [slot, value] : c.after)
            EXPECT_EQ(g_Param.nSetting[slot], value) << SlotName(slot);
    }
    EXPECT_EQ(LeaderSlot(SET_MIC_B_SHIFT_OFF), SET_MIC_B_SHIFT);
    EXPECT_EQ(LeaderSlot(SET_MIC_BOOST_ON2), SET_MIC_BOOST_ON);
    EXPECT_EQ(LeaderSlot(SET_ECHO_A_TIME), -1);
}

} // namespace
