#include "controls/EqPanel.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>
#include <vector>

#include "controls/EqPanelParts.h"
#include "ui/Language.h"

namespace {

constexpr float kAxisMinF = 18.0f;
constexpr float kAxisGainTop = 15.0f;
constexpr float kAxisGainSpan = 30.0f;
constexpr int kHandleCountOutput = 10;
constexpr int kHitLeft = 10;  // left button: pixels from the handle centre in x and y
constexpr int kHitRight = 16; // right button and hover
constexpr float kRightDragPeq = 12;
constexpr float kRightDragFilter = 80;

// log10(23000/18) in single precision, as the grid and the mapping use it.
float AxisLogSpan() {
    return static_cast<float>(std::log10(kAxisMaxHz / kAxisMinHz));
}

bool IsGainType(int type) {
    return type == EQ_PEQ || type == EQ_LS || type == EQ_HS;
}

} // namespace

using namespace eqpanel;

CEqPanel::CEqPanel(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < kMaxBands; ++i) {
        m_band[i].nIndex = i;
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus); // the left button takes the focus itself
}

CEqPanel::~CEqPanel() = default;

// ---- Page operations --------------------------------------------------------------------------------

void CEqPanel::SetBandCount(int n) {
    m_nBandCount = std::clamp(n, 0, static_cast<int>(kMaxBands));
    static constexpr float kFreq[10] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    if (n == 7 || n == 10) {
        for (int i = 0; i < n; ++i) {
            m_band[i].fFreq = kFreq[i];
            m_band[i].nType = EQ_PEQ;
            m_band[i].fQ = 1.41f;
        }
    }
    for (int i = 0; i < m_nBandCount; ++i) {
        m_band[i].nIndex = i;
        m_band[i].fGain = 0;
        CalcCurve(i);
    }
    update();
}

void CEqPanel::SetBandGain(int band, float db) {
    if (!ValidBand(band)) {
        return;
    }
    EqBand& b = m_band[band];
    b.fGain = IsEqGainlessType(b.nType) ? 0.0f : std::clamp(db, kEqGainMin, kEqGainMax);
    CalcCurve(band);
    update();
}

void CEqPanel::SetBandQ(int band, float q) {
    if (!ValidBand(band) || std::fabs(q) < 1e-7f) {
        return;
    }
    EqBand& b = m_band[band];
    b.fQ = std::clamp(q, kEqQMin, EqQMax(b.nType));
    CalcCurve(band);
    update();
}

void CEqPanel::SetBandType(int band, int type) {
    if (!ValidBand(band)) {
        return;
    }
    m_band[band].nType = type;
    if (IsEqFilterType(type))
        SetBandGain(band, 0);
    if (const float q = EqTypeDefaultQ(type); q > 0)
        SetBandQ(band, q);
    CalcCurve(band);
    update();
}

void CEqPanel::SetBandTypeWithCrossover(int band, int type) {
    if (!ValidBand(band)) {
        return;
    }
    if (!IsOutputKind()) {
        SetBandType(band, type);
        return;
    }
    SetBandGain(band, 0);
    if (band != kCrossoverBand) {
        SetBandType(band, type);
        return;
    }
    const std::array<int, 4> codes = CrossoverPreset(type);
    for (int j = 0; j < 4; ++j) {
        SetBandGain(kCrossoverBand + j, 0);
    }
    for (int j = 0; j < 4; ++j) {
        SetBandType(kCrossoverBand + j, codes[j]);
    }
    CalcCurve(kCrossoverBand); // companions take band 9's frequency and Q again
    update();
}

void CEqPanel::SetCrossoverFamily(int band, int family) {
    if (band != kCrossoverBand || !IsOutputKind()) {
        return;
    }
    const std::array<int, 4> codes = CrossoverSections(family, m_band[kCrossoverBand].nType);
    for (int j = 0; j < 4; ++j) {
        m_band[kCrossoverBand + j].fGain = 0;
    }
    for (int j = 0; j < 4; ++j) {
        SetBandType(kCrossoverBand + j, codes[j]);
    }
    for (int j = 3; j >= 0; --j) {
        CalcCurve(kCrossoverBand + j);
    }
    update();
}

