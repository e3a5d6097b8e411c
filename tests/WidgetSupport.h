// What the widget tests share: moving a bitmap slider to a position by a real key press, clicking a
// button, and finding a window's controls by id.
#pragma once

#include "controls/XBmpSlider.h"
#include "pages/PageHelpers.h"
#include "ui/Language.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

// Puts the slider one step beside `pos` and presses the arrow that reaches it, so that the slider
// itself reports the move.
inline void MoveSlider(CXBmpSlider* slider, int pos) {
    ASSERT_NE(slider, nullptr);
    if (pos < slider->GetRangeMax()) {
        slider->SetPos(pos + 1);
        QTest::keyClick(slider, Qt::Key_Left);
    } else {
        slider->SetPos(pos - 1);
        QTest::keyClick(slider, Qt::Key_Right);
    }
    ASSERT_EQ(slider->GetPos(), pos);
}

inline void ClickButton(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(7, button->height() / 2));
}

template <class T> T* Ctrl(QWidget* window, int id) {
    auto* w = qobject_cast<T*>(FindCtrl(window, id));
    EXPECT_NE(w, nullptr) << "control " << id;
    return w;
}

inline QString TextOf(QWidget* window, int id) {
    auto* label = Ctrl<QLabel>(window, id);
    return label ? label->text() : QString();
}

// A mouse event of `type` at `pos`; presses and releases are of the left button.
inline void SendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A wheel turn of `dy` eighths of a degree at `at` (the middle of the widget by default).
inline void Wheel(QWidget* w, int dy, QPointF at) {
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, dy), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}
inline void Wheel(QWidget* w, int dy) {
    Wheel(w, dy, QRectF(w->rect()).center());
}
