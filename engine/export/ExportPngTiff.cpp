// The export's PNG writer (libpng) and 8-bit TIFF writer (libtiff), both
// row by row, RGB without alpha.
#include "export/ExportCodecs.h"

#include "common/Error.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <png.h>
#include <tiffio.h>
#include <unistd.h>

namespace teintelle {

namespace {

[[noreturn]] void throwWriteError(const std::string& path, const std::string& reason)
{
    throw Error("Impossible d'écrire le fichier \"" + path + "\". " + reason);
}

// ---- PNG ----------------------------------------------------------------

// libpng leaves its errors through longjmp to the setjmp on png_jmpbuf in
// the protected steps below, whose frames own no C++ object.
struct PngSink {
    OutputFile* out;
    std::string failure; // OutputFile's message, or libpng's
};

bool deliver(PngSink& sink, const void* data, std::size_t size) noexcept
{
    try {
        sink.out->write(data, size);
        return true;
    } catch (const std::exception& error) {
        sink.failure = error.what();
        return false;
    }
}

void pngWrite(png_structp png, png_bytep data, png_size_t size)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (!deliver(*sink, data, size))
        png_error(png, "write");
}

void pngFlush(png_structp) {}

void pngError(png_structp png, png_const_charp message)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (sink != nullptr && sink->failure.empty())
        sink->failure = std::string("Erreur PNG : ") + message;
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

class PngBandWriter final : public BandWriter {
public:
    PngBandWriter(OutputFile& out, const WriterSetup& setup) : path_(setup.path)
    {
        sink_.out = &out;
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
        if (png_ != nullptr)
            info_ = png_create_info_struct(png_);
        if (png_ == nullptr || info_ == nullptr)
            throw Error(kOutOfMemory);
        png_set_write_fn(png_, &sink_, pngWrite, pngFlush);
        if (setup.metadata != nullptr)
            metadata_ = *setup.metadata;
        xmpKey_ = "XML:com.adobe.xmp";
    }

    ~PngBandWriter() override { png_destroy_write_struct(&png_, &info_); }

    void start(const WriterSetup& setup)
    {
        if (!startProtected(setup))
            fail();
    }

    void write(const TColor32* pixels, std::int32_t rows) override
    {
        if (!writeProtected(pixels, rows, width_))
            fail();
    }

    void finish() override
    {
        if (!finishProtected())
            fail();
    }

private:
    [[noreturn]] void fail() const { throw Error(sink_.failure); }

    bool startProtected(const WriterSetup& setup)
    {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        width_ = setup.width;
        png_set_IHDR(png_, info_, png_uint_32(setup.width), png_uint_32(setup.height), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        // A profile libpng finds wrong is left out with a warning, not an error.
        png_set_benign_errors(png_, 1);
        if (!metadata_.icc.empty())
            png_set_iCCP(png_, info_, "ICC profile", PNG_COMPRESSION_TYPE_BASE, metadata_.icc.data(),
                         png_uint_32(metadata_.icc.size()));
        if (!metadata_.exif.empty())
            png_set_eXIf_1(png_, info_, png_uint_32(metadata_.exif.size()), metadata_.exif.data());
        if (!metadata_.xmp.empty()) {
            xmp_.compression = PNG_ITXT_COMPRESSION_NONE;
            xmp_.key = xmpKey_.data();
            xmp_.text = metadata_.xmp.data();
            xmp_.itxt_length = metadata_.xmp.size();
            png_set_text(png_, info_, &xmp_, 1);
        }
        // Photos deflate well enough at a middle level; the highest costs
        // several times the time for a few per cent.
        png_set_compression_level(png_, 3);
        png_write_info(png_, info_);
        png_set_bgr(png_);
        png_set_filler(png_, 0, PNG_FILLER_AFTER); // the surface's alpha byte is not written
        return true;
    }

    bool writeProtected(const TColor32* pixels, std::int32_t rows, std::int32_t width)
    {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        for (std::int32_t r = 0; r < rows; ++r)
            png_write_row(png_, reinterpret_cast<png_const_bytep>(pixels + std::size_t(r) * std::size_t(width)));
        return true;
    }

    bool finishProtected()
    {
        if (setjmp(png_jmpbuf(png_)))
            return false;
        png_write_end(png_, nullptr); // the chunks were all written before the pixels
        return true;
    }

    std::string path_;
    PngSink sink_{};
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    std::int32_t width_ = 0;
    PhotoMetadata metadata_;
    std::string xmpKey_;
    png_text xmp_{};
};

// ---- TIFF ---------------------------------------------------------------

// libtiff reports through process-wide handlers: they keep the last message
// of the calling thread.
thread_local std::string tiffMessage;

void tiffError(const char*, const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    tiffMessage = text;
}

void tiffWarning(const char*, const char*, va_list) {}

void installTiffHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(tiffError);
        TIFFSetWarningHandler(tiffWarning);
    });
}

