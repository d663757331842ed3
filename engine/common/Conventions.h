#pragma once

#include <string>
#include <string_view>

namespace teintelle {

// The application title: the program file's name without its folder, cut
// before its first ".", every character after the first one lower-cased
// (the first one left as it is). "/x/TEINTELLE.EXE" gives "Teintelle".
std::string applicationTitle(std::string_view programPath);

// The text the error box shows for an error message: a "." is added when the
// code of the last character is greater than that of "." (so a message ending
// in ".", a space, "!", "," or "-" stays as it is; one ending in a letter, a
// digit, ":" or "?" gets the "."). Works on UTF-8 text.
std::string errorBoxText(std::string_view message);

// The fifteen two-digit icon numbers of the tree's icon list, in order.
inline constexpr std::string_view IndexIconesShell = "000304050607080910111215407302";

} // namespace teintelle
