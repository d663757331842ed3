#include "export/PhotoExport.h"

#include "common/Error.h"
#include "common/OutputFile.h"
#include "export/ExportCodecs.h"
#include "imaging/BmpDirect.h"
#include "imaging/PhotoFile.h"
#include "imaging/PhotoLoading.h"
#include "lut/AppliqueLut.h"
#include "lut/LutKernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace teintelle {

namespace {

// Rows that fit the caches of both cores on the widest photos (a band of
// 6000 pixels is 1.5 MiB in and as much out), and are few enough that the
// memory of a baseline export stays flat whatever the photo's height.
constexpr std::int32_t kBandRows = 64;

// A whole decoded picture, handed out band by band.
class SurfaceReader final : public BandReader {
public:
    explicit SurfaceReader(PhotoMetadata metadata) { metadata_ = std::move(metadata); }
    TBitmap32& surface() { return surface_; }
    void sized()
    {
        width_ = surface_.Width();
        height_ = surface_.Height();
    }
    void read(TColor32* pixels, std::int32_t rows) override
    {
        const std::size_t count = std::size_t(rows) * std::size_t(width_);
        std::memcpy(pixels, surface_.Bits() + next_, count * sizeof(TColor32));
        next_ += count;
    }

private:
    TBitmap32 surface_;
    std::size_t next_ = 0;
};

bool startsAsJpeg(const std::uint8_t* header, std::size_t size)
{
    return size >= 3 && header[0] == 0xFF && header[1] == 0xD8 && header[2] == 0xFF;
}

// The reader of the photo: its content says JPEG or BMP, its extension the rest.
std::unique_ptr<BandReader> openReader(const std::string& photo, PhotoFileHandle& file, const PhotoDecoders& decoders)
{
    file = openPhotoFile(photo);
    std::uint8_t header[kBmpHeaderSize] = {};
    const std::size_t got = std::fread(header, 1, sizeof header, file.get());
    // A file named as a JPEG goes to the JPEG decoder whatever it holds, so
    // that it fails with the decoder's message, as in the window.
    const std::string named = lowerCaseExtension(photo);
    if (startsAsJpeg(header, got) || named == "jpg" || named == "jpeg") {
        std::rewind(file.get());
        return openJpegReader(file.get());
    }
    if (got >= 2 && startsAsBmp(header) && got == sizeof header && isDirectBmp(header)) {
        auto reader = std::make_unique<SurfaceReader>(PhotoMetadata{});
        readDirectBmp(file.get(), header, reader->surface());
        reader->sized();
        return reader;
    }
    file.reset(); // the platform's decoders open the file themselves
    const std::string extension = got >= 2 && startsAsBmp(header) ? "bmp" : photoExtension(photo);
    const PictureDecoder* decoder = decoderForExtension(decoders, extension, PhotoReading::Export);
    if (decoder == nullptr)
        throw Error("Extension de fichier image inconnue (." + extension + ")");
    if (!*decoder)
        throw Error("Aucun décodeur d'image installé pour l'extension ." + extension);
    auto reader = std::make_unique<SurfaceReader>(readMetadata(photo));
    Assign(reader->surface(), (*decoder)(photo));
    reader->sized();
    return reader;
}

std::unique_ptr<BandWriter> openWriter(OutputFile& out, ExportFormat format, const WriterSetup& setup)
{
    switch (format) {
    case ExportFormat::Png:
        return openPngWriter(out, setup);
    case ExportFormat::Tiff:
        return openTiffWriter(out, setup);
    case ExportFormat::Jpeg:
        break;
    }
    return openJpegWriter(out, setup);
}

// o + (g - o) x S rounded half up, for every difference g - o from -255 to 255.
class Strength {
public:
    explicit Strength(double s)
    {
        for (std::size_t i = 0; i < steps_.size(); ++i) {
            const int difference = int(i) - 255;
            steps_[i] = std::int16_t(std::floor(double(difference) * s + 0.5));
        }
    }
    void blend(const TColor32* original, TColor32* graded, std::size_t count) const
    {
        for (std::size_t i = 0; i < count; ++i) {
            const TColor32 o = original[i], g = graded[i];
            TColor32 out = o & 0xFF000000u;
            for (int shift = 0; shift <= 16; shift += 8) {
                const int oc = int((o >> shift) & 0xFF), gc = int((g >> shift) & 0xFF);
                const int step = gc - oc + 255; // 0 to 510
                out |= TColor32(oc + steps_[std::size_t(step)]) << shift;
            }
            graded[i] = out;
        }
    }

private:
    std::array<std::int16_t, 511> steps_{};
};

struct Band {
    std::vector<TColor32> original, graded;
    const TColor32* result = nullptr;
    std::int32_t rows = 0;
    std::size_t mapped = 0; // pixels mapped by the decoding side
};

// Bands made on a second thread and written on this one, a few ahead. A
// failure on either side stops both; the first one is rethrown here.
template <typename Produce, typename Consume>
void runOverlapped(std::int32_t height, std::int32_t band, Produce& produce, Consume& consume)
{
    constexpr std::size_t kSlots = 3;
    std::array<Band, kSlots> slots;
    std::mutex lock;
    std::condition_variable changed;
    std::size_t made = 0, written = 0; // bands, counted from the first
    bool stop = false;
    std::exception_ptr producerFailure;
    const std::size_t total = std::size_t((height + band - 1) / band);

    std::thread producer([&] {
        try {
            for (std::size_t i = 0; i < total; ++i) {
                {
                    std::unique_lock<std::mutex> hold(lock);
                    changed.wait(hold, [&] { return stop || i - written < kSlots; });
                    if (stop)
                        return;
                }
                produce(slots[i % kSlots], std::int32_t(i) * band);
                const std::lock_guard<std::mutex> hold(lock);
                ++made;
                changed.notify_all();
            }
        } catch (...) {
            const std::lock_guard<std::mutex> hold(lock);
            producerFailure = std::current_exception();
            stop = true;
            changed.notify_all();
        }
    });
    const auto finish = [&] {
        {
            const std::lock_guard<std::mutex> hold(lock);
            stop = true;
            changed.notify_all();
        }
        producer.join();
    };
    try {
        for (std::size_t i = 0; i < total; ++i) {
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [&] { return producerFailure != nullptr || made > i; });
                if (made <= i)
                    break;
            }
            consume(slots[i % kSlots], std::int32_t(i) * band);
            const std::lock_guard<std::mutex> hold(lock);
            ++written;
            changed.notify_all();
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    if (producerFailure)
        std::rethrow_exception(producerFailure);
}

void checkOutput(const std::string& photo, const std::string& output, bool overwrite)
{
    struct stat out {};
    if (::stat(output.c_str(), &out) != 0)
        return;
    struct stat in {};
    if (::stat(photo.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        throw Error("La photo ne peut pas être écrite sur elle-même (\"" + output + "\")");
    if (!overwrite)
        throw Error("Le fichier \"" + output + "\" existe déjà");
}

void checkOptions(const ExportOptions& options, const LutTable& table, std::int32_t taille)
{
    if (!(options.strength >= 0.0 && options.strength <= 1.0))
        throw Error("Intensité hors de 0 à 1");
    if (options.quality < 1 || options.quality > 100)
        throw Error("Qualité JPEG hors de 1 à 100");
    if (taille < 1 || table.taille() != taille)
        throw Error("Aucun effet chargé");
}

void run(const std::string& photo, const std::string& output, const LutTable& table, std::int32_t taille,
         const ExportOptions& options, const PhotoDecoders& decoders)
{
    checkOptions(options, table, taille);
    checkOutput(photo, output, options.overwrite);
    PhotoFileHandle file;
    const std::unique_ptr<BandReader> reader = openReader(photo, file, decoders);
    const std::int32_t width = reader->width(), height = reader->height();
    if (width <= 0 || height <= 0)
        throw Error("La photo \"" + photo + "\" est vide");

    const float coef = coefForSize(taille);
    const LutKernel kernel(taille, coef);
    const auto* entries = reinterpret_cast<const std::uint8_t*>(table.data());
    const std::vector<std::uint64_t> paired = kernel.pairCorners(entries, std::size_t(width) * std::size_t(height));
    const Strength strength(options.strength);
    const bool grade = options.strength > 0.0, blend = grade && options.strength < 1.0;

    const std::int32_t band = options.bandRows > 0 ? options.bandRows : kBandRows;
    const std::size_t bandPixels = std::size_t(width) * std::size_t(std::min(band, height));
    // One band from the photo, mapped: the graded pixels, or the original
    // ones at strength 0.
    // Maps the band's pixels from `from` to `to`, then blends them.
    const auto map = [&](Band& b, std::size_t from, std::size_t to) {
        if (!grade || from >= to)
            return;
        kernel.map(b.original.data() + from, b.graded.data() + from, to - from, entries,
                   paired.empty() ? nullptr : paired.data());
        if (blend)
            strength.blend(b.original.data() + from, b.graded.data() + from, to - from);
    };
    // Overlapped, the decoding thread maps the first part of each band and
    // the encoding thread the rest, so that both have as much to do: on a
    // 24 MP photo decoding takes about 0.20 s, encoding 0.17 s and mapping
    // 0.19 s of one core (no AVX-512), so the decoder maps two fifths.
    const double decoderShare = options.overlap ? 0.4 : 1.0;
    const auto produce = [&](Band& b, std::int32_t y) {
        b.rows = std::min(band, height - y);
        const std::size_t count = std::size_t(b.rows) * std::size_t(width);
        b.original.resize(bandPixels);
        reader->read(b.original.data(), b.rows);
        if (grade)
            b.graded.resize(bandPixels);
        b.mapped = std::size_t(double(count) * decoderShare);
        map(b, 0, b.mapped);
        b.result = grade ? b.graded.data() : b.original.data();
    };

    OutputFile out(output);
    WriterSetup setup;
    setup.path = output;
    setup.width = width;
    setup.height = height;
    setup.quality = options.quality;
    setup.sampling = reader->sampling();
    setup.metadata = &reader->metadata();
    const std::unique_ptr<BandWriter> writer = openWriter(out, options.format, setup);
    const auto consume = [&](Band& b, std::int32_t y) {
        map(b, b.mapped, std::size_t(b.rows) * std::size_t(width));
        writer->write(b.result, b.rows);
        if (options.progress)
            options.progress(double(y + b.rows) / double(height));
    };
    if (options.overlap)
        runOverlapped(height, band, produce, consume);
    else {
        Band b;
        for (std::int32_t y = 0; y < height; y += b.rows) {
            produce(b, y);
            consume(b, y);
        }
    }
    writer->finish();
    out.commit();
}

} // namespace

std::optional<ExportFormat> exportFormatForName(const std::string& path)
{
    const std::string extension = lowerCaseExtension(path);
    if (extension == "jpg" || extension == "jpeg")
        return ExportFormat::Jpeg;
    if (extension == "png")
        return ExportFormat::Png;
    if (extension == "tif" || extension == "tiff")
        return ExportFormat::Tiff;
    return std::nullopt;
}

const char* exportExtension(ExportFormat format)
{
    switch (format) {
    case ExportFormat::Png:
        return "png";
    case ExportFormat::Tiff:
        return "tif";
    case ExportFormat::Jpeg:
        break;
    }
    return "jpg";
}

std::string exportName(const std::string& photo, const std::string& effect, ExportFormat format)
{
    const auto stem = [](const std::string& path) {
        const std::size_t slash = path.find_last_of('/');
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::size_t dot = name.find_last_of('.');
        return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    };
    return stem(photo) + "-" + stem(effect) + "." + exportExtension(format);
}

void exportPhoto(const std::string& photo, const std::string& output, const LutTable& table,
                 std::int32_t tailleTableLut, const ExportOptions& options, const PhotoDecoders& decoders)
{
    try {
        run(photo, output, table, tailleTableLut, options, decoders);
    } catch (const std::bad_alloc&) {
        throw Error(kOutOfMemory);
    }
}

} // namespace teintelle
