#include "controls/EqBandEditor.h"

#include "controls/XBmpSlider.h"
#include "link/Link.h"
#include "ui/Language.h"
#include "ui/Numbers.h"
#include "ui/Prompts.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QWheelEvent>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

namespace {

enum GridColumn { COL_NUMBER = 0, COL_TYPE = 1, COL_GAIN = 2, COL_FREQ = 3, COL_Q = 4, COL_COUNT = 5 };
constexpr int kColumnWidth[COL_COUNT] = {30, 60, 60, 60, 50};
constexpr int kRowHeight = 20;

// The band limits of model/Eq, in slider steps: gain in tenths of a dB, Q in hundredths.
constexpr int kGainSliderMin = int(kEqGainMin * 10), kGainSliderMax = int(kEqGainMax * 10);
constexpr int kFreqSliderMin = int(kEqFreqMin), kFreqSliderMax = int(kEqFreqMax);
constexpr int kQSliderMin = int(kEqQMin * 100 + 0.5f), kQSliderMaxPeq = int(kEqQMaxPeq * 100),
              kQSliderMaxOther = int(kEqQMaxFilter * 100);
static_assert(kGainSliderMin == -150 && kQSliderMin == 10 && kQSliderMaxPeq == 3000 &&
              kQSliderMaxOther == 200);

QString FmtGain(double db) {
    return CEqPanel::GainText(db);
}
QString FmtFreq(double hz) {
    return QString::asprintf("%.0fHz", hz);
}
QString FmtQ(double q) {
    return QString::asprintf("%.2f", q);
}

// A typed value far outside every range must not overflow the int conversions.
double Tame(double v) {
    return std::clamp(v, -1e7, 1e7);
}

std::array<int, 4> CrossoverCodes(const CEqPanel& panel) {
    std::array<int, 4> codes{};
    for (int j = 0; j < 4; ++j)
        codes[j] = panel.GetBand(kCrossoverBand + j)->nType;
    return codes;
}

} // namespace

// ---- Construction ------------------------------------------------------------------------------

CEqBandEditor::CEqBandEditor(CEqPanel* panel, int nTemplate, QWidget* parent)
    : QWidget(parent), m_pPanel(panel), m_nTemplate(nTemplate) {
    CreateControls();
    connect(m_pPanel, &CEqPanel::EqBandChanged, this, &CEqBandEditor::OnBandChanged);
    connect(m_pPanel, &CEqPanel::EqBandPicked, this, &CEqBandEditor::OnBandPicked);
    connect(m_pPanel, &CEqPanel::EqBandDeselect, this, &CEqBandEditor::OnBandDeselect);
    connect(m_pPanel, &CEqPanel::EqCopyPaste, this, &CEqBandEditor::OnCopyPaste);
    connect(m_pPanel, &CEqPanel::EqFilterFile, this, &CEqBandEditor::OnFilterFile);
    connect(m_pPanel, &CEqPanel::EqAutoEq, this, &CEqBandEditor::OnAutoEq);
    SetHooks(m_hooks);
    ReloadTexts();
    ToggleEditorView();
}

