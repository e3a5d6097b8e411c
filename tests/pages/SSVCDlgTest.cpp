// The sound-field page: each path's reports in order (box, spin, speaker drag, listener drag, Center,
// Reset), the levels derived from the distances, Locate, and rooms the processor may send.
#include "pages/SSVCDlg.h"

#include "TestSupport.h"
#include "WidgetSupport.h"
#include "controls/SSVolumePanel.h"
#include "controls/SpinButtons.h"
#include "model/Compound.h"
#include "model/Setters.h"
#include "pages/SubPageHelpers.h"
#include "ui/Language.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <cmath>

namespace {

// The level of channel c as the processor gets it: the 32-byte block with c's entry, then its gains.
std::vector<Report> LevelReports(std::array<uint8_t, kSurroundLevelsSize>& levels, int c, float db) {
    PutBE32(&levels[4 * c], FloatBits(db));
    std::array<uint32_t, 6> words;
    const auto gains = EncodeGainBlock(db, GainVariant::SurroundLevel);
    for (int i = 0; i < 6; ++i)
        words[i] = FloatBits(gains[i]);
    return {BuildMemoryWrite(ADDR_SURROUND_LEVELS, kSurroundLevelsSize, levels.data()),
            BuildParamValues(MOD_OUT1 + c, 29, words)};
}

Report FieldReport() {
    auto lock = LockStore();
    EncodeSoundFieldBlock();
    return BuildMemoryWrite(ADDR_SOUND_FIELD, kSoundFieldSize, g_bySoundFieldBytes.data());
}

} // namespace

class SSVCDlgTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        // Channels 1..8 drive roles 0..6 and 0 again: role 7 (side right) has no channel.
        static constexpr int kRoles[8] = {0, 1, 2, 3, 4, 5, 6, 0};
        auto lock = LockStore();
        for (int c = 0; c < 8; ++c)
            g_Param.nSetting[SET_OUT_ROLE + c] = kRoles[c];
        ResetSoundFieldBlock();
    }
    void TearDown() override {
        page.reset();
        StoreTest::TearDown();
    }
    void Open() {
        page = std::make_unique<CSSVCDlg>(PageContext{nullptr, &state}, -1, nullptr);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        link.Clear();
    }
    template <class T> T* Ctrl(int id) { return ::Ctrl<T>(page.get(), id); }
    std::array<uint8_t, kSurroundLevelsSize> Levels() {
        auto lock = LockStore();
        return g_Param.bySurroundLevels;
    }

    PageState state;
    std::unique_ptr<CSSVCDlg> page;
    const ScopedLanguage m_language{1}; // last: as if set after the members, restored before them
};

TEST_F(SSVCDlgTest, ResetSendsEightZeroLevelsThenTheFieldWithZeroCoordinatesAs0x80) {
    {
        auto lock = LockStore();
        g_SoundField.fSpeakerX[0] = 1.7f;
        g_Param.bySurroundLevels.fill(0x11);
    }
    Open();
    QTest::mouseClick(Ctrl<QAbstractButton>(CSSVCDlg::IDC_RESET), Qt::LeftButton);
    const std::vector<Report> sent = Sent();
    ASSERT_EQ(sent.size(), 17u);
    std::array<uint8_t, kSurroundLevelsSize> levels;
    levels.fill(0x11);
    for (int c = 0; c < 8; ++c) {
        const auto want = LevelReports(levels, c, 0.0f);
        EXPECT_EQ(sent[2 * c], want[0]) << c;
        EXPECT_EQ(sent[2 * c + 1], want[1]) << c;
    }
    const uint8_t field[kSoundFieldSize] = {0x04, 0x04, 0x80, 0x80, 0x8A, 0x0A, 0x80, 0x0A, 0x0A, 0x0A,
                                            0x8A, 0x8A, 0x80, 0x8A, 0x0A, 0x8A, 0x85, 0x80, 0x05, 0x80};
    EXPECT_EQ(sent[16], BuildMemoryWrite(1285, kSoundFieldSize, field));
    EXPECT_EQ(Ctrl<QLineEdit>(CSSVCDlg::IDC_SPEAKER_X0)->text(), "-1.0m");
    EXPECT_EQ(Ctrl<QLineEdit>(CSSVCDlg::IDC_SPEAKER_X0 + 2)->text(), "+0.0m");
}

