// The band grid and band editor beside an EQ panel: every way of editing a band, the loading rule,
// the crossover list of band 9 and copy / paste between equalisers, checked on the reports sent.
#include "TestSupport.h"

#include "controls/EqBandEditor.h"
#include "controls/XBmpSlider.h"
#include "dsp/FilterResponse.h"
#include "files/FilterText.h"
#include "model/Compound.h"
#include "model/EqIo.h"
#include "pages/EqHooks.h"
#include "pages/Page.h"
#include "ui/Language.h"
#include "ui/Prompts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace {

constexpr int kMusic = EQ_MUSIC;
constexpr int kCh1 = EQ_OUT1;
constexpr int kCh2 = EQ_OUT2;

Report Mem(int address, float gain, float freq, float q, int type) {
    const BandRecordBytes rec = EncodeBandRecord(gain, freq, q, type);
    return BuildMemoryWrite(address, kBandRecordSize, rec.data());
}

// The coefficient report of a band as the store decodes it (whole Hz, 0.1 dB, Q in thousandths).
Report Coeffs(int block, int param, int type, float gain, float freq, float q) {
    const auto f = EncodeBiquadBlock(CalcBiquad(type, gain, freq, q));
    std::vector<uint32_t> words;
    for (float x : f)
        words.push_back(FloatBits(x));
    return BuildParamValues(block, param, words);
}

// Report id, memory-write command, big-endian address, length 7.
std::vector<uint8_t> MemHead(int address) {
    return {0x02, CMD_MEM_WRITE, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF), 7};
}

void PutRecord(int address, float gain, float freq, float q, int type) {
    const BandRecordBytes rec = EncodeBandRecord(gain, freq, q, type);
    std::copy(rec.begin(), rec.end(), g_Param.byImage.begin() + address);
}

std::vector<uint8_t> Record(int address) {
    return std::vector<uint8_t>(g_Param.byImage.begin() + address,
                                g_Param.byImage.begin() + address + kBandRecordSize);
}

class EqBandEditorTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        host = std::make_unique<QWidget>();
        host->resize(900, 300);
        panel = new CEqPanel(host.get());
        panel->setGeometry(280, 5, 610, 290);
        editor = new CEqBandEditor(panel, 313, host.get());
        editor->setGeometry(5, 5, 268, 290);
    }
    void TearDown() override {
        host.reset();
        StoreTest::TearDown();
    }
    // Shows equaliser `kind` as a page would, then forgets what was sent so far.
    void Use(int kind, int bands, int highest, std::function<void(int, const BandValues&)> writer = {}) {
        EqEditorHooks hooks = StoreEqHooks(kind, bands, highest, &state);
        if (writer)
            hooks.writeBand = [writer](int, int band, const BandValues& r, std::span<const BandValues>) {
                writer(band, r);
            };
        editor->SetHooks(hooks);
        editor->LoadEqFromStore();
        link.Clear();
    }
    void Show() {
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    }
    bool Shown(int id) const { return FindCtrl(editor, id)->isVisibleTo(editor); }
    QString Cell(int row, int column) const { return editor->Grid()->item(row, column)->text(); }
    void EnterText(int editId, const QString& text) {
        QLineEdit* e = editor->Edit(editId);
        e->setText(text);
        QTest::keyClick(e, Qt::Key_Return);
    }

    PageState state; // the copied EQ lives here, as in the window
    std::unique_ptr<QWidget> host;
    CEqPanel* panel = nullptr;
    CEqBandEditor* editor = nullptr;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

} // namespace

TEST_F(EqBandEditorTest, LeadingNumberReadsLikeACNumberReader) {
    EXPECT_DOUBLE_EQ(CEqBandEditor::LeadingNumber("+3.0dB"), 3.0);
    EXPECT_DOUBLE_EQ(CEqBandEditor::LeadingNumber("1000Hz"), 1000.0);
    EXPECT_DOUBLE_EQ(CEqBandEditor::LeadingNumber("  -2.5x"), -2.5);
    EXPECT_DOUBLE_EQ(CEqBandEditor::LeadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(CEqBandEditor::LeadingNumber("1e3Hz"), 1000.0);
    EXPECT_DOUBLE_EQ(CEqBandEditor::LeadingNumber("5e"), 5.0);
    for (const char* none : {"", "abc", "-", ".", "nan", "inf", "1e999", "Hz1000"})
        EXPECT_EQ(CEqBandEditor::LeadingNumber(QString::fromLatin1(none)), 0.0) << none;
}

TEST_F(EqBandEditorTest, PanelChangeFillsTheEditorAndWritesTheBand) {
    Use(kMusic, 10, EQ_HS);
    ASSERT_FALSE(editor->Grid()->isHidden());
    panel->SetBandType(3, EQ_PEQ);
    panel->SetBandGain(3, 3.0f);
    panel->SetBandFreq(3, 2000);
    panel->SetBandQ(3, 1.41f);
    emit panel->EqBandChanged(panel->BandEdit(3));

    EXPECT_EQ(editor->SelectedBand(), 3);
    EXPECT_TRUE(editor->Grid()->isHidden());
    for (int id : {1199, 1200, 1201, 1202, 1203, 1204, 1209, 1210, 1211, 1212, 1213, 1214})
        EXPECT_TRUE(Shown(id)) << id;
    EXPECT_EQ(editor->BandNumber()->text(), "4");
    EXPECT_EQ(editor->Edit(1212)->text(), "+3.0dB");
    EXPECT_EQ(editor->Edit(1213)->text(), "2000Hz");
    EXPECT_EQ(editor->Edit(1214)->text(), "1.41");
    EXPECT_EQ(editor->Slider(1209)->GetPos(), 30);
    EXPECT_EQ(editor->Slider(1210)->GetPos(), 2000);
    EXPECT_EQ(editor->Slider(1211)->GetPos(), 141);
    EXPECT_EQ(editor->Slider(1211)->GetRangeMax(), 3000);
    EXPECT_TRUE(editor->Radio(1204)->isChecked());
    EXPECT_TRUE(editor->Slider(1209)->IsSliderEnabled());
    EXPECT_EQ(Cell(3, 2), "+3.0dB");
    EXPECT_EQ(Cell(3, 3), "2000Hz");
    EXPECT_EQ(Cell(3, 4), "1.41");

    // Memory write of the 7-byte record at 336 + 3 * 7, then the biquad to (MOD_MUSIC, 3).
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent[0], 0, 12),
              (std::vector<uint8_t>{0x02, 133, 0x01, 0x65, 7, 0x00, 180, 0x07, 0xD0, 0x05, 0x82, 1}));
    EXPECT_EQ(sent[1], Coeffs(MOD_MUSIC, 3, EQ_PEQ, 3.0f, 2000, 1.41f));

    // A press beside every handle deselects: back to the grid.
    emit panel->EqBandDeselect();
    EXPECT_EQ(editor->SelectedBand(), -1);
    EXPECT_FALSE(editor->Grid()->isHidden());
    for (int id : {1199, 1200, 1201, 1202, 1203, 1209, 1212, 1214, 1215, 1134})
        EXPECT_FALSE(Shown(id)) << id;
}

