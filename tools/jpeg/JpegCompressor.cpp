#include "jpeg/JpegCompressor.h"

#include <stdexcept>

namespace teintelle::jpeg {

namespace {

[[noreturn]] void compressorError(j_common_ptr info)
{
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    throw std::runtime_error(message);
}

// The compressed bytes straight into a vector, which keeps them whatever
// throws: libjpeg's memory destination would leave its buffer to be freed
// by hand, and only it knows the buffer after it has grown.
class VectorDestination {
public:
    explicit VectorDestination(std::vector<std::uint8_t>& bytes) : bytes_(bytes)
    {
        manager_.init_destination = [](j_compress_ptr info) { self(info).grow(); };
        manager_.empty_output_buffer = [](j_compress_ptr info) -> boolean {
            self(info).grow();
            return TRUE;
        };
        manager_.term_destination = [](j_compress_ptr info) { self(info).finish(); };
    }

    void attach(jpeg_compress_struct& info)
    {
        info.dest = &manager_;
        info.client_data = this;
    }

private:
    static constexpr std::size_t kChunk = std::size_t(64) * 1024;

    static VectorDestination& self(j_compress_ptr info) { return *static_cast<VectorDestination*>(info->client_data); }

    // Called when the space given is full (or at the start, when there is none).
    void grow()
    {
        const std::size_t used = bytes_.size();
        bytes_.resize(used + kChunk);
        manager_.next_output_byte = bytes_.data() + used;
        manager_.free_in_buffer = kChunk;
    }

    void finish() { bytes_.resize(bytes_.size() - manager_.free_in_buffer); }

    std::vector<std::uint8_t>& bytes_;
    jpeg_destination_mgr manager_{};
};

// The compressor's state, released however the compression ends.
class Compressor {
public:
    Compressor()
    {
        info_.err = jpeg_std_error(&errors_);
        errors_.error_exit = compressorError;
        jpeg_create_compress(&info_);
    }
    ~Compressor() { jpeg_destroy_compress(&info_); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    jpeg_compress_struct& info() { return info_; }

private:
    jpeg_error_mgr errors_{};
    jpeg_compress_struct info_{};
};

void applySettings(jpeg_compress_struct& info, const JpegSettings& settings)
{
    info.image_width = JDIMENSION(settings.width);
    info.image_height = JDIMENSION(settings.height);
    info.input_components = settings.components;
    info.in_color_space = settings.inColorSpace;
    jpeg_set_defaults(&info);
    // Before the sampling: choosing the colour space resets it.
    if (settings.fileColorSpace)
        jpeg_set_colorspace(&info, *settings.fileColorSpace);
    if (!settings.sampling.empty()) {
        if (int(settings.sampling.size()) != info.num_components)
            throw std::runtime_error("one sampling per component is needed");
        for (int c = 0; c < info.num_components; ++c) {
            info.comp_info[c].h_samp_factor = settings.sampling[std::size_t(c)].h;
            info.comp_info[c].v_samp_factor = settings.sampling[std::size_t(c)].v;
        }
    }
    jpeg_set_quality(&info, settings.quality, TRUE);
    info.dct_method = settings.dctMethod;
    if (!settings.scans.empty()) {
        info.scan_info = settings.scans.data();
        info.num_scans = int(settings.scans.size());
    } else if (settings.progressive) {
        jpeg_simple_progression(&info);
    }
}

void writeMarkers(jpeg_compress_struct& info, const JpegSettings& settings)
{
    for (const JpegMarker& marker : settings.markers)
        jpeg_write_marker(&info, marker.code, marker.data.data(), unsigned(marker.data.size()));
    if (!settings.icc.empty())
        jpeg_write_icc_profile(&info, settings.icc.data(), unsigned(settings.icc.size()));
}

} // namespace

std::vector<std::uint8_t> compressJpeg(const JpegSettings& settings, const JpegRowSource& rows)
{
    std::vector<std::uint8_t> bytes;
    VectorDestination destination(bytes);
    Compressor compressor;
    jpeg_compress_struct& info = compressor.info();
    destination.attach(info);
    applySettings(info, settings);
    jpeg_start_compress(&info, TRUE);
    writeMarkers(info, settings);
    while (info.next_scanline < info.image_height) {
        // libjpeg reads the row and never writes to it.
        JSAMPROW row = const_cast<JSAMPROW>(rows(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return bytes;
}

} // namespace teintelle::jpeg
