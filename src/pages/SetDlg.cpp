#include "pages/SetDlg.h"

#include "controls/XBmpSlider.h"
#include "link/Codec.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "pages/PageHelpers.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Templates.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

constexpr int kStartByte[2] = {3, 4};
constexpr int kMaxByte[2] = {5, 6};
constexpr int kVolumeSlot[2] = {SET_MIC_VOLUME, SET_MUSIC_VOLUME};
constexpr int kModeEntries = 5; // Auto, M1..M4

uint8_t EditByte(int index) {
    auto lock = LockStore();
    return g_Status.byMachineEdit[index];
}

void SetEditByte(int index, uint8_t value) {
    auto lock = LockStore();
    g_Status.byMachineEdit[index] = value;
}

// The upper end of a power-on slider: the maximum of its kind, which the processor keeps in 1..99.
int MaxEnd(int byte) {
    return std::clamp(byte, 1, 99);
}

QGroupBox* MakeGroup(QWidget* parent, int id, const QRect& r) {
    auto* box = new QGroupBox(parent);
    SetCtrlId(box, id);
    box->setGeometry(r);
    return box;
}

} // namespace

CSetDlg::CSetDlg(const PageContext& context, int, QWidget* parent)
    : CPage(kTemplateMachine, context, parent) {
    setFixedSize(460, 372);
    // Group boxes first, so that the controls over them are drawn above them.
    MakeGroup(this, 1197, QRect(8, 6, 444, 150));
    MakeGroup(this, 1201, QRect(8, 162, 222, 106));
    MakeGroup(this, 1202, QRect(238, 162, 214, 106));
    MakeGroup(this, 1183, QRect(8, 274, 444, 56));

    const int startIds[2] = {IDC_MIC_START, IDC_MUSIC_START};
    const int maxIds[2] = {IDC_MIC_MAX, IDC_MUSIC_MAX};
    const int startTextIds[2] = {IDC_MIC_START_TEXT, IDC_MUSIC_START_TEXT};
    const int maxTextIds[2] = {IDC_MIC_MAX_TEXT, IDC_MUSIC_MAX_TEXT};
    const int startLabelIds[2] = {IDC_MIC_START_LABEL, IDC_MUSIC_START_LABEL};
    const int maxLabelIds[2] = {IDC_MIC_MAX_LABEL, IDC_MUSIC_MAX_LABEL};
    const int onIds[2] = {IDC_MIC_START_ON, IDC_MUSIC_START_ON};
    for (int k = 0; k < 2; ++k) {
        const int y = 30 + 28 * k;
        m_pStartLabel[k] = MakeText(this, startLabelIds[k], Qt::AlignLeft | Qt::AlignVCenter);
        m_pStartLabel[k]->setGeometry(18, y, 110, 22);
        m_pStartOn[k] = new QCheckBox(this);
        SetCtrlId(m_pStartOn[k], onIds[k]);
        m_pStartOn[k]->setGeometry(130, y, 76, 22);
        connect(m_pStartOn[k], &QCheckBox::clicked, this, [this, k](bool on) { OnStartOn(k, on); });
        m_pStart[k] = new CXBmpSlider(this, startIds[k], false);
        m_pStart[k]->setGeometry(210, y, 180, 22);
        m_pStartText[k] = MakeText(this, startTextIds[k], Qt::AlignLeft | Qt::AlignVCenter);
        m_pStartText[k]->setGeometry(396, y, 52, 22);

        const int ym = 94 + 28 * k;
        m_pMaxLabel[k] = MakeText(this, maxLabelIds[k], Qt::AlignLeft | Qt::AlignVCenter);
        m_pMaxLabel[k]->setGeometry(18, ym, 188, 22);
        m_pMax[k] = new CXBmpSlider(this, maxIds[k], false);
        m_pMax[k]->SetRange(1, 99);
        m_pMax[k]->setGeometry(210, ym, 180, 22);
        m_pMaxText[k] = MakeText(this, maxTextIds[k], Qt::AlignLeft | Qt::AlignVCenter);
        m_pMaxText[k]->setGeometry(396, ym, 52, 22);
    }
    for (CXBmpSlider* s : findChildren<CXBmpSlider*>())
        connect(s, &CXBmpSlider::SliderPos, this, &CSetDlg::OnSliderPos);

    // The same two lines in both languages.
    QLabel* saveLabel = MakeText(this, 1239, Qt::AlignLeft | Qt::AlignVCenter);
    saveLabel->setText(QString::fromUtf8("主音量和\n输入源："));
    saveLabel->setGeometry(18, 182, 200, 34);
    m_pByPower = new QRadioButton(this);
    SetCtrlId(m_pByPower, IDC_BY_POWER);
    m_pByPower->setGeometry(18, 218, 200, 20);
    connect(m_pByPower, &QRadioButton::clicked, this, [this] { OnSaveMode(0); });
    m_pByMode = new QRadioButton(this);
    SetCtrlId(m_pByMode, IDC_BY_MODE);
    m_pByMode->setGeometry(18, 240, 200, 20);
    connect(m_pByMode, &QRadioButton::clicked, this, [this] { OnSaveMode(1); });

    QLabel* modeLabel = MakeText(this, 1238, Qt::AlignLeft | Qt::AlignVCenter);
    modeLabel->setText(QString::fromUtf8("机器开机指定模式"));
    modeLabel->setGeometry(248, 184, 196, 22);
    m_pPowerOnMode = new QComboBox(this);
    SetCtrlId(m_pPowerOnMode, IDC_POWER_ON_MODE);
    m_pPowerOnMode->addItems({QStringLiteral("Auto"), QStringLiteral("M1"), QStringLiteral("M2"),
                              QStringLiteral("M3"), QStringLiteral("M4")});
    m_pPowerOnMode->setGeometry(248, 214, 120, 24);
    connect(m_pPowerOnMode, &QComboBox::activated, this, &CSetDlg::OnPowerOnMode);

    for (int m = 0; m < 4; ++m) {
        m_pReset[m] = new CPageButton(this, IDC_RESET_M1 + m, false);
        m_pReset[m]->setText(QStringLiteral("M%1").arg(m + 1));
        m_pReset[m]->setGeometry(22 + 106 * m, 292, 96, 28);
        connect(m_pReset[m], &QAbstractButton::clicked, this, [this, m] { OnFactoryMode(IDC_RESET_M1 + m); });
    }

    auto* apply = new QPushButton(this);
    SetCtrlId(apply, IDC_APPLY);
    apply->setGeometry(290, 338, 76, 26);
    connect(apply, &QPushButton::clicked, this, &CSetDlg::Apply);
    auto* cancel = new QPushButton(this);
    SetCtrlId(cancel, IDC_CANCEL);
    cancel->setGeometry(376, 338, 76, 26);
    // Cancel leaves both copies as they are; the next opening starts from the live copy anyway.
    connect(cancel, &QPushButton::clicked, this, [this] { RequestDestroy(); });

    new CWheelForwarder(this);
    ApplyTexts(this, kTemplateMachine);
    Refresh();
}

