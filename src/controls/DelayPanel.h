// The delay chart: one row per output channel on a common millisecond scale, a marker at each channel's
// delay that the user drags. The panel keeps a copy of the values it shows and only reports a dragged
// value; the page stores and sends it, then sets it back here.
#pragma once

#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <array>
#include <optional>

// The panel's message to its page, kept as a number for reference; it travels as DelayMoved.
constexpr int WM_DELAY_MOVED = 4345;

// One row of the chart.
struct DelayChannel {
    int nIndex = 0;      // channel 0..7, row from the top
    int nX = 0;          // marker's left edge in client pixels
    int nY = 0;          // top of the row in client pixels
    float fValue = 0;    // delay in ms
    float fMin = 1.5f;   // smallest value the row accepts
    float fMax = 100.0f; // largest value the row accepts
};

class CDelayPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxChannels = 8;
    // The plot is the client inset by these; the scale spans width - 96 pixels.
    static constexpr int kPlotLeft = 78, kPlotTop = 5, kPlotRight = 18, kPlotBottom = 20;
    static constexpr float kDelayMin = 1.5f, kDelayMax = 100.0f;
    static constexpr int kHitReach = 15; // pixels from the marker centre and the row centre

    explicit CDelayPanel(QWidget* parent = nullptr);
    ~CDelayPanel() override;

    // Rows shown (1..8). Call Initialise afterwards.
    void SetChannelCount(int count);
    int ChannelCount() const { return m_nChannelCount; }
    // Every row back to value 0 (drawn at the left end), limits 1.5..100 ms; places the rows.
    void Initialise();
    // Ignored for a channel outside the rows. The value is held to the row's limits (NaN gives the
    // lower one), stored and drawn; nothing is signalled.
    void SetDelay(float ms, int channel);
    float Delay(int channel) const;
    const DelayChannel* Channel(int channel) const;

    int SelectedChannel() const { return m_nSelChannel; }
    bool IsDragging() const { return m_bDragging; }
    float ScaleMin() const { return m_fScaleMin; }
    float ScaleMax() const { return m_fScaleMax; }
    QSize MarkerSize() const { return m_szMarker; }

    // ---- Geometry ---------------------------------------------------------------------------------
    QRect PlotRect() const { return PlotRect(width(), height()); }
    // The row the press at `pt` grabs: the first whose marker centre and row centre are both within
    // 15 pixels, or -1.
    int HitTest(QPoint pt) const;
    // Centre of a channel's marker as the hit test sees it.
    QPoint MarkerCentre(int channel) const;

    // The same, as pure functions of the client size, for the page and for tests.
    static QRect PlotRect(int clientWidth, int clientHeight);
    // Marker x for a value: plot left + |(W - 96) / span × (value - scale min)|, truncated. A plot
    // narrower than nothing puts every marker at its left edge.
    static int ValueToX(float value, int clientWidth, float scaleMin, float scaleMax);
    // The value at marker x, not held to any limits; nothing when the scale has no width (client
    // width <= 96 or an empty scale), so that no division by zero or NaN reaches a value.
    static std::optional<float> XToValue(int x, int clientWidth, float scaleMin, float scaleMax);
    static float RowHeight(int clientHeight, int count);
    static int RowTop(int row, int clientHeight, int count);

    // Row label of a channel 0..7 (the same in both languages); empty outside.
    static QString RowLabel(int channel);
    // Marker, lines and value text colour of a channel; row label colour.
    static QColor ChannelColour(int channel);
    static QColor LabelColour(int channel);

signals:
    // WM_DELAY_MOVED: a marker was dragged; the value is already held to 1.5..100 ms.
    void DelayMoved(int nChannel, float fValue);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    float HoldToLimits(const DelayChannel& c, float value) const;
    void PlaceRows();
    void DrawBackground(QPainter& p) const;
    void DrawChannel(QPainter& p, const DelayChannel& c) const;

    int m_nChannelCount = kMaxChannels;
    float m_fScaleMin = 0.0f;
    float m_fScaleMax = 106.0f;
    QPixmap m_pixMarker;
    QSize m_szMarker{5, 5};
    int m_nSelChannel = -1;
    bool m_bDragging = false;
    QPixmap m_pixBackground; // grid, labels and scale at the current size
    std::array<DelayChannel, kMaxChannels> m_channel;
};
