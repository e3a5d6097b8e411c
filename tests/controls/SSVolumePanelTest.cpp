// The room plan: metres and pixels at the walls, the grid's labels, room sizes that cannot be drawn,
// the hit test and drags driven by real mouse events.
#include <QTest>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "controls/SSVolumePanel.h"
#include "ui/Language.h"

namespace {

struct Sent {
    bool bMoved; // false: picked
    int nId;
    float fX, fY;
};

// 460 × 360 gives a 400 × 300 plot from (30, 30) to (430, 330); a 4 m room has 100 px/m across and
// 75 px/m front to back, its centre at (230, 180).
class SSVolumePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel.resize(460, 360);
        panel.show(); // resize events reach a shown widget at once
        QObject::connect(&panel, &CSSVolumePanel::ItemPicked, [this](int id, float x, float y) {
            sent.push_back({false, id, x, y});
        });
        QObject::connect(&panel, &CSSVolumePanel::ItemMoved, [this](int id, float x, float y) {
            sent.push_back({true, id, x, y});
        });
    }

    QPoint Centre(int item) const { return QPoint(panel.Item(item)->nPx, panel.Item(item)->nPy); }

    CSSVolumePanel panel;
    std::vector<Sent> sent;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

QStringList Labels(const std::vector<CSSVolumePanel::GridLine>& lines) {
    QStringList out;
    for (const auto& l : lines) {
        out << l.strLabel;
    }
    return out;
}

TEST(SSVolumePanelGeometry, MetresAndPixelsMeetAtTheWalls) {
    const QSize client(460, 360);
    EXPECT_EQ(CSSVolumePanel::PlotRect(client), QRect(QPoint(30, 30), QPoint(430, 330)));
    EXPECT_EQ(CSSVolumePanel::MetresToPixel({0, 0}, client, 4, 4), QPoint(230, 180));
    EXPECT_EQ(CSSVolumePanel::MetresToPixel({-2, 2}, client, 4, 4), QPoint(30, 30)); // front left corner
    EXPECT_EQ(CSSVolumePanel::MetresToPixel({2, -2}, client, 4, 4), QPoint(430, 330));
    EXPECT_EQ(CSSVolumePanel::MetresToPixel({1.25, -0.5}, client, 5, 3), QPoint(330, 230));

    auto metres = [&](QPoint pt, float w, float l) {
        return *CSSVolumePanel::PixelToMetres(pt, client, w, l);
    };
    EXPECT_EQ(metres({230, 180}, 4, 4), QPointF(0, 0));
    EXPECT_FLOAT_EQ(metres({30, 30}, 4, 4).x(), -2);
    EXPECT_FLOAT_EQ(metres({30, 30}, 4, 4).y(), 2);
    EXPECT_FLOAT_EQ(metres({430, 330}, 4, 4).x(), 2);
    EXPECT_FLOAT_EQ(metres({430, 330}, 4, 4).y(), -2);
    // Beyond the plot the point is held to its edge: the wall, never further.
    EXPECT_FLOAT_EQ(metres({-500, 2000}, 7, 3).x(), -3.5f);
    EXPECT_FLOAT_EQ(metres({-500, 2000}, 7, 3).y(), -1.5f);
    EXPECT_FLOAT_EQ(metres({9000, -9}, 7, 3).x(), 3.5f);
    EXPECT_FLOAT_EQ(metres({9000, -9}, 7, 3).y(), 1.5f);
    EXPECT_EQ(CSSVolumePanel::HoldToPlot({-5, 999}, client), QPoint(30, 330));
}

TEST(SSVolumePanelGeometry, RoomSizesAreHeldTo1To10SoNothingDividesByZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(CSSVolumePanel::HoldRoomSize(0), 1.0f);
    EXPECT_EQ(CSSVolumePanel::HoldRoomSize(-3), 1.0f);
    EXPECT_EQ(CSSVolumePanel::HoldRoomSize(nan), 1.0f);
    EXPECT_EQ(CSSVolumePanel::HoldRoomSize(255), 10.0f);
    EXPECT_EQ(CSSVolumePanel::HoldRoomSize(std::numeric_limits<float>::infinity()), 10.0f);
    EXPECT_EQ(CSSVolumePanel::HoldRoomSize(6), 6.0f);

    const QSize client(460, 360);
    EXPECT_EQ(CSSVolumePanel::MetresToPixel({0.5, 0.5}, client, 0, 0),
              CSSVolumePanel::MetresToPixel({0.5, 0.5}, client, 1, 1));
    const QPointF m = *CSSVolumePanel::PixelToMetres({100, 100}, client, 0, 0);
    EXPECT_TRUE(std::isfinite(m.x()) && std::isfinite(m.y()));
    EXPECT_EQ(m, *CSSVolumePanel::PixelToMetres({100, 100}, client, 1, 1));
    EXPECT_EQ(CSSVolumePanel::MetresToPixel({nan, 1}, client, 4, 4), QPoint(230, 105));
    // A plan with no plot area gives no metres at all.
    EXPECT_FALSE(CSSVolumePanel::PixelToMetres({10, 10}, QSize(60, 200), 4, 4).has_value());
    EXPECT_FALSE(CSSVolumePanel::PixelToMetres({10, 10}, QSize(40, 40), 4, 4).has_value());

    const auto lines = CSSVolumePanel::GridLines(0, 30, 330, true); // drawn as a 1 m room
    EXPECT_EQ(Labels(lines), QStringList({"0", "+0.5m", "-0.5m"}));
}

