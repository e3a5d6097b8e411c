// The smart-plug window's three small modeless dialogs: the plug editor, the dimmer control and the
// switch control. Each belongs to the window and asks it, by a signal, to run the plug operations.
#pragma once

#include "plugs/PlugFlows.h"
#include "ui/Templates.h"

#include <QDialog>

#include <string>

class CXBmpSlider;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// A plug name as the editor takes it (the record keeps kPlugNameChars).
constexpr int kPlugNameEditChars = 12;

// "开关n" / "调压n": the smallest n in 1..254 no present plug is named exactly so.
std::u16string DefaultPlugName(int kind);

// The plug editor (template 480): adds a plug (node 0, by inclusion) or renames an existing one.
class CDlgZwaveEdit : public QDialog {
    Q_OBJECT
public:
    CDlgZwaveEdit(QWidget* parent, int node);
    int Node() const { return m_nNode; }
    QComboBox* Kind() const { return m_pKind; }
    QLineEdit* Name() const { return m_pName; }
    QPushButton* OkButton() const { return m_pOk; }
    void ReloadTexts();
    // OK: asks the window to keep the name (kind 1 switch, 2 dimmer).
    void Confirm();
    void setVisible(bool visible) override;

signals:
    void Confirmed(int node, int kind, const QString& name);

private:
    int m_nNode;
    QComboBox* m_pKind;
    QLineEdit* m_pName;
    QPushButton* m_pOk;
};

// The dimmer control (template 484): a level 0..99 set when the slider is released.
class CDlgZwaveLight : public QDialog {
    Q_OBJECT
public:
    explicit CDlgZwaveLight(QWidget* parent);
    void Retarget(int node);
    int Node() const { return m_nNode; }
    CXBmpSlider* Slider() const { return m_pSlider; }
    QLabel* LevelText() const { return m_pLevel; }
    void ReloadTexts();
    // Asks for the plug at the slider's level (the release, and the four buttons).
    void Apply();
    void Step(int delta);
    void SetLevel(int level);
    void ShowLevel(int level);

signals:
    void LevelRequested(int node, int level);

private:
    int m_nNode = 0;
    CXBmpSlider* m_pSlider;
    QLabel* m_pLevel;
};

// The switch control (template 485): on (255) and off (0).
class CDlgZwaveSwitch : public QDialog {
    Q_OBJECT
public:
    explicit CDlgZwaveSwitch(QWidget* parent);
    void Retarget(int node);
    int Node() const { return m_nNode; }
    void ReloadTexts();
    void Switch(bool on);

signals:
    void SwitchRequested(int node, bool on);

private:
    int m_nNode = 0;
};

// The level text of the dimmer: "关" for 0, "最大" for 99, else "%d%%".
QString DimmerLevelText(int level);
