// The one table of pages and tool windows: template id, the name `--page` takes, where it is shown,
// and the factory that makes it. Page creation, the tool-window opener, `--page` and the tests all
// go through it; a new page is one class and one row.
#pragma once

#include <QString>
#include <QStringList>

#include <span>

class CPage;
class QWidget;
struct PageContext;

constexpr int kTemplateAbout = 100;
constexpr int kTemplateMusicPage = 313;
constexpr int kTemplateDelayPage = 333;
constexpr int kTemplateSoundFieldPage = 334;
constexpr int kTemplateMachine = 335;
constexpr int kTemplateCompressorPage = 346;
constexpr int kTemplateRemote = 373;
constexpr int kTemplateOutputPage = 385;
constexpr int kTemplateEffectsPage = 421;
constexpr int kTemplatePlugs = 479;
constexpr int kTemplateMusicInput = 512;
constexpr int kTemplateFeatures = 513;

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
