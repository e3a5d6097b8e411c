#include "app/MainView.h"

#include "app/FrameServices.h"
#include "ui/Prompts.h"
#include "app/Ribbon.h"
#include "app/Settings.h"
#include "files/ModeFile.h"
#include "link/Events.h"
#include "link/Timing.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "pages/Page.h"
#include "pages/PageRegistry.h"
#include "sync/Doctor.h"
#include "ui/Colors.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int kPageMinWidth = 1024;
constexpr int kPageMinHeight = 520;
constexpr int kNoticeMs = 1100;

struct RowIds {
    int inSlider, inLabel, inMute, outSlider, outLabel, outMute;
    int slot, muteSlot;
    const char* zh;
    const char* en;
};

const RowIds& Ids(VolumeRow row) {
    static const RowIds rows[] = {
        {32829, 32832, 32847, 32858, 32857, 32859, SET_MIC_VOLUME, SET_MIC_MUTE, "话筒音量:", "Mic    Vol: "},
        {32830, 32833, 0, 32861, 32860, 0, SET_EFFECT_VOLUME, -1, "效果总音量:", "Effect    Vol:"},
        {32918, 32920, 32848, 32919, 32921, 32862, SET_REVERB_VOLUME, SET_REVERB_MUTE,
         "混响音量:  ", "Reverb Vol:"},
        {ID_SLIDER_ECHOVOL, ID_LABEL_ECHOVOL, 32849, 32864, 32863, 32865, SET_ECHO_VOLUME, SET_ECHO_MUTE,
         "回声音量:", "Echo Vol:"},
        {32831, 32834, 32850, 32867, 32866, 32868, SET_MUSIC_VOLUME, SET_MUSIC_MUTE,
         "音乐音量:", "Music Vol:"},
        {ID_SLIDER_NOISEGATE, 32842, 0, 32879, 32878, 0, SET_MUSIC_GATE, -1, "音乐噪声门:", "Noisegate:"},
        {ID_SLIDER_PITCH, 0, 0, 32880, 0, 0, SET_MUSIC_PITCH, -1, "音乐变调:", "Music Pitch:"},
    };
    return rows[int(row)];
}

constexpr VolumeRow kAllRows[] = {VolumeRow::Mic,   VolumeRow::Effect, VolumeRow::Reverb, VolumeRow::Echo,
                                  VolumeRow::Music, VolumeRow::Gate,   VolumeRow::Pitch};

int Slot(int slot) {
    auto lock = LockStore();
    return g_Param.nSetting[slot];
}

bool Connected() {
    auto lock = LockStore();
    return g_Param.bConnected != 0;
}

const char* const kModeDigitZh[] = {"一", "二", "三", "四"};

QString ModeQuestionSuffix(int m) {
    return IsEnglish() ? QStringLiteral("%1?").arg(m + 1)
                       : QString::fromUtf8(kModeDigitZh[m]) + QLatin1Char('?');
}

QString FormatRowLabel(VolumeRow row, int value) {
    const RowIds& ids = Ids(row);
    const int width = (row == VolumeRow::Gate && IsEnglish()) ? 7 : 3;
    return Tr(ids.zh, ids.en) + QStringLiteral("%1").arg(value, width);
}

} // namespace

QString RfBars(int r) {
    static const char* const bars[] = {"■■■■■", "■■■■__", "■■■____", "■■______", "■_______", "_________"};
    const int n = r > 230 ? 0 : r > 210 ? 1 : r > 190 ? 2 : r > 170 ? 3 : r > 150 ? 4 : 5;
    return QString::fromUtf8(bars[n]);
}

QString AfBars(int a) {
    static const char* const bars[] = {"■■■■■", "■■■■__", "■■■____", "■■______", "■_______", "_________"};
    const int n = a > 12 ? 0 : a > 9 ? 1 : a > 6 ? 2 : a > 3 ? 3 : a > 0 ? 4 : 5;
    return QString::fromUtf8(bars[n]);
}

