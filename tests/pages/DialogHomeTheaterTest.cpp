// The smart-plug window: its language pass, the scene editor's rows, the plug editor and the controls
// against the recording link, byte for byte; and the window's flows against the simulated processor
// over the real transport (loading, inclusion and exclusion with a late button press, a disconnect in
// the middle of a long scene wait).
#include "pages/DialogHomeTheater.h"

#include "TestSupport.h"
#include "controls/XBmpSlider.h"
#include "link/Timing.h"
#include "link/Transport.h"
#include "pages/PageHelpers.h"
#include "pages/PageRegistry.h"
#include "plugs/PlugModel.h"
#include "sim/SimBackend.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/ProgressDlgs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace {

// Guards a test against a hang only; nothing here measures speed.
constexpr int kHangGuardMs = 60000;

void AddPlug(int node, int kind, const std::u16string& name) {
    {
        auto lock = LockStore();
        g_Status.byPlugTable[node][0] = static_cast<uint8_t>(node);
    }
    SetPlugRecord(node, MakePlugRecord(kind, name));
}

void SetConnected(bool on) {
    auto lock = LockStore();
    g_Param.bConnected = on ? 1 : 0;
}

QPushButton* ButtonOf(QWidget* w, int id) {
    return qobject_cast<QPushButton*>(FindCtrl(w, id));
}

void Click(QWidget* w, int id) {
    QPushButton* b = ButtonOf(w, id);
    ASSERT_NE(b, nullptr) << id;
    QTest::mouseClick(b, Qt::LeftButton);
}

QString NoticeText() {
    return InfoDlg() ? InfoDlg()->Text() : QString();
}

QString WaitText() {
    auto* label = WaitDlg() ? qobject_cast<QLabel*>(FindCtrl(WaitDlg(), 1218)) : nullptr;
    return label ? label->text() : QString();
}

// Runs `action` on the UI thread as soon as `ready` holds, also inside a modal loop.
void When(std::function<bool()> ready, std::function<void()> action) {
    auto* timer = new QTimer;
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, ready, action] {
        if (!ready())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

std::vector<uint8_t> SceneWrite(const SceneSteps& steps, int scene) {
    const auto bytes = SceneBytes(steps);
    const Report r = BuildPlugWrite(SceneAddress(scene), kSceneSize, bytes.data());
    return std::vector<uint8_t>(r.begin(), r.end());
}

std::vector<uint8_t> Vec(const Report& r) {
    return std::vector<uint8_t>(r.begin(), r.end());
}

// Saves screenshots of `w` in both languages when M7Q_SHOT_DIR names a folder (to look at by eye);
// `reload` re-applies its texts.
void Shot(QWidget* w, const QString& name, const std::function<void()>& reload) {
    const QString dir = qEnvironmentVariable("M7Q_SHOT_DIR");
    if (dir.isEmpty())
        return;
    const int language = Language();
    for (int l : {0, 1}) {
        SetLanguage(l);
        reload();
        QApplication::processEvents(); // the layout follows the new texts
        w->grab().save(dir + QLatin1Char('/') + name + (l ? "_en" : "_zh") + ".png");
    }
    SetLanguage(language);
    reload();
}

} // namespace

class HomeTheaterTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        {
            auto lock = LockStore();
            g_PlugMem = PlugMemory{};
        }
        AddPlug(2, PLUG_SWITCH, u"Lamp");
        AddPlug(3, PLUG_DIMMER, u"Ceiling");
        AddPlug(5, PLUG_SWITCH, u"开关1");
        SetConnected(true);
    }
    void TearDown() override {
        window.reset();
        notices.reset();
        StoreTest::TearDown();
    }
    void Open() {
        window = std::make_unique<CDialogHomeTheater>(PageContext{}, -1, nullptr);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        link.Clear();
    }
    CDialogZwaveRemoter* Scenes() { return window->SceneEditor(); }
    QTableWidget* Rows() { return Scenes()->Rows(); }
    QString RowText(int row, int col) { return Rows()->item(row, col)->text(); }
    void SelectRow(int row) {
        Rows()->setCurrentCell(row, 0);
        Rows()->selectRow(row);
    }
    std::unique_ptr<CDialogHomeTheater> window;
    std::optional<ScopedNotices> notices{std::in_place, nullptr}; // a notice left open goes
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

