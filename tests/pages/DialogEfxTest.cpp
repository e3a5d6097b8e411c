// The effect parameters (setters, value texts, reads of odd stored values) and the effect EQ page
// against the recording link, byte for byte.
#include "pages/DialogEfx.h"

#include "TestSupport.h"
#include "WidgetSupport.h"
#include "controls/EqBandEditor.h"
#include "controls/EqPanel.h"
#include "dsp/FilterResponse.h"
#include "model/Setters.h"
#include "pages/EffectParams.h"
#include "pages/PageHelpers.h"
#include "pages/PageRegistry.h"
#include "ui/Language.h"
#include "ui/ProgressDlgs.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <cmath>
#include <numbers>

namespace {

Report Param(int block, int param, uint32_t word) {
    return BuildParam(block, param, word, 1);
}
Report ParamF(int block, int param, float v) {
    return BuildParam(block, param, FloatBits(v), 1);
}

} // namespace

class EffectParamsTest : public StoreTest {
protected:
    void SetUp() override { StoreTest::SetUp(); }
    void TearDown() override { StoreTest::TearDown(); }
    void StoreFloat(int slot, float v) {
        auto lock = LockStore();
        SetSlotFloatBits(slot, v);
    }
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

TEST_F(EffectParamsTest, ShortEchoTimesTakeTheReverbPredelayOfTheSameSetAlong) {
    const int predelayA = GetEffectParam(0, EFFECT_REVERB_PREDELAY);
    SetEffectParam(1, EFFECT_ECHO_TIME, 4);
    EXPECT_EQ(Sent(), (std::vector<Report>{Param(MOD_ECHO, 23, 192), Param(MOD_REVERB, 21, 1920)}));
    EXPECT_EQ(GetEffectParam(1, EFFECT_REVERB_PREDELAY), 40);
    EXPECT_EQ(GetEffectParam(0, EFFECT_REVERB_PREDELAY), predelayA);
    link.Clear();
    SetEffectParam(1, EFFECT_ECHO_TIME, 7);
    EXPECT_EQ(Sent(), (std::vector<Report>{Param(MOD_ECHO, 23, 336)}));
    EXPECT_EQ(GetEffectParam(1, EFFECT_REVERB_PREDELAY), 40);
    link.Clear();
    // Set A: the A parameters; 2 ms makes 20 ms.
    SetEffectParam(0, EFFECT_ECHO_TIME, 2);
    EXPECT_EQ(Sent(), (std::vector<Report>{Param(MOD_ECHO, 10, 96), Param(MOD_REVERB, 9, 960)}));
}

TEST_F(EffectParamsTest, EveryRowSendsItsParameterForBothSets) {
    struct Case {
        int row, v;
        std::vector<Report> a, b;
    } cases[] = {
        {0, 50, {ParamF(MOD_REVERB, 8, 0.5f)}, {ParamF(MOD_REVERB, 20, 0.5f)}},
        {1, 200, {Param(MOD_REVERB, 9, 9600)}, {Param(MOD_REVERB, 21, 9600)}},
        {1, 0, {Param(MOD_REVERB, 9, 96)}, {Param(MOD_REVERB, 21, 96)}}, // held to 2 ms
        {2,
         50,
         {ParamF(MOD_REVERB, 10, 0.5f), ParamF(MOD_REVERB, 11, 0.5f)},
         {ParamF(MOD_REVERB, 22, 0.5f), ParamF(MOD_REVERB, 23, 0.5f)}},
        {3, 100, {ParamF(MOD_ECHO, 8, 1.0f)}, {ParamF(MOD_ECHO, 21, 1.0f)}},
        {4, 2, {Param(MOD_ECHO, 9, 96)}, {Param(MOD_ECHO, 22, 96)}},
        {6, 40, {ParamF(MOD_ECHO, 11, 0.4f)}, {ParamF(MOD_ECHO, 24, 0.4f)}},
        {7, 90, {ParamF(MOD_ECHO, 12, 0.9f)}, {ParamF(MOD_ECHO, 25, 0.9f)}},
    };
    for (const Case& c : cases) {
        for (int set = 0; set < 2; ++set) {
            link.Clear();
            SetEffectParam(set, c.row, c.v);
            EXPECT_EQ(Sent(), set ? c.b : c.a) << "row " << c.row << " set " << set;
            EXPECT_EQ(GetEffectParam(set, c.row), c.row == 1 ? std::max(c.v, 2) : c.v);
        }
    }
    link.Clear();
    SetEffectParam(0, 9, 5); // no such row
    SetEffectParam(0, -1, 5);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(GetEffectParam(0, 9), 0);
}

TEST_F(EffectParamsTest, TheShifterIsOffAtOneAndHeldToOneToEight) {
    SetEffectParam(0, EFFECT_SHIFT, 1);
    EXPECT_EQ(Sent(), (std::vector<Report>{Param(MOD_MIC, 33, 1)}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_A_SHIFT_OFF], 1);
    link.Clear();
    SetEffectParam(1, EFFECT_SHIFT, 3);
    const float omega = static_cast<float>(2 * std::numbers::pi * 3 / 48000);
    EXPECT_EQ(Sent(), (std::vector<Report>{Param(MOD_MIC, 56, 0), ParamF(MOD_MIC, 54, omega),
                                           Param(MOD_MIC, 55, 2800)}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT], 3);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_SHIFT_OFF], 0);
    // 0 would divide by zero and 12 Hz give a negative delay: held to 1 (off) and 8.
    link.Clear();
    SetEffectParam(0, EFFECT_SHIFT, 0);
    EXPECT_EQ(Sent(), (std::vector<Report>{Param(MOD_MIC, 33, 1)}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_A_SHIFT], 1);
    link.Clear();
    SetEffectParam(0, EFFECT_SHIFT, 12);
    const float omega8 = static_cast<float>(2 * std::numbers::pi * 8 / 48000);
    EXPECT_EQ(Sent(), (std::vector<Report>{Param(MOD_MIC, 33, 0), ParamF(MOD_MIC, 31, omega8),
                                           Param(MOD_MIC, 32, 300)}));
    // v = 2 gives the longest delay.
    link.Clear();
    SetEffectParam(0, EFFECT_SHIFT, 2);
    EXPECT_EQ(ValueWord(Sent().at(2), 0), 4800u);
}