TEST_F(EqBandEditorTest, DraggingABandWritesEveryStepAndTheEditorFollows) {
    PutRecord(ADDR_EQ_MUSIC + 5 * 7, 0.0f, 1000, 1.41f, EQ_PEQ);
    Use(kMusic, 10, EQ_HS);
    Show();
    panel->repaint(); // handle positions are placed by drawing
    const EqBand* b = panel->GetBand(5);
    const QPoint h(qRound(panel->FreqToX(b->fFreq)), qRound(panel->GainToY(b->fGain)));
    QTest::mousePress(panel, Qt::LeftButton, {}, h);
    ASSERT_EQ(editor->SelectedBand(), 5);
    QTest::mouseMove(panel, h + QPoint(0, -40));
    QTest::mouseMove(panel, h + QPoint(0, -60));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, h + QPoint(0, -60));
    const auto sent = Sent();
    // Press, two moves, release: a record and its coefficients each time.
    ASSERT_EQ(sent.size(), 8u);
    const int address = ADDR_EQ_MUSIC + 5 * 7;
    for (size_t i = 0; i < sent.size(); i += 2) {
        EXPECT_EQ(Bytes(sent[i], 0, 5), MemHead(address));
        EXPECT_EQ(sent[i + 1][3], MOD_MUSIC);
        EXPECT_EQ(sent[i + 1][4], 5);
    }
    EXPECT_GT(panel->GetBand(5)->fGain, 0.0f);
    EXPECT_EQ(editor->Edit(1212)->text(), QString::asprintf("%+-.1fdB", panel->GetBand(5)->fGain));
    EXPECT_EQ(Record(address), Bytes(sent[6], 5, 7));
}

TEST_F(EqBandEditorTest, TypeRadiosChangeTheBandAndItsEditor) {
    PutRecord(ADDR_EQ_MUSIC + 2 * 7, 4.0f, 125, 1.41f, EQ_PEQ);
    Use(kMusic, 10, EQ_HS);
    editor->PickBand(2);
    EXPECT_EQ(editor->SelectedBand(), 2);
    EXPECT_EQ(panel->SelectedBand(), 2);
    EXPECT_TRUE(Sent().empty()); // picking writes nothing

    editor->Radio(1205)->click(); // LP
    EXPECT_EQ(panel->GetBand(2)->nType, EQ_LP);
    EXPECT_EQ(panel->GetBand(2)->fGain, 0.0f);
    EXPECT_FLOAT_EQ(panel->GetBand(2)->fQ, 0.7f);
    EXPECT_FALSE(editor->Slider(1209)->IsSliderEnabled());
    EXPECT_FALSE(editor->Edit(1212)->isEnabled());
    EXPECT_EQ(editor->Slider(1211)->GetRangeMax(), 200);
    EXPECT_EQ(editor->Slider(1211)->GetPos(), 70);
    EXPECT_EQ(Cell(2, 1), "低通");
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    // 350 = 0x015E; gain 0 dB -> 150; 125 Hz; Q 0.700; type 2.
    EXPECT_EQ(Bytes(sent[0], 0, 12),
              (std::vector<uint8_t>{0x02, 133, 0x01, 0x5E, 7, 0x00, 150, 0x00, 125, 0x02, 0xBC, 2}));
    EXPECT_EQ(sent[1], Coeffs(MOD_MUSIC, 2, EQ_LP, 0.0f, 125, 0.7f));

    link.Clear();
    editor->Radio(1207)->click(); // LS
    EXPECT_EQ(panel->GetBand(2)->nType, EQ_LS);
    EXPECT_TRUE(editor->Slider(1209)->IsSliderEnabled());
    EXPECT_TRUE(editor->Edit(1212)->isEnabled());
    editor->Radio(1204)->click(); // PEQ
    EXPECT_FLOAT_EQ(panel->GetBand(2)->fQ, 1.41f);
    EXPECT_EQ(editor->Slider(1211)->GetRangeMax(), 3000);
    sent = Sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], Mem(ADDR_EQ_MUSIC + 14, 0, 125, 0.7f, EQ_LS));
    EXPECT_EQ(sent[2], Mem(ADDR_EQ_MUSIC + 14, 0, 125, 1.41f, EQ_PEQ));
    EXPECT_EQ(sent[3], Coeffs(MOD_MUSIC, 2, EQ_PEQ, 0.0f, 125, 1.41f));
}

