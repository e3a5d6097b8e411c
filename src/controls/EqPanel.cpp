#include "controls/EqPanel.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>
#include <vector>

#include "ui/Language.h"

namespace {

constexpr float kAxisMinF = 18.0f;
constexpr float kAxisGainTop = 15.0f;
constexpr float kAxisGainSpan = 30.0f;
constexpr int kHandleCountOutput = 10;
constexpr int kHitLeft = 10;  // left button: pixels from the handle centre in x and y
constexpr int kHitRight = 16; // right button and hover
constexpr float kRightDragPeq = 12;
constexpr float kRightDragFilter = 80;

// log10(23000/18) in single precision, as the grid and the mapping use it.
float AxisLogSpan() {
    return static_cast<float>(std::log10(kAxisMaxHz / kAxisMinHz));
}

bool IsGainType(int type) {
    return type == EQ_PEQ || type == EQ_LS || type == EQ_HS;
}
bool IsFilterType(int type) { // LP, HP, LS, HS: the narrow Q range
    return type >= EQ_LP && type <= EQ_HS;
}
bool IsGainlessType(int type) {
    return type == EQ_LP || type == EQ_HP || type >= EQ_CHEBYSHEV_LP;
}
float QMaxFor(int type) {
    return type == EQ_PEQ ? CEqPanel::kQMaxPeq : CEqPanel::kQMaxOther;
}

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

// printf formatting as the C library does it: Qt's own asprintf drops the sign of a negative zero.
template <typename... Args> QString Format(const char* fmt, Args... args) {
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return QString::fromUtf8(buf);
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

// Copies of the panel's sections for the core's span-based curve functions.
std::vector<EqSection> Sections(std::span<const EqBand> bands) {
    return std::vector<EqSection>(bands.begin(), bands.end());
}

} // namespace

CEqPanel::CEqPanel(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < kMaxBands; ++i) {
        m_band[i].nIndex = i;
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus); // the left button takes the focus itself
}

CEqPanel::~CEqPanel() = default;

// ---- Page operations --------------------------------------------------------------------------------

void CEqPanel::SetBandCount(int n) {
    m_nBandCount = std::clamp(n, 0, static_cast<int>(kMaxBands));
    static constexpr float kFreq[10] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    if (n == 7 || n == 10) {
        for (int i = 0; i < n; ++i) {
            m_band[i].fFreq = kFreq[i];
            m_band[i].nType = EQ_PEQ;
            m_band[i].fQ = 1.41f;
        }
    }
    for (int i = 0; i < m_nBandCount; ++i) {
        m_band[i].nIndex = i;
        m_band[i].fGain = 0;
        CalcCurve(i);
    }
    update();
}

void CEqPanel::SetBandGain(int band, float db) {
    if (!ValidBand(band)) {
        return;
    }
    EqBand& b = m_band[band];
    b.fGain = IsGainlessType(b.nType) ? 0.0f : std::clamp(db, kGainSetMin, kGainSetMax);
    CalcCurve(band);
    update();
}

void CEqPanel::SetBandQ(int band, float q) {
    if (!ValidBand(band) || std::fabs(q) < 1e-7f) {
        return;
    }
    EqBand& b = m_band[band];
    b.fQ = std::clamp(q, kQMin, QMaxFor(b.nType));
    CalcCurve(band);
    update();
}

void CEqPanel::SetBandType(int band, int type) {
    if (!ValidBand(band)) {
        return;
    }
    m_band[band].nType = type;
    if (type == EQ_PEQ) {
        SetBandQ(band, 1.41f);
    } else if (IsFilterType(type)) {
        SetBandGain(band, 0);
        SetBandQ(band, 0.7f);
    }
    CalcCurve(band);
    update();
}

void CEqPanel::SetBandTypeWithCrossover(int band, int type) {
    if (!ValidBand(band)) {
        return;
    }
    if (!IsOutputKind()) {
        SetBandType(band, type);
        return;
    }
    SetBandGain(band, 0);
    if (band != kCrossoverBand) {
        SetBandType(band, type);
        return;
    }
    // An "off" crossover band leaves transparent companions behind, so nothing of the old filter stays.
    std::array<int, 4> codes = kBand9TypeSections[0];
    if (type >= EQ_PEQ && type <= EQ_HS) {
        codes = kBand9TypeSections[type];
    } else {
        codes[0] = type;
    }
    for (int j = 0; j < 4; ++j) {
        SetBandGain(kCrossoverBand + j, 0);
    }
    for (int j = 0; j < 4; ++j) {
        SetBandType(kCrossoverBand + j, codes[j]);
    }
    CalcCurve(kCrossoverBand); // companions take band 9's frequency and Q again
    update();
}

