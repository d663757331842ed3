#include "common/TextCodec.h"

namespace teintelle {

namespace {

constexpr char32_t kEscapedByteBase = 0xDC00;
constexpr char32_t kReplacementCharacter = 0xFFFD;

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool isEscapedByte(char32_t c) { return c >= kEscapedByteBase + 0x80 && c <= kEscapedByteBase + 0xFF; }

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at position, 0 when there is
// none. Overlong forms and code points above U+10FFFF are never well formed;
// surrogates are only when allowSurrogates is set (the in-memory form).
std::size_t readSequence(std::string_view s, std::size_t position, char32_t& codePoint,
                         bool allowSurrogates)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[position + i]); };
    const unsigned char lead = at(0);
    std::size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (s.size() - position < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(at(i)))
            return 0;
        codePoint = (codePoint << 6) | (at(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF)
        return 0;
    if (isSurrogate(codePoint) && !allowSurrogates)
        return 0;
    return length;
}

void decodeUtf8(std::string_view bytes, std::string& text)
{
    std::size_t position = 0;
    while (position < bytes.size()) {
        char32_t codePoint;
        const std::size_t length = readSequence(bytes, position, codePoint, false);
        if (length == 0) {
            appendCodePoint(text, kEscapedByteBase + static_cast<unsigned char>(bytes[position]));
            ++position;
        } else {
            text.append(bytes.substr(position, length));
            position += length;
        }
    }
}

void decodeUtf16(std::string_view bytes, bool bigEndian, std::string& text)
{
    const std::size_t units = bytes.size() / 2;
    const auto unitAt = [&](std::size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t unit = unitAt(i);
        if (isHighSurrogate(unit) && i + 1 < units && isLowSurrogate(unitAt(i + 1))) {
            appendCodePoint(text, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
        } else {
            appendCodePoint(text, unit);
        }
    }
}

void appendUtf16Unit(std::string& bytes, char32_t unit, bool bigEndian)
{
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    if (bigEndian) {
        bytes += high;
        bytes += low;
    } else {
        bytes += low;
        bytes += high;
    }
}

void encodeCodePoint(std::string& bytes, char32_t codePoint, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Bytes:
        if (codePoint <= 0xFF)
            bytes += static_cast<char>(codePoint);
        else if (isEscapedByte(codePoint))
            bytes += static_cast<char>(codePoint - kEscapedByteBase);
        else
            bytes += '?'; // no Latin-1 character for it
        break;
    case TextEncoding::Utf8:
        if (isEscapedByte(codePoint))
            bytes += static_cast<char>(codePoint - kEscapedByteBase);
        else
            appendCodePoint(bytes, isSurrogate(codePoint) ? kReplacementCharacter : codePoint);
        break;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        const bool bigEndian = encoding == TextEncoding::Utf16BE;
        if (codePoint <= 0xFFFF) {
            appendUtf16Unit(bytes, codePoint, bigEndian);
        } else {
            const char32_t offset = codePoint - 0x10000;
            appendUtf16Unit(bytes, 0xD800 + (offset >> 10), bigEndian);
            appendUtf16Unit(bytes, 0xDC00 + (offset & 0x3FF), bigEndian);
        }
        break;
    }
    }
}

} // namespace

void appendCodePoint(std::string& text, char32_t c)
{
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (c >> 18));
        text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t nextCodePoint(std::string_view text, std::size_t& position)
{
    char32_t codePoint;
    const std::size_t length = readSequence(text, position, codePoint, true);
    if (length == 0) {
        codePoint = kEscapedByteBase + static_cast<unsigned char>(text[position]);
        ++position;
    } else {
        position += length;
    }
    return codePoint;
}

std::string decodeText(std::string_view bytes, TextEncoding encoding)
{
    std::string text;
    text.reserve(bytes.size());
    switch (encoding) {
    case TextEncoding::Bytes:
        for (const char b : bytes)
            appendCodePoint(text, static_cast<unsigned char>(b));
        break;
    case TextEncoding::Utf8:
        decodeUtf8(bytes, text);
        break;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        decodeUtf16(bytes, encoding == TextEncoding::Utf16BE, text);
        break;
    }
    return text;
}

std::string encodeText(std::string_view text, TextEncoding encoding)
{
    std::string bytes;
    bytes.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size())
        encodeCodePoint(bytes, nextCodePoint(text, position), encoding);
    return bytes;
}

std::string_view byteOrderMarkOf(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return "\xEF\xBB\xBF";
    case TextEncoding::Utf16LE:
        return "\xFF\xFE";
    case TextEncoding::Utf16BE:
        return "\xFE\xFF";
    case TextEncoding::Bytes:
        break;
    }
    return {};
}

} // namespace teintelle
