// The reader as a stream: bounded memory whatever the input, pieces split
// anywhere, and no reading past what the result needs.
#include "common/Error.h"
#include "lut/CubeFixtures.h"
#include "lut/CubeReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <streambuf>
#include <string>

using namespace teintelle;

// Live and peak heap bytes of this test program, through the global
// operator new (the table itself comes from calloc and is not counted).
namespace {
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};
constexpr std::size_t kHeader = 16;
} // namespace

void* operator new(std::size_t size)
{
    auto* block = static_cast<char*>(std::malloc(size + kHeader));
    if (block == nullptr)
        throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    const std::size_t now = liveBytes += size;
    for (std::size_t peak = peakBytes; now > peak && !peakBytes.compare_exchange_weak(peak, now);) {
    }
    return block + kHeader;
}

void operator delete(void* pointer) noexcept
{
    if (pointer == nullptr)
        return;
    char* block = static_cast<char*>(pointer) - kHeader;
    liveBytes -= *reinterpret_cast<std::size_t*>(block);
    std::free(block);
}

void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

namespace {

// A stream of prefix, then `repeat` bytes cycling through `pattern`, then
// suffix, made on demand: its size costs no memory.
class GeneratedStream : public std::streambuf {
public:
    GeneratedStream(std::string prefix, std::string pattern, std::uint64_t repeat, std::string suffix)
        : prefix_(std::move(prefix)), pattern_(std::move(pattern)), repeat_(repeat), suffix_(std::move(suffix))
    {
    }
    std::uint64_t served() const { return position_; }

protected:
    std::streamsize xsgetn(char* s, std::streamsize n) override
    {
        std::streamsize count = 0;
        for (; count < n; ++count) {
            const int c = at(position_);
            if (c < 0)
                break;
            s[count] = char(c);
            ++position_;
        }
        return count;
    }
    int_type underflow() override { return traits_type::eof(); } // reads go through xsgetn

private:
    int at(std::uint64_t i) const
    {
        if (i < prefix_.size())
            return (unsigned char)prefix_[i];
        i -= prefix_.size();
        if (i < repeat_)
            return (unsigned char)pattern_[i % pattern_.size()];
        i -= repeat_;
        return i < suffix_.size() ? (unsigned char)suffix_[i] : -1;
    }

    std::string prefix_, pattern_;
    std::uint64_t repeat_;
    std::string suffix_;
    std::uint64_t position_ = 0;
};

struct Outcome {
    CubeStatus status = CubeStatus::Loaded;
    std::string error;
    std::size_t peakHeap = 0; // bytes above what was live before the read
};

Outcome readGenerated(GeneratedStream& source, LutTable& table, std::int32_t& taille)
{
    std::istream in(&source);
    Outcome outcome;
    const std::size_t before = liveBytes;
    peakBytes = before;
    try {
        outcome.status = readCube(in, table, taille);
    } catch (const Error& error) {
        outcome.error = error.what();
    }
    outcome.peakHeap = peakBytes - before;
    return outcome;
}

constexpr std::size_t kSmallHeap = std::size_t{512} * 1024;

std::string binaryJunk()
{
    std::string junk;
    for (int c = 1; c < 256; ++c)
        if (c != '\r' && c != '\n')
            junk += char(c);
    return junk;
}

} // namespace

TEST(CubeStream, AHugeSingleLineOfBinaryCostsNoMoreMemoryThanASmallFile)
{
    GeneratedStream video("", binaryJunk(), 24u << 20, "");
    LutTable table;
    std::int32_t taille = 0;
    const auto outcome = readGenerated(video, table, taille);
    EXPECT_EQ(outcome.error, "Index de liste hors limites (1)");
    EXPECT_LT(outcome.peakHeap, kSmallHeap);
    EXPECT_EQ(video.served(), 24u << 20) << "the whole line had to be read";
}

