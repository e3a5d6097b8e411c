// The three progress windows: the information notice, the synchronisation dialog and the wait dialog.
#pragma once

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <functional>

class QLabel;
class QProgressBar;

// A one-line notice that closes itself.
class CInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit CInfoDlg(QWidget* owner);
    void ShowText(const QString& text, int ms);
    QString Text() const;
    int RemainingMs() const { return m_timer.remainingTime(); }

private:
    QLabel* m_pText;
    QTimer m_timer;
};

// Blocks the console while a whole-memory transfer runs; ends by Close or its 30 s time-out.
class CSynDlg : public QDialog {
    Q_OBJECT
public:
    CSynDlg(const QString& text, QWidget* owner);
    QString Text() const;
    bool TimedOut() const { return m_bTimedOut; }

private:
    QLabel* m_pText;
    QTimer m_timeout;
    bool m_bTimedOut = false;
};

// Blocks the console while a plug operation waits for the plug network; can be aborted.
class CWaitDlg : public QDialog {
    Q_OBJECT
public:
    CWaitDlg(const QString& text, uint8_t command, QWidget* owner);
    void RestartTimers();
    void SetWaitText(const QString& text);
    // Ends at once (0) or after showing a full bar for `ms`.
    void FinishWait(int ms);
    int Progress() const;
    void Abort();

private:
    QLabel* m_pText;
    QProgressBar* m_pBar;
    QTimer m_step;
    QTimer m_timeout;
    uint8_t m_byCommand;
};

// The running information window, or nullptr.
CInfoDlg* InfoDlg();
// The running synchronisation dialog, or nullptr.
CSynDlg* SyncDlg();

// Runs the wait dialog modally, or restarts the running one's timers.
void RunWaitDialog(const QString& text, uint8_t command);
CWaitDlg* WaitDlg();
