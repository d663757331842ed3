#include "samples/CubeWriter.h"

#include <algorithm>
#include <cmath>

namespace teintelle::samples {

namespace {

// "0.xxxxxx" or "1.000000": the value clipped to 0..1, rounded to 6 decimals.
void appendValue(std::string& out, double value)
{
    const long micro = std::lround(std::clamp(value, 0.0, 1.0) * 1e6);
    char text[8] = {char('0' + micro / 1000000), '.'};
    long rest = micro % 1000000;
    for (int i = 7; i >= 2; --i, rest /= 10)
        text[i] = char('0' + rest % 10);
    out.append(text, 8);
}

} // namespace

std::string cubeText(const Look& look, int n)
{
    std::string out;
    out.reserve(std::size_t(n) * std::size_t(n) * std::size_t(n) * 27 + 128);
    out += "# Teintelle sample effect\nTITLE \"";
    out += look.title;
    out += "\"\nLUT_3D_SIZE " + std::to_string(n) + "\n\n";
    for (int b = 0; b < n; ++b) {
        for (int g = 0; g < n; ++g) {
            for (int r = 0; r < n; ++r) {
                const Rgb output = look.apply({double(r) / (n - 1), double(g) / (n - 1), double(b) / (n - 1)});
                appendValue(out, output[0]);
                out += ' ';
                appendValue(out, output[1]);
                out += ' ';
                appendValue(out, output[2]);
                out += '\n';
            }
        }
    }
    return out;
}

} // namespace teintelle::samples
