// The photo loading paths on large photographs: the quarter-size decode
// (from the file, and from memory beside tjbench's in-memory decode), and
// the engine's share of a photo change in the window (quarter decode, then
// the large view's copy or the full-size load).
//
// The photos are TEINTELLE_BENCH_PHOTOS (a folder, default /tmp/teintelle-
// bench-photos): generated-24mp.jpg (6000 x 4000) and generated-12mp.jpg
// (4000 x 3000) are written there when missing; every other *.jpg there is
// measured too (run.sh links the real photographs into it).
#include "imaging/JpegDecoder.h"
#include "imaging/PhotoFile.h"
#include "imaging/PhotoLoading.h"
#include "imaging/PhotoFixtures.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>

namespace fs = std::filesystem;
using namespace teintelle;

namespace {

fs::path photoFolder()
{
    const char* chosen = std::getenv("TEINTELLE_BENCH_PHOTOS");
    return chosen != nullptr ? fs::path(chosen) : fs::temp_directory_path() / "teintelle-bench-photos";
}

void writeIfMissing(const fs::path& path, int width, int height)
{
    if (fs::exists(path))
        return;
    const auto bytes = fixtures::encodeJpeg({width, height, fixtures::JpegKind::Rgb420, false, 90});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void quarterFromFile(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        TBitmap32 surface;
        if (ChargePhotoReduite(path, surface) != 4)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(surface.Bits());
    }
}

// The file already in memory, as tjbench measures its decode.
void quarterFromMemory(benchmark::State& state, const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    readWholePhotoFile(path, bytes);
    TBitmap32 surface; // reused, as tjbench reuses its output buffer
    for (auto _ : state) {
        JpegDecoder decoder(JpegDecoder::Scale::Quarter);
        decoder.readHeader(bytes.data(), bytes.size());
        decoder.decodeInto(surface);
        benchmark::DoNotOptimize(surface.Bits());
    }
}

// Steps 2, 5 and 6 of a photo change, without the views' drawing.
void changePhoto(const std::string& path, TBitmap32& small, TBitmap32& large)
{
    ChargePhotoReduite(path, small);
    if (small.Width() >= 1000 || small.Height() >= 1000)
        large.Assign(&small);
    else
        LoadFromFile(path, large, PhotoDecoders{});
}

void photoChange(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        TBitmap32 small, large;
        changePhoto(path, small, large);
        benchmark::DoNotOptimize(large.Bits());
    }
}

// One photo change in a fresh process: the peak resident memory, and the
// same process's peak before the change.
int printPeakMemory(const std::string& path)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long before = usage.ru_maxrss;
    TBitmap32 small, large;
    changePhoto(path, small, large);
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld %ld\n", before, usage.ru_maxrss);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--peak-memory")
        return printPeakMemory(argv[2]);
    const fs::path folder = photoFolder();
    fs::create_directories(folder);
    writeIfMissing(folder / "generated-24mp.jpg", 6000, 4000);
    writeIfMissing(folder / "generated-12mp.jpg", 4000, 3000);
    std::vector<fs::path> photos;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".jpg")
            photos.push_back(entry.path());
    std::sort(photos.begin(), photos.end());
    for (const auto& photo : photos) {
        const std::string name = photo.stem().string();
        benchmark::RegisterBenchmark(("ChargePhotoReduite/file/" + name).c_str(), quarterFromFile, photo.string())
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("ChargePhotoReduite/memory/" + name).c_str(), quarterFromMemory, photo.string())
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("PhotoChange/" + name).c_str(), photoChange, photo.string())
            ->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
