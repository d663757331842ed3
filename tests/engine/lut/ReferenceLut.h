#pragma once

// The application written plainly, one pixel and one step at a time, in
// extended precision: what the fast path must equal bit for bit.

#include "imaging/TBitmap32.h"
#include "lut/LutTable.h"

#include <cmath>
#include <cstdint>

namespace teintelle::test {

struct ReferenceCell {
    std::uint32_t lo, hi;
    float d;
};

inline ReferenceCell referenceCell(unsigned x, std::int32_t n)
{
    const float coef = static_cast<float>(256.0L / n);
    const std::uint32_t lo = static_cast<std::uint32_t>(std::trunc(static_cast<long double>(x) / coef));
    const float d = static_cast<float>(static_cast<long double>(x) - static_cast<long double>(lo) * coef);
    const std::uint32_t hi = lo + 1 <= std::uint32_t(n - 1) ? lo + 1 : lo;
    return {lo, hi, d};
}

inline TColor32 referencePixel(TColor32 s, const LutTable& table, std::int32_t n)
{
    const float coef = static_cast<float>(256.0L / n);
    const unsigned x[3] = {(s >> 16) & 0xFFu, (s >> 8) & 0xFFu, s & 0xFFu};
    ReferenceCell cell[3];
    for (int c = 0; c < 3; ++c)
        cell[c] = referenceCell(x[c], n);
    const TLutValeur t0 = table(std::int32_t(cell[0].lo), std::int32_t(cell[1].lo), std::int32_t(cell[2].lo));
    const TLutValeur t1 = table(std::int32_t(cell[0].hi), std::int32_t(cell[1].hi), std::int32_t(cell[2].hi));
    const int near[3] = {t0.r, t0.v, t0.b};
    const int far[3] = {t1.r, t1.v, t1.b};

    TColor32 out = s & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        const float k = static_cast<float>(static_cast<long double>(far[c] - near[c]) / coef);
        const long double correction = std::nearbyint(static_cast<long double>(k) * static_cast<long double>(cell[c].d));
        const auto value = static_cast<std::uint32_t>(near[c] + static_cast<long long>(correction));
        out |= (value & 0xFFu) << (16 - 8 * c);
    }
    return out;
}

} // namespace teintelle::test
