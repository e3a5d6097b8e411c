#include "app/MainFrame.h"

#include "app/AboutDlg.h"
#include "app/Ribbon.h"
#include "app/Settings.h"
#include "app/ViewCommands.h"
#include "ui/Language.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

constexpr int kMinWidth = 1240;
constexpr int kMinHeight = 700;

struct PanelTitles {
    const char* zh;
    const char* enBuilt;   // the title the ribbon is built with
    const char* enRenamed; // the title a switch to English gives
};
const PanelTitles kPanelTitles[10] = {
    {"话筒音量", "Mic Vol", "Mic  Vol"},
    {"效果总音量", "Efx Vol", "Effect Vol"},
    {"混响音量", "Reverb Vol", "Reverb Vol"},
    {"回声音量", "Echo Vol", "Echo Vol"},
    {"音乐音量", "Music Vol", "Music Vol"},
    {"音乐变调", "Music pitch", "Music pitch"},
    {"调用", "Load", "Load"},
    {"保存", "Save", "Save"},
    {"话筒1状态", "Mic 1 Status", "Mic 1 Status"},
    {"话筒2状态", "Mic 2 Status", "Mic 2 Status"},
};

// Element ids of a category: [Input, Output].
struct CategoryIds {
    int micLabel, micSlider, micMute, efxLabel, efxSlider, revLabel, revSlider, revMute, echoLabel,
        echoSlider, echoMute, musicLabel, musicSlider, musicMute, gateLabel, gateSlider, pitchSlider,
        loadMode, loadFile, saveMode, saveFile, mic1[3], mic2[3];
};
// clang-format off
const CategoryIds kIds[2] = {
    {32832, 32829, 32847, 32833, 32830, 32920, 32918, 32848, 32837, 32806, 32849, 32834, 32831, 32850, 32842,
     32846, 32841, 32815, 32827, 32819, 32828, {32926, 32927, 32928}, {32929, 32930, 32931}},
    {32857, 32858, 32859, 32860, 32861, 32921, 32919, 32862, 32863, 32864, 32865, 32866, 32867, 32868, 32878,
     32879, 32880, 32900, 32881, 32904, 32882, {32932, 32933, 32934}, {32935, 32936, 32937}},
};
// clang-format on

bool IsShellCategory(const QString& title) {
    return IsInputCategoryTitle(title) || IsOutputCategoryTitle(title);
}

constexpr int kPitchPanel = 5;

} // namespace

CMainFrame::CMainFrame(QWidget* view, IViewCommands* commands) : m_pCommands(commands) {
    setWindowTitle(QStringLiteral("M7Q v1.4.4"));
    setWindowIcon(QIcon(QStringLiteral(":/resources/icons/m7q-console.svg")));
    setMinimumSize(kMinWidth, kMinHeight);
    // The style value read at construction is always overwritten.
    WriteApplicationLook(kApplicationLook);
    m_pRibbon = new CMyMFCRibbonBar(this);
    setMenuWidget(m_pRibbon);
    BuildRibbon();
    setCentralWidget(view);
    BuildStatusBar();
    m_pCommands->SetFrame(this);

    auto* open = new QAction(this);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, [this] { m_pCommands->OnCommand(ID_FILE_OPEN); });
    auto* save = new QAction(this);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, [this] { m_pCommands->OnCommand(ID_FILE_SAVE); });
    addAction(open);
    addAction(save);

    connect(m_pRibbon, &CMyMFCRibbonBar::Command, this, [this](int id) {
        if (id == ID_APP_ABOUT)
            ShowAbout();
        else if (!m_pHistory || !m_pHistory->OnCommand(id))
            m_pCommands->OnCommand(id);
    });
    connect(m_pRibbon, &CMyMFCRibbonBar::CategoryChanged, this, &CMainFrame::OnCategoryChanged);
    m_pRibbon->Tabs()->installEventFilter(this);
    qApp->installEventFilter(this);
    resize(kMinWidth, kMinHeight);
}

