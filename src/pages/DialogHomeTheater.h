// The smart-plug window: the plug list and the scene editor as two pages, the all-on/all-off, reset
// and help buttons, and the operation context with its delayed wait dialog (timer 5). Its pages and
// small dialogs ask for what they want by signals; the window checks the connection and runs it. The
// plug flows run on the console link's workers; their progress and the plug events come back as
// queued signals.
#pragma once

#include "pages/Page.h"
#include "pages/PlugListPage.h"
#include "pages/SceneEditorPage.h"
#include "pages/ZwaveDialogs.h"
#include "plugs/PlugFlows.h"

#include <QPointer>
#include <QTextBrowser>
#include <QTimer>

#include <chrono>
#include <optional>

class QPushButton;
class QStackedWidget;

class CDialogHomeTheater : public CPage {
    Q_OBJECT
public:
    CDialogHomeTheater(const PageContext& context, int arg, QWidget* parent);
    ~CDialogHomeTheater() override;

    void Refresh() override;
    void ReloadTexts() override;

    CDlgZwaveList* PlugList() const { return m_pList; }
    CDialogZwaveRemoter* SceneEditor() const { return m_pScenes; }
    void ShowPage(int page); // 0 plug list, 1 scene editor
    int ShownPage() const;

    // Plug events and worker progress (from the link's signals; tests call them directly).
    void OnPlugEvent(quint32 w, quint32 l);
    void OnPlugProgress(quint32 w, quint32 l);

    // What the pages and the small dialogs ask for.
    void RefreshLists();
    // Shows "请先连接设备!" when not connected.
    bool CheckConnected();
    void SwitchAll(bool on);
    void ResetNetwork();
    void RunScene(int scene, const PlugText& text);
    void ExcludePlug();
    void OpenEditor(int node); // 0: add a plug
    void OpenControl(int node);
    void ShowHelp();
    // StartPlugOperation's delay: timer 5, then the wait dialog (when the operation ran).
    void StartWait(std::optional<std::chrono::milliseconds> delay);
    bool WaitPending() const { return m_timer5.isActive(); }
    const CPlugOperation& Operation() const { return m_op; }

    CDlgZwaveEdit* Editor() const { return m_pEdit; }
    CDlgZwaveLight* Dimmer() const { return m_pLight; }
    CDlgZwaveSwitch* SwitchControl() const { return m_pSwitch; }
    QTextBrowser* Help() const { return m_pHelp; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The small dialogs' intents.
    void ConfirmEdit(QPointer<CDlgZwaveEdit> editor, int node, int kind, const QString& name);
    void SetDimmer(int node, int level);
    void SwitchPlug(int node, bool on);
    void OnLoadTimer();
    CPollToken m_pollOff;
    void OnTimer5();
    CPlugFlows* Flows() const;
    void ShowProgress(const PlugText& text);

    CPlugOperation m_op;
    QTimer m_loadTimer; // timer 1: loads the plug data 200 ms after opening
    QTimer m_timer5;
    CDlgZwaveList* m_pList;
    CDialogZwaveRemoter* m_pScenes;
    QStackedWidget* m_pPages;
    QPushButton* m_pListButton;
    QPushButton* m_pSceneButton;
    QPointer<CDlgZwaveEdit> m_pEdit;
    QPointer<CDlgZwaveLight> m_pLight;
    QPointer<CDlgZwaveSwitch> m_pSwitch;
    QPointer<QTextBrowser> m_pHelp;
};