void CEqPanel::SetBandFreq(int band, float hz) {
    if (!ValidBand(band)) {
        return;
    }
    EqBand& b = m_band[band];
    b.fFreq = std::clamp(hz, b.fFreqMin, b.fFreqMax);
    CalcCurve(band);
    update();
}

void CEqPanel::UpdateBandCurve(int band) {
    if (!ValidBand(band)) {
        return;
    }
    CalcCurve(band);
    update();
}

// ---- Access -----------------------------------------------------------------------------------------

EqBand* CEqPanel::GetBand(int band) {
    return ValidBand(band) ? &m_band[band] : nullptr;
}

const EqBand* CEqPanel::GetBand(int band) const {
    return ValidBand(band) ? &m_band[band] : nullptr;
}

EqBandEdit CEqPanel::BandEdit(int band) const {
    EqBandEdit edit;
    if (!ValidBand(band))
        return edit;
    const EqBand& b = m_band[band];
    edit.nIndex = band;
    edit.band = BandValues{b.fGain, b.fFreq, b.fQ, b.nType};
    if (band == kCrossoverBand)
        for (int j = 0; j < 3; ++j) {
            const EqBand& c = m_band[kCrossoverBand + 1 + j];
            edit.companions[edit.nCompanions++] = BandValues{0.0f, c.fFreq, c.fQ, c.nType};
        }
    return edit;
}

void CEqPanel::SetSelectedBand(int band) {
    m_nSelBand = ValidBand(band) ? band : -1;
    update();
}

void CEqPanel::SetKind(int kind) {
    m_nKind = kind;
    update();
}

void CEqPanel::SetBypass(bool bypass) {
    if (m_bBypass != bypass) {
        m_bBypass = bypass;
        update();
    }
}

void CEqPanel::SetCurveColour(QRgb argb) {
    m_rgbCurve = argb;
    update();
}

QString CEqPanel::KindTitle(int kind) {
    switch (kind) {
    case EQ_MIC_A:
        return Tr("话筒A均衡", "Mic A EQ");
    case EQ_MIC_B:
        return Tr("话筒B均衡", "Mic B EQ");
    case EQ_REVERB_A:
        return Tr("混响A均衡", "Reverb A EQ");
    case EQ_REVERB_B:
        return Tr("混响B均衡", "Reverb B EQ");
    case EQ_ECHO_A:
        return Tr("回声A均衡", "Echo A EQ");
    case EQ_ECHO_B:
        return Tr("回声B均衡", "Echo B EQ");
    case EQ_MUSIC:
        return Tr("音乐均衡", "Music EQ");
    default:
        break;
    }
    if (IsOutputEq(kind)) {
        return Tr("通道%1均衡", "CH%1 EQ").arg(kind - EQ_OUT1 + 1);
    }
    return QString();
}

QString CEqPanel::GainText(double db) {
    return Format("%+-.1fdB", db);
}

QStringList CEqPanel::GainAxisLabels() {
    QStringList labels;
    for (int i = 0; i <= 10; ++i) {
        // -(15 - 3i) makes the middle value -0.0: its label reads "-0dB" as on the device's own plots.
        labels << Format("%+-.0fdB", -(15.0 - 3.0 * i));
    }
    return labels;
}

QRgb CEqPanel::BandColour(int band) {
    static constexpr QRgb kColour[13] = {0xFA64B4, 0xFF50FF, 0x5050FF, 0x50FF64, 0xFFFF64, 0xFF6464, 0xFFB414,
                                         0xFF64B4, 0xB464FF, 0x8CB4FF, 0x14B4FF, 0x50FFFF, 0x28FFA0};
    return kColour[((band % 13) + 13) % 13];
}

// ---- Coordinates ------------------------------------------------------------------------------------

QRect CEqPanel::PlotArea() const {
    return QRect(QPoint(kPlotLeft, kPlotTop),
                 QPoint(width() - kPlotRightMargin, height() - kPlotBottomMargin));
}

float CEqPanel::FreqToX(float hz) const {
    const QRect rc = PlotArea();
    const float w = static_cast<float>(rc.right() - rc.left());
    return rc.left() + w * std::log10(hz / kAxisMinF) / AxisLogSpan();
}

float CEqPanel::GainToY(float db) const {
    const QRect rc = PlotArea();
    const float h = static_cast<float>(rc.bottom() - rc.top());
    return rc.top() + (kAxisGainTop - db) * h / kAxisGainSpan;
}

