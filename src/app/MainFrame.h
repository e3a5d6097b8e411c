// The console's top-level window: the ribbon with both categories, the status bar, the wheel rule
// over the volume panels, the size limit and the close prompt. It shows what the view asks for
// (IFrameIntents) and hands the user's commands to the view (IViewCommands); it knows nothing else
// of the view.
#pragma once

#include "app/EditHistory.h"
#include "app/FrameIntents.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>

class CMyMFCRibbonBar;
class IViewCommands;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;

class CMainFrame : public QMainWindow, public IFrameIntents {
    Q_OBJECT
public:
    // `view` becomes the central widget; `commands` receives the user's commands.
    CMainFrame(QWidget* view, IViewCommands* commands);
    // A view that is both.
    template <class View>
    explicit CMainFrame(View* view)
        : CMainFrame(static_cast<QWidget*>(view), static_cast<IViewCommands*>(view)) {
        AttachHistory(new CEditHistory(view, view->ConsoleLink(), this));
    }
    ~CMainFrame() override;

    CMyMFCRibbonBar* Ribbon() const { return m_pRibbon; }

    // Category indexes.
    static constexpr int kInput = 0;
    static constexpr int kOutput = 1;

    // IFrameIntents.
    void ShowStatus(StatusPane pane, const QString& text, std::optional<QColor> colour = {}) override;
    void SetEqCommands(bool enabled, bool bypassed, const QString& bypassText,
                       const QString& resetText) override;
    void SetStripValue(VolumeRow row, int value) override;
    void SetStripLabel(VolumeRow row, const QString& text) override;
    void SetStripMute(VolumeRow row, bool muted) override;
    std::optional<StripPosition> StripSlider(VolumeRow row, bool output) const override;
    bool OutputShown() const override;
    void SetCurrentMode(int mode) override;
    void SetMicStatus(int mic, const QString& signal, const QString& frequency,
                      const QString& battery) override;
    void RefreshTexts() override;
    void RefreshRecentFiles() override;

    // Runs the About box modally.
    void ShowAbout();
    QLabel* UsbPane() const { return m_pUsbPane; }
    QLabel* ModePane() const { return m_pModePane; }
    QCheckBox* BypassBox() const { return m_pBypass; }
    QPushButton* ResetEqButton() const { return m_pResetEq; }
    CEditHistory* History() const { return m_pHistory; }
    QLabel* AbPane() const { return m_pAbPane; }

    // The close prompt; true when the window may close. Public for the application menu and tests.
    bool QueryClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildRibbon();
    void BuildCategory(int index);
    void BuildHistoryButtons();
    // Undo, A/B and compare: their buttons and status pane.
    void AttachHistory(CEditHistory* history);
    void BuildStatusBar();
    void OnCategoryChanged(int index);
    bool HandleWheel(class QWheelEvent* event);

    IViewCommands* m_pCommands;
    CMyMFCRibbonBar* m_pRibbon;
    QMenu* m_pRecentMenu = nullptr;
    QLabel* m_pUsbPane = nullptr;
    QLabel* m_pModePane = nullptr;
    QCheckBox* m_pBypass = nullptr;
    QPushButton* m_pResetEq = nullptr;
    CEditHistory* m_pHistory = nullptr;
    QLabel* m_pAbPane = nullptr;
    bool m_bClosing = false;
    const QEvent* m_pLastWheel = nullptr;
    QPointer<QWidget> m_pLastWheelTarget;
};
