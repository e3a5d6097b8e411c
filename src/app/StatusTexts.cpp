#include "app/StatusTexts.h"

#include "app/FrameIntents.h"
#include "model/ParamStore.h"
#include "ui/Language.h"

#include <algorithm>
#include <array>

QString RfBars(int r) {
    static const char* const bars[] = {"■■■■■", "■■■■__", "■■■____", "■■______", "■_______", "_________"};
    const int n = r > 230 ? 0 : r > 210 ? 1 : r > 190 ? 2 : r > 170 ? 3 : r > 150 ? 4 : 5;
    return QString::fromUtf8(bars[n]);
}

QString AfBars(int a) {
    static const char* const bars[] = {"■■■■■", "■■■■__", "■■■____", "■■______", "■_______", "_________"};
    const int n = a > 12 ? 0 : a > 9 ? 1 : a > 6 ? 2 : a > 3 ? 3 : a > 0 ? 4 : 5;
    return QString::fromUtf8(bars[n]);
}

QString BatteryBars(int byteValue) {
    static const char* const bars[] = {"■■■■■", "■■■■__", "■■■____", "■■______", "_________"};
    const int t = byteValue * 8;
    const int n = t > 1610 ? 0 : t > 1562 ? 1 : t > 1524 ? 2 : t > 1330 ? 3 : 4;
    return QString::fromUtf8(bars[n]);
}

QString MicChannelFrequency(int c) {
    if (c < 0 || c > 199)
        return QStringLiteral("665.25MHz");
    const int s = c <= 12 ? c : c <= 76 ? c + 1 : c <= 100 ? c + 2 : c + 5;
    return QString::asprintf("%.2fMHz", (665250.0 + 500.0 * s) / 1000.0);
}

void ShowStatusTexts(IFrameIntents& frame, const QString& usbWhy) {
    int mutes[4], mode, connected;
    std::array<uint8_t, 16> live;
    QString modeName;
    {
        auto lock = LockStore();
        mutes[0] = g_Param.nSetting[SET_MIC_MUTE];
        mutes[1] = g_Param.nSetting[SET_REVERB_MUTE];
        mutes[2] = g_Param.nSetting[SET_ECHO_MUTE];
        mutes[3] = g_Param.nSetting[SET_MUSIC_MUTE];
        mode = std::clamp(int(g_Param.nCurMode), 0, kModeCount - 1);
        connected = g_Param.bConnected;
        live = g_Param.byLiveStatus;
        modeName = QString::fromStdString(
            ToUtf8(U16(g_Device.szModeName[mode].data(), g_Device.szModeName[mode].size())));
    }
    const VolumeRow muteRows[4] = {VolumeRow::Mic, VolumeRow::Reverb, VolumeRow::Echo, VolumeRow::Music};
    for (int i = 0; i < 4; ++i)
        frame.SetStripMute(muteRows[i], mutes[i] != 0);
    frame.SetCurrentMode(mode);
    static const char* const modeZh[] = {"模式一", "模式二", "模式三", "模式四"};
    const QString why = connected || usbWhy.isEmpty() ? QString() : QStringLiteral(" — ") + usbWhy;
    frame.ShowStatus(StatusPane::Usb,
                     connected ? Tr("USB：已连接", "USB:Connected")
                               : Tr("USB：未连接", "USB:Disconnected") + why,
                     connected ? QColor(0, 150, 0) : QColor(220, 0, 0));
    frame.ShowStatus(StatusPane::Mode, Tr("当前模式:%1[%2]", "Current Mode:%1[%2]")
                                           .arg(IsEnglish() ? QStringLiteral("Mode%1").arg(mode + 1)
                                                            : QString::fromUtf8(modeZh[mode]),
                                                modeName));
    // Wireless microphones 1 and 2.
    for (int mic = 0; mic < 2; ++mic) {
        const int base = 8 + 4 * mic;
        const QString rf = QStringLiteral("RF:%1 AF:%2").arg(RfBars(live[base]), AfBars(live[base + 1]));
        const QString freq = Tr("频率:%1", "Freq:%1").arg(MicChannelFrequency(live[base + 2]));
        const QString battery = Tr("电   量:%1", "Battary: %1").arg(BatteryBars(live[base + 3]));
        frame.SetMicStatus(mic, rf, freq, battery);
    }
}
