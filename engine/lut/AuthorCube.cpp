#include "lut/AuthorCube.h"

#include "common/Error.h"
#include "common/InputFile.h"
#include "lut/CubeNumbers.h"
#include "lut/CubeText.h"
#include "lut/CubeWriter.h"
#include "lut/LutMessages.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <istream>
#include <new>
#include <utility>
#include <sys/stat.h>

namespace teintelle {

namespace cube {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }
} // namespace

std::vector<std::string_view> blankSeparatedWords(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool isDecimalNumber(std::string_view word)
{
    std::size_t i = 0;
    if (i < word.size() && (word[i] == '+' || word[i] == '-'))
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < word.size(); ++i) {
        if (word[i] >= '0' && word[i] <= '9')
            ++digits;
        else if (word[i] == '.' && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return false;
    if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
        ++i;
        if (i < word.size() && (word[i] == '+' || word[i] == '-'))
            ++i;
        const std::size_t exponentStart = i;
        while (i < word.size() && word[i] >= '0' && word[i] <= '9')
            ++i;
        if (i == exponentStart)
            return false;
    }
    return i == word.size();
}

} // namespace cube

namespace {

// A line longer than this is no line of a .cube file.
constexpr std::size_t kLongestLine = std::size_t(64) * 1024;

// The value of a number word, with the window's arithmetic (a word of any
// length, locale-free); a "+" sign is the window's too.
long double valueOf(std::string_view word)
{
    // The window's parser takes exponents below 500 and reads a larger one
    // as an invalid field; the author means 0 or a value beyond any range.
    const auto mark = word.find_first_of("eE");
    if (mark != std::string_view::npos) {
        long exponent = 0;
        for (const char c : word.substr(mark + 1))
            if (c >= '0' && c <= '9')
                exponent = std::min(exponent * 10 + (c - '0'), 100000L);
        if (exponent >= 500) {
            const bool zero = word.substr(0, mark).find_first_of("123456789") == std::string_view::npos;
            return word[mark + 1] == '-' || zero ? 0 : HUGE_VALL;
        }
    }
    cube::FieldParser field;
    for (const char c : word)
        field.put(c);
    return field.value();
}

std::string atLine(std::uint64_t line, const std::string& text)
{
    return "ligne " + std::to_string(line) + " : " + text;
}

class AuthorReading {
public:
    AuthorCube run(std::istream& in)
    {
        cube::CubeTextSource text(in);
        std::string line;
        bool pendingCr = false;
        bool open = false;
        for (auto piece = text.next(); !piece.empty(); piece = text.next()) {
            for (const char c : piece) {
                if (pendingCr) {
                    pendingCr = false;
                    if (c == '\n')
                        continue;
                }
                if (c == '\r' || c == '\n') {
                    pendingCr = c == '\r';
                    take(line);
                    line.clear();
                    open = false;
                    continue;
                }
                if (line.size() == kLongestLine)
                    fail(lineNumber_ + 1, "ligne de plus de 65536 caractères");
                line += c;
                open = true;
            }
        }
        if (open)
            take(line);
        return finish();
    }

private:
    [[noreturn]] static void fail(std::uint64_t line, const std::string& why) { throw Error(atLine(line, why)); }

    void take(std::string_view line)
    {
        ++lineNumber_;
        const auto words = cube::blankSeparatedWords(line);
        if (words.empty() || words[0].front() == '#')
            return;
        const char first = words[0].front();
        if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.')
            return dataLine(words);
        if (inData_)
            fail(lineNumber_, "« " + std::string(words[0]) + " » au milieu des données");
        keyword(line, words);
    }

    // The words of a keyword line after the keyword, a comment after them cut off.
    static std::vector<std::string_view> arguments(const std::vector<std::string_view>& words)
    {
        std::vector<std::string_view> rest;
        for (std::size_t i = 1; i < words.size() && words[i].front() != '#'; ++i)
            rest.push_back(words[i]);
        return rest;
    }

