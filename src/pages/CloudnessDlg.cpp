#include "pages/CloudnessDlg.h"

#include "controls/XBmpSlider.h"
#include "dsp/FilterResponse.h"
#include "link/Link.h"
#include "model/Compound.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace {

// A float of the store as a whole number the way C's cast reads it, but defined for every value:
// truncated, held to lo..hi, NaN gives lo.
int TruncatedInt(double value, int lo, int hi) {
    if (std::isnan(value))
        return lo;
    return static_cast<int>(std::trunc(std::clamp(value, static_cast<double>(lo), static_cast<double>(hi))));
}

QGroupBox* MakeGroup(QWidget* parent, int id, const QRect& r) {
    auto* box = new QGroupBox(parent);
    SetCtrlId(box, id);
    box->setGeometry(r);
    return box;
}

QCheckBox* MakeCheck(QWidget* parent, int id, const QRect& r) {
    auto* box = new QCheckBox(parent);
    SetCtrlId(box, id);
    box->setGeometry(r);
    return box;
}

CXBmpSlider* MakeSlider(QWidget* parent, int id, int lo, int hi, const QRect& r) {
    auto* slider = new CXBmpSlider(parent, id, false);
    slider->SetRange(lo, hi);
    slider->setGeometry(r);
    return slider;
}

QLabel* MakeLabel(QWidget* parent, int id, const QRect& r,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    QLabel* label = MakeText(parent, id, align);
    label->setGeometry(r);
    return label;
}

} // namespace