void CEqBandEditor::CreateControls() {
    m_pGrid = new QTableWidget(kGridRows, COL_COUNT, this);
    SetCtrlId(m_pGrid, IDC_BAND_GRID);
    m_pGrid->verticalHeader()->hide();
    m_pGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pGrid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_pGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pGrid->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < COL_COUNT; ++c)
        m_pGrid->setColumnWidth(c, kColumnWidth[c]);
    m_pGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pGrid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                             QAbstractItemView::EditKeyPressed);
    m_pGrid->setItemDelegate(new CEqGridDelegate(this));
    m_pGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pGrid->setStyleSheet(QStringLiteral("QTableWidget { gridline-color: rgb(64, 64, 64); }"));
    // The column widths are those of a small dialog font; "16000Hz" must fit in 60 pixels.
    QFont gridFont = m_pGrid->font();
    gridFont.setPixelSize(11);
    m_pGrid->setFont(gridFont);
    m_pGrid->horizontalHeader()->setFont(gridFont);
    m_pGrid->setWordWrap(false);
    m_pGrid->setTextElideMode(Qt::ElideNone);
    SetGridTextColor(m_clrGridText);
    connect(m_pGrid, &QTableWidget::cellClicked, this, [this] { OnGridClick(); });

    auto group = [this](int id) {
        auto* g = new QGroupBox(this);
        SetCtrlId(g, id);
        return g;
    };
    m_pGroupType = group(IDC_GROUP_TYPE);
    m_pGroupFreq = group(IDC_GROUP_FREQ);
    m_pGroupGain = group(IDC_GROUP_GAIN);
    m_pGroupQ = group(IDC_GROUP_Q);

    m_pBandNumber = new QLabel(this);
    SetCtrlId(m_pBandNumber, IDC_BAND_NUMBER);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(24);
    font.setWeight(QFont::Bold);
    m_pBandNumber->setFont(font);
    m_pBandNumber->setAlignment(Qt::AlignCenter);
    QPalette pal = m_pBandNumber->palette();
    pal.setColor(QPalette::WindowText, QColor(20, 200, 20)); // COLORREF 0x14C814
    m_pBandNumber->setPalette(pal);

    m_pRadioGroup = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        m_pRadio[i] = new QRadioButton(m_pGroupType);
        SetCtrlId(m_pRadio[i], IDC_RADIO_PEQ + i);
        m_pRadioGroup->addButton(m_pRadio[i], IDC_RADIO_PEQ + i);
    }
    connect(m_pRadioGroup, &QButtonGroup::idClicked, this, &CEqBandEditor::OnRadio);

    auto slider = [this](QGroupBox* g, int id, int min, int max) {
        auto* s = new CXBmpSlider(g, id, true);
        s->SetRange(min, max);
        connect(s, &CXBmpSlider::SliderPos, this, &CEqBandEditor::OnSliderPos);
        return s;
    };
    m_pSliderGain = slider(m_pGroupGain, IDC_SLIDER_GAIN, kGainSliderMin, kGainSliderMax);
    m_pSliderFreq = slider(m_pGroupFreq, IDC_SLIDER_FREQ, kFreqSliderMin, kFreqSliderMax);
    m_pSliderQ = slider(m_pGroupQ, IDC_SLIDER_Q, kQSliderMin, kQSliderMaxPeq);

    auto edit = [this](QGroupBox* g, int id) {
        auto* e = new QLineEdit(g);
        SetCtrlId(e, id);
        e->setAlignment(Qt::AlignCenter);
        e->installEventFilter(this);
        return e;
    };
    m_pEditGain = edit(m_pGroupGain, IDC_EDIT_GAIN);
    m_pEditFreq = edit(m_pGroupFreq, IDC_EDIT_FREQ);
    m_pEditQ = edit(m_pGroupQ, IDC_EDIT_Q);

    m_pCrossoverLabel = new QLabel(this);
    SetCtrlId(m_pCrossoverLabel, IDC_CROSSOVER_LABEL);
    m_pCrossover = new QComboBox(this);
    SetCtrlId(m_pCrossover, IDC_CROSSOVER);
    for (int i = 0; i < kCrossoverFamilyFlat; ++i)
        m_pCrossover->addItem(QString::fromLatin1(kCrossoverFamilies[i].szName));
    connect(m_pCrossover, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_bFilling && index >= 0)
            OnCrossoverSelChange(index);
    });
    m_pCrossoverLabel->hide();
    m_pCrossover->hide();
}

void CEqBandEditor::SetHooks(const EqEditorHooks& hooks) {
    m_hooks = hooks;
    BuildGrid();
    if (!HasCrossover())
        ShowCrossover(false);
    LayoutControls();
}

void CEqBandEditor::SetEq(int eq) {
    EqEditorHooks hooks = m_hooks;
    hooks.eq = eq;
    SetHooks(hooks);
}

int CEqBandEditor::GridRows() const {
    return std::clamp(m_hooks.nBandCount, 0, static_cast<int>(kGridRows));
}

bool CEqBandEditor::HasCrossover() const {
    return IsOutputEq(m_hooks.eq);
}

void CEqBandEditor::BuildGrid() {
    const int rows = GridRows();
    m_pGrid->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < COL_COUNT; ++c) {
            QTableWidgetItem* item = m_pGrid->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignCenter);
                if (c == COL_NUMBER)
                    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                m_pGrid->setItem(r, c, item);
            }
        }
        m_pGrid->item(r, COL_NUMBER)->setText(QString::asprintf("%d", r + 1));
    }
}

