// The small EQ panel: its summed curve and pixel positions at the plot's edges, the setters' limits, the
// music page's band loading, small sizes, the painted layers, the hover frame and the click.
#include "controls/SmallEqPanel.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace {

// One band's dB at point u from its transfer function, evaluated directly.
double DirectDb(int type, double gain, double hz, double q, int u) {
    if (type < 1 || type > 7) {
        return 0;
    }
    const BiquadCoeffs k = SmallEqBiquad(type, gain, hz, q);
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * SmallEqPointHz(u) / 48000);
    const std::complex<double> z2 = z1 * z1;
    return 20 * std::log10(std::abs((k.b0 + k.b1 * z1 + k.b2 * z2) / (1.0 + k.a1 * z1 + k.a2 * z2)));
}

class SmallEqPanelTest : public ::testing::Test {
protected:
    // W = 286, H = 150: 5 pixels per dB, 0 dB at y = 77, +15 at 2 and -15 at 152.
    // Shown, as on its page: a hidden widget gets its resize events only when it is shown.
    void SetUp() override {
        panel.resize(290, 154);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }

    // The total the panel should show: each band's value rounded to tenths, summed.
    double ExpectedTotal(int u) const {
        double sum = 0;
        for (int b = 0; b < kSmallEqBands; ++b) {
            const SmallEqBand* band = panel.Band(b);
            const double db = DirectDb(band->nType, band->fGain, band->fFreq, band->fQ, u);
            sum += std::trunc(10 * db + 0.5) / 10;
        }
        return sum;
    }
    void ExpectTotalsMatch() const {
        for (int u = 0; u < kSmallEqPoints; ++u) {
            EXPECT_NEAR(panel.TotalDb(u), ExpectedTotal(u), 1e-9) << "point " << u;
            EXPECT_NEAR(panel.TotalCurve()[u].y(), 77 - 5 * ExpectedTotal(u), 1e-6) << "point " << u;
        }
    }
    QImage Picture() { return panel.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void Enter(QPoint at) {
        QEnterEvent ev(at, panel.mapToGlobal(at), panel.mapToGlobal(at));
        QApplication::sendEvent(&panel, &ev);
    }
    void Leave() {
        QEvent ev(QEvent::Leave);
        QApplication::sendEvent(&panel, &ev);
    }

    CSmallEqPanel panel;
};

bool IsCurveBlue(const QColor& c) {
    return c.blue() > 150 && c.green() > 100 && c.red() < 60;
}

} // namespace

TEST_F(SmallEqPanelTest, SevenFlatBandsDrawAStraightLineAtTheMiddle) {
    const float freq[] = {31, 62, 125, 250, 500, 1000, 2000};
    for (int b = 0; b < kSmallEqBands; ++b) {
        EXPECT_EQ(panel.Band(b)->nType, EQ_PEQ);
        EXPECT_EQ(panel.Band(b)->fFreq, freq[b]);
        EXPECT_EQ(panel.Band(b)->fGain, 0);
        EXPECT_FLOAT_EQ(panel.Band(b)->fQ, 1.414f);
    }
    EXPECT_EQ(panel.Band(7), nullptr);
    EXPECT_EQ(panel.Band(-1), nullptr);
    for (int u = 0; u < kSmallEqPoints; ++u) {
        EXPECT_EQ(panel.TotalDb(u), 0);
        EXPECT_DOUBLE_EQ(panel.TotalCurve()[u].y(), 77);
        EXPECT_DOUBLE_EQ(panel.TotalCurve()[u].x(), 2 + u * 286.0 / 56);
    }
    const QImage img = Picture();
    for (int x : {10, 100, 200, 280}) {
        EXPECT_TRUE(IsCurveBlue(img.pixelColor(x, 77))) << x;
        EXPECT_FALSE(IsCurveBlue(img.pixelColor(x, 60))) << x;
    }
}

