// The output page against the recording link: what each control sends, to which channels, byte for
// byte; and the page over the real transport and the simulated processor with reply latency.
#include "pages/DialogOutput.h"

#include "FakeLinks.h"
#include "MergeSupport.h"
#include "TestSupport.h"
#include "WidgetSupport.h"
#include "controls/EqBandEditor.h"
#include "controls/EqPanel.h"
#include "controls/XBmpSlider.h"
#include "dispatch/Dispatcher.h"
#include "dsp/FilterResponse.h"
#include "link/Transport.h"
#include "model/Compound.h"
#include "model/Setters.h"
#include "sim/SimBackend.h"
#include "ui/Language.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <chrono>
#include <iostream>
#include <mutex>

namespace {

// The two reports of one band: the 7-byte record at its address, then the five coefficients of
// exactly the given values (frequency in whole Hz).
std::vector<Report> BandReports(int channel, int band, float gain, float freq, float q, int type) {
    const float hz = std::trunc(freq);
    const BandRecordBytes rec = EncodeBandRecord(gain, hz, q, type);
    const auto coeffs = EncodeBiquadBlock(CalcBiquad(type, gain, hz, q));
    std::array<uint32_t, 5> words;
    for (int i = 0; i < 5; ++i)
        words[i] = FloatBits(coeffs[i]);
    return {BuildMemoryWrite(EqBandAddress(MOD_OUT1 + channel, band), kBandRecordSize, rec.data()),
            BuildParamValues(MOD_OUT1 + channel, band, words)};
}

void Append(std::vector<Report>& to, const std::vector<Report>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

Report CompReport(int channel, float thr, float ratio, float attack, float release) {
    return BuildParamValues(MOD_OUT1 + channel, 27, EncodeCompressorBlock(thr, ratio, attack, release));
}

void ClickCheck(QAbstractButton* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
}

} // namespace

class DialogOutputTest : public StoreTest {
protected:
    void SetUp() override { StoreTest::SetUp(); }
    void TearDown() override {
        page.reset();
        StoreTest::TearDown();
    }
    void Open(int channel) {
        page = std::make_unique<CDialogOutput>(channel);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        link.Clear();
    }
    template <class T> T* Ctrl(int id) { return ::Ctrl<T>(page.get(), id); }
    QCheckBox* LinkBox(int c) { return Ctrl<QCheckBox>(CDialogOutput::kLinkIds[c]); }
    CXBmpSlider* Slider(int id) { return Ctrl<CXBmpSlider>(id); }
    QString Text(int id) { return Ctrl<QLabel>(id)->text(); }
    void LinkChannels(std::initializer_list<int> channels) {
        for (int c : channels)
            ClickCheck(LinkBox(c));
        link.Clear();
    }
    void SetStoreFloat(int slot, float v) {
        auto lock = LockStore();
        SetSlotFloatBits(slot, v);
    }

