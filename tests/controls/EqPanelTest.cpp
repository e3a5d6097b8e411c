// The EQ panel driven by mouse, wheel and key events: the band values it keeps and the signals it sends.
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "controls/EqPanel.h"
#include "ui/Language.h"

namespace {

struct Sent {
    int nMsg;   // WM_EQ_...
    int nParam; // band index, or copy/paste flag
    int nKind;
    float fGain, fFreq, fQ;
    int nType;
};

class EqPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel.resize(1000, 420);
        QObject::connect(&panel, &CEqPanel::EqBandChanged, [this](const EqBandEdit& e) {
            // By value, and what the panel holds at the time.
            const EqBand* b = panel.GetBand(e.nIndex);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(e.band.fGain, b->fGain);
            EXPECT_EQ(e.band.fFreq, b->fFreq);
            EXPECT_EQ(e.band.fQ, b->fQ);
            EXPECT_EQ(e.band.nType, b->nType);
            EXPECT_EQ(e.nCompanions, e.nIndex == kCrossoverBand ? 3 : 0);
            sent.push_back(
                {WM_EQ_BAND_CHANGED, e.nIndex, -1, e.band.fGain, e.band.fFreq, e.band.fQ, e.band.nType});
        });
        QObject::connect(&panel, &CEqPanel::EqBandPicked, [this](EqBand* b, int i) {
            EXPECT_EQ(b, panel.GetBand(i));
            sent.push_back({WM_EQ_BAND_PICKED, i, -1, b->fGain, b->fFreq, b->fQ, b->nType});
        });
        QObject::connect(&panel, &CEqPanel::EqBandDeselect, [this] {
            sent.push_back({WM_EQ_BAND_DESELECT, 0, 0, 0, 0, 0, 0});
        });
        QObject::connect(&panel, &CEqPanel::EqCopyPaste, [this](int paste, int kind) {
            sent.push_back({WM_EQ_COPY_PASTE, paste, kind, 0, 0, 0, 0});
        });
    }

    // Client point of a band's handle centre, computed from its values.
    QPoint Handle(int band) const {
        const EqBand* b = panel.GetBand(band);
        return QPoint(qRound(panel.FreqToX(b->fFreq)), qRound(panel.GainToY(b->fGain)));
    }
    void Hover(QPoint pt) {
        QMouseEvent me(QEvent::MouseMove, pt, panel.mapToGlobal(pt), Qt::NoButton, Qt::NoButton,
                       Qt::NoModifier);
        QApplication::sendEvent(&panel, &me);
    }
    void Wheel(int delta) {
        const QPointF pt(500, 200);
        QWheelEvent we(pt, panel.mapToGlobal(pt), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(&panel, &we);
    }
    // Answers the next popup menu with the item whose command id is `id` (0: dismiss it), and keeps its
    // texts.
    void AnswerMenu(int id) {
        menuTexts.clear();
        QTimer::singleShot(0, [this, id] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* a : menu->actions()) {
                menuTexts << a->text();
                if (a->data().toInt() == id) {
                    menu->setActiveAction(a);
                }
            }
            QTest::keyClick(menu, id ? Qt::Key_Return : Qt::Key_Escape);
        });
    }
    int Count(int msg) const {
        int n = 0;
        for (const Sent& s : sent) {
            n += s.nMsg == msg;
        }
        return n;
    }

    CEqPanel panel;
    std::vector<Sent> sent;
    QStringList menuTexts;
    const ScopedLanguage m_language{1}; // last: as if set after the members, restored before them
};

