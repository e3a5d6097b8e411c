// The machine settings against the recording link: the working and live copies, what Apply sends,
// the power-on sliders held by the maximums, and closing by the close box or Cancel.
#include "pages/SetDlg.h"

#include "TestSupport.h"
#include "WidgetSupport.h"
#include "ui/ProgressDlgs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QWheelEvent>

class SetDlgTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        // The processor's record: both copies, as its arrival fills them.
        const std::array<uint8_t, kMachineBytes> record = {0, 7, 0, 60, 30, 99, 80, 1, 0x93, 9, 10, 2, 12};
        auto lock = LockStore();
        g_Status.byMachine = record;
        g_Status.byMachineEdit = record;
    }
    void TearDown() override {
        delete dlg.data();
        StoreTest::TearDown();
    }
    void Open() {
        dlg = new CSetDlg(PageContext{}, -1);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.data()));
        link.Clear();
    }
    void Gone() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    CXBmpSlider* Slider(int id) { return Ctrl<CXBmpSlider>(dlg.data(), id); }
    QString Text(int id) { return TextOf(dlg.data(), id); }
    std::array<uint8_t, kMachineBytes> Live() {
        auto lock = LockStore();
        return g_Status.byMachine;
    }
    std::array<uint8_t, kMachineBytes> Edit() {
        auto lock = LockStore();
        return g_Status.byMachineEdit;
    }
    // The one CMD_SET_MACHINE report sent: its 13 bytes.
    std::array<uint8_t, kMachineBytes> AppliedBytes() {
        std::array<uint8_t, kMachineBytes> bytes{};
        int found = 0;
        for (const Report& r : Sent())
            if (r[1] == CMD_SET_MACHINE) {
                ++found;
                std::copy_n(&r[2], kMachineBytes, bytes.begin());
                EXPECT_TRUE(
                    std::all_of(r.begin() + 2 + kMachineBytes, r.end(), [](uint8_t b) { return b == 0; }));
            }
        EXPECT_EQ(found, 1);
        return bytes;
    }
    void Apply() { ClickButton(Ctrl<QPushButton>(dlg.data(), CSetDlg::IDC_APPLY)); }

    QPointer<CSetDlg> dlg;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

TEST_F(SetDlgTest, ShowsTheLiveRecord) {
    Open();
    EXPECT_EQ(Slider(CSetDlg::IDC_MIC_START)->GetPos(), 60);
    EXPECT_EQ(Slider(CSetDlg::IDC_MIC_START)->GetRangeMax(), 99);
    EXPECT_EQ(Slider(CSetDlg::IDC_MUSIC_START)->GetPos(), 30);
    EXPECT_EQ(Slider(CSetDlg::IDC_MUSIC_START)->GetRangeMax(), 80);
    EXPECT_EQ(Slider(CSetDlg::IDC_MUSIC_MAX)->GetPos(), 80);
    EXPECT_EQ(Text(CSetDlg::IDC_MIC_START_TEXT), "60");
    EXPECT_EQ(Text(CSetDlg::IDC_MUSIC_MAX_TEXT), "80");
    EXPECT_TRUE(Ctrl<QRadioButton>(dlg.data(), CSetDlg::IDC_BY_POWER)->isChecked());
    EXPECT_EQ(Ctrl<QComboBox>(dlg.data(), CSetDlg::IDC_POWER_ON_MODE)->currentIndex(), 2);
}

TEST_F(SetDlgTest, LoweringTheMaximumPullsThePowerOnVolumeAndSendsIt) {
    Open();
    MoveSlider(Slider(CSetDlg::IDC_MIC_MAX), 45);
    EXPECT_EQ(Slider(CSetDlg::IDC_MIC_START)->GetPos(), 45);
    EXPECT_EQ(Slider(CSetDlg::IDC_MIC_START)->GetRangeMax(), 45);
    EXPECT_EQ(Text(CSetDlg::IDC_MIC_START_TEXT), "45");
    EXPECT_EQ(Text(CSetDlg::IDC_MIC_MAX_TEXT), "45");
    // The microphone volume as the volume strip sends it: 45 / 100 + 0.0005 in single precision.
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MIC, 14, 0x3ee6a7ef, 1)});
    EXPECT_EQ(SlotValue(SET_MIC_VOLUME), 45);
    EXPECT_EQ(Edit()[3], 45);
    EXPECT_EQ(Edit()[5], 45);
    EXPECT_EQ(Live()[5], 99); // only Apply makes it the limit

    link.Clear();
    MoveSlider(Slider(CSetDlg::IDC_MUSIC_MAX), 50); // music stands at 30: nothing moves
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Slider(CSetDlg::IDC_MUSIC_START)->GetPos(), 30);

    link.Clear();
    MoveSlider(Slider(CSetDlg::IDC_MUSIC_START), 48);
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MUSIC, 12, 0x3ef60418, 1)});
    EXPECT_EQ(Edit()[4], 48);
}

