// The view against a fake frame: what it shows arrives as intents (status texts, strip rows, the
// current mode, the equaliser commands), the strip reads the slider the user moved, and every command
// id of the table reaches its handler.
#include "app/FrameIntents.h"
#include "app/MainView.h"
#include "ui/Templates.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/ProgressDlgs.h"
#include "ui/Prompts.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QSettings>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

namespace {

class FakeFrame : public IFrameIntents {
public:
    FakeFrame() {
        for (VolumeRow row : kAllRows)
            for (auto& category : sliders)
                category[row] = row == VolumeRow::Pitch  ? StripPosition{0, -5, 5}
                                : row == VolumeRow::Gate ? StripPosition{0, 0, 100}
                                                         : StripPosition{0, 0, 99};
    }
    void ShowStatus(StatusPane pane, const QString& text, std::optional<QColor> colour) override {
        status[pane] = text;
        if (colour)
            colours[pane] = *colour;
    }
    void SetEqCommands(bool enabled, bool bypassed, const QString&, const QString&) override {
        eqEnabled = enabled;
        eqBypassed = bypassed;
    }
    void SetStripValue(VolumeRow row, int value) override {
        values[row] = value;
        for (auto& category : sliders)
            category[row].value = value;
    }
    void SetStripLabel(VolumeRow row, const QString& text) override { labels[row] = text; }
    void SetStripMute(VolumeRow row, bool muted) override { mutes[row] = muted; }
    std::optional<StripPosition> StripSlider(VolumeRow row, bool out) const override {
        return sliders[out ? 1 : 0].at(row);
    }
    bool OutputShown() const override { return output; }
    void SetCurrentMode(int m) override { mode = m; }
    void SetMicStatus(int mic, const QString& signal, const QString&, const QString&) override {
        micSignal[mic] = signal;
    }
    void RefreshTexts() override { ++textRefreshes; }
    void RefreshRecentFiles() override {}

    std::map<StatusPane, QString> status;
    std::map<StatusPane, QColor> colours;
    std::map<VolumeRow, int> values;
    std::map<VolumeRow, QString> labels;
    std::map<VolumeRow, bool> mutes;
    std::map<VolumeRow, StripPosition> sliders[2]; // Input, Output
    QString micSignal[2];
    bool output = false;
    bool eqEnabled = false;
    bool eqBypassed = false;
    int mode = -1;
    int textRefreshes = 0;
};

int Slot(int slot) {
    auto lock = LockStore();
    return g_Param.nSetting[slot];
}

class ViewIntentsTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("M7Q V1.0")).clear();
        PromptHooks hooks;
        hooks.ask = [this](QMessageBox::Icon, const QString&, const QString& text,
                           QMessageBox::StandardButtons) {
            asked << text;
            return QMessageBox::No;
        };
        hooks.file = [this](bool save, const QString&) {
            files.push_back(save);
            return QString();
        };
        SetPromptHooks(hooks);
        console = std::make_unique<CConsoleLink>(CConsoleLink::Kind::Simulated, QString());
        SetLink(&link); // the setters' reports are recorded, not sent to the unopened link
        view = std::make_unique<CQX7745v13View>(console.get());
        view->SetFrame(&frame);
    }
    void TearDown() override {
        view->ToolWindows().Destroy();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        view->SetFrame(nullptr);
        view.reset();
        console.reset();
        SetPromptHooks({});
        StoreTest::TearDown();
    }
    QString Notice() { return InfoDlg() ? InfoDlg()->Text() : QString(); }

    FakeFrame frame;
    std::unique_ptr<CConsoleLink> console;
    std::unique_ptr<CQX7745v13View> view;
    QStringList asked;
    std::vector<bool> files; // true: a save dialog
    ScopedNotices notices{nullptr};
    const ScopedLanguage m_language{0};
};