TEST_F(SmallEqPanelTest, SettersHoldTheirLimitsAndPlaceTheBandsPoint) {
    panel.SetBandGain(2, 20);
    EXPECT_EQ(panel.Band(2)->fGain, 15);
    panel.SetBandGain(2, -40);
    EXPECT_EQ(panel.Band(2)->fGain, -15);
    panel.SetBandGain(2, NAN);
    EXPECT_EQ(panel.Band(2)->fGain, -15);

    panel.SetBandFrequency(2, 0);
    EXPECT_EQ(panel.Band(2)->fFreq, 125);
    panel.SetBandFrequency(2, 5e-8f);
    EXPECT_EQ(panel.Band(2)->fFreq, 125);
    panel.SetBandFrequency(2, NAN);
    EXPECT_EQ(panel.Band(2)->fFreq, 125);
    panel.SetBandFrequency(2, 5);
    EXPECT_EQ(panel.Band(2)->fFreq, 20);
    panel.SetBandFrequency(2, 30000);
    EXPECT_EQ(panel.Band(2)->fFreq, 20000);

    panel.SetBandFrequency(2, 1000);
    panel.SetBandGain(2, 6);
    // x = 2 + trunc(log10(1000/10) * 286 / 3.4) = 2 + trunc(168.24)
    EXPECT_EQ(panel.Band(2)->ptHandle, QPointF(170, 47));
    // Bands outside 0..6 change nothing.
    const auto before = panel.TotalCurve();
    panel.SetBandGain(7, 9);
    panel.SetBandFrequency(-1, 300);
    panel.SetBandType(9, EQ_LS);
    panel.SetBandQ(-2, 3);
    EXPECT_EQ(panel.TotalCurve(), before);
}

TEST_F(SmallEqPanelTest, TotalCurveReachesThePlotsEdgesAndSumsRoundedBands) {
    // 501 Hz is point 28 exactly: a PEQ there peaks at its gain on the grid.
    panel.SetBandFrequency(3, 501);
    panel.SetBandGain(3, 20);
    EXPECT_DOUBLE_EQ(panel.TotalDb(28), 15);
    EXPECT_NEAR(panel.TotalCurve()[28].y(), 2, 1e-9); // top edge of the plot
    // Half a tenth is added and the result truncated towards zero, so -15 dB counts as -14.9.
    panel.SetBandGain(3, -15);
    EXPECT_DOUBLE_EQ(panel.TotalDb(28), -14.9);
    EXPECT_NEAR(panel.TotalCurve()[28].y(), 151.5, 1e-9); // half a pixel above the bottom edge
    ExpectTotalsMatch();

    // Several bands of every type, each rounded before the sum.
    panel.SetBandType(0, EQ_LS);
    panel.SetBandGain(0, 4.3f);
    panel.SetBandQ(0, 0.8f);
    panel.SetBandType(1, EQ_HP);
    panel.SetBandFrequency(1, 45);
    panel.SetBandQ(1, 0.7f);
    panel.SetBandType(4, SMALL_EQ_BANDPASS);
    panel.SetBandQ(4, 3);
    panel.SetBandType(5, EQ_HS);
    panel.SetBandGain(5, -7.7f);
    panel.SetBandType(6, SMALL_EQ_NOTCH);
    panel.SetBandFrequency(6, 7000);
    panel.SetBandQ(6, 4);
    ExpectTotalsMatch();
}

TEST_F(SmallEqPanelTest, BandsOfOtherTypesLeaveTheTotalUnchanged) {
    panel.SetBandGain(2, 9);
    const auto withOne = panel.TotalCurve();
    for (int type : {0, 8, 21, -4}) {
        panel.SetBandType(4, type);
        panel.SetBandGain(4, 12);
        EXPECT_EQ(panel.TotalCurve(), withOne) << type;
        panel.SetBandGain(4, 0);
        panel.SetBandType(4, EQ_PEQ);
    }
    EXPECT_EQ(panel.TotalCurve(), withOne);
    // Type 7 is a notch here (the reverb panel draws a stored code 7 as one): the total dips below
    // the one-band curve near 3 kHz and nowhere rises above it.
    panel.SetBandType(4, SMALL_EQ_NOTCH);
    panel.SetBandFrequency(4, 3000);
    panel.SetBandQ(4, 2);
    double deepest = 0;
    for (int u = 0; u < kSmallEqPoints; ++u) {
        const double dip = (panel.TotalCurve()[u].y() - withOne[u].y()) / -5; // in dB
        EXPECT_LE(dip, 1e-9) << u;
        deepest = std::min(deepest, dip);
    }
    EXPECT_LT(deepest, -10);
}