TEST_F(SetDlgTest, UncheckedPowerOnVolumeIsInvalidAndAppliedAs255) {
    Open();
    ClickButton(Ctrl<QCheckBox>(dlg.data(), CSetDlg::IDC_MIC_START_ON));
    EXPECT_EQ(Edit()[3], 255);
    EXPECT_EQ(Text(CSetDlg::IDC_MIC_START_TEXT), QString::fromUtf8("无效"));
    EXPECT_FALSE(Slider(CSetDlg::IDC_MIC_START)->IsSliderEnabled());
    EXPECT_EQ(Slider(CSetDlg::IDC_MIC_START)->GetPos(), 0);
    // A wheel notch on the disabled slider, sent as the window sends it: nothing moves or goes out.
    QWheelEvent notch(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(Slider(CSetDlg::IDC_MIC_START), &notch);
    EXPECT_EQ(Slider(CSetDlg::IDC_MIC_START)->GetPos(), 0);
    EXPECT_TRUE(Sent().empty());
    Apply();
    const std::array<uint8_t, kMachineBytes> expected = {0, 7, 0, 255, 30, 99, 80, 1, 0x93, 9, 10, 2, 12};
    EXPECT_EQ(AppliedBytes(), expected);
    EXPECT_EQ(Live(), expected);
    ASSERT_NE(InfoDlg(), nullptr);
    EXPECT_EQ(InfoDlg()->Text(), QString::fromUtf8("机器设置已生效!"));

    // Checked again: the current microphone volume, held to the slider's end.
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_MIC_VOLUME] = 25;
    }
    ClickButton(Ctrl<QCheckBox>(dlg.data(), CSetDlg::IDC_MIC_START_ON));
    EXPECT_EQ(Edit()[3], 25);
    EXPECT_EQ(Text(CSetDlg::IDC_MIC_START_TEXT), "25");
    EXPECT_TRUE(Slider(CSetDlg::IDC_MIC_START)->IsSliderEnabled());
}

TEST_F(SetDlgTest, SaveModeAndPowerOnModeReachApplyOnlyThroughApply) {
    Open();
    ClickButton(Ctrl<QRadioButton>(dlg.data(), CSetDlg::IDC_BY_MODE));
    auto* modes = Ctrl<QComboBox>(dlg.data(), CSetDlg::IDC_POWER_ON_MODE);
    modes->setFocus();
    QTest::keyClick(modes, Qt::Key_Down); // M2 -> M3
    EXPECT_EQ(Edit()[11], 3);
    EXPECT_EQ(Edit()[0], 1);
    EXPECT_EQ(Edit()[2], 1);
    Apply();
    const std::array<uint8_t, kMachineBytes> expected = {1, 7, 1, 60, 30, 99, 80, 1, 0x93, 9, 10, 3, 12};
    EXPECT_EQ(AppliedBytes(), expected);
}

TEST_F(SetDlgTest, CloseBoxDiscardsTheEditAndDestroysTheWindow) {
    Open();
    auto* modes = Ctrl<QComboBox>(dlg.data(), CSetDlg::IDC_POWER_ON_MODE);
    modes->setFocus();
    QTest::keyClick(modes, Qt::Key_Down);
    EXPECT_EQ(Edit()[11], 3);
    dlg->close();
    EXPECT_EQ(Edit()[11], 2);
    Gone();
    EXPECT_TRUE(dlg.isNull());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SetDlgTest, AnEditLeftWithCancelIsNeverSentByALaterApply) {
    Open();
    ClickButton(Ctrl<QCheckBox>(dlg.data(), CSetDlg::IDC_MUSIC_START_ON)); // music power-on: 255
    ClickButton(Ctrl<QPushButton>(dlg.data(), CSetDlg::IDC_CANCEL));
    Gone();
    ASSERT_TRUE(dlg.isNull());
    Open();
    EXPECT_TRUE(Ctrl<QCheckBox>(dlg.data(), CSetDlg::IDC_MUSIC_START_ON)->isChecked());
    Apply();
    EXPECT_EQ(AppliedBytes()[4], 30);
}

TEST_F(SetDlgTest, RecordOutsideItsRangesShowsSafely) {
    {
        auto lock = LockStore();
        g_Status.byMachine[5] = 0;   // before the processor's record: no maximum yet
        g_Status.byMachine[6] = 200; // out of range
        g_Status.byMachine[11] = 7;  // no such mode
        g_Status.byMachine[4] = 150;
    }
    Open();
    EXPECT_EQ(Slider(CSetDlg::IDC_MIC_START)->GetRangeMax(), 1);
    EXPECT_EQ(Slider(CSetDlg::IDC_MIC_MAX)->GetPos(), 1);
    EXPECT_EQ(Slider(CSetDlg::IDC_MUSIC_START)->GetRangeMax(), 99);
    EXPECT_EQ(Slider(CSetDlg::IDC_MUSIC_START)->GetPos(), 99);
    EXPECT_EQ(Text(CSetDlg::IDC_MUSIC_MAX_TEXT), "200");
    EXPECT_EQ(Ctrl<QComboBox>(dlg.data(), CSetDlg::IDC_POWER_ON_MODE)->currentIndex(), -1);
    Apply();
    EXPECT_EQ(AppliedBytes()[11], 7); // kept as it was
}

TEST_F(SetDlgTest, FactoryModeButtonsDoNothingWhileDisconnected) {
    Open();
    ClickButton(Ctrl<QAbstractButton>(dlg.data(), CSetDlg::IDC_RESET_M1 + 2));
    EXPECT_TRUE(Sent().empty());
    auto lock = LockStore();
    EXPECT_EQ(g_Param.nCurMode, 0);
}

TEST_F(SetDlgTest, EnglishTexts) {
    SetLanguage(1);
    {
        auto lock = LockStore();
        g_Status.byMachine[3] = 255;
    }
    Open();
    EXPECT_EQ(dlg->windowTitle(), "Machine Set");
    EXPECT_EQ(Text(CSetDlg::IDC_MIC_START_TEXT), "Invalid");
    SetLanguage(0);
    dlg->ReloadTexts();
    EXPECT_EQ(Text(CSetDlg::IDC_MIC_START_TEXT), QString::fromUtf8("无效"));
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("机器设置"));
}
