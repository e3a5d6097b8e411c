// An undo step on the UI thread: the difference found, laid onto the store, the reports posted, and
// the window (the output page with its EQ panel) refreshed; ten bands of one output EQ each way.
#include "app/App.h"
#include "app/EditHistory.h"
#include "app/MainFrame.h"
#include "app/MainView.h"
#include "link/Timing.h"
#include "model/Defaults.h"
#include "model/Eq.h"
#include "ui/ConsoleLink.h"
#include "ui/Templates.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QUndoStack>

namespace {

void BM_UndoStepInTheWindow(benchmark::State& state) {
    SetSettleScale(0.02);
    ResetStoreAtStartup();
    CConsoleLink link(CConsoleLink::Kind::Simulated, QString());
    auto* view = new CQX7745v13View(&link);
    CMainFrame frame(view);
    CQX7745v13App app;
    app.SetMainWindow(&frame, view);
    frame.show();
    if (!view->ConnectAttempt(false)) {
        state.SkipWithError("no simulated processor");
        return;
    }
    view->ShowPage(kTemplateOutputPage);
    QApplication::processEvents();
    const int out2[] = {1};
    for (int b = 0; b < 10; ++b)
        WriteOutputBand(out2, b, BandValues{-2.0f + b, 100.0f * (b + 1), 1.5f, EQ_PEQ});
    CEditHistory& history = *frame.History();
    history.RecordNow();
    bool undo = true;
    for (auto _ : state) {
        if (undo)
            history.Stack().undo();
        else
            history.Stack().redo();
        undo = !undo;
        state.PauseTiming();
        link.Link().Flush();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    link.Conn().Disconnect();
    SetSettleScale(1.0);
}
BENCHMARK(BM_UndoStepInTheWindow)->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace
