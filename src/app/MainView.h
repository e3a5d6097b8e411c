// The client area below the ribbon: the page host. It shows one page at a time and owns the tool
// windows, dispatches the commands the frame hands on through its command table, and holds the
// shell's parts: the volume strip, the mode and mode-file commands and the connection controller.
// It reaches the frame only through IFrameIntents.
#pragma once

#include "app/CommandIds.h"
#include "app/CommandTable.h"
#include "app/ConnectionController.h"
#include "app/ModeCommands.h"
#include "app/StatusTexts.h"
#include "app/ToolWindows.h"
#include "app/ViewCommands.h"
#include "app/VolumeStrip.h"
#include "pages/Page.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class CConsoleLink;
class IFrameIntents;

class CQX7745v13View : public QWidget, public IViewCommands {
    Q_OBJECT
public:
    CQX7745v13View(CConsoleLink* link, QWidget* parent = nullptr);
    ~CQX7745v13View() override;

    void SetFrame(IFrameIntents* frame) override;
    CConsoleLink* ConsoleLink() const { return m_pLink; }
    PageState& State() { return m_state; }
    CToolWindows& ToolWindows() { return *m_pTools; }

    void StartConnectTimer() { m_connection.StartConnectTimer(); }
    // The ribbon command `id` (sliders, check boxes, menus, buttons, status bar).
    void OnCommand(int id) override;
    // Every id the command table dispatches.
    std::vector<int> CommandIds() const { return m_commands.Ids(); }

    // Page hosting.
    CPage* Page() const { return m_pPage; }
    // Shows the page of `nTemplate` opened with `arg`; when it is already shown, a given argument
    // only re-selects it. The old page is deleted once control is back in the event loop.
    void ShowPage(int nTemplate, int arg = -1);
    // A page's or the ribbon's request for a page or a tool window; a page's requests arrive queued.
    void OpenPage(int nTemplate, int arg = -1);
    void OnCategoryShown(Category category) override;
    // A ribbon button's page: opened as its row's device flags say.
    void OpenFromButton(int nTemplate);
    // Volume strip.
    void VolumeChanged(VolumeRow row) { m_strip.Changed(row); }
    void ToggleMute(VolumeRow row);
    void StepVolume(VolumeRow row, int delta) override { m_strip.Step(row, delta); }
    int SliderValue(VolumeRow row, bool output) const { return m_strip.SliderValue(row, output); }
    void RefreshVolumeStrip();
    void RefreshAll();
    // Memory modes: `fromKey` is the F1..F4 path.
    void LoadMode(int m) { m_modes.LoadMode(m); }
    void SaveMode(int m, bool fromKey) { m_modes.SaveMode(m, fromKey); }
    // Mode files.
    void OpenModeFile() { m_modes.OpenModeFile(); }
    void SaveModeFile() { m_modes.SaveModeFile(); }
    bool OpenModeFilePath(const QString& path) override { return m_modes.OpenModeFilePath(path); }
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

    bool QueryClose(QWidget* parent) override;
    void CloseToolWindows() override { m_pTools->Destroy(); }
    CConnection* Connection() override;

    // Connection.
    bool ConnectAttempt(bool fromArrival) { return m_connection.ConnectAttempt(fromArrival); }
    void OnDeviceArrival(const QString& path) { m_connection.OnDeviceArrival(path); }
    void OnDeviceRemoval(const QString& path) { m_connection.OnDeviceRemoval(path); }
    void OnSyncFinished() { m_connection.OnSyncFinished(); }
    bool PollTimerRunning() const { return m_connection.PollTimerRunning(); }
    // The last tray notice, for the screenshot mode and tests.
    QString LastNotice() const { return m_connection.LastNotice(); }

signals:
    // A synchronisation ended and its result was handled (true: store refreshed).
    void SyncHandled(bool ok);
    // A memory mode's recall was sent; its read-all follows (the edit history makes it a step).
    void ModeRecallStarted(int mode);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildCommandTable();
    void PlaceCurrentPage();

    CConsoleLink* m_pLink;
    IFrameIntents* m_pFrame = nullptr;
    PageState m_state;
    std::unique_ptr<CToolWindows> m_pTools;
    QPointer<CPage> m_pPage;
    int m_nStatusRefreshes = 0;
    CVolumeStrip m_strip;
    CModeCommands m_modes;
    CConnectionController m_connection;
    CCommandTable m_commands;
};
