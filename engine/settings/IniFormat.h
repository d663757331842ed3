#pragma once

#include "settings/IniContent.h"
#include "common/TextEncoding.h"

#include <string>
#include <string_view>

namespace teintelle {

struct ParsedIni {
    IniContent content;
    TextEncoding encoding = TextEncoding::Bytes;
};

// Reads the whole bytes of a settings file, byte-order mark included.
// Every line is trimmed of characters of code 32 or less at both ends;
// empty lines, lines starting with ";" and lines before the first section
// are dropped; sections whose names differ only in case become one, under
// the first name, with the lines of both in order.
ParsedIni parseIni(std::string_view fileBytes);

// The file bytes for a copy: for each section "[" name "]", its lines
// (name=value or a lone name), then an empty line; every line ends with
// CR LF. Files of a marked encoding start with their mark, except that an
// empty copy always gives zero bytes.
std::string serialiseIni(const IniContent& content, TextEncoding encoding);

} // namespace teintelle