float CEqPanel::XToFreq(float xr) const {
    const QRect rc = PlotArea();
    const float w = static_cast<float>(std::max(1, rc.right() - rc.left()));
    return kAxisMinF * std::pow(10.0f, AxisLogSpan() * xr / w);
}

float CEqPanel::YToGain(float yr, int grabY) const {
    const QRect rc = PlotArea();
    const float h = static_cast<float>(std::max(1, rc.bottom() - rc.top()));
    return kAxisGainTop - (yr - grabY) * kAxisGainSpan / h;
}

int CEqPanel::CurveWidth() const {
    const QRect rc = PlotArea();
    return std::max(1, rc.right() - rc.left());
}

// ---- Internals --------------------------------------------------------------------------------------

int CEqPanel::HandleCount() const {
    return IsOutputKind() ? std::min(kHandleCountOutput, m_nBandCount) : m_nBandCount;
}

int CEqPanel::HighestSelectable() const {
    return IsOutputKind() ? kCrossoverBand : m_nBandCount - 1;
}

void CEqPanel::CalcCurve(int band) {
    const int width = CurveWidth();
    if (IsOutputKind() && band == kCrossoverBand) {
        // The core copies band 9's frequency and Q into the companions 10..12 and recomputes them.
        std::vector<EqSection> work = Sections(std::span<const EqBand>(m_band).first(kCrossoverBand + 4));
        CalcSectionCurve(work, kCrossoverBand, true, width);
        for (int j = kCrossoverBand; j < kCrossoverBand + 4; ++j) {
            static_cast<EqSection&>(m_band[j]) = work[j];
        }
        return;
    }
    CalcSectionCurve(m_band[band], width);
}

void CEqPanel::ClampSelected() {
    EqBand& b = m_band[m_nSelBand];
    b.fGain = std::clamp(b.fGain, b.fGainMin, b.fGainMax);
    b.fQ = std::clamp(b.fQ, kEqQMin, IsEqFilterType(b.nType) ? kEqQMaxFilter : kEqQMaxPeq);
    b.fFreq = std::clamp(b.fFreq, b.fFreqMin, b.fFreqMax);
}

void CEqPanel::SendChanged(int band) {
    emit EqBandChanged(BandEdit(band));
}

int CEqPanel::ExecMenu(QMenu& menu, const QPoint& globalPos) {
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

void CEqPanel::PlaceHandles() {
    const QRect rc = PlotArea();
    for (int i = 0; i < HandleCount(); ++i) {
        EqBand& b = m_band[i];
        if (b.nType == EQ_OFF) {
            continue; // an off band keeps the place it was last drawn at
        }
        b.fX = FreqToX(b.fFreq) - rc.left();
        b.fY = GainToY(b.fGain) - rc.top();
    }
}

// ---- Input ------------------------------------------------------------------------------------------

void CEqPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The curves' peak points depend on the plot width.
    for (int i = 0; i < std::max(m_nBandCount, IsOutputKind() ? kCrossoverBand + 4 : 0); ++i) {
        CalcCurve(i);
    }
    update();
}

void CEqPanel::mousePressEvent(QMouseEvent* event) {
    const QRect rc = PlotArea();
    const QPoint pt = event->position().toPoint() - rc.topLeft();
    if (event->button() == Qt::LeftButton) {
        if (m_bRightDrag) {
            return;
        }
        setFocus(Qt::MouseFocusReason);
        m_ptPress = pt;
        m_bLeftDrag = true;
        m_bMoved = false;
        m_bPressHit = false;
        m_nSelBand = -1;
        PlaceHandles();
        for (int i = 0; i < HandleCount(); ++i) {
            const EqBand& b = m_band[i];
            if (b.nType != EQ_OFF && std::fabs(b.fX - pt.x()) < kHitLeft &&
                std::fabs(b.fY - pt.y()) < kHitLeft) {
                m_nSelBand = i;
                m_bPressHit = true;
                m_ptGrab = QPoint(static_cast<int>(std::lround(pt.x() - b.fX)),
                                  static_cast<int>(std::lround(pt.y() - b.fY)));
                SendChanged(i);
                break;
            }
        }
        update();
    } else if (event->button() == Qt::RightButton) {
        if (m_bLeftDrag) {
            return;
        }
        m_ptPress = pt;
        m_bRightDrag = true;
        m_bMoved = false;
        m_nSelBand = -1;
        PlaceHandles();
        for (int i = 0; i < HandleCount(); ++i) {
            const EqBand& b = m_band[i];
            if (std::fabs(b.fX - pt.x()) < kHitRight && std::fabs(b.fY - pt.y()) < kHitRight) {
                m_nSelBand = i;
                m_nLastX = pt.x();
                SendChanged(i);
                break;
            }
        }
        update();
    }
}

