// The delay page against the recording link: what each control sends, byte for byte, and what the
// boxes, spins and panel show afterwards.
#include "pages/DelayDlg.h"

#include "TestSupport.h"
#include "WidgetSupport.h"
#include "controls/DelayPanel.h"
#include "controls/SpinButtons.h"
#include "controls/XBmpSlider.h"
#include "dsp/FilterResponse.h"
#include "model/Compound.h"
#include "model/Setters.h"
#include "pages/DialogOutput.h"
#include "pages/PageRegistry.h"
#include "pages/SubPageHelpers.h"
#include "ui/Language.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

std::vector<Report> BandReports(int channel, int band, float freq, int type) {
    const BandRecordBytes rec = EncodeBandRecord(0.0f, freq, 0.707f, type);
    const auto coeffs = EncodeBiquadBlock(CalcBiquad(type, 0.0f, freq, 0.707f));
    std::array<uint32_t, 5> words;
    for (int i = 0; i < 5; ++i)
        words[i] = FloatBits(coeffs[i]);
    return {BuildMemoryWrite(EqBandAddress(MOD_OUT1 + channel, band), kBandRecordSize, rec.data()),
            BuildParamValues(MOD_OUT1 + channel, band, words)};
}

// True when the box paints its whole text: the caret at the end lies the text's width right of the
// caret at the start, which holds only while the box has not scrolled its text.
bool ShowsWholeText(QLineEdit* edit) {
    const QString text = edit->text();
    auto caretX = [edit](int pos) {
        edit->setCursorPosition(pos);
        edit->grab(); // the box works out its scrolling as it paints
        return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
    };
    const int end = caretX(int(text.size()));
    const int start = caretX(0);
    return end - start == edit->fontMetrics().horizontalAdvance(text) && end < edit->width();
}

} // namespace

class DelayDlgTest : public StoreTest {
protected:
    void SetUp() override { StoreTest::SetUp(); }
    void TearDown() override {
        page.reset();
        StoreTest::TearDown();
    }
    void Open() {
        page = std::make_unique<CDelayDlg>(PageContext{nullptr, &state}, 0, nullptr);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        link.Clear();
    }
    template <class T> T* Ctrl(int id) { return ::Ctrl<T>(page.get(), id); }
    CValueEdit* Edit(int c) { return Ctrl<CValueEdit>(CDelayDlg::kEditIds[c]); }
    CSpinButtons* Spin(int c) { return Ctrl<CSpinButtons>(CDelayDlg::kSpinIds[c]); }
    void Type(int c, const QString& text) {
        Edit(c)->setFocus();
        Edit(c)->setText(text);
        QTest::keyClick(Edit(c), Qt::Key_Return);
    }
    void StoreDelay(int c, float ms) {
        auto lock = LockStore();
        SetSlotFloatBits(SET_OUT_DELAY + c, ms);
    }

    PageState state;
    std::unique_ptr<CDelayDlg> page;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

TEST_F(DelayDlgTest, TypedDelayIsHeldToItsRangeBeforeItIsShownStoredAndSent) {
    Open();
    Type(2, "250");
    ASSERT_EQ(Sent().size(), 1u);
    const Report r = Sent()[0];
    EXPECT_EQ(r[3], 7); // channel 3's block
    EXPECT_EQ(r[4], 18);
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 6, r.begin() + 10),
              (std::vector<uint8_t>{0x00, 0x00, 0x12, 0xC0}));
    EXPECT_EQ(Edit(2)->text(), "100.0ms");
    EXPECT_FLOAT_EQ(SlotFloatValue(SET_OUT_DELAY + 2), 100.0f);
    EXPECT_FLOAT_EQ(page->Panel()->Delay(2), 100.0f);
    EXPECT_EQ(Spin(2)->Pos(), 1000);

    link.Clear();
    Type(2, "0.5");
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_OUT1 + 2, 18, 72, 1)}));
    EXPECT_EQ(Edit(2)->text(), "1.5ms");

    // The unit is ignored as atof ignores it; garbage reads as 0, held to 1.5 (already stored: nothing).
    link.Clear();
    Type(4, "12.5ms");
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_OUT1 + 4, 18, 600, 1)}));
    link.Clear();
    StoreDelay(5, 1.5f);
    Type(5, "abc");
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Edit(5)->text(), "1.5ms");

    // A wheel over the page with the focus in a box goes to the box and stops there.
    link.Clear();
    Edit(5)->setFocus();
    Wheel(page.get(), 120, QPointF(5, 5));
    Wheel(page->Panel(), -120, QPointF(5, 5));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Edit(5)->text(), "1.5ms");
}

