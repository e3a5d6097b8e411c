#include "app/MainView.h"

#include "app/FrameIntents.h"
#include "app/Settings.h"
#include "link/Events.h"
#include "model/ParamStore.h"
#include "pages/PageRegistry.h"
#include "ui/Colors.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Prompts.h"

#include <QMessageBox>
#include <QResizeEvent>

#include <algorithm>

namespace {

constexpr int kPageMinWidth = 1024;
constexpr int kPageMinHeight = 520;
constexpr int kNoticeMs = 1100;

bool Connected() {
    auto lock = LockStore();
    return g_Param.bConnected != 0;
}

} // namespace

CQX7745v13View::CQX7745v13View(CConsoleLink* link, QWidget* parent)
    : QWidget(parent), m_pLink(link), m_pTools(std::make_unique<CToolWindows>(PageContext{link, &m_state})),
      m_modes(link, this, [this] { UpdateCommandUI(); }), m_connection(link, this) {
    m_modes.SetRecallWatch([this](int mode) { emit ModeRecallStarted(mode); });
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PageColor());
    setPalette(pal);
    connect(&m_connection, &CConnectionController::StatusChanged, this, &CQX7745v13View::UpdateCommandUI);
    connect(&m_connection, &CConnectionController::ToolWindowsStale, this, [this] { m_pTools->Destroy(); });
    connect(&m_connection, &CConnectionController::Synchronised, this, [this](bool ok) {
        if (ok)
            RefreshAll();
        emit SyncHandled(ok);
    });
    if (m_pLink) {
        connect(m_pLink, &CConsoleLink::StoreChanged, this, &CQX7745v13View::OnStoreChanged);
        connect(m_pLink, &CConsoleLink::ParamError, this, [this](const QString& text) {
            AskBox(this, QMessageBox::Critical, QString::fromUtf8("错误"), text, QMessageBox::Ok);
        });
    }
    BuildCommandTable();
    ShowPage(FindPageWith(kPageStart)->nTemplate);
}

CQX7745v13View::~CQX7745v13View() {
    for (const PageRow& row : PageRows())
        if (CPage* window = (row.flags & kPageMovesVolumes) ? m_pTools->Window(row.nTemplate) : nullptr)
            disconnect(window, nullptr, this, nullptr); // no strip refresh from a view going away
    m_pTools.reset();
    delete m_pPage;
}

void CQX7745v13View::SetFrame(IFrameIntents* frame) {
    m_pFrame = frame;
    m_strip.SetFrame(frame);
    m_modes.SetFrame(frame);
    m_pTools->SetOwner(frame ? window() : nullptr);
}

CConnection* CQX7745v13View::Connection() {
    return m_pLink ? &m_pLink->Conn() : nullptr;
}

// ---- Commands -------------------------------------------------------------------------------------

void CQX7745v13View::BuildCommandTable() {
    for (VolumeRow row : kAllRows) {
        const StripIds& ids = StripIdsOf(row);
        for (int id : {ids.inSlider, ids.outSlider})
            m_commands.Add(id, [this, row] { m_strip.Changed(row); });
        if (ids.inMute)
            for (int id : {ids.inMute, ids.outMute})
                m_commands.Add(id, [this, row] { m_strip.ToggleMute(row); });
    }
    for (int id : {int(IDC_FILE_OPEN), int(ID_FILE_OPEN_OUT), int(ID_FILE_OPEN)})
        m_commands.Add(id, [this] { m_modes.OpenModeFile(); });
    for (int id : {int(IDC_FILE_SAVE), int(ID_FILE_SAVE_OUT), int(ID_FILE_SAVE)})
        m_commands.Add(id, [this] { m_modes.SaveModeFile(); });
    for (int m = 0; m < 4; ++m) {
        m_commands.Add(ID_MODE_LOAD_FIRST + m, [this, m] { m_modes.LoadMode(m); });
        m_commands.Add(ID_MODE_SAVE_FIRST + m, [this, m] { m_modes.SaveMode(m, false); });
    }
    m_commands.Add(ID_BTN_RESET, [this] { m_connection.ResetMachine(); });
    m_commands.Add(ID_BTN_REMOTE, [this] { OpenFromButton(kTemplateRemote); });
    m_commands.Add(ID_BTN_FEATURES, [this] { OpenFromButton(kTemplateFeatures); });
    m_commands.Add(ID_BTN_INPUT_SOURCE, [this] { OpenFromButton(kTemplateMusicInput); });
    m_commands.Add(ID_PLUG_WINDOW, [this] { OpenFromButton(kTemplatePlugs); });
    m_commands.Add(ID_BTN_LANGUAGE, [this] { ToggleLanguage(); });
    m_commands.Add(ID_STATUS_BYPASS, [this] { ToggleEqBypass(); });
    m_commands.Add(ID_STATUS_RESET_EQ, [this] { ResetEq(); });
}

void CQX7745v13View::OnCommand(int id) {
    m_commands.Dispatch(id); // the labels, the split buttons' own faces and the status texts do nothing
    UpdateCommandUI();
}

// ---- Pages ----------------------------------------------------------------------------------------

