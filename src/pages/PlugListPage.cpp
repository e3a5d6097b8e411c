#include "pages/PlugListPage.h"

#include "pages/PlugParts.h"
#include "plugs/PlugModel.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

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

CDlgZwaveList::CDlgZwaveList(QWidget* parent) : QWidget(parent) {
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
    auto* remove = PlugButton(this, 1075, QString::fromUtf8("删除插座"));
    auto* add = PlugButton(this, 1076, QString::fromUtf8("添加插座"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(remove);
    buttons->addWidget(add);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_pList, 1);
    box->addLayout(buttons);

    connect(m_pList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit ControlRequested(item->data(Qt::UserRole).toInt()); });
    connect(m_pList, &QWidget::customContextMenuRequested, this, &CDlgZwaveList::OnContextMenu);
    connect(remove, &QPushButton::clicked, this, &CDlgZwaveList::ExcludeRequested);
    connect(add, &QPushButton::clicked, this, &CDlgZwaveList::AddRequested);
}

void CDlgZwaveList::OnContextMenu(const QPoint& pos) {
    if (QListWidgetItem* item = m_pList->itemAt(pos)) {
        m_pList->setCurrentItem(item);
        emit EditRequested(item->data(Qt::UserRole).toInt());
    }
}

void CDlgZwaveList::Refresh() {
    m_pList->clear();
    for (int n : PresentPlugs()) {
        auto* item = new QListWidgetItem(QIcon(PlugIcon(PlugKind(n))), PlugLabel(n), m_pList);
        item->setData(Qt::UserRole, n);
    }
}
