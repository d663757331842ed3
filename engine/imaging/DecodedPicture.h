#pragma once

#include "imaging/TBitmap32.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace teintelle {

// The formats of the full-size path: JPEG and 32-bit uncompressed BMP are
// the engine's own, the others the platform's (a Bitmap there is any other
// BMP).
enum class PictureFormat { Jpeg, Bitmap, Icon, Tiff, WindowsMetafile, EnhancedMetafile };

// What a picture decoder of the platform layer hands back. Decoding the
// formats the engine does not read itself (BMP other than 32-bit
// uncompressed, icons, TIFF, metafiles) is the platform's business; turning
// the result into pixels of a surface is the engine's (Assign below).
struct DecodedPicture {
    PictureFormat format = PictureFormat::Bitmap;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // A bitmap whose file holds 32 bits per pixel keeps its own alpha.
    bool thirtyTwoBitsPerPixel = false;
    // Raster pictures: width x height pixels, top row first, alpha not
    // premultiplied.
    std::vector<TColor32> pixels;
    // Raster pictures, instead of pixels: decodes the picture straight into
    // the canvas (already at the picture's size), replacing every pixel with
    // the picture's own, alpha not premultiplied. The decoder then never holds
    // a second copy of a picture that may be as large as a surface. Throws
    // Error with the decoder's message.
    std::function<void(TBitmap32& canvas)> decodeInto;
    // Metafiles: draws the picture at its own size over the canvas, whose
    // pixels hold the background, shifted up by `top` rows: the canvas holds
    // the picture's rows from `top` on (a band of it, or all of it for top
    // 0). Also used by an icon when it has to be redone as a metafile (every
    // alpha 0); when absent, the raster pixels are composited over the
    // background instead.
    std::function<void(TBitmap32& canvas, std::int32_t top)> render;
};

// Assign (decoded picture): SetSize to the picture's size; fill; draw the
// picture at its own size; finish as its format asks; notify the change, also
// when a step failed.
//   JPEG, TIFF: fill white, picture composited over it, alpha 255.
//   Bitmap:     fill 0, pixels copied, alpha 255 unless 32 bits per pixel.
//   Icon:       fill 0, pixels copied; redone as a metafile when every alpha is 0.
//   WMF, EMF:   drawn once on white and once on opaque red; a pixel equal in
//               both gets alpha 255, any other alpha 0; colours from white.
void Assign(TBitmap32& surface, const DecodedPicture& picture);

// A decoder of the platform layer. It opens the file itself and throws Error
// with its own message when it cannot decode it.
using PictureDecoder = std::function<DecodedPicture(const std::string& path)>;

// The decoders a photo is read with, handed in by whoever reads it: the
// engine's own readers (JPEG, 32-bit uncompressed BMP) always belong to the
// set, the caller adds the platform's (window/decoders gives the toolkit's).
// The full-size path (LoadFromFile) and the export read with the same set;
// PNG and WebP are the export's only. A format whose decoder is left empty
// fails with "Aucun décodeur d'image installé pour l'extension .<ext>". The
// set is a plain value: the window holds one, teintelle-cli and the tests
// make their own. The export calls its decoders from several threads at once.
struct PhotoDecoders {
    PictureDecoder bitmap, icon, tiff, windowsMetafile, enhancedMetafile, png, webp;

    // The platform's decoder of a format, or nullptr for the engine's own
    // (JPEG).
    const PictureDecoder* platformDecoder(PictureFormat format) const;
    PictureDecoder* platformDecoder(PictureFormat format)
    {
        return const_cast<PictureDecoder*>(std::as_const(*this).platformDecoder(format));
    }
};

} // namespace teintelle
