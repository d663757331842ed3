// The export's JPEG reader and writer, through libjpeg's scanline calls so
// that a baseline photo never lies whole in memory.
#include "export/ExportCodecs.h"

#include "common/Error.h"
#include "imaging/JpegDecoder.h"
#include "imaging/JpegErrors.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace teintelle {

namespace {

// A code outside the library's own: the destination could not be written,
// its message kept by the destination.
constexpr int kWriteFailedCode = 2000;

[[noreturn]] void throwJpegError(int code)
{
    if (code == JERR_OUT_OF_MEMORY)
        throw Error(kOutOfMemory);
    throw Error(jpegErrorMessage(code));
}

constexpr char kExifHeader[] = "Exif\0"; // with the string's own NUL: "Exif\0\0"
constexpr std::size_t kExifHeaderSize = 6;
constexpr char kXmpHeader[] = "http://ns.adobe.com/xap/1.0/"; // followed by a NUL
constexpr std::size_t kXmpHeaderSize = sizeof kXmpHeader;
constexpr char kPhotoshopHeader[] = "Photoshop 3.0";
constexpr std::size_t kLargestMarker = 65533; // a segment's 16-bit length covers itself

bool startsWith(const jpeg_saved_marker_ptr marker, const char* text, std::size_t size)
{
    return marker->data_length >= size && std::memcmp(marker->data, text, size) == 0;
}

class JpegBandReader final : public BandReader {
public:
    JpegBandReader()
    {
        installJpegErrors(reinterpret_cast<j_common_ptr>(&cinfo_), errors_);
        if (setjmp(errors_.jump))
            throwJpegError(errors_.code); // creation failed: nothing to release
        jpeg_create_decompress(&cinfo_);
        created_ = true;
        cinfo_.mem->max_memory_to_use = kMaxLibraryMemory;
        progress_.progress_monitor = limitJpegScans;
        cinfo_.progress = &progress_;
    }

    // Apart from the constructor, so that the destructor releases the
    // library whatever this throws.
    void start(std::FILE* file)
    {
        if (!startProtected(file))
            throwJpegError(errors_.code);
        width_ = std::int32_t(cinfo_.output_width);
        height_ = std::int32_t(cinfo_.output_height);
        keepMetadata();
        if (cinfo_.out_color_space == JCS_CMYK)
            scratch_.resize(std::size_t(width_) * 4 * kMaxRowsPerCall);
    }

    ~JpegBandReader() override
    {
        std::free(icc_);
        if (created_)
            jpeg_destroy_decompress(&cinfo_);
    }

    void read(TColor32* pixels, std::int32_t rows) override
    {
        if (!readProtected(pixels, rows))
            throwJpegError(errors_.code);
    }

private:
    // A progressive photo's coefficients are held whole by the library; a
    // photo beyond this ends with "Mémoire insuffisante".
    static constexpr long kMaxLibraryMemory = 4L << 30;
    static constexpr int kMaxRowsPerCall = 16;