TEST_F(EqPanelTest, PlotAreaAndCoordinateMappingAtItsEnds) {
    const QRect rc = panel.PlotArea();
    EXPECT_EQ(rc.left(), 36);
    EXPECT_EQ(rc.top(), 18);
    EXPECT_EQ(rc.right(), 994);
    EXPECT_EQ(rc.bottom(), 400);
    EXPECT_FLOAT_EQ(panel.FreqToX(18), 36);
    EXPECT_NEAR(panel.FreqToX(23000), 994, 1e-3);
    EXPECT_NEAR(panel.FreqToX(1000), 36 + 958 * std::log10(1000.0 / 18) / std::log10(23000.0 / 18), 1e-3);
    EXPECT_FLOAT_EQ(panel.GainToY(15), 18);
    EXPECT_FLOAT_EQ(panel.GainToY(-15), 400);
    EXPECT_FLOAT_EQ(panel.GainToY(0), 209);
    EXPECT_FLOAT_EQ(panel.XToFreq(0), 18);
    EXPECT_NEAR(panel.XToFreq(958), 23000, 0.05);
    EXPECT_FLOAT_EQ(panel.YToGain(0), 15);
    EXPECT_FLOAT_EQ(panel.YToGain(382), -15);
    EXPECT_FLOAT_EQ(panel.YToGain(191 + 5, 5), 0); // the grab offset is taken off
    panel.resize(400, 200);
    EXPECT_EQ(panel.PlotArea(), QRect(QPoint(36, 18), QPoint(394, 180)));
    EXPECT_NEAR(panel.FreqToX(23000), 394, 1e-3);

    const QStringList labels = CEqPanel::GainAxisLabels();
    ASSERT_EQ(labels.size(), 11);
    EXPECT_EQ(labels.front(), "-15dB");
    EXPECT_EQ(labels[5], "-0dB");
    EXPECT_EQ(labels[6], "+3dB");
    EXPECT_EQ(labels.back(), "+15dB");
}

TEST_F(EqPanelTest, BandCountPresetsAndSetterLimits) {
    panel.SetBandCount(7);
    EXPECT_EQ(panel.BandCount(), 7);
    const float f7[] = {31, 62, 125, 250, 500, 1000, 2000};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(panel.GetBand(i)->fFreq, f7[i]);
        EXPECT_EQ(panel.GetBand(i)->nType, EQ_PEQ);
        EXPECT_FLOAT_EQ(panel.GetBand(i)->fQ, 1.41f);
        EXPECT_EQ(panel.GetBand(i)->nIndex, i);
    }
    panel.SetBandGain(3, 22);
    EXPECT_EQ(panel.GetBand(3)->fGain, 15);
    EXPECT_EQ(panel.GetBand(3)->curve[0], panel.GetBand(3)->curve[0]); // computed, not NaN
    panel.SetBandType(3, EQ_LP);
    EXPECT_EQ(panel.GetBand(3)->fGain, 0);
    EXPECT_FLOAT_EQ(panel.GetBand(3)->fQ, 0.7f);
    panel.SetBandGain(3, 6);
    EXPECT_EQ(panel.GetBand(3)->fGain, 0); // LP carries no gain
    panel.SetBandQ(3, 5);
    EXPECT_EQ(panel.GetBand(3)->fQ, 2);
    panel.SetBandQ(3, 0);
    EXPECT_EQ(panel.GetBand(3)->fQ, 2); // zero is "no value"
    panel.SetBandType(2, EQ_LS);
    panel.SetBandGain(2, -20);
    EXPECT_EQ(panel.GetBand(2)->fGain, -15);
    panel.SetBandQ(1, 50);
    EXPECT_EQ(panel.GetBand(1)->fQ, 30);
    panel.SetBandQ(1, 0.01f);
    EXPECT_FLOAT_EQ(panel.GetBand(1)->fQ, 0.1f);

    // 13 on the output page keeps the values and zeroes the gains.
    panel.SetBandGain(1, 4);
    panel.SetBandCount(13);
    EXPECT_EQ(panel.GetBand(1)->fGain, 0);
    EXPECT_EQ(panel.GetBand(3)->nType, EQ_LP);
    EXPECT_EQ(panel.GetBand(12)->nIndex, 12);
    EXPECT_TRUE(sent.empty()); // page operations never signal
}