TEST_F(SSVCDlgTest, CenterAppliesDistanceLevelsToTheFirstChannelOfEachRole) {
    {
        auto lock = LockStore();
        g_SoundField.fListenerX = 1.0f;
        g_SoundField.fListenerY = -0.5f;
    }
    Open();
    QTest::mouseClick(Ctrl<QAbstractButton>(CSSVCDlg::IDC_CENTER), Qt::LeftButton);
    const std::vector<Report> sent = Sent();
    // The field twice (x, then y), then speakers in order; side right has no channel.
    ASSERT_EQ(sent.size(), 2u + 7u * 2u);
    {
        auto lock = LockStore();
        g_SoundField.fListenerX = 0.0f;
        g_SoundField.fListenerY = 0.0f;
    }
    EXPECT_EQ(sent[1], FieldReport());
    std::array<uint8_t, kSurroundLevelsSize> levels{};
    const float fl = 3.0f - 3.0f * std::sqrt(2.0f);
    EXPECT_NEAR(fl, -1.2426f, 1e-4f);
    EXPECT_FLOAT_EQ(page->SpeakerLevel(0), fl);
    EXPECT_FLOAT_EQ(page->SpeakerLevel(6), 1.5f); // side left, 0.5 m
    const std::pair<int, float> order[7] = {{0, fl},   {5, 0.0f}, {1, fl},  {2, fl},
                                            {4, 0.0f}, {3, fl},   {6, 1.5f}};
    size_t at = 2;
    for (auto [c, db] : order) {
        const auto want = LevelReports(levels, c, db);
        EXPECT_EQ(sent[at], want[0]) << c;
        EXPECT_EQ(sent[at + 1], want[1]) << c;
        at += 2;
    }
    // Channel 8 has role 0 as well: only channel 1 got the front-left level.
    EXPECT_EQ(GetBE32(&Levels()[4 * 7]), 0u);
    // The listener's boxes keep the old position until the next refresh.
    EXPECT_EQ(Ctrl<QLineEdit>(CSSVCDlg::IDC_LISTENER_X)->text(), "+1.0m");
    EXPECT_EQ(page->Panel()->Item(0)->fX, 0.0f);
}

