// The console shell against the recording link or the simulated processor, offscreen.
#include "app/AboutDlg.h"
#include "app/App.h"
#include "app/MainFrame.h"
#include "app/MainView.h"
#include "app/Ribbon.h"
#include "app/Settings.h"
#include "controls/EqBandEditor.h"
#include "controls/EqPanel.h"
#include "controls/SmallEqPanel.h"
#include "controls/XBmpSlider.h"
#include "dispatch/Dispatcher.h"
#include "files/ModeFile.h"
#include "link/Codec.h"
#include "link/Timing.h"
#include "link/Transport.h"
#include "pages/DialogEfx.h"
#include "pages/DialogMusic.h"
#include "pages/DialogOutput.h"
#include "pages/PageHelpers.h"
#include "pages/PageRegistry.h"
#include "pages/SetDlg.h"
#include "sim/SimBackend.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/ProgressDlgs.h"
#include "ui/Prompts.h"

#include "TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <mutex>
#include <optional>

namespace {

Report SetParam(int block, int param, std::vector<uint32_t> values) {
    Report r{};
    r[0] = 0x02;
    r[1] = CMD_SET_PARAM;
    r[3] = uint8_t(block);
    r[4] = uint8_t(param);
    r[5] = uint8_t(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        PutBE32(&r[6 + 4 * i], values[i]);
    return r;
}

uint32_t F(double v) {
    return FloatBits(float(v));
}

QSettings UserSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("M7Q V1.0"));
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreshStore();
        UserSettings().clear();
        SetSettleScale(0.02);
        PromptHooks hooks;
        hooks.ask = [this](QMessageBox::Icon, const QString& caption, const QString& text,
                           QMessageBox::StandardButtons) {
            asked << caption + QLatin1Char('|') + text;
            return answers.isEmpty() ? QMessageBox::No : answers.takeFirst();
        };
        hooks.file = [this](bool, const QString& defaultName) {
            fileDefault = defaultName;
            return nextFile;
        };
        SetPromptHooks(hooks);
        Build();
    }
    void Build() {
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
        notices.emplace(frame.get());
        view->RefreshVolumeStrip();
    }
    void TearDown() override {
        notices.reset();
        frame.reset();
        link.reset();
        SetLink(nullptr);
        SetPromptHooks({});
        SetSettleScale(1.0);
    }
    // Captures the writes of the next steps without a device.
    void Record() { SetLink(&rec); }
    bool Connect() {
        const bool ok = view->ConnectAttempt(false); // returns after the synchronisation
        link->Link().Flush();
        ClearSent();
        return ok;
    }
    std::vector<Report> Sent() {
        link->Link().Flush();
        std::lock_guard lock(sentMutex);
        return sent;
    }
    void ClearSent() {
        link->Link().Flush(); // edits still posted to the link would land after the clearing
        std::lock_guard lock(sentMutex);
        sent.clear();
    }
    std::vector<uint8_t> SentCommands() {
        std::vector<uint8_t> codes;
        for (const Report& r : Sent())
            codes.push_back(r[1]);
        return codes;
    }
    template <class T> T* El(int id) { return frame->Ribbon()->ElementAs<T>(id); }
    QString Text(int id) {
        QWidget* w = frame->Ribbon()->Element(id);
        if (auto* l = qobject_cast<QLabel*>(w))
            return l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            return b->text();
        return QString();
    }
    QString Notice() { return InfoDlg() ? InfoDlg()->Text() : QString(); }

    CQX7745v13App app;
    std::unique_ptr<CConsoleLink> link;
    CQX7745v13View* view = nullptr;
    std::unique_ptr<CMainFrame> frame;
    CRecordingLink rec;
    std::mutex sentMutex;
    std::vector<Report> sent;
    QStringList asked;
    QList<QMessageBox::StandardButton> answers;
    QString nextFile, fileDefault;
    std::optional<ScopedNotices> notices; // the frame is their owner; a notice left open goes
    const ScopedLanguage m_language{0};   // last: as if set after the members, restored before them
};

// ---- Volume strip ---------------------------------------------------------------------------------

TEST_F(ShellTest, EveryVolumeRowWritesExactlyWhatTheProcessorExpectsFromBothCategories) {
    {
        auto lock = LockStore();
        g_Status.byMachine[5] = 99;
        g_Status.byMachine[6] = 99;
    }
    struct Case {
        int inSlider, outSlider, value, slot;
        std::vector<Report> expected;
    };
    const std::vector<Case> cases = {
        {32829, 32858, 54, SET_MIC_VOLUME, {SetParam(1, 14, {0x3f0a5e36})}},
        // The microphone formula in single precision, at values where double lands one unit away.
        {32830, 32861, 60, SET_EFFECT_VOLUME, {SetParam(1, 34, {0x3f19ba5f}), SetParam(1, 57, {0x3f19ba5f})}},
        {32918, 32919, 12, SET_REVERB_VOLUME, {SetParam(3, 24, {F(0.12), F(0.12)})}},
        {32806, 32864, 99, SET_ECHO_VOLUME, {SetParam(2, 26, {F(0.99)})}},
        {32831, 32867, 39, SET_MUSIC_VOLUME, {SetParam(4, 12, {0x3ec7ef9d})}},
        {32846, 32879, 73, SET_MUSIC_GATE, {SetParam(4, 22, {F(73 / 10000.0)})}},
        {32841, 32880, -3, SET_MUSIC_PITCH, {SetParam(4, 21, {2})}},
    };
    Record();
    for (int category : {CMainFrame::kInput, CMainFrame::kOutput}) {
        frame->Ribbon()->SetActiveCategory(category);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.inSlider);
            rec.Clear();
            El<QSlider>(category == CMainFrame::kInput ? c.inSlider : c.outSlider)->setValue(c.value);
            EXPECT_EQ(rec.Reports(), c.expected);
            EXPECT_EQ(g_Param.nSetting[c.slot], c.value);
            // The other category's slider follows.
            EXPECT_EQ(El<QSlider>(category == CMainFrame::kInput ? c.outSlider : c.inSlider)->value(),
                      c.value);
            // Back to a neutral value for the other category's pass.
            El<QSlider>(category == CMainFrame::kInput ? c.inSlider : c.outSlider)
                ->setValue(c.value == 0 ? 1 : 0);
        }
    }
    EXPECT_EQ(Text(32842), QString::fromUtf8("音乐噪声门:  0"));
}

TEST_F(ShellTest, LabelsUseTheirWidthsAndThePitchGoesToBothPanelTitles) {
    Record();
    El<QSlider>(32806)->setValue(7);
    EXPECT_EQ(Text(ID_LABEL_ECHOVOL), QString::fromUtf8("回声音量:  7"));
    EXPECT_EQ(Text(32863), QString::fromUtf8("回声音量:  7"));
    El<QSlider>(32841)->setValue(-3);
    EXPECT_EQ(frame->Ribbon()->Category(0)->Panel(5)->Title(), QString::fromUtf8("音乐变调:-3"));
    EXPECT_EQ(frame->Ribbon()->Category(1)->Panel(5)->Title(), QString::fromUtf8("音乐变调:-3"));
    El<QSlider>(32841)->setValue(0);
    EXPECT_EQ(frame->Ribbon()->Category(0)->Panel(5)->Title(), QString::fromUtf8("音乐变调:+0"));
    SetLanguage(1);
    El<QSlider>(32846)->setValue(42);
    EXPECT_EQ(Text(32842), QStringLiteral("Noisegate:     42"));
    El<QSlider>(32829)->setValue(5); // above the maximum of 0: back to 0
    EXPECT_EQ(Text(32832), QStringLiteral("Mic    Vol:   0"));
}

