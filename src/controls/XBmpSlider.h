// The console's slider: an integer position in an integer range, drawn from five images (channel,
// filled channel and three thumbs), moved by drag, track clicks, arrow keys and the wheel. It never
// touches the store: the owner reacts to its signals.
#pragma once

#include "ui/Colors.h"

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

class CXBmpSlider : public QWidget {
    Q_OBJECT
public:
    // A slider with the console's standard images for its orientation, the channel stretched to the
    // widget's size. `id` is the control id carried by the signals (also set with SetCtrlId).
    CXBmpSlider(QWidget* parent, int id, bool vertical);
    // A bare slider: configure it with SetChannel, SetThumbs, SetMargins, SetVertical.
    explicit CXBmpSlider(QWidget* parent = nullptr);

    // Stores both bounds and redraws; the position is clamped only when it next changes.
    void SetRange(int minimum, int maximum);
    int GetRangeMin() const { return m_nMin; }
    int GetRangeMax() const { return m_nMax; }
    // Clamps to the range, stores, redraws; emits nothing.
    void SetPos(int pos);
    int GetPos() const { return m_nPos; }
    // Disabled: presses, keys and the wheel are ignored and the disabled thumb is drawn.
    void Enable(bool enable);
    bool IsSliderEnabled() const { return m_bEnabled; }
    bool IsVertical() const { return m_bVertical; }
    bool IsDragging() const { return m_bDragging; }

    // Image resources (":/resources/images/..." SVG or PNG). SetChannel loads the image as both the
    // channel and the filled channel; SetFilledChannel then replaces the filled one.
    void SetChannel(const QString& resource);
    void SetFilledChannel(const QString& resource);
    void SetThumbs(const QString& normal, const QString& focused, const QString& disabled);
    // Left, right, top, bottom distance between the channel's edge and the thumb's travel.
    void SetMargins(int left, int right, int top, int bottom);
    void SetBackgroundColor(const QColor& color);
    void SetVertical(bool vertical);
    // Renders the channel images at `size` instead of their natural size (SVG scales cleanly).
    void SetChannelSize(const QSize& size);
    // When set, every resize renders the channel at the widget's size.
    void SetStretchChannel(bool stretch);

    QSize ChannelSize() const { return m_szChannel; }
    QSize ThumbSize() const { return m_szThumb; }
    // Left or top edge of the thumb for `pos`, and the position for a thumb edge at `pixel`.
    int PosToPixel(int pos) const;
    int PixelToPos(int pixel) const;
    // The thumb's rectangle in widget coordinates.
    QRect ThumbRect() const;

    QSize sizeHint() const override;

signals:
    // The three notifications; `id` is the control id, as the owner's dialog knows it.
    void SliderPos(int id, int pos);      // position set by press, drag, key or wheel
    void SliderFocus(int id, int zero);   // keyboard focus gained
    void SliderReleased(int id, int pos); // change complete

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int Id() const;
    void Step(int delta);
    void ReloadChannel();
    void FollowMouse(const QPoint& pt);

    int m_nMin = 0;
    int m_nMax = 100;
    int m_nPos = 0;
    bool m_bVertical = false;
    bool m_bEnabled = true;
    bool m_bFocused = false;
    bool m_bDragging = false;
    bool m_bPressed = false; // a left press was taken; its release completes the change
    bool m_bStretch = false;
    int m_nMarginLeft = 0, m_nMarginRight = 0, m_nMarginTop = 0, m_nMarginBottom = 0;
    QColor m_clrBack{PageColor()};
    QString m_strChannel, m_strFilled;
    QSize m_szChannel{0, 0};
    QSize m_szThumb{0, 0};
    QSize m_szForced; // SetChannelSize; invalid = natural size
    QPixmap m_pixChannel, m_pixFilled, m_pixThumb, m_pixThumbFocus, m_pixThumbDisabled;
};
