// The EQ panel's painting: grid and axes, the selected band's fill, the sum curve, the handles, the
// value labels, the status line and the bypass mark.
#include "controls/EqPanel.h"

#include "controls/EqPanelParts.h"
#include "ui/Language.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

using namespace eqpanel;

namespace {

QColor Argb(QRgb rgb, int alpha) {
    QColor c = QColor::fromRgb(rgb);
    c.setAlpha(alpha);
    return c;
}

QFont MakeFont(const QStringList& families) {
    QFont f;
    f.setFamilies(families);
    f.setWeight(QFont::Normal);
    return f;
}
QFont SongFont() {
    return MakeFont({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                     QStringLiteral("Noto Sans CJK SC")});
}
QFont ArialFont(qreal points) {
    QFont f =
        MakeFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setPointSizeF(points);
    return f;
}
QFont TitleFont() {
    QFont f = SongFont();
    f.setPixelSize(13);
    return f;
}
QFont StatusFont() {
    QFont f = SongFont();
    f.setPointSizeF(9);
    return f;
}
QFont BypassFont() {
    QFont f =
        MakeFont({QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("Noto Sans CJK SC")});
    f.setPixelSize(72);
    return f;
}

// A cardinal spline through `pts` as cubic Béziers: the tangent at a point is tension/3 of the chord
// between its neighbours; the ends of an open curve use themselves as the missing neighbour.
void AddCardinalSpline(QPainterPath& path, std::span<const QPointF> pts, qreal tension, bool closed) {
    const int n = static_cast<int>(pts.size());
    if (n < 2) {
        return;
    }
    const qreal k = tension / 3;
    auto at = [&](int i) -> const QPointF& {
        if (closed) {
            return pts[(i + n) % n];
        }
        return pts[std::clamp(i, 0, n - 1)];
    };
    path.moveTo(pts[0]);
    const int segments = closed ? n : n - 1;
    for (int i = 0; i < segments; ++i) {
        const QPointF& p0 = at(i);
        const QPointF& p1 = at(i + 1);
        const QPointF c1 = p0 + k * (p1 - at(i - 1));
        const QPointF c2 = p1 - k * (at(i + 2) - p0);
        path.cubicTo(c1, c2, p1);
    }
    if (closed) {
        path.closeSubpath();
    }
}

// Curve points far outside the plot are held 20 pixels beyond it: the visible part is the same, and
// a point hundreds of dB down would otherwise bend the fill's closing edge up into the plot.
qreal CurveY(const QRect& plot, float y) {
    return std::clamp<qreal>(y, plot.top() - 20, plot.bottom() + 20);
}

} // namespace

// ---- Painting ---------------------------------------------------------------------------------------

void CEqPanel::paintEvent(QPaintEvent*) {
    PlaceHandles();
    QPainter p(this);
    p.fillRect(rect(), QColor(20, 20, 20));
    DrawGrid(p);

    const QRect rc = PlotArea();
    p.save();
    p.setClipRect(QRect(rc.left(), rc.top(), rc.right() - rc.left(), rc.bottom() - rc.top()));
    p.setRenderHint(QPainter::Antialiasing);
    if (m_nSelBand >= 0) {
        DrawSelectedFill(p);
    }
    DrawSumCurve(p);
    p.restore();

    p.setRenderHint(QPainter::Antialiasing);
    DrawHandles(p);
    if (m_nHoverBand >= 0 && m_band[m_nHoverBand].nType != EQ_OFF) {
        DrawValueLabels(p, m_band[m_nHoverBand]);
    }
    if (m_bBypass) {
        DrawBypass(p);
    }
}

