#include "pages/SSVCDlg.h"

#include "controls/SSVolumePanel.h"
#include "controls/SpinButtons.h"
#include "controls/XBmpSlider.h"
#include "link/Codec.h"
#include "link/Link.h"
#include "model/Compound.h"
#include "model/Defaults.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "pages/SubPageHelpers.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QCheckBox>
#include <QDebug>
#include <QLabel>

#include <algorithm>
#include <cmath>

namespace {

const CDluScale kDlu(805, 320);
constexpr int kLocateY[8] = {49, 71, 93, 115, 137, 159, 181, 203};
constexpr int kSpeakerY[8] = {160, 177, 193, 211, 228, 245, 261, 277};
constexpr int kStaticIds[6] = {1005, 1007, 1229, 1139, 1006, 1002};

QString PosText(float metres) {
    // A coordinate of 0 travels as 0x80 and comes back as -0: shown as +0.0m.
    return CFormat("%+-.1fm", metres == 0.0f ? 0.0f : metres);
}

// A room size from the store or a box as the page uses it: whole metres 1..10.
int HeldRoom(double metres) {
    return std::isfinite(metres)
               ? std::clamp(static_cast<int>(std::trunc(std::clamp(metres, -1e6, 1e6))), 1, 10)
               : 1;
}

int Tenths(float metres) {
    return std::isfinite(metres) ? static_cast<int>(std::clamp(metres * 10.0f, -1e6f, 1e6f)) : 0;
}

// The speakers' names beside their position boxes, in panel order.
QString SpeakerLabel(int id) {
    static constexpr const char* kLabels[8][2] = {{"前置左", "L"},     {"中置", "CEN"},   {"前置右", "R"},
                                                  {"后环绕左", "SBL"}, {"超低", "SUB"},   {"后环绕右", "SBR"},
                                                  {"侧环绕左", "SL"},  {"侧环绕右", "SR"}};
    return id >= 1 && id <= 8 ? Tr(kLabels[id - 1][0], kLabels[id - 1][1]) : QString();
}

int EditId(int item, int axis) {
    return item == 0 ? (axis == 0 ? CSSVCDlg::IDC_LISTENER_X : CSSVCDlg::IDC_LISTENER_Y)
                     : CSSVCDlg::IDC_SPEAKER_X0 + 2 * (item - 1) + axis;
}

int SpinId(int item, int axis) {
    return item == 0 ? CSSVCDlg::IDC_LISTENER_X_SPIN + axis
                     : CSSVCDlg::IDC_SPEAKER_SPIN0 + 2 * (item - 1) + axis;
}

// The item (0 listener, 1..8 speakers) and axis of a position box; false for any other id.
bool ItemOfEdit(int id, int& item, int& axis) {
    for (int i = 0; i < CSSVolumePanel::kItemCount; ++i)
        for (int a = 0; a < 2; ++a)
            if (EditId(i, a) == id) {
                item = i;
                axis = a;
                return true;
            }
    return false;
}

} // namespace

CSSVCDlg::CSSVCDlg(const PageContext& context, int channel, QWidget* parent)
    : CPage(kTemplateSoundFieldPage, context, parent) {
    (void)channel;
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PageColor());
    setPalette(pal);
    CreateControls();
    resize(1024, 520);
    LayoutControls();
    Refresh();
    ReloadTexts();
    std::vector<QWidget*> extra;
    for (auto& pair : m_pPos)
        extra.insert(extra.end(), pair.begin(), pair.end());
    extra.insert(extra.end(), m_pRoom.begin(), m_pRoom.end());
    new CWheelForwarder(this, extra);
}

CSSVCDlg::~CSSVCDlg() = default;

