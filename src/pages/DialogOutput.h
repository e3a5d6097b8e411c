// The output page: one output channel's equaliser and crossover, mixer sends, delay and compressor,
// and the mute, phase, link and role of all eight channels. Edits of the shown channel go to every
// linked channel as well; mute, phase and role act on their own channel only.
#pragma once

#include "pages/Page.h"
#include "pages/PageHelpers.h"
#include "pages/SubPageHelpers.h"

#include <array>
#include <memory>
#include <vector>

class CEqBandEditor;
class CEqPanel;
class CXBmpSlider;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
struct EqBand;

class CDialogOutput : public CPage {
    Q_OBJECT
public:
    // Templates of the pages behind buttons 1073, 1074, 1075.
    static constexpr int kBandCount = 13;   // bands 0..9 and the crossover companions 10..12
    static constexpr int kMaxLoadType = 31; // a stored type above this loads as off

    // Control ids of the template.
    static constexpr std::array<int, 8> kChannelButtonIds = CChannelButtonRow::kChannelIds;
    static constexpr std::array<int, 8> kMuteIds = {1045, 1047, 1048, 1049, 1050, 1051, 1052, 1053};
    static constexpr std::array<int, 8> kPhaseIds = {1054, 1055, 1056, 1057, 1058, 1059, 1060, 1061};
    static constexpr std::array<int, 8> kLinkIds = {1062, 1063, 1064, 1065, 1066, 1067, 1068, 1080};
    static constexpr std::array<int, 8> kRoleIds = {1217, 1218, 1219, 1220, 1221, 1222, 1223, 1224};
    static constexpr std::array<int, 4> kMixIds = {1041, 1042, 1043, 1044};
    static constexpr std::array<int, 4> kMixTextIds = {1127, 1128, 1129, 1130};
    static constexpr std::array<int, 4> kMixLabelIds = {1123, 1124, 1125, 1126};
    enum : int {
        IDC_BTN_LOCATION = 1073,
        IDC_BTN_DELAY = 1074,
        IDC_BTN_COMP = 1075,
        IDC_BANNER = 1258,
        IDC_EQ_PANEL = 1040,
        IDC_DELAY_SWITCH = 1293,
        IDC_DELAY_HF = 1190,
        IDC_DELAY_WHOLE = 1191,
        IDC_SPLIT = 1014,
        IDC_SPLIT_TEXT = 1008,
        IDC_DELAY = 1019,
        IDC_DELAY_TEXT = 1038,
        IDC_COMP_SWITCH = 1081,
        IDC_THRESHOLD = 1015,
        IDC_RATIO = 1016,
        IDC_ATTACK = 1017,
        IDC_RELEASE = 1018,
        IDC_THRESHOLD_TEXT = 1225,
        IDC_RATIO_TEXT = 1226,
        IDC_ATTACK_TEXT = 1227,
        IDC_RELEASE_TEXT = 1228,
        IDC_THRESHOLD_LABEL = 1005,
        IDC_RATIO_LABEL = 1007,
        IDC_ATTACK_LABEL = 1006,
        IDC_RELEASE_LABEL = 1002,
    };

    // `channel` -1 opens the channel last shown.
    CDialogOutput(const PageContext& context, int channel, QWidget* parent = nullptr);
    explicit CDialogOutput(int channel, QWidget* parent = nullptr);
    ~CDialogOutput() override;

    // Shows channel c (0..7): texts, role lists and every control reloaded.
    void SelectChannel(int c);
    int CurrentChannel() const { return m_nChannel; }

    // ---- CPage ------------------------------------------------------------------------------------
    void Refresh() override;
    void ReloadTexts() override;
    bool HasEq() const override { return true; }
    bool EqBypassed() const override;
    void ToggleEqBypass() override;
    void ResetEq() override;
    void PickBand(int band) override;
    void Select(int channel) override { SelectChannel(channel); }

    // The shown channel and every linked channel, ascending.
    std::vector<int> LinkedSet() const;

    // The band writer: band `band` as `r` holds it goes to every channel of the linked set; band 9
    // takes the panel's crossover companions 10..12 along.

    CEqPanel* EqPanel() const { return m_pEqPanel; }
    CEqBandEditor* BandEditor() const { return m_pEditor; }
    int SelectedBand() const;

signals:
    // A channel was selected; the application remembers it for the next time the page opens.
    void ChannelSelected(int channel);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void LayoutControls();

    void FillRoleLists();
    void UpdateBanner();
    void UpdateDelayEnables();
    void SetEditorHooks();

    void OnSliderPos(int id, int pos);
    void OnMute(int channel, bool checked);
    void OnPhase(int channel, bool checked);
    void OnRole(int channel, int role);
    void OnCompSwitch(bool checked);
    void OnCompSlider(int id, int value);
    void OnDelaySwitch(bool checked);
    void OnDelayMode(int whole);
    void OnSplit(int index);
    void OnDelay(int value);

    int m_nChannel = 0;
    bool m_bGridHeightKept = false;
    int m_nGridHeight = 0;

    CEqPanel* m_pEqPanel = nullptr;
    CEqBandEditor* m_pEditor = nullptr; // band grid and band editor, beside the panel
    QLabel* m_pBanner = nullptr;
    std::unique_ptr<CChannelButtonRow> m_pRow;
    CBindings m_bindings;
    std::array<QAbstractButton*, 8> m_pChannelButtons{};
    std::array<QAbstractButton*, 3> m_pPageButtons{};
    std::array<CXBmpSlider*, 4> m_pMix{};
    std::array<QLabel*, 4> m_pMixText{};
    std::array<QLabel*, 4> m_pMixLabel{};
    std::array<QCheckBox*, 8> m_pMute{};
    std::array<QCheckBox*, 8> m_pPhase{};
    std::array<QCheckBox*, 8> m_pLink{};
    std::array<QComboBox*, 8> m_pRole{};
    QGroupBox* m_pMixGroup = nullptr;
    QGroupBox* m_pDelayGroup = nullptr;
    QGroupBox* m_pCompGroup = nullptr;
    QCheckBox* m_pDelaySwitch = nullptr;
    QRadioButton* m_pDelayHf = nullptr;
    QRadioButton* m_pDelayWhole = nullptr;
    CXBmpSlider* m_pSplit = nullptr;
    QLabel* m_pSplitText = nullptr;
    CXBmpSlider* m_pDelay = nullptr;
    QLabel* m_pDelayText = nullptr;
    QCheckBox* m_pCompSwitch = nullptr;
    CCompSliders m_comp; // threshold, ratio, attack, release
    std::array<QLabel*, 4> m_pCompText{};
    std::array<QLabel*, 4> m_pCompLabel{};
};
