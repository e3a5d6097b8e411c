// Which Ctrl key is down, from the native keys of each platform.
#include "app/ShortcutKeys.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace {

void Ctrl(CLeftCtrl& keys, bool down, quint32 scan, quint32 sym) {
    keys.Observe(QKeyEvent(down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Control,
                           down ? Qt::ControlModifier : Qt::NoModifier, scan, sym, 0));
}

TEST(LeftCtrlTest, EachPlatformTellsTheTwoKeysApartByItsOwnNativeKey) {
    struct Case {
        const char* platform;
        quint32 leftScan, leftSym, rightScan, rightSym;
    };
    const Case cases[] = {
        {"xcb", 37, 0xffe3, 105, 0xffe4},     // keysyms, whatever the key codes
        {"xcb", 0, 0xffe3, 0, 0xffe4},        //
        {"wayland", 37, 0, 105, 0},           // key codes alone
        {"wayland", 0, 0xffe3, 0, 0xffe4},    //
        {"windows", 0x1d, 0x11, 0x11d, 0x11}, // the same virtual key, the extended bit on the right
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.platform) + " " + std::to_string(c.leftScan));
        CLeftCtrl keys{QString::fromLatin1(c.platform)};
        Ctrl(keys, true, c.rightScan, c.rightSym);
        EXPECT_FALSE(keys.Held(Qt::ControlModifier));
        Ctrl(keys, true, c.leftScan, c.leftSym);
        EXPECT_TRUE(keys.Held(Qt::ControlModifier));
        Ctrl(keys, false, c.leftScan, c.leftSym);
        EXPECT_FALSE(keys.Held(Qt::ControlModifier)); // the right one is still down
        Ctrl(keys, false, c.rightScan, c.rightSym);
        Ctrl(keys, true, c.leftScan, c.leftSym);
        EXPECT_TRUE(keys.Held(Qt::ControlModifier | Qt::ShiftModifier));
        EXPECT_FALSE(keys.Held(Qt::ShiftModifier)); // no Ctrl at all
    }
    // Windows scan codes mean nothing on a Linux platform, and the other way round.
    EXPECT_EQ(CLeftCtrl(QStringLiteral("wayland"))
                  .SideOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 0x11d, 0, 0)),
              CLeftCtrl::Side::Unknown);
    EXPECT_EQ(CLeftCtrl(QStringLiteral("windows"))
                  .SideOf(QKeyEvent(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, 0x11, 0)),
              CLeftCtrl::Side::Unknown);
}

TEST(LeftCtrlTest, WhereThePlatformCannotTellAnyCtrlCounts) {
    CLeftCtrl keys{QStringLiteral("offscreen")};
    Ctrl(keys, true, 0, 0);
    EXPECT_TRUE(keys.Held(Qt::ControlModifier));
    // A Ctrl held before the window had the focus: no press seen at all.
    CLeftCtrl fresh{QStringLiteral("xcb")};
    EXPECT_TRUE(fresh.Held(Qt::ControlModifier));
}

TEST(LeftCtrlTest, AReleaseMissedElsewhereEndsWithTheNextKeyWithoutCtrl) {
    CLeftCtrl keys{QStringLiteral("xcb")};
    Ctrl(keys, true, 105, 0xffe4); // the right one, released while another program had the focus
    keys.Observe(QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, 24, 'q', 0));
    // Now the left one held before the window came back: it counts again.
    EXPECT_TRUE(keys.Held(Qt::ControlModifier));
}

} // namespace