TEST_F(SmallEqPanelTest, ANotchOnAGridFrequencyStaysFinite) {
    const int hz = SmallEqPointHz(30);
    panel.SetBandType(0, SMALL_EQ_NOTCH);
    panel.SetBandFrequency(0, static_cast<float>(hz));
    EXPECT_LT(panel.Band(0)->dB[30], -60);
    for (int u = 0; u < kSmallEqPoints; ++u) {
        ASSERT_TRUE(std::isfinite(panel.TotalDb(u))) << u;
        ASSERT_TRUE(std::isfinite(panel.TotalCurve()[u].y())) << u;
        ASSERT_TRUE(std::isfinite(panel.Band(0)->pts[u].y())) << u;
    }
    EXPECT_FALSE(Picture().isNull());
}

TEST_F(SmallEqPanelTest, PanelsOfFourPixelsOrLessKeepTheirValues) {
    panel.SetBandGain(1, 8);
    panel.SetBandType(3, SMALL_EQ_NOTCH);
    std::array<double, kSmallEqPoints> total;
    for (int u = 0; u < kSmallEqPoints; ++u) {
        total[u] = panel.TotalDb(u);
    }
    for (QSize size : {QSize(290, 4), QSize(290, 3), QSize(3, 2), QSize(0, 0)}) {
        panel.resize(size);
        for (int u = 0; u < kSmallEqPoints; ++u) {
            ASSERT_EQ(panel.TotalDb(u), total[u]) << size.height();
            ASSERT_TRUE(std::isfinite(panel.TotalCurve()[u].x()));
            ASSERT_TRUE(std::isfinite(panel.TotalCurve()[u].y()));
        }
        panel.grab();
    }
    // Back at a usable size every point is placed again.
    panel.resize(400, 200);
    for (int u = 0; u < kSmallEqPoints; ++u) {
        EXPECT_NEAR(panel.TotalCurve()[u].x(), 2 + u * 396.0 / 56, 1e-9);
        EXPECT_NEAR(panel.TotalCurve()[u].y(), 2 + 98 - total[u] * 196 / 30, 1e-9);
    }
}

TEST_F(SmallEqPanelTest, LoadingStoredBandsAsTheMusicPageDoes) {
    // Echo panel: codes outside 0..5 are off; reverb panel: taken as stored.
    panel.LoadStoredBand(0, SMALL_EQ_NOTCH, 3, 800, 2, true);
    EXPECT_EQ(panel.Band(0)->nType, EQ_OFF);
    panel.LoadStoredBand(0, SMALL_EQ_NOTCH, 3, 800, 2, false);
    EXPECT_EQ(panel.Band(0)->nType, SMALL_EQ_NOTCH);
    EXPECT_FLOAT_EQ(panel.Band(0)->fQ, 2);

    // PEQ: Q 1.41 unless a Q is stored; every Q held to 1..30.
    panel.LoadStoredBand(1, EQ_PEQ, 20, 0, 0, true);
    EXPECT_FLOAT_EQ(panel.Band(1)->fQ, 1.41f);
    EXPECT_EQ(panel.Band(1)->fGain, 15);
    EXPECT_EQ(panel.Band(1)->fFreq, 62); // 0 Hz is ignored
    panel.LoadStoredBand(1, EQ_PEQ, 0, 100, 0.5f, true);
    EXPECT_FLOAT_EQ(panel.Band(1)->fQ, 1.0f);
    panel.LoadStoredBand(1, EQ_PEQ, 0, 100, 45, true);
    EXPECT_FLOAT_EQ(panel.Band(1)->fQ, 30);

    // LP and HP: Q 0.7 unless stored, held to 0.1..30.
    panel.LoadStoredBand(2, EQ_LP, -4, 5000, 0, true);
    EXPECT_FLOAT_EQ(panel.Band(2)->fQ, 0.7f);
    EXPECT_EQ(panel.Band(2)->fFreq, 5000);
    panel.LoadStoredBand(2, EQ_HP, 0, 200, 0.05f, true);
    EXPECT_FLOAT_EQ(panel.Band(2)->fQ, 0.1f);
    EXPECT_EQ(panel.Band(2)->nType, EQ_HP);

    // Music mode: every band PEQ, 0 dB, 100 Hz, Q 1: a flat curve.
    for (int b = 0; b < kSmallEqBands; ++b) {
        panel.LoadStoredBand(b, EQ_PEQ, 0, 100, 1.0f, true);
        EXPECT_FLOAT_EQ(panel.Band(b)->fQ, 1.0f);
    }
    for (int u = 0; u < kSmallEqPoints; ++u) {
        EXPECT_EQ(panel.TotalDb(u), 0);
    }
}

