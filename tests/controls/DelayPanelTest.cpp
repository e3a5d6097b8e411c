// The delay chart: its value/pixel mapping, rows, hit test and drags driven by real mouse events.
#include <QTest>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "controls/DelayPanel.h"

namespace {

struct Moved {
    int nChannel;
    float fValue;
};

class DelayPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel.resize(800, 425); // a 704-pixel scale, 50-pixel rows
        panel.show(); // resize events reach a shown widget at once
        QObject::connect(&panel, &CDelayPanel::DelayMoved, [this](int channel, float value) {
            moved.push_back({channel, value});
        });
    }

    CDelayPanel panel;
    std::vector<Moved> moved;
};

TEST(DelayPanelGeometry, ValueAndPixelMapEachOtherAtTheScaleEnds) {
    EXPECT_EQ(CDelayPanel::PlotRect(800, 425), QRect(QPoint(78, 5), QPoint(782, 405)));
    EXPECT_EQ(CDelayPanel::ValueToX(0, 800, 0, 106), 78);
    EXPECT_EQ(CDelayPanel::ValueToX(106, 800, 0, 106), 782);      // the plot's right edge is 106 ms
    EXPECT_EQ(CDelayPanel::ValueToX(100, 800, 0, 106), 78 + 664); // 704 / 106 × 100 = 664.15, truncated
    EXPECT_EQ(CDelayPanel::ValueToX(1.5f, 800, 0, 106), 78 + 9);
    EXPECT_FLOAT_EQ(*CDelayPanel::XToValue(78, 800, 0, 106), 0);
    EXPECT_FLOAT_EQ(*CDelayPanel::XToValue(782, 800, 0, 106), 106);
    EXPECT_FLOAT_EQ(*CDelayPanel::XToValue(78 + 352, 800, 0, 106), 53);
    EXPECT_LT(*CDelayPanel::XToValue(10, 800, 0, 106), 0); // unheld: the row's limits come later

    // Rows share the plot's height; the last ends on its bottom edge.
    EXPECT_FLOAT_EQ(CDelayPanel::RowHeight(425, 8), 50);
    EXPECT_EQ(CDelayPanel::RowTop(0, 425, 8), 5);
    EXPECT_EQ(CDelayPanel::RowTop(3, 425, 8), 155);
    EXPECT_EQ(CDelayPanel::RowTop(8, 425, 8), 405);
    EXPECT_EQ(CDelayPanel::RowTop(1, 400, 8), 5 + 47); // 46.875 + 5.5, truncated
}

TEST(DelayPanelGeometry, NoScaleWidthGivesNoValueInsteadOfADivisionByZero) {
    for (int w : {96, 95, 60, 0, -20}) {
        EXPECT_FALSE(CDelayPanel::XToValue(100, w, 0, 106).has_value()) << w;
        EXPECT_EQ(CDelayPanel::ValueToX(50, w, 0, 106), 78) << w;
    }
    EXPECT_TRUE(CDelayPanel::XToValue(100, 97, 0, 106).has_value());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(CDelayPanel::XToValue(100, 800, 10, 10).has_value()); // an empty scale
    EXPECT_FALSE(CDelayPanel::XToValue(100, 800, 20, 10).has_value());
    EXPECT_FALSE(CDelayPanel::XToValue(100, 800, nan, 106).has_value());
    EXPECT_FALSE(CDelayPanel::XToValue(100, 800, 0, inf).has_value());
    EXPECT_EQ(CDelayPanel::ValueToX(nan, 800, 0, 106), 78);
    EXPECT_EQ(CDelayPanel::ValueToX(50, 800, 0, nan), 78);
    EXPECT_EQ(CDelayPanel::ValueToX(3e38f, 800, 0, 106), 78 + 1000000); // held, not undefined
}

