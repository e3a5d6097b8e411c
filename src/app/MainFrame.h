// The console's top-level window: the ribbon with both categories, the status bar, page switching on
// category change, the wheel rule over the volume panels, the size limit and the close prompt.
#pragma once

#include "app/FrameServices.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>

class CMyMFCRibbonBar;
class CQX7745v13View;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;

class CMainFrame : public QMainWindow, public IFrameServices {
    Q_OBJECT
public:
    explicit CMainFrame(CQX7745v13View* view);
    ~CMainFrame() override;

    CMyMFCRibbonBar* Ribbon() const override { return m_pRibbon; }
    CQX7745v13View* View() const { return m_pView; }

    // Category indexes.
    static constexpr int kInput = 0;
    static constexpr int kOutput = 1;

    void RefreshRibbonTexts() override;
    void SetPitchPanelTitles() override;
    void RefreshRecentFiles() override;
    // Status bar.
    void SetUsbPane(const QString& text, const QColor& colour) override;
    void SetModePane(const QString& text) override;
    void SetEqControls(bool enabled, bool bypassed, const QString& bypassText,
                       const QString& resetText) override;
    // Runs the About box modally.
    void ShowAbout();
    QLabel* UsbPane() const { return m_pUsbPane; }
    QLabel* ModePane() const { return m_pModePane; }
    QCheckBox* BypassBox() const { return m_pBypass; }
    QPushButton* ResetEqButton() const { return m_pResetEq; }

    // The close prompt; true when the window may close. Public for the application menu and tests.
    bool QueryClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildRibbon();
    void BuildCategory(int index);
    void BuildStatusBar();
    void OnCategoryChanged(int index);
    bool HandleWheel(class QWheelEvent* event);

    CQX7745v13View* m_pView;
    CMyMFCRibbonBar* m_pRibbon;
    QMenu* m_pRecentMenu = nullptr;
    QLabel* m_pUsbPane = nullptr;
    QLabel* m_pModePane = nullptr;
    QCheckBox* m_pBypass = nullptr;
    QPushButton* m_pResetEq = nullptr;
    bool m_bClosing = false;
    const QEvent* m_pLastWheel = nullptr;
    QPointer<QWidget> m_pLastWheelTarget;
};
