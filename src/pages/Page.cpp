#include "pages/Page.h"

#include <QDialog>
#include <QPointer>

namespace {
// Pages made outside the registry (tests, tools) share one state.
PageState* DefaultState() {
    static PageState state;
    return &state;
}
} // namespace

CPage::CPage(int nTemplate, const PageContext& context, QWidget* parent)
    : QWidget(parent), m_nTemplate(nTemplate), m_context(context) {
    if (!m_context.pState)
        m_context.pState = DefaultState();
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PageColor());
    setPalette(pal);
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