TEST_F(HomeTheaterTest, LanguagePassLeavesEachChildWindowItsOwnTexts) {
    for (int language : {0, 1}) {
        SetLanguage(language);
        Open();
        // The window, the plug list and the scene editor share ids 1074, 1077, 1078: each keeps its own.
        window->ReloadTexts();
        EXPECT_EQ(ButtonOf(window.get(), 1074)->text(), language ? "Plug list" : "插座列表");
        EXPECT_EQ(ButtonOf(Scenes(), 1074)->text(), language ? "Save" : "保存列表");
        EXPECT_EQ(ButtonOf(Scenes(), 1077)->text(), language ? "Clear" : "清空列表");
        EXPECT_EQ(ButtonOf(Scenes(), 1078)->text(), language ? "Modify" : "修改");
        EXPECT_EQ(ButtonOf(window->PlugList(), 1075)->text(), language ? "Delete plug" : "删除插座");
        EXPECT_EQ(window->windowTitle(), language ? "Smart plug" : "智能插座");
        // A pass with the window's template alone leaves the pages' controls as they are.
        ButtonOf(Scenes(), 1074)->setText("x");
        ApplyTexts(window.get(), kTemplatePlugs);
        EXPECT_EQ(ButtonOf(Scenes(), 1074)->text(), "x");
        EXPECT_EQ(ButtonOf(window.get(), 1078)->text(), language ? "Reset" : "复位插座");
        // The dimmer's red line 1239 has no English text and stays Chinese.
        window->OpenControl(3);
        ASSERT_NE(window->Dimmer(), nullptr);
        EXPECT_EQ(qobject_cast<QLabel*>(FindCtrl(window->Dimmer(), 1239))->text(),
                  "请您确保此插座上的设备允许调节电压");
        EXPECT_EQ(qobject_cast<QLabel*>(FindCtrl(window->Dimmer(), 1005))->text(),
                  language ? "Voltage:" : "电压:");
        EXPECT_EQ(window->Dimmer()->windowTitle(), language ? "Voltage: Ceiling" : "电压控制: Ceiling");
        window.reset();
    }
}

TEST_F(HomeTheaterTest, HelpButtonAndKeyShowTheBundledPage) {
    Open();
    QTest::keyClick(window.get(), Qt::Key_F1);
    ASSERT_NE(window->Help(), nullptr);
    EXPECT_TRUE(window->Help()->isVisible());
    EXPECT_TRUE(window->Help()->toPlainText().contains("Smart plugs"));
    EXPECT_TRUE(window->Help()->toPlainText().contains("情景编辑"));
    window->Help()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->Help(), nullptr);
    Click(window.get(), 1079);
    ASSERT_NE(window->Help(), nullptr);
}

TEST_F(HomeTheaterTest, ApplyTextsSkipsChildrenWithATemplateOfTheirOwn) {
    QWidget outer;
    auto* own = new QPushButton(&outer);
    SetCtrlId(own, 1078);
    auto* child = new QWidget(&outer);
    SetTemplateId(child, kTemplateSceneEdit);
    auto* inner = new QPushButton("inner", child);
    SetCtrlId(inner, 1078);
    ApplyTexts(&outer, kTemplatePlugs);
    EXPECT_EQ(own->text(), "复位插座");
    EXPECT_EQ(inner->text(), "inner");
    ApplyTexts(child, kTemplateSceneEdit); // its own pass still reaches it
    EXPECT_EQ(inner->text(), "修改");
}

