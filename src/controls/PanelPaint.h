// Small painting helpers shared by the drawn panels: the fonts they name, each with fallbacks that exist
// on a Linux desktop, and C-style number formatting.
#pragma once

#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdio>

namespace panel_paint {

// Starts a panel's paint: the background is drawn by `draw` once into `cache` (cleared on resize) and
// copied from there on every later paint; black while the panel has no size.
template <class Draw> void PaintCachedBackground(QPainter& p, QWidget* panel, QPixmap& cache, Draw draw) {
    if (cache.isNull() && !panel->size().isEmpty()) {
        const qreal dpr = panel->devicePixelRatioF();
        cache = QPixmap(panel->size() * dpr);
        cache.setDevicePixelRatio(dpr);
        cache.fill(Qt::black);
        QPainter bg(&cache);
        draw(bg);
    }
    if (cache.isNull())
        p.fillRect(panel->rect(), Qt::black);
    else
        p.drawPixmap(0, 0, cache);
}

inline QFont FontOf(const QStringList& families, int weight = QFont::Normal) {
    QFont f;
    f.setFamilies(families);
    f.setWeight(static_cast<QFont::Weight>(weight));
    return f;
}

// "宋体" of `px` pixels.
inline QFont SongFont(int px) {
    QFont f = FontOf({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                      QStringLiteral("Noto Sans CJK SC")});
    f.setPixelSize(px);
    return f;
}

// "黑体" of `points` points.
inline QFont HeiFont(qreal points) {
    QFont f = FontOf({QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("Noto Sans CJK SC")});
    f.setPointSizeF(points);
    return f;
}

inline QFont ArialFont(qreal points, bool bold = false) {
    QFont f = FontOf({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK SC")},
                     bold ? QFont::Bold : QFont::Normal);
    f.setPointSizeF(points);
    return f;
}

inline QFont TahomaFont(int px) {
    QFont f =
        FontOf({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(px);
    return f;
}

// printf formatting as the C library does it (Qt's asprintf drops the sign of a negative zero).
template <typename... Args> QString Format(const char* fmt, Args... args) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return QString::fromUtf8(buf);
}

} // namespace panel_paint
