#include "controls/CompressPanelPlus.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "controls/PanelPaint.h"
#include "ui/Colors.h"

namespace {

constexpr uint32_t kGridColour = 0x006E00;
constexpr uint32_t kTextColour = 0x00FFFF;
constexpr uint32_t kOffColour = 0xFF9600;
constexpr uint32_t kCurveArgb = 0xFF00CFFF;
constexpr uint32_t kKneeArgb = 0xC8FF0A0A;
constexpr uint32_t kBandArgb = 0x41787878;
constexpr double kSpanDb = 96.0;

// Truncated to a pixel; held far outside any window first so that the conversion is always defined.
int Pixel(double v) {
    return static_cast<int>(std::clamp(v, -1e6, 1e6));
}

} // namespace

CCompressPanelPlus::CCompressPanelPlus(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CCompressPanelPlus::~CCompressPanelPlus() = default;

void CCompressPanelPlus::SetOn(int on) {
    m_nOn = on;
    update();
}

void CCompressPanelPlus::SetThreshold(float db) {
    m_fThreshold = db;
    update();
}

void CCompressPanelPlus::SetLowerPoint(float db) {
    m_fLower = db;
    update();
}

void CCompressPanelPlus::SetSlopeAbove(float slope) {
    m_fSlopeAbove = slope;
    update();
}

void CCompressPanelPlus::SetSlopeBelow(float slope) {
    m_fSlopeBelow = slope;
    update();
}

void CCompressPanelPlus::SetRatio(float ratio) {
    SetSlopeAbove(SlopeForRatio(ratio));
}

// ---- Geometry ---------------------------------------------------------------------------------------

float CCompressPanelPlus::SlopeForRatio(float ratio) {
    if (!std::isfinite(ratio) || ratio <= 0) {
        return 1.0f;
    }
    const float slope = 1.0f / ratio;
    return std::isfinite(slope) ? slope : 1.0f; // a denormal ratio
}

float CCompressPanelPlus::DrawnThreshold(float db) {
    return std::isnan(db) ? kLevelMax : std::clamp(db, kLevelMin, kLevelMax);
}

float CCompressPanelPlus::DrawnLowerPoint(float db) {
    return std::isnan(db) ? kLevelMin : std::clamp(db, kLevelMin, kLevelMax);
}

float CCompressPanelPlus::DrawnSlope(float slope) {
    return std::isfinite(slope) && slope >= 0 ? slope : 1.0f;
}

CCompressPanelPlus::Curve CCompressPanelPlus::CurveFor(int clientWidth, int clientHeight, float threshold,
                                                       float lower, float slopeAbove, float slopeBelow) {
    const double W = clientWidth - kPlotLeft - kPlotRight;
    const double H = clientHeight - kPlotTop - kPlotBottom;
    const double T = DrawnThreshold(threshold), L = DrawnLowerPoint(lower);
    const double sa = DrawnSlope(slopeAbove), sb = DrawnSlope(slopeBelow);
    auto x = [&](double d) { return kPlotLeft + (d - kLevelMin) * W / kSpanDb; };
    auto y = [&](double d) { return kPlotTop + std::fabs(d - kLevelMax) * H / kSpanDb; };

    Curve c;
    c.ptStart = QPoint(kPlotLeft, Pixel(y(L) + (L - kLevelMin) * H / kSpanDb * sb));
    c.ptLower = QPoint(Pixel(x(L)), Pixel(y(L)));
    c.ptKnee = QPoint(Pixel(x(T)), Pixel(y(T)));
    c.ptEnd = QPoint(Pixel(kPlotLeft + W), Pixel(y(T) - (kLevelMax - T) * H / kSpanDb * sa));
    const int top = std::min(c.ptEnd.y(), c.ptStart.y());
    c.rcBand = QRect(kPlotLeft, top, Pixel(W), std::abs(c.ptEnd.y() - c.ptStart.y()));
    return c;
}

CCompressPanelPlus::Curve CCompressPanelPlus::CurrentCurve() const {
    return CurveFor(width(), height(), m_fThreshold, m_fLower, m_fSlopeAbove, m_fSlopeBelow);
}

// ---- Painting ---------------------------------------------------------------------------------------

void CCompressPanelPlus::DrawBackground(QPainter& p) const {
    const int w = width(), h = height();
    const double W = w - kPlotLeft - kPlotRight;
    const double H = h - kPlotTop - kPlotBottom;
    auto x = [&](double d) { return Pixel(kPlotLeft + (d - kLevelMin) * W / kSpanDb); };
    auto y = [&](double d) { return Pixel(kPlotTop + std::fabs(d - kLevelMax) * H / kSpanDb); };

    static constexpr struct {
        int nDb;
        const char* szText;
    } kRows[] = {{6, "+6dB"},    {0, "0dB"},     {-10, "-10dB"}, {-20, "-20dB"},
                 {-30, "-30dB"}, {-40, "-40dB"}, {-50, "-50dB"}, {-60, "-60dB"},
                 {-70, "-70dB"}, {-80, "-80dB"}, {-90, "-90dB"}};
    static constexpr struct {
        int nDb;
        const char* szText;
    } kColumns[] = {{-90, "-90dB"}, {-70, "-70dB"}, {-50, "-50dB"},
                    {-30, "-30dB"}, {-10, "-10dB"}, {6, "6dB"}};

    p.setPen(QPen(ColorRef(kGridColour), 1));
    for (const auto& r : kRows) {
        p.drawLine(kPlotLeft, y(r.nDb), w - kPlotRight, y(r.nDb));
    }
    for (const auto& c : kColumns) {
        p.drawLine(x(c.nDb), kPlotTop, x(c.nDb), Pixel(H + kPlotTop));
    }

    p.setFont(panel_paint::SongFont(12));
    p.setPen(ColorRef(kTextColour));
    const int lh = QFontMetrics(p.font()).height();
    for (const auto& r : kRows) {
        p.drawText(QRect(-100, y(r.nDb) - lh / 2, 100 + kPlotLeft - 2, lh),
                   Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, QString::fromLatin1(r.szText));
    }
    for (const auto& c : kColumns) {
        p.drawText(QRect(x(c.nDb) - 40, h - 23, 80, lh), Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip,
                   QString::fromLatin1(c.szText));
    }
}

void CCompressPanelPlus::paintEvent(QPaintEvent*) {
    QPainter p(this);
    panel_paint::PaintCachedBackground(p, this, m_pixBackground,
                                       [this](QPainter& bg) { DrawBackground(bg); });

    const Curve c = CurrentCurve();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ColorArgb(kCurveArgb), 2));
    p.drawLine(c.ptStart, c.ptLower);
    p.drawLine(c.ptLower, c.ptKnee);
    p.drawLine(c.ptKnee, c.ptEnd);
    p.setPen(Qt::NoPen);
    p.setBrush(ColorArgb(kKneeArgb));
    p.drawEllipse(QPointF(c.ptKnee), 4.0, 4.0);
    p.fillRect(c.rcBand, ColorArgb(kBandArgb));

    if (m_nOn == 0) {
        p.setFont(panel_paint::HeiFont(40));
        p.setPen(ColorRef(kOffColour));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("OFF"));
    }
}

void CCompressPanelPlus::resizeEvent(QResizeEvent*) {
    m_pixBackground = QPixmap();
}