    void keyword(std::string_view line, const std::vector<std::string_view>& words)
    {
        const std::string name(words[0]);
        const auto args = arguments(words);
        if (name == "TITLE")
            return title(line);
        if (name == "LUT_3D_SIZE")
            return size(cube_, name, args, 2, kAuthorMax3D);
        if (name == "LUT_1D_SIZE")
            return size(shaper_, name, args, 2, kAuthorMax1D);
        if (name == "DOMAIN_MIN" || name == "DOMAIN_MAX") {
            const CubeRgb value = numbers<3>(name, args);
            (name == "DOMAIN_MIN" ? domainMin_ : domainMax_) = value;
            domainLine_ = lineNumber_;
            return;
        }
        if (name == "LUT_3D_INPUT_RANGE" || name == "LUT_1D_INPUT_RANGE") {
            const auto range = numbers<2>(name, args);
            AuthorTable& table = name == "LUT_3D_INPUT_RANGE" ? cube_.table : shaper_.table;
            table.min = {range[0], range[0], range[0]};
            table.max = {range[1], range[1], range[1]};
            (name == "LUT_3D_INPUT_RANGE" ? cube_ : shaper_).ranged = true;
            checkDomain(table.min, table.max, name);
            return;
        }
        fail(lineNumber_, "mot-clé inconnu « " + name + " »");
    }

    void title(std::string_view line)
    {
        const auto open = line.find('"');
        const auto close = open == std::string_view::npos ? open : line.find('"', open + 1);
        if (close == std::string_view::npos)
            fail(lineNumber_, "TITLE attend un titre entre guillemets");
        title_ = std::string(line.substr(open + 1, close - open - 1));
    }

    struct Declared {
        AuthorTable table;
        std::uint64_t line = 0;
        bool ranged = false;
    };

    void size(Declared& declared, const std::string& name, const std::vector<std::string_view>& args, int low,
              int high)
    {
        if (declared.line != 0)
            fail(lineNumber_, name + " déjà donné ligne " + std::to_string(declared.line));
        const bool negative = args.size() == 1 && args[0].size() > 1 && args[0].front() == '-';
        const std::string_view digits = args.size() == 1 ? args[0].substr(negative ? 1 : 0) : std::string_view();
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
            fail(lineNumber_, name + " attend un nombre entier");
        const long long n = negative ? -1 : digits.size() > 12 ? high + 1LL : std::stoll(std::string(digits));
        if (n < low)
            fail(lineNumber_, name + " " + std::string(args[0]) + " : il faut au moins " + std::to_string(low));
        if (n > high)
            fail(lineNumber_, name + " " + std::string(args[0]) + " : une table de cette taille ne tient pas en"
                                                                  " mémoire (au plus " + std::to_string(high) + ")");
        declared.table.size = int(n);
        declared.line = lineNumber_;
    }

    template <std::size_t kCount>
    std::array<double, kCount> numbers(const std::string& name, const std::vector<std::string_view>& args) const
    {
        if (args.size() != kCount || !std::all_of(args.begin(), args.end(), cube::isDecimalNumber))
            fail(lineNumber_, name + " attend " + std::to_string(kCount) + " nombres");
        std::array<double, kCount> values{};
        for (std::size_t i = 0; i < kCount; ++i)
            values[i] = double(valueOf(args[i]));
        return values;
    }

    void checkDomain(const CubeRgb& min, const CubeRgb& max, const std::string& name) const
    {
        for (int c = 0; c < 3; ++c)
            if (!(std::isfinite(min[c]) && std::isfinite(max[c]) && min[c] < max[c]))
                fail(lineNumber_, name + " : le bas de la plage doit être en dessous du haut");
    }

    // The head is over: the domain goes to the table the colour enters first.
    void startData()
    {
        inData_ = true;
        if (!cube_.table.present() && !shaper_.table.present())
            fail(lineNumber_, "données sans LUT_3D_SIZE ni LUT_1D_SIZE avant elles");
        Declared& first = shaper_.table.present() ? shaper_ : cube_;
        if (domainLine_ != 0 && !first.ranged) {
            first.table.min = domainMin_;
            first.table.max = domainMax_;
            std::swap(lineNumber_, domainLine_);
            checkDomain(domainMin_, domainMax_, "DOMAIN_MIN / DOMAIN_MAX");
            std::swap(lineNumber_, domainLine_);
        }
        shaperEntries_ = std::uint64_t(shaper_.table.size);
        const auto n = std::uint64_t(cube_.table.size);
        cubeEntries_ = n * n * n;
    }

