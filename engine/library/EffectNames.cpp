#include "library/EffectNames.h"

#include <algorithm>
#include <cstring>

namespace teintelle {

namespace {

constexpr unsigned char lowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

constexpr unsigned char upperAscii(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// ".cube" at the start of `text`, letters compared lower-cased.
bool startsWithCube(std::string_view text)
{
    static constexpr std::string_view cube = ".cube";
    if (text.size() < cube.size())
        return false;
    for (std::size_t i = 0; i < cube.size(); ++i)
        if (lowerAscii(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(cube[i]))
            return false;
    return true;
}

} // namespace

bool nameCanBeEffect(std::string_view name)
{
    // Every hit starts at a ".", so only those are tried.
    std::size_t at = 0;
    while (at + 5 <= name.size()) {
        const void* dot = std::memchr(name.data() + at, '.', name.size() - at);
        if (dot == nullptr)
            return false;
        at = static_cast<std::size_t>(static_cast<const char*>(dot) - name.data());
        if (startsWithCube(name.substr(at)))
            return true;
        ++at;
    }
    return false;
}

bool isEffectPath(std::string_view path)
{
    return path.size() >= 5 && startsWithCube(path.substr(path.size() - 5));
}

std::string CheminDuNoeud(std::span<const std::string_view> texts)
{
    std::size_t size = texts.empty() ? 0 : texts.size() - 1;
    for (std::string_view text : texts)
        size += text.size();
    std::string path;
    path.reserve(size);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            path += '/';
        path += texts[i];
    }
    return path;
}

std::string searchPathFor(std::string_view folderText)
{
    std::string path(folderText);
    if (path.empty() || path.back() != '/')
        path += '/';
    path += "*.*";
    return path;
}

bool entryNameLess(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = upperAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = upperAscii(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    // Same name but for case: the plain bytes decide ("LOOK" before "Look").
    return common != 0 && std::memcmp(a.data(), b.data(), common) < 0;
}

} // namespace teintelle
