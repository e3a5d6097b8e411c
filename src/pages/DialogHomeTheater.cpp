#include "pages/DialogHomeTheater.h"

#include "controls/XBmpSlider.h"
#include "link/Timing.h"
#include "model/ParamStore.h"
#include "pages/PageHelpers.h"
#include "pages/ZwaveDialogs.h"
#include "plugs/PlugModel.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/ProgressDlgs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

constexpr int kNoticeMs = 1100;
constexpr int kMaxSceneRows = kSceneSteps;
const QColor kWindowColor(240, 240, 240);

void Notice(const char* zh, const char* en) {
    ShowInfoPopup(Tr(zh, en), kNoticeMs);
}

void Notice(const PlugText& text) {
    ShowInfoPopup(QString::fromUtf8(text.In(Language())), kNoticeMs);
}

QString PlugLabel(int node) {
    return QString::fromStdU16String(PlugName(node));
}

QPushButton* MakeButton(QWidget* parent, int id, const QString& text = QString()) {
    auto* b = new QPushButton(text, parent);
    SetCtrlId(b, id);
    b->setAutoDefault(false);
    return b;
}

QLabel* MakeLabel(QWidget* parent, int id, const QString& text = QString()) {
    auto* l = new QLabel(text, parent);
    SetCtrlId(l, id);
    return l;
}

// The all-on and all-off buttons: a round power sign.
QPixmap PowerIcon(const QColor& colour, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    QPen pen(Qt::white, size / 12.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF ring(size * 0.28, size * 0.28, size * 0.44, size * 0.44);
    p.drawArc(ring, 120 * 16, 300 * 16);
    p.drawLine(QPointF(size / 2.0, size * 0.2), QPointF(size / 2.0, size * 0.48));
    return pm;
}

} // namespace

QPixmap PlugIcon(int kind, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 48.0;
    p.scale(s, s);
    // The socket face, coloured by kind.
    const QColor face = kind == PLUG_SWITCH   ? QColor(70, 150, 220)
                        : kind == PLUG_DIMMER ? QColor(240, 160, 40)
                                              : QColor(170, 170, 170);
    p.setPen(QPen(face.darker(140), 2));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(4, 4, 40, 40), 9, 9);
    p.setBrush(Qt::white);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(10, 10, 28, 28));
    p.setBrush(face.darker(160));
    if (kind == PLUG_SWITCH) {
        p.drawRoundedRect(QRectF(17, 18, 4, 10), 2, 2);
        p.drawRoundedRect(QRectF(27, 18, 4, 10), 2, 2);
        p.drawEllipse(QRectF(22, 30, 4, 4));
    } else if (kind == PLUG_DIMMER) {
        // A knob with its pointer.
        p.drawEllipse(QRectF(16, 16, 16, 16));
        p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(24, 24), QPointF(29, 19));
    } else {
        p.setPen(face.darker(160));
        QFont f = p.font();
        f.setPixelSize(20);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(10, 10, 28, 28), Qt::AlignCenter, QStringLiteral("?"));
    }
    return pm;
}

// ---- Plug list --------------------------------------------------------------------------------------

