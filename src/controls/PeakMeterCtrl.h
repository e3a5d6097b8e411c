// LED-style level bar: one or more horizontal bars of segments on a fixed 0..60 scale, green, yellow
// and red by segment index. Between two values fed by its owner the bar falls by itself on a timer,
// so it moves smoothly although the live status arrives only every 300 ms.
#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <vector>

class CPeakMeterCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFullScale = 60; // value that lights every segment; values are held to 0..60
    static constexpr int kYellowFrom = 40;
    static constexpr int kRedFrom = 50;
    enum Zone : int { ZONE_GREEN = 0, ZONE_YELLOW = 1, ZONE_RED = 2 };

    explicit CPeakMeterCtrl(QWidget* parent = nullptr);
    ~CPeakMeterCtrl() override;

    // Band and LED counts, each held at 1 or more; the next Fill applies the band count.
    void Configure(int bandCount, int ledCount);
    // Makes the band list band-count long, every bar at full scale.
    void Fill();
    // Starts the periodic fall timer unless the meter is already animated, and marks it animated.
    void StartFallTimer(int periodMs);
    // Holds v to 0..60 and stores it. An animated meter restarts its fall timer, so the value is painted
    // by the next tick, one period later, already lowered by a step; otherwise it repaints at once.
    // An index outside the band list is ignored.
    void SetValue(int band, int value);
    void SetBackground(const QColor& colour);

    // One tick of the fall timer: every bar above 0 drops by FallStep(); when none changed, the
    // timer stops (the meter stays animated, so the next SetValue starts it again).
    void FallTick();

    int BandCount() const { return m_nBandCount; }
    int LedCount() const { return m_nLedCount; }
    int FallPeriod() const { return m_nPeriod; }
    bool IsAnimated() const { return m_bAnimated; }
    bool IsTimerRunning() const { return m_timer.isActive(); }
    // Current value of a bar; -1 outside the band list.
    int Value(int band) const;
    int ValueCount() const { return static_cast<int>(m_nValues.size()); }
    // Segments lit for a bar; 0 outside the band list.
    int LitSegments(int band) const;
    // Full scale / LED count, or a tenth of full scale for a single LED; never below 1.
    int FallStep() const;
    QColor Background() const { return m_clrBack; }

    // Zone of segment i of `ledCount` segments, by the scale's 40 and 50.
    static Zone ZoneOf(int segment, int ledCount);
    static QColor LitColour(Zone zone);
    static QColor UnlitColour(Zone zone);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_nBandCount = 1;
    int m_nLedCount = 15;
    int m_nPeriod = 0;
    bool m_bAnimated = false;
    QColor m_clrBack;
    std::vector<int> m_nValues;
    QTimer m_timer;
};
