#pragma once
// The sample effects: colour looks as functions of an RGB colour in 0..1.

#include <array>
#include <vector>

namespace teintelle::samples {

using Rgb = std::array<double, 3>;

struct Look {
    const char* fileName; // without the extension
    const char* title;
    Rgb (*apply)(Rgb colour);
};

const std::vector<Look>& looks();

} // namespace teintelle::samples
