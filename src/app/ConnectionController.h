// The connection as the window sees it: the connect timer, connecting on arrival and losing the
// device on removal, the end of a synchronisation, the live-poll timer, the machine reset, why a
// processor that is there could not be opened, and the tray notices that say what happened.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class CConsoleLink;
class QSystemTrayIcon;
class QWidget;

class CConnectionController : public QObject {
    Q_OBJECT
public:
    // Boxes, notices and the tray icon belong to `view`.
    CConnectionController(CConsoleLink* link, QWidget* view);
    ~CConnectionController() override;

    // Starts the 250 ms connect timer.
    void StartConnectTimer();
    bool ConnectAttempt(bool fromArrival);
    void OnDeviceArrival(const QString& path);
    void OnDeviceRemoval(const QString& path);
    void OnSyncFinished();
    // Asks first; then resets the processor.
    void ResetMachine();
    // The window closes: what is queued goes out, then the console's disconnect.
    void CloseLink();
    bool PollTimerRunning() const { return m_poll.isActive(); }
    // Why a present processor could not be opened, in the current language; empty when it could.
    QString UsbWhy() const;
    // The last tray notice, for the screenshot mode and tests.
    QString LastNotice() const { return m_strLastNotice; }

signals:
    // The connection's texts are to be shown again.
    void StatusChanged();
    // A device arrived and was connected: the tool windows hold the old one's data.
    void ToolWindowsStale();
    // A synchronisation ended and was handled (true: it succeeded and the store is to be shown).
    void Synchronised(bool ok);

private:
    void ShowTrayNotice(const QString& text, int ms);
    void ExplainNoConnection();

    CConsoleLink* m_pLink;
    QWidget* m_pView;
    QTimer m_connect; // once
    QTimer m_poll;    // the live poll
    QTimer m_tray;    // removes the tray icon
    QPointer<QSystemTrayIcon> m_pTray;
    QString m_strLastNotice;
    bool m_bErrorBoxOpen = false;
    QString m_strUsbWhy[2]; // Chinese and English
};