TEST_F(SSVCDlgTest, SpeakerDragStopsAtTheWallAndSendsLevelThenField) {
    Open();
    CSSVolumePanel* panel = page->Panel();
    const QPoint at(panel->Item(1)->nPx, panel->Item(1)->nPy);
    SendMouse(panel, QEvent::MouseButtonPress, at, Qt::LeftButton);
    link.Clear();
    SendMouse(panel, QEvent::MouseMove, QPoint(-400, at.y()), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, QPoint(-400, at.y()), Qt::NoButton);
    float x, y;
    {
        auto lock = LockStore();
        x = g_SoundField.fSpeakerX[0];
        y = g_SoundField.fSpeakerY[0];
    }
    EXPECT_FLOAT_EQ(x, -2.0f); // the left wall of the 4 m room
    EXPECT_EQ(Ctrl<QLineEdit>(CSSVCDlg::IDC_SPEAKER_X0)->text(), "-2.0m");
    EXPECT_EQ(Ctrl<CSpinButtons>(CSSVCDlg::IDC_SPEAKER_SPIN0)->Pos(), -20);
    std::array<uint8_t, kSurroundLevelsSize> levels{};
    std::vector<Report> want = LevelReports(levels, 0, CSSVCDlg::LevelForDistance(x, y));
    want.push_back(FieldReport());
    EXPECT_EQ(Sent(), want);

    // A press that misses every item sends nothing.
    link.Clear();
    SendMouse(panel, QEvent::MouseButtonPress, QPoint(2, 2), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseMove, QPoint(60, 60), Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, QPoint(60, 60), Qt::NoButton);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SSVCDlgTest, TypedPositionIsHeldToTheRoomAndSpinsStepTenths) {
    Open();
    auto* box = Ctrl<CValueEdit>(CSSVCDlg::IDC_SPEAKER_X0 + 4); // front right x
    box->setFocus();
    box->setText("+7");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->text(), "+2.0m");
    {
        auto lock = LockStore();
        EXPECT_FLOAT_EQ(g_SoundField.fSpeakerX[2], 2.0f);
    }
    std::array<uint8_t, kSurroundLevelsSize> levels{};
    std::vector<Report> want = {FieldReport()};
    for (const Report& r : LevelReports(levels, 1, CSSVCDlg::LevelForDistance(2.0f, 1.0f)))
        want.push_back(r);
    EXPECT_EQ(Sent(), want);
    EXPECT_EQ(Ctrl<CSpinButtons>(CSSVCDlg::IDC_SPEAKER_SPIN0 + 4)->Pos(), 20);

    // The spin at the wall stays there; one step down moves a tenth.
    link.Clear();
    auto* spin = Ctrl<CSpinButtons>(CSSVCDlg::IDC_SPEAKER_SPIN0 + 4);
    spin->Step(1);
    EXPECT_EQ(box->text(), "+2.0m");
    spin->Step(-1);
    EXPECT_EQ(box->text(), "+1.9m");
    EXPECT_EQ(spin->Pos(), 19);
    {
        auto lock = LockStore();
        EXPECT_FLOAT_EQ(g_SoundField.fSpeakerX[2], 1.9f);
    }
}

TEST_F(SSVCDlgTest, RoomOutsideOneToTenIsShownHeldAndTheStoreKeptUntilModify) {
    {
        auto lock = LockStore();
        g_SoundField.nRoomWidth = 0;
        g_SoundField.nRoomLength = 37;
    }
    Open();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Ctrl<QLineEdit>(CSSVCDlg::IDC_ROOM_W)->text(), "1m");
    EXPECT_EQ(Ctrl<QLineEdit>(CSSVCDlg::IDC_ROOM_L)->text(), "10m");
    EXPECT_EQ(page->Panel()->RoomWidth(), 1.0f);
    {
        auto lock = LockStore();
        EXPECT_EQ(g_SoundField.nRoomWidth, 0);
    }
    // "Modify" reads the boxes as they show them ("6m" is 6).
    Ctrl<QLineEdit>(CSSVCDlg::IDC_ROOM_W)->setText("6m");
    QTest::mouseClick(Ctrl<QAbstractButton>(CSSVCDlg::IDC_MODIFY), Qt::LeftButton);
    {
        auto lock = LockStore();
        EXPECT_EQ(g_SoundField.nRoomWidth, 6);
        EXPECT_EQ(g_SoundField.nRoomLength, 10);
    }
    EXPECT_EQ(Sent(), (std::vector<Report>{FieldReport()}));
    EXPECT_EQ(Ctrl<CSpinButtons>(CSSVCDlg::IDC_LISTENER_X_SPIN)->RangeMax(), 30);
    EXPECT_EQ(Ctrl<CSpinButtons>(CSSVCDlg::IDC_ROOM_W_SPIN)->Pos(), 6);
}

