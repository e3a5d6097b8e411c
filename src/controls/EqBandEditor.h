// The band grid and band editor that sit beside a page's EQ panel: one row per band while no band is
// selected, the editor of the selected band (type radios, three sliders, three edit boxes) otherwise.
// One component serves the output, music and effect EQ pages; the page supplies the panel kind, the
// band count, the bypass slot and the band writer.
#pragma once

#include "controls/EqPanel.h"
#include "files/EqFit.h"

#include <QColor>
#include <QStyledItemDelegate>
#include <QWidget>

#include <array>
#include <functional>
#include <span>
#include <vector>

class CXBmpSlider;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTableWidget;
class QWheelEvent;

// The outcome of a filter-text import or export: on failure the error (naming its line), nothing changed;
// on success the warnings, if any.
struct EqFileResult {
    bool bOk = false;
    QString strText;
};

// What the page tells the editor about the equaliser it shows, and how the editor reaches the store:
// the editor itself never reads or writes it.
struct EqEditorHooks {
    int eq = EQ_MIC_A;              // EqId; output EQs bring the crossover list 1134
    int nBandCount = 10;            // 7 effect EQ page, 10 music page, 13 output page
    int nHighestLoadedType = EQ_HS; // a stored type code above it loads as off (31 on the output page)
    // The first `count` stored bands of `eq` (type -1: no record).
    std::function<std::vector<BandValues>(int eq, int count)> readBands;
    // The EQ's bypass switch: 1 or 0, or -1 when the page shows none.
    std::function<int(int eq)> readBypass;
    // Stores band `band` and sends it with its coefficients; band 9 of an output EQ brings its three
    // companion sections.
    std::function<void(int eq, int band, const BandValues& value, std::span<const BandValues> companions)>
        writeBand;
    // Copy and paste: remembers EQ `eq` as the one copied (an owner the pages share); copies the EQ
    // remembered onto `target` and sends it, false when nothing was copied or either is not an EQ.
    std::function<void(int eq)> copyEq;
    std::function<bool(int target)> pasteEq;
    // Filter texts: reads `path` into EQ `eq` and sends every band, or writes the EQ to `path`.
    std::function<EqFileResult(int eq, const QString& path)> importFilters;
    std::function<EqFileResult(int eq, const QString& path)> exportFilters;
    // Auto EQ: writes fitted bands into EQ `eq` as an import of their text does (the output page: into
    // every linked channel); and opens the auto EQ window for `eq` (set by the page), after which the
    // editor reloads.
    std::function<bool(int eq, const EqFitOutcome& fit)> applyFit;
    std::function<void(int eq)> autoEq;
};

class CEqBandEditor : public QWidget {
    Q_OBJECT
public:
    // Control ids, the same on every page.
    enum : int {
        IDC_EQ_PANEL = 1040,
        IDC_CROSSOVER = 1134,
        IDC_BAND_GRID = 1139,
        IDC_GROUP_TYPE = 1199,
        IDC_GROUP_FREQ = 1200,
        IDC_GROUP_GAIN = 1201,
        IDC_GROUP_Q = 1202,
        IDC_BAND_NUMBER = 1203,
        IDC_RADIO_PEQ = 1204, // 1204..1208: types 1..5
        IDC_RADIO_HS = 1208,
        IDC_SLIDER_GAIN = 1209, // gain x 10, -150..150
        IDC_SLIDER_FREQ = 1210, // Hz, 20..20000
        IDC_SLIDER_Q = 1211,    // Q x 100, 10..3000 (PEQ) or 10..200
        IDC_EDIT_GAIN = 1212,
        IDC_EDIT_FREQ = 1213,
        IDC_EDIT_Q = 1214,
        IDC_CROSSOVER_LABEL = 1215,
    };
    static constexpr int kGridRows = 10; // the output page's companions 10..12 have no row

    // `panel` is the page's EQ panel (id 1040), placed by the page; the editor listens to its signals.
    // `nTemplate` is the page's dialog template, for the language-file texts of the editor's controls.
    CEqBandEditor(CEqPanel* panel, int nTemplate, QWidget* parent = nullptr);

    void SetHooks(const EqEditorHooks& hooks);
    const EqEditorHooks& Hooks() const { return m_hooks; }
    // The equaliser shown changes (channel switch, retarget); the hooks stay.
    void SetEq(int eq);
    CEqPanel* Panel() const { return m_pPanel; }