TEST_F(EqPanelTest, PressBetweenHandlesSelectsLowerIndexHoverShowsHigher) {
    panel.SetBandCount(10);
    panel.GetBand(2)->fFreq = panel.XToFreq(300);
    panel.GetBand(3)->fFreq = panel.XToFreq(308);
    panel.UpdateBandCurve(2);
    panel.UpdateBandCurve(3);
    const QPoint mid(36 + 304, qRound(panel.GainToY(0)));

    Hover(mid);
    EXPECT_EQ(panel.HoverBand(), 3);

    QTest::mousePress(&panel, Qt::LeftButton, {}, mid);
    EXPECT_EQ(panel.SelectedBand(), 2);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].nMsg, WM_EQ_BAND_CHANGED);
    EXPECT_EQ(sent[0].nParam, 2);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, mid);
    EXPECT_EQ(sent.size(), 1u); // no movement, nothing more

    // 10 pixels away misses; the miss deselects on release.
    QTest::mousePress(&panel, Qt::LeftButton, {}, Handle(5) + QPoint(0, 10));
    EXPECT_EQ(panel.SelectedBand(), -1);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, Handle(5) + QPoint(0, 10));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].nMsg, WM_EQ_BAND_DESELECT);
}

TEST_F(EqPanelTest, LeftDragMovesFrequencyAndGainWithinLimits) {
    panel.SetBandCount(10);
    const QPoint h = Handle(4) + QPoint(3, 4); // grabbed off-centre
    QTest::mousePress(&panel, Qt::LeftButton, {}, h);
    ASSERT_EQ(panel.SelectedBand(), 4);
    QTest::mouseMove(&panel, h + QPoint(1, 1)); // within the dead zone: nothing yet
    EXPECT_EQ(sent.size(), 1u);

    const QPoint to(36 + 600, 18 + 100);
    QTest::mouseMove(&panel, to);
    const EqBand* b = panel.GetBand(4);
    EXPECT_FLOAT_EQ(b->fFreq, panel.XToFreq(600)); // x takes no grab offset
    const float g = std::round(panel.YToGain(100, 4) * 10) / 10;
    EXPECT_FLOAT_EQ(b->fGain, g);
    EXPECT_NE(g, 0);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].nParam, 4);
    EXPECT_FLOAT_EQ(sent[1].fGain, g);

    QTest::mouseMove(&panel, QPoint(990, -60)); // above the plot
    EXPECT_EQ(b->fGain, 15);
    EXPECT_EQ(b->fFreq, 20000);
    QTest::mouseMove(&panel, QPoint(5, 500));
    EXPECT_EQ(b->fGain, -15);
    EXPECT_EQ(b->fFreq, 20);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(5, 500));
    EXPECT_EQ(Count(WM_EQ_BAND_CHANGED), 5); // press, three moves, release
    EXPECT_EQ(panel.SelectedBand(), 4);
}

TEST_F(EqPanelTest, DraggedLowPassAndHighPassKeepZeroGain) {
    panel.SetBandCount(10);
    panel.SetBandType(2, EQ_LP);
    panel.SetBandType(7, EQ_HP);
    for (int band : {2, 7}) {
        sent.clear();
        const QPoint h = Handle(band);
        QTest::mousePress(&panel, Qt::LeftButton, {}, h);
        QTest::mouseMove(&panel, h + QPoint(20, -120));
        QTest::mouseRelease(&panel, Qt::LeftButton, {}, h + QPoint(20, -120));
        EXPECT_EQ(panel.GetBand(band)->fGain, 0);
        EXPECT_GT(panel.GetBand(band)->fFreq, band == 2 ? 125.0f : 4000.0f);
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[1].fGain, 0);
    }
}

