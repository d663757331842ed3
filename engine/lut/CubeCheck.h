#pragma once
// What the .cube reader makes of a file, set against what the file's author
// meant by it. The author's reading is the usual one of grading tools:
// "#" comments, blank lines and keyword lines anywhere, LUT_3D_SIZE N, three
// numbers per data line separated by any blanks, values clipped to 0..1.
// The program's reading is readCube's: the check reads the text once, with
// the reader telling it its decisions and its lines (a line longer than the
// CubeLine::kKeptChars the reader tells of is no data line a grading tool
// writes).

#include "lut/CubeReader.h"

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace teintelle {

// One way in which the program's reading departs from the author's.
enum class CubeDeparture {
    SizeLine,        // a size line the program does not read, or not as written
    NoSizeLine,      // no LUT_3D_SIZE line at all (and no 1D table)
    DataStart,       // the first data line is not where the program starts the data
    LinesInData,     // comment, blank or keyword lines between data lines
    Separators,      // tabs, several spaces or an indent that move the fields
    UnreadableData,  // data lines that are not three numbers
    WrappedValues,   // values outside 0..1 whose stored byte wraps round
    Domain,          // DOMAIN_MIN / DOMAIN_MAX other than 0 and 1
    InputRange,      // LUT_3D_INPUT_RANGE other than 0 1
    Table1D,         // a 1D table (LUT_1D_SIZE)
    SizeNotApplied,  // an edge size the program cannot apply
    LineCount,       // fewer or more data lines than N^3
    Entries,         // entries that differ for a reason none of the above names
};

struct CubeDepartureLine {
    CubeDeparture kind;
    std::string text; // one line of French for the user
};

struct CubeCheck {
    bool found = false;           // false: no file at the path, nothing else is set
    bool applies = false;         // readCube returned Loaded: the window applies the table
    std::string failure;          // when it does not: the message the window shows
    std::int32_t taille = 0;      // N as the program reads it (0 when it reads none)
    std::int32_t declaredTaille = 0; // N as the author wrote it (0 when none is legible)
    std::uint64_t dataLines = 0;  // data lines as the author wrote them
    std::vector<CubeDepartureLine> departures;

    // The window applies the file, and applies it as its author meant.
    bool asMeant() const { return found && applies && departures.empty(); }
    // The N^3 the data lines are counted against: the author's N, else the program's.
    std::int32_t expectedTaille() const { return declaredTaille > 0 ? declaredTaille : taille; }
};

// Checks a whole .cube text held in memory.
CubeCheck checkCube(std::string_view bytes);

// Checks a file: found is false when no regular file is at the path; a file
// that cannot be opened or read does not apply, with the reader's message.
CubeCheck checkCubeFile(const std::string& path);

} // namespace teintelle