void CEqBandEditor::ReloadTexts() {
    m_pGrid->setHorizontalHeaderLabels(
        {QString(), Tr("类型", "Type"), Tr("增益", "Gain"), Tr("频率", "Freq"), Tr("Q值", "Q")});
    for (int c = 0; c < COL_COUNT; ++c)
        m_pGrid->horizontalHeaderItem(c)->setTextAlignment(Qt::AlignCenter);
    m_pGroupType->setTitle(Tr("类型", "EQ Type"));
    m_pGroupFreq->setTitle(Tr("频率", "F"));
    m_pGroupGain->setTitle(Tr("增益", "Gain"));
    m_pGroupQ->setTitle(Tr("Q值", "Q"));
    for (int i = 0; i < 5; ++i)
        m_pRadio[i]->setText(TypeName(i + 1));
    m_pCrossoverLabel->setText(Tr("类型", "Type"));
    // The page's language file has the last word on its controls' captions.
    if (m_nTemplate > 0)
        ApplyTexts(this, m_nTemplate);
    LayoutControls();
}

void CEqBandEditor::SetGridTextColor(const QColor& color) {
    m_clrGridText = color;
    QPalette pal = m_pGrid->palette();
    pal.setColor(QPalette::Base, QColor(20, 20, 20));
    pal.setColor(QPalette::Text, color);
    pal.setColor(QPalette::Highlight, QColor(40, 70, 110));
    pal.setColor(QPalette::HighlightedText, color);
    m_pGrid->setPalette(pal);
    m_pGrid->viewport()->update(); // its style sheet keeps the viewport from seeing the change
}

// ---- Layout ------------------------------------------------------------------------------------

void CEqBandEditor::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutControls();
}

void CEqBandEditor::LayoutControls() {
    const int w = width();
    const int h = height();
    // The crossover list sits in a strip below both views: a grid click can show it over neither.
    const int strip = HasCrossover() ? 28 : 0;
    const int areaH = std::max(0, h - strip);
    m_pGrid->setGeometry(0, 0, w, areaH);

    const int typeH = 46;
    m_pGroupType->setGeometry(0, 0, w, typeH);
    const int radioW = std::max(1, (w - 8) / 5);
    for (int i = 0; i < 5; ++i)
        m_pRadio[i]->setGeometry(6 + i * radioW, 18, radioW, 22);

    const int numW = 40;
    const int top = typeH + 2;
    const int groupH = std::max(0, areaH - top);
    m_pBandNumber->setGeometry(0, top + 8, numW, 32);
    const int groupW = std::max(1, (w - numW) / 3);
    QGroupBox* groups[3] = {m_pGroupGain, m_pGroupFreq, m_pGroupQ};
    CXBmpSlider* sliders[3] = {m_pSliderGain, m_pSliderFreq, m_pSliderQ};
    QLineEdit* edits[3] = {m_pEditGain, m_pEditFreq, m_pEditQ};
    for (int i = 0; i < 3; ++i) {
        groups[i]->setGeometry(numW + i * groupW, top, groupW - 2, groupH);
        const int editH = 22;
        edits[i]->setGeometry(4, groupH - editH - 5, groupW - 10, editH);
        sliders[i]->setGeometry((groupW - 2 - 24) / 2, 20, 24, std::max(24, groupH - editH - 30));
    }

    if (strip > 0) {
        m_pCrossoverLabel->setGeometry(2, h - strip + 4, 40, 20);
        m_pCrossover->setGeometry(44, h - strip + 2, std::max(60, std::min(w - 46, 170)), 24);
    }
}

// ---- Accessors -----------------------------------------------------------------------------------

CXBmpSlider* CEqBandEditor::Slider(int id) const {
    switch (id) {
    case IDC_SLIDER_GAIN:
        return m_pSliderGain;
    case IDC_SLIDER_FREQ:
        return m_pSliderFreq;
    case IDC_SLIDER_Q:
        return m_pSliderQ;
    default:
        return nullptr;
    }
}

QLineEdit* CEqBandEditor::Edit(int id) const {
    switch (id) {
    case IDC_EDIT_GAIN:
        return m_pEditGain;
    case IDC_EDIT_FREQ:
        return m_pEditFreq;
    case IDC_EDIT_Q:
        return m_pEditQ;
    default:
        return nullptr;
    }
}

QRadioButton* CEqBandEditor::Radio(int id) const {
    return (id >= IDC_RADIO_PEQ && id <= IDC_RADIO_HS) ? m_pRadio[id - IDC_RADIO_PEQ] : nullptr;
}

