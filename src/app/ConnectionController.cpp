#include "app/ConnectionController.h"

#include "link/Events.h"
#include "link/Timing.h"
#include "model/ParamStore.h"
#include "sync/Doctor.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Prompts.h"

#include <QIcon>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {

bool Connected() {
    auto lock = LockStore();
    return g_Param.bConnected != 0;
}

} // namespace

CConnectionController::CConnectionController(CConsoleLink* link, QWidget* view)
    : m_pLink(link), m_pView(view) {
    m_connect.setSingleShot(true);
    connect(&m_connect, &QTimer::timeout, this, [this] { ConnectAttempt(false); });
    // The poll period is never scaled: a faster poll would only load the link.
    m_poll.setInterval(int(timing::kLivePoll.count()));
    connect(&m_poll, &QTimer::timeout, this, [this] {
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
        connect(m_pLink, &CConsoleLink::DeviceArrived, this, &CConnectionController::OnDeviceArrival);
        connect(m_pLink, &CConsoleLink::DeviceRemoved, this, &CConnectionController::OnDeviceRemoval);
    }
}

CConnectionController::~CConnectionController() {
    if (m_pTray)
        m_pTray->hide();
}

void CConnectionController::StartConnectTimer() {
    m_connect.start(int(Settle(timing::kConnectDelay).count()));
}

QString CConnectionController::UsbWhy() const {
    return m_strUsbWhy[IsEnglish()];
}

void CConnectionController::ShowTrayNotice(const QString& text, int ms) {
    m_strLastNotice = text;
    DebugText("notice: " + text.toStdString() + "\n");
    if (!m_pTray) {
        m_pTray = new QSystemTrayIcon(m_pView->windowIcon(), m_pView);
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

bool CConnectionController::ConnectAttempt(bool fromArrival) {
    if (!m_pLink || Connected())
        return false;
    if (!m_pLink->Conn().Connect()) {
        ExplainNoConnection();
        return false;
    }
    m_strUsbWhy[0].clear();
    m_strUsbWhy[1].clear();
    if (fromArrival)
        emit ToolWindowsStale();
    ShowTrayNotice(Tr("设备已连接，同步中……", "Device connected!"), fromArrival ? 4000 : 5000);
    m_poll.start();
    emit StatusChanged();
    ShowSyncDialog(QString());
    return true;
}

// A processor that is there but cannot be opened says why, in the status bar and once in a box.
void CConnectionController::ExplainNoConnection() {
    if (m_pLink->Simulated())
        return;
    const DoctorFinding finding = ExamineDevice(HostDoctorSystem());
    const QString was = m_strUsbWhy[1];
    for (int english : {0, 1})
        m_strUsbWhy[english] = QString::fromStdString(DoctorSummary(finding, english == 0));
    emit StatusChanged();
    if (m_strUsbWhy[1].isEmpty() || m_strUsbWhy[1] == was || m_bErrorBoxOpen)
        return;
    m_bErrorBoxOpen = true;
    AskBox(m_pView, QMessageBox::Warning, Tr("错误", "Error"),
           QString::fromStdString(DoctorAdvice(finding, !IsEnglish())), QMessageBox::Ok);
    m_bErrorBoxOpen = false;
}

void CConnectionController::OnDeviceArrival(const QString&) {
    ConnectAttempt(true);
}

void CConnectionController::OnDeviceRemoval(const QString& path) {
    DebugText("removed!\n");
    if (!m_pLink || !m_pLink->Conn().OnRemoval(path.toStdString()))
        return;
    m_poll.stop();
    ShowTrayNotice(Tr("设备已断开!", "Device Disconnected!"), 5000);
    emit StatusChanged();
}

void CConnectionController::OnSyncFinished() {
    CloseSyncDialog();
    if (!m_pLink)
        return;
    const std::string error = m_pLink->Conn().OnSyncFinished();
    if (!error.empty()) {
        m_poll.stop();
        emit StatusChanged();
        emit Synchronised(false);
        if (!m_bErrorBoxOpen) {
            m_bErrorBoxOpen = true;
            AskBox(m_pView, QMessageBox::Critical, QString::fromUtf8("错误"), QString::fromStdString(error),
                   QMessageBox::Ok);
            m_bErrorBoxOpen = false;
        }
        return;
    }
    emit Synchronised(true);
}

void CConnectionController::ResetMachine() {
    if (Connected() && m_pLink &&
        AskBox(m_pView, QMessageBox::Question, QString::fromUtf8("提示"),
               Tr("您确定要将机器复位吗? \n机器复位后请手动重启机器.", "Are you sure reset machine? "),
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
        m_pLink->Conn().MachineReset();
        ShowInfoPopup(Tr("请手动重启……", "Please restart……"), 2000);
    }
}

void CConnectionController::CloseLink() {
    if (m_pLink) {
        m_pLink->Link().Flush();
        m_pLink->Conn().Disconnect();
    }
}
