// The bitmap slider: mapping, presses on track and thumb, drag, keys, wheel and its three signals.
#include "controls/XBmpSlider.h"

#include "WidgetSupport.h"
#include "ui/Language.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Signals {
    explicit Signals(CXBmpSlider* s)
        : pos(s, &CXBmpSlider::SliderPos), focus(s, &CXBmpSlider::SliderFocus),
          released(s, &CXBmpSlider::SliderReleased) {}
    // The (id, position) pairs of one spy.
    static std::vector<std::pair<int, int>> Of(const QSignalSpy& spy) {
        std::vector<std::pair<int, int>> v;
        for (const auto& args : spy)
            v.emplace_back(args.at(0).toInt(), args.at(1).toInt());
        return v;
    }
    QSignalSpy pos, focus, released;
};

using Pairs = std::vector<std::pair<int, int>>;

class XBmpSliderTest : public ::testing::Test {
protected:
    // The standard images: thumbs 12 x 24 (horizontal) and 24 x 12 (vertical), channel = widget size.
    std::unique_ptr<CXBmpSlider> Make(int id, bool vertical, int min, int max, int pos) {
        auto s = std::make_unique<CXBmpSlider>(nullptr, id, vertical);
        s->resize(vertical ? QSize(24, 160) : QSize(160, 24));
        s->SetRange(min, max);
        s->SetPos(pos);
        s->show();
        s->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(s.get()));
        return s;
    }
};

} // namespace

TEST_F(XBmpSliderTest, ImagesAreTheChannelAndThumbSizes) {
    auto h = Make(1, false, 0, 100, 0);
    EXPECT_EQ(h->ChannelSize(), QSize(160, 24));
    EXPECT_EQ(h->ThumbSize(), QSize(12, 24));
    auto v = Make(2, true, 0, 100, 0);
    EXPECT_EQ(v->ChannelSize(), QSize(24, 160));
    EXPECT_EQ(v->ThumbSize(), QSize(24, 12));
    EXPECT_EQ(CtrlId(v.get()), 2);
}

TEST_F(XBmpSliderTest, MappingAtBothEndsAndInBetween) {
    auto h = Make(1, false, 0, 100, 0);
    EXPECT_EQ(h->PosToPixel(0), 0);
    EXPECT_EQ(h->PosToPixel(100), 148); // 160 - thumb 12
    h->SetMargins(3, 5, 2, 0);          // travel 160 - 12 - 5 - 3 = 140
    EXPECT_EQ(h->PosToPixel(0), 3);
    EXPECT_EQ(h->PosToPixel(100), 143);
    EXPECT_EQ(h->PosToPixel(33), 49); // 1.4 * 33 = 46.2 + 3, truncated
    EXPECT_EQ(h->ThumbRect(), QRect(3, 2, 12, 24));
    EXPECT_EQ(h->PixelToPos(3), 0);
    EXPECT_EQ(h->PixelToPos(143), 100);
    EXPECT_EQ(h->PixelToPos(49), 32); // (49 - 3) / 1.4 = 32.86, truncated
    EXPECT_EQ(h->PixelToPos(-40), 0);
    EXPECT_EQ(h->PixelToPos(500), 100);

    // Vertical: the minimum at the bottom.
    auto v = Make(1209, true, -150, 150, 0);
    EXPECT_EQ(v->PosToPixel(150), 0);
    EXPECT_EQ(v->PosToPixel(-150), 148);
    EXPECT_EQ(v->PosToPixel(0), 74);
    v->SetMargins(1, 0, 4, 6); // travel 160 - 12 - 6 - 4 = 138
    EXPECT_EQ(v->PosToPixel(150), 4);
    EXPECT_EQ(v->PosToPixel(-150), 142);
    EXPECT_EQ(v->ThumbRect(), QRect(1, 73, 24, 12));
    EXPECT_EQ(v->PixelToPos(4), 150);
    EXPECT_EQ(v->PixelToPos(142), -150);
    EXPECT_EQ(v->PixelToPos(-20), 150);
    EXPECT_EQ(v->PixelToPos(400), -150);
}

TEST_F(XBmpSliderTest, EmptyRangeOrTrackDoesNotDivideByZero) {
    auto h = Make(1, false, 5, 5, 5);
    EXPECT_EQ(h->PosToPixel(5), 0);
    EXPECT_EQ(h->PixelToPos(70), 5);
    h->SetMargins(80, 80, 0, 0); // no travel left
    h->SetRange(0, 10);
    EXPECT_EQ(h->PixelToPos(90), 0);
}

