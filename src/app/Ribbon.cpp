#include "app/Ribbon.h"

#include "ui/Language.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {
constexpr int kPanelHeight = 104;
const char* const kRibbonStyle = R"(
CMyMFCRibbonBar { background: #dfe9f5; border-bottom: 1px solid #8db2e3; }
CRibbonPanel { background: qlineargradient(x1:0,y1:0,x2:0,y2:1, stop:0 #f3f7fc, stop:1 #dbe7f6);
               border: 1px solid #a8c1e0; border-radius: 3px; }
CRibbonPanel QLabel#panelTitle { background: #c5d8ef; color: #15428b; border-top: 1px solid #a8c1e0; }
QTabBar::tab { padding: 4px 16px; color: #15428b; background: transparent; border: 1px solid transparent; }
QTabBar::tab:selected { background: #f3f7fc; border: 1px solid #8db2e3; border-bottom: none;
                        border-top-left-radius: 3px; border-top-right-radius: 3px; }
QToolButton#appButton { background: qradialgradient(cx:0.5,cy:0.4,radius:0.6, stop:0 #7fb0ea, stop:1 #1f5aa6);
                        color: white; font-weight: bold; border-radius: 13px; }
)";
} // namespace

CMFCRibbonStepSlider::CMFCRibbonStepSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setSingleStep(1);
    setPageStep(1);
    setFocusPolicy(Qt::NoFocus);
}

void CMFCRibbonStepSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QSlider::mousePressEvent(event);
        return;
    }
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    if (handle.contains(event->position().toPoint())) {
        QSlider::mousePressEvent(event);
        return;
    }
    // One step toward the click instead of a page.
    const int x = event->position().toPoint().x();
    const bool towardMax = (x > handle.center().x()) != invertedAppearance();
    setValue(value() + (towardMax ? 1 : -1));
    event->accept();
}

// The frame turns wheel notches over the volume panels into steps; the slider itself stays still.
void CMFCRibbonStepSlider::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

CRibbonPanel::CRibbonPanel(const QString& title, QWidget* parent) : QFrame(parent) {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(1, 2, 1, 1);
    box->setSpacing(2);
    m_pColumns = new QHBoxLayout;
    m_pColumns->setContentsMargins(4, 0, 4, 0);
    m_pColumns->setSpacing(6);
    box->addLayout(m_pColumns, 1);
    m_pTitle = new QLabel(title, this);
    m_pTitle->setObjectName(QStringLiteral("panelTitle"));
    m_pTitle->setAlignment(Qt::AlignCenter);
    box->addWidget(m_pTitle);
    setFixedHeight(kPanelHeight);
}

void CRibbonPanel::SetTitle(const QString& title) {
    m_pTitle->setText(title);
}
QString CRibbonPanel::Title() const {
    return m_pTitle->text();
}

QVBoxLayout* CRibbonPanel::Column() {
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    m_pColumns->addLayout(column);
    return column;
}

CRibbonCategory::CRibbonCategory(const QString& title, QWidget* parent) : QWidget(parent), m_strTitle(title) {
    m_pRow = new QHBoxLayout(this);
    m_pRow->setContentsMargins(4, 3, 4, 3);
    m_pRow->setSpacing(3);
    m_pRow->addStretch(1);
}

CRibbonPanel* CRibbonCategory::AddPanel(const QString& title) {
    auto* panel = new CRibbonPanel(title, this);
    m_pRow->insertWidget(m_pRow->count() - 1, panel);
    m_panels.push_back(panel);
    return panel;
}

CMyMFCRibbonBar::CMyMFCRibbonBar(QWidget* parent) : QFrame(parent) {
    setStyleSheet(QString::fromLatin1(kRibbonStyle));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(2, 2, 2, 0);
    box->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    m_pAppButton = new QToolButton(this);
    m_pAppButton->setObjectName(QStringLiteral("appButton"));
    m_pAppButton->setText(QStringLiteral("f"));
    m_pAppButton->setFixedSize(26, 26);
    m_pAppButton->setPopupMode(QToolButton::InstantPopup);
    m_pAppMenu = new QMenu(this);
    m_pAppButton->setMenu(m_pAppMenu);
    top->addWidget(m_pAppButton);
    m_pTabs = new QTabBar(this);
    m_pTabs->setDrawBase(false);
    m_pTabs->setExpanding(false);
    top->addWidget(m_pTabs);
    top->addStretch(1);
    m_pTabButtons = new QHBoxLayout;
    m_pTabButtons->setSpacing(2);
    top->addLayout(m_pTabButtons);
    box->addLayout(top);
    m_pStack = new QStackedWidget(this);
    box->addWidget(m_pStack);
    connect(m_pTabs, &QTabBar::currentChanged, this, [this](int i) {
        if (i < 0 || i >= m_pStack->count())
            return;
        m_pStack->setCurrentIndex(i);
        emit CategoryChanged(i);
    });
}

