#include "controls/AutoEqPlot.h"

#include "model/Eq.h"
#include "ui/Language.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr double kDrawnDb = 40; // a curve beyond this far off the level is drawn at it (clipped anyway)
constexpr int kLegendWidth = 120;

} // namespace

CAutoEqPlot::CAutoEqPlot(QWidget* parent) : CEqPanel(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void CAutoEqPlot::SetBands(int eq, std::span<const BandValues> bands, std::span<const BandValues> kept) {
    SetKind(eq);
    const int n = EqBands(eq);
    SetBandCount(n);
    for (int b = 0; b < n; ++b) {
        EqBand* band = GetBand(b);
        if (!band)
            continue;
        const bool companion = IsOutputKind() && b > kCrossoverBand;
        const bool keptSection = IsOutputKind() && b >= kCrossoverBand && !kept.empty();
        if (keptSection && static_cast<size_t>(b - kCrossoverBand) < kept.size()) {
            const BandValues& k = kept[b - kCrossoverBand];
            band->nType = k.nType;
            band->fGain = 0;
            band->fFreq = k.fFreq;
            band->fQ = k.fQ;
        } else if (companion) {
            band->nType = EQ_PEQ; // flat, as a plain band 10 leaves them
            band->fGain = 0;
        } else if (static_cast<size_t>(b) < bands.size() && bands[b].nType != EQ_OFF) {
            band->nType = bands[b].nType;
            band->fGain = bands[b].fGain;
            band->fFreq = bands[b].fFreq;
            band->fQ = bands[b].fQ;
        } else {
            band->nType = EQ_OFF;
            band->fGain = 0;
        }
    }
    for (int b = 0; b < n; ++b)
        UpdateBandCurve(b);
    update();
}

void CAutoEqPlot::SetCurves(std::vector<Curve> curves, double levelDb) {
    m_curves = std::move(curves);
    m_fLevelDb = levelDb;
    update();
}

void CAutoEqPlot::SetMessage(const QString& text) {
    m_strMessage = text;
    update();
}

void CAutoEqPlot::paintEvent(QPaintEvent* event) {
    CEqPanel::paintEvent(event);
    QPainter p(this);
    const QRect rc = PlotArea();
    p.setClipRect(QRect(rc.left(), rc.top(), rc.right() - rc.left(), rc.bottom() - rc.top()));
    p.setRenderHint(QPainter::Antialiasing);
    for (const Curve& c : m_curves) {
        QPainterPath path;
        for (size_t i = 0; i < c.hz.size() && i < c.db.size(); ++i) {
            if (c.hz[i] < kAxisMinHz || c.hz[i] > kAxisMaxHz)
                continue;
            const double db = std::clamp(c.db[i] - m_fLevelDb, -kDrawnDb, kDrawnDb);
            const QPointF pt(FreqToX(static_cast<float>(c.hz[i])), GainToY(static_cast<float>(db)));
            if (path.elementCount() == 0)
                path.moveTo(pt);
            else
                path.lineTo(pt);
        }
        p.setPen(QPen(c.colour, 1.6, c.style));
        p.drawPath(path);
    }
    // Legend, top right of the plot, where the room modes seldom are: the curves, then the EQ's own.
    QFont f = font();
    f.setPixelSize(11);
    p.setFont(f);
    int y = rc.top() + 6;
    const int x = rc.right() - kLegendWidth;
    auto legend = [&](const QString& name, const QColor& colour, Qt::PenStyle style) {
        p.setPen(QPen(colour, 2, style));
        p.drawLine(x, y + 6, x + 22, y + 6);
        p.setPen(QColor(200, 200, 200));
        p.drawText(QRect(x + 28, y, kLegendWidth - 28, 14), Qt::AlignLeft | Qt::AlignVCenter, name);
        y += 15;
    };
    for (const Curve& c : m_curves)
        legend(c.strName, c.colour, c.style);
    if (!m_curves.empty())
        legend(Tr("均衡曲线", "EQ curve"), QColor::fromRgba(CurveColour()), Qt::SolidLine);
    if (!m_strMessage.isEmpty()) {
        QFont big = font();
        big.setPixelSize(15);
        p.setFont(big);
        p.setPen(QColor(210, 210, 210));
        p.drawText(rc, Qt::AlignCenter | Qt::TextWordWrap, m_strMessage);
    }
}

// Nothing on the plot is edited: the bands come from the fit.
void CAutoEqPlot::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
void CAutoEqPlot::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
void CAutoEqPlot::wheelEvent(QWheelEvent* event) {
    event->accept();
}
void CAutoEqPlot::keyPressEvent(QKeyEvent* event) {
    event->ignore();
}
