// Six level meters as the music page runs them: one bar of 15 segments each, a new live value every
// 300 ms and the bar's own 35 ms fall in between. Measures the UI thread's CPU time per second of
// animation (timer dispatch, fall steps, paints and the backing store's flush), offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <array>
#include <ctime>
#include <memory>

#include <benchmark/benchmark.h>

#include "controls/PeakMeterCtrl.h"
#include "ui/Colors.h"

namespace {

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

class PaintCounter : public QObject {
public:
    int nPaints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        nPaints += event->type() == QEvent::Paint;
        return false;
    }
};

// A page-coloured host with six meters about the size the music page gives them (64 x 3 dialog
// units), set up in the page's order.
struct MeterHost {
    QWidget host;
    std::array<CPeakMeterCtrl*, 6> meters{};
    PaintCounter counter;

    MeterHost() {
        host.resize(760, 80);
        QPalette pal = host.palette();
        pal.setColor(QPalette::Window, PageColor());
        host.setPalette(pal);
        host.setAutoFillBackground(true);
        for (int i = 0; i < 6; ++i) {
            auto* m = new CPeakMeterCtrl(&host);
            m->setGeometry(10 + i * 125, 30, 110, 6);
            m->Configure(1, 15);
            m->Fill();
            m->StartFallTimer(35);
            m->SetBackground(PageColor());
            m->installEventFilter(&counter);
            meters[i] = m;
        }
        host.show();
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 200) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }
};

void BM_SixMetersAnimatingOneSecond(benchmark::State& state) {
    MeterHost h;
    // Live bytes that keep every bar moving: loud microphones, a quiet one, music near full scale.
    unsigned seed = 12345;
    QTimer feed;
    feed.setTimerType(Qt::PreciseTimer);
    QObject::connect(&feed, &QTimer::timeout, [&] {
        for (CPeakMeterCtrl* m : h.meters) {
            seed = seed * 1103515245u + 12345u;
            m->SetValue(0, static_cast<int>((seed >> 16) % 80));
        }
    });
    feed.start(300);
    double cpuTotal = 0;
    int paints = 0;
    for (auto _ : state) {
        h.counter.nPaints = 0;
        const double cpu0 = ThreadCpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = ThreadCpuSeconds() - cpu0;
        state.SetIterationTime(cpu);
        cpuTotal += cpu;
        paints += h.counter.nPaints;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ui_cpu_ms_per_s"] = cpuTotal / n * 1e3;
    state.counters["pct_of_core"] = cpuTotal / n * 100;
    state.counters["meter_paints_per_s"] = paints / n;
}
BENCHMARK(BM_SixMetersAnimatingOneSecond)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// One repaint of one meter, full bar, through the backing store.
void BM_PeakMeterRepaint(benchmark::State& state) {
    MeterHost h;
    CPeakMeterCtrl* m = h.meters[0];
    for (auto _ : state) {
        m->repaint();
    }
}
BENCHMARK(BM_PeakMeterRepaint)->Unit(benchmark::kMicrosecond);

} // namespace
