// The delay page: time alignment of the eight outputs. Per channel an on switch, whole-channel or
// high-frequency delay with its split frequency, and the delay time in a box with spin buttons and as
// a marker on the delay chart. Every change is stored and sent at once.
#pragma once

#include "pages/Page.h"
#include "pages/PageHelpers.h"

#include <array>
#include <memory>

class CDelayPanel;
class CSpinButtons;
class CValueEdit;
class CXBmpSlider;
class QCheckBox;
class QLabel;
class QRadioButton;

class CDelayDlg : public CPage {
    Q_OBJECT
public:
    static constexpr std::array<int, 8> kSwitchIds = {1293, 1294, 1295, 1296, 1297, 1298, 1299, 1300};
    static constexpr std::array<int, 8> kHfIds = {1190, 1192, 1194, 1196, 1198, 1200, 1202, 1204};
    static constexpr std::array<int, 8> kWholeIds = {1191, 1193, 1195, 1197, 1199, 1201, 1203, 1205};
    static constexpr std::array<int, 8> kNameIds = {1123, 1124, 1125, 1126, 1131, 1135, 1132, 1136};
    static constexpr std::array<int, 8> kSplitIds = {1014, 1015, 1016, 1017, 1018, 1019, 1022, 1023};
    static constexpr std::array<int, 8> kFreqIds = {1008, 1009, 1010, 1011, 1012, 1013, 1020, 1021};
    static constexpr std::array<int, 8> kEditIds = {1038, 1039, 1040, 1041, 1042, 1043, 1044, 1045};
    static constexpr std::array<int, 8> kSpinIds = {1242, 1243, 1244, 1245, 1246, 1247, 1248, 1249};
    static constexpr int kPanelId = 1250;

    // `channel`: the output channel the row's page buttons carry on (-1: the one last shown).
    CDelayDlg(const PageContext& context, int channel, QWidget* parent = nullptr);
    ~CDelayDlg() override;

    void Refresh() override;
    void ReloadTexts() override;
    void Select(int channel) override;

    // Every way of changing a delay ends here: the value held to 1.5..100 ms is shown in the panel
    // and the box, and stored and sent when it differs from the store.
    void SetDelay(int c, float ms);
    CDelayPanel* Panel() const { return m_pPanel; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void LayoutControls();
    void EnableChannel(int c);
    void OnSwitch(int c, bool on);
    void OnMode(int c, int whole);
    void OnSplit(int c, int index);
    void OnSpin(int c, int pos, int delta);
    void OnEnter(int c);
    void OnDelayMoved(int c, float ms);

    int m_nChannel = 0;
    std::unique_ptr<CChannelButtonRow> m_pRow;
    CDelayPanel* m_pPanel = nullptr;
    std::array<QCheckBox*, 8> m_pSwitch{};
    std::array<QRadioButton*, 8> m_pHf{};
    std::array<QRadioButton*, 8> m_pWhole{};
    std::array<QLabel*, 8> m_pName{};
    std::array<CXBmpSlider*, 8> m_pSplit{};
    std::array<QLabel*, 8> m_pFreq{};
    std::array<CValueEdit*, 8> m_pEdit{};
    std::array<CSpinButtons*, 8> m_pSpin{};
};
