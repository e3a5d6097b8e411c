// Every page and tool window the registry makes: a wheel notch on a disabled bitmap slider moves
// nothing and sends nothing.
#include "TestSupport.h"
#include "controls/XBmpSlider.h"
#include "pages/Page.h"
#include "pages/PageRegistry.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include <map>
#include <memory>

class DisabledSlidersTest : public StoreTest {};

TEST_F(DisabledSlidersTest, AWheelNotchOnADisabledSliderDoesNothingOnAnyPage) {
    {
        auto lock = LockStore();
        // Power-on volumes not set: both power-on sliders of machine settings disabled.
        g_Status.byMachine[3] = g_Status.byMachine[4] = 255;
        // Every delay off: the split sliders of the delay and output pages disabled.
        for (int c = 0; c < 8; ++c)
            g_Param.nSetting[SET_OUT_DELAY_OFF + c] = 1;
    }
    std::map<int, int> disabled; // template -> disabled sliders found
    PageState state;
    for (const PageRow& row : PageRows()) {
        SCOPED_TRACE(row.szName);
        // The music page in its music mode, where the effect list's slider is off.
        const int arg = row.nTemplate == kTemplateMusicPage ? 2 : -1;
        std::unique_ptr<CPage> page(row.factory(PageContext{nullptr, &state}, arg, nullptr));
        ASSERT_NE(page, nullptr);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        link.Clear();
        for (CXBmpSlider* slider : page->findChildren<CXBmpSlider*>()) {
            if (slider->IsSliderEnabled() && slider->isEnabled())
                continue;
            ++disabled[row.nTemplate];
            const int pos = slider->GetPos();
            for (int delta : {120, -120, -120}) {
                QWheelEvent notch(QPointF(3, 3), slider->mapToGlobal(QPointF(3, 3)), QPoint(),
                                  QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(slider, &notch);
            }
            EXPECT_EQ(slider->GetPos(), pos) << CtrlId(slider);
        }
        EXPECT_TRUE(Sent().empty());
    }
    // The sliders this store leaves disabled: the eight split sliders of the delay page, the two
    // power-on volumes, the output page's split and the music mode's effect slider.
    EXPECT_EQ(disabled[kTemplateDelayPage], 8);
    EXPECT_EQ(disabled[kTemplateMachine], 2);
    EXPECT_GE(disabled[kTemplateOutputPage], 1);
    EXPECT_GE(disabled[kTemplateMusicPage], 1);
}
