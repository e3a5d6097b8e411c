// The notices every window uses: the short information window and the modal synchronisation dialog.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// Shows `text` in the information window (created on first use) and (re)starts its close timer.
void ShowInfoPopup(const QString& text, int ms);
// Runs the synchronisation dialog modally until CloseSyncDialog or its 30 s time-out. When a dialog
// is already running it is only shown.
void ShowSyncDialog(const QString& text);
void CloseSyncDialog();
bool SyncDialogRunning();

// The window notices and dialogs are centred on; the main frame once it exists.
void SetNoticeOwner(QWidget* owner);
QWidget* NoticeOwner();

// Makes `owner` the notices' owner for its scope; at its end an information window still open goes
// and the owner before comes back (tests, renders).
class ScopedNotices {
public:
    explicit ScopedNotices(QWidget* owner);
    ~ScopedNotices();
    ScopedNotices(const ScopedNotices&) = delete;
    ScopedNotices& operator=(const ScopedNotices&) = delete;

private:
    QPointer<QWidget> m_pBefore;
};
