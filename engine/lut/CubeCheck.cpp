#include "lut/CubeCheck.h"

#include "common/Error.h"
#include "common/InputFile.h"
#include "lut/CubeNumbers.h"
#include "lut/CubeText.h"
#include "lut/LutTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <sstream>
#include <utility>

namespace teintelle {

namespace {

// The reader searches lines 1 to 20 for its size line and its data start.
constexpr std::uint64_t kHeadLines = 20;
// Of each line, this much is kept for the author's reading; a longer line is
// no data line a grading tool writes.
constexpr std::size_t kKeptChars = 4096;
// Lines named in one message; the rest are counted.
constexpr std::size_t kNamedLines = 5;
// The author's entries kept for the final comparison (a 512^3 table).
constexpr std::uint64_t kKeptEntries = std::uint64_t(1) << 27;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

std::vector<std::string_view> tokens(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        if (i > start)
            words.push_back(text.substr(start, i - start));
    }
    return words;
}

bool startsWithBlank(std::string_view text) { return !text.empty() && isBlank(text.front()); }
bool endsWithBlank(std::string_view text) { return !text.empty() && isBlank(text.back()); }

std::string trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// A number as grading tools write one: optional sign, digits with an optional
// point (at least one digit), optional exponent.
bool isNumber(std::string_view token)
{
    std::size_t i = 0;
    if (i < token.size() && (token[i] == '+' || token[i] == '-'))
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < token.size(); ++i) {
        if (token[i] >= '0' && token[i] <= '9')
            ++digits;
        else if (token[i] == '.' && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return false;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '+' || token[i] == '-'))
            ++i;
        const std::size_t exponentStart = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9')
            ++i;
        if (i == exponentStart)
            return false;
    }
    return i == token.size();
}

// The value the reader's own arithmetic gives the token.
long double numberValue(std::string_view token)
{
    cube::FieldParser field;
    for (const char c : token)
        field.put(c);
    return field.value();
}

std::optional<std::uint8_t> storedByte(long double value)
{
    try {
        return cube::storedChannel(value);
    } catch (const Error&) {
        return std::nullopt;
    }
}

std::uint8_t clippedByte(long double value)
{
    return *storedByte(std::clamp(value, 0.0L, 1.0L));
}

bool sameEntry(const TLutValeur& a, const TLutValeur& b) { return a.r == b.r && a.v == b.v && a.b == b.b; }

