#include "pages/DialogOutput.h"

#include "controls/EqBandEditor.h"
#include "controls/EqPanel.h"
#include "controls/XBmpSlider.h"
#include "dsp/FilterResponse.h"
#include "link/Codec.h"
#include "link/Link.h"
#include "model/Compound.h"
#include "model/Defaults.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "pages/AutoEqDlg.h"
#include "pages/EqHooks.h"
#include "pages/PageHelpers.h"
#include "pages/SubPageHelpers.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Templates.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSvgRenderer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

QString RoleName(int role) {
    static const char* const kZh[8] = {"前置左", "前置右", "后环绕左", "后环绕右",
                                       "超低",   "中置",   "侧环绕左", "侧环绕右"};
    static const char* const kEn[8] = {"CH-L",   "CH-R",   "CH-SBL", "CH-SBR",
                                       "CH-SUB", "CH-CEN", "CH-SL",  "CH-SR"};
    return Tr(kZh[role], kEn[role]);
}

// Base layout, at the host's minimum page size of 1024 x 520.
constexpr int kLeftX = 4;
constexpr int kLeftW = 266;
constexpr int kRightX = 276;
constexpr int kChannelPitch = 84;
constexpr int kEqTop = 210;
constexpr int kMargin = 4;

} // namespace

CDialogOutput::CDialogOutput(int channel, QWidget* parent) : CDialogOutput(PageContext{}, channel, parent) {}

CDialogOutput::CDialogOutput(const PageContext& context, int channel, QWidget* parent)
    : CPage(kTemplateOutputPage, context, parent) {
    m_nChannel = std::clamp(channel < 0 ? State().nOutputChannel : channel, 0, kOutputChannels - 1);
    State().nOutputChannel = m_nChannel;
    CreateControls();
    resize(1024, 520);
    LayoutControls();
    FillRoleLists();
    ApplyTexts(this, kTemplateOutputPage);
    Refresh();
    // The wheel goes to the focused panel or slider wherever the cursor is on the page.
    new CWheelForwarder(this, {m_pEqPanel});
}

CDialogOutput::~CDialogOutput() = default;

// ---- Construction --------------------------------------------------------------------------------

