// The features window: microphone boost, the music's low-frequency branch, the music compressor,
// subwoofer ducking while a microphone is in use, and the music AGC, whose controls are kept hidden
// but still load and work.
#pragma once

#include "pages/Page.h"
#include "pages/PageHelpers.h"
#include "pages/SubPageHelpers.h"

#include <QTimer>

#include <array>

class CXBmpSlider;
class QCheckBox;
class QGroupBox;
class QLabel;

class CloudnessDlg : public CPage {
    Q_OBJECT
public:
    enum : int {
        IDC_BOOST_ON = 1040,
        IDC_BOOST = 1043,
        IDC_BOOST_TEXT = 1006,
        IDC_LPF_FREQ = 1046,
        IDC_LPF_FREQ_TEXT = 1008,
        IDC_LPF_DELAY = 1047,
        IDC_LPF_DELAY_TEXT = 1004,
        IDC_LPF_GAIN = 1048,
        IDC_LPF_GAIN_TEXT = 1009,
        IDC_COMP_ON = 1044,
        IDC_THRESHOLD = 1051,
        IDC_RATIO = 1052,
        IDC_ATTACK = 1053,
        IDC_RELEASE = 1054,
        IDC_THRESHOLD_TEXT = 1014,
        IDC_RATIO_TEXT = 1015,
        IDC_ATTACK_TEXT = 1016,
        IDC_RELEASE_TEXT = 1017,
        IDC_DUCK_ON = 1042,
        IDC_DUCK = 1050,
        IDC_DUCK_TEXT = 1011,
        IDC_AGC_GROUP = 1012,
        IDC_AGC_ON = 1041,
        IDC_AGC = 1049,
        IDC_AGC_TEXT = 1010,
        IDC_AGC_LABEL = 1132,
        IDC_LEVEL_TEXT = 1232,
    };
    static constexpr int kLevelMs = 300;

    CloudnessDlg(const PageContext& context, int arg, QWidget* parent = nullptr);

    void Refresh() override;
    void ReloadTexts() override;

    // The 300 ms tick: the music input level.
    void ShowLevel();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnSliderPos(int id, int pos);
    void OnBoostOn(bool checked);
    void OnBoost(int pos);
    void OnAgcOn(bool checked);
    void OnAgc(int pos);
    void OnCompSlider(int id, int pos);
    void EnableAgc(bool on);

    CBindings m_bindings;
    QCheckBox* m_pBoostOn = nullptr;
    CXBmpSlider* m_pBoost = nullptr;
    QLabel* m_pBoostText = nullptr;
    QCheckBox* m_pCompOn = nullptr;
    CCompSliders m_comp;
    std::array<QLabel*, 4> m_pCompText{};
    QCheckBox* m_pDuckOn = nullptr;
    QGroupBox* m_pAgcGroup = nullptr;
    QCheckBox* m_pAgcOn = nullptr;
    CXBmpSlider* m_pAgc = nullptr;
    QLabel* m_pAgcText = nullptr;
    QLabel* m_pAgcLabel = nullptr;
    QLabel* m_pLevelText = nullptr;
    QTimer m_timer;
};
