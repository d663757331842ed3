#pragma once

#include "lut/CubeReader.h"
#include "lut/LutTable.h"

#include <charconv>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

namespace teintelle::test {

// The line and its end, count times.
inline std::string repeatLine(const std::string& line, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line + "\n";
    return text;
}

// A stream buffer whose every read fails, as a disk read does with EIO.
class FailingStreamBuffer : public std::streambuf {
protected:
    std::streamsize xsgetn(char*, std::streamsize) override { throw std::runtime_error("EIO"); }
};

// A value as .cube files write it: fixed, six decimals, "." whatever the locale.
inline std::string sixDecimals(double value)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr;
    return std::string(text, end);
}

// A complete N-sized .cube text whose entry n (red fastest) holds colour(ri, vi, bi).
inline std::string cubeText(int n, const std::function<void(int, int, int, double&, double&, double&)>& colour,
                            const std::string& header = "TITLE \"fixture\"\n")
{
    std::string text = header + "LUT_3D_SIZE " + std::to_string(n) + "\n";
    for (int bi = 0; bi < n; ++bi)
        for (int vi = 0; vi < n; ++vi)
            for (int ri = 0; ri < n; ++ri) {
                double r = 0, v = 0, b = 0;
                colour(ri, vi, bi, r, v, b);
                text += sixDecimals(r) + " " + sixDecimals(v) + " " + sixDecimals(b) + "\n";
            }
    return text;
}

// The identity grade: lattice position i of N at i / (N - 1).
inline std::string identityCubeText(int n)
{
    return cubeText(n, [n](int ri, int vi, int bi, double& r, double& v, double& b) {
        const double last = n > 1 ? n - 1 : 1;
        r = ri / last;
        v = vi / last;
        b = bi / last;
    });
}

inline CubeStatus readText(const std::string& text, LutTable& table, std::int32_t& taille)
{
    std::istringstream in(text);
    return readCube(in, table, taille);
}

// A 2 x 2 x 2 effect whose entry k is (0.1 k, 0.5, 0.9 - 0.1 k), every line
// starting with "0.", as a grading tool writes it.
inline std::vector<std::string> dataLines()
{
    std::vector<std::string> lines;
    for (int k = 0; k < 8; ++k) {
        char line[64];
        std::snprintf(line, sizeof line, "%.6f %.6f %.6f", 0.1 * k, 0.5, 0.9 - 0.1 * k);
        lines.push_back(line);
    }
    return lines;
}

// That effect as a head and data lines, which a test changes before writing.
struct CubeLines {
    std::vector<std::string> head{"TITLE \"Essai\"", "LUT_3D_SIZE 2"};
    std::vector<std::string> data = dataLines();

    std::string text() const
    {
        std::string all;
        for (const auto& line : head)
            all += line + "\n";
        for (const auto& line : data)
            all += line + "\n";
        return all;
    }
};

} // namespace teintelle::test
