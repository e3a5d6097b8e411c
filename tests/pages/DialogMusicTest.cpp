// The music page against the recording link: routes, gates and volumes, the effect list of each
// mode, the small effect EQ pictures and the way to the effect EQ page and back, the main equaliser
// of the mode, and the live status on the meters and the format text.
#include "pages/DialogMusic.h"

#include "TestSupport.h"
#include "WidgetSupport.h"
#include "controls/EqBandEditor.h"
#include "controls/EqPanel.h"
#include "controls/PeakMeterCtrl.h"
#include "controls/SmallEqPanel.h"
#include "controls/XBmpSlider.h"
#include "model/Setters.h"
#include "pages/DialogEfx.h"
#include "pages/EffectParams.h"
#include "pages/PageRegistry.h"
#include "ui/Language.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

namespace {

Report ParamF(int block, int param, float v) {
    return BuildParam(block, param, FloatBits(v), 1);
}

} // namespace

class DialogMusicTest : public StoreTest {
protected:
    void SetUp() override { StoreTest::SetUp(); }
    void TearDown() override {
        page.reset();
        StoreTest::TearDown();
    }
    void Open(int mode) {
        page = std::make_unique<CDialogMusic>(PageContext{nullptr, &state}, mode);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        link.Clear();
    }
    template <class T> T* Ctrl(int id) { return ::Ctrl<T>(page.get(), id); }
    void SetLive(int index, uint8_t value) {
        auto lock = LockStore();
        g_Param.byLiveStatus[index] = value;
    }
    PageState state;
    std::unique_ptr<CDialogMusic> page;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

TEST_F(DialogMusicTest, RoutesGatesAndVolumesSendTheirParameters) {
    Open(0);
    // Column 3 to set B: A's switch off first, then B's on.
    QTest::mouseClick(page->RouteRadio(2, false), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_EQ(Sent(), (std::vector<Report>{ParamF(MOD_MIC, 29, 0.0f), ParamF(MOD_MIC, 52, 1.0f)}));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_ROUTE_A + 2], 0);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_ROUTE_B + 2], 100);
    // The four columns are separate groups: column 1 keeps its choice.
    EXPECT_TRUE(page->RouteRadio(0, true)->isChecked() || page->RouteRadio(0, false)->isChecked());
    EXPECT_TRUE(page->RouteRadio(2, false)->isChecked());
    link.Clear();
    QTest::mouseClick(page->RouteRadio(2, true), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_EQ(Sent(), (std::vector<Report>{ParamF(MOD_MIC, 29, 1.0f), ParamF(MOD_MIC, 52, 0.0f)}));

    link.Clear();
    emit page->GateSlider(0)->SliderPos(1052, 100);
    emit page->VolumeSlider(0)->SliderPos(1056, 100);
    emit page->GateSlider(3)->SliderPos(1055, 37);
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(Bytes(sent[0], 1, 9),
              (std::vector<uint8_t>{CMD_SET_PARAM, 0, MOD_MIC, 8, 1, 0x3C, 0x23, 0xD7, 0x0A}));
    EXPECT_EQ(sent[1], ParamF(MOD_MIC, 4, 1.0f));
    EXPECT_EQ(sent[2], ParamF(MOD_MIC, 11, 37 / 10000.0f));
    EXPECT_EQ(g_Param.nSetting[SET_MIC_GATE + 3], 37);
    EXPECT_EQ(qobject_cast<QLabel*>(FindCtrl(page.get(), 1158))->text(), "37");
}

