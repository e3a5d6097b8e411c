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

namespace {

template <class T> CPage* Make(const PageContext& context, int arg, QWidget* parent) {
    return new T(context, arg, parent);
}

constexpr PageHost kView = PageHost::MainView, kTool = PageHost::ToolWindow;
constexpr PageCategory kNone = PageCategory::None;

const PageRow kRows[] = {
    {kTemplateMusicPage, "music", kView, kPageStart, PageCategory::Input, 0, Make<CDialogMusic>},
    {kTemplateEffectsPage, "effects", kView, 0, kNone, 0, Make<CDialogEfx>},
    {kTemplateOutputPage, "output", kView, 0, PageCategory::Output, 0, Make<CDialogOutput>},
    {kTemplateDelayPage, "delay", kView, 0, kNone, 0, Make<CDelayDlg>},
    {kTemplateCompressorPage, "compressor", kView, 0, kNone, 0, Make<CCompDlg>},
    {kTemplateSoundFieldPage, "soundfield", kView, 0, kNone, 0, Make<CSSVCDlg>},
    {kTemplateFeatures, "features", kTool, 0, kNone, 0, Make<CloudnessDlg>},
    {kTemplateMusicInput, "input", kTool, 0, kNone, 0, Make<CDialogMusicInput>},
    {kTemplateMachine, "machine", kTool, kPageMovesVolumes, kNone, Qt::Key_F7, Make<CSetDlg>},
    {kTemplateRemote, "remote", kTool, kPageNeedsDevice, kNone, 0, Make<CRemoteDlg>},
    {kTemplatePlugs, "plugs", kTool, kPageAsksForDevice, kNone, 0, Make<CDialogHomeTheater>},
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

QStringList PageNames(PageHost host) {
    QStringList names;
    for (const PageRow& row : kRows)
        if (row.host == host)
            names << QLatin1String(row.szName);
    return names;
}

const PageRow* FindPageWith(PageFlag flag) {
    for (const PageRow& row : kRows)
        if (row.flags & flag)
            return &row;
    return nullptr;
}

const PageRow* FindPageOfCategory(PageCategory category) {
    if (category == PageCategory::None)
        return nullptr;
    for (const PageRow& row : kRows)
        if (row.category == category)
            return &row;
    return nullptr;
}

const PageRow* FindPageByKey(int key) {
    for (const PageRow& row : kRows)
        if (key != 0 && row.nKey == key)
            return &row;
    return nullptr;
}

// The output category reopens the channel last shown; the input category starts at the first entry
// (Mic A), re-selecting it when the page is already shown.
int CategoryArg(const PageRow& row, const PageState& state) {
    return row.category == PageCategory::Output ? state.nOutputChannel : 0;
}

CPage* CreatePage(int nTemplate, const PageContext& context, int arg, QWidget* parent) {
    const PageRow* row = FindPage(nTemplate);
    return row ? row->factory(context, arg, parent) : nullptr;
}
