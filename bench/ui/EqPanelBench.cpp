// One step of a band drag on the EQ panel: the band's curve recomputed and the whole panel repainted
// offscreen at 1000 x 420.
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include "controls/EqPanel.h"

namespace {

void SetUpPanel(CEqPanel& panel, int kind) {
    panel.resize(1000, 420);
    panel.SetKind(kind);
    panel.SetBandCount(10);
    if (IsOutputEq(kind)) {
        panel.SetBandCount(13);
        panel.SetBandTypeWithCrossover(9, EQ_LP);
    }
    for (int i = 0; i < 9; ++i) {
        panel.SetBandGain(i, static_cast<float>((i % 5) * 3 - 6));
    }
}

void DragStep(benchmark::State& state, int kind, int band) {
    CEqPanel panel;
    SetUpPanel(panel, kind);
    panel.SetSelectedBand(band);
    QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        EqBand* b = panel.GetBand(band);
        b->fFreq = 200.0f + static_cast<float>(step % 200) * 10.0f;
        b->fGain = static_cast<float>(step % 30) * 0.5f - 7.5f;
        panel.UpdateBandCurve(band);
        QPainter painter(&image);
        panel.render(&painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
        ++step;
    }
}

void BM_EqPanelDragStepMusic(benchmark::State& state) {
    DragStep(state, EQ_MUSIC, 3);
}
BENCHMARK(BM_EqPanelDragStepMusic)->Unit(benchmark::kMillisecond);

// Band 9 of an output channel: four crossover sections recomputed and the crossover fill drawn.
void BM_EqPanelDragStepCrossover(benchmark::State& state) {
    DragStep(state, EQ_OUT1, 9);
}
BENCHMARK(BM_EqPanelDragStepCrossover)->Unit(benchmark::kMillisecond);

} // namespace
