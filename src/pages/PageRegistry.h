// The one table of pages and tool windows: template id, the name `--page` takes, where it is shown,
// and the factory that makes it. Page creation, the tool-window opener, `--page` and the tests all
// go through it; a new page is one class and one row.
#pragma once

#include "pages/Templates.h"

#include <QString>
#include <QStringList>

#include <span>

class CPage;
class QWidget;
struct PageContext;

enum class PageHost {
    MainView,   // replaces the page in the main view
    ToolWindow, // a modeless window of its own, one instance
};

using PageFactory = CPage* (*)(const PageContext& context, int arg, QWidget* parent);

struct PageRow {
    int nTemplate;
    const char* szName; // for --page
    PageHost host;
    PageFactory factory;
};

std::span<const PageRow> PageRows();
const PageRow* FindPage(int nTemplate);
const PageRow* FindPageByName(const QString& name);
QStringList PageNames();

// Makes the page of `nTemplate` opened with `arg` (-1: none); nullptr for a template with no row.
CPage* CreatePage(int nTemplate, const PageContext& context, int arg, QWidget* parent);