TEST_F(ShellTest, MicrophoneAboveTheMaximumIsClampedWithANoticeBeforeMachineSettingsArrive) {
    Record();
    El<QSlider>(32829)->setValue(10);
    EXPECT_EQ(El<QSlider>(32829)->value(), 0);
    EXPECT_EQ(El<QSlider>(32858)->value(), 0);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 0);
    EXPECT_EQ(rec.Reports(), std::vector<Report>{SetParam(1, 14, {F(0.0005)})});
    EXPECT_EQ(Notice(), QString::fromUtf8("不能超过最大话筒音量!"));

    g_Status.byMachine[6] = 40;
    SetLanguage(1);
    rec.Clear();
    El<QSlider>(32831)->setValue(60);
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_VOLUME], 40);
    EXPECT_EQ(El<QSlider>(32867)->value(), 40);
    EXPECT_EQ(Notice(), QStringLiteral("Music vol can't over max value!"));
}

TEST_F(ShellTest, ChangingAMutedVolumeSendsItAndSaysSoAndTheBoxStaysChecked) {
    Record();
    El<QCheckBox>(ID_CHK_MUTE2)->click();
    EXPECT_EQ(g_Param.nSetting[SET_REVERB_MUTE], 1);
    EXPECT_EQ(rec.Reports(), std::vector<Report>{SetParam(3, 25, {F(0.0), F(0.0)})});
    EXPECT_TRUE(El<QCheckBox>(ID_CHK_MUTE2)->isChecked());
    EXPECT_TRUE(El<QCheckBox>(32862)->isChecked());
    rec.Clear();
    El<QSlider>(32918)->setValue(30);
    EXPECT_EQ(rec.Reports(), std::vector<Report>{SetParam(3, 24, {F(0.3), F(0.3)})});
    EXPECT_EQ(Notice(), QString::fromUtf8("当前是静音状态"));
    EXPECT_TRUE(El<QCheckBox>(ID_CHK_MUTE2)->isChecked());
}

TEST_F(ShellTest, MusicUnmuteFadesInWithPausesThatDoNotHoldTheWindow) {
    Record();
    El<QCheckBox>(ID_CHK_MUTE4)->click();
    EXPECT_EQ(rec.Reports(), std::vector<Report>{SetParam(4, 13, {F(0.0)})});
    rec.Clear();
    El<QCheckBox>(32868)->click(); // the Output category's box
    std::vector<CRecordingLink::Entry> expected;
    for (int i = 0; i <= 8; ++i) {
        expected.push_back({SetParam(4, 13, {F(i / 10.0)}), -1});
        expected.push_back({Report{}, 30});
    }
    expected.push_back({SetParam(4, 13, {F(1.0)}), -1});
    const auto entries = rec.Entries();
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].nPauseMs, expected[i].nPauseMs) << i;
        if (expected[i].nPauseMs < 0) {
            EXPECT_EQ(entries[i].report, expected[i].report) << i;
        }
    }
    EXPECT_FALSE(El<QCheckBox>(ID_CHK_MUTE4)->isChecked());
}

TEST_F(ShellTest, VolumeKeysStepByFiveBelowFiftyThenTwoAndOneWithCtrl) {
    g_Status.byMachine[5] = 99;
    g_Param.nSetting[SET_MIC_VOLUME] = 48;
    view->RefreshVolumeStrip();
    Record();
    QTest::keyClick(frame.get(), Qt::Key_W);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 53);
    QTest::keyClick(frame.get(), Qt::Key_W);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 55);
    // Offscreen key events carry no native key: any Ctrl counts as the left one.
    QTest::keyClick(frame.get(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 56);
    EXPECT_EQ(El<QSlider>(32858)->value(), 56);
    QTest::keyClick(frame.get(), Qt::Key_Z);
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_MUTE], 1);
    EXPECT_EQ(Notice(), QString::fromUtf8("音乐已静音"));
}

// A key event as the windowing system delivers it, with its native key.
void SendKey(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers mods, quint32 scan = 0,
             quint32 sym = 0) {
    QKeyEvent event(type, key, mods, scan, sym, 0);
    QApplication::sendEvent(to, &event);
}
constexpr quint32 kSymControlL = 0xffe3, kSymControlR = 0xffe4;

TEST_F(ShellTest, OnlyTheLeftCtrlStoresToAModeAndStepsTheVolumeByOne) {
    ASSERT_TRUE(Connect());
    g_Status.byMachine[5] = 99;
    g_Param.nSetting[SET_MIC_VOLUME] = 20;
    view->RefreshVolumeStrip();
    QWidget* to = frame.get();

    // Right Ctrl + W steps by five, and right Ctrl + F2 loads M2 (asking first: the step modified).
    SendKey(to, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, kSymControlR);
    SendKey(to, QEvent::KeyPress, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 25);
    ClearSent();
    // The processor's acknowledgement of the step marks the store modified.
    ASSERT_TRUE(QTest::qWaitFor([] {
        auto lock = LockStore();
        return g_Param.bModified != 0;
    }));
    answers = {QMessageBox::Yes};
    SendKey(to, QEvent::KeyPress, Qt::Key_F2, Qt::ControlModifier); // returns after the read-all
    EXPECT_EQ(asked, QStringList{QString::fromUtf8("信息|参数已更改，确定要直接载入模式二?")});
    asked.clear();
    auto commands = SentCommands();
    const auto load = std::find(commands.begin(), commands.end(), CMD_MODE_LOAD);
    ASSERT_NE(load, commands.end());
    EXPECT_EQ(Sent()[load - commands.begin()][2], 1);
    EXPECT_EQ(std::find(commands.begin(), commands.end(), CMD_MODE_STORE), commands.end());
    SendKey(to, QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, 105, kSymControlR);

    // Left Ctrl: F2 asks to store into M2 (answered No: nothing sent) and W steps by one.
    g_Param.nSetting[SET_MIC_VOLUME] = 20;
    view->RefreshVolumeStrip();
    SendKey(to, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 37, kSymControlL);
    SendKey(to, QEvent::KeyPress, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 21);
    ClearSent();
    SendKey(to, QEvent::KeyPress, Qt::Key_F2, Qt::ControlModifier);
    EXPECT_EQ(asked.value(0), QString::fromUtf8("信息|确定要保存至机器模式二?"));
    EXPECT_TRUE(Sent().empty());

    // Both held, then the left let go: the right one alone steps by five again.
    SendKey(to, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, kSymControlR);
    SendKey(to, QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier, 37, kSymControlL);
    SendKey(to, QEvent::KeyPress, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 26);
}