TEST_F(EqPanelTest, RightDragChangesQ) {
    panel.SetBandCount(10);
    const QPoint h = Handle(3);
    QTest::mousePress(&panel, Qt::RightButton, {}, h);
    ASSERT_EQ(panel.SelectedBand(), 3);
    QTest::mouseMove(&panel, h + QPoint(12, 0));
    EXPECT_FLOAT_EQ(panel.GetBand(3)->fQ, 2.41f);
    QTest::mouseMove(&panel, h + QPoint(-400, 0));
    EXPECT_FLOAT_EQ(panel.GetBand(3)->fQ, 0.1f);
    QTest::mouseMove(&panel, h + QPoint(-394, 0)); // steps from the last x, not the press
    EXPECT_FLOAT_EQ(panel.GetBand(3)->fQ, 0.6f);
    QTest::mouseRelease(&panel, Qt::RightButton, {}, h + QPoint(-394, 0)); // moved: no menu
    EXPECT_EQ(Count(WM_EQ_BAND_CHANGED), 5);
    EXPECT_FLOAT_EQ(sent.back().fQ, 0.6f);

    // Shelves step by 80 pixels and stop at 2.
    panel.SetBandType(6, EQ_LS);
    const QPoint s = Handle(6) + QPoint(15, -15); // right button tolerance is 16
    QTest::mousePress(&panel, Qt::RightButton, {}, s);
    ASSERT_EQ(panel.SelectedBand(), 6);
    QTest::mouseMove(&panel, s + QPoint(80, 0));
    EXPECT_FLOAT_EQ(panel.GetBand(6)->fQ, 1.7f);
    QTest::mouseMove(&panel, s + QPoint(200, 0));
    EXPECT_EQ(panel.GetBand(6)->fQ, 2);
    QTest::mouseRelease(&panel, Qt::RightButton, {}, s + QPoint(200, 0));
}

TEST_F(EqPanelTest, RightClickOnBandOffersTypesAndAppliesOne) {
    panel.SetBandCount(10);
    panel.SetBandGain(5, 6);
    AnswerMenu(ID_EQ_TYPE_HS);
    QTest::mouseClick(&panel, Qt::RightButton, {}, Handle(5));
    EXPECT_EQ(menuTexts, QStringList({"PEQ", "LP", "HP", "LS", "HS"}));
    const EqBand* b = panel.GetBand(5);
    EXPECT_EQ(b->nType, EQ_HS);
    EXPECT_EQ(b->fGain, 0);
    EXPECT_FLOAT_EQ(b->fQ, 0.7f);
    ASSERT_EQ(sent.size(), 3u); // press, release, type
    EXPECT_EQ(sent[2].nType, EQ_HS);

    SetLanguage(0);
    sent.clear();
    AnswerMenu(0);
    QTest::mouseClick(&panel, Qt::RightButton, {}, Handle(5));
    EXPECT_EQ(menuTexts, QStringList({"参量(PEQ)", "低通(LP)", "高通(HP)", "低架(LS)", "高架(HS)"}));
    EXPECT_EQ(sent.size(), 2u); // dismissed: no type change
    EXPECT_EQ(b->nType, EQ_HS);
}

TEST_F(EqPanelTest, RightClickOnEmptySpotCopiesOrPastes) {
    panel.SetBandCount(10);
    panel.SetKind(EQ_REVERB_B);
    AnswerMenu(ID_EQ_PASTE);
    QTest::mouseClick(&panel, Qt::RightButton, {}, QPoint(500, 60));
    EXPECT_EQ(menuTexts, QStringList({"Copy EQ", "Paste EQ", "", "Import filters…", "Export filters…",
                                      "Auto EQ from measurement…"}));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].nMsg, WM_EQ_COPY_PASTE);
    EXPECT_EQ(sent[0].nParam, 1);
    EXPECT_EQ(sent[0].nKind, EQ_REVERB_B);

    SetLanguage(0);
    AnswerMenu(ID_EQ_COPY);
    QTest::mouseClick(&panel, Qt::RightButton, {}, QPoint(500, 60));
    EXPECT_EQ(menuTexts,
              QStringList({"复制均衡", "粘贴均衡", "", "导入滤波器…", "导出滤波器…", "根据测量自动均衡…"}));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].nParam, 0);

    QSignalSpy autoEq(&panel, &CEqPanel::EqAutoEq);
    AnswerMenu(ID_EQ_AUTO);
    QTest::mouseClick(&panel, Qt::RightButton, {}, QPoint(500, 60));
    ASSERT_EQ(autoEq.size(), 1);
    EXPECT_EQ(autoEq[0][0].toInt(), EQ_REVERB_B);
    EXPECT_EQ(sent.size(), 2u);
}

