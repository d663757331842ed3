#include "lut/CubeReader.h"

#include "common/Error.h"
#include "lut/CubeNumbers.h"
#include "lut/CubeText.h"
#include "lut/LutMessages.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <string>
#include <type_traits>

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

// What an observed reading keeps besides the reader's own state: the text of
// the line being read and of the head lines, which the observer is given
// once the head's decisions are known.
struct Watch {
    CubeReadObserver* observer = nullptr;
    std::uint64_t lineNumber = 0;
    std::string line;
    bool truncated = false;
    std::array<std::string, kExaminedLines> headText;
    std::array<bool, kExaminedLines> headTruncated{};
    std::exception_ptr error;   // raised once the whole text was seen
    std::uint64_t fromStart = 0; // lines from the data start on, once it is known

    void keep(const char* p, const char* end)
    {
        const std::size_t room = CubeLine::kKeptChars - line.size();
        const auto length = std::size_t(end - p);
        line.append(p, std::min(room, length));
        truncated = truncated || length > room;
    }
};
struct NoWatch {};

// The reading itself. Unobserved, it stops as soon as its outcome is known;
// observed, it goes on to the end of the text, telling the observer each line,
// and raises a failure only then. The unobserved instance holds none of the
// observed one's code.
template <bool kObserved>
class CubeReading {
public:
    CubeReading(LutTable& table, std::int32_t& taille) : table_(table), taille_(taille) {}
    CubeReading(LutTable& table, std::int32_t& taille, CubeReadObserver& observer) : CubeReading(table, taille)
    {
        watch_.observer = &observer;
    }

    CubeStatus run(std::istream& in)
    {
        if constexpr (kObserved) {
            try {
                read(in);
            } catch (const Error&) {
                // A read error: the lines so far are told; the reader fails
                // with it unless its outcome was known before.
                if (phase_ == Phase::Head) {
                    if (lineOpen_)
                        keepHeadLine(parser_.finish());
                    tellHead();
                } else if (lineOpen_) {
                    tellLine(parser_.finish());
                }
                tellTail();
                if (phase_ != Phase::Done)
                    throw;
                return outcome();
            }
            tellTail();
            return outcome();
        } else {
            return read(in);
        }
    }

private:
    enum class Phase { Head, Data, Done };

    CubeStatus read(std::istream& in)
    {
        cube::CubeTextSource text(in);
        for (auto piece = text.next(); !piece.empty(); piece = text.next()) {
            if (consume(piece.data(), piece.data() + piece.size()))
                return status_;
        }
        if (lineOpen_ && endLine())
            return status_;
        if (phase_ == Phase::Head)
            guarded([this] { decide(); });
        return status_;
    }

    // Splits the text into lines: CR LF, LF and CR each end a line. Returns
    // true once the outcome is known and nothing further need be read, which
    // an observed reading never says.
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
            if (phase_ != Phase::Head && !lineOpen_) {
                // The usual case: a whole data line inside the piece.
                const char* lineEnd = cube::findLineBreak(p, end);
                if (lineEnd != end) {
                    pendingCr_ = *lineEnd == '\r';
                    const auto values = parser_.parseLine(p, lineEnd);
                    if constexpr (kObserved)
                        watch_.keep(p, lineEnd);
                    p = lineEnd + 1;
                    if (dataLine(values))
                        return true;
                    continue;
                }
            }
            const char* stop = phase_ == Phase::Head ? feedHead(p, end) : parser_.feed(p, end);
            if constexpr (kObserved)
                watch_.keep(p, stop);
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
        if (phase_ != Phase::Head)
            return dataLine(values);

