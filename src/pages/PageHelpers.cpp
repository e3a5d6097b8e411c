#include "pages/PageHelpers.h"

#include "controls/XBmpSlider.h"
#include "link/Link.h"
#include "model/ParamStore.h"
#include "model/Schema.h"
#include "model/Setters.h"
#include "pages/Page.h"
#include "ui/Language.h"

#include <QApplication>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QWheelEvent>

#include <optional>

QSvgRenderer* PageImage(const QString& name) {
    // One renderer per image, kept for the process.
    static QHash<QString, QSvgRenderer*> cache;
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.insert(name, new QSvgRenderer(QStringLiteral(":/resources/images/") + name, qApp));
    return it.value();
}

int SlotValue(int slot) {
    if (slot < 0 || slot >= SET_COUNT)
        return 0;
    auto lock = LockStore();
    return g_Param.nSetting[slot];
}

float SlotFloatValue(int slot) {
    if (slot < 0 || slot >= SET_COUNT)
        return 0;
    auto lock = LockStore();
    return SlotFloat(slot);
}

QPixmap BannerPixmap(const QWidget* page, QSize size, const QString& title) {
    const qreal dpr = page->devicePixelRatioF();
    QPixmap pix(size * dpr);
    pix.setDevicePixelRatio(dpr);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    PageImage(QStringLiteral("output_banner.svg"))->render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
    QFont f = page->font();
    f.setBold(true);
    f.setPixelSize(18);
    p.setFont(f);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRect(56, 0, size.width() - 60, size.height()), Qt::AlignVCenter | Qt::AlignLeft, title);
    return pix;
}

QLabel* MakeText(QWidget* parent, int id, Qt::Alignment align) {
    auto* label = new QLabel(parent);
    if (id)
        SetCtrlId(label, id);
    label->setAlignment(align);
    return label;
}

// ---- Buttons -----------------------------------------------------------------------------------------

CPageButton::CPageButton(QWidget* parent, int id, bool pageButton)
    : QAbstractButton(parent), m_bPage(pageButton) {
    SetCtrlId(this, id);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

void CPageButton::SetShownPressed(bool pressed) {
    if (m_bShownPressed != pressed) {
        m_bShownPressed = pressed;
        update();
    }
}

void CPageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool down = m_bShownPressed || isDown();
    QString image = QStringLiteral("output_button.svg");
    if (down)
        image = QStringLiteral("output_button_pressed.svg");
    else if (underMouse())
        image = QStringLiteral("output_button_hover.svg");
    else if (m_bPage)
        image = QStringLiteral("output_button_page.svg");
    PageImage(image)->render(&p, QRectF(rect()));
    QFont f = font();
    f.setBold(down);
    p.setFont(f);
    p.setPen(down ? QColor(255, 255, 255) : QColor(30, 30, 30));
    QRect r = rect();
    if (m_bPage)
        r.setRight(r.right() - 10); // leave the arrow free
    p.drawText(r, Qt::AlignCenter, text());
}

CChannelButtonRow::CChannelButtonRow(CPage* page, std::function<int()> currentChannel,
                                     std::function<void(int)> onChannel) {
    // The template's own texts, kept where a language file has no entry for a page's button.
    static const char* const kPageTexts[3] = {"声场定位", "延时调整", "输出压限"};
    for (int k = 0; k < 8; ++k) {
        m_channels[k] = new CPageButton(page, kChannelIds[k], false);
        m_channels[k]->setText(QString::fromUtf8("通道%1").arg(k + 1));
        QObject::connect(m_channels[k], &QAbstractButton::clicked, page, [onChannel, k] { onChannel(k); });
    }
    for (int j = 0; j < 3; ++j) {
        m_pages[j] = new CPageButton(page, kPageIds[j], true);
        m_pages[j]->setText(QString::fromUtf8(kPageTexts[j]));
        const int t = kPageTemplates[j];
        QObject::connect(m_pages[j], &QAbstractButton::clicked, page,
                         [page, t, currentChannel] { emit page->OpenPage(t, currentChannel()); });
    }
}

