// Undo, A/B and the drift check in the window, against the simulated processor, offscreen.
#include "app/EditHistory.h"
#include "app/App.h"
#include "app/MainFrame.h"
#include "app/MainView.h"
#include "app/Ribbon.h"
#include "link/Timing.h"
#include "model/Diff.h"
#include "model/Eq.h"
#include "model/Setters.h"
#include "sim/SimBackend.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/Prompts.h"

#include "TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>

#include <mutex>

namespace {

class EditHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreshStore();
        SetLanguage(1);
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("M7Q V1.0")).clear();
        SetSettleScale(0.02);
        PromptHooks hooks;
        hooks.ask = [](QMessageBox::Icon, const QString&, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::Yes;
        };
        SetPromptHooks(hooks);
        link = std::make_unique<CConsoleLink>(CConsoleLink::Kind::Simulated, QString());
        link->Link().SetTrace([this](char direction, const Report& r) {
            if (direction == '>') {
                std::lock_guard lock(sentMutex);
                sent.push_back(r);
            }
        });
        view = new CQX7745v13View(link.get());
        frame = std::make_unique<CMainFrame>(view);
        app.SetMainWindow(frame.get(), view);
        SetNoticeOwner(frame.get());
        ASSERT_TRUE(view->ConnectAttempt(false));
        QApplication::processEvents();
        ClearSent();
    }
    void TearDown() override {
        frame.reset();
        link.reset();
        SetLink(nullptr);
        SetPromptHooks({});
        SetSettleScale(1.0);
        SetLanguage(0);
    }
    CEditHistory& History() { return *frame->History(); }
    // What was sent but the live poll, which runs on its own timer.
    std::vector<Report> Sent() {
        link->Link().Flush();
        std::lock_guard lock(sentMutex);
        std::vector<Report> edits;
        for (const Report& r : sent)
            if (r[1] != CMD_GET_LIVE)
                edits.push_back(r);
        return edits;
    }
    void ClearSent() {
        link->Link().Flush();
        std::lock_guard lock(sentMutex);
        sent.clear();
    }
    // What `edit` sends from the store as `from` holds it, captured instead of sent.
    std::vector<Report> SentBy(const SettingsSnapshot& from, const std::function<void()>& edit) {
        const SettingsSnapshot keep = TakeSettings();
        CRecordingLink rec;
        SetLink(&rec);
        LaySettings(from);
        edit();
        SetLink(&link->Link());
        LaySettings(keep);
        return rec.Reports();
    }
    // A mouse move with the button held over the window, then what its handler would do.
    void Move(const std::function<void()>& handler) {
        QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &move);
        handler();
        QApplication::processEvents();
    }
    void Click(int id) {
        auto* button = frame->Ribbon()->ElementAs<QToolButton>(id);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();
    }

    CQX7745v13App app;
    std::unique_ptr<CConsoleLink> link;
    CQX7745v13View* view = nullptr;
    std::unique_ptr<CMainFrame> frame;
    std::mutex sentMutex;
    std::vector<Report> sent;
};

TEST_F(EditHistoryTest, ALinkedBandDragIsOneStepAndUndoSendsTheOldBandOnEveryChannel) {
    const int linked[] = {0, 2, 5};
    const SettingsSnapshot before = TakeSettings();
    const BandValues old = ReadEqBands(EQ_OUT1, 4)[3];
    for (int i = 0; i < 100; ++i)
        Move([&] { WriteOutputBand(linked, 3, BandValues{3.0f, 300.0f + i, 2.25f, EQ_PEQ}); });
    EXPECT_EQ(History().Stack().count(), 1);
    EXPECT_EQ(History().Merges(), 99);
    EXPECT_EQ(History().Stack().text(0).toStdString(), "out1 band 4 and 2 more");
    const SettingsSnapshot after = TakeSettings();

    ClearSent();
    Click(ID_HISTORY_UNDO);
    EXPECT_EQ(Sent(), SentBy(after, [&] { WriteOutputBand(linked, 3, old); }));
    EXPECT_EQ(TakeSettings(), before);

    ClearSent();
    Click(ID_HISTORY_REDO);
    EXPECT_EQ(Sent(), SentBy(before, [&] {
                  WriteOutputBand(linked, 3, BandValues{3.0f, 399.0f, 2.25f, EQ_PEQ});
              }));
    EXPECT_EQ(TakeSettings(), after);
}

