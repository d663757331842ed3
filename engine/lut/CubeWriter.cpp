#include "lut/CubeWriter.h"

#include <algorithm>
#include <cmath>

namespace teintelle::cube {

namespace {

constexpr std::int32_t kOne = 1000000;
constexpr std::size_t kPiece = std::size_t(256) * 1024;

// "0.xxxxxx" or "1.000000".
void appendValue(std::string& out, std::int32_t micro)
{
    char text[8] = {char('0' + micro / kOne), '.'};
    std::int32_t rest = micro % kOne;
    for (int i = 7; i >= 2; --i, rest /= 10)
        text[i] = char('0' + rest % 10);
    out.append(text, 8);
}

} // namespace

std::int32_t micros(double value) { return std::int32_t(std::lround(std::clamp(value, 0.0, 1.0) * 1e6)); }

void writeCube(const CubeHeadLines& head, int n, const std::function<Micros(int r, int g, int b)>& entry,
               const std::function<void(std::string_view)>& sink)
{
    std::string out;
    out.reserve(kPiece + 64);
    for (const auto& line : head.beforeSize)
        out += line + "\n";
    out += "LUT_3D_SIZE " + std::to_string(n) + "\n";
    for (const auto& line : head.afterSize)
        out += line + "\n";
    bool first = true;
    for (int b = 0; b < n; ++b) {
        for (int g = 0; g < n; ++g) {
            for (int r = 0; r < n; ++r) {
                const Micros value = entry(r, g, b);
                if (first && value[0] >= kOne)
                    out += "0.1e1";
                else
                    appendValue(out, std::clamp(value[0], 0, kOne));
                first = false;
                out += ' ';
                appendValue(out, std::clamp(value[1], 0, kOne));
                out += ' ';
                appendValue(out, std::clamp(value[2], 0, kOne));
                out += '\n';
                if (out.size() >= kPiece) {
                    sink(out);
                    out.clear();
                }
            }
        }
    }
    sink(out);
}

std::string cubeText(const CubeHeadLines& head, int n, const std::function<Micros(int r, int g, int b)>& entry)
{
    std::string text;
    text.reserve(std::size_t(n) * std::size_t(n) * std::size_t(n) * 27 + 128);
    writeCube(head, n, entry, [&text](std::string_view piece) { text += piece; });
    return text;
}

} // namespace teintelle::cube