TEST_F(HomeTheaterTest, PlugListShowsPresentPlugsWithTheIconOfTheirKind) {
    AddPlug(7, PLUG_NONE, u"Odd");
    Open();
    QListWidget* list = window->PlugList()->List();
    ASSERT_EQ(list->count(), 4);
    const int nodes[] = {2, 3, 5, 7};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(list->item(i)->data(Qt::UserRole).toInt(), nodes[i]);
    EXPECT_EQ(list->item(0)->text(), "Lamp");
    EXPECT_EQ(list->item(0)->icon().pixmap(48).toImage(), QIcon(PlugIcon(PLUG_SWITCH)).pixmap(48).toImage());
    EXPECT_EQ(list->item(1)->icon().pixmap(48).toImage(), QIcon(PlugIcon(PLUG_DIMMER)).pixmap(48).toImage());
    EXPECT_EQ(list->item(3)->icon().pixmap(48).toImage(), QIcon(PlugIcon(PLUG_NONE)).pixmap(48).toImage());
    EXPECT_NE(PlugIcon(PLUG_SWITCH).toImage(), PlugIcon(PLUG_DIMMER).toImage());
    // A click opens the control of the kind; a plug of kind 0 opens none.
    auto clickItem = [&](int i) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(i)).center());
    };
    clickItem(3);
    EXPECT_EQ(window->Dimmer(), nullptr);
    EXPECT_EQ(window->SwitchControl(), nullptr);
    clickItem(0);
    ASSERT_NE(window->SwitchControl(), nullptr);
    EXPECT_EQ(window->SwitchControl()->Node(), 2);
    clickItem(1); // the dimmer control replaces the switch control
    ASSERT_NE(window->Dimmer(), nullptr);
    EXPECT_EQ(window->Dimmer()->Node(), 3);
    EXPECT_FALSE(window->SwitchControl()->isVisible());
    // A right click opens the editor for the plug.
    const QPoint at = list->visualItemRect(list->item(1)).center();
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &menu);
    ASSERT_NE(window->Editor(), nullptr);
    EXPECT_EQ(window->Editor()->Node(), 3);
    EXPECT_EQ(window->Editor()->Name()->text(), "Ceiling");
    EXPECT_EQ(window->Editor()->Kind()->currentIndex(), 1);
    EXPECT_EQ(window->Editor()->OkButton()->text(), "修改");
    EXPECT_EQ(link.Count(), 0u); // nothing reached the processor
}

TEST_F(HomeTheaterTest, SceneRowsRunToTheFirstEmptyStepAndShowPresentPlugsOnly) {
    SceneSteps steps{};
    steps[0] = {2, 99};
    steps[1] = {SCENE_HDMI, 2};
    steps[2] = {SCENE_WAIT, 3};
    steps[3] = {9, 5};   // absent node
    steps[4] = {240, 5}; // past the node table
    steps[5] = {3, 40};
    steps[6] = {SCENE_EMPTY, 0};
    steps[7] = {5, 99}; // after the first empty step: not shown
    SetScene(1, steps);
    Open();
    EXPECT_EQ(Rows()->rowCount(), 0); // scene 0 is empty
    auto* scene = qobject_cast<QComboBox*>(FindCtrl(Scenes(), 1217));
    ASSERT_EQ(scene->count(), 4);
    EXPECT_EQ(scene->itemText(2), "K歌");
    emit scene->activated(1);
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(RowText(0, 0), "Lamp");
    EXPECT_EQ(RowText(0, 1), "99");
    EXPECT_EQ(RowText(1, 0), "Ceiling");
    EXPECT_EQ(RowText(1, 1), "40");
    EXPECT_EQ(Rows()->horizontalHeaderItem(0)->text(), "设备名称");
    // Saving from the editor writes the rows only: the HDMI and wait steps are gone.
    Click(Scenes(), 1074);
    SceneSteps saved{};
    saved[0] = {2, 99};
    saved[1] = {3, 40};
    ASSERT_EQ(link.Count(), 1u);
    EXPECT_EQ(Vec(Sent()[0]), SceneWrite(saved, 1));
    EXPECT_EQ(GetScene(1), saved);
    EXPECT_EQ(NoticeText(), "保存完成");
    window->ShowPage(1);
    Shot(window.get(), "scene_editor", [&] { window->ReloadTexts(); });
}

