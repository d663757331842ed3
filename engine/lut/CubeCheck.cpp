#include "lut/CubeCheck.h"

#include "common/Error.h"
#include "lut/AuthorCube.h"
#include "lut/CubeNumbers.h"
#include "lut/CubeText.h"
#include "lut/LutTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <sstream>

namespace teintelle {

namespace {

// The reader searches lines 1 to 20 for its size line and its data start.
constexpr std::uint64_t kHeadLines = 20;
// Lines named in one message; the rest are counted.
constexpr std::size_t kNamedLines = 5;
// The author's entries kept for the final comparison (a 512^3 table).
constexpr std::uint64_t kKeptEntries = std::uint64_t(1) << 27;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

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

// What the check learns from one reading of the text: the reader's decisions
// and, line by line, the author's reading of the same lines.
struct Facts {
    CubeSearches reader;                 // the reader's size line and data start
    std::uint64_t dataBeforeStart = 0; // the author's data lines before the reader's start

    std::uint64_t sizeLine = 0; // the author's LUT_3D_SIZE line
    std::string sizeText;
    std::int32_t declaredTaille = 0;
    std::uint64_t oneDLine = 0;
    std::uint64_t domainLine = 0; // the first DOMAIN_MIN / DOMAIN_MAX other than 0 / 1
    std::string domainText;
    std::uint64_t rangeLine = 0; // the first LUT_3D_INPUT_RANGE other than 0 1
    std::string rangeText;

    std::uint64_t dataLines = 0;
    std::uint64_t firstData = 0;
    std::string firstDataText;
    LineList insideData; // non-data lines with data lines on both sides
    LineList separators;
    LineList unreadable;
    LineList wrapped;
    // The first value read as data whose stored byte wraps: its text, the byte
    // stored (none when out of range) and the byte meant.
    std::string wrapToken;
    std::optional<std::uint8_t> wrapStored;
    std::uint8_t wrapMeant = 0;
    std::vector<TLutValeur> meantEntries;
};

// Gathers the facts as the reader tells its decisions and its lines.
class FactCollector final : public CubeReadObserver {
public:
    const Facts& facts() const { return facts_; }

    void head(const CubeSearches& head) override { facts_.reader = head; }

    void line(const CubeLine& line) override
    {
        lineNumber_ = line.number;
        if (lineNumber_ == std::uint64_t(facts_.reader.dataStart))
            facts_.dataBeforeStart = facts_.dataLines;
        const LineKind kind = classify(line.text);
        if (kind == LineKind::Text)
            keyword(line.text);
        if (kind != LineKind::Data) {
            if (readAsData())
                betweenData_.add(lineNumber_);
            return;
        }
        dataLine(line.text, line.truncated, line.values);
    }

    // The check counts the author's data lines itself.
    void tail(const CubeTail&) override {}

private:
    // From the reader's data start on, every line is read as an entry.
    bool readAsData() const
    {
        return facts_.reader.dataStart != 0 && lineNumber_ >= std::uint64_t(facts_.reader.dataStart);
    }

