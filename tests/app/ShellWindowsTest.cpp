// The shell as the windowing system drives it: keys handed to a window the way the platform hands
// them in (the window first, then its focus widget), tool windows over the frame, and the frame's
// close ending the event loop.
#include "app/App.h"
#include "app/MainFrame.h"
#include "app/MainView.h"
#include "app/Ribbon.h"
#include "link/Timing.h"
#include "pages/PageRegistry.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/ProgressDlgs.h"
#include "ui/Prompts.h"

#include "TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <optional>

namespace {

constexpr int kToolWindows[] = {kTemplateFeatures, kTemplateMusicInput, kTemplateMachine, kTemplateRemote,
                                kTemplatePlugs};

class ShellWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreshStore();
        SetSettleScale(0.02);
        PromptHooks hooks;
        hooks.ask = [](QMessageBox::Icon, const QString&, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::No;
        };
        hooks.file = [this](bool, const QString&) {
            auto lock = LockStore();
            micWhenAsked = g_Param.nSetting[SET_MIC_VOLUME];
            return QString(); // cancelled
        };
        SetPromptHooks(hooks);
        Build();
    }
    void Build() {
        link = std::make_unique<CConsoleLink>(CConsoleLink::Kind::Simulated, QString());
        view = new CQX7745v13View(link.get());
        frame = std::make_unique<CMainFrame>(view);
        app.SetMainWindow(frame.get(), view);
        notices.emplace(frame.get());
        view->RefreshVolumeStrip();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }
    void TearDown() override {
        notices.reset();
        frame.reset();
        link.reset();
        SetLink(nullptr);
        SetPromptHooks({});
        SetSettleScale(1.0);
    }
    // A key pressed and released on the window that has the keyboard, through the platform's path.
    static void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWindow* window = QGuiApplication::focusWindow();
        ASSERT_NE(window, nullptr);
        QTest::keyClick(window, key, mods);
    }
    static int Slot(int slot) {
        auto lock = LockStore();
        return g_Param.nSetting[slot];
    }

    CQX7745v13App app;
    std::unique_ptr<CConsoleLink> link;
    CQX7745v13View* view = nullptr;
    std::unique_ptr<CMainFrame> frame;
    int micWhenAsked = -1;
    std::optional<ScopedNotices> notices; // the frame is their owner; a notice left open goes
    const ScopedLanguage m_language{0};   // last: as if set after the members, restored before them
};

TEST_F(ShellWindowsTest, TheFirstLetterAfterF7OrAClosedDialogIsAShortcut) {
    g_Status.byMachine[6] = 99;
    g_Param.nSetting[SET_MUSIC_VOLUME] = 60; // steps of two
    view->RefreshVolumeStrip();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    const int music = 60;

    // F7 opens machine settings on its release and the window takes the keyboard; Q then raises
    // the music volume at once, from the new window.
    Key(Qt::Key_F7);
    CPage* machine = view->ToolWindows().Window(kTemplateMachine);
    ASSERT_NE(machine, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(machine));
    Key(Qt::Key_Q);
    EXPECT_EQ(Slot(SET_MUSIC_VOLUME), music + 2);
    Key(Qt::Key_Q);
    EXPECT_EQ(Slot(SET_MUSIC_VOLUME), music + 4);

    // A modal box answered from the keyboard; the next letter on the window below still counts.
    machine->close();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QTimer::singleShot(0, frame.get(), [] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box->windowHandle(), Qt::Key_Escape);
    });
    QMessageBox box(QMessageBox::Information, QStringLiteral("M7Q"), QStringLiteral("x"), QMessageBox::Ok,
                    frame.get());
    box.exec();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    Key(Qt::Key_A);
    EXPECT_EQ(Slot(SET_MUSIC_VOLUME), music + 2);
}

TEST_F(ShellWindowsTest, CtrlSLowersTheMicrophoneThenOpensTheSaveDialog) {
    ASSERT_TRUE(view->ConnectAttempt(false));
    g_Status.byMachine[5] = 99;
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_MIC_VOLUME] = 40;
    }
    view->RefreshVolumeStrip();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(micWhenAsked, 39); // lowered by one before the dialog asked
    EXPECT_EQ(Slot(SET_MIC_VOLUME), 39);
    Key(Qt::Key_W, Qt::ControlModifier); // the other Ctrl+letters as before
    EXPECT_EQ(Slot(SET_MIC_VOLUME), 40);
}

