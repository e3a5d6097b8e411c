// The longest stretch the UI thread's event loop does not run, from a 1 ms precise timer's ticks.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

class CUiGapMeter {
public:
    CUiGapMeter() {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(1);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_fWorstMs = std::max(m_fWorstMs, double(now - m_nLast) / 1e6);
            m_nLast = now;
        });
    }
    // Starts the clock and the ticks; the worst gap is kept across starts.
    void Start() {
        m_nLast = 0;
        m_clock.start();
        m_tick.start();
    }
    void Stop() { m_tick.stop(); }
    double WorstMs() const { return m_fWorstMs; }
    double ElapsedMs() const { return double(m_clock.nsecsElapsed()) / 1e6; }

private:
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_nLast = 0;
    double m_fWorstMs = 0;
};
