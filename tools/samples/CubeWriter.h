#pragma once

#include "samples/Looks.h"

#include <string>

namespace teintelle::samples {

// The .cube text of a look with edge size n, as grading tools write it: a
// comment, TITLE, LUT_3D_SIZE, a blank line, then n^3 lines of three values
// with 6 decimals, clipped to 0..1, red fastest, then green, then blue.
std::string cubeText(const Look& look, int n);

} // namespace teintelle::samples