TEST_F(ShellTest, LettersTypedIntoTextFieldsOrAModalDialogAreTextNotCommands) {
    frame->show();
    QApplication::setActiveWindow(frame.get());
    frame->Ribbon()->SetActiveCategory(CMainFrame::kOutput);
    auto* output = qobject_cast<CDialogOutput*>(view->Page());
    ASSERT_NE(output, nullptr);
    Record();
    const auto before = g_Param.nSetting;
    const QString typed = QStringLiteral("/tmp/exit1 qaz wsx edc rfv p");

    QLineEdit edit(frame.get());
    edit.show();
    edit.setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &edit);
    QTest::keyClicks(&edit, typed);
    EXPECT_EQ(edit.text(), typed);
    EXPECT_TRUE(rec.Reports().empty());
    EXPECT_EQ(g_Param.nSetting, before);
    // Ctrl + digit still picks a band from the field.
    QTest::keyClick(&edit, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(output->EqPanel()->SelectedBand(), 3);

    // The band grid's in-place editor.
    QTableWidget* grid = output->BandEditor()->Grid();
    grid->setCurrentCell(0, 2);
    grid->editItem(grid->item(0, 2));
    QWidget* cell = QApplication::focusWidget();
    ASSERT_NE(cell, nullptr);
    ASSERT_TRUE(grid->isAncestorOf(cell));
    QTest::keyClicks(cell, QStringLiteral("qp"));
    EXPECT_TRUE(rec.Reports().empty());
    EXPECT_EQ(g_Param.nSetting, before);
    QTest::keyClick(cell, Qt::Key_Escape); // the edit ends unapplied
    EXPECT_TRUE(rec.Reports().empty());

    // A modal file dialog, as the save command opens it.
    QFileDialog dialog(frame.get());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.open();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    QApplication::setActiveWindow(&dialog);
    QWidget* field = QApplication::focusWidget();
    ASSERT_NE(field, nullptr);
    ASSERT_TRUE(dialog.isAncestorOf(field));
    QTest::keyClicks(field, typed);
    // Its file list is no text field: the dialog being modal is what keeps the letters.
    QAbstractItemView* list = nullptr;
    for (auto* view : dialog.findChildren<QAbstractItemView*>())
        if (view->isVisible() && view->objectName() != QLatin1String("sidebar"))
            list = view;
    ASSERT_NE(list, nullptr);
    list->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), list);
    QTest::keyClicks(list, QStringLiteral("qazxp"));
    EXPECT_TRUE(rec.Reports().empty());
    EXPECT_EQ(g_Param.nSetting, before);
    dialog.reject();
    QApplication::setActiveWindow(frame.get());

    // Back in the window, on a button, the letters are shortcuts again.
    QPushButton button(frame.get());
    button.show();
    button.setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &button);
    QTest::keyClick(frame.get(), Qt::Key_X);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_MUTE], 1);
    EXPECT_FALSE(rec.Reports().empty());
}

TEST_F(ShellTest, AWheelNotchOverTheEchoPanelMovesBothSlidersAndWritesOnce) {
    frame->show();
    Record();
    CRibbonPanel* echo = frame->Ribbon()->Category(0)->Panel(3);
    const int before = El<QSlider>(32806)->value();
    const QPoint at = echo->rect().center();
    QWheelEvent wheel(at, echo->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(echo, &wheel);
    EXPECT_EQ(El<QSlider>(32806)->value(), before + 1);
    EXPECT_EQ(El<QSlider>(32864)->value(), before + 1);
    EXPECT_EQ(rec.Reports(), std::vector<Report>{SetParam(2, 26, {F((before + 1) / 100.0)})});
    // Over the mode panel nothing moves, and nothing is sent.
    rec.Clear();
    CRibbonPanel* load = frame->Ribbon()->Category(0)->Panel(6);
    QWheelEvent other(load->rect().center(), load->mapToGlobal(load->rect().center()), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(load, &other);
    EXPECT_TRUE(rec.Reports().empty());
}

TEST_F(ShellTest, ATrackClickMovesTheStepSliderByOne) {
    frame->show();
    Record();
    auto* slider = El<QSlider>(32806);
    {
        const QSignalBlocker block(slider);
        slider->setValue(50);
    }
    const int before = slider->value();
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 3, slider->height() / 2));
    EXPECT_EQ(slider->value(), before + 1);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(2, slider->height() / 2));
    EXPECT_EQ(slider->value(), before);
    EXPECT_EQ(rec.Reports().size(), 2u);
}

// ---- Language -------------------------------------------------------------------------------------

TEST_F(ShellTest, TheLanguageToggleSwitchesTextsAndPersistsOneThenZero) {
    CMyMFCRibbonBar* ribbon = frame->Ribbon();
    EXPECT_EQ(ribbon->Category(0)->Title(), QString::fromUtf8("输入控制"));
    frame->Ribbon()->ElementAs<QAbstractButton>(ID_BTN_LANGUAGE)->click();
    EXPECT_EQ(Language(), 1);
    EXPECT_EQ(UserSettings().value(QStringLiteral("language")).toInt(), 1);
    EXPECT_EQ(ribbon->Category(0)->Title(), QStringLiteral("Input"));
    EXPECT_EQ(ribbon->Category(1)->Title(), QStringLiteral("Output"));
    EXPECT_EQ(ribbon->Category(0)->Panel(0)->Title(), QStringLiteral("Mic  Vol"));
    EXPECT_EQ(Text(32847), QStringLiteral("Mute"));
    EXPECT_EQ(Text(ID_BTN_REMOTE), QStringLiteral("Remote control"));
    EXPECT_EQ(frame->UsbPane()->text(), QStringLiteral("USB:Disconnected"));
    frame->Ribbon()->ElementAs<QAbstractButton>(ID_BTN_LANGUAGE)->click();
    EXPECT_EQ(Language(), 0);
    EXPECT_EQ(UserSettings().value(QStringLiteral("language")).toInt(), 0);
    EXPECT_EQ(ribbon->Category(0)->Title(), QString::fromUtf8("输入控制"));
    EXPECT_EQ(ribbon->Category(0)->Panel(1)->Title(), QString::fromUtf8("效果总音量"));
    EXPECT_EQ(Text(32828), QString::fromUtf8("保存文件"));
}

TEST_F(ShellTest, StartingInEnglishBuildsTheRibbonTitlesThatTwoTogglesThenRename) {
    frame.reset();
    link.reset();
    SetLanguage(1);
    Build();
    CMyMFCRibbonBar* ribbon = frame->Ribbon();
    EXPECT_EQ(ribbon->Category(0)->Title(), QStringLiteral("Input"));
    EXPECT_EQ(ribbon->Category(0)->Panel(0)->Title(), QStringLiteral("Mic Vol"));
    EXPECT_EQ(ribbon->Category(0)->Panel(1)->Title(), QStringLiteral("Efx Vol"));
    view->ToggleLanguage();
    view->ToggleLanguage();
    EXPECT_EQ(ribbon->Category(0)->Panel(0)->Title(), QStringLiteral("Mic  Vol"));
    EXPECT_EQ(ribbon->Category(1)->Panel(1)->Title(), QStringLiteral("Effect Vol"));
}

// ---- Status texts ---------------------------------------------------------------------------------

