#pragma once
// The one .cube writer: the sample effects, the copies of teintelle-cli fix.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace teintelle::cube {

// One entry's three channels in millionths, 0 to 1000000.
using Micros = std::array<std::int32_t, 3>;

// A value clipped to 0..1 and rounded to millionths.
std::int32_t micros(double value);

// What comes before the data: lines written before the size line, then the
// size line "LUT_3D_SIZE N", then lines written after it. No line of them
// may begin with "0.", which the window takes for the first data line.
struct CubeHeadLines {
    std::vector<std::string> beforeSize;
    std::vector<std::string> afterSize;
};

// An N-sized 3D table in the form the window reads as meant: the head, then
// N^3 lines of three values with six decimals ("0.xxxxxx" or "1.000000")
// separated by one space, red fastest, then green, then blue, LF after each
// line. The first data line must begin with "0." for the window to find it:
// a first red of 1 is written "0.1e1", which reads as 1 exactly. The text
// goes to sink in pieces of at most a few hundred kilobytes.
void writeCube(const CubeHeadLines& head, int n, const std::function<Micros(int r, int g, int b)>& entry,
               const std::function<void(std::string_view)>& sink);

// The same text in a string.
std::string cubeText(const CubeHeadLines& head, int n, const std::function<Micros(int r, int g, int b)>& entry);

} // namespace teintelle::cube