CDlgZwaveList::CDlgZwaveList(CDialogHomeTheater* window) : QWidget(window), m_pWindow(window) {
    SetTemplateId(this, kTemplatePlugList);
    m_pList = new QListWidget(this);
    SetCtrlId(m_pList, 1223);
    m_pList->setViewMode(QListView::IconMode);
    m_pList->setIconSize(QSize(48, 48));
    m_pList->setGridSize(QSize(96, 80));
    m_pList->setResizeMode(QListView::Adjust);
    m_pList->setMovement(QListView::Static);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* remove = MakeButton(this, 1075, QString::fromUtf8("删除插座"));
    auto* add = MakeButton(this, 1076, QString::fromUtf8("添加插座"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(remove);
    buttons->addWidget(add);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_pList, 1);
    box->addLayout(buttons);

    connect(m_pList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { m_pWindow->OpenControl(item->data(Qt::UserRole).toInt()); });
    connect(m_pList, &QWidget::customContextMenuRequested, this, &CDlgZwaveList::OnContextMenu);
    connect(remove, &QPushButton::clicked, m_pWindow, &CDialogHomeTheater::ExcludePlug);
    connect(add, &QPushButton::clicked, this, [this] {
        if (m_pWindow->CheckConnected())
            m_pWindow->OpenEditor(0);
    });
}

void CDlgZwaveList::OnContextMenu(const QPoint& pos) {
    if (QListWidgetItem* item = m_pList->itemAt(pos)) {
        m_pList->setCurrentItem(item);
        m_pWindow->OpenEditor(item->data(Qt::UserRole).toInt());
    }
}

void CDlgZwaveList::Refresh() {
    m_pList->clear();
    for (int n : PresentPlugs()) {
        auto* item = new QListWidgetItem(QIcon(PlugIcon(PlugKind(n))), PlugLabel(n), m_pList);
        item->setData(Qt::UserRole, n);
    }
}

// ---- Scene editor -----------------------------------------------------------------------------------

CDialogZwaveRemoter::CDialogZwaveRemoter(CDialogHomeTheater* window) : QWidget(window), m_pWindow(window) {
    SetTemplateId(this, kTemplateSceneEdit);
    m_pScene = new QComboBox(this);
    SetCtrlId(m_pScene, 1217);
    m_pRows = new QTableWidget(0, 2, this);
    SetCtrlId(m_pRows, 1223);
    m_pRows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pRows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pRows->verticalHeader()->hide();
    m_pRows->setColumnWidth(0, 120);
    m_pRows->setColumnWidth(1, 100);
    m_pRows->horizontalHeader()->setStretchLastSection(true);
    m_pPlug = new QComboBox(this);
    SetCtrlId(m_pPlug, 1134);
    m_pOn = new QCheckBox(QString::fromUtf8("开"), this);
    SetCtrlId(m_pOn, 1045);
    m_pSlider = new CXBmpSlider(this, 1014, false);
    m_pSlider->SetRange(0, 99);
    m_pSlider->SetBackgroundColor(PageColor());
    m_pSlider->setMinimumWidth(140);
    m_pValue = MakeLabel(this, 1008, QStringLiteral("0"));
    m_pValue->setMinimumWidth(28);
    // The check box and the slider take turns in one row that keeps its size, so that nothing below
    // moves when they change; only the slider starts hidden.
    for (QWidget* w :
         {static_cast<QWidget*>(m_pOn), static_cast<QWidget*>(m_pSlider), static_cast<QWidget*>(m_pValue)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    m_pSlider->hide();
    m_pValue->hide();

    auto* add = MakeButton(this, 1068, QString::fromUtf8("添加"));
    auto* modify = MakeButton(this, 1078, QString::fromUtf8("修改"));
    auto* remove = MakeButton(this, 1069, QString::fromUtf8("删除选中项"));
    auto* up = MakeButton(this, 1075, QString::fromUtf8("上移"));
    auto* down = MakeButton(this, 1076, QString::fromUtf8("下移"));
    auto* clear = MakeButton(this, 1077, QString::fromUtf8("清空列表"));
    auto* save = MakeButton(this, 1074, QString::fromUtf8("保存列表"));
    auto* test = new QGroupBox(QString::fromUtf8("测试"), this);
    SetCtrlId(test, 1227);
    auto* testRow = new QHBoxLayout(test);
    const char* const kTestTexts[] = {"电视情景", "电影情景", "K歌情景", "音乐情景"};
    for (int s = 0; s < kScenes; ++s) {
        auto* b = MakeButton(test, 1070 + s, QString::fromUtf8(kTestTexts[s]));
        testRow->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, s] { m_pWindow->RunScene(s, kTextSceneLoadingPage); });
    }

    auto* top = new QHBoxLayout;
    auto* sceneLabel = MakeLabel(this, 1226, QString::fromUtf8("情景"));
    auto* plugLabel = MakeLabel(this, 1228, QString::fromUtf8("插座"));
    for (QLabel* l : {sceneLabel, plugLabel})
        l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred); // never cut in English
    top->addWidget(sceneLabel);
    top->addWidget(m_pScene, 1);
    auto* plugRow = new QHBoxLayout;
    plugRow->addWidget(plugLabel);
    plugRow->addWidget(m_pPlug, 1);
    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(m_pOn);
    valueRow->addWidget(m_pSlider, 1);
    valueRow->addWidget(m_pValue);
    valueRow->addStretch();
    auto* side = new QVBoxLayout;
    side->addLayout(plugRow);
    side->addLayout(valueRow);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(add);
    addRow->addWidget(modify);
    side->addLayout(addRow);
    auto* editGrid = new QGridLayout;
    editGrid->addWidget(remove, 0, 0);
    editGrid->addWidget(clear, 0, 1);
    editGrid->addWidget(up, 1, 0);
    editGrid->addWidget(down, 1, 1);
    side->addLayout(editGrid);
    side->addWidget(save);
    side->addStretch();
    auto* left = new QVBoxLayout;
    left->addLayout(top);
    left->addWidget(m_pRows, 1);
    auto* middle = new QHBoxLayout;
    middle->addLayout(left, 3);
    middle->addLayout(side, 2);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addLayout(middle, 1);
    box->addWidget(test);

    connect(m_pScene, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < kScenes) {
            m_nScene = index;
            Refresh();
        }
    });
    connect(m_pPlug, &QComboBox::currentIndexChanged, this, &CDialogZwaveRemoter::OnPlugPicked);
    connect(m_pSlider, &CXBmpSlider::SliderPos, this,
            [this](int, int pos) { m_pValue->setText(QString::number(pos)); });
    connect(add, &QPushButton::clicked, this, &CDialogZwaveRemoter::AddRow);
    connect(modify, &QPushButton::clicked, this, &CDialogZwaveRemoter::ModifyRow);
    connect(remove, &QPushButton::clicked, this, &CDialogZwaveRemoter::DeleteRow);
    connect(up, &QPushButton::clicked, this, [this] { MoveRow(-1); });
    connect(down, &QPushButton::clicked, this, [this] { MoveRow(1); });
    connect(clear, &QPushButton::clicked, this, &CDialogZwaveRemoter::ClearRows);
    connect(save, &QPushButton::clicked, this, &CDialogZwaveRemoter::Save);
    ReloadTexts();
}

