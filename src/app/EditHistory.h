// Undo and redo of every edit, A/B compare, comparing with a mode file and the drift check: all four
// are differences between two sets of settings (model/Diff), sent through the edits' own operations.
#pragma once

#include "model/Diff.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class CConsoleLink;
class CQX7745v13View;
class QAction;
class QUndoStack;
class QWidget;

// Ribbon command ids of the history, A/B and compare buttons.
enum : int {
    ID_HISTORY_UNDO = 33001,
    ID_HISTORY_REDO = 33002,
    ID_HISTORY_VIEW = 33003,
    ID_AB_STORE_A = 33004,
    ID_AB_STORE_B = 33005,
    ID_AB_TOGGLE = 33006,
    ID_COMPARE_FILE = 33007,
    ID_CHECK_PROCESSOR = 33008,
};

// Keys: Ctrl+Z is taken (it acts as Z, the music mute), and so is every letter the key filter reads.
inline constexpr const char* kUndoKeys = "Alt+Backspace";
inline constexpr const char* kRedoKeys = "Ctrl+Y";

class CEditHistory : public QObject {
    Q_OBJECT
public:
    // `window` hosts the key bindings and is the parent of the dialogs.
    CEditHistory(CQX7745v13View* view, CConsoleLink* link, QWidget* window);
    ~CEditHistory() override;

    // The ribbon's commands of this class; false for any other id.
    bool OnCommand(int id);
    QUndoStack& Stack() { return *m_pStack; }
    QAction* UndoAction() const { return m_pUndo; }
    QAction* RedoAction() const { return m_pRedo; }
    // "A plays", "B plays", ... for the status bar; empty before anything was stored.
    QString AbText() const;
    void SetAbPane(QLabel* pane);

    void StoreA();
    void StoreB();
    void ToggleAB();
    // Compares with a mode file: the list, and the ticked differences applied (one undo step).
    void CompareWithFile(const QString& path = QString());
    // A read-all into a copy, compared with the console's mirror.
    void CheckProcessor();
    // The dialog of the last comparison (tests); null when none is open.
    QDialog* CompareDialog() const { return m_pCompare; }
    // What a step's edit was, seen so far: steps, merges (tests, the soak).
    int Merges() const { return m_nMerges; }
    // Looks for an edit now instead of after the input event (tests and tools that edit in code).
    void RecordNow() { Record(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CSettingsStep;
    void Record();
    void ScheduleRecord();
    void Push(const SettingsSnapshot& before, const SettingsSnapshot& after, const QString& text,
              bool mergeable);
    // Sends what differs to reach `target` (an undo, a redo, a toggle); the window follows.
    void ApplyAndRefresh(const SettingsSnapshot& target);
    void OnSyncFinished(int kind);
    void OnDeviceArrived();
    void ShowDifferences(const std::vector<SettingDifference>& diffs, const QString& title,
                         const QString& aTitle, const QString& bTitle, const QString& takeText,
                         const QString& sendText, const SettingsSnapshot& b);
    void UpdatePane();

    CQX7745v13View* m_pView;
    CConsoleLink* m_pLink;
    QWidget* m_pWindow;
    QUndoStack* m_pStack;
    QAction* m_pUndo;
    QAction* m_pRedo;
    QPointer<QDialog> m_pHistoryView;
    QPointer<QDialog> m_pCompare;
    QPointer<QLabel> m_pAbPane;
    SettingsSnapshot m_last; // what the history believes the processor holds
    std::optional<SettingsSnapshot> m_a, m_b;
    std::optional<SettingsSnapshot> m_checkMirror; // the console's values while the check reads
    int m_nRecallMode = -1;
    bool m_bRecordQueued = false;
    bool m_bApplying = false;
    int m_nMerges = 0;
    QElapsedTimer m_clock;
};
