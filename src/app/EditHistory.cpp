#include "app/EditHistory.h"

#include "app/MainView.h"
#include "files/ModeFile.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Prompts.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoCommand>
#include <QUndoStack>
#include <QUndoView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kStepId = 24;
constexpr qint64 kMergeGapMs = 1500; // a drag or a held key is one step; a pause starts another

QString StepText(const SettingsSnapshot& before, const SettingsSnapshot& after) {
    const std::vector<SettingUnit> units = DifferingUnits(before, after);
    if (units.empty())
        return Tr("无变化", "No change");
    QString text = QString::fromStdString(UnitName(units[0]));
    if (units.size() > 1)
        text += Tr(" 等 %1 项", " and %1 more").arg(units.size() - 1);
    return text;
}

} // namespace

// One step: the settings before and after a user edit (or a load, an apply, a toggle).
class CSettingsStep : public QUndoCommand {
public:
    CSettingsStep(CEditHistory* history, const SettingsSnapshot& before, const SettingsSnapshot& after,
                  const QString& text, bool mergeable, qint64 at)
        : m_pHistory(history), m_before(before), m_after(after), m_bMergeable(mergeable), m_nAt(at),
          m_units(DifferingUnits(before, after)) {
        setText(text);
    }
    int id() const override { return m_bMergeable ? kStepId : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const CSettingsStep*>(other);
        if (next->m_units != m_units || next->m_nAt - m_nAt > kMergeGapMs)
            return false;
        m_after = next->m_after;
        m_nAt = next->m_nAt;
        setObsolete(m_before == m_after);
        ++m_pHistory->m_nMerges;
        return true;
    }
    void undo() override { m_pHistory->ApplyAndRefresh(m_before); }
    void redo() override {
        if (m_bDone) // the edit itself sent it when it was pushed
            m_pHistory->ApplyAndRefresh(m_after);
        m_bDone = true;
    }

private:
    CEditHistory* m_pHistory;
    SettingsSnapshot m_before, m_after;
    bool m_bMergeable;
    qint64 m_nAt;
    std::vector<SettingUnit> m_units;
    bool m_bDone = false;
};

CEditHistory::CEditHistory(CQX7745v13View* view, CConsoleLink* link, QWidget* window)
    : QObject(window), m_pView(view), m_pLink(link), m_pWindow(window), m_pStack(new QUndoStack(this)) {
    m_clock.start();
    m_last = TakeSettings();
    m_pUndo = m_pStack->createUndoAction(this, Tr("撤销", "Undo"));
    m_pRedo = m_pStack->createRedoAction(this, Tr("重做", "Redo"));
    m_pUndo->setShortcuts({QKeySequence(QString::fromLatin1(kUndoKeys))});
    m_pRedo->setShortcuts(
        {QKeySequence(QString::fromLatin1(kRedoKeys)), QKeySequence(QStringLiteral("Shift+Alt+Backspace"))});
    for (QAction* a : {m_pUndo, m_pRedo}) {
        a->setShortcutContext(Qt::ApplicationShortcut);
        window->addAction(a);
    }
    m_pUndo->setIcon(
        QIcon::fromTheme(QStringLiteral("edit-undo"), qApp->style()->standardIcon(QStyle::SP_ArrowBack)));
    m_pRedo->setIcon(
        QIcon::fromTheme(QStringLiteral("edit-redo"), qApp->style()->standardIcon(QStyle::SP_ArrowForward)));
    if (m_pLink) {
        connect(m_pLink, &CConsoleLink::SyncFinished, this, &CEditHistory::OnSyncFinished);
        connect(m_pLink, &CConsoleLink::DeviceArrived, this, &CEditHistory::OnDeviceArrived);
    }
    if (m_pView)
        connect(m_pView, &CQX7745v13View::ModeRecallStarted, this, [this](int m) { m_nRecallMode = m; });
    connect(m_pStack, &QUndoStack::indexChanged, this, &CEditHistory::UpdatePane);
    qApp->installEventFilter(this);
}

CEditHistory::~CEditHistory() {
    qApp->removeEventFilter(this);
}

bool CEditHistory::OnCommand(int id) {
    switch (id) {
    case ID_HISTORY_UNDO:
        m_pStack->undo();
        return true;
    case ID_HISTORY_REDO:
        m_pStack->redo();
        return true;
    case ID_HISTORY_VIEW:
        if (!m_pHistoryView) {
            m_pHistoryView = new QDialog(m_pWindow, Qt::Tool);
            m_pHistoryView->setWindowTitle(Tr("编辑历史", "Edit history"));
            auto* layout = new QVBoxLayout(m_pHistoryView);
            auto* list = new QUndoView(m_pStack, m_pHistoryView);
            list->setEmptyLabel(Tr("<开始>", "<start>"));
            layout->addWidget(list);
            m_pHistoryView->resize(320, 420);
        }
        m_pHistoryView->show();
        m_pHistoryView->raise();
        return true;
    case ID_AB_STORE_A:
        StoreA();
        return true;
    case ID_AB_STORE_B:
        StoreB();
        return true;
    case ID_AB_TOGGLE:
        ToggleAB();
        return true;
    case ID_COMPARE_FILE:
        CompareWithFile();
        return true;
    case ID_CHECK_PROCESSOR:
        CheckProcessor();
        return true;
    default:
        return false;
    }
}

