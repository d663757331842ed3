#include "window/decoders/MetafileToSvg.h"

#include "common/Error.h"
#include "imaging/TBitmap32.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

#if defined(__SANITIZE_ADDRESS__)
// libemf2svg (1.1.0) leaks a few bytes of each conversion inside the library;
// nothing this program can free. Keep the leak checker on everything else.
extern "C" const char* __lsan_default_suppressions() { return "leak:libemf2svg.so\n"; }
#endif

namespace teintelle {

namespace {

constexpr double kPixelsPerInch = 96.0;
constexpr const char* kInvalidMetafile = "Métafichier non valide";

std::int32_t le16s(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::int16_t(std::uint16_t(b[at] | (b[at + 1] << 8)));
}

std::int32_t le32s(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::int32_t(std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16)
                        | (std::uint32_t(b[at + 3]) << 24));
}

std::int32_t toPixels(double length)
{
    const double rounded = std::round(length);
    return rounded < 0 ? 0 : rounded > 2147483647.0 ? 2147483647 : std::int32_t(rounded);
}

// A picture no surface can hold is refused before the library plays it.
void checkSize(const MetafileSvg& result)
{
    if (std::int64_t(result.width) * result.height > TBitmap32::kMaxPixels)
        throw Error(TBitmap32::kMemoryError);
}

} // namespace

MetafileSvg windowsMetafileToSvg(const std::vector<std::uint8_t>& bytes)
{
    // The placeable header gives the picture's bounds and their units per
    // inch; a metafile without it has no size of its own.
    constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
    if (bytes.size() < 22 + 18 || std::uint32_t(le32s(bytes, 0)) != kPlaceableKey)
        throw Error(kInvalidMetafile);
    const std::int32_t left = le16s(bytes, 6), top = le16s(bytes, 8), right = le16s(bytes, 10),
                       bottom = le16s(bytes, 12);
    const std::int32_t unitsPerInch = std::uint16_t(le16s(bytes, 14));
    if (unitsPerInch == 0)
        throw Error(kInvalidMetafile);

    MetafileSvg result;
    result.width = toPixels(std::abs(right - left) * kPixelsPerInch / unitsPerInch);
    result.height = toPixels(std::abs(bottom - top) * kPixelsPerInch / unitsPerInch);
    checkSize(result);

    wmfAPI* api = nullptr;
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api != nullptr)
            wmf_api_destroy(api);
        throw Error(kInvalidMetafile);
    }
    std::vector<std::uint8_t> input = bytes; // the library wants a writable block
    wmfD_Rect box{};
    bool ok = wmf_mem_open(api, input.data(), long(input.size())) == wmf_E_None
           && wmf_scan(api, 0, &box) == wmf_E_None;
    if (ok) {
        wmf_svg_t* device = WMF_SVG_GetData(api);
        device->out = wmf_stream_create(api, nullptr);
        // The picture is the placeable header's bounds, not just the part
        // the records draw on. The library's device unit is the point.
        const float toPoints = 72.0f / float(unitsPerInch);
        device->bbox.TL.x = float(std::min(left, right)) * toPoints;
        device->bbox.TL.y = float(std::min(top, bottom)) * toPoints;
        device->bbox.BR.x = float(std::max(left, right)) * toPoints;
        device->bbox.BR.y = float(std::max(top, bottom)) * toPoints;
        device->width = unsigned(result.width);
        device->height = unsigned(result.height);
        ok = device->out != nullptr && wmf_play(api, 0, &box) == wmf_E_None;
        if (device->out != nullptr) {
            char* text = nullptr;
            unsigned long length = 0;
            wmf_stream_destroy(api, device->out, &text, &length);
            device->out = nullptr;
            if (ok && text != nullptr)
                result.svg.assign(text, length);
        }
    }
    wmf_api_destroy(api);
    if (!ok || result.svg.empty())
        throw Error(kInvalidMetafile);
    return result;
}

MetafileSvg enhancedMetafileToSvg(const std::vector<std::uint8_t>& bytes)
{
    // EMR_HEADER: type 1, the frame in hundredths of a millimetre at 24,
    // the signature " EMF" at 40.
    constexpr std::int32_t kSignature = 0x464D4520;
    if (bytes.size() < 88 || le32s(bytes, 0) != 1 || le32s(bytes, 40) != kSignature)
        throw Error(kInvalidMetafile);
    const double hundredthsPerInch = 2540.0;
    MetafileSvg result;
    result.width = toPixels(std::abs(double(le32s(bytes, 32)) - le32s(bytes, 24)) * kPixelsPerInch / hundredthsPerInch);
    result.height = toPixels(std::abs(double(le32s(bytes, 36)) - le32s(bytes, 28)) * kPixelsPerInch / hundredthsPerInch);
    checkSize(result);

    std::vector<char> input(bytes.begin(), bytes.end());
    generatorOptions options{};
    char nameSpace[] = "svg";
    options.nameSpace = nameSpace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = result.width;
    options.imgHeight = result.height;
    char* text = nullptr;
    std::size_t length = 0;
    const int status = emf2svg(input.data(), input.size(), &text, &length, &options);
    if (text != nullptr) {
        if (status != 0)
            result.svg.assign(text, length);
        std::free(text);
    }
    if (result.svg.empty())
        throw Error(kInvalidMetafile);
    return result;
}

} // namespace teintelle