    bool startProtected(std::FILE* file)
    {
        if (setjmp(errors_.jump))
            return false;
        jpeg_stdio_src(&cinfo_, file);
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 1, 0xFFFF);
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 2, 0xFFFF);
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 13, 0xFFFF);
        jpeg_read_header(&cinfo_, TRUE);
        // The library's best: accurate integer transform, its other defaults
        // (fancy upsampling, block smoothing), no quantising.
        cinfo_.dct_method = JDCT_ISLOW;
        cinfo_.do_fancy_upsampling = TRUE;
        cinfo_.quantize_colors = FALSE;
        cinfo_.buffered_image = FALSE;
        if (cinfo_.out_color_space == JCS_RGB || cinfo_.out_color_space == JCS_GRAYSCALE)
            cinfo_.out_color_space = JCS_EXT_BGRA; // the surface's own byte order
        else if (cinfo_.out_color_space == JCS_UNKNOWN)
            cinfo_.out_color_space = JCS_RGB; // the library refuses it with its own error
        JOCTET* icc = nullptr;
        unsigned int iccSize = 0;
        if (jpeg_read_icc_profile(&cinfo_, &icc, &iccSize)) {
            icc_ = icc;
            iccSize_ = iccSize;
        }
        jpeg_start_decompress(&cinfo_);
        return true;
    }

    void keepMetadata()
    {
        for (jpeg_saved_marker_ptr m = cinfo_.marker_list; m != nullptr; m = m->next) {
            if (m->marker == JPEG_APP0 + 1 && metadata_.exif.empty() && startsWith(m, kExifHeader, kExifHeaderSize))
                metadata_.exif.assign(m->data + kExifHeaderSize, m->data + m->data_length);
            else if (m->marker == JPEG_APP0 + 1 && metadata_.xmp.empty() && startsWith(m, kXmpHeader, kXmpHeaderSize))
                metadata_.xmp.assign(reinterpret_cast<const char*>(m->data) + kXmpHeaderSize,
                                     m->data_length - kXmpHeaderSize);
            else if (m->marker == JPEG_APP0 + 13 && metadata_.iptc.empty()
                     && startsWith(m, kPhotoshopHeader, sizeof kPhotoshopHeader - 1))
                metadata_.iptc.assign(m->data, m->data + m->data_length);
        }
        if (icc_ != nullptr)
            metadata_.icc.assign(icc_, icc_ + iccSize_);
        const jpeg_component_info* c = cinfo_.comp_info;
        if (cinfo_.num_components == 3 && cinfo_.jpeg_color_space == JCS_YCbCr && c[1].h_samp_factor == 1
            && c[1].v_samp_factor == 1 && c[2].h_samp_factor == 1 && c[2].v_samp_factor == 1)
            sampling_ = {c[0].h_samp_factor, c[0].v_samp_factor};
    }

    bool readProtected(TColor32* pixels, std::int32_t rows)
    {
        if (setjmp(errors_.jump))
            return false;
        const std::size_t width = cinfo_.output_width;
        const bool inPlace = cinfo_.out_color_space == JCS_EXT_BGRA;
        JSAMPROW pointers[kMaxRowsPerCall];
        for (std::int32_t done = 0; done < rows;) {
            const int wanted = std::min(kMaxRowsPerCall, int(rows - done));
            TColor32* first = pixels + std::size_t(done) * width;
            for (int r = 0; r < wanted; ++r)
                pointers[r] = inPlace ? reinterpret_cast<JSAMPROW>(first + std::size_t(r) * width)
                                      : scratch_.data() + std::size_t(r) * width * 4;
            const int got = int(jpeg_read_scanlines(&cinfo_, pointers, JDIMENSION(wanted)));
            if (got == 0) // a truncated file is completed by the library; this does not happen
                leaveJpeg(reinterpret_cast<j_common_ptr>(&cinfo_), JERR_INPUT_EOF);
            if (!inPlace)
                storeCmyk(got, first);
            done += got;
        }
        return true;
    }

    // As the window shows a CMYK photo: each channel times K / 255.
    void storeCmyk(int rows, TColor32* out) const
    {
        const std::uint8_t* s = scratch_.data();
        for (std::size_t i = 0, n = std::size_t(cinfo_.output_width) * std::size_t(rows); i < n; ++i) {
            const unsigned c = s[4 * i], m = s[4 * i + 1], y = s[4 * i + 2], k = s[4 * i + 3];
            out[i] = couleur32(255, std::uint8_t(c * k / 255), std::uint8_t(m * k / 255), std::uint8_t(y * k / 255));
        }
    }

    jpeg_decompress_struct cinfo_{};
    JpegErrorManager errors_{};
    jpeg_progress_mgr progress_{};
    bool created_ = false;
    JOCTET* icc_ = nullptr;
    unsigned int iccSize_ = 0;
    std::vector<std::uint8_t> scratch_;
};

// The compressor's bytes go to the OutputFile a buffer at a time.
struct Destination {
    jpeg_destination_mgr pub;
    OutputFile* out;
    std::vector<JOCTET> buffer;
    std::string failure; // OutputFile's message when a write failed
};

constexpr std::size_t kDestinationBuffer = 1 << 16;

bool deliver(Destination& d, std::size_t size) noexcept
{
    try {
        d.out->write(d.buffer.data(), size);
        return true;
    } catch (const std::exception& error) {
        d.failure = error.what();
        return false;
    }
}

void initDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->pub.next_output_byte = d->buffer.data();
    d->pub.free_in_buffer = d->buffer.size();
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    if (!deliver(*d, d->buffer.size()))
        leaveJpeg(reinterpret_cast<j_common_ptr>(cinfo), kWriteFailedCode);
    initDestination(cinfo);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    if (!deliver(*d, d->buffer.size() - d->pub.free_in_buffer))
        leaveJpeg(reinterpret_cast<j_common_ptr>(cinfo), kWriteFailedCode);
}

struct Marker {
    int code;
    std::vector<std::uint8_t> data;
};

