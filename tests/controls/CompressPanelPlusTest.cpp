// The compressor's transfer curve: its points for the page's values, what it draws for values that
// cannot be drawn, and "OFF" over an unchanged picture.
#include <QImage>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "controls/CompressPanelPlus.h"

namespace {

using Curve = CCompressPanelPlus::Curve;

// 348 × 333 gives a 288 × 288 plot: 3 pixels per dB, x(d) = 40 + 3 (d + 90), y(d) = 20 + 3 (6 - d).
constexpr int kW = 348, kH = 333;

Curve PageCurve(float threshold, float ratio) {
    return CCompressPanelPlus::CurveFor(kW, kH, threshold, -90, CCompressPanelPlus::SlopeForRatio(ratio), 1);
}

void ExpectSameCurve(const Curve& a, const Curve& b) {
    EXPECT_EQ(a.ptStart, b.ptStart);
    EXPECT_EQ(a.ptLower, b.ptLower);
    EXPECT_EQ(a.ptKnee, b.ptKnee);
    EXPECT_EQ(a.ptEnd, b.ptEnd);
    EXPECT_EQ(a.rcBand, b.rcBand);
}

TEST(CompressPanelGeometry, PageValuesDrawTheDiagonalUpToTheThresholdThenTheRatio) {
    // Lower point -90 with slope 1: segment 1 is one point, segment 2 the diagonal from -90 dB.
    const Curve c = PageCurve(-15, 4);
    EXPECT_EQ(c.ptStart, QPoint(40, 308));
    EXPECT_EQ(c.ptLower, QPoint(40, 308));
    EXPECT_EQ(c.ptKnee, QPoint(265, 83));
    EXPECT_EQ(c.ptEnd, QPoint(328, 67)); // 83 - 63 / 4 = 67.25, truncated
    EXPECT_EQ(c.rcBand, QRect(40, 67, 288, 241));

    // 1:1 is one straight diagonal from (-90, -90) to (+6, +6).
    const Curve one = PageCurve(-40, 1);
    EXPECT_EQ(one.ptKnee, QPoint(40 + 150, 20 + 138));
    EXPECT_EQ(one.ptEnd, QPoint(328, 20));
    EXPECT_EQ(one.ptKnee.x() - one.ptStart.x(), one.ptStart.y() - one.ptKnee.y());

    // Threshold 0 dB at 30:1 ends 0.2 dB above the knee: 0.6 pixels, truncated.
    const Curve thirty = PageCurve(0, 30);
    EXPECT_EQ(thirty.ptKnee, QPoint(310, 38));
    EXPECT_EQ(thirty.ptEnd, QPoint(328, 37));

    // The panel's own start values: lower point -5 dB, both slopes 1.
    const Curve def = CCompressPanelPlus::CurveFor(kW, kH, -15, -5, 1, 1);
    EXPECT_EQ(def.ptStart, QPoint(40, 308));
    EXPECT_EQ(def.ptLower, QPoint(295, 53));
    EXPECT_EQ(def.ptKnee, QPoint(265, 83));
    EXPECT_EQ(def.ptEnd, QPoint(328, 20));
}

TEST(CompressPanelGeometry, ValuesThatCannotBeDrawnAreHeldToFiniteOnes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float ratio : {0.0f, -4.0f, nan, inf, -inf, 1e-45f}) {
        EXPECT_EQ(CCompressPanelPlus::SlopeForRatio(ratio), 1.0f) << ratio;
    }
    EXPECT_EQ(CCompressPanelPlus::SlopeForRatio(4), 0.25f);
    for (float slope : {nan, inf, -inf, -0.5f}) {
        EXPECT_EQ(CCompressPanelPlus::DrawnSlope(slope), 1.0f) << slope;
    }
    EXPECT_EQ(CCompressPanelPlus::DrawnSlope(0), 0.0f); // a limiter: flat above the threshold

