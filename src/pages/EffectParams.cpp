#include "pages/EffectParams.h"

#include "controls/XBmpSlider.h"
#include "model/ParamStore.h"
#include "model/Schema.h"
#include "model/Setters.h"
#include "pages/PageHelpers.h"
#include "ui/Colors.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Numbers.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// The ranges and texts are the schema's rows of set A's slots (set B's are the same).
const EffectRowInfo kRows[kEffectRows] = {
    {"混响电平", "Reverb Level", SET_REVERB_A_LEVEL, SET_REVERB_B_LEVEL, false},
    {"混响预延时", "Reverb Predelay", SET_REVERB_A_PREDELAY, SET_REVERB_B_PREDELAY, true},
    {"混响时长", "Reverb Time", SET_REVERB_A_TIME, SET_REVERB_B_TIME, true},
    {"回声电平", "Echo Level", SET_ECHO_A_LEVEL, SET_ECHO_B_LEVEL, false},
    {"回声预延时", "Echo Predelay", SET_ECHO_A_PREDELAY, SET_ECHO_B_PREDELAY, true},
    {"回声间隔", "Echo Time", SET_ECHO_A_TIME, SET_ECHO_B_TIME, true},
    {"回声起始音量", "Echo Start Vol", SET_ECHO_A_START, SET_ECHO_B_START, false},
    {"回声衰减比例", "Echo Vol Decay", SET_ECHO_A_DECAY, SET_ECHO_B_DECAY, false},
    {"话筒移频", "Shift Frequency", SET_MIC_A_SHIFT, SET_MIC_B_SHIFT, false},
};

enum Column { COL_NUMBER = 0, COL_NAME = 1, COL_VALUE = 2 };

int Slot(int set, int row) {
    return set ? kRows[row].nSlotB : kRows[row].nSlotA;
}

// A float slot as the list sees it: truncated toward zero, whatever the processor or a file put there.
int TruncatedFloat(float f) {
    return std::isnan(f) ? 0 : GuardedInt(std::trunc(f), -1000000, 1000000);
}

} // namespace

const EffectRowInfo* EffectRow(int row) {
    return row >= 0 && row < kEffectRows ? &kRows[row] : nullptr;
}

QString EffectRowName(int row) {
    const EffectRowInfo* info = EffectRow(row);
    return info ? Tr(info->szZh, info->szEn) : QString();
}

int GetEffectParam(int set, int row) {
    const EffectRowInfo* info = EffectRow(row);
    if (!info)
        return 0;
    const int slot = Slot(set ? 1 : 0, row);
    return info->bFloatSlot ? TruncatedFloat(SlotFloatValue(slot)) : SlotValue(slot);
}

const Setting& EffectSetting(int row) {
    return *SlotSetting(kRows[std::clamp(row, 0, kEffectRows - 1)].nSlotA);
}

QString FormatEffectValue(int row, int v) {
    if (!EffectRow(row))
        return QString();
    if (row == EFFECT_SHIFT && (v == 0 || v == 1))
        return Tr("关闭", "Off");
    const Setting& s = EffectSetting(row);
    return QString::fromStdString(FormatValue(s, ValueOfPos(s, v)));
}

void SetEffectParam(int set, int row, int v) {
    if (!EffectRow(row))
        return;
    set = set ? 1 : 0;
    const int slot = Slot(set, row);
    switch (row) {
    case EFFECT_REVERB_LEVEL:
    case EFFECT_ECHO_LEVEL:
        SetSlot(slot, v);
        if (v != 0) {
            const bool reverb = row == EFFECT_REVERB_LEVEL;
            if (SlotValue(reverb ? SET_REVERB_MUTE : SET_ECHO_MUTE) != 0)
                ShowInfoPopup(reverb ? Tr("混响已静音", "Reverb vol is mute")
                                     : Tr("回声已静音", "Echo vol is mute"),
                              1100);
        }
        return;
    case EFFECT_ECHO_START:
    case EFFECT_ECHO_DECAY:
        SetSlot(slot, v);
        return;
    case EFFECT_REVERB_PREDELAY:
    case EFFECT_ECHO_PREDELAY:
        SetSlotFloat(slot, static_cast<float>(std::max(v, 2)));
        return;
    case EFFECT_REVERB_TIME:
        SetSlotFloat(slot, static_cast<float>(v));
        return;
    case EFFECT_ECHO_TIME:
        SetEchoTime(set, static_cast<float>(v)); // short times take the reverb predelay along
        return;
    case EFFECT_SHIFT:
        // 0 would divide by zero in the shifter's delay and above 8 Hz the delay turns negative:
        // the shifter only knows 1 (off) to 8 Hz.
        SetMicShift(set, std::clamp(v, 1, 8));
        return;
    default:
        return;
    }
}

// ---- The list ---------------------------------------------------------------------------------------