CMainFrame::~CMainFrame() {
    // The view outlives this body (it is a child): it must not call back into a frame half gone.
    m_pCommands->SetFrame(nullptr);
}

void CMainFrame::BuildRibbon() {
    QMenu* menu = m_pRibbon->ApplicationMenu();
    menu->clear();
    menu->addAction(Tr("打开(&O)", "Open(&O)"), this, [this] { m_pCommands->OnCommand(ID_FILE_OPEN); });
    menu->addAction(Tr("保存(&S)", "Save(&S)"), this, [this] { m_pCommands->OnCommand(ID_FILE_SAVE); });
    m_pRecentMenu = menu->addMenu(Tr("最近的文档(Last documents)", "Last documents(最近的文档)"));
    m_pRecentMenu->setMinimumWidth(300);
    RefreshRecentFiles();
    menu->addSeparator();
    menu->addAction(Tr("退出(&X)", "Exit(&X)"), this, [this] { close(); });

    m_pRibbon->AddCategory(Tr("输入控制", "Input"));
    m_pRibbon->AddCategory(Tr("输出调节", "Output"));
    BuildCategory(kInput);
    BuildCategory(kOutput);

    m_pRibbon->AddTabButton(ID_BTN_FEATURES, Tr("特色功能", "Features"));
    m_pRibbon->AddTabButton(ID_BTN_INPUT_SOURCE, Tr("输入源", "Input Source"));
    m_pRibbon->AddTabButton(ID_BTN_RESET, Tr("机器复位", "Reset"));
    m_pRibbon->AddTabButton(ID_BTN_REMOTE, Tr("遥控学习", "Remote control"));
    // The smart-plug window has no element of the ribbon's own; it sits with the other tool windows.
    m_pRibbon->AddTabButton(ID_PLUG_WINDOW, Tr("智能插座", "Smart plug"));
    m_pRibbon->AddTabButton(ID_BTN_LANGUAGE, QString::fromUtf8("中/EN"));
    m_pRibbon->AddTabButton(ID_APP_ABOUT, QStringLiteral("?"))->setToolTip(QStringLiteral("a"));
}

void CMainFrame::AttachHistory(CEditHistory* history) {
    m_pHistory = history;
    BuildHistoryButtons();
    m_pAbPane = new QLabel;
    statusBar()->insertPermanentWidget(0, m_pAbPane); // before the equaliser's controls
    m_pHistory->SetAbPane(m_pAbPane);
}

void CMainFrame::BuildHistoryButtons() {
    const QString undoKeys = QString::fromLatin1(kUndoKeys), redoKeys = QString::fromLatin1(kRedoKeys);
    struct Button {
        int id;
        QString text, tip;
        QAction* follows; // enabled with it
    };
    const Button buttons[] = {
        {ID_HISTORY_UNDO, QString(), Tr("撤销 (%1)", "Undo (%1)").arg(undoKeys), m_pHistory->UndoAction()},
        {ID_HISTORY_REDO, QString(), Tr("重做 (%1)", "Redo (%1)").arg(redoKeys), m_pHistory->RedoAction()},
        {ID_HISTORY_VIEW, Tr("历史", "History"),
         Tr("编辑历史：点击一步回到那里", "Edit history: click a step to go back to it"), nullptr},
        {ID_AB_STORE_A, Tr("存A", "Store A"), Tr("把当前设置存为 A", "Keep the settings as they are as A"),
         nullptr},
        {ID_AB_STORE_B, Tr("存B", "Store B"), Tr("把当前设置存为 B", "Keep the settings as they are as B"),
         nullptr},
        {ID_AB_TOGGLE, QStringLiteral("A/B"),
         Tr("在 A 和 B 之间切换，只发送不同的设置",
            "Switch between A and B, sending only the settings that differ"),
         nullptr},
        {ID_COMPARE_FILE, Tr("比较文件…", "Compare…"), Tr("与模式文件比较", "Compare with file…"), nullptr},
        {ID_CHECK_PROCESSOR, Tr("检查", "Check"),
         Tr("检查处理器：重新读取并与控制台比较",
            "Check processor: read it again and compare with the console"),
         nullptr},
    };
    for (const Button& b : buttons) {
        QToolButton* button = m_pRibbon->AddTabButton(b.id, b.text);
        button->setToolTip(b.tip);
        if (b.follows) {
            button->setIcon(b.follows->icon());
            button->setEnabled(b.follows->isEnabled());
            connect(b.follows, &QAction::changed, button,
                    [button, action = b.follows] { button->setEnabled(action->isEnabled()); });
        }
    }
}

