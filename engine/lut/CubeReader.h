#pragma once

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

// The file wrapper: FileMissing when no regular file exists at path (nothing
// changed); throws Error "Impossible d'ouvrir le fichier \"PATH\". <strerror>"
// when the file exists but cannot be opened; otherwise readCube.
CubeStatus loadCubeFile(const std::string& path, LutTable& table, std::int32_t& tailleTableLut);

} // namespace teintelle