void CSSVCDlg::CreateControls() {
    m_pRow = std::make_unique<CChannelButtonRow>(
        this, [this] { return State().nOutputChannel; },
        [this](int k) { emit OpenPage(kTemplateOutputPage, k); });
    m_pRow->PageButton(1)->hide();
    m_pRow->PageButton(2)->hide();

    for (int c = 0; c < kOutputChannels; ++c) {
        m_pLocate[c] = new QCheckBox(this);
        SetCtrlId(m_pLocate[c], kLocateIds[c]);
        connect(m_pLocate[c], &QCheckBox::clicked, this, [this, c](bool on) { OnLocate(c, on); });
        m_pRole[c] = MakeText(this, kRoleIds[c], Qt::AlignLeft | Qt::AlignVCenter);
        QFont small = m_pRole[c]->font();
        small.setPixelSize(11);
        m_pRole[c]->setFont(small);
        m_pLocate[c]->setFont(small);
        m_pLevel[c] = new CXBmpSlider(this, kLevelIds[c], false);
        m_pLevel[c]->SetRange(0, 100);
        connect(m_pLevel[c], &CXBmpSlider::SliderPos, this, [this, c](int, int pos) { OnLevel(c, pos); });
        m_pLevelText[c] = MakeText(this, kLevelTextIds[c], Qt::AlignLeft | Qt::AlignVCenter);
    }
    for (int j = 0; j < 6; ++j)
        m_pStatic[j] = MakeText(this, kStaticIds[j], Qt::AlignLeft | Qt::AlignVCenter);

    m_pReset = new CPageButton(this, IDC_RESET, false);
    m_pModify = new CPageButton(this, IDC_MODIFY, false);
    m_pCenter = new CPageButton(this, IDC_CENTER, false);
    connect(m_pReset, &QAbstractButton::clicked, this, &CSSVCDlg::OnReset);
    connect(m_pModify, &QAbstractButton::clicked, this, [this] { OnRoomChange(true); });
    connect(m_pCenter, &QAbstractButton::clicked, this, &CSSVCDlg::OnCenter);

    for (int j = 0; j < 2; ++j) {
        // Enter in a room box does nothing: "Modify" applies them.
        m_pRoom[j] = new CValueEdit(this, j == 0 ? IDC_ROOM_W : IDC_ROOM_L);
        m_pRoomSpin[j] = new CSpinButtons(this, j == 0 ? IDC_ROOM_W_SPIN : IDC_ROOM_L_SPIN);
        m_pRoomSpin[j]->SetRange(1, 10);
        connect(m_pRoomSpin[j], &CSpinButtons::DeltaPos, this,
                [this, j](int, int pos, int delta) { OnRoomSpin(j, pos, delta); });
    }
    for (int i = 0; i < CSSVolumePanel::kItemCount; ++i)
        for (int a = 0; a < 2; ++a) {
            const int editId = EditId(i, a);
            m_pPos[i][a] = new CValueEdit(this, editId);
            connect(m_pPos[i][a], &CValueEdit::Entered, this, [this, editId] { EditPosition(editId, true); });
            m_pPosSpin[i][a] = new CSpinButtons(this, SpinId(i, a));
            connect(m_pPosSpin[i][a], &CSpinButtons::DeltaPos, this,
                    [this, editId](int, int pos, int delta) { OnPositionSpin(editId, pos, delta); });
        }

    m_pPanel = new CSSVolumePanel(this);
    SetCtrlId(m_pPanel, IDC_PANEL);
    connect(m_pPanel, &CSSVolumePanel::ItemPicked, this, &CSSVCDlg::OnItem);
    connect(m_pPanel, &CSSVolumePanel::ItemMoved, this, &CSSVCDlg::OnItem);
}