void CEqPanel::mouseMoveEvent(QMouseEvent* event) {
    const QRect rc = PlotArea();
    const QPoint pt = event->position().toPoint() - rc.topLeft();
    if (!m_bLeftDrag && !m_bRightDrag) {
        if (event->buttons() == Qt::NoButton) {
            PlaceHandles();
            m_nHoverBand = -1;
            for (int i = 0; i < HandleCount(); ++i) {
                const EqBand& b = m_band[i];
                if (b.nType != EQ_OFF && std::fabs(b.fX - pt.x()) < kHitRight &&
                    std::fabs(b.fY - pt.y()) < kHitRight) {
                    m_nHoverBand = i; // the last one wins
                }
            }
        }
        update();
        return;
    }
    if (std::abs(pt.x() - m_ptPress.x()) > 1 || std::abs(pt.y() - m_ptPress.y()) > 1) {
        m_bMoved = true;
    }
    if (!m_bMoved || m_nSelBand < 0) {
        update();
        return;
    }
    EqBand& b = m_band[m_nSelBand];
    if (m_bLeftDrag) {
        float gain = YToGain(static_cast<float>(pt.y()), m_ptGrab.y());
        gain = IsGainType(b.nType) ? std::round(gain * 10.0f) / 10.0f : 0.0f;
        b.fGain = std::clamp(gain, b.fGainMin, b.fGainMax);
        b.fFreq = std::clamp(XToFreq(static_cast<float>(pt.x())), b.fFreqMin, b.fFreqMax);
    } else {
        const bool filter = IsEqFilterType(b.nType);
        const float d = filter ? kRightDragFilter : kRightDragPeq;
        const float qMax = filter ? kEqQMaxFilter : kEqQMaxPeq;
        b.fQ = std::clamp(b.fQ + static_cast<float>(pt.x() - m_nLastX) / d, kEqQMin, qMax);
        m_nLastX = pt.x();
    }
    CalcCurve(m_nSelBand);
    SendChanged(m_nSelBand);
    update();
}

void CEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_bLeftDrag) {
        m_bLeftDrag = false;
        if (!m_bPressHit) {
            emit EqBandDeselect();
        } else if (m_bMoved && m_nSelBand >= 0) {
            SendChanged(m_nSelBand);
        }
        update();
    } else if (event->button() == Qt::RightButton && m_bRightDrag) {
        m_bRightDrag = false;
        const QPoint global = event->globalPosition().toPoint();
        if (m_nSelBand < 0) {
            QMenu menu(this);
            menu.addAction(Tr("复制均衡", "Copy EQ"))->setData(ID_EQ_COPY);
            menu.addAction(Tr("粘贴均衡", "Paste EQ"))->setData(ID_EQ_PASTE);
            menu.addSeparator();
            menu.addAction(Tr("导入滤波器…", "Import filters…"))->setData(ID_EQ_IMPORT);
            menu.addAction(Tr("导出滤波器…", "Export filters…"))->setData(ID_EQ_EXPORT);
            menu.addAction(Tr("根据测量自动均衡…", "Auto EQ from measurement…"))->setData(ID_EQ_AUTO);
            const int id = ExecMenu(menu, global);
            if (id == ID_EQ_COPY || id == ID_EQ_PASTE) {
                emit EqCopyPaste(id - ID_EQ_COPY, m_nKind);
            } else if (id == ID_EQ_IMPORT || id == ID_EQ_EXPORT) {
                emit EqFilterFile(id == ID_EQ_IMPORT, m_nKind);
            } else if (id == ID_EQ_AUTO) {
                emit EqAutoEq(m_nKind);
            }
        } else {
            SendChanged(m_nSelBand);
            if (!m_bMoved) {
                QMenu menu(this);
                menu.addAction(Tr("参量(PEQ)", "PEQ"))->setData(ID_EQ_TYPE_PEQ);
                menu.addAction(Tr("低通(LP)", "LP"))->setData(ID_EQ_TYPE_LP);
                menu.addAction(Tr("高通(HP)", "HP"))->setData(ID_EQ_TYPE_HP);
                menu.addAction(Tr("低架(LS)", "LS"))->setData(ID_EQ_TYPE_LS);
                menu.addAction(Tr("高架(HS)", "HS"))->setData(ID_EQ_TYPE_HS);
                const int id = ExecMenu(menu, global);
                // The selection may have changed while the menu ran its own event loop.
                if (id >= ID_EQ_TYPE_PEQ && id <= ID_EQ_TYPE_HS && m_nSelBand >= 0) {
                    SetBandTypeWithCrossover(m_nSelBand, id - 2024);
                    SendChanged(m_nSelBand);
                }
            }
        }
        update();
    }
}

