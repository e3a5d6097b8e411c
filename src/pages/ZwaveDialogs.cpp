#include "pages/ZwaveDialogs.h"

#include "controls/XBmpSlider.h"
#include "pages/PlugParts.h"
#include "plugs/PlugFlows.h"
#include "plugs/PlugModel.h"
#include "ui/Colors.h"
#include "ui/Language.h"
#include "ui/Notices.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The switch control's big on and off buttons.
QIcon LampIcon(bool on) {
    QPixmap pm(56, 56);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor c = on ? QColor(40, 170, 70) : QColor(150, 150, 150);
    p.setPen(QPen(c.darker(140), 2));
    p.setBrush(c);
    p.drawEllipse(QRectF(3, 3, 50, 50));
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(16, 16, 24, 24), 120 * 16, 300 * 16);
    p.drawLine(QPointF(28, 11), QPointF(28, 27));
    return QIcon(pm);
}

} // namespace

std::u16string DefaultPlugName(int kind) {
    const std::u16string stem = kind == PLUG_DIMMER ? u"调压" : u"开关";
    std::vector<std::u16string> names;
    for (int n : PresentPlugs())
        names.push_back(PlugName(n));
    for (int i = 1; i <= 254; ++i) {
        const std::u16string name = stem + QString::number(i).toStdU16String();
        if (std::find(names.begin(), names.end(), name) == names.end())
            return name;
    }
    return stem;
}

QString DimmerLevelText(int level) {
    if (level <= 0)
        return QString::fromUtf8("关");
    if (level >= 99)
        return QString::fromUtf8("最大");
    return QStringLiteral("%1%").arg(level);
}

// ---- Plug editor ------------------------------------------------------------------------------------

