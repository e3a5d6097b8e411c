#include "pages/PlugParts.h"

#include "plugs/PlugFlows.h"
#include "plugs/PlugModel.h"
#include "ui/Colors.h"
#include "ui/Language.h"
#include "ui/Notices.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

void PlugNotice(const char* zh, const char* en) {
    ShowInfoPopup(Tr(zh, en), kPlugNoticeMs);
}

void PlugNotice(const PlugText& text) {
    ShowInfoPopup(QString::fromUtf8(text.In(Language())), kPlugNoticeMs);
}

QString PlugLabel(int node) {
    return QString::fromStdU16String(PlugName(node));
}

QPushButton* PlugButton(QWidget* parent, int id, const QString& text) {
    auto* b = new QPushButton(text, parent);
    SetCtrlId(b, id);
    b->setAutoDefault(false);
    return b;
}

QLabel* PlugLabelCtrl(QWidget* parent, int id, const QString& text) {
    auto* l = new QLabel(text, parent);
    SetCtrlId(l, id);
    return l;
}

void StylePlugDialog(QDialog* dlg, int nTemplate) {
    SetTemplateId(dlg, nTemplate);
    dlg->setAutoFillBackground(true);
    QPalette pal = dlg->palette();
    pal.setColor(QPalette::Window, PageColor());
    dlg->setPalette(pal);
}