QString CEqBandEditor::TypeName(int code) {
    static const char* const zh[6] = {"关闭", "参量", "低通", "高通", "低架", "高架"};
    static const char* const en[6] = {"OFF", "PEQ", "LP", "HP", "LS", "HS"};
    if (code < 0 || code > 5)
        return {};
    return Tr(zh[code], en[code]);
}

double CEqBandEditor::LeadingNumber(const QString& text) {
    return ::LeadingNumber(text);
}

// ---- Writing and loading -------------------------------------------------------------------------

void CEqBandEditor::Write(int band) {
    Write(m_pPanel->BandEdit(band));
}

void CEqBandEditor::Write(const EqBandEdit& edit) {
    if (edit.nIndex < 0 || !m_hooks.writeBand)
        return;
    // Only an output EQ's crossover band brings its companions.
    const bool companions = HasCrossover() && edit.nIndex == kCrossoverBand;
    const CMergeableEdits merge; // a newer value of the band replaces one still waiting to go out
    m_hooks.writeBand(m_hooks.eq, edit.nIndex, edit.band,
                      companions ? edit.Companions() : std::span<const BandValues>());
}

void CEqBandEditor::LoadEqFromStore() {
    // A reload always ends in the grid view.
    m_nSelBand = -1;
    ToggleEditorView();
    m_pPanel->SetSelectedBand(-1);
    m_pPanel->setFocus();
    m_pPanel->SetKind(m_hooks.eq);
    m_pPanel->SetBandCount(m_hooks.nBandCount);

    const int n = std::clamp(m_hooks.nBandCount, 0, static_cast<int>(CEqPanel::kMaxBands));
    std::vector<BandValues> stored =
        m_hooks.readBands ? m_hooks.readBands(m_hooks.eq, n) : std::vector<BandValues>{};
    stored.resize(n, BandValues{0, 0, 0, -1});
    const int bypass = m_hooks.readBypass ? m_hooks.readBypass(m_hooks.eq) : -1;
    for (int b = 0; b < n; ++b) {
        const BandValues& v = stored[b];
        if (v.nType < 0)
            continue; // no record for this band
        const int code = v.nType > m_hooks.nHighestLoadedType ? EQ_OFF : v.nType;
        m_pPanel->SetBandType(b, code);
        m_pPanel->SetBandGain(b, v.fGain); // 0 for LP, HP and crossover codes; held within +-15
        if (v.fFreq != 0)
            m_pPanel->SetBandFreq(b, v.fFreq);
        if (v.fQ != 0)
            m_pPanel->SetBandQ(b, v.fQ);
        m_pPanel->UpdateBandCurve(b);
    }
    // Rows after every band: row 9's type needs the crossover companions loaded.
    for (int b = 0; b < std::min(n, GridRows()); ++b)
        FillRow(b);
    if (bypass >= 0)
        m_pPanel->SetBypass(bypass != 0);
}

// ---- Grid cells ----------------------------------------------------------------------------------

void CEqBandEditor::SetCell(int row, int column, const QString& text) {
    if (row < 0 || row >= m_pGrid->rowCount())
        return;
    if (QTableWidgetItem* item = m_pGrid->item(row, column))
        item->setText(text);
}

QString CEqBandEditor::CellText(int row, int column) const {
    const QTableWidgetItem* item = m_pGrid->item(row, column);
    return item ? item->text() : QString();
}

void CEqBandEditor::FillRow(int row) {
    const EqBand* r = m_pPanel->GetBand(row);
    if (!r)
        return;
    SetCell(row, COL_GAIN, FmtGain(r->fGain));
    SetCell(row, COL_FREQ, FmtFreq(r->fFreq));
    SetCell(row, COL_Q, FmtQ(r->fQ));
    SetTypeCell(row);
}

void CEqBandEditor::SetTypeCell(int band) {
    const EqBand* r = m_pPanel->GetBand(band);
    if (!r)
        return;
    int shown = r->nType;
    if (HasCrossover() && band == kCrossoverBand && r->nType > EQ_OFF) {
        const CrossoverMatch match = FindCrossoverFamily(CrossoverCodes(*m_pPanel), r->nType);
        SelectFamily(match.nFamily);
        shown = match.nShownType;
    }
    // A code with no name leaves an empty cell rather than the text of an earlier band.
    SetCell(band, COL_TYPE, TypeName(shown));
}

