#include "app/AboutDlg.h"

#include "model/ParamStore.h"
#include "sync/Sync.h"
#include "ui/Colors.h"
#include "ui/Language.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent, CConnection* connection) : QDialog(parent) {
    setWindowTitle(Tr("关于 M7Q", "About M7Q"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PageColor());
    setPalette(pal);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/resources/icons/m7q-console.svg")).pixmap(48, 48));
    auto* title = new QLabel(QStringLiteral("M7Q v1.4.4"), this);
    auto* build = new QLabel(QStringLiteral("Build " __DATE__), this);
    m_pModule = new QLabel(this);
    SetCtrlId(m_pModule, 1005);
    m_pMcu = new QLabel(this);
    SetCtrlId(m_pMcu, 1007);
    m_pDsp = new QLabel(this);
    SetCtrlId(m_pDsp, 1006);
    m_pPeak = new QCheckBox(QStringLiteral("Peak"), this);
    SetCtrlId(m_pPeak, 1045);
    m_pPeak->setChecked(!connection || connection->PeakPoll());
    if (connection)
        connect(m_pPeak, &QCheckBox::toggled, this, [connection](bool on) { connection->SetPeakPoll(on); });
    for (QWidget* w : {static_cast<QWidget*>(m_pModule), static_cast<QWidget*>(m_pMcu),
                       static_cast<QWidget*>(m_pDsp), static_cast<QWidget*>(m_pPeak)})
        w->hide();

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    SetCtrlId(ok, 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setDefault(true);

    auto* text = new QVBoxLayout;
    for (QWidget* w :
         {static_cast<QWidget*>(title), static_cast<QWidget*>(build), static_cast<QWidget*>(m_pModule),
          static_cast<QWidget*>(m_pMcu), static_cast<QWidget*>(m_pDsp), static_cast<QWidget*>(m_pPeak)})
        text->addWidget(w);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(text, 1);
    auto* box = new QVBoxLayout(this);
    box->addLayout(row);
    box->addWidget(ok, 0, Qt::AlignRight);

    auto lock = LockStore();
    if (g_Param.bConnected) {
        auto text = [](const auto& buf) {
            return QString::fromStdString(ToUtf8(U16(buf.data(), buf.size())));
        };
        m_pModule->setText(QStringLiteral("Module:%1").arg(text(g_Device.szModel)));
        m_pMcu->setText(QStringLiteral("MCU Ver:%1 CMD Ver:%2")
                            .arg(text(g_Device.szMcuVersion))
                            .arg(int(g_Device.nCmdVersion), 2, 10, QLatin1Char('0')));
        m_pDsp->setText(QStringLiteral("DSP Ver:%1").arg(text(g_Device.szDspVersion)));
        m_pMcu->show();
        m_pDsp->show();
    }
}

void CAboutDlg::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F11) {
        if ((event->modifiers() & Qt::ControlModifier) && (event->modifiers() & Qt::ShiftModifier)) {
            m_pModule->show();
            m_pPeak->show();
        }
        event->accept();
        return;
    }
    QDialog::keyReleaseEvent(event);
}