void CDialogZwaveRemoter::ReloadTexts() {
    m_pRows->setHorizontalHeaderLabels({Tr("设备名称", "Name"), Tr("参数", "Parameter")});
    m_pRows->horizontalHeaderItem(1)->setTextAlignment(Qt::AlignCenter);
}

void CDialogZwaveRemoter::Refresh() {
    // The plugs to choose from.
    const int keepPlug = SelectedPlug();
    {
        const QSignalBlocker block(m_pPlug);
        m_pPlug->clear();
        for (int n : PresentPlugs())
            m_pPlug->addItem(PlugLabel(n), n);
        m_pPlug->setCurrentIndex(m_pPlug->findData(keepPlug));
    }
    OnPlugPicked();
    // The rows of the edited scene: up to its first empty step, plug steps of present nodes only.
    m_pRows->setRowCount(0);
    ReloadTexts();
    for (const SceneStep& step : GetScene(m_nScene)) {
        if (step.byTarget == SCENE_EMPTY)
            break;
        if (step.byTarget < 2 || step.byTarget > kMaxPlugNode || !NodePresent(step.byTarget))
            continue;
        const int row = m_pRows->rowCount();
        m_pRows->insertRow(row);
        SetRow(row, step.byTarget, step.byValue);
    }
    const QSignalBlocker block(m_pScene);
    m_pScene->clear();
    const char* const kZh[] = {"电视", "电影", "K歌", "音乐"};
    const char* const kEn[] = {"TV", "Movie", "Karaoke", "Music"};
    for (int s = 0; s < kScenes; ++s)
        m_pScene->addItem(Tr(kZh[s], kEn[s]));
    m_pScene->setCurrentIndex(m_nScene);
}

