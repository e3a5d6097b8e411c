#include "app/App.h"

#include "app/MainFrame.h"
#include "app/MainView.h"
#include "link/Events.h"
#include "model/ParamStore.h"
#include "pages/Page.h"
#include "pages/PageRegistry.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Prompts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcutEvent>

namespace {

constexpr int kNoticeMs = 1100;
} // namespace

CQX7745v13App::CQX7745v13App() : m_leftCtrl(QGuiApplication::platformName()) {
    qApp->installEventFilter(this);
    FitMessageBoxesToCaptions();
}

CQX7745v13App::~CQX7745v13App() {
    qApp->removeEventFilter(this);
}

void CQX7745v13App::SetMainWindow(CMainFrame* frame, CQX7745v13View* view) {
    m_pFrame = frame;
    m_pView = view;
}

CMainFrame* CQX7745v13App::Frame() const {
    return m_pFrame;
}
CQX7745v13View* CQX7745v13App::View() const {
    return m_pView;
}

void CQX7745v13App::OpenToolWindow(int nTemplate) {
    if (m_pView)
        m_pView->OpenPage(nTemplate);
}

void CQX7745v13App::DestroyToolWindows() {
    if (m_pView)
        m_pView->ToolWindows().Destroy();
}

bool CQX7745v13App::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        // Ctrl+S opens the save dialog by its accelerator, which takes the key before any window
        // sees it: lower the microphone volume first, as the key does with any other Ctrl+letter.
        if (static_cast<QShortcutEvent*>(event)->key() == QKeySequence(Qt::CTRL | Qt::Key_S) &&
            !TypingOrModal())
            ActOnLetter(Qt::Key_S, m_leftCtrl.Held(Qt::ControlModifier));
        return QObject::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // A key event travels from the window to the focus widget and up its parents; act on it once.
    if (!m_delivery.FirstSight(watched, *key))
        return false;
    m_leftCtrl.Observe(*key);
    if (event->type() == QEvent::KeyRelease) {
        if (const PageRow* row = FindPageByKey(key->key()); row && !key->isAutoRepeat()) {
            if (!SyncDialogRunning())
                OpenToolWindow(row->nTemplate);
            return true;
        }
        return false;
    }
    return HandleKeyPress(key);
}

bool CQX7745v13App::HandleKeyPress(QKeyEvent* event) {
    CQX7745v13View* view = m_pView;
    if (!view)
        return false;
    const bool ctrl = m_leftCtrl.Held(event->modifiers());
    const int key = event->key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F4) {
        int connected;
        {
            auto lock = LockStore();
            connected = g_Param.bConnected;
        }
        if (connected && !SyncDialogRunning()) {
            const int m = key - Qt::Key_F1;
            if (ctrl)
                view->SaveMode(m, true);
            else
                view->LoadMode(m);
        }
        return true;
    }
    if (ctrl && key >= Qt::Key_0 && key <= Qt::Key_9) {
        if (CPage* page = view->Page())
            page->PickBand(key == Qt::Key_0 ? 9 : key - Qt::Key_1);
        return false;
    }
    // Letters typed into a text field or a modal dialog are text, not commands.
    if (!TypingOrModal())
        ActOnLetter(key, ctrl);
    return false; // the key still reaches its window
}

void CQX7745v13App::ActOnLetter(int key, bool ctrl) {
    CQX7745v13View* view = m_pView;
    if (!view)
        return;
    auto volume = [&](VolumeRow row, int slot, bool up) {
        int current;
        {
            auto lock = LockStore();
            current = g_Param.nSetting[slot];
        }
        const int step = ctrl ? 1 : (current < 50 ? 5 : 2);
        view->StepVolume(row, up ? step : -step);
    };
    auto mute = [&](VolumeRow row, int slot, const char* zh, const char* en) {
        view->ToggleMute(row);
        int muted;
        {
            auto lock = LockStore();
            muted = g_Param.nSetting[slot];
        }
        if (muted)
            ShowInfoPopup(Tr(zh, en), kNoticeMs);
    };
    switch (key) {
    case Qt::Key_Q:
        volume(VolumeRow::Music, SET_MUSIC_VOLUME, true);
        break;
    case Qt::Key_A:
        volume(VolumeRow::Music, SET_MUSIC_VOLUME, false);
        break;
    case Qt::Key_W:
        volume(VolumeRow::Mic, SET_MIC_VOLUME, true);
        break;
    case Qt::Key_S:
        volume(VolumeRow::Mic, SET_MIC_VOLUME, false);
        break;
    case Qt::Key_E:
        volume(VolumeRow::Echo, SET_ECHO_VOLUME, true);
        break;
    case Qt::Key_D:
        volume(VolumeRow::Echo, SET_ECHO_VOLUME, false);
        break;
    case Qt::Key_R:
        volume(VolumeRow::Reverb, SET_REVERB_VOLUME, true);
        break;
    case Qt::Key_F:
        volume(VolumeRow::Reverb, SET_REVERB_VOLUME, false);
        break;
    case Qt::Key_Z:
        mute(VolumeRow::Music, SET_MUSIC_MUTE, "音乐已静音", "Music Muted");
        break;
    case Qt::Key_X:
        mute(VolumeRow::Mic, SET_MIC_MUTE, "话筒已静音", "Mic Muted");
        break;
    case Qt::Key_C:
        mute(VolumeRow::Echo, SET_ECHO_MUTE, "回声已静音", "Echo muted");
        break;
    case Qt::Key_V:
        mute(VolumeRow::Reverb, SET_REVERB_MUTE, "混响已静音", "Reverb muted");
        break;
    case Qt::Key_P:
        view->ToggleEqBypass();
        break;
    default:
        break;
    }
}
