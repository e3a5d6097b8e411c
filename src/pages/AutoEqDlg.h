// "Auto EQ from measurement…": measured responses (several positions are averaged) fitted to one
// equaliser with the processor's own filters. The window shows the measured, target and predicted
// curves over the EQ panel's grid with the fitted bands, the errors before and after, and lets the
// range, band count, boost, Q and smoothing change; each change refits on a worker thread. Apply
// writes the bands as an import of their filter text does.
#pragma once

#include "files/EqFit.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CAutoEqPlot;
class CEqBandEditor;
class CPage;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

class CAutoEqDlg : public QDialog {
    Q_OBJECT
public:
    // Writes the fitted bands (the output page: into every linked channel); true when written.
    using ApplyFit = std::function<bool(int eq, const EqFitOutcome& fit)>;

    CAutoEqDlg(int eq, ApplyFit apply, QWidget* parent = nullptr);

    // The file dialog for one more measurement; false when none was added.
    bool AskForMeasurement();
    // Adds a measurement file to the average and refits; false (with the reason in a box unless
    // `quiet`) when the file cannot be read.
    bool AddMeasurement(const QString& path, bool quiet = false);
    // A target (house) curve file, or flat for an empty path.
    bool SetTarget(const QString& path, bool quiet = false);

    bool IsFitting() const { return m_bRunning; }
    const EqFitOutcome& Outcome() const { return m_outcome; }
    int Eq() const { return m_nEq; }

    // ---- Controls, for tests --------------------------------------------------------------------------
    CAutoEqPlot* Plot() const { return m_pPlot; }
    QDoubleSpinBox* RangeLow() const { return m_pLo; }
    QDoubleSpinBox* RangeHigh() const { return m_pHi; }
    QSpinBox* Bands() const { return m_pBands; }
    QDoubleSpinBox* MaxBoost() const { return m_pBoost; }
    QDoubleSpinBox* MaxQ() const { return m_pQ; }
    QComboBox* Smoothing() const { return m_pSmooth; }
    QTableWidget* BandTable() const { return m_pTable; }
    QLabel* Errors() const { return m_pErrors; }
    QPushButton* ApplyButton() const { return m_pApply; }

signals:
    // A fit's result is shown (the last one asked for).
    void Fitted();

private:
    void BuildControls();
    // A response file read, or the reason shown in a box (unless `quiet`) and nothing.
    std::optional<Response> ReadResponse(const QString& path, const char* szWhat, bool quiet);
    EqFitOptions Options() const;
    // Asks for a fit of what the controls say; one runs at a time, the latest request wins.
    void Refit();
    void StartFit();
    void OnFitted(int generation, std::shared_ptr<const EqFitOutcome> outcome);
    void ShowOutcome();
    void ShowMessage(const QString& text);
    void OnApply();
    // The one place the auto EQ changes the store. When undo exists, this becomes one undo step: the
    // bands of every equaliser written, before and after.
    bool CommitFit();

    int m_nEq;
    ApplyFit m_apply;
    std::vector<Response> m_measurements;
    std::optional<Response> m_target;
    EqFitOutcome m_outcome;
    EqFitChannel m_channel; // as the last fit saw it
    int m_nGeneration = 0;
    bool m_bRunning = false;
    bool m_bPending = false;

    CAutoEqPlot* m_pPlot = nullptr;
    QListWidget* m_pFiles = nullptr;
    QLabel* m_pTargetName = nullptr;
    QDoubleSpinBox* m_pLo = nullptr;
    QDoubleSpinBox* m_pHi = nullptr;
    QSpinBox* m_pBands = nullptr;
    QDoubleSpinBox* m_pBoost = nullptr;
    QDoubleSpinBox* m_pQ = nullptr;
    QComboBox* m_pSmooth = nullptr;
    QTableWidget* m_pTable = nullptr;
    QLabel* m_pErrors = nullptr;
    QPushButton* m_pApply = nullptr;
};

// Gives `editor`'s hooks the auto EQ window, run as a modal window of `page` once a first measurement
// is chosen. Call after every SetHooks of the editor.
void InstallAutoEq(CPage* page, CEqBandEditor* editor);