void CSSVCDlg::LayoutControls() {
    for (int k = 0; k < 8; ++k)
        m_pRow->Channel(k)->setGeometry(kDlu.Rect(8 + 72 * k, 2, 68, 16));
    m_pRow->PageButton(0)->setGeometry(kDlu.Rect(8 + 72 * 8, 2, 68, 16));
    for (int c = 0; c < kOutputChannels; ++c) {
        const int y = kLocateY[c];
        m_pLocate[c]->setGeometry(kDlu.Rect(5, y, 44, 12));
        m_pRole[c]->setGeometry(kDlu.Rect(49, y, 48, 12));
        m_pLevel[c]->setGeometry(kDlu.Rect(97, y - 1, 73, 14));
        m_pLevelText[c]->setGeometry(kDlu.Rect(172, y, 30, 12));
    }
    m_pStatic[0]->setGeometry(kDlu.Rect(203, 35, 66, 12)); // unit
    m_pReset->setGeometry(kDlu.Rect(272, 33, 54, 16));
    m_pStatic[1]->setGeometry(kDlu.Rect(203, 69, 56, 12)); // room size
    m_pStatic[2]->setGeometry(kDlu.Rect(262, 55, 48, 12)); // width
    m_pStatic[3]->setGeometry(kDlu.Rect(312, 55, 48, 12)); // length
    m_pRoom[0]->setGeometry(kDlu.Rect(262, 69, 36, 14));
    m_pRoomSpin[0]->setGeometry(kDlu.Rect(298, 69, 10, 14));
    m_pRoom[1]->setGeometry(kDlu.Rect(312, 69, 36, 14));
    m_pRoomSpin[1]->setGeometry(kDlu.Rect(348, 69, 10, 14));
    m_pModify->setGeometry(kDlu.Rect(354 + 6, 68, 44, 16));
    m_pStatic[4]->setGeometry(kDlu.Rect(203, 97, 120, 12));  // listener
    m_pStatic[5]->setGeometry(kDlu.Rect(203, 145, 120, 12)); // speakers
    m_pCenter->setGeometry(kDlu.Rect(354 + 6, 115, 44, 16));
    for (int i = 0; i < CSSVolumePanel::kItemCount; ++i) {
        const int y = i == 0 ? 115 : kSpeakerY[i - 1];
        if (i > 0) {
            // The speaker's name beside its boxes.
            auto* name = findChild<QLabel*>(QStringLiteral("speaker%1").arg(i));
            if (!name) {
                name = new QLabel(SpeakerLabel(i), this);
                name->setObjectName(QStringLiteral("speaker%1").arg(i));
                QFont small = name->font();
                small.setPixelSize(10);
                name->setFont(small);
            }
            name->setGeometry(kDlu.Rect(204, y, 58, 13));
        }
        for (int a = 0; a < 2; ++a) {
            const int x = a == 0 ? 262 : 312;
            m_pPos[i][a]->setGeometry(kDlu.Rect(x, y, 36, 14));
            m_pPosSpin[i][a]->setGeometry(kDlu.Rect(x + 36, y, 10, 14));
        }
    }
    const QRect panel = kDlu.Rect(410, 24, 365, 288);
    m_pPanel->setGeometry(panel.x(), panel.y(), std::max(width() - panel.x() - kDlu.X(6), 100),
                          std::max(height() - panel.y() - kDlu.Y(6), 100));
}

void CSSVCDlg::resizeEvent(QResizeEvent* event) {
    CPage::resizeEvent(event);
    LayoutControls();
}

void CSSVCDlg::ReloadTexts() {
    ApplyTexts(this, kTemplateSoundFieldPage);
    ReloadRoleLabels();
}

void CSSVCDlg::ReloadRoleLabels() {
    for (int c = 0; c < kOutputChannels; ++c)
        m_pRole[c]->setText(
            QStringLiteral("(%1)").arg(CSSVolumePanel::RoleName(SlotValue(SET_OUT_ROLE + c))));
    for (int i = 1; i < CSSVolumePanel::kItemCount; ++i)
        if (auto* name = findChild<QLabel*>(QStringLiteral("speaker%1").arg(i)))
            name->setText(SpeakerLabel(i));
}

// ---- Refresh ---------------------------------------------------------------------------------------

void CSSVCDlg::Refresh() {
    m_pRow->ShowPressed(-1, kTemplateSoundFieldPage);
    const int located = State().nLocatedChannel;
    for (int c = 0; c < kOutputChannels; ++c)
        m_pLocate[c]->setChecked(located == c + 1);
    for (int c = 0; c < kOutputChannels; ++c) {
        const int v = std::clamp(SlotValue(SET_OUT_LEVEL + c), 0, 100);
        m_pLevel[c]->SetPos(v);
        m_pLevelText[c]->setText(QString::asprintf("%d%%", v));
    }
    RefreshGeometry();
    ReloadRoleLabels();
}

