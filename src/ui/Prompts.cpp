#include "ui/Prompts.h"

#include <QFileDialog>

namespace {
PromptHooks g_hooks;
const char* const kModeFilter = "Mode Files (*.vm3zt)";
} // namespace

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
