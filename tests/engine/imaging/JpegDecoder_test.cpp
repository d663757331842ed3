#include "imaging/PhotoLoading.h"

#include "common/Error.h"
#include "imaging/JpegDecoder.h"
#include "imaging/PhotoFixtures.h"

#include <gtest/gtest.h>

#include <set>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace teintelle;
using namespace teintelle::fixtures;

namespace {

// A plain decode with the library's default RGB output and the obvious
// conversions, written independently of the decoder under test.
struct Reference {
    int width = 0, height = 0;
    std::vector<TColor32> pixels;
};

void quietMessage(j_common_ptr, int) {}
[[noreturn]] void referenceError(j_common_ptr) { throw std::runtime_error("reference decode failed"); }

Reference referenceDecode(const std::vector<std::uint8_t>& bytes, bool quarter)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    errors.error_exit = referenceError;
    errors.emit_message = quietMessage;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = quarter ? 4 : 1;
    cinfo.dct_method = quarter ? JDCT_IFAST : JDCT_FLOAT;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.do_block_smoothing = TRUE;
    if (cinfo.out_color_space == JCS_GRAYSCALE) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 236;
        if (quarter) {
            cinfo.dither_mode = JDITHER_ORDERED;
            cinfo.two_pass_quantize = FALSE;
        }
    }
    jpeg_start_decompress(&cinfo);
    Reference ref;
    ref.width = int(cinfo.output_width);
    ref.height = int(cinfo.output_height);
    std::vector<JSAMPLE> row(std::size_t(ref.width) * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        for (int x = 0; x < ref.width; ++x) {
            const JSAMPLE* p = &row[std::size_t(x) * cinfo.output_components];
            unsigned r, g, b;
            if (cinfo.out_color_space == JCS_GRAYSCALE) {
                r = g = b = cinfo.colormap[0][p[0]];
            } else if (cinfo.out_color_space == JCS_CMYK) {
                r = p[0] * p[3] / 255;
                g = p[1] * p[3] / 255;
                b = p[2] * p[3] / 255;
            } else {
                r = p[0];
                g = p[1];
                b = p[2];
            }
            ref.pixels.push_back(0xFF000000u | (r << 16) | (g << 8) | b);
        }
    }
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return ref;
}

void expectSurfaceEquals(const TBitmap32& surface, const Reference& ref)
{
    ASSERT_EQ(surface.Width(), ref.width);
    ASSERT_EQ(surface.Height(), ref.height);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < ref.pixels.size(); ++i)
        differing += surface.Bits()[i] != ref.pixels[i];
    EXPECT_EQ(differing, 0u) << "pixels differing from the plain reference decode";
}

// A surface holding something recognisable, to see that a failure left it alone.
void fillMarker(TBitmap32& surface)
{
    surface.SetSize(3, 2);
    for (int i = 0; i < 6; ++i)
        surface.Bits()[i] = 0x12345600u + TColor32(i);
}

void expectMarker(const TBitmap32& surface)
{
    ASSERT_EQ(surface.Width(), 3);
    ASSERT_EQ(surface.Height(), 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(surface.Bits()[i], 0x12345600u + TColor32(i));
}

bool allWhite(const TBitmap32& surface)
{
    const TColor32* p = surface.Bits();
    return std::all_of(p, p + std::size_t(surface.Width()) * surface.Height(),
                       [](TColor32 c) { return c == 0xFFFFFFFFu; });
}

struct DecodeCase {
    const char* name;
    JpegSpec shape;
};

const DecodeCase kDecodeCases[] = {
    {"ycc420", {64, 48, JpegKind::Rgb420, false, 85}},
    {"ycc444", {64, 48, JpegKind::Rgb444, false, 85}},
    {"gray", {64, 48, JpegKind::Gray, false, 85}},
    {"cmyk", {40, 24, JpegKind::Cmyk, false, 90}},
    {"ycck", {40, 24, JpegKind::Ycck, false, 90}},
    {"progressive420", {64, 48, JpegKind::Rgb420, true, 85}},
    {"progressiveGray", {50, 30, JpegKind::Gray, true, 85}},
    {"oddSizes", {37, 13, JpegKind::Rgb420, false, 75}},
    {"onePixel", {1, 1, JpegKind::Rgb420, false, 75}},
    {"strip", {1, 2000, JpegKind::Rgb444, false, 75}},
};

} // namespace