// ---- The recorder ------------------------------------------------------------------------------

bool CEditHistory::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
        ScheduleRecord(); // after the event: its handler edits the store on this thread
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CEditHistory::ScheduleRecord() {
    if (m_bRecordQueued)
        return;
    m_bRecordQueued = true;
    QTimer::singleShot(0, this, [this] { Record(); });
}

void CEditHistory::Record() {
    m_bRecordQueued = false;
    // Replies of a transfer change the store too: those are the processor's, not the user's.
    if (m_bApplying || m_checkMirror || (m_pLink && m_pLink->Conn().SyncRunning()))
        return;
    const SettingsSnapshot now = TakeSettings();
    if (now == m_last)
        return;
    if (DifferingUnits(m_last, now).empty()) { // nothing the processor can tell apart
        m_last = now;
        return;
    }
    Push(m_last, now, StepText(m_last, now), true);
}

void CEditHistory::Push(const SettingsSnapshot& before, const SettingsSnapshot& after, const QString& text,
                        bool mergeable) {
    // `before` may be m_last itself: the step copies it first.
    auto* step = new CSettingsStep(this, before, after, text, mergeable, m_clock.elapsed());
    m_last = after;
    m_pStack->push(step);
    UpdatePane();
}

void CEditHistory::ApplyAndRefresh(const SettingsSnapshot& target) {
    m_bApplying = true;
    ApplySettings(target);
    m_last = TakeSettings();
    m_bApplying = false;
    if (m_pView)
        m_pView->RefreshAll();
    UpdatePane();
}

void CEditHistory::OnSyncFinished(int kind) {
    const SettingsSnapshot now = TakeSettings();
    if (m_checkMirror) {
        const SettingsSnapshot console = *m_checkMirror;
        m_checkMirror.reset();
        LaySettings(console);
        m_last = console;
        if (m_pView)
            m_pView->RefreshAll();
        const std::vector<SettingDifference> diffs = DiffSettings(console, now);
        // Shown once the synchronisation dialog's loop has returned.
        QTimer::singleShot(0, this, [this, diffs, now] {
            ShowDifferences(diffs, Tr("检查处理器", "Check processor"), Tr("控制台", "Console"),
                            Tr("处理器", "Processor"), Tr("采用处理器的值", "Take the processor's values"),
                            Tr("发送控制台的值", "Send the console's values"), now);
        });
        return;
    }
    if (kind == static_cast<int>(SyncKind::WriteAll) && now != m_last) {
        Push(m_last, now, Tr("打开文件", "Open file"), false); // the file laid onto the store
    } else if (m_nRecallMode >= 0) {
        if (now != m_last)
            Push(m_last, now, Tr("载入模式 %1", "Load mode %1").arg(m_nRecallMode + 1), false);
    } else if (now != m_last) {
        m_pStack->clear(); // the processor changed under us: old steps would send stale values
        m_last = now;
    }
    m_nRecallMode = -1;
    UpdatePane();
}

void CEditHistory::OnDeviceArrived() {
    m_pStack->clear();
    m_a.reset();
    m_b.reset();
    m_nRecallMode = -1;
    UpdatePane();
}

// ---- A/B ---------------------------------------------------------------------------------------

void CEditHistory::StoreA() {
    Record();
    m_a = TakeSettings();
    UpdatePane();
}

void CEditHistory::StoreB() {
    Record();
    m_b = TakeSettings();
    UpdatePane();
}

void CEditHistory::ToggleAB() {
    Record();
    const SettingsSnapshot now = TakeSettings();
    if (!m_a) {
        m_a = now;
        UpdatePane();
        return;
    }
    if (!m_b) // the first toggle keeps what plays as B
        m_b = now;
    const bool toB = now == *m_a;
    const SettingsSnapshot& target = toB ? *m_b : *m_a;
    if (target == now)
        return;
    m_bApplying = true;
    ApplySettings(now, target);
    m_bApplying = false;
    Push(now, TakeSettings(), toB ? Tr("A/B：播放 B", "A/B: play B") : Tr("A/B：播放 A", "A/B: play A"),
         false);
    if (m_pView)
        m_pView->RefreshAll();
}

QString CEditHistory::AbText() const {
    if (!m_a && !m_b)
        return QString();
    const SettingsSnapshot now = TakeSettings();
    if (m_a && now == *m_a)
        return Tr("A/B：A 在播放", "A/B: A plays");
    if (m_b && now == *m_b)
        return Tr("A/B：B 在播放", "A/B: B plays");
    return Tr("A/B：已编辑", "A/B: edited");
}

void CEditHistory::SetAbPane(QLabel* pane) {
    m_pAbPane = pane;
    UpdatePane();
}

void CEditHistory::UpdatePane() {
    if (m_pAbPane)
        m_pAbPane->setText(AbText());
}

