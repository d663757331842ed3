// Benchmarks of the LUT engine: reading .cube files and applying a table to
// a photograph. bench/lut/run_peers.sh runs them beside ffmpeg's lut3d.
#include "BenchInputs.h"

#include "lut/AppliqueLut.h"
#include "lut/CubeReader.h"
#include "lut/LutKernel.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace teintelle;

namespace {

void BM_ReadCube(benchmark::State& state)
{
    const int n = int(state.range(0));
    const std::string path = bench::gradeCubeFile(n);
    const auto bytes = std::int64_t(std::filesystem::file_size(path));
    LutTable table;
    std::int32_t taille = 0;
    for (auto _ : state) {
        if (loadCubeFile(path, table, taille) != CubeStatus::Loaded)
            throw std::runtime_error("not read: " + path);
        benchmark::DoNotOptimize(table.data());
    }
    state.SetBytesProcessed(bytes * std::int64_t(state.iterations()));
    state.counters["MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_ReadCube)->Arg(33)->Arg(65)->Arg(129)->Unit(benchmark::kMillisecond)->UseRealTime();

struct Photo {
    TBitmap32 surface;
    Photo() { bench::loadPhoto(surface); }
};
const TBitmap32& photo()
{
    static Photo loaded;
    return loaded.surface;
}

void loadGrade(int n, LutTable& table, std::int32_t& taille)
{
    if (loadCubeFile(bench::gradeCubeFile(n), table, taille) != CubeStatus::Loaded)
        throw std::runtime_error("grade not read");
}

// The rate of pixels mapped, in millions a second.
void countPixels(benchmark::State& state, std::size_t pixels)
{
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(pixels) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

// AppliqueLut as the window calls it; range(1) threads (0: one per core).
void BM_AppliqueLut(benchmark::State& state)
{
    LutTable table;
    std::int32_t taille = 0;
    loadGrade(int(state.range(0)), table, taille);
    const TBitmap32& source = photo();
    TBitmap32 destination;
    float coef = 0;
    for (auto _ : state) {
        AppliqueLut(source, destination, table, taille, coef, unsigned(state.range(1)));
        benchmark::DoNotOptimize(destination.Bits());
    }
    const auto pixels = std::int64_t(source.Width()) * source.Height();
    state.SetItemsProcessed(pixels * std::int64_t(state.iterations()));
    countPixels(state, pixels);
    state.counters["threads"] = state.range(1) != 0 ? double(state.range(1)) : double(std::thread::hardware_concurrency());
}
BENCHMARK(BM_AppliqueLut)
    ->ArgsProduct({{17, 33, 65}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The kernel alone, one thread, over the photo through a table of
// range(0)'s size: the two corners of a pixel read separately, or from the
// paired words (made once, outside the loop) when `paired` is asked.
void mapThePhoto(benchmark::State& state, LutKernel::Path path, bool paired)
{
    LutTable table;
    std::int32_t taille = 0;
    loadGrade(int(state.range(0)), table, taille);
    const TBitmap32& source = photo();
    const auto pixels = std::size_t(source.Width()) * std::size_t(source.Height());
    std::vector<TColor32> out(pixels);
    const LutKernel kernel(taille, coefForSize(taille), path);
    if (path != LutKernel::Path::Best && kernel.path() != path) {
        state.SkipWithError("this path is not available on this processor");
        return;
    }
    const auto* entries = reinterpret_cast<const std::uint8_t*>(table.data());
    const std::vector<std::uint64_t> words = paired ? kernel.pairCorners(entries, SIZE_MAX) : std::vector<std::uint64_t>();
    if (paired && words.empty()) {
        state.SkipWithError("no paired words on this path");
        return;
    }
    for (auto _ : state) {
        kernel.map(source.Bits(), out.data(), pixels, entries, words.empty() ? nullptr : words.data());
        benchmark::DoNotOptimize(out.data());
    }
    countPixels(state, pixels);
}

// The best path: range(1) 1 for the paired words.
void BM_KernelCornerReads(benchmark::State& state) { mapThePhoto(state, LutKernel::Path::Best, state.range(1) != 0); }
BENCHMARK(BM_KernelCornerReads)
    ->ArgsProduct({{17, 33, 65}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A path forced: range(1) is the Path (Portable, Avx2, Avx512), range(2) 1
// for the paired words.
void BM_KernelPath(benchmark::State& state)
{
    mapThePhoto(state, LutKernel::Path(state.range(1)), state.range(2) != 0);
}
BENCHMARK(BM_KernelPath)
    ->ArgsProduct({{17, 33, 65},
                   {int(LutKernel::Path::Portable), int(LutKernel::Path::Avx2), int(LutKernel::Path::Avx512)},
                   {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The making of the paired words, once per application.
void BM_PairCorners(benchmark::State& state)
{
    LutTable table;
    std::int32_t taille = 0;
    loadGrade(int(state.range(0)), table, taille);
    const LutKernel kernel(taille, coefForSize(taille));
    const auto* entries = reinterpret_cast<const std::uint8_t*>(table.data());
    for (auto _ : state)
        benchmark::DoNotOptimize(kernel.pairCorners(entries, SIZE_MAX).data());
}
BENCHMARK(BM_PairCorners)->Arg(17)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond)->UseRealTime();

// The practical floor: one table read per pixel, the nearest lattice entry.
void BM_NearestEntry(benchmark::State& state)
{
    LutTable table;
    std::int32_t taille = 0;
    loadGrade(int(state.range(0)), table, taille);
    const TBitmap32& source = photo();
    TBitmap32 destination;
    destination.SetSize(source.Width(), source.Height());

    const float coef = coefForSize(taille);
    std::array<std::uint32_t, 256> red{}, green{}, blue{};
    for (std::uint32_t x = 0; x < 256; ++x) {
        const LatticeStep step = latticeStep(x, taille, coef);
        const std::uint32_t nearest = step.d * 2 < coef ? step.lo : step.hi;
        red[x] = nearest * 3;
        green[x] = nearest * 3 * std::uint32_t(taille);
        blue[x] = nearest * 3 * std::uint32_t(taille) * std::uint32_t(taille);
    }
    const auto* entries = reinterpret_cast<const std::uint8_t*>(table.data());
    const auto pixels = std::size_t(source.Width()) * std::size_t(source.Height());
    for (auto _ : state) {
        const TColor32* in = source.Bits();
        TColor32* out = destination.Bits();
        for (std::size_t i = 0; i < pixels; ++i) {
            const TColor32 s = in[i];
            std::uint32_t entry;
            std::memcpy(&entry, entries + red[(s >> 16) & 0xFF] + green[(s >> 8) & 0xFF] + blue[s & 0xFF], 4);
            out[i] = (s & 0xFF000000u) | (entry & 0xFF) << 16 | (entry & 0xFF00) | (entry >> 16 & 0xFF);
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(std::int64_t(pixels) * std::int64_t(state.iterations()));
    countPixels(state, pixels);
}
BENCHMARK(BM_NearestEntry)->Arg(17)->Arg(33)->Arg(65)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
