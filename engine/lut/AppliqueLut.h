#pragma once

#include "imaging/TBitmap32.h"
#include "lut/LutTable.h"

#include <cstdint>

namespace teintelle {

// The lattice cell width 256 / N: the quotient in extended precision, stored
// as single precision.
float coefForSize(std::int32_t n);

// Maps every pixel of source through the table into destination: per pixel
// the near and far corners of the input's lattice cell, and per channel the
// near corner's component corrected by the slope between the corners times
// the channel's offset in the cell, rounded half to even. Alpha is kept.
//
// Sets coef, then sizes destination with SetSize (its memory error reaches
// the caller). The pixel loop runs under a guard: should a step fail, the
// loop stops there and the rest of destination keeps what the resize left.
// A table that does not hold tailleTableLut >= 1 entries per edge is such a
// failure at the first pixel. Edge sizes above 256 are applied like the
// others: the upper index is as wide as the lower one.
//
// The loop is split across the cores; the result does not depend on it.
void AppliqueLut(const TBitmap32& source, TBitmap32& destination, const LutTable& table,
                 std::int32_t tailleTableLut, float& coef);

// The same with at most `threads` threads (0: one per core).
void AppliqueLut(const TBitmap32& source, TBitmap32& destination, const LutTable& table,
                 std::int32_t tailleTableLut, float& coef, unsigned threads);

} // namespace teintelle