    std::unique_ptr<CDialogOutput> page;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

// ---- Equaliser -----------------------------------------------------------------------------------

TEST_F(DialogOutputTest, BandChangeGoesToTheLinkedChannelsInOrder) {
    Open(0);
    LinkChannels({5, 2}); // channels 6 and 3, clicked out of order
    EXPECT_EQ(page->LinkedSet(), (std::vector<int>{0, 2, 5}));

    CEqPanel* panel = page->EqPanel();
    EqBand* band = panel->GetBand(3);
    band->nType = EQ_PEQ;
    band->fGain = 4.5f;
    band->fFreq = 1234.7f; // whole Hz on the wire
    band->fQ = 2.3456f;    // not on the record's 0.001 grid: the coefficients take it as it is
    emit panel->EqBandChanged(panel->BandEdit(3));

    std::vector<Report> expected;
    for (int c : {0, 2, 5})
        Append(expected, BandReports(c, 3, 4.5f, 1234.0f, 2.3456f, EQ_PEQ));
    ASSERT_EQ(Sent(), expected);
    const std::vector<Report> sent = Sent();
    for (int k = 0; k < 3; ++k) {
        const int c = std::vector<int>{0, 2, 5}[k];
        const Report& mem = sent[2 * k];
        EXPECT_EQ(mem[1], CMD_MEM_WRITE);
        EXPECT_EQ(GetBE16(&mem[2]), static_cast<uint32_t>(406 + 105 * c + 7 * 3));
        // Q 2.3456 goes to the nearest code, 2346.
        EXPECT_EQ(Bytes(mem, 4, 8), (std::vector<uint8_t>{7, 0x00, 0xC3, 0x04, 0xD2, 0x09, 0x2A, 0x01}));
        const Report& par = sent[2 * k + 1];
        EXPECT_EQ(Bytes(par, 1, 5),
                  (std::vector<uint8_t>{CMD_SET_PARAM, 0, static_cast<uint8_t>(5 + c), 3, 5}));
        // Transparent at 4.5 dB it is not: b0 differs from 1.
        EXPECT_NE(ValueFloat(par, 2), 1.0f);
    }
    // The record is in the store of every linked channel, and only there.
    for (int c = 0; c < 8; ++c) {
        const BandValues v = ReadBand(MOD_OUT1 + c, 3);
        const bool linked = c == 0 || c == 2 || c == 5;
        EXPECT_EQ(v.fFreq, linked ? 1234.0f : 250.0f) << c;
    }
    // The editor follows the band.
    EXPECT_EQ(page->SelectedBand(), 3);
    EXPECT_FALSE(page->BandEditor()->Grid()->isVisible());
}

TEST_F(DialogOutputTest, DraggingABandWritesEveryStepToTheLinkedSet) {
    Open(0);
    LinkChannels({2, 5});
    CEqPanel* panel = page->EqPanel();
    const QPoint at(qRound(panel->FreqToX(250.0f)), qRound(panel->GainToY(0.0f)));
    SendMouse(panel, QEvent::MouseButtonPress, at, Qt::LeftButton);
    for (int i = 1; i <= 5; ++i)
        SendMouse(panel, QEvent::MouseMove, at + QPoint(3 * i, -4 * i), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, at + QPoint(15, -20), Qt::NoButton);

    const std::vector<Report> sent = Sent();
    // Press, five moves and the release each write the band to channels 1, 3 and 6 in turn.
    ASSERT_EQ(sent.size(), 7u * 6u);
    for (size_t i = 0; i < sent.size(); ++i) {
        const int c = std::vector<int>{0, 2, 5}[(i / 2) % 3];
        if (i % 2 == 0)
            EXPECT_EQ(GetBE16(&sent[i][2]), static_cast<uint32_t>(EqBandAddress(MOD_OUT1 + c, 3))) << i;
        else
            EXPECT_EQ(sent[i][3], 5 + c) << i;
    }
    const EqBand* b = panel->GetBand(3);
    EXPECT_GT(b->fGain, 0.5f);
    EXPECT_GT(b->fFreq, 250.0f);
    std::vector<Report> last;
    for (int c : {0, 2, 5})
        Append(last, BandReports(c, 3, b->fGain, b->fFreq, b->fQ, b->nType));
    EXPECT_EQ(std::vector<Report>(sent.end() - 6, sent.end()), last);
    EXPECT_EQ(page->BandEditor()->BandNumber()->text(), "4");
}

TEST_F(DialogOutputTest, Band9TakesItsCrossoverSectionsToEveryLinkedChannel) {
    Open(1);
    LinkChannels({6});
    page->PickBand(9);
    EXPECT_TRUE(Sent().empty());                                      // picking shows, it does not write
    ClickCheck(Ctrl<QRadioButton>(CEqBandEditor::IDC_RADIO_PEQ + 1)); // LP

    CEqPanel* panel = page->EqPanel();
    std::vector<Report> expected;
    for (int c : {1, 6})
        for (int k = 9; k <= 12; ++k) {
            const EqBand* s = panel->GetBand(k);
            Append(expected, BandReports(c, k, 0.0f, s->fFreq, s->fQ, s->nType));
        }
    ASSERT_EQ(Sent(), expected);
    // The LP preset: sections 18, 20, 1, 1 at band 9's frequency and Q, 0 dB.
    const std::vector<Report> sent = Sent();
    const int types[4] = {EQ_Q131_LP, EQ_Q054_LP, EQ_PEQ, EQ_PEQ};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(sent[2 * k][11], types[k]);
        EXPECT_EQ(GetBE16(&sent[2 * k][5]), 150u);                      // 0 dB
        EXPECT_EQ(GetBE16(&sent[2 * k][7]), GetBE16(&sent[0][7])) << k; // frequency of band 9
        EXPECT_EQ(sent[2 * k + 1][4], 9 + k);
    }
    auto* list = Ctrl<QComboBox>(1134);
    EXPECT_TRUE(list->isVisible());