TEST_F(EqPanelTest, OffBandHasNoLeftHitButRightButtonFindsIt) {
    panel.SetBandCount(10);
    panel.grab(); // handles are placed where they were last drawn
    const QPoint h = Handle(4);
    panel.SetBandType(4, EQ_OFF);
    const ResponseCurve before = panel.GetBand(4)->curve;
    panel.SetBandGain(4, 9);
    EXPECT_EQ(panel.GetBand(4)->curve, before); // an off band keeps its old curve

    QTest::mouseClick(&panel, Qt::LeftButton, {}, h);
    EXPECT_EQ(panel.SelectedBand(), -1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].nMsg, WM_EQ_BAND_DESELECT);
    Hover(h);
    EXPECT_EQ(panel.HoverBand(), -1);

    QTest::mousePress(&panel, Qt::RightButton, {}, h);
    EXPECT_EQ(panel.SelectedBand(), 4);
    EXPECT_EQ(sent.back().nParam, 4);
    QTest::mouseMove(&panel, h + QPoint(30, 0));
    QTest::mouseRelease(&panel, Qt::RightButton, {}, h + QPoint(30, 0));
}

TEST_F(EqPanelTest, WheelStepsGainOfGainTypesOnly) {
    panel.SetBandCount(10);
    Wheel(120); // nothing selected
    EXPECT_TRUE(sent.empty());

    panel.SetBandType(2, EQ_LP);
    panel.SetSelectedBand(2);
    Wheel(120);
    Wheel(-120);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(panel.GetBand(2)->fGain, 0);

    panel.SetSelectedBand(1);
    Wheel(720); // one step whatever the size
    EXPECT_FLOAT_EQ(panel.GetBand(1)->fGain, 0.1f);
    Wheel(-1);
    Wheel(-1);
    EXPECT_FLOAT_EQ(panel.GetBand(1)->fGain, -0.1f);
    EXPECT_EQ(Count(WM_EQ_BAND_CHANGED), 3);
    panel.SetBandGain(1, 14.95f);
    Wheel(120);
    EXPECT_EQ(panel.GetBand(1)->fGain, 15);
}

TEST_F(EqPanelTest, SelectionKeysResendAtTheEnds) {
    panel.SetBandCount(7);
    QTest::keyClick(&panel, Qt::Key_PageDown); // nothing selected: ignored
    EXPECT_TRUE(sent.empty());
    panel.SetSelectedBand(6);
    QTest::keyClick(&panel, Qt::Key_PageDown);
    EXPECT_EQ(panel.SelectedBand(), 6);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].nMsg, WM_EQ_BAND_CHANGED);
    EXPECT_EQ(sent[0].nParam, 6);
    QTest::keyClick(&panel, Qt::Key_Home);
    QTest::keyClick(&panel, Qt::Key_PageUp);
    EXPECT_EQ(panel.SelectedBand(), 0);
    QTest::keyClick(&panel, Qt::Key_End);
    EXPECT_EQ(panel.SelectedBand(), 6);
    EXPECT_EQ(sent.size(), 4u);

    // Output channels stop at the crossover, not at the companions.
    panel.SetKind(EQ_OUT2);
    panel.SetBandCount(13);
    panel.SetSelectedBand(8);
    QTest::keyClick(&panel, Qt::Key_PageDown);
    QTest::keyClick(&panel, Qt::Key_PageDown);
    EXPECT_EQ(panel.SelectedBand(), 9);
    QTest::keyClick(&panel, Qt::Key_Home);
    QTest::keyClick(&panel, Qt::Key_End);
    EXPECT_EQ(panel.SelectedBand(), 9);
    EXPECT_EQ(sent.back().nParam, 9);
}