TEST_F(EqBandEditorTest, SlidersStepTheBand) {
    PutRecord(ADDR_EQ_MUSIC + 4 * 7, 0.0f, 500, 1.41f, EQ_PEQ);
    Use(kMusic, 10, EQ_HS);
    Show();
    editor->PickBand(4);
    const int address = ADDR_EQ_MUSIC + 4 * 7;

    editor->Slider(1210)->setFocus();
    QTest::keyClick(editor->Slider(1210), Qt::Key_Up);
    EXPECT_EQ(editor->Edit(1213)->text(), "501Hz");
    EXPECT_EQ(panel->GetBand(4)->fFreq, 501.0f);
    QTest::keyClick(editor->Slider(1209), Qt::Key_Up);
    EXPECT_EQ(editor->Edit(1212)->text(), "+0.1dB");
    QTest::keyClick(editor->Slider(1211), Qt::Key_Down);
    EXPECT_EQ(editor->Edit(1214)->text(), "1.40");
    EXPECT_FLOAT_EQ(panel->GetBand(4)->fQ, 1.40f);

    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[0], Mem(address, 0.0f, 501, 1.41f, EQ_PEQ));
    EXPECT_EQ(sent[1], Coeffs(MOD_MUSIC, 4, EQ_PEQ, 0.0f, 501, 1.41f));
    EXPECT_EQ(sent[2], Mem(address, 0.1f, 501, 1.41f, EQ_PEQ));
    EXPECT_EQ(Bytes(sent[4], 5, 7), (std::vector<uint8_t>{0x00, 151, 0x01, 0xF5, 0x05, 0x78, 1}));
    EXPECT_EQ(Record(address), Bytes(sent[4], 5, 7));

    // A page passes the wheel to the focused editor slider, and to nothing else.
    const QPointF at(1, 1);
    QWheelEvent up(at, at, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    host->activateWindow();
    editor->Slider(1209)->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), editor->Slider(1209));
    EXPECT_TRUE(editor->ForwardWheel(&up));
    EXPECT_EQ(editor->Edit(1212)->text(), "+0.2dB");
    editor->Edit(1213)->setFocus();
    EXPECT_FALSE(editor->ForwardWheel(&up));
}

TEST_F(EqBandEditorTest, EditBoxesApplyOnEnter) {
    PutRecord(ADDR_EQ_MUSIC + 6 * 7, -2.0f, 1000, 1.41f, EQ_PEQ);
    Use(kMusic, 10, EQ_HS);
    Show();
    editor->PickBand(6);
    const int address = ADDR_EQ_MUSIC + 6 * 7;

    EnterText(1213, "2000");
    EXPECT_EQ(panel->GetBand(6)->fFreq, 2000.0f);
    EXPECT_EQ(editor->Edit(1213)->text(), "2000Hz");
    EXPECT_EQ(editor->Slider(1210)->GetPos(), 2000);
    ASSERT_EQ(Sent().size(), 2u);
    EXPECT_EQ(Sent()[0], Mem(address, -2.0f, 2000, 1.41f, EQ_PEQ));

    EnterText(1213, "5"); // below 20 Hz
    EXPECT_EQ(panel->GetBand(6)->fFreq, 20.0f);
    EnterText(1213, "");
    EXPECT_EQ(panel->GetBand(6)->fFreq, 20.0f);
    EnterText(1213, "99999Hz");
    EXPECT_EQ(panel->GetBand(6)->fFreq, 20000.0f);

    EnterText(1212, "+20dB"); // held at +15
    EXPECT_EQ(panel->GetBand(6)->fGain, 15.0f);
    EXPECT_EQ(editor->Edit(1212)->text(), "+15.0dB");
    EXPECT_EQ(editor->Slider(1209)->GetPos(), 150);
    EnterText(1214, "abc"); // Q 0 is ignored; the band is still written
    EXPECT_FLOAT_EQ(panel->GetBand(6)->fQ, 1.41f);
    EnterText(1214, "1e300");
    EXPECT_FLOAT_EQ(panel->GetBand(6)->fQ, 30.0f);
    EXPECT_EQ(editor->Slider(1211)->GetPos(), 3000);

    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 14u);
    EXPECT_EQ(sent[12], Mem(address, 15.0f, 20000, 30.0f, EQ_PEQ));
    EXPECT_EQ(sent[13], Coeffs(MOD_MUSIC, 6, EQ_PEQ, 15.0f, 20000, 30.0f));
    // Without a selected band Enter does nothing.
    emit panel->EqBandDeselect();
    link.Clear();
    EnterText(1213, "3000");
    EXPECT_TRUE(Sent().empty());
}