    // Another family from the crossover list: Bessel 24 dB, sections 8, 8, 1, 1, to both channels.
    link.Clear();
    list->setCurrentIndex(6);
    const std::vector<Report> again = Sent();
    ASSERT_EQ(again.size(), 16u);
    const int bessel[4] = {EQ_BESSEL_LP, EQ_BESSEL_LP, EQ_PEQ, EQ_PEQ};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(again[2 * k][11], bessel[k % 4]) << k;
        EXPECT_EQ(again[2 * k + 1][3], k < 4 ? 6 : 11) << k;
    }
    EXPECT_EQ(ReadBand(MOD_OUT1 + 6, 10).nType, EQ_BESSEL_LP);
}

TEST_F(DialogOutputTest, ResetAndBypassActOnTheLinkedSet) {
    Open(0);
    LinkChannels({4});
    EXPECT_TRUE(page->HasEq());
    EXPECT_FALSE(page->EqBypassed());
    page->ToggleEqBypass();
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(5, 15, 1, 1), BuildParam(9, 15, 1, 1)}));
    EXPECT_TRUE(page->EqBypassed());
    EXPECT_TRUE(page->EqPanel()->Bypass());
    EXPECT_EQ(g_Param.nSetting[SET_OUT_EQ_BYPASS + 4], 1);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_EQ_BYPASS + 1], 0);
    link.Clear();
    page->ToggleEqBypass();
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(5, 15, 0, 1), BuildParam(9, 15, 0, 1)}));

    // Bands moved away from the reset values on channels 1, 2 and 5.
    for (int c : {0, 1, 4})
        WriteBand(MOD_OUT1 + c, 2, 6.0f, 300.0f, 3.0f, EQ_PEQ);
    page->PickBand(2);
    link.Clear();
    page->ResetEq();
    EXPECT_EQ(page->SelectedBand(), -1);
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 2u * 13u * 2u);
    const int freqs[13] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000, 16000, 16000, 16000};
    for (int k = 0; k < 2; ++k) {
        const int c = k == 0 ? 0 : 4;
        for (int b = 0; b < 13; ++b) {
            const auto want = BandReports(c, b, 0.0f, static_cast<float>(freqs[b]), 1.41f, EQ_PEQ);
            EXPECT_EQ(sent[k * 26 + 2 * b], want[0]) << c << "/" << b;
            EXPECT_EQ(sent[k * 26 + 2 * b + 1], want[1]) << c << "/" << b;
        }
    }
    EXPECT_EQ(ReadBand(MOD_OUT1 + 1, 2).fGain, 6.0f); // not linked, not reset
}

// ---- Own-channel controls ------------------------------------------------------------------------

TEST_F(DialogOutputTest, MutePhaseAndRoleTouchOnlyTheirOwnChannel) {
    Open(0);
    LinkChannels({2, 5});
    ClickCheck(Ctrl<QCheckBox>(CDialogOutput::kMuteIds[0]));
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(5, 26, FloatBits(0.0f), 1)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_MUTE + 0], 1);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_MUTE + 2], 0);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_MUTE + 5], 0);

    link.Clear();
    ClickCheck(Ctrl<QCheckBox>(CDialogOutput::kPhaseIds[5]));
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(10, 25, FloatBits(-1.0f), 1)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_PHASE + 5], 1);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_PHASE + 0], 0);

    link.Clear();
    auto* role = Ctrl<QComboBox>(CDialogOutput::kRoleIds[2]);
    ASSERT_EQ(role->currentIndex(), g_Param.nSetting[SET_OUT_ROLE + 2]);
    const int was = role->currentIndex();
    QTest::keyClick(role, Qt::Key_Down);
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(7, 16, static_cast<uint32_t>(was + 1), 1)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_ROLE + 2], was + 1);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_ROLE + 0], 0);
}

TEST_F(DialogOutputTest, MixerSendsGoToTheLinkedSet) {
    Open(3);
    LinkChannels({0});
    auto* echo = Slider(1043);
    const int start = echo->GetPos();
    QTest::keyClick(echo, Qt::Key_Up);
    const uint32_t word = FloatBits(EncodeFraction100(start + 1));
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(5, 22, word, 1), BuildParam(8, 22, word, 1)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_MIX_ECHO + 0], start + 1);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_MIX_ECHO + 3], start + 1);
    EXPECT_EQ(Text(1129), QString::asprintf("%d%%", start + 1));
}