TEST_F(EqPanelTest, ValueKeysStepAndClamp) {
    panel.SetBandCount(10);
    panel.SetSelectedBand(5); // 1000 Hz, PEQ
    QTest::keyClick(&panel, Qt::Key_Right);
    EXPECT_EQ(panel.GetBand(5)->fFreq, 1005); // 1000 is not above 1000
    QTest::keyClick(&panel, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(panel.GetBand(5)->fFreq, 1016);
    QTest::keyClick(&panel, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(panel.GetBand(5)->fFreq, 1005);
    panel.SetSelectedBand(0);
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(&panel, Qt::Key_Left); // 31 Hz down by 2 Hz, held at 20
    }
    EXPECT_EQ(panel.GetBand(0)->fFreq, 20);

    QTest::keyClick(&panel, Qt::Key_Up);
    QTest::keyClick(&panel, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(panel.GetBand(0)->fGain, 0.3f);
    QTest::keyClick(&panel, Qt::Key_Down);
    EXPECT_NEAR(panel.GetBand(0)->fGain, 0.1f, 1e-6);
    panel.SetBandGain(0, 14.9f);
    QTest::keyClick(&panel, Qt::Key_Up);
    EXPECT_EQ(panel.GetBand(0)->fGain, 15);

    QTest::keyClick(&panel, Qt::Key_Plus);
    EXPECT_FLOAT_EQ(panel.GetBand(0)->fQ, 1.51f);
    QTest::keyClick(&panel, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(panel.GetBand(0)->fQ, 1.5f);

    // An HP band takes no gain keys and keeps Q within 2.
    panel.SetBandType(9, EQ_HP);
    panel.SetSelectedBand(9);
    QTest::keyClick(&panel, Qt::Key_Up);
    EXPECT_EQ(panel.GetBand(9)->fGain, 0);
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(&panel, Qt::Key_Plus);
    }
    EXPECT_EQ(panel.GetBand(9)->fQ, 2);
    EXPECT_EQ(sent.back().nParam, 9);
    EXPECT_EQ(sent.back().fQ, 2);
    QTest::keyClick(&panel, Qt::Key_F5); // consumed, nothing sent
    EXPECT_EQ(Count(WM_EQ_BAND_CHANGED), 40);
}

TEST_F(EqPanelTest, TypeKeysStepThroughTheFiveTypes) {
    panel.SetBandCount(10);
    panel.SetSelectedBand(3);
    QTest::keyClick(&panel, Qt::Key_Comma); // PEQ has no previous type
    EXPECT_EQ(panel.GetBand(3)->nType, EQ_PEQ);
    QTest::keyClick(&panel, Qt::Key_Period);
    EXPECT_EQ(panel.GetBand(3)->nType, EQ_LP);
    EXPECT_FLOAT_EQ(panel.GetBand(3)->fQ, 0.7f);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(&panel, Qt::Key_Period);
    }
    EXPECT_EQ(panel.GetBand(3)->nType, EQ_HS);
    QTest::keyClick(&panel, Qt::Key_Comma);
    EXPECT_EQ(panel.GetBand(3)->nType, EQ_LS);
    EXPECT_EQ(sent.back().nType, EQ_LS);
    EXPECT_EQ(Count(WM_EQ_BAND_CHANGED), 8);
}

TEST_F(EqPanelTest, OutputBand9TakesCrossoverPresetsAndIgnoresTypeKeys) {
    panel.SetKind(EQ_OUT1);
    panel.SetBandCount(10);
    panel.SetBandCount(13);
    panel.GetBand(9)->fFreq = 12000;
    panel.GetBand(9)->fQ = 0.9f;
    AnswerMenu(ID_EQ_TYPE_LP);
    QTest::mouseClick(&panel, Qt::RightButton, {}, Handle(9));
    const int lp[4] = {18, 20, 1, 1};
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(panel.GetBand(9 + j)->nType, lp[j]) << j;
        EXPECT_EQ(panel.GetBand(9 + j)->fGain, 0);
        EXPECT_EQ(panel.GetBand(9 + j)->fFreq, 12000); // companions follow band 9
        EXPECT_FLOAT_EQ(panel.GetBand(9 + j)->fQ, 0.9f);
    }
    EXPECT_EQ(sent.back().nType, 18);
    EXPECT_LT(panel.GetBand(10)->curve[511], -6); // the companion's low-pass is computed

    sent.clear();
    QTest::keyClick(&panel, Qt::Key_Comma);
    QTest::keyClick(&panel, Qt::Key_Period);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(panel.GetBand(9)->nType, 18);

    panel.SetCrossoverFamily(9, 2); // low-pass direction kept: LR 36 dB
    const int lr36[4] = {14, 10, 14, 10};
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(panel.GetBand(9 + j)->nType, lr36[j]);
    }
    panel.SetBandTypeWithCrossover(9, EQ_HP);
    EXPECT_EQ(panel.GetBand(9)->nType, 19);
    EXPECT_EQ(panel.GetBand(10)->nType, 21);
    panel.SetCrossoverFamily(8, 0); // only band 9 has a crossover
    EXPECT_EQ(panel.GetBand(8)->nType, EQ_PEQ);
    panel.SetBandTypeWithCrossover(3, EQ_LS);
    EXPECT_EQ(panel.GetBand(3)->nType, EQ_LS);
    EXPECT_EQ(panel.GetBand(10)->nType, 21);
}