TEST_F(SSVCDlgTest, LocateTicksOneBoxAndSendsTheRoleOrEight) {
    SetSlot(SET_OUT_ROLE + 2, 4);
    SetSlot(SET_OUT_ROLE + 4, 9); // outside the roles: sent as stored, labelled empty
    Open();
    EXPECT_EQ(Ctrl<QLabel>(CSSVCDlg::kRoleIds[2])->text(), "(CH-SUB)");
    EXPECT_EQ(Ctrl<QLabel>(CSSVCDlg::kRoleIds[4])->text(), "()");
    auto click = [&](int c) {
        auto* box = Ctrl<QCheckBox>(CSSVCDlg::kLocateIds[c]);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
    };
    click(2);
    click(4);
    EXPECT_FALSE(Ctrl<QCheckBox>(CSSVCDlg::kLocateIds[2])->isChecked());
    EXPECT_TRUE(Ctrl<QCheckBox>(CSSVCDlg::kLocateIds[4])->isChecked());
    EXPECT_EQ(state.nLocatedChannel, 5);
    click(4);
    EXPECT_EQ(Sent(), (std::vector<Report>{BuildParam(MOD_MUSIC, 34, 4, 1), BuildParam(MOD_MUSIC, 34, 9, 1),
                                           BuildParam(MOD_MUSIC, 34, 8, 1)}));
    EXPECT_EQ(state.nLocatedChannel, 0);
    SetLanguage(0);
    page->ReloadTexts();
    EXPECT_EQ(Ctrl<QLabel>(CSSVCDlg::kRoleIds[2])->text(), QString::fromUtf8("(超低)"));
}

TEST_F(SSVCDlgTest, SpeakerLabelsBesideThePositionBoxesFollowTheLanguage) {
    Open(); // in English
    auto label = [this](int id) {
        auto* name = page->findChild<QLabel*>(QStringLiteral("speaker%1").arg(id));
        return name ? name->text() : QStringLiteral("(none)");
    };
    const char* const en[8] = {"L", "CEN", "R", "SBL", "SUB", "SBR", "SL", "SR"};
    const char* const zh[8] = {"前置左", "中置",     "前置右",   "后环绕左",
                               "超低",   "后环绕右", "侧环绕左", "侧环绕右"};
    for (int id = 1; id <= 8; ++id)
        EXPECT_EQ(label(id), QString::fromUtf8(en[id - 1])) << id;
    SetLanguage(0);
    page->ReloadTexts();
    for (int id = 1; id <= 8; ++id)
        EXPECT_EQ(label(id), QString::fromUtf8(zh[id - 1])) << id;
}

TEST_F(SSVCDlgTest, ListenerDragSendsTheFieldThenEveryLevelAndItsSpinsFollow) {
    Open();
    CSSVolumePanel* panel = page->Panel();
    const QPoint at(panel->Item(0)->nPx, panel->Item(0)->nPy);
    SendMouse(panel, QEvent::MouseButtonPress, at, Qt::LeftButton);
    link.Clear();
    std::array<uint8_t, kSurroundLevelsSize> levels = Levels(); // as the press left them
    const QPoint to = CSSVolumePanel::MetresToPixel(QPointF(1.0, 1.0), panel->size(), 4.0f, 4.0f);
    SendMouse(panel, QEvent::MouseMove, to, Qt::LeftButton);
    SendMouse(panel, QEvent::MouseButtonRelease, to, Qt::NoButton);
    const SSVItem* listener = panel->Item(0);
    std::vector<Report> want = {FieldReport()};
    static constexpr int kChannelOfSpeaker[7] = {0, 5, 1, 2, 4, 3, 6}; // side right has no channel
    for (int k = 0; k < 7; ++k)
        for (const Report& r : LevelReports(levels, kChannelOfSpeaker[k], page->SpeakerLevel(k)))
            want.push_back(r);
    EXPECT_EQ(Sent(), want);
    EXPECT_NEAR(page->SpeakerLevel(2), 3.0f, 0.1f); // front right at (1, 1): about the listener's spot
    {
        auto lock = LockStore();
        EXPECT_FLOAT_EQ(g_SoundField.fListenerX, listener->fX);
        EXPECT_FLOAT_EQ(g_SoundField.fListenerY, listener->fY);
    }
    EXPECT_EQ(Ctrl<CSpinButtons>(CSSVCDlg::IDC_LISTENER_X_SPIN)->Pos(),
              static_cast<int>(listener->fX * 10.0f));
}