TEST_F(ShellTest, StatusPanesWhileDisconnectedAndConnected) {
    view->UpdateCommandUI();
    EXPECT_EQ(frame->UsbPane()->text(), QString::fromUtf8("USB：未连接"));
    EXPECT_EQ(frame->UsbPane()->palette().color(QPalette::WindowText), QColor(220, 0, 0));
    ASSERT_TRUE(Connect());
    EXPECT_EQ(frame->UsbPane()->text(), QString::fromUtf8("USB：已连接"));
    EXPECT_EQ(frame->UsbPane()->palette().color(QPalette::WindowText), QColor(0, 150, 0));
    g_Param.nCurMode = 2;
    SetU16(g_Device.szModeName[2], u"Party");
    SetLanguage(1);
    view->UpdateCommandUI();
    EXPECT_EQ(frame->ModePane()->text(), QStringLiteral("Current Mode:Mode3[Party]"));
    SetLanguage(0);
    view->UpdateCommandUI();
    EXPECT_EQ(frame->ModePane()->text(), QString::fromUtf8("当前模式:模式三[Party]"));
    // The mode menus check the current mode.
    auto* load = El<QToolButton>(IDC_LOAD_M1);
    EXPECT_TRUE(load->menu()->actions()[2]->isChecked());
    EXPECT_FALSE(load->menu()->actions()[0]->isChecked());
}

TEST_F(ShellTest, WirelessMicrophoneBarsAtTheirThresholdsAndTheChannelFrequency) {
    EXPECT_EQ(RfBars(231), QString::fromUtf8("■■■■■"));
    EXPECT_EQ(RfBars(230), QString::fromUtf8("■■■■__"));
    EXPECT_EQ(RfBars(151), QString::fromUtf8("■_______"));
    EXPECT_EQ(RfBars(150), QString::fromUtf8("_________"));
    EXPECT_EQ(AfBars(13), QString::fromUtf8("■■■■■"));
    EXPECT_EQ(AfBars(1), QString::fromUtf8("■_______"));
    EXPECT_EQ(AfBars(0), QString::fromUtf8("_________"));
    EXPECT_EQ(BatteryBars(202), QString::fromUtf8("■■■■■"));     // 1616
    EXPECT_EQ(BatteryBars(201), QString::fromUtf8("■■■■__"));    // 1608
    EXPECT_EQ(BatteryBars(167), QString::fromUtf8("■■______"));  // 1336
    EXPECT_EQ(BatteryBars(166), QString::fromUtf8("_________")); // 1328: no bars
    EXPECT_EQ(MicChannelFrequency(0), QStringLiteral("665.25MHz"));
    EXPECT_EQ(MicChannelFrequency(12), QStringLiteral("671.25MHz"));
    EXPECT_EQ(MicChannelFrequency(13), QStringLiteral("672.25MHz"));
    EXPECT_EQ(MicChannelFrequency(77), QStringLiteral("704.75MHz"));
    EXPECT_EQ(MicChannelFrequency(101), QStringLiteral("718.25MHz"));
    EXPECT_EQ(MicChannelFrequency(199), QStringLiteral("767.25MHz"));
    EXPECT_EQ(MicChannelFrequency(200), QStringLiteral("665.25MHz"));

    g_Param.byLiveStatus = {0, 0, 0, 0, 0, 0, 0, 0, 231, 5, 13, 202, 150, 0, 250, 166};
    view->UpdateCommandUI();
    EXPECT_EQ(Text(32926), QString::fromUtf8("RF:■■■■■ AF:■■______"));
    EXPECT_EQ(Text(32933), QString::fromUtf8("频率:672.25MHz"));
    EXPECT_EQ(Text(32934), QString::fromUtf8("电   量:■■■■■"));
    EXPECT_EQ(Text(32935), QString::fromUtf8("RF:_________ AF:_________"));
    EXPECT_EQ(Text(32930), QString::fromUtf8("频率:665.25MHz"));
    EXPECT_EQ(Text(32937), QString::fromUtf8("电   量:_________"));
}

// ---- Memory modes and files -----------------------------------------------------------------------

TEST_F(ShellTest, LoadingAModeAsksOnlyWhenModified) {
    ASSERT_TRUE(Connect());
    g_Param.bModified = 0;
    view->LoadMode(2); // runs the read-all behind the synchronisation dialog
    EXPECT_TRUE(asked.isEmpty());
    auto codes = SentCommands();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), CMD_MODE_LOAD);
    EXPECT_EQ(Sent().front()[2], 2);
    EXPECT_EQ(g_Param.nCurMode, 2);

    ClearSent();
    g_Param.bModified = 1;
    answers = {QMessageBox::No};
    view->LoadMode(1);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], QString::fromUtf8("信息|参数已更改，确定要直接载入模式二?"));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(g_Param.bModified, 1);
}

TEST_F(ShellTest, SavingToAModeAsksAndStoresOnlyOnYes) {
    ASSERT_TRUE(Connect());
    g_Param.bModified = 1;
    SetLanguage(1);
    answers = {QMessageBox::No};
    QTest::keyClick(frame.get(), Qt::Key_F2, Qt::ControlModifier);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], QStringLiteral("Information|Save to machine mode 2?"));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(g_Param.bModified, 1);

    answers = {QMessageBox::Yes};
    view->SaveMode(3, true);
    const auto reports = Sent();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0][1], CMD_MODE_STORE);
    EXPECT_EQ(reports[0][2], 3);
    EXPECT_EQ(g_Param.bModified, 0);
    EXPECT_EQ(g_Param.nCurMode, 3);
    EXPECT_EQ(Notice(), QStringLiteral("Saving Mode 4 ……"));
}