// Only edits whose newer value makes the older one moot may replace a report still waiting to go out.
TEST_F(DialogOutputTest, BandEditsAndSliderMovesAreMergeableSwitchesAndResetsAreNot) {
    Open(0);
    LinkChannels({2});
    auto allMergeable = [&](bool want) {
        const auto entries = link.Entries();
        link.Clear();
        return !entries.empty() && std::all_of(entries.begin(), entries.end(), [&](const auto& e) {
            return e.nPauseMs < 0 && e.bMergeable == want;
        });
    };
    EqBand* band = page->EqPanel()->GetBand(kCrossoverBand);
    band->nType = EQ_PEQ;
    band->fGain = -3.0f;
    emit page->EqPanel()->EqBandChanged(
        page->EqPanel()->BandEdit(kCrossoverBand)); // with the crossover companions
    EXPECT_TRUE(allMergeable(true));
    for (int id : {1042, int(CDialogOutput::IDC_SPLIT), int(CDialogOutput::IDC_DELAY),
                   int(CDialogOutput::IDC_ATTACK)}) {
        QTest::keyClick(Slider(id), Qt::Key_Up);
        EXPECT_TRUE(allMergeable(true)) << id;
    }
    ClickCheck(Ctrl<QCheckBox>(CDialogOutput::kMuteIds[0]));
    EXPECT_TRUE(allMergeable(false));
    page->ResetEq();
    EXPECT_TRUE(allMergeable(false));
    EXPECT_FALSE(CMergeableEdits::Active());
}

// ---- Compressor ----------------------------------------------------------------------------------

TEST_F(DialogOutputTest, CompressorSliderCopiesAllFourValuesToLinkedChannels) {
    SetStoreFloat(SET_OUT_COMP_THRESHOLD + 0, -20.0f);
    SetStoreFloat(SET_OUT_COMP_RATIO + 0, 4.0f);
    SetStoreFloat(SET_OUT_COMP_ATTACK + 0, 10.0f);
    SetStoreFloat(SET_OUT_COMP_RELEASE + 0, 200.0f);
    SetStoreFloat(SET_OUT_COMP_THRESHOLD + 3, -5.0f);
    SetStoreFloat(SET_OUT_COMP_RATIO + 3, 1.5f);
    SetStoreFloat(SET_OUT_COMP_ATTACK + 3, 50.0f);
    SetStoreFloat(SET_OUT_COMP_RELEASE + 3, 900.0f);
    Open(0);
    EXPECT_EQ(Slider(CDialogOutput::IDC_THRESHOLD)->GetPos(), -20);
    EXPECT_EQ(Slider(CDialogOutput::IDC_RATIO)->GetPos(), 40);
    EXPECT_EQ(Text(CDialogOutput::IDC_THRESHOLD_TEXT), "-20dB");
    EXPECT_EQ(Text(CDialogOutput::IDC_RATIO_TEXT), "4.0:1");
    EXPECT_EQ(Text(CDialogOutput::IDC_ATTACK_TEXT), "10ms");
    EXPECT_EQ(Text(CDialogOutput::IDC_RELEASE_TEXT), "200ms");
    LinkChannels({3});

    QTest::keyClick(Slider(CDialogOutput::IDC_THRESHOLD), Qt::Key_Right);
    EXPECT_EQ(Sent(), (std::vector<Report>{CompReport(0, -19, 4, 10, 200), CompReport(3, -19, 4, 10, 200)}));
    EXPECT_EQ(SlotFloat(SET_OUT_COMP_RATIO + 3), 4.0f);
    EXPECT_EQ(SlotFloat(SET_OUT_COMP_ATTACK + 3), 10.0f);
    EXPECT_EQ(SlotFloat(SET_OUT_COMP_RELEASE + 3), 200.0f);
    EXPECT_EQ(Text(CDialogOutput::IDC_THRESHOLD_TEXT), "-19dB");

    link.Clear();
    QTest::keyClick(Slider(CDialogOutput::IDC_RATIO), Qt::Key_Left);
    EXPECT_EQ(Sent(),
              (std::vector<Report>{CompReport(0, -19, 3.9f, 10, 200), CompReport(3, -19, 3.9f, 10, 200)}));
    EXPECT_EQ(Text(CDialogOutput::IDC_RATIO_TEXT), "3.9:1");

    // The switch: checked means the compressor runs (bypass slot 0), on both channels.
    link.Clear();
    auto* on = Ctrl<QCheckBox>(CDialogOutput::IDC_COMP_SWITCH);
    const bool was = on->isChecked();
    ClickCheck(on);
    const uint32_t v = was ? 1u : 0u;
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(5, 28, v, 1), BuildParam(8, 28, v, 1)}));
    EXPECT_EQ(g_Param.nSetting[SET_OUT_COMP_BYPASS + 3], static_cast<int>(v));
}

