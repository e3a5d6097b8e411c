#include "controls/DelayPanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "controls/PanelPaint.h"
#include "ui/Colors.h"

namespace {

using panel_paint::Format;

constexpr uint32_t kChannelColours[CDelayPanel::kMaxChannels] = {0x57CFE3, 0xE6E0B0, 0x1299FF, 0xE16941,
                                                                 0x558EEB, 0xCD5A6A, 0xD0E041, 0x00FF7F};
constexpr uint32_t kLabelColours[CDelayPanel::kMaxChannels] = {0x57CFE3, 0x57CFE3, 0xE6E0B0, 0x1299FF,
                                                               0xE16941, 0xE16941, 0x558EEB, 0x558EEB};
constexpr uint32_t kTextColour = 0xFFFFFF;
constexpr uint32_t kOuterLineColour = 0x808080;
constexpr uint32_t kInnerLineColour = 0x404040;
constexpr int kScaleStepMs = 20;

// The marker: a triangle pointing left whose tip sits where the row's lines are drawn, half the
// marker's height plus the plot's top margin below the marker's top.
constexpr int kMarkerW = 10, kMarkerH = 20;

QPixmap MakeMarker() {
    QPixmap pix(kMarkerW, kMarkerH);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal tip = kMarkerH / 2.0 + CDelayPanel::kPlotTop;
    QPainterPath path;
    path.moveTo(0.5, tip);
    path.lineTo(kMarkerW - 0.5, tip - 5);
    path.lineTo(kMarkerW - 0.5, tip + 4.5);
    path.closeSubpath();
    p.fillPath(path, QColor(235, 235, 235));
    p.strokePath(path, QPen(QColor(90, 90, 90), 1));
    return pix;
}

QFont PanelFont() {
    return panel_paint::SongFont(12);
}

} // namespace

CDelayPanel::CDelayPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_pixMarker = MakeMarker();
    m_szMarker = m_pixMarker.size();
    Initialise();
}

CDelayPanel::~CDelayPanel() = default;

void CDelayPanel::SetChannelCount(int count) {
    m_nChannelCount = std::clamp(count, 1, kMaxChannels);
    m_nSelChannel = -1;
    m_pixBackground = QPixmap();
    PlaceRows();
    update();
}

void CDelayPanel::Initialise() {
    for (int i = 0; i < kMaxChannels; ++i) {
        DelayChannel& c = m_channel[i];
        c.nIndex = i;
        c.fValue = 0;
        c.fMin = kDelayMin;
        c.fMax = kDelayMax;
    }
    PlaceRows();
    update();
}

float CDelayPanel::HoldToLimits(const DelayChannel& c, float value) const {
    if (c.fMin == c.fMax) {
        return std::isnan(value) ? c.fMin : value;
    }
    if (std::isnan(value)) {
        return c.fMin;
    }
    return std::clamp(value, c.fMin, c.fMax);
}

void CDelayPanel::SetDelay(float ms, int channel) {
    if (channel < 0 || channel >= m_nChannelCount) {
        return;
    }
    DelayChannel& c = m_channel[channel];
    c.fValue = HoldToLimits(c, ms);
    c.nX = ValueToX(c.fValue, width(), m_fScaleMin, m_fScaleMax);
    update();
}

float CDelayPanel::Delay(int channel) const {
    const DelayChannel* c = Channel(channel);
    return c ? c->fValue : 0.0f;
}

const DelayChannel* CDelayPanel::Channel(int channel) const {
    return channel >= 0 && channel < m_nChannelCount ? &m_channel[channel] : nullptr;
}

// ---- Geometry ---------------------------------------------------------------------------------------

QRect CDelayPanel::PlotRect(int clientWidth, int clientHeight) {
    return QRect(QPoint(kPlotLeft, kPlotTop),
                 QPoint(clientWidth - kPlotRight, clientHeight - kPlotBottom)); // right/bottom as edges
}

int CDelayPanel::ValueToX(float value, int clientWidth, float scaleMin, float scaleMax) {
    const double span = static_cast<double>(scaleMax) - scaleMin;
    const double pixels = std::max(clientWidth - kPlotLeft - kPlotRight, 0);
    if (!(span > 0) || !std::isfinite(span) || !std::isfinite(value)) {
        return kPlotLeft;
    }
    // Held far outside any window so that the truncation to int is always defined.
    const double offset = std::min(std::fabs(pixels / span * (value - scaleMin)), 1e6);
    return kPlotLeft + static_cast<int>(offset);
}

std::optional<float> CDelayPanel::XToValue(int x, int clientWidth, float scaleMin, float scaleMax) {
    const int pixels = clientWidth - kPlotLeft - kPlotRight;
    const double span = static_cast<double>(scaleMax) - scaleMin;
    if (pixels <= 0 || !(span > 0) || !std::isfinite(span)) {
        return std::nullopt;
    }
    const double value = (x - kPlotLeft) / (pixels / span) + scaleMin;
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return static_cast<float>(value);
}

float CDelayPanel::RowHeight(int clientHeight, int count) {
    return static_cast<float>(clientHeight - kPlotTop - kPlotBottom) / std::max(count, 1);
}

int CDelayPanel::RowTop(int row, int clientHeight, int count) {
    return static_cast<int>(RowHeight(clientHeight, count) * row + kPlotTop + 0.5f);
}

int CDelayPanel::HitTest(QPoint pt) const {
    const float half = RowHeight(height(), m_nChannelCount) * 0.5f;
    for (int i = 0; i < m_nChannelCount; ++i) {
        const DelayChannel& c = m_channel[i];
        const int cx = c.nX + m_szMarker.width() / 2;
        const int cy = static_cast<int>(half + c.nY);
        if (std::abs(cx - pt.x()) <= kHitReach && std::abs(cy - pt.y()) <= kHitReach) {
            return i;
        }
    }
    return -1;
}

