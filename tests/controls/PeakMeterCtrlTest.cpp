// The level meter as the music page sets it up (one bar of 15 segments, 35 ms fall, page colour): lit
// segments per value, the fall and its timer, zones and colours as painted, and the held counts.
#include "controls/PeakMeterCtrl.h"
#include "ui/Colors.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class PeakMeterCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        // 100 pixels: segments of 6, the last 10 pixels spare.
        meter.resize(100, 6);
        meter.Configure(1, 15);
        meter.Fill();
        meter.StartFallTimer(35);
        meter.SetBackground(PageColor());
    }
    QImage Picture() { return meter.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Colour in the middle of segment i of a 6-pixel pitch.
    static QColor SegmentColour(const QImage& img, int i, int y = 3) { return img.pixelColor(i * 6 + 3, y); }
    // Segments painted in their lit colour.
    static int LitInPicture(const QImage& img, int leds = 15) {
        int n = 0;
        for (int i = 0; i < leds; ++i) {
            n += SegmentColour(img, i) == CPeakMeterCtrl::LitColour(CPeakMeterCtrl::ZoneOf(i, leds));
        }
        return n;
    }

    CPeakMeterCtrl meter;
};

} // namespace

TEST_F(PeakMeterCtrlTest, LiveBytesLightSegmentsOnTheSixtyScale) {
    ASSERT_EQ(meter.ValueCount(), 1);
    const std::vector<std::pair<int, int>> cases = {{0, 0},   {3, 0},   {4, 1},   {39, 9},   {40, 10},
                                                    {48, 12}, {59, 14}, {60, 15}, {200, 15}, {-7, 0}};
    for (const auto& [value, lit] : cases) {
        meter.SetValue(0, value);
        EXPECT_EQ(meter.Value(0), std::clamp(value, 0, 60)) << value;
        EXPECT_EQ(meter.LitSegments(0), lit) << value;
        EXPECT_EQ(LitInPicture(Picture()), lit) << value;
    }
}

TEST_F(PeakMeterCtrlTest, ZonesAndColoursAsPainted) {
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(CPeakMeterCtrl::ZoneOf(i, 15),
                  i < 10 ? CPeakMeterCtrl::ZONE_GREEN
                         : (i < 12 ? CPeakMeterCtrl::ZONE_YELLOW : CPeakMeterCtrl::ZONE_RED))
            << i;
    }
    EXPECT_EQ(CPeakMeterCtrl::ZoneOf(3, 6), CPeakMeterCtrl::ZONE_GREEN);
    EXPECT_EQ(CPeakMeterCtrl::ZoneOf(4, 6), CPeakMeterCtrl::ZONE_YELLOW);
    EXPECT_EQ(CPeakMeterCtrl::ZoneOf(5, 6), CPeakMeterCtrl::ZONE_RED);

    const QColor page(240, 250, 255);
    meter.SetValue(0, 60);
    QImage full = Picture();
    meter.SetValue(0, 0);
    QImage empty = Picture();
    const QColor lit[] = {QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 0, 0)};
    const QColor unlit[] = {QColor(2, 60, 2), QColor(60, 60, 2), QColor(60, 2, 2)};
    for (int i = 0; i < 15; ++i) {
        const int zone = i < 10 ? 0 : (i < 12 ? 1 : 2);
        for (int y : {0, 5}) { // the bar spans the full height
            EXPECT_EQ(SegmentColour(full, i, y), lit[zone]) << i;
            EXPECT_EQ(SegmentColour(empty, i, y), unlit[zone]) << i;
        }
        EXPECT_EQ(full.pixelColor(i * 6 + 1, 3), lit[zone]) << i;
        EXPECT_EQ(full.pixelColor(i * 6 + 5, 3), lit[zone]) << i;
        // A one-pixel gap in the background colour before every segment.
        EXPECT_EQ(full.pixelColor(i * 6, 3), page) << i;
    }
    // 100 / 15 leaves 10 pixels at the right in the background.
    for (int x = 90; x < 100; ++x) {
        EXPECT_EQ(full.pixelColor(x, 3), page) << x;
    }
}

