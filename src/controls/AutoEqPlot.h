// The auto EQ window's plot: the EQ panel's grid, handles and summed curve of the fitted bands (so the
// EQ looks as the page will show it), with the measured, target and predicted responses drawn over
// it relative to the target's level. Read-only: hovering shows a band's values, nothing is dragged.
#pragma once

#include "controls/EqPanel.h"
#include "dsp/Encoding.h"

#include <QColor>
#include <QString>

#include <span>
#include <vector>

class CAutoEqPlot : public CEqPanel {
    Q_OBJECT
public:
    struct Curve {
        QString strName;
        QColor colour;
        Qt::PenStyle style = Qt::SolidLine;
        std::vector<double> hz, db; // dB as measured; drawn less the level
    };

    explicit CAutoEqPlot(QWidget* parent = nullptr);

    // The bands of EQ `eq` to show (type 0: off) and, on an output channel that keeps it, band 10's
    // four crossover sections.
    void SetBands(int eq, std::span<const BandValues> bands, std::span<const BandValues> kept);
    // Curves over the EQ; `levelDb` lands on the 0 dB line.
    void SetCurves(std::vector<Curve> curves, double levelDb);
    const std::vector<Curve>& Curves() const { return m_curves; }
    // A line in the middle of the plot while there is nothing to show ("Add a measurement").
    void SetMessage(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::vector<Curve> m_curves;
    double m_fLevelDb = 0;
    QString m_strMessage;
};
