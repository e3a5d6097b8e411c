#include "controls/XBmpSlider.h"

#include "ui/Language.h"

#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// Decodes an image resource once per size; SVGs render at `size` (natural size when invalid).
QPixmap LoadImage(const QString& resource, QSize size, qreal dpr) {
    if (resource.isEmpty())
        return {};
    const QString key =
        QStringLiteral("m7qslider:%1:%2x%3@%4").arg(resource).arg(size.width()).arg(size.height()).arg(dpr);
    QPixmap pix;
    if (QPixmapCache::find(key, &pix))
        return pix;
    if (resource.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgRenderer svg(resource);
        if (!svg.isValid())
            return {};
        if (!size.isValid())
            size = svg.defaultSize();
        if (size.isEmpty())
            return {};
        QImage img(size * dpr, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            svg.render(&p, QRectF(QPointF(0, 0), QSizeF(size * dpr)));
        }
        img.setDevicePixelRatio(dpr);
        pix = QPixmap::fromImage(img);
    } else {
        QImage img(resource);
        if (img.isNull())
            return {};
        if (size.isValid() && size != img.size())
            img = img.scaled(size * dpr, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        img.setDevicePixelRatio(size.isValid() ? dpr : 1.0);
        pix = QPixmap::fromImage(img);
    }
    QPixmapCache::insert(key, pix);
    return pix;
}

QSize LogicalSize(const QPixmap& pix) {
    return pix.isNull() ? QSize(0, 0) : (pix.deviceIndependentSize().toSize());
}

} // namespace

CXBmpSlider::CXBmpSlider(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::TabFocus); // a press takes the focus itself, and only when enabled
}

CXBmpSlider::CXBmpSlider(QWidget* parent, int id, bool vertical) : CXBmpSlider(parent) {
    SetCtrlId(this, id);
    m_bVertical = vertical;
    m_bStretch = true;
    const QString dir = QStringLiteral(":/resources/images/slider_");
    const QString o = vertical ? QStringLiteral("v_") : QStringLiteral("h_");
    SetChannel(dir + o + QStringLiteral("channel.svg"));
    SetFilledChannel(dir + o + QStringLiteral("filled.svg"));
    SetThumbs(dir + o + QStringLiteral("thumb.svg"), dir + o + QStringLiteral("thumb_focus.svg"),
              dir + o + QStringLiteral("thumb_disabled.svg"));
}

int CXBmpSlider::Id() const {
    return CtrlId(this);
}

void CXBmpSlider::SetRange(int minimum, int maximum) {
    m_nMin = minimum;
    m_nMax = maximum;
    update();
}

void CXBmpSlider::SetPos(int pos) {
    // Not std::clamp: a range set upside down must not be undefined behaviour.
    m_nPos = std::max(m_nMin, std::min(pos, m_nMax));
    update();
}

void CXBmpSlider::Enable(bool enable) {
    m_bEnabled = enable;
    update();
}

void CXBmpSlider::ReloadChannel() {
    const qreal dpr = devicePixelRatioF();
    QSize size = m_szForced;
    if (m_bStretch && width() > 0 && height() > 0)
        size = this->size();
    m_pixChannel = LoadImage(m_strChannel, size, dpr);
    m_pixFilled = LoadImage(m_strFilled, size, dpr);
    m_szChannel = LogicalSize(m_pixChannel);
    updateGeometry();
    update();
}

void CXBmpSlider::SetChannel(const QString& resource) {
    m_strChannel = resource;
    m_strFilled = resource;
    ReloadChannel();
}

void CXBmpSlider::SetFilledChannel(const QString& resource) {
    m_strFilled = resource;
    ReloadChannel();
}

void CXBmpSlider::SetThumbs(const QString& normal, const QString& focused, const QString& disabled) {
    const qreal dpr = devicePixelRatioF();
    m_pixThumb = LoadImage(normal, QSize(), dpr);
    m_pixThumbFocus = LoadImage(focused, QSize(), dpr);
    m_pixThumbDisabled = LoadImage(disabled, QSize(), dpr);
    m_szThumb = LogicalSize(m_pixThumb);
    update();
}

void CXBmpSlider::SetMargins(int left, int right, int top, int bottom) {
    m_nMarginLeft = left;
    m_nMarginRight = right;
    m_nMarginTop = top;
    m_nMarginBottom = bottom;
    update();
}

void CXBmpSlider::SetBackgroundColor(const QColor& color) {
    m_clrBack = color;
    update();
}

void CXBmpSlider::SetVertical(bool vertical) {
    m_bVertical = vertical;
    update();
}

void CXBmpSlider::SetChannelSize(const QSize& size) {
    m_szForced = size;
    ReloadChannel();
}

void CXBmpSlider::SetStretchChannel(bool stretch) {
    m_bStretch = stretch;
    ReloadChannel();
}

QSize CXBmpSlider::sizeHint() const {
    if (m_szChannel.isEmpty())
        return m_bVertical ? QSize(24, 160) : QSize(160, 24);
    return m_szChannel;
}

// ---- Mapping -------------------------------------------------------------------------------------

int CXBmpSlider::PosToPixel(int pos) const {
    const int range = m_nMax - m_nMin;
    if (m_bVertical) {
        if (range == 0)
            return m_nMarginTop;
        const float travel =
            static_cast<float>(m_szChannel.height() - m_szThumb.height() - m_nMarginBottom - m_nMarginTop);
        return static_cast<int>(travel / static_cast<float>(range) * static_cast<float>(m_nMax - pos) +
                                static_cast<float>(m_nMarginTop));
    }
    if (range == 0)
        return m_nMarginLeft;
    const float travel =
        static_cast<float>(m_szChannel.width() - m_szThumb.width() - m_nMarginRight - m_nMarginLeft);
    return static_cast<int>(travel / static_cast<float>(range) * static_cast<float>(pos - m_nMin) +
                            static_cast<float>(m_nMarginLeft));
}

