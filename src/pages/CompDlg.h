// The compressor page: one output channel's compressor, chosen from a list, with its transfer curve.
// A second view of the four values the output page edits; changes reach the chosen channel only.
#pragma once

#include "pages/Page.h"
#include "pages/PageHelpers.h"
#include "pages/SubPageHelpers.h"

#include <array>
#include <memory>

class CCompressPanelPlus;
class CXBmpSlider;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class CCompDlg : public CPage {
    Q_OBJECT
public:
    enum : int {
        IDC_CHANNEL_LIST = 1134,
        IDC_CHANNEL_LABEL = 1220,
        IDC_COMP_ON = 1045,
        IDC_PANEL = 1125,
    };
    static constexpr std::array<int, 4> kSliderIds = {1014, 1015, 1016, 1017};
    static constexpr std::array<int, 4> kValueIds = {1038, 1039, 1040, 1041};
    static constexpr std::array<int, 4> kLabelIds = {1005, 1007, 1006, 1002};

    // The page opens on channel 0 whatever it is opened with (the list chooses).
    CCompDlg(const PageContext& context, int channel, QWidget* parent = nullptr);
    ~CCompDlg() override;

    void Refresh() override;
    void ReloadTexts() override;

    int Channel() const { return m_nChannel; }
    CCompressPanelPlus* Panel() const { return m_pPanel; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutControls();
    void FillChannelList();
    void OnSlider(int id, int pos);
    void OnCompOn(bool on);
    void OnChannel(int index);

    int m_nChannel = 0;
    int m_nOpenedWith = 0;
    std::unique_ptr<CChannelButtonRow> m_pRow;
    CCompressPanelPlus* m_pPanel = nullptr;
    QComboBox* m_pList = nullptr;
    QLabel* m_pListLabel = nullptr;
    QCheckBox* m_pOn = nullptr;
    CCompSliders m_comp;
    std::array<QLineEdit*, 4> m_pValue{};
    std::array<QLabel*, 4> m_pLabel{};
};