void CDialogOutput::CreateControls() {
    m_pBanner = MakeText(this, IDC_BANNER);

    m_pRow = std::make_unique<CChannelButtonRow>(
        this, [this] { return m_nChannel; }, [this](int k) { SelectChannel(k); });
    for (int k = 0; k < kOutputChannels; ++k)
        m_pChannelButtons[k] = m_pRow->Channel(k);
    for (int j = 0; j < 3; ++j)
        m_pPageButtons[j] = m_pRow->PageButton(j);

    // All eight channels side by side, in a smaller type so that "Phase 180°" fits its column.
    QFont small = font();
    small.setPixelSize(10);
    for (int k = 0; k < kOutputChannels; ++k) {
        m_pRole[k] = new QComboBox(this);
        SetCtrlId(m_pRole[k], kRoleIds[k]);
        connect(m_pRole[k], &QComboBox::activated, this, [this, k](int s) { OnRole(k, s); });
        m_pMute[k] = new QCheckBox(this);
        SetCtrlId(m_pMute[k], kMuteIds[k]);
        connect(m_pMute[k], &QCheckBox::clicked, this, [this, k](bool on) { OnMute(k, on); });
        m_pPhase[k] = new QCheckBox(this);
        SetCtrlId(m_pPhase[k], kPhaseIds[k]);
        connect(m_pPhase[k], &QCheckBox::clicked, this, [this, k](bool on) { OnPhase(k, on); });
        m_pLink[k] = new QCheckBox(this);
        SetCtrlId(m_pLink[k], kLinkIds[k]);
        for (QCheckBox* box : {m_pMute[k], m_pPhase[k], m_pLink[k]})
            box->setFont(small);
    }

    // Mixer sends.
    m_pMixGroup = new QGroupBox(this);
    for (int j = 0; j < 4; ++j) {
        m_pMixLabel[j] = MakeText(m_pMixGroup, kMixLabelIds[j]);
        m_pMix[j] = new CXBmpSlider(m_pMixGroup, kMixIds[j], true);
        m_pMix[j]->SetRange(0, 100);
        m_pMixText[j] = MakeText(m_pMixGroup, kMixTextIds[j]);
        static constexpr const char* kRows[4] = {"SET_OUT_MIX_DIRECT[1]", "SET_OUT_MIX_REVERB[1]",
                                                 "SET_OUT_MIX_ECHO[1]", "SET_OUT_MIX_MUSIC[1]"};
        m_bindings.Add(kRows[j], m_pMix[j], m_pMixText[j], [this] { return LinkedSet(); });
    }

    // Delay.
    m_pDelayGroup = new QGroupBox(this);
    m_pDelaySwitch = new QCheckBox(m_pDelayGroup);
    SetCtrlId(m_pDelaySwitch, IDC_DELAY_SWITCH);
    connect(m_pDelaySwitch, &QCheckBox::clicked, this, &CDialogOutput::OnDelaySwitch);
    m_pDelayHf = new QRadioButton(m_pDelayGroup);
    SetCtrlId(m_pDelayHf, IDC_DELAY_HF);
    connect(m_pDelayHf, &QRadioButton::clicked, this, [this] { OnDelayMode(0); });
    m_pDelayWhole = new QRadioButton(m_pDelayGroup);
    SetCtrlId(m_pDelayWhole, IDC_DELAY_WHOLE);
    connect(m_pDelayWhole, &QRadioButton::clicked, this, [this] { OnDelayMode(1); });
    m_pSplit = new CXBmpSlider(m_pDelayGroup, IDC_SPLIT, false);
    m_pSplit->SetRange(0, kSplitCount - 1);
    m_pSplitText = MakeText(m_pDelayGroup, IDC_SPLIT_TEXT);
    m_pDelay = new CXBmpSlider(m_pDelayGroup, IDC_DELAY, false);
    m_pDelay->SetRange(16, 1000);
    m_pDelayText = MakeText(m_pDelayGroup, IDC_DELAY_TEXT);

    // Compressor.
    m_pCompGroup = new QGroupBox(this);
    m_pCompSwitch = new QCheckBox(m_pCompGroup);
    SetCtrlId(m_pCompSwitch, IDC_COMP_SWITCH);
    connect(m_pCompSwitch, &QCheckBox::clicked, this, &CDialogOutput::OnCompSwitch);
    const int compIds[4] = {IDC_THRESHOLD, IDC_RATIO, IDC_ATTACK, IDC_RELEASE};
    const int compTextIds[4] = {IDC_THRESHOLD_TEXT, IDC_RATIO_TEXT, IDC_ATTACK_TEXT, IDC_RELEASE_TEXT};
    const int compLabelIds[4] = {IDC_THRESHOLD_LABEL, IDC_RATIO_LABEL, IDC_ATTACK_LABEL, IDC_RELEASE_LABEL};
    for (int j = 0; j < 4; ++j) {
        m_pCompLabel[j] = MakeText(m_pCompGroup, compLabelIds[j], Qt::AlignRight | Qt::AlignVCenter);
        m_pCompText[j] = MakeText(m_pCompGroup, compTextIds[j], Qt::AlignLeft | Qt::AlignVCenter);
        m_comp.Make(m_pCompGroup, j, compIds[j], m_pCompText[j]);
    }

    for (CXBmpSlider* s : findChildren<CXBmpSlider*>())
        connect(s, &CXBmpSlider::SliderPos, this, &CDialogOutput::OnSliderPos);

    // Equaliser: the panel and, beside it, the band grid and editor that listen to it.
    m_pEqPanel = new CEqPanel(this);
    SetCtrlId(m_pEqPanel, IDC_EQ_PANEL);
    m_pEditor = new CEqBandEditor(m_pEqPanel, kTemplateOutputPage, this);
    SetEditorHooks();
}

