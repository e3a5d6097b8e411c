// The settings schema against the window: for every row a page edits with a slider, the page made by
// the registry is moved to the row's ends and middle through the slider itself, and the store, the
// page's value text, the schema's ReadValue/FormatValue and m7qctl's parse of that text all agree.
#include "TestSupport.h"
#include "WidgetSupport.h"
#include "model/Compressor.h"
#include "model/Schema.h"
#include "pages/Page.h"
#include "pages/PageRegistry.h"

#include <QLineEdit>

#include <memory>

namespace {

struct Control {
    std::string strName; // the schema row
    int nTemplate;
    int nArg;
    int nSlider;
    int nText;
};

std::vector<Control> Controls() {
    std::vector<Control> v;
    const auto ch = [](const char* base, int c) {
        return std::string(base) + "[" + std::to_string(c + 1) + "]";
    };
    static constexpr const char* kMix[4] = {"SET_OUT_MIX_DIRECT", "SET_OUT_MIX_REVERB", "SET_OUT_MIX_ECHO",
                                            "SET_OUT_MIX_MUSIC"};
    static constexpr const char* kComp[4] = {"SET_OUT_COMP_THRESHOLD", "SET_OUT_COMP_RATIO",
                                             "SET_OUT_COMP_ATTACK", "SET_OUT_COMP_RELEASE"};
    static constexpr const char* kMusicComp[4] = {"SET_MUSIC_COMP_THRESHOLD", "SET_MUSIC_COMP_RATIO",
                                                  "SET_MUSIC_COMP_ATTACK", "SET_MUSIC_COMP_RELEASE"};
    for (int c = 0; c < kOutputChannels; ++c) {
        for (int j = 0; j < 4; ++j) {
            v.push_back({ch(kMix[j], c), kTemplateOutputPage, c, 1041 + j, 1127 + j});
            v.push_back({ch(kComp[j], c), kTemplateOutputPage, c, 1015 + j, 1225 + j});
        }
        v.push_back({ch("SET_OUT_DELAY", c), kTemplateOutputPage, c, 1019, 1038});
        v.push_back({ch("SET_OUT_LEVEL", c), kTemplateSoundFieldPage, -1, 1041 + c, 1131 + c});
    }
    for (int j = 0; j < 4; ++j) {
        v.push_back({ch(kComp[j], 0), kTemplateCompressorPage, -1, 1014 + j, 1038 + j});
        v.push_back({kMusicComp[j], kTemplateFeatures, -1, 1051 + j, 1014 + j});
        v.push_back({ch("SET_MIC_GATE", j), kTemplateMusicPage, -1, 1052 + j, 1152 + 2 * j});
        v.push_back({ch("SET_MIC_LEVEL", j), kTemplateMusicPage, -1, 1056 + j, 1160 + 2 * j});
    }
    v.push_back({"SET_LPF_DELAY", kTemplateFeatures, -1, 1047, 1004});
    v.push_back({"SET_LPF_GAIN", kTemplateFeatures, -1, 1048, 1009});
    v.push_back({"SET_SUB_DECAY_RATIO", kTemplateFeatures, -1, 1050, 1011});
    v.push_back({"LPF_FREQ", kTemplateFeatures, -1, 1046, 1008});
    v.push_back({"MIC_BOOST_GAIN", kTemplateFeatures, -1, 1043, 1006});
    v.push_back({"SET_SRC_LEVEL_SPDIF", kTemplateMusicInput, -1, 1041, 1005});
    v.push_back({"SET_SRC_LEVEL_COAX", kTemplateMusicInput, -1, 1042, 1007});
    v.push_back({"SET_SRC_LEVEL_AUX1", kTemplateMusicInput, -1, 1047, 1008});
    return v;
}

QString ShownText(QWidget* page, int id) {
    QWidget* w = FindCtrl(page, id);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* box = qobject_cast<QLineEdit*>(w))
        return box->text();
    ADD_FAILURE() << "no text control " << id;
    return {};
}

class SchemaWalkTest : public StoreTest {
protected:
    PageState state;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

} // namespace

TEST_F(SchemaWalkTest, EverySliderAgreesWithTheSchemaAndTheCli) {
    SetLanguage(1); // the schema's texts are the English ones
    for (const Control& c : Controls()) {
        const Setting* row = FindSetting(c.strName);
        ASSERT_NE(row, nullptr) << c.strName;
        FreshStore();
        std::unique_ptr<CPage> page(CreatePage(c.nTemplate, PageContext{nullptr, &state}, c.nArg, nullptr));
        ASSERT_NE(page, nullptr) << c.nTemplate;
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        auto* slider = Ctrl<CXBmpSlider>(page.get(), c.nSlider);
        ASSERT_NE(slider, nullptr) << c.strName;
        // The control's range is the row's.
        EXPECT_EQ(slider->GetRangeMin(), row->nMin) << c.strName;
        EXPECT_EQ(slider->GetRangeMax(), row->nMax) << c.strName;
        for (int pos : {row->nMin, (row->nMin + row->nMax) / 2, row->nMax}) {
            MoveSlider(slider, pos);
            const double value = ValueOfPos(*row, pos);
            EXPECT_NEAR(ReadValue(*row), value, 1e-5 * std::max(1.0, std::fabs(value)))
                << c.strName << " " << pos;
            const QString shown = ShownText(page.get(), c.nText);
            EXPECT_EQ(shown.toStdString(), FormatValue(*row, ReadValue(*row))) << c.strName << " " << pos;
            const std::optional<double> parsed = ParseValue(*row, shown.toStdString());
            ASSERT_TRUE(parsed.has_value()) << c.strName << " \"" << shown.toStdString() << "\"";
            EXPECT_TRUE(CheckRange(*row, *parsed).bOk) << c.strName << " " << *parsed;
            EXPECT_EQ(PosOfValue(*row, *parsed), pos) << c.strName;
            // Shown again from the store, the page says the same.
            page->Refresh();
            EXPECT_EQ(slider->GetPos(), pos) << c.strName;
            EXPECT_EQ(ShownText(page.get(), c.nText), shown) << c.strName;
        }
    }
}