void CDialogZwaveRemoter::SetRow(int row, int node, int value) {
    auto* name = new QTableWidgetItem(PlugLabel(node));
    name->setData(Qt::UserRole, node);
    auto* text = new QTableWidgetItem(QString::number(value));
    text->setTextAlignment(Qt::AlignCenter);
    m_pRows->setItem(row, 0, name);
    m_pRows->setItem(row, 1, text);
}

int CDialogZwaveRemoter::SelectedPlug() const {
    return m_pPlug->currentIndex() >= 0 ? m_pPlug->currentData().toInt() : 0;
}

void CDialogZwaveRemoter::OnPlugPicked() {
    const int kind = PlugKind(SelectedPlug());
    m_pOn->setVisible(kind != PLUG_DIMMER);
    m_pSlider->setVisible(kind == PLUG_DIMMER);
    m_pValue->setVisible(kind == PLUG_DIMMER);
}

int CDialogZwaveRemoter::RowValue() const {
    switch (PlugKind(SelectedPlug())) {
    case PLUG_SWITCH:
        return m_pOn->isChecked() ? 99 : 0;
    case PLUG_DIMMER:
        return m_pSlider->GetPos();
    default:
        return 0;
    }
}

SceneSteps CDialogZwaveRemoter::RowSteps() const {
    SceneSteps steps{};
    for (int row = 0; row < m_pRows->rowCount() && row < kSceneSteps; ++row) {
        const int node = m_pRows->item(row, 0)->data(Qt::UserRole).toInt();
        const int value = GuardedInt(LeadingNumber(m_pRows->item(row, 1)->text()), 0, 255);
        steps[row] = SceneStep{static_cast<uint8_t>(node), static_cast<uint8_t>(value)};
    }
    return steps;
}

void CDialogZwaveRemoter::AddRow() {
    if (m_pRows->rowCount() >= kMaxSceneRows)
        return Notice("情景指令已达最大数量", "command over range");
    if (SelectedPlug() == 0)
        return Notice("请选择一个插座", "Please select a plug");
    const int row = m_pRows->rowCount();
    m_pRows->insertRow(row);
    SetRow(row, SelectedPlug(), RowValue());
}

void CDialogZwaveRemoter::ModifyRow() {
    if (SelectedPlug() == 0)
        return Notice("请选择一个插座", "Please select a plug");
    const int row = m_pRows->currentRow();
    if (row < 0 || !m_pRows->item(row, 0)->isSelected())
        return Notice("请选择列表项", "Please select a item");
    SetRow(row, SelectedPlug(), RowValue());
}

void CDialogZwaveRemoter::DeleteRow() {
    const int row = m_pRows->currentRow();
    if (row < 0 || !m_pRows->item(row, 0)->isSelected())
        return Notice("请先选择列表项", "Please select a item");
    m_pRows->removeRow(row);
}

void CDialogZwaveRemoter::SwapRows(int a, int b) {
    QTableWidgetItem* a0 = m_pRows->takeItem(a, 0);
    QTableWidgetItem* a1 = m_pRows->takeItem(a, 1);
    m_pRows->setItem(a, 0, m_pRows->takeItem(b, 0));
    m_pRows->setItem(a, 1, m_pRows->takeItem(b, 1));
    m_pRows->setItem(b, 0, a0);
    m_pRows->setItem(b, 1, a1);
}

