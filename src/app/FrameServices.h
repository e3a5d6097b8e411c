// What the main view asks of the window around it. The frame implements it; the view holds only this
// interface, so frame and view do not include each other.
#pragma once

#include <QColor>
#include <QString>

class CMyMFCRibbonBar;

class IFrameServices {
public:
    virtual ~IFrameServices() = default;
    virtual CMyMFCRibbonBar* Ribbon() const = 0;
    virtual void RefreshRibbonTexts() = 0;
    virtual void SetPitchPanelTitles() = 0;
    virtual void RefreshRecentFiles() = 0;
    virtual void SetUsbPane(const QString& text, const QColor& colour) = 0;
    virtual void SetModePane(const QString& text) = 0;
    virtual void SetEqControls(bool enabled, bool bypassed, const QString& bypassText,
                               const QString& resetText) = 0;
};