TEST_F(EqBandEditorTest, ANegativeZeroGainKeepsItsSignInTheBoxTheGridAndThePanel) {
    PutRecord(ADDR_EQ_MUSIC + 3 * 7, 2.0f, 500, 1.41f, EQ_PEQ);
    Use(kMusic, 10, EQ_HS);
    Show();
    editor->PickBand(3);
    EnterText(1212, "-0");
    ASSERT_TRUE(std::signbit(panel->GetBand(3)->fGain));
    EXPECT_EQ(CEqPanel::GainText(panel->GetBand(3)->fGain), "-0.0dB"); // what the panel draws
    EXPECT_EQ(editor->Edit(1212)->text(), "-0.0dB");
    EXPECT_EQ(Cell(3, 2), "-0.0dB");
    // Through the grid as well; a positive zero and rounding keep their usual signs.
    editor->OnGridEditEnd(3, 2, "+1");
    EXPECT_EQ(Cell(3, 2), "+1.0dB");
    editor->OnGridEditEnd(3, 2, "-0");
    EXPECT_EQ(Cell(3, 2), "-0.0dB");
    EXPECT_EQ(CEqPanel::GainText(0.0), "+0.0dB");
    EXPECT_EQ(CEqPanel::GainText(-0.04), "-0.0dB");
    EXPECT_EQ(CEqPanel::GainText(-14.96), "-15.0dB");
}

TEST_F(EqBandEditorTest, GridInPlaceEdits) {
    PutRecord(ADDR_EQ_MUSIC + 1 * 7, 1.0f, 62, 1.41f, EQ_PEQ);
    Use(kMusic, 10, EQ_HS);
    Show();
    QTableWidget* grid = editor->Grid();

    // A value cell, through the real in-place editor.
    grid->setCurrentCell(1, 3);
    grid->editItem(grid->item(1, 3));
    auto* line = qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(1, 3)));
    ASSERT_NE(line, nullptr);
    line->setText("2000");
    QTest::keyClick(line, Qt::Key_Return);
    QApplication::processEvents(); // the delegate commits on a queued call
    EXPECT_EQ(panel->GetBand(1)->fFreq, 2000.0f);
    EXPECT_EQ(Cell(1, 3), "2000Hz");
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], Mem(ADDR_EQ_MUSIC + 7, 1.0f, 2000, 1.41f, EQ_PEQ));
    EXPECT_EQ(sent[1], Coeffs(MOD_MUSIC, 1, EQ_PEQ, 1.0f, 2000, 1.41f));

    // The type column: a drop-down of the five names.
    link.Clear();
    grid->setCurrentCell(1, 1);
    grid->editItem(grid->item(1, 1));
    auto* combo = qobject_cast<QComboBox*>(grid->indexWidget(grid->model()->index(1, 1)));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 5);
    EXPECT_EQ(combo->itemText(0), "参量");
    combo->setCurrentIndex(2); // 高通
    emit combo->activated(2);
    EXPECT_EQ(panel->GetBand(1)->nType, EQ_HP);
    EXPECT_EQ(Cell(1, 1), "高通");
    EXPECT_EQ(Cell(1, 2), "+0.0dB");
    sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], Mem(ADDR_EQ_MUSIC + 7, 0.0f, 2000, 0.7f, EQ_HP));

    // A text that is none of the six names changes nothing; "关闭" is one of them.
    link.Clear();
    editor->OnGridEditEnd(1, 1, "Notch");
    EXPECT_TRUE(Sent().empty());
    editor->OnGridEditEnd(1, 1, "关闭");
    EXPECT_EQ(panel->GetBand(1)->nType, EQ_OFF);
    EXPECT_EQ(Sent().size(), 2u);

    // Value cells: all three are read; a frequency of 0 is ignored, Q through the type's limits.
    editor->OnGridEditEnd(1, 1, "参量");
    link.Clear();
    editor->OnGridEditEnd(1, 2, "+6");
    editor->OnGridEditEnd(1, 3, "0");
    editor->OnGridEditEnd(1, 4, "45");
    EXPECT_EQ(panel->GetBand(1)->fGain, 6.0f);
    EXPECT_EQ(panel->GetBand(1)->fFreq, 2000.0f);
    EXPECT_EQ(panel->GetBand(1)->fQ, 30.0f);
    EXPECT_EQ(Cell(1, 2), "+6.0dB");
    EXPECT_EQ(Cell(1, 3), "2000Hz");
    EXPECT_EQ(Cell(1, 4), "30.00");
    sent = Sent();
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_EQ(sent[4], Mem(ADDR_EQ_MUSIC + 7, 6.0f, 2000, 30.0f, EQ_PEQ));
    EXPECT_EQ(editor->SelectedBand(), -1); // grid edits leave the grid in place
}