    void keyword(std::string_view kept)
    {
        const auto words = cube::blankSeparatedWords(kept);
        const std::string_view name = words.front();
        if (name == "LUT_3D_SIZE" && facts_.sizeLine == 0) {
            facts_.sizeLine = lineNumber_;
            facts_.sizeText = std::string(kept);
            std::int32_t n = 0;
            if (words.size() == 2) {
                const auto [end, error] = std::from_chars(words[1].data(), words[1].data() + words[1].size(), n);
                if (error != std::errc() || end != words[1].data() + words[1].size())
                    n = 0;
            }
            facts_.declaredTaille = n;
        } else if (name == "LUT_1D_SIZE" && facts_.oneDLine == 0) {
            facts_.oneDLine = lineNumber_;
        } else if ((name == "DOMAIN_MIN" || name == "DOMAIN_MAX") && facts_.domainLine == 0) {
            const long double standard = name == "DOMAIN_MIN" ? 0.0L : 1.0L;
            if (!allNumbersAre(words, 1, {standard, standard, standard})) {
                facts_.domainLine = lineNumber_;
                facts_.domainText = trimmed(kept);
            }
        } else if (name == "LUT_3D_INPUT_RANGE" && facts_.rangeLine == 0) {
            if (!allNumbersAre(words, 1, {0.0L, 1.0L})) {
                facts_.rangeLine = lineNumber_;
                facts_.rangeText = trimmed(kept);
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
            if (!cube::isDecimalNumber(words[i]) || numberValue(words[i]) != value)
                return false;
            ++i;
        }
        return true;
    }

    void dataLine(std::string_view kept, bool truncated, const cube::DataLineParser::Values& reader)
    {
        ++facts_.dataLines;
        if (facts_.firstData == 0) {
            facts_.firstData = lineNumber_;
            facts_.firstDataText = std::string(kept.substr(0, 64));
        }
        // Lines before the reader's data start are not read as data: the
        // data start's message speaks for them.
        const bool readAsData = this->readAsData();
        if (readAsData)
            facts_.insideData.take(betweenData_);

        const auto read = std::array{storedByte(reader.r), storedByte(reader.v), storedByte(reader.b)};
        const TLutValeur readEntry{read[0].value_or(0), read[1].value_or(0), read[2].value_or(0)};
        const bool readFails = !read[0] || !read[1] || !read[2];

        const auto words = cube::blankSeparatedWords(kept);
        const bool threeNumbers =
            !truncated && words.size() == 3 && std::all_of(words.begin(), words.end(), cube::isDecimalNumber);
        TLutValeur meant = readEntry;
        if (!threeNumbers) {
            if (readAsData)
                facts_.unreadable.add(lineNumber_);
        } else {
            std::uint8_t bytes[3];
            bool wraps = false;
            for (int c = 0; c < 3; ++c) {
                const long double value = numberValue(words[std::size_t(c)]);
                bytes[c] = clippedByte(value);
                const auto stored = storedByte(value);
                if (stored != bytes[c]) {
                    wraps = true;
                    if (facts_.wrapToken.empty() && readAsData) {
                        facts_.wrapToken = std::string(words[std::size_t(c)]);
                        facts_.wrapStored = stored;
                        facts_.wrapMeant = bytes[c];
                    }
                }
            }
            meant = TLutValeur{bytes[0], bytes[1], bytes[2]};
            if (wraps && readAsData)
                facts_.wrapped.add(lineNumber_);
            if (readAsData && !readFails && readEntry != meant && oddSeparators(kept))
                facts_.separators.add(lineNumber_);
        }
        if (facts_.meantEntries.size() < kKeptEntries)
            facts_.meantEntries.push_back(meant);
    }

    static bool oddSeparators(std::string_view text)
    {
        return startsWithBlank(text) || text.find_first_of("\t\f\v") != std::string_view::npos
            || text.find("  ") != std::string_view::npos;
    }

    Facts facts_;
    std::uint64_t lineNumber_ = 0;
    LineList betweenData_; // non-data lines since the last data line
};

// The French lines written from the facts, one for each departure.
class Departures {
public:
    Departures(const Facts& facts, CubeCheck& check) : facts_(facts), check_(check) {}

    void write(const LutTable& table)
    {
        check_.declaredTaille = facts_.declaredTaille;
        check_.dataLines = facts_.dataLines;

        sizeDepartures();
        startDeparture();
        if (!facts_.insideData.empty())
            say(CubeDeparture::LinesInData,
                facts_.insideData.describe()
                    + " : lignes de commentaire, vides ou de mot-clé au milieu des données ; chacune prend la"
                      " place d'une entrée et décale toutes les suivantes");
        if (!facts_.separators.empty())
            say(CubeDeparture::Separators,
                facts_.separators.describe()
                    + " : champs séparés par des tabulations, par plusieurs espaces ou précédés d'une indentation ;"
                      " le programme n'y lit pas les valeurs écrites");
        if (!facts_.unreadable.empty())
            say(CubeDeparture::UnreadableData,
                facts_.unreadable.describe()
                    + " : lignes de données qui ne sont pas trois nombres ; le programme y lit d'autres valeurs");
        if (!facts_.wrapped.empty())
            say(CubeDeparture::WrappedValues,
                facts_.wrapped.describe() + " : valeurs hors de 0..1 que le programme ne borne pas (" + wrapExample()
                    + ") ; l'octet stocké repart de l'autre bout");
        if (facts_.domainLine != 0)
            say(CubeDeparture::Domain, formatted("ligne %llu : « %s » : le programme ignore le domaine d'entrée et"
                                                 " le prend pour 0 à 1",
                                                 static_cast<unsigned long long>(facts_.domainLine),
                                                 facts_.domainText.c_str()));
        if (facts_.rangeLine != 0)
            say(CubeDeparture::InputRange, formatted("ligne %llu : « %s » : le programme ignore cette plage d'entrée et"
                                                     " la prend pour 0 à 1",
                                                     static_cast<unsigned long long>(facts_.rangeLine),
                                                     facts_.rangeText.c_str()));
        countDeparture();
        if (check_.departures.empty() && check_.applies)
            compareEntries(table);
    }

private:
    void say(CubeDeparture kind, std::string text) { check_.departures.push_back({kind, std::move(text)}); }