TEST_F(DelayPanelTest, SetDelayHoldsTheValueToTheRowLimitsAndMovesTheMarker) {
    // Before any set, every row shows 0 at the left end of the scale.
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(panel.Channel(i)->nIndex, i);
        EXPECT_EQ(panel.Channel(i)->fValue, 0);
        EXPECT_EQ(panel.Channel(i)->nX, 78);
        EXPECT_EQ(panel.Channel(i)->nY, 5 + 50 * i);
    }
    panel.SetDelay(0, 2);
    EXPECT_EQ(panel.Delay(2), 1.5f);
    EXPECT_EQ(panel.Channel(2)->nX, 78 + 9);
    panel.SetDelay(250, 3);
    EXPECT_EQ(panel.Delay(3), 100.0f);
    EXPECT_EQ(panel.Channel(3)->nX, 742);
    panel.SetDelay(std::numeric_limits<float>::quiet_NaN(), 4);
    EXPECT_EQ(panel.Delay(4), 1.5f);
    panel.SetDelay(-std::numeric_limits<float>::infinity(), 5);
    EXPECT_EQ(panel.Delay(5), 1.5f);
    panel.SetDelay(37.3f, 6);
    EXPECT_FLOAT_EQ(panel.Delay(6), 37.3f);

    panel.SetDelay(50, 8); // no such row
    panel.SetDelay(50, -1);
    EXPECT_EQ(panel.Channel(8), nullptr);
    EXPECT_EQ(panel.Channel(-1), nullptr);
    EXPECT_EQ(panel.Delay(7), 0);

    // A resize places every marker again from its value.
    panel.resize(500, 425);
    EXPECT_EQ(panel.Channel(3)->nX, 78 + static_cast<int>(404.0 / 106 * 100));
    EXPECT_TRUE(moved.empty()); // the page's own sets are never reported back
}

TEST_F(DelayPanelTest, PressGrabsTheFirstRowWithin15PixelsOfMarkerAndRowCentre) {
    panel.SetDelay(50, 1);
    const QPoint c = panel.MarkerCentre(1);
    EXPECT_EQ(c, QPoint(panel.Channel(1)->nX + panel.MarkerSize().width() / 2, 80));
    EXPECT_EQ(panel.HitTest(c + QPoint(15, -15)), 1);
    EXPECT_EQ(panel.HitTest(c + QPoint(16, 0)), -1);
    EXPECT_EQ(panel.HitTest(c + QPoint(0, 16)), -1);
    // Rows 0 and 2 have their markers at the left end: 25 pixels from a row centre hits neither.
    const QPoint left = panel.MarkerCentre(0);
    EXPECT_EQ(panel.HitTest(left + QPoint(0, 25)), -1);
    // Rows closer than 15 pixels both reach the point: the first in order wins.
    panel.SetChannelCount(8);
    panel.resize(800, 125); // 12.5-pixel rows
    EXPECT_EQ(panel.HitTest(panel.MarkerCentre(3)), 2);
    EXPECT_EQ(panel.HitTest(panel.MarkerCentre(0)), 0);
}

TEST_F(DelayPanelTest, DragReportsTheValueHeldTo1_5And100WhileTheMarkerFollowsThePointer) {
    panel.SetDelay(20, 4);
    const QPoint start = panel.MarkerCentre(4);
    QTest::mousePress(&panel, Qt::LeftButton, {}, start);
    EXPECT_EQ(panel.SelectedChannel(), 4);
    EXPECT_TRUE(moved.empty()); // the press itself reports nothing

    const int half = panel.MarkerSize().width() / 2;
    QTest::mouseMove(&panel, QPoint(78 + 352 + half, start.y()));
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].nChannel, 4);
    EXPECT_FLOAT_EQ(moved[0].fValue, 53);
    EXPECT_EQ(panel.Channel(4)->nX, 78 + 352);

    // Past the right end: the marker goes on, the value stops at 100 ms.
    QTest::mouseMove(&panel, QPoint(795 + half, start.y() + 40));
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[1].fValue, 100.0f);
    EXPECT_EQ(panel.Channel(4)->nX, 795);
    EXPECT_EQ(panel.Delay(4), 100.0f);
    panel.SetDelay(moved[1].fValue, 4); // what the page does: the marker goes back to 100 ms
    EXPECT_EQ(panel.Channel(4)->nX, 742);

    // Past the left end and beyond the widget: 1.5 ms.
    QTest::mouseMove(&panel, QPoint(-50, start.y()));
    ASSERT_EQ(moved.size(), 3u);
    EXPECT_EQ(moved[2].fValue, 1.5f);

    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(-50, start.y()));
    EXPECT_FALSE(panel.IsDragging());
    EXPECT_EQ(panel.SelectedChannel(), 4); // kept until the next press
    QTest::mouseMove(&panel, QPoint(400, start.y()));
    EXPECT_EQ(moved.size(), 3u); // no drag without the button
}