void CDialogOutput::SetEditorHooks() {
    EqEditorHooks hooks = StoreEqHooks(OutputEq(m_nChannel), kBandCount, kMaxLoadType, &State());
    // A band edit reaches every linked channel.
    hooks.writeBand = [this](int, int band, const BandValues& v, std::span<const BandValues> companions) {
        const std::vector<int> channels = LinkedSet();
        WriteOutputBand(channels, band, v, companions);
    };
    // An imported filter text or an auto EQ, like an edit, reaches every linked channel.
    auto linkedEqs = [this] {
        std::vector<int> eqs;
        for (int c : LinkedSet())
            eqs.push_back(OutputEq(c));
        return eqs;
    };
    hooks.importFilters = [linkedEqs](int, const QString& path) {
        return ImportFilterFile(linkedEqs(), path);
    };
    hooks.applyFit = [linkedEqs](int, const EqFitOutcome& fit) { return ApplyEqFit(linkedEqs(), fit); };
    m_pEditor->SetHooks(hooks);
    InstallAutoEq(this, m_pEditor);
}

void CDialogOutput::LayoutControls() {
    const int w = std::max(width(), 1024);
    const int h = std::max(height(), 520);

    m_pBanner->setGeometry(kLeftX, 4, kLeftW, 40);
    for (int k = 0; k < kOutputChannels; ++k) {
        const int x = kRightX + k * kChannelPitch;
        m_pChannelButtons[k]->setGeometry(x, 4, kChannelPitch - 4, 32);
        m_pRole[k]->setGeometry(x, 40, kChannelPitch - 4, 22);
        m_pMute[k]->setGeometry(x + 1, 64, kChannelPitch - 1, 18);
        m_pPhase[k]->setGeometry(x + 1, 83, kChannelPitch - 1, 18);
        m_pLink[k]->setGeometry(x + 1, 102, kChannelPitch - 1, 18);
    }
    const int pageX = kRightX + kOutputChannels * kChannelPitch;
    for (int j = 0; j < 3; ++j)
        m_pPageButtons[j]->setGeometry(pageX, 4 + 38 * j, 1024 - kMargin - pageX, 32);

    m_pMixGroup->setGeometry(kLeftX, 48, kLeftW, kEqTop - 52);
    for (int j = 0; j < 4; ++j) {
        const int cx = 6 + j * 64;
        m_pMixLabel[j]->setGeometry(cx - 4, 4, 64, 18);
        m_pMix[j]->setGeometry(cx + 18, 24, 24, 106);
        m_pMixText[j]->setGeometry(cx - 4, 132, 64, 18);
    }

    m_pDelayGroup->setGeometry(kRightX, 124, 330, 82);
    m_pDelaySwitch->setGeometry(8, 6, 104, 20);
    m_pDelayHf->setGeometry(114, 6, 104, 20);
    m_pDelayWhole->setGeometry(220, 6, 108, 20);
    m_pSplit->setGeometry(8, 30, 250, 22);
    m_pSplitText->setGeometry(262, 30, 62, 22);
    m_pDelay->setGeometry(8, 54, 250, 22);
    m_pDelayText->setGeometry(262, 54, 62, 22);

    const int compX = kRightX + 334;
    m_pCompGroup->setGeometry(compX, 124, w - kMargin - compX, 82);
    m_pCompSwitch->setGeometry(8, 4, 200, 20);
    const int colW = (m_pCompGroup->width() - 8) / 2;
    for (int j = 0; j < 4; ++j) {
        const int x = 4 + (j % 2) * colW;
        const int y = 28 + (j / 2) * 26;
        m_pCompLabel[j]->setGeometry(x, y, 78, 22);
        m_comp.Slider(j)->setGeometry(x + 82, y, colW - 82 - 50, 22);
        m_pCompText[j]->setGeometry(x + colW - 48, y, 48, 22);
    }

    // The grid keeps the height it had when the page was first shown; the panel takes the rest.
    const int gridH = m_bGridHeightKept ? m_nGridHeight : h - kEqTop - kMargin;
    m_pEditor->setGeometry(kLeftX, kEqTop, kLeftW, gridH);
    m_pEqPanel->setGeometry(kRightX, kEqTop, w - kMargin - kRightX, h - kMargin - kEqTop);
}

void CDialogOutput::FillRoleLists() {
    for (QComboBox* list : m_pRole) {
        list->clear();
        for (int r = 0; r < 8; ++r)
            list->addItem(RoleName(r));
    }
}

void CDialogOutput::UpdateBanner() {
    const QSize size = m_pBanner->size();
    if (size.isEmpty())
        return;
    const QString title = IsEnglish() ? QStringLiteral("OUTPUT  CH %1").arg(m_nChannel + 1)
                                      : QStringLiteral("输出  通道%1").arg(m_nChannel + 1);
    m_pBanner->setPixmap(BannerPixmap(this, size, title));
}

