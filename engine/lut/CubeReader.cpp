#include "lut/CubeReader.h"

#include "common/Error.h"
#include "lut/CubeNumbers.h"
#include "lut/CubeText.h"
#include "lut/LutMessages.h"

#include <array>
#include <cstdio>
#include <string>

namespace teintelle {

std::string_view structureMessage(CubeStatus status)
{
    switch (status) {
    case CubeStatus::SizeNotFound:
        return lutmsg::kSizeNotFound;
    case CubeStatus::DataNotFound:
        return lutmsg::kDataNotFound;
    default:
        return {};
    }
}

namespace {

// The searches examine lines 1 to 21; a match counts on lines 1 to 20.
constexpr int kExaminedLines = 21;
constexpr int kMatchingLines = 20;
// The size is read from characters 13 to 22 of its line.
constexpr std::size_t kSizeFirstChar = 12;
constexpr std::size_t kSizeLastChar = 22;

// Finds "LUT_3D_SIZE" in a line fed character by character. No proper prefix
// of the keyword is also its suffix, so a mismatch restarts at 'L' or at 0.
class KeywordMatcher {
public:
    void put(char c)
    {
        if (matched_ == kKeyword.size())
            return;
        if (c == kKeyword[matched_])
            ++matched_;
        else
            matched_ = c == kKeyword[0] ? 1 : 0;
    }
    bool found() const { return matched_ == kKeyword.size(); }
    void reset() { matched_ = 0; }

private:
    static constexpr std::string_view kKeyword = "LUT_3D_SIZE";
    std::size_t matched_ = 0;
};

// What the searches need to know of a head line, and its values should it
// turn out to be a data line.
struct HeadLine {
    std::array<char, kSizeLastChar> start{};
    std::size_t startLength = 0;
    bool hasKeyword = false;
    cube::DataLineParser::Values values{};

    bool beginsWithZeroDot() const { return startLength >= 2 && start[0] == '0' && start[1] == '.'; }
    std::string_view sizeChars() const
    {
        if (startLength <= kSizeFirstChar)
            return {};
        return std::string_view(start.data() + kSizeFirstChar, startLength - kSizeFirstChar);
    }
};

Error listIndexError(int index)
{
    char text[96];
    std::snprintf(text, sizeof text, lutmsg::kListIndex, index);
    return Error(text);
}

class CubeReading {
public:
    CubeReading(LutTable& table, std::int32_t& taille) : table_(table), taille_(taille) {}

    CubeStatus run(std::istream& in)
    {
        cube::CubeTextSource text(in);
        for (auto piece = text.next(); !piece.empty(); piece = text.next()) {
            if (consume(piece.data(), piece.data() + piece.size()))
                return status_;
        }
        if (lineOpen_ && endLine())
            return status_;
        if (phase_ == Phase::Head)
            decide();
        return status_;
    }

private:
    enum class Phase { Head, Data, Done };

    // Splits the text into lines: CR LF, LF and CR each end a line. Returns
    // true once the outcome is known and nothing further need be read.
    bool consume(const char* p, const char* end)
    {
        while (p != end) {
            if (pendingCr_) {
                pendingCr_ = false;
                if (*p == '\n') {
                    ++p;
                    continue;
                }
            }
            if (phase_ == Phase::Data && !lineOpen_) {
                // The usual case: a whole data line inside the piece.
                const char* lineEnd = cube::findLineBreak(p, end);
                if (lineEnd != end) {
                    pendingCr_ = *lineEnd == '\r';
                    const auto values = parser_.parseLine(p, lineEnd);
                    p = lineEnd + 1;
                    if (storeEntry(values))
                        return true;
                    continue;
                }
            }
            const char* stop = phase_ == Phase::Head ? feedHead(p, end) : parser_.feed(p, end);
            lineOpen_ = lineOpen_ || stop != p;
            if (stop == end)
                return false;
            pendingCr_ = *stop == '\r';
            p = stop + 1;
            if (endLine())
                return true;
        }
        return false;
    }

    const char* feedHead(const char* p, const char* end)
    {
        HeadLine& line = head_[std::size_t(headCount_)];
        const char* stop = parser_.feed(p, end);
        for (const char* c = p; c != stop; ++c) {
            keyword_.put(*c);
            if (line.startLength < line.start.size())
                line.start[line.startLength++] = *c;
        }
        return stop;
    }

    bool endLine()
    {
        lineOpen_ = false;
        const auto values = parser_.finish();
        if (phase_ == Phase::Data)
            return storeEntry(values);

        HeadLine& line = head_[std::size_t(headCount_++)];
        line.values = values;
        line.hasKeyword = keyword_.found();
        keyword_.reset();
        if (headCount_ < kExaminedLines)
            return false;
        decide();
        return phase_ == Phase::Done;
    }

    // The two searches over the head, then the resize and the head's data lines.
    void decide()
    {
        const int sizeLine = search([](const HeadLine& line) { return line.hasKeyword; });
        taille_ = sizeLine < 0 ? 0 : cube::parseSizeInteger(head_[std::size_t(sizeLine)].sizeChars());
        if (taille_ == 0)
            return finish(CubeStatus::SizeNotFound);

        const int dataLine = search([](const HeadLine& line) { return line.beginsWithZeroDot(); });
        if (dataLine < 0)
            return finish(CubeStatus::DataNotFound);

        table_.resize(taille_);
        capacity_ = table_.entryCount();
        phase_ = Phase::Data;
        status_ = CubeStatus::Loaded;
        for (int i = dataLine; i < headCount_ && phase_ == Phase::Data; ++i)
            storeEntry(head_[std::size_t(i)].values);
    }

    // Index of the first of lines 1 to 20 that matches, or -1 once line 21 was
    // examined; examining a line past the end of the text is the list error.
    template <typename Matches>
    int search(Matches matches) const
    {
        for (int i = 0; i < kExaminedLines; ++i) {
            if (i >= headCount_)
                throw listIndexError(headCount_);
            if (i < kMatchingLines && matches(head_[std::size_t(i)]))
                return i;
        }
        return -1;
    }

    // Stores one data line's entry; true once the table is full.
    bool storeEntry(const cube::DataLineParser::Values& values)
    {
        const TLutValeur entry{cube::storedChannel(values.r), cube::storedChannel(values.v),
                               cube::storedChannel(values.b)};
        table_.inFileOrder(stored_++) = entry;
        if (stored_ < capacity_)
            return false;
        phase_ = Phase::Done;
        return true;
    }

    void finish(CubeStatus status)
    {
        status_ = status;
        phase_ = Phase::Done;
    }

    LutTable& table_;
    std::int32_t& taille_;
    Phase phase_ = Phase::Head;
    CubeStatus status_ = CubeStatus::Loaded;

    std::array<HeadLine, kExaminedLines> head_{};
    int headCount_ = 0;
    KeywordMatcher keyword_;
    cube::DataLineParser parser_;
    bool pendingCr_ = false;
    bool lineOpen_ = false;

    std::uint64_t capacity_ = 0;
    std::uint64_t stored_ = 0;
};

} // namespace

CubeStatus readCube(std::istream& in, LutTable& table, std::int32_t& tailleTableLut)
{
    return CubeReading(table, tailleTableLut).run(in);
}

} // namespace teintelle
