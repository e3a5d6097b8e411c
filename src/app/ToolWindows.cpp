#include "app/ToolWindows.h"

#include "link/Events.h"
#include "pages/PageRegistry.h"
#include "ui/Language.h"

#include <QWindow>

// The owner goes away with its windows; nothing of theirs is on the stack any more.
CToolWindows::~CToolWindows() {
    for (const QPointer<CPage>& window : std::as_const(m_windows))
        delete window.data();
}

CPage* CToolWindows::Open(int nTemplate, int arg) {
    QPointer<CPage>& slot = m_windows[nTemplate];
    if (!slot || slot->DestroyRequested()) {
        const PageRow* row = FindPage(nTemplate);
        if (!row || row->host != PageHost::ToolWindow) {
            m_windows.remove(nTemplate);
            DebugText("tool window " + std::to_string(nTemplate) + " is not part of this console yet\n");
            return nullptr;
        }
        slot = row->factory(m_context, arg, m_pOwner);
        if (!slot)
            return nullptr;
        // A dialog-type window is transient for the frame: the window manager keeps it above the frame
        // after a click on the frame and after each modal box it raises.
        slot->setWindowFlags(Qt::Dialog);
    } else if (arg >= 0) {
        slot->Select(arg);
    }
    ApplyTexts(slot, nTemplate);
    slot->ReloadTexts();
    slot->Refresh();
    if (m_pOwner)
        slot->move(m_pOwner->frameGeometry().center() - slot->rect().center());
    if (m_pOwner && m_pOwner->windowHandle()) {
        slot->winId(); // its window exists before it is shown, so that it is shown transient
        slot->windowHandle()->setTransientParent(m_pOwner->windowHandle());
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

void CToolWindows::Destroy() {
    const auto windows = m_windows;
    m_windows.clear();
    for (const QPointer<CPage>& window : windows)
        if (window)
            window->RequestDestroy();
}

void CToolWindows::Refresh() {
    for (const QPointer<CPage>& window : std::as_const(m_windows))
        if (window && !window->DestroyRequested())
            window->Refresh();
}

void CToolWindows::RefreshLive(uint32_t regions) {
    for (const QPointer<CPage>& window : std::as_const(m_windows))
        if (window && !window->DestroyRequested() && window->isVisible())
            window->RefreshLive(regions);
}

void CToolWindows::ReloadTexts() {
    for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it)
        if (it.value() && !it.value()->DestroyRequested()) {
            ApplyTexts(it.value(), it.key());
            it.value()->ReloadTexts();
        }
}