    std::string wrapExample() const
    {
        if (!facts_.wrapStored)
            return formatted("%s est hors de portée", facts_.wrapToken.c_str());
        return formatted("%s donne %d au lieu de %d", facts_.wrapToken.c_str(), int(*facts_.wrapStored),
                         int(facts_.wrapMeant));
    }

    void sizeDepartures()
    {
        if (facts_.oneDLine != 0)
            say(CubeDeparture::Table1D, formatted("ligne %llu : table 1D (LUT_1D_SIZE) ; le programme ne lit que les"
                                                  " tables 3D",
                                                  static_cast<unsigned long long>(facts_.oneDLine)));
        if (facts_.sizeLine == 0) {
            if (facts_.oneDLine == 0)
                say(CubeDeparture::NoSizeLine, "aucune ligne « LUT_3D_SIZE » : le programme ne peut pas connaître la"
                                               " taille de la table");
            return;
        }
        const auto line = static_cast<unsigned long long>(facts_.sizeLine);
        if (facts_.declaredTaille == 0) {
            say(CubeDeparture::SizeLine, formatted("ligne %llu : « %s » ne donne pas la taille en nombre entier", line,
                                                   trimmed(facts_.sizeText).c_str()));
        } else if (check_.taille != facts_.declaredTaille) {
            say(CubeDeparture::SizeLine, sizeReason(check_.taille));
        }
        const std::int32_t n = check_.taille != 0 ? check_.taille : facts_.declaredTaille;
        if (n < 0 || !LutTable::fitsInMemoryLimit(n))
            say(CubeDeparture::SizeNotApplied,
                formatted("taille %d : le programme ne peut pas appliquer une table de cette taille", int(n)));
    }

    std::string sizeReason(std::int32_t readSize) const
    {
        const auto line = static_cast<unsigned long long>(facts_.sizeLine);
        const auto readerLine = static_cast<unsigned long long>(facts_.reader.sizeLine);
        if (facts_.sizeLine > kHeadLines)
            return formatted("ligne %llu : la ligne de taille est au-delà de la ligne 20, où le programme ne la"
                             " cherche plus",
                             line);
        if (readerLine != line)
            return formatted("ligne %llu : le programme prend cette ligne, où figure « LUT_3D_SIZE », pour la ligne"
                             " de taille et n'y lit pas %d",
                             readerLine, int(facts_.declaredTaille));
        if (startsWithBlank(facts_.sizeText))
            return formatted("ligne %llu : la ligne de taille est indentée ; le programme n'y lit pas la taille",
                             line);
        if (endsWithBlank(facts_.sizeText))
            return formatted("ligne %llu : la ligne de taille finit par une espace ; le programme n'y lit pas la"
                             " taille",
                             line);
        if (readSize == 0)
            return formatted("ligne %llu : le programme ne lit pas la taille dans « %s »", line,
                             trimmed(facts_.sizeText).c_str());
        return formatted("ligne %llu : le programme lit la taille %d au lieu de %d", line, int(readSize),
                         int(facts_.declaredTaille));
    }