// ---- Channel and texts ---------------------------------------------------------------------------

void CDialogOutput::SelectChannel(int c) {
    if (c < 0 || c >= kOutputChannels)
        return;
    m_nChannel = c;
    State().nOutputChannel = c;
    emit ChannelSelected(c);
    Refresh();
    ReloadTexts();
    Refresh();
}

void CDialogOutput::ReloadTexts() {
    ApplyTexts(this, kTemplateOutputPage);
    FillRoleLists();
    // The role lists were refilled: show the stored roles again.
    for (int k = 0; k < kOutputChannels; ++k)
        m_pRole[k]->setCurrentIndex(std::clamp(SlotValue(SET_OUT_ROLE + k), 0, 7));
    UpdateBanner();
    m_pEqPanel->ReloadTexts();
    // Grid headers and type names in the new language; the rows are refilled from the store and a
    // selected band stays selected.
    const int band = m_pEditor->SelectedBand();
    m_pEditor->ReloadTexts();
    m_pEditor->LoadEqFromStore();
    if (band >= 0)
        m_pEditor->PickBand(band);
}

// ---- Refresh -------------------------------------------------------------------------------------

void CDialogOutput::Refresh() {
    const int c = m_nChannel;
    std::array<int, SET_COUNT> s;
    {
        auto lock = LockStore();
        std::copy(g_Param.nSetting.begin(), g_Param.nSetting.end(), s.begin());
    }
    auto slotFloat = [&](int slot) { return BitsFloat(static_cast<uint32_t>(s[slot])); };

    UpdateBanner();

    m_bindings.Refresh(c);

    m_pRow->ShowPressed(c);
    // Selection cleared, grid shown, bands and bypass loaded.
    SetEditorHooks();
    m_pEditor->LoadEqFromStore();

    for (int k = 0; k < kOutputChannels; ++k) {
        m_pLink[k]->setVisible(k != c);
        m_pMute[k]->setChecked(s[SET_OUT_MUTE + k] != 0);
        m_pPhase[k]->setChecked(s[SET_OUT_PHASE + k] != 0);
        m_pRole[k]->setCurrentIndex(std::clamp(s[SET_OUT_ROLE + k], 0, 7));
    }

    m_pCompSwitch->setChecked(s[SET_OUT_COMP_BYPASS + c] == 0);
    m_comp.Show(ReadCompValues(c));

    const int split = CurrentSplitIndex(c);
    m_pSplit->SetPos(split);
    m_pSplitText->setText(QString::asprintf("%dHz", SplitLowHz(split)));
    const float delay = slotFloat(SET_OUT_DELAY + c);
    m_pDelay->SetPos(GuardedInt(delay * 10.0, 16, 1000)); // 1.5 ms sits at the lowest position, 16
    m_pDelayText->setText(QString::asprintf("%.1fms", delay));
    m_pDelaySwitch->setChecked(s[SET_OUT_DELAY_OFF + c] == 0);
    if (s[SET_OUT_DELAY_WHOLE + c] == 1)
        m_pDelayWhole->setChecked(true);
    else
        m_pDelayHf->setChecked(true);
    UpdateDelayEnables();
}

void CDialogOutput::UpdateDelayEnables() {
    const bool on = m_pDelaySwitch->isChecked();
    const bool hf = m_pDelayHf->isChecked();
    m_pDelayHf->setEnabled(on);
    m_pDelayWhole->setEnabled(on);
    m_pSplit->Enable(on && hf);
    m_pSplitText->setEnabled(on && hf);
    m_pDelayText->setEnabled(on);
}

// ---- Equaliser -----------------------------------------------------------------------------------

int CDialogOutput::SelectedBand() const {
    return m_pEditor->SelectedBand();
}

std::vector<int> CDialogOutput::LinkedSet() const {
    std::vector<int> set;
    for (int i = 0; i < kOutputChannels; ++i)
        if (i == m_nChannel || m_pLink[i]->isChecked())
            set.push_back(i);
    return set;
}

bool CDialogOutput::EqBypassed() const {
    return SlotValue(SET_OUT_EQ_BYPASS + m_nChannel) != 0;
}