        keepHeadLine(values);
        if (headCount_ < kExaminedLines)
            return false;
        guarded([this] { decide(); });
        return phase_ == Phase::Done && !kObserved;
    }

    void keepHeadLine(const cube::DataLineParser::Values& values)
    {
        if constexpr (kObserved) {
            watch_.headText[std::size_t(headCount_)] = std::move(watch_.line);
            watch_.headTruncated[std::size_t(headCount_)] = watch_.truncated;
            watch_.line.clear();
            watch_.truncated = false;
        }
        HeadLine& line = head_[std::size_t(headCount_++)];
        line.values = values;
        line.hasKeyword = keyword_.found();
        keyword_.reset();
    }

    // A line after the head: one entry while the table is being filled.
    bool dataLine(const cube::DataLineParser::Values& values)
    {
        if constexpr (kObserved) {
            tellLine(values);
            if (watch_.fromStart != 0)
                ++watch_.fromStart;
            if (phase_ == Phase::Data)
                guarded([&] { storeEntry(values); });
            return false;
        } else {
            return storeEntry(values);
        }
    }

    // The two searches over the head, then the resize and the head's data lines.
    void decide()
    {
        if constexpr (kObserved)
            tellHead();
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
        if constexpr (kObserved)
            watch_.fromStart = std::uint64_t(headCount_ - dataLine);
        for (int i = dataLine; i < headCount_ && phase_ == Phase::Data; ++i)
            storeEntry(head_[std::size_t(i)].values);
    }

    // The first of lines 1 to 20 that matches, as a 0-based index, or -1 when
    // none does; `complete` tells whether line 21 was there to examine.
    template <typename Matches>
    int firstMatch(Matches matches, bool& complete) const
    {
        for (int i = 0; i < kExaminedLines; ++i) {
            if (i >= headCount_) {
                complete = false;
                return -1;
            }
            if (i < kMatchingLines && matches(head_[std::size_t(i)]))
                return i;
        }
        complete = true;
        return -1;
    }

    // Index of the first of lines 1 to 20 that matches, or -1 once line 21 was
    // examined; examining a line past the end of the text is the list error.
    template <typename Matches>
    int search(Matches matches) const
    {
        bool complete = true;
        const int found = firstMatch(matches, complete);
        if (found < 0 && !complete)
            throw listIndexError(headCount_);
        return found;
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

    // Runs a step of the reading; observed, an error it raises ends the
    // reading but is kept until the whole text was seen.
    template <typename Step>
    void guarded(Step step)
    {
        if constexpr (kObserved) {
            try {
                step();
            } catch (const Error&) {
                if (!watch_.error)
                    watch_.error = std::current_exception();
                phase_ = Phase::Done;
            }
        } else {
            step();
        }
    }

    CubeStatus outcome() const
    {
        if constexpr (kObserved) {
            if (watch_.error)
                std::rethrow_exception(watch_.error);
        }
        return status_;
    }

    void tellHead()
    {
        if constexpr (kObserved) {
            bool complete = true;
            const int sizeLine = firstMatch([](const HeadLine& line) { return line.hasKeyword; }, complete);
            const int dataLine = firstMatch([](const HeadLine& line) { return line.beginsWithZeroDot(); }, complete);
            watch_.observer->head(CubeSearches{sizeLine + 1, dataLine + 1});
            for (int i = 0; i < headCount_; ++i) {
                const auto& text = watch_.headText[std::size_t(i)];
                watch_.observer->line(CubeLine{std::uint64_t(i + 1), text, watch_.headTruncated[std::size_t(i)],
                                               head_[std::size_t(i)].values});
            }
            watch_.lineNumber = std::uint64_t(headCount_);
        }
    }

    void tellLine(const cube::DataLineParser::Values& values)
    {
        if constexpr (kObserved) {
            watch_.observer->line(CubeLine{++watch_.lineNumber, watch_.line, watch_.truncated, values});
            watch_.line.clear();
            watch_.truncated = false;
        }
    }

    void tellTail()
    {
        if constexpr (kObserved)
            watch_.observer->tail(CubeTail{stored_, watch_.fromStart - std::min(watch_.fromStart, stored_)});
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

    [[no_unique_address]] std::conditional_t<kObserved, Watch, NoWatch> watch_;
};

} // namespace

CubeStatus readCube(std::istream& in, LutTable& table, std::int32_t& tailleTableLut)
{
    return CubeReading<false>(table, tailleTableLut).run(in);
}

CubeStatus readCube(std::istream& in, LutTable& table, std::int32_t& tailleTableLut, CubeReadObserver& observer)
{
    return CubeReading<true>(table, tailleTableLut, observer).run(in);
}

} // namespace teintelle
