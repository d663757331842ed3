#include "imaging/PhotoLoading.h"

#include "common/Error.h"
#include "common/InputFile.h"
#include "imaging/BmpDirect.h"
#include "imaging/DecodedPicture.h"
#include "imaging/JpegDecoder.h"
#include "imaging/PhotoFile.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace teintelle {

std::int32_t ChargePhotoReduite(const std::string& path, TBitmap32& destination) noexcept
{
    try {
        std::vector<std::uint8_t> bytes;
        if (!readWholePhotoFile(path, bytes))
            return 1;
        JpegDecoder decoder(JpegDecoder::Scale::Quarter);
        decoder.readHeader(bytes.data(), bytes.size());
        decoder.decodeInto(destination);
        return 4;
    } catch (...) {
        // The small view's decode fails silently; the caller sees it in the
        // returned factor only.
        return 1;
    }
}

std::string photoExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return {};
    return path.substr(dot + 1);
}

namespace {

std::string asciiLower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

// A name the full-size path hands to the engine's own JPEG decoder.
bool namesJpeg(const std::string& extension)
{
    const std::string lower = asciiLower(extension);
    return lower == "jpg" || lower == "jpeg";
}

// The decoder takes a failed read for the end of the file; it is reported
// as the read error it was, whatever the decoder made of it.
void loadJpegFullSize(const std::string& path, TBitmap32& surface)
{
    PhotoFileHandle file = openPhotoFile(path);
    JpegDecoder decoder(JpegDecoder::Scale::Full);
    try {
        decoder.readHeader(file.get());
        decoder.decodeInto(surface);
    } catch (const Error&) {
        if (std::ferror(file.get()))
            throw Error(kReadError);
        throw;
    }
    if (std::ferror(file.get()))
        throw Error(kReadError);
}

void loadWithPlatform(const PictureDecoder& decoder, const std::string& path, const std::string& extension,
                      TBitmap32& surface)
{
    if (!decoder)
        throw Error("Aucun décodeur d'image installé pour l'extension ." + extension);
    Assign(surface, decoder(path));
}

} // namespace

void LoadFromFile(const std::string& path, TBitmap32& surface, const PhotoDecoders& decoders)
{
    std::uint8_t header[kBmpHeaderSize];
    {
        PhotoFileHandle file = openPhotoFile(path);
        if (std::fread(header, 1, sizeof header, file.get()) != sizeof header)
            throw Error(kReadError);
        if (startsAsBmp(header) && isDirectBmp(header)) {
            readDirectBmp(file.get(), header, surface);
            return;
        }
    }
    // The other decoders open the file again themselves.
    if (startsAsBmp(header)) {
        loadWithPlatform(decoders.bitmap, path, "bmp", surface);
        return;
    }
    const std::string extension = photoExtension(path);
    if (namesJpeg(extension)) {
        loadJpegFullSize(path, surface);
        return;
    }
    const PictureDecoder* platform = decoderForExtension(decoders, extension, PhotoReading::FullSize);
    if (platform == nullptr)
        throw Error("Extension de fichier image inconnue (." + extension + ")");
    loadWithPlatform(*platform, path, extension, surface);
}

const PictureDecoder* decoderForExtension(const PhotoDecoders& decoders, const std::string& extension,
                                          PhotoReading reading)
{
    struct Entry {
        const char* extension;
        PictureDecoder PhotoDecoders::*decoder;
        bool exportOnly;
    };
    // Extensions in lower case. The full-size path registers no other
    // format (no PNG, no GIF): PNG and WebP are the export's only.
    static constexpr Entry kRegistry[] = {
        {"bmp", &PhotoDecoders::bitmap, false},
        {"ico", &PhotoDecoders::icon, false},
        {"wmf", &PhotoDecoders::windowsMetafile, false},
        {"emf", &PhotoDecoders::enhancedMetafile, false},
        {"tif", &PhotoDecoders::tiff, false},
        {"tiff", &PhotoDecoders::tiff, false},
        {"png", &PhotoDecoders::png, true},
        {"webp", &PhotoDecoders::webp, true},
    };
    const std::string lower = asciiLower(extension);
    for (const Entry& entry : kRegistry) {
        if (lower == entry.extension)
            return entry.exportOnly && reading == PhotoReading::FullSize ? nullptr : &(decoders.*entry.decoder);
    }
    return nullptr;
}

std::string lowerCaseExtension(const std::string& path) { return asciiLower(photoExtension(path)); }

} // namespace teintelle