TEST_F(EffectParamsTest, ValueTextsInBothLanguages) {
    EXPECT_EQ(FormatEffectValue(EFFECT_REVERB_TIME, 0), "40ms");
    EXPECT_EQ(FormatEffectValue(EFFECT_REVERB_TIME, 100), "5000ms");
    EXPECT_EQ(FormatEffectValue(EFFECT_REVERB_TIME, 1), "90ms"); // 89.6 rounds up
    EXPECT_EQ(FormatEffectValue(EFFECT_REVERB_LEVEL, 35), "35%");
    EXPECT_EQ(FormatEffectValue(EFFECT_ECHO_TIME, 260), "260ms");
    EXPECT_EQ(FormatEffectValue(EFFECT_SHIFT, 3), "3Hz");
    EXPECT_EQ(FormatEffectValue(EFFECT_SHIFT, 1), QString::fromUtf8("关闭"));
    EXPECT_EQ(FormatEffectValue(EFFECT_SHIFT, 0), QString::fromUtf8("关闭"));
    EXPECT_EQ(EffectRowName(EFFECT_ECHO_START), QString::fromUtf8("回声起始音量"));
    SetLanguage(1);
    EXPECT_EQ(FormatEffectValue(EFFECT_SHIFT, 1), "Off");
    EXPECT_EQ(FormatEffectValue(EFFECT_SHIFT, 0), "Off");
    EXPECT_EQ(EffectRowName(EFFECT_ECHO_DECAY), "Echo Vol Decay");
    EXPECT_EQ(FormatEffectValue(9, 1), "");
}

TEST_F(EffectParamsTest, FloatSlotsReadByTruncationAndOddValuesStayFinite) {
    StoreFloat(SET_REVERB_A_PREDELAY, 39.97f);
    EXPECT_EQ(GetEffectParam(0, EFFECT_REVERB_PREDELAY), 39);
    StoreFloat(SET_ECHO_B_TIME, -2.5f);
    EXPECT_EQ(GetEffectParam(1, EFFECT_ECHO_TIME), -2);
    StoreFloat(SET_REVERB_B_TIME, std::nanf(""));
    EXPECT_EQ(GetEffectParam(1, EFFECT_REVERB_TIME), 0);
    StoreFloat(SET_ECHO_A_PREDELAY, 1e30f);
    EXPECT_EQ(GetEffectParam(0, EFFECT_ECHO_PREDELAY), 1000000);
    StoreFloat(SET_ECHO_A_TIME, -INFINITY);
    EXPECT_EQ(GetEffectParam(0, EFFECT_ECHO_TIME), -1000000);
}

