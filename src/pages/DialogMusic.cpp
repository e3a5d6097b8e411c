#include "pages/DialogMusic.h"

#include "controls/EqBandEditor.h"
#include "controls/EqPanel.h"
#include "controls/PeakMeterCtrl.h"
#include "controls/SmallEqPanel.h"
#include "controls/XBmpSlider.h"
#include "link/Events.h"
#include "link/Link.h"
#include "model/Defaults.h"
#include "model/Eq.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "pages/AutoEqDlg.h"
#include "pages/EffectParams.h"
#include "pages/EqHooks.h"
#include "ui/Colors.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QResizeEvent>

#include <algorithm>

namespace {

// Dialog units of the template to pixels at the page's minimum size.
QRect Dlu(int x, int y, int w, int h) {
    return QRect(qRound(x * 1.5), qRound(y * 1.625), qRound(w * 1.5), qRound(h * 1.625));
}

void SetTextColour(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

constexpr int kGateX[4] = {33, 155, 285, 414};
constexpr int kMeterX[4] = {25, 147, 276, 403};
constexpr int kLabelX[4] = {3, 123, 244, 373};
constexpr int kRadioX[4][2] = {{50, 86}, {173, 207}, {301, 337}, {429, 463}};
constexpr int kRadioGap = 2; // pixels between set A's text and set B's circle

} // namespace

int CDialogMusic::EqOfMode(int mode) {
    return mode == MODE_MIC_B ? EQ_MIC_B : mode == MODE_MUSIC ? EQ_MUSIC : EQ_MIC_A;
}

CDialogMusic::CDialogMusic(const PageContext& context, int mode, QWidget* parent)
    : CPage(kTemplateMusicPage, context, parent) {
    SetMode(mode >= MODE_MIC_A && mode <= MODE_MUSIC ? mode : MODE_MIC_A);
    CreateControls();
    resize(1024, 520);
    LayoutControls();
    ReloadTexts(); // texts, list and grid in the language, then everything from the store
    new CWheelForwarder(this, {m_pEqPanel, m_pList});
    // The format is known at once; the meters start full and fall until the first feed.
    {
        uint8_t format;
        {
            auto lock = LockStore();
            format = g_Param.byLiveStatus[7];
        }
        m_pFormat->setText(FormatText(format));
    }
    m_live.setInterval(kLiveMs);
    connect(&m_live, &QTimer::timeout, this, &CDialogMusic::FeedLive);
    m_live.start();
}

CDialogMusic::~CDialogMusic() = default;

void CDialogMusic::SetMode(int mode) {
    m_nMode = mode;
    State().nMusicPageMode = mode;
}

// ---- Construction --------------------------------------------------------------------------------

void CDialogMusic::CreateControls() {
    QFont modeFont = font();
    modeFont.setPixelSize(12);
    for (int m = 0; m < 3; ++m) {
        m_pMode[m] = new CPageButton(this, kModeIds[m], false);
        m_pMode[m]->setFont(modeFont);
        connect(m_pMode[m], &QAbstractButton::clicked, this, [this, m] { ChooseMode(m); });
    }

    for (int k = 0; k < 4; ++k) {
        // Against its radios, so that a set B pushed right by a wide set A stays clear of it.
        m_pMicLabel[k] = MakeText(this, kMicLabelIds[k], Qt::AlignRight | Qt::AlignVCenter);
        QFont small = m_pMicLabel[k]->font();
        small.setPixelSize(11); // "Wireless Mic(1)" fits before its radios
        m_pMicLabel[k]->setFont(small);
        SetTextColour(m_pMicLabel[k], ColorRef(0xEE0000));
        // Each column's two radios form a group of their own.
        m_pRouteGroup[k] = new QButtonGroup(this);
        m_pRouteA[k] = new QRadioButton(this);
        SetCtrlId(m_pRouteA[k], kRouteAIds[k]);
        m_pRouteB[k] = new QRadioButton(this);
        SetCtrlId(m_pRouteB[k], kRouteBIds[k]);
        m_pRouteGroup[k]->addButton(m_pRouteA[k]);
        m_pRouteGroup[k]->addButton(m_pRouteB[k]);
        // The labels' small font: "通道A" then fits before set B's circle.
        m_pRouteA[k]->setFont(small);
        m_pRouteB[k]->setFont(small);
        connect(m_pRouteA[k], &QRadioButton::clicked, this, [this, k] { OnRoute(k, true); });
        connect(m_pRouteB[k], &QRadioButton::clicked, this, [this, k] { OnRoute(k, false); });

        auto slider = [this](int id, int textId, int captionId, int slot, CXBmpSlider*& s, QLabel*& text,
                             QLabel*& caption) {
            caption = MakeText(this, captionId, Qt::AlignRight | Qt::AlignVCenter);
            s = new CXBmpSlider(this, id, false);
            text = MakeText(this, textId, Qt::AlignLeft | Qt::AlignVCenter);
            m_bindings.Add(SlotName(slot).c_str(), s, text);
        };
        slider(kGateIds[k], kGateTextIds[k], kGateCaptionIds[k], SET_MIC_GATE + k, m_pGate[k], m_pGateText[k],
               m_pGateCaption[k]);
        slider(kVolumeIds[k], kVolumeTextIds[k], kVolumeCaptionIds[k], SET_MIC_LEVEL + k, m_pVolume[k],
               m_pVolumeText[k], m_pVolumeCaption[k]);
    }

    // The source level of the template: hidden, but kept current.
    m_pSource = new CXBmpSlider(this, IDC_SOURCE, false);
    m_pSource->SetRange(0, 100);
    m_pSourceText = MakeText(this, IDC_SOURCE_TEXT);
    m_pSourceCaption = MakeText(this, IDC_SOURCE_CAPTION);
    for (QWidget* w : {static_cast<QWidget*>(m_pSource), static_cast<QWidget*>(m_pSourceText),
                       static_cast<QWidget*>(m_pSourceCaption)})
        w->hide();

    m_pMusicGroup = new QGroupBox(this);
    SetCtrlId(m_pMusicGroup, IDC_MUSIC_GROUP);
    m_pFormat = MakeText(m_pMusicGroup, IDC_FORMAT);
    for (int i = 0; i < 6; ++i) {
        auto* meter = new CPeakMeterCtrl(i < 4 ? static_cast<QWidget*>(this) : m_pMusicGroup);
        SetCtrlId(meter, kMeterIds[i]);
        meter->Configure(1, 15);
        meter->Fill();
        meter->StartFallTimer(35);
        meter->SetBackground(PageColor());
        m_pMeter[i] = meter;
    }

    m_pList = new CEffectParamList(this);

    m_pReverb = new CSmallEqPanel(this);
    SetCtrlId(m_pReverb, IDC_REVERB_PANEL);
    connect(m_pReverb, &CSmallEqPanel::Clicked, this, [this] { OnSmallPanel(true); });
    m_pEcho = new CSmallEqPanel(this);
    SetCtrlId(m_pEcho, IDC_ECHO_PANEL);
    connect(m_pEcho, &CSmallEqPanel::Clicked, this, [this] { OnSmallPanel(false); });
    m_pReverbCaption = MakeText(this, IDC_REVERB_CAPTION, Qt::AlignLeft | Qt::AlignVCenter);
    m_pReverbHint = MakeText(this, IDC_REVERB_HINT, Qt::AlignLeft | Qt::AlignVCenter);
    m_pEchoCaption = MakeText(this, IDC_ECHO_CAPTION, Qt::AlignLeft | Qt::AlignVCenter);
    m_pEchoHint = MakeText(this, IDC_ECHO_HINT, Qt::AlignLeft | Qt::AlignVCenter);
    SetTextColour(m_pReverbCaption, ColorRef(0x0000F0));
    SetTextColour(m_pEchoCaption, ColorRef(0x0000F0));

    for (CXBmpSlider* s : {m_pGate[0], m_pGate[1], m_pGate[2], m_pGate[3], m_pVolume[0], m_pVolume[1],
                           m_pVolume[2], m_pVolume[3], m_pSource})
        connect(s, &CXBmpSlider::SliderPos, this, &CDialogMusic::OnSliderPos);

    m_pEqPanel = new CEqPanel(this);
    SetCtrlId(m_pEqPanel, IDC_EQ_PANEL);
    m_pEditor = new CEqBandEditor(m_pEqPanel, kTemplateMusicPage, this);
    m_pEditor->SetHooks(StoreEqHooks(EqOfMode(m_nMode), kBandCount, EQ_HS, &State()));
    InstallAutoEq(this, m_pEditor);
}

void CDialogMusic::LayoutControls() {
    const int w = std::max(width(), 1024);
    const int h = std::max(height(), 520);
    m_pMode[0]->setGeometry(Dlu(5, 50, 56, 14));
    m_pMode[1]->setGeometry(Dlu(64, 50, 56, 14));
    m_pMode[2]->setGeometry(Dlu(123, 50, 58, 14));
    for (int k = 0; k < 4; ++k) {
        // At their places, each radio as wide as its text: set B moves right only as far as set A's
        // text reaches, and the next label, against its own radios, starts after set B.
        QRect a = Dlu(kRadioX[k][0], 1, kRadioX[k][1] - kRadioX[k][0], 11);
        a.setWidth(m_pRouteA[k]->sizeHint().width());
        m_pRouteA[k]->setGeometry(a);
        // A label wider than its place reaches further left, up to the previous set B.
        QRect label = Dlu(kLabelX[k], 2, kRadioX[k][0] - kLabelX[k] - 1, 10);
        const int text = m_pMicLabel[k]->fontMetrics().horizontalAdvance(m_pMicLabel[k]->text());
        const int leftmost = k > 0 ? m_pRouteB[k - 1]->geometry().right() + 1 : 0;
        label.setLeft(std::max(leftmost, std::min(label.left(), label.right() + 1 - text)));
        m_pMicLabel[k]->setGeometry(label);
        QRect b = Dlu(kRadioX[k][1], 1, 36, 11);
        b.moveLeft(std::max(b.left(), a.right() + 1 + kRadioGap));
        b.setWidth(m_pRouteB[k]->sizeHint().width());
        m_pRouteB[k]->setGeometry(b);
        m_pMeter[k]->setGeometry(Dlu(kMeterX[k], 15, 64, 3));
        for (int row = 0; row < 2; ++row) {
            const int y = row ? 35 : 21;
            (row ? m_pVolumeCaption : m_pGateCaption)[k]->setGeometry(Dlu(kGateX[k] - 31, y, 29, 14));
            (row ? m_pVolume : m_pGate)[k]->setGeometry(Dlu(kGateX[k], y, 67, 14));
            (row ? m_pVolumeText : m_pGateText)[k]->setGeometry(Dlu(kGateX[k] + 69, y, 20, 14));
        }
    }
    m_pMusicGroup->setGeometry(Dlu(506, 4, 160, 43));
    const QRect g = m_pMusicGroup->geometry();
    m_pMeter[4]->setGeometry(12, 22, g.width() - 24, 5);
    m_pMeter[5]->setGeometry(12, 33, g.width() - 24, 5);
    m_pFormat->setGeometry(6, 42, g.width() - 12, 22);

    m_pList->setGeometry(Dlu(1, 66, 189, 102));
    m_pList->NameLabel()->setGeometry(Dlu(192, 51, 63, 11));
    m_pList->Slider()->setGeometry(Dlu(212, 62, 19, 86));
    m_pList->ValueBox()->setGeometry(Dlu(206, 149, 33, 14));

    m_pReverbCaption->setGeometry(Dlu(259, 47, 191, 9));
    m_pReverbHint->setGeometry(Dlu(259, 56, 191, 9));
    m_pReverb->setGeometry(Dlu(259, 66, 191, 95));
    m_pEchoCaption->setGeometry(Dlu(474, 47, 191, 9));
    m_pEchoHint->setGeometry(Dlu(474, 56, 191, 9));
    m_pEcho->setGeometry(Dlu(474, 66, 191, 95));

    // The grid keeps its width and reaches the bottom; the panel takes the rest of the page.
    const QRect grid = Dlu(1, 169, 189, 142);
    m_pEditor->setGeometry(grid.x(), grid.y(), grid.width(), h - grid.y() - 2);
    const QRect panel = Dlu(194, 164, 471, 147);
    m_pEqPanel->setGeometry(panel.x(), panel.y(), w - panel.x() - 2, h - panel.y() - 2);
}

void CDialogMusic::resizeEvent(QResizeEvent* event) {
    CPage::resizeEvent(event);
    LayoutControls();
}

// ---- Mode, texts, refresh ------------------------------------------------------------------------

void CDialogMusic::ChooseMode(int mode) {
    if (mode < MODE_MIC_A || mode > MODE_MUSIC)
        return;
    SetMode(mode);
    Refresh();
}

void CDialogMusic::Select(int mode) {
    if (mode < MODE_MIC_A || mode > MODE_MUSIC)
        return;
    SetMode(mode);
    Refresh();
    ReloadTexts();
}

void CDialogMusic::ReloadTexts() {
    ApplyTexts(this, kTemplateMusicPage);
    LayoutControls(); // the route radios take the widths of their new texts
    m_pEqPanel->ReloadTexts();
    m_pList->Build();
    m_pEditor->ReloadTexts();
    Refresh();
    m_pList->NameLabel()->setText(EffectRowName(m_pList->CurrentRow()));
}

int CDialogMusic::SourceSlot() const {
    const int source = SlotValue(SET_MUSIC_SOURCE);
    return source == 2 ? SET_SRC_LEVEL_HDMI1 : source == 3 ? SET_SRC_LEVEL_BT : SET_SRC_LEVEL_SPDIF;
}

void CDialogMusic::Refresh() {
    // 1. Routes.
    for (int k = 0; k < 4; ++k) {
        if (SlotValue(SET_MIC_ROUTE_A + k) != 0)
            m_pRouteA[k]->setChecked(true);
        else
            m_pRouteB[k]->setChecked(true);
    }
    // 2. Mode buttons; Music mode greys the effect parts.
    const bool mic = m_nMode != MODE_MUSIC;
    for (int m = 0; m < 3; ++m)
        m_pMode[m]->SetShownPressed(m == m_nMode);
    m_pReverb->setEnabled(mic);
    m_pEcho->setEnabled(mic);
    // 3. Gates and volumes (the sliders hold the slot within 0..100, the texts show it).
    m_bindings.Refresh();
    // 4. The hidden source level.
    const int source = SlotValue(SET_MUSIC_SOURCE);
    const int sourceSlot = SourceSlot();
    m_pSource->SetPos(SlotValue(sourceSlot));
    m_pSourceText->setText(QString::asprintf("%d", SlotValue(sourceSlot)));
    m_pSourceCaption->setText(source == 2   ? Tr("HDMI音量", "HDMI")
                              : source == 3 ? Tr("蓝牙音量", "BT")
                                            : Tr("光纤音量", "OPTICAL"));
    // 5.-7. The main equaliser of the mode: no band selected, the grid shown, bands and bypass.
    m_pEditor->SetEq(EqOfMode(m_nMode));
    m_pEditor->LoadEqFromStore();
    static constexpr uint32_t kGridColour[3] = {0xFFC800, 0x00DC00, 0x00C8FF};
    m_pEditor->SetGridTextColor(ColorRef(kGridColour[m_nMode]));
    // 8. The effect parameters of the set (enabling with them).
    m_pList->Refresh(m_nMode);
    // 9. The small effect EQ pictures.
    RefreshSmallPanels();
}

void CDialogMusic::RefreshSmallPanels() {
    static constexpr QRgb kCurve[3] = {0xFF00C8FF, 0xFF00DC00, 0xFF646464};
    const bool setB = m_nMode == MODE_MIC_B;
    if (m_nMode == MODE_MUSIC) {
        m_pReverb->SetBypass(false);
        m_pEcho->SetBypass(false);
    } else {
        m_pReverb->SetBypass(SlotValue(setB ? SET_REVERB_B_EQ_BYPASS : SET_REVERB_A_EQ_BYPASS) != 0);
        m_pEcho->SetBypass(SlotValue(setB ? SET_ECHO_B_EQ_BYPASS : SET_ECHO_A_EQ_BYPASS) != 0);
    }
    m_pReverb->SetCurveColour(kCurve[m_nMode]);
    m_pEcho->SetCurveColour(kCurve[m_nMode]);
    for (int p = 0; p < 2; ++p) {
        CSmallEqPanel* panel = p == 0 ? m_pReverb : m_pEcho;
        if (m_nMode == MODE_MUSIC) {
            // Nothing from the store: a flat grey picture.
            for (int b = 0; b < kSmallEqBands; ++b)
                panel->LoadStoredBand(b, EQ_PEQ, 0.0f, 100.0f, 1.0f, false);
            continue;
        }
        const int eq = p == 0 ? (setB ? EQ_REVERB_B : EQ_REVERB_A) : (setB ? EQ_ECHO_B : EQ_ECHO_A);
        const std::vector<BandValues> bands = ReadEqBands(eq, kSmallEqBands);
        for (int b = 0; b < kSmallEqBands; ++b) {
            const BandValues& v = bands[b];
            if (v.nType < 0)
                continue;
            // The echo picture shows a type the editor cannot make as off; the reverb one draws it.
            panel->LoadStoredBand(b, v.nType, v.fGain, v.fFreq, v.fQ, p == 1);
        }
    }
}

// ---- Live status ---------------------------------------------------------------------------------

QString CDialogMusic::FormatText(uint8_t formatByte) {
    if (formatByte & 0x01)
        return QStringLiteral("DOLBY");
    if (formatByte & 0x02)
        return QStringLiteral("DTS");
    if (formatByte & 0x04)
        return QStringLiteral("Multi-CH LPCM");
    return QStringLiteral("Stereo");
}

void CDialogMusic::FeedLive() {
    std::array<uint8_t, 16> live;
    {
        auto lock = LockStore();
        live = g_Param.byLiveStatus;
    }
    for (int i = 0; i < 6; ++i)
        m_pMeter[i]->SetValue(0, live[i]);
    const QString format = FormatText(live[7]);
    if (m_pFormat->text() != format)
        m_pFormat->setText(format);
}

// ---- Edits ---------------------------------------------------------------------------------------

void CDialogMusic::OnRoute(int column, bool setA) {
    SetMicRoute(column, setA);
}

void CDialogMusic::OnSliderPos(int id, int pos) {
    const CMergeableEdits merge; // a newer position replaces one still waiting to go out
    if (m_bindings.Apply(id, pos))
        return;
    if (id == IDC_SOURCE) {
        m_pSourceText->setText(QString::asprintf("%d", pos));
        SetSlot(SourceSlot(), pos);
    }
}

void CDialogMusic::OnSmallPanel(bool reverb) {
    if (m_nMode == MODE_MUSIC)
        return;
    const int index = (reverb ? 0 : 2) + (m_nMode == MODE_MIC_B ? 1 : 0);
    emit OpenPage(kTemplateEffectsPage, index);
}

// ---- Equaliser -----------------------------------------------------------------------------------

void CDialogMusic::RefreshLive(uint32_t regions) {
    if (regions & STORE_PARAMS)
        m_pEqPanel->SetBypass(EqBypassed());
}

bool CDialogMusic::EqBypassed() const {
    return SlotValue(EqBypassSlot(EqOfMode(m_nMode))) != 0;
}

void CDialogMusic::ToggleEqBypass() {
    const int slot = EqBypassSlot(EqOfMode(m_nMode));
    const int value = SlotValue(slot) == 0 ? 1 : 0;
    SetSlot(slot, value);
    m_pEqPanel->SetBypass(value != 0);
}

void CDialogMusic::ResetEq() {
    m_pEditor->SetSelectedBand(-1);
    ::ResetEq(EqOfMode(m_nMode));
    m_pEditor->LoadEqFromStore(); // shows the grid
}

void CDialogMusic::PickBand(int band) {
    if (band < 0 || band >= kBandCount)
        return;
    m_pEditor->PickBand(band);
}
