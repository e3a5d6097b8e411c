#include "pages/CompDlg.h"

#include "controls/CompressPanelPlus.h"
#include "controls/XBmpSlider.h"
#include "link/Link.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "pages/SubPageHelpers.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <cmath>

CCompDlg::CCompDlg(const PageContext& context, int channel, QWidget* parent)
    : CPage(kTemplateCompressorPage, context, parent) {
    // Remembered for the row's page buttons, so that going on keeps the output page's channel.
    m_nOpenedWith = std::clamp(channel < 0 ? State().nOutputChannel : channel, 0, kOutputChannels - 1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PageColor());
    setPalette(pal);

    m_pRow = std::make_unique<CChannelButtonRow>(
        this, [this] { return m_nOpenedWith; }, [this](int k) { emit OpenPage(kTemplateOutputPage, k); });
    m_pListLabel = MakeText(this, IDC_CHANNEL_LABEL, Qt::AlignRight | Qt::AlignVCenter);
    m_pList = new QComboBox(this);
    SetCtrlId(m_pList, IDC_CHANNEL_LIST);
    connect(m_pList, &QComboBox::activated, this, &CCompDlg::OnChannel);
    m_pOn = new QCheckBox(this);
    SetCtrlId(m_pOn, IDC_COMP_ON);
    connect(m_pOn, &QCheckBox::clicked, this, &CCompDlg::OnCompOn);
    for (int j = 0; j < 4; ++j) {
        m_pLabel[j] = MakeText(this, kLabelIds[j], Qt::AlignRight | Qt::AlignVCenter);
        m_pValue[j] = new QLineEdit(this);
        SetCtrlId(m_pValue[j], kValueIds[j]);
        m_pValue[j]->setReadOnly(true);
        m_pValue[j]->setFocusPolicy(Qt::NoFocus);
        connect(m_comp.Make(this, j, kSliderIds[j], m_pValue[j]), &CXBmpSlider::SliderPos, this,
                &CCompDlg::OnSlider);
    }
    m_pPanel = new CCompressPanelPlus(this);
    SetCtrlId(m_pPanel, IDC_PANEL);
    m_pPanel->SetLowerPoint(-90.0f);
    m_pPanel->SetSlopeBelow(1.0f);

    resize(1024, 520);
    LayoutControls();
    Refresh();
    ReloadTexts();
    new CWheelForwarder(this);
}

CCompDlg::~CCompDlg() = default;

void CCompDlg::LayoutControls() {
    const CDluScale dlu(744, 320);
    for (int k = 0; k < 8; ++k)
        m_pRow->Channel(k)->setGeometry(dlu.Rect(12 + 66 * k, 3, 62, 16));
    for (int j = 0; j < 3; ++j)
        m_pRow->PageButton(j)->setGeometry(dlu.Rect(12 + 66 * (8 + j), 3, 62, 16));
    m_pListLabel->setGeometry(dlu.Rect(8, 34, 60, 12));
    m_pList->setGeometry(dlu.Rect(72, 32, 70, 14));
    m_pOn->setGeometry(dlu.Rect(160, 33, 90, 12));
    for (int j = 0; j < 4; ++j) {
        const int y = 62 + 36 * j;
        m_pLabel[j]->setGeometry(dlu.Rect(8, y, 60, 12));
        m_comp.Slider(j)->setGeometry(dlu.Rect(72, y - 1, 130, 14));
        m_pValue[j]->setGeometry(dlu.Rect(208, y - 1, 40, 14));
    }
    const QRect panel = dlu.Rect(262, 32, 474, 280);
    m_pPanel->setGeometry(panel.x(), panel.y(), std::max(width() - panel.x() - dlu.X(8), 100),
                          std::max(height() - panel.y() - dlu.Y(6), 100));
}

void CCompDlg::resizeEvent(QResizeEvent* event) {
    CPage::resizeEvent(event);
    LayoutControls();
}

void CCompDlg::FillChannelList() {
    const int keep = m_pList->count() ? m_pList->currentIndex() : 0;
    m_pList->clear();
    for (int c = 1; c <= kOutputChannels; ++c)
        m_pList->addItem(Tr("通道", "CH ") + QString::number(c));
    m_pList->setCurrentIndex(std::max(keep, 0));
}

void CCompDlg::ReloadTexts() {
    ApplyTexts(this, kTemplateCompressorPage);
    FillChannelList();
}

void CCompDlg::Refresh() {
    const int c = m_nChannel;
    const CompValues v = ReadCompValues(c);
    const bool on = SlotValue(SET_OUT_COMP_BYPASS + c) == 0;
    m_pOn->setChecked(on);
    m_comp.Show(v);
    m_pPanel->SetOn(on ? 1 : 0);
    m_pPanel->SetThreshold(v.fThreshold);
    m_pPanel->SetRatio(v.fRatio);
    m_pRow->ShowPressed(-1, kTemplateCompressorPage);
}

void CCompDlg::OnSlider(int id, int pos) {
    const int which = m_comp.Which(id);
    if (which < 0)
        return;
    const CMergeableEdits merge; // a newer position replaces one still waiting to go out
    const CompValues v = CompWithSlider(ReadCompValues(m_nChannel), which, pos, false);
    m_comp.ShowText(which, v);
    if (which == COMP_THRESHOLD)
        m_pPanel->SetThreshold(v.fThreshold);
    if (which == COMP_RATIO)
        m_pPanel->SetRatio(v.fRatio);
    StoreAndSendComp(m_nChannel, v);
}

void CCompDlg::OnCompOn(bool on) {
    SetSlot(SET_OUT_COMP_BYPASS + m_nChannel, on ? 0 : 1);
    m_pPanel->SetOn(on ? 1 : 0);
}

void CCompDlg::OnChannel(int index) {
    if (index < 0 || index >= kOutputChannels)
        return;
    m_nChannel = index;
    Refresh();
}
