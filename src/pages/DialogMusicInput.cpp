#include "pages/DialogMusicInput.h"

#include "controls/XBmpSlider.h"
#include "link/Events.h"
#include "link/Link.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>

#include <algorithm>

namespace {

constexpr int kLevelSlots[CDialogMusicInput::kRows] = {
    SET_SRC_LEVEL_SPDIF, SET_SRC_LEVEL_COAX,  SET_SRC_LEVEL_HDMI1, SET_SRC_LEVEL_HDMI2,
    SET_SRC_LEVEL_HDMI3, SET_SRC_LEVEL_HDMI4, SET_SRC_LEVEL_AUX1,  SET_SRC_LEVEL_AUX2};
constexpr int kSources[CDialogMusicInput::kRows] = {0, 1, 2, 2, 2, 2, 4, 5};
constexpr int kSourceHdmi = 2;
constexpr int kHdmiPorts = 4;
constexpr int kNoRow = -1;

// Dialog units of the template to pixels (about 1.5 x 1.6 at the console's font).
QRect Du(int x, int y, int w, int h) {
    return QRect(x * 3 / 2, y * 8 / 5, w * 3 / 2, h * 8 / 5);
}

} // namespace

CDialogMusicInput::CDialogMusicInput(const PageContext& context, int, QWidget* parent)
    : CPage(kTemplateMusicInput, context, parent) {
    setFixedSize(Du(0, 0, 233, 78).size());
    // The shown rows at y 13, 35 and 57; the hidden ones keep a place below them.
    constexpr int kRowY[kRows] = {13, 35, 79, 79, 79, 79, 57, 79};
    constexpr bool kShown[kRows] = {true, true, false, false, false, false, true, false};
    for (int r = 0; r < kRows; ++r) {
        m_pRadio[r] = new QRadioButton(this);
        SetCtrlId(m_pRadio[r], kRadioIds[r]);
        // One group for all eight: a click on one clears the others, hidden or not.
        m_pRadio[r]->setAutoExclusive(true);
        m_pRadio[r]->setGeometry(Du(16, kRowY[r] - 2, 62, 14));
        connect(m_pRadio[r], &QRadioButton::clicked, this, [this, r] { OnRadio(r); });
        auto* slider = new CXBmpSlider(this, kSliderIds[r], false);
        slider->setGeometry(Du(78, kRowY[r] - 2, 87, 14));
        QLabel* text = MakeText(this, kTextIds[r], Qt::AlignLeft | Qt::AlignVCenter);
        text->setText(QStringLiteral("0%"));
        text->setGeometry(Du(170, kRowY[r] - 2, 40, 14));
        for (QWidget* w :
             {static_cast<QWidget*>(m_pRadio[r]), static_cast<QWidget*>(slider), static_cast<QWidget*>(text)})
            w->setVisible(kShown[r]);
        m_bindings.Add(SlotName(kLevelSlots[r]).c_str(), slider, text).bTextOfPos = true;
        connect(slider, &CXBmpSlider::SliderPos, this, [this](int id, int pos) {
            const CMergeableEdits merge; // a newer position replaces one still waiting to go out
            m_bindings.Apply(id, pos);
        });
    }
    new CWheelForwarder(this);
    ApplyTexts(this, kTemplateMusicInput);
    Refresh();
}

void CDialogMusicInput::ReloadTexts() {
    ApplyTexts(this, kTemplateMusicInput);
}

void CDialogMusicInput::Refresh() {
    m_bindings.Refresh();
    int source, port;
    {
        auto lock = LockStore();
        source = g_Param.nSetting[SET_MUSIC_SOURCE];
        port = g_Param.nSetting[SET_HDMI_PORT];
    }
    switch (source) {
    case 0:
    case 1:
        m_nSelected = source;
        break;
    case kSourceHdmi:
        // Only the four HDMI ports have a row; another port from the processor selects none.
        m_nSelected = port >= 0 && port < kHdmiPorts ? 2 + port : kNoRow;
        break;
    case 4:
        m_nSelected = 6;
        break;
    case 5:
        m_nSelected = 7;
        break;
    default:
        break; // Bluetooth (or anything else): the previous selection stays
    }
    for (QRadioButton* radio : m_pRadio)
        radio->setAutoExclusive(false); // so that all eight can be cleared
    for (int r = 0; r < kRows; ++r)
        m_pRadio[r]->setChecked(r == m_nSelected);
    for (QRadioButton* radio : m_pRadio)
        radio->setAutoExclusive(true);
}

void CDialogMusicInput::RefreshLive(uint32_t regions) {
    if (regions & STORE_PARAMS)
        Refresh();
}

void CDialogMusicInput::OnRadio(int row) {
    m_nSelected = row;
    if (kSources[row] == kSourceHdmi)
        SetSlot(SET_HDMI_PORT, row - 2); // the port before the source
    SetSlot(SET_MUSIC_SOURCE, kSources[row]);
}

void CDialogMusicInput::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape end the dialog as OK and Cancel do: it is only hidden.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        hide();
        return;
    }
    CPage::keyPressEvent(event);
}