void CEqBandEditor::SelectFamily(int family) {
    m_bFilling = true;
    m_pCrossover->setCurrentIndex(family >= 0 && family < m_pCrossover->count() ? family : -1);
    m_bFilling = false;
}

// ---- Editor ----------------------------------------------------------------------------------------

void CEqBandEditor::SetRadio(int index) {
    m_pRadioGroup->setExclusive(false);
    for (int i = 0; i < 5; ++i)
        m_pRadio[i]->setChecked(i == index);
    m_pRadioGroup->setExclusive(true);
}

void CEqBandEditor::SetQRange(int type) {
    m_pSliderQ->SetRange(kQSliderMin, type == EQ_PEQ ? kQSliderMaxPeq : kQSliderMaxOther);
}

void CEqBandEditor::EnableGain(bool enable) {
    m_pSliderGain->Enable(enable);
    m_pEditGain->setEnabled(enable);
}

void CEqBandEditor::ShowCrossover(bool show) {
    show = show && HasCrossover();
    m_pCrossover->setVisible(show);
    m_pCrossoverLabel->setVisible(show);
}

void CEqBandEditor::ShowBand(int band) {
    const EqBand* r = m_pPanel->GetBand(band);
    if (!r)
        return;
    const QString gain = FmtGain(r->fGain);
    SetCell(band, COL_GAIN, gain);
    m_pEditGain->setText(gain);
    m_pSliderGain->SetPos(static_cast<int>(std::lround(Tame(r->fGain * 10.0))));

    const QString freq = FmtFreq(r->fFreq);
    SetCell(band, COL_FREQ, freq);
    m_pEditFreq->setText(freq);
    m_pSliderFreq->SetPos(static_cast<int>(std::trunc(Tame(r->fFreq))));

    SetTypeCell(band);
    // The Q range follows the band shown, so that the slider can show its Q.
    int shown = r->nType;
    if (HasCrossover() && band == kCrossoverBand && r->nType > EQ_OFF)
        shown = FindCrossoverFamily(CrossoverCodes(*m_pPanel), r->nType).nShownType;
    SetQRange(shown);
    const QString q = FmtQ(r->fQ);
    SetCell(band, COL_Q, q);
    m_pEditQ->setText(q);
    m_pSliderQ->SetPos(static_cast<int>(std::lround(Tame(r->fQ * 100.0))));

    if (band >= 0 && band < m_pGrid->rowCount())
        m_pGrid->selectRow(band);
    m_pBandNumber->setText(QString::asprintf("%d", band + 1));
}

void CEqBandEditor::ShowEditorType(int band) {
    const EqBand* r = m_pPanel->GetBand(band);
    if (!r)
        return;
    ShowBand(band);
    const int code = r->nType;
    const int radio = code - 1;
    SetRadio(radio);
    SetQRange(code);
    EnableGain(radio == 0 || radio == 3 || radio == 4);
    if (code >= EQ_OFF && code <= EQ_HS) {
        ShowCrossover(false);
    } else if (HasCrossover() && band == kCrossoverBand) {
        const CrossoverMatch match = FindCrossoverFamily(CrossoverCodes(*m_pPanel), code);
        SetRadio(match.nShownType - 1);
        SelectFamily(match.nFamily);
        SetCell(band, COL_TYPE, TypeName(match.nShownType));
        ShowCrossover(match.nShownType == EQ_LP || match.nShownType == EQ_HP);
    }
    const int was = m_nSelBand;
    m_nSelBand = band;
    if (was == -1)
        ToggleEditorView();
}

void CEqBandEditor::OnBandChanged(const EqBandEdit& edit) {
    ShowEditorType(edit.nIndex);
    Write(edit);
}

void CEqBandEditor::OnBandPicked(EqBand* band, int index) {
    (void)band;
    ShowEditorType(index);
}

void CEqBandEditor::OnBandDeselect() {
    if (m_nSelBand != -1) {
        m_nSelBand = -1;
        ToggleEditorView();
    }
}

