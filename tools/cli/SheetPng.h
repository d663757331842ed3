#pragma once
// The contact sheet as a PNG file, written for speed: 8-bit RGB, every row
// with the "Up" filter (a sheet is mostly photo thumbnails, whose rows are
// alike, and the borders and background are flat), deflated by zlib at its
// fastest level through QtCore's qCompress. libpng's choice of a filter per
// row by trial, which Qt's writer gets, costs two thirds as much as the
// deflating.

#include "imaging/TBitmap32.h"

#include <string>

namespace teintelle::cli {

// Writes the surface (alpha dropped) as a PNG file in place of the file at
// path. Returns an error message, empty on success.
std::string writeSheetPng(const TBitmap32& surface, const std::string& path);

} // namespace teintelle::cli