TEST_F(DialogOutputTest, CompressorTimesReadBackJustBelowAWholeMsStayThatMs) {
    SetStoreFloat(SET_OUT_COMP_THRESHOLD + 0, -10.0f);
    SetStoreFloat(SET_OUT_COMP_RATIO + 0, 2.0f);
    SetStoreFloat(SET_OUT_COMP_ATTACK + 0, 9.99997f); // as a decoded time constant may come back
    SetStoreFloat(SET_OUT_COMP_RELEASE + 0, 100.00002f);
    Open(0);
    EXPECT_EQ(Slider(CDialogOutput::IDC_ATTACK)->GetPos(), 10);
    QTest::keyClick(Slider(CDialogOutput::IDC_THRESHOLD), Qt::Key_Left);
    EXPECT_EQ(Sent(), (std::vector<Report>{CompReport(0, -11, 2, 10, 100)}));
}

// ---- Delay ---------------------------------------------------------------------------------------

TEST_F(DialogOutputTest, DelayOf1p5MsShowsTheLowestPositionAndMovingThereSends1p6) {
    SetStoreFloat(SET_OUT_DELAY + 0, 1.5f);
    SetStoreFloat(SET_OUT_DELAY + 1, 2.3f);
    Open(0);
    auto* delay = Slider(CDialogOutput::IDC_DELAY);
    EXPECT_EQ(delay->GetPos(), 16);
    EXPECT_EQ(Text(CDialogOutput::IDC_DELAY_TEXT), "1.5ms");
    LinkChannels({1});
    QTest::keyClick(delay, Qt::Key_Left); // stays at 16, still reported
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(5, 18, 77, 1), BuildParam(6, 18, 77, 1)}));
    EXPECT_EQ(SlotFloat(SET_OUT_DELAY + 1), 1.6f);
    EXPECT_EQ(Text(CDialogOutput::IDC_DELAY_TEXT), "1.6ms");
    // The same value again sends nothing.
    link.Clear();
    QTest::keyClick(delay, Qt::Key_Left);
    EXPECT_TRUE(Sent().empty());

    page->SelectChannel(1); // 2.3 ms: position 23, not 22
    EXPECT_EQ(delay->GetPos(), 16);
    SetStoreFloat(SET_OUT_DELAY + 1, 2.3f);
    page->Refresh();
    EXPECT_EQ(delay->GetPos(), 23);
    EXPECT_EQ(Text(CDialogOutput::IDC_DELAY_TEXT), "2.3ms");
}

TEST_F(DialogOutputTest, SplitPositionComesFromBand13) {
    WriteBand(MOD_OUT1 + 0, 13, 0.0f, 777.0f, 0.707f, EQ_HP); // in no split pair
    WriteBand(MOD_OUT1 + 2, 13, 0.0f, 1200.0f, 0.707f, EQ_HP);
    Open(0);
    auto* split = Slider(CDialogOutput::IDC_SPLIT);
    EXPECT_EQ(split->GetPos(), 0);
    EXPECT_EQ(Text(CDialogOutput::IDC_SPLIT_TEXT), "500Hz");
    page->SelectChannel(2);
    EXPECT_EQ(split->GetPos(), 7);
    EXPECT_EQ(Text(CDialogOutput::IDC_SPLIT_TEXT), "1200Hz");

    // Delay on, high-frequency mode: the split slider acts on the linked set.
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_OUT_DELAY_OFF + 2] = 0;
        g_Param.nSetting[SET_OUT_DELAY_WHOLE + 2] = 0;
    }
    page->Refresh();
    LinkChannels({4});
    QTest::keyClick(split, Qt::Key_Right);
    std::vector<Report> expected;
    for (int c : {2, 4}) {
        Append(expected, BandReports(c, 13, 0.0f, 1300.0f, 0.707f, EQ_HP));
        Append(expected, BandReports(c, 14, 0.0f, 1800.0f, 0.707f, EQ_LP));
    }
    EXPECT_EQ(Sent(), expected);
    EXPECT_EQ(Text(CDialogOutput::IDC_SPLIT_TEXT), "1300Hz");
    EXPECT_EQ(CurrentSplitIndex(4), 8);
}