TEST_F(EffectParamsTest, MutedEffectsWarnForANonZeroLevelOnly) {
    auto notice = [] { return InfoDlg() && InfoDlg()->isVisible() ? InfoDlg()->Text() : QString(); };
    delete InfoDlg();
    g_Param.nSetting[SET_REVERB_MUTE] = 1;
    SetEffectParam(0, EFFECT_REVERB_LEVEL, 0);
    EXPECT_EQ(notice(), "");
    SetEffectParam(1, EFFECT_ECHO_LEVEL, 20); // the echo is not muted
    EXPECT_EQ(notice(), "");
    SetEffectParam(1, EFFECT_REVERB_LEVEL, 1);
    EXPECT_EQ(notice(), QString::fromUtf8("混响已静音"));
    delete InfoDlg();
    SetLanguage(1);
    g_Param.nSetting[SET_ECHO_MUTE] = 1;
    SetEffectParam(0, EFFECT_ECHO_LEVEL, 5);
    EXPECT_EQ(notice(), "Echo vol is mute");
    delete InfoDlg();
    // The level is sent either way.
    EXPECT_EQ(Sent().size(), 4u);
}

// ---- The effect EQ page ---------------------------------------------------------------------------

class DialogEfxTest : public EffectParamsTest {
protected:
    void TearDown() override {
        page.reset();
        EffectParamsTest::TearDown();
    }
    void Open(int index) {
        page = std::make_unique<CDialogEfx>(PageContext{nullptr, &state}, index);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        link.Clear();
    }
    PageState state;
    std::unique_ptr<CDialogEfx> page;
};

TEST_F(DialogEfxTest, ResetOfEchoBWritesSevenRecordsAndCoefficientsInterleaved) {
    Open(3);
    page->PickBand(2);
    EXPECT_EQ(page->BandEditor()->SelectedBand(), 2);
    page->ResetEq();
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 14u);
    static constexpr int kFreq[7] = {63, 125, 250, 500, 1000, 2300, 5000};
    for (int b = 0; b < 7; ++b) {
        const Report& mem = sent[2 * b];
        EXPECT_EQ(mem[1], CMD_MEM_WRITE);
        EXPECT_EQ(GetBE16(&mem[2]), static_cast<uint32_t>(189 + 7 * b));
        // gain (0 + 15) x 10, frequency, Q x 1000, PEQ
        EXPECT_EQ(Bytes(mem, 4, 8), (std::vector<uint8_t>{7, 0x00, 150, uint8_t(kFreq[b] >> 8),
                                                          uint8_t(kFreq[b]), 0x05, 0x82, EQ_PEQ}))
            << b;
        const Report& coeff = sent[2 * b + 1];
        EXPECT_EQ(Bytes(coeff, 1, 5), (std::vector<uint8_t>{CMD_SET_PARAM, 0, MOD_ECHO, uint8_t(13 + b), 5}))
            << b;
        const auto block = EncodeBiquadBlock(CalcBiquad(EQ_PEQ, 0.0, kFreq[b], 1.41));
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(ValueFloat(coeff, k), block[k]) << b;
    }
    EXPECT_EQ(page->BandEditor()->SelectedBand(), -1);
    EXPECT_TRUE(page->BandEditor()->Grid()->isVisible());
    EXPECT_EQ(page->BandEditor()->Grid()->item(5, 3)->text(), "2300Hz");
}

