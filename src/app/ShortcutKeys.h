// What the keyboard shortcuts need to know beyond the key itself: which Ctrl key is down, and whether
// the user is typing text rather than giving commands.
#pragma once

#include <QPointer>
#include <QString>
#include <Qt>

class QKeyEvent;
class QObject;

// Qt's modifiers say only that some Ctrl key is held; storing to a memory mode and the volume step of
// one want the left one. Its own press and release carry the native key, which tells the two apart.
class CLeftCtrl {
public:
    enum class Side { Unknown, Left, Right };
    // `platform` is the windowing platform's name ("xcb", "wayland", "windows", ...).
    explicit CLeftCtrl(QString platform);

    // Sees every key press and release of the thread.
    void Observe(const QKeyEvent& event);
    // True while the left Ctrl is held; any Ctrl where the platform did not tell which one it was.
    bool Held(Qt::KeyboardModifiers modifiers) const;
    // The side of a Ctrl key event, from its native key.
    Side SideOf(const QKeyEvent& event) const;

private:
    QString m_strPlatform;
    bool m_bLeft = false;
    bool m_bRight = false;
};

// True while a text-entry widget (line edit, text edit, spin box, editable combo box, an item view's
// in-place editor) has the focus or a modal dialog is open: letters typed there are text.
bool TypingOrModal();

// An application-wide filter sees a key event at every hop of its delivery: the window, the focus
// widget, then each parent that ignores it. It acts on the first. Events live on the stack, so a new
// one often reuses the address of the last: a hop continues the last delivery only when the event
// reads the same and goes from a window to a widget or from a widget up to one of its parents.
class CKeyDelivery {
public:
    // True when `event` arriving at `watched` is a new key event rather than a later hop.
    bool FirstSight(QObject* watched, const QKeyEvent& event);

private:
    struct Reading {
        int type = 0, key = 0;
        Qt::KeyboardModifiers modifiers;
        quint32 scan = 0, sym = 0;
        quint64 timestamp = 0;
        bool autoRepeat = false;
        QString text;
        bool operator==(const Reading&) const = default;
    };
    const QKeyEvent* m_pLast = nullptr;
    Reading m_last;
    QPointer<QObject> m_pLastWatched;
};
