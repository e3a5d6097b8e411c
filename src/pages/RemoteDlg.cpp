#include "pages/RemoteDlg.h"

#include "files/RemoteFile.h"
#include "link/Codec.h"
#include "link/Transport.h"
#include "model/ParamStore.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Prompts.h"
#include "ui/Templates.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

#include <filesystem>

namespace {

constexpr int kNoticeMs = 1100;

// Where each key sits on the drawn remote (the picture is 300 x 470).
struct KeyPlace {
    int nCtrlId;
    QRect rect;
    const char* szZh; // the key's face
    const char* szEn;
};

const KeyPlace kPlaces[] = {
    {1587, QRect(214, 24, 56, 36), "待机", "POWER"},  {1600, QRect(30, 24, 76, 36), "音源", "SOURCE"},
    {1601, QRect(116, 24, 76, 36), "视频", "HDMI"},   {1602, QRect(122, 86, 56, 40), "M1 ▲", "M1 ▲"},
    {1603, QRect(122, 190, 56, 40), "M4 ▼", "M4 ▼"},  {1604, QRect(58, 138, 56, 40), "◀ M3", "◀ M3"},
    {1605, QRect(186, 138, 56, 40), "M2 ▶", "M2 ▶"},  {1606, QRect(122, 138, 56, 40), "确认", "OK"},
    {1607, QRect(30, 250, 76, 34), "菜单", "MENU"},   {1608, QRect(116, 250, 68, 34), "静音", "MUTE"},
    {1609, QRect(194, 250, 76, 34), "退出", "EXIT"},  {1610, QRect(30, 306, 76, 34), "话筒+", "MIC+"},
    {1611, QRect(30, 350, 76, 34), "话筒-", "MIC-"},  {1612, QRect(116, 306, 68, 34), "效果+", "EFF+"},
    {1613, QRect(116, 350, 68, 34), "效果-", "EFF-"}, {1614, QRect(194, 306, 76, 34), "音乐+", "MUS+"},
    {1615, QRect(194, 350, 76, 34), "音乐-", "MUS-"},
};
const QRect kUnsupportedPlace(116, 404, 68, 30); // an area over no key of the picture

// The picture of the remote, drawn in the language's lettering.
class CRemotePicture : public QWidget {
public:
    explicit CRemotePicture(QWidget* parent) : QWidget(parent) { SetCtrlId(this, CRemoteDlg::IDC_PICTURE); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF body = QRectF(rect()).adjusted(6, 4, -6, -4);
        QLinearGradient shade(body.topLeft(), body.topRight());
        shade.setColorAt(0, QColor(58, 62, 70));
        shade.setColorAt(0.5, QColor(84, 90, 100));
        shade.setColorAt(1, QColor(52, 56, 64));
        p.setPen(QPen(QColor(30, 32, 36), 2));
        p.setBrush(shade);
        p.drawRoundedRect(body, 36, 36);
        // The direction ring around OK.
        p.setPen(QPen(QColor(150, 158, 170), 2));
        p.setBrush(QColor(66, 72, 82));
        p.drawEllipse(QPointF(150, 158), 104, 80);
        QFont f = font();
        f.setBold(true);
        f.setPixelSize(12);
        p.setFont(f);
        for (const KeyPlace& k : kPlaces) {
            const bool power = k.nCtrlId == 1587;
            p.setPen(QPen(QColor(20, 20, 24), 1));
            p.setBrush(power ? QColor(200, 40, 40) : QColor(214, 220, 228));
            p.drawRoundedRect(QRectF(k.rect).adjusted(2, 2, -2, -2), 10, 10);
            p.setPen(power ? QColor(255, 255, 255) : QColor(30, 30, 30));
            p.drawText(k.rect, Qt::AlignCenter, Tr(k.szZh, k.szEn));
        }
        p.setPen(QColor(200, 206, 214));
        f.setPixelSize(16);
        p.setFont(f);
        p.drawText(QRect(0, 420, width(), 30), Qt::AlignCenter, QStringLiteral("M7Q"));
    }
};

// A clickable area over the picture: draws nothing, shows the hand cursor.
class CRemoteArea : public QAbstractButton {
public:
    CRemoteArea(QWidget* parent, int id, const QRect& r) : QAbstractButton(parent) {
        SetCtrlId(this, id);
        setGeometry(r);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {}
};

QPushButton* MakeButton(QWidget* parent, int id, const QRect& r) {
    auto* button = new QPushButton(parent);
    SetCtrlId(button, id);
    button->setGeometry(r);
    button->setAutoDefault(false);
    return button;
}

bool Connected() {
    auto lock = LockStore();
    return g_Param.bConnected != 0;
}

const QString kFilter = QStringLiteral("Remote Data File(*.remo)");

} // namespace

// ---- Learning dialog -----------------------------------------------------------------------------

CRemoteStudyDlg::CRemoteStudyDlg(const PageContext& context, const QString& keyText, QWidget* parent)
    : QDialog(parent), m_context(context) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PageColor());
    setPalette(pal);
    setFixedSize(360, 150);
    m_pKey = new QLabel(this);
    SetCtrlId(m_pKey, IDC_KEY_TEXT);
    m_pKey->setGeometry(16, 12, 328, 22);
    QLabel* codeLabel = new QLabel(this);
    SetCtrlId(codeLabel, 1007);
    codeLabel->setGeometry(16, 46, 90, 24);
    m_pCode = new QLineEdit(this);
    SetCtrlId(m_pCode, IDC_CODE);
    m_pCode->setReadOnly(true);
    m_pCode->setGeometry(110, 46, 60, 24);
    m_pNotice = new QLabel(this);
    SetCtrlId(m_pNotice, IDC_NOTICE);
    m_pNotice->setGeometry(180, 46, 164, 24);
    m_pCancel = new QPushButton(this);
    SetCtrlId(m_pCancel, IDC_CANCEL);
    m_pCancel->setGeometry(250, 108, 94, 28);
    connect(m_pCancel, &QPushButton::clicked, this, &CRemoteStudyDlg::reject);
    m_pClose = new QPushButton(this);
    SetCtrlId(m_pClose, IDC_CLOSE);
    m_pClose->setGeometry(150, 108, 94, 28);
    m_pClose->hide();
    connect(m_pClose, &QPushButton::clicked, this, &CRemoteStudyDlg::accept);
    ApplyTexts(this, kTemplateRemoteLearn);
    m_pKey->setText(keyText);
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &CRemoteStudyDlg::accept);
    if (m_context.pLink)
        connect(m_context.pLink, &CConsoleLink::KeyLearned, this, &CRemoteStudyDlg::CodeReceived);
}