QString BatteryBars(int byteValue) {
    static const char* const bars[] = {"■■■■■", "■■■■__", "■■■____", "■■______", "_________"};
    const int t = byteValue * 8;
    const int n = t > 1610 ? 0 : t > 1562 ? 1 : t > 1524 ? 2 : t > 1330 ? 3 : 4;
    return QString::fromUtf8(bars[n]);
}

QString MicChannelFrequency(int c) {
    if (c < 0 || c > 199)
        return QStringLiteral("665.25MHz");
    const int s = c <= 12 ? c : c <= 76 ? c + 1 : c <= 100 ? c + 2 : c + 5;
    return QString::asprintf("%.2fMHz", (665250.0 + 500.0 * s) / 1000.0);
}

CQX7745v13View::CQX7745v13View(CConsoleLink* link, QWidget* parent)
    : QWidget(parent), m_pLink(link), m_pTools(std::make_unique<CToolWindows>(PageContext{link, &m_state})) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PageColor());
    setPalette(pal);
    m_timer1.setSingleShot(true);
    connect(&m_timer1, &QTimer::timeout, this, [this] { ConnectAttempt(false); });
    // The poll period is never scaled: a faster poll would only load the link.
    m_timer3.setInterval(int(timing::kLivePoll.count()));
    connect(&m_timer3, &QTimer::timeout, this, [this] {
        if (m_pLink)
            m_pLink->Conn().LivePollTick();
    });
    m_tray.setSingleShot(true);
    connect(&m_tray, &QTimer::timeout, this, [this] {
        if (m_pTray)
            m_pTray->hide();
    });
    if (m_pLink) {
        connect(m_pLink, &CConsoleLink::SyncFinished, this, [this] { OnSyncFinished(); });
        connect(m_pLink, &CConsoleLink::DeviceArrived, this, &CQX7745v13View::OnDeviceArrival);
        connect(m_pLink, &CConsoleLink::DeviceRemoved, this, &CQX7745v13View::OnDeviceRemoval);
        connect(m_pLink, &CConsoleLink::StoreChanged, this, &CQX7745v13View::OnStoreChanged);
        connect(m_pLink, &CConsoleLink::ParamError, this, [this](const QString& text) {
            AskBox(this, QMessageBox::Critical, QString::fromUtf8("错误"), text, QMessageBox::Ok);
        });
    }
    ShowPage(kTemplateMusicPage);
}

CQX7745v13View::~CQX7745v13View() {
    if (CPage* machine = m_pTools->Window(kTemplateMachine))
        disconnect(machine, nullptr, this, nullptr); // no strip refresh from a view going away
    m_pTools.reset();
    delete m_pPage;
    if (m_pTray)
        m_pTray->hide();
}

void CQX7745v13View::SetFrame(IFrameServices* frame) {
    m_pFrame = frame;
    m_pTools->SetOwner(frame ? window() : nullptr);
}

CMyMFCRibbonBar* CQX7745v13View::Ribbon() const {
    return m_pFrame ? m_pFrame->Ribbon() : nullptr;
}

void CQX7745v13View::StartConnectTimer() {
    m_timer1.start(int(Settle(timing::kConnectDelay).count()));
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
        // The machine settings' power-on sliders move the live volumes: the strip shows them once
        // the window has gone.
        if (window && nTemplate == kTemplateMachine)
            connect(window, &QObject::destroyed, this, &CQX7745v13View::RefreshVolumeStrip,
                    Qt::UniqueConnection);
    } else
        ShowPage(nTemplate, arg);
}

void CQX7745v13View::PlaceCurrentPage() {
    if (m_pPage)
        m_pPage->setGeometry(0, 0, std::max(width(), kPageMinWidth), std::max(height(), kPageMinHeight));
}

void CQX7745v13View::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceCurrentPage();
}

