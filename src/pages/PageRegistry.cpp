#include "pages/PageRegistry.h"

#include "pages/CloudnessDlg.h"
#include "pages/CompDlg.h"
#include "pages/DelayDlg.h"
#include "pages/DialogEfx.h"
#include "pages/DialogHomeTheater.h"
#include "pages/DialogMusic.h"
#include "pages/DialogMusicInput.h"
#include "pages/DialogOutput.h"
#include "pages/Page.h"
#include "pages/RemoteDlg.h"
#include "pages/SSVCDlg.h"
#include "pages/SetDlg.h"

static_assert(CDialogMusic::kTemplate == kTemplateMusicPage &&
              CDialogEfx::kMusicTemplate == kTemplateMusicPage);
static_assert(CDialogEfx::kTemplate == kTemplateEffectsPage &&
              CDialogMusic::kEffectsTemplate == kTemplateEffectsPage);

namespace {

template <class T> CPage* Make(const PageContext& context, int arg, QWidget* parent) {
    return new T(context, arg, parent);
}

const PageRow kRows[] = {
    {kTemplateMusicPage, "music", PageHost::MainView, Make<CDialogMusic>},
    {kTemplateEffectsPage, "effects", PageHost::MainView, Make<CDialogEfx>},
    {kTemplateOutputPage, "output", PageHost::MainView, Make<CDialogOutput>},
    {kTemplateDelayPage, "delay", PageHost::MainView, Make<CDelayDlg>},
    {kTemplateCompressorPage, "compressor", PageHost::MainView, Make<CCompDlg>},
    {kTemplateSoundFieldPage, "soundfield", PageHost::MainView, Make<CSSVCDlg>},
    {kTemplateFeatures, "features", PageHost::ToolWindow, Make<CloudnessDlg>},
    {kTemplateMusicInput, "input", PageHost::ToolWindow, Make<CDialogMusicInput>},
    {kTemplateMachine, "machine", PageHost::ToolWindow, Make<CSetDlg>},
    {kTemplateRemote, "remote", PageHost::ToolWindow, Make<CRemoteDlg>},
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
