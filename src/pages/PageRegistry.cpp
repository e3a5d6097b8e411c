#include "pages/PageRegistry.h"

#include "pages/DialogHomeTheater.h"
#include "pages/DialogOutput.h"
#include "pages/Page.h"

namespace {

template <class T> CPage* Make(const PageContext& context, int arg, QWidget* parent) {
    return new T(context, arg, parent);
}

// The Input category's page until the music page is built: the right template, nothing on it.
CPage* MakeEmptyMusicPage(const PageContext& context, int, QWidget* parent) {
    return new CPage(kTemplateMusicPage, context, parent);
}

const PageRow kRows[] = {
    {kTemplateMusicPage, "music", PageHost::MainView, MakeEmptyMusicPage},
    {kTemplateOutputPage, "output", PageHost::MainView, Make<CDialogOutput>},
    {kTemplatePlugs, "plugs", PageHost::ToolWindow, Make<CDialogHomeTheater>},
};

} // namespace

std::span<const PageRow> PageRows() {
    return kRows;
}

const PageRow* FindPage(int nTemplate) {
    for (const PageRow& row : kRows)
        if (row.nTemplate == nTemplate)
            return &row;
    return nullptr;
}

const PageRow* FindPageByName(const QString& name) {
    for (const PageRow& row : kRows)
        if (name.compare(QLatin1String(row.szName), Qt::CaseInsensitive) == 0)
            return &row;
    return nullptr;
}

QStringList PageNames() {
    QStringList names;
    for (const PageRow& row : kRows)
        names << QLatin1String(row.szName);
    return names;
}

CPage* CreatePage(int nTemplate, const PageContext& context, int arg, QWidget* parent) {
    const PageRow* row = FindPage(nTemplate);
    return row ? row->factory(context, arg, parent) : nullptr;
}