    EXPECT_EQ(CCompressPanelPlus::DrawnThreshold(50), 6.0f);
    EXPECT_EQ(CCompressPanelPlus::DrawnThreshold(-200), -90.0f);
    EXPECT_EQ(CCompressPanelPlus::DrawnThreshold(nan), 6.0f);
    EXPECT_EQ(CCompressPanelPlus::DrawnThreshold(-inf), -90.0f);
    EXPECT_EQ(CCompressPanelPlus::DrawnLowerPoint(nan), -90.0f);
    EXPECT_EQ(CCompressPanelPlus::DrawnLowerPoint(20), 6.0f);

    // A threshold above +6 dB is drawn at +6: the knee in the top right corner.
    const Curve high = PageCurve(50, 4);
    EXPECT_EQ(high.ptKnee, QPoint(328, 20));
    EXPECT_EQ(high.ptEnd, QPoint(328, 20));
    ExpectSameCurve(PageCurve(nan, 4), high);
    ExpectSameCurve(PageCurve(-1000, 2), PageCurve(-90, 2));
    ExpectSameCurve(CCompressPanelPlus::CurveFor(kW, kH, -15, -90, nan, inf), PageCurve(-15, 1));

    // A panel too small for a plot still gives whole, finite coordinates.
    const Curve tiny = CCompressPanelPlus::CurveFor(10, 10, -15, -90, 0.25f, 1);
    EXPECT_EQ(tiny.ptStart.x(), 40);
    EXPECT_EQ(tiny.ptEnd.x(), 40 - 50);
}

TEST(CompressPanel, SettersStoreAsGivenAndTheCurveUsesWhatCanBeDrawn) {
    CCompressPanelPlus panel;
    panel.resize(kW, kH);
    EXPECT_EQ(panel.On(), 0);
    EXPECT_EQ(panel.Threshold(), -15.0f);
    EXPECT_EQ(panel.LowerPoint(), -5.0f);
    panel.SetLowerPoint(-90);
    panel.SetSlopeBelow(1);
    panel.SetThreshold(-15);
    panel.SetRatio(4);
    EXPECT_EQ(panel.SlopeAbove(), 0.25f);
    ExpectSameCurve(panel.CurrentCurve(), PageCurve(-15, 4));

    panel.SetRatio(0);
    EXPECT_EQ(panel.SlopeAbove(), 1.0f);
    ExpectSameCurve(panel.CurrentCurve(), PageCurve(-15, 1));
    panel.SetSlopeAbove(std::numeric_limits<float>::quiet_NaN());
    EXPECT_TRUE(std::isnan(panel.SlopeAbove()));
    ExpectSameCurve(panel.CurrentCurve(), PageCurve(-15, 1));
    panel.SetThreshold(12);
    EXPECT_EQ(panel.Threshold(), 12.0f);
    ExpectSameCurve(panel.CurrentCurve(), PageCurve(6, 1));
}

TEST(CompressPanel, OffIsWrittenOverAnUnchangedCurve) {
    CCompressPanelPlus panel;
    panel.resize(kW, kH);
    panel.SetLowerPoint(-90);
    panel.SetThreshold(-20);
    panel.SetRatio(3);
    panel.SetOn(1);
    const QImage on = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    panel.SetOn(0);
    const QImage off = panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(on.size(), off.size());

    const QRgb offColour = qRgb(0x00, 0x96, 0xFF);
    int offPixels = 0, changed = 0;
    QRect changedArea;
    for (int y = 0; y < on.height(); ++y) {
        for (int x = 0; x < on.width(); ++x) {
            EXPECT_NE(on.pixel(x, y), offColour);
            offPixels += off.pixel(x, y) == offColour;
            if (on.pixel(x, y) != off.pixel(x, y)) {
                ++changed;
                changedArea |= QRect(x, y, 1, 1);
            }
        }
    }
    EXPECT_GT(offPixels, 100);
    EXPECT_GT(changed, 0);
    // Only the word in the middle differs: the grid and the curve around it are the same.
    EXPECT_TRUE(QRect(kW / 2 - 100, kH / 2 - 45, 200, 90).contains(changedArea))
        << changedArea.x() << "," << changedArea.y();
    // The knee dot is drawn in red over the curve.
    const QPoint knee = panel.CurrentCurve().ptKnee;
    EXPECT_GT(qRed(on.pixel(knee)), 150);
    EXPECT_LT(qGreen(on.pixel(knee)), 100);
}

} // namespace
