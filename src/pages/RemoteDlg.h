// Remote-control learning: a picture of the remote with one area per key. Clicking an area asks the
// processor to learn that key and waits in a small modal dialog for the code. The code table can be
// sent to the processor and kept in remote-code files. Live polling is off while the window exists.
#pragma once

#include "pages/Page.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// Waits for the processor's learned code: shows it, then closes by itself a second later.
class CRemoteStudyDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCloseMs = 1000;
    enum : int { IDC_KEY_TEXT = 1167, IDC_CODE = 1038, IDC_NOTICE = 1006, IDC_CLOSE = 1, IDC_CANCEL = 3 };

    CRemoteStudyDlg(const PageContext& context, const QString& keyText, QWidget* parent = nullptr);

    void CodeReceived(int code);
    bool Learned() const { return m_bLearned; }
    // Closes without telling the processor (the window that asked is going away).
    void Abandon();
    void reject() override; // Cancel, Escape, the close box: the processor stops learning

private:
    PageContext m_context;
    QLabel* m_pKey = nullptr;
    QLineEdit* m_pCode = nullptr;
    QLabel* m_pNotice = nullptr;
    QPushButton* m_pClose = nullptr;
    QPushButton* m_pCancel = nullptr;
    QTimer m_closeTimer;
    bool m_bLearned = false;
    bool m_bAbandoned = false;
};

class CRemoteDlg : public CPage {
    Q_OBJECT
public:
    enum : int {
        IDC_PICTURE = 1216,
        IDC_APPLY = 1,
        IDC_LOAD = 3,
        IDC_SAVE = 4,
        IDC_FIRST_AREA = 1587,
        IDC_UNSUPPORTED = 1616,
    };
    struct KeyInfo {
        int nCtrlId;
        int nKey;
        const char* szZh;
        const char* szEn;
    };
    static const KeyInfo kKeys[17];
    static const KeyInfo* FindKey(int ctrlId);

    // Where the file names and answers come from; the defaults ask with the system's dialogs.
    // An empty path is a cancelled dialog.
    struct FileAsk {
        std::function<QString(QWidget*)> openPath;
        std::function<QString(QWidget*)> savePath;
        // The file `path` exists: replace it?
        std::function<bool(QWidget*, const QString&)> replace;
        std::function<void(QWidget*, const QString& caption, const QString& text)> warn;
    };

    CRemoteDlg(const PageContext& context, int arg, QWidget* parent = nullptr);
    ~CRemoteDlg() override;

    void ReloadTexts() override;
    void SetFileAsk(FileAsk ask) { m_ask = std::move(ask); }

    // The learning flow of an area (1587..1616); returns once the learning dialog has closed.
    void Learn(int ctrlId);
    CRemoteStudyDlg* StudyDialog() const { return m_pStudy; }
    void Apply();
    void LoadFile();
    void SaveFile();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    CPollToken m_pollOff;
    FileAsk m_ask;
    CRemoteStudyDlg* m_pStudy = nullptr;
};
