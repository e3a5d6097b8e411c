// The features window against the recording link: what each control sends, byte for byte, and what
// it shows of the store, including values the processor may have garbled.
#include "pages/CloudnessDlg.h"

#include "TestSupport.h"
#include "WidgetSupport.h"
#include "dsp/FilterResponse.h"
#include "model/Compound.h"

#include <QCheckBox>
#include <QGroupBox>

#include <limits>

class CloudnessDlgTest : public StoreTest {
protected:
    void TearDown() override {
        dlg.reset();
        StoreTest::TearDown();
    }
    void Open() {
        dlg = std::make_unique<CloudnessDlg>(PageContext{}, -1);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        link.Clear();
    }
    CXBmpSlider* Slider(int id) { return Ctrl<CXBmpSlider>(dlg.get(), id); }
    QString Text(int id) { return TextOf(dlg.get(), id); }
    void SetFloat(int slot, float v) {
        auto lock = LockStore();
        SetSlotFloatBits(slot, v);
    }
    std::unique_ptr<CloudnessDlg> dlg;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

TEST_F(CloudnessDlgTest, BoostGainIsStoredAndSentAndShownAgain) {
    Open();
    MoveSlider(Slider(CloudnessDlg::IDC_BOOST), 40);
    {
        auto lock = LockStore();
        EXPECT_EQ(g_Param.byMicBoostBytes[0], 0xC2);
        EXPECT_EQ(g_Param.byMicBoostBytes[1], 0x20);
    }
    const float x = -40.0f;
    const auto block = EncodeGainBlock(x, GainVariant::MicBoost);
    const uint8_t bytes[2] = {0xC2, 0x20};
    std::vector<Report> expected = {BuildMemoryWrite(ADDR_MIC_BOOST, 2, bytes)};
    auto floats = [](int param, std::span<const float> values) {
        std::vector<uint32_t> words;
        for (float v : values)
            words.push_back(FloatBits(v));
        return BuildParamValues(MOD_MIC, param, words);
    };
    const float g = EncodeLinearGain(x), inv = EncodeInverseGain(x);
    expected.push_back(floats(61, block));
    expected.push_back(floats(59, std::span(&g, 1)));
    expected.push_back(floats(58, std::span(&inv, 1)));
    expected.push_back(floats(38, block));
    expected.push_back(floats(36, std::span(&g, 1)));
    expected.push_back(floats(35, std::span(&inv, 1)));
    EXPECT_EQ(Sent(), expected);

    dlg.reset();
    Open();
    EXPECT_EQ(Slider(CloudnessDlg::IDC_BOOST)->GetPos(), 40);
    EXPECT_EQ(Text(CloudnessDlg::IDC_BOOST_TEXT), "40dB");

    // No boost is +0.0: the bytes 00 00, not the 80 00 of a negative zero.
    MoveSlider(Slider(CloudnessDlg::IDC_BOOST), 0);
    auto lock = LockStore();
    EXPECT_EQ(g_Param.byMicBoostBytes[0], 0x00);
    EXPECT_EQ(g_Param.byMicBoostBytes[1], 0x00);
    EXPECT_EQ(Sent().front(), BuildMemoryWrite(ADDR_MIC_BOOST, 2, std::array<uint8_t, 2>{}.data()));
}

TEST_F(CloudnessDlgTest, BoostSwitchSendsBothParametersInverted) {
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_MIC_BOOST_ON] = g_Param.nSetting[SET_MIC_BOOST_ON2] = 0;
    }
    Open();
    auto* box = Ctrl<QCheckBox>(dlg.get(), CloudnessDlg::IDC_BOOST_ON);
    ASSERT_FALSE(box->isChecked());
    ClickButton(box); // on: the int 0 to both
    EXPECT_EQ(SlotValue(SET_MIC_BOOST_ON), 1);
    EXPECT_EQ(SlotValue(SET_MIC_BOOST_ON2), 1);
    ClickButton(box); // off: 1 to both
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_MIC, 37, 0, 1), BuildParam(MOD_MIC, 60, 0, 1),
                                           BuildParam(MOD_MIC, 37, 1, 1), BuildParam(MOD_MIC, 60, 1, 1)}));
    EXPECT_EQ(SlotValue(SET_MIC_BOOST_ON2), 0);
}

