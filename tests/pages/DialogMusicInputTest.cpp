// The music source window against the recording link: the radios and what they send, the selection
// shown for every source and HDMI port the processor may report, and the source levels.
#include "pages/DialogMusicInput.h"

#include "TestSupport.h"
#include "WidgetSupport.h"

#include <QRadioButton>

class DialogMusicInputTest : public StoreTest {
protected:
    void TearDown() override {
        dlg.reset();
        StoreTest::TearDown();
    }
    void SetSource(int source, int port) {
        auto lock = LockStore();
        g_Param.nSetting[SET_MUSIC_SOURCE] = source;
        g_Param.nSetting[SET_HDMI_PORT] = port;
    }
    void Open() {
        dlg = std::make_unique<CDialogMusicInput>(PageContext{}, -1);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        link.Clear();
    }
    QRadioButton* Radio(int row) { return Ctrl<QRadioButton>(dlg.get(), CDialogMusicInput::kRadioIds[row]); }
    std::vector<int> Checked() {
        std::vector<int> rows;
        for (int r = 0; r < CDialogMusicInput::kRows; ++r)
            if (Radio(r)->isChecked())
                rows.push_back(r);
        return rows;
    }
    std::unique_ptr<CDialogMusicInput> dlg;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

TEST_F(DialogMusicInputTest, OnlyOpticalCoaxialAndAux1AreShown) {
    Open();
    for (int r = 0; r < CDialogMusicInput::kRows; ++r) {
        const bool shown = r == 0 || r == 1 || r == 6;
        EXPECT_EQ(Radio(r)->isVisible(), shown) << r;
        EXPECT_EQ(FindCtrl(dlg.get(), CDialogMusicInput::kSliderIds[r])->isVisible(), shown) << r;
    }
}

TEST_F(DialogMusicInputTest, CoaxialSendsTheSourceAndNothingElse) {
    SetSource(0, 0);
    Open();
    ClickButton(Radio(1));
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MUSIC, 23, 1, 1)});
    EXPECT_EQ(SlotValue(SET_MUSIC_SOURCE), 1);
    EXPECT_EQ(Checked(), std::vector<int>{1});
}

TEST_F(DialogMusicInputTest, HdmiRowSendsThePortBeforeTheSource) {
    Open();
    Radio(4)->click(); // HDMI3, hidden but working
    EXPECT_EQ(Sent(),
              (std::vector<Report>{BuildParam(MOD_MUSIC, 33, 2, 1), BuildParam(MOD_MUSIC, 23, 2, 1)}));
    EXPECT_EQ(SlotValue(SET_HDMI_PORT), 2);
    EXPECT_EQ(Checked(), std::vector<int>{4});
    link.Clear();
    Radio(7)->click(); // AUX2
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MUSIC, 23, 5, 1)});
}

TEST_F(DialogMusicInputTest, SelectionFollowsSourceAndPort) {
    SetSource(2, 1);
    Open();
    EXPECT_EQ(Checked(), std::vector<int>{3}); // the hidden HDMI2 radio only
    EXPECT_EQ(dlg->SelectedRow(), 3);

    SetSource(4, 1);
    dlg->Refresh();
    EXPECT_EQ(Checked(), std::vector<int>{6});

    // Bluetooth has no row: the previous selection stays.
    SetSource(3, 0);
    dlg->Refresh();
    EXPECT_EQ(Checked(), std::vector<int>{6});

    // A port without a row selects nothing at all (never an AUX row, never past the eight).
    for (int port : {4, 5, 9, -1, 1000}) {
        SetSource(2, port);
        dlg->Refresh();
        EXPECT_TRUE(Checked().empty()) << port;
    }
    SetSource(5, 0);
    dlg->Refresh();
    EXPECT_EQ(Checked(), std::vector<int>{7});
}

TEST_F(DialogMusicInputTest, NewWindowWithBluetoothShowsOptical) {
    SetSource(3, 0);
    Open();
    EXPECT_EQ(Checked(), std::vector<int>{0});
}

TEST_F(DialogMusicInputTest, LevelsAreStoredSentAndShown) {
    {
        auto lock = LockStore();
        g_Param.nSetting[SET_SRC_LEVEL_COAX] = 140; // held to the slider's range
        g_Param.nSetting[SET_SRC_LEVEL_AUX2] = 35;
    }
    Open();
    EXPECT_EQ(Ctrl<CXBmpSlider>(dlg.get(), 1042)->GetPos(), 100);
    EXPECT_EQ(TextOf(dlg.get(), 1009), "35%");
    MoveSlider(Ctrl<CXBmpSlider>(dlg.get(), 1041), 100);
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MUSIC, 24, FloatBits(1.0f), 1)});
    EXPECT_EQ(TextOf(dlg.get(), 1005), "100%");
    EXPECT_EQ(SlotValue(SET_SRC_LEVEL_SPDIF), 100);
    link.Clear();
    MoveSlider(Ctrl<CXBmpSlider>(dlg.get(), 1046), 50); // HDMI4
    EXPECT_EQ(Sent(), std::vector<Report>{BuildParam(MOD_MUSIC, 29, FloatBits(0.5f), 1)});
}

TEST_F(DialogMusicInputTest, EscapeOnlyHides) {
    Open();
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DialogMusicInputTest, TextsInBothLanguages) {
    SetLanguage(1);
    Open();
    dlg->ReloadTexts();
    EXPECT_EQ(dlg->windowTitle(), "Music source setting");
    EXPECT_EQ(Radio(1)->text(), "COAXIAL");
    SetLanguage(0);
    dlg->ReloadTexts();
    EXPECT_EQ(Radio(0)->text(), QString::fromUtf8("光纤音量"));
}