TEST_F(DialogMusicTest, RefreshShowsRoutesSlidersAndTheHiddenSourceLevel) {
    g_Param.nSetting[SET_MIC_ROUTE_A + 1] = 0;
    g_Param.nSetting[SET_MIC_ROUTE_A + 3] = 100;
    g_Param.nSetting[SET_MIC_LEVEL + 1] = 250; // clamped on the slider, shown as stored
    g_Param.nSetting[SET_MUSIC_SOURCE] = 3;
    g_Param.nSetting[SET_SRC_LEVEL_BT] = 64;
    SetLanguage(1);
    Open(1);
    EXPECT_TRUE(page->RouteRadio(1, false)->isChecked());
    EXPECT_TRUE(page->RouteRadio(3, true)->isChecked());
    EXPECT_EQ(page->VolumeSlider(1)->GetPos(), 100);
    EXPECT_EQ(qobject_cast<QLabel*>(FindCtrl(page.get(), 1162))->text(), "250");
    EXPECT_EQ(page->SourceSlider()->GetPos(), 64);
    EXPECT_FALSE(page->SourceSlider()->isVisible());
    EXPECT_EQ(qobject_cast<QLabel*>(FindCtrl(page.get(), 1175))->text(), "BT");
    EXPECT_EQ(qobject_cast<QLabel*>(FindCtrl(page.get(), 1153))->text(), "MNG");
    // Moving it would send the Bluetooth level.
    emit page->SourceSlider()->SliderPos(1060, 50);
    EXPECT_EQ(Sent(), (std::vector<Report>{ParamF(MOD_MUSIC, 30, 0.5f)}));
}