TEST_F(ShellTest, ModeAndFileCommandsNeedAConnection) {
    SetLanguage(1);
    view->OnCommand(IDC_FILE_OPEN);
    EXPECT_EQ(Notice(), QStringLiteral("Please connect device!"));
    view->LoadMode(0);
    view->SaveMode(0, false);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ShellTest, AFileNamedM3OpenedWithTheOpenCommandIsWrittenThenStoredIntoModeThree) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("M3-party.vm3zt"));
    g_Param.nSetting[SET_ECHO_VOLUME] = 77;
    ASSERT_TRUE(::SaveModeFile(path.toStdString()).bOk);
    g_Param.nSetting[SET_ECHO_VOLUME] = 10;
    ASSERT_TRUE(Connect());
    nextFile = path;
    view->OnCommand(IDC_FILE_OPEN); // returns after the write-all
    EXPECT_EQ(g_Param.nSetting[SET_ECHO_VOLUME], 77);
    EXPECT_EQ(El<QSlider>(32806)->value(), 77); // refreshed after the write-all
    const auto reports = Sent();
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports[reports.size() - 2][1], CMD_MODE_SET);
    EXPECT_EQ(reports[reports.size() - 2][2], 2);
    EXPECT_EQ(reports.back()[1], CMD_MODE_STORE);
    EXPECT_EQ(reports.back()[2], 2);
    EXPECT_EQ(RecentFiles().value(0), path);
    EXPECT_EQ(link->Sim()->WithProcessor([](auto& p) { return p.CurrentMode(); }), 2);

    // A missing file says so; another extension loads nothing.
    ClearSent();
    EXPECT_FALSE(view->OpenModeFilePath(dir.filePath(QStringLiteral("gone.vm3zt"))));
    EXPECT_EQ(asked.value(0), QString::fromUtf8("文件打开错误|文件不存在！"));
    const QString other = dir.filePath(QStringLiteral("preset.bin"));
    QFile::copy(path, other);
    EXPECT_FALSE(view->OpenModeFilePath(other));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ShellTest, AFileNamedM2FromTheRecentListOrTheCommandLineLeavesModeTwoAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m2tun.vm3zt"));
    g_Param.nSetting[SET_ECHO_VOLUME] = 66;
    ASSERT_TRUE(::SaveModeFile(path.toStdString()).bOk);
    g_Param.nSetting[SET_ECHO_VOLUME] = 10;
    ASSERT_TRUE(Connect());
    const int modeBefore = g_Param.nCurMode;
    AddRecentFile(path);
    frame->RefreshRecentFiles();
    QAction* recent = nullptr;
    for (QMenu* menu : frame->findChildren<QMenu*>())
        for (QAction* action : menu->actions())
            if (action->text().endsWith(QStringLiteral(" m2tun.vm3zt")))
                recent = action;
    ASSERT_NE(recent, nullptr);
    recent->trigger(); // returns after the write-all
    EXPECT_EQ(g_Param.nSetting[SET_ECHO_VOLUME], 66);
    auto commands = SentCommands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), CMD_SET_PARAM), commands.end());
    EXPECT_EQ(std::find(commands.begin(), commands.end(), CMD_MODE_SET), commands.end());
    EXPECT_EQ(std::find(commands.begin(), commands.end(), CMD_MODE_STORE), commands.end());
    EXPECT_EQ(g_Param.nCurMode, modeBefore);
    EXPECT_EQ(link->Sim()->WithProcessor([](auto& p) { return p.CurrentMode(); }), modeBefore);

    // The command line takes the same path.
    ClearSent();
    ASSERT_TRUE(view->OpenModeFilePath(path));
    commands = SentCommands();
    EXPECT_FALSE(commands.empty());
    EXPECT_EQ(std::find(commands.begin(), commands.end(), CMD_MODE_STORE), commands.end());
}

TEST_F(ShellTest, AnUnsupportedModeFileIsRefusedAndTheStoreKept) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.vm3zt"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\x09\x00\x00\x00", 4) + QByteArray(2171, '\x01'));
    f.close();
    ASSERT_TRUE(Connect());
    const auto before = g_Param.nSetting;
    nextFile = path;
    view->OnCommand(IDC_FILE_OPEN);
    EXPECT_EQ(asked, QStringList{QStringLiteral("Info|Mode file version not support!")});
    EXPECT_EQ(g_Param.nSetting, before);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ShellTest, SavingAModeFileStoresTheCurrentModeAndWritesTheFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(Connect());
    g_Param.nCurMode = 1;
    g_Param.bModified = 1;
    nextFile = dir.filePath(QStringLiteral("saved.vm3zt"));
    view->OnCommand(IDC_FILE_SAVE);
    EXPECT_EQ(fileDefault, QStringLiteral("name"));
    EXPECT_EQ(QFileInfo(nextFile).size(), qint64(kModeFileSize));
    const auto reports = Sent();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0][1], CMD_MODE_STORE);
    EXPECT_EQ(reports[0][2], 1);
    EXPECT_EQ(g_Param.bModified, 0);
}

TEST_F(ShellTest, AFileThatCannotBeWrittenOrReadSaysSoInItsBoxes) {
    QTemporaryDir dir;
    ASSERT_TRUE(Connect());
    auto writeBox = [](int err, const QString& path) {
        return QStringLiteral("Can't write to file|Errcode=%1,Can't write to file:\n%2\nProbaby it is "
                              "write protected.")
            .arg(err)
            .arg(path);
    };
    // The folder cannot be created in, or the name is a folder: each with its system error number.
    const QString inMissing = dir.filePath(QStringLiteral("no-such-folder/a.vm3zt"));
    QDir(dir.path()).mkdir(QStringLiteral("folder.vm3zt"));
    const QString folder = dir.filePath(QStringLiteral("folder.vm3zt"));
    for (const auto& [path, err] : {std::pair{inMissing, ENOENT}, std::pair{folder, EISDIR}}) {
        asked.clear();
        nextFile = path;
        view->OnCommand(IDC_FILE_SAVE);
        EXPECT_EQ(asked, QStringList{writeBox(err, path)});
        EXPECT_FALSE(RecentFiles().contains(path));
    }
    // The same box when saving on exit, and the window stays open.
    asked.clear();
    g_Param.bModified = 1;
    answers = {QMessageBox::Yes};
    nextFile = inMissing;
    EXPECT_FALSE(frame->QueryClose());
    EXPECT_EQ(asked.value(1), writeBox(ENOENT, inMissing));
    EXPECT_TRUE(link->Link().IsOpen());

    // A file that cannot be read: its own box, then the version box, from every open path.
    ClearSent();
    const auto before = g_Param.nSetting;
    asked.clear();
    nextFile = folder;
    view->OnCommand(IDC_FILE_OPEN);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].startsWith(QStringLiteral("Info|Cannot ")) && asked[0].contains(folder))
        << asked[0].toStdString();
    EXPECT_EQ(asked[1], QStringLiteral("Info|Mode file version not support!"));
    asked.clear();
    EXPECT_FALSE(view->OpenModeFilePath(folder));
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[1], QStringLiteral("Info|Mode file version not support!"));
    EXPECT_EQ(g_Param.nSetting, before);
    EXPECT_TRUE(Sent().empty());
}

// ---- Closing --------------------------------------------------------------------------------------

TEST_F(ShellTest, TheClosePromptsThreeAnswers) {
    QTemporaryDir dir;
    ASSERT_TRUE(Connect());
    g_Param.bModified = 1;
    answers = {QMessageBox::Cancel};
    EXPECT_FALSE(frame->QueryClose());
    EXPECT_TRUE(link->Link().IsOpen());
    EXPECT_EQ(asked.value(0),
              QString::fromUtf8(
                  "保存?|参数已改动，请问是否需要保存?\r\n提示：保存成电脑文件并同时保存至机器的当前模式"));

    // Yes, then the file dialog cancelled: closes without storing anything.
    answers = {QMessageBox::Yes};
    nextFile.clear();
    EXPECT_TRUE(frame->QueryClose());
    EXPECT_EQ(fileDefault, QStringLiteral("preset"));
    EXPECT_EQ(SentCommands(), std::vector<uint8_t>{CMD_DISCONNECT});
    EXPECT_FALSE(link->Link().IsOpen());

    // Yes with a name: stores into the current mode, writes the file, then disconnects.
    ClearSent();
    ASSERT_TRUE(Connect());
    g_Param.bModified = 1;
    g_Param.nCurMode = 3;
    answers = {QMessageBox::Yes};
    nextFile = dir.filePath(QStringLiteral("preset.vm3zt"));
    EXPECT_TRUE(frame->QueryClose());
    EXPECT_EQ(SentCommands(), (std::vector<uint8_t>{CMD_MODE_STORE, CMD_DISCONNECT}));
    EXPECT_EQ(QFileInfo(nextFile).size(), qint64(kModeFileSize));

    // No: just disconnects.
    ClearSent();
    ASSERT_TRUE(Connect());
    g_Param.bModified = 1;
    answers = {QMessageBox::No};
    EXPECT_TRUE(frame->QueryClose());
    EXPECT_EQ(SentCommands(), std::vector<uint8_t>{CMD_DISCONNECT});
}

