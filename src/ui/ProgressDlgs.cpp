#include "ui/ProgressDlgs.h"

#include "link/Codec.h"
#include "link/Timing.h"
#include "ui/Colors.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Templates.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// The notices' owner and the one running window of each kind.
struct ProgressWindows {
    QPointer<QWidget> owner;
    QPointer<CInfoDlg> info;
    QPointer<CSynDlg> sync;
    QPointer<CWaitDlg> wait;
};

ProgressWindows& Windows() {
    static ProgressWindows windows;
    return windows;
}

constexpr int kWaitStepMs = 150;

void StyleDialog(QDialog* dlg) {
    dlg->setAutoFillBackground(true);
    QPalette pal = dlg->palette();
    pal.setColor(QPalette::Window, PageColor());
    dlg->setPalette(pal);
}

void CentreOn(QWidget* dlg, QWidget* owner) {
    dlg->adjustSize();
    const QRect area = owner && owner->isVisible() ? owner->frameGeometry() : QRect();
    if (area.isValid())
        dlg->move(area.center() - dlg->rect().center());
}

} // namespace

void SetNoticeOwner(QWidget* owner) {
    Windows().owner = owner;
}
QWidget* NoticeOwner() {
    return Windows().owner;
}

ScopedNotices::ScopedNotices(QWidget* owner) : m_pBefore(Windows().owner) {
    Windows().owner = owner;
}

ScopedNotices::~ScopedNotices() {
    delete Windows().info.data();
    Windows().owner = m_pBefore;
}

CInfoDlg::CInfoDlg(QWidget* owner) : QDialog(owner) {
    StyleDialog(this);
    setWindowTitle(Tr("信息", "Information"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    m_pText = new QLabel(this);
    SetCtrlId(m_pText, 1223);
    m_pText->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(18);
    font.setWeight(QFont::Weight(500));
    m_pText->setFont(font);
    m_pText->setMinimumWidth(260);
    auto* close = new QPushButton(Tr("关闭", "Close"), this);
    SetCtrlId(close, 2);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(m_pText, 1);
    auto* box = new QVBoxLayout(this);
    box->addLayout(row);
    box->addWidget(close, 0, Qt::AlignRight);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &QDialog::close);
    CentreOn(this, owner);
}

void CInfoDlg::ShowText(const QString& text, int ms) {
    ApplyTexts(this, kTemplateProgress); // the language may have changed since it opened
    m_pText->setText(text);
    // A notice shown again fits its new text, about the centre it had.
    const QPoint centre = geometry().center();
    const bool shown = isVisible();
    layout()->activate(); // the text's row recomputes its size before the window takes it
    adjustSize();
    if (shown)
        move(centre - rect().center());
    show();
    raise();
    m_timer.start(ms);
}

QString CInfoDlg::Text() const {
    return m_pText->text();
}

void ShowInfoPopup(const QString& text, int ms) {
    if (!Windows().info)
        Windows().info = new CInfoDlg(Windows().owner);
    Windows().info->ShowText(text, ms);
}

CInfoDlg* InfoDlg() {
    return Windows().info;
}

CSynDlg::CSynDlg(const QString& text, QWidget* owner) : QDialog(owner) {
    StyleDialog(this);
    setWindowTitle(Tr("同步过程", "Synchronize"));
    setCursor(Qt::WaitCursor);
    auto* bar = new QProgressBar(this);
    SetCtrlId(bar, 1217);
    bar->setRange(0, 0); // marquee
    bar->setTextVisible(false);
    m_pText = new QLabel(
        text.isEmpty() ? Tr("当前正在与机器同步数据,请稍候......", "Please wait a moment……") : text, this);
    SetCtrlId(m_pText, 1218);
    auto* box = new QVBoxLayout(this);
    box->addWidget(m_pText);
    box->addWidget(bar);
    setMinimumWidth(360);
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        m_bTimedOut = true;
        reject();
    });
    m_timeout.start(int(timing::kSyncDialog.count()));
    CentreOn(this, owner);
}