void CRemoteStudyDlg::CodeReceived(int code) {
    m_bLearned = true;
    m_pCode->setText(QString::asprintf("%02X", code & 0xFF));
    m_pCancel->hide();
    m_pClose->show();
    m_pNotice->setText(Tr("窗口将自动关闭", "Window will be closed!"));
    m_closeTimer.start(kCloseMs);
}

void CRemoteStudyDlg::Abandon() {
    m_bAbandoned = true;
    m_closeTimer.stop();
    done(QDialog::Rejected);
}

void CRemoteStudyDlg::reject() {
    m_closeTimer.stop();
    // Only a request still waiting needs stopping; a learned key has ended it already.
    if (!m_bLearned && !m_bAbandoned) {
        // A write held up by the unanswered learning request goes ahead at once.
        if (m_context.pLink)
            m_context.pLink->Link().ReleaseReplyWait();
        SendCommand(CMD_LEARN_STOP);
    }
    QDialog::reject();
}

// ---- Learning page -------------------------------------------------------------------------------

const CRemoteDlg::KeyInfo CRemoteDlg::kKeys[17] = {
    {1587, 1, "您正在学习的键：启动/待机", "Learning key:Power key"},
    {1600, 2, "您正在学习的键：音乐源切换", "Learning key: Audio music source switch"},
    {1601, 3, "您正在学习的键：视频(HDMI)切换", "Learning key: Video HDMI switch "},
    {1602, 4, "您正在学习的键：M1/方向上", "Learning key: M1/Up "},
    {1603, 5, "您正在学习的键：M4/方向下", "Learning key:M4/Down "},
    {1604, 6, "您正在学习的键：M3/方向左", "Learning key: M3/Left "},
    {1605, 7, "您正在学习的键：M2/方向右", "Learning key: M2/Right "},
    {1606, 8, "您正在学习的键：确认键", "Learning key: OK key"},
    {1607, 9, "您正在学习的键：进入视频菜单", "Learning key:  Enter video menu"},
    {1608, 10, "您正在学习的键：静音键", "Learning key:  Mute "},
    {1609, 11, "您正在学习的键：退出视频菜单", "Learning key: Esc video menu "},
    {1610, 12, "您正在学习的键：增大话筒音量", "Learning key: Mic vol increase"},
    {1611, 13, "您正在学习的键：减小话筒音量", "Learning key:Mic vol decrease"},
    {1612, 14, "您正在学习的键：增大效果音量", "Learning key: Effect vol increase"},
    {1613, 15, "您正在学习的键：减小效果音量", "Learning key: Effect vol decrease"},
    {1614, 16, "您正在学习的键：增大音乐音量", "Learning key: Music vol increase"},
    {1615, 17, "您正在学习的键：减小音乐音量", "Learning key: Music vol decrease"},
};