void CMainFrame::BuildCategory(int index) {
    CRibbonCategory* category = m_pRibbon->Category(index);
    const CategoryIds& ids = kIds[index];
    auto panel = [&](int i) { return category->AddPanel(Tr(kPanelTitles[i].zh, kPanelTitles[i].enBuilt)); };
    const QString mute = Tr("静音", "Mute");

    auto volumePanel = [&](int i, int labelId, const char* zh, const char* en, int sliderId, int muteId) {
        QVBoxLayout* column = panel(i)->Column();
        m_pRibbon->AddLabel(column, labelId, Tr(zh, en));
        m_pRibbon->AddSlider(column, sliderId, 90, 0, 99);
        if (muteId)
            m_pRibbon->AddCheckBox(column, muteId, mute);
        else
            column->addStretch(1);
    };
    volumePanel(0, ids.micLabel, "话筒音量:100", "Mic    Vol: 100", ids.micSlider, ids.micMute);
    volumePanel(1, ids.efxLabel, "效果总音量:100", "Effect    Vol:100", ids.efxSlider, 0);
    volumePanel(2, ids.revLabel, "混响音量:  100", "Reverb Vol:100", ids.revSlider, ids.revMute);
    volumePanel(3, ids.echoLabel, "回声音量:100", "Echo Vol:100", ids.echoSlider, ids.echoMute);
    volumePanel(4, ids.musicLabel, "音乐音量:100", "Music Vol:100", ids.musicSlider, ids.musicMute);

    QVBoxLayout* pitch = panel(5)->Column();
    m_pRibbon->AddLabel(pitch, ids.gateLabel, Tr("音乐噪声门:100", "Noisegate:    100"));
    m_pRibbon->AddSlider(pitch, ids.gateSlider, 100, 0, 100);
    m_pRibbon->AddSlider(pitch, ids.pitchSlider, 100, -5, 5);

    const QStringList modes = {QStringLiteral("M1"), QStringLiteral("M2"), QStringLiteral("M3"),
                               QStringLiteral("M4")};
    QVBoxLayout* load = panel(6)->Column();
    m_pRibbon->AddSplitButton(
        load, ids.loadMode, Tr("载入模式", "LoadMode"),
        {ID_MODE_LOAD_FIRST, ID_MODE_LOAD_FIRST + 1, ID_MODE_LOAD_FIRST + 2, ID_MODE_LOAD_FIRST + 3}, modes);
    m_pRibbon->AddButton(load, ids.loadFile, Tr("载入文件", "LoadFile"));
    QVBoxLayout* save = panel(7)->Column();
    m_pRibbon->AddSplitButton(
        save, ids.saveMode, Tr("保存模式", "SaveMode"),
        {ID_MODE_SAVE_FIRST, ID_MODE_SAVE_FIRST + 1, ID_MODE_SAVE_FIRST + 2, ID_MODE_SAVE_FIRST + 3}, modes);
    m_pRibbon->AddButton(save, ids.saveFile, Tr("保存文件", "SaveFile"));

    for (int mic = 0; mic < 2; ++mic) {
        QVBoxLayout* column = panel(8 + mic)->Column();
        const int* labels = mic == 0 ? ids.mic1 : ids.mic2;
        m_pRibbon->AddLabel(column, labels[0], QString::fromUtf8("RF:■■■■■ AF:■■■■■"));
        m_pRibbon->AddLabel(column, labels[1], Tr("频率:660.00MHz", "Freq660.00MHz"));
        m_pRibbon->AddLabel(column, labels[2], Tr("电   量:■■■■■", "Battary:■■■■■"));
    }
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    m_pUsbPane = new QLabel(QString::fromUtf8("USB:未连接") + QString(72, QLatin1Char(' ')));
    m_pUsbPane->setMinimumWidth(fontMetrics().horizontalAdvance(QString(52, QLatin1Char(' '))));
    SetCtrlId(m_pUsbPane, ID_STATUS_USB);
    m_pModePane = new QLabel(QString::fromUtf8("当前模式：模式一") + QString(19, QLatin1Char(' ')));
    m_pModePane->setMinimumWidth(fontMetrics().horizontalAdvance(QString(97, QLatin1Char(' '))));
    m_pModePane->setAlignment(Qt::AlignCenter);
    SetCtrlId(m_pModePane, ID_STATUS_MODE);
    for (QLabel* pane : {m_pUsbPane, m_pModePane}) {
        QPalette pal = pane->palette();
        pal.setColor(QPalette::WindowText, QColor(255, 0, 0));
        pane->setPalette(pal);
    }
    bar->addWidget(m_pUsbPane);
    auto* separator = new QFrame;
    separator->setFrameShape(QFrame::VLine);
    bar->addWidget(separator);
    bar->addWidget(m_pModePane);
    m_pBypass = new QCheckBox(QString::fromUtf8("均衡旁路"));
    SetCtrlId(m_pBypass, ID_STATUS_BYPASS);
    m_pBypass->setFocusPolicy(Qt::NoFocus);
    connect(m_pBypass, &QCheckBox::clicked, this, [this] { m_pCommands->OnCommand(ID_STATUS_BYPASS); });
    m_pResetEq = new QPushButton(QString::fromUtf8("重置均衡"));
    SetCtrlId(m_pResetEq, ID_STATUS_RESET_EQ);
    m_pResetEq->setFocusPolicy(Qt::NoFocus);
    connect(m_pResetEq, &QPushButton::clicked, this, [this] { m_pCommands->OnCommand(ID_STATUS_RESET_EQ); });
    bar->addPermanentWidget(m_pBypass);
    bar->addPermanentWidget(m_pResetEq);
}