TEST_F(ViewIntentsTest, StatusTextsStripRowsAndTheModeReachTheFrameAsIntents) {
    view->UpdateCommandUI();
    EXPECT_EQ(frame.status[StatusPane::Usb], QString::fromUtf8("USB：未连接"));
    EXPECT_EQ(frame.colours[StatusPane::Usb], QColor(220, 0, 0));
    EXPECT_TRUE(frame.status[StatusPane::Mode].startsWith(QString::fromUtf8("当前模式:模式一[")));
    EXPECT_EQ(frame.mode, 0);
    EXPECT_TRUE(frame.eqEnabled) << "the music page has an equaliser";

    {
        auto lock = LockStore();
        g_Param.bConnected = 1;
        g_Param.nCurMode = 2;
        g_Param.nSetting[SET_MIC_VOLUME] = 40;
        g_Param.nSetting[SET_MUSIC_PITCH] = 2;
        g_Param.nSetting[SET_ECHO_MUTE] = 1;
        g_Param.byLiveStatus[8] = 231;
    }
    view->RefreshVolumeStrip();
    EXPECT_EQ(frame.status[StatusPane::Usb], QString::fromUtf8("USB：已连接"));
    EXPECT_EQ(frame.colours[StatusPane::Usb], QColor(0, 150, 0));
    EXPECT_TRUE(frame.status[StatusPane::Mode].startsWith(QString::fromUtf8("当前模式:模式三[")));
    EXPECT_EQ(frame.mode, 2);
    EXPECT_EQ(frame.values[VolumeRow::Mic], 40);
    EXPECT_EQ(frame.labels[VolumeRow::Mic], QString::fromUtf8("话筒音量: 40"));
    EXPECT_EQ(frame.labels[VolumeRow::Pitch], QString::fromUtf8("音乐变调:+2"));
    EXPECT_TRUE(frame.mutes[VolumeRow::Echo]);
    EXPECT_FALSE(frame.mutes[VolumeRow::Mic]);
    EXPECT_TRUE(frame.micSignal[0].startsWith(QString::fromUtf8("RF:■■■■■ AF:")));

    // A reply that changes the connection reaches the frame without any command.
    {
        auto lock = LockStore();
        g_Param.bConnected = 0;
    }
    view->OnStoreChanged(STORE_CONNECTION);
    EXPECT_EQ(frame.status[StatusPane::Usb], QString::fromUtf8("USB：未连接"));

    // A language switch asks the frame for its texts and shows the status in the new language.
    view->ToggleLanguage();
    EXPECT_EQ(frame.textRefreshes, 1);
    EXPECT_EQ(frame.status[StatusPane::Usb], QStringLiteral("USB:Disconnected"));
    EXPECT_EQ(frame.labels[VolumeRow::Pitch], QStringLiteral("Music Pitch:+2"));
}

TEST_F(ViewIntentsTest, TheStripReadsTheSliderOfTheCategoryShownAndStopsAtTheMachinesMaximum) {
    {
        auto lock = LockStore();
        g_Status.byMachine[5] = 60;
    }
    frame.output = true;
    frame.sliders[0][VolumeRow::Mic].value = 10;
    frame.sliders[1][VolumeRow::Mic].value = 75;
    view->OnCommand(StripIdsOf(VolumeRow::Mic).outSlider);
    EXPECT_EQ(Slot(SET_MIC_VOLUME), 60);
    EXPECT_EQ(frame.values[VolumeRow::Mic], 60) << "both sliders are put back to the maximum";
    EXPECT_EQ(Notice(), QString::fromUtf8("不能超过最大话筒音量!"));
    EXPECT_FALSE(Sent().empty());

    // A wheel step moves from the slider's value within its range.
    frame.sliders[0][VolumeRow::Pitch].value = 5;
    view->StepVolume(VolumeRow::Pitch, 1);
    EXPECT_EQ(Slot(SET_MUSIC_PITCH), 5);
}

