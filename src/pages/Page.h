// The base of every page in the main view and every tool window: refresh from the store, texts of
// the current language, the live parts that follow "store changed", and a typed request to open
// another page. Pages are made by the page registry with a context; they never reach up into the
// shell.
#pragma once

#include "sync/PollToken.h"
#include "ui/Colors.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class CConsoleLink;
class QDialog;

// What the shell remembers between pages.
struct PageState {
    int nOutputChannel = 0;  // the output channel last shown, reopened from the Output category
    int nLocatedChannel = 0; // the sound field's located output channel 1..8, 0 for none
    int nMusicPageMode = 0;  // the music page's mode last chosen (0 Mic A, 1 Mic B, 2 Music)
    int nCopiedEq = -1;      // the EQ last copied on any page (EqId), -1 for none
};

// Everything a page may use from outside itself.
struct PageContext {
    CConsoleLink* pLink = nullptr; // the device side and its signals; null without one (tests)
    PageState* pState = nullptr;   // never null for a page the registry made; else the page keeps its own
};

class CPage : public QWidget {
    Q_OBJECT
public:
    CPage(int nTemplate, const PageContext& context, QWidget* parent = nullptr);
    int TemplateId() const { return m_nTemplate; }
    const PageContext& Context() const { return m_context; }
    PageState& State() const { return *m_context.pState; }
    // Keeps the live poll off the link while the token lives; holds nothing without a link.
    [[nodiscard]] CPollToken SuspendLivePoll() const;

    // Reloads every control from the store (after a synchronisation, a file load, a page switch).
    virtual void Refresh() {}
    // Re-applies the texts of the current language.
    virtual void ReloadTexts() {}
    // The store changed in `regions` (StoreRegion bits) without a user command: update live parts.
    virtual void RefreshLive(uint32_t regions) { (void)regions; }
    // The argument a page was opened with again (a channel, an effect EQ); -1 is none.
    virtual void Select(int arg) { (void)arg; }

    // The current equaliser of the page, for the status-bar bypass and reset and the P key.
    virtual bool HasEq() const { return false; }
    virtual bool EqBypassed() const { return false; }
    virtual void ToggleEqBypass() {}
    virtual void ResetEq() {}
    // Left Ctrl + digit: select band `band` (0-based) of the current equaliser.
    virtual void PickBand(int band) { (void)band; }

    // A window may be asked to go away while it waits in a nested modal loop of its own (a device
    // arrival during a progress dialog). Run modal dialogs through RunModal: it returns false when
    // the window was asked to go away meanwhile, and the window is then deleted once every such loop
    // has returned, so nothing returns into a deleted object.
    bool RunModal(QDialog& dialog, int* result = nullptr);
    // The same for a modal loop that is not a dialog of the window's own (a shared progress dialog).
    bool RunNested(const std::function<void()>& loop);
    // Deletes the window now when no modal loop of its own runs, else once the last one returns.
    void RequestDestroy();
    bool DestroyRequested() const { return m_bDestroyRequested; }

signals:
    // Asks the shell to show the page of template `nTemplate` with its argument (-1: none). The
    // switch is queued, so the asking page is never deleted inside its own handler.
    void OpenPage(int nTemplate, int arg);

private:
    int m_nTemplate;
    PageContext m_context;
    std::unique_ptr<PageState> m_pOwnState;
    int m_nModalDepth = 0;
    bool m_bDestroyRequested = false;
};
