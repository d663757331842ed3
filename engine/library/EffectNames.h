#pragma once

#include <span>
#include <string>
#include <string_view>

namespace teintelle {

// Node texts and paths are bytes as the file system gives them: no encoding
// is assumed, so a name that is not UTF-8 comes back byte for byte.

// True when the name, with the letters A to Z lower-cased, contains ".cube"
// anywhere ("a.CUBE.bak" and "x.cubes" do, "cube" does not).
bool nameCanBeEffect(std::string_view name);

// True when the last five bytes of the path, with A to Z lower-cased, are
// ".cube". A path shorter than that never is one.
bool isEffectPath(std::string_view path);

// The path of a node from the texts on its way down: the root's text first,
// then each text below it, the node's own last. "/" goes between each two of
// them even when the text before already ends with "/" (the kernel reads "//"
// as one separator). No text gives an empty path.
std::string CheminDuNoeud(std::span<const std::string_view> texts);

// The search path of a folder text: the text, "/" unless it already ends with
// one, then the pattern "*.*".
std::string searchPathFor(std::string_view folderText);

// The listing order: names compared with the letters a to z folded to upper
// case, ties broken by the plain bytes, so that a listing comes out the same
// on every run whatever the order on disk.
bool entryNameLess(std::string_view a, std::string_view b);

} // namespace teintelle