CDlgZwaveEdit::CDlgZwaveEdit(QWidget* parent, int node) : QDialog(parent), m_nNode(node) {
    StylePlugDialog(this, kTemplatePlugEdit);
    setAttribute(Qt::WA_DeleteOnClose);
    m_pKind = new QComboBox(this);
    SetCtrlId(m_pKind, 1134);
    m_pName = new QLineEdit(this);
    SetCtrlId(m_pName, 1038);
    m_pName->setMaxLength(kPlugNameEditChars);
    m_pOk = PlugButton(this, 1);
    auto* cancel = PlugButton(this, 2, QString::fromUtf8("取消"));
    auto* grid = new QGridLayout;
    grid->addWidget(PlugLabelCtrl(this, 1005, QString::fromUtf8("类型")), 0, 0);
    grid->addWidget(m_pKind, 0, 1);
    grid->addWidget(PlugLabelCtrl(this, 1007, QString::fromUtf8("名称")), 1, 0);
    grid->addWidget(m_pName, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pOk);
    buttons->addWidget(cancel);
    auto* box = new QVBoxLayout(this);
    box->addLayout(grid);
    box->addLayout(buttons);
    setMinimumWidth(280);

    ReloadTexts();
    if (m_nNode == 0) {
        m_pKind->setCurrentIndex(0);
        m_pName->setText(QString::fromStdU16String(DefaultPlugName(PLUG_SWITCH)));
    } else {
        m_pKind->setCurrentIndex(std::clamp(PlugKind(m_nNode) - 1, 0, 1));
        m_pName->setText(QString::fromStdU16String(PlugName(m_nNode)));
    }
    m_pName->setFocus();
    m_pName->setCursorPosition(m_pName->text().size());

    connect(m_pKind, &QComboBox::activated, this, [this](int index) {
        if (m_nNode == 0) // a new plug's default name follows its kind
            m_pName->setText(QString::fromStdU16String(DefaultPlugName(index + 1)));
    });
    connect(m_pOk, &QPushButton::clicked, this, &CDlgZwaveEdit::Confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
}

void CDlgZwaveEdit::setVisible(bool visible) {
    QDialog::setVisible(visible);
    // A dialog being shown hands its focus widget a Tab focus, which selects a line edit's whole text:
    // the caret goes back to the end of the name, so that typing adds to it.
    if (visible) {
        m_pName->setFocus();
        m_pName->deselect();
        m_pName->setCursorPosition(int(m_pName->text().size()));
    }
}

void CDlgZwaveEdit::ReloadTexts() {
    ApplyTexts(this, kTemplatePlugEdit);
    const int kind = m_pKind->currentIndex();
    m_pKind->clear();
    m_pKind->addItem(Tr("开关插座", "Switch"));
    m_pKind->addItem(Tr("调压插座", "Knob"));
    m_pKind->setCurrentIndex(kind < 0 ? 0 : kind);
    m_pOk->setText(m_nNode == 0 ? Tr("添加", "Add") : Tr("修改", "Modify"));
}

void CDlgZwaveEdit::Confirm() {
    emit Confirmed(m_nNode, m_pKind->currentIndex() + 1, m_pName->text());
}

// ---- Dimmer control ---------------------------------------------------------------------------------

CDlgZwaveLight::CDlgZwaveLight(QWidget* parent) : QDialog(parent) {
    StylePlugDialog(this, kTemplateDimmer);
    m_pSlider = new CXBmpSlider(this, 1014, false);
    m_pSlider->SetRange(0, 99);
    m_pSlider->SetBackgroundColor(PageColor());
    m_pSlider->setMinimumWidth(220);
    m_pLevel = new QLabel(this);
    SetCtrlId(m_pLevel, 1232);
    m_pLevel->setMinimumWidth(40);
    auto* minus = PlugButton(this, 1068, QStringLiteral("−"));
    auto* plus = PlugButton(this, 1069, QStringLiteral("+"));
    for (QPushButton* b : {minus, plus})
        b->setFixedWidth(32);
    auto* off = PlugButton(this, 1070, QString::fromUtf8("关"));
    auto* max = PlugButton(this, 1071, QString::fromUtf8("最大"));
    QPalette red;
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    auto* warn = PlugLabelCtrl(this, 1237, QString::fromUtf8("警告"));
    auto* warn1 =
        PlugLabelCtrl(this, 1238, QString::fromUtf8("      某些设备无法工作在低电压状态，可能损坏设备"));
    auto* warn2 = PlugLabelCtrl(this, 1239, QString::fromUtf8("请您确保此插座上的设备允许调节电压"));
    for (QLabel* l : {warn, warn1, warn2}) {
        l->setPalette(red);
        l->setWordWrap(true);
    }
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(PlugLabelCtrl(this, 1005, QString::fromUtf8("电压:")));
    levelRow->addWidget(m_pLevel);
    levelRow->addStretch();
    auto* sliderRow = new QHBoxLayout;
    sliderRow->addWidget(minus);
    sliderRow->addWidget(m_pSlider, 1);
    sliderRow->addWidget(plus);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(off);
    buttons->addStretch();
    buttons->addWidget(max);
    auto* box = new QVBoxLayout(this);
    box->addLayout(levelRow);
    box->addLayout(sliderRow);
    box->addLayout(buttons);
    box->addWidget(PlugLabelCtrl(this, 1007, QString::fromUtf8("提示：松开滑动条后设置灯光亮度")));
    box->addWidget(warn);
    box->addWidget(warn1);
    box->addWidget(warn2);
    setMinimumWidth(340);

    connect(m_pSlider, &CXBmpSlider::SliderPos, this, [this](int, int pos) { ShowLevel(pos); });
    connect(m_pSlider, &CXBmpSlider::SliderReleased, this, [this](int, int) { Apply(); });
    connect(minus, &QPushButton::clicked, this, [this] { Step(-1); });
    connect(plus, &QPushButton::clicked, this, [this] { Step(1); });
    connect(off, &QPushButton::clicked, this, [this] { SetLevel(0); });
    connect(max, &QPushButton::clicked, this, [this] { SetLevel(99); });
}

void CDlgZwaveLight::Retarget(int node) {
    m_nNode = node;
    m_pSlider->SetPos(PlugLevel(node));
    ShowLevel(m_pSlider->GetPos());
    ReloadTexts();
}

void CDlgZwaveLight::ReloadTexts() {
    ApplyTexts(this, kTemplateDimmer);
    setWindowTitle(Tr("电压控制: ", "Voltage: ") + QString::fromStdU16String(PlugName(m_nNode)));
}

void CDlgZwaveLight::ShowLevel(int level) {
    m_pLevel->setText(DimmerLevelText(level));
}

void CDlgZwaveLight::Apply() {
    emit LevelRequested(m_nNode, m_pSlider->GetPos());
}

void CDlgZwaveLight::Step(int delta) {
    m_pSlider->SetPos(std::clamp(m_pSlider->GetPos() + delta, 0, 99));
    ShowLevel(m_pSlider->GetPos());
    Apply();
}

void CDlgZwaveLight::SetLevel(int level) {
    m_pSlider->SetPos(level);
    ShowLevel(level);
    Apply();
}

// ---- Switch control ---------------------------------------------------------------------------------

CDlgZwaveSwitch::CDlgZwaveSwitch(QWidget* parent) : QDialog(parent) {
    StylePlugDialog(this, kTemplateSwitch);
    auto* on = PlugButton(this, 1068);
    auto* off = PlugButton(this, 1069);
    on->setIcon(LampIcon(true));
    off->setIcon(LampIcon(false));
    for (QPushButton* b : {on, off}) {
        b->setIconSize(QSize(56, 56));
        b->setFlat(true);
    }
    auto* grid = new QGridLayout(this);
    grid->addWidget(on, 0, 0, Qt::AlignHCenter);
    grid->addWidget(off, 0, 1, Qt::AlignHCenter);
    auto* onText = PlugLabelCtrl(this, 1005, QString::fromUtf8("开"));
    auto* offText = PlugLabelCtrl(this, 1007, QString::fromUtf8("关"));
    onText->setAlignment(Qt::AlignCenter);
    offText->setAlignment(Qt::AlignCenter);
    grid->addWidget(onText, 1, 0);
    grid->addWidget(offText, 1, 1);
    setMinimumWidth(240);
    connect(on, &QPushButton::clicked, this, [this] { Switch(true); });
    connect(off, &QPushButton::clicked, this, [this] { Switch(false); });
}

void CDlgZwaveSwitch::Retarget(int node) {
    m_nNode = node;
    ReloadTexts();
}

void CDlgZwaveSwitch::ReloadTexts() {
    ApplyTexts(this, kTemplateSwitch);
    setWindowTitle(Tr("开关控制: ", "Switch: ") + QString::fromStdU16String(PlugName(m_nNode)));
}

void CDlgZwaveSwitch::Switch(bool on) {
    emit SwitchRequested(m_nNode, on);
}
