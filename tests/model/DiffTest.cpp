#include "TestSupport.h"

#include "model/Compound.h"
#include "model/Diff.h"
#include "model/Eq.h"
#include "model/Setters.h"

#include <algorithm>
#include <functional>
#include <set>

namespace {

class DiffTest : public StoreTest {};

std::vector<Report> Sorted(std::vector<Report> r) {
    std::sort(r.begin(), r.end());
    return r;
}

TEST_F(DiffTest, EveryUserSlotAndImageByteBelongsToExactlyOneUnit) {
    std::vector<int> slotUnits(SET_COUNT, 0), imageUnits(kImageSize, 0);
    SettingsSnapshot zero;
    for (const SettingUnit& u : SettingUnits()) {
        for (int s = 0; s < SET_COUNT; ++s) { // 1 for the integers, 50.0 for the float slots
            SettingsSnapshot one = zero, fifty = zero;
            one.nSetting[s] = 1;
            fifty.nSetting[s] = static_cast<int32_t>(FloatBits(50.0f));
            slotUnits[s] += UnitDiffers(u, zero, one) || UnitDiffers(u, zero, fifty);
        }
        for (int b = 0; b < kImageSize; ++b) {
            SettingsSnapshot one = zero;
            one.byImage[b] = 1;
            imageUnits[b] += UnitDiffers(u, zero, one);
        }
    }
    for (int s = 0; s < SET_COUNT; ++s)
        EXPECT_EQ(slotUnits[s], s == 6 || s == 14 ? 0 : 1) << SlotName(s); // 6 and 14 are unused
    for (int b = 0; b < kImageSize; ++b)
        EXPECT_EQ(imageUnits[b], 1) << "image byte " << b;
}

// Undo lays the old values back and sends them as the window's edits of those values would; redo
// sends the edit's own reports again.
TEST_F(DiffTest, UndoSendsTheOldValuesThroughTheEditsOwnOperations) {
    const int linked[] = {0, 2, 5};
    struct Case {
        const char* name;
        std::function<void()> edit;
        std::function<void(const SettingsSnapshot& old)> undoAsEdit;
    };
    auto oldBand = [](const SettingsSnapshot& old) {
        return DecodeBandRecord(&old.byImage[EqBandStoreAddress(EQ_OUT1, 3)]);
    };
    auto oldFloat = [](const SettingsSnapshot& old, int slot) {
        return BitsFloat(static_cast<uint32_t>(old.nSetting[slot]));
    };
    const std::vector<Case> cases = {
        {"band drag of 100 moves on out1 linked with out3 and out6",
         [&] {
             for (int i = 0; i < 100; ++i)
                 WriteOutputBand(linked, 3, BandValues{3.0f, 250.0f + i, 2.25f, EQ_PEQ});
         },
         [&](const SettingsSnapshot& old) { WriteOutputBand(linked, 3, oldBand(old)); }},
        {"compressor ratio", [] { SetSlotFloat(SET_OUT_COMP_RATIO + 2, 6.0f); },
         [&](const SettingsSnapshot& old) {
             SetSlotFloat(SET_OUT_COMP_RATIO + 2, oldFloat(old, SET_OUT_COMP_RATIO + 2));
         }},
        {"echo time with its predelay",
         [] { EditSlot(SET_ECHO_A_TIME, static_cast<int32_t>(FloatBits(4.0f))); },
         [&](const SettingsSnapshot& old) {
             SetSlotFloat(SET_REVERB_A_PREDELAY, oldFloat(old, SET_REVERB_A_PREDELAY));
             SetSlotFloat(SET_ECHO_A_TIME, oldFloat(old, SET_ECHO_A_TIME));
         }},
        {"route pair", [] { EditSlot(SET_MIC_ROUTE_A + 1, g_Param.nSetting[SET_MIC_ROUTE_A + 1] ? 0 : 100); },
         [](const SettingsSnapshot& old) { SetMicRoute(1, old.nSetting[SET_MIC_ROUTE_A + 1] != 0); }},
        {"mute", [] { SetSlot(SET_OUT_MUTE + 4, 1); },
         [](const SettingsSnapshot&) { SetSlot(SET_OUT_MUTE + 4, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshStore();
        // Values a processor holds (the start-up store has both routes off and no echo times).
        SetMicRoute(1, true);
        SetSlotFloat(SET_REVERB_A_PREDELAY, 30.0f);
        SetSlotFloat(SET_ECHO_A_TIME, 120.0f);
        const SettingsSnapshot before = TakeSettings();
        link.Clear();
        c.edit();
        const SettingsSnapshot after = TakeSettings();
        ASSERT_NE(before, after);

        link.Clear();
        ApplySettings(before);
        const std::vector<Report> undoSent = Sent();
        EXPECT_EQ(TakeSettings(), before);
        LaySettings(after);
        link.Clear();
        c.undoAsEdit(before);
        EXPECT_EQ(undoSent, Sent());

        // Redo sends what the edit sent, in write-all order; of a drag, its last move on each channel.
        LaySettings(before);
        link.Clear();
        if (std::string(c.name).starts_with("band"))
            WriteOutputBand(linked, 3, BandValues{3.0f, 349.0f, 2.25f, EQ_PEQ});
        else
            c.edit();
        const std::vector<Report> redoAsEdit = Sent();
        LaySettings(before);
        link.Clear();
        ApplySettings(after);
        EXPECT_EQ(Sorted(Sent()), Sorted(redoAsEdit));
        EXPECT_EQ(TakeSettings(), after);
    }
}

TEST_F(DiffTest, DifferencesAreNamedWithBothValuesInWriteAllOrder) {
    const SettingsSnapshot before = TakeSettings();
    const int out3[] = {2};
    WriteOutputBand(out3, 3, BandValues{-3.5f, 250.0f, 2.25f, EQ_PEQ});
    SetSlot(SET_OUT_MUTE + 2, 1);
    SetSlotFloat(SET_OUT_COMP_THRESHOLD + 7, -12.0f);
    const std::vector<SettingDifference> d = DiffSettings(before, TakeSettings());
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].strName, "SET_OUT_MUTE[3]");
    EXPECT_EQ(d[0].strA, "0");
    EXPECT_EQ(d[0].strB, "1");
    EXPECT_EQ(d[1].strName, "out8 compressor");
    EXPECT_EQ(d[1].strB.substr(0, 7), "-12 dB ");
    EXPECT_EQ(d[2].strName, "out3 band 4");
    EXPECT_EQ(d[2].strB, "PEQ 250 Hz -3.5 dB Q 2.250");
    EXPECT_TRUE(DiffSettings(before, before).empty());
    // Apply with a filter sends only what it takes.
    link.Clear();
    const std::vector<SettingUnit> sent =
        ApplySettings(TakeSettings(), before, [](const SettingUnit& u) { return u.kind == UnitKind::Band; });
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(UnitName(sent[0]), "out3 band 4");
    EXPECT_EQ(g_Param.nSetting[SET_OUT_MUTE + 2], 1);
}

TEST_F(DiffTest, ValuesTheProcessorCannotTellApartAreNoDifference) {
    const SettingsSnapshot a = TakeSettings();
    SettingsSnapshot b = a;
    auto f = [](float v) { return static_cast<int32_t>(FloatBits(v)); };
    b.nSetting[SET_OUT_DELAY + 1] = f(1.0f); // both under the 1.5 ms minimum
    SettingsSnapshot c = a;
    c.nSetting[SET_OUT_DELAY + 1] = f(0.5f);
    EXPECT_TRUE(DiffSettings(b, c).empty());
    c.nSetting[SET_OUT_DELAY + 1] = f(10.0f);
    EXPECT_EQ(DiffSettings(b, c).size(), 1u);
    // A compressor read back decodes near, not onto, the value set; the block sent is the same.
    SetSlotFloat(SET_OUT_COMP_RATIO + 3, 7.5f);
    SetSlotFloat(SET_OUT_COMP_ATTACK + 3, 53.0f);
    const SettingsSnapshot set = TakeSettings();
    std::vector<uint32_t> words;
    for (const Report& r : Sent())
        if (r[1] == CMD_SET_PARAM && r[3] == MOD_OUT1 + 3 && r[4] == 27)
            for (int i = 0; i < r[5]; ++i)
                words.push_back(ValueWord(r, i));
    ASSERT_EQ(words.size(), 14u);
    Report reply{};
    reply[1] = CMD_GET_PARAM;
    reply[3] = MOD_OUT1 + 3;
    reply[4] = 27;
    reply[5] = 7;
    for (int i = 0; i < 7; ++i)
        PutBE32(&reply[6 + 4 * i], words[7 + i]);
    DecodeParamReport(reply.data());
    EXPECT_TRUE(DiffSettings(set, TakeSettings()).empty());
}

TEST_F(DiffTest, DelayModeSendsTheSplitBandsOnceAndLandsOnTheTarget) {
    const SettingsSnapshot before = TakeSettings();
    SetDelayMode(3, g_Param.nSetting[SET_OUT_DELAY_WHOLE + 3] ? 0 : 1);
    const SettingsSnapshot after = TakeSettings();
    LaySettings(before);
    link.Clear();
    const std::vector<SettingUnit> sent = ApplySettings(after);
    EXPECT_EQ(TakeSettings(), after);
    ASSERT_EQ(sent.size(), 1u); // the split bands came with the mode
    int memoryWrites = 0;
    for (const Report& r : Sent())
        memoryWrites += r[1] == CMD_MEM_WRITE;
    EXPECT_EQ(memoryWrites, 2);
}

} // namespace
