// What the frame hands on to the view: the user's commands from the ribbon, the menus, the wheel and
// the close button. The view implements it; the frame holds only this interface.
#pragma once

#include "app/CommandIds.h"

#include <QString>

class CConnection;
class IFrameIntents;
class QWidget;

class IViewCommands {
public:
    virtual ~IViewCommands() = default;
    // The frame the view is to ask for its intents; null while the frame goes away.
    virtual void SetFrame(IFrameIntents* frame) = 0;
    // A ribbon, menu or status-bar command by its id.
    virtual void OnCommand(int id) = 0;
    virtual void OnCategoryShown(Category category) = 0;
    // A wheel notch over a row of the strip.
    virtual void StepVolume(VolumeRow row, int delta) = 0;
    // A recent file chosen.
    virtual bool OpenModeFilePath(const QString& path) = 0;
    // The close prompt, asked over `parent`: true when the window may close (the link is then closed).
    virtual bool QueryClose(QWidget* parent) = 0;
    // The frame is closing: the tool windows go with it.
    virtual void CloseToolWindows() = 0;
    // The connection the About box's live-poll switch turns; null without a device side.
    virtual CConnection* Connection() = 0;
};