void CEqPanel::SetCrossoverFamily(int band, int family) {
    if (band != kCrossoverBand || !IsOutputKind()) {
        return;
    }
    const std::array<int, 4> codes = CrossoverSections(family, m_band[kCrossoverBand].nType);
    for (int j = 0; j < 4; ++j) {
        m_band[kCrossoverBand + j].fGain = 0;
    }
    for (int j = 0; j < 4; ++j) {
        SetBandType(kCrossoverBand + j, codes[j]);
    }
    for (int j = 3; j >= 0; --j) {
        CalcCurve(kCrossoverBand + j);
    }
    update();
}

void CEqPanel::SetBandFreq(int band, float hz) {
    if (!ValidBand(band)) {
        return;
    }
    EqBand& b = m_band[band];
    b.fFreq = std::clamp(hz, b.fFreqMin, b.fFreqMax);
    CalcCurve(band);
    update();
}

void CEqPanel::UpdateBandCurve(int band) {
    if (!ValidBand(band)) {
        return;
    }
    CalcCurve(band);
    update();
}

// ---- Access -----------------------------------------------------------------------------------------

EqBand* CEqPanel::GetBand(int band) {
    return ValidBand(band) ? &m_band[band] : nullptr;
}

const EqBand* CEqPanel::GetBand(int band) const {
    return ValidBand(band) ? &m_band[band] : nullptr;
}

void CEqPanel::SetSelectedBand(int band) {
    m_nSelBand = ValidBand(band) ? band : -1;
    update();
}

void CEqPanel::SetKind(int kind) {
    m_nKind = kind;
    update();
}

void CEqPanel::SetBypass(bool bypass) {
    if (m_bBypass != bypass) {
        m_bBypass = bypass;
        update();
    }
}

void CEqPanel::SetCurveColour(QRgb argb) {
    m_rgbCurve = argb;
    update();
}

QString CEqPanel::KindTitle(int kind) {
    switch (kind) {
    case EQ_MIC_A:
        return Tr("话筒A均衡", "Mic A EQ");
    case EQ_MIC_B:
        return Tr("话筒B均衡", "Mic B EQ");
    case EQ_REVERB_A:
        return Tr("混响A均衡", "Reverb A EQ");
    case EQ_REVERB_B:
        return Tr("混响B均衡", "Reverb B EQ");
    case EQ_ECHO_A:
        return Tr("回声A均衡", "Echo A EQ");
    case EQ_ECHO_B:
        return Tr("回声B均衡", "Echo B EQ");
    case EQ_MUSIC:
        return Tr("音乐均衡", "Music EQ");
    default:
        break;
    }
    if (IsOutputEq(kind)) {
        return Tr("通道%1均衡", "CH%1 EQ").arg(kind - EQ_OUT1 + 1);
    }
    return QString();
}

QString CEqPanel::GainText(double db) {
    return Format("%+-.1fdB", db);
}

QStringList CEqPanel::GainAxisLabels() {
    QStringList labels;
    for (int i = 0; i <= 10; ++i) {
        // -(15 - 3i) makes the middle value -0.0: its label reads "-0dB" as on the device's own plots.
        labels << Format("%+-.0fdB", -(15.0 - 3.0 * i));
    }
    return labels;
}

QRgb CEqPanel::BandColour(int band) {
    static constexpr QRgb kColour[13] = {0xFA64B4, 0xFF50FF, 0x5050FF, 0x50FF64, 0xFFFF64, 0xFF6464, 0xFFB414,
                                         0xFF64B4, 0xB464FF, 0x8CB4FF, 0x14B4FF, 0x50FFFF, 0x28FFA0};
    return kColour[((band % 13) + 13) % 13];
}

// ---- Coordinates ------------------------------------------------------------------------------------

QRect CEqPanel::PlotArea() const {
    return QRect(QPoint(kPlotLeft, kPlotTop),
                 QPoint(width() - kPlotRightMargin, height() - kPlotBottomMargin));
}

