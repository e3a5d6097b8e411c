// The compressor page: each slider sends the chosen channel's whole block, nothing reaches another
// channel, and the curve follows.
#include "pages/CompDlg.h"

#include "TestSupport.h"
#include "WidgetSupport.h"
#include "controls/CompressPanelPlus.h"
#include "controls/XBmpSlider.h"
#include "model/Setters.h"
#include "pages/DialogOutput.h"
#include "pages/SubPageHelpers.h"
#include "ui/Language.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

class CompDlgTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        for (int c = 0; c < kOutputChannels; ++c)
            StoreAndSendComp(c, CompValues{-20.0f, 2.0f, 10.0f, 100.0f});
        link.Clear();
    }
    void TearDown() override {
        page.reset();
        StoreTest::TearDown();
    }
    void Open() {
        page = std::make_unique<CCompDlg>(PageContext{nullptr, &state}, 0, nullptr);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        link.Clear();
    }
    template <class T> T* Ctrl(int id) { return ::Ctrl<T>(page.get(), id); }
    void Choose(int c) {
        auto* list = Ctrl<QComboBox>(CCompDlg::IDC_CHANNEL_LIST);
        list->setCurrentIndex(c);
        emit list->activated(c);
    }

    PageState state;
    std::unique_ptr<CCompDlg> page;
    const ScopedLanguage m_language{1}; // last: as if set after the members, restored before them
};

TEST_F(CompDlgTest, RatioSliderSendsTheChosenChannelOnly) {
    // Linked on the output page: the compressor page does not follow links.
    auto out = std::make_unique<CDialogOutput>(4);
    QTest::mouseClick(qobject_cast<QCheckBox*>(FindCtrl(out.get(), CDialogOutput::kLinkIds[5])),
                      Qt::LeftButton, {}, QPoint(7, 8));
    out.reset();
    Open();
    EXPECT_EQ(page->Channel(), 0); // the list starts on the first channel
    Choose(4);
    EXPECT_TRUE(Sent().empty());

    auto* ratio = Ctrl<CXBmpSlider>(CCompDlg::kSliderIds[COMP_RATIO]);
    ratio->SetPos(39);
    ratio->setFocus();
    QTest::keyClick(ratio, Qt::Key_Right); // to 40
    ASSERT_EQ(Sent().size(), 1u);
    const Report r = Sent()[0];
    EXPECT_EQ(r, BuildParamValues(MOD_OUT1 + 4, 27, EncodeCompressorBlock(-20.0f, 4.0f, 10.0f, 100.0f)));
    EXPECT_EQ(GetBE32(&r[6 + 4 * 2]), FloatBits(0.75f)); // 1 - 1/4
    EXPECT_FLOAT_EQ(SlotFloatValue(SET_OUT_COMP_RATIO + 4), 4.0f);
    EXPECT_FLOAT_EQ(SlotFloatValue(SET_OUT_COMP_RATIO + 5), 2.0f);
    EXPECT_EQ(Ctrl<QLineEdit>(CCompDlg::kValueIds[COMP_RATIO])->text(), "4.0:1");
    EXPECT_FLOAT_EQ(page->Panel()->SlopeAbove(), 0.25f);
}