void CEqPanel::DrawGrid(QPainter& p) const {
    const QRect rc = PlotArea();
    const int left = rc.left(), top = rc.top(), right = rc.right(), bottom = rc.bottom();

    p.setFont(TitleFont());
    p.setPen(QColor(255, 255, 0));
    const QString title = KindTitle(m_nKind);
    const QFontMetrics tm(p.font());
    const int tw = tm.horizontalAdvance(title), th = tm.height();
    p.drawText(QRect(right - tw - 2, top - th - 1, tw + 1, th), Qt::AlignLeft | Qt::AlignTop, title);

    p.setPen(QPen(QColor(64, 64, 64), 1));
    const QStringList gainLabels = GainAxisLabels();
    for (int i = 0; i <= 10; ++i) {
        const int y = qRound(GainToY(-15.0f + 3.0f * i));
        p.drawLine(left, y, right, y);
    }
    static constexpr float kLines[] = {18,   20,   30,   40,   50,   60,   70,   80,    90,    100,
                                       200,  300,  400,  500,  600,  700,  800,  900,   1000,  2000,
                                       3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000, 23000};
    for (float f : kLines) {
        const int x = qRound(FreqToX(f));
        p.drawLine(x, top + 1, x, bottom);
    }

    p.setFont(ArialFont(8.4));
    p.setPen(QColor(128, 128, 128));
    const int lh = QFontMetrics(p.font()).height();
    for (int i = 0; i <= 10; ++i) {
        const int y = qRound(GainToY(-15.0f + 3.0f * i));
        // The labels run from -15 at the bottom, so line i carries label 10 - i of the top-down list.
        p.drawText(QRect(0, y - lh / 2, left - 3, lh), Qt::AlignRight | Qt::AlignVCenter, gainLabels[i]);
    }
    static constexpr struct {
        float fHz;
        const char* szText;
    } kFreqLabels[] = {{20, "20Hz"},   {50, "50Hz"},   {100, "100Hz"}, {200, "200Hz"},   {500, "500Hz"},
                       {1000, "1kHz"}, {2000, "2kHz"}, {5000, "5kHz"}, {10000, "10kHz"}, {20000, "20kHz"}};
    for (const auto& l : kFreqLabels) {
        const int x = qRound(FreqToX(l.fHz));
        p.drawText(QRect(x - 40, bottom + 4, 80, lh), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromLatin1(l.szText));
    }
}

void CEqPanel::DrawSelectedFill(QPainter& p) const {
    const EqBand& sel = m_band[m_nSelBand];
    if (sel.nType == EQ_OFF) {
        return; // an off band has no response to show
    }
    ResponseCurve curve;
    if (IsOutputKind()) {
        if (m_nSelBand != kCrossoverBand) {
            return; // output channels show only the crossover's fill
        }
        curve = CrossoverCurve(Sections(std::span<const EqBand>(m_band).first(kCrossoverBand + 4)));
    } else {
        curve = sel.curve;
    }
    const QRect rc = PlotArea();
    const qreal w = rc.right() - rc.left();
    std::array<QPointF, kResponsePoints + 2> pts;
    for (int i = 1; i <= kResponsePoints; ++i) {
        pts[i] = QPointF(rc.left() + i * w / kResponsePoints, CurveY(rc, GainToY(curve[i - 1])));
    }
    if (IsLowPassType(sel.nType) || IsHighPassType(sel.nType)) {
        pts[0] = QPointF(pts[1].x(), rc.bottom() + 20);
        pts[kResponsePoints + 1] = QPointF(pts[kResponsePoints].x(), rc.bottom() + 20);
    } else {
        pts[0] = QPointF(rc.left(), GainToY(0));
        pts[kResponsePoints + 1] = QPointF(rc.right(), GainToY(0));
    }
    QPainterPath path;
    path.setFillRule(Qt::WindingFill); // the closing edge may cross the curve far below the plot
    AddCardinalSpline(path, pts, 0.5, true);
    p.fillPath(path, Argb(BandColour(m_nSelBand), 0x20));
}

void CEqPanel::DrawSumCurve(QPainter& p) const {
    const ResponseCurve sum = SumCurves(Sections(std::span<const EqBand>(m_band).first(m_nBandCount)));
    const QRect rc = PlotArea();
    const qreal w = rc.right() - rc.left();
    std::array<QPointF, kResponsePoints> pts;
    for (int i = 0; i < kResponsePoints; ++i) {
        pts[i] = QPointF(rc.left() + i * w / kResponsePoints, CurveY(rc, GainToY(sum[i])));
    }
    QPainterPath path;
    AddCardinalSpline(path, pts, 0.1, false);
    p.strokePath(path, QPen(QColor::fromRgba(m_rgbCurve), 2));
}

