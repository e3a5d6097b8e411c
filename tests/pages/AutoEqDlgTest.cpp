// The auto EQ window: fits run off the UI thread and the newest request wins; Apply on the output page
// writes every linked channel byte for byte as eq import of the fit's text would; every EQ page offers
// it from the panel's popup.
#include "pages/AutoEqDlg.h"

#include "TestSupport.h"
#include "WidgetSupport.h"
#include "controls/AutoEqPlot.h"
#include "controls/EqBandEditor.h"
#include "model/EqIo.h"
#include "pages/DialogEfx.h"
#include "pages/DialogMusic.h"
#include "pages/DialogOutput.h"
#include "ui/Prompts.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>

#include <fstream>

namespace {

class AutoEqDlgTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        PromptHooks hooks;
        hooks.file = [this](bool save, const QString&) {
            ++nFileDialogs;
            return save ? QString() : answer;
        };
        hooks.ask = [this](QMessageBox::Icon, const QString&, const QString& text,
                           QMessageBox::StandardButtons) {
            boxes << text;
            return QMessageBox::Ok;
        };
        SetPromptHooks(hooks);
    }
    void TearDown() override {
        SetPromptHooks({});
        TempDirTest::TearDown();
    }
    // A room with three modes, 1/48 octave, as a measurement program's text export.
    QString WriteRoom(const char* name, float mode) {
        Response r;
        r.hz = LogGrid(20, 20000, 48);
        const BandValues modes[] = {{8, mode, 5, EQ_PEQ}, {-4, 95, 3, EQ_PEQ}, {5, 180, 2, EQ_PEQ}};
        r.db = SectionsResponseDb(modes, r.hz);
        const std::filesystem::path path = dir / name;
        std::ofstream out(path);
        out << "* Freq(Hz) SPL(dB) Phase(degrees)\n";
        for (size_t i = 0; i < r.hz.size(); ++i)
            out << r.hz[i] << " " << 80 + r.db[i] << " 0\n";
        return QString::fromStdString(path.string());
    }
    static bool WaitFitted(CAutoEqDlg& dlg) {
        QSignalSpy fitted(&dlg, &CAutoEqDlg::Fitted);
        return !dlg.IsFitting() || fitted.wait(10000);
    }

    QString answer;
    int nFileDialogs = 0;
    QStringList boxes;
    const ScopedLanguage m_language{1}; // last: as if set after the members, restored before them
};

} // namespace

TEST_F(AutoEqDlgTest, RefitsOffTheUiThreadAndAppliesToEveryLinkedChannel) {
    CDialogOutput page(0);
    page.show();
    QCheckBox* link4 = Ctrl<QCheckBox>(&page, CDialogOutput::kLinkIds[3]);
    ASSERT_NE(link4, nullptr);
    QTest::mouseClick(link4, Qt::LeftButton, {}, QPoint(7, link4->height() / 2));
    ASSERT_EQ(page.LinkedSet(), (std::vector<int>{0, 3}));
    CEqBandEditor* editor = page.findChild<CEqBandEditor*>();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->Hooks().applyFit);

    CAutoEqDlg dlg(EQ_OUT1, editor->Hooks().applyFit, &page);
    dlg.show();
    EXPECT_FALSE(dlg.ApplyButton()->isEnabled());
    ASSERT_TRUE(dlg.AddMeasurement(WriteRoom("a.txt", 45), true));
    EXPECT_TRUE(dlg.IsFitting()); // the call came back before the fit did
    ASSERT_TRUE(dlg.AddMeasurement(WriteRoom("b.txt", 47), true));
    ASSERT_TRUE(WaitFitted(dlg));
    ASSERT_TRUE(dlg.Outcome().bOk) << dlg.Outcome().strError;
    EXPECT_EQ(dlg.BandTable()->rowCount(), 10);
    EXPECT_TRUE(dlg.Errors()->text().contains("Before: RMS")) << dlg.Errors()->text().toStdString();
    EXPECT_TRUE(dlg.Errors()->text().contains("After (predicted): RMS"));
    EXPECT_EQ(dlg.Plot()->Curves().size(), 3u);
    EXPECT_TRUE(dlg.ApplyButton()->isEnabled());

    // A change refits, again without the UI thread waiting; three changes in a row show the last.
    dlg.Bands()->setValue(8);
    EXPECT_TRUE(dlg.IsFitting());
    EXPECT_FALSE(dlg.ApplyButton()->isEnabled());
    dlg.MaxBoost()->setValue(3);
    dlg.Bands()->setValue(6);
    ASSERT_TRUE(WaitFitted(dlg));
    while (dlg.IsFitting())
        ASSERT_TRUE(WaitFitted(dlg));
    EXPECT_EQ(dlg.Outcome().limits.nBands, 6);
    EXPECT_EQ(dlg.Outcome().limits.fMaxBoostDb, 3);
    EXPECT_EQ(dlg.BandTable()->rowCount(), 6);

    link.Clear();
    QTest::mouseClick(dlg.ApplyButton(), Qt::LeftButton);
    const std::vector<Report> applied = Sent();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    // eq import of the fit's text into out1, then out4, on the store as it was.
    const std::string text = dlg.Outcome().strText;
    FreshStore();
    link.Clear();
    const FilterTextResult parsed = ParseFilterText(text, 10);
    ASSERT_TRUE(parsed.bOk);
    ApplyEqBands(EQ_OUT1, parsed.bands);
    ApplyEqBands(EQ_OUT4, parsed.bands);
    EXPECT_EQ(applied, Sent());
    EXPECT_EQ(applied.size(), 2u * 26);
}

TEST_F(AutoEqDlgTest, ABadFileIsRefusedNamingItsLine) {
    CAutoEqDlg dlg(EQ_MUSIC, [](int, const EqFitOutcome&) { return true; });
    const std::filesystem::path bad = dir / "bad.frd";
    std::ofstream(bad) << "20 70\n30 71\n25 72\n";
    EXPECT_FALSE(dlg.AddMeasurement(QString::fromStdString(bad.string())));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("bad.frd: line 3:")) << boxes[0].toStdString();
    EXPECT_FALSE(dlg.IsFitting());
    EXPECT_FALSE(dlg.ApplyButton()->isEnabled());
    EXPECT_FALSE(dlg.SetTarget(QString::fromStdString(bad.string())));
    EXPECT_EQ(boxes.size(), 2);
}

// The popup's signal reaches the window on each EQ page: it asks for a measurement first, and with
// none chosen nothing opens and nothing is sent.
TEST_F(AutoEqDlgTest, EveryEqPageOffersIt) {
    PageState state;
    const PageContext context{nullptr, &state};
    std::vector<std::unique_ptr<CPage>> pages;
    pages.push_back(std::make_unique<CDialogMusic>(context, 2));
    pages.push_back(std::make_unique<CDialogEfx>(context, 0));
    pages.push_back(std::make_unique<CDialogOutput>(context, 5));
    for (auto& page : pages) {
        page->show();
        CEqBandEditor* editor = page->findChild<CEqBandEditor*>();
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->Hooks().autoEq);
        ASSERT_TRUE(editor->Hooks().applyFit);
        link.Clear();
        const int before = nFileDialogs;
        emit editor->Panel()->EqAutoEq(editor->Hooks().eq);
        EXPECT_EQ(nFileDialogs, before + 1);
        EXPECT_TRUE(Sent().empty());
    }
}
