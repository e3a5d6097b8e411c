#include "pages/DialogHomeTheater.h"

#include "link/Timing.h"
#include "model/ParamStore.h"
#include "pages/PageHelpers.h"
#include "pages/PlugParts.h"
#include "plugs/PlugModel.h"
#include "ui/Colors.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/ProgressDlgs.h"
#include "ui/Templates.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

const QColor kWindowColor(240, 240, 240);

// The all-on and all-off buttons: a round power sign.
QPixmap PowerIcon(const QColor& colour, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    QPen pen(Qt::white, size / 12.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF ring(size * 0.28, size * 0.28, size * 0.44, size * 0.44);
    p.drawArc(ring, 120 * 16, 300 * 16);
    p.drawLine(QPointF(size / 2.0, size * 0.2), QPointF(size / 2.0, size * 0.48));
    return pm;
}

} // namespace

CDialogHomeTheater::CDialogHomeTheater(const PageContext& context, int, QWidget* parent)
    : CPage(kTemplatePlugs, context, parent), m_pollOff(SuspendLivePoll()) {
    // The live poll keeps off the link while plugs are managed.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kWindowColor);
    setPalette(pal);
    setWindowTitle(QString::fromUtf8("智能插座"));

    auto* allOn = PlugButton(this, 1068);
    auto* allOff = PlugButton(this, 1069);
    for (auto [b, colour] : {std::pair{allOn, QColor(40, 170, 70)}, std::pair{allOff, QColor(210, 50, 50)}}) {
        b->setIcon(QIcon(PowerIcon(colour, 40)));
        b->setIconSize(QSize(40, 40));
        b->setFlat(true);
    }
    auto* reset = PlugButton(this, 1078, QString::fromUtf8("复位插座"));
    auto* help = PlugButton(this, 1079, QString::fromUtf8("查看帮助"));
    m_pListButton = PlugButton(this, 1074, QString::fromUtf8("插座列表"));
    m_pSceneButton = PlugButton(this, 1077, QString::fromUtf8("情景编辑"));

    auto* frame = new QWidget(this);
    SetCtrlId(frame, 1226);
    frame->setAutoFillBackground(true);
    QPalette framePal = frame->palette();
    framePal.setColor(QPalette::Window, PageColor());
    frame->setPalette(framePal);
    m_pList = new CDlgZwaveList(this);
    m_pScenes = new CDialogZwaveRemoter(this);
    connect(m_pList, &CDlgZwaveList::ControlRequested, this, &CDialogHomeTheater::OpenControl);
    connect(m_pList, &CDlgZwaveList::EditRequested, this, &CDialogHomeTheater::OpenEditor);
    connect(m_pList, &CDlgZwaveList::AddRequested, this, [this] {
        if (CheckConnected())
            OpenEditor(0);
    });
    connect(m_pList, &CDlgZwaveList::ExcludeRequested, this, &CDialogHomeTheater::ExcludePlug);
    connect(m_pScenes, &CDialogZwaveRemoter::SceneTestRequested, this,
            [this](int scene) { RunScene(scene, kTextSceneLoadingPage); });
    m_pPages = new QStackedWidget(frame);
    m_pPages->addWidget(m_pList);
    m_pPages->addWidget(m_pScenes);
    auto* frameBox = new QVBoxLayout(frame);
    frameBox->addWidget(m_pPages);

    auto column = [this](QPushButton* b, int labelId, const char* text) {
        auto* col = new QVBoxLayout;
        col->addWidget(b, 0, Qt::AlignHCenter);
        auto* label = PlugLabelCtrl(this, labelId, QString::fromUtf8(text));
        label->setAlignment(Qt::AlignCenter);
        col->addWidget(label);
        return col;
    };
    auto* top = new QHBoxLayout;
    top->addLayout(column(allOn, 1005, "设备全开"));
    top->addLayout(column(allOff, 1007, "设备全关"));
    top->addStretch();
    top->addWidget(reset);
    top->addWidget(help);
    auto* pages = new QHBoxLayout;
    pages->addWidget(m_pListButton);
    pages->addWidget(m_pSceneButton);
    pages->addStretch();
    auto* box = new QVBoxLayout(this);
    box->addLayout(top);
    box->addLayout(pages);
    box->addWidget(frame, 1);
    resize(560, 470);

    connect(allOn, &QPushButton::clicked, this, [this] { SwitchAll(true); });
    connect(allOff, &QPushButton::clicked, this, [this] { SwitchAll(false); });
    connect(reset, &QPushButton::clicked, this, &CDialogHomeTheater::ResetNetwork);
    connect(help, &QPushButton::clicked, this, &CDialogHomeTheater::ShowHelp);
    connect(m_pListButton, &QPushButton::clicked, this, [this] { ShowPage(0); });
    connect(m_pSceneButton, &QPushButton::clicked, this, [this] { ShowPage(1); });
    if (CConsoleLink* link = Context().pLink) {
        connect(link, &CConsoleLink::PlugEvent, this, &CDialogHomeTheater::OnPlugEvent);
        connect(link, &CConsoleLink::PlugProgress, this, &CDialogHomeTheater::OnPlugProgress);
    }
    m_timer5.setSingleShot(true);
    m_timer5.setTimerType(Qt::PreciseTimer);
    connect(&m_timer5, &QTimer::timeout, this, &CDialogHomeTheater::OnTimer5);
    m_loadTimer.setSingleShot(true);
    connect(&m_loadTimer, &QTimer::timeout, this, &CDialogHomeTheater::OnLoadTimer);
    m_loadTimer.start(200);

    ShowPage(0);
    ReloadTexts();
    Refresh();
}

