// The music page as it runs after start: its 300 ms timer feeding six level meters and the format
// text from a live status that moves like the simulated processor's, each meter falling on its own
// 35 ms timer in between. Measures the UI thread's CPU per second of that animation (timers, fall
// steps, paints, the backing store's flush), and one full repaint of the page, offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <ctime>
#include <memory>

#include <benchmark/benchmark.h>

#include "model/Defaults.h"
#include "model/ParamStore.h"
#include "pages/DialogMusic.h"

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

struct PageHost {
    PageState state;
    std::unique_ptr<CDialogMusic> page;
    PaintCounter counter;

    PageHost() {
        ResetStoreAtStartup();
        page = std::make_unique<CDialogMusic>(PageContext{nullptr, &state}, 0);
        for (QObject* child : page->findChildren<QWidget*>())
            child->installEventFilter(&counter);
        page->show();
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 700) // the meters' first fall from full is over
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
};

// The live status as the link's poll would leave it, moving every 300 ms.
void MoveLive(uint32_t t) {
    auto tri = [](uint32_t x, uint32_t period, int top) {
        const int p = static_cast<int>(x % period), half = static_cast<int>(period / 2);
        return static_cast<uint8_t>(p < half ? top * p / half : top * (static_cast<int>(period) - p) / half);
    };
    auto lock = LockStore();
    for (uint32_t k = 0; k < 4; ++k)
        g_Param.byLiveStatus[k] = tri(t + 3 * k, 16, 60);
    g_Param.byLiveStatus[4] = tri(t, 12, 60);
    g_Param.byLiveStatus[5] = tri(t + 2, 12, 60);
    static constexpr uint8_t kFormats[4] = {0x00, 0x01, 0x02, 0x04};
    g_Param.byLiveStatus[7] = kFormats[(t / 3) % 4];
}

void BM_MusicPageAnimatingOneSecond(benchmark::State& state) {
    PageHost h;
    uint32_t t = 0;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] { MoveLive(t++); });
    poll.start(300);
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
    state.counters["paints_per_s"] = paints / n;
}
BENCHMARK(BM_MusicPageAnimatingOneSecond)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Every control of the page painted once, through the backing store.
void BM_MusicPageFullRepaint(benchmark::State& state) {
    PageHost h;
    h.page->LiveTimer().stop();
    for (auto _ : state)
        h.page->repaint();
}
BENCHMARK(BM_MusicPageFullRepaint)->Unit(benchmark::kMillisecond);

} // namespace