std::vector<Marker> markersOf(const PhotoMetadata* metadata)
{
    std::vector<Marker> markers;
    if (metadata == nullptr)
        return markers;
    const auto add = [&](int code, const char* header, std::size_t headerSize, const std::uint8_t* data,
                         std::size_t size) {
        if (size == 0 || headerSize + size > kLargestMarker)
            return; // an extended XMP or an EXIF beyond one segment is left out
        Marker marker{code, std::vector<std::uint8_t>(header, header + headerSize)};
        marker.data.insert(marker.data.end(), data, data + size);
        markers.push_back(std::move(marker));
    };
    add(JPEG_APP0 + 1, kExifHeader, kExifHeaderSize, metadata->exif.data(), metadata->exif.size());
    add(JPEG_APP0 + 1, kXmpHeader, kXmpHeaderSize, reinterpret_cast<const std::uint8_t*>(metadata->xmp.data()),
        metadata->xmp.size());
    add(JPEG_APP0 + 13, "", 0, metadata->iptc.data(), metadata->iptc.size());
    return markers;
}

class JpegBandWriter final : public BandWriter {
public:
    JpegBandWriter(OutputFile& out, const WriterSetup& setup) : markers_(markersOf(setup.metadata))
    {
        installJpegErrors(reinterpret_cast<j_common_ptr>(&cinfo_), errors_);
        if (setjmp(errors_.jump))
            throwJpegError(errors_.code);
        jpeg_create_compress(&cinfo_);
        created_ = true;
        destination_.out = &out;
        destination_.buffer.resize(kDestinationBuffer);
        destination_.pub.init_destination = initDestination;
        destination_.pub.empty_output_buffer = emptyOutputBuffer;
        destination_.pub.term_destination = termDestination;
        cinfo_.dest = &destination_.pub;
        if (setup.metadata != nullptr)
            icc_ = &setup.metadata->icc;
    }

    void start(const WriterSetup& setup)
    {
        if (!startProtected(setup))
            fail();
    }

    ~JpegBandWriter() override
    {
        if (created_)
            jpeg_destroy_compress(&cinfo_);
    }

    void write(const TColor32* pixels, std::int32_t rows) override
    {
        pointers_.resize(std::size_t(rows));
        for (std::int32_t r = 0; r < rows; ++r)
            pointers_[std::size_t(r)] =
                const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(pixels + std::size_t(r) * cinfo_.image_width));
        if (!writeProtected(rows))
            fail();
    }

    void finish() override
    {
        if (!finishProtected())
            fail();
    }

private:
    [[noreturn]] void fail() const
    {
        if (errors_.code == kWriteFailedCode)
            throw Error(destination_.failure);
        throwJpegError(errors_.code);
    }

    bool startProtected(const WriterSetup& setup)
    {
        if (setjmp(errors_.jump))
            return false;
        cinfo_.image_width = JDIMENSION(setup.width);
        cinfo_.image_height = JDIMENSION(setup.height);
        cinfo_.input_components = 4;
        cinfo_.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&cinfo_);
        jpeg_set_quality(&cinfo_, setup.quality, TRUE);
        cinfo_.dct_method = JDCT_ISLOW;
        cinfo_.comp_info[0].h_samp_factor = setup.sampling.horizontal;
        cinfo_.comp_info[0].v_samp_factor = setup.sampling.vertical;
        for (int c = 1; c < 3; ++c)
            cinfo_.comp_info[c].h_samp_factor = cinfo_.comp_info[c].v_samp_factor = 1;
        // EXIF's segment comes first after the start of the file.
        if (setup.metadata != nullptr && !setup.metadata->exif.empty())
            cinfo_.write_JFIF_header = FALSE;
        jpeg_start_compress(&cinfo_, TRUE);
        for (const Marker& marker : markers_)
            jpeg_write_marker(&cinfo_, marker.code, marker.data.data(), unsigned(marker.data.size()));
        if (icc_ != nullptr && !icc_->empty())
            jpeg_write_icc_profile(&cinfo_, icc_->data(), unsigned(icc_->size()));
        return true;
    }

    bool writeProtected(std::int32_t rows)
    {
        if (setjmp(errors_.jump))
            return false;
        jpeg_write_scanlines(&cinfo_, pointers_.data(), JDIMENSION(rows));
        return true;
    }

    bool finishProtected()
    {
        if (setjmp(errors_.jump))
            return false;
        jpeg_finish_compress(&cinfo_);
        return true;
    }

    jpeg_compress_struct cinfo_{};
    JpegErrorManager errors_{};
    Destination destination_{};
    bool created_ = false;
    std::vector<Marker> markers_;
    const std::vector<std::uint8_t>* icc_ = nullptr;
    std::vector<JSAMPROW> pointers_;
};

} // namespace

std::unique_ptr<BandReader> openJpegReader(std::FILE* file)
{
    auto reader = std::make_unique<JpegBandReader>();
    reader->start(file);
    return reader;
}

std::unique_ptr<BandWriter> openJpegWriter(OutputFile& out, const WriterSetup& setup)
{
    auto writer = std::make_unique<JpegBandWriter>(out, setup);
    writer->start(setup);
    return writer;
}

} // namespace teintelle
