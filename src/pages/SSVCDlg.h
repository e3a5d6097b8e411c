// The sound-field page: the listener and eight speakers in a room drawn to scale. The distances give
// each speaker's output channel its surround level; the page also holds the eight output levels and a
// "Locate" switch per channel.
#pragma once

#include "pages/Page.h"
#include "pages/PageHelpers.h"

#include <array>
#include <memory>

class CPageButton;
class CSSVolumePanel;
class CSpinButtons;
class CValueEdit;
class CXBmpSlider;
class QCheckBox;
class QLabel;

class CSSVCDlg : public CPage {
    Q_OBJECT
public:
    static constexpr std::array<int, 8> kLocateIds = {1231, 1232, 1233, 1234, 1235, 1236, 1240, 1241};
    static constexpr std::array<int, 8> kRoleIds = {1123, 1124, 1125, 1126, 1127, 1128, 1129, 1130};
    static constexpr std::array<int, 8> kLevelIds = {1041, 1042, 1043, 1044, 1045, 1046, 1047, 1048};
    static constexpr std::array<int, 8> kLevelTextIds = {1131, 1132, 1133, 1134, 1135, 1136, 1137, 1138};
    enum : int {
        IDC_RESET = 1216,
        IDC_MODIFY = 1239,
        IDC_CENTER = 1238,
        IDC_ROOM_W = 1038,
        IDC_ROOM_L = 1039,
        IDC_ROOM_W_SPIN = 1242,
        IDC_ROOM_L_SPIN = 1243,
        IDC_LISTENER_X = 1230,
        IDC_LISTENER_Y = 1049,
        IDC_LISTENER_X_SPIN = 1244,
        IDC_LISTENER_Y_SPIN = 1245,
        IDC_SPEAKER_X0 = 1050,    // speaker k: x 1050 + 2k, y 1051 + 2k
        IDC_SPEAKER_SPIN0 = 1246, // speaker k: x 1246 + 2k, y 1247 + 2k
        IDC_PANEL = 1237,
    };

    CSSVCDlg(const PageContext& context, int channel, QWidget* parent = nullptr);
    ~CSSVCDlg() override;

    void Refresh() override;
    void ReloadTexts() override;

    // Enter in a position box, or a spin step (`afterEnter` false): the item of box `editId`.
    void EditPosition(int editId, bool afterEnter);
    // The level of speaker 0..7 with the listener where the panel has it: 3 - 3 d dB.
    float SpeakerLevel(int k) const;
    static float LevelForDistance(float dx, float dy);
    CSSVolumePanel* Panel() const { return m_pPanel; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void LayoutControls();
    void ReloadRoleLabels();
    void RefreshGeometry();
    void SetSpinRanges(int width, int length);
    void ShowItem(int item, float x, float y);
    void SetItemSpins(int item, float x, float y);
    void ApplySpeakerLevel(int k);
    void ApplyAllLevels();

    void OnLocate(int c, bool on);
    void OnLevel(int c, int pos);
    void OnRoomChange(bool fromModify);
    void OnRoomSpin(int which, int pos, int delta);
    void OnPositionSpin(int editId, int pos, int delta);
    void OnItem(int id, float x, float y);
    void OnCenter();
    void OnReset();

    std::unique_ptr<CChannelButtonRow> m_pRow;
    CSSVolumePanel* m_pPanel = nullptr;
    std::array<QCheckBox*, 8> m_pLocate{};
    std::array<QLabel*, 8> m_pRole{};
    std::array<CXBmpSlider*, 8> m_pLevel{};
    std::array<QLabel*, 8> m_pLevelText{};
    std::array<CValueEdit*, 2> m_pRoom{};
    std::array<CSpinButtons*, 2> m_pRoomSpin{};
    // Item 0 is the listener, 1..8 the speakers; [item][0] x, [item][1] y.
    std::array<std::array<CValueEdit*, 2>, 9> m_pPos{};
    std::array<std::array<CSpinButtons*, 2>, 9> m_pPosSpin{};
    CPageButton* m_pReset = nullptr;
    CPageButton* m_pModify = nullptr;
    CPageButton* m_pCenter = nullptr;
    std::array<QLabel*, 6> m_pStatic{};
};