    void dataLine(const std::vector<std::string_view>& words)
    {
        if (!inData_)
            startData();
        auto values = words;
        if (values.size() > 3 && values[3].front() == '#')
            values.resize(3);
        if (values.size() != 3 || !std::all_of(values.begin(), values.end(), cube::isDecimalNumber))
            fail(lineNumber_, "une ligne de données porte trois nombres");
        const bool toShaper = shaperStored_ < shaperEntries_;
        if (!toShaper && cubeStored_ == cubeEntries_)
            fail(lineNumber_, "entrée de trop : " + expectation());
        AuthorTable& table = toShaper ? shaper_.table : cube_.table;
        for (const auto word : values) {
            const long double value = valueOf(word);
            if (!std::isfinite(value))
                fail(lineNumber_, "« " + std::string(word) + " » est hors de portée");
            // Far beyond 0..1 every value clips alike; kept finite, it interpolates.
            table.values.push_back(float(std::clamp(value, -1e6L, 1e6L)));
            if (!toShaper)
                table.bytes.push_back(cube::storedChannel(std::clamp(value, 0.0L, 1.0L)));
        }
        ++(toShaper ? shaperStored_ : cubeStored_);
    }

    std::string expectation() const
    {
        std::string text;
        if (shaperEntries_ != 0)
            text = std::to_string(shaperEntries_) + " entrées 1D";
        if (cubeEntries_ != 0)
            text += (text.empty() ? "" : " puis ") + std::to_string(cubeEntries_) + " entrées 3D ("
                + std::to_string(cube_.table.size) + "³)";
        return "le fichier en déclare " + text;
    }

    AuthorCube finish()
    {
        if (!inData_) {
            if (!cube_.table.present() && !shaper_.table.present())
                fail(std::max<std::uint64_t>(lineNumber_, 1), "fin du fichier sans LUT_3D_SIZE ni LUT_1D_SIZE");
            startData();
        }
        const std::uint64_t stored = shaperStored_ + cubeStored_;
        if (shaperStored_ < shaperEntries_ || cubeStored_ < cubeEntries_)
            fail(lineNumber_, "fin du fichier après " + std::to_string(stored)
                                  + (stored == 1 ? " entrée : " : " entrées : ") + expectation());
        AuthorCube cube;
        cube.title = std::move(title_);
        cube.shaper = std::move(shaper_.table);
        cube.cube = std::move(cube_.table);
        return cube;
    }

    std::uint64_t lineNumber_ = 0;
    bool inData_ = false;
    std::string title_;
    Declared shaper_;
    Declared cube_;
    CubeRgb domainMin_{0, 0, 0};
    CubeRgb domainMax_{1, 1, 1};
    std::uint64_t domainLine_ = 0;
    std::uint64_t shaperEntries_ = 0, cubeEntries_ = 0;
    std::uint64_t shaperStored_ = 0, cubeStored_ = 0;
};

// The position of a value on a table of `size` entries over [min, max],
// clipped to the table: the entry below it and the weight of the one above.
void position(double value, double min, double max, int size, int& below, double& weight)
{
    const double t = std::clamp((value - min) / (max - min), 0.0, 1.0) * (size - 1);
    below = std::min(int(t), size - 2);
    weight = t - below;
}

double shaped(const AuthorTable& shaper, double value, int channel)
{
    int i = 0;
    double w = 0;
    position(value, shaper.min[std::size_t(channel)], shaper.max[std::size_t(channel)], shaper.size, i, w);
    const float* v = shaper.values.data();
    return v[3 * i + channel] * (1 - w) + v[3 * (i + 1) + channel] * w;
}

CubeRgb trilinear(const AuthorTable& table, const CubeRgb& colour)
{
    const int n = table.size;
    int index[3];
    double weight[3];
    for (int c = 0; c < 3; ++c)
        position(colour[std::size_t(c)], table.min[std::size_t(c)], table.max[std::size_t(c)], n, index[c], weight[c]);
    CubeRgb out{0, 0, 0};
    for (int corner = 0; corner < 8; ++corner) {
        double w = 1;
        std::size_t entry = 0, stride = 1;
        for (int c = 0; c < 3; ++c) {
            const int up = (corner >> c) & 1;
            w *= up ? weight[c] : 1 - weight[c];
            entry += std::size_t(index[c] + up) * stride;
            stride *= std::size_t(n);
        }
        if (w == 0)
            continue;
        for (int c = 0; c < 3; ++c)
            out[std::size_t(c)] += w * table.values[3 * entry + std::size_t(c)];
    }
    return out;
}

} // namespace

