#pragma once

#include "lut/CubeNumbers.h"
#include "lut/LutTable.h"

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

namespace teintelle {

enum class CubeStatus { Loaded, FileMissing, SizeNotFound, DataNotFound };

// The notice-box text of a structure error (SizeNotFound, DataNotFound);
// empty for the other statuses.
std::string_view structureMessage(CubeStatus status);

// Reads a .cube text from a stream into the table and its edge size.
//
// The head (lines 1 to 21) is searched for the size line ("LUT_3D_SIZE" on
// lines 1 to 20) and the data start (the first of lines 1 to 20 beginning
// with "0."); every line from the data start on gives one entry in .cube
// order. Lines beyond the table's N^3 entries are ignored and the stream is
// not read further. Memory stays bounded whatever the stream holds: the head
// keeps a few dozen bytes per line, and a line of any length is read piece by
// piece.
//
// Returns Loaded, SizeNotFound (tailleTableLut set to 0, table unchanged) or
// DataNotFound (tailleTableLut holds the size, table unchanged). Throws Error
// for the list, range, memory, floating-point and read errors.
CubeStatus readCube(std::istream& in, LutTable& table, std::int32_t& tailleTableLut);

// What the two searches of the head found.
struct CubeSearches {
    int sizeLine = 0;  // the line taken as the size line (1 to 20), 0 when none
    int dataStart = 0; // the first of lines 1 to 20 beginning with "0.", 0 when none; the
                       // data start when a size was read (the search runs only then)
};

// One line of the text as the reader splits it.
struct CubeLine {
    static constexpr std::size_t kKeptChars = 4096;

    std::uint64_t number = 0;             // from 1
    std::string_view text;                // its first kKeptChars characters
    bool truncated = false;               // the line is longer than that
    cube::DataLineParser::Values values{}; // what its three fields read as
};

// What the reader did with the data: the entries it stored, and the lines
// from the data start on that it did not store (past the table's N^3
// entries, or after a failure).
struct CubeTail {
    std::uint64_t stored = 0;
    std::uint64_t ignored = 0;
};

// Told of the reader's decisions, for a caller that sets them against what
// the file's author meant (teintelle-cli check). With an observer the reader
// reads the whole text, every line to the end, and only then returns or
// throws; its result, the table and the size are the same as without one.
class CubeReadObserver {
public:
    virtual void head(const CubeSearches& head) = 0; // once, before the first line
    virtual void line(const CubeLine& line) = 0; // every line, in order
    virtual void tail(const CubeTail& tail) = 0; // once at the end, before an error is raised

protected:
    ~CubeReadObserver() = default;
};

CubeStatus readCube(std::istream& in, LutTable& table, std::int32_t& tailleTableLut, CubeReadObserver& observer);

// The file wrapper: FileMissing when no regular file exists at path (nothing
// changed); throws Error "Impossible d'ouvrir le fichier \"PATH\". <strerror>"
// when the file exists but cannot be opened; otherwise readCube.
CubeStatus loadCubeFile(const std::string& path, LutTable& table, std::int32_t& tailleTableLut);
// The same, telling the observer (which is told nothing when no file is found
// or it cannot be opened).
CubeStatus loadCubeFile(const std::string& path, LutTable& table, std::int32_t& tailleTableLut,
                        CubeReadObserver& observer);

} // namespace teintelle