CEffectParamList::CEffectParamList(QWidget* parent) : QTableWidget(kEffectRows, 3, parent) {
    SetCtrlId(this, IDC_LIST);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(14);
    verticalHeader()->setDefaultSectionSize(16); // nine rows and the header fit the template's height
    horizontalHeader()->setFixedHeight(18);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    horizontalHeader()->setFont(small);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    setStyleSheet(
        QStringLiteral("QTableWidget { background: rgb(20, 20, 20); gridline-color: rgb(64, 64, 64); }"));

    m_pSlider = new CXBmpSlider(parent, IDC_SLIDER, true);
    m_pSlider->SetRange(0, 100);
    connect(m_pSlider, &CXBmpSlider::SliderPos, this, [this](int, int pos) { ApplySliderPos(pos); });
    m_pEdit = new QLineEdit(parent);
    SetCtrlId(m_pEdit, IDC_EDIT);
    m_pEdit->setReadOnly(true);
    m_pEdit->setAlignment(Qt::AlignCenter);
    m_pName = MakeText(parent, IDC_NAME);
    Build();
}

QColor CEffectParamList::TextColor(int mode) {
    return ColorRef(mode == 0 ? 0xFFC800 : mode == 1 ? 0x00FF00 : 0x646464);
}

void CEffectParamList::Build() {
    clear();
    setRowCount(kEffectRows);
    setColumnCount(3);
    setHorizontalHeaderLabels({Tr("", " "), Tr("参数名", "Parameter name"), Tr("参数值", "Value")});
    horizontalHeaderItem(COL_NAME)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setColumnWidth(COL_NUMBER, 50);
    setColumnWidth(COL_NAME, 130);
    setColumnWidth(COL_VALUE, 80);
    for (int r = 0; r < kEffectRows; ++r) {
        auto* number = new QTableWidgetItem(QString::asprintf("%d", r + 1));
        number->setTextAlignment(Qt::AlignCenter);
        setItem(r, COL_NUMBER, number);
        auto* name = new QTableWidgetItem(EffectRowName(r));
        name->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setItem(r, COL_NAME, name);
        auto* value = new QTableWidgetItem;
        value->setTextAlignment(Qt::AlignCenter);
        setItem(r, COL_VALUE, value);
    }
    selectRow(m_nRow);
    m_pName->setText(EffectRowName(m_nRow));
}

void CEffectParamList::SetValueCell(int row, const QString& text) {
    if (QTableWidgetItem* value = item(row, COL_VALUE))
        value->setText(text);
}

void CEffectParamList::Refresh(int mode) {
    m_nMode = std::clamp(mode, 0, 2);
    const int set = Set();
    const QColor colour = TextColor(m_nMode);
    for (int r = 0; r < kEffectRows; ++r) {
        SetValueCell(r, FormatEffectValue(r, GetEffectParam(set, r)));
        for (int c = 0; c < 3; ++c)
            if (QTableWidgetItem* it = item(r, c))
                it->setForeground(colour);
    }
    const int value = GetEffectParam(set, m_nRow);
    m_pEdit->setText(FormatEffectValue(m_nRow, value));
    if (Editable())
        m_pSlider->SetPos(value); // held to the row's range
    const bool editable = Editable();
    setEnabled(editable);
    m_pEdit->setEnabled(editable);
    m_pName->setEnabled(editable);
    m_pSlider->Enable(editable);
}

void CEffectParamList::SelectRow(int row) {
    const EffectRowInfo* info = EffectRow(row);
    if (!info)
        return;
    m_nRow = row;
    selectRow(row);
    m_pSlider->SetRange(EffectSetting(row).nMin, EffectSetting(row).nMax);
    const int value = GetEffectParam(Set(), row);
    m_pSlider->SetPos(value);
    m_pEdit->setText(FormatEffectValue(row, value));
    m_pName->setText(EffectRowName(row));
}

void CEffectParamList::ApplySliderPos(int pos) {
    if (!Editable()) {
        // Music mode: the greyed list shows set B and changes nothing (the wheel still reaches a
        // disabled slider).
        m_pSlider->SetPos(GetEffectParam(Set(), m_nRow));
        return;
    }
    SetEffectParam(Set(), m_nRow, pos);
    const QString text = FormatEffectValue(m_nRow, pos);
    SetValueCell(m_nRow, text);
    m_pEdit->setText(text);
    if (m_nRow == EFFECT_ECHO_TIME && pos >= 2 && pos <= 6)
        SetValueCell(EFFECT_REVERB_PREDELAY, QString::asprintf("%dms", 10 * pos));
}

void CEffectParamList::Step(int delta) {
    if (!Editable())
        return;
    const int pos =
        std::clamp(m_pSlider->GetPos() + delta, m_pSlider->GetRangeMin(), m_pSlider->GetRangeMax());
    m_pSlider->SetPos(pos);
    ApplySliderPos(pos);
}

void CEffectParamList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        Step(+1);
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        Step(-1);
        break;
    default:
        break; // every other key does nothing here
    }
    event->accept();
}

bool CEffectParamList::event(QEvent* event) {
    // A scroll area leaves wheel events sent to itself (the page forwards them here) unhandled.
    if (event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QTableWidget::event(event);
}

void CEffectParamList::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    const int dy = event->angleDelta().y();
    if (dy != 0)
        Step(dy > 0 ? +1 : -1);
    event->accept();
}

void CEffectParamList::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid())
        SelectRow(index.row());
    event->accept();
}
