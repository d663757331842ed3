#pragma once

#include "settings/FileSystem.h"

#include <string>
#include <string_view>

namespace teintelle {

enum class ReplaceOutcome {
    Replaced,         // a new file written beside the old one took its place
    RewrittenInPlace, // the folder allows no new file: the file itself was rewritten
    Failed,           // nothing could be written; the file is as it was
};

// Puts bytes in place of the file at path, or creates it. The bytes go to
// a new file in the same folder, which is renamed over the old one once
// complete, so that a crash or a full disk never leaves a half-written
// file. The file's permission bits (and owner, where allowed) are kept. A
// path that is a link is followed: the file it leads to is replaced and
// the link stays. Where the folder does not let us create a file but the
// file itself is writable, it is rewritten in place, after reserving the
// room it needs where the file system can.
ReplaceOutcome replaceFile(FileSystem& fileSystem, const std::string& path, std::string_view bytes);

} // namespace teintelle