void CDialogZwaveRemoter::MoveRow(int delta) {
    const int row = m_pRows->currentRow();
    if (row < 0 || !m_pRows->item(row, 0)->isSelected())
        return Notice("请先选择列表项", "Please select a item");
    if (delta < 0 && row == 0)
        return Notice("已移至首项", "Already be first");
    if (delta > 0 && row == m_pRows->rowCount() - 1)
        return Notice("已移至尾项", "Already be last");
    SwapRows(row, row + delta);
    m_pRows->setCurrentCell(row + delta, 0);
    m_pRows->selectRow(row + delta);
    m_pRows->setFocus();
}

void CDialogZwaveRemoter::ClearRows() {
    m_pRows->setRowCount(0);
}

void CDialogZwaveRemoter::Save() {
    SaveScene(m_nScene, RowSteps());
    Notice(kTextSaveFinished);
}

// ---- The window -------------------------------------------------------------------------------------

CDialogHomeTheater::CDialogHomeTheater(const PageContext& context, int, QWidget* parent)
    : CPage(kTemplateHomeTheater, context, parent), m_pollOff(SuspendLivePoll()) {
    // The live poll keeps off the link while plugs are managed.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kWindowColor);
    setPalette(pal);
    setWindowTitle(QString::fromUtf8("智能插座"));

    auto* allOn = MakeButton(this, 1068);
    auto* allOff = MakeButton(this, 1069);
    for (auto [b, colour] : {std::pair{allOn, QColor(40, 170, 70)}, std::pair{allOff, QColor(210, 50, 50)}}) {
        b->setIcon(QIcon(PowerIcon(colour, 40)));
        b->setIconSize(QSize(40, 40));
        b->setFlat(true);
    }
    auto* reset = MakeButton(this, 1078, QString::fromUtf8("复位插座"));
    auto* help = MakeButton(this, 1079, QString::fromUtf8("查看帮助"));
    m_pListButton = MakeButton(this, 1074, QString::fromUtf8("插座列表"));
    m_pSceneButton = MakeButton(this, 1077, QString::fromUtf8("情景编辑"));

    auto* frame = new QWidget(this);
    SetCtrlId(frame, 1226);
    frame->setAutoFillBackground(true);
    QPalette framePal = frame->palette();
    framePal.setColor(QPalette::Window, PageColor());
    frame->setPalette(framePal);
    m_pList = new CDlgZwaveList(this);
    m_pScenes = new CDialogZwaveRemoter(this);
    m_pPages = new QStackedWidget(frame);
    m_pPages->addWidget(m_pList);
    m_pPages->addWidget(m_pScenes);
    auto* frameBox = new QVBoxLayout(frame);
    frameBox->addWidget(m_pPages);

    auto column = [this](QPushButton* b, int labelId, const char* text) {
        auto* col = new QVBoxLayout;
        col->addWidget(b, 0, Qt::AlignHCenter);
        auto* label = MakeLabel(this, labelId, QString::fromUtf8(text));
        label->setAlignment(Qt::AlignCenter);
        col->addWidget(label);
        return col;
    };
    auto* top = new QHBoxLayout;
    top->addLayout(column(allOn, 1005, "设备全开"));
    top->addLayout(column(allOff, 1007, "设备全关"));
    top->addStretch();
    top->addWidget(reset);
    top->addWidget(help);
    auto* pages = new QHBoxLayout;
    pages->addWidget(m_pListButton);
    pages->addWidget(m_pSceneButton);
    pages->addStretch();
    auto* box = new QVBoxLayout(this);
    box->addLayout(top);
    box->addLayout(pages);
    box->addWidget(frame, 1);
    resize(560, 470);

    connect(allOn, &QPushButton::clicked, this, [this] { SwitchAll(true); });
    connect(allOff, &QPushButton::clicked, this, [this] { SwitchAll(false); });
    connect(reset, &QPushButton::clicked, this, &CDialogHomeTheater::ResetNetwork);
    connect(help, &QPushButton::clicked, this, &CDialogHomeTheater::ShowHelp);
    connect(m_pListButton, &QPushButton::clicked, this, [this] { ShowPage(0); });
    connect(m_pSceneButton, &QPushButton::clicked, this, [this] { ShowPage(1); });
    if (CConsoleLink* link = Context().pLink) {
        connect(link, &CConsoleLink::PlugEvent, this, &CDialogHomeTheater::OnPlugEvent);
        connect(link, &CConsoleLink::PlugProgress, this, &CDialogHomeTheater::OnPlugProgress);
    }
    m_timer5.setSingleShot(true);
    m_timer5.setTimerType(Qt::PreciseTimer);
    connect(&m_timer5, &QTimer::timeout, this, &CDialogHomeTheater::OnTimer5);
    m_loadTimer.setSingleShot(true);
    connect(&m_loadTimer, &QTimer::timeout, this, &CDialogHomeTheater::OnLoadTimer);
    m_loadTimer.start(200);

    ShowPage(0);
    ReloadTexts();
    Refresh();
}

