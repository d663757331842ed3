#include "lut/LutTable.h"

#include "common/Error.h"
#include "lut/LutMessages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace teintelle {

void LutTable::Release::operator()(TLutValeur* entries) const { std::free(entries); }

bool LutTable::fitsInMemoryLimit(std::int32_t n)
{
    // Checked edge by edge so that n^3 is never formed for a huge n.
    const auto edge = std::uint64_t(n);
    if (edge > 2048)
        return false;
    return (edge * edge * edge + 1) * sizeof(TLutValeur) <= kMaxBytes;
}

void LutTable::resize(std::int32_t n)
{
    if (n < 0)
        throw Error(lutmsg::kRangeCheck);
    if (n == taille_)
        return;
    if (!fitsInMemoryLimit(n))
        throw Error(lutmsg::kOutOfMemory);

    const auto oldEdge = std::uint64_t(taille_), newEdge = std::uint64_t(n);
    const std::uint64_t needed = newEdge * newEdge * newEdge + 1;
    if (needed <= capacity_ && needed * 8 >= capacity_)
        resizeInPlace(oldEdge, newEdge);
    else
        reallocate(oldEdge, newEdge);
    taille_ = n;
}

void LutTable::reallocate(std::uint64_t oldEdge, std::uint64_t newEdge)
{
    const std::uint64_t needed = newEdge * newEdge * newEdge + 1;
    std::unique_ptr<TLutValeur[], Release> fresh(static_cast<TLutValeur*>(std::calloc(needed, sizeof(TLutValeur))));
    if (!fresh)
        throw Error(lutmsg::kOutOfMemory);

    // Keep the sub-cube that both sizes share; red runs fastest in memory.
    const std::uint64_t kept = std::min(oldEdge, newEdge);
    for (std::uint64_t bi = 0; bi < kept; ++bi)
        for (std::uint64_t vi = 0; vi < kept; ++vi)
            std::copy_n(&entries_[oldEdge * (vi + oldEdge * bi)], kept, &fresh[newEdge * (vi + newEdge * bi)]);

    entries_ = std::move(fresh);
    capacity_ = needed;
}

namespace {

// Moves count entries from `from` to `to`; the two ranges may overlap.
void moveRow(const TLutValeur* from, TLutValeur* to, std::uint64_t count)
{
    std::memmove(to, from, count * sizeof(TLutValeur));
}

} // namespace

// Rows of red entries move to their new places: forwards when shrinking (a
// row never lands beyond its old place), backwards when growing, and what
// the new size adds is zeroed once every old row has moved.
void LutTable::resizeInPlace(std::uint64_t oldEdge, std::uint64_t newEdge)
{
    TLutValeur* entries = entries_.get();
    const auto row = [](std::uint64_t edge, std::uint64_t vi, std::uint64_t bi) { return edge * (vi + edge * bi); };
    const TLutValeur zero{0, 0, 0};
    if (newEdge < oldEdge) {
        for (std::uint64_t bi = 0; bi < newEdge; ++bi)
            for (std::uint64_t vi = 0; vi < newEdge; ++vi)
                moveRow(&entries[row(oldEdge, vi, bi)], &entries[row(newEdge, vi, bi)], newEdge);
    } else {
        for (std::uint64_t bi = oldEdge; bi-- > 0;)
            for (std::uint64_t vi = oldEdge; vi-- > 0;)
                moveRow(&entries[row(oldEdge, vi, bi)], &entries[row(newEdge, vi, bi)], oldEdge);
        for (std::uint64_t bi = 0; bi < newEdge; ++bi)
            for (std::uint64_t vi = 0; vi < newEdge; ++vi) {
                const std::uint64_t kept = (bi < oldEdge && vi < oldEdge) ? oldEdge : 0;
                std::fill_n(&entries[row(newEdge, vi, bi) + kept], newEdge - kept, zero);
            }
    }
    entries[newEdge * newEdge * newEdge] = zero;
}

} // namespace teintelle