TEST_F(EqBandEditorTest, LoadTakesTypesUpToThePagesHighestCode) {
    // Music: 40 and a crossover code 18 load as off; an HP band loses its gain; Q held at 2.
    PutRecord(ADDR_EQ_MUSIC + 0 * 7, 3.0f, 100, 1.0f, 40);
    PutRecord(ADDR_EQ_MUSIC + 1 * 7, 5.0f, 300, 5.0f, EQ_HP);
    PutRecord(ADDR_EQ_MUSIC + 2 * 7, 0.0f, 0, 0.0f, EQ_PEQ); // frequency and Q 0: kept from the reset
    PutRecord(ADDR_EQ_MUSIC + 3 * 7, 0.0f, 400, 1.0f, 18);
    PutRecord(ADDR_EQ_MUSIC + 4 * 7, 9.5f, 500, 12.0f, EQ_PEQ);
    PutRecord(ADDR_EQ_MUSIC + 5 * 7, 2.0f, 600, 1.0f, EQ_HS); // the highest code kept
    PutRecord(ADDR_EQ_MUSIC + 6 * 7, 2.0f, 700, 1.0f, 6);     // one above it
    g_Param.nSetting[SET_MUSIC_EQ_BYPASS] = 1;
    EqEditorHooks hooks = StoreEqHooks(kMusic, 10, EQ_HS, &state);
    editor->SetHooks(hooks);
    editor->LoadEqFromStore();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(panel->Kind(), kMusic);
    EXPECT_EQ(panel->BandCount(), 10);
    EXPECT_TRUE(panel->Bypass());
    EXPECT_EQ(panel->GetBand(0)->nType, EQ_OFF);
    EXPECT_EQ(panel->GetBand(1)->nType, EQ_HP);
    EXPECT_EQ(panel->GetBand(1)->fGain, 0.0f);
    EXPECT_FLOAT_EQ(panel->GetBand(1)->fQ, 2.0f);
    EXPECT_EQ(panel->GetBand(2)->fFreq, 125.0f);
    EXPECT_FLOAT_EQ(panel->GetBand(2)->fQ, 1.41f);
    EXPECT_EQ(panel->GetBand(3)->nType, EQ_OFF);
    EXPECT_EQ(panel->GetBand(4)->fGain, 9.5f);
    EXPECT_FLOAT_EQ(panel->GetBand(4)->fQ, 12.0f);
    EXPECT_EQ(panel->GetBand(5)->nType, EQ_HS);
    EXPECT_EQ(panel->GetBand(6)->nType, EQ_OFF);
    EXPECT_EQ(editor->Grid()->rowCount(), 10);
    EXPECT_EQ(Cell(0, 0), "1");
    EXPECT_EQ(Cell(0, 1), "关闭");
    EXPECT_EQ(Cell(1, 1), "高通");
    EXPECT_EQ(Cell(1, 2), "+0.0dB");
    EXPECT_EQ(Cell(1, 3), "300Hz");
    EXPECT_EQ(Cell(1, 4), "2.00");
    EXPECT_EQ(Cell(3, 1), "关闭");
    EXPECT_EQ(Cell(4, 2), "+9.5dB");

    // The output page keeps codes up to 31: a crossover loads as it is, 40 as off.
    const int ch1 = ADDR_EQ_OUT;
    PutRecord(ch1 + 4 * 7, 2.0f, 500, 1.0f, 40);
    PutRecord(ch1 + 5 * 7, 0.0f, 600, 1.0f, 31);
    PutRecord(ch1 + 6 * 7, 0.0f, 700, 1.0f, 32);
    PutRecord(ch1 + 9 * 7, 6.0f, 80, 0.7f, EQ_Q131_LP);
    PutRecord(ch1 + 10 * 7, 0.0f, 80, 0.7f, EQ_Q054_LP);
    PutRecord(ch1 + 11 * 7, 0.0f, 80, 0.7f, EQ_PEQ);
    PutRecord(ch1 + 12 * 7, 0.0f, 80, 0.7f, EQ_PEQ);
    g_Param.nSetting[SET_OUT_EQ_BYPASS] = 0;
    Use(kCh1, 13, 31);
    EXPECT_EQ(editor->Grid()->rowCount(), 10);
    EXPECT_EQ(panel->BandCount(), 13);
    EXPECT_EQ(panel->GetBand(4)->nType, EQ_OFF);
    EXPECT_EQ(panel->GetBand(5)->nType, 31);
    EXPECT_EQ(panel->GetBand(6)->nType, EQ_OFF);
    EXPECT_EQ(Cell(5, 1), ""); // no name for the code
    EXPECT_EQ(panel->GetBand(9)->nType, EQ_Q131_LP);
    EXPECT_EQ(panel->GetBand(9)->fGain, 0.0f);
    EXPECT_EQ(panel->GetBand(10)->nType, EQ_Q054_LP);
    EXPECT_EQ(Cell(9, 1), "低通"); // the crossover's shown type
    // The music page again: the same crossover band loads as off there.
    std::copy_n(g_Param.byImage.begin() + ch1 + 9 * 7, 7, g_Param.byImage.begin() + ADDR_EQ_MUSIC + 9 * 7);
    Use(kMusic, 10, EQ_HS);
    EXPECT_EQ(panel->GetBand(9)->nType, EQ_OFF);
    EXPECT_EQ(Cell(9, 1), "关闭");
}