TEST(CubeStream, AHugeFieldIsReadInConstantMemory)
{
    // 0.000...0005 with sixteen million zeros reads as 0.
    GeneratedStream field("LUT_3D_SIZE 1\n0.", "0", 16u << 20, "5 0.2 0.3\n");
    LutTable table;
    std::int32_t taille = 0;
    const auto outcome = readGenerated(field, table, taille);
    ASSERT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.status, CubeStatus::Loaded);
    EXPECT_LT(outcome.peakHeap, kSmallHeap);
    EXPECT_EQ(table(0, 0, 0).r, 0);
    EXPECT_EQ(table(0, 0, 0).v, 51);
    EXPECT_EQ(table(0, 0, 0).b, 76);
}

TEST(CubeStream, ReadingStopsOnceTheTableIsFull)
{
    GeneratedStream longTail(test::identityCubeText(2), "0.1 0.1 0.1\n", std::uint64_t(1) << 40, "");
    LutTable table;
    std::int32_t taille = 0;
    const auto outcome = readGenerated(longTail, table, taille);
    EXPECT_EQ(outcome.status, CubeStatus::Loaded);
    EXPECT_EQ(table(1, 1, 1).b, 255);
    EXPECT_LT(longTail.served(), 1u << 20);
}

TEST(CubeStream, AStructureErrorStopsReading)
{
    GeneratedStream oneD("LUT_1D_SIZE 4096\n", "0.1 0.1 0.1\n", std::uint64_t(1) << 40, "");
    LutTable table;
    std::int32_t taille = 0;
    EXPECT_EQ(readGenerated(oneD, table, taille).status, CubeStatus::SizeNotFound);
    EXPECT_LT(oneD.served(), 1u << 20);
}

// Texts longer than the reader's pieces, shifted so that every byte of a
// line, a CR LF pair and each multi-byte character meet a piece boundary.
TEST(CubeStream, LinesAndCharactersSplitAcrossPieces)
{
    const int n = 18; // 5832 lines: longer than one piece in every encoding below
    const auto utf16 = [](const std::string& text, bool little) {
        std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
        for (char c : text)
            out += little ? std::string{c, '\0'} : std::string{'\0', c};
        return out;
    };
    const struct {
        const char* name;
        std::string line;
        bool asUtf16;
        const char* mark;
    } kinds[] = {
        {"CR LF", "0.5 0.2 0.3\r\n", false, ""},
        {"CR", "0.5 0.2 0.3\r", false, ""},
        {"UTF-8, two-byte character", "0.5 0.2 0.3\xC3\xA9\n", false, "\xEF\xBB\xBF"},
        {"UTF-8, four-byte character", "0.5 0.2 0.3\xF0\x9F\x98\x80\n", false, "\xEF\xBB\xBF"},
        {"UTF-16", "0.5 0.2 0.3\r\n", true, ""},
    };
    for (const auto& kind : kinds) {
        const bool accented = std::string(kind.mark) == "\xEF\xBB\xBF";
        for (std::size_t shift = 0; shift < kind.line.size() * (kind.asUtf16 ? 2 : 1); ++shift) {
            std::string text = "# " + std::string(shift, 'x') + "\nLUT_3D_SIZE 18\n";
            for (int i = 0; i < n * n * n; ++i)
                text += kind.line;
            text = kind.asUtf16 ? utf16(text, shift % 2 == 0) : kind.mark + text;
            LutTable table;
            std::int32_t taille = 0;
            ASSERT_EQ(test::readText(text, table, taille), CubeStatus::Loaded) << kind.name << " shift " << shift;
            const std::uint8_t expectedBlue = accented ? 0 : 76; // "0.3é" is not a number
            for (int i : {0, 5000, n * n * n - 1}) {
                const TLutValeur& entry = table.inFileOrder(std::uint64_t(i));
                ASSERT_EQ(entry, (TLutValeur{127, 51, expectedBlue}))
                    << kind.name << " shift " << shift << " entry " << i;
            }
        }
    }
}

TEST(CubeStream, AReadErrorIsRaised)
{
    test::FailingStreamBuffer failing;
    std::istream in(&failing);
    LutTable table;
    std::int32_t taille = 0;
    try {
        readCube(in, table, taille);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "Erreur de lecture du flux");
    }
}
