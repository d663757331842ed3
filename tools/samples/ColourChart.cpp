#include "samples/ColourChart.h"

#include "jpeg/JpegCompressor.h"

#include <algorithm>
#include <cmath>

namespace teintelle::samples {

namespace {

struct Rgb8 {
    std::uint8_t r, g, b;
};

struct Patch {
    int x, y, w, h;
    Rgb8 colour;
};

constexpr Rgb8 kGround{48, 48, 48};

// Skin tones from light to deep, then saturated primaries, secondaries and between.
constexpr Rgb8 kSkin[] = {{255, 224, 196}, {241, 194, 167}, {224, 172, 138}, {198, 134, 100},
                          {161, 102, 73},  {122, 76, 52},   {89, 56, 40},    {232, 190, 172}};
constexpr Rgb8 kSaturated[] = {{230, 20, 20},  {20, 180, 40},  {30, 50, 220},  {20, 200, 220},
                               {220, 30, 200}, {245, 225, 20}, {250, 130, 10}, {120, 40, 200},
                               {140, 220, 20}, {20, 120, 200}, {200, 20, 90},  {250, 250, 250}};

Rgb8 fromHsv(double hue, double saturation, double value)
{
    const double h = std::fmod(hue, 1.0) * 6.0;
    const int sector = int(h);
    const double f = h - sector;
    const double p = value * (1 - saturation), q = value * (1 - saturation * f),
                 t = value * (1 - saturation * (1 - f));
    double r = value, g = t, b = p;
    switch (sector) {
    case 1: r = q, g = value, b = p; break;
    case 2: r = p, g = value, b = t; break;
    case 3: r = p, g = q, b = value; break;
    case 4: r = t, g = p, b = value; break;
    case 5: r = value, g = p, b = q; break;
    default: break;
    }
    auto byte = [](double x) { return std::uint8_t(std::lround(std::clamp(x, 0.0, 1.0) * 255)); };
    return {byte(r), byte(g), byte(b)};
}

class Chart {
public:
    Chart() : pixels_(std::size_t(kChartWidth) * kChartHeight, kGround) {}

    void fill(const Patch& patch)
    {
        for (int y = patch.y; y < patch.y + patch.h; ++y)
            std::fill_n(&at(patch.x, y), patch.w, patch.colour);
    }

    void greyRamp(int x0, int y0, int w, int h)
    {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto v = std::uint8_t(x * 255 / (w - 1));
                at(x0 + x, y) = {v, v, v};
            }
    }

    void greySteps(int x0, int y0, int w, int h, int steps)
    {
        for (int i = 0; i < steps; ++i) {
            const auto v = std::uint8_t(i * 255 / (steps - 1));
            fill({x0 + i * w / steps, y0, w / steps, h, {v, v, v}});
        }
    }

    // Hue by angle, saturation by distance from the centre, full value.
    void hueWheel(int cx, int cy, int radius)
    {
        for (int y = cy - radius; y < cy + radius; ++y)
            for (int x = cx - radius; x < cx + radius; ++x) {
                const double dx = x - cx + 0.5, dy = y - cy + 0.5;
                const double distance = std::sqrt(dx * dx + dy * dy) / radius;
                if (distance <= 1.0)
                    at(x, y) = fromHsv(std::atan2(dy, dx) / (2 * M_PI) + 0.5, distance, 1.0);
            }
    }

    void patchGrid(int x0, int y0, int columns, int cell, int gap, const Rgb8* colours, int count)
    {
        for (int i = 0; i < count; ++i)
            fill({x0 + (i % columns) * (cell + gap), y0 + (i / columns) * (cell + gap), cell, cell, colours[i]});
    }

    const Rgb8* row(int y) const { return &pixels_[std::size_t(y) * kChartWidth]; }

private:
    Rgb8& at(int x, int y) { return pixels_[std::size_t(y) * kChartWidth + std::size_t(x)]; }

    std::vector<Rgb8> pixels_;
};

std::vector<std::uint8_t> compress(const Chart& chart)
{
    jpeg::JpegSettings settings;
    settings.width = kChartWidth;
    settings.height = kChartHeight;
    settings.components = 3;
    settings.inColorSpace = JCS_RGB;
    settings.quality = 92;
    settings.dctMethod = JDCT_IFAST;
    return jpeg::compressJpeg(settings,
                              [&chart](int y) { return reinterpret_cast<const std::uint8_t*>(chart.row(y)); });
}

} // namespace

std::vector<std::uint8_t> colourChartJpeg()
{
    static_assert(sizeof(Rgb8) == 3, "rows are packed RGB");
    Chart chart;
    chart.greyRamp(128, 128, kChartWidth - 256, 300);
    chart.greySteps(128, 460, kChartWidth - 256, 260, 21);
    chart.hueWheel(1000, 1760, 840);
    chart.patchGrid(2080, 900, 4, 420, 60, kSkin, 8);
    chart.patchGrid(2080, 1880, 6, 260, 60, kSaturated, 12);
    return compress(chart);
}

} // namespace teintelle::samples