TEST_F(EqBandEditorTest, CrossoverListOfBandNine) {
    Use(kCh1, 13, 31);
    Show();
    const int group = MOD_OUT1;
    editor->PickBand(9);
    EXPECT_FALSE(Shown(1134));
    const float f9 = panel->GetBand(9)->fFreq;
    const float q9 = panel->GetBand(9)->fQ;

    editor->Radio(1205)->click(); // LP: Butterworth 24 dB
    EXPECT_EQ(panel->GetBand(9)->nType, EQ_Q131_LP);
    EXPECT_EQ(panel->GetBand(10)->nType, EQ_Q054_LP);
    EXPECT_TRUE(Shown(1134));
    EXPECT_TRUE(Shown(1215));
    EXPECT_EQ(editor->CrossoverList()->count(), 11);
    EXPECT_EQ(editor->CrossoverList()->currentIndex(), 9);
    EXPECT_EQ(editor->CrossoverList()->currentText(), "Butterworth 24dB");
    EXPECT_EQ(Cell(9, 1), "低通");
    auto sent = Sent();
    // Band 9 and its three companions, each a record and its coefficients, to block 5.
    ASSERT_EQ(sent.size(), 8u);
    const int codes[4] = {EQ_Q131_LP, EQ_Q054_LP, EQ_PEQ, EQ_PEQ};
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(sent[2 * j], Mem(EqBandAddress(group, 9 + j), 0.0f, f9, q9, codes[j])) << j;
        EXPECT_EQ(sent[2 * j + 1][4], 9 + j);
        EXPECT_EQ(sent[2 * j + 1][3], group);
    }

    // Another family from the list.
    link.Clear();
    editor->CrossoverList()->setCurrentIndex(3); // LinkwitzRiely 48dB
    EXPECT_EQ(panel->GetBand(11)->nType, EQ_Q131_LP);
    EXPECT_EQ(panel->GetBand(12)->nType, EQ_Q054_LP);
    EXPECT_EQ(Cell(9, 1), "低通");
    sent = Sent();
    ASSERT_EQ(sent.size(), 8u);
    EXPECT_EQ(sent[6], Mem(EqBandAddress(group, 12), 0.0f, f9, q9, EQ_Q054_LP));
    EXPECT_EQ(Record(EqBandAddress(group, 11)), Bytes(sent[4], 5, 7));

    // A band-changed message for the crossover band shows its type as LP.
    link.Clear();
    editor->Radio(1204)->click();
    EXPECT_FALSE(Shown(1134));
    editor->Radio(1206)->click(); // HP
    editor->Radio(1204)->setChecked(true);
    emit panel->EqBandChanged(panel->BandEdit(9));
    EXPECT_TRUE(editor->Radio(1206)->isChecked());
    EXPECT_TRUE(Shown(1134));
    EXPECT_EQ(editor->CrossoverList()->currentIndex(), 9);

    // The grid view: a click on row 9 shows the list for a crossover band, any other row hides it.
    emit panel->EqBandDeselect();
    EXPECT_FALSE(Shown(1134));
    QTableWidget* grid = editor->Grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(9, 0)).center());
    EXPECT_TRUE(Shown(1134));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(2, 0)).center());
    EXPECT_FALSE(Shown(1134));

    // The music page has no crossover list at all.
    Use(kMusic, 10, EQ_HS);
    editor->PickBand(9);
    editor->Radio(1205)->click();
    EXPECT_EQ(panel->GetBand(9)->nType, EQ_LP);
    EXPECT_FALSE(Shown(1134));
}

TEST_F(EqBandEditorTest, ThePagesBandWriterGetsEveryWrite) {
    std::vector<std::tuple<int, int, float, float, float>> calls;
    PutRecord(ADDR_EQ_OUT + 3 * 7, 0.0f, 250, 1.41f, EQ_PEQ);
    Show();
    Use(kCh1, 13, 31,
        [&](int band, const BandValues& r) { calls.emplace_back(band, r.nType, r.fGain, r.fFreq, r.fQ); });
    editor->PickBand(3);
    EnterText(1212, "-4.5");
    editor->Radio(1208)->click();
    editor->OnGridEditEnd(7, 1, "低架");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], std::make_tuple(3, int(EQ_PEQ), -4.5f, 250.0f, 1.41f));
    EXPECT_EQ(calls[1], std::make_tuple(3, int(EQ_HS), 0.0f, 250.0f, 0.7f));
    EXPECT_EQ(std::get<0>(calls[2]), 7);
    EXPECT_EQ(std::get<1>(calls[2]), int(EQ_LS));
    // The writer owns the store: the editor sent nothing itself.
    EXPECT_TRUE(Sent().empty());
}

TEST_F(EqBandEditorTest, PasteMusicOntoChannelTwo) {
    for (int b = 0; b < 10; ++b)
        PutRecord(ADDR_EQ_MUSIC + 7 * b, 0.5f * b - 2, 40.0f + 100 * b, 1.0f + 0.1f * b, EQ_PEQ);
    PutRecord(ADDR_EQ_MUSIC + 63, 0.0f, 8000, 0.7f, EQ_LP);
    const std::vector<uint8_t> music(g_Param.byImage.begin() + ADDR_EQ_MUSIC,
                                     g_Param.byImage.begin() + ADDR_EQ_MUSIC + 70);
    const int ch2 = ADDR_EQ_OUT + kOutEqStride;
    const std::vector<uint8_t> band13(g_Param.byImage.begin() + ch2 + 91,
                                      g_Param.byImage.begin() + ch2 + 105);

    Use(kMusic, 10, EQ_HS);
    emit panel->EqCopyPaste(0, kMusic);
    EXPECT_EQ(state.nCopiedEq, kMusic);
    EXPECT_TRUE(Sent().empty());

    Use(kCh2, 13, 31);
    emit panel->EqCopyPaste(1, kCh2);
    EXPECT_EQ(std::vector<uint8_t>(g_Param.byImage.begin() + ch2, g_Param.byImage.begin() + ch2 + 70), music);
    const BandRecordBytes flat = EncodeBandRecord(0.0f, 8000, 0.7f, EQ_PEQ);
    for (int b = 10; b <= 12; ++b)
        EXPECT_EQ(Record(ch2 + 7 * b), std::vector<uint8_t>(flat.begin(), flat.end())) << b;
    EXPECT_EQ(std::vector<uint8_t>(g_Param.byImage.begin() + ch2 + 91, g_Param.byImage.begin() + ch2 + 105),
              band13); // the delay split bands stay

    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 26u);
    for (int b = 0; b < 13; ++b) {
        const int address = ch2 + 7 * b;
        EXPECT_EQ(Bytes(sent[2 * b], 0, 5), MemHead(address));
        EXPECT_EQ(Bytes(sent[2 * b], 5, 7), Record(address));
        EXPECT_EQ(sent[2 * b + 1][1], CMD_SET_PARAM);
        EXPECT_EQ(sent[2 * b + 1][3], MOD_OUT1 + 1);
        EXPECT_EQ(sent[2 * b + 1][4], b);
    }
    // Band 11: 0 dB, 8000 Hz, Q 0.700, PEQ at 406 + 105 + 77 = 588.
    EXPECT_EQ(Bytes(sent[22], 0, 12),
              (std::vector<uint8_t>{0x02, 133, 0x02, 0x4C, 7, 0x00, 150, 0x1F, 0x40, 0x02, 0xBC, 1}));
    EXPECT_EQ(sent[23], Coeffs(MOD_OUT1 + 1, 11, EQ_PEQ, 0.0f, 8000, 0.7f));
    // The page shows the pasted equaliser.
    EXPECT_EQ(panel->Kind(), kCh2);
    EXPECT_EQ(panel->GetBand(3)->fFreq, 340.0f);
    EXPECT_EQ(Cell(3, 3), "340Hz");
    EXPECT_EQ(Cell(9, 1), "低通");
}