TEST_F(DialogOutputTest, DelayControlsFollowTheSwitchAndTheMode) {
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_OUT_DELAY_OFF + 0] = 1;
        g_Param.nSetting[SET_OUT_DELAY_WHOLE + 0] = 0;
    }
    Open(0);
    auto* on = Ctrl<QCheckBox>(CDialogOutput::IDC_DELAY_SWITCH);
    auto* hf = Ctrl<QRadioButton>(CDialogOutput::IDC_DELAY_HF);
    auto* whole = Ctrl<QRadioButton>(CDialogOutput::IDC_DELAY_WHOLE);
    auto* split = Slider(CDialogOutput::IDC_SPLIT);
    auto* splitText = Ctrl<QLabel>(CDialogOutput::IDC_SPLIT_TEXT);
    auto* delayText = Ctrl<QLabel>(CDialogOutput::IDC_DELAY_TEXT);
    EXPECT_FALSE(on->isChecked());
    EXPECT_TRUE(hf->isChecked());
    EXPECT_FALSE(hf->isEnabled());
    EXPECT_FALSE(whole->isEnabled());
    EXPECT_FALSE(split->IsSliderEnabled());
    EXPECT_FALSE(splitText->isEnabled());
    EXPECT_FALSE(delayText->isEnabled());
    EXPECT_TRUE(Slider(CDialogOutput::IDC_DELAY)->IsSliderEnabled());

    LinkChannels({7});
    ClickCheck(on);
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(5, 19, 0, 1), BuildParam(12, 19, 0, 1)}));
    EXPECT_TRUE(hf->isEnabled());
    EXPECT_TRUE(whole->isEnabled());
    EXPECT_TRUE(split->IsSliderEnabled());
    EXPECT_TRUE(splitText->isEnabled());
    EXPECT_TRUE(delayText->isEnabled());

    // Whole channel: parameter 17 with 1.0, 0.0, and bands 13 and 14 flat, on both channels.
    link.Clear();
    ClickCheck(whole);
    const float pair[2] = {1.0f, 0.0f};
    std::array<uint32_t, 2> words = {FloatBits(pair[0]), FloatBits(pair[1])};
    std::vector<Report> expected;
    for (int c : {0, 7}) {
        expected.push_back(BuildParamValues(MOD_OUT1 + c, 17, words));
        const int p = CurrentSplitIndex(c);
        Append(expected, BandReports(c, 13, 0.0f, static_cast<float>(SplitLowHz(p)), 0.707f, EQ_PEQ));
        Append(expected, BandReports(c, 14, 0.0f, static_cast<float>(SplitHighHz(p)), 0.707f, EQ_PEQ));
    }
    EXPECT_EQ(Sent(), expected);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_DELAY_WHOLE + 7], 1);
    EXPECT_FALSE(split->IsSliderEnabled());
    EXPECT_FALSE(splitText->isEnabled());
    EXPECT_TRUE(delayText->isEnabled());

    link.Clear();
    ClickCheck(on); // off again: everything of the delay but its slider goes grey
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(5, 19, 1, 1), BuildParam(12, 19, 1, 1)}));
    EXPECT_FALSE(hf->isEnabled());
    EXPECT_FALSE(whole->isEnabled());
    EXPECT_FALSE(split->IsSliderEnabled());
    EXPECT_FALSE(delayText->isEnabled());
}

// ---- Channels, texts, wheel ----------------------------------------------------------------------

