// The templates of the pages and tool windows, and the page factory of the main view.
#pragma once

class CPage;
class QWidget;

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

// Creates the page of `nTemplate` (the output page on the remembered channel); pages that are not
// part of the console yet come up as an empty page of the right template.
CPage* CreatePage(int nTemplate, QWidget* parent);