TEST(SSVolumePanelGeometry, GridOfA5By4RoomIsLabelledInMetresOutToTheWalls) {
    // Across (5 m) over x 30..430: 80 px/m, centre 230.
    const auto columns = CSSVolumePanel::GridLines(5, 30, 430, false);
    EXPECT_EQ(Labels(columns), QStringList({"0", "-1m", "+1m", "-2m", "+2m", "-2.5m", "+2.5m"}));
    std::vector<int> pos;
    for (const auto& l : columns) {
        pos.push_back(l.nPos);
        EXPECT_EQ(l.bOuter, l.strLabel.contains('.'));
    }
    EXPECT_EQ(pos, (std::vector<int>{230, 150, 310, 70, 390, 30, 430}));

    // Front to back (4 m) over y 30..330: 75 px/m, + towards the front at the top.
    const auto rows = CSSVolumePanel::GridLines(4, 30, 330, true);
    EXPECT_EQ(Labels(rows), QStringList({"0", "+1m", "-1m", "+2m", "-2m"}));
    EXPECT_EQ(rows[1].nPos, 105);
    EXPECT_EQ(rows[3].nPos, 30);
    EXPECT_TRUE(rows[3].bOuter && rows[4].bOuter && !rows[1].bOuter);
    EXPECT_EQ(Labels(CSSVolumePanel::GridLines(1, 0, 100, false)), QStringList({"0", "-0.5m", "+0.5m"}));
    EXPECT_EQ(Labels(CSSVolumePanel::GridLines(10, 0, 100, true)).size(), 11);
}

TEST(SSVolumePanelNames, SpeakersAndRolesByNumberEmptyOutsideTheirRange) {
    EXPECT_EQ(CSSVolumePanel::SpeakerName(1), QString::fromUtf8("前置左(L)"));
    EXPECT_EQ(CSSVolumePanel::SpeakerName(5), QString::fromUtf8("超低(SUB)"));
    EXPECT_EQ(CSSVolumePanel::SpeakerName(8), QString::fromUtf8("侧环绕右(SR)"));
    EXPECT_TRUE(CSSVolumePanel::SpeakerName(0).isEmpty());
    EXPECT_TRUE(CSSVolumePanel::SpeakerName(9).isEmpty());
    EXPECT_EQ(CSSVolumePanel::SpeakerColour(7), QColor(0xFF, 0x99, 0x12));
    const int roles[] = {0, 5, 1, 2, 4, 3, 6, 7};
    for (int id = 1; id <= 8; ++id) {
        EXPECT_EQ(CSSVolumePanel::SpeakerRole(id), roles[id - 1]);
    }
    EXPECT_EQ(CSSVolumePanel::SpeakerRole(0), -1);

    SetLanguage(0);
    EXPECT_EQ(CSSVolumePanel::RoleName(4), QString::fromUtf8("超低"));
    EXPECT_EQ(CSSVolumePanel::RoleName(5), QString::fromUtf8("中置"));
    SetLanguage(1);
    EXPECT_EQ(CSSVolumePanel::RoleName(4), "CH-SUB");
    EXPECT_EQ(CSSVolumePanel::RoleName(7), "CH-SR");
    for (int role : {-1, 8, 9, 255, -2147483647}) {
        EXPECT_TRUE(CSSVolumePanel::RoleName(role).isEmpty()) << role;
    }
    SetLanguage(0);
}

TEST_F(SSVolumePanelTest, ItemsArePlacedFromTheirMetresAndTheRoom) {
    EXPECT_EQ(panel.Item(0)->nId, 0);
    EXPECT_EQ(Centre(0), QPoint(230, 180));
    EXPECT_EQ(Centre(1), QPoint(130, 105)); // front left at (-1, +1)
    panel.SetPosition(1.5f, -0.4f, 4);
    EXPECT_EQ(Centre(4), QPoint(380, 210));
    panel.SetRoomSize(5, 3);
    EXPECT_EQ(Centre(4), QPoint(30 + 80 * 4, 30 + 190)); // 100 px/m front to back now
    panel.SetRoomSize(0, 40);
    EXPECT_EQ(panel.RoomWidth(), 1.0f);
    EXPECT_EQ(panel.RoomLength(), 10.0f);
    panel.SetPosition(std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 2);
    EXPECT_EQ(panel.Item(2)->fX, 0);
    EXPECT_EQ(panel.Item(2)->fY, 0);
    panel.SetPosition(1, 1, 9); // no such item
    EXPECT_EQ(panel.Item(9), nullptr);
    panel.resize(260, 160);
    EXPECT_EQ(Centre(0), QPoint(130, 80));
    EXPECT_TRUE(sent.empty()); // the page's own sets are never reported back
}

