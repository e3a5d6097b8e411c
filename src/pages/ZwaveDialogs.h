// The smart-plug window's three small modeless dialogs: the plug editor, the dimmer control and the
// switch control. Each belongs to the window and asks it to run the plug operations.
#pragma once

#include "plugs/PlugFlows.h"

#include <QDialog>

#include <chrono>
#include <optional>
#include <string>

class CXBmpSlider;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

constexpr int kTemplatePlugEdit = 480;
constexpr int kTemplateDimmer = 484;
constexpr int kTemplateSwitch = 485;

// What the small dialogs need from the smart-plug window that owns them.
class IPlugWindow {
public:
    virtual ~IPlugWindow() = default;
    // Shows "请先连接设备!" when not connected.
    virtual bool CheckConnected() = 0;
    // Timer 5 with the operation's delay, then the wait dialog (nothing when the operation did not run).
    virtual void StartWait(std::optional<std::chrono::milliseconds> delay) = 0;
    virtual CPlugOperation& Operation() = 0;
    virtual void RefreshLists() = 0;
    // Runs a message box of a dialog; false when the window is going away meanwhile.
    virtual bool RunBox(QDialog& box) = 0;
};

// "开关n" / "调压n": the smallest n in 1..254 no present plug is named exactly so.
std::u16string DefaultPlugName(int kind);

// The plug editor (template 480): adds a plug (node 0, by inclusion) or renames an existing one.
class CDlgZwaveEdit : public QDialog {
    Q_OBJECT
public:
    CDlgZwaveEdit(QWidget* parent, IPlugWindow* window, int node);
    int Node() const { return m_nNode; }
    QComboBox* Kind() const { return m_pKind; }
    QLineEdit* Name() const { return m_pName; }
    QPushButton* OkButton() const { return m_pOk; }
    void ReloadTexts();
    void Confirm();
    void setVisible(bool visible) override;

private:
    IPlugWindow* m_pWindow;
    int m_nNode;
    QComboBox* m_pKind;
    QLineEdit* m_pName;
    QPushButton* m_pOk;
};

// The dimmer control (template 484): a level 0..99 set when the slider is released.
class CDlgZwaveLight : public QDialog {
    Q_OBJECT
public:
    CDlgZwaveLight(QWidget* parent, IPlugWindow* window);
    void Retarget(int node);
    int Node() const { return m_nNode; }
    CXBmpSlider* Slider() const { return m_pSlider; }
    QLabel* LevelText() const { return m_pLevel; }
    void ReloadTexts();
    // Sets the plug to the slider's level (the release, and the four buttons).
    void Apply();
    void Step(int delta);
    void SetLevel(int level);

private:
    void ShowLevel(int level);
    IPlugWindow* m_pWindow;
    int m_nNode = 0;
    CXBmpSlider* m_pSlider;
    QLabel* m_pLevel;
};

// The switch control (template 485): on (255) and off (0).
class CDlgZwaveSwitch : public QDialog {
    Q_OBJECT
public:
    CDlgZwaveSwitch(QWidget* parent, IPlugWindow* window);
    void Retarget(int node);
    int Node() const { return m_nNode; }
    void ReloadTexts();
    void Switch(bool on);

private:
    IPlugWindow* m_pWindow;
    int m_nNode = 0;
};

// The level text of the dimmer: "关" for 0, "最大" for 99, else "%d%%".
QString DimmerLevelText(int level);
