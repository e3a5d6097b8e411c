#include "controls/SSVolumePanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "controls/PanelPaint.h"
#include "ui/Colors.h"
#include "ui/Language.h"

namespace {

using panel_paint::Format;

constexpr uint32_t kGridTextColour = 0x975A49;
constexpr uint32_t kWallColour = 0x808080;
constexpr uint32_t kLineColour = 0x404040;
constexpr uint32_t kIdArgb = 0xFFFF0000;

struct Speaker {
    const char* szName;
    uint32_t nColour;
    int nRole;
    float fX, fY; // where the page's reset puts it; the panel starts there too
};
constexpr Speaker kSpeakers[CSSVolumePanel::kSpeakerCount] = {
    {"前置左(L)", 0x57CFE3, 0, -1.0f, 1.0f},    {"中置(CEN)", 0xE6E0B0, 5, 0.0f, 1.0f},
    {"前置右(R)", 0x57CFE3, 1, 1.0f, 1.0f},     {"后环绕左(SBL)", 0xE16941, 2, -1.0f, -1.0f},
    {"超低(SUB)", 0x558EEB, 4, 0.0f, -1.0f},    {"后环绕右SBR)", 0xE16941, 3, 1.0f, -1.0f},
    {"侧环绕左(SL)", 0x1299FF, 6, -0.5f, 0.0f}, {"侧环绕右(SR)", 0x1299FF, 7, 0.5f, 0.0f},
};

const Speaker* SpeakerOf(int id) {
    return id >= 1 && id <= CSSVolumePanel::kSpeakerCount ? &kSpeakers[id - 1] : nullptr;
}

// Truncated to a pixel; held far outside any window first so that the conversion is always defined.
int Pixel(double v) {
    return static_cast<int>(std::clamp(v, -1e6, 1e6));
}

float Finite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

// The listener from above: shoulders and a head, facing the front (the top of the plan).
QPixmap MakeListener() {
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 70, 30), 1.2));
    p.setBrush(QColor(80, 200, 100));
    p.drawEllipse(QRectF(1.5, 13.5, 29, 14)); // shoulders
    p.setBrush(QColor(245, 215, 170));
    p.drawEllipse(QRectF(9.5, 8.5, 13, 14)); // head
    p.setBrush(QColor(70, 50, 30));          // hair at the back of the head
    p.drawChord(QRectF(9.5, 8.5, 13, 14), 200 * 16, 140 * 16);
    p.setBrush(QColor(245, 215, 170)); // nose, showing which way the listener faces
    p.drawEllipse(QRectF(14.5, 6.5, 3, 3));
    return pix;
}

// A speaker cabinet with its cone; the id is written over the cone.
QPixmap MakeSpeaker() {
    QPixmap pix(26, 26);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor(70, 70, 78));
    p.drawRoundedRect(QRectF(1.5, 1.5, 23, 23), 4, 4);
    QRadialGradient cone(QPointF(13, 13), 10);
    cone.setColorAt(0, QColor(250, 250, 250));
    cone.setColorAt(1, QColor(160, 160, 168));
    p.setBrush(cone);
    p.setPen(QPen(QColor(35, 35, 40), 1));
    p.drawEllipse(QPointF(13, 13), 10, 10);
    return pix;
}

} // namespace

CSSVolumePanel::CSSVolumePanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_pixListener = MakeListener();
    m_pixSpeaker = MakeSpeaker();
    for (int i = 0; i < kItemCount; ++i) {
        SSVItem& item = m_item[i];
        item.nId = i;
        if (const Speaker* s = SpeakerOf(i)) {
            item.fX = s->fX;
            item.fY = s->fY;
        }
        PlaceItem(item);
    }
}

CSSVolumePanel::~CSSVolumePanel() = default;

void CSSVolumePanel::SetRoomSize(float width, float length) {
    m_fRoomWidth = HoldRoomSize(width);
    m_fRoomLength = HoldRoomSize(length);
    m_pixBackground = QPixmap();
    for (SSVItem& item : m_item) {
        PlaceItem(item);
    }
    update();
}

void CSSVolumePanel::SetPosition(float x, float y, int item) {
    if (item < 0 || item >= kItemCount) {
        return;
    }
    m_item[item].fX = Finite(x);
    m_item[item].fY = Finite(y);
    PlaceItem(m_item[item]);
    update();
}

const SSVItem* CSSVolumePanel::Item(int item) const {
    return item >= 0 && item < kItemCount ? &m_item[item] : nullptr;
}

