// The smart-plug window's plug list: one icon per present plug. A click asks for the plug's control,
// a right click for its editor; the window decides and runs what is asked.
#pragma once

#include <QPixmap>
#include <QWidget>

class QListWidget;

// The plug list (template 481): one icon per present plug, click to control, right click to edit.
class CDlgZwaveList : public QWidget {
    Q_OBJECT
public:
    explicit CDlgZwaveList(QWidget* parent);
    void Refresh();
    QListWidget* List() const { return m_pList; }

signals:
    void ControlRequested(int node);
    void EditRequested(int node);
    void AddRequested();
    void ExcludeRequested();

private:
    void OnContextMenu(const QPoint& pos);
    QListWidget* m_pList;
};

// Icons of the plug list by record kind (0 none, 1 switch, 2 dimmer).
QPixmap PlugIcon(int kind, int size = 48);