CDialogHomeTheater::~CDialogHomeTheater() = default;

void CDialogHomeTheater::closeEvent(QCloseEvent* event) {
    // Closing destroys the window; the next opening makes a new one.
    event->accept();
    m_pollOff.Release();
    RequestDestroy();
}

void CDialogHomeTheater::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ShowHelp();
        return;
    }
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    CPage::keyPressEvent(event);
}

void CDialogHomeTheater::Refresh() {
    m_pList->Refresh();
    m_pScenes->Refresh();
}

void CDialogHomeTheater::RefreshLists() {
    Refresh();
}

void CDialogHomeTheater::ReloadTexts() {
    // Each page and dialog has its own template, so the window's pass leaves their controls alone.
    ApplyTexts(this, kTemplateHomeTheater);
    ApplyTexts(m_pList, kTemplatePlugList);
    ApplyTexts(m_pScenes, kTemplateSceneEdit);
    m_pScenes->Refresh();
    if (m_pEdit)
        m_pEdit->ReloadTexts();
    if (m_pLight)
        m_pLight->ReloadTexts();
    if (m_pSwitch)
        m_pSwitch->ReloadTexts();
    if (m_pHelp)
        m_pHelp->setWindowTitle(Tr("智能插座 帮助", "Smart plug help"));
}

void CDialogHomeTheater::ShowPage(int page) {
    m_pPages->setCurrentIndex(page == 1 ? 1 : 0);
    // The button of the shown page has blue text.
    for (QPushButton* b : {m_pListButton, m_pSceneButton}) {
        QPalette pal = b->palette();
        const bool shown = (b == m_pSceneButton) == (page == 1);
        pal.setColor(QPalette::ButtonText, shown ? QColor(0, 0, 255) : QColor(0, 0, 0));
        b->setPalette(pal);
    }
}

int CDialogHomeTheater::ShownPage() const {
    return m_pPages->currentIndex();
}

CPlugFlows* CDialogHomeTheater::Flows() const {
    return Context().pLink ? &Context().pLink->Flows() : nullptr;
}

bool CDialogHomeTheater::CheckConnected() {
    bool connected;
    {
        auto lock = LockStore();
        connected = g_Param.bConnected != 0;
    }
    if (!connected)
        Notice(kTextConnectFirst);
    return connected;
}

void CDialogHomeTheater::ShowProgress(const PlugText& text) {
    RunNested([&] { ShowSyncDialog(QString::fromUtf8(text.In(Language()))); });
}

void CDialogHomeTheater::OnLoadTimer() {
    CPlugFlows* flows = Flows();
    if (flows && flows->StartLoadPlugData() == PlugStart::Started)
        ShowProgress(kTextPlugLoading);
}

void CDialogHomeTheater::SwitchAll(bool on) {
    CPlugFlows* flows = Flows();
    if (flows && flows->StartSwitchAll(on) == PlugStart::Started)
        ShowProgress(on ? kTextAllOn : kTextAllOff);
}

