#include "controls/PeakMeterCtrl.h"

#include <QPainter>
#include <algorithm>

#include "ui/Colors.h"

CPeakMeterCtrl::CPeakMeterCtrl(QWidget* parent) : QWidget(parent), m_clrBack(PageColor()) {
    // The fall runs on the UI thread, so painting and the tick never see a bar half-written.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CPeakMeterCtrl::FallTick);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CPeakMeterCtrl::~CPeakMeterCtrl() {
    m_timer.stop();
}

void CPeakMeterCtrl::Configure(int bandCount, int ledCount) {
    // A count of 0 would leave nothing to draw and divide the width and the step by zero.
    m_nBandCount = std::max(bandCount, 1);
    m_nLedCount = std::max(ledCount, 1);
}

void CPeakMeterCtrl::Fill() {
    m_nValues.assign(static_cast<size_t>(m_nBandCount), kFullScale);
    update();
}

void CPeakMeterCtrl::StartFallTimer(int periodMs) {
    if (m_bAnimated) {
        return;
    }
    m_nPeriod = std::max(periodMs, 1);
    m_bAnimated = true;
    m_timer.start(m_nPeriod);
}

void CPeakMeterCtrl::SetValue(int band, int value) {
    if (band < 0 || band >= ValueCount()) {
        return;
    }
    value = std::clamp(value, 0, kFullScale);
    if (m_bAnimated) {
        m_timer.stop();
    }
    m_nValues[static_cast<size_t>(band)] = value;
    if (m_bAnimated) {
        m_timer.start(m_nPeriod);
    } else {
        update();
    }
}

void CPeakMeterCtrl::SetBackground(const QColor& colour) {
    m_clrBack = colour;
    update();
}

void CPeakMeterCtrl::FallTick() {
    update();
    const int step = FallStep();
    bool changed = false;
    for (int& v : m_nValues) {
        if (v > 0) {
            v = std::max(v - step, 0);
            changed = true;
        }
    }
    if (!changed) {
        m_timer.stop();
    }
}

int CPeakMeterCtrl::Value(int band) const {
    return band >= 0 && band < ValueCount() ? m_nValues[static_cast<size_t>(band)] : -1;
}

int CPeakMeterCtrl::LitSegments(int band) const {
    return band >= 0 && band < ValueCount() ? m_nValues[static_cast<size_t>(band)] * m_nLedCount / kFullScale
                                            : 0;
}

int CPeakMeterCtrl::FallStep() const {
    const int step = m_nLedCount > 1 ? kFullScale / m_nLedCount : kFullScale * 10 / 100;
    // More LEDs than scale steps would give a step of 0, and a bar that never falls keeps the timer
    // running for ever.
    return std::max(step, 1);
}

CPeakMeterCtrl::Zone CPeakMeterCtrl::ZoneOf(int segment, int ledCount) {
    if (segment < ledCount * kYellowFrom / kFullScale) {
        return ZONE_GREEN;
    }
    if (segment < ledCount * kRedFrom / kFullScale) {
        return ZONE_YELLOW;
    }
    return ZONE_RED;
}

QColor CPeakMeterCtrl::LitColour(Zone zone) {
    static constexpr uint32_t kLit[] = {0x00FF00, 0x00FFFF, 0x0000FF};
    return ColorRef(kLit[zone]);
}

QColor CPeakMeterCtrl::UnlitColour(Zone zone) {
    static constexpr uint32_t kUnlit[] = {0x023C02, 0x023C3C, 0x02023C};
    return ColorRef(kUnlit[zone]);
}

void CPeakMeterCtrl::paintEvent(QPaintEvent*) {
    // The widget's backing store is the off-screen bitmap: the bar reaches the screen in one transfer.
    QPainter p(this);
    p.fillRect(rect(), m_clrBack);
    const int segWidth = width() / m_nLedCount;
    const int bandHeight = height() / m_nBandCount;
    const int gap = m_nLedCount > 1 ? 1 : 0;
    if (segWidth - gap <= 0 || bandHeight <= 0) {
        return; // too small for a segment
    }
    for (int b = 0; b < ValueCount(); ++b) {
        const int lit = LitSegments(b);
        const int top = b * bandHeight;
        for (int i = 0; i < m_nLedCount; ++i) {
            const Zone zone = ZoneOf(i, m_nLedCount);
            const QRect seg(i * segWidth + gap, top, segWidth - gap, bandHeight);
            p.fillRect(seg, i < lit ? LitColour(zone) : UnlitColour(zone));
        }
    }
}
