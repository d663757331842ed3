#include "lut/AppliqueLut.h"

#include "lut/LutKernel.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

namespace teintelle {

namespace {

// Below this many pixels per thread, starting a thread costs more than it saves.
constexpr std::size_t kMinPixelsPerThread = 1 << 16;

unsigned threadCount(unsigned requested, std::size_t pixels)
{
    unsigned threads = requested != 0 ? requested : std::max(1u, std::thread::hardware_concurrency());
    const std::size_t useful = std::max<std::size_t>(1, pixels / kMinPixelsPerThread);
    return unsigned(std::min<std::size_t>(threads, useful));
}

void mapInBlocks(const LutKernel& kernel, const TColor32* source, TColor32* destination, std::size_t pixels,
                 const std::uint8_t* entries, unsigned threads)
{
    const std::vector<std::uint64_t> paired = kernel.pairCorners(entries, pixels);
    const std::uint64_t* pairedOrNone = paired.empty() ? nullptr : paired.data();
    const auto block = [&](unsigned index) {
        const std::size_t begin = pixels * index / threads;
        const std::size_t end = pixels * (index + 1) / threads;
        kernel.map(source + begin, destination + begin, end - begin, entries, pairedOrNone);
    };
    std::vector<std::thread> workers;
    workers.reserve(threads);
    unsigned next = 1;
    try {
        for (; next < threads; ++next)
            workers.emplace_back(block, next);
    } catch (const std::system_error&) {
        // No more threads to be had: the calling thread does the rest.
    }
    block(0);
    for (unsigned index = next; index < threads; ++index)
        block(index);
    for (auto& worker : workers)
        worker.join();
}

} // namespace

float coefForSize(std::int32_t n)
{
    if (n == 0)
        return std::numeric_limits<float>::infinity();
    return static_cast<float>(256.0L / static_cast<long double>(n));
}

void AppliqueLut(const TBitmap32& source, TBitmap32& destination, const LutTable& table,
                 std::int32_t tailleTableLut, float& coef)
{
    AppliqueLut(source, destination, table, tailleTableLut, coef, 0);
}

void AppliqueLut(const TBitmap32& source, TBitmap32& destination, const LutTable& table,
                 std::int32_t tailleTableLut, float& coef, unsigned threads)
{
    coef = coefForSize(tailleTableLut);
    destination.SetSize(source.Width(), source.Height());
    try {
        if (tailleTableLut < 1 || table.taille() != tailleTableLut)
            return; // the first pixel would fail: nothing is written
        const auto pixels = std::size_t(source.Width()) * std::size_t(source.Height());
        if (pixels == 0)
            return;
        const LutKernel kernel(tailleTableLut, coef);
        const auto* entries = reinterpret_cast<const std::uint8_t*>(table.data());
        mapInBlocks(kernel, source.Bits(), destination.Bits(), pixels, entries, threadCount(threads, pixels));
    } catch (...) {
        // The loop's guard: a failure stops it silently.
    }
}

} // namespace teintelle
