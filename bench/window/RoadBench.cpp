// The road of one effect, from the selection of a node to the screen: the
// .cube file read into the window's table, applied to the quarter picture of
// a 24 MP photo, copied into the large view's surface and the view redrawn.
#include "bench/lut/BenchInputs.h"
#include "window/TImage32.h"
#include "lut/AppliqueLut.h"
#include "lut/CubeReader.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace teintelle;

static void roadOfOneEffect(benchmark::State& state)
{
    const int n = int(state.range(0));
    const std::string cube = bench::gradeCubeFile(n);
    TBitmap32 photo; // the quarter of a 6000 x 4000 photo
    bench::loadPhoto(photo);
    LutTable table;
    std::int32_t size = 0;
    TBitmap32 imageTraitee;
    TImage32 largeView;
    largeView.resize(234, 217);
    float coef = 0;

    for (auto _ : state) {
        if (loadCubeFile(cube, table, size) != CubeStatus::Loaded)
            state.SkipWithError("the effect could not be read");
        AppliqueLut(photo, imageTraitee, table, size, coef);
        largeView.Bitmap().Assign(&imageTraitee);
        QImage shown = largeView.compose(QSize(234, 217));
        benchmark::DoNotOptimize(shown.constBits());
    }
}
BENCHMARK(roadOfOneEffect)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
