#include "controls/SmallEqPanel.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "ui/Colors.h"

namespace {

constexpr float kInitialFreq[kSmallEqBands] = {31, 62, 125, 250, 500, 1000, 2000};
constexpr double kGridHz[] = {10,   20,   30,   40,   50,   60,   70,   80,    90,   100,
                              200,  300,  400,  500,  600,  700,  800,  900,   1000, 2000,
                              3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000};
constexpr double kCurvePen = 1.7;
constexpr float kQMinPeq = 1.0f, kQMinOther = 0.1f, kQMax = 30.0f;

QFont PassFont() {
    QFont f;
    f.setFamilies({QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("Noto Sans CJK SC")});
    f.setPixelSize(32);
    return f;
}

QPen LinePen(uint32_t argb) {
    QPen pen(ColorArgb(argb));
    pen.setWidthF(1);
    return pen;
}

} // namespace

CSmallEqPanel::CSmallEqPanel(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < kSmallEqBands; ++i) {
        m_band[i].fFreq = kInitialFreq[i];
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    for (int i = 0; i < kSmallEqBands; ++i) {
        m_band[i].dB = SmallEqBandResponse(m_band[i].nType, m_band[i].fGain, m_band[i].fFreq, m_band[i].fQ);
    }
    UpdateAll();
}

CSmallEqPanel::~CSmallEqPanel() = default;

// ---- Setters ----------------------------------------------------------------------------------------

void CSmallEqPanel::SetBandFrequency(int band, float hz) {
    if (!ValidBand(band) || !std::isfinite(hz) || std::fabs(hz) < 1e-7f) {
        return;
    }
    m_band[band].fFreq = std::clamp(hz, kFreqMin, kFreqMax);
    UpdateBand(band);
}

void CSmallEqPanel::SetBandGain(int band, float db) {
    if (!ValidBand(band) || std::isnan(db)) {
        return;
    }
    m_band[band].fGain = std::clamp(db, kGainMin, kGainMax);
    UpdateBand(band);
}

void CSmallEqPanel::SetBandType(int band, int type) {
    if (!ValidBand(band)) {
        return;
    }
    m_band[band].nType = type;
    UpdateBand(band);
}

void CSmallEqPanel::SetBandQ(int band, float q) {
    if (!ValidBand(band)) {
        return;
    }
    m_band[band].fQ = q;
    UpdateBand(band);
}

float CSmallEqPanel::HoldLoadedQ(int type, float q) {
    return std::clamp(q, type == EQ_PEQ ? kQMinPeq : kQMinOther, kQMax);
}

void CSmallEqPanel::LoadStoredBand(int band, int type, float gainDb, float freqHz, float q,
                                   bool offOutsideEditorTypes) {
    if (!ValidBand(band)) {
        return;
    }
    if (offOutsideEditorTypes && (type < EQ_OFF || type > EQ_HS)) {
        type = EQ_OFF;
    }
    SetBandType(band, type);
    if (type == EQ_PEQ) {
        SetBandQ(band, HoldLoadedQ(type, 1.41f));
    } else if (type == EQ_LP || type == EQ_HP) {
        SetBandGain(band, 0);
        SetBandQ(band, HoldLoadedQ(type, 0.7f));
    }
    SetBandGain(band, gainDb);
    SetBandFrequency(band, freqHz);
    if (std::fabs(q) >= 1e-7f) {
        SetBandQ(band, HoldLoadedQ(type, q));
    }
}

// ---- State ------------------------------------------------------------------------------------------

const SmallEqBand* CSmallEqPanel::Band(int band) const {
    return ValidBand(band) ? &m_band[band] : nullptr;
}

double CSmallEqPanel::TotalDb(int u) const {
    return u >= 0 && u < kSmallEqPoints ? m_dTotal[u] : 0.0;
}

void CSmallEqPanel::SetBypass(bool bypass) {
    if (m_bBypass != bypass) {
        m_bBypass = bypass;
        update();
    }
}

void CSmallEqPanel::SetDimmed(bool dimmed) {
    if (m_bDimmed != dimmed) {
        m_bDimmed = dimmed;
        update();
    }
}

void CSmallEqPanel::SetCurveColour(QRgb argb) {
    if (m_rgbCurve != argb) {
        m_rgbCurve = argb;
        update();
    }
}

// ---- Geometry ---------------------------------------------------------------------------------------

double CSmallEqPanel::PointX(int u) const {
    return kMargin + static_cast<double>(u) * PlotWidth() / kSmallEqPoints;
}

double CSmallEqPanel::GainToY(double db) const {
    const double h = PlotHeight();
    return kMargin + h / 2 - db * h / kGainSpan;
}

double CSmallEqPanel::FreqToX(double hz) const {
    return kMargin + (std::log10(hz) - 1) * PlotWidth() / kSmallEqDecades;
}