TEST_F(CloudnessDlgTest, LowPassBranchSendsBandDelayAndGain) {
    Open();
    MoveSlider(Slider(CloudnessDlg::IDC_LPF_FREQ), 120);
    std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    const uint8_t record[7] = {0x00, 0x96, 0x00, 0x78, 0x02, 0xC3, 0x02};
    EXPECT_EQ(sent[0], BuildMemoryWrite(ADDR_LPF, 7, record));
    const auto coeffs = EncodeBiquadBlock(CalcBiquad(EQ_LP, 0.0f, 120.0f, 0.707f));
    std::vector<uint32_t> words;
    for (float c : coeffs)
        words.push_back(FloatBits(c));
    EXPECT_EQ(sent[1], BuildParamValues(MOD_MUSIC, 10, words));
    EXPECT_EQ(Text(CloudnessDlg::IDC_LPF_FREQ_TEXT), "120Hz");

    link.Clear();
    MoveSlider(Slider(CloudnessDlg::IDC_LPF_DELAY), 20);
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MUSIC, 36, 960, 1)});
    EXPECT_EQ(Text(CloudnessDlg::IDC_LPF_DELAY_TEXT), "20ms");
    EXPECT_EQ(SlotValue(SET_LPF_DELAY), 20);

    link.Clear();
    MoveSlider(Slider(CloudnessDlg::IDC_LPF_GAIN), 150);
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MUSIC, 37, FloatBits(1.5f), 1)});
    EXPECT_EQ(Text(CloudnessDlg::IDC_LPF_GAIN_TEXT), "150%");
}

TEST_F(CloudnessDlgTest, StoredLowPassOutsideTheSliderShowsItsOwnFrequency) {
    WriteBand(kEqGroupLpf, 0, 0.0f, 1000.0f, 0.707f, EQ_LP);
    Open();
    EXPECT_EQ(Slider(CloudnessDlg::IDC_LPF_FREQ)->GetPos(), 300);
    EXPECT_EQ(Text(CloudnessDlg::IDC_LPF_FREQ_TEXT), "1000Hz");
}

TEST_F(CloudnessDlgTest, DuckingSwitchAndLevel) {
    Open();
    auto* box = Ctrl<QCheckBox>(dlg.get(), CloudnessDlg::IDC_DUCK_ON);
    const bool was = box->isChecked();
    ClickButton(box);
    MoveSlider(Slider(CloudnessDlg::IDC_DUCK), 30);
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_MIC, 12, was ? 0 : 1, 1),
                                           BuildParam(MOD_MIC, 13, FloatBits(0.3f), 1)}));
    EXPECT_EQ(SlotValue(SET_SUB_DECAY_ON), was ? 0 : 1);
    EXPECT_EQ(Text(CloudnessDlg::IDC_DUCK_TEXT), "30%");
}

TEST_F(CloudnessDlgTest, HiddenAgcStillLoadsAndWorks) {
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_MUSIC_AGC_ON] = 1;
        SetSlotFloatBits(SET_MUSIC_AGC_LEVEL, -12.5f);
    }
    Open();
    auto* group = Ctrl<QGroupBox>(dlg.get(), CloudnessDlg::IDC_AGC_GROUP);
    EXPECT_FALSE(group->isVisible());
    CXBmpSlider* agc = Slider(CloudnessDlg::IDC_AGC);
    EXPECT_EQ(agc->GetPos(), -125);
    EXPECT_TRUE(agc->IsSliderEnabled());
    EXPECT_EQ(Text(CloudnessDlg::IDC_AGC_TEXT), "-12.5dB");
    // Driven as it would be if it were shown: it stores and sends.
    emit agc->SliderPos(CloudnessDlg::IDC_AGC, -30);
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MUSIC, 17, FloatBits(-3.0f), 1)});
    EXPECT_EQ(SlotFloatValue(SET_MUSIC_AGC_LEVEL), -3.0f);

    // The level of the signed byte 6 of the live status, every tick, hidden or not.
    {
        auto lock = LockStore();
        g_Param.byLiveStatus[6] = 0xF6;
    }
    QTRY_COMPARE(Text(CloudnessDlg::IDC_LEVEL_TEXT), QStringLiteral("-10dB"));
}

