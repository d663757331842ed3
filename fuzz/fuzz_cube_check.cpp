// teintelle-cli check's analysis of a file: the bytes written to a .cube file
// and checked through checkCubeFile, as the command does, then checked again
// from memory. Both readings must tell the same story, and the report must
// hold together: a file that applies has no failure message and one that
// does not has one.
#include "fuzz/FuzzInput.h"
#include "lut/CubeCheck.h"

#include <cstdlib>

using namespace teintelle;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameDepartures(const CubeCheck& a, const CubeCheck& b)
{
    if (a.departures.size() != b.departures.size())
        return false;
    for (std::size_t i = 0; i < a.departures.size(); ++i)
        if (a.departures[i].kind != b.departures[i].kind || a.departures[i].text != b.departures[i].text)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::InputFile file("cube");
    const CubeCheck fromFile = checkCubeFile(file.write(data, size));
    const CubeCheck fromMemory = checkCube(std::string_view(reinterpret_cast<const char*>(data), size));

    check(fromFile.found && fromMemory.found);
    check(fromFile.applies == fromMemory.applies && fromFile.failure == fromMemory.failure);
    check(fromFile.taille == fromMemory.taille && fromFile.declaredTaille == fromMemory.declaredTaille);
    check(fromFile.dataLines == fromMemory.dataLines && sameDepartures(fromFile, fromMemory));
    check(fromFile.applies == fromFile.failure.empty());
    for (const auto& departure : fromFile.departures)
        check(!departure.text.empty());
    return 0;
}
