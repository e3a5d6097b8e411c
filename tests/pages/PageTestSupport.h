// What the tool-window tests share: moving a bitmap slider to a position by a real key press, and
// finding a window's controls by id.
#pragma once

#include "controls/XBmpSlider.h"
#include "pages/PageHelpers.h"
#include "ui/Language.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

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
