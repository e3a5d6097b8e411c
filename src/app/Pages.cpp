#include "app/Pages.h"

#include "app/App.h"
#include "pages/Page.h"

CPage* CreatePage(int nTemplate, QWidget* parent) {
    return new CPage(nTemplate, parent);
}