TEST_F(DelayPanelTest, PressThatMissesEveryMarkerReportsNothing) {
    panel.SetDelay(30, 0);
    panel.SetDelay(30, 1);
    // Between rows 0 and 1, at the markers' x: 25 pixels from both row centres.
    const QPoint between(panel.MarkerCentre(0).x(), 55);
    QTest::mousePress(&panel, Qt::LeftButton, {}, between);
    EXPECT_EQ(panel.SelectedChannel(), -1);
    EXPECT_TRUE(panel.IsDragging());
    QTest::mouseMove(&panel, between + QPoint(100, 0));
    QTest::mouseMove(&panel, between + QPoint(300, 20));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, between + QPoint(300, 20));
    EXPECT_TRUE(moved.empty());
    EXPECT_FLOAT_EQ(panel.Delay(0), 30);
    EXPECT_FLOAT_EQ(panel.Delay(1), 30);
}

TEST_F(DelayPanelTest, ANarrowPanelDragsNothingAndNeverReportsNaN) {
    panel.resize(96, 425);
    panel.SetDelay(40, 2);
    EXPECT_EQ(panel.Channel(2)->nX, 78);
    const QPoint c = panel.MarkerCentre(2);
    QTest::mousePress(&panel, Qt::LeftButton, {}, c);
    ASSERT_EQ(panel.SelectedChannel(), 2);
    QTest::mouseMove(&panel, c + QPoint(5, 0));
    QTest::mouseMove(&panel, c + QPoint(-30, 0));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, c);
    EXPECT_TRUE(moved.empty());
    EXPECT_FLOAT_EQ(panel.Delay(2), 40);
    EXPECT_FALSE(std::isnan(panel.Delay(2)));

    // One pixel of scale is enough to read values again, held to the row's limits.
    panel.resize(97, 425);
    QTest::mousePress(&panel, Qt::LeftButton, {}, panel.MarkerCentre(2));
    QTest::mouseMove(&panel, QPoint(200, panel.MarkerCentre(2).y()));
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].fValue, 100.0f);
}

TEST_F(DelayPanelTest, FewerRowsShareTheHeightAndIgnoreTheRest) {
    panel.SetChannelCount(4);
    panel.Initialise();
    EXPECT_EQ(panel.ChannelCount(), 4);
    EXPECT_EQ(panel.Channel(3)->nY, 5 + 300);
    EXPECT_EQ(panel.Channel(4), nullptr);
    panel.SetDelay(50, 4);
    EXPECT_EQ(panel.Delay(4), 0);
    panel.SetChannelCount(0);
    EXPECT_EQ(panel.ChannelCount(), 1);
    panel.SetChannelCount(30);
    EXPECT_EQ(panel.ChannelCount(), 8);
}

TEST(DelayPanelTexts, RowLabelsAndColoursByChannel) {
    EXPECT_EQ(CDelayPanel::RowLabel(0), QString::fromUtf8("通道(CH)1)"));
    EXPECT_EQ(CDelayPanel::RowLabel(7), QString::fromUtf8("通道(CH)8"));
    EXPECT_TRUE(CDelayPanel::RowLabel(8).isEmpty());
    EXPECT_EQ(CDelayPanel::ChannelColour(2), QColor(0xFF, 0x99, 0x12));
    EXPECT_EQ(CDelayPanel::LabelColour(2), QColor(0xB0, 0xE0, 0xE6));
    EXPECT_EQ(CDelayPanel::ChannelColour(7), QColor(0x7F, 0xFF, 0x00));
}

} // namespace
