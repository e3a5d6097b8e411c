// The process-wide owner of the console: its state, its tool windows and the keyboard shortcuts that
// work whatever window has the focus.
#pragma once

#include "app/ShortcutKeys.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

class CQX7745v13View;
class CMainFrame;

class CQX7745v13App : public QObject {
    Q_OBJECT
public:
    CQX7745v13App();
    ~CQX7745v13App() override;

    void SetMainWindow(CMainFrame* frame, CQX7745v13View* view);
    CMainFrame* Frame() const;
    CQX7745v13View* View() const;

    // Opens a tool window through the view's registry-backed opener (F7).
    void OpenToolWindow(int nTemplate);
    void DestroyToolWindows();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool HandleKeyPress(class QKeyEvent* event);
    // The volume, mute and bypass letters; `ctrl` is the left Ctrl held.
    void ActOnLetter(int key, bool ctrl);

    QPointer<CMainFrame> m_pFrame;
    QPointer<CQX7745v13View> m_pView;
    CLeftCtrl m_leftCtrl;
    CKeyDelivery m_delivery;
};