void CSSVCDlg::RefreshGeometry() {
    SoundField sf;
    {
        auto lock = LockStore();
        sf = g_SoundField;
    }
    // A size of 0 or above 10 (from the processor or a file) is shown as 1..10; the store keeps it
    // until the user changes the room.
    const int w = HeldRoom(sf.nRoomWidth);
    const int l = HeldRoom(sf.nRoomLength);
    m_pPanel->SetRoomSize(static_cast<float>(w), static_cast<float>(l));
    m_pRoomSpin[0]->SetPos(w);
    m_pRoomSpin[1]->SetPos(l);
    m_pRoom[0]->setText(QString::asprintf("%dm", w));
    m_pRoom[1]->setText(QString::asprintf("%dm", l));
    SetSpinRanges(w, l);

    m_pPanel->SetPosition(sf.fListenerX, sf.fListenerY, 0);
    ShowItem(0, sf.fListenerX, sf.fListenerY);
    SetItemSpins(0, sf.fListenerX, sf.fListenerY);
    for (int k = 0; k < kSoundFieldSpeakers; ++k) {
        SetItemSpins(k + 1, sf.fSpeakerX[k], sf.fSpeakerY[k]);
        m_pPanel->SetPosition(sf.fSpeakerX[k], sf.fSpeakerY[k], k + 1);
        ShowItem(k + 1, sf.fSpeakerX[k], sf.fSpeakerY[k]);
    }
    m_pRow->ShowPressed(-1, kTemplateSoundFieldPage);
}

void CSSVCDlg::SetSpinRanges(int width, int length) {
    for (auto& pair : m_pPosSpin) {
        pair[0]->SetRange(-5 * width, 5 * width);
        pair[1]->SetRange(-5 * length, 5 * length);
    }
}

void CSSVCDlg::ShowItem(int item, float x, float y) {
    m_pPos[item][0]->setText(PosText(x));
    m_pPos[item][1]->setText(PosText(y));
}

void CSSVCDlg::SetItemSpins(int item, float x, float y) {
    m_pPosSpin[item][0]->SetPos(Tenths(x));
    m_pPosSpin[item][1]->SetPos(Tenths(y));
}

// ---- Levels ----------------------------------------------------------------------------------------

float CSSVCDlg::LevelForDistance(float dx, float dy) {
    return SurroundLevelAt(dx, dy);
}

float CSSVCDlg::SpeakerLevel(int k) const {
    const SSVItem* listener = m_pPanel->Item(0);
    const SSVItem* speaker = m_pPanel->Item(k + 1);
    if (!listener || !speaker)
        return 0.0f;
    return LevelForDistance(speaker->fX - listener->fX, speaker->fY - listener->fY);
}

void CSSVCDlg::ApplySpeakerLevel(int k) {
    SetSurroundLevel(k, SpeakerLevel(k));
}

void CSSVCDlg::ApplyAllLevels() {
    for (int k = 0; k < kSoundFieldSpeakers; ++k)
        ApplySpeakerLevel(k);
}

// ---- Positions -------------------------------------------------------------------------------------

void CSSVCDlg::EditPosition(int editId, bool afterEnter) {
    int item = 0, axis = 0;
    if (!ItemOfEdit(editId, item, axis)) {
        qDebug("HandleEditChangeEvent Index=-1");
        return;
    }
    const float halfW = static_cast<float>(m_pRoomSpin[0]->Pos()) / 2.0f;
    const float halfL = static_cast<float>(m_pRoomSpin[1]->Pos()) / 2.0f;
    const float x = std::clamp(static_cast<float>(LeadingNumber(m_pPos[item][0]->text())), -halfW, halfW);
    const float y = std::clamp(static_cast<float>(LeadingNumber(m_pPos[item][1]->text())), -halfL, halfL);
    if (afterEnter)
        SetItemSpins(item, x, y);
    ShowItem(item, x, y);
    m_pPanel->SetPosition(x, y, item);
    if (item > 0) {
        {
            auto lock = LockStore();
            g_SoundField.fSpeakerX[item - 1] = x;
            g_SoundField.fSpeakerY[item - 1] = y;
        }
        EncodeAndSendSoundFieldBlock();
        ApplySpeakerLevel(item - 1);
    } else {
        {
            auto lock = LockStore();
            g_SoundField.fListenerX = x;
            g_SoundField.fListenerY = y;
        }
        EncodeAndSendSoundFieldBlock();
        ApplyAllLevels();
    }
}

