#include "lut/LutTable.h"

#include "common/Error.h"
#include "lut/LutMessages.h"

#include <algorithm>
#include <cstdlib>

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

    const auto newEdge = std::uint64_t(n);
    std::unique_ptr<TLutValeur[], Release> fresh(
        static_cast<TLutValeur*>(std::calloc(newEdge * newEdge * newEdge + 1, sizeof(TLutValeur))));
    if (!fresh)
        throw Error(lutmsg::kOutOfMemory);

    // Keep the sub-cube that both sizes share; red runs fastest in memory.
    const auto oldEdge = std::uint64_t(taille_);
    const std::uint64_t kept = std::min(oldEdge, newEdge);
    for (std::uint64_t bi = 0; bi < kept; ++bi)
        for (std::uint64_t vi = 0; vi < kept; ++vi)
            std::copy_n(&entries_[oldEdge * (vi + oldEdge * bi)], kept,
                        &fresh[newEdge * (vi + newEdge * bi)]);

    entries_ = std::move(fresh);
    taille_ = n;
}

} // namespace teintelle