    void startDeparture()
    {
        const auto readerStart = std::uint64_t(facts_.reader.dataStart);
        if (facts_.firstData == 0 || readerStart == facts_.firstData)
            return;
        const auto line = static_cast<unsigned long long>(facts_.firstData);
        std::string text;
        const auto words = cube::blankSeparatedWords(facts_.firstDataText);
        if (facts_.firstData > kHeadLines)
            text = formatted("ligne %llu : la première ligne de données est au-delà de la ligne 20", line);
        else if (startsWithBlank(facts_.firstDataText))
            text = formatted("ligne %llu : la première ligne de données est indentée", line);
        else if (!words.empty() && words[0].find_first_not_of("+-0123456789") == std::string_view::npos)
            text = formatted("ligne %llu : la première ligne de données est écrite en nombres entiers", line);
        else
            text = formatted("ligne %llu : la première ligne de données ne commence pas par « 0. »", line);
        if (readerStart == 0)
            text += " ; le programme ne trouve pas le début des données";
        else
            text += formatted(" ; le programme ne commence les données qu'à la ligne %llu, perd %llu %s et"
                              " décale toutes les autres",
                              static_cast<unsigned long long>(readerStart),
                              static_cast<unsigned long long>(facts_.dataBeforeStart),
                              facts_.dataBeforeStart == 1 ? "entrée" : "entrées");
        say(CubeDeparture::DataStart, text);
    }

    void countDeparture()
    {
        const std::int32_t n = check_.expectedTaille();
        if (n <= 0 || !LutTable::fitsInMemoryLimit(n))
            return;
        const std::uint64_t expected = std::uint64_t(n) * std::uint64_t(n) * std::uint64_t(n);
        const std::uint64_t lines = facts_.dataLines;
        if (lines < expected)
            say(CubeDeparture::LineCount,
                formatted("%llu lignes de données pour %llu attendues (%d³) : il en manque %llu, que le programme"
                          " laisse à 0 (noir)",
                          static_cast<unsigned long long>(lines), static_cast<unsigned long long>(expected),
                          int(n), static_cast<unsigned long long>(expected - lines)));
        else if (lines > expected)
            say(CubeDeparture::LineCount,
                formatted("%llu lignes de données pour %llu attendues (%d³) : %llu de trop, que le programme ignore",
                          static_cast<unsigned long long>(lines), static_cast<unsigned long long>(expected),
                          int(n), static_cast<unsigned long long>(lines - expected)));
    }

    // The last word: whatever the causes named above, a table that differs
    // from the author's is never reported as meant.
    void compareEntries(const LutTable& table)
    {
        if (table.taille() != check_.taille)
            return;
        const auto& meant = facts_.meantEntries;
        const std::uint64_t count = std::min<std::uint64_t>(table.entryCount(), meant.size());
        for (std::uint64_t k = 0; k < count; ++k) {
            if (table.data()[k] != meant[k]) {
                say(CubeDeparture::Entries,
                    formatted("l'entrée %llu lue par le programme diffère de celle du fichier",
                              static_cast<unsigned long long>(k) + 1));
                return;
            }
        }
    }

    const Facts& facts_;
    CubeCheck& check_;
};

// One reading (read: readCube or loadCubeFile into a fresh table, told to the
// collector), then the departures written from what it told.
template <typename Read>
CubeCheck checkWith(Read read)
{
    CubeCheck result;
    result.found = true;
    LutTable table;
    FactCollector collector;
    try {
        const CubeStatus status = read(table, result.taille, collector);
        if (status == CubeStatus::FileMissing)
            return CubeCheck{};
        result.applies = status == CubeStatus::Loaded;
        result.failure = std::string(structureMessage(status));
    } catch (const Error& error) {
        result.failure = error.what();
    }
    Departures(collector.facts(), result).write(table);
    return result;
}

} // namespace

CubeCheck checkCube(std::string_view bytes)
{
    std::istringstream in{std::string(bytes)};
    return checkWith([&](LutTable& table, std::int32_t& taille, CubeReadObserver& observer) {
        return readCube(in, table, taille, observer);
    });
}

CubeCheck checkCubeFile(const std::string& path)
{
    return checkWith([&](LutTable& table, std::int32_t& taille, CubeReadObserver& observer) {
        return loadCubeFile(path, table, taille, observer);
    });
}

} // namespace teintelle
