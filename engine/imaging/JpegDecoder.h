#pragma once

#include "imaging/TBitmap32.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace teintelle {

// One JPEG decode through libjpeg, in two steps: the header, then the pixels.
// Errors of the library come out as Error("Erreur JPEG #<message code>");
// its warnings (damaged or truncated data) are ignored. The decompressor is
// always released, whatever happens.
class JpegDecoder {
public:
    enum class Scale {
        Quarter, // 1/4, fast integer transform, ordered dithering, one pass
        Full,    // 1/1, floating-point transform, library default dithering
    };

    // A progressive file with more scans than this is refused: each scan walks
    // the whole picture, so a small hostile file could otherwise keep the
    // decoder busy for hours. Real photographs have a dozen scans at most.
    static constexpr int kMaxScans = 500;
    // Bound of the library's whole-picture buffers (progressive files):
    // beyond it the library raises its own error instead of allocating.
    static constexpr long kMaxLibraryMemory = 1L << 30;
    // Raised as "Erreur JPEG : plus de 500 passes"; outside the library's codes.
    static constexpr int kTooManyScansCode = 1000;

    explicit JpegDecoder(Scale scale);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // Reads the header and sets the decoding parameters. The memory block
    // (or the file) must outlive the decoder. Throws Error.
    void readHeader(const std::uint8_t* data, std::size_t size);
    void readHeader(std::FILE* file);

    // Size of the decoded picture (after readHeader).
    std::int32_t outputWidth() const;
    std::int32_t outputHeight() const;

    // Assigns the decoded picture to the surface: SetSize to the output size,
    // every pixel white, then the decoded pixels with alpha 255. A decoding
    // error leaves the surface at the new size and white, and is rethrown.
    // The change is notified in every case.
    void decodeInto(TBitmap32& surface);

    struct State; // the library's structures, kept out of this header

private:
    std::unique_ptr<State> state_;
};

} // namespace teintelle