TEST(ChargePhotoReduite, DecodesEveryKindAtAQuarterLikeThePlainDecode)
{
    TempFolder folder;
    for (const auto& c : kDecodeCases) {
        SCOPED_TRACE(c.name);
        const auto bytes = encodeJpeg(c.shape);
        const std::string path = folder.write(std::string(c.name) + ".jpg", bytes);
        TBitmap32 surface;
        EXPECT_EQ(ChargePhotoReduite(path, surface), 4);
        EXPECT_EQ(surface.Width(), (c.shape.width + 3) / 4);
        EXPECT_EQ(surface.Height(), (c.shape.height + 3) / 4);
        expectSurfaceEquals(surface, referenceDecode(bytes, true));
    }
}

TEST(LoadFromFile, DecodesEveryKindAtFullSizeLikeThePlainDecode)
{
    TempFolder folder;
    for (const auto& c : kDecodeCases) {
        SCOPED_TRACE(c.name);
        const auto bytes = encodeJpeg(c.shape);
        const std::string path = folder.write(std::string(c.name) + ".jpeg", bytes);
        TBitmap32 surface;
        LoadFromFile(path, surface, PhotoDecoders{});
        EXPECT_EQ(surface.Width(), c.shape.width);
        EXPECT_EQ(surface.Height(), c.shape.height);
        expectSurfaceEquals(surface, referenceDecode(bytes, false));
    }
}

TEST(ChargePhotoReduite, GrayscaleKeepsAtMost236Levels)
{
    TempFolder folder;
    const auto bytes = encodeJpeg({1024, 64, JpegKind::Gray, false, 100});
    TBitmap32 surface;
    ASSERT_EQ(ChargePhotoReduite(folder.write("g.jpg", bytes), surface), 4);
    std::set<TColor32> levels(surface.Bits(), surface.Bits() + std::size_t(surface.Width()) * std::size_t(surface.Height()));
    EXPECT_LE(levels.size(), 236u);
    EXPECT_GT(levels.size(), 50u);
    for (TColor32 c : levels) {
        EXPECT_EQ(c >> 24, 255u);
        EXPECT_EQ((c >> 16) & 255, c & 255);
        EXPECT_EQ((c >> 8) & 255, c & 255);
    }
}

TEST(ChargePhotoReduite, QuarterSizeIsTheCeilingOfAQuarter)
{
    // The window's threshold is at 1000: 3996 gives 999, 3997 gives 1000.
    TempFolder folder;
    struct Size {
        int w, h, qw, qh;
    };
    for (const Size s : {Size{4001, 3001, 1001, 751}, Size{3996, 3000, 999, 750}, Size{3997, 3000, 1000, 750}}) {
        SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
        const std::string path = folder.write("big.jpg", encodeJpeg({s.w, s.h, JpegKind::Rgb420, false, 30}));
        TBitmap32 surface;
        EXPECT_EQ(ChargePhotoReduite(path, surface), 4);
        EXPECT_EQ(surface.Width(), s.qw);
        EXPECT_EQ(surface.Height(), s.qh);
    }
}

TEST(ChargePhotoReduite, TruncatedFileDecodesAsTheLibraryCompletesIt)
{
    TempFolder folder;
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        auto bytes = encodeJpeg({256, 256, JpegKind::Rgb420, progressive, 90});
        bytes.resize(bytes.size() / 2);
        // Already at the quarter size: SetSize keeps these pixels, so every
        // one of them must be written by the decode.
        TBitmap32 surface;
        surface.SetSize(64, 64);
        std::fill(surface.Bits(), surface.Bits() + std::size_t(64) * 64, 0x12345678u);
        EXPECT_EQ(ChargePhotoReduite(folder.write("cut.jpg", bytes), surface), 4);
        expectSurfaceEquals(surface, referenceDecode(bytes, true));
    }
}