TEST_F(HomeTheaterTest, SceneRowsAreAddedModifiedMovedAndDeletedUpToTwentyEight) {
    Open();
    window->ShowPage(1);
    auto* plug = qobject_cast<QComboBox*>(FindCtrl(Scenes(), 1134));
    auto* on = qobject_cast<QCheckBox*>(FindCtrl(Scenes(), 1045));
    auto* slider = qobject_cast<CXBmpSlider*>(FindCtrl(Scenes(), 1014));
    ASSERT_EQ(plug->count(), 3);
    // Without a plug nothing is added.
    plug->setCurrentIndex(-1);
    Click(Scenes(), 1068);
    EXPECT_EQ(NoticeText(), "请选择一个插座");
    EXPECT_EQ(Rows()->rowCount(), 0);
    // A switch plug: the check box gives 99 or 0; a dimmer plug: the slider's position.
    plug->setCurrentIndex(0);
    EXPECT_TRUE(on->isVisibleTo(window.get()));
    EXPECT_FALSE(slider->isVisibleTo(window.get()));
    on->setChecked(true);
    Click(Scenes(), 1068);
    plug->setCurrentIndex(1);
    EXPECT_FALSE(on->isVisibleTo(window.get()));
    EXPECT_TRUE(slider->isVisibleTo(window.get()));
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(qobject_cast<QLabel*>(FindCtrl(Scenes(), 1008))->text(), QString::number(slider->GetPos()));
    const int level = slider->GetPos();
    Click(Scenes(), 1068);
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(RowText(0, 1), "99");
    EXPECT_EQ(RowText(1, 0), "Ceiling");
    EXPECT_EQ(RowText(1, 1), QString::number(level));

    // Up at the first row and down at the last change nothing.
    Rows()->clearSelection();
    Click(Scenes(), 1075);
    EXPECT_EQ(NoticeText(), "请先选择列表项");
    SelectRow(0);
    Click(Scenes(), 1075);
    EXPECT_EQ(NoticeText(), "已移至首项");
    EXPECT_EQ(RowText(0, 0), "Lamp");
    SelectRow(1);
    Click(Scenes(), 1076);
    EXPECT_EQ(NoticeText(), "已移至尾项");
    // Up exchanges names, values and node ids and keeps the moved row selected.
    Click(Scenes(), 1075);
    EXPECT_EQ(RowText(0, 0), "Ceiling");
    EXPECT_EQ(Rows()->item(0, 0)->data(Qt::UserRole).toInt(), 3);
    EXPECT_EQ(RowText(1, 0), "Lamp");
    EXPECT_EQ(RowText(1, 1), "99");
    EXPECT_EQ(Rows()->currentRow(), 0);
    EXPECT_TRUE(Rows()->item(0, 0)->isSelected());
    // Modify: the selected row takes the plug and value.
    plug->setCurrentIndex(2);
    on->setChecked(false);
    Click(Scenes(), 1078);
    EXPECT_EQ(RowText(0, 0), "开关1");
    EXPECT_EQ(RowText(0, 1), "0");
    Click(Scenes(), 1069); // delete the selected row
    ASSERT_EQ(Rows()->rowCount(), 1);
    EXPECT_EQ(RowText(0, 0), "Lamp");
    Click(Scenes(), 1069);
    Click(Scenes(), 1069);
    EXPECT_EQ(NoticeText(), "请先选择列表项");
    EXPECT_EQ(Rows()->rowCount(), 0);

    // 28 rows at most.
    plug->setCurrentIndex(0);
    for (int i = 0; i < 28; ++i)
        Scenes()->AddRow();
    EXPECT_EQ(Rows()->rowCount(), 28);
    if (InfoDlg())
        InfoDlg()->close();
    Click(Scenes(), 1068);
    EXPECT_EQ(NoticeText(), "情景指令已达最大数量");
    EXPECT_EQ(Rows()->rowCount(), 28);
    Click(Scenes(), 1077);
    EXPECT_EQ(Rows()->rowCount(), 0);
    EXPECT_EQ(link.Count(), 0u); // nothing reaches the processor until Save
}

// Status 1, then 7 at once (no node id free), both before the wait dialog's timer has fired: no
// dialog comes, and the failure is said. Exclusion the same.
TEST_F(HomeTheaterTest, AnInclusionOrExclusionThatFailsAtOnceEndsTheWaitWithItsText) {
    Open();
    window->OpenEditor(0);
    ASSERT_NE(window->Editor(), nullptr);
    QTest::mouseClick(window->Editor()->OkButton(), Qt::LeftButton);
    ASSERT_EQ(link.Count(), 1u);
    const uint8_t include[] = {0x4A, 0x01, 0x30};
    EXPECT_EQ(Vec(Sent()[0]), Vec(BuildZWaveFrame(include, sizeof include)));
    ASSERT_TRUE(window->WaitPending());
    window->OnPlugEvent(0x4A, 1);
    window->OnPlugEvent(0x4A, 7);
    EXPECT_FALSE(window->WaitPending());
    EXPECT_EQ(NoticeText(), "添加失败，请重试");
    QTest::qWait(50); // past the dialog's 0 ms delay
    EXPECT_EQ(WaitDlg(), nullptr);

    SetLanguage(1);
    Click(window->PlugList(), 1075);
    ASSERT_TRUE(window->WaitPending());
    window->OnPlugEvent(0x4B, 1);
    window->OnPlugEvent(0x4B, 7);
    EXPECT_FALSE(window->WaitPending());
    EXPECT_EQ(NoticeText(), "Remove failed,please retry");
    QTest::qWait(50);
    EXPECT_EQ(WaitDlg(), nullptr);
}

TEST_F(HomeTheaterTest, ThePlugEditorPutsTheCaretAtTheEndOfTheName) {
    Open();
    for (int node : {0, 3}) {
        SCOPED_TRACE(node);
        window->OpenEditor(node);
        CDlgZwaveEdit* editor = window->Editor();
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
        QLineEdit* name = editor->Name();
        EXPECT_EQ(editor->focusWidget(), name);
        EXPECT_FALSE(name->hasSelectedText());
        EXPECT_EQ(name->cursorPosition(), name->text().size());
        const QString before = name->text();
        QTest::keyClicks(name, "x");
        EXPECT_EQ(name->text(), before + "x"); // typing adds to the name
        editor->close();
    }
}

// Only the slider starts hidden; the check box and the slider take turns in a row that keeps its size.
TEST_F(HomeTheaterTest, TheSceneEditorShowsTheCheckBoxOrTheSliderWithoutMovingTheButtons) {
    Open();
    window->ShowPage(1);
    CDialogZwaveRemoter* scenes = Scenes();
    auto* on = qobject_cast<QWidget*>(FindCtrl(scenes, 1045));
    auto* slider = qobject_cast<QWidget*>(FindCtrl(scenes, 1014));
    auto* add = ButtonOf(scenes, 1068);
    auto* plugs = qobject_cast<QComboBox*>(FindCtrl(scenes, 1134));
    ASSERT_TRUE(on && slider && add && plugs);
    ASSERT_EQ(plugs->currentIndex(), -1);
    EXPECT_TRUE(on->isVisible());
    EXPECT_FALSE(slider->isVisible());
    const QRect place = add->geometry();
    plugs->setCurrentIndex(plugs->findData(3)); // the dimmer
    QCoreApplication::sendPostedEvents();       // the layout
    EXPECT_FALSE(on->isVisible());
    EXPECT_TRUE(slider->isVisible());
    EXPECT_EQ(add->geometry(), place);
    plugs->setCurrentIndex(plugs->findData(2)); // a switch
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(on->isVisible());
    EXPECT_FALSE(slider->isVisible());
    EXPECT_EQ(add->geometry(), place);
}

TEST_F(HomeTheaterTest, PlugEditorDefaultNamesAndElevenStoredCharacters) {
    Open();
    Click(window->PlugList(), 1076);
    CDlgZwaveEdit* editor = window->Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Node(), 0);
    // "开关1" is taken by node 5.
    EXPECT_EQ(editor->Name()->text(), "开关2");
    EXPECT_EQ(editor->OkButton()->text(), "添加");
    EXPECT_EQ(editor->Kind()->itemText(1), "调压插座");
    editor->Kind()->setCurrentIndex(1);
    emit editor->Kind()->activated(1);
    EXPECT_EQ(editor->Name()->text(), "调压1");
    EXPECT_EQ(editor->Name()->maxLength(), 12);
    Shot(editor, "plug_editor_add", [&] { editor->ReloadTexts(); });
    editor->close();

    AddPlug(6, PLUG_DIMMER, u"调压1");
    EXPECT_EQ(DefaultPlugName(PLUG_DIMMER), u"调压2");
    EXPECT_EQ(DefaultPlugName(PLUG_SWITCH), u"开关2");

    // Editing writes the record with the name cut to 11 characters; no network traffic.
    window->OpenEditor(2);
    editor = window->Editor();
    ASSERT_NE(editor, nullptr);
    Shot(editor, "plug_editor_modify", [&] { editor->ReloadTexts(); });
    editor->Name()->setText("ABCDEFGHIJKL");
    editor->Kind()->setCurrentIndex(1);
    link.Clear();
    QTest::mouseClick(editor->OkButton(), Qt::LeftButton);
    const PlugRecordBytes record = MakePlugRecord(PLUG_DIMMER, u"ABCDEFGHIJK");
    ASSERT_EQ(link.Count(), 1u);
    EXPECT_EQ(Vec(Sent()[0]), Vec(BuildPlugWrite(PlugRecordAddress(2), kPlugRecordSize, record.data())));
    EXPECT_EQ(PlugName(2), u"ABCDEFGHIJK");
    EXPECT_EQ(PlugKind(2), PLUG_DIMMER);
    EXPECT_EQ(window->PlugList()->List()->item(0)->text(), "ABCDEFGHIJK"); // refreshed

    // Disconnected: the notice, the dialog closes, nothing is sent.
    window->OpenEditor(3);
    QPointer<CDlgZwaveEdit> open = window->Editor();
    SetConnected(false);
    link.Clear();
    QTest::mouseClick(open->OkButton(), Qt::LeftButton);
    EXPECT_EQ(NoticeText(), "请先连接设备!");
    EXPECT_EQ(link.Count(), 0u);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.isNull());
    EXPECT_EQ(PlugName(3), u"Ceiling");
}