void CSetDlg::ReloadTexts() {
    ApplyTexts(this, kTemplateMachine);
    for (int k = 0; k < 2; ++k)
        ShowStart(k, EditByte(kStartByte[k]));
}

void CSetDlg::Refresh() {
    std::array<uint8_t, kMachineBytes> m;
    {
        auto lock = LockStore();
        // An edit left without Apply must not ride along with a later Apply.
        g_Status.byMachineEdit = g_Status.byMachine;
        m = g_Status.byMachine;
    }
    for (int k = 0; k < 2; ++k) {
        const int maxByte = m[kMaxByte[k]];
        m_pMax[k]->SetPos(MaxEnd(maxByte));
        m_pMaxText[k]->setText(QString::asprintf("%d", maxByte));
        m_pStart[k]->SetRange(0, MaxEnd(maxByte));
        ShowStart(k, m[kStartByte[k]]);
    }
    if (m[0] == 0)
        m_pByPower->setChecked(true);
    else
        m_pByMode->setChecked(true);
    // A mode the list does not have shows no selection; the byte is kept as it is.
    m_pPowerOnMode->setCurrentIndex(m[11] < kModeEntries ? m[11] : -1);
    ShowModeButtons();
}

void CSetDlg::ShowStart(int k, int byte) {
    const bool set = byte != kInvalid;
    m_pStartOn[k]->setChecked(set);
    if (set) {
        m_pStart[k]->SetPos(byte);
        m_pStartText[k]->setText(QString::asprintf("%d", byte));
    } else {
        m_pStart[k]->SetPos(m_pStart[k]->GetRangeMin());
        m_pStartText[k]->setText(Tr("无效", "Invalid"));
    }
    m_pStart[k]->Enable(set);
    m_pStartText[k]->setEnabled(set);
    m_pStartLabel[k]->setEnabled(set);
}

