#include "app/VolumeStrip.h"

#include "app/FrameIntents.h"
#include "model/ParamStore.h"
#include "model/Setters.h"
#include "ui/Language.h"
#include "ui/Notices.h"

#include <algorithm>

namespace {

constexpr int kNoticeMs = 1100;

struct RowSlots {
    int slot, muteSlot;
    const char* zh;
    const char* en;
};

const RowSlots& Slots(VolumeRow row) {
    static const RowSlots rows[] = {
        {SET_MIC_VOLUME, SET_MIC_MUTE, "话筒音量:", "Mic    Vol: "},
        {SET_EFFECT_VOLUME, -1, "效果总音量:", "Effect    Vol:"},
        {SET_REVERB_VOLUME, SET_REVERB_MUTE, "混响音量:  ", "Reverb Vol:"},
        {SET_ECHO_VOLUME, SET_ECHO_MUTE, "回声音量:", "Echo Vol:"},
        {SET_MUSIC_VOLUME, SET_MUSIC_MUTE, "音乐音量:", "Music Vol:"},
        {SET_MUSIC_GATE, -1, "音乐噪声门:", "Noisegate:"},
        {SET_MUSIC_PITCH, -1, "音乐变调:", "Music Pitch:"},
    };
    return rows[int(row)];
}

int Slot(int slot) {
    auto lock = LockStore();
    return g_Param.nSetting[slot];
}

QString FormatRowLabel(VolumeRow row, int value) {
    const RowSlots& ids = Slots(row);
    const int width = (row == VolumeRow::Gate && IsEnglish()) ? 7 : 3;
    return Tr(ids.zh, ids.en) + QStringLiteral("%1").arg(value, width);
}

QString PitchText() {
    int pitch;
    {
        auto lock = LockStore();
        pitch = g_Param.nSetting[SET_MUSIC_PITCH];
    }
    return Tr("音乐变调:", "Music Pitch:") + QString::asprintf("%+-d", pitch);
}

} // namespace

int CVolumeStrip::SliderValue(VolumeRow row, bool output) const {
    const auto slider = m_pFrame ? m_pFrame->StripSlider(row, output) : std::nullopt;
    return slider ? slider->value : Slot(Slots(row).slot);
}

void CVolumeStrip::SetSliders(VolumeRow row, int value) {
    if (m_pFrame)
        m_pFrame->SetStripValue(row, value);
}

void CVolumeStrip::SetLabels(VolumeRow row) {
    if (!m_pFrame)
        return;
    m_pFrame->SetStripLabel(row, row == VolumeRow::Pitch ? PitchText()
                                                         : FormatRowLabel(row, Slot(Slots(row).slot)));
}

void CVolumeStrip::Changed(VolumeRow row) {
    const RowSlots& ids = Slots(row);
    int value = SliderValue(row, m_pFrame && m_pFrame->OutputShown());
    if (row == VolumeRow::Pitch) {
        SetSlot(SET_MUSIC_PITCH, value);
        SetSliders(row, value);
        SetLabels(row);
        return;
    }
    if (row == VolumeRow::Mic || row == VolumeRow::Music) {
        int maximum;
        {
            auto lock = LockStore();
            maximum = g_Status.byMachine[row == VolumeRow::Mic ? 5 : 6];
        }
        if (value > maximum) {
            value = maximum;
            ShowInfoPopup(row == VolumeRow::Mic
                              ? Tr("不能超过最大话筒音量!", "Mic vol can't over max value!")
                              : Tr("不能超过最大音乐音量!", "Music vol can't over max value!"),
                          kNoticeMs);
        }
    }
    SetSliders(row, value);
    SetSlot(ids.slot, value);
    if (ids.muteSlot >= 0 && Slot(ids.muteSlot) != 0)
        ShowInfoPopup(Tr("当前是静音状态", "vol is mute"), kNoticeMs);
    SetLabels(row);
}

void CVolumeStrip::Step(VolumeRow row, int delta) {
    const auto in = m_pFrame ? m_pFrame->StripSlider(row, false) : std::nullopt;
    if (!in)
        return;
    const int value = std::clamp(in->value + delta, in->minimum, in->maximum);
    SetSliders(row, value);
    Changed(row);
}

void CVolumeStrip::ToggleMute(VolumeRow row) {
    const int slot = Slots(row).muteSlot;
    if (slot < 0)
        return;
    // The setter sends the row: 1.0 when unmuted, 0.0 when muted; music un-mutes with its fade.
    SetSlot(slot, Slot(slot) ? 0 : 1);
}

void CVolumeStrip::Refresh() {
    if (!m_pFrame)
        return;
    for (VolumeRow row : kAllRows) {
        SetSliders(row, Slot(Slots(row).slot));
        SetLabels(row);
    }
}