TEST_F(HomeTheaterTest, ControlsSendTheBasicSetAndNeedTheLink) {
    Open();
    window->OpenControl(5);
    CDlgZwaveSwitch* sw = window->SwitchControl();
    ASSERT_NE(sw, nullptr);
    EXPECT_EQ(sw->windowTitle(), "开关控制: 开关1");
    Shot(sw, "switch_control", [&] { sw->ReloadTexts(); });
    Click(sw, 1068);
    // Set 255 on node 5: basic set with callback 0x43; the wait dialog is due after 100 ms.
    ASSERT_EQ(link.Count(), 1u);
    const Report on = Sent()[0];
    const std::vector<uint8_t> head = {0x02, 0x12, 0x0C, 0x01, 0x0A, 0x00, 0x13,
                                       0x05, 0x03, 0x20, 0x01, 0xFF, 0x25, 0x43};
    EXPECT_EQ(std::vector<uint8_t>(on.begin(), on.begin() + 14), head);
    uint8_t checksum = 0xFF;
    for (int i = 4; i < 14; ++i)
        checksum ^= on[i];
    EXPECT_EQ(on[14], checksum);
    EXPECT_TRUE(window->WaitPending());
    EXPECT_EQ(window->Operation().Text(), kTextSwitchingOn);
    // Its transmission's success ends the wait before the dialog shows.
    window->OnPlugEvent(0x13, 0x43u << 16);
    EXPECT_FALSE(window->WaitPending());
    EXPECT_EQ(PlugLevel(5), 255);

    window->OpenControl(3);
    CDlgZwaveLight* dim = window->Dimmer();
    ASSERT_NE(dim, nullptr);
    Shot(dim, "dimmer_control", [&] { dim->ReloadTexts(); });
    link.Clear();
    Click(dim, 1071); // Max
    EXPECT_EQ(dim->LevelText()->text(), "最大");
    Click(dim, 1068); // -1
    EXPECT_EQ(dim->LevelText()->text(), "98%");
    Click(dim, 1070); // off
    EXPECT_EQ(dim->LevelText()->text(), "关");
    ASSERT_EQ(link.Count(), 3u);
    const int levels[] = {99, 98, 0};
    for (int i = 0; i < 3; ++i) {
        const uint8_t frame[] = {0x13, 0x03, 0x03, 0x20, 0x01, uint8_t(levels[i]), 0x25, 0x43};
        EXPECT_EQ(Vec(Sent()[i]), Vec(BuildZWaveFrame(frame, sizeof frame))) << i;
    }
    // A failed transmission: the notice, the wait ends.
    window->OnPlugEvent(0x13, (0x43u << 16) | 1);
    EXPECT_EQ(NoticeText(), "设置超时");
    EXPECT_FALSE(window->WaitPending());

    // Disconnected: the notice and nothing sent.
    SetConnected(false);
    link.Clear();
    Click(dim, 1069);
    sw = (window->OpenControl(2), window->SwitchControl());
    Click(sw, 1069);
    EXPECT_EQ(NoticeText(), "请先连接设备!");
    EXPECT_EQ(link.Count(), 0u);
    Click(window->PlugList(), 1075); // exclusion is refused too
    Click(window->PlugList(), 1076); // and the editor for adding does not open
    EXPECT_EQ(window->Editor(), nullptr);
    EXPECT_EQ(link.Count(), 0u);
    EXPECT_FALSE(window->WaitPending());
}