void CEqPanel::wheelEvent(QWheelEvent* event) {
    event->accept(); // never passed on to the page
    if (m_nSelBand < 0 || !IsGainType(m_band[m_nSelBand].nType)) {
        return;
    }
    const QPoint delta = event->angleDelta();
    const int d = delta.y() != 0 ? delta.y() : delta.x();
    if (d == 0) {
        return;
    }
    EqBand& b = m_band[m_nSelBand];
    b.fGain = std::clamp(b.fGain + (d < 0 ? -0.1f : 0.1f), b.fGainMin, b.fGainMax);
    CalcCurve(m_nSelBand);
    SendChanged(m_nSelBand);
    update();
}

void CEqPanel::keyPressEvent(QKeyEvent* event) {
    event->accept(); // every key is consumed
    if (m_nSelBand < 0) {
        return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int key = event->key();
    EqBand* b = &m_band[m_nSelBand];
    const int last = HighestSelectable();

    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const int band = key == Qt::Key_0 ? 9 : key - Qt::Key_1;
        if (band < (IsOutputKind() ? kHandleCountOutput : m_nBandCount)) {
            m_nSelBand = band;
            emit EqBandPicked(&m_band[band], band);
            update();
        }
        return;
    }

    switch (key) {
    case Qt::Key_PageUp:
        m_nSelBand = std::max(m_nSelBand - 1, 0);
        break;
    case Qt::Key_PageDown:
        m_nSelBand = std::min(m_nSelBand + 1, last);
        break;
    case Qt::Key_End:
        m_nSelBand = last;
        break;
    case Qt::Key_Home:
        m_nSelBand = 0;
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const float f = b->fFreq;
        const float step = f > 10000 ? 100 : f > 1000 ? 10 : f > 100 ? 5 : 2;
        const float sign = key == Qt::Key_Right ? 1.0f : -1.0f;
        b->fFreq = f + sign * (step + (ctrl ? 1.0f : 0.0f));
        break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (IsGainType(b->nType)) {
            const float step = ctrl ? 0.1f : 0.2f;
            b->fGain += key == Qt::Key_Up ? step : -step;
        }
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // the +/= key without Shift
        b->fQ += ctrl ? 0.01f : 0.1f;
        break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        b->fQ -= ctrl ? 0.01f : 0.1f;
        break;
    case Qt::Key_Comma:
    case Qt::Key_Less:
    case Qt::Key_Period:
    case Qt::Key_Greater: {
        if (IsOutputKind() && m_nSelBand == kCrossoverBand) {
            return;
        }
        const bool prev = key == Qt::Key_Comma || key == Qt::Key_Less;
        if (prev && b->nType >= EQ_LP && b->nType <= EQ_HS) {
            SetBandType(m_nSelBand, b->nType - 1);
        } else if (!prev && b->nType >= EQ_PEQ && b->nType <= EQ_LS) {
            SetBandType(m_nSelBand, b->nType + 1);
        }
        break;
    }
    default:
        return;
    }
    if (m_nSelBand < 0 || m_nSelBand >= kMaxBands) {
        m_nSelBand = -1;
        update();
        return;
    }
    ClampSelected();
    CalcCurve(m_nSelBand);
    SendChanged(m_nSelBand);
    update();
}