TEST_F(EqBandEditorTest, PasteChannelOneOntoMicA) {
    const int ch1 = ADDR_EQ_OUT;
    PutRecord(ch1 + 9 * 7, 0.0f, 120, 0.7f, EQ_Q131_LP);
    PutRecord(ch1 + 10 * 7, 0.0f, 120, 0.7f, EQ_Q054_LP);
    PutRecord(ch1 + 2 * 7, 5.0f, 125, 2.5f, EQ_PEQ);
    const std::vector<uint8_t> micB(g_Param.byImage.begin() + ADDR_EQ_MIC_B,
                                    g_Param.byImage.begin() + ADDR_EQ_MIC_B + 70);
    Use(kCh1, 13, 31);
    emit panel->EqCopyPaste(0, kCh1);
    Use(EQ_MIC_A, 10, EQ_HS);
    emit panel->EqCopyPaste(1, EQ_MIC_A);

    for (int b = 0; b < 9; ++b)
        EXPECT_EQ(Record(ADDR_EQ_MIC_A + 7 * b), Record(ch1 + 7 * b)) << b;
    // The crossover keeps its direction only: code 18 becomes LP.
    EXPECT_EQ(Record(ADDR_EQ_MIC_A + 63), (std::vector<uint8_t>{0x00, 150, 0x00, 120, 0x02, 0xBC, EQ_LP}));
    EXPECT_EQ(std::vector<uint8_t>(g_Param.byImage.begin() + ADDR_EQ_MIC_B,
                                   g_Param.byImage.begin() + ADDR_EQ_MIC_B + 70),
              micB);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 20u);
    for (int b = 0; b < 10; ++b) {
        EXPECT_EQ(Bytes(sent[2 * b], 0, 5), MemHead(7 * b));
        EXPECT_EQ(sent[2 * b + 1][3], MOD_MIC);
        EXPECT_EQ(sent[2 * b + 1][4], 16 + b);
    }
    EXPECT_EQ(sent[19], Coeffs(MOD_MIC, 25, EQ_LP, 0.0f, 120, 0.7f));
    EXPECT_EQ(sent[5], Coeffs(MOD_MIC, 18, EQ_PEQ, 5.0f, 125, 2.5f));
    EXPECT_EQ(panel->GetBand(9)->nType, EQ_LP);
    EXPECT_EQ(Cell(2, 2), "+5.0dB");
}

TEST_F(EqBandEditorTest, PasteWithoutACopyOnlyReloads) {
    Use(kMusic, 10, EQ_HS);
    editor->PickBand(4);
    panel->SetBandGain(4, 7.0f); // a panel value not in the store
    emit panel->EqCopyPaste(1, kMusic);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(editor->SelectedBand(), -1);
    EXPECT_FALSE(editor->Grid()->isHidden());
    EXPECT_EQ(panel->GetBand(4)->fGain, ReadBand(MOD_MUSIC, 4).fGain);
    // Kinds outside 0..14 are refused.
    EXPECT_FALSE(CopyEq(6, 15));
    EXPECT_FALSE(CopyEq(-1, 6));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(EqBandEditorTest, PickBandOnASevenBandPage) {
    Show();
    Use(EQ_REVERB_B, 7, EQ_HS);
    EXPECT_EQ(editor->Grid()->rowCount(), 7);
    editor->PickBand(7);
    EXPECT_EQ(editor->SelectedBand(), -1);
    EXPECT_EQ(panel->SelectedBand(), -1);
    editor->PickBand(6);
    EXPECT_EQ(editor->SelectedBand(), 6);
    EXPECT_EQ(panel->SelectedBand(), 6);
    EXPECT_EQ(editor->BandNumber()->text(), "7");
    EXPECT_TRUE(Sent().empty());
    // Writes go to Reverb B: records from 287, coefficients from (MOD_REVERB, 12).
    EnterText(1212, "2");
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent[0], 0, 5), (std::vector<uint8_t>{0x02, 133, 0x01, 0x49, 7}));
    EXPECT_EQ(sent[1][3], MOD_REVERB);
    EXPECT_EQ(sent[1][4], 18);
}

