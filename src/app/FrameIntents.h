// What the view asks of the window around it, said by meaning: show a status text, set a row of the
// volume strip, mark the current mode, enable the equaliser commands. The frame implements it and
// alone knows its widgets; the view holds only this interface.
#pragma once

#include "app/CommandIds.h"

#include <QColor>
#include <QString>

#include <optional>

enum class StatusPane { Usb, Mode };

// A strip slider as the user left it.
struct StripPosition {
    int value, minimum, maximum;
};

class IFrameIntents {
public:
    virtual ~IFrameIntents() = default;
    // A status-bar text; a colour given is the text's colour from now on.
    virtual void ShowStatus(StatusPane pane, const QString& text, std::optional<QColor> colour = {}) = 0;
    // The status bar's bypass box and reset button of the page's equaliser.
    virtual void SetEqCommands(bool enabled, bool bypassed, const QString& bypassText,
                               const QString& resetText) = 0;
    // A row of the volume strip in both categories, without raising a command. The pitch row's
    // label is its panel's title.
    virtual void SetStripValue(VolumeRow row, int value) = 0;
    virtual void SetStripLabel(VolumeRow row, const QString& text) = 0;
    virtual void SetStripMute(VolumeRow row, bool muted) = 0;
    // The row's slider of the Input or the Output category; none without a strip.
    virtual std::optional<StripPosition> StripSlider(VolumeRow row, bool output) const = 0;
    virtual bool OutputShown() const = 0;
    // The check mark of the load and save menus.
    virtual void SetCurrentMode(int mode) = 0;
    // Wireless microphone `mic` (0, 1): signal, frequency and battery lines.
    virtual void SetMicStatus(int mic, const QString& signal, const QString& frequency,
                              const QString& battery) = 0;
    // The ribbon's own texts in the current language; the recent-files menu from the settings.
    virtual void RefreshTexts() = 0;
    virtual void RefreshRecentFiles() = 0;
};