    // ---- Operations --------------------------------------------------------------------------------
    // Fills the editor and the band's grid row from the panel's band.
    void ShowBand(int band);
    // Takes the three edit boxes into the band and writes it; nothing when `band` is -1.
    void ApplyEditor(int band);
    void SetBandTypeFromEditor(int band, int type);
    // Loads every band of the shown equaliser from the store into the panel and the grid; clears the
    // selection, so the grid is shown.
    void LoadEqFromStore();
    // Shows the grid (no band selected) or the editor.
    void ToggleEditorView();
    // Band shortcut: selects `band` in the panel and shows it, as a digit key on the panel would.
    void PickBand(int band);

    // The selected band (-1: grid view). Setting it does not switch the view: call ToggleEditorView.
    int SelectedBand() const { return m_nSelBand; }
    void SetSelectedBand(int band) { m_nSelBand = band; }

    // Texts of the current language: grid headers and type names, captions (Tr, then the page's
    // language file). The page runs LoadEqFromStore afterwards to refill the rows.
    void ReloadTexts();
    // Text colour of the grid rows (the music page follows its mode).
    void SetGridTextColor(const QColor& color);
    QColor GridTextColor() const { return m_clrGridText; }
    // For pages: sends a wheel message to the panel or an editor slider when one has the focus.
    bool ForwardWheel(QWheelEvent* event);

    // The six type names of the current language, codes 0..5.
    static QString TypeName(int code);
    // The leading number of a text ("+3.0dB" reads 3.0); 0 when there is none.
    static double LeadingNumber(const QString& text);

    // ---- Controls, for the page's layout and for tests ----------------------------------------------
    QTableWidget* Grid() const { return m_pGrid; }
    CXBmpSlider* Slider(int id) const;
    QLineEdit* Edit(int id) const;
    QRadioButton* Radio(int id) const;
    QComboBox* CrossoverList() const { return m_pCrossover; }
    QLabel* CrossoverLabel() const { return m_pCrossoverLabel; }
    QLabel* BandNumber() const { return m_pBandNumber; }

    // ---- Handlers (connected to the panel and the controls; public so a page can forward) ------------
    // A band the panel changed: shown, then written once through the page's hook.
    void OnBandChanged(const EqBandEdit& edit);
    void OnBandPicked(EqBand* band, int index);
    void OnBandDeselect();
    void OnCopyPaste(int nPaste, int nKind);
    void OnFilterFile(bool import, int nKind);
    void OnAutoEq(int nKind);
    void OnSliderPos(int id, int pos);
    void OnRadio(int id);
    void OnGridEditEnd(int row, int column, const QString& text);
    void OnGridClick();
    void OnCrossoverSelChange(int family);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void LayoutControls();
    void BuildGrid();
    void SetCell(int row, int column, const QString& text);
    QString CellText(int row, int column) const;
    void FillRow(int row);
    void SetTypeCell(int band);
    void ShowEditorType(int band); // band changed or picked: radios, Q range, gain, crossover
    void SetRadio(int index);      // -1: none
    void SetQRange(int type);
    void EnableGain(bool enable);
    void ShowCrossover(bool show);
    void SelectFamily(int family);
    void Write(int band);               // the panel's band after an edit of the editor's own
    void Write(const EqBandEdit& edit); // the one place a band goes to the page's writer
    bool HasCrossover() const;
    int GridRows() const;

    CEqPanel* m_pPanel;
    int m_nTemplate;
    EqEditorHooks m_hooks;
    int m_nSelBand = -1;
    QColor m_clrGridText{0, 200, 255}; // COLORREF 0xFFC800

    QTableWidget* m_pGrid = nullptr;
    QGroupBox* m_pGroupType = nullptr;
    QGroupBox* m_pGroupFreq = nullptr;
    QGroupBox* m_pGroupGain = nullptr;
    QGroupBox* m_pGroupQ = nullptr;
    QLabel* m_pBandNumber = nullptr;
    std::array<QRadioButton*, 5> m_pRadio{};
    QButtonGroup* m_pRadioGroup = nullptr;
    CXBmpSlider* m_pSliderGain = nullptr;
    CXBmpSlider* m_pSliderFreq = nullptr;
    CXBmpSlider* m_pSliderQ = nullptr;
    QLineEdit* m_pEditGain = nullptr;
    QLineEdit* m_pEditFreq = nullptr;
    QLineEdit* m_pEditQ = nullptr;
    QComboBox* m_pCrossover = nullptr;
    QLabel* m_pCrossoverLabel = nullptr;
    bool m_bFilling = false; // programmatic changes of the list must not act as the user's
};

// The grid's in-place editors: a drop-down of the five type names in the type column, text in the
// value columns. The end of an edit goes to the band editor, which rewrites the cells itself.
class CEqGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CEqGridDelegate(CEqBandEditor* editor) : QStyledItemDelegate(editor), m_pEditor(editor) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    CEqBandEditor* m_pEditor;
};
