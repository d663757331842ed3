#pragma once
// The pieces of the export: readers that give a photo's rows band after
// band, writers that take them, and the metadata carried from one to the
// other. Rows are surface pixels (TColor32: blue, green, red, alpha in
// memory); alpha is never written.

#include "common/OutputFile.h"
#include "export/PhotoExport.h"
#include "imaging/TBitmap32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace teintelle {

struct PhotoMetadata {
    std::vector<std::uint8_t> exif; // the TIFF-structured block, without "Exif\0\0"
    std::string xmp;                // the XMP packet
    std::vector<std::uint8_t> iptc; // a JPEG's APP13 segment as it stands ("Photoshop 3.0\0"...)
    std::vector<std::uint8_t> icc;  // the ICC profile, whole
};

// How a JPEG source sampled its chroma, for an output that keeps it: the
// luma's factors when the chroma is 1 x 1; 1 x 1 (4:4:4) otherwise.
struct ChromaSampling {
    int horizontal = 1;
    int vertical = 1;
};

class BandReader {
public:
    virtual ~BandReader() = default;
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    const PhotoMetadata& metadata() const { return metadata_; }
    const ChromaSampling& sampling() const { return sampling_; }
    // Fills the next `rows` rows (width() pixels each, no gap). Throws Error.
    virtual void read(TColor32* pixels, std::int32_t rows) = 0;

protected:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    PhotoMetadata metadata_;
    ChromaSampling sampling_;
};

class BandWriter {
public:
    virtual ~BandWriter() = default;
    // Takes the next `rows` rows. Throws Error.
    virtual void write(const TColor32* pixels, std::int32_t rows) = 0;
    // After the last row: the encoder's end. Throws Error.
    virtual void finish() = 0;
};

// A JPEG at full size (ExportJpeg.cpp). The file must outlive the reader.
std::unique_ptr<BandReader> openJpegReader(std::FILE* file);

struct WriterSetup {
    std::string path; // the output as the caller named it, for messages
    std::int32_t width = 0;
    std::int32_t height = 0;
    int quality = 95;
    ChromaSampling sampling;
    const PhotoMetadata* metadata = nullptr;
};

std::unique_ptr<BandWriter> openJpegWriter(OutputFile& out, const WriterSetup& setup);
// ExportPngTiff.cpp
std::unique_ptr<BandWriter> openPngWriter(OutputFile& out, const WriterSetup& setup);
std::unique_ptr<BandWriter> openTiffWriter(OutputFile& out, const WriterSetup& setup);

// The EXIF, XMP and ICC profile of a photo the engine does not decode itself,
// read by Exiv2 (ExportMetadata.cpp); empty parts for what is absent or
// cannot be read: metadata never makes an export fail.
PhotoMetadata readMetadata(const std::string& path);

} // namespace teintelle