void CSSVolumePanel::PlaceItem(SSVItem& item) const {
    const QPoint pt = MetresToPixel(QPointF(item.fX, item.fY), size(), m_fRoomWidth, m_fRoomLength);
    item.nPx = pt.x();
    item.nPy = pt.y();
}

// ---- Geometry ---------------------------------------------------------------------------------------

QRect CSSVolumePanel::PlotRect(QSize client) {
    // right() and bottom() are the far edges themselves, where the walls are drawn.
    return QRect(QPoint(kMargin, kMargin), QPoint(client.width() - kMargin, client.height() - kMargin));
}

float CSSVolumePanel::HoldRoomSize(float metres) {
    return std::isnan(metres) ? kRoomMin : std::clamp(metres, kRoomMin, kRoomMax);
}

QPoint CSSVolumePanel::MetresToPixel(QPointF metres, QSize client, float roomWidth, float roomLength) {
    const double W = HoldRoomSize(roomWidth), L = HoldRoomSize(roomLength);
    const double x = Finite(static_cast<float>(metres.x())), y = Finite(static_cast<float>(metres.y()));
    const double pw = client.width() - 2 * kMargin, ph = client.height() - 2 * kMargin;
    return QPoint(Pixel(pw / W * (W / 2 + x) + kMargin), Pixel(ph / L * (L / 2 - y) + kMargin));
}

QPoint CSSVolumePanel::HoldToPlot(QPoint pt, QSize client) {
    const QRect plot = PlotRect(client);
    if (plot.right() < plot.left() || plot.bottom() < plot.top()) {
        return plot.center(); // no plot: std::clamp would have no valid range
    }
    return QPoint(std::clamp(pt.x(), plot.left(), plot.right()),
                  std::clamp(pt.y(), plot.top(), plot.bottom()));
}

std::optional<QPointF> CSSVolumePanel::PixelToMetres(QPoint pt, QSize client, float roomWidth,
                                                     float roomLength) {
    const double pw = client.width() - 2 * kMargin, ph = client.height() - 2 * kMargin;
    if (pw <= 0 || ph <= 0) {
        return std::nullopt;
    }
    const QPoint held = HoldToPlot(pt, client);
    const double W = HoldRoomSize(roomWidth), L = HoldRoomSize(roomLength);
    const double x = (held.x() - client.width() / 2.0) / (pw / W);
    const double y = (client.height() / 2.0 - held.y()) / (ph / L);
    return QPointF(static_cast<float>(x), static_cast<float>(y));
}

std::vector<CSSVolumePanel::GridLine> CSSVolumePanel::GridLines(float size, int lo, int hi, bool rows) {
    const float s = HoldRoomSize(size);
    const int n = static_cast<int>(std::ceil(s / 2));
    const float f = s / 2 - std::trunc(s / 2);
    const int step = static_cast<int>((hi - lo) / s);
    const int centre = lo + (hi - lo) / 2;
    // Rows count + upwards (towards lo), columns + to the right (towards hi).
    const char* towardsLo = rows ? "+" : "-";
    const char* towardsHi = rows ? "-" : "+";
    std::vector<GridLine> lines;
    for (int k = 0; k < n; ++k) {
        if (k == 0) {
            lines.push_back({centre, QStringLiteral("0"), false});
            continue;
        }
        lines.push_back({centre - k * step, Format("%s%dm", towardsLo, k), false});
        lines.push_back({centre + k * step, Format("%s%dm", towardsHi, k), false});
    }
    const QString wall = f == 0 ? Format("%.0fm", static_cast<double>(n))
                                : Format("%.1fm", static_cast<double>(n - 1 + f)); // ±size/2 either way
    lines.push_back({lo, QString::fromLatin1(towardsLo) + wall, true});
    lines.push_back({hi, QString::fromLatin1(towardsHi) + wall, true});
    return lines;
}

int CSSVolumePanel::HitTest(QPoint pt) const {
    for (int i = 0; i < kItemCount; ++i) {
        const SSVItem& item = m_item[i];
        if (item.nId != -1 && std::abs(item.nPx - pt.x()) < kHitReach &&
            std::abs(item.nPy - pt.y()) < kHitReach) {
            return i;
        }
    }
    return -1;
}

QString CSSVolumePanel::SpeakerName(int id) {
    const Speaker* s = SpeakerOf(id);
    return s ? QString::fromUtf8(s->szName) : QString();
}

QColor CSSVolumePanel::SpeakerColour(int id) {
    const Speaker* s = SpeakerOf(id);
    return s ? ColorRef(s->nColour) : QColor(128, 128, 128);
}

int CSSVolumePanel::SpeakerRole(int id) {
    const Speaker* s = SpeakerOf(id);
    return s ? s->nRole : -1;
}

