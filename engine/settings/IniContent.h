#pragma once

#include "common/TextEncoding.h"

#include <optional>
#include <string>
#include <vector>

namespace teintelle {

// The in-memory copy of a settings file. All text is held as UTF-8 in the
// lossless form of common/TextCodec.h, whatever the file's encoding.

// One line of a section: an entry (name "=" value) or a lone name.
struct IniLine {
    std::string name;
    std::optional<std::string> value; // none for a lone name

    bool operator==(const IniLine&) const = default;
};

struct IniSection {
    std::string name;
    std::vector<IniLine> lines;

    bool operator==(const IniSection&) const = default;
};

// Sections in file order; no two names are equal without regard to case.
struct IniContent {
    std::vector<IniSection> sections;

    bool operator==(const IniContent&) const = default;
};

} // namespace teintelle
