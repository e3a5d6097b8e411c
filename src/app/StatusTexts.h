// The texts that follow the store without a command: the USB and mode panes, the mute boxes, the
// mode menus' check mark and the wireless-microphone lines.
#pragma once

#include <QString>

class IFrameIntents;

// Wireless-microphone texts.
QString RfBars(int level);
QString AfBars(int level);
QString BatteryBars(int byteValue);
QString MicChannelFrequency(int channel); // "665.25MHz"

// Shows them all through `frame`; `usbWhy` says why a processor that is there is not connected.
void ShowStatusTexts(IFrameIntents& frame, const QString& usbWhy);