TEST(ChargePhotoReduite, FailureBeforeTheHeaderLeavesTheSurfaceAlone)
{
    TempFolder folder;
    std::vector<std::uint8_t> random(5000);
    unsigned seed = 12345;
    for (auto& b : random)
        b = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    auto zeroWidth = encodeJpeg({16, 16});
    patchFrameSize(zeroWidth, 0, 16);
    const auto bmp = bmp32(4, 4, true);
    auto headerOnly = encodeJpeg({64, 64});
    headerOnly.resize(100);

    struct Case {
        const char* name;
        std::string path;
    } cases[] = {
        {"random bytes named .jpg", folder.write("random.jpg", random)},
        {"empty file", folder.write("empty.jpg")},
        {"BMP", folder.write("p.bmp", bmp)},
        {"zero width", folder.write("zero.jpg", zeroWidth)},
        {"cut inside the header", folder.write("head.jpg", headerOnly)},
        {"no such file", folder.path("missing.jpg")},
        {"a folder", folder.top()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap32 surface;
        fillMarker(surface);
        int notifications = 0;
        surface.setChangeHandler([&] { ++notifications; });
        EXPECT_EQ(ChargePhotoReduite(c.path, surface), 1);
        expectMarker(surface);
        EXPECT_EQ(notifications, 0);
    }
}

TEST(ChargePhotoReduite, FailureWhileDecodingLeavesWhiteAtTheQuarterSize)
{
    TempFolder folder;
    const auto scans = manyScans(JpegDecoder::kMaxScans);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* fullSizeMessage;
    } cases[] = {
        // Two components: no conversion to RGB exists.
        {"two components", encodeJpeg({40, 20, JpegKind::TwoComponents}), "Erreur JPEG #27"},
        {"too many scans", encodeJpeg({40, 20, JpegKind::Gray}, &scans),
         "Erreur JPEG : plus de 500 passes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.write("bad.jpg", c.bytes);
        TBitmap32 surface;
        fillMarker(surface);
        int notifications = 0;
        surface.setChangeHandler([&] { ++notifications; });
        EXPECT_EQ(ChargePhotoReduite(path, surface), 1);
        EXPECT_EQ(surface.Width(), 10);
        EXPECT_EQ(surface.Height(), 5);
        EXPECT_TRUE(allWhite(surface));
        EXPECT_GE(notifications, 1);

        TBitmap32 full;
        try {
            LoadFromFile(path, full, PhotoDecoders{});
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), c.fullSizeMessage);
        }
        EXPECT_EQ(full.Width(), 40);
        EXPECT_EQ(full.Height(), 20);
        EXPECT_TRUE(allWhite(full));
    }
}

TEST(ChargePhotoReduite, AsManyScansAsAllowedStillDecode)
{
    TempFolder folder;
    auto scans = manyScans(JpegDecoder::kMaxScans);
    scans.resize(JpegDecoder::kMaxScans);
    const auto bytes = encodeJpeg({40, 20, JpegKind::Gray}, &scans);
    TBitmap32 surface;
    EXPECT_EQ(ChargePhotoReduite(folder.write("scans.jpg", bytes), surface), 4);
    expectSurfaceEquals(surface, referenceDecode(bytes, true));
}

TEST(ChargePhotoReduite, HeadersThatLieAboutTheSize)
{
    TempFolder folder;
    struct Case {
        const char* name;
        int width, height;
        bool progressive;
        int expected;
        int quarterWidth, quarterHeight;
    } cases[] = {
        // Beyond the surface's limit: its memory error, caught; nothing allocated.
        {"65500 x 65500", 65500, 65500, false, 1, 0, 0},
        {"65500 x 65500 progressive", 65500, 65500, true, 1, 0, 0},
        // Large but possible: decoded from almost no data, the rest filled in.
        {"8000 x 8000", 8000, 8000, false, 4, 2000, 2000},
        {"1 x 65500", 1, 65500, false, 4, 1, 16375},
        // Past the library's buffer bound for progressive files: its error.
        {"40000 x 40000 progressive", 40000, 40000, true, 1, 10000, 10000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = encodeJpeg({16, 16, JpegKind::Rgb420, c.progressive, 75});
        patchFrameSize(bytes, c.width, c.height);
        TBitmap32 surface;
        EXPECT_EQ(ChargePhotoReduite(folder.write("liar.jpg", bytes), surface), c.expected);
        EXPECT_EQ(surface.Width(), c.quarterWidth);
        EXPECT_EQ(surface.Height(), c.quarterHeight);
        if (c.expected == 1 && c.quarterWidth > 0) {
            EXPECT_TRUE(allWhite(surface));
        }
    }
}

TEST(LoadFromFile, HugeJpegHeaderGivesTheSurfaceMemoryError)
{
    TempFolder folder;
    auto bytes = encodeJpeg({16, 16});
    patchFrameSize(bytes, 65500, 65500);
    TBitmap32 surface;
    try {
        LoadFromFile(folder.write("huge.jpg", bytes), surface, PhotoDecoders{});
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Can't allocate the DIB handle");
    }
    EXPECT_TRUE(surface.Empty());
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(ChargePhotoReduite, HugeHeaderNeverTriesMoreThanTheCappedAllocation)
{
    // Under a 1 GiB address-space limit, the 65500 x 65500 header must end
    // with the caught memory error rather than with the process killed.
    TempFolder folder;
    auto bytes = encodeJpeg({16, 16, JpegKind::Rgb420, true, 75});
    patchFrameSize(bytes, 65500, 65500);
    const std::string path = folder.write("huge.jpg", bytes);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{1ul << 30, 1ul << 30};
        ::setrlimit(RLIMIT_AS, &limit);
        TBitmap32 surface;
        const bool ok = ChargePhotoReduite(path, surface) == 1 && surface.Empty();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif
