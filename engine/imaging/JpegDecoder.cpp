#include "imaging/JpegDecoder.h"

#include "common/Error.h"
#include "imaging/JpegErrors.h"

#include <algorithm>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace teintelle {

namespace {

constexpr int kRowsPerRead = 16;

} // namespace

struct JpegDecoder::State {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager errors{};
    jpeg_progress_mgr progress{};
    Scale scale;
};

namespace {

void setDecodingParameters(j_decompress_ptr cinfo, JpegDecoder::Scale scale)
{
    const bool quarter = scale == JpegDecoder::Scale::Quarter;
    cinfo->scale_num = 1;
    cinfo->scale_denom = quarter ? 4 : 1;
    cinfo->dct_method = quarter ? JDCT_IFAST : JDCT_FLOAT;
    cinfo->do_fancy_upsampling = TRUE;
    cinfo->do_block_smoothing = TRUE;
    cinfo->buffered_image = FALSE;
    if (quarter) {
        cinfo->dither_mode = JDITHER_ORDERED;
        cinfo->two_pass_quantize = FALSE;
    }
    // Grayscale output is quantised to 236 levels (always in one pass: the
    // library's two-pass quantiser works on three components only).
    cinfo->quantize_colors = cinfo->out_color_space == JCS_GRAYSCALE ? TRUE : FALSE;
    cinfo->desired_number_of_colors = 236;
    // The default RGB output, delivered in the surface's own byte order
    // (blue, green, red, alpha 255): the same values, written in place.
    if (cinfo->out_color_space == JCS_RGB)
        cinfo->out_color_space = JCS_EXT_BGRA;
    // Two or more than four components: ask for RGB and let the library
    // refuse the conversion with its own error when decoding starts.
    else if (cinfo->out_color_space == JCS_UNKNOWN)
        cinfo->out_color_space = JCS_RGB;
}

// The protected steps. Nothing between setjmp and the library calls owns a
// resource: a longjmp out of the library lands here and returns false.
bool readHeaderProtected(JpegDecoder::State& s, const std::uint8_t* data, std::size_t size,
                         std::FILE* file)
{
    if (setjmp(s.errors.jump))
        return false;
    if (file != nullptr)
        jpeg_stdio_src(&s.cinfo, file);
    else
        jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&s.cinfo, TRUE);
    setDecodingParameters(&s.cinfo, s.scale);
    jpeg_calc_output_dimensions(&s.cinfo);
    return true;
}

void storeRows(j_decompress_ptr cinfo, const JSAMPLE* scratch, int rows, TColor32* out)
{
    const JDIMENSION width = cinfo->output_width;
    if (cinfo->out_color_space == JCS_GRAYSCALE) {
        const JSAMPLE* levels = cinfo->colormap[0];
        for (std::size_t i = 0, n = std::size_t(width) * rows; i < n; ++i) {
            const TColor32 v = levels[scratch[i]];
            out[i] = 0xFF000000u | (v << 16) | (v << 8) | v;
        }
    } else { // CMYK, four bytes per pixel as the library delivers them
        for (std::size_t i = 0, n = std::size_t(width) * rows; i < n; ++i) {
            const unsigned c = scratch[4 * i], m = scratch[4 * i + 1], y = scratch[4 * i + 2],
                           k = scratch[4 * i + 3];
            out[i] = couleur32(255, std::uint8_t(c * k / 255), std::uint8_t(m * k / 255),
                               std::uint8_t(y * k / 255));
        }
    }
}

bool decodeProtected(JpegDecoder::State& s, TColor32* pixels, JSAMPLE* scratch)
{
    j_decompress_ptr cinfo = &s.cinfo;
    if (setjmp(s.errors.jump))
        return false;
    jpeg_start_decompress(cinfo);
    const std::size_t width = cinfo->output_width;
    const bool inPlace = cinfo->out_color_space == JCS_EXT_BGRA;
    const std::size_t scratchRow = width * std::size_t(cinfo->output_components);
    JSAMPROW rows[kRowsPerRead];
    while (cinfo->output_scanline < cinfo->output_height) {
        TColor32* first = pixels + std::size_t(cinfo->output_scanline) * width;
        const int wanted = int(std::min<JDIMENSION>(kRowsPerRead, cinfo->output_height - cinfo->output_scanline));
        for (int r = 0; r < wanted; ++r)
            rows[r] = inPlace ? reinterpret_cast<JSAMPROW>(first + r * width) : scratch + r * scratchRow;
        const int got = int(jpeg_read_scanlines(cinfo, rows, JDIMENSION(wanted)));
        if (!inPlace)
            storeRows(cinfo, scratch, got, first);
    }
    // The trailing markers cannot change the picture: the decode is over.
    jpeg_abort_decompress(cinfo);
    return true;
}

[[noreturn]] void throwJpegError(int code) { throw Error(jpegErrorMessage(code)); }

} // namespace

JpegDecoder::JpegDecoder(Scale scale) : state_(std::make_unique<State>())
{
    State& s = *state_;
    s.scale = scale;
    installJpegErrors(reinterpret_cast<j_common_ptr>(&s.cinfo), s.errors);
    if (setjmp(s.errors.jump))
        throwJpegError(s.errors.code); // creation failed: nothing to release
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
    s.progress.progress_monitor = limitJpegScans;
    s.cinfo.progress = &s.progress;
}

JpegDecoder::~JpegDecoder() { jpeg_destroy_decompress(&state_->cinfo); }

void JpegDecoder::readHeader(const std::uint8_t* data, std::size_t size)
{
    if (!readHeaderProtected(*state_, data, size, nullptr))
        throwJpegError(state_->errors.code);
}

void JpegDecoder::readHeader(std::FILE* file)
{
    if (!readHeaderProtected(*state_, nullptr, 0, file))
        throwJpegError(state_->errors.code);
}

std::int32_t JpegDecoder::outputWidth() const { return std::int32_t(state_->cinfo.output_width); }
std::int32_t JpegDecoder::outputHeight() const { return std::int32_t(state_->cinfo.output_height); }

void JpegDecoder::decodeInto(TBitmap32& surface)
{
    const NotifyOnExit notify(surface);

    surface.SetSize(outputWidth(), outputHeight());
    if (surface.Empty())
        return;
    // The picture is filled white before it is drawn; a whole decode writes
    // every pixel and a failed one whitens the surface below, so the fill is
    // left to the failure.
    TColor32* const pixels = surface.Bits();
    const std::size_t count = std::size_t(surface.Width()) * std::size_t(surface.Height());

    // Rows that are not written in place pass through this buffer; it is
    // sized for the widest case (four bytes per pixel).
    std::vector<JSAMPLE> scratch;
    if (state_->cinfo.out_color_space != JCS_EXT_BGRA)
        scratch.resize(std::size_t(surface.Width()) * 4 * kRowsPerRead);

    if (!decodeProtected(*state_, pixels, scratch.data())) {
        // The picture is drawn only once whole: a failed decode shows nothing.
        std::fill(pixels, pixels + count, 0xFFFFFFFFu);
        throwJpegError(state_->errors.code);
    }
}

} // namespace teintelle
