#include "pages/Page.h"

#include "ui/ConsoleLink.h"
#include "ui/Language.h"

#include <QDialog>
#include <QPointer>

CPage::CPage(int nTemplate, const PageContext& context, QWidget* parent)
    : QWidget(parent), m_nTemplate(nTemplate), m_context(context) {
    if (!m_context.pState) {
        // A page made outside the registry (tests, tools) keeps a state of its own: nothing leaks
        // from one such page to the next.
        m_pOwnState = std::make_unique<PageState>();
        m_context.pState = m_pOwnState.get();
    }
    SetTemplateId(this, nTemplate);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PageColor());
    setPalette(pal);
}

CPollToken CPage::SuspendLivePoll() const {
    return m_context.pLink ? m_context.pLink->Conn().SuspendPolling() : CPollToken();
}

bool CPage::RunModal(QDialog& dialog, int* result) {
    int r = 0;
    const bool alive = RunNested([&] { r = dialog.exec(); });
    if (result)
        *result = r;
    return alive;
}

bool CPage::RunNested(const std::function<void()>& loop) {
    ++m_nModalDepth;
    loop();
    --m_nModalDepth;
    if (m_bDestroyRequested) {
        if (m_nModalDepth == 0)
            deleteLater();
        return false;
    }
    return true;
}

void CPage::RequestDestroy() {
    if (m_bDestroyRequested)
        return;
    m_bDestroyRequested = true;
    hide();
    if (m_nModalDepth == 0)
        deleteLater();
}