void CEqBandEditor::OnFilterFile(bool import, int nKind) {
    const QString filter = Tr("滤波器文本 (*.txt)", "Filter texts (*.txt)");
    const QString caption = import ? Tr("导入滤波器", "Import filters") : Tr("导出滤波器", "Export filters");
    if (import) {
        if (!m_hooks.importFilters)
            return;
        const QString path = AskFileToOpen(this, filter);
        if (path.isEmpty())
            return;
        const EqFileResult r = m_hooks.importFilters(nKind, path);
        LoadEqFromStore();
        if (!r.strText.isEmpty())
            AskBox(this, r.bOk ? QMessageBox::Information : QMessageBox::Warning, caption, r.strText,
                   QMessageBox::Ok);
        return;
    }
    if (!m_hooks.exportFilters)
        return;
    const QString name =
        IsEqId(nKind) ? QString::fromLatin1(kEqNumbers[nKind].szName).replace(' ', '-') : QString();
    const QString path = AskFileToSave(this, filter, QStringLiteral("txt"), name);
    if (path.isEmpty())
        return;
    const EqFileResult r = m_hooks.exportFilters(nKind, path);
    if (!r.bOk)
        AskBox(this, QMessageBox::Warning, caption, r.strText, QMessageBox::Ok);
}

void CEqBandEditor::OnAutoEq(int nKind) {
    if (!m_hooks.autoEq)
        return;
    m_hooks.autoEq(nKind);
    LoadEqFromStore();
}

void CEqBandEditor::OnCopyPaste(int nPaste, int nKind) {
    if (nPaste == 0) {
        if (m_hooks.copyEq)
            m_hooks.copyEq(nKind);
    } else if (m_hooks.pasteEq) {
        m_hooks.pasteEq(nKind);
    }
    LoadEqFromStore();
}

void CEqBandEditor::ToggleEditorView() {
    const bool grid = m_nSelBand == -1;
    m_pGrid->setVisible(grid);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_pGroupType, m_pGroupFreq, m_pGroupGain, m_pGroupQ, m_pBandNumber})
        w->setVisible(!grid);
    if (grid)
        ShowCrossover(false);
}

void CEqBandEditor::PickBand(int band) {
    if (band < 0 || band >= GridRows())
        return;
    m_pPanel->SetSelectedBand(band);
    m_pPanel->setFocus();
    m_pPanel->update();
    OnBandPicked(m_pPanel->GetBand(band), band);
}

void CEqBandEditor::OnRadio(int id) {
    SetQRange(id == IDC_RADIO_PEQ ? EQ_PEQ : EQ_LP);
    if (m_nSelBand != -1)
        SetBandTypeFromEditor(m_nSelBand, id - (IDC_RADIO_PEQ - 1));
}

void CEqBandEditor::SetBandTypeFromEditor(int band, int type) {
    if (!m_pPanel->GetBand(band))
        return;
    m_pPanel->SetSelectedBand(band);
    m_pPanel->setFocus();
    m_pPanel->SetBandTypeWithCrossover(band, type);
    if (HasCrossover())
        ShowCrossover(band == kCrossoverBand && (type == EQ_LP || type == EQ_HP));
    EnableGain(type == EQ_PEQ || type == EQ_LS || type == EQ_HS);
    ShowBand(band);
    Write(band);
}

void CEqBandEditor::OnSliderPos(int id, int pos) {
    switch (id) {
    case IDC_SLIDER_GAIN:
        m_pEditGain->setText(FmtGain(pos / 10.0));
        break;
    case IDC_SLIDER_FREQ:
        m_pEditFreq->setText(QString::asprintf("%dHz", pos));
        break;
    case IDC_SLIDER_Q:
        m_pEditQ->setText(FmtQ(pos / 100.0));
        break;
    default:
        return;
    }
    ApplyEditor(m_nSelBand);
}

void CEqBandEditor::ApplyEditor(int band) {
    if (band == -1 || !m_pPanel->GetBand(band))
        return;
    const double gain = Tame(LeadingNumber(m_pEditGain->text()));
    m_pPanel->SetBandGain(band, static_cast<float>(gain));
    m_pSliderGain->SetPos(static_cast<int>(std::lround(gain * 10)));

    // An empty or unreadable box reads 0 and gives 20 Hz.
    const double freq =
        std::clamp(Tame(LeadingNumber(m_pEditFreq->text())), double(kEqFreqMin), double(kEqFreqMax));
    m_pPanel->SetBandFreq(band, static_cast<float>(freq));
    m_pSliderFreq->SetPos(static_cast<int>(std::trunc(freq)));

    const double q = Tame(LeadingNumber(m_pEditQ->text()));
    m_pPanel->SetBandQ(band, static_cast<float>(q));
    m_pSliderQ->SetPos(static_cast<int>(std::lround(q * 100)));

    Write(band);
    ShowBand(band);
}

