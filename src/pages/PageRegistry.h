// The one table of pages and tool windows: template id, the name `--page` takes, where it is shown,
// how the shell opens it, and the factory that makes it. Page creation, the tool-window opener, the
// ribbon, `--page` and its help, and the tests all go through it; a new page is one class and one row.
#pragma once

#include "ui/Templates.h"

#include <QString>
#include <QStringList>

#include <span>

class CPage;
class QWidget;
struct PageContext;
struct PageState;

enum class PageHost {
    MainView,   // replaces the page in the main view
    ToolWindow, // a modeless window of its own, one instance
};

// How the shell treats a page beyond showing it.
enum PageFlag : unsigned {
    kPageStart = 1u << 0,         // the page the main view opens with
    kPageNeedsDevice = 1u << 1,   // its ribbon button does nothing while no device is connected
    kPageAsksForDevice = 1u << 2, // its ribbon button opens it offline too, saying to connect first
    kPageMovesVolumes = 1u << 3,  // it moves the live volumes: the strip reads them when it closes
};

// The ribbon category whose tab opens the page.
enum class PageCategory { None, Input, Output };

using PageFactory = CPage* (*)(const PageContext& context, int arg, QWidget* parent);

struct PageRow {
    int nTemplate;
    const char* szName; // for --page
    PageHost host;
    unsigned flags; // PageFlag bits
    PageCategory category;
    int nKey; // a key (Qt::Key) that opens it anywhere in the console; 0 for none
    PageFactory factory;
};

std::span<const PageRow> PageRows();
const PageRow* FindPage(int nTemplate);
const PageRow* FindPageByName(const QString& name);
QStringList PageNames();
// The names of the rows shown by `host`, in table order.
QStringList PageNames(PageHost host);
// The first row with the flag, the category or the key; nullptr for none.
const PageRow* FindPageWith(PageFlag flag);
const PageRow* FindPageOfCategory(PageCategory category);
const PageRow* FindPageByKey(int key);
// The argument a category's tab opens its page with: the first entry, or the remembered channel.
int CategoryArg(const PageRow& row, const PageState& state);

// Makes the page of `nTemplate` opened with `arg` (-1: none); nullptr for a template with no row.
CPage* CreatePage(int nTemplate, const PageContext& context, int arg, QWidget* parent);
