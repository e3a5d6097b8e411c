// The smart-plug window: the plug list and the scene editor as two pages, the all-on/all-off, reset
// and help buttons, and the operation context with its delayed wait dialog (timer 5). The plug flows
// run on the console link's workers; their progress and the plug events come back as queued signals.
#pragma once

#include "pages/Page.h"
#include "pages/ZwaveDialogs.h"
#include "plugs/PlugFlows.h"

#include <QPointer>
#include <QTextBrowser>
#include <QTimer>

#include <chrono>
#include <optional>

class CXBmpSlider;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStackedWidget;
class QTableWidget;

constexpr int kTemplateHomeTheater = 479;
constexpr int kTemplatePlugList = 481;
constexpr int kTemplateSceneEdit = 482;

class CDialogHomeTheater;

// The plug list (template 481): one icon per present plug, click to control, right click to edit.
class CDlgZwaveList : public QWidget {
    Q_OBJECT
public:
    explicit CDlgZwaveList(CDialogHomeTheater* window);
    void Refresh();
    QListWidget* List() const { return m_pList; }

private:
    void OnContextMenu(const QPoint& pos);
    CDialogHomeTheater* m_pWindow;
    QListWidget* m_pList;
};

// The scene editor (template 482): the rows of one scene, edited here and written by Save.
class CDialogZwaveRemoter : public QWidget {
    Q_OBJECT
public:
    explicit CDialogZwaveRemoter(CDialogHomeTheater* window);
    // Plug drop-down, scene rows of the edited scene, scene drop-down.
    void Refresh();
    void ReloadTexts();
    int EditScene() const { return m_nScene; }
    QTableWidget* Rows() const { return m_pRows; }
    // The steps the rows make: (node, value) for each row, empty steps for the rest.
    SceneSteps RowSteps() const;

    void AddRow();
    void ModifyRow();
    void DeleteRow();
    void MoveRow(int delta);
    void ClearRows();
    void Save();

private:
    void OnPlugPicked();
    int RowValue() const;
    int SelectedPlug() const;
    void SetRow(int row, int node, int value);
    void SwapRows(int a, int b);

    CDialogHomeTheater* m_pWindow;
    int m_nScene = 0;
    QComboBox* m_pScene;
    QTableWidget* m_pRows;
    QComboBox* m_pPlug;
    QCheckBox* m_pOn;
    CXBmpSlider* m_pSlider;
    QLabel* m_pValue;
};

class CDialogHomeTheater : public CPage, public IPlugWindow {
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
    void RefreshLists() override;
    bool CheckConnected() override;
    void SwitchAll(bool on);
    void ResetNetwork();
    void RunScene(int scene, const PlugText& text);
    void ExcludePlug();
    void OpenEditor(int node); // 0: add a plug
    void OpenControl(int node);
    void ShowHelp();
    // StartPlugOperation's delay: timer 5, then the wait dialog (when the operation ran).
    void StartWait(std::optional<std::chrono::milliseconds> delay) override;
    CPlugOperation& Operation() override { return m_op; }
    bool RunBox(QDialog& box) override { return RunModal(box); }
    bool WaitPending() const { return m_timer5.isActive(); }

    CDlgZwaveEdit* Editor() const { return m_pEdit; }
    CDlgZwaveLight* Dimmer() const { return m_pLight; }
    CDlgZwaveSwitch* SwitchControl() const { return m_pSwitch; }
    QTextBrowser* Help() const { return m_pHelp; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
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

// Icons of the plug list by record kind (0 none, 1 switch, 2 dimmer).
QPixmap PlugIcon(int kind, int size = 48);
