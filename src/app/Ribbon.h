// The console's ribbon: an application button with its menu, category tabs with panels of sliders,
// labels, check boxes and buttons, and a row of buttons beside the tabs. Every element has the
// numeric id of its command; using an element raises Command(id).
#pragma once

#include <QFrame>
#include <QHash>
#include <QSlider>
#include <QString>
#include <QVector>

class QLabel;
class QMenu;
class QStackedWidget;
class QTabBar;
class QToolButton;
class QHBoxLayout;
class QVBoxLayout;

// A slider whose track click moves exactly one step toward the click; dragging behaves as usual.
class CMFCRibbonStepSlider : public QSlider {
    Q_OBJECT
public:
    explicit CMFCRibbonStepSlider(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};

class CRibbonPanel : public QFrame {
    Q_OBJECT
public:
    CRibbonPanel(const QString& title, QWidget* parent);
    void SetTitle(const QString& title);
    QString Title() const;
    QVBoxLayout* Column(); // a new column of elements

private:
    QHBoxLayout* m_pColumns;
    QLabel* m_pTitle;
};

class CRibbonCategory : public QWidget {
    Q_OBJECT
public:
    CRibbonCategory(const QString& title, QWidget* parent);
    CRibbonPanel* AddPanel(const QString& title);
    CRibbonPanel* Panel(int i) const { return m_panels.value(i); }
    int PanelCount() const { return int(m_panels.size()); }
    QString Title() const { return m_strTitle; }
    void SetTitle(const QString& title) { m_strTitle = title; }

private:
    QString m_strTitle;
    QVector<CRibbonPanel*> m_panels;
    QHBoxLayout* m_pRow;
};

class CMyMFCRibbonBar : public QFrame {
    Q_OBJECT
public:
    explicit CMyMFCRibbonBar(QWidget* parent = nullptr);

    // Building.
    CRibbonCategory* AddCategory(const QString& title);
    QLabel* AddLabel(QVBoxLayout* column, int id, const QString& text);
    CMFCRibbonStepSlider* AddSlider(QVBoxLayout* column, int id, int width, int min, int max);
    QWidget* AddCheckBox(QVBoxLayout* column, int id, const QString& text);
    // A split button whose menu holds the entries `menuIds` with the texts `menuTexts`.
    QToolButton* AddSplitButton(QVBoxLayout* column, int id, const QString& text, const QVector<int>& menuIds,
                                const QStringList& menuTexts);
    QToolButton* AddButton(QVBoxLayout* column, int id, const QString& text);
    QToolButton* AddTabButton(int id, const QString& text);
    QMenu* ApplicationMenu() const { return m_pAppMenu; }

    // Lookup.
    QWidget* Element(int id) const { return m_elements.value(id); }
    template <class T> T* ElementAs(int id) const { return qobject_cast<T*>(Element(id)); }
    int CategoryCount() const { return int(m_categories.size()); }
    CRibbonCategory* Category(int i) const { return m_categories.value(i); }
    CRibbonCategory* ActiveCategory() const;
    int ActiveCategoryIndex() const;
    void SetActiveCategory(int i);
    void SetCategoryTitle(int i, const QString& title);
    QTabBar* Tabs() const { return m_pTabs; }
    void SetElementText(int id, const QString& text);

signals:
    void Command(int id);
    void CategoryChanged(int index);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void Register(int id, QWidget* element);

    QToolButton* m_pAppButton;
    QMenu* m_pAppMenu;
    QTabBar* m_pTabs;
    QHBoxLayout* m_pTabButtons;
    QStackedWidget* m_pStack;
    QVector<CRibbonCategory*> m_categories;
    QHash<int, QWidget*> m_elements;
};

// The categories are recognised by their title in either language.
bool IsInputCategoryTitle(const QString& title);
bool IsOutputCategoryTitle(const QString& title);