CDialogHomeTheater::~CDialogHomeTheater() = default;

void CDialogHomeTheater::closeEvent(QCloseEvent* event) {
    // Closing destroys the window; the next opening makes a new one.
    event->accept();
    m_pollOff.Release();
    RequestDestroy();
}

void CDialogHomeTheater::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ShowHelp();
        return;
    }
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    CPage::keyPressEvent(event);
}

void CDialogHomeTheater::Refresh() {
    m_pList->Refresh();
    m_pScenes->Refresh();
}

void CDialogHomeTheater::RefreshLists() {
    Refresh();
}

void CDialogHomeTheater::ReloadTexts() {
    // Each page and dialog has its own template, so the window's pass leaves their controls alone.
    ApplyTexts(this, kTemplatePlugs);
    ApplyTexts(m_pList, kTemplatePlugList);
    ApplyTexts(m_pScenes, kTemplateSceneEdit);
    m_pScenes->Refresh();
    if (m_pEdit)
        m_pEdit->ReloadTexts();
    if (m_pLight)
        m_pLight->ReloadTexts();
    if (m_pSwitch)
        m_pSwitch->ReloadTexts();
    if (m_pHelp)
        m_pHelp->setWindowTitle(Tr("智能插座 帮助", "Smart plug help"));
}

void CDialogHomeTheater::ShowPage(int page) {
    m_pPages->setCurrentIndex(page == 1 ? 1 : 0);
    // The button of the shown page has blue text.
    for (QPushButton* b : {m_pListButton, m_pSceneButton}) {
        QPalette pal = b->palette();
        const bool shown = (b == m_pSceneButton) == (page == 1);
        pal.setColor(QPalette::ButtonText, shown ? QColor(0, 0, 255) : QColor(0, 0, 0));
        b->setPalette(pal);
    }
}

int CDialogHomeTheater::ShownPage() const {
    return m_pPages->currentIndex();
}

CPlugFlows* CDialogHomeTheater::Flows() const {
    return Context().pLink ? &Context().pLink->Flows() : nullptr;
}

bool CDialogHomeTheater::CheckConnected() {
    bool connected;
    {
        auto lock = LockStore();
        connected = g_Param.bConnected != 0;
    }
    if (!connected)
        PlugNotice(kTextConnectFirst);
    return connected;
}

void CDialogHomeTheater::ShowProgress(const PlugText& text) {
    RunNested([&] { ShowSyncDialog(QString::fromUtf8(text.In(Language()))); });
}

void CDialogHomeTheater::OnLoadTimer() {
    CPlugFlows* flows = Flows();
    if (flows && flows->StartLoadPlugData() == PlugStart::Started)
        ShowProgress(kTextPlugLoading);
}

void CDialogHomeTheater::SwitchAll(bool on) {
    CPlugFlows* flows = Flows();
    if (flows && flows->StartSwitchAll(on) == PlugStart::Started)
        ShowProgress(on ? kTextAllOn : kTextAllOff);
}

void CDialogHomeTheater::ResetNetwork() {
    CPlugFlows* flows = Flows();
    if (flows && flows->StartResetNetwork() == PlugStart::Started)
        ShowProgress(kTextResetting);
}

void CDialogHomeTheater::RunScene(int scene, const PlugText& text) {
    if (!CheckConnected())
        return;
    CPlugFlows* flows = Flows();
    if (flows && flows->StartRunScene(scene) == PlugStart::Started)
        ShowProgress(text);
}

void CDialogHomeTheater::ExcludePlug() {
    if (!CheckConnected())
        return;
    StartWait(m_op.Exclude(kTextRemoving));
}

void CDialogHomeTheater::StartWait(std::optional<std::chrono::milliseconds> delay) {
    if (delay)
        m_timer5.start(int(Settle(*delay).count()));
}

void CDialogHomeTheater::OnTimer5() {
    const PlugText text = m_op.Text();
    const uint8_t command = m_op.Command();
    RunNested([&] { RunWaitDialog(QString::fromUtf8(text.In(Language())), command); });
}

