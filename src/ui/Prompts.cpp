#include "ui/Prompts.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QSpacerItem>

namespace {
PromptHooks g_hooks;
const char* const kModeFilter = "Mode Files (*.vm3zt)";

// The window icon and the minimise, maximise and close buttons of a title bar, and its margins.
constexpr int kTitleBarReserve = 150;
constexpr const char* kFittedProperty = "m7qCaptionFitted";

// Widens a message box to its caption as it is shown: the box sizes itself to its text only.
class CCaptionFitter : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* box = qobject_cast<QMessageBox*>(watched);
                box && !box->property(kFittedProperty).toBool()) {
                box->setProperty(kFittedProperty, true);
                if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
                    grid->addItem(new QSpacerItem(CaptionWidth(box->windowTitle()), 0, QSizePolicy::Fixed),
                                  grid->rowCount(), 0, 1, grid->columnCount());
            }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

int CaptionWidth(const QString& caption) {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true); // window managers draw titles bold
    return QFontMetrics(font).horizontalAdvance(caption) + kTitleBarReserve;
}

void FitMessageBoxesToCaptions() {
    static CCaptionFitter* fitter = nullptr;
    if (fitter || !qApp)
        return;
    fitter = new CCaptionFitter;
    fitter->setParent(qApp);
    qApp->installEventFilter(fitter);
}

void SetPromptHooks(PromptHooks hooks) {
    g_hooks = std::move(hooks);
}

QMessageBox::StandardButton AskBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                   const QString& text, QMessageBox::StandardButtons buttons) {
    if (g_hooks.ask)
        return g_hooks.ask(icon, caption, text, buttons);
    QMessageBox box(icon, caption, text, buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

QString AskFileToOpen(QWidget* parent, const QString& filter) {
    if (g_hooks.file)
        return g_hooks.file(false, QString());
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

QString AskFileToSave(QWidget* parent, const QString& filter, const QString& suffix,
                      const QString& defaultName) {
    if (g_hooks.file)
        return g_hooks.file(true, defaultName);
    QFileDialog dlg(parent);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilter(filter);
    dlg.setDefaultSuffix(suffix);
    dlg.selectFile(defaultName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}

QString AskModeFileToOpen(QWidget* parent) {
    return AskFileToOpen(parent, QString::fromLatin1(kModeFilter));
}

QString AskModeFileToSave(QWidget* parent, const QString& defaultName) {
    return AskFileToSave(parent, QString::fromLatin1(kModeFilter), QStringLiteral("vm3zt"), defaultName);
}

QString WriteFailureText(int err, const QString& path) {
    return QStringLiteral("Errcode=%1,Can't write to file:\n%2\nProbaby it is write protected.")
        .arg(err)
        .arg(path);
}

void ShowWriteFailure(QWidget* parent, int err, const QString& path) {
    AskBox(parent, QMessageBox::Warning, QStringLiteral("Can't write to file"), WriteFailureText(err, path),
           QMessageBox::Ok);
}