void CMainFrame::ShowStatus(StatusPane pane, const QString& text, std::optional<QColor> colour) {
    QLabel* label = pane == StatusPane::Usb ? m_pUsbPane : m_pModePane;
    label->setText(text);
    if (colour) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, *colour);
        label->setPalette(pal);
    }
}

void CMainFrame::SetEqCommands(bool enabled, bool bypassed, const QString& bypassText,
                               const QString& resetText) {
    m_pBypass->setEnabled(enabled);
    m_pBypass->setChecked(bypassed);
    m_pBypass->setText(bypassText);
    m_pResetEq->setEnabled(enabled);
    m_pResetEq->setText(resetText);
}

// ---- The volume strip and the mode menus ------------------------------------------------------------

void CMainFrame::SetStripValue(VolumeRow row, int value) {
    const StripIds& ids = StripIdsOf(row);
    for (int id : {ids.inSlider, ids.outSlider}) {
        if (auto* slider = m_pRibbon->ElementAs<QSlider>(id)) {
            const QSignalBlocker block(slider);
            slider->setValue(value);
        }
    }
}

void CMainFrame::SetStripLabel(VolumeRow row, const QString& text) {
    if (row == VolumeRow::Pitch) {
        for (int c = 0; c < m_pRibbon->CategoryCount(); ++c)
            if (CRibbonPanel* panel = m_pRibbon->Category(c)->Panel(kPitchPanel))
                panel->SetTitle(text);
        return;
    }
    const StripIds& ids = StripIdsOf(row);
    m_pRibbon->SetElementText(ids.inLabel, text);
    m_pRibbon->SetElementText(ids.outLabel, text);
}

void CMainFrame::SetStripMute(VolumeRow row, bool muted) {
    const StripIds& ids = StripIdsOf(row);
    for (int id : {ids.inMute, ids.outMute})
        if (auto* box = id ? m_pRibbon->ElementAs<QCheckBox>(id) : nullptr)
            box->setChecked(muted);
}

