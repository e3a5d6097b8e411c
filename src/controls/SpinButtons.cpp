#include "controls/SpinButtons.h"

#include "ui/Language.h"

#include <QToolButton>

#include <algorithm>

CSpinButtons::CSpinButtons(QWidget* parent, int id) : QWidget(parent) {
    SetCtrlId(this, id);
    m_pUp = new QToolButton(this);
    m_pDown = new QToolButton(this);
    m_pUp->setArrowType(Qt::UpArrow);
    m_pDown->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {m_pUp, m_pDown}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    connect(m_pUp, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_pDown, &QToolButton::clicked, this, [this] { Step(-1); });
}

void CSpinButtons::SetRange(int minimum, int maximum) {
    m_nMin = std::min(minimum, maximum);
    m_nMax = std::max(minimum, maximum);
}

void CSpinButtons::Step(int delta) {
    const int from = m_nPos;
    emit DeltaPos(CtrlId(this), from, delta);
    m_nPos = std::clamp(from + delta, m_nMin, m_nMax);
}

void CSpinButtons::resizeEvent(QResizeEvent*) {
    const int h = height() / 2;
    m_pUp->setGeometry(0, 0, width(), h);
    m_pDown->setGeometry(0, h, width(), height() - h);
}
