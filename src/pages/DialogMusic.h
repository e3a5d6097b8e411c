// The music page, the console's input page: microphone routing, gates, volumes and live levels; the
// effect parameters and the two small effect EQ pictures of the chosen set; the main equaliser of
// the mode (Mic A, Mic B or Music); the music levels and the format of the incoming stream.
#pragma once

#include "pages/Page.h"
#include "pages/PageHelpers.h"

#include <QTimer>

#include <array>

class CEffectParamList;
class CEqBandEditor;
class CEqPanel;
class CPeakMeterCtrl;
class CSmallEqPanel;
class CXBmpSlider;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QRadioButton;

class CDialogMusic : public CPage {
    Q_OBJECT
public:
    static constexpr int kBandCount = 10;
    enum Mode : int { MODE_MIC_A = 0, MODE_MIC_B = 1, MODE_MUSIC = 2 };
    static constexpr int kLiveMs = 300;

    static constexpr std::array<int, 3> kModeIds = {1068, 1069, 1070};
    static constexpr std::array<int, 4> kMicLabelIds = {1185, 1186, 1187, 1188};
    static constexpr std::array<int, 4> kRouteAIds = {1190, 1192, 1194, 1196};
    static constexpr std::array<int, 4> kRouteBIds = {1191, 1193, 1195, 1197};
    static constexpr std::array<int, 4> kGateIds = {1052, 1053, 1054, 1055};
    static constexpr std::array<int, 4> kGateTextIds = {1152, 1154, 1156, 1158};
    static constexpr std::array<int, 4> kGateCaptionIds = {1153, 1155, 1157, 1159};
    static constexpr std::array<int, 4> kVolumeIds = {1056, 1057, 1058, 1059};
    static constexpr std::array<int, 4> kVolumeTextIds = {1160, 1162, 1164, 1166};
    static constexpr std::array<int, 4> kVolumeCaptionIds = {1161, 1163, 1165, 1167};
    // Microphones 1..4, then the two music channels: live bytes 0..5.
    static constexpr std::array<int, 6> kMeterIds = {1170, 1171, 1172, 1173, 1168, 1169};
    enum : int {
        IDC_EQ_PANEL = 1040,
        IDC_SOURCE = 1060,
        IDC_SOURCE_TEXT = 1174,
        IDC_SOURCE_CAPTION = 1175,
        IDC_REVERB_PANEL = 1144,
        IDC_ECHO_PANEL = 1143,
        IDC_REVERB_CAPTION = 1132,
        IDC_REVERB_HINT = 1146,
        IDC_ECHO_CAPTION = 1145,
        IDC_ECHO_HINT = 1189,
        IDC_MUSIC_GROUP = 1142,
        IDC_FORMAT = 1222,
    };

    // `mode` -1 opens Mic A.
    CDialogMusic(const PageContext& context, int mode, QWidget* parent = nullptr);
    ~CDialogMusic() override;

    int Mode() const { return m_nMode; }
    // The mode buttons: both mode values, then everything reloaded.
    void ChooseMode(int mode);
    // The four words of byte 7 of the live status.
    static QString FormatText(uint8_t formatByte);
    // One tick of the 300 ms timer: the six meters and the format text from the live status.
    void FeedLive();

    // ---- CPage ------------------------------------------------------------------------------------
    void Refresh() override;
    void ReloadTexts() override;
    // Parameter replies may change the bypass switch: the panel shows it as the status bar does.
    void RefreshLive(uint32_t regions) override;
    // Opened again with a mode (the Input category, the effect page's back button).
    void Select(int mode) override;
    bool HasEq() const override { return true; }
    bool EqBypassed() const override;
    void ToggleEqBypass() override;
    void ResetEq() override;
    void PickBand(int band) override;

    // The main equaliser of a mode.
    static int EqOfMode(int mode);

    CEqPanel* EqPanel() const { return m_pEqPanel; }
    CEqBandEditor* BandEditor() const { return m_pEditor; }
    CEffectParamList* EffectList() const { return m_pList; }
    CSmallEqPanel* ReverbPanel() const { return m_pReverb; }
    CSmallEqPanel* EchoPanel() const { return m_pEcho; }
    CPeakMeterCtrl* Meter(int i) const { return m_pMeter[i]; }
    CPageButton* ModeButton(int m) const { return m_pMode[m]; }
    QRadioButton* RouteRadio(int column, bool setA) const {
        return setA ? m_pRouteA[column] : m_pRouteB[column];
    }
    CXBmpSlider* GateSlider(int column) const { return m_pGate[column]; }
    CXBmpSlider* VolumeSlider(int column) const { return m_pVolume[column]; }
    CXBmpSlider* SourceSlider() const { return m_pSource; }
    QLabel* FormatLabel() const { return m_pFormat; }
    QTimer& LiveTimer() { return m_live; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void LayoutControls();
    void SetMode(int mode);
    void RefreshSmallPanels();
    int SourceSlot() const;
    void OnSliderPos(int id, int pos);
    void OnRoute(int column, bool setA);
    void OnSmallPanel(bool reverb);

    int m_nMode = MODE_MIC_A;
    CBindings m_bindings;
    std::array<CPageButton*, 3> m_pMode{};
    std::array<QLabel*, 4> m_pMicLabel{};
    std::array<QRadioButton*, 4> m_pRouteA{};
    std::array<QRadioButton*, 4> m_pRouteB{};
    std::array<QButtonGroup*, 4> m_pRouteGroup{};
    std::array<CXBmpSlider*, 4> m_pGate{};
    std::array<QLabel*, 4> m_pGateText{};
    std::array<QLabel*, 4> m_pGateCaption{};
    std::array<CXBmpSlider*, 4> m_pVolume{};
    std::array<QLabel*, 4> m_pVolumeText{};
    std::array<QLabel*, 4> m_pVolumeCaption{};
    std::array<CPeakMeterCtrl*, 6> m_pMeter{};
    CXBmpSlider* m_pSource = nullptr;
    QLabel* m_pSourceText = nullptr;
    QLabel* m_pSourceCaption = nullptr;
    CEffectParamList* m_pList = nullptr;
    CSmallEqPanel* m_pReverb = nullptr;
    CSmallEqPanel* m_pEcho = nullptr;
    QLabel* m_pReverbCaption = nullptr;
    QLabel* m_pReverbHint = nullptr;
    QLabel* m_pEchoCaption = nullptr;
    QLabel* m_pEchoHint = nullptr;
    QGroupBox* m_pMusicGroup = nullptr;
    QLabel* m_pFormat = nullptr;
    CEqPanel* m_pEqPanel = nullptr;
    CEqBandEditor* m_pEditor = nullptr;
    QTimer m_live;
};
