// Per-user settings under the key "M7Q V1.0": language, visual style and the recent mode files.
#pragma once

#include <QString>
#include <QStringList>

constexpr int kRecentFileCount = 10;
constexpr int kApplicationLook = 215;

int ReadLanguageSetting();
void WriteLanguageSetting(int language);
int ReadApplicationLook();
void WriteApplicationLook(int look);

QStringList RecentFiles();
// Puts `path` first, dropping an older entry of the same file and anything past ten.
void AddRecentFile(const QString& path);
