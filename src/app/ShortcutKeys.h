// What the keyboard shortcuts need to know beyond the key itself: which Ctrl key is down, and whether
// the user is typing text rather than giving commands.
#pragma once

#include <QString>
#include <Qt>

class QKeyEvent;

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
