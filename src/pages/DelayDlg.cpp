#include "pages/DelayDlg.h"

#include "controls/DelayPanel.h"
#include "controls/SpinButtons.h"
#include "controls/XBmpSlider.h"
#include "link/Link.h"
#include "model/Compound.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "pages/SubPageHelpers.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRowY[8] = {30, 66, 106, 141, 175, 213, 252, 288};
const CDluScale kDlu(744, 320);

float HeldDelay(float ms) {
    if (!(ms >= CDelayPanel::kDelayMin)) // NaN too
        return CDelayPanel::kDelayMin;
    return std::min(ms, CDelayPanel::kDelayMax);
}

QString DelayText(float ms) {
    return CFormat("%.1fms", ms);
}

int SpinPos(float ms) {
    return GuardedInt(static_cast<double>(ms) * 10.0, 0, 1000);
}

} // namespace

CDelayDlg::CDelayDlg(const PageContext& context, int channel, QWidget* parent)
    : CPage(kTemplateDelayPage, context, parent) {
    m_nChannel = std::clamp(channel < 0 ? State().nOutputChannel : channel, 0, kOutputChannels - 1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PageColor());
    setPalette(pal);
    CreateControls();
    resize(1024, 520);
    LayoutControls();
    Refresh();
    ReloadTexts();
    std::vector<QWidget*> extra(m_pEdit.begin(), m_pEdit.end());
    new CWheelForwarder(this, extra);
}

CDelayDlg::~CDelayDlg() = default;

void CDelayDlg::CreateControls() {
    m_pRow = std::make_unique<CChannelButtonRow>(
        this, [this] { return m_nChannel; }, [this](int k) { emit OpenPage(kTemplateOutputPage, k); });

    m_pPanel = new CDelayPanel(this);
    SetCtrlId(m_pPanel, kPanelId);
    m_pPanel->SetChannelCount(kOutputChannels);
    m_pPanel->Initialise();
    connect(m_pPanel, &CDelayPanel::DelayMoved, this, &CDelayDlg::OnDelayMoved);

    for (int c = 0; c < kOutputChannels; ++c) {
        m_pSwitch[c] = new QCheckBox(this);
        SetCtrlId(m_pSwitch[c], kSwitchIds[c]);
        connect(m_pSwitch[c], &QCheckBox::clicked, this, [this, c](bool on) { OnSwitch(c, on); });
        auto* group = new QButtonGroup(this);
        m_pHf[c] = new QRadioButton(this);
        SetCtrlId(m_pHf[c], kHfIds[c]);
        m_pWhole[c] = new QRadioButton(this);
        SetCtrlId(m_pWhole[c], kWholeIds[c]);
        group->addButton(m_pHf[c]);
        group->addButton(m_pWhole[c]);
        m_pHf[c]->setChecked(true);
        connect(m_pHf[c], &QRadioButton::clicked, this, [this, c] { OnMode(c, 0); });
        connect(m_pWhole[c], &QRadioButton::clicked, this, [this, c] { OnMode(c, 1); });
        m_pName[c] = MakeText(this, kNameIds[c], Qt::AlignLeft | Qt::AlignVCenter);
        m_pSplit[c] = new CXBmpSlider(this, kSplitIds[c], false);
        m_pSplit[c]->SetRange(0, kSplitCount - 1);
        m_pSplit[c]->SetPos(0);
        m_pSplit[c]->Enable(false);
        connect(m_pSplit[c], &CXBmpSlider::SliderPos, this, [this, c](int, int pos) { OnSplit(c, pos); });
        m_pFreq[c] = MakeText(this, kFreqIds[c], Qt::AlignLeft | Qt::AlignVCenter);
        m_pEdit[c] = new CValueEdit(this, kEditIds[c]);
        connect(m_pEdit[c], &CValueEdit::Entered, this, [this, c] { OnEnter(c); });
        m_pSpin[c] = new CSpinButtons(this, kSpinIds[c]);
        m_pSpin[c]->SetRange(16, 1000);
        m_pSpin[c]->SetPos(1);
        connect(m_pSpin[c], &CSpinButtons::DeltaPos, this,
                [this, c](int, int pos, int delta) { OnSpin(c, pos, delta); });
        for (QWidget* w : {static_cast<QWidget*>(m_pHf[c]), static_cast<QWidget*>(m_pWhole[c]),
                           static_cast<QWidget*>(m_pName[c]), static_cast<QWidget*>(m_pFreq[c]),
                           static_cast<QWidget*>(m_pEdit[c]), static_cast<QWidget*>(m_pSpin[c])})
            w->setEnabled(false);
    }
}