// ---- Comparing ---------------------------------------------------------------------------------

void CEditHistory::CompareWithFile(const QString& given) {
    Record();
    const QString path = given.isEmpty() ? AskModeFileToOpen(m_pWindow) : given;
    if (path.isEmpty())
        return;
    std::vector<uint8_t> bytes;
    const ModeFileResult r = ReadModeFile(path.toStdString(), bytes);
    if (!r.bOk) {
        ShowInfoPopup(QString::fromStdString(r.strError), 2500);
        return;
    }
    const SettingsSnapshot now = TakeSettings();
    SettingsSnapshot file;
    {
        auto lock = LockStore(); // the file laid onto a copy: what it lacks keeps the console's values
        LoadModeFileFromBytes(bytes);
        file = TakeSettings();
        LaySettings(now);
    }
    ShowDifferences(DiffSettings(now, file), Tr("与文件比较", "Compare with file"), Tr("当前", "Now"),
                    Tr("文件", "File"), QString(), Tr("应用勾选项", "Apply ticked"), file);
}

void CEditHistory::CheckProcessor() {
    if (!m_pLink || !m_pLink->Link().IsOpen() || m_pLink->Conn().SyncRunning() || SyncDialogRunning()) {
        ShowInfoPopup(Tr("请先连接设备!", "Please connect device!"), 1100);
        return;
    }
    Record();
    m_checkMirror = TakeSettings();
    m_pLink->Conn().StartReadAll();
    ShowSyncDialog(QString());
}

// `b` is the other side (the processor's values, or a file's). Take lays b's ticked values onto the
// console without sending (the processor holds them already); send makes the processor hold the
// console's values as they are now (a check) or b's (a file) for the ticked rows.
void CEditHistory::ShowDifferences(const std::vector<SettingDifference>& diffs, const QString& title,
                                   const QString& aTitle, const QString& bTitle, const QString& takeText,
                                   const QString& sendText, const SettingsSnapshot& b) {
    if (m_pCompare)
        m_pCompare->deleteLater();
    auto* dlg = new QDialog(m_pWindow);
    m_pCompare = dlg;
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dlg);
    auto* list = new QTreeWidget(dlg);
    list->setObjectName(QStringLiteral("differences"));
    list->setHeaderLabels({Tr("设置", "Setting"), aTitle, bTitle});
    list->setRootIsDecorated(false);
    for (const SettingDifference& d : diffs) {
        auto* item =
            new QTreeWidgetItem(list, {QString::fromStdString(d.strName), QString::fromStdString(d.strA),
                                       QString::fromStdString(d.strB)});
        item->setCheckState(0, Qt::Checked);
    }
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(new QLabel(diffs.empty() ? Tr("没有差别。", "No differences.")
                                               : Tr("%1 项不同。", "%1 settings differ.").arg(diffs.size()),
                                 dlg));
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dlg);
    const bool check = !takeText.isEmpty();
    auto ticked = [list, diffs] {
        std::vector<SettingUnit> units;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->checkState(0) == Qt::Checked)
                units.push_back(diffs[static_cast<size_t>(i)].unit);
        return units;
    };
    auto takes = [](std::vector<SettingUnit> units) {
        return
            [units](const SettingUnit& u) { return std::find(units.begin(), units.end(), u) != units.end(); };
    };
    if (check) {
        QPushButton* take = buttons->addButton(takeText, QDialogButtonBox::ActionRole);
        take->setObjectName(QStringLiteral("take"));
        connect(take, &QPushButton::clicked, dlg, [this, dlg, b, ticked] {
            // Nothing is sent: the processor holds these values. Undo sends the console's back.
            Record();
            const SettingsSnapshot now = TakeSettings();
            const SettingsSnapshot next = WithUnits(now, b, ticked());
            LaySettings(next);
            Push(now, next, Tr("采用处理器的值", "Take the processor's values"), false);
            if (m_pView)
                m_pView->RefreshAll();
            dlg->close();
        });
    }
    QPushButton* send = buttons->addButton(sendText, QDialogButtonBox::AcceptRole);
    send->setObjectName(QStringLiteral("send"));
    send->setEnabled(!diffs.empty());
    connect(send, &QPushButton::clicked, dlg, [this, dlg, b, check, ticked, takes] {
        // The console's values as they are now: edits made while the list was open count.
        Record();
        const std::vector<SettingUnit> units = ticked();
        const SettingsSnapshot now = TakeSettings();
        m_bApplying = true;
        if (check) // the processor holds b: send the console's values where they differ
            ApplySettings(b, now, takes(units));
        else
            ApplySettings(now, b, takes(units));
        m_bApplying = false;
        if (!check)
            Push(now, TakeSettings(), Tr("应用文件中的值", "Apply from file"), false);
        if (m_pView)
            m_pView->RefreshAll();
        dlg->close();
    });
    connect(buttons, &QDialogButtonBox::rejected, dlg, &QDialog::close);
    layout->addWidget(buttons);
    dlg->resize(720, 420);
    dlg->show();
}
