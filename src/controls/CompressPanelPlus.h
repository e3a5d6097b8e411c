// The compressor's static transfer curve: output against input level, both -90..+6 dB, with the
// threshold as a knee and the part above it drawn with the slope 1/ratio. Display only: the page sets
// the values and the panel redraws.
#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

class CCompressPanelPlus : public QWidget {
    Q_OBJECT
public:
    // The plot spans x 40 .. width - 20 and y 20 .. height - 25 (input and output -90..+6 dB).
    static constexpr int kPlotLeft = 40, kPlotTop = 20, kPlotRight = 20, kPlotBottom = 25;
    static constexpr float kLevelMin = -90.0f, kLevelMax = 6.0f;

    // The curve in client pixels, every coordinate truncated.
    struct Curve {
        QPoint ptStart; // segment 1 starts at the plot's left edge
        QPoint ptLower; // the lower point: segment 1 ends, segment 2 starts
        QPoint ptKnee;  // the threshold: segment 2 ends, segment 3 starts
        QPoint ptEnd;   // segment 3 ends at the plot's right edge
        QRect rcBand;   // the translucent band between the ends' heights, across the plot
    };

    explicit CCompressPanelPlus(QWidget* parent = nullptr);
    ~CCompressPanelPlus() override;

    // Each stores the value as given and redraws; drawing holds what cannot be drawn (below).
    void SetOn(int on);
    void SetThreshold(float db);
    void SetLowerPoint(float db);
    void SetSlopeAbove(float slope);
    void SetSlopeBelow(float slope);
    // Slope above the threshold from a ratio (n:1): 1/ratio, or 1 for a ratio <= 0 or not finite.
    void SetRatio(float ratio);

    int On() const { return m_nOn; }
    float Threshold() const { return m_fThreshold; }
    float LowerPoint() const { return m_fLower; }
    float SlopeAbove() const { return m_fSlopeAbove; }
    float SlopeBelow() const { return m_fSlopeBelow; }

    // ---- Geometry, as pure functions ----------------------------------------------------------------
    static float SlopeForRatio(float ratio);
    // What is drawn for a stored value: levels held to -90..+6 dB (NaN: +6 for the threshold, -90 for
    // the lower point); a slope that is negative or not finite draws as 1.
    static float DrawnThreshold(float db);
    static float DrawnLowerPoint(float db);
    static float DrawnSlope(float slope);
    static Curve CurveFor(int clientWidth, int clientHeight, float threshold, float lower, float slopeAbove,
                          float slopeBelow);
    Curve CurrentCurve() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void DrawBackground(QPainter& p) const;

    int m_nOn = 0;
    float m_fThreshold = -15.0f;
    float m_fLower = -5.0f;
    float m_fSlopeAbove = 1.0f;
    float m_fSlopeBelow = 1.0f;
    QPixmap m_pixBackground; // grid and labels at the current size
};