TEST_F(XBmpSliderTest, SetPosClampsAndSendsNothing) {
    auto h = Make(7, false, 10, 200, 50);
    Signals sig(h.get());
    h->SetPos(5000);
    EXPECT_EQ(h->GetPos(), 200);
    h->SetPos(-3);
    EXPECT_EQ(h->GetPos(), 10);
    // A new range does not re-clamp until the position next changes.
    h->SetRange(20, 30);
    EXPECT_EQ(h->GetPos(), 10);
    EXPECT_EQ(sig.pos.count() + sig.released.count(), 0);
}

TEST_F(XBmpSliderTest, TrackPressStepsTowardsThePressAndThumbPressStartsDragging) {
    auto h = Make(1041, false, 0, 100, 50); // thumb at x 74..85, centre 80
    h->clearFocus();
    Signals sig(h.get());
    QTest::mouseClick(h.get(), Qt::LeftButton, {}, QPoint(20, 12));
    EXPECT_EQ(h->GetPos(), 49);
    QTest::mouseClick(h.get(), Qt::LeftButton, {}, QPoint(150, 12));
    EXPECT_EQ(h->GetPos(), 50);
    EXPECT_EQ(Signals::Of(sig.pos), (Pairs{{1041, 49}, {1041, 50}}));
    EXPECT_EQ(Signals::Of(sig.released), (Pairs{{1041, 49}, {1041, 50}}));
    EXPECT_TRUE(h->hasFocus());
    EXPECT_EQ(Signals::Of(sig.focus), (Pairs{{1041, 0}}));

    // On the thumb: nothing moves, the position is still reported and a drag begins.
    sig.pos.clear();
    sig.released.clear();
    QTest::mousePress(h.get(), Qt::LeftButton, {}, QPoint(80, 12));
    EXPECT_TRUE(h->IsDragging());
    EXPECT_EQ(h->GetPos(), 50);
    EXPECT_EQ(Signals::Of(sig.pos), (Pairs{{1041, 50}}));
    // x 40 - 6 = 34 -> 34 / 1.48 = 22.97 -> 22.
    QTest::mouseMove(h.get(), QPoint(40, 12));
    EXPECT_EQ(h->GetPos(), 22);
    // Past either end the position stays at the bound and every move is still reported.
    QTest::mouseMove(h.get(), QPoint(300, 12));
    QTest::mouseMove(h.get(), QPoint(310, 12));
    QTest::mouseMove(h.get(), QPoint(-50, 12));
    EXPECT_EQ(h->GetPos(), 0);
    EXPECT_EQ(Signals::Of(sig.pos), (Pairs{{1041, 50}, {1041, 22}, {1041, 100}, {1041, 100}, {1041, 0}}));
    EXPECT_EQ(sig.released.count(), 0);
    QTest::mouseRelease(h.get(), Qt::LeftButton, {}, QPoint(-50, 12));
    EXPECT_FALSE(h->IsDragging());
    EXPECT_EQ(Signals::Of(sig.released), (Pairs{{1041, 0}}));
    // A move without the drag does nothing.
    QTest::mouseMove(h.get(), QPoint(100, 12));
    EXPECT_EQ(sig.pos.count(), 5);
}

TEST_F(XBmpSliderTest, TrackPressAtTheMaximumStillReports) {
    auto h = Make(3, false, 0, 100, 100);
    h->SetMargins(0, 10, 0, 0); // thumb at 138..149, track to its right
    Signals sig(h.get());
    QTest::mouseClick(h.get(), Qt::LeftButton, {}, QPoint(155, 12));
    EXPECT_EQ(h->GetPos(), 100);
    EXPECT_FALSE(h->IsDragging());
    EXPECT_EQ(Signals::Of(sig.pos), (Pairs{{3, 100}}));
    EXPECT_EQ(Signals::Of(sig.released), (Pairs{{3, 100}}));
}

