#include "settings/SectionNameKey.h"

#include "common/TextCodec.h"

namespace teintelle {

namespace {

bool inRange(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

// Latin Extended-A pairs capital and small letters side by side; in most
// runs the capital has the even code, in two runs the odd one.
char32_t lowerLatinExtendedA(char32_t c)
{
    const bool capitalIsOdd = inRange(c, 0x139, 0x148) || inRange(c, 0x179, 0x17E);
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
        return c; // dotted I, dotless i, kra, 'n, long s: no simple pair
    if (c == 0x178)
        return 0xFF; // Y with diaeresis; its small letter is in Latin-1
    const bool isCapital = capitalIsOdd ? (c % 2 == 1) : (c % 2 == 0);
    return isCapital ? c + 1 : c;
}

char32_t lowerGreek(char32_t c)
{
    if (c == 0x386)
        return 0x3AC;
    if (inRange(c, 0x388, 0x38A))
        return c + 37;
    if (c == 0x38C)
        return 0x3CC;
    if (inRange(c, 0x38E, 0x38F))
        return c + 63;
    if (inRange(c, 0x391, 0x3AB) && c != 0x3A2)
        return c + 32;
    if (c == 0x3C2)
        return 0x3C3; // final sigma is sigma
    return c;
}

char32_t foldCodePoint(char32_t c)
{
    if (inRange(c, 'A', 'Z'))
        return c + 32;
    if (inRange(c, 0xC0, 0xDE) && c != 0xD7)
        return c + 32;
    if (inRange(c, 0x100, 0x17F))
        return lowerLatinExtendedA(c);
    if (inRange(c, 0x386, 0x3C2))
        return lowerGreek(c);
    if (inRange(c, 0x400, 0x40F))
        return c + 80;
    if (inRange(c, 0x410, 0x42F))
        return c + 32;
    return c;
}

} // namespace

std::string sectionNameKey(std::string_view name)
{
    std::string key;
    key.reserve(name.size());
    std::size_t position = 0;
    while (position < name.size())
        appendCodePoint(key, foldCodePoint(nextCodePoint(name, position)));
    return key;
}

} // namespace teintelle
