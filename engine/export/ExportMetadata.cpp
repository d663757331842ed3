// The metadata of the photos that libjpeg does not read (TIFF, PNG, WebP...),
// through Exiv2. A JPEG's own segments are kept by the JPEG reader itself.
#include "export/ExportCodecs.h"

#include <exiv2/exiv2.hpp>

#include <mutex>
#include <vector>

namespace teintelle {

namespace {

// Tags of a TIFF's first directory that describe its own pixel layout or
// carry what is kept apart (profile, XMP, IPTC): wrong in any other file.
constexpr const char* kLayoutTags[] = {
    "Exif.Image.NewSubfileType", "Exif.Image.SubfileType", "Exif.Image.ImageWidth", "Exif.Image.ImageLength",
    "Exif.Image.BitsPerSample", "Exif.Image.Compression", "Exif.Image.PhotometricInterpretation",
    "Exif.Image.FillOrder", "Exif.Image.StripOffsets", "Exif.Image.SamplesPerPixel", "Exif.Image.RowsPerStrip",
    "Exif.Image.StripByteCounts", "Exif.Image.PlanarConfiguration", "Exif.Image.Predictor",
    "Exif.Image.TileWidth", "Exif.Image.TileLength", "Exif.Image.TileOffsets", "Exif.Image.TileByteCounts",
    "Exif.Image.ExtraSamples", "Exif.Image.SampleFormat", "Exif.Image.InterColorProfile",
    "Exif.Image.XMLPacket", "Exif.Image.IPTCNAA", "Exif.Image.ImageResources", "Exif.Image.JPEGTables",
};

// Exiv2's XMP toolkit is set up once per process and its parsers share
// state: one reading at a time.
std::mutex& exiv2Lock()
{
    static std::mutex lock;
    return lock;
}

void prepareExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

void keepExif(Exiv2::Image& image, PhotoMetadata& metadata)
{
    Exiv2::ExifData exif = image.exifData();
    for (const char* key : kLayoutTags) {
        const auto found = exif.findKey(Exiv2::ExifKey(key));
        if (found != exif.end())
            exif.erase(found);
    }
    if (exif.empty())
        return;
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, image.byteOrder() == Exiv2::bigEndian ? Exiv2::bigEndian : Exiv2::littleEndian,
                              exif);
    metadata.exif.assign(blob.begin(), blob.end());
}

void keepIptc(Exiv2::Image& image, PhotoMetadata& metadata)
{
    if (image.iptcData().empty())
        return;
    const Exiv2::DataBuf irb = Exiv2::Photoshop::setIptcIrb(nullptr, 0, image.iptcData());
    if (irb.size_ <= 0)
        return;
    static constexpr char kHeader[] = "Photoshop 3.0"; // and its NUL
    metadata.iptc.assign(kHeader, kHeader + sizeof kHeader);
    metadata.iptc.insert(metadata.iptc.end(), irb.pData_, irb.pData_ + irb.size_);
}

// The packet as the file holds it: a TIFF keeps it in a tag of its own.
void keepXmp(Exiv2::Image& image, PhotoMetadata& metadata)
{
    metadata.xmp = image.xmpPacket();
    if (!metadata.xmp.empty())
        return;
    const auto tag = image.exifData().findKey(Exiv2::ExifKey("Exif.Image.XMLPacket"));
    if (tag != image.exifData().end()) {
        std::vector<Exiv2::byte> bytes(std::size_t(tag->size()));
        tag->copy(bytes.data(), Exiv2::invalidByteOrder);
        metadata.xmp.assign(bytes.begin(), bytes.end());
    } else if (!image.xmpData().empty()) {
        Exiv2::XmpParser::encode(metadata.xmp, image.xmpData());
    }
}

} // namespace

PhotoMetadata readMetadata(const std::string& path)
{
    PhotoMetadata metadata;
    try {
        const std::lock_guard<std::mutex> hold(exiv2Lock());
        prepareExiv2();
        auto image = Exiv2::ImageFactory::open(path);
        if (image.get() == nullptr)
            return metadata;
        image->readMetadata();
        keepExif(*image, metadata);
        keepXmp(*image, metadata);
        keepIptc(*image, metadata);
        const Exiv2::DataBuf* icc = image->iccProfile();
        if (icc != nullptr && icc->size_ > 0)
            metadata.icc.assign(icc->pData_, icc->pData_ + icc->size_);
    } catch (...) {
        // A photo whose metadata Exiv2 cannot read is exported without it.
        return PhotoMetadata{};
    }
    return metadata;
}

} // namespace teintelle
