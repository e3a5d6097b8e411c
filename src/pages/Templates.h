// The dialog templates of the pages and tool windows: their ids are what the language files key on.
#pragma once

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