float CEqPanel::FreqToX(float hz) const {
    const QRect rc = PlotArea();
    const float w = static_cast<float>(rc.right() - rc.left());
    return rc.left() + w * std::log10(hz / kAxisMinF) / AxisLogSpan();
}

float CEqPanel::GainToY(float db) const {
    const QRect rc = PlotArea();
    const float h = static_cast<float>(rc.bottom() - rc.top());
    return rc.top() + (kAxisGainTop - db) * h / kAxisGainSpan;
}

float CEqPanel::XToFreq(float xr) const {
    const QRect rc = PlotArea();
    const float w = static_cast<float>(std::max(1, rc.right() - rc.left()));
    return kAxisMinF * std::pow(10.0f, AxisLogSpan() * xr / w);
}

float CEqPanel::YToGain(float yr, int grabY) const {
    const QRect rc = PlotArea();
    const float h = static_cast<float>(std::max(1, rc.bottom() - rc.top()));
    return kAxisGainTop - (yr - grabY) * kAxisGainSpan / h;
}

int CEqPanel::CurveWidth() const {
    const QRect rc = PlotArea();
    return std::max(1, rc.right() - rc.left());
}

// ---- Internals --------------------------------------------------------------------------------------

int CEqPanel::HandleCount() const {
    return IsOutputKind() ? std::min(kHandleCountOutput, m_nBandCount) : m_nBandCount;
}

int CEqPanel::HighestSelectable() const {
    return IsOutputKind() ? kCrossoverBand : m_nBandCount - 1;
}

void CEqPanel::CalcCurve(int band) {
    const int width = CurveWidth();
    if (IsOutputKind() && band == kCrossoverBand) {
        // The core copies band 9's frequency and Q into the companions 10..12 and recomputes them.
        std::vector<EqSection> work = Sections(std::span<const EqBand>(m_band).first(kCrossoverBand + 4));
        CalcSectionCurve(work, kCrossoverBand, true, width);
        for (int j = kCrossoverBand; j < kCrossoverBand + 4; ++j) {
            static_cast<EqSection&>(m_band[j]) = work[j];
        }
        return;
    }
    CalcSectionCurve(m_band[band], width);
}

void CEqPanel::ClampSelected() {
    EqBand& b = m_band[m_nSelBand];
    b.fGain = std::clamp(b.fGain, b.fGainMin, b.fGainMax);
    b.fQ = std::clamp(b.fQ, kQMin, IsFilterType(b.nType) ? kQMaxOther : kQMaxPeq);
    b.fFreq = std::clamp(b.fFreq, b.fFreqMin, b.fFreqMax);
}

void CEqPanel::SendChanged(int band) {
    emit EqBandChanged(&m_band[band], band);
}

int CEqPanel::ExecMenu(QMenu& menu, const QPoint& globalPos) {
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

void CEqPanel::PlaceHandles() {
    const QRect rc = PlotArea();
    for (int i = 0; i < HandleCount(); ++i) {
        EqBand& b = m_band[i];
        if (b.nType == EQ_OFF) {
            continue; // an off band keeps the place it was last drawn at
        }
        b.fX = FreqToX(b.fFreq) - rc.left();
        b.fY = GainToY(b.fGain) - rc.top();
    }
}

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

// ---- Input ------------------------------------------------------------------------------------------

void CEqPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The curves' peak points depend on the plot width.
    for (int i = 0; i < std::max(m_nBandCount, IsOutputKind() ? kCrossoverBand + 4 : 0); ++i) {
        CalcCurve(i);
    }
    update();
}

void CEqPanel::mousePressEvent(QMouseEvent* event) {
    const QRect rc = PlotArea();
    const QPoint pt = event->position().toPoint() - rc.topLeft();
    if (event->button() == Qt::LeftButton) {
        if (m_bRightDrag) {
            return;
        }
        setFocus(Qt::MouseFocusReason);
        m_ptPress = pt;
        m_bLeftDrag = true;
        m_bMoved = false;
        m_bPressHit = false;
        m_nSelBand = -1;
        PlaceHandles();
        for (int i = 0; i < HandleCount(); ++i) {
            const EqBand& b = m_band[i];
            if (b.nType != EQ_OFF && std::fabs(b.fX - pt.x()) < kHitLeft &&
                std::fabs(b.fY - pt.y()) < kHitLeft) {
                m_nSelBand = i;
                m_bPressHit = true;
                m_ptGrab = QPoint(static_cast<int>(std::lround(pt.x() - b.fX)),
                                  static_cast<int>(std::lround(pt.y() - b.fY)));
                SendChanged(i);
                break;
            }
        }
        update();
    } else if (event->button() == Qt::RightButton) {
        if (m_bLeftDrag) {
            return;
        }
        m_ptPress = pt;
        m_bRightDrag = true;
        m_bMoved = false;
        m_nSelBand = -1;
        PlaceHandles();
        for (int i = 0; i < HandleCount(); ++i) {
            const EqBand& b = m_band[i];
            if (std::fabs(b.fX - pt.x()) < kHitRight && std::fabs(b.fY - pt.y()) < kHitRight) {
                m_nSelBand = i;
                m_nLastX = pt.x();
                SendChanged(i);
                break;
            }
        }
        update();
    }
}

