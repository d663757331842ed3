#pragma once

#include "settings/FileSystem.h"

#include <string>
#include <string_view>

namespace teintelle {

enum class ReplaceOutcome {
    Replaced,         // a new file written beside the old one took its place
    RewrittenInPlace, // the file itself was rewritten (see replaceFile)
    LeftReadOnly,     // the file's owner write bit is off: nothing written
    LeftUnwritable,   // the effective user may not write the file: nothing written
    Failed,           // nothing could be written; the file is as it was
};

// Puts bytes in place of the file at path, or creates it. A path that is
// a link is followed: the file it leads to is written and the link stays.
// What that file is now, not what it was when read, decides how:
//  - read-only (owner write bit off, even for root), or not writable by
//    the effective user: it is left alone;
//  - with one link and owned by the effective user: the bytes go to a new
//    file in the same folder, renamed over the old one once complete, so
//    that a crash or a full disk never leaves a half-written file; its
//    permission bits and group are kept;
//  - with a second link, or owned by another user: a new file would break
//    the link or change the owner, so the file is rewritten in place,
//    after reserving the room it needs where the file system can. So is
//    a file whose folder does not let us create one beside it.
// After a write, the new files that runs killed in the middle of a write
// left beside the file are removed, once no run can still be writing them.
ReplaceOutcome replaceFile(FileSystem& fileSystem, const std::string& path, std::string_view bytes);

} // namespace teintelle