TEST_F(SSVolumePanelTest, HitTestTakesTheLowestIdSoTheListenerWins) {
    EXPECT_EQ(panel.HitTest(Centre(3)), 3);
    EXPECT_EQ(panel.HitTest(Centre(3) + QPoint(15, -15)), 3);
    EXPECT_EQ(panel.HitTest(Centre(3) + QPoint(16, 0)), -1);
    EXPECT_EQ(panel.HitTest(Centre(3) + QPoint(0, -16)), -1);

    panel.SetPosition(0, 0, 5); // the subwoofer and the centre speaker onto the listener
    panel.SetPosition(0, 0, 2);
    EXPECT_EQ(panel.HitTest(QPoint(230, 180)), 0);
    QTest::mousePress(&panel, Qt::LeftButton, {}, QPoint(232, 178));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_FALSE(sent[0].bMoved);
    EXPECT_EQ(sent[0].nId, 0);
    EXPECT_EQ(panel.SelectedItem(), 0);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(232, 178));

    // Two speakers on one spot: the lower id.
    panel.SetPosition(1.5f, 1.5f, 7);
    panel.SetPosition(1.5f, 1.5f, 5);
    EXPECT_EQ(panel.HitTest(Centre(7)), 5);
}

TEST_F(SSVolumePanelTest, DragPastAWallStopsAtTheWall) {
    QTest::mousePress(&panel, Qt::LeftButton, {}, Centre(1));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].nId, 1);
    EXPECT_FLOAT_EQ(sent[0].fX, -1);
    EXPECT_FLOAT_EQ(sent[0].fY, 1);

    QTest::mouseMove(&panel, QPoint(280, 150));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(sent[1].bMoved);
    EXPECT_FLOAT_EQ(sent[1].fX, 0.5f);
    EXPECT_FLOAT_EQ(sent[1].fY, 0.4f);

    // Far beyond the front left corner, outside the widget.
    QTest::mouseMove(&panel, QPoint(-200, -90));
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_FLOAT_EQ(sent[2].fX, -2);
    EXPECT_FLOAT_EQ(sent[2].fY, 2);
    EXPECT_EQ(Centre(1), QPoint(30, 30));
    EXPECT_FLOAT_EQ(panel.Item(1)->fX, -2);

    // Past the right wall only: y follows the pointer, x stops.
    QTest::mouseMove(&panel, QPoint(900, 255));
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_FLOAT_EQ(sent[3].fX, 2);
    EXPECT_FLOAT_EQ(sent[3].fY, -1);
    EXPECT_EQ(Centre(1), QPoint(430, 255));

    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(900, 255));
    EXPECT_FALSE(panel.IsDragging());
    QTest::mouseMove(&panel, QPoint(100, 100));
    EXPECT_EQ(sent.size(), 4u);
}

TEST_F(SSVolumePanelTest, DragInARoomOfSizeZeroStaysFiniteAndInsideTheDrawnRoom) {
    panel.SetRoomSize(0, 0); // as a store holding 0 would ask
    QTest::mousePress(&panel, Qt::LeftButton, {}, Centre(0));
    QTest::mouseMove(&panel, QPoint(1000, 1000));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_FLOAT_EQ(sent[1].fX, 0.5f);
    EXPECT_FLOAT_EQ(sent[1].fY, -0.5f);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(1000, 1000));
}

TEST_F(SSVolumePanelTest, PressThatHitsNothingSendsNothingAndLaterMovesDoNothing) {
    const QPoint empty(420, 40); // the front right corner, far from every item
    ASSERT_EQ(panel.HitTest(empty), -1);
    QTest::mousePress(&panel, Qt::LeftButton, {}, empty);
    EXPECT_FALSE(panel.IsDragging());
    QTest::mouseMove(&panel, QPoint(230, 180));
    QTest::mouseMove(&panel, QPoint(100, 300));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(100, 300));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(Centre(0), QPoint(230, 180));

    // The right button picks nothing either.
    QTest::mousePress(&panel, Qt::RightButton, {}, Centre(2));
    QTest::mouseMove(&panel, QPoint(300, 300));
    QTest::mouseRelease(&panel, Qt::RightButton, {}, QPoint(300, 300));
    EXPECT_TRUE(sent.empty());
}

TEST_F(SSVolumePanelTest, APanelWithoutAPlotIgnoresDrags) {
    panel.resize(50, 50);
    QTest::mousePress(&panel, Qt::LeftButton, {}, Centre(0));
    ASSERT_EQ(sent.size(), 1u);
    QTest::mouseMove(&panel, QPoint(40, 10));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(40, 10));
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_EQ(panel.Item(0)->fX, 0);
}

} // namespace