int CXBmpSlider::PixelToPos(int pixel) const {
    const int range = m_nMax - m_nMin;
    const float travel =
        m_bVertical
            ? static_cast<float>(m_szChannel.height() - m_szThumb.height() - m_nMarginBottom - m_nMarginTop)
            : static_cast<float>(m_szChannel.width() - m_szThumb.width() - m_nMarginRight - m_nMarginLeft);
    // A track with no travel (or an empty range) has one place: the minimum.
    if (range == 0 || travel <= 0)
        return m_nMin;
    const float perStep = travel / static_cast<float>(range);
    int pos;
    if (m_bVertical)
        pos = m_nMax - static_cast<int>(std::trunc(static_cast<float>(pixel - m_nMarginTop) / perStep));
    else
        pos = static_cast<int>(std::trunc(static_cast<float>(pixel - m_nMarginLeft) / perStep)) + m_nMin;
    return std::max(m_nMin, std::min(pos, m_nMax));
}

QRect CXBmpSlider::ThumbRect() const {
    const int at = PosToPixel(m_nPos);
    if (m_bVertical)
        return QRect(m_nMarginLeft, at, m_szThumb.width(), m_szThumb.height());
    return QRect(at, m_nMarginTop, m_szThumb.width(), m_szThumb.height());
}

// ---- Input ---------------------------------------------------------------------------------------

void CXBmpSlider::Step(int delta) {
    SetPos(m_nPos + delta);
    emit SliderPos(Id(), m_nPos);
    emit SliderReleased(Id(), m_nPos);
}

void CXBmpSlider::FollowMouse(const QPoint& pt) {
    // The thumb's centre follows the mouse.
    const int pixel = m_bVertical ? pt.y() - m_szThumb.height() / 2 : pt.x() - m_szThumb.width() / 2;
    SetPos(PixelToPos(pixel));
    emit SliderPos(Id(), m_nPos);
}

void CXBmpSlider::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !m_bEnabled)
        return;
    setFocus(Qt::MouseFocusReason);
    m_bPressed = true;
    const QPoint pt = event->position().toPoint();
    const QRect thumb = ThumbRect();
    if (thumb.contains(pt)) {
        m_bDragging = true;
    } else if (m_bVertical) {
        const int centre = thumb.top() + m_szThumb.height() / 2;
        SetPos(m_nPos + (pt.y() > centre ? -1 : 1));
    } else {
        const int centre = thumb.left() + m_szThumb.width() / 2;
        SetPos(m_nPos + (pt.x() <= centre ? -1 : 1));
    }
    emit SliderPos(Id(), m_nPos);
}

void CXBmpSlider::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (m_bDragging)
        FollowMouse(event->position().toPoint());
}

void CXBmpSlider::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !m_bPressed)
        return;
    m_bPressed = false;
    m_bDragging = false;
    update();
    emit SliderReleased(Id(), m_nPos);
}

void CXBmpSlider::keyPressEvent(QKeyEvent* event) {
    int delta = 0;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        delta = 1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        delta = -1;
        break;
    default:
        QWidget::keyPressEvent(event); // Tab and the rest go on to the dialog
        return;
    }
    event->accept();
    if (m_bEnabled)
        Step(delta);
}

void CXBmpSlider::wheelEvent(QWheelEvent* event) {
    // One step per wheel message, whatever its size. A disabled slider takes the notch and does
    // nothing: moving it would send a value its window says is not in use.
    const QPoint d = event->angleDelta();
    const int delta = d.y() != 0 ? d.y() : d.x();
    event->accept();
    if (delta != 0 && m_bEnabled && isEnabled())
        Step(delta > 0 ? 1 : -1);
}

void CXBmpSlider::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    m_bFocused = true;
    update();
    emit SliderFocus(Id(), 0);
}

void CXBmpSlider::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    m_bFocused = false;
    update();
}

void CXBmpSlider::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_bStretch)
        ReloadChannel();
}

void CXBmpSlider::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        update();
}

// ---- Drawing -------------------------------------------------------------------------------------

void CXBmpSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_clrBack);
    if (!m_pixChannel.isNull())
        p.drawPixmap(0, 0, m_pixChannel);
    const QRect thumb = ThumbRect();
    if (!m_pixFilled.isNull()) {
        // The filled part runs from the minimum end of the channel to the thumb.
        const qreal dpr = m_pixFilled.devicePixelRatio();
        if (m_bVertical) {
            const int top = std::max(0, thumb.top());
            const int h = m_szChannel.height() - top;
            if (h > 0)
                p.drawPixmap(QRectF(0, top, m_szChannel.width(), h), m_pixFilled,
                             QRectF(0, top * dpr, m_szChannel.width() * dpr, h * dpr));
        } else {
            const int w = std::min(thumb.left(), m_szChannel.width());
            if (w > 0)
                p.drawPixmap(QRectF(0, 0, w, m_szChannel.height()), m_pixFilled,
                             QRectF(0, 0, w * dpr, m_szChannel.height() * dpr));
        }
    }
    const QPixmap& pix = (!m_bEnabled || !isEnabled()) ? m_pixThumbDisabled
                         : m_bFocused                  ? m_pixThumbFocus
                                                       : m_pixThumb;
    if (!pix.isNull())
        p.drawPixmap(thumb.topLeft(), pix);
}