// ---- Connection and pages -------------------------------------------------------------------------

TEST_F(ShellTest, AWrongModelEndsTheSynchronisationWithTheErrorBoxAndNoPoll) {
    SimFaults faults;
    faults.bWrongModel = true;
    link->Sim()->SetFaults(faults);
    view->ConnectAttempt(false);
    EXPECT_EQ(asked.value(0), QString::fromUtf8("错误|机器型号与软件不匹配!"));
    EXPECT_FALSE(link->Link().IsOpen());
    EXPECT_FALSE(view->PollTimerRunning());
}

TEST_F(ShellTest, ThePageKeepsItsMinimumSizeAndFollowsTheCategory) {
    frame->show();
    view->resize(800, 300);
    ASSERT_NE(view->Page(), nullptr);
    EXPECT_EQ(view->Page()->size(), QSize(1024, 520));
    view->resize(1300, 700);
    EXPECT_EQ(view->Page()->size(), QSize(1300, 700));
    frame->Ribbon()->SetActiveCategory(CMainFrame::kOutput);
    EXPECT_EQ(view->Page()->TemplateId(), 385);
    frame->Ribbon()->SetActiveCategory(CMainFrame::kInput);
    EXPECT_EQ(view->Page()->TemplateId(), 313);
}

TEST_F(ShellTest, StatusBarBypassResetAndBandKeysActOnTheOutputPage) {
    Record();
    frame->Ribbon()->SetActiveCategory(CMainFrame::kOutput);
    auto* output = qobject_cast<CDialogOutput*>(view->Page());
    ASSERT_NE(output, nullptr);
    EXPECT_TRUE(frame->BypassBox()->isEnabled());
    EXPECT_EQ(frame->ResetEqButton()->text(), QString::fromUtf8("重置均衡"));

    rec.Clear();
    frame->BypassBox()->click();
    EXPECT_EQ(g_Param.nSetting[SET_OUT_EQ_BYPASS + 0], 1);
    EXPECT_TRUE(frame->BypassBox()->isChecked());
    ASSERT_EQ(rec.Reports().size(), 1u);
    EXPECT_EQ(rec.Reports()[0][3], 5); // channel 1's block
    QTest::keyClick(frame.get(), Qt::Key_P);
    EXPECT_EQ(g_Param.nSetting[SET_OUT_EQ_BYPASS + 0], 0);
    EXPECT_FALSE(frame->BypassBox()->isChecked());

    // Ctrl+3 picks the third band of the shown channel; Ctrl+0 the tenth.
    QTest::keyClick(frame.get(), Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(output->EqPanel()->SelectedBand(), 2);
    QTest::keyClick(frame.get(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(output->EqPanel()->SelectedBand(), 9);

    // Reset asks first; No leaves the channel's equaliser alone.
    rec.Clear();
    answers = {QMessageBox::No};
    frame->ResetEqButton()->click();
    EXPECT_EQ(asked.value(0), QString::fromUtf8("提示|您确定重置当前均衡吗?"));
    EXPECT_TRUE(rec.Reports().empty());
    answers = {QMessageBox::Yes};
    frame->ResetEqButton()->click();
    EXPECT_FALSE(rec.Reports().empty());

    // The page remembers its channel across a trip to the Input category.
    output->SelectChannel(4);
    frame->Ribbon()->SetActiveCategory(CMainFrame::kInput);
    frame->Ribbon()->SetActiveCategory(CMainFrame::kOutput);
    output = qobject_cast<CDialogOutput*>(view->Page());
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->CurrentChannel(), 4);
}

TEST_F(ShellTest, TheMusicPageKeepsItsModeThroughTheEffectPageAndTheInputCategoryResetsIt) {
    Record();
    auto* music = qobject_cast<CDialogMusic*>(view->Page());
    ASSERT_NE(music, nullptr);
    view->UpdateCommandUI();
    EXPECT_TRUE(frame->BypassBox()->isEnabled());
    music->ChooseMode(1);
    // P bypasses Mic B's equaliser.
    rec.Clear();
    QTest::keyClick(frame.get(), Qt::Key_P);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_B_EQ_BYPASS], 1);
    EXPECT_TRUE(frame->BypassBox()->isChecked());
    ASSERT_EQ(rec.Reports().size(), 1u);
    EXPECT_EQ(Bytes(rec.Reports()[0], 3, 2), (std::vector<uint8_t>{MOD_MIC, 49}));

    // The reverb picture opens Reverb B; the switch is queued.
    QTest::mouseClick(music->ReverbPanel(), Qt::LeftButton);
    QCoreApplication::processEvents();
    auto* efx = qobject_cast<CDialogEfx*>(view->Page());
    ASSERT_NE(efx, nullptr);
    EXPECT_EQ(efx->EqIndex(), 1);
    QTest::mouseClick(efx->BackButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    music = qobject_cast<CDialogMusic*>(view->Page());
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->Mode(), 1);

    // The Input category, chosen again, shows Mic A.
    frame->Ribbon()->SetActiveCategory(CMainFrame::kOutput);
    frame->Ribbon()->SetActiveCategory(CMainFrame::kInput);
    music = qobject_cast<CDialogMusic*>(view->Page());
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->Mode(), 0);
    music->ChooseMode(2);
    emit frame->Ribbon()->CategoryChanged(CMainFrame::kInput); // the music page is already shown
    EXPECT_EQ(view->Page(), music);
    EXPECT_EQ(music->Mode(), 0);
    EXPECT_EQ(view->State().nMusicPageMode, 0);
}

TEST_F(ShellTest, ConnectAndRemovalShowTheirNoticesAndOnlyOurDeviceClosesTheLink) {
    EXPECT_EQ(UserSettings().value(QStringLiteral("ApplicationLook")).toInt(), 215);
    ASSERT_TRUE(Connect());
    EXPECT_EQ(view->LastNotice(), QString::fromUtf8("设备已连接，同步中……"));
    EXPECT_TRUE(view->PollTimerRunning());
    view->OnDeviceRemoval(QStringLiteral("/dev/hidraw-someone-else"));
    EXPECT_TRUE(link->Link().IsOpen());
    SetLanguage(1);
    view->OnDeviceRemoval(QString::fromStdString(link->Link().DevicePath()).toUpper());
    EXPECT_FALSE(link->Link().IsOpen());
    EXPECT_FALSE(view->PollTimerRunning());
    EXPECT_EQ(view->LastNotice(), QStringLiteral("Device Disconnected!"));
    // The store keeps what was read; the status pane says the link is gone.
    EXPECT_EQ(frame->UsbPane()->text(), QStringLiteral("USB:Disconnected"));
    // An arrival connects again and synchronises.
    view->OnDeviceArrival(QString());
    EXPECT_TRUE(link->Link().IsOpen());
    EXPECT_EQ(view->LastNotice(), QStringLiteral("Device connected!"));
}

