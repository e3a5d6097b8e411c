#include "pages/SubPageHelpers.h"

#include "controls/XBmpSlider.h"
#include "ui/Language.h"
#include "ui/Numbers.h"

#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWheelEvent>

#include <cmath>

CDluScale::CDluScale(int dluWidth, int dluHeight)
    : m_fX(1024.0 / std::max(dluWidth, 1)), m_fY(520.0 / std::max(dluHeight, 1)) {}

int CDluScale::X(int dlu) const {
    return static_cast<int>(std::lround(dlu * m_fX));
}

int CDluScale::Y(int dlu) const {
    return static_cast<int>(std::lround(dlu * m_fY));
}

QRect CDluScale::Rect(int x, int y, int w, int h) const {
    return QRect(X(x), Y(y), X(x + w) - X(x), Y(y + h) - Y(y));
}

CValueEdit::CValueEdit(QWidget* parent, int id) : QLineEdit(parent) {
    SetCtrlId(this, id);
}

void CValueEdit::PlaceFitting(QRect cell, const QString& widest) {
    QStyleOptionFrame opt;
    opt.initFrom(this);
    opt.lineWidth = hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, this) : 0;
    constexpr int kLineEditMargin = 2; // QLineEdit's own space either side of the text
    const QMargins margins = textMargins();
    const QSize text(fontMetrics().horizontalAdvance(widest) + 2 * kLineEditMargin + margins.left() +
                         margins.right() + 1, // the cursor after the last character
                     fontMetrics().height());
    const int width = style()->sizeFromContents(QStyle::CT_LineEdit, &opt, text, this).width();
    if (width > cell.width())
        cell.setLeft(cell.right() + 1 - width);
    setGeometry(cell);
}

void CValueEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        emit Entered(CtrlId(this));
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CValueEdit::wheelEvent(QWheelEvent* event) {
    event->accept();
}

// ---- Compressor ----------------------------------------------------------------------------------

QString CompQText(int which, const CompValues& v) {
    return QString::fromStdString(CompText(which, v.Get(which)));
}

CXBmpSlider* CCompSliders::Make(QWidget* parent, int which, int id, QWidget* text) {
    auto* slider = new CXBmpSlider(parent, id, false);
    slider->SetRange(kCompRanges[which].nMin, kCompRanges[which].nMax);
    m_sliders[which] = slider;
    m_texts[which] = text;
    return slider;
}

int CCompSliders::Which(int id) const {
    for (int j = 0; j < COMP_VALUES; ++j)
        if (m_sliders[j] && CtrlId(m_sliders[j]) == id)
            return j;
    return -1;
}

void CCompSliders::ShowText(int which, const CompValues& values) const {
    const QString text = CompQText(which, values);
    if (auto* label = qobject_cast<QLabel*>(m_texts[which]))
        label->setText(text);
    else if (auto* box = qobject_cast<QLineEdit*>(m_texts[which]))
        box->setText(text);
}

void CCompSliders::Show(const CompValues& values) const {
    for (int j = 0; j < COMP_VALUES; ++j) {
        if (m_sliders[j])
            m_sliders[j]->SetPos(CompPosOfValue(j, values.Get(j)));
        ShowText(j, values);
    }
}
