// Questions, message boxes and file dialogs of every window, in one place so that tests can answer them.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

struct PromptHooks {
    // Returns the button pressed (QMessageBox::Yes, No, Cancel, Ok).
    std::function<QMessageBox::StandardButton(QMessageBox::Icon, const QString& caption, const QString& text,
                                              QMessageBox::StandardButtons buttons)>
        ask;
    // Returns the chosen path, or empty for cancel.
    std::function<QString(bool save, const QString& defaultName)> file;
};

// Every message box of the application is made at least wide enough for its caption in a window
// title bar, with the title bar's icon and buttons beside it. Installed once, application-wide.
void FitMessageBoxesToCaptions();
// The width a message box needs for `caption` in its title bar.
int CaptionWidth(const QString& caption);

// Installs test answers; an empty hook restores the real dialogs.
void SetPromptHooks(PromptHooks hooks);

QMessageBox::StandardButton AskBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                   const QString& text, QMessageBox::StandardButtons buttons);
// File dialogs with a name filter ("Filter texts (*.txt)"); `suffix` is added to a saved name without one.
QString AskFileToOpen(QWidget* parent, const QString& filter);
QString AskFileToSave(QWidget* parent, const QString& filter, const QString& suffix,
                      const QString& defaultName);
// Mode-file dialogs with the filter "Mode Files (*.vm3zt)".
QString AskModeFileToOpen(QWidget* parent);
QString AskModeFileToSave(QWidget* parent, const QString& defaultName);

// The box of a mode file that could not be written: the system's error number and the path.
QString WriteFailureText(int err, const QString& path);
void ShowWriteFailure(QWidget* parent, int err, const QString& path);
