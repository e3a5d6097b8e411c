// Small parts the smart-plug window, its pages and its dialogs share: notices, plug names and the
// buttons and labels they are built of.
#pragma once

#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;
struct PlugText;

constexpr int kPlugNoticeMs = 1100;

void PlugNotice(const char* zh, const char* en);
void PlugNotice(const PlugText& text);
// The name plug memory keeps for `node`.
QString PlugLabel(int node);
QPushButton* PlugButton(QWidget* parent, int id, const QString& text = QString());
QLabel* PlugLabelCtrl(QWidget* parent, int id, const QString& text = QString());
// A small dialog of the window: its own template, the page colour behind it.
void StylePlugDialog(QDialog* dlg, int nTemplate);
