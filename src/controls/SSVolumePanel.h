// The room plan of the sound field: a rectangular room to scale with a metre grid, the listener and the
// eight speakers at their positions, each of which the user drags. The panel only reports positions;
// the page stores them and derives the speaker levels.
#pragma once

#include <QPixmap>
#include <QPointF>
#include <QRect>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

// The panel's messages to its page, kept as numbers for reference; they travel as the signals below.
constexpr int WM_SF_ITEM_PICKED = 2258;
constexpr int WM_SF_ITEM_MOVED = 2259;

// One thing on the plan: the listener (id 0) or a speaker (ids 1..8).
struct SSVItem {
    int nId = -1; // -1: not drawn and never hit
    int nPx = 0;  // centre in client pixels
    int nPy = 0;
    float fX = 0; // metres right of the room centre (negative: left)
    float fY = 0; // metres in front of the room centre (negative: behind)
};

class CSSVolumePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kItemCount = 9; // the listener and eight speakers
    static constexpr int kSpeakerCount = 8;
    static constexpr int kMargin = 30;   // the plot is the client inset by this on every side
    static constexpr int kHitReach = 16; // a press hits an item closer than this in x and in y
    static constexpr float kRoomMin = 1.0f, kRoomMax = 10.0f;

    explicit CSSVolumePanel(QWidget* parent = nullptr);
    ~CSSVolumePanel() override;

    // Room in metres, held to 1..10 (so that nothing divides by a size of 0); every item is placed again.
    void SetRoomSize(float width, float length);
    float RoomWidth() const { return m_fRoomWidth; }
    float RoomLength() const { return m_fRoomLength; }
    // Position of item 0..8 in metres (a value that is not finite is taken as 0); ignored for other
    // items. Positions outside the room are kept and drawn where they fall.
    void SetPosition(float x, float y, int item);
    const SSVItem* Item(int item) const;
    int SelectedItem() const { return m_nSelItem; }
    bool IsDragging() const { return m_bDragging; }

    // ---- Geometry ---------------------------------------------------------------------------------
    QRect PlotRect() const { return PlotRect(size()); }
    // The first item, in id order, whose centre is less than 16 pixels from `pt` in x and in y (so the
    // listener wins over a speaker on the same spot), or -1.
    int HitTest(QPoint pt) const;

    // The same, as pure functions of the client size, for the page and for tests.
    static QRect PlotRect(QSize client);
    static float HoldRoomSize(float metres); // 1..10; NaN gives 1
    static QPoint MetresToPixel(QPointF metres, QSize client, float roomWidth, float roomLength);
    // The point held inside the plot (its edges included), and the metres there; nothing when the plot
    // has no area. Room sizes are held to 1..10 first.
    static QPoint HoldToPlot(QPoint pt, QSize client);
    static std::optional<QPointF> PixelToMetres(QPoint pt, QSize client, float roomWidth, float roomLength);

    // One grid line of an axis: its pixel, its label, and whether it is the room's wall.
    struct GridLine {
        int nPos = 0;
        QString strLabel;
        bool bOuter = false;
    };
    // The lines across a room of `size` metres drawn over pixels lo..hi: metre lines out from the
    // centre, then the two walls. Rows (the room's length) are labelled + towards lo (the front),
    // columns (its width) - towards lo (the left).
    static std::vector<GridLine> GridLines(float size, int lo, int hi, bool rows);

    // Name and colour of speaker id 1..8 (the same in both languages); empty name and grey outside.
    static QString SpeakerName(int id);
    static QColor SpeakerColour(int id);
    // The output role that speaker id 1..8 drives, -1 outside.
    static int SpeakerRole(int id);
    // The name of output role 0..7 in the interface language; empty for any other role.
    static QString RoleName(int role);

signals:
    // WM_SF_ITEM_PICKED: an item was pressed. WM_SF_ITEM_MOVED: it was dragged (positions unrounded).
    void ItemPicked(int nId, float fX, float fY);
    void ItemMoved(int nId, float fX, float fY);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void PlaceItem(SSVItem& item) const;
    void DrawBackground(QPainter& p) const;
    void DrawItem(QPainter& p, const SSVItem& item) const;

    float m_fRoomWidth = 4.0f;
    float m_fRoomLength = 4.0f;
    std::array<SSVItem, kItemCount> m_item;
    int m_nSelItem = -1;
    bool m_bDragging = false;
    QPixmap m_pixListener;
    QPixmap m_pixSpeaker;
    QPixmap m_pixBackground; // grid and labels at the current size and room
};