QString CSynDlg::Text() const {
    return m_pText->text();
}

void ShowSyncDialog(const QString& text) {
    if (Windows().sync) {
        Windows().sync->show();
        return;
    }
    auto* dlg = new CSynDlg(text, Windows().owner);
    Windows().sync = dlg;
    dlg->exec();
    const bool timedOut = dlg->TimedOut();
    delete dlg;
    Windows().sync = nullptr;
    if (timedOut) {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8("错误"),
                        QString::fromUtf8("发生错误，与设备数据同步超时……"), QMessageBox::Ok,
                        Windows().owner);
        box.exec();
    }
}

void CloseSyncDialog() {
    if (Windows().sync)
        Windows().sync->accept();
}

bool SyncDialogRunning() {
    return !Windows().sync.isNull();
}
CSynDlg* SyncDlg() {
    return Windows().sync;
}

CWaitDlg::CWaitDlg(const QString& text, uint8_t command, QWidget* owner)
    : QDialog(owner), m_byCommand(command) {
    StyleDialog(this);
    setWindowTitle(QString::fromUtf8("请稍等……"));
    setCursor(Qt::WaitCursor);
    m_pBar = new QProgressBar(this);
    SetCtrlId(m_pBar, 1217);
    m_pBar->setRange(0, 100);
    m_pBar->setValue(0);
    m_pText = new QLabel(text, this);
    SetCtrlId(m_pText, 1218);
    QPalette pal = m_pText->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_pText->setPalette(pal);
    auto* abort = new QPushButton(QString::fromUtf8("强行中止"), this);
    SetCtrlId(abort, 3);
    connect(abort, &QPushButton::clicked, this, &CWaitDlg::Abort);
    auto* box = new QVBoxLayout(this);
    box->addWidget(m_pText);
    box->addWidget(m_pBar);
    box->addWidget(abort, 0, Qt::AlignRight);
    setMinimumWidth(360);
    connect(&m_step, &QTimer::timeout, this, [this] {
        const int next = m_pBar->value() + 10;
        m_pBar->setValue(next > 100 ? next - 100 : next);
    });
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        m_step.stop();
        reject();
        ShowInfoPopup(QString::fromUtf8("发生错误，操作超时……"), 1100);
    });
    RestartTimers();
    CentreOn(this, owner);
}

void CWaitDlg::RestartTimers() {
    m_step.start(kWaitStepMs);
    m_timeout.start(int(timing::kWaitDialog.count()));
}

void CWaitDlg::SetWaitText(const QString& text) {
    m_pText->setText(text);
}

void CWaitDlg::FinishWait(int ms) {
    m_step.stop();
    m_timeout.stop();
    if (ms <= 0) {
        accept();
        return;
    }
    m_pBar->setValue(100);
    QTimer::singleShot(ms, this, &QDialog::accept);
}

int CWaitDlg::Progress() const {
    return m_pBar->value();
}

void CWaitDlg::Abort() {
    // Stop what the plug network is doing: a switching request, or inclusion / exclusion mode.
    if (m_byCommand == 19) {
        const uint8_t frame[] = {0x13};
        SendZWaveFrame(frame, sizeof frame);
    } else if (m_byCommand == 74 || m_byCommand == 75) {
        const uint8_t frame[] = {m_byCommand, 0x05, 0x00};
        SendZWaveFrame(frame, sizeof frame);
    }
    m_step.stop();
    m_timeout.stop();
    reject();
}

void RunWaitDialog(const QString& text, uint8_t command) {
    if (Windows().wait) {
        Windows().wait->RestartTimers();
        return;
    }
    auto* dlg = new CWaitDlg(text, command, Windows().owner);
    Windows().wait = dlg;
    dlg->exec();
    delete dlg;
    Windows().wait = nullptr;
}

CWaitDlg* WaitDlg() {
    return Windows().wait;
}