TEST_F(SmallEqPanelTest, PaintedLayersGridDimmingCurveAndPass) {
    QImage img = Picture();
    const QColor black(0, 0, 0);
    // Between grid lines the plot is black; the +15 and -15 dB lines are the light ones.
    EXPECT_EQ(img.pixelColor(150, 74), black);
    EXPECT_GT(img.pixelColor(150, 2).red(), img.pixelColor(150, 17).red());
    EXPECT_GT(img.pixelColor(150, 152).red(), img.pixelColor(150, 137).red());

    panel.SetDimmed(true);
    img = Picture();
    const QColor dim = img.pixelColor(150, 74);
    EXPECT_NEAR(dim.red(), 38, 2); // 0x60 at alpha 0x65 over black
    EXPECT_EQ(dim.red(), dim.blue());
    EXPECT_TRUE(IsCurveBlue(img.pixelColor(100, 77))); // the curve over the grey
    panel.SetDimmed(false);

    panel.SetCurveColour(0xFF646464);
    EXPECT_FALSE(IsCurveBlue(Picture().pixelColor(100, 77)));
    panel.SetCurveColour(0xFF00C8FF);

    auto whiteCount = [](const QImage& im) {
        int n = 0;
        for (int y = 0; y < im.height(); ++y) {
            for (int x = 0; x < im.width(); ++x) {
                n += im.pixelColor(x, y) == QColor(255, 255, 255);
            }
        }
        return n;
    };
    EXPECT_EQ(whiteCount(Picture()), 0);
    panel.SetBypass(true);
    img = Picture();
    EXPECT_GT(whiteCount(img), 50);                   // "PASS"
    EXPECT_TRUE(IsCurveBlue(img.pixelColor(10, 77))); // the curve is still drawn
    EXPECT_TRUE(IsCurveBlue(img.pixelColor(280, 77)));
}

TEST_F(SmallEqPanelTest, HoverDrawsACyanFrameUntilTheMouseLeaves) {
    const QColor cyan(0, 255, 255);
    EXPECT_EQ(CSmallEqPanel::HoverFrameColour(), cyan);
    Leave(); // the offscreen platform's cursor may sit on the window when it is shown
    EXPECT_FALSE(panel.IsHovered());
    EXPECT_NE(Picture().pixelColor(0, 0), cyan);
    Enter(QPoint(50, 50));
    EXPECT_TRUE(panel.IsHovered());
    QImage img = Picture();
    for (QPoint pt : {QPoint(0, 0), QPoint(289, 0), QPoint(0, 153), QPoint(289, 153), QPoint(145, 0)}) {
        EXPECT_EQ(img.pixelColor(pt), cyan) << pt.x() << "," << pt.y();
    }
    EXPECT_NE(img.pixelColor(1, 1), cyan); // one pixel wide
    Leave();
    EXPECT_FALSE(panel.IsHovered());
    EXPECT_NE(Picture().pixelColor(0, 0), cyan);
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 30), panel.mapToGlobal(QPointF(30, 30)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &move);
    EXPECT_TRUE(panel.IsHovered());
    // Disabled (the music page's Music mode): the frame goes and does not come back.
    panel.setEnabled(false);
    EXPECT_FALSE(panel.IsHovered());
    Enter(QPoint(50, 50));
    EXPECT_FALSE(panel.IsHovered());
    EXPECT_NE(Picture().pixelColor(0, 0), cyan);
}

TEST_F(SmallEqPanelTest, ALeftClickOnThePanelIsReported) {
    QSignalSpy clicked(&panel, &CSmallEqPanel::Clicked);
    QTest::mouseClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(100, 60));
    EXPECT_EQ(clicked.count(), 1);
    QTest::mouseClick(&panel, Qt::RightButton, Qt::NoModifier, QPoint(100, 60));
    EXPECT_EQ(clicked.count(), 1);
    // Pressed on the panel, released outside it: no click.
    QTest::mousePress(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(100, 60));
    QTest::mouseRelease(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(400, 60));
    EXPECT_EQ(clicked.count(), 1);
    // A disabled panel (the music page's Music mode) reports nothing.
    panel.setEnabled(false);
    QTest::mouseClick(&panel, Qt::LeftButton, Qt::NoModifier, QPoint(100, 60));
    EXPECT_EQ(clicked.count(), 1);
}
