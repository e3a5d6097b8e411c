// The smart-plug window's three small modeless dialogs: the plug editor, the dimmer control and the
// switch control. Each belongs to the window and asks it to run the plug operations.
#pragma once

#include <QDialog>

class CDialogHomeTheater;
class CXBmpSlider;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The plug editor (template 480): adds a plug (node 0, by inclusion) or renames an existing one.
class CDlgZwaveEdit : public QDialog {
    Q_OBJECT
public:
    CDlgZwaveEdit(CDialogHomeTheater* window, int node);
    int Node() const { return m_nNode; }
    QComboBox* Kind() const { return m_pKind; }
    QLineEdit* Name() const { return m_pName; }
    QPushButton* OkButton() const { return m_pOk; }
    void ReloadTexts();
    void Confirm();

private:
    CDialogHomeTheater* m_pWindow;
    int m_nNode;
    QComboBox* m_pKind;
    QLineEdit* m_pName;
    QPushButton* m_pOk;
};

// The dimmer control (template 484): a level 0..99 set when the slider is released.
class CDlgZwaveLight : public QDialog {
    Q_OBJECT
public:
    explicit CDlgZwaveLight(CDialogHomeTheater* window);
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
    CDialogHomeTheater* m_pWindow;
    int m_nNode = 0;
    CXBmpSlider* m_pSlider;
    QLabel* m_pLevel;
};

// The switch control (template 485): on (255) and off (0).
class CDlgZwaveSwitch : public QDialog {
    Q_OBJECT
public:
    explicit CDlgZwaveSwitch(CDialogHomeTheater* window);
    void Retarget(int node);
    int Node() const { return m_nNode; }
    void ReloadTexts();
    void Switch(bool on);

private:
    CDialogHomeTheater* m_pWindow;
    int m_nNode = 0;
};

// The level text of the dimmer: "关" for 0, "最大" for 99, else "%d%%".
QString DimmerLevelText(int level);
