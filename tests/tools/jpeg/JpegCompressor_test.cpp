// The compressor's files read back by libjpeg's decompressor: what was asked
// for is what the file holds.
#include "jpeg/JpegCompressor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace teintelle::jpeg {
namespace {

// A smooth picture, each row and component its own, within 0..255 for the
// small sizes used here: at quality 100 it decodes within a few levels.
std::uint8_t smooth(int x, int y, int c) { return std::uint8_t(20 + 3 * x + 2 * y + 30 * c); }

struct Picture {
    std::vector<std::uint8_t> samples; // rows top to bottom
    int width = 0;
    int components = 0;
    const std::uint8_t* row(int y) const { return &samples[std::size_t(y) * width * components]; }
};

Picture smoothPicture(const JpegSettings& settings)
{
    Picture picture{{}, settings.width, settings.components};
    for (int y = 0; y < settings.height; ++y)
        for (int x = 0; x < settings.width; ++x)
            for (int c = 0; c < settings.components; ++c)
                picture.samples.push_back(smooth(x, y, c));
    return picture;
}

std::vector<std::uint8_t> compressPicture(const JpegSettings& settings)
{
    const Picture picture = smoothPicture(settings);
    return compressJpeg(settings, [&picture](int y) { return picture.row(y); });
}

struct SavedMarker {
    int code;
    std::vector<std::uint8_t> data;
};

// What libjpeg reads in a file, its samples in the colour space it decodes
// to by default (that of the compressor's input, for every case here).
struct ReadBack {
    int width = 0, height = 0, components = 0;
    J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
    std::vector<JpegSampling> sampling;
    bool progressive = false;
    int dcQuantisation = 0; // of the first component's table
    std::vector<SavedMarker> markers;
    std::vector<std::uint8_t> icc;
    std::vector<std::uint8_t> samples;
};

[[noreturn]] void readBackError(j_common_ptr info)
{
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    throw std::runtime_error(message);
}

ReadBack readBack(const std::vector<std::uint8_t>& bytes)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    errors.error_exit = readBackError;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    for (int code : {JPEG_APP0 + 1, JPEG_APP0 + 2, JPEG_COM})
        jpeg_save_markers(&info, code, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    ReadBack file;
    file.width = int(info.image_width);
    file.height = int(info.image_height);
    file.components = info.num_components;
    file.colorSpace = info.jpeg_color_space;
    for (int c = 0; c < info.num_components; ++c)
        file.sampling.push_back({info.comp_info[c].h_samp_factor, info.comp_info[c].v_samp_factor});
    file.progressive = info.progressive_mode;
    file.dcQuantisation = info.quant_tbl_ptrs[info.comp_info[0].quant_tbl_no]->quantval[0];
    for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr; m = m->next)
        file.markers.push_back({m->marker, {m->data, m->data + m->data_length}});
    JOCTET* icc = nullptr;
    unsigned int iccSize = 0;
    if (jpeg_read_icc_profile(&info, &icc, &iccSize)) {
        file.icc.assign(icc, icc + iccSize);
        std::free(icc);
    }
    jpeg_start_decompress(&info);
    const std::size_t stride = std::size_t(info.output_width) * info.output_components;
    file.samples.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &file.samples[stride * info.output_scanline];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return file;
}

// Start of scan markers: the entropy-coded data stuffs a zero after every
// 0xFF it holds, so these are the file's scans.
int scanCount(const std::vector<std::uint8_t>& bytes)
{
    int scans = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        scans += bytes[i] == 0xFF && bytes[i + 1] == 0xDA;
    return scans;
}

int largestDifference(const ReadBack& file, const JpegSettings& settings)
{
    const Picture picture = smoothPicture(settings);
    int largest = 0;
    for (std::size_t i = 0; i < picture.samples.size(); ++i)
        largest = std::max(largest, std::abs(int(file.samples.at(i)) - int(picture.samples[i])));
    return largest;
}

jpeg_scan_info scan(int ss, int se)
{
    jpeg_scan_info s{};
    s.comps_in_scan = 1;
    s.Ss = ss;
    s.Se = se;
    return s;
}

struct Case {
    const char* name;
    JpegSettings settings;
    J_COLOR_SPACE colorSpace;
    std::vector<JpegSampling> sampling;
    bool progressive;
    int scans;
    int dcQuantisation;
    int tolerance;
};