void CEqPanel::mouseMoveEvent(QMouseEvent* event) {
    const QRect rc = PlotArea();
    const QPoint pt = event->position().toPoint() - rc.topLeft();
    if (!m_bLeftDrag && !m_bRightDrag) {
        if (event->buttons() == Qt::NoButton) {
            PlaceHandles();
            m_nHoverBand = -1;
            for (int i = 0; i < HandleCount(); ++i) {
                const EqBand& b = m_band[i];
                if (b.nType != EQ_OFF && std::fabs(b.fX - pt.x()) < kHitRight &&
                    std::fabs(b.fY - pt.y()) < kHitRight) {
                    m_nHoverBand = i; // the last one wins
                }
            }
        }
        update();
        return;
    }
    if (std::abs(pt.x() - m_ptPress.x()) > 1 || std::abs(pt.y() - m_ptPress.y()) > 1) {
        m_bMoved = true;
    }
    if (!m_bMoved || m_nSelBand < 0) {
        update();
        return;
    }
    EqBand& b = m_band[m_nSelBand];
    if (m_bLeftDrag) {
        float gain = YToGain(static_cast<float>(pt.y()), m_ptGrab.y());
        gain = IsGainType(b.nType) ? std::round(gain * 10.0f) / 10.0f : 0.0f;
        b.fGain = std::clamp(gain, b.fGainMin, b.fGainMax);
        b.fFreq = std::clamp(XToFreq(static_cast<float>(pt.x())), b.fFreqMin, b.fFreqMax);
    } else {
        const bool filter = IsFilterType(b.nType);
        const float d = filter ? kRightDragFilter : kRightDragPeq;
        const float qMax = filter ? kQMaxOther : kQMaxPeq;
        b.fQ = std::clamp(b.fQ + static_cast<float>(pt.x() - m_nLastX) / d, kQMin, qMax);
        m_nLastX = pt.x();
    }
    CalcCurve(m_nSelBand);
    SendChanged(m_nSelBand);
    update();
}

void CEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_bLeftDrag) {
        m_bLeftDrag = false;
        if (!m_bPressHit) {
            emit EqBandDeselect();
        } else if (m_bMoved && m_nSelBand >= 0) {
            SendChanged(m_nSelBand);
        }
        update();
    } else if (event->button() == Qt::RightButton && m_bRightDrag) {
        m_bRightDrag = false;
        const QPoint global = event->globalPosition().toPoint();
        if (m_nSelBand < 0) {
            QMenu menu(this);
            menu.addAction(Tr("复制均衡", "Copy EQ"))->setData(ID_EQ_COPY);
            menu.addAction(Tr("粘贴均衡", "Paste EQ"))->setData(ID_EQ_PASTE);
            menu.addSeparator();
            menu.addAction(Tr("导入滤波器…", "Import filters…"))->setData(ID_EQ_IMPORT);
            menu.addAction(Tr("导出滤波器…", "Export filters…"))->setData(ID_EQ_EXPORT);
            menu.addAction(Tr("根据测量自动均衡…", "Auto EQ from measurement…"))->setData(ID_EQ_AUTO);
            const int id = ExecMenu(menu, global);
            if (id == ID_EQ_COPY || id == ID_EQ_PASTE) {
                emit EqCopyPaste(id - ID_EQ_COPY, m_nKind);
            } else if (id == ID_EQ_IMPORT || id == ID_EQ_EXPORT) {
                emit EqFilterFile(id == ID_EQ_IMPORT, m_nKind);
            } else if (id == ID_EQ_AUTO) {
                emit EqAutoEq(m_nKind);
            }
        } else {
            SendChanged(m_nSelBand);
            if (!m_bMoved) {
                QMenu menu(this);
                menu.addAction(Tr("参量(PEQ)", "PEQ"))->setData(ID_EQ_TYPE_PEQ);
                menu.addAction(Tr("低通(LP)", "LP"))->setData(ID_EQ_TYPE_LP);
                menu.addAction(Tr("高通(HP)", "HP"))->setData(ID_EQ_TYPE_HP);
                menu.addAction(Tr("低架(LS)", "LS"))->setData(ID_EQ_TYPE_LS);
                menu.addAction(Tr("高架(HS)", "HS"))->setData(ID_EQ_TYPE_HS);
                const int id = ExecMenu(menu, global);
                // The selection may have changed while the menu ran its own event loop.
                if (id >= ID_EQ_TYPE_PEQ && id <= ID_EQ_TYPE_HS && m_nSelBand >= 0) {
                    SetBandTypeWithCrossover(m_nSelBand, id - 2024);
                    SendChanged(m_nSelBand);
                }
            }
        }
        update();
    }
}