QString CSSVolumePanel::RoleName(int role) {
    static constexpr struct {
        const char* szZh;
        const char* szEn;
    } kRoles[kSpeakerCount] = {{"前置左", "CH-L"},     {"前置右", "CH-R"},   {"后环绕左", "CH-SBL"},
                               {"后环绕右", "CH-SBR"}, {"超低", "CH-SUB"},   {"中置", "CH-CEN"},
                               {"侧环绕左", "CH-SL"},  {"侧环绕右", "CH-SR"}};
    if (role < 0 || role >= kSpeakerCount) {
        return QString();
    }
    return Tr(kRoles[role].szZh, kRoles[role].szEn);
}

// ---- Painting ---------------------------------------------------------------------------------------

void CSSVolumePanel::DrawBackground(QPainter& p) const {
    const QRect plot = PlotRect();
    p.setFont(panel_paint::TahomaFont(13));
    const int lh = QFontMetrics(p.font()).height();
    auto pen = [](bool outer) { return QPen(ColorRef(outer ? kWallColour : kLineColour), 1); };

    for (const GridLine& l : GridLines(m_fRoomLength, plot.top(), plot.bottom(), true)) {
        p.setPen(pen(l.bOuter));
        p.drawLine(plot.left(), l.nPos, plot.right(), l.nPos);
        p.setPen(ColorRef(kGridTextColour));
        p.drawText(QRect(-100, l.nPos - lh / 2, 100 + plot.left() - 5, lh),
                   Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, l.strLabel);
    }
    for (const GridLine& l : GridLines(m_fRoomWidth, plot.left(), plot.right(), false)) {
        p.setPen(pen(l.bOuter));
        p.drawLine(l.nPos, plot.top(), l.nPos, plot.bottom());
        p.setPen(ColorRef(kGridTextColour));
        p.drawText(QRect(l.nPos - 40, plot.bottom() + 3, 80, lh),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, l.strLabel);
    }
}

void CSSVolumePanel::DrawItem(QPainter& p, const SSVItem& item) const {
    if (item.nId == -1) {
        return;
    }
    const QPixmap& pix = item.nId == 0 ? m_pixListener : m_pixSpeaker;
    const QSize sz = pix.deviceIndependentSize().toSize();
    p.drawPixmap(item.nPx - sz.width() / 2, item.nPy - sz.height() / 2, pix);
    if (item.nId == 0) {
        return;
    }
    p.setFont(panel_paint::ArialFont(12, true));
    p.setPen(ColorArgb(kIdArgb));
    p.drawText(QRect(item.nPx - 20, item.nPy - 20, 40, 40), Qt::AlignCenter, Format("%d", item.nId));
    p.setFont(panel_paint::ArialFont(8));
    p.setPen(SpeakerColour(item.nId));
    const int lh = QFontMetrics(p.font()).height();
    p.drawText(QRect(item.nPx - 100, item.nPy + sz.height() / 2 + 2, 200, lh),
               Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, SpeakerName(item.nId));
}

void CSSVolumePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    panel_paint::PaintCachedBackground(p, this, m_pixBackground,
                                       [this](QPainter& bg) { DrawBackground(bg); });
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (const SSVItem& item : m_item) {
        DrawItem(p, item);
    }
}

// ---- Events -----------------------------------------------------------------------------------------

void CSSVolumePanel::resizeEvent(QResizeEvent*) {
    m_pixBackground = QPixmap();
    for (SSVItem& item : m_item) {
        PlaceItem(item);
    }
}

void CSSVolumePanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int hit = HitTest(event->position().toPoint());
    if (hit < 0) {
        return;
    }
    m_nSelItem = hit;
    m_bDragging = true;
    const SSVItem& item = m_item[hit];
    emit ItemPicked(item.nId, item.fX, item.fY);
}

void CSSVolumePanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bDragging || m_nSelItem < 0 || m_nSelItem >= kItemCount) {
        return;
    }
    const QPoint pt = event->position().toPoint();
    const std::optional<QPointF> metres = PixelToMetres(pt, size(), m_fRoomWidth, m_fRoomLength);
    if (!metres) {
        return; // no plot to place anything in
    }
    SSVItem& item = m_item[m_nSelItem];
    const QPoint held = HoldToPlot(pt, size());
    item.fX = static_cast<float>(metres->x());
    item.fY = static_cast<float>(metres->y());
    item.nPx = held.x();
    item.nPy = held.y();
    emit ItemMoved(item.nId, item.fX, item.fY);
    update();
}

void CSSVolumePanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_bDragging = false;
    }
}