void CQX7745v13View::ShowPage(int nTemplate, int arg) {
    if (m_pPage && m_pPage->TemplateId() == nTemplate && arg >= 0) {
        m_pPage->Select(arg);
        RefreshVolumeStrip();
        return;
    }
    if (m_pPage) {
        // The old page may be the one whose handler asked for this switch: let it return first.
        m_pPage->hide();
        m_pPage->deleteLater();
    }
    m_pPage = CreatePage(nTemplate, PageContext{m_pLink, &m_state}, arg, this);
    if (m_pPage) {
        connect(m_pPage, &CPage::OpenPage, this, &CQX7745v13View::OpenPage, Qt::QueuedConnection);
        PlaceCurrentPage();
        m_pPage->ReloadTexts();
        m_pPage->Refresh();
        m_pPage->show();
    }
    RefreshVolumeStrip();
}

void CQX7745v13View::OpenPage(int nTemplate, int arg) {
    const PageRow* row = FindPage(nTemplate);
    if (!row) {
        DebugText("page " + std::to_string(nTemplate) + " is not part of this console yet\n");
        return;
    }
    if (row->host == PageHost::ToolWindow) {
        CPage* window = m_pTools->Open(nTemplate, arg);
        // A window that moves the live volumes (the machine settings' power-on sliders): the strip
        // shows them once the window has gone.
        if (window && (row->flags & kPageMovesVolumes))
            connect(window, &QObject::destroyed, this, &CQX7745v13View::RefreshVolumeStrip,
                    Qt::UniqueConnection);
    } else
        ShowPage(nTemplate, arg);
}

void CQX7745v13View::OnCategoryShown(Category category) {
    const PageCategory shown = category == Category::Input    ? PageCategory::Input
                               : category == Category::Output ? PageCategory::Output
                                                              : PageCategory::None;
    // The category's page, re-selected (refreshed, texts reloaded) when it is already shown.
    if (const PageRow* row = FindPageOfCategory(shown))
        ShowPage(row->nTemplate, CategoryArg(*row, m_state));
    RefreshVolumeStrip();
}

void CQX7745v13View::OpenFromButton(int nTemplate) {
    const PageRow* row = FindPage(nTemplate);
    if (row && !Connected()) {
        if (row->flags & kPageNeedsDevice)
            return;
        if (row->flags & kPageAsksForDevice)
            ShowInfoPopup(Tr("请先连接机器", "Please connect device"), kNoticeMs);
    }
    OpenPage(nTemplate);
}

void CQX7745v13View::PlaceCurrentPage() {
    if (m_pPage)
        m_pPage->setGeometry(0, 0, std::max(width(), kPageMinWidth), std::max(height(), kPageMinHeight));
}

void CQX7745v13View::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceCurrentPage();
}

// ---- Volume strip, equaliser of the page, language ---------------------------------------------------

void CQX7745v13View::ToggleMute(VolumeRow row) {
    m_strip.ToggleMute(row);
    UpdateCommandUI();
}

void CQX7745v13View::RefreshVolumeStrip() {
    if (!m_pFrame)
        return;
    m_strip.Refresh();
    UpdateCommandUI();
}

void CQX7745v13View::RefreshAll() {
    RefreshVolumeStrip();
    if (m_pPage)
        m_pPage->Refresh();
    m_pTools->Refresh();
}

void CQX7745v13View::ToggleEqBypass() {
    if (m_pPage && m_pPage->HasEq())
        m_pPage->ToggleEqBypass();
    UpdateCommandUI();
}

void CQX7745v13View::ResetEq() {
    if (!m_pPage || !m_pPage->HasEq())
        return;
    if (AskBox(this, QMessageBox::Question, QString::fromUtf8("提示"),
               Tr("您确定重置当前均衡吗?", "Are you sure reset the EQ?"),
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        m_pPage->ResetEq();
}

void CQX7745v13View::ToggleLanguage() {
    SetLanguage(1 - Language());
    WriteLanguageSetting(Language());
    ApplyLanguage();
}

void CQX7745v13View::ApplyLanguage() {
    ApplyQtTranslations();
    if (m_pFrame)
        m_pFrame->RefreshTexts();
    RefreshVolumeStrip(); // the labels and the pitch title in the new language
    m_pTools->ReloadTexts();
    if (m_pPage)
        m_pPage->ReloadTexts();
    UpdateCommandUI();
}

// ---- Command states -------------------------------------------------------------------------------

void CQX7745v13View::UpdateCommandUI() {
    if (!m_pFrame)
        return;
    ShowStatusTexts(*m_pFrame, m_connection.UsbWhy());
    const bool eqPage = m_pPage && m_pPage->HasEq();
    m_pFrame->SetEqCommands(eqPage, eqPage && m_pPage->EqBypassed(), Tr("均衡旁路", "Bypass"),
                            Tr("重置均衡", "Reset EQ"));
}

void CQX7745v13View::OnStoreChanged(uint32_t regions) {
    if (regions & (STORE_LIVE | STORE_MODES | STORE_CONNECTION | STORE_PARAMS)) {
        ++m_nStatusRefreshes;
        UpdateCommandUI();
    }
    if (m_pPage)
        m_pPage->RefreshLive(regions);
    m_pTools->RefreshLive(regions);
}

bool CQX7745v13View::QueryClose(QWidget* parent) {
    if (!m_modes.OfferSaveBeforeClose(parent))
        return false;
    m_connection.CloseLink();
    return true;
}