std::optional<StripPosition> CMainFrame::StripSlider(VolumeRow row, bool output) const {
    const StripIds& ids = StripIdsOf(row);
    auto* slider = m_pRibbon->ElementAs<QSlider>(output ? ids.outSlider : ids.inSlider);
    if (!slider)
        return std::nullopt;
    return StripPosition{slider->value(), slider->minimum(), slider->maximum()};
}

bool CMainFrame::OutputShown() const {
    CRibbonCategory* category = m_pRibbon->ActiveCategory();
    return category && IsOutputCategoryTitle(category->Title());
}

void CMainFrame::SetCurrentMode(int mode) {
    for (int c = 0; c < 2; ++c)
        for (int id : {kIds[c].loadMode, kIds[c].saveMode})
            if (auto* button = m_pRibbon->ElementAs<QToolButton>(id); button && button->menu()) {
                const auto actions = button->menu()->actions();
                for (int i = 0; i < actions.size(); ++i)
                    actions[i]->setChecked(i == mode);
            }
}

void CMainFrame::SetMicStatus(int mic, const QString& signal, const QString& frequency,
                              const QString& battery) {
    for (int c = 0; c < 2; ++c) {
        const int* labels = mic == 0 ? kIds[c].mic1 : kIds[c].mic2;
        m_pRibbon->SetElementText(labels[0], signal);
        m_pRibbon->SetElementText(labels[1], frequency);
        m_pRibbon->SetElementText(labels[2], battery);
    }
}

void CMainFrame::RefreshRecentFiles() {
    if (!m_pRecentMenu)
        return;
    m_pRecentMenu->clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        m_pRecentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), this,
                                 [this, path] { m_pCommands->OpenModeFilePath(path); });
    }
    m_pRecentMenu->setEnabled(!files.isEmpty());
}

void CMainFrame::RefreshTexts() {
    const bool en = IsEnglish();
    for (int c = 0; c < m_pRibbon->CategoryCount(); ++c) {
        CRibbonCategory* category = m_pRibbon->Category(c);
        const QString title = category->Title();
        // A category already titled in this language keeps its titles.
        const bool input = IsInputCategoryTitle(title);
        if (!input && !IsOutputCategoryTitle(title))
            continue;
        const QString renamed = input ? Tr("输入控制", "Input") : Tr("输出调节", "Output");
        if (renamed == title)
            continue;
        m_pRibbon->SetCategoryTitle(c, renamed);
        // The pitch panel's title is the strip's pitch label, which the view sets.
        for (int i = 0; i < 10; ++i)
            if (CRibbonPanel* panel = category->Panel(i); panel && i != kPitchPanel)
                panel->SetTitle(QString::fromUtf8(en ? kPanelTitles[i].enRenamed : kPanelTitles[i].zh));
    }
    for (int c = 0; c < 2; ++c) {
        const CategoryIds& ids = kIds[c];
        for (int id : {ids.micMute, ids.revMute, ids.echoMute, ids.musicMute})
            m_pRibbon->SetElementText(id, Tr("静音", "Mute"));
        m_pRibbon->SetElementText(ids.loadFile, Tr("载入文件", "LoadFile"));
        m_pRibbon->SetElementText(ids.saveFile, Tr("保存文件", "SaveFile"));
        m_pRibbon->SetElementText(ids.loadMode, Tr("载入模式", "LoadMode"));
        m_pRibbon->SetElementText(ids.saveMode, Tr("保存模式", "SaveMode"));
    }
    m_pRibbon->SetElementText(ID_BTN_FEATURES, Tr("特色功能", "Features"));
    m_pRibbon->SetElementText(ID_BTN_RESET, Tr("机器复位", "Reset"));
    m_pRibbon->SetElementText(ID_BTN_REMOTE, Tr("遥控学习", "Remote control"));
    m_pRibbon->SetElementText(ID_BTN_INPUT_SOURCE, Tr("输入源", "Input Source"));
    m_pRibbon->SetElementText(ID_PLUG_WINDOW, Tr("智能插座", "Smart plug"));
    // The application menu's entries; the recent-documents caption keeps the text it was built with.
    const auto actions = m_pRibbon->ApplicationMenu()->actions();
    for (QAction* action : actions) {
        if (action->menu())
            continue;
        const QString t = action->text();
        if (t == QString::fromUtf8("打开(&O)") || t == QLatin1String("Open(&O)"))
            action->setText(Tr("打开(&O)", "Open(&O)"));
        else if (t == QString::fromUtf8("保存(&S)") || t == QLatin1String("Save(&S)"))
            action->setText(Tr("保存(&S)", "Save(&S)"));
        else if (t == QString::fromUtf8("退出(&X)") || t == QLatin1String("Exit(&X)"))
            action->setText(Tr("退出(&X)", "Exit(&X)"));
    }
    m_pRibbon->update();
}

void CMainFrame::ShowAbout() {
    CAboutDlg dlg(this, m_pCommands->Connection());
    dlg.exec();
}

void CMainFrame::OnCategoryChanged(int index) {
    const QString title = m_pRibbon->Category(index)->Title();
    m_pCommands->OnCategoryShown(IsInputCategoryTitle(title)    ? Category::Input
                                 : IsOutputCategoryTitle(title) ? Category::Output
                                                                : Category::Other);
}

bool CMainFrame::HandleWheel(QWheelEvent* event) {
    CRibbonCategory* category = m_pRibbon->ActiveCategory();
    if (!category || !IsShellCategory(category->Title()))
        return false;
    const QPoint global = event->globalPosition().toPoint();
    const int delta = event->angleDelta().y() > 0 ? 1 : -1;
    static const VolumeRow panelRows[5] = {VolumeRow::Mic, VolumeRow::Effect, VolumeRow::Reverb,
                                           VolumeRow::Echo, VolumeRow::Music};
    for (int i = 0; i < 5; ++i) {
        CRibbonPanel* panel = category->Panel(i);
        if (panel && panel->rect().contains(panel->mapFromGlobal(global))) {
            m_pCommands->StepVolume(panelRows[i], delta);
            return true;
        }
    }
    // The pitch panel's sliders sit at the same place in both categories.
    const CategoryIds& ids = kIds[m_pRibbon->ActiveCategoryIndex() == kOutput ? kOutput : kInput];
    for (auto [id, row] :
         {std::pair{ids.gateSlider, VolumeRow::Gate}, std::pair{ids.pitchSlider, VolumeRow::Pitch}}) {
        QWidget* slider = m_pRibbon->Element(id);
        if (slider && slider->rect().contains(slider->mapFromGlobal(global))) {
            m_pCommands->StepVolume(row, delta);
            return true;
        }
    }
    return true; // a notch anywhere else over the ribbon is swallowed
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pRibbon->Tabs() && event->type() == QEvent::MouseButtonDblClick)
        return true; // the ribbon never minimises
    if (event->type() == QEvent::Wheel) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && (widget == m_pRibbon || m_pRibbon->isAncestorOf(widget))) {
            // Act once per notch: an ignored event travels on to the parents.
            const bool repeat = event == m_pLastWheel && m_pLastWheelTarget && widget != m_pLastWheelTarget &&
                                widget->isAncestorOf(m_pLastWheelTarget);
            m_pLastWheel = event;
            m_pLastWheelTarget = widget;
            if (repeat)
                return true;
            HandleWheel(static_cast<QWheelEvent*>(event));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::QueryClose() {
    return m_pCommands->QueryClose(this);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_bClosing && !QueryClose()) {
        event->ignore();
        return;
    }
    m_bClosing = true;
    event->accept();
    // The frame's close ends the console whatever tool windows are open: a tool window left on screen
    // would keep the event loop (and the single-instance lock) alive with no frame to close it by.
    m_pCommands->CloseToolWindows();
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}