TEST_F(XBmpSliderTest, VerticalTrackPressAndUpArrow) {
    auto v = Make(1210, true, 20, 20000, 1000);
    Signals sig(v.get());
    const QRect before = v->ThumbRect();
    const int centre = before.top() + 6;
    QTest::mouseClick(v.get(), Qt::LeftButton, {}, QPoint(12, centre + 30)); // below: down one
    EXPECT_EQ(v->GetPos(), 999);
    QTest::mouseClick(v.get(), Qt::LeftButton, {}, QPoint(12, 2)); // above: up one
    EXPECT_EQ(v->GetPos(), 1000);
    // The up arrow raises the position and the thumb moves up.
    v->SetRange(0, 10);
    v->SetPos(5);
    const int top = v->ThumbRect().top();
    sig.pos.clear();
    sig.released.clear();
    QTest::keyClick(v.get(), Qt::Key_Up);
    EXPECT_EQ(v->GetPos(), 6);
    EXPECT_LT(v->ThumbRect().top(), top);
    QTest::keyClick(v.get(), Qt::Key_Right);
    QTest::keyClick(v.get(), Qt::Key_Down);
    QTest::keyClick(v.get(), Qt::Key_Left);
    QTest::keyClick(v.get(), Qt::Key_Left);
    QTest::keyClick(v.get(), Qt::Key_PageUp); // not one of the four arrows
    QTest::keyClick(v.get(), Qt::Key_A);
    EXPECT_EQ(v->GetPos(), 4);
    EXPECT_EQ(Signals::Of(sig.pos), (Pairs{{1210, 6}, {1210, 7}, {1210, 6}, {1210, 5}, {1210, 4}}));
    EXPECT_EQ(Signals::Of(sig.released), Signals::Of(sig.pos));
}

TEST_F(XBmpSliderTest, KeysClampAtTheEnds) {
    auto h = Make(9, false, 0, 3, 3);
    Signals sig(h.get());
    QTest::keyClick(h.get(), Qt::Key_Right);
    QTest::keyClick(h.get(), Qt::Key_Up);
    EXPECT_EQ(h->GetPos(), 3);
    h->SetPos(0);
    QTest::keyClick(h.get(), Qt::Key_Left);
    EXPECT_EQ(h->GetPos(), 0);
    EXPECT_EQ(Signals::Of(sig.pos), (Pairs{{9, 3}, {9, 3}, {9, 0}}));
}

TEST_F(XBmpSliderTest, DisabledIgnoresPressKeysAndTheWheel) {
    auto h = Make(1014, false, 0, 25, 10);
    h->Enable(false);
    Signals sig(h.get());
    QTest::mouseClick(h.get(), Qt::LeftButton, {}, QPoint(5, 12));
    QTest::mousePress(h.get(), Qt::LeftButton, {}, h->ThumbRect().center());
    QTest::mouseMove(h.get(), QPoint(150, 12));
    QTest::mouseRelease(h.get(), Qt::LeftButton, {}, QPoint(150, 12));
    h->setFocus();
    QTest::keyClick(h.get(), Qt::Key_Right);
    EXPECT_EQ(h->GetPos(), 10);
    EXPECT_FALSE(h->IsDragging());
    Wheel(h.get(), 120);
    EXPECT_EQ(h->GetPos(), 10);
    EXPECT_EQ(sig.pos.count() + sig.released.count(), 0);

    // Enabled: forward adds one, backward subtracts one, one step per message whatever its size.
    h->Enable(true);
    Wheel(h.get(), 120);
    Wheel(h.get(), 360);
    Wheel(h.get(), -120);
    EXPECT_EQ(h->GetPos(), 11);
    EXPECT_EQ(Signals::Of(sig.pos), (Pairs{{1014, 11}, {1014, 12}, {1014, 11}}));
    EXPECT_EQ(Signals::Of(sig.released), Signals::Of(sig.pos));
    QTest::keyClick(h.get(), Qt::Key_Right);
    EXPECT_EQ(h->GetPos(), 12);
}

TEST_F(XBmpSliderTest, DrawsTheThumbForItsState) {
    auto h = Make(1, false, 0, 100, 0);
    h->SetBackgroundColor(QColor(1, 2, 3));
    const QImage normal = h->grab().toImage();
    EXPECT_EQ(normal.pixelColor(159, 0), QColor(1, 2, 3)); // cleared with the background colour
    h->Enable(false);
    const QImage disabled = h->grab().toImage();
    EXPECT_NE(normal.copy(h->ThumbRect()), disabled.copy(h->ThumbRect()));
    // The track beyond the thumb is the same in both.
    EXPECT_EQ(normal.copy(QRect(60, 0, 100, 24)), disabled.copy(QRect(60, 0, 100, 24)));
    // The filled channel appears between the start and the thumb once the thumb moves on.
    h->Enable(true);
    h->SetPos(100);
    const QImage full = h->grab().toImage();
    EXPECT_NE(full.copy(QRect(20, 0, 40, 24)), normal.copy(QRect(20, 0, 40, 24)));
}