// ---- Against the simulated processor ---------------------------------------------------------------

class HomeTheaterSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreshStore();
        {
            auto lock = LockStore();
            g_PlugMem = PlugMemory{};
        }
        g_bPlugDataLoaded = 0;
        SetSettleScale(0.02);
        console = std::make_unique<CConsoleLink>(CConsoleLink::Kind::Simulated, QString());
        console->Link().SetTrace([this](char d, const Report& r) {
            if (d == '>' && r[1] == CMD_ZWAVE && r[3] == 0x01) {
                std::lock_guard lock(mutex);
                zwave.push_back(Bytes(r, 6, r[4] - 2));
            }
        });
        ASSERT_TRUE(console->Link().Open());
        window = std::make_unique<CDialogHomeTheater>(PageContext{console.get(), nullptr}, -1, nullptr);
        window->show();
        // 200 ms after opening the plug data loads behind the synchronisation dialog.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return g_bPlugDataLoaded && !SyncDialogRunning() && List()->count() == 3; }, kHangGuardMs));
    }
    void TearDown() override {
        window.reset();
        console->Link().SetTrace(nullptr);
        console.reset();
        SetSettleScale(1.0);
    }
    QListWidget* List() { return window->PlugList()->List(); }
    bool Sent(const std::vector<uint8_t>& frame) {
        std::lock_guard lock(mutex);
        return std::find(zwave.begin(), zwave.end(), frame) != zwave.end();
    }
    std::array<uint8_t, kPlugRecordSize> SimRecord(int node) {
        return console->Sim()->WithProcessor([node](CSimProcessor& p) {
            std::array<uint8_t, kPlugRecordSize> r{};
            std::copy_n(p.PlugMemory().begin() + PlugRecordAddress(node), kPlugRecordSize, r.begin());
            return r;
        });
    }
    std::unique_ptr<CConsoleLink> console;
    std::unique_ptr<CDialogHomeTheater> window;
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> zwave;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

TEST_F(HomeTheaterSimTest, LoadsOnOpeningAndKeepsTheLivePollOffWhileOpen) {
    EXPECT_EQ(List()->item(0)->text(), "Lamp");
    EXPECT_EQ(List()->item(1)->text(), "Ceiling");
    EXPECT_EQ(List()->item(2)->text(), "Amplifier");
    EXPECT_EQ(window->SceneEditor()->findChild<QComboBox*>()->count(), 4);
    EXPECT_FALSE(console->Conn().LivePollAllowed());
    Shot(window.get(), "plug_window", [&] { window->ReloadTexts(); });
    window->close();
    EXPECT_TRUE(console->Conn().LivePollAllowed());
}

TEST_F(HomeTheaterSimTest, InclusionWithTheButtonPressedLate) {
    console->Sim()->WithProcessor([](CSimProcessor& p) { p.SetHoldForButton(true); });
    Click(window->PlugList(), 1076);
    CDlgZwaveEdit* editor = window->Editor();
    ASSERT_NE(editor, nullptr);
    editor->Kind()->setCurrentIndex(1);
    emit editor->Kind()->activated(1);
    EXPECT_EQ(editor->Name()->text(), "调压1");
    QString seen;
    When([] { return WaitText() == "请长按3秒确认删除"; },
         [&] {
             seen = WaitText();
             console->Sim()->PressPlugButton(0, kSimPlugDimmer);
         });
    QTest::mouseClick(editor->OkButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return List()->count() == 4 && !WaitDlg(); }, kHangGuardMs));
    EXPECT_EQ(seen, "请长按3秒确认删除");
    // The new node 4 took the pending record, in the console and in the processor.
    EXPECT_TRUE(NodePresent(4));
    EXPECT_EQ(List()->item(2)->data(Qt::UserRole).toInt(), 4);
    EXPECT_EQ(List()->item(2)->text(), "调压1");
    const PlugRecordBytes record = MakePlugRecord(PLUG_DIMMER, u"调压1");
    EXPECT_EQ(PlugRecord(4), record);
    ASSERT_TRUE(QTest::qWaitFor([&] { return SimRecord(4) == record; }, kHangGuardMs));
    EXPECT_TRUE(Sent({0x4A, 0x01, 0x30}));
}

