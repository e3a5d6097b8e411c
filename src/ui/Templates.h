// The dialog templates of the pages, tool windows and dialogs: their ids are what the language files
// key on. Every id is written here once; classes and the page registry name them.
#pragma once

constexpr int kTemplateAbout = 100;
constexpr int kTemplateMusicPage = 313;
constexpr int kTemplateDelayPage = 333;
constexpr int kTemplateSoundFieldPage = 334;
constexpr int kTemplateMachine = 335;
constexpr int kTemplateProgress = 344;
constexpr int kTemplateCompressorPage = 346;
constexpr int kTemplateRemoteLearn = 372;
constexpr int kTemplateRemote = 373;
constexpr int kTemplateOutputPage = 385;
constexpr int kTemplateEffectsPage = 421;
constexpr int kTemplatePlugs = 479;
constexpr int kTemplatePlugEdit = 480;
constexpr int kTemplatePlugList = 481;
constexpr int kTemplateSceneEdit = 482;
constexpr int kTemplateDimmer = 484;
constexpr int kTemplateSwitch = 485;
constexpr int kTemplateMusicInput = 512;
constexpr int kTemplateFeatures = 513;