QColor CSmallEqPanel::HoverFrameColour() {
    return ColorRef(0xFFFF00);
}

// ---- Curves -----------------------------------------------------------------------------------------

void CSmallEqPanel::PlaceBand(int band) {
    SmallEqBand& b = m_band[band];
    for (int u = 0; u < kSmallEqPoints; ++u) {
        b.pts[u] = QPointF(PointX(u), GainToY(b.dB[u]));
    }
    b.ptHandle = QPointF(kMargin + std::trunc(std::log10(b.fFreq / 10.0) * PlotWidth() / kSmallEqDecades),
                         GainToY(b.fGain));
}

void CSmallEqPanel::UpdateBand(int band) {
    SmallEqBand& b = m_band[band];
    b.dB = SmallEqBandResponse(b.nType, b.fGain, b.fFreq, b.fQ);
    PlaceBand(band);
    UpdateTotal();
    update();
}

void CSmallEqPanel::UpdateTotal() {
    // Each band's value counts in tenths of a dB, as its plotted point gives it. It is taken from the
    // band's dB directly rather than read back from the pixel row, so a plot of no height divides
    // nothing.
    for (int u = 0; u < kSmallEqPoints; ++u) {
        double sum = 0;
        for (const SmallEqBand& b : m_band) {
            sum += SmallEqRoundDb(b.dB[u]);
        }
        m_dTotal[u] = sum;
        m_ptTotal[u] = QPointF(PointX(u), GainToY(sum));
    }
}

void CSmallEqPanel::UpdateAll() {
    for (int i = 0; i < kSmallEqBands; ++i) {
        PlaceBand(i);
    }
    UpdateTotal();
    update();
}

// ---- Painting ---------------------------------------------------------------------------------------

void CSmallEqPanel::BuildGrid() {
    const qreal dpr = devicePixelRatioF();
    m_pmGrid = QPixmap(size() * dpr);
    m_pmGrid.setDevicePixelRatio(dpr);
    m_pmGrid.fill(Qt::black);
    QPainter p(&m_pmGrid);
    p.setRenderHint(QPainter::Antialiasing);
    const double left = kMargin, right = kMargin + PlotWidth();
    const double top = kMargin, bottom = kMargin + PlotHeight();
    p.setPen(LinePen(0xFF171717));
    for (int db = -15; db <= 15; ++db) {
        p.drawLine(QPointF(left, GainToY(db)), QPointF(right, GainToY(db)));
    }
    for (int db = -15; db <= 15; db += 3) {
        p.setPen(LinePen(db == -15 || db == 15 ? 0xFF808080 : 0xFF404040));
        p.drawLine(QPointF(left, GainToY(db)), QPointF(right, GainToY(db)));
    }
    p.setPen(LinePen(0xFF404040));
    for (double hz : kGridHz) {
        const double x = FreqToX(hz);
        p.drawLine(QPointF(x, top), QPointF(x, bottom));
    }
}

void CSmallEqPanel::paintEvent(QPaintEvent*) {
    if (m_pmGrid.isNull() && !size().isEmpty()) {
        BuildGrid();
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_pmGrid);
    if (m_bDimmed) {
        p.fillRect(rect(), ColorArgb(0x65606060));
    }
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(ColorArgb(m_rgbCurve));
    pen.setWidthF(kCurvePen);
    p.setPen(pen);
    p.drawPolyline(m_ptTotal.data(), kSmallEqPoints);
    if (m_bBypass) {
        p.setPen(Qt::white);
        p.setFont(PassFont());
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("PASS"));
    }
    if (m_bHover) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(HoverFrameColour(), 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CSmallEqPanel::resizeEvent(QResizeEvent*) {
    m_pmGrid = QPixmap();
    UpdateAll();
}

// ---- Mouse ------------------------------------------------------------------------------------------

void CSmallEqPanel::SetHover(bool hover) {
    if (m_bHover != hover) {
        m_bHover = hover;
        update();
    }
}

void CSmallEqPanel::enterEvent(QEnterEvent*) {
    // A disabled panel opens nothing, so it does not invite a click either. (Qt still sends it the
    // enter and leave events.)
    SetHover(isEnabled());
}

void CSmallEqPanel::leaveEvent(QEvent*) {
    SetHover(false);
}

void CSmallEqPanel::mouseMoveEvent(QMouseEvent*) {
    SetHover(true);
}

void CSmallEqPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        SetHover(false);
    }
    QWidget::changeEvent(event);
}

void CSmallEqPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_bPressed = true;
    }
}

void CSmallEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && m_bPressed && rect().contains(event->pos());
    if (event->button() == Qt::LeftButton) {
        m_bPressed = false;
    }
    if (click) {
        emit Clicked();
    }
}