TEST_F(HomeTheaterSimTest, ExclusionOfAChosenNodeKeepsItsRecord) {
    console->Sim()->WithProcessor([](CSimProcessor& p) { p.SetHoldForButton(true); });
    QString first, seen;
    When([] { return WaitDlg() != nullptr; }, [&] { first = WaitText(); });
    When([] { return WaitText() == "请长按3秒确认删除"; },
         [&] {
             seen = WaitText();
             console->Sim()->PressPlugButton(3);
         });
    Click(window->PlugList(), 1075);
    ASSERT_TRUE(QTest::qWaitFor([&] { return List()->count() == 2 && !WaitDlg(); }, kHangGuardMs));
    EXPECT_TRUE(first == "删除设备" || first == "请长按3秒确认删除") << first.toStdString();
    EXPECT_EQ(seen, "请长按3秒确认删除");
    EXPECT_FALSE(NodePresent(3));
    EXPECT_EQ(List()->item(0)->text(), "Lamp");
    EXPECT_EQ(List()->item(1)->text(), "Amplifier");
    EXPECT_EQ(PlugName(3), u"Ceiling"); // the record stays
    EXPECT_TRUE(Sent({0x4B, 0x01, 0x09}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sent({0x4B, 0x05}); }, kHangGuardMs));
    EXPECT_EQ(console->Sim()->WithProcessor([](CSimProcessor& p) { return p.Nodes(); }),
              (std::vector<int>{2, 5}));
}

TEST_F(HomeTheaterSimTest, AFailedInclusionFinishesTheWaitWithItsTextAndStoresNothing) {
    console->Sim()->WithProcessor([](CSimProcessor& p) { p.SetHoldForButton(true); });
    QString finished;
    When([] { return WaitText() == "请长按3秒确认删除"; },
         [&] { console->Sim()->PressPlugButton(2); }); // a node already in the network: status 7
    When([] { return WaitText() == "添加失败，请重试"; }, [&] { finished = WaitText(); });
    window->OpenEditor(0);
    QTest::mouseClick(window->Editor()->OkButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !finished.isEmpty() && !WaitDlg(); }, kHangGuardMs));
    EXPECT_EQ(List()->count(), 3);
    EXPECT_EQ(PlugRecord(4), PlugRecordBytes{});
}

TEST_F(HomeTheaterSimTest, AbortingAnInclusionLeavesTheMode) {
    console->Sim()->WithProcessor([](CSimProcessor& p) { p.SetHoldForButton(true); });
    When([] { return WaitText() == "请长按3秒确认删除"; }, [] { WaitDlg()->Abort(); });
    window->OpenEditor(0);
    QTest::mouseClick(window->Editor()->OkButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Sent({0x4A, 0x05, 0x00}) && !WaitDlg(); }, kHangGuardMs));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !console->Sim()->WithProcessor([](CSimProcessor& p) { return p.ZWaveModeWaiting(); }); },
        kHangGuardMs));
    EXPECT_EQ(List()->count(), 3);
}

TEST_F(HomeTheaterSimTest, DisconnectInALongSceneWaitEndsTheWorkerAtOnce) {
    SceneSteps steps{};
    steps[0] = {SCENE_HDMI, 2};
    steps[1] = {SCENE_WAIT, 255};
    steps[2] = {2, 255};
    SetScene(0, steps);
    SetSettleScale(1.0); // a wait that did not stop would outlast the hang guard
    When([] { return SyncDialogRunning() && PlugWaiters() == 1; }, [&] { console->Conn().Disconnect(); });
    Click(window->SceneEditor(), 1070); // runs until the worker reports its end
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !SyncDialogRunning() && !console->Flows().Busy(); }, kHangGuardMs));
    EXPECT_EQ(SlotValue(SET_HDMI_PORT), 2);
    EXPECT_FALSE(Sent({0x13, 0x02, 0x03, 0x20, 0x01, 0xFF, 0x25, 0x43})); // the step after the wait
}
