// The machine settings: power-on and maximum volumes, how the volumes are kept across power cycles,
// the power-on memory mode, and the factory recall of a memory mode. Edits go to the working copy of
// the machine record; Apply makes it the live copy and sends it.
#pragma once

#include "pages/Page.h"

#include <array>

class CPageButton;
class CXBmpSlider;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class CSetDlg : public CPage {
    Q_OBJECT
public:
    enum : int {
        IDC_MIC_START = 1014,
        IDC_MUSIC_START = 1015,
        IDC_MIC_MAX = 1016,
        IDC_MUSIC_MAX = 1019,
        IDC_MIC_START_TEXT = 1145,
        IDC_MUSIC_START_TEXT = 1146,
        IDC_MIC_MAX_TEXT = 1147,
        IDC_MUSIC_MAX_TEXT = 1150,
        IDC_MIC_START_LABEL = 1005,
        IDC_MUSIC_START_LABEL = 1002,
        IDC_MIC_MAX_LABEL = 1006,
        IDC_MUSIC_MAX_LABEL = 1131,
        IDC_MIC_START_ON = 1039,
        IDC_MUSIC_START_ON = 1040,
        IDC_BY_POWER = 1190,
        IDC_BY_MODE = 1191,
        IDC_POWER_ON_MODE = 1134,
        IDC_RESET_M1 = 32823,
        IDC_APPLY = 1073,
        IDC_CANCEL = 2,
    };
    static constexpr uint8_t kInvalid = 255; // a power-on volume not set

    CSetDlg(const PageContext& context, int arg, QWidget* parent = nullptr);

    // Takes the working copy from the live copy and shows it.
    void Refresh() override;
    void ReloadTexts() override;

    void Apply();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OnSliderPos(int id, int pos);
    void OnStartVolume(int which, int pos); // 0 microphone, 1 music
    void OnMaxVolume(int which, int pos);
    void OnStartOn(int which, bool checked);
    void OnSaveMode(int value);
    void OnPowerOnMode(int index);
    void OnFactoryMode(int id);
    void ShowStart(int which, int byte);
    void ShowModeButtons();

    std::array<CXBmpSlider*, 2> m_pStart{};
    std::array<CXBmpSlider*, 2> m_pMax{};
    std::array<QLabel*, 2> m_pStartText{};
    std::array<QLabel*, 2> m_pMaxText{};
    std::array<QLabel*, 2> m_pStartLabel{};
    std::array<QLabel*, 2> m_pMaxLabel{};
    std::array<QCheckBox*, 2> m_pStartOn{};
    QRadioButton* m_pByPower = nullptr;
    QRadioButton* m_pByMode = nullptr;
    QComboBox* m_pPowerOnMode = nullptr;
    std::array<CPageButton*, 4> m_pReset{};
};
