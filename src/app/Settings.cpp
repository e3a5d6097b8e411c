#include "app/Settings.h"

#include <QFileInfo>
#include <QSettings>

namespace {
QSettings Store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("M7Q V1.0"));
}
} // namespace

int ReadLanguageSetting() {
    return Store().value(QStringLiteral("language"), 0).toInt() == 1 ? 1 : 0;
}

void WriteLanguageSetting(int language) {
    Store().setValue(QStringLiteral("language"), language);
}

int ReadApplicationLook() {
    return Store().value(QStringLiteral("ApplicationLook"), kApplicationLook).toInt();
}

void WriteApplicationLook(int look) {
    Store().setValue(QStringLiteral("ApplicationLook"), look);
}

QStringList RecentFiles() {
    QSettings s = Store();
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString f = s.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!f.isEmpty())
            files << f;
    }
    return files;
}

void AddRecentFile(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(full);
    files.prepend(full);
    while (files.size() > kRecentFileCount)
        files.removeLast();
    QSettings s = Store();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QStringLiteral("Recent File List/File%1").arg(i);
        if (i <= files.size())
            s.setValue(key, files[i - 1]);
        else
            s.remove(key);
    }
}