TEST_F(EditHistoryTest, UndoKeysDoNotMuteTheMusicAndEditsOfOtherSettingsAreStepsOfTheirOwn) {
    const int32_t muted = g_Param.nSetting[SET_MUSIC_MUTE];
    Move([] { SetSlot(SET_OUT_MUTE + 1, 1); });
    Move([] { SetSlotFloat(SET_OUT_COMP_RATIO + 1, 5.0f); });
    ASSERT_EQ(History().Stack().count(), 2);
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    ClearSent();
    QTest::keyClick(frame.get(), Qt::Key_Backspace, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_EQ(History().Stack().index(), 1);
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_MUTE], muted);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_MUTE + 1], 1);
    ASSERT_FALSE(Sent().empty());
    for (const Report& r : Sent()) // the compressor block of output 2, nothing else
        EXPECT_TRUE(r[1] == CMD_SET_PARAM && r[3] == MOD_OUT1 + 1 && r[4] == 27);
    QTest::keyClick(frame.get(), Qt::Key_Y, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(History().Stack().index(), 2);
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_MUTE], muted);
}

TEST_F(EditHistoryTest, ABToggleSendsOnlyTheDifferencesAndTheStatusBarSaysWhichPlays) {
    Click(ID_AB_STORE_A);
    const SettingsSnapshot a = TakeSettings();
    EXPECT_EQ(frame->AbPane()->text().toStdString(), "A/B: A plays");
    Move([] { SetSlotFloat(SET_OUT_DELAY + 3, 7.5f); });
    Click(ID_AB_STORE_B);
    EXPECT_EQ(frame->AbPane()->text().toStdString(), "A/B: B plays");
    ClearSent();
    Click(ID_AB_TOGGLE);
    EXPECT_EQ(TakeSettings(), a);
    EXPECT_EQ(Sent(), SentBy(TakeSettings(), [] { SendSlot(SET_OUT_DELAY + 3); }));
    EXPECT_EQ(frame->AbPane()->text().toStdString(), "A/B: A plays");
    Click(ID_AB_TOGGLE);
    EXPECT_EQ(frame->AbPane()->text().toStdString(), "A/B: B plays");
}

TEST_F(EditHistoryTest, CheckProcessorFindsDriftAndSendsTheConsolesValues) {
    const SettingsSnapshot mirror = TakeSettings();
    SimFaults drift;
    drift.nDriftAfterMs = 1;
    link->Sim()->SetFaults(drift);
    QTest::qWait(50);
    History().CheckProcessor();
    QTest::qWait(50);
    EXPECT_EQ(TakeSettings(), mirror); // the console keeps its values while the list is open
    QDialog* dlg = History().CompareDialog();
    ASSERT_NE(dlg, nullptr);
    auto* list = dlg->findChild<QTreeWidget*>(QStringLiteral("differences"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0).toStdString(), "music band 1");
    EXPECT_EQ(list->topLevelItem(1)->text(0).toStdString(), "SET_MUSIC_VOLUME");
    list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    ClearSent();
    QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("send")), Qt::LeftButton);
    QApplication::processEvents();
    for (const Report& r : Sent()) // the music volume only
        EXPECT_TRUE(r[1] == CMD_SET_PARAM && r[3] == MOD_MUSIC && r[4] == 12);
    EXPECT_EQ(Sent().size(), 1u);
}

} // namespace