TEST_F(DialogOutputTest, ChannelButtonSelectsTheChannelAndReturnsToTheGrid) {
    Open(0);
    LinkChannels({2});
    QSignalSpy selected(page.get(), &CDialogOutput::ChannelSelected);
    page->PickBand(4);
    EXPECT_EQ(page->SelectedBand(), 4);

    QTest::mouseClick(Ctrl<QAbstractButton>(1070), Qt::LeftButton); // "通道3"
    EXPECT_EQ(page->CurrentChannel(), 2);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toInt(), 2);
    EXPECT_EQ(page->SelectedBand(), -1);
    EXPECT_TRUE(page->BandEditor()->Grid()->isVisible());
    EXPECT_EQ(page->EqPanel()->Kind(), EQ_OUT3);
    EXPECT_FALSE(LinkBox(2)->isVisible());
    EXPECT_TRUE(LinkBox(0)->isVisible());
    // Channel 3's own box stays checked while hidden: channel 1 is not linked, 3 is shown.
    EXPECT_EQ(page->LinkedSet(), std::vector<int>{2});
    EXPECT_TRUE(Sent().empty());

    QSignalSpy open(page.get(), &CPage::OpenPage);
    QTest::mouseClick(Ctrl<QAbstractButton>(1074), Qt::LeftButton);
    QTest::mouseClick(Ctrl<QAbstractButton>(1073), Qt::LeftButton);
    QTest::mouseClick(Ctrl<QAbstractButton>(1075), Qt::LeftButton);
    ASSERT_EQ(open.count(), 3);
    EXPECT_EQ(open.at(0).at(0).toInt(), 333);
    EXPECT_EQ(open.at(1).at(0).toInt(), 334);
    EXPECT_EQ(open.at(2).at(0).toInt(), 346);
}

TEST_F(DialogOutputTest, TextsFollowTheLanguage) {
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_OUT_ROLE + 1] = 4;
    }
    Open(0);
    auto* role = Ctrl<QComboBox>(CDialogOutput::kRoleIds[1]);
    EXPECT_EQ(role->currentText(), "超低");
    EXPECT_EQ(role->count(), 8);
    EXPECT_EQ(Ctrl<QCheckBox>(1045)->text(), "静音");
    EXPECT_EQ(Ctrl<QAbstractButton>(1069)->text(), "通道1");
    SetLanguage(1);
    page->ReloadTexts();
    EXPECT_EQ(role->currentText(), "CH-SUB");
    EXPECT_EQ(role->itemText(2), "CH-SBL");
    EXPECT_EQ(Ctrl<QCheckBox>(1045)->text(), "Mute");
    EXPECT_EQ(Ctrl<QCheckBox>(1054)->text(), "Phase 180°");
    EXPECT_EQ(Ctrl<QAbstractButton>(1079)->text(), "CH 8");
    EXPECT_EQ(Ctrl<QRadioButton>(1191)->text(), "Channel delay");
    EXPECT_EQ(page->BandEditor()->Grid()->item(0, 1)->text(), "PEQ");
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DialogOutputTest, WheelAnywhereOnThePageMovesTheFocusedSlider) {
    Open(0);
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    auto* release = Slider(CDialogOutput::IDC_RELEASE);
    release->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), release);
    const int start = release->GetPos();
    QWidget* elsewhere = FindCtrl(page.get(), CDialogOutput::IDC_BANNER);
    QWheelEvent wheel(QPointF(5, 5), QPointF(elsewhere->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(elsewhere, &wheel);
    EXPECT_EQ(release->GetPos(), start + 1);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0][4], 27);

    // The role list under the cursor does not take the wheel while a slider has the focus.
    link.Clear();
    auto* role = Ctrl<QComboBox>(CDialogOutput::kRoleIds[3]);
    const int was = role->currentIndex();
    QWheelEvent down(QPointF(5, 5), QPointF(role->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(role, &down);
    EXPECT_EQ(role->currentIndex(), was);
    EXPECT_EQ(release->GetPos(), start);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0][3], 5);
}

TEST_F(DialogOutputTest, EqPanelStretchesAndTheGridKeepsItsHeight) {
    Open(0);
    const QRect grid = page->BandEditor()->geometry();
    page->resize(1400, 800);
    QApplication::processEvents();
    const QRect panel = page->EqPanel()->geometry();
    EXPECT_EQ(panel.right(), 1400 - 1 - 4);
    EXPECT_EQ(panel.bottom(), 800 - 1 - 4);
    EXPECT_EQ(page->BandEditor()->geometry(), grid);
}

// ---- Over the real transport ---------------------------------------------------------------------