TEST_F(DialogMusicTest, TheEffectListEditsTheSetOfTheMode) {
    g_Param.nSetting[SET_ECHO_A_START] = 40;
    Open(0);
    CEffectParamList* list = page->EffectList();
    EXPECT_EQ(list->CurrentRow(), 0);
    EXPECT_EQ(list->item(0, 1)->foreground().color(), QColor(0, 200, 255));
    // Echo Start Vol: the slider's range stops it at 40.
    const QRect row6 = list->visualRect(list->model()->index(EFFECT_ECHO_START, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row6.center());
    EXPECT_EQ(list->CurrentRow(), EFFECT_ECHO_START);
    EXPECT_EQ(list->Slider()->GetRangeMin(), 40);
    EXPECT_EQ(list->NameLabel()->text(), QString::fromUtf8("回声起始音量"));
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(Sent(), (std::vector<Report>{ParamF(MOD_ECHO, 11, 0.4f)}));
    link.Clear();
    QTest::keyClick(list, Qt::Key_Right);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(Sent(), (std::vector<Report>{ParamF(MOD_ECHO, 11, 0.41f), ParamF(MOD_ECHO, 11, 0.42f)}));
    EXPECT_EQ(list->ValueBox()->text(), "42%");
    EXPECT_TRUE(list->ValueBox()->isReadOnly());
    link.Clear();
    // Every other key does nothing.
    for (Qt::Key key : {Qt::Key_PageUp, Qt::Key_Home, Qt::Key_A, Qt::Key_Space, Qt::Key_Return})
        QTest::keyClick(list, key);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(list->CurrentRow(), EFFECT_ECHO_START);
    // The wheel steps while the list has the focus.
    QApplication::setActiveWindow(page.get());
    list->setFocus();
    ASSERT_TRUE(list->hasFocus());
    Wheel(list->viewport(), -120);
    EXPECT_EQ(Sent(), (std::vector<Report>{ParamF(MOD_ECHO, 11, 0.41f)}));

    // Mode 1: set B, and Echo Time 4 also shows the new predelay.
    page->ChooseMode(1);
    EXPECT_EQ(state.nMusicPageMode, 1);
    EXPECT_EQ(list->item(0, 1)->foreground().color(), QColor(0, 255, 0));
    const QRect row5 = list->visualRect(list->model()->index(EFFECT_ECHO_TIME, 2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row5.center());
    link.Clear();
    emit list->Slider()->SliderPos(1000, 4);
    EXPECT_EQ(Sent().size(), 2u);
    EXPECT_EQ(list->item(EFFECT_ECHO_TIME, 2)->text(), "4ms");
    EXPECT_EQ(list->item(EFFECT_REVERB_PREDELAY, 2)->text(), "40ms");
}

TEST_F(DialogMusicTest, MusicModeChangesNothingThroughTheEffectParts) {
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_REVERB_B_LEVEL] = 77;
        g_Param.byImage[ADDR_EQ_REVERB_A + 6] = EQ_LP; // anything: Music mode reads none of it
    }
    Open(2);
    QSignalSpy spy(page.get(), &CPage::OpenPage);
    CEffectParamList* list = page->EffectList();
    EXPECT_EQ(list->item(0, 2)->text(), "77%");
    EXPECT_EQ(list->item(0, 1)->foreground().color(), QColor(100, 100, 100));
    EXPECT_FALSE(list->isEnabled());
    EXPECT_FALSE(list->Slider()->IsSliderEnabled());
    EXPECT_TRUE(page->ModeButton(2)->ShownPressed());
    EXPECT_FALSE(page->ModeButton(0)->ShownPressed());

    emit list->Slider()->SliderPos(1000, 10);
    list->Step(+1);
    QTest::keyClick(list, Qt::Key_Up);
    list->Slider()->setFocus();
    Wheel(list->Slider(), 120);
    for (CSmallEqPanel* panel : {page->ReverbPanel(), page->EchoPanel()}) {
        EXPECT_FALSE(panel->isEnabled());
        QTest::mouseClick(panel, Qt::LeftButton);
        // Flat and grey whatever the store holds.
        EXPECT_EQ(panel->CurveColour(), 0xFF646464u);
        for (int u = 0; u < kSmallEqPoints; ++u)
            ASSERT_NEAR(panel->TotalDb(u), 0.0, 1e-9) << u;
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(g_Param.nSetting[SET_REVERB_B_LEVEL], 77);
    EXPECT_EQ(list->item(0, 2)->text(), "77%");
}

TEST_F(DialogMusicTest, SmallPanelsOpenTheEffectPageWhichReturnsToTheMode) {
    {
        auto lock = LockStore();
        g_Param.byImage[ADDR_EQ_ECHO_B + 7 * 1 + 6] = 7;   // off in the echo picture
        g_Param.byImage[ADDR_EQ_REVERB_B + 7 * 1 + 6] = 7; // a notch in the reverb picture
        g_Param.nSetting[SET_ECHO_B_EQ_BYPASS] = 1;
    }
    Open(1);
    EXPECT_EQ(page->EchoPanel()->Band(1)->nType, EQ_OFF);
    EXPECT_EQ(page->ReverbPanel()->Band(1)->nType, 7);
    EXPECT_TRUE(page->EchoPanel()->Bypass());
    EXPECT_FALSE(page->ReverbPanel()->Bypass());
    EXPECT_EQ(page->EchoPanel()->CurveColour(), 0xFF00DC00u);

    QSignalSpy spy(page.get(), &CPage::OpenPage);
    QTest::mouseClick(page->EchoPanel(), Qt::LeftButton);
    QTest::mouseClick(page->ReverbPanel(), Qt::LeftButton);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy[0][0].toInt(), kTemplateEffectsPage);
    EXPECT_EQ(spy[0][1].toInt(), 3); // Echo B
    EXPECT_EQ(spy[1][1].toInt(), 1); // Reverb B
    EXPECT_TRUE(Sent().empty());

    // The way the view takes: the effect page from the registry, its back button, the music page.
    const PageContext context{nullptr, &state};
    page.reset();
    std::unique_ptr<CPage> efx(CreatePage(kTemplateEffectsPage, context, spy[1][1].toInt(), nullptr));
    auto* effects = qobject_cast<CDialogEfx*>(efx.get());
    ASSERT_NE(effects, nullptr);
    EXPECT_EQ(effects->EqPanel()->Kind(), EQ_REVERB_B);
    QSignalSpy back(efx.get(), &CPage::OpenPage);
    QTest::mouseClick(effects->BackButton(), Qt::LeftButton);
    ASSERT_EQ(back.count(), 1);
    EXPECT_EQ(back[0][0].toInt(), kTemplateMusicPage);
    efx.reset();
    std::unique_ptr<CPage> music(CreatePage(back[0][0].toInt(), context, back[0][1].toInt(), nullptr));
    auto* again = qobject_cast<CDialogMusic*>(music.get());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Mode(), 1);
    EXPECT_TRUE(again->ModeButton(1)->ShownPressed());
    EXPECT_EQ(again->EqPanel()->Kind(), EQ_MIC_B);
    // The Input category takes it back to Mic A.
    again->Select(0);
    EXPECT_EQ(again->Mode(), 0);
    EXPECT_EQ(state.nMusicPageMode, 0);
    EXPECT_EQ(again->EqPanel()->Kind(), EQ_MIC_A);
    EXPECT_TRUE(again->ModeButton(0)->ShownPressed());
}