void CEqPanel::DrawHandles(QPainter& p) const {
    const QRect rc = PlotArea();
    const QFont numberFont = ArialFont(8);
    for (int i = 0; i < HandleCount(); ++i) {
        const EqBand& b = m_band[i];
        if (b.nType == EQ_OFF) {
            continue;
        }
        const QRgb rgb = BandColour(i);
        const bool selected = i == m_nSelBand;
        const QPointF c(rc.left() + b.fX, rc.top() + b.fY);
        const int fillAlpha = selected ? 0x50 : 0x25;
        if (b.nType == EQ_PEQ) {
            p.setPen(QPen(Argb(rgb, 0x7F), 2));
            p.setBrush(Qt::NoBrush);
            const QRectF ring(c.x() - 9, c.y() - 9, 18, 18);
            // Clockwise on screen from 15 and from 195 degrees, 150 degrees each: gaps left and right.
            p.drawArc(ring, -15 * 16, -150 * 16);
            p.drawArc(ring, -195 * 16, -150 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(Argb(rgb, fillAlpha));
            p.drawEllipse(QRectF(c.x() - 7, c.y() - 7, 14, 14));
        } else {
            QPen pen(Argb(rgb, 0x7F), 1.5, Qt::DashLine);
            p.setPen(pen);
            p.setBrush(Argb(rgb, fillAlpha));
            p.drawRect(QRectF(c.x() - 7, c.y() - 7, 14, 14));
            if (selected) {
                p.setPen(QPen(QColor(255, 0, 0), 1.5, Qt::DashLine));
                p.drawLine(QPointF(c.x(), rc.top()), QPointF(c.x(), rc.bottom()));
            }
        }
        p.setBrush(Qt::NoBrush);
        p.setFont(numberFont);
        p.setPen(QColor::fromRgb(rgb));
        p.drawText(QRectF(c.x() - 20, c.y() - 10, 40, 20), Qt::AlignCenter, QString::number(i + 1));

        if (selected) {
            if (m_nHoverBand < 0) {
                DrawValueLabels(p, b);
            }
            DrawStatusLine(p, b);
        }
    }
}

void CEqPanel::DrawValueLabels(QPainter& p, const EqBand& band) const {
    const QRect rc = PlotArea();
    const int cx = qRound(rc.left() + band.fX - (band.nIndex + 1 >= 10 ? 7 : 4));
    const int cy = qRound(rc.top() + band.fY - 4);
    const bool above = band.fGain < -0.01f;
    const int y0 = above ? cy - 42 : cy + 18;
    const struct {
        const char* szLabel;
        QString value;
    } lines[3] = {
        {"F:", Format("%.0fHz", band.fFreq)}, {"G:", GainText(band.fGain)}, {"Q:", Format("%.2f", band.fQ)}};
    p.setFont(ArialFont(8.4));
    const int lh = QFontMetrics(p.font()).height();
    for (int i = 0; i < 3; ++i) {
        const int half = (6 * static_cast<int>(lines[i].value.size()) + 12) / 2;
        const int y = y0 + 9 * i;
        p.setPen(QColor(180, 180, 180));
        p.drawText(QRect(cx - half + 1, y, 40, lh), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromLatin1(lines[i].szLabel));
        p.setPen(QColor(16, 255, 16));
        p.drawText(QRect(cx - half + 13, y, 100, lh), Qt::AlignLeft | Qt::AlignTop, lines[i].value);
    }
}

void CEqPanel::DrawStatusLine(QPainter& p, const EqBand& band) const {
    const QString head =
        IsEnglish()
            ? Format("Index=%d     Frequency=%.0fHz    Q=%.2f     Gain=", band.nIndex + 1, band.fFreq,
                     band.fQ)
            : Format("EQ号=%d    频率=%.0fHz    Q值=%.2f     增益=", band.nIndex + 1, band.fFreq, band.fQ);
    const QString gain = GainText(band.fGain) + QLatin1Char(' ');
    const float mag = std::fabs(band.fGain);
    const QColor gainColour = mag <= 6.0f   ? QColor(0, 255, 0)
                              : mag < 10.1f ? QColor(255, 255, 0)
                                            : QColor(255, 0, 0);
    p.setFont(StatusFont());
    const QFontMetrics fm(p.font());
    const int x = kPlotLeft, y = 3;
    const int hw = fm.horizontalAdvance(head);
    p.setPen(QColor(0, 255, 0));
    p.drawText(QRect(x, y, hw + 1, fm.height()), Qt::AlignLeft | Qt::AlignTop, head);
    p.setPen(gainColour);
    p.drawText(QRect(x + hw, y, fm.horizontalAdvance(gain) + 1, fm.height()), Qt::AlignLeft | Qt::AlignTop,
               gain);
}

void CEqPanel::DrawBypass(QPainter& p) const {
    p.setFont(BypassFont());
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("BYPASS"));
}
