#include "app/Pages.h"

#include "app/App.h"
#include "pages/DialogOutput.h"
#include "pages/Page.h"

CPage* CreatePage(int nTemplate, QWidget* parent) {
    CQX7745v13App* app = CQX7745v13App::Instance();
    if (nTemplate == kTemplateOutputPage) {
        auto* page = new CDialogOutput(app->nOutputChannel, parent);
        QObject::connect(page, &CDialogOutput::ChannelSelected, page,
                         [](int c) { CQX7745v13App::Instance()->nOutputChannel = c; });
        return page;
    }
    return new CPage(nTemplate, parent);
}
