#include "common/Conventions.h"

namespace teintelle {

namespace {

// Lower-cases one UTF-8 encoded character when it is ASCII or Latin-1
// (the letters a program file name holds in practice); others stay as they are.
void appendLowerCased(std::string& out, std::string_view character)
{
    if (character.size() == 1) {
        char c = character[0];
        out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        return;
    }
    if (character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xC3) {
        auto second = static_cast<unsigned char>(character[1]);
        // U+00C0..U+00DE except U+00D7 are capitals whose small form is +0x20.
        if (second >= 0x80 && second <= 0x9E && second != 0x97)
            second += 0x20;
        out += character[0];
        out += char(second);
        return;
    }
    out += character;
}

std::size_t utf8Length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1; // a stray byte counts as one character
}

// Code point of the last UTF-8 character of a non-empty text.
char32_t lastCodePoint(std::string_view text)
{
    std::size_t start = text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    const auto lead = static_cast<unsigned char>(text[start]);
    const std::size_t length = text.size() - start;
    if (length == 1)
        return lead;
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = start + 1; i < text.size(); ++i)
        value = (value << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    return value;
}

} // namespace

std::string applicationTitle(std::string_view programPath)
{
    std::string_view name = programPath;
    if (const auto slash = name.find_last_of('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    name = name.substr(0, name.find('.'));

    std::string title;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = std::min(utf8Length(static_cast<unsigned char>(name[i])), name.size() - i);
        const std::string_view character = name.substr(i, length);
        if (i == 0)
            title += character;
        else
            appendLowerCased(title, character);
        i += length;
    }
    return title;
}

std::string errorBoxText(std::string_view message)
{
    std::string text(message);
    if (!message.empty() && lastCodePoint(message) > U'.')
        text += '.';
    return text;
}

} // namespace teintelle