TEST_F(DelayDlgTest, EveryBoxShowsItsWholeValueUpTo100MsInBothLanguages) {
    for (int lang : {0, 1}) {
        SCOPED_TRACE(lang);
        SetLanguage(lang);
        for (int c = 0; c < kOutputChannels; ++c)
            StoreDelay(c, c % 2 ? 38.8f : 100.0f);
        Open();
        Type(2, "250"); // focused, as after Enter
        for (int c = 0; c < kOutputChannels; ++c) {
            SCOPED_TRACE(c);
            EXPECT_EQ(Edit(c)->text(), c % 2 ? "38.8ms" : "100.0ms");
            EXPECT_TRUE(ShowsWholeText(Edit(c)));
            // It stays left of its spin buttons.
            EXPECT_LE(Edit(c)->geometry().right(), Spin(c)->geometry().left());
        }
    }
}

TEST_F(DelayDlgTest, SpinsStepATenthAndStopAtTheLowerEnd) {
    StoreDelay(0, 2.3f);
    StoreDelay(1, 1.6f);
    Open();
    EXPECT_EQ(Spin(0)->Pos(), 23); // rounded, not 22
    EXPECT_EQ(Edit(0)->text(), "2.3ms");

    QTest::mouseClick(Spin(1)->Down(), Qt::LeftButton);
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_OUT1 + 1, 18, 72, 1)}));
    EXPECT_EQ(Edit(1)->text(), "1.5ms");
    link.Clear();
    QTest::mouseClick(Spin(1)->Down(), Qt::LeftButton);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Edit(1)->text(), "1.5ms");
    QTest::mouseClick(Spin(1)->Up(), Qt::LeftButton);
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_OUT1 + 1, 18, EncodeSamples(1.7f), 1)}));
    EXPECT_EQ(Edit(1)->text(), "1.7ms");
}

TEST_F(DelayDlgTest, WholeChannelRadioSendsModeThenFlatSplitBandsAndLocksTheSlider) {
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_OUT_DELAY_OFF + 1] = 0;
    }
    WriteBand(MOD_OUT1 + 1, 13, 0.0f, 1200.0f, 0.707f, EQ_HP); // index 7
    Open();
    auto* slider = Ctrl<CXBmpSlider>(CDelayDlg::kSplitIds[1]);
    EXPECT_TRUE(slider->IsSliderEnabled());
    EXPECT_EQ(slider->GetPos(), 7);
    EXPECT_EQ(Ctrl<QLabel>(CDelayDlg::kFreqIds[1])->text(), "1200Hz");

    QTest::mouseClick(Ctrl<QRadioButton>(CDelayDlg::kWholeIds[1]), Qt::LeftButton, {}, QPoint(5, 5));
    const float pair[2] = {1.0f, 0.0f};
    std::vector<Report> expected = {
        BuildParamValues(MOD_OUT1 + 1, 17, std::array<uint32_t, 2>{FloatBits(pair[0]), FloatBits(pair[1])})};
    for (const Report& r : BandReports(1, 13, 1200.0f, EQ_PEQ))
        expected.push_back(r);
    for (const Report& r : BandReports(1, 14, 1700.0f, EQ_PEQ))
        expected.push_back(r);
    EXPECT_EQ(Sent(), expected);
    EXPECT_EQ(SlotValue(SET_OUT_DELAY_WHOLE + 1), 1);
    EXPECT_FALSE(slider->IsSliderEnabled());

    // The disabled slider takes the wheel and does nothing with it.
    link.Clear();
    slider->setFocus();
    Wheel(slider, 120, QPointF(5, 5));
    Wheel(page.get(), 120, QPointF(5, 5));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(slider->GetPos(), 7);
    EXPECT_EQ(CurrentSplitIndex(1), 7);

    // Back to high frequencies: 1.0 and 1.0, the HP/LP pair again, the slider moves bands.
    QTest::mouseClick(Ctrl<QRadioButton>(CDelayDlg::kHfIds[1]), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Sent()[0],
              BuildParamValues(MOD_OUT1 + 1, 17, std::array<uint32_t, 2>{FloatBits(1.0f), FloatBits(1.0f)}));
    EXPECT_EQ(Sent()[1], BandReports(1, 13, 1200.0f, EQ_HP)[0]);
    link.Clear();
    slider->setFocus();
    Wheel(slider, 120, QPointF(5, 5));
    std::vector<Report> moved = BandReports(1, 13, 1300.0f, EQ_HP);
    for (const Report& r : BandReports(1, 14, 1800.0f, EQ_LP))
        moved.push_back(r);
    EXPECT_EQ(Sent(), moved);
    EXPECT_EQ(Ctrl<QLabel>(CDelayDlg::kFreqIds[1])->text(), "1300Hz");
}