void CEqPanel::wheelEvent(QWheelEvent* event) {
    event->accept(); // never passed on to the page
    if (m_nSelBand < 0 || !IsGainType(m_band[m_nSelBand].nType)) {
        return;
    }
    const QPoint delta = event->angleDelta();
    const int d = delta.y() != 0 ? delta.y() : delta.x();
    if (d == 0) {
        return;
    }
    EqBand& b = m_band[m_nSelBand];
    b.fGain = std::clamp(b.fGain + (d < 0 ? -0.1f : 0.1f), b.fGainMin, b.fGainMax);
    CalcCurve(m_nSelBand);
    SendChanged(m_nSelBand);
    update();
}

void CEqPanel::keyPressEvent(QKeyEvent* event) {
    event->accept(); // every key is consumed
    if (m_nSelBand < 0) {
        return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int key = event->key();
    EqBand* b = &m_band[m_nSelBand];
    const int last = HighestSelectable();

    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const int band = key == Qt::Key_0 ? 9 : key - Qt::Key_1;
        if (band < (IsOutputKind() ? kHandleCountOutput : m_nBandCount)) {
            m_nSelBand = band;
            emit EqBandPicked(&m_band[band], band);
            update();
        }
        return;
    }

    switch (key) {
    case Qt::Key_PageUp:
        m_nSelBand = std::max(m_nSelBand - 1, 0);
        break;
    case Qt::Key_PageDown:
        m_nSelBand = std::min(m_nSelBand + 1, last);
        break;
    case Qt::Key_End:
        m_nSelBand = last;
        break;
    case Qt::Key_Home:
        m_nSelBand = 0;
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const float f = b->fFreq;
        const float step = f > 10000 ? 100 : f > 1000 ? 10 : f > 100 ? 5 : 2;
        const float sign = key == Qt::Key_Right ? 1.0f : -1.0f;
        b->fFreq = f + sign * (step + (ctrl ? 1.0f : 0.0f));
        break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (IsGainType(b->nType)) {
            const float step = ctrl ? 0.1f : 0.2f;
            b->fGain += key == Qt::Key_Up ? step : -step;
        }
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // the +/= key without Shift
        b->fQ += ctrl ? 0.01f : 0.1f;
        break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        b->fQ -= ctrl ? 0.01f : 0.1f;
        break;
    case Qt::Key_Comma:
    case Qt::Key_Less:
    case Qt::Key_Period:
    case Qt::Key_Greater: {
        if (IsOutputKind() && m_nSelBand == kCrossoverBand) {
            return;
        }
        const bool prev = key == Qt::Key_Comma || key == Qt::Key_Less;
        if (prev && b->nType >= EQ_LP && b->nType <= EQ_HS) {
            SetBandType(m_nSelBand, b->nType - 1);
        } else if (!prev && b->nType >= EQ_PEQ && b->nType <= EQ_LS) {
            SetBandType(m_nSelBand, b->nType + 1);
        }
        break;
    }
    default:
        return;
    }
    if (m_nSelBand < 0 || m_nSelBand >= kMaxBands) {
        m_nSelBand = -1;
        update();
        return;
    }
    ClampSelected();
    CalcCurve(m_nSelBand);
    SendChanged(m_nSelBand);
    update();
}