TEST_F(CloudnessDlgTest, CompressorSendsTheLimiterBlockWithSafeUnmovedValues) {
    {
        auto lock = LockStore();
        SetSlotFloatBits(SET_MUSIC_COMP_THRESHOLD, -20.0f);
        SetSlotFloatBits(SET_MUSIC_COMP_RATIO, 4.0f);
        SetSlotFloatBits(SET_MUSIC_COMP_ATTACK, 10.0f);
        SetSlotFloatBits(SET_MUSIC_COMP_RELEASE, 200.0f);
    }
    Open();
    MoveSlider(Slider(CloudnessDlg::IDC_THRESHOLD), -30);
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParamValues(
                          MOD_MUSIC, 14, EncodeCompressorBlock(-30.0f, 4.0f, 10.0f, 200.0f))});
    EXPECT_EQ(Text(CloudnessDlg::IDC_THRESHOLD_TEXT), "-30dB");

    // Garbled values from the processor: a NaN threshold, a zero ratio, an infinite release.
    SetFloat(SET_MUSIC_COMP_THRESHOLD, std::numeric_limits<float>::quiet_NaN());
    SetFloat(SET_MUSIC_COMP_RATIO, 0.0f);
    SetFloat(SET_MUSIC_COMP_RELEASE, std::numeric_limits<float>::infinity());
    dlg->Refresh();
    EXPECT_EQ(Slider(CloudnessDlg::IDC_THRESHOLD)->GetPos(), -60);
    EXPECT_EQ(Slider(CloudnessDlg::IDC_RATIO)->GetPos(), 10);
    EXPECT_EQ(Slider(CloudnessDlg::IDC_RELEASE)->GetPos(), 1000);
    link.Clear();
    MoveSlider(Slider(CloudnessDlg::IDC_ATTACK), 5);
    // The values not moved are the ones the sliders show, never NaN, infinity or a zero ratio.
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParamValues(
                          MOD_MUSIC, 14, EncodeCompressorBlock(-60.0f, 1.0f, 5.0f, 1000.0f))});
    EXPECT_EQ(SlotFloatValue(SET_MUSIC_COMP_RATIO), 1.0f);
    EXPECT_EQ(SlotFloatValue(SET_MUSIC_COMP_RELEASE), 1000.0f);

    link.Clear();
    auto* on = Ctrl<QCheckBox>(dlg.get(), CloudnessDlg::IDC_COMP_ON);
    const bool was = on->isChecked();
    ClickButton(on);
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MUSIC, 15, was ? 1 : 0, 1)});
}

TEST_F(CloudnessDlgTest, GarbledBoostBytesShowWithoutUndefinedConversions) {
    {
        auto lock = LockStore();
        g_Param.byMicBoostBytes = {0x7F, 0xC0}; // NaN
    }
    Open();
    EXPECT_EQ(Slider(CloudnessDlg::IDC_BOOST)->GetPos(), 0);
    {
        auto lock = LockStore();
        g_Param.byMicBoostBytes = {0xFF, 0x80}; // -inf dB: an infinite boost
    }
    dlg->Refresh();
    EXPECT_EQ(Slider(CloudnessDlg::IDC_BOOST)->GetPos(), 40);
    EXPECT_EQ(Text(CloudnessDlg::IDC_BOOST_TEXT), "1000000dB");
}

TEST_F(CloudnessDlgTest, TextsInBothLanguages) {
    Open();
    SetLanguage(1);
    dlg->ReloadTexts();
    EXPECT_EQ(dlg->windowTitle(), "Features");
    EXPECT_EQ(Ctrl<QCheckBox>(dlg.get(), CloudnessDlg::IDC_COMP_ON)->text(), "ON");
    SetLanguage(0);
    dlg->ReloadTexts();
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("特色功能"));
    EXPECT_EQ(TextOf(dlg.get(), 1133), QString::fromUtf8("超低比例"));
}
