// The tool windows: modeless, one instance each, made by the page registry on first use, centred
// on the main window and refreshed every time they open.
#pragma once

#include "pages/Page.h"

#include <QHash>
#include <QPointer>

class CToolWindows {
public:
    explicit CToolWindows(const PageContext& context) : m_context(context) {}
    ~CToolWindows();
    CToolWindows(const CToolWindows&) = delete;
    CToolWindows& operator=(const CToolWindows&) = delete;

    void SetOwner(QWidget* owner) { m_pOwner = owner; }
    // Shows the window of `nTemplate` (made on first use) with its argument; nullptr when the
    // registry has no tool window of that template.
    CPage* Open(int nTemplate, int arg = -1);
    CPage* Window(int nTemplate) const { return m_windows.value(nTemplate); }
    // Every window goes; one waiting in a modal loop of its own goes once that loop returns.
    void Destroy();
    void Refresh();
    void RefreshLive(uint32_t regions);
    void ReloadTexts();

private:
    PageContext m_context;
    QPointer<QWidget> m_pOwner;
    QHash<int, QPointer<CPage>> m_windows;
};
