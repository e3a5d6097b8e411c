// The smart-plug window's scene editor: the rows of one scene, edited here and written by Save. Its
// test buttons ask the window to run a scene.
#pragma once

#include "plugs/PlugModel.h"

#include <QWidget>

class CXBmpSlider;
class QCheckBox;
class QComboBox;
class QLabel;
class QTableWidget;

// The scene editor (template 482).
class CDialogZwaveRemoter : public QWidget {
    Q_OBJECT
public:
    explicit CDialogZwaveRemoter(QWidget* parent);
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

signals:
    void SceneTestRequested(int scene);

private:
    void OnPlugPicked();
    int RowValue() const;
    int SelectedPlug() const;
    void SetRow(int row, int node, int value);
    void SwapRows(int a, int b);

    int m_nScene = 0;
    QComboBox* m_pScene;
    QTableWidget* m_pRows;
    QComboBox* m_pPlug;
    QCheckBox* m_pOn;
    CXBmpSlider* m_pSlider;
    QLabel* m_pValue;
};