void CSSVCDlg::OnPositionSpin(int editId, int pos, int delta) {
    int item = 0, axis = 0;
    if (!ItemOfEdit(editId, item, axis))
        return;
    const int room = m_pRoomSpin[axis]->Pos();
    const int v = std::clamp(pos + (delta > 0 ? 1 : -1), -5 * room, 5 * room);
    m_pPos[item][axis]->setText(PosText(static_cast<float>(v / 10.0)));
    m_pPos[item][axis]->setFocus();
    const CMergeableEdits merge;
    EditPosition(editId, false);
}

void CSSVCDlg::OnItem(int id, float x, float y) {
    if (id < 0 || id >= CSSVolumePanel::kItemCount)
        return;
    const CMergeableEdits merge; // a drag sends many
    ShowItem(id, x, y);
    if (id > 0) {
        ApplySpeakerLevel(id - 1);
        {
            auto lock = LockStore();
            g_SoundField.fSpeakerX[id - 1] = x;
            g_SoundField.fSpeakerY[id - 1] = y;
        }
        EncodeAndSendSoundFieldBlock();
    } else {
        {
            auto lock = LockStore();
            g_SoundField.fListenerY = y;
            g_SoundField.fListenerX = x;
        }
        EncodeAndSendSoundFieldBlock();
        ApplyAllLevels();
    }
    SetItemSpins(id, x, y);
}

void CSSVCDlg::OnCenter() {
    m_pPanel->SetPosition(0.0f, 0.0f, 0);
    {
        auto lock = LockStore();
        g_SoundField.fListenerX = 0.0f;
    }
    EncodeAndSendSoundFieldBlock();
    {
        auto lock = LockStore();
        g_SoundField.fListenerY = 0.0f;
    }
    EncodeAndSendSoundFieldBlock();
    ApplyAllLevels();
}

void CSSVCDlg::OnReset() {
    ResetSoundField();
    RefreshGeometry();
}

// ---- Room ------------------------------------------------------------------------------------------

void CSSVCDlg::OnRoomChange(bool fromModify) {
    // "4m" as the box shows it reads as 4.
    const int w = HeldRoom(LeadingNumber(m_pRoom[0]->text()));
    const int l = HeldRoom(LeadingNumber(m_pRoom[1]->text()));
    m_pRoom[0]->setText(QString::asprintf("%dm", w));
    m_pRoom[1]->setText(QString::asprintf("%dm", l));
    if (fromModify) {
        m_pRoomSpin[0]->SetPos(w);
        m_pRoomSpin[1]->SetPos(l);
    }
    m_pPanel->SetRoomSize(static_cast<float>(w), static_cast<float>(l));
    {
        auto lock = LockStore();
        g_SoundField.nRoomWidth = w;
        g_SoundField.nRoomLength = l;
    }
    EncodeAndSendSoundFieldBlock();
    SetSpinRanges(w, l);
}

void CSSVCDlg::OnRoomSpin(int which, int pos, int delta) {
    const int v = std::clamp(pos + (delta > 0 ? 1 : -1), 1, 10);
    m_pRoom[which]->setText(QString::number(v));
    OnRoomChange(false);
}

// ---- Locate, levels --------------------------------------------------------------------------------

void CSSVCDlg::OnLocate(int c, bool on) {
    SendParam(MOD_MUSIC, 34, on ? static_cast<uint32_t>(SlotValue(SET_OUT_ROLE + c)) : 8u);
    State().nLocatedChannel = on ? c + 1 : 0;
    for (int k = 0; k < kOutputChannels; ++k)
        m_pLocate[k]->setChecked(on && k == c);
}

void CSSVCDlg::OnLevel(int c, int pos) {
    const CMergeableEdits merge;
    SetSlot(SET_OUT_LEVEL + c, pos);
    m_pLevelText[c]->setText(QString::asprintf("%d%%", pos));
}