void CDialogHomeTheater::OnPlugEvent(quint32 w, quint32 l) {
    CWaitDlg* wait = WaitDlg();
    const PlugReaction r = m_op.OnPlugEvent(w, l, wait != nullptr);
    if (r.bStopTimer)
        m_timer5.stop();
    auto text = [](const PlugText& t) { return QString::fromUtf8(t.In(Language())); };
    if (wait) {
        if (r.waitText)
            wait->SetWaitText(text(*r.waitText));
        if (r.finishText) {
            wait->SetWaitText(text(*r.finishText));
            wait->FinishWait(int(Settle(timing::kWaitFinish).count()));
        } else if (r.bEndWait) {
            wait->FinishWait(0);
        }
    } else if (r.finishText) {
        PlugNotice(*r.finishText); // the wait ended before its dialog appeared
    }
    if (r.notice)
        PlugNotice(*r.notice);
    if (r.bRefreshLists)
        RefreshLists();
}

void CDialogHomeTheater::OnPlugProgress(quint32 w, quint32 l) {
    if ((w == PLUG_PROGRESS_SCENE && l == 1) || w == PLUG_PROGRESS_LOADED) {
        CloseSyncDialog();
        RefreshLists();
    } else if (w == PLUG_PROGRESS_SWITCHED) {
        CloseSyncDialog();
    }
}

void CDialogHomeTheater::OpenEditor(int node) {
    if (m_pEdit)
        m_pEdit->close();
    m_pEdit = new CDlgZwaveEdit(this, node);
    connect(m_pEdit, &CDlgZwaveEdit::Confirmed, this,
            [this, editor = QPointer<CDlgZwaveEdit>(m_pEdit)](int node, int kind, const QString& name) {
                ConfirmEdit(editor, node, kind, name);
            });
    m_pEdit->show();
    m_pEdit->raise();
}

void CDialogHomeTheater::OpenControl(int node) {
    const int kind = PlugKind(node);
    if (kind == PLUG_SWITCH) {
        if (m_pLight)
            m_pLight->close();
        if (!m_pSwitch) {
            m_pSwitch = new CDlgZwaveSwitch(this);
            connect(m_pSwitch, &CDlgZwaveSwitch::SwitchRequested, this, &CDialogHomeTheater::SwitchPlug);
        }
        m_pSwitch->Retarget(node);
        m_pSwitch->show();
        m_pSwitch->raise();
    } else if (kind == PLUG_DIMMER) {
        if (m_pSwitch)
            m_pSwitch->close();
        if (!m_pLight) {
            m_pLight = new CDlgZwaveLight(this);
            connect(m_pLight, &CDlgZwaveLight::LevelRequested, this, &CDialogHomeTheater::SetDimmer);
        }
        m_pLight->Retarget(node);
        m_pLight->show();
        m_pLight->raise();
    }
}

void CDialogHomeTheater::ShowHelp() {
    if (!m_pHelp) {
        m_pHelp = new QTextBrowser(this);
        m_pHelp->setWindowFlag(Qt::Window);
        m_pHelp->setAttribute(Qt::WA_DeleteOnClose);
        m_pHelp->setSource(QUrl(QStringLiteral("qrc:/resources/help/plugs.html")));
        m_pHelp->resize(560, 480);
        m_pHelp->setWindowTitle(Tr("智能插座 帮助", "Smart plug help"));
    }
    m_pHelp->show();
    m_pHelp->raise();
}

// The editor's OK: a name it may keep, then the record written (a plug renamed) or the inclusion
// started (a new plug). Its boxes are the editor's own; the editor stays while its name is empty.
void CDialogHomeTheater::ConfirmEdit(QPointer<CDlgZwaveEdit> editor, int node, int kind,
                                     const QString& name) {
    if (!editor)
        return;
    if (!CheckConnected()) {
        editor->close();
        return;
    }
    if (name.isEmpty()) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8("提示"), QString::fromUtf8("名称不能为空"),
                        QMessageBox::Ok, editor);
        RunModal(box);
        return;
    }
    if (name.size() > kPlugNameEditChars) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8("提示"),
                        QString::fromUtf8("名字太长，只保留12个字符长度"), QMessageBox::Ok, editor);
        if (!RunModal(box) || !editor)
            return;
    }
    const std::u16string stored = name.left(kPlugNameChars).toStdU16String();
    editor->close(); // deleted later
    if (node != 0)
        WritePlugRecord(node, kind, stored);
    else
        StartWait(m_op.Include(kind, stored));
    RefreshLists();
}

// The dimmer's release and its four buttons: the level shown, then set.
void CDialogHomeTheater::SetDimmer(int node, int level) {
    if (!CheckConnected())
        return;
    if (m_pLight)
        m_pLight->ShowLevel(level);
    StartWait(m_op.SetDimmer(node, level));
}

void CDialogHomeTheater::SwitchPlug(int node, bool on) {
    if (!CheckConnected())
        return;
    StartWait(m_op.Switch(node, on));
}