TEST_F(DelayDlgTest, SwitchedOffChannelKeepsItsValuesAndItsMarkerStillDrags) {
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_OUT_DELAY_OFF + 0] = 0;
    }
    StoreDelay(0, 10.0f);
    Open();
    auto* sw = Ctrl<QCheckBox>(CDelayDlg::kSwitchIds[0]);
    EXPECT_TRUE(Edit(0)->isEnabled());
    QTest::mouseClick(sw, Qt::LeftButton, {}, QPoint(5, sw->height() / 2));
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_OUT1, 19, 1, 1)}));
    EXPECT_FALSE(Edit(0)->isEnabled());
    EXPECT_FALSE(Spin(0)->isEnabled());
    EXPECT_FALSE(Ctrl<QRadioButton>(CDelayDlg::kHfIds[0])->isEnabled());
    EXPECT_FALSE(Ctrl<CXBmpSlider>(CDelayDlg::kSplitIds[0])->IsSliderEnabled());
    EXPECT_FLOAT_EQ(SlotFloatValue(SET_OUT_DELAY), 10.0f);

    link.Clear();
    CDelayPanel* panel = page->Panel();
    const QPoint at = panel->MarkerCentre(0);
    SendMouse(panel, QEvent::MouseButtonPress, at, Qt::LeftButton);
    SendMouse(panel, QEvent::MouseMove, at + QPoint(40, 0), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, at + QPoint(40, 0), Qt::NoButton);
    ASSERT_FALSE(Sent().empty());
    const float ms = SlotFloatValue(SET_OUT_DELAY);
    EXPECT_GT(ms, 10.0f);
    EXPECT_EQ(Sent().back(), BuildParam(MOD_OUT1, 18, EncodeSamples(ms), 1));
    EXPECT_EQ(Edit(0)->text(), CFormat("%.1fms", ms));

    // A press that misses every marker sends nothing.
    link.Clear();
    SendMouse(panel, QEvent::MouseButtonPress, QPoint(2, 2), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, QPoint(2, 2), Qt::NoButton);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DelayDlgTest, ChannelButtonsOpenTheOutputPageAndTheRowShowsDelay) {
    Open();
    QSignalSpy spy(page.get(), &CPage::OpenPage);
    auto* row3 = Ctrl<CPageButton>(CChannelButtonRow::kChannelIds[2]);
    QTest::mouseClick(row3, Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), kTemplateOutputPage);
    EXPECT_EQ(spy[0][1].toInt(), 2);
    EXPECT_TRUE(Ctrl<CPageButton>(1074)->ShownPressed());
    EXPECT_FALSE(row3->ShownPressed());
    EXPECT_TRUE(Sent().empty());
}

// The output page's split slider: while whole-channel delay is selected it is disabled, and its wheel
// no longer rewrites the high/low-pass bands.
TEST_F(DelayDlgTest, OutputPageSplitSliderWheelSendsNothingWhileWholeChannel) {
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_OUT_DELAY_OFF + 3] = 0;
        g_Param.nSetting[SET_OUT_DELAY_WHOLE + 3] = 1;
    }
    WriteBand(MOD_OUT1 + 3, 13, 0.0f, 900.0f, 0.707f, EQ_PEQ);
    auto out = std::make_unique<CDialogOutput>(3);
    out->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(out.get()));
    link.Clear();
    auto* split = qobject_cast<CXBmpSlider*>(FindCtrl(out.get(), CDialogOutput::IDC_SPLIT));
    ASSERT_NE(split, nullptr);
    EXPECT_FALSE(split->IsSliderEnabled());
    split->setFocus();
    Wheel(split, 120, QPointF(5, 5));
    Wheel(split, -120, QPointF(5, 5));
    Wheel(split, -120, QPointF(5, 5));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(split->GetPos(), 4);
    EXPECT_EQ(ReadBand(MOD_OUT1 + 3, 13).nType, EQ_PEQ);
}