bool CEqBandEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease &&
        (watched == m_pEditGain || watched == m_pEditFreq || watched == m_pEditQ)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat())
            ApplyEditor(m_nSelBand);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Grid edits ----------------------------------------------------------------------------------

void CEqBandEditor::OnGridEditEnd(int row, int column, const QString& text) {
    if (row < 0 || row >= GridRows() || !m_pPanel->GetBand(row))
        return;
    if (column == COL_TYPE) {
        for (int t = EQ_OFF; t <= EQ_HS; ++t) {
            if (text == TypeName(t)) {
                SetBandTypeFromEditor(row, t);
                return;
            }
        }
        return;
    }
    if (column < COL_GAIN || column > COL_Q)
        return;
    auto cell = [&](int c) { return Tame(LeadingNumber(c == column ? text : CellText(row, c))); };
    const double gain = cell(COL_GAIN);
    const double freq = cell(COL_FREQ);
    const double q = cell(COL_Q);
    m_pPanel->SetBandGain(row, static_cast<float>(gain));
    if (freq != 0)
        m_pPanel->SetBandFreq(row,
                              static_cast<float>(std::clamp(freq, double(kEqFreqMin), double(kEqFreqMax))));
    m_pPanel->SetBandQ(row, static_cast<float>(q));
    Write(row);
    const EqBand* r = m_pPanel->GetBand(row);
    SetCell(row, COL_GAIN, FmtGain(r->fGain));
    SetCell(row, COL_FREQ, FmtFreq(r->fFreq));
    SetCell(row, COL_Q, FmtQ(r->fQ));
}

void CEqBandEditor::OnGridClick() {
    if (!HasCrossover())
        return;
    ShowCrossover(false);
    const QList<QTableWidgetItem*> selected = m_pGrid->selectedItems();
    if (selected.isEmpty() || selected.front()->row() != kCrossoverBand)
        return;
    const int code = m_pPanel->GetBand(kCrossoverBand)->nType;
    if (code == EQ_LP || code == EQ_HP || code > EQ_HS) {
        ShowCrossover(true);
        SelectFamily(FindCrossoverFamily(CrossoverCodes(*m_pPanel), code).nFamily);
    }
}

void CEqBandEditor::OnCrossoverSelChange(int family) {
    const QList<QTableWidgetItem*> selected = m_pGrid->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = selected.front()->row();
    m_pPanel->SetCrossoverFamily(row, family);
    ShowBand(row);
    Write(row);
}

bool CEqBandEditor::ForwardWheel(QWheelEvent* event) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus ||
        !(focus == m_pPanel || focus == m_pSliderGain || focus == m_pSliderFreq || focus == m_pSliderQ))
        return false;
    QApplication::sendEvent(focus, event);
    return true;
}

// ---- In-place editors --------------------------------------------------------------------------------

QWidget* CEqGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                       const QModelIndex& index) const {
    if (index.column() == COL_TYPE) {
        auto* combo = new QComboBox(parent);
        for (int t = EQ_PEQ; t <= EQ_HS; ++t)
            combo->addItem(CEqBandEditor::TypeName(t));
        // Picking an entry ends the edit, as a drop-down list does. Applying the type moves the focus
        // to the panel, which may already have closed the editor.
        auto* self = const_cast<CEqGridDelegate*>(this);
        const QPersistentModelIndex at(index);
        connect(combo, &QComboBox::activated, self, [self, combo, at] {
            emit self->commitData(combo);
            if (self->m_pEditor->Grid()->indexWidget(at) == combo)
                emit self->closeEditor(combo);
        });
        return combo;
    }
    if (index.column() >= COL_GAIN && index.column() <= COL_Q) {
        auto* edit = new QLineEdit(parent);
        edit->setAlignment(Qt::AlignCenter);
        return edit;
    }
    return nullptr;
}

void CEqGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data().toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const int i = combo->findText(text);
        combo->setCurrentIndex(i >= 0 ? i : 0);
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
        edit->selectAll();
    }
}

void CEqGridDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    // The band editor rewrites the cells from the band; the typed text is not kept as it is.
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        text = combo->currentText();
    else if (auto* edit = qobject_cast<QLineEdit*>(editor))
        text = edit->text();
    else
        return;
    m_pEditor->OnGridEditEnd(index.row(), index.column(), text);
}