TEST_F(ShellTest, AClickOnTheTrayIconTakesItAway) {
    ASSERT_TRUE(Connect()); // the connect notice
    auto* icon = view->findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context}) {
        SCOPED_TRACE(int(reason));
        icon->show();
        emit icon->activated(QSystemTrayIcon::MiddleClick); // not one of the clicks that remove it
        EXPECT_TRUE(icon->isVisible());
        emit icon->activated(reason);
        EXPECT_FALSE(icon->isVisible());
    }
}

TEST_F(ShellTest, TheAboutBoxShowsVersionsOnlyWhenConnectedAndHidesPeakUntilCtrlShiftF11) {
    {
        CAboutDlg about(nullptr, &link->Conn());
        EXPECT_TRUE(about.McuLine()->isHidden());
        EXPECT_TRUE(about.DspLine()->isHidden());
        EXPECT_TRUE(about.PeakBox()->isHidden());
        QTest::keyRelease(&about, Qt::Key_F11, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_FALSE(about.PeakBox()->isHidden());
        EXPECT_FALSE(about.ModuleLine()->isHidden());
        about.PeakBox()->setChecked(false);
        EXPECT_FALSE(link->Conn().PeakPoll());
        about.PeakBox()->setChecked(true);
        EXPECT_TRUE(link->Conn().PeakPoll());
    }
    ASSERT_TRUE(Connect());
    CAboutDlg about;
    EXPECT_FALSE(about.McuLine()->isHidden());
    EXPECT_EQ(about.ModuleLine()->text(), QStringLiteral("Module:M7Q"));
    EXPECT_TRUE(about.McuLine()->text().startsWith(QStringLiteral("MCU Ver:")));
    EXPECT_TRUE(about.McuLine()->text().endsWith(QStringLiteral(" CMD Ver:18")));
    EXPECT_TRUE(about.DspLine()->text().startsWith(QStringLiteral("DSP Ver:")));
}

TEST_F(ShellTest, TheRecentListKeepsTenNewestFirstWithoutDuplicates) {
    QTemporaryDir dir;
    for (int i = 0; i < 12; ++i)
        AddRecentFile(dir.filePath(QStringLiteral("f%1.vm3zt").arg(i)));
    AddRecentFile(dir.filePath(QStringLiteral("f5.vm3zt")));
    const QStringList files = RecentFiles();
    ASSERT_EQ(files.size(), 10);
    EXPECT_EQ(files[0], dir.filePath(QStringLiteral("f5.vm3zt")));
    EXPECT_EQ(files[1], dir.filePath(QStringLiteral("f11.vm3zt")));
    EXPECT_EQ(files.count(dir.filePath(QStringLiteral("f5.vm3zt"))), 1);
    EXPECT_FALSE(files.contains(dir.filePath(QStringLiteral("f1.vm3zt"))));
}

TEST_F(ShellTest, NoticesReplaceEachOtherAndTheSyncDialogSpeaksBothLanguages) {
    ShowInfoPopup(QStringLiteral("first"), 2500);
    ShowInfoPopup(QStringLiteral("second"), 1100);
    ASSERT_NE(InfoDlg(), nullptr);
    EXPECT_EQ(InfoDlg()->Text(), QStringLiteral("second"));
    EXPECT_LE(InfoDlg()->RemainingMs(), 1100);
    CSynDlg zh(QString(), nullptr);
    EXPECT_EQ(zh.Text(), QString::fromUtf8("当前正在与机器同步数据,请稍候......"));
    SetLanguage(1);
    CSynDlg en(QString(), nullptr);
    EXPECT_EQ(en.Text(), QString::fromUtf8("Please wait a moment……"));
}

TEST_F(ShellTest, AbortingAnInclusionSendsTheStopRequest) {
    Record();
    CWaitDlg dlg(QStringLiteral("including"), 74, nullptr);
    dlg.Abort();
    ASSERT_EQ(rec.Reports().size(), 1u);
    const uint8_t stop[] = {74, 0x05, 0x00};
    EXPECT_EQ(rec.Reports()[0], BuildZWaveFrame(stop, 3));
    rec.Clear();
    CWaitDlg other(QStringLiteral("reading"), 33, nullptr);
    other.Abort();
    EXPECT_TRUE(rec.Reports().empty());
}

// ---- Tool windows ------------------------------------------------------------------------------

TEST_F(ShellTest, ToolWindowsOpenFromTheRibbonAndF7AndGoOnDeviceArrival) {
    ASSERT_TRUE(Connect());
    view->OnCommand(ID_BTN_FEATURES);
    view->OnCommand(ID_BTN_INPUT_SOURCE);
    view->OnCommand(ID_BTN_REMOTE);
    QTest::keyClick(frame.get(), Qt::Key_F7);
    for (int t : {kTemplateFeatures, kTemplateMusicInput, kTemplateRemote, kTemplateMachine}) {
        CPage* window = view->ToolWindows().Window(t);
        ASSERT_NE(window, nullptr) << t;
        EXPECT_TRUE(window->isVisible()) << t;
        EXPECT_TRUE(window->isWindow()) << t;
    }
    EXPECT_FALSE(link->Conn().LivePollAllowed()); // the remote window holds the live poll off
    // Opening again shows the same window.
    CPage* features = view->ToolWindows().Window(kTemplateFeatures);
    features->hide();
    view->OnCommand(ID_BTN_FEATURES);
    EXPECT_EQ(view->ToolWindows().Window(kTemplateFeatures), features);
    EXPECT_TRUE(features->isVisible());

    // A device arrival destroys them all; the poll comes back.
    QPointer<CPage> remote = view->ToolWindows().Window(kTemplateRemote);
    view->ToolWindows().Destroy();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(remote.isNull());
    EXPECT_TRUE(link->Conn().LivePollAllowed());
}

TEST_F(ShellTest, VolumeStripEnforcesTheMaximumOnlyOnceApplied) {
    Record();
    {
        auto lock = LockStore();
        g_Status.byMachine[3] = 20;
        g_Status.byMachine[5] = 99;
    }
    view->OpenPage(kTemplateMachine);
    auto* dlg = qobject_cast<CSetDlg*>(view->ToolWindows().Window(kTemplateMachine));
    ASSERT_NE(dlg, nullptr);
    auto* maximum = qobject_cast<CXBmpSlider*>(FindCtrl(dlg, CSetDlg::IDC_MIC_MAX));
    maximum->SetPos(41);
    QTest::keyClick(maximum, Qt::Key_Left); // 40, not applied
    El<QSlider>(32829)->setValue(60);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 60);

    dlg->Apply();
    El<QSlider>(32829)->setValue(70);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 40);
    EXPECT_EQ(El<QSlider>(32829)->value(), 40);

    // The power-on slider moves the live volume; the strip shows it once the window has gone.
    auto* start = qobject_cast<CXBmpSlider*>(FindCtrl(dlg, CSetDlg::IDC_MIC_START));
    start->SetPos(26);
    QTest::keyClick(start, Qt::Key_Left);
    EXPECT_EQ(g_Param.nSetting[SET_MIC_VOLUME], 25);
    dlg->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(view->ToolWindows().Window(kTemplateMachine), nullptr);
    EXPECT_EQ(El<QSlider>(32829)->value(), 25);
}

} // namespace

