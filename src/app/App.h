// The process-wide owner of the console: its state, its tool windows and the keyboard shortcuts that
// work whatever window has the focus.
#pragma once

#include "app/ShortcutKeys.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class CQX7745v13View;
class CMainFrame;

class CQX7745v13App : public QObject {
    Q_OBJECT
public:
    CQX7745v13App();
    ~CQX7745v13App() override;
    static CQX7745v13App* Instance();

    void SetMainWindow(CMainFrame* frame, CQX7745v13View* view);
    CMainFrame* Frame() const;
    CQX7745v13View* View() const;

    // The output channel last shown, reopened when the user returns to the Output category.
    int nOutputChannel = 0;
    // The music page's last mode: 0 set A, 1 set B, 2 music.
    int nMusicPageMode = 0;

    // Tool windows: created on first use by their registered factory, then reused.
    using ToolFactory = std::function<QWidget*(QWidget* parent)>;
    static void RegisterToolWindow(int nTemplate, ToolFactory factory);
    QWidget* OpenToolWindow(int nTemplate);
    QWidget* ToolWindow(int nTemplate) const { return m_toolWindows.value(nTemplate); }
    void DestroyToolWindows();
    void RefreshToolWindows();
    void ApplyLanguageToToolWindows();

    // Runs the About box modally.
    void ShowAbout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool HandleKeyPress(class QKeyEvent* event);

    QPointer<CMainFrame> m_pFrame;
    QPointer<CQX7745v13View> m_pView;
    QHash<int, QPointer<QWidget>> m_toolWindows;
    CLeftCtrl m_leftCtrl;
    const QEvent* m_pLastKey = nullptr;
    QPointer<QObject> m_pLastWatched;
};