TEST_F(CompDlgTest, ChannelListReloadsWithoutSendingAndSwitchActsOnTheChannel) {
    StoreAndSendComp(2, CompValues{-45.0f, 12.5f, 77.0f, 640.0f});
    SetSlot(SET_OUT_COMP_BYPASS + 2, 1);
    Open();
    Choose(2);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Ctrl<CXBmpSlider>(CCompDlg::kSliderIds[0])->GetPos(), -45);
    EXPECT_EQ(Ctrl<CXBmpSlider>(CCompDlg::kSliderIds[1])->GetPos(), 125);
    EXPECT_EQ(Ctrl<CXBmpSlider>(CCompDlg::kSliderIds[3])->GetPos(), 640);
    EXPECT_EQ(Ctrl<QLineEdit>(CCompDlg::kValueIds[0])->text(), "-45dB");
    EXPECT_EQ(Ctrl<QLineEdit>(CCompDlg::kValueIds[3])->text(), "640ms");
    auto* on = Ctrl<QCheckBox>(CCompDlg::IDC_COMP_ON);
    EXPECT_FALSE(on->isChecked());
    EXPECT_EQ(page->Panel()->On(), 0);
    QTest::mouseClick(on, Qt::LeftButton, {}, QPoint(7, on->height() / 2));
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_OUT1 + 2, 28, 0, 1)}));
    EXPECT_EQ(page->Panel()->On(), 1);

    // Values the sliders cannot show are held to their ranges; the curve still draws.
    link.Clear();
    StoreAndSendComp(3, CompValues{std::nanf(""), -4.0f, 1e9f, 0.0f});
    link.Clear();
    Choose(3);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Ctrl<CXBmpSlider>(CCompDlg::kSliderIds[0])->GetPos(), -60);
    EXPECT_EQ(Ctrl<CXBmpSlider>(CCompDlg::kSliderIds[1])->GetPos(), 10);
    EXPECT_EQ(Ctrl<CXBmpSlider>(CCompDlg::kSliderIds[2])->GetPos(), 100);
    EXPECT_FLOAT_EQ(CCompressPanelPlus::DrawnSlope(page->Panel()->SlopeAbove()), 1.0f);
}

TEST_F(CompDlgTest, ListNamesFollowTheLanguageAndKeepTheSelection) {
    Open();
    Choose(6);
    auto* list = Ctrl<QComboBox>(CCompDlg::IDC_CHANNEL_LIST);
    EXPECT_EQ(list->itemText(0), "CH 1");
    // The button row at a fresh start in English: the page's own captions, and the template's
    // texts where the language file has none.
    auto button = [this](int id) { return Ctrl<QAbstractButton>(id)->text(); };
    EXPECT_EQ(button(1069), "Main");
    EXPECT_EQ(button(1076), "Top");
    EXPECT_EQ(button(1077), QString::fromUtf8("通道6"));
    EXPECT_EQ(button(1079), QString::fromUtf8("通道8"));
    EXPECT_EQ(button(1073), "Location");
    SetLanguage(0);
    page->ReloadTexts();
    EXPECT_EQ(list->itemText(7), QString::fromUtf8("通道8"));
    EXPECT_EQ(list->currentIndex(), 6);
    EXPECT_EQ(button(1073), QString::fromUtf8("声道定位"));
}

// Both pages build the four values through one helper; a stored time that is not whole stays as it
// is on the compressor page and becomes whole milliseconds on the output page.
TEST_F(CompDlgTest, TheOutputPageRoundsStoredTimesTheCompressorPageKeepsThem) {
    const CompValues stored{-20.0f, 2.0f, 10.4f, 99.6f};
    StoreAndSendComp(1, stored);
    auto out = std::make_unique<CDialogOutput>(1);
    auto* ratio = qobject_cast<CXBmpSlider*>(FindCtrl(out.get(), CDialogOutput::IDC_RATIO));
    ASSERT_NE(ratio, nullptr);
    ratio->SetPos(29);
    ratio->setFocus();
    link.Clear();
    QTest::keyClick(ratio, Qt::Key_Right); // to 30
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParamValues(
                          MOD_OUT1 + 1, 27, EncodeCompressorBlock(-20.0f, 3.0f, 10.0f, 100.0f))}));
    out.reset();

    StoreAndSendComp(1, stored);
    Open();
    Choose(1);
    auto* pageRatio = Ctrl<CXBmpSlider>(CCompDlg::kSliderIds[COMP_RATIO]);
    pageRatio->SetPos(29);
    pageRatio->setFocus();
    QTest::keyClick(pageRatio, Qt::Key_Right);
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParamValues(
                          MOD_OUT1 + 1, 27, EncodeCompressorBlock(-20.0f, 3.0f, 10.4f, 99.6f))}));
    EXPECT_FLOAT_EQ(SlotFloatValue(SET_OUT_COMP_ATTACK + 1), 10.4f);
    EXPECT_FLOAT_EQ(SlotFloatValue(SET_OUT_COMP_RELEASE + 1), 99.6f);
}
