#include "settings/IniFormat.h"

#include "settings/SectionNameKey.h"
#include "common/TextCodec.h"

#include <unordered_map>

namespace teintelle {

namespace {

// Characters of code 32 or less: spaces and control characters. In the
// in-memory UTF-8 they are single bytes, and no byte of a longer sequence
// is below 0x80, so trimming can work on bytes.
bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view trimEnd(std::string_view s)
{
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view trimStart(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trim(std::string_view s) { return trimStart(trimEnd(s)); }

bool isSectionLine(std::string_view line)
{
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

IniLine parseSectionLine(std::string_view line)
{
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return {std::string(line), std::nullopt};
    return {std::string(trimEnd(line.substr(0, equals))),
            std::string(trimStart(line.substr(equals + 1)))};
}

// Builds the copy line by line, merging sections that share a name
// without regard to case. The index keeps that lookup constant-time, so a
// file of many sections is read in linear time.
class IniBuilder {
public:
    void addLine(std::string_view rawLine)
    {
        const std::string_view line = trim(rawLine);
        if (line.empty() || line.front() == ';')
            return;
        if (isSectionLine(line)) {
            openSection(trim(line.substr(1, line.size() - 2)));
            return;
        }
        if (current_ == kNoSection)
            return; // stray line before the first section
        content_.sections[current_].lines.push_back(parseSectionLine(line));
    }

    IniContent take() { return std::move(content_); }

private:
    static constexpr std::size_t kNoSection = static_cast<std::size_t>(-1);

    void openSection(std::string_view name)
    {
        const auto [found, inserted] = indexByKey_.try_emplace(sectionNameKey(name), content_.sections.size());
        if (inserted)
            content_.sections.push_back({std::string(name), {}});
        current_ = found->second;
    }

    IniContent content_;
    std::unordered_map<std::string, std::size_t> indexByKey_;
    std::size_t current_ = kNoSection;
};

void appendLine(std::string& text, std::string_view line)
{
    text += line;
    text += "\r\n";
}

} // namespace

ParsedIni parseIni(std::string_view fileBytes)
{
    const ByteOrderMark mark = detectByteOrderMark(fileBytes);
    const std::string text = decodeText(fileBytes.substr(mark.length), mark.encoding);

    // CR, LF and CR LF all end a line; the empty lines a CR LF pair would
    // make here are dropped with the other empty lines.
    IniBuilder builder;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        builder.addLine(std::string_view(text).substr(start, end - start));
        start = end + 1;
    }
    return {builder.take(), mark.encoding};
}

std::string serialiseIni(const IniContent& content, TextEncoding encoding)
{
    if (content.sections.empty())
        return {};
    std::string text;
    for (const IniSection& section : content.sections) {
        appendLine(text, "[" + section.name + "]");
        for (const IniLine& line : section.lines)
            appendLine(text, line.value ? line.name + "=" + *line.value : line.name);
        appendLine(text, "");
    }
    std::string bytes(byteOrderMarkOf(encoding));
    bytes += encodeText(text, encoding);
    return bytes;
}

} // namespace teintelle
