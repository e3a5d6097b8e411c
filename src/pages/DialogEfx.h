// The effect EQ page: one of the four effect equalisers (Reverb A, Reverb B, Echo A, Echo B) with
// the EQ panel and the shared band grid and editor; its back button returns to the music page in
// the mode that page last showed.
#pragma once

#include "pages/Page.h"

class CEqBandEditor;
class CEqPanel;
class CPageButton;
class QLabel;

class CDialogEfx : public CPage {
    Q_OBJECT
public:
    static constexpr int kBandCount = 7;
    static constexpr int kEffectEqCount = 4; // 0 Reverb A, 1 Reverb B, 2 Echo A, 3 Echo B
    enum : int { IDC_BANNER = 1258, IDC_BACK = 1068, IDC_EQ_PANEL = 1040 };

    // `eqIndex` -1 opens Reverb A.
    CDialogEfx(const PageContext& context, int eqIndex, QWidget* parent = nullptr);
    ~CDialogEfx() override;

    // The EqId of effect EQ index 0..3.
    static int EqOfIndex(int index);
    int EqIndex() const { return m_nIndex; }
    // Switches the page to another effect EQ (0..3; others ignored).
    void Retarget(int index);

    // ---- CPage ------------------------------------------------------------------------------------
    void Refresh() override;
    void ReloadTexts() override;
    // Parameter replies may change the bypass switch: the panel shows it as the status bar does.
    void RefreshLive(uint32_t regions) override;
    void Select(int index) override { Retarget(index); }
    bool HasEq() const override { return true; }
    bool EqBypassed() const override;
    void ToggleEqBypass() override;
    void ResetEq() override;
    void PickBand(int band) override;

    CEqPanel* EqPanel() const { return m_pEqPanel; }
    CEqBandEditor* BandEditor() const { return m_pEditor; }
    CPageButton* BackButton() const { return m_pBack; }
    QLabel* Banner() const { return m_pBanner; }
    // The banner's title for the EQ and the current language.
    QString BannerTitle() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayoutControls();
    void UpdateBanner();
    void OnBack();

    int m_nIndex = 0;
    CEqPanel* m_pEqPanel = nullptr;
    CEqBandEditor* m_pEditor = nullptr;
    CPageButton* m_pBack = nullptr;
    QLabel* m_pBanner = nullptr;
};