TEST(JpegCompressor, TheFileHoldsWhatWasAskedFor)
{
    const std::vector<jpeg_scan_info> twoScans = {scan(0, 0), scan(1, 63)};
    const Case cases[] = {
        {"rgb, libjpeg's 4:2:0",
         {.width = 32, .height = 24, .quality = 100},
         JCS_YCbCr,
         {{2, 2}, {1, 1}, {1, 1}},
         false,
         1,
         1,
         4},
        {"rgb 4:4:4, progressive",
         {.width = 30, .height = 20, .quality = 100, .sampling = {{1, 1}, {1, 1}, {1, 1}}, .progressive = true},
         JCS_YCbCr,
         {{1, 1}, {1, 1}, {1, 1}},
         true,
         10,
         1,
         4},
        {"grey, fast transform",
         {.width = 17,
          .height = 9,
          .components = 1,
          .inColorSpace = JCS_GRAYSCALE,
          .quality = 100,
          .dctMethod = JDCT_IFAST},
         JCS_GRAYSCALE,
         {{1, 1}},
         false,
         1,
         1,
         4},
        {"grey, a scan script",
         {.width = 16, .height = 16, .components = 1, .inColorSpace = JCS_GRAYSCALE, .quality = 100, .scans = twoScans},
         JCS_GRAYSCALE,
         {{1, 1}},
         true,
         2,
         1,
         4},
        {"cmyk, quality 50",
         {.width = 24, .height = 8, .components = 4, .inColorSpace = JCS_CMYK, .quality = 50},
         JCS_CMYK,
         {{1, 1}, {1, 1}, {1, 1}, {1, 1}},
         false,
         1,
         16,
         40},
        {"cmyk stored as ycck",
         {.width = 24,
          .height = 16,
          .components = 4,
          .inColorSpace = JCS_CMYK,
          .fileColorSpace = JCS_YCCK,
          .quality = 100},
         JCS_YCCK,
         {{2, 2}, {1, 1}, {1, 1}, {2, 2}},
         false,
         1,
         1,
         4},
        {"two components",
         {.width = 20,
          .height = 12,
          .components = 2,
          .inColorSpace = JCS_UNKNOWN,
          .fileColorSpace = JCS_UNKNOWN,
          .quality = 100},
         JCS_UNKNOWN,
         {{1, 1}, {1, 1}},
         false,
         1,
         1,
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = compressPicture(c.settings);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 2, bytes.end()), (std::vector<std::uint8_t>{0xFF, 0xD9}))
            << "the file ends with its end of image marker";
        const ReadBack file = readBack(bytes);
        EXPECT_EQ(file.width, c.settings.width);
        EXPECT_EQ(file.height, c.settings.height);
        EXPECT_EQ(file.components, c.settings.components);
        EXPECT_EQ(file.colorSpace, c.colorSpace);
        ASSERT_EQ(file.sampling.size(), c.sampling.size());
        for (std::size_t i = 0; i < c.sampling.size(); ++i) {
            EXPECT_EQ(file.sampling[i].h, c.sampling[i].h) << "component " << i;
            EXPECT_EQ(file.sampling[i].v, c.sampling[i].v) << "component " << i;
        }
        EXPECT_EQ(file.progressive, c.progressive);
        EXPECT_EQ(scanCount(bytes), c.scans);
        EXPECT_EQ(file.dcQuantisation, c.dcQuantisation);
        EXPECT_LE(largestDifference(file, c.settings), c.tolerance);
        EXPECT_TRUE(file.markers.empty());
    }
}

// The transform is not in the file, only in its coefficients.
TEST(JpegCompressor, TheTransformAskedForIsTheOneUsed)
{
    JpegSettings settings{.width = 64, .height = 32, .quality = 100};
    const auto accurate = compressPicture(settings);
    settings.dctMethod = JDCT_IFAST;
    EXPECT_NE(compressPicture(settings), accurate);
}

TEST(JpegCompressor, MarkersFollowInTheirOrderThenTheProfile)
{
    std::vector<std::uint8_t> exif = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42};
    std::vector<std::uint8_t> comment = {'m', 'a', 'd', 'e', ' ', 'h', 'e', 'r', 'e'};
    std::vector<std::uint8_t> icc(70000); // more than one segment holds
    for (std::size_t i = 0; i < icc.size(); ++i)
        icc[i] = std::uint8_t(i * 7 + i / 251);
    const JpegSettings settings{
        .width = 16, .height = 16, .markers = {{JPEG_APP0 + 1, exif}, {JPEG_COM, comment}}, .icc = icc};
    const ReadBack file = readBack(compressPicture(settings));
    ASSERT_EQ(file.markers.size(), 4u);
    EXPECT_EQ(file.markers[0].code, JPEG_APP0 + 1);
    EXPECT_EQ(file.markers[0].data, exif);
    EXPECT_EQ(file.markers[1].code, JPEG_COM);
    EXPECT_EQ(file.markers[1].data, comment);
    EXPECT_EQ(file.markers[2].code, JPEG_APP0 + 2);
    EXPECT_EQ(file.markers[3].code, JPEG_APP0 + 2);
    EXPECT_EQ(file.icc, icc);
}

// libjpeg's own words, and nothing left behind (the sanitizer build checks
// for leaks).
TEST(JpegCompressor, RefusalsThrowLibjpegsMessage)
{
    struct Refusal {
        const char* name;
        JpegSettings settings;
        std::string message;
    };
    const Refusal refusals[] = {
        {"no width", {.width = 0, .height = 8}, "Empty JPEG image (DNL not supported)"},
        {"rgb of one component", {.width = 8, .height = 8, .components = 1}, "Bogus input colorspace"},
        {"sampling beyond 4",
         {.width = 8, .height = 8, .sampling = {{5, 1}, {1, 1}, {1, 1}}},
         "Bogus sampling factors"},
        {"a scan script that skips the DC",
         {.width = 8, .height = 8, .components = 1, .inColorSpace = JCS_GRAYSCALE, .scans = {scan(1, 63)}},
         "Invalid progressive parameters at scan script entry 1"},
        {"sampling for some components",
         {.width = 8, .height = 8, .sampling = {{1, 1}}},
         "one sampling per component is needed"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        try {
            compressPicture(r.settings);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), r.message);
        }
    }
}

// An exception of the row source goes through the compressor unchanged.
TEST(JpegCompressor, TheRowSourcesExceptionComesThrough)
{
    const JpegSettings settings{.width = 8, .height = 40, .components = 1, .inColorSpace = JCS_GRAYSCALE};
    std::vector<std::uint8_t> row(8, 128);
    int rowsGiven = 0;
    EXPECT_THROW(compressJpeg(settings,
                              [&](int y) {
                                  if (y == 20)
                                      throw std::logic_error("row source");
                                  ++rowsGiven;
                                  return row.data();
                              }),
                 std::logic_error);
    EXPECT_EQ(rowsGiven, 20);
}

} // namespace
} // namespace teintelle::jpeg
