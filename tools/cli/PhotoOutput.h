#pragma once
// What the photo commands (decode, apply, sheet, export) share: the platform
// decoders, and writing a surface as PPM or PNG. What needs Qt lives in
// PhotoOutputQt.cpp, or in PhotoOutputNoQt.cpp for a build without it.

#include "cli/Commands.h"
#include "common/Error.h"
#include "common/InputFile.h"
#include "common/OutputFile.h"
#include "imaging/DecodedPicture.h"
#include "imaging/TBitmap32.h"

#include <string>

namespace teintelle::cli {

bool endsWithPng(const std::string& path);

// Qt's GUI module on its offscreen platform: fonts for metafiles, PNG.
// Nothing in a build without Qt.
void startOffscreenGui();

// The full-size path's decoders: the platform's too when teintelle-cli
// links them.
PhotoDecoders photoDecoders();

// Replaces the file at path with what `fill` writes into an OutputFile:
// the old file stays as it was unless every byte is on disk. Returns an
// error message, empty on success.
template <class Fill>
std::string replaceFile(const std::string& path, Fill&& fill)
{
    try {
        OutputFile out(path);
        fill(out);
        out.commit();
        return "";
    } catch (const Error& error) {
        return error.what();
    }
}

// Binary PPM: P6, maxval 255, red, green, blue; alpha dropped. An empty
// surface gives the header "P6 0 0 255" and no pixels.
void writePpm(const TBitmap32& surface, OutputFile& out);

// The surface (alpha dropped) as a PNG file in place of the file at path,
// through Qt's writer. Returns an error message, empty on success; in a
// build without Qt, the message that PNG is not available.
std::string writePng(const TBitmap32& surface, const std::string& path);

// Writes OUT as PNG when its name ends in .png (not for an empty surface:
// PNG has no empty picture, so no file is written), as PPM otherwise.
// Returns an error message, empty on success.
std::string writePicture(const TBitmap32& surface, const std::string& path);

// writePicture for a command: its problem on standard error, the exit status.
int writePictureOf(const char* command, const TBitmap32& surface, const std::string& out);

} // namespace teintelle::cli