void CDialogHomeTheater::ResetNetwork() {
    CPlugFlows* flows = Flows();
    if (flows && flows->StartResetNetwork() == PlugStart::Started)
        ShowProgress(kTextResetting);
}

void CDialogHomeTheater::RunScene(int scene, const PlugText& text) {
    if (!CheckConnected())
        return;
    CPlugFlows* flows = Flows();
    if (flows && flows->StartRunScene(scene) == PlugStart::Started)
        ShowProgress(text);
}

void CDialogHomeTheater::ExcludePlug() {
    if (!CheckConnected())
        return;
    StartWait(m_op.Exclude(kTextRemoving));
}

void CDialogHomeTheater::StartWait(std::optional<std::chrono::milliseconds> delay) {
    if (delay)
        m_timer5.start(int(Settle(*delay).count()));
}

void CDialogHomeTheater::OnTimer5() {
    const PlugText text = m_op.Text();
    const uint8_t command = m_op.Command();
    RunNested([&] { RunWaitDialog(QString::fromUtf8(text.In(Language())), command); });
}

void CDialogHomeTheater::OnPlugEvent(quint32 w, quint32 l) {
    CWaitDlg* wait = WaitDlg();
    const PlugReaction r = m_op.OnPlugEvent(w, l, wait != nullptr);
    if (r.bStopTimer)
        m_timer5.stop();
    auto text = [](const PlugText& t) { return QString::fromUtf8(t.In(Language())); };
    if (wait) {
        if (r.waitText)
            wait->SetWaitText(text(*r.waitText));
        if (r.finishText) {
            wait->SetWaitText(text(*r.finishText));
            wait->FinishWait(int(Settle(timing::kWaitFinish).count()));
        } else if (r.bEndWait) {
            wait->FinishWait(0);
        }
    } else if (r.finishText) {
        Notice(*r.finishText); // the wait ended before its dialog appeared
    }
    if (r.notice)
        Notice(*r.notice);
    if (r.bRefreshLists)
        RefreshLists();
}

void CDialogHomeTheater::OnPlugProgress(quint32 w, quint32 l) {
    if ((w == PLUG_PROGRESS_SCENE && l == 1) || w == PLUG_PROGRESS_LOADED) {
        CloseSyncDialog();
        RefreshLists();
    } else if (w == PLUG_PROGRESS_SWITCHED) {
        CloseSyncDialog();
    }
}

void CDialogHomeTheater::OpenEditor(int node) {
    if (m_pEdit)
        m_pEdit->close();
    m_pEdit = new CDlgZwaveEdit(this, this, node);
    m_pEdit->show();
    m_pEdit->raise();
}

void CDialogHomeTheater::OpenControl(int node) {
    const int kind = PlugKind(node);
    if (kind == PLUG_SWITCH) {
        if (m_pLight)
            m_pLight->close();
        if (!m_pSwitch)
            m_pSwitch = new CDlgZwaveSwitch(this, this);
        m_pSwitch->Retarget(node);
        m_pSwitch->show();
        m_pSwitch->raise();
    } else if (kind == PLUG_DIMMER) {
        if (m_pSwitch)
            m_pSwitch->close();
        if (!m_pLight)
            m_pLight = new CDlgZwaveLight(this, this);
        m_pLight->Retarget(node);
        m_pLight->show();
        m_pLight->raise();
    }
}

void CDialogHomeTheater::ShowHelp() {
    if (!m_pHelp) {
        m_pHelp = new QTextBrowser(this);
        m_pHelp->setWindowFlag(Qt::Window);
        m_pHelp->setAttribute(Qt::WA_DeleteOnClose);
        m_pHelp->setSource(QUrl(QStringLiteral("qrc:/resources/help/plugs.html")));
        m_pHelp->resize(560, 480);
        m_pHelp->setWindowTitle(Tr("智能插座 帮助", "Smart plug help"));
    }
    m_pHelp->show();
    m_pHelp->raise();
}
