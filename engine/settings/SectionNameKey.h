#pragma once

#include <string>
#include <string_view>

namespace teintelle {

// The key under which section names are compared without regard to case:
// two names are the same section when their keys are equal. Letters of
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic are folded to lower
// case, which covers the names a French user may type; any other character
// compares as it is. The comparison never depends on the C locale.
std::string sectionNameKey(std::string_view name);

} // namespace teintelle
