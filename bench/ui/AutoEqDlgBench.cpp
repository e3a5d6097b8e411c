// The auto EQ window's refit after a change of the band count: the time from the change until the new
// fit is shown, and the longest stretch the UI thread's event loop does not run meanwhile.
#include "UiGap.h"
#include "model/Defaults.h"
#include "pages/AutoEqDlg.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSpinBox>

#include <fstream>
#include <random>

namespace {

// Ten modes between 25 and 450 Hz over 80 dB with +-0.3 dB of noise, 1/48 octave, as a text export.
QString WriteRoom() {
    std::mt19937 gen(7);
    auto uniform = [&gen](double lo, double hi) { return lo + (hi - lo) * (gen() / 4294967296.0); };
    std::vector<BandValues> modes;
    for (int k = 0; k < 10; ++k)
        modes.push_back({static_cast<float>(uniform(-6, 10)),
                         static_cast<float>(25 * std::exp2(std::log2(18.0) * (k + uniform(0.2, 0.8)) / 10)),
                         static_cast<float>(uniform(1, 8)), EQ_PEQ});
    const std::vector<double> hz = LogGrid(20, 20000, 48);
    const std::vector<double> db = SectionsResponseDb(modes, hz);
    const QString path = QDir::temp().filePath(
        QStringLiteral("m7q-bench-room-%1.txt").arg(QCoreApplication::applicationPid()));
    std::ofstream out(path.toStdString());
    for (size_t i = 0; i < hz.size(); ++i)
        out << hz[i] << " " << 80 + db[i] + uniform(-0.3, 0.3) << "\n";
    return path;
}

void BM_AutoEqDialogRefit(benchmark::State& state) {
    ResetStoreAtStartup();
    const QString path = WriteRoom();
    CAutoEqDlg dlg(EQ_OUT1, [](int, const EqFitOutcome&) { return true; });
    dlg.show();
    {
        QEventLoop first;
        QObject::connect(&dlg, &CAutoEqDlg::Fitted, &first, &QEventLoop::quit);
        dlg.AddMeasurement(path, true);
        first.exec();
    }
    double worstMs = 0, totalMs = 0;
    int n = 0, bands = 9;
    CUiGapMeter gaps;
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&dlg, &CAutoEqDlg::Fitted, &loop, &QEventLoop::quit);
        gaps.Start();
        dlg.Bands()->setValue(bands); // 9, 10, 9, 10, ...: a whole refit each time
        bands = bands == 9 ? 10 : 9;
        loop.exec();
        gaps.Stop();
        worstMs = std::max(worstMs, gaps.ElapsedMs());
        totalMs += gaps.ElapsedMs();
        ++n;
    }
    state.counters["mean_refit_ms"] = totalMs / n;
    state.counters["worst_refit_ms"] = worstMs;
    state.counters["worst_ui_gap_ms"] = gaps.WorstMs();
    QFile::remove(path);
}
BENCHMARK(BM_AutoEqDialogRefit)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
