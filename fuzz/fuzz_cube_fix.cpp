// The .cube readers side by side on the same bytes: the window's reader
// observed gives what it gives unobserved, check runs to its end, and a
// copy written by fix from the author's reading is read by the window as the
// author meant it.
#include "common/Error.h"
#include "lut/AuthorCube.h"
#include "lut/CubeCheck.h"
#include "lut/CubeReader.h"

#include <cstdlib>
#include <sstream>

using namespace teintelle;

namespace {

class Silent final : public CubeReadObserver {
public:
    void head(const CubeSearches&) override {}
    void line(const CubeLine&) override {}
    void tail(const CubeTail&) override {}
};

struct Outcome {
    std::string result;
    std::int32_t taille = 0;
    std::uint64_t entries = 0; // a hash of the table's entries: a size-700
                                // table is 1 GiB, two copies of it too many
};

Outcome readWindow(const std::string& text, CubeReadObserver* observer)
{
    std::istringstream in(text);
    LutTable table;
    Outcome outcome;
    try {
        const auto status = observer ? readCube(in, table, outcome.taille, *observer) : readCube(in, table, outcome.taille);
        outcome.result = std::to_string(int(status));
    } catch (const Error& error) {
        outcome.result = error.what();
    }
    std::uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a
    for (std::uint64_t k = 0; k < table.entryCount(); ++k)
        for (const std::uint8_t byte : {table.data()[k].r, table.data()[k].v, table.data()[k].b})
            hash = (hash ^ byte) * 0x100000001b3ull;
    outcome.entries = hash;
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Silent silent;
    const Outcome plain = readWindow(text, nullptr), observed = readWindow(text, &silent);
    if (plain.result != observed.result || plain.taille != observed.taille || plain.entries != observed.entries)
        std::abort();
    checkCube(text);

    AuthorCube cube;
    try {
        std::istringstream in(text);
        cube = readAuthorCube(in);
    } catch (const Error&) {
        return 0; // a file the author's reading refuses, with its line
    }
    // Small copies only: a large one costs time, not coverage.
    const int copySize = cube.copySize(0);
    const int written = copySize <= 9 ? copySize : 9;
    std::string copy;
    cube.writeWindowCopy(written, [&copy](std::string_view piece) { copy += piece; });
    if (!checkCube(copy).asMeant())
        std::abort();
    return 0;
}
