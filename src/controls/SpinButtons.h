// An up/down button pair with a position of its own, apart from the edit box beside it. A click
// first reports the step with the position it started from (the owner acts on it), then steps the
// position within the range.
#pragma once

#include <QWidget>

class QToolButton;

class CSpinButtons : public QWidget {
    Q_OBJECT
public:
    CSpinButtons(QWidget* parent, int id);
    void SetRange(int minimum, int maximum);
    int RangeMin() const { return m_nMin; }
    int RangeMax() const { return m_nMax; }
    // Kept as given, like a fresh control whose position lies outside its range; a step holds it.
    void SetPos(int pos) { m_nPos = pos; }
    int Pos() const { return m_nPos; }
    // +1 up, -1 down: what a click on a button does.
    void Step(int delta);
    QToolButton* Up() const { return m_pUp; }
    QToolButton* Down() const { return m_pDown; }

signals:
    // Before the position moves: the position the step started from and the step.
    void DeltaPos(int id, int pos, int delta);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* m_pUp;
    QToolButton* m_pDown;
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nPos = 0;
};