CubeRgb AuthorCube::apply(CubeRgb colour) const
{
    if (shaper.present())
        for (int c = 0; c < 3; ++c)
            colour[std::size_t(c)] = shaped(shaper, colour[std::size_t(c)], c);
    if (cube.present())
        colour = trilinear(cube, colour);
    for (double& value : colour)
        value = std::clamp(value, 0.0, 1.0);
    return colour;
}

namespace {

// The window's byte for the value written "0.mmmmmm" (or "1.000000").
std::uint8_t windowByte(std::int32_t micro)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%06d", int(micro / 1000000), int(micro % 1000000));
    cube::FieldParser field;
    for (const char* c = text; *c != 0; ++c)
        field.put(*c);
    return cube::storedChannel(field.value());
}

// For each byte, the millionths written for it: the window stores byte b
// for every value from first[b] to first[b + 1] - 1.
const std::array<std::int32_t, 257>& firstMicros()
{
    static const auto first = [] {
        std::array<std::int32_t, 257> table{};
        for (int b = 0; b <= 256; ++b) {
            std::int32_t low = 0, high = 1000001; // the first micro whose byte is >= b
            while (low < high) {
                const std::int32_t middle = (low + high) / 2;
                if (middle <= 1000000 && windowByte(middle) < b)
                    low = middle + 1;
                else
                    high = middle;
            }
            table[std::size_t(b)] = low;
        }
        return table;
    }();
    return first;
}

// The millionths nearest to value among those the window stores as byte.
std::int32_t microsFor(std::uint8_t byte, double value)
{
    const auto& first = firstMicros();
    return std::clamp(cube::micros(value), first[byte], first[std::size_t(byte) + 1] - 1);
}

std::string printableTitle(const std::string& title)
{
    std::string text = title;
    for (char& c : text)
        if (c < 0x20 || c > 0x7E || c == '"')
            c = '?';
    return text;
}

} // namespace

bool AuthorCube::windowReadsAsIs(int size) const
{
    return cube.present() && !shaper.present() && cube.plainDomain() && size == cube.size;
}

int AuthorCube::copySize(int requested) const
{
    if (cube.present() && cube.size <= kWindowMax3D)
        return cube.size;
    if (requested != 0)
        return requested;
    return cube.present() ? kResampledSize : kOneDSize;
}

void AuthorCube::writeWindowCopy(int size, const std::function<void(std::string_view)>& sink) const
{
    cube::CubeHeadLines head;
    if (!title.empty())
        head.afterSize.push_back("TITLE \"" + printableTitle(title) + "\"");
    const bool asIs = windowReadsAsIs(size);
    const double last = size - 1;
    cube::writeCube(head, size, [&](int r, int g, int b) {
        cube::Micros out{};
        if (asIs) {
            const std::size_t entry = (std::size_t(b) * std::size_t(size) + std::size_t(g)) * std::size_t(size) + std::size_t(r);
            for (std::size_t c = 0; c < 3; ++c)
                out[c] = microsFor(cube.bytes[3 * entry + c], cube.values[3 * entry + c]);
            return out;
        }
        const CubeRgb value = apply({r / last, g / last, b / last});
        for (std::size_t c = 0; c < 3; ++c)
            out[c] = microsFor(cube::storedChannel(static_cast<long double>(value[c])), value[c]);
        return out;
    }, sink);
}

AuthorCube readAuthorCube(std::istream& in)
{
    try {
        return AuthorReading().run(in);
    } catch (const std::bad_alloc&) {
        throw Error(lutmsg::kOutOfMemory);
    }
}

AuthorCube readAuthorCubeFile(const std::string& path)
{
    struct stat status{};
    const bool found = ::stat(path.c_str(), &status) == 0;
    int error = !found ? errno : S_ISREG(status.st_mode) ? 0 : EISDIR;
    FileDescriptor file;
    if (error == 0) {
        // Opened as every effect is, so that a file another program holds
        // cannot make the reading wait.
        file = openInputFile(path);
        error = !file.isOpen() ? errno : isRegularFile(file.get()) ? 0 : EISDIR;
    }
    if (error != 0)
        throw Error(openFailureMessage(path, error));
    InputFileBuffer buffer(std::move(file));
    std::istream in(&buffer);
    return readAuthorCube(in);
}

} // namespace teintelle