CRibbonCategory* CMyMFCRibbonBar::AddCategory(const QString& title) {
    auto* category = new CRibbonCategory(title, m_pStack);
    m_categories.push_back(category);
    m_pStack->addWidget(category);
    const QSignalBlocker block(m_pTabs);
    m_pTabs->addTab(title);
    return category;
}

void CMyMFCRibbonBar::Register(int id, QWidget* element) {
    m_elements.insert(id, element);
    SetCtrlId(element, id);
}

QLabel* CMyMFCRibbonBar::AddLabel(QVBoxLayout* column, int id, const QString& text) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    column->addWidget(label);
    Register(id, label);
    return label;
}

CMFCRibbonStepSlider* CMyMFCRibbonBar::AddSlider(QVBoxLayout* column, int id, int width, int min, int max) {
    auto* slider = new CMFCRibbonStepSlider;
    slider->setRange(min, max);
    slider->setFixedWidth(width);
    column->addWidget(slider);
    Register(id, slider);
    connect(slider, &QSlider::valueChanged, this, [this, id] { emit Command(id); });
    return slider;
}

QWidget* CMyMFCRibbonBar::AddCheckBox(QVBoxLayout* column, int id, const QString& text) {
    auto* box = new QCheckBox(text);
    box->setFocusPolicy(Qt::NoFocus);
    column->addWidget(box);
    Register(id, box);
    connect(box, &QCheckBox::clicked, this, [this, id] { emit Command(id); });
    return box;
}

QToolButton* CMyMFCRibbonBar::AddSplitButton(QVBoxLayout* column, int id, const QString& text,
                                             const QVector<int>& menuIds, const QStringList& menuTexts) {
    auto* button = AddButton(column, id, text);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    auto* menu = new QMenu(button);
    for (int i = 0; i < menuIds.size(); ++i) {
        QAction* action = menu->addAction(menuTexts.value(i));
        action->setCheckable(true);
        action->setData(menuIds[i]);
        const int entry = menuIds[i];
        connect(action, &QAction::triggered, this, [this, entry] { emit Command(entry); });
    }
    button->setMenu(menu);
    return button;
}

QToolButton* CMyMFCRibbonBar::AddButton(QVBoxLayout* column, int id, const QString& text) {
    auto* button = new QToolButton;
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAutoRaise(true);
    button->setMinimumHeight(30);
    button->setFocusPolicy(Qt::NoFocus);
    column->addWidget(button);
    Register(id, button);
    connect(button, &QToolButton::clicked, this, [this, id] { emit Command(id); });
    return button;
}

QToolButton* CMyMFCRibbonBar::AddTabButton(int id, const QString& text) {
    auto* button = new QToolButton(this);
    button->setText(text);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    m_pTabButtons->addWidget(button);
    Register(id, button);
    connect(button, &QToolButton::clicked, this, [this, id] { emit Command(id); });
    return button;
}

CRibbonCategory* CMyMFCRibbonBar::ActiveCategory() const {
    return m_categories.value(m_pTabs->currentIndex());
}
int CMyMFCRibbonBar::ActiveCategoryIndex() const {
    return m_pTabs->currentIndex();
}
void CMyMFCRibbonBar::SetActiveCategory(int i) {
    m_pTabs->setCurrentIndex(i);
}

void CMyMFCRibbonBar::SetCategoryTitle(int i, const QString& title) {
    if (auto* category = Category(i)) {
        category->SetTitle(title);
        m_pTabs->setTabText(i, title);
    }
}

void CMyMFCRibbonBar::SetElementText(int id, const QString& text) {
    QWidget* w = Element(id);
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
}

// No customisation menu and no category scrolling.
void CMyMFCRibbonBar::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}
void CMyMFCRibbonBar::wheelEvent(QWheelEvent* event) {
    event->accept();
}

bool IsInputCategoryTitle(const QString& title) {
    return title == QLatin1String("Input") || title == QString::fromUtf8("输入控制");
}

bool IsOutputCategoryTitle(const QString& title) {
    return title == QLatin1String("Output") || title == QString::fromUtf8("输出调节");
}