TEST_F(ViewIntentsTest, EveryCommandIdReachesItsHandler) {
    {
        auto lock = LockStore();
        g_Param.bConnected = 1;
        g_Param.bModified = 1;
        for (int m = 0; m < 2; ++m)
            g_Status.byMachine[5 + m] = 99;
    }
    const char* const digits[] = {"一", "二", "三", "四"};
    struct Row {
        int id;
        std::function<void()> check;
        std::function<void()> prepare = [] {};
    };
    std::vector<Row> rows;
    const int rowSlots[] = {SET_MIC_VOLUME,   SET_EFFECT_VOLUME, SET_REVERB_VOLUME, SET_ECHO_VOLUME,
                            SET_MUSIC_VOLUME, SET_MUSIC_GATE,    SET_MUSIC_PITCH};
    const int muteSlots[] = {SET_MIC_MUTE, -1, SET_REVERB_MUTE, SET_ECHO_MUTE, SET_MUSIC_MUTE, -1, -1};
    for (VolumeRow row : kAllRows) {
        const StripIds& ids = StripIdsOf(row);
        for (bool out : {false, true}) {
            // The slider moved in its own category writes the row's slot.
            const int value = row == VolumeRow::Pitch ? (out ? -2 : 3) : 20 + 2 * int(row) + (out ? 1 : 0);
            const int slot = rowSlots[int(row)];
            rows.push_back({out ? ids.outSlider : ids.inSlider,
                            [slot, value] { EXPECT_EQ(Slot(slot), value); },
                            [this, row, out, value] {
                                frame.output = out;
                                frame.sliders[out ? 1 : 0][row].value = value;
                            }});
            // A row's Input box mutes it, its Output box then unmutes it.
            if (const int mute = muteSlots[int(row)]; mute >= 0)
                rows.push_back(
                    {out ? ids.outMute : ids.inMute, [mute, out] { EXPECT_EQ(Slot(mute), out ? 0 : 1); }});
        }
    }
    auto opens = [this](bool save) { return [this, save] { EXPECT_EQ(files, std::vector<bool>{save}); }; };
    for (int id : {IDC_FILE_OPEN, ID_FILE_OPEN_OUT, ID_FILE_OPEN})
        rows.push_back({id, opens(false)});
    for (int id : {IDC_FILE_SAVE, ID_FILE_SAVE_OUT, ID_FILE_SAVE})
        rows.push_back({id, opens(true)});
    // A mode's question ends with its digit; the others only need their text.
    auto asks = [this](const char* text, const char* digit) {
        const QString end = *digit ? QString::fromUtf8(digit) + QLatin1Char('?') : QString();
        return [this, text = QString::fromUtf8(text), end] {
            ASSERT_EQ(asked.size(), 1);
            EXPECT_TRUE(asked[0].contains(text)) << asked[0].toStdString();
            EXPECT_TRUE(asked[0].endsWith(end)) << asked[0].toStdString();
        };
    };
    for (int m = 0; m < 4; ++m) {
        rows.push_back({ID_MODE_LOAD_FIRST + m, asks("确定要直接载入模式", digits[m])});
        rows.push_back({ID_MODE_SAVE_FIRST + m, asks("确定要保存至机器模式", digits[m])});
    }
    rows.push_back({ID_BTN_RESET, asks("您确定要将机器复位吗?", "")});
    rows.push_back({ID_STATUS_RESET_EQ, asks("您确定重置当前均衡吗", "")});
    auto opensWindow = [this](int nTemplate) {
        return [this, nTemplate] { EXPECT_NE(view->ToolWindows().Window(nTemplate), nullptr); };
    };
    rows.push_back({ID_BTN_REMOTE, opensWindow(kTemplateRemote)});
    rows.push_back({ID_BTN_FEATURES, opensWindow(kTemplateFeatures)});
    rows.push_back({ID_BTN_INPUT_SOURCE, opensWindow(kTemplateMusicInput)});
    rows.push_back({ID_PLUG_WINDOW, opensWindow(kTemplatePlugs)});
    rows.push_back({ID_BTN_LANGUAGE, [] { EXPECT_EQ(Language(), 1); }});
    rows.push_back({ID_STATUS_BYPASS, [this] { EXPECT_TRUE(view->Page()->EqBypassed()); },
                    [this] { ASSERT_FALSE(view->Page()->EqBypassed()); }});

    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        asked.clear();
        files.clear();
        SetLanguage(0);
        view->ToolWindows().Destroy();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        row.prepare();
        view->OnCommand(row.id);
        row.check();
    }
    std::vector<int> ids;
    for (const Row& row : rows)
        ids.push_back(row.id);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(view->CommandIds(), ids) << "every id of the table is tested, and only those";
}

} // namespace