TEST_F(PeakMeterCtrlTest, AFullBarFallsFourPerTickToZeroThenTheTimerStops) {
    // Fill left the bar full, and the fall timer runs.
    EXPECT_TRUE(meter.IsAnimated());
    EXPECT_TRUE(meter.IsTimerRunning());
    EXPECT_EQ(meter.FallPeriod(), 35);
    EXPECT_EQ(meter.FallStep(), 4);
    ASSERT_EQ(meter.Value(0), 60);
    for (int expected = 56; expected >= 0; expected -= 4) {
        meter.FallTick();
        EXPECT_EQ(meter.Value(0), expected);
        EXPECT_TRUE(meter.IsTimerRunning()) << expected; // the tick that reached 0 changed the bar
    }
    meter.FallTick(); // nothing changed: the timer stops, the meter stays animated
    EXPECT_EQ(meter.Value(0), 0);
    EXPECT_FALSE(meter.IsTimerRunning());
    EXPECT_TRUE(meter.IsAnimated());
    EXPECT_EQ(LitInPicture(Picture()), 0);

    // A new value starts the timer again; it is painted by the next tick, a step lower.
    meter.SetValue(0, 60);
    EXPECT_TRUE(meter.IsTimerRunning());
    meter.FallTick();
    EXPECT_EQ(meter.LitSegments(0), 14);
    // A value that does not move the bar (0 on an empty bar) still restarts the timer, which stops
    // again at its first tick.
    for (int i = 0; i < 15; ++i) {
        meter.FallTick();
    }
    meter.SetValue(0, 0);
    EXPECT_TRUE(meter.IsTimerRunning());
    meter.FallTick();
    EXPECT_FALSE(meter.IsTimerRunning());
}

TEST_F(PeakMeterCtrlTest, TheRealTimerEmptiesTheBarAndStops) {
    // Waits for the state, not for a time: the deadline only ends a hung test.
    meter.SetValue(0, 60);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !meter.IsTimerRunning(); }, 10000));
    EXPECT_EQ(meter.Value(0), 0);
    meter.SetValue(0, 20);
    EXPECT_TRUE(meter.IsTimerRunning());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !meter.IsTimerRunning(); }, 10000));
    EXPECT_EQ(meter.Value(0), 0);
}

TEST_F(PeakMeterCtrlTest, WithoutTheTimerAValueIsKeptAndPaintedAtOnce) {
    CPeakMeterCtrl still;
    still.resize(100, 6);
    still.Configure(1, 15);
    still.Fill();
    still.SetValue(0, 48);
    EXPECT_FALSE(still.IsTimerRunning());
    EXPECT_FALSE(still.IsAnimated());
    EXPECT_EQ(still.Value(0), 48);
    // Starting the timer a second time keeps the first period.
    still.StartFallTimer(35);
    still.StartFallTimer(100);
    EXPECT_EQ(still.FallPeriod(), 35);
}

TEST_F(PeakMeterCtrlTest, BandsOutsideTheListAreIgnored) {
    meter.FallTick();
    ASSERT_EQ(meter.Value(0), 56);
    meter.SetValue(1, 10);
    meter.SetValue(-1, 10);
    EXPECT_EQ(meter.Value(0), 56);
    EXPECT_EQ(meter.Value(1), -1);
    EXPECT_EQ(meter.LitSegments(1), 0);
    EXPECT_EQ(meter.ValueCount(), 1);

    // Configure applies its band count at the next fill; each bar is a strip of the height.
    CPeakMeterCtrl two;
    two.resize(60, 10);
    two.Configure(2, 10);
    EXPECT_EQ(two.ValueCount(), 0);
    two.Fill();
    ASSERT_EQ(two.ValueCount(), 2);
    two.SetValue(1, 0);
    const QImage img = two.grab().toImage();
    EXPECT_EQ(img.pixelColor(3, 2), QColor(0, 255, 0)); // bar 0 full
    EXPECT_EQ(img.pixelColor(3, 7), QColor(2, 60, 2));  // bar 1 empty
}

TEST_F(PeakMeterCtrlTest, CountsOfZeroAndAZeroFallStepAreHeldAtOne) {
    CPeakMeterCtrl m;
    m.resize(30, 4);
    m.Configure(0, 0);
    EXPECT_EQ(m.BandCount(), 1);
    EXPECT_EQ(m.LedCount(), 1);
    EXPECT_EQ(m.FallStep(), 6); // a tenth of full scale for a single LED
    m.Fill();
    ASSERT_EQ(m.ValueCount(), 1);
    const QImage one = m.grab().toImage();
    EXPECT_EQ(one.pixelColor(0, 1), QColor(255, 0, 0)); // one LED, no gap: the whole width, red zone

    // More LEDs than scale steps: 60 / 100 would be a step of 0 and a bar that never empties.
    m.Configure(-3, 100);
    EXPECT_EQ(m.BandCount(), 1);
    EXPECT_EQ(m.FallStep(), 1);
    m.Fill();
    m.StartFallTimer(35);
    for (int i = 0; i < 60; ++i) {
        m.FallTick();
    }
    EXPECT_EQ(m.Value(0), 0);
    m.FallTick();
    EXPECT_FALSE(m.IsTimerRunning());
    // Segments narrower than the gap, and no size at all, paint without fault.
    EXPECT_FALSE(m.grab().isNull());
    m.resize(0, 0);
    m.grab();
}
