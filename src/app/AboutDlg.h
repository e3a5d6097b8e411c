// The About box: version lines of the connected processor and the hidden live-status switch.
#pragma once

#include <QDialog>

class CConnection;
class QCheckBox;
class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // The hidden "Peak" switch turns the connection's live poll on and off; without one it only shows.
    explicit CAboutDlg(QWidget* parent = nullptr, CConnection* connection = nullptr);
    QLabel* ModuleLine() const { return m_pModule; }
    QLabel* McuLine() const { return m_pMcu; }
    QLabel* DspLine() const { return m_pDsp; }
    QCheckBox* PeakBox() const { return m_pPeak; }

protected:
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QLabel* m_pModule;
    QLabel* m_pMcu;
    QLabel* m_pDsp;
    QCheckBox* m_pPeak;
};