void CChannelButtonRow::ShowPressed(int c, int nTemplate) {
    for (int k = 0; k < 8; ++k)
        m_channels[k]->SetShownPressed(k == c);
    for (int j = 0; j < 3; ++j)
        m_pages[j]->SetShownPressed(kPageTemplates[j] == nTemplate);
}

// ---- Wheel -----------------------------------------------------------------------------------------

CWheelForwarder::CWheelForwarder(QWidget* page, std::vector<QWidget*> extra)
    : QObject(page), m_pPage(page), m_extra(std::move(extra)) {
    Watch(page);
}

void CWheelForwarder::Watch(QWidget* root) {
    root->installEventFilter(this);
    for (QWidget* w : root->findChildren<QWidget*>())
        w->installEventFilter(this);
}

QWidget* CWheelForwarder::Target() const {
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !m_pPage->isAncestorOf(focus))
        return nullptr;
    for (QWidget* w : m_extra)
        if (w == focus)
            return focus;
    if (qobject_cast<CXBmpSlider*>(focus))
        return focus;
    return nullptr;
}

bool CWheelForwarder::Forward(QWheelEvent* event) {
    QWidget* target = Target();
    if (!target)
        return false;
    const QPointF local = target->mapFromGlobal(event->globalPosition());
    QWheelEvent copy(local, event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                     event->buttons(), event->modifiers(), event->phase(), event->inverted(),
                     event->source());
    QCoreApplication::sendEvent(target, &copy);
    return true;
}

bool CWheelForwarder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || watched == Target())
        return false;
    return Forward(static_cast<QWheelEvent*>(event));
}

// ---- Bindings ---------------------------------------------------------------------------------------

const Setting* CSlotBinding::RowOf(int channel) const {
    if (!pSetting || !channels || pSetting->target != SettingTarget::Slot)
        return pSetting;
    return SlotSetting(pSetting->nIndex + channel);
}

void CSlotBinding::ShowText(int pos) const {
    if (pText && pSetting)
        pText->setText(QString::fromStdString(FormatValue(*pSetting, ValueOfPos(*pSetting, pos))));
}

void CSlotBinding::Refresh(int channel) const {
    const Setting* row = RowOf(channel);
    if (!row)
        return;
    const double value = ReadValue(*row);
    const int pos = PosOfValue(*row, value);
    if (pSlider)
        pSlider->SetPos(pos);
    if (pText)
        pText->setText(QString::fromStdString(FormatValue(*row, bTextOfPos ? ValueOfPos(*row, pos) : value)));
}

void CSlotBinding::Apply(int pos) const {
    if (!pSetting)
        return;
    ShowText(pos);
    std::optional<CMergeableEdits> merge; // a newer position replaces one still waiting to go out
    if (pSetting->bMerge)
        merge.emplace();
    const double value = ValueOfPos(*pSetting, pos);
    if (!channels) {
        WriteValue(*pSetting, value);
        return;
    }
    for (int c : channels())
        if (const Setting* row = RowOf(c))
            WriteValue(*row, value);
}

CSlotBinding& CBindings::Add(const char* name, CXBmpSlider* slider, QLabel* text,
                             std::function<std::vector<int>()> channels) {
    CSlotBinding b;
    b.pSlider = slider;
    b.pText = text;
    b.pSetting = FindSetting(name);
    Q_ASSERT_X(b.pSetting, "CBindings::Add", name);
    b.channels = std::move(channels);
    if (slider && b.pSetting)
        slider->SetRange(b.pSetting->nMin, b.pSetting->nMax);
    m_bindings.push_back(std::move(b));
    return m_bindings.back();
}

const CSlotBinding* CBindings::Find(int id) const {
    for (const CSlotBinding& b : m_bindings)
        if (b.pSlider && CtrlId(b.pSlider) == id)
            return &b;
    return nullptr;
}

bool CBindings::Apply(int id, int pos) const {
    const CSlotBinding* b = Find(id);
    if (!b)
        return false;
    b->Apply(pos);
    return true;
}

void CBindings::Refresh(int channel) const {
    for (const CSlotBinding& b : m_bindings)
        b.Refresh(channel);
}