TEST_F(EqPanelTest, DigitKeysPickBandsThatExist) {
    panel.SetBandCount(7);
    QTest::keyClick(&panel, Qt::Key_3); // nothing selected: ignored
    EXPECT_EQ(panel.SelectedBand(), -1);
    panel.SetSelectedBand(0);
    for (Qt::Key k : {Qt::Key_8, Qt::Key_9, Qt::Key_0}) {
        QTest::keyClick(&panel, k);
    }
    EXPECT_EQ(panel.SelectedBand(), 0);
    EXPECT_TRUE(sent.empty());
    QTest::keyClick(&panel, Qt::Key_7, Qt::KeypadModifier);
    EXPECT_EQ(panel.SelectedBand(), 6);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].nMsg, WM_EQ_BAND_PICKED);
    EXPECT_EQ(sent[0].nParam, 6);

    panel.SetKind(EQ_OUT8);
    panel.SetBandCount(13);
    QTest::keyClick(&panel, Qt::Key_0);
    EXPECT_EQ(panel.SelectedBand(), 9);
    EXPECT_EQ(sent.back().nMsg, WM_EQ_BAND_PICKED);
    EXPECT_EQ(sent.back().nParam, 9);
}

TEST_F(EqPanelTest, TitlesFollowKindAndLanguage) {
    EXPECT_EQ(CEqPanel::KindTitle(EQ_ECHO_B), "Echo B EQ");
    EXPECT_EQ(CEqPanel::KindTitle(EQ_OUT8), "CH8 EQ");
    SetLanguage(0);
    EXPECT_EQ(CEqPanel::KindTitle(EQ_REVERB_A), "混响A均衡");
    EXPECT_EQ(CEqPanel::KindTitle(EQ_OUT1), "通道1均衡");
    EXPECT_EQ(CEqPanel::KindTitle(15), "");
}

} // namespace
