#pragma once

#include "imaging/DecodedPicture.h"
#include "imaging/TBitmap32.h"

#include <cstdint>
#include <string>

namespace teintelle {

// Decodes a JPEG file at a quarter of its width and height into the
// destination and returns the new ResolutionChargee: 4 after a whole decode,
// 1 after any failure, the surface's memory error included. Never throws.
// A failure before or at the header leaves the destination untouched; a
// failure while decoding leaves it white at the quarter size. Whatever the
// file's extension, only JPEG content decodes.
std::int32_t ChargePhotoReduite(const std::string& path, TBitmap32& destination) noexcept;

// The full-size path: a 32-bit uncompressed BMP read directly, a JPEG named
// .jpg or .jpeg decoded at full size, any other BMP, icon, TIFF and
// metafile through the platform's decoders of the set. Throws Error with the message
// the user sees ("Erreur de lecture du flux", "Erreur JPEG #n",
// "Extension de fichier image inconnue (.ext)", "Impossible d'ouvrir le
// fichier ...", the surface's memory error, or a platform decoder's own).
void LoadFromFile(const std::string& path, TBitmap32& surface, const PhotoDecoders& decoders);

// Who asks for a photo's decoder by the photo's extension: the export reads
// two formats more than the full-size path (PNG, WebP).
enum class PhotoReading { FullSize, Export };

// The decoder of the set that reads a photo of this extension (compared
// without regard to letter case) in that reading, or nullptr when the
// reading registers no such extension. JPEG is the engine's own: "jpg" and
// "jpeg" are never the set's, nullptr as well.
const PictureDecoder* decoderForExtension(const PhotoDecoders& decoders, const std::string& extension,
                                          PhotoReading reading);

// The extension as the full-size path sees it: the text after the last dot
// of the file name, without the dot; empty when the name has no dot.
std::string photoExtension(const std::string& path);
// The same with its ASCII letters in lower case ("JPG" gives "jpg"), for the
// choices that ignore the letter case.
std::string lowerCaseExtension(const std::string& path);

} // namespace teintelle
