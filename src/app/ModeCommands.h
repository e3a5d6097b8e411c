// The memory modes and the mode files: load and store a mode on the processor, open a file into it
// (from the dialog, the command line or the recent list), save the store to a file, and the close
// prompt's offer to save. Questions and notices are asked over the view.
#pragma once

#include <QString>

#include <functional>
#include <utility>

class CConsoleLink;
class IFrameIntents;
class QWidget;

class CModeCommands {
public:
    // `stateChanged` refreshes the command states once a mode has been stored.
    CModeCommands(CConsoleLink* link, QWidget* view, std::function<void()> stateChanged);
    void SetFrame(IFrameIntents* frame) { m_pFrame = frame; }
    // Told when a memory mode's recall was sent (its read-all follows).
    void SetRecallWatch(std::function<void(int mode)> watch) { m_recallWatch = std::move(watch); }

    // `fromKey` is the F1..F4 path.
    void LoadMode(int m);
    void SaveMode(int m, bool fromKey);
    void OpenModeFile();
    void SaveModeFile();
    bool OpenModeFilePath(const QString& path); // command line and recent files
    // A modified store may be saved to a file and the current mode first; false: the user cancelled
    // or the file could not be written, and the window stays.
    bool OfferSaveBeforeClose(QWidget* parent);

private:
    void FileWritten(const QString& path);

    CConsoleLink* m_pLink;
    QWidget* m_pView;
    std::function<void()> m_stateChanged;
    IFrameIntents* m_pFrame = nullptr;
    std::function<void(int)> m_recallWatch;
};
