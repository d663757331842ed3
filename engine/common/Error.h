#pragma once

#include <stdexcept>
#include <string>

namespace teintelle {

// The one exception type of the program. Its message is the user-facing
// text, in UTF-8, exactly as the error box shows it (before the box adds
// its final "." where the rule asks for one).
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The message of every failure for want of memory.
inline constexpr const char* kOutOfMemory = "Mémoire insuffisante";

} // namespace teintelle