class TiffBandWriter final : public BandWriter {
public:
    TiffBandWriter(OutputFile& out, const WriterSetup& setup) : path_(setup.path), width_(setup.width)
    {
        installTiffHandlers();
        tiffMessage.clear();
        errno = 0;
        // libtiff seeks back to write its directory: it gets a descriptor of
        // the temporary of its own, which it closes.
        const int descriptor = ::dup(out.descriptor());
        if (descriptor < 0)
            throwWriteError(path_, std::strerror(errno));
        tiff_ = TIFFFdOpen(descriptor, path_.c_str(), "w");
        if (tiff_ == nullptr) {
            ::close(descriptor);
            fail();
        }
        TIFFSetField(tiff_, TIFFTAG_IMAGEWIDTH, std::uint32_t(setup.width));
        TIFFSetField(tiff_, TIFFTAG_IMAGELENGTH, std::uint32_t(setup.height));
        TIFFSetField(tiff_, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff_, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff_, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        TIFFSetField(tiff_, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tiff_, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tiff_, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff_, 0));
        if (setup.metadata != nullptr && !setup.metadata->icc.empty())
            TIFFSetField(tiff_, TIFFTAG_ICCPROFILE, std::uint32_t(setup.metadata->icc.size()),
                         setup.metadata->icc.data());
        if (setup.metadata != nullptr && !setup.metadata->xmp.empty())
            TIFFSetField(tiff_, TIFFTAG_XMLPACKET, std::uint32_t(setup.metadata->xmp.size()),
                         setup.metadata->xmp.data());
        row_.resize(std::size_t(setup.width) * 3);
    }

    ~TiffBandWriter() override
    {
        if (tiff_ != nullptr)
            TIFFClose(tiff_);
    }

    void write(const TColor32* pixels, std::int32_t rows) override
    {
        errno = 0;
        for (std::int32_t r = 0; r < rows; ++r, ++written_) {
            const TColor32* in = pixels + std::size_t(r) * std::size_t(width_);
            for (std::int32_t x = 0; x < width_; ++x) {
                row_[std::size_t(x) * 3] = std::uint8_t(in[x] >> 16);
                row_[std::size_t(x) * 3 + 1] = std::uint8_t(in[x] >> 8);
                row_[std::size_t(x) * 3 + 2] = std::uint8_t(in[x]);
            }
            if (TIFFWriteScanline(tiff_, row_.data(), std::uint32_t(written_), 0) < 0)
                fail();
        }
    }

    void finish() override
    {
        errno = 0;
        const bool written = TIFFWriteDirectory(tiff_) == 1 && TIFFFlush(tiff_) == 1;
        TIFF* tiff = tiff_;
        tiff_ = nullptr;
        TIFFClose(tiff);
        if (!written)
            fail();
    }

private:
    [[noreturn]] void fail() const
    {
        throwWriteError(path_, errno != 0 ? std::strerror(errno) : tiffMessage);
    }

    std::string path_;
    std::int32_t width_;
    TIFF* tiff_ = nullptr;
    std::int32_t written_ = 0;
    std::vector<std::uint8_t> row_;
};

} // namespace

std::unique_ptr<BandWriter> openPngWriter(OutputFile& out, const WriterSetup& setup)
{
    auto writer = std::make_unique<PngBandWriter>(out, setup);
    writer->start(setup);
    return writer;
}

std::unique_ptr<BandWriter> openTiffWriter(OutputFile& out, const WriterSetup& setup)
{
    return std::make_unique<TiffBandWriter>(out, setup);
}

} // namespace teintelle