TEST_F(DialogEfxTest, ABandDragOnReverbBReachesItsRecordAndCoefficientSlot) {
    Open(1);
    CEqPanel* panel = page->EqPanel();
    EXPECT_EQ(panel->Kind(), EQ_REVERB_B);
    const EqBand* before = panel->GetBand(4);
    const QPoint at(qRound(panel->FreqToX(before->fFreq)), qRound(panel->GainToY(before->fGain)));
    SendMouse(panel, QEvent::MouseButtonPress, at, Qt::LeftButton);
    for (int i = 1; i <= 3; ++i)
        SendMouse(panel, QEvent::MouseMove, at + QPoint(4 * i, -5 * i), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, at + QPoint(12, -15), Qt::NoButton);

    const std::vector<Report> sent = Sent();
    ASSERT_FALSE(sent.empty());
    ASSERT_EQ(sent.size() % 2, 0u);
    for (size_t i = 0; i < sent.size(); i += 2) {
        EXPECT_EQ(sent[i][1], CMD_MEM_WRITE);
        EXPECT_EQ(GetBE16(&sent[i][2]), 287u + 7 * 4);
        EXPECT_EQ(Bytes(sent[i + 1], 1, 5), (std::vector<uint8_t>{CMD_SET_PARAM, 0, MOD_REVERB, 16, 5}));
    }
    const EqBand* b = panel->GetBand(4);
    EXPECT_GT(b->fGain, 0.5f);
    const float hz = std::trunc(b->fFreq);
    const BandRecordBytes rec = EncodeBandRecord(b->fGain, hz, b->fQ, b->nType);
    EXPECT_EQ(Bytes(sent[sent.size() - 2], 5, 7), std::vector<uint8_t>(rec.begin(), rec.end()));
    const auto coeffs = EncodeBiquadBlock(CalcBiquad(b->nType, b->fGain, hz, b->fQ));
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(ValueFloat(sent.back(), k), coeffs[k]) << k;
    EXPECT_EQ(page->BandEditor()->SelectedBand(), 4);
}

TEST_F(DialogEfxTest, BypassBandKeysAndStoredTypesOfTheEffectEq) {
    {
        auto lock = LockStore();
        g_Param.byImage[ADDR_EQ_ECHO_A + 7 * 2 + 6] = 7; // a type the editor cannot make
    }
    Open(2);
    EXPECT_EQ(page->EqPanel()->GetBand(2)->nType, EQ_OFF);
    EXPECT_FALSE(page->EqBypassed());
    page->ToggleEqBypass();
    EXPECT_EQ(Sent(), (std::vector<Report>{Param(MOD_ECHO, 7, 1)}));
    EXPECT_EQ(g_Param.nSetting[SET_ECHO_A_EQ_BYPASS], 1);
    EXPECT_TRUE(page->EqPanel()->Bypass());
    EXPECT_TRUE(page->EqBypassed());
    page->ToggleEqBypass();
    EXPECT_FALSE(page->EqPanel()->Bypass());
    // A parameter reply that sets the switch shows on the panel.
    g_Param.nSetting[SET_ECHO_A_EQ_BYPASS] = 1;
    page->RefreshLive(STORE_LIVE);
    EXPECT_FALSE(page->EqPanel()->Bypass());
    page->RefreshLive(STORE_PARAMS);
    EXPECT_TRUE(page->EqPanel()->Bypass());
    // Seven bands: Ctrl+8 .. Ctrl+0 pick nothing here.
    page->PickBand(7);
    page->PickBand(9);
    EXPECT_EQ(page->BandEditor()->SelectedBand(), -1);
    page->PickBand(6);
    EXPECT_EQ(page->BandEditor()->SelectedBand(), 6);
}

TEST_F(DialogEfxTest, RetargetBannerAndTheBackButtonToTheRememberedMode) {
    Open(-1);
    EXPECT_EQ(page->EqIndex(), 0);
    EXPECT_EQ(page->BannerTitle(), QString::fromUtf8("混响A均衡"));
    SetLanguage(1);
    page->Select(3);
    EXPECT_EQ(page->EqIndex(), 3);
    EXPECT_EQ(page->EqPanel()->Kind(), EQ_ECHO_B);
    EXPECT_EQ(page->BannerTitle(), "Echo B EQ");
    EXPECT_EQ(page->BackButton()->text(), "Back");
    page->Select(4); // no such EQ: stays
    EXPECT_EQ(page->EqIndex(), 3);
    link.Clear();
    page->ToggleEqBypass();
    EXPECT_EQ(Sent(), (std::vector<Report>{Param(MOD_ECHO, 20, 1)}));

    state.nMusicPageMode = 1;
    QSignalSpy spy(page.get(), &CPage::OpenPage);
    QTest::mouseClick(page->BackButton(), Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), kTemplateMusicPage);
    EXPECT_EQ(spy[0][1].toInt(), 1);
}
