#pragma once
// The .cube format as the authors of effect files mean it, read apart from
// the window's reader (which reads its own subset, as it always has). This is
// the reading of grading tools: TITLE; LUT_3D_SIZE and LUT_1D_SIZE anywhere in
// the head; DOMAIN_MIN / DOMAIN_MAX; LUT_3D_INPUT_RANGE and
// LUT_1D_INPUT_RANGE; "#" comment lines and blank lines anywhere; fields
// separated by any run of spaces or tabs; integers and every decimal form;
// a 1D table alone, or a 1D shaper whose entries come before the 3D table's.

#include <array>
#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace teintelle {

using CubeRgb = std::array<double, 3>;

// One table of the file and the input domain it covers.
struct AuthorTable {
    int size = 0;                 // 1D: its length; 3D: its edge N; 0 when the file has none
    CubeRgb min{0, 0, 0};         // the input that falls on its first entry
    CubeRgb max{1, 1, 1};         // ... and on its last
    std::vector<float> values;    // three per entry, in file order (3D: red fastest)
    std::vector<std::uint8_t> bytes; // 3D only: each value clipped to 0..1 as the window stores it

    bool present() const { return size != 0; }
    bool plainDomain() const { return min == CubeRgb{0, 0, 0} && max == CubeRgb{1, 1, 1}; }
};

struct AuthorCube {
    std::string title;
    AuthorTable shaper; // the 1D table: a shaper before the 3D table, or the whole effect
    AuthorTable cube;   // the 3D table

    // The effect on a colour in 0..1, as the author's program applies it:
    // each channel mapped from the shaper's domain to 0..1 (clipped at its
    // edges) and through the shaper (linear interpolation), then mapped from
    // the 3D table's domain and through it (trilinear interpolation), the
    // result clipped to 0..1.
    CubeRgb apply(CubeRgb colour) const;

    // The edge size of the copy the window reads as meant: the 3D table's
    // own when the window can apply it, else `requested` (0: 65 for a
    // larger 3D table, 33 for a 1D table alone).
    int copySize(int requested) const;

    // Writes that copy with edge size `size`, in the subset the window reads
    // as written (cube::writeCube): the effect sampled on the lattice, or,
    // for a 3D table alone of that size over 0..1, its own entries, each
    // stored by the window as the byte it stores for the author's value
    // clipped to 0..1.
    void writeWindowCopy(int size, const std::function<void(std::string_view)>& sink) const;

    // The copy holds the 3D table's entries as they are (no sampling).
    bool windowReadsAsIs(int size) const;
};

constexpr int kWindowMax3D = 256;  // the largest table the window applies
constexpr int kResampledSize = 65; // a larger table is sampled at this size
constexpr int kOneDSize = 33;      // a 1D table alone becomes a 3D table of this size

// The largest 3D edge and 1D length the reader takes: beyond, the table does
// not fit in memory.
constexpr int kAuthorMax3D = 406;
constexpr int kAuthorMax1D = 1 << 20;

// Reads a .cube text. Throws Error with a French message that starts with
// "ligne N : " naming the line at fault.
AuthorCube readAuthorCube(std::istream& in);
AuthorCube readAuthorCubeFile(const std::string& path);

namespace cube {

// The words of a line, separated by any run of spaces, tabs, form feeds or
// vertical tabs.
std::vector<std::string_view> blankSeparatedWords(std::string_view line);

// A number as grading tools write one: an optional sign, digits with an
// optional point (at least one digit), an optional exponent.
bool isDecimalNumber(std::string_view word);

} // namespace cube

} // namespace teintelle
