// The drawn equaliser: a response plot whose band handles are dragged, wheeled and keyed. The panel
// keeps its own copy of the bands and reports every change to its page, which writes the store.
#pragma once

#include <QWidget>
#include <array>
#include <span>

#include "dsp/FilterResponse.h"
#include "model/Eq.h"

class QMenu;

// The panel's messages to its page, kept as numbers for reference; they travel as the signals below.
constexpr int WM_EQ_BAND_CHANGED = 0x1421;
constexpr int WM_EQ_BAND_DESELECT = 0x1422;
constexpr int WM_EQ_COPY_PASTE = 0x1423;
constexpr int WM_EQ_BAND_PICKED = 0x1424;

// Popup menu command ids: band types (id - 2024 = type 1..5) and copy / paste.
constexpr int ID_EQ_TYPE_PEQ = 2025;
constexpr int ID_EQ_TYPE_LP = 2026;
constexpr int ID_EQ_TYPE_HP = 2027;
constexpr int ID_EQ_TYPE_LS = 2028;
constexpr int ID_EQ_TYPE_HS = 2029;
constexpr int ID_EQ_COPY = 3025;
constexpr int ID_EQ_PASTE = 3026;
constexpr int ID_EQ_IMPORT = 3027; // filter texts of room-measurement programs
constexpr int ID_EQ_EXPORT = 3028;
constexpr int ID_EQ_AUTO = 3029; // auto EQ from a measurement

// One band as the panel keeps it. Type, frequency, gain, Q and the curve come from EqSection
// (nType, fFreq, fGain, fQ, curve), so the core's curve functions work on it directly.
struct EqBand : EqSection {
    float fX = 0;                // handle centre, from the plot area's left edge (set when drawn)
    float fY = 0;                // handle centre, from the plot area's top edge
    int nIndex = 0;              // 0..N-1
    float fFreqMin = kEqFreqMin; // drag and key limits
    float fFreqMax = kEqFreqMax;
    float fGainMin = kEqGainMin; // drag, wheel and key limits
    float fGainMax = kEqGainMax;

    EqBand() {
        nType = EQ_PEQ;
        fFreq = 100;
        fGain = 0;
        fQ = 1;
    }
};

// A band as the panel hands it on: its values, and for the crossover band (9) the three sections
// after it (gain 0), all by value, so that whoever writes it never reads the panel back.
struct EqBandEdit {
    int nIndex = -1;
    BandValues band{};
    std::array<BandValues, 3> companions{};
    int nCompanions = 0;
    std::span<const BandValues> Companions() const {
        return {companions.data(), static_cast<size_t>(nCompanions)};
    }
};

class CEqPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxBands = 40;
    static constexpr int kPlotLeft = 36, kPlotTop = 18, kPlotRightMargin = 6, kPlotBottomMargin = 20;

    explicit CEqPanel(QWidget* parent = nullptr);
    ~CEqPanel() override;

    // ---- Operations of the page (each recomputes the curves it touches and redraws; none signals) --
    // 7 or 10 reset frequencies, type PEQ and Q 1.41; any other count (13 on the output page) keeps
    // them. Every band 0..N-1 then gets its index and 0 dB.
    void SetBandCount(int n);
    void SetBandGain(int band, float db);
    void SetBandQ(int band, float q);
    void SetBandType(int band, int type);
    // Band 9 of an output kind takes the crossover preset of `type` (sections 9..12, model/Eq).
    void SetBandTypeWithCrossover(int band, int type);
    // Acts on band 9 only: gives sections 9..12 the family's codes in band 9's direction.
    void SetCrossoverFamily(int band, int family);
    // Frequency held within the band's limits, curve recomputed.
    void SetBandFreq(int band, float hz);
    void UpdateBandCurve(int band);

    // ---- Direct access ----------------------------------------------------------------------------
    int BandCount() const { return m_nBandCount; }
    // nullptr outside 0..39. After writing fields directly, call UpdateBandCurve.
    EqBand* GetBand(int band);
    const EqBand* GetBand(int band) const;
    // Band `band` by value, with its companions when it is the crossover band; nIndex -1 outside 0..39.
    EqBandEdit BandEdit(int band) const;
    int SelectedBand() const { return m_nSelBand; }
    // -1 deselects. Redraws; sends nothing.
    void SetSelectedBand(int band);
    int HoverBand() const { return m_nHoverBand; }
    int Kind() const { return m_nKind; }
    void SetKind(int kind);
    bool IsOutputKind() const { return IsOutputEq(m_nKind); }
    bool Bypass() const { return m_bBypass; }
    void SetBypass(bool bypass); // redraws when it changes
    QRgb CurveColour() const { return m_rgbCurve; }
    void SetCurveColour(QRgb argb);
    // Texts follow the current language; call after a language switch.
    void ReloadTexts() { update(); }

    // Title of a kind in the current language.
    static QString KindTitle(int kind);
    // The gain grid's labels from -15 to +15 dB (the middle one is "-0dB").
    static QStringList GainAxisLabels();
    // A band gain as "%+-.1fdB" prints it: the panel, the band grid and the gain box all show this,
    // a negative zero included ("-0.0dB").
    static QString GainText(double db);
    // Band colour 0xRRGGBB by index (0..12; others wrap).
    static QRgb BandColour(int band);

    // ---- Coordinates ------------------------------------------------------------------------------
    // left 36, top 18, right = width - 6, bottom = height - 20; right() and bottom() are those values
    // (not one less), so W = right() - left() and H = bottom() - top().
    QRect PlotArea() const;
    float FreqToX(float hz) const; // client x
    float GainToY(float db) const; // client y
    float XToFreq(float xr) const; // xr from the plot area's left edge
    float YToGain(float yr, int grabY = 0) const;

signals:
    // WM_EQ_BAND_CHANGED: a band was hit, dragged, stepped by wheel or keys, or got a new type.
    void EqBandChanged(const EqBandEdit& edit);
    // WM_EQ_BAND_DESELECT: the left button came up after a press that hit no band.
    void EqBandDeselect();
    // WM_EQ_COPY_PASTE: nPaste 0 copy, 1 paste; nKind the panel kind.
    void EqCopyPaste(int nPaste, int nKind);
    // The popup's "Import filters…" (true) or "Export filters…" (false) for EQ `nKind`.
    void EqFilterFile(bool import, int nKind);
    // The popup's "Auto EQ from measurement…" for EQ `nKind`.
    void EqAutoEq(int nKind);
    // WM_EQ_BAND_PICKED: a band was selected with a digit key.
    void EqBandPicked(EqBand* band, int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int HandleCount() const; // handles drawn and hit: 10 for output kinds, else N
    int HighestSelectable() const;
    bool ValidBand(int band) const { return band >= 0 && band < kMaxBands; }
    int CurveWidth() const;
    void CalcCurve(int band);
    void ClampSelected();
    void SendChanged(int band);
    int ExecMenu(QMenu& menu, const QPoint& globalPos);

    void DrawGrid(QPainter& p) const;
    void DrawSelectedFill(QPainter& p) const;
    void DrawSumCurve(QPainter& p) const;
    void PlaceHandles();
    void DrawHandles(QPainter& p) const;
    void DrawValueLabels(QPainter& p, const EqBand& band) const;
    void DrawStatusLine(QPainter& p, const EqBand& band) const;
    void DrawBypass(QPainter& p) const;

    std::array<EqBand, kMaxBands> m_band;
    int m_nBandCount = 10;
    int m_nSelBand = -1;
    int m_nHoverBand = -1;
    bool m_bLeftDrag = false;
    bool m_bRightDrag = false;
    bool m_bPressHit = false;
    bool m_bMoved = false;
    QPoint m_ptPress; // relative to the plot area
    QPoint m_ptGrab;  // press point minus handle centre
    int m_nLastX = 0; // previous right-drag x, relative to the plot area
    bool m_bBypass = false;
    int m_nKind = EQ_MIC_A;
    QRgb m_rgbCurve = 0xFF00C8FF;
};