// Pixels of the band grid, as the window last painted it, exactly in `colour` (the glyphs' fully
// covered pixels). What the window shows, not a fresh rendering: a change that repaints nothing is
// seen as the old colour.
int GridPixels(CDialogMusic* page, QColor colour) {
    QWidget* grid = page->BandEditor()->Grid()->viewport();
    QTest::qWait(20); // the updates the change asked for
    const QRect r(grid->mapTo(page, QPoint(0, 0)), grid->size());
    const QImage image =
        page->screen()->grabWindow(page->winId(), r.x(), r.y(), r.width(), r.height()).toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y).rgb() == colour.rgb();
    return n;
}

TEST_F(DialogMusicTest, TheBandGridIsPaintedInTheColourOfTheMode) {
    const QColor colours[3] = {QColor(0, 200, 255), QColor(0, 220, 0), QColor(255, 200, 0)};
    Open(0);
    for (int mode : {0, 1, 2, 0, 2, 1}) {
        SCOPED_TRACE(mode);
        QTest::mouseClick(page->ModeButton(mode), Qt::LeftButton);
        ASSERT_EQ(page->Mode(), mode);
        for (int other = 0; other < 3; ++other)
            if (other == mode)
                EXPECT_GT(GridPixels(page.get(), colours[other]), 100);
            else
                EXPECT_EQ(GridPixels(page.get(), colours[other]), 0) << other;
    }
}

// The route radios and the microphone labels of one row keep clear of each other in both languages:
// each radio is as wide as its text needs, and no text runs into the next control.
TEST_F(DialogMusicTest, RouteRadiosAndMicrophoneLabelsFitTheirTextsInBothLanguages) {
    Open(0);
    for (int lang : {0, 1, 0}) {
        SCOPED_TRACE(lang);
        SetLanguage(lang);
        page->ReloadTexts();
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(k);
            auto* label = Ctrl<QLabel>(CDialogMusic::kMicLabelIds[k]);
            auto* a = Ctrl<QRadioButton>(CDialogMusic::kRouteAIds[k]);
            auto* b = Ctrl<QRadioButton>(CDialogMusic::kRouteBIds[k]);
            EXPECT_EQ(a->text(), lang ? "CH A" : QString::fromUtf8("通道A"));
            const int labelText = label->fontMetrics().horizontalAdvance(label->text());
            EXPECT_LE(labelText, label->width());
            EXPECT_LE(label->geometry().right(), a->geometry().left());
            EXPECT_GE(a->width(), a->sizeHint().width());
            EXPECT_GE(b->width(), b->sizeHint().width());
            EXPECT_LT(a->geometry().right(), b->geometry().left());
            if (k < 3) {
                EXPECT_LT(b->geometry().right(),
                          Ctrl<QLabel>(CDialogMusic::kMicLabelIds[k + 1])->geometry().left());
            }
        }
    }
}