QPoint CDelayPanel::MarkerCentre(int channel) const {
    const DelayChannel* c = Channel(channel);
    if (!c) {
        return {};
    }
    return QPoint(c->nX + m_szMarker.width() / 2,
                  static_cast<int>(RowHeight(height(), m_nChannelCount) * 0.5f + c->nY));
}

void CDelayPanel::PlaceRows() {
    for (int i = 0; i < kMaxChannels; ++i) {
        DelayChannel& c = m_channel[i];
        c.nY = RowTop(i, height(), m_nChannelCount);
        c.nX = ValueToX(c.fValue, width(), m_fScaleMin, m_fScaleMax);
    }
}

QString CDelayPanel::RowLabel(int channel) {
    static const char* const kLabels[kMaxChannels] = {"通道(CH)1)", "通道(CH)2", "通道(CH)3", "通道(CH)4",
                                                      "通道(CH)5",  "通道(CH)6", "通道(CH)7", "通道(CH)8"};
    return channel >= 0 && channel < kMaxChannels ? QString::fromUtf8(kLabels[channel]) : QString();
}

QColor CDelayPanel::ChannelColour(int channel) {
    return ColorRef(kChannelColours[std::clamp(channel, 0, kMaxChannels - 1)]);
}

QColor CDelayPanel::LabelColour(int channel) {
    return ColorRef(kLabelColours[std::clamp(channel, 0, kMaxChannels - 1)]);
}

// ---- Painting ---------------------------------------------------------------------------------------

void CDelayPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    panel_paint::PaintCachedBackground(p, this, m_pixBackground,
                                       [this](QPainter& bg) { DrawBackground(bg); });
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(PanelFont());
    for (int i = 0; i < m_nChannelCount; ++i) {
        DrawChannel(p, m_channel[i]);
    }
}

void CDelayPanel::DrawBackground(QPainter& p) const {
    const QRect plot = PlotRect();
    const int left = plot.left(), right = plot.right(), bottom = plot.bottom();
    p.setFont(PanelFont());
    const int lh = QFontMetrics(p.font()).height();

    for (int i = 0; i <= m_nChannelCount; ++i) {
        const bool outer = i == 0 || i == m_nChannelCount;
        p.setPen(QPen(ColorRef(outer ? kOuterLineColour : kInnerLineColour), 1));
        const int y = RowTop(i, height(), m_nChannelCount);
        p.drawLine(left, y, right, y);
    }

    const float rowH = RowHeight(height(), m_nChannelCount);
    for (int i = 0; i < m_nChannelCount; ++i) {
        p.setPen(LabelColour(i));
        const QRectF row(0, m_channel[i].nY, left - 5, rowH);
        p.drawText(row, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, RowLabel(i));
    }

    const double span = static_cast<double>(m_fScaleMax) - m_fScaleMin;
    if (!(span > 0)) {
        return;
    }
    const int n = static_cast<int>(span / kScaleStepMs);
    const double pixels = std::max(width() - kPlotLeft - kPlotRight, 0);
    for (int k = 0; k <= n; ++k) {
        const int x = left + static_cast<int>(k * kScaleStepMs * pixels / span);
        p.setPen(ColorRef(kTextColour));
        p.drawText(QRect(x - 40, bottom + 5, 80, lh), Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip,
                   Format("%.1fms", static_cast<double>(m_fScaleMin) + kScaleStepMs * k));
        if (k == 0 || k == n) {
            p.setPen(QPen(ColorRef(kOuterLineColour), 1));
            p.drawLine(x, plot.top(), x, bottom);
        }
    }
}

void CDelayPanel::DrawChannel(QPainter& p, const DelayChannel& c) const {
    const QRect plot = PlotRect();
    const float r = RowHeight(height(), m_nChannelCount);
    const int h = m_szMarker.height();
    const int t = QFontMetrics(p.font()).height(); // the height of the panel font's text
    const int f = static_cast<int>((r - h - t) * 0.5f + c.nY);
    p.drawPixmap(c.nX, f, m_pixMarker);

    QColor colour = ChannelColour(c.nIndex);
    const qreal y = f + h / 2 + plot.top();
    p.setPen(QPen(colour, 1, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), y), QPointF(c.nX, y));
    colour.setAlpha(c.nIndex == m_nSelChannel ? 0x80 : 0x40);
    p.setPen(QPen(colour, 1));
    p.drawLine(QPointF(c.nX, y), QPointF(c.nX, plot.bottom()));

    p.setPen(ChannelColour(c.nIndex));
    p.drawText(QRect(c.nX + 2, f + h, 120, t), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
               Format("%.1fms", static_cast<double>(c.fValue)));
}

// ---- Events -----------------------------------------------------------------------------------------

void CDelayPanel::resizeEvent(QResizeEvent*) {
    m_pixBackground = QPixmap();
    PlaceRows();
}

void CDelayPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    m_bDragging = true;
    m_nSelChannel = HitTest(event->position().toPoint());
    update();
}

void CDelayPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bDragging || m_nSelChannel < 0 || m_nSelChannel >= m_nChannelCount) {
        return;
    }
    DelayChannel& c = m_channel[m_nSelChannel];
    const int x = event->position().toPoint().x() - m_szMarker.width() / 2;
    const std::optional<float> value = XToValue(x, width(), m_fScaleMin, m_fScaleMax);
    if (!value) {
        return; // no scale to read a value from
    }
    c.nX = x; // the marker follows the pointer; the page's SetDelay puts it back within the limits
    c.fValue = HoldToLimits(c, *value);
    emit DelayMoved(c.nIndex, c.fValue);
    update();
}

void CDelayPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_bDragging = false;
    }
}
