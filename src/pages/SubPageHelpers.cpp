#include "pages/SubPageHelpers.h"

#include "model/Compound.h"
#include "model/ParamStore.h"
#include "ui/Language.h"
#include "ui/Numbers.h"

#include <QKeyEvent>
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

CompValues ReadCompValues(int c) {
    auto lock = LockStore();
    return {SlotFloat(SET_OUT_COMP_THRESHOLD + c), SlotFloat(SET_OUT_COMP_RATIO + c),
            SlotFloat(SET_OUT_COMP_ATTACK + c), SlotFloat(SET_OUT_COMP_RELEASE + c)};
}

CompValues CompWithSlider(CompValues v, int which, int pos, bool wholeMs) {
    switch (which) {
    case COMP_THRESHOLD:
        v.fThreshold = static_cast<float>(pos);
        break;
    case COMP_RATIO:
        v.fRatio = static_cast<float>(pos / 10.0);
        break;
    case COMP_ATTACK:
        v.fAttack = static_cast<float>(pos);
        break;
    case COMP_RELEASE:
        v.fRelease = static_cast<float>(pos);
        break;
    default:
        break;
    }
    auto time = [wholeMs](float ms) {
        if (!std::isfinite(ms))
            return 1.0f;
        return wholeMs ? static_cast<float>(std::lround(ms)) : ms;
    };
    v.fAttack = time(v.fAttack);
    v.fRelease = time(v.fRelease);
    return v;
}

QString CompText(int which, const CompValues& v) {
    switch (which) {
    case COMP_THRESHOLD:
        return CFormat("%.0fdB", v.fThreshold);
    case COMP_RATIO:
        return CFormat("%.1f:1", v.fRatio);
    case COMP_ATTACK:
        return CFormat("%.0fms", v.fAttack);
    case COMP_RELEASE:
        return CFormat("%.0fms", v.fRelease);
    default:
        return {};
    }
}

void StoreAndSendComp(int c, const CompValues& v) {
    if (c < 0 || c >= kOutputChannels)
        return;
    {
        auto lock = LockStore();
        SetSlotFloatBits(SET_OUT_COMP_THRESHOLD + c, v.fThreshold);
        SetSlotFloatBits(SET_OUT_COMP_RATIO + c, v.fRatio);
        SetSlotFloatBits(SET_OUT_COMP_ATTACK + c, v.fAttack);
        SetSlotFloatBits(SET_OUT_COMP_RELEASE + c, v.fRelease);
    }
    SendCompressor(c);
}