void CDelayDlg::LayoutControls() {
    for (int k = 0; k < 8; ++k)
        m_pRow->Channel(k)->setGeometry(kDlu.Rect(12 + 66 * k, 3, 62, 16));
    for (int j = 0; j < 3; ++j)
        m_pRow->PageButton(j)->setGeometry(kDlu.Rect(12 + 66 * (8 + j), 3, 62, 16));
    // Three lines a channel: switch, name and delay box; the two radios and the split frequency;
    // the split slider.
    for (int c = 0; c < kOutputChannels; ++c) {
        const int y = kRowY[c];
        m_pSwitch[c]->setGeometry(kDlu.Rect(12, y - 8, 34, 10));
        m_pName[c]->setGeometry(kDlu.Rect(50, y - 8, 40, 10));
        m_pEdit[c]->PlaceFitting(kDlu.Rect(130, y - 9, 33, 11), DelayText(CDelayPanel::kDelayMax));
        m_pSpin[c]->setGeometry(kDlu.Rect(164, y - 9, 10, 11));
        m_pHf[c]->setGeometry(kDlu.Rect(12, y + 3, 64, 10));
        m_pWhole[c]->setGeometry(kDlu.Rect(78, y + 3, 52, 10));
        m_pFreq[c]->setGeometry(kDlu.Rect(135, y + 3, 40, 10));
        m_pSplit[c]->setGeometry(kDlu.Rect(12, y + 12, 118, 14));
    }
    const QRect panel = kDlu.Rect(193, 25, 536, 284);
    m_pPanel->setGeometry(panel.x(), panel.y(), std::max(width() - panel.x() - kDlu.X(8), 100),
                          std::max(height() - panel.y() - kDlu.Y(6), 100));
}

void CDelayDlg::resizeEvent(QResizeEvent* event) {
    CPage::resizeEvent(event);
    LayoutControls();
}

void CDelayDlg::ReloadTexts() {
    ApplyTexts(this, kTemplateDelayPage);
}

void CDelayDlg::Select(int channel) {
    if (channel >= 0 && channel < kOutputChannels)
        m_nChannel = channel;
    Refresh();
}

void CDelayDlg::Refresh() {
    for (int c = 0; c < kOutputChannels; ++c) {
        const float ms = SlotFloatValue(SET_OUT_DELAY + c);
        m_pSpin[c]->SetPos(SpinPos(ms));
        m_pEdit[c]->setText(DelayText(ms));
        m_pPanel->SetDelay(ms, c);
    }
    for (int c = 0; c < kOutputChannels; ++c) {
        const int split = std::clamp(CurrentSplitIndex(c), 0, kSplitCount - 1);
        m_pSplit[c]->SetPos(split);
        m_pFreq[c]->setText(QString::asprintf("%dHz", SplitLowHz(split)));
    }
    for (int c = 0; c < kOutputChannels; ++c) {
        m_pSwitch[c]->setChecked(SlotValue(SET_OUT_DELAY_OFF + c) == 0);
        if (SlotValue(SET_OUT_DELAY_WHOLE + c) == 0)
            m_pHf[c]->setChecked(true);
        else
            m_pWhole[c]->setChecked(true);
        EnableChannel(c);
    }
    m_pRow->ShowPressed(-1, kTemplateDelayPage);
}

void CDelayDlg::EnableChannel(int c) {
    const bool on = m_pSwitch[c]->isChecked();
    const bool hf = on && m_pHf[c]->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(m_pHf[c]), static_cast<QWidget*>(m_pWhole[c]),
                       static_cast<QWidget*>(m_pName[c]), static_cast<QWidget*>(m_pEdit[c]),
                       static_cast<QWidget*>(m_pSpin[c])})
        w->setEnabled(on);
    m_pSplit[c]->Enable(hf);
    m_pFreq[c]->setEnabled(hf);
}

// ---- Delay -----------------------------------------------------------------------------------------

void CDelayDlg::SetDelay(int c, float ms) {
    if (c < 0 || c >= kOutputChannels)
        return;
    // Held first, so that the box never shows a value the store did not take.
    const float v = HeldDelay(ms);
    m_pPanel->SetDelay(v, c);
    m_pEdit[c]->setText(DelayText(v));
    if (v != SlotFloatValue(SET_OUT_DELAY + c))
        SetSlotFloat(SET_OUT_DELAY + c, v);
}

void CDelayDlg::OnSpin(int c, int pos, int delta) {
    const int p = std::clamp(pos + (delta > 0 ? 1 : delta < 0 ? -1 : 0), 1, 1000);
    const CMergeableEdits merge;
    SetDelay(c, static_cast<float>(p / 10.0));
}

void CDelayDlg::OnEnter(int c) {
    const float ms = HeldDelay(static_cast<float>(LeadingNumber(m_pEdit[c]->text())));
    OnDelayMoved(c, ms);
}

void CDelayDlg::OnDelayMoved(int c, float ms) {
    if (c < 0 || c >= kOutputChannels)
        return;
    const CMergeableEdits merge; // a marker drag sends many
    m_pEdit[c]->setFocus();
    SetDelay(c, ms);
    m_pSpin[c]->SetPos(SpinPos(HeldDelay(ms)));
}

// ---- Switches, mode, split -------------------------------------------------------------------------

void CDelayDlg::OnSwitch(int c, bool on) {
    SetSlot(SET_OUT_DELAY_OFF + c, on ? 0 : 1);
    EnableChannel(c);
}

void CDelayDlg::OnMode(int c, int whole) {
    EnableChannel(c);
    SetDelayMode(c, whole);
}

void CDelayDlg::OnSplit(int c, int index) {
    const CMergeableEdits merge;
    SetSplit(c, index);
    m_pFreq[c]->setText(QString::asprintf("%dHz", SplitLowHz(CurrentSplitIndex(c))));
}