// ---- Volume strip ---------------------------------------------------------------------------------

bool CQX7745v13View::OutputActive() const {
    CMyMFCRibbonBar* ribbon = Ribbon();
    if (!ribbon || !ribbon->ActiveCategory())
        return false;
    return IsOutputCategoryTitle(ribbon->ActiveCategory()->Title());
}

int CQX7745v13View::SliderValue(VolumeRow row, bool output) const {
    CMyMFCRibbonBar* ribbon = Ribbon();
    const RowIds& ids = Ids(row);
    auto* slider = ribbon ? ribbon->ElementAs<QSlider>(output ? ids.outSlider : ids.inSlider) : nullptr;
    return slider ? slider->value() : Slot(ids.slot);
}

void CQX7745v13View::SetRowSliders(VolumeRow row, int value) {
    CMyMFCRibbonBar* ribbon = Ribbon();
    if (!ribbon)
        return;
    const RowIds& ids = Ids(row);
    for (int id : {ids.inSlider, ids.outSlider}) {
        if (auto* slider = ribbon->ElementAs<QSlider>(id)) {
            const QSignalBlocker block(slider);
            slider->setValue(value);
        }
    }
}

void CQX7745v13View::SetRowLabels(VolumeRow row) {
    CMyMFCRibbonBar* ribbon = Ribbon();
    if (!ribbon)
        return;
    if (row == VolumeRow::Pitch) {
        SetPitchTitle();
        return;
    }
    const RowIds& ids = Ids(row);
    const QString text = FormatRowLabel(row, Slot(ids.slot));
    ribbon->SetElementText(ids.inLabel, text);
    ribbon->SetElementText(ids.outLabel, text);
}

void CQX7745v13View::SetPitchTitle() {
    if (m_pFrame)
        m_pFrame->SetPitchPanelTitles();
}

void CQX7745v13View::VolumeChanged(VolumeRow row) {
    const RowIds& ids = Ids(row);
    int value = SliderValue(row, OutputActive());
    if (row == VolumeRow::Pitch) {
        SetSlot(SET_MUSIC_PITCH, value);
        SetRowSliders(row, value);
        SetPitchTitle();
        return;
    }
    if (row == VolumeRow::Mic || row == VolumeRow::Music) {
        int maximum;
        {
            auto lock = LockStore();
            maximum = g_Status.byMachine[row == VolumeRow::Mic ? 5 : 6];
        }
        if (value > maximum) {
            value = maximum;
            ShowInfoPopup(row == VolumeRow::Mic
                              ? Tr("不能超过最大话筒音量!", "Mic vol can't over max value!")
                              : Tr("不能超过最大音乐音量!", "Music vol can't over max value!"),
                          kNoticeMs);
        }
    }
    SetRowSliders(row, value);
    SetSlot(ids.slot, value);
    if (ids.muteSlot >= 0 && Slot(ids.muteSlot) != 0)
        ShowInfoPopup(Tr("当前是静音状态", "vol is mute"), kNoticeMs);
    SetRowLabels(row);
}

void CQX7745v13View::StepVolume(VolumeRow row, int delta) {
    CMyMFCRibbonBar* ribbon = Ribbon();
    const RowIds& ids = Ids(row);
    auto* in = ribbon ? ribbon->ElementAs<QSlider>(ids.inSlider) : nullptr;
    if (!in)
        return;
    const int value = std::clamp(in->value() + delta, in->minimum(), in->maximum());
    SetRowSliders(row, value);
    VolumeChanged(row);
}

void CQX7745v13View::ToggleMute(VolumeRow row) {
    const int slot = Ids(row).muteSlot;
    if (slot < 0)
        return;
    // The setter sends the row: 1.0 when unmuted, 0.0 when muted; music un-mutes with its fade.
    SetSlot(slot, Slot(slot) ? 0 : 1);
    UpdateCommandUI();
}