TEST_F(EqBandEditorTest, TextsFollowTheLanguage) {
    PutRecord(ADDR_EQ_MUSIC, 0.0f, 31, 1.41f, EQ_PEQ);
    SetLanguage(1);
    editor->ReloadTexts();
    Use(kMusic, 10, EQ_HS);
    QTableWidget* grid = editor->Grid();
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "");
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "Type");
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "Gain");
    EXPECT_EQ(grid->horizontalHeaderItem(3)->text(), "Freq");
    EXPECT_EQ(grid->horizontalHeaderItem(4)->text(), "Q");
    EXPECT_EQ(editor->Radio(1206)->text(), "HP");
    EXPECT_EQ(qobject_cast<QGroupBox*>(FindCtrl(editor, 1199))->title(), "EQ Type");
    EXPECT_EQ(Cell(0, 1), "PEQ");
    editor->OnGridEditEnd(0, 1, "低通"); // a Chinese name means nothing in English
    EXPECT_TRUE(Sent().empty());
    editor->OnGridEditEnd(0, 1, "OFF");
    EXPECT_EQ(panel->GetBand(0)->nType, EQ_OFF);
    SetLanguage(0);
    editor->ReloadTexts();
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "增益");
    EXPECT_EQ(qobject_cast<QGroupBox*>(FindCtrl(editor, 1202))->title(), "Q值");
}

namespace {

// The window's filter import sends exactly what m7qctl's import sends, and a bad text changes nothing.
class FilterFileMenuTest : public EqBandEditorTest {
protected:
    void SetUp() override {
        EqBandEditorTest::SetUp();
        PromptHooks hooks;
        hooks.file = [this](bool save, const QString&) {
            saved = save;
            return path;
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
        QFile::remove(path);
        EqBandEditorTest::TearDown();
    }
    void WriteText(const char* text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString path =
        QDir::temp().filePath(QStringLiteral("m7q-filters-%1.txt").arg(QCoreApplication::applicationPid()));
    bool saved = false;
    QStringList boxes;
};

TEST_F(FilterFileMenuTest, ImportSendsWhatTheCommandLineSendsAndReloadsTheEditor) {
    WriteText("Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\n"
              "Filter 2: ON LSC Fc 120 Hz Gain 3.5 dB Q 0.71\n"
              "Filter 3: ON HP Fc 30 Hz Q 0.7\n"
              "Filter 4: ON PK Fc 500 Hz Gain 40 dB Q 2\n");
    Use(kMusic, 10, EQ_HS);
    const std::vector<uint8_t> before(g_Param.byImage.begin(), g_Param.byImage.end());
    emit panel->EqFilterFile(true, kMusic);
    const std::vector<Report> window = Sent();
    ASSERT_EQ(window.size(), 20u); // ten bands: record, then coefficients
    ASSERT_EQ(boxes.size(), 1);    // the held gain is named
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("line 4"))) << boxes[0].toStdString();
    EXPECT_EQ(panel->GetBand(1)->nType, EQ_LS);
    EXPECT_FLOAT_EQ(panel->GetBand(3)->fGain, 15.0f);

    // The same text through the command line's path, from the same store.
    std::copy(before.begin(), before.end(), g_Param.byImage.begin());
    link.Clear();
    const FilterTextResult read = ReadFilterFile(path.toStdString(), EqUserBands(kMusic));
    ASSERT_TRUE(read.bOk);
    ApplyEqBands(kMusic, read.bands);
    EXPECT_EQ(Sent(), window);
}

TEST_F(FilterFileMenuTest, ABadTextShowsItsLineAndSendsNothing) {
    WriteText("Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.000\nFilter 2: ON BP Fc 120 Hz Q 2\n");
    Use(kMusic, 10, EQ_HS);
    const std::vector<uint8_t> before(g_Param.byImage.begin(), g_Param.byImage.end());
    emit panel->EqFilterFile(true, kMusic);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(std::vector<uint8_t>(g_Param.byImage.begin(), g_Param.byImage.end()), before);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(QStringLiteral("line 2"))) << boxes[0].toStdString();
}

TEST_F(FilterFileMenuTest, ExportWritesTheShownEqForAnImportToGiveBack) {
    Use(kMusic, 10, EQ_HS);
    emit panel->EqFilterFile(false, kMusic);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(Sent().empty());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Filter 10:"))) << text.toStdString();
    EXPECT_TRUE(boxes.isEmpty());
}

} // namespace

TEST_F(FilterFileMenuTest, ATypedQAndAnImportedQGiveOneRecord) {
    const int address = ADDR_EQ_MUSIC + 6 * 7;
    for (const auto& [text, code] : {std::pair{"0.251", 251},
                                     {"1.414", 1414},
                                     {"0.1", 100},
                                     {"29.999", 29999},
                                     {"2.345", 2345},
                                     {"0.707", 707}}) {
        PutRecord(address, -2.0f, 1000, 1.41f, EQ_PEQ);
        Use(kMusic, 10, EQ_HS);
        Show();
        editor->PickBand(6);
        EnterText(1214, text);
        const std::vector<uint8_t> typed = Record(address);
        EXPECT_EQ(typed[4] << 8 | typed[5], code) << text;

        PutRecord(address, -2.0f, 1000, 1.41f, EQ_PEQ);
        std::string filters;
        for (int b = 1; b <= 6; ++b)
            filters += "Filter " + std::to_string(b) + ": OFF None\n";
        WriteText((filters + "Filter 7: ON PK Fc 1000 Hz Gain -2.0 dB Q " + text + "\n").c_str());
        boxes.clear();
        emit panel->EqFilterFile(true, kMusic);
        EXPECT_EQ(Record(address), typed) << text;
        EXPECT_TRUE(boxes.empty()) << text; // Q 0.1 is the limit, not beyond it
    }
}
