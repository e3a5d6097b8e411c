// The client area below the ribbon: hosts one page, handles the volume strip and the mode and file
// commands, keeps the status texts, runs the connection timers and shows tray notices.
#pragma once

#include "app/ToolWindows.h"
#include "pages/Page.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

class CConsoleLink;
class CMyMFCRibbonBar;
class IFrameServices;
class QSystemTrayIcon;

// Command ids of the ribbon and the status bar.
enum : int {
    ID_SLIDER_ECHOVOL = 32806,
    ID_LABEL_ECHOVOL = 32837,
    ID_SLIDER_NOISEGATE = 32846,
    ID_SLIDER_PITCH = 32841,
    ID_CHK_MUTE1 = 32847,
    ID_CHK_MUTE2 = 32848,
    ID_CHK_MUTE3 = 32849,
    ID_CHK_MUTE4 = 32850,
    ID_BTN_LANGUAGE = 32805,
    ID_BTN_RESET = 32811,
    ID_BTN_REMOTE = 32812,
    IDC_LOAD_M1 = 32815,
    IDC_SAVE_M1 = 32819,
    IDC_RESET_M1 = 32823,
    IDC_FILE_OPEN = 32827,
    IDC_FILE_SAVE = 32828,
    ID_LOAD_OUT = 32900,
    ID_SAVE_OUT = 32904,
    ID_MODE_LOAD_FIRST = 32910, // M1..M4 of the load menu
    ID_MODE_SAVE_FIRST = 32914, // M1..M4 of the save menu
    ID_BTN_FEATURES = 32887,
    ID_BTN_INPUT_SOURCE = 32922,
    ID_PLUG_WINDOW = 32771,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_STATUS_USB = 120,
    ID_STATUS_MODE = 121,
    ID_STATUS_BYPASS = 1121,
    ID_STATUS_RESET_EQ = 1122,
};

// The rows of the volume strip.
enum class VolumeRow { Mic, Effect, Reverb, Echo, Music, Gate, Pitch };

// Wireless-microphone texts.
QString RfBars(int level);
QString AfBars(int level);
QString BatteryBars(int byteValue);
QString MicChannelFrequency(int channel); // "665.25MHz"

class CQX7745v13View : public QWidget {
    Q_OBJECT
public:
    CQX7745v13View(CConsoleLink* link, QWidget* parent = nullptr);
    ~CQX7745v13View() override;

    void SetFrame(IFrameServices* frame);
    CConsoleLink* ConsoleLink() const { return m_pLink; }
    PageState& State() { return m_state; }
    CToolWindows& ToolWindows() { return *m_pTools; }

    // Starts the 250 ms connect timer.
    void StartConnectTimer();
    // The ribbon command `id` (sliders, check boxes, menus, buttons, status bar).
    void OnCommand(int id);

    // Page hosting.
    CPage* Page() const { return m_pPage; }
    // Shows the page of `nTemplate` opened with `arg`; when it is already shown, a given argument
    // only re-selects it. The old page is deleted once control is back in the event loop.
    void ShowPage(int nTemplate, int arg = -1);
    // A page's or the ribbon's request for a page or a tool window; a page's requests arrive queued.
    void OpenPage(int nTemplate, int arg = -1);
    // Volume strip.
    void VolumeChanged(VolumeRow row);
    void ToggleMute(VolumeRow row);
    void StepVolume(VolumeRow row, int delta); // both sliders by delta, then the row's handler
    int SliderValue(VolumeRow row, bool output) const;
    void RefreshVolumeStrip();
    void RefreshAll();
    // Memory modes: `fromKey` is the F1..F4 path.
    void LoadMode(int m);
    void SaveMode(int m, bool fromKey);
    // Mode files.
    void OpenModeFile();
    void SaveModeFile();
    bool OpenModeFilePath(const QString& path); // command line and recent files
    // Equaliser of the current page (status bar and the P key).
    void ToggleEqBypass();
    void ResetEq();
    void ToggleLanguage();
    void ApplyLanguage();
    // Command states: check boxes, mode menus, status panes, wireless microphones.
    void UpdateCommandUI();
    // The store changed without a user command: status panels, the page's and tool windows' live parts.
    void OnStoreChanged(uint32_t regions);
    int StatusRefreshCount() const { return m_nStatusRefreshes; }

    // Connection.
    bool ConnectAttempt(bool fromArrival);
    void OnDeviceArrival(const QString& path);
    void OnDeviceRemoval(const QString& path);
    void OnSyncFinished();
    bool PollTimerRunning() const { return m_timer3.isActive(); }

    // The last tray notice, for the screenshot mode and tests.
    QString LastNotice() const { return m_strLastNotice; }

signals:
    // A synchronisation ended and its result was handled (true: store refreshed).
    void SyncHandled(bool ok);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetRowSliders(VolumeRow row, int value);
    void SetRowLabels(VolumeRow row);
    void SetPitchTitle();
    void ShowTrayNotice(const QString& text, int ms);
    void ExplainNoConnection();
    void PlaceCurrentPage();
    bool OutputActive() const;
    CMyMFCRibbonBar* Ribbon() const;

    CConsoleLink* m_pLink;
    IFrameServices* m_pFrame = nullptr;
    PageState m_state;
    std::unique_ptr<CToolWindows> m_pTools;
    QPointer<CPage> m_pPage;
    int m_nStatusRefreshes = 0;
    QTimer m_timer1; // connect, once
    QTimer m_timer3; // live poll
    QTimer m_tray;   // removes the tray icon
    QSystemTrayIcon* m_pTray = nullptr;
    QString m_strLastNotice;
    bool m_bErrorBoxOpen = false;
    QString m_strUsbWhy[2]; // why a present processor could not be opened, Chinese and English
};
