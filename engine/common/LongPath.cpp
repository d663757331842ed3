#include "common/LongPath.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace teintelle {

LongPath::LongPath(const std::string& path) : folder_(AT_FDCWD), name_(path)
{
    if (path.size() < PATH_MAX)
        return;
    std::size_t start = 0;
    if (path[0] == '/') {
        if (!enter(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)))
            return;
        start = 1;
    }
    // Walks down in pieces of whole folder names, each shorter than PATH_MAX.
    while (path.size() - start >= PATH_MAX) {
        const std::size_t cut = path.rfind('/', start + PATH_MAX - 2);
        if (cut == std::string::npos || cut < start) { // a single name longer than PATH_MAX
            fail(ENAMETOOLONG);
            return;
        }
        if (cut > start) {
            const std::string piece = path.substr(start, cut - start);
            if (!enter(::openat(folder_, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)))
                return;
        }
        start = cut + 1;
    }
    name_ = path.substr(start);
}

bool LongPath::enter(int next)
{
    if (next == -1) {
        fail(errno);
        return false;
    }
    owned_ = FileDescriptor(next);
    folder_ = next;
    return true;
}

void LongPath::fail(int error)
{
    owned_.reset();
    folder_ = -1;
    errno = error;
}

} // namespace teintelle