void CDialogOutput::ToggleEqBypass() {
    const int value = SlotValue(SET_OUT_EQ_BYPASS + m_nChannel) == 0 ? 1 : 0;
    for (int i : LinkedSet())
        SetSlot(SET_OUT_EQ_BYPASS + i, value);
    m_pEqPanel->SetBypass(value != 0);
}

void CDialogOutput::ResetEq() {
    m_pEditor->SetSelectedBand(-1);
    m_pEditor->ToggleEditorView();
    for (int i : LinkedSet())
        ::ResetEq(EQ_OUT1 + i); // the EQ numbers of the output channels are their panel kinds
}

void CDialogOutput::PickBand(int band) {
    m_pEditor->PickBand(band);
}

// ---- Mixer, channels, compressor, delay ----------------------------------------------------------

void CDialogOutput::OnSliderPos(int id, int pos) {
    const CMergeableEdits merge; // a newer position replaces one still waiting to go out
    if (m_bindings.Apply(id, pos)) {
        if (SlotValue(SET_OUT_MUTE + m_nChannel) != 0)
            ShowInfoPopup(Tr("当前是静音状态", "vol is mute"), 1100);
        return;
    }
    switch (id) {
    case IDC_SPLIT:
        return OnSplit(pos);
    case IDC_DELAY:
        return OnDelay(pos);
    case IDC_THRESHOLD:
    case IDC_RATIO:
    case IDC_ATTACK:
    case IDC_RELEASE:
        return OnCompSlider(id, pos);
    default:
        return;
    }
}

void CDialogOutput::OnMute(int channel, bool checked) {
    SetSlot(SET_OUT_MUTE + channel, checked ? 1 : 0);
}

void CDialogOutput::OnPhase(int channel, bool checked) {
    SetSlot(SET_OUT_PHASE + channel, checked ? 1 : 0);
}

void CDialogOutput::OnRole(int channel, int role) {
    if (role < 0)
        return;
    SetSlot(SET_OUT_ROLE + channel, role);
}

void CDialogOutput::OnCompSwitch(bool checked) {
    for (int i : LinkedSet())
        SetSlot(SET_OUT_COMP_BYPASS + i, checked ? 0 : 1);
}

void CDialogOutput::OnCompSlider(int id, int value) {
    const int which = m_comp.Which(id);
    if (which < 0)
        return;
    const CompValues values = CompWithSlider(ReadCompValues(m_nChannel), which, value, true);
    m_comp.ShowText(which, values);
    for (int i : LinkedSet())
        StoreAndSendComp(i, values);
}

void CDialogOutput::OnDelaySwitch(bool checked) {
    for (int i : LinkedSet())
        SetSlot(SET_OUT_DELAY_OFF + i, checked ? 0 : 1);
    UpdateDelayEnables();
}

void CDialogOutput::OnDelayMode(int whole) {
    for (int i : LinkedSet())
        SetDelayMode(i, whole);
    UpdateDelayEnables();
}

void CDialogOutput::OnSplit(int index) {
    for (int i : LinkedSet())
        SetSplit(i, index);
    m_pSplitText->setText(QString::asprintf("%dHz", SplitLowHz(std::clamp(index, 0, kSplitCount - 1))));
}

void CDialogOutput::OnDelay(int value) {
    const float ms = static_cast<float>(value / 10.0);
    m_pDelayText->setText(QString::asprintf("%.1fms", ms));
    float stored;
    {
        auto lock = LockStore();
        stored = SlotFloat(SET_OUT_DELAY + m_nChannel);
    }
    if (ms == stored)
        return;
    for (int i : LinkedSet())
        SetSlotFloat(SET_OUT_DELAY + i, ms); // the slot's row holds it at 1.5 ms at least
}

// ---- Size, wheel ---------------------------------------------------------------------------------

void CDialogOutput::resizeEvent(QResizeEvent* event) {
    CPage::resizeEvent(event);
    LayoutControls();
}

void CDialogOutput::showEvent(QShowEvent* event) {
    CPage::showEvent(event);
    if (!m_bGridHeightKept) {
        m_bGridHeightKept = true;
        m_nGridHeight = m_pEditor->height();
    }
}