CloudnessDlg::CloudnessDlg(const PageContext& context, int, QWidget* parent)
    : CPage(kTemplateFeatures, context, parent) {
    setFixedSize(560, 318);

    MakeGroup(this, 1005, QRect(8, 6, 270, 70));
    m_pBoostOn = MakeCheck(this, IDC_BOOST_ON, QRect(18, 30, 76, 22));
    connect(m_pBoostOn, &QCheckBox::clicked, this, &CloudnessDlg::OnBoostOn);
    m_pBoost = MakeSlider(this, IDC_BOOST, 0, 40, QRect(96, 30, 124, 22));
    m_pBoostText = MakeLabel(this, IDC_BOOST_TEXT, QRect(224, 30, 50, 22));

    MakeGroup(this, 1007, QRect(8, 82, 270, 110));
    m_bindings.Add("LPF_FREQ", MakeSlider(this, IDC_LPF_FREQ, 20, 300, QRect(118, 104, 110, 22)),
                   MakeLabel(this, IDC_LPF_FREQ_TEXT, QRect(232, 104, 44, 22)));
    MakeLabel(this, 1002, QRect(16, 104, 100, 22));
    MakeLabel(this, 1003, QRect(16, 132, 100, 22));
    MakeLabel(this, 1131, QRect(16, 160, 100, 22));
    m_bindings.Add("SET_LPF_DELAY", MakeSlider(this, IDC_LPF_DELAY, 0, 20, QRect(118, 132, 110, 22)),
                   MakeLabel(this, IDC_LPF_DELAY_TEXT, QRect(232, 132, 44, 22)));
    m_bindings.Add("SET_LPF_GAIN", MakeSlider(this, IDC_LPF_GAIN, 0, 300, QRect(118, 160, 110, 22)),
                   MakeLabel(this, IDC_LPF_GAIN_TEXT, QRect(232, 160, 44, 22)));

    MakeGroup(this, 1013, QRect(286, 6, 266, 186));
    m_pDuckOn = MakeCheck(this, IDC_DUCK_ON, QRect(296, 30, 120, 22));
    connect(m_pDuckOn, &QCheckBox::clicked, this, [](bool on) { SetSlot(SET_SUB_DECAY_ON, on ? 1 : 0); });
    MakeLabel(this, 1133, QRect(296, 60, 70, 22));
    m_bindings.Add("SET_SUB_DECAY_RATIO", MakeSlider(this, IDC_DUCK, 0, 100, QRect(368, 60, 124, 22)),
                   MakeLabel(this, IDC_DUCK_TEXT, QRect(496, 60, 52, 22)));
    QLabel* note = MakeLabel(this, 1021, QRect(296, 92, 248, 92), Qt::AlignLeft | Qt::AlignTop);
    note->setWordWrap(true);

    MakeGroup(this, 1018, QRect(8, 198, 544, 112));
    m_pCompOn = MakeCheck(this, IDC_COMP_ON, QRect(18, 220, 200, 22));
    connect(m_pCompOn, &QCheckBox::clicked, this,
            [](bool on) { SetSlot(SET_MUSIC_COMP_BYPASS, on ? 0 : 1); });
    const int compIds[4] = {IDC_THRESHOLD, IDC_RATIO, IDC_ATTACK, IDC_RELEASE};
    const int compTextIds[4] = {IDC_THRESHOLD_TEXT, IDC_RATIO_TEXT, IDC_ATTACK_TEXT, IDC_RELEASE_TEXT};
    const int compLabelIds[4] = {1134, 1135, 1136, 1137};
    for (int j = 0; j < 4; ++j) {
        const int x = 16 + (j % 2) * 270;
        const int y = 250 + (j / 2) * 28;
        MakeLabel(this, compLabelIds[j], QRect(x, y, 92, 22));
        m_pCompText[j] = MakeLabel(this, compTextIds[j], QRect(x + 208, y, 56, 22));
        m_comp.Make(this, j, compIds[j], m_pCompText[j])->setGeometry(QRect(x + 94, y, 110, 22));
    }

    // The music AGC: present and working, never shown.
    m_pAgcGroup = MakeGroup(this, IDC_AGC_GROUP, QRect(8, 318, 544, 80));
    m_pAgcGroup->hide();
    m_pAgcOn = MakeCheck(m_pAgcGroup, IDC_AGC_ON, QRect(10, 22, 80, 22));
    connect(m_pAgcOn, &QCheckBox::clicked, this, &CloudnessDlg::OnAgcOn);
    m_pAgcLabel = MakeLabel(m_pAgcGroup, IDC_AGC_LABEL, QRect(96, 22, 80, 22));
    m_pAgc = MakeSlider(m_pAgcGroup, IDC_AGC, -500, 0, QRect(178, 22, 160, 22));
    m_pAgcText = MakeLabel(m_pAgcGroup, IDC_AGC_TEXT, QRect(342, 22, 60, 22));
    MakeLabel(m_pAgcGroup, 1020, QRect(10, 50, 160, 22));
    MakeLabel(m_pAgcGroup, 1022, QRect(178, 50, 100, 22));
    m_pLevelText = MakeLabel(m_pAgcGroup, IDC_LEVEL_TEXT, QRect(280, 50, 60, 22));

    for (CXBmpSlider* s : findChildren<CXBmpSlider*>())
        connect(s, &CXBmpSlider::SliderPos, this, &CloudnessDlg::OnSliderPos);
    new CWheelForwarder(this);

    ApplyTexts(this, kTemplateFeatures);
    Refresh();
    // The level keeps following the processor while the window exists, shown or not.
    connect(&m_timer, &QTimer::timeout, this, &CloudnessDlg::ShowLevel);
    m_timer.start(kLevelMs);
}

void CloudnessDlg::ReloadTexts() {
    ApplyTexts(this, kTemplateFeatures);
}