TEST_F(ShellWindowsTest, ANoticeShownAgainFitsItsLongerText) {
    SetLanguage(1);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    // Without a device both maximums are 0: W and Q each say so, the second text the longer.
    Key(Qt::Key_W);
    Key(Qt::Key_Q);
    ASSERT_NE(InfoDlg(), nullptr);
    QPointer<QLabel> text = qobject_cast<QLabel*>(FindCtrl(InfoDlg(), 1223));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), QStringLiteral("Music vol can't over max value!"));
    // The window manager resizes it on its own time.
    EXPECT_TRUE(QTest::qWaitFor(
        [text] {
            return text &&
                   text->contentsRect().width() >= text->fontMetrics().horizontalAdvance(text->text());
        },
        500));
}

TEST_F(ShellWindowsTest, TheRibbonOpensTheSmartPlugWindowAgainAfterItClosed) {
    auto* button = frame->Ribbon()->ElementAs<QToolButton>(ID_PLUG_WINDOW);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromUtf8("智能插座"));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(InfoDlg() ? InfoDlg()->Text() : QString(), QString::fromUtf8("请先连接机器"));
        QPointer<CPage> plugs = view->ToolWindows().Window(kTemplatePlugs);
        ASSERT_NE(plugs, nullptr);
        EXPECT_TRUE(plugs->isVisible());
        plugs->close();
        QTest::qWait(300); // past its 200 ms load
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(plugs.isNull());
    }
    view->ToggleLanguage();
    EXPECT_EQ(button->text(), QStringLiteral("Smart plug"));
    view->ToggleLanguage();
}

TEST_F(ShellWindowsTest, MessageBoxesSpeakTheConsolesLanguageAndFitTheirCaptions) {
    auto buttonTexts = [] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("x"), QStringLiteral("x"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return QStringList{box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text(),
                           box.button(QMessageBox::Cancel)->text()};
    };
    view->ApplyLanguage(); // Chinese, as at a start in Chinese
    EXPECT_EQ(buttonTexts(), (QStringList{QString::fromUtf8("是(&Y)"), QString::fromUtf8("否(&N)"),
                                          QString::fromUtf8("取消")}));
    view->ToggleLanguage();
    EXPECT_EQ(buttonTexts(),
              (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("Cancel")}));
    view->ToggleLanguage();
    EXPECT_EQ(buttonTexts().value(0), QString::fromUtf8("是(&Y)"));

    // A short text under a longer caption: the box is as wide as the caption's title bar.
    const QString caption = QString::fromUtf8("文件打开错误");
    QMessageBox box(QMessageBox::Information, caption, QStringLiteral("a.txt"), QMessageBox::Ok, frame.get());
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_GE(box.width(), CaptionWidth(caption));
}

TEST_F(ShellWindowsTest, EveryToolWindowIsTransientForTheFrame) {
    for (int t : kToolWindows) {
        CPage* window = view->ToolWindows().Open(t);
        ASSERT_NE(window, nullptr) << t;
        EXPECT_EQ(window->windowType(), Qt::Dialog) << t; // the type a window manager keeps above
        ASSERT_NE(window->windowHandle(), nullptr) << t;
        EXPECT_EQ(window->windowHandle()->transientParent(), frame->windowHandle()) << t;
    }
}

TEST_F(ShellWindowsTest, ClosingTheFrameEndsTheEventLoopWhateverToolWindowsAreOpen) {
    frame.reset();
    link.reset();
    for (int mask = 0; mask < 1 << std::size(kToolWindows); ++mask) {
        SCOPED_TRACE(mask);
        Build();
        std::vector<QPointer<CPage>> open;
        for (size_t i = 0; i < std::size(kToolWindows); ++i)
            if (mask & (1 << i))
                open.emplace_back(view->ToolWindows().Open(kToolWindows[i]));
        QTimer::singleShot(0, frame.get(), [this] { frame->close(); });
        // A loop the close failed to end is ended by this guard, with another status.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
        guard.start(5000);
        EXPECT_EQ(QApplication::exec(), 0);
        for (const QPointer<CPage>& window : open)
            EXPECT_TRUE(!window || (window->DestroyRequested() && !window->isVisible()));
        for (int t : kToolWindows)
            EXPECT_EQ(view->ToolWindows().Window(t), nullptr);
        frame.reset();
        link.reset();
        SetLink(nullptr);
    }
}

} // namespace