void CSetDlg::ShowModeButtons() {
    int mode;
    {
        auto lock = LockStore();
        mode = g_Param.nCurMode;
    }
    for (int m = 0; m < 4; ++m)
        m_pReset[m]->SetShownPressed(m == mode);
}

// ---- Edits ---------------------------------------------------------------------------------------

void CSetDlg::OnSliderPos(int id, int pos) {
    switch (id) {
    case IDC_MIC_START:
        return OnStartVolume(0, pos);
    case IDC_MUSIC_START:
        return OnStartVolume(1, pos);
    case IDC_MIC_MAX:
        return OnMaxVolume(0, pos);
    case IDC_MUSIC_MAX:
        return OnMaxVolume(1, pos);
    default:
        return;
    }
}

void CSetDlg::OnStartVolume(int k, int pos) {
    SetEditByte(kStartByte[k], static_cast<uint8_t>(pos));
    const CMergeableEdits merge;  // a newer position replaces one still waiting to go out
    SetSlot(kVolumeSlot[k], pos); // sent as the volume strip sends it
    m_pStartText[k]->setText(QString::asprintf("%d", pos));
}

void CSetDlg::OnMaxVolume(int k, int pos) {
    SetEditByte(kMaxByte[k], static_cast<uint8_t>(pos));
    m_pStart[k]->SetRange(0, MaxEnd(pos));
    m_pMaxText[k]->setText(QString::asprintf("%d", pos));
    if (m_pStart[k]->GetPos() > pos) {
        m_pStart[k]->SetPos(pos);
        OnStartVolume(k, pos);
    }
}

void CSetDlg::OnStartOn(int k, bool checked) {
    if (!checked) {
        SetEditByte(kStartByte[k], kInvalid);
        ShowStart(k, kInvalid);
        return;
    }
    // The current volume, held to what the slider can show, so that byte, slider and text agree.
    const int value = std::clamp(SlotValue(kVolumeSlot[k]), 0, m_pStart[k]->GetRangeMax());
    SetEditByte(kStartByte[k], static_cast<uint8_t>(value));
    ShowStart(k, value);
}

void CSetDlg::OnSaveMode(int value) {
    auto lock = LockStore();
    g_Status.byMachineEdit[0] = static_cast<uint8_t>(value);
    g_Status.byMachineEdit[2] = static_cast<uint8_t>(value);
}

void CSetDlg::OnPowerOnMode(int index) {
    if (index >= 0 && index < kModeEntries)
        SetEditByte(11, static_cast<uint8_t>(index));
}

void CSetDlg::Apply() {
    std::array<uint8_t, 2 + kMachineBytes> data{kReportId, CMD_SET_MACHINE};
    {
        auto lock = LockStore();
        g_Status.byMachine = g_Status.byMachineEdit;
        std::copy(g_Status.byMachine.begin(), g_Status.byMachine.end(), data.begin() + 2);
    }
    WriteUsbData(data.data(), data.size());
    ShowInfoPopup(Tr("机器设置已生效!", "Setting valid"), 1100);
}

void CSetDlg::OnFactoryMode(int id) {
    CConsoleLink* link = Context().pLink;
    int connected;
    {
        auto lock = LockStore();
        connected = g_Param.bConnected;
    }
    if (!connected || !link || SyncDialogRunning())
        return;
    const int m = std::clamp(id - IDC_RESET_M1, 0, 3);
    link->Conn().FactoryMode(m); // makes m current, asks for the factory content, reads everything
    ShowModeButtons();
    if (!RunNested([] { ShowSyncDialog(QString()); }))
        return; // destroyed meanwhile
}

void CSetDlg::closeEvent(QCloseEvent* event) {
    {
        auto lock = LockStore();
        g_Status.byMachineEdit = g_Status.byMachine;
    }
    event->ignore();
    RequestDestroy();
}