void CloudnessDlg::Refresh() {
    std::array<int32_t, SET_COUNT> s;
    {
        auto lock = LockStore();
        std::copy(g_Param.nSetting.begin(), g_Param.nSetting.end(), s.begin());
    }
    auto slotFloat = [&](int slot) { return static_cast<double>(BitsFloat(static_cast<uint32_t>(s[slot]))); };

    m_pBoostOn->setChecked(s[SET_MIC_BOOST_ON] != 0);
    const double boost = -static_cast<double>(MicBoostGain());
    m_pBoost->SetPos(TruncatedInt(boost, 0, 40));
    m_pBoostText->setText(QString::asprintf("%ddB", TruncatedInt(boost, -1000000, 1000000)));

    m_bindings.Refresh();
    m_pDuckOn->setChecked(s[SET_SUB_DECAY_ON] != 0);

    const double agc = slotFloat(SET_MUSIC_AGC_LEVEL);
    m_pAgc->SetPos(GuardedInt(agc * 10.0, -500, 0));
    m_pAgcText->setText(CFormat("%.1fdB", agc));
    m_pAgcOn->setChecked(s[SET_MUSIC_AGC_ON] != 0);
    EnableAgc(s[SET_MUSIC_AGC_ON] == 1);

    m_pCompOn->setChecked(s[SET_MUSIC_COMP_BYPASS] == 0);
    m_comp.Show(ReadCompValues(kMusicLimiter));
    ShowLevel();
}

void CloudnessDlg::ShowLevel() {
    uint8_t level;
    {
        auto lock = LockStore();
        level = g_Param.byLiveStatus[6];
    }
    m_pLevelText->setText(QString::asprintf("%ddB", static_cast<int>(static_cast<int8_t>(level))));
}

void CloudnessDlg::EnableAgc(bool on) {
    m_pAgcLabel->setEnabled(on);
    m_pAgcText->setEnabled(on);
    m_pAgc->Enable(on);
}

// ---- Edits ---------------------------------------------------------------------------------------

void CloudnessDlg::OnSliderPos(int id, int pos) {
    const CMergeableEdits merge; // a newer position replaces one still waiting to go out
    if (m_bindings.Apply(id, pos))
        return;
    switch (id) {
    case IDC_BOOST:
        return OnBoost(pos);
    case IDC_AGC:
        return OnAgc(pos);
    case IDC_THRESHOLD:
    case IDC_RATIO:
    case IDC_ATTACK:
    case IDC_RELEASE:
        return OnCompSlider(id, pos);
    default:
        return;
    }
}

void CloudnessDlg::OnBoostOn(bool checked) {
    SetSlot(SET_MIC_BOOST_ON, checked ? 1 : 0); // both switch slots, parameters 37 and 60
}

void CloudnessDlg::OnBoost(int pos) {
    m_pBoostText->setText(QString::asprintf("%ddB", pos));
    // No boost is +0.0, the bytes 00 00, never the negative zero of -0.
    SetMicBoostGain(pos == 0 ? 0.0f : -static_cast<float>(pos));
}

void CloudnessDlg::OnAgcOn(bool checked) {
    SetSlot(SET_MUSIC_AGC_ON, checked ? 1 : 0);
    EnableAgc(checked);
}

void CloudnessDlg::OnAgc(int pos) {
    const float db = static_cast<float>(pos / 10.0);
    SetSlotFloat(SET_MUSIC_AGC_LEVEL, db);
    m_pAgcText->setText(CFormat("%.1fdB", db));
}

void CloudnessDlg::OnCompSlider(int id, int pos) {
    const int j = m_comp.Which(id);
    if (j < 0)
        return;
    CompValues v = ReadCompValues(kMusicLimiter);
    // The values not moved come from the store; one the processor garbled (not finite, or a ratio
    // below 1:1) is taken as its slider shows it instead of being sent.
    for (int k = 0; k < COMP_VALUES; ++k) {
        const float fromSlider = CompValueOfPos(k, k == j ? pos : m_comp.Slider(k)->GetPos());
        if (k == j || !std::isfinite(v.Get(k)) || (k == COMP_RATIO && v.Get(k) < 1.0f))
            v.Set(k, fromSlider);
    }
    m_comp.ShowText(j, v);
    // Whole milliseconds; rounded, since a time read back from the processor may sit just below one.
    v.fAttack = static_cast<float>(std::lround(v.fAttack));
    v.fRelease = static_cast<float>(std::lround(v.fRelease));
    StoreAndSendComp(kMusicLimiter, v);
}

void CloudnessDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape end the dialog as OK and Cancel do: it is only hidden.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        hide();
        return;
    }
    CPage::keyPressEvent(event);
}