std::string formatted(const char* format, auto... values)
{
    char text[512];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Line numbers for one message: the first few named, the rest counted.
class LineList {
public:
    void add(std::uint64_t line)
    {
        if (named_.size() < kNamedLines)
            named_.push_back(line);
        ++count_;
    }
    void take(LineList& other)
    {
        for (const auto line : other.named_)
            if (named_.size() < kNamedLines)
                named_.push_back(line);
        count_ += other.count_;
        other = LineList();
    }
    bool empty() const { return count_ == 0; }
    std::uint64_t count() const { return count_; }

    std::string describe() const
    {
        std::string text = count_ == 1 ? "ligne " : "lignes ";
        for (std::size_t i = 0; i < named_.size(); ++i)
            text += (i == 0 ? "" : ", ") + std::to_string(named_[i]);
        if (count_ > named_.size())
            text += formatted(" et %llu autres", static_cast<unsigned long long>(count_ - named_.size()));
        return text;
    }

private:
    std::vector<std::uint64_t> named_;
    std::uint64_t count_ = 0;
};

enum class LineKind { Blank, Comment, Text, Data };

LineKind classify(std::string_view text)
{
    const auto first = std::find_if(text.begin(), text.end(), [](char c) { return !isBlank(c); });
    if (first == text.end())
        return LineKind::Blank;
    if (*first == '#')
        return LineKind::Comment;
    if ((*first >= '0' && *first <= '9') || *first == '-' || *first == '+' || *first == '.')
        return LineKind::Data;
    return LineKind::Text; // keywords, and any other text
}

// The author's reading and the program's, line by line, as the text streams by.
class Analysis {
public:
    void line(std::string_view kept, bool truncated, const cube::DataLineParser::Values& reader)
    {
        ++lineNumber_;
        if (lineNumber_ <= kHeadLines) {
            if (readerSizeLine_ == 0 && kept.find("LUT_3D_SIZE") != std::string_view::npos)
                readerSizeLine_ = lineNumber_;
            if (readerStart_ == 0 && kept.size() >= 2 && kept[0] == '0' && kept[1] == '.') {
                readerStart_ = lineNumber_;
                dataBeforeStart_ = dataLines_;
            }
        }
        const LineKind kind = classify(kept);
        if (kind == LineKind::Text)
            keyword(kept);
        if (kind != LineKind::Data) {
            if (readerStart_ != 0)
                betweenData_.add(lineNumber_);
            return;
        }
        dataLine(kept, truncated, reader);
    }

    void finish(CubeCheck& check, const LutTable& table) const
    {
        check.declaredTaille = declaredTaille_;
        check.dataLines = dataLines_;
        auto say = [&check](CubeDeparture kind, std::string text) { check.departures.push_back({kind, std::move(text)}); };

        sizeDepartures(check, say);
        startDepartures(say);
        if (!insideData_.empty())
            say(CubeDeparture::LinesInData,
                insideData_.describe()
                    + " : lignes de commentaire, vides ou de mot-clé au milieu des données ; chacune prend la"
                      " place d'une entrée et décale toutes les suivantes");
        if (!separators_.empty())
            say(CubeDeparture::Separators,
                separators_.describe()
                    + " : champs séparés par des tabulations, par plusieurs espaces ou précédés d'une indentation ;"
                      " le programme n'y lit pas les valeurs écrites");
        if (!unreadable_.empty())
            say(CubeDeparture::UnreadableData,
                unreadable_.describe()
                    + " : lignes de données qui ne sont pas trois nombres ; le programme y lit d'autres valeurs");
        if (!wrapped_.empty())
            say(CubeDeparture::WrappedValues,
                wrapped_.describe() + " : valeurs hors de 0..1 que le programme ne borne pas (" + wrapExample_
                    + ") ; l'octet stocké repart de l'autre bout");
        if (domainLine_ != 0)
            say(CubeDeparture::Domain, formatted("ligne %llu : « %s » : le programme ignore le domaine d'entrée et"
                                                 " le prend pour 0 à 1",
                                                 static_cast<unsigned long long>(domainLine_), domainText_.c_str()));
        if (rangeLine_ != 0)
            say(CubeDeparture::InputRange, formatted("ligne %llu : « %s » : le programme ignore cette plage d'entrée et"
                                                     " la prend pour 0 à 1",
                                                     static_cast<unsigned long long>(rangeLine_), rangeText_.c_str()));
        countDeparture(check, say);
        if (check.departures.empty() && check.applies)
            compareEntries(check, table, say);
    }

private:
    void keyword(std::string_view kept)
    {
        const auto words = tokens(kept);
        const std::string_view name = words.front();
        if (name == "LUT_3D_SIZE" && sizeLine_ == 0) {
            sizeLine_ = lineNumber_;
            sizeText_ = std::string(kept);
            std::int32_t n = 0;
            if (words.size() == 2) {
                const auto [end, error] = std::from_chars(words[1].data(), words[1].data() + words[1].size(), n);
                if (error != std::errc() || end != words[1].data() + words[1].size())
                    n = 0;
            }
            declaredTaille_ = n;
        } else if (name == "LUT_1D_SIZE" && oneDLine_ == 0) {
            oneDLine_ = lineNumber_;
        } else if ((name == "DOMAIN_MIN" || name == "DOMAIN_MAX") && domainLine_ == 0) {
            const long double standard = name == "DOMAIN_MIN" ? 0.0L : 1.0L;
            if (!allNumbersAre(words, 1, {standard, standard, standard})) {
                domainLine_ = lineNumber_;
                domainText_ = trimmed(kept);
            }
        } else if (name == "LUT_3D_INPUT_RANGE" && rangeLine_ == 0) {
            if (!allNumbersAre(words, 1, {0.0L, 1.0L})) {
                rangeLine_ = lineNumber_;
                rangeText_ = trimmed(kept);
            }
        }
    }

    static bool allNumbersAre(const std::vector<std::string_view>& words, std::size_t from,
                              std::initializer_list<long double> expected)
    {
        if (words.size() != from + expected.size())
            return false;
        std::size_t i = from;
        for (const long double value : expected) {
            if (!isNumber(words[i]) || numberValue(words[i]) != value)
                return false;
            ++i;
        }
        return true;
    }

    void dataLine(std::string_view kept, bool truncated, const cube::DataLineParser::Values& reader)
    {
        ++dataLines_;
        if (firstData_ == 0) {
            firstData_ = lineNumber_;
            firstDataText_ = std::string(kept.substr(0, 64));
        }
        if (readerStart_ != 0)
            insideData_.take(betweenData_);

        const auto read = std::array{storedByte(reader.r), storedByte(reader.v), storedByte(reader.b)};
        const TLutValeur readEntry{read[0].value_or(0), read[1].value_or(0), read[2].value_or(0)};
        const bool readFails = !read[0] || !read[1] || !read[2];

        const auto words = tokens(kept);
        const bool threeNumbers =
            !truncated && words.size() == 3 && std::all_of(words.begin(), words.end(), isNumber);
        TLutValeur meant = readEntry;
        // Lines before the reader's data start are not read as data: the
        // data start's message speaks for them.
        const bool readAsData = readerStart_ != 0;
        if (!threeNumbers) {
            if (readAsData)
                unreadable_.add(lineNumber_);
        } else {
            std::uint8_t bytes[3];
            bool wraps = false;
            for (int c = 0; c < 3; ++c) {
                const long double value = numberValue(words[std::size_t(c)]);
                bytes[c] = clippedByte(value);
                const auto stored = storedByte(value);
                if (stored != bytes[c]) {
                    wraps = true;
                    if (wrapExample_.empty() && readAsData)
                        wrapExample_ = stored ? formatted("%s donne %d au lieu de %d", std::string(words[std::size_t(c)]).c_str(),
                                                          int(*stored), int(bytes[c]))
                                              : formatted("%s est hors de portée", std::string(words[std::size_t(c)]).c_str());
                }
            }
            meant = TLutValeur{bytes[0], bytes[1], bytes[2]};
            if (wraps && readAsData)
                wrapped_.add(lineNumber_);
            if (readAsData && !readFails && !sameEntry(readEntry, meant) && oddSeparators(kept))
                separators_.add(lineNumber_);
        }
        if (meantEntries_.size() < kKeptEntries)
            meantEntries_.push_back(meant);
    }

    static bool oddSeparators(std::string_view text)
    {
        return startsWithBlank(text) || text.find_first_of("\t\f\v") != std::string_view::npos
            || text.find("  ") != std::string_view::npos;
    }

    template <typename Say>
    void sizeDepartures(const CubeCheck& check, Say& say) const
    {
        if (oneDLine_ != 0)
            say(CubeDeparture::Table1D, formatted("ligne %llu : table 1D (LUT_1D_SIZE) ; le programme ne lit que les"
                                                  " tables 3D",
                                                  static_cast<unsigned long long>(oneDLine_)));
        if (sizeLine_ == 0) {
            if (oneDLine_ == 0)
                say(CubeDeparture::NoSizeLine, "aucune ligne « LUT_3D_SIZE » : le programme ne peut pas connaître la"
                                               " taille de la table");
            return;
        }
        const auto line = static_cast<unsigned long long>(sizeLine_);
        if (declaredTaille_ == 0) {
            say(CubeDeparture::SizeLine, formatted("ligne %llu : « %s » ne donne pas la taille en nombre entier", line,
                                                   trimmed(sizeText_).c_str()));
        } else if (check.taille != declaredTaille_) {
            say(CubeDeparture::SizeLine, sizeReason(check.taille));
        }
        const std::int32_t n = check.taille != 0 ? check.taille : declaredTaille_;
        if (n < 0 || !LutTable::fitsInMemoryLimit(n))
            say(CubeDeparture::SizeNotApplied,
                formatted("taille %d : le programme ne peut pas appliquer une table de cette taille", int(n)));
    }

    std::string sizeReason(std::int32_t readSize) const
    {
        const auto line = static_cast<unsigned long long>(sizeLine_);
        if (sizeLine_ > kHeadLines)
            return formatted("ligne %llu : la ligne de taille est au-delà de la ligne 20, où le programme ne la"
                             " cherche plus",
                             line);
        if (readerSizeLine_ != sizeLine_)
            return formatted("ligne %llu : le programme prend cette ligne, où figure « LUT_3D_SIZE », pour la ligne"
                             " de taille et n'y lit pas %d",
                             static_cast<unsigned long long>(readerSizeLine_), int(declaredTaille_));
        if (startsWithBlank(sizeText_))
            return formatted("ligne %llu : la ligne de taille est indentée ; le programme n'y lit pas la taille",
                             line);
        if (endsWithBlank(sizeText_))
            return formatted("ligne %llu : la ligne de taille finit par une espace ; le programme n'y lit pas la"
                             " taille",
                             line);
        if (readSize == 0)
            return formatted("ligne %llu : le programme ne lit pas la taille dans « %s »", line,
                             trimmed(sizeText_).c_str());
        return formatted("ligne %llu : le programme lit la taille %d au lieu de %d", line, int(readSize),
                         int(declaredTaille_));
    }

    template <typename Say>
    void startDepartures(Say& say) const
    {
        if (firstData_ == 0 || readerStart_ == firstData_)
            return;
        const auto line = static_cast<unsigned long long>(firstData_);
        std::string text;
        const auto words = tokens(firstDataText_);
        if (firstData_ > kHeadLines)
            text = formatted("ligne %llu : la première ligne de données est au-delà de la ligne 20", line);
        else if (startsWithBlank(firstDataText_))
            text = formatted("ligne %llu : la première ligne de données est indentée", line);
        else if (!words.empty() && words[0].find_first_not_of("+-0123456789") == std::string_view::npos)
            text = formatted("ligne %llu : la première ligne de données est écrite en nombres entiers", line);
        else
            text = formatted("ligne %llu : la première ligne de données ne commence pas par « 0. »", line);
        if (readerStart_ == 0)
            text += " ; le programme ne trouve pas le début des données";
        else
            text += formatted(" ; le programme ne commence les données qu'à la ligne %llu, perd %llu %s et"
                              " décale toutes les autres",
                              static_cast<unsigned long long>(readerStart_),
                              static_cast<unsigned long long>(dataBeforeStart_),
                              dataBeforeStart_ == 1 ? "entrée" : "entrées");
        say(CubeDeparture::DataStart, text);
    }

    template <typename Say>
    void countDeparture(const CubeCheck& check, Say& say) const
    {
        const std::int32_t n = check.expectedTaille();
        if (n <= 0 || !LutTable::fitsInMemoryLimit(n))
            return;
        const std::uint64_t expected = std::uint64_t(n) * std::uint64_t(n) * std::uint64_t(n);
        if (dataLines_ < expected)
            say(CubeDeparture::LineCount,
                formatted("%llu lignes de données pour %llu attendues (%d³) : il en manque %llu, que le programme"
                          " laisse à 0 (noir)",
                          static_cast<unsigned long long>(dataLines_), static_cast<unsigned long long>(expected),
                          int(n), static_cast<unsigned long long>(expected - dataLines_)));
        else if (dataLines_ > expected)
            say(CubeDeparture::LineCount,
                formatted("%llu lignes de données pour %llu attendues (%d³) : %llu de trop, que le programme ignore",
                          static_cast<unsigned long long>(dataLines_), static_cast<unsigned long long>(expected),
                          int(n), static_cast<unsigned long long>(dataLines_ - expected)));
    }

    // The last word: whatever the causes named above, a table that differs
    // from the author's is never reported as meant.
    template <typename Say>
    void compareEntries(const CubeCheck& check, const LutTable& table, Say& say) const
    {
        if (table.taille() != check.taille)
            return;
        const std::uint64_t count = std::min<std::uint64_t>(table.entryCount(), meantEntries_.size());
        for (std::uint64_t k = 0; k < count; ++k) {
            if (!sameEntry(table.data()[k], meantEntries_[k])) {
                say(CubeDeparture::Entries,
                    formatted("l'entrée %llu lue par le programme diffère de celle du fichier",
                              static_cast<unsigned long long>(k + 1)));
                return;
            }
        }
    }

    std::uint64_t lineNumber_ = 0;
    std::uint64_t readerSizeLine_ = 0;
    std::uint64_t readerStart_ = 0;
    std::uint64_t dataBeforeStart_ = 0;

    std::uint64_t sizeLine_ = 0;
    std::string sizeText_;
    std::int32_t declaredTaille_ = 0;
    std::uint64_t oneDLine_ = 0;
    std::uint64_t domainLine_ = 0;
    std::string domainText_;
    std::uint64_t rangeLine_ = 0;
    std::string rangeText_;

    std::uint64_t dataLines_ = 0;
    std::uint64_t firstData_ = 0;
    std::string firstDataText_;
    LineList betweenData_; // non-data lines since the last data line
    LineList insideData_;  // non-data lines with data lines on both sides
    LineList separators_;
    LineList unreadable_;
    LineList wrapped_;
    std::string wrapExample_;
    std::vector<TLutValeur> meantEntries_;
};

// Splits the text into lines as the reader does (CR LF, LF, CR; a NUL ends
// the text) and gives each line, with the reader's values for it, to the
// analysis.
void analyse(std::istream& in, Analysis& analysis)
{
    cube::CubeTextSource text(in);
    cube::DataLineParser parser;
    std::string kept;
    bool truncated = false, open = false, pendingCr = false;
    auto endLine = [&] {
        analysis.line(kept, truncated, parser.finish());
        kept.clear();
        truncated = open = false;
    };
    try {
        for (auto piece = text.next(); !piece.empty(); piece = text.next()) {
            const char* p = piece.data();
            const char* const end = p + piece.size();
            while (p != end) {
                if (pendingCr) {
                    pendingCr = false;
                    if (*p == '\n') {
                        ++p;
                        continue;
                    }
                }
                const char* stop = parser.feed(p, end);
                const std::size_t room = kKeptChars - kept.size();
                kept.append(p, std::min<std::size_t>(room, std::size_t(stop - p)));
                truncated = truncated || std::size_t(stop - p) > room;
                open = open || stop != p;
                if (stop == end)
                    break;
                pendingCr = *stop == '\r';
                p = stop + 1;
                endLine();
            }
        }
    } catch (const Error&) {
        // A read error: the reader reports it; the lines read so far are analysed.
    }
    if (open)
        endLine();
}

// The program's reading (read: readCube or loadCubeFile into a fresh table),
// then the author's, then the two set side by side.
template <typename Read>
CubeCheck checkWith(Read read, std::istream* forAnalysis)
{
    CubeCheck result;
    result.found = true;
    LutTable table;
    try {
        const CubeStatus status = read(table, result.taille);
        if (status == CubeStatus::FileMissing)
            return CubeCheck{};
        result.applies = status == CubeStatus::Loaded;
        result.failure = std::string(structureMessage(status));
    } catch (const Error& error) {
        result.failure = error.what();
    }
    Analysis analysis;
    if (forAnalysis != nullptr && *forAnalysis)
        analyse(*forAnalysis, analysis);
    analysis.finish(result, table);
    return result;
}

} // namespace

CubeCheck checkCube(std::string_view bytes)
{
    std::istringstream forReader{std::string(bytes)};
    std::istringstream forAnalysis{std::string(bytes)};
    return checkWith([&](LutTable& table, std::int32_t& taille) { return readCube(forReader, table, taille); },
                     &forAnalysis);
}

CubeCheck checkCubeFile(const std::string& path)
{
    if (!namesRegularFile(path))
        return CubeCheck{};
    // The author's reading goes through a descriptor of its own, opened as
    // the program's: a file that would make it wait is unreadable.
    FileDescriptor file = openInputFile(path);
    const bool readable = file.isOpen() && isRegularFile(file.get());
    InputFileBuffer buffer(std::move(file));
    std::istream forAnalysis(&buffer);
    if (!readable)
        forAnalysis.setstate(std::ios::badbit);
    return checkWith([&](LutTable& table, std::int32_t& taille) { return loadCubeFile(path, table, taille); },
                     &forAnalysis);
}

} // namespace teintelle
