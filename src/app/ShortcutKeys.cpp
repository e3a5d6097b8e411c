#include "app/ShortcutKeys.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <utility>

namespace {
// X11 keysyms, the native virtual key on xcb and on Wayland.
constexpr quint32 kXkControlL = 0xffe3;
constexpr quint32 kXkControlR = 0xffe4;
// Windows scan codes; the right key carries the extended-key bit.
constexpr quint32 kWinScanControlL = 0x1d;
constexpr quint32 kWinScanControlR = 0x11d;
// Linux key codes (evdev + 8), the scan code on Wayland and the other Linux platforms.
constexpr quint32 kLinuxScanControlL = 37;
constexpr quint32 kLinuxScanControlR = 105;
} // namespace

CLeftCtrl::CLeftCtrl(QString platform) : m_strPlatform(std::move(platform)) {}

CLeftCtrl::Side CLeftCtrl::SideOf(const QKeyEvent& event) const {
    if (event.key() != Qt::Key_Control)
        return Side::Unknown;
    const quint32 sym = event.nativeVirtualKey();
    if (sym == kXkControlL)
        return Side::Left;
    if (sym == kXkControlR)
        return Side::Right;
    const quint32 scan = event.nativeScanCode();
    if (m_strPlatform == QLatin1String("windows"))
        return scan == kWinScanControlL ? Side::Left : scan == kWinScanControlR ? Side::Right : Side::Unknown;
    if (m_strPlatform == QLatin1String("wayland") || m_strPlatform == QLatin1String("xcb") ||
        m_strPlatform == QLatin1String("eglfs") || m_strPlatform == QLatin1String("linuxfb"))
        return scan == kLinuxScanControlL   ? Side::Left
               : scan == kLinuxScanControlR ? Side::Right
                                            : Side::Unknown;
    return Side::Unknown;
}

void CLeftCtrl::Observe(const QKeyEvent& event) {
    if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease)
        return;
    if (event.key() == Qt::Key_Control) {
        const bool down = event.type() == QEvent::KeyPress;
        switch (SideOf(event)) {
        case Side::Left:
            m_bLeft = down;
            break;
        case Side::Right:
            m_bRight = down;
            break;
        case Side::Unknown:
            break;
        }
        return;
    }
    // A release missed while another program had the focus ends with the next key without Ctrl.
    if (!(event.modifiers() & Qt::ControlModifier))
        m_bLeft = m_bRight = false;
}

bool CLeftCtrl::Held(Qt::KeyboardModifiers modifiers) const {
    if (!(modifiers & Qt::ControlModifier))
        return false;
    if (m_bLeft)
        return true;
    return !m_bRight;
}

bool TypingOrModal() {
    if (QApplication::activeModalWidget())
        return true;
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return false;
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) ||
        qobject_cast<QPlainTextEdit*>(focus) || qobject_cast<QAbstractSpinBox*>(focus))
        return true;
    if (auto* combo = qobject_cast<QComboBox*>(focus); combo && combo->isEditable())
        return true;
    // An item view's in-place editor (the band grid's) lives on the view's viewport.
    for (QWidget* w = focus->parentWidget(); w; w = w->parentWidget())
        if (qobject_cast<QAbstractItemView*>(w))
            return true;
    return false;
}

bool CKeyDelivery::FirstSight(QObject* watched, const QKeyEvent& event) {
    const Reading reading{event.type(),
                          event.key(),
                          event.modifiers(),
                          event.nativeScanCode(),
                          event.nativeVirtualKey(),
                          event.timestamp(),
                          event.isAutoRepeat(),
                          event.text()};
    bool hop = false;
    // A window is where the windowing system hands an event in: always a first sight.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && &event == m_pLast && reading == m_last && m_pLastWatched) {
        auto* last = qobject_cast<QWidget*>(m_pLastWatched.data());
        hop = last ? widget != last && widget->isAncestorOf(last) : true; // from the window to a widget
    }
    m_pLast = &event;
    m_last = reading;
    m_pLastWatched = watched;
    return !hop;
}
