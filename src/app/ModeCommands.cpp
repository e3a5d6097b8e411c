#include "app/ModeCommands.h"

#include "app/FrameIntents.h"
#include "app/Settings.h"
#include "files/ModeFile.h"
#include "model/ParamStore.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Prompts.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <utility>

namespace {

constexpr int kNoticeMs = 1100;

const char* const kModeDigitZh[] = {"一", "二", "三", "四"};

bool Connected() {
    auto lock = LockStore();
    return g_Param.bConnected != 0;
}

QString ModeQuestionSuffix(int m) {
    return IsEnglish() ? QStringLiteral("%1?").arg(m + 1)
                       : QString::fromUtf8(kModeDigitZh[m]) + QLatin1Char('?');
}

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

CModeCommands::CModeCommands(CConsoleLink* link, QWidget* view, std::function<void()> stateChanged)
    : m_pLink(link), m_pView(view), m_stateChanged(std::move(stateChanged)) {}

void CModeCommands::LoadMode(int m) {
    if (!Connected() || !m_pLink || SyncDialogRunning())
        return;
    int modified;
    {
        auto lock = LockStore();
        modified = g_Param.bModified;
    }
    if (modified && AskBox(m_pView, QMessageBox::Question, Tr("信息", "Information"),
                           Tr("参数已更改，确定要直接载入模式", "Setting changed ! Are you sure load mode") +
                               ModeQuestionSuffix(m),
                           QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_pLink->Conn().LoadMode(m);
    if (m_recallWatch)
        m_recallWatch(m);
    ShowSyncDialog(QString());
}

void CModeCommands::SaveMode(int m, bool fromKey) {
    if (!Connected() || !m_pLink || SyncDialogRunning())
        return;
    if (AskBox(m_pView, QMessageBox::Question, Tr("信息", "Information"),
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
        QTimer::singleShot(500, m_pView, [notice] { ShowInfoPopup(notice, 2500); });
    if (m_stateChanged)
        m_stateChanged();
}

void CModeCommands::FileWritten(const QString& path) {
    AddRecentFile(path);
    if (m_pFrame)
        m_pFrame->RefreshRecentFiles();
}

void CModeCommands::OpenModeFile() {
    if (!Connected() || !m_pLink) {
        ShowInfoPopup(Tr("请先连接设备!", "Please connect device!"), kNoticeMs);
        return;
    }
    const QString path = AskModeFileToOpen(m_pView);
    if (path.isEmpty())
        return;
    const ModeFileResult result = LoadModeFile(path.toStdString());
    if (!result.bOk) {
        ShowLoadFailure(m_pView, result);
        return;
    }
    m_pLink->Conn().StartWriteAll(result.nPendingMode);
    FileWritten(path);
    ShowSyncDialog(QString());
}

bool CModeCommands::OpenModeFilePath(const QString& path) {
    if (!QFileInfo::exists(path)) {
        AskBox(m_pView, QMessageBox::Information, QString::fromUtf8("文件打开错误"),
               QString::fromUtf8("文件不存在！"), QMessageBox::Ok);
        return false;
    }
    if (QFileInfo(path).suffix().compare(QLatin1String("vm3zt"), Qt::CaseInsensitive) != 0 || !Connected() ||
        !m_pLink)
        return false;
    const ModeFileResult result = LoadModeFile(path.toStdString());
    if (!result.bOk) {
        ShowLoadFailure(m_pView, result);
        return false;
    }
    // Only the open command stores a file named m1..m4 into its memory mode; here it is written alone.
    m_pLink->Conn().StartWriteAll(-1);
    FileWritten(path);
    ShowSyncDialog(QString());
    return true;
}

void CModeCommands::SaveModeFile() {
    if (!Connected() || !m_pLink) {
        ShowInfoPopup(Tr("请先连接设备!", "Please connect device!"), kNoticeMs);
        return;
    }
    const QString path = AskModeFileToSave(m_pView, QStringLiteral("name"));
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
        ShowWriteFailure(m_pView, result.nErrno, path);
        return;
    }
    FileWritten(path);
}

bool CModeCommands::OfferSaveBeforeClose(QWidget* parent) {
    int modified, mode;
    {
        auto lock = LockStore();
        modified = g_Param.bModified;
        mode = g_Param.nCurMode;
    }
    if (!modified)
        return true;
    const auto answer =
        AskBox(parent, QMessageBox::Question, Tr("保存?", "Save?"),
               Tr("参数已改动，请问是否需要保存?\r\n提示：保存成电脑文件并同时保存至机器的当前模式",
                  "parameter value is changed, do you want save it ?"),
               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes) {
        const QString path = AskModeFileToSave(parent, QStringLiteral("preset"));
        if (!path.isEmpty()) {
            if (m_pLink)
                m_pLink->Conn().StoreMode(mode);
            const FileResult result = ::SaveModeFile(path.toStdString());
            if (!result.bOk) {
                // Keep the window open: closing now would lose the changes the user chose to keep.
                ShowWriteFailure(parent, result.nErrno, path);
                return false;
            }
            AddRecentFile(path);
        }
    }
    return true;
}