void CQX7745v13View::RefreshVolumeStrip() {
    CMyMFCRibbonBar* ribbon = Ribbon();
    if (!ribbon)
        return;
    for (VolumeRow row : kAllRows) {
        SetRowSliders(row, Slot(Ids(row).slot));
        SetRowLabels(row);
    }
    UpdateCommandUI();
}

void CQX7745v13View::RefreshAll() {
    RefreshVolumeStrip();
    if (m_pPage)
        m_pPage->Refresh();
    m_pTools->Refresh();
}

// ---- Commands -------------------------------------------------------------------------------------

void CQX7745v13View::OnCommand(int id) {
    for (VolumeRow row : kAllRows) {
        const RowIds& ids = Ids(row);
        if (id == ids.inSlider || id == ids.outSlider) {
            VolumeChanged(row);
            UpdateCommandUI();
            return;
        }
        if (ids.inMute && (id == ids.inMute || id == ids.outMute)) {
            ToggleMute(row);
            return;
        }
    }
    switch (id) {
    case IDC_FILE_OPEN:
    case 32881:
    case ID_FILE_OPEN:
        OpenModeFile();
        break;
    case IDC_FILE_SAVE:
    case 32882:
    case ID_FILE_SAVE:
        SaveModeFile();
        break;
    case ID_BTN_RESET:
        if (Connected() && m_pLink &&
            AskBox(this, QMessageBox::Question, QString::fromUtf8("提示"),
                   Tr("您确定要将机器复位吗? \n机器复位后请手动重启机器.", "Are you sure reset machine? "),
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
            m_pLink->Conn().MachineReset();
            ShowInfoPopup(Tr("请手动重启……", "Please restart……"), 2000);
        }
        break;
    case ID_BTN_REMOTE:
        if (Connected())
            OpenPage(kTemplateRemote);
        break;
    case ID_BTN_FEATURES:
        OpenPage(kTemplateFeatures);
        break;
    case ID_BTN_INPUT_SOURCE:
        OpenPage(kTemplateMusicInput);
        break;
    case ID_PLUG_WINDOW:
        if (!Connected())
            ShowInfoPopup(Tr("请先连接机器", "Please connect device"), kNoticeMs);
        OpenPage(kTemplatePlugs);
        break;
    case ID_BTN_LANGUAGE:
        ToggleLanguage();
        break;
    case ID_STATUS_BYPASS:
        ToggleEqBypass();
        break;
    case ID_STATUS_RESET_EQ:
        ResetEq();
        break;
    default:
        if (id >= ID_MODE_LOAD_FIRST && id < ID_MODE_LOAD_FIRST + 4)
            LoadMode(id - ID_MODE_LOAD_FIRST);
        else if (id >= ID_MODE_SAVE_FIRST && id < ID_MODE_SAVE_FIRST + 4)
            SaveMode(id - ID_MODE_SAVE_FIRST, false);
        break; // the labels, the split buttons' own faces and the status texts do nothing
    }
    UpdateCommandUI();
}

void CQX7745v13View::LoadMode(int m) {
    if (!Connected() || !m_pLink || SyncDialogRunning())
        return;
    int modified;
    {
        auto lock = LockStore();
        modified = g_Param.bModified;
    }
    if (modified && AskBox(this, QMessageBox::Question, Tr("信息", "Information"),
                           Tr("参数已更改，确定要直接载入模式", "Setting changed ! Are you sure load mode") +
                               ModeQuestionSuffix(m),
                           QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_pLink->Conn().LoadMode(m);
    ShowSyncDialog(QString());
}

void CQX7745v13View::SaveMode(int m, bool fromKey) {
    if (!Connected() || !m_pLink || SyncDialogRunning())
        return;
    if (AskBox(this, QMessageBox::Question, Tr("信息", "Information"),
               Tr("确定要保存至机器模式", "Save to machine mode ") + ModeQuestionSuffix(m),
               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_pLink->Conn().StoreMode(m);
    const QString notice =
        IsEnglish() ? QStringLiteral("Saving Mode %1 ……").arg(m + 1)
                    : QString::fromUtf8("正在储存模式%1,请稍等").arg(QString::fromUtf8(kModeDigitZh[m]));
    // The menu path shows its notice half a second later; neither path holds the window still.
    if (fromKey)
        ShowInfoPopup(notice, 2500);
    else
        QTimer::singleShot(500, this, [notice] { ShowInfoPopup(notice, 2500); });
    UpdateCommandUI();
}

// ---- Mode files -----------------------------------------------------------------------------------

namespace {
// A file that cannot be read says so first; the version box follows every failure, as the caller
// does not tell the two apart.
void ShowLoadFailure(QWidget* parent, const ModeFileResult& result) {
    if (result.nErrno != 0)
        AskBox(parent, QMessageBox::Warning, QStringLiteral("Info"), QString::fromStdString(result.strError),
               QMessageBox::Ok);
    AskBox(parent, QMessageBox::Information, QStringLiteral("Info"),
           QStringLiteral("Mode file version not support!"), QMessageBox::Ok);
}
} // namespace

void CQX7745v13View::OpenModeFile() {
    if (!Connected() || !m_pLink) {
        ShowInfoPopup(Tr("请先连接设备!", "Please connect device!"), kNoticeMs);
        return;
    }
    const QString path = AskModeFileToOpen(this);
    if (path.isEmpty())
        return;
    const ModeFileResult result = LoadModeFile(path.toStdString());
    if (!result.bOk) {
        ShowLoadFailure(this, result);
        return;
    }
    m_pLink->Conn().nPendingFileMode = result.nPendingMode;
    m_pLink->Conn().StartWriteAll();
    AddRecentFile(path);
    if (m_pFrame)
        m_pFrame->RefreshRecentFiles();
    ShowSyncDialog(QString());
}

bool CQX7745v13View::OpenModeFilePath(const QString& path) {
    if (!QFileInfo::exists(path)) {
        AskBox(this, QMessageBox::Information, QString::fromUtf8("文件打开错误"),
               QString::fromUtf8("文件不存在！"), QMessageBox::Ok);
        return false;
    }
    if (QFileInfo(path).suffix().compare(QLatin1String("vm3zt"), Qt::CaseInsensitive) != 0 || !Connected() ||
        !m_pLink)
        return false;
    const ModeFileResult result = LoadModeFile(path.toStdString());
    if (!result.bOk) {
        ShowLoadFailure(this, result);
        return false;
    }
    // Only the open command stores a file named m1..m4 into its memory mode; here it is written alone.
    m_pLink->Conn().nPendingFileMode = -1;
    m_pLink->Conn().StartWriteAll();
    AddRecentFile(path);
    if (m_pFrame)
        m_pFrame->RefreshRecentFiles();
    ShowSyncDialog(QString());
    return true;
}

void CQX7745v13View::SaveModeFile() {
    if (!Connected() || !m_pLink) {
        ShowInfoPopup(Tr("请先连接设备!", "Please connect device!"), kNoticeMs);
        return;
    }
    const QString path = AskModeFileToSave(this, QStringLiteral("name"));
    if (path.isEmpty())
        return;
    int mode;
    {
        auto lock = LockStore();
        mode = g_Param.nCurMode;
    }
    m_pLink->Conn().StoreMode(mode);
    const FileResult result = ::SaveModeFile(path.toStdString());
    if (!result.bOk) {
        ShowWriteFailure(this, result.nErrno, path);
        return;
    }
    AddRecentFile(path);
    if (m_pFrame)
        m_pFrame->RefreshRecentFiles();
}

// ---- Equaliser of the page, language ---------------------------------------------------------------

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
    g_nLanguage = 1 - g_nLanguage;
    WriteLanguageSetting(g_nLanguage);
    ApplyLanguage();
}

void CQX7745v13View::ApplyLanguage() {
    ApplyQtTranslations();
    if (m_pFrame)
        m_pFrame->RefreshRibbonTexts();
    m_pTools->ReloadTexts();
    if (m_pPage)
        m_pPage->ReloadTexts();
    UpdateCommandUI();
}

// ---- Command states -------------------------------------------------------------------------------

void CQX7745v13View::UpdateCommandUI() {
    CMyMFCRibbonBar* ribbon = Ribbon();
    if (!ribbon || !m_pFrame)
        return;
    int mutes[4], mode, connected;
    std::array<uint8_t, 16> live;
    QString modeName;
    {
        auto lock = LockStore();
        mutes[0] = g_Param.nSetting[SET_MIC_MUTE];
        mutes[1] = g_Param.nSetting[SET_REVERB_MUTE];
        mutes[2] = g_Param.nSetting[SET_ECHO_MUTE];
        mutes[3] = g_Param.nSetting[SET_MUSIC_MUTE];
        mode = std::clamp(int(g_Param.nCurMode), 0, kModeCount - 1);
        connected = g_Param.bConnected;
        live = g_Param.byLiveStatus;
        modeName = QString::fromStdString(
            ToUtf8(U16(g_Device.szModeName[mode].data(), g_Device.szModeName[mode].size())));
    }
    const int muteIds[4][2] = {
        {ID_CHK_MUTE1, 32859}, {ID_CHK_MUTE2, 32862}, {ID_CHK_MUTE3, 32865}, {ID_CHK_MUTE4, 32868}};
    for (int i = 0; i < 4; ++i)
        for (int id : muteIds[i])
            if (auto* box = ribbon->ElementAs<QCheckBox>(id))
                box->setChecked(mutes[i] != 0);
    for (int id : {IDC_LOAD_M1, ID_LOAD_OUT, IDC_SAVE_M1, ID_SAVE_OUT})
        if (auto* button = ribbon->ElementAs<QToolButton>(id); button && button->menu()) {
            const auto actions = button->menu()->actions();
            for (int i = 0; i < actions.size(); ++i)
                actions[i]->setChecked(i == mode);
        }
    static const char* const modeZh[] = {"模式一", "模式二", "模式三", "模式四"};
    const QString why = connected || m_strUsbWhy[IsEnglish()].isEmpty()
                            ? QString()
                            : QStringLiteral(" — ") + m_strUsbWhy[IsEnglish()];
    m_pFrame->SetUsbPane(connected ? Tr("USB：已连接", "USB:Connected")
                                   : Tr("USB：未连接", "USB:Disconnected") + why,
                         connected ? QColor(0, 150, 0) : QColor(220, 0, 0));
    m_pFrame->SetModePane(
        Tr("当前模式:%1[%2]", "Current Mode:%1[%2]")
            .arg(IsEnglish() ? QStringLiteral("Mode%1").arg(mode + 1) : QString::fromUtf8(modeZh[mode]),
                 modeName));
    // Wireless microphones 1 and 2: input and output category labels.
    const int micIds[2][3][2] = {{{32926, 32932}, {32927, 32933}, {32928, 32934}},
                                 {{32929, 32935}, {32930, 32936}, {32931, 32937}}};
    for (int mic = 0; mic < 2; ++mic) {
        const int base = 8 + 4 * mic;
        const QString rf = QStringLiteral("RF:%1 AF:%2").arg(RfBars(live[base]), AfBars(live[base + 1]));
        const QString freq = Tr("频率:%1", "Freq:%1").arg(MicChannelFrequency(live[base + 2]));
        const QString battery = Tr("电   量:%1", "Battary: %1").arg(BatteryBars(live[base + 3]));
        for (int cat = 0; cat < 2; ++cat) {
            ribbon->SetElementText(micIds[mic][0][cat], rf);
            ribbon->SetElementText(micIds[mic][1][cat], freq);
            ribbon->SetElementText(micIds[mic][2][cat], battery);
        }
    }
    const bool eqPage = m_pPage && m_pPage->HasEq();
    m_pFrame->SetEqControls(eqPage, eqPage && m_pPage->EqBypassed(), Tr("均衡旁路", "Bypass"),
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

// ---- Connection -----------------------------------------------------------------------------------

void CQX7745v13View::ShowTrayNotice(const QString& text, int ms) {
    m_strLastNotice = text;
    DebugText("notice: " + text.toStdString() + "\n");
    if (!m_pTray) {
        m_pTray = new QSystemTrayIcon(windowIcon(), this);
        m_pTray->setIcon(QIcon(QStringLiteral(":/resources/icons/m7q-console.svg")));
        // A left click, double click or right click on the icon takes it away before its time.
        connect(m_pTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick ||
                reason == QSystemTrayIcon::Context) {
                m_tray.stop();
                m_pTray->hide();
            }
        });
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_pTray->show();
    m_pTray->showMessage(Tr("信息", "Information"), text, QSystemTrayIcon::Information, ms);
    m_tray.start(ms);
}

bool CQX7745v13View::ConnectAttempt(bool fromArrival) {
    if (!m_pLink || Connected())
        return false;
    if (!m_pLink->Conn().Connect()) {
        ExplainNoConnection();
        return false;
    }
    m_strUsbWhy[0].clear();
    m_strUsbWhy[1].clear();
    if (fromArrival)
        m_pTools->Destroy();
    ShowTrayNotice(Tr("设备已连接，同步中……", "Device connected!"), fromArrival ? 4000 : 5000);
    m_timer3.start();
    UpdateCommandUI();
    ShowSyncDialog(QString());
    return true;
}

// A processor that is there but cannot be opened says why, in the status bar and once in a box.
void CQX7745v13View::ExplainNoConnection() {
    if (m_pLink->Simulated())
        return;
    const DoctorFinding finding = ExamineDevice(HostDoctorSystem());
    const QString was = m_strUsbWhy[1];
    for (int english : {0, 1})
        m_strUsbWhy[english] = QString::fromStdString(DoctorSummary(finding, english == 0));
    UpdateCommandUI();
    if (m_strUsbWhy[1].isEmpty() || m_strUsbWhy[1] == was || m_bErrorBoxOpen)
        return;
    m_bErrorBoxOpen = true;
    AskBox(this, QMessageBox::Warning, Tr("错误", "Error"),
           QString::fromStdString(DoctorAdvice(finding, !IsEnglish())), QMessageBox::Ok);
    m_bErrorBoxOpen = false;
}

void CQX7745v13View::OnDeviceArrival(const QString&) {
    ConnectAttempt(true);
}

void CQX7745v13View::OnDeviceRemoval(const QString& path) {
    DebugText("removed!\n");
    if (!m_pLink || !m_pLink->Conn().OnRemoval(path.toStdString()))
        return;
    m_timer3.stop();
    ShowTrayNotice(Tr("设备已断开!", "Device Disconnected!"), 5000);
    UpdateCommandUI();
}

void CQX7745v13View::OnSyncFinished() {
    CloseSyncDialog();
    if (!m_pLink)
        return;
    const std::string error = m_pLink->Conn().OnSyncFinished();
    if (!error.empty()) {
        m_timer3.stop();
        UpdateCommandUI();
        emit SyncHandled(false);
        if (!m_bErrorBoxOpen) {
            m_bErrorBoxOpen = true;
            AskBox(this, QMessageBox::Critical, QString::fromUtf8("错误"), QString::fromStdString(error),
                   QMessageBox::Ok);
            m_bErrorBoxOpen = false;
        }
        return;
    }
    RefreshAll();
    emit SyncHandled(true);
}