namespace {

Report LiveReport(uint8_t rf1) {
    Report r{};
    r[0] = 0x02;
    r[1] = CMD_GET_LIVE;
    r[2 + 8] = rf1; // wireless microphone 1: RF level
    r[2 + 9] = 13;  // AF level
    r[2 + 11] = 202;
    return r;
}

// The status panels follow the live status by themselves: nobody touches the window.
TEST_F(ShellTest, LiveStatusReachesTheMicrophonePanelsWithoutInput) {
    ASSERT_TRUE(Connect());
    const int refreshes = view->StatusRefreshCount();
    const QString first = Text(32926);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Text(32926) != first; }, 5000)) << first.toStdString();
    EXPECT_GT(view->StatusRefreshCount(), refreshes);
    EXPECT_EQ(Text(32926), Text(32932)); // both categories show it
}

// Reports arriving in one turn of the event loop make one refresh, with every region they touched.
TEST_F(ShellTest, ReportsOfOneEventLoopTurnAreCoalescedIntoOneRefresh) {
    QSignalSpy changed(link.get(), &CConsoleLink::StoreChanged);
    const int refreshes = view->StatusRefreshCount();
    HandleReport(LiveReport(231));
    HandleReport(LiveReport(140));
    HandleReport(MakeReport({0x02, CMD_GET_MODE, 2}));
    EXPECT_EQ(changed.count(), 0); // queued, not yet delivered
    QCoreApplication::processEvents();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toUInt(), uint32_t(STORE_LIVE | STORE_MODES));
    EXPECT_EQ(view->StatusRefreshCount(), refreshes + 1);
    EXPECT_EQ(Text(32926), QString::fromUtf8("RF:_________ AF:■■■■■")); // the last report's values

    HandleReport(LiveReport(231));
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(Text(32926), QString::fromUtf8("RF:■■■■■ AF:■■■■■"));
}

// A page that asks for another page from inside its own button handler is not deleted under it, whether
// it asks through its signal (queued) or the host switches at once.
TEST_F(ShellTest, APageSwitchedFromItsOwnButtonSurvivesItsHandler) {
    frame->Ribbon()->SetActiveCategory(CMainFrame::kOutput);
    QPointer<CPage> output = view->Page();
    ASSERT_TRUE(output);
    ASSERT_EQ(output->TemplateId(), kTemplateOutputPage);
    auto* button = qobject_cast<QAbstractButton*>(FindCtrl(output, CChannelButtonRow::kChannelIds[2]));
    ASSERT_NE(button, nullptr);
    QObject::connect(button, &QAbstractButton::clicked, output,
                     [page = output.data()] { emit page->OpenPage(kTemplateMusicPage, -1); });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(view->Page(), output.data()); // nothing happened inside the handler
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(view->Page(), nullptr);
    EXPECT_EQ(view->Page()->TemplateId(), kTemplateMusicPage);
    EXPECT_TRUE(output.isNull());

    // The host switching at once from inside the handler defers the deletion just as well.
    frame->Ribbon()->SetActiveCategory(CMainFrame::kInput);
    frame->Ribbon()->SetActiveCategory(CMainFrame::kOutput);
    QPointer<CPage> again = view->Page();
    auto* next = qobject_cast<QAbstractButton*>(FindCtrl(again, CChannelButtonRow::kChannelIds[1]));
    ASSERT_NE(next, nullptr);
    QObject::connect(next, &QAbstractButton::clicked, again, [this] { view->ShowPage(kTemplateMusicPage); });
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_FALSE(again.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(again.isNull());
    EXPECT_EQ(view->Page()->TemplateId(), kTemplateMusicPage);
}

// Pages the registry makes are the pages --page names; a template without a row makes nothing.
TEST_F(ShellTest, TheRegistryIsTheOnePlaceThatMakesPages) {
    for (const PageRow& row : PageRows()) {
        EXPECT_EQ(FindPageByName(QString::fromLatin1(row.szName).toUpper()), &row);
        PageState state;
        std::unique_ptr<CPage> page(CreatePage(row.nTemplate, PageContext{nullptr, &state}, -1, nullptr));
        ASSERT_NE(page, nullptr) << row.szName;
        EXPECT_EQ(page->TemplateId(), row.nTemplate);
    }
    EXPECT_EQ(CreatePage(kTemplateAbout, PageContext{}, -1, nullptr), nullptr);
    EXPECT_EQ(FindPageByName(QStringLiteral("nosuchpage")), nullptr);
    // The output page opens on the channel the state remembers, and remembers the one selected.
    PageState state;
    state.nOutputChannel = 5;
    std::unique_ptr<CPage> page(CreatePage(kTemplateOutputPage, PageContext{nullptr, &state}, -1, nullptr));
    auto* output = static_cast<CDialogOutput*>(page.get());
    EXPECT_EQ(output->CurrentChannel(), 5);
    output->Select(2);
    EXPECT_EQ(state.nOutputChannel, 2);
}

TEST_F(ShellTest, TheOutputPageButtonsOpenTheSubPagesAndTheirChannelButtonsComeBack) {
    frame->show();
    frame->Ribbon()->SetActiveCategory(CMainFrame::kOutput);
    auto* output = qobject_cast<CDialogOutput*>(view->Page());
    ASSERT_NE(output, nullptr);
    output->SelectChannel(2);
    auto click = [&](int id) {
        auto* button = qobject_cast<QAbstractButton*>(FindCtrl(view->Page(), id));
        ASSERT_NE(button, nullptr) << id;
        ASSERT_TRUE(button->isVisible()) << id;
        button->click();
        QCoreApplication::processEvents(); // the switch is queued
    };
    click(CDialogOutput::IDC_BTN_DELAY);
    EXPECT_EQ(view->Page()->TemplateId(), 333);
    click(CChannelButtonRow::kChannelIds[4]);
    ASSERT_EQ(view->Page()->TemplateId(), 385);
    EXPECT_EQ(qobject_cast<CDialogOutput*>(view->Page())->CurrentChannel(), 4);
    click(CDialogOutput::IDC_BTN_COMP);
    EXPECT_EQ(view->Page()->TemplateId(), 346);
    click(CDialogOutput::IDC_BTN_LOCATION);
    EXPECT_EQ(view->Page()->TemplateId(), 334);
    EXPECT_FALSE(FindCtrl(view->Page(), CDialogOutput::IDC_BTN_DELAY)->isVisible());
    EXPECT_FALSE(FindCtrl(view->Page(), CDialogOutput::IDC_BTN_COMP)->isVisible());
    click(CChannelButtonRow::kChannelIds[1]);
    ASSERT_EQ(view->Page()->TemplateId(), 385);
    EXPECT_EQ(qobject_cast<CDialogOutput*>(view->Page())->CurrentChannel(), 1);
}

} // namespace
