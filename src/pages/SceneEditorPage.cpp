#include "pages/SceneEditorPage.h"

#include "controls/XBmpSlider.h"
#include "pages/PageHelpers.h"
#include "pages/PlugParts.h"
#include "plugs/PlugFlows.h"
#include "plugs/PlugModel.h"
#include "ui/Colors.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kMaxSceneRows = kSceneSteps;

} // namespace

CDialogZwaveRemoter::CDialogZwaveRemoter(QWidget* parent) : QWidget(parent) {
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
    m_pValue = PlugLabelCtrl(this, 1008, QStringLiteral("0"));
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

    auto* add = PlugButton(this, 1068, QString::fromUtf8("添加"));
    auto* modify = PlugButton(this, 1078, QString::fromUtf8("修改"));
    auto* remove = PlugButton(this, 1069, QString::fromUtf8("删除选中项"));
    auto* up = PlugButton(this, 1075, QString::fromUtf8("上移"));
    auto* down = PlugButton(this, 1076, QString::fromUtf8("下移"));
    auto* clear = PlugButton(this, 1077, QString::fromUtf8("清空列表"));
    auto* save = PlugButton(this, 1074, QString::fromUtf8("保存列表"));
    auto* test = new QGroupBox(QString::fromUtf8("测试"), this);
    SetCtrlId(test, 1227);
    auto* testRow = new QHBoxLayout(test);
    const char* const kTestTexts[] = {"电视情景", "电影情景", "K歌情景", "音乐情景"};
    for (int s = 0; s < kScenes; ++s) {
        auto* b = PlugButton(test, 1070 + s, QString::fromUtf8(kTestTexts[s]));
        testRow->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, s] { emit SceneTestRequested(s); });
    }

    auto* top = new QHBoxLayout;
    auto* sceneLabel = PlugLabelCtrl(this, 1226, QString::fromUtf8("情景"));
    auto* plugLabel = PlugLabelCtrl(this, 1228, QString::fromUtf8("插座"));
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
        return PlugNotice("情景指令已达最大数量", "command over range");
    if (SelectedPlug() == 0)
        return PlugNotice("请选择一个插座", "Please select a plug");
    const int row = m_pRows->rowCount();
    m_pRows->insertRow(row);
    SetRow(row, SelectedPlug(), RowValue());
}

void CDialogZwaveRemoter::ModifyRow() {
    if (SelectedPlug() == 0)
        return PlugNotice("请选择一个插座", "Please select a plug");
    const int row = m_pRows->currentRow();
    if (row < 0 || !m_pRows->item(row, 0)->isSelected())
        return PlugNotice("请选择列表项", "Please select a item");
    SetRow(row, SelectedPlug(), RowValue());
}

void CDialogZwaveRemoter::DeleteRow() {
    const int row = m_pRows->currentRow();
    if (row < 0 || !m_pRows->item(row, 0)->isSelected())
        return PlugNotice("请先选择列表项", "Please select a item");
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
        return PlugNotice("请先选择列表项", "Please select a item");
    if (delta < 0 && row == 0)
        return PlugNotice("已移至首项", "Already be first");
    if (delta > 0 && row == m_pRows->rowCount() - 1)
        return PlugNotice("已移至尾项", "Already be last");
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
    PlugNotice(kTextSaveFinished);
}
