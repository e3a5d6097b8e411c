// A small, display-only picture of a 7-band equaliser: the summed response on a +-15 dB grid, drawn
// at 56 points with its own filter design. Its owner clicks through it to the full editor, so it only
// shows a hover frame and reports clicks.
#pragma once

#include <QPixmap>
#include <QPointF>
#include <QWidget>
#include <array>

#include "dsp/SmallEqResponse.h"

struct SmallEqBand {
    int nType = EQ_PEQ; // 1..7 drawn (6 band-pass, 7 notch); anything else contributes 0 dB
    float fFreq = 1000; // Hz
    float fGain = 0;    // dB
    float fQ = 1.414f;
    QPointF ptHandle;                          // the band's own point (kept current, not drawn)
    SmallEqCurve dB{};                         // its response at the 56 points
    std::array<QPointF, kSmallEqPoints> pts{}; // the same as pixel positions
};

class CSmallEqPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMargin = 2; // left, top, right and bottom
    static constexpr float kFreqMin = 20, kFreqMax = 20000;
    static constexpr float kGainMin = -15, kGainMax = 15;
    static constexpr double kGainSpan = 30; // dB from the bottom to the top of the plot

    explicit CSmallEqPanel(QWidget* parent = nullptr);
    ~CSmallEqPanel() override;

    // ---- Band setters (band 0..6; others ignored). Each recomputes the band and the total and redraws.
    // A frequency within 1e-7 of 0 (or not a number) is ignored; others are held to 20..20000 Hz.
    void SetBandFrequency(int band, float hz);
    // Held to -15..+15 dB; not a number is ignored.
    void SetBandGain(int band, float db);
    // Taken as given: the owner decides the type and the Q.
    void SetBandType(int band, int type);
    void SetBandQ(int band, float q);

    // The music page's loading of one stored band record, in its order: the type (codes outside 0..5
    // become 0 when `offOutsideEditorTypes`), the type's Q (PEQ 1.41) or, for LP and HP, gain 0 and
    // Q 0.7; then the stored gain and frequency, then the stored Q unless it is 0. Every Q is held to
    // 1..30 for a PEQ band and 0.1..30 for any other type.
    void LoadStoredBand(int band, int type, float gainDb, float freqHz, float q, bool offOutsideEditorTypes);
    static float HoldLoadedQ(int type, float q);

    // ---- State -------------------------------------------------------------------------------------
    // nullptr outside 0..6.
    const SmallEqBand* Band(int band) const;
    // The summed curve: point u's pixel position and its dB value (each band rounded to 0.1 dB).
    const std::array<QPointF, kSmallEqPoints>& TotalCurve() const { return m_ptTotal; }
    double TotalDb(int u) const;
    bool Bypass() const { return m_bBypass; }
    void SetBypass(bool bypass); // draws "PASS" over the curve; redraws when it changes
    bool Dimmed() const { return m_bDimmed; }
    void SetDimmed(bool dimmed); // a translucent grey over the plot; redraws when it changes
    QRgb CurveColour() const { return m_rgbCurve; }
    void SetCurveColour(QRgb argb); // ARGB; redraws when it changes
    bool IsHovered() const { return m_bHover; }

    // ---- Geometry ----------------------------------------------------------------------------------
    // Plot width and height: the client size less the margins (either may be 0 or less).
    int PlotWidth() const { return width() - 2 * kMargin; }
    int PlotHeight() const { return height() - 2 * kMargin; }
    double PointX(int u) const;
    double GainToY(double db) const;
    double FreqToX(double hz) const; // the grid's frequency lines

    static QColor HoverFrameColour();

signals:
    // Left button pressed and released on the panel.
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool ValidBand(int band) const { return band >= 0 && band < kSmallEqBands; }
    void UpdateBand(int band); // its response, points and handle, then the total
    void PlaceBand(int band);  // points and handle from the kept response
    void UpdateTotal();
    void UpdateAll();
    void BuildGrid();
    void SetHover(bool hover);

    std::array<SmallEqBand, kSmallEqBands> m_band;
    std::array<double, kSmallEqPoints> m_dTotal{};
    std::array<QPointF, kSmallEqPoints> m_ptTotal{};
    QRgb m_rgbCurve = 0xFF00C8FF;
    bool m_bBypass = false;
    bool m_bDimmed = false;
    bool m_bHover = false;
    bool m_bPressed = false;
    QPixmap m_pmGrid; // the grid at the current size; rebuilt after a resize
};