namespace {

// Hands each report to the transport and keeps a copy in call order.
class CTeeLink : public ILink {
public:
    explicit CTeeLink(ILink& next) : m_next(next) {}
    int WriteReport(const Report& report) override {
        m_record.WriteReport(report);
        return m_next.WriteReport(report);
    }
    void Pause(std::chrono::milliseconds ms) override { m_next.Pause(ms); }
    std::vector<Report> Reports() const { return m_record.Reports(); }

private:
    ILink& m_next;
    CRecordingLink m_record;
};

} // namespace

TEST_F(DialogOutputTest, DraggingOverASlowProcessorEndsWithTheLastBandOnEveryLinkedChannel) {
    CWatchedSim sim;
    SimFaults faults;
    faults.nLatencyMs = 10;
    sim.SetFaults(faults);
    CUsbLink usb(sim, DispatchHandlers());
    ASSERT_TRUE(usb.Open());
    CTeeLink tee(usb);
    CUsbLink::PostWritesFromThisThread(true);
    SetLink(&tee);
    struct Restore {
        ILink* link;
        ~Restore() {
            CUsbLink::PostWritesFromThisThread(false);
            SetLink(link);
        }
    } restore{&link};

    Open(0);
    ClickCheck(LinkBox(2));
    ClickCheck(LinkBox(5));
    CEqPanel* panel = page->EqPanel();
    const QPoint at(qRound(panel->FreqToX(1000.0f)), qRound(panel->GainToY(0.0f)));
    using Clock = std::chrono::steady_clock;
    Clock::duration longest{};
    auto timed = [&](auto&& f) {
        const auto t0 = Clock::now();
        f();
        longest = std::max(longest, Clock::now() - t0);
    };
    timed([&] { SendMouse(panel, QEvent::MouseButtonPress, at, Qt::LeftButton); });
    constexpr int kSteps = 100;
    for (int i = 1; i <= kSteps; ++i) {
        // Up and down and to the right: every step is a new band value.
        const QPoint p = at + QPoint(i, (i % 40 < 20 ? -(i % 20) : (i % 20) - 20) * 3);
        timed([&] { SendMouse(panel, QEvent::MouseMove, p, Qt::LeftButton); });
        QTest::qWait(20);
    }
    timed([&] { SendMouse(panel, QEvent::MouseButtonRelease, at + QPoint(kSteps, 0), Qt::NoButton); });
    const auto queuedAt = Clock::now();
    usb.Flush();
    const auto drained = Clock::now() - queuedAt;
    usb.AwaitReply();

    const std::vector<Report> sent = tee.Reports();
    const std::vector<Report> received = sim.Received();
    // Link clicks (none), press, 100 moves, release: six reports each (three channels). A newer
    // value replaced a waiting one to its target, so far fewer went out, each target in order.
    EXPECT_EQ(sent.size(), (kSteps + 2) * 6u);
    EXPECT_TRUE(PerTargetOrderKept(sent, received));
    EXPECT_EQ(received.size() + usb.MergedCount(), sent.size());
    EXPECT_LT(received.size(), sent.size() / 2);
    // The processor ends with the shown band, record and coefficients, in every linked channel.
    const EqBand* b = panel->GetBand(5);
    const std::vector<Report> last = [&] {
        std::vector<Report> all;
        for (int c : {0, 2, 5})
            Append(all, BandReports(c, 5, b->fGain, b->fFreq, b->fQ, b->nType));
        return all;
    }();
    EXPECT_TRUE(std::equal(last.begin(), last.end(), sent.end() - 6));
    for (int k = 0; k < 3; ++k) {
        const int c = std::vector<int>{0, 2, 5}[k];
        const Report& rec = last[2 * k];
        const Report& coeffs = last[2 * k + 1];
        const int address = EqBandAddress(MOD_OUT1 + c, 5);
        sim.WithProcessor([&](CSimProcessor& proc) {
            EXPECT_TRUE(std::equal(rec.begin() + 5, rec.begin() + 5 + kBandRecordSize,
                                   proc.Current().mem.begin() + address))
                << c;
            std::vector<uint32_t> words;
            for (int w = 0; w < 5; ++w)
                words.push_back(ValueWord(coeffs, w));
            EXPECT_EQ(proc.Param(MOD_OUT1 + c, 5), words) << c;
        });
    }
    using ms = std::chrono::duration<double, std::milli>;
    std::cout << "[ measured ] longest UI-thread band change " << ms(longest).count() << " ms; "
              << sent.size() << " reports asked, " << received.size() << " sent, queue drained "
              << ms(drained).count() << " ms after the drag\n";
    usb.Close();
}