TEST_F(DialogMusicTest, TheMainEqualiserFollowsTheMode) {
    Open(0);
    CEqPanel* panel = page->EqPanel();
    // A drag on Mic A's band 2 writes record 0 + 14 and coefficient slot 18 of the microphone block.
    const EqBand* before = panel->GetBand(2);
    const QPoint at(qRound(panel->FreqToX(before->fFreq)), qRound(panel->GainToY(before->fGain)));
    SendMouse(panel, QEvent::MouseButtonPress, at, Qt::LeftButton);
    SendMouse(panel, QEvent::MouseMove, at + QPoint(5, -8), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, at + QPoint(5, -8), Qt::NoButton);
    const std::vector<Report> sent = Sent();
    ASSERT_FALSE(sent.empty());
    for (size_t i = 0; i + 1 < sent.size(); i += 2) {
        EXPECT_EQ(GetBE16(&sent[i][2]), 14u);
        EXPECT_EQ(Bytes(sent[i + 1], 1, 5), (std::vector<uint8_t>{CMD_SET_PARAM, 0, MOD_MIC, 18, 5}));
    }
    EXPECT_EQ(page->BandEditor()->SelectedBand(), 2);

    // Bypass and reset act on the mode's equaliser.
    page->ChooseMode(2);
    EXPECT_EQ(page->BandEditor()->SelectedBand(), -1);
    link.Clear();
    page->ToggleEqBypass();
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_MUSIC, 11, 1, 1)}));
    EXPECT_TRUE(page->EqPanel()->Bypass());
    link.Clear();
    page->PickBand(9);
    EXPECT_EQ(page->BandEditor()->SelectedBand(), 9);
    page->ResetEq();
    const std::vector<Report> reset = Sent();
    ASSERT_EQ(reset.size(), 20u);
    for (int b = 0; b < 10; ++b) {
        EXPECT_EQ(GetBE16(&reset[2 * b][2]), 336u + 7 * b);
        EXPECT_EQ(Bytes(reset[2 * b + 1], 3, 2), (std::vector<uint8_t>{MOD_MUSIC, uint8_t(b)}));
    }
    EXPECT_EQ(page->BandEditor()->SelectedBand(), -1);
    EXPECT_EQ(page->BandEditor()->Grid()->item(9, 3)->text(), "16000Hz");

    page->ChooseMode(1);
    link.Clear();
    page->ResetEq();
    ASSERT_EQ(Sent().size(), 20u);
    EXPECT_EQ(GetBE16(&Sent()[0][2]), 70u);
    EXPECT_EQ(Bytes(Sent()[19], 3, 2), (std::vector<uint8_t>{MOD_MIC, 48}));
}

TEST_F(DialogMusicTest, LiveStatusFeedsTheMetersAndTheFormatText) {
    Open(0);
    const uint8_t levels[6] = {3, 4, 48, 60, 200, 0};
    for (int i = 0; i < 6; ++i)
        SetLive(i, levels[i]);
    const std::pair<uint8_t, const char*> formats[] = {
        {3, "DOLBY"}, {6, "DTS"}, {4, "Multi-CH LPCM"}, {0, "Stereo"}, {0xF8, "Stereo"}};
    for (const auto& [byte, text] : formats) {
        SetLive(7, byte);
        page->FeedLive();
        EXPECT_EQ(page->FormatLabel()->text(), text) << int(byte);
    }
    const int lit[6] = {0, 1, 12, 15, 15, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(page->Meter(i)->Value(0), std::min<int>(levels[i], 60)) << i;
        EXPECT_EQ(page->Meter(i)->LitSegments(0), lit[i]) << i;
        EXPECT_TRUE(page->Meter(i)->IsTimerRunning()) << i;
    }
    // Left alone, a bar falls to 0 and its timer stops.
    CPeakMeterCtrl* meter = page->Meter(3);
    for (int t = 0; t < 15; ++t)
        meter->FallTick();
    EXPECT_EQ(meter->Value(0), 0);
    meter->FallTick();
    EXPECT_FALSE(meter->IsTimerRunning());
    EXPECT_TRUE(page->LiveTimer().isActive());
    EXPECT_EQ(page->LiveTimer().interval(), 300);
    EXPECT_EQ(page->Meter(4)->parentWidget(), FindCtrl(page.get(), CDialogMusic::IDC_MUSIC_GROUP));
}
