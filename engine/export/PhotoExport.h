#pragma once
// The export: a photo at its full size with an effect applied, written as a
// file to keep. The window and teintelle-cli both call it; it runs on any
// thread, several at once, each export on its own photo.

#include "imaging/DecodedPicture.h"
#include "lut/LutTable.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace teintelle {

enum class ExportFormat { Jpeg, Png, Tiff };

// The format an output name asks for by its extension (jpg, jpeg, png, tif,
// tiff in any letter case), or nothing.
std::optional<ExportFormat> exportFormatForName(const std::string& path);
// The usual extension of a format, without the dot: "jpg", "png", "tif".
const char* exportExtension(ExportFormat format);

struct ExportOptions {
    ExportFormat format = ExportFormat::Jpeg;
    // Each channel becomes o + (g - o) x strength for the original o and the
    // graded g, rounded half up: 0 keeps the original, 1 the graded.
    double strength = 1.0;
    int quality = 95; // JPEG, 1 to 100
    // An existing file at the output is replaced only when this is set.
    bool overwrite = false;
    // Rows decoded, mapped and encoded at a time; 0 for the usual band.
    std::int32_t bandRows = 0;
    // Decodes and maps the next bands on a second thread while this one
    // encodes: for an export with a core to spare (one photo at a time). The
    // file is the same either way.
    bool overlap = false;
    // Told the fraction of rows written so far, from the exporting thread.
    std::function<void(double fraction)> progress;
};

// Exports the photo through the table (read as the window reads it: edge
// size tailleTableLut) to output. Every pixel is mapped exactly as
// AppliqueLut maps it on the full-size picture.
//
// Inputs: JPEG by its content, whatever its name: decoded at full size with
// the accurate integer transform, fancy upsampling and no quantising; a
// baseline JPEG streams in bands of rows (decoded, mapped and encoded), a
// progressive one needs the library's whole-picture coefficient buffer. A
// 32-bit uncompressed BMP is read directly; other formats (by their name's
// extension, a BMP by its content) through `decoders`, as whole pictures:
// BMP other than 32-bit uncompressed, icons, TIFF, metafiles, PNG and WebP,
// each decoder called from the exporting thread.
// Outputs: JPEG (the source's chroma subsampling when it has one, 4:4:4
// otherwise), PNG or 8-bit TIFF, RGB. EXIF, XMP, IPTC and the ICC profile of
// the photo go into a JPEG output; the ICC profile and the XMP packet into
// PNG and TIFF (EXIF too into PNG).
//
// The file is written to a temporary beside it and takes its name only once
// complete: whatever fails, no part of it is left behind. Throws Error with
// the user's message: the photo's own decoding errors, "Le fichier
// "<output>" existe déjà" (without overwrite), "La photo ne peut pas être
// écrite sur elle-même", the writing errors of OutputFile, "Mémoire
// insuffisante".
void exportPhoto(const std::string& photo, const std::string& output, const LutTable& table,
                 std::int32_t tailleTableLut, const ExportOptions& options, const PhotoDecoders& decoders);

// The name an export of photo gets in a folder: the photo's name without its
// extension, "-" and the effect's name without its extension, then the
// format's extension ("IMG_1.jpg" and "Chaud.cube" give "IMG_1-Chaud.jpg").
std::string exportName(const std::string& photo, const std::string& effect, ExportFormat format);

} // namespace teintelle