const CRemoteDlg::KeyInfo* CRemoteDlg::FindKey(int ctrlId) {
    for (const KeyInfo& k : kKeys)
        if (k.nCtrlId == ctrlId)
            return &k;
    return nullptr;
}

// Live polling would only load the link while the processor listens for the remote.
CRemoteDlg::CRemoteDlg(const PageContext& context, int, QWidget* parent)
    : CPage(kTemplateRemote, context, parent), m_pollOff(SuspendLivePoll()) {
    setFixedSize(312, 530);

    auto* picture = new CRemotePicture(this);
    picture->setGeometry(6, 6, 300, 470);
    for (const KeyPlace& k : kPlaces) {
        auto* area = new CRemoteArea(this, k.nCtrlId, k.rect.translated(6, 6));
        connect(area, &QAbstractButton::clicked, this, [this, id = k.nCtrlId] { Learn(id); });
    }
    auto* unsupported = new CRemoteArea(this, IDC_UNSUPPORTED, kUnsupportedPlace.translated(6, 6));
    connect(unsupported, &QAbstractButton::clicked, this, [this] { Learn(IDC_UNSUPPORTED); });

    connect(MakeButton(this, IDC_APPLY, QRect(8, 488, 94, 30)), &QPushButton::clicked, this,
            &CRemoteDlg::Apply);
    connect(MakeButton(this, IDC_LOAD, QRect(109, 488, 94, 30)), &QPushButton::clicked, this,
            &CRemoteDlg::LoadFile);
    connect(MakeButton(this, IDC_SAVE, QRect(210, 488, 94, 30)), &QPushButton::clicked, this,
            &CRemoteDlg::SaveFile);

    m_ask.openPath = [](QWidget* parent) {
        QFileDialog dialog(parent, QString(), QString(), kFilter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QStringLiteral("remo"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    };
    m_ask.savePath = [](QWidget* parent) {
        QFileDialog dialog(parent, QString(), QString(), kFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("remo"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    };
    m_ask.replace = [](QWidget* parent, const QString& path) {
        QMessageBox box(
            QMessageBox::Warning, Tr("确认另存为", "Confirm Save As"),
            Tr("%1 已存在。\n要替换它吗?", "%1 already exists.\nDo you want to replace it?").arg(path),
            QMessageBox::Yes | QMessageBox::No, parent);
        return box.exec() == QMessageBox::Yes;
    };
    m_ask.warn = [](QWidget* parent, const QString& caption, const QString& text) {
        QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
        box.exec();
    };

    ApplyTexts(this, kTemplateRemote);
}

CRemoteDlg::~CRemoteDlg() = default;

void CRemoteDlg::ReloadTexts() {
    ApplyTexts(this, kTemplateRemote);
    update(); // the picture's lettering
}

void CRemoteDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    m_pollOff.Release();
    RequestDestroy();
}

void CRemoteDlg::hideEvent(QHideEvent* event) {
    // Hidden only on its way out: a learning dialog still waiting goes with it.
    if (m_pStudy && DestroyRequested())
        m_pStudy->Abandon();
    CPage::hideEvent(event);
}

void CRemoteDlg::Learn(int ctrlId) {
    if (m_pStudy || DestroyRequested())
        return;
    if (ctrlId == IDC_UNSUPPORTED) {
        QMessageBox box(QMessageBox::Information, Tr("提示", "Information"),
                        Tr("不支持该功能", "No support!"), QMessageBox::Ok, this);
        RunModal(box);
        return;
    }
    const KeyInfo* key = FindKey(ctrlId);
    if (!key)
        return;
    SendCommand(CMD_LEARN_KEY, {key->nKey});
    CRemoteStudyDlg study(Context(), Tr(key->szZh, key->szEn), this);
    m_pStudy = &study;
    const bool alive = RunModal(study);
    m_pStudy = nullptr;
    if (!alive)
        return; // the window is going away
}

void CRemoteDlg::Apply() {
    SendRemoteKeys();
    // Shown whatever the link made of it: a link that is down drops the report silently.
    ShowInfoPopup(Tr("遥控器键码保存成功!", "Save successed !"), kNoticeMs);
}

void CRemoteDlg::LoadFile() {
    if (!Connected()) {
        ShowInfoPopup(QString::fromUtf8("请先连接机器再进行此操作!"), kNoticeMs);
        return;
    }
    QString chosen;
    if (!RunNested([&] { chosen = m_ask.openPath(this); }))
        return;
    if (chosen.isEmpty())
        return;
    const RemoteFileResult result = LoadRemoteFile(std::filesystem::path(chosen.toStdString()));
    if (!result.bOk) {
        if (!RunNested(
                [&] { m_ask.warn(this, Tr("错误", "Error"), QString::fromStdString(result.strError)); }))
            return;
        ShowInfoPopup(QString::fromUtf8("载入遥控文件失败"), kNoticeMs);
        return;
    }
    ShowInfoPopup(QString::fromUtf8("载入遥控文件成功"), kNoticeMs);
}

void CRemoteDlg::SaveFile() {
    if (!Connected()) {
        ShowInfoPopup(QString::fromUtf8("请先连接机器再进行此操作!"), kNoticeMs);
        return;
    }
    QString chosen;
    if (!RunNested([&] { chosen = m_ask.savePath(this); }))
        return;
    if (chosen.isEmpty())
        return;
    const std::filesystem::path asked(chosen.toStdString());
    const std::filesystem::path final = RemoteFilePath(asked);
    // The dialog asked about the name typed; the extension is replaced after it, so a file of the
    // final name is asked about again instead of being replaced unseen.
    if (final != asked && std::filesystem::exists(final)) {
        bool replace = false;
        if (!RunNested([&] { replace = m_ask.replace(this, QString::fromStdString(final.string())); }))
            return;
        if (!replace)
            return;
    }
    const RemoteFileResult result = SaveRemoteFile(asked);
    if (!result.bOk) {
        if (!RunNested([&] {
                m_ask.warn(this, QStringLiteral("Can't write to file"),
                           WriteFailureText(result.nErrno, QString::fromStdString(result.path.string())));
            }))
            return;
        ShowInfoPopup(QString::fromUtf8("保存遥控文件失败"), kNoticeMs);
        return;
    }
    ShowInfoPopup(QString::fromUtf8("保存遥控文件成功"), kNoticeMs);
}
